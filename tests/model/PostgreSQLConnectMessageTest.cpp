// The message a PostgreSQL data source gives when its login fails: the server's own refusal
// leads where the server answered, the client's words where nothing did, and what to check
// follows, naming the data source.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "model/DSBase.h"
#include "model/DatabaseLoaders.h"

#include <gtest/gtest.h>

namespace {

QString OpenFailure(CPostgreSQLDS& ds)
{
    ds.m_strName = QStringLiteral("标签数据");
    ds.m_strTable = "People";
    CPostgreSQLDL loader;
    loader.SetDataSource(&ds);
    EXPECT_FALSE(loader.Open());
    EXPECT_FALSE(loader.IsOpen());
    return loader.GetLastError();
}

const QString kCheck = QStringLiteral("\n请检查数据源“标签数据”的服务器地址、端口、数据库名、用户名和密码。");

} // namespace

TEST(PostgreSQLConnectMessage, TheServersRefusalLeads)
{
    VC_TEST_SERVER(server, "VC_PG");
    CPostgreSQLDS ds;
    DbServerSettings wrong = server;
    wrong.password += "x";
    StoreLogin(ds, wrong);
    const QString message = OpenFailure(ds);
    EXPECT_TRUE(message.startsWith(QStringLiteral("PostgreSQL服务器拒绝了连接："))) << message.toStdString();
    EXPECT_TRUE(message.contains("password authentication failed")) << message.toStdString();
    EXPECT_TRUE(message.endsWith(kCheck)) << message.toStdString();

    StoreLogin(ds, server); // the right login opens
    CPostgreSQLDL loader;
    loader.SetDataSource(&ds);
    EXPECT_TRUE(loader.Open()) << loader.GetLastError().toStdString();
}

TEST(PostgreSQLConnectMessage, AnUnreachableServerIsSaidInTheClientsWords)
{
    CPostgreSQLDS ds;
    StoreLogin(ds, {"127.0.0.1", ClosedLoopbackPort(), "db", "u", "p"});
    const QString message = OpenFailure(ds);
    EXPECT_TRUE(message.startsWith(QStringLiteral("无法连接PostgreSQL数据库："))) << message.toStdString();
    EXPECT_TRUE(message.endsWith(kCheck)) << message.toStdString();
    EXPECT_GT(message.size(), QStringLiteral("无法连接PostgreSQL数据库：").size() + kCheck.size());
}
