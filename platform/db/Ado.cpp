#include "platform/db/Ado.h"

#include "platform/db/DbConnection.h"

#include <algorithm>

namespace {

bool StartsWith(const QString& provider, std::initializer_list<const char*> prefixes)
{
    for (const char* prefix : prefixes) {
        if (provider.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString FindDriver(const QStringList& drivers, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        for (const QString& driver : drivers) {
            if (driver.contains(QLatin1String(name), Qt::CaseInsensitive))
                return driver;
        }
    }
    return {};
}

// "host,port", "host:port" or "host" with the port given elsewhere.
void SplitHostPort(const QString& server, QString& host, QString& port)
{
    host = server.trimmed();
    // A colon separates the port only when it is the only one (not an IPv6 address).
    const qsizetype cut = host.contains(u',') ? host.lastIndexOf(u',')
        : host.count(u':') == 1               ? host.indexOf(u':')
                                              : -1;
    if (cut > 0) {
        port = host.mid(cut + 1).trimmed();
        host = host.left(cut).trimmed();
    }
}

bool KeyIs(const QString& key, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (key.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The keys under which connection strings carry the user and the password.
bool IsUserKey(const QString& key)
{
    return KeyIs(key, {"User ID", "UID", "User"});
}

bool IsPasswordKey(const QString& key)
{
    return KeyIs(key, {"Password", "PWD"});
}

class OdbcBuilder
{
public:
    OdbcBuilder& Add(const char* key, const QString& value)
    {
        if (!value.isEmpty())
            m_parts.append(QLatin1String(key) + u'=' + OdbcValue(value));
        return *this;
    }
    QString Text() const { return m_parts.join(u';') + u';'; }

private:
    QStringList m_parts;
};

// A connection that never opened, carrying the reason.
class UnavailableConnection final : public DbConnection
{
public:
    explicit UnavailableConnection(const QString& why) { Fail(why); }
    bool IsOpen() const override { return false; }
    void Close() override { }
    bool ListTables(QStringList& tables) override
    {
        tables.clear();
        return false;
    }
    bool ListFields(const QString&, QStringList& fields) override
    {
        fields.clear();
        return false;
    }
    bool Query(const QString&, DbRows& rows, qint64, qint64) override
    {
        rows.Clear();
        return false;
    }
};

AdoRoute Unavailable(const QString& why)
{
    AdoRoute route;
    route.error = why;
    return route;
}

AdoRoute OdbcRoute(const QString& text)
{
    AdoRoute route;
    route.kind = AdoRoute::Odbc;
    route.odbc = text;
    return route;
}

// SQL Server and Sybase speak TDS; FreeTDS is told which dialect by its version.
AdoRoute TdsRoute(const AdoConnectionString& cs, bool sybase, const QString& user, const QString& password,
    const QStringList& drivers)
{
    const QString driver = FindDriver(drivers, {"FreeTDS", "TDS"});
    if (driver.isEmpty())
        return Unavailable(QStringLiteral("No FreeTDS ODBC driver is installed"));
    QString host;
    QString port = cs.Value({"Port", "Server Port Address"});
    SplitHostPort(cs.Value({"Server", "Server Name", "Data Source", "Address", "Addr", "Network Address"}), host, port);
    if (port.isEmpty())
        port = sybase ? QStringLiteral("5000") : QStringLiteral("1433");
    return OdbcRoute(OdbcBuilder()
                         .Add("Driver", driver)
                         .Add("Server", host)
                         .Add("Port", port)
                         .Add("Database", cs.Value({"Database", "Initial Catalog"}))
                         .Add("UID", user)
                         .Add("PWD", password)
                         .Add("TDS_Version", sybase ? QStringLiteral("5.0") : QStringLiteral("7.4"))
                         .Add("ClientCharset", QStringLiteral("UTF-8"))
                         .Text());
}

AdoRoute Db2Route(
    const AdoConnectionString& cs, const QString& user, const QString& password, const QStringList& drivers)
{
    const QString driver = FindDriver(drivers, {"DB2"});
    if (driver.isEmpty())
        return Unavailable(QStringLiteral("No ODBC driver for DB2 is installed"));
    QString host;
    QString port = cs.Value({"Port"});
    SplitHostPort(cs.Value({"Server", "Hostname", "Data Source"}), host, port);
    return OdbcRoute(OdbcBuilder()
                         .Add("Driver", driver)
                         .Add("Hostname", host)
                         .Add("Port", port)
                         .Add("Protocol", QStringLiteral("TCPIP"))
                         .Add("Database", cs.Value({"Database", "Initial Catalog"}))
                         .Add("UID", user)
                         .Add("PWD", password)
                         .Text());
}

AdoRoute OracleRoute(
    const AdoConnectionString& cs, const QString& user, const QString& password, const QStringList& drivers)
{
    const QString driver = FindDriver(drivers, {"Oracle"});
    if (driver.isEmpty())
        return Unavailable(QStringLiteral("No ODBC driver for Oracle is installed"));
    return OdbcRoute(OdbcBuilder()
                         .Add("Driver", driver)
                         .Add("DBQ", cs.Value({"Data Source"}).simplified())
                         .Add("UID", user)
                         .Add("PWD", password)
                         .Text());
}

AdoRoute FileRoute(const AdoConnectionString& cs, const QString& password)
{
    AdoRoute route;
    route.path = cs.Value({"Data Source"});
    const QString extended = cs.Value({"Extended Properties"});
    if (extended.contains(QLatin1String("Excel"), Qt::CaseInsensitive)) {
        route.kind = AdoRoute::Excel;
        const QString hdr = AdoConnectionString(extended).Value({"HDR"}).trimmed();
        route.headerRow = hdr.isEmpty() || hdr.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0;
    } else {
        route.kind = AdoRoute::Access;
        route.password = password.isEmpty() ? cs.Value({"Jet OLEDB:Database Password"}) : password;
    }
    if (route.path.isEmpty())
        return Unavailable(QStringLiteral("The connection names no file (Data Source)"));
    return route;
}

// An ODBC string with the user and password given beside it in place of its own;
// an empty one leaves the string's own as it is.
QString WithLogin(const QString& odbc, const QString& user, const QString& password)
{
    if (user.isEmpty() && password.isEmpty())
        return odbc;
    QStringList parts;
    for (const OdbcPair& pair : OdbcPairs(odbc)) {
        const bool replaced
            = (!user.isEmpty() && IsUserKey(pair.key)) || (!password.isEmpty() && IsPasswordKey(pair.key));
        if (!replaced)
            parts.append(pair.text);
    }
    return (parts.isEmpty() ? QString() : parts.join(u';') + u';')
        + OdbcBuilder().Add("UID", user).Add("PWD", password).Text();
}

// The ODBC part of an MSDASQL string: what is left without the provider, or its
// extended properties when the string keeps it there. The user and password, ADO's
// keys or ODBC's, go to the driver under ODBC's.
AdoRoute MsdasqlRoute(const AdoConnectionString& cs, const QString& user, const QString& password)
{
    const QString extended = cs.Value({"Extended Properties"});
    if (!extended.isEmpty())
        return OdbcRoute(WithLogin(extended, user, password));
    QStringList parts;
    for (const auto& [key, value] : cs.Items()) {
        if (!KeyIs(key, {"Provider"}) && !IsUserKey(key) && !IsPasswordKey(key))
            parts.append(key + u'=' + OdbcValue(value));
    }
    return OdbcRoute(WithLogin(parts.join(u';') + u';', user, password));
}

} // namespace

AdoConnectionString::AdoConnectionString(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype equals = text.indexOf(u'=', i);
        if (equals < 0)
            break;
        // A segment without "=" (such as "Excel 8.0" in extended properties) is a
        // bare word, not the start of a key.
        const qsizetype semicolon = text.indexOf(u';', i);
        if (semicolon >= 0 && semicolon < equals) {
            i = semicolon + 1;
            continue;
        }
        const QString key = text.mid(i, equals - i).trimmed();
        i = equals + 1;
        while (i < n && text[i].isSpace())
            ++i;
        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            const QChar quote = text[i++];
            for (; i < n; ++i) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i];
            }
            const qsizetype end = text.indexOf(u';', i);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype end = text.indexOf(u';', i);
            value = text.mid(i, (end < 0 ? n : end) - i).trimmed();
            i = end < 0 ? n : end + 1;
        }
        if (!key.isEmpty())
            m_items.append({key, value});
    }
}

QString AdoConnectionString::Value(std::initializer_list<const char*> keys) const
{
    for (const char* key : keys) {
        for (const auto& item : m_items) {
            if (item.first.compare(QLatin1String(key), Qt::CaseInsensitive) == 0)
                return item.second;
        }
    }
    return {};
}

bool AdoConnectionString::Has(const char* key) const
{
    for (const auto& item : m_items) {
        if (item.first.compare(QLatin1String(key), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString OdbcValue(const QString& value)
{
    const bool plain = !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') && !value.contains(u'=')
        && value.trimmed() == value;
    if (plain)
        return value;
    QString braced = value;
    braced.replace(u'}', QStringLiteral("}}"));
    return u'{' + braced + u'}';
}

QList<OdbcPair> OdbcPairs(const QString& text)
{
    QList<OdbcPair> pairs;
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && (text[i].isSpace() || text[i] == u';'))
            ++i;
        if (i >= n)
            break;
        const qsizetype start = i;
        while (i < n && text[i] != u';' && text[i] != u'=')
            ++i;
        OdbcPair pair;
        pair.key = text.mid(start, i - start);
        if (i < n && text[i] == u'=') {
            ++i;
            if (i < n && text[i] == u'{') {
                for (++i; i < n; ++i) {
                    if (text[i] == u'}') {
                        if (i + 1 < n && text[i + 1] == u'}')
                            ++i;
                        else
                            break;
                    }
                    pair.value += text[i];
                }
                if (i < n) // past the closing brace
                    ++i;
            }
            const qsizetype rest = text.indexOf(u';', i);
            pair.value += text.mid(i, (rest < 0 ? n : rest) - i);
            i = rest < 0 ? n : rest;
        }
        pair.text = text.mid(start, i - start);
        pairs.append(pair);
    }
    return pairs;
}

namespace {

// A key as the driver manager and the drivers might spell it: letter case, blanks and
// underscores do not count ("Dump File", "dump_file", "DUMPFILE").
QString KeyForm(const QString& key)
{
    QString form;
    for (const QChar c : key) {
        if (!c.isSpace() && c != u'_')
            form += c.toLower();
    }
    return form;
}

// Keys that make the driver manager or a driver on this system load a library or
// read or write a file the string names: unixODBC's file data sources, saved
// strings, attribute lists (trace files, translation libraries) and library entries,
// SQLite's extensions and trace file, PostgreSQL's log folder, FreeTDS's dump file.
bool IsFileKey(const QString& form)
{
    static const char* const kKeys[] = {"filedsn", "savefile", "dmenvattr", "dmconnattr", "dmstmtattr", "setup",
        "setup64", "driver64", "trace", "tracefile", "tracedll", "tracelibrary", "translationdll", "translationname",
        "loadext", "logdir", "dumpfile", "dumpfileappend"};
    return std::any_of(std::begin(kKeys), std::end(kKeys), [&](const char* key) { return form == QLatin1String(key); });
}

bool Listed(const QStringList& names, const QString& name)
{
    return names.contains(name, Qt::CaseInsensitive);
}

} // namespace

QString OdbcRefusal(const QString& connectionString, const QString& sourceName, const QStringList& drivers,
    const QStringList& dataSources)
{
    QString why;
    for (const OdbcPair& pair : OdbcPairs(connectionString)) {
        const QString form = KeyForm(pair.key);
        if (form == QLatin1String("driver")) {
            if (pair.value.contains(u'/'))
                why = QStringLiteral("以路径指定驱动程序库“%1”").arg(pair.value);
            else if (!Listed(drivers, pair.value))
                why = QStringLiteral("指定的驱动程序“%1”未在 unixODBC 中注册").arg(pair.value);
        } else if (form == QLatin1String("dsn")) {
            if (!pair.value.isEmpty() && !Listed(dataSources, pair.value))
                why = QStringLiteral("指定的数据源名“%1”未在 unixODBC 中注册").arg(pair.value);
        } else if (IsFileKey(form)) {
            why = QStringLiteral("含有载入程序库或读写文件的关键字“%1”").arg(pair.key.trimmed());
        }
        if (!why.isEmpty())
            break;
    }
    if (why.isEmpty())
        return {};
    const QString whose = sourceName.isEmpty() ? QString() : QStringLiteral("数据源“%1”的").arg(sourceName);
    return whose + QStringLiteral("连接字符串%1，不允许使用：只能使用在 unixODBC 中注册的驱动程序和数据源。").arg(why);
}

AdoRoute RouteAdo(
    const QString& connectionString, const QString& userId, const QString& password, const QStringList& drivers)
{
    const AdoConnectionString cs(connectionString);
    if (!cs.Has("Provider")) // ODBC's own form, as ADO itself would take it
        return OdbcRoute(WithLogin(connectionString, userId, password));
    const QString provider = cs.Value({"Provider"}).trimmed();
    const QString user = userId.isEmpty() ? cs.Value({"User ID", "UID", "User"}) : userId;
    const QString pwd = password.isEmpty() ? cs.Value({"Password", "PWD"}) : password;
    if (StartsWith(provider, {"SQLOLEDB", "SQLNCLI", "MSOLEDBSQL"}))
        return TdsRoute(cs, false, user, pwd, drivers);
    if (StartsWith(provider, {"Sybase.ASEOLEDBProvider", "ASEOLEDB"}))
        return TdsRoute(cs, true, user, pwd, drivers);
    if (StartsWith(provider, {"IBMDADB2", "DB2OLEDB"}))
        return Db2Route(cs, user, pwd, drivers);
    if (StartsWith(provider, {"OraOLEDB", "MSDAORA"}))
        return OracleRoute(cs, user, pwd, drivers);
    if (StartsWith(provider, {"Microsoft.Jet.OLEDB", "Microsoft.ACE.OLEDB"}))
        return FileRoute(cs, password);
    if (StartsWith(provider, {"MSDASQL"}))
        return MsdasqlRoute(cs, user, pwd);
    return Unavailable(QStringLiteral("The provider \"%1\" is not available on this system").arg(provider));
}

std::unique_ptr<DbConnection> DbConnection::OpenAdo(
    const QString& connectionString, const QString& userId, const QString& password, const QString& sourceName)
{
    const AdoRoute route = RouteAdo(connectionString, userId, password, InstalledOdbcDrivers());
    switch (route.kind) {
    case AdoRoute::Odbc: return OpenOdbc(route.odbc, sourceName);
    case AdoRoute::Excel: return OpenExcel(route.path, route.headerRow);
    case AdoRoute::Access: return OpenAccess(route.path, route.password);
    case AdoRoute::Unavailable: break;
    }
    return std::make_unique<UnavailableConnection>(route.error);
}
