#pragma once

#include "platform/db/DbConnection.h"

#include <QStringList>

// What a server's catalog tells, once connected and before a statement is sent, about what the
// statement may reach beyond reading: the login's own rights, and the routines the database
// defines (rather than the server's built-in ones) that the statement calls by name, by
// operator or through a view. Such a routine can run with its owner's rights (SECURITY DEFINER,
// MariaDB's DEFINER) and write files, run programs or reach other servers, whatever transaction
// it is called in. Nothing of the statement is run to find out (a plan would already call
// functions).
//
// PostgreSQL resolves more than a statement's words name: `(pid).f` calls f, a cast calls its
// function, a view or a regclass literal brings in what the view calls. So there the server
// resolves the statement itself, in a transaction that is rolled back: a temporary view of it is
// made (parse analysis only: nothing is planned or run), and what its rule calls, by oid, is read
// back, with what the relations, domains, operators and policies it reaches call in turn. Where
// the login or the database keeps that from being done (see Unresolved), and on the other
// servers, the catalog is asked about the names the statement is made of; where the server
// refuses the view itself, nothing more is asked.
struct DbStatementFacts
{
    // Why a PostgreSQL server did not resolve a statement.
    enum class Unresolved {
        None, // it did, or was not asked to (another server, a CALL)
        Standby, // a server in recovery runs nothing that writes, a temporary view neither
        ReadOnly, // the login's or the database's transactions are read-only
        NoTempRight, // the login may not make temporary objects in the database
        EventTrigger, // making the view would run the database's event triggers
        DomainCheck, // a domain's check calls a function that parsing a literal would run
        // The server refused the view, or the question why: whatever the error, the statement's
        // own among them. Only the reasons above are the login's or the database's, and they are
        // asked before the statement is sent, so that no statement can pick one.
        Other,
    };

    bool superuser = false; // DbConnection::SuperuserLogin
    // The server's roles of file or program rights the login is a member of, directly or
    // through other roles: pg_read_server_files, pg_write_server_files, pg_execute_server_program.
    QStringList loginRights;
    // Each routine once, as schema.name: the database's own code (SQL or a procedural language)
    // or any function that runs with its owner's rights (SECURITY DEFINER).
    QStringList routines;
    // Views the statement reaches whose definition the login may not read.
    QStringList unreadViews;
    // Tables or views that views the statement reaches read, which the catalog does not show the
    // login (another schema's, read with the view owner's rights): what they call is unknown.
    // Each as schema.name with the view that reads it.
    QStringList unseenRelations;
    // The catalog could not be asked (a server the connection cannot tell, or a catalog that
    // refused the question): the statement may call such routines unseen.
    bool routinesUnknown = false;
    // PostgreSQL resolved the statement: the routines above, and the two lists below, are what
    // it calls however it is written.
    bool resolved = false;
    Unresolved unresolved = Unresolved::None;
    // The server's error where it refused (Unresolved::Other).
    QString unresolvedError;
    // The statement's text went to the server to be made into the view (resolved or refused):
    // the server parsed it, and it stands in the server's log, though none of it ran. Not where
    // the guard stopped the resolution first (an event trigger, a domain's check).
    bool statementSent = false;
    // The server's own functions it calls, each once, as name/arguments ("ts_rewrite/2"): those
    // of pg_catalog, and those whose code is the server's library or one in its folder (internal
    // or C, as an extension from the server's packages has), each of these under every name its
    // code goes by (its symbol, and each function of the same symbol). Where the server did not
    // resolve the statement: those its names name (PostgreSQL calls f(x) written x.f).
    QStringList builtins;
    // The server's own functions that read a relation given to them (table_to_xml), where the
    // statement gives them one that is not a constant, so that nobody can tell which.
    QStringList variableRelations;

    bool operator==(const DbStatementFacts&) const = default;
};

// The facts of a statement (as it is sent) made of names (its identifiers as the server reads
// them: unquoted ones folded as it folds them, quoted ones as written) and operators (its runs of
// operator characters), asked of the connection's server. refusedPatterns are the server
// functions no statement may call, as LIKE patterns (RefusedSqlNamePatterns): where a domain's
// check would run one while the statement is parsed, PostgreSQL does not resolve it. False only
// when the step was stopped (a cancel, its limit, or a statement the server reads as more than
// one: the connection's LastError() says so).
bool ReadStatementFacts(DbConnection& connection, const QString& statement, const QStringList& names,
    const QStringList& operators, const QStringList& refusedPatterns, DbStatementFacts& facts);
