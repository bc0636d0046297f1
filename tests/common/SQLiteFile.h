#pragma once

#include <QFile>
#include <QString>
#include <sqlite3.h>

// Makes the SQLite file at path and runs sql on it; false when either fails.
inline bool WriteSQLiteFile(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
        && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}
