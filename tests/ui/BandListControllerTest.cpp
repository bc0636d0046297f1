// The working copies behind the band lists, without widgets: what is current after
// loading and after each toolbar operation, that copies never alias the owner's bands
// or each other, and that the sample and its selection follow the shown texts.
#include "dialogs/properties/BandListController.h"
#include "model/DataBand.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<CDataBand> Band(const QString& value, int kind = BandConstant)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = kind;
    band->m_strValue = value;
    return band;
}

BandVector Bands(std::initializer_list<const char*> values)
{
    BandVector bands;
    for (const char* value : values)
        bands.push_back(Band(QString::fromUtf8(value)));
    return bands;
}

QStringList Values(const CBandListController& c)
{
    QStringList values;
    for (const auto& band : c.Bands())
        values << band->m_strValue;
    return values;
}

} // namespace

TEST(BandListController, LoadCopiesTheBandsAndMakesTheRequestedOneCurrent)
{
    const BandVector source = Bands({"a", "b", "c"});
    CBandListController c;
    c.Load(source, source[2].get());
    EXPECT_EQ(c.CurrentIndex(), 2);
    EXPECT_NE(c.Current(), source[2].get());
    c.Current()->m_strValue = QStringLiteral("changed");
    EXPECT_EQ(source[2]->m_strValue, "c");

    const CDataBand stranger;
    c.Load(source, &stranger);
    EXPECT_EQ(c.CurrentIndex(), 0);
    c.Load(source, nullptr);
    EXPECT_EQ(c.CurrentIndex(), 0);
    c.Load(BandVector{}, nullptr);
    EXPECT_EQ(c.CurrentIndex(), -1);
    EXPECT_EQ(c.Current(), nullptr);
    c.SetCurrent(5);
    EXPECT_EQ(c.CurrentIndex(), -1);
}

TEST(BandListController, ToolbarOperationsAndTheirRefusals)
{
    CBandListController c;
    c.Load(Bands({"a", "b"}), nullptr);
    EXPECT_FALSE(c.Paste()); // nothing copied yet
    EXPECT_FALSE(c.MoveUp());
    ASSERT_TRUE(c.Copy());
    // Two pastes of one copy are two bands of their own.
    ASSERT_TRUE(c.Paste());
    CDataBand* first = c.Current();
    ASSERT_TRUE(c.Paste());
    EXPECT_NE(c.Current(), first);
    c.Current()->m_strValue = QStringLiteral("x");
    EXPECT_EQ(Values(c), (QStringList{"a", "b", "a", "x"}));
    EXPECT_EQ(c.CurrentIndex(), 3);
    EXPECT_FALSE(c.MoveDown());
    ASSERT_TRUE(c.MoveUp());
    EXPECT_EQ(Values(c), (QStringList{"a", "b", "x", "a"}));
    EXPECT_EQ(c.CurrentIndex(), 2);
    // Deleting the last row makes the new last one current.
    c.SetCurrent(3);
    ASSERT_TRUE(c.Delete(true));
    EXPECT_EQ(c.CurrentIndex(), 2);
    c.SetCurrent(0);
    ASSERT_TRUE(c.Delete(true));
    EXPECT_EQ(c.CurrentIndex(), 0);
    EXPECT_EQ(Values(c), (QStringList{"b", "x"}));
    ASSERT_TRUE(c.Delete(true));
    // The data-source pane keeps its last band; the substrings may all go.
    EXPECT_FALSE(c.Delete(true));
    ASSERT_TRUE(c.Delete(false));
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(c.Current(), nullptr);
    EXPECT_FALSE(c.Copy());
    EXPECT_FALSE(c.Delete(false));
    c.Append(Band("new"));
    EXPECT_EQ(c.CurrentIndex(), 0);
}

TEST(BandListController, ApplyKeepsTheWorkingCopiesForAnotherTry)
{
    CBandListController c;
    c.Load(Bands({"a", "b"}), nullptr);
    BandVector target = Bands({"old"});
    c.ApplyTo(target);
    ASSERT_EQ(target.size(), 2u);
    EXPECT_EQ(target[1]->m_strValue, "b");
    EXPECT_NE(target[0].get(), c.At(0));
    BandVector again;
    c.ApplyTo(again);
    EXPECT_EQ(again.size(), 2u);
}

TEST(BandListController, SampleIsTheShownTextsWithTheCurrentBandMarked)
{
    BandVector source;
    source.push_back(Band("ab"));
    auto formatted = Band("  7");
    formatted->m_bTrimLeft = true;
    formatted->m_strPrefix = QStringLiteral("No.");
    source.push_back(std::move(formatted));
    source.push_back(Band("one\r\ntwo"));
    CBandListController c;
    c.Load(source, source[1].get());
    QString expected;
    for (const auto& band : source)
        expected += band->FormatValue(band->m_strValue);
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(c.SampleText(), expected);
    EXPECT_EQ(c.SampleText(), QStringLiteral("abNo.7one\ntwo"));
    EXPECT_EQ(c.SampleStart(), 2);
    EXPECT_EQ(c.SampleLength(), 4);
    // Line breaks count as the one character the sample shows.
    c.SetCurrent(2);
    EXPECT_EQ(c.SampleStart(), 6);
    EXPECT_EQ(c.SampleLength(), 7);
    c.SetCurrent(-1);
    EXPECT_EQ(c.SampleStart(), 0);
    EXPECT_EQ(c.SampleLength(), 0);
}
