#include "TestSupport.h"
#include "app/VXStatusBar.h"

#include <QMainWindow>
#include <gtest/gtest.h>

TEST(StatusBar, OnlyNonEmptyPaneTextsGetSeparatorsAndTheClipEdgeGetsNone)
{
    CVXStatusBar bar;
    const QFont font = bar.font();
    using Texts = std::array<QString, 4>;
    const std::vector<int> two = CVXStatusBar::SeparatorPositions(Texts{"", "打印机：A", "", "B"}, font, 600, 22);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_GT(two[0], 5);
    EXPECT_GT(two[1], two[0] + 5);
    // Leading empty texts leave no gap: the first text starts at the left edge.
    const std::vector<int> one = CVXStatusBar::SeparatorPositions(Texts{"打印机：A", "", "", ""}, font, 600, 22);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], two[0]);
    // A text reaching the clip edge has no separator, nor have the clipped ones after it.
    const QString longText(200, QChar('W'));
    EXPECT_TRUE(CVXStatusBar::SeparatorPositions(Texts{longText, "x", "y", ""}, font, 300, 22).empty());
}

TEST(StatusBar, GripIsPaintedOnlyWhileTheWindowIsNotMaximised)
{
    QMainWindow frame;
    auto* bar = new CVXStatusBar(&frame);
    frame.setStatusBar(bar);
    frame.resize(400, 300);
    frame.show();
    const auto gripTopDot = [&] {
        const QImage image = bar->grab().toImage();
        return image.pixel(image.width() - 5, 10);
    };
    EXPECT_EQ(gripTopDot(), 0xFFFFFFFFu);
    frame.showMaximized();
    EXPECT_NE(gripTopDot(), 0xFFFFFFFFu);
}
