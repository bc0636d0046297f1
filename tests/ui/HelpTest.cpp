// The program's own help: a page for each main task, the page of the window that asks,
// the index for any other, reached by the menu, F1 and the dialogs' Help buttons.
#include "FakeServices.h"
#include "ShellTestSupport.h"
#include "app/Ctl.h"
#include "app/HelpWindow.h"
#include "app/MainFrame.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "dialogs/datasource/DataSourceDBDlg.h"
#include "dialogs/datasource/DatabaseDlg.h"
#include "dialogs/properties/BarcodeEdtDlg.h"
#include "dialogs/properties/LabelSettingsDlg.h"
#include "dialogs/properties/PageHeaderDlg.h"
#include "model/BarcodeGraph.h"
#include "model/LabelData.h"
#include "output/ui/ExportDlg.h"
#include "output/ui/PrintDlg.h"
#include "output/ui/ScreenDataDlg.h"
#include "output/ui/ScriptEditorDlg.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

namespace {

const char* const kTaskTopics[] = {"new-label", "objects",   "data-bands", "data-sources",
                                   "printing",  "export",    "scripts",    "window-data"};

class HelpTest : public ShellTest
{
protected:
    void TearDown() override { delete CHelpWindow::Current(); }

    static QString Shown()
    {
        return CHelpWindow::Current() ? CHelpWindow::Current()->CurrentPage() : QString();
    }
    // F1 where the focus of the dialog would be.
    static void AskIn(QDialog& dialog)
    {
        QWidget* control = dialog.findChild<QLineEdit*>();
        QTest::keyClick(control ? control : &dialog, Qt::Key_F1);
    }
    static QRect HelpFrame() { return CHelpWindow::Current() ? CHelpWindow::Current()->frameGeometry() : QRect(); }
    FakeServices services;
};

} // namespace

TEST_F(HelpTest, AnIndexAndAPageForEachTaskAllLinkedAndInChinese)
{
    QFile index(CHelpWindow::PageOf(CHelpWindow::IndexTopic()));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    const QString indexText = QString::fromUtf8(index.readAll());
    for (const char* topic : kTaskTopics) {
        SCOPED_TRACE(topic);
        const QString page = CHelpWindow::PageOf(QLatin1String(topic));
        EXPECT_EQ(page, QStringLiteral(":/help/%1.html").arg(QLatin1String(topic)));
        EXPECT_TRUE(indexText.contains(QStringLiteral("href=\"%1.html\"").arg(QLatin1String(topic))));
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(text.contains("href=\"index.html\""));
        EXPECT_TRUE(text.contains(QRegularExpression("[\\x{4e00}-\\x{9fff}]")));
    }
    EXPECT_EQ(CHelpWindow::PageOf("no-such-topic"), ":/help/index.html");
}

TEST_F(HelpTest, EachWindowAsksForItsOwnPage)
{
    CPrintDlg print;
    CBatchExportDlg batch;
    CDataSourceSQLiteDlg sqlite;
    CDatabaseDlg manager;
    CScriptingDlg scripting;
    CScreenDataDlg designer;
    CLabelSettingsDlg settings;
    CLabelData label;
    CBarcodeGraph barcode;
    barcode.m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    ObjectEditRequest request;
    request.object = &barcode;
    request.objects = {&barcode};
    request.label = &label;
    CBarcodeEdtDlg barcodeDialog(request); // a kind of object dialog, with no entry of its own
    const std::pair<QWidget*, const char*> windows[] = {
        {&barcodeDialog, "objects#properties"},
        {&print, "printing"},    {&batch, "export#batch"},    {&sqlite, "data-sources#settings"},  {&manager, "data-sources"},
        {&scripting, "scripts"}, {&designer, "window-data"}, {&settings, "new-label"},
    };
    for (const auto& [window, topic] : windows)
        EXPECT_EQ(CHelpWindow::TopicFor(window), topic) << window->metaObject()->className();
    // A control inside asks for its window's page.
    EXPECT_EQ(CHelpWindow::TopicFor(ctl<QPushButton>(&print, 9)), "printing");
    EXPECT_EQ(CHelpWindow::TopicFor(nullptr), "index");
}

TEST_F(HelpTest, HelpButtonOfADialogShowsItsPageInTheHelpWindow)
{
    CScriptingDlg scripting;
    scripting.show();
    QTest::mouseClick(ctl<QPushButton>(&scripting, 9), Qt::LeftButton);
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    EXPECT_EQ(Shown(), "qrc:/help/scripts.html");
    EXPECT_TRUE(CHelpWindow::Current()->isVisible());
    EXPECT_FALSE(CHelpWindow::Current()->Browser()->toPlainText().isEmpty());
    // It belongs to the dialog, so that it is usable beside it.
    EXPECT_EQ(CHelpWindow::Current()->parentWidget(), &scripting);
    EXPECT_TRUE(CHelpWindow::Current()->isWindow());

    // Following a link and the contents button.
    CHelpWindow::Current()->Browser()->setSource(QUrl("qrc:/help/printing.html"));
    EXPECT_EQ(Shown(), "qrc:/help/printing.html");
    EXPECT_EQ(CHelpWindow::Current()->windowTitle(),
              CHelpWindow::Current()->Browser()->documentTitle() + " - Vellumcraft 帮助");
    QTest::mouseClick(CHelpWindow::Current()->findChild<QPushButton*>("helpIndex"), Qt::LeftButton);
    EXPECT_EQ(Shown(), "qrc:/help/index.html");
    EXPECT_EQ(CHelpWindow::Current()->windowTitle(), "Vellumcraft 帮助");
    QTest::mouseClick(CHelpWindow::Current()->findChild<QPushButton*>("helpBack"), Qt::LeftButton);
    EXPECT_EQ(Shown(), "qrc:/help/printing.html");
}

TEST_F(HelpTest, F1InQtsPickersShowsThePageOfTheDialogThatOpenedThem)
{
    // The desktop's own pickers, as the program runs them, opened from the print dialog.
    InstallDialogHelpKey();
    DesktopUiServices desktop;
    CPrintDlg print;
    print.show();

    struct Case
    {
        const char* picker;
        std::function<void()> open;
        std::function<void(QDialog&)> answer; // after F1; rejects when empty
    };
    QString path, filter = "PDF (*.pdf)";
    QColor colour;
    QFont font;
    bool fontChosen = true;
    const Case cases[] = {
        {"QColorDialog", [&] { colour = desktop.GetColor(&print, Qt::blue); },
         [](QDialog& d) {
             static_cast<QColorDialog&>(d).setCurrentColor(Qt::red);
             d.accept();
         }},
        {"QFileDialog", [&] { path = desktop.GetOpenFileName(&print, {}, m_dir.path(), "标签文件 (*.vmk)"); }, {}},
        {"QFileDialog",
         [&] { path = desktop.GetSaveFileNameOfType(&print, {}, m_dir.path(), "PNG (*.png);;PDF (*.pdf)", &filter); },
         {}},
        {"QFileDialog", [&] { path = desktop.GetExistingDirectory(&print, {}, m_dir.path()); }, {}},
        {"QFontDialog", [&] { fontChosen = desktop.GetFont(&print, font); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picker);
        delete CHelpWindow::Current();
        QString pickerClass, shownInPicker;
        bool helpBesidePicker = false;
        QTimer::singleShot(0, [&] {
            auto* picker = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!picker)
                return;
            pickerClass = picker->metaObject()->className();
            // Pressed in a control of the picker, where the focus would be: Qt's own
            // widgets, not a native dialog out of the program's reach.
            auto* control = picker->findChild<QLineEdit*>();
            if (!control)
                return picker->reject();
            QTest::keyClick(control, Qt::Key_F1);
            shownInPicker = Shown();
            helpBesidePicker = CHelpWindow::Current() && CHelpWindow::Current()->parentWidget() == picker;
            if (c.answer)
                c.answer(*picker);
            else
                picker->reject();
        });
        path.clear();
        c.open();
        EXPECT_EQ(pickerClass, c.picker);
        EXPECT_EQ(shownInPicker, "qrc:/help/printing.html");
        EXPECT_TRUE(helpBesidePicker);
        // The page stays open, now with the dialog, once the picker is gone.
        ASSERT_NE(CHelpWindow::Current(), nullptr);
        EXPECT_EQ(CHelpWindow::Current()->parentWidget(), &print);
        EXPECT_TRUE(CHelpWindow::Current()->isVisible());
        EXPECT_EQ(Shown(), "qrc:/help/printing.html");
    }
    // What was chosen comes back; a cancelled picker gives nothing and keeps the type shown.
    EXPECT_EQ(colour, QColor(Qt::red));
    EXPECT_TRUE(path.isEmpty());
    EXPECT_EQ(filter, "PDF (*.pdf)");
    EXPECT_FALSE(fontChosen);
}

TEST_F(HelpTest, F1InADialogWithNoKeysOfItsOwnAndInAMessageBoxShowsTheirPage)
{
    InstallDialogHelpKey();
    CPageHeaderDlg header;
    header.show();
    QWidget* control = header.findChild<QLineEdit*>();
    QTest::keyClick(control ? control : &header, Qt::Key_F1);
    EXPECT_EQ(Shown(), "qrc:/help/new-label.html#page-header");
    EXPECT_EQ(CHelpWindow::Current()->parentWidget(), &header);

    // A message box asks for the page of the dialog it speaks for.
    delete CHelpWindow::Current();
    CPrintDlg print;
    QMessageBox box(QMessageBox::Warning, "Vellumcraft", "?", QMessageBox::Ok, &print);
    box.show();
    QTest::keyClick(&box, Qt::Key_F1);
    EXPECT_EQ(Shown(), "qrc:/help/printing.html");
    // Other keys and F1 with a modifier are left to the dialog.
    delete CHelpWindow::Current();
    QTest::keyClick(&box, Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyClick(&box, Qt::Key_F2);
    EXPECT_EQ(CHelpWindow::Current(), nullptr);
}

TEST_F(HelpTest, AnOpenedFileComesBackFromQtsPicker)
{
    DesktopUiServices desktop;
    QFile(m_dir.filePath("a.vmk")).open(QIODevice::WriteOnly);
    QTimer::singleShot(0, [&] {
        if (auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            picker->selectFile(m_dir.filePath("a.vmk"));
            static_cast<QDialog*>(picker)->accept();
        }
    });
    EXPECT_EQ(desktop.GetOpenFileName(nullptr, {}, m_dir.path(), "标签文件 (*.vmk)"), m_dir.filePath("a.vmk"));
}

TEST_F(HelpTest, HelpTopicsCommandAndF1OfTheMainFrameShowTheIndex)
{
    CMainFrame frame;
    frame.show();
    frame.Commands().Action(30000)->trigger();
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    EXPECT_EQ(Shown(), "qrc:/help/index.html");
    EXPECT_EQ(frame.Commands().Action(30000)->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(services.openedDocuments.isEmpty());
}

TEST_F(HelpTest, EveryMenuPathThePagesNameIsInTheMenus)
{
    CMainFrame frame;
    // A menu text as read: no accelerator, no trailing dots.
    const auto plain = [](QString text) {
        text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
        text.remove(u'&');
        while (text.endsWith(u'.') || text.endsWith(u'…'))
            text.chop(1);
        return text.trimmed();
    };
    const QRegularExpression quoted(QStringLiteral("“([^”]*→[^”]*)”"));
    int paths = 0;
    for (const QString& file : QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")})) {
        QFile page(QStringLiteral(":/help/") + file);
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        for (auto match = quoted.globalMatch(text); match.hasNext();) {
            const QStringList steps = match.next().captured(1).split(QStringLiteral("→"));
            QList<QAction*> actions = frame.menuBar()->actions();
            QAction* found = nullptr;
            for (const QString& step : steps) {
                found = nullptr;
                for (QAction* action : actions)
                    if (plain(action->text()) == plain(step))
                        found = action;
                if (!found)
                    break;
                actions = found->menu() ? found->menu()->actions() : QList<QAction*>();
            }
            EXPECT_NE(found, nullptr) << file.toStdString() << ": " << steps.join(u'→').toStdString();
            ++paths;
        }
    }
    EXPECT_GT(paths, 10);
}

// The help window outlives the dialog it was asked from: it goes, shown as it was, to the window
// beneath (the dialog's parent, else the program's main window), and only with the last window.
TEST_F(HelpTest, TheHelpWindowOutlivesTheDialogItWasAskedFrom)
{
    InstallDialogHelpKey();
    auto* print = new CPrintDlg;
    print->show();
    {
        CPageHeaderDlg header(print);
        header.show();
        AskIn(header);
        ASSERT_NE(CHelpWindow::Current(), nullptr);
        ASSERT_EQ(CHelpWindow::Current()->parentWidget(), &header);
        header.reject();
        EXPECT_EQ(CHelpWindow::Current()->parentWidget(), print);
        EXPECT_TRUE(CHelpWindow::Current()->isVisible());
        EXPECT_EQ(Shown(), "qrc:/help/new-label.html#page-header");
    }
    // Destroyed while still shown.
    auto* header = new CPageHeaderDlg(print);
    header->show();
    AskIn(*header);
    ASSERT_EQ(CHelpWindow::Current()->parentWidget(), header);
    delete header;
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    EXPECT_EQ(CHelpWindow::Current()->parentWidget(), print);
    EXPECT_TRUE(CHelpWindow::Current()->isVisible());
    // A hidden one goes along hidden.
    CHelpWindow::Current()->hide();
    {
        CPageHeaderDlg hidden(print);
        hidden.show();
        QPointer<CHelpWindow> help = CHelpWindow::ShowTopic("printing", &hidden);
        help->hide();
        hidden.reject();
        ASSERT_FALSE(help.isNull());
        EXPECT_FALSE(help->isVisible());
        EXPECT_EQ(help->parentWidget(), print);
    }

    // A dialog of no window of its own: the main window takes the help, and it goes with that window.
    {
        QMainWindow main;
        main.show();
        CPageHeaderDlg lone;
        lone.show();
        AskIn(lone);
        lone.reject();
        ASSERT_NE(CHelpWindow::Current(), nullptr);
        EXPECT_EQ(CHelpWindow::Current()->parentWidget(), &main);
        EXPECT_TRUE(CHelpWindow::Current()->isVisible());
    }
    EXPECT_EQ(CHelpWindow::Current(), nullptr);
    // Nothing beneath the last window: the help goes with it.
    AskIn(*print);
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    delete print;
    EXPECT_EQ(CHelpWindow::Current(), nullptr);
}

// Help asked for by a dialog stands beside it where the screen has room; where it has none, it
// may cover the dialog but never the dialog's buttons. One the user put clear of the dialog stays.
TEST_F(HelpTest, HelpStandsBesideTheDialogAskingAndNeverOverItsButtons)
{
    InstallDialogHelpKey();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QDialog small;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &small);
    (new QVBoxLayout(&small))->addWidget(buttons);
    small.setGeometry(QRect(screen.topLeft() + QPoint(10, 30), QSize(220, 120)));
    small.show();
    AskIn(small);
    ASSERT_NE(CHelpWindow::Current(), nullptr);
    EXPECT_FALSE(HelpFrame().intersects(small.frameGeometry()));
    EXPECT_TRUE(screen.contains(HelpFrame()));
    EXPECT_GE(HelpFrame().width(), 360);

    // Put over the dialog, it moves off it at the next F1; put clear of it, it stays there.
    CHelpWindow::Current()->move(small.pos());
    AskIn(small);
    EXPECT_FALSE(HelpFrame().intersects(small.frameGeometry()));
    const QRect clear = CHelpWindow::Current()->geometry().translated(0, 5);
    CHelpWindow::Current()->setGeometry(clear);
    AskIn(small);
    EXPECT_EQ(CHelpWindow::Current()->geometry(), clear);

    // A dialog as large as the screen: the help covers some of it, none of its buttons.
    small.setGeometry(screen.adjusted(10, 30, -10, -10));
    QCoreApplication::processEvents();
    AskIn(small);
    for (const QAbstractButton* button : buttons->buttons())
        EXPECT_FALSE(HelpFrame().intersects(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())))
            << button->text().toStdString();
    EXPECT_TRUE(screen.contains(HelpFrame()));
    EXPECT_GE(HelpFrame().height(), 240);
}
