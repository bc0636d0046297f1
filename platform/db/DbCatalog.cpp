#include "platform/db/DbCatalog.h"

#include "platform/db/PgStatementForm.h"

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

// The login's roles of file or program rights.
const QString kPgRights = QStringLiteral(
    "select 'right', rolname::text from pg_roles where rolname in "
    "('pg_read_server_files', 'pg_write_server_files', 'pg_execute_server_program') and pg_has_role(session_user, oid, 'MEMBER')");

// The languages of the server's own code: its library's (internal) and that of the libraries in
// its folder (C), as an extension installed from the server's packages has. Only a superuser
// declares a function in either. They are the languages 12 and 13 on every server, as initdb
// makes them: named by oid, the server plans no look-up of them.
const QString kPgServerLanguages = QStringLiteral("(12, 13)");

// The functions among the objects reached, as "called".
const QString kPgCalled = QStringLiteral(
    ", called as (select p.oid, p.proname, p.pronargs, p.pronamespace, p.prolang, p.prosrc, p.probin, p.prosecdef from reached r "
    "join pg_proc p on r.cls = 'pg_proc'::regclass and p.oid = r.id) ");

// What is called, as rows: the database's own code (SQL or a procedural language, or anything
// that runs with its owner's rights) by schema and name, as 'routine'; the server's own code
// (pg_catalog's functions, and those in C or internal, an extension's among them) by name and
// arguments, as 'builtin', which the program judges as it judges the server's functions. A
// function in C or internal goes by every name its code has: its symbol and the name of each
// function of the same symbol (in the same library), so that one declared over a refused
// function's code is known as that function.
const QString kPgCalledRows = QStringLiteral(
    "select 'routine', quote_ident(s.nspname) || '.' || quote_ident(c.proname) from called c "
    "join pg_namespace s on s.oid = c.pronamespace where c.oid >= 16384 and (c.prosecdef or c.prolang not in %1) "
    "union select 'builtin', c.proname || '/' || c.pronargs from called c "
    "where c.pronamespace = 'pg_catalog'::regnamespace or c.prolang in %1 "
    "union select 'builtin', c.prosrc || '/' || c.pronargs from called c where c.oid >= 16384 and c.prolang in %1 "
    "union select 'builtin', q.proname || '/' || q.pronargs from called c join pg_proc q on q.prosrc = c.prosrc "
    "and q.probin is not distinct from c.probin where c.oid >= 16384 and c.prolang in %1 and q.prolang in %1")
                                      .arg(kPgServerLanguages);

// The temporary view the server resolves a statement into; it never outlives the rolled-back
// transaction it is made in.
const QString kPgResolvedView = QStringLiteral("vellumcraft_resolved");

// The parse tree (pg_node_tree) of what r names: a rule's query, a policy's expressions, a
// domain check's expression.
const QString kPgTreeOf = QStringLiteral(
    "(case r.cls when 'pg_rewrite'::regclass then (select w.ev_action::text from pg_rewrite w where w.oid = r.id) "
    "when 'pg_policy'::regclass then (select concat(l.polqual::text, ' ', l.polwithcheck::text) from pg_policy l where l.oid = r.id) "
    "when 'pg_constraint'::regclass then (select k.conbin::text from pg_constraint k where k.oid = r.id) end)");

// The fields of a parse tree that hold a function or an operator (a sort's and a grouping's
// too) by oid.
const QString kPgTreeRoutines = QStringLiteral(
    ":(funcid|opfuncid|hashfuncid|negfuncid|aggfnoid|winfnoid|startInRangeFunc|endInRangeFunc|opno|sortop|eqop) ([0-9]+)");
// Those that hold a type: a constant's, a column's, a call's result, a cast's, GREATEST's and
// LEAST's, a CASE's, an array's and its elements', a row's, a subscript's, a subquery's. Their
// names end so, and no other field's does (a type modifier's ends in "typmod").
const QString kPgTreeTypes = QStringLiteral(":[a-zA-Z_]*[tT]ype(?:id|Id)? ([0-9]+)");
// Lists of oids: a row comparison's operators and their btree families, the column types of
// VALUES, of a set operation, of a function in FROM, of a WITH query, an aggregate's argument
// types (and collations, which lead nowhere).
const QString kPgTreeOidLists = QStringLiteral(":([a-zA-Z_]+) [(]o ([0-9 ]+)[)]");

// Where a reached object r (r.cls, r.id) leads, each a select of class and oid pairs.
// A rule, policy or check leads to what its parse tree names by oid: built-in functions too,
// which pg_depend leaves out, whatever the notation (a call, (x).f, a cast's function), and the
// types its values have. One simple pattern each: the server's regular expressions slow down
// with every alternative, and a rule's tree is tens of kilobytes.
// The tree is read once per object, as tr.t (PgReachedFrom), so that the server plans and runs
// each pattern over it without a look-up of its own.
const QString kPgTreeLinks = QStringLiteral(
    "select case when m[1] in ('opno', 'sortop', 'eqop') then 'pg_operator'::regclass::oid "
    "else 'pg_proc'::regclass::oid end, m[2]::oid from regexp_matches(tr.t, '%1', 'g') m "
    "union all select 'pg_type'::regclass::oid, m[1]::oid from regexp_matches(tr.t, '%2', 'g') m "
    "union all select case m[1] when 'opnos' then 'pg_operator'::regclass::oid "
    "when 'opfamilies' then 'pg_opfamily'::regclass::oid else 'pg_type'::regclass::oid end, o::oid "
    "from regexp_matches(tr.t, '%3', 'g') m, unnest(string_to_array(m[2], ' ')) o "
    "where m[1] in ('opnos', 'opfamilies') or m[1] ~* 'types$'")
    .arg(kPgTreeRoutines, kPgTreeTypes, kPgTreeOidLists);

// The database's objects pg_depend records for a rule, policy or check (relations, regclass
// constants among them; domains; operators; functions). A view leads to its select rule, a
// table to its policies and its inheritance children, a partitioned table to its key's operator
// classes' families (planning it compares and hashes by them, as kPgTypeLinks follows a type's;
// pg_depend records each class of the database's a key has, and no relation depends on a class
// otherwise: asked there, the server plans no look-up of a catalog more),
// a foreign table to its wrapper's handler, an aggregate to its support functions.
const QString kPgRelationLinks = QStringLiteral(
    "select d.refclassid, d.refobjid from pg_depend d where d.classid = r.cls and d.objid = r.id "
    "and r.cls in ('pg_rewrite'::regclass, 'pg_policy'::regclass, 'pg_constraint'::regclass) "
    "union all select 'pg_rewrite'::regclass::oid, w.oid from pg_rewrite w "
    "where r.cls = 'pg_class'::regclass and w.ev_class = r.id and w.ev_type = '1' "
    "union all select 'pg_policy'::regclass::oid, l.oid from pg_policy l where r.cls = 'pg_class'::regclass and l.polrelid = r.id "
    "union all select 'pg_class'::regclass::oid, i.inhrelid from pg_inherits i "
    "where r.cls = 'pg_class'::regclass and i.inhparent = r.id "
    "union all select 'pg_opfamily'::regclass::oid, c.opcfamily from pg_depend d join pg_opclass c on c.oid = d.refobjid "
    "where r.cls = 'pg_class'::regclass and d.classid = 'pg_class'::regclass and d.objid = r.id "
    "and d.refclassid = 'pg_opclass'::regclass "
    "union all select 'pg_proc'::regclass::oid, fw.fdwhandler from pg_foreign_table ft "
    "join pg_foreign_server fs on fs.oid = ft.ftserver join pg_foreign_data_wrapper fw on fw.oid = fs.srvfdw "
    "where r.cls = 'pg_class'::regclass and ft.ftrelid = r.id "
    "union all select 'pg_proc'::regclass::oid, unnest(array[a.aggtransfn, a.aggfinalfn, a.aggcombinefn, a.aggserialfn, "
    "a.aggdeserialfn, a.aggmtransfn, a.aggminvtransfn, a.aggmfinalfn]::oid[]) from pg_aggregate a "
    "where r.cls = 'pg_proc'::regclass and a.aggfnoid = r.id");

// An operator leads to its function. A type leads to what comparing or hashing its values
// runs, which no tree and no pg_depend record names: its default btree and hash operator
// classes' support functions and operators (GREATEST, an array's or a row's comparison and
// equality), those of the types it is made of (an array's element, a domain's base, a
// composite's columns, a range's subtype, whose class the range names, and its canonical and
// subtype difference functions). A type without a default class of its own for btree or hash is
// compared through that of a type it reads as without a cast, as the server looks for one, and
// only then: a cast from text to citext is never taken to compare text. (Where several such casts
// lead to classes, the server takes the preferred type's, varchar's text's; all are followed,
// which the server would otherwise plan for every object reached: citext's class, a C one, is
// then told among the server's functions, not named.) The server's own support functions
// and operators are left out: they run nothing of the database's but through the types they
// compare, which are followed themselves. btree and hash are the access methods 403 and 405 on
// every server, as initdb makes them: named by oid, the server plans no look-up of them.
const QString kPgTypeLinks = QStringLiteral(
    "select 'pg_proc'::regclass::oid, p.oprcode::oid from pg_operator p where r.cls = 'pg_operator'::regclass and p.oid = r.id "
    "union all select 'pg_type'::regclass::oid, unnest(array[t.typelem, t.typbasetype]) from pg_type t "
    "where r.cls = 'pg_type'::regclass and t.oid = r.id "
    "union all select 'pg_type'::regclass::oid, a.atttypid from pg_type t join pg_attribute a on a.attrelid = t.typrelid "
    "where r.cls = 'pg_type'::regclass and t.oid = r.id and t.typtype = 'c' and a.attnum > 0 and not a.attisdropped "
    "union all select 'pg_opfamily'::regclass::oid, c.opcfamily from pg_opclass c "
    "where r.cls = 'pg_type'::regclass and c.opcintype = r.id and c.opcdefault and c.opcmethod in (403, 405) "
    "union all select 'pg_opfamily'::regclass::oid, c.opcfamily from pg_cast k "
    "join pg_opclass c on c.opcintype = k.casttarget and c.opcdefault and c.opcmethod in (403, 405) "
    "where r.cls = 'pg_type'::regclass and k.castsource = r.id and k.castmethod = 'b' "
    "and not exists (select from pg_opclass o where o.opcintype = r.id and o.opcdefault and o.opcmethod = c.opcmethod) "
    "union all select v.cls, v.id from pg_range g cross join lateral (values "
    "('pg_type'::regclass::oid, g.rngtypid), ('pg_type'::regclass::oid, g.rngsubtype), "
    "('pg_opfamily'::regclass::oid, (select c.opcfamily from pg_opclass c where c.oid = g.rngsubopc)), "
    "('pg_proc'::regclass::oid, g.rngcanonical::oid), ('pg_proc'::regclass::oid, g.rngsubdiff::oid)) v(cls, id) "
    "where r.cls = 'pg_type'::regclass and r.id in (g.rngtypid, g.rngmultitypid) "
    "and (v.cls <> 'pg_proc'::regclass or v.id >= 16384) "
    "union all select 'pg_proc'::regclass::oid, a.amproc::oid from pg_amproc a "
    "where r.cls = 'pg_opfamily'::regclass and a.amprocfamily = r.id and a.amproc::oid >= 16384 "
    "union all select 'pg_operator'::regclass::oid, a.amopopr from pg_amop a "
    "where r.cls = 'pg_opfamily'::regclass and a.amopfamily = r.id and a.amopopr >= 16384");

// What a query does with its values beyond what a check does: it sorts and groups by operators
// (a DISTINCT, an ORDER BY), which leads to the btree and hash families they are in, and it
// makes values of domains (a column's type, a composite's), which leads to their checks.
const QString kPgQueryLinks = QStringLiteral(
    "select 'pg_opfamily'::regclass::oid, a.amopfamily from pg_amop a "
    "where r.cls = 'pg_operator'::regclass and a.amopopr = r.id and a.amopmethod in (403, 405) "
    "union all select 'pg_constraint'::regclass::oid, k.oid from pg_type t join pg_constraint k on k.contypid = t.oid "
    "where r.cls = 'pg_type'::regclass and t.oid = r.id and t.typtype = 'd'");

// The objects reached from roots (a select of class and oid pairs) through links, and in turn
// from what they reach, as "reached(cls, id)"; tree is the parse tree of an object r, if it has
// one (kPgTreeOf); before, the queries the roots read ("a(x) as (...), ").
QString PgReachedFrom(const QString& roots, const QString& tree, const QStringList& links, const QString& before = {})
{
    return QStringLiteral("with recursive %4reached(cls, id) as (%1 union select x.cls, x.id from reached r "
                          "cross join lateral (select %2) tr(t) cross join lateral (%3) x(cls, id) where x.id <> 0)")
        .arg(roots, tree, links.join(QStringLiteral(" union all ")), before);
}

// The links a statement's objects are followed through, resolved or named.
const QStringList kPgStatementLinks = {kPgTreeLinks, kPgRelationLinks, kPgTypeLinks, kPgQueryLinks};

// PostgreSQL, by name, where the server cannot resolve the statement: the functions (aggregates
// and procedures too) of the names, those of the operators whose name is part of a run of
// operator characters, and the relations and domains of the names, followed as a resolved
// statement's objects are (the rules of views, the policies and children of tables, the checks
// of domains, by their parse trees: built-in functions too, which pg_depend leaves out). The
// catalog is readable on a standby, in a read-only transaction and without the TEMP right. Told
// apart as the resolved question tells them (kPgCalledRows), so that a refused function of the
// server's that a name or a view reaches is known as one. initdb's own objects have oids below
// 16384 (FirstNormalObjectId).
QString PgNamedRoutines(const QStringList& names, const QStringList& operators)
{
    return PgReachedFrom(QStringLiteral(
                             "select 'pg_class'::regclass::oid, c.oid from pg_class c join n on c.relname = n.name "
                             "union select 'pg_proc'::regclass::oid, p.oid from pg_proc p join n on p.proname = n.name "
                             "union select 'pg_type'::regclass::oid, t.oid from pg_type t join n on t.typname = n.name "
                             "where t.typtype = 'd' "
                             "union select 'pg_operator'::regclass::oid, p.oid from pg_operator p "
                             "where p.oid >= 16384 and exists (select from o where strpos(o.run, p.oprname) > 0)"),
               kPgTreeOf, kPgStatementLinks,
               QStringLiteral("n(name) as (select convert_from(decode(x, 'hex'), 'UTF8')::name from unnest(%1) x), "
                              "o(run) as (select convert_from(decode(x, 'hex'), 'UTF8') from unnest(%2) x), ")
                   .arg(PgTextArray(names), PgTextArray(operators)))
        + kPgCalled + kPgCalledRows;
}

// What the resolved statement calls, from its view's rule on. A table_to_xml of the server's
// reads the relation it is given: one given by a regclass constant is followed (pg_depend); any
// other regclass value in a tree (a column, a cast, a function's result) is reported.
QString PgResolvedQuestion()
{
    return PgReachedFrom(QStringLiteral("select 'pg_rewrite'::regclass::oid, w.oid from pg_rewrite w "
                                        "where w.ev_class = 'pg_temp.%1'::regclass")
                             .arg(kPgResolvedView),
               kPgTreeOf, kPgStatementLinks)
        + kPgCalled + kPgCalledRows
        + QStringLiteral(
            " union select 'variable', c.proname::text from called c where c.pronamespace = 'pg_catalog'::regnamespace "
            "and left(c.proname, 12) = 'table_to_xml' and exists (select from reached r where %1 ~ ':(?!consttype)[a-z]+type 2205([^0-9]|$)') "
            "union %2 order by 1, 2")
              .arg(kPgTreeOf, kPgRights);
}

// The database has event triggers, which a CREATE VIEW would run.
const QString kPgEventTriggers = QStringLiteral("exists (select from pg_event_trigger where evtenabled <> 'D')");

// The server's functions that may be refused, from LIKE patterns (RefusedSqlNamePatterns), as an
// array the server makes once per question.
QString PgRefusedArray(const QStringList& patterns)
{
    return QStringLiteral("array(select convert_from(decode(x, 'hex'), 'UTF8') from unnest(%1) x)").arg(PgTextArray(patterns));
}

// Parsing a statement's literals runs the checks of the domains their values are of ('{1}'::d[],
// a row of a type with such a column), and a range's input compares its bounds with its
// subtype's class. What must not run so is code of the database's (SQL or a procedural language)
// and the server's refused functions, by name or, in C or internal, by their code's symbol (of
// the refused array): whether the function of oid is either. A stable or volatile built-in
// (now()) runs nothing of the database's. Asked of the one function (the offset keeps the server
// from making it a join): comparing every function's name with the patterns would take a hundred
// times the guard's other look-ups.
QString PgGuardedCode(const QString& oid, const QString& refused)
{
    return QStringLiteral("exists (select from pg_proc p where p.oid = %3 and ((p.oid >= 16384 and p.prolang not in %1) "
                          "or exists (select from unnest(%2) x where p.proname ilike x or (p.prolang in %1 and p.prosrc ilike x))) "
                          "offset 0)")
        .arg(kPgServerLanguages, refused, oid);
}

// The database has a domain check or a range that reaches, by any route (a call, an operator,
// GREATEST, a comparison through the types in it), such a function. Extensions' C functions
// (citext, hstore, PostGIS) are the server's kind of code and count only under a refused
// function's name. Each domain's check is a root of its own, and a check sorts nothing
// (kPgQueryLinks).
QString PgDomainCalls(const QString& refused)
{
    return QStringLiteral("exists (%1 select from reached r where r.cls = 'pg_proc'::regclass and %2)")
        .arg(PgReachedFrom(QStringLiteral("select 'pg_constraint'::regclass::oid, k.oid from pg_constraint k "
                                          "where k.contypid <> 0 and k.contype = 'c' "
                                          "union select 'pg_type'::regclass::oid, g.rngtypid from pg_range g where g.rngtypid >= 16384"),
                 QStringLiteral("(select k.conbin::text from pg_constraint k where r.cls = 'pg_constraint'::regclass and k.oid = r.id)"),
                 {kPgTreeLinks, kPgTypeLinks}),
            PgGuardedCode(QStringLiteral("r.id"), refused));
}

// Whether the above may hold, told without walking: a check names such a function (or an
// operator's), or a class's support function, an operator or a type stands on one of the
// database's (pg_depend): the walk finds one only there, as a class's support function or
// operator (whatever the type or cast that leads there) or as a range's canonical or subtype
// difference function. Most databases have none (their extensions' functions are C), and the
// server then plans two plain look-ups instead of the walk's recursive query; where one is, the
// walk tells.
QString PgDomainCallsMaybe(const QString& refused)
{
    return QStringLiteral(
        "(exists (select from pg_constraint k cross join lateral regexp_matches(k.conbin::text, "
        "':(funcid|opno|opnos) (?:[(]o )?([0-9]+(?: [0-9]+)*)', 'g') m cross join lateral unnest(string_to_array(m[2], ' ')) x "
        "left join pg_operator o on m[1] <> 'funcid' and o.oid = x::oid "
        "where k.contypid <> 0 and k.contype = 'c' and %1) "
        "or exists (select from pg_depend d where d.classid in ('pg_amproc'::regclass, 'pg_operator'::regclass, 'pg_type'::regclass) "
        "and d.refclassid = 'pg_proc'::regclass and d.refobjid >= 16384 and %2))")
        .arg(PgGuardedCode(QStringLiteral("coalesce(o.oprcode::oid, x::oid)"), refused),
            PgGuardedCode(QStringLiteral("d.refobjid"), refused));
}

// What the guard below fails with where the checks may call something: the server's words around
// it may be in any language, the value is quoted as it stands.
const QString kPgDomainCallsMark = QStringLiteral("vellumcraft_domain_calls");

// The guard before a statement is made into a view: fails where an event trigger would run, and
// with kPgDomainCallsMark where a domain's check might (the question why then walks).
QString PgGuard(const QString& refused)
{
    return QStringLiteral("select 1 / (not %1)::int, case when %2 then '%3' else '1' end::int")
        .arg(kPgEventTriggers, PgDomainCallsMaybe(refused), kPgDomainCallsMark);
}

// The guard that walks, where the question why found that the checks call nothing after all.
QString PgWalkingGuard(const QString& refused)
{
    return QStringLiteral("select 1 / (not (%1 or %2))::int").arg(kPgEventTriggers, PgDomainCalls(refused));
}

// Why the server could not make the view: the login's or the database's reasons alone, asked
// in a transaction of its own set up as the view's was (its read-only state is the login's, the
// database's or a standby's; its role the login's, not the one a superuser's statements run as),
// after the statement's own was rolled back, so that nothing of the statement stands behind the
// answer. Where none holds, the refusal of the view was the statement's (Unresolved::Other).
const QString kPgUnresolvedWhy = QStringLiteral(
    "select 'unresolved', case when pg_is_in_recovery() then 'standby' "
    "when current_setting('transaction_read_only') = 'on' then 'readonly' "
    "when not has_database_privilege(current_database(), 'TEMP') then 'temp' "
    "when %1 then 'trigger' when %2 then 'domain' else 'none' end");

DbStatementFacts::Unresolved PgUnresolved(const QString& why)
{
    using U = DbStatementFacts::Unresolved;
    if (why == u"none")
        return U::None;
    if (why == u"standby")
        return U::Standby;
    if (why == u"readonly")
        return U::ReadOnly;
    if (why == u"temp")
        return U::NoTempRight;
    if (why == u"trigger")
        return U::EventTrigger;
    if (why == u"domain")
        return U::DomainCheck;
    return U::Other;
}

void TakePgRows(const DbRows& rows, DbStatementFacts& facts)
{
    for (int r = 0; r < rows.RowCount(); ++r) {
        const QString kind = rows.Value(r, 0);
        const QString value = rows.Value(r, 1);
        if (kind == u"right")
            AddOnce(facts.loginRights, value);
        else if (kind == u"routine")
            AddOnce(facts.routines, value);
        else if (kind == u"builtin")
            AddOnce(facts.builtins, value);
        else if (kind == u"variable")
            AddOnce(facts.variableRelations, value);
        else if (kind == u"unresolved")
            facts.unresolved = PgUnresolved(value);
    }
}

// A query is resolved by the server with the login's rights, in one round trip: a step refuses
// to make the view where that would run anything of the database's (an event trigger on CREATE
// VIEW, a domain's check of a literal while it is parsed; where its look-ups cannot tell the
// checks harmless, the question why walks them, and the statement is resolved in a third round
// trip where they call nothing), then the view is made of the statement
// as it is sent (in a select of no columns, so that columns of one name, which a view refuses, do
// not matter). Where the view is refused, a second round trip asks why (kPgUnresolvedWhy): only
// the login's or the database's reasons lead to the names being asked about in the statement's
// own frame; any other refusal is the statement's own doing, since a statement can make the view
// fail where running it would not (a tail that exhausts the parser's stack and that the planner
// drops), and it is refused with the server's words. A CALL is not a query, and a view cannot
// hold one: its procedure is the database's, named by the statement.
bool ReadPgFacts(DbConnection& connection, const QString& statement, const QStringList& names,
    const QStringList& operators, const QStringList& refusedPatterns, DbStatementFacts& facts)
{
    if (PgLeadsAsQuery(statement)) {
        const QString refused = PgRefusedArray(refusedPatterns);
        const QStringList steps
            = {QStringLiteral("create temp view %1 as select from (%2\n) as s").arg(kPgResolvedView, statement)};
        facts.statementSent = true;
        DbRows rows;
        bool resolved = connection.QueryResolving(statement, PgGuard(refused), steps, PgResolvedQuestion(), rows);
        if (!resolved) {
            if (connection.Stopped())
                return false;
            QString refusal = connection.LastError();
            // Where the guard could not tell the checks harmless, the question why walks them; where
            // it finds that they call nothing, the statement is resolved behind the walking guard.
            // Without the mark the guard's look-ups found nothing: only a change made since can
            // make them hold, and that is taken as the walk's finding.
            const bool marked = refusal.contains(kPgDomainCallsMark);
            const QString why
                = kPgUnresolvedWhy.arg(kPgEventTriggers, marked ? PgDomainCalls(refused) : PgDomainCallsMaybe(refused));
            if (connection.QueryResolving(why, QStringLiteral("select 1"), {}, why, rows))
                TakePgRows(rows, facts);
            else if (connection.Stopped())
                return false;
            // An event trigger or a domain's check stops the resolution at the guard, before the
            // view holds the statement: the server never parsed it.
            if (facts.unresolved == DbStatementFacts::Unresolved::EventTrigger
                || facts.unresolved == DbStatementFacts::Unresolved::DomainCheck)
                facts.statementSent = false;
            if (marked && facts.unresolved == DbStatementFacts::Unresolved::None) {
                resolved = connection.QueryResolving(statement, PgWalkingGuard(refused), steps, PgResolvedQuestion(), rows);
                if (!resolved && connection.Stopped())
                    return false;
                refusal = connection.LastError();
            }
            if (!resolved && (facts.unresolved == DbStatementFacts::Unresolved::None
                                 || facts.unresolved == DbStatementFacts::Unresolved::Other)) {
                facts.unresolved = DbStatementFacts::Unresolved::Other;
                facts.unresolvedError = refusal;
                return true;
            }
        }
        if (resolved) {
            facts.resolved = true;
            TakePgRows(rows, facts);
            return true;
        }
    }
    DbRows rows;
    if (!AskCatalog(connection,
            PgNamedRoutines(names, operators) + QStringLiteral(" union ") + kPgRights
                + QStringLiteral(" order by 1, 2"),
            rows, facts))
        return false;
    TakePgRows(rows, facts);
    return true;
}

// The schemas that hold only the server's objects: nobody can make one there.
bool IsMyServerSchema(const QString& schema)
{
    return schema.compare(u"information_schema", Qt::CaseInsensitive) == 0
        || schema.compare(u"performance_schema", Qt::CaseInsensitive) == 0;
}

// The schemas where the server keeps its routines and views beside those an administrator may
// put there, which then run with their definer's rights.
bool IsMyOwnSchema(const QString& schema)
{
    return schema == u"sys" || schema == u"mysql";
}

// The server's own routine or view (schema and definer columns %1 and %2): one of sys or mysql
// that the server's own locked account defines (MariaDB's, MySQL's). Compared as written: `SYS`
// is another schema, `MariaDB.sys` another account.
const QString kMyServerOwned = QStringLiteral(
    "(binary %1 in ('sys', 'mysql') and binary %2 in ('mariadb.sys@localhost', 'mysql.sys@localhost'))");

// The names as lower-cased utf8mb4 texts; information_schema's utf8mb3 columns are compared as
// utf8mb4 too, so that a name outside the basic plane compares instead of failing.
QString MyLowerList(const QStringList& texts)
{
    QStringList items;
    for (const QString& text : texts)
        items << QStringLiteral("lower(_utf8mb4 X'%1')").arg(CatalogUtf8Hex(text));
    return u'(' + items.join(u',') + u')';
}

// The rows (kind, schema, name) of information_schema's ROUTINES or TABLES (what: ROUTINE or
// TABLE) that hold, of the names.
QString MyNamedRows(const QString& kind, const QString& what, const QString& condition, const QStringList& names)
{
    return QStringLiteral("select '%1', %2_SCHEMA, %2_NAME from information_schema.%2S where %3 "
                          "and lower(convert(%2_NAME using utf8mb4)) in %4")
        .arg(kind, what, condition, MyLowerList(names));
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
// may call a routine that the login itself cannot see. Only the server's own routines and views
// are not the database's (kMyServerOwned); a call of one in sys or mysql is the server's only
// where the catalog shows it so. Nor can the login see a view of another schema that a DEFINER
// view reads, nor what that one calls: the relations the texts read that information_schema
// does not show the login are named as unseen, asked in the same round trip as the routines.
bool ReadMyFacts(DbConnection& connection, const QStringList& names, DbStatementFacts& facts)
{
    static const QRegularExpression quoted(QStringLiteral("`((?:[^`]|``)+)`"));
    static const QRegularExpression call(QStringLiteral("(?:`((?:[^`]|``)+)`\\.)?`((?:[^`]|``)+)`\\s*\\("));
    static const QRegularExpression read(
        QStringLiteral("(?:from|join)\\s*(?:\\(\\s*)*`((?:[^`]|``)+)`\\.`((?:[^`]|``)+)`(?!\\s*[.(])"),
        QRegularExpression::CaseInsensitiveOption);
    QList<MyRelation> relations;
    // Calls of routines of sys or mysql, each as (schema, name), which may be the server's own.
    QList<QPair<QString, QString>> ownSchemaCalls;
    QStringList asked = names;
    QSet<QString> askedLower;
    for (const QString& name : names)
        askedLower.insert(name.toLower());
    QStringList pending = asked;
    QSet<QString> views;
    while (!pending.isEmpty()) {
        DbRows rows;
        if (!AskCatalog(connection,
                QStringLiteral("select TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION, %1 from information_schema.VIEWS "
                               "where lower(convert(TABLE_NAME using utf8mb4)) in %2")
                    .arg(kMyServerOwned.arg(QStringLiteral("TABLE_SCHEMA"), QStringLiteral("DEFINER")),
                        MyLowerList(pending)),
                rows, facts))
            return false;
        pending.clear();
        for (int r = 0; r < rows.RowCount(); ++r) {
            const QString schema = rows.Value(r, 0);
            const QString view = schema + u'.' + rows.Value(r, 1);
            if (views.contains(view) || IsMyServerSchema(schema) || rows.Value(r, 3) == u"1")
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
                const QString routine = MyUnquoted(found.captured(2));
                if (IsMyOwnSchema(called))
                    ownSchemaCalls.append({called, routine});
                else if (!IsMyServerSchema(called))
                    AddOnce(facts.routines, called + u'.' + routine);
            }
            for (auto match = read.globalMatch(text); match.hasNext();) {
                const auto found = match.next();
                const MyRelation relation {MyUnquoted(found.captured(1)), MyUnquoted(found.captured(2)), view};
                if (!IsMyServerSchema(relation.schema))
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
    const QString owned = kMyServerOwned.arg(QStringLiteral("ROUTINE_SCHEMA"), QStringLiteral("DEFINER"));
    QString sql
        = MyNamedRows(QStringLiteral("routine"), QStringLiteral("ROUTINE"), QStringLiteral("not ") + owned, asked);
    if (!ownSchemaCalls.isEmpty()) {
        QStringList calledNames;
        for (const auto& ownCall : ownSchemaCalls)
            calledNames << ownCall.second;
        sql += QStringLiteral(" union all ")
            + MyNamedRows(QStringLiteral("own"), QStringLiteral("ROUTINE"), owned, calledNames);
    }
    if (!relations.isEmpty()) {
        QStringList relationNames;
        for (const MyRelation& relation : relations)
            relationNames << relation.name;
        sql += QStringLiteral(" union all ")
            + MyNamedRows(QStringLiteral("relation"), QStringLiteral("TABLE"), QStringLiteral("true"), relationNames);
    }
    DbRows rows;
    if (!AskCatalog(connection, sql + QStringLiteral(" order by 1, 2, 3"), rows, facts))
        return false;
    // Compared as written: a server that tells names apart by letter case could otherwise
    // pass a hidden relation off as a visible one of another case. Routine names are one in
    // any case.
    QSet<QPair<QString, QString>> seen;
    QSet<QPair<QString, QString>> own;
    for (int r = 0; r < rows.RowCount(); ++r) {
        const QString kind = rows.Value(r, 0);
        if (kind == u"relation")
            seen.insert({rows.Value(r, 1), rows.Value(r, 2)});
        else if (kind == u"own")
            own.insert({rows.Value(r, 1), rows.Value(r, 2).toLower()});
        else
            AddOnce(facts.routines, rows.Value(r, 1) + u'.' + rows.Value(r, 2));
    }
    for (const auto& [schema, routine] : ownSchemaCalls) {
        if (!own.contains({schema, routine.toLower()}))
            AddOnce(facts.routines, schema + u'.' + routine);
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

bool ReadStatementFacts(DbConnection& connection, const QString& statement, const QStringList& names,
    const QStringList& operators, const QStringList& refusedPatterns, DbStatementFacts& facts)
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
        return ReadPgFacts(connection, statement, asked, operators, refusedPatterns, facts);
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
