#include "platform/db/DbCall.h"
#include "platform/db/DbWait.h"

#include <sqlite3.h>

#include <algorithm>

// SQLite keeps every value a statement builds until its row is done, and a label's
// statement may build as many as it names: each within SQLITE_LIMIT_LENGTH, together any
// size. Its own allocator is wrapped so that what a statement takes is counted on the
// thread that runs it; a process-wide heap limit would fail the staging and the other
// connections of the program along with it.
namespace {

sqlite3_mem_methods g_system {};
thread_local SQLiteStatementMemory* t_statement = nullptr;

void* CountedMalloc(int bytes)
{
    SQLiteStatementMemory* statement = t_statement;
    const int taken = g_system.xRoundup(bytes);
    if (statement && !statement->Take(taken))
        return nullptr;
    void* block = g_system.xMalloc(bytes);
    if (!block && statement)
        statement->Take(-taken);
    return block;
}

void CountedFree(void* block)
{
    if (SQLiteStatementMemory* statement = t_statement; statement && block)
        statement->Take(-g_system.xSize(block));
    g_system.xFree(block);
}

void* CountedRealloc(void* block, int bytes)
{
    SQLiteStatementMemory* statement = t_statement;
    if (!statement)
        return g_system.xRealloc(block, bytes);
    const int grown = g_system.xRoundup(bytes) - g_system.xSize(block);
    if (!statement->Take(grown))
        return nullptr;
    void* moved = g_system.xRealloc(block, bytes);
    if (!moved)
        statement->Take(-grown);
    return moved;
}

int SystemSize(void* block)
{
    return g_system.xSize(block);
}

int SystemRoundup(int bytes)
{
    return g_system.xRoundup(bytes);
}

int SystemInit(void* data)
{
    return g_system.xInit(data);
}

void SystemShutdown(void* data)
{
    g_system.xShutdown(data);
}

// Before anything else of the program opens a database. SQLite fills in its own allocator
// as it first initialises, and keeps it when shut down, so it is initialised once to
// learn it.
bool InstallCountedAllocator()
{
    if (sqlite3_initialize() != SQLITE_OK || sqlite3_shutdown() != SQLITE_OK
        || sqlite3_config(SQLITE_CONFIG_GETMALLOC, &g_system) != SQLITE_OK || !g_system.xMalloc)
        return false;
    sqlite3_mem_methods counted = g_system;
    counted.xMalloc = CountedMalloc;
    counted.xFree = CountedFree;
    counted.xRealloc = CountedRealloc;
    counted.xSize = SystemSize;
    counted.xRoundup = SystemRoundup;
    counted.xInit = SystemInit;
    counted.xShutdown = SystemShutdown;
    return sqlite3_config(SQLITE_CONFIG_MALLOC, &counted) == SQLITE_OK;
}

const bool g_counted = InstallCountedAllocator();

} // namespace

SQLiteStatementMemory::SQLiteStatementMemory() : m_limit(GetDbLimits().statementBytes) {}

bool SQLiteStatementMemory::Take(qint64 bytes)
{
    if (bytes > 0 && m_used + bytes > m_limit) {
        m_exceeded = true;
        return false;
    }
    // A block freed here may have been taken before the scope opened: the count never goes below
    // nothing, which would leave the statement more room than its bound.
    m_used = std::max<qint64>(m_used + bytes, 0);
    return true;
}

bool SQLiteStatementMemory::Bounded()
{
    return g_counted;
}

SQLiteStatementMemory::Scope::Scope(SQLiteStatementMemory& statement) : m_previous(t_statement)
{
    t_statement = &statement;
}

SQLiteStatementMemory::Scope::~Scope()
{
    t_statement = m_previous;
}
