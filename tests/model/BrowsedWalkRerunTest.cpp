// A preview whose walk the server ends (idle past MariaDB's net_write_timeout, a session killed
// from another connection) runs it again and goes on turning pages as print has them, on a new
// connection where the old one is gone; where rows or columns changed meanwhile it says so and
// starts again from the rows as they are now, never showing pages of two states.
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/DbWait.h"

#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int kWalkPage = 25;

// The records of pages from..to as "value|value" texts of the selected fields, which lead the
// statement's columns.
bool ReadWalkPages(CDLBase& loader, int from, int to, QStringList& records)
{
    records.clear();
    LoaderRow rows;
    const qsizetype fields = loader.GetDataSource()->m_selectedFields.size();
    for (int page = from; page <= to; ++page) {
        if (!loader.LoadPage(page, kWalkPage, rows))
            return false;
        for (int r = 0; r < rows.RowCount(); ++r)
            records.append(rows.Row(r).mid(0, fields).join(u'|'));
    }
    return true;
}

QStringList Printed(CDSBase& ds)
{
    std::unique_ptr<CDLBase> print = CDLBase::CreateLoader(ds.GetType());
    print->SetDataSource(&ds);
    print->SetSequentialLoads(true);
    QStringList printed;
    EXPECT_TRUE(ReadWalkPages(*print, 1, kTiedRecords / kWalkPage, printed)) << print->GetLastError().toStdString();
    return printed;
}

std::unique_ptr<CDLBase> Preview(CDSBase& ds)
{
    std::unique_ptr<CDLBase> preview = CDLBase::CreateLoader(ds.GetType());
    preview->SetDataSource(&ds);
    preview->SetBrowsedLoads(true);
    return preview;
}

// The PostgreSQL sessions of this suite carry this name (TestSessionName).
constexpr char kWalkSessionName[] = "vc_walk_rerun";

// Ends the session of the walk whose statement starts with marker, from another connection.
void EndWalkSession(const DbServerSettings& s, bool postgres, const QString& marker)
{
    if (postgres) {
        // psqlODBC may have read the whole result already: its session is ended all the same.
        ASSERT_NE(ReadOnTestServer(s, true,
                      QStringLiteral("select count(pg_terminate_backend(pid)) from pg_stat_activity where datname = "
                                     "current_database() and application_name = '%1' and pid <> pg_backend_pid()")
                          .arg(QLatin1String(kWalkSessionName))),
            "0");
        Q_UNUSED(marker);
        return;
    }
    const QString thread = ReadOnTestServer(s, false,
        QStringLiteral(
            "select id from information_schema.processlist where info like '%%%1%%' and id <> connection_id()")
            .arg(marker));
    ASSERT_FALSE(thread.isEmpty());
    ASSERT_EQ(WriteOnTestServer(s, false, QStringLiteral("kill connection %1").arg(thread)), "");
}

// A walk ended by its server once pages 1 and 2 show: the other pages come as print has them.
// endWalk ends it; for the control it does nothing.
void ExpectPagesGoOnAfter(
    CDSBase& ds, const std::function<void()>& endWalk, const std::function<void()>& beforeWalk = [] {})
{
    const QStringList printed = Printed(ds);
    ASSERT_EQ(printed.size(), kTiedRecords);
    std::unique_ptr<CDLBase> preview = Preview(ds);
    beforeWalk();
    QStringList shown;
    ASSERT_TRUE(ReadWalkPages(*preview, 1, 2, shown)) << preview->GetLastError().toStdString();
    endWalk();
    QStringList rest;
    ASSERT_TRUE(ReadWalkPages(*preview, 3, kTiedRecords / kWalkPage, rest)) << preview->GetLastError().toStdString();
    EXPECT_EQ(shown + rest, printed);
    // Back to the first page: the rows kept, as they were shown.
    QStringList again;
    ASSERT_TRUE(ReadWalkPages(*preview, 1, 1, again));
    EXPECT_EQ(again, printed.mid(0, kWalkPage));
}

// 40 MB of rows, more than the sockets hold: the statement still sends while the first pages show.
const char* const kWideSql = "select id, made, rpad(name, 20000, '.') as wide from vc_walk_items order by made";

// The same through libpq and psqlODBC, each with its control.
void ExpectPostgreSQLPagesGoOnAfter(const DbServerSettings& server, const std::function<void()>& endWalk)
{
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "psqlODBC" : "native");
        const std::unique_ptr<CDSBase> source = ServerSource(server, true, odbc);
        CDSBase& ds = *source;
        ds.m_nRangeMode = RangeSQL;
        ds.m_strSQL = QString::fromLatin1(kWideSql);
        ds.m_selectedFields = QStringList {"id", "made"};
        ExpectPagesGoOnAfter(ds, endWalk);
        ExpectPagesGoOnAfter(ds, [] {});
    }
}

} // namespace

TEST(BrowsedWalkRerun, MariaDBWalkLeftIdlePastNetWriteTimeoutIsRunAgain)
{
    VC_TEST_SERVER(server, "VC_MY");
    ASSERT_EQ(WriteTiedTables(server, false, QStringLiteral("vc_walk")), "");
    // The server's own limit, set by its administrator where the test reaches the server's socket;
    // elsewhere the server ends the walk's connection as that limit does.
    const QString socket = qEnvironmentVariable("VC_DB_DIR", QStringLiteral("/tmp/vellumcraft-db")) + "/my.sock";
    const auto asRoot = [&](const QString& sql) {
        QProcess client;
        client.start(QStringLiteral("mariadb"), {"--no-defaults", "-S", socket, "-uroot", "-e", sql});
        return client.waitForFinished(30000) && client.exitCode() == 0;
    };
    const bool idle = QFileInfo::exists(socket) && asRoot(QStringLiteral("select 1"));
    // Only the walk's connection takes the short limit: it is set while the walk connects and put
    // back at once, so that the suites beside this one, and the walk run again, keep the server's.
    const struct Restore
    {
        std::function<bool(const QString&)> run;
        ~Restore() { run(QStringLiteral("set global net_write_timeout = default")); }
    } restore {asRoot};
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "ODBC string" : "native");
        const std::unique_ptr<CDSBase> source = ServerSource(server, false, odbc);
        CDSBase& ds = *source;
        ds.m_strName = QStringLiteral("库存");
        ds.m_nRangeMode = RangeSQL;
        ds.m_strSQL = QString::fromLatin1(kWideSql);
        ds.m_selectedFields = QStringList {"id", "made"};
        ExpectPagesGoOnAfter(
            ds,
            [&] {
                if (!idle) {
                    EndWalkSession(server, false, QStringLiteral("rpad(name, 20000"));
                    return;
                }
                asRoot(QStringLiteral("set global net_write_timeout = default"));
                QThread::sleep(3);
            },
            [&] {
                if (idle)
                    asRoot(QStringLiteral("set global net_write_timeout = 1"));
            });
        // The control: a walk nobody ends.
        ExpectPagesGoOnAfter(ds, [] {});
    }
}

TEST(BrowsedWalkRerun, PostgreSQLWalkWhoseSessionWasKilledGoesOnOnANewConnection)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kWalkSessionName);
    ASSERT_EQ(WriteTiedTables(server, true, QStringLiteral("vc_walk")), "");
    ExpectPostgreSQLPagesGoOnAfter(server, [&] { EndWalkSession(server, true, QStringLiteral("rpad(name, 20000")); });
}

// A restart of the server ends every walk: the pages go on, on a new connection. The server is
// one of its own, so that the suites beside this one keep theirs.
TEST(BrowsedWalkRerun, PostgreSQLRestartedMidWalkGoesOnOnANewConnection)
{
    VC_TEST_SERVER(server, "VC_PGR");
    const QString restart = qEnvironmentVariable("VC_PGR_RESTART");
    ASSERT_FALSE(restart.isEmpty());
    ASSERT_EQ(WriteTiedTables(server, true, QStringLiteral("vc_walk")), "");
    ExpectPostgreSQLPagesGoOnAfter(server, [&] { ASSERT_EQ(QProcess::execute(restart, {}), 0); });
}

// Rows or columns changed while the walk was gone: the page that finds it says so, and the pages
// after it are those of the rows as they are now, from the first on.
TEST(BrowsedWalkRerun, ChangedRowsOrColumnsAreToldAndPagesStartAgainFromTheRowsAsTheyAreNow)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kWalkSessionName);
    const QString changedMessage
        = QStringLiteral("数据源“库存”的记录在预览期间有了变化，预览将从现在的记录重新开始，请重新翻页。");
    struct Change
    {
        const char* what;
        const char* sql;
    };
    const Change changes[] = {
        {"rows deleted",
            "delete from vc_change_items where id in (select id from vc_change_items order by made, id limit 10)"},
        // Every row of the first date, so that rows shown are among them: rows never shown that change
        // leave the pages shown as they were, which is no change of theirs.
        {"rows re-dated", "update vc_change_items set made = made + 20 where id % 10 = 0"},
        {"a shown column renamed", "alter table vc_change_items rename column name to title"},
        {"nothing (the control)", "select 1"},
    };
    // Directly, the server moves past the pages shown and they are checked; through PgBouncer
    // the walk keeps its rows, and the rows it passes over again are.
    const auto routes = DirectAndPooledRoutes(server);
    for (const auto& [route, reached] : routes) {
        for (const Change& change : changes) {
            SCOPED_TRACE(route);
            SCOPED_TRACE(change.what);
            ASSERT_EQ(WriteTiedTables(server, true, QStringLiteral("vc_change")), "");
            CPostgreSQLDS ds;
            StoreLogin(ds, reached);
            ds.m_strName = QStringLiteral("库存");
            ds.m_nRangeMode = RangeSQL;
            ds.m_strSQL = QStringLiteral("select *, rpad('x', 20000, '.') as wide from vc_change_items order by made");
            ds.m_selectedFields = QStringList {"id", "made", "name"};
            std::unique_ptr<CDLBase> preview = Preview(ds);
            QStringList shown;
            ASSERT_TRUE(ReadWalkPages(*preview, 1, 2, shown)) << preview->GetLastError().toStdString();
            EndWalkSession(server, true, QStringLiteral("rpad('x', 20000"));
            ASSERT_EQ(WriteOnTestServer(server, true, QString::fromLatin1(change.sql)), "");
            const bool control = QByteArray(change.sql) == "select 1";
            // Rows the client already holds of the old walk may show first; the page that needs the
            // walk run again finds the change.
            QStringList rest;
            LoaderRow rows;
            int page = 3;
            bool read = true;
            for (; read && page <= kTiedRecords / kWalkPage; ++page) {
                read = preview->LoadPage(page, kWalkPage, rows);
                for (int r = 0; read && r < rows.RowCount(); ++r)
                    rest.append(rows.Row(r).mid(0, 3).join(u'|'));
            }
            if (control) {
                EXPECT_TRUE(read) << preview->GetLastError().toStdString();
                continue;
            }
            ASSERT_FALSE(read);
            EXPECT_EQ(preview->GetLastError(), changedMessage);
            // From here on, the rows as they are now: the pages as print has them now.
            const QStringList printed = Printed(ds);
            QStringList now;
            ASSERT_TRUE(ReadWalkPages(*preview, 1, kTiedRecords / kWalkPage, now))
                << preview->GetLastError().toStdString();
            EXPECT_EQ(now, printed);
        }
    }
}
