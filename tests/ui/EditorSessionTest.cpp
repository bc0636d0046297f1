// A label made in the running program as a user makes it: commands from the menus'
// and tool bars' actions, gestures as mouse and key events on the real canvas, files
// written through the save dialog; the undo history, the modified mark and what is
// on disk checked after each step.
#include "SessionTestSupport.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "app/MainFrame.h"
#include "app/VXStatusBar.h"
#include "app/VellumcraftApp.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "editor/Ruler.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/DocLoader.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/TextGraph.h"
#include "model/Utils.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <array>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <tuple>

namespace {

class EditorSessionTest : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
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
        SessionTest::TearDown();
    }

    // A point on the top edge of the object's box, where even an unfilled shape is hit.
    QPoint OnEdge(CBaseProxy* proxy)
    {
        const CBaseGraph& object = *proxy->GetObject();
        return At(object.GetX() + 3, object.GetY());
    }
    CTextGraph& TextOf(CBaseProxy* proxy) const { return static_cast<CTextGraph&>(*proxy->GetObject()); }

    // Types into the in-place editor the edit-data tool opens on the text.
    void EditInPlace(float x, float y, const QString& typed)
    {
        ASSERT_TRUE(Trigger(CmdToolEditData));
        Click(At(x, y));
        auto* edit = qobject_cast<QLineEdit*>(View().InPlaceEditor());
        ASSERT_NE(edit, nullptr);
        ASSERT_TRUE(edit->isVisible());
        edit->selectAll();
        TypeText(edit, typed);
    }

    // The label file as read back from disk.
    static void ReadBack(const QString& path, CLabelData& label)
    {
        CDocLoader loader;
        loader.m_strPath = path;
        loader.m_pLabelData = &label;
        loader.LoadDocument();
    }
    // The texts of the label file as read back from disk.
    QStringList TextsOnDisk(const QString& path)
    {
        CLabelData label;
        ReadBack(path, label);
        QStringList texts;
        for (const auto& object : label.m_objects)
            if (object->GetKind() == KindText)
                texts << static_cast<const CTextGraph&>(*object).m_bands.front()->m_strValue;
        return texts;
    }
    bool TitleMarked() const { return Window().windowTitle().endsWith(" *"); }

    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    bool saved[5] = {settings.m_bInstantMoving, settings.m_bInstantSizing, settings.m_bInstantRotating,
                     settings.m_bContinueCreating, settings.m_bCreateAsHVLine};
};

TEST_F(EditorSessionTest, EveryCreationToolIsPickedFromItsActionAndDrawsItsObject)
{
    const struct {
        int tool;
        int kind;
    } tools[] = {{CmdToolBarcode, KindBarcode},     {CmdToolText, KindText},       {CmdToolLine, KindLine},
                 {CmdToolRectangle, KindRectangle}, {CmdToolEllipse, KindEllipse}, {CmdToolPolygon, KindPolygon},
                 {CmdToolImage, KindImage}};
    float y = 5;
    for (const auto& t : tools) {
        SCOPED_TRACE(t.tool);
        EXPECT_TRUE(Enabled(t.tool));
        const size_t count = View().ObjectList().size();
        ASSERT_TRUE(Trigger(t.tool));
        EXPECT_TRUE(Checked(t.tool));
        EXPECT_FALSE(Checked(CmdToolSelect));
        EXPECT_EQ(View().EditStatus().m_nTool, t.tool);
        Create(t.tool, 5, y);
        ASSERT_EQ(View().ObjectList().size(), count + 1);
        EXPECT_EQ(Last()->GetObject()->GetKind(), t.kind);
        // Back to the select tool, and the menu says so without anyone asking.
        EXPECT_TRUE(Checked(CmdToolSelect));
        EXPECT_FALSE(Checked(t.tool));
        EXPECT_TRUE(Enabled(CmdEditDelete));
        EXPECT_TRUE(Enabled(CmdEditUndo));
        y += 6;
    }
    // The rotate and edit-data buttons of the drawing bar are tools too.
    for (const int tool : {CmdToolRotate, CmdToolEditData, CmdToolSelect}) {
        ASSERT_TRUE(Trigger(tool));
        EXPECT_TRUE(Checked(tool));
        EXPECT_EQ(View().EditStatus().m_nTool, tool);
    }
    // The menu and the drawing bar hold the same actions.
    for (const auto& t : tools)
        EXPECT_TRUE(frame->ToolBar(29107)->actions().contains(Action(t.tool)));

    const QString shot = qEnvironmentVariable("VC_EDITOR_SCREENSHOT");
    if (!shot.isEmpty())
        frame->grab().save(shot);
}

TEST_F(EditorSessionTest, TypedTextReachesTheFileAndCloseAsksAboutIt)
{
    Create(CmdToolText, 10, 10);
    const QString path = m_dir.filePath("typed.vmk");
    EditInPlace(12, 11, QStringLiteral("订单 42"));
    // Save straight from the editor: the typed text is what is written.
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    EXPECT_EQ(TextsOnDisk(path), QStringList{QStringLiteral("订单 42")});
    EXPECT_FALSE(View().InPlaceEditor()->isVisible());
    EXPECT_FALSE(Window().IsModified());
    EXPECT_FALSE(TitleMarked());

    // Typed and closed at once: the close asks, and Yes writes it.
    EditInPlace(12, 11, QStringLiteral("改了"));
    services.answers = {IDYES};
    ASSERT_TRUE(Trigger(CmdFileClose));
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("是否保存对标签文件 typed.vmk 的修改？")});
    EXPECT_EQ(TextsOnDisk(path), QStringList{QStringLiteral("改了")});
    // The tab went with its window.
    EXPECT_TRUE(frame->LabelWindows().isEmpty());
    EXPECT_TRUE(frame->MdiArea()->subWindowList().isEmpty());
}

TEST_F(EditorSessionTest, SaveAsAsksBeforeTheAddedSuffixReplacesAFile)
{
    Create(CmdToolText, 10, 10);
    const QString existing = WriteLabel("orders.vmk");
    const QByteArray before = [&] {
        QFile file(existing);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    // No: the dialog comes again, and a cancel there writes nothing.
    services.files = {m_dir.filePath("orders")};
    services.answers = {IDNO};
    EXPECT_TRUE(Trigger(CmdFileSaveAs));
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("orders.vmk 已存在。\n要替换它吗？")});
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_TRUE(Window().LabelData().m_strFilePath.isEmpty());

    services.files = {m_dir.filePath("orders")};
    services.answers = {IDYES};
    EXPECT_TRUE(Trigger(CmdFileSaveAs));
    EXPECT_EQ(Window().LabelData().m_strFilePath, existing);
    EXPECT_EQ(TextsOnDisk(existing).size(), 1);
}

TEST_F(EditorSessionTest, AFailedSaveKeepsTheNameAndPlaceTheLabelHad)
{
    Create(CmdToolRectangle, 10, 10);
    const QString saved = m_dir.filePath("kept.vmk");
    services.files = {saved};
    ASSERT_TRUE(Trigger(CmdFileSave));
    Create(CmdToolEllipse, 30, 10);
    // Save As into a folder that is not there: told, and nothing else changes.
    services.files = {m_dir.filePath("nowhere/other.vmk")};
    ASSERT_TRUE(Trigger(CmdFileSaveAs));
    EXPECT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(Window().LabelData().m_strFilePath, saved);
    EXPECT_EQ(Window().LabelData().m_strTitle, QStringLiteral("kept.vmk"));
    EXPECT_TRUE(Window().IsModified());
    EXPECT_TRUE(TitleMarked());
    // The next Save goes where the label came from, without asking.
    services.files.clear();
    ASSERT_TRUE(Trigger(CmdFileSave));
    EXPECT_FALSE(Window().IsModified());
    CLabelData label;
    ReadBack(saved, label);
    EXPECT_EQ(label.m_objects.size(), 2u);

    // A new label whose first save fails stays untitled.
    NewLabel();
    Create(CmdToolRectangle, 10, 10);
    const QString untitled = Window().LabelData().m_strTitle;
    services.files = {m_dir.filePath("nowhere/first.vmk")};
    ASSERT_TRUE(Trigger(CmdFileSave));
    EXPECT_TRUE(Window().LabelData().m_strFilePath.isEmpty());
    EXPECT_EQ(Window().LabelData().m_strTitle, untitled);
}

TEST_F(EditorSessionTest, TheModifiedMarkFollowsTheHistoryWhateverTheOrder)
{
    const QString path = m_dir.filePath("mixed.vmk");
    const auto expectState = [&](bool modified, const char* step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(Window().IsModified(), modified);
        EXPECT_EQ(TitleMarked(), modified);
    };
    expectState(false, "new");
    Create(CmdToolRectangle, 10, 10);
    expectState(true, "drawn");
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    expectState(false, "saved");
    // Undo after a save: nothing is there to undo, the mark stays off.
    EXPECT_FALSE(Enabled(CmdEditUndo));
    EXPECT_FALSE(Trigger(CmdEditUndo));
    expectState(false, "undo after save");

    QTest::keyClick(&View(), Qt::Key_Right);
    expectState(true, "nudged");
    ASSERT_TRUE(Trigger(CmdEditUndo));
    expectState(false, "nudge undone: as saved");
    ASSERT_TRUE(Trigger(CmdEditRedo));
    expectState(true, "redone");
    ASSERT_TRUE(Trigger(CmdFileSave));
    expectState(false, "saved again");
    const float savedX = Last()->GetObject()->GetX();

    Create(CmdToolText, 30, 20);
    EditInPlace(32, 21, QStringLiteral("甲"));
    ASSERT_TRUE(Trigger(CmdEditUndo)); // commits the typing first, then undoes it
    expectState(true, "typing undone, text still drawn");
    ASSERT_TRUE(Trigger(CmdEditUndo));
    expectState(false, "text creation undone: as saved");
    EXPECT_FLOAT_EQ(Last()->GetObject()->GetX(), savedX);
    // Closing now loses nothing, so it asks nothing.
    ASSERT_TRUE(Trigger(CmdFileClose));
    EXPECT_TRUE(services.messages.empty());
    EXPECT_TRUE(frame->LabelWindows().isEmpty());
}

TEST_F(EditorSessionTest, LinesTypedInPlaceAreStoredWithTheFilesLineBreaks)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* text = Last();
    ASSERT_TRUE(Trigger(CmdMultiLine));
    ASSERT_TRUE(Trigger(CmdToolEditData));
    Click(OnEdge(text));
    auto* edit = qobject_cast<QPlainTextEdit*>(View().InPlaceEditor());
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    TypeText(edit, QStringLiteral("甲"));
    QTest::keyClick(edit, Qt::Key_Return);
    TypeText(edit, QStringLiteral("乙"));
    ASSERT_TRUE(Trigger(CmdToolSelect)); // commits
    EXPECT_EQ(TextOf(text).m_strText, QStringLiteral("甲\r\n乙"));
    EXPECT_EQ(TextOf(text).m_bands.front()->m_strValue, QStringLiteral("甲\r\n乙"));

    // Opened and left again without a change: nothing to undo, nothing to save.
    const QString path = m_dir.filePath("lines.vmk");
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    ASSERT_TRUE(Trigger(CmdToolEditData));
    Click(OnEdge(text));
    ASSERT_TRUE(View().InPlaceEditor()->isVisible());
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(View().InPlaceEditor())->toPlainText(), QStringLiteral("甲\n乙"));
    ASSERT_TRUE(Trigger(CmdToolSelect));
    EXPECT_FALSE(Window().IsModified());
    EXPECT_FALSE(Enabled(CmdEditUndo));
    EXPECT_EQ(TextsOnDisk(path), QStringList{QStringLiteral("甲\r\n乙")});
}

// An in-place editor closed with nothing typed, whichever way it closes, leaves the
// text exactly as it was, though its box does not fit its words: the box, the file it
// matches, the history and the modified mark. A typed change refits the box within its
// own one step.
TEST_F(EditorSessionTest, AnInPlaceEditorClosedUntouchedLeavesTheTextAsItWas)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* text = Last();
    const CTextGraph& graph = TextOf(text);
    const auto centre = [&] {
        return At(graph.GetX() + graph.GetWidth() / 2, graph.GetY() + graph.GetHeight() / 2);
    };
    // The bottom handle dragged up 10 px.
    View().Render();
    const CanvasMapping m = View().Mapping();
    const QPoint bottom = text->GetHandleRect(5).center() + m.ZoomedMargin() -
                          QPoint(static_cast<int>(m.scrollX), static_cast<int>(m.scrollY));
    Drag(bottom, bottom - QPoint(0, 10));
    const QString path = m_dir.filePath("untouched.vmk");
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    Click(At(60, 40));

    const auto state = [&] {
        return std::tuple(graph.GetX(), graph.GetY(), graph.GetWidth(), graph.GetHeight(), graph.m_fFontSize,
                          graph.m_fHorzScale, graph.m_strText);
    };
    const auto saved = state();
    size_t steps = View().UndoManager().UndoCount();
    const auto open = [&] {
        ASSERT_TRUE(Trigger(CmdToolEditData));
        Click(centre());
        ASSERT_TRUE(View().InPlaceEditor()->isVisible());
    };
    const auto expectAsItWas = [&](const char* how, bool modified = false) {
        SCOPED_TRACE(how);
        EXPECT_FALSE(View().InPlaceEditor()->isVisible());
        EXPECT_EQ(state(), saved);
        EXPECT_EQ(View().UndoManager().UndoCount(), steps);
        EXPECT_EQ(Window().IsModified(), modified);
        EXPECT_EQ(TitleMarked(), modified);
    };
    open();
    ASSERT_TRUE(Trigger(CmdToolImage));
    expectAsItWas("another tool picked");
    open();
    Click(centre());
    expectAsItWas("a click on the text itself");
    open();
    // Escape is no key of the editor: it stays open until something closes it.
    QTest::keyClick(View().InPlaceEditor(), Qt::Key_Escape);
    EXPECT_TRUE(View().InPlaceEditor()->isVisible());
    Click(At(60, 40));
    expectAsItWas("Escape, then a click on the empty canvas");
    open();
    ASSERT_TRUE(Trigger(CmdFileSave));
    expectAsItWas("saved");
    open();
    CChildFrame* first = &Window();
    NewLabel();
    frame->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    ASSERT_EQ(&Window(), first);
    ASSERT_TRUE(Trigger(CmdToolSelect));
    expectAsItWas("another label made current and back");
    CLabelData onDisk;
    ReadBack(path, onDisk);
    ASSERT_EQ(onDisk.m_objects.size(), 1u);
    EXPECT_EQ(onDisk.m_objects[0]->GetHeight(), graph.GetHeight());
    EXPECT_EQ(onDisk.m_objects[0]->GetWidth(), graph.GetWidth());
    while (Trigger(CmdEditUndo)) {
    }
    while (Trigger(CmdEditRedo)) {
    }
    expectAsItWas("undone and redone all");

    // A box typed on the position tab stays too.
    services.OnNextDialog([](QDialog& d) {
        ctl<QTabWidget>(&d, 1117)->setCurrentIndex(3);
        RetypeText(Ctl<QLineEdit>(&d, 233, 1079), QStringLiteral("40"));
        RetypeText(Ctl<QLineEdit>(&d, 233, 1081), QStringLiteral("20"));
        QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
    });
    DoubleClick(centre());
    ASSERT_FLOAT_EQ(graph.GetWidth(), 40.0f);
    ASSERT_FLOAT_EQ(graph.GetHeight(), 20.0f);
    ASSERT_TRUE(Trigger(CmdFileSave));
    const auto sized = state();
    steps = View().UndoManager().UndoCount();
    open();
    ASSERT_TRUE(Trigger(CmdToolSelect));
    EXPECT_EQ(state(), sized);
    EXPECT_EQ(View().UndoManager().UndoCount(), steps);
    EXPECT_FALSE(TitleMarked());

    // Typed: the words and the box that fits them are one step, and the label is changed.
    EditInPlace(graph.GetX() + 20, graph.GetY() + 10, QStringLiteral("新字"));
    ASSERT_TRUE(Trigger(CmdToolSelect));
    EXPECT_EQ(graph.m_strText, QStringLiteral("新字"));
    EXPECT_LT(graph.GetWidth(), 40.0f);
    EXPECT_TRUE(TitleMarked());
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(state(), sized);
    EXPECT_FALSE(TitleMarked());
    // Closing the label with the editor open asks nothing: nothing was changed.
    open();
    ASSERT_TRUE(Trigger(CmdFileClose));
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(frame->LabelWindows().size(), 1);
}

// "更多颜色..." from a colour button's pop-up: Cancel in the colour dialog changes
// nothing at all, OK is one step that colours the object.
TEST_F(EditorSessionTest, ACancelledColourDialogChangesNothing)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* text = Last();
    Create(CmdToolRectangle, 10, 30);
    CBaseProxy* box = Last();
    services.files = {m_dir.filePath("colours.vmk")};
    ASSERT_TRUE(Trigger(CmdFileSave));
    const auto colours = [](const CBaseProxy* proxy) {
        const CBaseGraph& o = *proxy->GetObject();
        return std::array<uint32_t, 4>{o.m_crText, o.m_crFill, o.m_crSpare, o.m_crLine};
    };
    for (const int button : {CmdFontColour, CmdBackColour, CmdLineColour, CmdFillColour}) {
        SCOPED_TRACE(button);
        CBaseProxy* proxy = button == CmdFontColour || button == CmdBackColour ? text : box;
        View().SelectObject(proxy);
        QAction* more = nullptr;
        for (QAction* action : ctl<QToolButton>(frame, button)->menu()->actions())
            if (action->text() == QStringLiteral("更多颜色..."))
                more = action;
        ASSERT_NE(more, nullptr);
        const auto before = colours(proxy);
        const size_t steps = View().UndoManager().UndoCount();
        const bool modified = Window().IsModified();
        Settle();
        more->trigger(); // the fake colour dialog is cancelled
        Settle();
        EXPECT_EQ(colours(proxy), before);
        EXPECT_EQ(View().UndoManager().UndoCount(), steps);
        EXPECT_EQ(Window().IsModified(), modified);
        EXPECT_EQ(TitleMarked(), modified);

        services.colors = {QColor(0x12, 0x34, 0x56)};
        more->trigger();
        Settle();
        EXPECT_NE(colours(proxy), before);
        EXPECT_TRUE(TitleMarked());
        ASSERT_TRUE(Trigger(CmdEditUndo));
        EXPECT_EQ(colours(proxy), before);
        ASSERT_TRUE(Trigger(CmdEditRedo));
    }
}

// The step between a ring text's letters, which drawing an evenly spread ring rewrites,
// comes back exactly with an undone layout, and is what the file then stores.
TEST_F(EditorSessionTest, UndoingARingLayoutGivesBackTheStoredAngleStep)
{
    Create(CmdToolText, 10, 10);
    const CTextGraph& text = TextOf(Last());
    const float step = text.m_fAngleStep;
    ASSERT_TRUE(Trigger(CmdCircularText));
    View().Render();
    ASSERT_NE(text.m_fAngleStep, step); // four letters spread round the ring
    const float ring = text.m_fAngleStep;
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(text.m_fAngleStep, step);
    ASSERT_TRUE(Trigger(CmdEditRedo));
    View().Render();
    EXPECT_EQ(text.m_nLayoutMode, CurvedText);
    EXPECT_EQ(text.m_fAngleStep, ring);
    ASSERT_TRUE(Trigger(CmdEditUndo));
    const QString path = m_dir.filePath("ring.vmk");
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    CLabelData onDisk;
    ReadBack(path, onDisk);
    ASSERT_EQ(onDisk.m_objects.size(), 1u);
    EXPECT_EQ(static_cast<const CTextGraph&>(*onDisk.m_objects[0]).m_fAngleStep, step);
}

TEST_F(EditorSessionTest, UndoingAnEarlierPropertyEditKeepsALaterTypedText)
{
    Create(CmdToolText, 10, 10);
    CBaseProxy* text = Last();
    // A property edit through the dialog the double click opens: a new name.
    services.OnNextDialog([](QDialog& dialog) {
        RetypeText(ctl<QLineEdit>(page<QWidget>(&dialog, 232), 1079), QStringLiteral("改名"));
        QTest::mouseClick(ctl<QPushButton>(&dialog, 1), Qt::LeftButton);
    });
    DoubleClick(At(12, 11));
    ASSERT_EQ(text->GetObject()->m_strName, QStringLiteral("改名"));
    EditInPlace(12, 11, QStringLiteral("新字"));
    ASSERT_TRUE(Trigger(CmdToolSelect)); // commits the editor

    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(TextOf(text).m_strText, QStringLiteral("样例文字"));
    EXPECT_EQ(text->GetObject()->m_strName, QStringLiteral("改名"));
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_NE(text->GetObject()->m_strName, QStringLiteral("改名"));
    ASSERT_TRUE(Trigger(CmdEditRedo));
    ASSERT_TRUE(Trigger(CmdEditRedo));
    EXPECT_EQ(text->GetObject()->m_strName, QStringLiteral("改名"));
    EXPECT_EQ(TextOf(text).m_strText, QStringLiteral("新字"));
}

TEST_F(EditorSessionTest, UndoWhileDraggingFinishesTheDragFirst)
{
    Create(CmdToolRectangle, 10, 10);
    Create(CmdToolEllipse, 30, 10);
    Create(CmdToolRectangle, 10, 25);
    CBaseProxy* last = Last();
    const float x = last->GetObject()->GetX();
    // Rubber band around all three, then a drag with Ctrl+Z before the release.
    Drag(At(2, 2), At(60, 45));
    ASSERT_EQ(View().GetSelection().size(), 3u);
    const QPoint grip = OnEdge(last);
    QTest::mousePress(&View(), Qt::LeftButton, {}, grip);
    QTest::mouseMove(&View(), grip + QPoint(20, 10));
    ASSERT_TRUE(Trigger(CmdEditUndo));
    QTest::mouseMove(&View(), grip + QPoint(30, 10));
    QTest::mouseRelease(&View(), Qt::LeftButton, {}, grip + QPoint(30, 10));
    // The drag became one step, and that step was undone: all three are back.
    EXPECT_EQ(View().ObjectList().size(), 3u);
    EXPECT_EQ(last->GetObject()->GetX(), x);
    ASSERT_TRUE(Trigger(CmdEditUndo)); // the third object's creation
    EXPECT_EQ(View().ObjectList().size(), 2u);
    ASSERT_TRUE(Trigger(CmdEditRedo));
    ASSERT_TRUE(Trigger(CmdEditRedo));
    EXPECT_EQ(View().ObjectList().size(), 3u);
    ASSERT_TRUE(Trigger(CmdEditUndo));
    ASSERT_TRUE(Trigger(CmdEditUndo));
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(View().ObjectList().size(), 1u);
}

TEST_F(EditorSessionTest, DeletingManyObjectsTakesThemAllAndUndoPutsEachBackInItsPlace)
{
    for (int i = 0; i < 5; ++i)
        Create(CmdToolRectangle, 5 + 16 * i, 5);
    std::vector<CBaseProxy*> drawn;
    for (const auto& proxy : View().ObjectList())
        drawn.push_back(proxy.get());
    const auto order = [&] {
        std::vector<CBaseProxy*> list;
        for (const auto& proxy : View().ObjectList())
            list.push_back(proxy.get());
        return list;
    };
    // Everything, with the Del key.
    ASSERT_TRUE(Trigger(CmdEditSelectAll));
    QApplication::setActiveWindow(frame);
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_TRUE(View().ObjectList().empty());
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(order(), drawn);

    // Picked from the top down with Shift, one left out between them, then cut.
    Click(OnEdge(drawn[4]));
    for (const int i : {3, 1})
        QTest::mouseClick(&View(), Qt::LeftButton, Qt::ShiftModifier, OnEdge(drawn[i]));
    ASSERT_EQ(View().GetSelection().size(), 3u);
    ASSERT_TRUE(Trigger(CmdEditCut));
    EXPECT_EQ(order(), (std::vector<CBaseProxy*>{drawn[0], drawn[2]}));
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(order(), drawn);
    ASSERT_TRUE(Trigger(CmdEditRedo));
    EXPECT_EQ(order(), (std::vector<CBaseProxy*>{drawn[0], drawn[2]}));
}

TEST_F(EditorSessionTest, UndoingAGroupRotationBringsEveryObjectBackToItsPlace)
{
    Create(CmdToolRectangle, 10, 10);
    Create(CmdToolEllipse, 40, 20);
    ASSERT_TRUE(Trigger(CmdEditSelectAll));
    const auto geometry = [&] {
        std::vector<std::array<float, 3>> all;
        for (const auto& proxy : View().ObjectList())
            all.push_back({proxy->GetObject()->GetX(), proxy->GetObject()->GetY(), proxy->GetObject()->m_fAngle});
        return all;
    };
    const auto before = geometry();
    // The rotate tool's corner handle turns the two about their common centre.
    ASSERT_TRUE(Trigger(CmdToolRotate));
    View().Render();
    CBaseProxy* grip = View().ObjectList().front().get();
    const CanvasMapping m = View().Mapping();
    const QPoint at = grip->GetHandleRect(0).center() + m.ZoomedMargin() -
                      QPoint(static_cast<int>(m.scrollX), static_cast<int>(m.scrollY));
    Drag(at, at + QPoint(40, -30));
    const auto turned = geometry();
    ASSERT_NE(turned[0][2], 0.0f);
    ASSERT_NE(turned[1][0], before[1][0]); // carried round, not only turned

    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_EQ(geometry(), before);
    ASSERT_TRUE(Trigger(CmdEditRedo));
    EXPECT_EQ(geometry(), turned);
}

TEST_F(EditorSessionTest, EveryHandleSizesEveryKindToANumberAndUndoBringsItBack)
{
    const int tools[] = {CmdToolBarcode, CmdToolText,    CmdToolLine,  CmdToolRectangle,
                         CmdToolEllipse, CmdToolPolygon, CmdToolImage};
    const QPoint drags[] = {{-400, 0}, {0, -300}, {-400, -300}, {60, 40}, {-8, -6}};
    // Changed once at the release, and changed all along the drag.
    for (const bool instant : {false, true}) {
        settings.m_bInstantSizing = instant;
        for (const int tool : tools) {
            Create(tool, 30, 15);
            CBaseProxy* proxy = Last();
            for (int handle = 0; handle < 8; ++handle)
                for (const QPoint by : drags) {
                    SCOPED_TRACE(testing::Message() << "tool " << tool << " handle " << handle << " by " << by.x()
                                                    << "," << by.y() << (instant ? " instant" : ""));
                    View().SelectObject(proxy);
                    View().Render();
                    if (!proxy->IsHandleEnabled(handle))
                        continue;
                    const CBaseGraph& object = *proxy->GetObject();
                    const auto box = [&] {
                        return std::array<float, 4>{object.GetX(), object.GetY(), object.GetWidth(), object.GetHeight()};
                    };
                    const auto before = box();
                    const CanvasMapping m = View().Mapping();
                    const QPoint at = proxy->GetHandleRect(handle).center() + m.ZoomedMargin() -
                                      QPoint(static_cast<int>(m.scrollX), static_cast<int>(m.scrollY));
                    const size_t steps = View().UndoManager().UndoCount();
                    Drag(at, at + by);
                    for (const float v : box())
                        EXPECT_TRUE(std::isfinite(v));
                    if (View().UndoManager().UndoCount() == steps)
                        continue;
                    ASSERT_TRUE(Trigger(CmdEditUndo));
                    EXPECT_EQ(box(), before);
                }
        }
    }
}

TEST_F(EditorSessionTest, ObjectsCopiedFromALabelSinceClosedPasteIntoAnotherAndSurviveItsFile)
{
    Create(CmdToolBarcode, 10, 10);
    Create(CmdToolText, 10, 30);
    EditInPlace(12, 31, QStringLiteral("随件"));
    ASSERT_TRUE(Trigger(CmdEditSelectAll));
    ASSERT_TRUE(Trigger(CmdEditCopy));
    CChildFrame* source = &Window();
    NewLabel();
    // The label they came from goes, unsaved.
    frame->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(source->parentWidget()));
    services.answers = {IDNO};
    ASSERT_TRUE(Trigger(CmdFileClose));
    ASSERT_EQ(frame->LabelWindows().size(), 1);

    ASSERT_TRUE(Trigger(CmdEditPaste));
    ASSERT_TRUE(Trigger(CmdEditPaste));
    ASSERT_EQ(View().ObjectList().size(), 4u);
    ASSERT_TRUE(Trigger(CmdEditUndo));
    ASSERT_TRUE(Trigger(CmdEditRedo));
    for (const auto& proxy : View().ObjectList()) {
        EXPECT_EQ(proxy->m_pLabel, &Window().LabelData());
        EXPECT_EQ(proxy->GetObject()->m_pLabelData, &Window().LabelData());
    }
    const QString path = m_dir.filePath("pasted.vmk");
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    EXPECT_EQ(TextsOnDisk(path), (QStringList{QStringLiteral("随件"), QStringLiteral("随件")}));
}

TEST_F(EditorSessionTest, KeysWorkAtOnceWhenTheCanvasHasTheFocus)
{
    Create(CmdToolRectangle, 10, 10);
    ASSERT_TRUE(Trigger(CmdEditUndo));
    ASSERT_TRUE(Trigger(CmdEditRedo));
    View().setFocus();
    Click(QPoint(2, 2)); // nothing selected
    EXPECT_FALSE(Enabled(CmdEditDelete));
    Click(OnEdge(Last()));
    EXPECT_TRUE(Enabled(CmdEditDelete));
    // The status bar names the object in hand.
    QString name, position, size;
    Last()->GetStatusPanes(name, position, size);
    EXPECT_FALSE(name.isEmpty());
    EXPECT_EQ(frame->StatusBar()->PaneText(1), name);
    EXPECT_EQ(frame->StatusBar()->PaneText(2), position);
    EXPECT_EQ(frame->StatusBar()->PaneText(3), size);

    QApplication::setActiveWindow(frame);
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_TRUE(View().ObjectList().empty());
    EXPECT_TRUE(Enabled(CmdEditUndo));
    QTest::keyClick(&View(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(View().ObjectList().size(), 1u);
    Click(OnEdge(Last()));
    const float y = Last()->GetObject()->GetY();
    QTest::keyClick(&View(), Qt::Key_Down);
    EXPECT_EQ(Last()->GetObject()->GetY(), y + 1);
    QTest::keyClick(&View(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Last()->GetObject()->GetY(), y);
}

// 显示选项 sets what is saved with the label: a change there marks it, closing asks,
// and undo no longer claims to reach the saved state. A grid that is no number, or
// one beyond the arrows' range, is refused in the dialog.
TEST_F(EditorSessionTest, ViewOptionsAreAChangeOfTheDocument)
{
    Create(CmdToolRectangle, 10, 10);
    const QString path = m_dir.filePath("grid.vmk");
    services.files = {path};
    ASSERT_TRUE(Trigger(CmdFileSave));
    Create(CmdToolRectangle, 40, 10);
    const float grid = Window().LabelData().m_fGridSize;
    const auto options = [&](const QString& typed) {
        services.OnNextDialog([&](QDialog& d) {
            auto* edit = ctl<QLineEdit>(&d, 1079);
            edit->setText(typed);
            QTest::mouseClick(ctl<QPushButton>(&d, 1), Qt::LeftButton);
            if (d.isVisible())
                QTest::mouseClick(ctl<QPushButton>(&d, 2), Qt::LeftButton);
        });
        ASSERT_TRUE(Trigger(CmdViewOptions));
    };
    for (const char* typed : {"1e91", "-1e39", "-1", "101"}) {
        options(QString::fromLatin1(typed));
        EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("网格大小必须是 0 到 100 之间的数，请重新输入。")})
            << typed;
        services.messages.clear();
        EXPECT_EQ(Window().LabelData().m_fGridSize, grid);
    }
    // Unchanged, OK changes nothing: the drawing is still one undo away from the file.
    options(FormatFloatShort2(grid));
    EXPECT_TRUE(services.messages.empty());
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_FALSE(TitleMarked());
    ASSERT_TRUE(Trigger(CmdEditRedo));

    options(QStringLiteral("2.5"));
    EXPECT_EQ(Window().LabelData().m_fGridSize, 2.5f);
    EXPECT_TRUE(TitleMarked());
    EXPECT_TRUE(Window().IsModified());
    // Undoing the rectangle drawn before would not give the saved label back.
    EXPECT_FALSE(Trigger(CmdEditUndo));
    EXPECT_TRUE(Window().IsModified());
    services.answers = {IDYES};
    ASSERT_TRUE(Trigger(CmdFileClose));
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("是否保存对标签文件 grid.vmk 的修改？")});
    CLabelData saved;
    ReadBack(path, saved);
    EXPECT_EQ(saved.m_fGridSize, 2.5f);
}

// 全部最小化 and a restore leave the label that was current the current one.
TEST_F(EditorSessionTest, AfterMinimisingAllTheLastCurrentLabelIsCurrentAgain)
{
    NewLabel();
    LabelDocumentWindow* second = frame->ActiveLabelWindow();
    ASSERT_TRUE(Trigger(CmdWindowMinimizeAll));
    EXPECT_TRUE(frame->isMinimized());
    frame->showNormal();
    Settle();
    EXPECT_EQ(frame->ActiveLabelWindow(), second);
    ASSERT_NE(frame->MdiArea()->currentSubWindow(), nullptr);
    EXPECT_EQ(frame->MdiArea()->currentSubWindow()->widget(), second);
    EXPECT_TRUE(Enabled(CmdFileSave));
    Create(CmdToolRectangle, 10, 10);
    EXPECT_EQ(View().ObjectList().size(), 1u);
}

// A guide pulled out of a ruler and released back over it is gone; released on the
// canvas it stays where it was let go.
TEST_F(EditorSessionTest, AGuideReleasedBackOverItsRulerIsDeleted)
{
    for (const bool horizontal : {true, false}) {
        SCOPED_TRACE(horizontal);
        QWidget* ruler = horizontal ? static_cast<QWidget*>(&Window().HorzRuler()) : &Window().VertRuler();
        const QPoint across = horizontal ? QPoint(0, 1) : QPoint(1, 0);
        const QPoint start = horizontal ? QPoint(200, 12) : QPoint(12, 200);
        const auto pull = [&](QPoint release) {
            QTest::mousePress(ruler, Qt::LeftButton, {}, start);
            QTest::mouseMove(ruler, start + across * 20);
            QTest::mouseMove(ruler, start + across * 120);
            ASSERT_FALSE(View().Guides().empty());
            QTest::mouseRelease(ruler, Qt::LeftButton, {}, release);
            Settle();
        };
        View().Guides().clear();
        pull(start);
        EXPECT_TRUE(View().Guides().empty());
        pull(start + across * 12); // the ruler's lower or right edge, the canvas's 0
        EXPECT_TRUE(View().Guides().empty());
        pull(start + across * 13);
        ASSERT_EQ(View().Guides().size(), 1u);
        EXPECT_EQ(View().Guides().front()->m_nOrientation, horizontal ? 1 : 0);
        pull(start + across * 120);
        EXPECT_EQ(View().Guides().size(), 2u);
    }
}

TEST_F(EditorSessionTest, TheFormatBoxesShowAndSetTheCurrentTextsFont)
{
    QComboBox* size = frame->FontSizeCombo();
    Create(CmdToolRectangle, 40, 10);
    Settle();
    EXPECT_FALSE(size->isEnabled());
    Create(CmdToolText, 10, 10);
    auto& text = TextOf(Last());
    Settle();
    ASSERT_TRUE(size->isEnabled());
    EXPECT_EQ(size->currentText(), QStringLiteral("12"));
    // The name box names the text's font, installed or not.
    QComboBox* name = frame->FontNameCombo();
    EXPECT_EQ(name->currentIndex() < 0 ? name->placeholderText() : name->currentText(), text.m_strFontName);
    const QString installed = name->itemText(0);
    ChooseItem(name, 0);
    Settle();
    EXPECT_EQ(text.m_strFontName, installed);
    EXPECT_EQ(name->currentText(), installed);
    ASSERT_TRUE(Trigger(CmdEditUndo));
    Settle();
    EXPECT_EQ(name->currentIndex() < 0 ? name->placeholderText() : name->currentText(), text.m_strFontName);
    // A size typed and confirmed with Return: one step, and the box keeps it.
    const size_t steps = View().UndoManager().UndoCount();
    RetypeText(size->lineEdit(), QStringLiteral("20.5"));
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    Settle();
    EXPECT_FLOAT_EQ(text.m_fFontSize, 20.5f);
    EXPECT_EQ(View().UndoManager().UndoCount(), steps + 1);
    Settle();
    EXPECT_EQ(size->currentText(), QStringLiteral("20.5"));
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_FLOAT_EQ(text.m_fFontSize, 12.0f);
    Settle();
    EXPECT_EQ(size->currentText(), QStringLiteral("12")); // the undone size shows
    // Letters are no size: the text keeps its own, with no step, and the box shows it.
    RetypeText(size->lineEdit(), QStringLiteral("abc"));
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    Settle();
    EXPECT_FLOAT_EQ(text.m_fFontSize, 12.0f);
    EXPECT_EQ(View().UndoManager().UndoCount(), steps);
    EXPECT_EQ(size->currentText(), QStringLiteral("12"));
    // A barcode's text line is part of its height: its box follows a new size.
    Create(CmdToolBarcode, 10, 30);
    CBaseGraph& barcode = *Last()->GetObject();
    const float height = barcode.GetHeight();
    Settle();
    RetypeText(size->lineEdit(), QStringLiteral("24"));
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    Settle();
    EXPECT_GT(barcode.GetHeight(), height + 2.0f);
    ASSERT_TRUE(Trigger(CmdEditUndo));
    EXPECT_FLOAT_EQ(barcode.GetHeight(), height);
    // Nothing with a font in hand: the box names none.
    Click(OnEdge(View().ObjectList().front().get()));
    Settle();
    EXPECT_FALSE(name->isEnabled());
    EXPECT_EQ(name->currentIndex(), -1);
    EXPECT_TRUE(name->placeholderText().isEmpty());
}

// Every command a user can reach: the menu bar at every depth, the tool bars with
// their buttons' pop-ups and boxes, the canvas's context menus.
std::set<int> ReachableCommands(CMainFrame& frame)
{
    std::set<int> ids;
    std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
        for (QAction* action : actions) {
            if (action->menu())
                walk(action->menu()->actions());
            const QVariant id = action->property("commandId");
            if (id.isValid() && action->isVisible())
                ids.insert(id.toInt());
        }
    };
    walk(frame.menuBar()->actions());
    for (QToolBar* bar : frame.findChildren<QToolBar*>()) {
        walk(bar->actions());
        for (QToolButton* button : bar->findChildren<QToolButton*>()) {
            if (button->defaultAction())
                walk({button->defaultAction()});
            if (button->menu())
                walk(button->menu()->actions());
        }
    }
    for (const int box : {CmdFontName, CmdFontSize})
        if (frame.findChild<QWidget*>(CtlName(box)))
            ids.insert(box);
    for (int kind = -1; kind <= KindImage; ++kind)
        for (const int id : CanvasContextMenu(kind))
            if (id != 0)
                ids.insert(id);
    for (const int id : {CmdDragMove, CmdDragCopy, CmdDragCancel})
        ids.insert(id);
    return ids;
}

// The README's list of what the program does not do yet.
QString NotYetThere()
{
    QFile readme(QStringLiteral(VC_SOURCE_DIR "/README.md"));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype start = text.indexOf(QStringLiteral("## What it does not do"));
    return start < 0 ? QString() : text.mid(start);
}

// An action's words as a person reads them: without its mnemonic and dots.
QString Words(int id, QAction* action)
{
    if (id == CmdFontName)
        return QStringLiteral("the font-name box");
    if (id == CmdFontSize)
        return QStringLiteral("the font-size box");
    QString text = action->text().isEmpty() ? action->toolTip() : action->text();
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|\\.\\.\\.|…")));
    return text.trimmed();
}

TEST_F(EditorSessionTest, EveryReachableCommandWorksOrIsListedAsNotThereYet)
{
    for (const int tool : {CmdToolBarcode, CmdToolText, CmdToolLine, CmdToolRectangle, CmdToolEllipse,
                           CmdToolPolygon, CmdToolImage})
        Create(tool, 5, 5 + 6 * (tool - CmdToolBarcode) / 2.0f);
    QTest::keyClick(&View(), Qt::Key_Down);
    ASSERT_TRUE(Trigger(CmdEditUndo)); // something to redo
    ASSERT_TRUE(Trigger(CmdEditCopy)); // something to paste

    const std::set<int> ids = ReachableCommands(*frame);
    std::set<int> enabled;
    const auto survey = [&](const char* state) {
        Settle();
        for (const int id : ids) {
            frame->Commands().UpdateAction(id);
            if (!Action(id)->isEnabled())
                continue;
            enabled.insert(id);
            EXPECT_TRUE(frame->Commands().IsHandled(id)) << id << " enabled without a handler, " << state;
        }
    };
    View().ClearSelection();
    survey("nothing selected");
    View().SelectAll();
    for (const auto& proxy : View().ObjectList()) {
        View().SetCurrentObject(proxy.get());
        survey("all selected");
    }

    // Each enabled command runs: something takes it. Those that end the window or
    // the program come last, and are not run here.
    const std::set<int> ending = {CmdAppExit, CmdFileClose, CmdFileCloseAll, CmdWindowCloseAll};
    for (const int id : enabled) {
        if (ending.count(id) || !View().isVisible())
            continue;
        View().SelectAll();
        View().SetCurrentObject(View().ObjectList().empty() ? nullptr : View().ObjectList().front().get());
        Settle();
        frame->Commands().UpdateAction(id);
        if (Action(id)->isEnabled()) {
            // Whatever dialog the command opens is cancelled.
            for (int i = 0; i < 3; ++i)
                services.OnNextDialog([](QDialog& dialog) { dialog.reject(); });
            EXPECT_TRUE(frame->Commands().Execute(id)) << id;
            services.dialogs.clear();
        }
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != frame && window->isVisible() && !window->inherits("QMenu"))
                window->close();
    }

    // What never showed enabled must be in the README's list of what is not there yet.
    const QString notYet = NotYetThere();
    ASSERT_FALSE(notYet.isEmpty());
    for (const int id : ids) {
        if (enabled.count(id))
            continue;
        const QString words = Words(id, Action(id));
        EXPECT_TRUE(!words.isEmpty() && notYet.contains(words))
            << id << " \"" << words.toStdString() << "\" is never enabled and the README does not list it";
    }
}

// A save while the press that creates a barcode is still down writes the barcode where
// it is, not where a drawing of it last was (it has not been drawn yet).
TEST_F(EditorSessionTest, SavingDuringTheCreatingPressWritesTheBarcodesPlace)
{
    ASSERT_TRUE(Trigger(CmdToolBarcode));
    const QString path = m_dir.filePath("pressed.vmk");
    services.files = {path};
    QApplication::setActiveWindow(frame);
    View().setFocus();
    Settle();
    // Ctrl+S with the button still down, before anything was painted.
    QTest::mousePress(&View(), Qt::LeftButton, {}, At(30, 20));
    QTest::keyClick(&View(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(View().ObjectList().size(), 1u);
    ASSERT_TRUE(QFileInfo::exists(path));
    const CBaseGraph& object = *Last()->GetObject();
    QTest::mouseRelease(&View(), Qt::LeftButton, {}, At(30, 20));
    CLabelData saved;
    ReadBack(path, saved);
    ASSERT_EQ(saved.m_objects.size(), 1u);
    const auto& barcode = static_cast<const CBarcodeGraph&>(*saved.m_objects[0]);
    const CBarcodeSettings& settings = *barcode.GetImpl()->GetSettings();
    EXPECT_NEAR(object.GetX(), 30, 0.5);
    EXPECT_EQ(settings.m_fX, object.GetX());
    EXPECT_EQ(settings.m_fY, object.GetY());
    EXPECT_EQ(barcode.GetX(), object.GetX());
}

} // namespace
