#pragma once

#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include "SQLiteFile.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtGlobal>
#include <clocale>
#include <gtest/gtest.h>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Settings of the throwaway servers that scripts/dbservers.sh starts and describes
// in its env file (VC_PG_* for PostgreSQL, VC_MY_* for MariaDB).
inline std::optional<DbServerSettings> TestServerSettings(const char* prefix)
{
    const auto name = [prefix](const char* key) { return QByteArray(prefix).append(key); };
    if (!qEnvironmentVariableIsSet(name("_PORT").constData()))
        return std::nullopt;
    DbServerSettings s;
    s.host = qEnvironmentVariable(name("_HOST").constData());
    s.port = qEnvironmentVariableIntValue(name("_PORT").constData());
    s.database = qEnvironmentVariable(name("_DATABASE").constData());
    s.user = qEnvironmentVariable(name("_USER").constData());
    s.password = qEnvironmentVariable(name("_PASSWORD").constData());
    return s;
}

// The server's login stored in a description, enciphered as a dialog stores it.
inline void StoreLogin(CHostPortDS& ds, const DbServerSettings& s)
{
    ds.m_strHost = EncryptString(s.host);
    ds.m_nPort = s.port;
    ds.m_strDatabase = EncryptString(s.database);
    ds.m_strUser = EncryptString(s.user);
    ds.m_strPassword = EncryptString(s.password);
}

// The PostgreSQL sessions a test opens while this lives carry name (libpq, and psqlODBC through
// it, take it from the environment, and PgBouncer passes it on), so that what the test looks up
// or ends on the server is its own, never that of a suite beside it on the same login.
struct TestSessionName
{
    explicit TestSessionName(const char* name) { qputenv("PGAPPNAME", name); }
    ~TestSessionName() { qunsetenv("PGAPPNAME"); }
    TestSessionName(const TestSessionName&) = delete;
    TestSessionName& operator=(const TestSessionName&) = delete;
};

// The server's login as an ODBC string of PostgreSQL's or MariaDB's driver, enciphered as the
// dialog stores it.
inline void StoreOdbcLogin(CCustomDS& odbc, const DbServerSettings& s, bool postgres)
{
    const QString text = postgres
        ? QStringLiteral("Driver={PostgreSQL Unicode};Servername=%1;Port=%2;Database=%3;UID=%4;PWD=%5")
        : QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;DB=%3;User=%4;Password=%5;Option=3");
    odbc.m_strConnectionString
        = EncryptString(text.arg(s.host, QString::number(s.port), s.database, s.user, s.password));
}

// A source of the server reached through its native client or its ODBC driver.
inline std::unique_ptr<CDSBase> ServerSource(const DbServerSettings& s, bool postgres, bool odbc)
{
    if (odbc) {
        auto ds = std::make_unique<CCustomDS>();
        StoreOdbcLogin(*ds, s, postgres);
        return ds;
    }
    std::unique_ptr<CHostPortDS> ds;
    if (postgres)
        ds = std::make_unique<CPostgreSQLDS>();
    else
        ds = std::make_unique<CMySQLDS>();
    StoreLogin(*ds, s);
    return ds;
}

// PostgreSQL's login as it reaches the server directly, and through PgBouncer's session pool
// where the pooler runs, each with the route's name.
inline std::vector<std::pair<const char*, DbServerSettings>> DirectAndPooledRoutes(const DbServerSettings& server)
{
    std::vector<std::pair<const char*, DbServerSettings>> routes {{"direct", server}};
    if (const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB")) {
        DbServerSettings through = server;
        through.port = pooler->port;
        routes.emplace_back("PgBouncer", through);
    }
    return routes;
}

// Starts the server's own command-line client on sql, with the client's flags given.
inline void StartTestClient(
    QProcess& client, const DbServerSettings& s, bool postgres, const QStringList& flags, const QString& sql)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    client.setProcessEnvironment(env);
    if (postgres)
        client.start(QStringLiteral("psql"),
            QStringList {"-X"} + flags
                + QStringList {"-h", s.host, "-p", QString::number(s.port), "-U", s.user, "-d", s.database, "-c", sql});
    else
        client.start(QStringLiteral("mariadb"),
            QStringList {"--no-defaults"} + flags
                + QStringList {"-h", s.host, "-P", QString::number(s.port), "-u", s.user, "--password=" + s.password,
                    s.database, "-e", sql});
}

// Runs a statement that writes test data, through the server's own command-line client
// (the program's connections only read). Empty on success, else the client's words.
inline QString WriteOnTestServer(const DbServerSettings& s, bool postgres, const QString& sql)
{
    QProcess client;
    StartTestClient(client, s, postgres, postgres ? QStringList {"-q", "-v", "ON_ERROR_STOP=1"} : QStringList(), sql);
    if (!client.waitForFinished(30000) || client.exitCode() != 0)
        return QString::fromUtf8(client.readAllStandardError()) + client.errorString();
    return {};
}

// What the server's own command-line client prints for a query, trimmed.
inline QString ReadOnTestServer(const DbServerSettings& s, bool postgres, const QString& sql)
{
    QProcess client;
    StartTestClient(client, s, postgres, {postgres ? "-At" : "-N"}, sql);
    client.waitForFinished(30000);
    return QString::fromUtf8(client.readAllStandardOutput()).trimmed();
}

// How many PostgreSQL sessions named name (TestSessionName) still hold a lock of a table or a
// snapshot, as the server says.
inline QString HeldBySessions(const DbServerSettings& s, const char* name)
{
    return ReadOnTestServer(s, true,
        QStringLiteral("select count(*) from pg_stat_activity a where application_name = '%1' and pid <> "
                       "pg_backend_pid() and (backend_xmin is not null or exists (select from pg_locks l where "
                       "l.pid = a.pid and l.relation is not null))")
            .arg(QLatin1String(name)));
}

inline constexpr int kTiedRecords = 2000;

// Tables whose order has ties: <stem>_items, ids 1..2000 on ten dates in no order of theirs,
// and <stem>_twins, 2,000 rows of ten kinds, each kind's rows alike in every column. The
// statement that makes them, with each server's expressions for a row's date, name and tag;
// each suite has its own stem, as suites run side by side.
inline const char* const kTiedTablesSql
    = "drop table if exists %4_items; drop table if exists %4_twins; "
      "create table %4_items (id int primary key, made date, name varchar(20)); "
      "create table %4_twins (made date, tag varchar(10)); "
      "insert into %4_items with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
      "select i, %1, %2 from n; "
      "insert into %4_twins with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
      "select %1, %3 from n;";

inline QString TiedTablesSql(const QString& stem, const QString& made, const QString& name, const QString& tag)
{
    return QString::fromLatin1(kTiedTablesSql).arg(made, name, tag, stem);
}

// The tied tables written on a test server through its own client; empty, or the client's words.
inline QString WriteTiedTables(const DbServerSettings& s, bool postgres, const QString& stem)
{
    if (postgres)
        return WriteOnTestServer(s, true,
            TiedTablesSql(stem, QStringLiteral("date '2026-01-01' + (i * 7 % 10)::int"), QStringLiteral("'item' || i"),
                QStringLiteral("'tag' || (i * 7 % 10)")));
    return WriteOnTestServer(s, false,
        QStringLiteral("set max_recursive_iterations = 100000; ")
            + TiedTablesSql(stem, QStringLiteral("date '2026-01-01' + interval (i * 7 % 10) day"),
            QStringLiteral("concat('item', i)"), QStringLiteral("concat('tag', i * 7 % 10)")));
}

// Other limits (DbWait.h) while the object lives.
class ScopedDbLimits
{
public:
    explicit ScopedDbLimits(const std::function<void(DbLimits&)>& change)
    {
        DbLimits limits = m_saved;
        change(limits);
        SetDbLimits(limits);
    }
    ~ScopedDbLimits() { SetDbLimits(m_saved); }
    ScopedDbLimits(const ScopedDbLimits&) = delete;
    ScopedDbLimits& operator=(const ScopedDbLimits&) = delete;

private:
    DbLimits m_saved = GetDbLimits();
};

// Connects given up after 1.5 s while the object lives, for listeners that never answer: long
// enough for a driver to load and knock on a loaded machine under the sanitizers.
class ShortConnects : public ScopedDbLimits
{
public:
    ShortConnects() : ScopedDbLimits([](DbLimits& limits) { limits.connectMs = 1500; }) {}
};

// Declares `var` with the server settings. Without them the test fails under
// scripts/test.sh (VC_REQUIRE_DB set) and is skipped, loudly, in a plain run.
#define VC_TEST_SERVER(var, prefix)                                                                        \
    const std::optional<DbServerSettings> var##Found = TestServerSettings(prefix);                         \
    if (!var##Found) {                                                                                     \
        if (qEnvironmentVariableIsSet("VC_REQUIRE_DB"))                                                    \
            FAIL() << (prefix) << "_* settings are missing although the database servers are required";    \
        std::fprintf(stderr, "\n*** SKIPPED: no %s_* settings; run scripts/dbservers.sh start and source "  \
                             "its env file to test against the servers ***\n\n", (prefix));                \
        GTEST_SKIP() << "no database server settings";                                                     \
    }                                                                                                      \
    const DbServerSettings var = *var##Found

// A configuration file of the test's own, which a library finds through the environment
// variable named, in place of the user's while the object lives.
class OwnConfigFile
{
public:
    OwnConfigFile(const char* variable, const char* name, const QByteArray& entries)
        : m_variable(variable)
        , m_path(m_dir.filePath(QLatin1String(name)))
        , m_old(qgetenv(variable))
        , m_had(qEnvironmentVariableIsSet(variable))
    {
        Write(entries);
        qputenv(variable, QFile::encodeName(m_path));
    }
    ~OwnConfigFile()
    {
        if (m_had)
            qputenv(m_variable, m_old);
        else
            qunsetenv(m_variable);
    }
    void Write(const QByteArray& entries)
    {
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(entries);
    }

private:
    QTemporaryDir m_dir;
    const char* m_variable;
    QString m_path;
    QByteArray m_old;
    bool m_had;
};

// Data sources registered in an odbc.ini of the test's own, which the driver manager
// reads in place of the user's while the object lives.
class OwnOdbcIni : public OwnConfigFile
{
public:
    explicit OwnOdbcIni(const QByteArray& entries) : OwnConfigFile("ODBCINI", "odbc.ini", entries) {}
};

// A freetds.conf of the test's own, which FreeTDS reads before any other.
class OwnFreeTdsConf : public OwnConfigFile
{
public:
    explicit OwnFreeTdsConf(const QByteArray& entries) : OwnConfigFile("FREETDSCONF", "freetds.conf", entries) {}
};

// The process locale for one test; the locale decides nothing about label data.
class LocaleFor
{
public:
    explicit LocaleFor(const char* name)
        : m_old(std::setlocale(LC_ALL, nullptr))
    {
        std::setlocale(LC_ALL, name);
    }
    ~LocaleFor() { std::setlocale(LC_ALL, m_old.c_str()); }

private:
    std::string m_old;
};

// An SQLite file holding the servers' People table as the ODBC tests read it: 100 rows,
// a Chinese, an accented and an astral city in turn, every tenth note NULL.
inline bool WritePeopleFile(const QString& path)
{
    return WriteSQLiteFile(path,
        "create table People (Id integer, City text, Note text);"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100)"
        " insert into People select i, case i % 3 when 0 then '北京' when 1 then 'Zürich' else 'city 😀' end,"
        " case when i % 10 = 0 then null else 'note ' || i end from n;");
}

// The odbc.ini entries of data sources a user registers for the test servers and the
// file of WritePeopleFile: VcPg as psqlODBC spells its entries, VcMy for MariaDB with
// its option bits, VcLite for SQLite.
inline QByteArray UsersOdbcIni(const DbServerSettings& pg, const DbServerSettings& my, const QString& file)
{
    return QStringLiteral("[VcPg]\nDriver=PostgreSQL Unicode\nServername=%1\nPort=%2\nDatabase=%3\n\n"
                          "[VcMy]\nDriver=MariaDB Unicode\nServer=%4\nPort=%5\nDatabase=%6\nUser=%7\n"
                          "Password=%8\nOption=3\n\n[VcLite]\nDriver=SQLite3\nDatabase=%9\n")
        .arg(pg.host, QString::number(pg.port), pg.database, my.host, QString::number(my.port), my.database, my.user,
            my.password, file)
        .toUtf8();
}

// The connection strings users' labels carry for those sources: both PostgreSQL drivers
// Debian registers, the drivers' own key names, the data sources, and ADO strings as
// ADO's own dialog writes them.
inline QStringList UsersConnectionStrings(const DbServerSettings& pg, const DbServerSettings& my)
{
    const QString login = QStringLiteral("UID=%1;PWD=%2;").arg(pg.user, pg.password);
    const QString server
        = QStringLiteral("Servername=%1;Port=%2;Database=%3;").arg(pg.host).arg(pg.port).arg(pg.database);
    QString adoPassword = pg.password;
    adoPassword.replace(u'"', QStringLiteral("\"\""));
    return {"Driver={PostgreSQL Unicode};" + server + login,
        "Driver={PostgreSQL ANSI};" + server + login + "CommLog=0;Debug=0", "DSN=VcPg;" + login,
        QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;DB=%3;User=%4;Password=%5;Option=3")
            .arg(my.host, QString::number(my.port), my.database, my.user, my.password),
        QStringLiteral("DSN=VcMy"), QStringLiteral("DSN=VcLite"),
        QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Data Source=VcPg;Initial Catalog=%1;"
                       "User ID=%2;Password=\"%3\"")
            .arg(pg.database, pg.user, adoPassword),
        QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Data Source=VcMy")};
}

// A statement read past one of the step's bounds, whole or by a cursor: it is stopped with
// our own message and keeps no rows.
inline void ExpectRefusedPastBound(DbConnection& db, const QString& sql, bool cursor, const QString& message)
{
    DbRows rows;
    if (cursor) {
        auto walk = db.OpenCursor(sql);
        EXPECT_FALSE(walk->Fetch(-1, rows));
        EXPECT_TRUE(walk->Stopped());
        EXPECT_EQ(walk->LastError(), message);
    } else {
        EXPECT_FALSE(db.Query(sql, rows));
        EXPECT_TRUE(db.Stopped());
        EXPECT_EQ(db.LastError(), message);
    }
    EXPECT_EQ(rows.RowCount(), 0);
}
