#pragma once

#include "barcode/BarcodeImpl.h"
#include "barcode/LinearCommon.h"

#include <QString>

// MSI rules: four bits per digit, each bit three modules.
namespace msi {

// The digits of the text; everything else is dropped.
QString DigitsOnly(const QString& text);
// The modulo 10 check digit (doubling every second digit from the last one).
QChar CheckDigit(const QString& digits);
// "110", twelve modules per digit, "1001".
QString ModulePattern(const QString& digits);

} // namespace msi

// MSI: the completed digits as a module pattern whose dark runs are the bars.
class CBarcodeImpl_MSI : public CBarcodeImpl
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_MSI>(); }
    void Encode() override;
    void BuildBars() override;
    bool IsValidChar(QChar c) const override { return c >= u'0' && c <= u'9'; }
    QString SanitizeText(const QString& text) const override { return msi::DigitsOnly(text); }
    QString GetDisplayText(const QString&) const override { return m_pSettings->m_strDisplayText; }
    QString CalcCheckDigit(const QString& text) const override { return QString(msi::CheckDigit(text)); }

    QString m_strPattern;

protected:
    void CopyFrom(const CBarcodeImpl& other) override;
};
