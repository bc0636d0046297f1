// Export jobs run from the main frame while the user goes on clicking: each runs on
// its own copy of the label, and its progress blocks every other window from the
// first file, so closing the document under a batch export is refused.
#include "FakeServices.h"
#include "ShellTestSupport.h"
#include "app/Ctl.h"
#include "app/MainFrame.h"
#include "editor/BaseProxy.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "model/DSBase.h"
#include "model/DocWriter.h"
#include "model/TextGraph.h"
#include "output/ui/JobProgress.h"
#include "tests/output/OutputSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

namespace {

void SetEdit(QDialog& dialog, int id, const QString& text)
{
    ctl<QLineEdit>(&dialog, id)->setText(text);
}

class ExportJobTest : public ShellTest
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

    // A label whose one text counts a serial per row, opened from its file with the
    // text selected.
    CChildFrame& OpenSerialLabel()
    {
        auto label = MakeGridLabel(1, 1);
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(ConstantBand(QStringLiteral("N")));
        bands.push_back(SerialBand(1));
        AddText(*label, QStringLiteral("文本1"), std::move(bands));
        return *OpenWithFirstSelected(*label, QStringLiteral("rows.vmk"));
    }

    // The label saved under name and opened from that file, its first object selected.
    CChildFrame* OpenWithFirstSelected(CLabelData& label, const QString& name)
    {
        CDocWriterV1_0 writer;
        writer.m_strPath = m_dir.filePath(name);
        writer.m_pLabelData = &label;
        writer.WriteDocument();
        auto* window = static_cast<CChildFrame*>(frame->OpenLabelFile(writer.m_strPath));
        EXPECT_NE(window, nullptr);
        if (!window)
            return nullptr;
        CChildView& view = window->View();
        CBaseProxy* first = view.ObjectList().front().get();
        view.GetSelection().push_back(first);
        view.SetCurrentObject(first);
        QApplication::processEvents();
        return window;
    }

    void Run(int id)
    {
        QAction* action = frame->findChild<QAction*>(QStringLiteral("cmd_%1").arg(id));
        ASSERT_NE(action, nullptr) << id;
        frame->Commands().UpdateAction(id);
        ASSERT_TRUE(action->isEnabled()) << id;
        action->trigger();
    }

    // A click through the window system on the close button of the document's tab,
    // as a person's click arrives: a window a modal one blocks never sees it.
    void ClickTabClose()
    {
        auto* tabs = frame->findChild<QMdiArea*>()->findChild<QTabBar*>();
        ASSERT_NE(tabs, nullptr);
        QWidget* close = tabs->tabButton(0, QTabBar::RightSide);
        if (!close)
            close = tabs->tabButton(0, QTabBar::LeftSide);
        ASSERT_NE(close, nullptr);
        ASSERT_TRUE(close->isVisible());
        const QPoint at = close->mapTo(frame.get(), close->rect().center());
        QTest::mouseClick(frame->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    }

    FakeServices services;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(ExportJobTest, ClosingTheDocumentDuringABatchExportIsBlockedAndEveryFileWritten)
{
    QPointer<CChildFrame> window = &OpenSerialLabel();
    const QString folder = m_dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(folder));
    bool clicked = false;
    bool progressShown = false;
    services.OnNextDialog([&](QDialog& d) {
        SetEdit(d, 1274, folder);
        SetEdit(d, 1081, QStringLiteral("1"));
        SetEdit(d, 1082, QStringLiteral("30"));
        // Waits in the queue until the run lets events through after its first file.
        QTimer::singleShot(0, frame.get(), [&] {
            auto* progress = QApplication::activeModalWidget();
            progressShown = progress && qobject_cast<CJobProgress*>(progress);
            // A picture for a person to look at: VC_SHOWCASE_DIR names its folder.
            if (progressShown && !qEnvironmentVariableIsEmpty("VC_SHOWCASE_DIR"))
                progress->grab().save(qEnvironmentVariable("VC_SHOWCASE_DIR") + QStringLiteral("/job-progress.png"));
            ClickTabClose();
            clicked = true;
        });
        ctl<QPushButton>(&d, 1)->click();
    });
    Run(30602);
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(progressShown);
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("导出成功!")});
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 30);

    // The document stayed open; the same click once the run is over closes it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(window.isNull());
    ClickTabClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST_F(ExportJobTest, ARangePastTheLastDataRowWritesOnlyTheRowsThereAre)
{
    // A text file of three rows, bound to the text; the user asks for rows 1 to 10.
    const QString csv = m_dir.filePath(QStringLiteral("rows.csv"));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("code\nA1\nA2\nA3\n");
    file.close();
    auto label = MakeGridLabel(1, 1);
    auto source = std::make_unique<CTextDS>();
    source->m_strName = QStringLiteral("S");
    source->m_selectedFields = QStringList{QStringLiteral("code")};
    source->m_strPath = csv;
    source->m_bHeaderRow = true;
    label->m_dataSources.push_back(std::move(source));
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(QStringLiteral("S"), QStringLiteral("code")));
    AddText(*label, QStringLiteral("文本1"), std::move(bands));
    ASSERT_NE(OpenWithFirstSelected(*label, QStringLiteral("csv.vmk")), nullptr);

    const QString folder = m_dir.filePath(QStringLiteral("csv"));
    ASSERT_TRUE(QDir().mkpath(folder));
    services.OnNextDialog([&](QDialog& d) {
        SetEdit(d, 1274, folder);
        SetEdit(d, 1082, QStringLiteral("10"));
        ctl<QCheckBox>(&d, 1004)->setChecked(true);
        ctl<QPushButton>(&d, 1)->click();
    });
    Run(30602);
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("导出成功!")});
    QStringList written = QDir(folder).entryList(QDir::Files);
    written.sort();
    EXPECT_EQ(written, (QStringList{"A1.bmp", "A2.bmp", "A3.bmp"}));
}

} // namespace
