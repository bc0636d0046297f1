// A careful administrator makes a label-printing DSN of PostgreSQL's ODBC driver read-only
// (ReadOnly=1, in the string or in the data source's registration), which has the driver refuse
// any text that does not start as a select. Reading is all the program does: the table and the
// label's statement preview and print there as they do without it, directly and through
// PgBouncer, and the statement's frame (a read-only transaction, rolled back) stays in force:
// a statement that writes or would end the frame is refused.
#include "DbTestEnv.h"
#include "LoaderPages.h"
#include "PgServerObjects.h"
#include "model/DLBase.h"
#include "model/DSBase.h"

#include <gtest/gtest.h>

namespace {

constexpr int kReadOnlyPage = 30;

std::unique_ptr<CDLBase> ReadOnlyLoader(CDSBase& ds, bool preview)
{
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds.GetType());
    loader->SetDataSource(&ds);
    if (preview)
        loader->SetBrowsedLoads(true);
    else
        loader->SetSequentialLoads(true);
    return loader;
}

struct ReadOnlyRoute
{
    std::string what;
    QString connection;
};

// Each of PostgreSQL's routes (directly and through PgBouncer) as a string with the driver's
// ReadOnly set as given, and as a DSN registered so in ini.
std::vector<ReadOnlyRoute> ReadOnlyRoutes(const DbServerSettings& server, const char* readOnly, QByteArray& ini)
{
    std::vector<ReadOnlyRoute> routes;
    const QString login = QStringLiteral("UID=%1;PWD=%2").arg(server.user, server.password);
    for (const auto& [what, through] : DirectAndPooledRoutes(server)) {
        // unixODBC keeps what it read of a registration: each setting has names of its own.
        const QString dsn = QStringLiteral("VcReadOnly%1Route%2").arg(QLatin1String(readOnly)).arg(routes.size());
        ini += QStringLiteral("[%1]\nDriver=PostgreSQL Unicode\nServername=%2\nPort=%3\nDatabase=%4\nReadOnly=%5\n\n")
                   .arg(dsn, through.host, QString::number(through.port), through.database, QLatin1String(readOnly))
                   .toUtf8();
        routes.push_back({std::string(what) + ", string",
            QStringLiteral("Driver={PostgreSQL Unicode};Servername=%1;Port=%2;Database=%3;ReadOnly=%4;")
                    .arg(through.host, QString::number(through.port), through.database, QLatin1String(readOnly))
                + login});
        routes.push_back({std::string(what) + ", DSN", QStringLiteral("DSN=%1;").arg(dsn) + login});
    }
    return routes;
}

} // namespace

TEST(ReadOnlyOdbcSource, TablesAndStatementsPreviewAndPrintOnEveryRouteAndStillCannotWrite)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server, QStringLiteral("create sequence vc_ro_seq_%1"),
        QStringLiteral("drop sequence if exists vc_ro_seq_%1"));
    ASSERT_EQ(objects.Error(), "");
    const struct
    {
        const char* what;
        RecordRangeMode mode;
        QString sql;
        QStringList fields;
        int records; // -1: refused
    } sources[] = {
        {"table", RangeAll, {}, {"Id", "Name", "City", "Note"}, 100},
        {"statement", RangeSQL, "select \"Id\", \"City\" from \"People\" where \"Id\" > 10 order by \"Id\" desc",
            {"Id", "City"}, 90},
        {"a write", RangeSQL, objects.Named("select nextval('vc_ro_seq_%1') as n"), {"n"}, -1},
        {"an end of the frame", RangeSQL, "select 1 as n) t; commit; select * from (select 1 as n", {"n"}, -1},
    };
    for (const char* readOnly : {"1", "0"}) { // 0: the control, as before
        QByteArray entries;
        const std::vector<ReadOnlyRoute> routes = ReadOnlyRoutes(server, readOnly, entries);
        const OwnOdbcIni ini(entries);
        for (const ReadOnlyRoute& route : routes) {
            for (const auto& source : sources) {
                SCOPED_TRACE(std::string("ReadOnly=") + readOnly + ", " + route.what + ", " + source.what);
                CCustomDS ds;
                ds.m_strConnectionString = EncryptString(route.connection);
                ds.m_strTable = QStringLiteral("People");
                ds.m_nRangeMode = source.mode;
                ds.m_strSQL = source.sql;
                ds.m_selectedFields = source.fields;
                const std::unique_ptr<CDLBase> print = ReadOnlyLoader(ds, false);
                const std::unique_ptr<CDLBase> preview = ReadOnlyLoader(ds, true);
                LoaderRow rows;
                if (source.records < 0) {
                    EXPECT_FALSE(print->LoadPage(1, kReadOnlyPage, rows));
                    EXPECT_FALSE(preview->LoadPage(1, kReadOnlyPage, rows));
                    continue;
                }
                const QStringList printed = PageRecords(*print, {1, 2, 3, 4}, kReadOnlyPage);
                print->Close();
                ASSERT_EQ(printed.size(), source.records);
                EXPECT_TRUE(printed.first().startsWith(source.mode == RangeAll ? u"1|" : u"100|"));
                EXPECT_EQ(preview->GetRecordCount(), source.records) << preview->GetLastError().toStdString();
                QStringList expected;
                for (const int page : {3, 1, 4, 2})
                    expected += printed.mid((page - 1) * kReadOnlyPage, kReadOnlyPage);
                EXPECT_EQ(PageRecords(*preview, {3, 1, 4, 2}, kReadOnlyPage), expected);
            }
        }
    }
    EXPECT_EQ(ReadOnTestServer(server, true, objects.Named("select is_called from vc_ro_seq_%1")), "f");
}

// A print walks its statement through a cursor, a block of rows at a time: on a read-only data
// source each block's fetch past the first gets through the driver as the first did.
TEST(ReadOnlyOdbcSource, APrintReadsPastTheCursorsFirstBlock)
{
    VC_TEST_SERVER(server, "VC_PG");
    QByteArray entries;
    const std::vector<ReadOnlyRoute> routes = ReadOnlyRoutes(server, "1", entries);
    const OwnOdbcIni ini(entries);
    for (const ReadOnlyRoute& route : routes) {
        SCOPED_TRACE(route.what);
        CCustomDS ds;
        ds.m_strConnectionString = EncryptString(route.connection);
        ds.m_nRangeMode = RangeSQL;
        ds.m_strSQL = QStringLiteral("select g as n from generate_series(1, 20000) g order by g");
        ds.m_selectedFields = QStringList {QStringLiteral("n")};
        const std::unique_ptr<CDLBase> print = ReadOnlyLoader(ds, false);
        const QStringList printed = PageRecords(*print, {1, 2, 3, 4}, 5000);
        ASSERT_EQ(printed.size(), 20000) << print->GetLastError().toStdString();
        EXPECT_EQ(printed.last(), QStringLiteral("20000"));
    }
}
