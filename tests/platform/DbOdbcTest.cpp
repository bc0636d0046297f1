// The ODBC backend through real drivers: the SQLite ODBC driver on a file written
// here, the PostgreSQL ODBC driver against the throwaway server, and FreeTDS
// against a loopback port where nothing listens.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "MarkerLibrary.h"
#include "RowWindowCases.h"
#include "platform/db/Ado.h"
#include "platform/db/DbConnection.h"

#include "TestSupport.h"

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
        connectionString = QStringLiteral("Driver=SQLite3;Database=%1;").arg(OdbcValue(path));
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
        .arg(OdbcValue(s.database), OdbcValue(s.user), OdbcValue(s.password));
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
    // StepAPI: the driver steps the statement row by row instead of reading it whole.
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
                                     .arg(server.host, QString::number(server.port), OdbcValue(server.database));
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

// Only names registered with unixODBC reach the driver manager, read as it reads a
// string: braces with "}}" inside, keys in any case and with blanks, the last of
// repeated keys winning (so every one counts).
TEST(OdbcRefusal, DriversAndDataSourcesByRegisteredNameAndNoFileKeys)
{
    const QStringList drivers {"SQLite3", "PostgreSQL Unicode"};
    const QStringList sources {"Stock"};
    for (const char* text : {"Driver=SQLite3;Database=/tmp/a.db;", "driver={postgresql unicode};Server=h;",
             "DSN=Stock;UID=a;PWD={p;w}}d}", "dsn=stock", "Database={a;Driver=/tmp/evil.so};Driver=SQLite3;",
             "Driver=SQLite3;CommLog=0;Debug=0;", "Server=h"}) {
        EXPECT_EQ(OdbcRefusal(QString::fromUtf8(text), "S", drivers, sources), QString()) << text;
    }
    const QString path = QStringLiteral("以路径指定驱动程序库");
    const QString unregistered = QStringLiteral("未在 unixODBC 中注册");
    const QString fileKey = QStringLiteral("含有载入程序库或读写文件的关键字");
    const struct
    {
        const char* text;
        const QString& why;
    } refused[] = {{"Driver=/tmp/evil.so;", path}, {"DRIVER={/tmp/evil.so};", path}, {" driver = /tmp/evil.so ;", path},
        {"Driver=SQLite3;Driver=/tmp/evil.so", path}, {"Driver=/tmp/evil.so;Driver=SQLite3", path},
        {"Database={a}}};Driver=/tmp/evil.so;", path}, {"PWD=a{b;Driver=/tmp/evil.so", path},
        {"Driver={SQLite3}/tmp/evil.so;", path}, {"Driver={../evil.so}", path},
        {"Driver=libsqlite3odbc.so;", unregistered}, {"Driver=SQLite3 ;", unregistered},
        {"Driver=;DSN=Stock", unregistered}, {"DSN=Nope;", unregistered}, {"DSN=Stock;FILEDSN=/tmp/x.dsn", fileKey},
        {"Driver=SQLite3;SaveFile=/tmp/out.dsn", fileKey}, {"DSN=Stock;DMConnAttr=[105]=/tmp/trace", fileKey},
        {"Driver=SQLite3;LoadExt=/tmp/evil.so", fileKey}, {"Driver=SQLite3;TraceFile=/tmp/t", fileKey},
        {"DSN=Stock;Dump File=/tmp/d", fileKey}, {"DSN=Stock;dump_file=/tmp/d", fileKey},
        {"DSN=Stock;Logdir=/tmp", fileKey}, {"DSN=Stock;Setup=/tmp/evil.so", fileKey}};
    for (const auto& c : refused) {
        const QString why = OdbcRefusal(QString::fromUtf8(c.text), QStringLiteral("库存"), drivers, sources);
        EXPECT_TRUE(why.startsWith(QStringLiteral("数据源“库存”的连接字符串"))) << c.text << ": " << why.toStdString();
        EXPECT_TRUE(why.contains(c.why)) << c.text << ": " << why.toStdString();
        EXPECT_TRUE(why.endsWith(QStringLiteral("只能使用在 unixODBC 中注册的驱动程序和数据源。"))) << c.text;
    }
    EXPECT_EQ(OdbcRefusal("Driver=/tmp/evil.so", "", drivers, sources),
        QStringLiteral("连接字符串以路径指定驱动程序库“/tmp/evil.so”，不允许使用：只能使用在 unixODBC "
                       "中注册的驱动程序和数据源。"));
}

// A string naming a library by path is refused before the driver manager sees it,
// by every way a connection is opened, and the library stays unloaded; a server
// typed into the stored fields of a provider source stays a value.
TEST(OdbcRefusal, ALibraryNamedByPathIsNeverLoaded)
{
    QTemporaryDir dir;
    MarkerLibrary evil;
    QString error;
    if (!BuildMarkerLibrary(dir.path(), evil, error))
        GTEST_SKIP() << error.toStdString();
    const QString driver = "Driver=" + OdbcValue(evil.path) + ";";
    for (const QString& text :
        QStringList {driver, "Driver={" + evil.path + "};Database=x;", "  DRIVER = " + evil.path}) {
        auto db = DbConnection::OpenOdbc(text, QStringLiteral("标签数据"));
        EXPECT_FALSE(db->IsOpen());
        EXPECT_TRUE(db->LastError().startsWith(QStringLiteral("数据源“标签数据”的连接字符串以路径指定驱动程序库")))
            << db->LastError().toStdString();
    }
    for (const QString& text :
        QStringList {driver, "Provider=MSDASQL;" + driver, "Provider=MSDASQL;Extended Properties=\"" + driver + "\""}) {
        auto db = DbConnection::OpenAdo(text, "u", "p");
        EXPECT_FALSE(db->IsOpen());
        EXPECT_TRUE(db->LastError().contains(evil.path)) << db->LastError().toStdString();
    }
    EXPECT_FALSE(QFile::exists(evil.marker));

    for (const char* provider : {"SQLOLEDB", "Sybase.ASEOLEDBProvider"}) {
        const AdoRoute route
            = RouteAdo(QStringLiteral("Provider=%1;Server=\"h;%2\";Database=\"d;%2\";").arg(provider, driver), "u", "p",
                {"FreeTDS"});
        int drivers = 0;
        for (const OdbcPair& pair : OdbcPairs(route.odbc))
            drivers += pair.key.compare("Driver", Qt::CaseInsensitive) == 0 ? 1 : 0;
        EXPECT_EQ(drivers, 1) << route.odbc.toStdString();
        EXPECT_EQ(OdbcRefusal(route.odbc, "", {"FreeTDS"}, {}), QString()) << route.odbc.toStdString();
    }

    // The library does what the test says it would, once it is loaded.
    QLibrary library(evil.path);
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    EXPECT_TRUE(QFile::exists(evil.marker));
}
