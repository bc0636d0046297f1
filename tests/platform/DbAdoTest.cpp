// Connection strings of the providers and where they are routed, without
// connecting: the ODBC text each provider becomes is what the drivers receive.
#include "platform/db/Ado.h"
#include "platform/db/DbConnection.h"
#include "platform/db/SQLiteStage.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {
const QStringList kDrivers {"PostgreSQL Unicode", "FreeTDS", "IBM DB2 ODBC DRIVER", "Oracle 21 ODBC driver"};
}

TEST(AdoConnectionString, ParsesQuotedValuesAndKeysWithoutCase)
{
    const AdoConnectionString cs(
        " Provider = Microsoft.ACE.OLEDB.12.0 ;Data Source=C:\\a b.xlsx;Extended Properties=\"Excel 12.0;HDR=Yes;\";"
        "Password='it''s';Empty=;");
    EXPECT_EQ(cs.Value({"provider"}), "Microsoft.ACE.OLEDB.12.0");
    EXPECT_EQ(cs.Value({"DATA SOURCE"}), "C:\\a b.xlsx");
    EXPECT_EQ(cs.Value({"Extended Properties"}), "Excel 12.0;HDR=Yes;");
    EXPECT_EQ(cs.Value({"Nope", "Password"}), "it's");
    EXPECT_TRUE(cs.Has("empty"));
    EXPECT_EQ(cs.Value({"Empty"}), "");
    EXPECT_FALSE(cs.Has("Nope"));
}

TEST(AdoRouting, ServerProvidersBecomeOdbcStringsWithEscapedValues)
{
    AdoRoute route = RouteAdo("Provider=SQLOLEDB;Server=db.example,1444;Database=Stock;", "sa", "p w'd", kDrivers);
    ASSERT_EQ(route.kind, AdoRoute::Odbc);
    EXPECT_EQ(route.odbc,
        "Driver=FreeTDS;Server=db.example;Port=1444;Database=Stock;UID=sa;PWD=p w'd;"
        "TDS_Version=7.4;ClientCharset=UTF-8;");

    route = RouteAdo(
        "Provider=Sybase.ASEOLEDBProvider;Server Name=ase;Database=d;User ID=u;Password=p;", "u", "p", kDrivers);
    EXPECT_EQ(route.odbc,
        "Driver=FreeTDS;Server=ase;Port=5000;Database=d;UID=u;PWD=p;TDS_Version=5.0;"
        "ClientCharset=UTF-8;");

    route = RouteAdo("Provider=IBMDADB2.DB2COPY1;Server=h:50001;DATABASE=SAMPLE;UID=u;PWD=p;", "u", "p", kDrivers);
    EXPECT_EQ(route.odbc,
        "Driver=IBM DB2 ODBC DRIVER;Hostname=h;Port=50001;Protocol=TCPIP;Database=SAMPLE;UID=u;"
        "PWD=p;");

    // The descriptor the Oracle dialog writes goes in its Easy Connect form, which needs no quoting.
    route = RouteAdo("Provider=OraOLEDB.Oracle.1;User ID=u;Password=p;Data Source=\t  (DESCRIPTION =\t  (ADDRESS = "
                     "(PROTOCOL = TCP)(HOST = db.example)(PORT = 1522))\t (CONNECT_DATA =\t (SERVER = DEDICATED)\t "
                     "(SID = LABELS)\t )\t )",
        "u", "p", kDrivers);
    EXPECT_EQ(route.odbc, "Driver=Oracle 21 ODBC driver;DBQ=//db.example:1522/LABELS;UID=u;PWD=p;");
    route = RouteAdo("Provider=OraOLEDB.Oracle.1;Data Source=labels_tns", "u", "p", kDrivers);
    EXPECT_EQ(route.odbc, "Driver=Oracle 21 ODBC driver;DBQ=labels_tns;UID=u;PWD=p;");
}

// The fields a provider's string is built from are sent as they were typed or not at
// all: one that would need quoting refuses the string, naming the field.
TEST(AdoRouting, FieldsNeedingQuotesAreRefusedByName)
{
    const struct
    {
        const char* text;
        const char* user;
        const char* password;
        const char* field;
    } cases[] = {
        {"Provider=SQLOLEDB;Server=h;Database=\"a};DumpFile=/tmp/v;\";", "u", "p", "数据库"},
        {"Provider=SQLOLEDB;Server=\"h;Driver=/tmp/evil.so\";Database=d;", "u", "p", "服务器"},
        {"Provider=Sybase.ASEOLEDBProvider;Server Name=ase;Database=d;", "u", "x};DumpFile=/tmp/v;", "密码"},
        {"Provider=IBMDADB2.DB2COPY1;Server=h:1;DATABASE=d;", "u{", "p", "用户名"},
        {"Provider=OraOLEDB.Oracle.1;Data Source=(DESCRIPTION = (A = 1))", "u", "p", "数据源"},
        {"Provider=OraOLEDB.Oracle.1;Data Source=x", "u", " p", "密码"},
        {"DSN=stock;", "me", "p;w", "密码"},
        {"Provider=MSDASQL;DSN=stock;Database='a;b'", "", "", "Database"},
    };
    for (const auto& c : cases) {
        const AdoRoute route = RouteAdo(c.text, c.user, c.password, kDrivers, QStringLiteral("库存"));
        EXPECT_EQ(route.kind, AdoRoute::Unavailable) << c.text;
        EXPECT_TRUE(route.refused) << c.text;
        EXPECT_TRUE(
            route.error.startsWith(QStringLiteral("数据源“库存”的“%1”的值含有").arg(QString::fromUtf8(c.field))))
            << c.text << ": " << route.error.toStdString();
    }
}

TEST(AdoRouting, MissingDriversAndUnknownProvidersFailWithAReason)
{
    const QStringList none {"SQLite3"};
    for (const char* text : {"Provider=IBMDADB2.DB2COPY1;Server=h:1;", "Provider=OraOLEDB.Oracle.1;Data Source=x",
             "Provider=SQLOLEDB;Server=x;"}) {
        const AdoRoute route = RouteAdo(text, "", "", none);
        EXPECT_EQ(route.kind, AdoRoute::Unavailable) << text;
        EXPECT_TRUE(route.error.contains(QStringLiteral("ODBC 驱动程序"))) << route.error.toStdString();
    }
    const AdoRoute unknown = RouteAdo("Provider=Acme.Thing;", "", "", kDrivers);
    EXPECT_EQ(unknown.kind, AdoRoute::Unavailable);
    EXPECT_TRUE(unknown.error.contains("Acme.Thing"));
    // Through the layer the reason arrives as a connection that is not open.
    auto db = DbConnection::OpenAdo("Provider=Acme.Thing;", "", "");
    EXPECT_FALSE(db->IsOpen());
    EXPECT_TRUE(db->LastError().contains("Acme.Thing"));
    DbRows rows;
    EXPECT_FALSE(db->Query("select 1", rows));
}

TEST(AdoRouting, OdbcStringsPassAsTheyAreAndFilesGoToTheirReaders)
{
    const QString odbc = "DSN=stock;UID=me;";
    EXPECT_EQ(RouteAdo(odbc, "", "", kDrivers).odbc, odbc);
    EXPECT_EQ(RouteAdo("Provider=MSDASQL;DSN=stock;PWD='a b'", "", "", kDrivers).odbc, "DSN=stock;PWD=a b;");
    EXPECT_EQ(
        RouteAdo("Provider=MSDASQL.1;Extended Properties=\"DSN=x;UID=y\"", "", "", kDrivers).odbc, "DSN=x;UID=y;");

    AdoRoute excel
        = RouteAdo("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/b.xls;Extended Properties=\"Excel 8.0;HDR=No;\";",
            "", "", kDrivers);
    EXPECT_EQ(excel.kind, AdoRoute::Excel);
    EXPECT_EQ(excel.path, "/d/b.xls");
    EXPECT_FALSE(excel.headerRow);
    excel = RouteAdo(
        "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=b.xlsx;Extended Properties=\"Excel 12.0\"", "", "", kDrivers);
    EXPECT_TRUE(excel.headerRow); // the provider's default

    const AdoRoute access
        = RouteAdo("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/x.accdb;Persist Security Info=True;", "admin",
            "secret", kDrivers);
    EXPECT_EQ(access.kind, AdoRoute::Access);
    EXPECT_EQ(access.path, "/d/x.accdb");
    EXPECT_EQ(access.password, "secret");
}

TEST(AdoRouting, UserAndPasswordBesideTheStringReachTheOdbcRoutes)
{
    const struct
    {
        const char* text;
        const char* user;
        const char* password;
        const char* odbc;
    } cases[] = {
        {"DSN=stock;", "me", "p w", "DSN=stock;UID=me;PWD=p w;"},
        {"DSN=stock;UID=old;PWD=old", "me", "pw", "DSN=stock;UID=me;PWD=pw;"},
        {"DSN=stock;UID=old;User ID=x;PWD=y", "", "pw", "DSN=stock;UID=old;User ID=x;PWD=pw;"},
        {"Driver={My Driver};PWD=abc;", "me", "", "Driver={My Driver};PWD=abc;UID=me;"},
        {"DSN=stock;UID=me;", "", "", "DSN=stock;UID=me;"}, // nothing beside: untouched
        {"Provider=MSDASQL;DSN=stock;User ID=u;Password=p", "", "", "DSN=stock;UID=u;PWD=p;"},
        {"Provider=MSDASQL;DSN=stock;User ID=u;Password=p", "me", "pw", "DSN=stock;UID=me;PWD=pw;"},
        {"Provider=MSDASQL;Extended Properties=\"DSN=x;UID=y;PWD=z\"", "me", "pw", "DSN=x;UID=me;PWD=pw;"},
    };
    for (const auto& c : cases) {
        const AdoRoute route = RouteAdo(c.text, c.user, c.password, kDrivers);
        EXPECT_EQ(route.kind, AdoRoute::Odbc) << c.text;
        EXPECT_EQ(route.odbc, c.odbc) << c.text;
    }
}

// A Data Link dialog writes the database beside the extended properties: it is read as the
// driver's database, and refused only where the extended properties name another; a key written
// both inside and beside them is refused as given twice.
TEST(AdoRouting, DataLinkStringsReadInitialCatalogAsTheDatabase)
{
    const QString head = QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;User ID=clerk;");
    const struct
    {
        QString text;
        QString odbc; // empty: refused, with refusal in the message
        QString refusal = {};
    } cases[] = {
        {head + "Extended Properties=\"DSN=stock;UID=clerk\";Initial Catalog=inv", "Database=inv;DSN=stock;UID=clerk;"},
        {head + "Extended Properties=\"DSN=stock;DATABASE=inv\";Initial Catalog=inv", "DSN=stock;DATABASE=inv;UID=clerk;"},
        {head + "Extended Properties=\"DSN=stock;DB={inv}\";Initial Catalog=inv", "DSN=stock;DB={inv};UID=clerk;"},
        {head + "Extended Properties=\"DSN=stock\"", "DSN=stock;UID=clerk;"},
        {head + "Extended Properties=\"DSN=stock;Database=inv\";Initial Catalog=master", {},
            QStringLiteral("“Initial Catalog”指定的数据库与“Extended Properties”中指定的数据库不同")},
        {head + "Extended Properties=\"DSN=stock;Port=5432\";Port=5432", {},
            QStringLiteral("“Port”指定了两次：“Extended Properties”之内一次，之外一次")},
        {head + "Extended Properties=\"DSN=stock;Servername=h\";Server=h", {},
            QStringLiteral("“Server”指定了两次")},
        {head + "Extended Properties=\"DSN=stock\";Initial Catalog=\"a;b\"", {},
            QStringLiteral("“Initial Catalog”的值含有")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const AdoRoute route = RouteAdo(c.text, "", "", kDrivers, QStringLiteral("库存"));
        if (c.odbc.isEmpty()) {
            EXPECT_TRUE(route.refused);
            EXPECT_TRUE(route.error.contains(c.refusal)) << route.error.toStdString();
        } else {
            EXPECT_EQ(route.odbc, c.odbc) << route.error.toStdString();
        }
    }
}

TEST(StagedSql, TopBecomesLimit)
{
    const struct
    {
        const char* sql;
        const char* rewritten;
    } cases[] = {
        {"SELECT TOP 10 a,b from [S$] ORDER BY a ASC;", "select a,b from [S$] ORDER BY a ASC limit 10"},
        {"select top 3 * from (select 1) as t", "select * from (select 1) as t limit 3"},
        {"select topaz from t", "select topaz from t"},
        // Trailing comments and what follows the ";" are dropped, never the limit.
        {"select top 5 * from [S$] -- newest first", "select * from [S$] limit 5"},
        {"select top 5 * from t; -- done\n", "select * from t limit 5"},
        {"select top 5 * from t /* note */ ;; select 2", "select * from t limit 5"},
        {"select top 5 * from t /* never closed", "select * from t limit 5"},
        // Comments inside the statement stay; quoted texts and names hide ";" and "--".
        {"select top 2 * from t -- c\nwhere x = 1 -- d", "select * from t -- c\nwhere x = 1 limit 2"},
        {"select top 2 * from [a;--b] where n = 'it''s --; x' -- c",
            "select * from [a;--b] where n = 'it''s --; x' limit 2"},
        {"select top 2 \"x--\" from t", "select \"x--\" from t limit 2"},
        // A select in parentheses (the count of a user's statement) takes its own limit.
        {"select count(*) from (select top 3 * from t -- c\n) t",
            "select count(*) from (select * from t limit 3 -- c\n) t"},
        {"select * from (select TOP 2 a from (select b from u) x where a = ')') y; -- z",
            "select * from (select a from (select b from u) x where a = ')' limit 2) y"},
        {"select top 4 * from (select top 2 * from t) q", "select * from (select * from t limit 2) q limit 4"},
        {"select `select top 1 ` from t", "select `select top 1 ` from t"},
        // Jet's predicates before top, and top n percent: n/100 of the select's rows, rounded up.
        {"select DISTINCT top 3 a from t order by a", "select distinct a from t order by a limit 3"},
        {"select top 10 percent a from t order by a desc",
            "select a from t order by a desc limit (select (count(*) * 10 + 99) / 100 from (select a from t order by a desc))"},
        {"select all top 5 PERCENT * from t", "select all * from t limit (select (count(*) * 5 + 99) / 100 from (select all * from t))"},
        {"select top 5 percent_done from t", "select percent_done from t limit 5"},
        // Each select of a union keeps its own top; the union's order by sorts them all.
        {"select top 2 a from t union all select top 2 a from u",
            "select * from (select a from t limit 2) union all select * from (select a from u limit 2)"},
        {"select top 1 a from t order by a union select b from u order by 1 -- z",
            "select * from (select a from t order by a limit 1) union select b from u order by 1"},
        {"select count(*) from (select a from t union select top 2 a from u) x",
            "select count(*) from (select a from t union select * from (select a from u limit 2)) x"},
        {"select top 3 * from (select a from t union select a from u) x order by a",
            "select * from (select a from t union select a from u) x order by a limit 3"},
    };
    QString refusal;
    for (const auto& c : cases) {
        EXPECT_EQ(StagedConnection::RewriteTop(QString::fromUtf8(c.sql), refusal), QString::fromUtf8(c.rewritten))
            << c.sql;
        EXPECT_TRUE(refusal.isEmpty()) << c.sql;
    }
    // Whether the order by after a union's last select orders its top or the union is
    // left open by Jet; the statement is refused, naming the form.
    StagedConnection::RewriteTop("select a from t union all select top 2 a from u order by a", refusal);
    EXPECT_TRUE(refusal.contains("UNION") && refusal.contains("ORDER BY")) << refusal.toStdString();
    StagedConnection::RewriteTop("select a from t union all select * from (select top 2 a from u order by a)", refusal);
    EXPECT_TRUE(refusal.isEmpty());
    EXPECT_EQ(UniqueColumnNames({"Id", "", "id", "Name", "Id"}), (QStringList {"Id", "F2", "id1", "Name", "Id2"}));
}
