// Printed output: what lands on the page, in images and in a PDF read back with
// pdftoppm and zxing-cpp, and rows from a real SQLite file.
#define ZX_USE_UTF8 1
#include "OutputSupport.h"
#include "TestSupport.h"

#include "barcode/BarcodeImpl.h"
#include "model/BarcodeGraph.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "output/PrintTarget.h"
#include "platform/Drawing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

constexpr double kDpi = 100.0;

std::optional<QString> ReadCode128(const QImage& image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                int(grey.bytesPerLine()));
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Code128);
    hints.setTryHarder(true);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid())
        return std::nullopt;
    return QString::fromStdString(result.text());
}

QRect CellPixels(const CLabelData& label, int row, int column, double dpi)
{
    const double x = label.m_fLeftMargin + column * (label.m_fLabelWidth + label.m_fHorzGap);
    const double y = label.m_fTopMargin + row * (label.m_fLabelHeight + label.m_fVertGap);
    const double k = dpi / 25.4;
    return QRect(int(x * k), int(y * k), int(label.m_fLabelWidth * k), int(label.m_fLabelHeight * k));
}

// A filled black rectangle larger than the label.
void AddOversizedBlock(CLabelData& label)
{
    auto block = std::make_unique<CRectangleGraph>();
    block->m_fX = -5;
    block->m_fY = -5;
    block->m_fWidth = label.m_fLabelWidth + 10;
    block->m_fHeight = label.m_fLabelHeight + 10;
    block->m_crFill = 0xFF000000u;
    label.m_objects.push_back(std::move(block));
}

} // namespace

TEST(PrintOutput, ShapesClipOutlinesAndCutMarks)
{
    // Rounded labels are clipped: the corner stays white, the middle is dark.
    auto rounded = MakeGridLabel(1, 1);
    rounded->m_nShape = ShapeRoundRect;
    rounded->m_fCornerRadius = 5;
    rounded->m_nCutMarks = 3;
    rounded->m_fCutMarkWidth = 0.5f;
    rounded->m_fCutMarkOffset = 2;
    AddOversizedBlock(*rounded);
    // Ellipses are not clipped in print.
    auto ellipse = MakeGridLabel(1, 1);
    ellipse->m_nShape = ShapeEllipse;
    AddOversizedBlock(*ellipse);
    // Outline only.
    auto outlined = MakeGridLabel(1, 1);
    outlined->m_bPrintBorder = true;
    outlined->m_fBorderWidth = 1.0f;

    std::vector<QImage> pages;
    for (CLabelData* label : {rounded.get(), ellipse.get(), outlined.get()}) {
        CPrintHandler job;
        job.SetLabelData(label);
        job.Prepare();
        CImageTarget target(kDpi);
        ASSERT_EQ(RunPrintJob(job, target, {1, 1, 1, true}), PrintResult::Success);
        ASSERT_EQ(target.Pages().size(), 1u);
        pages.push_back(target.Pages()[0]);
    }
    EXPECT_EQ(pages[0].size(), QSize(827, 1169)) << "A4 at 100 dpi";
    EXPECT_TRUE(IsDarkAt(pages[0], 25, 20, kDpi));
    EXPECT_FALSE(IsDarkAt(pages[0], 10.3, 10.3, kDpi));
    EXPECT_FALSE(IsDarkAt(pages[0], 9, 20, kDpi)) << "nothing spills past the label";
    EXPECT_TRUE(IsDarkAt(pages[0], 6.5, 8.1, kDpi)) << "crop mark left of the top-left corner";
    EXPECT_TRUE(IsDarkAt(pages[1], 10.3, 10.3, kDpi));
    EXPECT_TRUE(IsDarkAt(pages[2], 10.1, 20, kDpi));
    EXPECT_FALSE(IsDarkAt(pages[2], 25, 20, kDpi));
}

TEST(PrintOutput, CopiesAndCollationOrderPagesAndCancelStops)
{
    auto label = MakeGridLabel(1, 1);
    label->m_nPrintCount = 3;
    label->m_bPageNumber = true;
    CPrintHandler job;
    job.SetLabelData(label.get());
    job.Prepare();

    struct Recorder : IPrintFeedback
    {
        void PagePrinted(int printed, int total) override { seen.push_back({printed, total}); }
        bool IsCancelled() override { return cancelAfter > 0 && int(seen.size()) >= cancelAfter; }
        std::vector<std::pair<int, int>> seen;
        int cancelAfter = 0;
    };
    CImageTarget collated(20);
    Recorder all;
    ASSERT_EQ(RunPrintJob(job, collated, {2, 2, 2, true}, &all), PrintResult::Success);
    EXPECT_EQ(collated.Pages().size(), 4u);
    EXPECT_EQ(all.seen.back(), std::make_pair(4, 4));
    EXPECT_EQ(job.m_nFirstPrintedPage, 2);

    CImageTarget target(20);
    Recorder cancel;
    cancel.cancelAfter = 1;
    EXPECT_EQ(RunPrintJob(job, target, {1, 3, 1, false}, &cancel), PrintResult::Cancelled);
    EXPECT_TRUE(target.Pages().empty());

    QString error;
    auto printer = CPrinterTarget::ForPrinter("No Such Printer 7");
    EXPECT_EQ(RunPrintJob(job, *printer, {1, 1, 1, true}, nullptr, &error), PrintResult::Failed);
    EXPECT_EQ(error, "无法打开打印机。No Such Printer 7");
}

TEST(PrintOutput, PdfOfSerialBarcodesDecodesInEveryCell)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto label = MakeGridLabel(2, 3);
    label->m_fLabelWidth = 60;
    label->m_fLabelHeight = 40;
    label->m_nPrintCount = 12;
    label->m_nStartCorner = CornerBottomRight;
    label->m_bSameDirection = false;
    label->m_strTitle = "serials";
    CBarcodeGraph& barcode = AddSerialBarcode(*label, "B", 5000, 5, 10);
    barcode.GetImpl()->GetSettings()->m_fModuleWidth = 15.0f;
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(ConstantBand("No. "));
    bands.push_back(SerialBand(1));
    AddText(*label, "T", std::move(bands));

    CPrintHandler job;
    job.SetLabelData(label.get());
    job.Prepare();
    ASSERT_EQ(job.GetPageCount(), 2);
    const QString pdf = dir.filePath("job.pdf");
    auto target = CPrinterTarget::ForPdf(pdf);
    QString error;
    ASSERT_EQ(RunPrintJob(job, *target, {1, 2, 1, true}, nullptr, &error), PrintResult::Success)
        << error.toStdString();

    constexpr int dpi = 200;
    QProcess raster;
    raster.start("pdftoppm", {"-r", QString::number(dpi), "-png", pdf, dir.filePath("page")});
    ASSERT_TRUE(raster.waitForFinished(60000));
    ASSERT_EQ(raster.exitCode(), 0) << raster.readAllStandardError().toStdString();
    const QStringList pngs = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
    ASSERT_EQ(pngs.size(), 2);
    for (int page = 1; page <= 2; ++page) {
        const QImage image(dir.filePath(pngs[page - 1]));
        ASSERT_FALSE(image.isNull());
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 3; ++c) {
                const int n = (page - 1) * 6 + job.GetLabelSequence(r, c);
                const auto read = ReadCode128(image.copy(CellPixels(*label, r, c, dpi)));
                ASSERT_TRUE(read.has_value()) << "page " << page << " row " << r << " column " << c;
                EXPECT_EQ(*read, QString::number(5000 + n - 1)) << "page " << page << " row " << r << " column " << c;
            }
        }
    }
}

// A PDF for a label printer is drawn on that printer's dots: rasterised at its
// resolution, every module of 9 mil (1.8 dots) is exactly two dots. Without a printer
// the PDF keeps exact millimetres.
TEST(PrintOutput, PdfForALabelPrinterLaysBarsOnItsDots)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto label = MakeGridLabel(1, 1);
    label->m_fLabelWidth = 60;
    label->m_fLabelHeight = 30;
    label->m_nPrintCount = 1;
    CBarcodeGraph& barcode = AddSerialBarcode(*label, "B", 5000, 5.3f, 5.3f);
    barcode.GetImpl()->GetSettings()->m_fModuleWidth = 9.0f;

    const QString pdf = dir.filePath("thermal.pdf");
    {
        auto exact = CPrinterTarget::ForPdf(dir.filePath("exact.pdf"));
        ASSERT_TRUE(exact->BeginDocument(*label, "exact"));
        EXPECT_LT(exact->OutputDpi(), 0.0f);
        exact->Abort();
    }
    label->m_strPrinterName = "Thermal";
    label->m_nResolution = 203;
    CPrintHandler job;
    job.SetLabelData(label.get());
    job.Prepare();
    auto target = CPrinterTarget::ForPdf(pdf);
    QString error;
    ASSERT_EQ(RunPrintJob(job, *target, {1, 1, 1, true}, nullptr, &error), PrintResult::Success)
        << error.toStdString();
    EXPECT_EQ(target->OutputDpi(), 203.0f);

    QProcess raster;
    raster.start("pdftoppm", {"-r", "203", "-aa", "no", "-aaVector", "no", "-png", pdf, dir.filePath("page")});
    ASSERT_TRUE(raster.waitForFinished(60000));
    ASSERT_EQ(raster.exitCode(), 0) << raster.readAllStandardError().toStdString();
    const QStringList pngs = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
    ASSERT_EQ(pngs.size(), 1);
    const QImage image = QImage(dir.filePath(pngs[0])).convertToFormat(QImage::Format_Grayscale8);
    const QRect cell = CellPixels(*label, 0, 0, 203);
    const auto read = ReadCode128(image.copy(cell));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, "5000");
    // Along a row through the bars every run, dark or light, is whole modules of two dots.
    const uchar* row = image.constScanLine(int((label->m_fTopMargin + 5.3 + 2) * 203 / 25.4));
    int first = -1, last = -1;
    for (int x = cell.left(); x <= cell.right(); ++x) {
        if (row[x] < 128) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    ASSERT_GT(last, first);
    std::vector<int> runs;
    for (int x = first, start = first; x <= last + 1; ++x) {
        if (x == last + 1 || (row[x] < 128) != (row[start] < 128)) {
            runs.push_back(x - start);
            start = x;
        }
    }
    ASSERT_GT(runs.size(), 20u);
    for (size_t i = 0; i < runs.size(); ++i)
        EXPECT_EQ(runs[i] % 2, 0) << "run " << i << " of " << runs[i] << " dots";
}

TEST(PrintOutput, RowsFromASQLiteFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("items.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "create table Items (Id integer, Name text, Qty integer);"
                           "with recursive n(i) as (select 1 union all select i + 1 from n where i < 7)"
                           " insert into Items select i, '品名' || i, i % 3 from n;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    auto label = MakeGridLabel(2, 2);
    AddSqliteSource(*label, "Items", path, {"Name", "Qty"}, "Id");
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand("items", "name"));
    AddText(*label, "T", std::move(bands));

    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.Prepare();
    EXPECT_EQ(job.GetLabelCount(), 7);
    EXPECT_EQ(job.GetPageCount(), 2);
    const auto second = PreviewPage(job, 2);
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(second[0].text, "品名5");
    EXPECT_EQ(second[2].text, "品名7");

    // Copies from the Qty column (1, 2, 0, 1, 2, 0, 1): 7 labels, rows by label.
    label->m_nCopyMode = 1;
    label->m_strCopiesDataSource = "Items";
    label->m_strCopiesField = "Qty";
    CPrintHandler copies;
    copies.SetMode(CPrintHandler::ModePreview);
    copies.SetLabelData(label.get());
    copies.Prepare();
    EXPECT_EQ(copies.GetLabelCount(), 7);
    std::vector<QString> texts;
    for (const auto& c : PreviewPage(copies, 1))
        texts.push_back(c.text);
    EXPECT_EQ(texts, (std::vector<QString>{"品名1", "品名2", "品名2", "品名4"}));
}

TEST(PrintOutput, PreviewLabelsAreClippedToTheirShapeAndHole)
{
    auto label = MakeGridLabel(1, 1);
    label->m_nShape = ShapeEllipse;
    label->m_bCenterHole = true;
    label->m_fHoleDiameter = 6;
    label->m_bPrintBorder = true;
    AddOversizedBlock(*label);
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.Prepare();
    GeneratedLabels items;
    job.DrawPreviewPage(items, 1);
    ASSERT_EQ(items.size(), 1u);
    QImage image = MakeCanvas(60, 40, kDpi);
    QPainter painter(&image);
    SetMillimetreWorld(painter, kDpi, kDpi);
    PaintGeneratedLabel(painter, *label, *items[0], items[0]->m_fX, items[0]->m_fY);
    painter.end();
    EXPECT_TRUE(IsDarkAt(image, 15, 20, kDpi));
    EXPECT_FALSE(IsDarkAt(image, 11, 11, kDpi)) << "outside the ellipse";
    EXPECT_FALSE(IsDarkAt(image, 25, 20, kDpi)) << "inside the hole";
}
