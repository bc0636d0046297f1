#include "platform/db/DbReach.h"

#include "platform/db/Ado.h"

#include <QFileInfo>

namespace {

bool IsPasswordName(const QString& key)
{
    return key.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0;
}

// Names the checked string holds in ASCII alone, so ASCII case is all that differs.
bool SameAsciiName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const OdbcRegistry::Source* RegisteredSource(const OdbcRegistry& registry, const QString& name)
{
    for (const OdbcRegistry::Source& source : registry.dataSources) {
        if (SameAsciiName(source.name, name))
            return &source;
    }
    return nullptr;
}

// The server an ODBC driver reaches, told by its library: Unknown for FreeTDS, which reaches
// SQL Server and Sybase alike, and for drivers the program does not know.
SqlServerKind::Server DriverServer(const OdbcRegistry& registry, const QString& driver, const QString& dataSource)
{
    QString name = driver;
    if (name.isEmpty()) {
        const OdbcRegistry::Source* source = RegisteredSource(registry, dataSource);
        name = source ? source->driver : QString();
    }
    QString library = name;
    for (const OdbcRegistry::Driver& registered : registry.drivers) {
        if (SameAsciiName(registered.name, name))
            library = registered.library;
    }
    const QString file = QFileInfo(library).fileName();
    if (file.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive))
        return SqlServerKind::PostgreSQL;
    return SqlServerKind::Unknown;
}

} // namespace

DbReach MySQLReach(const DbServerSettings& settings)
{
    // As ConnectMySql hands them to the client: an empty host is the local server's
    // socket, a port of 0 the client's default.
    DbReach reach;
    reach.kind = DbReach::Server;
    reach.client = QStringLiteral("MariaDB");
    reach.server = SqlServerKind::MySQL;
    reach.sent = {{QStringLiteral("host"), settings.host},
        {QStringLiteral("port"), settings.port > 0 ? QString::number(settings.port) : QString()},
        {QStringLiteral("database"), settings.database}, {QStringLiteral("user"), settings.user},
        {QStringLiteral("password"), QString()}};
    return reach;
}

DbReach AdoReach(
    const QString& connectionString, const QString& userId, const QString& password, const QString& sourceName)
{
    DbReach reach;
    const AdoRoute route = RouteAdo(connectionString, userId, password, InstalledOdbcDrivers(), sourceName);
    switch (route.kind) {
    case AdoRoute::Excel:
    case AdoRoute::Access:
        // Read through SQLite, as the files the SQLite and Access drivers name below.
        reach.kind = DbReach::LocalFile;
        reach.server = SqlServerKind::SQLite;
        return reach;
    case AdoRoute::Unavailable: reach.refusal = route.error; return reach;
    case AdoRoute::Odbc: break;
    }
    const OdbcRegistry registry = InstalledOdbcRegistry();
    const OdbcRequest request = CheckOdbcString(route.odbc, sourceName, registry);
    if (!request.refusal.isEmpty()) {
        reach.refusal = request.refusal;
        return reach;
    }
    if (!request.sqliteFile.isEmpty() || !request.accessFile.isEmpty()) {
        reach.kind = DbReach::LocalFile;
        reach.server = SqlServerKind::SQLite;
        return reach;
    }
    if (request.mysqlServer)
        return MySQLReach(*request.mysqlServer);

    reach.kind = DbReach::Server;
    reach.client = QStringLiteral("ODBC");
    // The checked text holds each key once, its values unquoted and free of ";" and "=".
    QString driver;
    QString dataSource;
    for (const QString& piece : request.text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = piece.indexOf(u'=');
        const QString key = piece.left(equals);
        const QString value = piece.mid(equals + 1);
        reach.sent.append({key, IsPasswordName(key) ? QString() : value});
        if (SameAsciiName(key, QStringLiteral("Driver")))
            driver = value;
        else if (SameAsciiName(key, QStringLiteral("DSN")))
            dataSource = value;
    }
    if (const OdbcRegistry::Source* source = dataSource.isEmpty() ? nullptr : RegisteredSource(registry, dataSource)) {
        for (const auto& [key, value] : source->settings) {
            if (!IsPasswordName(key))
                reach.defaults.append({key, value});
        }
        reach.defaults.append({QStringLiteral("Driver"), source->driver});
        reach.defaultsFrom = QStringLiteral("数据源“%1”在 unixODBC 中的注册").arg(source->name);
    }
    reach.server = DriverServer(registry, driver, dataSource);
    return reach;
}
