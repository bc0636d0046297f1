// Workbooks written by the tests (.xlsx by libxlsxwriter, .xls by xlwt) read back
// through the staged SQLite tables; Access files, which nothing here can write,
// through their failure paths.
#include "WorkbookFixtures.h"
#include "platform/db/DbConnection.h"

#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DbExcel : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        path = dir.filePath(QStringLiteral("book.") + GetParam());
        if (QString(GetParam()) == "xlsx") {
            ASSERT_TRUE(WriteTestXlsx(path));
        } else {
            QString error;
            ASSERT_TRUE(WriteTestXls(path, error)) << error.toStdString();
        }
    }
    bool IsXlsx() const { return QString(GetParam()) == "xlsx"; }

    QTemporaryDir dir;
    QString path;
};

} // namespace

TEST_P(DbExcel, SheetsAreTablesNamedWithDollar)
{
    auto db = DbConnection::OpenExcel(path, true);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables));
    EXPECT_EQ(tables, (QStringList {"People$", "My Data$", "Empty$"})); // no named range
    QStringList fields;
    ASSERT_TRUE(db->ListFields("People$", fields)) << db->LastError().toStdString();
    EXPECT_EQ(fields, (QStringList {"Id", "Name", "City", "Note", "Price", "Born"}));

    DbRows rows;
    ASSERT_TRUE(db->Query("select count(*) as RecordCount from [People$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "30");
    ASSERT_TRUE(db->Query("select Id, Name, City, Note, Price from [People$] ORDER BY Id DESC", rows, 20, 3));
    ASSERT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Row(0), (QStringList {"10", "name10", QStringLiteral("Zürich"), "", "10.5"}));
    EXPECT_TRUE(rows.IsNull(0, 3)); // the empty cell is NULL and the price keeps its column
    EXPECT_EQ(rows.Row(1), (QStringList {"9", "name9", QStringLiteral("北京"), "note 9", "9.5"}));
    if (IsXlsx()) {
        ASSERT_TRUE(db->Query("select Born from [People$] where Id = 3", rows));
        EXPECT_EQ(rows.Value(0, 0), "2024-01-03");
    }
    // The used range starts at B3; a sheet name with a blank needs the brackets only.
    ASSERT_TRUE(db->Query("select * from [My Data$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Columns(), (QStringList {"Code", "Qty"}));
    EXPECT_EQ(rows.Row(2), (QStringList {"C3", "30"}));
    // The dialogs' preview form.
    ASSERT_TRUE(db->Query("select top 2 * from (select Name from [People$] where Id > 28) as mytab", rows));
    EXPECT_EQ(rows.RowCount(), 2);
    ASSERT_TRUE(db->Query("select count(*) as RecordCount from [Empty$]", rows));
    EXPECT_EQ(rows.Value(0, 0), "0");
    EXPECT_FALSE(db->Query("select * from [Nope$]", rows));
    EXPECT_FALSE(db->LastError().isEmpty());
}

// A user's own statement in Jet's words gives Jet's rows.
TEST_P(DbExcel, JetTopFormsGiveTheirOwnRows)
{
    auto db = DbConnection::OpenExcel(path, true);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const auto column = [&](const char* sql) {
        DbRows rows;
        EXPECT_TRUE(db->Query(QString::fromUtf8(sql), rows)) << sql << ": " << db->LastError().toStdString();
        QStringList values;
        for (int r = 0; r < rows.RowCount(); ++r)
            values.append(rows.Value(r, 0));
        return values;
    };
    // Top after distinct counts distinct rows (three cities, ten times each).
    EXPECT_EQ(column("select distinct top 2 City from [People$] order by City"),
        (QStringList {QStringLiteral("Zürich"), QStringLiteral("city 😀")}));
    // 11 percent of 30 rows is 3.3: four rows.
    EXPECT_EQ(column("select top 11 percent Id from [People$] order by Id desc"), (QStringList {"30", "29", "28", "27"}));
    EXPECT_EQ(column("select DISTINCT TOP 50 PERCENT City from [People$] order by City"),
        (QStringList {QStringLiteral("Zürich"), QStringLiteral("city 😀")}));
    // Each select of a union takes its own top, also where the dialogs count the statement.
    const char* both = "select top 2 Id from [People$] where Id > 27 union all select top 2 Id from [People$] "
                       "where City = '北京'";
    EXPECT_EQ(column(both), (QStringList {"28", "29", "3", "6"}));
    EXPECT_EQ(column((QStringLiteral("select count(*) from (%1) as t").arg(QString::fromUtf8(both))).toUtf8()),
        QStringList {"4"});
    DbRows rows;
    std::unique_ptr<DbCursor> cursor = db->OpenCursor(QString::fromUtf8(both));
    ASSERT_TRUE(cursor->Skip(1));
    ASSERT_TRUE(cursor->Fetch(10, rows)) << cursor->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 3);
    // The form whose meaning Jet leaves open is refused in words that name it.
    const QString ordered = "select Id from [My Data$] union all select top 2 Id from [People$] order by Id";
    EXPECT_FALSE(db->Query(ordered, rows));
    EXPECT_TRUE(db->LastError().contains("UNION") && db->LastError().contains("ORDER BY"))
        << db->LastError().toStdString();
    cursor = db->OpenCursor(ordered);
    EXPECT_FALSE(cursor->Fetch(10, rows));
    EXPECT_EQ(cursor->LastError(), db->LastError());
}

TEST_P(DbExcel, WithoutAHeaderRowColumnsAreNumbered)
{
    auto db = DbConnection::OpenExcel(path, false);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select F1, F2 from [People$]", rows, 0, 2)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"Id", "Name"}));
    EXPECT_EQ(rows.Row(1), (QStringList {"1", "name1"}));
    ASSERT_TRUE(db->Query("select count(*) from [People$]", rows));
    EXPECT_EQ(rows.Value(0, 0), "31");
}

INSTANTIATE_TEST_SUITE_P(Formats, DbExcel, ::testing::Values("xlsx", "xls"));

TEST(DbExcelFiles, MissingDamagedAndForeignFilesFail)
{
    QTemporaryDir dir;
    auto missing = DbConnection::OpenExcel(dir.filePath("none.xlsx"), true);
    EXPECT_FALSE(missing->IsOpen());
    EXPECT_TRUE(missing->LastError().contains("none.xlsx"));

    const QString text = dir.filePath("text.xlsx");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Id,Name\n1,a\n");
    file.close();
    auto foreign = DbConnection::OpenExcel(text, true);
    EXPECT_FALSE(foreign->IsOpen());
    EXPECT_TRUE(foreign->LastError().contains(QStringLiteral("不是 Excel 工作簿"))) << foreign->LastError().toStdString();

    // A workbook cut short: the zip directory is gone.
    const QString book = dir.filePath("book.xlsx");
    ASSERT_TRUE(WriteTestXlsx(book));
    QFile whole(book);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    whole.close();
    QFile cut(dir.filePath("cut.xlsx"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    auto damaged = DbConnection::OpenExcel(cut.fileName(), true);
    EXPECT_FALSE(damaged->IsOpen());
    EXPECT_FALSE(damaged->LastError().isEmpty());
}

// A sheet whose XML is cut short is refused by what the file holds, in words that lead with
// the workbook and name the sheet as the workbook does; a statement's own fault after it, and
// the sound sheet beside it, are as on any workbook.
TEST(DbExcelFiles, ASheetCutShortIsTheFilesFaultNamedByWorkbookAndSheet)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cut-sheet.xlsx");
    ASSERT_TRUE(WriteXlsxWithCutShortSheet(path));
    auto db = DbConnection::OpenExcel(path, false);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    for (int twice = 0; twice < 2; ++twice) {
        EXPECT_FALSE(db->Query("select count(*) from [Sheet1$]", rows));
        EXPECT_EQ(db->LastError(), QStringLiteral("工作簿“%1”的工作表“Sheet1”已损坏。").arg(path));
        EXPECT_TRUE(db->Unreadable());
    }
    EXPECT_FALSE(db->Query("select Nope from [Good$]", rows));
    EXPECT_FALSE(db->Unreadable()) << db->LastError().toStdString();
    ASSERT_TRUE(db->Query("select count(*), max(F1) from [Good$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(0), (QStringList {"50", "50"}));
    EXPECT_FALSE(db->Unreadable());
}

TEST(DbAccess, FilesThatAreNoAccessDatabaseFailClearly)
{
    QTemporaryDir dir;
    auto missing = DbConnection::OpenAccess(dir.filePath("none.mdb"), QString());
    EXPECT_FALSE(missing->IsOpen());
    EXPECT_EQ(missing->LastError(), QStringLiteral("Access数据库“%1”不存在。").arg(dir.filePath("none.mdb")));

    for (const QByteArray& content : {QByteArray("not a database at all"), QByteArray(8192, '\0')}) {
        QFile file(dir.filePath("bad.accdb"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        auto db = DbConnection::OpenAccess(file.fileName(), QStringLiteral("pw"));
        EXPECT_FALSE(db->IsOpen());
        EXPECT_TRUE(db->LastError().contains(QStringLiteral("“%1”").arg(file.fileName()))) << db->LastError().toStdString();
        EXPECT_TRUE(db->LastError().endsWith(QStringLiteral("。"))) << db->LastError().toStdString();
        DbRows rows;
        EXPECT_FALSE(db->Query("select 1", rows));
        QStringList tables;
        EXPECT_FALSE(db->ListTables(tables));
    }
}
