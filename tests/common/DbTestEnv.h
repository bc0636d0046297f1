#pragma once

#include "model/DSBase.h"
#include "platform/Crypt.h"
#include "platform/db/DbConnection.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QtGlobal>
#include <cstdio>
#include <optional>

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

// Runs a statement that writes test data, through the server's own command-line client
// (the program's connections only read). Empty on success, else the client's words.
inline QString WriteOnTestServer(const DbServerSettings& s, bool postgres, const QString& sql)
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    client.setProcessEnvironment(env);
    if (postgres)
        client.start(QStringLiteral("psql"), {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", s.host, "-p",
            QString::number(s.port), "-U", s.user, "-d", s.database, "-c", sql});
    else
        client.start(QStringLiteral("mariadb"), {"--no-defaults", "-h", s.host, "-P", QString::number(s.port), "-u",
            s.user, "--password=" + s.password, s.database, "-e", sql});
    if (!client.waitForFinished(30000) || client.exitCode() != 0)
        return QString::fromUtf8(client.readAllStandardError()) + client.errorString();
    return {};
}

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
