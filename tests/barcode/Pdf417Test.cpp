#include "Barcode2DSupport.h"
#include "TestSupport.h"
#include "barcode/CodePage.h"
#include "barcode/Pdf417Encoder.h"
#include "platform/VXException.h"

#include <QPainter>
#include <set>
#include <gtest/gtest.h>

namespace {

// The pattern matrix as pixels: `scale` pixels a module, rows `ratio` modules high,
// a quiet zone of `quiet` modules on every side.
QImage RenderPatterns(const Pdf417Symbol& s, int scale, int ratio, int quiet)
{
    int modules = 0;
    for (int c = 0; c < s.matrixWidth; ++c)
        for (const char d : QByteArray::number(s.patternMatrix[static_cast<size_t>(c)]))
            modules += d - '0';
    QImage image((modules + 2 * quiet) * scale, (s.rows * ratio + 2 * quiet) * scale, QImage::Format_Grayscale8);
    image.fill(255);
    QPainter p(&image);
    for (int r = 0; r < s.rows; ++r) {
        int x = quiet;
        for (int c = 0; c < s.matrixWidth; ++c) {
            const QByteArray digits = QByteArray::number(s.patternMatrix[static_cast<size_t>(r * s.matrixWidth + c)]);
            for (int i = 0; i < digits.size(); ++i) {
                const int w = digits[i] - '0';
                if (i % 2 == 0)
                    p.fillRect(x * scale, (quiet + r * ratio) * scale, w * scale, ratio * scale, Qt::black);
                x += w;
            }
        }
    }
    return image;
}

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
}

TEST(Pdf417, EncoderFillsCodewordsPaddingAndIndicators)
{
    Pdf417Symbol s;
    EncodePdf417(QByteArray("1234567"), Pdf417Options{}, s);
    // Descriptor, 901, five group digits and one byte: 8 data codewords, level 2,
    // 16 codewords in a 7 x 3 matrix, so 5 pads.
    EXPECT_EQ(s.errorLevel, 2);
    EXPECT_EQ(s.errorCount, 8);
    EXPECT_EQ(s.rows, 7);
    EXPECT_EQ(s.columns, 3);
    EXPECT_EQ(s.padCount, 5);
    EXPECT_EQ(s.dataCodewords.front(), 13);
    EXPECT_EQ(s.dataCodewords[1], 901);
    EXPECT_EQ(s.allCodewords.size(), 21u);
    EXPECT_EQ(s.matrixWidth, s.columns + 4);
    for (int r = 0; r < s.rows; ++r) {
        EXPECT_EQ(s.patternMatrix[static_cast<size_t>(r * s.matrixWidth)], kPdf417StartPattern);
        EXPECT_EQ(s.patternMatrix[static_cast<size_t>(r * s.matrixWidth + s.matrixWidth - 1)], kPdf417StopPattern);
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
    EXPECT_EQ(s.padCount, 15 - 2 - 4);
    EXPECT_EQ(s.dataAndPad.front(), 13);
    EXPECT_EQ(s.dataAndPad.back(), 900);

    Pdf417Options truncated;
    truncated.truncated = true;
    EncodePdf417(QByteArray("ab"), truncated, s);
    EXPECT_EQ(s.matrixWidth, s.columns + 3);
    EXPECT_EQ(s.patternMatrix[static_cast<size_t>(s.matrixWidth - 1)], kPdf417TruncatedStop);
}

TEST(Pdf417, BadLevelThrowsAndKeepsWhatWasComputed)
{
    Pdf417Options o;
    o.errorLevel = 10;
    Pdf417Symbol s;
    try {
        EncodePdf417(QByteArray("abc"), o, s);
        FAIL() << "no throw";
    } catch (const CBarcodeException& e) {
        EXPECT_EQ(e.GetMessage(), kPdf417BadLevel);
    }
    EXPECT_EQ(s.dataCodewords.size(), 5u);
    EXPECT_TRUE(s.allCodewords.empty());
}

TEST(Pdf417, EveryCodewordPatternHasFourBarsOfSeventeenModules)
{
    extern const std::array<std::array<uint32_t, 929>, 3> kPdf417Clusters;
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
    int decoded = 0;
    for (const int length : {1, 5, 6, 7, 12, 31, 100, 250, 700}) {
        for (const int level : {0, 2, 5, 9}) {
            for (const int columns : {0, 1, 4, 13}) {
                for (const bool truncated : {false, true}) {
                    Pdf417Options o;
                    o.errorLevel = level;
                    o.columns = columns;
                    o.truncated = truncated;
                    const QByteArray bytes = TestBytes(length, length * 31 + level);
                    Pdf417Symbol s;
                    try {
                        EncodePdf417(bytes, o, s);
                    } catch (const CBarcodeException& e) {
                        // Only fixed columns too few for 90 rows may fail.
                        EXPECT_EQ(e.GetMessage(), kPdf417TooManyRows);
                        EXPECT_GT(s.dataCodewords.size() + s.errorCount, 90u * columns);
                        continue;
                    }
                    const QImage image = RenderPatterns(s, 2, 3, 4);
                    const std::optional<QByteArray> read = DecodeWithZXing(image, ZXing::BarcodeFormat::PDF417);
                    EXPECT_EQ(read.value_or("(nothing read)"), bytes) << "length " << length << " level " << level << " columns "
                                           << columns << " truncated " << truncated;
                    ++decoded;
                }
            }
        }
    }
    EXPECT_GT(decoded, 250);
}
