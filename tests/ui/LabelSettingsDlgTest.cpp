// The label settings sheet driven through its controls: every page, the live preview
// and its numbering against the print job, automatic rows and columns, refusals,
// Cancel leaving the record's file bytes alone, and a PDF printed from what the sheet
// set up.
#include "FakeServices.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "app/Ctl.h"
#include "app/controls/ColourPicker.h"
#include "dialogs/properties/LSPreviewStatic.h"
#include "dialogs/properties/LabelSettingsDlg.h"
#include "dialogs/properties/PageHeaderDlg.h"
#include "model/DSBase.h"
#include "model/DocLoader.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"
#include "platform/ScreenDpi.h"
#include "tests/model/DocRoundTrip.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Tab = CLabelSettingsDlg::Tab;

// A sheet shown on a record, with its pages reached by template id.
class Sheet
{
public:
    explicit Sheet(CLabelData& label, bool newLabel = false, const QStringList* objects = nullptr)
    {
        dlg.m_pLabelData = &label;
        dlg.m_bNewLabel = newLabel;
        dlg.m_pObjectNames = objects;
        dlg.BindPages();
        dlg.resize(900, 620);
        dlg.show();
        QCoreApplication::processEvents();
    }

    QWidget* Page(int tab) const { return dlg.Page(tab); }

    void Show(int tab)
    {
        QTabBar* bar = dlg.Tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        ASSERT_EQ(dlg.Tabs()->currentIndex(), tab);
    }

    template <class T>
    T* Ctl(int tab, int id) const
    {
        T* control = ctl<T>(Page(tab), id);
        EXPECT_NE(control, nullptr) << "control " << id << " on tab " << tab;
        return control;
    }

    void Type(int tab, int id, const QString& text)
    {
        Show(tab);
        RetypeText(Ctl<QLineEdit>(tab, id), text);
    }
    // Several edits of one page, typed one after the other: control id and text.
    void TypeAll(int tab, std::initializer_list<std::pair<int, const char*>> edits)
    {
        for (const auto& [id, text] : edits)
            Type(tab, id, text);
    }
    void ClickOn(int tab, int id)
    {
        Show(tab);
        Click(Ctl<QAbstractButton>(tab, id));
    }
    void Choose(int tab, int id, int index)
    {
        Show(tab);
        ChooseItem(Ctl<QComboBox>(tab, id), index);
    }
    QString Text(int tab, int id) const { return Ctl<QLineEdit>(tab, id)->text(); }
    bool Checked(int tab, int id) const { return Ctl<QAbstractButton>(tab, id)->isChecked(); }
    bool Enabled(int tab, int id) const { return Ctl<QWidget>(tab, id)->isEnabled(); }

    // Clicks OK; true when the sheet closed accepted.
    bool Ok()
    {
        QTest::mouseClick(ctl<QPushButton>(&dlg, 1), Qt::LeftButton);
        return !dlg.isVisible() && dlg.result() == QDialog::Accepted;
    }
    void Cancel() { QTest::mouseClick(ctl<QPushButton>(&dlg, 2), Qt::LeftButton); }

    CLabelSettingsDlg dlg;
};

// Cell numbers as the preview shows them, row by row.
std::vector<int> PreviewGrid(const CLSPreviewStatic& preview, int rows, int columns)
{
    std::vector<int> grid;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            grid.push_back(preview.GetLabelSequence(r, c));
    return grid;
}

// The label's pages printed to a PDF in dir, and page `page` of it rasterised at dpi;
// a null image when either step failed.
QImage PrintedPage(CLabelData& label, int pages, int page, int dpi, const QTemporaryDir& dir)
{
    CPrintHandler job;
    job.SetLabelData(&label);
    job.Prepare();
    const QString pdf = dir.filePath("sheet.pdf");
    auto target = CPrinterTarget::ForPdf(pdf);
    QString error;
    const PrintResult result = RunPrintJob(job, *target, {1, pages, 1, true}, nullptr, &error);
    EXPECT_EQ(result, PrintResult::Success) << error.toStdString();
    if (result != PrintResult::Success)
        return {};
    QProcess raster;
    const QString stem = dir.filePath(QStringLiteral("page%1").arg(page));
    raster.start("pdftoppm",
        {"-r", QString::number(dpi), "-png", "-singlefile", "-f", QString::number(page), "-l", QString::number(page),
            pdf, stem});
    if (!raster.waitForFinished(60000) || raster.exitCode() != 0)
        return {};
    return QImage(stem + ".png");
}

} // namespace

TEST(LabelSettingsSheet, PreviewNumbersCellsInThePrintJobsOrder)
{
    FakeServices services;
    for (int corner = 0; corner < 4; ++corner) {
        for (int direction = 0; direction < 2; ++direction) {
            for (bool same : {true, false}) {
                CLabelData label;
                Sheet sheet(label);
                sheet.ClickOn(Tab::TabLayout, 1037); // typed rows and columns
                sheet.Type(Tab::TabLayout, 1033, "3");
                sheet.Type(Tab::TabLayout, 1035, "4");
                sheet.Choose(Tab::TabLayout, 1098, corner);
                sheet.Choose(Tab::TabLayout, 1099, direction);
                if (sheet.Checked(Tab::TabLayout, 1042) != same)
                    sheet.ClickOn(Tab::TabLayout, 1042);
                const std::vector<int> shown = PreviewGrid(*sheet.dlg.Preview(), 3, 4);
                ASSERT_TRUE(sheet.Ok());

                CPrintHandler job;
                job.SetLabelData(&label);
                std::vector<int> printed;
                for (int r = 0; r < 3; ++r)
                    for (int c = 0; c < 4; ++c)
                        printed.push_back(job.GetLabelSequence(r, c));
                EXPECT_EQ(shown, printed) << "corner " << corner << " direction " << direction << " same " << same;
                std::vector<int> sorted = shown;
                std::sort(sorted.begin(), sorted.end());
                for (int i = 0; i < 12; ++i)
                    EXPECT_EQ(sorted[static_cast<size_t>(i)], i + 1);
            }
        }
    }
}

TEST(LabelSettingsSheet, PreviewNumbersTheWrittenExamples)
{
    FakeServices services;
    struct Case
    {
        int rows, columns, corner, direction;
        bool same;
        std::vector<int> grid;
    };
    const Case cases[] = {
        {3, 2, 0, 0, false, {1, 2, 4, 3, 5, 6}},
        {3, 2, 0, 0, true, {1, 2, 3, 4, 5, 6}},
        {2, 2, 3, 1, true, {4, 2, 3, 1}},
    };
    for (const Case& c : cases) {
        CLabelData label;
        label.m_bAutoCount = false;
        label.m_nRows = c.rows;
        label.m_nColumns = c.columns;
        label.m_nStartCorner = c.corner;
        label.m_nFillDirection = c.direction;
        label.m_bSameDirection = c.same;
        Sheet sheet(label);
        EXPECT_EQ(PreviewGrid(*sheet.dlg.Preview(), c.rows, c.columns), c.grid);
    }
}

TEST(LabelSettingsSheet, AutomaticRowsAndColumnsFollowPageAndLabel)
{
    FakeServices services;
    struct Case
    {
        const char* labelHeight;
        const char* vertGap;
        bool landscape;
        const char* rows;
        const char* columns;
    };
    // A4, label 90 wide, margins 10, horizontal gap 5.
    const Case cases[] = {
        {"50", "5", false, "5", "2"},
        {"50", "0", false, "5", "2"},
        {"50", "5", true, "3", "3"},
        {"45", "10", false, "5", "2"},  // 287 - 5 x 55 = 12: below the height
        {"41", "0", false, "7", "2"},   // 287 - 7 x 41 = 0: no extra row for an exact fit
        {"0", "0", false, "0", "2"},    // nothing fits a label of no height
    };
    for (const Case& c : cases) {
        CLabelData label;
        Sheet sheet(label);
        if (c.landscape)
            sheet.ClickOn(Tab::TabPage, 1014);
        sheet.Type(Tab::TabLayout, 1030, c.vertGap);
        sheet.Type(Tab::TabLayout, 1022, c.labelHeight);
        EXPECT_EQ(sheet.Text(Tab::TabLayout, 1033), c.rows) << c.labelHeight << " " << c.vertGap;
        EXPECT_EQ(sheet.Text(Tab::TabLayout, 1035), c.columns) << c.labelHeight << " " << c.vertGap;
        EXPECT_EQ(ctl<QLabel>(&sheet.dlg, 1070)->text(),
                  QStringLiteral("每页标签数: %1 x %2").arg(c.rows, c.columns));
    }

    // A size plus gap of nothing gives no rows, which the preview reports.
    CLabelData label;
    Sheet sheet(label);
    sheet.Type(Tab::TabLayout, 1030, "0");
    sheet.Type(Tab::TabLayout, 1022, "0");
    EXPECT_FALSE(sheet.dlg.Preview()->IsValid());
    EXPECT_EQ(sheet.dlg.Preview()->ErrorText(), QStringLiteral("\n\n标签高度不能小于等于0"));
    sheet.Type(Tab::TabLayout, 1022, "300");
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1033), "0");
    EXPECT_EQ(sheet.dlg.Preview()->ErrorText(), QStringLiteral("\n\n请调整标签设置以确保至少有1行1列"));
}

TEST(LabelSettingsSheet, PreviewErrorsInTheirOrder)
{
    FakeServices services;
    struct Case
    {
        int tab, id;
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {Tab::TabPage, 1009, "0", "页面宽度不能小于等于0"},
        {Tab::TabPage, 1010, "-5", "页面高度不能小于等于0"},
        {Tab::TabLayout, 1021, "abc", "标签宽度不能小于等于0"},
        {Tab::TabLayout, 1022, "0", "标签高度不能小于等于0"},
    };
    for (const Case& c : cases) {
        CLabelData label;
        Sheet sheet(label);
        sheet.Type(c.tab, c.id, QString::fromUtf8(c.text));
        EXPECT_EQ(sheet.dlg.Preview()->ErrorText(), QStringLiteral("\n\n") + QString::fromUtf8(c.error)) << c.id;
    }

    // A label printer's page is one row of labels: its page size is not checked.
    CLabelData label;
    label.m_nPrinterType = 1;
    label.m_fPaperWidth = 0;
    Sheet sheet(label);
    EXPECT_TRUE(sheet.dlg.Preview()->IsValid());
    sheet.Type(Tab::TabLayout, 1035, "0");
    EXPECT_EQ(sheet.dlg.Preview()->ErrorText(), QStringLiteral("\n\n请调整标签设置以确保至少有1行1列"));
}

TEST(LabelSettingsSheet, LandscapePageIsDrawnWideAndBackgroundPageShowsOneLabel)
{
    FakeServices services;
    CLabelData label;
    Sheet sheet(label);
    CLSPreviewStatic& preview = *sheet.dlg.Preview();
    EXPECT_LT(preview.DrawnWidth(), preview.DrawnHeight());
    sheet.ClickOn(Tab::TabPage, 1014);
    EXPECT_NEAR(double(preview.DrawnWidth()) / preview.DrawnHeight(), 297.0 / 210.0, 0.02);
    sheet.Show(Tab::TabBackground);
    EXPECT_NEAR(double(preview.DrawnWidth()) / preview.DrawnHeight(), 90.0 / 50.0, 0.02);
}

TEST(LabelSettingsSheet, ZeroWidthIsRefusedOnTheLayoutPageUntilCorrected)
{
    FakeServices services;
    CLabelData label;
    label.m_nSettingsTab = Tab::TabAdvanced;
    const QByteArray before = DocumentBytes(label);
    Sheet sheet(label);
    EXPECT_EQ(sheet.dlg.Tabs()->currentIndex(), Tab::TabAdvanced);
    sheet.Type(Tab::TabLayout, 1021, "0");
    sheet.Show(Tab::TabPrintCount);
    EXPECT_FALSE(sheet.Ok());
    EXPECT_TRUE(sheet.dlg.isVisible());
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("请调整设置以消除预览中提示的错误!"));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(sheet.dlg.Tabs()->currentIndex(), Tab::TabLayout);
    EXPECT_EQ(DocumentBytes(label), before);

    // Enter in a page's edit keeps the sheet open.
    QTest::keyClick(sheet.Ctl<QLineEdit>(Tab::TabLayout, 1021), Qt::Key_Return);
    EXPECT_TRUE(sheet.dlg.isVisible());

    sheet.Type(Tab::TabLayout, 1021, "80");
    EXPECT_TRUE(sheet.Ok());
    EXPECT_FLOAT_EQ(label.m_fLabelWidth, 80.0f);
    EXPECT_EQ(label.m_nColumns, 2);
}

TEST(LabelSettingsSheet, OpensOnTheRememberedTabAndCancelKeepsTheFileBytes)
{
    FakeServices services;
    CLabelData label;
    label.m_nSettingsTab = Tab::TabLayout;
    label.m_nShape = ShapeEllipse;
    label.m_bPageHeader = true;
    label.m_bPageNumber = true;
    label.m_strHeaderText = QStringLiteral("页眉");
    const QByteArray before = DocumentBytes(label);
    const QStringList objects{QStringLiteral("条码1"), QStringLiteral("文本2")};

    services.OnNextDialog([](QDialog& sheetDialog) {
        auto& dlg = static_cast<CLabelSettingsDlg&>(sheetDialog);
        EXPECT_EQ(dlg.Tabs()->currentIndex(), Tab::TabLayout);
        // Edit every page, confirm both nested dialogs, then cancel the sheet.
        RetypeText(ctl<QLineEdit>(dlg.Page(Tab::TabLayout), 1021), "70");
        RetypeText(ctl<QLineEdit>(dlg.Page(Tab::TabPage), 1009), "200");
        ctl<QCheckBox>(dlg.Page(Tab::TabAdvanced), 1040)->click();
        ctl<QRadioButton>(dlg.Page(Tab::TabShape), 1015)->click();
        ctl<QRadioButton>(dlg.Page(Tab::TabBackground), 1052)->click();
        RetypeText(ctl<QLineEdit>(dlg.Page(Tab::TabPrintCount), 1082), "9");
        dlg.Tabs()->setCurrentIndex(Tab::TabAdvanced);
        FakeServices& fake = static_cast<FakeServices&>(Services());
        fake.OnNextDialog([](QDialog& header) {
            ctl<QRadioButton>(&header, 1144)->click();
            ChooseItem(ctl<QComboBox>(&header, 1100), 2);
            ctl<QPushButton>(&header, 1)->click();
        });
        ctl<QPushButton>(dlg.Page(Tab::TabAdvanced), 1046)->click();
        fake.OnNextDialog([](QDialog& number) {
            RetypeText(ctl<QLineEdit>(&number, 1081), "第");
            ctl<QPushButton>(&number, 1)->click();
        });
        ctl<QPushButton>(dlg.Page(Tab::TabAdvanced), 1047)->click();
        EXPECT_EQ(static_cast<CLabelSettingsDlg_Advanced*>(dlg.Page(Tab::TabAdvanced))->m_headerCopy.objectName,
                  QStringLiteral("文本2"));
        dlg.Tabs()->setCurrentIndex(Tab::TabBackground);
        ctl<QPushButton>(&dlg, 2)->click();
    });
    EXPECT_FALSE(RunLabelSettingsDlg(label, &objects, false));
    EXPECT_EQ(DocumentBytes(label), before);
    EXPECT_EQ(label.m_nSettingsTab, Tab::TabBackground);

    // A tab no sheet stores opens the first page.
    label.m_nSettingsTab = 9;
    Sheet sheet(label);
    EXPECT_EQ(sheet.dlg.Tabs()->currentIndex(), Tab::TabPrinter);
}

TEST(LabelSettingsSheet, EveryPageRoundTripsARecordWithEveryFieldSet)
{
    FakeServices services;
    services.printers = {QStringLiteral("Zebra"), QStringLiteral("Office")};
    services.papers[QStringLiteral("Office")] = {{9, QStringLiteral("A4"), 210, 297},
                                                 {1, QStringLiteral("Letter"), 215.9f, 279.4f}};
    CLabelData label;
    label.m_strPrinterName = QStringLiteral("Office");
    label.m_nResolution = 300;
    label.m_nPaperSize = 1;
    label.m_strPaperName = QStringLiteral("Letter");
    label.m_fPaperWidth = 215.9f;
    label.m_fPaperHeight = 279.4f;
    label.m_bLandscape = true;
    label.m_fPaperLeftMargin = 1.5f;
    label.m_fPaperTopMargin = 2.5f;
    label.m_nShape = ShapeEllipse;
    label.m_fCornerRadius = 3.5f;
    label.m_bCenterHole = true;
    label.m_fHoleDiameter = 12.5f;
    label.m_bPrintBorder = true;
    label.m_fBorderWidth = 0.5f;
    label.m_crBorder = 0xFF112233u;
    label.m_fLabelWidth = 60.5f;
    label.m_fLabelHeight = 30.25f;
    label.m_fLeftMargin = 4;
    label.m_fTopMargin = 6;
    label.m_fHorzGap = 2;
    label.m_fVertGap = 3;
    label.m_nRows = 4;
    label.m_nColumns = 3;
    label.m_bAutoCount = false;
    label.m_nStartCorner = CornerBottomLeft;
    label.m_nFillDirection = FillVertical;
    label.m_bSameDirection = false;
    label.m_nCutMarks = 3;
    label.m_fCutMarkWidth = 0.3f;
    label.m_fCutMarkOffset = 1.5f;
    label.m_bPageHeader = true;
    label.m_bPageNumber = true;
    label.m_fHorzOffset = 0.5f;
    label.m_fVertOffset = 1.5f;
    label.m_nHeaderPosition = 1;
    label.m_nHeaderAlign = 2;
    label.m_nHeaderKind = 2;
    label.m_strHeaderFilePath = QStringLiteral("/tmp/头.vmk");
    label.m_strHeaderFontName = QStringLiteral("Liberation Serif");
    label.m_fHeaderFontSize = 10;
    label.m_nHeaderFontStyle = 5;
    label.m_nNumberPosition = 3;
    label.m_nNumberAlign = 2;
    label.m_nNumberStyle = 1;
    label.m_strNumberPrefix = QStringLiteral("第");
    label.m_strNumberSuffix = QStringLiteral("页");
    label.m_nNumberRange = 1;
    label.m_crBackground = 0xFF445566u;
    label.m_nBackgroundSource = 1;
    label.m_strImagePath = QStringLiteral("/tmp/bg.png");
    label.m_strImageMimeType = QStringLiteral("image/png");
    QImage picture(8, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(picture));
    label.m_nImagePlacement = 3;
    label.m_bPrintBackground = true;
    label.m_bPreviewBackground = true;
    label.m_bDesignBackground = true;
    label.m_nPrintCount = 7;
    label.m_nPreloadPages = 3;
    label.m_nCopyMode = 1;
    label.m_nCopies = 1;
    auto source = std::make_unique<CTextDS>();
    source->m_strName = QStringLiteral("货品");
    source->m_selectedFields = {QStringLiteral("名称"), QStringLiteral("数量")};
    label.m_dataSources.push_back(std::move(source));
    label.m_strCopiesDataSource = QStringLiteral("货品");
    label.m_strCopiesField = QStringLiteral("数量");
    label.m_bForcePageBreak = true;
    const QByteArray before = DocumentBytes(label);

    Sheet sheet(label);
    EXPECT_EQ(sheet.Ctl<QComboBox>(Tab::TabPrinter, 1001)->currentText(), QStringLiteral("Office"));
    EXPECT_EQ(sheet.Ctl<QComboBox>(Tab::TabPrinter, 1098)->currentText(), QStringLiteral("300 DPI"));
    EXPECT_FALSE(sheet.Enabled(Tab::TabPrinter, 1098));
    EXPECT_EQ(sheet.Ctl<QComboBox>(Tab::TabPage, 1008)->currentText(), QStringLiteral("Letter"));
    EXPECT_FALSE(sheet.Checked(Tab::TabLayout, 1037));
    EXPECT_TRUE(sheet.Enabled(Tab::TabLayout, 1033));
    ASSERT_TRUE(sheet.Ok());
    EXPECT_EQ(DocumentBytes(label), before);
}

TEST(LabelSettingsSheet, PrinterAndPaperPages)
{
    FakeServices services;
    services.printers = {QStringLiteral("b-label"), QStringLiteral("A-office")};
    services.papers[QStringLiteral("A-office")] = {{9, QStringLiteral("A4"), 210, 297},
                                                   {1, QStringLiteral("Letter"), 215.9f, 279.4f}};
    services.papers[QStringLiteral("b-label")] = {{256, QStringLiteral("100x50"), 100, 50}};

    CLabelData label;
    label.m_strPrinterName = QStringLiteral("gone");
    label.m_nResolution = -1;
    Sheet sheet(label, true);
    QComboBox* printers = sheet.Ctl<QComboBox>(Tab::TabPrinter, 1001);
    ASSERT_EQ(printers->count(), 2);
    EXPECT_EQ(printers->itemText(0), QStringLiteral("A-office")); // sorted; a missing printer selects the first
    EXPECT_EQ(printers->currentIndex(), 0);
    EXPECT_EQ(sheet.Ctl<QComboBox>(Tab::TabPrinter, 1098)->currentText(), QStringLiteral("<默认>"));
    // The stored printer is gone, so its papers are unknown until one is chosen.
    QComboBox* papers = sheet.Ctl<QComboBox>(Tab::TabPage, 1008);
    EXPECT_EQ(papers->count(), 0);

    // A printer without "A4" leaves the paper unselected and the size as it was.
    sheet.Choose(Tab::TabPrinter, 1001, 1);
    EXPECT_EQ(papers->count(), 1);
    EXPECT_EQ(papers->currentIndex(), -1);
    EXPECT_EQ(sheet.Text(Tab::TabPage, 1009), QStringLiteral("210.0"));

    sheet.Choose(Tab::TabPrinter, 1001, 0);
    ASSERT_EQ(papers->count(), 2);
    EXPECT_EQ(papers->currentText(), QStringLiteral("A4"));
    sheet.Choose(Tab::TabPage, 1008, 1);
    EXPECT_EQ(sheet.Text(Tab::TabPage, 1009), QStringLiteral("215.9"));
    EXPECT_EQ(sheet.Text(Tab::TabPage, 1010), QStringLiteral("279.4"));
    EXPECT_EQ(ctl<QLabel>(&sheet.dlg, 1068)->text(), QStringLiteral("纸张大小: 215.9 x 279.4 毫米"));

    sheet.Choose(Tab::TabPrinter, 1001, 1);
    sheet.ClickOn(Tab::TabPage, 1014);
    sheet.ClickOn(Tab::TabPrinter, 1144);
    EXPECT_FALSE(sheet.Enabled(Tab::TabPage, 1008));
    EXPECT_FALSE(sheet.Enabled(Tab::TabPage, 1009));
    EXPECT_FALSE(sheet.Enabled(Tab::TabPage, 1014));
    EXPECT_TRUE(sheet.Checked(Tab::TabPage, 1013));
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1033), QStringLiteral("1"));
    EXPECT_FALSE(sheet.Enabled(Tab::TabLayout, 1033));
    EXPECT_FALSE(sheet.Enabled(Tab::TabLayout, 1030));
    EXPECT_TRUE(sheet.Enabled(Tab::TabLayout, 1035));
    sheet.Type(Tab::TabLayout, 1035, "3");

    // Back to an ordinary printer: automatic again, on Letter in portrait.
    sheet.ClickOn(Tab::TabPrinter, 1143);
    EXPECT_TRUE(sheet.Checked(Tab::TabLayout, 1037));
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1033), QStringLiteral("4"));
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1035), QStringLiteral("2"));
    sheet.ClickOn(Tab::TabPrinter, 1144);
    ASSERT_TRUE(sheet.Ok());
    EXPECT_EQ(label.m_nPrinterType, 1);
    EXPECT_EQ(label.m_strPrinterName, QStringLiteral("b-label"));
    EXPECT_EQ(label.m_nResolution, -1);
    EXPECT_FALSE(label.m_bLandscape);
    EXPECT_EQ(label.m_nRows, 1);
    EXPECT_FALSE(label.m_bAutoCount);
    // No paper chosen: the earlier paper's code and name stay.
    EXPECT_EQ(label.m_strPaperName, QStringLiteral("A4"));
}

TEST(LabelSettingsSheet, WithoutPrintersEveryPaperSizeIsOffered)
{
    FakeServices services;
    CLabelData label;
    Sheet sheet(label, true);
    QComboBox* papers = sheet.Ctl<QComboBox>(Tab::TabPage, 1008);
    EXPECT_GT(papers->count(), 50);
    EXPECT_EQ(papers->currentText(), QStringLiteral("A4"));
    const int a5 = papers->findText(QStringLiteral("A5"));
    ASSERT_GE(a5, 0);
    sheet.Choose(Tab::TabPage, 1008, a5);
    EXPECT_EQ(sheet.Text(Tab::TabPage, 1009), QStringLiteral("148.0"));
    EXPECT_EQ(sheet.Text(Tab::TabPage, 1010), QStringLiteral("210.0"));
    ASSERT_TRUE(sheet.Ok());
    EXPECT_EQ(label.m_strPaperName, QStringLiteral("A5"));
    EXPECT_EQ(label.m_nPaperSize, 11); // the A5 paper code
    EXPECT_FLOAT_EQ(label.m_fPaperWidth, 148.0f);
}

TEST(LabelSettingsSheet, ShapePage)
{
    FakeServices services;
    CLabelData label;
    label.m_nShape = ShapeRectangle;
    Sheet sheet(label);
    EXPECT_FALSE(sheet.Enabled(Tab::TabShape, 1023));
    EXPECT_FALSE(sheet.Enabled(Tab::TabShape, 1004));
    sheet.ClickOn(Tab::TabShape, 1017);
    EXPECT_FALSE(sheet.Enabled(Tab::TabShape, 1023));
    EXPECT_TRUE(sheet.Enabled(Tab::TabShape, 1018));
    sheet.ClickOn(Tab::TabShape, 1004);
    sheet.Type(Tab::TabShape, 1018, "20");
    sheet.ClickOn(Tab::TabShape, 1020);
    sheet.Type(Tab::TabShape, 1021, "0.8");
    sheet.Ctl<CColourPicker>(Tab::TabShape, 1200)->SetColour(QColor());
    ASSERT_TRUE(sheet.Ok());
    EXPECT_EQ(label.m_nShape, ShapeEllipse);
    EXPECT_TRUE(label.m_bCenterHole);
    EXPECT_FLOAT_EQ(label.m_fHoleDiameter, 20.0f);
    EXPECT_TRUE(label.m_bPrintBorder);
    EXPECT_FLOAT_EQ(label.m_fBorderWidth, 0.8f);
    EXPECT_EQ(label.m_crBorder, 0xFF000000u); // no colour is stored as black
}

TEST(LabelSettingsSheet, AdvancedPageWithHeaderAndNumberDialogs)
{
    FakeServices services;
    CLabelData label;
    label.m_nCutMarks = 1;
    label.m_strHeaderText = QStringLiteral("旧页眉");
    Sheet sheet(label, true);
    EXPECT_FALSE(sheet.Enabled(Tab::TabAdvanced, 1046));
    sheet.ClickOn(Tab::TabAdvanced, 1005);
    EXPECT_FALSE(sheet.Checked(Tab::TabAdvanced, 1040));
    EXPECT_TRUE(sheet.Enabled(Tab::TabAdvanced, 1048));
    sheet.ClickOn(Tab::TabAdvanced, 1005);
    EXPECT_FALSE(sheet.Enabled(Tab::TabAdvanced, 1048));
    EXPECT_FALSE(sheet.Enabled(Tab::TabAdvanced, 1042));

    sheet.ClickOn(Tab::TabAdvanced, 1044);
    services.fonts.push_back([] {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPointSizeF(12);
        font.setBold(true);
        font.setItalic(true);
        return font;
    }());
    services.OnNextDialog([](QDialog& header) {
        // A new label lists no objects besides the first entry.
        EXPECT_EQ(ctl<QComboBox>(&header, 1100)->count(), 1);
        EXPECT_EQ(ctl<QComboBox>(&header, 1100)->itemText(0), QStringLiteral("<选择图形对象>"));
        ChooseItem(ctl<QComboBox>(&header, 1098), 1);
        EXPECT_EQ(ctl<QLabel>(&header, 1252)->text(), QStringLiteral("底边距:"));
        ChooseItem(ctl<QComboBox>(&header, 1099), 2);
        EXPECT_EQ(ctl<QLabel>(&header, 1251)->text(), QStringLiteral("右边距:"));
        RetypeText(ctl<QLineEdit>(&header, 1082), "新页眉");
        ctl<QPushButton>(&header, 1078)->click();
        ctl<QPushButton>(&header, 1)->click();
    });
    Click(sheet.Ctl<QWidget>(Tab::TabAdvanced, 1046));

    sheet.ClickOn(Tab::TabAdvanced, 1045);
    services.OnNextDialog([](QDialog& number) {
        ChooseItem(ctl<QComboBox>(&number, 1254), 2);
        QComboBox* align = ctl<QComboBox>(&number, 1255);
        QStringList items;
        for (int i = 0; i < align->count(); ++i)
            items << align->itemText(i);
        EXPECT_EQ(items, (QStringList{"顶边", "居中", "底边", "自定义"}));
        EXPECT_EQ(ctl<QLabel>(&number, 1256)->text(), QStringLiteral("左边距:"));
        EXPECT_EQ(ctl<QLabel>(&number, 1259)->text(), QStringLiteral("上边距:"));
        ChooseItem(align, 2);
        EXPECT_EQ(ctl<QLabel>(&number, 1259)->text(), QStringLiteral("下边距:"));
        RetypeText(ctl<QLineEdit>(&number, 1260), "7.5");
        ctl<QRadioButton>(&number, 1144)->click();
        ctl<QPushButton>(&number, 1)->click();
    });
    Click(sheet.Ctl<QWidget>(Tab::TabAdvanced, 1047));
    sheet.Type(Tab::TabAdvanced, 1049, "1.25");
    ASSERT_TRUE(sheet.Ok());

    EXPECT_EQ(label.m_nCutMarks, 0);
    EXPECT_TRUE(label.m_bPageHeader);
    EXPECT_TRUE(label.m_bPageNumber);
    EXPECT_FLOAT_EQ(label.m_fHorzOffset, 1.25f);
    EXPECT_EQ(label.m_nHeaderPosition, 1);
    EXPECT_EQ(label.m_nHeaderAlign, 2);
    EXPECT_EQ(label.m_strHeaderText, QStringLiteral("新页眉"));
    EXPECT_EQ(label.m_strHeaderFontName, QStringLiteral("Liberation Sans"));
    EXPECT_FLOAT_EQ(label.m_fHeaderFontSize, 12.0f);
    EXPECT_EQ(label.m_nHeaderFontStyle, 3);
    EXPECT_EQ(label.m_nNumberPosition, 2);
    EXPECT_EQ(label.m_nNumberAlign, 2);
    EXPECT_FLOAT_EQ(label.m_fNumberHorzMargin, 7.5f);
    EXPECT_EQ(label.m_nNumberRange, 1);
}

TEST(LabelSettingsSheet, HeaderKindKeepsOnlyItsOwnContent)
{
    FakeServices services;
    CLabelData label;
    label.m_bPageHeader = true;
    label.m_strHeaderText = QStringLiteral("文字");
    const QStringList objects{QStringLiteral("条码1")};
    Sheet sheet(label, false, &objects);
    services.OnNextDialog([](QDialog& header) {
        ctl<QRadioButton>(&header, 1144)->click();
        EXPECT_FALSE(ctl<QLineEdit>(&header, 1082)->isEnabled());
        EXPECT_TRUE(ctl<QComboBox>(&header, 1100)->isEnabled());
        ChooseItem(ctl<QComboBox>(&header, 1100), 1);
        ctl<QPushButton>(&header, 1)->click();
    });
    Click(sheet.Ctl<QWidget>(Tab::TabAdvanced, 1046));
    ASSERT_TRUE(sheet.Ok());
    EXPECT_EQ(label.m_nHeaderKind, 1);
    EXPECT_TRUE(label.m_strHeaderText.isEmpty());
    EXPECT_EQ(label.m_strHeaderObjectName, QStringLiteral("条码1"));
}

TEST(LabelSettingsSheet, BackgroundPicturesAndColour)
{
    FakeServices services;
    QTemporaryDir dir;
    struct Case
    {
        const char* name;
        const char* format;
        const char* type;
    };
    const Case cases[] = {{"PHOTO.JPG", "JPEG", "image/jpeg"},
                          {"scan.tif", "TIFF", "image/tiff"},
                          {"logo.png", "PNG", "image/png"},
                          {"noext", "PNG", "image/png"}};
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(Qt::blue);
        ASSERT_TRUE(image.save(path, c.format));
        CLabelData label;
        Sheet sheet(label);
        sheet.Show(Tab::TabBackground);
        EXPECT_FALSE(sheet.Enabled(Tab::TabBackground, 1055));
        sheet.ClickOn(Tab::TabBackground, 1053);
        services.files.push_back(path);
        sheet.ClickOn(Tab::TabBackground, 1055);
        sheet.Choose(Tab::TabBackground, 1060, 3);
        ASSERT_TRUE(sheet.Ok());
        EXPECT_EQ(label.m_nBackgroundSource, 2);
        EXPECT_EQ(label.m_strImagePath, path);
        EXPECT_EQ(label.m_strImageMimeType, QString::fromUtf8(c.type)) << c.name;
        ASSERT_TRUE(label.m_pImage);
        EXPECT_EQ(label.m_pImage->Image().size(), QSize(20, 10));
        EXPECT_EQ(label.m_nImagePlacement, 3);
    }

    // Back to no picture and no colour.
    CLabelData label;
    label.m_crBackground = 0xFF00FF00u;
    label.m_nBackgroundSource = 1;
    label.m_strImagePath = QStringLiteral("x.png");
    label.m_strImageMimeType = QStringLiteral("image/png");
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(QImage(4, 4, QImage::Format_RGB32)));
    Sheet sheet(label);
    sheet.ClickOn(Tab::TabBackground, 1054);
    EXPECT_FALSE(sheet.Enabled(Tab::TabBackground, 1060));
    sheet.Ctl<CColourPicker>(Tab::TabBackground, 1201)->SetColour(QColor());
    ASSERT_TRUE(sheet.Ok());
    EXPECT_EQ(label.m_crBackground, 0x00FFFFFFu);
    EXPECT_EQ(label.m_nBackgroundSource, 0);
    EXPECT_TRUE(label.m_strImagePath.isEmpty());
    EXPECT_TRUE(label.m_strImageMimeType.isEmpty());
    EXPECT_FALSE(label.m_pImage);
    Sheet again(label);
    EXPECT_FALSE(again.Ctl<CColourPicker>(Tab::TabBackground, 1201)->GetColour().isValid());
}

TEST(LabelSettingsSheet, BackgroundPreviewDecodesThePictureAtTheSizeItShowsSharingTheLabelsCopy)
{
    FakeServices services;
    QImage large(4000, 2000, QImage::Format_RGB32);
    large.fill(Qt::blue);
    CLabelData label;
    label.m_nBackgroundSource = 1;
    label.m_strImageMimeType = QStringLiteral("image/png");
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(PngOf(large)));
    label.m_nImagePlacement = 1; // the label's width
    large = QImage();
    const qint64 before = ImageHolder::KeptBytes();
    Sheet sheet(label);
    sheet.Show(Tab::TabBackground);
    CLSPreviewStatic& preview = *sheet.dlg.Preview();
    const QImage shown = preview.grab().toImage();
    // A few hundred pixels wide, not the 32 MB of the picture's own size.
    const qint64 kept = ImageHolder::KeptBytes() - before;
    EXPECT_GT(kept, 0);
    EXPECT_LE(kept, qint64(preview.width() + 1) * (preview.height() + 1) * 4);
    const QPoint inside(preview.OffsetX() + 5, preview.OffsetY() + 5);
    EXPECT_EQ(shown.pixelColor(inside * shown.devicePixelRatio()), QColor(Qt::blue));
    // The label's own copy is the one decoded: drawing it as small costs nothing more.
    EXPECT_GT(label.m_pImage->DrawnImage(QSize(40, 20)).width(), 40);
    EXPECT_EQ(ImageHolder::KeptBytes() - before, kept);
}

TEST(LabelSettingsSheet, PrintCountPage)
{
    FakeServices services;
    CLabelData label;
    auto source = std::make_unique<CTextDS>();
    source->m_strName = QStringLiteral("空表");
    label.m_dataSources.push_back(std::move(source));
    label.m_nCopyMode = 1;
    label.m_strCopiesDataSource = QStringLiteral("没有");
    Sheet sheet(label);
    sheet.Show(Tab::TabPrintCount);
    QTabWidget* tabs = sheet.Ctl<QTabWidget>(Tab::TabPrintCount, 1290);
    EXPECT_EQ(tabs->currentIndex(), 0);
    RetypeText(ctl<QLineEdit>(page<QWidget>(tabs, 383), 1081), "0");
    RetypeText(ctl<QLineEdit>(page<QWidget>(tabs, 383), 1082), "-4");
    tabs->setCurrentIndex(1);
    QWidget* multi = page<QWidget>(tabs, 384);
    QComboBox* sources = ctl<QComboBox>(multi, 1101);
    EXPECT_EQ(sources->currentIndex(), -1); // the stored source no longer exists
    EXPECT_FALSE(ctl<QLineEdit>(multi, 1081)->isEnabled());
    ChooseItem(sources, 0);
    EXPECT_EQ(ctl<QComboBox>(multi, 1100)->count(), 0);
    ASSERT_TRUE(sheet.Ok());
    EXPECT_EQ(label.m_nPrintCount, 1);
    EXPECT_EQ(label.m_nPreloadPages, 1);
    EXPECT_EQ(label.m_nCopyMode, 1);
    EXPECT_EQ(label.m_nCopies, 1);
    EXPECT_EQ(label.m_strCopiesDataSource, QStringLiteral("空表"));
    EXPECT_TRUE(label.m_strCopiesField.isEmpty());

    // Fixed copies: the count, typed, raised to 1.
    Sheet fixed(label);
    fixed.Show(Tab::TabPrintCount);
    QTabWidget* fixedTabs = fixed.Ctl<QTabWidget>(Tab::TabPrintCount, 1290);
    EXPECT_EQ(fixedTabs->currentIndex(), 0);
    fixedTabs->setCurrentIndex(1);
    QWidget* fixedMulti = page<QWidget>(fixedTabs, 384);
    Click(ctl<QRadioButton>(fixedMulti, 1143));
    EXPECT_FALSE(ctl<QComboBox>(fixedMulti, 1101)->isEnabled());
    RetypeText(ctl<QLineEdit>(fixedMulti, 1081), "4");
    Click(ctl<QCheckBox>(fixedMulti, 1004));
    ASSERT_TRUE(fixed.Ok());
    EXPECT_EQ(label.m_nCopyMode, 0);
    EXPECT_EQ(label.m_nCopies, 4);
    EXPECT_TRUE(label.m_strCopiesDataSource.isEmpty());
    EXPECT_TRUE(label.m_bForcePageBreak);
}

TEST(LabelSettingsSheet, PrintedPdfCellsSitWherePreviewSaid)
{
    FakeServices services;
    CLabelData label;
    label.m_nShape = ShapeRectangle;
    label.m_nPrintCount = 5;
    Sheet sheet(label);
    sheet.TypeAll(Tab::TabLayout, {{1021, "80"}, {1022, "60"}, {1025, "15"}, {1027, "20"}, {1029, "10"}, {1030, "12"}});
    sheet.Choose(Tab::TabLayout, 1098, 3);
    sheet.Choose(Tab::TabLayout, 1099, 1);
    sheet.ClickOn(Tab::TabLayout, 1042); // serpentine
    // 297 - 20 = 277 holds 3 x 72 with 61 left, room for a fourth label.
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1033), "4");
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1035), "2");
    const CLSPreviewStatic& preview = *sheet.dlg.Preview();
    // Where the preview puts each cell's centre, back in millimetres on the page.
    std::vector<std::pair<QPointF, int>> cells;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 2; ++c) {
            const QRectF cell = preview.CellRect(r, c);
            const double mmPerPixel = 25.4 / g_nScreenDpiX / preview.Scale();
            cells.push_back({QPointF((cell.center().x() - preview.OffsetX()) * mmPerPixel,
                                     (cell.center().y() - preview.OffsetY()) * mmPerPixel),
                             preview.GetLabelSequence(r, c)});
        }
    }
    ASSERT_TRUE(sheet.Ok());

    auto block = std::make_unique<CRectangleGraph>();
    block->m_fX = 5;
    block->m_fY = 5;
    block->m_fWidth = 70;
    block->m_fHeight = 50;
    block->m_crFill = 0xFF000000u;
    label.m_objects.push_back(std::move(block));
    QTemporaryDir dir;
    constexpr int dpi = 50;
    const QImage image = PrintedPage(label, 1, 1, dpi, dir);
    ASSERT_FALSE(image.isNull());
    // Five labels on eight cells: the cells the preview numbers 6 to 8 stay empty.
    for (const auto& [centre, number] : cells)
        EXPECT_EQ(IsDarkAt(image, centre.x(), centre.y(), dpi), number <= 5) << "cell " << number;
}

// A landscape sheet with gaps wider than its labels: the PDF page is 297 wide, every
// label sits where the margins and gaps put it, and the labels the first page cannot
// hold go to the second.
TEST(LabelSettingsSheet, LandscapePdfPagesFollowTheSheet)
{
    FakeServices services;
    CLabelData label;
    label.m_nShape = ShapeRectangle;
    label.m_nPrintCount = 40;
    Sheet sheet(label);
    sheet.TypeAll(Tab::TabLayout, {{1021, "20"}, {1022, "10"}, {1025, "10"}, {1027, "10"}, {1029, "30"}, {1030, "25"}});
    sheet.ClickOn(Tab::TabPage, 1014);
    // 297 across holds 10 + 6 x 20 + 5 x 30 = 280; 210 down holds 10 + 6 x 10 + 5 x 25 = 195.
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1033), "6");
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1035), "6");
    ASSERT_TRUE(sheet.Ok());
    EXPECT_TRUE(label.m_bLandscape);

    auto block = std::make_unique<CRectangleGraph>();
    block->m_fX = 2;
    block->m_fY = 2;
    block->m_fWidth = 16;
    block->m_fHeight = 6;
    block->m_crFill = 0xFF000000u;
    label.m_objects.push_back(std::move(block));
    {
        CPrintHandler job;
        job.SetLabelData(&label);
        job.Prepare();
        ASSERT_EQ(job.GetPageCount(), 2);
    }
    QTemporaryDir dir;
    constexpr int dpi = 50;
    const auto page = [&](int number) { return PrintedPage(label, 2, number, dpi, dir); };
    const QImage first = page(1);
    ASSERT_FALSE(first.isNull());
    EXPECT_NEAR(first.width() * 25.4 / dpi, 297.0, 1.0);
    EXPECT_NEAR(first.height() * 25.4 / dpi, 210.0, 1.0);
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 6; ++c) {
            const double x = 10 + c * 50 + 10, y = 10 + r * 35 + 5;
            EXPECT_TRUE(IsDarkAt(first, x, y, dpi)) << "row " << r << " column " << c;
            EXPECT_FALSE(IsDarkAt(first, x + 25, y, dpi)) << "gap after row " << r << " column " << c;
            EXPECT_FALSE(IsDarkAt(first, x, y + 17, dpi)) << "gap below row " << r << " column " << c;
        }
    }
    const QRectF ink = InkBox(first, dpi);
    EXPECT_NEAR(ink.left(), 12.0, 1.0);
    EXPECT_NEAR(ink.top(), 12.0, 1.0);
    EXPECT_NEAR(ink.right(), 10 + 5 * 50 + 18, 1.0);
    EXPECT_NEAR(ink.bottom(), 10 + 5 * 35 + 8, 1.0);
    // The other four: the first row's first four cells.
    const QImage second = page(2);
    ASSERT_FALSE(second.isNull());
    const QRectF rest = InkBox(second, dpi);
    EXPECT_NEAR(rest.right(), 10 + 3 * 50 + 18, 1.0);
    EXPECT_NEAR(rest.bottom(), 18.0, 1.0);
}

// A background colour set on the sheet covers each printed label to its edges, also
// when the label's size and place are not whole millimetres.
TEST(LabelSettingsSheet, PrintedBackgroundFillsLabelsOfFractionalSize)
{
    FakeServices services;
    CLabelData label;
    label.m_nShape = ShapeRectangle;
    label.m_nPrintCount = 2;
    Sheet sheet(label);
    sheet.TypeAll(Tab::TabLayout, {{1021, "20.8"}, {1022, "10.8"}, {1025, "10.6"}, {1027, "10.6"}, {1029, "5"}});
    sheet.Show(Tab::TabBackground);
    sheet.Ctl<CColourPicker>(Tab::TabBackground, 1201)->SetColour(Qt::black);
    sheet.ClickOn(Tab::TabBackground, 1056);
    ASSERT_TRUE(sheet.Ok());
    ASSERT_TRUE(label.m_bPrintBackground);

    QTemporaryDir dir;
    constexpr int dpi = 100;
    const QImage image = PrintedPage(label, 1, 1, dpi, dir);
    ASSERT_FALSE(image.isNull());
    for (const double left : {10.6, 10.6 + 20.8 + 5}) {
        const double right = left + 20.8, bottom = 10.6 + 10.8;
        EXPECT_TRUE(IsDarkAt(image, left + 0.3, 10.9, dpi)) << left;
        EXPECT_TRUE(IsDarkAt(image, right - 0.3, bottom - 0.3, dpi)) << left;
        EXPECT_FALSE(IsDarkAt(image, right + 0.3, 15, dpi)) << left;
        EXPECT_FALSE(IsDarkAt(image, left + 10, bottom + 0.3, dpi)) << left;
    }
}

// The sheet grabbed to images for a person to look at: VC_SHOWCASE_DIR names the
// folder; run with VC_TEST_PLATFORM=xcb under xvfb-run to see the desktop's drawing.
TEST(LabelSettingsSheet, GrabbedOnItsPages)
{
    FakeServices services;
    services.printers = {QStringLiteral("办公室打印机")};
    services.papers[QStringLiteral("办公室打印机")] = {{9, QStringLiteral("A4"), 210, 297}};
    QTemporaryDir temp;
    const QString dir
        = qEnvironmentVariableIsEmpty("VC_SHOWCASE_DIR") ? temp.path() : qEnvironmentVariable("VC_SHOWCASE_DIR");
    QDir().mkpath(dir);
    CLabelData label;
    label.m_nSettingsTab = Tab::TabLayout;
    label.m_nStartCorner = CornerTopRight;
    label.m_bSameDirection = false;
    label.m_crBackground = 0xFFFFF0C0u;
    label.m_nShape = ShapeRoundRect;
    Sheet sheet(label);
    QTest::qWait(50);
    EXPECT_TRUE(sheet.dlg.grab().toImage().save(dir + QStringLiteral("/label-settings-layout.png")));
    for (int tab : {Tab::TabPrinter, Tab::TabPage, Tab::TabShape, Tab::TabAdvanced, Tab::TabBackground,
                    Tab::TabPrintCount}) {
        sheet.Show(tab);
        QTest::qWait(20);
        EXPECT_TRUE(sheet.dlg.grab().toImage().save(dir + QStringLiteral("/label-settings-%1.png").arg(tab)));
    }
    sheet.Type(Tab::TabLayout, 1021, "0");
    QTest::qWait(20);
    EXPECT_TRUE(sheet.dlg.grab().toImage().save(dir + QStringLiteral("/label-settings-error.png")));

    CPageHeaderDlg header;
    header.m_objectNames = {QStringLiteral("条码1")};
    header.Load();
    header.show();
    QTest::qWait(20);
    EXPECT_TRUE(header.grab().toImage().save(dir + QStringLiteral("/page-header.png")));
    CPageNoDlg number;
    number.Load();
    number.show();
    QTest::qWait(20);
    EXPECT_TRUE(number.grab().toImage().save(dir + QStringLiteral("/page-number.png")));
}

// A number beyond its arrows' range, or too large to be one, is refused on its page
// with the box's caption and range; the record stays as it was. Print corrections go
// either way.
TEST(LabelSettingsSheet, NumbersBeyondTheirRangeAreRefusedOnTheirPage)
{
    FakeServices services;
    CLabelData label;
    const float width = label.m_fLabelWidth;
    Sheet sheet(label);
    const struct {
        int tab;
        int id;
        const char* typed;
        const char16_t* message;
    } cases[] = {
        {Tab::TabLayout, 1021, "20000", u"宽度必须大于 0 且不超过 10000，请重新输入。"},
        {Tab::TabLayout, 1021, "1e40", u"宽度必须大于 0 且不超过 10000，请重新输入。"},
        {Tab::TabLayout, 1022, "-5", u"高度必须大于 0 且不超过 10000，请重新输入。"},
        {Tab::TabPage, 1010, "-1", u"高度必须大于 0 且不超过 10000，请重新输入。"},
        {Tab::TabLayout, 1029, "-1", u"水平间距必须是 0 到 10000 之间的数，请重新输入。"},
        {Tab::TabPrintCount, 1082, "2000000", u"预加载数据页数不能大于 1000000，请重新输入。"},
        {Tab::TabAdvanced, 1049, "20000", u"水平偏移不能大于 10000，请重新输入。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const QString kept = sheet.Text(c.tab, c.id);
        // Set as a paste would: the box lets no "e" be typed.
        sheet.Ctl<QLineEdit>(c.tab, c.id)->setText(QString::fromLatin1(c.typed));
        sheet.Show(Tab::TabPrinter);
        ASSERT_FALSE(sheet.Ok());
        EXPECT_EQ(services.MessageTexts(), QStringList{QString::fromUtf16(c.message)});
        EXPECT_EQ(sheet.dlg.Tabs()->currentIndex(), c.tab);
        EXPECT_EQ(QApplication::focusWidget(), sheet.Ctl<QWidget>(c.tab, c.id));
        services.messages.clear();
        sheet.Type(c.tab, c.id, kept);
    }
    EXPECT_EQ(label.m_fLabelWidth, width);
    sheet.Type(Tab::TabAdvanced, 1049, "-2.5");
    ASSERT_TRUE(sheet.Ok());
    EXPECT_EQ(label.m_fHorzOffset, -2.5f);
}

// The preview follows a typed number only when OK would take it: a page ten
// kilometres wide or a width beyond int leaves it showing the last one it could
// take, the counted rows and columns stop at their bound, and each keystroke's
// repaint stays quick.
TEST(LabelSettingsSheet, PreviewFollowsOnlyNumbersOkTakesAndPaintsQuickly)
{
    FakeServices services;
    CLabelData label;
    Sheet sheet(label);
    CLSPreviewStatic& preview = *sheet.dlg.Preview();
    const auto inside = [&preview](int rows, int columns) {
        const QRectF last = preview.CellRect(rows - 1, columns - 1);
        const QRectF first = preview.CellRect(0, 0);
        return first.left() >= 0 && first.top() >= 0 && last.right() <= preview.width()
               && last.bottom() <= preview.height();
    };

    QElapsedTimer timer;
    timer.start();
    sheet.Type(Tab::TabLayout, 1029, "0");
    sheet.Type(Tab::TabLayout, 1021, "0.5");
    sheet.Type(Tab::TabPage, 1009, "10000000"); // typed key by key, each repainted
    preview.grab();
    EXPECT_LT(timer.elapsed(), kHungAfterMs);
    // The last width OK takes, 10000 mm, holds 100 columns of half a millimetre at most.
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1035), "100");
    ASSERT_TRUE(preview.IsValid());
    EXPECT_TRUE(inside(5, 100));
    EXPECT_EQ(ctl<QLabel>(&sheet.dlg, 1070)->text(), QStringLiteral("每页标签数: 5 x 100"));
    const auto grab = [&sheet](const char* name) {
        if (!qEnvironmentVariableIsEmpty("VC_SHOWCASE_DIR"))
            sheet.dlg.grab().toImage().save(qEnvironmentVariable("VC_SHOWCASE_DIR") + u'/' + QLatin1String(name));
    };
    grab("label-settings-huge-page.png");

    // A page back to size, then a width beyond int: the preview keeps the last page.
    sheet.Type(Tab::TabPage, 1009, "210");
    sheet.Type(Tab::TabLayout, 1021, "90");
    const int drawnHeight = preview.DrawnHeight();
    timer.restart();
    for (int id : {1009, 1010})
        sheet.Type(Tab::TabPage, id, "2147483648");
    sheet.Type(Tab::TabLayout, 1021, "2147483648");
    sheet.Type(Tab::TabLayout, 1025, "-99999999999");
    preview.grab();
    EXPECT_LT(timer.elapsed(), kHungAfterMs);
    ASSERT_TRUE(preview.IsValid());
    // The last numbers OK took: a page 2147 by 2147 mm of one column of labels 2147
    // wide, the margin counted as none.
    EXPECT_EQ(preview.DrawnWidth(), preview.DrawnHeight());
    EXPECT_LT(preview.DrawnHeight(), drawnHeight);
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1035), "1");
    EXPECT_EQ(sheet.Text(Tab::TabLayout, 1033), "38");
    EXPECT_TRUE(inside(38, 1));
    sheet.Show(Tab::TabPage);
    grab("label-settings-beyond-int.png");

    // OK names the box that is out of range.
    ASSERT_FALSE(sheet.Ok());
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("宽度必须大于 0 且不超过 10000，请重新输入。")});

    // Rows typed beyond their arrows are not drawn either, and OK refuses them.
    services.messages.clear();
    sheet.Type(Tab::TabPage, 1009, "210");
    sheet.Type(Tab::TabPage, 1010, "297");
    sheet.Type(Tab::TabLayout, 1021, "90");
    sheet.Type(Tab::TabLayout, 1025, "10");
    Click(sheet.Ctl<QCheckBox>(Tab::TabLayout, 1037));
    timer.restart();
    sheet.Type(Tab::TabLayout, 1033, "2147483648");
    preview.grab();
    EXPECT_LT(timer.elapsed(), kHungAfterMs);
    EXPECT_TRUE(preview.IsValid());
    ASSERT_FALSE(sheet.Ok());
    EXPECT_EQ(services.MessageTexts(), QStringList{QStringLiteral("行数必须是 1 到 100 之间的数，请重新输入。")});
}

// The three lines under the preview name the sizes and counts the picture shows: a
// number OK would refuse leaves them, like the picture, at the last one it took.
TEST(LabelSettingsSheet, SummaryLinesNameWhatThePreviewDraws)
{
    FakeServices services;
    CLabelData label;
    Sheet sheet(label);
    const CLSPreviewStatic& preview = *sheet.dlg.Preview();
    const auto line = [&sheet](int id) { return ctl<QLabel>(&sheet.dlg, id)->text(); };
    if (sheet.Checked(Tab::TabLayout, 1037))
        sheet.ClickOn(Tab::TabLayout, 1037);

    // Typed key by key: 99999 is the first prefix beyond 10000 mm, 214 beyond 100 rows.
    sheet.TypeAll(Tab::TabPage, {{1009, "123456"}, {1010, "297"}});
    sheet.TypeAll(Tab::TabLayout, {{1021, "130"}, {1022, "99999997952"}, {1033, "2147483647"}, {1035, "2147483647"}});
    sheet.Show(Tab::TabLayout);
    sheet.dlg.grab(); // the picture is drawn from what it read, as the lines are
    EXPECT_EQ(line(1068), QStringLiteral("纸张大小: 1234.0 x 297.0 毫米"));
    EXPECT_EQ(line(1069), QStringLiteral("标签大小: 130.0 x 9999.0 毫米"));
    EXPECT_EQ(line(1070), QStringLiteral("每页标签数: 21 x 21"));
    EXPECT_EQ(preview.PageWidth(), 1234.0f);
    EXPECT_EQ(preview.LabelHeight(), 9999.0f);
    EXPECT_EQ(preview.Rows(), 21);
    EXPECT_EQ(preview.Columns(), 21);
    if (!qEnvironmentVariableIsEmpty("VC_SHOWCASE_DIR"))
        sheet.dlg.grab().toImage().save(qEnvironmentVariable("VC_SHOWCASE_DIR") + u"/label-settings-summary.png");

    // Back within range, both follow again.
    sheet.TypeAll(Tab::TabLayout, {{1022, "45.5"}, {1033, "3"}});
    EXPECT_EQ(line(1069), QStringLiteral("标签大小: 130.0 x 45.5 毫米"));
    EXPECT_EQ(line(1070), QStringLiteral("每页标签数: 3 x 21"));
    EXPECT_EQ(preview.Rows(), 3);
}

// The largest value each box of the sheet takes survives OK, a save and an open
// unchanged and without a message.
TEST(LabelSettingsSheet, LargestValuesTheSheetTakesReadBackUnchanged)
{
    FakeServices services;
    QTemporaryDir dir;
    CLabelData label;
    Sheet sheet(label);
    sheet.Show(Tab::TabPrintCount);
    QTabWidget* tabs = sheet.Ctl<QTabWidget>(Tab::TabPrintCount, 1290);
    QWidget* single = page<QWidget>(tabs, 383);
    RetypeText(ctl<QLineEdit>(single, 1081), "1000000");
    RetypeText(ctl<QLineEdit>(single, 1082), "1000000");
    tabs->setCurrentIndex(1);
    RetypeText(ctl<QLineEdit>(page<QWidget>(tabs, 384), 1081), "1000000");
    // A page as large as it gets, filled with as many labels as are counted.
    sheet.Type(Tab::TabPage, 1009, "10000");
    sheet.Type(Tab::TabPage, 1010, "10000");
    sheet.Type(Tab::TabLayout, 1021, "0.5");
    sheet.Type(Tab::TabLayout, 1029, "0");
    sheet.Type(Tab::TabAdvanced, 1049, "-10000");
    ASSERT_TRUE(sheet.Ok()) << services.MessageTexts().join(u'\n').toStdString();
    EXPECT_EQ(label.m_nRows, 100);
    EXPECT_EQ(label.m_nColumns, 100);
    EXPECT_EQ(label.m_nPreloadPages, 1000000);

    CDocWriterV1_0 writer;
    writer.m_strPath = dir.filePath("largest.vmk");
    writer.m_pLabelData = &label;
    writer.WriteDocument();
    CLabelData read;
    CDocLoader loader;
    loader.m_strPath = writer.m_strPath;
    loader.m_pLabelData = &read;
    loader.LoadDocument();
    EXPECT_TRUE(loader.m_pReader->GetWarnings().isEmpty());
    EXPECT_EQ(DocumentBytes(read), DocumentBytes(label));
    EXPECT_EQ(read.m_nPreloadPages, 1000000);
    EXPECT_EQ(read.m_nCopies, 1000000);
    EXPECT_EQ(read.m_fPaperWidth, 10000.0f);
    EXPECT_EQ(read.m_fHorzOffset, -10000.0f);
}
