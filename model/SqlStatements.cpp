#include "model/SqlStatements.h"

#include "model/DSBase.h"
#include "model/SqlStatementCheck.h"
#include "platform/Crypt.h"
#include "platform/db/DbReach.h"
#include "platform/db/DbConnection.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <initializer_list>

namespace {

// A statement typed by hand, made fit to stand inside parentheses: a line comment at
// its end would swallow the closing parenthesis.
QString Nested(const QString& sql)
{
    return SqlWithoutClosingSemicolons(sql) + u'\n';
}

// How MariaDB and MySQL split a statement into quoted parts and comments, under one
// setting of sql_mode: backslash escapes in '...' and "..." (none with
// NO_BACKSLASH_ESCAPES), and "..." a name with ANSI_QUOTES, with no escapes in it.
struct MyQuoting
{
    bool backslashInSingle;
    bool backslashInDouble;
};

// One token of the statement's top level, outside every parenthesis: a run of ASCII
// letters, digits and "_" (lower case), or one mark; quoted parts are a single "'".
// After a top-level "(" comes the first token inside it, marked as such.
struct MyTopToken
{
    QString text;
    bool word = false;
    bool inside = false;
};

bool IsMyAsciiWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_';
}

// The top-level tokens of the statement as it is sent (a line break after it); false
// when the text does not read to its end (the check refuses such a text anyway).
bool MyTopTokens(const QString& sql, const MyQuoting& quoting, QList<MyTopToken>& tokens)
{
    const QString s = sql + u'\n';
    const auto at = [&](qsizetype k) { return k < s.size() ? s[k] : QChar(); };
    int depth = 0;
    bool opened = false; // the token after a top-level "(" is kept too
    const auto add = [&](const QString& text, bool word) {
        if (depth == 0 || opened)
            tokens.append({text, word, depth > 0});
        opened = false;
    };
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s[i];
        if (c == u'#' || (c == u'-' && at(i + 1) == u'-' && QStringView(u" \t\r\n").contains(at(i + 2)))) {
            const qsizetype end = s.indexOf(u'\n', i);
            i = end < 0 ? s.size() : end + 1;
            continue;
        }
        if (c == u'/' && at(i + 1) == u'*') {
            // A comment the server runs ("/*!", "/*M!") is refused by the check.
            if (at(i + 2) == u'!' || (at(i + 2) == u'M' && at(i + 3) == u'!'))
                return false;
            const qsizetype end = s.indexOf(QStringLiteral("*/"), i + 2);
            if (end < 0)
                return false;
            i = end + 2;
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'`') {
            const bool backslash = c == u'\'' ? quoting.backslashInSingle : c == u'"' && quoting.backslashInDouble;
            qsizetype j = i + 1;
            for (; j < s.size(); ++j) {
                if (backslash && s[j] == u'\\')
                    ++j;
                else if (s[j] == c && at(j + 1) == c)
                    ++j;
                else if (s[j] == c)
                    break;
            }
            if (j >= s.size())
                return false;
            add(QStringLiteral("'"), false);
            i = j + 1;
            continue;
        }
        if (IsMyAsciiWordChar(c)) {
            qsizetype k = i;
            while (k < s.size() && IsMyAsciiWordChar(s[k]))
                ++k;
            add(s.mid(i, k - i).toLower(), true);
            i = k;
            continue;
        }
        if (c == u'(') {
            add(QString(c), false);
            opened = depth == 0;
            ++depth;
        } else if (c == u')') {
            if (--depth < 0)
                return false;
            add(QString(c), false);
        } else if (!c.isSpace()) {
            add(QString(c), false);
        }
        ++i;
    }
    return depth == 0;
}

// Whether a top-level word is, or may be read as, one of the words given: MariaDB reads
// "1e5limit" as a number and LIMIT, so what follows a digit counts as a word too.
bool IsMyWordAmong(const MyTopToken& token, std::initializer_list<QStringView> words)
{
    if (!token.word)
        return false;
    for (qsizetype k = 0; k < token.text.size(); ++k) {
        if (k > 0 && !token.text[k - 1].isDigit())
            continue;
        const QStringView rest = QStringView(token.text).mid(k);
        if (std::find(words.begin(), words.end(), rest) != words.end())
            return true;
    }
    return false;
}

// A query that takes "limit n offset m" appended, read one way: one SELECT (or WITH
// ... SELECT) whose top level holds no row limit of its own (LIMIT, OFFSET, FETCH) and
// nothing that stands after one (PROCEDURE, INTO, FOR UPDATE / SHARE / SYSTEM_TIME,
// LOCK IN SHARE MODE), where the limit would be refused or read otherwise, and no
// parenthesised query at the head of the statement or of a UNION's part, whose ORDER
// BY the appended limit would no longer be bound to.
bool MyTakesLimit(const QString& sql, const MyQuoting& quoting)
{
    QList<MyTopToken> tokens;
    if (!MyTopTokens(sql, quoting, tokens) || tokens.isEmpty() || !IsMyWordAmong(tokens.first(), {u"select", u"with"}))
        return false;
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        const MyTopToken& token = tokens[k];
        if (!token.inside && IsMyWordAmong(token, {u"limit", u"offset", u"fetch", u"procedure", u"into", u"for", u"lock"}))
            return false;
        if (token.inside || token.text != u"(" || k + 1 >= tokens.size() || !tokens[k + 1].inside)
            continue;
        const MyTopToken& inside = tokens[k + 1];
        const bool query = inside.text == u"(" || IsMyWordAmong(inside, {u"select", u"with", u"values", u"table"});
        const bool head = k == 0 || tokens[k - 1].text == u")"
            || IsMyWordAmong(tokens[k - 1], {u"union", u"except", u"intersect", u"minus", u"all", u"distinct"});
        if (query && head)
            return false;
    }
    return true;
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
        // A user's connection string that reaches MariaDB, MySQL or PostgreSQL pages as the
        // type does: a limit is the only bound of what psqlODBC holds of a result read in one go.
        m_pages = m_pages || m_server.server == SqlServerKind::MySQL || m_server.server == SqlServerKind::PostgreSQL;
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

// A statement too long to read is refused for its length alone: it was never read, so nothing
// is said of what it does.
QString LengthRefusal(const CDSBase& ds, const QString& reason)
{
    return ds.m_strName.isEmpty() ? reason : QStringLiteral("数据源“%1”的SQL语句没有运行：").arg(ds.m_strName) + reason;
}

} // namespace

QString CSqlStatements::Refusal(const CDSBase& ds) const
{
    if (ds.m_nRangeMode != RangeSQL)
        return TableRefusal(ds);
    if (QString tooLong = SqlLengthRefusal(ds.m_strSQL); !tooLong.isEmpty())
        return LengthRefusal(ds, tooLong);
    return StatementRefusal(ds, SqlStatementRefusal(ds.m_strSQL, m_server));
}

QString CSqlStatements::TableRefusal(const CDSBase& ds) const
{
    // The query is made of names a label holds, bounded as a typed statement is, before it is
    // made: a name of many megabytes is not copied into one.
    qsizetype names = ds.m_strTable.size() + ds.m_strSortField.size();
    for (const QString& field : ds.m_selectedFields)
        names += field.size();
    if (names <= kMaxSqlStatementBytes && SqlLengthRefusal(Rows(ds)).isEmpty())
        return {};
    const QString reason = QStringLiteral("由数据表名、字段名和排序字段生成的读取数据的语句长于 1 MB 的上限，本程序不发送它。"
                                          "请检查数据表名和字段名。");
    return ds.m_strName.isEmpty() ? reason : QStringLiteral("数据源“%1”的").arg(ds.m_strName) + reason;
}

QString CSqlStatements::RefusalBeforeConnecting(const CDSBase& ds) const
{
    if (ds.m_nRangeMode != RangeSQL)
        return TableRefusal(ds);
    if (QString tooLong = SqlLengthRefusal(ds.m_strSQL); !tooLong.isEmpty())
        return LengthRefusal(ds, tooLong);
    // Where the type does not tell the server, the route may: a custom string's driver,
    // SQL Server's provider. The server's settings are not known yet either way.
    SqlServerKind server = m_server;
    if (server.server == SqlServerKind::Unknown && m_type == DSSQLServer)
        server.server = SqlServerKind::SqlServer;
    if (const auto* custom = dynamic_cast<const CCustomDS*>(&ds); custom && server.server == SqlServerKind::Unknown)
        server.server = AdoReach(DecryptString(custom->m_strConnectionString), {}, {}).server;
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

bool CSqlStatements::TakesLimit(const CDSBase& ds) const
{
    if (!SentAlone(ds))
        return false;
    // Read every way the server's sql_mode may have it read.
    QList<MyQuoting> quotings;
    if (m_server.noBackslashEscapes != false)
        quotings.append({false, false});
    if (m_server.noBackslashEscapes != true) {
        if (m_server.ansiQuotes != true)
            quotings.append({true, true});
        if (m_server.ansiQuotes != false)
            quotings.append({true, false});
    }
    const QString text = Alone(ds);
    return std::all_of(quotings.begin(), quotings.end(), [&](const MyQuoting& q) { return MyTakesLimit(text, q); });
}

bool CSqlStatements::PagesInStatement(const CDSBase& ds) const
{
    return m_pages && !CountsByReading(ds) && (!SentAlone(ds) || TakesLimit(ds));
}

QString CSqlStatements::Alone(const CDSBase& ds) const
{
    QString text = SqlWithoutClosingSemicolons(ds.m_strSQL);
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
    const bool window = m_pages && count >= 0;
    const QString limit
        = window ? QStringLiteral(" limit %1 offset %2").arg(count).arg(std::max<qint64>(first, 1) - 1) : QString();
    // Multi-statements are off and the session only reads on a MySQL connection: a
    // query there is still one query that reads, and keeps its ORDER BY. Its limit
    // goes after it, on a line of its own so that no comment of its takes it in; one
    // that has a limit of its own, or a clause that stands after one, gets none, and
    // the reader skips to the rows wanted.
    if (SentAlone(ds))
        return window && TakesLimit(ds) ? Alone(ds) + u'\n' + limit.mid(1) : Alone(ds);
    if (ds.m_nRangeMode == RangeSQL)
        return QStringLiteral("select * from (%1) t").arg(Nested(ds.m_strSQL)) + limit;
    return QStringLiteral("select %1 from %2").arg(FieldList(ds), Table(ds.m_strTable)) + OrderClause(ds) + limit;
}

QString CSqlStatements::FieldProbe(const QString& table) const
{
    return QStringLiteral("select * from %1 where 1=0").arg(Table(table));
}
