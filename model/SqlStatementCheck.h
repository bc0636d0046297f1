#pragma once

#include "platform/db/DbConnection.h"

#include <QString>
#include <QStringList>

// The judgement of a statement a user typed for a data source before anything of it
// reaches a server. The text is read as the server that runs it reads it (its quotes,
// comments and escapes), and as every server we reach would read it where the
// connection cannot tell which one it is: in each of those readings it must be one
// statement that stands inside parentheses, it must not be one that changes data
// (INSERT, UPDATE, CREATE, ...), it must call or run none of the few functions and
// procedures that write files, run commands, run a text as a further statement or
// reach outside a read-only transaction that is rolled back (where a server that is not known
// to be PostgreSQL may read it as PostgreSQL does, it must not even name one, since PostgreSQL
// calls f(x) written x.f; a known PostgreSQL server tells once connected), and no text in it may
// hold such a call for a server to run. A refusal names the readings that refuse it. A
// statement longer than kMaxSqlStatementBytes is refused before it is read.
//
// Verdicts are remembered (text and server), so a print job that loads page after page
// judges its statement once; safe to call from any thread.

struct SqlStatementVerdict
{
    // Empty when the statement may be sent; otherwise what is refused and where, as a
    // sentence.
    QString refusal;
    // A call of a stored procedure with literal arguments only, the one form that is
    // sent as it stands instead of inside a select: "call name(1, 'a')", "{call name}",
    // "exec name @p = 1, 'a'" (a trailing ";" allowed). Only for an accepted statement.
    bool procedureCall = false;
    // An accepted statement that starts with select, with, values, table or "(": a
    // query that may also be sent as it stands.
    bool query = false;
};

// The longest statement read, in bytes of UTF-8 as the server receives it: a megabyte, far more
// than any real statement. A longer one is refused before it is read, by each judgement below.
constexpr qsizetype kMaxSqlStatementBytes = 1024 * 1024;

SqlStatementVerdict JudgeSqlStatement(const QString& sql, const SqlServerKind& server = {});

// The refusal of a text longer than kMaxSqlStatementBytes (a statement, or the query the program
// makes of a table's name and fields); empty when it is not.
QString SqlLengthRefusal(const QString& sql);

// The statement without the blanks around it and the semicolons that close it, as it is
// judged and sent inside parentheses (a closing semicolon would end the statement there).
QString SqlWithoutClosingSemicolons(const QString& sql);

inline QString SqlStatementRefusal(const QString& sql, const SqlServerKind& server = {})
{
    return JudgeSqlStatement(sql, server).refusal;
}

inline bool IsSqlProcedureCall(const QString& sql, const SqlServerKind& server = {})
{
    return JudgeSqlStatement(sql, server).procedureCall;
}

// A function of the server's own that no statement may call, by its name and its number of
// arguments: one that writes or reads the server's files, reaches outside a read-only
// transaction that is rolled back, or runs a text (or a schema's or database's relations) as
// a query of its own (ts_rewrite with a query: two arguments). The same list the statement's
// text is judged by; a server that resolves a statement names the functions it calls.
bool IsRefusedSqlFunction(const QString& name, int arguments);

// The same list as LIKE patterns (backslash escapes, to be compared case-blind), for a server to
// tell which of its functions are refused: every refused name matches one, and so do a few that
// only read (the large-object readers, ts_rewrite of a tsquery), so that a server told by them
// errs on the careful side.
QStringList RefusedSqlNamePatterns();

// The refusal before a connection tells the server's settings: only of a statement
// that each way the server may read it refuses (PostgreSQL with and without
// standard_conforming_strings, MySQL in each of its quoting modes; each server's way
// for an unknown server), so that it reaches no server; empty when one of them takes
// it, and the connection's server then judges it (JudgeSqlStatement).
QString SqlRefusalOfEveryReading(const QString& sql, const SqlServerKind& server = {});

// The names and operators a statement is made of, as the server reads them (every way it may,
// where the connection cannot tell): its words and quoted names, unquoted words folded where the
// server folds them (PostgreSQL), each run of plain letters in them too, and its runs of
// operator characters. What the server's catalog is asked about before the statement is sent
// (DbCatalog.h); nothing of a reading that refuses the statement, nothing of a text longer than
// a statement may be with what is built around it.
struct SqlStatementNames
{
    QStringList names;
    QStringList operators;
};
SqlStatementNames SqlNamesOf(const QString& sql, const SqlServerKind& server = {});
