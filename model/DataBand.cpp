#include "model/DataBand.h"

#include "model/Utils.h"
#include "platform/Numbers.h"
#include "platform/VXException.h"

#include <algorithm>
#include <climits>
#include <string>

namespace {

// A decimal number as typed: rounding works on these digits, never on a binary
// float, so "0.29" with two decimals stays "0.29".
struct DecimalText
{
    bool negative = false;
    std::string whole; // no leading zeros; empty means 0
    std::string fraction;
};

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool IsCSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// Beyond this the reading of a float is infinite or zero anyway; the limit keeps a
// hostile exponent from writing out millions of digits.
constexpr int kExponentLimit = 400;

// The leading numeric part, with the grammar the leading-number reading accepts:
// blanks, one sign, digits with an optional point, an optional exponent. No digits
// at all reads as 0.
DecimalText ParseDecimal(QStringView text)
{
    DecimalText number;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsCSpace(text[i]))
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        number.negative = text[i] == u'-';
        ++i;
    }
    std::string digits;
    qsizetype pointAt = -1;
    for (; i < n; ++i) {
        if (IsAsciiDigit(text[i]))
            digits.push_back(static_cast<char>(text[i].unicode()));
        else if (text[i] == u'.' && pointAt < 0)
            pointAt = static_cast<qsizetype>(digits.size());
        else
            break;
    }
    if (digits.empty())
        return {};
    if (pointAt < 0)
        pointAt = static_cast<qsizetype>(digits.size());

    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        bool expNegative = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            expNegative = text[j] == u'-';
            ++j;
        }
        if (j < n && IsAsciiDigit(text[j])) {
            long exponent = 0;
            for (; j < n && IsAsciiDigit(text[j]); ++j) {
                if (exponent <= kExponentLimit)
                    exponent = exponent * 10 + (text[j].unicode() - u'0');
            }
            if (exponent > kExponentLimit)
                exponent = kExponentLimit;
            pointAt += expNegative ? -exponent : exponent;
        }
    }
    if (pointAt < 0) {
        digits.insert(0, static_cast<size_t>(-pointAt), '0');
        pointAt = 0;
    }
    if (pointAt > static_cast<qsizetype>(digits.size()))
        digits.append(static_cast<size_t>(pointAt) - digits.size(), '0');

    number.whole = digits.substr(0, static_cast<size_t>(pointAt));
    number.fraction = digits.substr(static_cast<size_t>(pointAt));
    const size_t firstNonZero = number.whole.find_first_not_of('0');
    number.whole.erase(0, firstNonZero == std::string::npos ? number.whole.size() : firstNonZero);
    return number;
}

void AddOneUnitInLastPlace(DecimalText& number)
{
    for (auto it = number.fraction.rbegin(); it != number.fraction.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    for (auto it = number.whole.rbegin(); it != number.whole.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    number.whole.insert(number.whole.begin(), '1');
}

// Keeps at most `places` decimals, cutting the rest or rounding half away from zero
// on the first dropped digit.
void CutDecimals(DecimalText& number, int places, bool round)
{
    const size_t keep = static_cast<size_t>(places);
    if (number.fraction.size() > keep) {
        const bool up = round && number.fraction[keep] >= '5';
        number.fraction.resize(keep);
        if (up)
            AddOneUnitInLastPlace(number);
    }
}

// As CutDecimals, then pads with zeros to exactly `places` decimals.
void LimitDecimals(DecimalText& number, int places, bool round)
{
    CutDecimals(number, places, round);
    number.fraction.append(static_cast<size_t>(places) - number.fraction.size(), '0');
}

QString DecimalToText(const DecimalText& number)
{
    const bool zero = number.whole.find_first_not_of('0') == std::string::npos
                      && number.fraction.find_first_not_of('0') == std::string::npos;
    std::string out;
    if (number.negative && !zero)
        out.push_back('-');
    out += number.whole.empty() ? std::string("0") : number.whole;
    if (!number.fraction.empty()) {
        out.push_back('.');
        out += number.fraction;
    }
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

// The number step: k decimals cut (or rounded) on the typed digits. Decimal counts
// outside 0 to 4 show five decimals, and k = 0 or below rounds to what is shown.
QString FormatNumber(const QString& v, int decimals, bool round)
{
    DecimalText number = ParseDecimal(v);
    const int shown = (decimals >= 0 && decimals <= 4) ? decimals : 5;
    // More decimals than are shown only cut the typed digits: padding them out first
    // would cost a damaged count of 2^31 gigabytes for nothing.
    if (decimals > shown)
        CutDecimals(number, decimals, round);
    LimitDecimals(number, shown, decimals > 0 && decimals <= shown ? round : true);
    return DecimalToText(number);
}

// Splits a leading sign off so that grouping and numerals see only the digits.
QString TakeSign(QString& v)
{
    if (v.isEmpty() || (v[0] != u'-' && v[0] != u'+'))
        return {};
    const QString sign = v.left(1);
    v.remove(0, 1);
    return sign;
}

// Groups of three from the right, written left to right so long texts stay linear.
QString GroupThousands(QString v)
{
    const QString sign = TakeSign(v);
    const qsizetype point = v.indexOf(u'.');
    const QStringView head = point < 0 ? QStringView(v) : QStringView(v).left(point);
    QString result = sign;
    result.reserve(v.size() + v.size() / 3 + 1);
    qsizetype next = head.size() % 3 == 0 ? 3 : head.size() % 3;
    result += head.left(next);
    for (; next < head.size(); next += 3) {
        result += u',';
        result += head.mid(next, 3);
    }
    if (point >= 0)
        result += QStringView(v).mid(point);
    return result;
}

const char16_t kComplexDigits[] = u"零壹贰叁肆伍陆柒捌玖";
const char16_t kSimpleDigits[] = u"零一二三四五六七八九";
const char16_t kComplexUnits[] = u"拾佰仟";
const char16_t kSimpleUnits[] = u"十百千";
constexpr char16_t kZero = u'零';

int DigitValue(QChar c)
{
    return IsAsciiDigit(c) ? c.unicode() - u'0' : 0;
}

// Any length, in groups of four from the right: 万 follows the second group of each
// eight, 亿 each further eight (the digits left of the last eight are read the same
// way), so no digit is lost. Zeros at the end of a group are not read; any other run
// of zeros, also one that starts a lower group or spans whole groups, is read as one
// 零. digits has no leading zeros.
QString FormatChineseWhole(QStringView digits, bool complex)
{
    QString result;
    bool zeroRun = false;
    qsizetype end = digits.size() % 4 == 0 ? 4 : digits.size() % 4;
    for (qsizetype begin = 0; begin < digits.size(); begin = end, end += 4) {
        const QStringView group = digits.mid(begin, end - begin);
        const qsizetype below = (digits.size() - end) / 4; // groups after this one
        const QString text = FormatChineseGroup(group, complex);
        if (text.isEmpty()) {
            zeroRun = true;
        } else {
            if (!result.isEmpty() && (zeroRun || DigitValue(group[0]) == 0))
                result += kZero;
            result += text;
            zeroRun = false;
            if (below % 2 == 1)
                result += u'万';
        }
        if (below > 0 && below % 2 == 0)
            result += u'亿';
    }
    return result;
}

QString FormatChinese(QString v, int mode)
{
    const bool complex = mode == ChineseUpperComplex || mode == ChineseAmountComplex;
    const char16_t* digitSet = complex ? kComplexDigits : kSimpleDigits;
    const QString sign = TakeSign(v);
    const qsizetype point = v.indexOf(u'.');
    QStringView whole = point < 0 ? QStringView(v) : QStringView(v).left(point);
    const QStringView fraction = point < 0 ? QStringView() : QStringView(v).mid(point + 1);
    while (!whole.isEmpty() && DigitValue(whole[0]) == 0)
        whole = whole.mid(1);

    QString result = FormatChineseWhole(whole, complex);
    if (result.isEmpty())
        result = QString(kZero);
    if (!fraction.isEmpty()) {
        result += u'点';
        for (const QChar c : fraction)
            result += QChar(digitSet[DigitValue(c)]);
    }
    if (mode == ChineseAmountComplex || mode == ChineseAmountSimple)
        result += u'元';
    return sign + result;
}

// Pads to width in one allocation; values are padded for every label printed.
QString Padded(const QString& text, qsizetype width, QChar pad, bool left)
{
    width = std::min(width, std::max(kMaxValueLength, text.size()));
    if (width <= text.size())
        return text;
    QString out(width, pad);
    std::copy(text.cbegin(), text.cend(), out.begin() + (left ? width - text.size() : 0));
    return out;
}

} // namespace

QString FormatChineseGroup(QStringView group, bool complex)
{
    const char16_t* digitSet = complex ? kComplexDigits : kSimpleDigits;
    const char16_t* units = complex ? kComplexUnits : kSimpleUnits;
    const qsizetype n = group.size() > 4 ? 4 : group.size();
    const QStringView g = group.right(n);
    auto digitAt = [&](int position) { return n >= position ? DigitValue(g[n - position]) : 0; };

    QString r;
    bool zero = false;
    if (digitAt(4) != 0) {
        r += QChar(digitSet[digitAt(4)]);
        r += QChar(units[2]);
    } else {
        r += kZero;
        zero = true;
    }
    for (int position = 3; position >= 2; --position) {
        if (digitAt(position) != 0) {
            r += QChar(digitSet[digitAt(position)]);
            r += QChar(units[position - 2]);
            zero = false;
        } else if (!zero) {
            r += kZero;
            zero = true;
        }
    }
    if (digitAt(1) != 0)
        r += QChar(digitSet[digitAt(1)]);
    if (r.endsWith(kZero))
        r.chop(1);
    if (r.startsWith(kZero))
        r.remove(0, 1);
    return r;
}

QChar CDataBand::WidenChar(char c)
{
    return QChar(static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(c))));
}

QString CDataBand::GetText() const
{
    return FormatValue(m_strValue);
}

QString CDataBand::FormatValue(const QString& raw) const
{
    QString v = raw;
    if (m_bTrimLeft) {
        qsizetype i = 0;
        while (i < v.size() && v[i].isSpace())
            ++i;
        v.remove(0, i);
    }
    if (m_bTrimRight) {
        qsizetype end = v.size();
        while (end > 0 && v[end - 1].isSpace())
            --end;
        v.truncate(end);
    }
    if (m_bDropLeading && m_nDropLeadingCount > 0)
        v.remove(0, m_nDropLeadingCount);
    if (m_bDropTrailing && m_nDropTrailingCount > 0)
        v.chop(m_nDropTrailingCount);
    if (m_bKeepFirst)
        v.truncate(m_nKeepFirstCount < 0 ? 0 : m_nKeepFirstCount);
    if (m_bKeepLast && v.size() > m_nKeepLastCount)
        v.remove(0, v.size() - (m_nKeepLastCount < 0 ? 0 : m_nKeepLastCount));
    if (m_bPadToLength && v.size() < m_nMinLength)
        v = Padded(v, m_nMinLength, WidenChar(m_chPad), m_bPadLeft);
    if (m_bCutToLength && v.size() > m_nMaxLength) {
        const qsizetype keep = m_nMaxLength < 0 ? 0 : m_nMaxLength;
        v = m_bKeepRight ? v.right(keep) : v.left(keep);
    }
    if (m_bUpperCase)
        v = v.toUpper();
    if (m_bLowerCase)
        v = v.toLower();
    if (m_bNumberFormat)
        v = FormatNumber(v, m_nDecimals, m_bRound);
    if (m_bThousands)
        v = GroupThousands(v);
    else if (m_nChineseMode >= ChineseUpperComplex && m_nChineseMode <= ChineseAmountSimple)
        v = FormatChinese(v, m_nChineseMode);
    if (!m_strPrefix.isEmpty() || !m_strSuffix.isEmpty())
        v = m_strPrefix + v + m_strSuffix;
    v.truncate(kMaxValueLength);
    return v;
}

QString CDataBand::GetSerialText() const
{
    try {
        return FormatSerial(LeadingInt(m_strStartValue));
    } catch (const VXException&) {
        return {};
    }
}

int64_t CDataBand::GetSerialValue(int64_t n) const
{
    // Clamping the label number keeps the product inside 64 bits; no job prints
    // two thousand million labels.
    constexpr int64_t kLimit = INT_MAX;
    const int64_t index = n - 1 < -kLimit ? -kLimit : (n - 1 > kLimit ? kLimit : n - 1);
    const int64_t start = LeadingInt(m_strStartValue);
    const int64_t step = m_nSerialStep;
    const int64_t value = m_bCountUp ? start + index * step : start - index * step;
    if (!m_bHasEndValue)
        return value;

    const int64_t end = LeadingInt(m_strEndValue);
    const int64_t range = m_bCountUp ? end - start : start - end;
    if (m_bRestart && step > 0 && range >= 0) {
        // The end value is always printed before the count starts again, also when
        // the steps jump past it: 1 to 9 by 3 runs 1, 4, 7, 9, 1, ...
        const int64_t period = (range + step - 1) / step + 1;
        const int64_t position = ((index % period) + period) % period;
        const int64_t distance = std::min(position * step, range);
        return m_bCountUp ? start + distance : start - distance;
    }
    if (m_bCountUp ? value >= end : value <= end)
        return end;
    return value;
}

QString CDataBand::FormatSerial(int64_t value) const
{
    QString text;
    switch (m_nSerialBase) {
    case SerialHex:
        text = (value >= INT_MIN && value <= INT_MAX)
                   ? QString::asprintf("%X", static_cast<unsigned>(static_cast<int>(value)))
                   : QString::asprintf("%llX", static_cast<unsigned long long>(value));
        break;
    case SerialLetters: text = SerialToLetters(value); break;
    case SerialBase36: text = SerialToBase36(value); break;
    case SerialNoIOLQ: text = SerialToLettersNoIOLQ(value); break;
    case SerialNoIOQU: text = SerialToLettersNoIOQU(value); break;
    case SerialNoIO: text = SerialToLettersNoIO(value); break;
    case SerialCustomAlphabet:
        // One symbol writes the number in unary: a start near 2^31 would be gigabytes.
        if (SerialAlphabetLength(value, m_strCustomAlphabet.size()) > kMaxValueLength)
            throw VXException(QStringLiteral("序列号 %1 用码表“%2”写出超过 %3 个字符，无法生成。")
                                  .arg(value)
                                  .arg(m_strCustomAlphabet)
                                  .arg(kMaxValueLength));
        text = SerialToAlphabet(value, m_strCustomAlphabet);
        break;
    default: text = QString::number(static_cast<qlonglong>(value)); break;
    }
    if (m_bSerialPad && text.size() < m_nSerialPadWidth)
        text = Padded(text, m_nSerialPadWidth, WidenChar(m_chSerialPad), true);
    return text;
}

QDateTime CDataBand::OffsetTime(const QDateTime& start) const
{
    switch (m_nKind) {
    case BandDate: return start.addDays(m_nDateTimeOffset);
    case BandTime: return start.addSecs(static_cast<qint64>(m_nDateTimeOffset) * 60);
    default: return start;
    }
}

bool CDataBand::IsEqual(const CDataBand& o) const
{
    return m_nKind == o.m_nKind && m_strDateTimeFormat == o.m_strDateTimeFormat
           && m_nDateTimeOffset == o.m_nDateTimeOffset && m_strDataSource == o.m_strDataSource
           && m_strFieldName == o.m_strFieldName && m_strWindowItem == o.m_strWindowItem
           && m_strItemName == o.m_strItemName
           // serial number
           && m_nSerialBase == o.m_nSerialBase && m_strCustomAlphabet == o.m_strCustomAlphabet
           && m_bCountUp == o.m_bCountUp && m_nSerialStep == o.m_nSerialStep
           && m_nSerialPadWidth == o.m_nSerialPadWidth && m_bSerialPad == o.m_bSerialPad
           && m_chSerialPad == o.m_chSerialPad && m_strStartValue == o.m_strStartValue
           && m_bHasEndValue == o.m_bHasEndValue && m_strEndValue == o.m_strEndValue
           && m_bRestart == o.m_bRestart && m_strPrefix == o.m_strPrefix && m_strSuffix == o.m_strSuffix
           // length, trimming, case and number
           && m_bPadToLength == o.m_bPadToLength && m_nMinLength == o.m_nMinLength
           && m_bPadLeft == o.m_bPadLeft && m_chPad == o.m_chPad && m_bCutToLength == o.m_bCutToLength
           && m_nMaxLength == o.m_nMaxLength && m_bKeepRight == o.m_bKeepRight
           && m_bTrimLeft == o.m_bTrimLeft && m_bTrimRight == o.m_bTrimRight
           && m_bDropLeading == o.m_bDropLeading && m_nDropLeadingCount == o.m_nDropLeadingCount
           && m_bDropTrailing == o.m_bDropTrailing && m_nDropTrailingCount == o.m_nDropTrailingCount
           && m_bKeepFirst == o.m_bKeepFirst && m_nKeepFirstCount == o.m_nKeepFirstCount
           && m_bKeepLast == o.m_bKeepLast && m_nKeepLastCount == o.m_nKeepLastCount
           && m_bUpperCase == o.m_bUpperCase && m_bLowerCase == o.m_bLowerCase
           && m_bNumberFormat == o.m_bNumberFormat && m_nDecimals == o.m_nDecimals
           && m_nChineseMode == o.m_nChineseMode;
}

std::unique_ptr<CDataBand> CDataBand::Clone() const
{
    auto band = std::make_unique<CDataBand>();
    band->CopyFrom(*this);
    return band;
}

void CDataBand::CopyFrom(const CDataBand& s)
{
    if (&s == this)
        return;
    m_nKind = s.m_nKind;
    m_strName = s.m_strName;
    m_strValue = s.m_strValue;
    m_strDateTimeFormat = s.m_strDateTimeFormat;
    m_nDateTimeOffset = s.m_nDateTimeOffset;
    m_strDataSource = s.m_strDataSource;
    m_strFieldName = s.m_strFieldName;
    m_strWindowItem = s.m_strWindowItem;
    m_strItemName = s.m_strItemName;
    m_strReserved10 = s.m_strReserved10;
    m_strReserved11 = s.m_strReserved11;
    m_strRefBandName = s.m_strRefBandName;
    m_nReserved13 = s.m_nReserved13;
    m_strReserved14 = s.m_strReserved14;

    m_nSerialBase = s.m_nSerialBase;
    m_strCustomAlphabet = s.m_strCustomAlphabet;
    m_bCountUp = s.m_bCountUp;
    m_nSerialStep = s.m_nSerialStep;
    m_nSerialPadWidth = s.m_nSerialPadWidth;
    m_bSerialPad = s.m_bSerialPad;
    m_chSerialPad = s.m_chSerialPad;
    m_strStartValue = s.m_strStartValue;
    m_bHasEndValue = s.m_bHasEndValue;
    m_strEndValue = s.m_strEndValue;
    m_bRestart = s.m_bRestart;

    m_strPrefix = s.m_strPrefix;
    m_strSuffix = s.m_strSuffix;
    m_bPadToLength = s.m_bPadToLength;
    m_nMinLength = s.m_nMinLength;
    m_bPadLeft = s.m_bPadLeft;
    m_chPad = s.m_chPad;
    m_bCutToLength = s.m_bCutToLength;
    m_nMaxLength = s.m_nMaxLength;
    m_bKeepRight = s.m_bKeepRight;
    m_bTrimLeft = s.m_bTrimLeft;
    m_bTrimRight = s.m_bTrimRight;
    m_bDropLeading = s.m_bDropLeading;
    m_nDropLeadingCount = s.m_nDropLeadingCount;
    m_bDropTrailing = s.m_bDropTrailing;
    m_nDropTrailingCount = s.m_nDropTrailingCount;
    m_bKeepFirst = s.m_bKeepFirst;
    m_nKeepFirstCount = s.m_nKeepFirstCount;
    m_bKeepLast = s.m_bKeepLast;
    m_nKeepLastCount = s.m_nKeepLastCount;
    m_bUpperCase = s.m_bUpperCase;
    m_bLowerCase = s.m_bLowerCase;
    m_bNumberFormat = s.m_bNumberFormat;
    m_nDecimals = s.m_nDecimals;
    m_bRound = s.m_bRound;
    m_bReserved50 = s.m_bReserved50;
    m_bReserved51 = s.m_bReserved51;
    m_bThousands = s.m_bThousands;
    m_nChineseMode = s.m_nChineseMode;
    m_bReserved54 = s.m_bReserved54;
    m_strReserved55 = s.m_strReserved55;
    m_bReserved56 = s.m_bReserved56;
}
