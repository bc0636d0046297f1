#include "TestSupport.h"
#include "model/DataBand.h"
#include "model/TextGraph.h"
#include "model/Utils.h"
#include "platform/VXException.h"

#include <QStringList>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

CDataBand& NumberBand(CDataBand& band, int decimals, bool round = false)
{
    band.m_bNumberFormat = true;
    band.m_nDecimals = decimals;
    band.m_bRound = round;
    return band;
}

QString Chinese(int mode, const char* value)
{
    CDataBand band;
    band.m_nChineseMode = mode;
    return band.FormatValue(QString::fromLatin1(value));
}

QString Serial(int base, int value, const QString& alphabet = QStringLiteral("0123456789"))
{
    CDataBand band;
    band.m_nSerialBase = base;
    band.m_strCustomAlphabet = alphabet;
    return band.FormatSerial(value);
}

std::vector<int64_t> SerialRun(const CDataBand& band, int count)
{
    std::vector<int64_t> values;
    for (int n = 1; n <= count; ++n)
        values.push_back(band.GetSerialValue(n));
    return values;
}

using Mutator = std::pair<const char*, std::function<void(CDataBand&)>>;

// Every field the data-source pane compares, each changed away from its default.
std::vector<Mutator> ComparedFields()
{
    return {
        {"kind", [](CDataBand& b) { b.m_nKind = BandSerial; }},
        {"template", [](CDataBand& b) { b.m_strDateTimeFormat = "yyyy"; }},
        {"offset", [](CDataBand& b) { b.m_nDateTimeOffset = 3; }},
        {"data source", [](CDataBand& b) { b.m_strDataSource = "ds"; }},
        {"field", [](CDataBand& b) { b.m_strFieldName = "f"; }},
        {"window item", [](CDataBand& b) { b.m_strWindowItem = "w"; }},
        {"item name", [](CDataBand& b) { b.m_strItemName = "i"; }},
        {"serial base", [](CDataBand& b) { b.m_nSerialBase = SerialHex; }},
        {"alphabet", [](CDataBand& b) { b.m_strCustomAlphabet = "01234567891"; }},
        {"count up", [](CDataBand& b) { b.m_bCountUp = false; }},
        {"step", [](CDataBand& b) { b.m_nSerialStep = 7; }},
        {"serial pad width", [](CDataBand& b) { b.m_nSerialPadWidth = 6; }},
        {"serial pad", [](CDataBand& b) { b.m_bSerialPad = true; }},
        {"serial pad char", [](CDataBand& b) { b.m_chSerialPad = '#'; }},
        {"start", [](CDataBand& b) { b.m_strStartValue = "2"; }},
        {"has end", [](CDataBand& b) { b.m_bHasEndValue = true; }},
        {"end", [](CDataBand& b) { b.m_strEndValue = "999"; }},
        {"restart", [](CDataBand& b) { b.m_bRestart = true; }},
        {"prefix", [](CDataBand& b) { b.m_strPrefix = "P"; }},
        {"suffix", [](CDataBand& b) { b.m_strSuffix = "S"; }},
        {"pad to length", [](CDataBand& b) { b.m_bPadToLength = true; }},
        {"min length", [](CDataBand& b) { b.m_nMinLength = 4; }},
        {"pad left", [](CDataBand& b) { b.m_bPadLeft = false; }},
        {"pad char", [](CDataBand& b) { b.m_chPad = ' '; }},
        {"cut", [](CDataBand& b) { b.m_bCutToLength = true; }},
        {"max length", [](CDataBand& b) { b.m_nMaxLength = 4; }},
        {"keep right", [](CDataBand& b) { b.m_bKeepRight = true; }},
        {"trim left", [](CDataBand& b) { b.m_bTrimLeft = true; }},
        {"trim right", [](CDataBand& b) { b.m_bTrimRight = true; }},
        {"drop leading", [](CDataBand& b) { b.m_bDropLeading = true; }},
        {"drop leading count", [](CDataBand& b) { b.m_nDropLeadingCount = 2; }},
        {"drop trailing", [](CDataBand& b) { b.m_bDropTrailing = true; }},
        {"drop trailing count", [](CDataBand& b) { b.m_nDropTrailingCount = 2; }},
        {"keep first", [](CDataBand& b) { b.m_bKeepFirst = true; }},
        {"keep first count", [](CDataBand& b) { b.m_nKeepFirstCount = 2; }},
        {"keep last", [](CDataBand& b) { b.m_bKeepLast = true; }},
        {"keep last count", [](CDataBand& b) { b.m_nKeepLastCount = 2; }},
        {"upper", [](CDataBand& b) { b.m_bUpperCase = true; }},
        {"lower", [](CDataBand& b) { b.m_bLowerCase = true; }},
        {"number format", [](CDataBand& b) { b.m_bNumberFormat = true; }},
        {"decimals", [](CDataBand& b) { b.m_nDecimals = 3; }},
        {"chinese", [](CDataBand& b) { b.m_nChineseMode = ChineseAmountSimple; }},
    };
}

// Fields that are stored and copied but that equality leaves out.
std::vector<Mutator> IgnoredFields()
{
    return {
        {"name", [](CDataBand& b) { b.m_strName = "n"; }},
        {"value", [](CDataBand& b) { b.m_strValue = "v"; }},
        {"text 10", [](CDataBand& b) { b.m_strReserved10 = "a"; }},
        {"text 11", [](CDataBand& b) { b.m_strReserved11 = "b"; }},
        {"ref band", [](CDataBand& b) { b.m_strRefBandName = "r"; }},
        {"int 13", [](CDataBand& b) { b.m_nReserved13 = 13; }},
        {"text 14", [](CDataBand& b) { b.m_strReserved14 = "c"; }},
        {"round", [](CDataBand& b) { b.m_bRound = true; }},
        {"flag 50", [](CDataBand& b) { b.m_bReserved50 = true; }},
        {"flag 51", [](CDataBand& b) { b.m_bReserved51 = true; }},
        {"thousands", [](CDataBand& b) { b.m_bThousands = true; }},
        {"flag 54", [](CDataBand& b) { b.m_bReserved54 = true; }},
        {"text 55", [](CDataBand& b) { b.m_strReserved55 = "d"; }},
        {"flag 56", [](CDataBand& b) { b.m_bReserved56 = false; }},
    };
}

} // namespace

TEST(DataBand, DefaultBandIsAnEmptyConstant)
{
    CDataBand band;
    EXPECT_EQ(band.m_nKind, BandConstant);
    EXPECT_EQ(band.GetText(), "");
    EXPECT_EQ(band.GetSerialText(), "1");
    EXPECT_EQ(band.m_nSerialStep, 1);
    EXPECT_TRUE(band.m_bReserved56);
    // Defaults that matter once a switch is turned on.
    band.m_bPadToLength = true;
    band.m_nMinLength = 3;
    EXPECT_EQ(band.FormatValue("7"), "007");
}

TEST(DataBandPipeline, StepsRunInTheirFixedOrder)
{
    CDataBand band;
    band.m_bTrimLeft = band.m_bTrimRight = true;
    band.m_bKeepLast = true;
    band.m_nKeepLastCount = 3;
    band.m_bPadToLength = true;
    band.m_nMinLength = 5;
    EXPECT_EQ(band.FormatValue("  12345 "), "00345");

    // Trim, drop both ends, number, separators and the affixes on one value.
    CDataBand full;
    full.m_bTrimLeft = full.m_bTrimRight = true;
    full.m_bDropLeading = true;
    full.m_nDropLeadingCount = 1;
    full.m_bDropTrailing = true;
    full.m_nDropTrailingCount = 1;
    NumberBand(full, 2, true);
    full.m_bThousands = true;
    full.m_strPrefix = U("¥");
    full.m_strSuffix = " net";
    EXPECT_EQ(full.FormatValue(" x1234567.895y \t"), U("¥1,234,567.90 net"));

    // Padding happens before cutting, and upper before lower case.
    CDataBand text;
    text.m_bPadToLength = true;
    text.m_nMinLength = 6;
    text.m_bPadLeft = false;
    text.m_chPad = '*';
    text.m_bCutToLength = true;
    text.m_nMaxLength = 4;
    text.m_bKeepRight = true;
    text.m_bUpperCase = text.m_bLowerCase = true;
    EXPECT_EQ(text.FormatValue("AbC"), "c***");
    text.m_bKeepRight = false;
    EXPECT_EQ(text.FormatValue("AbC"), "abc*");
    // Prefix and suffix are never cut.
    text.m_strPrefix = "<";
    text.m_strSuffix = ">";
    EXPECT_EQ(text.FormatValue("abcdefgh"), "<abcd>");
}

TEST(DataBandPipeline, CountsBeyondTheTextAndNegativeCounts)
{
    CDataBand band;
    band.m_bDropLeading = true;
    band.m_nDropLeadingCount = 10;
    EXPECT_EQ(band.FormatValue("abc"), "");
    band.m_nDropLeadingCount = -2;
    EXPECT_EQ(band.FormatValue("abc"), "abc");

    CDataBand trailing;
    trailing.m_bDropTrailing = true;
    trailing.m_nDropTrailingCount = 2;
    EXPECT_EQ(trailing.FormatValue("abcd"), "ab");
    trailing.m_nDropTrailingCount = 9;
    EXPECT_EQ(trailing.FormatValue("abcd"), "");

    CDataBand keep;
    keep.m_bKeepFirst = true;
    keep.m_nKeepFirstCount = 10;
    keep.m_bKeepLast = true;
    keep.m_nKeepLastCount = 10;
    EXPECT_EQ(keep.FormatValue("abcd"), "abcd");
    keep.m_nKeepFirstCount = 3;
    keep.m_nKeepLastCount = 2;
    EXPECT_EQ(keep.FormatValue("abcd"), "bc");

    // A damaged length cannot make one value take gigabytes.
    CDataBand pad;
    pad.m_bPadToLength = true;
    pad.m_nMinLength = INT_MAX;
    EXPECT_EQ(pad.FormatValue("x").size(), 65536);
    pad.m_bSerialPad = true;
    pad.m_nSerialPadWidth = INT_MAX;
    EXPECT_EQ(pad.GetSerialText().size(), 65536);

    // Nor can long affixes: no band's text is longer than the limit.
    CDataBand affixes;
    affixes.m_strPrefix = QString(40000, u'<');
    affixes.m_strSuffix = QString(40000, u'>');
    EXPECT_EQ(affixes.FormatValue("x").size(), 65536);

    // Nor can many bands joined into one object's value.
    CTextGraph text;
    text.m_bands.clear();
    for (int i = 0; i < 5; ++i) {
        auto band = std::make_unique<CDataBand>();
        band->m_strValue = QString(40000, QChar(u'a' + i));
        text.m_bands.push_back(std::move(band));
    }
    const QString joined = GetBandsText(text);
    EXPECT_EQ(joined.size(), kMaxValueLength);
    EXPECT_EQ(joined.at(40000), u'b');

    // Only white space is trimmed, and only on the side asked for.
    CDataBand trim;
    trim.m_bTrimLeft = true;
    EXPECT_EQ(trim.FormatValue(" \t a b \n"), "a b \n");
}

TEST(DataBandNumber, RoundsTheTypedDecimalValue)
{
    CDataBand band;
    NumberBand(band, 2);
    EXPECT_EQ(band.FormatValue("0.29"), "0.29");
    EXPECT_EQ(band.FormatValue("3.14159"), "3.14");
    EXPECT_EQ(band.FormatValue("4.35"), "4.35");
    EXPECT_EQ(band.FormatValue("1.999"), "1.99");
    EXPECT_EQ(band.FormatValue("12abc"), "12.00");
    EXPECT_EQ(band.FormatValue("abc"), "0.00");
    EXPECT_EQ(band.FormatValue(" .5"), "0.50");
    EXPECT_EQ(band.FormatValue("1.5e3"), "1500.00");
    EXPECT_EQ(band.FormatValue("123456789012345678901.239"), "123456789012345678901.23");
    // A huge exponent is bounded instead of writing out its digits.
    EXPECT_LT(band.FormatValue("1e999999999").size(), 500);
    EXPECT_EQ(band.FormatValue("1e-999999999"), "0.00");

    NumberBand(band, 2, true);
    EXPECT_EQ(band.FormatValue("3.146"), "3.15");
    EXPECT_EQ(band.FormatValue("1.005"), "1.01");
    EXPECT_EQ(band.FormatValue("9.995"), "10.00");
    EXPECT_EQ(band.FormatValue("2.675"), "2.68");
    EXPECT_EQ(band.FormatValue("0.294"), "0.29");

    // No decimals rounds half away from zero; counts outside 0 to 4 show five.
    NumberBand(band, 0);
    EXPECT_EQ(band.FormatValue("2.5"), "3");
    EXPECT_EQ(band.FormatValue("2.4999"), "2");
    NumberBand(band, -1);
    EXPECT_EQ(band.FormatValue("1.123456"), "1.12346");
    NumberBand(band, 7);
    EXPECT_EQ(band.FormatValue("1.2345649"), "1.23456");
    EXPECT_EQ(band.FormatValue("1.2345651"), "1.23457");
    NumberBand(band, 4);
    EXPECT_EQ(band.FormatValue("7"), "7.0000");

    // A damaged decimal count costs nothing beyond the five decimals shown.
    NumberBand(band, INT_MAX, true);
    EXPECT_EQ(band.FormatValue("1.2345651"), "1.23457");
    EXPECT_EQ(band.FormatValue("7"), "7.00000");
    NumberBand(band, INT_MAX);
    EXPECT_EQ(band.FormatValue("1.2345649"), "1.23456");
}

TEST(DataBandNumber, NegativeValuesKeepTheirSignInFront)
{
    CDataBand band;
    NumberBand(band, 2, true);
    EXPECT_EQ(band.FormatValue("-1.005"), "-1.01");
    EXPECT_EQ(band.FormatValue("-3.144"), "-3.14");
    EXPECT_EQ(band.FormatValue("-0.001"), "0.00");
    band.m_bThousands = true;
    EXPECT_EQ(band.FormatValue("-1234567.5"), "-1,234,567.50");

    CDataBand grouping;
    grouping.m_bThousands = true;
    EXPECT_EQ(grouping.FormatValue("-123456"), "-123,456");
    EXPECT_EQ(grouping.FormatValue("-1234"), "-1,234");
    EXPECT_EQ(grouping.FormatValue("+1234"), "+1,234");
    EXPECT_EQ(grouping.FormatValue(QString(3000, u'9')).size(), 3999);

    EXPECT_EQ(Chinese(2, "-12"), U("-一十二"));
    EXPECT_EQ(Chinese(4, "-0.5"), U("-零点五元"));
}

TEST(DataBandNumber, ThousandsSeparators)
{
    CDataBand band;
    band.m_bThousands = true;
    EXPECT_EQ(band.FormatValue("1234567.89"), "1,234,567.89");
    EXPECT_EQ(band.FormatValue("123"), "123");
    EXPECT_EQ(band.FormatValue("1000"), "1,000");
    EXPECT_EQ(band.FormatValue("1234.5678"), "1,234.5678");
    EXPECT_EQ(band.FormatValue(".5"), ".5");
    EXPECT_EQ(band.FormatValue(""), "");
    // Separators win over Chinese numerals.
    band.m_nChineseMode = ChineseAmountSimple;
    EXPECT_EQ(band.FormatValue("1234"), "1,234");
}

TEST(DataBandChinese, EachModeOnIntegersAndDecimals)
{
    EXPECT_EQ(Chinese(4, "1234.5"), U("一千二百三十四点五元"));
    EXPECT_EQ(Chinese(1, "20"), U("贰拾"));
    EXPECT_EQ(Chinese(2, "20"), U("二十"));
    EXPECT_EQ(Chinese(3, "1234.5"), U("壹仟贰佰叁拾肆点伍元"));
    EXPECT_EQ(Chinese(1, "3.05"), U("叁点零伍"));
    EXPECT_EQ(Chinese(2, "1.2a"), U("一点二零"));
    EXPECT_EQ(Chinese(2, "7."), U("七"));
    // Modes outside 1 to 4 leave the value alone.
    EXPECT_EQ(Chinese(0, "12"), "12");
    EXPECT_EQ(Chinese(5, "12"), "12");
}

TEST(DataBandChinese, GroupsAndZeros)
{
    EXPECT_EQ(Chinese(2, "12"), U("一十二"));
    EXPECT_EQ(Chinese(2, "1010"), U("一千零一十"));
    EXPECT_EQ(Chinese(2, "1000"), U("一千"));
    EXPECT_EQ(Chinese(2, "1001"), U("一千零一"));
    EXPECT_EQ(Chinese(2, "007"), U("七"));
    EXPECT_EQ(Chinese(2, "12345"), U("一万二千三百四十五"));
    EXPECT_EQ(Chinese(2, "20000"), U("二万"));
    EXPECT_EQ(FormatChineseGroup(u"0000", false), "");
    EXPECT_EQ(FormatChineseGroup(u"0", true), "");
    EXPECT_EQ(FormatChineseGroup(u"0500", true), U("伍佰"));
}

TEST(DataBandChinese, ZeroValuesAndZeroWanGroups)
{
    EXPECT_EQ(Chinese(2, "0"), U("零"));
    EXPECT_EQ(Chinese(1, "0"), U("零"));
    EXPECT_EQ(Chinese(3, "0"), U("零元"));
    EXPECT_EQ(Chinese(4, "0.00"), U("零点零零元"));
    EXPECT_EQ(Chinese(2, "0.5"), U("零点五"));
}

TEST(DataBandChinese, EveryZeroPatternWithinAndAcrossGroups)
{
    struct Case
    {
        const char* value;
        const char* simple;
    };
    const Case cases[] = {
        // within one group: zeros at its end are not read, other runs once
        {"7", "七"},
        {"10", "一十"},
        {"12", "一十二"},
        {"100", "一百"},
        {"101", "一百零一"},
        {"110", "一百一十"},
        {"1000", "一千"},
        {"1001", "一千零一"},
        {"1010", "一千零一十"},
        {"1011", "一千零一十一"},
        {"1100", "一千一百"},
        {"1101", "一千一百零一"},
        // a lower group starting with zeros after a non-zero 万 part
        {"10000", "一万"},
        {"10001", "一万零一"},
        {"10010", "一万零一十"},
        {"10100", "一万零一百"},
        {"11000", "一万一千"},
        {"1000001", "一百万零一"},
        {"10000100", "一千万零一百"},
        {"10001000", "一千万一千"},
        {"10100000", "一千零一十万"},
        {"10101010", "一千零一十万一千零一十"},
        // across 亿: a zero 万 group, a 万 group starting with zeros
        {"100000000", "一亿"},
        {"100000001", "一亿零一"},
        {"100001000", "一亿零一千"},
        {"100010000", "一亿零一万"},
        {"100100000", "一亿零一十万"},
        {"110000000", "一亿一千万"},
        {"1000000000", "一十亿"},
        {"100000010000", "一千亿零一万"},
        {"101000000000", "一千零一十亿"},
        // beyond: zero runs over two whole groups are still one 零
        {"1000000000000", "一万亿"},
        {"1000000000001", "一万亿零一"},
        {"1000100000000", "一万零一亿"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Chinese(ChineseUpperSimple, c.value), U(c.simple)) << c.value;
        // The amount modes read the same, with 元.
        EXPECT_EQ(Chinese(ChineseAmountSimple, c.value), U(c.simple) + U("元")) << c.value;
    }
    EXPECT_EQ(Chinese(ChineseUpperComplex, "10001000"), U("壹仟万壹仟"));
    EXPECT_EQ(Chinese(ChineseAmountComplex, "100010000"), U("壹亿零壹万元"));
    EXPECT_EQ(Chinese(ChineseAmountComplex, "1001.5"), U("壹仟零壹点伍元"));
    EXPECT_EQ(Chinese(ChineseUpperComplex, "2000000300"), U("贰拾亿零叁佰"));
}

TEST(DataBandChinese, LongIntegersKeepEveryDigit)
{
    EXPECT_EQ(Chinese(2, "12345678901234"), U("一十二万三千四百五十六亿七千八百九十万一千二百三十四"));
    EXPECT_EQ(Chinese(2, "10000000000000000"), U("一亿亿"));
    EXPECT_EQ(Chinese(2, "10000000100000001"), U("一亿零一亿零一"));
    // Long values (a database field, say) convert in linear time, 15 + 1 per eight,
    // and no band's text grows past the length limit.
    CDataBand band;
    band.m_nChineseMode = ChineseUpperSimple;
    EXPECT_EQ(band.FormatValue(QString(4000, u'1')).size(), 500 * 16 - 1);
    EXPECT_EQ(band.FormatValue(QString(100000, u'1')).size(), 65536);
}

TEST(DataBandChinese, AfterTheNumberFormat)
{
    CDataBand band;
    NumberBand(band, 2, true);
    band.m_nChineseMode = ChineseAmountSimple;
    EXPECT_EQ(band.FormatValue("1234.567"), U("一千二百三十四点五七元"));
}

TEST(DataBandSerial, NumberingSystems)
{
    EXPECT_EQ(Serial(SerialDecimal, 42), "42");
    EXPECT_EQ(Serial(SerialHex, 255), "FF");
    EXPECT_EQ(Serial(SerialHex, -1), "FFFFFFFF");
    EXPECT_EQ(Serial(SerialLetters, 27), "AA");
    EXPECT_EQ(Serial(SerialLetters, 0), "");
    EXPECT_EQ(Serial(SerialBase36, 1), "0");
    EXPECT_EQ(Serial(SerialBase36, 37), "00");
    EXPECT_EQ(Serial(SerialNoIOLQ, 22), "Z");
    EXPECT_EQ(Serial(SerialNoIOLQ, 9), "J");
    EXPECT_EQ(Serial(SerialNoIOQU, 20), "X");
    EXPECT_EQ(Serial(SerialNoIO, 24), "Z");
    EXPECT_EQ(Serial(SerialNoIO, 25), "AA");
    EXPECT_EQ(Serial(SerialCustomAlphabet, 1), "0");
    EXPECT_EQ(Serial(SerialCustomAlphabet, 11), "00");
    EXPECT_EQ(Serial(SerialCustomAlphabet, 3, "ab"), "aa");
    EXPECT_EQ(Serial(SerialCustomAlphabet, 3, ""), "");
    EXPECT_EQ(Serial(50, 42), "42");
    EXPECT_EQ(Serial(100, -7), "-7");
}

TEST(DataBandSerial, AOneSymbolAlphabetStopsAtTheValueLengthLimit)
{
    CDataBand band;
    band.m_nKind = BandSerial;
    band.m_nSerialBase = SerialCustomAlphabet;
    band.m_strCustomAlphabet = "x";
    EXPECT_EQ(band.FormatSerial(3), "xxx");
    EXPECT_EQ(band.FormatSerial(kMaxValueLength), QString(kMaxValueLength, u'x'));
    for (const int64_t value : {int64_t(kMaxValueLength) + 1, int64_t(INT_MAX) - 5, int64_t(1) << 40}) {
        try {
            band.FormatSerial(value);
            ADD_FAILURE() << value;
        } catch (const VXException& e) {
            EXPECT_EQ(e.GetMessage(), QStringLiteral("序列号 %1 用码表“x”写出超过 65536 个字符，无法生成。").arg(value));
        }
    }
    // The editor's text of the start value says nothing rather than failing.
    band.m_strStartValue = QString::number(INT_MAX - 5);
    EXPECT_EQ(band.GetSerialText(), "");
    band.m_strStartValue = "2";
    EXPECT_EQ(band.GetSerialText(), "xx");
    EXPECT_EQ(SerialAlphabetLength(int64_t(1) << 40, 1), int64_t(1) << 40);
    EXPECT_EQ(SerialAlphabetLength(703, 26), 3);
    EXPECT_EQ(SerialAlphabetLength(702, 26), 2);
    EXPECT_EQ(SerialAlphabetLength(0, 1), 0);
}

TEST(DataBandSerial, StartTextAndPadding)
{
    CDataBand band;
    band.m_nSerialBase = SerialLetters;
    band.m_strStartValue = "27";
    EXPECT_EQ(band.GetSerialText(), "AA");
    band.m_strStartValue = "0";
    EXPECT_EQ(band.GetSerialText(), "");
    band.m_bSerialPad = true;
    EXPECT_EQ(band.GetSerialText(), "00000");

    CDataBand decimal;
    decimal.m_bSerialPad = true;
    decimal.m_nSerialPadWidth = 8;
    decimal.m_chSerialPad = '*';
    decimal.m_strStartValue = "12x";
    EXPECT_EQ(decimal.GetSerialText(), "******12");
    decimal.m_strStartValue = "not a number";
    EXPECT_EQ(decimal.GetSerialText(), "*******0");
    decimal.m_nSerialPadWidth = 2;
    EXPECT_EQ(decimal.FormatSerial(12345), "12345");
    // Formatting is separate: the serial text goes through FormatValue like any raw value.
    decimal.m_strPrefix = "N";
    EXPECT_EQ(decimal.FormatValue(decimal.FormatSerial(7)), "N*7");
}

TEST(DataBandSerial, SteppingUpAndDown)
{
    CDataBand band;
    band.m_strStartValue = "10";
    band.m_nSerialStep = 2;
    EXPECT_EQ(SerialRun(band, 4), (std::vector<int64_t>{10, 12, 14, 16}));
    band.m_bCountUp = false;
    band.m_nSerialStep = 3;
    EXPECT_EQ(SerialRun(band, 5), (std::vector<int64_t>{10, 7, 4, 1, -2}));
    // Large label numbers do not overflow.
    band.m_bCountUp = true;
    band.m_nSerialStep = 1000000;
    EXPECT_EQ(band.GetSerialValue(3000000), 10 + 2999999LL * 1000000);
}

TEST(DataBandSerial, EndValueAndRestart)
{
    CDataBand band;
    band.m_nSerialStep = 2;
    band.m_bHasEndValue = true;
    band.m_strEndValue = "5";
    EXPECT_EQ(SerialRun(band, 5), (std::vector<int64_t>{1, 3, 5, 5, 5}));
    band.m_bRestart = true;
    EXPECT_EQ(SerialRun(band, 5), (std::vector<int64_t>{1, 3, 5, 1, 3}));
    band.m_nSerialStep = 4;
    band.m_strEndValue = "10";
    EXPECT_EQ(SerialRun(band, 5), (std::vector<int64_t>{1, 5, 9, 10, 1}));

    CDataBand down;
    down.m_bCountUp = false;
    down.m_strStartValue = "10";
    down.m_nSerialStep = 2;
    down.m_bHasEndValue = true;
    down.m_strEndValue = "5";
    EXPECT_EQ(SerialRun(down, 4), (std::vector<int64_t>{10, 8, 6, 5}));
    down.m_bRestart = true;
    EXPECT_EQ(SerialRun(down, 5), (std::vector<int64_t>{10, 8, 6, 5, 10}));

    // A start already past the end stays at the end; a zero step stays at the start.
    band.m_strStartValue = "20";
    EXPECT_EQ(SerialRun(band, 2), (std::vector<int64_t>{10, 10}));
    down.m_nSerialStep = 0;
    EXPECT_EQ(SerialRun(down, 2), (std::vector<int64_t>{10, 10}));

    // Formatted through the band's base and padding.
    band.m_strStartValue = "1";
    band.m_nSerialBase = SerialLetters;
    band.m_bSerialPad = true;
    band.m_nSerialPadWidth = 3;
    band.m_chSerialPad = '-';
    EXPECT_EQ(band.FormatSerial(band.GetSerialValue(2)), "--E");
}

TEST(DataBandSerial, RestartPrintsTheEndValueThenStartsAgain)
{
    struct Case
    {
        int start, end, step;
        bool up;
        std::vector<int64_t> run;
    };
    const Case cases[] = {
        {1, 10, 3, true, {1, 4, 7, 10, 1, 4, 7, 10, 1}}, // the step divides the range
        {1, 9, 3, true, {1, 4, 7, 9, 1, 4, 7, 9, 1}},    // it does not
        {1, 3, 5, true, {1, 3, 1, 3, 1}},                // a step beyond the range
        {5, 5, 2, true, {5, 5, 5}},
        {10, 1, 3, false, {10, 7, 4, 1, 10, 7, 4, 1, 10}},
        {9, 1, 3, false, {9, 6, 3, 1, 9, 6, 3, 1, 9}},
        {3, 1, 5, false, {3, 1, 3, 1, 3}},
        {-2, 2, 3, true, {-2, 1, 2, -2, 1}},
    };
    for (const Case& c : cases) {
        CDataBand band;
        band.m_strStartValue = QString::number(c.start);
        band.m_strEndValue = QString::number(c.end);
        band.m_nSerialStep = c.step;
        band.m_bCountUp = c.up;
        band.m_bHasEndValue = true;
        band.m_bRestart = true;
        EXPECT_EQ(SerialRun(band, static_cast<int>(c.run.size())), c.run)
            << c.start << " to " << c.end << " by " << c.step;
        // Without restarting the count stays at the end value.
        band.m_bRestart = false;
        const std::vector<int64_t> stopped = SerialRun(band, 6);
        EXPECT_EQ(stopped.back(), c.end) << c.start << " to " << c.end << " by " << c.step;
    }
}

TEST(DataBandSerial, LetteredSerialsCountInSixtyFourBits)
{
    CDataBand band;
    band.m_strStartValue = QString::number(INT_MAX);
    for (int32_t base : {SerialLetters, SerialBase36, SerialNoIOLQ, SerialNoIOQU, SerialNoIO, SerialCustomAlphabet}) {
        band.m_nSerialBase = base;
        QStringList texts;
        for (int n = 1; n <= 3; ++n)
            texts.append(band.FormatSerial(band.GetSerialValue(n)));
        EXPECT_EQ(texts.removeDuplicates(), 0) << base;
    }
    EXPECT_EQ(Serial(SerialLetters, INT_MAX), "FXSHRXW");
    CDataBand letters;
    letters.m_nSerialBase = SerialLetters;
    EXPECT_EQ(letters.FormatSerial(int64_t(INT_MAX) + 1), "FXSHRXX");
    letters.m_nSerialBase = SerialCustomAlphabet;
    letters.m_strCustomAlphabet = "ab";
    EXPECT_EQ(letters.FormatSerial(int64_t(1) << 32), QString(31, u'a') + "b");
}

TEST(DataBandEquality, ComparesExactlyTheListedFields)
{
    CDataBand base;
    for (const auto& [name, change] : ComparedFields()) {
        CDataBand other;
        change(other);
        EXPECT_FALSE(base.IsEqual(other)) << name;
        EXPECT_FALSE(other.IsEqual(base)) << name;
    }
    for (const auto& [name, change] : IgnoredFields()) {
        CDataBand other;
        change(other);
        EXPECT_TRUE(base.IsEqual(other)) << name;
    }
    CDataBand runtime;
    runtime.m_strWorkText = "w";
    runtime.m_strCurrentValue = "c";
    EXPECT_TRUE(base.IsEqual(runtime));
    // Strings compare case-sensitively.
    CDataBand lower;
    lower.m_strPrefix = "a";
    CDataBand upper;
    upper.m_strPrefix = "A";
    EXPECT_FALSE(lower.IsEqual(upper));
}

TEST(DataBandCopy, CloneCopiesEveryStoredFieldAndSharesNothing)
{
    CDataBand source;
    for (const auto& [name, change] : ComparedFields())
        change(source);
    for (const auto& [name, change] : IgnoredFields())
        change(source);
    source.m_strWorkText = "scratch";
    source.m_strCurrentValue = "current";

    const std::unique_ptr<CDataBand> clone = source.Clone();
    ASSERT_NE(clone.get(), &source);
    EXPECT_TRUE(clone->IsEqual(source));
    EXPECT_EQ(clone->m_nSerialStep, 7);
    // The fields equality skips must be copied too.
    EXPECT_EQ(clone->m_strName, "n");
    EXPECT_EQ(clone->m_strValue, "v");
    EXPECT_EQ(clone->m_strReserved10, "a");
    EXPECT_EQ(clone->m_strReserved11, "b");
    EXPECT_EQ(clone->m_strRefBandName, "r");
    EXPECT_EQ(clone->m_nReserved13, 13);
    EXPECT_EQ(clone->m_strReserved14, "c");
    EXPECT_TRUE(clone->m_bRound);
    EXPECT_TRUE(clone->m_bReserved50);
    EXPECT_TRUE(clone->m_bReserved51);
    EXPECT_TRUE(clone->m_bThousands);
    EXPECT_TRUE(clone->m_bReserved54);
    EXPECT_EQ(clone->m_strReserved55, "d");
    EXPECT_FALSE(clone->m_bReserved56);
    EXPECT_EQ(clone->m_strWorkText, "");
    EXPECT_EQ(clone->m_strCurrentValue, "");
    EXPECT_EQ(clone->GetText(), source.GetText());

    clone->m_strPrefix[0] = u'X';
    clone->m_strValue.append("more");
    EXPECT_EQ(source.m_strPrefix, "P");
    EXPECT_EQ(source.m_strValue, "v");

    // CopyFrom keeps the target's own run-time texts.
    CDataBand target;
    target.m_strCurrentValue = "mine";
    target.CopyFrom(source);
    EXPECT_TRUE(target.IsEqual(source));
    EXPECT_EQ(target.m_strCurrentValue, "mine");
    EXPECT_EQ(target.m_strWorkText, "");
    target.CopyFrom(target);
    EXPECT_TRUE(target.IsEqual(source));
}

TEST(DataBand, PadCharactersWidenWithSignExtension)
{
    EXPECT_EQ(CDataBand::WidenChar('0'), QChar(u'0'));
    EXPECT_EQ(CDataBand::WidenChar(static_cast<char>(0xE9)), QChar(static_cast<char16_t>(0xFFE9)));
}
