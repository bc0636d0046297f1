// The native PostgreSQL connection: what goes to the server for a statement and how often it
// waits for the server, the role a superuser's statement runs as, the bounds on what comes
// back, and the server's own words when it refuses a login. A small PostgreSQL server of the
// test's own (TCP or a local socket) answers with what a test scripts; the real ones are the
// throwaway servers of scripts/dbservers.sh, PgBouncer among them.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "ScriptedPgServer.h"
#include "StatementPoolSupport.h"
#include "TestSupport.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class DbPostgreSQL : public ::testing::Test
{
protected:
    void SetUp() override { m_saved = GetDbLimits(); }
    void TearDown() override { SetDbLimits(m_saved); }
    void Limit(const std::function<void(DbLimits&)>& change)
    {
        DbLimits limits = GetDbLimits();
        change(limits);
        SetDbLimits(limits);
    }

    DbLimits m_saved;
};

// The first query of a statement's transaction: read only, no JIT (a server that knows it), and
// the statement's limit.
QByteArray TransactionSettings(bool jit = true)
{
    return QByteArray("select set_config('transaction_read_only', 'on', true), ")
        + (jit ? "set_config('jit', 'off', true), " : "") + "set_config('statement_timeout', '"
        + QByteArray::number(GetDbLimits().statementMs) + "', true)";
}

} // namespace

// The transaction's settings, the statement and the rollback go out together: a query
// costs one round trip, and a whole walk one more, however many slices it reads.
TEST_F(DbPostgreSQL, AStatementCostsOneRoundTrip)
{
    ScriptedPgServer::Script script;
    script.rows = 5;
    ScriptedPgServer server(script, false);
    auto db = DbConnection::OpenPostgreSQL(server.Settings());
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select big from t limit 5", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Columns(), QStringList {"big"});
    EXPECT_EQ(rows.RowCount(), 5);
    EXPECT_EQ(rows.Value(4, 0), "xxxx");
    EXPECT_EQ(server.RoundTrips(), 1);
    EXPECT_EQ(server.Statements(),
        (QList<QByteArray> {TransactionSettings(), "select big from t limit 5", "ROLLBACK"}));

    auto cursor = db->OpenCursor("select big from t");
    ASSERT_TRUE(cursor->Fetch(2, rows)) << cursor->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 2);
    ASSERT_TRUE(cursor->Skip(1));
    ASSERT_TRUE(cursor->Fetch(10, rows));
    EXPECT_EQ(rows.RowCount(), 2);
    EXPECT_EQ(cursor->Position(), 5);
    ASSERT_TRUE(cursor->Fetch(10, rows));
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(rows.Columns(), QStringList {"big"});
    cursor.reset();
    EXPECT_EQ(server.RoundTrips(), 2);
    // A walk lives as long as its slices go on: only each slice has the step's limit.
    EXPECT_EQ(server.Statements().mid(3),
        (QList<QByteArray> {"select set_config('transaction_read_only', 'on', true), set_config('jit', 'off', true)",
            "select big from t", "ROLLBACK"}));

    // A failure skips the rollback sent with it, and the server ends the transaction it began
    // by itself at the sync: nothing more is sent.
    EXPECT_FALSE(db->Query("select fail", rows));
    EXPECT_TRUE(db->LastError().endsWith("division by zero")) << db->LastError().toStdString();
    EXPECT_FALSE(db->Stopped());
    EXPECT_EQ(server.RoundTrips(), 3);
    EXPECT_EQ(server.Statements().last(), "select fail");
    ASSERT_TRUE(db->Query("select big from t", rows)) << db->LastError().toStdString();
    EXPECT_EQ(server.RoundTrips(), 4);

    // A statement that does not lead as a query (a call) is parsed alone first, then sent in its
    // frame as one simple query, the server's implicit transaction block.
    const qsizetype sent = server.Statements().size();
    ASSERT_TRUE(db->Query("call p(1)", rows)) << db->LastError().toStdString();
    EXPECT_EQ(server.RoundTrips(), 6);
    EXPECT_EQ(server.Statements().mid(sent), (QList<QByteArray> {"call p(1)", TransactionSettings() + ";call p(1)\n;ROLLBACK"}));

}

// The role that only reads, for a superuser on a server that has it; the server's quoting of
// strings, as it reports it.
TEST_F(DbPostgreSQL, ASuperusersStatementRunsAsTheRoleThatOnlyReads)
{
    struct Case
    {
        QByteArray version, superuser, standardStrings;
        const char* roleDrop; // the statement between the limit and the statement, if any
        std::optional<bool> standard;
    };
    const Case cases[] = {
        {"15.4", "on", "on", "select set_config('role', 'pg_read_all_data', true)", true},
        {"14.0", "on", "off", "select set_config('role', 'pg_read_all_data', true)", false},
        {"15.4", "off", "on", nullptr, true},
        {"13.9", "on", "", nullptr, std::nullopt}, // no such role before 14
        {"10.23", "off", "on", nullptr, true}, // no jit setting before 11
        // A pooler that does not pass is_superuser on: the server decides in the transaction.
        {"15.4", "", "on",
            "select set_config('role', 'pg_read_all_data', true) from pg_roles where rolname = current_user and rolsuper",
            true},
    };
    for (const Case& c : cases) {
        ScriptedPgServer::Script script;
        script.version = c.version;
        script.superuser = c.superuser;
        script.standardStrings = c.standardStrings;
        ScriptedPgServer server(script, false);
        auto db = DbConnection::OpenPostgreSQL(server.Settings());
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        SqlServerKind kind;
        kind.server = SqlServerKind::PostgreSQL;
        kind.standardStrings = c.standard;
        EXPECT_EQ(db->ServerKind(), kind);
        // A login the server does not describe counts as a superuser.
        EXPECT_EQ(db->SuperuserLogin(), c.superuser != "off");
        DbRows rows;
        ASSERT_TRUE(db->Query("select big from t", rows)) << db->LastError().toStdString();
        QList<QByteArray> expected {TransactionSettings(c.version.toDouble() >= 11)};
        if (c.roleDrop)
            expected.append(c.roleDrop);
        expected += {"select big from t", "ROLLBACK"};
        EXPECT_EQ(server.Statements(), expected) << c.version.constData() << " " << c.superuser.constData();
        EXPECT_EQ(server.RoundTrips(), 1);
        // A call's frame holds the same, in one text.
        ASSERT_TRUE(db->Query("call p()", rows)) << db->LastError().toStdString();
        expected.removeLast();
        expected.last() = "call p()";
        EXPECT_EQ(server.Statements().last(), expected.join(';') + "\n;ROLLBACK");
    }
}

// A row larger than the slice bound is stopped while it arrives, over TCP and over a local
// socket, by a query and by a walk: the memory taken stays near the bound, the failure names the
// source, and the connection, stopped inside a message, is closed.
TEST_F(DbPostgreSQL, AHugeRowIsStoppedWhileItArrives)
{
    constexpr qint64 kSlice = qint64(8) << 20;
    Limit([](DbLimits& l) {
        l.sliceBytes = kSlice;
        l.valueBytes = kSlice;
    });
    ScriptedPgServer::Script script;
    script.rows = 1;
    script.valueBytes = qint64(200) << 20;
    for (const bool local : {false, true}) {
        for (const bool walk : {false, true}) {
            SCOPED_TRACE(local ? "local socket" : "TCP");
            SCOPED_TRACE(walk ? "walk" : "query");
            ScriptedPgServer server(script, local);
            const DbSourceScope source(QStringLiteral("标签数据"));
            auto db = DbConnection::OpenPostgreSQL(server.Settings());
            ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
            DbRows rows;
            const qint64 before = ProcessMemory("VmRSS:");
            ResetMemoryPeak();
            QElapsedTimer clock;
            clock.start();
            if (walk) {
                auto cursor = db->OpenCursor("select big from t");
                EXPECT_FALSE(cursor->Fetch(10, rows));
                EXPECT_TRUE(cursor->Stopped());
                EXPECT_EQ(cursor->LastError(), DbSliceTooLargeMessage());
            } else {
                EXPECT_FALSE(db->Query("select big from t", rows));
                EXPECT_TRUE(db->Stopped());
                EXPECT_EQ(db->LastError(), DbSliceTooLargeMessage());
            }
            EXPECT_LT(clock.elapsed(), kHungAfterMs);
            const qint64 growth = ProcessMemory("VmHWM:") - before;
            EXPECT_LT(growth, kSlice + (qint64(40) << 20)) << growth;
            EXPECT_TRUE(DbSliceTooLargeMessage().contains(QStringLiteral("“标签数据”")));
            EXPECT_EQ(rows.RowCount(), 0);
            EXPECT_FALSE(db->Query("select big from t", rows));
            EXPECT_EQ(db->LastError(), QStringLiteral("未连接数据库"));
        }
    }
}

// A value past the value bound is refused with its field's name, and the rows one call keeps
// stay within the slice bound; the connection goes on after either.
TEST_F(DbPostgreSQL, AValueOrASliceTooLargeIsRefusedAndTheConnectionGoesOn)
{
    Limit([](DbLimits& l) {
        l.valueBytes = qint64(1) << 20;
        l.sliceBytes = qint64(4) << 20;
    });
    const DbSourceScope source(QStringLiteral("标签数据"));
    ScriptedPgServer::Script script;
    script.rows = 3;
    script.valueBytes = (qint64(1) << 20) + 1;
    {
        ScriptedPgServer server(script, false);
        auto db = DbConnection::OpenPostgreSQL(server.Settings());
        ASSERT_TRUE(db->IsOpen());
        DbRows rows;
        EXPECT_FALSE(db->Query("select big from t", rows));
        EXPECT_TRUE(db->Stopped());
        EXPECT_EQ(db->LastError(), DbValueTooLargeMessage("big"));
        EXPECT_TRUE(db->LastError().contains(QStringLiteral("“big”")));
        auto cursor = db->OpenCursor("select big from t");
        EXPECT_FALSE(cursor->Fetch(1, rows));
        EXPECT_TRUE(cursor->Stopped());
        EXPECT_EQ(cursor->LastError(), DbValueTooLargeMessage("big"));
        cursor.reset();
        ASSERT_TRUE(db->Query("select big from t", rows, 0, 0)) << db->LastError().toStdString();
        EXPECT_FALSE(db->Stopped());
    }
    script.rows = 40;
    script.valueBytes = 200 << 10; // 8 MB in all, 200 KB a row
    ScriptedPgServer server(script, false);
    auto db = DbConnection::OpenPostgreSQL(server.Settings());
    ASSERT_TRUE(db->IsOpen());
    DbRows rows;
    EXPECT_FALSE(db->Query("select big from t", rows));
    EXPECT_TRUE(db->Stopped());
    EXPECT_EQ(db->LastError(), DbSliceTooLargeMessage());
    EXPECT_EQ(rows.RowCount(), 0);
    ASSERT_TRUE(db->Query("select big from t", rows, 30, -1)) << db->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 10);
    auto cursor = db->OpenCursor("select big from t");
    for (const int count : {15, 15, -1}) { // each slice on its own bound
        ASSERT_TRUE(cursor->Fetch(count, rows)) << cursor->LastError().toStdString();
        EXPECT_EQ(rows.RowCount(), count < 0 ? 10 : count);
    }
    cursor.reset();
    cursor = db->OpenCursor("select big from t");
    EXPECT_FALSE(cursor->Fetch(-1, rows));
    EXPECT_TRUE(cursor->Stopped());
    EXPECT_EQ(cursor->LastError(), DbSliceTooLargeMessage());
    EXPECT_EQ(rows.RowCount(), 0);
    cursor.reset();
    ASSERT_TRUE(db->Query("select big from t", rows, 0, 1)) << db->LastError().toStdString();
}

// The server's refusal of a login leads with the server's own words; an address where nothing
// answers says so in the client's.
TEST_F(DbPostgreSQL, ARefusedLoginIsToldFromAnUnreachableServer)
{
    ScriptedPgServer::Script script;
    script.refusal = "sorry, too many clients already";
    ScriptedPgServer server(script, false);
    auto db = DbConnection::OpenPostgreSQL(server.Settings());
    EXPECT_FALSE(db->IsOpen());
    EXPECT_FALSE(db->Stopped());
    EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("PostgreSQL服务器拒绝了连接：")))
        << db->LastError().toStdString();
    EXPECT_TRUE(db->LastError().contains("sorry, too many clients already")) << db->LastError().toStdString();

    db = DbConnection::OpenPostgreSQL({"127.0.0.1", ClosedLoopbackPort(), "db", "u", "p"});
    EXPECT_FALSE(db->IsOpen());
    EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("无法连接PostgreSQL数据库："))) << db->LastError().toStdString();
}

namespace {

// The state pg_stat_activity shows for a session, as the server's own client sees it (the
// program's connections read as a role that may not see other sessions).
QString SessionState(const DbServerSettings& s, const QString& pid)
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    client.setProcessEnvironment(env);
    client.start(QStringLiteral("psql"), {"-X", "-A", "-t", "-h", s.host, "-p", QString::number(s.port), "-U", s.user,
                                             "-d", s.database, "-c", "select state from pg_stat_activity where pid = " + pid});
    if (!client.waitForFinished(30000))
        return client.errorString();
    return QString::fromUtf8(client.readAllStandardOutput()).trimmed();
}

QString FirstValue(DbConnection& db, const QString& sql)
{
    DbRows rows;
    if (!db.Query(sql, rows))
        return "(" + db.LastError() + ")";
    return rows.Value(0, 0);
}

} // namespace

// A walk left before its end asks the server to stop only while rows are still to come: where the
// whole answer is in, what is left of it is read and the connection goes on; a cancel would cost a
// connection of its own. A walk left while megabytes are still on their way is cancelled.
TEST_F(DbPostgreSQL, AWalkLeftEarlyIsCancelledOnlyWhileRowsAreStillToCome)
{
    for (const bool streaming : {false, true}) {
        SCOPED_TRACE(streaming);
        ScriptedPgServer::Script script;
        script.rows = streaming ? 1000 : 3;
        script.valueBytes = streaming ? 10000 : 4;
        ScriptedPgServer server(script, false);
        auto db = DbConnection::OpenPostgreSQL(server.Settings());
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        auto cursor = db->OpenCursor("select big from t");
        DbRows rows;
        ASSERT_TRUE(cursor->Fetch(2, rows)) << cursor->LastError().toStdString();
        EXPECT_EQ(rows.RowCount(), 2);
        // The short answer, the walk's one round trip, is sent whole before the walk is left (a
        // watchdog only: no timing).
        for (int wait = 0; !streaming && server.Answered() < 1 && wait < 3000; ++wait)
            QThread::msleep(10);
        cursor.reset();
        EXPECT_EQ(server.Cancels(), streaming ? 1 : 0);
        ASSERT_TRUE(db->Query("select big from t limit 3", rows, 0, 3)) << db->LastError().toStdString();
        EXPECT_EQ(rows.RowCount(), 3);
    }
}

// Whatever ended a statement (its end, a failure, a cancel, a walk left midway), the session is
// idle after it: no transaction stays open.
TEST_F(DbPostgreSQL, EveryEndLeavesTheSessionIdle)
{
    VC_TEST_SERVER(settings, "VC_PG");
    auto db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    EXPECT_EQ(db->ServerKind().server, SqlServerKind::PostgreSQL);
    EXPECT_EQ(db->ServerKind().standardStrings, std::optional<bool>(true));
    const QString pid = FirstValue(*db, "select pg_backend_pid()::text");
    EXPECT_EQ(SessionState(settings, pid), "idle");

    DbRows rows;
    EXPECT_FALSE(db->Query("select 1/0", rows));
    EXPECT_TRUE(db->LastError().contains("division by zero")) << db->LastError().toStdString();
    EXPECT_EQ(SessionState(settings, pid), "idle");

    // The rest is cancelled, not read: the statement has no end, and read on it would stop at
    // the step's limit.
    ASSERT_TRUE(db->Query("with recursive c(n) as (select 1 union all select n + 1 from c) select n from c", rows, 2, 3))
        << db->LastError().toStdString();
    EXPECT_EQ(rows.Row(2), QStringList {"5"});
    EXPECT_EQ(SessionState(settings, pid), "idle");

    auto cursor = db->OpenCursor("select generate_series(1, 100000000) as n");
    ASSERT_TRUE(cursor->Fetch(5, rows)) << cursor->LastError().toStdString();
    EXPECT_EQ(rows.Value(4, 0), "5");
    EXPECT_EQ(SessionState(settings, pid), "active"); // the walk holds its statement
    cursor.reset();
    EXPECT_EQ(SessionState(settings, pid), "idle");

    cursor = db->OpenCursor("select 1/0");
    EXPECT_FALSE(cursor->Fetch(5, rows));
    cursor.reset();
    EXPECT_EQ(SessionState(settings, pid), "idle");
    EXPECT_EQ(FirstValue(*db, "select count(*)::text from \"People\""), "100");
}

// A statement longer than what a socket holds at once goes out whole, promptly.
TEST_F(DbPostgreSQL, ALongStatementGoesOutWhole)
{
    VC_TEST_SERVER(settings, "VC_PG");
    auto db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    QElapsedTimer clock;
    clock.start();
    const QString text(4 << 20, u'a');
    EXPECT_EQ(FirstValue(*db, "select length('" + text + "')::text"), QString::number(text.size()));
    EXPECT_LT(clock.elapsed(), kHungAfterMs);
}

// A walk's statement lives as long as the walk: slices read far apart in time go on, each within
// the step's limit.
TEST_F(DbPostgreSQL, AWalkOutlivesTheStatementLimit)
{
    VC_TEST_SERVER(settings, "VC_PG");
    Limit([](DbLimits& l) { l.statementMs = 1000; });
    auto db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    auto cursor = db->OpenCursor("select generate_series(1, 3000000) as n, repeat('x', 100) as pad");
    DbRows rows;
    ASSERT_TRUE(cursor->Fetch(10, rows)) << cursor->LastError().toStdString();
    QThread::msleep(1500);
    ASSERT_TRUE(cursor->Fetch(10, rows)) << cursor->LastError().toStdString();
    EXPECT_EQ(rows.Value(9, 0), "20");
    cursor.reset();
    // A statement on its own has the server's limit as well as the step's.
    EXPECT_FALSE(db->Query("select pg_sleep(3)", rows));
    EXPECT_TRUE(db->Stopped() || db->LastError().contains("statement timeout")) << db->LastError().toStdString();
}

// A superuser's statement runs as the role that only reads: it reads every table, but cannot
// write or read server files, make replication slots, switch or reset what the server keeps, or
// end another session. The statement check, which refuses these first, is not involved here.
TEST_F(DbPostgreSQL, ASuperusersStatementCannotReachBeyondReading)
{
    VC_TEST_SERVER(settings, "VC_PG");
    const QString file = QStringLiteral("/tmp/vc-pg-%1-PWNED").arg(QCoreApplication::applicationPid());
    QFile::remove(file);
    ASSERT_EQ(WriteOnTestServer(settings, true,
                  "select lo_unlink(oid) from pg_largeobject_metadata where oid = 7424242;"
                  "select lo_from_bytea(7424242, 'pwned')"),
        QString());
    auto db = DbConnection::OpenPostgreSQL(settings);
    auto victim = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen() && victim->IsOpen()) << db->LastError().toStdString();
    const QString victimPid = FirstValue(*victim, "select pg_backend_pid()::text");

    EXPECT_EQ(FirstValue(*db, "select current_user || ' ' || session_user"), "pg_read_all_data " + settings.user);
    EXPECT_EQ(FirstValue(*db, "show role"), "pg_read_all_data"); // in a frame of its own
    const QString attacks[] = {
        QStringLiteral("select lo_export(7424242, '%1')::text as a").arg(file),
        QStringLiteral("select ts_rewrite('a'::tsquery, 'select ''a''::tsquery, ''b''::tsquery from "
                       "(select lo_export(7424242, ''%1'')) q')::text as a")
            .arg(file),
        "select pg_create_physical_replication_slot('vc_label_slot', true)::text as a",
        "select pg_switch_wal()::text",
        "select pg_stat_reset()::text",
        "select count(pg_terminate_backend(pid))::text as a from pg_stat_activity where pid = " + victimPid,
        "select pg_read_file('/etc/hostname')",
        "copy (select 1) to '" + file + "'",
    };
    DbRows rows;
    for (const QString& attack : attacks) {
        EXPECT_FALSE(db->Query(attack, rows)) << attack.toStdString();
        EXPECT_TRUE(db->LastError().contains("permission denied") || db->LastError().contains("must be"))
            << db->LastError().toStdString();
        auto cursor = db->OpenCursor(attack);
        EXPECT_FALSE(cursor->Fetch(1, rows)) << attack.toStdString();
    }
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(FirstValue(*victim, "select 'alive'"), "alive");
    EXPECT_EQ(FirstValue(*db, "select count(*)::text from pg_replication_slots where slot_name = 'vc_label_slot'"), "0");

    // What labels read keeps working.
    ASSERT_TRUE(db->Query("with p as (select * from \"People\" where \"Id\" <= 3) "
                          "select p.\"Name\", q.name, to_char(p.\"Id\", 'FM000'), now() is not null "
                          "from p join people q on true order by p.\"Id\"",
        rows))
        << db->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Row(2), (QStringList {"name3", "lower", "003", "t"}));
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables));
    EXPECT_TRUE(tables.contains("People"));
    WriteOnTestServer(settings, true, "select lo_unlink(7424242)");
}

// A refused login leads with the server's words (a wrong password); the loader's message
// follows it with what to check.
TEST_F(DbPostgreSQL, AWrongPasswordIsRefusedInTheServersWords)
{
    VC_TEST_SERVER(settings, "VC_PG");
    DbServerSettings wrong = settings;
    wrong.password += "x";
    auto db = DbConnection::OpenPostgreSQL(wrong);
    EXPECT_FALSE(db->IsOpen());
    EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("PostgreSQL服务器拒绝了连接：")))
        << db->LastError().toStdString();
    EXPECT_TRUE(db->LastError().contains("password authentication failed")) << db->LastError().toStdString();
}

namespace {

// The PgBouncer of scripts/dbservers.sh, in front of the VC_PG server with the same login.
std::optional<DbServerSettings> PgBouncerSettings()
{
    std::optional<DbServerSettings> settings = TestServerSettings("VC_PG");
    if (!settings || !qEnvironmentVariableIsSet("VC_PGB_PORT"))
        return std::nullopt;
    settings->host = qEnvironmentVariable("VC_PGB_HOST");
    settings->port = qEnvironmentVariableIntValue("VC_PGB_PORT");
    return settings;
}

} // namespace

// Through PgBouncer with its default settings: a connection sends nothing it refuses, and
// counts, rows and walks read as they do straight from the server.
TEST_F(DbPostgreSQL, ThroughPgBouncer)
{
    const std::optional<DbServerSettings> found = PgBouncerSettings();
    if (!found) {
        if (qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
            FAIL() << "VC_PGB_* settings are missing although the database servers are required";
        GTEST_SKIP() << "no PgBouncer settings; run scripts/dbservers.sh start and source its env file";
    }
    const DbServerSettings settings = *found;
    auto db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    EXPECT_EQ(FirstValue(*db, "select count(*)::text from \"People\""), "100");
    DbRows rows;
    ASSERT_TRUE(db->Query("select \"Id\", \"City\", \"Note\" from \"People\" order by \"Id\"", rows, 8, 3))
        << db->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Row(0), (QStringList {"9", "北京", "note 9"}));
    EXPECT_TRUE(rows.IsNull(1, 2));
    EXPECT_EQ(FirstValue(*db, "select current_user::text"), "pg_read_all_data");
    EXPECT_FALSE(db->Query("select 1/0", rows));
    EXPECT_EQ(FirstValue(*db, "select 'again'"), "again");

    auto cursor = db->OpenCursor("select \"Id\" from \"People\" order by \"Id\"");
    qint64 total = 0;
    for (;;) {
        ASSERT_TRUE(cursor->Fetch(30, rows)) << cursor->LastError().toStdString();
        if (rows.IsEmpty())
            break;
        EXPECT_EQ(rows.Value(0, 0).toLongLong(), total + 1);
        total += rows.RowCount();
    }
    EXPECT_EQ(total, 100);
    cursor.reset();

    DbServerSettings unknown = settings;
    unknown.database = "no_such_database";
    db = DbConnection::OpenPostgreSQL(unknown);
    EXPECT_FALSE(db->IsOpen());
    EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("PostgreSQL服务器拒绝了连接：")))
        << db->LastError().toStdString();
}

// Through PgBouncer pooling statement by statement, which ends a client whose transaction is
// still open when a statement's answer ends: a failed statement leaves the connection reading
// on, rows and walks read as from the server, and nothing a statement sets for the session
// reaches the next, which may run on another of the pool's server connections.
TEST_F(DbPostgreSQL, ThroughAPoolOfSingleStatements)
{
    std::optional<DbServerSettings> found = PgBouncerSettings();
    if (!found || !qEnvironmentVariableIsSet("VC_PGB_STATEMENT_DATABASE")) {
        if (qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
            FAIL() << "VC_PGB_STATEMENT_DATABASE is missing although the database servers are required";
        GTEST_SKIP() << "no PgBouncer settings; run scripts/dbservers.sh start and source its env file";
    }
    found->database = qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE");
    auto db = DbConnection::OpenPostgreSQL(*found);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ReadThroughAPoolOfSingleStatements(*db);
        EXPECT_FALSE(db->Query("create temporary table vc_written (x int)", rows));
        EXPECT_TRUE(db->LastError().contains("read-only")) << db->LastError().toStdString();
        ASSERT_TRUE(db->Query("select current_setting('statement_timeout')", rows)) << db->LastError().toStdString();
        EXPECT_NE(rows.Value(0, 0), "0");
        auto failing = db->OpenCursor("select 1/0");
        EXPECT_FALSE(failing->Fetch(10, rows));
    }
}
