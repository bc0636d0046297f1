#include "ProxyTestSupport.h"

#include "editor/BarcodeProxy.h"
#include "editor/BarcodeProxyImpl.h"
#include "editor/EditStatus.h"
#include "editor/ObjectKinds.h"
#include "editor/ShapeProxies.h"
#include "editor/TextProxy.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "platform/VXException.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<CBaseProxy> BoxProxy(float x, float y, float w, float h, float angle = 0.0f, int anchor = 0)
{
    auto object = MakeBox<CRectangleGraph>(x, y, w, h);
    object->m_fAngle = angle;
    object->m_nAnchor = anchor;
    object->m_crFill = 0xFFFFFFFFu; // filled: caught anywhere inside
    return CreateProxy(std::move(object));
}

TEST(ProxyFactory, MakesTheProxyOfEachKind)
{
    EXPECT_NE(dynamic_cast<CBarcodeProxy*>(CreateProxy(MakeBarcode(SymbologyCode39, "AB")).get()), nullptr);
    EXPECT_NE(dynamic_cast<CTextProxy*>(CreateProxy(std::make_unique<CTextGraph>()).get()), nullptr);
    EXPECT_NE(dynamic_cast<CLineProxy*>(CreateProxy(std::make_unique<CLineGraph>()).get()), nullptr);
    EXPECT_NE(dynamic_cast<CRectangleProxy*>(CreateProxy(std::make_unique<CRectangleGraph>()).get()), nullptr);
    EXPECT_NE(dynamic_cast<CEllipseProxy*>(CreateProxy(std::make_unique<CEllipseGraph>()).get()), nullptr);
    EXPECT_NE(dynamic_cast<CPolygonProxy*>(CreateProxy(std::make_unique<CPolygonGraph>()).get()), nullptr);
    EXPECT_NE(dynamic_cast<CImageProxy*>(CreateProxy(std::make_unique<CImageGraph>()).get()), nullptr);
    EXPECT_EQ(CreateProxy(std::make_unique<CBaseGraph>()), nullptr);
}

// Lookups by kind index the table, and each creation tool finds its own kind.
TEST(ProxyFactory, EachKindHasOneCompleteEntry)
{
    const std::vector<ObjectKindInfo>& kinds = ObjectKinds();
    ASSERT_EQ(kinds.size(), size_t(KindImage + 1));
    for (const ObjectKindInfo& info : kinds) {
        EXPECT_EQ(FindObjectKind(info.kind), &info);
        EXPECT_EQ(FindCreationTool(info.tool), &info);
        EXPECT_TRUE(info.makeProxy && info.makeDialog && info.makePosMemo && info.makeSizeMemo && info.makeFormatMemo)
            << info.kind;
    }
    EXPECT_EQ(FindObjectKind(KindNone), nullptr);
    EXPECT_EQ(FindObjectKind(KindImage + 1), nullptr);
    EXPECT_EQ(FindCreationTool(ToolSelect), nullptr);
    EXPECT_EQ(FindCreationTool(ToolRotate), nullptr);
}

TEST(ProxyGeometry, PixelsAndHandlesAt96Dpi)
{
    ScopedDpi dpi(96);
    auto proxy = BoxProxy(10, 20, 30, 15);
    EXPECT_EQ(proxy->GetLeftPixels(), 37);
    EXPECT_EQ(proxy->GetTopPixels(), 75);
    EXPECT_EQ(proxy->GetWidthPixels(), 113);
    EXPECT_EQ(proxy->GetHeightPixels(), 56);
    EXPECT_EQ(proxy->GetHandleRect(4).topLeft(), QPoint(0, 0)); // before any drawing
    PlaceHandles(*proxy);
    const struct { int handle; QPoint topLeft; } rows[] = {
        {0, {34, 72}}, {1, {91, 72}}, {2, {148, 72}}, {3, {148, 100}},
        {4, {148, 129}}, {5, {91, 129}}, {6, {34, 129}}, {7, {34, 100}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(proxy->GetHandleRect(row.handle).topLeft(), row.topLeft) << row.handle;
        EXPECT_EQ(proxy->GetHandleRect(row.handle).size(), QSize(7, 7));
    }
    // The right and bottom edge pixels of a handle lie outside it.
    int handle = 0;
    bool rotating = false;
    proxy->HitTestHandle(QPoint(34 + 6, 72 + 6), false, handle, rotating);
    EXPECT_EQ(handle, 0);
    proxy->HitTestHandle(QPoint(34 + 7, 72), false, handle, rotating);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(proxy->HitTest(QPoint(34 + 7, 72), false), ProxyCursorNone);
}

TEST(ProxyGeometry, TurnedHandlesSitOnTheTurnedBox)
{
    ScopedDpi dpi(96);
    auto proxy = BoxProxy(10, 10, 40, 20, 90.0f, 8); // centre (30, 20)
    PlaceHandles(*proxy);
    // Handle 3 (50, 20) turned by 90 degrees about the centre lands on (30, 40).
    EXPECT_EQ(proxy->GetHandleRect(3).topLeft(), QPoint(static_cast<int>(30 * 96 / 25.4 - 3.0),
                                                        static_cast<int>(40 * 96 / 25.4 - 3.0)));
    // Bounds come from the turned corners.
    EXPECT_FLOAT_EQ(proxy->GetLeft(), 20.0f);
    EXPECT_FLOAT_EQ(proxy->GetTop(), 0.0f);
    EXPECT_FLOAT_EQ(proxy->GetWidth(), 20.0f);
    EXPECT_FLOAT_EQ(proxy->GetHeight(), 40.0f);
}

TEST(ProxyCursor, CodeByHandleAndAngle)
{
    const struct { int handle; float angle; int code; } rows[] = {
        {0, 0, 5}, {2, 0, 4}, {1, 0, 2}, {3, 0, 3},
        {0, 45, 2}, {1, 45, 4}, {1, 90, 3}, {3, 90, 2},
        {0, -225, 3}, {4, -315, 2}, {1, 270, 3}, {2, 45, 3},
        {0, 100, 4}, {6, 100, 5}, {5, 120, 5}, {7, 30, 5},
        {0, 135, 3}, {2, 135, 2}, {0, 360, -1}, {0, -360, -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(HandleCursor(row.handle, row.angle), row.code) << row.handle << " at " << row.angle;
}

TEST(ProxyCursor, RotateToolCornersAndLockedObjects)
{
    ScopedDpi dpi(96);
    auto proxy = BoxProxy(10, 20, 30, 15);
    PlaceHandles(*proxy, true, true);
    int handle = -1;
    bool rotating = false;
    proxy->HitTestHandle(HandleCentre(*proxy, 2), true, handle, rotating);
    EXPECT_EQ(handle, 2);
    EXPECT_TRUE(rotating);
    EXPECT_EQ(proxy->HitTest(HandleCentre(*proxy, 2), true), ProxyCursorRotate);
    EXPECT_EQ(proxy->HitTest(HandleCentre(*proxy, 3), true), ProxyCursorSizeWE);

    proxy->GetObject()->m_bLocked = true;
    for (int i = 0; i < kHandleCount; ++i) {
        EXPECT_EQ(proxy->HitTest(HandleCentre(*proxy, i), false), ProxyCursorNone);
        proxy->HitTestHandle(HandleCentre(*proxy, i), false, handle, rotating);
        EXPECT_EQ(handle, -1);
    }
}

TEST(ProxyMove, OnePixelAtZoomOneAndTwo)
{
    ScopedDpi dpi(96);
    auto proxy = BoxProxy(10, 20, 30, 15);
    proxy->SaveGeometry();
    proxy->MoveBy(QPoint(0, 0), QPoint(1, 1), true);
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fX, 10.26f); // 10.2646 cut to hundredths
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fY, 20.26f);
    proxy->m_fZoom = 2.0f;
    proxy->MoveBy(QPoint(0, 0), QPoint(1, 0), true);
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fX, 10.13f);
}

TEST(ProxyMove, SnapsToTheGrid)
{
    ScopedDpi dpi(254); // one pixel is 0.1 mm
    CLabelData label;
    label.m_bSnapToGrid = true;
    label.m_fGridSize = 1.0f;
    auto proxy = BoxProxy(10, 20, 30, 15);
    proxy->m_pLabel = &label;
    proxy->SaveGeometry();
    proxy->MoveBy(QPoint(0, 0), QPoint(14, 26), true);
    const auto [x, y] = label.SnapPointToGrid(11.39f, 22.59f);
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fX, x);
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fY, y);
}

TEST(ProxySize, HandleRuleFlipsAndZeroWidth)
{
    ScopedDpi dpi(254);
    const struct { int handle; QPoint drag; float x, y, w, h; } rows[] = {
        {3, {101, 0}, 10, 20, 40.09f, 15},     // right edge 10.1 mm out
        {7, {-51, 0}, 4.9f, 20, 35.09f, 15},   // left edge out
        {5, {0, 51}, 10, 20, 30, 20.09f},
        {1, {0, 31}, 10, 23.09f, 30, 11.9f},
        {4, {51, 51}, 10, 20, 35.09f, 20.09f},
        {3, {-401, 0}, -0.09f, 20, 10.09f, 15}, // past the left edge: X = base X - new width
        {3, {-300, 0}, 10, 20, 0.0f, 15},      // exactly onto the left edge
    };
    for (const auto& row : rows) {
        auto proxy = BoxProxy(10, 20, 30, 15);
        proxy->SaveGeometry();
        proxy->SizeBy(QPoint(0, 0), row.drag, true, row.handle);
        const CBaseGraph& o = *proxy->GetObject();
        EXPECT_NEAR(o.m_fX, row.x, 0.011) << row.handle;
        EXPECT_NEAR(o.m_fY, row.y, 0.011) << row.handle;
        EXPECT_NEAR(o.m_fWidth, row.w, 0.011) << row.handle;
        EXPECT_NEAR(o.m_fHeight, row.h, 0.011) << row.handle;
    }
}

TEST(ProxySize, ChangedFlagsPerHandle)
{
    ScopedDpi dpi(96);
    const char* expected[] = {"WHXY", "HY", "WHY", "WX", "WH", "H", "WHX", "WX"};
    for (int handle = 0; handle < kHandleCount; ++handle) {
        auto proxy = BoxProxy(10, 20, 30, 15);
        proxy->SaveGeometry();
        proxy->SizeBy(QPoint(0, 0), QPoint(5, 5), true, handle);
        std::string flags;
        if (proxy->m_bWidthChanged) flags += 'W';
        if (proxy->m_bHeightChanged) flags += 'H';
        if (proxy->m_bXChanged) flags += 'X';
        if (proxy->m_bYChanged) flags += 'Y';
        EXPECT_EQ(flags, expected[handle]) << handle;
    }
}

// The edge opposite the dragged one stays where it was on the screen.
TEST(ProxySize, TurnedObjectKeepsTheOppositeEdgeInPlace)
{
    ScopedDpi dpi(254);
    for (int anchor : {0, 4, 8}) {
        auto proxy = BoxProxy(10, 10, 40, 20, 90.0f, anchor);
        const auto turned = [&](int handle) {
            const CBaseGraph& o = *proxy->GetObject();
            return RotatePoint(o.m_fAngle, BoxHandlePoint(handle, o.m_fX, o.m_fY, o.m_fWidth, o.m_fHeight),
                               o.GetAnchorPoint());
        };
        const QPointF fixedBefore = turned(7);
        proxy->SaveGeometry();
        // At 90 degrees the object's right edge points down the screen.
        proxy->SizeBy(QPoint(500, 500), QPoint(500, 600), true, 3);
        EXPECT_NEAR(proxy->GetObject()->m_fWidth, 50.0f, 0.11) << anchor;
        EXPECT_NEAR(proxy->GetObject()->m_fHeight, 20.0f, 0.11) << anchor;
        const QPointF fixedAfter = turned(7);
        EXPECT_NEAR(fixedAfter.x(), fixedBefore.x(), 0.2) << anchor;
        EXPECT_NEAR(fixedAfter.y(), fixedBefore.y(), 0.2) << anchor;
    }
}

TEST(ProxyRotate, TurnsAboutTheAnchorIntoZeroTo360)
{
    ScopedDpi dpi(96);
    const struct { float start; QPoint to; float angle; } rows[] = {
        {350, {0, 100}, 80}, {10, {0, -100}, 280}, {0, {-100, 0}, 180},
    };
    for (const auto& row : rows) {
        auto proxy = BoxProxy(10, 20, 30, 15, row.start, 8);
        const QPointF a = proxy->GetAnchorPointPixels();
        const int ox = static_cast<int>(static_cast<float>(250 * 96 / 25.4));
        const QPoint q(static_cast<int>(a.x() + ox), static_cast<int>(a.y() + ox));
        proxy->SaveGeometry();
        proxy->RotateBy(q + QPoint(100, 0), q + row.to, true);
        EXPECT_FLOAT_EQ(proxy->GetObject()->m_fAngle, row.angle);
    }
}

TEST(ProxyRotate, AboutAnOutsideCentreTheAnchorTravelsOnACircle)
{
    ScopedDpi dpi(254);
    auto proxy = BoxProxy(10, 10, 20, 10, 0.0f, 0);
    const QPoint origin(static_cast<int>(static_cast<float>(250 * 254 / 25.4)),
                        static_cast<int>(static_cast<float>(250 * 254 / 25.4)));
    const QPoint centre = origin + QPoint(0, 100); // 10 mm below the anchor's column start
    proxy->SaveGeometry();
    proxy->RotateAbout(centre, centre + QPoint(100, 0), centre + QPoint(0, 100), true);
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fAngle, 90.0f);
    // Anchor (10, 10) mm turned by 90 degrees about (0, 10) mm: (0, 20).
    EXPECT_NEAR(proxy->GetObject()->m_fX, 0.0, 0.15);
    EXPECT_NEAR(proxy->GetObject()->m_fY, 20.0, 0.15);
}

TEST(ProxyHit, BodyAndRubberBand)
{
    ScopedDpi dpi(96);
    auto proxy = BoxProxy(10, 20, 30, 15); // pixels 37, 75, 113 x 56
    EXPECT_TRUE(proxy->HitTestBody(QPoint(37, 75)));
    EXPECT_FALSE(proxy->HitTestBody(QPoint(150, 75)));
    EXPECT_TRUE(proxy->IntersectsRect(QRect(37, 75, 114, 57)));
    EXPECT_FALSE(proxy->IntersectsRect(QRect(37, 75, 113, 57))); // right edge excluded
    EXPECT_FALSE(proxy->IntersectsRect(QRect(60, 60, 200, 200))); // cuts, does not enclose
    auto turned = BoxProxy(10, 20, 30, 15, 90.0f, 8);
    const QPointF a = turned->GetAnchorPointPixels();
    EXPECT_TRUE(turned->HitTestBody(QPoint(static_cast<int>(a.x()), static_cast<int>(a.y()) + 50)));
    EXPECT_FALSE(turned->HitTestBody(QPoint(static_cast<int>(a.x()) + 50, static_cast<int>(a.y()))));
}

TEST(ProxyStatus, PositionText)
{
    auto proxy = BoxProxy(10.5f, 20, 30.25f, 15);
    proxy->GetObject()->m_strName = "矩形 1";
    QString name, position, size = "kept";
    proxy->GetStatusPanes(name, position, size);
    EXPECT_EQ(name, "矩形 1");
    EXPECT_EQ(position, "X：10.5 毫米  Y：20.0 毫米  宽度：30.25 毫米  高度：15.0 毫米  角：0.0°");
    EXPECT_EQ(size, "尺寸：0.3 毫米");
}

// ----- Line -----

TEST(LineProxy, CursorFollowsTheDirection)
{
    ScopedDpi dpi(96);
    const struct { float x1, y1, x2, y2; int code; } rows[] = {
        {10, 10, 30, 10, 3}, {10, 10, 10, 30, 2}, {10, 10, 30, 30, 5},
        {10, 30, 30, 10, 4}, {30, 10, 10, 30, 4}, {30, 30, 10, 10, 5},
    };
    for (const auto& row : rows) {
        auto proxy = CreateProxy(MakeLine(row.x1, row.y1, row.x2, row.y2));
        PlaceHandles(*proxy);
        EXPECT_EQ(proxy->HitTest(HandleCentre(*proxy, 0), true), row.code);
        EXPECT_EQ(proxy->HitTest(HandleCentre(*proxy, 1), false), row.code);
        EXPECT_EQ(proxy->HitTest(QPoint(0, 0), false), ProxyCursorNone);
        int handle = -1;
        bool rotating = true;
        proxy->HitTestHandle(HandleCentre(*proxy, 1), true, handle, rotating);
        EXPECT_EQ(handle, 1);
        EXPECT_FALSE(rotating);
    }
}

TEST(LineProxy, EndsMoveInWholeMillimetresAndStraighten)
{
    ScopedDpi dpi(254);
    const struct { bool straight; int handle; QPoint drag; float x1, y1, x2, y2; } rows[] = {
        {false, 1, {29, 0}, 10, 10, 17, 15},     // 2.9 mm moves 2 mm
        {false, 0, {-51, 31}, 5, 13, 15, 15},
        {true, 1, {51, -21}, 10, 10, 20, 10},    // 10 right, 3 down of end 1: horizontal
        {true, 1, {-21, 51}, 10, 10, 10, 20},    // 3 right, 10 down: vertical
    };
    for (const auto& row : rows) {
        auto line = MakeLine(10, 10, 15, 15);
        line->m_bHorzVertOnly = row.straight;
        auto proxy = CreateProxy(std::move(line));
        proxy->SaveGeometry();
        proxy->SizeBy(QPoint(0, 0), row.drag, true, row.handle);
        const auto& l = static_cast<CLineGraph&>(*proxy->GetObject());
        EXPECT_FLOAT_EQ(l.m_fX1, row.x1);
        EXPECT_FLOAT_EQ(l.m_fY1, row.y1);
        EXPECT_FLOAT_EQ(l.m_fX2, row.x2);
        EXPECT_FLOAT_EQ(l.m_fY2, row.y2);
    }
}

TEST(LineProxy, PositionSizeAndRubberBand)
{
    ScopedDpi dpi(96);
    auto line = MakeLine(1.3f, 2.7f, 5.55f, 9.1f);
    auto proxy = std::make_unique<CLineProxy>(std::move(line));
    const float w = proxy->GetWidth(), h = proxy->GetHeight();
    proxy->SetPosition(3.3f, 4.4f);
    EXPECT_FLOAT_EQ(proxy->GetLeft(), 3.3f);
    EXPECT_FLOAT_EQ(proxy->GetTop(), 4.4f);
    EXPECT_FLOAT_EQ(proxy->GetWidth(), w);
    EXPECT_FLOAT_EQ(proxy->GetHeight(), h);

    auto reversed = std::make_unique<CLineProxy>(MakeLine(20, 0, 10, 0));
    reversed->SetWidth(5);
    EXPECT_FLOAT_EQ(reversed->Line().m_fX1, 15.0f);
    EXPECT_FLOAT_EQ(reversed->Line().m_fX2, 10.0f);

    reversed->GetObject()->m_fLineWidth = 50.0f; // wide, still only the ends count
    EXPECT_TRUE(reversed->IntersectsRect(QRect(30, -1, 50, 3)));
    EXPECT_TRUE(reversed->HitTestBody(QPoint(45, 0)));
    EXPECT_FALSE(reversed->HitTestBody(QPoint(45, 200)));
}

// ----- Polygon -----

TEST(PolygonProxy, ScalesInsideItsBox)
{
    ScopedDpi dpi(254);
    auto proxy = std::make_unique<CPolygonProxy>(MakePolygon({{10, 10}, {20, 10}, {15, 30}}));
    proxy->SaveGeometry();
    proxy->SizeBy(QPoint(0, 0), QPoint(100, 0), true, 3);
    const auto& p = proxy->Polygon().m_points;
    EXPECT_FLOAT_EQ(p[0].x(), 10.0f);
    EXPECT_NEAR(p[1].x(), 30.0, 1e-4);
    EXPECT_NEAR(p[2].x(), 20.0, 1e-4);
    EXPECT_NEAR(proxy->GetWidth(), 20.0, 1e-4);
    proxy->MoveBy(QPoint(0, 0), QPoint(10, 10), false);
    EXPECT_NEAR(p[0].x(), 11.0, 1e-4);
    EXPECT_NEAR(proxy->GetTop(), 11.0, 1e-4);
    EXPECT_TRUE(proxy->HitTestBody(QPoint(150, 150)));
    EXPECT_FALSE(proxy->HitTestBody(QPoint(105, 300)));

    auto typed = std::make_unique<CPolygonProxy>(MakePolygon({{10, 10}, {20, 10}, {15, 30}}));
    typed->SetSize(20, 10);
    const auto& q = typed->Polygon().m_points;
    EXPECT_EQ(q, (std::vector<QPointF>{{10, 10}, {30, 10}, {20, 20}}));
    EXPECT_FLOAT_EQ(typed->GetWidth(), 20.0f);

    // No extent on one axis: that axis stays, nothing becomes NaN.
    auto flat = std::make_unique<CPolygonProxy>(MakePolygon({{5, 0}, {5, 10}}));
    flat->SaveGeometry();
    flat->SizeBy(QPoint(0, 0), QPoint(100, 100), true, 4);
    flat->SetWidth(8);
    EXPECT_FLOAT_EQ(flat->Polygon().m_points[0].x(), 5.0f);
    EXPECT_NEAR(flat->Polygon().m_points[1].y(), 20.0, 1e-4);
}

// ----- Rectangle, ellipse, image, text -----

TEST(ShapeProxies, HollowShapesAreCaughtNearTheirOutline)
{
    ScopedDpi dpi(96);
    // Box pixels: left 37, top 37, width 151, height 75.
    const struct { bool ellipse; bool filled; QPoint point; bool hit; } rows[] = {
        {false, false, {112, 74}, false}, {false, false, {33, 74}, true}, {false, false, {41, 74}, true},
        {false, true, {112, 74}, true}, {false, true, {33, 74}, false},
        {true, true, {33, 74}, true}, {true, true, {31, 74}, false}, {true, false, {112, 74}, false},
        {true, false, {40, 74}, true}, {true, true, {112, 74}, true},
    };
    for (const auto& row : rows) {
        std::unique_ptr<CFilledShapeGraph> object;
        if (row.ellipse)
            object = MakeBox<CEllipseGraph>(10, 10, 40, 20);
        else
            object = MakeBox<CRectangleGraph>(10, 10, 40, 20);
        if (row.filled)
            object->m_crFill = 0xFFFFFFFFu;
        auto proxy = CreateProxy(std::move(object));
        EXPECT_EQ(proxy->HitTestBody(row.point), row.hit) << row.ellipse << row.filled << row.point.x();
    }
}

TEST(ShapeProxies, ImageHandlesAndProportions)
{
    ScopedDpi dpi(254);
    auto image = MakeBox<CImageGraph>(10, 10, 20, 10);
    image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(QImage(200, 100, QImage::Format_RGB32)));
    image->m_nSizeMode = ImageSizeOriginal;
    auto proxy = std::make_unique<CImageProxy>(std::move(image));
    PlaceHandles(*proxy);
    EXPECT_EQ(proxy->HitTest(HandleCentre(*proxy, 4), false), ProxyCursorNone);
    int handle = 0;
    bool rotating = false;
    proxy->HitTestHandle(HandleCentre(*proxy, 4), false, handle, rotating);
    EXPECT_EQ(handle, -1);
    EXPECT_TRUE(proxy->HitTestBody(QPoint(150, 150)));

    proxy->Image().m_nSizeMode = ImageSizeProportional;
    EXPECT_EQ(proxy->HitTest(HandleCentre(*proxy, 4), false), ProxyCursorNone + 5);
    proxy->SaveGeometry();
    proxy->SizeBy(QPoint(0, 0), QPoint(101, 0), true, 3); // wider: height follows
    EXPECT_NEAR(proxy->GetObject()->m_fHeight, proxy->GetObject()->m_fWidth * 0.5, 1e-4);
    proxy->SaveGeometry();
    proxy->SizeBy(QPoint(0, 0), QPoint(0, 101), true, 5); // taller: width follows
    EXPECT_NEAR(proxy->GetObject()->m_fWidth, proxy->GetObject()->m_fHeight * 2.0, 1e-4);

    // A picture without pixels keeps the box as it is.
    proxy->Image().m_pImage = std::make_unique<ImageHolder>();
    const float w = proxy->GetObject()->m_fWidth;
    proxy->KeepImageAspect(false);
    proxy->SetImageNaturalSize();
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fWidth, w);
}

std::unique_ptr<CTextProxy> TextProxy(FakeCanvas& canvas, int layout = SingleLine)
{
    auto text = MakeBox<CTextGraph>(10, 10, 30, 8);
    text->m_strText = "Label 12";
    text->m_nLayoutMode = layout;
    auto proxy = std::make_unique<CTextProxy>(std::move(text));
    proxy->m_pCanvas = &canvas;
    return proxy;
}

TEST(TextProxy, BoxFontAndStretchStayInStep)
{
    ScopedDpi dpi(254);
    FakeCanvas canvas;
    auto proxy = TextProxy(canvas);
    proxy->SetSize(25, 6);
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fWidth, 25.0f);
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fHeight, 6.0f);
    EXPECT_EQ(canvas.fontSizeChanges, 1);

    proxy->UpdateTextScale();
    const float font = proxy->Text().m_fFontSize, scale = proxy->Text().m_fHorzScale;
    proxy->SaveGeometry();
    proxy->SizeBy(QPoint(0, 0), QPoint(50, 0), true, 3); // right edge: stretch only
    EXPECT_FLOAT_EQ(proxy->Text().m_fFontSize, font);
    EXPECT_GT(proxy->Text().m_fHorzScale, scale);
    EXPECT_EQ(canvas.fontSizeChanges, 1);
    proxy->SaveGeometry();
    proxy->SizeBy(QPoint(0, 0), QPoint(0, 40), true, 5); // bottom edge: font grows
    EXPECT_GT(proxy->Text().m_fFontSize, font);
    EXPECT_EQ(canvas.fontSizeChanges, 2);
    proxy->SaveGeometry();
    proxy->SizeBy(QPoint(0, 0), QPoint(0, -200), true, 5); // flattened: the smallest font
    EXPECT_GE(proxy->Text().m_fFontSize, 0.1f);

    proxy->FitTextBoxToText();
    EXPECT_GT(proxy->GetObject()->m_fHeight, 0.0f);
}

TEST(TextProxy, CurvedTextSquareAndUnturned)
{
    ScopedDpi dpi(254);
    FakeCanvas canvas;
    auto proxy = TextProxy(canvas, CurvedText);
    proxy->GetObject()->m_fAngle = 30.0f;
    EXPECT_FLOAT_EQ(proxy->GetAngle(), 0.0f);
    proxy->SaveGeometry();
    proxy->SizeBy(QPoint(0, 0), QPoint(51, 0), true, 3);
    EXPECT_FLOAT_EQ(proxy->GetObject()->m_fHeight, proxy->GetObject()->m_fWidth);
    EXPECT_EQ(canvas.fontSizeChanges, 0);
}

// Counts pixels of one colour drawn by a proxy's overlay and selection outline.
int RedOutlinePixels(CBaseProxy& proxy, bool selection)
{
    QImage image(300, 300, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (selection)
        proxy.DrawSelectionOutline(painter, true);
    proxy.DrawOverlay(painter);
    painter.end();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == qRgb(0xDC, 0, 0);
    return count;
}

TEST(TextProxy, DataBoundTextShowsTheRedOutline)
{
    ScopedDpi dpi(96);
    FakeCanvas canvas;
    auto proxy = TextProxy(canvas);
    EXPECT_EQ(RedOutlinePixels(*proxy, true), 0);
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandSerial;
    proxy->Text().m_bands.push_back(std::move(band));
    EXPECT_GT(RedOutlinePixels(*proxy, false), 50);
}

// ----- Barcode -----

TEST(BarcodeProxy, RulesFactoryBySymbology)
{
    EXPECT_NE(dynamic_cast<CBarcodeProxyImpl_EAN14*>(CreateBarcodeProxyImpl(50).get()), nullptr);
    EXPECT_NE(dynamic_cast<CBarcodeProxyImpl_EAN14*>(CreateBarcodeProxyImpl(53).get()), nullptr);
    EXPECT_NE(dynamic_cast<CBarcodeProxyImpl_ITF14*>(CreateBarcodeProxyImpl(51).get()), nullptr);
    EXPECT_NE(dynamic_cast<CBarcodeProxyImpl_Interleaved25*>(CreateBarcodeProxyImpl(52).get()), nullptr);
    EXPECT_NE(dynamic_cast<CBarcodeProxyImpl_EJU*>(CreateBarcodeProxyImpl(45).get()), nullptr);
    EXPECT_NE(dynamic_cast<CBarcodeProxyImpl2D*>(CreateBarcodeProxyImpl(84).get()), nullptr);
    for (int code : {32, 6, 81, 100, -1}) {
        try {
            CreateBarcodeProxyImpl(code);
            ADD_FAILURE() << code;
        } catch (const CBarcodeException& e) {
            EXPECT_EQ(e.GetMessage(), "Not implemented barcode type");
        }
    }
    // A failed change of symbology keeps the old rules.
    CBarcodeProxy proxy(MakeBarcode(SymbologyCode39, "AB"));
    proxy.SetSymbology(0);
    CBarcodeProxyImpl* rules = proxy.GetImpl();
    EXPECT_THROW(proxy.SetSymbology(32), CBarcodeException);
    EXPECT_EQ(proxy.GetImpl(), rules);
}

TEST(BarcodeProxy, LinearWidthScalesTheModule)
{
    const struct { float module; float factor; float expected; } rows[] = {
        {10, 2.0f, 20}, {7, 1.5f, 10.5f}, {10, 1.234567f, 12.345f},
    };
    for (const auto& row : rows) {
        auto proxy = CreateProxy(MakeBarcode(SymbologyCode39, "AB12"));
        auto& barcode = static_cast<CBarcodeGraph&>(*proxy->GetObject());
        CBarcodeSettings& s = *barcode.GetImpl()->GetSettings();
        s.m_fModuleWidth = row.module;
        barcode.m_fWidth = 40.0f;
        proxy->SetWidth(40.0f * row.factor);
        EXPECT_FLOAT_EQ(s.m_fModuleWidth, row.expected);
        EXPECT_FLOAT_EQ(barcode.m_fWidth, s.m_fWidth);
    }
}

TEST(BarcodeProxy, HeightSetsTheBarsLessTheText)
{
    auto proxy = CreateProxy(MakeBarcode(SymbologyCode39, "AB12"));
    auto& barcode = static_cast<CBarcodeGraph&>(*proxy->GetObject());
    CBarcodeSettings& s = *barcode.GetImpl()->GetSettings();
    s.m_bShowText = true;
    s.m_fFontSize = 9.0f;
    s.m_fTextGap = 0.5f;
    const float module = s.m_fModuleWidth;
    proxy->SetHeight(20.0f);
    const float text = static_cast<float>(9.0 * 25.4 / 72.0) + 0.5f;
    EXPECT_FLOAT_EQ(s.m_fBarHeight, std::trunc((20.0f - text) * 100.0f) / 100.0f);
    EXPECT_FLOAT_EQ(s.m_fModuleWidth, module);
    EXPECT_FLOAT_EQ(barcode.m_fHeight, s.m_fHeight);
}

TEST(BarcodeProxy, TwoDimensionalSymbolsScaleOneModuleSize)
{
    const struct { float rx, ry, factor; } rows[] = {{1.5f, 0.8f, 0.8f}, {1.5f, 1.2f, 1.5f}, {0.5f, 0.8f, 0.5f}};
    for (const auto& row : rows) {
        auto proxy = CreateProxy(MakeBarcode(SymbologyQRCode, "HELLO"));
        auto& barcode = static_cast<CBarcodeGraph&>(*proxy->GetObject());
        auto& s = static_cast<CBarcodeSettings_QRCode&>(*barcode.GetImpl()->GetSettings());
        s.m_fModuleWidthX = 15.0f;
        barcode.m_fWidth = barcode.m_fHeight = 20.0f;
        proxy->SetSize(20.0f * row.rx, 20.0f * row.ry);
        EXPECT_FLOAT_EQ(s.m_fModuleWidthX, std::trunc(15.0f * row.factor * 1000.0f) / 1000.0f) << row.rx;
    }
}

// Every family resizes through its own rule: linear symbols by module width, 2-D
// symbols by module size.
TEST(BarcodeProxy, ResizeRuleOfEveryFamily)
{
    const int codes[] = {0, 1, 2, 3, 4, 5, 20, 21, 22, 30, 31, 40, 41, 42, 43, 44, 45,
                         50, 51, 52, 53, 54, 62, 63, 70, 71, 72, 80, 82, 84};
    int tried = 0;
    for (int code : codes) {
        std::unique_ptr<CBarcodeGraph> object;
        try {
            object = MakeBarcode(code, "1234567");
        } catch (const CBarcodeException&) {
            continue; // the engine has no encoder for it
        }
        ++tried;
        // The rules scale from the box, whatever the engine then reports.
        object->m_fWidth = 40.0f;
        object->m_fHeight = 20.0f;
        auto proxy = CreateProxy(std::move(object));
        CBarcodeSettings& s = *static_cast<CBarcodeGraph&>(*proxy->GetObject()).GetImpl()->GetSettings();
        auto* pdf = dynamic_cast<CBarcodeSettings_PDF417*>(&s);
        auto* qr = dynamic_cast<CBarcodeSettings_QRCode*>(&s);
        auto* dm = dynamic_cast<CBarcodeSettings_DataMatrix*>(&s);
        float* size = pdf ? &pdf->m_fModuleWidthX : qr ? &qr->m_fModuleWidthX : dm ? &dm->m_fModuleWidthX : nullptr;
        const float module = s.m_fModuleWidth, before = size ? *size : 0.0f;
        proxy->SetWidth(80.0f);
        if (size) {
            EXPECT_NEAR(*size, before * 2.0f, 0.002) << code;
            EXPECT_FLOAT_EQ(s.m_fModuleWidth, module) << code;
        } else {
            EXPECT_NEAR(s.m_fModuleWidth, module * 2.0f, 0.002) << code;
        }
    }
    EXPECT_GT(tried, 20);
}

TEST(BarcodeProxy, DataBoundBarcodeAndStatus)
{
    ScopedDpi dpi(96);
    auto proxy = CreateProxy(MakeBarcode(SymbologyCode39, "AB"));
    CBarcodeSettings& s = *static_cast<CBarcodeGraph&>(*proxy->GetObject()).GetImpl()->GetSettings();
    s.m_strName = "条形码 1";
    EXPECT_EQ(proxy->GetName(), "条形码 1");
    QString name, position, size;
    proxy->GetStatusPanes(name, position, size);
    EXPECT_EQ(name, "条形码 1");
    EXPECT_EQ(size, "符号类型：" + GetSymbologyDisplayName(SymbologyCode39));
    EXPECT_EQ(RedOutlinePixels(*proxy, true), 0);
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandDatabase;
    s.m_bandList.push_back(std::move(band));
    EXPECT_GT(RedOutlinePixels(*proxy, true), 20);

    auto copy = proxy->Clone();
    EXPECT_NE(copy->GetObject(), proxy->GetObject());
    EXPECT_EQ(copy->GetName(), "条形码 1");
    EXPECT_NE(static_cast<CBarcodeProxy&>(*copy).GetImpl(), nullptr);
}

} // namespace
