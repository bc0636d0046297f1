#include "platform/db/DbCall.h"
#include "platform/db/DbWait.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#ifdef __linux__
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#endif

using namespace std::chrono_literals;

namespace {

std::mutex g_dbLimitsLock;
DbLimits g_dbLimits;
std::atomic<DbWaiter*> g_dbWaiter {nullptr};

// One step as its worker and its waiter share it.
struct StepState
{
    std::mutex lock;
    std::condition_variable doneSignal;
    bool done = false;
    bool expired = false; // came back past its deadline: a backend's own limit ended it
    std::atomic<bool> interrupted {false};
    DbStep::Clock::time_point deadline;
    std::atomic<DbStep::Clock::rep> lastRow {DbStep::Clock::time_point::min().time_since_epoch().count()};
    std::atomic<bool> cut {false}; // the backend ended the connection (NoteConnectionCut)
    std::atomic<bool> cutWhileSending {false};
};

// The sockets a thread of ours waits on, each with the inode it had when found, so that a
// descriptor number the driver closed and the process reused meanwhile is never taken for
// one of them. The thread's current system call (/proc/self/task/<tid>/syscall) tells
// what it waits on: the descriptor it reads, writes or connects, or those it polls, as the
// database clients here wait.
class BlockedSockets
{
public:
    explicit BlockedSockets(pid_t tid)
    {
#ifdef __linux__
        m_call = CallLine(tid);
        unsigned long long nr = 0;
        unsigned long long a[6] = {};
        if (std::sscanf(m_call.c_str(), "%llu %llx %llx %llx %llx %llx %llx", &nr, &a[0], &a[1], &a[2], &a[3], &a[4],
                &a[5])
            != 7)
            return; // running, or waiting outside a system call
        const long call = static_cast<long>(nr);
        if (IsDescriptorCall(call)) {
            Add(static_cast<int>(a[0]));
        } else if (IsPollCall(call)) {
            const size_t count = std::min<unsigned long long>(a[1], 256);
            std::vector<pollfd> fds(count);
            if (ReadOwnMemory(a[0], fds.data(), count * sizeof(pollfd)))
                for (const pollfd& fd : fds)
                    Add(fd.fd);
        }
#else
        Q_UNUSED(tid);
#endif
    }

    // Shuts the sockets down (never closes them: the driver still owns the descriptors) so that
    // the call returns and the driver gives the connection up, while the thread still waits in
    // the very call they were found in.
    void ShutDown(pid_t tid) const
    {
#ifdef __linux__
        if (m_sockets.empty() || CallLine(tid) != m_call)
            return;
        for (const auto& [fd, inode] : m_sockets) {
            struct stat now {};
            if (fstat(fd, &now) == 0 && S_ISSOCK(now.st_mode) && now.st_ino == inode)
                shutdown(fd, SHUT_RDWR);
        }
#else
        Q_UNUSED(tid);
#endif
    }

private:
#ifdef __linux__
    static std::string CallLine(pid_t tid)
    {
        char path[64];
        std::snprintf(path, sizeof path, "/proc/self/task/%d/syscall", static_cast<int>(tid));
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return {};
        char line[256] = {};
        const ssize_t n = read(fd, line, sizeof line - 1);
        close(fd);
        return n > 0 ? std::string(line, static_cast<size_t>(n)) : std::string();
    }

    static bool ReadOwnMemory(unsigned long long address, void* into, size_t bytes)
    {
        const int fd = open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const ssize_t n = pread(fd, into, bytes, static_cast<off_t>(address));
        close(fd);
        return n == static_cast<ssize_t>(bytes);
    }

    static bool IsDescriptorCall(long call)
    {
        for (const long known : {long(SYS_read), long(SYS_readv), long(SYS_write), long(SYS_writev),
                 long(SYS_recvfrom), long(SYS_recvmsg), long(SYS_recvmmsg), long(SYS_sendto), long(SYS_sendmsg),
                 long(SYS_sendmmsg), long(SYS_connect), long(SYS_accept4)})
            if (call == known)
                return true;
        return false;
    }

    static bool IsPollCall(long call)
    {
#ifdef SYS_poll
        if (call == SYS_poll)
            return true;
#endif
        return call == SYS_ppoll;
    }

    void Add(int fd)
    {
        struct stat found {};
        if (fd >= 0 && fstat(fd, &found) == 0 && S_ISSOCK(found.st_mode))
            m_sockets.emplace_back(fd, found.st_ino);
    }

    std::string m_call;
    std::vector<std::pair<int, ino_t>> m_sockets;
#endif
};

pid_t CurrentThreadId()
{
#ifdef __linux__
    return static_cast<pid_t>(syscall(SYS_gettid));
#else
    return 0;
#endif
}

thread_local StepState* t_dbStep = nullptr; // the step a worker runs
thread_local bool t_onDbWorker = false;
thread_local QString t_dbSourceName;
thread_local bool t_hasDbSourceName = false;

// A connection's worker: one thread that runs its steps in order and owns the connection
// and its cursors. The thread keeps the lane alive, so a step given up still has all it
// uses when it comes back; then everything is freed there. The thread is always joined, so
// none of ours outlives what it uses: by the connection as it ends (EndLane), or, when it
// was given up, by GivenUpLanes once it has come back.
struct DbLane
{
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool closing = false;
    bool givenUp = false; // GivenUpLanes joins the worker, its connection does not
    std::thread worker;

    DbLane() = default;
    DbLane(const DbLane&) = delete;
    DbLane& operator=(const DbLane&) = delete;
    ~DbLane()
    {
        // A worker nobody joined (the lane's last owner was the worker itself, which no path
        // here leaves) must never end the program.
        if (worker.joinable())
            worker.detach();
    }

    // The threads that can be held up by the connection: the worker and its interrupts. Each
    // is listed only while it lives, and goes from the list under the lock, so a thread id
    // read under it names that thread.
    std::mutex threadsLock;
    std::vector<pid_t> threads;
    bool ended = false; // the worker freed everything and has gone

    // Held by Interrupt and while the worker sets or frees the connection, so an interrupt
    // never meets a connection being closed.
    std::mutex interruptLock;
    std::unique_ptr<DbConnection> connection;
    std::map<quint64, std::unique_ptr<DbCursor>> cursors; // the worker's alone
    quint64 nextCursor = 0;
    std::set<quint64> watched; // cursors the watch looks after (DbCursor::WatchWhileIdle); the worker's alone
    std::set<quint64> released; // cursors the watch gave back; the worker's alone
    DbStep::Clock::time_point lastStep = DbStep::Clock::now(); // when the last step ended; the worker's

    bool Post(std::function<void()> task)
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (closing)
                return false;
            tasks.push_back(std::move(task));
        }
        wake.notify_one();
        return true;
    }

    // No more steps: the worker frees everything after the ones queued.
    void Retire()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            closing = true;
        }
        wake.notify_one();
    }

    // Interrupts the connection's running call from a thread of its own, since some
    // interrupts talk to the server (MySQL's KILL QUERY) and the waiting thread must not wait
    // for them. Only while the step still runs: a later step is not touched.
    static void InterruptStep(const std::shared_ptr<DbLane>& lane, const std::shared_ptr<StepState>& step)
    {
        std::thread([lane, step] {
            const ListedThread listed(*lane);
            std::lock_guard<std::mutex> guard(lane->interruptLock);
            {
                std::lock_guard<std::mutex> state(step->lock);
                if (step->done)
                    return;
            }
            if (lane->connection)
                lane->connection->Interrupt();
        }).detach();
    }

    // Lists the calling thread among the lane's while it lives.
    class ListedThread
    {
    public:
        explicit ListedThread(DbLane& lane) : m_lane(lane), m_id(CurrentThreadId())
        {
            std::lock_guard<std::mutex> guard(m_lane.threadsLock);
            m_lane.threads.push_back(m_id);
        }
        ~ListedThread()
        {
            std::lock_guard<std::mutex> guard(m_lane.threadsLock);
            std::erase(m_lane.threads, m_id);
        }
        ListedThread(const ListedThread&) = delete;
        ListedThread& operator=(const ListedThread&) = delete;

    private:
        DbLane& m_lane;
        pid_t m_id;
    };

    bool Ended()
    {
        std::lock_guard<std::mutex> guard(threadsLock);
        return ended;
    }

    // Shuts down the sockets the lane's threads wait on; true when the worker has gone.
    bool CutOnce()
    {
        std::lock_guard<std::mutex> guard(threadsLock);
        for (const pid_t thread : threads)
            BlockedSockets(thread).ShutDown(thread);
        return ended;
    }

    static void Run(std::shared_ptr<DbLane> lane, QString source)
    {
        t_onDbWorker = true;
        {
            const ListedThread listed(*lane);
            Work(*lane, source);
        }
        std::lock_guard<std::mutex> guard(lane->threadsLock);
        lane->ended = true;
    }

    static void Work(DbLane& lane, const QString& source)
    {
        // The backend's own messages (data past its bounds) name the source too.
        const DbSourceScope scope(source);
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> guard(lane.lock);
                const auto ready = [&] { return lane.closing || !lane.tasks.empty(); };
                // While a walk is watched it is asked about between steps; otherwise nothing wakes the worker.
                while (!ready()) {
                    if (lane.watched.empty()) {
                        lane.wake.wait(guard, ready);
                    } else if (!lane.wake.wait_for(guard, std::chrono::milliseconds(GetDbLimits().watchMs), ready)) {
                        guard.unlock();
                        lane.WatchCursors();
                        guard.lock();
                    }
                }
                if (lane.tasks.empty())
                    break;
                task = std::move(lane.tasks.front());
                lane.tasks.pop_front();
            }
            task();
            lane.lastStep = DbStep::Clock::now();
        }
        std::lock_guard<std::mutex> guard(lane.interruptLock);
        lane.cursors.clear(); // before their connection
        lane.connection.reset();
    }

    // Gives back the walks that hold up another session or have idled past their bound (DbCursor::
    // Watch). Runs on the worker between steps, as a step of its own would: a step posted
    // meanwhile waits for it, and an interrupt of that step cuts its question short.
    void WatchCursors()
    {
        const DbLimits limits = GetDbLimits();
        StepState watch;
        watch.deadline = DbStep::Clock::now() + std::chrono::milliseconds(limits.statementMs);
        t_dbStep = &watch;
        const auto idle = DbStep::Clock::now() - lastStep;
        for (auto cursor = cursors.begin(); cursor != cursors.end();) {
            if (!watched.count(cursor->first)) {
                ++cursor;
                continue;
            }
            const DbCursor::Hold hold = cursor->second->Watch();
            const auto bound = std::chrono::milliseconds(
                hold.standby || hold.unseen ? std::min(limits.standbyIdleMs, limits.walkIdleMs) : limits.walkIdleMs);
            if (!hold.held || (!hold.waitedFor && idle < bound)) {
                ++cursor;
                continue;
            }
            cursor->second->Release();
            released.insert(cursor->first);
            watched.erase(cursor->first);
            std::lock_guard<std::mutex> guard(interruptLock);
            cursor = cursors.erase(cursor);
        }
        t_dbStep = nullptr;
    }

    static std::shared_ptr<DbLane> Start(const QString& source)
    {
        auto lane = std::make_shared<DbLane>();
        lane->worker = std::thread(&DbLane::Run, lane, source);
        return lane;
    }

    // Waits for the worker to end, after Retire; not for one given up, which GivenUpLanes
    // joins once it comes back.
    void JoinUnlessGivenUp()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (givenUp)
                return;
        }
        if (worker.joinable() && worker.get_id() != std::this_thread::get_id())
            worker.join();
    }
};

// Ends the connections of given-up steps, one thread for all of them: the sockets their
// threads wait on are shut down, again whenever they wait on new ones, until the worker has
// gone (the driver's call failed, and the worker closed the connection and freed the rest) or
// it has been tried for kCutFor. A call that waits on no socket (a file on a share) is left
// to end by itself. Each worker is joined here once it has gone; until then its lane is held
// here, where a leak check at exit finds it.
//
// The process waits for them as it exits, up to kAwaitAtExit: a worker given up a moment before
// is on its way out with its sockets cut, and one still running then would free its connection
// while the process tears down what it uses, and what only it reaches (its thread's own
// storage) would be taken for a leak.
class GivenUpLanes
{
public:
    static void Add(std::shared_ptr<DbLane> lane)
    {
        {
            std::lock_guard<std::mutex> guard(lane->lock);
            lane->givenUp = true;
        }
        Shared& shared = Get();
        std::lock_guard<std::mutex> guard(shared.lock);
        shared.lanes.push_back({std::move(lane), DbStep::Clock::now() + kCutFor});
        if (!shared.running) {
            shared.running = true;
            std::thread(&GivenUpLanes::Run).detach();
        }
        if (!shared.awaitedAtExit)
            shared.awaitedAtExit = std::atexit(&GivenUpLanes::AwaitAtExit) == 0;
    }

private:
    static constexpr std::chrono::seconds kCutFor {30};
    static constexpr std::chrono::seconds kAwaitAtExit {10};

    struct Entry
    {
        std::shared_ptr<DbLane> lane;
        DbStep::Clock::time_point until;
    };
    struct Shared
    {
        std::mutex lock;
        std::vector<Entry> lanes;
        bool running = false;
        std::condition_variable stopped; // Run has returned
        bool awaitedAtExit = false;
    };

    static void AwaitAtExit()
    {
        Shared& shared = Get();
        std::unique_lock<std::mutex> guard(shared.lock);
        shared.stopped.wait_for(guard, kAwaitAtExit, [&] { return !shared.running; });
    }

    // Never destroyed, so a pass under way as the program ends meets it whole.
    static Shared& Get()
    {
        static Shared* shared = new Shared;
        return *shared;
    }

    static void Run()
    {
        Shared& shared = Get();
        for (;;) {
            std::vector<Entry> lanes;
            {
                std::lock_guard<std::mutex> guard(shared.lock);
                if (shared.lanes.empty()) {
                    shared.running = false;
                    shared.stopped.notify_all();
                    return;
                }
                lanes = shared.lanes;
            }
            const auto now = DbStep::Clock::now();
            std::vector<DbLane*> done;
            bool cutting = false;
            for (const Entry& entry : lanes) {
                const bool within = now < entry.until;
                cutting = cutting || within;
                if (within ? entry.lane->CutOnce() : entry.lane->Ended()) {
                    if (entry.lane->worker.joinable())
                        entry.lane->worker.join();
                    done.push_back(entry.lane.get());
                }
            }
            {
                std::lock_guard<std::mutex> guard(shared.lock);
                std::erase_if(shared.lanes, [&](const Entry& entry) {
                    return std::find(done.begin(), done.end(), entry.lane.get()) != done.end();
                });
            }
            lanes.clear(); // a lane's last owner may be here
            // A worker past its cuts is only waited for.
            std::this_thread::sleep_for(cutting ? 50ms : 500ms);
        }
    }
};

// How a step ended, as its caller reports it.
enum class StepEnd { Done, Cancelled, TimedOut };

class PendingStep final : public DbPendingStep
{
public:
    PendingStep(std::shared_ptr<DbLane> lane, std::shared_ptr<StepState> state, QString text, int limitMs)
        : m_lane(std::move(lane)), m_state(std::move(state)), m_text(std::move(text)), m_limitMs(limitMs)
        , m_start(DbStep::Clock::now())
    {
    }

    QString Text() const override { return m_text; }

    bool WaitDone(std::chrono::milliseconds timeout) override
    {
        std::unique_lock<std::mutex> guard(m_state->lock);
        return m_state->doneSignal.wait_for(guard, timeout, [&] { return m_state->done; });
    }

    bool Done() const
    {
        std::lock_guard<std::mutex> guard(m_state->lock);
        return m_state->done;
    }

    bool Check() override
    {
        if (Done())
            return true;
        const auto now = DbStep::Clock::now();
        if (m_end == StepEnd::Done && now >= m_state->deadline)
            Interrupt(StepEnd::TimedOut);
        return m_end != StepEnd::Done && now >= m_interruptedAt + std::chrono::milliseconds(GetDbLimits().graceMs);
    }

    void Cancel() override
    {
        if (m_end == StepEnd::Done && !Done())
            Interrupt(StepEnd::Cancelled);
    }

    std::chrono::milliseconds Elapsed() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(DbStep::Clock::now() - m_start);
    }

    StepEnd End() const
    {
        std::lock_guard<std::mutex> guard(m_state->lock);
        return m_end == StepEnd::Done && m_state->expired ? StepEnd::TimedOut : m_end;
    }
    int LimitSeconds() const { return DbLimitSeconds(m_limitMs); }

    // The step's connection was ended under it, by the backend or by giving the step up.
    bool Cut() const { return m_state->cut || !Done(); }
    // Cut while the server went on sending rows after the step was interrupted.
    bool CutWhileSending() const
    {
        if (m_state->cut)
            return m_state->cutWhileSending;
        return !Done() && m_end != StepEnd::Done
            && DbStep::Clock::time_point(DbStep::Clock::duration(m_state->lastRow.load())) > m_interruptedAt;
    }

private:
    void Interrupt(StepEnd why)
    {
        m_end = why;
        m_interruptedAt = DbStep::Clock::now();
        m_state->interrupted = true;
        DbLane::InterruptStep(m_lane, m_state);
    }

    std::shared_ptr<DbLane> m_lane;
    std::shared_ptr<StepState> m_state;
    QString m_text;
    int m_limitMs;
    DbStep::Clock::time_point m_start;
    DbStep::Clock::time_point m_interruptedAt;
    StepEnd m_end = StepEnd::Done;
};

thread_local std::vector<PendingStep*> t_dbWaits; // the waits of this thread, innermost last

// What a step's caller learns: whether the step came back, and how it ended.
struct StepOutcome
{
    bool back = false;
    bool posted = false;
    StepEnd end = StepEnd::Done;
    int limitSeconds = 0;
    bool cut = false; // the connection was ended: no step follows on it
    bool sending = false; // ... while the server still sent rows
};

// Runs work on the lane's worker and waits for it. A fast step is waited for here alone,
// so it costs no waiter and no timer. work must not reach the caller's stack: a step that
// is given up comes back after its caller has gone.
StepOutcome RunStep(const std::shared_ptr<DbLane>& lane, const QString& text, int limitMs, std::function<void()> work)
{
    auto state = std::make_shared<StepState>();
    state->deadline = DbStep::Clock::now() + std::chrono::milliseconds(limitMs);
    StepOutcome outcome;
    outcome.posted = lane->Post([state, raw = lane.get(), work = std::move(work)] {
        // An interrupt of an earlier step that found it still running holds this lock until it
        // has reached the server: its cancel (or KILL QUERY) lands before this step sends
        // anything, never on this step's statement.
        {
            const std::lock_guard<std::mutex> settled(raw->interruptLock);
        }
        t_dbStep = state.get();
        work();
        t_dbStep = nullptr;
        {
            std::lock_guard<std::mutex> guard(state->lock);
            state->done = true;
            state->expired = DbStep::Clock::now() >= state->deadline;
        }
        state->doneSignal.notify_all();
    });
    if (!outcome.posted)
        return outcome;
    PendingStep pending(lane, state, text, limitMs);
    if (!pending.WaitDone(DbPendingStep::CheckInterval)) {
        t_dbWaits.push_back(&pending);
        if (DbWaiter* waiter = g_dbWaiter.load()) {
            waiter->Wait(pending);
        } else {
            while (!pending.Check())
                pending.WaitDone(DbPendingStep::CheckInterval);
        }
        t_dbWaits.pop_back();
    }
    outcome.back = pending.Done();
    outcome.end = pending.End();
    outcome.limitSeconds = pending.LimitSeconds();
    outcome.cut = pending.Cut();
    outcome.sending = pending.CutWhileSending();
    if (!outcome.back) {
        // Given up: no step follows, and the connection is ended under the driver.
        lane->Retire();
        GivenUpLanes::Add(lane);
    }
    return outcome;
}

// Ends a lane its connection lets go. The worker frees the connection as a step, waited for
// as any step is, so one that hangs is given up rather than waited on; then the worker ends
// and is joined, and nothing it held is left to a thread still on its way out.
void EndLane(const std::shared_ptr<DbLane>& lane, const QString& text)
{
    DbLane* raw = lane.get();
    RunStep(lane, text, GetDbLimits().graceMs, [raw] {
        std::lock_guard<std::mutex> guard(raw->interruptLock);
        raw->cursors.clear(); // before their connection
        raw->connection.reset();
    });
    lane->Retire();
    lane->JoinUnlessGivenUp();
}

// The texts of a step, by what it does with the data source.
struct StepWords
{
    const char16_t* waiting; // %1 the source
    const char16_t* action; // %1 the source
};
constexpr StepWords kConnectWords {u"正在连接数据库“%1”…", u"连接数据库“%1”"};
constexpr StepWords kReadWords {u"正在读取数据源“%1”的记录…", u"读取数据源“%1”的记录"};
constexpr StepWords kListWords {u"正在读取数据源“%1”的表和字段…", u"读取数据源“%1”的表和字段"};
constexpr StepWords kCloseWords {u"正在断开数据库“%1”…", u"断开数据库“%1”"};

// Our message for a step that was cancelled or stopped at its limit.
QString StoppedMessage(const StepWords& words, const QString& source, const StepOutcome& outcome)
{
    const QString action = QString::fromUtf16(words.action).arg(source);
    QString text = outcome.end == StepEnd::Cancelled
        ? QStringLiteral("已取消%1。").arg(action)
        : QStringLiteral("%1超过了 %2 秒的时限，已停止。").arg(action).arg(outcome.limitSeconds);
    if (outcome.sending)
        text += outcome.end == StepEnd::Cancelled ? QStringLiteral("数据库在取消后仍不停地发送记录，连接已断开。")
                                                  : QStringLiteral("数据库在时限过后仍不停地发送记录，连接已断开。");
    else if (outcome.cut)
        text += QStringLiteral("数据库没有响应，连接已断开。");
    return text;
}

// A call's result carried back from the worker.
struct CallResult
{
    bool ok = false;
    QString error;
    DbRows rows;
    QStringList names;
    qint64 position = 0;
    bool stopped = false; // the backend's own refusal, complete in itself (data past a bound)
    bool unreadable = false; // what the file holds was refused, told in a message complete in itself
    QString connectionError; // a cursor's connection's, which some cursors run their statements on
};

// A step's result as the caller takes it: stopped, failed (the backend's own words) or done.
enum class Taken { Stopped, Failed, Ok };

class WorkerCursor;

// The connection every Open* factory hands out: the real one lives on its lane's worker,
// each call runs there as a step.
class WorkerConnection final : public DbConnection
{
public:
    WorkerConnection(std::shared_ptr<DbLane> lane, QString source) : m_lane(std::move(lane)), m_source(std::move(source)) {}
    ~WorkerConnection() override { WorkerConnection::Close(); }

    // Opens on the lane; false with LastError() set.
    bool Open(std::function<std::unique_ptr<DbConnection>()> open)
    {
        auto result = std::make_shared<CallResult>();
        auto facts = std::make_shared<Facts>();
        DbLane* lane = m_lane.get();
        const StepOutcome outcome = RunStep(m_lane, QString::fromUtf16(kConnectWords.waiting).arg(m_source),
            GetDbLimits().connectMs, [lane, open = std::move(open), result, facts] {
                std::unique_ptr<DbConnection> connection = open();
                result->ok = connection->IsOpen();
                result->error = connection->LastError();
                facts->refused = connection->Refused();
                facts->unreadable = connection->Unreadable();
                facts->quote = connection->IsOpen() ? connection->IdentifierQuote() : QString();
                facts->server = connection->ServerKind();
                facts->superuser = connection->SuperuserLogin();
                std::lock_guard<std::mutex> guard(lane->interruptLock);
                lane->connection = std::move(connection);
            });
        m_bRefused = facts->refused;
        m_bUnreadable = facts->unreadable;
        if (Take(kConnectWords, outcome, *result) != Taken::Ok) {
            Abandon();
            return false;
        }
        m_quote = facts->quote;
        m_server = facts->server;
        m_superuser = facts->superuser;
        m_open = true;
        return true;
    }

    bool IsOpen() const override { return m_open; }
    // Asked of the real connection on its worker, only after a failure: some drivers may ask
    // their server.
    bool Lost() const override
    {
        if (!m_open)
            return true;
        auto lost = std::make_shared<bool>(false);
        DbLane* lane = m_lane.get();
        const StepOutcome outcome = RunStep(m_lane, QString::fromUtf16(kReadWords.waiting).arg(m_source),
            GetDbLimits().graceMs, [lane, lost] { *lost = !lane->connection || lane->connection->Lost(); });
        return !outcome.back || *lost;
    }
    QString IdentifierQuote() const override { return m_quote; }
    SqlServerKind ServerKind() const override { return m_server; }
    bool SuperuserLogin() const override { return m_superuser; }

    void Close() override
    {
        if (!m_lane)
            return;
        if (m_open) {
            DbLane* lane = m_lane.get();
            RunStep(m_lane, QString::fromUtf16(kCloseWords.waiting).arg(m_source), GetDbLimits().graceMs, [lane] {
                std::lock_guard<std::mutex> guard(lane->interruptLock);
                lane->cursors.clear();
                if (lane->connection)
                    lane->connection->Close();
            });
        }
        Abandon();
    }

    void Interrupt() override
    {
        if (m_lane) {
            auto state = std::make_shared<StepState>();
            DbLane::InterruptStep(m_lane, state);
        }
    }

    bool ListTables(QStringList& tables) override
    {
        tables.clear();
        auto result = std::make_shared<CallResult>();
        return Call(kListWords, result, [result](DbConnection& c) {
            result->ok = c.ListTables(result->names);
            result->error = c.LastError();
            result->stopped = c.Stopped();
        }) && (tables = std::move(result->names), true);
    }

    bool ListFields(const QString& table, QStringList& fields) override
    {
        fields.clear();
        auto result = std::make_shared<CallResult>();
        return Call(kListWords, result, [result, table](DbConnection& c) {
            result->ok = c.ListFields(table, result->names);
            result->error = c.LastError();
            result->stopped = c.Stopped();
            result->unreadable = c.Unreadable();
        }) && (fields = std::move(result->names), true);
    }

    bool Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows) override
    {
        rows.Clear();
        auto result = std::make_shared<CallResult>();
        if (!Call(kReadWords, result, [result, sql, skip, maxRows](DbConnection& c) {
                result->ok = c.Query(sql, result->rows, skip, maxRows);
                result->error = c.LastError();
                result->stopped = c.Stopped();
                result->unreadable = c.Unreadable();
            }))
            return false;
        rows = std::move(result->rows);
        return true;
    }

    bool QueryResolving(const QString& statement, const QString& guard, const QStringList& steps, const QString& question,
        DbRows& rows) override
    {
        rows.Clear();
        auto result = std::make_shared<CallResult>();
        if (!Call(kReadWords, result, [result, statement, guard, steps, question](DbConnection& c) {
                result->ok = c.QueryResolving(statement, guard, steps, question, result->rows);
                result->error = c.LastError();
                result->stopped = c.Stopped();
                result->unreadable = c.Unreadable();
            }))
            return false;
        rows = std::move(result->rows);
        return true;
    }

    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override { return Open(sql, false); }
    std::unique_ptr<DbCursor> OpenSeekingCursor(const QString& sql) override { return Open(sql, true); }

    // Runs a step on the real connection: false with LastError() (and Stopped()) set.
    bool Call(const StepWords& words, const std::shared_ptr<CallResult>& result,
        std::function<void(DbConnection&)> work)
    {
        if (!m_open)
            return FailNotConnected();
        DbLane* lane = m_lane.get();
        const StepOutcome outcome = RunStep(m_lane, QString::fromUtf16(words.waiting).arg(m_source),
            GetDbLimits().statementMs, [lane, work = std::move(work), result] {
                if (lane->connection)
                    work(*lane->connection);
                else
                    result->error = QStringLiteral("未连接数据库");
            });
        const Taken taken = Take(words, outcome, *result);
        m_bUnreadable = result->unreadable;
        switch (taken) {
        case Taken::Ok: return true;
        case Taken::Failed: return false;
        case Taken::Stopped: break;
        }
        if (outcome.cut)
            Abandon();
        return false;
    }

    // A cursor's step leaves the connection's last error as the real connection has it.
    void MirrorError(const QString& error) { m_strLastError = error; }

    // Sets LastError() and Stopped() from a step's outcome.
    Taken Take(const StepWords& words, const StepOutcome& outcome, const CallResult& result)
    {
        m_bStopped = false;
        if (!outcome.posted) {
            FailNotConnected();
            return Taken::Failed;
        }
        if (outcome.end != StepEnd::Done || !outcome.back) {
            m_bStopped = true;
            Fail(StoppedMessage(words, m_source, outcome));
            return Taken::Stopped;
        }
        if (!result.ok) {
            m_bStopped = result.stopped;
            Fail(result.error);
            return Taken::Failed;
        }
        Succeed();
        return Taken::Ok;
    }

private:
    struct Facts
    {
        bool refused = false;
        bool unreadable = false;
        QString quote;
        SqlServerKind server;
        bool superuser = false;
    };

    std::unique_ptr<DbCursor> Open(const QString& sql, bool seeking);

    // Lets the lane go: its worker frees the connection and ends.
    void Abandon()
    {
        m_open = false;
        if (m_lane)
            EndLane(m_lane, QString::fromUtf16(kCloseWords.waiting).arg(m_source));
        m_lane.reset();
    }

    std::shared_ptr<DbLane> m_lane;
    QString m_source;
    QString m_quote = QStringLiteral("\"");
    SqlServerKind m_server;
    bool m_superuser = false;
    bool m_open = false;
};

// A cursor whose real cursor lives on its connection's lane.
class WorkerCursor final : public DbCursor
{
public:
    WorkerCursor(WorkerConnection& owner, std::shared_ptr<DbLane> lane, QString source, quint64 id, bool seeks)
        : m_owner(&owner), m_lane(std::move(lane)), m_source(std::move(source)), m_id(id), m_seeks(seeks)
    {
    }
    // A cursor that fails at its first call with the connection's message.
    WorkerCursor(const QString& error, bool stopped)
    {
        Fail(error);
        m_bStopped = stopped;
    }
    ~WorkerCursor() override
    {
        if (!m_lane)
            return;
        DbLane* lane = m_lane.get();
        const quint64 id = m_id;
        RunStep(m_lane, QString::fromUtf16(kReadWords.waiting).arg(m_source), GetDbLimits().graceMs,
            [lane, id] {
                lane->cursors.erase(id);
                lane->released.erase(id);
                lane->watched.erase(id);
            });
    }

    bool Skip(qint64 count) override
    {
        return Step([count](DbCursor& c, CallResult& r) { r.ok = c.Skip(count); });
    }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        rows.Clear();
        auto result = std::make_shared<CallResult>();
        if (!Step([maxRows](DbCursor& c, CallResult& r) { r.ok = c.Fetch(maxRows, r.rows); }, result))
            return false;
        rows = std::move(result->rows);
        return true;
    }

    bool CanSeek() const override { return m_seeks; }

    void WatchWhileIdle() override
    {
        if (!m_lane)
            return;
        DbLane* lane = m_lane.get();
        const quint64 id = m_id;
        RunStep(m_lane, QString::fromUtf16(kReadWords.waiting).arg(m_source), GetDbLimits().graceMs, [lane, id] {
            if (lane->cursors.count(id))
                lane->watched.insert(id);
        });
    }

    bool Seek(qint64 position) override
    {
        return Step([position](DbCursor& c, CallResult& r) { r.ok = c.Seek(position); });
    }

    bool FetchInto(qint64 maxRows, qint64 firstSlice, const std::function<bool(const DbRows&)>& take) override
    {
        return Step([maxRows, firstSlice, take](DbCursor& c, CallResult& r) {
            r.ok = c.FetchInto(maxRows, firstSlice, take);
        });
    }

private:
    bool Step(std::function<void(DbCursor&, CallResult&)> work, std::shared_ptr<CallResult> result = {})
    {
        if (!m_lane)
            return !m_strLastError.isEmpty() ? false : Fail(QStringLiteral("未连接数据库"));
        if (!result)
            result = std::make_shared<CallResult>();
        DbLane* lane = m_lane.get();
        const quint64 id = m_id;
        const StepOutcome outcome = RunStep(m_lane, QString::fromUtf16(kReadWords.waiting).arg(m_source),
            GetDbLimits().statementMs, [lane, id, work = std::move(work), result] {
                const auto found = lane->cursors.find(id);
                if (found == lane->cursors.end()) {
                    // Given back while it idled (WatchCursors): the loader runs the walk again.
                    result->error = lane->released.count(id) ? QStringLiteral("读取在闲置时已结束")
                                                             : QStringLiteral("未连接数据库");
                    return;
                }
                work(*found->second, *result);
                result->error = found->second->LastError();
                result->stopped = found->second->Stopped();
                result->position = found->second->Position();
                if (lane->connection)
                    result->connectionError = lane->connection->LastError();
            });
        m_bStopped = false;
        if (!outcome.posted)
            return Fail(QStringLiteral("未连接数据库"));
        if (outcome.end != StepEnd::Done || !outcome.back) {
            m_bStopped = true;
            if (outcome.cut) {
                // No step follows on the connection (RunStep retired a lane it gave up).
                m_lane->Retire();
                m_lane.reset();
            }
            return Fail(StoppedMessage(kReadWords, m_source, outcome));
        }
        m_position = result->position;
        if (m_owner)
            m_owner->MirrorError(result->connectionError);
        if (!result->ok) {
            m_bStopped = result->stopped;
            return Fail(result->error);
        }
        m_strLastError.clear();
        return true;
    }

    WorkerConnection* m_owner = nullptr; // goes after its cursors
    std::shared_ptr<DbLane> m_lane;
    QString m_source;
    quint64 m_id = 0;
    bool m_seeks = false;
};

std::unique_ptr<DbCursor> WorkerConnection::Open(const QString& sql, bool seeking)
{
    auto result = std::make_shared<CallResult>();
    auto id = std::make_shared<quint64>(0);
    auto seeks = std::make_shared<bool>(false);
    DbLane* lane = m_lane.get();
    const bool made = Call(kReadWords, result, [lane, sql, result, id, seeks, seeking](DbConnection& c) {
        *id = ++lane->nextCursor;
        std::unique_ptr<DbCursor> cursor = seeking ? c.OpenSeekingCursor(sql) : c.OpenCursor(sql);
        *seeks = cursor->CanSeek();
        lane->cursors[*id] = std::move(cursor);
        result->ok = true;
    });
    if (!made)
        return std::make_unique<WorkerCursor>(m_strLastError, m_bStopped);
    return std::make_unique<WorkerCursor>(*this, m_lane, m_source, *id, *seeks);
}

} // namespace

namespace DbStep {

Clock::time_point Deadline()
{
    if (t_dbStep)
        return t_dbStep->deadline;
    return Clock::now() + std::chrono::milliseconds(GetDbLimits().statementMs);
}

bool Interrupted()
{
    return t_dbStep && t_dbStep->interrupted.load(std::memory_order_relaxed);
}

bool Over()
{
    return t_dbStep && (t_dbStep->interrupted.load(std::memory_order_relaxed) || Clock::now() >= t_dbStep->deadline);
}

void NoteRowArrived()
{
    if (t_dbStep)
        t_dbStep->lastRow.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
}

void NoteConnectionCut(bool rowsStillArriving)
{
    if (t_dbStep) {
        if (rowsStillArriving)
            t_dbStep->cutWhileSending = true;
        t_dbStep->cut = true;
    }
}

} // namespace DbStep

DbLimits GetDbLimits()
{
    std::lock_guard<std::mutex> guard(g_dbLimitsLock);
    return g_dbLimits;
}

void SetDbLimits(const DbLimits& limits)
{
    std::lock_guard<std::mutex> guard(g_dbLimitsLock);
    g_dbLimits = limits;
}

QString DbValueTooLargeMessage(const QString& field)
{
    const QString source = DbSourceScope::Current();
    const qint64 mb = GetDbLimits().valueBytes >> 20;
    return field.isEmpty()
        ? QStringLiteral("数据源“%1”的一个值超过了 %2 MB 的上限，没有读取。").arg(source).arg(mb)
        : QStringLiteral("数据源“%1”的字段“%2”的值超过了 %3 MB 的上限，没有读取。").arg(source, field).arg(mb);
}

QString DbSliceTooLargeMessage()
{
    return QStringLiteral("数据源“%1”一次读取的记录超过了 %2 MB 的上限，没有读取。")
        .arg(DbSourceScope::Current())
        .arg(GetDbLimits().sliceBytes >> 20);
}

DbWaiter* InstallDbWaiter(DbWaiter* waiter)
{
    return g_dbWaiter.exchange(waiter);
}

void InterruptDbWaits()
{
    for (PendingStep* step : t_dbWaits)
        step->Cancel();
}

DbSourceScope::DbSourceScope(const QString& name) : m_previous(t_dbSourceName), m_hadPrevious(t_hasDbSourceName)
{
    // A source not named yet (one a dialog edits) goes by the name an outer scope gave it.
    if (name.isEmpty() && t_hasDbSourceName)
        return;
    t_dbSourceName = name;
    t_hasDbSourceName = true;
}

DbSourceScope::~DbSourceScope()
{
    t_dbSourceName = m_previous;
    t_hasDbSourceName = m_hadPrevious;
}

QString DbSourceScope::Current()
{
    return t_hasDbSourceName ? t_dbSourceName : QString();
}

std::unique_ptr<DbConnection> OpenOnWorker(const QString& name, std::function<std::unique_ptr<DbConnection>()> open)
{
    if (t_onDbWorker)
        return open();
    QString source = DbSourceScope::Current();
    if (source.isEmpty())
        source = name;
    auto connection = std::make_unique<WorkerConnection>(DbLane::Start(source), source);
    connection->Open(std::move(open));
    return connection;
}
