// What of a typed statement may reach a server: each text read as its own server reads
// it, or as SQLite, the standard, PostgreSQL, MySQL/MariaDB and T-SQL read it where the
// server is not known.
#include "model/DSBase.h"
#include "model/SqlStatementCheck.h"
#include "model/SqlStatements.h"

#include "PeakMemory.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

const SqlServerKind kAny;
const SqlServerKind kLite {SqlServerKind::SQLite, {}, {}, {}};
const SqlServerKind kPg {SqlServerKind::PostgreSQL, {}, {}, {}}; // standard_conforming_strings not known
const SqlServerKind kPgStd {SqlServerKind::PostgreSQL, true, {}, {}};
const SqlServerKind kPgOld {SqlServerKind::PostgreSQL, false, {}, {}};
const SqlServerKind kMy {SqlServerKind::MySQL, {}, {}, {}}; // sql_mode not known
const SqlServerKind kMyEsc {SqlServerKind::MySQL, {}, false, false};
const SqlServerKind kMyNoEsc {SqlServerKind::MySQL, {}, {}, true};
const SqlServerKind kMyAnsi {SqlServerKind::MySQL, {}, true, false};
const SqlServerKind kMs {SqlServerKind::SqlServer, {}, {}, {}};
const SqlServerKind kEveryKind[] = {kAny, kLite, kPg, kPgStd, kPgOld, kMy, kMyEsc, kMyNoEsc, kMs};

struct CheckCase
{
    const char* sql;
    SqlServerKind server;
    const char* refusal; // empty: accepted; otherwise a part of the refusal
};

void ExpectVerdicts(const std::vector<CheckCase>& cases)
{
    for (const CheckCase& c : cases) {
        const QString refusal = SqlStatementRefusal(QString::fromUtf8(c.sql), c.server);
        if (*c.refusal == 0)
            EXPECT_EQ(refusal, "") << c.sql << " on " << c.server.server;
        else
            EXPECT_TRUE(refusal.contains(QString::fromUtf8(c.refusal)))
                << c.sql << " on " << c.server.server << ": " << refusal.toStdString();
    }
}

} // namespace

TEST(SqlStatementCheck, OrdinaryQueriesAreAcceptedOnEveryServer)
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
        // Names on the list that are not called: columns, aliases, texts.
        "select t.bulk, outfile, dumpfile from t",
        "select 'load_file', 'see pg_read_file' as a, lo_get(1) from t where note <> 'xp_cmdshell'",
        "select ts_rewrite('a & b'::tsquery, 'a'::tsquery, 'c'::tsquery)",
        "select * from t into_outfile",
    };
    for (const SqlServerKind& server : kEveryKind) {
        for (const char* sql : accepted)
            EXPECT_EQ(SqlStatementRefusal(QString::fromUtf8(sql), server), "") << sql << " on " << server.server;
    }
}

// A text its own server reads as one query passes there, and stays refused where another
// server, or an unknown one, would read it otherwise.
TEST(SqlStatementCheck, EachServerReadsQuotesAndCommentsItsOwnWay)
{
    ExpectVerdicts({
        {"select name from t --don't\nwhere 1 = 1", kPg, ""},
        {"select name from t --don't\nwhere 1 = 1", kLite, ""},
        {"select name from t --don't\nwhere 1 = 1", kMy, "引号没有结束（按 MySQL/MariaDB 的读法）"},
        {"select name from t --don't\nwhere 1 = 1", kAny, "引号没有结束"},
        {"select * from t where name <> E'it\\'s'", kPg, ""},
        {"select * from t where name <> E'it\\'s'", kLite, "引号没有结束（按 SQLite 的读法）"},
        {"select * from t where name <> E'it\\'s'", kAny, "引号没有结束"},
        {"select * from t where name <> $$it's$$", kPg, ""},
        {"select * from t where name <> $$it's$$", kMyNoEsc, "引号没有结束"},
        {"select * from t where name <> $$it's$$", kAny, "引号没有结束"},
        {"select 1 as a where ('{\"a\":\"x\"}'::jsonb #>> '{a}') = 'x'", kPg, ""},
        {"select 1 as a where ('{\"a\":\"x\"}'::jsonb #>> '{a}') = 'x'", kMy, "括号没有结束（按 MySQL/MariaDB 的读法）"},
        {"select 1 as a where ('{\"a\":\"x\"}'::jsonb #>> '{a}') = 'x'", kAny, "括号没有结束"},
        {"select * from t where coalesce(note,'') <> 'C:\\data\\'", kPgStd, ""},
        {"select * from t where coalesce(note,'') <> 'C:\\data\\'", kLite, ""},
        {"select * from t where coalesce(note,'') <> 'C:\\data\\'", kMyNoEsc, ""},
        {"select * from t where coalesce(note,'') <> 'C:\\data\\'", kPg, "引号没有结束（按 PostgreSQL 的读法）"},
        {"select * from t where coalesce(note,'') <> 'C:\\data\\'", kPgOld, "引号没有结束"},
        {"select * from t where coalesce(note,'') <> 'C:\\data\\'", kMyEsc, "引号没有结束"},
        {"select * from t where coalesce(note,'') <> 'C:\\data\\'", kAny, "引号没有结束"},
        {"select name -- it's a comment\nfrom t # it's a comment\nwhere name <> 'it\\'s'", kMyEsc, ""},
        {"select name from t # it's a comment\n", kMy, ""},
        {"select name from t # it's a comment\n", kPgStd, "引号没有结束（按 PostgreSQL 的读法）"},
        {"select name from t where name <> 'it\\'s'", kPgOld, ""},
        {"select name from t where name <> 'it\\'s'", kMy, "引号没有结束"}, // NO_BACKSLASH_ESCAPES may be on
        {"select name from t where name <> 'it\\'s'", kAny, "引号没有结束"},
        {"select [a'] from t", kMs, ""},
        {"select [a'] from t", kPg, "引号没有结束"},
    });
}

TEST(SqlStatementCheck, AttacksAreRefusedUnderSomeReading)
{
    ExpectVerdicts({
        // Closing the wrapper and adding statements.
        {"select 'x' as a) t; copy (select 1) to program 'id > /tmp/f'; select 1 from (select 1", kAny, "右括号多于左括号"},
        {"select 1 ; create table pwned(x int)", kAny, "分号之后不能再有语句"},
        {"select 1) t union select 2 from (select 1", kAny, "右括号多于左括号"},
        // A quote, a comment or a bracket that hides the ")" from one reading only.
        {"select 'a\\') t; drop table x; --' from t", kAny, "右括号多于左括号"},
        {"select 'a\\') t; drop table x; --' from t", kPgStd, "右括号多于左括号"},
        {"select \"a\\\") t; drop table x; --\" from t", kAny, "右括号多于左括号"},
        {"select E'\\') t; drop table x; -- ' x", kAny, "右括号多于左括号"},
        {"select E'\\') t; drop table x; -- ' x", kLite, "右括号多于左括号"},
        {"select 1 /* /* */ ) ; drop table x */", kAny, "右括号多于左括号"},
        {"select 1 /* /* */ ) ; drop table x */", kLite, "右括号多于左括号"},
        {"select 1 #\n) t; drop table x; -- x", kAny, "右括号多于左括号"},
        {"select 1 #\n) t; drop table x; -- x", kMy, "右括号多于左括号"},
        {"select 1 --x\n) t; drop table x", kAny, "右括号多于左括号"},
        {"select 1 --x\n) t; drop table x", kMy, "右括号多于左括号"},
        {"select [a'] from t) t; drop table x; --'", kAny, "右括号多于左括号"},
        {"select [a'] from t) t; drop table x; --'", kLite, "右括号多于左括号"},
        {"select `a'` from t) t; drop table x; --'", kAny, "右括号多于左括号"},
        {"select $q$ ') t; drop table x; -- $q$", kAny, "引号没有结束"},
        {"select $q$ ') t; drop table x; -- $q$", kLite, "引号没有结束"},
        {"select 'a\\' from t", kAny, "引号没有结束"}, // MySQL reads on past the quote
        {"select 1 -- a\r) t; drop table x", kAny, "不能含有控制字符或单独的回车符"},
        {"select 1\x01", kLite, "不能含有控制字符或单独的回车符"},
        {"select 'open", kLite, "引号没有结束"},
        {"select $a$ x", kPg, "引号没有结束"},
        {"select (1", kMs, "括号没有结束"},
        {"select 1 /* x", kMs, "注释没有结束"},
        {"select 1 /*! ) ; drop table x */", kMy, "不能使用“/*!”"},
        {"select 1 /*M!100000 , sleep(1) */", kAny, "不能使用“/*!”"},
        {"select q'[ ') ; ]' from dual", kAny, "不能使用“q'”"},
        {"select U&\"lo\\005fexport\"(1, 'f')", kPg, "不能使用“U&\"”"},
        {"select U&'\\0441' as a", kPg, "不能使用“U&'”"},
        // Functions that write files, run a text or reach outside the transaction, however
        // they are spelled.
        {"select lo_export(424242, '/tmp/f')", kAny, "不能使用“lo_export”"},
        {"select case when exists(select 1 from pg_largeobject_metadata where oid=424242) "
         "then lo_export(424242,'/tmp/f')::text else lo_from_bytea(424242, convert_to('x','UTF8'))::text end as a",
            kPgStd, "不能使用“lo_export”"},
        {"select lo_from_bytea(424242, convert_to('x','UTF8'))::text as a", kPg, "不能使用“lo_from_bytea”"},
        {"select lo_create(0), lo_unlink(1), lo_put(1, 0, 'x')", kPg, "不能使用“lo_create”"},
        {"select pg_catalog.LO_IMPORT('/etc/passwd')", kPg, "不能使用“LO_IMPORT”"},
        {"select \"lo_export\" /* x */ (1, 'f')", kPg, "不能使用“lo_export”"},
        {"select lo_export\xc2\xa0(1, 'f')", kPg, "不能使用“lo_export”"},
        {"select * from dblink_exec('dbname=x', 'drop table t')", kPg, "不能使用“dblink_exec”"},
        {"select dblink('dbname=x', 'select 1')", kAny, "不能使用“dblink”"},
        {"select pg_file_write('f', 'x', false)", kPg, "不能使用“pg_file_write”"},
        {"select query_to_xml('delete from t', true, true, '')", kPg, "不能使用“query_to_xml”"},
        {"select cursor_to_xmlschema('c', true, true, '')", kPg, "不能使用“cursor_to_xmlschema”"},
        {"select * from ts_stat('select 1')", kPg, "不能使用“ts_stat”"},
        {"select ts_rewrite('a'::tsquery, 'select ''a''::tsquery, ''b''::tsquery from t')", kPg,
            "不能使用“ts_rewrite”的两个参数的形式"},
        {"select ts_rewrite('a'::tsquery, 'select ''a''::tsquery, ''b''::tsquery from (select lo_export(424243, "
         "''/x/PWNED'')) q')::text as a",
            kPg, "不能使用“lo_export”"},
        {"select E'select lo\\x5fexport(1, ''/x'')' as a", kPg, "不能使用“lo_export”"},
        {"select 'x', 'select \"pg_read_file\" (''/etc/passwd'')' as a", kLite, "不能使用“pg_read_file”"},
        {"select set_config('role', 'admin', false)", kPg, "不能使用“set_config”"},
        {"select pg_read_file('/etc/passwd'), pg_read_binary_file('/x')", kPg, "不能使用“pg_read_file”"},
        {"select * from pg_ls_dir('.')", kPg, "不能使用“pg_ls_dir”"},
        {"select pg_stat_file('x')", kPg, "不能使用“pg_stat_file”"},
        {"select pg_create_logical_replication_slot('s', 'test_decoding')", kPg,
            "不能使用“pg_create_logical_replication_slot”"},
        {"select pg_copy_physical_replication_slot('a', 'b')", kPg, "不能使用“pg_copy_physical_replication_slot”"},
        {"select pg_drop_replication_slot('s')", kPg, "不能使用“pg_drop_replication_slot”"},
        {"select pg_replication_origin_create('o')", kPg, "不能使用“pg_replication_origin_create”"},
        {"select * from pg_logical_slot_get_changes('s', null, null)", kPg, "不能使用“pg_logical_slot_get_changes”"},
        {"select pg_logical_emit_message(false, 'p', 'x')", kPg, "不能使用“pg_logical_emit_message”"},
        {"select pg_switch_wal(), pg_reload_conf()", kPg, "不能使用“pg_switch_wal”"},
        {"select pg_stat_reset_shared('bgwriter')", kPg, "不能使用“pg_stat_reset_shared”"},
        {"select pg_terminate_backend(pid) from pg_stat_activity", kPg, "不能使用“pg_terminate_backend”"},
        {"select pg_cancel_backend(1), pg_rotate_logfile(), pg_promote()", kPg, "不能使用“pg_cancel_backend”"},
        {"select load_file('/etc/passwd') as a", kMy, "不能使用“load_file”"},
        {"select sys_exec('id'), sys_eval('id')", kMy, "不能使用“sys_exec”"},
        {"select * from t into outfile '/tmp/f'", kMy, "不能使用“into outfile”"},
        {"select * from t into /* x */ DumpFile '/tmp/f'", kAny, "不能使用“into DumpFile”"},
        {"call sys.execute_prepared_stmt('select ''x'' into outfile ''/x/PWNED''')", kMy,
            "不能调用“sys”中的存储过程"},
        {"call sys.execute_prepared_stmt('select 1')", kAny, "不能调用“sys”中的存储过程"},
        {"CALL `mysql`.`p`()", kMyEsc, "不能调用“mysql”中的存储过程"},
        {"call pg_catalog.p()", kPg, "不能调用“pg_catalog”中的存储过程"},
        {"exec msdb.dbo.sp_start_job 'x'", kMs, "不能调用“msdb”中的存储过程"},
        {"exec master.sys.sp_who", kMs, "不能调用“master”中的存储过程"},
        {"select 1 exec master..xp_cmdshell 'id'", kAny, "不能使用“xp_cmdshell”"},
        {"select 1 exec [xp_cmdshell] 'id'", kMs, "不能使用“xp_cmdshell”"},
        {"select 1 exec\xc2\xa0xp_cmdshell 'id'", kMs, "不能使用“xp_cmdshell”"},
        {"exec sp_executesql N'drop table t'", kAny, "不能使用“sp_executesql”"},
        {"exec sp_setapprole 'r', 'p'", kMs, "不能使用“sp_setapprole”"},
        {"exec ('drop table t')", kAny, "EXEC 之后只能是存储过程名（按 SQL Server 的读法）"},
        {"execute N'drop table t'", kMs, "EXEC 之后只能是存储过程名"},
        {"exec @sql", kAny, "EXEC 之后只能是存储过程名"},
        {"exec \"drop table t\"", kAny, "EXEC 之后只能是存储过程名"},
        {"execute as login = 'sa'", kMs, "EXEC 之后只能是存储过程名"},
        {"bulk insert t from '/etc/passwd'", kMs, "不能使用“bulk insert”"},
        {"select * from openrowset(bulk '/etc/passwd', single_clob) x", kAny, "不能使用“openrowset”"},
        {"select * from OpenQuery(srv, 'select 1')", kMs, "不能使用“OpenQuery”"},
        {"exec sp_OACreate 'WScript.Shell', @o out", kAny, "不能使用“sp_OACreate”"},
    });
}

TEST(SqlStatementCheck, ARefusalNamesTheLineThePlaceAndTheReading)
{
    EXPECT_EQ(SqlStatementRefusal("select a,\n  coalesce(note,'') <> 'C:\\data\\' as b from t", kMyEsc),
        QStringLiteral("第 2 行“…te,'') <> 'C:\\data\\' as…”附近：引号没有结束（按 MySQL/MariaDB 的读法）。"));
    EXPECT_EQ(SqlStatementRefusal("\n\n  select 1 /* x", kAny),
        QStringLiteral("第 3 行“select 1 /* x”附近：注释没有结束（按 SQLite、标准 SQL、PostgreSQL、MySQL/MariaDB 和 SQL Server 的读法）。"));
    EXPECT_EQ(SqlStatementRefusal("select (1", kPgStd), QStringLiteral("第 1 行“select (1”附近：括号没有结束（按 PostgreSQL 的读法）。"));
    EXPECT_EQ(SqlStatementRefusal("select 1 /* /* */ ) t", kPg),
        QStringLiteral("第 1 行“select 1 /* /* */ ) t”附近：注释没有结束（按 PostgreSQL 的读法）。"));
    EXPECT_EQ(SqlStatementRefusal("select x from t where\r\n  y = 1 -- a\r) t", kAny),
        QStringLiteral("第 2 行“y = 1 -- a”附近：不能含有控制字符或单独的回车符。"));
    EXPECT_EQ(SqlStatementRefusal("select 1 exec (@q)", kAny),
        QStringLiteral("第 1 行“select 1 exec (@q)”附近：EXEC 之后只能是存储过程名（按 SQL Server 的读法）。"));
    EXPECT_EQ(SqlStatementRefusal("select [x] from t; select 2", kMs),
        QStringLiteral("第 1 行“…[x] from t; select 2”附近：分号之后不能再有语句（按 SQL Server 的读法）。"));
    EXPECT_EQ(SqlStatementRefusal("select 1 from a) t", kAny),
        QStringLiteral("第 1 行“…t 1 from a) t”附近：右括号多于左括号（按 SQLite、标准 SQL、PostgreSQL、MySQL/MariaDB 和 SQL Server 的读法）。"));
}

TEST(SqlStatementCheck, OnlyWhatNoServerTakesIsRefusedBeforeConnecting)
{
    EXPECT_EQ(SqlRefusalOfEveryReading("select 1; drop table t"), SqlStatementRefusal("select 1; drop table t"));
    EXPECT_NE(SqlRefusalOfEveryReading("exec master..xp_cmdshell 'id'"), "");
    EXPECT_NE(SqlRefusalOfEveryReading("select 'x' as a) t exec xp_cmdshell 'id' select 1 from (select 1"), "");
    // Some server reads each of these as one query.
    for (const char* sql : {"select 'C:\\data\\'", "select $$it's$$", "select [a'] from t",
             "select exec, a from t"}) {
        EXPECT_NE(SqlStatementRefusal(sql), "") << sql;
        EXPECT_EQ(SqlRefusalOfEveryReading(sql), "") << sql;
    }
}

// Before connecting the server's settings are not known: a statement is refused only
// where each of the server's readings refuses it; once connected its own reading judges.
TEST(SqlStatementCheck, BeforeConnectingOnlyWhatEachOfTheServersReadingsRefusesIsRefused)
{
    const QString path = QStringLiteral("select * from t where path <> 'C:\\data\\' order by 1");
    EXPECT_EQ(SqlRefusalOfEveryReading(path, kPg), "");
    EXPECT_EQ(SqlStatementRefusal(path, kPgStd), "");
    EXPECT_NE(SqlStatementRefusal(path, kPgOld), "");
    EXPECT_NE(SqlStatementRefusal(path, kPg), ""); // connected, the setting not told
    const QString name = QStringLiteral("select * from t where name <> 'it\\'s'");
    EXPECT_EQ(SqlRefusalOfEveryReading(name, kMy), "");
    EXPECT_EQ(SqlStatementRefusal(name, kMyEsc), "");
    EXPECT_NE(SqlStatementRefusal(name, kMyNoEsc), "");

    // A quote that hides the wrapper's ")" from one setting only: let through to the
    // connection, refused there under the setting that reads the ")".
    const QString hidden = QStringLiteral("select 'a\\') t; drop table x; --' from t");
    EXPECT_EQ(SqlRefusalOfEveryReading(hidden, kPg), "");
    EXPECT_NE(SqlStatementRefusal(hidden, kPgStd), "");
    EXPECT_NE(SqlRefusalOfEveryReading(QStringLiteral("select 1 /* /* */ ) t"), kPg), "");

    // What each reading refuses is refused at once, naming the server's readings.
    const QString two = QStringLiteral("select 1; drop table t");
    EXPECT_EQ(SqlRefusalOfEveryReading(two, kPg),
        QStringLiteral("第 1 行“select 1; drop table t”附近：分号之后不能再有语句（按 PostgreSQL 的读法）。"));
    EXPECT_EQ(SqlRefusalOfEveryReading(two, kMy),
        QStringLiteral("第 1 行“select 1; drop table t”附近：分号之后不能再有语句（按 MySQL/MariaDB 的读法）。"));
    EXPECT_EQ(SqlRefusalOfEveryReading(two, kLite), SqlStatementRefusal(two, kLite));
    EXPECT_NE(SqlRefusalOfEveryReading(QStringLiteral("select lo_export(1, '/tmp/f')"), kPg), "");
    EXPECT_NE(SqlRefusalOfEveryReading(QStringLiteral("select load_file('/etc/passwd') as a"), kMy), "");
}

TEST(SqlStatementCheck, ARefusalNamesEachReadingThatRefusesItAlike)
{
    EXPECT_EQ(SqlStatementRefusal("select 'C:\\data\\' as a"),
        QStringLiteral("第 1 行“select 'C:\\data\\' as…”附近：引号没有结束（按 PostgreSQL 和 MySQL/MariaDB 的读法）。"));
    EXPECT_EQ(SqlStatementRefusal("select 1; select 2", kMy),
        QStringLiteral("第 1 行“select 1; select 2”附近：分号之后不能再有语句（按 MySQL/MariaDB 的读法）。"));
    EXPECT_EQ(SqlRefusalOfEveryReading("select 1; select 2"),
        QStringLiteral("第 1 行“select 1; select 2”附近：分号之后不能再有语句"
                       "（按 SQLite、标准 SQL、PostgreSQL、MySQL/MariaDB 和 SQL Server 的读法）。"));
}

// The one statement is a query: one that changes data is refused as such, wherever it
// stands in a WITH, on every server and before connecting.
TEST(SqlStatementCheck, AStatementThatChangesDataIsRefusedAsOne)
{
    const struct
    {
        const char* sql;
        const char* word;
    } writing[] = {
        {"update t set a = 1", "update"},
        {"  INSERT into t values (1)", "INSERT"},
        {"delete from t where a = 1;", "delete"},
        {"/* x */ truncate t", "truncate"},
        {"create table x (a int)", "create"},
        {"drop table t", "drop"},
        {"alter table t add b int", "alter"},
        {"merge into t using s on t.a = s.a when matched then delete", "merge"},
        {"replace into t values (1)", "replace"},
        {"grant all on t to public", "grant"},
        {"copy t to '/tmp/f'", "copy"},
        {"with d as (delete from t returning *) select * from d", "delete"},
        {"with d as materialized (update t set a = 1 returning a) select a from d", "update"},
        {"with n(i) as (select 1) insert into t select i from n", "insert"},
        {"with recursive n as (select 1 as i) update t set a = (select i from n)", "update"},
    };
    for (const auto& c : writing) {
        const QString expected = QStringLiteral("“%1”语句会修改数据，而本程序只读取数据").arg(QLatin1String(c.word));
        for (const SqlServerKind& server : kEveryKind) {
            const QString refusal = SqlStatementRefusal(QString::fromUtf8(c.sql), server);
            EXPECT_TRUE(refusal.contains(expected)) << c.sql << " on " << server.server << ": " << refusal.toStdString();
        }
        EXPECT_TRUE(SqlRefusalOfEveryReading(QString::fromUtf8(c.sql)).contains(expected)) << c.sql;
    }
    CPostgreSQLDS ds;
    ds.m_strName = QStringLiteral("库存");
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = QStringLiteral("update t set a = 1");
    EXPECT_EQ(CSqlStatements(DSPostgreSQL).RefusalBeforeConnecting(ds),
        QStringLiteral("数据源“库存”的SQL语句只能是一条读取数据的查询语句，第 1 行“update t set a…”附近："
                       "“update”语句会修改数据，而本程序只读取数据（按 PostgreSQL 的读法）。"));

    // Queries that only name such words.
    for (const char* sql : {"select update_time, \"delete\", [insert] from t where note = 'update t'",
             "with replace as (select 1 as a) select a from replace",
             "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3) select i from n",
             "select * from t where a in (select b from u) order by 1"}) {
        for (const SqlServerKind& server : {kPgStd, kMyEsc, kLite})
            EXPECT_EQ(SqlStatementRefusal(QString::fromUtf8(sql), server), "") << sql << " on " << server.server;
    }
}

TEST(SqlStatementCheck, OnlyACallOfLiteralsIsAProcedureCall)
{
    const char* const calls[] = {"call TwoSets()", "CALL db.TwoSets( 1, 'a''b', -2.5 );", "{call p}",
        "{ call dbo.p(N'x') }", "exec dbo.Report 1, 'x'", "EXECUTE Report @from = 1, @to = '2024'"};
    for (const char* sql : calls) {
        EXPECT_TRUE(IsSqlProcedureCall(QString::fromUtf8(sql))) << sql;
        EXPECT_FALSE(JudgeSqlStatement(QString::fromUtf8(sql)).query) << sql;
    }
    const char* const others[] = {"select 1", "call p(1) select 2", "call p(now())", "exec p 1 drop table t",
        "exec p @x", "call p('a\\')", "exec xp_cmdshell 'id'", "{call p", "call p() -- x", "exec p 1;select 2"};
    for (const char* sql : others)
        EXPECT_FALSE(IsSqlProcedureCall(QString::fromUtf8(sql))) << sql;
    EXPECT_TRUE(IsSqlProcedureCall("call p('x')", kMy));
    EXPECT_FALSE(IsSqlProcedureCall("call sys.p('x')", kMy));
    EXPECT_TRUE(IsSqlProcedureCall("call sys.p('x')", kPg));

    // What may be sent as it stands: a query, whatever comments come before it.
    for (const char* sql : {"select 1", "/* x */ WITH n as (select 1) select * from n", "(select 1) union (select 2)",
             "values (1)", "table t", "-- x\nselect 1;"})
        EXPECT_TRUE(JudgeSqlStatement(QString::fromUtf8(sql), kMyEsc).query) << sql;
    for (const char* sql : {"show tables", "call p()", "select 1; select 2", "do sleep(1)"})
        EXPECT_FALSE(JudgeSqlStatement(QString::fromUtf8(sql), kMyEsc).query) << sql;
}

// A print job judges its statement from its own thread on every page: the verdicts
// remembered are the ones judged afresh, from any number of threads.
TEST(SqlStatementCheck, RememberedVerdictsHoldAcrossThreads)
{
    std::vector<QString> statements;
    for (int i = 0; i < 100; ++i)
        statements.push_back(i % 3 ? QStringLiteral("select %1 as a from t where n <> 'C:\\x\\'").arg(i)
                                   : QStringLiteral("select %1; drop table t").arg(i));
    std::vector<QString> expected;
    for (const QString& sql : statements)
        expected.push_back(SqlStatementRefusal(sql, kPgStd));
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                for (size_t i = 0; i < statements.size(); ++i) {
                    if (SqlStatementRefusal(statements[i], kPgStd) != expected[i])
                        ++wrong[t];
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
    for (size_t i = 0; i < statements.size(); ++i)
        EXPECT_EQ(expected[i].isEmpty(), i % 3 != 0) << i;
    // The same text for another server is judged for that server.
    EXPECT_NE(SqlStatementRefusal(statements[1], kMyEsc), "");
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
    EXPECT_TRUE(CSqlStatements(DSSQLServer).CountsByReading(ds));
    CMySQLDS my;
    my.m_nRangeMode = RangeSQL;
    my.m_strSQL = "call TwoSets()";
    EXPECT_EQ(CSqlStatements(DSMySQL).Rows(my, 3, 2), "call TwoSets()");
    EXPECT_FALSE(CSqlStatements(DSMySQL).PagesInStatement(my));

    EXPECT_EQ(CSqlStatements(DSSQLServer).Refusal(ds), "");
    ds.m_strName = "库存";
    ds.m_strSQL = "select 1; select 2";
    EXPECT_EQ(CSqlStatements(DSSQLServer).Refusal(ds),
        QStringLiteral("数据源“库存”的SQL语句只能是一条读取数据的查询语句，第 1 行“select 1; select 2”附近："
                       "分号之后不能再有语句（按 SQLite、标准 SQL、PostgreSQL、MySQL/MariaDB 和 SQL Server 的读法）。"));
    ds.m_nRangeMode = RangeAll; // a table: the statement is not sent
    EXPECT_EQ(CSqlStatements(DSSQLServer).Refusal(ds), "");
}

// A statement may close with any number of semicolons and blanks: they are left out of
// the text that is judged and of every statement built around it, and only they are.
TEST(SqlStatementCheck, ClosingSemicolonsOfAnyNumberAreLeftOutWhereverTheStatementIsUsed)
{
    QString closing;
    for (int i = 0; i < 262136; ++i)
        closing += i % 1000 == 999 ? QStringLiteral(" ;\n") : QStringLiteral(";");
    EXPECT_EQ(SqlWithoutClosingSemicolons("\t select 1" + closing), "select 1");
    EXPECT_EQ(SqlWithoutClosingSemicolons(" ; ;"), "");
    EXPECT_EQ(SqlWithoutClosingSemicolons("select ';' ; "), "select ';'");
    EXPECT_EQ(SqlWithoutClosingSemicolons("select 1; select 2;;"), "select 1; select 2");

    CPostgreSQLDS ds;
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = "select 1" + closing;
    for (const SqlServerKind& server : kEveryKind) {
        const SqlStatementVerdict verdict = JudgeSqlStatement(ds.m_strSQL, server);
        EXPECT_EQ(verdict.refusal, "") << server.server;
        EXPECT_TRUE(verdict.query) << server.server;
    }
    const CSqlStatements pg(DSPostgreSQL);
    EXPECT_EQ(pg.Rows(ds, 1, 10), "select * from (select 1\n) t limit 10 offset 0");
    EXPECT_EQ(pg.Count(ds), "select count(*) as \"RecordCount\" from (select 1\n) t");
    EXPECT_EQ(pg.Refusal(ds), "");

    ds.m_strSQL = "exec dbo.Report 1" + closing;
    EXPECT_TRUE(IsSqlProcedureCall(ds.m_strSQL, kMs));
    EXPECT_EQ(CSqlStatements(DSSQLServer).Rows(ds), "exec dbo.Report 1");
    // A second statement before them is still one too many.
    ds.m_strSQL = "select 1; select 2" + closing;
    EXPECT_TRUE(pg.Refusal(ds).contains(QStringLiteral("分号之后不能再有语句")));
}

// PostgreSQL's scanner reads UTF-8 bytes: any character outside ASCII starts a name or a
// dollar-quote tag, "$1" is a parameter and a number ends where its digits do, and a
// literal continued on a later line keeps its first part's escapes.
TEST(SqlStatementCheck, PostgreSQLTokensAreReadAsItsScannerReadsThem)
{
    ExpectVerdicts({
        // What hides ";" under another reading of "$" than the server's.
        {"select $٣$'$٣$ as a) t; commit; insert into marks values ($٣$written by a label$٣$); commit; "
         "select * from (select $٣$'$٣$ as a",
            kPg, "右括号多于左括号（按 PostgreSQL 的读法）"},
        {"select $٣$'$٣$ as a; select 2; select $٣$'$٣$ as b", kPgStd, "分号之后不能再有语句"},
        {"select $\xc2\xa0$'$\xc2\xa0$ as a; select 2; select $\xc2\xa0$'$\xc2\xa0$ as b", kAny, "分号之后不能再有语句"},
        {"select $\xe3\x80\x80x$'$\xe3\x80\x80x$ as a; select 2 as b; select $\xe3\x80\x80x$'$\xe3\x80\x80x$", kPgOld,
            "分号之后不能再有语句"},
        {"select $1$q$'$q$ as a; select 2; select $1$q$'$q$ as b", kPg, "分号之后不能再有语句"},
        {"select 1$q$'$q$ as a; select 2; select 1$q$'$q$ as b", kPg, "分号之后不能再有语句"},
        {"select 1.5e3$q$'$q$ as a; select 2; select 1$q$'$q$ as b", kPg, "分号之后不能再有语句"},
        {"select E'a'\n  '\\'' ; select 2 as b; --' as a", kPgStd, "分号之后不能再有语句"},
        {"select E'a' -- x\n\n'\\'' ; select 2 as b; --' as a", kPgStd, "分号之后不能再有语句"},
        {"select B'\\' ; select 2 as b; --' as a", kPgOld, "分号之后不能再有语句"},
        {"select X'0'''; select 2 as b; --' as a", kPgOld, "分号之后不能再有语句"},
        {"select $u&'x' as a", kPg, "不能使用“u&'”"},
        {"select $$a$$u&'x' as a", kPg, "不能使用“u&'”"},
        // The same forms where the server reads one statement.
        {"select $٣$it's; ok$٣$ as a, $中$x$中$, $_1$y$_1$, $a\xc2\xa0$)$a\xc2\xa0$ as b", kPg, ""},
        {"select 1 as ٣$a$, 2 as x$b$y, $1 + $2 as c from t where a = $10", kPg, ""},
        {"select E'it\\'s'\n'\\\\' as a, 'a' -- x\n'b' as b, 'c' /* ' */ as c", kPg, ""},
        {"select E'a'  'b' as a", kPgStd, ""},
        {"select B'0101', X'0F', N'x', b'1'\n'0' as a", kPg, ""},
        {"select 1 as a, 1.5 as b, .5e-3 as c, 2e5 as d", kPg, ""},
    });
}

// MariaDB's MSSQL mode, which may be on wherever ANSI_QUOTES is, reads [name] with "]]"
// inside.
TEST(SqlStatementCheck, MariaDBWithAnsiQuotesMayReadBracketedNames)
{
    ExpectVerdicts({
        {"select 1 as [a']; select 2 as b; select 3 as [a']", kMyAnsi, "分号之后不能再有语句（按 MySQL/MariaDB 的读法）"},
        {"select 1 as [a]]']; select 2 as b; select 3 as [a']", kMy, "分号之后不能再有语句"},
        {"select 1 as [a']; select 2 as b; select 3 as [a']", kMyEsc, ""}, // no MSSQL: one literal
        {"select 1 as [a'] from t", kMyAnsi, "引号没有结束"},
        {"select 1 as [a]]b], 'x[' as c", kMyAnsi, ""},
        {"select 1 as a, '[' as b, \"x]\" as c", kMyEsc, ""},
    });
}

// PostgreSQL also calls a function of one argument written after the argument; the same name
// after a table's name is a column.
TEST(SqlStatementCheckFieldNotation, ARefusedFunctionWrittenAfterItsArgumentIsRefused)
{
    ExpectVerdicts({
        {"select (pid).pg_terminate_backend::text as a from pg_stat_activity", kPgStd, "pg_terminate_backend"},
        {"select (0) . \"PG_CANCEL_BACKEND\" as a", kPg, "PG_CANCEL_BACKEND"},
        {"select (('select 1')::text).ts_stat as a", kAny, "ts_stat"},
        {"select (a[1]).pg_read_file from (select array['x'::text] a) s", kPgOld, "pg_read_file"},
        {"select ('public'::name).schema_to_xml as a", kPgStd, "schema_to_xml"},
        {"select database_to_xml(true, false, '') as a", kPgStd, "database_to_xml"},
        {"select t.pg_terminate_backend, s.lo_price from t join s on true", kAny, "pg_terminate_backend"},
        {"select t.pg_terminate_backend, s.lo_price from t join s on true", kPgStd, ""}, // told once connected
        {"select t.pg_terminate_backend, s.lo_price from t join s on true", kMyEsc, ""},
        {"select ('ABC'::text).lower as a", kAny, ""},
    });
    EXPECT_TRUE(IsRefusedSqlFunction(QStringLiteral("ts_rewrite"), 2));
    EXPECT_FALSE(IsRefusedSqlFunction(QStringLiteral("ts_rewrite"), 3));
    EXPECT_TRUE(IsRefusedSqlFunction(QStringLiteral("query_to_xml_and_xmlschema"), 4));
    EXPECT_FALSE(IsRefusedSqlFunction(QStringLiteral("table_to_xml"), 4));
}

// PostgreSQL reads "x.f" as f(x) where x is a FROM item of one value: where the server may be one
// that reads the text as PostgreSQL does without being known as PostgreSQL, a refused function's
// name is refused wherever PostgreSQL would read it as a name, however it is spelled, and only
// there. A server known to be PostgreSQL tells once connected (by resolving the statement, or by
// its catalog): its reading takes the names (ResolvedStatementTest, UnresolvedReadingTest).
TEST(SqlStatementCheckFieldNotation, ARefusedNameIsRefusedWhereverPostgreSQLReadsItAsAName)
{
    ExpectVerdicts({
        {"select x.ts_stat::text as a from cast('select 1' as text) x", kAny,
            "不能使用“ts_stat”（按 PostgreSQL 的读法）"},
        {"select x.\"ts_stat\" as a from cast('select 1' as text) x", kAny, "“ts_stat”"},
        {"select \"x\".TS_STAT as a from cast('select 1' as text) x", kAny, "“TS_STAT”"},
        {"select x/**/ . /**/ts_stat as a from cast('select 1' as text) x", kAny, "“ts_stat”"},
        {"select x /* /* */ */\n.\tpg_read_file as a from cast('postgresql.conf' as text) x", kAny, "“pg_read_file”"},
        {"select x.pg_terminate_backend::text as a from unnest(array(select pid from pg_stat_activity)) x", kAny,
            "“pg_terminate_backend”"},
        {"select x.lo_unlink from lateral abs(1) x", kAny, "“lo_unlink”"},
        {"select x.pg_ls_dir from cast('.' as text) x", kAny, "“pg_ls_dir”"},
        {"select x.query_to_xml_and_xmlschema from t x", kAny, "“query_to_xml_and_xmlschema”"},
        {"select pg_catalog.set_config from t", kAny, "“set_config”"},
        {"select x.ts_stat\xc2\xa0 as a from cast('select 1' as text) x", kAny, "“ts_stat”"},
        {"select U&\"ts_st\\0061t\" as a", kPgStd, "不能使用“U&\"”"},
        // A text a server may run as a query, holding the same.
        {"select 'select x . \"pg_read_file\" from cast(''f'' as text) x' as a", kLite, "“pg_read_file”"},
        {"select 'select x./* */ts_stat from t x' as a", kPgStd, "“ts_stat”"},
        // Harmless functions and names in the same places.
        {"select x.upper as a from cast('a' as text) x", kAny, ""},
        {"select x.lower, x.\"length\" as b from lateral lower('A') x", kPgStd, ""},
        {"select x.ts_rewrite as a from t x", kPgStd, ""}, // a query text needs its second argument
        {"select 'see pg_read_file, then ts_stat' as a, \"x\".lo_get from t x", kPg, ""},
        {"select x.lo from t x where x.ts = 'pg'", kPg, ""},
    });
    // The same names where the server is known to be PostgreSQL: told once connected.
    for (const char* sql : {"select x.ts_stat::text as a from cast('select 1' as text) x",
             "select x/**/ . /**/ts_stat as a from cast('select 1' as text) x",
             "select x.lo_unlink from lateral abs(1) x", "select \"x\".TS_STAT as a from cast('select 1' as text) x",
             "select pg_catalog.set_config from t"}) {
        for (const SqlServerKind& pg : {kPg, kPgStd, kPgOld}) {
            EXPECT_EQ(SqlStatementRefusal(QString::fromUtf8(sql), pg), "") << sql;
            EXPECT_EQ(SqlRefusalOfEveryReading(QString::fromUtf8(sql), pg), "") << sql;
        }
    }
    // A column or a table named like one of them: refused where a server not known to be
    // PostgreSQL may read the statement as PostgreSQL does, taken where the server is known (a
    // known PostgreSQL server tells once connected).
    for (const char* sql : {"select price as xp_price, lo_export from t", "select a from pg_terminate_backend",
             "select \"TS_STAT\".a from t as \"TS_STAT\"", "select id, name, price as xp_price from items",
             "select lo_limit, lo_alarm, a as lo_name, xp_level, set_config, dblink, ts_stat, pg_ls_note from "
             "lo_batches"}) {
        EXPECT_EQ(SqlStatementRefusal(QString::fromUtf8(sql), kPg), "") << sql;
        EXPECT_NE(SqlStatementRefusal(QString::fromUtf8(sql), kAny), "") << sql;
        for (const SqlServerKind& other : {kLite, kMy, kMyAnsi, kMs})
            EXPECT_EQ(SqlStatementRefusal(QString::fromUtf8(sql), other), "") << sql << " on " << other.server;
    }
    // MySQL, SQL Server and SQLite call nothing written so.
    EXPECT_EQ(SqlRefusalOfEveryReading(QStringLiteral("select x.ts_stat from t x")), "");
}

// A read that locks what it reads, in any spelling and wherever it stands, is refused on every
// server; the same words as a text, a quoted name or another clause are not.
TEST(SqlStatementCheck, LockingReadsAreRefusedOnEveryServer)
{
    const char* const refused[] = {
        "select a from lk300 lock in share mode",
        "select a from lk300 LOCK  IN\nSHARE /* x */ MODE",
        "select a from lk300 for update",
        "select a from lk300 For Share nowait",
        "select * from (select a from lk300 for update skip locked) t",
        "select a from lk300 for no key update",
        "select a from lk300 for key share",
        "select a from t where a in (select a from lk300 for share)",
    };
    for (const SqlServerKind& server : kEveryKind) {
        for (const char* sql : refused)
            EXPECT_TRUE(SqlStatementRefusal(QString::fromUtf8(sql), server).contains(QStringLiteral("会锁住读到的行")))
                << sql << " on " << server.server;
    }
    const char* const accepted[] = {
        "select 'for update', 'lock in share mode' as a from t",
        "select \"for\", \"update\" from t",
        "select a from t for system_time as of timestamp '2026-01-01'",
        "select lock, share, mode from t",
    };
    for (const char* sql : accepted)
        EXPECT_EQ(SqlStatementRefusal(QString::fromUtf8(sql), kMy), "") << sql;
}

// A statement is read up to a megabyte of UTF-8 and refused past it before it is read, by every
// judgement, naming the bound; within it, judged as any other.
TEST(SqlStatementCheckLength, AStatementPastAMegabyteIsRefusedUnreadByEveryJudgement)
{
    const QString head = QStringLiteral("select 1 as a -- ");
    const QString ascii = head + QString(kMaxSqlStatementBytes - head.size(), u'x');
    const QString chinese = head + QString((kMaxSqlStatementBytes - head.size()) / 3, QChar(u'中'));
    ASSERT_EQ(ascii.toUtf8().size(), kMaxSqlStatementBytes);
    ASSERT_LE(chinese.toUtf8().size(), kMaxSqlStatementBytes);
    const QString bound = QStringLiteral("这条语句长于 1 MB 的上限（按 UTF-8 编码计 1048576 字节）");
    for (const SqlServerKind& server : {kAny, kPg, kMy, kLite}) {
        for (const QString& within : {ascii, chinese}) {
            EXPECT_EQ(SqlStatementRefusal(within, server), "") << server.server;
            EXPECT_TRUE(JudgeSqlStatement(within, server).query);
            EXPECT_TRUE(SqlNamesOf(within, server).names.contains(QStringLiteral("select")));
        }
        // One byte more, as ASCII, as three bytes of one character, as a pair of surrogates.
        for (const QString& past : QStringList {ascii + u'x', chinese + QChar(u'中'), chinese + QStringLiteral("😀")}) {
            ASSERT_GT(past.toUtf8().size(), kMaxSqlStatementBytes);
            EXPECT_TRUE(SqlStatementRefusal(past, server).startsWith(bound)) << server.server;
            EXPECT_TRUE(SqlRefusalOfEveryReading(past, server).startsWith(bound)) << server.server;
            EXPECT_FALSE(JudgeSqlStatement(past, server).query);
        }
    }
    // Sixteen megabytes are refused as soon, for their length alone: nothing is said of what an
    // unread statement does.
    CPostgreSQLDS ds;
    ds.m_strName = QStringLiteral("库存");
    ds.m_nRangeMode = RangeSQL;
    ds.m_strSQL = QString(16 * kMaxSqlStatementBytes, u' ') + QStringLiteral("select 1");
    const QString refusal = QStringLiteral("数据源“库存”的SQL语句没有运行：") + bound;
    EXPECT_TRUE(CSqlStatements(DSPostgreSQL).Refusal(ds).startsWith(refusal))
        << CSqlStatements(DSPostgreSQL).Refusal(ds).toStdString();
    EXPECT_TRUE(CSqlStatements(DSPostgreSQL).RefusalBeforeConnecting(ds).startsWith(refusal));
    EXPECT_TRUE(SqlNamesOf(ds.m_strSQL).names.isEmpty());
}

// The query made of a table's name and fields is bounded as a typed statement is: a name of
// megabytes is refused before anything is asked or sent; an ordinary one is not.
TEST(SqlStatementCheckLength, ATableNameTooLongForAStatementIsRefusedBeforeConnecting)
{
    CPostgreSQLDS ds;
    ds.m_strName = QStringLiteral("库存");
    ds.m_nRangeMode = RangeAll;
    ds.m_strTable = QStringLiteral("items");
    ds.m_selectedFields = {QStringLiteral("id"), QStringLiteral("name")};
    const CSqlStatements statements(DSPostgreSQL);
    EXPECT_EQ(statements.RefusalBeforeConnecting(ds), "");
    EXPECT_EQ(statements.Refusal(ds), "");
    const QString refusal = QStringLiteral("数据源“库存”的由数据表名、字段名和排序字段生成的读取数据的语句长于 1 MB 的上限");
    for (const qsizetype size : {kMaxSqlStatementBytes - 10, 4 * kMaxSqlStatementBytes}) {
        ds.m_strTable = QString(size, u't');
        EXPECT_TRUE(statements.RefusalBeforeConnecting(ds).startsWith(refusal)) << size;
        EXPECT_TRUE(statements.Refusal(ds).startsWith(refusal)) << size;
        ds.m_strTable = QStringLiteral("items");
        ds.m_selectedFields << QString(size, u'f');
        EXPECT_TRUE(statements.RefusalBeforeConnecting(ds).startsWith(refusal)) << size;
        ds.m_selectedFields.removeLast();
    }
}

// Texts at the bound whose checks once took the square of their length (an unfinished comment
// after each refused name in one literal, calls nested tens of thousands deep, one line with no
// blank) come back with their verdicts; the benchmark times them.
TEST(SqlStatementCheckLength, StatementsAtTheBoundShapedToSlowTheCheckAreJudged)
{
    const auto filled = [](QString sql, const QString& part, const QString& tail = {}) {
        while (sql.size() + part.size() + tail.size() < kMaxSqlStatementBytes - 64)
            sql += part;
        return sql + tail;
    };
    const QString comments = filled(QStringLiteral("select '"), QStringLiteral("ts_stat/*''"), QStringLiteral("' as a"));
    QString nested = QStringLiteral("select ");
    int depth = 0;
    while (nested.size() < kMaxSqlStatementBytes / 2 - 64) {
        nested += QStringLiteral("ts_rewrite(");
        ++depth;
    }
    nested += QStringLiteral("'a'") + QString(depth, u')') + QStringLiteral(" as a");
    const QString twoArguments = QString(nested).replace(QStringLiteral("'a')"), QStringLiteral("'a', 'b')"));
    const QString oneLine = filled(QStringLiteral("select '"), QStringLiteral("abcdefghij"), QStringLiteral("' as a"));
    for (const SqlServerKind& server : {kAny, kPg}) {
        EXPECT_EQ(SqlStatementRefusal(comments, server), "") << server.server;
        EXPECT_EQ(SqlStatementRefusal(nested, server), "") << server.server;
        EXPECT_NE(SqlStatementRefusal(twoArguments, server), "") << server.server;
        EXPECT_EQ(SqlStatementRefusal(oneLine, server), "") << server.server;
    }
}

#if !defined(__SANITIZE_ADDRESS__)
// Judging a statement of a megabyte for an unknown server (every reading) and reading its names
// take a few dozen bytes for each of its bytes at most (the tokens of one reading at a time, no
// copy of their texts); one of sixteen takes nothing past its own text.
TEST(SqlStatementCheckLength, AStatementOfAMegabyteIsJudgedWithinABoundOfMemory)
{
    QString sql = QStringLiteral("select o.id");
    for (int i = 0; sql.size() < kMaxSqlStatementBytes - 200; ++i)
        sql += QStringLiteral(",\n  case when o.q%1 > %1 then lower(c.\"n %1\") else 'it''s' end /* x */ as v%1")
                   .arg(i);
    const QString huge = QString(16 * kMaxSqlStatementBytes, u' ') + sql;
    EXPECT_EXIT(RunWithinPeakMemory(qint64(32) << 20, qint64(1) << 30,
                    [&] {
                        return SqlStatementRefusal(sql).isEmpty() && !SqlNamesOf(sql).names.isEmpty()
                            && !SqlStatementRefusal(huge).isEmpty() && SqlNamesOf(huge).names.isEmpty();
                    }),
        ::testing::ExitedWithCode(0), "");
}
#endif
