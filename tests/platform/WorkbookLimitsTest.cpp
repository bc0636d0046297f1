// Sheets that reach past the grid of their format, leave long runs of empty rows
// or list their rows out of order.
#include "WorkbookFixtures.h"
#include "platform/InputLimits.h"
#include "platform/db/DbConnection.h"

#include "TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

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
    // 96 cells of a megabyte: each within the cell limit, together more than is left.
    QByteArray cells;
    const QByteArray text(1000000, 'x');
    for (int i = 1; i <= 96; ++i)
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
