#include "barcode/BarcodeImpl_Code39.h"

namespace code39 {
namespace {

constexpr std::string_view kChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";

constexpr const char* kPatterns[44] = {
    "000110100", "100100001", "001100001", "101100000", "000110001", "100110000", "001110000",
    "000100101", "100100100", "001100100", "100001001", "001001001", "101001000", "000011001",
    "100011000", "001011000", "000001101", "100001100", "001001100", "000011100", "100000011",
    "001000011", "101000010", "000010011", "100010010", "001010010", "000000111", "100000110",
    "001000110", "000010110", "110000001", "011000001", "111000000", "010010001", "110010000",
    "011010000", "010000101", "110000100", "011000100", "010101000", "010100010", "010001010",
    "000101010", "010010100",
};

// Substitutions for codes 0-127: control characters as "$" or "%" pairs, most
// punctuation as "/" pairs, lower-case letters as "+" pairs.
constexpr const char* kFullAscii[128] = {
    "%U", "$A", "$B", "$C", "$D", "$E", "$F", "$G", "$H", "$I", "$J", "$K", "$L", "$M", "$N", "$O",
    "$P", "$Q", "$R", "$S", "$T", "$U", "$V", "$W", "$X", "$Y", "$Z", "%A", "%B", "%C", "%D", "%E",
    " ",  "/A", "/B", "/C", "/D", "/E", "/F", "/G", "/H", "/I", "/J", "/K", "/L", "-",  ".",  "/O",
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "/Z", "%F", "%G", "%H", "%I", "%J",
    "%V", "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H",  "I",  "J",  "K",  "L",  "M",  "N",  "O",
    "P",  "Q",  "R",  "S",  "T",  "U",  "V",  "W",  "X",  "Y",  "Z",  "%K", "%L", "%M", "%N", "%O",
    "%W", "+A", "+B", "+C", "+D", "+E", "+F", "+G", "+H", "+I", "+J", "+K", "+L", "+M", "+N", "+O",
    "+P", "+Q", "+R", "+S", "+T", "+U", "+V", "+W", "+X", "+Y", "+Z", "%P", "%Q", "%R", "%S", "%T",
};

} // namespace

int IndexOf(QChar c)
{
    return IndexInTable(kChars, c);
}

bool IsDataChar(QChar c)
{
    const int i = IndexOf(c);
    return i >= 0 && i != kStartStopIndex;
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

QChar CheckChar(const QString& text)
{
    int sum = 0;
    for (QChar c : text)
        sum += std::max(IndexOf(c), 0);
    return QChar::fromLatin1(kChars[sum % 43]);
}

void BuildBars(const QString& fullText, float narrow, float wide, CBarcodeData& bars)
{
    float pos = 0.0f;
    for (QChar c : fullText) {
        const char* pattern = kPatterns[std::max(IndexOf(c), 0)];
        for (int j = 0; j < 9; ++j) {
            const float w = pattern[j] == '1' ? wide : narrow;
            if (j % 2 == 0)
                bars.AddBar(pos, w);
            pos += w;
        }
        pos += narrow;
    }
}

} // namespace code39

void CBarcodeImpl_Code39::Encode()
{
    m_pSettings->m_strFullText = SanitizeText(m_pSettings->m_strContent);
}

void CBarcodeImpl_Code39::BuildBarsFromText()
{
    const CBarcodeSettings& s = *m_pSettings;
    const float narrow = s.m_fModuleWidth * kMilToMm;
    m_pData->ClearBars();
    code39::BuildBars(BuildFullText(s.m_strFullText), narrow, s.m_fRatio * narrow, *m_pData);
}

QString CBarcodeImpl_Code39::SanitizeText(const QString& text) const
{
    return ReplaceInvalidWithZero(*this, text);
}

QString CBarcodeImpl_Code39::CalcCheckDigit(const QString& text) const
{
    return QString(code39::CheckChar(text));
}

QString CBarcodeImpl_Code39Full::BuildFullText(const QString& text)
{
    QString mapped;
    mapped.reserve(text.size() * 2);
    for (QChar c : text)
        mapped += code39::FullAsciiOf(c);
    return CBarcodeImpl_Code39::BuildFullText(mapped);
}
