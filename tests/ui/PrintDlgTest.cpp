// The print dialog and its loop over recording targets, window data typed per label,
// and a whole run into a PDF file that is rasterised and decoded.
#include "FakeServices.h"
#include "TestSupport.h"
#include "app/Ctl.h"
#include "app/controls/FontStatic.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeImpl_Code128.h"
#include "platform/ScreenDpi.h"
#include "platform/VXException.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "output/PrintHandler.h"
#include "output/ui/PrintCommands.h"
#include "output/ui/JobProgress.h"
#include "output/ui/PreviewFrame.h"
#include "output/ui/PrintDlg.h"
#include "output/ui/WindowDataInputDlg.h"
#include "tests/output/OutputSupport.h"

#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Records the page number each printed page shows, and how the document ended.
struct PrintLog
{
    QStringList pages;
    bool ended = false;
    bool aborted = false;
};

class RecordingTarget : public CPrintTarget
{
public:
    RecordingTarget(PrintLog& log, const CPrintHandler& job) : m_log(log), m_job(job) {}
    bool BeginDocument(const CLabelData&, const QString&) override { return true; }
    QPainter* BeginPage() override
    {
        m_page = QImage(10, 10, QImage::Format_RGB32);
        m_painter.begin(&m_page);
        return &m_painter;
    }
    bool EndPage() override
    {
        m_painter.end();
        for (CBaseGraph* item : m_job.GetPageItems())
            if (item->m_strName == "_PageNo")
                m_log.pages << item->m_strText;
        return true;
    }
    bool EndDocument() override
    {
        m_log.ended = true;
        return true;
    }
    void Abort() override
    {
        if (m_painter.isActive())
            m_painter.end();
        m_log.aborted = true;
    }

private:
    PrintLog& m_log;
    const CPrintHandler& m_job;
    QImage m_page;
    QPainter m_painter;
};

// An encoder that refuses every content.
class AlwaysRefusingCode128 : public CBarcodeImpl_Code128
{
public:
    void Encode() override { throw CBarcodeException(QStringLiteral("data too long")); }
};

// A label of one cell per page with a page number, n labels long.
std::unique_ptr<CLabelData> PagedLabel(int pages)
{
    auto label = MakeGridLabel(1, 1);
    label->m_nPrintCount = pages;
    label->m_bPageNumber = true;
    label->m_strTitle = QStringLiteral("paged.vmk");
    return label;
}

struct DialogRun
{
    explicit DialogRun(CLabelData& label)
    {
        services.printers = {QStringLiteral("Office"), QStringLiteral("Shop")};
        dialog.SetLabelData(&label);
        dialog.CreatePrintHandler();
        dialog.SetTargetFactory([this](const QString& printer, const QString&) {
            printerUsed = printer;
            return std::make_unique<RecordingTarget>(log, *dialog.PrintHandler());
        });
    }
    void Set(int id, const QString& text) { ctl<CVXUnitEdit>(&dialog, id)->setText(text); }
    void Mode(int id) { ctl<QRadioButton>(&dialog, id)->click(); }
    void Print() { ctl<QPushButton>(&dialog, 1)->click(); }

    FakeServices services;
    CPrintDlg dialog;
    PrintLog log;
    QString printerUsed;
};

} // namespace

TEST(PrintDlg, OpensWithTheLabelsPrinterAndAllPages)
{
    auto label = PagedLabel(4);
    label->m_strPrinterName = QStringLiteral("Shop");
    DialogRun run(*label);
    EXPECT_EQ(run.dialog.windowTitle(), QStringLiteral("打印 - paged.vmk"));
    auto* printers = ctl<QComboBox>(&run.dialog, 1001);
    EXPECT_EQ(printers->currentText(), QStringLiteral("Shop"));
    EXPECT_EQ(printers->itemText(printers->count() - 1), CPrintDlg::PdfEntryText());
    EXPECT_TRUE(ctl<QRadioButton>(&run.dialog, 1003)->isChecked());
    EXPECT_FALSE(ctl<CVXUnitEdit>(&run.dialog, 14)->isEnabled());
    EXPECT_FALSE(ctl<QCheckBox>(&run.dialog, 19)->isEnabled());
    run.Mode(12);
    EXPECT_TRUE(ctl<CVXUnitEdit>(&run.dialog, 21)->isEnabled());
    EXPECT_FALSE(ctl<CVXUnitEdit>(&run.dialog, 14)->isEnabled());
    EXPECT_TRUE(ctl<QCheckBox>(&run.dialog, 19)->isEnabled());

    // The last page starts empty.
    run.Print();
    EXPECT_TRUE(run.log.pages.isEmpty());
    EXPECT_EQ(run.services.MessageTexts(), QStringList{QStringLiteral("终止页不能小于起始页,或大于总页数!")});
    run.Mode(1003);
    run.Print();
    EXPECT_EQ(run.printerUsed, QStringLiteral("Shop"));
    EXPECT_EQ(run.log.pages.size(), 4);
}

TEST(PrintDlg, PageOrderCopiesCollationAndRanges)
{
    struct Case
    {
        int mode;
        QString a, b;
        QString copies;
        bool collate;
        QStringList pages;
    };
    const Case cases[] = {
        {1003, {}, {}, QStringLiteral("1"), false, {"1", "2", "3", "4"}},
        {12, "1", "2", "2", true, {"1", "1", "2", "2"}},
        {12, "1", "2", "2", false, {"1", "2", "1", "2"}},
        {11, "3", "2", "1", false, {"3", "4"}},
        {12, "2", "4", "1", true, {"2", "3", "4"}},
    };
    for (const Case& c : cases) {
        auto label = PagedLabel(4);
        DialogRun run(*label);
        run.Mode(c.mode);
        if (c.mode == 11) {
            run.Set(14, c.a);
            run.Set(17, c.b);
        } else if (c.mode == 12) {
            run.Set(21, c.a);
            run.Set(24, c.b);
        }
        run.Set(26, c.copies);
        ctl<QCheckBox>(&run.dialog, 1004)->setChecked(c.collate);
        run.Print();
        EXPECT_EQ(run.log.pages, c.pages) << c.mode << " " << c.a.toStdString() << " " << c.collate;
        EXPECT_TRUE(run.log.ended);
        EXPECT_EQ(run.printerUsed, QStringLiteral("Office"));
        EXPECT_TRUE(run.services.messages.empty());
    }
}

TEST(PrintDlg, RefusesWhatCannotPrint)
{
    struct Case
    {
        int mode;
        QString a, b, copies;
        QString message;
    };
    const Case cases[] = {
        {11, "0", "1", "1", QStringLiteral("起始页不能小于等于0!")},
        {11, "1", "0", "1", QStringLiteral("打印页数不能小于等于0,或大于总页数!")},
        {11, "1", "5", "1", QStringLiteral("打印页数不能小于等于0,或大于总页数!")},
        // A range that would end past the last page prints blank pages: refused.
        {11, "3", "3", "1", QStringLiteral("起始页加页数超出了最后一页(总共4页)！")},
        {11, "5", "1", "1", QStringLiteral("起始页加页数超出了最后一页(总共4页)！")},
        {12, "5", "5", "1", QStringLiteral("终止页不能小于起始页,或大于总页数!")},
        {12, "0", "2", "1", QStringLiteral("起始页不能小于等于0!")},
        {12, "3", "2", "1", QStringLiteral("终止页不能小于起始页,或大于总页数!")},
        {1003, {}, {}, "0", QStringLiteral("打印份数必须大于等于1!")},
        // Every box takes whole numbers only, the copies no more than its arrows go to.
        {1003, {}, {}, "100107", QStringLiteral("请输入1到1000之间的整数！")},
        {1003, {}, {}, "1001", QStringLiteral("请输入1到1000之间的整数！")},
        {1003, {}, {}, "70.0013.5", QStringLiteral("请输入1到1000之间的整数！")},
        {12, "2.5", "4", "1", QStringLiteral("请输入1到4之间的整数！")},
        {11, "1", "4abc", "1", QStringLiteral("请输入1到4之间的整数！")},
    };
    for (const Case& c : cases) {
        auto label = PagedLabel(4);
        DialogRun run(*label);
        run.Mode(c.mode);
        run.Set(c.mode == 12 ? 21 : 14, c.a);
        run.Set(c.mode == 12 ? 24 : 17, c.b);
        run.Set(26, c.copies);
        run.Print();
        EXPECT_EQ(run.services.MessageTexts(), QStringList{c.message});
        EXPECT_TRUE(run.log.pages.isEmpty());
        EXPECT_TRUE(ctl<QPushButton>(&run.dialog, 1)->isEnabled());
    }

    // No printer installed: the PDF file is chosen, and 打印 asks where to write it.
    auto label = PagedLabel(1);
    DialogRun run(*label);
    run.services.printers.clear();
    run.dialog.CreatePrintHandler();
    auto* printers = ctl<QComboBox>(&run.dialog, 1001);
    EXPECT_EQ(printers->count(), 1);
    EXPECT_EQ(printers->currentText(), CPrintDlg::PdfEntryText());
    run.Print();
    EXPECT_TRUE(run.services.messages.empty()) << run.services.MessageTexts().join(" ").toStdString();
    EXPECT_TRUE(run.log.pages.isEmpty()); // the file picker was cancelled
}

TEST(PrintDlg, NothingToPrintIsSaidAndNoDocumentStarts)
{
    // A data source without rows, or a print count of 0: no page at all.
    auto label = PagedLabel(0);
    DialogRun run(*label);
    EXPECT_EQ(ctl<CFontStatic>(&run.dialog, 1002)->text(), QStringLiteral("总共0页"));
    run.Print();
    EXPECT_EQ(run.services.MessageTexts(), QStringList{QStringLiteral("没有可打印的页！")});
    EXPECT_FALSE(run.log.ended);
    EXPECT_TRUE(run.printerUsed.isNull());
    EXPECT_TRUE(ctl<QPushButton>(&run.dialog, 1)->isEnabled());
}

TEST(PrintDlg, MovesOnToTheNextRangeAfterPrinting)
{
    auto label = PagedLabel(10);
    DialogRun run(*label);
    run.Mode(12);
    run.Set(21, "3");
    run.Set(24, "5");
    ctl<QCheckBox>(&run.dialog, 19)->setChecked(true);
    run.dialog.show();
    run.Print();
    EXPECT_EQ(run.log.pages, (QStringList{"3", "4", "5"}));
    EXPECT_EQ(run.services.MessageTexts(), QStringList{QStringLiteral("打印完成!")});
    EXPECT_EQ(ctl<CVXUnitEdit>(&run.dialog, 21)->text(), QStringLiteral("6"));
    EXPECT_EQ(ctl<CVXUnitEdit>(&run.dialog, 24)->text(), QStringLiteral("8"));
    EXPECT_TRUE(run.dialog.isVisible());

    run.Mode(11);
    run.Set(14, "1");
    run.Set(17, "4");
    run.Print();
    EXPECT_EQ(ctl<CVXUnitEdit>(&run.dialog, 14)->text(), QStringLiteral("5"));
    EXPECT_TRUE(ctl<QPushButton>(&run.dialog, 1)->isEnabled());
}

TEST(PrintDlg, MovingOnPastTheLastPageRefusesTheNextPrint)
{
    for (const int mode : {11, 12}) {
        SCOPED_TRACE(mode);
        auto label = PagedLabel(3);
        DialogRun run(*label);
        run.Mode(mode);
        run.Set(mode == 11 ? 14 : 21, "1");
        run.Set(mode == 11 ? 17 : 24, "2");
        ctl<QCheckBox>(&run.dialog, 19)->setChecked(true);
        run.dialog.show();
        const auto range = [&] {
            return QStringList{ctl<CVXUnitEdit>(&run.dialog, mode == 11 ? 14 : 21)->text(),
                               ctl<CVXUnitEdit>(&run.dialog, mode == 11 ? 17 : 24)->text()};
        };
        run.Print();
        EXPECT_EQ(run.log.pages, (QStringList{"1", "2"}));
        // Only page 3 is left: the next range is that page.
        EXPECT_EQ(range(), (mode == 11 ? QStringList{"3", "1"} : QStringList{"3", "3"}));
        run.Print();
        EXPECT_EQ(run.log.pages, (QStringList{"1", "2", "3"}));
        // Every page is printed: the range shown lies past the last page, and printing
        // it again is refused, so page 3's labels (serial numbers) do not come twice.
        EXPECT_EQ(range(), (mode == 11 ? QStringList{"4", "1"} : QStringList{"4", "4"}));
        run.Print();
        EXPECT_EQ(run.log.pages, (QStringList{"1", "2", "3"}));
        EXPECT_EQ(run.services.MessageTexts(),
                  (QStringList{"打印完成!", "打印完成!",
                               mode == 11 ? QStringLiteral("起始页加页数超出了最后一页(总共3页)！")
                                          : QStringLiteral("终止页不能小于起始页,或大于总页数!")}));
    }
}

TEST(PrintDlg, TheCopiesBoxPrintsUpToTheTopOfItsRange)
{
    // The top of the range still prints.
    auto label = PagedLabel(1);
    DialogRun run(*label);
    run.Set(26, " 1000 ");
    run.Print();
    EXPECT_TRUE(run.services.messages.empty());
    EXPECT_EQ(run.log.pages.size(), 1000);
}

TEST(PrintDlg, CancelAsksAndStopsAfterTheCurrentPage)
{
    for (const int answer : {IDNO, IDYES}) {
        auto label = PagedLabel(4);
        DialogRun run(*label);
        run.services.answers.push_back(answer);
        run.dialog.show();
        // The click on Cancel waits in the queue until the loop lets events through.
        QMetaObject::invokeMethod(&run.dialog, "reject", Qt::QueuedConnection);
        run.Print();
        EXPECT_EQ(run.services.MessageTexts(), QStringList{QStringLiteral("您确定取消打印任务吗？")});
        if (answer == IDNO) {
            EXPECT_EQ(run.log.pages.size(), 4);
            EXPECT_TRUE(run.log.ended);
            EXPECT_FALSE(run.dialog.isVisible());
        } else {
            EXPECT_EQ(run.log.pages, QStringList{"1"});
            EXPECT_TRUE(run.log.aborted);
            EXPECT_FALSE(run.log.ended);
            EXPECT_TRUE(run.dialog.isVisible());
            EXPECT_TRUE(ctl<QPushButton>(&run.dialog, 1)->isEnabled());
        }
    }
}

TEST(PrintDlg, TheProgressBlocksTheDialogAndItsCancelButtonStopsThePrint)
{
    auto label = PagedLabel(4);
    DialogRun run(*label);
    run.services.answers.push_back(IDYES);
    run.dialog.show();
    bool dialogBlocked = false;
    // Runs once the loop lets events through after the first page.
    QTimer::singleShot(0, &run.dialog, [&] {
        auto* progress = qobject_cast<CJobProgress*>(QApplication::activeModalWidget());
        ASSERT_NE(progress, nullptr);
        // A click on the print dialog's own Cancel does not reach it.
        QWidget* dialogCancel = ctl<QPushButton>(&run.dialog, 2);
        QTest::mouseClick(run.dialog.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          dialogCancel->mapTo(&run.dialog, dialogCancel->rect().center()));
        dialogBlocked = run.services.messages.empty();
        QWidget* cancel = ctl<QPushButton>(progress, 2);
        QTest::mouseClick(progress->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          cancel->mapTo(progress, cancel->rect().center()));
    });
    run.Print();
    EXPECT_TRUE(dialogBlocked);
    EXPECT_EQ(run.services.MessageTexts(), QStringList{QStringLiteral("您确定取消打印任务吗？")});
    EXPECT_EQ(run.log.pages, QStringList{"1"});
    EXPECT_TRUE(run.log.aborted);
    EXPECT_TRUE(run.dialog.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(PrintDlg, AFailingLabelStopsThePrintWithTheObjectAndValue)
{
    auto label = PagedLabel(3);
    CBarcodeGraph& barcode = AddSerialBarcode(*label, "Code", 1, 2, 2);
    auto refusing = std::make_unique<AlwaysRefusingCode128>();
    refusing->Attach(barcode.GetImpl()->GetSettings()->Clone(), barcode.GetImpl()->GetData()->Clone());
    barcode.m_pBarcodeImpl = std::move(refusing);
    DialogRun run(*label);
    run.dialog.show();
    run.Print();
    ASSERT_EQ(run.services.messages.size(), 1u);
    const QString text = run.services.messages[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("“Code”")) && text.contains(QStringLiteral("“1”"))) << text.toStdString();
    EXPECT_TRUE(run.log.aborted);
    EXPECT_TRUE(run.dialog.isVisible());
    EXPECT_TRUE(ctl<QPushButton>(&run.dialog, 1)->isEnabled());
}

TEST(WindowData, EachLabelAsksAndCancelKeepsThePreviousValue)
{
    FakeServices services;
    auto label = MakeGridLabel(1, 3);
    label->m_nPrintCount = 3;
    auto caption = CreateSDGraph(SDStaticText);
    caption->m_strText = QStringLiteral("批号：");
    label->m_formItems.push_back(std::move(caption));
    auto edit = CreateSDGraph(SDTextBox);
    edit->m_strName = QStringLiteral("Lot");
    edit->m_nX = 80;
    edit->m_strText = QStringLiteral("L-");
    label->m_formItems.push_back(std::move(edit));
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandWindowData;
    band->m_strWindowItem = QStringLiteral("Lot");
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(std::move(band));
    AddText(*label, "T", std::move(bands));

    const auto typeAndOk = [&](const QString& text) {
        services.OnNextDialog([text](QDialog& dialog) {
            auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("field_Lot"));
            ASSERT_NE(field, nullptr);
            // Each showing starts from the form's own text.
            EXPECT_EQ(field->text(), QStringLiteral("L-"));
            field->setText(text);
            dialog.findChild<QPushButton*>(QStringLiteral("ctl_1"))->click();
        });
    };
    typeAndOk(QStringLiteral("A1"));
    services.OnNextDialog([](QDialog& dialog) { dialog.reject(); });
    typeAndOk(QStringLiteral("C3"));

    QWidget parent;
    CWindowDataPrompt prompt(&parent);
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.SetWindowDataPrompt(&prompt);
    job.Prepare();
    const auto cells = PreviewPage(job, 1);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0].text, QStringLiteral("A1"));
    EXPECT_EQ(cells[1].text, QStringLiteral("A1"));
    EXPECT_EQ(cells[2].text, QStringLiteral("C3"));
    EXPECT_EQ(services.dialogClasses.size(), 3u);
    EXPECT_EQ(services.dialogClasses[0], QStringLiteral("CWindowDataInputDlg"));
}

TEST(PrintDlg, PrintsADocumentIntoAPdfThatDecodes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto label = MakeGridLabel(2, 2);
    label->m_fLabelWidth = 60;
    label->m_fLabelHeight = 40;
    label->m_nPrintCount = 6;
    label->m_strTitle = QStringLiteral("serials.vmk");
    CBarcodeGraph& barcode = AddSerialBarcode(*label, "B", 700, 5, 10);
    barcode.GetImpl()->GetSettings()->m_fModuleWidth = 15.0f;

    const QString content = barcode.GetImpl()->GetSettings()->m_strContent;
    FakeServices services;
    const QString pdf = dir.filePath("out.pdf");
    services.files.push_back(dir.filePath("out"));
    services.OnNextDialog([](QDialog& dialog) {
        // No printer: the PDF file is chosen already.
        EXPECT_EQ(ctl<QComboBox>(&dialog, 1001)->currentText(), CPrintDlg::PdfEntryText());
        ctl<QPushButton>(&dialog, 1)->click();
    });
    RunPrintDialog(*label, nullptr);
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(" ").toStdString();
    ASSERT_TRUE(QFileInfo::exists(pdf));
    // Printing worked on a copy: the document's barcode holds no generated value.
    EXPECT_EQ(barcode.GetImpl()->GetSettings()->m_strContent, content);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.pdf"});

    constexpr int dpi = 200;
    QProcess raster;
    raster.start("pdftoppm", {"-r", QString::number(dpi), "-png", pdf, dir.filePath("page")});
    ASSERT_TRUE(raster.waitForFinished(60000));
    ASSERT_EQ(raster.exitCode(), 0) << raster.readAllStandardError().toStdString();
    const QStringList pngs = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
    ASSERT_EQ(pngs.size(), 2);
    QStringList read;
    for (const QString& png : pngs) {
        const QImage page(dir.filePath(png));
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 2; ++c) {
                const double x = 10 + 65.0 * c, y = 10 + 45.0 * r;
                const QRect cell(int(x * dpi / 25.4), int(y * dpi / 25.4), int(60 * dpi / 25.4), int(40 * dpi / 25.4));
                if (const auto value = ReadCode128(page.copy(cell)))
                    read << *value;
            }
        }
    }
    EXPECT_EQ(read, (QStringList{"700", "701", "702", "703", "704", "705"}));
}

// A PDF follows the umask as any file the program writes.
TEST(PrintDlg, APdfFollowsTheUmask)
{
    QTemporaryDir dir;
    auto label = MakeGridLabel(1, 1);
    AddSerialBarcode(*label, "B", 1, 5, 10);
    FakeServices services;
    for (const mode_t umask : {mode_t(077), mode_t(022)}) {
        const ScopedUmask mask(umask);
        const QString name = QStringLiteral("mask%1").arg(umask, 3, 8, QLatin1Char('0'));
        services.files.push_back(dir.filePath(name));
        services.OnNextDialog([](QDialog& dialog) {
            auto* printers = ctl<QComboBox>(&dialog, 1001);
            printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
            ctl<QPushButton>(&dialog, 1)->click();
        });
        RunPrintDialog(*label, nullptr);
        EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(" ").toStdString();
        struct stat info
        {
        };
        ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(name + ".pdf")).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666u & ~umask);
    }
}

TEST(PrintDlg, ALabelPrintersPagesAreOneRowOfLabelsAsThePreviewShows)
{
    QTemporaryDir dir;
    auto label = MakeGridLabel(1, 2);
    label->m_nPrinterType = 1;
    label->m_nPrintCount = 4;
    label->m_strTitle = QStringLiteral("roll.vmk");
    FakeServices services;
    const QString pdf = dir.filePath("roll.pdf");
    services.files.push_back(pdf);
    services.OnNextDialog([](QDialog& dialog) {
        auto* printers = ctl<QComboBox>(&dialog, 1001);
        printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
        ctl<QPushButton>(&dialog, 1)->click();
    });
    RunPrintDialog(*label, nullptr);
    ASSERT_TRUE(QFileInfo::exists(pdf)) << services.MessageTexts().join(" ").toStdString();

    // 10 + 30 + 5 + 30 + 10 mm across, 10 + 20 + 10 mm down, as the preview draws it;
    // an A4 sheet per row would feed a roll a whole sheet's length each time.
    const QSize preview = PreviewPaperSize(*label, 1.0f);
    EXPECT_NEAR(preview.width() * 25.4 / g_nScreenDpiX, 85.0, 0.5);
    EXPECT_NEAR(preview.height() * 25.4 / g_nScreenDpiY, 40.0, 0.5);
    QProcess info;
    info.start("pdfinfo", {pdf});
    ASSERT_TRUE(info.waitForFinished(60000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QRegularExpression("Pages:\\s+2\\n"))) << out.toStdString();
    const QRegularExpressionMatch size = QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+) pts").match(out);
    ASSERT_TRUE(size.hasMatch()) << out.toStdString();
    EXPECT_NEAR(size.captured(1).toDouble() * 25.4 / 72, 85.0, 0.5);
    EXPECT_NEAR(size.captured(2).toDouble() * 25.4 / 72, 40.0, 0.5);
}

TEST(PrintDlg, ACancelledPdfLeavesNoFileBehind)
{
    QTemporaryDir dir;
    auto label = PagedLabel(5);
    FakeServices services;
    services.files.push_back(dir.filePath("cancelled.pdf"));
    services.answers.push_back(IDYES);
    services.OnNextDialog([](QDialog& dialog) {
        auto* printers = ctl<QComboBox>(&dialog, 1001);
        printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
        QMetaObject::invokeMethod(&dialog, "reject", Qt::QueuedConnection);
        ctl<QPushButton>(&dialog, 1)->click();
        dialog.reject();
    });
    RunPrintDialog(*label, nullptr);
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("您确定取消打印任务吗？")});
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(PrintDlg, OpensOnTheLabelsPrinterElseTheLastDestinationElseTheFirst)
{
    FakeServices services;
    services.printers = {QStringLiteral("Office"), QStringLiteral("Shop")};
    const auto opensOn = [&](const QString& labelPrinter) {
        auto label = PagedLabel(1);
        label->m_strPrinterName = labelPrinter;
        CPrintDlg dialog;
        dialog.SetLabelData(label.get());
        dialog.CreatePrintHandler();
        return ctl<QComboBox>(&dialog, 1001)->currentText();
    };
    EXPECT_EQ(opensOn(QString()), QStringLiteral("Office"));

    // A print to the PDF file: the next dialog opens on it, unless the label's own
    // printer is there.
    QTemporaryDir dir;
    services.files.push_back(dir.filePath("first.pdf"));
    auto label = PagedLabel(1);
    services.OnNextDialog([](QDialog& dialog) {
        auto* printers = ctl<QComboBox>(&dialog, 1001);
        printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
        ctl<QPushButton>(&dialog, 1)->click();
    });
    RunPrintDialog(*label, nullptr);
    ASSERT_TRUE(QFileInfo::exists(dir.filePath("first.pdf")));
    EXPECT_EQ(opensOn(QString()), CPrintDlg::PdfEntryText());
    EXPECT_EQ(opensOn(QStringLiteral("Gone")), CPrintDlg::PdfEntryText());
    EXPECT_EQ(opensOn(QStringLiteral("Shop")), QStringLiteral("Shop"));
}

namespace {

// A label whose OnLabelStart script gives Text1 its value, numbered by a counter that
// lives as long as the job.
std::unique_ptr<CLabelData> PrintDlgScriptedLabel(int pages, const QString& script)
{
    auto label = PagedLabel(pages);
    label->m_fLabelWidth = 80;
    label->m_fLabelHeight = 30;
    AddText(*label, "Text1", {}).m_strText = QStringLiteral("PLAIN");
    label->m_strScripts[ScriptShared] = QStringLiteral("Dim n");
    label->m_strScripts[ScriptOnLabelStart] = script;
    return label;
}

// Prints the dialog's label into the PDF file path, through the dialog's own 打印.
void PrintDlgToPdf(FakeServices& services, CPrintDlg& dialog, const QString& path)
{
    auto* printers = ctl<QComboBox>(&dialog, 1001);
    printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
    services.files.push_back(path);
    ctl<QPushButton>(&dialog, 1)->click();
}

// Each page shows the value the script gave and not the label's own.
void ExpectScriptedPages(const QString& pdf, const QString& prefix, int first, int count)
{
    const QStringList pages = PdfPageTexts(pdf);
    ASSERT_EQ(pages.size(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(pages[i].contains(prefix + QString::number(first + i))) << pages[i].toStdString();
        EXPECT_FALSE(pages[i].contains(QStringLiteral("PLAIN"))) << i;
    }
}

} // namespace

TEST(PrintDlg, AfterACancelledRunTheNextRunRunsTheScriptsOnEveryLabel)
{
    QTemporaryDir dir;
    FakeServices services;
    services.printers = {QStringLiteral("Office")};
    auto label = PrintDlgScriptedLabel(3, "n = n + 1\r\nObjects.Item(\"Text1\").Value = \"SCRIPTED\" & n");
    CPrintDlg dialog;
    dialog.SetLabelData(label.get());
    dialog.CreatePrintHandler();
    dialog.show();

    // The first run is cancelled after its first page.
    services.answers.push_back(IDYES);
    QMetaObject::invokeMethod(&dialog, "reject", Qt::QueuedConnection);
    PrintDlgToPdf(services, dialog, dir.filePath("cancelled.pdf"));
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("您确定取消打印任务吗？")});
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("cancelled.pdf")));
    ASSERT_TRUE(dialog.isVisible());

    PrintDlgToPdf(services, dialog, dir.filePath("again.pdf"));
    EXPECT_FALSE(dialog.isVisible());
    ExpectScriptedPages(dir.filePath("again.pdf"), QStringLiteral("SCRIPTED"), 2, 3);
}

TEST(PrintDlg, StoppingAJobInAScriptErrorBoxStopsThatJobOnly)
{
    QTemporaryDir dir;
    FakeServices services;
    services.printers = {QStringLiteral("Office")};
    // The first label of the first run fails; the others are numbered.
    auto label = PrintDlgScriptedLabel(3, "n = n + 1\r\nIf n = 1 Then x = 1 / 0\r\n"
                                  "Objects.Item(\"Text1\").Value = \"LABEL\" & n");
    CPrintDlg dialog;
    dialog.SetLabelData(label.get());
    dialog.CreatePrintHandler();
    dialog.show();
    services.OnNextDialog([](QDialog& box) {
        EXPECT_EQ(box.windowTitle(), "脚本错误");
        box.findChild<QPushButton*>("stop")->click();
    });
    PrintDlgToPdf(services, dialog, dir.filePath("stopped.pdf"));
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("stopped.pdf")));
    ASSERT_TRUE(dialog.isVisible());
    EXPECT_TRUE(ctl<QPushButton>(&dialog, 1)->isEnabled());

    // The dialog prints again, scripts and all.
    PrintDlgToPdf(services, dialog, dir.filePath("again.pdf"));
    EXPECT_TRUE(services.messages.empty()) << services.MessageTexts().join(" ").toStdString();
    ExpectScriptedPages(dir.filePath("again.pdf"), QStringLiteral("LABEL"), 2, 3);
}

// What a label's script shows, in a message box or its error box, is its text with a character
// that would turn the sentence around shown by its code.
TEST(PrintDlg, AScriptsMessageAndErrorShowAReversingCharacterByItsCode)
{
    QTemporaryDir dir;
    FakeServices services;
    services.printers = {QStringLiteral("Office")};
    auto label = PrintDlgScriptedLabel(1, "n = n + 1\r\nIf n = 1 Then MsgBox \"左\" & ChrW(&H202E) & \"右\"\r\n"
                                          "If n = 1 Then Err.Raise 1000, , \"源\" & ChrW(&H202E) & \"码\"");
    CPrintDlg dialog;
    dialog.SetLabelData(label.get());
    dialog.CreatePrintHandler();
    dialog.show();
    QString error;
    services.OnNextDialog([&](QDialog& box) {
        error = box.findChild<QLabel*>("text")->text();
        box.findChild<QPushButton*>("stop")->click();
    });
    PrintDlgToPdf(services, dialog, dir.filePath("stopped.pdf"));
    EXPECT_EQ(services.MessageTexts(), QStringList {QStringLiteral("左\\u202E右")});
    EXPECT_TRUE(error.contains(QStringLiteral("源\\u202E码"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QChar(0x202E)));
}
