#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/DatabaseLoaders.h"
#include "model/TextLoader.h"
#include "platform/VXException.h"
#include "platform/db/DbConnection.h"

#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// Records the numbers LoadRows is asked for.
class RecordingDL : public CDLBase
{
public:
    bool LoadRows(int nFirst, int nLast, LoaderRow& rows) override
    {
        first = nFirst;
        last = nLast;
        rows.Clear();
        return true;
    }
    int first = 0;
    int last = 0;
};

// A loader on the generic count and rows, over an SQLite file.
class GenericDL : public CDLBase
{
public:
    explicit GenericDL(QString path) : m_path(std::move(path)) {}
    bool Open() override
    {
        m_connection = DbConnection::OpenSQLite(m_path);
        return IsOpen() || Fail(m_connection->LastError());
    }
    int GetRecordCount() override { return QueryRecordCount(); }
    bool LoadRows(int nFirst, int nLast, LoaderRow& rows) override { return QueryRows(nFirst, nLast, rows); }

private:
    QString m_path;
};

class LoaderFramework : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = dir.filePath("generic.db");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "create table T (Id integer, Name text, Note text);"
                               "with recursive n(i) as (select 1 union all select i + 1 from n where i < 30)"
                               " insert into T select i, 'name' || i, case when i % 10 = 0 then null else 'n' end"
                               " from n;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        ds.m_strTable = "T";
        ds.m_selectedFields = QStringList{"Id", "Note"};
        loader.SetDataSource(&ds);
    }

    QTemporaryDir dir;
    QString path;
    CSQLiteDS ds;
    GenericDL loader{dir.filePath("generic.db")};
};

} // namespace

TEST(LoaderFactory, MakesTheNativeLoadersAndRefusesUnknownTypes)
{
    EXPECT_NE(dynamic_cast<CTextDL*>(CDLBase::CreateLoader(DSText).get()), nullptr);
    EXPECT_NE(dynamic_cast<CSQLiteDL*>(CDLBase::CreateLoader(DSSQLite).get()), nullptr);
    EXPECT_NE(dynamic_cast<CPostgreSQLDL*>(CDLBase::CreateLoader(DSPostgreSQL).get()), nullptr);
    EXPECT_NE(dynamic_cast<CMySQLDL*>(CDLBase::CreateLoader(DSMySQL).get()), nullptr);
    for (int type : {int(DSOLEDB), int(DSODBC), 13, 100, -1}) {
        try {
            CDLBase::CreateLoader(type);
            ADD_FAILURE() << "type " << type << " made a loader";
        } catch (const CDataSourceException& e) {
            EXPECT_EQ(e.GetMessage(), NoLoaderMessage());
            EXPECT_TRUE(e.GetMessage().endsWith("\n详细信息：not support data loader"));
        }
    }
    auto loader = CDLBase::CreateLoader(DSText);
    EXPECT_EQ(loader->GetDataSource(), nullptr);
    EXPECT_FALSE(loader->IsOpen());
}

TEST(LoaderPaging, PagesMapToOneBasedRecordNumbers)
{
    RecordingDL loader;
    LoaderRow rows;
    loader.LoadPage(3, 20, rows);
    EXPECT_EQ(loader.first, 41);
    EXPECT_EQ(loader.last, 60);
    loader.LoadPages(2, 10, 3, rows);
    EXPECT_EQ(loader.first, 11);
    EXPECT_EQ(loader.last, 40);
    loader.LoadPage(1, 1, rows);
    EXPECT_EQ(loader.first, 1);
    EXPECT_EQ(loader.last, 1);
    // A page far out does not wrap around into earlier records.
    loader.first = loader.last = 0;
    loader.LoadPage(INT_MAX, 1000, rows);
    EXPECT_EQ(loader.first, INT_MAX);
    EXPECT_EQ(loader.last, INT_MAX);
}

TEST_F(LoaderFramework, RangeModeOneCountsWithoutTheSourceAndShiftsRecords)
{
    ds.m_nRangeMode = RangeFromTo;
    ds.m_nFrom = 5;
    ds.m_nTo = 8;
    ds.m_strTable = "no such table"; // never queried for the count
    EXPECT_EQ(loader.GetRecordCount(), 4);
    ds.m_strTable = "T";
    LoaderRow rows;
    ASSERT_TRUE(loader.LoadRows(1, 10, rows)) << loader.GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 4);
    EXPECT_EQ(rows.Value(0, 0), "5");
    EXPECT_EQ(rows.Value(3, 0), "8");
    ASSERT_TRUE(loader.LoadRows(3, 3, rows));
    ASSERT_EQ(rows.RowCount(), 1);
    EXPECT_EQ(rows.Value(0, 0), "7");
    // Past the range: nothing, and no failure.
    ASSERT_TRUE(loader.LoadPage(2, 20, rows));
    EXPECT_EQ(rows.RowCount(), 0);
    // "To" below "from" counts no record.
    ds.m_nTo = 3;
    EXPECT_EQ(loader.GetRecordCount(), 0);
    ASSERT_TRUE(loader.LoadRows(1, 10, rows));
    EXPECT_EQ(rows.RowCount(), 0);
}

TEST_F(LoaderFramework, GenericRowsFollowFieldsSortAndNulls)
{
    EXPECT_EQ(loader.GetRecordCount(), 30);
    LoaderRow rows;
    ds.m_strSortField = QStringLiteral("默认");
    ASSERT_TRUE(loader.LoadPage(2, 10, rows));
    ASSERT_EQ(rows.RowCount(), 10);
    EXPECT_EQ(rows.Value(0, 0), "11");
    EXPECT_TRUE(rows.IsNull(9, 1)); // Id 20
    EXPECT_EQ(rows.Value(9, 1), "");
    ds.m_strSortField = "Id";
    ds.m_nSortOrder = 1;
    ASSERT_TRUE(loader.LoadRows(1, 2, rows));
    EXPECT_EQ(rows.Value(0, 0), "30");
    EXPECT_EQ(rows.Value(1, 0), "29");
    ASSERT_TRUE(loader.LoadRows(29, 40, rows)); // cut at the end of the data
    EXPECT_EQ(rows.RowCount(), 2);
    ASSERT_TRUE(loader.LoadRows(31, 40, rows));
    EXPECT_EQ(rows.RowCount(), 0);
}

TEST_F(LoaderFramework, GenericSqlModeReadsSelectedFieldsByPosition)
{
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "select Name, Id, Note from T where Id > 25";
    EXPECT_EQ(loader.GetRecordCount(), 5);
    LoaderRow rows;
    ASSERT_TRUE(loader.LoadRows(1, 10, rows));
    ASSERT_EQ(rows.RowCount(), 5);
    ASSERT_EQ(rows.ColumnCount(), 2); // two selected fields: the third column is dropped
    EXPECT_EQ(rows.Row(0), (QStringList{"name26", "26"}));

    ds.m_strSQL = "select Name from T";
    EXPECT_FALSE(loader.LoadRows(1, 10, rows));
    EXPECT_EQ(loader.GetLastError(), QStringLiteral("无法从数据源读取记录，请检查表名、字段名和SQL语句。\n"
                                                    "详细信息：语句给出 1 列，少于所选的 2 个字段。"));
    ds.m_strSQL = "select nope from T";
    EXPECT_FALSE(loader.LoadRows(1, 10, rows));
    EXPECT_TRUE(loader.GetLastError().contains("nope"));
    EXPECT_THROW(loader.GetRecordCount(), CDataSourceException);
}

TEST_F(LoaderFramework, AnUnopenableSourceFailsLoudly)
{
    GenericDL missing(dir.filePath("missing.db"));
    missing.SetDataSource(&ds);
    LoaderRow rows;
    EXPECT_FALSE(missing.LoadRows(1, 10, rows));
    EXPECT_TRUE(missing.GetLastError().contains("missing.db"));
    try {
        missing.GetRecordCount();
        ADD_FAILURE() << "no exception";
    } catch (const CDataSourceException& e) {
        EXPECT_TRUE(e.GetMessage().contains("missing.db"));
    }
}
