// Mouse and keyboard gestures on the canvas, driven by events at 96 dpi and zoom 1.
#include "ProxyTestSupport.h"
#include "TestSupport.h"

#include "editor/ChildView.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Label pixels at 96 dpi: 10 mm -> 37, 20 mm -> 75, 40 mm -> 151.
constexpr int kOrigin = 10; // the label's corner in client pixels

// Filled shapes are hit anywhere inside, open ones only on their outline.
template <class G>
std::unique_ptr<G> Filled(float x, float y, float w, float h)
{
    auto shape = MakeBox<G>(x, y, w, h);
    shape->m_crFill = 0xFF808080u;
    return shape;
}

class CanvasInputTest : public testing::Test
{
protected:
    void SetUp() override
    {
        label.m_fLabelWidth = 80;
        label.m_fLabelHeight = 50;
        label.m_nShape = ShapeRectangle;
        view.resize(400, 300);
        view.SetLabelData(&label);
        view.SetView(1.0f, 934.0f, 934.0f);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        settings.m_bInstantMoving = settings.m_bInstantSizing = settings.m_bInstantRotating = false;
        settings.m_bContinueCreating = settings.m_bCreateAsHVLine = false;
    }
    void TearDown() override
    {
        settings.m_bInstantMoving = saved[0];
        settings.m_bInstantSizing = saved[1];
        settings.m_bInstantRotating = saved[2];
        settings.m_bContinueCreating = saved[3];
        settings.m_bCreateAsHVLine = saved[4];
    }

    CBaseProxy* Add(std::unique_ptr<CBaseGraph> object)
    {
        view.AddObject(std::move(object));
        return view.ObjectList().back().get();
    }
    // Client point of a millimetre position.
    static QPoint At(float xMm, float yMm)
    {
        return {kOrigin + static_cast<int>(xMm * 96 / 25.4), kOrigin + static_cast<int>(yMm * 96 / 25.4)};
    }
    QPoint HandlePoint(CBaseProxy* proxy, int handle)
    {
        view.Render();
        return proxy->GetHandleRect(handle).center() + QPoint(kOrigin, kOrigin);
    }
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton,
              int steps = 1)
    {
        QTest::mousePress(&view, button, mods, from);
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(&view, from + (to - from) * i / steps);
        QTest::mouseRelease(&view, button, mods, to);
    }
    void Click(QPoint at, Qt::KeyboardModifiers mods = {}) { Drag(at, at, mods); }
    // What a widget receives from a double click: the second press comes before the
    // double-click event.
    void DoubleClick(QPoint at)
    {
        Click(at);
        QTest::mousePress(&view, Qt::LeftButton, {}, at);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, at);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, at);
    }
    size_t Records() { return view.UndoManager().UndoCount(); }
    void Reset()
    {
        view.ClearSelection();
        view.UndoManager().Clear();
        view.SetModified(false);
        view.ObjectList().clear();
    }
    QByteArray Bytes() { return ObjectBytes(view.ObjectList()); }

    ScopedDpi dpi{96};
    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    bool saved[5] = {settings.m_bInstantMoving, settings.m_bInstantSizing, settings.m_bInstantRotating,
                     settings.m_bContinueCreating, settings.m_bCreateAsHVLine};
    CLabelData label;
    CChildView view;
};

TEST_F(CanvasInputTest, ClickShiftAndCtrlSelect)
{
    CBaseProxy* a = Add(Filled<CRectangleGraph>(10, 10, 20, 10));
    CBaseProxy* b = Add(Filled<CEllipseGraph>(40, 10, 20, 10));
    CBaseProxy* c = Add(Filled<CRectangleGraph>(10, 30, 20, 10));
    Click(At(20, 15));
    EXPECT_EQ(view.GetSelection(), ProxySelection({a}));
    EXPECT_EQ(view.CurrentObject(), a);
    Click(At(50, 15));
    EXPECT_EQ(view.GetSelection(), ProxySelection({b}));
    Click(At(20, 15), Qt::ShiftModifier);
    Click(At(20, 35), Qt::ControlModifier);
    EXPECT_EQ(view.GetSelection(), ProxySelection({b, a, c}));
    EXPECT_EQ(view.CurrentObject(), c);
    // A Ctrl press on a selected object starts a copy drag and keeps the selection.
    Click(At(50, 15), Qt::ControlModifier);
    EXPECT_EQ(view.GetSelection().size(), 3u);
    Click(At(70, 45));
    EXPECT_TRUE(view.GetSelection().empty());
    EXPECT_EQ(view.CurrentObject(), nullptr);
    EXPECT_EQ(Records(), 0u);
    EXPECT_FALSE(view.IsModified());
}

TEST_F(CanvasInputTest, RubberBandSelectsWhollyEnclosedObjectsEitherWay)
{
    CBaseProxy* a = Add(Filled<CRectangleGraph>(10, 10, 10, 10));
    CBaseProxy* b = Add(MakeLine(25, 12, 35, 18));
    Add(Filled<CRectangleGraph>(38, 4, 20, 10)); // only partly inside
    for (const bool leftToRight : {true, false}) {
        SCOPED_TRACE(leftToRight);
        const QPoint from = leftToRight ? At(5, 5) : At(40, 35);
        const QPoint to = leftToRight ? At(40, 35) : At(5, 5);
        Drag(from, to, {}, Qt::LeftButton, 3);
        EXPECT_EQ(view.GetSelection(), ProxySelection({a, b}));
        EXPECT_EQ(view.CurrentObject(), b);
    }
}

TEST_F(CanvasInputTest, MoveIsOneRecordOutsideTheDeadZoneAndUndoesByteExact)
{
    for (const bool instant : {false, true}) {
        SCOPED_TRACE(instant);
        settings.m_bInstantMoving = instant;
        Reset();
        CBaseProxy* box = Add(Filled<CRectangleGraph>(10, 10, 20, 10));
        auto text = MakeBox<CTextGraph>(40, 30, 20, 8);
        text->m_strText = "Hello";
        Add(std::move(text));
        const QByteArray before = Bytes();
        Drag(At(20, 15), At(20, 15) + QPoint(3, 3), {}, Qt::LeftButton, 3);
        EXPECT_EQ(Bytes(), before);
        EXPECT_EQ(Records(), 0u);
        Drag(At(20, 15), At(20, 15) + QPoint(4, 0));
        EXPECT_GT(box->GetObject()->GetX(), 10.0f);
        Click(At(20, 15) + QPoint(4, 0)); // select only the box again
        Drag(At(20, 15), At(20, 15) + QPoint(38, 19), {}, Qt::LeftButton, 5);
        EXPECT_EQ(Records(), 3u); // the file-changed marker and two moves
        EXPECT_TRUE(view.IsModified());
        EXPECT_NEAR(box->GetObject()->GetX(), 10.0f + 42 * 25.4f / 96, 0.03f);
        EXPECT_NEAR(box->GetObject()->GetY(), 10.0f + 19 * 25.4f / 96, 0.011f);
        const QByteArray after = Bytes();
        view.UndoManager().Undo();
        view.UndoManager().Undo();
        EXPECT_EQ(Bytes(), before);
        EXPECT_FALSE(view.IsModified());
        view.UndoManager().Redo();
        view.UndoManager().Redo();
        EXPECT_EQ(Bytes(), after);
        EXPECT_TRUE(view.IsModified());
    }
}

TEST_F(CanvasInputTest, LockedObjectsStayWhenDragged)
{
    CBaseProxy* box = Add(Filled<CRectangleGraph>(10, 10, 20, 10));
    box->GetObject()->m_bLocked = true;
    Drag(At(20, 15), At(30, 25));
    EXPECT_EQ(box->GetObject()->GetX(), 10.0f);
}

TEST_F(CanvasInputTest, HandleDragSizesWithOneRecord)
{
    for (const bool instant : {false, true}) {
        SCOPED_TRACE(instant);
        settings.m_bInstantSizing = instant;
        Reset();
        CBaseProxy* box = Add(Filled<CRectangleGraph>(10, 10, 20, 10));
        Click(At(20, 15));
        const QByteArray before = Bytes();
        const QPoint corner = HandlePoint(box, 4); // bottom right
        Drag(corner, corner + QPoint(38, 19), {}, Qt::LeftButton, 4);
        EXPECT_NEAR(box->GetObject()->GetWidth(), 20.0f + 38 * 25.4f / 96, 0.011f);
        EXPECT_NEAR(box->GetObject()->GetHeight(), 10.0f + 19 * 25.4f / 96, 0.011f);
        EXPECT_EQ(box->GetObject()->GetX(), 10.0f);
        EXPECT_EQ(Records(), 2u); // the file-changed marker and the resize
        view.UndoManager().Undo();
        EXPECT_EQ(Bytes(), before);
    }
}

TEST_F(CanvasInputTest, RotateToolTurnsThroughACornerHandle)
{
    CBaseProxy* box = Add(Filled<CRectangleGraph>(20, 20, 20, 10));
    view.EditStatus().m_nTool = ToolRotate;
    Click(At(30, 25));
    const QByteArray before = Bytes();
    const QPoint corner = HandlePoint(box, 2); // top right, a rotation handle
    Drag(corner, corner + QPoint(0, 60), {}, Qt::LeftButton, 3);
    EXPECT_NE(box->GetObject()->m_fAngle, 0.0f);
    EXPECT_EQ(Records(), 2u);
    view.UndoManager().Undo();
    EXPECT_EQ(Bytes(), before);
}

TEST_F(CanvasInputTest, ArrowKeysNudgeTheSelectionOneRecordEach)
{
    CBaseProxy* a = Add(Filled<CRectangleGraph>(10, 10, 10, 10));
    CBaseProxy* b = Add(Filled<CEllipseGraph>(30, 10, 10, 10));
    CBaseProxy* locked = Add(Filled<CRectangleGraph>(10, 30, 10, 10));
    locked->GetObject()->m_bLocked = true;
    // Nothing selected: nothing recorded, the document stays unmodified.
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(Records(), 0u);
    EXPECT_FALSE(view.IsModified());
    view.SelectByKind(KindRectangle);
    EXPECT_EQ(view.GetSelection(), ProxySelection({a, locked}));
    Click(At(35, 15), Qt::ShiftModifier);
    const QByteArray before = Bytes();
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(Records(), 4u);
    for (const CBaseProxy* proxy : {a, b, locked}) {
        EXPECT_FLOAT_EQ(proxy->GetLeft(), proxy == b ? 31.0f : 11.0f);
        EXPECT_FLOAT_EQ(proxy->GetTop(), proxy == locked ? 32.0f : 12.0f);
    }
    for (int i = 0; i < 3; ++i)
        view.UndoManager().Undo();
    EXPECT_EQ(Bytes(), before);
}

TEST_F(CanvasInputTest, DeleteTakesTheSelectionIntoOneRecord)
{
    Add(Filled<CRectangleGraph>(10, 10, 10, 10));
    Add(Filled<CEllipseGraph>(30, 10, 10, 10));
    Add(MakeLine(10, 30, 30, 30));
    int paneUpdates = 0;
    QObject::connect(&view, &CChildView::objectsChanged, [&] { ++paneUpdates; });
    view.DeleteSelection(); // nothing selected
    EXPECT_EQ(Records(), 0u);
    const QByteArray before = Bytes();
    Click(At(15, 15));
    Click(At(35, 15), Qt::ShiftModifier);
    view.DeleteSelection();
    ASSERT_EQ(view.ObjectList().size(), 1u);
    EXPECT_EQ(view.ObjectList().front()->GetObject()->GetKind(), KindLine);
    EXPECT_TRUE(view.GetSelection().empty());
    EXPECT_EQ(view.CurrentObject(), nullptr);
    EXPECT_EQ(Records(), 2u);
    EXPECT_GE(paneUpdates, 1);
    view.UndoManager().Undo();
    EXPECT_EQ(Bytes(), before);
}

TEST_F(CanvasInputTest, DoubleClickOpensThePropertyDialogAndRecordsWhatItApplies)
{
    CBaseProxy* box = Add(Filled<CRectangleGraph>(10, 10, 20, 10));
    Add(Filled<CEllipseGraph>(40, 10, 10, 10));
    CBaseProxy* opened = nullptr;
    bool apply = true;
    view.SetPropertyDialogFactory([&](QWidget* parent, CBaseProxy& proxy, CUndoRecordBuilder& undo, CDataBand*) {
        EXPECT_EQ(parent, &view);
        opened = &proxy;
        if (!apply)
            return false;
        undo.BeginEditRecord(&proxy);
        proxy.GetObject()->m_fLineWidth = 2.5f;
        undo.EndEditRecord();
        return true;
    });
    const QByteArray before = Bytes();
    DoubleClick(At(20, 15));
    EXPECT_EQ(opened, box);
    EXPECT_EQ(view.CurrentObject(), box);
    EXPECT_EQ(box->GetObject()->m_fLineWidth, 2.5f);
    EXPECT_EQ(Records(), 2u);
    view.UndoManager().Undo();
    EXPECT_EQ(Bytes(), before);
    // A dialog closed without applying records nothing.
    apply = false;
    opened = nullptr;
    DoubleClick(At(45, 15));
    EXPECT_NE(opened, nullptr);
    EXPECT_EQ(view.UndoManager().UndoCount(), 0u);
    // Empty canvas: no dialog.
    opened = nullptr;
    DoubleClick(At(70, 45));
    EXPECT_EQ(opened, nullptr);
}

TEST_F(CanvasInputTest, GuideDroppedOnTheRulerSideIsDeleted)
{
    for (const int dropX : {0, 1}) {
        SCOPED_TRACE(dropX);
        view.Guides().clear();
        view.BeginGuideDrag(false, 100);
        view.EndGuideDrag();
        ASSERT_EQ(view.Guides().size(), 1u);
        Drag(QPoint(101, 150), QPoint(dropX + 40, 150));
        EXPECT_NEAR(view.Guides().front()->m_fPosition, (40 + 934 - 944.88f) * 25.4f / 96 + 0.0f, 0.3f);
        Drag(QPoint(40, 150), QPoint(dropX, 150));
        EXPECT_EQ(view.Guides().size(), dropX == 0 ? 0u : 1u);
        EXPECT_FALSE(view.EditStatus().m_bGuideDrag);
    }
}

TEST_F(CanvasInputTest, ClickToolsCreateTheirObjectAtTheClickWithOneRecord)
{
    view.SetView(1.0f, 0.0f, 0.0f);
    const struct {
        int tool;
        int kind;
    } cases[] = {{ToolBarcode, KindBarcode}, {ToolText, KindText}, {ToolImage, KindImage}, {ToolBarcode, KindBarcode}};
    QStringList names;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        view.EditStatus().m_nTool = c.tool;
        const size_t count = view.ObjectList().size();
        const size_t records = Records();
        Click(QPoint(1000, 1000)); // (1000 - 944.88) x 25.4 / 96 = 14.583
        ASSERT_EQ(view.ObjectList().size(), count + 1);
        CBaseProxy* created = view.ObjectList().back().get();
        const CBaseGraph& object = *created->GetObject();
        EXPECT_EQ(object.GetKind(), c.kind);
        EXPECT_FLOAT_EQ(object.GetX(), 14.58f);
        EXPECT_FLOAT_EQ(object.GetY(), 14.58f);
        EXPECT_GT(object.GetWidth(), 0.0f);
        EXPECT_GT(object.GetHeight(), 0.0f);
        EXPECT_FALSE(object.m_strName.isEmpty());
        names << object.m_strName;
        EXPECT_EQ(view.GetSelection(), ProxySelection({created}));
        EXPECT_EQ(view.CurrentObject(), created);
        EXPECT_EQ(Records(), records + (records == 0 ? 2 : 1));
        EXPECT_EQ(view.EditStatus().m_nTool, ToolSelect);
    }
    EXPECT_EQ(names.size(), QSet<QString>(names.begin(), names.end()).size()) << names.join(',').toStdString();
    EXPECT_EQ(static_cast<const CTextGraph*>(view.ObjectList()[1]->GetObject())->m_strText, QStringLiteral("样例文字"));
    // Undo takes the last one away again.
    view.UndoManager().Undo();
    EXPECT_EQ(view.ObjectList().size(), 3u);
}

TEST_F(CanvasInputTest, DragToolsCreateOutsideTheDeadZoneInsideTheClientArea)
{
    const struct {
        int tool;
        int kind;
    } cases[] = {{ToolLine, KindLine}, {ToolRectangle, KindRectangle}, {ToolEllipse, KindEllipse}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        Reset();
        view.EditStatus().m_nTool = c.tool;
        Drag(At(10, 10), At(10, 10) + QPoint(3, -3));
        Drag(At(10, 10), QPoint(0, 150)); // released on the client area's edge
        EXPECT_TRUE(view.ObjectList().empty());
        EXPECT_EQ(view.EditStatus().m_nTool, ToolSelect);
        view.EditStatus().m_nTool = c.tool;
        // Ctrl at the release keeps the tool.
        Drag(At(30, 20), At(10, 10), Qt::ControlModifier, Qt::LeftButton, 3);
        ASSERT_EQ(view.ObjectList().size(), 1u);
        EXPECT_EQ(view.EditStatus().m_nTool, c.tool);
        const CBaseProxy& created = *view.ObjectList().front();
        EXPECT_EQ(created.GetObject()->GetKind(), c.kind);
        EXPECT_EQ(Records(), 2u);
        if (c.kind == KindLine)
            continue; // made horizontal or vertical by Ctrl, below
        EXPECT_NEAR(created.GetLeft(), 10.0f, 0.5f);
        EXPECT_NEAR(created.GetTop(), 10.0f, 0.5f);
        EXPECT_NEAR(created.GetWidth(), 20.0f, 0.27f);
        EXPECT_NEAR(created.GetHeight(), 10.0f, 0.27f);
    }
}

TEST_F(CanvasInputTest, CtrlMakesALineHorizontalOrVertical)
{
    view.EditStatus().m_nTool = ToolLine;
    settings.m_bContinueCreating = true;
    Drag(At(10, 10), At(20, 22), Qt::ControlModifier);
    Drag(At(10, 30), At(20, 30) + QPoint(0, 3), Qt::ControlModifier);
    ASSERT_EQ(view.ObjectList().size(), 2u);
    const auto& steep = static_cast<const CLineGraph&>(*view.ObjectList()[0]->GetObject());
    EXPECT_EQ(steep.m_fX1, steep.m_fX2);
    EXPECT_NE(steep.m_fY1, steep.m_fY2);
    const auto& flat = static_cast<const CLineGraph&>(*view.ObjectList()[1]->GetObject());
    EXPECT_EQ(flat.m_fY1, flat.m_fY2);
    EXPECT_NE(flat.m_fX1, flat.m_fX2);
    EXPECT_EQ(view.EditStatus().m_nTool, ToolLine);
}

TEST_F(CanvasInputTest, PolygonNeedsThreePointsAndEndsWithADoubleClick)
{
    view.EditStatus().m_nTool = ToolPolygon;
    Click(At(10, 10));
    QTest::mouseMove(&view, At(20, 10));
    DoubleClick(At(20, 10));
    EXPECT_TRUE(view.ObjectList().empty());
    EXPECT_EQ(view.EditStatus().m_nTool, ToolSelect);
    EXPECT_FALSE(view.EditStatus().m_bPolygon);

    view.EditStatus().m_nTool = ToolPolygon;
    Click(At(10, 10));
    Click(At(30, 10));
    DoubleClick(At(20, 30));
    ASSERT_EQ(view.ObjectList().size(), 1u);
    const auto& polygon = static_cast<const CPolygonGraph&>(*view.ObjectList().front()->GetObject());
    ASSERT_EQ(polygon.m_points.size(), 3u);
    EXPECT_NEAR(polygon.m_points[1].x(), 30.0, 0.27);
    EXPECT_NEAR(polygon.m_points[2].y(), 30.0, 0.27);
    EXPECT_EQ(Records(), 2u);
    EXPECT_EQ(view.CurrentObject(), view.ObjectList().front().get());
}

TEST_F(CanvasInputTest, RightPressAbandonsACreationTool)
{
    view.EditStatus().m_nTool = ToolPolygon;
    Click(At(10, 10));
    Click(At(30, 10));
    QTest::mousePress(&view, Qt::RightButton, {}, At(30, 30));
    QTest::mouseRelease(&view, Qt::RightButton, {}, At(30, 30));
    EXPECT_EQ(view.EditStatus().m_nTool, ToolSelect);
    EXPECT_FALSE(view.EditStatus().m_bPolygon);
    EXPECT_TRUE(view.EditStatus().m_polygonPoints.isEmpty());
    EXPECT_TRUE(view.ObjectList().empty());
}

// A single-line text of one constant band.
std::unique_ptr<CTextGraph> OneBandText(const QString& words)
{
    auto text = MakeBox<CTextGraph>(10, 10, 30, 8);
    auto band = std::make_unique<CDataBand>();
    band->m_strValue = words;
    text->m_bands.push_back(std::move(band));
    text->m_strText = words;
    return text;
}

TEST_F(CanvasInputTest, SecondClickOnASelectedTextEditsItInPlace)
{
    view.EditStatus().m_nDelayedClickMs = 20;
    CBaseProxy* proxy = Add(OneBandText("Hello"));
    auto& text = static_cast<CTextGraph&>(*proxy->GetObject());
    Click(At(20, 12));
    EXPECT_FALSE(view.EditStatus().m_bDelayedClickArmed);
    Click(At(20, 12));
    EXPECT_TRUE(view.EditStatus().m_bDelayedClickArmed);
    QTRY_VERIFY_WITH_TIMEOUT(view.EditStatus().m_bInPlaceEditing, kHungAfterMs);
    auto* edit = qobject_cast<QLineEdit*>(view.InPlaceEditor());
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text(), "Hello");
    EXPECT_EQ(edit->selectedText(), "Hello");
    QTest::keyClicks(edit, "World");
    // A press on the edited object itself only commits.
    Click(At(20, 12));
    EXPECT_FALSE(view.EditStatus().m_bInPlaceEditing);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(text.m_strText, "World");
    EXPECT_EQ(text.m_bands.front()->m_strValue, "World");
    // One step of its own: the marker of the first change and the edit.
    EXPECT_EQ(Records(), 2u);
    EXPECT_TRUE(view.IsModified());
    view.UndoManager().Undo();
    EXPECT_EQ(text.m_bands.front()->m_strValue, "Hello");
    EXPECT_FALSE(view.IsModified());
}

TEST_F(CanvasInputTest, EmptyInPlaceTextShowsThePlaceholder)
{
    view.EditStatus().m_nTool = ToolEditData;
    CBaseProxy* proxy = Add(OneBandText("Hello"));
    auto& text = static_cast<CTextGraph&>(*proxy->GetObject());
    Click(At(20, 12)); // the edit-data tool opens the editor at once
    ASSERT_TRUE(view.EditStatus().m_bInPlaceEditing);
    auto* edit = qobject_cast<QLineEdit*>(view.InPlaceEditor());
    QTest::keyClick(edit, Qt::Key_Delete);
    Click(At(70, 45));
    EXPECT_EQ(text.m_strText, QStringLiteral("<空>"));
    EXPECT_EQ(text.m_bands.front()->m_strValue, "");
    EXPECT_TRUE(view.IsModified());
}

TEST_F(CanvasInputTest, DoubleClickOnASelectedTextDisarmsTheDelayedClick)
{
    view.EditStatus().m_nDelayedClickMs = 20;
    Add(OneBandText("Hello"));
    view.SetPropertyDialogFactory([](QWidget*, CBaseProxy&, CUndoRecordBuilder&, CDataBand*) { return false; });
    Click(At(20, 12));
    DoubleClick(At(20, 12));
    QTest::qWait(60);
    EXPECT_FALSE(view.EditStatus().m_bInPlaceEditing);
}

TEST_F(CanvasInputTest, RightClickWithoutMovementOpensTheMenuOfTheObjectUnderIt)
{
    CBaseProxy* line = Add(MakeLine(10, 20, 40, 20));
    Add(Filled<CRectangleGraph>(10, 30, 10, 10));
    std::vector<std::vector<int>> menus;
    QObject::connect(&view, &CChildView::contextMenuRequested,
                     [&](const std::vector<int>& items, QPoint) { menus.push_back(items); });
    Drag(At(60, 40), At(60, 40), {}, Qt::RightButton);
    Drag(At(20, 20), At(20, 20), {}, Qt::RightButton);
    Drag(At(15, 35), At(15, 35), {}, Qt::RightButton);
    Drag(At(60, 40), At(62, 41), {}, Qt::RightButton, 2); // moved: no menu
    ASSERT_EQ(menus.size(), 3u);
    // A copy drag of the selection dropped elsewhere asks what to do.
    Drag(At(15, 35), At(15, 35) + QPoint(20, 0), {}, Qt::RightButton, 2);
    ASSERT_EQ(menus.size(), 4u);
    EXPECT_EQ(menus[3], std::vector<int>({40524, 40525, 0, 40526}));
    menus.pop_back();
    EXPECT_EQ(menus[0], std::vector<int>({57637, 57642, 0, 30300, 30301, 30302, 30303, 40536, 0, 40538}));
    EXPECT_EQ(menus[1], std::vector<int>({57635, 57634, 57637, 30200, 0, 40534, 0, 40532, 0, 30601, 40533}));
    EXPECT_EQ(menus[2], CanvasContextMenu(KindRectangle));
    EXPECT_EQ(CanvasContextMenu(KindText)[5], 40576);
    EXPECT_TRUE(CanvasContextMenu(99).empty());
    EXPECT_NE(view.ContextObject(), nullptr);
    EXPECT_NE(view.ContextObject(), line);
    // A deleted context object is forgotten.
    Click(At(15, 35));
    view.DeleteSelection();
    EXPECT_EQ(view.ContextObject(), nullptr);
}

TEST_F(CanvasInputTest, DraggingPastAnEdgeScrollsAndTheMoveFollowsTheCanvas)
{
    CBaseProxy* box = Add(Filled<CRectangleGraph>(10, 10, 20, 10));
    std::vector<std::pair<bool, int>> steps;
    QObject::connect(&view, &CChildView::autoScrollRequested, [&](bool vertical, int step) {
        steps.emplace_back(vertical, step);
        view.SetScroll(view.ScrollX() + (vertical ? 0 : step), view.ScrollY() + (vertical ? step : 0));
    });
    const QPoint from = At(20, 15);
    const QPoint beyond(view.width() + 50, from.y());
    QTest::mousePress(&view, Qt::LeftButton, {}, from);
    QTest::mouseMove(&view, beyond);
    QTest::mouseMove(&view, beyond);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, beyond);
    EXPECT_EQ(steps, (std::vector<std::pair<bool, int>>{{false, 20}, {false, 20}, {false, 20}}));
    // The press point keeps its canvas spot: the move covers the 60 scrolled pixels too.
    const int moved = beyond.x() - from.x() + 60;
    EXPECT_NEAR(box->GetObject()->GetX(), 10.0f + moved * 25.4f / 96, 0.02f);
    EXPECT_EQ(Records(), 2u);
}

TEST_F(CanvasInputTest, HoverCursorFollowsHandlesOfTheSelection)
{
    CBaseProxy* box = Add(Filled<CRectangleGraph>(10, 10, 20, 10));
    QTest::mouseMove(&view, HandlePoint(box, 4));
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor); // not selected: no handles
    Click(At(20, 15));
    QTest::mouseMove(&view, HandlePoint(box, 4));
    EXPECT_EQ(view.cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(&view, HandlePoint(box, 3));
    EXPECT_EQ(view.cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(&view, At(60, 40));
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
}

} // namespace
