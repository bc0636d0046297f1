// The statement texts for the databases no test here can reach (SQL Server, Sybase,
// DB2, Oracle); SQLite, PostgreSQL, MySQL and the staged files run theirs for real
// in the loader and dialog tests.
#include "model/DSBase.h"
#include "model/SqlStatements.h"

#include <gtest/gtest.h>

TEST(SqlStatements, EachDatabaseQuotesInItsOwnSyntax)
{
    const QString odd = QStringLiteral("a]b\"c`d");
    EXPECT_EQ(CSqlStatements(DSSQLServer).Name(odd), "[a]]b\"c`d]");
    EXPECT_EQ(CSqlStatements(DSSybase).Name(odd), "[a]]b\"c`d]");
    EXPECT_EQ(CSqlStatements(DSOracle).Name(odd), "\"a]b\"\"c`d\"");
    EXPECT_EQ(CSqlStatements(DSPostgreSQL).Name(odd), "\"a]b\"\"c`d\"");
    EXPECT_EQ(CSqlStatements(DSMySQL).Name(odd), "`a]b\"c``d`");
    EXPECT_EQ(CSqlStatements(DSSQLite).Name(odd), "`a]b\"c``d`");
    // Without its connection a custom source falls back to the standard quote.
    EXPECT_EQ(CSqlStatements(DSCustom).Name(odd), "\"a]b\"\"c`d\"");
    EXPECT_EQ(CSqlStatements(DSExcel).Table("My Data"), "`My Data$`");
    EXPECT_EQ(CSqlStatements(DSDB2).Table("SCHEMA.my table"), "\"SCHEMA\".\"my table\"");
    EXPECT_EQ(CSqlStatements(DSOracle).Table("A.B"), "\"A.B\"");
}

TEST(SqlStatements, CountsAndRowsByRangeMode)
{
    CSQLServerDS ds;
    ds.m_strTable = "Order Details";
    ds.m_selectedFields = {"key", "Unit Price"};
    ds.m_strSortField = "key";
    ds.m_nSortOrder = 1;
    const CSqlStatements server(DSSQLServer);
    EXPECT_EQ(server.Count(ds), "select count(*) as [RecordCount] from [Order Details]");
    // No row limit: the rows before the wanted ones are skipped by the reader.
    EXPECT_EQ(server.Rows(ds, 11, 10), "select [key],[Unit Price] from [Order Details] ORDER BY [key] DESC");
    ds.m_strSortField = QStringLiteral(u"默认");
    EXPECT_EQ(server.Rows(ds), "select [key],[Unit Price] from [Order Details]");
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "select 1 as x";
    EXPECT_EQ(server.Rows(ds, 11, 10), "select * from (select 1 as x\n) t");
    // Oracle refuses "as" before a table alias.
    EXPECT_EQ(CSqlStatements(DSOracle).Count(ds), "select count(*) as \"RecordCount\" from (select 1 as x\n) t");

    const CSqlStatements pg(DSPostgreSQL);
    EXPECT_EQ(pg.Rows(ds, 11, 10), "select * from (select 1 as x\n) t limit 10 offset 10");
    EXPECT_EQ(pg.Rows(ds), "select * from (select 1 as x\n) t");
    ds.m_nRangeMode = RangeAll;
    EXPECT_EQ(pg.Rows(ds, 1, 5), "select \"key\",\"Unit Price\" from \"Order Details\" limit 5 offset 0");
}

// MariaDB drops an ORDER BY inside a derived table without a limit: a query reaches a
// MySQL server as it stands, with no limit of ours (it may carry its own), and its
// count stays inside a select.
TEST(SqlStatements, AMySQLServerGetsTheQueryAsItStands)
{
    CMySQLDS ds;
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "/* newest first */ select * from items order by id desc limit 50 ;";
    const CSqlStatements my(DSMySQL);
    EXPECT_EQ(my.Rows(ds, 11, 10), "/* newest first */ select * from items order by id desc limit 50");
    EXPECT_FALSE(my.PagesInStatement(ds));
    EXPECT_EQ(my.Count(ds),
        "select count(*) as `RecordCount` from (/* newest first */ select * from items order by id desc limit 50\n) t");
    // Anything else stays inside a select; ODBC's call escape is MariaDB's plain call.
    ds.m_strSQL = "show tables";
    EXPECT_EQ(my.Rows(ds), "select * from (show tables\n) t");
    ds.m_strSQL = "{call name(50)}";
    EXPECT_EQ(my.Rows(ds), "call name(50)");
    EXPECT_EQ(my.Count(ds), "call name(50)");
    // Other servers keep the wrapper and the escape.
    CPostgreSQLDS pg;
    pg.m_nRangeMode = RangeSQL;
    pg.m_strSQL = "select * from items order by id desc";
    EXPECT_EQ(CSqlStatements(DSPostgreSQL).Rows(pg, 1, 5),
        "select * from (select * from items order by id desc\n) t limit 5 offset 0");
    pg.m_strSQL = "{call name(50)}";
    EXPECT_EQ(CSqlStatements(DSPostgreSQL).Rows(pg), "{call name(50)}");
}

// The statement is judged as the type's own client reaches it: a MySQL source takes a
// "#" comment a PostgreSQL one refuses, and a custom source without a connection that
// tells its server is judged as every server would read it.
TEST(SqlStatements, TheTypesServerJudgesTheStatement)
{
    CMySQLDS my;
    my.m_nRangeMode = RangeSQL;
    my.m_strSQL = "select name from t # it's the name\n";
    EXPECT_EQ(CSqlStatements(DSMySQL).Refusal(my), "");
    CPostgreSQLDS pg;
    pg.m_nRangeMode = RangeSQL;
    pg.m_strSQL = my.m_strSQL;
    EXPECT_TRUE(CSqlStatements(DSPostgreSQL).Refusal(pg).contains(QStringLiteral("PostgreSQL")));
    EXPECT_NE(CSqlStatements(DSPostgreSQL).RefusalBeforeConnecting(pg), "");
    CCustomDS custom;
    custom.m_nRangeMode = RangeSQL;
    custom.m_strSQL = my.m_strSQL;
    EXPECT_NE(CSqlStatements(DSCustom).Refusal(custom), "");
    EXPECT_EQ(CSqlStatements(DSCustom).RefusalBeforeConnecting(custom), ""); // its connection will tell
    custom.m_strSQL = "select 1; drop table t";
    EXPECT_NE(CSqlStatements(DSCustom).RefusalBeforeConnecting(custom), "");
}
