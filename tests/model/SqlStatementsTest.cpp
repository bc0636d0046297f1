// The statement texts for the databases no test here can reach (SQL Server, Sybase,
// DB2, Oracle); SQLite, PostgreSQL, MySQL and the staged files run theirs for real
// in the loader and dialog tests.
#include "model/DSBase.h"
#include "model/SqlStatements.h"

#include <QRegularExpression>
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
// MySQL server as it stands (one with a limit of its own gets none of ours), and its
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

namespace {

// A connection that only tells which server it reaches and how it reads quotes.
class KindOnlyConnection : public DbConnection
{
public:
    explicit KindOnlyConnection(const SqlServerKind& kind) : m_kind(kind) {}
    bool IsOpen() const override { return true; }
    void Close() override {}
    bool ListTables(QStringList&) override { return false; }
    bool ListFields(const QString&, QStringList&) override { return false; }
    bool Query(const QString&, DbRows&, qint64, qint64) override { return false; }
    QString IdentifierQuote() const override { return QStringLiteral("`"); }
    SqlServerKind ServerKind() const override { return m_kind; }

private:
    SqlServerKind m_kind;
};

} // namespace

// A page of a query sent to MariaDB as it stands is limited after it where the limit
// can mean nothing else; a query with a limit of its own, or a clause that stands after
// one, or a parenthesised query that a limit would no longer bind its ORDER BY to, is
// read whole and skipped through.
TEST(SqlStatements, AMySQLQueryTakesThePagesLimitWhereItCanMeanNothingElse)
{
    const struct
    {
        const char* sql;
        bool limited;
    } cases[] = {
        {"select id, name from items order by id desc", true},
        {"SELECT id FROM items ORDER BY id DESC;  ", true},
        {"select * from items -- newest first", true},
        {"select * from items # newest first", true},
        {"select * from items /* limit 5 */", true},
        {"select `limit`, 'for update', \"offset\" from items", true},
        {"with c as (select id from items order by id limit 5) select * from c order by id desc", true},
        {"select id from a union select id from b order by id desc", true},
        {"select id, row_number() over (order by id desc) as r from items", true},
        {"select * from (select id from items order by id limit 3) t", true},
        {"select id from items where id in (select id from other limit 3)", true},
        {"select * from items order by id desc limit 50", false},
        {"select * from items LIMIT 5, 10", false},
        {"select * from items order by id offset 5 rows fetch first 10 rows only", false},
        {"select 1e5limit 1", false},
        {"select 1.5LIMIT 1", false},
        {"select * from items for system_time all", false},
        {"select id into @x from items", false},
        {"select id from items procedure analyse()", false},
        {"(select id from items order by id desc)", false},
        {"select id from a union (select id from b order by id desc)", false},
        {"with c as (select 1 as n) (select n from c order by n desc)", false},
        {"values (1), (2)", false},
        // A backslash ends the literal with NO_BACKSLASH_ESCAPES, leaving a limit outside it.
        {"select 'a\\' limit 1 -- '", false},
    };
    const CSqlStatements my(DSMySQL);
    CMySQLDS ds;
    ds.m_nRangeMode = RangeSQL;
    for (const auto& c : cases) {
        ds.m_strSQL = QString::fromUtf8(c.sql);
        const QString alone = ds.m_strSQL.trimmed().remove(QRegularExpression(QStringLiteral(";$")));
        EXPECT_EQ(my.PagesInStatement(ds), c.limited) << c.sql;
        EXPECT_EQ(my.Rows(ds, 11, 10), c.limited ? alone + QStringLiteral("\nlimit 10 offset 10") : alone) << c.sql;
        // Every record, for a count or a walk: nothing appended.
        EXPECT_EQ(my.Rows(ds), alone) << c.sql;
    }
    // A locking read is refused before any page is read.
    for (const char* sql : {"select * from items for update", "select * from items lock in share mode"}) {
        ds.m_strSQL = QString::fromUtf8(sql);
        EXPECT_NE(my.Refusal(ds), "") << sql;
    }

    // Known to escape with a backslash, the server reads the literal to its end.
    SqlServerKind escapes;
    escapes.server = SqlServerKind::MySQL;
    escapes.ansiQuotes = false;
    escapes.noBackslashEscapes = false;
    const KindOnlyConnection escaping(escapes);
    CCustomDS custom;
    custom.m_nRangeMode = RangeSQL;
    custom.m_strSQL = "select 'a\\' limit 1 -- '";
    EXPECT_EQ(CSqlStatements(DSCustom, &escaping).Rows(custom, 1, 25), custom.m_strSQL + "\nlimit 25 offset 0");
    escapes.noBackslashEscapes = true;
    const KindOnlyConnection literal(escapes);
    EXPECT_FALSE(CSqlStatements(DSCustom, &literal).PagesInStatement(custom));

    // A user's connection string that reaches MariaDB pages its table too; one whose
    // server is not known reads every record and skips.
    custom.m_nRangeMode = RangeAll;
    custom.m_strTable = "items";
    custom.m_selectedFields = {"id"};
    EXPECT_EQ(CSqlStatements(DSCustom, &escaping).Rows(custom, 3, 2), "select `id` from `items` limit 2 offset 2");
    const KindOnlyConnection unknown({});
    EXPECT_EQ(CSqlStatements(DSCustom, &unknown).Rows(custom, 3, 2), "select `id` from `items`");
    EXPECT_FALSE(CSqlStatements(DSCustom, &unknown).PagesInStatement(custom));
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
