#include "TestSupport.h"
#include "model/ShapeGraph.h"
#include "platform/Drawing.h"

#include <gtest/gtest.h>

namespace {

constexpr double kShapeDpi = 200.0;

QImage DrawShape(const CBaseGraph& object, double widthMm = 60, double heightMm = 60)
{
    return PaintCanvas(widthMm, heightMm, kShapeDpi, [&](QPainter& p) { object.Draw(p); });
}

QRgb ShapePixelAt(const QImage& image, double xMm, double yMm)
{
    return PixelAtMm(image, xMm, yMm, kShapeDpi);
}

bool IsBlank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != 0xFFFFFFFFu)
                return false;
    return true;
}

template <class T>
std::unique_ptr<T> Box(float x, float y, float w, float h)
{
    auto shape = std::make_unique<T>();
    shape->m_fX = x;
    shape->m_fY = y;
    shape->m_fWidth = w;
    shape->m_fHeight = h;
    shape->m_fLineWidth = 0.5f;
    return shape;
}

} // namespace

TEST(LineGraph, BoxComesFromTheEndPoints)
{
    CLineGraph line;
    EXPECT_EQ(line.GetKind(), KindLine);
    EXPECT_EQ(line.m_strName, "Line1");
    line.m_fX1 = 50;
    line.m_fY1 = 10;
    line.m_fX2 = 10;
    line.m_fY2 = 10;
    EXPECT_EQ(line.GetX(), 10.0f);
    EXPECT_EQ(line.GetWidth(), 40.0f);
    EXPECT_EQ(line.GetHeight(), 0.0f);
    line.SetX(0);
    EXPECT_EQ(line.m_fX1, 40.0f);
    EXPECT_EQ(line.m_fX2, 0.0f);
    line.SetWidth(20);
    EXPECT_EQ(line.m_fX1, 20.0f);
    EXPECT_EQ(line.m_fX2, 0.0f);
    // Top to bottom: the lower end moves.
    line.m_fY1 = 5;
    line.m_fY2 = 15;
    line.SetY(20);
    EXPECT_EQ(line.m_fY1, 20.0f);
    EXPECT_EQ(line.m_fY2, 30.0f);
    line.SetHeight(4);
    EXPECT_EQ(line.m_fY2, 24.0f);
    EXPECT_EQ(line.GetY(), 20.0f);
}

TEST(LineGraph, DrawsAtTheOriginAndIgnoresTheAngle)
{
    CLineGraph line;
    line.m_fX1 = 5;
    line.m_fY1 = 10;
    line.m_fX2 = 45;
    line.m_fY2 = 10;
    line.m_fLineWidth = 1.0f;
    line.m_fAngle = 90;
    line.m_fOriginX = 5;
    line.m_fOriginY = 20;
    const QImage image = DrawShape(line);
    EXPECT_TRUE(IsDarkAt(image, 11, 30, kShapeDpi));
    EXPECT_TRUE(IsDarkAt(image, 49, 30, kShapeDpi));
    EXPECT_FALSE(IsDarkAt(image, 9, 30, kShapeDpi));
    EXPECT_FALSE(IsDarkAt(image, 30, 10, kShapeDpi));
    line.m_nDashStyle = DashStyleDot;
    const QImage dotted = DrawShape(line);
    EXPECT_TRUE(IsDarkAt(dotted, 10.5, 30, kShapeDpi));
    EXPECT_FALSE(IsDarkAt(dotted, 11.5, 30, kShapeDpi));
}

TEST(ShapeGraph, NewShapesDrawTheirOutlineOnly)
{
    std::vector<std::unique_ptr<CBaseGraph>> shapes;
    shapes.push_back(Box<CRectangleGraph>(10, 10, 40, 40));
    shapes.push_back(Box<CEllipseGraph>(10, 10, 40, 40));
    auto polygon = Box<CPolygonGraph>(0, 0, 0, 0);
    polygon->m_points = {{10, 10}, {50, 10}, {50, 50}, {10, 50}};
    polygon->RecalcBounds();
    shapes.push_back(std::move(polygon));
    for (const auto& shape : shapes) {
        const QImage image = DrawShape(*shape);
        EXPECT_TRUE(IsDarkAt(image, 30, 10, kShapeDpi)) << shape->m_strName.toStdString();
        EXPECT_TRUE(IsDarkAt(image, 50, 30, kShapeDpi)) << shape->m_strName.toStdString();
        EXPECT_EQ(ShapePixelAt(image, 30, 30), 0xFFFFFFFFu) << shape->m_strName.toStdString();
    }
    EXPECT_EQ(shapes[0]->m_strName, "Recatangle1");
    EXPECT_EQ(shapes[1]->GetKind(), KindEllipse);
    EXPECT_EQ(shapes[2]->GetKind(), KindPolygon);
    // The ellipse leaves the box's corners empty.
    EXPECT_FALSE(IsDarkAt(DrawShape(*shapes[1]), 11, 11, kShapeDpi));
}

TEST(ShapeGraph, HatchWinsOverGradientAndLargeGradientCodesDrawNothing)
{
    auto rect = Box<CRectangleGraph>(10, 10, 40, 40);
    rect->m_bHatch = true;
    rect->m_nHatchStyle = HatchStyleHorizontal;
    rect->m_crHatch = 0xFFFF0000u;
    rect->m_crFill = 0xFF00FF00u; // back colour of the hatch
    rect->m_nGradient = 3;
    rect->m_crGradient1 = 0xFF0000FFu;
    rect->m_crGradient2 = 0xFF0000FFu;
    const QImage hatched = DrawShape(*rect);
    EXPECT_TRUE(IsDarkAt(hatched, 30, 10, kShapeDpi)); // outlined
    int red = 0, green = 0, blue = 0;
    for (double y = 20; y < 40; y += 0.05) {
        const QRgb p = ShapePixelAt(hatched, 30, y);
        red += p == 0xFFFF0000u;
        green += p == 0xFF00FF00u;
        blue += qBlue(p) > 128;
    }
    EXPECT_GT(red, 0);
    EXPECT_GT(green, 6 * red);
    EXPECT_EQ(blue, 0);

    rect->m_bHatch = false;
    rect->m_nGradient = 9;
    EXPECT_TRUE(IsBlank(DrawShape(*rect)));
}

TEST(ShapeGraph, GradientRunsDiagonallyWithoutOutline)
{
    auto rect = Box<CRectangleGraph>(10, 10, 40, 20);
    rect->m_nGradient = 3;
    rect->m_crGradient1 = 0xFFFF0000u;
    rect->m_crGradient2 = 0xFF0000FFu;
    rect->m_fLineWidth = 2.0f;
    const QImage image = DrawShape(*rect);
    EXPECT_GT(qRed(ShapePixelAt(image, 10.3, 10.3)), 240);
    EXPECT_GT(qBlue(ShapePixelAt(image, 49.7, 29.7)), 240);
    // No dark outline: the edge has the gradient's own colour.
    EXPECT_GT(qRed(ShapePixelAt(image, 10.3, 20)), 100);
    rect->m_nGradient = 7;
    const QImage exchanged = DrawShape(*rect);
    EXPECT_GT(qBlue(ShapePixelAt(exchanged, 10.3, 10.3)), 240);
    EXPECT_GT(qRed(ShapePixelAt(exchanged, 49.7, 29.7)), 240);
}

TEST(ShapeGraph, RoundedCornersOnlyDifferAtTheCorners)
{
    auto rect = Box<CRectangleGraph>(10, 10, 40, 20);
    rect->m_crFill = 0xFF000000u;
    const QImage square = DrawShape(*rect);
    rect->m_fCornerRadius = 4;
    const QImage rounded = DrawShape(*rect);
    EXPECT_TRUE(IsDarkAt(square, 10.4, 10.4, kShapeDpi));
    EXPECT_FALSE(IsDarkAt(rounded, 10.4, 10.4, kShapeDpi));
    EXPECT_FALSE(IsDarkAt(rounded, 49.6, 29.6, kShapeDpi));
    EXPECT_FALSE(IsDarkAt(rounded, 49.6, 10.4, kShapeDpi));
    EXPECT_FALSE(IsDarkAt(rounded, 10.4, 29.6, kShapeDpi));
    for (QPointF p : {QPointF(30, 10.1), QPointF(10.1, 20), QPointF(30, 20), QPointF(49.9, 20), QPointF(30, 29.9)})
        EXPECT_TRUE(IsDarkAt(rounded, p.x(), p.y(), kShapeDpi)) << p.x() << "," << p.y();
    const QPainterPath path = RoundedRectPath(QRectF(0, 0, 40, 20), 4);
    EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 40, 20));
    EXPECT_FALSE(path.contains(QPointF(0.5, 0.5)));
    EXPECT_TRUE(path.contains(QPointF(2, 2)));
}

TEST(ShapeGraph, TurnsAboutEachAnchor)
{
    // A solid 20 x 10 box turned by 90 degrees: its centre goes round the anchor.
    auto rect = Box<CRectangleGraph>(20, 20, 20, 10);
    rect->m_crFill = 0xFF000000u;
    rect->m_fAngle = 90;
    for (int anchor = 0; anchor <= 8; ++anchor) {
        rect->m_nAnchor = anchor;
        const QPointF pivot = rect->GetAnchorPoint();
        const QPointF centre = RotatePoint(90, QPointF(30, 25), pivot);
        const QImage image = DrawShape(*rect, 70, 70);
        // Turned, the box is 10 wide and 20 tall around that centre.
        EXPECT_TRUE(IsDarkAt(image, centre.x() + 4, centre.y() + 9, kShapeDpi)) << anchor;
        EXPECT_TRUE(IsDarkAt(image, centre.x() - 4, centre.y() - 9, kShapeDpi)) << anchor;
        EXPECT_FALSE(IsDarkAt(image, centre.x() + 6, centre.y(), kShapeDpi)) << anchor;
        EXPECT_FALSE(IsDarkAt(image, centre.x() - 6, centre.y(), kShapeDpi)) << anchor;
    }
}

TEST(PolygonGraph, BoundsAndDrawingWithFewOrManyPoints)
{
    CPolygonGraph polygon;
    polygon.m_fX = 7;
    polygon.m_fY = 8;
    polygon.RecalcBounds();
    EXPECT_EQ(QRectF(polygon.m_fX, polygon.m_fY, polygon.m_fWidth, polygon.m_fHeight), QRectF(7, 8, 0, 0));
    EXPECT_TRUE(IsBlank(DrawShape(polygon)));
    polygon.m_points = {{3, 4}};
    polygon.RecalcBounds();
    EXPECT_EQ(QRectF(polygon.m_fX, polygon.m_fY, polygon.m_fWidth, polygon.m_fHeight), QRectF(3, 4, 0, 0));

    // Ten points, and the same outline with two more points on its edges.
    CPolygonGraph ten, twelve;
    ten.m_points = {{10, 10}, {20, 5}, {30, 10}, {40, 5}, {50, 10}, {50, 50}, {40, 45}, {30, 50}, {20, 45}, {10, 50}};
    twelve.m_points = ten.m_points;
    twelve.m_points.insert(twelve.m_points.begin() + 5, QPointF(50, 30));
    twelve.m_points.push_back(QPointF(10, 30));
    for (CPolygonGraph* p : {&ten, &twelve}) {
        p->m_crFill = 0xFF000000u;
        p->RecalcBounds();
    }
    EXPECT_EQ(QRectF(ten.m_fX, ten.m_fY, ten.m_fWidth, ten.m_fHeight), QRectF(10, 5, 40, 45));
    EXPECT_EQ(DrawShape(ten), DrawShape(twelve));
    EXPECT_TRUE(IsDarkAt(DrawShape(ten), 30, 30, kShapeDpi));
}

TEST(PolygonGraph, TurnedGradientCoversThePolygonItself)
{
    CPolygonGraph polygon;
    polygon.m_points = {{10, 10}, {40, 10}, {40, 40}, {10, 40}};
    polygon.RecalcBounds();
    polygon.m_nGradient = 2; // left to right
    polygon.m_crGradient1 = 0xFFFF0000u;
    polygon.m_crGradient2 = 0xFF0000FFu;
    polygon.m_fAngle = 180;
    polygon.m_nAnchor = AnchorTopLeft; // turns onto (-20..10, -20..10), then moved in
    polygon.m_fOriginX = 30;
    polygon.m_fOriginY = 30;
    const QImage image = DrawShape(polygon);
    // Turned half round, the first colour is on the right.
    EXPECT_GT(qRed(ShapePixelAt(image, 39.5, 35)), 230);
    EXPECT_GT(qBlue(ShapePixelAt(image, 10.5, 35)), 230);
    EXPECT_NEAR(qRed(ShapePixelAt(image, 25, 25)), 128, 20);
    EXPECT_EQ(polygon.m_points.front(), QPointF(10, 10)); // stored points untouched
}

TEST(ShapeGraph, ClonesShareNothing)
{
    CPolygonGraph polygon;
    polygon.m_points = {{1, 2}, {3, 4}};
    polygon.m_nHatchStyle = 12;
    polygon.m_crGradient2 = 0x12345678u;
    polygon.m_strName = "P";
    auto copy = polygon.Clone();
    auto* typed = dynamic_cast<CPolygonGraph*>(copy.get());
    ASSERT_NE(typed, nullptr);
    typed->m_points[0] = QPointF(9, 9);
    typed->m_strName = "Q";
    EXPECT_EQ(polygon.m_points[0], QPointF(1, 2));
    EXPECT_EQ(polygon.m_strName, "P");
    EXPECT_EQ(typed->m_nHatchStyle, 12);
    EXPECT_EQ(typed->m_crGradient2, 0x12345678u);

    CRectangleGraph rect;
    rect.m_fCornerRadius = 2.5f;
    rect.m_nDashStyle = 3;
    const auto rectCopy = rect.Clone();
    EXPECT_EQ(dynamic_cast<CRectangleGraph&>(*rectCopy).m_fCornerRadius, 2.5f);
    EXPECT_EQ(dynamic_cast<CRectangleGraph&>(*rectCopy).m_nDashStyle, 3);

    CLineGraph line;
    line.m_fX2 = 5;
    line.m_nReserved = {1, 2, 3, 4};
    line.m_bHorzVertOnly = true;
    const auto lineCopy = line.Clone();
    const auto& l = dynamic_cast<CLineGraph&>(*lineCopy);
    EXPECT_EQ(l.m_fX2, 5.0f);
    EXPECT_EQ(l.m_nReserved[3], 4);
    EXPECT_TRUE(l.m_bHorzVertOnly);
    EXPECT_EQ(dynamic_cast<CEllipseGraph*>(CEllipseGraph().Clone().get()) != nullptr, true);
}
