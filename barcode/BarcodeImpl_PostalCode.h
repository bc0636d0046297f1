#pragma once

#include "barcode/BarcodeImpl_EAN128.h"

// The postal receipt code: thirteen characters in automatic Code 128.
class CBarcodeImpl_PostalCode : public CBarcodeImpl_Code128
{
public:
    QString SanitizeText(const QString& text) const override;
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_PostalCode>(); }
};

// The medical supervision code: twenty digits in Code 128 set C.
class CBarcodeImpl_MedicalCode : public CBarcodeImpl_Code128
{
public:
    QString SanitizeText(const QString& text) const override;
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_MedicalCode>(); }
};

// The electronic supervision code: "21" and twenty digits in GS1-128; the line
// shows the twenty digits only.
class CBarcodeImpl_MonitorCode : public CBarcodeImpl_EAN128
{
public:
    QString SanitizeText(const QString& text) const override;
    QString BuildFullText(const QString& text) override;
    QString GetDisplayText(const QString& text) const override { return text; }
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_MonitorCode>(); }
};

// Every character that is not a digit becomes "0"; cut to the first twenty, or
// "0" put on the left up to twenty.
QString SanitizeSupervisionCode(const QString& text);
