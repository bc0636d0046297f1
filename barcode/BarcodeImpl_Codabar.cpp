#include "barcode/BarcodeImpl_Codabar.h"

namespace codabar {
namespace {

constexpr std::string_view kChars = "0123456789-$:/.+ABCD";

constexpr const char* kPatterns[20] = {
    "0000011", "0000110", "0001001", "1100000", "0010010", "1000010", "0100001",
    "0100100", "0110000", "1001000", "0001100", "0011000", "1000101", "1010001",
    "1010100", "0010101", "0011010", "0101001", "0001011", "0001110",
};

} // namespace

int IndexOf(QChar c)
{
    return IndexInTable(kChars, c);
}

bool IsDataChar(QChar c)
{
    const int i = IndexOf(c);
    return i >= 0 && i < 16;
}

const char* Pattern(int index)
{
    return kPatterns[index];
}

QChar StartStopLetter(int setting)
{
    return QChar::fromLatin1(setting >= 0 && setting <= 2 ? "ABC"[setting] : 'D');
}

QString CheckChar(const QString& text)
{
    int sum = 0;
    for (QChar c : text)
        sum += std::max(IndexOf(c), 0);
    const int r = sum % 16;
    return r == 0 ? QString() : QString(QChar::fromLatin1(kChars[16 - r]));
}

std::vector<unsigned char> Elements(const QString& fullText)
{
    std::vector<unsigned char> elements;
    elements.reserve(static_cast<size_t>(fullText.size()) * 8);
    for (QChar c : fullText) {
        const char* pattern = kPatterns[std::max(IndexOf(c), 0)];
        for (int j = 0; j < 7; ++j)
            elements.push_back(pattern[j] == '1' ? 1 : 0);
        elements.push_back(0);
    }
    return elements;
}

void BuildBars(const std::vector<unsigned char>& elements, float narrow, float wide, CBarcodeData& bars)
{
    float pos = 0.0f;
    for (size_t i = 0; i < elements.size(); ++i) {
        const float w = elements[i] ? wide : narrow;
        if (i % 2 == 0)
            bars.AddBar(pos, w);
        pos += w;
    }
}

} // namespace codabar

void CBarcodeImpl_Codabar::Encode()
{
    CBarcodeSettings& s = *m_pSettings;
    s.m_strFullText = SanitizeText(s.m_strContent);
    static_cast<CBarcodeData_Codabar&>(*m_pData).m_arrElements = codabar::Elements(BuildFullText(s.m_strFullText));
}

void CBarcodeImpl_Codabar::BuildBars()
{
    const auto& data = static_cast<CBarcodeData_Codabar&>(*m_pData);
    const float narrow = m_pSettings->m_fModuleWidth * kMilToMm;
    m_pData->ClearBars();
    codabar::BuildBars(data.m_arrElements, narrow, m_pSettings->m_fRatio * narrow, *m_pData);
}

QString CBarcodeImpl_Codabar::GetStartText() const
{
    return QString(codabar::StartStopLetter(m_pSettings->m_nStartChar));
}

QString CBarcodeImpl_Codabar::GetStopText() const
{
    return QString(codabar::StartStopLetter(m_pSettings->m_nStopChar));
}
