// The document window's commands that hand the label to another window or dialog,
// driven through the main frame's actions with the dialogs answered by the fake
// desktop: print, preview, data sources, label settings, the screen-data form, the
// scripts, and File > New with its settings sheet.
#include "AccessFixtures.h"
#include "DataSourceSupport.h"
#include "DbTestEnv.h"
#include "FakeServices.h"
#include "MarkerLibrary.h"
#include "TestSupport.h"
#include "ShellTestSupport.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/VXStatusBar.h"
#include "dialogs/properties/LabelSettingsDlg.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "model/DSBase.h"
#include "model/DocLoader.h"
#include "model/DocWriter.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "output/ui/PreviewFrame.h"
#include "output/ui/PrintDlg.h"
#include "platform/Crypt.h"
#include "platform/db/AccessReader.h"
#include "tests/output/OutputSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QPointer>
#include <QSet>
#include <QTreeWidget>
#include <new>
#include <stdexcept>

namespace {

class DocumentCommandsTest : public ShellTest
{
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        frame = std::make_unique<CMainFrame>();
        frame->SetLabelWindowFactory(CChildFrame::Factory());
        frame->SetNewLabelPrompt(CChildFrame::NewLabelPrompt(frame.get()));
        frame->resize(1200, 800);
        frame->show();
    }

    // A label of one 30 x 20 mm cell holding one text, opened from its file.
    CChildFrame& OpenLabel()
    {
        auto label = MakeGridLabel(1, 1);
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(ConstantBand(QStringLiteral("FROMFILE")));
        AddText(*label, QStringLiteral("文本1"), std::move(bands));
        CDocWriterV1_0 writer;
        writer.m_strPath = m_dir.filePath(QStringLiteral("doc.vmk"));
        writer.m_pLabelData = label.get();
        writer.WriteDocument();
        auto* window = static_cast<CChildFrame*>(frame->OpenLabelFile(writer.m_strPath));
        EXPECT_NE(window, nullptr);
        return *window;
    }

    // A second text put straight onto the canvas: only the canvas knows it.
    static void AddToCanvas(CChildFrame& window, const QString& name, const QString& text)
    {
        CLabelData scratch;
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(ConstantBand(text));
        AddText(scratch, name, std::move(bands));
        window.View().AddObject(std::move(scratch.m_objects.front()));
        scratch.m_objects.clear();
    }

    void Run(int id)
    {
        QAction* action = frame->findChild<QAction*>(QStringLiteral("cmd_%1").arg(id));
        ASSERT_NE(action, nullptr) << id;
        frame->Commands().UpdateAction(id);
        ASSERT_TRUE(action->isEnabled()) << id;
        action->trigger();
    }

    // The object-pane codes sent, less the activations the window system causes.
    static QList<int> PaneCodes(const QSignalSpy& spy)
    {
        QList<int> codes;
        for (const QList<QVariant>& call : spy)
            if (call.at(1).toInt() != 1)
                codes << call.at(1).toInt();
        return codes;
    }

    static std::unique_ptr<CLabelData> Reread(const QString& path)
    {
        auto label = std::make_unique<CLabelData>();
        CDocLoader loader;
        loader.m_strPath = path;
        loader.m_pLabelData = label.get();
        loader.LoadDocument();
        return label;
    }

    FakeServices services;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(DocumentCommandsTest, PrintWritesTheCanvasObjectsNotTheEmptyRecord)
{
    CChildFrame& window = OpenLabel();
    AddToCanvas(window, QStringLiteral("文本2"), QStringLiteral("ONCANVAS"));
    services.files.push_back(m_dir.filePath(QStringLiteral("out")));
    services.OnNextDialog([](QDialog& dialog) {
        auto* printers = ctl<QComboBox>(&dialog, 1001);
        printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
        ctl<QPushButton>(&dialog, 1)->click();
    });
    Run(57607);
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(" ").toStdString();

    QProcess text;
    text.start(QStringLiteral("pdftotext"), {m_dir.filePath(QStringLiteral("out.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("FROMFILE"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("ONCANVAS"))) << printed.toStdString();
    // The clones are gone again; the canvas keeps its own objects.
    EXPECT_TRUE(window.LabelData().m_objects.empty());
    EXPECT_EQ(window.View().ObjectList().size(), 2u);
    EXPECT_FALSE(window.IsModified());
}

TEST_F(DocumentCommandsTest, PreviewShowsTheCanvasObjectsInStackingOrder)
{
    CChildFrame& window = OpenLabel();
    AddToCanvas(window, QStringLiteral("文本2"), QStringLiteral("ONCANVAS"));
    Run(57609);
    CPreviewFrame* preview = OpenedPreview();
    ASSERT_NE(preview, nullptr);
    const std::unique_ptr<CPreviewFrame> owner(preview);
    EXPECT_EQ(preview->windowTitle(), QStringLiteral("打印预览 - doc.vmk"));
    ASSERT_EQ(preview->LabelData().m_objects.size(), 2u);
    EXPECT_EQ(preview->LabelData().m_objects[0]->m_strName, QStringLiteral("文本1"));
    EXPECT_EQ(preview->LabelData().m_objects[1]->m_strName, QStringLiteral("文本2"));
    EXPECT_EQ(preview->LabelCount(), 1);
    EXPECT_TRUE(window.LabelData().m_objects.empty());
    // A picture for a person to look at: VC_SHOWCASE_DIR names its folder.
    if (!qEnvironmentVariableIsEmpty("VC_SHOWCASE_DIR")) {
        QApplication::processEvents();
        const QDir dir(qEnvironmentVariable("VC_SHOWCASE_DIR"));
        EXPECT_TRUE(preview->grab().save(dir.filePath(QStringLiteral("preview-from-document.png"))));
    }
}

TEST_F(DocumentCommandsTest, ADataSourceAddedInTheManagerIsSavedAndCancelChangesNothing)
{
    CChildFrame& window = OpenLabel();
    const QString csv = WriteFile(m_dir.path(), QStringLiteral("rows.csv"), "x,y\n1,2\n");
    QSignalSpy pane(frame.get(), &CMainFrame::objectPaneUpdate);
    const auto addSource = [&](int closeWith) {
        services.OnNextDialog([&, closeWith](QDialog& manager) {
            services.OnNextDialog([](QDialog& wizard) {
                ClickCtl(&wizard, 1143);
                ClickCtl(&wizard, 1168);
            });
            services.OnNextDialog([&](QDialog& source) {
                TypeInto(&source, 1170, csv);
                ClickCtl(&source, 1192);
                ClickCtl(&source, 1);
            });
            ClickCtl(&manager, 1114);
            ClickCtl(&manager, closeWith);
        });
        Run(40500);
    };

    addSource(2);
    EXPECT_TRUE(window.LabelData().m_dataSources.empty());
    EXPECT_FALSE(window.IsModified());
    EXPECT_TRUE(PaneCodes(pane).isEmpty());

    addSource(1);
    ASSERT_EQ(window.LabelData().m_dataSources.size(), 1u);
    EXPECT_TRUE(window.IsModified());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("doc.vmk *"));
    EXPECT_EQ(PaneCodes(pane), QList<int>{6});

    Run(57603);
    EXPECT_FALSE(window.IsModified());
    const auto saved = Reread(window.LabelData().m_strFilePath);
    ASSERT_EQ(saved->m_dataSources.size(), 1u);
    EXPECT_EQ(saved->m_dataSources[0]->m_strName, window.LabelData().m_dataSources[0]->m_strName);
    EXPECT_EQ(saved->m_objects.size(), 1u);
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(" ").toStdString();
}

TEST_F(DocumentCommandsTest, TheManagerKnowsWhichCanvasObjectsReadASource)
{
    CChildFrame& window = OpenLabel();
    auto source = std::make_unique<CTextDS>();
    source->m_strName = QStringLiteral("货品");
    source->m_selectedFields = {QStringLiteral("字段 1")};
    window.LabelData().m_dataSources.push_back(std::move(source));
    CLabelData scratch;
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(QStringLiteral("货品"), QStringLiteral("字段 1")));
    AddText(scratch, QStringLiteral("文本2"), std::move(bands));
    window.View().AddObject(std::move(scratch.m_objects.front()));
    scratch.m_objects.clear();

    services.answers = {IDNO};
    services.OnNextDialog([&](QDialog& manager) {
        ClickCtl(&manager, 3); // the first source is selected as the manager opens
        EXPECT_EQ(ctl<QTreeWidget>(&manager, 1112)->topLevelItem(0)->childCount(), 1);
        ClickCtl(&manager, 1);
    });
    Run(40500);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(window.LabelData().m_dataSources.size(), 1u);
    // The canvas keeps its objects; the record lends copies only while the manager runs.
    EXPECT_EQ(window.View().ObjectList().size(), 2u);
    EXPECT_TRUE(window.LabelData().m_objects.empty());
}

TEST_F(DocumentCommandsTest, LabelSettingsOfferTheCanvasObjectsAndOkMarksTheDocument)
{
    CChildFrame& window = OpenLabel();
    AddToCanvas(window, QStringLiteral("文本2"), QStringLiteral("B"));
    using Tab = CLabelSettingsDlg;
    for (const int button : {2, 1}) {
        services.OnNextDialog([&, button](QDialog& sheetDialog) {
            auto& sheet = static_cast<CLabelSettingsDlg&>(sheetDialog);
            sheet.Tabs()->setCurrentIndex(Tab::TabLayout);
            TypeInto(sheet.Page(Tab::TabLayout), 1021, QStringLiteral("45"));
            // The page header may show a graphic object: the canvas's, bottom first.
            sheet.Tabs()->setCurrentIndex(Tab::TabAdvanced);
            ctl<QCheckBox>(sheet.Page(Tab::TabAdvanced), 1044)->click(); // a page header
            services.OnNextDialog([](QDialog& header) {
                const auto* objects = ctl<QComboBox>(&header, 1100);
                QStringList names;
                for (int i = 0; i < objects->count(); ++i)
                    names << objects->itemText(i);
                EXPECT_EQ(names, (QStringList{QStringLiteral("<选择图形对象>"), QStringLiteral("文本1"),
                                              QStringLiteral("文本2")}));
                ctl<QPushButton>(&header, 2)->click();
            });
            ctl<QPushButton>(sheet.Page(Tab::TabAdvanced), 1046)->click();
            ctl<QPushButton>(&sheet, button)->click();
        });
        Run(40538);
        EXPECT_FLOAT_EQ(window.LabelData().m_fLabelWidth, button == 1 ? 45.0f : 30.0f);
        EXPECT_EQ(window.IsModified(), button == 1);
    }
    EXPECT_EQ(window.windowTitle(), QStringLiteral("doc.vmk *"));
    EXPECT_TRUE(window.LabelData().m_objects.empty());
}

TEST_F(DocumentCommandsTest, FormAndScriptDialogsMarkTheDocumentOnlyOnOk)
{
    const struct {
        int command;
        int paneCode; // -1: the pane is not told
    } cases[] = {{40539, 3}, {40540, -1}, {40542, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        CChildFrame& window = OpenLabel();
        QSignalSpy pane(frame.get(), &CMainFrame::objectPaneUpdate);
        for (const int button : {2, 1}) {
            services.OnNextDialog([button](QDialog& dialog) {
                // The free script text changes the document only when it changed.
                if (auto* text = dialog.findChild<QTextEdit*>(CtlName(1080)))
                    QTest::keyClicks(text, QStringLiteral("x"));
                ctl<QPushButton>(&dialog, button)->click();
            });
            Run(c.command);
            EXPECT_EQ(window.IsModified(), button == 1);
        }
        EXPECT_EQ(window.windowTitle(), QStringLiteral("doc.vmk *"));
        EXPECT_EQ(PaneCodes(pane), c.paneCode < 0 ? QList<int>{} : QList<int>{c.paneCode});
        window.View().SetModified(false);
        window.close();
    }
    EXPECT_TRUE(services.dialogs.empty());
}

TEST_F(DocumentCommandsTest, TheFreeScriptTextIsKeptSavedAndShownAgain)
{
    CChildFrame& window = OpenLabel();
    services.OnNextDialog([](QDialog& dialog) {
        auto* text = dialog.findChild<QTextEdit*>(CtlName(1080));
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(text->toPlainText().isEmpty());
        QTest::keyClicks(text, QStringLiteral("Sub Hello()"));
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClicks(text, QStringLiteral("End Sub"));
        ctl<QPushButton>(&dialog, 1)->click();
    });
    Run(CmdLabelScriptText);
    EXPECT_TRUE(window.IsModified());
    EXPECT_EQ(window.LabelData().m_strScripts[kScriptPlainText], QStringLiteral("Sub Hello()\r\nEnd Sub"));
    Run(57603);
    EXPECT_FALSE(window.IsModified());
    const QString path = window.LabelData().m_strFilePath;
    EXPECT_EQ(Reread(path)->m_strScripts[kScriptPlainText], QStringLiteral("Sub Hello()\r\nEnd Sub"));
    window.close();

    // Reopened, the dialog shows the text; OK without a change keeps the document
    // as it was, its undo history included.
    auto* again = static_cast<CChildFrame*>(frame->OpenLabelFile(path));
    ASSERT_NE(again, nullptr);
    Run(CmdEditSelectAll);
    Run(CmdEditDelete);
    ASSERT_TRUE(again->View().UndoManager().CanUndo());
    again->View().SetModified(false);
    services.OnNextDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QTextEdit*>(CtlName(1080))->toPlainText(), QStringLiteral("Sub Hello()\nEnd Sub"));
        ctl<QPushButton>(&dialog, 1)->click();
    });
    Run(CmdLabelScriptText);
    EXPECT_FALSE(again->IsModified());
    EXPECT_TRUE(again->View().UndoManager().CanUndo());
    EXPECT_TRUE(services.dialogs.empty());
}

TEST_F(DocumentCommandsTest, APdfPrintWithoutAPrinterSaysInTheStatusBarWhereItWent)
{
    OpenLabel();
    services.printers.clear();
    const QString pdf = m_dir.filePath(QStringLiteral("out.pdf"));
    services.files.push_back(pdf);
    services.OnNextDialog([](QDialog& dialog) {
        EXPECT_EQ(ctl<QComboBox>(&dialog, 1001)->currentText(), CPrintDlg::PdfEntryText());
        ctl<QPushButton>(&dialog, 1)->click();
    });
    Run(57607);
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(" ").toStdString();
    const QStringList pages = PdfPageTexts(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("FROMFILE"))) << pages[0].toStdString();
    auto* status = frame->findChild<CVXStatusBar*>();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->MessageText(), QStringLiteral("已打印到 %1").arg(QDir::toNativeSeparators(pdf)));
    EXPECT_FALSE(status->ShowsPanes());
}

TEST_F(DocumentCommandsTest, NewAsksTheSettingsAndCancelOpensNothing)
{
    services.OnNextDialog([](QDialog& sheet) { ctl<QPushButton>(&sheet, 2)->click(); });
    Run(57600);
    EXPECT_TRUE(frame->LabelWindows().isEmpty());

    services.OnNextDialog([](QDialog& sheetDialog) {
        auto& sheet = static_cast<CLabelSettingsDlg&>(sheetDialog);
        TypeInto(sheet.Page(CLabelSettingsDlg::TabLayout), 1021, QStringLiteral("55"));
        ctl<QPushButton>(&sheet, 1)->click();
    });
    Run(57600);
    ASSERT_EQ(frame->LabelWindows().size(), 1);
    const CLabelData& label = frame->LabelWindows().front()->LabelData();
    EXPECT_EQ(label.m_strTitle, QStringLiteral("新建标签1.vmk"));
    EXPECT_TRUE(label.m_strFilePath.isEmpty());
    EXPECT_FLOAT_EQ(label.m_fLabelWidth, 55.0f);
    EXPECT_TRUE(services.dialogs.empty());
}

} // namespace

TEST_F(DocumentCommandsTest, OutOfMemoryWhilePreparingPrintOrPreviewIsAFailedJob)
{
    CChildFrame& window = OpenLabel();
    // A form that asks for a value while a preview is prepared.
    auto lot = CreateSDGraph(SDTextBox);
    lot->m_strName = QStringLiteral("Lot");
    window.LabelData().m_formItems.push_back(std::move(lot));
    // The record and the canvas objects, as saving would take them.
    const auto DocumentBytesOf = [](CChildFrame& w) {
        CDocWriterV1_0 writer;
        writer.m_pLabelData = &w.LabelData();
        QByteArray bytes = writer.DocumentBytes();
        return bytes.append(QByteArray::number(qulonglong(w.View().ObjectList().size())));
    };
    const QByteArray before = DocumentBytesOf(window);
    QSet<QWidget*> earlier;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<CPreviewFrame*>(widget))
            earlier.insert(widget);
    for (int command : {57607, 57609}) {
        SCOPED_TRACE(command);
        services.messages.clear();
        // The first window the job opens runs out of memory: the print dialog, or
        // the window-data prompt of the preview's first page.
        services.OnNextDialog([](QDialog&) { throw std::bad_alloc(); });
        Run(command);
        EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("内存不足，无法完成此任务。")});
        services.dialogs.clear();
        // A preview whose first page failed stays open on its own copy.
        QList<QPointer<CPreviewFrame>> opened;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* preview = qobject_cast<CPreviewFrame*>(widget); preview && !earlier.contains(preview))
                opened.append(preview);
        EXPECT_EQ(opened.size(), command == 57609 ? 1 : 0);
        for (const QPointer<CPreviewFrame>& preview : opened)
            delete preview.data();
        ASSERT_EQ(frame->LabelWindows().size(), 1);
        EXPECT_FALSE(window.IsModified());
        EXPECT_TRUE(DocumentBytesOf(window) == before);
    }

    services.messages.clear();
    services.OnNextDialog([](QDialog&) { throw std::runtime_error("engine state"); });
    Run(57607);
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("发生意外错误，无法完成此任务。")});
    EXPECT_EQ(frame->LabelWindows().size(), 1);
}

// Label files whose data sources try, each its own way, to make a driver load a
// library, write or truncate a file or create a database: preview and print stop
// with a message naming the source and the reason, and nothing happens on disk.
TEST_F(DocumentCommandsTest, ALabelsConnectionStringCannotLoadALibraryOrWriteAFile)
{
    MarkerLibrary evil;
    QString error;
    if (!BuildMarkerLibrary(m_dir.path(), evil, error))
        GTEST_SKIP() << error.toStdString();
    const QString victim = m_dir.filePath(QStringLiteral("victim.txt"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me\n");
    }
    const QString db = m_dir.filePath(QStringLiteral("a.db"));
    QFile(db).open(QIODevice::WriteOnly);
    const QString created = m_dir.filePath(QStringLiteral("created.db"));
    const QString e = evil.path;
    const QString sqlite = "Driver=SQLite3;Database=" + db;
    const QString key = QStringLiteral("含有不接受的关键字");
    const struct
    {
        QString connection; // a custom source's string, else a SQL Server source's fields
        QString database;
        QString password;
        QString why;
    } cases[] = {
        {"Driver=" + e + ";Database=x;", {}, {}, QStringLiteral("以路径指定驱动程序库，不允许使用")},
        {QStringLiteral("ńriver=") + e, {}, {}, key + QStringLiteral("“ńriver”")},
        {QStringLiteral("Database=x.dbĻDriver=") + e, {}, {}, QStringLiteral("中“Database”的值含有")},
        {sqlite + QStringLiteral(";LoadExtĽ") + e, {}, {}, key + QStringLiteral("“LoadExtĽ")},
        {sqlite + ";X={a}};LoadExt=" + e + ";}", {}, {}, key + QStringLiteral("“X”")},
        {sqlite + ";X={;TraceFile=" + victim + "}", {}, {}, key + QStringLiteral("“X”")},
        {"Driver=FreeTDS;Server=127.0.0.1;X={a}};DumpFile=" + victim + ";}", {}, {}, key + QStringLiteral("“X”")},
        {"Driver={PostgreSQL Unicode};Server=127.0.0.1;pqopt={sslkey=" + e + ":k}", {}, {},
            key + QStringLiteral("“pqopt”")},
        {"Driver=SQLite3;Database=" + created, {}, {}, QStringLiteral("不是已有的文件")},
        {{}, "a};DumpFile=" + victim + ";", QStringLiteral("p"), QStringLiteral("“数据库”的值含有")},
        {{}, QStringLiteral("d"), "x};DumpFile=" + victim + ";", QStringLiteral("“密码”的值含有")},
    };
    QSet<QWidget*> earlier;
    for (QWidget* widget : QApplication::topLevelWidgets())
        earlier.insert(widget);
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why.toStdString());
        auto label = MakeGridLabel(1, 1);
        std::unique_ptr<CDSBase> source;
        if (c.connection.isEmpty()) {
            auto server = std::make_unique<CSQLServerDS>();
            server->m_strServer = EncryptString(QStringLiteral("127.0.0.1"));
            server->m_strDatabase = EncryptString(c.database);
            server->m_strUser = EncryptString(QStringLiteral("sa"));
            server->m_strPassword = EncryptString(c.password);
            source = std::move(server);
        } else {
            auto custom = std::make_unique<CCustomDS>();
            custom->m_strConnectionString = EncryptString(c.connection);
            source = std::move(custom);
        }
        source->m_strName = QStringLiteral("库存");
        source->m_strTable = QStringLiteral("T");
        source->m_selectedFields = QStringList {QStringLiteral("A")};
        label->m_dataSources.push_back(std::move(source));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("库存"), QStringLiteral("A")));
        AddText(*label, QStringLiteral("文本1"), std::move(bands));
        CDocWriterV1_0 writer;
        writer.m_strPath = m_dir.filePath(QStringLiteral("evil%1.vmk").arg(++number));
        writer.m_pLabelData = label.get();
        writer.WriteDocument();
        ASSERT_NE(frame->OpenLabelFile(writer.m_strPath), nullptr);

        for (int command : {57609, 57607}) {
            SCOPED_TRACE(command);
            services.messages.clear();
            PrintToPdfOnNextDialog(services, m_dir.filePath(QStringLiteral("out")));
            Run(command);
            const QString shown = services.MessageTexts().join(u'\n');
            EXPECT_TRUE(shown.contains(QStringLiteral("数据源“库存”的"))) << shown.toStdString();
            EXPECT_TRUE(shown.contains(c.why)) << shown.toStdString();
            services.dialogs.clear();
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (qobject_cast<CPreviewFrame*>(widget) && !earlier.contains(widget))
                    delete widget;
        }
        ASSERT_TRUE(frame->CloseAllLabels());
    }
    EXPECT_FALSE(QFile::exists(evil.marker));
    EXPECT_FALSE(QFile::exists(created));
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me\n");
}

// A label whose Access file is damaged so that libmdb runs out of memory reading it:
// the reader process ends, the preview reports it naming the file, and the program
// goes on with the label open.
TEST_F(DocumentCommandsTest, ADamagedAccessFileCostsAMessageNotTheProgram)
{
    const QString mdb = m_dir.filePath(QStringLiteral("货品.mdb"));
    ASSERT_TRUE(WriteAccessFixture(mdb, ColumnHungryAccessFile()));
    SetAccessReaderLimits({qint64(24) << 20, 60, qint64(1) << 30});
    const struct Restore
    {
        ~Restore() { SetAccessReaderLimits({}); }
    } restore;
    auto label = MakeGridLabel(1, 1);
    auto source = std::make_unique<CAccessDS>();
    source->m_strName = QStringLiteral("货品");
    source->m_strPath = mdb;
    source->m_strPassword = EncryptString({});
    source->m_strTable = QStringLiteral("T");
    source->m_selectedFields = QStringList {QStringLiteral("A")};
    label->m_dataSources.push_back(std::move(source));
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand(QStringLiteral("货品"), QStringLiteral("A")));
    AddText(*label, QStringLiteral("文本1"), std::move(bands));
    CDocWriterV1_0 writer;
    writer.m_strPath = m_dir.filePath(QStringLiteral("access.vmk"));
    writer.m_pLabelData = label.get();
    writer.WriteDocument();
    ASSERT_NE(frame->OpenLabelFile(writer.m_strPath), nullptr);

    QSet<QWidget*> earlier;
    for (QWidget* widget : QApplication::topLevelWidgets())
        earlier.insert(widget);
    for (int attempt = 0; attempt < 2; ++attempt) {
        services.messages.clear();
        QElapsedTimer timer;
        timer.start();
        Run(57609);
        EXPECT_LT(timer.elapsed(), kHungAfterMs); // the reader's own limit is a minute
        const QString shown = services.MessageTexts().join(u'\n');
        EXPECT_TRUE(shown.contains(QStringLiteral("Access数据库“%1”已损坏或无法读取").arg(mdb))) << shown.toStdString();
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<CPreviewFrame*>(widget) && !earlier.contains(widget))
                delete widget;
    }
    EXPECT_EQ(frame->LabelWindows().size(), 1);
    ASSERT_TRUE(frame->CloseAllLabels());
}

// The connections users already have, in labels opened in the program: each previews
// every row with no message, in a locale that is not UTF-8 too. A label whose string is
// refused gets the refusal alone, with no piece of its password.
TEST_F(DocumentCommandsTest, UsersConnectionsPreviewEveryRowAndARefusalStandsAlone)
{
    VC_TEST_SERVER(pg, "VC_PG");
    VC_TEST_SERVER(my, "VC_MY");
    const QString file = m_dir.filePath(QStringLiteral("people.db"));
    ASSERT_TRUE(WritePeopleFile(file));
    const OwnOdbcIni ini(UsersOdbcIni(pg, my, file));
    const LocaleFor locale("C");
    const auto openLabel = [&](const QString& connection, int number) {
        auto label = MakeGridLabel(1, 1);
        auto custom = std::make_unique<CCustomDS>();
        custom->m_strConnectionString = EncryptString(connection);
        custom->m_strName = QStringLiteral("库存");
        custom->m_strTable = QStringLiteral("People");
        custom->m_selectedFields = QStringList {QStringLiteral("City")};
        label->m_dataSources.push_back(std::move(custom));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("库存"), QStringLiteral("City")));
        AddText(*label, QStringLiteral("文本1"), std::move(bands));
        CDocWriterV1_0 writer;
        writer.m_strPath = m_dir.filePath(QStringLiteral("users%1.vmk").arg(number));
        writer.m_pLabelData = label.get();
        writer.WriteDocument();
        return frame->OpenLabelFile(writer.m_strPath) != nullptr;
    };
    int number = 0;
    for (const QString& connection : UsersConnectionStrings(pg, my)) {
        SCOPED_TRACE(connection.toStdString());
        ASSERT_TRUE(openLabel(connection, ++number));
        services.messages.clear();
        Run(57609);
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(" ").toStdString();
        CPreviewFrame* preview = OpenedPreview();
        ASSERT_NE(preview, nullptr);
        const std::unique_ptr<CPreviewFrame> owner(preview);
        EXPECT_EQ(preview->LabelCount(), 100);
        ASSERT_TRUE(frame->CloseAllLabels());
    }

    ASSERT_TRUE(openLabel(QStringLiteral("DSN=VcPg;UID=u;PWD=Zq7a;Zq7b"), ++number));
    for (int command : {57609, 57607}) {
        SCOPED_TRACE(command);
        services.messages.clear();
        PrintToPdfOnNextDialog(services, m_dir.filePath(QStringLiteral("refused")));
        Run(command);
        services.dialogs.clear();
        ASSERT_FALSE(services.MessageTexts().isEmpty());
        EXPECT_EQ(services.MessageTexts().first(),
            QStringLiteral("数据源“库存”的连接字符串在密码之后含有不接受的内容，不允许使用：连接字符串中的密码不能含有 {、}、;、= "
                           "或控制字符，也不能加引号或括号；请改用不含这些字符的密码，或把密码写入用 odbcinst 在 unixODBC "
                           "中注册的数据源，标签再以 DSN 指定该数据源。PostgreSQL 和 MySQL 数据库也可以改用本程序的 "
                           "PostgreSQL、MySQL 数据源。"));
        EXPECT_FALSE(services.MessageTexts().join(u'\n').contains(QStringLiteral("Zq7")));
        delete OpenedPreview();
    }
    ASSERT_TRUE(frame->CloseAllLabels());
}
