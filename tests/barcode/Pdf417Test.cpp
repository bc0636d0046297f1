#include "Barcode2DSupport.h"
#include "TestSupport.h"
#include "barcode/CodePage.h"
#include "barcode/BarcodeData.h"
#include "barcode/BarcodeSymbology.h"
#include "barcode/Pdf417.h"
#include "barcode/Pdf417Encoder.h"
#include "barcode/Pdf417Tables.h"
#include "platform/VXException.h"

#include <QPainter>
#include <set>
#include <gtest/gtest.h>

namespace {

// Value of the codeword polynomial at 3^i; zero for i = 1..k when the check words are right.
int Syndrome(const std::vector<int32_t>& words, int i)
{
    int root = 1;
    for (int n = 0; n < i; ++n)
        root = root * 3 % 929;
    int value = 0;
    for (const int32_t w : words)
        value = (value * root + w) % 929;
    return value;
}

QByteArray TestBytes(int length, int seed)
{
    QByteArray bytes;
    uint32_t x = 2463534242u + static_cast<uint32_t>(seed);
    for (int i = 0; i < length; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes.append(static_cast<char>(x & 0xFF));
    }
    return bytes;
}

} // namespace

TEST(Pdf417, ByteCompactionLatchesAndGroups)
{
    EXPECT_EQ(Pdf417CompactBytes(QByteArray()), (std::vector<int32_t>{924}));
    // 0x010203040506 = 1108152157446 = 1 * 900^4 + 620 * 900^3 + 89 * 900^2 + 74 * 900 + 846.
    const std::vector<int32_t> six = Pdf417CompactBytes(QByteArray("\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_EQ(six, (std::vector<int32_t>{924, 1, 620, 89, 74, 846}));
    const std::vector<int32_t> seven = Pdf417CompactBytes(QByteArray("\x01\x02\x03\x04\x05\x06\xff", 7));
    EXPECT_EQ(seven, (std::vector<int32_t>{901, 1, 620, 89, 74, 846, 255}));
    // The largest group value stays exact: 256^6 - 1 in base 900.
    const std::vector<int32_t> ff = Pdf417CompactBytes(QByteArray(6, '\xff'));
    EXPECT_EQ(ff, (std::vector<int32_t>{924, 429, 11, 71, 222, 855}));
}

TEST(Pdf417, AutomaticLevelFollowsTheDataCount)
{
    const std::pair<int, int> cases[] = {{1, 2}, {40, 2}, {41, 3}, {160, 3}, {161, 4}, {320, 4},
                                         {321, 5}, {863, 5}, {864, 6}};
    for (const auto& [count, level] : cases)
        EXPECT_EQ(Pdf417AutoErrorLevel(count), level) << count;
}

TEST(Pdf417, CheckWordsMakeEverySyndromeZero)
{
    for (int level = 0; level <= 8; ++level) {
        ASSERT_EQ(Pdf417Coefficients(level).size(), size_t(2) << level);
        std::vector<int32_t> words = {12, 924, 1, 620, 89, 74, 846, 900, 900, 900, 900, 900};
        const std::vector<int32_t> check = Pdf417ErrorCodewords(words, level);
        words.insert(words.end(), check.begin(), check.end());
        for (int i = 1; i <= (2 << level); ++i)
            ASSERT_EQ(Syndrome(words, i), 0) << "level " << level << " root " << i;
    }
    EXPECT_TRUE(Pdf417Coefficients(9).empty());
}

TEST(Pdf417, MatrixGrowsRowsUpToTheLimitThenColumns)
{
    // 1x0, 1x1, 2x1, 3x1, 4x1, 4x2, 5x2, 6x2, 7x2, 7x3, ... stopping once it holds them.
    const struct { int needed, rows, columns; } cases[] = {
        {4, 4, 1}, {5, 4, 2}, {8, 4, 2}, {9, 5, 2}, {14, 7, 2}, {15, 7, 3}, {21, 7, 3}, {22, 8, 3}};
    for (const auto& c : cases) {
        int rows = 0, columns = 0;
        Pdf417ChooseSize(c.needed, Pdf417Options{}, rows, columns);
        EXPECT_EQ(rows, c.rows) << c.needed;
        EXPECT_EQ(columns, c.columns) << c.needed;
    }
    int rows = 0, columns = 0;
    Pdf417Options fixedRows;
    fixedRows.rows = 5;
    Pdf417ChooseSize(23, fixedRows, rows, columns);
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(columns, 5);
    Pdf417Options fixedColumns;
    fixedColumns.columns = 4;
    Pdf417ChooseSize(23, fixedColumns, rows, columns);
    EXPECT_EQ(rows, 6);
    EXPECT_EQ(columns, 4);
    // Fewer than three rows are padded up to three.
    Pdf417ChooseSize(3, Pdf417Options{}, rows, columns);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 1);
    // A negative limit still ends: one row, then columns.
    Pdf417Options negative;
    negative.rowColumnLimit = -2;
    Pdf417ChooseSize(20, negative, rows, columns);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 20);
}

TEST(Pdf417, SettingsBeyondTheSymbolLimitsThrowTheirText)
{
    const auto messageOf = [](int needed, Pdf417Options o) -> QString {
        int rows = 0, columns = 0;
        try {
            Pdf417ChooseSize(needed, o, rows, columns);
        } catch (const CBarcodeException& e) {
            return e.GetMessage();
        }
        return {};
    };
    Pdf417Options o;
    o.rows = -1;
    EXPECT_EQ(messageOf(10, o), kPdf417BadRowsColumns);
    o = {};
    o.columns = -3;
    o.rows = 4;
    EXPECT_EQ(messageOf(10, o), kPdf417BadRowsColumns);
    o = {};
    o.rows = 91;
    EXPECT_EQ(messageOf(10, o), kPdf417TooManyRows);
    o = {};
    o.columns = 31;
    EXPECT_EQ(messageOf(10, o), kPdf417TooManyColumns);
    o = {};
    o.columns = 1;  // 100 codewords in one column need 100 rows
    EXPECT_EQ(messageOf(100, o), kPdf417TooManyRows);
    o = {};
    o.rowColumnLimit = 1000;  // rows grow past 90 before a second column comes
    EXPECT_EQ(messageOf(200, o), kPdf417TooManyRows);
    EXPECT_EQ(messageOf(929, Pdf417Options{}), kPdf417TooManyCodewords);
    o = {};
    o.rows = 90;
    o.columns = 30;  // 2700 cells for 10 codewords
    EXPECT_EQ(messageOf(10, o), kPdf417TooManyCodewords);
    EXPECT_EQ(messageOf(850, Pdf417Options{}), QString());
    o = {};
    o.rows = 50;  // 19 columns are needed, 950 cells
    EXPECT_EQ(messageOf(927, o), kPdf417TooManyCodewords);
}

TEST(Pdf417, ContentNearTheCodewordLimitTakesAShapeWithinIt)
{
    // 1,033 bytes: 863 data codewords and 64 check words. Growing rows and columns
    // passes from 52 x 17 (884) to 52 x 18 (936); 32 x 29 (928) holds them.
    int rows = 0, columns = 0;
    Pdf417ChooseSize(927, Pdf417Options{}, rows, columns);
    EXPECT_EQ(rows, 32);
    EXPECT_EQ(columns, 29);

    auto impl = CreateBarcodeImpl(SymbologyPDF417);
    auto& s = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
    s.m_fModuleWidthX = 10.0f;
    s.m_nCodePage = CodePageSystem;
    s.m_crBackground = 0xFFFFFFFFu;
    QByteArray bytes = TestBytes(1033, 7);
    for (char& b : bytes)
        b = static_cast<char>(1 + (static_cast<uint8_t>(b) % 127));
    s.m_strContent = QString::fromLatin1(bytes);
    impl->Encode();
    impl->CalcSize();
    const auto& data = static_cast<const CBarcodeData_PDF417&>(*impl->GetData());
    EXPECT_EQ(data.m_nRows * data.m_nColumns, 928);
    EXPECT_EQ(DecodeWithZXing(RenderBarcode(*impl, 300, 2), ZXing::BarcodeFormat::PDF417).value_or("(nothing read)"),
              bytes);
}

TEST(Pdf417, EncoderFillsCodewordsPaddingAndIndicators)
{
    CBarcodeData_PDF417 s;
    EncodePdf417(QByteArray("1234567"), Pdf417Options{}, s);
    // Descriptor, 901, five group digits and one byte: 8 data codewords, level 2,
    // 16 codewords in a 7 x 3 matrix, so 5 pads.
    EXPECT_EQ(s.m_nECLevel, 2);
    EXPECT_EQ(s.m_nECCount, 8);
    EXPECT_EQ(s.m_nRows, 7);
    EXPECT_EQ(s.m_nColumns, 3);
    EXPECT_EQ(s.m_nPadCount, 5);
    EXPECT_EQ(s.m_arrDataCodewords.front(), 13);
    EXPECT_EQ(s.m_arrDataCodewords[1], 901);
    EXPECT_EQ(s.m_arrAllCodewords.size(), 21u);
    const int width = Pdf417MatrixWidth(s);
    EXPECT_EQ(width, s.m_nColumns + 4);
    for (int r = 0; r < s.m_nRows; ++r) {
        const auto* row = &s.m_arrPatternMatrix[static_cast<size_t>(r * width)];
        EXPECT_EQ(row[0], kPdf417StartPattern);
        EXPECT_EQ(row[width - 1], kPdf417StopPattern);
        EXPECT_EQ(s.m_arrCodewordMatrix[static_cast<size_t>(r * width + 1)],
                  Pdf417LeftIndicator(r, s.m_nRows, s.m_nColumns, s.m_nECLevel));
    }
    // Row 0 of 4 rows, 4 columns, level 2: left 0 + 3/3 = 1, right 4 - 1 = 3; row 1: 6 + 0, 1.
    EXPECT_EQ(Pdf417LeftIndicator(0, 4, 4, 2), 1);
    EXPECT_EQ(Pdf417RightIndicator(0, 4, 4, 2), 3);
    EXPECT_EQ(Pdf417LeftIndicator(1, 4, 4, 2), 6);
    EXPECT_EQ(Pdf417RightIndicator(1, 4, 4, 2), 1);
    EXPECT_EQ(Pdf417LeftIndicator(2, 4, 4, 2), 3);
    EXPECT_EQ(Pdf417RightIndicator(2, 4, 4, 2), 6);
    EXPECT_EQ(Pdf417LeftIndicator(3, 4, 4, 2), 31);

    Pdf417Options fixed;
    fixed.errorLevel = 0;
    fixed.columns = 3;
    fixed.rows = 5;
    EncodePdf417(QByteArray("ab"), fixed, s);
    EXPECT_EQ(s.m_nPadCount, 15 - 2 - 4);
    EXPECT_EQ(s.m_arrDataAndPad.front(), 13);
    EXPECT_EQ(s.m_arrDataAndPad.back(), 900);

    Pdf417Options truncated;
    truncated.truncated = true;
    EncodePdf417(QByteArray("ab"), truncated, s);
    EXPECT_EQ(Pdf417MatrixWidth(s), s.m_nColumns + 3);
    EXPECT_EQ(s.m_arrPatternMatrix[static_cast<size_t>(Pdf417MatrixWidth(s) - 1)], kPdf417TruncatedStop);
}

TEST(Pdf417, BadLevelThrowsAndKeepsWhatWasComputed)
{
    auto impl = CreateBarcodeImpl(SymbologyPDF417);
    auto& settings = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
    settings.m_strContent = QStringLiteral("abc");
    impl->Encode();
    settings.m_nECLevel = 10;
    try {
        impl->Encode();
        FAIL() << "no throw";
    } catch (const CBarcodeException& e) {
        EXPECT_EQ(e.GetMessage(), kPdf417BadLevel);
    }
    const auto& data = static_cast<const CBarcodeData_PDF417&>(*impl->GetData());
    EXPECT_EQ(data.m_arrDataCodewords.size(), 5u);
    EXPECT_EQ(data.m_nRows, 0);
    EXPECT_TRUE(data.m_arrAllCodewords.empty());
    EXPECT_EQ(data.m_strText, QStringLiteral("abc"));
}

TEST(Pdf417, SizeFollowsModulesRowsAndQuietZoneNotTheRequest)
{
    auto impl = CreateBarcodeImpl(SymbologyPDF417);
    auto& s = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
    s.m_nColumns = 3;  // 17 codewords of "12345678" fit in 6 x 3
    s.m_nRows = 6;
    s.m_fQuietZone = 1.0f;
    s.m_nRowHeightRatio = 0;  // counts as 3
    impl->Encode();
    // A box read from a label file stays until the size is asked for.
    EXPECT_EQ(s.m_fWidth, 60.0f);
    impl->CalcSize();
    const float module = 14.0f * 0.0254f;
    EXPECT_FLOAT_EQ(s.m_fWidth, (3 * 17 + 69) * module + 2.0f);
    EXPECT_FLOAT_EQ(s.m_fHeight, 6 * module * 3 + 2.0f);
    const float fullWidth = s.m_fWidth;
    impl->Resize(100.0f, 100.0f);
    EXPECT_FLOAT_EQ(s.m_fWidth, fullWidth);
    EXPECT_FLOAT_EQ(s.m_fHeight, 6 * module * 3 + 2.0f);
    s.m_bTruncated = true;
    impl->Encode();
    impl->CalcSize();
    EXPECT_FLOAT_EQ(fullWidth - s.m_fWidth, 34 * module);
}

TEST(Pdf417, CodePageDecidesTheBytes)
{
    auto impl = CreateBarcodeImpl(SymbologyPDF417);
    auto& s = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
    const auto& data = static_cast<const CBarcodeData_PDF417&>(*impl->GetData());
    s.m_strContent = QStringLiteral("中文");
    impl->Encode();  // UTF-8 by default: six bytes, latch 924
    EXPECT_EQ(data.m_arrDataCodewords.size(), 7u);
    EXPECT_EQ(data.m_arrDataCodewords[1], 924);
    s.m_nCodePage = CodePageGBK;
    impl->Encode();  // four bytes
    impl->CalcSize();
    EXPECT_EQ(data.m_arrDataCodewords, (std::vector<int32_t>{data.m_arrDataCodewords[0], 901, 0xd6, 0xd0, 0xce, 0xc4}));
    const std::optional<QByteArray> read = DecodeWithZXing(RenderBarcode(*impl, 300, 2), ZXing::BarcodeFormat::PDF417);
    EXPECT_EQ(read.value_or("(nothing read)"), QByteArray("\xd6\xd0\xce\xc4"));
}

TEST(Pdf417, EveryCodewordPatternHasFourBarsOfSeventeenModules)
{
    EXPECT_EQ(kPdf417Clusters[0][0], 31111136u);
    for (int cluster = 0; cluster < 3; ++cluster) {
        std::set<uint32_t> seen;
        for (const uint32_t p : kPdf417Clusters[static_cast<size_t>(cluster)]) {
            const QByteArray d = QByteArray::number(p);
            ASSERT_EQ(d.size(), 8);
            int sum = 0;
            for (const char c : d)
                sum += c - '0';
            EXPECT_EQ(sum, 17);
            EXPECT_EQ((d[0] - d[2] + d[4] - d[6] + 9) % 9, 3 * cluster) << p;
            seen.insert(p);
        }
        EXPECT_EQ(seen.size(), 929u);
    }
}

TEST(Pdf417, ZXingReadsFullAndTruncatedSymbolsOverASweep)
{
    auto impl = CreateBarcodeImpl(SymbologyPDF417);
    auto& s = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
    s.m_fModuleWidthX = 10.0f;  // 3 pixels at 300 dpi
    s.m_nCodePage = CodePageSystem;
    s.m_crBackground = 0xFFFFFFFFu;
    int decoded = 0;
    for (const int length : {1, 5, 6, 7, 12, 31, 100, 250, 700}) {
        for (const int level : {0, 2, 5, 9}) {
            for (const int columns : {0, 1, 4, 13}) {
                for (const bool truncated : {false, true}) {
                    // Bytes below 0x80 are one UTF-8 byte each.
                    QByteArray bytes = TestBytes(length, length * 31 + level);
                    for (char& b : bytes)
                        b = static_cast<char>(1 + (static_cast<uint8_t>(b) % 127));
                    s.m_strContent = QString::fromLatin1(bytes);
                    s.m_nECLevel = level;
                    s.m_nColumns = columns;
                    s.m_bTruncated = truncated;
                    const auto& data = static_cast<const CBarcodeData_PDF417&>(*impl->GetData());
                    try {
                        impl->Encode();
                        impl->CalcSize();
                    } catch (const CBarcodeException& e) {
                        // Only fixed columns too few for 90 rows may fail.
                        EXPECT_EQ(e.GetMessage(), kPdf417TooManyRows);
                        EXPECT_GT(data.m_arrDataCodewords.size() + data.m_nECCount, 90u * columns);
                        continue;
                    }
                    const std::optional<QByteArray> read =
                        DecodeWithZXing(RenderBarcode(*impl, 300, 2), ZXing::BarcodeFormat::PDF417);
                    EXPECT_EQ(read.value_or("(nothing read)"), bytes) << "length " << length << " level " << level
                                                                       << " columns " << columns << " truncated " << truncated;
                    ++decoded;
                }
            }
        }
    }
    EXPECT_GT(decoded, 230);
}

TEST(Pdf417, RotatedSymbolTurnsAboutItsAnchorAndStillReads)
{
    auto impl = CreateBarcodeImpl(SymbologyPDF417);
    auto& s = static_cast<CBarcodeSettings_PDF417&>(*impl->GetSettings());
    s.m_fModuleWidthX = 10.0f;
    s.m_strContent = QStringLiteral("Vellum 417");
    impl->Encode();
    impl->CalcSize();
    const float w = s.m_fWidth, h = s.m_fHeight;
    // Turned by 180 degrees about its centre, the symbol covers the same box.
    s.m_fAngle = 180.0f;
    s.m_nAnchor = 8;
    const QImage image = RenderBarcode(*impl, 300, 3);
    EXPECT_TRUE(IsDarkAt(image, 3 + w - 0.1, 3 + h / 2, 300));  // start bars now at the right
    EXPECT_FALSE(IsDarkAt(image, 1.5, 3 + h / 2, 300));
    EXPECT_EQ(DecodeWithZXing(image.mirrored(true, true), ZXing::BarcodeFormat::PDF417).value_or("(nothing)"),
              QByteArray("Vellum 417"));
}
