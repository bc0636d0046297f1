// The canvas's arrange commands as its command target runs them: what each moves,
// the one undo step it leaves, and when it is enabled.
#include "ProxyTestSupport.h"

#include "editor/ChildView.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

class ArrangeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        label.m_fLabelWidth = 100;
        label.m_fLabelHeight = 60;
        view.SetLabelData(&label);
        view.resize(300, 200);
        view.SetView(1.0f, 934.0f, 934.0f); // the label's corner at client (10, 10)
        view.show();
    }
    CBaseProxy* Add(std::unique_ptr<CBaseGraph> object)
    {
        view.AddObject(std::move(object));
        return view.ObjectList().back().get();
    }
    void Select(std::initializer_list<CBaseProxy*> proxies, CBaseProxy* current)
    {
        view.GetSelection().assign(proxies);
        view.SetCurrentObject(current);
    }
    bool Enabled(int id)
    {
        CommandUpdate update(id);
        update.enabled = false;
        view.UpdateCommand(update);
        return update.enabled;
    }
    // Runs the command and checks that it left exactly one step, which undoes it.
    void RunOneStep(int id)
    {
        const QByteArray before = ObjectBytes(view.ObjectList());
        const size_t steps = view.UndoManager().UndoCount();
        ASSERT_TRUE(view.HandleCommand(id)) << id;
        const QByteArray after = ObjectBytes(view.ObjectList());
        EXPECT_EQ(view.UndoManager().UndoCount(), steps + (steps == 0 ? 2 : 1)) << id;
        view.UndoManager().Undo();
        EXPECT_EQ(ObjectBytes(view.ObjectList()), before) << id;
        view.UndoManager().Redo();
        EXPECT_EQ(ObjectBytes(view.ObjectList()), after) << id;
    }
    void Clear()
    {
        view.ClearSelection();
        view.ObjectList().clear();
    }
    static float X(const CBaseProxy* p) { return p->GetObject()->GetX(); }
    static float Y(const CBaseProxy* p) { return p->GetObject()->GetY(); }

    ScopedDpi dpi{96};
    CLabelData label;
    CChildView view;
};

TEST_F(ArrangeTest, AlignAndCentreMoveToTheCurrentObjectOrTheLabel)
{
    CBaseProxy* a = Add(MakeBox<CRectangleGraph>(5, 5, 10, 4));
    CBaseProxy* b = Add(MakeBox<CRectangleGraph>(20, 15, 6, 8));
    CBaseProxy* c = Add(MakeBox<CRectangleGraph>(40, 30, 12, 10));
    Select({a, b, c}, c);
    RunOneStep(CmdAlignLeft);
    EXPECT_FLOAT_EQ(X(a), 40);
    EXPECT_FLOAT_EQ(X(b), 40);
    EXPECT_FLOAT_EQ(Y(b), 15); // only one axis moves
    RunOneStep(CmdAlignBottom);
    EXPECT_FLOAT_EQ(Y(a) + 4, 40);
    EXPECT_FLOAT_EQ(Y(b) + 8, 40);
    RunOneStep(CmdAlignCentresH);
    EXPECT_FLOAT_EQ(X(a) + 5, 46);
    RunOneStep(CmdCentreOnPageV);
    EXPECT_FLOAT_EQ(Y(c), 25); // the current object moves too
    EXPECT_FLOAT_EQ(Y(a), 28);
}

TEST_F(ArrangeTest, DistributeSharesTheRoomBetweenTheOutermostLeavingLinesAlone)
{
    // Five boxes that touch: the gap is 0, each middle one flush after the previous.
    std::vector<CBaseProxy*> boxes;
    for (float x : {0.0f, 30.0f, 10.0f, 20.0f, 40.0f})
        boxes.push_back(Add(MakeBox<CRectangleGraph>(x, 5, 10, 5)));
    CBaseProxy* line = Add(MakeLine(3, 20, 50, 20));
    view.GetSelection().assign(boxes.begin(), boxes.end());
    view.GetSelection().push_back(line);
    view.SetCurrentObject(boxes[0]);
    const float lineX = X(line);
    RunOneStep(CmdDistributeH);
    EXPECT_FLOAT_EQ(X(boxes[2]), 10);
    EXPECT_FLOAT_EQ(X(boxes[3]), 20);
    EXPECT_FLOAT_EQ(X(boxes[1]), 30);
    EXPECT_FLOAT_EQ(X(line), lineX);

    // One box both leftmost and reaching furthest: the others share its width.
    Clear();
    CBaseProxy* wide = Add(MakeBox<CRectangleGraph>(0, 0, 60, 5));
    CBaseProxy* p = Add(MakeBox<CRectangleGraph>(50, 10, 10, 5));
    CBaseProxy* q = Add(MakeBox<CRectangleGraph>(5, 20, 10, 5));
    Select({wide, p, q}, wide);
    RunOneStep(CmdDistributeH);
    EXPECT_FLOAT_EQ(X(wide), 0);
    EXPECT_FLOAT_EQ(X(q), 40.0f / 3);
    EXPECT_FLOAT_EQ(X(p), 40.0f / 3 * 2 + 10);

    // Two boxes and a line: fewer than three take part, nothing moves, no step.
    Clear();
    view.UndoManager().Clear();
    CBaseProxy* r = Add(MakeBox<CRectangleGraph>(0, 0, 5, 5));
    CBaseProxy* s = Add(MakeBox<CRectangleGraph>(20, 0, 5, 5));
    CBaseProxy* l = Add(MakeLine(0, 9, 9, 9));
    Select({r, s, l}, r);
    EXPECT_TRUE(Enabled(CmdDistributeH));
    ASSERT_TRUE(view.HandleCommand(CmdDistributeH));
    EXPECT_FALSE(view.UndoManager().CanUndo());
}

TEST_F(ArrangeTest, SameSizeRotationAndOrder)
{
    CBaseProxy* a = Add(MakeBox<CRectangleGraph>(0, 0, 10, 4));
    CBaseProxy* b = Add(MakeBox<CEllipseGraph>(20, 0, 6, 8));
    CBaseProxy* c = Add(MakeBox<CRectangleGraph>(40, 0, 12, 10));
    Select({a, b, c}, b);
    RunOneStep(CmdSameSize);
    EXPECT_FLOAT_EQ(a->GetObject()->GetWidth(), 6);
    EXPECT_FLOAT_EQ(c->GetObject()->GetHeight(), 8);

    a->GetObject()->m_fAngle = 359;
    b->GetObject()->m_fAngle = 0;
    RunOneStep(CmdRotateRight1);
    EXPECT_FLOAT_EQ(a->GetObject()->m_fAngle, 0);
    RunOneStep(CmdRotateLeft90);
    EXPECT_FLOAT_EQ(b->GetObject()->m_fAngle, -89);
    RunOneStep(CmdRotateNone);
    EXPECT_FLOAT_EQ(c->GetObject()->m_fAngle, 0);

    // Drawing order; at the bottom already still records its step.
    Select({a}, a);
    EXPECT_FALSE(Enabled(CmdSendToBack));
    EXPECT_TRUE(Enabled(CmdBringToFront));
    RunOneStep(CmdSendToBack);
    RunOneStep(CmdBringForward);
    EXPECT_EQ(view.ObjectList()[1].get(), a);
    RunOneStep(CmdBringToFront);
    EXPECT_EQ(view.ObjectList().back().get(), a);
    EXPECT_FALSE(Enabled(CmdBringForward));
    RunOneStep(CmdSendBackward);
    EXPECT_EQ(view.ObjectList()[1].get(), a);
    EXPECT_EQ(view.CurrentObject(), a);
}

TEST_F(ArrangeTest, LocksBackgroundAndLineRestriction)
{
    CBaseProxy* a = Add(MakeBox<CRectangleGraph>(0, 0, 10, 4));
    CBaseProxy* b = Add(MakeBox<CRectangleGraph>(20, 0, 6, 8));
    Select({a, b}, a);
    RunOneStep(CmdLock);
    EXPECT_TRUE(a->GetObject()->m_bLocked && b->GetObject()->m_bLocked);
    // Everything locked already: no step, and no modified mark appears.
    view.UndoManager().Clear();
    view.SetModified(false);
    ASSERT_TRUE(view.HandleCommand(CmdLock));
    EXPECT_FALSE(view.UndoManager().CanUndo());
    EXPECT_FALSE(view.IsModified());
    RunOneStep(CmdUnlockAll);
    EXPECT_FALSE(b->GetObject()->m_bLocked);
    RunOneStep(CmdExcludeFromPrint);
    EXPECT_TRUE(a->GetObject()->m_bNotPrinted);

    view.HandleCommand(CmdShowBackground);
    EXPECT_TRUE(label.m_bDesignBackground);
    view.UndoManager().Undo();
    EXPECT_FALSE(label.m_bDesignBackground);

    const struct {
        float x2, y2, wantX2, wantY2;
    } lines[] = {{10, 10, 10, 0}, {5, 10, 0, 10}, {10, -3, 10, 0}};
    for (const auto& l : lines) {
        Clear();
        CBaseProxy* line = Add(MakeLine(0, 0, l.x2, l.y2));
        // The command acts on the line the context menu opened on.
        const QPoint middle(10 + static_cast<int>(l.x2 / 2 * 96 / 25.4), 10 + static_cast<int>(l.y2 / 2 * 96 / 25.4));
        QTest::mouseClick(&view, Qt::RightButton, {}, middle);
        ASSERT_EQ(view.ContextObject(), line);
        auto& graph = static_cast<CLineGraph&>(*line->GetObject());
        RunOneStep(CmdRestrictLine);
        EXPECT_FLOAT_EQ(graph.m_fX2, l.wantX2);
        EXPECT_FLOAT_EQ(graph.m_fY2, l.wantY2);
        EXPECT_TRUE(graph.m_bHorzVertOnly);
        view.HandleCommand(CmdRestrictLine);
        EXPECT_FALSE(graph.m_bHorzVertOnly);
        EXPECT_FLOAT_EQ(graph.m_fX2, l.wantX2);
    }
}

TEST_F(ArrangeTest, EnableRulesFollowTheSelection)
{
    CBaseProxy* a = Add(MakeBox<CRectangleGraph>(0, 0, 10, 4));
    CBaseProxy* b = Add(MakeBarcode(SymbologyCode39, "AB"));
    Select({a, b}, b);
    EXPECT_TRUE(Enabled(CmdAlignLeft));
    EXPECT_FALSE(Enabled(CmdDistributeH)); // two selected
    EXPECT_TRUE(Enabled(CmdRotateRight90));
    EXPECT_FALSE(Enabled(CmdRotateRight1)); // a barcode turns by right angles only
    Select({a}, a);
    EXPECT_FALSE(Enabled(CmdAlignLeft));
    EXPECT_TRUE(Enabled(CmdCentreOnPageH));
    EXPECT_TRUE(Enabled(CmdRotateRight1));
    Select({}, nullptr);
    for (const int id : {CmdCentreOnPageH, CmdRotateRight90, CmdLock, CmdBringToFront, CmdSendToBack})
        EXPECT_FALSE(Enabled(id)) << id;
    for (const int id : {CmdHideBackground, CmdShowBackground, CmdLockAll})
        EXPECT_TRUE(Enabled(id)) << id;
}

TEST_F(ArrangeTest, ToolCommandsSetTheToolAndItsCursor)
{
    ASSERT_TRUE(view.HandleCommand(CmdToolEllipse));
    EXPECT_EQ(view.EditStatus().m_nTool, ToolEllipse);
    EXPECT_NE(view.cursor().shape(), Qt::ArrowCursor);
    ASSERT_TRUE(view.HandleCommand(CmdToolSelect));
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
    // An id of the range no tool has: the cross.
    ASSERT_TRUE(view.HandleCommand(CmdToolLast));
    EXPECT_EQ(view.cursor().shape(), Qt::CrossCursor);
    // Picking a tool while a polygon is drawn abandons it.
    view.EditStatus().m_nTool = ToolPolygon;
    view.EditStatus().m_bPolygon = view.EditStatus().m_bCreating = true;
    view.EditStatus().m_polygonPoints = {QPoint(1, 1), QPoint(5, 5)};
    ASSERT_TRUE(view.HandleCommand(CmdToolText));
    EXPECT_EQ(view.EditStatus().m_nTool, ToolSelect);
    EXPECT_FALSE(view.EditStatus().m_bPolygon);
    EXPECT_TRUE(view.EditStatus().m_polygonPoints.isEmpty());
}

} // namespace
