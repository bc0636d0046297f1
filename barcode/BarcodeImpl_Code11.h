#pragma once

#include "barcode/BarcodeImpl.h"
#include "barcode/LinearCommon.h"

#include <QString>

// Code 11 tables and rules: the digits and "-".
namespace code11 {

int IndexOf(QChar c);
// Five elements, bar first: '0' narrow, '1' wide, '2' three modules.
const char* Pattern(int index);
// The two modulo-11 check characters.
QString CheckChars(const QString& text);
// Start, characters with narrow gaps, stop.
void BuildBars(const QString& fullText, float m, float wide, CBarcodeData& bars);

} // namespace code11

// Code 11: digits and "-" with two check characters, built straight into bars.
class CBarcodeImpl_Code11 : public CBarcodeImpl
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Code11>(); }
    void Encode() override;
    void BuildBarsFromText() override;
    bool IsValidChar(QChar c) const override { return code11::IndexOf(c) >= 0; }
    QString SanitizeText(const QString& text) const override { return ReplaceInvalidWithZero(*this, text); }
    QString GetDisplayText(const QString& text) const override { return text; }
    QString CalcCheckDigit(const QString& text) const override { return code11::CheckChars(text); }
};
