// What the servers' catalogs tell about a statement before it is sent: the routines the
// database defines that it reaches (by name, by operator, through views), never a built-in one,
// and the login's file or program rights, on every route a PostgreSQL source takes.
#include "PgServerObjects.h"
#include "model/SqlStatementCheck.h"
#include "platform/db/DbCatalog.h"

#include <gtest/gtest.h>

namespace {

DbStatementFacts FactsOf(DbConnection& db, const QString& sql)
{
    const SqlStatementNames names = SqlNamesOf(sql, db.ServerKind());
    DbStatementFacts facts;
    EXPECT_TRUE(ReadStatementFacts(db, sql, names.names, names.operators, RefusedSqlNamePatterns(), facts))
        << db.LastError().toStdString();
    return facts;
}

} // namespace

// The names as the server reads them: unquoted words folded (PostgreSQL), quoted names kept,
// and each run of operator characters whole.
TEST(StatementFacts, TheNamesAreReadAsTheServerReadsThem)
{
    SqlServerKind pg;
    pg.server = SqlServerKind::PostgreSQL;
    pg.standardStrings = true;
    const SqlStatementNames names = SqlNamesOf(QStringLiteral("select F_Run('Lit'), \"Quo\"\"ted\" from s.t where 1 #~#-2"), pg);
    EXPECT_TRUE(names.names.contains("f_run"));
    EXPECT_TRUE(names.names.contains("Quo\"ted"));
    EXPECT_TRUE(names.names.contains("s"));
    EXPECT_FALSE(names.names.contains("Lit"));
    EXPECT_FALSE(names.names.contains("F_Run"));
    EXPECT_EQ(names.operators, QStringList {"#~#-"});
    SqlServerKind my;
    my.server = SqlServerKind::MySQL;
    EXPECT_TRUE(SqlNamesOf(QStringLiteral("select `F_Dump`(1)"), my).names.contains("F_Dump"));
}

TEST(StatementFacts, PostgreSQLTellsDefinedRoutinesAndFileRightsOnEveryRoute)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server,
        QStringLiteral(
            "create role vc_sf_plain_%1 login password 'plain pass';"
            "create role vc_sf_files_%1 login password 'plain pass' in role pg_write_server_files;"
            "create role vc_sf_mid_%1 in role pg_execute_server_program;"
            "create role vc_sf_prog_%1 login password 'plain pass' in role vc_sf_mid_%1;"
            "create function vc_sf_run_%1(t text) returns text language plpgsql as $$ begin execute t; return 'ran'; end $$;"
            "create function vc_sf_plus_%1(a int, b int) returns int language sql as $$ select a + b $$;"
            "create operator #~# (function = vc_sf_plus_%1, leftarg = int, rightarg = int);"
            "create view vc_sf_inner_%1 as select vc_sf_run_%1('select 1') as a;"
            "create view vc_sf_outer_%1 as select a from vc_sf_inner_%1;"
            "create view vc_sf_link_%1 as select dblink_get_connections() as a;"),
        QStringLiteral("drop view if exists vc_sf_outer_%1, vc_sf_inner_%1, vc_sf_link_%1;"
                       "drop operator if exists #~# (int, int);"
                       "drop function if exists vc_sf_run_%1, vc_sf_plus_%1;"
                       "drop role if exists vc_sf_plain_%1, vc_sf_files_%1, vc_sf_prog_%1, vc_sf_mid_%1"));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const QString run = objects.Named("public.vc_sf_run_%1");
    const struct
    {
        QString sql;
        QStringList routines;
        bool refused = false; // by the server, which has no such function: nothing more is asked
        const char* builtin = nullptr; // the server's kind of code (an extension's C function), judged as its own
    } cases[] = {
        {QStringLiteral("select now()::text, lower('A'), count(*) from \"People\""), {}},
        {QStringLiteral("select * from lower"), {}}, // a table named like a built-in function
        {objects.Named("select VC_SF_RUN_%1('select 1')"), {run}},
        {objects.Named("select \"VC_SF_RUN_%1\"('select 1')"), {}, true}, // quoted: another name
        {objects.Named("select a from vc_sf_outer_%1"), {run}},
        {QStringLiteral("select 1 #~# 2"), {objects.Named("public.vc_sf_plus_%1")}},
        {objects.Named("select a from vc_sf_link_%1"), {}, false, "dblink_get_connections/0"},
    };
    DbServerSettings plain = server;
    plain.password = QStringLiteral("plain pass");
    const auto login = [&](const char* user) {
        DbServerSettings s = plain;
        s.user = objects.Named(user);
        return s;
    };
    const struct
    {
        DbServerSettings login;
        bool superuser;
        QStringList rights;
    } logins[] = {
        {server, true, {"pg_execute_server_program", "pg_read_server_files", "pg_write_server_files"}},
        {login("vc_sf_plain_%1"), false, {}},
        {login("vc_sf_files_%1"), false, {"pg_write_server_files"}},
        {login("vc_sf_prog_%1"), false, {"pg_execute_server_program"}},
    };
    for (const auto& l : logins) {
        SCOPED_TRACE(l.login.user.toStdString());
        std::unique_ptr<DbConnection> routes[]
            = {DbConnection::OpenPostgreSQL(l.login), DbConnection::OpenOdbc(PsqlOdbcString(l.login))};
        for (const auto& db : routes) {
            ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
            for (const auto& c : cases) {
                SCOPED_TRACE(c.sql.toStdString());
                const DbStatementFacts facts = FactsOf(*db, c.sql);
                EXPECT_EQ(facts.routines, c.routines);
                if (c.builtin) {
                    EXPECT_TRUE(facts.builtins.contains(QLatin1String(c.builtin)))
                        << facts.builtins.join(' ').toStdString();
                }
                EXPECT_EQ(facts.superuser, l.superuser);
                EXPECT_EQ(facts.unresolved == DbStatementFacts::Unresolved::Other, c.refused);
                EXPECT_EQ(facts.loginRights, c.refused ? QStringList() : l.rights);
                EXPECT_FALSE(facts.routinesUnknown);
            }
        }
    }

    // Through PgBouncer, also where it pools statement by statement.
    const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB");
    if (!pooler && qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
        FAIL() << "VC_PGB_* settings are missing although the database servers are required";
    if (!pooler)
        return;
    DbServerSettings through = server;
    through.host = pooler->host;
    through.port = pooler->port;
    for (const QString& database : {server.database, qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE")}) {
        SCOPED_TRACE(database.toStdString());
        through.database = database;
        std::unique_ptr<DbConnection> routes[]
            = {DbConnection::OpenPostgreSQL(through), DbConnection::OpenOdbc(PsqlOdbcString(through))};
        for (const auto& db : routes) {
            ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
            const DbStatementFacts facts = FactsOf(*db, objects.Named("select a from vc_sf_outer_%1"));
            EXPECT_EQ(facts.routines, QStringList {run});
            EXPECT_EQ(facts.loginRights.size(), 3);
        }
    }
}

TEST(StatementFacts, MariaDBTellsDefinerRoutinesAndThoseItsViewsCall)
{
    VC_TEST_SERVER(server, "VC_MY");
    auto db = DbConnection::OpenMySQL(server);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const QString dump = server.database + QStringLiteral(".f_dump");
    const struct
    {
        QString sql;
        QStringList routines;
    } cases[] = {
        {QStringLiteral("select f_dump('x') as a"), {dump}},
        {QStringLiteral("select F_DUMP('x') as a"), {dump}},
        {QStringLiteral("select a from v_dump"), {dump}},
        {QStringLiteral("call TwoSets()"), {server.database + QStringLiteral(".TwoSets")}},
        {QStringLiteral("select lower('A'), now(), count(*) from People"), {}},
        {QStringLiteral("select version(), format_bytes(1) as `😀`"), {}}, // sys has a view and a function of those names
        // sys holds the server's routines and views and an administrator's beside them: only the
        // server's own account's are the server's.
        {QStringLiteral("select sys.format_bytes(1024) as a"), {}},
        {QStringLiteral("select a from v_sys_bytes"), {}},
        {QStringLiteral("select sys.vc_admin_dump('x') as a"), {QStringLiteral("sys.vc_admin_dump")}},
        {QStringLiteral("select `SYS`.`VC_ADMIN_DUMP`('x') as a"), {QStringLiteral("sys.vc_admin_dump")}},
        {QStringLiteral("select a from v_admin_dump"), {QStringLiteral("sys.vc_admin_dump")}},
        {QStringLiteral("select a from sys.vc_admin_view"), {QStringLiteral("sys.vc_admin_dump")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql.toStdString());
        const DbStatementFacts facts = FactsOf(*db, c.sql);
        EXPECT_EQ(facts.routines, c.routines);
        EXPECT_TRUE(facts.unreadViews.isEmpty());
        EXPECT_FALSE(facts.routinesUnknown);
    }

    // A login that may read the view but not its text: the view is named as one it cannot tell.
    DbServerSettings viewer = server;
    viewer.user = QStringLiteral("vc_viewer");
    viewer.password = QStringLiteral("viewer pass");
    auto seen = DbConnection::OpenMySQL(viewer);
    ASSERT_TRUE(seen->IsOpen()) << seen->LastError().toStdString();
    const DbStatementFacts facts = FactsOf(*seen, QStringLiteral("select a from v_dump"));
    EXPECT_EQ(facts.unreadViews, QStringList {server.database + QStringLiteral(".v_dump")});
    EXPECT_TRUE(facts.unseenRelations.isEmpty());

    // A view it may read, text and all, that reads a view of a schema it cannot see, which calls
    // a routine it cannot see either: the hidden view is named, never taken for a table. Beside
    // it a view over a table the login may read tells nothing.
    const DbStatementFacts behind = FactsOf(*seen, QStringLiteral("select a from v_behind"));
    EXPECT_EQ(behind.unseenRelations,
        QStringList {QStringLiteral("vc_hidden.v_inner（视图 %1.v_behind 读取）").arg(server.database)});
    EXPECT_TRUE(behind.routines.isEmpty());
    EXPECT_TRUE(behind.unreadViews.isEmpty());
    EXPECT_EQ(FactsOf(*seen, QStringLiteral("select a from v_names")), DbStatementFacts {});
}
