// A label as long as a label may be, and objects far out on either side: the scroll bars
// and the rulers reach them at every zoom, and the canvas shows, selects and drags them,
// all through the real window's keys and mouse.
#include "RealWindowSupport.h"
#include "SessionTestSupport.h"

#include "editor/Ruler.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"

#include <QApplication>
#include <QScrollBar>
#include <algorithm>

namespace {

class LongLabelSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    }
    // A 9,995 mm square label with a rectangle near its far corner and one 4,000 mm left
    // of and above its corner.
    void OpenLongLabel()
    {
        CLabelData label;
        label.m_fLabelWidth = 9995;
        label.m_fLabelHeight = 9995;
        label.m_objects.push_back(Rectangle(9950, 9950));
        label.m_objects.push_back(Rectangle(-4000, -4000));
        CDocWriterV1_0 writer;
        writer.m_strPath = m_dir.filePath("long.vmk");
        writer.m_pLabelData = &label;
        writer.WriteDocument();
        ASSERT_NE(frame->OpenLabelFile(writer.m_strPath), nullptr);
        // 100 % to 50 % to 20 %, the smallest.
        ASSERT_TRUE(Trigger(CmdZoomActual));
        ASSERT_TRUE(Trigger(CmdZoomOut));
        ASSERT_TRUE(Trigger(CmdZoomOut));
        ASSERT_FLOAT_EQ(Window().Zoom(), 0.2f);
    }
    static std::unique_ptr<CRectangleGraph> Rectangle(float x, float y)
    {
        auto shape = std::make_unique<CRectangleGraph>();
        shape->SetX(x);
        shape->SetY(y);
        shape->SetWidth(40);
        shape->SetHeight(20);
        return shape;
    }
    CBaseProxy& Object(size_t i) const { return *View().ObjectList().at(i); }
    // The label position at a client point of the canvas.
    QPointF Mm(QPoint client) const { return View().Mapping().ToMillimetres(client); }
    // A point of the object's top edge clear of its handles, where a click takes an outline.
    QPoint Edge(const CBaseProxy& proxy)
    {
        const CBaseGraph& o = *proxy.GetObject();
        return At(o.GetX() + o.GetWidth() / 4, o.GetY());
    }
    // Whether the canvas shows the outline in the object's box: pixels unlike its inside.
    bool Drawn(const CBaseProxy& proxy)
    {
        View().Render();
        const CBaseGraph& o = *proxy.GetObject();
        const QRect box = QRect(At(o.GetX(), o.GetY()), At(o.GetX() + o.GetWidth(), o.GetY() + o.GetHeight()))
                              .adjusted(-1, -1, 1, 1)
                              .intersected(View().rect());
        const QImage& image = View().BackBuffer();
        if (box.isEmpty())
            return false;
        const QRgb inside = image.pixel(box.center());
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                if (qGray(image.pixel(x, y)) < qGray(inside) - 24)
                    return true;
        return false;
    }
    // The largest number the ruler shows.
    static int LastNumber(CRuler& ruler, int length)
    {
        int last = INT_MIN;
        for (const RulerTick& tick : RulerTicks(ruler.Zoom(), ruler.ScrollPos(), length, 96))
            if (tick.numbered)
                last = std::max(last, tick.millimetres);
        return last;
    }
};

TEST_F(LongLabelSession, TheFarEndIsReachedShownSelectedAndDraggedAtTheSmallestZoom)
{
    OpenLongLabel();
    CBaseProxy& far = Object(0);
    QScrollBar& across = Window().HorzBar();
    QScrollBar& down = Window().VertBar();
    QTest::keyClick(&across, Qt::Key_End);
    QTest::keyClick(&down, Qt::Key_End);
    Settle();
    // The view ends past the label's far corner, the rulers and the canvas with the bars.
    const QPoint corner(View().width() - 1, View().height() - 1);
    EXPECT_GT(Mm(corner).x(), 9995);
    EXPECT_GT(Mm(corner).y(), 9995);
    EXPECT_EQ(Window().HorzRuler().ScrollPos(), across.value());
    EXPECT_EQ(Window().VertRuler().ScrollPos(), down.value());
    EXPECT_EQ(View().ScrollX(), across.value());
    EXPECT_GE(LastNumber(Window().HorzRuler(), Window().HorzRuler().width()), 9950);
    EXPECT_GE(LastNumber(Window().VertRuler(), Window().VertRuler().height()), 9950);
    EXPECT_TRUE(Drawn(far));

    Click(Edge(far));
    ASSERT_EQ(View().CurrentObject(), &far);
    // 40 pixels left, then up, at 20 %: 52.9 mm each way.
    const double moved = 40 * 25.4 / 96 / 0.2;
    Drag(Edge(far), Edge(far) - QPoint(40, 0), 4);
    EXPECT_NEAR(far.GetObject()->GetX(), 9950 - moved, 1.5);
    Drag(Edge(far), Edge(far) - QPoint(0, 40), 4);
    EXPECT_NEAR(far.GetObject()->GetY(), 9950 - moved, 1.5);
    EXPECT_TRUE(Drawn(far));

    // At 500 % the far end is as reachable.
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(Trigger(CmdZoomIn));
    ASSERT_FLOAT_EQ(Window().Zoom(), 5.0f);
    QTest::keyClick(&across, Qt::Key_End);
    EXPECT_GT(Mm(corner).x(), 9995);
    EXPECT_GE(LastNumber(Window().HorzRuler(), Window().HorzRuler().width()), 9990);
}

TEST_F(LongLabelSession, ObjectsLeftOfTheLabelAreReachedAndTheRangeShrinksWhenTheyGo)
{
    OpenLongLabel();
    CBaseProxy& left = Object(1);
    QScrollBar& across = Window().HorzBar();
    QScrollBar& down = Window().VertBar();
    QTest::keyClick(&across, Qt::Key_Home);
    QTest::keyClick(&down, Qt::Key_Home);
    Settle();
    EXPECT_LT(across.value(), 0);
    EXPECT_LT(Mm(QPoint(0, 0)).x(), -4000);
    EXPECT_LT(Mm(QPoint(0, 0)).y(), -4000);
    EXPECT_EQ(View().ScrollY(), down.value());
    ASSERT_TRUE(Drawn(left));
    Click(Edge(left));
    ASSERT_EQ(View().CurrentObject(), &left);

    // Deleted, the object takes its part of the canvas with it; the view, the bars and the
    // rulers move together to where the canvas now begins.
    Settle();
    QApplication::setActiveWindow(frame);
    QTest::keyClick(&View(), Qt::Key_Delete);
    Settle();
    ASSERT_EQ(View().ObjectList().size(), 1u);
    EXPECT_EQ(across.minimum(), 0);
    EXPECT_EQ(across.value(), 0);
    EXPECT_EQ(down.value(), 0);
    EXPECT_EQ(View().ScrollX(), 0);
    EXPECT_EQ(Window().HorzRuler().ScrollPos(), 0);
    EXPECT_EQ(Window().VertRuler().ScrollPos(), 0);
    // Undone, it is in reach again.
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_LT(across.minimum(), 0);
}

TEST_F(LongLabelSession, ADragPastTheEdgeScrollsOnAsFarAsAnObjectMayGo)
{
    OpenLongLabel();
    CBaseProxy& far = Object(0);
    QScrollBar& across = Window().HorzBar();
    QTest::keyClick(&across, Qt::Key_End);
    const int end = across.maximum();
    const QPoint from = Edge(far);
    QTest::mousePress(&View(), Qt::LeftButton, {}, from);
    const QPoint outside(View().width() + 30, from.y());
    // Each move past the edge scrolls by up to 20 pixels, beyond the bar's end.
    for (int i = 0; i < 200; ++i)
        QTest::mouseMove(&View(), outside + QPoint(i % 2, 0));
    EXPECT_GT(across.value(), end);
    EXPECT_EQ(View().ScrollX(), across.value());
    QTest::mouseRelease(&View(), Qt::LeftButton, {}, outside);
    Settle();
    // The object stops at the farthest place an object may take; the range keeps it in reach.
    EXPECT_LE(far.GetObject()->GetX(), 10000.0f);
    EXPECT_GT(far.GetObject()->GetX(), 9995.0f);
    QTest::keyClick(&across, Qt::Key_End);
    EXPECT_GT(Mm(QPoint(View().width() - 1, 0)).x(), far.GetObject()->GetX() + far.GetObject()->GetWidth());
    EXPECT_TRUE(Drawn(far));
}

} // namespace
