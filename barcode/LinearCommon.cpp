#include "barcode/LinearCommon.h"

#include "barcode/BarcodeImpl.h"

float AddModuleRuns(CBarcodeData& bars, QStringView pattern, float x0, float m)
{
    float x = x0;
    bool open = false;
    float runX = 0.0f;
    float runW = 0.0f;
    for (QChar c : pattern) {
        if (c == u'1') {
            if (open) {
                runW += m;
            } else {
                open = true;
                runX = x;
                runW = m;
            }
        } else if (open) {
            bars.AddBar(runX, runW);
            open = false;
        }
        x += m;
    }
    if (open)
        bars.AddBar(runX, runW);
    return x;
}

int IndexInTable(std::string_view table, QChar c)
{
    const int code = TableCode(c);
    const auto at = code < 0 ? std::string_view::npos : table.find(static_cast<char>(code));
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

int WeightedIndexSum(std::string_view table, QStringView text, int maxWeight)
{
    int sum = 0;
    int weight = 1;
    for (auto it = text.crbegin(); it != text.crend(); ++it) {
        sum += weight * std::max(IndexInTable(table, *it), 0);
        weight = weight == maxWeight ? 1 : weight + 1;
    }
    return sum;
}

QString ReplaceInvalidWithZero(const CBarcodeImpl& impl, const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (!impl.IsValidChar(c))
            c = u'0';
    return out;
}

const QString& SetCompletedTexts(CBarcodeImpl& impl)
{
    CBarcodeSettings& s = *impl.GetSettings();
    s.m_strFullText = impl.SanitizeText(s.m_strContent);
    s.m_strEncodedText = impl.BuildFullText(s.m_strFullText);
    s.m_strDisplayText = s.m_strEncodedText;
    return s.m_strEncodedText;
}
