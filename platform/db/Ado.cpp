#include "platform/db/Ado.h"
#include "platform/db/DbCall.h"

#include "platform/db/DbConnection.h"
#include "platform/db/DbReach.h"
#include "platform/db/FreeTdsConf.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

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

// "host,port", "host:port" or "host" with the port given elsewhere; false when the
// port is given both ways.
bool SplitHostPort(const QString& server, QString& host, QString& port)
{
    host = server.trimmed();
    // A colon separates the port only when it is the only one (not an IPv6 address).
    const qsizetype cut = host.contains(u',') ? host.lastIndexOf(u',')
        : host.count(u':') == 1               ? host.indexOf(u':')
                                              : -1;
    if (cut > 0) {
        if (!port.isEmpty())
            return false;
        port = host.mid(cut + 1).trimmed();
        host = host.left(cut).trimmed();
    }
    return true;
}

// Names compared as the driver manager compares them: letter case counts only in
// ASCII, so "ſQLite3" is not "SQLite3" (the manager would take it for a library).
bool SameName(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
        if (lower(x) != lower(y))
            return false;
    }
    return true;
}

// Keys compared as the driver manager compares them, so that no other spelling
// ("ſ" for "s") passes for a key it does not read as that key.
bool KeyIs(const QString& key, std::initializer_list<const char*> names)
{
    const QString trimmed = key.trimmed();
    for (const char* name : names) {
        if (SameName(trimmed, QLatin1String(name)))
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

// Our refusals of a connection string share one shape: whose string, what is wrong
// with it, and what to do instead.
QString RefusalMessage(const QString& sourceName, const QString& what, const QString& advice)
{
    const QString whose = sourceName.isEmpty() ? QString() : QStringLiteral("数据源“%1”的").arg(sourceName);
    return whose + what + QStringLiteral("，不允许使用：") + advice;
}

// What each kind of refusal advises.
const QString kRegisteredAdvice = QStringLiteral("只能使用在 unixODBC 中注册的驱动程序和数据源。");
const QString kQuotingAdvice = QStringLiteral("连接字符串中的值不能含有这些字符，也不能加引号或括号。");
// Drivers keep what fits their own buffers and read on with the rest cut off.
constexpr qsizetype kLongestString = 4000;
constexpr qsizetype kLongestValue = 500;
const QString kTooLongAdvice
    = QStringLiteral("连接字符串不能超过 %1 字节，其中每个值不能超过 %2 字节。").arg(kLongestString).arg(kLongestValue);

// A byte that some reader of connection strings takes for structure.
bool IsStructureByte(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F || byte == '{' || byte == '}' || byte == ';' || byte == '=';
}

// What a value holds that some driver would read as more than a value. Only its ASCII
// characters count: in UTF-8 and UTF-16 alike no other character holds one.
bool NeedsQuoting(QStringView value)
{
    if (!value.isEmpty() && (value.front() == u' ' || value.back() == u' '))
        return true;
    return std::any_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 0x80 && IsStructureByte(c.unicode()); });
}

// A value the driver manager would read differently from the driver. unixODBC reads a
// wide connection string (for the Driver and DSN it loads by, and for the copy it hands
// an ANSI driver) as the low byte of each UTF-16 unit, so "Ļ" (U+013B) is a ";" there,
// "Ľ" an "=" and a character ending in 0x00 the string's end.
bool ManagerMisreads(QStringView value)
{
    const auto low = [](QChar c) { return static_cast<unsigned char>(c.unicode() & 0xFF); };
    if (!value.isEmpty() && ((value.front().unicode() >= 0x100 && low(value.front()) == ' ')
            || (value.back().unicode() >= 0x100 && low(value.back()) == ' ')))
        return true;
    return std::any_of(
        value.begin(), value.end(), [&](QChar c) { return c.unicode() >= 0x100 && IsStructureByte(low(c)); });
}

// The refusal of such a value, naming the field or key it stands under.
QString QuotingFault(const QString& field)
{
    return QStringLiteral("“%1”的值含有 {、}、;、=、控制字符或首尾空格").arg(field);
}
QString MisreadFault(const QString& field)
{
    return QStringLiteral("“%1”的值含有会被 ODBC 驱动程序管理器读作 {、}、;、= 或控制字符的字符").arg(field);
}
const QString kMisreadAdvice = QStringLiteral(
    "unixODBC 只按每个字符的低位字节读取连接字符串，这样的字符会被读作分隔符；请改用其他字符，或把这个值写入用 odbcinst "
    "在 unixODBC 中注册的数据源，标签再以 DSN 指定该数据源。PostgreSQL 和 MySQL 数据库也可以改用本程序的 PostgreSQL、MySQL 数据源。");
// What works instead of a password that cannot be written into a connection string.
const QString kPasswordAdvice = QStringLiteral(
    "连接字符串中的密码不能含有 {、}、;、= 或控制字符，也不能加引号或括号；请改用不含这些字符的密码，或把密码写入用 "
    "odbcinst 在 unixODBC 中注册的数据源，标签再以 DSN 指定该数据源。PostgreSQL 和 MySQL 数据库也可以改用本程序的 "
    "PostgreSQL、MySQL 数据源。");

// The words the provider dialogs use for the fields a string is built from.
const QString kServerField = QStringLiteral("服务器");
const QString kDatabaseField = QStringLiteral("数据库");
const QString kUserField = QStringLiteral("用户名");
const QString kPasswordField = QStringLiteral("密码");

// An ODBC string built from a provider's fields. Every value goes in as it was typed
// or not at all: a field holding what would need quoting refuses the whole string,
// named in the user's words.
class OdbcBuilder
{
public:
    explicit OdbcBuilder(const QString& sourceName)
        : m_sourceName(sourceName)
    {
    }

    OdbcBuilder& Add(const QString& key, const QString& value, const QString& field)
    {
        if (value.isEmpty() || !m_fault.isEmpty())
            return *this;
        if (NeedsQuoting(value)) {
            m_fault = QuotingFault(field);
            m_advice = key == QLatin1String("PWD") ? kPasswordAdvice : kQuotingAdvice;
        } else if (ManagerMisreads(value)) {
            m_fault = MisreadFault(field);
            m_advice = kMisreadAdvice;
        }
        m_parts.append(key + u'=' + value);
        return *this;
    }
    OdbcBuilder& Add(const QString& key, const QString& value) { return Add(key, value, key); }
    // Pairs of a string checked as a whole when it is connected.
    OdbcBuilder& AddChecked(QString pairs)
    {
        while (pairs.endsWith(u';'))
            pairs.chop(1);
        if (!pairs.isEmpty())
            m_parts.append(pairs);
        return *this;
    }

    AdoRoute Route() const
    {
        AdoRoute route;
        if (!m_fault.isEmpty()) {
            route.refused = true;
            route.error = RefusalMessage(m_sourceName, m_fault, m_advice);
            return route;
        }
        route.kind = AdoRoute::Odbc;
        route.odbc = m_parts.join(u';') + u';';
        return route;
    }

private:
    QString m_sourceName;
    QStringList m_parts;
    QString m_fault;
    QString m_advice;
};

AdoRoute Unavailable(const QString& why)
{
    AdoRoute route;
    route.error = why;
    return route;
}

// The failure when no registered driver's name holds any of names: what was looked for
// and how a driver is registered.
AdoRoute MissingDriver(const QString& product, std::initializer_list<const char*> names)
{
    QStringList looked;
    for (const char* name : names)
        looked.append(QStringLiteral("“%1”").arg(QLatin1String(name)));
    return Unavailable(QStringLiteral("没有安装 %1 的 ODBC 驱动程序：本程序查找名称含有%2的驱动程序。请安装该驱动程序，"
                                      "并用 odbcinst -i -d 在 unixODBC 中注册（odbcinst -q -d 列出已注册的驱动程序）。")
                           .arg(product, looked.join(u'或')));
}

// The names under which providers' strings carry where to connect and as whom. Each
// route reads some of them. A string holding one its route does not read, two names for
// one value, or one key twice would show a reader (the user, asked before it connects)
// one server or login while another connects, so it is refused.
constexpr const char* kValueNames[] = {"Server", "Server Name", "Servername", "Data Source", "Address", "Addr",
    "Network Address", "Hostname", "Host", "Port", "Server Port Address", "Database", "Initial Catalog", "DB", "DBQ",
    "User ID", "UID", "User", "Username", "Password", "PWD", "DSN", "Driver", "Extended Properties"};

using KeyGroup = std::initializer_list<const char*>;
const KeyGroup kUserNames {"User ID", "UID", "User"};
const KeyGroup kPasswordNames {"Password", "PWD"};
const QString kOnceAdvice = QStringLiteral(
    "连接字符串中每一项都要写成“关键字=值”，同一项只能写一次，并且只用提供程序读取的关键字；这样连接前询问时显示的，"
    "就是实际连接的服务器、数据库和用户。");

QString Shown(const QString& text);
QStringView Unbraced(QStringView value);

// What of a provider's string could be read two ways, as the end of a refusal; empty
// when nothing could. groups: the names the route reads, those of one value together.
QString AmbiguousPiece(const AdoConnectionString& cs, std::initializer_list<KeyGroup> groups)
{
    for (const AdoConnectionString::Bare& bare : cs.BarePieces()) {
        return bare.afterPassword ? QStringLiteral("在密码之后含有没有“=”的内容")
                                  : QStringLiteral("中的“%1”没有“=”").arg(Shown(bare.text));
    }
    const auto groupOf = [&](const QString& key) -> const KeyGroup* {
        for (const KeyGroup& group : groups) {
            if (KeyIs(key, group))
                return &group;
        }
        return nullptr;
    };
    const auto& items = cs.Items();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString& key = items[i].first;
        const KeyGroup* group = groupOf(key);
        if (!group && std::any_of(std::begin(kValueNames), std::end(kValueNames),
                [&](const char* name) { return KeyIs(key, {name}); }))
            return QStringLiteral("中的“%1”不是这个提供程序读取的关键字").arg(Shown(key));
        for (qsizetype j = 0; j < i; ++j) {
            const QString& earlier = items[j].first;
            if (SameName(earlier, key))
                return QStringLiteral("中“%1”出现了不止一次").arg(Shown(key));
            if (group && KeyIs(earlier, *group))
                return QStringLiteral("中的“%1”和“%2”指定的是同一项").arg(Shown(earlier), Shown(key));
        }
    }
    return {};
}

const KeyGroup kTdsServerNames {"Server", "Server Name", "Data Source", "Address", "Addr", "Network Address"};
const KeyGroup kTdsPortNames {"Port", "Server Port Address"};
const KeyGroup kTdsDatabaseNames {"Database", "Initial Catalog"};
const KeyGroup kDb2ServerNames {"Server", "Hostname", "Data Source"};

// A port given after the server's name and in Port too: the two are read in turn, the later
// one winning, so the question could show one while the other connects.
QString PortTwiceMessage(const QString& sourceName)
{
    return RefusalMessage(
        sourceName, QStringLiteral("连接字符串把端口指定了两次：服务器名之后一次，“Port”中一次"), kOnceAdvice);
}

AdoRoute PortTwice(const QString& sourceName)
{
    AdoRoute route = Unavailable(PortTwiceMessage(sourceName));
    route.refused = true;
    return route;
}

// SQL Server and Sybase speak TDS; FreeTDS is told which dialect by its version.
AdoRoute TdsRoute(const AdoConnectionString& cs, bool sybase, const QString& user, const QString& password,
    const QStringList& drivers, const QString& sourceName)
{
    const QString driver = FindDriver(drivers, {"FreeTDS", "TDS"});
    if (driver.isEmpty())
        return MissingDriver(QStringLiteral("FreeTDS"), {"FreeTDS", "TDS"});
    QString host;
    QString port = cs.Value(kTdsPortNames);
    if (!SplitHostPort(cs.Value(kTdsServerNames), host, port))
        return PortTwice(sourceName);
    if (port.isEmpty())
        port = sybase ? QStringLiteral("5000") : QStringLiteral("1433");
    return OdbcBuilder(sourceName)
        .Add("Driver", driver)
        .Add("Server", host, kServerField)
        .Add("Port", port, QStringLiteral("端口"))
        .Add("Database", cs.Value(kTdsDatabaseNames), kDatabaseField)
        .Add("UID", user, kUserField)
        .Add("PWD", password, kPasswordField)
        .Add("TDS_Version", sybase ? QStringLiteral("5.0") : QStringLiteral("7.4"))
        .Add("ClientCharset", QStringLiteral("UTF-8"))
        .Route();
}

AdoRoute Db2Route(const AdoConnectionString& cs, const QString& user, const QString& password,
    const QStringList& drivers, const QString& sourceName)
{
    const QString driver = FindDriver(drivers, {"DB2"});
    if (driver.isEmpty())
        return MissingDriver(QStringLiteral("DB2"), {"DB2"});
    QString host;
    QString port = cs.Value({"Port"});
    if (!SplitHostPort(cs.Value(kDb2ServerNames), host, port))
        return PortTwice(sourceName);
    return OdbcBuilder(sourceName)
        .Add("Driver", driver)
        .Add("Hostname", host, kServerField)
        .Add("Port", port, QStringLiteral("端口"))
        .Add("Protocol", QStringLiteral("TCPIP"))
        .Add("Database", cs.Value(kTdsDatabaseNames), kDatabaseField)
        .Add("UID", user, kUserField)
        .Add("PWD", password, kPasswordField)
        .Route();
}

// An Oracle data source as the driver's DBQ takes it without quoting. A connect
// descriptor is all "=" and parentheses, so the one the Oracle dialog writes is sent
// in its Easy Connect form, "//host:port/name"; anything else (a net service name or
// an Easy Connect text) goes as it is.
QString OracleDatabase(const QString& dataSource)
{
    const QString text = dataSource.simplified();
    if (!text.startsWith(u'('))
        return text;
    const auto part = [&](const char* key) {
        const QRegularExpression pattern(QStringLiteral("\\(\\s*%1\\s*=\\s*([^()]*?)\\s*\\)").arg(QLatin1String(key)),
            QRegularExpression::CaseInsensitiveOption);
        return pattern.match(text).captured(1);
    };
    QString name = part("SERVICE_NAME");
    if (name.isEmpty())
        name = part("SID");
    const QString host = part("HOST");
    const QString port = part("PORT");
    if (host.isEmpty() || name.isEmpty())
        return text;
    return QStringLiteral("//") + host + (port.isEmpty() ? QString() : u':' + port) + u'/' + name;
}

AdoRoute OracleRoute(const AdoConnectionString& cs, const QString& user, const QString& password,
    const QStringList& drivers, const QString& sourceName)
{
    const QString driver = FindDriver(drivers, {"Oracle"});
    if (driver.isEmpty())
        return MissingDriver(QStringLiteral("Oracle"), {"Oracle"});
    return OdbcBuilder(sourceName)
        .Add("Driver", driver)
        .Add("DBQ", OracleDatabase(cs.Value({"Data Source"})), QStringLiteral("数据源"))
        .Add("UID", user, kUserField)
        .Add("PWD", password, kPasswordField)
        .Route();
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
        return Unavailable(QStringLiteral("连接字符串没有指定文件（Data Source）"));
    return route;
}

// The key of one ";"-separated piece of an ODBC string, as CheckOdbcString splits it.
QString PieceKey(const QString& piece)
{
    return piece.left(piece.indexOf(u'=')).trimmed();
}

// An ODBC string with the user and password given beside it in place of its own;
// an empty one leaves the string's own as it is. The rest of the string is checked
// when it is connected; the values given beside it here.
AdoRoute WithLogin(const QString& odbc, const QString& user, const QString& password, const QString& sourceName)
{
    OdbcBuilder builder(sourceName);
    if (user.isEmpty() && password.isEmpty())
        return builder.AddChecked(odbc).Route();
    QStringList kept;
    for (const QString& piece : odbc.split(u';', Qt::SkipEmptyParts)) {
        const QString key = PieceKey(piece);
        const bool replaced = (!user.isEmpty() && IsUserKey(key)) || (!password.isEmpty() && IsPasswordKey(key));
        if (!replaced && !piece.trimmed().isEmpty())
            kept.append(piece);
    }
    return builder.AddChecked(kept.join(u';'))
        .Add("UID", user, kUserField)
        .Add("PWD", password, kPasswordField)
        .Route();
}

// The database an ODBC string names (Database or DB), as CheckOdbcString reads it.
std::optional<QString> InnerDatabase(const QString& odbc)
{
    std::optional<QString> database;
    for (const QString& piece : odbc.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = piece.indexOf(u'=');
        if (equals >= 0 && KeyIs(piece.left(equals), {"Database", "DB"}))
            database = Unbraced(QStringView(piece).sliced(equals + 1)).toString();
    }
    return database;
}

// The ODBC part of an MSDASQL string: what is left without the provider and ADO's own
// properties (which ADO's connection dialog writes and the provider keeps to itself),
// or its extended properties when the string keeps it there. The provider's names for
// the data source and the database become ODBC's; the user and password, ADO's keys or
// ODBC's, go to the driver under ODBC's.
AdoRoute MsdasqlRoute(
    const AdoConnectionString& cs, const QString& user, const QString& password, const QString& sourceName)
{
    const QString extended = cs.Value({"Extended Properties"});
    // ADO's quotes are gone from these values; each must now stand unquoted.
    OdbcBuilder builder(sourceName);
    if (!extended.isEmpty()) {
        // The provider reads Initial Catalog, which a Data Link dialog writes beside the extended
        // properties, as the driver's database.
        const QString catalog = cs.Value({"Initial Catalog"});
        const std::optional<QString> inner = InnerDatabase(extended);
        if (!catalog.isEmpty() && inner && *inner != catalog) {
            AdoRoute refused = Unavailable(RefusalMessage(sourceName,
                QStringLiteral("连接字符串中“Initial Catalog”指定的数据库与“Extended Properties”中指定的数据库不同"),
                kOnceAdvice));
            refused.refused = true;
            return refused;
        }
        if (catalog.isEmpty() || inner)
            return WithLogin(extended, user, password, sourceName);
        builder.Add("Database", catalog, QStringLiteral("Initial Catalog")).AddChecked(extended);
    } else {
        for (const auto& [key, value] : cs.Items()) {
            if (KeyIs(key, {"Provider", "Persist Security Info", "Mode", "Connect Timeout", "General Timeout",
                    "Prompt", "OLE DB Services", "Locale Identifier", "Window Handle"})
                || IsUserKey(key) || IsPasswordKey(key))
                continue;
            if (KeyIs(key, {"Data Source"}))
                builder.Add("DSN", value, key);
            else if (KeyIs(key, {"Initial Catalog"}))
                builder.Add("Database", value, key);
            else
                builder.Add(key, value);
        }
    }
    const AdoRoute rest = builder.Route();
    if (rest.kind != AdoRoute::Odbc)
        return rest;
    return WithLogin(rest.odbc, user, password, sourceName);
}

} // namespace

AdoConnectionString::AdoConnectionString(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype equals = text.indexOf(u'=', i);
        // A segment without "=" (such as "Excel 8.0" in extended properties) is a
        // bare word, not the start of a key.
        const qsizetype semicolon = text.indexOf(u';', i);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            const QString bare = text.mid(i, (semicolon < 0 ? n : semicolon) - i).trimmed();
            if (!bare.isEmpty())
                m_bare.append({bare, !m_items.isEmpty() && IsPasswordKey(m_items.back().first)});
            if (semicolon < 0)
                break;
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
            if (SameName(item.first, QLatin1String(key)))
                return item.second;
        }
    }
    return {};
}

bool AdoConnectionString::Has(const char* key) const
{
    for (const auto& item : m_items) {
        if (SameName(item.first, QLatin1String(key)))
            return true;
    }
    return false;
}

namespace {

// The keys a connection string may hold, spelled as they are sent; every other key is
// refused, since each driver has its own (file names, libraries, logs) and new ones
// come with new driver versions. Letter case does not count.
struct OdbcKey
{
    const char* name;
    const char* values; // when set, the pattern every value of the key must match whole
    bool mysqlOnly = false; // read by the program's own MariaDB client alone, never sent
    bool postgresOnly = false; // sent to the PostgreSQL drivers alone
};
constexpr OdbcKey kOdbcKeys[] = {
    // Resolved below to a driver registered with unixODBC, never a library's path.
    {"Driver", nullptr},
    // A data source registered with unixODBC; its own options stay in odbc.ini.
    {"DSN", nullptr},
    // Where the server listens: host names and ports for FreeTDS, PostgreSQL, MariaDB.
    {"Server", nullptr},
    {"Port", "[0-9]+"}, // and between 1 and 65535 (IsDbPort)
    // DB2's names for the host and its only network protocol.
    {"Hostname", nullptr},
    {"Protocol", "TCPIP"},
    // The database by name; for the SQLite driver its file, which must exist.
    {"Database", nullptr},
    // Oracle's net service name or Easy Connect text.
    {"DBQ", nullptr},
    // The login, which drivers pass to their servers and keep nowhere.
    {"UID", nullptr},
    {"PWD", nullptr},
    // FreeTDS: the protocol version (or its own choice of it) and the client's character
    // set (UTF-8 alone, since a character set's name picks a conversion module to load).
    {"TDS_Version", "[0-9]{1,2}\\.[0-9]{1,2}|auto"},
    {"ClientCharset", "UTF-8"},
    // MariaDB: the connection's character set, of the two that hold every character.
    {"Charset", "utf8|utf8mb4"},
    // PostgreSQL: whether TLS is used; certificates come from the user's own files.
    {"SSLMode", "disable|allow|prefer|require|verify-ca|verify-full"},
    // SQLite: rows stepped one by one; kept for labels that set it (SQLite files are
    // read by the program itself).
    {"StepAPI", "[01]"},
    // PostgreSQL's logs, which a driver's registration may switch on: only off.
    {"CommLog", "0"},
    {"Debug", "0"},
    // psqlODBC: refuse writes in the driver too (the session is read-only besides).
    {"ReadOnly", "[01]", false, true},
    // MariaDB's option bits, which many of its strings carry ("Option=3"): the program's
    // own client, which reaches those servers, has no use for them.
    {"Option", "[0-9]{1,10}", true},
};

const OdbcKey* KeyNamed(const QString& key)
{
    for (const OdbcKey& accepted : kOdbcKeys) {
        if (SameName(key, QLatin1String(accepted.name)))
            return &accepted;
    }
    return nullptr;
}

// The accepted spelling of a key, null when the key is not accepted; the keys under
// which ADO strings and the drivers' own entries carry the login, the server
// (psqlODBC's Servername) and the database (MariaDB's DB) count as the keys they name.
const OdbcKey* AcceptedKey(const QString& key)
{
    if (IsUserKey(key) || KeyIs(key, {"Username"}))
        return KeyNamed(QStringLiteral("UID"));
    if (IsPasswordKey(key))
        return KeyNamed(QStringLiteral("PWD"));
    if (KeyIs(key, {"Servername"}))
        return KeyNamed(QStringLiteral("Server"));
    if (KeyIs(key, {"DB"}))
        return KeyNamed(QStringLiteral("Database"));
    return KeyNamed(key);
}

// A value written wholly in braces, as driver names with blanks usually are, is what
// is inside them.
QStringView Unbraced(QStringView value)
{
    if (value.size() >= 2 && value.front() == u'{' && value.back() == u'}')
        return value.sliced(1, value.size() - 2);
    return value;
}

QString Shown(const QString& text)
{
    constexpr qsizetype kLongest = 100;
    return text.size() > kLongest ? text.left(kLongest) + u'…' : text;
}

bool IsAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

const OdbcRegistry::Driver* FindRegistered(const OdbcRegistry& registry, const QString& name)
{
    for (const OdbcRegistry::Driver& driver : registry.drivers) {
        if (SameName(driver.name, name))
            return &driver;
    }
    return nullptr;
}

const OdbcRegistry::Source* FindSource(const OdbcRegistry& registry, const QString& name)
{
    for (const OdbcRegistry::Source& source : registry.dataSources) {
        if (SameName(source.name, name))
            return &source;
    }
    return nullptr;
}

// The file name of the library of the driver named, or of the one behind the data
// source named; the drivers that must not be given a string are known by it.
QString DriverLibrary(const OdbcRegistry& registry, const QString& driver, const QString& dataSource)
{
    QString name = driver;
    if (name.isEmpty()) {
        const OdbcRegistry::Source* source = FindSource(registry, dataSource);
        name = source ? source->driver : QString();
    }
    const OdbcRegistry::Driver* registered = FindRegistered(registry, name);
    return QFileInfo(registered ? registered->library : name).fileName();
}

bool IsSQLiteLibrary(const QString& library)
{
    return library.contains(QLatin1String("sqlite"), Qt::CaseInsensitive);
}

bool IsPostgreSQLLibrary(const QString& library)
{
    return library.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive);
}

bool IsMySQLLibrary(const QString& library)
{
    return library.contains(QLatin1String("maodbc"), Qt::CaseInsensitive)
        || library.contains(QLatin1String("myodbc"), Qt::CaseInsensitive);
}

bool IsFreeTdsLibrary(const QString& library)
{
    return library.contains(QLatin1String("tdsodbc"), Qt::CaseInsensitive);
}

// A server's name as FreeTDS's driver reads it: a named instance after the first "\", else a
// port after the first ",", when that reads as a number above 0 (the rest is then the host).
struct TdsServerName
{
    QString host;
    qint64 port = 0;
    QString instance;
};

TdsServerName ReadTdsServerName(const QString& server)
{
    TdsServerName name;
    name.host = server;
    const qsizetype slash = server.indexOf(u'\\');
    const qsizetype comma = server.indexOf(u',');
    if (slash >= 0) {
        name.host = server.left(slash);
        name.instance = server.mid(slash + 1);
    } else if (comma >= 0 && FreeTdsNumber(server.mid(comma + 1)) > 0) {
        name.host = server.left(comma);
        name.port = FreeTdsNumber(server.mid(comma + 1));
    }
    return name;
}

// What a port row shows for a named instance: the server's browser service tells the port.
QString InstancePort(const QString& instance)
{
    return QStringLiteral("（由服务器按实例“%1”告知）").arg(instance);
}

// Where FreeTDS's driver connects for a string whose Server and Port are given: the string's
// Server, or else the data source's registration (its Servername, a server of freetds.conf;
// else its Address, or its Server); then the registration's Port and the string's, each
// read over the one before, where it reads as a number other than 0.
struct TdsReach
{
    DbReach::Resolved host;
    DbReach::Resolved port;
    qint64 portNumber = 0; // the port's number, 0 for an instance's or none
    // The string gives a Port while the server's name it reads carries one too.
    bool portTwice = false;
};

TdsReach ReadTdsReach(const QString& server, const QString& port, const OdbcRegistry::Source* source)
{
    TdsReach reach;
    const QString registration
        = source ? QStringLiteral("，来自数据源“%1”在 unixODBC 中的注册").arg(source->name) : QString();
    const auto registered = [&](const char* key) {
        if (source) {
            for (const auto& [name, value] : source->settings) {
                if (SameName(name, QLatin1String(key)))
                    return value;
            }
        }
        return QString();
    };
    // A server's name, where key says which and from, gives the host and perhaps the port.
    const auto named = [&](const QString& text, const QString& key, const QString& from) {
        const TdsServerName name = ReadTdsServerName(text);
        reach.host = {QStringLiteral("Server"), name.host, key + from};
        if (name.port > 0) {
            reach.port = {QStringLiteral("Port"), QString::number(name.port),
                QStringLiteral("写在%1的服务器名之后%2").arg(key, from)};
            reach.portNumber = name.port;
        } else if (!name.instance.isEmpty()) {
            reach.port = {QStringLiteral("Port"), InstancePort(name.instance), QStringLiteral("%1中的实例名%2").arg(key, from)};
        }
        return name.port > 0;
    };
    bool portInName = false;
    if (!server.isEmpty()) {
        portInName = named(server, QStringLiteral("“Server”"), QString());
    } else if (const QString alias = registered("Servername"); !alias.isEmpty()) {
        const FreeTdsServer conf = ReadFreeTdsServer(alias);
        const auto from = [](const char* key, const FreeTdsServer::Value& value) {
            return QStringLiteral("%1，来自 %2").arg(QLatin1String(key), value.from);
        };
        if (!conf.host.value.isEmpty())
            reach.host = {QStringLiteral("Server"), conf.host.value, from("host", conf.host)};
        if (!conf.port.value.isEmpty()) {
            reach.port = {QStringLiteral("Port"), conf.port.value, from("port", conf.port)};
            reach.portNumber = FreeTdsNumber(conf.port.value);
        } else if (!conf.instance.value.isEmpty())
            reach.port = {QStringLiteral("Port"), InstancePort(conf.instance.value), from("instance", conf.instance)};
    } else if (const QString address = registered("Address"); !address.isEmpty()) {
        reach.host = {QStringLiteral("Server"), address, QStringLiteral("Address") + registration};
    } else if (const QString name = registered("Server"); !name.isEmpty()) {
        portInName = named(name, QStringLiteral("Server"), registration);
    }
    if (const qint64 number = FreeTdsNumber(registered("Port")); number != 0) {
        reach.port = {QStringLiteral("Port"), QString::number(number), QStringLiteral("Port") + registration};
        reach.portNumber = number;
    }
    if (!port.isEmpty()) {
        reach.portTwice = portInName;
        reach.port = {QStringLiteral("Port"), port, QStringLiteral("Port")};
        reach.portNumber = FreeTdsNumber(port);
    }
    return reach;
}

// A pair as it will be sent: the accepted key and the value. A pair that follows a
// password is hidden: it may be the rest of a password cut at a ";", so a message names
// its key alone, and says what that would mean.
struct CheckedPair
{
    const OdbcKey* key;
    QString value;
    bool hidden;
    QString spelled; // the key as the string wrote it
};

} // namespace

OdbcRequest CheckOdbcString(const QString& connectionString, const QString& sourceName, const OdbcRegistry& registry)
{
    const auto refuse = [&](const QString& what, const QString& advice) {
        OdbcRequest refused;
        refused.refusal = RefusalMessage(sourceName, QStringLiteral("连接字符串") + what, advice);
        return refused;
    };
    // A pair after a password may be the password's rest: its refusal names the key alone
    // and says so. A piece without "=" names nothing, as it is no key.
    const auto advice = [](const QString& text, bool hidden) {
        return hidden ? text
                + QStringLiteral("这一项在密码之后：如果它是密码中“;”之后的部分，请改用不含 {、}、;、= 或控制字符的密码，"
                                 "或把密码写入用 odbcinst 在 unixODBC 中注册的数据源。")
                      : text;
    };
    // A name as a message may show it: not when it follows a password.
    const auto named = [](const QString& name, bool hidden) {
        return hidden ? QString() : QStringLiteral("“%1”").arg(Shown(name));
    };
    if (connectionString.toUtf8().size() > kLongestString)
        return refuse(QStringLiteral("过长"), kTooLongAdvice);
    // Typed with a Chinese input method, these look like the separators they are not.
    for (const QChar wide : {QChar(0xFF1B), QChar(0xFF1D)}) {
        if (connectionString.contains(wide)) {
            return refuse(QStringLiteral("含有全角字符“%1”").arg(wide),
                QStringLiteral("本程序只把半角的“;”和“=”读作分隔符，请改用半角字符。"));
        }
    }
    QList<CheckedPair> pairs; // one per key
    bool afterPassword = false;
    for (QStringView piece : QStringView(connectionString).split(u';')) {
        if (piece.trimmed().isEmpty())
            continue;
        const qsizetype equals = piece.indexOf(u'=');
        const QString keyText = (equals < 0 ? piece : piece.first(equals)).trimmed().toString();
        const OdbcKey* key = AcceptedKey(keyText);
        const bool hidden = afterPassword;
        afterPassword = afterPassword || key == KeyNamed(QStringLiteral("PWD"));
        const QString value = equals < 0 ? QString() : Unbraced(piece.sliced(equals + 1)).toString();
        const bool password = key == KeyNamed(QStringLiteral("PWD"));
        const bool unacceptable = key && key->values
            && !QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(key->values)),
                QRegularExpression::CaseInsensitiveOption)
                    .match(value)
                    .hasMatch();
        const bool tooLong = value.toUtf8().size() > kLongestValue;
        if (hidden && equals < 0)
            return refuse(QStringLiteral("在密码之后含有不接受的内容"), kPasswordAdvice);
        if (!key) {
            return refuse(QStringLiteral("含有不接受的关键字“%1”").arg(Shown(keyText)),
                advice(QStringLiteral("连接字符串只接受驱动程序、数据源名、服务器、端口、数据库、用户名、密码和少数几个"
                                      "字符集、协议与只读选项；其他选项请写入用 odbcinst 在 unixODBC 中注册的数据源，"
                                      "标签再以 DSN 指定该数据源。"),
                    hidden));
        }
        // Read as a key with no value by some, skipped by others: the driver would take its
        // default database or server where a reader sees the one named.
        if (equals < 0)
            return refuse(QStringLiteral("中的“%1”没有“=”").arg(Shown(keyText)), kOnceAdvice);
        if (NeedsQuoting(value)) {
            return refuse(QStringLiteral("中") + QuotingFault(keyText),
                password ? kPasswordAdvice : advice(kQuotingAdvice, hidden));
        }
        // A provider's string reads a quoted value to its closing quote, past any ";",
        // where the driver manager ends it at the first: the two would see other keys.
        if (value.startsWith(u'"') || value.startsWith(u'\'')) {
            return refuse(QStringLiteral("中“%1”的值以引号开头").arg(keyText),
                password ? kPasswordAdvice : advice(kQuotingAdvice, hidden));
        }
        if (unacceptable) {
            return refuse(QStringLiteral("中“%1”的值不是可接受的值").arg(keyText),
                advice(QStringLiteral("其他设置请写入用 odbcinst 在 unixODBC 中注册的数据源。"), hidden));
        }
        if (tooLong)
            return refuse(QStringLiteral("中“%1”的值过长").arg(keyText), advice(kTooLongAdvice, hidden));
        // The driver manager takes the last of a key given twice, some drivers the first,
        // and each driver has its own names for one key.
        const auto same = std::find_if(pairs.begin(), pairs.end(), [&](const auto& pair) { return pair.key == key; });
        if (same != pairs.end()) {
            return refuse(SameName(same->spelled, keyText)
                    ? QStringLiteral("中“%1”出现了不止一次").arg(keyText)
                    : QStringLiteral("中的“%1”和“%2”指定的是同一项").arg(same->spelled, keyText),
                advice(kOnceAdvice, hidden));
        }
        pairs.append({key, value, hidden, keyText});
    }

    const auto pairOf = [&](const char* name) -> const CheckedPair* {
        for (const CheckedPair& pair : pairs) {
            if (pair.key == KeyNamed(QLatin1String(name)))
                return &pair;
        }
        return nullptr;
    };
    const auto valueOf = [&](const char* name) {
        const CheckedPair* pair = pairOf(name);
        return pair ? pair->value : QString();
    };
    const QString driver = valueOf("Driver");
    const QString dataSource = valueOf("DSN");
    const bool driverHidden = pairOf("Driver") && pairOf("Driver")->hidden;
    const bool sourceHidden = pairOf("DSN") && pairOf("DSN")->hidden;
    // The driver manager takes whichever of the two comes first, and an empty one as
    // its default data source: the driver checked must be the driver loaded.
    for (const char* name : {"Driver", "DSN"}) {
        if (pairOf(name) && pairOf(name)->value.isEmpty())
            return refuse(QStringLiteral("中“%1”的值为空").arg(QLatin1String(name)), kRegisteredAdvice);
    }
    if (!driver.isEmpty() && !dataSource.isEmpty())
        return refuse(QStringLiteral("同时指定了驱动程序（Driver）和数据源名（DSN）"), kRegisteredAdvice);
    if (driver.contains(u'/')) {
        // Named by the name it is registered under, if any: a path is a value like any other.
        QString registered;
        for (const OdbcRegistry::Driver& entry : registry.drivers) {
            if (entry.library == driver)
                registered = QStringLiteral("（已注册为“%1”）").arg(entry.name);
        }
        return refuse(QStringLiteral("以路径指定驱动程序库") + (driverHidden ? QString() : registered),
            kRegisteredAdvice);
    }
    if (!driver.isEmpty() && !FindRegistered(registry, driver)) {
        return refuse(QStringLiteral("指定的驱动程序%1未在 unixODBC 中注册").arg(named(driver, driverHidden)),
            kRegisteredAdvice + QStringLiteral("用 odbcinst -q -d 可列出已注册的驱动程序。"));
    }
    if (!dataSource.isEmpty() && !FindSource(registry, dataSource)) {
        return refuse(QStringLiteral("指定的数据源名%1未在 unixODBC 中注册").arg(named(dataSource, sourceHidden)),
            kRegisteredAdvice + QStringLiteral("用 odbcinst -q -s 可列出已注册的数据源。"));
    }
    if (driver.isEmpty() && dataSource.isEmpty())
        return refuse(QStringLiteral("没有指定驱动程序（Driver）或数据源名（DSN）"), kRegisteredAdvice);
    // The manager looks these names up as the low bytes of their characters.
    if (!IsAscii(driver) || !IsAscii(dataSource)) {
        return refuse(QStringLiteral("中的驱动程序名或数据源名含有非 ASCII 字符"),
            QStringLiteral("unixODBC 只按 ASCII 字符查找驱动程序和数据源，请以只含 ASCII 字符的名称注册并指定。"));
    }
    const OdbcRegistry::Source* source = dataSource.isEmpty() ? nullptr : FindSource(registry, dataSource);
    // For the sources the program reaches itself, a data source's own settings stand
    // where the string does not give them, as the driver would read them.
    const auto setting = [&](const char* name) {
        const CheckedPair* pair = pairOf(name);
        if (pair || !source)
            return pair ? pair->value : QString();
        for (const auto& [key, value] : source->settings) {
            if (AcceptedKey(key) == KeyNamed(QLatin1String(name)))
                return value;
        }
        return QString();
    };
    const QString library = DriverLibrary(registry, driver, dataSource);
    if (IsSQLiteLibrary(library)) {
        // The SQLite driver lets statements load libraries and write files, and creates
        // any database it is pointed at: the program reads the file itself, read-only.
        const QString database = setting("Database");
        if (database.isEmpty()) {
            return refuse(QStringLiteral("没有指定 SQLite 数据库文件"),
                QStringLiteral("请在 Database 中（或在数据源的注册中）指定一个已有的数据库文件。"));
        }
        const QFileInfo file(database);
        if (!file.isFile()) {
            return refuse(QStringLiteral("中的 SQLite 数据库“%1”不是已有的文件").arg(database),
                QStringLiteral("请在 Database 中指定一个已有的数据库文件。"));
        }
        OdbcRequest request;
        request.sqliteFile = file.canonicalFilePath();
        return request;
    }
    if (library.contains(QLatin1String("mdb"), Qt::CaseInsensitive)) {
        // The Access driver finds its file by the letters "DBQ" anywhere in the string
        // and waits forever on a pipe or a device: the program reads the file itself.
        QString database = valueOf("DBQ");
        if (database.isEmpty())
            database = valueOf("Database");
        const QFileInfo file(database);
        if (database.isEmpty() || !file.isFile()) {
            return refuse(QStringLiteral("中的 Access 数据库“%1”不是已有的文件").arg(database),
                QStringLiteral("请在 DBQ 中指定一个已有的数据库文件。"));
        }
        OdbcRequest request;
        request.accessFile = file.canonicalFilePath();
        request.accessPassword = valueOf("PWD");
        return request;
    }
    // A port outside 1 to 65535 connects elsewhere than it reads (DbPortFault), and FreeTDS
    // passes over a Port of 0 for the one it read before. The string's, the data source's
    // registration's, and for FreeTDS each it reads besides; Oracle's in its Easy Connect text.
    const auto refusePort = [&](const QString& port, const QString& where) {
        OdbcRequest refused;
        refused.refusal = RefusalMessage(sourceName, DbPortFault(port) + QStringLiteral("（%1）").arg(where), DbPortAdvice());
        return refused;
    };
    if (const CheckedPair* pair = pairOf("Port"); pair && !IsDbPort(pair->value.toLongLong())) {
        return refuse(pair->hidden ? QStringLiteral("中“Port”的值不在 1 到 65535 之间")
                                   : QStringLiteral("中的") + DbPortFault(pair->value),
            advice(DbPortAdvice(), pair->hidden));
    }
    const QString port = setting("Port").trimmed();
    if (!IsFreeTdsLibrary(library) && !port.isEmpty() && !IsDbPort(port.toLongLong()))
        return refusePort(port, QStringLiteral("Port，来自数据源“%1”在 unixODBC 中的注册").arg(dataSource));
    static const QRegularExpression easyConnect(QStringLiteral("^\\s*(?://)?(?:\\[[^\\]]*\\]|[^/:\\[]+):([0-9]+)\\s*(?:/|$)"));
    if (const auto match = easyConnect.match(setting("DBQ")); match.hasMatch() && !IsDbPort(match.captured(1).toLongLong()))
        return refusePort(match.captured(1), QStringLiteral("DBQ"));
    if (IsMySQLLibrary(library)) {
        // The MariaDB and MySQL drivers let a statement send any file of the user's to
        // the server ("load data local infile") and cannot be told not to: the program
        // connects with its own client, which is, to the server the string or the data
        // source names. Values go to that client as they are, unquoted; no port is none given
        // (the local host's socket, else 3306), as the drivers read it.
        OdbcRequest request;
        request.mysqlServer = DbServerSettings {
            setting("Server"), port.toInt(), setting("Database"), setting("UID"), setting("PWD")};
        return request;
    }
    if (IsFreeTdsLibrary(library)) {
        const TdsReach tds = ReadTdsReach(valueOf("Server"), valueOf("Port"), source);
        if (tds.portTwice) {
            OdbcRequest refused;
            refused.refusal = PortTwiceMessage(sourceName);
            return refused;
        }
        if (tds.portNumber != 0 && !IsDbPort(tds.portNumber))
            return refusePort(tds.port.value, tds.port.how);
    }

    OdbcRequest request;
    for (const CheckedPair& pair : pairs) {
        if (pair.key->mysqlOnly) {
            return refuse(QStringLiteral("含有不接受的关键字“%1”").arg(QLatin1String(pair.key->name)),
                advice(QStringLiteral("只有 MariaDB/MySQL 的连接字符串接受这个选项。"), pair.hidden));
        }
        if (pair.key->postgresOnly && !IsPostgreSQLLibrary(library)) {
            return refuse(QStringLiteral("含有不接受的关键字“%1”").arg(QLatin1String(pair.key->name)),
                advice(QStringLiteral("只有 PostgreSQL 驱动程序的连接字符串接受这个选项。"), pair.hidden));
        }
        // A driver goes by the name it was registered under, as the manager finds it.
        const QString sent
            = pair.key == KeyNamed(QStringLiteral("Driver")) ? FindRegistered(registry, driver)->name : pair.value;
        if (ManagerMisreads(sent)) {
            return refuse(QStringLiteral("中") + MisreadFault(QLatin1String(pair.key->name)),
                pair.key == KeyNamed(QStringLiteral("PWD")) ? kMisreadAdvice : advice(kMisreadAdvice, pair.hidden));
        }
        request.text += QLatin1String(pair.key->name) + u'=' + sent + u';';
    }
    return request;
}

AdoRoute RouteAdo(const QString& connectionString, const QString& userId, const QString& password,
    const QStringList& drivers, const QString& sourceName)
{
    const AdoConnectionString cs(connectionString);
    if (!cs.Has("Provider")) // ODBC's own form, as ADO itself would take it
        return WithLogin(connectionString, userId, password, sourceName);
    const QString provider = cs.Value({"Provider"}).trimmed();
    const QString user = userId.isEmpty() ? cs.Value(kUserNames) : userId;
    const QString pwd = password.isEmpty() ? cs.Value(kPasswordNames) : password;
    // A server's string is refused when it could be read two ways (see AmbiguousPiece).
    const auto unambiguous = [&](std::initializer_list<KeyGroup> groups, auto route) {
        const QString piece = AmbiguousPiece(cs, groups);
        if (piece.isEmpty())
            return route();
        AdoRoute refused = Unavailable(RefusalMessage(sourceName, QStringLiteral("连接字符串") + piece, kOnceAdvice));
        refused.refused = true;
        return refused;
    };
    const bool sybase = StartsWith(provider, {"Sybase.ASEOLEDBProvider", "ASEOLEDB"});
    if (sybase || StartsWith(provider, {"SQLOLEDB", "SQLNCLI", "MSOLEDBSQL"})) {
        return unambiguous({{"Provider"}, kTdsServerNames, kTdsPortNames, kTdsDatabaseNames, kUserNames, kPasswordNames},
            [&] { return TdsRoute(cs, sybase, user, pwd, drivers, sourceName); });
    }
    if (StartsWith(provider, {"IBMDADB2", "DB2OLEDB"})) {
        return unambiguous({{"Provider"}, kDb2ServerNames, {"Port"}, kTdsDatabaseNames, kUserNames, kPasswordNames},
            [&] { return Db2Route(cs, user, pwd, drivers, sourceName); });
    }
    if (StartsWith(provider, {"OraOLEDB", "MSDAORA"})) {
        return unambiguous({{"Provider"}, {"Data Source"}, kUserNames, kPasswordNames},
            [&] { return OracleRoute(cs, user, pwd, drivers, sourceName); });
    }
    if (StartsWith(provider, {"Microsoft.Jet.OLEDB", "Microsoft.ACE.OLEDB"}))
        return FileRoute(cs, password);
    if (StartsWith(provider, {"MSDASQL"})) {
        // Extended properties stand for the whole ODBC string: nothing beside them but the login
        // and the database. A key written both beside and inside them is given twice.
        const auto route = [&] { return MsdasqlRoute(cs, user, pwd, sourceName); };
        if (cs.Has("Extended Properties")) {
            const AdoConnectionString inner(cs.Value({"Extended Properties"}));
            for (const auto& pair : cs.Items()) {
                const QString& key = pair.first;
                const OdbcKey* accepted = AcceptedKey(key);
                const bool within = std::any_of(inner.Items().begin(), inner.Items().end(), [&](const auto& item) {
                    return SameName(item.first.trimmed(), key.trimmed()) || (accepted && AcceptedKey(item.first) == accepted);
                });
                if (within && !IsUserKey(key) && !IsPasswordKey(key) && !KeyIs(key, {"Initial Catalog"})) {
                    AdoRoute refused = Unavailable(RefusalMessage(sourceName,
                        QStringLiteral("连接字符串中的“%1”指定了两次：“Extended Properties”之内一次，之外一次").arg(Shown(key.trimmed())),
                        kOnceAdvice));
                    refused.refused = true;
                    return refused;
                }
            }
            return unambiguous(
                {{"Provider"}, {"Extended Properties"}, {"Initial Catalog"}, kUserNames, kPasswordNames}, route);
        }
        return unambiguous({{"Provider"}, {"Data Source", "DSN"}, {"Initial Catalog", "Database", "DB"},
                               {"Server", "Servername"}, {"Port"}, {"Driver"}, {"DBQ"}, {"Hostname"},
                               {"User ID", "UID", "User", "Username"}, kPasswordNames},
            route);
    }
    return Unavailable(QStringLiteral("本系统没有提供程序“%1”").arg(provider));
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
        reach.sent.append({key, IsPasswordKey(key) ? QString() : value});
        if (SameName(key, QStringLiteral("Driver")))
            driver = value;
        else if (SameName(key, QStringLiteral("DSN")))
            dataSource = value;
    }
    if (const OdbcRegistry::Source* source = dataSource.isEmpty() ? nullptr : FindSource(registry, dataSource)) {
        for (const auto& [key, value] : source->settings) {
            if (!IsPasswordKey(key))
                reach.defaults.append({key, value});
        }
        reach.defaults.append({QStringLiteral("Driver"), source->driver});
        reach.defaultsFrom = QStringLiteral("数据源“%1”在 unixODBC 中的注册").arg(source->name);
    }
    // FreeTDS reaches SQL Server and Sybase alike: its server stays unknown, as any other driver's.
    const QString library = DriverLibrary(registry, driver, dataSource);
    if (IsFreeTdsLibrary(library)) {
        const auto sentAs = [&](const QString& key) {
            for (const auto& [name, value] : reach.sent) {
                if (name == key)
                    return value;
            }
            return QString();
        };
        const TdsReach tds = ReadTdsReach(sentAs(QStringLiteral("Server")), sentAs(QStringLiteral("Port")),
            dataSource.isEmpty() ? nullptr : FindSource(registry, dataSource));
        for (const DbReach::Resolved& resolved : {tds.host, tds.port}) {
            if (!resolved.value.isEmpty() && resolved.value != sentAs(resolved.key))
                reach.resolved.append(resolved);
        }
    }
    reach.server = IsPostgreSQLLibrary(library) ? SqlServerKind::PostgreSQL : SqlServerKind::Unknown;
    return reach;
}

std::unique_ptr<DbConnection> DbConnection::OpenAdo(
    const QString& connectionString, const QString& userId, const QString& password, const QString& sourceName)
{
    // The route is chosen on the worker too: every factory it leads to then opens there.
    return OpenOnWorker(sourceName, [=]() -> std::unique_ptr<DbConnection> {
        const AdoRoute route = RouteAdo(connectionString, userId, password, InstalledOdbcDrivers(), sourceName);
        switch (route.kind) {
        case AdoRoute::Odbc: return OpenOdbc(route.odbc, sourceName);
        case AdoRoute::Excel: return OpenExcel(route.path, route.headerRow);
        case AdoRoute::Access: return OpenAccess(route.path, route.password);
        case AdoRoute::Unavailable: break;
        }
        return DbConnection::Unavailable(route.error, route.refused);
    });
}
