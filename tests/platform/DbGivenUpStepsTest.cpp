// Steps given up against servers that go silent: their connections, sockets, eventfds and
// threads must go soon after, however often it happens, and other connections go on.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "FakeDbServer.h"
#include "platform/db/Ado.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
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

// A waiter that presses 取消 once a step of the source 库存 has run for cancelAfterMs; the
// steps of other sources are waited for to their end. Waits on several threads at once.
class CancelPresser : public DbWaiter
{
public:
    explicit CancelPresser(int cancelAfterMs) : m_after(cancelAfterMs) {}
    void Wait(DbPendingStep& step) override
    {
        bool cancelled = !step.Text().contains(QStringLiteral("“库存”"));
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

// A SQL Server on a loopback port that lets a TDS 7.4 client log in and answers every batch
// and transaction request with an empty DONE, until a batch names "silent": that one, and all after it on the
// connection, get no answer (nor does an attention).
class SilentTdsServer
{
public:
    SilentTdsServer()
    {
        m_listener = BindLoopback(m_port, 32);
        if (pipe(m_wake) != 0)
            m_wake[0] = m_wake[1] = -1;
        m_thread = std::thread(&SilentTdsServer::Run, this);
    }
    ~SilentTdsServer()
    {
        if (m_wake[1] >= 0 && write(m_wake[1], "x", 1) < 0)
            perror("SilentTdsServer");
        m_thread.join();
        for (int fd : {m_listener, m_wake[0], m_wake[1]})
            if (fd >= 0)
                close(fd);
    }
    SilentTdsServer(const SilentTdsServer&) = delete;
    SilentTdsServer& operator=(const SilentTdsServer&) = delete;

    unsigned short Port() const { return static_cast<unsigned short>(m_port); }
    int Logins() const { return m_logins.load(); }
    int SilentBatches() const { return m_silent.load(); }
    // Connections the server still holds: a client's end shut or closed lets it go.
    int OpenConnections() const { return m_open.load(); }

private:
    struct Client
    {
        int fd = -1;
        QByteArray in;
        QByteArray message; // the packets of the message under way
        bool silent = false;
    };

    static QByteArray Packet(const QByteArray& payload)
    {
        const auto size = static_cast<quint16>(payload.size() + 8);
        QByteArray out("\x04\x01", 2); // a reply, its last packet
        out.append(static_cast<char>(size >> 8)).append(static_cast<char>(size & 0xFF));
        out.append(QByteArray("\x00\x00\x01\x00", 4));
        return out + payload;
    }

    static QByteArray Done()
    {
        return QByteArray("\xFD\x00\x00\x00\x00", 5) + QByteArray(8, '\0');
    }

    static QByteArray PreloginReply()
    {
        // VERSION at 11, 6 bytes; ENCRYPTION at 17, 1 byte: not supported.
        return Packet(QByteArray("\x00\x00\x0B\x00\x06\x01\x00\x11\x00\x01\xFF", 11)
            + QByteArray("\x10\x00\x07\xD0\x00\x00", 6) + QByteArray("\x02", 1));
    }

    static QByteArray LoginReply()
    {
        const QByteArray name = QByteArray("S\0Q\0L\0", 6);
        QByteArray ack("\x01\x74\x00\x00\x04", 5); // T-SQL, TDS 7.4
        ack.append(static_cast<char>(name.size() / 2)).append(name).append(QByteArray("\x10\x00\x07\xD0", 4));
        QByteArray token("\xAD", 1);
        token.append(static_cast<char>(ack.size() & 0xFF)).append(static_cast<char>(ack.size() >> 8)).append(ack);
        return Packet(token + Done());
    }

    static void Send(int fd, const QByteArray& bytes)
    {
        if (send(fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) < 0)
            return;
    }

    // One whole message from the client.
    void Answer(Client& client, char type)
    {
        if (type == '\x12') {
            Send(client.fd, PreloginReply());
        } else if (type == '\x10') {
            ++m_logins;
            Send(client.fd, LoginReply());
        } else if (type == '\x01' || type == '\x0E') { // a batch, a transaction request
            if (type == '\x01' && QString::fromUtf16(reinterpret_cast<const char16_t*>(client.message.constData()),
                    client.message.size() / 2)
                    .contains(QLatin1String("silent"))) {
                client.silent = true;
                ++m_silent;
            }
            if (!client.silent)
                Send(client.fd, Packet(Done()));
        }
    }

    void Serve(Client& client)
    {
        while (client.in.size() >= 8) {
            const int size = (static_cast<unsigned char>(client.in[2]) << 8) | static_cast<unsigned char>(client.in[3]);
            if (size < 8 || client.in.size() < size)
                return;
            const char type = client.in[0];
            const bool last = client.in[1] & 0x01;
            client.message.append(client.in.mid(8, size - 8));
            client.in.remove(0, size);
            if (last) {
                Answer(client, type);
                client.message.clear();
            }
        }
    }

    void Run()
    {
        std::vector<Client> clients;
        for (;;) {
            std::vector<pollfd> fds {{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
            for (const Client& client : clients)
                fds.push_back({client.fd, POLLIN, 0});
            if (poll(fds.data(), fds.size(), -1) < 0)
                continue;
            if (fds[0].revents)
                break;
            if (fds[1].revents & POLLIN) {
                Client client;
                client.fd = accept(m_listener, nullptr, nullptr);
                if (client.fd >= 0) {
                    ++m_open;
                    clients.push_back(client);
                }
            }
            for (size_t i = 2; i < fds.size(); ++i) {
                if (!fds[i].revents)
                    continue;
                Client& client = clients[i - 2];
                char buffer[4096];
                const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    close(client.fd);
                    client.fd = -1;
                    --m_open;
                    continue;
                }
                client.in.append(buffer, n);
                Serve(client);
            }
            std::erase_if(clients, [](const Client& client) { return client.fd < 0; });
        }
        for (const Client& client : clients)
            close(client.fd);
    }

    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::atomic<int> m_logins {0};
    std::atomic<int> m_silent {0};
    std::atomic<int> m_open {0};
    std::thread m_thread;
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
    const HeldResources after = AwaitReleased(before, 0, 3000);
    std::cerr << "before: " << before << "\nafter: " << after << "\n";
    EXPECT_LE(after.sockets, before.sockets + 2);
    EXPECT_LE(after.eventfds, before.eventfds + 2);
    EXPECT_LE(after.threads, before.threads + 2);
}

TEST_F(DbGivenUpStepsTest, CancelledStatementsOnASqlServerSilentAfterLoginLeaveNothingBehind)
{
    if (!HasFreeTds())
        GTEST_SKIP() << "the FreeTDS driver is not registered";
    SilentTdsServer server;
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
    const HeldResources after = AwaitReleased(before, 0, 3000);
    std::cerr << "before: " << before << "\nafter: " << after << "\n";
    EXPECT_LE(after.sockets, before.sockets + 2);
    EXPECT_LE(after.eventfds, before.eventfds + 2);
    EXPECT_LE(after.threads, before.threads + 2);
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
        const HeldResources after = AwaitReleased(before, 0, 4000);
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
    SilentTdsServer server;
    struct Busy
    {
        Busy(std::function<std::unique_ptr<DbConnection>()> o, const char* s) : open(std::move(o)), sleep(s) {}
        std::function<std::unique_ptr<DbConnection>()> open;
        const char* sleep;
        std::atomic<int> answered {0};
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
        });
    }
    for (int i = 0; i < 6; ++i) {
        auto db = DbConnection::OpenOdbc(FreeTdsString(server.Port()), QStringLiteral("库存"));
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        EXPECT_FALSE(db->Query("select 'silent'", rows));
        EXPECT_TRUE(db->Stopped());
    }
    QThread::msleep(500); // the last give-up's sockets are shut meanwhile
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    for (const Busy& b : busy) {
        SCOPED_TRACE(b.sleep);
        EXPECT_TRUE(b.failure.isEmpty()) << b.failure.toStdString();
        EXPECT_GT(b.answered.load(), 3);
    }

    auto db = DbConnection::OpenOdbc(FreeTdsString(server.Port()), QStringLiteral("库存"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    EXPECT_TRUE(db->Query("select 1", rows)) << db->LastError().toStdString();
}

} // namespace
