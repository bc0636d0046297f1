#include "TestSupport.h"
#include "model/BaseGraph.h"

#include <QPainter>
#include <gtest/gtest.h>

TEST(BaseGraph, DefaultsOfABareObject)
{
    CBaseGraph g;
    EXPECT_EQ(g.GetKind(), KindNone);
    EXPECT_EQ(g.GetWidth(), 20.0f);
    EXPECT_EQ(g.GetHeight(), 5.0f);
    EXPECT_EQ(g.m_fLineWidth, 0.3f);
    EXPECT_EQ(g.m_crFill, 0x00FFFFFFu);
    EXPECT_EQ(g.m_crLine, 0xFF000000u);
    EXPECT_EQ(g.m_fDrawScale, 1.0f);
    EXPECT_EQ(g.Clone(), nullptr);
    EXPECT_FALSE(g.IsSameAs(g));
}

TEST(BaseGraph, AnchorPointForEveryCodeAndCentreOtherwise)
{
    CBaseGraph g;
    g.m_fX = 10;
    g.m_fY = 20;
    g.m_fWidth = 40;
    g.m_fHeight = 6;
    const QPointF expected[] = {{10, 20}, {30, 20}, {50, 20}, {50, 23}, {50, 26}, {30, 26}, {10, 26}, {10, 23}};
    for (int code = 0; code < 8; ++code) {
        g.m_nAnchor = code;
        EXPECT_EQ(g.GetAnchorPoint(), expected[code]) << code;
    }
    for (int code : {8, -1, 1000}) {
        g.m_nAnchor = code;
        EXPECT_EQ(g.GetAnchorPoint(), QPointF(30, 23)) << code;
    }
}

TEST(BaseGraph, CopyFromTakesSharedFieldsButNotTheOwner)
{
    CBaseGraph a, b;
    a.m_strName = "n";
    a.m_fX = 3;
    a.m_fAngle = 45;
    a.m_bNotPrinted = true;
    a.m_fOriginX = 7;
    a.m_pLabelData = reinterpret_cast<CLabelData*>(&a);
    b.CopyFrom(a);
    EXPECT_EQ(b.m_strName, "n");
    EXPECT_EQ(b.m_fX, 3.0f);
    EXPECT_EQ(b.m_fAngle, 45.0f);
    EXPECT_TRUE(b.m_bNotPrinted);
    EXPECT_EQ(b.m_fOriginX, 7.0f);
    EXPECT_EQ(b.m_pLabelData, nullptr);
}

TEST(Geometry, LineAngleOnAxesAndDiagonals)
{
    EXPECT_EQ(GetLineAngle(0, 0, 5, 0), 0.0f);
    EXPECT_EQ(GetLineAngle(0, 0, 0, 5), 90.0f);
    EXPECT_EQ(GetLineAngle(0, 0, -5, 0), 180.0f);
    EXPECT_EQ(GetLineAngle(0, 0, 0, -5), 270.0f);
    EXPECT_EQ(GetLineAngle(3, 3, 3, 3), 270.0f);
    EXPECT_FLOAT_EQ(GetLineAngle(0, 0, 1, 1), 45.0f);
    EXPECT_FLOAT_EQ(GetLineAngle(0, 0, -1, 1), 135.0f);
    EXPECT_FLOAT_EQ(GetLineAngle(0, 0, -1, -1), 225.0f);
    EXPECT_FLOAT_EQ(GetLineAngle(0, 0, 1, -1), 315.0f);
    EXPECT_NEAR(GetLineAngle(0, 0, 2, 1), 26.565f, 1e-3);
}

TEST(Geometry, RotatePointsAboutACentre)
{
    EXPECT_EQ(RotatePointInt(90, {10, 0}, {0, 0}), QPoint(0, 10));
    EXPECT_EQ(RotatePointInt(180, {10, 0}, {5, 5}), QPoint(0, 10));
    // 45 degrees of (10, 0) is (7.07, 7.07): cut toward zero, never rounded.
    EXPECT_EQ(RotatePointInt(45, {10, 0}, {0, 0}), QPoint(7, 7));
    EXPECT_EQ(RotatePointInt(-45, {-10, 0}, {0, 0}), QPoint(-7, 7));
    const QPointF p = RotatePoint(90, {2, 1}, {1, 1});
    EXPECT_NEAR(p.x(), 1.0, 1e-6);
    EXPECT_NEAR(p.y(), 2.0, 1e-6);
}

namespace {
// A filled box drawn in the base frame, standing in for a real kind.
struct BoxGraph : CBaseGraph
{
    void Draw(QPainter& g) const override
    {
        CDrawFrame frame(*this, g);
        g.fillRect(frame.Box(), Qt::black);
    }
};

QImage DrawAt300(const BoxGraph& box)
{
    QImage image = MakeCanvas(60, 60, 300);
    QPainter p(&image);
    p.scale(300 / 25.4, 300 / 25.4);
    const QTransform before = p.worldTransform();
    box.Draw(p);
    EXPECT_EQ(p.worldTransform(), before);
    return image;
}
} // namespace

TEST(BaseGraph, RotatedObjectLandsWhereItsGeometrySays)
{
    BoxGraph box;
    box.m_fX = 20;
    box.m_fY = 20;
    box.m_fWidth = 20;
    box.m_fHeight = 4;
    box.m_fOriginX = 5;
    box.m_fOriginY = 5;

    // Unrotated: the box at origin + (x, y).
    QImage image = DrawAt300(box);
    EXPECT_TRUE(IsDarkAt(image, 26, 26, 300));
    EXPECT_TRUE(IsDarkAt(image, 44, 28, 300));
    EXPECT_FALSE(IsDarkAt(image, 46, 26, 300));

    // 90 degrees clockwise about the top-left corner: the box hangs down from it.
    box.m_fAngle = 90;
    box.m_nAnchor = AnchorTopLeft;
    image = DrawAt300(box);
    EXPECT_TRUE(IsDarkAt(image, 23, 43, 300));
    EXPECT_FALSE(IsDarkAt(image, 35, 27, 300));

    // About the centre (any code outside 0-7): a vertical bar through the centre.
    box.m_nAnchor = 99;
    image = DrawAt300(box);
    EXPECT_TRUE(IsDarkAt(image, 35, 18, 300));
    EXPECT_TRUE(IsDarkAt(image, 35, 36, 300));
    EXPECT_FALSE(IsDarkAt(image, 27, 27, 300));

    // About the bottom-right corner.
    box.m_nAnchor = AnchorBottomRight;
    image = DrawAt300(box);
    EXPECT_TRUE(IsDarkAt(image, 47, 15, 300));
    EXPECT_FALSE(IsDarkAt(image, 35, 27, 300));
}
