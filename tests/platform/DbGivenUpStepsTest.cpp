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

#include <functional>

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

// A waiter that presses 取消 once a step has run for cancelAfterMs.
class CancelPresser : public DbWaiter
{
public:
    explicit CancelPresser(int cancelAfterMs) : m_after(cancelAfterMs) {}
    void Wait(DbPendingStep& step) override
    {
        bool cancelled = false;
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

} // namespace
