#include "barcode/BarcodeImpl_Code93.h"

namespace code93 {
namespace {

constexpr std::string_view kChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%abcd";

constexpr const char* kPatterns[47] = {
    "131112", "111213", "111312", "111411", "121113", "121212", "121311", "111114", "131211",
    "141111", "211113", "211212", "211311", "221112", "221211", "231111", "112113", "112212",
    "112311", "122112", "132111", "111123", "111222", "111321", "121122", "131121", "212112",
    "212211", "211122", "211221", "221121", "222111", "112122", "112221", "122121", "123111",
    "121131", "311112", "311211", "321111", "112131", "113121", "211131", "121221", "312111",
    "311121", "122211",
};

// a = ($), b = (%), c = (/), d = (+).
constexpr const char* kFullAscii[128] = {
    "bU", "aA", "aB", "aC", "aD", "aE", "aF", "aG", "aH", "aI", "aJ", "aK", "aL", "aM", "aN", "aO",
    "aP", "aQ", "aR", "aS", "aT", "aU", "aV", "aW", "aX", "aY", "aZ", "bA", "bB", "bC", "bD", "bE",
    " ",  "cA", "cB", "cC", "$",  "%",  "cF", "cG", "cH", "cI", "cJ", "+",  "cL", "-",  ".",  "cO",
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "cZ", "bF", "bG", "bH", "bI", "bJ",
    "bV", "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H",  "I",  "J",  "K",  "L",  "M",  "N",  "O",
    "P",  "Q",  "R",  "S",  "T",  "U",  "V",  "W",  "X",  "Y",  "Z",  "bK", "bL", "bM", "bN", "bO",
    "bW", "dA", "dB", "dC", "dD", "dE", "dF", "dG", "dH", "dI", "dJ", "dK", "dL", "dM", "dN", "dO",
    "dP", "dQ", "dR", "dS", "dT", "dU", "dV", "dW", "dX", "dY", "dZ", "bP", "bQ", "bR", "bS", "bT",
};

float AddPattern(CBarcodeData& bars, const char* pattern, float cursor, float m)
{
    for (int j = 0; j < 6; ++j) {
        const float w = static_cast<float>(pattern[j] - '0') * m;
        if (j % 2 == 0)
            bars.AddBar(cursor, w);
        cursor += w;
    }
    return cursor;
}

} // namespace

int IndexOf(QChar c)
{
    return IndexInTable(kChars, c);
}

bool IsDataChar(QChar c)
{
    const int i = IndexOf(c);
    return i >= 0 && i < 43;
}

const char* Pattern(int index)
{
    return kPatterns[index];
}

QString FullAsciiOf(QChar c)
{
    const int code = TableCode(c);
    return code >= 0 && code < 128 ? QString::fromLatin1(kFullAscii[code]) : QString();
}

QString CheckChars(const QString& text)
{
    const QChar first = QChar::fromLatin1(kChars[WeightedIndexSum(kChars, text, 20) % 47]);
    const QChar second = QChar::fromLatin1(kChars[WeightedIndexSum(kChars, QString(text + first), 15) % 47]);
    return QString(first) + second;
}

void BuildBars(const QString& fullText, float m, CBarcodeData& bars)
{
    static constexpr char kStartStop[] = "111141";
    float cursor = AddPattern(bars, kStartStop, 0.0f, m);
    for (QChar c : fullText)
        cursor = AddPattern(bars, kPatterns[std::max(IndexOf(c), 0)], cursor, m);
    cursor = AddPattern(bars, kStartStop, cursor, m);
    bars.AddBar(cursor, m);
}

} // namespace code93

void CBarcodeImpl_Code93::Encode()
{
    m_pSettings->m_strFullText = SanitizeText(m_pSettings->m_strContent);
}

void CBarcodeImpl_Code93::BuildBars()
{
    const QString text = BuildFullText(m_pSettings->m_strFullText);
    m_pData->ClearBars();
    code93::BuildBars(text, m_pSettings->m_fModuleWidth * kMilToMm, *m_pData);
}

QString CBarcodeImpl_Code93Full::BuildFullText(const QString& text)
{
    QString mapped;
    mapped.reserve(text.size() * 2);
    for (QChar c : text)
        mapped += code93::FullAsciiOf(c);
    return CBarcodeImpl_Code93::BuildFullText(mapped);
}
