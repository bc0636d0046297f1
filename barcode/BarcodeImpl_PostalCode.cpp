#include "barcode/BarcodeImpl_PostalCode.h"

namespace {

inline bool IsPostalDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

} // namespace

QString CBarcodeImpl_PostalCode::SanitizeText(const QString& text) const
{
    // The first two characters may be letters; a character Code 128 cannot carry
    // becomes "0" like any other invalid one, so bars and check character agree.
    QString result = text.left(13);
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result[i];
        const bool keep = i < 2 ? (Code128ValueA(c) >= 0 || Code128ValueB(c) >= 0) : IsPostalDigit(c);
        if (!keep)
            result[i] = QLatin1Char('0');
    }
    if (result.size() < 13)
        result += QString(13 - result.size(), QLatin1Char('0'));
    return result;
}

QString SanitizeSupervisionCode(const QString& text)
{
    QString result = text.left(20);
    for (QChar& c : result) {
        if (!IsPostalDigit(c))
            c = QLatin1Char('0');
    }
    if (result.size() < 20)
        result.prepend(QString(20 - result.size(), QLatin1Char('0')));
    return result;
}

QString CBarcodeImpl_MedicalCode::SanitizeText(const QString& text) const
{
    return SanitizeSupervisionCode(text);
}

QString CBarcodeImpl_MonitorCode::SanitizeText(const QString& text) const
{
    return SanitizeSupervisionCode(text);
}

QString CBarcodeImpl_MonitorCode::BuildFullText(const QString& text)
{
    return QStringLiteral("21") + text;
}
