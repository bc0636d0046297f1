#include "barcode/BarcodeImpl_MSI.h"

namespace msi {

QString DigitsOnly(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (IndexInTable("0123456789", c) >= 0)
            out += c;
    return out;
}

QChar CheckDigit(const QString& digits)
{
    // Doubling the number formed by every second digit and adding the digits of the
    // product equals doubling each digit and subtracting 9 for every digit of 5 or
    // more (each such digit carries once); this holds for any length.
    int total = 0;
    bool doubled = true;
    for (auto it = digits.crbegin(); it != digits.crend(); ++it) {
        const int d = it->unicode() - u'0';
        total += doubled ? 2 * d - (d >= 5 ? 9 : 0) : d;
        doubled = !doubled;
    }
    return QChar(static_cast<char16_t>(u'0' + (10 - total % 10) % 10));
}

QString ModulePattern(const QString& digits)
{
    QString pattern;
    pattern.reserve(digits.size() * 12 + 7);
    pattern += u"110";
    for (QChar c : digits) {
        const int d = c.unicode() - u'0';
        for (int bit = 3; bit >= 0; --bit)
            pattern += (d >> bit) & 1 ? u"110" : u"100";
    }
    pattern += u"1001";
    return pattern;
}

} // namespace msi

void CBarcodeImpl_MSI::Encode()
{
    m_strPattern = msi::ModulePattern(SetCompletedTexts(*this));
}

void CBarcodeImpl_MSI::BuildBars()
{
    m_pData->ClearBars();
    AddModuleRuns(*m_pData, m_strPattern, 0.0f, m_pSettings->m_fModuleWidth * kMilToMm);
}

void CBarcodeImpl_MSI::CopyFrom(const CBarcodeImpl& other)
{
    CBarcodeImpl::CopyFrom(other);
    m_strPattern = static_cast<const CBarcodeImpl_MSI&>(other).m_strPattern;
}
