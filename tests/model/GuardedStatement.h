#pragma once

// A PostgreSQL data source's statement put through the whole guard on a real server, never run:
// the program's reading, the server's resolution and the question asked once connected; by the
// program's own client or by psqlODBC, as a login of the test's.
#include "PgServerObjects.h"
#include "model/DSBase.h"
#include "model/SourceApproval.h"
#include "model/SqlStatementCheck.h"
#include "platform/Crypt.h"
#include "platform/db/DbCatalog.h"

#include <gtest/gtest.h>

#include <memory>

// Keeps every question it is asked and allows none of them for good.
class AskingApprover : public CSourceApprover
{
public:
    AskingApprover()
        : m_previous(InstallSourceApprover(this))
    {
    }
    ~AskingApprover() override { InstallSourceApprover(m_previous); }
    bool Ask(const SourceQuestion& question) override
    {
        questions.append(question);
        return allow;
    }
    QList<SourceQuestion> questions;
    bool allow = true; // 允许, else 不允许

private:
    CSourceApprover* m_previous;
};

enum class Route { Native, PsqlOdbc };

inline const char* RouteName(Route route)
{
    return route == Route::Native ? "libpq" : "psqlODBC";
}

struct Routed
{
    std::unique_ptr<CDSBase> ds;
    std::unique_ptr<DbConnection> db;
};

// The source of the statement on the route, not connected.
inline std::unique_ptr<CDSBase> RoutedSource(Route route, const DbServerSettings& login, const QString& sql)
{
    std::unique_ptr<CDSBase> source;
    if (route == Route::Native) {
        auto ds = std::make_unique<CPostgreSQLDS>();
        StoreLogin(*ds, login);
        source = std::move(ds);
    } else {
        auto ds = std::make_unique<CCustomDS>();
        ds->m_strConnectionString = EncryptString(PsqlOdbcString(login));
        source = std::move(ds);
    }
    source->m_strName = QStringLiteral("远程");
    source->m_nRangeMode = RangeSQL;
    source->m_strSQL = sql;
    return source;
}

inline Routed Open(Route route, const DbServerSettings& login, const QString& sql)
{
    Routed routed;
    routed.ds = RoutedSource(route, login, sql);
    routed.db
        = route == Route::Native ? DbConnection::OpenPostgreSQL(login) : DbConnection::OpenOdbc(PsqlOdbcString(login));
    return routed;
}

// What the guard made of a statement.
struct Guarded
{
    QString refusal; // of the reading or of the resolution
    int questions = 0;
    QStringList cautions;
    bool parsed = false; // a question said the server parsed the statement
};

inline Guarded Guard(Route route, const DbServerSettings& login, const QString& sql, bool allow = true)
{
    Guarded guarded;
    Routed routed = Open(route, login, sql);
    EXPECT_TRUE(routed.db->IsOpen()) << routed.db->LastError().toStdString();
    guarded.refusal = SqlStatementRefusal(sql, routed.db->ServerKind());
    if (!guarded.refusal.isEmpty())
        return guarded;
    AskingApprover approver;
    approver.allow = allow;
    guarded.refusal = ConnectedStatementRefusal(*routed.ds, *routed.db);
    guarded.questions = static_cast<int>(approver.questions.size());
    for (const SourceQuestion& question : approver.questions) {
        guarded.cautions += question.cautions;
        guarded.parsed = guarded.parsed || question.parsed;
    }
    return guarded;
}

// What the server tells of a statement sent as a data source sends it.
inline DbStatementFacts ResolvedFacts(DbConnection& db, const QString& sql)
{
    const QString sent = QStringLiteral("select * from (%1\n) t").arg(sql);
    const SqlStatementNames names = SqlNamesOf(sent, db.ServerKind());
    DbStatementFacts facts;
    EXPECT_TRUE(ReadStatementFacts(db, sent, names.names, names.operators, RefusedSqlNamePatterns(), facts))
        << db.LastError().toStdString();
    return facts;
}

// A login of the test's objects: role is the name with "%1" for their suffix.
inline DbServerSettings TestLogin(
    const DbServerSettings& server, const ServerObjects& objects, const char* role, const QString& password)
{
    DbServerSettings login = server;
    login.user = objects.Named(role);
    login.password = password;
    return login;
}
