#include "TestSupport.h"
#include "model/SDGraph.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

QImage Paint(CSDGraph& item, bool selected)
{
    QImage image(200, 100, QImage::Format_ARGB32);
    image.fill(QColor(0xC0, 0xFF, 0xC0)); // not white, so the box's fill shows
    QPainter painter(&image);
    item.Draw(painter);
    if (selected) {
        item.DrawSelection(painter);
        item.DrawHandles(painter);
    }
    painter.end();
    return image;
}

bool HasDarkPixel(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 60)
                return true;
    return false;
}

} // namespace

TEST(SDGraph, HandlesSitJustOutsideEachEdgeMiddle)
{
    CEditSDGraph item;
    item.m_nX = 10;
    item.m_nY = 20;
    item.UpdateHandles();
    EXPECT_EQ(item.m_handles[0], QRect(4, 29, 6, 6));
    EXPECT_EQ(item.m_handles[1], QRect(67, 14, 6, 6));
    EXPECT_EQ(item.m_handles[2], QRect(130, 29, 6, 6));
    EXPECT_EQ(item.m_handles[3], QRect(67, 45, 6, 6));
    // Odd sizes halve towards zero.
    item.m_nWidth = 7;
    item.m_nHeight = -3;
    item.UpdateHandles();
    EXPECT_EQ(item.m_handles[1].topLeft(), QPoint(10, 14));
    EXPECT_EQ(item.m_handles[0].topLeft(), QPoint(4, 16));
}

TEST(SDGraph, InRectTreatsRightAndBottomEdgesAsOutside)
{
    CStaticSDGraph item; // 60 x 20
    item.m_nX = 10;
    item.m_nY = 10;
    EXPECT_TRUE(item.IsInRect(QRect(10, 10, 61, 21)));
    EXPECT_FALSE(item.IsInRect(QRect(10, 10, 60, 21))); // right edge on the band's right edge
    EXPECT_FALSE(item.IsInRect(QRect(10, 10, 61, 20)));
    EXPECT_FALSE(item.IsInRect(QRect(11, 10, 70, 30)));
    item.SaveRect();
    EXPECT_EQ(item.m_savedRect, QRect(10, 10, 60, 20));
}

TEST(SDGraph, CloneCopiesOnlyNameBoxTextAndTheKindsOwnFields)
{
    CComboSDGraph combo;
    combo.m_strName = "size";
    combo.m_nX = 5;
    combo.m_nHeight = 30;
    combo.m_strText = "M";
    combo.m_nListValue1 = 7;
    combo.m_nListValue2 = 8;
    combo.m_entries = QStringList{"S", "M", "L"};
    combo.m_crColor1 = 0x12345678u;
    combo.m_strReserved = "kept in the file only";
    auto clone = combo.Clone();
    const auto* c = dynamic_cast<const CComboSDGraph*>(clone.get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetKind(), SDDropDownList);
    EXPECT_EQ(c->m_strName, "size");
    EXPECT_EQ(c->m_nX, 5);
    EXPECT_EQ(c->m_nHeight, 30);
    EXPECT_EQ(c->m_strText, "M");
    EXPECT_EQ(c->m_nListValue1, 7);
    EXPECT_EQ(c->m_nListValue2, 0);
    EXPECT_EQ(c->m_entries, combo.m_entries);
    EXPECT_EQ(c->m_crColor1, 0xFF000000u);
    EXPECT_TRUE(c->m_strReserved.isEmpty());

    // CopyFrom appends the entries to those already there.
    CComboSDGraph target;
    target.m_entries = QStringList{"XL"};
    target.CopyFrom(combo);
    EXPECT_EQ(target.m_entries, (QStringList{"XL", "S", "M", "L"}));

    CDateSDGraph date;
    date.m_strText = "2024-2-29";
    date.m_strExtra = "extra";
    auto dateClone = date.Clone();
    EXPECT_EQ(dateClone->m_strText, "2024-2-29");
    EXPECT_TRUE(dynamic_cast<const CDateSDGraph&>(*dateClone).m_strExtra.isEmpty());

    CEditSDGraph edit;
    edit.m_bMultiLine = true;
    EXPECT_TRUE(dynamic_cast<const CEditSDGraph&>(*edit.Clone()).m_bMultiLine);
    EXPECT_EQ(CStaticSDGraph().Clone()->m_strText, "Label");
    EXPECT_EQ(CreateSDGraph(4), nullptr);
}

TEST(SDGraph, DropDownPaintsBoxButtonAndText)
{
    CComboSDGraph combo;
    combo.m_nX = 20;
    combo.m_nY = 20;
    combo.m_strText = "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
    const QImage image = Paint(combo, false);
    EXPECT_EQ(image.pixelColor(22, 22), QColor(Qt::white));        // filled box
    EXPECT_EQ(image.pixelColor(20, 22), QColor(0x80, 0x80, 0x80)); // grey outline
    // Button: ax = 20 + 120 - 13 = 127, ay = 20 + 12.5 - 2 = 30 truncated.
    EXPECT_LT(qGray(image.pixel(131, 31)), 60);
    EXPECT_EQ(image.pixelColor(127, 34), QColor(Qt::white));
    // The text stops before the button.
    EXPECT_TRUE(HasDarkPixel(image, QRect(22, 24, 20, 17)));
    EXPECT_FALSE(HasDarkPixel(image, QRect(128, 21, 11, 8)));

    // Narrower than the button: the text box has no width, the triangle is still there.
    CComboSDGraph narrow;
    narrow.m_nX = 60;
    narrow.m_nY = 20;
    narrow.m_nWidth = 5;
    narrow.m_strText = "Wide text";
    const QImage small = Paint(narrow, false);
    EXPECT_TRUE(HasDarkPixel(small, QRect(52, 30, 9, 5)));
    EXPECT_TRUE(HasDarkPixel(small, QRect(66, 20, 40, 25))); // text runs past the box
}

TEST(SDGraph, SelectionShowsTheFrameAndEnabledHandles)
{
    CStaticSDGraph item;
    item.m_nX = 50;
    item.m_nY = 40;
    item.m_strText.clear();
    item.m_bHandleEnabled[3] = false;
    const QImage image = Paint(item, true);
    // Handle 0 at (44, 47): white inside, black outline.
    EXPECT_EQ(image.pixelColor(47, 50), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(44, 50), QColor(Qt::black));
    // The disabled bottom handle is not painted.
    EXPECT_NE(image.pixelColor(77, 63), QColor(Qt::white));
    // The dotted grey frame three pixels out: broken, and only on its own row.
    int grey = 0;
    for (int x = 47; x <= 113; ++x) {
        grey += image.pixelColor(x, 37) == QColor(0x80, 0x80, 0x80);
        EXPECT_NE(image.pixelColor(x, 36), QColor(0x80, 0x80, 0x80));
    }
    EXPECT_GT(grey, 10);
    EXPECT_LT(grey, 60);
}
