#include "platform/db/DbConnection.h"
#include "platform/db/SQLiteStage.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace {

class SQLiteConnection final : public DbConnection
{
public:
    explicit SQLiteConnection(const QString& path)
    {
        // Read-only, so a mistyped path fails instead of leaving an empty database
        // behind; the probe makes a file that is no database fail here and not at
        // the first query.
        const QByteArray file = QFile::encodeName(path);
        if (path.isEmpty() || !QFileInfo(path).isFile()) {
            Fail(QStringLiteral("SQLite database file \"%1\" does not exist").arg(path));
            return;
        }
        if (sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
            Fail(QStringLiteral("Cannot open SQLite database \"%1\": %2").arg(path, DbMessage()));
            Close();
            return;
        }
        sqlite3_busy_timeout(m_db, 5000);
        DbRows probe;
        if (!Query(QStringLiteral("select count(*) from sqlite_master"), probe, 0, -1)) {
            m_strLastError = QStringLiteral("Cannot open SQLite database \"%1\": %2").arg(path, m_strLastError);
            Close();
        }
    }
    // Takes over a handle opened elsewhere, such as an in-memory staging database.
    explicit SQLiteConnection(sqlite3* adopted) : m_db(adopted) {}
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

    bool ListTables(QStringList& tables) override
    {
        return QueryFirstColumn(QStringLiteral("select name from sqlite_master where type='table' order by name"),
                                tables);
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
            return Fail(QStringLiteral("Not connected to the database"));
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, text.constData(), static_cast<int>(text.size()), &stmt, nullptr) != SQLITE_OK)
            return Fail(DbMessage());
        if (!stmt) // only blanks or comments
            return Succeed();
        const int columns = sqlite3_column_count(stmt);
        QStringList names;
        for (int c = 0; c < columns; ++c)
            names.append(QString::fromUtf8(sqlite3_column_name(stmt, c)));
        rows.Reset(names);
        RowWindow window(skip, maxRows);
        int rc = SQLITE_DONE;
        bool wanted = true;
        while ((wanted = !window.Done()) && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (!window.Take())
                continue;
            for (int c = 0; c < columns && rc == SQLITE_ROW; ++c) {
                // Null text is a NULL value, or out of memory.
                if (const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)))
                    rows.AppendUtf8(value, sqlite3_column_bytes(stmt, c));
                else if (sqlite3_column_type(stmt, c) == SQLITE_NULL)
                    rows.AppendNull();
                else
                    rc = SQLITE_NOMEM;
            }
            if (rc != SQLITE_ROW)
                break;
        }
        const bool failed = wanted && rc != SQLITE_DONE;
        const QString error = rc == SQLITE_NOMEM ? QStringLiteral("out of memory") : DbMessage();
        sqlite3_finalize(stmt);
        if (failed) {
            rows.Clear();
            return Fail(error);
        }
        return Succeed();
    }

private:
    QString DbMessage() const
    {
        return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
    }

    sqlite3* m_db = nullptr;
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenSQLite(const QString& path)
{
    return std::make_unique<SQLiteConnection>(path);
}

std::unique_ptr<DbConnection> AdoptSQLite(sqlite3* db)
{
    return std::make_unique<SQLiteConnection>(db);
}
