// Where the server cannot make a statement into a view for a reason of the login's or the
// database's own (a read-only login, no TEMP right, an event trigger, a standby), the program's
// reading decides with the server's catalog: "x.f" calls of the server's refused functions, as a
// label would write them to run a text, end another session or read a server file, are refused
// on each route and pool, and nothing of them runs; a harmless "x.f", and columns named like the
// refused functions' prefixes (lo_limit), are asked about once, with the reason in red, and read.
#include "GuardedStatement.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The sessions this suite opens carry this name (TestSessionName): the attack that ends a session
// reaches no other suite's.
constexpr char kUnresolvedSessionName[] = "vc-unresolved-reading";

const QString kUnresolvedPassword = QStringLiteral("ur pass");

// A SECURITY DEFINER function of a superuser's that writes a server file, which ts_stat would run
// as its query; a table whose columns are named like refused functions' prefixes.
QString UnresolvedRoutine()
{
    return QStringLiteral(
        "create function vc_ur_write_%1() returns tsvector language plpgsql security definer as "
        "$$ begin execute 'copy (select 1) to ''/tmp/vc_ur_%1'''; return ''::tsvector; end $$;"
        "create table vc_ur_lo_%1 (lo_limit int, xp_level int); insert into vc_ur_lo_%1 values (7, 3);"
        "grant select on vc_ur_lo_%1 to public;");
}

// The test's logins (plain, read-only, and one to be granted EXECUTE on pg_read_file) and the
// function.
QString UnresolvedMake()
{
    return QStringLiteral("create role vc_ur_plain_%1 login password 'ur pass';"
                          "create role vc_ur_ro_%1 login password 'ur pass';"
                          "alter role vc_ur_ro_%1 set default_transaction_read_only = on;"
                          "create role vc_ur_files_%1 login password 'ur pass';")
        + UnresolvedRoutine();
}

const char kUnresolvedDrop[] = "drop function if exists vc_ur_write_%1(); drop table if exists vc_ur_lo_%1;"
                               "drop role if exists vc_ur_plain_%1, vc_ur_ro_%1, vc_ur_files_%1";

// A database of the test's own, with the function in it.
class UnresolvedDatabase
{
public:
    UnresolvedDatabase(const DbServerSettings& server, const ServerObjects& objects)
        : m_database(server, QStringLiteral("create database vc_ur_db_%1"),
            QStringLiteral("drop database if exists vc_ur_db_%1 with (force)"))
        , m_owner(server)
    {
        m_owner.database = m_database.Named("vc_ur_db_%1");
        m_error = m_database.Error().isEmpty()
            ? WriteOnTestServer(m_owner, true, objects.Named(UnresolvedRoutine().toUtf8().constData()))
            : m_database.Error();
    }
    // The superuser's settings in it.
    const DbServerSettings& Owner() const { return m_owner; }
    const QString& Error() const { return m_error; }

private:
    ServerObjects m_database;
    DbServerSettings m_owner;
    QString m_error;
};

// The attacks a label may carry where the words decide, each in another spelling of "x.f".
QStringList UnresolvedAttacks(const ServerObjects& objects)
{
    const QString victims = QStringLiteral("unnest(array(select pid from pg_stat_activity where application_name = "
                                           "'%1' and pid <> pg_backend_pid())) x")
                                .arg(QLatin1String(kUnresolvedSessionName));
    return {
        objects.Named("select x.ts_stat::text as a from cast('select public.vc_ur_write_%1()' as text) x"),
        objects.Named("select \"x\".TS_STAT::text as a from cast('select public.vc_ur_write_%1()' as text) x"),
        objects.Named(
            "select x/**/ . /**/\"ts_stat\"::text as a from cast('select public.vc_ur_write_%1()' as text) x"),
        QStringLiteral("select x.pg_terminate_backend::text as a from ") + victims,
        QStringLiteral("select x . pg_cancel_backend::text as a from ") + victims,
        QStringLiteral("select x.pg_read_file as a from cast('postgresql.conf' as text) x"),
        QStringLiteral("select x.lo_export as a from cast(0 as oid) x"),
    };
}

const QString kUnresolvedControl = QStringLiteral("select x.upper as a from cast('postgresql.conf' as text) x");

// Columns named like the refused functions' prefixes, which no function of the server's has.
const char kUnresolvedPrefixed[] = "select lo_limit::text || t.xp_level::text as lo_name from vc_ur_lo_%1 t";

// Each attack refused on the route, with the server unable to make the view for the reason
// given; the harmless control asked about once, cautioned, and read; nothing of the attacks run.
void ExpectTheReadingDecides(
    const ServerObjects& objects, Route route, const DbServerSettings& login, DbStatementFacts::Unresolved why)
{
    SCOPED_TRACE(RouteName(route));
    // Another session of the same login, which pg_terminate_backend would end.
    const std::unique_ptr<DbConnection> victim = DbConnection::OpenPostgreSQL(login);
    ASSERT_TRUE(victim->IsOpen()) << victim->LastError().toStdString();
    Routed routed = Open(route, login, {});
    ASSERT_TRUE(routed.db->IsOpen()) << routed.db->LastError().toStdString();
    EXPECT_EQ(ResolvedFacts(*routed.db, kUnresolvedControl).unresolved, why);
    for (const QString& sql : UnresolvedAttacks(objects)) {
        SCOPED_TRACE(sql.toStdString());
        const Guarded guarded = Guard(route, login, sql);
        EXPECT_TRUE(guarded.refusal.contains(QStringLiteral("不能使用“"))) << guarded.refusal.toStdString();
        EXPECT_EQ(guarded.questions, 0);
    }
    const Guarded control = Guard(route, login, kUnresolvedControl);
    EXPECT_EQ(control.refusal, "");
    EXPECT_EQ(control.questions, 1);
    EXPECT_EQ(control.cautions.size(), 1) << control.cautions.join('|').toStdString();
    // An event trigger stops the resolution before the server sees the statement; a read-only
    // transaction, a missing TEMP right or a standby refuse the view the server parsed.
    EXPECT_EQ(control.parsed, why != DbStatementFacts::Unresolved::EventTrigger);
    DbRows rows;
    ASSERT_TRUE(routed.db->Query(kUnresolvedControl, rows)) << routed.db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QStringLiteral("POSTGRESQL.CONF"));
    const QString prefixed = objects.Named(kUnresolvedPrefixed);
    EXPECT_EQ(SqlRefusalOfEveryReading(prefixed, routed.db->ServerKind()), "");
    const Guarded read = Guard(route, login, prefixed);
    EXPECT_EQ(read.refusal, "");
    EXPECT_EQ(read.questions, 1);
    ASSERT_TRUE(routed.db->Query(prefixed, rows)) << routed.db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QStringLiteral("73"));
    ASSERT_TRUE(victim->Query(QStringLiteral("select 'alive'"), rows)) << victim->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QStringLiteral("alive"));
    EXPECT_FALSE(QFile::exists(objects.Named("/tmp/vc_ur_%1")));
}

// An ordinary login's schema, in the test's database: a domain whose check calls now() (the
// server's, stable: it runs nothing of the database's), a view that ends the reader's other
// sessions, and a harmless view.
const char kUnresolvedSchema[] = "create schema vc_ur_att_%1 authorization vc_ur_plain_%1";
const char kUnresolvedViews[]
    = "create domain vc_ur_att_%1.d as timestamptz check (value <= now() + interval '1 day');"
      "create view vc_ur_att_%1.v as select pg_terminate_backend(pid)::text as a from pg_stat_activity "
      "where usename = current_user and pid <> pg_backend_pid();"
      "create view vc_ur_att_%1.w as select 'kept'::text as a;"
      "grant usage on schema vc_ur_att_%1 to public; grant select on vc_ur_att_%1.v, vc_ur_att_%1.w to public";

// Read as the login, with a session of its own standing by: the view that ends sessions is
// refused through its rule, resolved or, for the reason given, by the catalog; the harmless one is
// asked about once and read; the session stands.
void ExpectTheViewsRuleDecides(
    const ServerObjects& objects, Route route, const DbServerSettings& login, DbStatementFacts::Unresolved why)
{
    SCOPED_TRACE(RouteName(route));
    const std::unique_ptr<DbConnection> victim = DbConnection::OpenPostgreSQL(login);
    ASSERT_TRUE(victim->IsOpen()) << victim->LastError().toStdString();
    Routed routed = Open(route, login, {});
    ASSERT_TRUE(routed.db->IsOpen()) << routed.db->LastError().toStdString();
    const QString ending = objects.Named("select a from vc_ur_att_%1.v");
    const DbStatementFacts facts = ResolvedFacts(*routed.db, ending);
    EXPECT_EQ(facts.resolved, why == DbStatementFacts::Unresolved::None);
    EXPECT_EQ(facts.unresolved, why);
    EXPECT_TRUE(std::any_of(facts.builtins.begin(), facts.builtins.end(), [](const QString& builtin) {
        return builtin.startsWith(u"pg_terminate_backend/");
    })) << facts.builtins.join(' ').toStdString();
    const Guarded guarded = Guard(route, login, ending);
    EXPECT_TRUE(guarded.refusal.contains(QStringLiteral("pg_terminate_backend"))) << guarded.refusal.toStdString();
    EXPECT_EQ(guarded.questions, 0);
    const QString kept = objects.Named("select a from vc_ur_att_%1.w");
    const Guarded read = Guard(route, login, kept);
    EXPECT_EQ(read.refusal, "");
    EXPECT_EQ(read.questions, 1);
    DbRows rows;
    ASSERT_TRUE(routed.db->Query(kept, rows)) << routed.db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QStringLiteral("kept"));
    ASSERT_TRUE(victim->Query(QStringLiteral("select 'alive'"), rows)) << victim->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QStringLiteral("alive"));
}

// The domain leaves every statement resolved; where the server cannot resolve (a read-only login,
// no TEMP right, a domain check of the database's code), the catalog follows the view's rule.
TEST(UnresolvedReading, AViewsRuleIsFollowedResolvedAndByTheCatalog)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kUnresolvedSessionName);
    const ServerObjects objects(server, UnresolvedMake(), QLatin1String(kUnresolvedDrop));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const UnresolvedDatabase database(server, objects);
    ASSERT_TRUE(database.Error().isEmpty()) << database.Error().toStdString();
    const DbServerSettings& owner = database.Owner();
    DbServerSettings plain = TestLogin(server, objects, "vc_ur_plain_%1", kUnresolvedPassword);
    plain.database = owner.database;
    DbServerSettings readOnly = TestLogin(server, objects, "vc_ur_ro_%1", kUnresolvedPassword);
    readOnly.database = owner.database;
    ASSERT_EQ(WriteOnTestServer(owner, true, objects.Named(kUnresolvedSchema)), "");
    ASSERT_EQ(WriteOnTestServer(plain, true, objects.Named(kUnresolvedViews)), "");
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        ExpectTheViewsRuleDecides(objects, route, plain, DbStatementFacts::Unresolved::None);
        ExpectTheViewsRuleDecides(objects, route, readOnly, DbStatementFacts::Unresolved::ReadOnly);
    }
    ASSERT_EQ(WriteOnTestServer(
                  owner, true, QStringLiteral("revoke temporary on database %1 from public").arg(owner.database)),
        "");
    for (const Route route : {Route::Native, Route::PsqlOdbc})
        ExpectTheViewsRuleDecides(objects, route, plain, DbStatementFacts::Unresolved::NoTempRight);
    ASSERT_EQ(
        WriteOnTestServer(owner, true, QStringLiteral("grant temporary on database %1 to public").arg(owner.database)),
        "");
    // A check that reaches code of the database's, or a refused function of the server's.
    for (const char* check :
        {"create function vc_ur_att_%1.late(t timestamptz) returns bool language sql as 'select t <= now()';"
         "create domain vc_ur_att_%1.e as timestamptz check (vc_ur_att_%1.late(value))",
            "drop domain vc_ur_att_%1.e; drop function vc_ur_att_%1.late;"
            "create domain vc_ur_att_%1.e as int check (pg_cancel_backend(value) or true)"}) {
        SCOPED_TRACE(check);
        ASSERT_EQ(WriteOnTestServer(plain, true, objects.Named(check)), "");
        for (const Route route : {Route::Native, Route::PsqlOdbc})
            ExpectTheViewsRuleDecides(objects, route, plain, DbStatementFacts::Unresolved::DomainCheck);
    }
}

TEST(UnresolvedReading, AReadOnlyLoginOnEachRouteAndPool)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kUnresolvedSessionName);
    const ServerObjects objects(server, UnresolvedMake(), QLatin1String(kUnresolvedDrop));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    DbServerSettings readOnly = TestLogin(server, objects, "vc_ur_ro_%1", kUnresolvedPassword);
    for (const Route route : {Route::Native, Route::PsqlOdbc})
        ExpectTheReadingDecides(objects, route, readOnly, DbStatementFacts::Unresolved::ReadOnly);

    const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB");
    if (!pooler && qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
        FAIL() << "VC_PGB_* settings are missing although the database servers are required";
    if (!pooler)
        GTEST_SKIP() << "no PgBouncer settings";
    readOnly.host = pooler->host;
    readOnly.port = pooler->port;
    for (const char* pool : {"VC_PGB_TRANSACTION_DATABASE", "VC_PGB_STATEMENT_DATABASE"}) {
        SCOPED_TRACE(pool);
        readOnly.database = qEnvironmentVariable(pool);
        for (const Route route : {Route::Native, Route::PsqlOdbc})
            ExpectTheReadingDecides(objects, route, readOnly, DbStatementFacts::Unresolved::ReadOnly);
    }
}

// In a database of the test's own: first without the TEMP right, then with an event trigger.
TEST(UnresolvedReading, NoTempRightAndAnEventTrigger)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kUnresolvedSessionName);
    const ServerObjects objects(server, UnresolvedMake(), QLatin1String(kUnresolvedDrop));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const UnresolvedDatabase database(server, objects);
    ASSERT_TRUE(database.Error().isEmpty()) << database.Error().toStdString();
    const DbServerSettings& owner = database.Owner();
    ASSERT_EQ(WriteOnTestServer(
                  owner, true, QStringLiteral("revoke temporary on database %1 from public").arg(owner.database)),
        "");
    DbServerSettings plain = TestLogin(server, objects, "vc_ur_plain_%1", kUnresolvedPassword);
    plain.database = owner.database;
    for (const Route route : {Route::Native, Route::PsqlOdbc})
        ExpectTheReadingDecides(objects, route, plain, DbStatementFacts::Unresolved::NoTempRight);

    ASSERT_EQ(WriteOnTestServer(owner, true,
                  QStringLiteral("grant temporary on database %1 to public;"
                                 "create function vc_ur_fire() returns event_trigger language plpgsql as "
                                 "$$ begin raise notice 'fired'; end $$;"
                                 "create event trigger vc_ur_on_ddl on ddl_command_start execute function vc_ur_fire()")
                      .arg(owner.database)),
        "");
    for (const Route route : {Route::Native, Route::PsqlOdbc})
        ExpectTheReadingDecides(objects, route, plain, DbStatementFacts::Unresolved::EventTrigger);
}

// A real standby, where the login granted EXECUTE on pg_read_file could read postgresql.conf: the
// objects are made on the primary, the grant in a database of the test's own (a grant on a function
// of the server's in a shared database would race with other suites'), and waited for until the
// standby has replayed them.
TEST(UnresolvedReading, AStandby)
{
    VC_TEST_SERVER(primary, "VC_PG");
    VC_TEST_SERVER(standby, "VC_PGS");
    const TestSessionName named(kUnresolvedSessionName);
    const ServerObjects objects(primary, UnresolvedMake(), QLatin1String(kUnresolvedDrop));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const UnresolvedDatabase database(primary, objects);
    ASSERT_TRUE(database.Error().isEmpty()) << database.Error().toStdString();
    DbServerSettings maker = TestLogin(primary, objects, "vc_ur_plain_%1", kUnresolvedPassword);
    maker.database = database.Owner().database;
    ASSERT_EQ(WriteOnTestServer(database.Owner(), true, objects.Named(kUnresolvedSchema)), "");
    ASSERT_EQ(WriteOnTestServer(maker, true, objects.Named(kUnresolvedViews)), "");
    ASSERT_EQ(WriteOnTestServer(database.Owner(), true,
                  objects.Named("grant execute on function pg_read_file(text) to vc_ur_files_%1")),
        "");
    DbServerSettings files = TestLogin(standby, objects, "vc_ur_files_%1", kUnresolvedPassword);
    files.database = database.Owner().database;
    // A watchdog only: replay is usually done within a second.
    const QDeadlineTimer replayed(std::chrono::minutes(2));
    std::unique_ptr<DbConnection> probe;
    DbRows rows;
    while (!(probe = DbConnection::OpenPostgreSQL(files))->IsOpen()
        || !probe->Query(objects.Named("select has_function_privilege('pg_read_file(text)', 'execute')::text "
                                       "from pg_proc where proname = 'vc_ur_write_%1'"),
            rows)
        || rows.RowCount() != 1 || rows.Value(0, 0) != QStringLiteral("true")) {
        ASSERT_FALSE(replayed.hasExpired()) << "the standby did not replay the test's objects";
        QThread::msleep(100);
    }
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        ExpectTheReadingDecides(objects, route, files, DbStatementFacts::Unresolved::Standby);
        ExpectTheViewsRuleDecides(objects, route, files, DbStatementFacts::Unresolved::Standby);
    }
}

} // namespace
