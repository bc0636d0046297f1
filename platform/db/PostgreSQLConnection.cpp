#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace {

// Waits up to the step's end for the socket; true when it is ready, false when the step is
// over (its deadline, or an interrupt when stopAtInterrupt).
bool AwaitPgSocket(int socket, bool write, bool stopAtInterrupt, DbStep::Clock::time_point until)
{
    for (;;) {
        const auto now = DbStep::Clock::now();
        if (now >= until || (stopAtInterrupt && DbStep::Interrupted()))
            return false;
        const auto slice = std::min<DbStep::Clock::duration>(until - now, std::chrono::milliseconds(100));
        pollfd ready {socket, static_cast<short>(write ? POLLOUT : POLLIN), 0};
        const int rc = poll(&ready, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count()));
        if (rc > 0 || (rc < 0 && errno != EINTR))
            return true; // an error shows at the next read
    }
}

void CancelResult(PGconn* conn);

// The next result, waited for without blocking past the step: at its deadline the statement
// is cancelled, and a server that answers neither it nor its cancel within a second has
// its socket shut, so that libpq gives up on it at once (the connection is lost).
PGresult* NextPgResult(PGconn* conn)
{
    const auto deadline = DbStep::Deadline();
    DbStep::Clock::time_point giveUp = DbStep::Clock::time_point::max();
    while (PQisBusy(conn)) {
        const auto now = DbStep::Clock::now();
        if (giveUp == DbStep::Clock::time_point::max() && (DbStep::Interrupted() || now >= deadline)) {
            if (!DbStep::Interrupted())
                CancelResult(conn);
            giveUp = now + std::chrono::seconds(1);
        }
        if (now >= giveUp) {
            shutdown(PQsocket(conn), SHUT_RDWR);
            PQconsumeInput(conn);
            break;
        }
        AwaitPgSocket(PQsocket(conn), false, false, std::min(giveUp, deadline > now ? deadline : giveUp));
        if (!PQconsumeInput(conn))
            break;
    }
    return PQgetResult(conn);
}

// Asks the server to stop sending the current result; what is on its way is still read.
void CancelResult(PGconn* conn)
{
    if (PGcancel* cancel = PQgetCancel(conn)) {
        char buffer[256];
        PQcancel(cancel, buffer, sizeof buffer);
        PQfreeCancel(cancel);
    }
}

// A COPY holds the connection until its data has come or gone, and nothing here sends
// or reads any: it is ended at once. True when the result was a COPY.
bool EndCopy(PGconn* conn, ExecStatusType status)
{
    const bool in = status == PGRES_COPY_IN || status == PGRES_COPY_BOTH;
    const bool out = status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH;
    if (in)
        PQputCopyEnd(conn, "COPY is not supported here");
    if (out) {
        char* data = nullptr;
        while (PQgetCopyData(conn, &data, 0) > 0)
            PQfreemem(data);
    }
    return in || out;
}

QString CopyRefusal()
{
    return QStringLiteral("不能执行 COPY 语句");
}

// Sends one statement inside a transaction that only reads: the extended protocol
// takes exactly one statement, and the rollback that PgEndReadOnly sends undoes what
// the statement set (set_config among it). Single-row mode streams the result.
bool PgSendReadOnly(PGconn* conn, const QString& sql)
{
    PGresult* begun = PQexec(conn, "BEGIN READ ONLY");
    const bool inTransaction = PQresultStatus(begun) == PGRES_COMMAND_OK;
    PQclear(begun);
    return inTransaction
        && PQsendQueryParams(conn, sql.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr, 0)
        && PQsetSingleRowMode(conn);
}

// Ends the transaction of PgSendReadOnly once every result has been read.
void PgEndReadOnly(PGconn* conn)
{
    const PGTransactionStatusType status = PQtransactionStatus(conn);
    if (status == PQTRANS_INTRANS || status == PQTRANS_INERROR)
        PQclear(PQexec(conn, "ROLLBACK"));
}

// The statement streamed in single-row mode and read on from call to call; the first
// result set only, as Query keeps it.
class PostgreSQLCursor final : public DbCursor
{
public:
    PostgreSQLCursor(PGconn* conn, const QString& sql)
        : m_conn(conn)
    {
        if (!PgSendReadOnly(m_conn, sql)) {
            Fail(QString::fromUtf8(PQerrorMessage(m_conn)).trimmed());
            Drain();
        }
    }
    ~PostgreSQLCursor() override
    {
        if (!m_drained) {
            CancelResult(m_conn);
            Drain();
        }
    }

    bool Skip(qint64 count) override
    {
        for (; count > 0; --count) {
            PGresult* row = Next();
            if (!row)
                break;
            PQclear(row);
            ++m_position;
        }
        return m_strLastError.isEmpty();
    }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        rows.Clear();
        bool shaped = false;
        for (qint64 n = 0; maxRows < 0 || n < maxRows; ++n) {
            PGresult* row = Next();
            if (!row)
                break;
            if (!shaped) {
                rows.Reset(m_names);
                shaped = true;
            }
            for (int c = 0; c < PQnfields(row); ++c) {
                if (PQgetisnull(row, 0, c))
                    rows.AppendNull();
                else
                    rows.AppendUtf8(PQgetvalue(row, 0, c), PQgetlength(row, 0, c));
            }
            PQclear(row);
            ++m_position;
        }
        if (!m_strLastError.isEmpty()) {
            rows.Clear();
            return false;
        }
        if (!shaped)
            rows.Reset(m_names);
        return true;
    }

private:
    // The next row of the first result set, the caller clearing it; null at its end.
    PGresult* Next()
    {
        while (!m_drained && m_strLastError.isEmpty() && !m_firstSetDone) {
            PGresult* result = NextPgResult(m_conn);
            if (!result) {
                m_drained = true;
                PgEndReadOnly(m_conn);
                break;
            }
            const ExecStatusType status = PQresultStatus(result);
            if (EndCopy(m_conn, status)) {
                Fail(CopyRefusal());
                PQclear(result);
                break;
            }
            if ((status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) && m_names.isEmpty())
                for (int c = 0; c < PQnfields(result); ++c)
                    m_names.append(QString::fromUtf8(PQfname(result, c)));
            if (status == PGRES_SINGLE_TUPLE)
                return result;
            if (status == PGRES_TUPLES_OK)
                m_firstSetDone = true;
            else if (status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY) {
                const QString error = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
                Fail(error.isEmpty() ? QString::fromUtf8(PQerrorMessage(m_conn)).trimmed() : error);
            }
            PQclear(result);
        }
        return nullptr;
    }

    // Reads whatever is left and ends the transaction, so the connection takes
    // statements again.
    void Drain()
    {
        while (PGresult* result = NextPgResult(m_conn)) {
            EndCopy(m_conn, PQresultStatus(result));
            PQclear(result);
        }
        m_drained = true;
        PgEndReadOnly(m_conn);
    }

    PGconn* m_conn;
    QStringList m_names;
    bool m_firstSetDone = false;
    bool m_drained = false;
};

class PostgreSQLConnection final : public DbConnection
{
public:
    explicit PostgreSQLConnection(const DbServerSettings& settings)
    {
        const QByteArray host = settings.host.toUtf8();
        const QByteArray port = QByteArray::number(settings.port);
        const QByteArray database = settings.database.toUtf8();
        const QByteArray user = settings.user.toUtf8();
        const QByteArray password = settings.password.toUtf8();
        // Keyword and value arrays: nothing is parsed out of the values, and the
        // database name is not read as a connection string (expand_dbname 0). The server
        // ends a statement at the step's limit too.
        const QByteArray options = "-c statement_timeout=" + QByteArray::number(GetDbLimits().statementMs);
        const char* keywords[]
            = {"host", "port", "dbname", "user", "password", "client_encoding", "options", nullptr};
        const char* values[] = {host.constData(), port.constData(), database.constData(), user.constData(),
            password.constData(), "UTF8", options.constData(), nullptr};
        m_conn = PQconnectStartParams(keywords, values, 0);
        if (!m_conn) {
            Fail(QStringLiteral("无法连接PostgreSQL数据库：内存不足"));
            return;
        }
        if (!ConnectWithinStep()) {
            Fail(QStringLiteral("无法连接PostgreSQL数据库：%1").arg(m_strTimeout.isEmpty() ? DbMessage() : m_strTimeout));
            Close();
            return;
        }
        m_cancel = PQgetCancel(m_conn);
        // Server notices would otherwise go to stderr.
        PQsetNoticeProcessor(
            m_conn, [](void*, const char*) {}, nullptr);
    }
    ~PostgreSQLConnection() override { Close(); }

    bool IsOpen() const override { return m_conn != nullptr; }

    void Close() override
    {
        if (m_cancel)
            PQfreeCancel(m_cancel);
        m_cancel = nullptr;
        if (m_conn)
            PQfinish(m_conn);
        m_conn = nullptr;
    }

    void Interrupt() override
    {
        if (m_cancel) {
            char buffer[256];
            PQcancel(m_cancel, buffer, sizeof buffer);
        }
    }

    bool ListTables(QStringList& tables) override
    {
        return QueryFirstColumn(QStringLiteral("select tablename from pg_tables where schemaname='public'"), tables);
    }

    bool ListFields(const QString& table, QStringList& fields) override
    {
        return QueryFirstColumn(
            QStringLiteral("select column_name from information_schema.columns "
                           "where table_schema='public' and table_name=%1 order by ordinal_position")
                .arg(Literal(table)),
            fields);
    }

    bool Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows) override
    {
        rows.Clear();
        if (!m_conn)
            return FailNotConnected();
        // Single-row mode streams the result, so only the kept rows take memory.
        if (!PgSendReadOnly(m_conn, sql)) {
            const QString error = DbMessage();
            while (PGresult* result = PQgetResult(m_conn))
                PQclear(result);
            PgEndReadOnly(m_conn);
            return Fail(error);
        }
        QString error;
        bool haveColumns = false;
        bool cancelled = false;
        bool firstSetDone = false;
        RowWindow window(skip, maxRows);
        while (PGresult* result = NextPgResult(m_conn)) {
            const ExecStatusType status = PQresultStatus(result);
            if (EndCopy(m_conn, status) && error.isEmpty())
                error = CopyRefusal();
            if ((status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) && !haveColumns) {
                QStringList names;
                for (int c = 0; c < PQnfields(result); ++c)
                    names.append(QString::fromUtf8(PQfname(result, c)));
                rows.Reset(names);
                haveColumns = true;
            }
            // A text of several statements keeps the first result set only, so
            // rows of another shape never mix in.
            if (status == PGRES_TUPLES_OK)
                firstSetDone = true;
            if (status == PGRES_SINGLE_TUPLE && !cancelled && !firstSetDone) {
                if (window.Take()) {
                    for (int c = 0; c < PQnfields(result); ++c) {
                        if (PQgetisnull(result, 0, c))
                            rows.AppendNull();
                        else
                            rows.AppendUtf8(PQgetvalue(result, 0, c), PQgetlength(result, 0, c));
                    }
                }
                if (window.Done()) {
                    // Enough rows: ask the server to stop and drain what is still on its way.
                    CancelResult(m_conn);
                    cancelled = true;
                }
            } else if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK
                && status != PGRES_EMPTY_QUERY && !cancelled && error.isEmpty()) {
                error = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
                if (error.isEmpty())
                    error = DbMessage();
            }
            PQclear(result);
        }
        PgEndReadOnly(m_conn);
        if (!error.isEmpty()) {
            rows.Clear();
            return Fail(error);
        }
        return Succeed();
    }

    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override
    {
        if (!m_conn)
            return DbConnection::OpenCursor(sql); // which fails as Query does
        return std::make_unique<PostgreSQLCursor>(m_conn, sql);
    }

private:
    QString DbMessage() const { return QString::fromUtf8(PQerrorMessage(m_conn)).trimmed(); }

    // Drives the connect with one deadline for the whole attempt, every host of a list
    // included (libpq's own connect_timeout counts per host), and stops at an interrupt.
    bool ConnectWithinStep()
    {
        const auto deadline = DbStep::Deadline();
        PostgresPollingStatusType state = PGRES_POLLING_WRITING;
        while (PQstatus(m_conn) != CONNECTION_BAD && state != PGRES_POLLING_FAILED) {
            if (state == PGRES_POLLING_OK)
                return true;
            if (!AwaitPgSocket(PQsocket(m_conn), state == PGRES_POLLING_WRITING, true, deadline)) {
                m_strTimeout = DbStep::Interrupted() ? QStringLiteral("已取消") : QStringLiteral("连接超时");
                return false;
            }
            state = PQconnectPoll(m_conn);
        }
        return false;
    }

    QString Literal(const QString& text) const
    {
        const QByteArray utf8 = text.toUtf8();
        char* escaped = PQescapeLiteral(m_conn, utf8.constData(), static_cast<size_t>(utf8.size()));
        if (!escaped)
            return QStringLiteral("''");
        const QString result = QString::fromUtf8(escaped);
        PQfreemem(escaped);
        return result;
    }

    PGconn* m_conn = nullptr;
    PGcancel* m_cancel = nullptr; // made once connected, for Interrupt from another thread
    QString m_strTimeout;
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenPostgreSQL(const DbServerSettings& settings)
{
    return OpenOnWorker(settings.database.isEmpty() ? settings.host : settings.database,
        [settings]() -> std::unique_ptr<DbConnection> { return std::make_unique<PostgreSQLConnection>(settings); });
}
