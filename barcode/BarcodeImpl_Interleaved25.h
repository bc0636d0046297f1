#pragma once

#include "barcode/BarcodeImpl.h"
#include "barcode/LinearCommon.h"

#include <QString>
#include <vector>

// Rules shared by the 2-of-5 family (Interleaved, Industrial, Matrix, ITF-14).
namespace twooffive {

// Five elements, '1' wide; a character that is not a digit gets five narrow ones.
const char* DigitPattern(QChar c);
QString DigitsOnly(const QString& text);
// Weights 3, 1, 3 ... from the last character; the check character may fall outside
// the digits for non-digit input.
QChar CheckDigit(const QString& text);
// Appends the check digit when asked, then a leading "0" to make the length even.
QString Complete(const QString& text, bool addCheckDigit);

// Element sequences (1 wide, 0 narrow).
// Interleaved: bars and spaces alternate, the first digit of each pair in the bars.
std::vector<unsigned char> InterleavedElements(const QString& text);
// Industrial: bars only, five per digit.
std::vector<unsigned char> IndustrialElements(const QString& text);
// Matrix: bars and spaces alternate, five per digit and a narrow gap.
std::vector<unsigned char> MatrixElements(const QString& text);

void BuildInterleavedBars(const std::vector<unsigned char>& e, float m, float w, CBarcodeData& bars);
void BuildIndustrialBars(const std::vector<unsigned char>& e, float m, float w, CBarcodeData& bars);
void BuildMatrixBars(const std::vector<unsigned char>& e, float m, float w, CBarcodeData& bars);

// ITF-14 content: digits only, padded with leading zeros or cut to 13 (check
// digit added) or 14 digits.
QString Itf14Digits(const QString& text, bool addCheckDigit);

} // namespace twooffive

// Shared by the 2-of-5 family: digits only, the completed text (check digit,
// even length) is encoded and shown.
class CBarcodeImpl_TwoOfFive : public CBarcodeImpl
{
public:
    void Encode() override;
    QString SanitizeText(const QString& text) const override { return twooffive::DigitsOnly(text); }
    QString BuildFullText(const QString& text) override;
    QString GetDisplayText(const QString&) const override { return m_pSettings->m_strDisplayText; }
    QString CalcCheckDigit(const QString& text) const override { return QString(twooffive::CheckDigit(text)); }

protected:
    virtual std::vector<uint8_t> MakeElements(const QString& text) const = 0;
    std::vector<uint8_t>& Elements() const { return static_cast<CBarcodeData_Elements&>(*m_pData).m_arrElements; }
    float Narrow() const { return m_pSettings->m_fModuleWidth * kMilToMm; }
    float Wide() const { return m_pSettings->m_fRatio * Narrow(); }
};

class CBarcodeImpl_Interleaved25 : public CBarcodeImpl_TwoOfFive
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Interleaved25>(); }
    void BuildBars() override;

protected:
    std::vector<uint8_t> MakeElements(const QString& text) const override;
};

class CBarcodeImpl_Industrial25 : public CBarcodeImpl_TwoOfFive
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Industrial25>(); }
    void BuildBars() override;

protected:
    std::vector<uint8_t> MakeElements(const QString& text) const override;
};

class CBarcodeImpl_Matrix25 : public CBarcodeImpl_TwoOfFive
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_Matrix25>(); }
    void BuildBars() override;

protected:
    std::vector<uint8_t> MakeElements(const QString& text) const override;
};

// ITF-14: 14 digits of Interleaved 2 of 5 inside a bearer frame. The frame is
// drawn centred on the box outline, 2 modules thick, so its inner edge lies one
// module inside the box; the bars start one module further in than the ten-module
// quiet zone so that the whole quiet zone stays clear inside the frame.
class CBarcodeImpl_ITF14 : public CBarcodeImpl_Interleaved25
{
public:
    // Modules between the box edge and the first bar (and after the last bar).
    static constexpr int kQuietModules = 11;

    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_ITF14>(); }
    void Draw(QPainter& graphics) override;
    void BuildBars() override;
    // The base CalcSize calls this one, so the margin is counted once.
    void CalcWidth() override;
    QString SanitizeText(const QString& text) const override;
};
