#pragma once

#include "barcode/BarcodeImpl.h"
#include "barcode/LinearCommon.h"

#include <QString>

// POSTNET rules: five bars per digit, two of them tall.
namespace postnet {

QChar CheckDigit(const QString& digits);
// One character per bar, "1" tall: a frame bar, five per digit, a frame bar.
QString BarPattern(const QString& digits);

} // namespace postnet

// POSTNET: tall and short bars of one width at a fixed pitch; draws for itself.
class CBarcodeImpl_PostNet : public CBarcodeImpl
{
public:
    std::unique_ptr<CBarcodeImpl> Clone() const override { return CloneAs<CBarcodeImpl_PostNet>(); }
    void Draw(QPainter& graphics) override;
    void Encode() override;
    void BuildBars() override;
    bool IsValidChar(QChar c) const override { return c >= u'0' && c <= u'9'; }
    QString SanitizeText(const QString& text) const override;
    QString GetDisplayText(const QString& text) const override { return text; }
    QString CalcCheckDigit(const QString& text) const override { return QString(postnet::CheckDigit(text)); }

    // One character per bar, "1" tall.
    QString m_strPattern;

protected:
    void CopyFrom(const CBarcodeImpl& other) override;

private:
    float Pitch() const;
};
