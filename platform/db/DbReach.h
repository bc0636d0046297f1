#pragma once

#include "platform/db/DbConnection.h"

#include <QList>
#include <QPair>
#include <QString>

// Where a connection will go and as whom, read off exactly what the client library or
// the driver manager would be given, by the same code that gives it. The question asked
// before a label's source connects, and the approval the user's answer is kept under,
// are made from this and never from the text a label holds, so that what the user is
// shown is what connects.
struct DbReach
{
    enum Kind {
        Server, // a database server, with the user's logins
        LocalFile, // a file the program reads itself
        Refused, // nothing connects: refusal says why
    };
    Kind kind = Refused;
    QString refusal;
    // The client that connects: "libpq", "MariaDB" or "ODBC".
    QString client;
    // Which server reads the statements, as far as the route tells before connecting (SQLite
    // for the files the program reads through it); a connection tells its server itself.
    SqlServerKind::Server server = SqlServerKind::Unknown;
    // Each key and value as sent, in order; a password's value is left empty.
    QList<QPair<QString, QString>> sent;
    // What the client takes where nothing is sent (libpq's environment and service file,
    // an ODBC data source's registration), under the same keys; passwords left out.
    QList<QPair<QString, QString>> defaults;
    // Where defaults come from, for the user: "环境变量" or a data source's name.
    QString defaultsFrom;
    // Where the driver goes as it reads all of that with what it finds besides (FreeTDS: a
    // port after the server's name, a server named in freetds.conf), under the keys of the
    // values it stands for, each saying where it was read. Shown where nothing sent names the
    // value, before the defaults.
    struct Resolved
    {
        QString key;
        QString value;
        QString how;
    };
    QList<Resolved> resolved;
};

// Every client reads a port as a 16-bit number: a larger one connects to its remainder modulo
// 65536 (124481 to 58945), so that the question would show one port while another connects.
// Only 1 to 65535 reaches a client.
bool IsDbPort(qint64 port);
// What is wrong with such a port, naming it, and what to do instead.
QString DbPortFault(const QString& port);
QString DbPortAdvice();
// The refusal of a native source's port, naming the data source of the calling thread
// (DbSourceScope): nothing connects.
QString DbPortRefusal(const QString& port);

// libpq's parameters for a native PostgreSQL source, and its defaults for those left empty.
DbReach PostgreSQLReach(const DbServerSettings& settings);
// The MariaDB client's parameters for a native MySQL/MariaDB source: by TCP wherever a port is
// given, through the local socket (named in unix_socket) for the local host without one.
DbReach MySQLReach(const DbServerSettings& settings);
// An OLE DB provider string with the login given beside it, routed and checked as
// DbConnection::OpenAdo routes and checks it.
DbReach AdoReach(
    const QString& connectionString, const QString& userId, const QString& password, const QString& sourceName = {});
