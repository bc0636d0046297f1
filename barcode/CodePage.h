#pragma once

#include <QByteArray>
#include <QString>

// Code pages a 2-D barcode converts its content with before encoding (the values
// stored in the barcode settings).
enum EncodingCodePage : int
{
    CodePageSystem = 0,    // this system's code page, UTF-8 here
    CodePageGBK = 936,     // simplified Chinese
    CodePageBig5 = 950,    // traditional Chinese
    CodePageUTF8 = 65001,
};

// The bytes of text in the given code page. A character the code page cannot
// represent becomes "?", as does a lone surrogate. A code page other than the four
// above converts as UTF-8, so content is never lost to an unknown number.
QByteArray ConvertToCodePage(const QString& text, int codePage);
