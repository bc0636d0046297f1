// What the PostgreSQL server itself holds a statement to, for an ordinary login the test makes,
// on both routes (libpq's, psqlODBC's), straight and through PgBouncer pooling by session, by
// transaction and by statement: a text the server reads as more than one statement is refused
// before any of it runs, and a procedure that commits keeps nothing; statements that read,
// calls of procedures among them, still read. The statements go as the program sends them, past
// the statement check on purpose; a server of the test's own stands for one that reads a text
// as several statements where psqlODBC reads one.
#include "DbTestEnv.h"
#include "PgServerObjects.h"
#include "ScriptedPgServer.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"
#include "platform/db/PgStatementForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct HoldRoute
{
    QString name;
    DbServerSettings login;
    bool odbc;
};

class PgStatementHold : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::optional<DbServerSettings> server = TestServerSettings("VC_PG");
        const bool pools = qEnvironmentVariableIsSet("VC_PGB_TRANSACTION_DATABASE");
        if (!server || !pools) {
            if (qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
                FAIL() << "VC_PG_* or VC_PGB_* settings are missing although the database servers are required";
            GTEST_SKIP() << "no database server settings; run scripts/dbservers.sh start and source its env file";
        }
        m_server = *server;
        m_objects = std::make_unique<ServerObjects>(m_server,
            QStringLiteral(
                "create role vc_hold_%1 login password 'hold pass';"
                "create table vc_marks_%1 (t text);"
                "grant select, insert on vc_marks_%1 to vc_hold_%1;"
                "grant select on \"People\" to vc_hold_%1;"
                "create procedure vc_own_tx_%1() language plpgsql as $$ begin commit; set transaction read write; "
                "insert into vc_marks_%1 values ('by a procedure'); commit; end $$;"
                "create procedure vc_reads_%1() language plpgsql as $$ begin perform count(*) from vc_marks_%1; end $$;"
                "create procedure vc_inout_%1(inout n int, inout t text) language plpgsql as "
                "$$ begin n := n + 1; t := t || ';' || n; end $$;"),
            QStringLiteral("drop procedure if exists vc_own_tx_%1(), vc_reads_%1(), vc_inout_%1(int, text);"
                           "drop table if exists vc_marks_%1; revoke all on \"People\" from vc_hold_%1;"
                           "drop role if exists vc_hold_%1;"));
        ASSERT_TRUE(m_objects->Error().isEmpty()) << m_objects->Error().toStdString();
        DbServerSettings login = m_server;
        login.user = Named("vc_hold_%1");
        login.password = QStringLiteral("hold pass");
        DbServerSettings pool = login;
        pool.host = qEnvironmentVariable("VC_PGB_HOST");
        pool.port = qEnvironmentVariableIntValue("VC_PGB_PORT");
        const std::pair<QString, DbServerSettings> ways[] = {{"straight", login}, {"session pool", pool},
            {"transaction pool", WithDatabase(pool, "VC_PGB_TRANSACTION_DATABASE")},
            {"statement pool", WithDatabase(pool, "VC_PGB_STATEMENT_DATABASE")}};
        for (const auto& [name, settings] : ways) {
            m_routes.push_back({name + " native", settings, false});
            m_routes.push_back({name + " psqlODBC", settings, true});
        }
    }

    static DbServerSettings WithDatabase(DbServerSettings settings, const char* variable)
    {
        settings.database = qEnvironmentVariable(variable);
        return settings;
    }

    QString Named(const char* statement) const { return m_objects->Named(statement); }

    static std::unique_ptr<DbConnection> Open(const HoldRoute& route)
    {
        return route.odbc ? DbConnection::OpenOdbc(PsqlOdbcString(route.login), QStringLiteral("标签数据"))
                          : DbConnection::OpenPostgreSQL(route.login);
    }

    // The rows the table took, read by the server's own login.
    QString Marks() const
    {
        auto db = DbConnection::OpenPostgreSQL(m_server);
        DbRows rows;
        if (!db->Query(Named("select count(*)::text from vc_marks_%1"), rows))
            return db->LastError();
        return rows.Value(0, 0);
    }

    // The connection reads on after a refusal or a failure.
    static void ExpectReadsOn(DbConnection& db)
    {
        DbRows rows;
        ASSERT_TRUE(db.Query("select 'again' as a", rows)) << db.LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "again");
    }

    DbServerSettings m_server;
    std::unique_ptr<ServerObjects> m_objects;
    std::vector<HoldRoute> m_routes;
};

} // namespace

// The server takes $٣$ for a dollar quote: the label's text closes the select the program puts
// it in, commits, writes and commits again. Refused on every route, by a query and by a walk;
// the program's own message says so where the server parsed the whole text (libpq's route),
// psqlODBC's split of it is refused in the server's words. Texts with quotes that hold a ';',
// and calls of procedures that only read, still read.
TEST_F(PgStatementHold, ATextTheServerReadsAsSeveralStatementsIsRefused)
{
    const DbSourceScope source(QStringLiteral("标签数据"));
    const QString attacks[] = {
        Named("select * from (select $٣$'$٣$ as a) t; commit; insert into vc_marks_%1 values "
              "($٣$written by a label$٣$); commit; select * from (select $٣$'$٣$ as a) t"),
        Named("select * from (select $q$'$q$ as a) t; commit; insert into vc_marks_%1 values ('q'); commit; "
              "select * from (select 1) t"),
        Named("call vc_reads_%1(); commit; insert into vc_marks_%1 values ('after a call'); commit"),
        Named("select 1 as a; commit; set transaction read write; insert into vc_marks_%1 values ('plain')"),
    };
    const struct
    {
        QString sql;
        QStringList columns, firstRow;
    } controls[] = {
        {"select * from (select $٣$;$٣$ as a, $q$;'$q$ as b) t", {"a", "b"}, {";", ";'"}},
        {"select * from (select \"Id\", \"City\" from \"People\" where \"Id\" in (2, 3) order by 1) t limit 5",
            {"Id", "City"}, {"2", "city 😀"}},
        {Named("call vc_reads_%1()"), {}, {}},
        {Named(" CALL\tvc_inout_%1(41, 'n')"), {"n", "t"}, {"42", "n;42"}},
    };
    for (const HoldRoute& route : m_routes) {
        SCOPED_TRACE(route.name.toStdString());
        auto db = Open(route);
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        EXPECT_FALSE(db->SuperuserLogin());
        DbRows rows;
        for (const QString& attack : attacks) {
            SCOPED_TRACE(attack.toStdString());
            EXPECT_FALSE(db->Query(attack, rows));
            EXPECT_FALSE(db->LastError().isEmpty());
            if (!route.odbc) {
                EXPECT_EQ(db->LastError(), PgSeveralStatementsMessage());
                EXPECT_TRUE(db->Stopped());
            }
            ExpectReadsOn(*db);
            auto walk = db->OpenCursor(attack);
            EXPECT_FALSE(walk->Fetch(-1, rows));
            walk.reset();
            ExpectReadsOn(*db);
        }
        for (const auto& control : controls) {
            SCOPED_TRACE(control.sql.toStdString());
            ASSERT_TRUE(db->Query(control.sql, rows)) << db->LastError().toStdString();
            EXPECT_EQ(rows.Columns(), control.columns);
            EXPECT_EQ(rows.RowCount() > 0 ? rows.Row(0) : QStringList(), control.firstRow);
            auto walk = db->OpenCursor(control.sql);
            ASSERT_TRUE(walk->Fetch(1, rows)) << walk->LastError().toStdString();
            EXPECT_EQ(rows.RowCount() > 0 ? rows.Row(0) : QStringList(), control.firstRow);
        }
    }
    EXPECT_EQ(Marks(), "0");
    EXPECT_EQ(QStringLiteral("数据源“标签数据”的SQL语句被 PostgreSQL 服务器读作不止一条语句，没有执行。"),
        PgSeveralStatementsMessage());
}

// The resolving steps go before the program's question in its transaction, together with it: what
// they make is seen by the question and gone after it, on every route and pool; a statement that
// holds two is refused with nothing run (natively the server parses each step alone; through
// psqlODBC it is parsed alone first).
TEST_F(PgStatementHold, StatementsBeforeAQueryShareItsTransaction)
{
    const DbSourceScope source(QStringLiteral("标签数据"));
    for (const HoldRoute& route : m_routes) {
        SCOPED_TRACE(route.name.toStdString());
        auto db = Open(route);
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        ASSERT_TRUE(db->QueryResolving("select 41 + 1 as n", "select 1",
            {"create temp view vc_prior_v as select 41 + 1 as n"},
            "select n::text as n, current_setting('jit') as jit from vc_prior_v", rows))
            << db->LastError().toStdString();
        EXPECT_EQ(rows.Row(0), (QStringList {"42", "off"}));
        ASSERT_TRUE(db->Query("select count(*)::text from pg_class where relname = 'vc_prior_v'", rows));
        EXPECT_EQ(rows.Value(0, 0), "0");
        const QString several = "select 1 as n; select set_config('vc.ran', 'yes', false)";
        EXPECT_FALSE(db->QueryResolving(several, "select 1", {"create temp view vc_prior_v as " + several},
            "select set_config('vc.ran', 'yes', false)", rows));
        if (!route.odbc) {
            EXPECT_EQ(db->LastError(), PgSeveralStatementsMessage());
        }
        EXPECT_FALSE(db->LastError().isEmpty());
        ASSERT_TRUE(db->Query("select coalesce(current_setting('vc.ran', true), '') as ran", rows));
        EXPECT_EQ(rows.Value(0, 0), "");
    }
}

// A procedure (or a block) that commits, makes its next transaction one that writes, writes and
// commits again: it cannot end the statement's transaction on any route, so nothing stays, and
// the statement's failure leaves the connection reading on (a pool of single statements would
// end a client left in a transaction).
TEST_F(PgStatementHold, AProcedureThatCommitsKeepsNothing)
{
    const QString commits[] = {
        Named("call vc_own_tx_%1()"),
        Named("do $$ begin commit; set transaction read write; insert into vc_marks_%1 values ('by a block'); "
              "commit; end $$"),
    };
    for (const HoldRoute& route : m_routes) {
        SCOPED_TRACE(route.name.toStdString());
        auto db = Open(route);
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        for (const QString& sql : commits) {
            SCOPED_TRACE(sql.toStdString());
            EXPECT_FALSE(db->Query(sql, rows));
            // psqlODBC's route sends the server calls alone and queries, no block.
            if (!route.odbc || sql.startsWith("call")) {
                EXPECT_TRUE(db->LastError().contains("invalid transaction termination"))
                    << db->LastError().toStdString();
            }
            ExpectReadsOn(*db);
            auto walk = db->OpenCursor(sql);
            EXPECT_FALSE(walk->Fetch(-1, rows));
            walk.reset();
            ExpectReadsOn(*db);
        }
        // What each statement's transaction holds, a call's too.
        ASSERT_TRUE(db->Query(Named("call vc_inout_%1(0, current_setting('transaction_read_only') || "
                                    "(current_setting('statement_timeout') <> '0')::text)"),
            rows))
            << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 1), "ontrue;1");
        EXPECT_FALSE(db->Query("select 1/0", rows));
        ExpectReadsOn(*db);
    }
    EXPECT_EQ(Marks(), "0");
}

// Where the server is handed the whole statement and reads it as several (on psqlODBC's route
// too, where the driver reads no ';' of its own: the one in quotes has the server parse it
// alone first), the refusal is the program's own, by a query and by a walk, for a query and for
// a call, and nothing of the statement runs: its frame is not sent. The connection reads on.
TEST(PgStatementHoldScripted, ARefusalOfSeveralStatementsIsTheProgramsOwnOnBothRoutes)
{
    ScriptedPgServer::Script script;
    script.severalStatements = "two in one";
    ScriptedPgServer server(script, false);
    const DbSourceScope source(QStringLiteral("库存"));
    std::unique_ptr<DbConnection> routes[] = {DbConnection::OpenPostgreSQL(server.Settings()),
        DbConnection::OpenOdbc(PsqlOdbcString(server.Settings()), QStringLiteral("库存"))};
    for (const auto& db : routes) {
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        for (const char* sql : {"select 'two in one;' as big", "call p('two in one;')"}) {
            SCOPED_TRACE(sql);
            for (const bool cursor : {false, true})
                ExpectRefusedPastBound(*db, sql, cursor, PgSeveralStatementsMessage());
            DbRows rows;
            ASSERT_TRUE(db->Query("select big from t", rows)) << db->LastError().toStdString();
        }
    }
    for (const QByteArray& sent : server.Statements())
        EXPECT_FALSE(sent.contains("two in one") && sent.contains("ROLLBACK")) << sent.constData();
    EXPECT_TRUE(PgSeveralStatementsMessage().contains(QStringLiteral("“库存”")));
}
