// The question before a MariaDB source connects names the server that connects: "localhost" with
// a port goes by TCP to that port (the client alone would take its local socket and pass the
// port over), and "localhost" without one goes through the local socket, which the question
// names and the approval is kept under. A port that would wrap is refused, naming the source.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/SourceApproval.h"
#include "platform/db/DbReach.h"
#include "platform/db/DbWait.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<CMySQLDS> SourceAt(const DbServerSettings& login)
{
    auto ds = std::make_unique<CMySQLDS>();
    ds->m_strName = QStringLiteral("本机");
    StoreLogin(*ds, login);
    ds->m_nRangeMode = RangeSQL;
    ds->m_strSQL = QStringLiteral("select 1 as a");
    return ds;
}

QString RowOf(const SourceQuestion& question, const QString& caption)
{
    for (const auto& [shown, value] : question.rows) {
        if (shown == caption)
            return value;
    }
    return QStringLiteral("(none)");
}

} // namespace

TEST(ServerReach, LocalhostWithAPortGoesByTcpToThePortTheQuestionShows)
{
    VC_TEST_SERVER(my, "VC_MY");
    const LocalServerSocket local;
    DbServerSettings login = my;
    login.host = QStringLiteral("localhost");

    // The test server listens on the loopback address: asked about with its port, read there.
    const SourceQuestion question = SourceQuestionOf(*SourceAt(login));
    EXPECT_EQ(RowOf(question, QStringLiteral("服务器")), QStringLiteral("localhost"));
    EXPECT_EQ(RowOf(question, QStringLiteral("端口")), QString::number(my.port));
    EXPECT_EQ(RowOf(question, QStringLiteral("本机套接字")), QStringLiteral("(none)"));
    const QString odbc = QStringLiteral("Driver={MariaDB Unicode};Server=localhost;Port=%1;Database=%2;User=%3;Password=%4")
                             .arg(QString::number(my.port), my.database, my.user, my.password);
    EXPECT_EQ(AdoReach(odbc, {}, {}).sent, MySQLReach(login).sent);
    for (const auto& db : {DbConnection::OpenMySQL(login), DbConnection::OpenOdbc(odbc)}) {
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        ASSERT_TRUE(db->Query(QStringLiteral("select count(*) from People"), rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), QStringLiteral("100"));
    }
    EXPECT_FALSE(local.Knocked(0));

    // A port where something else listens hears the knock; the local server never does.
    const ShortConnects limits;
    KnockListener listener;
    login.port = listener.Port();
    EXPECT_FALSE(DbConnection::OpenMySQL(login)->IsOpen());
    EXPECT_TRUE(listener.Knocked());
    EXPECT_FALSE(local.Knocked(0));
}

TEST(ServerReach, LocalhostWithoutAPortGoesThroughTheSocketTheQuestionNames)
{
    const ShortConnects limits;
    KnockListener listener; // where nothing should go
    for (const QString& host : {QStringLiteral("localhost"), QString()}) {
        SCOPED_TRACE(host.toStdString());
        const LocalServerSocket local;
        const DbServerSettings login {host, 0, QStringLiteral("db"), QStringLiteral("u"), QStringLiteral("p")};
        const auto ds = SourceAt(login);
        const SourceQuestion question = SourceQuestionOf(*ds);
        EXPECT_EQ(RowOf(question, QStringLiteral("本机套接字")), local.Path());
        EXPECT_EQ(RowOf(question, QStringLiteral("端口")), QStringLiteral("（未指定：经本机套接字连接，不用端口）"));
        EXPECT_FALSE(DbConnection::OpenMySQL(login)->IsOpen());
        EXPECT_TRUE(local.Knocked());

        // Another local server is another source to approve.
        const QString key = question.key;
        const LocalServerSocket other;
        EXPECT_NE(SourceApprovalKey(*ds), key);
    }
    // An ODBC string of the MariaDB driver without a port, the same.
    const LocalServerSocket local;
    const DbReach reach = AdoReach(QStringLiteral("Driver={MariaDB Unicode};Server=localhost;Database=db"), {}, {});
    EXPECT_TRUE(reach.sent.contains(QPair<QString, QString>(QStringLiteral("unix_socket"), local.Path())));
    EXPECT_FALSE(listener.Knocked(0));
    // Another host without a port: TCP to 3306, as the question says.
    const SourceQuestion remote
        = SourceQuestionOf(*SourceAt({QStringLiteral("db.example"), 0, QStringLiteral("db"), QStringLiteral("u"), {}}));
    EXPECT_EQ(RowOf(remote, QStringLiteral("端口")), QStringLiteral("（未指定：3306）"));
    EXPECT_EQ(RowOf(remote, QStringLiteral("本机套接字")), QStringLiteral("(none)"));
}

// The loader of a label's source with a port that would wrap: refused before it is asked about,
// naming the source and the port, and nothing connects.
TEST(ServerReach, ALabelsPortOutsideTheRangeIsRefusedNamingTheSource)
{
    KnockListener listener;
    const qint64 wrapped = listener.Port() + 65536;
    for (const int type : {DSMySQL, DSPostgreSQL}) {
        SCOPED_TRACE(type);
        std::unique_ptr<CHostPortDS> ds;
        if (type == DSMySQL)
            ds = std::make_unique<CMySQLDS>();
        else
            ds = std::make_unique<CPostgreSQLDS>();
        ds->m_strName = QStringLiteral("远程");
        StoreLogin(*ds, {QStringLiteral("127.0.0.1"), static_cast<int>(wrapped), QStringLiteral("db"), QStringLiteral("u"), {}});
        ds->m_nRangeMode = RangeSQL;
        ds->m_strSQL = QStringLiteral("select 1 as a");
        EXPECT_FALSE(SourceNeedsApproval(*ds));
        const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(type);
        loader->SetDataSource(ds.get());
        EXPECT_FALSE(loader->Open());
        EXPECT_TRUE(loader->GetLastError().startsWith(
            QStringLiteral("数据源“远程”的端口“%1”不在 1 到 65535 之间，没有连接").arg(wrapped)))
            << loader->GetLastError().toStdString();
    }
    EXPECT_FALSE(listener.Knocked(0));
}

// A local server that listens only on its socket refuses the port the form always gives: the
// label's loader says the socket is there and to clear the port, and a cleared port reaches the
// server. Elsewhere (no socket, another host) the failure stays the client's alone.
TEST(ServerReach, LocalhostRefusingItsPortWhileItsSocketIsThereSaysToClearThePort)
{
    VC_TEST_SERVER(my, "VC_MY");
    DbRows rows;
    ASSERT_TRUE(DbConnection::OpenMySQL(my)->Query(QStringLiteral("select @@socket"), rows));
    const QString socket = rows.Value(0, 0);
    if (!QFileInfo::exists(socket))
        GTEST_SKIP() << "the test server's socket is not on this machine";
    DbServerSettings login = my;
    login.port = ClosedLoopbackPort();
    const auto opened = [&login](const QString& host) {
        login.host = host;
        const auto ds = SourceAt(login);
        const std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(DSMySQL);
        loader->SetDataSource(ds.get());
        EXPECT_FALSE(loader->Open());
        return loader->GetLastError();
    };
    const QString advice = QStringLiteral("请清空端口，程序就会经本机套接字连接。");
    {
        const ClientSocketAt named(socket);
        for (const QString& host : {QStringLiteral("localhost"), QString()})
            EXPECT_TRUE(opened(host).contains(socket + QStringLiteral(" 存在。") + advice)) << opened(host).toStdString();
        EXPECT_FALSE(opened(QStringLiteral("127.0.0.1")).contains(advice));
        login.host = QStringLiteral("localhost");
        login.port = 0;
        EXPECT_TRUE(DbConnection::OpenMySQL(login)->Query(QStringLiteral("select count(*) from People"), rows));
        EXPECT_EQ(rows.Value(0, 0), QStringLiteral("100"));
    }
    // No socket where the client would look: as before.
    login.port = ClosedLoopbackPort();
    const QTemporaryDir dir;
    const ClientSocketAt none(dir.filePath(QStringLiteral("none.sock")));
    EXPECT_TRUE(opened(QStringLiteral("localhost"))
                    .startsWith(QStringLiteral("无法连接数据库，请检查服务器地址、端口、数据库名、用户名和密码。\n"
                                               "详细信息：无法连接MySQL数据库：Can't connect to server on")));
}
