#include "barcode/BarcodeImpl_Code11.h"

namespace code11 {
namespace {

constexpr std::string_view kChars = "0123456789-";

constexpr const char* kPatterns[11] = {
    "00002", "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "20000", "00200",
};

} // namespace

int IndexOf(QChar c)
{
    return IndexInTable(kChars, c);
}

const char* Pattern(int index)
{
    return kPatterns[index];
}

QString CheckChars(const QString& text)
{
    const QChar first = QChar::fromLatin1(kChars[WeightedIndexSum(kChars, text, 10) % 11]);
    const QChar second = QChar::fromLatin1(kChars[WeightedIndexSum(kChars, QString(text + first), 9) % 11]);
    return QString(first) + second;
}

void BuildBars(const QString& fullText, float m, float wide, CBarcodeData& bars)
{
    bars.AddBar(0.0f, m);
    bars.AddBar(2 * m, wide);
    bars.AddBar(2 * m + 2 * wide, m);
    float cursor = 4 * m + 2 * wide;
    for (QChar c : fullText) {
        const char* pattern = kPatterns[std::max(IndexOf(c), 0)];
        for (int j = 0; j < 5; ++j) {
            const float w = pattern[j] == '0' ? m : pattern[j] == '1' ? wide : 3 * m;
            if (j % 2 == 0)
                bars.AddBar(cursor, w);
            cursor += w;
        }
        cursor += m;
    }
    bars.AddBar(cursor, m);
    bars.AddBar(cursor + 2 * m, wide);
    bars.AddBar(cursor + 2 * m + 2 * wide, m);
}

} // namespace code11

void CBarcodeImpl_Code11::Encode()
{
    m_pSettings->m_strFullText = SanitizeText(m_pSettings->m_strContent);
}

void CBarcodeImpl_Code11::BuildBarsFromText()
{
    CBarcodeSettings& s = *m_pSettings;
    s.m_strEncodedText = BuildFullText(s.m_strFullText);
    const float m = s.m_fModuleWidth * kMilToMm;
    m_pData->ClearBars();
    code11::BuildBars(s.m_strEncodedText, m, s.m_fRatio * m, *m_pData);
}
