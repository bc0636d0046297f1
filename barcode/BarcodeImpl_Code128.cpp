#include "barcode/BarcodeImpl_Code128.h"

#include "platform/VXException.h"

const char* const Code128Patterns[103] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131",
};

const char* const Code128PairTexts[100] = {
    "00", "01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11", "12", "13", "14", "15", "16",
    "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31", "32", "33",
    "34", "35", "36", "37", "38", "39", "40", "41", "42", "43", "44", "45", "46", "47", "48", "49", "50",
    "51", "52", "53", "54", "55", "56", "57", "58", "59", "60", "61", "62", "63", "64", "65", "66", "67",
    "68", "69", "70", "71", "72", "73", "74", "75", "76", "77", "78", "79", "80", "81", "82", "83", "84",
    "85", "86", "87", "88", "89", "90", "91", "92", "93", "94", "95", "96", "97", "98", "99",
};

namespace {

constexpr int kStartA = 103;
constexpr int kShift = 98;
constexpr int kCodeC = 99;
constexpr int kCodeB = 100;
constexpr int kCodeA = 101;
constexpr int kFNC1 = 102;

const char* const kStartPatterns[3] = {kCode128StartA, kCode128StartB, kCode128StartC};

// The byte the tables are searched with; units beyond Latin-1 match nothing.
inline int TableByte(QChar c)
{
    const char16_t u = c.unicode();
    return u <= 0xFF ? u : 0x100;
}
inline bool IsDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }
inline bool IsControl(QChar c) { return TableByte(c) <= 0x1F; }
inline bool IsLowerRange(QChar c)
{
    const int b = TableByte(c);
    return b >= 0x60 && b <= 0x7F;
}

int DigitRun(QStringView text, qsizetype p)
{
    qsizetype n = 0;
    while (p + n < text.size() && IsDigit(text[p + n]))
        ++n;
    return int(n);
}

// Whether a control character comes before any character of 0x60-0x7F.
bool ControlBeforeLowerCase(QStringView text)
{
    for (QChar c : text) {
        if (IsControl(c))
            return true;
        if (IsLowerRange(c))
            return false;
    }
    return false;
}

// Length of the run that stays in set B (A when inSetA) from p.
int RunLength(QStringView text, int p, bool inSetA)
{
    const int n = int(text.size());
    for (int i = p; i < n; ++i) {
        const QChar c = text[i];
        if (IsDigit(c)) {
            const int run = DigitRun(text, i);
            if (run >= 4)
                return run % 2 == 0 ? i - p : i - p + 1;
            continue;
        }
        if (i + 1 >= n)
            continue;
        if (inSetA) {
            if (IsLowerRange(c) && TableByte(text[i + 1]) > 0x1F)
                return i - p;
        } else if (IsControl(c) && !IsLowerRange(text[i + 1])) {
            return i - p;
        }
    }
    return n - p;
}

int ControlValue(int codeSet, int kind)
{
    switch (kind) {
    case SegmentCodeA: return kCodeA;
    case SegmentCodeB: return kCodeB;
    case SegmentCodeC: return kCodeC;
    case SegmentShift: return kShift;
    case SegmentFNC1: return kFNC1;
    case SegmentFNC2: return 97;
    case SegmentFNC3: return 96;
    case SegmentFNC4: return codeSet == Code128SetA ? 101 : 100;
    default: return -1;
    }
}

} // namespace

int Code128ValueA(QChar c)
{
    const int b = TableByte(c);
    if (b >= 0x20 && b <= 0x5F)
        return b - 0x20;
    if (b <= 0x1F)
        return b + 64;
    return -1;
}

int Code128ValueB(QChar c)
{
    const int b = TableByte(c);
    return b >= 0x20 && b <= 0x7F ? b - 0x20 : -1;
}

int Code128ValuePairC(QChar high, QChar low)
{
    if (!IsDigit(high) || !IsDigit(low))
        return -1;
    return (high.unicode() - u'0') * 10 + (low.unicode() - u'0');
}

Code128SegmentList BuildAutoSegments(QStringView text)
{
    Code128SegmentList list;
    const int n = int(text.size());
    const bool controlFirst = ControlBeforeLowerCase(text);
    int set;
    if (DigitRun(text, 0) >= 4)
        set = Code128SetC;
    else
        set = controlFirst ? Code128SetA : Code128SetB;
    list.startSet = set;
    auto& segs = list.segments;
    int p = 0;
    while (true) {
        if (set == Code128SetC) {
            int run = DigitRun(text, p);
            run -= run % 2;
            segs.push_back({Code128SetC, SegmentData, p, run});
            p += run;
            if (p >= n)
                break;
            if (controlFirst) {
                segs.push_back({Code128SetC, SegmentCodeA});
                set = Code128SetA;
            } else {
                segs.push_back({Code128SetC, SegmentCodeB});
                set = Code128SetB;
            }
            continue;
        }
        const bool inA = set == Code128SetA;
        const int other = inA ? Code128SetB : Code128SetA;
        const int end = p + RunLength(text, p, inA);
        int split = p;
        for (int i = p; i < end; ++i) {
            const bool shifted = inA ? IsLowerRange(text[i]) : IsControl(text[i]);
            if (!shifted)
                continue;
            segs.push_back({set, SegmentData, split, i - split});
            segs.push_back({set, SegmentShift});
            segs.push_back({other, SegmentData, i, 1});
            split = i + 1;
        }
        segs.push_back({set, SegmentData, split, end - split});
        p = end;
        if (p >= n)
            break;
        if (DigitRun(text, p) >= 4) {
            segs.push_back({set, SegmentCodeC});
            set = Code128SetC;
        } else {
            segs.push_back({set, inA ? SegmentCodeB : SegmentCodeA});
            set = other;
        }
    }
    return list;
}

void AppendAutoValues(const Code128SegmentList& list, QStringView text, std::vector<int>& values)
{
    for (const Code128Segment& seg : list.segments) {
        if (seg.kind != SegmentData) {
            values.push_back(ControlValue(seg.codeSet, seg.kind));
            continue;
        }
        const int end = seg.start + seg.length;
        if (seg.codeSet == Code128SetC) {
            for (int i = seg.start; i + 1 < end; i += 2)
                values.push_back(Code128ValuePairC(text[i], text[i + 1]));
        } else {
            for (int i = seg.start; i < end; ++i)
                values.push_back(seg.codeSet == Code128SetA ? Code128ValueA(text[i]) : Code128ValueB(text[i]));
        }
    }
}

int32_t CBarcodeImpl_Code128::CodeSet() const
{
    return SettingsAs<CBarcodeSettings_Code128>().EffectiveCodeSet();
}

bool CBarcodeImpl_Code128::IsValidChar(QChar c) const
{
    switch (CodeSet()) {
    case Code128SetA: return Code128ValueA(c) >= 0;
    case Code128SetB: return Code128ValueB(c) >= 0;
    case Code128SetC: return IsDigit(c);
    default: return Code128ValueA(c) >= 0 || Code128ValueB(c) >= 0;
    }
}

QString CBarcodeImpl_Code128::SanitizeText(const QString& text) const
{
    QString result(text.size() + 1, Qt::Uninitialized);
    QChar* out = result.data();
    qsizetype n = 0;
    for (QChar c : text) {
        if (IsValidChar(c))
            out[n++] = c;
    }
    if (CodeSet() == Code128SetC && n % 2 != 0)
        out[n++] = QLatin1Char('0');
    result.truncate(n);
    return result;
}

void CBarcodeImpl_Code128::BuildValues(QStringView text, int32_t codeSet, std::vector<int>& values) const
{
    values.clear();
    values.reserve(text.size() + 8);
    if (codeSet == Code128SetAuto) {
        const Code128SegmentList list = BuildAutoSegments(text);
        values.push_back(kStartA + list.startSet);
        if (StartsWithFNC1())
            values.push_back(kFNC1);
        AppendAutoValues(list, text, values);
        return;
    }
    values.push_back(kStartA + codeSet);
    if (StartsWithFNC1())
        values.push_back(kFNC1);
    if (codeSet == Code128SetC) {
        for (qsizetype i = 0; i + 1 < text.size(); i += 2)
            values.push_back(Code128ValuePairC(text[i], text[i + 1]));
        return;
    }
    for (QChar c : text)
        values.push_back(codeSet == Code128SetA ? Code128ValueA(c) : Code128ValueB(c));
}

int CBarcodeImpl_Code128::CheckValue(const std::vector<int>& values)
{
    int64_t sum = values.empty() ? 0 : values[0];
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i] > 0)
            sum += int64_t(i) * values[i];
    }
    return int(sum % 103);
}

QString CBarcodeImpl_Code128::PatternOfValues(const std::vector<int>& values)
{
    // Every symbol character is six width digits; written straight into the result.
    qsizetype count = 0;
    for (size_t i = 1; i < values.size(); ++i)
        count += values[i] >= 0 && values[i] < 103 ? 1 : 0;
    QString pattern((count + 2) * 6 + 7, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(pattern.data());
    auto put = [&out](const char* widths, int length) {
        for (int k = 0; k < length; ++k)
            *out++ = char16_t(widths[k]);
    };
    put(kStartPatterns[values.front() - kStartA], 6);
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i] >= 0 && values[i] < 103)
            put(Code128Patterns[values[i]], 6);
    }
    put(Code128Patterns[CheckValue(values)], 6);
    put(kCode128Stop, 7);
    return pattern;
}

QString CBarcodeImpl_Code128::CalcCheckCharacter(const QString& text) const
{
    const int32_t codeSet = CodeSet();
    if (codeSet == Code128SetAuto)
        throw CBarcodeException(QStringLiteral("Not implemented here"));
    std::vector<int> values;
    BuildValues(text, codeSet, values);
    return QLatin1String(Code128Patterns[CheckValue(values)]);
}

void CBarcodeImpl_Code128::Encode()
{
    CBarcodeSettings& s = *m_pSettings;
    s.m_strFullText = SanitizeText(s.m_strContent);
    s.m_strEncodedText = BuildFullText(s.m_strFullText);
    s.m_strDisplayText = GetDisplayText(s.m_strFullText);
    std::vector<int> values;
    BuildValues(s.m_strEncodedText, CodeSet(), values);
    m_strPattern = PatternOfValues(values);
}

void CBarcodeImpl_Code128::BuildBars()
{
    if (m_pData)
        BuildBarsFromWidths(*m_pData, m_strPattern, m_pSettings->m_fModuleWidth);
}

void CBarcodeImpl_Code128::CopyFrom(const CBarcodeImpl& other)
{
    CBarcodeImpl::CopyFrom(other);
    if (const auto* o = dynamic_cast<const CBarcodeImpl_Code128*>(&other))
        m_strPattern = o->m_strPattern;
}
