// The staging that the Access reader relies on, fed the way mdbtools feeds it:
// every value as text, numeric columns declared NUMERIC, a missing value unbound.
// No Access file can be written here, so the reader itself is checked only on its
// failure paths (DbWorkbookTest).
#include "WorkbookFixtures.h"
#include "platform/db/DbWait.h"
#include "platform/db/SQLiteStage.h"

#include <QRandomGenerator>

#include "TestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

namespace {

class FakeTables : public StagedConnection
{
public:
    FakeTables()
    {
        OpenEngine();
        SetTables({"Orders", "Order Lines", "Unused"});
    }
    QStringList staged;

protected:
    bool Stage(int index) override
    {
        staged.append(Table(index));
        if (index == 2)
            return Fail(QStringLiteral("The table Unused cannot be read"));
        TableWriter writer(*this, Table(index), UniqueColumnNames({"Id", "Amount", "Note", "note"}),
            {"NUMERIC", "NUMERIC", "TEXT", "TEXT"});
        const char* rows[][3] = {{"2", "12.50", "b"}, {"10", "3.000000", nullptr}, {"1", "-1", "a"}};
        for (const auto& row : rows) {
            for (int c = 0; c < 3; ++c) {
                if (row[c])
                    writer.BindText(c, row[c]);
            }
            writer.EndRow();
        }
        return writer.Finish();
    }
};

} // namespace

TEST(DbStaging, TablesAreCopiedWhenFirstNamedAndKeepNumbersAndNulls)
{
    FakeTables db;
    ASSERT_TRUE(db.IsOpen());
    DbRows rows;
    ASSERT_TRUE(db.Query("select Id, Amount, Note, note1 from Orders order by Id", rows))
        << db.LastError().toStdString();
    EXPECT_EQ(db.staged, QStringList {"Orders"}); // "Order Lines" is not named
    ASSERT_EQ(rows.RowCount(), 3);
    // Numbers sort as numbers and read back without trailing zeros.
    EXPECT_EQ(rows.Row(0), (QStringList {"1", "-1", "a", ""}));
    EXPECT_EQ(rows.Row(1), (QStringList {"2", "12.5", "b", ""}));
    EXPECT_EQ(rows.Value(2, 1), "3");
    EXPECT_TRUE(rows.IsNull(2, 2)); // unbound: NULL, and the next column stays put
    EXPECT_TRUE(rows.IsNull(2, 3));

    ASSERT_TRUE(db.Query("select top 1 * from [Order Lines] order by Amount desc", rows));
    EXPECT_EQ(rows.Value(0, 1), "12.5");
    ASSERT_TRUE(db.Query("select top 2 * from Orders -- two of three", rows)) << db.LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 2);
    // Access's own forms of top: of distinct rows, a percent rounded up, one per select of a union.
    ASSERT_TRUE(db.Query("select distinct top 2 Note from Orders order by Note desc", rows));
    EXPECT_EQ(rows.Value(1, 0), "a");
    ASSERT_TRUE(db.Query("select top 34 percent Id from Orders order by Id", rows));
    EXPECT_EQ(rows.RowCount(), 2);
    ASSERT_TRUE(db.Query("select top 1 Id from Orders union all select top 1 Amount from [Order Lines]", rows))
        << db.LastError().toStdString();
    EXPECT_EQ(rows.Row(0), QStringList {"2"});
    EXPECT_EQ(rows.Row(1), QStringList {"12.5"});
    EXPECT_EQ(db.staged, (QStringList {"Orders", "Order Lines"}));
    QStringList fields;
    ASSERT_TRUE(db.ListFields("Orders", fields));
    EXPECT_EQ(fields, (QStringList {"Id", "Amount", "Note", "note1"}));
    EXPECT_EQ(db.staged.size(), 2); // copied once

    // A table that cannot be read fails the statement with its reason, every time.
    EXPECT_FALSE(db.Query("select * from Unused", rows));
    EXPECT_EQ(db.LastError(), "The table Unused cannot be read");
    EXPECT_FALSE(db.ListFields("Unused", fields));
    EXPECT_FALSE(db.ListFields("Nope", fields));
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(db.Query("select * from Orders", rows));
}

TEST(DbStaging, AFailureReportsItsOwnReasonNotAnEarlierStatements)
{
    // A workbook whose first sheet has lost its part: the zip entry is renamed, in
    // the local header and in the directory alike.
    QTemporaryDir dir;
    const QString path = dir.filePath("book.xlsx");
    ASSERT_TRUE(WriteTestXlsx(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.count("xl/worksheets/sheet1.xml"), 2);
    bytes.replace("xl/worksheets/sheet1.xml", "xl/worksheets/sheetX.xml");
    file.seek(0);
    file.write(bytes);
    file.close();

    auto db = DbConnection::OpenExcel(path, true);
    ASSERT_TRUE(db->IsOpen()) << db->LastError().toStdString();
    DbRows rows;
    EXPECT_FALSE(db->Query("select nonsense", rows));
    EXPECT_TRUE(db->LastError().contains("nonsense")) << db->LastError().toStdString();
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(db->Query("select * from [People$]", rows));
        EXPECT_TRUE(db->LastError().contains("People$")) << db->LastError().toStdString();
        EXPECT_FALSE(db->LastError().contains("nonsense")) << db->LastError().toStdString();
        QStringList fields;
        EXPECT_FALSE(db->ListFields("People$", fields));
        EXPECT_TRUE(db->LastError().contains("People$")) << db->LastError().toStdString();
    }
    ASSERT_TRUE(db->Query("select count(*) from [My Data$]", rows)) << db->LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "3");
}

// A walk's rows kept for a preview come back as they came (NULLs, empty texts, any bytes),
// by position, across the blocks they were kept in; a read past the rows one read may keep,
// and rows past the temporary storage's cap, are refused, and what was kept before stays.
TEST(DbStaging, AWalksRowsComeBackAsTheyCameWithinTheBounds)
{
    DbRowStage stage;
    DbRows block;
    block.Reset(QStringList {"id", "note"});
    for (int i = 1; i <= 5; ++i) {
        block.AppendText(QString::number(i));
        if (i == 2)
            block.AppendNull();
        else if (i == 3)
            block.AppendText(QString());
        else
            block.AppendUtf8(QByteArray(QByteArray("a\0b\xff", 4) + QByteArray::number(i)));
    }
    ASSERT_TRUE(stage.Append(block)) << stage.LastError().toStdString();
    block.Reset(QStringList {"id", "note"});
    block.AppendText(QStringLiteral("6"));
    block.AppendText(QStringLiteral("北京"));
    ASSERT_TRUE(stage.Append(block));
    EXPECT_EQ(stage.RowCount(), 6);

    DbRows rows;
    ASSERT_TRUE(stage.Read(1, 10, rows));
    EXPECT_EQ(rows.Columns(), (QStringList {"id", "note"}));
    ASSERT_EQ(rows.RowCount(), 5);
    EXPECT_EQ(rows.Value(0, 0), "2");
    EXPECT_TRUE(rows.IsNull(0, 1));
    EXPECT_FALSE(rows.IsNull(1, 1));
    EXPECT_EQ(rows.Utf8(1, 1).size(), 0);
    EXPECT_EQ(rows.Utf8(2, 1).toByteArray(), QByteArray(QByteArray("a\0b\xff", 4) + "4"));
    EXPECT_EQ(rows.Value(4, 1), QStringLiteral("北京"));
    ASSERT_TRUE(stage.Read(6, 5, rows));
    EXPECT_EQ(rows.RowCount(), 0);

    const DbLimits saved = GetDbLimits();
    DbLimits limits = saved;
    limits.sliceBytes = 8;
    SetDbLimits(limits);
    EXPECT_FALSE(stage.Read(0, 6, rows));
    EXPECT_TRUE(stage.Refused());
    EXPECT_EQ(rows.RowCount(), 0);
    limits = saved;
    limits.tempBytes = 64 << 10;
    SetDbLimits(limits);
    block.Reset(QStringList {"id", "note"});
    // Past the page cache's 2 MB, which is memory, the file takes the rest: values that do not
    // compress, as kept rows are compressed.
    QRandomGenerator noise(7);
    for (int i = 0; i < 4000; ++i) {
        QByteArray value(1000, Qt::Uninitialized);
        noise.fillRange(reinterpret_cast<quint32*>(value.data()), value.size() / 4);
        block.AppendText(QString::number(i));
        block.AppendUtf8(value);
    }
    EXPECT_FALSE(stage.Append(block));
    EXPECT_TRUE(stage.Full());
    SetDbLimits(saved);
    EXPECT_EQ(stage.RowCount(), 6);
    ASSERT_TRUE(stage.Read(5, 1, rows)) << stage.LastError().toStdString();
    EXPECT_EQ(rows.Value(0, 0), "6");
}

// Only the columns the pages show are kept, and a run again of the walk is checked against what
// was kept: the same rows match wherever a check starts, and a changed value or NULL, rows in
// another order, rows past those kept, or other columns do not. A block of other columns is
// never kept beside the first ones (read back with the first ones' count, it would be read past).
TEST(DbStaging, KeptRowsAreTheShownColumnsAndTellARunAgainThatDiffers)
{
    const auto makeRows = [](const QStringList& columns, int from, int to) {
        DbRows rows;
        rows.Reset(columns);
        for (int i = from; i < to; ++i) {
            rows.AppendText(QString::number(i));
            if (i % 7 == 0)
                rows.AppendNull();
            else
                rows.AppendText(QStringLiteral("名%1").arg(i));
            rows.AppendText(QString(40, QChar(u'a' + i % 26)));
        }
        return rows;
    };
    const QStringList columns {"id", "name", "wide"};
    DbRowStage stage(2);
    // Runs hold a few hundred rows: a check and a read cross their edges.
    ASSERT_TRUE(stage.Append(makeRows(columns, 0, 700))) << stage.LastError().toStdString();
    ASSERT_TRUE(stage.Append(makeRows(columns, 700, 1000)));
    DbRows rows;
    ASSERT_TRUE(stage.Read(250, 10, rows));
    EXPECT_EQ(rows.Columns(), (QStringList {"id", "name"}));
    EXPECT_EQ(rows.Row(0), (QStringList {"250", "名250"}));
    EXPECT_TRUE(rows.IsNull(2, 1)); // 252
    ASSERT_TRUE(stage.Read(995, 10, rows));
    EXPECT_EQ(rows.RowCount(), 5);

    EXPECT_TRUE(stage.Matches(0, makeRows(columns, 0, 1000)));
    EXPECT_TRUE(stage.Matches(255, makeRows(columns, 255, 513)));
    // A column the pages do not show may change.
    DbRows other = makeRows({"id", "name", "other"}, 300, 310);
    EXPECT_TRUE(stage.Matches(300, other));

    DbRows changed = makeRows(columns, 400, 410);
    DbRows edited;
    edited.Reset(columns);
    for (int r = 0; r < changed.RowCount(); ++r)
        edited.AppendRow(r == 5 ? QStringList {"405", "名405x", ""} : changed.Row(r));
    EXPECT_FALSE(stage.Matches(400, edited));
    EXPECT_TRUE(stage.Changed());
    DbRows nulled;
    nulled.Reset(columns);
    nulled.AppendText(QStringLiteral("405"));
    nulled.AppendNull(); // was "名405"
    nulled.AppendText(QString());
    EXPECT_FALSE(stage.Matches(405, nulled));
    EXPECT_FALSE(stage.Matches(401, makeRows(columns, 400, 410)));
    EXPECT_FALSE(stage.Matches(995, makeRows(columns, 995, 1005)));
    EXPECT_FALSE(stage.Matches(0, makeRows({"id", "title", "wide"}, 0, 10)));
    EXPECT_FALSE(stage.Matches(0, makeRows({"id"}, 0, 10)));
    EXPECT_TRUE(stage.Changed());

    EXPECT_FALSE(stage.Append(makeRows({"id"}, 1000, 1010)));
    EXPECT_TRUE(stage.Changed());
    EXPECT_EQ(stage.RowCount(), 1000);
    ASSERT_TRUE(stage.Read(990, 20, rows)) << stage.LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 10);
    EXPECT_EQ(rows.Row(9), (QStringList {"999", "名999"}));
}

// Rows of text that repeats and of hexadecimal digits that do not (kept by different
// compressions) read back as they were kept. A block the temporary storage has no room for is
// refused unwritten, and the rows kept before it still read back.
TEST(DbStaging, KeptRowsOfAnyTextReadBackAndABlockPastTheCapLeavesThemReadable)
{
    const auto makeRows = [](int from, int to, bool repeating) {
        DbRows rows;
        rows.Reset({"id", "text"});
        for (int i = from; i < to; ++i) {
            rows.AppendText(QString::number(i));
            QByteArray text;
            for (int k = 0; text.size() < 600; ++k)
                text += repeating
                    ? QByteArray("row ") + QByteArray::number(i)
                    : QCryptographicHash::hash(QByteArray::number(i * 100 + k), QCryptographicHash::Md5).toHex();
            rows.AppendUtf8(text.constData(), text.size());
        }
        return rows;
    };
    for (const bool repeating : {true, false}) {
        SCOPED_TRACE(repeating ? "repeating text" : "hexadecimal digits");
        DbRowStage stage(2);
        ASSERT_TRUE(stage.Append(makeRows(0, 1000, repeating))) << stage.LastError().toStdString();
        DbRows rows;
        ASSERT_TRUE(stage.Read(0, 1000, rows)) << stage.LastError().toStdString();
        const DbRows kept = makeRows(0, 1000, repeating);
        ASSERT_EQ(rows.RowCount(), 1000);
        for (int r = 0; r < 1000; r += 111)
            EXPECT_EQ(rows.Row(r), kept.Row(r));
        EXPECT_TRUE(stage.Matches(0, kept));
    }

    const DbLimits saved = GetDbLimits();
    DbLimits limits = saved;
    limits.tempBytes = 1 << 20;
    SetDbLimits(limits);
    DbRowStage stage(2);
    const bool first = stage.Append(makeRows(0, 500, false)); // about 160 kB compressed
    // About 1 MB: within SQLite's page cache, so that without the check it would fail at the commit.
    const bool second = stage.Append(makeRows(500, 4000, false));
    const bool full = stage.Full();
    DbRows rows;
    const bool read = stage.Read(490, 20, rows);
    SetDbLimits(saved);
    ASSERT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_TRUE(full);
    ASSERT_TRUE(read) << stage.LastError().toStdString();
    EXPECT_EQ(rows.RowCount(), 10);
    EXPECT_EQ(rows.Value(9, 0), "499");
}

// A read of "all the rest" and checks far along end at the kept rows, wherever the asked ends lie:
// before the first row, past the last, or past any number.
TEST(DbStaging, ReadsAndChecksReachingPastAnyNumberEndAtTheKeptRows)
{
    constexpr qint64 kFar = std::numeric_limits<qint64>::max();
    DbRowStage stage;
    DbRows block;
    block.Reset(QStringList {"id"});
    for (int i = 1; i <= 30; ++i)
        block.AppendText(QString::number(i));
    ASSERT_TRUE(stage.Append(block)) << stage.LastError().toStdString();

    DbRows rows;
    ASSERT_TRUE(stage.Read(10, kFar, rows)) << stage.LastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 20);
    EXPECT_EQ(rows.Value(0, 0), "11");
    EXPECT_EQ(rows.Value(19, 0), "30");
    ASSERT_TRUE(stage.Read(-5, 10, rows));
    ASSERT_EQ(rows.RowCount(), 5);
    EXPECT_EQ(rows.Value(0, 0), "1");
    for (const auto& [first, count] : {std::pair {kFar, kFar}, std::pair {std::numeric_limits<qint64>::min(), kFar},
                                       std::pair {qint64(30), kFar}, std::pair {qint64(5), qint64(0)}}) {
        ASSERT_TRUE(stage.Read(first, count, rows)) << first << " " << count;
        EXPECT_EQ(rows.RowCount(), 0) << first << " " << count;
    }

    DbRows last;
    last.Reset(QStringList {"id"});
    last.AppendText(QStringLiteral("30"));
    EXPECT_TRUE(stage.Matches(29, last));
    EXPECT_FALSE(stage.Changed());
    EXPECT_FALSE(stage.Matches(kFar, last));
    EXPECT_FALSE(stage.Matches(kFar - 1, last));
    EXPECT_TRUE(stage.Changed());
}
