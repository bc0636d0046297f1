// What a label's statement takes that would outlive its read (a session-level advisory lock, the
// random seed of a pooled session, MariaDB's user locks and locking reads) is refused on every
// route and pool, however it is written or hidden behind a view, and another client finds the
// lock free; a lock that ends with the read's transaction is not refused.
#include "GuardedStatement.h"
#include "model/DLBase.h"
#include "platform/db/DbConnection.h"

#include <gtest/gtest.h>

namespace {

const QString kSessionStatePassword = QStringLiteral("ss pass");

const char kSessionStateMake[] = "create role vc_ss_plain_%1 login password 'ss pass';"
                                 "create view vc_ss_lockv_%1 as select pg_advisory_lock(7301)::text as a;"
                                 "grant select on vc_ss_lockv_%1 to vc_ss_plain_%1;";
const char kSessionStateDrop[] = "drop view if exists vc_ss_lockv_%1; drop role if exists vc_ss_plain_%1";

// Whether another client may take the advisory lock at once.
bool SessionStateLockFree(const DbServerSettings& server)
{
    const std::unique_ptr<DbConnection> other = DbConnection::OpenPostgreSQL(server);
    DbRows rows;
    if (!other->IsOpen() || !other->Query(QStringLiteral("select pg_try_advisory_lock(7301)::text"), rows))
        return false;
    return rows.RowCount() == 1 && rows.Value(0, 0) == u"true";
}

void ExpectSessionStateRefused(const ServerObjects& objects, const DbServerSettings& login, const DbServerSettings& server)
{
    const QString attacks[] = {
        QStringLiteral("select g::text as a from generate_series(1, 300) g, (select pg_advisory_lock(7301)) l"),
        QStringLiteral("select pg_try_advisory_lock_shared(7301)::text as a"),
        QStringLiteral("select a || setseed(0.5)::text as a from (values ('x')) t(a)"),
        QStringLiteral("select brin_desummarize_range('pg_class'::regclass, 0)::text as a"),
        objects.Named("select a from public.vc_ss_lockv_%1"),
    };
    for (const Route route : {Route::Native, Route::PsqlOdbc}) {
        SCOPED_TRACE(RouteName(route));
        for (const QString& sql : attacks) {
            SCOPED_TRACE(sql.toStdString());
            const Guarded guarded = Guard(route, login, sql);
            EXPECT_NE(guarded.refusal, "");
            EXPECT_EQ(guarded.questions, 0);
            EXPECT_TRUE(SessionStateLockFree(server));
        }
        // Released with the read's own transaction.
        const Guarded control = Guard(route, login, QStringLiteral("select pg_advisory_xact_lock(7301)::text as a"));
        EXPECT_EQ(control.refusal, "");
    }
}

} // namespace

TEST(SessionState, PostgreSQLLocksAndSeedsThatOutliveTheReadAreRefusedOnEveryRouteAndPool)
{
    VC_TEST_SERVER(server, "VC_PG");
    const ServerObjects objects(server, QLatin1String(kSessionStateMake), QLatin1String(kSessionStateDrop));
    ASSERT_TRUE(objects.Error().isEmpty()) << objects.Error().toStdString();
    DbServerSettings login = TestLogin(server, objects, "vc_ss_plain_%1", kSessionStatePassword);
    ExpectSessionStateRefused(objects, login, server);

    const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB");
    if (!pooler && qEnvironmentVariableIsSet("VC_REQUIRE_DB"))
        FAIL() << "VC_PGB_* settings are missing although the database servers are required";
    if (!pooler)
        GTEST_SKIP() << "no PgBouncer settings";
    login.host = pooler->host;
    login.port = pooler->port;
    for (const QString& pool : {server.database, qEnvironmentVariable("VC_PGB_TRANSACTION_DATABASE"),
             qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE")}) {
        SCOPED_TRACE(pool.toStdString());
        login.database = pool;
        ExpectSessionStateRefused(objects, login, server);
    }
}

// MariaDB takes a locking read's row locks and a user lock inside a read-only transaction: both are
// refused before anything is sent, natively and through an ODBC string, and the lock stays free.
TEST(SessionState, MariaDBUserLocksAndLockingReadsAreRefusedUnsent)
{
    VC_TEST_SERVER(server, "VC_MY");
    const QString statements[] = {
        QStringLiteral("select get_lock('vc_job', 0) as a"),
        QStringLiteral("select id as a from vc_tied_items lock in share mode"),
        QStringLiteral("select id as a from (select id from vc_tied_items for update) t"),
    };
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "ODBC string" : "native");
        for (const QString& sql : statements) {
            SCOPED_TRACE(sql.toStdString());
            std::unique_ptr<CDSBase> ds;
            if (odbc) {
                auto custom = std::make_unique<CCustomDS>();
                custom->m_strConnectionString = EncryptString(
                    QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;DB=%3;User=%4;Password=%5;Option=3")
                        .arg(server.host)
                        .arg(server.port)
                        .arg(server.database, server.user, server.password));
                ds = std::move(custom);
            } else {
                auto my = std::make_unique<CMySQLDS>();
                StoreLogin(*my, server);
                ds = std::move(my);
            }
            ds->m_strName = QStringLiteral("库存");
            ds->m_nRangeMode = RangeSQL;
            ds->m_strSQL = sql;
            ds->m_selectedFields = QStringList {"a"};
            std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds->GetType());
            loader->SetDataSource(ds.get());
            LoaderRow rows;
            EXPECT_FALSE(loader->LoadRows(1, 10, rows));
            EXPECT_TRUE(loader->GetLastError().contains(QStringLiteral("SQL语句只能是一条读取数据的查询语句")))
                << loader->GetLastError().toStdString();
            EXPECT_FALSE(loader->IsOpen());
        }
    }
    const std::unique_ptr<DbConnection> other = DbConnection::OpenMySQL(server);
    DbRows rows;
    ASSERT_TRUE(other->Query(QStringLiteral("select is_free_lock('vc_job')"), rows)) << other->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QStringLiteral("1"));
}
