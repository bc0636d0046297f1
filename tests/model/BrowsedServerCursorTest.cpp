// PostgreSQL moves past the rows a preview jumps over itself, through libpq and psqlODBC alike:
// the statement runs once under a cursor held in a read-only transaction of the preview's own,
// and pages come as print has them, ties included. Through PgBouncer, whose server connections
// such a transaction would pin while the user turns pages, every row is read and kept instead,
// with the same pages. The cursor keeps the statement's frame: a statement that would end it or
// write is refused, as it is without the cursor.
#include "DbTestEnv.h"
#include "LoaderPages.h"
#include "model/DLBase.h"
#include "model/DSBase.h"

#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int kCursorPage = 25;

QStringList CursorPages(CDLBase& loader, const std::vector<int>& pages)
{
    return PageRecords(loader, pages, kCursorPage);
}

// The sessions this suite opens carry this name (TestSessionName).
constexpr char kCursorSessionName[] = "vc_server_cursor";

// The state and last statement of this suite's sessions.
QStringList LastStatements(const DbServerSettings& s)
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    client.setProcessEnvironment(env);
    client.start(QStringLiteral("psql"),
        {"-X", "-At", "-h", s.host, "-p", QString::number(s.port), "-U", s.user, "-d", s.database, "-c",
            QStringLiteral("select state || ': ' || query from pg_stat_activity where datname = current_database() "
                           "and pid <> pg_backend_pid() and application_name = '%1'")
                .arg(QLatin1String(kCursorSessionName))});
    client.waitForFinished(30000);
    return QString::fromUtf8(client.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

TEST(BrowsedServerCursor, PostgreSQLMovesPastRowsItselfWhereATransactionIsHeld)
{
    VC_TEST_SERVER(server, "VC_PG");
    const TestSessionName named(kCursorSessionName);
    // The idle watch would ask its own question in the preview's transaction between the page's
    // fetch and the look at the session, as soon as a slow run let it.
    const ScopedDbLimits unwatched([](DbLimits& limits) { limits.watchMs = 3600000; });
    ASSERT_EQ(WriteTiedTables(server, true, QStringLiteral("vc_cursor")), "");
    struct Route
    {
        const char* what;
        QString port;
        QString database;
        bool held;
    };
    std::vector<Route> routes {{"direct", QString::number(server.port), server.database, true}};
    if (const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB")) {
        routes.push_back({"PgBouncer, session pooling", QString::number(pooler->port), server.database, false});
        routes.push_back({"PgBouncer, transaction pooling", QString::number(pooler->port),
            qEnvironmentVariable("VC_PGB_TRANSACTION_DATABASE"), false});
        routes.push_back({"PgBouncer, statement pooling", QString::number(pooler->port),
            qEnvironmentVariable("VC_PGB_STATEMENT_DATABASE"), false});
    } else if (qEnvironmentVariableIsSet("VC_REQUIRE_DB")) {
        FAIL() << "VC_PGB_* settings are missing although the database servers are required";
    }
    const std::vector<int> jumps {80, 3, 57, 1, 81};
    for (const Route& route : routes) {
        for (const bool odbc : {false, true}) {
            SCOPED_TRACE(route.what);
            SCOPED_TRACE(odbc ? "psqlODBC" : "libpq");
            DbServerSettings through = server;
            through.port = route.port.toInt();
            through.database = route.database;
            const std::unique_ptr<CDSBase> source = ServerSource(through, true, odbc);
            CDSBase& ds = *source;
            ds.m_nRangeMode = RangeSQL;
            ds.m_strSQL = QStringLiteral("select id, made, name from vc_cursor_items order by made");
            ds.m_selectedFields = QStringList {"id", "made", "name"};
            std::unique_ptr<CDLBase> print = CDLBase::CreateLoader(ds.GetType());
            print->SetDataSource(&ds);
            print->SetSequentialLoads(true);
            std::vector<int> every;
            for (int page = 1; page <= kTiedRecords / kCursorPage; ++page)
                every.push_back(page);
            const QStringList printed = CursorPages(*print, every);
            print.reset();

            std::unique_ptr<CDLBase> preview = CDLBase::CreateLoader(ds.GetType());
            preview->SetDataSource(&ds);
            preview->SetBrowsedLoads(true);
            ASSERT_EQ(preview->GetRecordCount(), kTiedRecords);
            const QStringList shown = CursorPages(*preview, jumps);
            QStringList expected;
            for (const int page : jumps)
                expected += printed.mid((page - 1) * kCursorPage, kCursorPage);
            EXPECT_EQ(shown, expected);
            QStringList ids;
            for (const QString& record : printed)
                ids.append(record.section(u'|', 0, 0));
            ids.removeDuplicates();
            EXPECT_EQ(ids.size(), kTiedRecords);
            // The preview's session waits in its transaction, its cursor's last fetch the page's
            // (psqlODBC sends the move before it in the same text).
            const QStringList sessions = LastStatements(server);
            const bool fetched = std::any_of(sessions.begin(), sessions.end(), [](const QString& session) {
                return session.startsWith(QStringLiteral("idle in transaction: "))
                    && session.endsWith(QStringLiteral("FETCH FORWARD 25 FROM vc_walk"));
            });
            EXPECT_EQ(fetched, route.held) << sessions.join(u'\n').toStdString();
            preview->Close();
            // A pooler ends the server's side of a closed connection in its own time.
            QString left;
            for (int wait = 0;
                 wait < 300 && (left = LastStatements(server).join(u'\n')).contains(u"idle in transaction"); ++wait)
                QThread::msleep(100);
            EXPECT_FALSE(left.contains(u"idle in transaction")) << left.toStdString();
        }
    }
}

TEST(BrowsedServerCursor, TheCursorsStatementCannotEndItsTransactionNorWrite)
{
    VC_TEST_SERVER(server, "VC_PG");
    ASSERT_EQ(WriteOnTestServer(server, true,
                  QStringLiteral("drop table if exists vc_cursor_marks; create table vc_cursor_marks (n int); "
                                 "drop sequence if exists vc_cursor_seq; create sequence vc_cursor_seq")),
        "");
    struct Attempt
    {
        const char* sql;
        bool shown;
    };
    const Attempt attempts[] = {
        {"select 1 as n) t; commit; insert into vc_cursor_marks values (1); select * from (select 1 as n", false},
        {"select nextval('vc_cursor_seq') as n", false},
        {"select n from vc_cursor_marks, set_config('transaction_read_only', 'off', true) x", false},
        {"select 1 as n -- a comment at the end", true}, // the control
    };
    for (const Attempt& attempt : attempts) {
        for (const bool odbc : {false, true}) {
            SCOPED_TRACE(attempt.sql);
            SCOPED_TRACE(odbc ? "psqlODBC" : "libpq");
            const std::unique_ptr<CDSBase> source = ServerSource(server, true, odbc);
            CDSBase& ds = *source;
            ds.m_nRangeMode = RangeSQL;
            ds.m_strSQL = QString::fromLatin1(attempt.sql);
            ds.m_selectedFields = QStringList {"n"};
            std::unique_ptr<CDLBase> preview = CDLBase::CreateLoader(ds.GetType());
            preview->SetDataSource(&ds);
            preview->SetBrowsedLoads(true);
            LoaderRow rows;
            EXPECT_EQ(preview->LoadPage(1, kCursorPage, rows), attempt.shown) << preview->GetLastError().toStdString();
            preview->Close();
        }
    }
    EXPECT_EQ(ReadOnTestServer(server, true,
                  QStringLiteral("select (select count(*) from vc_cursor_marks) || ' ' || "
                                 "(select last_value || ' ' || is_called from vc_cursor_seq)")),
        "0 1 false");
}
