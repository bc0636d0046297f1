// Runs against the PostgreSQL and MariaDB servers that scripts/dbservers.sh starts
// with the fixtures of tests/data/db.
#include "DbTestEnv.h"
#include "RowWindowCases.h"
#include "platform/db/DbConnection.h"

#include "TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Backend
{
    const char* name;
    const char* envPrefix;
    std::unique_ptr<DbConnection> (*open)(const DbServerSettings&);
    const char* peopleTable; // as the statements of that database name it
    const char* peopleIds; // the Ids of People in order, one column
};

const Backend kBackends[] = {
    {"PostgreSQL", "VC_PG", &DbConnection::OpenPostgreSQL, "\"People\"", "select \"Id\" from \"People\" order by 1"},
    {"MySQL", "VC_MY", &DbConnection::OpenMySQL, "People", "select Id from People order by 1"},
};

class DbServer : public ::testing::TestWithParam<Backend>
{
};

} // namespace

TEST_P(DbServer, ConnectsWithAPasswordHoldingBlanksAndQuotes)
{
    VC_TEST_SERVER(settings, GetParam().envPrefix);
    ASSERT_TRUE(settings.password.contains(' ') && settings.password.contains('\''));
    auto db = GetParam().open(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();

    DbServerSettings wrong = settings;
    wrong.password += "x";
    auto refused = GetParam().open(wrong);
    EXPECT_FALSE(refused->IsOpen());
    EXPECT_FALSE(refused->LastError().isEmpty());
    DbRows rows;
    EXPECT_FALSE(refused->Query("select 1", rows));
}

TEST_P(DbServer, ListsTablesAndFieldsInDefinedOrder)
{
    VC_TEST_SERVER(settings, GetParam().envPrefix);
    auto db = GetParam().open(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    QStringList tables;
    ASSERT_TRUE(db->ListTables(tables));
    EXPECT_TRUE(tables.contains("People")) << tables.join(',').toStdString();
    EXPECT_TRUE(tables.contains("Empty"));
    QStringList fields;
    ASSERT_TRUE(db->ListFields("People", fields));
    EXPECT_EQ(fields, (QStringList {"Id", "Name", "City", "Note"}));
    ASSERT_TRUE(db->ListFields("Empty", fields));
    EXPECT_EQ(fields, (QStringList {"A", "B"}));
    // A quote in the name stays inside the literal.
    ASSERT_TRUE(db->ListFields("x' or '1'='1", fields));
    EXPECT_TRUE(fields.isEmpty());
}

TEST_P(DbServer, QueryReadsUnicodeNullsAndAWindowOfRows)
{
    VC_TEST_SERVER(settings, GetParam().envPrefix);
    auto db = GetParam().open(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const QString table = QString::fromLatin1(GetParam().peopleTable);
    DbRows rows;
    ASSERT_TRUE(db->Query("select * from " + table + " order by 1", rows, 20, 20)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Columns(), (QStringList {"Id", "Name", "City", "Note"}));
    ASSERT_EQ(rows.RowCount(), 20);
    EXPECT_EQ(rows.Value(0, 0), "21");
    EXPECT_EQ(rows.Value(19, 0), "40");
    EXPECT_EQ(rows.Value(0, 2), QStringLiteral("北京")); // 21 % 3 == 0
    EXPECT_EQ(rows.Value(1, 2), QStringLiteral("Zürich"));
    EXPECT_EQ(rows.Value(2, 2), QStringLiteral("city 😀")); // four UTF-8 bytes: utf8mb4
    EXPECT_TRUE(rows.IsNull(9, 3)); // Id 30
    EXPECT_FALSE(rows.IsNull(8, 3));

    // Stopping early leaves the connection usable.
    ASSERT_TRUE(db->Query("select count(*) from " + table, rows));
    EXPECT_EQ(rows.Value(0, 0), "100");
    ASSERT_TRUE(db->Query("select * from " + table, rows, 200, 5));
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(rows.ColumnCount(), 4);
}

TEST_P(DbServer, EveryRowWindowKeepsExactlyTheAskedRows)
{
    VC_TEST_SERVER(settings, GetParam().envPrefix);
    auto db = GetParam().open(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    ExpectRowWindows(*db, QString::fromLatin1(GetParam().peopleIds), 100);
}

TEST_P(DbServer, FailedStatementIsAFailureWithTheServerMessage)
{
    VC_TEST_SERVER(settings, GetParam().envPrefix);
    auto db = GetParam().open(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    EXPECT_FALSE(db->Query("select nope from Missing", rows));
    EXPECT_TRUE(db->LastError().contains("issing", Qt::CaseInsensitive) || db->LastError().contains("nope"))
        << db->LastError().toStdString();
    ASSERT_TRUE(db->Query("select 1", rows)); // still usable
    EXPECT_TRUE(db->LastError().isEmpty());
}

// One text is one statement (the extended protocol takes no more), in a transaction
// that only reads and is rolled back, by Query and by the cursor alike.
TEST(DbServerPostgreSQL, OneStatementThatOnlyReadsAndLeavesNothingSet)
{
    VC_TEST_SERVER(settings, "VC_PG");
    auto db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    for (const char* sql : {"select 1 as a where false; select 2, 3", "select 1; select nope",
             "create table pwned (x int)"}) {
        EXPECT_FALSE(db->Query(sql, rows)) << sql;
        auto cursor = db->OpenCursor(sql);
        EXPECT_FALSE(cursor->Fetch(5, rows)) << sql;
    }
    // What a read-only transaction lets through is rolled back.
    ASSERT_TRUE(db->Query("select lo_from_bytea(424242, 'x')", rows)) << db->LastError().toStdString();
    ASSERT_TRUE(db->OpenCursor("select lo_from_bytea(424242, 'x')")->Fetch(-1, rows));
    ASSERT_TRUE(db->Query("select set_config('application_name', 'changed', false)", rows));
    ASSERT_TRUE(db->Query("select current_setting('application_name'), current_setting('transaction_read_only'), "
                          "(select count(*) from pg_class where relname = 'pwned'), "
                          "(select count(*) from pg_largeobject_metadata where oid = 424242)",
        rows));
    EXPECT_EQ(rows.Row(0), (QStringList {"", "on", "0", "0"}));
}

TEST(DbServerMySQL, OneStatementThatOnlyReads)
{
    VC_TEST_SERVER(settings, "VC_MY");
    auto db = DbConnection::OpenMySQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    for (const char* sql : {"select 1; create table pwned (x int)", "create table pwned (x int)",
             "insert into Empty values (1, 'x')", "create temporary table pwned (x int)"}) {
        EXPECT_FALSE(db->Query(sql, rows)) << sql;
        auto cursor = db->OpenCursor(sql);
        EXPECT_FALSE(cursor->Fetch(5, rows)) << sql;
    }
    ASSERT_TRUE(db->Query("select (select count(*) from Empty), (select count(*) from information_schema.tables "
                          "where table_name = 'pwned')",
        rows));
    EXPECT_EQ(rows.Row(0), (QStringList {"0", "0"}));
}

// A COPY waits for data the program never sends or reads: it is refused at once, by
// Query and by the cursor, and the connection goes on.
TEST(DbServerPostgreSQL, ACopyIsRefusedAndTheConnectionGoesOn)
{
    VC_TEST_SERVER(settings, "VC_PG");
    auto db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    for (const char* sql : {"copy (select 1) to stdout", "copy \"Empty\" from stdin"}) {
        EXPECT_FALSE(db->Query(sql, rows)) << sql;
        auto cursor = db->OpenCursor(sql);
        EXPECT_FALSE(cursor->Fetch(5, rows)) << sql;
        cursor.reset();
        ASSERT_TRUE(db->Query("select count(*) from \"Empty\"", rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "0");
    }
    auto cursor = db->OpenCursor("copy (select 1) to stdout");
    EXPECT_FALSE(cursor->Fetch(5, rows));
    EXPECT_EQ(cursor->LastError(), QStringLiteral("不能执行 COPY 语句"));
}

TEST(DbServerPostgreSQL, QuotedNamesKeepTheirCase)
{
    VC_TEST_SERVER(settings, "VC_PG");
    auto db = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select name from people", rows));
    ASSERT_EQ(rows.RowCount(), 1);
    EXPECT_EQ(rows.Value(0, 0), "lower");
    ASSERT_TRUE(db->Query("select \"Name\" from \"People\" where \"Id\" = 1", rows));
    EXPECT_EQ(rows.Value(0, 0), "name1");
    EXPECT_FALSE(db->Query("select \"Name\" from people", rows)); // "people" has only lower-case columns
}

TEST(DbServerMySQL, EveryResultSetOfACallIsReadSoTheConnectionStaysUsable)
{
    VC_TEST_SERVER(settings, "VC_MY");
    auto db = DbConnection::OpenMySQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    struct Case
    {
        qint64 skip;
        qint64 maxRows;
        QStringList ids; // of the first result set, the only one kept
    };
    const Case cases[] = {{0, -1, {"1", "2", "3"}}, {0, 1, {"1"}}, {1, 0, {}}, {5, -1, {}}};
    for (const Case& c : cases) {
        DbRows rows;
        ASSERT_TRUE(db->Query("call TwoSets()", rows, c.skip, c.maxRows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Columns(), (QStringList {"Id", "Name"}));
        QStringList ids;
        for (int r = 0; r < rows.RowCount(); ++r)
            ids.append(rows.Value(r, 0));
        EXPECT_EQ(ids, c.ids) << c.skip << " " << c.maxRows;
        ASSERT_TRUE(db->Query("select count(*) from People", rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Value(0, 0), "100");
    }
    // A statement of the procedure that fails after a first result set fails the call,
    // and the connection still takes the next statement.
    DbRows rows;
    EXPECT_FALSE(db->Query("call SetThenFailure()", rows));
    EXPECT_TRUE(db->LastError().contains("Missing", Qt::CaseInsensitive)) << db->LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 0);
    ASSERT_TRUE(db->Query("select 1", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "1");
}

// No server needed: nothing listens on port 1, so the connection is refused at once.
TEST(DbServerUnreachable, TheFailureIsSaidInTheProgramsWordsWithTheClientsOwnAfter)
{
    const std::pair<const char*, std::unique_ptr<DbConnection> (*)(const DbServerSettings&)> backends[]
        = {{"PostgreSQL", &DbConnection::OpenPostgreSQL}, {"MySQL", &DbConnection::OpenMySQL}};
    for (const auto& [name, open] : backends) {
        DbServerSettings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = 1;
        settings.database = QStringLiteral("labels");
        settings.user = QStringLiteral("nobody");
        auto db = open(settings);
        ASSERT_FALSE(db->IsOpen()) << name;
        const QString sentence = QStringLiteral("无法连接%1数据库：").arg(QLatin1String(name));
        EXPECT_TRUE(db->LastError().startsWith(sentence)) << db->LastError().toStdString();
        EXPECT_GT(db->LastError().size(), sentence.size()) << name;
        DbRows rows;
        EXPECT_FALSE(db->Query("select 1", rows));
        EXPECT_EQ(db->LastError(), QStringLiteral("未连接数据库")) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, DbServer, ::testing::ValuesIn(kBackends),
    [](const ::testing::TestParamInfo<Backend>& info) { return std::string(info.param.name); });
