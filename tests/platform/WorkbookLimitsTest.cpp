// Sheets that reach past the grid of their format, leave long runs of empty rows
// or list their rows out of order.
#include "PeakMemory.h"
#include "WorkbookFixtures.h"
#include "platform/InputLimits.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QtEndian>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace {

QByteArray Cell(const char* reference, const char* text)
{
    return QByteArray(R"(<c r=")") + reference + R"(" t="inlineStr"><is><t>)" + text + "</t></is></c>";
}

QByteArray Row(const char* number, const QByteArray& cells)
{
    return QByteArray(R"(<row r=")") + number + R"(">)" + cells + "</row>";
}

} // namespace

TEST(WorkbookLimits, CellsBeyondTheXlsxGridAreAClearError)
{
    struct Case
    {
        const char* what;
        QByteArray sheet;
    };
    const Case cases[] = {
        {"row 2000000000", Row("1", Cell("A1", "a")) + Row("2000000000", Cell("A2000000000", "b"))},
        {"row 1048577", Row("1048577", Cell("A1048577", "b"))},
        {"a row number of forty digits", Row("1", Cell("A1", "a")) + Row("1234567890123456789012345678901234567890", "")},
        {"column XFE", Row("1", Cell("XFE1", "b"))},
        {"a cell past XFD without reference", Row("1", Cell("XFD1", "a") + R"(<c t="inlineStr"><is><t>b</t></is></c>)")},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const QString path = dir.filePath("limits.xlsx");
        ASSERT_TRUE(WriteXlsxSheet(path, c.sheet)) << c.what;
        auto db = DbConnection::OpenExcel(path, false);
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        EXPECT_FALSE(db->Query("select * from [S$]", rows)) << c.what;
        EXPECT_TRUE(db->LastError().contains(QStringLiteral("超出了其工作簿格式的 1048576 行、16384 列"))) << c.what << ": "
                                                                                          << db->LastError().toStdString();
    }
}

TEST(WorkbookLimits, RowsUpToTheLastOfTheGridReadWithTheEmptyRowsBetween)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("gap.xlsx");
    ASSERT_TRUE(WriteXlsxSheet(path, Row("1", Cell("A1", "Id")) + Row("3", Cell("B3", "x"))
                                         + Row("1048576", Cell("A1048576", "end"))));
    auto db = DbConnection::OpenExcel(path, true);
    DbRows rows;
    ASSERT_TRUE(db->Query("select count(*), count(Id) from [S$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList{"1048575", "1"}));
    ASSERT_TRUE(db->Query("select Id, F2 from [S$]", rows, 0, 2));
    EXPECT_TRUE(rows.IsNull(0, 0) && rows.IsNull(0, 1)); // row 2 is empty
    EXPECT_EQ(rows.Row(1), (QStringList{"", "x"}));
    ASSERT_TRUE(db->Query("select Id from [S$]", rows, 1048574, 1));
    EXPECT_EQ(rows.Row(0), QStringList{"end"});

    // The last column is inside the grid.
    ASSERT_TRUE(WriteXlsxSheet(path, Row("1", Cell("XFD1", "last"))));
    db = DbConnection::OpenExcel(path, false);
    ASSERT_TRUE(db->Query("select * from [S$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), QStringList{"last"});
}

TEST(WorkbookLimits, RowsOutOfOrderAreReadInSheetOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("order.xlsx");
    ASSERT_TRUE(WriteXlsxSheet(path, Row("4", Cell("B4", "d") + Cell("A4", "c")) + Row("1", Cell("A1", "a"))
                                         + Row("2", Cell("B2", "b"))));
    auto db = DbConnection::OpenExcel(path, false);
    DbRows rows;
    ASSERT_TRUE(db->Query("select * from [S$]", rows)) << db->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 4);
    EXPECT_EQ(rows.Row(0), (QStringList{"a", ""}));
    EXPECT_EQ(rows.Row(1), (QStringList{"", "b"}));
    EXPECT_TRUE(rows.IsNull(2, 0) && rows.IsNull(2, 1));
    EXPECT_EQ(rows.Row(3), (QStringList{"c", "d"}));
}

TEST(WorkbookLimits, RunningOutOfMemoryIsTheConnectionsFailure)
{
    VC_SKIP_UNDER_ASAN();
    QTemporaryDir dir;
    const QString path = dir.filePath("big.xlsx");
    // 48 cells of a megabyte, each within the cell limit, in rows from the last to the first:
    // they are held together to be sorted, which is more than is left.
    QByteArray cells;
    const QByteArray text(1000000, 'x');
    for (int i = 48; i >= 1; --i)
        cells += Row(QByteArray::number(i).constData(), Cell(QByteArray("A" + QByteArray::number(i)).constData(), text.constData()));
    ASSERT_TRUE(WriteXlsxSheet(path, cells));
    EXPECT_EXIT(RunWithLittleMemory(32 << 20,
                    [&] {
                        auto db = DbConnection::OpenExcel(path, false);
                        DbRows rows;
                        return db->IsOpen() && !db->Query("select * from [S$]", rows)
                            && db->LastError() == QStringLiteral("工作表 S$ 太大，无法读入内存。");
                    }),
        ::testing::ExitedWithCode(0), "");
}

// Workbooks of a few megabytes or less that inflate into gigabytes of strings or
// of nesting: each is refused with its own message, within a few hundred megabytes
// (more than that would end the program before any allocation failed).
TEST(WorkbookLimits, SharedStringBombsAreRefusedWithinBoundedMemory)
{
    VC_SKIP_UNDER_ASAN();
    QTemporaryDir dir;
    const QByteArray sheet = Row("1", R"(<c r="A1" t="s"><v>0</v></c>)");
    QByteArray deep = "<sst><si>";
    for (int i = 0; i < 20000000; ++i)
        deep += "<a>";
    QByteArray many = "<sst>";
    for (int i = 0; i < kMaxSharedStrings + 1000; ++i)
        many += "<si><t>a</t></si>";
    many += "</sst>";
    struct Case
    {
        const char* name;
        QByteArray strings;
        QString error;
    };
    const QString deepPath = dir.filePath("deep.xlsx");
    const Case cases[] = {
        {"deep.xlsx", deep, QStringLiteral("XML 元素嵌套超过 256 层")},
        {"long.xlsx", "<sst><si><t>" + QByteArray(8 << 20, 'x') + "</t></si></sst>",
         QStringLiteral("有单元格的文字长于 1048576 字节")},
        {"huge.xlsx", "<sst><si><t>" + QByteArray(300 << 20, 'x') + "</t></si></sst>",
         QStringLiteral("解压后大于 256 MB")},
        {"many.xlsx", many, QStringLiteral("的共享字符串多于 4194304 个")},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(WriteXlsxSheet(path, sheet, c.strings)) << c.name;
        EXPECT_LT(QFileInfo(path).size(), 4 << 20) << c.name;
        EXPECT_EXIT(RunWithLittleMemory(qint64(384) << 20,
                        [&] {
                            auto db = DbConnection::OpenExcel(path, false);
                            if (db->IsOpen() || !db->LastError().contains(c.error)) {
                                std::fprintf(stderr, "%s\n", qUtf8Printable(db->LastError()));
                                return false;
                            }
                            return db->LastError().contains(path);
                        }),
            ::testing::ExitedWithCode(0), "")
            << c.name;
    }
    // Cells and nesting within the limits still read.
    const QString fine = dir.filePath("fine.xlsx");
    ASSERT_TRUE(WriteXlsxSheet(fine, sheet, "<sst><si><r><t>" + QByteArray(1000000, 'y') + "</t></r></si></sst>"));
    auto db = DbConnection::OpenExcel(fine, false);
    DbRows rows;
    ASSERT_TRUE(db->Query("select * from [S$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0).size(), 1000000);
}

namespace {

// A column's letters, 0 being A.
QByteArray ColumnLetters(int column)
{
    QByteArray letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(char('A' + (c - 1) % 26));
    return letters;
}

// A cell naming shared string 0.
QByteArray SharedCell(int row, int column)
{
    return R"(<c r=")" + ColumnLetters(column) + QByteArray::number(row) + R"(" t="s"><v>0</v></c>)";
}

// A sheet of rows (in the given order) of `columns` cells, each naming shared string 0.
QByteArray SharedStringSheet(const std::vector<int>& rows, int columns)
{
    QByteArray sheet;
    for (const int row : rows) {
        QByteArray cells;
        for (int c = 0; c < columns; ++c)
            cells += SharedCell(row, c);
        sheet += Row(QByteArray::number(row).constData(), cells);
    }
    return sheet;
}

std::vector<int> RowNumbers(int first, int last)
{
    std::vector<int> rows;
    for (int row = first; first <= last ? row <= last : row >= last; row += first <= last ? 1 : -1)
        rows.push_back(row);
    return rows;
}

QByteArray OneSharedString(qsizetype bytes)
{
    return "<sst><si><t>" + QByteArray(bytes, 's') + "</t></si></sst>";
}

// Tests that lower the database limits put them back.
class WorkbookStaging : public ::testing::Test
{
protected:
    void TearDown() override { SetDbLimits(saved); }
    void LimitTemporaryStorage(qint64 bytes)
    {
        DbLimits limits = saved;
        limits.tempBytes = bytes;
        SetDbLimits(limits);
    }
    QString Write(const char* name, const QByteArray& sheet, const QByteArray& strings = {})
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(WriteXlsxSheet(path, sheet, strings)) << name;
        return path;
    }

    const DbLimits saved = GetDbLimits();
    QTemporaryDir dir;
};

} // namespace

// A workbook of a few kilobytes whose thousands of cells all name one shared string
// of a megabyte expands to gigabytes: it is refused, naming the workbook, as soon as
// its text passes what the staged copies may hold, and memory stays bounded.
TEST_F(WorkbookStaging, OneLongSharedStringInThousandsOfCellsIsRefusedWithinBoundedMemory)
{
    VC_SKIP_UNDER_ASAN();
    const struct
    {
        const char* name;
        QByteArray sheet;
    } cases[] = {
        {"column.xlsx", SharedStringSheet(RowNumbers(1, 3000), 1)},
        {"block.xlsx", SharedStringSheet(RowNumbers(1, 30), 100)},
    };
    for (const auto& c : cases) {
        const QString path = Write(c.name, c.sheet, OneSharedString(1000000));
        EXPECT_LT(QFileInfo(path).size(), 64 << 10) << c.name;
        EXPECT_EXIT(RunWithinPeakMemory(qint64(100) << 20, qint64(1) << 30,
                        [&] {
                            QElapsedTimer timer;
                            timer.start();
                            auto db = DbConnection::OpenExcel(path, false);
                            DbRows rows;
                            const bool refused = db->IsOpen() && !db->Query("select count(*) from [S$]", rows);
                            std::fprintf(stderr, "%s in %lld ms\n", qUtf8Printable(db->LastError()),
                                static_cast<long long>(timer.elapsed()));
                            return refused && timer.elapsed() < kHungAfterMs
                                && db->LastError()
                                == QStringLiteral("工作簿“%1”的工作表 S$ 展开后的文字多于临时存储 512 MB 的上限，无法读取。")
                                       .arg(path);
                        }),
            ::testing::ExitedWithCode(0), "")
            << c.name;
    }
}

// The staged copy is a temporary file: a sheet of 150 MB of text (one shared string
// of a megabyte in each row) reads whole, its rows in order, while the program's
// memory grows by a fraction of it.
TEST_F(WorkbookStaging, ACopyOfHundredsOfMegabytesStaysOutOfMemory)
{
    VC_SKIP_UNDER_ASAN();
    QByteArray sheet;
    for (int row = 1; row <= 150; ++row) {
        const QByteArray n = QByteArray::number(row);
        sheet += Row(n.constData(), SharedCell(row, 0) + R"(<c r="B)" + n + R"("><v>)" + n + ".5</v></c>");
    }
    const QString path = Write("large.xlsx", sheet, OneSharedString(1000000));
    EXPECT_EXIT(RunWithinPeakMemory(qint64(64) << 20, qint64(1) << 30,
                    [&] {
                        auto db = DbConnection::OpenExcel(path, false);
                        DbRows rows;
                        if (!db->Query("select count(*), sum(length(F1)), sum(F2), max(F2) from [S$]", rows)) {
                            std::fprintf(stderr, "%s\n", qUtf8Printable(db->LastError()));
                            return false;
                        }
                        std::fprintf(stderr, "%s\n", qUtf8Printable(rows.Row(0).join(u' ')));
                        return rows.Row(0) == QStringList({"150", "150000000", "11400.0", "150.5"});
                    }),
        ::testing::ExitedWithCode(0), "");
}

// Past a lowered cap: a sheet of a million rows, empty but for the first and the last,
// is refused as its copy grows past it, one of text before any of it is copied; what
// the refused copy held is given back.
TEST_F(WorkbookStaging, ACopyPastTheCapIsRefusedNamingTheWorkbook)
{
    const QByteArray numbers = Row("1", Cell("A1", "Low") + Cell("B1", "High"))
        + R"(<row r="2"><c r="A2"><v>2.25</v></c><c r="B2"><v>2.75</v></c></row>)"
        + R"(<row r="1048576"><c r="A1048576"><v>1048576.25</v></c><c r="B1048576"><v>1048576.75</v></c></row>)";
    const QString numbersPath = Write("numbers.xlsx", numbers);
    const QString textPath = Write("text.xlsx", SharedStringSheet(RowNumbers(1, 3), 1), OneSharedString(400000));
    const QString smallPath = Write("small.xlsx", Row("1", Cell("A1", "Name")) + Row("2", Cell("A2", "北京")));

    LimitTemporaryStorage(1 << 20);
    auto db = DbConnection::OpenExcel(numbersPath, true);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(db->Query("select count(*) from [S$]", rows));
        EXPECT_EQ(db->LastError(), QStringLiteral("工作簿“%1”的表 S$ 的副本超过了临时存储 1 MB 的上限，无法读取。").arg(numbersPath));
    }
    auto text = DbConnection::OpenExcel(textPath, false);
    EXPECT_FALSE(text->Query("select * from [S$]", rows));
    EXPECT_EQ(text->LastError(),
        QStringLiteral("工作簿“%1”的工作表 S$ 展开后的文字多于临时存储 1 MB 的上限，无法读取。").arg(textPath));

    // The refused copy's storage is counted off: a small sheet stages beside it.
    auto small = DbConnection::OpenExcel(smallPath, true);
    ASSERT_TRUE(small->Query("select Name from [S$]", rows)) << small->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), QStringList {QStringLiteral("北京")});

    // Under the usual cap the same sheets stage, with numbers that sort as numbers and
    // Jet's top translated.
    SetDbLimits(saved);
    ASSERT_TRUE(db->Query("select top 2 Low, High from [S$] order by Low desc", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"1048576.25", "1048576.75"}));
    EXPECT_EQ(rows.Row(1), (QStringList {"2.25", "2.75"}));
    ASSERT_TRUE(db->Query("select count(*), count(Low), typeof(max(High)) from [S$]", rows));
    EXPECT_EQ(rows.Row(0), (QStringList {"1048575", "2", "real"}));
    ASSERT_TRUE(text->Query("select length(F1) from [S$]", rows)) << text->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Value(2, 0), "400000");
}

// A row is bound whole before it is stored, so its text is bounded; a sheet whose
// rows come out of order is held whole to be sorted, so it is bounded too. Rows and
// sheets within the bounds read.
TEST_F(WorkbookStaging, LongRowsAndLargeSheetsOutOfOrderAreRefusedWithinTheirBounds)
{
    const QByteArray string = OneSharedString(1000000);
    const QString wide = Write("wide.xlsx", SharedStringSheet({1}, 70), string);
    auto db = DbConnection::OpenExcel(wide, false);
    DbRows rows;
    EXPECT_FALSE(db->Query("select count(*) from [S$]", rows));
    EXPECT_EQ(db->LastError(), QStringLiteral("工作簿“%1”的工作表 S$ 第 1 行的文字多于 64 MB，无法读取。").arg(wide));

    const QString shuffled = Write("shuffled.xlsx", SharedStringSheet(RowNumbers(70, 1), 1), string);
    db = DbConnection::OpenExcel(shuffled, false);
    EXPECT_FALSE(db->Query("select count(*) from [S$]", rows));
    EXPECT_EQ(db->LastError(),
        QStringLiteral("工作簿“%1”的工作表 S$ 的行不按次序排列，且多于 64 MB，无法读取。").arg(shuffled));

    const QString fits = Write("fits.xlsx", SharedStringSheet({2}, 60), string);
    db = DbConnection::OpenExcel(fits, false);
    ASSERT_TRUE(db->Query("select count(*), length(F1), length(F60) from [S$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"1", "1000000", "1000000"}));
    const QString fewShuffled = Write("few-shuffled.xlsx", SharedStringSheet(RowNumbers(50, 3), 1), string);
    db = DbConnection::OpenExcel(fewShuffled, false);
    ASSERT_TRUE(db->Query("select count(*), sum(length(F1)) from [S$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"48", "48000000"}));
}

// The rows a statement on a workbook's copy keeps in one call are bounded as a server's
// are: past the bound the call is refused with our message, complete in itself.
TEST_F(WorkbookStaging, RowsOfOneCallPastTheSliceBoundAreRefused)
{
    const QString path = Write("slices.xlsx", SharedStringSheet(RowNumbers(1, 3), 1), OneSharedString(1000000));
    DbLimits limits = saved;
    limits.sliceBytes = qint64(2) << 20;
    SetDbLimits(limits);
    auto db = DbConnection::OpenExcel(path, false);
    DbRows rows;
    EXPECT_FALSE(db->Query("select F1 from [S$]", rows));
    EXPECT_TRUE(db->Stopped());
    EXPECT_EQ(db->LastError(), QStringLiteral("数据源“slices.xlsx”一次读取的记录超过了 2 MB 的上限，没有读取。"));
    EXPECT_EQ(rows.RowCount(), 0);
    ASSERT_TRUE(db->Query("select F1 from [S$]", rows, 0, 2)) << db->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 2);
    EXPECT_FALSE(db->Stopped());
}

// A workbook of a few megabytes whose sheet part is tens of megabytes of XML: the part is
// inflated and read a piece at a time, so the preview's memory grows by a fraction of the
// part, however large it is, and every row reads right.
TEST_F(WorkbookStaging, ALargeSheetPartIsReadInPiecesWithinBoundedMemory)
{
    VC_SKIP_UNDER_ASAN();
    constexpr int kRows = 75000;
    const QByteArray pad(640, 'p');
    QString path;
    qsizetype partBytes = 0;
    {
        QByteArray sheet;
        sheet.reserve(qsizetype(kRows) * 800);
        sheet += Row("1", Cell("A1", "Id") + Cell("B1", "Name") + Cell("C1", "Kind") + Cell("D1", "Price"));
        for (int row = 2; row <= kRows + 1; ++row) {
            const QByteArray n = QByteArray::number(row);
            sheet += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c><c r=\"B" + n
                + "\" t=\"inlineStr\"><is><t>" + n + ' ' + pad + "</t></is></c><c r=\"C" + n + "\" t=\"s\"><v>"
                + QByteArray::number(row % 3) + "</v></c><c r=\"D" + n + "\"><v>" + n + ".25</v></c></row>";
        }
        partBytes = sheet.size();
        path = Write("tall.xlsx", sheet, "<sst><si><t>甲</t></si><si><t>乙</t></si><si><t>丙</t></si></sst>");
    }
    EXPECT_GT(partBytes, qsizetype(56) << 20);
    EXPECT_LT(QFileInfo(path).size(), partBytes / 15);
    EXPECT_EXIT(RunWithinPeakMemory(qint64(partBytes) / 4, qint64(2) << 30,
                    [&] {
                        auto db = DbConnection::OpenExcel(path, true);
                        DbRows rows;
                        if (!db->Query("select count(*), sum(Id), sum(length(Name)), sum(Price), "
                                       "sum(Kind = '乙') from [S$]",
                                rows)) {
                            std::fprintf(stderr, "%s\n", qUtf8Printable(db->LastError()));
                            return false;
                        }
                        const QStringList totals = rows.Row(0);
                        if (!db->Query("select Id, Name, Kind, Price from [S$] where Id in (3, 75001)", rows))
                            return false;
                        std::fprintf(stderr, "%s\n", qUtf8Printable(totals.join(u' ')));
                        const QString last = QStringLiteral("75001 ") + QString(640, u'p');
                        return totals
                            == QStringList({"75000", "2812612500", "48438898", "2812631250.0", "25000"})
                            && rows.RowCount() == 2 && rows.Row(0)[2] == QStringLiteral("甲")
                            && rows.Row(1) == QStringList({"75001", last, QStringLiteral("乙"), "75001.25"});
                    }),
        ::testing::ExitedWithCode(0), "");
}

// An .xls reader sets aside every cell of each sheet's declared range as it opens the file:
// a few kilobytes whose sheets declare four whole grids would take a gigabyte. They are
// refused before the reader sees them, and so is a compound file that cannot be read; one
// whole grid, the most a sheet of the format holds, still reads.
TEST(WorkbookLimits, XlsSheetsDeclaringMoreThanOneGridAreRefusedBeforeTheyAreRead)
{
    QTemporaryDir dir;
    QString error;
    const QString four = dir.filePath("four.xls");
    ASSERT_TRUE(WriteXlsCorners(four, 4, error)) << error.toStdString();
    EXPECT_LT(QFileInfo(four).size(), 16 << 10);
    const QString refusal
        = QStringLiteral("工作簿“%1”的工作表共占 67108864 个单元格的范围，多于 16777216 个，无法读取。").arg(four);
    EXPECT_EQ(DbConnection::OpenExcel(four, false)->LastError(), refusal);
#if !defined(__SANITIZE_ADDRESS__) // address-space limits and the sanitizers exclude each other
    EXPECT_EXIT(RunWithinPeakMemory(qint64(32) << 20, qint64(2) << 30,
                    [&] { return DbConnection::OpenExcel(four, false)->LastError() == refusal; }),
        ::testing::ExitedWithCode(0), "");
#endif

    // Cut short, its directory and tables gone.
    QFile whole(four);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const QString cut = dir.filePath("cut.xls");
    QFile part(cut);
    ASSERT_TRUE(part.open(QIODevice::WriteOnly) && part.write(bytes.left(bytes.size() / 3)) > 0);
    part.close();
    EXPECT_EQ(DbConnection::OpenExcel(cut, false)->LastError(), QStringLiteral("Excel 工作簿“%1”已损坏。").arg(cut));

    const QString one = dir.filePath("one.xls");
    ASSERT_TRUE(WriteXlsCorners(one, 1, error)) << error.toStdString();
    auto db = DbConnection::OpenExcel(one, false);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select count(*), count(F1), min(F1) from [S0$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"65536", "1", "first"}));
}

namespace {

// What opening the workbook at path and reading its sheet S says.
QString RefusalOf(const QString& path)
{
    auto db = DbConnection::OpenExcel(path, false);
    DbRows rows;
    if (db->IsOpen())
        db->Query("select * from [S$]", rows);
    return db->LastError();
}

// The workbook at path is refused with `error`, as it opens or as its sheet S is read, in
// a child process whose memory grows by 32 MB at most at its peak (under
// AddressSanitizer, in this process with no bound).
void ExpectRefusedWithinBoundedMemory(const QString& path, const QString& error)
{
    const auto refused = [&] {
        const QString got = RefusalOf(path);
        if (got != error)
            std::fprintf(stderr, "%s\n", qUtf8Printable(got));
        return got == error;
    };
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_TRUE(refused()) << path.toStdString();
#else
    EXPECT_EXIT(RunWithinPeakMemory(qint64(32) << 20, qint64(2) << 30, refused), ::testing::ExitedWithCode(0), "")
        << path.toStdString();
#endif
}

// A compound file whose Workbook entry names a workbook in the mini stream (`named`,
// padded with zeros), while the mini stream itself starts with `first`, as long as the
// entry's size: the reader reads the workbook from there.
QByteArray XlsWithMiniStreamStart(const QByteArray& first, const QByteArray& named)
{
    const auto miniSectors = [](qsizetype bytes) { return quint32((bytes + 63) / 64); };
    const quint32 start = miniSectors(first.size());
    const quint32 count = miniSectors(std::max(first.size(), named.size()));
    QByteArray table(int(start) * 4, '\xFF');
    for (quint32 i = start; i < start + count; ++i) {
        const quint32 next = i + 1 < start + count ? i + 1 : 0xFFFFFFFE;
        table += QByteArray(reinterpret_cast<const char*>(&next), 4);
    }
    QByteArray container = first;
    container.resize(start * 64, '\0');
    container += named;
    container.resize((start + count) * 64, '\0');
    CompoundImage image;
    const quint32 mini = image.AddRun(container);
    const quint32 miniTable = image.AddRun(table);
    image.SetMiniTable(miniTable, 1);
    image.SetDirectory(image.AddRun(CompoundEntry(QStringLiteral("Root Entry"), 5, mini, quint32(container.size()))
        + CompoundEntry(QStringLiteral("Workbook"), 2, start, quint32(first.size()))));
    return image.Bytes();
}

} // namespace

// The .xls reader takes a DIMENSIONS record's fields where they lie whatever the record's
// length, sets aside every such record of a sheet, makes up a range for a sheet that
// declares none, and reads a workbook in the mini stream from the stream's start: each of
// these files of a few kilobytes would take a gigabyte, and is refused before the reader
// sees it, naming the file. Sheets of the same shapes within one grid still read.
TEST(WorkbookLimits, XlsRangesAreCountedAsTheirReaderSetsThemAside)
{
    const QByteArray wholeGrid16 = BiffDimensions(65536, 256, 16);
    const QByteArray lastCell = BiffNumber(65535, 255, 1);
    const QByteArray fourGrids = BiffWorkbook({wholeGrid16, wholeGrid16, wholeGrid16, wholeGrid16});
    const QByteArray small = BiffWorkbook({BiffDimensions(1, 1) + BiffNumber(0, 0, 7)});
    const struct
    {
        const char* name;
        QByteArray bytes;
        qint64 cells;
    } cases[] = {
        {"long-records.xls", XlsOfStream(fourGrids), 67108864},
        {"many-records.xls", XlsOfStream(BiffWorkbook({BiffDimensions(65536, 256) + BiffDimensions(65536, 256)
                                                      + BiffDimensions(65536, 256) + BiffDimensions(65536, 256)})),
         67108864},
        // Each sheet's range is made up from its last cell, and set aside for the last sheet.
        {"undeclared.xls", XlsOfStream(BiffWorkbook({lastCell, lastCell, lastCell, lastCell})), 3 * 65535 * 255 + 65536 * 256},
        {"mini-start.xls", XlsWithMiniStreamStart(BiffWorkbook({BiffDimensions(65536, 256), BiffDimensions(65536, 256),
                                                      BiffDimensions(65536, 256), BiffDimensions(65536, 256)}),
                               small),
         67108864},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        EXPECT_LT(c.bytes.size(), 8 << 10) << c.name;
        ExpectRefusedWithinBoundedMemory(path,
            QStringLiteral("工作簿“%1”的工作表共占 %2 个单元格的范围，多于 16777216 个，无法读取。").arg(path).arg(c.cells));
    }

    const QByteArray cells = BiffNumber(0, 0, 1.5) + BiffNumber(2, 1, 42);
    const struct
    {
        const char* name;
        QByteArray bytes;
    } fine[] = {
        {"long-record.xls", XlsOfStream(BiffWorkbook({BiffDimensions(3, 2, 16) + cells}))},
        {"undeclared-range.xls", XlsOfStream(BiffWorkbook({cells}))},
        {"mini.xls", XlsWithMiniStreamStart(BiffWorkbook({BiffDimensions(3, 2) + cells}), {})},
    };
    for (const auto& f : fine) {
        const QString path = dir.filePath(f.name);
        ASSERT_TRUE(WriteBytes(path, f.bytes));
        auto db = DbConnection::OpenExcel(path, false);
        DbRows rows;
        ASSERT_TRUE(db->Query("select * from [S0$]", rows)) << f.name << ": " << db->LastError().toStdString();
        ASSERT_EQ(rows.RowCount(), 3) << f.name;
        EXPECT_EQ(rows.Row(0), (QStringList {"1.5", ""})) << f.name;
        EXPECT_EQ(rows.Row(2), (QStringList {"", "42"})) << f.name;
    }
}

namespace {

QByteArray Le32Bytes(quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&le), 4);
}

// A LABEL record of text (one byte a character) that says it holds `characters`.
QByteArray BiffLabel(const QByteArray& text, quint16 characters)
{
    return BiffRecord(0x0204, QByteArray(6, '\0') + Le32Bytes(characters).left(2) + '\0' + text);
}

// 3,199 entries named Workbook share one mini stream whose chain runs through 61,440
// mini sectors, in a root stream chained through sectors the file does not hold.
QByteArray XlsOfEntriesSharingOneChain()
{
    CompoundImage image(12);
    const quint32 container = 1024;
    image.ChainAbsentSectors(container, 61440 * 64 / 4096);
    QByteArray table;
    for (quint32 i = 1; i <= 61440; ++i)
        table += Le32Bytes(i < 61440 ? i : 0xFFFFFFFE);
    image.SetMiniTable(image.AddRun(table), quint32(table.size() / 4096));
    QByteArray directory = CompoundEntry(QStringLiteral("Root Entry"), 5, container, 61440 * 64);
    for (int i = 0; i < 3199; ++i)
        directory += CompoundEntry(QStringLiteral("Workbook"), 2, 0, 4000);
    image.SetDirectory(image.AddRun(directory));
    return image.Bytes();
}

} // namespace

// Files whose reader would read past what they hold, copying out memory that follows a
// record (a name, a number format or a text that says it is longer), or whose tables only a reader that
// builds them again for each entry would take for sound: each is damaged, refused in a
// few megabytes. Texts within their records read.
TEST(WorkbookLimits, XlsFilesReadPastWhatTheyHoldAreDamaged)
{
    QByteArray labels = BiffDimensions(1, 1);
    for (int i = 0; i < 5000; ++i)
        labels += BiffLabel({}, 65535);
    QByteArray names = BiffRecord(0x0809, QByteArray("\x00\x06\x05\x00", 4) + QByteArray(12, '\0'))
        + BiffRecord(0x0085, QByteArray(6, '\0') + char(255) + '\0' + QByteArray(255, 'n'));
    for (int i = 0; i < 150000; ++i)
        names += BiffRecord(0x0085, {});
    const struct
    {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"texts.xls", XlsOfStream(BiffWorkbook({labels}))},
        {"format.xls", XlsOfStream(BiffWorkbook({BiffRecord(0x041E, QByteArray("\xA4\x00\xFF\xFF\x00", 5))}))},
        {"names.xls", XlsOfStream(names + BiffRecord(0x000A, {}))},
        {"shared-chain.xls", XlsOfEntriesSharingOneChain()},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        EXPECT_LT(c.bytes.size(), 700 << 10) << c.name;
        ExpectRefusedWithinBoundedMemory(path, QStringLiteral("Excel 工作簿“%1”已损坏。").arg(path));
    }

    const QString fine = dir.filePath("texts-within.xls");
    ASSERT_TRUE(WriteBytes(fine, XlsOfStream(BiffWorkbook({BiffDimensions(2, 1) + BiffLabel("abc", 3) + BiffNumber(1, 0, 2)}))));
    auto db = DbConnection::OpenExcel(fine, false);
    DbRows rows;
    ASSERT_TRUE(db->Query("select F1 from [S0$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 2);
    EXPECT_EQ(rows.Value(0, 0), "abc");
}

namespace {

QByteArray Utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// A shared string as the SST holds it: its count of characters, its options, the count of
// its formatting runs and the size of its phonetic data where the options say, then
// `bytes` (its characters, or those the record holds).
QByteArray SstString(quint16 characters, uchar options, const QByteArray& bytes, quint16 runs = 0, quint32 phonetic = 0)
{
    QByteArray string = Le32Bytes(characters).left(2) + char(options);
    if (options & 0x08)
        string += Le32Bytes(runs).left(2);
    if (options & 0x04)
        string += Le32Bytes(phonetic);
    return string + bytes;
}

// An .xls of one sheet S0 whose column A shows `cells` shared strings, 0 on, of an SST
// holding `strings` first and continued by each of `continues`.
QByteArray XlsOfSharedStrings(
    quint32 count, const QByteArray& strings, const std::vector<QByteArray>& continues, quint16 cells)
{
    QByteArray sheet = BiffDimensions(cells, 1) + BiffRecord(0x00FC, Le32Bytes(count) + Le32Bytes(count) + strings);
    for (const QByteArray& next : continues)
        sheet += BiffRecord(0x003C, next);
    for (quint16 i = 0; i < cells; ++i)
        sheet += BiffRecord(0x00FD, Le32Bytes(i).left(2) + QByteArray(4, '\0') + Le32Bytes(i));
    return XlsOfStream(BiffWorkbook({sheet}));
}

} // namespace

// The .xls reader walks the shared strings string by string over the SST and its CONTINUE
// records, moving on by the sizes each string states: where they lead it past a record,
// it copies out up to 128 KB after its buffer (or from 4 GB on), so such files are damaged.
// Strings of either width, rich, with phonetic data or split between records, even with
// their width changed in the CONTINUE, read as they are.
TEST(WorkbookLimits, XlsSharedStringsReadPastTheirRecordsAreDamaged)
{
    const struct
    {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        // The rest of a split string, 65,533 two-byte characters, from a CONTINUE of ten bytes.
        {"split-rest.xls", XlsOfSharedStrings(1, SstString(65535, 0x01, Utf16("ab")), {"\x01" + QByteArray(10, 'c')}, 1)},
        // Phonetic data said to reach 100,000 bytes on, past the next record too.
        {"phonetic-past.xls",
         XlsOfSharedStrings(2, SstString(1, 0x04, "a", 0, 100000), {QByteArray(20, 'd'), SstString(1, 0, "b")}, 2)},
        // A skip of almost 4 GB, which the reader's 32-bit test takes for one within the record.
        {"skip-turns-over.xls",
         XlsOfSharedStrings(2, SstString(1, 0x0C, "a", 0, 0xFFFFFFF0) + SstString(1, 0, "b"), {}, 2)},
        // Runs too many for the record the string ends in, and the CONTINUE after it.
        {"runs-past.xls",
         XlsOfSharedStrings(2, SstString(1, 0x08, "a", 4000), {QByteArray(8000, 'r'), SstString(1, 0, "b")}, 2)},
        {"count-at-end.xls", XlsOfSharedStrings(2, SstString(1, 0, "a") + '\x05', {}, 2)},
        {"short-sst.xls", XlsOfStream(BiffWorkbook({BiffRecord(0x00FC, Le32Bytes(1))}))},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        ExpectRefusedWithinBoundedMemory(path, QStringLiteral("Excel 工作簿“%1”已损坏。").arg(path));
    }

    const QByteArray runs = Le32Bytes(0x00010000) + Le32Bytes(0x00020002);
    const QByteArray shapes = XlsOfSharedStrings(8,
        SstString(5, 0x00, "plain") + SstString(2, 0x01, Utf16(QStringLiteral("中文"))) + SstString(4, 0x08, "rich", 2) + runs
            + SstString(3, 0x04, "ext", 0, 6) + QByteArray(6, 'p')
            + SstString(2, 0x0D, Utf16(QStringLiteral("富文")), 1, 4) + runs.left(4) + QByteArray(4, 'p')
            + SstString(8, 0x00, "split"),
        {"\x01" + Utf16(QStringLiteral("分开了")) + SstString(3, 0x08, "end", 2) + runs.left(4),
            runs.right(4) + SstString(4, 0x01, Utf16(QStringLiteral("最后一个")))},
        8);
    const QString shaped = dir.filePath("shapes.xls");
    ASSERT_TRUE(WriteBytes(shaped, shapes));
    auto db = DbConnection::OpenExcel(shaped, false);
    DbRows rows;
    ASSERT_TRUE(db->Query("select F1 from [S0$]", rows)) << db->LastError().toStdString();
    QStringList texts;
    for (int i = 0; i < rows.RowCount(); ++i)
        texts << rows.Value(i, 0);
    EXPECT_EQ(texts, (QStringList {"plain", "中文", "rich", "ext", "富文", "split分开了", "end", "最后一个"}));

    const QString many = dir.filePath("many.xls");
    QString error;
    ASSERT_TRUE(WriteXlsSharedStrings(many, 3000, error)) << error.toStdString();
    EXPECT_GT(QFileInfo(many).size(), 200 << 10);
    db = DbConnection::OpenExcel(many, false);
    ASSERT_TRUE(db->Query("select F1 from [S$]", rows)) << db->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 3000);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(rows.Value(i, 0), XlsSharedString(i)) << i;
}

// A workbook never declares a document type: one in any part is refused, naming the file
// and the part, before any entity of it is named (one of 4,000 characters named 60,000
// times in a cell of a 2 KB file would take a gigabyte). A cell's text is bounded as its
// pieces add up, not once it is whole. Parts with an XML declaration, comments, and
// predefined and character references read.
TEST(WorkbookLimits, DocumentTypesAreRefusedInEveryWorkbookPart)
{
    QTemporaryDir dir;
    const QByteArray entity = "<!DOCTYPE x [<!ENTITY e \"" + QByteArray(4000, 'e') + "\">]>";
    QByteArray named;
    for (int i = 0; i < 60000; ++i)
        named += "&e;";
    QByteArray pieces;
    for (int i = 0; i < 40; ++i)
        pieces += QByteArray(1000000, 'p') + "<!---->";
    const QByteArray sharedCell = Row("1", R"(<c r="A1" t="s"><v>0</v></c>)");
    XlsxParts sheetEntities = XlsxSheetParts(Row("1", Cell("A1", named.constData())));
    sheetEntities[2].second.prepend(entity);
    const struct
    {
        const char* name;
        XlsxParts parts;
        QString part;
        QString error;
    } cases[] = {
        {"entities.xlsx", sheetEntities, "xl/worksheets/sheet1.xml", "含有文档类型定义（DTD）"},
        {"shared-entities.xlsx", XlsxSheetParts(sharedCell, entity + "<sst><si><t>" + named + "</t></si></sst>"),
         "xl/sharedStrings.xml", "含有文档类型定义（DTD）"},
        {"pieces.xlsx", XlsxSheetParts(Row("1", Cell("A1", pieces.constData()))), "xl/worksheets/sheet1.xml",
         "中有单元格的文字长于 1048576 字节"},
        {"shared-pieces.xlsx", XlsxSheetParts(sharedCell, "<sst><si><t>" + pieces + "</t></si></sst>"),
         "xl/sharedStrings.xml", "中有单元格的文字长于 1048576 字节"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(WriteXlsxParts(path, c.parts)) << c.name;
        EXPECT_LT(QFileInfo(path).size(), 64 << 10) << c.name;
        ExpectRefusedWithinBoundedMemory(path, QStringLiteral("工作簿“%1”的部件 %2 %3，无法读取。").arg(path, c.part, c.error));
    }

    XlsxParts parts = XlsxSheetParts(Row("1", Cell("A1", "a&amp;b&#x4E2D;<!-- c -->d")), "<sst><si><t>s</t></si></sst>");
    parts.emplace_back("xl/styles.xml", R"(<styleSheet><cellXfs><xf numFmtId="0"/></cellXfs></styleSheet>)");
    for (size_t i = 0; i < parts.size(); ++i) {
        XlsxParts typed = parts;
        typed[i].second.prepend("<!DOCTYPE x>");
        const QString path = dir.filePath(QStringLiteral("typed%1.xlsx").arg(i));
        ASSERT_TRUE(WriteXlsxParts(path, typed));
        EXPECT_EQ(RefusalOf(path),
            QStringLiteral("工作簿“%1”的部件 %2 含有文档类型定义（DTD），无法读取。").arg(path, QString::fromLatin1(parts[i].first)));
    }
    for (auto& part : parts)
        part.second.prepend("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n");
    const QString declared = dir.filePath("declared.xlsx");
    ASSERT_TRUE(WriteXlsxParts(declared, parts));
    auto db = DbConnection::OpenExcel(declared, false);
    DbRows rows;
    ASSERT_TRUE(db->Query("select * from [S$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), QStringList {QStringLiteral("a&b中d")});
}

namespace {

// The text of sheet S's cell A1 (or the reason it does not read).
QString FirstCellOf(const QString& path)
{
    auto db = DbConnection::OpenExcel(path, false);
    DbRows rows;
    if (!db->IsOpen() || !db->Query("select F1 from [S$]", rows))
        return db->LastError();
    return rows.RowCount() > 0 ? rows.Value(0, 0) : QString();
}

} // namespace

// The cell bound counts the UTF-8 bytes its message names, a CJK character three, however
// the text comes in pieces (between comments, in the runs of a shared string): a million
// such characters are refused, and a text of one byte less than the bound reads whole.
TEST(WorkbookLimits, ACellsTextIsBoundedInUtf8Bytes)
{
    QTemporaryDir dir;
    const auto pieces = [](qsizetype characters, const QByteArray& between) -> QByteArray {
        const QByteArray piece = QString(100000, QChar(0x4E2D)).toUtf8();
        QByteArray text;
        for (; characters >= 100000; characters -= 100000)
            text += piece + between;
        return text + QString(characters, QChar(0x4E2D)).toUtf8();
    };
    const auto inlineSheet = [](const QByteArray& text) -> QByteArray {
        return Row("1", R"(<c r="A1" t="inlineStr"><is><t>)" + text + "</t></is></c>");
    };
    const auto sharedStrings = [](const QByteArray& runs) -> QByteArray { return "<sst><si><r><t>" + runs + "</t></r></si></sst>"; };
    const QByteArray shared = Row("1", R"(<c r="A1" t="s"><v>0</v></c>)");
    const qsizetype fits = (kMaxWorkbookCellBytes - 1) / 3; // 1,048,575 bytes
    for (const qsizetype characters : {qsizetype(1000000), fits}) {
        const bool refused = characters * 3 > kMaxWorkbookCellBytes;
        const QString inlinePath = dir.filePath(QStringLiteral("inline%1.xlsx").arg(characters));
        const QString sharedPath = dir.filePath(QStringLiteral("shared%1.xlsx").arg(characters));
        ASSERT_TRUE(WriteXlsxSheet(inlinePath, inlineSheet(pieces(characters, "<!-- -->"))));
        ASSERT_TRUE(WriteXlsxSheet(sharedPath, shared, sharedStrings(pieces(characters, "</t></r><r><t>"))));
        const struct
        {
            QString path;
            const char* part;
        } cases[] = {{inlinePath, "xl/worksheets/sheet1.xml"}, {sharedPath, "xl/sharedStrings.xml"}};
        for (const auto& c : cases) {
            SCOPED_TRACE(c.path.toStdString());
            if (refused)
                EXPECT_EQ(FirstCellOf(c.path),
                    QStringLiteral("工作簿“%1”的部件 %2 中有单元格的文字长于 1048576 字节，无法读取。")
                        .arg(c.path, QLatin1String(c.part)));
            else
                EXPECT_EQ(FirstCellOf(c.path), QString(characters, QChar(0x4E2D)));
        }
    }
}

// A sheet of a few hundred kilobytes may hold tens of millions of empty cells, each read in
// turn: past the bound the sheet is refused naming its workbook, and a sheet of many empty
// cells within it still reads.
TEST(WorkbookLimits, AnXlsxSheetsCellsAreBoundedEmptyOnesIncluded)
{
    VC_SKIP_UNDER_ASAN(); // seconds of XML to read, tens of seconds under the sanitizers
    QTemporaryDir dir;
    const auto sheet = [](int rows) -> QByteArray {
        QByteArray emptyCells;
        for (int c = 0; c < 4095; ++c)
            emptyCells += "<c/>";
        QByteArray data = "<row>" + QByteArray(R"(<c t="inlineStr"><is><t>first</t></is></c>)") + emptyCells + "</row>";
        for (int r = 1; r < rows; ++r)
            data += "<row><c/>" + emptyCells + "</row>";
        return data;
    };
    static_assert(kMaxXlsxSheetCells == 4096 * 4096);
    const QString over = dir.filePath("over.xlsx");
    ASSERT_TRUE(WriteXlsxSheet(over, sheet(4097)));
    EXPECT_LT(QFileInfo(over).size(), 1 << 20);
    EXPECT_EQ(FirstCellOf(over),
        QStringLiteral("工作簿“%1”的工作表 S$ 有多于 16777216 个单元格（空单元格也计在内），无法读取。").arg(over));
    const QString within = dir.filePath("within.xlsx");
    ASSERT_TRUE(WriteXlsxSheet(within, sheet(64)));
    EXPECT_EQ(FirstCellOf(within), "first");
}

// An .xls reader finds each sheet's name by walking its list from the first: a workbook
// listing more sheets than the bound is refused as it opens, naming the count; one of as
// many as the bound lists them all.
TEST(WorkbookLimits, XlsWorkbooksListingMoreSheetsThanTheBoundAreRefused)
{
    QTemporaryDir dir;
    for (const int sheets : {65536, kMaxXlsSheets + 1, kMaxXlsSheets}) {
        const QString path = dir.filePath(QStringLiteral("sheets%1.xls").arg(sheets));
        ASSERT_TRUE(WriteBytes(path, XlsOfStream(BiffWorkbook(std::vector<QByteArray>(size_t(sheets))))));
        auto db = DbConnection::OpenExcel(path, false);
        if (sheets > kMaxXlsSheets) {
            EXPECT_EQ(db->LastError(),
                QStringLiteral("工作簿“%1”有 %2 张工作表，多于 4096 张，无法读取。").arg(path).arg(sheets));
            continue;
        }
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        QStringList tables;
        ASSERT_TRUE(db->ListTables(tables));
        ASSERT_EQ(tables.size(), sheets);
        EXPECT_EQ(tables.back(), QStringLiteral("S%1$").arg(sheets - 1));
    }
}
