#include "platform/db/DbCatalog.h"

#include <QRegularExpression>
#include <QSet>

namespace {

// Names reach the catalog's question as hexadecimal, which every server and driver reads alike
// whatever its quoting settings: no quote, backslash or '?' (a psqlODBC marker) of a name is
// ever part of the question's text.
QString CatalogUtf8Hex(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toHex());
}

void AddOnce(QStringList& list, const QString& text)
{
    if (!text.isEmpty() && !list.contains(text))
        list.append(text);
}

// Asks the question; false when the step was stopped. A catalog that refuses it (an old
// server, a missing right) leaves the routines unknown.
bool AskCatalog(DbConnection& connection, const QString& sql, DbRows& rows, DbStatementFacts& facts)
{
    if (connection.Query(sql, rows))
        return true;
    rows.Clear();
    facts.routinesUnknown = true;
    return !connection.Stopped();
}

QString PgTextArray(const QStringList& texts)
{
    QStringList items;
    for (const QString& text : texts)
        items << u'\'' + CatalogUtf8Hex(text) + u'\'';
    return QStringLiteral("array[%1]::text[]").arg(items.join(u','));
}

// PostgreSQL: the functions (aggregates and procedures too) of the names, those of the
// operators whose name is part of a run of operator characters, and those reached through the
// rules of views, the row security policies of tables and the checks of domains that the names
// or these reach in turn, as pg_depend records them. initdb's own objects have oids below 16384
// (FirstNormalObjectId); every later one, an extension's (dblink) among them, is the database's.
// The login's rights come with it in the same round trip.
bool ReadPgFacts(DbConnection& connection, const QStringList& names, const QStringList& operators,
    DbStatementFacts& facts)
{
    const QString sql = QStringLiteral(
        "with recursive n(name) as (select convert_from(decode(x, 'hex'), 'UTF8')::name from unnest(%1) x), "
        "o(run) as (select convert_from(decode(x, 'hex'), 'UTF8') from unnest(%2) x), "
        "reached(cls, id) as ("
        "select 'pg_class'::regclass::oid, c.oid from pg_class c join n on c.relname = n.name "
        "union select 'pg_proc'::regclass::oid, p.oid from pg_proc p join n on p.proname = n.name "
        "union select 'pg_type'::regclass::oid, t.oid from pg_type t join n on t.typname = n.name where t.typtype = 'd' "
        "union select 'pg_operator'::regclass::oid, p.oid from pg_operator p "
        "where p.oid >= 16384 and exists (select from o where strpos(o.run, p.oprname) > 0) "
        "union select x.cls, x.id from reached r cross join lateral ("
        "select d.refclassid, d.refobjid from pg_depend d where "
        "(r.cls = 'pg_class'::regclass and d.classid = 'pg_rewrite'::regclass "
        "and d.objid in (select w.oid from pg_rewrite w where w.ev_class = r.id)) "
        "or (r.cls = 'pg_class'::regclass and d.classid = 'pg_policy'::regclass "
        "and d.objid in (select l.oid from pg_policy l where l.polrelid = r.id)) "
        "or (r.cls = 'pg_type'::regclass and d.classid = 'pg_constraint'::regclass "
        "and d.objid in (select k.oid from pg_constraint k where k.contypid = r.id)) "
        "union all select 'pg_proc'::regclass::oid, p.oprcode::oid from pg_operator p "
        "where r.cls = 'pg_operator'::regclass and p.oid = r.id) x(cls, id)) "
        "select 'routine', quote_ident(s.nspname) || '.' || quote_ident(p.proname) from reached r "
        "join pg_proc p on r.cls = 'pg_proc'::regclass and p.oid = r.id "
        "join pg_namespace s on s.oid = p.pronamespace where p.oid >= 16384 "
        "union select 'right', rolname::text from pg_roles where rolname in "
        "('pg_read_server_files', 'pg_write_server_files', 'pg_execute_server_program') and pg_has_role(session_user, oid, 'MEMBER') "
        "order by 1, 2")
                            .arg(PgTextArray(names), PgTextArray(operators));
    DbRows rows;
    if (!AskCatalog(connection, sql, rows, facts))
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        AddOnce(rows.Value(r, 0) == u"right" ? facts.loginRights : facts.routines, rows.Value(r, 1));
    return true;
}

const QString kMySystemSchemas = QStringLiteral("('sys', 'mysql', 'information_schema', 'performance_schema')");

bool IsMySystemSchema(const QString& schema)
{
    return kMySystemSchemas.contains(u'\'' + schema.toLower() + u'\'');
}

// The names as lower-cased utf8mb4 texts; information_schema's utf8mb3 columns are compared as
// utf8mb4 too, so that a name outside the basic plane compares instead of failing.
QString MyLowerList(const QStringList& texts)
{
    QStringList items;
    for (const QString& text : texts)
        items << QStringLiteral("lower(_utf8mb4 X'%1')").arg(CatalogUtf8Hex(text));
    return u'(' + items.join(u',') + u')';
}

QString MyUnquoted(const QString& name)
{
    return QString(name).replace(QStringLiteral("``"), QStringLiteral("`"));
}

// A relation a view's text reads, as the server stores it: after "from" or "join" (a comma's
// too), perhaps behind opening parentheses, always with its schema. A common table expression
// stands there without one and is part of the text itself.
struct MyRelation
{
    QString schema;
    QString name;
    QString view; // the view whose text reads it
};

// MariaDB/MySQL keep no record of what a view calls, only its text, which they store with every
// name in backquotes and a stored function as `schema`.`name`( or `name`( in the view's own
// schema (built-in functions stand bare). So the views the names reach are read, each name
// their texts hold asked about in turn, and their calls taken as they stand: a DEFINER view
// may call a routine that the login itself cannot see. Routines of the server's own schemas are
// not the database's. Nor can the login see a view of another schema that a DEFINER view
// reads, nor what that one calls: the relations the texts read that information_schema does
// not show the login are named as unseen, asked in the same round trip as the routines.
bool ReadMyFacts(DbConnection& connection, const QStringList& names, DbStatementFacts& facts)
{
    static const QRegularExpression quoted(QStringLiteral("`((?:[^`]|``)+)`"));
    static const QRegularExpression call(QStringLiteral("(?:`((?:[^`]|``)+)`\\.)?`((?:[^`]|``)+)`\\s*\\("));
    static const QRegularExpression read(
        QStringLiteral("(?:from|join)\\s*(?:\\(\\s*)*`((?:[^`]|``)+)`\\.`((?:[^`]|``)+)`(?!\\s*[.(])"),
        QRegularExpression::CaseInsensitiveOption);
    QList<MyRelation> relations;
    QStringList asked = names;
    QSet<QString> askedLower;
    for (const QString& name : names)
        askedLower.insert(name.toLower());
    QStringList pending = asked;
    QSet<QString> views;
    while (!pending.isEmpty()) {
        DbRows rows;
        if (!AskCatalog(connection,
                QStringLiteral("select TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION from information_schema.VIEWS "
                               "where lower(convert(TABLE_NAME using utf8mb4)) in %1")
                    .arg(MyLowerList(pending)),
                rows, facts))
            return false;
        pending.clear();
        for (int r = 0; r < rows.RowCount(); ++r) {
            const QString schema = rows.Value(r, 0);
            const QString view = schema + u'.' + rows.Value(r, 1);
            if (views.contains(view) || IsMySystemSchema(schema))
                continue;
            views.insert(view);
            const QString text = rows.Value(r, 2);
            if (text.isEmpty()) {
                AddOnce(facts.unreadViews, view);
                continue;
            }
            for (auto match = call.globalMatch(text); match.hasNext();) {
                const auto found = match.next();
                const QString called = found.captured(1).isEmpty() ? schema : MyUnquoted(found.captured(1));
                if (!IsMySystemSchema(called))
                    AddOnce(facts.routines, called + u'.' + MyUnquoted(found.captured(2)));
            }
            for (auto match = read.globalMatch(text); match.hasNext();) {
                const auto found = match.next();
                const MyRelation relation {MyUnquoted(found.captured(1)), MyUnquoted(found.captured(2)), view};
                if (!IsMySystemSchema(relation.schema))
                    relations.append(relation);
            }
            for (auto match = quoted.globalMatch(text); match.hasNext();) {
                const QString name = MyUnquoted(match.next().captured(1));
                if (!askedLower.contains(name.toLower())) {
                    askedLower.insert(name.toLower());
                    asked << name;
                    pending << name;
                }
            }
        }
    }
    QString sql = QStringLiteral("select 'routine', ROUTINE_SCHEMA, ROUTINE_NAME from information_schema.ROUTINES "
                                 "where ROUTINE_SCHEMA not in %1 and lower(convert(ROUTINE_NAME using utf8mb4)) in %2")
                      .arg(kMySystemSchemas, MyLowerList(asked));
    if (!relations.isEmpty()) {
        QStringList relationNames;
        for (const MyRelation& relation : relations)
            relationNames << relation.name;
        sql += QStringLiteral(" union all select 'relation', TABLE_SCHEMA, TABLE_NAME from information_schema.TABLES "
                              "where lower(convert(TABLE_NAME using utf8mb4)) in %1")
                   .arg(MyLowerList(relationNames));
    }
    DbRows rows;
    if (!AskCatalog(connection, sql + QStringLiteral(" order by 1, 2, 3"), rows, facts))
        return false;
    // Compared as written: a server that tells names apart by letter case could otherwise
    // pass a hidden relation off as a visible one of another case.
    QSet<QPair<QString, QString>> seen;
    for (int r = 0; r < rows.RowCount(); ++r) {
        if (rows.Value(r, 0) == u"relation")
            seen.insert({rows.Value(r, 1), rows.Value(r, 2)});
        else
            AddOnce(facts.routines, rows.Value(r, 1) + u'.' + rows.Value(r, 2));
    }
    for (const MyRelation& relation : relations) {
        if (!seen.contains({relation.schema, relation.name}))
            AddOnce(facts.unseenRelations, QStringLiteral("%1.%2（视图 %3 读取）").arg(relation.schema, relation.name, relation.view));
    }
    return true;
}

// SQL Server: the routines of the names that Microsoft did not ship, and those the views of the
// names reach, as sys.sql_expression_dependencies records them (where the login may see them).
// The names come as UTF-16 bytes, the server's own form of nvarchar.
bool ReadTSqlFacts(DbConnection& connection, const QStringList& names, DbStatementFacts& facts)
{
    QStringList selects;
    for (const QString& name : names) {
        const QByteArray utf16(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
        selects << QStringLiteral("select convert(nvarchar(4000), 0x%1) as name").arg(QString::fromLatin1(utf16.toHex()));
    }
    const QString sql = QStringLiteral(
        "with n(name) as (%1), "
        "reached(id) as (select o.object_id from sys.objects o join n on o.name = n.name where o.type = 'V' "
        "union all select d.referenced_id from reached r join sys.sql_expression_dependencies d on d.referencing_id = r.id "
        "join sys.objects o on o.object_id = d.referenced_id where o.type = 'V') "
        "select distinct schema_name(o.schema_id) + N'.' + o.name from sys.objects o "
        "where o.is_ms_shipped = 0 and o.type in ('FN', 'IF', 'TF', 'P', 'PC', 'FS', 'FT', 'AF', 'X') "
        "and (o.name in (select name from n) or o.object_id in (select d.referenced_id from reached r "
        "join sys.sql_expression_dependencies d on d.referencing_id = r.id))")
                            .arg(selects.join(QStringLiteral(" union all ")));
    DbRows rows;
    if (!AskCatalog(connection, sql, rows, facts))
        return false;
    for (int r = 0; r < rows.RowCount(); ++r)
        AddOnce(facts.routines, rows.Value(r, 0));
    return true;
}

} // namespace

bool ReadStatementFacts(
    DbConnection& connection, const QStringList& names, const QStringList& operators, DbStatementFacts& facts)
{
    facts = {};
    facts.superuser = connection.SuperuserLogin();
    QStringList asked;
    for (const QString& name : names)
        AddOnce(asked, name);
    switch (connection.ServerKind().server) {
    case SqlServerKind::SQLite: // only the program's own functions
        return true;
    case SqlServerKind::PostgreSQL:
        return ReadPgFacts(connection, asked, operators, facts);
    case SqlServerKind::MySQL:
        return asked.isEmpty() || ReadMyFacts(connection, asked, facts);
    case SqlServerKind::SqlServer:
        return asked.isEmpty() || ReadTSqlFacts(connection, asked, facts);
    case SqlServerKind::Unknown:
        break;
    }
    facts.routinesUnknown = true;
    return true;
}
