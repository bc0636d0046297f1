#include "barcode/BarcodeImpl_PostalCode.h"
#include "barcode/BarcodeSymbology.h"
#include "platform/VXException.h"
#include "LinearSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zint.h>

#include <random>

namespace {

// Symbol values used in the expectations below.
constexpr int StartA = 103, StartB = 104, StartC = 105;
constexpr int CodeC = 99, CodeB = 100, CodeA = 101, Shift = 98, FNC1 = 102;

struct Encoded
{
    std::unique_ptr<CBarcodeImpl> impl;
    CBarcodeSettings& settings() const { return *impl->GetSettings(); }
    QString pattern() const { return static_cast<CBarcodeImpl_Code128&>(*impl).m_strPattern; }
};

constexpr int kFactoryCodeSet = INT_MIN;

Encoded Encode(int symbology, const QString& content, int codeSet = kFactoryCodeSet)
{
    return Encoded{EncodeBarcode(symbology, content, [codeSet](CBarcodeSettings& s) {
        if (codeSet != kFactoryCodeSet)
            static_cast<CBarcodeSettings_Code128&>(s).m_nCodeSet = codeSet;
    })};
}

// One row of the exact-pattern table: content, code set, and the symbol values
// from the start character to the check character.
struct PatternCase
{
    int symbology;
    const char* content;
    int codeSet;
    std::vector<int> values;
    const char* why;
};

} // namespace

TEST(Code128, ExactSymbolsOfTheDocumentedExamples)
{
    const PatternCase cases[] = {
        {SymbologyCode128, "12345678", Code128SetC, {StartC, 12, 34, 56, 78, 47}, "four pairs"},
        {SymbologyCode128, "12345", Code128SetC, {StartC, 12, 34, 50, 26}, "odd length gets a 0"},
        {SymbologyCode128, "1234ab", Code128SetAuto, {StartC, 12, 34, CodeB, 65, 66, 45}, "C then B"},
        {SymbologyCode128, "ab1234", Code128SetAuto, {StartB, 65, 66, CodeC, 12, 34, 95}, "B then C"},
        {SymbologyCode128, "ab12345", Code128SetAuto, {StartB, 65, 66, 17, CodeC, 23, 45, 0}, "odd run: first digit in B"},
        {SymbologyCode128, "a\tb", Code128SetAuto, {StartB, 65, Shift, 73, 66, 24}, "one control: SHIFT"},
        {SymbologyCode128, "a\x01\x02" "b", Code128SetAuto, {StartB, 65, CodeA, 65, 66, Shift, 66, 68}, "two controls: CODE A"},
        {SymbologyCode128, "123", Code128SetAuto, {StartB, 17, 18, 19, 8}, "three digits stay in B"},
        {SymbologyCode128, "12345", Code128SetAuto, {StartC, 12, 34, CodeB, 21, 54}, "fifth digit in B"},
        {SymbologyCode128, "\x01" "A", Code128SetAuto, {StartA, 65, 33, 28}, "control first: start A"},
        {SymbologyCode128, "", Code128SetB, {StartB, 1}, "empty: start, check, stop"},
        {SymbologyEAN128, "0112345678901231", Code128SetC, {StartC, FNC1, 1, 12, 34, 56, 78, 90, 12, 31, 74}, "FNC1, check from 207"},
        {SymbologyPostalCode, "AB123", kFactoryCodeSet, {StartB, 33, 34, 17, CodeC, 23, 0, 0, 0, 0, 46}, "letters, then pairs"},
        {SymbologyMedicalCode, "123", kFactoryCodeSet, {StartC, 0, 0, 0, 0, 0, 0, 0, 0, 1, 23, 35}, "twenty digits"},
        {SymbologyMonitorCode, "123", kFactoryCodeSet, {StartC, FNC1, 21, 0, 0, 0, 0, 0, 0, 0, 0, 1, 23, 21}, "21 and twenty digits"},
    };
    for (const PatternCase& c : cases) {
        const Encoded e = Encode(c.symbology, QString::fromLatin1(c.content), c.codeSet);
        EXPECT_EQ(e.pattern(), Code128PatternOfValues(c.values)) << c.why;
        // Three bars per symbol character and four in the stop pattern.
        EXPECT_EQ(e.impl->GetData()->GetBarCount(), int(c.values.size()) * 3 + 4) << c.why;
        EXPECT_EQ(ModulesOf(*e.impl), WidthsToModules(e.pattern())) << c.why;
    }
}

TEST(Code128, LiteralModulesOfTheTableEnds)
{
    // Start B, value 33 ("A"), check 33, stop: written out module by module.
    const Encoded e = Encode(SymbologyCode128, QStringLiteral("A"), Code128SetB);
    EXPECT_EQ(ModulesOf(*e.impl), "11010010000" "10100011000" "10001011000" "1100011101011");
    EXPECT_EQ(QString::fromLatin1(Code128Patterns[0]), QStringLiteral("212222"));
    EXPECT_EQ(QString::fromLatin1(Code128Patterns[102]), QStringLiteral("411131"));
}

TEST(Code128, FiltersByCodeSetAndNeverAliasesWideCharacters)
{
    // U+4E41 has the low byte of "A": it must be dropped, not encoded as "A".
    const QString wide = QString(QChar(0x4E41)) + QStringLiteral("B") + QString(QChar(0xE9));
    EXPECT_EQ(Encode(SymbologyCode128, wide, Code128SetAuto).settings().m_strFullText, QStringLiteral("B"));
    EXPECT_EQ(Encode(SymbologyCode128, QStringLiteral("aB1\t"), Code128SetA).settings().m_strFullText,
              QStringLiteral("B1\t"));
    EXPECT_EQ(Encode(SymbologyCode128, QStringLiteral("aB1\t"), Code128SetB).settings().m_strFullText,
              QStringLiteral("aB1"));
    EXPECT_EQ(Encode(SymbologyCode128, QStringLiteral("a1b2c3"), Code128SetC).settings().m_strFullText,
              QStringLiteral("1230"));
}

TEST(Code128, CodeSetOutsideTheRangeIsAutomatic)
{
    for (int damaged : {4, -1, 1000}) {
        const Encoded e = Encode(SymbologyCode128, QStringLiteral("ab1234"), damaged);
        EXPECT_EQ(e.pattern(), Code128PatternOfValues({StartB, 65, 66, CodeC, 12, 34, 95}));
        EXPECT_TRUE(e.impl->IsValidChar(QLatin1Char('\t')));
        EXPECT_THROW(e.impl->CalcCheckCharacter(QStringLiteral("ab")), CBarcodeException);
    }
}

TEST(Code128, CheckCharacterIsOnlyForFixedSets)
{
    Encoded e = Encode(SymbologyCode128, QStringLiteral("A"), Code128SetAuto);
    try {
        e.impl->CalcCheckCharacter(QStringLiteral("A"));
        FAIL();
    } catch (const CBarcodeException& ex) {
        EXPECT_EQ(ex.GetMessage(), QStringLiteral("Not implemented here"));
    }
    static_cast<CBarcodeSettings_Code128&>(e.settings()).m_nCodeSet = Code128SetB;
    EXPECT_EQ(e.impl->CalcCheckCharacter(QStringLiteral("A")), QLatin1String(Code128Patterns[34]));
}

TEST(GS1_128, HumanReadableTextPutsFixedAIsInParentheses)
{
    auto display = [](const char* content, bool hide = false, int codeSet = Code128SetAuto) {
        Encoded e{CreateBarcodeImpl(SymbologyEAN128)};
        auto& s = static_cast<CBarcodeSettings_EAN128&>(e.settings());
        s.m_strContent = QLatin1String(content);
        s.m_nCodeSet = codeSet;
        s.m_bHideParentheses = hide;
        Recompute(*e.impl);
        return s.m_strDisplayText;
    };
    EXPECT_EQ(display("0112345678901231"), QStringLiteral("(01)12345678901231"));
    EXPECT_EQ(display("0112345678901231", true), QStringLiteral("0112345678901231"));
    EXPECT_EQ(display("011234567890123110AB12"), QStringLiteral("(01)1234567890123110AB12"));
    EXPECT_EQ(display("00123456789012345675011234567890123111123456"),
              QStringLiteral("(00)123456789012345675(01)12345678901231(11)123456"));
    // 01 after 11 is past its row: shown as typed from there on.
    EXPECT_EQ(display("11123456011234567890123"), QStringLiteral("(11)123456011234567890123"));
    EXPECT_EQ(display("0112"), QStringLiteral("0112"));
    EXPECT_EQ(display("011234567890123", false, Code128SetC), QStringLiteral("(01)12345678901230"));
}

TEST(GS1_128, FixedLengthCodes)
{
    const Encoded ean14 = Encode(SymbologyEAN14, QStringLiteral("123"));
    EXPECT_EQ(ean14.settings().m_strFullText, QStringLiteral("0100000000000123"));
    EXPECT_EQ(ean14.settings().m_strDisplayText, QStringLiteral("(01)00000000000123"));
    EXPECT_EQ(Encode(SymbologyEAN14, QStringLiteral("123456789012345678")).settings().m_strFullText,
              QStringLiteral("0112345678901234"));

    const Encoded sscc = Encode(SymbologySSCC18, QStringLiteral("12345678901234567"));
    EXPECT_EQ(sscc.settings().m_strEncodedText, QStringLiteral("00123456789012345675"));
    EXPECT_EQ(sscc.settings().m_strDisplayText, QStringLiteral("(00) 1 2345678 901234567 5"));
    EXPECT_EQ(sscc.settings().m_strCheckDigit, QString()); // the settings' field is not SSCC-18's
    EXPECT_EQ(Encode(SymbologySSCC18, QStringLiteral("12345678901234567999")).settings().m_strEncodedText,
              QStringLiteral("00123456789012345675"));
    auto copy = sscc.impl->Clone();
    EXPECT_EQ(static_cast<CBarcodeImpl_SSCC18&>(*copy).m_strCheckDigit, QStringLiteral("5"));
}

TEST(PostalCodes, ContentIsForcedToItsLength)
{
    EXPECT_EQ(Encode(SymbologyPostalCode, QStringLiteral("AB123")).settings().m_strFullText,
              QStringLiteral("AB12300000000"));
    EXPECT_EQ(Encode(SymbologyPostalCode, QStringLiteral("AB12X45678901234")).settings().m_strFullText,
              QStringLiteral("AB12045678901"));
    // A leading character Code 128 cannot carry becomes "0" like any other.
    const Encoded wide = Encode(SymbologyPostalCode, QString(QChar(0x4E2D)) + QStringLiteral("B12"));
    EXPECT_EQ(wide.settings().m_strFullText, QStringLiteral("0B12000000000"));
    const Encoded digits = Encode(SymbologyPostalCode, QStringLiteral("1234567890123"));
    EXPECT_EQ(digits.pattern(), Code128PatternOfValues({StartC, 12, 34, 56, 78, 90, 12, CodeB, 19,
                                                        (105 + 12 + 68 + 168 + 312 + 450 + 72 + 700 + 152) % 103}));

    EXPECT_EQ(Encode(SymbologyMedicalCode, QStringLiteral("12a")).settings().m_strFullText,
              QStringLiteral("00000000000000000120"));
    const Encoded monitor = Encode(SymbologyMonitorCode, QStringLiteral("123"));
    EXPECT_EQ(monitor.settings().m_strEncodedText, QStringLiteral("2100000000000000000123"));
    EXPECT_EQ(monitor.settings().m_strDisplayText, QStringLiteral("00000000000000000123"));
}

// ---- Differential against libzint ------------------------------------------------

namespace {

int g_comparedWithZint = 0;

void ExpectSameAsZint(int symbology, const QString& content, int codeSet, int zintSymbology, int zintMode,
                      const QByteArray& zintInput)
{
    const Encoded e = Encode(symbology, content, codeSet);
    const std::string zint = ZintModules(zintSymbology, zintMode, zintInput);
    ASSERT_FALSE(zint.empty()) << zintInput.toStdString();
    EXPECT_EQ(ModulesOf(*e.impl), zint) << "content: " << content.toStdString();

    ++g_comparedWithZint;
}

QString RandomText(std::mt19937& rng, const QString& alphabet, int minLength, int maxLength)
{
    std::uniform_int_distribution<int> length(minLength, maxLength);
    std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
    QString text;
    for (int n = length(rng); n > 0; --n)
        text += alphabet[pick(rng)];
    return text;
}

QString Printable()
{
    QString s;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        s += QChar(c);
    return s;
}

} // namespace

TEST(Code128Differential, SetBAndEvenDigitsInSetCMatchZint)
{
    std::mt19937 rng(128);
    const QString printable = Printable();
    for (int i = 0; i < 400; ++i) {
        const QString text = RandomText(rng, printable, 1, 40);
        ExpectSameAsZint(SymbologyCode128, text, Code128SetB, BARCODE_CODE128B, DATA_MODE, text.toLatin1());
    }
    for (int i = 0; i < 300; ++i) {
        QString text = RandomText(rng, QStringLiteral("0123456789"), 2, 60);
        if (text.size() % 2)
            text.chop(1);
        ExpectSameAsZint(SymbologyCode128, text, Code128SetC, BARCODE_CODE128, DATA_MODE, text.toLatin1());
    }
}

// Without control characters the automatic choice is the standard's, except that two
// digits alone start in B (zint starts in C); control characters follow rules of
// their own (SHIFT only before lower case), so those symbols are checked by decoding.
TEST(Code128Differential, AutomaticMatchesZint)
{
    std::mt19937 rng(2024);
    const QString printable = Printable();
    const QString digitHeavy = QStringLiteral("0123456789012345678901234567890123456789abcXYZ-. ");
    for (int i = 0; i < 800; ++i) {
        const QString text = RandomText(rng, i % 2 ? printable : digitHeavy, 1, 30);
        if (text.size() == 2 && text[0].isDigit() && text[1].isDigit())
            continue;
        ExpectSameAsZint(SymbologyCode128, text, Code128SetAuto, BARCODE_CODE128, DATA_MODE, text.toLatin1());
    }
}

TEST(Code128Differential, AutomaticWithControlCharactersDecodes)
{
    std::mt19937 rng(77);
    QString alphabet = QStringLiteral("0123456789012345678901234567890123456789abcxyzXYZ-. ");
    for (char16_t c : {u'\t', u'\x01', u'\x1f', u'\r', u'`', u'\x7f'})
        alphabet += QChar(c);
    for (int i = 0; i < 300; ++i) {
        const QString text = RandomText(rng, alphabet, 1, 24);
        const Encoded e = Encode(SymbologyCode128, text, Code128SetAuto);
        const auto read = ReadModules(ModulesOf(*e.impl), ZXing::BarcodeFormat::Code128);
        ASSERT_TRUE(read) << text.toLatin1().toHex().constData();
        EXPECT_EQ(read->text, text.toLatin1()) << text.toLatin1().toHex().constData();
    }
}

TEST(Code128Differential, GS1_128MatchesZint)
{
    std::mt19937 rng(1);
    const QString digits = QStringLiteral("0123456789");
    for (int i = 0; i < 300; ++i) {
        // Fixed-length AIs only, so zint needs no separator between fields.
        const QString gtin = RandomText(rng, digits, 14, 14);
        const QString date = RandomText(rng, digits, 6, 6);
        const QString content = QStringLiteral("01") + gtin + QStringLiteral("17") + date;
        const QByteArray zint = "[01]" + gtin.toLatin1() + "[17]" + date.toLatin1();
        ExpectSameAsZint(SymbologyEAN128, content, Code128SetC, BARCODE_GS1_128, GS1_MODE | GS1NOCHECK_MODE, zint);
        ExpectSameAsZint(SymbologyEAN128, content, Code128SetAuto, BARCODE_GS1_128, GS1_MODE | GS1NOCHECK_MODE, zint);
        const QString sscc = RandomText(rng, digits, 17, 17);
        const Encoded e = Encode(SymbologySSCC18, sscc, Code128SetAuto);
        ExpectSameAsZint(SymbologySSCC18, sscc, Code128SetAuto, BARCODE_GS1_128, GS1_MODE,
                         "[00]" + e.settings().m_strEncodedText.mid(2).toLatin1());
    }
    RecordProperty("inputs_compared_with_zint", g_comparedWithZint);
    std::printf("inputs compared with libzint so far: %d\n", g_comparedWithZint);
}
