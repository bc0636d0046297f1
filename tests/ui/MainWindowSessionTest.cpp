// The main window as a user meets it: prompts and tips under the mouse, the menus,
// the colour buttons, what 新建 and the recent files open, the canvas's marks while
// drawing, turning, copying and editing in place, help, Qt's own texts and titles.
#include "SessionTestSupport.h"

#include "app/HelpWindow.h"
#include "app/SplashWindow.h"
#include "app/TemplateWnd.h"
#include "app/VXBaseDialog.h"
#include "app/VXStatusBar.h"
#include "model/GlobalSettings.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"

#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class MainWindowSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        settings.m_bInstantMoving = settings.m_bInstantSizing = settings.m_bInstantRotating = false;
        settings.m_bContinueCreating = settings.m_bCreateAsHVLine = false;
    }
    void TearDown() override
    {
        delete CHelpWindow::Current();
        SessionTest::TearDown();
    }

    // The top-level menu of the menu bar with that title.
    QMenu* Menu(const QString& title) const
    {
        for (QAction* action : frame->menuBar()->actions())
            if (action->text() == title)
                return action->menu();
        return nullptr;
    }
    // The tool bar button that triggers the command.
    QToolButton* Button(int resourceId, int id)
    {
        for (QToolButton* button : frame->ToolBar(resourceId)->findChildren<QToolButton*>())
            if (button->defaultAction() == Action(id))
                return button;
        return nullptr;
    }
    // The canvas's frame as it is on the screen.
    QImage Frame()
    {
        View().Render();
        return View().BackBuffer();
    }
    static bool Dark(const QImage& image, QPoint p) { return qGray(image.pixel(p)) < 100; }
    // A line through p, wherever its pixels round to.
    static bool DarkAround(const QImage& image, QPoint p)
    {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (Dark(image, p + QPoint(dx, dy)))
                    return true;
        return false;
    }
    static bool Green(const QImage& image, QPoint p)
    {
        const QColor c = image.pixelColor(p);
        return c.green() > 200 && c.red() < 80 && c.blue() < 80;
    }
    void Press(QPoint at, Qt::KeyboardModifiers mods = {})
    {
        QTest::mousePress(&View(), Qt::LeftButton, mods, at);
    }
    void Move(QPoint to, Qt::KeyboardModifiers mods = {})
    {
        QMouseEvent move(QEvent::MouseMove, to, View().mapToGlobal(to), Qt::NoButton, Qt::LeftButton, mods);
        QApplication::sendEvent(&View(), &move);
    }
    void Release(QPoint at, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseRelease(&View(), Qt::LeftButton, mods, at);
    }

    CGlobalSettings& settings = *CGlobalSettings::GetInstance();
};

} // namespace

TEST_F(MainWindowSession, ArrangePromptsShowInTheStatusBarAndTheButtonsTipsAreTheirs)
{
    CVXStatusBar* bar = frame->StatusBar();
    // A button of the 排列 bar under the mouse: its prompt in the status bar, its tip.
    QToolButton* left = Button(29108, CmdAlignLeft);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->toolTip(), "左对齐");
    QTest::mouseMove(left);
    Settle();
    EXPECT_FALSE(bar->ShowsPanes());
    EXPECT_EQ(bar->MessageText(), "将所选对象左对齐");
    QTest::mouseMove(&View(), At(5, 5));
    Settle();
    EXPECT_TRUE(bar->ShowsPanes());

    const std::pair<int, const char*> tips[] = {
        {CmdSameSize, "等宽高"}, {CmdDistributeH, "水平平分"}, {CmdBringToFront, "置于顶层"}};
    for (const auto& [id, tip] : tips)
        EXPECT_EQ(Button(29108, id)->toolTip(), QString::fromUtf8(tip)) << id;
    // The rotate and edit-data tools have tips of their own.
    EXPECT_EQ(Button(29107, CmdToolRotate)->toolTip(), "旋转");
    EXPECT_EQ(Button(29107, CmdToolEditData)->toolTip(), "编辑数据");

    // An entry of the 排列 menu under the mouse, usable or not yet.
    QMenu* arrange = Menu("排列(&A)");
    ASSERT_NE(arrange, nullptr);
    frame->menuBar()->setActiveAction(arrange->menuAction());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(arrange));
    // The mouse travels over the menu to the entry.
    const QPoint lock = arrange->actionGeometry(Action(CmdLock)).center();
    for (int step = 8; step >= 0; --step)
        QTest::mouseMove(arrange, lock + QPoint(step, 0));
    ASSERT_FALSE(Action(CmdLock)->isEnabled());
    Settle();
    EXPECT_EQ(bar->MessageText(), "将所选对象锁定位置");
    QTest::mouseMove(arrange, arrange->actionGeometry(Action(CmdShowBackground)).center());
    Settle();
    EXPECT_EQ(bar->MessageText(), "在设计视图中显示标签的背景颜色或图片");
    arrange->close();
}

TEST_F(MainWindowSession, TheWindowMenuOpensANewLabelWindow)
{
    QMenu* window = Menu("窗口(&W)");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->actions().contains(Action(CmdWindowNew)));
    EXPECT_EQ(Action(CmdWindowNew)->text(), "新建标签窗口");
    const qsizetype before = frame->LabelWindows().size();
    services.OnNextDialog([](QDialog& dialog) { dialog.accept(); });
    ASSERT_TRUE(Trigger(CmdWindowNew));
    EXPECT_EQ(frame->LabelWindows().size(), before + 1);
}

TEST_F(MainWindowSession, ALineComesOutStraightAsItsPreviewShowsIt)
{
    // With the option: the longer extent wins, while dragging and in the result.
    settings.m_bCreateAsHVLine = true;
    ASSERT_TRUE(Trigger(CmdToolLine));
    const QPoint s = At(10, 10), p = At(40, 20);
    Press(s);
    Move(s + (p - s) / 2);
    Move(p);
    QImage shown = Frame();
    EXPECT_TRUE(Dark(shown, QPoint((s.x() + p.x()) / 2, s.y())));
    EXPECT_FALSE(Dark(shown, (s + p) / 2));
    Release(p);
    auto* line = dynamic_cast<CLineGraph*>(Last()->GetObject());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->m_fY1, line->m_fY2);
    EXPECT_GT(line->m_fX2 - line->m_fX1, 25.0f);
    EXPECT_TRUE(line->m_bHorzVertOnly);

    // Without it, Ctrl held while dragging does the same: here it comes out vertical.
    settings.m_bCreateAsHVLine = false;
    ASSERT_TRUE(Trigger(CmdToolLine));
    const QPoint a = At(10, 25), b = At(16, 45);
    Press(a, Qt::ControlModifier);
    Move(b, Qt::ControlModifier);
    shown = Frame();
    EXPECT_TRUE(Dark(shown, QPoint(a.x(), (a.y() + b.y()) / 2)));
    EXPECT_FALSE(Dark(shown, (a + b) / 2));
    Release(b, Qt::ControlModifier);
    line = dynamic_cast<CLineGraph*>(Last()->GetObject());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->m_fX1, line->m_fX2);
    EXPECT_FALSE(line->m_bHorzVertOnly);
    // Ctrl pressed and let go with the mouse still: the preview follows at once.
    ASSERT_TRUE(Trigger(CmdToolLine));
    const QPoint c = At(30, 25), d = At(50, 30);
    Press(c);
    Move(d);
    EXPECT_TRUE(DarkAround(Frame(), (c + d) / 2));
    QTest::keyPress(&View(), Qt::Key_Control);
    EXPECT_FALSE(DarkAround(Frame(), (c + d) / 2));
    EXPECT_TRUE(Dark(Frame(), QPoint((c.x() + d.x()) / 2, c.y())));
    QTest::keyRelease(&View(), Qt::Key_Control);
    EXPECT_TRUE(DarkAround(Frame(), (c + d) / 2));
    Release(d);
}

TEST_F(MainWindowSession, CreationPreviewsAreSolidAndWaitForTheDragToStart)
{
    ASSERT_TRUE(Trigger(CmdToolRectangle));
    const QPoint s = At(10, 10);
    Press(s);
    Move(s + QPoint(3, 2)); // still inside the dead zone
    QImage shown = Frame();
    for (int x = -1; x <= 4; ++x)
        for (int y = -1; y <= 3; ++y)
            EXPECT_FALSE(Dark(shown, s + QPoint(x, y))) << x << "," << y;
    const QPoint p = s + QPoint(60, 30);
    Move(p);
    shown = Frame();
    // Every pixel of the edges: a solid pen, not a dotted one.
    for (int x = s.x(); x <= p.x(); ++x) {
        EXPECT_TRUE(Dark(shown, QPoint(x, s.y()))) << x;
        EXPECT_TRUE(Dark(shown, QPoint(x, p.y()))) << x;
    }
    for (int y = s.y(); y <= p.y(); ++y)
        EXPECT_TRUE(Dark(shown, QPoint(s.x(), y))) << y;
    Release(p);
    EXPECT_EQ(View().ObjectList().size(), 1u);
}

TEST_F(MainWindowSession, TurningSeveralObjectsShowsTheCentreTheyTurnAbout)
{
    Create(CmdToolRectangle, 10, 10);
    Create(CmdToolRectangle, 40, 25);
    ASSERT_TRUE(Trigger(CmdEditSelectAll));
    ASSERT_TRUE(Trigger(CmdToolRotate));
    const QPoint centre = View().EditStatus().m_rotationCentre;
    const QImage shown = Frame();
    shown.save(QDir::temp().filePath("vellumcraft-group-turn.png"));
    EXPECT_TRUE(Dark(shown, centre));
    EXPECT_TRUE(Green(shown, centre + QPoint(3, 0)));
    EXPECT_TRUE(Green(shown, centre - QPoint(3, 0)));
    // With one object alone it turns about its own centre: no mark.
    Click(At(70, 45));
    Click(At(13, 10));
    ASSERT_EQ(View().GetSelection().size(), 1u);
    const QImage single = Frame();
    EXPECT_FALSE(Green(single, centre + QPoint(3, 0)));
}

TEST_F(MainWindowSession, TheInPlaceEditorIsFramedAndHidesTheObjectUnderIt)
{
    Create(CmdToolText, 20, 20);
    ASSERT_TRUE(Trigger(CmdToolEditData));
    Click(At(22, 21));
    QWidget* editor = View().InPlaceEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());
    const QRect box = editor->geometry();
    const QImage shown = Frame();
    // The frame is our marking in the buffer; the picture saved shows the editor on it.
    View().grab().save(QDir::temp().filePath("vellumcraft-in-place-edit.png"));
    int green = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        green += Green(shown, QPoint(box.left() - 1, y)) ? 1 : 0;
    EXPECT_GT(green, 0);
    // Neither the text nor its selection marks are drawn under the editor.
    int dark = 0;
    for (int y = box.top() - 6; y <= box.bottom() + 6; ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            dark += Dark(shown, QPoint(x, y)) ? 1 : 0;
    EXPECT_EQ(dark, 0);
}

TEST_F(MainWindowSession, ACopyDragShowsTheObjectsThemselvesMoving)
{
    Create(CmdToolRectangle, 10, 10);
    CBaseProxy* box = Last();
    box->GetObject()->m_crFill = 0xFFFF0000u;
    ASSERT_TRUE(Trigger(CmdToolSelect));
    const QPoint grab = At(15, 14);
    Click(grab);
    ASSERT_EQ(View().CurrentObject(), box);
    const QPoint travel(120, 60);
    Press(grab, Qt::ControlModifier);
    Move(grab + travel / 2, Qt::ControlModifier);
    Move(grab + travel, Qt::ControlModifier);
    const QImage shown = Frame();
    View().grab().save(QDir::temp().filePath("vellumcraft-copy-drag.png"));
    const QColor ghost = shown.pixelColor(grab + travel);
    EXPECT_GT(ghost.red(), 200);
    EXPECT_LT(ghost.green(), 80);
    // The object itself stays where it is until the drop.
    EXPECT_GT(shown.pixelColor(grab).red(), 200);
    Release(grab + travel, Qt::ControlModifier);
    EXPECT_EQ(View().ObjectList().size(), 2u);
}

TEST_F(MainWindowSession, ColourButtonsShowTheColourTheyApplyAndTheirPopUpsAreAlwaysOn)
{
    auto* font = ctl<QToolButton>(frame, CmdFontColour);
    ASSERT_NE(font, nullptr);
    const auto strip = [](QToolButton* button) {
        return button->icon().pixmap(16, 16).toImage().pixelColor(8, 14);
    };
    // Nothing selected: the face is off, the pop-up's entries are on.
    EXPECT_FALSE(Enabled(CmdFontColour));
    for (int id : {CmdFontColour, CmdBackColour, CmdLineColour, CmdFillColour})
        for (int offset = CmdColourNoneOffset; offset <= CmdColourMoreOffset; ++offset)
            EXPECT_TRUE(Enabled(id + offset)) << id + offset;
    EXPECT_TRUE(font->isEnabled()); // so that its pop-up opens

    // A colour chosen in the pop-up shows on the face and goes on the text.
    Create(CmdToolText, 20, 20);
    services.colors.push_back(QColor(0x12, 0x34, 0xCD));
    ASSERT_TRUE(Trigger(CmdFontColour + CmdColourMoreOffset));
    Settle();
    EXPECT_EQ(strip(font), QColor(0x12, 0x34, 0xCD));
    EXPECT_EQ(static_cast<CTextGraph*>(Last()->GetObject())->m_crText, 0xFF1234CDu);
    // "无": the strip is left empty.
    ASSERT_TRUE(Trigger(CmdFontColour + CmdColourNoneOffset));
    Settle();
    EXPECT_EQ(strip(font).alpha(), 0);
    // The fill button starts as no colour, the line button as black.
    Create(CmdToolRectangle, 40, 20);
    Settle();
    EXPECT_EQ(strip(ctl<QToolButton>(frame, CmdFillColour)).alpha(), 0);
    EXPECT_EQ(strip(ctl<QToolButton>(frame, CmdLineColour)), QColor(Qt::black));
}

TEST_F(MainWindowSession, NewFollowsTheNewLabelPageOfTheSystemOptions)
{
    CLabelData model;
    model.m_fLabelWidth = 77;
    model.m_fLabelHeight = 33;
    const QString path = m_dir.filePath("model.vmk");
    {
        CDocWriterV1_0 writer;
        writer.m_strPath = path;
        writer.m_pLabelData = &model;
        writer.WriteDocument();
    }
    const auto newLabel = [this] {
        const qsizetype before = frame->LabelWindows().size();
        EXPECT_TRUE(Trigger(CmdFileNew));
        return frame->LabelWindows().size() == before + 1;
    };

    // 打开现有标签格式: the label picked gives a new untitled label its format.
    settings.m_nNewLabelBehavior = 1;
    services.files.push_back(path);
    const size_t dialogsRun = services.dialogClasses.size();
    ASSERT_TRUE(newLabel());
    EXPECT_EQ(services.dialogClasses.size(), dialogsRun); // no settings sheet
    EXPECT_EQ(Window().LabelData().m_fLabelWidth, 77.0f);
    EXPECT_TRUE(Window().LabelData().m_strFilePath.isEmpty());
    EXPECT_TRUE(Window().windowTitle().startsWith("新建标签"));
    // Cancelled, nothing opens.
    EXPECT_FALSE(newLabel());

    // 基于现有标签格式创建: straight from the file named there.
    settings.m_nNewLabelBehavior = 2;
    settings.m_strNewLabelBasedFile = path;
    ASSERT_TRUE(newLabel());
    EXPECT_EQ(Window().LabelData().m_fLabelHeight, 33.0f);
    EXPECT_TRUE(Window().LabelData().m_strFilePath.isEmpty());
    EXPECT_TRUE(services.messages.empty());

    // A file that is gone, or no label, says so; the settings sheet opens instead.
    for (const QString& bad : {m_dir.filePath("gone.vmk"), WriteDamaged("bad.vmk")}) {
        SCOPED_TRACE(bad.toStdString());
        settings.m_strNewLabelBasedFile = bad;
        services.messages.clear();
        bool sheet = false;
        services.OnNextDialog([&sheet](QDialog& dialog) {
            sheet = QByteArray(dialog.metaObject()->className()) == "CLabelSettingsDlg";
            dialog.accept();
        });
        ASSERT_TRUE(newLabel());
        EXPECT_TRUE(sheet);
        EXPECT_EQ(services.messages.size(), 1u);
    }
    settings.m_nNewLabelBehavior = 0;
}

TEST_F(MainWindowSession, ATemplateReachedFromTheRecentFilesOpensAsANewLabelAgain)
{
    auto* templates = static_cast<CTemplateWnd*>(frame->Pane(PaneTemplates)->widget());
    frame->Pane(PaneTemplates)->show();
    frame->Pane(PaneTemplates)->raise();
    Settle();
    QTreeWidgetItem* sheet = templates->Tree()->topLevelItem(0)->child(3);
    ASSERT_NE(sheet, nullptr);
    templates->Tree()->setCurrentItem(sheet);
    QTest::mouseDClick(templates->Tree()->viewport(), Qt::LeftButton, {},
                       templates->Tree()->visualItemRect(sheet).center());
    ASSERT_TRUE(Window().LabelData().m_strFilePath.isEmpty());
    const QString used = app.RecentFiles().Path(0);
    ASSERT_TRUE(used.endsWith(sheet->text(0)));

    // Again from the list: a new untitled label, the template left alone.
    QAction* recent = Action(CmdRecentFile1);
    ASSERT_TRUE(recent->isVisible());
    const qsizetype before = frame->LabelWindows().size();
    ASSERT_TRUE(Trigger(CmdRecentFile1));
    EXPECT_EQ(frame->LabelWindows().size(), before + 1);
    EXPECT_TRUE(Window().LabelData().m_strFilePath.isEmpty());

    // Opened as itself with 打开, it is edited as itself from then on.
    services.files.push_back(used);
    ASSERT_TRUE(Trigger(CmdFileOpen));
    EXPECT_EQ(Window().LabelData().m_strFilePath, used);
    ASSERT_TRUE(Trigger(CmdRecentFile1));
    EXPECT_EQ(Window().LabelData().m_strFilePath, used);
}

TEST_F(MainWindowSession, HelpInADialogOpensItsOwnSection)
{
    QString shown;
    services.OnNextDialog([&shown](QDialog& dialog) {
        ClickButton(&dialog, 9);
        // The help window belongs to the dialog and goes with it.
        if (CHelpWindow::Current())
            shown = CHelpWindow::Current()->CurrentPage();
        dialog.reject();
    });
    ASSERT_TRUE(Trigger(CmdToolOptions));
    EXPECT_EQ(shown, "qrc:/help/options.html#system-options");

    // Every dialog with a 帮助 button is described where its help leads.
    const char* const dialogs[] = {"CSysOptionsDlg", "CCustomizeDlg", "CPageHeaderDlg", "CPageNoDlg",
                                   "CDataBandSettingsDlg", "CNamedSubstringDlg", "CBandTextEidtor",
                                   "CDataSourceTypesDlg", "CDataSourceTXTDlg", "CDatabaseDlg", "CObjectEdtDlg",
                                   "CLabelSettingsDlg", "CPrintDlg", "CExportDlg", "CBatchExportDlg",
                                   "CGroupingSettingsDlg", "CSupplementalDlg"};
    for (const char* name : dialogs) {
        SCOPED_TRACE(name);
        const QString topic = CHelpWindow::TopicForClass(QLatin1String(name));
        const QString page = CHelpWindow::PageOf(topic);
        EXPECT_NE(page, ":/help/index.html");
        QFile file(page.section(u'#', 0, 0));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        if (page.contains(u'#')) {
            EXPECT_TRUE(text.contains(QStringLiteral("name=\"%1\"").arg(page.section(u'#', 1))));
        }
    }
}

TEST_F(MainWindowSession, QtsOwnDialogsSpeakChinese)
{
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "取消");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), "打开(&O)");
    // The file list's type column.
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Folder", "All other platforms"), "文件夹");
    EXPECT_EQ(QCoreApplication::translate("QFileSystemModel", "Date Modified"), "修改日期");
}

TEST_F(MainWindowSession, TheSplashAndTheAboutBoxHaveRoomForTheirTitles)
{
    CSplashWindow splash;
    EXPECT_EQ(splash.windowTitle(), "Vellumcraft");
    EXPECT_GE(splash.width(), TitleBarWidth(splash));
    int width = 0, needed = 0;
    services.OnNextDialog([&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "关于 Vellumcraft");
        width = dialog.width();
        needed = TitleBarWidth(dialog);
        dialog.accept();
    });
    ASSERT_TRUE(Trigger(CmdAppAbout));
    EXPECT_GE(width, needed);
    EXPECT_GT(needed, QFontMetrics(frame->font()).horizontalAdvance("关于 Vellumcraft"));
}
