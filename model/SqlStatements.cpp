#include "model/SqlStatements.h"

#include "model/DSBase.h"
#include "model/SqlStatementCheck.h"
#include "platform/Crypt.h"
#include "platform/db/Ado.h"
#include "platform/db/DbConnection.h"

#include <QStringList>

namespace {

// A statement typed by hand, made fit to stand inside parentheses: a closing
// semicolon would end the statement there, and a line comment at its end would
// swallow the closing parenthesis.
QString WithoutClosingSemicolons(const QString& sql)
{
    QString text = sql.trimmed();
    while (text.endsWith(u';'))
        text = text.chopped(1).trimmed();
    return text;
}

QString Nested(const QString& sql)
{
    return WithoutClosingSemicolons(sql) + u'\n';
}

} // namespace

CSqlStatements::CSqlStatements(int32_t type, const DbConnection* connection)
    : m_open(QStringLiteral("\"")), m_close(QStringLiteral("\"")), m_type(type)
{
    switch (type) {
    case DSSQLite:
    // SQLite takes backticks too: it reads a double-quoted name that matches no
    // column as a text, so a mistyped field would print its own name, not fail.
    case DSMySQL:
        m_open = m_close = QStringLiteral("`");
        m_pages = true;
        break;
    case DSPostgreSQL:
        m_pages = true;
        break;
    case DSSQLServer:
    case DSSybase:
        m_open = QStringLiteral("[");
        m_close = QStringLiteral("]");
        break;
    case DSDB2:
        m_qualified = true;
        break;
    case DSExcel:
    case DSAccess:
        // Workbooks and Access files are staged into SQLite and queried there.
        m_open = m_close = QStringLiteral("`");
        m_sheets = type == DSExcel;
        break;
    case DSCustom:
        if (connection)
            m_open = m_close = connection->IdentifierQuote();
        break;
    default: // Oracle: standard double quotes
        break;
    }
    if (connection && connection->ServerKind().server != SqlServerKind::Unknown) {
        m_server = connection->ServerKind();
    } else if (type == DSSQLite || type == DSExcel || type == DSAccess) {
        m_server.server = SqlServerKind::SQLite;
    } else if (type == DSPostgreSQL) {
        m_server.server = SqlServerKind::PostgreSQL; // libpq, whatever the server's settings
    } else if (type == DSMySQL) {
        m_server.server = SqlServerKind::MySQL; // the MariaDB client, whatever the server's modes
    }
}

QString CSqlStatements::Name(const QString& name) const
{
    if (m_close.isEmpty())
        return name;
    QString quoted = name;
    quoted.replace(m_close, m_close + m_close);
    return m_open + quoted + m_close;
}

QString CSqlStatements::Table(const QString& table) const
{
    if (m_sheets)
        return Name(table + u'$');
    const qsizetype dot = m_qualified ? table.indexOf(u'.') : -1;
    if (dot < 0)
        return Name(table);
    return Name(table.left(dot)) + u'.' + Name(table.mid(dot + 1));
}

QString CSqlStatements::FieldList(const CDSBase& ds) const
{
    QStringList names;
    for (const QString& field : ds.m_selectedFields)
        names.append(Name(field));
    return names.join(u',');
}

QString CSqlStatements::OrderClause(const CDSBase& ds) const
{
    if (IsNoSortField(ds.m_strSortField))
        return {};
    return QStringLiteral(" ORDER BY ") + Name(ds.m_strSortField)
        + (ds.m_nSortOrder == 0 ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
}

namespace {

QString StatementRefusal(const CDSBase& ds, const QString& reason)
{
    if (reason.isEmpty())
        return {};
    const QString sentence = QStringLiteral("SQL语句只能是一条读取数据的查询语句，");
    return (ds.m_strName.isEmpty() ? sentence : QStringLiteral("数据源“%1”的").arg(ds.m_strName) + sentence) + reason;
}

} // namespace

QString CSqlStatements::Refusal(const CDSBase& ds) const
{
    if (ds.m_nRangeMode != RangeSQL)
        return {};
    return StatementRefusal(ds, SqlStatementRefusal(ds.m_strSQL, m_server));
}

QString CSqlStatements::RefusalBeforeConnecting(const CDSBase& ds) const
{
    if (ds.m_nRangeMode != RangeSQL)
        return {};
    // Where the type does not tell the server, the route may: a custom string's driver,
    // SQL Server's provider. The server's settings are not known yet either way.
    SqlServerKind server = m_server;
    if (server.server == SqlServerKind::Unknown && m_type == DSSQLServer)
        server.server = SqlServerKind::SqlServer;
    if (const auto* custom = dynamic_cast<const CCustomDS*>(&ds); custom && server.server == SqlServerKind::Unknown)
        server.server = AdoServer(DecryptString(custom->m_strConnectionString), InstalledOdbcRegistry());
    return StatementRefusal(ds, SqlRefusalOfEveryReading(ds.m_strSQL, server));
}

bool CSqlStatements::CountsByReading(const CDSBase& ds) const
{
    return ds.m_nRangeMode == RangeSQL && IsSqlProcedureCall(ds.m_strSQL, m_server);
}

bool CSqlStatements::SentAlone(const CDSBase& ds) const
{
    return ds.m_nRangeMode == RangeSQL && m_server.server == SqlServerKind::MySQL
        && JudgeSqlStatement(ds.m_strSQL, m_server).query;
}

QString CSqlStatements::Alone(const CDSBase& ds) const
{
    QString text = WithoutClosingSemicolons(ds.m_strSQL);
    // MariaDB does not take ODBC's escape for a call.
    if (m_server.server == SqlServerKind::MySQL && text.startsWith(u'{') && text.endsWith(u'}'))
        text = text.mid(1, text.size() - 2).trimmed();
    return text;
}

QString CSqlStatements::Count(const CDSBase& ds) const
{
    if (CountsByReading(ds))
        return Alone(ds);
    // The derived table's alias without "as": Oracle refuses the keyword there.
    const QString source = ds.m_nRangeMode == RangeSQL ? QStringLiteral("(%1) t").arg(Nested(ds.m_strSQL)) : Table(ds.m_strTable);
    return QStringLiteral("select count(*) as %1 from %2").arg(Name(QStringLiteral("RecordCount")), source);
}

QString CSqlStatements::Rows(const CDSBase& ds, qint64 first, qint64 count) const
{
    // A procedure call cannot stand inside a select; anything else typed is sent
    // inside one, where T-SQL too (which needs no ";" between statements) reads it as
    // one query or refuses the whole text.
    if (CountsByReading(ds))
        return Alone(ds);
    // Multi-statements are off and the session only reads on a MySQL connection: a
    // query there is still one query that reads, and keeps its ORDER BY. It gets no
    // row limit (it may have one of its own): the reader skips to the rows wanted.
    if (SentAlone(ds))
        return Alone(ds);
    const bool window = m_pages && count >= 0;
    const QString limit
        = window ? QStringLiteral(" limit %1 offset %2").arg(count).arg(std::max<qint64>(first, 1) - 1) : QString();
    if (ds.m_nRangeMode == RangeSQL)
        return QStringLiteral("select * from (%1) t").arg(Nested(ds.m_strSQL)) + limit;
    return QStringLiteral("select %1 from %2").arg(FieldList(ds), Table(ds.m_strTable)) + OrderClause(ds) + limit;
}

QString CSqlStatements::FieldProbe(const QString& table) const
{
    return QStringLiteral("select * from %1 where 1=0").arg(Table(table));
}
