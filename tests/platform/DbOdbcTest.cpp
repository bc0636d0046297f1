// The ODBC backend through real drivers: the PostgreSQL and MariaDB ODBC drivers
// against the throwaway servers and FreeTDS against a loopback port where nothing
// listens; an SQLite driver's string, which opens its file without the driver; and
// what of a connection string may reach a driver.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "MarkerLibrary.h"
#include "RowWindowCases.h"
#include "platform/db/Ado.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

class DbOdbcSQLite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = dir.filePath("odbc.db");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                      "create table T (Id integer, Name text, Note text);"
                      "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20)"
                      " insert into T select i, case i when 1 then '北京 😀' else 'name' || i end,"
                      " case when i % 5 = 0 then null else 'n' || i end from n;"
                      "insert into T values (21, printf('%.5000c', 'x'), '');"
                      "create table \"Order Details\" (OrderId integer, \"Unit Price\" real);"
                      "create table \"Bob's \"\"Best\"\"\" (x text);",
                      nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);
        connectionString = QStringLiteral("Driver=SQLite3;Database=%1;").arg(path);
    }

    QTemporaryDir dir;
    QString path;
    QString connectionString;
};

QString PostgreSQLOdbcString(const DbServerSettings& s)
{
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5;CommLog=0;Debug=0;")
        .arg(s.host)
        .arg(s.port)
        .arg(s.database, s.user, s.password);
}

} // namespace

TEST_F(DbOdbcSQLite, ReadsValuesNullsAndLongTextInPieces)
{
    auto db = DbConnection::OpenOdbc(connectionString);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select Id, Name, Note from T order by Id", rows)) << db->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 21);
    EXPECT_EQ(rows.Columns(), (QStringList {"Id", "Name", "Note"}));
    EXPECT_EQ(rows.Row(0), (QStringList {"1", QStringLiteral("北京 😀"), "n1"}));
    // A NULL stays in its own column; the next value is not pulled forward.
    EXPECT_TRUE(rows.IsNull(4, 2));
    EXPECT_EQ(rows.Value(4, 0), "5");
    EXPECT_EQ(rows.Value(5, 2), "n6");
    EXPECT_EQ(rows.Value(20, 1), QString(5000, u'x'));
    EXPECT_FALSE(rows.IsNull(20, 2)); // an empty text is not NULL

    ExpectRowWindows(*db, "select Id from T order by Id", 21);

    EXPECT_FALSE(db->Query("select nope from T", rows));
    EXPECT_TRUE(db->LastError().contains("nope")) << db->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 0);
    ASSERT_TRUE(db->Query("select 1", rows));
    EXPECT_TRUE(db->LastError().isEmpty());
    db->Close();
    EXPECT_FALSE(db->IsOpen());
    EXPECT_FALSE(db->Query("select 1", rows));
}

// A cursor runs its statement once and fetches slice after slice; while it stands
// inside the rows the driver holds the file's read lock, and it lets go at the last
// row, or when the cursor goes before it.
TEST_F(DbOdbcSQLite, ACursorFetchesOnFromOneStatementAndLetsGoAtItsEnd)
{
    // A label's StepAPI option is accepted; the file is read without the driver anyway.
    auto db = DbConnection::OpenOdbc(connectionString + "StepAPI=1;");
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &writer), SQLITE_OK);
    const auto canWrite = [&] {
        return sqlite3_exec(writer, "create table W (x); drop table W;", nullptr, nullptr, nullptr) == SQLITE_OK;
    };

    auto cursor = db->OpenCursor("select Id, Name, Note from T order by Id");
    DbRows rows;
    ASSERT_TRUE(cursor->Fetch(3, rows)) << cursor->LastError().toStdString();
    EXPECT_EQ(rows.Columns(), (QStringList {"Id", "Name", "Note"}));
    ASSERT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Row(0), (QStringList {"1", QStringLiteral("北京 😀"), "n1"}));
    EXPECT_FALSE(canWrite());
    ASSERT_TRUE(cursor->Skip(1));
    EXPECT_EQ(cursor->Position(), 4);
    ASSERT_TRUE(cursor->Fetch(2, rows));
    ASSERT_EQ(rows.RowCount(), 2);
    EXPECT_EQ(rows.Value(0, 0), "5");
    EXPECT_TRUE(rows.IsNull(0, 2));
    EXPECT_EQ(rows.Value(1, 2), "n6");
    ASSERT_TRUE(cursor->Fetch(-1, rows));
    ASSERT_EQ(rows.RowCount(), 15);
    EXPECT_EQ(rows.Value(14, 1), QString(5000, u'x'));
    EXPECT_EQ(cursor->Position(), 21);
    EXPECT_TRUE(canWrite()); // at the last row, with the cursor still there
    ASSERT_TRUE(cursor->Fetch(5, rows));
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(rows.ColumnCount(), 3);

    cursor = db->OpenCursor("select Id from T");
    ASSERT_TRUE(cursor->Skip(2));
    EXPECT_FALSE(canWrite());
    cursor.reset();
    EXPECT_TRUE(canWrite());
    sqlite3_close(writer);

    // Read in slices, a random order is one order: each row comes once.
    cursor = db->OpenCursor("select Id from T order by random()");
    QSet<QString> seen;
    for (int slice = 0; slice < 7; ++slice) {
        ASSERT_TRUE(cursor->Fetch(3, rows)) << cursor->LastError().toStdString();
        for (int r = 0; r < rows.RowCount(); ++r)
            seen.insert(rows.Value(r, 0));
    }
    EXPECT_EQ(seen.size(), 21);

    cursor = db->OpenCursor("select nope from T");
    EXPECT_FALSE(cursor->Fetch(5, rows));
    EXPECT_TRUE(cursor->LastError().contains("nope")) << cursor->LastError().toStdString();
    EXPECT_EQ(rows.ColumnCount(), 0);
    EXPECT_FALSE(cursor->Skip(1));
    cursor.reset();
    db->Close();
    cursor = db->OpenCursor("select 1");
    EXPECT_FALSE(cursor->Fetch(1, rows));
    EXPECT_FALSE(cursor->LastError().isEmpty());
}

TEST_F(DbOdbcSQLite, FieldListsTakeTableNamesAsTheCatalogueListsThem)
{
    auto db = DbConnection::OpenOdbc(connectionString);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables)) << db->LastError().toStdString();
    tables.sort();
    EXPECT_EQ(tables, (QStringList {"Bob's \"Best\"", "Order Details", "T"}));
    const QList<QStringList> expected {{"x"}, {"OrderId", "Unit Price"}, {"Id", "Name", "Note"}};
    for (int i = 0; i < tables.size() && i < expected.size(); ++i) {
        QStringList fields;
        EXPECT_TRUE(db->ListFields(tables[i], fields)) << db->LastError().toStdString();
        EXPECT_EQ(fields, expected[i]);
    }
}

TEST_F(DbOdbcSQLite, AdoRoutesAnOdbcStringAndAnMsdasqlString)
{
    auto direct = DbConnection::OpenAdo(connectionString, "", "");
    ASSERT_TRUE(direct->IsOpen()) << direct->LastError().toStdString();
    auto viaProvider = DbConnection::OpenAdo("Provider=MSDASQL;Driver=SQLite3;Database=\"" + path + "\";", "", "");
    ASSERT_TRUE(viaProvider->IsOpen()) << viaProvider->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(viaProvider->Query("select count(*) as RecordCount from T", rows));
    EXPECT_EQ(rows.Value(0, 0), "21");

    auto missing = DbConnection::OpenOdbc("Driver=No Such Driver;Database=x;");
    EXPECT_FALSE(missing->IsOpen());
    EXPECT_FALSE(missing->LastError().isEmpty());
}

TEST(DbOdbcPostgreSQL, ConnectsWithAPasswordHoldingBlanksAndQuotes)
{
    VC_TEST_SERVER(server, "VC_PG");
    auto db = DbConnection::OpenOdbc(PostgreSQLOdbcString(server));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select \"Id\", \"City\", \"Note\" from \"People\" where \"Id\" between 9 and 11 "
                          "order by \"Id\"",
        rows))
        << db->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Row(0), (QStringList {"9", QStringLiteral("北京"), "note 9"}));
    EXPECT_TRUE(rows.IsNull(1, 2));
    EXPECT_EQ(rows.Value(1, 1), QStringLiteral("Zürich"));
    EXPECT_EQ(rows.Value(2, 2), "note 11");
    // A long value comes in pieces, characters outside the BMP whole.
    ASSERT_TRUE(db->Query(QStringLiteral("select repeat('x', 5000) as l, '北京 😀' as u"), rows))
        << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), QString(5000, u'x'));
    EXPECT_EQ(rows.Value(0, 1), QStringLiteral("北京 😀"));
    // Mixed-case names as the catalogue lists them: "People" and "people" are two tables.
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables)) << db->LastError().toStdString();
    EXPECT_TRUE(tables.contains("People") && tables.contains("people")) << tables.join(',').toStdString();
    QStringList fields;
    ASSERT_TRUE(db->ListFields("People", fields)) << db->LastError().toStdString();
    EXPECT_EQ(fields, (QStringList {"Id", "Name", "City", "Note"}));
    ASSERT_TRUE(db->ListFields("people", fields)) << db->LastError().toStdString();
    EXPECT_EQ(fields, (QStringList {"id", "name"}));

    // The user and password given beside a string without them reach the driver.
    const QString withoutLogin = QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;")
                                     .arg(server.host, QString::number(server.port), server.database);
    const QStringList texts {withoutLogin, "Provider=MSDASQL;Extended Properties=\"" + withoutLogin + "\""};
    for (const QString& text : texts) {
        auto viaAdo = DbConnection::OpenAdo(text, server.user, server.password);
        ASSERT_TRUE(viaAdo->IsOpen()) << text.toStdString() << ": " << viaAdo->LastError().toStdString();
        ASSERT_TRUE(viaAdo->Query("select count(*) from \"People\"", rows)) << viaAdo->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "100");
    }

    DbServerSettings wrong = server;
    wrong.password += "x";
    auto refused = DbConnection::OpenOdbc(PostgreSQLOdbcString(wrong));
    EXPECT_FALSE(refused->IsOpen());
    EXPECT_TRUE(refused->LastError().contains("password", Qt::CaseInsensitive)) << refused->LastError().toStdString();
}

TEST(DbOdbcFreeTds, AClosedPortIsAConnectionFailure)
{
    const unsigned short port = ClosedLoopbackPort();
    for (const char* provider : {"SQLOLEDB", "Sybase.ASEOLEDBProvider"}) {
        auto db = DbConnection::OpenAdo(
            QStringLiteral("Provider=%1;Server=127.0.0.1,%2;Database=x;").arg(provider).arg(port), "sa", "pw");
        EXPECT_FALSE(db->IsOpen()) << provider;
        EXPECT_FALSE(db->LastError().isEmpty()) << provider;
        DbRows rows;
        EXPECT_FALSE(db->Query("select 1", rows));
    }
}

// FreeTDS reads a port after the server's name and in Port in turn, the later one winning,
// and passes over a Port of 0: such strings connect nowhere, while a port given once, either
// way, connects there.
TEST(DbOdbcFreeTds, APortGivenTwiceKnocksNowhereAndOneGivenOnceConnectsThere)
{
    KnockListener listener;
    const QString port = QString::number(listener.Port());
    const ShortConnects limits;
    for (const QString& text : QStringList {"Driver={FreeTDS};Port=1433;Server=127.0.0.1," + port,
             "Driver={FreeTDS};Server=127.0.0.1," + port + ";Port=" + port,
             "Driver={FreeTDS};Server=127.0.0.1," + port + ";Port=0"}) {
        SCOPED_TRACE(text.toStdString());
        auto db = DbConnection::OpenOdbc(text, QStringLiteral("库存"));
        EXPECT_FALSE(db->IsOpen());
        EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("数据源“库存”的连接字符串"))) << db->LastError().toStdString();
        EXPECT_FALSE(listener.Knocked(0));
    }
    for (const QString& text : QStringList {"Driver={FreeTDS};Server=127.0.0.1," + port + ";TDS_Version=7.4",
             "Driver={FreeTDS};Server=127.0.0.1;Port=" + port + ";TDS_Version=7.4"}) {
        SCOPED_TRACE(text.toStdString());
        KnockListener fresh;
        QString there = text;
        there.replace(port, QString::number(fresh.Port()));
        DbConnection::OpenOdbc(there);
        EXPECT_TRUE(fresh.Knocked());
    }
}

TEST(DbOdbcMariaDB, ItsDriversStringReachesTheServerThatGetsNoLocalFile)
{
    VC_TEST_SERVER(server, "VC_MY");
    const QString text
        = QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;Database=%3;User=%4;Password=%5;"
                         "Charset=utf8mb4;")
              .arg(server.host, QString::number(server.port), server.database, server.user, server.password);
    // The driver would let a statement send any local file to the server, so the
    // program reaches the server with its own client, which does not.
    std::unique_ptr<DbConnection> connections[] = {DbConnection::OpenOdbc(text), DbConnection::OpenMySQL(server)};
    for (const auto& db : connections) {
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        ASSERT_TRUE(db->Query("select count(*) from People", rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "100");
        EXPECT_FALSE(db->Query("load data local infile '/etc/passwd' into table Empty", rows));
        ASSERT_TRUE(db->Query("select count(*) from Empty", rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "0");
    }
}

namespace {

OdbcRegistry TestRegistry()
{
    OdbcRegistry registry;
    registry.drivers = {{"SQLite3", "libsqlite3odbc.so"}, {"PostgreSQL Unicode", "psqlodbcw.so"},
        {"FreeTDS", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"}, {"MariaDB Unicode", "libmaodbc.so"}, {"MDBTools", "libmdbodbc.so"}};
    registry.dataSources = {{"Stock", "PostgreSQL Unicode", {}}, {"Labels", "SQLite3", {}},
        {QStringLiteral("Lagerń"), "PostgreSQL Unicode", {}},
        {"Shop", "MariaDB Unicode", {{"SERVER", "db.shop"}, {"Port", "3307"}, {"DB", "shop"}, {"User", "clerk"},
                                        {"Password", "p;w={x}"}}}};
    return registry;
}

} // namespace

// What the driver manager is given is rebuilt from the accepted pairs: the keys
// spelled as the program knows them, values unquoted.
TEST(CheckOdbcString, SendsTheAcceptedPairsRebuilt)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("标签 数据.db"));
    QFile(db).open(QIODevice::WriteOnly);
    const struct
    {
        QString text;
        QString sent;
    } cases[] = {
        {"Driver={PostgreSQL Unicode};Server=h;Port=5432;Database=d;Uid=u;Pwd=vc pass'\"word;",
            "Driver=PostgreSQL Unicode;Server=h;Port=5432;Database=d;UID=u;PWD=vc pass'\"word;"},
        {" dsn =Stock;user id=a;password=b;CommLog=0;DEBUG=0", "DSN=Stock;UID=a;PWD=b;CommLog=0;Debug=0;"},
        {"driver={postgresql unicode};Port=5432", "Driver=PostgreSQL Unicode;Port=5432;"},
        {QStringLiteral("Driver=FreeTDS;Server=h;Database=库存;TDS_Version=7.4;ClientCharset=UTF-8;"),
            QStringLiteral("Driver=FreeTDS;Server=h;Database=库存;TDS_Version=7.4;ClientCharset=UTF-8;")},
        // The drivers' own spellings count as the keys they name.
        {"Driver={PostgreSQL Unicode};Servername=h;DB=d;Port=5432",
            "Driver=PostgreSQL Unicode;Server=h;Database=d;Port=5432;"},
        {"Driver=FreeTDS;Server=h;TDS_Version=auto", "Driver=FreeTDS;Server=h;TDS_Version=auto;"},
        // psqlODBC's read-only switch, after the password as tutorials write it, for a DSN too.
        {"Driver={PostgreSQL Unicode};Server=h;Port=5432;Database=d;UID=u;PWD=x;ReadOnly=1",
            "Driver=PostgreSQL Unicode;Server=h;Port=5432;Database=d;UID=u;PWD=x;ReadOnly=1;"},
        {"DSN=Stock;readonly=0", "DSN=Stock;ReadOnly=0;"},
        // Characters whose low byte is no delimiter go through whole.
        {QStringLiteral("DSN=Stock;Database=库存;PWD=口令ńé"), QStringLiteral("DSN=Stock;Database=库存;PWD=口令ńé;")},
    };
    for (const auto& c : cases) {
        const OdbcRequest request = CheckOdbcString(c.text, {}, TestRegistry());
        EXPECT_EQ(request.refusal, QString()) << c.text.toStdString();
        EXPECT_EQ(request.text, c.sent) << c.text.toStdString();
    }
    // An SQLite database is read by the program, never through the driver.
    for (const QString& text :
        QStringList {"Driver=SQLite3;Database=" + db + ";StepAPI=1", "DSN=Labels;Database=" + db}) {
        const OdbcRequest request = CheckOdbcString(text, {}, TestRegistry());
        EXPECT_EQ(request.refusal, QString()) << text.toStdString();
        EXPECT_TRUE(request.text.isEmpty());
        EXPECT_EQ(request.sqliteFile, QFileInfo(db).canonicalFilePath());
    }
    // A MariaDB server is reached by the program's own client.
    const OdbcRequest maria
        = CheckOdbcString("Driver={MariaDB Unicode};Server=h;Database=d;User=u;Password=p w", {}, TestRegistry());
    EXPECT_EQ(maria.refusal, QString());
    EXPECT_TRUE(maria.text.isEmpty());
    ASSERT_TRUE(maria.mysqlServer.has_value());
    EXPECT_EQ(maria.mysqlServer->host, "h");
    EXPECT_EQ(maria.mysqlServer->port, 0); // none given: the client's TCP 3306, or the local host's socket
    EXPECT_EQ(maria.mysqlServer->database, "d");
    EXPECT_EQ(maria.mysqlServer->user, "u");
    EXPECT_EQ(maria.mysqlServer->password, "p w");
    // A data source of it is read from its registration, the string's own entries first.
    const struct
    {
        QString text;
        DbServerSettings server;
    } registered[] = {
        {"DSN=Shop", {"db.shop", 3307, "shop", "clerk", "p;w={x}"}},
        {"DSN=Shop;UID=me;Password=mine;Option=3", {"db.shop", 3307, "shop", "me", "mine"}},
        {"Driver={MariaDB Unicode};Server=h;DB=d;Option=3", {"h", 0, "d", "", ""}},
    };
    for (const auto& c : registered) {
        const OdbcRequest request = CheckOdbcString(c.text, {}, TestRegistry());
        EXPECT_EQ(request.refusal, QString()) << c.text.toStdString();
        ASSERT_TRUE(request.mysqlServer.has_value()) << c.text.toStdString();
        EXPECT_EQ(request.mysqlServer->host, c.server.host);
        EXPECT_EQ(request.mysqlServer->port, c.server.port);
        EXPECT_EQ(request.mysqlServer->database, c.server.database);
        EXPECT_EQ(request.mysqlServer->user, c.server.user);
        EXPECT_EQ(request.mysqlServer->password, c.server.password);
    }
}

// No message shows a password or anything that may be a piece of one (what follows a
// password key), whatever makes the string refused; each says what works instead.
TEST(CheckOdbcString, NoMessageShowsAPieceOfAPassword)
{
    const QString after = QStringLiteral("数据源“库存”的连接字符串在密码之后含有不接受的内容，不允许使用：");
    const QString quoted = QStringLiteral("数据源“库存”的连接字符串中“PWD”的值含有 {、}、;、=、控制字符或首尾空格，不允许使用：");
    const QString advice = QStringLiteral(
        "连接字符串中的密码不能含有 {、}、;、= 或控制字符，也不能加引号或括号；请改用不含这些字符的密码，或把密码写入用 "
        "odbcinst 在 unixODBC 中注册的数据源，标签再以 DSN 指定该数据源。PostgreSQL 和 MySQL 数据库也可以改用本程序的 "
        "PostgreSQL、MySQL 数据源。");
    const struct
    {
        QString text;
        QString message;
    } cases[] = {
        {"DSN=Stock;PWD=ab;Zq7cd", after + advice},
        {"DSN=Stock;Password=Zq7a;UID=u;Zq7" + QString(600, u'x'), after + advice},
        {"PWD=Zq7a;Driver=/Zq7/evil.so", QStringLiteral("数据源“库存”的连接字符串以路径指定驱动程序库，不允许使用：只能使用在 "
                                                        "unixODBC 中注册的驱动程序和数据源。")},
        {"PWD=Zq7a;DSN=Zq7", QStringLiteral("数据源“库存”的连接字符串指定的数据源名未在 unixODBC 中注册，不允许使用：只能使用在 "
                                            "unixODBC 中注册的驱动程序和数据源。用 odbcinst -q -s 可列出已注册的数据源。")},
        {"DSN=Stock;PWD={Zq7;Zq7}", quoted + advice},
        {"DSN=Stock;PWD=Zq7=a", quoted + advice},
        {QStringLiteral("DSN=Stock;PWD=Zq7码"),
            QStringLiteral("数据源“库存”的连接字符串中“PWD”的值含有会被 ODBC 驱动程序管理器读作 {、}、;、= 或控制字符的字符，"
                           "不允许使用：unixODBC 只按每个字符的低位字节读取连接字符串，这样的字符会被读作分隔符；请改用其他字符，"
                           "或把这个值写入用 odbcinst 在 unixODBC 中注册的数据源，标签再以 DSN 指定该数据源。PostgreSQL 和 "
                           "MySQL 数据库也可以改用本程序的 PostgreSQL、MySQL 数据源。")},
        {QStringLiteral("Driver={PostgreSQL Unicode}；Server＝/Zq7"),
            QStringLiteral("数据源“库存”的连接字符串含有全角字符“；”，不允许使用：本程序只把半角的“;”和“=”读作分隔符，请改用半角字符。")},
    };
    for (const auto& c : cases) {
        const OdbcRequest request = CheckOdbcString(c.text, QStringLiteral("库存"), TestRegistry());
        EXPECT_EQ(request.refusal, c.message) << c.text.toStdString();
        EXPECT_FALSE(request.refusal.contains("Zq7")) << c.text.toStdString();
    }
    // A pair after a password is refused by its key, as anywhere else, never by its value,
    // with what to do if it is the rest of a password.
    const QString note = QStringLiteral("这一项在密码之后：如果它是密码中“;”之后的部分，请改用不含 {、}、;、= 或控制字符"
                                        "的密码，或把密码写入用 odbcinst 在 unixODBC 中注册的数据源。");
    const struct
    {
        QString text;
        QString fault;
    } keyed[] = {
        {"DSN=Stock;PWD=ab;Timeout=Zq7ef", QStringLiteral("含有不接受的关键字“Timeout”")},
        {"DSN=Stock;PWD=Zq7a;Port=Zq7x", QStringLiteral("中“Port”的值不是可接受的值")},
        {"DSN=Stock;PWD=Zq7a;Server= Zq7", QStringLiteral("中“Server”的值含有 {、}、;、=、控制字符或首尾空格")},
        {QStringLiteral("DSN=Stock;PWD=Zq7a;Server=Zq7Ļ"),
            QStringLiteral("中“Server”的值含有会被 ODBC 驱动程序管理器读作 {、}、;、= 或控制字符的字符")},
        {"Driver={PostgreSQL Unicode};PWD=Zq7a;Option=1", QStringLiteral("含有不接受的关键字“Option”")},
        {"Driver={FreeTDS};PWD=Zq7a;ReadOnly=1", QStringLiteral("含有不接受的关键字“ReadOnly”")},
    };
    for (const auto& c : keyed) {
        const OdbcRequest request = CheckOdbcString(c.text, QStringLiteral("库存"), TestRegistry());
        EXPECT_TRUE(request.refusal.startsWith(QStringLiteral("数据源“库存”的连接字符串") + c.fault + "，不允许使用："))
            << request.refusal.toStdString();
        EXPECT_TRUE(request.refusal.endsWith(note)) << request.refusal.toStdString();
        EXPECT_FALSE(request.refusal.contains("Zq7")) << c.text.toStdString();
    }
    // The provider dialogs' password, typed beside the string, is refused the same way.
    const AdoRoute route
        = RouteAdo("Provider=SQLOLEDB;Server=h;Database=d;", "sa", "Pa;ss=w0rdZq7", {"FreeTDS"}, QStringLiteral("库存"));
    EXPECT_EQ(route.error, QStringLiteral("数据源“库存”的“密码”的值含有 {、}、;、=、控制字符或首尾空格，不允许使用：") + advice);
}

// Whatever a driver would read as a key, a library, a file or a log is refused
// before any of it is sent: characters that narrow to delimiters, braces read one
// way by the driver manager and another by the drivers, keys off the list, values
// needing quotes, unregistered names and an SQLite file that does not exist.
// Of the registered drivers FreeTDS alone reads "host,port" (psqlODBC hands libpq a list of
// hosts, and the MariaDB drivers are reached by the program's own client): a port there and
// in Port is refused, also where the server comes from a data source's registration, and the
// message says the port is given twice.
TEST(CheckOdbcString, APortAfterFreeTdssServerAndInPortIsGivenTwice)
{
    OdbcRegistry registry = TestRegistry();
    registry.dataSources.append({"Tds", "FreeTDS", {{"Server", "db.example,1444"}}});
    registry.dataSources.append({"TdsPlain", "FreeTDS", {{"Server", "db.example"}, {"Port", "1444"}}});
    const QString twice = QStringLiteral("数据源“库存”的连接字符串把端口指定了两次：服务器名之后一次，“Port”中一次");
    for (const QString& text : QStringList {"Driver={FreeTDS};Port=1433;Server=127.0.0.1,1444",
             "Driver=FreeTDS;Server=h,1433;Port=1433", "Driver=FreeTDS;Servername=h, 1444x;Port=1433",
             "DSN=Tds;Port=1433"}) {
        const OdbcRequest request = CheckOdbcString(text, QStringLiteral("库存"), registry);
        EXPECT_TRUE(request.refusal.startsWith(twice)) << text.toStdString() << ": " << request.refusal.toStdString();
        EXPECT_TRUE(request.text.isEmpty());
    }
    EXPECT_TRUE(CheckOdbcString("Driver=FreeTDS;Server=h,1444;Port=0", {}, registry)
                    .refusal.contains(QStringLiteral("端口“0”不在 1 到 65535 之间")));
    for (const QString& text : QStringList {"Driver=FreeTDS;Server=h;Port=1433", "Driver=FreeTDS;Server=h,1433",
             "Driver=FreeTDS;Server=h\\inst;Port=1433", "Driver=FreeTDS;Server=h,x;Port=1433", "DSN=Tds",
             "DSN=TdsPlain;Port=1433", "Driver={PostgreSQL Unicode};Server=h,g;Port=5432"}) {
        const OdbcRequest request = CheckOdbcString(text, {}, registry);
        EXPECT_EQ(request.refusal, QString()) << text.toStdString();
        EXPECT_FALSE(request.text.isEmpty()) << text.toStdString();
    }
}

TEST(CheckOdbcString, RefusesWhatADriverCouldReadAsMore)
{
    QTemporaryDir dir;
    const QString db = dir.filePath("a.db");
    QFile(db).open(QIODevice::WriteOnly);
    const QString key = QStringLiteral("含有不接受的关键字");
    const QString value = QStringLiteral("的值含有 {、}、;、=、控制字符或首尾空格");
    const QString path = QStringLiteral("以路径指定驱动程序库");
    const QString unregistered = QStringLiteral("未在 unixODBC 中注册");
    const struct
    {
        QString text;
        QString why;
    } refused[] = {
        {QStringLiteral("ńriver=/tmp/evil.so"), key + QStringLiteral("“ńriver”")},
        {QStringLiteral("Database=x.dbĻDriver=/tmp/evil.so;Driver=SQLite3"), QStringLiteral("“Database”") + value},
        {QStringLiteral("Driver=SQLite3;LoadExtĽ/tmp/evil.so"), key + QStringLiteral("“LoadExtĽ/tmp/evil.so”")},
        {"Driver=SQLite3;Database=" + db + ";X={a}};LoadExt=/tmp/evil.so;}", key + QStringLiteral("“X”")},
        {"Driver=SQLite3;X={;LoadExt=/tmp/evil.so}", key + QStringLiteral("“X”")},
        {"Driver=FreeTDS;X={a}};DumpFile=/tmp/victim.txt;}", key + QStringLiteral("“X”")},
        {"Database={a;Driver=/tmp/evil.so};Driver=SQLite3;", QStringLiteral("“Database”") + value},
        {"DSN=Stock;PWD={p;w}}d}", QStringLiteral("“PWD”") + value},
        {"Driver={PostgreSQL Unicode};Server=h;pqopt=x", key + QStringLiteral("“pqopt”")},
        {"Driver={PostgreSQL Unicode};Debug=1", QStringLiteral("“Debug”的值不是可接受的值")},
        {"DSN=Stock;CommLog=1", QStringLiteral("“CommLog”的值不是可接受的值")},
        {"Driver=FreeTDS;ClientCharset=IBM1047", QStringLiteral("“ClientCharset”的值不是可接受的值")},
        {"Driver=FreeTDS;TDS_Version=../x", QStringLiteral("“TDS_Version”的值不是可接受的值")},
        {"Driver=FreeTDS;Port=1433x", QStringLiteral("“Port”的值不是可接受的值")},
        {"Driver=FreeTDS;PWD=" + QString(501, u'a'), QStringLiteral("“PWD”的值过长")},
        {"Driver=FreeTDS;Server=h;" + QString(4000, u';'), QStringLiteral("连接字符串过长")},
        {QStringLiteral("Driver=ſQLite3"), unregistered},
        {"Driver=SQLite3;Database=" + db + ";TraceFile=/tmp/t", key + QStringLiteral("“TraceFile”")},
        {"DSN=Stock;FILEDSN=/tmp/x.dsn", key + QStringLiteral("“FILEDSN”")},
        {"Driver=SQLite3;SaveFile=/tmp/out.dsn", key + QStringLiteral("“SaveFile”")},
        {"DSN=Stock;DMConnAttr=[105]=/tmp/trace", key + QStringLiteral("“DMConnAttr”")},
        {"Driver=FreeTDS;Server= h", QStringLiteral("“Server”") + value},
        {"Driver=FreeTDS;Server=h\n", QStringLiteral("“Server”") + value},
        {"Driver=FreeTDS;Server=h;{Port}=1", key + QStringLiteral("“{Port}”")},
        {"Driver=/tmp/evil.so;", path},
        {"DRIVER={/tmp/evil.so};", path},
        {"Driver=SQLite3;Driver=../evil.so", QStringLiteral("中“Driver”出现了不止一次")},
        {"Driver=libsqlite3odbc.so;", unregistered},
        {"DSN=Nope;", unregistered},
        {"Driver=;DSN=Stock", QStringLiteral("中“Driver”的值为空")},
        {"DSN=;Driver=FreeTDS", QStringLiteral("中“DSN”的值为空")},
        {"DSN=Labels;Driver=FreeTDS;Database=/tmp/new.db", QStringLiteral("同时指定了驱动程序（Driver）和数据源名（DSN）")},
        {"Driver=MDBTools;DBQ=" + dir.path(), QStringLiteral("中的 Access 数据库")},
        {"Driver=MDBTools", QStringLiteral("中的 Access 数据库")},
        {"Server=h", QStringLiteral("没有指定驱动程序")},
        {"Driver=SQLite3;Database=" + dir.filePath("new.db"), QStringLiteral("不是已有的文件")},
        {"DSN=Labels;Database=" + dir.filePath("new.db"), QStringLiteral("不是已有的文件")},
        {"Driver=SQLite3;Database=" + dir.path(), QStringLiteral("不是已有的文件")},
        {"Driver=SQLite3;", QStringLiteral("没有指定 SQLite 数据库文件")},
        {"DSN=Labels", QStringLiteral("没有指定 SQLite 数据库文件")},
        // The driver manager reads the low byte of each character: Ļ is ";", Ľ "=", ń "D",
        // 北 (U+5317) a control character and 😀 holds "=" and a nul.
        {QStringLiteral("Server=hĻDriverĽ/tmp/evil.so;Driver={PostgreSQL Unicode}"),
            QStringLiteral("“Server”的值含有会被 ODBC 驱动程序管理器读作")},
        {QStringLiteral("DSN=Stock;Database=北京"), QStringLiteral("“Database”的值含有会被 ODBC 驱动程序管理器读作")},
        {QStringLiteral("DSN=Stock;UID=😀"), QStringLiteral("“UID”的值含有会被 ODBC 驱动程序管理器读作")},
        {QStringLiteral("DSN=Stock;Server=hĠ"), QStringLiteral("“Server”的值含有会被 ODBC 驱动程序管理器读作")},
        {QStringLiteral("ńSN=Stock"), key + QStringLiteral("“ńSN”")},
        {QStringLiteral("DſN=Stock"), key + QStringLiteral("“DſN”")},
        {QStringLiteral("DSN=Lagerń"), QStringLiteral("驱动程序名或数据源名含有非 ASCII 字符")},
        // MariaDB's option bits are read by no other driver.
        {"Driver=FreeTDS;Option=3", key + QStringLiteral("“Option”")},
        {"Driver=FreeTDS;Option=3;DumpFile=x", key + QStringLiteral("“DumpFile”")},
        {"Driver={MariaDB Unicode};Option=3 or 1", QStringLiteral("“Option”的值不是可接受的值")},
        // ReadOnly is psqlODBC's alone, and only as 0 or 1.
        {"Driver=FreeTDS;ReadOnly=1", key + QStringLiteral("“ReadOnly”")},
        {"Driver={PostgreSQL Unicode};ReadOnly=Yes", QStringLiteral("“ReadOnly”的值不是可接受的值")},
        // A registered driver given by its library's path is named by its registered name.
        {"Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", path + QStringLiteral("（已注册为“FreeTDS”）")},
    };
    for (const auto& c : refused) {
        const OdbcRequest request = CheckOdbcString(c.text, QStringLiteral("库存"), TestRegistry());
        EXPECT_TRUE(request.text.isEmpty()) << c.text.toStdString();
        EXPECT_TRUE(request.refusal.startsWith(QStringLiteral("数据源“库存”的连接字符串")))
            << c.text.toStdString() << ": " << request.refusal.toStdString();
        EXPECT_TRUE(request.refusal.contains(c.why)) << c.text.toStdString() << ": " << request.refusal.toStdString();
    }
    // A path is a value: shown by no refusal.
    EXPECT_EQ(CheckOdbcString("Driver=/tmp/evil.so", "", TestRegistry()).refusal,
        QStringLiteral("连接字符串以路径指定驱动程序库，不允许使用：只能使用在 unixODBC 中注册的驱动程序和数据源。"));
    EXPECT_FALSE(CheckOdbcString("Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "", TestRegistry())
                     .refusal.contains(".so"));
    EXPECT_TRUE(CheckOdbcString("DSN=Stock;pqopt=x", "", TestRegistry())
                    .refusal.endsWith(QStringLiteral("其他选项请写入用 odbcinst 在 unixODBC 中注册的数据源，"
                                                     "标签再以 DSN 指定该数据源。")));
    EXPECT_FALSE(QFile::exists(dir.filePath("new.db")));
}

// Through the real driver manager and drivers: none of the strings that once loaded
// a library, wrote a log or a dump, or created a database gets that far.
TEST(CheckOdbcString, NothingIsLoadedWrittenOrCreated)
{
    QTemporaryDir dir;
    MarkerLibrary evil;
    QString error;
    if (!BuildMarkerLibrary(dir.path(), evil, error))
        GTEST_SKIP() << error.toStdString();
    const QString db = dir.filePath("a.db");
    {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(db).constData(), &handle), SQLITE_OK);
        sqlite3_exec(handle, "create table T (x)", nullptr, nullptr, nullptr);
        sqlite3_close(handle);
    }
    const QString victim = dir.filePath("victim.txt");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me\n");
    }
    const QString created = dir.filePath("created.db");
    const QString e = evil.path;
    const QStringList texts {QStringLiteral("ńriver=") + e, QStringLiteral("Driver=SQLite3;Database=x.dbĻDriver=") + e,
        QStringLiteral("Driver=SQLite3;Database=") + db + QStringLiteral(";LoadExtĽ") + e,
        "Driver=SQLite3;Database=" + db + ";X={a}};LoadExt=" + e + ";}",
        "Driver=SQLite3;Database=" + db + ";X={;LoadExt=" + e + "}",
        "Driver=SQLite3;Database=" + db + ";X={;TraceFile=" + victim + "}",
        "Driver=FreeTDS;Server=127.0.0.1;X={a}};DumpFile=" + victim + ";}",
        "Driver={PostgreSQL Unicode};Server=127.0.0.1;pqopt={sslkey=" + e + ":k}",
        "Driver={PostgreSQL Unicode};Server=127.0.0.1;Debug=1;CommLog=1;Logdir=" + dir.path(),
        "Driver=SQLite3;Database=" + created, QStringLiteral("Driver=SQLite3;"),
        // A value the check saw whole must not be cut where the driver manager stops reading.
        "Driver=FreeTDS;Server=127.0.0.1;PWD=" + QString(65500, u'a') + ";Database=" + created};
    for (const QString& text : texts) {
        auto odbc = DbConnection::OpenOdbc(text, QStringLiteral("库存"));
        EXPECT_FALSE(odbc->IsOpen()) << text.toStdString();
        EXPECT_TRUE(odbc->Refused()) << text.toStdString() << ": " << odbc->LastError().toStdString();
        auto ado = DbConnection::OpenAdo("Provider=MSDASQL;Extended Properties=\"" + text + "\"", "", "");
        EXPECT_TRUE(ado->Refused()) << text.toStdString() << ": " << ado->LastError().toStdString();
    }
    // The provider sources' fields are values, never pairs of their own.
    for (const char* provider : {"SQLOLEDB", "Sybase.ASEOLEDBProvider"}) {
        const QString fields = QStringLiteral("Provider=%1;Server=127.0.0.1;Database=\"a};DumpFile=%2;\";")
                                   .arg(QLatin1String(provider), victim);
        auto byDatabase = DbConnection::OpenAdo(fields, "u", "p", QStringLiteral("库存"));
        EXPECT_TRUE(byDatabase->LastError().startsWith(QStringLiteral("数据源“库存”的“数据库”的值含有")))
            << byDatabase->LastError().toStdString();
        auto byPassword = DbConnection::OpenAdo(
            QStringLiteral("Provider=%1;Server=127.0.0.1;Database=d;").arg(QLatin1String(provider)), "u",
            "x};DumpFile=" + victim + ";", QStringLiteral("库存"));
        EXPECT_TRUE(byPassword->Refused());
        EXPECT_TRUE(byPassword->LastError().contains(QStringLiteral("“密码”的值含有")))
            << byPassword->LastError().toStdString();
    }
    // The SQLite driver's files are read by the program, where a statement can neither
    // load a library nor write or attach a file.
    {
        auto sqlite = DbConnection::OpenOdbc("Driver=SQLite3;Database=" + db);
        ASSERT_TRUE(sqlite->IsOpen()) << sqlite->LastError().toStdString();
        DbRows rows;
        for (const QString& sql : QStringList {"select load_extension('" + e + "')",
                 "select count(*) from (select load_extension('" + e + "')) t", "vacuum into '" + created + "'",
                 "attach '" + created + "' as other", "create table U (x)",
                 "pragma temp_store_directory = '" + dir.path() + "'", "select hex(fts3_tokenizer('simple'))"}) {
            EXPECT_FALSE(sqlite->Query(sql, rows)) << sql.toStdString();
            EXPECT_FALSE(sqlite->OpenCursor(sql)->Fetch(1, rows)) << sql.toStdString();
        }
        ASSERT_TRUE(sqlite->Query("select count(*) from T", rows)) << sqlite->LastError().toStdString();
    }
    // The SQLite driver is known by the library unixODBC registered for it.
    EXPECT_TRUE(DbConnection::OpenOdbc("Driver=SQLite3;Database=" + created)
                    ->LastError()
                    .contains(QStringLiteral("不是已有的文件")));
    EXPECT_FALSE(QFile::exists(evil.marker));
    EXPECT_FALSE(QFile::exists(created));
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me\n");
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 4); // a.db, victim, library, source

    // The library does what the test says it would, once it is loaded.
    QLibrary library(evil.path);
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    EXPECT_TRUE(QFile::exists(evil.marker));
}

namespace {

// Counts the rows and reads the Chinese, accented and astral ones of the servers' table.
void ExpectEveryPersonRead(DbConnection& db, const std::string& what)
{
    ASSERT_TRUE(db.IsOpen()) << what << ": " << db.LastError().toStdString();
    DbRows rows;
    const bool quoted = db.IdentifierQuote() == "\""; // PostgreSQL's "People", not its people
    ASSERT_TRUE(db.Query(quoted ? "select count(*) from \"People\"" : "select count(*) from People", rows))
        << what << ": " << db.LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "100") << what;
    const QString sql = quoted ? QStringLiteral("select \"Id\", \"City\", \"Note\" from \"People\" order by \"Id\"")
                               : QStringLiteral("select Id, City, Note from People order by Id");
    ASSERT_TRUE(db.Query(sql, rows)) << what << ": " << db.LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 100) << what;
    EXPECT_EQ(rows.Row(8), (QStringList {"9", QStringLiteral("北京"), "note 9"})) << what;
    EXPECT_EQ(rows.Value(9, 1), QStringLiteral("Zürich")) << what;
    EXPECT_TRUE(rows.IsNull(9, 2)) << what;
    EXPECT_EQ(rows.Value(10, 1), QStringLiteral("city 😀")) << what;
}

} // namespace

// What users' machines carry reaches the test servers and reads every row in a locale
// that is not UTF-8: both PostgreSQL drivers Debian registers, an ADO string written by
// ADO's own dialog, and data sources of PostgreSQL (as psqlODBC spells its entries),
// MariaDB (with its option bits) and SQLite registered in odbc.ini.
TEST(DbOdbcRegistered, UsersConnectionsReadEveryRowInTheCLocale)
{
    VC_TEST_SERVER(pg, "VC_PG");
    VC_TEST_SERVER(my, "VC_MY");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("标签.db"));
    ASSERT_TRUE(WritePeopleFile(file));
    const OwnOdbcIni ini(UsersOdbcIni(pg, my, file));
    const LocaleFor locale("C");
    for (const QString& text : UsersConnectionStrings(pg, my))
        ExpectEveryPersonRead(*DbConnection::OpenAdo(text, "", ""), text.toStdString());
}

// The reproduction of a character that narrows to a delimiter on the wide route: the
// driver manager would read "Server=h;Driver=<library>" and load the library first.
TEST(CheckOdbcString, ACharacterNarrowingToADelimiterLoadsNothing)
{
    QTemporaryDir dir;
    MarkerLibrary evil;
    QString error;
    if (!BuildMarkerLibrary(dir.path(), evil, error))
        GTEST_SKIP() << error.toStdString();
    for (const QString& text : QStringList {QStringLiteral("Server=127.0.0.1ĻDriverĽ") + evil.path + ";Driver={PostgreSQL Unicode}",
             QStringLiteral("Server=127.0.0.1;UID=uĻDriverĽ") + evil.path + ";Driver=FreeTDS",
             QStringLiteral("Server=127.0.0.1;ńriverĽ") + evil.path + ";Driver=FreeTDS"}) {
        auto db = DbConnection::OpenOdbc(text, QStringLiteral("库存"));
        EXPECT_TRUE(db->Refused()) << text.toStdString() << ": " << db->LastError().toStdString();
    }
    EXPECT_FALSE(QFile::exists(evil.marker));
}
