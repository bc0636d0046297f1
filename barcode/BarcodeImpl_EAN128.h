#pragma once

#include "barcode/BarcodeImpl_Code128.h"

#include <vector>

// One application identifier known to the human-readable parse.
struct GS1AiRow
{
    const char* ai;
    bool fixedLength;
    int firstLength;  // fixed: total length of AI and data; variable: AI length
    int secondLength; // fixed: 0; variable: maximum total length
    const char16_t* name;
};

// The application identifiers in their fixed order (131 rows).
const std::vector<GS1AiRow>& GS1AiTable();

// GS1-128: Code 128 with FNC1 after the start character. The content is encoded as
// typed (one FNC1, no split at AIs); the line shows the fixed-length AIs of the
// table's first rows in parentheses unless the settings hide them.
class CBarcodeImpl_EAN128 : public CBarcodeImpl_Code128
{
public:
    QString GetDisplayText(const QString& text) const override;
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_EAN128>(); }

protected:
    bool StartsWithFNC1() const override { return true; }
};

// EAN-14 and SCC-14 in GS1-128 form: "01" and fourteen characters as entered.
class CBarcodeImpl_EAN14 : public CBarcodeImpl_EAN128
{
public:
    QString SanitizeText(const QString& text) const override;
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_EAN14>(); }
};

// SSCC-18: "00", seventeen characters and the GS1 check digit.
class CBarcodeImpl_SSCC18 : public CBarcodeImpl_EAN128
{
public:
    QString SanitizeText(const QString& text) const override;
    QString BuildFullText(const QString& text) override;
    QString GetDisplayText(const QString& text) const override;
    QString CalcCheckDigit(const QString& text) const override;
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_SSCC18>(); }

    // Kept apart from the settings' check-digit text, which SSCC-18 leaves alone.
    QString m_strCheckDigit;

protected:
    void CopyFrom(const CBarcodeImpl& other) override;
};

// Keeps the characters that pass IsValidChar, cut to length or padded with "0" on
// the left, behind a prefix.
QString SanitizeFixedLength(const CBarcodeImpl& impl, const QString& text, int length, const QString& prefix);
