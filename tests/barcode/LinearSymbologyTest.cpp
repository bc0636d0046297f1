#include "LinearSupport.h"
#include "ModuleString.h"
#include "TestSupport.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeImpl_Code39.h"
#include "barcode/BarcodeImpl_Code93.h"
#include "barcode/BarcodeImpl_Codabar.h"
#include "barcode/BarcodeImpl_EJU.h"
#include "barcode/BarcodeImpl_Interleaved25.h"
#include "barcode/BarcodeImpl_MSI.h"
#include "barcode/BarcodeImpl_PostNet.h"
#include "barcode/BarcodeSymbology.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

constexpr float kModule = 10.0f * kMilToMm;

std::unique_ptr<CBarcodeImpl> Make(int code, const QString& content, std::optional<bool> check = {})
{
    return EncodeBarcode(code, content, [check](CBarcodeSettings& s) {
        if (check)
            s.m_bAddCheckDigit = *check;
    });
}

QString Modules(const CBarcodeImpl& impl)
{
    return ModuleString(*impl.GetData(), impl.GetSettings()->m_fModuleWidth * kMilToMm);
}

float WidthInModules(const CBarcodeImpl& impl)
{
    return impl.GetSettings()->m_fWidth / (impl.GetSettings()->m_fModuleWidth * kMilToMm);
}

QString ShownText(CBarcodeImpl& impl)
{
    return impl.GetDisplayText(impl.GetSettings()->m_strFullText);
}

// Module strings of Code 39 characters with the narrow gap that follows each.
QString Code39Modules(const QString& chars)
{
    QString out;
    for (QChar c : chars) {
        const char* p = code39::Pattern(code39::IndexOf(c));
        for (int j = 0; j < 9; ++j)
            out += QString(p[j] == '1' ? 2 : 1, j % 2 == 0 ? u'1' : u'0');
        out += u'0';
    }
    out.chop(1);
    return out;
}

} // namespace

TEST(Code39, InvalidCharactersAndTheStartStopCharacterBecomeZero)
{
    auto plain = Make(SymbologyCode39, "abc");
    EXPECT_EQ(plain->GetSettings()->m_strFullText, "000");
    EXPECT_EQ(ShownText(*plain), "000");
    EXPECT_EQ(Modules(*plain), Code39Modules("*000*"));

    // A "*" inside the data would end the symbol early for every reader.
    auto star = Make(SymbologyCode39, "A*B");
    EXPECT_EQ(star->GetSettings()->m_strFullText, "A0B");
    EXPECT_EQ(Modules(*star), Code39Modules("*A0B*"));

    auto full = Make(SymbologyCode39Full, "abc");
    EXPECT_EQ(ShownText(*full), "abc");
    EXPECT_EQ(Modules(*full), Code39Modules("*+A+B+C*"));
    auto fullStar = Make(SymbologyCode39Full, "*");
    EXPECT_EQ(Modules(*fullStar), Code39Modules("*/J*"));
}

TEST(Code39, CheckCharacterSizeAndEmptyContent)
{
    auto impl = Make(SymbologyCode39, "1234", true);
    EXPECT_EQ(Modules(*impl), Code39Modules("*1234A*"));
    EXPECT_EQ(ShownText(*impl), "1234-");
    EXPECT_EQ(impl->GetSettings()->m_strCheckDigit, "A");
    EXPECT_EQ(Make(SymbologyCode39, "12345678", true)->GetSettings()->m_strCheckDigit, "-");

    auto ten = Make(SymbologyCode39, "ABCDEFGHIJ");
    EXPECT_EQ(ten->GetData()->GetBarCount(), 60);
    EXPECT_NEAR(WidthInModules(*ten), 12 * 13 - 1, 1e-3);

    auto empty = Make(SymbologyCode39, "");
    EXPECT_EQ(Modules(*empty), Code39Modules("**"));

    // Full ASCII: the check character is computed over the substituted text.
    auto fullCheck = Make(SymbologyCode39Full, "a", true);
    EXPECT_EQ(fullCheck->GetSettings()->m_strCheckDigit, QString(code39::CheckChar("+A")));
}

TEST(Codabar, ElementsCheckCharacterAndLetters)
{
    auto impl = Make(SymbologyCodabar, "12345678");
    EXPECT_EQ(static_cast<CBarcodeData_Codabar*>(impl->GetData())->GetElementCount(), 80);
    EXPECT_EQ(impl->GetData()->GetBarCount(), 40);

    auto checked = Make(SymbologyCodabar, "12345678", true);
    EXPECT_EQ(checked->GetSettings()->m_strCheckDigit, ":");
    EXPECT_EQ(ShownText(*checked), "12345678-");
    EXPECT_EQ(Make(SymbologyCodabar, "88", true)->GetData()->GetBarCount(), 4 * 4);

    auto letters = CreateBarcodeImpl(SymbologyCodabar);
    letters->GetSettings()->m_strContent = "1A";
    letters->GetSettings()->m_nStartChar = 7;
    letters->GetSettings()->m_nStopChar = 1;
    Recompute(*letters);
    EXPECT_EQ(letters->GetSettings()->m_strFullText, "10");
    EXPECT_EQ(letters->BuildFullText("10"), "D10B");
}

TEST(Code93, ChecksWidthAndFullAscii)
{
    auto impl = Make(SymbologyCode93, "TEST93");
    EXPECT_EQ(impl->GetSettings()->m_strCheckDigit, "+6");
    EXPECT_NEAR(WidthInModules(*impl), 91, 1e-3);
    EXPECT_EQ(ShownText(*impl), "TEST93");

    auto unchecked = Make(SymbologyCode93, "TEST93", false);
    EXPECT_NEAR(WidthInModules(*unchecked), 9 * 6 + 19, 1e-3);

    auto lower = Make(SymbologyCode93, "a");
    EXPECT_EQ(ShownText(*lower), "0");

    auto full = Make(SymbologyCode93Full, "a'/]", false);
    EXPECT_EQ(ShownText(*full), "a'/]");
    QString expected;
    const QString start = QStringLiteral("111141");
    QStringList patterns{start};
    for (QChar c : QStringLiteral("dAcGcObM"))
        patterns << QString::fromLatin1(code93::Pattern(code93::IndexOf(c)));
    patterns << start;
    for (const QString& p : patterns)
        for (int j = 0; j < 6; ++j)
            expected += QString(p[j].unicode() - u'0', j % 2 == 0 ? u'1' : u'0');
    EXPECT_EQ(Modules(*full), expected + u'1');
}

// A character above U+00FF is invalid wherever it stands, whatever its low byte: it
// is handled exactly as the symbology handles an invalid character in its range
// (turned into "0" or dropped), and the check characters follow.
TEST(LinearSymbologies, CharactersAboveLatin1AreInvalidNotTheirLowByte)
{
    const QString hyphenLow(QChar(0x4E2D)); // low byte of "-"
    const QString digitLow(QChar(0x4E31));  // low byte of "1"
    const struct
    {
        int code;
        QString content;
        QString sameBarsAs;
        QString fullText;
    } cases[] = {
        {SymbologyCode39, hyphenLow + "A", "0A", "0A"},
        {SymbologyCode39Full, hyphenLow + "A", "A", hyphenLow + "A"},
        {SymbologyCode93, hyphenLow + "A", "0A", "0A"},
        {SymbologyCode93Full, hyphenLow + "A" + QChar(0x4E00 + 'x'), "A", hyphenLow + "A" + QChar(0x4E00 + 'x')},
        {SymbologyCode11, hyphenLow + "1", "01", "01"},
        {SymbologyCodabar, hyphenLow + "1", "01", "01"},
        {SymbologyMSI, digitLow + "2", "2", "2"},
        {SymbologyPostNet, digitLow + "2", "2", "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        auto wide = Make(c.code, c.content, true);
        auto reference = Make(c.code, c.sameBarsAs, true);
        EXPECT_EQ(wide->GetSettings()->m_strFullText, c.fullText);
        EXPECT_EQ(wide->GetSettings()->m_strCheckDigit, reference->GetSettings()->m_strCheckDigit);
        EXPECT_EQ(Modules(*wide), Modules(*reference));
    }
}

TEST(Code11, ChecksAndWidth)
{
    auto impl = Make(SymbologyCode11, "123-45");
    EXPECT_EQ(impl->GetSettings()->m_strEncodedText, "123-4552");
    EXPECT_NEAR(WidthInModules(*impl), 79, 1e-3);
    EXPECT_EQ(ShownText(*impl), "123-45");

    auto letter = Make(SymbologyCode11, "1X", false);
    EXPECT_EQ(ShownText(*letter), "10");
    EXPECT_EQ(letter->GetData()->GetBarCount(), 3 * 2 + 6);
}

TEST(TwoOfFive, CompletedTextsAndItf14Geometry)
{
    auto itf = Make(SymbologyInterleaved25, "123456", true);
    EXPECT_EQ(ShownText(*itf), "01234565");
    EXPECT_EQ(Make(SymbologyIndustrial25, "12345")->GetSettings()->m_strEncodedText, "012345");
    EXPECT_EQ(Make(SymbologyMatrix25, "1-2 a3b4")->GetSettings()->m_strFullText, "1234");
    EXPECT_EQ(Make(SymbologyInterleaved25, "", true)->GetSettings()->m_strEncodedText, "00");

    auto itf14 = Make(SymbologyITF14, "123", true);
    EXPECT_EQ(ShownText(*itf14), "00000000001236");
    // Letters never reach the bars.
    EXPECT_EQ(Make(SymbologyITF14, "12A3", true)->GetSettings()->m_strFullText, "0000000000123");

    auto scc = Make(SymbologySCC14ITF, "12345678901234", false);
    const CBarcodeData& data = *scc->GetData();
    EXPECT_FLOAT_EQ(data.m_arrX.front(), 11 * kModule);
    EXPECT_NEAR(data.m_arrX.back() + data.m_arrWidth.back(), 117 * kModule, 1e-4);
    EXPECT_NEAR(scc->GetSettings()->m_fWidth, 128 * kModule, 1e-4);
    scc->GetSettings()->m_fWidth = 0;
    scc->CalcWidth();
    EXPECT_NEAR(scc->GetSettings()->m_fWidth, 128 * kModule, 1e-4);
}

TEST(TwoOfFive, RatioAndFixedMatrixStartBar)
{
    auto itf = CreateBarcodeImpl(SymbologyInterleaved25);
    itf->GetSettings()->m_fRatio = 3.0f;
    itf->GetSettings()->m_strContent = "12";
    Recompute(*itf);
    EXPECT_EQ(Modules(*itf), "1010" "111010001010111000" "11101");

    auto matrix = Make(SymbologyMatrix25, "00");
    EXPECT_FLOAT_EQ(matrix->GetData()->m_arrWidth[0], 4 * kModule);
}

TEST(Msi, CheckDigitAndWidth)
{
    auto impl = Make(SymbologyMSI, "12a34 567");
    EXPECT_EQ(ShownText(*impl), "12345674");
    EXPECT_NEAR(WidthInModules(*impl), 103, 1e-3);
    EXPECT_EQ(impl->GetData()->GetBarCount(), 4 * 8 + 3);
    auto unchecked = Make(SymbologyMSI, "123", false);
    EXPECT_EQ(ShownText(*unchecked), "123");
    EXPECT_NEAR(WidthInModules(*unchecked), 12 * 3 + 7, 1e-3);
    EXPECT_EQ(Make(SymbologyMSI, "80523")->GetSettings()->m_strCheckDigit, "4");
}

TEST(PostNet, BarsWidthAndDefaults)
{
    auto impl = Make(SymbologyPostNet, "12345");
    EXPECT_EQ(impl->GetSettings()->m_fBarHeight, 6.0f);
    EXPECT_EQ(impl->GetSettings()->m_strCheckDigit, "5");
    EXPECT_EQ(impl->GetData()->GetBarCount(), 32);
    EXPECT_NEAR(impl->GetSettings()->m_fWidth, 19.1516f, 1e-4);
    EXPECT_EQ(ShownText(*impl), "12345");

    auto nine = Make(SymbologyPostNet, "9", false);
    EXPECT_EQ(static_cast<CBarcodeImpl_PostNet&>(*nine).m_strPattern, "1101001");
}

TEST(EanUpc, DefaultContentAndWidths)
{
    struct Case {
        int code;
        const char* digits;
        float modules;
    };
    for (const Case& c : {Case{SymbologyEAN13, "0000123456784", 102}, Case{SymbologyEAN8, "12345670", 67},
                          Case{SymbologyUPCA, "000123456784", 109}, Case{SymbologyUPCE, "1234565", 65}}) {
        auto impl = Make(c.code, "12345678");
        EXPECT_EQ(ShownText(*impl), c.digits) << c.code;
        EXPECT_NEAR(WidthInModules(*impl), c.modules, 1e-3) << c.code;
        EXPECT_NEAR(impl->GetSettings()->m_fModuleWidth, 12.992f, 1e-6);
    }
    auto upce = Make(SymbologyUPCE, "123450");
    EXPECT_EQ(ShownText(*upce), "1234505");

    // The user's own check digit is kept, right or wrong.
    auto unchecked = Make(SymbologyEAN8, "12345671", false);
    EXPECT_EQ(ShownText(*unchecked), "12345671");
}

TEST(EanUpc, AttachedAddons)
{
    for (int code : {SymbologyEAN13, SymbologyUPCA}) {
        auto impl = CreateBarcodeImpl(code);
        auto& s = static_cast<CBarcodeSettings_EJU&>(*impl->GetSettings());
        s.m_strContent = "12345678901234";
        s.m_nAddonKind = AddonTwoDigits;
        Recompute(*impl);
        EXPECT_NEAR(WidthInModules(*impl), 102 + 7 + 20, 1e-3) << code;
        EXPECT_EQ(impl->GetData()->GetBarCount(), 37);
    }
    auto ean = CreateBarcodeImpl(SymbologyEAN13);
    auto& s = static_cast<CBarcodeSettings_EJU&>(*ean->GetSettings());
    s.m_strContent = "590123412345" "51234";
    s.m_nAddonKind = AddonFiveDigits;
    s.m_nAddonGap = 2;
    Recompute(*ean);
    EXPECT_EQ(ShownText(*ean), "5901234123457" "51234");
    const CBarcodeData& data = *ean->GetData();
    ASSERT_EQ(data.GetBarCount(), 46);
    const float m = 12.992f * kMilToMm;
    EXPECT_NEAR(data.m_arrX[30] - (data.m_arrX[29] + data.m_arrWidth[29]), 9 * m, 1e-4);

    // Stored kinds outside 0-2 count as no add-on.
    s.m_nAddonKind = 7;
    Recompute(*ean);
    EXPECT_EQ(ean->GetData()->GetBarCount(), 30);
}

TEST(EanUpc, StandaloneAddons)
{
    auto two = Make(SymbologySupp2, "12345678", true);
    EXPECT_EQ(ShownText(*two), "12");
    EXPECT_EQ(Modules(*two), "1011" "0011001" "01" "0010011");
    EXPECT_EQ(two->GetData()->GetBarCount(), 7);
    EXPECT_EQ(ShownText(*Make(SymbologySupp2, "7")), "07");
    auto five = Make(SymbologySupp5, "7", true);
    EXPECT_EQ(ShownText(*five), "00007");
    EXPECT_NEAR(WidthInModules(*five), 47, 1e-3);
    EXPECT_EQ(five->GetData()->GetBarCount(), 16);
}

TEST(LinearSymbologies, CloneCopiesPatternsAndSelectors)
{
    auto ean = Make(SymbologyUPCE, "654321");
    auto copy = ean->Clone();
    EXPECT_EQ(static_cast<CBarcodeImpl_EJU&>(*copy).m_strPattern, static_cast<CBarcodeImpl_EJU&>(*ean).m_strPattern);
    auto five = Make(SymbologySupp5, "1");
    auto fiveCopy = five->Clone();
    fiveCopy->Encode();
    EXPECT_EQ(fiveCopy->GetSettings()->m_strFullText, "00001");
    auto msi = Make(SymbologyMSI, "42");
    EXPECT_EQ(static_cast<CBarcodeImpl_MSI&>(*msi->Clone()).m_strPattern,
              static_cast<CBarcodeImpl_MSI&>(*msi).m_strPattern);
}
