#pragma once

#include "platform/db/DbRows.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// Where a database server is and who connects. Values are passed to the client
// libraries as separate parameters, never pasted into a connection text, so blanks
// and quotes in them are safe.
struct DbServerSettings
{
    QString host;
    int port = 0;
    QString database;
    QString user;
    QString password;
};

// Which server reads a connection's statements, and how it reads their quotes, as far as
// the connection knows: a statement is judged as that server reads it, and every way a
// server could read it where the connection cannot tell.
struct SqlServerKind
{
    enum Server { Unknown, SQLite, PostgreSQL, MySQL, SqlServer };
    Server server = Unknown;
    // PostgreSQL's standard_conforming_strings ('\' ordinary in '...'); unset: either.
    std::optional<bool> standardStrings;
    // MySQL/MariaDB's sql_mode ANSI_QUOTES and NO_BACKSLASH_ESCAPES; unset: either.
    std::optional<bool> ansiQuotes;
    std::optional<bool> noBackslashEscapes;

    bool operator==(const SqlServerKind&) const = default;
};

// A statement's rows read a slice at a time: the statement runs once and each call goes
// on where the last one stopped, so every slice of a long walk costs the same. Made by
// DbConnection::OpenCursor; while it is open its connection runs no other statement,
// and it must go before its connection does.
class DbCursor
{
public:
    DbCursor() = default;
    DbCursor(const DbCursor&) = delete;
    DbCursor& operator=(const DbCursor&) = delete;
    virtual ~DbCursor() = default;

    // Passes over the next count rows.
    virtual bool Skip(qint64 count) = 0;
    // The next maxRows rows (fewer at the end, none after it) with the column names;
    // false with LastError() set on failure, rows then empty.
    virtual bool Fetch(qint64 maxRows, DbRows& rows) = 0;

    // Fetches up to maxRows rows in slices, handing each slice to take (on a thread of its own,
    // while the next slice is read, one slice at a time and in order), so that the whole (a
    // preview's jump far ahead: reading, checking and keeping the rows between) is one step under
    // one wait (DbWait.h), however many slices it takes. Slices start at firstSlice rows and grow
    // while they hold little, up to a few megabytes. take returns false to stop; a slice past it
    // may have been read. False on a failure of reading, or when the step is over between
    // slices; take must own what it uses, as a step given up comes back after its caller has gone.
    virtual bool FetchInto(qint64 maxRows, qint64 firstSlice, const std::function<bool(const DbRows&)>& take);

    // Whether Seek works: the server moves the cursor to any row, back too, without sending the
    // rows between, and gives the rows in one order however often they are read.
    virtual bool CanSeek() const { return false; }
    // Moves to just after the first position rows (0: before the first row).
    virtual bool Seek(qint64 position)
    {
        Q_UNUSED(position);
        return Fail(QStringLiteral("不能定位到指定的记录"));
    }

    // What the walk holds on the server while it idles between calls, as the watch of its
    // connection's worker sees it (DbWorker.cpp), which gives it back (Release) when another
    // session waits for it, or once it has idled past DbLimits::walkIdleMs (standbyIdleMs where
    // who waits cannot be seen: a standby, whose replay waits for it unseen, a pooler, a login
    // that may not see other sessions).
    struct Hold
    {
        bool held = false; // a transaction, or a statement whose rows are not all read
        bool waitedFor = false; // another session waits for a lock of the walk's
        bool standby = false;
        bool unseen = false; // whether another session waits cannot be asked
    };
    // Asks the server where needed; a walk that holds nothing asks nothing. Where the walk's own
    // transaction is asked, a failure to ask has ended it: it counts as waited for.
    virtual Hold Watch() { return {}; }
    // Gives back at once what the walk holds on the server; the walk is ended after it.
    virtual void Release() {}
    // Has the walk watched while it idles: a preview's, whose next page can run it again. A print
    // job's walk is never given back under it.
    virtual void WatchWhileIdle() {}

    // Rows skipped or fetched so far.
    qint64 Position() const { return m_position; }
    QString LastError() const { return m_strLastError; }
    // The last call was cancelled or passed its time limit (DbWait.h); LastError() is then
    // our own message, complete in itself.
    bool Stopped() const { return m_bStopped; }

protected:
    bool Fail(const QString& message)
    {
        m_strLastError = message;
        return false;
    }

    qint64 m_position = 0;
    QString m_strLastError;
    bool m_bStopped = false;
};

// A cursor over a result the database hands over one row at a time: Skip and Fetch
// move with Next, and Fetch appends each row it moves to with AppendRow.
class DbRowCursor : public DbCursor
{
public:
    bool Skip(qint64 count) final;
    bool Fetch(qint64 maxRows, DbRows& rows) final;

protected:
    // Moves to the next row; false at the end, or on failure with LastError() set.
    virtual bool Next() = 0;
    // Appends the values of the row Next moved to, one per name of m_names; false on
    // failure, with LastError() set and the walk ended.
    virtual bool AppendRow(DbRows& rows) = 0;

    QStringList m_names;
};

// One open connection to a database, the single data-access layer of the program:
// the loaders read rows through it and the data-source dialogs list tables and
// fields and preview rows through it. Text goes to and comes from every backend as
// UTF-8. Failures never throw: the call returns false (or the connection is not
// open) and LastError() holds the database's own message.
class DbConnection
{
public:
    DbConnection() = default;
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;
    virtual ~DbConnection() = default;

    // Opens an existing SQLite file read-only; a missing file is an error, never
    // created.
    static std::unique_ptr<DbConnection> OpenSQLite(const QString& path);
    // libpq with UTF-8 client encoding.
    static std::unique_ptr<DbConnection> OpenPostgreSQL(const DbServerSettings& settings);
    // The MariaDB/MySQL client library with the utf8mb4 character set.
    static std::unique_ptr<DbConnection> OpenMySQL(const DbServerSettings& settings);
    // unixODBC with an ODBC connection string (DSN=... or Driver=...), given to the
    // driver manager as CheckOdbcString (Ado.h) rebuilds it; a refused string never
    // reaches the driver manager. sourceName is the data source its messages name.
    static std::unique_ptr<DbConnection> OpenOdbc(const QString& connectionString, const QString& sourceName = {});
    // A workbook (.xls or .xlsx, told apart by content) read whole into memory; each
    // sheet is a table named after it with "$" appended ("Sheet1$", written
    // [Sheet1$] in statements). With headerRow the first used row names the
    // columns, otherwise they are F1, F2, ... Statements run in SQLite's dialect.
    static std::unique_ptr<DbConnection> OpenExcel(const QString& path, bool headerRow);
    // An Access database read with mdbtools (read-only); each user table is copied
    // into memory when a statement first names it. Statements run in SQLite's dialect.
    static std::unique_ptr<DbConnection> OpenAccess(const QString& path, const QString& password);
    // An OLE DB provider connection string with the user id and password given
    // beside it, routed to the client that stands in for the provider (see Ado.h).
    static std::unique_ptr<DbConnection> OpenAdo(const QString& connectionString, const QString& userId,
        const QString& password, const QString& sourceName = {});

    // A connection that never opened, with why: refused, our own refusal (Refused()), else a
    // failure.
    static std::unique_ptr<DbConnection> Unavailable(const QString& why, bool refused);

    virtual bool IsOpen() const = 0;
    // The server or an administrator ended the connection (a restart, a killed session): no
    // statement runs on it again, and a walk that failed on it failed for that, not for its
    // statement.
    virtual bool Lost() const { return !IsOpen(); }
    // Safe to call more than once; the destructor closes too.
    virtual void Close() = 0;

    // Table names in the order the database lists them.
    virtual bool ListTables(QStringList& tables) = 0;
    // Column names of one table in their defined order; the name is taken as
    // ListTables lists it, and quoted by the backend where its statements need that.
    virtual bool ListFields(const QString& table, QStringList& fields) = 0;

    // Runs one statement. Rows skip+1 .. skip+maxRows of its result are kept in rows
    // (all rows from skip+1 on when maxRows is negative, none when it is 0; a negative
    // skip counts as 0: see RowWindow); rows are streamed, so rows outside that window
    // cost no memory. A statement without a result set gives zero columns. On failure
    // rows are left empty and LastError() says why.
    virtual bool Query(const QString& sql, DbRows& rows, qint64 skip = 0, qint64 maxRows = -1) = 0;

    // The statement's rows for a walk from the first on (see DbCursor); never null. A
    // statement that fails says so at the first Skip or Fetch. The base runs the
    // statement again for every slice, skipping the rows before it.
    virtual std::unique_ptr<DbCursor> OpenCursor(const QString& sql);
    // A cursor that can Seek where the server can move past rows itself within one run of the
    // statement (a PostgreSQL cursor held in a transaction of its own); else OpenCursor's.
    virtual std::unique_ptr<DbCursor> OpenSeekingCursor(const QString& sql) { return OpenCursor(sql); }

    // The program's own question about a statement that the server is to resolve first
    // (PostgreSQL's routes): the guard, the steps, then the question, in one transaction of their
    // own that is rolled back, in one round trip where the route allows. That transaction is not
    // read-only, so that a step may make a temporary object; it runs under the step's limit and
    // with JIT off. statement is the one a step holds: where the route could read the text as
    // more than one statement, the server parses it alone first, and the guard (a query that
    // fails where nothing of the statement may reach the server) runs before that. The
    // question's rows; false with LastError() when a part failed, or where the route has no such
    // transaction.
    virtual bool QueryResolving(const QString& statement, const QString& guard, const QStringList& steps,
        const QString& question, DbRows& rows);

    // The character that quotes a table or field name in this database's statements
    // (doubled inside a name); empty when the database has none.
    virtual QString IdentifierQuote() const { return QStringLiteral("\""); }
    // The server the statements go to, as the connection learnt it when it opened.
    virtual SqlServerKind ServerKind() const { return {}; }
    // The login is a superuser of the server: it can undo any read-only hold a statement is put
    // under (reset role, set_config), so the program cannot promise that the statement only
    // reads. Learnt when the connection opened; false where the server has no such login.
    virtual bool SuperuserLogin() const { return false; }

    // The database's message for the last failure, empty after a success.
    QString LastError() const { return m_strLastError; }
    // The connection string was refused before any driver saw it, or the connection failed in
    // a way whose remedy the program knows; LastError() is then our own message, complete in
    // itself, to be shown as it stands.
    bool Refused() const { return m_bRefused; }
    // The last call was cancelled or passed its time limit (DbWait.h); LastError() is then
    // our own message, complete in itself, naming the data source.
    bool Stopped() const { return m_bStopped; }
    // The file was found and read, and what it holds was refused (damaged, protected, not of
    // its kind, beyond what the program reads); LastError() is then our own message,
    // complete in itself, naming the file and what is wrong with it.
    bool Unreadable() const { return m_bUnreadable; }

    // Makes the call running on another thread return soon with a failure; safe to call
    // from any thread while that call runs, and a no-op when none does.
    virtual void Interrupt() {}

protected:
    // Runs the statement and collects the first value of each row.
    bool QueryFirstColumn(const QString& sql, QStringList& values);
    bool Fail(const QString& message)
    {
        m_strLastError = message;
        return false;
    }
    bool Succeed()
    {
        m_strLastError.clear();
        return true;
    }
    // The failure of a call on a connection that is not open.
    bool FailNotConnected() { return Fail(QStringLiteral("未连接数据库")); }
    bool Refuse(const QString& message)
    {
        m_bRefused = true;
        return Fail(message);
    }

    QString m_strLastError;
    bool m_bRefused = false;
    bool m_bStopped = false;
    bool m_bUnreadable = false;
};
