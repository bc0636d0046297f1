// The MariaDB/MySQL connection's session against the server scripts/dbservers.sh starts:
// what a label's statements cannot do there, what a statement costs, and how much of a
// result reaches memory.
#include "DbTestEnv.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Tables, a function and a procedure of this test's own, named after the process so that
// runs beside it on the same server keep theirs; dropped again at the end.
class MySessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = GetDbLimits();
        const std::optional<DbServerSettings> found = TestServerSettings("VC_MY");
        if (!found)
            return;
        m_settings = *found;
        m_suffix = QString::number(QCoreApplication::applicationPid());
        const QString written = Write(Named("create table vcs_inno_% (x int) engine=innodb;"
                                            "create table vcs_isam_% (x int) engine=myisam;\ndelimiter //\n"
                                            "create function vcs_write_%() returns int modifies sql data begin "
                                            "insert into vcs_inno_% values (1); insert into vcs_isam_% values (1); "
                                            "return 1; end //\n"
                                            "create procedure vcs_lift_%() begin set session transaction read write; "
                                            "insert into vcs_isam_% values (2); end //\n"));
        EXPECT_TRUE(written.isEmpty()) << written.toStdString();
        m_ready = written.isEmpty();
    }
    void TearDown() override
    {
        SetDbLimits(m_saved);
        if (!m_suffix.isEmpty())
            Write(Named("drop table if exists vcs_inno_%, vcs_isam_%, vcs_new_%; drop function if exists vcs_write_%;"
                        "drop procedure if exists vcs_lift_%"));
    }

    QString Named(const char* sql) const { return QString::fromUtf8(sql).replace(u'%', m_suffix); }
    QString Write(const QString& sql) const { return WriteOnTestServer(m_settings, false, sql); }

    // The rows the test's tables hold and whether its new table exists, read by a
    // connection of their own.
    QStringList Traces() const
    {
        auto db = DbConnection::OpenMySQL(m_settings);
        DbRows rows;
        if (!db->Query(Named("select (select count(*) from vcs_inno_%), (select count(*) from vcs_isam_%), "
                             "(select count(*) from information_schema.tables where table_name = 'vcs_new_%')"),
                rows))
            return {db->LastError()};
        return rows.Row(0);
    }

    // One session status counter of the connection.
    static qint64 Counter(DbConnection& db, const char* name)
    {
        DbRows rows;
        if (!db.Query(QStringLiteral("show session status like '%1'").arg(QLatin1String(name)), rows))
            return -1;
        return rows.Value(0, 1).toLongLong();
    }

    void Limit(const std::function<void(DbLimits&)>& change)
    {
        DbLimits limits = GetDbLimits();
        change(limits);
        SetDbLimits(limits);
    }

    DbServerSettings m_settings;
    QString m_suffix;
    bool m_ready = false;
    DbLimits m_saved;
};

} // namespace

// Each attack is a run of statements a label could send one after the other, by Query and
// by a cursor; none leaves a row or a table, and the session reads on as before.
TEST_F(MySessionTest, NoStatementOrRunOfStatementsWrites)
{
    VC_TEST_SERVER(settings, "VC_MY");
    ASSERT_TRUE(m_ready);
    const std::vector<std::vector<const char*>> attacks = {
        {"insert into vcs_inno_% values (5)"},
        {"insert into vcs_isam_% values (5)"},
        {"update vcs_isam_% set x = 6"},
        {"delete from vcs_isam_%"},
        {"create table vcs_new_% (x int)"},
        {"create temporary table vcs_new_% (x int)"},
        {"select vcs_write_%()"},
        {"call vcs_lift_%()"},
        {"set statement tx_read_only=0 for insert into vcs_isam_% values (5)"},
        {"set session transaction read write", "insert into vcs_isam_% values (5)"},
        {"set session tx_read_only=0", "insert into vcs_inno_% values (5)", "commit"},
        {"commit", "set session transaction read write", "insert into vcs_isam_% values (5)"},
        {"start transaction read write", "insert into vcs_inno_% values (5)", "commit"},
        {"rollback", "set autocommit=1", "insert into vcs_isam_% values (5)"},
        {"set session transaction read write", "call vcs_lift_%()"},
    };
    auto db = DbConnection::OpenMySQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    for (bool cursor : {false, true}) {
        for (const auto& attack : attacks) {
            for (const char* statement : attack) {
                DbRows rows;
                if (cursor)
                    db->OpenCursor(Named(statement))->Fetch(-1, rows);
                else
                    db->Query(Named(statement), rows);
            }
            SCOPED_TRACE(Named(attack.back()).toStdString() + (cursor ? " (cursor)" : ""));
            EXPECT_EQ(Traces(), (QStringList {"0", "0", "0"}));
            DbRows rows;
            ASSERT_TRUE(db->Query("select count(*) from People", rows)) << db->LastError().toStdString();
            EXPECT_EQ(rows.Value(0, 0), "100");
            ASSERT_TRUE(db->Query("select @@session.tx_read_only, @@session.sql_mode = @@global.sql_mode", rows));
            EXPECT_EQ(rows.Row(0), (QStringList {"1", "1"}));
        }
    }
}

// The quoting rules the connection reports are the session's, and a statement that
// changes them leaves them as reported for the next one.
TEST_F(MySessionTest, TheSessionsQuotingStaysAsReported)
{
    VC_TEST_SERVER(settings, "VC_MY");
    auto db = DbConnection::OpenMySQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(db->Query("select @@session.sql_mode", rows));
    const QString mode = rows.Value(0, 0);
    const SqlServerKind kind = db->ServerKind();
    EXPECT_EQ(kind.server, SqlServerKind::MySQL);
    EXPECT_EQ(kind.ansiQuotes, mode.contains("ANSI_QUOTES"));
    EXPECT_EQ(kind.noBackslashEscapes, mode.contains("NO_BACKSLASH_ESCAPES"));
    ASSERT_FALSE(*kind.ansiQuotes); // the test server's default

    for (const char* change : {"set sql_mode = 'ANSI_QUOTES,NO_BACKSLASH_ESCAPES'",
             "set session sql_mode = concat(@@sql_mode, ',ANSI')", "set names latin1"}) {
        SCOPED_TRACE(change);
        db->Query(change, rows);
        ASSERT_TRUE(db->Query("select \"quoted\", 'a\\'b', 'Zürich'", rows)) << db->LastError().toStdString();
        EXPECT_EQ(rows.Row(0), (QStringList {"quoted", "a'b", "Zürich"}));
        auto cursor = db->OpenCursor("select @@session.sql_mode");
        ASSERT_TRUE(cursor->Fetch(-1, rows));
        EXPECT_EQ(rows.Value(0, 0), mode);
    }
}

// A walk left early reads on only through what is on its way: a result that goes on past that is
// stopped on the server, not read out, however long the close may take (here it could take a
// minute, which only a hang would use), and the connection goes on.
TEST_F(MySessionTest, AWalkLeftEarlyIsStoppedRatherThanReadOut)
{
    VC_TEST_SERVER(settings, "VC_MY");
    Limit([](DbLimits& l) { l.graceMs = 60000; });
    constexpr qint64 kRows = 20000000;
    auto db = DbConnection::OpenMySQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const qint64 sentBefore = Counter(*db, "Rows_sent");
    auto walk = db->OpenCursor(QStringLiteral("select seq from seq_1_to_%1").arg(kRows));
    DbRows rows;
    ASSERT_TRUE(walk->Fetch(5, rows)) << walk->LastError().toStdString();
    EXPECT_EQ(rows.Value(4, 0), "5");
    walk.reset();
    EXPECT_LT(Counter(*db, "Rows_sent") - sentBefore, kRows);
    ASSERT_TRUE(db->Query("select 7", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "7");
}

// A statement costs one exchange that is waited for: no transaction is begun for it, the
// one it ran in is ended and the next begun by one command that nothing waits for.
TEST_F(MySessionTest, AStatementBeginsNoTransactionOfItsOwn)
{
    VC_TEST_SERVER(settings, "VC_MY");
    auto db = DbConnection::OpenMySQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const qint64 begins = Counter(*db, "Com_begin");
    const qint64 rollbacks = Counter(*db, "Com_rollback");
    const qint64 questions = Counter(*db, "Questions");
    DbRows rows;
    for (int page = 0; page < 5; ++page) {
        ASSERT_TRUE(db->Query("select Id from People order by Id", rows, page * 10, 10));
        EXPECT_EQ(rows.Value(0, 0), QString::number(page * 10 + 1));
        auto cursor = db->OpenCursor("select Id from People order by Id");
        ASSERT_TRUE(cursor->Skip(page) && cursor->Fetch(2, rows));
        EXPECT_EQ(rows.Value(1, 0), QString::number(page + 2));
    }
    // After the rollback counter was read: its chain, the questions counter and its chain,
    // ten statements with theirs, and the begin counter with its chain.
    EXPECT_EQ(Counter(*db, "Com_begin"), begins);
    EXPECT_EQ(Counter(*db, "Com_rollback"), rollbacks + 1 + 1 + 10 + 1);
    // After the questions counter was read: its chain, ten statements, two counters and
    // their chains, and the last counter itself.
    EXPECT_EQ(Counter(*db, "Questions"), questions + 1 + 2 * (10 + 2) + 1);
}

// Values and rows past the bounds are refused with our message, not read; the connection
// goes on after a value, and a row larger than a slice never reaches memory.
TEST_F(MySessionTest, ValuesAndSlicesPastTheirBoundsAreRefused)
{
    VC_TEST_SERVER(settings, "VC_MY");
    Limit([](DbLimits& l) {
        l.valueBytes = qint64(1) << 20;
        l.sliceBytes = qint64(2) << 20;
    });
    auto db = DbConnection::OpenMySQL(settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    struct Case
    {
        const char* sql;
        qint64 maxRows;
        const char* message;
    };
    const Case cases[] = {
        {"select 1 as Id, repeat('x', 1500000) as Big", -1,
            "数据源“vellumcraft”的字段“Big”的值超过了 1 MB 的上限，没有读取。"},
        {"select repeat('x', 900000) as Part from seq_1_to_5", -1,
            "数据源“vellumcraft”一次读取的记录超过了 2 MB 的上限，没有读取。"},
    };
    for (bool cursor : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.sql) + (cursor ? " (cursor)" : ""));
            DbRows rows;
            if (cursor) {
                auto walk = db->OpenCursor(c.sql);
                EXPECT_FALSE(walk->Fetch(c.maxRows, rows));
                EXPECT_TRUE(walk->Stopped());
                EXPECT_EQ(walk->LastError(), QString::fromUtf8(c.message));
            } else {
                EXPECT_FALSE(db->Query(c.sql, rows));
                EXPECT_TRUE(db->Stopped());
                EXPECT_EQ(db->LastError(), QString::fromUtf8(c.message));
            }
            EXPECT_EQ(rows.RowCount(), 0);
            ASSERT_TRUE(db->Query("select 7", rows)) << db->LastError().toStdString();
            EXPECT_FALSE(db->Stopped());
        }
    }
    // Within the bounds, slice by slice, the same rows read.
    auto walk = db->OpenCursor("select repeat('x', 900000) as Part from seq_1_to_5");
    DbRows rows;
    for (int slice = 0; slice < 3; ++slice)
        ASSERT_TRUE(walk->Fetch(2, rows)) << walk->LastError().toStdString();
    EXPECT_EQ(walk->Position(), 5);
    walk.reset();

    // One row larger than a slice ends the connection before it is read.
    Limit([](DbLimits& l) { l.valueBytes = qint64(4) << 20; });
    for (bool cursor : {false, true}) {
        auto big = DbConnection::OpenMySQL(settings);
        ASSERT_TRUE(big->IsOpen());
        if (cursor) {
            auto c = big->OpenCursor("select repeat('x', 3000000)");
            EXPECT_FALSE(c->Fetch(-1, rows));
            EXPECT_TRUE(c->Stopped());
            EXPECT_EQ(c->LastError(), QStringLiteral("数据源“vellumcraft”一次读取的记录超过了 2 MB 的上限，没有读取。"));
        } else {
            EXPECT_FALSE(big->Query("select repeat('x', 3000000)", rows));
            EXPECT_TRUE(big->Stopped());
            EXPECT_EQ(big->LastError(), QStringLiteral("数据源“vellumcraft”一次读取的记录超过了 2 MB 的上限，没有读取。"));
        }
    }
}
