// A statement's rows come in its own order on MariaDB, which drops an ORDER BY inside a
// select that has no limit: read through the MySQL loader (a preview's loads, limited in
// the statement, and a print job's walk) and through a user's ODBC connection string
// naming MariaDB's driver.
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/Ado.h"
#include "platform/db/DbWait.h"


#include <gtest/gtest.h>

namespace {

constexpr int kOrderedRows = 10000;

// The table, written once through the server's own client with its ids in rising order.
QString WriteOrderedTable(const DbServerSettings& s)
{
    static const QString failure = WriteOnTestServer(s, false,
        QStringLiteral("set max_recursive_iterations = 100000; drop table if exists vc_check_items; "
                       "create table vc_check_items (id int primary key, name varchar(20)); "
                       "insert into vc_check_items with recursive n(i) as (select 1 union all select i + 1 from n "
                       "where i < %1) select i, concat('item', i) from n;")
            .arg(kOrderedRows));
    return failure;
}

void DescribeStatement(CDSBase& ds)
{
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = QStringLiteral("select id, name from vc_check_items order by id desc;");
    ds.m_selectedFields = QStringList {"id", "name"};
}

// Every row of the walk a print job makes, page after page, and a preview's first rows.
void ExpectDescending(CDLBase& loader)
{
    LoaderRow rows;
    ASSERT_TRUE(loader.LoadRows(1, 100, rows)) << loader.GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 100);
    EXPECT_EQ(rows.Value(0, 0), QString::number(kOrderedRows));
    EXPECT_EQ(rows.Value(99, 1), QStringLiteral("item%1").arg(kOrderedRows - 99));
    ASSERT_TRUE(loader.LoadRows(201, 210, rows)) << loader.GetLastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QString::number(kOrderedRows - 200));
    EXPECT_EQ(loader.GetRecordCount(), kOrderedRows);

    // A preview's walk, one page of 25 at a time, and its jumps back and past the end.
    loader.Close();
    for (int page = 1; page <= kOrderedRows / 25; ++page) {
        ASSERT_TRUE(loader.LoadPage(page, 25, rows)) << loader.GetLastError().toStdString();
        ASSERT_EQ(rows.RowCount(), 25) << "page " << page;
        ASSERT_EQ(rows.Value(0, 0), QString::number(kOrderedRows - (page - 1) * 25)) << "page " << page;
        ASSERT_EQ(rows.Value(24, 1), QStringLiteral("item%1").arg(kOrderedRows - page * 25 + 1)) << "page " << page;
    }
    for (const int page : {399, 1, 200}) {
        ASSERT_TRUE(loader.LoadPage(page, 25, rows)) << loader.GetLastError().toStdString();
        ASSERT_EQ(rows.RowCount(), 25);
        EXPECT_EQ(rows.Value(0, 0), QString::number(kOrderedRows - (page - 1) * 25)) << "page " << page;
    }
    ASSERT_TRUE(loader.LoadPage(kOrderedRows / 25 + 1, 25, rows)) << loader.GetLastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 0);

    loader.Close();
    loader.SetSequentialLoads(true);
    int expected = kOrderedRows;
    for (int page = 1; page <= kOrderedRows / 1000 + 1; ++page) {
        ASSERT_TRUE(loader.LoadPage(page, 1000, rows)) << loader.GetLastError().toStdString();
        for (int r = 0; r < rows.RowCount(); ++r, --expected)
            ASSERT_EQ(rows.Value(r, 0), QString::number(expected)) << "page " << page << " row " << r;
    }
    EXPECT_EQ(expected, 0);
    loader.Close();
}

// A page is read with the limit in the statement: the server makes no row past it.
// Every row below 9990 takes longer than the step's limit, so reading on to the statement's
// end would end at the limit, however fast the machine.
void ExpectPageLimitedInStatement(CDLBase& loader, CDSBase& ds)
{
    const DbLimits saved = GetDbLimits();
    DbLimits limits = saved;
    limits.statementMs = 10000;
    SetDbLimits(limits);
    loader.Close();
    loader.SetSequentialLoads(false);
    const QString sql = ds.m_strSQL;
    ds.m_strSQL = QStringLiteral("select id, name, sleep(100 * (id < 9990)) as s from vc_check_items order by id desc");
    LoaderRow rows;
    const bool loaded = loader.LoadPage(1, 10, rows);
    loader.Close();
    SetDbLimits(saved);
    ds.m_strSQL = sql;
    ASSERT_TRUE(loaded) << loader.GetLastError().toStdString();
    EXPECT_EQ(rows.Value(9, 0), QString::number(kOrderedRows - 9));
}

} // namespace

TEST(StatementOrder, MariaDBRowsComeInTheStatementsOrder)
{
    VC_TEST_SERVER(server, "VC_MY");
    ASSERT_EQ(WriteOrderedTable(server), "");
    CMySQLDS ds;
    StoreLogin(ds, server);
    DescribeStatement(ds);
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSMySQL);
    loader->SetDataSource(&ds);
    ExpectDescending(*loader);
    ExpectPageLimitedInStatement(*loader, ds);

    // A limit of the statement's own, and a comment at its end: the pages still come in
    // its order and end where it does.
    loader->SetSequentialLoads(false);
    for (const QString& sql : {QStringLiteral("select id, name from vc_check_items order by id desc limit 9000"),
             QStringLiteral("select id, name from vc_check_items order by id desc -- newest first"),
             QStringLiteral("select id, name from vc_check_items order by id desc # newest first")}) {
        ds.m_strSQL = sql;
        const int records = sql.contains(QStringLiteral("9000")) ? 9000 : kOrderedRows;
        LoaderRow rows;
        EXPECT_EQ(loader->GetRecordCount(), records) << sql.toStdString();
        ASSERT_TRUE(loader->LoadPage(records / 25, 25, rows)) << loader->GetLastError().toStdString();
        ASSERT_EQ(rows.RowCount(), 25) << sql.toStdString();
        EXPECT_EQ(rows.Value(0, 0), QString::number(kOrderedRows - records + 25)) << sql.toStdString();
        EXPECT_EQ(rows.Value(24, 0), QString::number(kOrderedRows - records + 1)) << sql.toStdString();
        ASSERT_TRUE(loader->LoadPage(2, 25, rows)) << loader->GetLastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), QString::number(kOrderedRows - 25)) << sql.toStdString();
        ASSERT_TRUE(loader->LoadPage(records / 25 + 1, 25, rows)) << loader->GetLastError().toStdString();
        EXPECT_EQ(rows.RowCount(), 0) << sql.toStdString();
    }

    // A call in ODBC's escape is MariaDB's plain call.
    ds.m_strSQL = QStringLiteral("{call no_such_procedure(50)}");
    LoaderRow rows;
    EXPECT_FALSE(loader->LoadRows(1, 10, rows));
    EXPECT_TRUE(loader->GetLastError().contains(QStringLiteral("no_such_procedure"))) << loader->GetLastError().toStdString();
    EXPECT_FALSE(loader->GetLastError().contains(QStringLiteral("syntax"), Qt::CaseInsensitive))
        << loader->GetLastError().toStdString();
}

TEST(StatementOrder, MariaDBRowsComeInOrderThroughItsOdbcDriver)
{
    VC_TEST_SERVER(server, "VC_MY");
    if (!InstalledOdbcDrivers().contains(QStringLiteral("MariaDB Unicode")))
        GTEST_SKIP() << "the MariaDB ODBC driver is not registered";
    ASSERT_EQ(WriteOrderedTable(server), "");
    const QString connection = QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;DB=%3;User=%4;Password=%5;Option=3")
                                   .arg(server.host, QString::number(server.port), server.database, server.user,
                                       server.password);
    const std::unique_ptr<DbConnection> probe = DbConnection::OpenAdo(connection, {}, {});
    ASSERT_TRUE(probe->IsOpen()) << probe->LastError().toStdString();
    if (probe->ServerKind().server == SqlServerKind::Unknown) {
        std::fprintf(stderr, "\n*** SKIPPED: this connection does not tell its server yet ***\n\n");
        GTEST_SKIP() << "the connection does not tell its server";
    }
    EXPECT_EQ(probe->ServerKind().server, SqlServerKind::MySQL);
    CCustomDS ds;
    ds.m_strConnectionString = EncryptString(connection);
    DescribeStatement(ds);
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSCustom);
    loader->SetDataSource(&ds);
    ExpectDescending(*loader);
    ExpectPageLimitedInStatement(*loader, ds);
}
