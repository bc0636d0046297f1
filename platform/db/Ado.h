#pragma once

#include "platform/db/DbConnection.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <optional>

// The connection strings of OLE DB providers, taken as the data sources write them,
// and where each provider is sent on this system:
//
//   SQLOLEDB (and the SQL Server native clients), Sybase ASE   ODBC with FreeTDS
//   IBM DB2, Oracle (OraOLEDB, MSDAORA)                         ODBC with an installed
//                                                               driver whose name holds
//                                                               "DB2" or "Oracle"
//   MSDASQL, or no provider                                     ODBC, the string as it is
//   Jet / ACE with "Excel" in the extended properties            the workbook reader
//   Jet / ACE otherwise                                          the Access reader

// "Key=Value;..." pairs. Keys are matched without regard to case or surrounding
// blanks; a value may be quoted with " or ' (the quote doubled inside).
class AdoConnectionString
{
public:
    explicit AdoConnectionString(const QString& text);

    // The value of the first of the keys that is present; empty when none is.
    QString Value(std::initializer_list<const char*> keys) const;
    bool Has(const char* key) const;
    const QList<QPair<QString, QString>>& Items() const { return m_items; }

    // A segment without "=", which readers of these strings take apart each their own way:
    // its text, and whether it follows a password (and so may be the password's rest).
    struct Bare
    {
        QString text;
        bool afterPassword = false;
    };
    const QList<Bare>& BarePieces() const { return m_bare; }

private:
    QList<QPair<QString, QString>> m_items;
    QList<Bare> m_bare;
};

// Where a connection string goes: an ODBC connection string, or a file for one of
// the file readers, or the reason it cannot be served.
struct AdoRoute
{
    enum Kind { Odbc, Excel, Access, Unavailable };
    Kind kind = Unavailable;
    QString odbc;
    QString path;
    bool headerRow = true;
    QString password;
    QString error;
    bool refused = false; // error is then our own refusal of a value, complete in itself
};

// drivers: the installed ODBC driver names (InstalledOdbcDrivers()). The user id and
// password given beside the string win over those inside it when not empty, on
// every route (an ODBC string gets them as UID and PWD). A value that cannot be sent
// to a driver unquoted (see CheckOdbcString) makes the route Unavailable with its
// refusal set, naming the field it was typed into and the data source sourceName.
AdoRoute RouteAdo(const QString& connectionString, const QString& userId, const QString& password,
    const QStringList& drivers, const QString& sourceName = {});

// What unixODBC has registered: the drivers (odbcinst.ini) with the library each
// loads, and the data source names (odbc.ini, user and system) with their driver.
struct OdbcRegistry
{
    struct Driver
    {
        QString name;
        QString library;
    };
    struct Source
    {
        QString name;
        QString driver; // a driver's name, or the library's path
        // For the data sources the program reaches itself (SQLite, MariaDB/MySQL): the
        // registration's login, server and database entries, as odbc.ini spells them.
        QList<QPair<QString, QString>> settings;
    };
    QList<Driver> drivers;
    QList<Source> dataSources;
};
OdbcRegistry InstalledOdbcRegistry();
// The driver names that odbcinst lists.
QStringList InstalledOdbcDrivers();

// What the driver manager is given for one connection: exactly the bytes that were
// checked, or why nothing may be given.
struct OdbcRequest
{
    QString text; // "Key=value;" pairs for the wide SQLDriverConnectW
    QString sqliteFile; // instead, the SQLite file to read without the driver
    std::optional<DbServerSettings> mysqlServer; // instead, the server to reach without the driver
    QString refusal; // our own message, naming sourceName when given
    QString accessFile = {}; // instead, the Access file to read without the driver
    QString accessPassword = {}; // and its password (PWD)
};

// The connection string as the driver manager may see it. Each driver reads a string
// its own way (braces, escapes, repeated keys, key spellings), so nothing is left to
// their reading: the text is split into pairs at ";" and the first "=", and only keys
// known to be harmless are accepted, with values that need no quoting (no "{", "}",
// ";", "=", control character or blank at either end; a value wholly in braces, the
// usual way to write a driver's name, counts as what is inside), and no text longer
// than the drivers' buffers. The string goes to the driver manager in UTF-16, which
// it reads as the low byte of each unit, so a value is refused too when a character's
// low byte is one of those. The driver and the data source must be registered by an
// ASCII name. The text is rebuilt from the accepted pairs, one per key (the last wins,
// as the driver manager takes it). The SQLite driver is never given a string: it lets
// statements load libraries and creates any file it is pointed at, so its Database
// (from the string or the data source's registration), an existing file, is read by
// OpenSQLite instead. Nor are the MariaDB and MySQL drivers, which let a statement
// send the user's files to the server: OpenMySQL reaches the same server. Nor is the
// Access (MDBTools) driver, which looks for "DBQ" anywhere in the string and opens
// whatever follows the next "=": its DBQ (or Database), an existing file, is read by
// OpenAccess. ReadOnly is sent to the PostgreSQL drivers alone. FreeTDS reads a port after
// the server's name and in Port in turn, the later winning, and passes over a Port of 0: a
// Port beside a server's name that carries one (the string's, or its data source's) is
// refused, and so is a Port of 0. Messages name keys,
// and of the values only the names of drivers (as registered, never a library's path),
// data sources and files; of what follows a password, the key alone.
OdbcRequest CheckOdbcString(const QString& connectionString, const QString& sourceName, const OdbcRegistry& registry);
