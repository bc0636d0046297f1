#include "ModuleString.h"
#include "TestSupport.h"
#include "barcode/BarcodeImpl_Codabar.h"
#include "barcode/BarcodeImpl_Code11.h"
#include "barcode/BarcodeImpl_Code39.h"
#include "barcode/BarcodeImpl_Code93.h"
#include "barcode/BarcodeImpl_EJU.h"
#include "barcode/BarcodeImpl_MSI.h"
#include "barcode/BarcodeImpl_PostNet.h"
#include "barcode/BarcodeImpl_Interleaved25.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<CBarcodeData> Code39Bars(const QString& full)
{
    auto bars = std::make_unique<CBarcodeData>();
    code39::BuildBars(full, 1.0f, 2.0f, *bars);
    return bars;
}

} // namespace

TEST(Code39Tables, PatternsHaveThreeWideElements)
{
    EXPECT_STREQ(code39::Pattern(code39::IndexOf(u'0')), "000110100");
    EXPECT_STREQ(code39::Pattern(code39::kStartStopIndex), "010010100");
    for (int i = 0; i < 44; ++i)
        EXPECT_EQ(QString::fromLatin1(code39::Pattern(i)).count(u'1'), 3) << i;
    EXPECT_FALSE(code39::IsDataChar(u'*'));
    EXPECT_FALSE(code39::IsDataChar(u'a'));
    EXPECT_TRUE(code39::IsDataChar(u'%'));
    // U+4E2D shares its low byte with "-" but is no table character.
    EXPECT_FALSE(code39::IsDataChar(QChar(0x4E2D)));
}

TEST(Code39Tables, CheckCharacterAndFullAscii)
{
    EXPECT_EQ(code39::CheckChar("1234"), u'A');
    EXPECT_EQ(code39::CheckChar("12345678"), u'-');
    EXPECT_EQ(code39::CheckChar(""), u'0');
    EXPECT_EQ(code39::FullAsciiOf(QChar(0)), "%U");
    EXPECT_EQ(code39::FullAsciiOf(QChar(127)), "%T");
    EXPECT_EQ(code39::FullAsciiOf(u'/'), "/O");
    EXPECT_EQ(code39::FullAsciiOf(u'a'), "+A");
    EXPECT_EQ(code39::FullAsciiOf(u'*'), "/J");
    EXPECT_EQ(code39::FullAsciiOf(u'@'), "%V");
    EXPECT_EQ(code39::FullAsciiOf(u'Z'), "Z");
    EXPECT_EQ(code39::FullAsciiOf(QChar(0xE9)), "");
    for (int c = 0; c < 128; ++c)
        for (QChar s : code39::FullAsciiOf(QChar(c)))
            EXPECT_TRUE(code39::IsDataChar(s)) << c;
}

TEST(Code39Tables, BarsOfOneCharacterSpanThirteenUnits)
{
    const auto owned = Code39Bars("*0*");
    const CBarcodeData& bars = *owned;
    EXPECT_EQ(bars.GetBarCount(), 15);
    // "*" = n W n n W n W n n, then the gap.
    EXPECT_EQ(ModuleString(bars).left(13), "1001011011010");
    EXPECT_FLOAT_EQ(bars.m_arrX.back() + bars.m_arrWidth.back(), 3 * 13 - 1);
    EXPECT_EQ(Code39Bars("*0123456789*")->GetBarCount(), 60);
}

TEST(CodabarTables, PatternsCheckAndLetters)
{
    EXPECT_STREQ(codabar::Pattern(codabar::IndexOf(u'0')), "0000011");
    EXPECT_STREQ(codabar::Pattern(codabar::IndexOf(u'-')), "0001100");
    EXPECT_STREQ(codabar::Pattern(codabar::IndexOf(u'A')), "0011010");
    EXPECT_STREQ(codabar::Pattern(codabar::IndexOf(u'D')), "0001110");
    EXPECT_FALSE(codabar::IsDataChar(u'A'));
    EXPECT_TRUE(codabar::IsDataChar(u'+'));
    EXPECT_EQ(codabar::CheckChar("12345678"), ":");
    EXPECT_EQ(codabar::CheckChar("0"), "");
    EXPECT_EQ(codabar::CheckChar("88"), "");
    EXPECT_EQ(codabar::StartStopLetter(0), u'A');
    EXPECT_EQ(codabar::StartStopLetter(2), u'C');
    EXPECT_EQ(codabar::StartStopLetter(7), u'D');
    EXPECT_EQ(codabar::StartStopLetter(-1), u'D');

    const auto elements = codabar::Elements("A12345678A");
    EXPECT_EQ(elements.size(), 80u);
    CBarcodeData bars;
    codabar::BuildBars(elements, 1.0f, 2.0f, bars);
    EXPECT_EQ(bars.GetBarCount(), 40);
}

TEST(Code93Tables, PatternsAndChecks)
{
    EXPECT_STREQ(code93::Pattern(code93::IndexOf(u'0')), "131112");
    EXPECT_STREQ(code93::Pattern(code93::IndexOf(u'A')), "211113");
    EXPECT_STREQ(code93::Pattern(code93::IndexOf(u'-')), "121131");
    EXPECT_STREQ(code93::Pattern(code93::IndexOf(u'a')), "121221");
    EXPECT_STREQ(code93::Pattern(code93::IndexOf(u'd')), "122211");
    for (int i = 0; i < 47; ++i) {
        int sum = 0;
        for (const char* p = code93::Pattern(i); *p; ++p)
            sum += *p - '0';
        EXPECT_EQ(sum, 9) << i;
    }
    EXPECT_EQ(code93::CheckChars("TEST93"), "+6");
    EXPECT_FALSE(code93::IsDataChar(u'a'));
    EXPECT_FALSE(code93::IsDataChar(QChar(0x4E2D)));
    EXPECT_EQ(code93::FullAsciiOf(u'a'), "dA");
    EXPECT_EQ(code93::FullAsciiOf(u'\''), "cG");
    EXPECT_EQ(code93::FullAsciiOf(u']'), "bM");
    EXPECT_EQ(code93::FullAsciiOf(u'/'), "cO");
    EXPECT_EQ(code93::FullAsciiOf(QChar(0x4E00 + 'x')), "");
    EXPECT_EQ(code93::FullAsciiOf(QChar(0xC8)), "");

    CBarcodeData bars;
    code93::BuildBars("TEST93+6", 1.0f, bars);
    EXPECT_EQ(bars.GetBarCount(), 3 * 8 + 7);
    EXPECT_FLOAT_EQ(bars.m_arrX.back() + bars.m_arrWidth.back(), 91);
    EXPECT_EQ(ModuleString(bars).left(9), "101011110");
}

TEST(Code11Tables, ChecksAndWidths)
{
    EXPECT_EQ(code11::CheckChars("123-45"), "52");
    EXPECT_EQ(code11::CheckChars("A").at(0), u'0');
    // 8 x 1 + 1 x 2 = 10: the first check character is "-".
    EXPECT_EQ(code11::CheckChars("18").at(0), u'-');
    CBarcodeData bars;
    code11::BuildBars("123-4552", 1.0f, 2.0f, bars);
    EXPECT_EQ(bars.GetBarCount(), 3 * 8 + 6);
    EXPECT_FLOAT_EQ(bars.m_arrX.back() + bars.m_arrWidth.back(), 79);
    CBarcodeData ratio3;
    code11::BuildBars("09-1", 1.0f, 3.0f, ratio3);
    // 0, 9 and "-" keep their three-module element; 1 gets two 3m elements.
    EXPECT_EQ(ModuleString(ratio3).mid(10, 34), "10101110" "11101010" "10111010" "1110101110");
}

TEST(TwoOfFiveTables, CompletionAndCheckDigit)
{
    EXPECT_EQ(twooffive::Complete("123456", true), "01234565");
    EXPECT_EQ(twooffive::Complete("1234567", false), "01234567");
    EXPECT_EQ(twooffive::Complete("12345", false), "012345");
    EXPECT_EQ(twooffive::Complete("", true), "00");
    EXPECT_EQ(twooffive::DigitsOnly("1-2 3ab4"), "1234");
    EXPECT_EQ(twooffive::Itf14Digits("1234567890123", true), "1234567890123");
    EXPECT_EQ(twooffive::CheckDigit("1234567890123"), u'1');
    EXPECT_EQ(twooffive::Itf14Digits("123", true), "0000000000123");
    EXPECT_EQ(twooffive::CheckDigit("0000000000123"), u'6');
    EXPECT_EQ(twooffive::Itf14Digits("12345678901234567890", true), "1234567890123");
    EXPECT_EQ(twooffive::Itf14Digits("A1B2", false), "00000000000012");
    EXPECT_EQ(twooffive::Complete(twooffive::Itf14Digits("", true), true), "00000000000000");
    EXPECT_STREQ(twooffive::DigitPattern(u'x'), "00000");
}

TEST(TwoOfFiveTables, BarLayouts)
{
    CBarcodeData itf;
    twooffive::BuildInterleavedBars(twooffive::InterleavedElements("12"), 1.0f, 3.0f, itf);
    // start 1010, 1 in bars (W n n n W), 2 in spaces (n W n n W), stop W n n.
    EXPECT_EQ(ModuleString(itf), "1010" "111010001010111000" "11101");
    EXPECT_EQ(itf.GetBarCount(), 10 / 2 + 4);

    CBarcodeData industrial;
    twooffive::BuildIndustrialBars(twooffive::IndustrialElements("0"), 1.0f, 2.0f, industrial);
    EXPECT_EQ(ModuleString(industrial), "11011010" "101011011010" "1101011");
    EXPECT_EQ(industrial.GetBarCount(), 5 + 6);

    CBarcodeData matrix;
    twooffive::BuildMatrixBars(twooffive::MatrixElements("0"), 1.0f, 2.0f, matrix);
    EXPECT_EQ(ModuleString(matrix), "111101010" "10110010" "11110101");
    EXPECT_EQ(matrix.GetBarCount(), (6 / 6 + 2) * 3);
}

TEST(MsiTables, CheckDigitAndPattern)
{
    EXPECT_EQ(msi::CheckDigit("1234567"), u'4');
    EXPECT_EQ(msi::CheckDigit("80523"), u'4');
    EXPECT_EQ(msi::CheckDigit(""), u'0');
    // Luhn on paper for a number too long for any integer type.
    EXPECT_EQ(msi::CheckDigit("98765432109876543210"), u'6');
    EXPECT_EQ(msi::ModulePattern("0").mid(3, 12), "100100100100");
    EXPECT_EQ(msi::ModulePattern("9").mid(3, 12), "110100100110");
    EXPECT_EQ(msi::ModulePattern("12345674").size(), 103);
    EXPECT_EQ(msi::DigitsOnly("1 a2-3"), "123");
}

TEST(PostnetTables, CheckDigitAndBars)
{
    EXPECT_EQ(postnet::CheckDigit("12345"), u'5');
    EXPECT_EQ(postnet::BarPattern("123455").size(), 32);
    EXPECT_EQ(postnet::BarPattern("9"), "1101001");
    EXPECT_EQ(postnet::BarPattern("0"), "1110001");
}

TEST(EanUpcTables, CheckDigitsAndExpansion)
{
    EXPECT_EQ(eanupc::FilterDigits("12345678", 12), "000012345678");
    EXPECT_EQ(eanupc::CheckDigit(u"000012345678", 1), u'4');
    EXPECT_EQ(eanupc::CheckDigit(u"1234567", 3), u'0');
    EXPECT_EQ(eanupc::CheckDigit(u"00012345678", 3), u'4');
    EXPECT_EQ(eanupc::FilterDigits("ABC", 7), "0000000");
    EXPECT_EQ(eanupc::FilterDigits("12-34", 6), "001234");
    EXPECT_EQ(eanupc::FilterDigits("123456789", 6), "123456");
    EXPECT_EQ(eanupc::ExpandUPCE(u"123450"), "01200000345");
    EXPECT_EQ(eanupc::ExpandUPCE(u"123456"), "01234500006");
    EXPECT_EQ(eanupc::ExpandUPCE(u"123453"), "01230000045");
    EXPECT_EQ(eanupc::ExpandUPCE(u"123454"), "01234000005");
    EXPECT_EQ(eanupc::CheckDigit(u"01200000345", 3), u'5');
}

TEST(EanUpcTables, PatternsAndAddons)
{
    EXPECT_EQ(eanupc::EAN13Pattern(u"0000123456784").size(), 95);
    EXPECT_EQ(eanupc::EAN13Pattern(u"0123456789012"), eanupc::UPCAPattern(u"123456789012"));
    EXPECT_EQ(eanupc::EAN8Pattern(u"12345670").size(), 67);
    EXPECT_EQ(eanupc::UPCEPattern(u"1234565").size(), 51);
    EXPECT_EQ(eanupc::BuildAddonPattern(u"12", 1), "1011" "0011001" "01" "0010011");
    // 51234: check value 9, sets AABAB.
    const QString five = eanupc::BuildAddonPattern(u"51234", 2);
    EXPECT_EQ(five.size(), 47);
    EXPECT_EQ(five.mid(4 + 9 + 9, 7), eanupc::GetDigitPattern(2, eanupc::SetB));
    EXPECT_EQ(five.mid(4 + 9 + 9 + 9, 7), eanupc::GetDigitPattern(3, eanupc::SetA));
    EXPECT_EQ(eanupc::BuildAddonPattern(u"04", 1).mid(4, 7), eanupc::GetDigitPattern(0, eanupc::SetA));
    EXPECT_EQ(eanupc::BuildAddonPattern(u"03", 1).mid(13, 7), eanupc::GetDigitPattern(3, eanupc::SetB));
}

TEST(EanUpcTables, BarsFromPattern)
{
    CBarcodeData bars;
    eanupc::BuildBarsFromPattern("0110", 0, 0, 1.0f, false, bars);
    ASSERT_EQ(bars.GetBarCount(), 1);
    EXPECT_FLOAT_EQ(bars.m_arrX[0], 1);
    EXPECT_FLOAT_EQ(bars.m_arrWidth[0], 2);

    CBarcodeData margin;
    eanupc::BuildBarsFromPattern("0110", 0, 0, 1.0f, true, margin);
    EXPECT_FLOAT_EQ(margin.m_arrX[0], 8);

    for (int gap : {0, 5}) {
        CBarcodeData withAddon;
        const QString pattern = eanupc::EAN8Pattern(u"12345670") + eanupc::BuildAddonPattern(u"12", 1);
        eanupc::BuildBarsFromPattern(pattern, 1, gap, 1.0f, false, withAddon);
        ASSERT_EQ(withAddon.GetBarCount(), 22 + 7);
        EXPECT_FLOAT_EQ(withAddon.m_arrX[22], 67 + 7 + gap);
    }
}
