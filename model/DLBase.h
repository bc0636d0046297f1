#pragma once

#include "model/SqlStatements.h"
#include "platform/VXException.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbReach.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class CDSBase;
class DbRowStage;
class DbStagePins;
class DbStageRecheck;

// The rows one load hands back: one element per field, a NULL value as an empty
// text, the caller owning the block. The same container the data-access layer
// fills, so rows are not copied between the two.
using LoaderRow = DbRows;

// A failure as the user reads it: a sentence in the program's words saying what failed
// and what to check, then the database's or driver's own text as its detail.
QString FailureMessage(const QString& sentence, const QString& detail);
// The failure of a data-source type that has no loader (OLE DB and ODBC descriptions).
QString NoLoaderMessage();

// Where the loaders' messages to the user go. The application installs one that
// shows a message box; tests install a recorder. Without one, messages are logged.
class CLoaderNotifier
{
public:
    virtual ~CLoaderNotifier() = default;
    virtual void ShowError(const QString& text) = 0;
};

// Reads the rows of one data source as text, page by page or by a range of record
// numbers (1-based, inclusive), according to its description. Made by CreateLoader;
// the description is not owned and must outlive the loader.
//
// Failures: Open returns false and GetLastError() says why. GetRecordCount throws
// CDataSourceException when the source cannot be opened or counted, and LoadRows
// returns false with GetLastError() set; a failure is never reported as zero rows.
class CDLBase
{
public:
    // A new loader for a DataSourceType code. Codes without a loader throw
    // CDataSourceException with NoLoaderMessage().
    static std::unique_ptr<CDLBase> CreateLoader(int32_t type);
    static void SetNotifier(CLoaderNotifier* notifier);

    CDLBase();
    CDLBase(const CDLBase&) = delete;
    CDLBase& operator=(const CDLBase&) = delete;
    virtual ~CDLBase();

    // Another description may name another database: an open connection is closed.
    virtual void SetDataSource(const CDSBase* source);
    const CDSBase* GetDataSource() const { return m_pDataSource; }

    // Nothing to open in the base.
    virtual bool Open() { return true; }
    // Where Open would connect and as whom, read off what it would send (DbReach.h); the
    // base and the file loaders reach no server.
    virtual DbReach Reach() const;
    virtual bool Close();
    virtual bool IsOpen() const;

    // The number of records of the description's range.
    virtual int GetRecordCount() { return 0; }
    // Records first..last of the description's range; counts and loads open the
    // source when it is not open.
    virtual bool LoadRows(int nFirst, int nLast, LoaderRow& rows);
    // Page numbers are 1-based: page p of size s holds records (p-1)*s+1 .. p*s.
    bool LoadPage(int nPage, int nPageSize, LoaderRow& rows);
    bool LoadPages(int nPage, int nPageSize, int nPages, LoaderRow& rows);

    // The caller loads the records in order, page after page (a print job): one
    // statement then walks them, kept open from load to load, so every page costs the
    // same. It holds the source's read lock (an SQLite file's) until Close.
    void SetSequentialLoads(bool sequential) { m_bSequential = sequential; }
    // The caller shows pages in any order (a preview): they come from one walk of the
    // statement a print job walks, its rows kept as far as it has gone (DbRowStage), so rows
    // that the server orders as equal keep their places from page to page and each record
    // shows once, where print puts it. A count, or Close, starts the next walk afresh.
    void SetBrowsedLoads(bool browsed) { m_bBrowsed = browsed; }

    QString GetLastError() const { return m_strLastError; }
    // Whether the last error already reached the user through the notifier, so that
    // a caller does not show it a second time.
    bool ErrorShown() const { return m_bErrorShown && !m_strLastError.isEmpty(); }
    // The exception a caller throws for this loader's last error, prefixed; it is
    // marked as shown when the loader showed it.
    CDataSourceException LastErrorException(const QString& prefix = {}) const;

protected:
    // Generic count and rows for loaders that reach their source through the
    // connection of m_connection; rows as ReadRows reads them, one element per
    // selected field.
    int QueryRecordCount();
    // Range mode 1 counts without the source; otherwise the first value of the
    // statement's result, read as a leading integer.
    int CountRecords(const std::function<QString()>& statement);
    bool QueryRows(int nFirst, int nLast, LoaderRow& rows);
    // Records first..last (the source's numbers) of the statement, read with one
    // cursor that goes on from load to load: a job that prints page after page runs
    // its statement once and every page costs the same. A load before where the
    // cursor stands, or of another statement, starts a new one.
    bool WalkRows(const QString& sql, qint64 first, qint64 last, LoaderRow& rows);
    // Records first..last (the source's numbers, first <= last) of the open source: walked
    // for sequential loads (unless they are all the job counted), else read with a limit in the
    // statement where the database pages there, else with the rows before them passed over.
    // False with the failure set.
    bool ReadRows(qint64 first, qint64 last, LoaderRow& rows);
    // Closes the cursor, so that the connection takes another statement.
    void EndWalk();
    // Records first..last of the statement as one walk of it gives them (SetBrowsedLoads): read
    // from its rows kept so far, the walk going on past them where the page lies further.
    bool BrowseRows(const QString& sql, qint64 first, qint64 last, LoaderRow& rows);
    // BrowseRows on a cursor that seeks: each page read where it lies in the walk's one run, the
    // pages shown kept as a hash of each row. Once the walk must run again it is kept in the stage
    // from its start on, the shown rows pinned to their places (DbStagePins).
    bool SeekRows(const QString& sql, qint64 first, qint64 last, LoaderRow& rows);
    // Opens the walk of sql where the server can move past rows itself (else as OpenCursor).
    void OpenSeekingWalk(const QString& sql);
    // Forgets the walk's rows kept for browsing.
    void DropStage();
    // A new connection in place of one whose walk the server ended, the rows kept staying;
    // false with the failure set.
    bool Reconnect();
    // A walk the server ended, the reruns tried so far counted in reruns: true to run it again,
    // once on the same connection, then on a new one; false with the failure set after that.
    bool RunAgain(int& reruns, const QString& error);

    // Range mode 1: to - from + 1, never below 0.
    int RangeRecordCount() const;
    // Maps records first..last of the description into record numbers of the
    // source (range mode 1 shifts them into from..to); false when nothing is left.
    bool MapRecords(int nFirst, int nLast, qint64& first, qint64& last) const;
    // The statements of the description's type, quoted as its database wants.
    CSqlStatements Statements() const;

    // Empties rows and opens the source when needed (false on failure); then
    // first..last are the source's records to read, none when first > last.
    bool PrepareLoad(int nFirst, int nLast, LoaderRow& rows, qint64& first, qint64& last);
    bool OpenIfNeeded();
    // Fails with the reason when the description may not connect: a database server the
    // user has not allowed (SourceApproval.h). Every Open asks it first.
    bool ApproveConnection();
    // Fails with the reason when the description's own statement must not be sent.
    // Before the source is open only a statement that no server would take; once open,
    // as the connection's server reads it (an ODBC connection only knows its server then).
    bool AcceptStatement();
    // OpenIfNeeded with the statement accepted before anything of it is sent.
    bool OpenWithStatement();
    // What the server tells once connected (a superuser login, routines with their owner's
    // rights) may add to what the user allowed: the statement then runs only once the user
    // allows it again, told why (SourceApproval.h).
    bool AllowStatementOnLogin();
    bool Fail(const QString& message);
    // GetRecordCount's failure: the last error as a typed exception.
    [[noreturn]] void ThrowLastError() const;
    // Shows the last error through the notifier, once.
    void ShowLastError();
    // The failure of a statement: what failed and what to check, with the database's text.
    bool FailQuery(const QString& detail);
    // The failure of a call on connection (or of its opening): sentence with the
    // connection's message as its detail, or that message alone when it is our own
    // refusal or the call was cancelled or passed its limit.
    bool FailConnection(const DbConnection& connection, const QString& sentence);
    // FailConnection of m_connection for a statement that reads the records.
    bool FailRead();

    const CDSBase* m_pDataSource = nullptr;
    std::unique_ptr<DbConnection> m_connection;
    // Declared after the connection, so it goes first.
    std::unique_ptr<DbCursor> m_cursor;
    QString m_strCursorSql;
    // The rows of the browsed walk so far, of the statement m_strStageSql; shared with the
    // step that keeps the rows a walk reads.
    std::shared_ptr<DbRowStage> m_stage;
    QString m_strStageSql;
    bool m_bStageComplete = false; // the walk reached the statement's end
    // The check of a walk run again over the rows kept (none for the first run); goes with the cursor.
    std::shared_ptr<DbStageRecheck> m_recheck;
    // The pages a seeking cursor showed: a hash of each row by the place of its first row, and
    // the shown columns' names.
    std::map<qint64, std::vector<quint64>> m_shownPages;
    QStringList m_shownColumns;
    // The shown rows' places the stage keeps them in, once a seeking walk ran again after them.
    std::shared_ptr<DbStagePins> m_pins;
    bool m_bSequential = false;
    // The last record of the job in the statement's order, as counted (CountRecords); -1 not
    // counted yet.
    qint64 m_nLastCounted = -1;
    bool m_bBrowsed = false;
    bool m_bStatementAllowed = false; // AllowStatementOnLogin passed for this connection
    QString m_strLastError;
    bool m_bErrorShown = false;
};
