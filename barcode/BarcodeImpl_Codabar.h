#pragma once

#include "barcode/BarcodeImpl.h"
#include "barcode/LinearCommon.h"

#include <QString>
#include <vector>

// Codabar tables and rules: 16 data characters, then the start/stop letters A-D
// (indices 16-19).
namespace codabar {

int IndexOf(QChar c);
bool IsDataChar(QChar c);
// Seven elements, bar first, '1' wide.
const char* Pattern(int index);
// The start/stop letter of a start or stop character setting: 0 A, 1 B, 2 C, else D.
QChar StartStopLetter(int setting);
// The modulo-16 check character, or an empty text when the index sum is a multiple of 16.
QString CheckChar(const QString& text);
// One byte per element (1 wide): seven per character and a narrow gap after each.
std::vector<unsigned char> Elements(const QString& fullText);
// One bar for every even element.
void BuildBars(const std::vector<unsigned char>& elements, float narrow, float wide, CBarcodeData& bars);

} // namespace codabar

// Codabar: the element sequence is built from start letter, text, check character
// and stop letter, then turned into bars.
class CBarcodeImpl_Codabar : public CBarcodeImpl
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Codabar>(); }
    void Encode() override;
    void BuildBars() override;
    bool IsValidChar(QChar c) const override { return codabar::IsDataChar(c); }
    QString SanitizeText(const QString& text) const override { return ReplaceInvalidWithZero(*this, text); }
    QString CalcCheckDigit(const QString& text) const override { return codabar::CheckChar(text); }
    QString GetStartText() const override;
    QString GetStopText() const override;
};
