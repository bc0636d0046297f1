#include "FakeServices.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "app/HelpWindow.h"
#include "app/MainFrame.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "app/VXStatusBar.h"
#include "model/DocLoader.h"
#include "model/LabelData.h"
#include "platform/VXException.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QMdiArea>
#include <QMimeData>
#include <QSettings>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QToolBar>

namespace {

class MainFrameTest : public ShellTest
{
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        frame = std::make_unique<CMainFrame>();
        frame->SetLabelWindowFactory(CChildFrame::Factory());
        frame->resize(1200, 800);
        frame->show();
    }

    bool Enabled(int id)
    {
        frame->Commands().UpdateAction(id);
        return frame->Commands().Action(id)->isEnabled();
    }
    bool Checked(int id)
    {
        frame->Commands().UpdateAction(id);
        return frame->Commands().Action(id)->isChecked();
    }
    QStringList Titles() const
    {
        QStringList titles;
        for (LabelDocumentWindow* window : frame->LabelWindows())
            titles << window->windowTitle();
        return titles;
    }
    CChildFrame* Window(int index) const
    {
        return static_cast<CChildFrame*>(frame->LabelWindows().at(index));
    }

    FakeServices services;
    std::unique_ptr<CMainFrame> frame;
};

// The pane whose tab is in front of the left tab group.
QString FrontPaneTitle(const QMainWindow& frame)
{
    for (QTabBar* bar : frame.findChildren<QTabBar*>())
        if (bar->isVisible() && bar->count() == 3)
            return bar->tabText(bar->currentIndex());
    return {};
}

// What the document reader says about the file.
QString ReaderMessage(const QString& path)
{
    CLabelData label;
    CDocLoader loader;
    loader.m_strPath = path;
    loader.m_pLabelData = &label;
    try {
        loader.LoadDocument();
    } catch (const VXException& e) {
        return e.GetMessage();
    }
    return {};
}

} // namespace

TEST_F(MainFrameTest, UpdatePassEnablesDocumentCommandsOnlyWithALabelWindow)
{
    // Always on, window or not.
    for (int id : {57600, 57601, 57648, 30603, 30604, 30000})
        EXPECT_TRUE(Enabled(id)) << id;
    // All-document commands belong to the active label window.
    for (int id : {30100, 30101, 30700, 30701, 57603})
        EXPECT_FALSE(Enabled(id)) << id;
    // The options dialog is not there yet.
    EXPECT_FALSE(Enabled(30605));

    frame->OpenLabelFile(WriteLabel("a.vmk"));
    // The toolbars follow by the pass the window change schedules.
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame->Commands().Action(30101)->isEnabled());
    for (int id : {30100, 30101, 30700, 30701, 57603, 57600})
        EXPECT_TRUE(Enabled(id)) << id;
    // 全部最小化: the labels are tabs of the main window, which goes down with them.
    frame->Commands().Execute(30701);
    EXPECT_TRUE(frame->windowState() & Qt::WindowMinimized);
    frame->showNormal();

    ASSERT_TRUE(frame->CloseAllLabels());
    EXPECT_FALSE(Enabled(30101));
}

TEST_F(MainFrameTest, BarAndPaneTogglesFollowVisibility)
{
    const struct
    {
        int toggle;
        int bar;
    } bars[] = {{30305, 29103}, {30309, 29107}, {30306, 29109}, {30307, 29105},
                {30308, 29106}, {30310, 29108}, {40573, 178}};
    for (const auto& b : bars) {
        EXPECT_TRUE(Checked(b.toggle)) << b.toggle;
        frame->Commands().Execute(b.toggle);
        EXPECT_FALSE(frame->ToolBar(b.bar)->isVisible()) << b.bar;
        EXPECT_FALSE(Checked(b.toggle)) << b.toggle;
        frame->Commands().Execute(b.toggle);
        EXPECT_TRUE(Checked(b.toggle)) << b.toggle;
    }
    // A pane behind another tab is still open; toggling closes it, then shows it in front.
    for (int toggle : {30312, 30314, 30315}) {
        EXPECT_TRUE(Checked(toggle)) << toggle;
        frame->Commands().Execute(toggle);
        EXPECT_FALSE(Checked(toggle)) << toggle;
        frame->Commands().Execute(toggle);
        EXPECT_TRUE(Checked(toggle)) << toggle;
    }
    EXPECT_EQ(FrontPaneTitle(*frame), "模板库");
}

TEST_F(MainFrameTest, NewLabelsAreNumberedAndACancelledNewUsesNoNumber)
{
    std::vector<bool> answers = {true, false, true, true};
    size_t asked = 0;
    frame->SetNewLabelPrompt([&](CLabelData&) { return answers.at(asked++); });
    for (int i = 0; i < 4; ++i)
        frame->Commands().Execute(i == 2 ? 57648 : 57600);
    EXPECT_EQ(Titles(), QStringList({"新建标签1.vmk", "新建标签2.vmk", "新建标签3.vmk"}));
    for (LabelDocumentWindow* window : frame->LabelWindows())
        EXPECT_TRUE(window->LabelData().m_strFilePath.isEmpty());
}

TEST_F(MainFrameTest, DropOpensOnlyLabelFilesInDropOrder)
{
    const QString damaged = WriteDamaged("bad.vmk");
    const QList<QUrl> urls = {QUrl::fromLocalFile(WriteLabel("b.vmk")), QUrl::fromLocalFile(m_dir.filePath("x.txt")),
                              QUrl::fromLocalFile(damaged), QUrl::fromLocalFile(WriteLabel("a.VMK")),
                              QUrl::fromLocalFile(WriteLabel("c.vmk.bak"))};
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &drop);

    EXPECT_EQ(Titles(), QStringList({"b.vmk", "a.VMK"}));
    // The damaged label is reported in the reader's words and opens nothing.
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, ReaderMessage(damaged));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
}

TEST_F(MainFrameTest, OpenChecksTheExtensionOpenByPathDoesNot)
{
    const QString other = WriteLabel("label.dat", "Printer 7");
    services.files = {other, WriteLabel("shown.vmk")};
    frame->Commands().Execute(57601);
    EXPECT_TRUE(frame->LabelWindows().isEmpty());
    frame->Commands().Execute(57601);
    frame->Commands().Execute(57601); // cancelled
    EXPECT_EQ(Titles(), QStringList({"shown.vmk"}));
    // Opening a file that is open shows its window: a second one would save over the
    // first one's edits.
    frame->OpenLabelFile(WriteLabel("other.vmk"));
    services.files = {m_dir.filePath("shown.vmk")};
    frame->Commands().Execute(57601);
    EXPECT_EQ(Titles(), QStringList({"shown.vmk", "other.vmk"}));
    EXPECT_EQ(frame->ActiveLabelWindow()->windowTitle(), "shown.vmk");
    // Nor can Save As give a label the file another window has open.
    const auto bytes = [&](const char* name) {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray shown = bytes("shown.vmk");
    ASSERT_TRUE(frame->ActivateLabelWindow(m_dir.filePath("other.vmk")));
    services.files = {m_dir.filePath("shown.vmk")};
    frame->Commands().Execute(57604); // 另存为
    ASSERT_FALSE(services.messages.empty());
    EXPECT_EQ(services.MessageTexts().last(),
              QStringLiteral("“%1”已在另一个窗口中打开，请先关闭该窗口，或另选一个文件名。")
                  .arg(QDir::toNativeSeparators(m_dir.filePath("shown.vmk"))));
    EXPECT_EQ(Titles(), QStringList({"shown.vmk", "other.vmk"}));
    EXPECT_EQ(bytes("shown.vmk"), shown);
    EXPECT_EQ(Window(1)->LabelData().m_strFilePath, m_dir.filePath("other.vmk"));

    LabelDocumentWindow* window = frame->OpenLabelFile(other);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "label.dat");
    EXPECT_EQ(window->LabelData().m_strFilePath, other);
    EXPECT_EQ(window->LabelData().m_strPrinterName, "Printer 7");
    // Opened by path the same file twice is two windows (a template opens as a new label).
    frame->OpenLabelFile(other);
    EXPECT_EQ(frame->LabelWindows().size(), 4);
}

TEST_F(MainFrameTest, OpenAsNewLabelLeavesOtherDocumentsAlone)
{
    const QString first = WriteLabel("first.vmk");
    frame->OpenLabelFile(first);
    // A damaged or missing file opens nothing and leaves the active label's path.
    EXPECT_EQ(frame->OpenAsNewLabel(WriteDamaged("bad.vmk")), nullptr);
    EXPECT_EQ(frame->OpenAsNewLabel(m_dir.filePath("missing.vmk")), nullptr);
    EXPECT_EQ(services.messages.size(), 1u); // only the damaged one is reported
    EXPECT_EQ(frame->LabelWindows().size(), 1);
    EXPECT_EQ(frame->ActiveLabelWindow()->LabelData().m_strFilePath, first);

    LabelDocumentWindow* untitled = frame->OpenAsNewLabel(WriteLabel("base.vmk"));
    ASSERT_TRUE(untitled);
    EXPECT_EQ(untitled->windowTitle(), "base.vmk");
    EXPECT_TRUE(untitled->LabelData().m_strFilePath.isEmpty());
    EXPECT_EQ(frame->LabelWindows().at(0)->LabelData().m_strFilePath, first);
}

TEST_F(MainFrameTest, SaveAllSavesEachOnceReportsAFailureAndGoesOn)
{
    frame->OpenLabelFile(WriteLabel("one.vmk"));
    frame->OnFileNew();
    frame->OpenLabelFile(WriteLabel("three.vmk"));
    // The first window's folder vanished: its write fails.
    Window(0)->LabelData().m_strFilePath = m_dir.filePath("gone/one.vmk");
    for (int i = 0; i < 3; ++i)
        Window(i)->View().SetModified(true);
    frame->MdiArea()->setActiveSubWindow(frame->MdiArea()->subWindowList().at(1));
    const QString newPath = m_dir.filePath("new.vmk");
    services.files = {newPath};

    frame->Commands().Execute(30101);

    EXPECT_TRUE(services.files.empty()); // the untitled label asked for its path once
    EXPECT_TRUE(QFileInfo::exists(newPath));
    EXPECT_FALSE(Window(1)->IsModified());
    EXPECT_EQ(Window(1)->windowTitle(), "new.vmk");
    EXPECT_FALSE(Window(2)->IsModified());
    EXPECT_TRUE(Window(0)->IsModified());
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(frame->ActiveLabelWindow(), Window(1));
}

TEST_F(MainFrameTest, CloseAllStopsAtTheFirstRefusal)
{
    for (const char* name : {"a.vmk", "b.vmk", "c.vmk"})
        frame->OpenLabelFile(WriteLabel(name));
    for (int i = 0; i < 3; ++i)
        Window(i)->View().SetModified(true);
    services.answers = {IDNO, IDCANCEL};

    EXPECT_FALSE(frame->CloseAllLabels());
    EXPECT_EQ(services.messages.size(), 2u);
    EXPECT_EQ(services.messages[0].text, "是否保存对标签文件 c.vmk 的修改？");
    EXPECT_EQ(Titles(), QStringList({"a.vmk *", "b.vmk *"}));

    // Closing the main window asks again; a refusal keeps it open.
    services.answers = {IDCANCEL};
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    services.answers = {IDNO, IDNO};
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(frame->LabelWindows().isEmpty());
}

TEST_F(MainFrameTest, LayoutIsSavedOnCloseAndADamagedOneGivesTheDefault)
{
    frame->ToolBar(29106)->hide();
    frame->Pane(PaneResources)->close();
    ASSERT_TRUE(frame->close());

    CMainFrame restored;
    restored.RestoreLayout();
    restored.show();
    EXPECT_FALSE(restored.ToolBar(29106)->isVisible());
    EXPECT_FALSE(restored.Pane(PaneResources)->toggleViewAction()->isChecked());

    for (const QByteArray& damage : {QByteArray("garbage"), QByteArray(), QByteArray(300, '\xff')}) {
        QSettings().setValue("VellumcraftNormalLayout", damage);
        CMainFrame fresh;
        fresh.RestoreLayout();
        fresh.show();
        for (int bar : {29103, 29107, 29109, 29105, 29106, 29108, 178})
            EXPECT_TRUE(fresh.ToolBar(bar)->isVisible()) << bar;
        for (int pane : {PaneObjects, PaneResources, PaneTemplates}) {
            EXPECT_EQ(fresh.dockWidgetArea(fresh.Pane(pane)), Qt::LeftDockWidgetArea);
            EXPECT_TRUE(fresh.Pane(pane)->toggleViewAction()->isChecked());
        }
        EXPECT_EQ(fresh.tabifiedDockWidgets(fresh.Pane(PaneObjects)).size(), 2);
        EXPECT_EQ(FrontPaneTitle(fresh), "数据源");
    }
}

TEST_F(MainFrameTest, TheWindowTitleNamesTheActiveLabel)
{
    EXPECT_EQ(frame->windowTitle(), "Vellumcraft");
    const QString a = WriteLabel("a.vmk");
    frame->OpenLabelFile(a);
    frame->OpenLabelFile(WriteLabel("b.vmk"));
    EXPECT_EQ(frame->windowTitle(), "Vellumcraft - b.vmk");
    Window(1)->View().SetModified(true);
    EXPECT_EQ(frame->windowTitle(), "Vellumcraft - " + Window(1)->windowTitle());
    EXPECT_NE(Window(1)->windowTitle(), "b.vmk");
    ASSERT_TRUE(frame->ShowLabelFile(a)); // a's tab in front again
    EXPECT_EQ(frame->windowTitle(), "Vellumcraft - a.vmk");
    services.answers = {IDNO};
    frame->Commands().Execute(30100);
    EXPECT_TRUE(frame->LabelWindows().isEmpty());
    EXPECT_EQ(frame->windowTitle(), "Vellumcraft");
}

TEST_F(MainFrameTest, FormatAndColourControlsCarryTheirIds)
{
    auto* sizes = ctl<QComboBox>(frame.get(), 30801);
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->count(), 15);
    EXPECT_EQ(sizes->itemText(14), "72");
    EXPECT_EQ(sizes->itemData(5).toInt(), 12);
    EXPECT_EQ(frame->FontSizeCombo(), sizes);
    EXPECT_EQ(frame->FontNameCombo(), ctl<QComboBox>(frame.get(), 30800));
    // With no label open, nothing is in hand: the boxes name no font and no size.
    EXPECT_EQ(frame->FontNameCombo()->currentText(), "");
    EXPECT_EQ(sizes->currentText(), "");
    for (int id : {30811, 30815, 30819, 30823}) {
        EXPECT_TRUE(ctl<QWidget>(frame.get(), id)) << id;
        EXPECT_TRUE(ctl<QWidget>(frame.get(), id + 2)) << id; // the selector in its pop-up
    }
}

TEST_F(MainFrameTest, HelpAndCalculatorGoThroughTheServices)
{
    frame->Commands().Execute(30603);
    EXPECT_EQ(services.startedPrograms.size(), 1);
    EXPECT_TRUE(services.messages.empty());
    services.startSucceeds = false; // no calculator on this desktop
    frame->Commands().Execute(30603);
    EXPECT_EQ(services.MessageTexts(), QStringList{"无法启动计算器：本机没有找到计算器程序。"});
    frame->Commands().Execute(30000); // our own help window, no outside viewer
    EXPECT_TRUE(services.openedDocuments.empty());
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    delete CHelpWindow::Current();
}

TEST_F(MainFrameTest, StatusBarShowsPromptsThenThePrinterPane)
{
    frame->OpenLabelFile(WriteLabel("a.vmk", "Label Printer 3"));
    frame->Commands().UpdateAction(57600);
    CVXStatusBar* bar = frame->StatusBar();
    EXPECT_TRUE(bar->ShowsPanes());
    EXPECT_EQ(bar->PaneText(0), "打印机：Label Printer 3");

    QStatusTipEvent prompt("显示首页。");
    QApplication::sendEvent(frame.get(), &prompt);
    EXPECT_FALSE(bar->ShowsPanes());
    EXPECT_EQ(bar->MessageText(), "显示首页。");
    QStatusTipEvent idle("");
    QApplication::sendEvent(frame.get(), &idle);
    EXPECT_TRUE(bar->ShowsPanes());

    // With no label window left the printer text goes too.
    ASSERT_TRUE(frame->CloseAllLabels());
    frame->Commands().UpdateAction(57600);
    EXPECT_EQ(bar->PaneText(0), "");
}
