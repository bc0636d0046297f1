#pragma once

#include <QString>
#include <QStringView>

// What both PostgreSQL routes read of a statement's text before they send it: its first word
// alone, as the server's scanner reads a keyword. Where the statement ends is left to the
// server, which parses it alone first wherever it runs among other statements.

// The statement starts with select, with, values, table or "(" (past blanks, no comment
// before): whatever the server makes of the rest, it is a query, never a CALL or a DO, the
// statements whose procedure or block may end the transaction it runs in.
bool PgLeadsAsQuery(QStringView sql);

// What follows the word CALL and the blank after it at the statement's start; null when the
// statement does not start so.
QStringView PgCalledPart(QStringView sql);

// The server's refusal of a Parse that holds more than one statement.
bool PgRefusesSeveralStatements(QStringView sqlState, QStringView message);

// Our refusal of a statement that the server reads as more than one, naming the data source.
QString PgSeveralStatementsMessage();
