#pragma once

#include "barcode/BarcodeData.h"

#include <QString>
#include <QStringView>
#include <string_view>

class CBarcodeImpl;

// Helpers shared by the linear symbologies.

// Turns a module pattern ('1' dark, anything else light) into one bar per run of
// dark modules, the first module at x0, each module m wide. Returns the x just past
// the last module.
float AddModuleRuns(CBarcodeData& bars, QStringView pattern, float x0, float m);

// The low 8 bits of a UTF-16 unit.
inline unsigned char LowByte(QChar c)
{
    return static_cast<unsigned char>(c.unicode() & 0xFF);
}

// The character's 8-bit code for the tables of the linear symbologies, -1 for a
// character above U+00FF: such a character is invalid in every one of them, never
// taken for the character that shares its low byte.
inline int TableCode(QChar c)
{
    return c.unicode() <= 0xFF ? c.unicode() : -1;
}

// Position of the character in a character table, -1 when absent.
int IndexInTable(std::string_view table, QChar c);

// Sum of weight x table index over text, the weights running 1, 2, ... maxWeight
// from the last character and starting again at 1; characters outside the table
// count 0.
int WeightedIndexSum(std::string_view table, QStringView text, int maxWeight);

// The text with every character that fails the implementation's IsValidChar
// replaced by "0".
QString ReplaceInvalidWithZero(const CBarcodeImpl& impl, const QString& text);

// The texts of a symbology that shows what it encodes: full text = the sanitised
// content; second and third derived texts = BuildFullText of it. Returns the
// encoded text.
const QString& SetCompletedTexts(CBarcodeImpl& impl);

