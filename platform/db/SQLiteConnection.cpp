#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"
#include "platform/db/SQLiteStage.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <sqlite3.h>

namespace {

// The longest value or row SQLite builds for a statement (SQLITE_LIMIT_LENGTH): a row as
// it arrives may be that long, though each value that reaches the program is held shorter.
qint64 LengthLimit()
{
    const DbLimits limits = GetDbLimits();
    return std::max(limits.valueBytes, limits.sliceBytes);
}

// The column names of a prepared statement.
QStringList StatementColumns(sqlite3_stmt* stmt)
{
    QStringList names;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c)
        names.append(QString::fromUtf8(sqlite3_column_name(stmt, c)));
    return names;
}

// Appends the values of the row the statement stands on, within the step's bounds: kept
// counts the bytes of the values the current call keeps. SQLITE_ROW; SQLITE_NOMEM; or
// SQLITE_TOOBIG with fault set to our refusal.
int AppendStepRow(sqlite3_stmt* stmt, DbRows& rows, qint64& kept, QString& fault)
{
    const DbLimits limits = GetDbLimits();
    const int columns = sqlite3_column_count(stmt);
    // Measured before anything is appended, so a refused row leaves no part behind.
    for (int c = 0; c < columns; ++c) {
        // Null text is a NULL value, or out of memory.
        if (!sqlite3_column_text(stmt, c) && sqlite3_column_type(stmt, c) != SQLITE_NULL)
            return SQLITE_NOMEM;
        const qint64 bytes = sqlite3_column_bytes(stmt, c);
        if (bytes > limits.valueBytes) {
            fault = DbValueTooLargeMessage(QString::fromUtf8(sqlite3_column_name(stmt, c)));
            return SQLITE_TOOBIG;
        }
        kept += bytes;
    }
    if (kept > limits.sliceBytes) {
        fault = DbSliceTooLargeMessage();
        return SQLITE_TOOBIG;
    }
    for (int c = 0; c < columns; ++c) {
        if (const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)))
            rows.AppendUtf8(value, sqlite3_column_bytes(stmt, c));
        else
            rows.AppendNull();
    }
    return SQLITE_ROW;
}

// One prepared statement stepped on from call to call.
class SQLiteCursor final : public DbRowCursor
{
public:
    SQLiteCursor(sqlite3* db, const QString& sql)
        : m_db(db)
    {
        const QByteArray text = sql.toUtf8();
        const SQLiteStatementMemory::Scope scope(m_memory);
        if (const int rc = sqlite3_prepare_v2(m_db, text.constData(), static_cast<int>(text.size()), &m_stmt, nullptr);
            rc != SQLITE_OK) {
            FailStatement(rc);
        } else if (m_stmt && !sqlite3_stmt_readonly(m_stmt)) {
            // A statement from a label only reads: "vacuum into" and the like would
            // write a file of the label's choosing.
            Fail(QStringLiteral("只能执行读取数据的语句"));
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
        } else if (m_stmt) {
            m_names = StatementColumns(m_stmt);
        }
        m_done = !m_stmt;
    }
    ~SQLiteCursor() override { sqlite3_finalize(m_stmt); }

private:
    // A failed call of the statement: past one of the bounds SQLite holds it to, our
    // message naming the source (complete in itself); anything else in SQLite's words.
    void FailStatement(int rc)
    {
        m_bStopped = m_memory.Exceeded() || rc == SQLITE_TOOBIG;
        if (m_memory.Exceeded())
            Fail(QStringLiteral("数据源“%1”的语句使用的内存超过了 %2 MB 的上限，没有执行完。")
                     .arg(DbSourceScope::Current())
                     .arg(GetDbLimits().statementBytes >> 20));
        else if (rc == SQLITE_TOOBIG)
            Fail(QStringLiteral("数据源“%1”的语句中有值或行长于 %2 MB 的上限，没有执行完。")
                     .arg(DbSourceScope::Current())
                     .arg(LengthLimit() >> 20));
        else if (rc == SQLITE_FULL)
            Fail(QStringLiteral("语句需要的临时存储超过了 %1 MB 的上限。").arg(GetDbLimits().tempBytes >> 20));
        else
            Fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
    }

    bool Next() override
    {
        if (m_done || !m_strLastError.isEmpty())
            return false;
        const SQLiteStatementMemory::Scope scope(m_memory);
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        m_done = true;
        if (rc != SQLITE_DONE)
            FailStatement(rc);
        // Ends the read, so the file's lock goes with the last row, not with the cursor.
        sqlite3_reset(m_stmt);
        return false;
    }

    bool AppendRow(DbRows& rows) override
    {
        if (rows.RowCount() == 0) // a new call's rows
            m_kept = 0;
        QString fault;
        const SQLiteStatementMemory::Scope scope(m_memory);
        const int rc = AppendStepRow(m_stmt, rows, m_kept, fault);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_TOOBIG) {
            Fail(fault);
            m_bStopped = true;
        } else if (m_memory.Exceeded()) {
            FailStatement(rc);
        } else {
            Fail(QStringLiteral("内存不足"));
        }
        m_done = true;
        sqlite3_reset(m_stmt); // the file's lock goes with the refused read
        return false;
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_done = false;
    qint64 m_kept = 0; // bytes of the values the current call keeps
    SQLiteStatementMemory m_memory;
};

class SQLiteConnection final : public DbConnection
{
public:
    explicit SQLiteConnection(const QString& path)
    {
        // Read-only, so a mistyped path fails instead of leaving an empty database
        // behind; the probe makes a file that is no database fail here and not at
        // the first query.
        if (path.isEmpty() || !QFileInfo(path).isFile()) {
            Fail(QStringLiteral("SQLite数据库文件“%1”不存在。").arg(path));
            return;
        }
        if (sqlite3_open_v2(OpenName(path).constData(), &m_db,
                SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, CappedSQLiteVfs())
            != SQLITE_OK) {
            Fail(QStringLiteral("无法打开SQLite数据库“%1”：%2").arg(path, DbMessage()));
            Close();
            return;
        }
        sqlite3_busy_timeout(m_db, 5000);
        Confine();
        DbRows probe;
        if (!Query(QStringLiteral("select count(*) from sqlite_master"), probe, 0, -1)) {
            m_strLastError = QStringLiteral("无法打开SQLite数据库“%1”：%2").arg(path, m_strLastError);
            Close();
        }
    }
    // Takes over a handle opened elsewhere, such as an in-memory staging database.
    explicit SQLiteConnection(sqlite3* adopted)
        : m_db(adopted)
    {
        Confine();
    }
    ~SQLiteConnection() override { Close(); }

    bool IsOpen() const override { return m_db != nullptr; }
    // Not the double quote: SQLite reads a double-quoted name it cannot find as a text.
    QString IdentifierQuote() const override { return QStringLiteral("`"); }

    void Close() override
    {
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }

    void Interrupt() override
    {
        if (m_db)
            sqlite3_interrupt(m_db);
    }

    bool ListTables(QStringList& tables) override
    {
        return QueryFirstColumn(
            QStringLiteral("select name from sqlite_master where type='table' order by name"), tables);
    }

    bool ListFields(const QString& table, QStringList& fields) override
    {
        // Preparing the statement is enough to learn the columns, also of an empty table.
        fields.clear();
        QString quoted = table;
        quoted.replace(u'"', QStringLiteral("\"\""));
        DbRows rows;
        if (!Query(QStringLiteral("select * from \"%1\" limit 0").arg(quoted), rows, 0, -1))
            return false;
        fields = rows.Columns();
        return true;
    }

    bool Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows) override
    {
        rows.Clear();
        if (!m_db)
            return FailNotConnected();
        m_bStopped = false;
        SQLiteCursor cursor(m_db, sql);
        if (!cursor.Skip(skip) || !cursor.Fetch(maxRows, rows)) {
            m_bStopped = cursor.Stopped();
            return Fail(cursor.LastError());
        }
        return Succeed();
    }

    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override
    {
        if (!m_db)
            return DbConnection::OpenCursor(sql); // which fails as Query does
        return std::make_unique<SQLiteCursor>(m_db, sql);
    }

private:
    // The name the file is opened by: an address SQLite reads as nothing but this
    // file. A database in WAL mode is read through its "-wal" and "-shm" files, which
    // even a read-only open creates beside it when they are missing; such a database
    // is read as it stands, creating nothing.
    static QByteArray OpenName(const QString& path)
    {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        QByteArray address = QUrl::fromLocalFile(absolute).toEncoded();
        QFile file(path);
        const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(20) : QByteArray();
        const bool wal = header.size() == 20 && header[18] == 2 && header[19] == 2;
        if (wal
            && !(QFileInfo::exists(absolute + QLatin1String("-wal"))
                && QFileInfo::exists(absolute + QLatin1String("-shm"))))
            address += "?immutable=1";
        return address;
    }

    // What a statement from a label may do beyond reading rows, decided as it is
    // prepared: "attach" counts as reading, yet opens or creates the file it names;
    // a pragma acts during preparation (temp_store_directory sends temporary files
    // anywhere); fts3_tokenizer hands SQLite a code pointer.
    static int Authorize(void*, int action, const char*, const char* function, const char*, const char*)
    {
        if (action == SQLITE_ATTACH || action == SQLITE_DETACH || action == SQLITE_PRAGMA)
            return SQLITE_DENY;
        if (action == SQLITE_FUNCTION && function && sqlite3_stricmp(function, "fts3_tokenizer") == 0)
            return SQLITE_DENY;
        return SQLITE_OK;
    }

    // A statement ends at its step's limit or interrupt also when nobody waits for it
    // (sqlite3_interrupt reaches only the statements running when it is called).
    static int Progress(void*)
    {
        return DbStep::Over() ? 1 : 0;
    }

    void Confine()
    {
        if (!m_db)
            return;
        sqlite3_set_authorizer(m_db, &SQLiteConnection::Authorize, nullptr);
        // No value or row longer than one row may be as it arrives: a statement's values
        // together are held by SQLiteStatementMemory.
        sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, static_cast<int>(std::min<qint64>(LengthLimit(), INT_MAX)));
        sqlite3_progress_handler(m_db, 10000, &SQLiteConnection::Progress, nullptr);
    }

    QString DbMessage() const { return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("内存不足"); }

    sqlite3* m_db = nullptr;
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenSQLite(const QString& path)
{
    return OpenOnWorker(QFileInfo(path).fileName(),
        [path]() -> std::unique_ptr<DbConnection> { return std::make_unique<SQLiteConnection>(path); });
}

std::unique_ptr<DbConnection> AdoptSQLite(sqlite3* db)
{
    return std::make_unique<SQLiteConnection>(db);
}
