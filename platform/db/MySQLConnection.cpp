#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbReach.h"
#include "platform/db/DbWait.h"

#include <QFile>

#include <errmsg.h>
#include <mysql.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>

namespace {

QString MySqlMessage(MYSQL* mysql)
{
    return QString::fromUtf8(mysql_error(mysql)).trimmed();
}

// Reads and drops the rows of a streamed result not taken, then frees it. Each row is noted
// as it arrives: a server that goes on sending after it was asked to stop is not silent.
void DropResult(MYSQL_RES* result)
{
    while (mysql_fetch_row(result))
        DbStep::NoteRowArrived();
    mysql_free_result(result);
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
            DropResult(result);
        else if (mysql_field_count(mysql) != 0)
            return MySqlMessage(mysql);
    }
    return {};
}

// Where the client goes. Given "localhost" (or no host) the client would take its local socket
// and pass over any port, so that a question showing the port would show what never connects:
// wherever a port is given it goes by TCP, and only the local host without one takes the socket.
// Both are named to the client, so that none of its defaults (nor MYSQL_TCP_PORT) decides.
struct MyTarget
{
    QString host;
    unsigned int port = 0;
    QString socket; // the local socket, for the local host without a port
};

bool IsMyLocalHost(const QString& host)
{
    return host.isEmpty() || host == u"localhost";
}

// The local server's socket, as the client would take it.
QString MyLocalSocket()
{
    const QString socket = qEnvironmentVariable("MYSQL_UNIX_PORT");
    return socket.isEmpty() ? QStringLiteral(MARIADB_UNIX_ADDR) : socket;
}

MyTarget MyTargetOf(const DbServerSettings& settings)
{
    MyTarget target;
    target.host = settings.host;
    if (settings.port <= 0 && IsMyLocalHost(settings.host)) {
        target.socket = MyLocalSocket();
    } else {
        target.port = settings.port > 0 ? static_cast<unsigned int>(settings.port) : MARIADB_PORT;
    }
    return target;
}

// A connected handle (mysql_errno set when the connect failed), null without memory.
MYSQL* ConnectMySql(const DbServerSettings& settings, unsigned int connectSeconds, unsigned int ioSeconds)
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
    // A row is one packet: none larger than the rows one call may keep reaches memory.
    const unsigned long packet = static_cast<unsigned long>(std::min<qint64>(GetDbLimits().sliceBytes, 1 << 30));
    mysql_options(mysql, MYSQL_OPT_MAX_ALLOWED_PACKET, &packet);
    const MyTarget target = MyTargetOf(settings);
    const unsigned int protocol = target.socket.isEmpty() ? MYSQL_PROTOCOL_TCP : MYSQL_PROTOCOL_SOCKET;
    mysql_options(mysql, MYSQL_OPT_PROTOCOL, &protocol);
    const QByteArray host = target.host.toUtf8();
    const QByteArray socket = QFile::encodeName(target.socket);
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    const QByteArray database = settings.database.toUtf8();
    // Several results for a CALL, never several statements in one text.
    mysql_real_connect(mysql, host.constData(), user.constData(), password.constData(), database.constData(),
        target.port, target.socket.isEmpty() ? nullptr : socket.constData(), CLIENT_MULTI_RESULTS);
    return mysql;
}

// A value's or a row's size against the step's bounds; empty, or our refusal.
QString MyBoundFault(
    const DbLimits& limits, const MYSQL_FIELD* fields, const unsigned long* lengths, unsigned int columns, qint64& kept)
{
    for (unsigned int c = 0; c < columns; ++c) {
        if (static_cast<qint64>(lengths[c]) > limits.valueBytes)
            return DbValueTooLargeMessage(QString::fromUtf8(fields[c].name, fields[c].name_length));
        kept += static_cast<qint64>(lengths[c]);
    }
    return kept > limits.sliceBytes ? DbSliceTooLargeMessage() : QString();
}

// Appends a row's values as the client library holds them.
void AppendMyRow(DbRows& rows, MYSQL_ROW row, const unsigned long* lengths, unsigned int columns)
{
    for (unsigned int c = 0; c < columns; ++c) {
        if (!row[c])
            rows.AppendNull();
        else
            rows.AppendUtf8(row[c], static_cast<qsizetype>(lengths[c]));
    }
}

// The session every statement of a connection runs in. Each statement runs in a
// transaction that only reads, so nothing it or a function or procedure it calls does
// stays, and no statement ("set statement tx_read_only=0 for ...") can make itself one
// that writes; the session is read-only besides. The transaction after a statement is
// ended and the next one begun with one command ("rollback and chain", which keeps the
// read-only mode) sent as the statement ends and answered while nothing waits for it, so
// a statement costs one round trip. A statement that left the transaction it ran in
// (commit, "start transaction read write"), failed, or changed the session (sql_mode, the
// session's transaction mode, the character set) is followed by a reset of the session
// and its settings again before the next statement.
class MySession
{
public:
    MYSQL* mysql = nullptr;
    DbServerSettings settings;

    MySession() = default;
    MySession(const MySession&) = delete;
    MySession& operator=(const MySession&) = delete;
    ~MySession() { CloseWatch(); }

    // A second connection that watches the walk while it streams (MySQLCursor::Watch): the
    // walk's own takes nothing else until its rows are read. Made at the first watch and kept
    // while the walk's connection lives, so that a watch costs one round trip; null when it
    // cannot connect.
    MYSQL* Watcher()
    {
        if (!m_watch) {
            m_watch = ConnectMySql(settings, 5, 5);
            if (m_watch && mysql_errno(m_watch) != 0)
                CloseWatch();
        }
        return m_watch;
    }
    void CloseWatch()
    {
        if (m_watch)
            mysql_close(m_watch);
        m_watch = nullptr;
    }
    // Whether the login may see other logins' sessions in the process list (the PROCESS
    // privilege): without it the list shows its own alone, and an empty answer would say that
    // nobody waits. Asked once on the watch's connection, and not trusted when it cannot be
    // asked; a privilege held through a role is not seen, which costs only the shorter bound.
    bool SeesOtherSessions()
    {
        if (!m_seesOthers) {
            MYSQL* watch = Watcher();
            static const QByteArray ask
                = "select count(*) from information_schema.user_privileges where privilege_type = 'PROCESS' and "
                  "grantee = concat('''', substring_index(current_user(), '@', 1), '''@''', "
                  "substring_index(current_user(), '@', -1), '''')";
            MYSQL_RES* result = watch && mysql_real_query(watch, ask.constData(), static_cast<unsigned long>(ask.size())) == 0
                ? mysql_store_result(watch)
                : nullptr;
            const MYSQL_ROW row = result ? mysql_fetch_row(result) : nullptr;
            if (row && row[0])
                m_seesOthers = qstrcmp(row[0], "0") != 0;
            if (result)
                mysql_free_result(result);
            else
                CloseWatch();
        }
        return m_seesOthers.value_or(false);
    }

    // The failure of reading a row. A row larger than the packet limit ends the connection
    // as a lost server does, with the same error; the client library tells the two apart in its
    // connection state (1: it refused a packet, 2: the connection was lost). A connection the
    // server ended (its client did not read for net_write_timeout, an administrator killed it,
    // a restart) is told as such, never as a bound. stopped is set for our refusal.
    QString RowFailure(bool& stopped) const
    {
        const unsigned int code = mysql_errno(mysql);
        const QString message = MySqlMessage(mysql);
        if ((code != 2013 && code != 2020) || DbStep::Over()) // CR_SERVER_LOST, CR_NET_PACKET_TOO_LARGE
            return message;
        if (code == 2020 || mysql->net.error == 1) {
            stopped = true;
            return DbSliceTooLargeMessage();
        }
        return QStringLiteral("服务器中断了数据源“%1”的记录读取：%2").arg(DbSourceScope::Current(), message);
    }

    // The session's settings, at connect and after a reset; false with the server's
    // message. sql_mode is compared with the one read at connect, which the statements'
    // judge was told. The settings and the read-only transaction's begin go out together and
    // are answered in order, in one round trip: each is carried out as if sent alone, and a
    // failure among them fails the whole before any statement of the label's is sent.
    bool Set(int statementMs, QString& error)
    {
        // MariaDB ends a statement at the step's limit itself; MySQL does not know the
        // setting and refuses it, which changes nothing. Servers before MySQL 5.7 and
        // MariaDB 10.2 cannot say when a statement changed the session: their sql_mode is
        // then left unknown, and the judge reads statements every way.
        enum { Limit, ReadOnly, Tracked, Mode, Begin, Count };
        const QByteArray texts[Count] = {
            "set session max_statement_time=" + QByteArray::number(DbLimitSeconds(statementMs)),
            "SET SESSION TRANSACTION READ ONLY", "set session session_track_state_change=1",
            "select @@session.sql_mode", "START TRANSACTION READ ONLY"};
        int sent = 0;
        QString failure;
        for (; sent < Count; ++sent) {
            if (mysql_send_query(mysql, texts[sent].constData(), static_cast<unsigned long>(texts[sent].size())) != 0) {
                failure = MySqlMessage(mysql);
                break;
            }
        }
        QByteArray mode;
        bool haveMode = false;
        m_tracked = false;
        for (int answer = 0; answer < sent; ++answer) {
            if (mysql_read_query_result(mysql) != 0) {
                const unsigned int code = mysql_errno(mysql);
                const bool lost = code == 2006 || code == 2013; // CR_SERVER_GONE_ERROR, CR_SERVER_LOST
                if (failure.isEmpty() && (lost || (answer != Limit && answer != Tracked)))
                    failure = MySqlMessage(mysql);
                if (lost)
                    break;
                continue;
            }
            if (answer == Tracked)
                m_tracked = true;
            if (answer == Mode) {
                MYSQL_RES* result = mysql_store_result(mysql);
                const MYSQL_ROW row = result ? mysql_fetch_row(result) : nullptr;
                if (row && row[0]) {
                    mode = QByteArray(row[0], static_cast<qsizetype>(mysql_fetch_lengths(result)[0]));
                    haveMode = true;
                }
                if (result)
                    mysql_free_result(result);
                if (!haveMode && failure.isEmpty())
                    failure = MySqlMessage(mysql);
            }
        }
        if (!failure.isEmpty() || !haveMode) {
            error = failure.isEmpty() ? MySqlMessage(mysql) : failure;
            m_restore = true;
            return false;
        }
        if (mysql_set_server_option(mysql, MYSQL_OPTION_MULTI_STATEMENTS_OFF) != 0)
            return Failed(error);
        if (!m_connected) {
            m_sqlMode = mode;
            m_connected = true;
        } else if (mode != m_sqlMode) {
            // The server's default changed since the connect: the connect's stands.
            QByteArray escaped(m_sqlMode.size() * 2 + 1, Qt::Uninitialized);
            escaped.truncate(static_cast<qsizetype>(mysql_real_escape_string(
                mysql, escaped.data(), m_sqlMode.constData(), static_cast<unsigned long>(m_sqlMode.size()))));
            const QByteArray set = "set session sql_mode='" + escaped + '\'';
            if (mysql_real_query(mysql, set.constData(), static_cast<unsigned long>(set.size())) != 0)
                return Failed(error);
        }
        m_restore = false;
        m_chained = false;
        if (!InReadOnlyTransaction()) {
            error = QStringLiteral("服务器没有开始只读事务");
            m_restore = true;
            return false;
        }
        return true;
    }

    SqlServerKind Kind() const
    {
        SqlServerKind kind;
        kind.server = SqlServerKind::MySQL;
        if (m_tracked) {
            const QList<QByteArray> modes = m_sqlMode.toUpper().split(',');
            // ANSI turns ANSI_QUOTES on with the rest; the server lists the parts too.
            kind.ansiQuotes = modes.contains("ANSI_QUOTES") || modes.contains("ANSI");
            kind.noBackslashEscapes = modes.contains("NO_BACKSLASH_ESCAPES");
        }
        return kind;
    }

    // Before a statement: the read-only transaction it runs in is open. False with the
    // server's message.
    bool Ready(int statementMs, QString& error)
    {
        if (m_chained) {
            m_chained = false;
            m_restore = mysql_read_query_result(mysql) != 0 || !InReadOnlyTransaction();
        }
        if (m_restore) {
            if (mysql_reset_connection(mysql) != 0)
                return Failed(error);
            return Set(statementMs, error);
        }
        return true;
    }

    // After a statement whose every result was read (clean), or one that failed.
    void Settle(bool clean)
    {
        if (!clean || !InReadOnlyTransaction() || (mysql->server_status & SERVER_SESSION_STATE_CHANGED)) {
            m_restore = true;
            return;
        }
        static const char chain[] = "ROLLBACK AND CHAIN";
        m_chained = mysql_send_query(mysql, chain, sizeof chain - 1) == 0;
        m_restore = !m_chained;
    }

private:
    bool InReadOnlyTransaction() const
    {
        constexpr unsigned int both = SERVER_STATUS_IN_TRANS | SERVER_STATUS_IN_TRANS_READONLY;
        return (mysql->server_status & both) == both;
    }

    bool Failed(QString& error)
    {
        error = MySqlMessage(mysql);
        m_restore = true;
        return false;
    }

    MYSQL* m_watch = nullptr; // Watcher()
    std::optional<bool> m_seesOthers; // SeesOtherSessions(), once answered
    QByteArray m_sqlMode;
    bool m_connected = false;
    bool m_tracked = false;
    bool m_chained = false; // "rollback and chain" sent, its answer not read
    bool m_restore = false; // the session is reset and set before the next statement
};

// The statement's first result set streamed from the server and read on from call to
// call. The client library reads the server's packets a buffer at a time; each row is taken
// from that buffer in a tight loop, passed over without being copied or kept in the rows.
class MySQLCursor final : public DbCursor
{
public:
    MySQLCursor(MySession& session, const QString& sql) : m_session(session), m_mysql(session.mysql)
    {
        QString error;
        if (!m_session.Ready(GetDbLimits().statementMs, error)) {
            Fail(error);
            return;
        }
        const QByteArray text = sql.toUtf8();
        if (mysql_real_query(m_mysql, text.constData(), static_cast<unsigned long>(text.size())) != 0) {
            Fail(MySqlMessage(m_mysql));
            m_session.Settle(false);
            return;
        }
        m_result = mysql_use_result(m_mysql);
        if (!m_result) {
            if (mysql_field_count(m_mysql) != 0)
                Fail(MySqlMessage(m_mysql));
            const QString later = DrainResults(m_mysql);
            m_session.Settle(m_strLastError.isEmpty() && later.isEmpty());
            return;
        }
        const MYSQL_FIELD* fields = mysql_fetch_fields(m_result);
        for (unsigned int c = 0; c < mysql_num_fields(m_result); ++c)
            m_names.append(QString::fromUtf8(fields[c].name, fields[c].name_length));
    }
    // A walk left before its end reads on through what is on its way, as the rest of a short
    // result is; one that goes on past that is stopped first, as Release does: read out, it would
    // hold the close for as long as the statement runs, and past the close's limit cost the
    // connection.
    ~MySQLCursor() override
    {
        qint64 read = 0;
        while (read < kLeftReadBytes && Next()) {
            const unsigned long* lengths = mysql_fetch_lengths(m_result);
            for (qsizetype c = 0; c < m_names.size(); ++c)
                read += static_cast<qint64>(lengths[c]) + 1;
        }
        Release();
    }

    // The rows not read yet keep the statement's read-only transaction open, and with it the
    // metadata lock of every table it reads, which an ALTER (and every statement queued behind
    // it) waits for. The watch asks from its second connection whether any session waits for a
    // table's metadata lock: the server does not say for which table, so a waiter of another
    // table's gives this walk back too, which costs only its run again. A login without the
    // PROCESS privilege sees its own sessions only, and a watch that cannot ask tells nothing
    // (its connection is made again at the next): the short idle bound holds for those.
    Hold Watch() override
    {
        Hold hold;
        hold.held = m_result != nullptr;
        if (!hold.held)
            return hold;
        // Its own login's sessions it sees all the same.
        const bool seesOthers = m_session.SeesOtherSessions();
        MYSQL* watch = m_session.Watcher();
        const QByteArray ask = "select count(*) from information_schema.processlist where state = 'Waiting for table "
                               "metadata lock' and id <> "
            + QByteArray::number(static_cast<qulonglong>(mysql_thread_id(m_mysql)));
        MYSQL_RES* result = watch && mysql_real_query(watch, ask.constData(), static_cast<unsigned long>(ask.size())) == 0
            ? mysql_store_result(watch)
            : nullptr;
        const MYSQL_ROW row = result ? mysql_fetch_row(result) : nullptr;
        hold.waitedFor = row && row[0] && qstrcmp(row[0], "0") != 0;
        if (result)
            mysql_free_result(result);
        else
            m_session.CloseWatch();
        hold.unseen = !row || !seesOthers;
        return hold;
    }

    // The statement is stopped first, so that ending the walk reads no more than what is on
    // its way.
    void Release() override
    {
        if (!m_result)
            return;
        if (MYSQL* watch = m_session.Watcher()) {
            const QByteArray kill = "kill query " + QByteArray::number(static_cast<qulonglong>(mysql_thread_id(m_mysql)));
            mysql_real_query(watch, kill.constData(), static_cast<unsigned long>(kill.size()));
        }
        End();
    }

    bool Skip(qint64 count) override
    {
        for (; count > 0 && Next(); --count)
            ++m_position;
        return m_strLastError.isEmpty();
    }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        rows.Reset(m_names);
        const DbLimits limits = GetDbLimits();
        const MYSQL_FIELD* fields = m_result ? mysql_fetch_fields(m_result) : nullptr;
        const auto columns = static_cast<unsigned int>(m_names.size());
        qint64 kept = 0; // bytes of the values this call keeps
        for (qint64 n = 0; (maxRows < 0 || n < maxRows) && Next(); ++n) {
            const unsigned long* lengths = mysql_fetch_lengths(m_result);
            const QString fault = MyBoundFault(limits, fields, lengths, columns, kept);
            if (!fault.isEmpty()) {
                Fail(fault);
                m_bStopped = true;
                End();
                break;
            }
            AppendMyRow(rows, m_row, lengths, columns);
            ++m_position;
        }
        if (!m_strLastError.isEmpty()) {
            rows.Clear();
            return false;
        }
        return true;
    }

private:
    // Moves to the next row; false at the end, or on failure with LastError() set.
    bool Next()
    {
        if (!m_result)
            return false;
        m_row = mysql_fetch_row(m_result);
        if (!m_row) {
            if (mysql_errno(m_mysql) != 0)
                Fail(m_session.RowFailure(m_bStopped));
            End();
            return false;
        }
        DbStep::NoteRowArrived();
        return true;
    }

    // Frees the result (reading the rows not taken) and the sets after it, so the
    // connection takes statements again.
    void End()
    {
        if (!m_result)
            return;
        const bool failed = !m_strLastError.isEmpty();
        DropResult(m_result);
        m_result = nullptr;
        const QString later = DrainResults(m_mysql);
        m_session.Settle(!failed && later.isEmpty());
    }

    static constexpr qint64 kLeftReadBytes = qint64(1) << 20; // read on past a walk's end before it is stopped

    MySession& m_session;
    MYSQL* m_mysql;
    MYSQL_RES* m_result = nullptr;
    MYSQL_ROW m_row = nullptr;
    QStringList m_names;
};

class MySQLConnection final : public DbConnection
{
public:
    explicit MySQLConnection(const DbServerSettings& settings)
    {
        m_session.settings = settings;
        const DbLimits limits = GetDbLimits();
        m_mysql = ConnectMySql(settings, DbLimitSeconds(limits.connectMs), DbLimitSeconds(limits.statementMs));
        m_session.mysql = m_mysql;
        if (!m_mysql) {
            Fail(QStringLiteral("无法连接MySQL数据库：内存不足"));
            return;
        }
        if (mysql_errno(m_mysql) != 0) {
            const QString advice = SocketAdvice(settings);
            if (advice.isEmpty())
                Fail(QStringLiteral("无法连接MySQL数据库：%1").arg(DbMessage()));
            else
                Refuse(advice);
            Close();
            return;
        }
        // Known before anything else is sent, so that Interrupt can reach every step.
        m_threadId = mysql_thread_id(m_mysql);
        m_socket = static_cast<int>(mysql_get_socket(m_mysql));
        QString error;
        if (!m_session.Set(limits.statementMs, error)) {
            Fail(QStringLiteral("无法连接MySQL数据库：%1").arg(error));
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
        if (MYSQL* killer = ConnectMySql(m_session.settings, 1, 1)) {
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
    bool Lost() const override
    {
        // CR_SERVER_GONE_ERROR, CR_SERVER_LOST
        return !m_mysql || mysql_errno(m_mysql) == 2006 || mysql_errno(m_mysql) == 2013;
    }

    void Close() override
    {
        m_session.CloseWatch();
        if (m_mysql)
            mysql_close(m_mysql);
        m_mysql = nullptr;
        m_session.mysql = nullptr;
    }

    QString IdentifierQuote() const override { return QStringLiteral("`"); }
    SqlServerKind ServerKind() const override { return m_session.Kind(); }

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
        m_bStopped = false;
        if (!m_mysql)
            return FailNotConnected();
        QString error;
        if (!m_session.Ready(GetDbLimits().statementMs, error))
            return Fail(error);
        const QByteArray text = sql.toUtf8();
        if (mysql_real_query(m_mysql, text.constData(), static_cast<unsigned long>(text.size())) != 0) {
            error = DbMessage();
            m_session.Settle(false);
            return Fail(error);
        }
        error = ReadResult(rows, RowWindow(skip, maxRows));
        // A CALL answers with one result set per statement of the procedure and a
        // closing status; the connection takes no other statement until every one of
        // them is read. Only the first set is kept, as with several statements on
        // the other servers.
        const QString later = DrainResults(m_mysql);
        m_session.Settle(error.isEmpty() && later.isEmpty());
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
        return std::make_unique<MySQLCursor>(m_session, sql);
    }

private:
    // The window of the current result set goes into rows; the rest is read and
    // dropped. Empty, or the server's message or our refusal (m_bStopped set).
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
        QString error;
        qint64 kept = 0;
        const DbLimits limits = GetDbLimits();
        while (!window.Done()) {
            const MYSQL_ROW row = mysql_fetch_row(result);
            if (!row) {
                if (mysql_errno(m_mysql) != 0)
                    error = m_session.RowFailure(m_bStopped);
                break;
            }
            DbStep::NoteRowArrived();
            if (!window.Take())
                continue;
            const unsigned long* lengths = mysql_fetch_lengths(result);
            error = MyBoundFault(limits, fields, lengths, columns, kept);
            if (!error.isEmpty()) {
                m_bStopped = true;
                break;
            }
            AppendMyRow(rows, row, lengths, columns);
        }
        DropResult(result);
        return error;
    }

    QString DbMessage() const { return MySqlMessage(m_mysql); }

    // A local server that listens only on its socket refuses the port the form always gives: what
    // to do then is not in the client's words, which follow as the detail. Empty elsewhere.
    QString SocketAdvice(const DbServerSettings& settings) const
    {
        const unsigned int code = mysql_errno(m_mysql);
        if ((code != CR_CONNECTION_ERROR && code != CR_CONN_HOST_ERROR) || settings.port <= 0
            || !IsMyLocalHost(settings.host))
            return {};
        const QString socket = MyLocalSocket();
        struct stat status {};
        if (stat(QFile::encodeName(socket).constData(), &status) != 0 || !S_ISSOCK(status.st_mode))
            return {};
        return QStringLiteral("无法连接MySQL数据库：本机的服务器没有在端口 %1 上接受 TCP 连接，而它的本机套接字 %2 存在。"
                              "请清空端口，程序就会经本机套接字连接。\n详细信息：%3")
            .arg(QString::number(settings.port), socket, DbMessage());
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

    MySession m_session;
    MYSQL* m_mysql = nullptr;
    unsigned long m_threadId = 0;
    int m_socket = -1;
};

// A port the client takes: 0 is none given.
bool IsMyPort(qint64 port)
{
    return port == 0 || IsDbPort(port);
}

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenMySQL(const DbServerSettings& settings)
{
    if (!IsMyPort(settings.port))
        return Unavailable(DbPortRefusal(QString::number(settings.port)), true);
    return OpenOnWorker(settings.database.isEmpty() ? settings.host : settings.database,
        [settings]() -> std::unique_ptr<DbConnection> { return std::make_unique<MySQLConnection>(settings); });
}

DbReach MySQLReach(const DbServerSettings& settings)
{
    // As ConnectMySql hands them to the client (MyTargetOf): a port of 0 is none given.
    DbReach reach;
    reach.client = QStringLiteral("MariaDB");
    reach.server = SqlServerKind::MySQL;
    if (!IsMyPort(settings.port)) {
        reach.refusal = DbPortRefusal(QString::number(settings.port));
        return reach;
    }
    reach.kind = DbReach::Server;
    const MyTarget target = MyTargetOf(settings);
    reach.sent = {{QStringLiteral("host"), settings.host},
        {QStringLiteral("port"), settings.port > 0 ? QString::number(settings.port) : QString()}};
    if (!target.socket.isEmpty())
        reach.sent.append({QStringLiteral("unix_socket"), target.socket});
    reach.sent += {{QStringLiteral("database"), settings.database}, {QStringLiteral("user"), settings.user},
        {QStringLiteral("password"), QString()}};
    return reach;
}
