#pragma once

#include "barcode/BarcodeImpl.h"
#include "barcode/LinearCommon.h"

#include <QString>

// Code 93 tables and rules. The set holds the 43 data characters and, as "a" to
// "d", the four shift characters ($), (%), (/) and (+); characters above U+00FF
// are in none.
namespace code93 {

int IndexOf(QChar c);
bool IsDataChar(QChar c);
// Six element widths in modules: bar, space, bar, space, bar, space.
const char* Pattern(int index);
// The shift sequence of a 7-bit character; empty for every other character.
QString FullAsciiOf(QChar c);
// The two modulo-47 check characters.
QString CheckChars(const QString& text);
// Start, characters, stop and termination bar; m is the module width.
void BuildBars(const QString& fullText, float m, CBarcodeData& bars);

} // namespace code93

// Code 93: data characters and, when the flag is set, the two check characters
// between start and stop; the human-readable line shows the text alone.
class CBarcodeImpl_Code93 : public CBarcodeImpl
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Code93>(); }
    void Encode() override;
    void BuildBars() override;
    bool IsValidChar(QChar c) const override { return code93::IsDataChar(c); }
    QString SanitizeText(const QString& text) const override { return ReplaceInvalidWithZero(*this, text); }
    QString GetDisplayText(const QString& text) const override { return text; }
    QString CalcCheckDigit(const QString& text) const override { return code93::CheckChars(text); }
};

// Code 93 full ASCII: characters 0-127 become shift pairs before the check
// characters are computed.
class CBarcodeImpl_Code93Full : public CBarcodeImpl_Code93
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Code93Full>(); }
    QString SanitizeText(const QString& text) const override { return text; }
    QString BuildFullText(const QString& text) override;
};
