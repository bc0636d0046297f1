#pragma once

#include "platform/db/DbConnection.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>

// What the backends see of the step they run on a connection's worker thread (see
// DbWait.h): its deadline and whether it was interrupted. Outside a worker a step has
// the statement limit from now and is never interrupted.
namespace DbStep {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline();
bool Interrupted();
// Interrupted, or past the deadline: a backend's own wait stops.
bool Over();
// A row of the step's result arrived. A step given up while its rows still arrive was not
// waiting for a silent server: its message says the server kept sending.
void NoteRowArrived();
// The backend itself ended the connection of a step that was interrupted or past its
// deadline and whose result did not end: rowsStillArriving when the server went on sending
// rows after it was asked to stop, else it went silent. The step is then reported as one
// given up, and its connection is not used again.
void NoteConnectionCut(bool rowsStillArriving);

} // namespace DbStep

// The connection an Open* factory makes, wrapped so that each of its calls runs on a worker
// thread under the installed waiter (DbWait.h) with the limits of GetDbLimits(). name is the
// data source the waits and messages name when no DbSourceScope does. Called again on a worker
// (an ODBC string that names an SQLite file), it just opens.
std::unique_ptr<DbConnection> OpenOnWorker(const QString& name, std::function<std::unique_ptr<DbConnection>()> open);

// The name of the VFS that every SQLite connection opens with: the default one, with the
// temporary files of all connections together held within DbLimits::tempBytes.
const char* CappedSQLiteVfs();
// The bytes of temporary files that may still be written within DbLimits::tempBytes.
qint64 SQLiteTempBytesLeft();

// SQLite's own memory for one statement of a label, counted on the thread that runs it
// while a Scope of it is open: an allocation that would take it past
// DbLimits::statementBytes fails as out of memory, and Exceeded() tells that failure from
// the machine's.
class SQLiteStatementMemory
{
public:
    class Scope
    {
    public:
        explicit Scope(SQLiteStatementMemory& statement);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        SQLiteStatementMemory* m_previous;
    };

    SQLiteStatementMemory();
    bool Exceeded() const { return m_exceeded; }
    // Counts bytes taken (or given back, when negative); false, taking none, past the limit.
    bool Take(qint64 bytes);
    // Whether the counting allocator is in place (it is unless SQLite was set up before
    // the program started).
    static bool Bounded();

private:
    qint64 m_used = 0;
    qint64 m_limit;
    bool m_exceeded = false;
};
