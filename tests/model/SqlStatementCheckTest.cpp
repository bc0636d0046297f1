// What of a typed statement may reach a server: each text read as SQLite, the
// standard, PostgreSQL, MySQL/MariaDB and T-SQL read it.
#include "model/DSBase.h"
#include "model/SqlStatementCheck.h"
#include "model/SqlStatements.h"

#include <gtest/gtest.h>

namespace {

struct CheckCase
{
    const char* sql;
    const char* refusal; // empty: accepted
};

} // namespace

TEST(SqlStatementCheck, OrdinaryQueriesAreAccepted)
{
    const char* const accepted[] = {
        "select a.x, b.y from a join b on a.id = b.id where a.n > 3 order by 1",
        "select * from t where s = 'a;b)c' and u = 'it''s' and v = \"q;)\"",
        "select 1 as a union all select 2 union select 3;",
        "with n as (select 1 as i) select i from n ;; ",
        "select /* a comment; with ) */ x -- and a line one ) ;\nfrom t",
        "select \"名称\", '北京 ; 上海' from \"表\" where 说明 like '%）%'",
        "select [Unit Price], `key` from [Order Details]",
        "select 'a\\\\b' from t", // two backslashes read alike with escapes or without
        "select x from t\r\nwhere y = 1\r\n",
        "call TwoSets()",
        "select $$abc$$, $1 from t", // a dollar quote elsewhere reads as a word
    };
    for (const char* sql : accepted)
        EXPECT_EQ(SqlStatementRefusal(QString::fromUtf8(sql)), "") << sql;
}

TEST(SqlStatementCheck, AttacksAreRefusedUnderSomeReading)
{
    const CheckCase refused[] = {
        // Closing the wrapper and adding statements.
        {"select 'x' as a) t; copy (select 1) to program 'id > /tmp/f'; select 1 from (select 1", "右括号多于左括号。"},
        {"select 1 ; create table pwned(x int)", "分号之后不能再有语句。"},
        {"select 1) t union select 2 from (select 1", "右括号多于左括号。"},
        // A quote, a comment or a bracket that hides the ")" from one reading only.
        {"select 'a\\') t; drop table x; --' from t", "右括号多于左括号。"},
        {"select \"a\\\") t; drop table x; --\" from t", "右括号多于左括号。"},
        {"select E'\\') t; drop table x; -- ' x", "右括号多于左括号。"},
        {"select 1 /* /* */ ) ; drop table x */", "右括号多于左括号。"},
        {"select 1 #\n) t; drop table x; -- x", "右括号多于左括号。"},
        {"select 1 --x\n) t; drop table x", "右括号多于左括号。"},
        {"select [a'] from t) t; drop table x; --'", "右括号多于左括号。"},
        {"select `a'` from t) t; drop table x; --'", "右括号多于左括号。"},
        {"select $q$ ') t; drop table x; -- $q$", "引号、括号或注释没有结束。"},
        {"select 'a\\' from t", "引号、括号或注释没有结束。"}, // MySQL reads on past the quote
        {"select 1 -- a\r) t; drop table x", "不能含有控制字符或单独的回车符。"},
        {"select 1\x01", "不能含有控制字符或单独的回车符。"},
        {"select 'open", "引号、括号或注释没有结束。"},
        {"select $a$ x", "引号、括号或注释没有结束。"},
        {"select (1", "引号、括号或注释没有结束。"},
        {"select 1 /* x", "引号、括号或注释没有结束。"},
        {"select 1 /*! ) ; drop table x */", "不能使用“/*!”。"},
        {"select 1 /*M!100000 , sleep(1) */", "不能使用“/*!”。"},
        {"select q'[ ') ; ]' from dual", "不能使用“q'”。"},
        {"select U&\"lo\\005fexport\"(1, 'f')", "不能使用“U&\"”。"},
        // Functions that write files or run a text, however they are spelled.
        {"select lo_export(424242, '/tmp/f')", "不能使用“lo_export”。"},
        {"select case when exists(select 1 from pg_largeobject_metadata where oid=424242) "
         "then lo_export(424242,'/tmp/f')::text else lo_from_bytea(424242, convert_to('x','UTF8'))::text end as a",
            "不能使用“lo_export”。"},
        {"select pg_catalog.LO_IMPORT('/etc/passwd')", "不能使用“LO_IMPORT”。"},
        {"select \"lo_export\"(1, 'f')", "不能使用“lo_export”。"},
        {"select * from dblink_exec('dbname=x', 'drop table t')", "不能使用“dblink_exec”。"},
        {"select pg_file_write('f', 'x', false)", "不能使用“pg_file_write”。"},
        {"select query_to_xml('delete from t', true, true, '')", "不能使用“query_to_xml”。"},
        {"select * from ts_stat('select 1')", "不能使用“ts_stat”。"},
        {"select * from t into outfile '/tmp/f'", "不能使用“outfile”。"},
        {"select * from t into DumpFile '/tmp/f'", "不能使用“DumpFile”。"},
        {"select 1 exec master..xp_cmdshell 'id'", "不能使用“xp_cmdshell”。"},
        {"select 1 exec [xp_cmdshell] 'id'", "不能使用“xp_cmdshell”。"},
        {"exec sp_executesql N'drop table t'", "不能使用“sp_executesql”。"},
        {"exec ('drop table t')", "EXEC 之后只能是存储过程名。"},
        {"execute N'drop table t'", "EXEC 之后只能是存储过程名。"},
        {"exec @sql", "EXEC 之后只能是存储过程名。"},
        {"exec \"drop table t\"", "EXEC 之后只能是存储过程名。"},
        {"select * from openrowset(bulk '/etc/passwd', single_clob) x", "不能使用“openrowset”。"},
        {"select * from OpenQuery(srv, 'select 1')", "不能使用“OpenQuery”。"},
        {"exec sp_OACreate 'WScript.Shell', @o out", "不能使用“sp_OACreate”。"},
    };
    for (const CheckCase& c : refused)
        EXPECT_EQ(SqlStatementRefusal(QString::fromUtf8(c.sql)), QString::fromUtf8(c.refusal)) << c.sql;
}

TEST(SqlStatementCheck, OnlyACallOfLiteralsIsAProcedureCall)
{
    const char* const calls[] = {"call TwoSets()", "CALL db.TwoSets( 1, 'a''b', -2.5 );", "{call p}",
        "{ call dbo.p(N'x') }", "exec dbo.Report 1, 'x'", "EXECUTE Report @from = 1, @to = '2024'"};
    for (const char* sql : calls)
        EXPECT_TRUE(IsSqlProcedureCall(QString::fromUtf8(sql))) << sql;
    const char* const others[] = {"select 1", "call p(1) select 2", "call p(now())", "exec p 1 drop table t",
        "exec p @x", "call p('a\\')", "exec xp_cmdshell 'id'", "{call p", "call p() -- x", "exec p 1;select 2"};
    for (const char* sql : others)
        EXPECT_FALSE(IsSqlProcedureCall(QString::fromUtf8(sql))) << sql;
}

TEST(SqlStatementCheck, StatementsWrapAllButACallAndNameTheirSourceWhenRefused)
{
    CSQLServerDS ds;
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "select 1 drop table x";
    // T-SQL needs no ";" between statements: only inside a select is this one query.
    EXPECT_EQ(CSqlStatements(DSSQLServer).Rows(ds), "select * from (select 1 drop table x\n) t");
    ds.m_strSQL = "exec dbo.Report 1;";
    EXPECT_EQ(CSqlStatements(DSSQLServer).Rows(ds), "exec dbo.Report 1");
    EXPECT_EQ(CSqlStatements(DSSQLServer).Count(ds), "exec dbo.Report 1");
    EXPECT_TRUE(CSqlStatements::CountsByReading(ds));
    CMySQLDS my;
    my.m_nRangeMode = RangeSQL;
    my.m_strSQL = "call TwoSets()";
    EXPECT_EQ(CSqlStatements(DSMySQL).Rows(my, 3, 2), "call TwoSets()");
    EXPECT_FALSE(CSqlStatements(DSMySQL).PagesInStatement(my));

    EXPECT_EQ(CSqlStatements::Refusal(ds), "");
    ds.m_strName = "库存";
    ds.m_strSQL = "select 1; select 2";
    EXPECT_EQ(CSqlStatements::Refusal(ds),
        QStringLiteral("数据源“库存”的SQL语句只能是一条读取数据的查询语句，分号之后不能再有语句。"));
    ds.m_nRangeMode = RangeAll; // a table: the statement is not sent
    EXPECT_EQ(CSqlStatements::Refusal(ds), "");
}
