#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "FakeDbServer.h"
#include "ScriptedMyServer.h"
#include "ScriptedPgServer.h"
#include "SQLiteFile.h"
#include "WorkbookFixtures.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

namespace {

// The steps these tests end never end by themselves: one held to its limit or cancelled
// ends long before this, however loaded the machine.
constexpr qint64 kLongBeforeForever = 30000;

constexpr char kEndless[] = "with recursive c(x) as (select 1 union all select x+1 from c) select x as a from c";

// Short limits for one test, the program's own restored after it.
class DbWaitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = GetDbLimits();
        DbLimits limits;
        // A connect a test needs may take long on a loaded machine; the tests of the connect
        // limit set it short themselves.
        limits.connectMs = 60000;
        limits.statementMs = 1500;
        limits.graceMs = 1500;
        SetDbLimits(limits);
    }
    void TearDown() override
    {
        InstallDbWaiter(m_previousWaiter);
        SetDbLimits(m_saved);
    }
    void Limit(const std::function<void(DbLimits&)>& change)
    {
        DbLimits limits = GetDbLimits();
        change(limits);
        SetDbLimits(limits);
    }
    QString SQLitePath()
    {
        const QString path = m_dir.filePath("a.sqlite");
        if (!QFile::exists(path)) {
            EXPECT_TRUE(WriteSQLiteFile(path, "create table t(a); insert into t values (1),(2);"));
        }
        return path;
    }

    // A waiter that presses 取消 once the step has run for cancelAfterMs, and notes how long
    // each step had run when it reached the waiter.
    class CancellingWaiter : public DbWaiter
    {
    public:
        explicit CancellingWaiter(int cancelAfterMs) : m_after(cancelAfterMs) {}
        void Wait(DbPendingStep& step) override
        {
            reachedAfter.push_back(step.Elapsed());
            texts.append(step.Text());
            while (!step.Check()) {
                if (m_after >= 0 && !cancelled.isValid() && step.Elapsed().count() >= m_after) {
                    step.Cancel();
                    cancelled.start();
                }
                step.WaitDone(DbPendingStep::CheckInterval);
            }
        }
        std::vector<std::chrono::milliseconds> reachedAfter;
        QStringList texts;
        QElapsedTimer cancelled;

    private:
        int m_after;
    };
    CancellingWaiter& Cancelling(int afterMs)
    {
        auto waiter = std::make_unique<CancellingWaiter>(afterMs);
        DbWaiter* previous = InstallDbWaiter(waiter.get());
        if (!m_installed)
            m_previousWaiter = previous;
        m_installed = true;
        m_waiter = std::move(waiter);
        return *m_waiter;
    }

    QTemporaryDir m_dir;
    DbLimits m_saved;
    DbWaiter* m_previousWaiter = nullptr;
    bool m_installed = false;
    std::unique_ptr<CancellingWaiter> m_waiter;
};

TEST_F(DbWaitTest, AnEndlessStatementStopsAtItsLimitAndTheConnectionGoesOn)
{
    CancellingWaiter& waiter = Cancelling(-1);
    const DbSourceScope scope(QStringLiteral("标签数据"));
    auto db = DbConnection::OpenSQLite(SQLitePath());
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    // How fast the open and this statement are is the machine's affair: a loaded one may take
    // them to the waiter (see below).
    DbRows rows;
    ASSERT_TRUE(db->Query("select a from t", rows));
    waiter.texts.clear();

    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(db->Query(kEndless, rows));
    EXPECT_LT(clock.elapsed(), kLongBeforeForever);
    EXPECT_TRUE(db->Stopped());
    EXPECT_EQ(db->LastError(), QStringLiteral("读取数据源“标签数据”的记录超过了 2 秒的时限，已停止。"));
    EXPECT_EQ(waiter.texts, QStringList {QStringLiteral("正在读取数据源“标签数据”的记录…")});
    // A step reaches the waiter only once it has run for the check interval, so a fast one
    // costs none.
    ASSERT_FALSE(waiter.reachedAfter.empty());
    for (const std::chrono::milliseconds reached : waiter.reachedAfter)
        EXPECT_GE(reached, DbPendingStep::CheckInterval);
    ASSERT_TRUE(db->IsOpen());
    ASSERT_TRUE(db->Query("select count(*) from t", rows));
    EXPECT_FALSE(db->Stopped());
    EXPECT_EQ(rows.Value(0, 0), "2");

    // A walk stops the same way, slice by slice.
    std::unique_ptr<DbCursor> cursor = db->OpenCursor(kEndless);
    ASSERT_TRUE(cursor->Fetch(3, rows));
    EXPECT_EQ(rows.Value(2, 0), "3");
    clock.restart();
    EXPECT_FALSE(cursor->Skip(std::numeric_limits<qint64>::max()));
    EXPECT_LT(clock.elapsed(), kLongBeforeForever);
    EXPECT_TRUE(cursor->Stopped());
}

TEST_F(DbWaitTest, CancelEndsAStatementOnEveryStagedAndNativeRoute)
{
    Limit([](DbLimits& l) { l.statementMs = 60000; });
    const QString workbook = m_dir.filePath("book.xlsx");
    ASSERT_TRUE(WriteTestXlsx(workbook));
    const QString odbc = QStringLiteral("Driver=SQLite3;Database=%1;").arg(SQLitePath());
    const std::pair<const char*, std::function<std::unique_ptr<DbConnection>()>> routes[] = {
        {"sqlite", [&] { return DbConnection::OpenSQLite(SQLitePath()); }},
        {"odbc sqlite", [&] { return DbConnection::OpenOdbc(odbc, "s"); }},
        {"excel", [&] { return DbConnection::OpenExcel(workbook, true); }},
    };
    for (const auto& [name, open] : routes) {
        SCOPED_TRACE(name);
        auto db = open();
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        // Pressed on the statement only: a slow machine's open must not meet it.
        CancellingWaiter& waiter = Cancelling(300);
        DbRows rows;
        EXPECT_FALSE(db->Query(kEndless, rows));
        ASSERT_TRUE(waiter.cancelled.isValid());
        EXPECT_LT(waiter.cancelled.elapsed(), kLongBeforeForever);
        EXPECT_TRUE(db->Stopped());
        EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("已取消读取数据源"))) << db->LastError().toStdString();
        EXPECT_TRUE(db->Query("select 1", rows)) << db->LastError().toStdString();
    }
}

TEST_F(DbWaitTest, TemporaryStorageIsCappedAndGivenBack)
{
    Limit([](DbLimits& l) {
        l.statementMs = 60000;
        l.tempBytes = 4 << 20;
    });
    auto db = DbConnection::OpenSQLite(SQLitePath());
    DbRows rows;
    const QString growing = QStringLiteral(
        "with recursive c(x) as (select 1 union all select x+1 from c) select distinct randomblob(500) from c");
    EXPECT_FALSE(db->Query(growing, rows));
    EXPECT_FALSE(db->Stopped());
    EXPECT_EQ(db->LastError(), QStringLiteral("语句需要的临时存储超过了 4 MB 的上限。"));
    // What the failed statement held is counted off again: a smaller one fits.
    const QString fits = QStringLiteral("with recursive c(x) as (select 1 union all select x+1 from c where x < 2000) "
                                        "select count(*) from (select distinct randomblob(500) from c)");
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(db->Query(fits, rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "2000");
    }
}

TEST_F(DbWaitTest, ASilentPostgreSQLServerEndsAtTheLimits)
{
    FakeDbServer server(FakeDbServer::Protocol::PostgreSQL);
    DbServerSettings settings {"127.0.0.1", server.Port(), "db", "u", "p"};
    QElapsedTimer clock;
    clock.start();
    auto db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    EXPECT_FALSE(db->Query("select 1", rows));
    EXPECT_LT(clock.elapsed(), kLongBeforeForever);
    EXPECT_TRUE(db->Stopped());
    // Every statement goes inside a transaction that only reads, all of it at once; no answer came.
    const QByteArray first = "select set_config('transaction_read_only', 'on', true), "
                                "set_config('statement_timeout', '"
        + QByteArray::number(GetDbLimits().statementMs) + "', true)";
    EXPECT_EQ(server.Statements(), (QList<QByteArray> {first, "select 1", "ROLLBACK"}));

    // Pressed 取消 instead: the cancel request reaches the server at once.
    Limit([](DbLimits& l) { l.statementMs = 60000; });
    db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen());
    CancellingWaiter& waiter = Cancelling(200);
    EXPECT_FALSE(db->Query("select 2", rows));
    EXPECT_LT(waiter.cancelled.elapsed(), kLongBeforeForever);
    EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("已取消"))) << db->LastError().toStdString();
    EXPECT_GE(server.CancelRequests(), 1);
}

// A server that answers with rows and never ends them, whatever it is asked, is told apart
// from one that says nothing: both are cut off at the limit (or after 取消), the first
// reported as sending on, the second as not answering, whether the program's own client or
// the given-up step ends the connection. A real server's rows stopped at the limit end the
// statement alone.
TEST_F(DbWaitTest, AServerThatKeepsSendingRowsIsToldApartFromASilentOne)
{
    Limit([](DbLimits& l) { l.statementMs = 500; });
    const DbSourceScope scope(QStringLiteral("库存"));
    const QString limitPassed = QStringLiteral("读取数据源“库存”的记录超过了 1 秒的时限，已停止。");
    const QString silent = limitPassed + QStringLiteral("数据库没有响应，连接已断开。");
    const QString sending = limitPassed + QStringLiteral("数据库在时限过后仍不停地发送记录，连接已断开。");
    ScriptedPgServer::Script endless;
    endless.rows = -1;
    endless.valueBytes = 1;
    ScriptedPgServer streaming(endless, false);
    FakeDbServer mute(FakeDbServer::Protocol::PostgreSQL);
    const DbServerSettings quiet {"127.0.0.1", mute.Port(), "db", "u", "p"};
    struct Case
    {
        const char* name;
        DbServerSettings server;
        qint64 maxRows; // -1: all; a preview asks for a few and cancels the rest
        bool cursor;
        int graceMs; // shorter than the client's second: the step is given up first
        QString error;
    };
    const Case cases[] = {
        {"silent", quiet, -1, false, 1500, silent},
        {"silent, given up", quiet, -1, false, 250, silent},
        {"streaming, every row", streaming.Settings(), -1, false, 1500, sending},
        {"streaming, a preview's rows", streaming.Settings(), 5, false, 1500, sending},
        {"streaming, a walk", streaming.Settings(), -1, true, 1500, sending},
        {"streaming, given up", streaming.Settings(), -1, false, 250, sending},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Limit([&](DbLimits& l) { l.graceMs = c.graceMs; });
        auto db = DbConnection::OpenPostgreSQL(c.server);
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        QElapsedTimer clock;
        clock.start();
        DbRows rows;
        if (c.cursor) {
            std::unique_ptr<DbCursor> cursor = db->OpenCursor("select big");
            EXPECT_FALSE(cursor->Skip(std::numeric_limits<qint64>::max()));
            EXPECT_TRUE(cursor->Stopped());
            EXPECT_EQ(cursor->LastError(), c.error);
            EXPECT_FALSE(cursor->Fetch(1, rows)); // nothing more comes of it
            EXPECT_EQ(cursor->LastError(), c.error);
        } else {
            EXPECT_FALSE(db->Query("select big", rows, 0, c.maxRows));
            EXPECT_TRUE(db->Stopped());
            EXPECT_EQ(db->LastError(), c.error);
        }
        EXPECT_LT(clock.elapsed(), kLongBeforeForever);
        // The connection that was cut is not used again.
        EXPECT_FALSE(db->Query("select 1", rows));
        EXPECT_EQ(db->LastError(), QStringLiteral("未连接数据库"));
    }
    EXPECT_GE(streaming.Cancels(), 1);

    // 取消 pressed while the rows pour in.
    Limit([](DbLimits& l) { l.statementMs = 60000; });
    auto db = DbConnection::OpenPostgreSQL(streaming.Settings());
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    Cancelling(300);
    DbRows rows;
    EXPECT_FALSE(db->Query("select big", rows));
    EXPECT_EQ(db->LastError(), QStringLiteral("已取消读取数据源“库存”的记录。数据库在取消后仍不停地发送记录，连接已断开。"));
}

// The same on MariaDB: a server that goes on sending rows after KILL QUERY is reported as
// sending on, one that answers nothing as not answering, whether every row is read or a walk's.
TEST_F(DbWaitTest, AMariaDBServerThatKeepsSendingRowsIsToldApartFromASilentOne)
{
    Limit([](DbLimits& l) { l.statementMs = 500; });
    const DbSourceScope scope(QStringLiteral("库存"));
    const QString limitPassed = QStringLiteral("读取数据源“库存”的记录超过了 1 秒的时限，已停止。");
    const QString sending = limitPassed + QStringLiteral("数据库在时限过后仍不停地发送记录，连接已断开。");
    ScriptedMyServer server;
    struct Case
    {
        const char* sql;
        bool cursor;
        bool sends;
    };
    for (const Case& c : {Case {"select endless", false, true}, Case {"select endless", true, true},
             Case {"select silent", false, false}}) {
        SCOPED_TRACE(std::string(c.sql) + (c.cursor ? " (cursor)" : ""));
        auto db = DbConnection::OpenMySQL(server.Settings());
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        QElapsedTimer clock;
        clock.start();
        DbRows rows;
        QString error;
        if (c.cursor) {
            std::unique_ptr<DbCursor> cursor = db->OpenCursor(c.sql);
            EXPECT_FALSE(cursor->Skip(std::numeric_limits<qint64>::max()));
            EXPECT_TRUE(cursor->Stopped());
            error = cursor->LastError();
        } else {
            EXPECT_FALSE(db->Query(c.sql, rows));
            EXPECT_TRUE(db->Stopped());
            error = db->LastError();
        }
        EXPECT_LT(clock.elapsed(), kLongBeforeForever);
        if (c.sends) {
            EXPECT_EQ(error, sending);
            // The connection that was cut is not used again.
            EXPECT_FALSE(db->Query("select 1", rows));
            EXPECT_EQ(db->LastError(), QStringLiteral("未连接数据库"));
        } else {
            EXPECT_TRUE(error.startsWith(limitPassed)) << error.toStdString();
            EXPECT_FALSE(error.contains(QStringLiteral("发送"))) << error.toStdString();
        }
    }
    EXPECT_GE(server.Kills(), 2);
}

// A real server's rows stopped at the limit end with the statement, which is all the
// message says: the connection goes on.
TEST_F(DbWaitTest, RowsOfARealServerStoppedAtTheLimitEndWithTheStatement)
{
    VC_TEST_SERVER(pg, "VC_PG");
    const DbSourceScope scope(QStringLiteral("库存"));
    auto db = DbConnection::OpenPostgreSQL(pg);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    EXPECT_FALSE(db->Query("select x, pg_sleep(0.001) from (select generate_series(1, 100000000) x) s", rows));
    EXPECT_EQ(db->LastError(), QStringLiteral("读取数据源“库存”的记录超过了 2 秒的时限，已停止。"));
    ASSERT_TRUE(db->Query("select 7", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "7");
}

// A statement stopped at its limit is cancelled by the client and by the waiter, each on its
// own thread; none of those cancels reaches the statements after it on the connection, a
// preview's few rows or a whole query.
TEST_F(DbWaitTest, TheCancelsOfAStoppedStatementNeverReachTheNext)
{
    VC_TEST_SERVER(pg, "VC_PG");
    Limit([](DbLimits& l) { l.graceMs = 2000; });
    const DbSourceScope scope(QStringLiteral("库存"));
    auto db = DbConnection::OpenPostgreSQL(pg);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        DbRows rows;
        // The limit for the sleep alone: the statements after it must not race it.
        Limit([](DbLimits& l) { l.statementMs = 1000; });
        EXPECT_FALSE(db->Query("select pg_sleep(5)", rows));
        Limit([](DbLimits& l) { l.statementMs = 60000; });
        EXPECT_TRUE(db->Stopped());
        EXPECT_EQ(db->LastError(), QStringLiteral("读取数据源“库存”的记录超过了 1 秒的时限，已停止。"));
        const char* next = round % 2 ? "select generate_series(1, 5) as n" : "select generate_series(1, 50) as n";
        ASSERT_TRUE(db->Query(next, rows, 0, 5)) << db->LastError().toStdString();
        EXPECT_EQ(rows.RowCount(), 5);
        EXPECT_EQ(rows.Value(4, 0), "5");
    }

    // A cancel that is not the program's own is told as the server's, not in libpq's words alone.
    DbRows rows;
    ASSERT_TRUE(db->Query("select pg_backend_pid()", rows)) << db->LastError().toStdString();
    Limit([](DbLimits& l) { l.statementMs = 120000; });
    QProcess other;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), pg.password);
    other.setProcessEnvironment(env);
    // Cancels the sleep once it runs, however long the sleep takes to start.
    const QString pid = rows.Value(0, 0);
    other.start(QStringLiteral("psql"), {"-X", "-q", "-h", pg.host, "-p", QString::number(pg.port), "-U", pg.user,
        "-d", pg.database, "-c",
        "do $$ begin while not exists (select 1 from pg_stat_activity where pid = " + pid
            + " and state = 'active' and query like '%pg_sleep(60)%') loop perform pg_sleep(0.05); "
              "perform pg_stat_clear_snapshot(); end loop; end $$",
        "-c", "select pg_cancel_backend(" + pid + ")"});
    EXPECT_FALSE(db->Query("select pg_sleep(60)", rows));
    EXPECT_TRUE(other.waitForFinished(120000));
    EXPECT_FALSE(db->Stopped());
    EXPECT_EQ(db->LastError(), QStringLiteral("PostgreSQL服务器取消了语句：ERROR:  canceling statement due to user request"));
    ASSERT_TRUE(db->Query("select 7", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "7");
}

TEST_F(DbWaitTest, AHostListHasOneConnectLimitForAllItsHosts)
{
    Limit([](DbLimits& l) { l.connectMs = 1500; });
    FakeDbServer mute(FakeDbServer::Protocol::Mute);
    QStringList hosts;
    for (int i = 0; i < 6; ++i)
        hosts << QStringLiteral("127.0.0.1");
    QElapsedTimer clock;
    clock.start();
    auto db = DbConnection::OpenPostgreSQL({hosts.join(u','), mute.Port(), "db", "u", "p"});
    EXPECT_FALSE(db->IsOpen());
    EXPECT_LT(clock.elapsed(), kLongBeforeForever);
    // The whole limit went on the first host, however long the machine took: no other host of
    // the list was tried (a limit for each would have knocked six times).
    QElapsedTimer watchdog;
    watchdog.start();
    while (mute.Connections() == 0 && watchdog.elapsed() < kLongBeforeForever)
        QThread::msleep(10);
    EXPECT_EQ(mute.Connections(), 1);
    EXPECT_TRUE(db->Stopped());
    EXPECT_EQ(db->LastError(), QStringLiteral("连接数据库“db”超过了 2 秒的时限，已停止。"));
    EXPECT_EQ(mute.Logins(), 0);
}

TEST_F(DbWaitTest, ASilentMySQLServerEndsWithinTheLimits)
{
    Limit([](DbLimits& l) { l.connectMs = 1500; });
    FakeDbServer server(FakeDbServer::Protocol::MySQL);
    QElapsedTimer clock;
    clock.start();
    auto db = DbConnection::OpenMySQL({"127.0.0.1", server.Port(), "db", "u", "p"});
    EXPECT_FALSE(db->IsOpen());
    EXPECT_LT(clock.elapsed(), kLongBeforeForever);
    EXPECT_TRUE(db->Stopped());
    EXPECT_GE(server.Logins(), 1);
    // The connection asked for its statement limit and the interrupt tried KILL QUERY.
    const QList<QByteArray> statements = server.Statements();
    ASSERT_FALSE(statements.isEmpty());
    EXPECT_TRUE(statements.first().startsWith("set session max_statement_time="));
}

TEST_F(DbWaitTest, NothingListensAndTheConnectFailsInTheDatabasesWords)
{
    auto db = DbConnection::OpenPostgreSQL({"127.0.0.1", ClosedLoopbackPort(), "db", "u", "p"});
    EXPECT_FALSE(db->IsOpen());
    EXPECT_FALSE(db->Stopped());
    EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("无法连接PostgreSQL数据库："))) << db->LastError().toStdString();
}

TEST_F(DbWaitTest, CancelStopsTheStatementOnTheRealServers)
{
    VC_TEST_SERVER(pg, "VC_PG");
    VC_TEST_SERVER(my, "VC_MY");
    Limit([](DbLimits& l) { l.statementMs = 60000; });
    struct Case
    {
        const char* name;
        std::function<std::unique_ptr<DbConnection>()> open;
        QString sleep;
        QString session; // the connection's own id on the server
        QString running; // counts the sleeping statements the session %1 still runs
    };
    const Case cases[] = {
        {"postgresql", [&] { return DbConnection::OpenPostgreSQL(pg); }, "select pg_sleep(3600)", "select pg_backend_pid()",
            "select count(*) from pg_stat_activity where pid = %1 and query = 'select pg_sleep(3600)' and state = 'active'"},
        {"mariadb", [&] { return DbConnection::OpenMySQL(my); }, "select sleep(3600)", "select connection_id()",
            "select count(*) from information_schema.processlist where id = %1 and info = 'select sleep(3600)'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto db = c.open();
        auto watcher = c.open();
        ASSERT_TRUE(db->IsOpen() && watcher->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        ASSERT_TRUE(db->Query(c.session, rows)) << db->LastError().toStdString();
        const QString running = c.running.arg(rows.Value(0, 0));
        CancellingWaiter& waiter = Cancelling(500);
        EXPECT_FALSE(db->Query(c.sleep, rows));
        EXPECT_LT(waiter.cancelled.elapsed(), kLongBeforeForever);
        EXPECT_TRUE(db->Stopped());
        InstallDbWaiter(nullptr);
        // The server ends it when it comes to the cancel: soon, however loaded it is.
        QElapsedTimer watchdog;
        watchdog.start();
        for (;;) {
            ASSERT_TRUE(watcher->Query(running, rows)) << watcher->LastError().toStdString();
            if (rows.Value(0, 0) == "0" || watchdog.elapsed() > kLongBeforeForever)
                break;
            QThread::msleep(50);
        }
        EXPECT_EQ(rows.Value(0, 0), "0");
        // The connection takes the next statement.
        ASSERT_TRUE(db->Query("select 7", rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "7");
    }
}

} // namespace
