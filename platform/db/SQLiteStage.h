#pragma once

#include "platform/db/DbConnection.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct ZSTD_CCtx_s;

// A connection over a handle opened elsewhere; the connection closes it.
std::unique_ptr<DbConnection> AdoptSQLite(sqlite3* db);

// Sources without an SQL engine of their own (workbooks, Access files) are copied
// into a private SQLite database, one table per sheet or table, and queried there.
// That database lives in temporary files (only a small page cache is memory), which
// count against DbLimits::tempBytes with all other temporary files of SQLite: a copy
// that would pass the cap is refused instead of growing the program's memory. A
// table is copied when a statement first names it, so opening a large file with
// many tables costs only its catalogue.
class StagedConnection : public DbConnection
{
public:
    ~StagedConnection() override;

    bool IsOpen() const override { return m_engine != nullptr; }
    QString IdentifierQuote() const override { return QStringLiteral("`"); }
    void Close() override;
    // Interrupts the statement on the staged copy; reading the source has no interrupt.
    void Interrupt() override;
    bool ListTables(QStringList& tables) override;
    bool ListFields(const QString& table, QStringList& fields) override;
    // Jet's "select top n" (the dialogs' preview form, and Access's own) becomes
    // "limit n", also where a count or a page wraps the statement that holds it.
    bool Query(const QString& sql, DbRows& rows, qint64 skip = 0, qint64 maxRows = -1) override;

    // The staged copy's own cursor, after the tables the statement names are staged.
    std::unique_ptr<DbCursor> OpenCursor(const QString& sql) override;

    // The statement in SQLite's words; refusal tells (in the user's words) why a top
    // it cannot translate is not run, else it is empty.
    static QString RewriteTop(const QString& sql, QString& refusal);

protected:
    // Opens the empty staging database; false with LastError() set on failure.
    bool OpenEngine();
    // How failures of copying name the source, e.g. "工作簿“/path/book.xlsx”".
    void SetSourceText(const QString& text) { m_sourceText = text; }
    QString SourceText() const { return m_sourceText.isEmpty() ? QStringLiteral("数据源") : m_sourceText; }
    // The source's tables in its own order, as statements name them.
    void SetTables(const QStringList& tables)
    {
        m_tables = tables;
        m_staged.assign(tables.size(), false);
    }
    QString Table(int index) const { return m_tables.value(index); }
    // Copies table `index` of SetTables into the engine; false with the reason set.
    virtual bool Stage(int index) = 0;

    // Fills one table. Values are bound cell by cell, then EndRow stores the row;
    // an unbound cell is NULL. Everything is written in one transaction, which a
    // failure (the temporary-storage cap among them) rolls back with a message that
    // names the source and the table.
    class TableWriter
    {
    public:
        // declaredTypes: one SQL type per column, or empty for none (values keep
        // the type they are bound with).
        TableWriter(StagedConnection& owner, const QString& table, const QStringList& columns,
            const QStringList& declaredTypes = {});
        ~TableWriter();
        TableWriter(const TableWriter&) = delete;
        TableWriter& operator=(const TableWriter&) = delete;

        bool IsOk() const { return m_ok; }
        void BindInt(int column, qint64 value);
        void BindDouble(int column, double value);
        void BindText(int column, QByteArrayView utf8);
        bool EndRow();
        // Stores count rows of NULLs in one statement (count <= 0 stores none).
        bool AddEmptyRows(qint64 count);
        // Commits; false (and the table left out) when anything failed.
        bool Finish();

    private:
        bool Check(int rc);
        bool Exec(const char* sql);

        StagedConnection& m_owner;
        QString m_table;
        sqlite3_stmt* m_insert = nullptr;
        sqlite3_stmt* m_insertEmpty = nullptr;
        QByteArray m_insertEmptySql;
        bool m_ok = false;
        bool m_finished = false;
    };

    sqlite3* Handle() const { return m_db; }
    using DbConnection::Fail;

private:
    // The staging database's last failure while table was copied, in the user's words.
    bool FailCopy(const QString& table);
    bool StageNamed(const QString& sql);
    bool StageIndex(int index);

    sqlite3* m_db = nullptr; // borrowed from m_engine
    std::unique_ptr<DbConnection> m_engine;
    QStringList m_tables;
    std::vector<bool> m_staged;
    QString m_sourceText;
};

// The rows one walk of a statement gave, kept in order in a private SQLite database in
// temporary files (counted against DbLimits::tempBytes with SQLite's other temporary files,
// a small page cache in memory) and read back by position. A preview pages through what one
// run gave, so rows the server orders as equal cannot change places from page to page.
//
// Only the first keptColumns columns of each row are kept (all of them when 0): what the
// pages show. Rows go in compressed runs of a few hundred, each row with a hash of what is
// kept of it, so that a walk run again can tell whether it passes over the same rows.
class DbRowStage
{
public:
    explicit DbRowStage(int keptColumns = 0);
    ~DbRowStage();
    DbRowStage(const DbRowStage&) = delete;
    DbRowStage& operator=(const DbRowStage&) = delete;

    // Keeps the rows after those kept; the first block names the columns, and a later block
    // with other columns is refused (Changed()). False when they cannot be kept (the temporary
    // storage's cap among them: Full()), with LastError() set.
    bool Append(const DbRows& rows);
    qint64 RowCount() const { return m_rowCount; }
    // Whether rows are the kept rows first+1 .. first+rows.RowCount(), as far as they are kept
    // (their kept columns' names, values and NULLs); false on a difference or a failure.
    bool Matches(qint64 first, const DbRows& rows);
    // The hashes (DbRowHash) of kept rows first+1 .. first+count, as far as they are kept; false
    // with LastError() set when they cannot be read.
    bool Hashes(qint64 first, qint64 count, std::vector<quint64>& hashes);
    // Whether rows have the kept columns (all of them before any are kept).
    bool SameColumns(const DbRows& rows) const;
    // The columns of rows that are kept.
    int KeptColumns(const DbRows& rows) const;
    // Rows first+1 .. first+count of those kept, with the column names; false with LastError() set.
    // The rows one read keeps are bounded as a server's are (DbLimits::sliceBytes): past it
    // the read is refused with that message (Refused()).
    bool Read(qint64 first, qint64 count, DbRows& rows);

    bool Full() const { return m_full; }
    bool Refused() const { return m_refused; }
    bool Changed() const { return m_changed; }
    QString LastError() const { return m_strLastError; }

private:
    // Clears the last call's failure; false when there is no database to keep rows in.
    bool Begin();
    bool Check(int rc);
    bool Prepare(const QByteArray& sql, sqlite3_stmt*& stmt);
    // Rows from..to-1 of rows (bytes when packed) as one run, packed and compressed, the first
    // numbered after those kept; then stored.
    struct PackedRun
    {
        qint64 first = 0;
        qint64 rows = 0;
        std::vector<quint64> hashes;
        QByteArray blob;
    };
    bool PackRun(const DbRows& rows, int from, int to, int columns, qsizetype bytes, PackedRun& run);
    bool StoreRun(const PackedRun& run);
    // Calls visit(run) with the blob of each run that holds kept rows first+1 .. first+count,
    // in order, the rows of the run before first+1 given as skipped; false when a run cannot be
    // read (LastError() set) or visit returns false.
    struct Run
    {
        qint64 skipped; // rows of the run before the first one asked for
        qint64 rows;
        QByteArrayView blob;
    };
    template <typename Visit>
    bool VisitRuns(sqlite3_stmt* select, qint64 first, qint64 count, Visit visit);

    int m_keptColumns;
    ZSTD_CCtx_s* m_zstd = nullptr; // the compression's context, kept from run to run
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    sqlite3_stmt* m_select = nullptr; // runs with their rows
    sqlite3_stmt* m_selectHashes = nullptr; // runs with their rows' hashes
    QStringList m_columns;
    bool m_named = false; // the first block named m_columns
    qint64 m_rowCount = 0;
    bool m_full = false;
    bool m_refused = false;
    bool m_changed = false;
    QString m_strLastError;
};

// The hash a DbRowStage keeps of a row's first columns cells: two rows whose cells differ in a
// value or a NULL hash alike only by chance.
quint64 DbRowHash(const DbRows& rows, int row, int columns);

// Column names as a header row gives them: empty ones become F<n> (1-based
// position) and repeats get a number appended, so every column can be named.
QStringList UniqueColumnNames(const QStringList& names);
