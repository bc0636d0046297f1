#pragma once

#include <QString>
#include <chrono>
#include <memory>

// How long a database step may take. Every step (a connect, a statement, a slice of rows)
// runs on a worker thread of its connection while the calling thread waits through the
// installed waiter; past its limit, or when the user cancels, the step is interrupted, and
// when it has not come back graceMs after that it is given up and its connection closed.
struct DbLimits
{
    int connectMs = 20000; // a whole connect, however many hosts it tries
    int statementMs = 120000; // one statement, or one slice of a walk
    int graceMs = 2000; // after an interrupt, before the step is given up
    qint64 tempBytes = qint64(512) << 20; // all of SQLite's temporary files together
    qint64 valueBytes = qint64(16) << 20; // one value as it arrives
    qint64 sliceBytes = qint64(128) << 20; // the rows one call keeps, or one row as it arrives
    qint64 statementBytes = qint64(256) << 20; // SQLite's own memory for one statement of a label
    // A walk left idle (DbCursor::Watch) is asked every watchMs whether another session waits
    // for it: one round trip on an idle connection, so that a waiting ALTER (and the plain reads
    // queued behind it) go on within a second or two. Whatever happens, nothing it holds outlives
    // walkIdleMs of idling: no snapshot is held all day, while a user reading each page for a
    // minute or two still turns pages without the statement run again. Where who waits cannot be
    // seen (a standby's replay, a pooler's other clients, a login that may not see other
    // sessions) it gives it back after standbyIdleMs (walkIdleMs where that is shorter).
    int watchMs = 1500;
    int walkIdleMs = 180000;
    int standbyIdleMs = 5000;
};

// The refusals of data past valueBytes or sliceBytes, naming the data source of the
// calling thread (DbSourceScope) and, where known, the field.
QString DbValueTooLargeMessage(const QString& field);
QString DbSliceTooLargeMessage();

DbLimits GetDbLimits();
// A limit in whole seconds, as the clients' own timeouts take it: rounded up, so a
// client never stops before the step's limit.
inline int DbLimitSeconds(int ms)
{
    return (ms + 999) / 1000;
}
// Tests set short limits here; nothing a label holds reaches these.
void SetDbLimits(const DbLimits& limits);

// A step under way, as its waiter sees it. The waiter calls Check now and then (at most
// every CheckInterval); Check interrupts the step at its limit and says when the wait is
// over: the step came back, or it was given up. Used on the waiting thread only.
class DbPendingStep
{
public:
    virtual ~DbPendingStep() = default;

    // What is waited for, in the user's words ("正在连接数据库“名称”…").
    virtual QString Text() const = 0;
    // Blocks up to timeout for the step to come back; true when it has.
    virtual bool WaitDone(std::chrono::milliseconds timeout) = 0;
    // True when the wait is over.
    virtual bool Check() = 0;
    // The user's cancel: the step is interrupted now and given up if it does not come back.
    virtual void Cancel() = 0;
    // Since the step began.
    virtual std::chrono::milliseconds Elapsed() const = 0;

    static constexpr std::chrono::milliseconds CheckInterval {50};
};

// Waits for a step; returns once step.Check() is true. The default blocks the thread; the
// application installs one that keeps its windows painting and offers 取消.
class DbWaiter
{
public:
    virtual ~DbWaiter() = default;
    virtual void Wait(DbPendingStep& step) = 0;
};

// Installs the waiter (null: the default) and returns the one that was installed.
DbWaiter* InstallDbWaiter(DbWaiter* waiter);

// Interrupts every step the calling thread waits for: a job's own 取消, a preview closed.
void InterruptDbWaits();

// Names the data source whose steps the calling thread runs while it lives, for the
// waiter's text and the messages of a cancelled or stopped step. An empty name keeps the
// name of an outer scope.
class DbSourceScope
{
public:
    explicit DbSourceScope(const QString& name);
    ~DbSourceScope();
    DbSourceScope(const DbSourceScope&) = delete;
    DbSourceScope& operator=(const DbSourceScope&) = delete;

    // The innermost name in force on this thread, empty when none.
    static QString Current();

private:
    QString m_previous;
    bool m_hadPrevious;
};
