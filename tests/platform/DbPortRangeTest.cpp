// A port past 65535 is read by every client modulo 65536, so it would connect elsewhere than a
// question shows. Such a port is refused, named, on every route before anything connects: a
// listener on the port it would wrap to hears nothing, while the same port written plainly
// reaches it.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "platform/db/Ado.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbReach.h"
#include "platform/db/DbWait.h"

#include <gtest/gtest.h>

namespace {

DbServerSettings LoopbackAt(qint64 port)
{
    return {QStringLiteral("127.0.0.1"), static_cast<int>(port), QStringLiteral("db"), QStringLiteral("u"),
        QStringLiteral("p")};
}

} // namespace

TEST(DbPortRange, NativeSourcesRefuseAPortOutsideTheRangeNamingItAndConnectNowhere)
{
    KnockListener listener;
    const int wrapped = listener.Port() + 65536;
    const ShortConnects limits;
    const DbSourceScope scope(QStringLiteral("远程"));
    const struct
    {
        bool postgres;
        int port;
    } refused[] = {{false, wrapped}, {true, wrapped}, {false, -1}, {true, -1}, {true, 0}, {false, 2147483647}};
    for (const auto& c : refused) {
        SCOPED_TRACE(std::to_string(c.port) + (c.postgres ? " libpq" : " MariaDB"));
        const DbServerSettings settings = LoopbackAt(c.port);
        const QString message = QStringLiteral("数据源“远程”的端口“%1”不在 1 到 65535 之间，没有连接：").arg(c.port);
        const DbReach reach = c.postgres ? PostgreSQLReach(settings) : MySQLReach(settings);
        EXPECT_EQ(reach.kind, DbReach::Refused);
        EXPECT_TRUE(reach.refusal.startsWith(message)) << reach.refusal.toStdString();
        const auto db = c.postgres ? DbConnection::OpenPostgreSQL(settings) : DbConnection::OpenMySQL(settings);
        EXPECT_FALSE(db->IsOpen());
        EXPECT_TRUE(db->Refused());
        EXPECT_TRUE(db->LastError().startsWith(message)) << db->LastError().toStdString();
    }
    EXPECT_FALSE(listener.Knocked(0));

    // The port itself is asked about and knocks; MariaDB's 0 is none given.
    for (const bool postgres : {false, true}) {
        KnockListener fresh;
        const DbServerSettings settings = LoopbackAt(fresh.Port());
        EXPECT_EQ((postgres ? PostgreSQLReach(settings) : MySQLReach(settings)).kind, DbReach::Server);
        const auto db = postgres ? DbConnection::OpenPostgreSQL(settings) : DbConnection::OpenMySQL(settings);
        EXPECT_FALSE(db->Refused()) << db->LastError().toStdString();
        EXPECT_TRUE(fresh.Knocked()) << postgres;
    }
    EXPECT_EQ(MySQLReach(LoopbackAt(0)).kind, DbReach::Server);
}

// The string's Port for every driver, FreeTDS's "host,port", a data source's registration and
// a freetds.conf server, and an ADO string's port: each refused, naming the port and where it
// was read, with the listener on the port it would wrap to unknocked.
TEST(DbPortRange, ConnectionStringsRefuseAPortOutsideTheRangeWhereverItIsRead)
{
    KnockListener listener;
    const QString wrapped = QString::number(listener.Port() + 65536);
    const ShortConnects limits;
    const OwnOdbcIni ini(QStringLiteral("[TdsPort]\nDriver=FreeTDS\nServer=127.0.0.1\nPort=%1\n\n"
                                        "[TdsNamed]\nDriver=FreeTDS\nServer=127.0.0.1,%1\n\n"
                                        "[TdsAlias]\nDriver=FreeTDS\nServername=vcwrap\n\n"
                                        "[TdsNegative]\nDriver=FreeTDS\nServer=127.0.0.1\nPort=-5\n\n"
                                        "[PgPort]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%1\n\n"
                                        "[MyPort]\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort=%1\n")
                             .arg(wrapped)
                             .toUtf8());
    const OwnFreeTdsConf freetds(QStringLiteral("[vcwrap]\nhost = 127.0.0.1\nport = %1\n").arg(wrapped).toUtf8());
    const QString fault = QStringLiteral("端口“%1”不在 1 到 65535 之间").arg(wrapped);
    const struct
    {
        QString text;
        QString refusal; // how the refusal starts, after the source's name
    } cases[] = {
        {"Driver={FreeTDS};Server=127.0.0.1;Port=" + wrapped, QStringLiteral("连接字符串中的") + fault},
        {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + wrapped, QStringLiteral("连接字符串中的") + fault},
        {"Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + wrapped, QStringLiteral("连接字符串中的") + fault},
        {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=99999999999999999999999",
            QStringLiteral("连接字符串中的端口“99999999999999999999999”")},
        {"Driver={FreeTDS};Server=127.0.0.1," + wrapped, fault + QStringLiteral("（写在“Server”的服务器名之后）")},
        {"Provider=SQLOLEDB;Server=127.0.0.1," + wrapped + ";Database=x", QStringLiteral("连接字符串中的") + fault},
        {"DSN=TdsPort", fault + QStringLiteral("（Port，来自数据源“TdsPort”在 unixODBC 中的注册）")},
        {"DSN=TdsNamed", fault + QStringLiteral("（写在Server的服务器名之后，来自数据源“TdsNamed”在 unixODBC 中的注册）")},
        {"DSN=TdsAlias", fault + QStringLiteral("（port，来自 ")},
        {"DSN=TdsNegative", QStringLiteral("端口“-5”不在 1 到 65535 之间（Port，来自数据源“TdsNegative”")},
        {"DSN=PgPort", fault + QStringLiteral("（Port，来自数据源“PgPort”在 unixODBC 中的注册）")},
        {"DSN=MyPort", fault + QStringLiteral("（Port，来自数据源“MyPort”在 unixODBC 中的注册）")},
    };
    const QString whose = QStringLiteral("数据源“库存”的");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const DbReach reach = AdoReach(c.text, {}, {}, QStringLiteral("库存"));
        EXPECT_EQ(reach.kind, DbReach::Refused);
        EXPECT_TRUE(reach.refusal.startsWith(whose + c.refusal)) << reach.refusal.toStdString();
        const auto db = DbConnection::OpenAdo(c.text, {}, {}, QStringLiteral("库存"));
        EXPECT_TRUE(db->Refused());
        EXPECT_TRUE(db->LastError().startsWith(whose + c.refusal)) << db->LastError().toStdString();
    }
    EXPECT_FALSE(listener.Knocked(0));

    // Written plainly, the same port is shown and knocks: in the string and through freetds.conf.
    const QString port = QString::number(listener.Port());
    for (const QString& text : QStringList {"Driver={FreeTDS};Server=127.0.0.1;Port=" + port + ";TDS_Version=7.4",
             QStringLiteral("DSN=TdsAlias;TDS_Version=7.4")}) {
        SCOPED_TRACE(text.toStdString());
        KnockListener fresh;
        const OwnFreeTdsConf there(QStringLiteral("[vcwrap]\nhost = 127.0.0.1\nport = %1\n").arg(fresh.Port()).toUtf8());
        QString reaching = text;
        reaching.replace(port, QString::number(fresh.Port()));
        const DbReach reach = AdoReach(reaching, {}, {}, QStringLiteral("库存"));
        EXPECT_EQ(reach.kind, DbReach::Server) << reach.refusal.toStdString();
        const auto db = DbConnection::OpenAdo(reaching, {}, {}, QStringLiteral("库存"));
        EXPECT_FALSE(db->Refused()) << db->LastError().toStdString();
        EXPECT_TRUE(fresh.Knocked());
    }
}

// Oracle's driver reads the port of an Easy Connect text, as the Oracle dialog's descriptor is
// sent; a net service name has none.
TEST(DbPortRange, AnEasyConnectPortOutsideTheRangeIsRefused)
{
    OdbcRegistry registry;
    registry.drivers.append({QStringLiteral("Oracle"), QStringLiteral("/opt/oracle/libsqora.so.21.1")});
    for (const QString& dbq : {QStringLiteral("//db.example:85536/orcl"), QStringLiteral("db.example:0"),
             QStringLiteral("[::1]:70000/orcl")}) {
        SCOPED_TRACE(dbq.toStdString());
        const OdbcRequest request = CheckOdbcString("Driver=Oracle;DBQ=" + dbq, QStringLiteral("库存"), registry);
        EXPECT_TRUE(request.refusal.startsWith(QStringLiteral("数据源“库存”的端口“"))) << request.refusal.toStdString();
        EXPECT_TRUE(request.refusal.contains(QStringLiteral("不在 1 到 65535 之间（DBQ）")));
    }
    for (const QString& dbq : {QStringLiteral("//db.example:1521/orcl"), QStringLiteral("orcl"),
             QStringLiteral("[::1]:1521/orcl"), QStringLiteral("db.example/orcl")}) {
        SCOPED_TRACE(dbq.toStdString());
        EXPECT_EQ(CheckOdbcString("Driver=Oracle;DBQ=" + dbq, {}, registry).refusal, QString());
    }
}
