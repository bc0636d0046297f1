// Rows read in blocks on every server route: whatever the size of the slices and skips a walk
// takes, it reads the rows one whole read gives, across the blocks' boundaries, with NULLs,
// CJK text, values longer than a block's buffers and many columns. Runs against the servers
// that scripts/dbservers.sh starts.
#include "DbTestEnv.h"
#include "PeakMemory.h"
#include "PgServerObjects.h"
#include "TestSupport.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbWait.h"

#include <QUuid>
#include <gtest/gtest.h>

namespace {

enum class BulkRoute { PgNative, PsqlOdbcUnicode, PsqlOdbcAnsi, MySQLNative, MariaDBOdbcString };

struct BulkCase
{
    const char* name;
    BulkRoute route;
};

const BulkCase kBulkCases[] = {
    {"PostgreSQL", BulkRoute::PgNative},
    {"PsqlOdbcUnicode", BulkRoute::PsqlOdbcUnicode},
    {"PsqlOdbcAnsi", BulkRoute::PsqlOdbcAnsi},
    {"MariaDB", BulkRoute::MySQLNative},
    {"MariaDBOdbcString", BulkRoute::MariaDBOdbcString},
};

constexpr int kBulkRows = 3000;
constexpr int kWideColumns = 40;

bool OnPostgres(BulkRoute route)
{
    return route == BulkRoute::PgNative || route == BulkRoute::PsqlOdbcUnicode || route == BulkRoute::PsqlOdbcAnsi;
}

std::unique_ptr<DbConnection> OpenRoute(BulkRoute route, const DbServerSettings& s)
{
    switch (route) {
    case BulkRoute::PgNative:
        return DbConnection::OpenPostgreSQL(s);
    case BulkRoute::PsqlOdbcUnicode:
        return DbConnection::OpenOdbc(PsqlOdbcString(s));
    case BulkRoute::PsqlOdbcAnsi: {
        QString ansi = PsqlOdbcString(s);
        return DbConnection::OpenOdbc(ansi.replace(QLatin1String("PostgreSQL Unicode"), QLatin1String("PostgreSQL ANSI")));
    }
    case BulkRoute::MySQLNative:
        return DbConnection::OpenMySQL(s);
    case BulkRoute::MariaDBOdbcString:
        return DbConnection::OpenOdbc(QStringLiteral("Driver={MariaDB Unicode};Server=%1;Port=%2;Database=%3;UID=%4;PWD=%5;")
                                          .arg(s.host, QString::number(s.port), s.database, s.user, s.password));
    }
    return nullptr;
}

// kBulkRows rows: the number, a text that is NULL in every seventh row, CJK text (3,000
// characters in row 1500, past any block's buffer), a binary value past the buffers in row 2000,
// and an empty text in row 10.
QString MixedStatement(bool postgres)
{
    if (postgres)
        return QStringLiteral(
            "select i, case when i % 7 = 0 then null else 'r' || i end as t, "
            "case when i = 1500 then repeat('长', 3000) else '名字' || i end as cjk, "
            "case when i = 2000 then decode(repeat('ab', 3000), 'hex') else null end as bin, "
            "case when i = 10 then '' else 'x' end as e "
            "from generate_series(1, %1) i order by i")
            .arg(kBulkRows);
    return QStringLiteral("select seq as i, case when seq % 7 = 0 then null else concat('r', seq) end as t, "
                          "case when seq = 1500 then repeat('长', 3000) else concat('名字', seq) end as cjk, "
                          "case when seq = 2000 then unhex(repeat('ab', 3000)) else null end as bin, "
                          "case when seq = 10 then '' else 'x' end as e "
                          "from seq_1_to_%1 order by seq")
        .arg(kBulkRows);
}

// kWideColumns numbered columns, each row's values its number times the column's.
QString WideStatement(bool postgres)
{
    QStringList columns;
    for (int c = 1; c <= kWideColumns; ++c)
        columns.append(QStringLiteral("%1 * %2 as c%2").arg(postgres ? "i" : "seq").arg(c));
    return postgres ? QStringLiteral("select %1 from generate_series(1, %2) i order by i").arg(columns.join(", ")).arg(kBulkRows)
                    : QStringLiteral("select %1 from seq_1_to_%2 order by seq").arg(columns.join(", ")).arg(kBulkRows);
}

// Every row and cell (NULL or its text) of rows.
QStringList Cells(const DbRows& rows)
{
    QStringList cells;
    for (int r = 0; r < rows.RowCount(); ++r) {
        for (int c = 0; c < rows.ColumnCount(); ++c)
            cells.append(rows.IsNull(r, c) ? QStringLiteral("<null>") : rows.Value(r, c));
    }
    return cells;
}

// The statement's rows read by a walk of slices and skips of the given sizes, in turn, to the end.
QStringList WalkInSlices(DbConnection& db, const QString& sql, const std::vector<std::pair<qint64, qint64>>& steps,
    qint64& rowsKept)
{
    auto cursor = db.OpenCursor(sql);
    QStringList cells;
    rowsKept = 0;
    for (size_t k = 0;; ++k) {
        const auto [skip, take] = steps[k % steps.size()];
        EXPECT_TRUE(cursor->Skip(skip)) << cursor->LastError().toStdString();
        DbRows rows;
        EXPECT_TRUE(cursor->Fetch(take, rows)) << cursor->LastError().toStdString();
        cells += Cells(rows);
        rowsKept += rows.RowCount();
        if (rows.RowCount() < take || cursor->Position() >= kBulkRows)
            return cells;
    }
}

class DbBulkFetch : public ::testing::TestWithParam<BulkCase>
{
};

} // namespace

TEST_P(DbBulkFetch, EveryValueArrivesWholeWhateverTheBlocks)
{
    const bool postgres = OnPostgres(GetParam().route);
    VC_TEST_SERVER(settings, postgres ? "VC_PG" : "VC_MY");
    auto db = OpenRoute(GetParam().route, settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();

    DbRows all;
    auto whole = db->OpenCursor(MixedStatement(postgres));
    ASSERT_TRUE(whole->Fetch(-1, all)) << whole->LastError().toStdString();
    ASSERT_EQ(all.RowCount(), kBulkRows);
    EXPECT_EQ(all.Columns(), (QStringList {"i", "t", "cjk", "bin", "e"}));
    for (const int r : {0, 6, 9, 1023, 1024, 1499, 1999, kBulkRows - 1}) {
        SCOPED_TRACE(r);
        const int i = r + 1;
        EXPECT_EQ(all.Value(r, 0), QString::number(i));
        EXPECT_EQ(all.IsNull(r, 1), i % 7 == 0);
        EXPECT_EQ(all.Value(r, 1), i % 7 == 0 ? QString() : QStringLiteral("r%1").arg(i));
        EXPECT_EQ(all.Value(r, 2), i == 1500 ? QString(3000, QChar(u'长')) : QStringLiteral("名字%1").arg(i));
        EXPECT_EQ(all.IsNull(r, 3), i != 2000);
        // A NULL and an empty text are told apart.
        EXPECT_FALSE(all.IsNull(r, 4));
        EXPECT_EQ(all.Value(r, 4), i == 10 ? QString() : QStringLiteral("x"));
    }
    // The clients give a binary value as its bytes or as hex; past the buffers either way.
    const QString binary = all.Value(1999, 3);
    EXPECT_TRUE(binary.size() == 3000 || binary.contains(QString(QStringLiteral("ab")).repeated(3000), Qt::CaseInsensitive))
        << binary.size();

    // Slices and skips of every size, ending inside and across the blocks' boundaries.
    const QStringList expected = Cells(all);
    for (const auto& steps : std::vector<std::vector<std::pair<qint64, qint64>>> {
             {{0, 1}}, {{0, 25}, {1, 7}}, {{1023, 3}, {0, 1}}, {{2047, 2}, {5000, 1}}, {{1, 1}, {0, 1024}, {3, 1025}}}) {
        qint64 kept = 0;
        const QStringList walked = WalkInSlices(*db, MixedStatement(postgres), steps, kept);
        QStringList picked;
        qint64 at = 0;
        for (size_t k = 0; at < kBulkRows; ++k) {
            const auto [skip, take] = steps[k % steps.size()];
            at += skip;
            for (qint64 r = at; r < std::min<qint64>(at + take, kBulkRows); ++r)
                picked += expected.mid(r * 5, 5);
            at += take;
        }
        EXPECT_EQ(walked.size(), picked.size()) << kept;
        EXPECT_TRUE(walked == picked);
    }

    // Passing over every row reads to the end, and the connection takes the next statement.
    auto skipped = db->OpenCursor(MixedStatement(postgres));
    ASSERT_TRUE(skipped->Skip(std::numeric_limits<qint64>::max())) << skipped->LastError().toStdString();
    EXPECT_EQ(skipped->Position(), kBulkRows);
    skipped.reset();
    DbRows one;
    ASSERT_TRUE(db->Query(QStringLiteral("select 1"), one)) << db->LastError().toStdString();
    EXPECT_EQ(one.Value(0, 0), "1");
}

// A first row of NULLs tells nothing of how the driver gives text: the rows after it still
// arrive whole, CJK text included.
TEST_P(DbBulkFetch, AFirstRowOfNullsLeavesTheRestReadable)
{
    const bool postgres = OnPostgres(GetParam().route);
    VC_TEST_SERVER(settings, postgres ? "VC_PG" : "VC_MY");
    auto db = OpenRoute(GetParam().route, settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const QString sql = postgres
        ? QStringLiteral("select case when i > 1 then '名字' || i end as t from generate_series(1, %1) i order by i")
        : QStringLiteral("select case when seq > 1 then concat('名字', seq) end as t from seq_1_to_%1 order by seq");
    auto cursor = db->OpenCursor(sql.arg(kBulkRows));
    DbRows rows;
    ASSERT_TRUE(cursor->Fetch(-1, rows)) << cursor->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), kBulkRows);
    EXPECT_TRUE(rows.IsNull(0, 0));
    EXPECT_EQ(rows.Value(1, 0), QStringLiteral("名字2"));
    EXPECT_EQ(rows.Value(kBulkRows - 1, 0), QStringLiteral("名字%1").arg(kBulkRows));
}

TEST_P(DbBulkFetch, ManyColumnsKeepTheirOrderAcrossBlocks)
{
    const bool postgres = OnPostgres(GetParam().route);
    VC_TEST_SERVER(settings, postgres ? "VC_PG" : "VC_MY");
    auto db = OpenRoute(GetParam().route, settings);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    auto cursor = db->OpenCursor(WideStatement(postgres));
    ASSERT_TRUE(cursor->Skip(480)) << cursor->LastError().toStdString();
    DbRows rows;
    ASSERT_TRUE(cursor->Fetch(-1, rows)) << cursor->LastError().toStdString();
    ASSERT_EQ(rows.ColumnCount(), kWideColumns);
    ASSERT_EQ(rows.RowCount(), kBulkRows - 480);
    bool right = true;
    for (int r = 0; r < rows.RowCount() && right; ++r) {
        for (int c = 0; c < kWideColumns && right; ++c)
            right = rows.Value(r, c) == QString::number((r + 481) * (c + 1));
    }
    EXPECT_TRUE(right);
}

INSTANTIATE_TEST_SUITE_P(Routes, DbBulkFetch, ::testing::ValuesIn(kBulkCases),
    [](const ::testing::TestParamInfo<BulkCase>& info) { return std::string(info.param.name); });

// A walk of a query on psqlODBC fetches its rows a block of its cursor at a time: every row, NULLs
// included, arrives once and in order whatever the slices and skips, across the blocks' ends.
TEST(DbPsqlOdbcWalk, ReadsEveryRowAcrossTheBlocksOfItsCursor)
{
    VC_TEST_SERVER(settings, "VC_PG");
    auto db = DbConnection::OpenOdbc(PsqlOdbcString(settings));
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    const auto value = [](int i) { return i % 7 == 0 ? QString() : QStringLiteral("v%1").arg(i); };
    auto walk = db->OpenCursor(QStringLiteral(
        "select i, case when i % 7 <> 0 then 'v' || i end as t from generate_series(1, 20000) i order by i"));
    DbRows rows;
    int next = 1;
    const auto expect = [&](qint64 count) {
        ASSERT_EQ(rows.RowCount(), count);
        for (int r = 0; r < rows.RowCount(); ++r, ++next) {
            ASSERT_EQ(rows.Value(r, 0), QString::number(next));
            ASSERT_EQ(rows.IsNull(r, 1), next % 7 == 0) << next;
            ASSERT_EQ(rows.Value(r, 1), value(next));
        }
    };
    ASSERT_TRUE(walk->Fetch(8000, rows)) << walk->LastError().toStdString();
    expect(8000);
    ASSERT_TRUE(walk->Skip(1000)) << walk->LastError().toStdString(); // past the first block's end
    next += 1000;
    ASSERT_TRUE(walk->Fetch(7500, rows)) << walk->LastError().toStdString(); // across the second's
    expect(7500);
    ASSERT_TRUE(walk->Fetch(-1, rows)) << walk->LastError().toStdString();
    expect(3500);
    EXPECT_EQ(walk->Position(), 20000);
    ASSERT_TRUE(walk->Fetch(10, rows));
    EXPECT_TRUE(rows.IsEmpty());
    EXPECT_EQ(rows.Columns(), (QStringList {"i", "t"}));

    // The slice bound holds for the rows of two blocks together, each within it alone.
    const DbLimits saved = GetDbLimits();
    DbLimits small = saved;
    small.sliceBytes = 100000;
    SetDbLimits(small);
    auto wide = db->OpenCursor(QStringLiteral("select repeat('x', 300) as x from generate_series(1, 9000) i"));
    const bool skipped = wide->Skip(8000);
    const bool fetched = wide->Fetch(400, rows);
    SetDbLimits(saved);
    EXPECT_TRUE(skipped) << wide->LastError().toStdString();
    EXPECT_FALSE(fetched);
    EXPECT_TRUE(wide->Stopped());
    EXPECT_TRUE(wide->LastError().contains(QStringLiteral("一次读取的记录超过了"))) << wide->LastError().toStdString();
}

// psqlODBC holds a whole result in memory unless it reads it through a cursor of its own: a walk
// does, in a read-only transaction of its own that ends with the walk, while a statement read
// whole still goes in its frame.
TEST(DbPsqlOdbcWalk, ReadsThroughTheDriversCursorInATransactionThatEndsWithIt)
{
    VC_TEST_SERVER(settings, "VC_PG");
    std::unique_ptr<DbConnection> db;
    {
        // Only this walk's session is looked at: other suites read the same table meanwhile.
        const TestSessionName named("vc_psqlodbc_walk");
        db = DbConnection::OpenOdbc(PsqlOdbcString(settings));
    }
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    auto check = DbConnection::OpenPostgreSQL(settings);
    ASSERT_TRUE(check->IsOpen()) << check->LastError().toStdString();
    const QString marker = QStringLiteral("vc_walk_%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
    // The walk's transaction holds its table while it lives.
    const QString walking = QStringLiteral(
        "select count(*)::text from pg_locks where relation = '\"People\"'::regclass and pid in "
        "(select pid from pg_stat_activity where application_name = 'vc_psqlodbc_walk')");
    DbRows rows;

    auto walk = db->OpenCursor(QStringLiteral("select i, current_setting('transaction_read_only') as ro, '%1' as m "
                                              "from generate_series(1, 200) i, \"People\" p where p.\"Id\" = 1 order by i -- ends with a comment")
                                   .arg(marker));
    ASSERT_TRUE(walk->Fetch(10, rows)) << walk->LastError().toStdString();
    EXPECT_EQ(rows.Row(9), (QStringList {"10", "on", marker}));
    ASSERT_TRUE(check->Query(walking, rows)) << check->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "1");
    ASSERT_TRUE(walk->Skip(180)) << walk->LastError().toStdString();
    ASSERT_TRUE(walk->Fetch(100, rows)) << walk->LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 10);
    EXPECT_EQ(rows.Value(9, 0), "200");
    walk.reset();

    // Ended with the walk; the connection reads on in its frame, read-only.
    ASSERT_TRUE(check->Query(walking, rows)) << check->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "0");
    ASSERT_TRUE(db->Query(QStringLiteral("select current_setting('transaction_read_only')"), rows))
        << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "on");
    EXPECT_FALSE(db->Query(QStringLiteral("select i, 1/(i - 5) from generate_series(1, 9) i"), rows));
    EXPECT_TRUE(db->LastError().contains("division by zero")) << db->LastError().toStdString();
    auto again = db->OpenCursor(QStringLiteral("select 1/0"));
    EXPECT_FALSE(again->Fetch(1, rows));
    EXPECT_TRUE(again->LastError().contains("division by zero")) << again->LastError().toStdString();
    again.reset();
    ASSERT_TRUE(db->Query(QStringLiteral("select 'on'"), rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "on");

#if !defined(__SANITIZE_ADDRESS__)
    // 300,000 rows of 200 characters: the walk's memory stays a fraction of the result's.
    db.reset();
    check.reset(); // their worker threads too, before the fork
    EXPECT_EXIT(RunWithinPeakMemory(qint64(32) << 20, qint64(1) << 30,
                    [&] {
                        auto big = DbConnection::OpenOdbc(PsqlOdbcString(settings));
                        auto cursor = big->OpenCursor(
                            QStringLiteral("select i, repeat('x', 200) from generate_series(1, 300000) i"));
                        DbRows slice;
                        qint64 total = 0;
                        while (cursor->Fetch(1000, slice) && !slice.IsEmpty())
                            total += slice.RowCount();
                        if (total != 300000)
                            std::fprintf(stderr, "%lld rows: %s\n", total, qUtf8Printable(cursor->LastError()));
                        return total == 300000;
                    }),
        ::testing::ExitedWithCode(0), "");
#endif
}
