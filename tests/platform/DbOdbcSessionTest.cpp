// The ODBC connection's session through psqlODBC against the PostgreSQL server that
// scripts/dbservers.sh starts: which server it reports and how much of a result reaches
// memory.
#include "DbTestEnv.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QString PsqlOdbcString(const DbServerSettings& s, const char* extra = "")
{
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5;CommLog=0;%6")
        .arg(s.host)
        .arg(s.port)
        .arg(s.database, s.user, s.password, QLatin1String(extra));
}

// The program's own limits back after each test.
class OdbcSessionTest : public ::testing::Test
{
protected:
    void SetUp() override { m_saved = GetDbLimits(); }
    void TearDown() override { SetDbLimits(m_saved); }
    DbLimits m_saved;
};

} // namespace

// The server's name and how it reads '\' in quotes, as the session says; the tutorials'
// string with ReadOnly after the password opens too.
TEST_F(OdbcSessionTest, ThePostgreSQLDriverReportsItsServerAndItsStrings)
{
    VC_TEST_SERVER(server, "VC_PG");
    for (const char* extra : {"", "ReadOnly=1"}) {
        SCOPED_TRACE(extra);
        auto db = DbConnection::OpenOdbc(PsqlOdbcString(server, extra));
        ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
        DbRows rows;
        ASSERT_TRUE(db->Query("select current_setting('standard_conforming_strings')", rows));
        const SqlServerKind kind = db->ServerKind();
        EXPECT_EQ(kind.server, SqlServerKind::PostgreSQL);
        ASSERT_TRUE(kind.standardStrings.has_value());
        EXPECT_EQ(*kind.standardStrings, rows.Value(0, 0) == "on");
        EXPECT_FALSE(kind.ansiQuotes.has_value());
        // Still read-only, and nothing of the show stayed open.
        ASSERT_TRUE(db->Query("select current_setting('transaction_read_only')", rows));
        EXPECT_EQ(rows.Value(0, 0), "on");
    }
}

// Values and slices past the bounds are refused with our message, by Query and by the
// cursor, and the connection reads on; within them the same rows read.
TEST_F(OdbcSessionTest, ValuesAndSlicesPastTheirBoundsAreRefused)
{
    VC_TEST_SERVER(server, "VC_PG");
    DbLimits limits = GetDbLimits();
    limits.valueBytes = qint64(1) << 20;
    limits.sliceBytes = qint64(2) << 20;
    SetDbLimits(limits);
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(server), QStringLiteral("库存"));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const struct
    {
        const char* sql;
        QString message;
    } cases[] = {
        {"select 1 as id, repeat('x', 1500000) as big",
            QStringLiteral("数据源“库存”的字段“big”的值超过了 1 MB 的上限，没有读取。")},
        {"select repeat('x', 3000000) as big", QStringLiteral("数据源“库存”的字段“big”的值超过了 1 MB 的上限，没有读取。")},
        {"select repeat('x', 900000) as part from generate_series(1, 5)",
            QStringLiteral("数据源“库存”一次读取的记录超过了 2 MB 的上限，没有读取。")},
    };
    for (bool cursor : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.sql) + (cursor ? " (cursor)" : ""));
            DbRows rows;
            if (cursor) {
                auto walk = db->OpenCursor(c.sql);
                EXPECT_FALSE(walk->Fetch(-1, rows));
                EXPECT_TRUE(walk->Stopped());
                EXPECT_EQ(walk->LastError(), c.message);
            } else {
                EXPECT_FALSE(db->Query(c.sql, rows));
                EXPECT_TRUE(db->Stopped());
                EXPECT_EQ(db->LastError(), c.message);
            }
            EXPECT_EQ(rows.RowCount(), 0);
            ASSERT_TRUE(db->Query("select 7", rows)) << db->LastError().toStdString();
            EXPECT_EQ(rows.Value(0, 0), "7");
            EXPECT_FALSE(db->Stopped());
        }
    }
    auto walk = db->OpenCursor("select repeat('x', 900000) as part from generate_series(1, 5)");
    DbRows rows;
    for (int slice = 0; slice < 3; ++slice)
        ASSERT_TRUE(walk->Fetch(2, rows)) << walk->LastError().toStdString();
    EXPECT_EQ(walk->Position(), 5);
    EXPECT_EQ(rows.Value(0, 0).size(), 900000);
}

// A superuser's session through psqlODBC reads as the role that reads every table and
// nothing more, and each statement is a read-only transaction of its own: the server
// refuses what would write a file or outlive the statement, and the session reads on.
TEST_F(OdbcSessionTest, ASuperusersStatementsReachNothingBeyondReading)
{
    VC_TEST_SERVER(server, "VC_PG");
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(server));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select current_user::text, current_setting('transaction_read_only')", rows));
    EXPECT_EQ(rows.Value(0, 0), "pg_read_all_data");
    EXPECT_EQ(rows.Value(0, 1), "on");
    // Sent as they stand, past the statement check on purpose: the server's own wall.
    for (const char* attack : {"select lo_export(lo_from_bytea(0, 'x'), '/tmp/vc-odbc-pwned')::text",
             "select pg_create_physical_replication_slot('vc_odbc_slot', true)::text",
             "select pg_read_file('/etc/hostname')", "select pg_switch_wal()::text",
             "select count(pg_terminate_backend(pid))::text from pg_stat_activity where pid <> pg_backend_pid()"}) {
        SCOPED_TRACE(attack);
        EXPECT_FALSE(db->Query(attack, rows));
        EXPECT_TRUE(db->Query("select 1", rows)) << db->LastError().toStdString();
    }
    EXPECT_FALSE(QFile::exists("/tmp/vc-odbc-pwned"));
    ASSERT_TRUE(db->Query("select count(*)::text from pg_replication_slots", rows));
    EXPECT_EQ(rows.Value(0, 0), "0");
    // What a statement sets for itself goes with it.
    ASSERT_TRUE(db->Query("select set_config('application_name', 'vc-left', true)", rows));
    ASSERT_TRUE(db->Query("select current_setting('application_name')", rows));
    EXPECT_NE(rows.Value(0, 0), "vc-left");
}
