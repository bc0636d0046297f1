// The help window beside the program's real windows: it moves to whatever window asks for
// help, so no window may be its own ancestor, and a window it leaves must not take others
// with it.
#include "DataSourceSupport.h"
#include "DbTestEnv.h"
#include "RealWindowSupport.h"
#include "SessionTestSupport.h"
#include "tests/output/OutputSupport.h"

#include "app/HelpWindow.h"
#include "model/DSBase.h"
#include "output/ui/PreviewFrame.h"
#include "model/LabelData.h"
#include "platform/db/DbWait.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QTcpServer>
#include <QTreeWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

#define VC_ENDLESS_ROWS "with recursive c(x) as (select 1 union all select x+1 from c) select x as a from c"
constexpr char kEndlessRows[] = VC_ENDLESS_ROWS;
constexpr char kEndlessView[] = "create view v as " VC_ENDLESS_ROWS ";";
#undef VC_ENDLESS_ROWS

class HelpWindowSession : public SessionTest
{
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        InstallDialogHelpKey();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        m_limits = GetDbLimits();
    }
    void TearDown() override
    {
        SetDbLimits(m_limits);
        delete CHelpWindow::Current();
        SessionTest::TearDown();
    }

    // A SQLite source named 数据 on a file of the test, its field a bound to a text.
    CSQLiteDS& AddSource(const QByteArray& sql, const QString& table)
    {
        const QString file = m_dir.filePath("data.sqlite");
        ExecSQLite(file, sql);
        CLabelData& label = Window().LabelData();
        auto source = std::make_unique<CSQLiteDS>();
        source->m_strName = QStringLiteral("数据");
        source->m_strPath = file;
        source->m_strTable = table;
        source->m_selectedFields = QStringList {"a"};
        CSQLiteDS& added = *source;
        label.m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("数据"), "a"));
        AddText(label, "T", std::move(bands));
        return added;
    }
    static QWidget* HelpButton(QWidget* dialog) { return ctl<QPushButton>(dialog, 9); }
    static QWidget* WaitWindow()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QLatin1String("dbWait") && window->isVisible())
                return window;
        return nullptr;
    }

    DbLimits m_limits;
};

} // namespace

TEST_F(HelpWindowSession, TheFrontWindowIsNeverTheHelpWindowNorAWindowOfItsOwn)
{
    ASSERT_TRUE(Trigger(CmdHelpTopics));
    CHelpWindow* help = CHelpWindow::Current();
    ASSERT_NE(help, nullptr);
    help->activateWindow();
    QApplication::setActiveWindow(help);
    ASSERT_EQ(QApplication::activeWindow(), help);
    EXPECT_EQ(CHelpWindow::FrontWindow(), frame);

    // A dialog that some window did put over the help window stands for the help window too.
    auto* inside = new QDialog(help);
    inside->show();
    QApplication::setActiveWindow(inside);
    EXPECT_EQ(CHelpWindow::FrontWindow(), frame);
    // F1 there: the help window does not move under its own child, and Qt does not walk
    // the parents of either for ever.
    SystemKey(inside, Qt::Key_F1);
    EXPECT_EQ(help->parentWidget(), frame);
    EXPECT_TRUE(help->isVisible());
    delete inside;

    // Any other window in front is itself, and F1 in it moves the help window there.
    QDialog other(frame);
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_EQ(CHelpWindow::FrontWindow(), &other);
    SystemKey(&other, Qt::Key_F1);
    EXPECT_EQ(help->parentWidget(), &other);
    delete help;
}

TEST_F(HelpWindowSession, F1InTheWaitWindowWhileTheHelpWindowWasActive)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    DbLimits limits = GetDbLimits();
    limits.statementMs = 60000; // the 取消 ends it, however late a loaded machine clicks it
    SetDbLimits(limits);
    CSQLiteDS& source = AddSource(kEndlessView, QStringLiteral("v"));
    source.m_nRangeMode = RangeSQL;
    source.m_strSQL = kEndlessRows;
    Create(CmdToolText, 10, 10);

    ASSERT_TRUE(Trigger(CmdHelpTopics));
    CHelpWindow* help = CHelpWindow::Current();
    ASSERT_NE(help, nullptr);
    QApplication::setActiveWindow(help);
    ASSERT_EQ(QApplication::activeWindow(), help);

    // Once the wait window shows: F1 in it, then its 取消, as a person clicks it.
    QPointer<QWidget> waitParent;
    bool helpWithWait = false;
    QString pageInWait;
    QElapsedTimer clickedCancel;
    auto* poll = new QTimer(frame);
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
        QWidget* wait = WaitWindow();
        if (!wait)
            return;
        poll->deleteLater();
        poll->stop();
        waitParent = wait->parentWidget();
        SystemKey(wait, Qt::Key_F1);
        helpWithWait = CHelpWindow::Current() && CHelpWindow::Current()->parentWidget() == wait;
        pageInWait = CHelpWindow::Current() ? CHelpWindow::Current()->CurrentPage() : QString();
        clickedCancel.start();
        SystemClick(ctl<QPushButton>(wait, 2));
    });
    poll->start(20);
    // The message that tells of the cancel, answered.
    QString told;
    OnNextModal([&](QWidget* box) {
        told = static_cast<QMessageBox*>(box)->text();
        SystemClick(box->findChild<QDialogButtonBox*>()->buttons().value(0));
    }, "QMessageBox");
    help->activateWindow();
    Action(CmdFilePrintPreview)->trigger();
    ASSERT_FALSE(watchdog.Fired());
    ASSERT_TRUE(clickedCancel.isValid()) << "the wait window never showed";
    // The wait window went over the help window's owner, not the help window.
    EXPECT_EQ(waitParent, frame);
    EXPECT_TRUE(helpWithWait);
    EXPECT_NE(pageInWait, QString());
    EXPECT_TRUE(told.contains(QStringLiteral("已取消读取数据源“数据”的记录。"))) << told.toStdString();
    // The help stays open with the window beneath the wait window.
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    EXPECT_EQ(CHelpWindow::Current()->parentWidget(), frame);
    EXPECT_TRUE(CHelpWindow::Current()->isVisible());
    delete OpenedPreview();
}

// Help asked for in a data source's dialog, then in the export dialog opened from the canvas's
// context menu: the menu's own click is still on the stack when the export ends.
TEST_F(HelpWindowSession, ExportFromTheContextMenuWithHelpOpenInItsDialog)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    AddSource("create table t(a); insert into t values ('甲');", QStringLiteral("t"));
    Create(CmdToolText, 10, 10);
    const QPoint onText = At(12, 11);
    const QString png = m_dir.filePath("out.png");

    // 数据库设置 → 编辑 the source → 帮助 in its dialog → 取消, 关闭.
    bool sourceHelp = false;
    OnNextModal([&](QWidget* manager) {
        auto* tree = ctl<QTreeWidget>(manager, 1112);
        QTreeWidgetItem* item = tree->topLevelItem(0)->child(0);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
        OnNextModal([&](QWidget* sourceDialog) {
            SystemClick(HelpButton(sourceDialog));
            sourceHelp = CHelpWindow::Current() != nullptr;
            SystemClick(ctl<QPushButton>(sourceDialog, 2));
        });
        SystemClick(ctl<QPushButton>(manager, 1113));
        static_cast<QDialog*>(manager)->reject();
    });
    ASSERT_TRUE(Trigger(CmdLabelDataSources));
    ASSERT_TRUE(sourceHelp);

    // A right click on the text; 导出图片 in the menu.
    QWidget* canvasWindow = View().window();
    QTest::mouseClick(canvasWindow->windowHandle(), Qt::RightButton, {}, View().mapTo(canvasWindow, onText));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* exportImage = Action(CmdExportImage);
    ASSERT_TRUE(menu->actions().contains(exportImage));
    QString told;
    OnNextModal([&](QWidget* exportDialog) {
        SystemClick(ctl<QRadioButton>(exportDialog, 1131));
        auto* path = ctl<QLineEdit>(exportDialog, 1279);
        path->setFocus();
        path->selectAll();
        TypeText(path, png);
        SystemClick(HelpButton(exportDialog));
        EXPECT_EQ(CHelpWindow::Current() ? CHelpWindow::Current()->parentWidget() : nullptr, exportDialog);
        // The message, not the job's progress window, which shows when the export is slow.
        OnNextModal([&](QWidget* box) {
            told = static_cast<QMessageBox*>(box)->text();
            SystemClick(box->findChild<QDialogButtonBox*>()->buttons().value(0));
        }, "QMessageBox");
        SystemClick(ctl<QPushButton>(exportDialog, 1));
    });
    SystemClick(menu, menu->actionGeometry(exportImage).center());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(watchdog.Fired());
    EXPECT_EQ(told, QStringLiteral("导出成功!"));
    EXPECT_TRUE(QFileInfo::exists(png));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    // And the canvas takes the next right click.
    QTest::mouseClick(canvasWindow->windowHandle(), Qt::RightButton, {}, View().mapTo(canvasWindow, onText));
    QWidget* again = QApplication::activePopupWidget();
    ASSERT_NE(again, nullptr);
    again->close();
}

// The help of a property dialog outlives the dialog: 取消 leaves it open, with the main window.
TEST_F(HelpWindowSession, TheHelpOfAPropertyDialogStaysOpenWhenTheDialogCloses)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    Create(CmdToolText, 10, 10);
    bool helpWithDialog = false;
    OnNextModal([&](QWidget* dialog) {
        SystemKey(dialog, Qt::Key_F1);
        helpWithDialog = CHelpWindow::Current() && CHelpWindow::Current()->parentWidget() == dialog;
        if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
            QTest::qWait(300);
            dialog->screen()->grabWindow(0).save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("text-dialog-help.png"));
        }
        SystemClick(ctl<QPushButton>(dialog, 2));
    });
    DoubleClick(At(12, 11));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(watchdog.Fired());
    EXPECT_TRUE(helpWithDialog);
    if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
        QTest::qWait(300);
        frame->screen()->grabWindow(0).save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("help-after-dialog.png"));
    }
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    EXPECT_TRUE(CHelpWindow::Current()->isVisible());
    EXPECT_EQ(CHelpWindow::Current()->parentWidget(), frame);
    EXPECT_EQ(CHelpWindow::Current()->CurrentPage(), "qrc:/help/objects.html#properties");

    // F1 in the next property dialog takes the same help window there, and it stays again.
    QPointer<CHelpWindow> help = CHelpWindow::Current();
    OnNextModal([&](QWidget* dialog) {
        SystemKey(dialog, Qt::Key_F1);
        EXPECT_EQ(CHelpWindow::Current(), help.data());
        EXPECT_EQ(help ? help->parentWidget() : nullptr, dialog);
        SystemClick(ctl<QPushButton>(dialog, 1));
    });
    DoubleClick(At(12, 11));
    ASSERT_FALSE(watchdog.Fired());
    ASSERT_FALSE(help.isNull());
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->parentWidget(), frame);
}

// The help of a dialog is the dialog's own transient window, which the window manager keeps above
// the dialog, and so above the main window, when the user clicks back into the dialog; once the
// dialog is gone it is the main window's, kept above it as the main window takes the focus back,
// until F1 in the main window makes it a window of its own again, which may go behind.
TEST_F(HelpWindowSession, TheHelpOfADialogStaysAboveItWhenTheDialogIsClickedAgain)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog(60000);
    Create(CmdToolText, 10, 10);
    QPointer<CHelpWindow> help;
    OnNextModal([&](QWidget* dialog) {
        SystemKey(dialog, Qt::Key_F1);
        help = CHelpWindow::Current();
        ASSERT_NE(help, nullptr);
        SystemClick(dialog, QPoint(3, 3));
        QCoreApplication::processEvents();
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(help->windowType(), Qt::Dialog);
        EXPECT_TRUE(help->windowFlags() & Qt::WindowMinMaxButtonsHint);
        ASSERT_NE(help->windowHandle(), nullptr);
        EXPECT_EQ(help->windowHandle()->transientParent(), dialog->windowHandle());
        if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
            QTest::qWait(300);
            dialog->screen()->grabWindow(0).save(
                QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("dialog-help-clicked-back.png"));
        }
        SystemClick(ctl<QPushButton>(dialog, 2));
    });
    DoubleClick(At(12, 11));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(watchdog.Fired());
    ASSERT_FALSE(help.isNull());
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->parentWidget(), frame);
    EXPECT_EQ(help->windowType(), Qt::Dialog);
    ASSERT_NE(help->windowHandle(), nullptr);
    EXPECT_EQ(help->windowHandle()->transientParent(), frame->windowHandle());
    QApplication::setActiveWindow(frame);
    SystemKey(&View(), Qt::Key_F1);
    ASSERT_FALSE(help.isNull());
    EXPECT_EQ(CHelpWindow::Current(), help.data());
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->parentWidget(), frame);
    EXPECT_EQ(help->windowType(), Qt::Window);
}

// F1 in the question asked before a label's database source connects: the question's own page,
// beside the question and never over 允许 or 不允许; 不允许 still connects to nothing, and the
// page stays open once the question is gone.
TEST_F(HelpWindowSession, F1InTheDatabaseQuestionShowsItsOwnPageClearOfItsButtons)
{
    DesktopServicesScope desktop;
    ModalWatchdog watchdog;
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&listener, &QTcpServer::newConnection, [&] { ++connections; });
    CLabelData& label = Window().LabelData();
    auto source = std::make_unique<CPostgreSQLDS>();
    source->m_strName = QStringLiteral("远程");
    StoreLogin(*source, DbServerSettings {QStringLiteral("127.0.0.1"), listener.serverPort(), QStringLiteral("库存"),
                                          QStringLiteral("仓管"), QStringLiteral("口令")});
    source->m_nRangeMode = RangeSQL;
    source->m_strSQL = QStringLiteral("select 1 as a");
    source->m_selectedFields = QStringList {"a"};
    label.m_dataSources.push_back(std::move(source));
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(QStringLiteral("远程"), "a"));
    AddText(label, "T", std::move(bands));

    QString page, told;
    QRect help, buttons, question;
    bool asked = false;
    OnNextModal([&](QWidget* dialog) {
        asked = dialog->objectName() == QLatin1String("sourceApproval");
        SystemKey(dialog, Qt::Key_F1);
        if (CHelpWindow* window = CHelpWindow::Current()) {
            page = window->CurrentPage();
            help = window->frameGeometry();
            EXPECT_TRUE(window->isVisible());
            EXPECT_EQ(window->parentWidget(), dialog);
        }
        question = dialog->frameGeometry();
        for (const char* name : {"allow", "deny"}) {
            auto* button = dialog->findChild<QPushButton*>(name);
            ASSERT_NE(button, nullptr) << name;
            buttons |= QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
        }
        if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
            QTest::qWait(300);
            dialog->screen()->grabWindow(0).save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("question-help.png"));
        }
        OnNextModal([&](QWidget* box) {
            told = static_cast<QMessageBox*>(box)->text();
            SystemKey(box, Qt::Key_Return);
        }, "QMessageBox");
        SystemKey(dialog, Qt::Key_Escape);
    }, "CSourceApprovalDlg"); // not the job's progress window, which shows when the job is slow
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    ASSERT_FALSE(watchdog.Fired());
    ASSERT_TRUE(asked);
    EXPECT_EQ(page, "qrc:/help/source-approval.html");
    EXPECT_FALSE(help.intersects(buttons)) << "help over the buttons";
    const QRect screen = frame->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(help));
    // Where the screen has room beside the question the help takes it, covering none of it.
    const bool roomBeside = screen.right() - question.right() >= 360 || question.left() - screen.left() >= 360;
    if (roomBeside) {
        EXPECT_FALSE(help.intersects(question));
    }
    EXPECT_TRUE(told.contains(QStringLiteral("您没有允许数据源“远程”连接数据库"))) << told.toStdString();
    QTest::qWait(100);
    EXPECT_EQ(connections, 0);
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    EXPECT_TRUE(CHelpWindow::Current()->isVisible());
    EXPECT_EQ(CHelpWindow::Current()->parentWidget(), frame);
    // Kept above the main window, which took the focus back from the refusal.
    EXPECT_EQ(CHelpWindow::Current()->windowType(), Qt::Dialog);
    EXPECT_EQ(CHelpWindow::Current()->windowHandle()->transientParent(), frame->windowHandle());
    if (qEnvironmentVariableIsSet("VC_SHOT_DIR")) {
        QTest::qWait(300);
        frame->screen()->grabWindow(0).save(QDir(qEnvironmentVariable("VC_SHOT_DIR")).filePath("question-help-after.png"));
    }
    EXPECT_EQ(OpenedPreview(), nullptr);
}
