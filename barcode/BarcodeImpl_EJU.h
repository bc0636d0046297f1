#pragma once

#include "barcode/BarcodeImpl.h"
#include "barcode/LinearCommon.h"

#include <QString>

// Number sets, parity tables, guards and check digits of the EAN/UPC family.
namespace eanupc {

enum NumberSet { SetA = 0, SetB = 1, SetC = 2 };

// Seven modules of a digit in a number set.
QLatin1String GetDigitPattern(int digit, int set);
QLatin1String GetEAN13LeftDigitPattern(int leadingDigit, int position, int digit);
QLatin1String GetUPCEDigitPattern(int checkDigit, int position, int digit);
QLatin1String GetAddon2DigitPattern(int valueMod4, int position, int digit);
QLatin1String GetAddon5DigitPattern(int checkValue, int position, int digit);

// Keeps the digits, then pads with leading zeros or cuts to exactly n digits.
QString FilterDigits(const QString& text, int n);
// (10 - weighted sum mod 10) mod 10 with weights alternating from firstWeight (1 or 3).
QChar CheckDigit(QStringView digits, int firstWeight);
// The UPC-A number (11 digits, number system 0) that six UPC-E digits stand for.
QString ExpandUPCE(QStringView sixDigits);

QString EAN13Pattern(QStringView digits13);
QString EAN8Pattern(QStringView digits8);
QString UPCAPattern(QStringView digits12);
QString UPCEPattern(QStringView digits7);
// kind 1: two digits; any other kind: five digits.
QString BuildAddonPattern(QStringView digits, int kind);

// Bars of a main pattern followed by an add-on of addonKind (0 none, 1 two digits,
// 2 five digits) whose 20 or 47 modules end the pattern; the add-on starts 7 + gap
// modules after the main symbol, the main symbol after a 7-module margin when asked.
void BuildBarsFromPattern(const QString& pattern, int addonKind, int addonGap, float m, bool leftMargin,
                          CBarcodeData& bars);

} // namespace eanupc

// What sets the four main symbols apart: digit counts, check weights, margins,
// guard bars and where the digits stand.
struct EJUSymbolLayout
{
    int dataDigits;        // before the check digit
    int firstWeight;       // check digit weight of the first digit (1 or 3)
    bool leftMargin;       // 7 modules before the first bar
    bool rightMargin;      // 7 modules after the symbol when there is no add-on
    const int* guardBars;  // bar indices drawn at guard height, ending with -1
    // The digit row: what stands left of the symbol, one or two groups of digits
    // between the guards, and a small check digit right of the symbol.
    enum LeftDigit { NoLeftDigit, LeftDigitMain, LeftDigitSmall, LeftZeroSmall } leftDigit;
    int groupFirstDigit[2]; // -1: no second group
    int groupSize;
    int groupAnchorBar[2];  // a group starts one module after this bar's end
    int spacingModules;     // spacing s = (spacingModules m - groupSize c) / (groupSize - 1)
    int rightDigit;         // index of the small digit right of the symbol, -1 none
    int rightAnchorBar;
};

// The EAN/UPC family: digits only, the element pattern (one character per module,
// add-on included) built by Encode and read by BuildBars.
class CBarcodeImpl_EJU : public CBarcodeImpl
{
public:
    bool IsValidChar(QChar c) const override { return c >= u'0' && c <= u'9'; }

    QString m_strPattern;

protected:
    void CopyFrom(const CBarcodeImpl& other) override;
    CBarcodeSettings_EJU& EJUSettings() const { return SettingsAs<CBarcodeSettings_EJU>(); }
    // The add-on kind as the engine uses it: 1 or 2, any other stored value as none.
    int AddonKind() const;
    float Module() const { return m_pSettings->m_fModuleWidth * kMilToMm; }
};

// EAN-13, EAN-8, UPC-A and UPC-E share every operation but their layout, their
// pattern and (UPC-E) their check digit.
class CBarcodeImpl_EJUMain : public CBarcodeImpl_EJU
{
public:
    void Draw(QPainter& graphics) override;
    void Encode() override;
    void BuildBars() override;
    QString SanitizeText(const QString& text) const override;
    QString BuildFullText(const QString& text) override;
    QString GetDisplayText(const QString&) const override { return m_pSettings->m_strDisplayText; }
    QString CalcCheckDigit(const QString& text) const override;
    // The base CalcSize calls this one, so the margin is counted once.
    void CalcWidth() override;

protected:
    virtual const EJUSymbolLayout& Layout() const = 0;
    virtual QString MainPattern(QStringView digits) const = 0;
};

class CBarcodeImpl_EAN13 : public CBarcodeImpl_EJUMain
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_EAN13>(); }

protected:
    const EJUSymbolLayout& Layout() const override;
    QString MainPattern(QStringView digits) const override { return eanupc::EAN13Pattern(digits); }
};

class CBarcodeImpl_EAN8 : public CBarcodeImpl_EJUMain
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_EAN8>(); }

protected:
    const EJUSymbolLayout& Layout() const override;
    QString MainPattern(QStringView digits) const override { return eanupc::EAN8Pattern(digits); }
};

class CBarcodeImpl_UPCA : public CBarcodeImpl_EJUMain
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_UPCA>(); }

protected:
    const EJUSymbolLayout& Layout() const override;
    QString MainPattern(QStringView digits) const override { return eanupc::UPCAPattern(digits); }
};

class CBarcodeImpl_UPCE : public CBarcodeImpl_EJUMain
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_UPCE>(); }
    // The UPC-A check digit of the number the six digits stand for.
    QString CalcCheckDigit(const QString& text) const override;

protected:
    const EJUSymbolLayout& Layout() const override;
    QString MainPattern(QStringView digits) const override { return eanupc::UPCEPattern(digits); }
};

// The 2- and 5-digit add-on symbols on their own.
class CBarcodeImpl_EJU_Supp : public CBarcodeImpl_EJU
{
public:
    void Draw(QPainter& graphics) override;
    void Encode() override;
    void BuildBars() override;
    QString SanitizeText(const QString& text) const override;
    QString BuildFullText(const QString& text) override { return text; }
    QString GetDisplayText(const QString& text) const override { return text; }

    int32_t m_nDigitCount = 0; // 0 two digits, 1 five digits

protected:
    void CopyFrom(const CBarcodeImpl& other) override;
    int Digits() const { return m_nDigitCount == 0 ? 2 : 5; }
};

class CBarcodeImpl_EJU_Supp2 : public CBarcodeImpl_EJU_Supp
{
public:
    CBarcodeImpl_EJU_Supp2() { m_nDigitCount = 0; }
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_EJU_Supp2>(); }
};

class CBarcodeImpl_EJU_Supp5 : public CBarcodeImpl_EJU_Supp
{
public:
    CBarcodeImpl_EJU_Supp5() { m_nDigitCount = 1; }
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_EJU_Supp5>(); }
};
