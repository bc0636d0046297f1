#pragma once

#include "platform/db/DbConnection.h"

#include <QString>
#include <cstdint>

class CDSBase;

// The statements that read a database data source, for one data-source type. The
// loaders that print and the data-source dialogs' previews both take them from
// here, so a preview reads what a label gets. Table and field names are always
// quoted in the database's own syntax (a quote character inside doubled), so names
// with blanks, quotes or reserved words work; the user's own statement (range mode
// 2) is sent inside a select ("select * from (<statement>) t"), a procedure call
// alone as it is, and only once Refusal has accepted it. Its rows come in its own
// order: MySQL and MariaDB may drop an ORDER BY inside a select, so a query is sent
// to them as it stands, with the page's limit appended where the query allows one.
class CSqlStatements
{
public:
    // connection: where the database is only known from its connection (a custom
    // connection string), the connection's identifier quote is used; may be null. The
    // statement is judged as the server the connection reports reads it, else as the
    // one the type always reaches (SQLite for the files, PostgreSQL, MySQL), else as
    // every server would.
    explicit CSqlStatements(int32_t type, const DbConnection* connection = nullptr);

    // One table or field name quoted.
    QString Name(const QString& name) const;
    // A table as the data source names it: a sheet gets its "$", a DB2 schema and
    // table ("SCHEMA.TABLE" as the dialog lists them) are quoted each.
    QString Table(const QString& table) const;

    // Why the user's statement must not be sent, as the message the user reads; empty
    // when it may be. A description that reads a table is refused only where the query made
    // of its names would be longer than a statement may be (TableRefusal).
    QString Refusal(const CDSBase& ds) const;
    QString TableRefusal(const CDSBase& ds) const;
    // Refusal before a connection is made: only of a statement that each way the
    // server may read it refuses (its settings are not known yet; each server's way
    // where the type and the route do not tell the server), so that none of it reaches
    // any server. The rest is judged by Refusal once the connection tells its server.
    QString RefusalBeforeConnecting(const CDSBase& ds) const;
    // The user's statement is a procedure call: its records are counted by reading
    // the rows of Count, which then is the call itself.
    bool CountsByReading(const CDSBase& ds) const;

    // One row with the number of records of the table or of the user's statement.
    QString Count(const CDSBase& ds) const;
    // The selected fields of the table in the sort order, or the user's statement.
    // With count >= 0 and a database that pages in the statement, only records
    // first..first+count-1 (1-based) are read; otherwise every record is, and the
    // caller skips to the ones it wants.
    QString Rows(const CDSBase& ds, qint64 first = 1, qint64 count = -1) const;
    // No rows, the table's columns.
    QString FieldProbe(const QString& table) const;

    // Whether Rows limits the records of this description in the statement.
    bool PagesInStatement(const CDSBase& ds) const;

    // The server the statements are judged for.
    const SqlServerKind& Server() const { return m_server; }

private:
    QString FieldList(const CDSBase& ds) const;
    QString OrderClause(const CDSBase& ds) const;
    // The user's query is sent as it stands, not inside a select.
    bool SentAlone(const CDSBase& ds) const;
    // The query sent as it stands keeps its meaning and order with a row limit appended,
    // however the server's sql_mode reads it.
    bool TakesLimit(const CDSBase& ds) const;
    // The user's statement as it stands, made fit for the server.
    QString Alone(const CDSBase& ds) const;

    QString m_open;
    QString m_close;
    int32_t m_type;
    bool m_pages = false;
    bool m_sheets = false;
    bool m_qualified = false;
    SqlServerKind m_server;
};
