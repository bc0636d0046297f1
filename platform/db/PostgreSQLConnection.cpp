#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbReach.h"
#include "platform/db/DbWait.h"
#include "platform/db/PgStatementForm.h"

#include <libpq-fe.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <cstring>
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

QString CopyRefusal()
{
    return QStringLiteral("不能执行 COPY 语句");
}

// Stands between libpq and the server's socket, so that what arrives is counted before libpq
// sees it. libpq gathers a whole message in memory before it hands any of it over, and once it
// knows a message is long it reads for as long as the socket has data: a row past the slice
// bound must be stopped before libpq reads it. libpq's descriptor becomes one end of a local
// pair; the relay reads the server's socket itself and passes the bytes on, in both directions.
class PgRelay
{
public:
    PgRelay() = default;
    PgRelay(const PgRelay&) = delete;
    PgRelay& operator=(const PgRelay&) = delete;
    ~PgRelay() { Close(); }

    // Takes over the socket libpq holds as libpqSocket; false (nothing changed) on failure.
    bool Insert(int libpqSocket)
    {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return false;
        m_server = fcntl(libpqSocket, F_DUPFD_CLOEXEC, 0);
        if (m_server < 0 || dup3(pair[0], libpqSocket, O_CLOEXEC) < 0) {
            if (m_server >= 0)
                close(m_server);
            m_server = -1;
            close(pair[0]);
            close(pair[1]);
            return false;
        }
        close(pair[0]);
        m_peer = pair[1];
        for (int fd : {libpqSocket, m_peer, m_server})
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        return true;
    }

    // Sends on what libpq passed on last (its goodbye, after PQfinish), then closes.
    void Close()
    {
        if (m_server >= 0 && m_peer >= 0) {
            bool ended = false;
            Move(m_peer, m_server, m_out, ended, -1);
        }
        for (int* fd : {&m_server, &m_peer}) {
            if (*fd >= 0)
                close(*fd);
            *fd = -1;
        }
    }

    // Ends both ways at once: libpq then finds the connection closed.
    void Shutdown()
    {
        if (m_server >= 0)
            shutdown(m_server, SHUT_RDWR);
        m_inEnded = true;
    }

    // Moves what can move now. The server's bytes are read only while those since Restart are
    // within bound (plus the one read that passes it).
    void Pump(qint64 bound)
    {
        if (m_server < 0)
            return;
        Move(m_server, m_peer, m_in, m_inEnded, bound);
        bool outEnded = false;
        Move(m_peer, m_server, m_out, outEnded, -1);
    }

    // Waits up to until for something to move.
    void Await(DbStep::Clock::time_point until) const
    {
        if (m_server < 0)
            return;
        const auto now = DbStep::Clock::now();
        if (now >= until)
            return;
        const auto slice = std::min<DbStep::Clock::duration>(until - now, std::chrono::milliseconds(100));
        pollfd ready[] = {{m_server, static_cast<short>((m_in.Empty() && !m_inEnded ? POLLIN : 0)
                                         | (m_out.Empty() ? 0 : POLLOUT)),
                              0},
            {m_peer, static_cast<short>((m_out.Empty() ? POLLIN : 0) | (m_in.Empty() ? 0 : POLLOUT)), 0}};
        poll(ready, 2, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count()));
    }

    // Nothing libpq passed on waits to be sent.
    bool SentAll() const { return m_out.Empty(); }

    // The server's bytes read since the last Restart.
    qint64 Arrived() const { return m_arrived - m_start; }
    void Restart() { m_start = m_arrived; }

private:
    struct Pending
    {
        std::vector<char> bytes;
        size_t at = 0;
        bool Empty() const { return at >= bytes.size(); }
    };

    // Reads from one side and writes to the other until either would block; a side that ended
    // is passed on as the end of writing.
    void Move(int from, int to, Pending& pending, bool& ended, qint64 bound)
    {
        for (;;) {
            if (pending.Empty()) {
                if (ended || (bound >= 0 && Arrived() > bound))
                    return;
                pending.bytes.resize(64 << 10);
                pending.at = 0;
                const ssize_t n = recv(from, pending.bytes.data(), pending.bytes.size(), 0);
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                    pending.bytes.clear();
                    return;
                }
                if (n <= 0) {
                    pending.bytes.clear();
                    ended = true;
                    shutdown(to, SHUT_WR);
                    return;
                }
                pending.bytes.resize(static_cast<size_t>(n));
                if (bound >= 0)
                    m_arrived += n;
            }
            const ssize_t n = send(to, pending.bytes.data() + pending.at, pending.bytes.size() - pending.at, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            pending.at += static_cast<size_t>(n);
        }
    }

    int m_server = -1; // the server's socket
    int m_peer = -1; // the end of the pair that libpq talks to
    Pending m_in; // from the server, not yet passed to libpq
    Pending m_out; // from libpq, not yet sent
    bool m_inEnded = false;
    qint64 m_arrived = 0;
    qint64 m_start = 0;
};

class PostgreSQLConnection;

// One statement on its way through the server, in a single round trip: the settings of its
// transaction (read only, its limits), the statement itself and the rollback go out together in
// libpq's pipeline with one sync, and the statement's rows stream back one at a time. Everything
// before the sync is one transaction the server began by itself, with no BEGIN: the rollback
// undoes what the statement set (set_config among it), and a statement that fails has the
// server end that transaction at the sync, so no answer ever ends with a transaction open (a
// pooler that hands out its connections statement by statement closes the client then). The
// settings are selected, not SET: their snapshot comes first, so the statement can no longer
// make the transaction one that writes. The extended protocol takes exactly one statement. A
// walk holds the statement, and so its transaction, until it ends.
//
// That transaction is no transaction block, though, and there a CALL (or DO) may commit and
// begin a transaction that writes. A statement that does not lead as a query is framed instead:
// the server parses it alone first (one Parse, which refuses a second statement), then the
// settings, the statement and the rollback go as one simple query, which the server runs as one
// implicit transaction block, where a procedure cannot end the transaction. A failure there
// has the server end the block at the query's end, so again no answer ends with it open.
class PgStatement
{
public:
    PgStatement(PostgreSQLConnection& connection, const QString& sql, bool walk);
    // The program's own question after its steps (DbConnection::QueryResolving), in the same
    // pipeline: each step is one extended-protocol statement too, which cannot hold two.
    PgStatement(PostgreSQLConnection& connection, const QStringList& steps, const QString& question);
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

    // What comes next has not arrived yet.
    bool Waiting() const;
    // Reads the results that have already arrived, waiting for none; true when they reach the
    // sync, so that nothing more is on its way and a cancel would only cost a connection.
    bool ReadArrived();
    bool Failed() const { return !m_error.isEmpty(); }
    const QString& Error() const { return m_error; }
    bool Stopped() const { return m_stopped; }

private:
    // Sends the queries and a ROLLBACK in the pipeline with one sync.
    void SendPipelined(std::vector<QByteArray> queries);
    // Has the server parse the statement alone, then sends it in its frame. False when the
    // statement failed before the frame went out.
    bool SendFramed(const QByteArray& statement, const std::vector<QByteArray>& settings);
    // The next result of the pipeline or the frame, null once the sync came back, the frame's
    // results are over or the connection is gone.
    PGresult* Read();
    // Fails with what a result reports, as the user reads it.
    void FailWith(PGresult* result);
    // Ends a transaction that a failure inside the pipeline left open.
    void RollBackWhatIsLeft();

    PostgreSQLConnection& m_connection;
    int m_query = 0; // the pipeline's query whose results come next
    int m_statementQuery = 0;
    int m_queries = 0; // sent in the pipeline
    bool m_framed = false; // sent as one simple query, not in the pipeline
    bool m_queryEnded = false; // framed: the last result ended its query
    bool m_synced = false; // the sync came back: nothing more is on its way
    bool m_cancelled = false;
    bool m_finished = false;
    bool m_arrivedOnly = false; // Read returns null rather than wait
    QString m_error;
    bool m_stopped = false;
};

// libpq's connection parameters for a source, as keyword and value arrays: nothing is
// parsed out of the values, and the database name is not read as a connection string
// (expand_dbname 0). No "options": poolers such as PgBouncer refuse it; each statement sets
// its own limit in its transaction. The question before a source connects shows these.
struct PgParameters
{
    explicit PgParameters(const DbServerSettings& settings)
        : bytes {settings.host.toUtf8(), QByteArray::number(settings.port), settings.database.toUtf8(),
            settings.user.toUtf8(), settings.password.toUtf8(), QByteArrayLiteral("UTF8")}
    {
        for (int i = 0; i < kCount; ++i)
            values[i] = bytes[i].constData();
    }
    static constexpr int kCount = 6;
    static constexpr int kPassword = 4;
    const char* keywords[kCount + 1] = {"host", "port", "dbname", "user", "password", "client_encoding", nullptr};
    QByteArray bytes[kCount];
    const char* values[kCount + 1] = {};
};

class PostgreSQLConnection final : public DbConnection
{
public:
    explicit PostgreSQLConnection(const DbServerSettings& settings)
    {
        const PgParameters parameters(settings);
        m_conn = PQconnectStartParams(parameters.keywords, parameters.values, 0);
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
        // Nonblocking: what libpq sends waits in its buffer until the relay takes it.
        if (!m_relay.Insert(PQsocket(m_conn)) || PQsetnonblocking(m_conn, 1) != 0) {
            Fail(QStringLiteral("无法连接PostgreSQL数据库：%1").arg(QString::fromLocal8Bit(strerror(errno))));
            Close();
            return;
        }
        m_cancel = PQgetCancel(m_conn);
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
                m_roleDrop = "select set_config('role', 'pg_read_all_data', true)";
        }
        // Not reported, it is not known: the login counts as one, as nothing is promised then.
        m_superuser = !superuser || qstrcmp(superuser, "on") == 0;
        m_jitSetting = PQserverVersion(m_conn) >= 110000;
    }
    ~PostgreSQLConnection() override { Close(); }

    bool IsOpen() const override { return m_conn != nullptr; }
    bool Lost() const override { return !m_conn || PQstatus(m_conn) == CONNECTION_BAD; }

    void Close() override
    {
        if (m_cancel)
            PQfreeCancel(m_cancel);
        m_cancel = nullptr;
        if (m_conn)
            PQfinish(m_conn);
        m_conn = nullptr;
        m_relay.Close();
    }

    // Ends a connection that cannot be used again: its statement is cancelled and it is closed.
    // The cancel handle stays for an Interrupt that may be under way on another thread.
    void Abandon()
    {
        Interrupt();
        if (m_conn)
            PQfinish(m_conn);
        m_conn = nullptr;
        m_relay.Close();
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
    bool QueryResolving(const QString& statement, const QString& guard, const QStringList& steps, const QString& question,
        DbRows& rows) override;
    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override;
    std::unique_ptr<DbCursor> OpenSeekingCursor(const QString& sql) override;
    // Whether the connection reaches the server itself rather than through a pooler. A preview
    // holds its walk's transaction open while the user turns pages: through a pooler that would
    // pin one of its few server connections for as long (and one that hands them out statement
    // by statement ends the client), so there the walk keeps its rows instead.
    bool ReachesServerItself();

    SqlServerKind ServerKind() const override { return m_kind; }
    bool SuperuserLogin() const override { return m_superuser; }

    PGconn* Conn() const { return m_conn; }
    QString DbMessage() const
    {
        return m_conn ? QString::fromUtf8(PQerrorMessage(m_conn)).trimmed() : QStringLiteral("未连接数据库");
    }
    // What each statement's transaction sets before the statement runs, in order.
    std::vector<QByteArray> Settings(bool walk) const
    {
        // The server ends a statement at the step's limit too. A walk's statement lives as long
        // as the walk, each slice of it under the step's own limit.
        QByteArray first = "select set_config('transaction_read_only', 'on', true)";
        // The program's own questions of the catalog cost far more by the planner's estimate
        // than they take: the server would compile each with JIT first, every time.
        if (m_jitSetting)
            first += ", set_config('jit', 'off', true)";
        if (!walk)
            first += ", set_config('statement_timeout', '" + QByteArray::number(GetDbLimits().statementMs) + "', true)";
        std::vector<QByteArray> settings {first};
        if (!m_roleDrop.isEmpty())
            settings.push_back(m_roleDrop);
        return settings;
    }

    // What the transaction of the program's own question sets (DbConnection::QueryResolving): the
    // step's limit, and no JIT, whose compiling costs far more than the catalog's small queries.
    QByteArray ResolvingSettings() const
    {
        QByteArray settings = "select set_config('statement_timeout', '" + QByteArray::number(GetDbLimits().statementMs)
            + "', true)";
        if (m_jitSetting)
            settings += ", set_config('jit', 'off', true)";
        return settings;
    }

    // The next result, waited for without blocking past the step (see WaitForInput). Null with
    // tooLarge set when one message grew past the slice bound: the connection is then closed.
    PGresult* NextResult(bool& tooLarge)
    {
        tooLarge = false;
        // The rows of one result share one wait: a server that goes on sending them after the
        // cancel is cut off like one that sends nothing.
        if (!m_inRows) {
            m_giveUp = DbStep::Clock::time_point::max();
            m_rowsAfterCancel = false;
        }
        while (PQisBusy(m_conn))
            if (!WaitForInput(tooLarge))
                break;
        m_inRows = false;
        if (tooLarge)
            return nullptr;
        m_relay.Restart();
        PGresult* result = PQgetResult(m_conn);
        if (result && PQresultStatus(result) == PGRES_SINGLE_TUPLE) {
            m_inRows = true;
            m_rowsAfterCancel = m_rowsAfterCancel || m_giveUp != DbStep::Clock::time_point::max();
            DbStep::NoteRowArrived();
        }
        return result;
    }

    // Passes on to libpq, once, what the server has sent so far: no more than the relay's pair
    // holds, so a result still streaming is not read on.
    void PassOnArrived() { m_relay.Pump(GetDbLimits().sliceBytes); }
    // The next result is among what has been passed on to libpq. Its buffer is read into only once
    // it holds no whole result: each read first moves what the buffer holds to its start, which
    // done for every row of a buffer full of them costs the square of its size, seconds on a
    // loaded machine.
    bool ResultArrived() { return !PQisBusy(m_conn) || (PQconsumeInput(m_conn) && !PQisBusy(m_conn)); }

    // A COPY holds the connection until its data has come or gone, and nothing here sends or
    // reads any: it is ended at once. True when the result was a COPY.
    bool EndCopy(ExecStatusType status)
    {
        const bool in = status == PGRES_COPY_IN || status == PGRES_COPY_BOTH;
        const bool out = status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH;
        if (in)
            PQputCopyEnd(m_conn, "COPY is not supported here");
        m_giveUp = DbStep::Clock::time_point::max();
        bool tooLarge = false;
        while (out && m_conn) {
            char* data = nullptr;
            const int size = PQgetCopyData(m_conn, &data, 1);
            if (size > 0) {
                PQfreemem(data);
                m_relay.Restart();
            } else if (size < 0 || !WaitForInput(tooLarge)) {
                break;
            }
        }
        return in || out;
    }

private:
    // Sends what libpq has to send and reads what came, waiting for it up to the step's end: at
    // its deadline the statement is cancelled, and a server that answers neither it nor its
    // cancel within a second has its socket shut, so that libpq gives up on it at once (the
    // connection is lost). False when the wait is over: given up, the connection lost, or a
    // message past the slice bound (tooLarge; the connection is then closed, as one that stopped
    // inside a message cannot be used again).
    bool WaitForInput(bool& tooLarge)
    {
        const qint64 bound = GetDbLimits().sliceBytes;
        const auto deadline = DbStep::Deadline();
        const auto now = DbStep::Clock::now();
        if (m_giveUp == DbStep::Clock::time_point::max() && (DbStep::Interrupted() || now >= deadline)) {
            if (!DbStep::Interrupted())
                CancelResult(m_conn);
            m_giveUp = now + std::chrono::seconds(1);
        }
        if (now >= m_giveUp) {
            DbStep::NoteConnectionCut(m_rowsAfterCancel);
            m_relay.Shutdown();
            m_relay.Pump(bound);
            PQconsumeInput(m_conn);
            return false;
        }
        const bool moreToSend = PQflush(m_conn) == 1;
        m_relay.Pump(bound);
        if (m_relay.Arrived() > bound) {
            tooLarge = true;
            Abandon();
            return false;
        }
        if (!PQconsumeInput(m_conn))
            return false;
        // A long statement goes out as fast as the server takes it.
        if (PQisBusy(m_conn) && !(moreToSend && m_relay.SentAll()))
            m_relay.Await(std::min(m_giveUp, deadline > now ? deadline : m_giveUp));
        return true;
    }

private:
    // The rows of the statement's first result set, as Query keeps them.
    bool Collect(PgStatement& statement, DbRows& rows, qint64 skip, qint64 maxRows);

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

    std::optional<bool> m_pooled; // a pooler stands between, once asked
    PGconn* m_conn = nullptr;
    PGcancel* m_cancel = nullptr; // made once connected, for Interrupt from another thread
    QString m_strTimeout;
    bool m_bServerAnswered = false;
    PgRelay m_relay;
    DbStep::Clock::time_point m_giveUp; // of the current wait
    bool m_inRows = false; // the last result was a row, and more of its set may follow
    bool m_rowsAfterCancel = false; // rows of the current wait came after its cancel
    SqlServerKind m_kind;
    QByteArray m_roleDrop; // the statement that drops a superuser's rights, empty when none
    bool m_jitSetting = false; // the server knows jit (version 11 on)
    bool m_superuser = false;
};

PgStatement::PgStatement(PostgreSQLConnection& connection, const QString& sql, bool walk)
    : m_connection(connection)
{
    PGconn* conn = m_connection.Conn();
    if (!conn) {
        m_finished = true;
        Fail(QStringLiteral("未连接数据库"));
        return;
    }
    std::vector<QByteArray> queries = m_connection.Settings(walk);
    m_statementQuery = static_cast<int>(queries.size());
    if (!PgLeadsAsQuery(sql)) {
        m_framed = true;
        if (!SendFramed(sql.toUtf8(), queries))
            m_synced = true;
        return;
    }
    queries.push_back(sql.toUtf8());
    SendPipelined(std::move(queries));
}

PgStatement::PgStatement(PostgreSQLConnection& connection, const QStringList& steps, const QString& question)
    : m_connection(connection)
{
    if (!m_connection.Conn()) {
        m_finished = true;
        Fail(QStringLiteral("未连接数据库"));
        return;
    }
    std::vector<QByteArray> queries {m_connection.ResolvingSettings()};
    for (const QString& step : steps)
        queries.push_back(step.toUtf8());
    m_statementQuery = static_cast<int>(queries.size());
    queries.push_back(question.toUtf8());
    SendPipelined(std::move(queries));
}

// Sends queries as one pipeline ended by a sync, each an extended-protocol statement of its own,
// which the server parses as one statement. NotEntered: nothing was sent; Failed: libpq refused
// one of them, and what went before it is answered up to the sync.
enum class PgPipelineSend { Sent, NotEntered, Failed };
PgPipelineSend SendPgPipeline(PGconn* conn, const std::vector<QByteArray>& queries)
{
    if (!PQenterPipelineMode(conn))
        return PgPipelineSend::NotEntered;
    bool sent = true;
    for (const QByteArray& query : queries) {
        if (!PQsendQueryParams(conn, query.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0)) {
            sent = false;
            break;
        }
    }
    if (!PQpipelineSync(conn))
        sent = false;
    return sent ? PgPipelineSend::Sent : PgPipelineSend::Failed;
}

void PgStatement::SendPipelined(std::vector<QByteArray> queries)
{
    queries.push_back("ROLLBACK");
    m_queries = static_cast<int>(queries.size());
    switch (SendPgPipeline(m_connection.Conn(), queries)) {
    case PgPipelineSend::Sent: break;
    case PgPipelineSend::NotEntered: m_finished = true; [[fallthrough]];
    case PgPipelineSend::Failed: Fail(m_connection.DbMessage()); break;
    }
}

bool PgStatement::SendFramed(const QByteArray& statement, const std::vector<QByteArray>& settings)
{
    PGconn* conn = m_connection.Conn();
    if (!PQsendPrepare(conn, "", statement.constData(), 0, nullptr)) {
        Fail(m_connection.DbMessage());
        return false;
    }
    bool tooLarge = false;
    while (PGresult* result = m_connection.NextResult(tooLarge)) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK)
            FailWith(result);
        PQclear(result);
    }
    if (tooLarge)
        Fail(DbSliceTooLargeMessage(), true);
    else if (!m_connection.Conn() || PQstatus(m_connection.Conn()) == CONNECTION_BAD)
        Fail(m_connection.DbMessage());
    if (Failed())
        return false;
    // The statement ends on a line of its own, past a comment it may end with.
    QByteArray frame;
    for (const QByteArray& setting : settings)
        frame += setting + ';';
    frame += statement + "\n;ROLLBACK";
    if (!PQsendQuery(conn, frame.constData())) {
        Fail(m_connection.DbMessage());
        return false;
    }
    return true;
}

// What a failed result says, fallback where the server said nothing; stopped when the refusal is
// our own, complete in itself.
QString PgResultFailure(PGresult* result, const QString& fallback, bool& stopped)
{
    const QString state = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_SQLSTATE));
    stopped = PgRefusesSeveralStatements(state, QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)));
    if (stopped)
        return PgSeveralStatementsMessage();
    const QString error = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    // A cancel that is not ours (an administrator's pg_cancel_backend, a pooler's): libpq's
    // words alone would not say that the statement itself was fine.
    if (state == u"57014")
        return QStringLiteral("PostgreSQL服务器取消了语句：%1").arg(error);
    return error.isEmpty() ? fallback : error;
}

void PgStatement::FailWith(PGresult* result)
{
    bool stopped = false;
    const QString message = PgResultFailure(result, m_connection.DbMessage(), stopped);
    Fail(message, stopped);
}

PGresult* PgStatement::Read()
{
    while (!m_synced) {
        PGconn* conn = m_connection.Conn();
        if (!conn) {
            m_synced = true;
            break;
        }
        if (m_queryEnded) {
            ++m_query;
            m_queryEnded = false;
        }
        if (m_query == m_statementQuery && !m_cancelled)
            PQsetSingleRowMode(conn); // refused (harmlessly) once the statement's results began
        if (m_arrivedOnly && !m_connection.ResultArrived())
            break;
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
            if (m_framed) { // the frame's results are all over
                m_synced = true;
                break;
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
            if (!m_cancelled)
                FailWith(result);
            PQclear(result);
            if (PQstatus(conn) == CONNECTION_BAD)
                m_synced = true;
            continue;
        }
        // In the frame a query's results end with the one that is not a row.
        m_queryEnded = m_framed && status != PGRES_SINGLE_TUPLE;
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
        if (m_connection.EndCopy(status)) {
            Fail(CopyRefusal());
            PQclear(result);
            continue;
        }
        return result;
    }
    return nullptr;
}

bool PgStatement::Waiting() const
{
    return m_connection.Conn() && PQisBusy(m_connection.Conn());
}

bool PgStatement::ReadArrived()
{
    if (m_connection.Conn())
        m_connection.PassOnArrived();
    m_arrivedOnly = true;
    while (!m_finished && !m_synced) {
        PGresult* result = Read();
        if (!result)
            break;
        m_connection.EndCopy(PQresultStatus(result));
        PQclear(result);
    }
    m_arrivedOnly = false;
    return m_finished || m_synced;
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
        m_connection.EndCopy(PQresultStatus(result));
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
    // A failure inside the pipeline has the server end its transaction at the sync; one the
    // statement began itself (a BEGIN of its own) waits for a rollback of its own. A cancel
    // that comes late may stop that one too: once more.
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

// One row a walk or a query keeps against the bounds: no value past the value bound, and the rows
// of one call within the slice bound. Empty, or our refusal.
QString PgRowFault(PGresult* row, qint64& keptBytes)
{
    const DbLimits limits = GetDbLimits();
    for (int c = 0; c < PQnfields(row); ++c) {
        const qint64 length = PQgetlength(row, 0, c);
        if (length > limits.valueBytes)
            return DbValueTooLargeMessage(QString::fromUtf8(PQfname(row, c)));
        keptBytes += length + static_cast<qint64>(sizeof(quint32)) + 1; // a cell's text, its end, its null mark
    }
    return keptBytes > limits.sliceBytes ? DbSliceTooLargeMessage() : QString();
}

// PgRowFault for a statement's row; false with the statement failed and cancelled.
bool KeepPgRow(PGresult* row, PgStatement& statement, qint64& keptBytes)
{
    const QString fault = PgRowFault(row, keptBytes);
    if (fault.isEmpty())
        return true;
    statement.Fail(fault, true);
    statement.Cancel();
    return false;
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
    return Collect(statement, rows, skip, maxRows);
}

bool PostgreSQLConnection::QueryResolving(
    const QString&, const QString& guard, const QStringList& steps, const QString& question, DbRows& rows)
{
    rows.Clear();
    m_bStopped = false;
    if (!m_conn)
        return FailNotConnected();
    PgStatement statement(*this, QStringList(guard) + steps, question);
    return Collect(statement, rows, 0, -1);
}

bool PostgreSQLConnection::Collect(PgStatement& statement, DbRows& rows, qint64 skip, qint64 maxRows)
{
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
            // Enough rows: ask the server to stop and drain what is still on its way. The end of a
            // short result (a count's one row) has mostly come with its rows already; a cancel
            // would cost a connection of its own, so only rows still to be waited for are.
            if (window.Done() && !cancelled && statement.Waiting()) {
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
        // The rest of a short result has mostly come with its last rows read.
        if (!m_done && !m_statement->ReadArrived())
            m_statement->Cancel();
    }

    // Through a pooler the server's session is not this connection's to ask about: the walk is
    // only bounded in time, the short bound.
    Hold Watch() override
    {
        Hold hold;
        hold.held = !m_done;
        hold.unseen = hold.held;
        return hold;
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

// The statement declared as a scrollable cursor in a transaction of its own that lasts as long as
// the cursor, so that the server moves past rows without sending them and the rows keep one order,
// ties included, since the statement runs once. The transaction is set up as every statement's
// (read only, the step's limit for each statement in it, a superuser's rights dropped) before the
// cursor is declared, and the statement is declared by one extended-protocol query, which the
// server parses as one statement: a query inside DECLARE cannot end the transaction or hold a
// second statement. Each move and fetch is a statement of its own; the rollback at the end closes
// the cursor and the transaction.
class PgSeekingCursor final : public DbCursor
{
public:
    PgSeekingCursor(PostgreSQLConnection& connection, const QString& sql) : m_connection(connection)
    {
        std::vector<QByteArray> queries {"BEGIN"};
        for (const QByteArray& setting : m_connection.Settings(false))
            queries.push_back(setting);
        queries.push_back("DECLARE vc_walk SCROLL CURSOR FOR " + sql.toUtf8());
        const PgPipelineSend sent = SendPgPipeline(m_connection.Conn(), queries);
        if (sent != PgPipelineSend::Sent)
            FailWith(m_connection.DbMessage());
        if (sent == PgPipelineSend::NotEntered)
            return;
        // libpq refused a part, the sync perhaps too: nothing tells where the answers end.
        if (sent == PgPipelineSend::Failed) {
            m_ended = true;
            m_connection.Abandon();
            return;
        }
        // Every result up to the sync: the first failure is the one told.
        for (bool synced = false; !synced && m_connection.Conn();) {
            bool tooLarge = false;
            PGresult* result = m_connection.NextResult(tooLarge);
            if (!result) {
                if (tooLarge || PQstatus(m_connection.Conn()) == CONNECTION_BAD) {
                    FailWith(tooLarge ? DbSliceTooLargeMessage() : m_connection.DbMessage(), tooLarge);
                    break;
                }
                continue;
            }
            const ExecStatusType status = PQresultStatus(result);
            synced = status == PGRES_PIPELINE_SYNC;
            if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE)
                FailWith(result);
            PQclear(result);
        }
        if (m_connection.Conn() && !PQexitPipelineMode(m_connection.Conn()))
            FailWith(m_connection.DbMessage());
        if (m_failed)
            End();
    }
    ~PgSeekingCursor() override { End(); }

    bool Seek(qint64 position) override
    {
        if (!Usable())
            return false;
        if (position == m_position)
            return true;
        Run("MOVE ABSOLUTE " + QByteArray::number(position) + " IN vc_walk", nullptr);
        if (m_failed)
            return false;
        m_position = position;
        return true;
    }

    bool Skip(qint64 count) override
    {
        if (!Usable())
            return false;
        const qint64 moved = Run("MOVE FORWARD " + QByteArray::number(count) + " IN vc_walk", nullptr);
        if (m_failed)
            return false;
        m_position += moved;
        return true;
    }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        rows.Clear();
        if (!Usable())
            return false;
        const QByteArray fetch = maxRows < 0 ? QByteArray("FETCH FORWARD ALL FROM vc_walk")
                                             : "FETCH FORWARD " + QByteArray::number(maxRows) + " FROM vc_walk";
        const qint64 fetched = Run(fetch, &rows);
        if (m_failed) {
            rows.Clear();
            return false;
        }
        m_position += fetched;
        return true;
    }

    bool CanSeek() const override { return true; }

    // Asked in the walk's own transaction, which its connection holds idle between pages: the
    // sessions that wait for a lock and whose blockers include this one. Whether the server is a
    // standby goes with it, so the watch costs one round trip.
    Hold Watch() override
    {
        Hold hold;
        hold.held = !m_ended && !m_failed && m_connection.Conn();
        if (!hold.held)
            return hold;
        DbRows rows;
        Run("select pg_is_in_recovery()::int, exists (select from pg_locks where not granted "
            "and pg_backend_pid() = any (pg_blocking_pids(pid)))::int",
            &rows);
        hold.standby = rows.RowCount() == 1 && rows.Value(0, 0) == u"1";
        hold.waitedFor = m_failed || rows.RowCount() != 1 || rows.Value(0, 1) == u"1";
        return hold;
    }

private:
    bool Usable()
    {
        if (!m_failed && m_connection.Conn())
            return true;
        if (!m_failed)
            FailWith(QStringLiteral("未连接数据库"));
        return false;
    }

    void FailWith(const QString& message, bool stopped = false)
    {
        if (!m_failed) {
            m_failed = true;
            m_bStopped = stopped;
            Fail(message);
        }
    }

    void FailWith(PGresult* result)
    {
        bool stopped = false;
        const QString message = PgResultFailure(result, m_connection.DbMessage(), stopped);
        FailWith(message, stopped);
    }

    // Runs one statement on the cursor, its rows (one at a time, within the bounds) into rows when
    // given; the rows it moved over or fetched. A failure ends the cursor.
    qint64 Run(const QByteArray& query, DbRows* rows)
    {
        PGconn* conn = m_connection.Conn();
        if (!PQsendQueryParams(conn, query.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0)) {
            FailWith(m_connection.DbMessage());
            End();
            return 0;
        }
        if (rows)
            PQsetSingleRowMode(conn);
        qint64 count = 0;
        qint64 kept = 0;
        bool shaped = false;
        bool refused = false;
        for (;;) {
            bool tooLarge = false;
            PGresult* result = m_connection.NextResult(tooLarge);
            if (!result) {
                if (tooLarge)
                    FailWith(DbSliceTooLargeMessage(), true);
                else if (!m_connection.Conn() || PQstatus(m_connection.Conn()) == CONNECTION_BAD)
                    FailWith(m_connection.DbMessage());
                break;
            }
            const ExecStatusType status = PQresultStatus(result);
            if (rows && !shaped && (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK)) {
                rows->Reset(PgColumnNames(result));
                shaped = true;
            }
            if (status == PGRES_SINGLE_TUPLE && rows && !refused) {
                if (const QString fault = PgRowFault(result, kept); !fault.isEmpty()) {
                    FailWith(fault, true);
                    refused = true;
                    CancelResult(conn); // what is on its way is read and dropped
                } else {
                    AppendPgRow(result, *rows);
                    ++count;
                }
            } else if (status == PGRES_COMMAND_OK && !rows) {
                count = QByteArray(PQcmdTuples(result)).toLongLong();
            } else if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE || status == PGRES_NONFATAL_ERROR) {
                if (!refused)
                    FailWith(result);
            } else if (m_connection.EndCopy(status)) {
                FailWith(CopyRefusal());
            }
            PQclear(result);
        }
        if (m_failed)
            End();
        return count;
    }

    // Ends the transaction, and with it the cursor; a connection that cannot is given up.
    void End()
    {
        if (m_ended)
            return;
        m_ended = true;
        PGconn* conn = m_connection.Conn();
        if (!conn || PQtransactionStatus(conn) == PQTRANS_IDLE)
            return;
        if (PQsendQuery(conn, "ROLLBACK")) {
            bool tooLarge = false;
            while (PGresult* result = m_connection.NextResult(tooLarge))
                PQclear(result);
        }
        if (m_connection.Conn() && PQtransactionStatus(m_connection.Conn()) != PQTRANS_IDLE)
            m_connection.Abandon();
    }

    PostgreSQLConnection& m_connection;
    bool m_failed = false;
    bool m_ended = false;
};

bool PostgreSQLConnection::ReachesServerItself()
{
    if (!m_pooled) {
        // A pooler makes up the process number it gives its clients: the server's own differs.
        // Not known, it counts as pooled, and is not asked again.
        QStringList pid;
        m_pooled = !QueryFirstColumn(QStringLiteral("select pg_backend_pid()"), pid) || pid.size() != 1
            || pid[0].toInt() != PQbackendPID(m_conn);
    }
    return !*m_pooled;
}

std::unique_ptr<DbCursor> PostgreSQLConnection::OpenSeekingCursor(const QString& sql)
{
    m_bStopped = false;
    // A query only: DECLARE takes nothing else, and a CALL or DO is framed apart (PgStatement).
    if (!m_conn || !PgLeadsAsQuery(sql) || !ReachesServerItself())
        return OpenCursor(sql);
    return std::make_unique<PgSeekingCursor>(*this, sql);
}

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
    if (!IsDbPort(settings.port))
        return Unavailable(DbPortRefusal(QString::number(settings.port)), true);
    return OpenOnWorker(settings.database.isEmpty() ? settings.host : settings.database,
        [settings]() -> std::unique_ptr<DbConnection> { return std::make_unique<PostgreSQLConnection>(settings); });
}

DbReach PostgreSQLReach(const DbServerSettings& settings)
{
    DbReach reach;
    reach.client = QStringLiteral("libpq");
    reach.server = SqlServerKind::PostgreSQL;
    if (!IsDbPort(settings.port)) {
        reach.refusal = DbPortRefusal(QString::number(settings.port));
        return reach;
    }
    reach.kind = DbReach::Server;
    const PgParameters parameters(settings);
    for (int i = 0; i < PgParameters::kCount; ++i) {
        reach.sent.append({QLatin1String(parameters.keywords[i]),
            i == PgParameters::kPassword ? QString() : QString::fromUtf8(parameters.bytes[i])});
    }
    // What libpq takes for a parameter left empty: the environment's PGHOST and the like,
    // or a service file's entry. A label cannot set these, but they decide where it goes.
    if (PQconninfoOption* defaults = PQconndefaults()) {
        for (const PQconninfoOption* option = defaults; option->keyword; ++option) {
            const QLatin1String keyword(option->keyword);
            const bool shown = keyword == QLatin1String("host") || keyword == QLatin1String("hostaddr")
                || keyword == QLatin1String("port") || keyword == QLatin1String("dbname")
                || keyword == QLatin1String("user") || keyword == QLatin1String("service");
            if (shown && option->val && *option->val)
                reach.defaults.append({keyword, QString::fromUtf8(option->val)});
        }
        PQconninfoFree(defaults);
    }
    reach.defaultsFrom = QStringLiteral("libpq 的环境变量和服务文件");
    return reach;
}
