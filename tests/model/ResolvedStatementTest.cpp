// What a PostgreSQL statement calls is what the server resolves, not what its words name: the
// server's refused functions written in every notation it accepts, the functions that run a text
// or read the relations a text or a schema names, casts, views and regclass literals, each
// resolved by the server (nothing run) on both routes and through each of PgBouncer's pools, and
// each refused or named in red before 允许. Harmless statements still ask once, with no caution.
#include "GuardedStatement.h"
#include "RecordingApprover.h"
#include "SuiteQueries.h"
#include "model/DLBase.h"
#include "model/SqlStatements.h"

#include <gtest/gtest.h>

namespace {

bool CallsRefused(const DbStatementFacts& facts)
{
    return std::any_of(facts.builtins.begin(), facts.builtins.end(), [](const QString& builtin) {
        return IsRefusedSqlFunction(builtin.section(u'/', 0, 0), builtin.section(u'/', 1).toInt());
    });
}

// The server's functions that reach past reading, or run a text or a schema's relations: a
// call's arguments, and the one argument of the "(x).f" notation where the function takes one.
struct Builtin
{
    const char* name;
    const char* arguments;
    const char* single; // null where the function needs more than one argument
};
const Builtin kBuiltins[] = {
    {"pg_terminate_backend", "0", "0"},
    {"pg_cancel_backend", "0", "0"},
    {"pg_read_file", "'postgresql.conf'", "'postgresql.conf'::text"},
    {"pg_read_binary_file", "'postgresql.conf'", "'postgresql.conf'::text"},
    {"pg_stat_file", "'postgresql.conf'", "'postgresql.conf'::text"},
    {"pg_ls_dir", "'.'", "'.'::text"},
    {"lo_import", "'/etc/hostname'", "'/etc/hostname'::text"},
    {"lo_export", "0, '/tmp/x'", nullptr},
    {"set_config", "'role', 'x', false", nullptr},
    {"pg_reload_conf", "", nullptr},
    {"ts_stat", "'select 1'", "('select 1')::text"},
    {"ts_rewrite", "'a'::tsquery, 'select 1'", nullptr},
    {"query_to_xml", "'select 1', true, false, ''", nullptr},
    {"query_to_xml_and_xmlschema", "'select 1', true, false, ''", nullptr},
    {"cursor_to_xml", "'c'::refcursor, 1, true, false, ''", nullptr},
    {"schema_to_xml", "'public', true, false, ''", nullptr},
    {"database_to_xml", "true, false, ''", nullptr},
};

// The test's objects: a superuser's SECURITY DEFINER function that runs its text, a cast whose
// function is one, a view that calls it, one view for each server function above, a table with
// columns named like routines, logins (one with EXECUTE on pg_read_file, one read-only).
QString MakeStatements()
{
    QString make = QStringLiteral(
        "create role vc_rs_plain_%1 login password 'rs pass';"
        "create role vc_rs_files_%1 login password 'rs pass';"
        "grant execute on function pg_read_file(text) to vc_rs_files_%1;"
        "create role vc_rs_ro_%1 login password 'rs pass';"
        "alter role vc_rs_ro_%1 set default_transaction_read_only = on;"
        "create function vc_rs_run_%1(t text) returns text language plpgsql security definer as "
        "$$ begin execute t; return 'ran'; end $$;"
        "create type vc_rs_sqltext_%1 as (t text);"
        "create function vc_rs_cast_%1(t text) returns vc_rs_sqltext_%1 language plpgsql security definer as "
        "$$ begin execute t; return row(t); end $$;"
        "create cast (text as vc_rs_sqltext_%1) with function vc_rs_cast_%1(text);"
        "create view vc_rs_view_%1 as select vc_rs_run_%1('select 1') as a;"
        "create table vc_rs_t_%1 (pg_terminate_backend int, vc_rs_run_%1 int, a text);"
        "insert into vc_rs_t_%1 values (1, 2, 'x');"
        "create view vc_rs_plainview_%1 as select a from vc_rs_t_%1;"
        "grant select on vc_rs_t_%1, vc_rs_plainview_%1, vc_rs_view_%1 to public;");
    for (const Builtin& b : kBuiltins)
        make += QStringLiteral("create view vc_rs_v_%2_%1 as select (%2(%3))::text as a;")
                    .arg(QStringLiteral("%1"), QLatin1String(b.name), QLatin1String(b.arguments));
    return make;
}

QString DropStatements()
{
    QString drop = QStringLiteral("drop view if exists vc_rs_view_%1, vc_rs_plainview_%1");
    for (const Builtin& b : kBuiltins)
        drop += QStringLiteral(", vc_rs_v_%1_%2").arg(QLatin1String(b.name), QStringLiteral("%1"));
    return drop
        + QStringLiteral(";drop table if exists vc_rs_t_%1;"
                         "drop cast if exists (text as vc_rs_sqltext_%1);"
                         "drop function if exists vc_rs_run_%1, vc_rs_cast_%1;"
                         "drop type if exists vc_rs_sqltext_%1;"
                         "revoke execute on function pg_read_file(text) from vc_rs_files_%1;"
                         "drop role if exists vc_rs_plain_%1, vc_rs_files_%1, vc_rs_ro_%1");
}

class ResolvedStatementTest : public ::testing::Test
{
protected:
    DbServerSettings Login(const DbServerSettings& server, const ServerObjects& objects, const char* role)
    {
        return TestLogin(server, objects, role, QStringLiteral("rs pass"));
    }

    // Each notation of each function: a call, "(x).f", schema-qualified, quoted, behind a cast,
    // inside a view, and a view named by a regclass literal.
    static QStringList Notations(const ServerObjects& objects, const Builtin& b)
    {
        const QString name = QLatin1String(b.name);
        const QString args = QLatin1String(b.arguments);
        QStringList sql = {
            QStringLiteral("select %1(%2) as a").arg(name, args),
            QStringLiteral("select pg_catalog.%1(%2) as a").arg(name, args),
            QStringLiteral("select \"pg_catalog\".\"%1\"(%2) as a").arg(name, args),
            QStringLiteral("select (%1(%2))::text as a").arg(name, args),
            objects.Named("select a from vc_rs_v_") + name + objects.Named("_%1"),
            QStringLiteral("select table_to_xml('vc_rs_v_%1_%2', true, false, '') as a").arg(name, objects.Named("%1")),
        };
        if (b.single) {
            const QString single = QLatin1String(b.single);
            sql << QStringLiteral("select (%1).%2 as a").arg(single, name)
                << QStringLiteral("select (%1).\"%2\" as a").arg(single, name)
                << QStringLiteral("select ((%1).%2)::text as a").arg(single, name);
        }
        return sql;
    }
};

TEST_F(ResolvedStatementTest, EveryNotationOfARefusedOrTextRunningFunctionIsRefusedOrNamedInRed)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server, MakeStatements(), DropStatements());
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const DbServerSettings plain = Login(server, objects, "vc_rs_plain_%1");
    const QString run = objects.Named("public.vc_rs_run_%1");
    const QString cast = objects.Named("public.vc_rs_cast_%1");

    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        Routed resolver = Open(route, plain, {});
        ASSERT_TRUE(resolver.db->IsOpen()) << resolver.db->LastError().toStdString();
        for (const Builtin& b : kBuiltins) {
            for (const QString& sql : Notations(objects, b)) {
                SCOPED_TRACE(sql.toStdString());
                // The server resolves it to the function itself, whatever the program's reading says.
                const DbStatementFacts facts = ResolvedFacts(*resolver.db, sql);
                EXPECT_TRUE(facts.resolved);
                EXPECT_TRUE(CallsRefused(facts)) << facts.builtins.join(' ').toStdString();
                const Guarded guarded = Guard(route, plain, sql);
                EXPECT_FALSE(guarded.refusal.isEmpty()) << guarded.cautions.join('|').toStdString();
                EXPECT_TRUE(guarded.refusal.contains(QStringLiteral("远程")) || guarded.refusal.contains(u'“'))
                    << guarded.refusal.toStdString();
            }
        }

        // What the database defines, reached by a cast, a view, a regclass literal: named in red.
        const struct
        {
            QString sql;
            QString named;
        } defined[] = {
            {objects.Named("select ((('copy (select 1) to ''/tmp/vc_rs_%1''')::text)::vc_rs_sqltext_%1)::text as a"), cast},
            {objects.Named("select a from vc_rs_view_%1"), run},
            {objects.Named("select table_to_xml('vc_rs_view_%1', true, false, '')::text as a"), run},
            {objects.Named("select (('select 1')::text).vc_rs_run_%1 as a"), run},
        };
        for (const auto& d : defined) {
            SCOPED_TRACE(d.sql.toStdString());
            EXPECT_EQ(ResolvedFacts(*resolver.db, d.sql).routines, QStringList {d.named});
            const Guarded guarded = Guard(route, plain, d.sql);
            EXPECT_TRUE(guarded.refusal.isEmpty()) << guarded.refusal.toStdString();
            ASSERT_EQ(guarded.questions, 1);
            EXPECT_TRUE(guarded.cautions.join(u'\n').contains(d.named)) << guarded.cautions.join('|').toStdString();
        }

        // A login granted EXECUTE on pg_read_file alone, as monitoring set-ups do.
        const DbServerSettings files = Login(server, objects, "vc_rs_files_%1");
        for (const QString& sql : {QStringLiteral("select ('postgresql.conf'::text).pg_read_file as a"),
                 objects.Named("select a from vc_rs_v_pg_read_file_%1")})
            EXPECT_TRUE(Guard(route, files, sql).refusal.contains(u"pg_read_file")) << sql.toStdString();

        // A relation table_to_xml is given by anything but a constant cannot be followed.
        for (const char* sql : {"select table_to_xml(c.oid, true, false, '')::text as a from pg_class c where false",
                 "select table_to_xml(('vc_rs_view_' || '%1')::regclass, true, false, '')::text as a"}) {
            SCOPED_TRACE(sql);
            EXPECT_EQ(ResolvedFacts(*resolver.db, objects.Named(sql)).variableRelations, QStringList {"table_to_xml"});
            EXPECT_TRUE(Guard(route, plain, objects.Named(sql)).refusal.contains(QStringLiteral("不是以常量指定的")));
        }
    }
}

TEST_F(ResolvedStatementTest, HarmlessStatementsAskOnceWithNoCautionAndRead)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server, MakeStatements(), DropStatements());
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const DbServerSettings plain = Login(server, objects, "vc_rs_plain_%1");
    const QString controls[] = {
        QStringLiteral("select lower(now()::text) || count(*)::text as a"),
        QStringLiteral("select ('ABC'::text).lower as a"), // the "(x).f" notation of a harmless function
        objects.Named("select vc_rs_run_%1::text as a from vc_rs_t_%1"), // columns named like routines
        objects.Named("select t.vc_rs_run_%1::text || t.a as a from vc_rs_t_%1 t"),
        objects.Named("select a from vc_rs_plainview_%1 order by a"),
        objects.Named("select table_to_xml('vc_rs_t_%1', true, false, '')::text as a"),
        // a view of the server's own whose update rule calls set_config: reading it never does
        QStringLiteral("select name as a from pg_settings where name = 'jit'"),
        // a column named like a refused function of the server's: the server resolves "t.f" to the
        // column, and no name is refused for its spelling
        objects.Named("select t.pg_terminate_backend::text as a from vc_rs_t_%1 t"),
    };
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        for (const QString& sql : controls) {
            SCOPED_TRACE(sql.toStdString());
            const Guarded guarded = Guard(route, plain, sql);
            EXPECT_TRUE(guarded.refusal.isEmpty()) << guarded.refusal.toStdString();
            EXPECT_EQ(guarded.questions, 1);
            EXPECT_TRUE(guarded.cautions.isEmpty()) << guarded.cautions.join('|').toStdString();
            Routed routed = Open(route, plain, sql);
            DbRows rows;
            EXPECT_TRUE(routed.db->Query(sql, rows)) << routed.db->LastError().toStdString();
            EXPECT_EQ(rows.RowCount(), 1);
        }
    }
}

// A server that cannot make the view (here: a login whose transactions are read-only) says so in
// red; the program's own reading still refuses "(x).f" calls of refused functions there.
TEST_F(ResolvedStatementTest, WhereTheServerCannotResolveTheQuestionSaysSoAndTheReadingStillRefuses)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server, MakeStatements(), DropStatements());
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const DbServerSettings readOnly = Login(server, objects, "vc_rs_ro_%1");
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        Routed routed = Open(route, readOnly, {});
        ASSERT_TRUE(routed.db->IsOpen()) << routed.db->LastError().toStdString();
        const DbStatementFacts facts = ResolvedFacts(*routed.db, objects.Named("select a from vc_rs_view_%1"));
        EXPECT_FALSE(facts.resolved);
        EXPECT_EQ(facts.unresolved, DbStatementFacts::Unresolved::ReadOnly);
        EXPECT_EQ(facts.routines, QStringList {objects.Named("public.vc_rs_run_%1")}); // by name, as before

        const Guarded harmless = Guard(route, readOnly, QStringLiteral("select 1 as a"));
        ASSERT_EQ(harmless.cautions.size(), 1);
        EXPECT_TRUE(harmless.cautions[0].contains(QStringLiteral("只读"))) << harmless.cautions[0].toStdString();
        for (const char* sql : {"select (0).pg_terminate_backend as a", "select (0) . \"pg_cancel_backend\" as a",
                 "select (('select 1')::text).ts_stat as a", "select ('x'::text).pg_read_file::text as a"}) {
            SCOPED_TRACE(sql);
            EXPECT_FALSE(Guard(route, readOnly, QString::fromLatin1(sql)).refusal.isEmpty());
        }
    }
}

// A login that may not make temporary objects in its database, a database whose event triggers
// or domain checks would run while the view is made: said so in red, with the reason.
TEST_F(ResolvedStatementTest, WhereResolvingWouldRunTheDatabasesCodeOrCannotBeDoneTheLoginIsToldWhy)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects database(server, QStringLiteral("create database vc_rs_db_%1"),
        QStringLiteral("drop database if exists vc_rs_db_%1 with (force)"));
    ASSERT_TRUE(database.Error().isEmpty()) << database.Error().toStdString();
    const ServerObjects objects(server, MakeStatements(), DropStatements());
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    DbServerSettings owner = server;
    owner.database = database.Named("vc_rs_db_%1");
    ASSERT_EQ(WriteOnTestServer(owner, true, QStringLiteral("revoke temporary on database %1 from public").arg(owner.database)), "");
    DbServerSettings plain = Login(server, objects, "vc_rs_plain_%1");
    plain.database = owner.database;
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        Routed routed = Open(route, plain, {});
        ASSERT_TRUE(routed.db->IsOpen()) << routed.db->LastError().toStdString();
        EXPECT_EQ(ResolvedFacts(*routed.db, QStringLiteral("select 1 as a")).unresolved,
            DbStatementFacts::Unresolved::NoTempRight);
        const Guarded guarded = Guard(route, plain, QStringLiteral("select 1 as a"));
        ASSERT_EQ(guarded.cautions.size(), 1);
        EXPECT_TRUE(guarded.cautions[0].contains(QStringLiteral("TEMP"))) << guarded.cautions[0].toStdString();
    }

    // An event trigger would run on the view's CREATE: the view is not made, and the trigger
    // (which counts its runs in a sequence, untouched by a rollback) never runs.
    ASSERT_EQ(WriteOnTestServer(owner, true,
                  QStringLiteral("grant temporary on database %1 to public;"
                                 "create sequence vc_rs_fired; grant usage, select on sequence vc_rs_fired to public;"
                                 "create function vc_rs_fire() returns event_trigger language plpgsql as "
                                 "$$ begin perform nextval('vc_rs_fired'); end $$;"
                                 "create event trigger vc_rs_on_ddl on ddl_command_start execute function vc_rs_fire()")
                      .arg(owner.database)),
        "");
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        Routed routed = Open(route, plain, {});
        ASSERT_TRUE(routed.db->IsOpen()) << routed.db->LastError().toStdString();
        EXPECT_EQ(ResolvedFacts(*routed.db, QStringLiteral("select 1 as a")).unresolved,
            DbStatementFacts::Unresolved::EventTrigger);
        DbRows rows;
        ASSERT_TRUE(routed.db->Query(QStringLiteral("select is_called::text from vc_rs_fired"), rows)) << routed.db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), QStringLiteral("false"));
    }

    // A domain's check runs while a literal of it is parsed ('{1}'::d[]): one that calls a
    // function of the database's is not parsed; one of built-in immutable functions is.
    const QString counted = QStringLiteral("select '{1}'::vc_rs_positive[] as a, '{1}'::vc_rs_counted[] as b");
    ASSERT_EQ(WriteOnTestServer(owner, true,
                  QStringLiteral("drop event trigger vc_rs_on_ddl;"
                                 "create domain vc_rs_positive as int check (value > 0 and length(value::text) < 9);"
                                 "create function vc_rs_count(v int) returns bool language plpgsql as "
                                 "$$ begin perform nextval('vc_rs_fired'); return true; end $$;")),
        "");
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        Routed routed = Open(route, plain, {});
        EXPECT_TRUE(ResolvedFacts(*routed.db, QStringLiteral("select '{1}'::vc_rs_positive[] as a")).resolved);
    }
    ASSERT_EQ(WriteOnTestServer(owner, true, QStringLiteral("create domain vc_rs_counted as int check (vc_rs_count(value))")), "");
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        Routed routed = Open(route, plain, {});
        EXPECT_EQ(ResolvedFacts(*routed.db, counted).unresolved, DbStatementFacts::Unresolved::DomainCheck);
        DbRows rows;
        ASSERT_TRUE(routed.db->Query(QStringLiteral("select is_called::text from vc_rs_fired"), rows)) << routed.db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), QStringLiteral("false"));
    }
}

// Through PgBouncer, in each of its pool modes: resolved in the pooled transaction, and the
// connection handed on clean (no view, no transaction left).
TEST_F(ResolvedStatementTest, ThroughEachPoolModeTheServerResolvesAlike)
{
    VC_TEST_SERVER(server, "VC_PG");
    const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB");
    if (!pooler && qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
        FAIL() << "VC_PGB_* settings are missing although the database servers are required";
    if (!pooler)
        GTEST_SKIP() << "no PgBouncer settings";
    const ServerObjects objects(server, MakeStatements(), DropStatements());
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    DbServerSettings through = server;
    through.host = pooler->host;
    through.port = pooler->port;
    for (const QString& database : {server.database, qEnvironmentVariable("VC_PGB_TRANSACTION_DATABASE"),
             qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE")}) {
        SCOPED_TRACE(database.toStdString());
        through.database = database;
        for (const Route route : {Route::Native, Route::PsqlOdbc}) {
            SCOPED_TRACE(RouteName(route));
            Routed routed = Open(route, through, {});
            ASSERT_TRUE(routed.db->IsOpen()) << routed.db->LastError().toStdString();
            for (int again = 0; again < 2; ++again) {
                const DbStatementFacts hidden = ResolvedFacts(*routed.db, objects.Named("select a from vc_rs_v_pg_terminate_backend_%1"));
                EXPECT_TRUE(hidden.resolved);
                EXPECT_TRUE(CallsRefused(hidden));
                EXPECT_EQ(ResolvedFacts(*routed.db, objects.Named("select a from vc_rs_view_%1")).routines,
                    QStringList {objects.Named("public.vc_rs_run_%1")});
            }
            DbRows rows;
            ASSERT_TRUE(routed.db->Query(QStringLiteral("select count(*) from pg_class where relname = 'vellumcraft_resolved'"), rows))
                << routed.db->LastError().toStdString();
            EXPECT_EQ(rows.Value(0, 0), QStringLiteral("0"));
            EXPECT_TRUE(Guard(route, through, objects.Named("select a from vc_rs_v_ts_stat_%1")).refusal.contains(u"ts_stat"));
        }
    }
}

// The database named (a "%1" in the name stands for the test's suffix), made for the test,
// whose enum type vc_ty_evil has default btree and hash classes made by the superuser, with
// support functions of the database's that count their runs in a sequence (untouched by a
// rollback) as the owner: what compares, sorts or hashes its values runs them. Beside it a
// domain whose check uses GREATEST over int and ranges over int and text. An ordinary login
// reads.
class TypeSupportDatabase
{
public:
    TypeSupportDatabase(const DbServerSettings& server, const QString& name)
        : m_server(server)
        , m_login(server, QStringLiteral("create role vc_ty_plain_%1 login password 'ty pass'"),
              QStringLiteral("drop role if exists vc_ty_plain_%1"))
    {
        owner = server;
        owner.database = m_login.Named(name.toUtf8().constData());
        plain = owner;
        plain.user = m_login.Named("vc_ty_plain_%1");
        plain.password = QStringLiteral("ty pass");
        QString make = QStringLiteral(
            "create sequence vc_ty_marks;"
            "create function vc_ty_mark() returns void language plpgsql security definer as "
            "$$ begin perform nextval('vc_ty_marks'); end $$;"
            "create type vc_ty_evil as enum ('a', 'b', 'c');"
            "create function vc_ty_cmp(a vc_ty_evil, b vc_ty_evil) returns int language plpgsql immutable "
            "security definer as $$ begin perform vc_ty_mark(); return enum_cmp(a, b); end $$;"
            "create function vc_ty_hash(a vc_ty_evil) returns int language plpgsql immutable "
            "security definer as $$ begin perform vc_ty_mark(); return hashenum(a); end $$;");
        for (const char* op : {"<:lt", "<=:le", "=:eq", ">=:ge", ">:gt"}) {
            const QStringList parts = QString::fromLatin1(op).split(u':');
            make += QStringLiteral("create function vc_ty_%2(a vc_ty_evil, b vc_ty_evil) returns bool language sql "
                                   "immutable as 'select enum_%2(a, b)';"
                                   "create operator %1 (function = vc_ty_%2, leftarg = vc_ty_evil, rightarg = vc_ty_evil%3);")
                        .arg(parts[0], parts[1], parts[0] == u"=" ? QStringLiteral(", hashes, merges") : QString());
        }
        make += QStringLiteral(
            "create operator class vc_ty_btree default for type vc_ty_evil using btree as operator 1 <, "
            "operator 2 <=, operator 3 =, operator 4 >=, operator 5 >, function 1 vc_ty_cmp(vc_ty_evil, vc_ty_evil);"
            "create operator class vc_ty_hash default for type vc_ty_evil using hash as "
            "operator 1 =, function 1 vc_ty_hash(vc_ty_evil);"
            "create domain vc_ty_unchecked as vc_ty_evil; create type vc_ty_row as (d vc_ty_unchecked);"
            "create table vc_ty_t (p vc_ty_evil, q vc_ty_evil, n int, m int);"
            "insert into vc_ty_t values ('a', 'b', 1, 2), ('c', 'a', 3, 1); grant select on vc_ty_t to public;"
            "create domain vc_ty_small as int check (greatest(value, 0) < 100 and value <> 7);"
            "create type vc_ty_int_row as (d vc_ty_small);"
            "create type vc_ty_intrange as range (subtype = int4); create type vc_ty_textrange as range (subtype = text)");
        error = m_login.Error();
        for (const QString& step : {Drop(), QString(QStringLiteral("create database ") + owner.database), make}) {
            if (error.isEmpty())
                error = WriteOnTestServer(step == make ? owner : server, true, step);
        }
    }
    ~TypeSupportDatabase() { WriteOnTestServer(m_server, true, Drop()); }
    TypeSupportDatabase(const TypeSupportDatabase&) = delete;
    TypeSupportDatabase& operator=(const TypeSupportDatabase&) = delete;

    // How often the database's support functions ran.
    QString Marks() const
    {
        const auto db = DbConnection::OpenPostgreSQL(owner);
        DbRows rows;
        if (!db->Query(QStringLiteral("select case when is_called then last_value else 0 end::text from vc_ty_marks"), rows))
            return db->LastError();
        return rows.Value(0, 0);
    }

    DbServerSettings owner; // the superuser, in the database
    DbServerSettings plain;
    QString error;

private:
    QString Drop() const { return QStringLiteral("drop database if exists %1 with (force)").arg(owner.database); }

    DbServerSettings m_server;
    ServerObjects m_login; // dropped after the database
};

// What comparing, sorting or hashing a statement's values runs, reached through the types it
// uses (GREATEST's, an array's elements, a domain's base in a row, a sort's), is the database's
// and named in red; the same shapes over int name nothing. Resolving runs none of it.
TEST_F(ResolvedStatementTest, TheDatabasesFunctionsThatComparingItsTypesRunsAreNamedInRed)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TypeSupportDatabase database(server, QStringLiteral("vc_ty_db_%1"));
    ASSERT_TRUE(database.error.isEmpty()) << database.error.toStdString();
    const struct
    {
        const char* sql;
        bool named;
    } cases[] = {
        {"select greatest(p, q)::text as a from vc_ty_t", true},
        {"select (array[p] < array[q])::text as a from vc_ty_t", true},
        {"select distinct array[p]::text as a from vc_ty_t", true},
        {"select p::text as a from vc_ty_t order by p", true},
        {"select json_populate_record(null::vc_ty_row, '{\"d\": \"b\"}')::text as a", true},
        {"select greatest(n, m)::text as a from vc_ty_t order by n", false},
        {"select distinct array[n]::text as a from vc_ty_t", false},
        {"select json_populate_record(null::vc_ty_int_row, '{\"d\": 5}')::text as a", false},
        {"select ('{5}'::vc_ty_small[])::text || ('[1,5)'::vc_ty_intrange)::text || ('[a,b)'::vc_ty_textrange)::text as a", false},
    };
    const QString cmp = QStringLiteral("public.vc_ty_cmp");
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(route == Route::Native ? "libpq" : "psqlODBC");
        Routed resolver = Open(route, database.plain, {});
        ASSERT_TRUE(resolver.db->IsOpen()) << resolver.db->LastError().toStdString();
        for (const auto& c : cases) {
            SCOPED_TRACE(c.sql);
            const DbStatementFacts facts = ResolvedFacts(*resolver.db, QString::fromUtf8(c.sql));
            EXPECT_TRUE(facts.resolved);
            EXPECT_EQ(facts.routines.contains(cmp), c.named) << facts.routines.join(' ').toStdString();
            const Guarded guarded = Guard(route, database.plain, QString::fromUtf8(c.sql));
            EXPECT_EQ(guarded.questions, 1);
            EXPECT_EQ(guarded.cautions.join(u'\n').contains(cmp), c.named) << guarded.cautions.join('|').toStdString();
        }
    }
    EXPECT_EQ(database.Marks(), QStringLiteral("0"));
    ASSERT_EQ(WriteOnTestServer(database.owner, true, QString::fromUtf8(cases[0].sql)), "");
    EXPECT_NE(database.Marks(), QStringLiteral("0"));
}

// A table partitioned by a key of an operator class of the database's compares its key's values
// with the class's support function while it is planned, though no type of its columns leads
// there: named in red, resolved or not; a table partitioned by int names nothing.
TEST_F(ResolvedStatementTest, APartitionKeysClassOfTheDatabasesIsNamedInRed)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TypeSupportDatabase database(server, QStringLiteral("vc_ty_pt_%1"));
    ASSERT_TRUE(database.error.isEmpty()) << database.error.toStdString();
    ASSERT_EQ(
        WriteOnTestServer(database.owner, true,
            QStringLiteral(
                "create function vc_ty_intcmp(a int, b int) returns int language plpgsql immutable security definer as "
                "$$ begin perform vc_ty_mark(); return btint4cmp(a, b); end $$;"
                "create operator class vc_ty_int_btree for type int using btree as operator 1 <, operator 2 <=, "
                "operator 3 =, operator 4 >=, operator 5 >, function 1 vc_ty_intcmp(int, int);"
                "create table vc_ty_parted (a int) partition by range (a vc_ty_int_btree);"
                "create table vc_ty_parted_low partition of vc_ty_parted for values from (0) to (10);"
                "create table vc_ty_control (a int) partition by range (a);"
                "create table vc_ty_control_low partition of vc_ty_control for values from (0) to (10);"
                "insert into vc_ty_parted values (5); insert into vc_ty_control values (5);"
                "grant select on vc_ty_parted, vc_ty_control to public")),
        "");
    const ServerObjects role(server,
        QStringLiteral("create role vc_ty_ro_%1 login password 'ty pass';"
                       "alter role vc_ty_ro_%1 set default_transaction_read_only = on"),
        QStringLiteral("drop role if exists vc_ty_ro_%1"));
    ASSERT_TRUE(role.Error().isEmpty()) << role.Error().toStdString();
    DbServerSettings readOnly = database.plain;
    readOnly.user = role.Named("vc_ty_ro_%1");
    const QString cmp = QStringLiteral("public.vc_ty_intcmp");
    // Filling the table ran it; resolving runs it no more.
    const QString filled = database.Marks();
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        for (const DbServerSettings& login : {database.plain, readOnly}) {
            SCOPED_TRACE(login.user.toStdString());
            Routed resolver = Open(route, login, {});
            ASSERT_TRUE(resolver.db->IsOpen()) << resolver.db->LastError().toStdString();
            const DbStatementFacts parted
                = ResolvedFacts(*resolver.db, QStringLiteral("select a::text as a from vc_ty_parted"));
            EXPECT_EQ(parted.resolved, login.user == database.plain.user);
            EXPECT_EQ(parted.routines, QStringList {cmp});
            EXPECT_EQ(ResolvedFacts(*resolver.db, QStringLiteral("select a::text as a from vc_ty_control")).routines,
                QStringList {});
            const Guarded guarded = Guard(route, login, QStringLiteral("select a::text as a from vc_ty_parted"));
            EXPECT_EQ(guarded.questions, 1);
            EXPECT_TRUE(guarded.cautions.join(u'\n').contains(cmp)) << guarded.cautions.join('|').toStdString();
        }
    }
    EXPECT_EQ(database.Marks(), filled);
}

// Parsing a literal runs its domain's checks and a range's comparison of its bounds: where
// either reaches the database's own code (a check using GREATEST over the type above, a range
// over it), no statement of that database is parsed into a view, the question says why in red,
// and with 不允许 nothing of the database's has run; directly and through each of PgBouncer's
// pools (the database the pooler passes to no other test), on both routes.
TEST_F(ResolvedStatementTest, WhereParsingALiteralWouldRunTheDatabasesCodeNothingIsParsed)
{
    VC_TEST_SERVER(server, "VC_PG");
    const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB");
    const QString own = qEnvironmentVariable("VC_PGB_OWN_DATABASE");
    if ((!pooler || own.isEmpty()) && qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
        FAIL() << "VC_PGB_* settings are missing although the database servers are required";
    if (!pooler || own.isEmpty())
        GTEST_SKIP() << "no PgBouncer settings";
    const TypeSupportDatabase database(server, own);
    ASSERT_TRUE(database.error.isEmpty()) << database.error.toStdString();
    std::vector<DbServerSettings> logins = {database.plain};
    for (const char* pool : {"", "VC_PGB_OWN_TRANSACTION_DATABASE", "VC_PGB_OWN_STATEMENT_DATABASE"}) {
        DbServerSettings through = database.plain;
        through.host = pooler->host;
        through.port = pooler->port;
        if (*pool)
            through.database = qEnvironmentVariable(pool);
        logins.push_back(through);
    }
    const struct
    {
        const char* make;
        const char* literal;
    } guards[] = {
        {"create domain vc_ty_guarded as vc_ty_evil check (greatest(value, 'a') is not null)",
            "select ('{b,c}'::vc_ty_guarded[])::text as a"},
        {"drop domain vc_ty_guarded; create type vc_ty_range as range (subtype = vc_ty_evil)",
            "select ('[a,c)'::vc_ty_range)::text as a"},
    };
    for (const auto& g : guards) {
        SCOPED_TRACE(g.make);
        ASSERT_EQ(WriteOnTestServer(database.owner, true, QString::fromUtf8(g.make)), "");
        for (const DbServerSettings& login : logins) {
            for (const Route route : {Route::Native, Route::PsqlOdbc}) {
                SCOPED_TRACE(QStringLiteral("%1 %2").arg(login.database).arg(login.port).toStdString());
                Routed resolver = Open(route, login, {});
                ASSERT_TRUE(resolver.db->IsOpen()) << resolver.db->LastError().toStdString();
                for (const QString& sql : {QString::fromUtf8(g.literal), QStringLiteral("select 1 as a")})
                    EXPECT_EQ(ResolvedFacts(*resolver.db, sql).unresolved, DbStatementFacts::Unresolved::DomainCheck);
                const Guarded refused = Guard(route, login, QString::fromUtf8(g.literal), false);
                EXPECT_FALSE(refused.refusal.isEmpty());
                EXPECT_TRUE(refused.cautions.join(u'\n').contains(QStringLiteral("域的检查约束或范围类型")));
            }
        }
        EXPECT_EQ(database.Marks(), QStringLiteral("0"));
    }
    // The range's literal alone, parsed, runs the database's comparison; gone, statements resolve.
    ASSERT_EQ(WriteOnTestServer(database.owner, true, QString::fromUtf8(guards[1].literal)), "");
    EXPECT_NE(database.Marks(), QStringLiteral("0"));
    ASSERT_EQ(WriteOnTestServer(database.owner, true, QStringLiteral("drop type vc_ty_range")), "");
    for (const DbServerSettings& login : logins) {
        Routed resolver = Open(Route::PsqlOdbc, login, {});
        EXPECT_TRUE(ResolvedFacts(*resolver.db, QStringLiteral("select 1 as a")).resolved) << login.database.toStdString();
    }
}

// Extensions' C types (citext, hstore, PostGIS) under domains with checks that compare and a
// range over one run no SQL or procedural code of the database's while parsed: statements are
// still resolved. The range's C comparison is the server's kind of code, judged as its own.
TEST_F(ResolvedStatementTest, ExtensionsTypesUnderDomainsAndRangesLeaveStatementsResolved)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects database(server, QStringLiteral("create database vc_ty_ext_%1"),
        QStringLiteral("drop database if exists vc_ty_ext_%1 with (force)"));
    ASSERT_TRUE(database.Error().isEmpty()) << database.Error().toStdString();
    DbServerSettings owner = server;
    owner.database = database.Named("vc_ty_ext_%1");
    ASSERT_EQ(WriteOnTestServer(owner, true,
                  QStringLiteral("create extension citext; create extension hstore; create extension postgis;"
                                 "create domain vc_ty_email as citext check (value ~ '@' and greatest(value, 'a') <> 'z');"
                                 "create domain vc_ty_tags as hstore check (value ? 'k' and value <> ''::hstore);"
                                 "create domain vc_ty_place as geometry check (st_srid(value) = 0 and greatest(value, value) is not null);"
                                 "create type vc_ty_cirange as range (subtype = citext)")),
        "");
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(route == Route::Native ? "libpq" : "psqlODBC");
        Routed resolver = Open(route, owner, {});
        ASSERT_TRUE(resolver.db->IsOpen()) << resolver.db->LastError().toStdString();
        for (const char* sql : {"select ('{a@b}'::vc_ty_email[])::text as a", "select ('{\"k=>v\"}'::vc_ty_tags[])::text as a",
                 "select ('{\"POINT(1 2)\"}'::vc_ty_place[])::text as a", "select distinct e::text as a from (values ('x'::citext)) v(e)"})
            EXPECT_TRUE(ResolvedFacts(*resolver.db, QString::fromUtf8(sql)).resolved) << sql;
        const DbStatementFacts range = ResolvedFacts(*resolver.db, QStringLiteral("select ('[a,b)'::vc_ty_cirange)::text as a"));
        EXPECT_TRUE(range.resolved);
        EXPECT_TRUE(range.routines.isEmpty()) << range.routines.join(' ').toStdString();
        EXPECT_TRUE(range.builtins.contains(QStringLiteral("citext_cmp/2"))) << range.builtins.join(' ').toStdString();
    }
}

// The same table in a database with the common extensions (citext, hstore, ltree, pg_trgm, PostGIS,
// uuid-ossp) and in one without: ordinary statements over text, varchar and the other plain types,
// and the table read as a label reads it, sorted by each column, are told alike in both (nothing
// of an extension's is named for a type it only could convert or compare: citext's cast from
// text, hstore's class). Values of the extensions' own types read with no caution: their C
// functions are the server's kind of code.
const char kTwinItems[]
    = "create table vc_tw_items (id int primary key, name text, code varchar(20), note char(8), "
      "price numeric(10,2), made date, at timestamptz, ok bool, tag uuid, n int);"
      "insert into vc_tw_items values (1, 'Anna', 'A-1', 'x', 1.5, '2024-01-02', now(), true, "
      "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', 3), (2, 'bo', 'b-2', 'y', 2, '2024-02-03', now(), false, "
      "'b0eebc99-9c0b-4ef8-bb6d-6bb9bd380a12', 1);"
      "grant select on vc_tw_items to public";

// What the question and the refusal are made of: all but the server's own functions called,
// of which only whether one is refused counts (a varchar may be told to reach citext's C
// comparison, which nothing names).
QStringList AskedOf(const DbStatementFacts& facts)
{
    return {QString::number(facts.resolved), QString::number(int(facts.unresolved)), facts.unresolvedError,
        facts.routines.join(u' '), facts.loginRights.join(u' '), facts.unreadViews.join(u' '),
        facts.unseenRelations.join(u' '), facts.variableRelations.join(u' '), QString::number(CallsRefused(facts))};
}

const char* const kTwinStatements[] = {
    "select id, name, code from vc_tw_items order by name",
    "select distinct code as a from vc_tw_items",
    "select name, count(*) as c from vc_tw_items group by name order by 2 desc, 1",
    "select greatest(name, code) as a, least(code, note) as b from vc_tw_items",
    "select (array[name] < array[code::text])::text as a, array[code] = array['A-1'::varchar] as b from vc_tw_items",
    "select name from vc_tw_items where code like 'A%%' or name ilike '%%o%%' or name ~* '^a'",
    "select upper(name) || lower(code) || trim(note) as a from vc_tw_items where name in ('Anna', 'bo')",
    "select string_agg(name, ',' order by code) as a from vc_tw_items",
    "select x.name, y.code from vc_tw_items x join vc_tw_items y on x.code = y.code and x.name <> y.note",
    "with w as (select name, code from vc_tw_items) select name from w where code > 'A' union select code from w",
    "select name, row_number() over (partition by code order by name) as r from vc_tw_items",
    "select coalesce(nullif(name, ''), code)::varchar(10) as a, name::text = code::text as b from vc_tw_items",
    "select id, price, made, at, ok, tag, n from vc_tw_items order by tag, made desc, price",
    "select tag::text as a, made::text || at::text as b from vc_tw_items where tag = "
    "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'",
    "select case when name > code then name else code end as a from vc_tw_items order by 1",
    "select max(name) as a, min(code) as b, max(tag::text) as c from vc_tw_items",
    "select name from vc_tw_items where (name, code) > ('A', 'A') order by name collate \"C\"",
    "select json_agg(t)::text as a from (select name, code from vc_tw_items order by code) t",
    "select regexp_replace(name, 'a', 'b') as a, replace(code, '-', '') as b, split_part(code, '-', 1) as c from "
    "vc_tw_items",
    "select array_agg(distinct name order by name)::text as a from vc_tw_items",
    "select name from vc_tw_items except select code from vc_tw_items order by 1",
    "select length(name) + position('n' in name) as a, substr(code, 2) as b, strpos(name, 'n') as c from vc_tw_items",
};

TEST_F(ResolvedStatementTest, CommonExtensionsChangeNothingAnOrdinaryStatementIsAskedAbout)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects login(server, QStringLiteral("create role vc_tw_plain_%1 login password 'tw pass'"),
        QStringLiteral("drop role if exists vc_tw_plain_%1"));
    ASSERT_TRUE(login.Error().isEmpty()) << login.Error().toStdString();
    const ServerObjects bare(server, QStringLiteral("create database vc_tw_bare_%1"),
        QStringLiteral("drop database if exists vc_tw_bare_%1 with (force)"));
    const ServerObjects extended(server, QStringLiteral("create database vc_tw_ext_%1"),
        QStringLiteral("drop database if exists vc_tw_ext_%1 with (force)"));
    ASSERT_TRUE(bare.Error().isEmpty() && extended.Error().isEmpty()) << bare.Error().toStdString();
    DbServerSettings bareOwner = server;
    bareOwner.database = bare.Named("vc_tw_bare_%1");
    DbServerSettings extOwner = server;
    extOwner.database = extended.Named("vc_tw_ext_%1");
    ASSERT_EQ(WriteOnTestServer(bareOwner, true, QLatin1String(kTwinItems)), "");
    ASSERT_EQ(
        WriteOnTestServer(extOwner, true,
            QStringLiteral("create extension citext; create extension hstore; create extension ltree;"
                           "create extension pg_trgm; create extension postgis; create extension \"uuid-ossp\";"
                           "create table vc_tw_typed (id int, email citext, attrs hstore, path ltree, place geometry, "
                           "tag uuid default uuid_generate_v4());"
                           "insert into vc_tw_typed (id, email, attrs, path, place) values (1, 'A@b.c', 'k=>v', "
                           "'top.mid', 'POINT(1 2)');"
                           "grant select on vc_tw_typed to public;")
                + QLatin1String(kTwinItems)),
        "");
    const DbServerSettings barePlain = TestLogin(bareOwner, login, "vc_tw_plain_%1", QStringLiteral("tw pass"));
    const DbServerSettings extPlain = TestLogin(extOwner, login, "vc_tw_plain_%1", QStringLiteral("tw pass"));

    // The suites' statements that the database without the extensions parses, and the test's own.
    QStringList statements;
    for (const char* sql : kTwinStatements)
        statements << QString::fromUtf8(sql).replace(QLatin1String("%%"), QLatin1String("%"));
    const std::unique_ptr<DbConnection> parser = DbConnection::OpenPostgreSQL(barePlain);
    ASSERT_TRUE(parser->IsOpen()) << parser->LastError().toStdString();
    for (const QString& sql : SuiteQueries()) {
        DbRows rows;
        if (SqlStatementRefusal(sql, parser->ServerKind()).isEmpty()
            && parser->Query(QStringLiteral("prepare vc_tw_parsed as select * from (%1\n) t").arg(sql), rows)) {
            statements << sql;
            parser->Query(QStringLiteral("deallocate vc_tw_parsed"), rows);
        }
    }
    EXPECT_GE(statements.size(), 80);

    // The table as a label reads it: every column, sorted by each in turn.
    const QStringList columns = {"id", "name", "code", "note", "price", "made", "at", "ok", "tag", "n"};
    const auto tableRead = [&](DbConnection& db, const QString& table, const QStringList& fields, const QString& sort) {
        CPostgreSQLDS ds;
        ds.m_strTable = table;
        ds.m_selectedFields = fields;
        ds.m_strSortField = sort;
        return CSqlStatements(ds.GetType(), &db).Rows(ds);
    };
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        Routed bareDb = Open(route, barePlain, {});
        Routed extDb = Open(route, extPlain, {});
        ASSERT_TRUE(bareDb.db->IsOpen() && extDb.db->IsOpen()) << extDb.db->LastError().toStdString();
        for (const QString& sql : statements) {
            SCOPED_TRACE(sql.toStdString());
            // psqlODBC takes a "?" for a parameter marker: such a statement never reaches the server.
            if (route == Route::PsqlOdbc && sql.contains(u'?'))
                continue;
            const DbStatementFacts without = ResolvedFacts(*bareDb.db, sql);
            EXPECT_TRUE(without.resolved);
            EXPECT_EQ(AskedOf(ResolvedFacts(*extDb.db, sql)), AskedOf(without));
        }
        for (const QString& sort : columns) {
            SCOPED_TRACE(sort.toStdString());
            const QString sent = tableRead(*bareDb.db, QStringLiteral("vc_tw_items"), columns, sort);
            const SqlStatementNames names = SqlNamesOf(sent, bareDb.db->ServerKind());
            DbStatementFacts without;
            DbStatementFacts with;
            ASSERT_TRUE(
                ReadStatementFacts(*bareDb.db, sent, names.names, names.operators, RefusedSqlNamePatterns(), without));
            ASSERT_TRUE(
                ReadStatementFacts(*extDb.db, sent, names.names, names.operators, RefusedSqlNamePatterns(), with));
            EXPECT_TRUE(without.resolved);
            EXPECT_TRUE(without.routines.isEmpty()) << without.routines.join(' ').toStdString();
            EXPECT_EQ(AskedOf(with), AskedOf(without));
        }

        // Asked once, with no caution, also for the extensions' own types, read as text or sorted.
        QStringList asked = {statements[0], statements[3], statements[4],
            QStringLiteral(
                "select email::text as a, attrs::text as b, path::text as c, place::text as d, tag::text as e "
                "from vc_tw_typed order by email, path, tag"),
            QStringLiteral("select distinct email as a from vc_tw_typed where email = 'a@B.C'")};
        for (const QString& sql : asked) {
            SCOPED_TRACE(sql.toStdString());
            const Guarded guarded = Guard(route, extPlain, sql);
            EXPECT_EQ(guarded.refusal, "");
            EXPECT_EQ(guarded.questions, 1);
            EXPECT_TRUE(guarded.cautions.isEmpty()) << guarded.cautions.join('|').toStdString();
        }
        for (const QString& sort :
            {QStringLiteral("email"), QStringLiteral("attrs"), QStringLiteral("path"), QStringLiteral("place")}) {
            SCOPED_TRACE(sort.toStdString());
            const DbStatementFacts typed = ResolvedFacts(*extDb.db,
                tableRead(
                    *extDb.db, QStringLiteral("vc_tw_typed"), {"id", "email", "attrs", "path", "place", "tag"}, sort));
            EXPECT_TRUE(typed.resolved);
            EXPECT_TRUE(typed.routines.isEmpty()) << typed.routines.join(' ').toStdString();
        }
    }
}

// A function a superuser declared over a refused function's code under a harmless name, in
// internal (over pg_read_file's) or in C (over dblink's library): the server's kind of code, known
// as the function whose code it is, and refused however it is called, through a view too; also
// where the server cannot resolve the statement, by the name its catalog tells.
TEST_F(ResolvedStatementTest, AFunctionDeclaredOverARefusedFunctionsCodeIsRefusedAsThatFunction)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server,
        QStringLiteral(
            "create role vc_al_plain_%1 login password 'al pass';"
            "create role vc_al_ro_%1 login password 'al pass';"
            "alter role vc_al_ro_%1 set default_transaction_read_only = on;"
            "do $$ begin execute format('create function vc_al_read_%1(text) returns text language internal "
            "strict as %L', (select prosrc from pg_proc where oid = 'pg_read_file(text)'::regprocedure)); end $$;"
            "create function vc_al_link_%1(text) returns text language c strict as '$libdir/dblink', 'dblink_exec';"
            "create view vc_al_view_%1 as select vc_al_read_%1('postgresql.conf') as a;"
            "grant select on vc_al_view_%1 to public;"),
        QStringLiteral("drop view if exists vc_al_view_%1; drop function if exists vc_al_read_%1, vc_al_link_%1;"
                       "drop role if exists vc_al_plain_%1, vc_al_ro_%1"));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const DbServerSettings plain = TestLogin(server, objects, "vc_al_plain_%1", QStringLiteral("al pass"));
    const DbServerSettings readOnly = TestLogin(server, objects, "vc_al_ro_%1", QStringLiteral("al pass"));
    const struct
    {
        const char* sql;
        const char* refused; // the function whose code it runs
    } cases[] = {
        {"select vc_al_read_%1('postgresql.conf') as a", "pg_read_file"},
        {"select ('postgresql.conf'::text).vc_al_read_%1 as a", "pg_read_file"},
        {"select a from vc_al_view_%1", "pg_read_file"},
        {"select vc_al_link_%1('select 1') as a", "dblink_exec"},
    };
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        Routed resolver = Open(route, plain, {});
        ASSERT_TRUE(resolver.db->IsOpen()) << resolver.db->LastError().toStdString();
        for (const auto& c : cases) {
            const QString sql = objects.Named(c.sql);
            SCOPED_TRACE(sql.toStdString());
            const DbStatementFacts facts = ResolvedFacts(*resolver.db, sql);
            EXPECT_TRUE(facts.resolved);
            EXPECT_TRUE(facts.routines.isEmpty()) << facts.routines.join(' ').toStdString();
            EXPECT_TRUE(CallsRefused(facts)) << facts.builtins.join(' ').toStdString();
            const Guarded guarded = Guard(route, plain, sql);
            EXPECT_TRUE(guarded.refusal.contains(QLatin1String(c.refused))) << guarded.refusal.toStdString();
            EXPECT_EQ(guarded.questions, 0);
        }
        for (const char* sql : {"select ('postgresql.conf'::text).vc_al_read_%1 as a", "select a from vc_al_view_%1"}) {
            SCOPED_TRACE(sql);
            const Guarded guarded = Guard(route, readOnly, objects.Named(sql));
            EXPECT_TRUE(guarded.refusal.contains(QStringLiteral("不能使用“pg_read_file”")))
                << guarded.refusal.toStdString();
            EXPECT_EQ(guarded.questions, 0);
        }
    }
}

// Columns, aliases and a table named like refused functions or their prefixes, which no function
// of the server's has, read on every route: libpq and psqlODBC, straight and through each of
// PgBouncer's pools, as a statement and as the table a label reads; also where the user typed
// the statement.
TEST_F(ResolvedStatementTest, ColumnsAliasesAndTablesNamedLikeRefusedFunctionsRead)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server,
        QStringLiteral(
            "create role vc_lb_plain_%1 login password 'lb pass';"
            "create table lo_batches_%1 (id int, lo_limit int, lo_alarm text, xp_level int, set_config text, "
            "dblink text, ts_stat int, pg_ls_note text, price numeric);"
            "insert into lo_batches_%1 values (1, 5, 'low', 2, 'on', 'x', 3, 'n', 1.5), "
            "(2, 9, 'high', 4, 'off', 'y', 4, 'm', 2.5);"
            "grant select on lo_batches_%1 to public;"),
        QStringLiteral("drop table if exists lo_batches_%1; drop role if exists vc_lb_plain_%1"));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const DbServerSettings plain = TestLogin(server, objects, "vc_lb_plain_%1", QStringLiteral("lb pass"));
    std::vector<DbServerSettings> logins = {plain};
    if (const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB")) {
        for (const QString& database : {plain.database, qEnvironmentVariable("VC_PGB_TRANSACTION_DATABASE"),
                 qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE")}) {
            DbServerSettings through = plain;
            through.host = pooler->host;
            through.port = pooler->port;
            through.database = database;
            logins.push_back(through);
        }
    } else if (qEnvironmentVariableIsSet("VC_REQUIRE_DB")) {
        ADD_FAILURE() << "VC_PGB_* settings are missing although the database servers are required";
    }
    const QStringList statements = {
        objects.Named(
            "select id, lo_limit, lo_alarm, xp_level, set_config, dblink, ts_stat, pg_ls_note from lo_batches_%1"),
        objects.Named(
            "select b.lo_limit as lo_name, b.id, b.price as xp_price, b.set_config, b.ts_stat from lo_batches_%1 b "
            "order by b.lo_limit"),
        objects.Named("select id, price as xp_price from lo_batches_%1 where pg_ls_note <> '' order by xp_level"),
    };
    RecordingApprover approver(true);
    for (const DbServerSettings& login : logins) {
        for (const Route route : {Route::Native, Route::PsqlOdbc}) {
            SCOPED_TRACE(
                QStringLiteral("%1 %2 %3").arg(RouteName(route)).arg(login.port).arg(login.database).toStdString());
            std::vector<std::unique_ptr<CDSBase>> sources;
            for (const QString& sql : statements) {
                sources.push_back(RoutedSource(route, login, sql));
                sources.back()->m_selectedFields = {"id"};
            }
            sources.push_back(RoutedSource(route, login, {}));
            CDSBase& table = *sources.back();
            table.m_nRangeMode = RangeAll;
            table.m_strTable = objects.Named("lo_batches_%1");
            table.m_selectedFields
                = {"id", "lo_limit", "lo_alarm", "xp_level", "set_config", "dblink", "ts_stat", "pg_ls_note", "price"};
            table.m_strSortField = QStringLiteral("lo_limit");
            sources.push_back(RoutedSource(route, login, statements[1]));
            sources.back()->m_selectedFields = {"lo_name"};
            ApproveSource(*sources.back()); // typed by the user
            for (const std::unique_ptr<CDSBase>& source : sources) {
                SCOPED_TRACE(source->m_strSQL.toStdString());
                const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(source->GetType());
                loader->SetDataSource(source.get());
                EXPECT_EQ(loader->GetRecordCount(), 2) << loader->GetLastError().toStdString();
                LoaderRow rows;
                EXPECT_TRUE(loader->LoadPage(1, 10, rows)) << loader->GetLastError().toStdString();
                EXPECT_EQ(rows.RowCount(), 2);
            }
        }
    }
    for (const SourceQuestion& question : approver.asked)
        EXPECT_TRUE(question.cautions.isEmpty()) << question.cautions.join('|').toStdString();
}

} // namespace
