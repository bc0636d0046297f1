// A preview left open holds nothing another client waits for: the walk gives its server
// transaction back as soon as another session waits for one of its locks, and in any case after
// a bounded idle time (a few seconds on a standby), and the next page runs it again with the
// same rows and no message; rows that tie in the order and come back in another order are no change.
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "platform/db/DbWait.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

constexpr int kIdlePage = 25;
constexpr int kIdleRows = 200;
const QString kGoodsName = QStringLiteral("货品");

// A table of kIdleRows rows (id, item) of the test's own on a server, dropped when it ends.
class IdleWalkTable
{
public:
    IdleWalkTable(const DbServerSettings& server, bool postgres, int rows = kIdleRows)
        : m_server(server), m_postgres(postgres)
        , m_name(QStringLiteral("vc_idle_") + QUuid::createUuid().toString(QUuid::Id128).left(12))
    {
        const QString make = postgres
            ? QStringLiteral("create table %1 (id int primary key, item text); insert into %1 "
                             "select i, 'item' || i from generate_series(1, %2) i")
            : QStringLiteral("set max_recursive_iterations = 1000000; create table %1 (id int primary key, item "
                             "varchar(20)); insert into %1 with recursive n(i) as (select 1 union all select i + 1 "
                             "from n where i < %2) select i, concat('item', i) from n");
        m_error = WriteOnTestServer(server, postgres, make.arg(m_name).arg(rows));
    }
    ~IdleWalkTable() { WriteOnTestServer(m_server, m_postgres, QStringLiteral("drop table if exists %1").arg(m_name)); }
    IdleWalkTable(const IdleWalkTable&) = delete;
    IdleWalkTable& operator=(const IdleWalkTable&) = delete;

    const QString& Name() const { return m_name; }
    const QString& Error() const { return m_error; }

private:
    DbServerSettings m_server;
    bool m_postgres;
    QString m_name;
    QString m_error;
};

std::unique_ptr<CDSBase> IdleWalkSource(const DbServerSettings& server, bool postgres, bool odbc, const QString& table)
{
    std::unique_ptr<CDSBase> ds = ServerSource(server, postgres, odbc);
    ds->m_strName = kGoodsName;
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = QStringLiteral("select item, id from %1 order by id").arg(table);
    ds->m_selectedFields = QStringList {"item", "id"};
    return ds;
}

std::unique_ptr<CDLBase> IdlePreview(const CDSBase& ds)
{
    std::unique_ptr<CDLBase> preview = CDLBase::CreateLoader(ds.GetType());
    preview->SetDataSource(&ds);
    preview->SetBrowsedLoads(true);
    return preview;
}

// Page `page` shows ids from..from+24 as the table was written: empty, or what is wrong.
QString PageShows(CDLBase& preview, int page)
{
    LoaderRow shown;
    if (!preview.LoadPage(page, kIdlePage, shown))
        return QStringLiteral("page %1: %2").arg(page).arg(preview.GetLastError());
    const int first = (page - 1) * kIdlePage + 1;
    const int count = std::min(kIdlePage, kIdleRows - first + 1);
    if (shown.RowCount() != count)
        return QStringLiteral("page %1 holds %2 rows").arg(page).arg(shown.RowCount());
    for (int r = 0; r < count; ++r)
        if (shown.Value(r, 1).toInt() != first + r)
            return QStringLiteral("page %1 row %2 is id %3").arg(page).arg(r).arg(shown.Value(r, 1));
    return {};
}

// The watch's limits while the object lives.
class WatchLimits : public ScopedDbLimits
{
public:
    WatchLimits(int watchMs, int walkIdleMs, int standbyIdleMs)
        : ScopedDbLimits([=](DbLimits& limits) {
            limits.watchMs = watchMs;
            limits.walkIdleMs = walkIdleMs;
            limits.standbyIdleMs = standbyIdleMs;
        })
    {
    }
};

// Another client's ALTER of the table, and a plain read of it started while the ALTER waits, each
// under the server's own limit of limitSeconds: empty when both finished, else the clients' words.
QString AlterAndReadBehindIt(const DbServerSettings& s, bool postgres, const QString& table, int limitSeconds)
{
    const QString limit = postgres ? QStringLiteral("set lock_timeout = '%1s'; set statement_timeout = '%1s'; ")
                                   : QStringLiteral("set session lock_wait_timeout = %1; set session "
                                                    "max_statement_time = %1; ");
    const QString column = QStringLiteral("extra_") + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QString alterError;
    QThread* alter = QThread::create([&] {
        alterError = WriteOnTestServer(s, postgres,
            limit.arg(limitSeconds) + QStringLiteral("alter table %1 add column %2 int").arg(table, column));
    });
    alter->start();
    QThread::msleep(300); // the ALTER queues first, most often; the read waits behind it then
    const QString readError
        = WriteOnTestServer(s, postgres, limit.arg(limitSeconds) + QStringLiteral("select count(*) from %1").arg(table));
    alter->wait();
    delete alter;
    return alterError + readError;
}

struct IdleRoute
{
    const char* name;
    const char* prefix;
    bool postgres;
    bool odbc;
};

const IdleRoute kIdleRoutes[] = {
    {"PostgreSQL", "VC_PG", true, false},
    {"psqlODBC", "VC_PG", true, true},
    {"MariaDB", "VC_MY", false, false},
    {"MariaDB ODBC string", "VC_MY", false, true},
};

// The sessions of this suite carry this name (TestSessionName).
constexpr char kIdleSessionName[] = "vc_idle_walk";

// The metadata locks MariaDB holds on the table (scripts/dbservers.sh installs the plugin that
// lists them).
QString MetadataLocksOf(const DbServerSettings& s, const QString& table)
{
    return ReadOnTestServer(s, false,
        QStringLiteral("select count(*) from information_schema.metadata_lock_info where table_name = '%1'").arg(table));
}

// Ends the preview's sessions of this suite from another connection.
void EndPreviewSessions(const DbServerSettings& s)
{
    ASSERT_NE(ReadOnTestServer(s, true,
                  QStringLiteral("select count(pg_terminate_backend(pid)) from pg_stat_activity where "
                                 "application_name = '%1' and pid <> pg_backend_pid()")
                      .arg(QLatin1String(kIdleSessionName))),
        "0");
}

// Waits, up to a minute, for answer() to be expected; the last answer.
QString AnswerOnceItIs(const std::function<QString()>& answer, const QString& expected)
{
    QElapsedTimer watchdog;
    watchdog.start();
    QString last = answer();
    while (last != expected && watchdog.elapsed() < 60000) {
        QThread::msleep(200);
        last = answer();
    }
    return last;
}

} // namespace

TEST(BrowsedIdleWalk, AnAlterAndTheReadsQueuedBehindItGoOnWhileAPreviewIdlesOnEveryRoute)
{
    const TestSessionName named(kIdleSessionName);
    for (const IdleRoute& route : kIdleRoutes) {
        SCOPED_TRACE(route.name);
        VC_TEST_SERVER(server, route.prefix);
        for (const bool watched : {true, false}) {
            SCOPED_TRACE(watched ? "watched" : "the control: never watched");
            // The control's walk is never asked about, and the other client gives up soon.
            const WatchLimits limits(watched ? 500 : 600000, 600000, 600000);
            const IdleWalkTable table(server, route.postgres);
            ASSERT_EQ(table.Error(), "");
            const std::unique_ptr<CDSBase> ds = IdleWalkSource(server, route.postgres, route.odbc, table.Name());
            const std::unique_ptr<CDLBase> preview = IdlePreview(*ds);
            ASSERT_EQ(PageShows(*preview, 1), "");
            const QString other = AlterAndReadBehindIt(server, route.postgres, table.Name(), watched ? 30 : 2);
            if (!watched) {
                EXPECT_NE(other, "");
                continue;
            }
            EXPECT_EQ(other, "");
            // The pages go on, the walk run again, with no message.
            for (const int page : {2, 3, 8, 1})
                EXPECT_EQ(PageShows(*preview, page), "");
        }
    }
}

TEST(BrowsedIdleWalk, PastTheIdleBoundNoLockOrSnapshotOfThePreviewIsLeft)
{
    VC_TEST_SERVER(server, "VC_PG");
    VC_TEST_SERVER(maria, "VC_MY");
    const TestSessionName named(kIdleSessionName);
    const IdleWalkTable table(server, true);
    ASSERT_EQ(table.Error(), "");
    const IdleWalkTable myTable(maria, false);
    ASSERT_EQ(myTable.Error(), "");
    // What the preview holds on the server: PostgreSQL's locks and snapshot, seen on the server
    // itself whichever route the preview takes; MariaDB's metadata lock of the table.
    const auto pgHeld = [&] { return HeldBySessions(server, kIdleSessionName); };
    const auto myHeld = [&] { return MetadataLocksOf(maria, myTable.Name()); };
    for (const IdleRoute& route : kIdleRoutes) {
        // Through PgBouncer psqlODBC walks in a transaction of its own cursor; the program's own
        // client has read so few rows whole.
        const std::vector<std::pair<const char*, DbServerSettings>> ways = !route.postgres
            ? std::vector<std::pair<const char*, DbServerSettings>> {{"direct", maria}}
            : route.odbc ? DirectAndPooledRoutes(server)
                         : std::vector<std::pair<const char*, DbServerSettings>> {{"direct", server}};
        for (const auto& [way, reached] : ways) {
            SCOPED_TRACE(std::string(route.name) + ", " + way);
            const std::unique_ptr<CDSBase> ds
                = IdleWalkSource(reached, route.postgres, route.odbc, route.postgres ? table.Name() : myTable.Name());
            const std::unique_ptr<CDLBase> preview = IdlePreview(*ds);
            const std::function<QString()> held
                = route.postgres ? std::function<QString()>(pgHeld) : std::function<QString()>(myHeld);
            {
                // The control: within the bound, the walk holds its transaction.
                const WatchLimits limits(500, 600000, 600000);
                ASSERT_EQ(PageShows(*preview, 2), "");
                EXPECT_EQ(held(), "1");
            }
            {
                const WatchLimits limits(500, 1000, 600000);
                EXPECT_EQ(AnswerOnceItIs(held, "0"), "0");
            }
            EXPECT_EQ(PageShows(*preview, 3), "");
            EXPECT_EQ(PageShows(*preview, 2), "");
        }
    }
}

TEST(BrowsedIdleWalk, OnAStandbyReplayCatchesUpWhileAPreviewIsOpenThere)
{
    VC_TEST_SERVER(primary, "VC_PG");
    VC_TEST_SERVER(standby, "VC_PGS");
    const TestSessionName named(kIdleSessionName);
    const IdleWalkTable table(primary, true);
    ASSERT_EQ(table.Error(), "");
    const QString replayed = QStringLiteral("select count(*) from pg_class where relname = '%1'").arg(table.Name());
    ASSERT_EQ(AnswerOnceItIs([&] { return ReadOnTestServer(standby, true, replayed); }, "1"), "1");
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "psqlODBC" : "native");
        const std::unique_ptr<CDSBase> ds = IdleWalkSource(standby, true, odbc, table.Name());
        const std::unique_ptr<CDLBase> preview = IdlePreview(*ds);
        ASSERT_EQ(PageShows(*preview, 1), "");
        // The ALTER's lock waits in the standby's replay for the preview's, past everything the
        // primary writes after it, until the walk gives it back (the server's own limit is 30 s).
        const QString column = QStringLiteral("extra_") + QUuid::createUuid().toString(QUuid::Id128).left(8);
        ASSERT_EQ(WriteOnTestServer(primary, true, QStringLiteral("alter table %1 add column %2 int").arg(table.Name(), column)),
            "");
        QElapsedTimer replay;
        replay.start();
        const QString added = QStringLiteral("select count(*) from information_schema.columns where table_name = '%1' "
                                             "and column_name = '%2'")
                                  .arg(table.Name(), column);
        EXPECT_EQ(AnswerOnceItIs([&] { return ReadOnTestServer(standby, true, added); }, "1"), "1");
        // Caught up before the server's limit would have ended the walk: it was given back.
        EXPECT_LT(replay.elapsed(), 25000);
        EXPECT_EQ(PageShows(*preview, 2), "");
        EXPECT_EQ(PageShows(*preview, 1), "");
    }
}

// An unchanged table whose rows tie in the order, laid out anew on the server between two runs of
// the walk (CLUSTER), so that the run again gives the tied rows in another order: no message, and
// every record shows once over all the pages, those shown before as they were. The control: a shown
// row changed meanwhile is told.
TEST(BrowsedIdleWalk, TiesInAnotherOrderAfterARunAgainAreNoChange)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kIdleSessionName);
    constexpr int rows = 2000;
    const QString changedMessage
        = QStringLiteral("数据源“货品”的记录在预览期间有了变化，预览将从现在的记录重新开始，请重新翻页。");
    for (const auto& [route, reached] : DirectAndPooledRoutes(server)) {
        for (const bool changed : {false, true}) {
            SCOPED_TRACE(route);
            SCOPED_TRACE(changed ? "the control: a shown row changed" : "ties reordered");
            const IdleWalkTable table(server, true, rows);
            ASSERT_EQ(table.Error(), "");
            ASSERT_EQ(WriteOnTestServer(server, true,
                          QStringLiteral("create index %1_back on %1 ((-id)); cluster %1 using %1_back; analyze %1")
                              .arg(table.Name())),
                "");
            CPostgreSQLDS ds;
            StoreLogin(ds, reached);
            ds.m_strName = kGoodsName;
            ds.m_nRangeMode = RangeSQL;
            // Five values of the order, 400 rows each; 40 MB, more than the sockets hold, so that the
            // walk through the pooler is still under way when its session ends.
            ds.m_strSQL = QStringLiteral("select item, id % 5 as kind, rpad('x', 20000, '.') as wide from %1 order by kind")
                              .arg(table.Name());
            ds.m_selectedFields = QStringList {"item", "kind"};
            const std::unique_ptr<CDLBase> preview = IdlePreview(ds);
            LoaderRow page;
            QStringList before;
            for (int p = 1; p <= 4; ++p) {
                ASSERT_TRUE(preview->LoadPage(p, kIdlePage, page)) << preview->GetLastError().toStdString();
                for (int r = 0; r < page.RowCount(); ++r)
                    before.append(page.Value(r, 0));
            }
            // The heap laid out the other way round: the sort meets the tied rows in another order.
            const QString relaid = changed
                ? QStringLiteral("update %1 set item = item || '*' where item = '%2'").arg(table.Name(), before[30])
                : QStringLiteral("create index %1_fore on %1 (id); cluster %1 using %1_fore").arg(table.Name());
            // Ended first: through the pooler the walk still streams, and holds the table meanwhile.
            EndPreviewSessions(server);
            ASSERT_EQ(WriteOnTestServer(server, true, relaid), "");
            QStringList all;
            bool read = true;
            for (int p = 5; read && p <= rows / kIdlePage; ++p) {
                read = preview->LoadPage(p, kIdlePage, page);
                for (int r = 0; read && r < page.RowCount(); ++r)
                    all.append(page.Value(r, 0));
            }
            if (changed) {
                EXPECT_FALSE(read);
                EXPECT_EQ(preview->GetLastError(), changedMessage);
                continue;
            }
            ASSERT_TRUE(read) << preview->GetLastError().toStdString();
            QStringList again;
            for (int p = 1; p <= 4; ++p) {
                ASSERT_TRUE(preview->LoadPage(p, kIdlePage, page)) << preview->GetLastError().toStdString();
                for (int r = 0; r < page.RowCount(); ++r)
                    again.append(page.Value(r, 0));
            }
            // The pages shown stay, and the rest is every other record once.
            EXPECT_EQ(again, before);
            all += again;
            all.sort();
            EXPECT_EQ(all.size(), rows);
            EXPECT_EQ(all.removeDuplicates(), 0);
        }
    }
}

// Where the watch cannot see who waits for the walk (every route through PgBouncer; a MariaDB
// login without the PROCESS privilege, which sees its own sessions alone, natively and through an
// ODBC string) the walk is given back past the short idle bound: another login's ALTER, and the
// reads queued behind it, go on within seconds, and the pages go on. The control: with that bound
// long, the ALTER gives up waiting.
TEST(BrowsedIdleWalk, WhereWaitersCannotBeSeenTheWalkIsGivenBackPastTheShortBound)
{
    VC_TEST_SERVER(server, "VC_PG");
    VC_TEST_SERVER(maria, "VC_MY");
    const TestSessionName named("vc_unseen_walk");
    struct UnseenRoute
    {
        std::string name;
        DbServerSettings reached;
        bool postgres;
        bool odbc;
        bool holds; // the walk holds the table while it idles (the control's ALTER waits)
    };
    std::vector<UnseenRoute> routes;
    DbServerSettings reader = maria;
    reader.user = QStringLiteral("vc_reader");
    reader.password = QStringLiteral("reader pass");
    routes.push_back({"MariaDB, a login without PROCESS", reader, false, false, true});
    routes.push_back({"MariaDB ODBC string, a login without PROCESS", reader, false, true, true});
    if (const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB")) {
        for (const auto& [pool, database] : {std::pair<const char*, QString> {"session", server.database},
                 {"transaction", qEnvironmentVariable("VC_PGB_TRANSACTION_DATABASE")},
                 {"statement", qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE")}}) {
            DbServerSettings through = server;
            through.port = pooler->port;
            through.database = database;
            for (const bool odbc : {false, true})
                // psqlODBC holds the whole result of a statement pool's walk, and with it nothing.
                routes.push_back({std::string(odbc ? "psqlODBC" : "libpq") + " through PgBouncer, " + pool + " pooling",
                    through, true, odbc, !odbc || QByteArray(pool) != "statement"});
        }
    } else if (qEnvironmentVariableIsSet("VC_REQUIRE_DB")) {
        FAIL() << "VC_PGB_* settings are missing although the database servers are required";
    }
    for (const UnseenRoute& route : routes) {
        SCOPED_TRACE(route.name);
        for (const bool shortBound : {true, false}) {
            if (!shortBound && !route.holds)
                continue;
            SCOPED_TRACE(shortBound ? "the short bound" : "the control: a long bound");
            const WatchLimits limits(300, 600000, shortBound ? 1000 : 600000);
            const IdleWalkTable table(route.postgres ? server : maria, route.postgres);
            ASSERT_EQ(table.Error(), "");
            const std::unique_ptr<CDSBase> ds = IdleWalkSource(route.reached, route.postgres, route.odbc, table.Name());
            // 40 MB of rows, more than the sockets hold: a statement streamed by itself is still under
            // way after page 1.
            if (route.postgres)
                ds->m_strSQL = QStringLiteral("select item, id, rpad('x', 200000, '.') as wide from %1 order by id")
                                   .arg(table.Name());
            const std::unique_ptr<CDLBase> preview = IdlePreview(*ds);
            ASSERT_EQ(PageShows(*preview, 1), "");
            const QString other
                = AlterAndReadBehindIt(route.postgres ? server : maria, route.postgres, table.Name(), shortBound ? 30 : 2);
            if (!shortBound) {
                EXPECT_NE(other, "");
                continue;
            }
            EXPECT_EQ(other, "");
            for (const int page : {2, 3, 8, 1})
                EXPECT_EQ(PageShows(*preview, page), "");
        }
    }
}
