#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <initializer_list>

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

private:
    QList<QPair<QString, QString>> m_items;
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
};

// drivers: the installed ODBC driver names (InstalledOdbcDrivers()). The user id and
// password given beside the string win over those inside it when not empty, on
// every route (an ODBC string gets them as UID and PWD).
AdoRoute RouteAdo(
    const QString& connectionString, const QString& userId, const QString& password, const QStringList& drivers);

// The driver names that odbcinst lists.
QStringList InstalledOdbcDrivers();
// The data source names (user and system) that odbcinst lists.
QStringList RegisteredOdbcDataSources();

// One "key=value" pair of an ODBC connection string, read as unixODBC reads it: a
// value that starts with "{" runs to the "}" that is not doubled ("}}" stands for
// "}") and anything after it up to the ";" is kept as well; a pair without "=" has
// an empty value.
struct OdbcPair
{
    QString key; // as written, blanks and all
    QString value; // braces removed, "}}" undoubled
    QString text; // the pair as written, without its ";"
};
QList<OdbcPair> OdbcPairs(const QString& text);

// Why the driver manager must not be given this connection string; empty when it may.
// It may name a driver only by a name in drivers and a data source only by a name in
// dataSources, and no key that makes the driver manager or a driver load a library
// or read or write a file of the string's choosing (FILEDSN, SAVEFILE, a trace file,
// an extension). sourceName, when given, is the data source the message names.
QString OdbcRefusal(const QString& connectionString, const QString& sourceName, const QStringList& drivers,
    const QStringList& dataSources);

// A value as an ODBC connection string holds it: in braces (a closing brace
// doubled) when it holds a character that would end or split it.
QString OdbcValue(const QString& value);
