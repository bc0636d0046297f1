#pragma once

#include "platform/db/DbConnection.h"

#include <QStringList>

// What a server's catalog tells, once connected and before a statement is sent, about what the
// statement may reach beyond reading: the login's own rights, and the routines the database
// defines (rather than the server's built-in ones) that the statement calls by name, by
// operator or through a view. Such a routine can run with its owner's rights (SECURITY DEFINER,
// MariaDB's DEFINER) and write files, run programs or reach other servers, whatever transaction
// it is called in. Nothing of the statement is run to find out (a plan would already call
// functions): the catalog is asked about the names the statement is made of.
struct DbStatementFacts
{
    bool superuser = false; // DbConnection::SuperuserLogin
    // The server's roles of file or program rights the login is a member of, directly or
    // through other roles: pg_read_server_files, pg_write_server_files, pg_execute_server_program.
    QStringList loginRights;
    // Each routine once, as schema.name.
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

    bool operator==(const DbStatementFacts&) const = default;
};

// The facts of a statement made of names (its identifiers as the server reads them: unquoted
// ones folded as it folds them, quoted ones as written) and operators (its runs of operator
// characters), asked of the connection's server. False only when the step was stopped (a
// cancel or its limit: the connection's LastError() says so).
bool ReadStatementFacts(
    DbConnection& connection, const QStringList& names, const QStringList& operators, DbStatementFacts& facts);
