#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <mysql.h>
#include <sys/socket.h>

#include <atomic>

namespace {

QString MySqlMessage(MYSQL* mysql)
{
    return QString::fromUtf8(mysql_error(mysql)).trimmed();
}

// Reads and drops every result set after the current one; empty, or the server's message.
QString DrainResults(MYSQL* mysql)
{
    while (mysql_more_results(mysql)) {
        const int rc = mysql_next_result(mysql);
        if (rc > 0) // a failing statement ends the chain
            return MySqlMessage(mysql);
        if (rc < 0)
            break;
        if (MYSQL_RES* result = mysql_use_result(mysql))
            mysql_free_result(result);
        else if (mysql_field_count(mysql) != 0)
            return MySqlMessage(mysql);
    }
    return {};
}

// Each statement runs in a transaction that only reads and is rolled back, so that
// nothing a statement or a procedure it calls does stays; the session is read-only
// besides. Our own statements, one each.
bool MyBeginReadOnly(MYSQL* mysql)
{
    return mysql_query(mysql, "START TRANSACTION READ ONLY") == 0;
}

void MyEndReadOnly(MYSQL* mysql)
{
    mysql_query(mysql, "ROLLBACK");
}

// The statement's first result set streamed from the server and read on from call to
// call.
class MySQLCursor final : public DbRowCursor
{
public:
    MySQLCursor(MYSQL* mysql, const QString& sql) : m_mysql(mysql)
    {
        const QByteArray text = sql.toUtf8();
        if (!MyBeginReadOnly(m_mysql)
            || mysql_real_query(m_mysql, text.constData(), static_cast<unsigned long>(text.size())) != 0) {
            Fail(MySqlMessage(m_mysql));
            MyEndReadOnly(m_mysql);
            return;
        }
        m_result = mysql_use_result(m_mysql);
        if (!m_result) {
            if (mysql_field_count(m_mysql) != 0)
                Fail(MySqlMessage(m_mysql));
            DrainResults(m_mysql);
            MyEndReadOnly(m_mysql);
            return;
        }
        const MYSQL_FIELD* fields = mysql_fetch_fields(m_result);
        for (unsigned int c = 0; c < mysql_num_fields(m_result); ++c)
            m_names.append(QString::fromUtf8(fields[c].name, fields[c].name_length));
    }
    ~MySQLCursor() override { End(); }

private:
    bool Next() override
    {
        if (!m_result)
            return false;
        m_row = mysql_fetch_row(m_result);
        if (!m_row) {
            if (mysql_errno(m_mysql) != 0)
                Fail(MySqlMessage(m_mysql));
            End();
        }
        return m_row != nullptr;
    }

    bool AppendRow(DbRows& rows) override
    {
        const unsigned long* lengths = mysql_fetch_lengths(m_result);
        for (qsizetype c = 0; c < m_names.size(); ++c) {
            if (!m_row[c])
                rows.AppendNull();
            else
                rows.AppendUtf8(m_row[c], static_cast<qsizetype>(lengths[c]));
        }
        return true;
    }

    // Frees the result (reading the rows not taken) and the sets after it, so the
    // connection takes statements again.
    void End()
    {
        if (!m_result)
            return;
        mysql_free_result(m_result);
        m_result = nullptr;
        DrainResults(m_mysql);
        MyEndReadOnly(m_mysql);
    }

    MYSQL* m_mysql;
    MYSQL_RES* m_result = nullptr;
    MYSQL_ROW m_row = nullptr;
};

class MySQLConnection final : public DbConnection
{
public:
    explicit MySQLConnection(const DbServerSettings& settings) : m_settings(settings)
    {
        const DbLimits limits = GetDbLimits();
        m_mysql = ConnectMySql(settings, DbLimitSeconds(limits.connectMs), DbLimitSeconds(limits.statementMs));
        if (!m_mysql) {
            Fail(QStringLiteral("无法连接MySQL数据库：内存不足"));
            return;
        }
        if (mysql_errno(m_mysql) != 0) {
            Fail(QStringLiteral("无法连接MySQL数据库：%1").arg(DbMessage()));
            Close();
            return;
        }
        // Known before anything else is sent, so that Interrupt can reach every step.
        m_threadId = mysql_thread_id(m_mysql);
        m_socket = static_cast<int>(mysql_get_socket(m_mysql));
        // MariaDB ends a statement at the step's limit itself; MySQL does not know the
        // setting and refuses it, which changes nothing. A server that does not answer
        // even this is not usable.
        const QByteArray limit
            = "set session max_statement_time=" + QByteArray::number(DbLimitSeconds(limits.statementMs));
        if (mysql_real_query(m_mysql, limit.constData(), static_cast<unsigned long>(limit.size())) != 0) {
            const unsigned int code = mysql_errno(m_mysql);
            if (code == 2006 || code == 2013) { // CR_SERVER_GONE_ERROR, CR_SERVER_LOST
                Fail(QStringLiteral("无法连接MySQL数据库：%1").arg(DbMessage()));
                Close();
                return;
            }
        }
        if (!OnlyReads()) {
            Fail(QStringLiteral("无法连接MySQL数据库：%1").arg(DbMessage()));
            Close();
        }
    }

    // Stops the running statement with KILL QUERY from a second connection; when that
    // cannot be done (the server does not answer), the connection's socket is shut, which
    // ends any wait on it.
    void Interrupt() override
    {
        if (!m_mysql || m_threadId == 0)
            return;
        bool killed = false;
        if (MYSQL* killer = ConnectMySql(m_settings, 1, 1)) {
            const QByteArray kill = "kill query " + QByteArray::number(static_cast<qulonglong>(m_threadId));
            killed = mysql_errno(killer) == 0
                && mysql_real_query(killer, kill.constData(), static_cast<unsigned long>(kill.size())) == 0;
            mysql_close(killer);
        }
        if (!killed && m_socket >= 0)
            shutdown(m_socket, SHUT_RDWR);
    }
    ~MySQLConnection() override { Close(); }

    bool IsOpen() const override { return m_mysql != nullptr; }

    void Close() override
    {
        if (m_mysql)
            mysql_close(m_mysql);
        m_mysql = nullptr;
    }

    QString IdentifierQuote() const override { return QStringLiteral("`"); }

    bool ListTables(QStringList& tables) override
    {
        return QueryFirstColumn(
            QStringLiteral("select table_name from information_schema.tables where table_schema=database()"), tables);
    }

    bool ListFields(const QString& table, QStringList& fields) override
    {
        // Only the connected database: a table of the same name elsewhere on the
        // server must not add its columns.
        return QueryFirstColumn(QStringLiteral("select column_name from information_schema.columns "
                                               "where table_schema=database() and table_name=%1 "
                                               "order by ordinal_position")
                                    .arg(Literal(table)),
                                fields);
    }

    bool Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows) override
    {
        rows.Clear();
        if (!m_mysql)
            return FailNotConnected();
        const QByteArray text = sql.toUtf8();
        if (!MyBeginReadOnly(m_mysql)
            || mysql_real_query(m_mysql, text.constData(), static_cast<unsigned long>(text.size())) != 0) {
            const QString error = DbMessage();
            MyEndReadOnly(m_mysql);
            return Fail(error);
        }
        QString error = ReadResult(rows, RowWindow(skip, maxRows));
        // A CALL answers with one result set per statement of the procedure and a
        // closing status; the connection takes no other statement until every one of
        // them is read. Only the first set is kept, as with several statements on
        // the other servers.
        const QString later = DrainResults(m_mysql);
        MyEndReadOnly(m_mysql);
        if (error.isEmpty())
            error = later;
        if (!error.isEmpty()) {
            rows.Clear();
            return Fail(error);
        }
        return Succeed();
    }

    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override
    {
        if (!m_mysql)
            return DbConnection::OpenCursor(sql); // which fails as Query does
        return std::make_unique<MySQLCursor>(m_mysql, sql);
    }

private:
    bool OnlyReads()
    {
        return mysql_set_server_option(m_mysql, MYSQL_OPTION_MULTI_STATEMENTS_OFF) == 0
            && mysql_query(m_mysql, "SET SESSION TRANSACTION READ ONLY") == 0;
    }

    // The window of the current result set goes into rows; the rest is read and
    // dropped. Empty, or the server's message.
    QString ReadResult(DbRows& rows, RowWindow window)
    {
        // Streamed: rows are taken from the server as they are read.
        MYSQL_RES* result = mysql_use_result(m_mysql);
        if (!result)
            return mysql_field_count(m_mysql) == 0 ? QString() : DbMessage();
        const unsigned int columns = mysql_num_fields(result);
        const MYSQL_FIELD* fields = mysql_fetch_fields(result);
        QStringList names;
        for (unsigned int c = 0; c < columns; ++c)
            names.append(QString::fromUtf8(fields[c].name, fields[c].name_length));
        rows.Reset(names);
        bool ended = false;
        while (!window.Done()) {
            const MYSQL_ROW row = mysql_fetch_row(result);
            if (!row) {
                ended = true;
                break;
            }
            if (!window.Take())
                continue;
            const unsigned long* lengths = mysql_fetch_lengths(result);
            for (unsigned int c = 0; c < columns; ++c) {
                if (!row[c])
                    rows.AppendNull();
                else
                    rows.AppendUtf8(row[c], static_cast<qsizetype>(lengths[c]));
            }
        }
        const QString error = ended && mysql_errno(m_mysql) != 0 ? DbMessage() : QString();
        mysql_free_result(result); // reads and drops the rows not taken
        return error;
    }

    QString DbMessage() const { return MySqlMessage(m_mysql); }

    // A connected handle (mysql_errno set when the connect failed), null without memory.
    static MYSQL* ConnectMySql(const DbServerSettings& settings, unsigned int connectSeconds, unsigned int ioSeconds)
    {
        MYSQL* mysql = mysql_init(nullptr);
        if (!mysql)
            return nullptr;
        mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
        // Else a statement from a label ("load data local infile") could send any file of
        // the user's to the server.
        const unsigned int noLocalFiles = 0;
        mysql_options(mysql, MYSQL_OPT_LOCAL_INFILE, &noLocalFiles);
        mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &connectSeconds);
        mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &ioSeconds);
        mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &ioSeconds);
        const QByteArray host = settings.host.toUtf8();
        const QByteArray user = settings.user.toUtf8();
        const QByteArray password = settings.password.toUtf8();
        const QByteArray database = settings.database.toUtf8();
        const unsigned int port = settings.port > 0 ? static_cast<unsigned int>(settings.port) : 0;
        // Several results for a CALL, never several statements in one text.
        mysql_real_connect(mysql, host.constData(), user.constData(), password.constData(), database.constData(),
            port, nullptr, CLIENT_MULTI_RESULTS);
        return mysql;
    }

    QString Literal(const QString& text) const
    {
        const QByteArray utf8 = text.toUtf8();
        QByteArray escaped(utf8.size() * 2 + 1, Qt::Uninitialized);
        const unsigned long length =
            mysql_real_escape_string(m_mysql, escaped.data(), utf8.constData(), static_cast<unsigned long>(utf8.size()));
        escaped.truncate(static_cast<qsizetype>(length));
        return u'\'' + QString::fromUtf8(escaped) + u'\'';
    }

    DbServerSettings m_settings;
    MYSQL* m_mysql = nullptr;
    unsigned long m_threadId = 0;
    int m_socket = -1;
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenMySQL(const DbServerSettings& settings)
{
    return OpenOnWorker(settings.database.isEmpty() ? settings.host : settings.database,
        [settings]() -> std::unique_ptr<DbConnection> { return std::make_unique<MySQLConnection>(settings); });
}
