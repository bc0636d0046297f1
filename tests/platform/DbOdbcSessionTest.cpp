// The ODBC connection's session through psqlODBC against the PostgreSQL server that
// scripts/dbservers.sh starts: which server it reports and how much of a result reaches
// memory.
#include "DbTestEnv.h"
#include "PgServerObjects.h"
#include "ScriptedPgServer.h"
#include "StatementPoolSupport.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// The program's own limits back after each test.
class OdbcSessionTest : public ::testing::Test
{
protected:
    void SetUp() override { m_saved = GetDbLimits(); }
    void TearDown() override { SetDbLimits(m_saved); }
    DbLimits m_saved;
};

} // namespace

// The server's name and how it reads '\' in quotes, as the session says; the tutorials'
// string with ReadOnly after the password opens too.
TEST_F(OdbcSessionTest, ThePostgreSQLDriverReportsItsServerAndItsStrings)
{
    VC_TEST_SERVER(server, "VC_PG");
    for (const char* extra : {"", "ReadOnly=1"}) {
        SCOPED_TRACE(extra);
        auto db = DbConnection::OpenOdbc(PsqlOdbcString(server, extra));
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        ASSERT_TRUE(db->Query("select current_setting('standard_conforming_strings')", rows));
        const SqlServerKind kind = db->ServerKind();
        EXPECT_EQ(kind.server, SqlServerKind::PostgreSQL);
        ASSERT_TRUE(kind.standardStrings.has_value());
        EXPECT_EQ(*kind.standardStrings, rows.Value(0, 0) == "on");
        EXPECT_FALSE(kind.ansiQuotes.has_value());
        // Still read-only, and nothing of the show stayed open.
        ASSERT_TRUE(db->Query("select current_setting('transaction_read_only')", rows));
        EXPECT_EQ(rows.Value(0, 0), "on");
    }
}

// Values and slices past the bounds are refused with our message, by Query and by the
// cursor, and the connection reads on; within them the same rows read.
TEST_F(OdbcSessionTest, ValuesAndSlicesPastTheirBoundsAreRefused)
{
    VC_TEST_SERVER(server, "VC_PG");
    DbLimits limits = GetDbLimits();
    limits.valueBytes = qint64(1) << 20;
    limits.sliceBytes = qint64(2) << 20;
    SetDbLimits(limits);
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(server), QStringLiteral("库存"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const struct
    {
        const char* sql;
        QString message;
    } cases[] = {
        {"select 1 as id, repeat('x', 1500000) as big",
            QStringLiteral("数据源“库存”的字段“big”的值超过了 1 MB 的上限，没有读取。")},
        {"select repeat('x', 3000000) as big", QStringLiteral("数据源“库存”的字段“big”的值超过了 1 MB 的上限，没有读取。")},
        {"select repeat('x', 900000) as part from generate_series(1, 5)",
            QStringLiteral("数据源“库存”一次读取的记录超过了 2 MB 的上限，没有读取。")},
    };
    for (bool cursor : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.sql) + (cursor ? " (cursor)" : ""));
            ExpectRefusedPastBound(*db, QString::fromLatin1(c.sql), cursor, c.message);
            DbRows rows;
            ASSERT_TRUE(db->Query("select 7", rows)) << db->LastError().toStdString();
            EXPECT_EQ(rows.Value(0, 0), "7");
            EXPECT_FALSE(db->Stopped());
        }
    }
    auto walk = db->OpenCursor("select repeat('x', 900000) as part from generate_series(1, 5)");
    DbRows rows;
    for (int slice = 0; slice < 3; ++slice)
        ASSERT_TRUE(walk->Fetch(2, rows)) << walk->LastError().toStdString();
    EXPECT_EQ(walk->Position(), 5);
    EXPECT_EQ(rows.Value(0, 0).size(), 900000);
}

// A superuser's session through psqlODBC reads as the role that reads every table and
// nothing more, and each statement is a read-only transaction of its own: the server
// refuses what would write a file or outlive the statement, and the session reads on.
TEST_F(OdbcSessionTest, ASuperusersStatementsReachNothingBeyondReading)
{
    VC_TEST_SERVER(server, "VC_PG");
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(server));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select current_user::text, current_setting('transaction_read_only')", rows));
    EXPECT_EQ(rows.Value(0, 0), "pg_read_all_data");
    EXPECT_EQ(rows.Value(0, 1), "on");
    // Sent as they stand, past the statement check on purpose: the server's own wall.
    for (const char* attack : {"select lo_export(lo_from_bytea(0, 'x'), '/tmp/vc-odbc-pwned')::text",
             "select pg_create_physical_replication_slot('vc_odbc_slot', true)::text",
             "select pg_read_file('/etc/hostname')", "select pg_switch_wal()::text",
             "select count(pg_terminate_backend(pid))::text from pg_stat_activity where pid <> pg_backend_pid()"}) {
        SCOPED_TRACE(attack);
        EXPECT_FALSE(db->Query(attack, rows));
        EXPECT_TRUE(db->Query("select 1", rows)) << db->LastError().toStdString();
    }
    EXPECT_FALSE(QFile::exists("/tmp/vc-odbc-pwned"));
    ASSERT_TRUE(db->Query("select count(*)::text from pg_replication_slots", rows));
    EXPECT_EQ(rows.Value(0, 0), "0");
    // What a statement sets for itself goes with it.
    ASSERT_TRUE(db->Query("select set_config('application_name', 'vc-left', true)", rows));
    ASSERT_TRUE(db->Query("select current_setting('application_name')", rows));
    EXPECT_NE(rows.Value(0, 0), "vc-left");
}

// Each statement through psqlODBC is a read-only transaction of its own that is rolled back:
// what one statement sets for the session, through a function that runs its text too, is gone
// for the next, which still cannot write; a procedure that commits is refused; and queries and
// walks read their rows in order.
TEST_F(OdbcSessionTest, NothingAStatementSetsOutlivesIt)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server,
        QStringLiteral("create table vc_w_%1 (x int);"
                       "create function vc_exec_%1(text) returns text language plpgsql as "
                       "$$ begin execute $1; return 'done'; end $$;"
                       "create procedure vc_commit_%1() language plpgsql as $$ begin "
                       "perform set_config('default_transaction_read_only', 'off', false); commit; "
                       "insert into vc_w_%1 values (1); commit; end $$;"),
        QStringLiteral("drop procedure if exists vc_commit_%1(); drop function if exists vc_exec_%1(text); "
                       "drop table if exists vc_w_%1;"));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(server));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    // Sent as they stand, past the statement check on purpose: the server's own wall.
    for (const char* opener : {"select vc_exec_%1('set default_transaction_read_only = off')",
             "select set_config('default_transaction_read_only', 'off', false)",
             "select vc_exec_%1('set session characteristics as transaction read write')",
             "select vc_exec_%1('reset role')"}) {
        SCOPED_TRACE(opener);
        ASSERT_TRUE(db->Query(objects.Named(opener), rows)) << db->LastError().toStdString();
        EXPECT_FALSE(db->Query(objects.Named("select vc_exec_%1('insert into vc_w_%1 values (2)')"), rows));
        EXPECT_TRUE(db->LastError().contains("read-only transaction")) << db->LastError().toStdString();
        auto walk = db->OpenCursor(objects.Named("select vc_exec_%1('insert into vc_w_%1 values (3)')"));
        EXPECT_FALSE(walk->Fetch(-1, rows));
    }
    // Within one statement the transaction cannot be made to write either.
    EXPECT_FALSE(db->Query(objects.Named("select vc_exec_%1('set transaction read write'), "
                                         "vc_exec_%1('insert into vc_w_%1 values (4)')"),
        rows));
    EXPECT_FALSE(db->Query(objects.Named("call vc_commit_%1()"), rows));
    EXPECT_TRUE(db->LastError().contains("invalid transaction termination")) << db->LastError().toStdString();
    auto call = db->OpenCursor(objects.Named("call vc_commit_%1()"));
    EXPECT_FALSE(call->Fetch(-1, rows));
    call.reset();

    ASSERT_TRUE(db->Query("select current_setting('default_transaction_read_only'), "
                          "current_setting('transaction_read_only'), current_user::text",
        rows));
    EXPECT_EQ(rows.Row(0), (QStringList {"off", "on", "pg_read_all_data"}));
    ASSERT_TRUE(db->Query("select \"Id\", \"City\", \"Note\" from \"People\" order by \"Id\"", rows, 8, 3))
        << db->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Row(0), (QStringList {"9", QStringLiteral("北京"), "note 9"}));
    EXPECT_TRUE(rows.IsNull(1, 2));
    auto walk = db->OpenCursor("select \"Id\" from \"People\" order by \"Id\" desc");
    qint64 total = 0;
    for (;;) {
        ASSERT_TRUE(walk->Fetch(30, rows)) << walk->LastError().toStdString();
        if (rows.IsEmpty())
            break;
        EXPECT_EQ(rows.Value(0, 0).toLongLong(), 100 - total);
        total += rows.RowCount();
    }
    EXPECT_EQ(total, 100);
    walk.reset();

    // Nothing was written: the table took none.
    auto check = DbConnection::OpenPostgreSQL(server);
    ASSERT_TRUE(check->Query(objects.Named("select count(*)::text from vc_w_%1"), rows));
    EXPECT_EQ(rows.Value(0, 0), "0");

    // The statement's transaction holds the step's limit too.
    DbLimits limits = GetDbLimits();
    limits.statementMs = 1000;
    SetDbLimits(limits);
    EXPECT_FALSE(db->Query("select pg_sleep(3)::text", rows));
    EXPECT_TRUE(db->Stopped() || db->LastError().contains("statement timeout")) << db->LastError().toStdString();
    ASSERT_TRUE(db->Query("select 'again'", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "again");
}

// A statement without a ';' goes to the server in its frame, in parentheses, in one round trip.
// One with a ';', where the server cannot check it in the frame, is parsed alone first, in
// parentheses (psqlODBC asks for its columns: two round trips). (A walk reads through psqlODBC's
// own cursor in a transaction of its own: DbBulkFetchTest.)
TEST_F(OdbcSessionTest, AStatementCostsOneRoundTrip)
{
    ScriptedPgServer server(ScriptedPgServer::Script {}, false);
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(server.Settings()));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const auto framed = [](const QByteArray& statement) -> QByteArray {
        return "select set_config('transaction_read_only', 'on', true), set_config('statement_timeout', '"
            + QByteArray::number(GetDbLimits().statementMs) + "', true);" + statement + "\n;ROLLBACK";
    };
    const int connected = server.RoundTrips();
    DbRows rows;
    ASSERT_TRUE(db->Query("select big from t", rows)) << db->LastError().toStdString();
    EXPECT_EQ(server.RoundTrips(), connected + 1);
    EXPECT_EQ(server.Statements().last(), framed("(select big from t\n)"));

    ASSERT_TRUE(db->Query("select big from t where big <> ';'", rows)) << db->LastError().toStdString();
    EXPECT_EQ(server.RoundTrips(), connected + 4);
    EXPECT_EQ(server.Statements().mid(server.Statements().size() - 2),
        (QList<QByteArray> {"(select big from t where big <> ';'\n)", framed("select big from t where big <> ';'")}));

    // A walk of a query: its transaction's begin and head, the cursor's declaration and the first
    // fetch go in one text (its rollback: DbBulkFetchTest).
    auto walk = db->OpenCursor("select big from t");
    walk->Fetch(10, rows);
    EXPECT_EQ(server.RoundTrips(), connected + 5);
    EXPECT_EQ(server.Statements().last(),
        "BEGIN;select set_config('transaction_read_only', 'on', true), set_config('statement_timeout', '"
            + QByteArray::number(GetDbLimits().statementMs)
            + "', true);DECLARE vc_walk NO SCROLL CURSOR FOR (select big from t\n);FETCH FORWARD 8192 FROM vc_walk");
}

// The server checks a statement that holds a ';' in its frame, in the same round trip: one that
// would end the frame or add a statement is refused, whether it closes the parentheses the check
// reads it in or not, and one that only quotes a ';' reads, by a query and by a walk. Where
// psqlODBC rewrites something of the text (an ODBC escape), the server cannot vouch for it: it is
// parsed alone first and still refused or read as before. Nothing of a refused one ran.
TEST_F(OdbcSessionTest, AStatementWithASemicolonIsCheckedByTheServerInItsFrame)
{
    VC_TEST_SERVER(server, "VC_PG");
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(server), QStringLiteral("标签数据"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    for (const char* sql : {"select 'a;b' as a; select set_config('vc.ran', 'yes', false)",
             "select 'a;b' as a); select set_config('vc.ran', 'yes', false); (select 1",
             "select {fn ucase('x')} as a; select set_config('vc.ran', 'yes', false)",
             "select 1 as a\n;ROLLBACK; select set_config('vc.ran', 'yes', false); select 1 as a"}) {
        SCOPED_TRACE(sql);
        EXPECT_FALSE(db->Query(sql, rows));
        EXPECT_FALSE(db->LastError().isEmpty());
        auto refused = db->OpenCursor(sql);
        EXPECT_FALSE(refused->Fetch(-1, rows));
    }
    for (const auto& [sql, value] : {std::pair {"select 'a;b' as a", "a;b"}, std::pair {"select {fn ucase('a;b')} as a", "A;B"},
             std::pair {"select current_setting('vc.ran', true) as a", ""}}) {
        SCOPED_TRACE(sql);
        ASSERT_TRUE(db->Query(sql, rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Columns(), QStringList {"a"});
        EXPECT_EQ(rows.Value(0, 0), value);
        auto walk = db->OpenCursor(sql);
        ASSERT_TRUE(walk->Fetch(-1, rows)) << walk->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), value);
    }
}

// Whether the login is a superuser, natively and through psqlODBC: the program's own login to
// the test server is one, a login made for the test is not.
TEST_F(OdbcSessionTest, ASuperuserLoginIsToldOnBothRoutes)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects role(server, QStringLiteral("create role vc_plain_%1 login password 'plain pass'"),
        QStringLiteral("drop role if exists vc_plain_%1"));
    ASSERT_TRUE(role.Error().isEmpty()) << role.Error().toStdString();
    DbServerSettings plain = server;
    plain.user = role.Named("vc_plain_%1");
    plain.password = QStringLiteral("plain pass");
    for (const auto& [login, superuser] : {std::pair {server, true}, std::pair {plain, false}}) {
        SCOPED_TRACE(login.user.toStdString());
        std::unique_ptr<DbConnection> routes[] = {
            DbConnection::OpenPostgreSQL(login), DbConnection::OpenOdbc(PsqlOdbcString(login))};
        for (const auto& db : routes) {
            ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
            EXPECT_EQ(db->SuperuserLogin(), superuser);
            DbRows rows;
            ASSERT_TRUE(db->Query("select current_user::text, current_setting('transaction_read_only')", rows))
                << db->LastError().toStdString();
            EXPECT_EQ(rows.Row(0), (QStringList {superuser ? QStringLiteral("pg_read_all_data") : login.user, "on"}));
        }
    }
}

// psqlODBC reads '?' as a parameter marker: a jsonb operator spelt with one is refused unsent,
// by a query and by a walk, naming the source and the functions to write instead, which read
// as the operators do; a '?' in quotes, names and comments goes through.
TEST_F(OdbcSessionTest, AQuestionMarkOperatorIsRefusedWithTheFunctionsToWrite)
{
    VC_TEST_SERVER(server, "VC_PG");
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(server), QStringLiteral("库存"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const QString message = QStringLiteral(
        "数据源“库存”的SQL语句在引号和注释之外含有问号（?），PostgreSQL 的 ODBC 驱动程序把它当作参数标记，语句没有发送。"
        "请把 jsonb 的运算符 ?、?| 和 ?& 分别改写为函数 jsonb_exists(值, 键)、jsonb_exists_any(值, 键数组) 和 "
        "jsonb_exists_all(值, 键数组)。");
    DbRows rows;
    for (const char* sql : {"select ('{\"a\": 1}'::jsonb ? 'a')::text",
             "select ('{\"a\": 1}'::jsonb ?| array['b', 'a'])::text",
             "select \"Id\" from \"People\" where jsonb_build_object('c', \"City\") ?& array['c']"}) {
        SCOPED_TRACE(sql);
        EXPECT_FALSE(db->Query(sql, rows));
        EXPECT_TRUE(db->Stopped());
        EXPECT_EQ(db->LastError(), message);
        auto walk = db->OpenCursor(sql);
        EXPECT_FALSE(walk->Fetch(-1, rows));
        EXPECT_TRUE(walk->Stopped());
        EXPECT_EQ(walk->LastError(), message);
        EXPECT_EQ(rows.RowCount(), 0);
    }
    ASSERT_TRUE(db->Query("select jsonb_exists('{\"a\": 1}'::jsonb, 'a')::text, "
                          "jsonb_exists_any('{\"a\": 1}'::jsonb, array['b', 'a'])::text, "
                          "jsonb_exists_all('{\"a\": 1}'::jsonb, array['a', 'b'])::text as \"all?\" -- or ?&\n",
        rows))
        << db->LastError().toStdString();
    EXPECT_EQ(rows.Columns().last(), "all?");
    EXPECT_EQ(rows.Row(0), (QStringList {"true", "true", "false"}));
    ASSERT_TRUE(db->Query("select '?' /* ? */ as a", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "?");
    EXPECT_FALSE(db->Stopped());
}

// Through PgBouncer pooling statement by statement, which ends a client whose transaction stays
// open past a statement: tables, counts, rows and walks read as they do from the server, a
// failed statement leaves the connection reading on, and nothing one statement sets for the
// session reaches the next, which may run on another of the pool's server connections.
TEST_F(OdbcSessionTest, ThroughAPoolOfSingleStatements)
{
    VC_TEST_SERVER(server, "VC_PG");
    if (!qEnvironmentVariableIsSet("VC_PGB_STATEMENT_DATABASE")) {
        if (qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
            FAIL() << "VC_PGB_STATEMENT_DATABASE is missing although the database servers are required";
        GTEST_SKIP() << "no PgBouncer settings; run scripts/dbservers.sh start and source its env file";
    }
    DbServerSettings pool = server;
    pool.host = qEnvironmentVariable("VC_PGB_HOST");
    pool.port = qEnvironmentVariableIntValue("VC_PGB_PORT");
    pool.database = qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE");
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(pool), QStringLiteral("库存"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables)) << db->LastError().toStdString();
    EXPECT_TRUE(tables.contains("People"));
    QStringList fields;
    ASSERT_TRUE(db->ListFields("People", fields)) << db->LastError().toStdString();
    EXPECT_EQ(fields, (QStringList {"Id", "Name", "City", "Note"}));
    DbRows rows;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(db->Query("select count(*)::text from \"People\"", rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "100");
        ReadThroughAPoolOfSingleStatements(*db);
    }
}
