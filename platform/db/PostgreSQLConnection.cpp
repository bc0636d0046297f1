#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <libpq-fe.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <vector>

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

// The bytes that came in on a connection's socket since the last Restart. libpq gathers a
// whole message in memory before it hands any of it over, so a row is measured while it
// arrives. A TCP socket counts what it received itself; on a local socket the bytes waiting
// are added up before each read, and libpq reads all of them once it knows a message is long.
class PgArrivals
{
public:
    void Attach(int socket)
    {
        m_socket = socket;
        tcp_info info {};
        socklen_t size = sizeof info;
        m_tcp = getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) == 0
            && size >= offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received;
        Restart();
    }
    void Restart() { m_start = Total(); }
    // Called just before libpq reads the socket.
    void BeforeRead()
    {
        int waiting = 0;
        if (!m_tcp && ioctl(m_socket, FIONREAD, &waiting) == 0 && waiting > 0)
            m_localRead += waiting;
    }
    qint64 Arrived() const { return static_cast<qint64>(Total() - m_start); }

private:
    quint64 Total() const
    {
        if (!m_tcp)
            return m_localRead;
        tcp_info info {};
        socklen_t size = sizeof info;
        return getsockopt(m_socket, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 ? info.tcpi_bytes_received : m_start;
    }

    int m_socket = -1;
    bool m_tcp = false;
    quint64 m_localRead = 0;
    quint64 m_start = 0;
};

class PostgreSQLConnection;

// One statement on its way through the server, in a single round trip: its transaction's start
// (read only), the limits set for it, the statement itself and the rollback go out together in
// libpq's pipeline with one sync, and the statement's rows stream back one at a time. The
// rollback undoes what the statement set (set_config among it); the extended protocol takes
// exactly one statement. A walk holds the statement, and so its transaction, until it ends.
class PgStatement
{
public:
    PgStatement(PostgreSQLConnection& connection, const QString& sql, bool walk);
    ~PgStatement() { Finish(); }
    PgStatement(const PgStatement&) = delete;
    PgStatement& operator=(const PgStatement&) = delete;

    // The statement's next result, the caller clearing it: a row (PGRES_SINGLE_TUPLE), the end
    // of a result set or of a command; null once its results are over or the statement failed.
    PGresult* Next();
    // Asks the server to stop sending rows; what is on its way is read and dropped.
    void Cancel();
    // Reads what is left through the sync and leaves the connection idle, no transaction open.
    void Finish();
    // The first failure is kept; stopped marks our own refusal, complete in itself.
    void Fail(const QString& message, bool stopped = false);

    bool Failed() const { return !m_error.isEmpty(); }
    const QString& Error() const { return m_error; }
    bool Stopped() const { return m_stopped; }

private:
    // The next result of the pipeline, null once the sync came back or the connection is gone.
    PGresult* Read();
    // Ends a transaction that a failure inside the pipeline left open.
    void RollBackWhatIsLeft();

    PostgreSQLConnection& m_connection;
    int m_query = 0; // the pipeline's query whose results come next
    int m_statementQuery = 0;
    int m_queries = 0; // sent in the pipeline
    bool m_synced = false; // the sync came back: nothing more is on its way
    bool m_cancelled = false;
    bool m_finished = false;
    QString m_error;
    bool m_stopped = false;
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
        // Keyword and value arrays: nothing is parsed out of the values, and the database name
        // is not read as a connection string (expand_dbname 0). No "options": poolers such as
        // PgBouncer refuse it; each statement sets its own limit in its transaction.
        const char* keywords[] = {"host", "port", "dbname", "user", "password", "client_encoding", nullptr};
        const char* values[] = {host.constData(), port.constData(), database.constData(), user.constData(),
            password.constData(), "UTF8", nullptr};
        m_conn = PQconnectStartParams(keywords, values, 0);
        if (!m_conn) {
            Fail(QStringLiteral("无法连接PostgreSQL数据库：内存不足"));
            return;
        }
        if (!ConnectWithinStep()) {
            // The server's own refusal (a wrong password, an unknown database, a pooler's rule)
            // is told apart from a server that could not be reached.
            if (!m_strTimeout.isEmpty())
                Fail(QStringLiteral("无法连接PostgreSQL数据库：%1").arg(m_strTimeout));
            else if (m_bServerAnswered)
                Fail(QStringLiteral("PostgreSQL服务器拒绝了连接：%1").arg(DbMessage()));
            else
                Fail(QStringLiteral("无法连接PostgreSQL数据库：%1").arg(DbMessage()));
            Close();
            return;
        }
        m_cancel = PQgetCancel(m_conn);
        m_arrivals.Attach(PQsocket(m_conn));
        // Server notices would otherwise go to stderr.
        PQsetNoticeProcessor(
            m_conn, [](void*, const char*) {}, nullptr);
        m_kind.server = SqlServerKind::PostgreSQL;
        if (const char* standard = PQparameterStatus(m_conn, "standard_conforming_strings"))
            m_kind.standardStrings = qstrcmp(standard, "on") == 0;
        // A superuser's statement reads every table but may not write or read server files,
        // make replication slots or end other sessions: it runs as the role that only reads
        // (PostgreSQL 14 on). A pooler may not pass is_superuser on: the server is asked then.
        const char* superuser = PQparameterStatus(m_conn, "is_superuser");
        if (PQserverVersion(m_conn) >= 140000) {
            if (!superuser)
                m_roleDrop = "select set_config('role', 'pg_read_all_data', true) from pg_roles "
                             "where rolname = current_user and rolsuper";
            else if (qstrcmp(superuser, "on") == 0)
                m_roleDrop = "SET LOCAL ROLE pg_read_all_data";
        }
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

    // Ends a connection that cannot be used again: its statement is cancelled and it is closed.
    // The cancel handle stays for an Interrupt that may be under way on another thread.
    void Abandon()
    {
        Interrupt();
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

    bool Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows) override;
    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override;

    SqlServerKind ServerKind() const override { return m_kind; }

    PGconn* Conn() const { return m_conn; }
    QString DbMessage() const
    {
        return m_conn ? QString::fromUtf8(PQerrorMessage(m_conn)).trimmed() : QStringLiteral("未连接数据库");
    }
    // What each statement's transaction sets before the statement runs, in order.
    std::vector<QByteArray> Settings(bool walk) const
    {
        std::vector<QByteArray> settings;
        // The server ends a statement at the step's limit too. A walk's statement lives as long
        // as the walk, each slice of it under the step's own limit.
        if (!walk)
            settings.push_back("SET LOCAL statement_timeout = " + QByteArray::number(GetDbLimits().statementMs));
        if (!m_roleDrop.isEmpty())
            settings.push_back(m_roleDrop);
        return settings;
    }

    // The next result, waited for without blocking past the step: at its deadline the statement
    // is cancelled, and a server that answers neither it nor its cancel within a second has its
    // socket shut, so that libpq gives up on it at once (the connection is lost). Null with
    // tooLarge set when one message grew past the slice bound: the connection is then closed.
    PGresult* NextResult(bool& tooLarge)
    {
        tooLarge = false;
        const qint64 bound = GetDbLimits().sliceBytes;
        const auto deadline = DbStep::Deadline();
        DbStep::Clock::time_point giveUp = DbStep::Clock::time_point::max();
        while (PQisBusy(m_conn)) {
            const auto now = DbStep::Clock::now();
            if (giveUp == DbStep::Clock::time_point::max() && (DbStep::Interrupted() || now >= deadline)) {
                if (!DbStep::Interrupted())
                    CancelResult(m_conn);
                giveUp = now + std::chrono::seconds(1);
            }
            if (now >= giveUp) {
                shutdown(PQsocket(m_conn), SHUT_RDWR);
                PQconsumeInput(m_conn);
                break;
            }
            AwaitPgSocket(PQsocket(m_conn), false, false, std::min(giveUp, deadline > now ? deadline : giveUp));
            m_arrivals.BeforeRead();
            if (!PQconsumeInput(m_conn))
                break;
            if (m_arrivals.Arrived() > bound) {
                // libpq would hold the whole message: it is stopped here, and a connection
                // that stopped inside a message cannot be used again.
                Abandon();
                tooLarge = true;
                return nullptr;
            }
        }
        m_arrivals.Restart();
        return PQgetResult(m_conn);
    }

private:
    // Drives the connect with one deadline for the whole attempt, every host of a list
    // included (libpq's own connect_timeout counts per host), and stops at an interrupt.
    bool ConnectWithinStep()
    {
        const auto deadline = DbStep::Deadline();
        PostgresPollingStatusType state = PGRES_POLLING_WRITING;
        ConnStatusType reached = PQstatus(m_conn);
        while (PQstatus(m_conn) != CONNECTION_BAD && state != PGRES_POLLING_FAILED) {
            if (state == PGRES_POLLING_OK)
                return true;
            if (!AwaitPgSocket(PQsocket(m_conn), state == PGRES_POLLING_WRITING, true, deadline)) {
                m_strTimeout = DbStep::Interrupted() ? QStringLiteral("已取消") : QStringLiteral("连接超时");
                return false;
            }
            state = PQconnectPoll(m_conn);
            if (PQstatus(m_conn) != CONNECTION_BAD)
                reached = PQstatus(m_conn);
        }
        // The login went out to the last host tried (its answer was awaited or had begun), so
        // what ended it came from the server.
        switch (reached) {
        case CONNECTION_AWAITING_RESPONSE:
        case CONNECTION_AUTH_OK:
        case CONNECTION_SETENV:
        case CONNECTION_CHECK_WRITABLE:
        case CONNECTION_CONSUME:
        case CONNECTION_CHECK_TARGET:
        case CONNECTION_CHECK_STANDBY: m_bServerAnswered = true; break;
        default: m_bServerAnswered = PQconnectionNeedsPassword(m_conn) != 0; break;
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
    bool m_bServerAnswered = false;
    PgArrivals m_arrivals;
    SqlServerKind m_kind;
    QByteArray m_roleDrop; // the statement that drops a superuser's rights, empty when none
};

PgStatement::PgStatement(PostgreSQLConnection& connection, const QString& sql, bool walk) : m_connection(connection)
{
    PGconn* conn = m_connection.Conn();
    if (!conn) {
        m_finished = true;
        Fail(QStringLiteral("未连接数据库"));
        return;
    }
    std::vector<QByteArray> queries {"BEGIN READ ONLY"};
    for (QByteArray& setting : m_connection.Settings(walk))
        queries.push_back(std::move(setting));
    m_statementQuery = static_cast<int>(queries.size());
    queries.push_back(sql.toUtf8());
    queries.push_back("ROLLBACK");
    m_queries = static_cast<int>(queries.size());
    if (!PQenterPipelineMode(conn)) {
        m_finished = true;
        Fail(m_connection.DbMessage());
        return;
    }
    for (const QByteArray& query : queries) {
        if (!PQsendQueryParams(conn, query.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0)) {
            Fail(m_connection.DbMessage());
            break;
        }
    }
    if (!PQpipelineSync(conn))
        Fail(m_connection.DbMessage());
}

PGresult* PgStatement::Read()
{
    while (!m_synced) {
        PGconn* conn = m_connection.Conn();
        if (!conn) {
            m_synced = true;
            break;
        }
        if (m_query == m_statementQuery && !m_cancelled)
            PQsetSingleRowMode(conn); // refused (harmlessly) once the statement's results began
        bool tooLarge = false;
        PGresult* result = m_connection.NextResult(tooLarge);
        if (tooLarge) {
            Fail(DbSliceTooLargeMessage(), true);
            m_synced = true;
            break;
        }
        if (!result) {
            // One query's results are over; a lost connection has nothing more.
            if (PQstatus(conn) == CONNECTION_BAD) {
                Fail(m_connection.DbMessage());
                m_synced = true;
            }
            if (++m_query > m_queries) {
                Fail(m_connection.DbMessage());
                m_synced = true;
            }
            continue;
        }
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_PIPELINE_SYNC) {
            PQclear(result);
            m_synced = true;
            break;
        }
        if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE || status == PGRES_NONFATAL_ERROR) {
            // After our own cancel the statement's end is expected, not a failure.
            if (!m_cancelled) {
                const QString error = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
                Fail(error.isEmpty() ? m_connection.DbMessage() : error);
            }
            PQclear(result);
            if (PQstatus(conn) == CONNECTION_BAD)
                m_synced = true;
            continue;
        }
        return result;
    }
    return nullptr;
}

PGresult* PgStatement::Next()
{
    while (!m_finished) {
        PGresult* result = Read();
        if (!result)
            break;
        const ExecStatusType status = PQresultStatus(result);
        if (m_query != m_statementQuery || status == PGRES_PIPELINE_ABORTED) {
            PQclear(result);
            continue;
        }
        if (EndCopy(m_connection.Conn(), status)) {
            Fail(CopyRefusal());
            PQclear(result);
            continue;
        }
        return result;
    }
    return nullptr;
}

void PgStatement::Cancel()
{
    if (!m_cancelled && !m_synced && m_connection.Conn())
        CancelResult(m_connection.Conn());
    m_cancelled = true;
}

void PgStatement::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    while (PGresult* result = Read()) {
        EndCopy(m_connection.Conn(), PQresultStatus(result));
        PQclear(result);
    }
    PGconn* conn = m_connection.Conn();
    if (!conn)
        return;
    if (!PQexitPipelineMode(conn)) {
        // Something is still unread: the connection cannot be trusted with another statement.
        Fail(m_connection.DbMessage());
        m_connection.Abandon();
        return;
    }
    RollBackWhatIsLeft();
}

void PgStatement::RollBackWhatIsLeft()
{
    // A failure or a cancel inside the pipeline skips its rollback; the transaction then waits,
    // aborted, for one of its own. A cancel that comes late may stop that one too: once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        PGconn* conn = m_connection.Conn();
        if (!conn || PQtransactionStatus(conn) == PQTRANS_IDLE)
            return;
        if (!PQsendQuery(conn, "ROLLBACK"))
            break;
        bool tooLarge = false;
        while (PGresult* result = m_connection.NextResult(tooLarge))
            PQclear(result);
    }
    if (m_connection.Conn() && PQtransactionStatus(m_connection.Conn()) != PQTRANS_IDLE)
        m_connection.Abandon();
}

void PgStatement::Fail(const QString& message, bool stopped)
{
    if (m_error.isEmpty()) {
        m_error = message;
        m_stopped = stopped;
    }
}

// Checks one row the walk or the query keeps: no value past the value bound, and the rows of one
// call within the slice bound. False with the statement failed and cancelled.
bool KeepPgRow(PGresult* row, PgStatement& statement, qint64& keptBytes)
{
    const DbLimits limits = GetDbLimits();
    for (int c = 0; c < PQnfields(row); ++c) {
        const qint64 length = PQgetlength(row, 0, c);
        if (length > limits.valueBytes) {
            statement.Fail(DbValueTooLargeMessage(QString::fromUtf8(PQfname(row, c))), true);
            statement.Cancel();
            return false;
        }
        keptBytes += length + static_cast<qint64>(sizeof(quint32)) + 1; // a cell's text, its end, its null mark
    }
    if (keptBytes > limits.sliceBytes) {
        statement.Fail(DbSliceTooLargeMessage(), true);
        statement.Cancel();
        return false;
    }
    return true;
}

void AppendPgRow(PGresult* row, DbRows& rows)
{
    for (int c = 0; c < PQnfields(row); ++c) {
        if (PQgetisnull(row, 0, c))
            rows.AppendNull();
        else
            rows.AppendUtf8(PQgetvalue(row, 0, c), PQgetlength(row, 0, c));
    }
}

QStringList PgColumnNames(PGresult* result)
{
    QStringList names;
    for (int c = 0; c < PQnfields(result); ++c)
        names.append(QString::fromUtf8(PQfname(result, c)));
    return names;
}

bool PostgreSQLConnection::Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows)
{
    rows.Clear();
    m_bStopped = false;
    if (!m_conn)
        return FailNotConnected();
    PgStatement statement(*this, sql, false);
    bool haveColumns = false;
    bool cancelled = false;
    bool firstSetDone = false;
    qint64 keptBytes = 0;
    RowWindow window(skip, maxRows);
    while (PGresult* result = statement.Next()) {
        const ExecStatusType status = PQresultStatus(result);
        if ((status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) && !haveColumns) {
            rows.Reset(PgColumnNames(result));
            haveColumns = true;
        }
        // A text of several statements keeps the first result set only, so rows of another
        // shape never mix in.
        if (status == PGRES_TUPLES_OK)
            firstSetDone = true;
        if (status == PGRES_SINGLE_TUPLE && !cancelled && !firstSetDone) {
            if (window.Take()) {
                if (KeepPgRow(result, statement, keptBytes))
                    AppendPgRow(result, rows);
                else
                    cancelled = true;
            }
            if (window.Done() && !cancelled) {
                // Enough rows: ask the server to stop and drain what is still on its way.
                statement.Cancel();
                cancelled = true;
            }
        }
        PQclear(result);
    }
    statement.Finish();
    if (statement.Failed()) {
        rows.Clear();
        m_bStopped = statement.Stopped();
        return Fail(statement.Error());
    }
    return Succeed();
}

// The statement streamed in single-row mode and read on from call to call; the first result
// set only, as Query keeps it.
class PostgreSQLCursor final : public DbCursor
{
public:
    PostgreSQLCursor(PostgreSQLConnection& connection, const QString& sql)
        : m_statement(std::make_unique<PgStatement>(connection, sql, true))
    {
    }
    ~PostgreSQLCursor() override
    {
        if (!m_done)
            m_statement->Cancel();
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
        return End();
    }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        rows.Clear();
        bool shaped = false;
        qint64 keptBytes = 0;
        for (qint64 n = 0; maxRows < 0 || n < maxRows; ++n) {
            PGresult* row = Next();
            if (!row)
                break;
            if (!shaped) {
                rows.Reset(m_names);
                shaped = true;
            }
            const bool kept = KeepPgRow(row, *m_statement, keptBytes);
            if (kept)
                AppendPgRow(row, rows);
            PQclear(row);
            if (!kept)
                break;
            ++m_position;
        }
        if (!End()) {
            rows.Clear();
            return false;
        }
        if (!shaped)
            rows.Reset(m_names);
        return true;
    }

private:
    // The next row of the first result set, the caller clearing it; null at its end or on failure.
    PGresult* Next()
    {
        while (!m_done && !m_statement->Failed()) {
            PGresult* result = m_statement->Next();
            if (!result) {
                m_done = true;
                break;
            }
            const ExecStatusType status = PQresultStatus(result);
            if ((status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) && m_names.isEmpty())
                m_names = PgColumnNames(result);
            if (status == PGRES_SINGLE_TUPLE)
                return result;
            PQclear(result);
            // What follows the set (the rollback) is read at once: the transaction ends with the walk.
            if (status == PGRES_TUPLES_OK)
                m_done = true;
        }
        return nullptr;
    }

    // After a call: a walk at its end or failed has its transaction ended. False on failure.
    bool End()
    {
        if (m_done || m_statement->Failed()) {
            m_done = true;
            m_statement->Finish();
        }
        if (!m_statement->Failed())
            return true;
        m_bStopped = m_statement->Stopped();
        return Fail(m_statement->Error());
    }

    std::unique_ptr<PgStatement> m_statement;
    QStringList m_names;
    bool m_done = false;
};

std::unique_ptr<DbCursor> PostgreSQLConnection::OpenCursor(const QString& sql)
{
    m_bStopped = false;
    if (!m_conn)
        return DbConnection::OpenCursor(sql); // which fails as Query does
    return std::make_unique<PostgreSQLCursor>(*this, sql);
}

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenPostgreSQL(const DbServerSettings& settings)
{
    return OpenOnWorker(settings.database.isEmpty() ? settings.host : settings.database,
        [settings]() -> std::unique_ptr<DbConnection> { return std::make_unique<PostgreSQLConnection>(settings); });
}
