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
