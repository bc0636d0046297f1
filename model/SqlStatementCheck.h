#pragma once

#include <QString>

// The judgement of a statement a user typed for a data source before anything of it
// reaches a server. The program cannot always know which server reads it (an ODBC
// driver may stand for any), so the text is read as each dialect we reach would read
// it: in every reading it must be one statement that stands inside parentheses, and
// it must not name the few functions and procedures that write files, run commands
// or run a text as a further statement.

// Empty when the statement may be sent; otherwise what is refused, as a sentence.
QString SqlStatementRefusal(const QString& sql);

// A call of a stored procedure with literal arguments only, the one form that is sent
// as it stands instead of inside a select: "call name(1, 'a')", "{call name}",
// "exec name @p = 1, 'a'" (a trailing ";" allowed). Holds only for a statement that
// SqlStatementRefusal accepts.
bool IsSqlProcedureCall(const QString& sql);
