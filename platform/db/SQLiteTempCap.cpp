#include "platform/db/DbCall.h"
#include "platform/db/DbWait.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sqlite3.h>

// SQLite sorts, groups and materialises large results in temporary files, unnamed and
// deleted at once, so a statement such as "select distinct randomblob(500) from <endless>"
// fills the disk unseen; the staged copies of workbooks and Access files are such files
// too (SQLiteStage.h). This VFS is the default one with the temporary files counted: a
// write that would take all of them past DbLimits::tempBytes fails as a full disk.
namespace {

std::atomic<qint64> g_tempBytesInUse {0};

struct CappedFile
{
    sqlite3_file base;
    sqlite3_int64 size; // the bytes this file counts for
    sqlite3_file* real; // the default VFS's file, right after this header
};

sqlite3_vfs* g_defaultVfs = nullptr;
sqlite3_vfs g_cappedVfs;

CappedFile* Capped(sqlite3_file* file)
{
    return reinterpret_cast<CappedFile*>(file);
}

// Grows the file's count to reach end; false when that passes the cap.
bool Reserve(CappedFile* file, sqlite3_int64 end)
{
    if (end <= file->size)
        return true;
    const qint64 more = end - file->size;
    if (g_tempBytesInUse.fetch_add(more) + more > GetDbLimits().tempBytes) {
        g_tempBytesInUse.fetch_sub(more);
        return false;
    }
    file->size = end;
    return true;
}

void Release(CappedFile* file, sqlite3_int64 end)
{
    if (end < file->size) {
        g_tempBytesInUse.fetch_sub(file->size - end);
        file->size = end;
    }
}

int CapClose(sqlite3_file* file)
{
    CappedFile* capped = Capped(file);
    Release(capped, 0);
    const int rc = capped->real->pMethods ? capped->real->pMethods->xClose(capped->real) : SQLITE_OK;
    return rc;
}

int CapRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
{
    return Capped(file)->real->pMethods->xRead(Capped(file)->real, buffer, amount, offset);
}

int CapWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    CappedFile* capped = Capped(file);
    if (!Reserve(capped, offset + amount))
        return SQLITE_FULL;
    return capped->real->pMethods->xWrite(capped->real, buffer, amount, offset);
}

int CapTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    CappedFile* capped = Capped(file);
    const int rc = capped->real->pMethods->xTruncate(capped->real, size);
    if (rc == SQLITE_OK)
        Release(capped, size);
    return rc;
}

int CapSync(sqlite3_file* file, int flags)
{
    return Capped(file)->real->pMethods->xSync(Capped(file)->real, flags);
}

int CapFileSize(sqlite3_file* file, sqlite3_int64* size)
{
    return Capped(file)->real->pMethods->xFileSize(Capped(file)->real, size);
}

int CapLock(sqlite3_file* file, int level)
{
    return Capped(file)->real->pMethods->xLock(Capped(file)->real, level);
}

int CapUnlock(sqlite3_file* file, int level)
{
    return Capped(file)->real->pMethods->xUnlock(Capped(file)->real, level);
}

int CapCheckReservedLock(sqlite3_file* file, int* out)
{
    return Capped(file)->real->pMethods->xCheckReservedLock(Capped(file)->real, out);
}

int CapFileControl(sqlite3_file* file, int op, void* arg)
{
    // A file grown in advance (chunk size, size hint) would pass the count by; those hints
    // only save time, so they are declined.
    if (op == SQLITE_FCNTL_SIZE_HINT || op == SQLITE_FCNTL_CHUNK_SIZE)
        return SQLITE_NOTFOUND;
    return Capped(file)->real->pMethods->xFileControl(Capped(file)->real, op, arg);
}

int CapSectorSize(sqlite3_file* file)
{
    return Capped(file)->real->pMethods->xSectorSize(Capped(file)->real);
}

int CapDeviceCharacteristics(sqlite3_file* file)
{
    return Capped(file)->real->pMethods->xDeviceCharacteristics(Capped(file)->real);
}

// Version 1: temporary files are never mapped into memory nor shared.
const sqlite3_io_methods kCappedMethods = {1, CapClose, CapRead, CapWrite, CapTruncate, CapSync, CapFileSize, CapLock,
    CapUnlock, CapCheckReservedLock, CapFileControl, CapSectorSize, CapDeviceCharacteristics, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr};

int CapOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    constexpr int kTemporary
        = SQLITE_OPEN_TEMP_DB | SQLITE_OPEN_TEMP_JOURNAL | SQLITE_OPEN_TRANSIENT_DB | SQLITE_OPEN_SUBJOURNAL;
    if (name && !(flags & kTemporary)) // the database itself: the default VFS's file as it is
        return g_defaultVfs->xOpen(g_defaultVfs, name, file, flags, outFlags);
    CappedFile* capped = Capped(file);
    capped->base.pMethods = nullptr;
    capped->size = 0;
    capped->real = reinterpret_cast<sqlite3_file*>(capped + 1);
    capped->real->pMethods = nullptr;
    const int rc = g_defaultVfs->xOpen(g_defaultVfs, name, capped->real, flags, outFlags);
    if (rc == SQLITE_OK && capped->real->pMethods)
        capped->base.pMethods = &kCappedMethods;
    else if (capped->real->pMethods) // a failed open may leave methods to close with
        capped->real->pMethods->xClose(capped->real);
    return rc;
}

} // namespace

qint64 SQLiteTempBytesLeft()
{
    return GetDbLimits().tempBytes - g_tempBytesInUse.load();
}

const char* CappedSQLiteVfs()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        g_defaultVfs = sqlite3_vfs_find(nullptr);
        g_cappedVfs = *g_defaultVfs;
        g_cappedVfs.iVersion = std::min(g_defaultVfs->iVersion, 3);
        g_cappedVfs.zName = "vellumcraft-capped";
        g_cappedVfs.szOsFile = static_cast<int>(sizeof(CappedFile)) + g_defaultVfs->szOsFile;
        g_cappedVfs.xOpen = CapOpen;
        sqlite3_vfs_register(&g_cappedVfs, 0);
    });
    return g_cappedVfs.zName;
}
