// A label's statement can make the server refuse the temporary view it is resolved in while the
// statement itself would run (a tail the planner drops unread, too deep for the view's parse):
// such a statement is refused with the server's words, never asked about, on every PostgreSQL
// route and through each of PgBouncer's pools, and nothing of it runs. The same statements with
// a shallow tail are refused by the resolution. The statements the suites send their PostgreSQL
// servers, which the server parses, all resolve.
#include "PgServerObjects.h"
#include "RecordingApprover.h"
#include "SuiteQueries.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/SourceApproval.h"
#include "model/SqlStatementCheck.h"
#include "model/SqlStatements.h"
#include "platform/Crypt.h"
#include "platform/db/DbCatalog.h"

#include <QFile>

#include <cstdio>

#include <gtest/gtest.h>

namespace {

const char* const kRefusedViewSession = "RefusedViewTest";

// A source of the statement as a label would carry it, on libpq or on psqlODBC.
std::unique_ptr<CDSBase> LabelSource(bool odbc, const DbServerSettings& login, const QString& sql)
{
    std::unique_ptr<CDSBase> ds;
    if (odbc) {
        auto custom = std::make_unique<CCustomDS>();
        custom->m_strConnectionString = EncryptString(PsqlOdbcString(login));
        ds = std::move(custom);
    } else {
        auto pg = std::make_unique<CPostgreSQLDS>();
        StoreLogin(*pg, login);
        ds = std::move(pg);
    }
    ds->m_strName = QStringLiteral("远程");
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = sql;
    return ds;
}

std::unique_ptr<DbConnection> OpenRoute(bool odbc, const DbServerSettings& login)
{
    return odbc ? DbConnection::OpenOdbc(PsqlOdbcString(login)) : DbConnection::OpenPostgreSQL(login);
}

// A where clause whose tail the planner drops unread: true or not not ... not true.
QString DroppedTail(int nots)
{
    return QStringLiteral(" where true or ") + QStringLiteral("not ").repeated(nots) + QStringLiteral("true");
}

} // namespace

TEST(RefusedView, AStatementThatMakesTheViewFailIsRefusedWithTheServersWordsAndNothingRuns)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName session(kRefusedViewSession);
    // The refused calls stand in views the database has, where the program's reading of the
    // label's words cannot see them and only the server's resolution can.
    const ServerObjects objects(server,
        QStringLiteral("create role vc_fv_plain_%1 login password 'fv pass';"
                       "create function vc_fv_write_%1() returns text language plpgsql security definer as "
                       "$$ begin execute 'copy (select 1) to ''/tmp/vc_fv_%1'''; return 'written'; end $$;"
                       "create view vc_fv_ending_%1 as select x.pg_terminate_backend::text as a from unnest(array("
                       "select pid from pg_stat_activity where usename = current_user and application_name = '%2' "
                       "and pid <> pg_backend_pid())) x;"
                       "create view vc_fv_running_%1 as select x.ts_stat::text as a from "
                       "cast('select to_tsvector(vc_fv_write_%1())' as text) x;"
                       "grant select on vc_fv_ending_%1, vc_fv_running_%1 to vc_fv_plain_%1;")
            .replace(QLatin1String("%2"), QLatin1String(kRefusedViewSession)),
        QStringLiteral("drop view if exists vc_fv_ending_%1, vc_fv_running_%1; drop function if exists vc_fv_write_%1;"
                       "drop role if exists vc_fv_plain_%1"));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    const QString written = objects.Named("/tmp/vc_fv_%1");
    DbServerSettings plain = server;
    plain.user = objects.Named("vc_fv_plain_%1");
    plain.password = QStringLiteral("fv pass");
    // Another connection of the login's, which the first statement would end.
    const std::unique_ptr<DbConnection> other = DbConnection::OpenPostgreSQL(plain);
    ASSERT_TRUE(other->IsOpen()) << other->LastError().toStdString();
    const QString ending = objects.Named("select a from vc_fv_ending_%1 x");
    const QString running = objects.Named("select a from vc_fv_running_%1 x");

    // Straight to the server with an ordinary login, and through each of PgBouncer's pools
    // with the login it knows.
    QList<QPair<QString, DbServerSettings>> ways = {{QStringLiteral("straight"), plain}};
    if (const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB")) {
        for (const QString& database : {server.database, qEnvironmentVariable("VC_PGB_TRANSACTION_DATABASE"),
                 qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE")}) {
            DbServerSettings through = server;
            through.host = pooler->host;
            through.port = pooler->port;
            through.database = database;
            ways.append({QStringLiteral("PgBouncer ") + database, through});
        }
    } else if (qEnvironmentVariableIsSet("VC_REQUIRE_DB")) {
        ADD_FAILURE() << "VC_PGB_* settings are missing although the database servers are required";
    }
    // Read as a print would, the user pressing 允许 at whatever is asked.
    RecordingApprover approver(true);
    const auto read = [](bool odbc, const DbServerSettings& login, const QString& sql) {
        const std::unique_ptr<CDSBase> ds = LabelSource(odbc, login, sql);
        const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds->GetType());
        loader->SetDataSource(ds.get());
        LoaderRow rows;
        EXPECT_FALSE(loader->LoadPage(1, 10, rows));
        return loader->GetLastError();
    };
    for (const auto& [way, login] : ways) {
        for (const bool odbc : {false, true}) {
            SCOPED_TRACE(QString(way + (odbc ? " psqlODBC" : " libpq")).toStdString());
            for (const QString& statement : {ending, running}) {
                SCOPED_TRACE(statement.left(40).toStdString());
                const QString refusal = read(odbc, login, statement + DroppedTail(7500));
                EXPECT_TRUE(refusal.startsWith(QStringLiteral("数据源“远程”的语句没有运行：")))
                    << refusal.toStdString();
                EXPECT_TRUE(refusal.contains(QStringLiteral("stack depth limit exceeded"))) << refusal.toStdString();
                // The server's words, not the program's view around the statement, nor a place in it.
                EXPECT_FALSE(refusal.contains(QStringLiteral("vellumcraft_resolved"))) << refusal.toStdString();
                EXPECT_FALSE(refusal.contains(QStringLiteral("\nLINE "))) << refusal.toStdString();
                // The control: a tail the view's parse takes, and the resolution names the function.
                const QString resolved = read(odbc, login, statement + DroppedTail(1));
                EXPECT_TRUE(resolved.contains(statement == ending ? u"pg_terminate_backend" : u"ts_stat"))
                    << resolved.toStdString();
            }
        }
    }
    EXPECT_TRUE(std::none_of(approver.asked.begin(), approver.asked.end(),
        [](const SourceQuestion& question) { return question.connected; }));
    DbRows rows;
    EXPECT_TRUE(other->Query(QStringLiteral("select 1"), rows)) << other->LastError().toStdString();
    EXPECT_FALSE(QFile::exists(written));
    QFile::remove(written);

    // A source the user typed is the user's own: not even asked about, as before.
    const std::unique_ptr<CDSBase> typed = LabelSource(false, plain, ending + DroppedTail(7500));
    ApproveSource(*typed);
    EXPECT_EQ(ConnectedStatementRefusal(*typed, *OpenRoute(false, plain)), QString());
}

// Every statement of the suites that the server parses alone, as the program sends it, resolves:
// none of them is refused for want of a view.
TEST(RefusedView, TheStatementsTheSuitesSendAServerParsesAllResolve)
{
    VC_TEST_SERVER(server, "VC_PG");
    const QStringList queries = SuiteQueries();
    const std::unique_ptr<DbConnection> parser = DbConnection::OpenPostgreSQL(server);
    ASSERT_TRUE(parser->IsOpen()) << parser->LastError().toStdString();
    QStringList parsed;
    for (const QString& sql : queries) {
        CPostgreSQLDS ds;
        ds.m_nRangeMode = RangeSQL;
        ds.m_strSQL = sql;
        const CSqlStatements statements(ds.GetType(), parser.get());
        if (!statements.Refusal(ds).isEmpty())
            continue;
        const QString sent = statements.Rows(ds);
        // Parsed alone, never planned nor run: PREPARE stops at the parse, as the view does.
        DbRows rows;
        if (parser->Query(QStringLiteral("prepare vc_fv_parsed as ") + sent, rows)) {
            parsed << sent;
            parser->Query(QStringLiteral("deallocate vc_fv_parsed"), rows);
        }
    }
    std::printf(
        "%d of the suites' %d query texts are parsed by the server alone\n", int(parsed.size()), int(queries.size()));
    EXPECT_GE(parsed.size(), 120);
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "psqlODBC" : "libpq");
        const std::unique_ptr<DbConnection> db
            = odbc ? DbConnection::OpenOdbc(PsqlOdbcString(server)) : DbConnection::OpenPostgreSQL(server);
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        for (const QString& sent : parsed) {
            const SqlStatementNames names = SqlNamesOf(sent, db->ServerKind());
            DbStatementFacts facts;
            // psqlODBC takes a "?" for a parameter marker: such a statement never reaches the server.
            if (!ReadStatementFacts(*db, sent, names.names, names.operators, RefusedSqlNamePatterns(), facts)) {
                EXPECT_TRUE(odbc && db->LastError().contains(QStringLiteral("问号（?）")))
                    << db->LastError().toStdString();
                continue;
            }
            EXPECT_TRUE(facts.resolved) << sent.toStdString() << "\n" << facts.unresolvedError.toStdString();
        }
    }
}

// 不允许 at the question asked once connected: where the statement went to PostgreSQL to be made
// into the view, the words say the server parsed it and ran none of it, also where the login's
// transactions are read-only or the server is a standby, which refuse the view (the question says
// why in red); where nothing of it was sent (MariaDB), they say that.
TEST(RefusedView, AfterNotAllowedTheWordsSayWhetherTheServerParsedTheStatement)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server,
        QStringLiteral("create role vc_fv_ro_%1 login password 'fv pass';"
                       "alter role vc_fv_ro_%1 set default_transaction_read_only = on;"),
        QStringLiteral("drop role if exists vc_fv_ro_%1"));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    struct Login
    {
        DbServerSettings settings;
        QString reason; // of the caution, empty where the server resolved the statement
    };
    QList<Login> logins = {{server, {}}, {server, QStringLiteral("只读")}};
    logins[1].settings.user = objects.Named("vc_fv_ro_%1");
    logins[1].settings.password = QStringLiteral("fv pass");
    if (const std::optional<DbServerSettings> standby = TestServerSettings("VC_PGS"))
        logins.append({*standby, QStringLiteral("备用服务器")});
    else if (qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
        ADD_FAILURE() << "VC_PGS_* settings are missing although the database servers are required";
    const QString parsed
        = QStringLiteral("服务器解析了这条语句以得知它调用哪些函数，但没有运行它的任何部分，没有读取它的记录。");
    const QString unsent = QStringLiteral("但没有发送这条语句，没有读取它的记录。");
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "psqlODBC" : "libpq");
        for (const Login& login : logins) {
            SCOPED_TRACE(login.reason.toStdString());
            RecordingApprover approver(false);
            const std::unique_ptr<CDSBase> ds = LabelSource(odbc, login.settings, QStringLiteral("select 1 as a"));
            const QString refusal = ConnectedStatementRefusal(*ds, *OpenRoute(odbc, login.settings));
            EXPECT_TRUE(refusal.endsWith(parsed)) << refusal.toStdString();
            ASSERT_EQ(approver.asked.size(), 1);
            EXPECT_TRUE(approver.asked[0].parsed);
            if (!login.reason.isEmpty()) {
                EXPECT_TRUE(approver.asked[0].cautions.join(u'|').contains(login.reason));
            }
        }
    }

    const std::optional<DbServerSettings> maria = TestServerSettings("VC_MY");
    if (!maria)
        return;
    CMySQLDS my;
    StoreLogin(my, *maria);
    my.m_strName = QStringLiteral("远程");
    my.m_nRangeMode = RangeSQL;
    my.m_strSQL = QStringLiteral("select 1 as a");
    const std::unique_ptr<DbConnection> db = DbConnection::OpenMySQL(*maria);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    RecordingApprover approver(false);
    EXPECT_TRUE(ConnectedStatementRefusal(my, *db).endsWith(unsent));
}

// The reason is asked as the view would be made: a superuser's statements run as a role that only
// reads, which may lack the TEMP right the superuser has, and its statements still resolve.
TEST(RefusedView, TheReasonIsTheLoginsAsTheViewWouldBeMade)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects database(server, QStringLiteral("create database vc_fv_db_%1"),
        QStringLiteral("drop database if exists vc_fv_db_%1 with (force)"));
    ASSERT_TRUE(database.Error().isEmpty()) << database.Error().toStdString();
    DbServerSettings owner = server;
    owner.database = database.Named("vc_fv_db_%1");
    ASSERT_EQ(WriteOnTestServer(
                  owner, true, QStringLiteral("revoke temporary on database %1 from public").arg(owner.database)),
        "");
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "psqlODBC" : "libpq");
        const std::unique_ptr<DbConnection> db = OpenRoute(odbc, owner);
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbStatementFacts facts;
        ASSERT_TRUE(ReadStatementFacts(*db, QStringLiteral("select 1 as a"), {}, {}, RefusedSqlNamePatterns(), facts));
        EXPECT_TRUE(facts.resolved);
        EXPECT_EQ(facts.unresolved, DbStatementFacts::Unresolved::None);
    }
}
