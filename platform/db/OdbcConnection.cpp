#include "platform/db/Ado.h"
#include "platform/db/DbCall.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbSocket.h"
#include "platform/db/DbWait.h"
#include "platform/db/PgStatementForm.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's wide characters are UTF-16");

namespace {

SQLWCHAR* Wide(const QString& text)
{
    return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(reinterpret_cast<const char16_t*>(text.utf16())));
}

QString FromWide(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

// Every diagnostic record of a handle, joined; the driver's own words.
QString Diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList messages;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLWCHAR text[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, text, 1024, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        const QString message = FromWide(text, std::min<qsizetype>(length, 1023)).trimmed();
        if (!message.isEmpty() && !messages.contains(message))
            messages.append(message);
    }
    return messages.join(u'\n');
}

// The driver's words for a failed call on a statement.
QString StatementFailure(SQLHSTMT stmt)
{
    const QString message = Diagnostics(SQL_HANDLE_STMT, stmt);
    return message.isEmpty() ? QStringLiteral("ODBC 驱动程序报告了错误") : message;
}

// A value came past DbLimits::valueBytes: it is not read on.
constexpr SQLRETURN kOdbcTooLarge = -9999;
// The server read a statement as more than one: it was not run.
constexpr SQLRETURN kOdbcSeveralStatements = -9998;
// psqlODBC found a parameter marker in a statement: it was not sent.
constexpr SQLRETURN kOdbcMarkers = -9997;
// A pool that hands out its server connections statement by statement ended the connection
// at a transaction of more than one statement: nothing of the statement was sent.
constexpr SQLRETURN kOdbcNoTransactions = -9996;

// psqlODBC's connection attributes that have it read a statement's rows through a cursor of
// its own (DECLARE, then FETCH so many rows at a time), and how many rows it fetches.
constexpr SQLINTEGER kPsqlOdbcUseDeclareFetch = 65539;
constexpr SQLINTEGER kPsqlOdbcFetch = 65541;
constexpr SQLULEN kPsqlOdbcWalkFetchRows = 8192;

// The pieces of one value in the C type asked for, joined: long texts come back over
// several calls, none past valueBytes. unit is the size of the terminator each piece
// ends with.
SQLRETURN ReadOdbcPieces(
    SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT type, SQLLEN unit, QByteArray& value, bool& null)
{
    const qint64 valueBytes = GetDbLimits().valueBytes;
    constexpr SQLLEN kBytes = 4096;
    alignas(char16_t) char buffer[kBytes];
    value.clear();
    null = false;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, type, buffer, kBytes, &indicator);
        if (rc == SQL_NO_DATA)
            return SQL_SUCCESS;
        if (!SQL_SUCCEEDED(rc))
            return rc;
        if (indicator == SQL_NULL_DATA) {
            null = true;
            return SQL_SUCCESS;
        }
        // A value that did not fit fills the buffer less its terminator.
        const bool whole = indicator != SQL_NO_TOTAL && indicator <= kBytes - unit;
        // UTF-16 takes up to twice the bytes of the UTF-8 the value is kept in.
        if (indicator != SQL_NO_TOTAL && indicator / (unit == 1 ? 1 : 2) > valueBytes)
            return kOdbcTooLarge;
        value.append(buffer, whole ? std::max<SQLLEN>(indicator, 0) : kBytes - unit);
        if (value.size() / (unit == 1 ? 1 : 2) > valueBytes)
            return kOdbcTooLarge;
        if (whole)
            return SQL_SUCCESS;
    }
}

// The state of a handle's first diagnostic record.
QString DiagnosticState(SQLSMALLINT type, SQLHANDLE handle)
{
    SQLWCHAR state[6] = {};
    SQLWCHAR text[8] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRecW(type, handle, 1, state, &native, text, 8, &length);
    return FromWide(state, 5);
}

// One value, read in UTF-16 where the driver can give it, so that the process locale
// never decides how label data reads. A driver that cannot (psqlODBC's ANSI driver)
// refuses the type, once wide turns false, and gives its own bytes: the connection's
// character set, which is the database's, UTF-8 as the program keeps its databases.
// tooLarge is set when the value passed valueBytes; kept counts the bytes kept.
bool ReadOdbcCell(SQLHSTMT stmt, SQLUSMALLINT column, bool& wide, DbRows& rows, bool& tooLarge, qint64& kept)
{
    QByteArray value;
    bool null = false;
    if (wide) {
        const SQLRETURN rc = ReadOdbcPieces(stmt, column, SQL_C_WCHAR, sizeof(char16_t), value, null);
        tooLarge = rc == kOdbcTooLarge;
        if (tooLarge)
            return false;
        if (SQL_SUCCEEDED(rc)) {
            kept += value.size() / 2;
            if (null)
                rows.AppendNull();
            else
                rows.AppendText(QString::fromUtf16(
                    reinterpret_cast<const char16_t*>(value.constData()), value.size() / qsizetype(sizeof(char16_t))));
            return true;
        }
        const QString state = DiagnosticState(SQL_HANDLE_STMT, stmt);
        if (state != QLatin1String("07006") && state != QLatin1String("HY003") && state != QLatin1String("HYC00"))
            return false;
        wide = false;
    }
    const SQLRETURN rc = ReadOdbcPieces(stmt, column, SQL_C_CHAR, 1, value, null);
    tooLarge = rc == kOdbcTooLarge;
    if (!SQL_SUCCEEDED(rc))
        return false;
    kept += value.size();
    if (null)
        rows.AppendNull();
    else
        rows.AppendText(QString::fromUtf8(value));
    return true;
}

using OdbcExecute = std::function<SQLRETURN(SQLHSTMT)>;

// psqlODBC takes every '?' outside quotes and comments for a parameter marker and refuses the
// statement, unsent, when no value is bound to it; none of its options turns that off. The
// PostgreSQL operators spelt with one have functions of their own.
QString PsqlOdbcMarkerMessage()
{
    return QStringLiteral("数据源“%1”的SQL语句在引号和注释之外含有问号（?），PostgreSQL 的 ODBC 驱动程序把它当作参数标记，"
                          "语句没有发送。请把 jsonb 的运算符 ?、?| 和 ?& 分别改写为函数 jsonb_exists(值, 键)、"
                          "jsonb_exists_any(值, 键数组) 和 jsonb_exists_all(值, 键数组)。")
        .arg(DbSourceScope::Current());
}

// The server a driver reaches, by the name it gives for its database system.
SqlServerKind::Server OdbcServer(SQLHDBC dbc)
{
    SQLWCHAR name[64] = {};
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name, &bytes)))
        return SqlServerKind::Unknown;
    const QString dbms = FromWide(name, std::clamp<qsizetype>(bytes / 2, 0, 63)).trimmed();
    const struct
    {
        const char* name;
        SqlServerKind::Server server;
    } known[] = {{"PostgreSQL", SqlServerKind::PostgreSQL}, {"MySQL", SqlServerKind::MySQL},
        {"MariaDB", SqlServerKind::MySQL}, {"SQLite", SqlServerKind::SQLite},
        {"Microsoft SQL Server", SqlServerKind::SqlServer}};
    for (const auto& entry : known) {
        if (dbms.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.server;
    }
    return SqlServerKind::Unknown;
}

// The values of a statement's first row, as texts; empty when there is none.
QStringList OdbcFirstRow(SQLHDBC dbc, const QString& sql, SQLUSMALLINT columns)
{
    SQLHSTMT stmt = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt)))
        return {};
    QString text = sql; // ended by a nul
    QStringList values;
    if (SQL_SUCCEEDED(SQLExecDirectW(stmt, Wide(text), SQL_NTS)) && SQL_SUCCEEDED(SQLFetch(stmt))) {
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLWCHAR buffer[128] = {};
            SQLLEN indicator = 0;
            if (!SQL_SUCCEEDED(SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator)) || indicator < 0)
                break;
            values.append(FromWide(buffer, std::min<qsizetype>(indicator / 2, 127)));
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return values.size() == columns ? values : QStringList();
}

// What a connection wraps each statement in, sent with it in one text and so in one round trip.
// PostgreSQL runs the parts of one such text as a single transaction of their own: the head
// makes it read-only, sets the step's limit, turns JIT off (the planner's estimate for the
// program's catalog questions would have each compiled first), and for a superuser's login
// (version 14 on) takes the role that reads every table but reaches nothing beyond reading;
// the tail rolls it back. Nothing the statement sets, or sets through a function that runs
// text, outlives it, a procedure it calls cannot commit, and no transaction or setting is left
// behind, which a pool (PgBouncer) would hand on to other sessions or, in statement mode,
// refuse. The head is a select, which psqlODBC's ReadOnly option lets through (it reads only a
// text's first word); its row and the tail's outcome are passed over.
//
// PostgreSQL itself splits that text at each ';' it reads, so the statement must not be able
// to end the frame or add a statement to it. A statement without any ';' cannot: it goes in
// parentheses (a call as it is), where the server takes nothing but one query, and a construct
// it leaves open swallows the tail and fails the whole text. A statement with a ';' anywhere is
// checked by the server in the same text, ahead of it (CheckBlock), where the login may run
// PL/pgSQL; otherwise, or where the check finds the text not as written here, the server parses
// it alone first, as one prepared statement, which cannot hold two (ParseAlone), two more round
// trips. psqlODBC cuts a text it prepares at each ';' it reads itself and parses only the first
// part, so the statement is parsed in parentheses: a part cut from it has a "(" that its own ")"
// closes only where the same part, run in the frame, has one ")" too many, and the server
// refuses it either way. A CALL cannot stand in parentheses; its procedure is selected instead,
// which the server refuses as a procedure's (42809) only once the whole text has parsed as one
// statement.
struct OdbcStatementFrame
{
    bool framed = false;
    bool readerRole = false;
    bool jitOff = false; // the server knows jit (version 11 on)
    bool checkedInFrame = false; // the login may run PL/pgSQL blocks (CheckBlock)

    // The SQLSTATEs the check raises: the server read the statement as more than one; the text
    // the server received does not end with the statement as written here (a driver rewrote
    // something of it), so the check cannot vouch for it.
    static constexpr char16_t kSeveralState[] = u"VCSX1";
    static constexpr char16_t kRewrittenState[] = u"VCTX1";

    // Where nothing can end the frame early, the statement as it goes into it (see above);
    // empty when it needs a check.
    static QString Enclosed(const QString& sql)
    {
        if (sql.contains(u';'))
            return {};
        return PgCalledPart(sql).isNull() ? u'(' + sql + QStringLiteral("\n)") : sql;
    }
    // The frame's text around statement, the check (if any) just before it.
    QString Text(const QString& statement, const QString& check = {}) const
    {
        if (!framed)
            return statement;
        // The tail on a line of its own, past a comment the statement may end with.
        return Head() + u';' + check + statement + QStringLiteral("\n;ROLLBACK");
    }
    // What makes the transaction read-only and sets its limit (and role).
    QString Head() const
    {
        return QStringLiteral("select set_config('transaction_read_only', 'on', true), "
                              "set_config('statement_timeout', '%1', true)%2%3")
            .arg(QString::number(GetDbLimits().statementMs),
                jitOff ? QStringLiteral(", set_config('jit', 'off', true)") : QString(),
                readerRole ? QStringLiteral(", set_config('role', 'pg_read_all_data', true)") : QString());
    }
    // The program's own question after its steps (DbConnection::QueryResolving), in a
    // transaction that may make temporary objects, under the step's limit and without JIT.
    static QString ResolvingText(const QStringList& steps, const QString& question)
    {
        QString text = QStringLiteral("select set_config('jit', 'off', true), set_config('statement_timeout', '%1', true);")
                           .arg(GetDbLimits().statementMs);
        for (const QString& step : steps)
            text += step + u';';
        return text + question + QStringLiteral("\n;ROLLBACK");
    }
    // The results that come before the statement's own.
    int HeadResults(bool checked) const { return framed ? (checked ? 2 : 1) : 0; }
    // What the server parses alone before the statement runs; empty when not framed.
    QString ParsedAlone(const QString& sql) const
    {
        if (!framed)
            return {};
        const QStringView called = PgCalledPart(sql);
        const QString head = called.isNull() ? sql : QStringLiteral("select") + called;
        return u'(' + head + QStringLiteral("\n)");
    }
    // The server's check of a statement, one more part of the frame's text: a PL/pgSQL block
    // that opens a cursor on what ParseAlone parses, which the server takes only as exactly one
    // statement, and that makes sure the text the server received ends with the statement
    // exactly as written here and the tail. The statement reaches it as hexadecimal, which no
    // driver reads into. A failure there ends the text: nothing after it runs.
    QString CheckBlock(const QString& sql) const
    {
        const bool procedure = !PgCalledPart(sql).isNull();
        return QStringLiteral(
            "DO $vc$declare s text := convert_from(decode('%1', 'hex'), 'UTF8'); c refcursor; begin "
            "if right(current_query(), length(s) + 10) is distinct from s || chr(10) || ';ROLLBACK' "
            "then raise exception using errcode = '%3', message = 'statement text rewritten'; end if; "
            "begin open c for execute convert_from(decode('%2', 'hex'), 'UTF8'); "
            "exception when invalid_cursor_definition then "
            "raise exception using errcode = '%4', message = 'more than one statement';%5 end; "
            "if c is not null then close c; end if; end$vc$;")
            .arg(QString::fromLatin1(sql.toUtf8().toHex()), QString::fromLatin1(ParsedAlone(sql).toUtf8().toHex()),
                QStringView(kRewrittenState), QStringView(kSeveralState),
                procedure ? QStringLiteral(" when wrong_object_type then null;") : QString());
    }
};

// Runs text on stmt and moves past the first results of it, which answer what goes before the
// part wanted; the last call's outcome.
SQLRETURN ExecuteSkipping(SQLHSTMT stmt, QString text, int results = 0)
{
    SQLRETURN rc = SQLExecDirectW(stmt, Wide(text), SQL_NTS); // text is ended by a nul
    for (int result = 0; result < results && SQL_SUCCEEDED(rc); ++result)
        rc = SQLMoreResults(stmt);
    return rc;
}

// psqlODBC made read-only (its ReadOnly option, which a careful administrator sets on a label's
// data source) sends only a text that starts as a query, and refuses the walk's own commands
// (DECLARE, MOVE, FETCH) that read no less than one. There they follow an empty select in the same
// text, one more result passed over: they still run in the walk's read-only transaction, under
// its limit, and end with its rollback, as anywhere else.
SQLRETURN ExecuteWalkCommand(SQLHSTMT stmt, const QString& text, int results, bool readOnlyDriver)
{
    if (!readOnlyDriver)
        return ExecuteSkipping(stmt, text, results);
    return ExecuteSkipping(stmt, QStringLiteral("select;") + text, results + 1);
}

// Has the server parse text (OdbcStatementFrame::ParsedAlone) as psqlODBC sends it, on the
// statement's own handle, so that a cancel reaches it: psqlODBC parses a statement it prepares
// when asked for its columns. A psqlODBC that still prepares statements by name would leave them
// on a pool's other server connections: it is told not to (see OdbcReadOnlySession).
SQLRETURN ParseAlone(SQLHSTMT stmt, const QString& text, bool procedure)
{
    QString parsed = text; // ended by a nul
    if (!SQL_SUCCEEDED(SQLPrepareW(stmt, Wide(parsed), SQL_NTS)))
        return SQL_ERROR;
    // psqlODBC puts a NULL in place of each marker it reads; the statement would be refused.
    SQLSMALLINT markers = 0;
    if (SQL_SUCCEEDED(SQLNumParams(stmt, &markers)) && markers > 0)
        return kOdbcMarkers;
    SQLSMALLINT columns = 0;
    const SQLRETURN rc = SQLNumResultCols(stmt, &columns);
    if (SQL_SUCCEEDED(rc))
        return SQL_SUCCESS;
    const QString state = DiagnosticState(SQL_HANDLE_STMT, stmt);
    // The parse went through; its description was asked of another server connection of a pool
    // (26000), or the statement calls a procedure (42809).
    if (state == u"26000" || (procedure && state == u"42809"))
        return SQL_SUCCESS;
    if (PgRefusesSeveralStatements(state, Diagnostics(SQL_HANDLE_STMT, stmt)))
        return kOdbcSeveralStatements;
    return rc;
}

// The server a connection reaches and what it sends each statement in. With autocommit off
// every statement opens a transaction that is rolled back as soon as its statement is
// released, so nothing it did stays, on servers that have no transaction that only reads
// (SQL Server, Sybase) too. A driver that refuses either keeps what it had: its statements are
// still judged before they are sent. PostgreSQL runs each statement in the frame above instead,
// in autocommit, and is asked once how it reads '\' in quotes and whether the login is a
// superuser.
struct OdbcSession
{
    SqlServerKind kind;
    OdbcStatementFrame frame;
    bool superuser = false;
    // Walks run in a transaction of their own (OdbcConnection::Walking).
    bool walkTransactions = false;
    // The driver sends nothing but queries (ExecuteWalkCommand).
    bool readOnlyDriver = false;
    // The ends of the connection as PostgreSQL sees it over TCP: the client's address and port,
    // then the server's.
    QStringList ends;

    // The server's client is this process itself. A pooler (PgBouncer) passes statements on
    // from a connection of its own: the server's client is then the pooler. Looked up once.
    bool ReachesServer()
    {
        if (!reaches)
            reaches = ends.size() == 4 && ProcessHoldsTcpConnection(ends[0], ends[1].toInt(), ends[2], ends[3].toInt());
        return *reaches;
    }
    std::optional<bool> reaches;
};

OdbcSession OdbcReadOnlySession(SQLHDBC dbc)
{
    OdbcSession session;
    session.kind.server = OdbcServer(dbc);
    if (session.kind.server != SqlServerKind::PostgreSQL) {
        SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        SQLSetConnectAttr(dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
        return session;
    }
    SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    // psqlODBC's own attributes, whatever a data source's registration says: a statement's
    // columns are asked of the server, never read off its text by the driver
    // (SQL_ATTR_PGOPT_PARSE), so the server parses each statement (OdbcStatementFrame); and a
    // statement it parses is not kept by name on the server, where a pool's other clients would
    // meet it (SQL_ATTR_PGOPT_SERVERSIDEPREPARE).
    for (const SQLINTEGER psqlOdbcOption : {65538, 65540})
        SQLSetConnectAttr(dbc, psqlOdbcOption, reinterpret_cast<SQLPOINTER>(0), 0);
    const QStringList server = OdbcFirstRow(dbc,
        QStringLiteral("select current_setting('standard_conforming_strings'), current_setting('is_superuser'), "
                       "current_setting('server_version_num'), case when exists (select from pg_language "
                       "where lanname = 'plpgsql' and has_language_privilege(oid, 'USAGE')) then 'on' else 'off' end, "
                       "coalesce(host(inet_client_addr()) || ' ' || inet_client_port() || ' ' || "
                       "host(inet_server_addr()) || ' ' || inet_server_port(), '')"),
        5);
    if (server.size() == 5 && (server[0] == u"on" || server[0] == u"off"))
        session.kind.standardStrings = server[0] == u"on";
    // Not known, the login counts as a superuser, as nothing is promised then.
    session.superuser = server.size() != 5 || server[1] != u"off";
    session.frame.framed = true;
    session.walkTransactions = true;
    SQLWCHAR readOnly[4] = {};
    session.readOnlyDriver
        = SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DATA_SOURCE_READ_ONLY, readOnly, sizeof readOnly, nullptr))
        && readOnly[0] == u'Y';
    session.frame.readerRole = server.size() == 5 && server[1] == u"on" && server[2].toInt() >= 140000;
    session.frame.jitOff = server.size() == 5 && server[2].toInt() >= 110000;
    session.frame.checkedInFrame = server.size() == 5 && server[3] == u"on";
    if (server.size() == 5)
        session.ends = server[4].split(u' ', Qt::SkipEmptyParts);
    return session;
}

// After a walk's transaction (OdbcConnection::Walking) has ended: the connection as it was before.
void EndOdbcWalk(SQLHDBC dbc)
{
    SQLSetConnectAttr(dbc, kPsqlOdbcUseDeclareFetch, reinterpret_cast<SQLPOINTER>(0), 0);
    SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
}

// The statement a connection runs, for SQLCancel from another thread; a cursor sets it
// while its handle lives, under the lock, so a cancel never meets a freed handle.
struct OdbcRunning
{
    std::mutex lock;
    SQLHSTMT stmt = SQL_NULL_HANDLE;
};

SQLULEN OdbcSeconds(int ms)
{
    return static_cast<SQLULEN>(DbLimitSeconds(ms));
}

// A statement executed once and fetched on from call to call; the first result set
// only. The statement is released at its last row (or when the cursor goes), so the
// driver lets go of what it holds for it, an SQLite file's read lock among them.
//
// Rows come in blocks (row arrays) where the driver can also read a value of a row within a
// block on its own (SQLSetPos, SQLGetData): every column is bound to a buffer of a modest width,
// and a value that does not fit is read again whole. The first row is read by itself, value by
// value, which tells whether the driver gives UTF-16; the blocks follow in the C type it gives.
// Rows passed over come in blocks with no column bound, so the driver converts nothing.
class OdbcCursor final : public DbCursor
{
public:
    // How the statement stands to the transaction it runs in.
    enum Transaction {
        OwnTransaction, // rolled back as the statement is released
        // Read through psqlODBC's own cursor, in a transaction of the walk's
        // (OdbcConnection::Walking), which ends with it.
        DeclaredWalk,
        // One of the statements of a walk whose transaction outlives it (OdbcSeekingCursor).
        HeldWalk,
    };

    // framed: the statement goes to PostgreSQL in its frame (OdbcStatementFrame), which sets the
    // step's limit itself; the driver would set it for the whole session, one more round trip.
    OdbcCursor(SQLHDBC dbc, const OdbcExecute& execute, std::shared_ptr<OdbcRunning> running, bool framed,
        Transaction transaction = OwnTransaction)
        : m_dbc(dbc), m_running(std::move(running)), m_framed(framed), m_transaction(transaction)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_stmt))) {
            m_stmt = SQL_NULL_HANDLE;
            const QString message = Diagnostics(SQL_HANDLE_DBC, dbc);
            Fail(message.isEmpty() ? QStringLiteral("无法执行 ODBC 语句") : message);
            return;
        }
        Register(!framed);
        const SQLRETURN executed = execute(m_stmt);
        if (executed == SQL_NO_DATA) // a statement that touched no row
            End();
        else if (executed == kOdbcSeveralStatements)
            Refuse(PgSeveralStatementsMessage());
        else if (executed == kOdbcNoTransactions) {
            m_noTransactions = true;
            Stop();
        }
        else if (executed == kOdbcMarkers
            || (!SQL_SUCCEEDED(executed) && framed && DiagnosticState(SQL_HANDLE_STMT, m_stmt) == u"07002"))
            Refuse(PsqlOdbcMarkerMessage());
        else if (!SQL_SUCCEEDED(executed) || !DescribeColumns())
            Stop();
        else if (m_names.isEmpty()) // no result set
            End();
    }
    ~OdbcCursor() override { End(); }

    // A statement not read to its end holds its transaction (or the driver's own cursor's);
    // which sessions wait for it is asked by the seeking walk only, the one that reaches its
    // server itself: elsewhere the short idle bound gives it back. A statement of that walk
    // leaves its transaction to it.
    Hold Watch() override
    {
        Hold hold;
        hold.held = m_stmt != SQL_NULL_HANDLE && m_transaction != HeldWalk;
        hold.unseen = hold.held;
        return hold;
    }

    // The connection was ended by a pool that takes no transaction of more than one statement.
    bool NoTransactions() const { return m_noTransactions; }

private:
    bool DescribeColumns()
    {
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(m_stmt, &columns)))
            return false;
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLWCHAR name[256] = {};
            SQLSMALLINT length = 0;
            // psqlODBC asks the server's catalog about the table a column comes from before it
            // gives the column's name, one more round trip; its label is the result's own name.
            if (m_framed) {
                if (!SQL_SUCCEEDED(SQLColAttributeW(m_stmt, c, SQL_DESC_LABEL, name, sizeof name, &length, nullptr)))
                    return false;
                m_names.append(FromWide(name, std::clamp<qsizetype>(length / 2, 0, 255)));
                continue;
            }
            SQLSMALLINT type = 0;
            SQLULEN size = 0;
            SQLSMALLINT digits = 0;
            SQLSMALLINT nullable = 0;
            if (!SQL_SUCCEEDED(SQLDescribeColW(m_stmt, c, name, 256, &length, &type, &size, &digits, &nullable)))
                return false;
            m_names.append(FromWide(name, std::min<qsizetype>(length, 255)));
        }
        return true;
    }

public:
    bool Skip(qint64 count) override
    {
        while (count > 0 && m_stmt) {
            if (m_next < static_cast<qint64>(m_fetched)) {
                const qint64 taken = std::min<qint64>(count, static_cast<qint64>(m_fetched) - m_next);
                m_next += taken;
                m_position += taken;
                count -= taken;
                continue;
            }
            // Blocks of rows passed over come unconverted, and end where the skip does.
            if (!NextBlock(false, count))
                break;
            if (!m_single) {
                m_position += static_cast<qint64>(m_fetched);
                count -= static_cast<qint64>(m_fetched);
                m_next = static_cast<qint64>(m_fetched);
            }
        }
        return m_strLastError.isEmpty();
    }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        rows.Reset(m_names);
        const DbLimits limits = GetDbLimits();
        qint64 kept = 0; // bytes of the values this call keeps
        for (qint64 n = 0; (maxRows < 0 || n < maxRows) && m_stmt; ++n) {
            if (m_next >= static_cast<qint64>(m_fetched) && !NextBlock(true, maxRows < 0 ? m_blockRows : maxRows - n))
                break;
            if (!AppendBuffered(rows, limits, kept))
                break;
            ++m_next;
            ++m_position;
            if (kept > limits.sliceBytes) {
                Refuse(DbSliceTooLargeMessage());
                break;
            }
        }
        if (!m_strLastError.isEmpty()) {
            rows.Clear();
            return false;
        }
        return true;
    }

private:
    // The width of a column's buffer, in characters: what the driver says it takes to show any
    // value of the column, twice for the surrogate pairs of UTF-16, within bounds.
    static constexpr SQLLEN kMinBoundChars = 16;
    static constexpr SQLLEN kMaxBoundChars = 256;
    // The bytes of one block's buffers; a block holds at least one row and at most kMaxBlockRows.
    static constexpr SQLLEN kBlockBytes = 1 << 20;
    static constexpr SQLULEN kMaxBlockRows = 1024;

    struct BoundColumn
    {
        SQLLEN width = 0; // bytes of one value's buffer, its terminator included
        std::vector<char> data;
        std::vector<SQLLEN> indicators;
    };

    // Moves to the next block of rows (a single row before blocks are set up), with the columns
    // bound or not; false at the end, or on failure with LastError() set. A block holds no more
    // rows than wanted, so a slow statement's first page waits for its own rows only.
    bool NextBlock(bool bound, qint64 wanted)
    {
        if (!m_stmt)
            return false;
        if (m_blocks && bound != m_bound) {
            if (!(bound ? BindColumns() : SQL_SUCCEEDED(SQLFreeStmt(m_stmt, SQL_UNBIND)))) {
                Stop();
                return false;
            }
            m_bound = bound;
        }
        const qint64 size = std::clamp<qint64>(wanted, 1, m_blockRows);
        if (m_blocks && size != m_arraySize) {
            if (!SQL_SUCCEEDED(
                    SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(size)), 0))) {
                Stop();
                return false;
            }
            m_arraySize = size;
        }
        m_fetched = 0;
        m_next = 0;
        const SQLRETURN fetched = SQLFetch(m_stmt);
        if (fetched == SQL_NO_DATA) {
            End();
            return false;
        }
        if (!SQL_SUCCEEDED(fetched)) {
            Stop();
            return false;
        }
        // A server that goes on sending after the cancel is not silent.
        DbStep::NoteRowArrived();
        m_firstHeld = false;
        if (!m_blocks) {
            m_fetched = 1;
            m_single = true;
            return m_blocksTried || HoldFirstRow();
        }
        m_single = false;
        for (SQLULEN r = 0; r < m_fetched; ++r) {
            if (m_statuses[r] == SQL_ROW_ERROR) {
                Stop();
                return false;
            }
        }
        if (m_fetched == 0) {
            End();
            return false;
        }
        return true;
    }

    // Reads the first row value by value, which tells the C type the driver gives, and sets the
    // blocks up; a value too large is refused only where the row is kept.
    bool HoldFirstRow()
    {
        m_firstRow.Reset(m_names);
        qint64 kept = 0;
        for (SQLUSMALLINT c = 1; c <= m_names.size(); ++c) {
            bool tooLarge = false;
            if (!ReadOdbcCell(m_stmt, c, m_wide, m_firstRow, tooLarge, kept)) {
                if (!tooLarge) {
                    Stop();
                    return false;
                }
                m_firstTooLarge = c;
                break;
            }
        }
        m_firstHeld = true;
        // A row of NULLs does not tell the C type: the next row is read by itself in turn.
        bool known = !m_wide || m_firstTooLarge;
        for (int c = 0; c < m_firstRow.ColumnCount() && !known; ++c)
            known = !m_firstRow.IsNull(0, c);
        if (known)
            SetUpBlocks();
        return true;
    }

    // Appends the values of row m_next of the block; false with the walk ended on failure.
    bool AppendBuffered(DbRows& rows, const DbLimits& limits, qint64& kept)
    {
        const auto fail = [this](bool tooLarge, SQLUSMALLINT column) {
            if (tooLarge)
                Refuse(DbValueTooLargeMessage(m_names[column - 1]));
            else
                Stop();
            return false;
        };
        if (m_firstHeld) {
            if (m_firstTooLarge)
                return fail(true, m_firstTooLarge);
            for (int c = 0; c < m_firstRow.ColumnCount(); ++c) {
                if (m_firstRow.IsNull(0, c)) {
                    rows.AppendNull();
                } else {
                    rows.AppendUtf8(m_firstRow.Utf8(0, c));
                    kept += m_firstRow.Utf8(0, c).size();
                }
            }
            return true;
        }
        if (m_single) {
            // A driver without blocks: one row at a time, value by value.
            for (SQLUSMALLINT c = 1; c <= m_names.size(); ++c) {
                bool tooLarge = false;
                if (!ReadOdbcCell(m_stmt, c, m_wide, rows, tooLarge, kept))
                    return fail(tooLarge, c);
            }
            return true;
        }
        const SQLLEN unit = m_wide ? SQLLEN(sizeof(char16_t)) : 1;
        for (size_t c = 0; c < m_columns.size(); ++c) {
            const BoundColumn& column = m_columns[c];
            const SQLLEN indicator = column.indicators[m_next];
            if (indicator == SQL_NULL_DATA) {
                rows.AppendNull();
                continue;
            }
            if (indicator == SQL_NO_TOTAL || indicator > column.width - unit) {
                // Longer than its buffer: the driver reads the row's value again, whole.
                bool tooLarge = false;
                const auto number = static_cast<SQLUSMALLINT>(c + 1);
                if (!SQL_SUCCEEDED(SQLSetPos(m_stmt, static_cast<SQLSETPOSIROW>(m_next + 1), SQL_POSITION,
                        SQL_LOCK_NO_CHANGE))
                    || !ReadOdbcCell(m_stmt, number, m_wide, rows, tooLarge, kept))
                    return fail(tooLarge, number);
                continue;
            }
            const char* value = column.data.data() + m_next * column.width;
            const qsizetype bytes = std::max<SQLLEN>(indicator, 0);
            if (bytes / unit > limits.valueBytes)
                return fail(true, static_cast<SQLUSMALLINT>(c + 1));
            kept += bytes / unit;
            if (m_wide)
                rows.AppendText(QStringView(reinterpret_cast<const char16_t*>(value), bytes / qsizetype(sizeof(char16_t))));
            else
                rows.AppendText(QString::fromUtf8(value, bytes));
        }
        return true;
    }

    // Blocks need a driver that reads a value of any row of a block, bound or not, again
    // (SQLSetPos to the row, then SQLGetData); without one, rows come one at a time as before.
    void SetUpBlocks()
    {
        m_blocksTried = true;
        SQLUINTEGER extensions = 0;
        SQLHDBC dbc = m_dbc;
        if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr)))
            return;
        constexpr SQLUINTEGER needed = SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BLOCK | SQL_GD_BOUND;
        if ((extensions & needed) != needed || m_names.isEmpty())
            return;
        const SQLLEN unit = m_wide ? SQLLEN(sizeof(char16_t)) : 1;
        m_columns.resize(static_cast<size_t>(m_names.size()));
        SQLLEN rowBytes = 0;
        for (size_t c = 0; c < m_columns.size(); ++c) {
            SQLLEN display = 0;
            SQLColAttributeW(m_stmt, static_cast<SQLUSMALLINT>(c + 1), SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr,
                &display);
            // UTF-8 from an ANSI driver takes up to 4 bytes a character, UTF-16 2 units.
            const SQLLEN chars = std::clamp<SQLLEN>(display * (m_wide ? 2 : 4), kMinBoundChars, kMaxBoundChars);
            m_columns[c].width = (chars + 1) * unit;
            rowBytes += m_columns[c].width + SQLLEN(sizeof(SQLLEN));
        }
        const SQLULEN blockRows = std::clamp<SQLULEN>(SQLULEN(kBlockBytes / std::max<SQLLEN>(rowBytes, 1)), 1,
            kMaxBlockRows);
        for (BoundColumn& column : m_columns) {
            column.data.resize(static_cast<size_t>(column.width) * blockRows);
            column.indicators.resize(blockRows);
        }
        m_statuses.resize(blockRows);
        const bool set = SQL_SUCCEEDED(SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_BIND_TYPE,
                             reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0))
            && SQL_SUCCEEDED(SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_STATUS_PTR, m_statuses.data(), 0))
            && SQL_SUCCEEDED(SQLSetStmtAttr(m_stmt, SQL_ATTR_ROWS_FETCHED_PTR, &m_fetched, 0))
            && SQL_SUCCEEDED(
                SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows), 0));
        if (!set) {
            // As it was: one row at a time, read value by value.
            SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
            SQLSetStmtAttr(m_stmt, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
            SQLSetStmtAttr(m_stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
            m_columns.clear();
            m_statuses.clear();
            return;
        }
        m_blocks = true;
        m_bound = false;
        m_blockRows = static_cast<qint64>(blockRows);
        m_arraySize = m_blockRows;
    }

    bool BindColumns()
    {
        const SQLSMALLINT type = m_wide ? SQL_C_WCHAR : SQL_C_CHAR;
        for (size_t c = 0; c < m_columns.size(); ++c) {
            BoundColumn& column = m_columns[c];
            if (!SQL_SUCCEEDED(SQLBindCol(m_stmt, static_cast<SQLUSMALLINT>(c + 1), type, column.data.data(),
                    column.width, column.indicators.data())))
                return false;
        }
        return true;
    }

    // Our own refusal of data past a bound, complete in itself.
    void Refuse(const QString& message)
    {
        Fail(message);
        m_bStopped = true;
        End();
    }

    // Keeps the driver's message for the call that failed and releases the statement.
    void Stop()
    {
        Fail(StatementFailure(m_stmt));
        End();
    }

    void End()
    {
        if (!m_stmt)
            return;
        std::lock_guard<std::mutex> guard(m_running->lock);
        m_running->stmt = SQL_NULL_HANDLE;
        // psqlODBC keeps the description of a statement it prepared (ParseAlone) until the
        // statement's cursor is closed: a handle freed with it still held leaks it.
        if (m_framed)
            SQLFreeStmt(m_stmt, SQL_CLOSE);
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        m_stmt = SQL_NULL_HANDLE;
        if (m_transaction != HeldWalk)
            SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
        if (m_transaction == DeclaredWalk)
            EndOdbcWalk(m_dbc);
    }

    // The driver ends the statement at the step's limit too, and Interrupt can reach it.
    void Register(bool driverLimit)
    {
        if (driverLimit) {
            SQLSetStmtAttr(m_stmt, SQL_ATTR_QUERY_TIMEOUT,
                reinterpret_cast<SQLPOINTER>(OdbcSeconds(GetDbLimits().statementMs)), 0);
        }
        std::lock_guard<std::mutex> guard(m_running->lock);
        m_running->stmt = m_stmt;
    }

    SQLHDBC m_dbc;
    SQLHSTMT m_stmt = SQL_NULL_HANDLE;
    std::shared_ptr<OdbcRunning> m_running;
    bool m_framed;
    Transaction m_transaction;
    bool m_noTransactions = false;
    bool m_wide = true; // values are read as UTF-16 until the driver refuses it
    QStringList m_names;
    // The current block: rows fetched into it, and the next one to read.
    SQLULEN m_fetched = 0;
    qint64 m_next = 0;
    bool m_single = true; // the current block is one row read value by value
    DbRows m_firstRow; // the statement's first row, read before blocks were set up
    bool m_firstHeld = false; // the current block is that row
    SQLUSMALLINT m_firstTooLarge = 0; // the column of a value of it past the bound
    bool m_blocksTried = false;
    bool m_blocks = false;
    bool m_bound = false;
    qint64 m_blockRows = 1;
    qint64 m_arraySize = 1; // the rows the driver fetches next
    std::vector<BoundColumn> m_columns;
    std::vector<SQLUSMALLINT> m_statuses;
};

// A walk on PostgreSQL whose statement the server holds as a scrollable cursor in the walk's
// transaction, as on PostgreSQL's own route where the program reaches the server itself: the
// server moves past rows without sending them, and the rows keep one order, ties included,
// since the statement runs once. The cursor is declared as a walk's statement is sent
// (OdbcConnection::Walking): parsed alone first, then in a read-only transaction under the
// step's limit. A move waits for the fetch after it and goes in the same text, so that a page
// is one round trip; the transaction ends with the cursor.
// A walk of the program's own cursor in a transaction of the walk's (autocommit off), which ends
// with the walk: what the seeking and the forward walk share.
class OdbcTransactionWalk : public DbCursor
{
public:
    // The connection was ended by a pool that takes no transaction of more than one statement.
    bool NoTransactions() const { return m_noTransactions; }

    // The transaction is held until the walk ends; through a pooler its server session cannot be
    // asked who waits for it, so only the short idle bound gives it back there.
    Hold Watch() override
    {
        Hold hold;
        hold.held = !m_ended;
        hold.unseen = hold.held;
        return hold;
    }

protected:
    OdbcTransactionWalk(SQLHDBC dbc, std::shared_ptr<OdbcRunning> running, bool readOnlyDriver)
        : m_dbc(dbc), m_running(std::move(running)), m_readOnlyDriver(readOnlyDriver)
    {
    }

    void End()
    {
        if (m_ended)
            return;
        m_ended = true;
        SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
        EndOdbcWalk(m_dbc);
    }

    SQLHDBC m_dbc;
    std::shared_ptr<OdbcRunning> m_running;
    bool m_readOnlyDriver; // the walk's commands follow an empty select (ExecuteWalkCommand)
    bool m_noTransactions = false;
    bool m_ended = false;
};

class OdbcSeekingCursor final : public OdbcTransactionWalk
{
public:
    OdbcSeekingCursor(
        SQLHDBC dbc, const OdbcExecute& declare, std::shared_ptr<OdbcRunning> running, bool readOnlyDriver)
        : OdbcTransactionWalk(dbc, std::move(running), readOnlyDriver)
    {
        OdbcCursor declared(m_dbc, declare, m_running, true, OdbcCursor::HeldWalk);
        m_noTransactions = declared.NoTransactions();
        if (!declared.LastError().isEmpty())
            Stop(declared);
    }
    ~OdbcSeekingCursor() override { End(); }

    bool CanSeek() const override { return true; }

    // Asked in the walk's transaction, as on PostgreSQL's own route (PgSeekingCursor::Watch).
    Hold Watch() override
    {
        Hold hold = OdbcTransactionWalk::Watch();
        if (!hold.held)
            return hold;
        const QStringList answer = OdbcFirstRow(m_dbc,
            QStringLiteral("select pg_is_in_recovery()::int, exists (select from pg_locks where not granted "
                           "and pg_backend_pid() = any (pg_blocking_pids(pid)))::int"),
            2);
        hold.standby = answer.value(0) == u"1";
        hold.waitedFor = answer.size() != 2 || answer[1] == u"1";
        hold.unseen = false;
        return hold;
    }

    bool Seek(qint64 position) override
    {
        m_target = position;
        return !m_ended;
    }

    bool Skip(qint64 count) override { return Seek(m_target.value_or(m_position) + count); }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        rows.Clear();
        if (m_ended)
            return Fail(m_strLastError.isEmpty() ? QStringLiteral("未连接数据库") : m_strLastError);
        const bool moving = m_target && *m_target != m_position;
        QString text = maxRows < 0 ? QStringLiteral("FETCH FORWARD ALL FROM vc_walk")
                                   : QStringLiteral("FETCH FORWARD %1 FROM vc_walk").arg(maxRows);
        if (moving)
            text = QStringLiteral("MOVE ABSOLUTE %1 IN vc_walk;").arg(*m_target) + text;
        OdbcCursor fetched(
            m_dbc,
            [text, moving, readOnlyDriver = m_readOnlyDriver](SQLHSTMT stmt) {
                return ExecuteWalkCommand(stmt, text, moving ? 1 : 0, readOnlyDriver);
            },
            m_running, true, OdbcCursor::HeldWalk);
        if (!fetched.LastError().isEmpty() || !fetched.Fetch(-1, rows)) {
            Stop(fetched);
            rows.Clear();
            return false;
        }
        m_position = m_target.value_or(m_position) + rows.RowCount();
        m_target.reset();
        return true;
    }

private:
    // A failure ends the walk, its transaction with it.
    void Stop(const DbCursor& failed)
    {
        Fail(failed.LastError());
        m_bStopped = failed.Stopped();
        End();
    }

    std::optional<qint64> m_target; // where the next fetch starts, once moved there
};

// A walk on PostgreSQL that reads in order (a print job's) through a cursor of the program's own,
// for a query that nothing can end early (OdbcStatementFrame::Enclosed): the walk's transaction
// head, the cursor's DECLARE and its first FETCH go in one text, so the first rows come in the
// round trip that begins the walk, where psqlODBC's own cursor costs a parse, the head and the
// cursor's close besides. The rows come kPsqlOdbcWalkFetchRows at a time, as that cursor would
// fetch them, so memory stays as flat; the transaction ends at the walk's last row, or with the
// walk where it is left before.
class OdbcForwardCursor final : public OdbcTransactionWalk
{
public:
    OdbcForwardCursor(SQLHDBC dbc, const QString& head, const QString& enclosed, std::shared_ptr<OdbcRunning> running,
        bool readOnlyDriver)
        : OdbcTransactionWalk(dbc, std::move(running), readOnlyDriver)
    {
        SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        const QString text
            = head + QStringLiteral(";DECLARE vc_walk NO SCROLL CURSOR FOR ") + enclosed + u';' + NextFetch();
        // A pool that takes no transaction ends the connection once the text's rows have come,
        // which on a loaded machine the driver may meet as a connection lost mid-read rather than
        // as the pooler's refusal: either way the walk goes on as such a pool allows.
        OpenBlock([text, dbc](SQLHSTMT stmt) {
            const SQLRETURN rc = ExecuteSkipping(stmt, text, 2);
            if (SQL_SUCCEEDED(rc))
                return rc;
            SQLUINTEGER dead = SQL_CD_FALSE;
            const bool lost = DiagnosticState(SQL_HANDLE_STMT, stmt) == u"08P01"
                || (SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE);
            return lost ? kOdbcNoTransactions : rc;
        });
    }
    ~OdbcForwardCursor() override { End(); }

    bool Skip(qint64 count) override
    {
        while (count > 0 && m_block) {
            const qint64 before = m_block->Position();
            if (!m_block->Skip(count))
                return Stop();
            const qint64 moved = m_block->Position() - before;
            m_position += moved;
            count -= moved;
            if (count > 0 && !NextBlock())
                break;
        }
        return m_strLastError.isEmpty();
    }

    bool Fetch(qint64 maxRows, DbRows& rows) override
    {
        rows.Reset(m_names);
        if (!m_strLastError.isEmpty()) {
            rows.Clear();
            return false;
        }
        DbRows part;
        qint64 kept = -1; // bytes of the values kept, once a block's end is passed
        for (bool first = true; m_block && (maxRows < 0 || rows.RowCount() < maxRows); first = false) {
            DbRows& into = first ? rows : part;
            if (!m_block->Fetch(maxRows < 0 ? -1 : maxRows - rows.RowCount(), into)) {
                rows.Clear();
                return Stop();
            }
            m_position += into.RowCount();
            if (!first) {
                // Each block keeps within the slice bound; what they keep together must too.
                kept = (kept < 0 ? ValueBytes(rows) : kept) + ValueBytes(part);
                if (kept > GetDbLimits().sliceBytes) {
                    rows.Clear();
                    Fail(DbSliceTooLargeMessage());
                    m_bStopped = true;
                    End();
                    return false;
                }
                AppendRows(part, rows);
            }
            if ((maxRows < 0 || rows.RowCount() < maxRows) && !NextBlock())
                break;
        }
        return true;
    }

private:
    static QString NextFetch() { return QStringLiteral("FETCH FORWARD %1 FROM vc_walk").arg(kPsqlOdbcWalkFetchRows); }

    void OpenBlock(const OdbcExecute& execute)
    {
        m_block = std::make_unique<OdbcCursor>(m_dbc, execute, m_running, true, OdbcCursor::HeldWalk);
        m_noTransactions = m_block->NoTransactions();
        if (!m_block->LastError().isEmpty()) {
            Stop();
            return;
        }
        // The columns, which a fetch past the end gives too.
        DbRows none;
        m_block->Fetch(0, none);
        m_names = none.Columns();
    }

    // The current block is read to its end: the next one where that block was full, else the
    // walk is over, and its transaction ends at once. False at the end or on a failure.
    bool NextBlock()
    {
        if (!m_block || m_block->Position() < static_cast<qint64>(kPsqlOdbcWalkFetchRows)) {
            End();
            return false;
        }
        m_block.reset();
        OpenBlock([text = NextFetch(), readOnlyDriver = m_readOnlyDriver](SQLHSTMT stmt) {
            return ExecuteWalkCommand(stmt, text, 0, readOnlyDriver);
        });
        return m_block != nullptr;
    }

    static qint64 ValueBytes(const DbRows& rows)
    {
        qint64 bytes = 0;
        for (int r = 0; r < rows.RowCount(); ++r) {
            for (int c = 0; c < rows.ColumnCount(); ++c)
                bytes += rows.Utf8(r, c).size();
        }
        return bytes;
    }

    static void AppendRows(const DbRows& from, DbRows& to)
    {
        for (int r = 0; r < from.RowCount(); ++r) {
            for (int c = 0; c < from.ColumnCount(); ++c) {
                if (from.IsNull(r, c))
                    to.AppendNull();
                else
                    to.AppendUtf8(from.Utf8(r, c));
            }
        }
    }

    // A failure ends the walk, its transaction with it.
    bool Stop()
    {
        if (m_block) {
            Fail(m_block->LastError());
            m_bStopped = m_block->Stopped();
        }
        End();
        return false;
    }

    void End()
    {
        m_block.reset();
        OdbcTransactionWalk::End();
    }

    std::unique_ptr<OdbcCursor> m_block; // the rows of the last FETCH; none once the walk is over
    QStringList m_names;
};

class OdbcConnection final : public DbConnection
{
public:
    explicit OdbcConnection(const OdbcRequest& request)
    {
        if (!request.refusal.isEmpty()) {
            Refuse(request.refusal);
            return;
        }
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env))) {
            m_env = SQL_NULL_HANDLE;
            Fail(QStringLiteral("无法启动 ODBC 驱动程序管理器"));
            return;
        }
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc))) {
            m_dbc = SQL_NULL_HANDLE;
            Fail(Diagnostics(SQL_HANDLE_ENV, m_env));
            Close();
            return;
        }
        // Without a limit a silent server would hold the program indefinitely.
        const DbLimits limits = GetDbLimits();
        SQLSetConnectAttr(
            m_dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(OdbcSeconds(limits.connectMs)), 0);
        SQLSetConnectAttr(
            m_dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(OdbcSeconds(limits.statementMs)), 0);
        // In UTF-16, so that a Unicode driver reads the values whatever the process
        // locale; the check has judged what the manager reads of it too.
        QString text = request.text; // short, and ended by a nul it holds nowhere else
        const SQLRETURN rc = SQLDriverConnectW(m_dbc, nullptr, Wide(text), SQL_NTS, nullptr, 0, nullptr,
            SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            QString message = Diagnostics(SQL_HANDLE_DBC, m_dbc);
            Fail(message.isEmpty() ? QStringLiteral("无法通过 ODBC 连接数据库") : message);
            SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
            m_dbc = SQL_NULL_HANDLE;
            Close();
            return;
        }
        m_session = OdbcReadOnlySession(m_dbc);
        m_connected = true;
        m_connectionText = request.text;
    }
    ~OdbcConnection() override { Close(); }

    bool IsOpen() const override { return m_connected; }
    bool Lost() const override
    {
        SQLUINTEGER dead = SQL_CD_FALSE;
        return !m_connected
            || (SQL_SUCCEEDED(SQLGetConnectAttr(m_dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE);
    }
    SqlServerKind ServerKind() const override { return m_session.kind; }
    bool SuperuserLogin() const override { return m_session.superuser; }

    void Interrupt() override
    {
        std::lock_guard<std::mutex> guard(m_running->lock);
        if (m_running->stmt)
            SQLCancel(m_running->stmt);
    }

    void Close() override
    {
        if (m_dbc) {
            if (m_connected)
                SQLDisconnect(m_dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        }
        if (m_env)
            SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        m_dbc = SQL_NULL_HANDLE;
        m_env = SQL_NULL_HANDLE;
        m_connected = false;
    }

    bool ListTables(QStringList& tables) override
    {
        tables.clear();
        DbRows rows;
        static const QString kinds = QStringLiteral("TABLE,VIEW");
        const bool ok = Run(rows, 0, -1,
            [&](SQLHSTMT stmt) { return SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, Wide(kinds), SQL_NTS); });
        if (!ok)
            return false;
        for (int r = 0; r < rows.RowCount(); ++r)
            tables.append(rows.Value(r, 2)); // TABLE_NAME
        return true;
    }

    bool ListFields(const QString& table, QStringList& fields) override
    {
        // The probe reads the columns of the table as a statement names it, which
        // also works for drivers whose catalogue calls take patterns. The name comes
        // as the catalogue lists it, so it is quoted: blanks ("Order Details") and
        // letter case (PostgreSQL folds unquoted names) must survive.
        fields.clear();
        DbRows rows;
        if (!Query(QStringLiteral("select * from %1 where 1=0").arg(QuotedName(table)), rows, 0, 0))
            return false;
        fields = rows.Columns();
        return true;
    }

    bool Query(const QString& sql, DbRows& rows, qint64 skip, qint64 maxRows) override
    {
        return Run(rows, skip, maxRows, Executing(sql));
    }

    // A statement without a ';' cannot end the step that holds it early (as in the frame), so
    // the guard, the steps and the question go as one text, the guard failing it before any
    // step is parsed. One with a ';' is parsed alone first, as it would be before it runs: the
    // steps' text is then split by the server where it is meant to be. A parse may already run
    // something of the database's, so the guard then goes before it, on its own.
    bool QueryResolving(const QString& statement, const QString& guard, const QStringList& steps, const QString& question,
        DbRows& rows) override
    {
        if (!m_session.frame.framed)
            return DbConnection::QueryResolving(statement, guard, steps, question, rows);
        if (!OdbcStatementFrame::Enclosed(statement).isEmpty()) {
            const int before = 2 + static_cast<int>(steps.size());
            return Run(rows, 0, -1,
                [text = guard + u';' + OdbcStatementFrame::ResolvingText(steps, question), before](SQLHSTMT stmt) {
                    return ExecuteSkipping(stmt, text, before);
                });
        }
        return Run(rows, 0, 0, [guard](SQLHSTMT stmt) { return ExecuteSkipping(stmt, guard); })
            && Run(rows, 0, -1,
                Sending(OdbcStatementFrame::ResolvingText(steps, question), 1 + static_cast<int>(steps.size()), statement));
    }

    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override { return OpenWalk(sql, false); }
    // As on PostgreSQL's own route, only where this process reaches the server itself: a
    // pooler's server connection would be pinned by the cursor's transaction while the user
    // turns pages.
    std::unique_ptr<DbCursor> OpenSeekingCursor(const QString& sql) override
    {
        return OpenWalk(sql, m_session.walkTransactions && PgLeadsAsQuery(sql) && m_session.ReachesServer());
    }

private:
    std::unique_ptr<DbCursor> OpenWalk(const QString& sql, bool seeking)
    {
        if (!m_connected)
            return DbConnection::OpenCursor(sql); // which fails as Query does
        if (m_session.walkTransactions) {
            if (seeking) {
                auto cursor = std::make_unique<OdbcSeekingCursor>(
                    m_dbc, Walking(sql, true), m_running, m_session.readOnlyDriver);
                if (!cursor->NoTransactions())
                    return cursor;
            } else if (const QString enclosed = OdbcStatementFrame::Enclosed(sql);
                       !enclosed.isEmpty() && PgLeadsAsQuery(sql)) {
                auto cursor = std::make_unique<OdbcForwardCursor>(
                    m_dbc, m_session.frame.Head(), enclosed, m_running, m_session.readOnlyDriver);
                if (!cursor->NoTransactions())
                    return cursor;
            } else {
                auto cursor
                    = std::make_unique<OdbcCursor>(m_dbc, Walking(sql, false), m_running, true, OdbcCursor::DeclaredWalk);
                if (!cursor->NoTransactions())
                    return cursor;
            }
            // Such a pool holds no cursor: the walk reads every row in the frame, on a new
            // connection, as every later one does.
            m_session.walkTransactions = false;
            if (!Reconnect())
                return DbConnection::OpenCursor(sql);
        }
        return std::make_unique<OdbcCursor>(m_dbc, Executing(sql), m_running, m_session.frame.framed);
    }

    // A walk on PostgreSQL: psqlODBC holds a statement's whole result in memory unless it reads
    // it through a cursor of its own (DECLARE, then FETCH kPsqlOdbcWalkFetchRows rows at a
    // time), which needs a transaction. The statement is parsed alone as in the frame; then,
    // with autocommit off, the frame's head begins the transaction (read-only, the step's limit,
    // the role), and the statement follows by itself, on a line of its own past a comment it
    // may end with. The cursor's end rolls the transaction back and turns autocommit on again.
    // A procedure called there cannot commit, as in the frame; the statement can make the
    // transaction one that writes no more than there, the head's snapshot coming first.
    // seeking: the statement, a query, is declared as the program's own scrollable cursor
    // instead (OdbcSeekingCursor); DECLARE takes nothing but one query.
    OdbcExecute Walking(const QString& sql, bool seeking) const
    {
        return [dbc = m_dbc, head = m_session.frame.Head(), seeking, readOnlyDriver = m_session.readOnlyDriver,
                   text = seeking ? QStringLiteral("DECLARE vc_walk SCROLL CURSOR FOR ") + sql + u'\n' : QString(sql + u'\n'),
                   alone = m_session.frame.ParsedAlone(sql), procedure = !PgCalledPart(sql).isNull()](SQLHSTMT stmt) {
            const SQLRETURN parsed = ParseAlone(stmt, alone, procedure);
            if (parsed != SQL_SUCCESS)
                return parsed;
            SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
            const SQLRETURN rc = ExecuteSkipping(stmt, head);
            if (!SQL_SUCCEEDED(rc))
                return DiagnosticState(SQL_HANDLE_STMT, stmt) == u"08P01" ? kOdbcNoTransactions : rc;
            SQLFreeStmt(stmt, SQL_CLOSE);
            if (!seeking) {
                SQLSetConnectAttr(dbc, kPsqlOdbcFetch, reinterpret_cast<SQLPOINTER>(kPsqlOdbcWalkFetchRows), 0);
                SQLSetConnectAttr(dbc, kPsqlOdbcUseDeclareFetch, reinterpret_cast<SQLPOINTER>(1), 0);
            }
            return ExecuteWalkCommand(stmt, text, 0, readOnlyDriver && seeking);
        };
    }

    // Connects again with the same string; false with the driver's message.
    bool Reconnect()
    {
        SQLDisconnect(m_dbc);
        m_connected = false;
        QString text = m_connectionText;
        if (!SQL_SUCCEEDED(SQLDriverConnectW(m_dbc, nullptr, Wide(text), SQL_NTS, nullptr, 0, nullptr,
                SQL_DRIVER_NOPROMPT))) {
            const QString message = Diagnostics(SQL_HANDLE_DBC, m_dbc);
            return Fail(message.isEmpty() ? QStringLiteral("无法通过 ODBC 连接数据库") : message);
        }
        const bool walkTransactions = m_session.walkTransactions;
        m_session = OdbcReadOnlySession(m_dbc);
        m_session.walkTransactions = walkTransactions;
        m_connected = true;
        return true;
    }

    // The statement in the session's frame (OdbcStatementFrame); what it answers comes after the
    // head's results. One round trip, unless the statement is parsed alone first.
    OdbcExecute Executing(const QString& sql) const
    {
        const OdbcStatementFrame& frame = m_session.frame;
        const QString enclosed = frame.framed ? OdbcStatementFrame::Enclosed(sql) : QString();
        const bool checked = frame.framed && enclosed.isEmpty() && frame.checkedInFrame;
        return [direct = enclosed.isEmpty() ? QString() : frame.Text(enclosed),
                   checkedText = checked ? frame.Text(sql, frame.CheckBlock(sql)) : QString(),
                   text = frame.Text(sql), skip = frame.HeadResults(false), skipChecked = frame.HeadResults(true),
                   alone = frame.ParsedAlone(sql), procedure = !PgCalledPart(sql).isNull()](SQLHSTMT stmt) {
            if (!direct.isEmpty())
                return ExecuteSkipping(stmt, direct, skip);
            if (!checkedText.isEmpty()) {
                const SQLRETURN rc = ExecuteSkipping(stmt, checkedText, skipChecked);
                if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
                    return rc;
                const QString state = DiagnosticState(SQL_HANDLE_STMT, stmt);
                if (state == QStringView(OdbcStatementFrame::kSeveralState))
                    return kOdbcSeveralStatements;
                if (state != QStringView(OdbcStatementFrame::kRewrittenState))
                    return rc;
                SQLFreeStmt(stmt, SQL_CLOSE);
            }
            if (!alone.isEmpty()) {
                const SQLRETURN parsed = ParseAlone(stmt, alone, procedure);
                if (parsed != SQL_SUCCESS)
                    return parsed;
            }
            return ExecuteSkipping(stmt, text, skip);
        };
    }

    // Sends text, which holds the statement, once the server has parsed the statement alone
    // where the session is framed; the answer comes after skip results.
    OdbcExecute Sending(const QString& text, int skip, const QString& sql) const
    {
        return [text, skip, alone = m_session.frame.ParsedAlone(sql), procedure = !PgCalledPart(sql).isNull()](SQLHSTMT stmt) {
            if (!alone.isEmpty()) {
                const SQLRETURN parsed = ParseAlone(stmt, alone, procedure);
                if (parsed != SQL_SUCCESS)
                    return parsed;
            }
            return ExecuteSkipping(stmt, text, skip);
        };
    }

    // The rows after skip of what execute gives, as many as maxRows; the statement is
    // released as soon as they are read.
    bool Run(DbRows& rows, qint64 skip, qint64 maxRows, const OdbcExecute& execute)
    {
        rows.Clear();
        if (!m_connected)
            return FailNotConnected();
        m_bStopped = false;
        OdbcCursor cursor(m_dbc, execute, m_running, m_session.frame.framed);
        if (!cursor.Skip(skip) || !cursor.Fetch(maxRows, rows)) {
            m_bStopped = cursor.Stopped();
            return Fail(cursor.LastError());
        }
        return Succeed();
    }

    // The driver's identifier quote; a blank means the driver has none.
    QString IdentifierQuote() const override
    {
        SQLWCHAR text[8] = {};
        SQLSMALLINT bytes = 0;
        if (!SQL_SUCCEEDED(SQLGetInfoW(m_dbc, SQL_IDENTIFIER_QUOTE_CHAR, text, sizeof text, &bytes)))
            return QStringLiteral("\"");
        return FromWide(text, std::clamp<qsizetype>(bytes / 2, 0, 7)).trimmed();
    }

    // The name in the driver's identifier quotes (a quote inside doubled), or as it
    // is when the driver has none.
    QString QuotedName(const QString& name) const
    {
        const QString quote = IdentifierQuote();
        if (quote.isEmpty())
            return name;
        QString quoted = name;
        quoted.replace(quote, quote + quote);
        return quote + quoted + quote;
    }

    SQLHENV m_env = SQL_NULL_HANDLE;
    SQLHDBC m_dbc = SQL_NULL_HANDLE;
    bool m_connected = false;
    QString m_connectionText; // as the driver manager was given it
    OdbcSession m_session;
    std::shared_ptr<OdbcRunning> m_running = std::make_shared<OdbcRunning>();
};

} // namespace

std::unique_ptr<DbConnection> DbConnection::OpenOdbc(const QString& connectionString, const QString& sourceName)
{
    return OpenOnWorker(sourceName.isEmpty() ? QStringLiteral("ODBC") : sourceName,
        [connectionString, sourceName]() -> std::unique_ptr<DbConnection> {
            // A string from a label file decides which library the driver manager loads and
            // what the driver does: the manager is given only the bytes checked here.
            const OdbcRequest request = CheckOdbcString(connectionString, sourceName, InstalledOdbcRegistry());
            if (!request.sqliteFile.isEmpty())
                return OpenSQLite(request.sqliteFile);
            if (!request.accessFile.isEmpty())
                return OpenAccess(request.accessFile, request.accessPassword);
            if (request.mysqlServer)
                return OpenMySQL(*request.mysqlServer);
            return std::make_unique<OdbcConnection>(request);
        });
}

namespace {

// The entries of one of the driver manager's listings, first to last; list is
// SQLDriversW or SQLDataSourcesW, whose arguments have the same shape. entry gets the
// name and the second text: a driver's attributes ("Key=value" texts each ended by a
// nul) or a data source's driver.
template <typename List, typename Entry> void OdbcListing(List list, Entry entry)
{
    SQLHENV env = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR name[256] = {};
        SQLWCHAR second[1024] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT secondLength = 0;
        if (!SQL_SUCCEEDED(list(env, direction, name, 256, &nameLength, second, 1024, &secondLength)))
            break;
        entry(FromWide(name, std::clamp<qsizetype>(nameLength, 0, 255)),
            FromWide(second, std::clamp<qsizetype>(secondLength, 0, 1023)));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

// The entries of each data source that say where it connects and as whom, read from
// odbc.ini (the user's, then the system's) as the driver manager hands them to a driver:
// the program reaches some sources itself (SQLite, MariaDB/MySQL), and the question
// before a source connects shows the others' where a string names only the source.
void ReadOdbcSettings(OdbcRegistry& registry)
{
    for (OdbcRegistry::Source& source : registry.dataSources) {
        const QByteArray section = source.name.toUtf8();
        for (const char* key : {"Servername", "Server", "Host", "Hostname", "Address", "Port", "Database", "DB", "DBQ",
                 "User", "UID", "Username", "Password", "PWD", "Protocol", "TDS_Version", "SSLMode", "ReadOnly"}) {
            char value[1024] = {};
            const int length = SQLGetPrivateProfileString(section.constData(), key, "", value, sizeof value, "odbc.ini");
            if (length > 0)
                source.settings.append({QLatin1String(key), QString::fromUtf8(value, std::min<int>(length, 1023))});
        }
    }
}

} // namespace

OdbcRegistry InstalledOdbcRegistry()
{
    OdbcRegistry registry;
    OdbcListing(SQLDriversW, [&](const QString& name, const QString& attributes) {
        QString library;
        for (const QString& attribute :
            attributes.split(QRegularExpression(QStringLiteral("[;\\x{0}]")), Qt::SkipEmptyParts)) {
            if (attribute.startsWith(QLatin1String("Driver="), Qt::CaseInsensitive))
                library = attribute.mid(7);
        }
        registry.drivers.append({name, library});
    });
    OdbcListing(SQLDataSourcesW, [&](const QString& name, const QString& driver) {
        registry.dataSources.append({name, driver, {}});
    });
    ReadOdbcSettings(registry);
    return registry;
}

QStringList InstalledOdbcDrivers()
{
    QStringList names;
    OdbcListing(SQLDriversW, [&](const QString& name, const QString&) { names.append(name); });
    return names;
}
