// Steps given up against servers that go silent: their connections, sockets, eventfds and
// threads must go soon after, however often it happens, and other connections go on.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "FakeDbServer.h"
#include "platform/db/Ado.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"
#include "SQLiteFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

// What the process holds that a given-up step could leave behind.
struct HeldResources
{
    int sockets = 0;
    int eventfds = 0;
    int threads = 0;
};

HeldResources CountHeldResources()
{
    HeldResources held;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFileInfo(fds.filePath(fd)).symLinkTarget();
        const QString link = target.isEmpty() ? QFile::symLinkTarget(fds.filePath(fd)) : target;
        if (link.contains(QLatin1String("socket:[")))
            ++held.sockets;
        else if (link.contains(QLatin1String("anon_inode:[eventfd]")))
            ++held.eventfds;
    }
    held.threads
        = static_cast<int>(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    return held;
}

std::ostream& operator<<(std::ostream& out, const HeldResources& held)
{
    return out << held.sockets << " sockets, " << held.eventfds << " eventfds, " << held.threads << " threads";
}

// How long what a given-up step held may take to go: it goes at once, but a loaded machine
// may not run the threads that let it go for a while.
constexpr int kReleaseWatchdogMs = 30000;

// Waits up to timeoutMs for the process to hold at most slack more of each than before.
HeldResources AwaitReleased(const HeldResources& before, int slack, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const HeldResources now = CountHeldResources();
        const bool released = now.sockets <= before.sockets + slack && now.eventfds <= before.eventfds + slack
            && now.threads <= before.threads + slack;
        if (released || clock.elapsed() > timeoutMs)
            return now;
        QThread::msleep(50);
    }
}

// The steps of the source 库存 a test gives up: its connects, or the reads of its records.
const QString kConnectOfStock = QStringLiteral("正在连接数据库“库存”");
const QString kReadOfStock = QStringLiteral("正在读取数据源“库存”的记录");

// A waiter that presses 取消 once a step of one kind has run for cancelAfterMs; every other
// step (a connect that must succeed on a slow machine, another source's) is waited for to
// its end. Waits on several threads at once.
class CancelPresser : public DbWaiter
{
public:
    explicit CancelPresser(int cancelAfterMs) : m_after(cancelAfterMs) {}
    // The step the presser cancels, by the start of its text.
    void CancelOnly(const QString& step) { m_step = step; }
    void Wait(DbPendingStep& step) override
    {
        bool cancelled = !step.Text().startsWith(m_step);
        while (!step.Check()) {
            if (!cancelled && step.Elapsed().count() >= m_after) {
                step.Cancel();
                cancelled = true;
            }
            step.WaitDone(DbPendingStep::CheckInterval);
        }
    }

private:
    int m_after;
    QString m_step = kConnectOfStock;
};

class DbGivenUpStepsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = GetDbLimits();
        DbLimits limits;
        limits.connectMs = 60000; // a driver's own limit never ends a step here
        limits.statementMs = 60000;
        limits.graceMs = 250;
        SetDbLimits(limits);
        m_previousWaiter = InstallDbWaiter(&m_presser);
    }
    void TearDown() override
    {
        InstallDbWaiter(m_previousWaiter);
        SetDbLimits(m_saved);
    }

    CancelPresser m_presser {100};
    DbLimits m_saved;
    DbWaiter* m_previousWaiter = nullptr;
};

QString FreeTdsString(unsigned short port)
{
    return QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;TDS_Version=7.4;UID=sa;PWD=x;").arg(port);
}

bool HasFreeTds()
{
    return InstalledOdbcDrivers().contains(QStringLiteral("FreeTDS"));
}

TEST_F(DbGivenUpStepsTest, CancelledConnectsToASilentSqlServerLeaveNothingBehind)
{
    if (!HasFreeTds())
        GTEST_SKIP() << "the FreeTDS driver is not registered";
    FakeDbServer server(FakeDbServer::Protocol::Mute);
    // The driver loaded once, so what it keeps for the process counts in the baseline.
    EXPECT_FALSE(DbConnection::OpenOdbc(FreeTdsString(ClosedLoopbackPort()), QStringLiteral("库存"))->IsOpen());
    QThread::msleep(300);
    const HeldResources before = CountHeldResources();
    for (int i = 0; i < 12; ++i) {
        auto db = DbConnection::OpenOdbc(FreeTdsString(server.Port()), QStringLiteral("库存"));
        EXPECT_FALSE(db->IsOpen());
        EXPECT_TRUE(db->Stopped());
    }
    const HeldResources after = AwaitReleased(before, 0, kReleaseWatchdogMs);
    std::cerr << "before: " << before << "\nafter: " << after << "\n";
    EXPECT_LE(after.sockets, before.sockets + 2);
    EXPECT_LE(after.eventfds, before.eventfds + 2);
    EXPECT_LE(after.threads, before.threads + 2);
}

TEST_F(DbGivenUpStepsTest, CancelledStatementsOnASqlServerSilentAfterLoginLeaveNothingBehind)
{
    if (!HasFreeTds())
        GTEST_SKIP() << "the FreeTDS driver is not registered";
    FakeDbServer server(FakeDbServer::Protocol::Tds);
    m_presser.CancelOnly(kReadOfStock);
    {
        auto db = DbConnection::OpenOdbc(FreeTdsString(server.Port()), QStringLiteral("库存"));
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        EXPECT_TRUE(db->Query("select 1", rows)) << db->LastError().toStdString();
    }
    QThread::msleep(300);
    const HeldResources before = CountHeldResources();
    for (int i = 0; i < 12; ++i) {
        auto db = DbConnection::OpenOdbc(FreeTdsString(server.Port()), QStringLiteral("库存"));
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        EXPECT_FALSE(db->Query("select 'silent'", rows));
        EXPECT_TRUE(db->Stopped());
        EXPECT_EQ(db->LastError(), QStringLiteral("已取消读取数据源“库存”的记录。数据库没有响应，连接已断开。"));
    }
    EXPECT_EQ(server.SilentBatches(), 12);
    const HeldResources after = AwaitReleased(before, 0, kReleaseWatchdogMs);
    std::cerr << "before: " << before << "\nafter: " << after << "\n";
    EXPECT_LE(after.sockets, before.sockets + 2);
    EXPECT_LE(after.eventfds, before.eventfds + 2);
    EXPECT_LE(after.threads, before.threads + 2);
    // The server sees the last connection go when its own thread comes to it.
    QElapsedTimer watchdog;
    watchdog.start();
    while (server.OpenConnections() > 0 && watchdog.elapsed() < kReleaseWatchdogMs)
        QThread::msleep(20);
    EXPECT_EQ(server.OpenConnections(), 0);
}

// The program's own clients of PostgreSQL and MariaDB, connecting to a server that says
// nothing or going silent after the login, leave nothing behind either.
TEST_F(DbGivenUpStepsTest, CancelledStepsOfTheOtherClientsLeaveNothingBehind)
{
    struct Case
    {
        const char* name;
        FakeDbServer::Protocol protocol;
        std::function<std::unique_ptr<DbConnection>(const DbServerSettings&)> open;
        bool opens; // the login is answered: the statement is what waits
    };
    const auto pg = [](const DbServerSettings& s) { return DbConnection::OpenPostgreSQL(s); };
    const auto my = [](const DbServerSettings& s) { return DbConnection::OpenMySQL(s); };
    const Case cases[] = {{"postgresql, no answer", FakeDbServer::Protocol::Mute, pg, false},
        {"postgresql, silent after the login", FakeDbServer::Protocol::PostgreSQL, pg, true},
        {"mariadb, no answer", FakeDbServer::Protocol::Mute, my, false},
        {"mariadb, silent after the login", FakeDbServer::Protocol::MySQL, my, false}};
    const DbSourceScope scope(QStringLiteral("库存"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDbServer server(c.protocol);
        m_presser.CancelOnly(c.opens ? kReadOfStock : kConnectOfStock);
        const DbServerSettings settings {"127.0.0.1", server.Port(), "db", "u", "p"};
        EXPECT_FALSE(c.open({"127.0.0.1", ClosedLoopbackPort(), "db", "u", "p"})->IsOpen());
        QThread::msleep(200);
        const HeldResources before = CountHeldResources();
        for (int i = 0; i < 4; ++i) {
            auto db = c.open(settings);
            ASSERT_EQ(db->IsOpen(), c.opens) << db->LastError().toStdString();
            DbRows rows;
            if (c.opens) {
                EXPECT_FALSE(db->Query("select 1", rows));
            }
            EXPECT_TRUE(db->Stopped());
        }
        const HeldResources after = AwaitReleased(before, 0, kReleaseWatchdogMs);
        std::cerr << "before: " << before << "\nafter: " << after << "\n";
        EXPECT_LE(after.sockets, before.sockets + 2);
        EXPECT_LE(after.eventfds, before.eventfds + 2);
        EXPECT_LE(after.threads, before.threads + 2);
    }
}

// The sockets shut are only those the given-up steps wait on: connections of other sources,
// whose workers wait on their servers' sockets all through the give-ups, go on, and the
// silent server's next connection works.
TEST_F(DbGivenUpStepsTest, OtherConnectionsGoOnThroughTheGiveUps)
{
    if (!HasFreeTds())
        GTEST_SKIP() << "the FreeTDS driver is not registered";
    VC_TEST_SERVER(pg, "VC_PG");
    VC_TEST_SERVER(my, "VC_MY");
    FakeDbServer server(FakeDbServer::Protocol::Tds);
    m_presser.CancelOnly(kReadOfStock);
    struct Busy
    {
        Busy(std::function<std::unique_ptr<DbConnection>()> o, const char* s) : open(std::move(o)), sleep(s) {}
        std::function<std::unique_ptr<DbConnection>()> open;
        const char* sleep;
        std::atomic<int> answered {0};
        std::atomic<bool> failed {false};
        QString failure;
    };
    Busy busy[] = {{[&] { return DbConnection::OpenPostgreSQL(pg); }, "select pg_sleep(0.2)"},
        {[&] { return DbConnection::OpenMySQL(my); }, "select sleep(0.2)"},
        {[&] { return DbConnection::OpenOdbc(FreeTdsString(server.Port()), QStringLiteral("账目")); }, "select 2"}};
    std::atomic<bool> stop {false};
    std::vector<std::thread> threads;
    for (Busy& b : busy) {
        threads.emplace_back([&b, &stop] {
            const DbSourceScope scope(QStringLiteral("账目"));
            auto db = b.open();
            DbRows rows;
            while (!stop && b.failure.isEmpty()) {
                if (db->Query(QString::fromLatin1(b.sleep), rows))
                    ++b.answered;
                else
                    b.failure = db->LastError();
            }
            b.failed = !b.failure.isEmpty();
        });
    }
    // Waits until each busy connection has answered `more` statements beyond those it had
    // (or failed), however slowly the machine runs them; the watchdog only catches a hang.
    const auto awaitAnswers = [&busy](int more) {
        std::vector<int> wanted;
        for (const Busy& b : busy)
            wanted.push_back(b.answered + more);
        const auto done = [&] {
            for (size_t i = 0; i < wanted.size(); ++i)
                if (busy[i].answered < wanted[i] && !busy[i].failed)
                    return false;
            return true;
        };
        QElapsedTimer watchdog;
        watchdog.start();
        while (!done() && watchdog.elapsed() < 120000)
            QThread::msleep(20);
    };
    awaitAnswers(1); // each is at work before the first give-up
    for (int i = 0; i < 6; ++i) {
        auto db = DbConnection::OpenOdbc(FreeTdsString(server.Port()), QStringLiteral("库存"));
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        EXPECT_FALSE(db->Query("select 'silent'", rows));
        EXPECT_TRUE(db->Stopped());
    }
    // The last give-up's sockets are shut by now; the others answer on.
    awaitAnswers(2);
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    for (const Busy& b : busy) {
        SCOPED_TRACE(b.sleep);
        EXPECT_TRUE(b.failure.isEmpty()) << b.failure.toStdString();
        EXPECT_GE(b.answered.load(), 3);
    }

    auto db = DbConnection::OpenOdbc(FreeTdsString(server.Port()), QStringLiteral("库存"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    EXPECT_TRUE(db->Query("select 1", rows)) << db->LastError().toStdString();
}

} // namespace

// A connection that ends, open or failed, on every kind of worker, has ended its worker
// thread by the time it is gone: nothing of it is left to a thread on its way out, which a
// leak check at any moment (a fuzz run's after each input) would take for a leak. The
// count is read the moment the connection has gone, with nothing waited for.
TEST_F(DbGivenUpStepsTest, AConnectionThatEndsLeavesNoThreadBehind)
{
    VC_TEST_SERVER(pg, "VC_PG");
    VC_TEST_SERVER(my, "VC_MY");
    QTemporaryDir dir;
    const QString sqlite = dir.filePath("rows.db");
    ASSERT_TRUE(WriteSQLiteFile(sqlite, "create table T (A integer); insert into T values (1), (2);"));
    const QString book = dir.filePath("rows.xls");
    QFile notBook(book);
    ASSERT_TRUE(notBook.open(QIODevice::WriteOnly) && notBook.write("not a workbook") > 0);
    notBook.close();
    DbServerSettings wrongPassword = pg;
    wrongPassword.password += QStringLiteral("-wrong");
    const struct
    {
        const char* what;
        std::function<std::unique_ptr<DbConnection>()> open;
        const char* sql; // null: the open fails
    } cases[] = {
        {"SQLite", [&] { return DbConnection::OpenSQLite(sqlite); }, "select A from T"},
        {"PostgreSQL", [&] { return DbConnection::OpenPostgreSQL(pg); }, "select 1"},
        {"MariaDB", [&] { return DbConnection::OpenMySQL(my); }, "select 1"},
        {"a workbook refused", [&] { return DbConnection::OpenExcel(book, true); }, nullptr},
        {"a login refused", [&] { return DbConnection::OpenPostgreSQL(wrongPassword); }, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = CountHeldResources().threads;
        {
            std::unique_ptr<DbConnection> connection = c.open();
            ASSERT_EQ(connection->IsOpen(), c.sql != nullptr) << connection->LastError().toStdString();
            if (c.sql) {
                DbRows rows;
                EXPECT_TRUE(connection->Query(QString::fromUtf8(c.sql), rows)) << connection->LastError().toStdString();
                std::unique_ptr<DbCursor> cursor = connection->OpenCursor(QString::fromUtf8(c.sql));
                ASSERT_NE(cursor, nullptr);
                EXPECT_TRUE(cursor->Fetch(1, rows));
                EXPECT_GT(CountHeldResources().threads, before); // the worker, while the connection lives
            }
        }
        EXPECT_LE(CountHeldResources().threads, before);
    }
}
