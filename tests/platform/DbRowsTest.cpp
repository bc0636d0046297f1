#include "platform/db/DbRows.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(DbRows, CellsKeepTextAndNullFlagsInRowOrder)
{
    DbRows rows;
    rows.Reset(QStringList{"a", "b"});
    rows.AppendText(u"中文");
    rows.AppendNull();
    rows.AppendUtf8("x", 1);
    rows.AppendText(u"");
    ASSERT_EQ(rows.RowCount(), 2);
    EXPECT_EQ(rows.Value(0, 0), QStringLiteral("中文"));
    EXPECT_TRUE(rows.IsNull(0, 1));
    EXPECT_EQ(rows.Value(0, 1), QString());
    EXPECT_FALSE(rows.IsNull(1, 1)); // an empty text is not NULL
    EXPECT_EQ(rows.Row(1), (QStringList{"x", ""}));
    // Outside the block: empty, never a read past the end.
    EXPECT_EQ(rows.Value(2, 0), QString());
    EXPECT_EQ(rows.Value(0, 2), QString());
    EXPECT_FALSE(rows.IsNull(-1, 0));
}

TEST(DbRows, AppendRowPadsAndTruncatesToTheColumns)
{
    DbRows rows;
    rows.Reset(3);
    EXPECT_EQ(rows.Columns(), (QStringList{"1", "2", "3"}));
    rows.AppendRow({"a"});
    rows.AppendRow({"a", "b", "c", "d"});
    ASSERT_EQ(rows.RowCount(), 2);
    EXPECT_EQ(rows.Row(0), (QStringList{"a", "", ""}));
    EXPECT_EQ(rows.Row(1), (QStringList{"a", "b", "c"}));
    rows.Clear();
    EXPECT_EQ(rows.RowCount(), 0);
    EXPECT_EQ(rows.ColumnCount(), 0);
}
