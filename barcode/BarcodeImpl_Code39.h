#pragma once

#include "barcode/LinearCommon.h"
#include "barcode/BarcodeImpl.h"

#include <QString>

// Code 39 tables and rules. The table holds the 43 data characters and the
// start/stop character "*" at index 43; characters above U+00FF are in none.
namespace code39 {

constexpr int kStartStopIndex = 43;

// Index 0-43 in the character table, -1 when the character is not in it.
int IndexOf(QChar c);
// True for the 43 data characters: "*" only marks the ends and would cut a symbol short.
bool IsDataChar(QChar c);
// Nine elements, bar first, '1' wide.
const char* Pattern(int index);
// The one or two table characters that stand for a 7-bit character; empty for
// every other character.
QString FullAsciiOf(QChar c);
// The modulo-43 check character over the table indices of text.
QChar CheckChar(const QString& text);
// Bars of the full text (start and stop included), narrow gaps between characters.
void BuildBars(const QString& fullText, float narrow, float wide, CBarcodeData& bars);

} // namespace code39

// Code 39: the full text is turned straight into bars; invalid characters become "0".
class CBarcodeImpl_Code39 : public CBarcodeImpl
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Code39>(); }
    void Encode() override;
    void BuildBarsFromText() override;
    bool IsValidChar(QChar c) const override { return code39::IsDataChar(c); }
    QString SanitizeText(const QString& text) const override;
    QString CalcCheckDigit(const QString& text) const override;
    QString GetStartText() const override { return QStringLiteral("*"); }
    QString GetStopText() const override { return QStringLiteral("*"); }
};

// Code 39 full ASCII: each character of codes 0-127 becomes one or two Code 39
// characters before the check character and the ends are added.
class CBarcodeImpl_Code39Full : public CBarcodeImpl_Code39
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Code39Full>(); }
    QString SanitizeText(const QString& text) const override { return text; }
    QString BuildFullText(const QString& text) override;
};
