// A walk run again over the rows a preview kept: the same rows in another order (rows that tie in
// the statement's order) are no change, across the end of the kept rows too; a kept row that does
// not come again is one. The stage ends as every record once, the kept ones where they were.
#include "platform/db/SQLiteStage.h"
#include "platform/db/StageRecheck.h"

#include <gtest/gtest.h>

namespace {

// One row per letter, a single column.
DbRows Letters(const QString& letters)
{
    DbRows rows;
    rows.Reset(QStringList {QStringLiteral("v")});
    for (const QChar letter : letters)
        rows.AppendRow({QString(letter)});
    return rows;
}

QString StagedLetters(DbRowStage& stage)
{
    DbRows rows;
    EXPECT_TRUE(stage.Read(0, stage.RowCount(), rows)) << stage.LastError().toStdString();
    QString letters;
    for (int r = 0; r < rows.RowCount(); ++r)
        letters += rows.Value(r, 0);
    return letters;
}

struct RecheckCase
{
    const char* what;
    const char* kept;
    const char* rerun; // the walk run again, whole
    int block; // rows a slice of it holds
    bool settled; // every kept row came again
    const char* staged; // the stage after the whole walk, when settled
};

const RecheckCase kRecheckCases[] = {
    {"the same order", "abcd", "abcdef", 4, true, "abcdef"},
    {"ties reordered among the kept rows", "abcd", "badcef", 3, true, "abcdef"},
    {"a tie across the kept rows' end", "abcd", "abdecf", 2, true, "abcdef"},
    {"a tie across the end, read one row at a time", "abcd", "aebdfc", 1, true, "abcdef"},
    {"the kept rows' tie coming last of all", "abcd", "bcdefga", 5, true, "abcdefg"},
    {"equal rows, reordered", "aabb", "babac", 2, true, "aabbc"},
    {"a row only added before the end", "abcd", "abxcde", 3, true, "abcdxe"},
    {"a kept row changed", "abcd", "abxdef", 3, false, ""},
    {"a kept row deleted", "abcd", "abdef", 2, false, ""},
    {"one of two equal kept rows deleted", "aabc", "abcd", 4, false, ""},
    {"the statement ends before the kept rows do", "abcd", "abc", 4, false, ""},
};

} // namespace

TEST(DbStageRecheck, RowsComeAgainAsAMultisetAcrossTheKeptRowsEnd)
{
    for (const RecheckCase& c : kRecheckCases) {
        SCOPED_TRACE(c.what);
        auto stage = std::make_shared<DbRowStage>();
        ASSERT_TRUE(stage->Append(Letters(QString::fromLatin1(c.kept))));
        DbStageRecheck recheck(stage);
        const QString rerun = QString::fromLatin1(c.rerun);
        for (int at = 0; at < rerun.size(); at += c.block)
            ASSERT_TRUE(recheck.Take(Letters(rerun.mid(at, c.block)))) << stage->LastError().toStdString();
        EXPECT_EQ(recheck.Position(), rerun.size());
        EXPECT_EQ(recheck.Settled(), c.settled);
        EXPECT_FALSE(recheck.Changed());
        if (c.settled) {
            EXPECT_EQ(StagedLetters(*stage), QString::fromLatin1(c.staged));
        }
    }
}

TEST(DbStageRecheck, OtherColumnsAreAChangeAndAManyRowTieIsHeldCompactly)
{
    auto stage = std::make_shared<DbRowStage>();
    ASSERT_TRUE(stage->Append(Letters(QStringLiteral("ab"))));
    DbRows renamed;
    renamed.Reset(QStringList {QStringLiteral("w")});
    renamed.AppendRow({QStringLiteral("a")});
    DbStageRecheck other(stage);
    EXPECT_FALSE(other.Take(renamed));
    EXPECT_TRUE(other.Changed());

    // 20,000 kept rows of 200 values, run again reversed: each value's rows tie, the whole of
    // them straddles nothing, and the rows held while unmatched are compacted as they cancel.
    auto many = std::make_shared<DbRowStage>();
    DbRows kept;
    kept.Reset(QStringList {QStringLiteral("v")});
    for (int i = 0; i < 20000; ++i)
        kept.AppendRow({QString::number(i % 200)});
    ASSERT_TRUE(many->Append(kept));
    DbStageRecheck reversed(many);
    DbRows block;
    block.Reset(QStringList {QStringLiteral("v")});
    for (int i = 20000; i-- > 0;)
        block.AppendRow({QString::number(i % 200)});
    block.AppendRow({QStringLiteral("new")});
    ASSERT_TRUE(reversed.Take(block));
    EXPECT_TRUE(reversed.Settled());
    EXPECT_EQ(many->RowCount(), 20001);
}

namespace {

// Pins from shown letters by place, '.' for a place not shown.
std::map<qint64, quint64> PinsOf(const QString& shown)
{
    std::map<qint64, quint64> pins;
    const DbRows rows = Letters(shown);
    for (int r = 0; r < rows.RowCount(); ++r)
        if (shown[r] != u'.')
            pins[r] = DbRowHash(rows, r, 1);
    return pins;
}

struct PinCase
{
    const char* what;
    const char* shown;
    const char* rerun;
    int block;
    const char* staged; // empty: a shown row never came
};

const PinCase kPinCases[] = {
    {"the same order", "ab", "abcdef", 4, "abcdef"},
    {"the shown rows come after others that tie", "ab", "cdabef", 2, "abcdef"},
    {"a far page's rows come before their place", "..cd", "cdabef", 1, "abcdef"},
    {"the whole order turned round", "ab....gh", "hgfedcba", 3, "abfedcgh"},
    {"equal rows, one shown twice", "a.a", "aab", 1, "aba"},
    {"unshown rows deleted before a far page", "a...e", "abe", 2, "abe"},
    {"a shown row changed", "ab", "axcd", 2, ""},
    {"a shown row deleted at the end", "a..d", "abc", 3, ""},
};

} // namespace

TEST(DbStagePins, ShownRowsKeepTheirPlacesAndTheRestComeInTheRunsOrder)
{
    for (const PinCase& c : kPinCases) {
        SCOPED_TRACE(c.what);
        auto stage = std::make_shared<DbRowStage>();
        DbStagePins pins(stage, PinsOf(QString::fromLatin1(c.shown)), QStringList {QStringLiteral("v")});
        const QString rerun = QString::fromLatin1(c.rerun);
        for (int at = 0; at < rerun.size(); at += c.block)
            ASSERT_TRUE(pins.Take(Letters(rerun.mid(at, c.block)))) << pins.LastError().toStdString();
        const bool finished = pins.Finish();
        EXPECT_EQ(finished, *c.staged != 0);
        EXPECT_EQ(pins.Changed(), !finished);
        if (finished) {
            EXPECT_EQ(StagedLetters(*stage), QString::fromLatin1(c.staged));
            EXPECT_EQ(pins.Held(), 0);
        }
    }
}

// A walk given back twice: the rows held when the first run ended come again in the next, which
// passes over the rows kept by then as a multiset; other columns are a change.
TEST(DbStagePins, ARunAgainPassesOverTheKeptRowsAndHeldRowsComeAgain)
{
    auto stage = std::make_shared<DbRowStage>();
    auto pins = std::make_shared<DbStagePins>(stage, PinsOf(QStringLiteral("ab....gh")), QStringList {"v"});
    ASSERT_TRUE(pins->Take(Letters(QStringLiteral("cadb"))));
    EXPECT_EQ(StagedLetters(*stage), QStringLiteral("abcd"));
    ASSERT_TRUE(pins->Take(Letters(QStringLiteral("h"))));
    EXPECT_EQ(pins->Held(), 1);
    // Run again in yet another order.
    pins->Restart();
    DbStageRecheck recheck(stage, [pins](const DbRows& rows) { return pins->Take(rows); });
    for (const QString& block : {QStringLiteral("hgd"), QStringLiteral("cbf"), QStringLiteral("ea")})
        ASSERT_TRUE(recheck.Take(Letters(block))) << pins->LastError().toStdString();
    EXPECT_TRUE(recheck.Settled());
    ASSERT_TRUE(pins->Finish());
    EXPECT_EQ(StagedLetters(*stage), QStringLiteral("abcdfegh"));

    DbRows renamed;
    renamed.Reset(QStringList {QStringLiteral("w")});
    renamed.AppendRow({QStringLiteral("a")});
    DbStagePins other(std::make_shared<DbRowStage>(), PinsOf(QStringLiteral("a")), QStringList {"v"});
    EXPECT_FALSE(other.Take(renamed));
    EXPECT_TRUE(other.Changed());
}
