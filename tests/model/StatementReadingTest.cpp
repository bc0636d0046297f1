// A statement is read as its own server reads it: PostgreSQL with standard_conforming_strings
// on and MariaDB without NO_BACKSLASH_ESCAPES each take a quote the other reads otherwise,
// through the loader a preview and a print job use, by the program's own clients and by a
// connection string naming the server's ODBC driver. What every reading refuses connects to
// nothing; what the server's own reading refuses is refused once it is connected.
#include "ClosedPort.h"
#include "DbTestEnv.h"
#include "model/DLBase.h"
#include "model/DSBase.h"
#include "model/SqlStatements.h"
#include "platform/Crypt.h"
#include "platform/VXException.h"
#include "platform/db/DbWait.h"

#include <gtest/gtest.h>

namespace {

const QString kPathStatement = QStringLiteral("select * from vc_stmt_paths where path <> 'C:\\data\\' order by 1");
const QString kNameStatement = QStringLiteral("select * from vc_stmt_names where name <> 'it\\'s' order by 1");

QString WritePaths(const DbServerSettings& s)
{
    static const QString failure = WriteOnTestServer(s, true,
        QStringLiteral("drop table if exists vc_stmt_paths; create table vc_stmt_paths (path text); "
                       "insert into vc_stmt_paths values ('C:\\data\\'), ('D:\\x');"));
    return failure;
}

QString WriteNames(const DbServerSettings& s)
{
    static const QString failure = WriteOnTestServer(s, false,
        QStringLiteral("drop table if exists vc_stmt_names; create table vc_stmt_names (name varchar(20)); "
                       "insert into vc_stmt_names values ('it\\'s'), ('its');"));
    return failure;
}

// The fields are those a preview of the statement found.
void DescribeStatement(CDSBase& ds, const QString& sql, const QString& field = QStringLiteral("a"))
{
    ds.m_strName = QStringLiteral("读法");
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = sql;
    ds.m_selectedFields = QStringList {field};
}

// What a preview reads: the first rows through the source's own loader.
QStringList PreviewValues(CDSBase& ds, QString* error = nullptr)
{
    std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(ds.GetType());
    loader->SetDataSource(&ds);
    LoaderRow rows;
    if (!loader->LoadRows(1, 10, rows)) {
        if (error)
            *error = loader->GetLastError();
        return {QStringLiteral("<failed>")};
    }
    QStringList values;
    for (int r = 0; r < rows.RowCount(); ++r)
        values.append(rows.Value(r, 0));
    return values;
}

QString OdbcString(const char* driver, const DbServerSettings& s)
{
    return QStringLiteral("Driver={%1};Server=%2;Port=%3;Database=%4;UID=%5;PWD=%6;")
        .arg(QLatin1String(driver), s.host, QString::number(s.port), s.database, s.user, s.password);
}

// The hidden attack refused once connected, as the server's reading finds it, and the
// harmless statement read after it on the same sources.
void ExpectRefusedThenRead(std::initializer_list<CDSBase*> sources, const QString& hidden, const QString& reading,
    const QString& statement, const QString& field, const QStringList& expected)
{
    for (CDSBase* source : sources) {
        DescribeStatement(*source, hidden);
        QString error;
        EXPECT_EQ(PreviewValues(*source, &error), QStringList {QStringLiteral("<failed>")});
        EXPECT_TRUE(error.contains(QStringLiteral("右括号多于左括号（按 %1 的读法）").arg(reading))) << error.toStdString();
        DescribeStatement(*source, statement, field);
        EXPECT_EQ(PreviewValues(*source), expected);
    }
}

} // namespace

TEST(StatementReading, PostgreSQLWithStandardStringsTakesABackslashAtAQuotesEnd)
{
    VC_TEST_SERVER(server, "VC_PG");
    ASSERT_EQ(WritePaths(server), "");
    const QStringList expected {QStringLiteral("D:\\x")};

    CPostgreSQLDS ds;
    StoreLogin(ds, server);
    DescribeStatement(ds, kPathStatement, QStringLiteral("path"));
    EXPECT_EQ(PreviewValues(ds), expected);
    if (const std::optional<DbServerSettings> pooler = TestServerSettings("VC_PGB")) {
        DbServerSettings through = server;
        through.host = pooler->host;
        through.port = pooler->port;
        StoreLogin(ds, through);
        EXPECT_EQ(PreviewValues(ds), expected) << "through the pooler";
    }

    CCustomDS custom;
    custom.m_strConnectionString = EncryptString(OdbcString("PostgreSQL Unicode", server));
    DescribeStatement(custom, kPathStatement, QStringLiteral("path"));
    EXPECT_EQ(PreviewValues(custom), expected);

    // A quote that would hide the wrapper's ")" were '\' an escape: let through to the
    // connection, refused as the server reads it, the table untouched.
    const QString hidden = QStringLiteral("select path from vc_stmt_paths where path <> 'a\\') t; "
                                          "drop table vc_stmt_paths; --' order by 1");
    StoreLogin(ds, server);
    ExpectRefusedThenRead({&ds, &custom}, hidden, QStringLiteral("PostgreSQL"), kPathStatement, QStringLiteral("path"),
        expected);
}

TEST(StatementReading, MariaDBWithBackslashEscapesTakesAnEscapedQuote)
{
    VC_TEST_SERVER(server, "VC_MY");
    ASSERT_EQ(WriteNames(server), "");
    const QStringList expected {QStringLiteral("its")};

    CMySQLDS ds;
    StoreLogin(ds, server);
    DescribeStatement(ds, kNameStatement, QStringLiteral("name"));
    EXPECT_EQ(PreviewValues(ds), expected);

    CCustomDS custom;
    custom.m_strConnectionString = EncryptString(OdbcString("MariaDB Unicode", server));
    DescribeStatement(custom, kNameStatement, QStringLiteral("name"));
    EXPECT_EQ(PreviewValues(custom), expected);

    // What NO_BACKSLASH_ESCAPES would read as two texts is one open quote here.
    const QString hidden = QStringLiteral("select name from vc_stmt_names where name <> 'a\\' or name = ') t; "
                                          "drop table vc_stmt_names; -- '");
    ExpectRefusedThenRead({&ds, &custom}, hidden, QStringLiteral("MySQL/MariaDB"), kNameStatement, QStringLiteral("name"),
        expected);
}

// PostgreSQL takes "$٣$" as a dollar quote (a tag may start with any character outside
// ASCII, a digit of another script too): the statement that would close the frame, commit
// and write with it is refused on both routes and writes nothing; a query with the same
// quote reads.
TEST(StatementReading, ADollarQuoteTaggedOutsideAsciiHidesNoStatement)
{
    VC_TEST_SERVER(server, "VC_PG");
    static const QString failure = WriteOnTestServer(server, true,
        QStringLiteral("drop table if exists vc_stmt_marks; create table vc_stmt_marks (note text);"));
    ASSERT_EQ(failure, "");
    CPostgreSQLDS ds;
    StoreLogin(ds, server);
    CCustomDS custom;
    custom.m_strConnectionString = EncryptString(OdbcString("PostgreSQL Unicode", server));
    const QString attack = QStringLiteral("select $٣$'$٣$ as a) t; commit; insert into vc_stmt_marks values "
                                          "($٣$written by a label$٣$); commit; select * from (select $٣$'$٣$ as a");
    ExpectRefusedThenRead({&ds, &custom}, attack, QStringLiteral("PostgreSQL"), QStringLiteral("select $٣$it's$٣$ as a"),
        QStringLiteral("a"), {QStringLiteral("it's")});
    DescribeStatement(ds, QStringLiteral("select count(*) as n from vc_stmt_marks"), QStringLiteral("n"));
    EXPECT_EQ(PreviewValues(ds), QStringList {QStringLiteral("0")});
}

// Refused by every reading of the server the source reaches: nothing connects, and the
// refusal names that server's reading, also where a connection string's driver tells it.
TEST(StatementReading, WhatEveryReadingRefusesConnectsToNothing)
{
    KnockListener listener;
    DbServerSettings nowhere {QStringLiteral("127.0.0.1"), listener.Port(), QStringLiteral("db"), QStringLiteral("u"),
        QStringLiteral("p")};
    const QString twice = QStringLiteral("select 1; drop table t");
    const QString writes = QStringLiteral("update t set a = 1");

    CPostgreSQLDS pg;
    StoreLogin(pg, nowhere);
    CMySQLDS my;
    StoreLogin(my, nowhere);
    CCustomDS pgOdbc;
    pgOdbc.m_strConnectionString = EncryptString(OdbcString("PostgreSQL Unicode", nowhere));
    CCustomDS myOdbc;
    myOdbc.m_strConnectionString = EncryptString(OdbcString("MariaDB Unicode", nowhere));
    const struct
    {
        CDSBase* source;
        const char* reading;
    } cases[] = {{&pg, "PostgreSQL"}, {&my, "MySQL/MariaDB"}, {&pgOdbc, "PostgreSQL"}, {&myOdbc, "MySQL/MariaDB"}};
    for (const auto& c : cases) {
        for (const QString& sql : {twice, writes}) {
            DescribeStatement(*c.source, sql);
            QString error;
            EXPECT_EQ(PreviewValues(*c.source, &error), QStringList {QStringLiteral("<failed>")});
            EXPECT_TRUE(error.startsWith(QStringLiteral("数据源“读法”的SQL语句只能是一条读取数据的查询语句，")))
                << error.toStdString();
            EXPECT_TRUE(error.contains(QStringLiteral("（按 %1 的读法）。").arg(QLatin1String(c.reading))))
                << error.toStdString();
            EXPECT_FALSE(error.contains(QStringLiteral("SQLite"))) << error.toStdString();
            EXPECT_FALSE(listener.Knocked(0)) << c.reading << ": " << sql.toStdString();
        }
        std::unique_ptr<CDLBase> loader = CDLBase::CreateLoader(c.source->GetType());
        loader->SetDataSource(c.source);
        try {
            loader->GetRecordCount();
            ADD_FAILURE() << "counted the records of a statement that changes data";
        } catch (const CDataSourceException& e) {
            EXPECT_TRUE(QString::fromStdString(e.what()).contains(QStringLiteral("“update”语句会修改数据，而本程序只读取数据")))
                << e.what();
        }
    }
    EXPECT_FALSE(listener.Knocked(100));

    // The control: a query that some reading takes does knock (and gives up soon: no
    // server answers there).
    {
        const ShortConnects limits;
        DescribeStatement(pg, QStringLiteral("select 1 as a"));
        PreviewValues(pg);
    }
    EXPECT_TRUE(listener.Knocked(1000));
}

// Before connecting, a custom string's route tells the server by its driver, or by the
// driver of the data source it names; where it does not (FreeTDS reaches SQL Server and
// Sybase alike), the refusal names every reading.
TEST(StatementReading, TheRouteOfACustomStringTellsTheReadingBeforeConnecting)
{
    const OwnOdbcIni ini("[VcPgRoute]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\n\n"
                         "[VcMyRoute]\nDriver=MariaDB Unicode\nServer=127.0.0.1\n");
    QTemporaryDir dir;
    const QByteArray file = dir.filePath("route.db").toUtf8();
    ASSERT_TRUE(WriteSQLiteFile(QString::fromUtf8(file), "create table t(a);"));
    const QByteArray sqlite = "Driver={SQLite3};Database=" + file + ";";
    const struct
    {
        const char* connection;
        const char* reading;
    } routes[] = {
        {"Driver={PostgreSQL Unicode};Server=127.0.0.1;", "PostgreSQL"},
        {"DSN=VcPgRoute;", "PostgreSQL"},
        {"Provider=MSDASQL;DSN=VcMyRoute;", "MySQL/MariaDB"},
        {sqlite.constData(), "SQLite"},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/x.xlsx;Extended Properties=\"Excel 12.0;HDR=Yes\";",
            "SQLite"},
        {"Driver={FreeTDS};Server=127.0.0.1;", "SQLite、标准 SQL、PostgreSQL、MySQL/MariaDB 和 SQL Server"},
        {"", "SQLite、标准 SQL、PostgreSQL、MySQL/MariaDB 和 SQL Server"},
    };
    for (const auto& route : routes) {
        CCustomDS ds;
        ds.m_strConnectionString = EncryptString(QString::fromUtf8(route.connection));
        DescribeStatement(ds, QStringLiteral("select 1; select 2"));
        const QString refusal = CSqlStatements(DSCustom).RefusalBeforeConnecting(ds);
        EXPECT_TRUE(refusal.endsWith(QStringLiteral("分号之后不能再有语句（按 %1 的读法）。").arg(QString::fromUtf8(route.reading))))
            << route.connection << ": " << refusal.toStdString();
    }
    // A SQL Server source reaches T-SQL through its provider.
    CSQLServerDS server;
    DescribeStatement(server, QStringLiteral("select [a'] from t"));
    EXPECT_EQ(CSqlStatements(DSSQLServer).RefusalBeforeConnecting(server), "");
    DescribeStatement(server, QStringLiteral("exec xp_cmdshell 'id'"));
    EXPECT_TRUE(CSqlStatements(DSSQLServer).RefusalBeforeConnecting(server).endsWith(
        QStringLiteral("不能使用“xp_cmdshell”（按 SQL Server 的读法）。")));
}
