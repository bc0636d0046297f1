// Names a label or a file brings along, with characters that show as nothing or turn the
// text around them (U+202E here): every window that shows them shows those characters by
// their code, as the messages do, while the name itself stays what it was.
#include "DataSourceSupport.h"
#include "SessionTestSupport.h"

#include "app/ObjectWnd.h"
#include "app/VXStatusBar.h"
#include "model/DSBase.h"
#include "model/LabelData.h"
#include "output/ui/PreviewFrame.h"
#include "tests/output/OutputSupport.h"

#include <QApplication>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QTreeWidget>

namespace {

const QString kFileName = QStringLiteral("invoice\u202Efdp.vmk");
const QString kFileShown = QStringLiteral("invoice\\u202Efdp.vmk");
const QString kPrinter = QStringLiteral("HP\u202Ecod.exe");
const QString kSource = QStringLiteral("数据\u202E源");

class NamesShownByCodeSession : public SessionTest
{
protected:
    // The label file, with a source of that name and a text bound to its field a.
    void OpenLabel()
    {
        CLabelData label;
        label.m_strPrinterName = kPrinter;
        auto source = std::make_unique<CSQLiteDS>();
        source->m_strName = kSource;
        source->m_strPath = m_dir.filePath("data.sqlite");
        ExecSQLite(source->m_strPath, "create table t(a text); insert into t values('x');");
        source->m_strTable = QStringLiteral("t");
        source->m_selectedFields = QStringList{QStringLiteral("a")};
        label.m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(kSource, QStringLiteral("a")));
        AddText(label, QStringLiteral("T"), std::move(bands));
        CDocWriterV1_0 writer;
        writer.m_strPath = m_dir.filePath(kFileName);
        writer.m_pLabelData = &label;
        writer.WriteDocument();
        ASSERT_NE(frame->OpenLabelFile(writer.m_strPath), nullptr);
        Settle();
    }
    CObjectTreeCtrl& Tree() const
    {
        return *static_cast<CObjectWnd*>(frame->Pane(PaneObjects)->widget())->ShownTree();
    }
};

TEST_F(NamesShownByCodeSession, TitlesTheTabTheRecentFilesAndTheStatusBarShowControlCharactersByCode)
{
    OpenLabel();
    EXPECT_EQ(Window().windowTitle(), kFileShown);
    auto* area = frame->findChild<QMdiArea*>();
    ASSERT_NE(area->currentSubWindow(), nullptr);
    EXPECT_EQ(area->currentSubWindow()->windowTitle(), kFileShown);
    auto* tabs = area->findChild<QTabBar*>();
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), kFileShown);
    EXPECT_TRUE(frame->windowTitle().endsWith(QStringLiteral(" - ") + kFileShown)) << frame->windowTitle().toStdString();
    // The mark of an edit keeps the name shown so.
    QTest::keyClick(&View(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&View(), Qt::Key_Right);
    Settle();
    EXPECT_EQ(Window().windowTitle(), kFileShown + QStringLiteral(" *"));
    // The record keeps the name as it is.
    EXPECT_EQ(Window().LabelData().m_strTitle, kFileName);

    QAction* recent = Action(CmdRecentFile1);
    EXPECT_TRUE(recent->isVisible());
    EXPECT_TRUE(recent->text().endsWith(kFileShown)) << recent->text().toStdString();
    EXPECT_FALSE(recent->text().contains(QChar(0x202E)));
    EXPECT_EQ(frame->StatusBar()->PaneText(0), QStringLiteral("打印机：HP\\u202Ecod.exe"));

    // The preview's and the print dialog's titles.
    ASSERT_TRUE(Trigger(CmdFilePrintPreview));
    CPreviewFrame* preview = OpenedPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->windowTitle(), QStringLiteral("打印预览 - ") + kFileShown);
    preview->close();
    Settle();
    QString printTitle;
    services.OnNextDialog([&](QDialog& dialog) {
        printTitle = dialog.windowTitle();
        dialog.reject();
    });
    ASSERT_TRUE(Trigger(CmdFilePrint));
    EXPECT_EQ(printTitle, QStringLiteral("打印 - ") + kFileShown);
    // The entry still opens the file it names.
    View().SetModified(false);
    const QString path = m_dir.filePath(kFileName);
    ASSERT_TRUE(Trigger(CmdFileClose));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(frame->LabelWindowOf(path), nullptr);
    ASSERT_TRUE(Trigger(CmdRecentFile1));
    EXPECT_NE(frame->LabelWindowOf(path), nullptr);
}

TEST_F(NamesShownByCodeSession, TheSourcePaneShowsTheSourceByCodeAndStillFindsItsObjects)
{
    OpenLabel();
    QTreeWidgetItem* group = Tree().Group(NodeDatabaseGroup);
    ASSERT_EQ(group->childCount(), 1);
    QTreeWidgetItem* source = group->child(0);
    EXPECT_EQ(source->text(0), QStringLiteral("数据\\u202E源"));
    ASSERT_EQ(source->childCount(), 1);
    // A click on the field selects the text bound to it: the pane asks by the real name.
    ASSERT_TRUE(View().GetSelection().empty());
    QTreeWidgetItem* field = source->child(0);
    Tree().scrollToItem(field);
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {}, Tree().visualItemRect(field).center());
    Settle();
    ASSERT_EQ(View().GetSelection().size(), 1u);
    EXPECT_EQ(View().CurrentObject()->GetObject()->m_strName, QStringLiteral("T"));
}

} // namespace
