// Printed output: what lands on the page, in images and in a PDF read back with
// pdftoppm and zxing-cpp, and rows from a real SQLite file.
#include "OutputSupport.h"
#include "TestSupport.h"
#include "WorkbookFixtures.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "output/ActiveScriptHost.h"
#include "output/PrintTarget.h"
#include "platform/Drawing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <climits>
#include <ZXing/ReadBarcode.h>
// ZXing's error macro would rewrite a member of the script host where both meet in one batch.
#undef FormatError
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

constexpr double kDpi = 100.0;

QRect CellPixels(const CLabelData& label, int row, int column, double dpi)
{
    const double x = label.m_fLeftMargin + column * (label.m_fLabelWidth + label.m_fHorzGap);
    const double y = label.m_fTopMargin + row * (label.m_fLabelHeight + label.m_fVertGap);
    const double k = dpi / 25.4;
    return QRect(int(x * k), int(y * k), int(label.m_fLabelWidth * k), int(label.m_fLabelHeight * k));
}

// rows x columns labels of 60 x 40 mm, count of them, each with the Code 128 barcode
// "B" of wide modules whose content is a serial from start.
std::unique_ptr<CLabelData> MakeBarcodeSheet(int rows, int columns, int count, int start)
{
    auto label = MakeGridLabel(rows, columns);
    label->m_fLabelWidth = 60;
    label->m_fLabelHeight = 40;
    label->m_nPrintCount = count;
    CBarcodeGraph& barcode = AddSerialBarcode(*label, "B", start, 5, 10);
    barcode.GetImpl()->GetSettings()->m_fModuleWidth = 15.0f;
    return label;
}

constexpr int kPdfDpi = 200;

// Prepares the job over the label, prints all its pages into folder/job.pdf and returns
// them as pdftoppm draws them at dpi; none when printing failed, with the reason in error.
std::vector<QImage> PrintPdfPages(CPrintHandler& job, CLabelData& label, int dpi, const QString& folder, QString& error)
{
    const QString pdf = folder + "/job.pdf";
    if (PrintAllToPdf(job, label, pdf, &error) != PrintResult::Success)
        return {};
    return RasterisePdf(pdf, dpi);
}

bool IsBlank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

// An image target and the pages it handed out.
struct ImagePages
{
    explicit ImagePages(double dpi) : target(dpi, [this](const QImage& page) { pages.push_back(page); return true; }) {}
    std::vector<QImage> pages;
    CImageTarget target;
};

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

CRectangleGraph& AddRectangle(CLabelData& label, const QRectF& box)
{
    auto rectangle = std::make_unique<CRectangleGraph>();
    rectangle->m_fX = float(box.x());
    rectangle->m_fY = float(box.y());
    rectangle->m_fWidth = float(box.width());
    rectangle->m_fHeight = float(box.height());
    CRectangleGraph& added = *rectangle;
    label.m_objects.push_back(std::move(rectangle));
    return added;
}

// The first page of the label's job drawn at dpi; null when printing failed.
QImage PrintFirstPage(CLabelData& label, double dpi)
{
    CPrintHandler job;
    job.SetLabelData(&label);
    job.Prepare();
    ImagePages out(dpi);
    if (RunPrintJob(job, out.target, {1, 1, 1, true}) != PrintResult::Success || out.pages.empty())
        return {};
    return out.pages[0];
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
        ImagePages out(kDpi);
        ASSERT_EQ(RunPrintJob(job, out.target, {1, 1, 1, true}), PrintResult::Success);
        ASSERT_EQ(out.pages.size(), 1u);
        pages.push_back(out.pages[0]);
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

TEST(PrintOutput, ObjectsInsideTheRoundedShapePrintAsWhenClipped)
{
    // A frame close to the rounded corners, a text and a barcode; with an invisible
    // outline crossing a corner, the label is clipped.
    const auto makeLabel = [](bool crossing) {
        auto label = MakeGridLabel(1, 1);
        label->m_nShape = ShapeRoundRect;
        label->m_fLabelWidth = 70;
        label->m_fLabelHeight = 42.4f;
        label->m_fCornerRadius = 2;
        AddRectangle(*label, QRectF(1, 1, 68, 40.4)).m_fLineWidth = 0.3f;
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(ConstantBand("Item: Widget 12"));
        CTextGraph& text = AddText(*label, "T", std::move(bands));
        text.m_fX = 4;
        text.m_fY = 3;
        text.m_fWidth = 62;
        text.m_fHeight = 6;
        AddSerialBarcode(*label, "B", 1000000, 4, 18);
        if (crossing)
            AddRectangle(*label, QRectF(-1, -1, 4, 4)).m_crLine = 0x00000000u;
        return label;
    };
    const auto label = makeLabel(false);
    EXPECT_TRUE(LiesInsideLabelShape(*label, QRectF(0.6, 0.6, 68.8, 41.2)));
    EXPECT_FALSE(LiesInsideLabelShape(*label, QRectF(0.5, 0.5, 69, 41.4))) << "past the arc of a corner";
    EXPECT_FALSE(LiesInsideLabelShape(*label, QRectF(10, 10, 61, 10))) << "past the right edge";
    for (const double dpi : {100.0, 300.0}) {
        const QImage unclipped = PrintFirstPage(*label, dpi);
        EXPECT_FALSE(IsBlank(unclipped));
        EXPECT_TRUE(unclipped == PrintFirstPage(*makeLabel(true), dpi)) << dpi << " dpi";
    }

    // A block inside the label's box but past the arc of its corner is still cut.
    auto cornered = MakeGridLabel(1, 1);
    cornered->m_nShape = ShapeRoundRect;
    cornered->m_fCornerRadius = 4;
    AddRectangle(*cornered, QRectF(0.5, 0.5, 10, 10)).m_crFill = 0xFF000000u;
    const QImage page = PrintFirstPage(*cornered, kDpi);
    EXPECT_TRUE(IsDarkAt(page, 15, 15, kDpi));
    EXPECT_FALSE(IsDarkAt(page, 10.8, 10.8, kDpi));
}

TEST(PrintOutput, CopiesAndCollationOrderPagesAndCancelStops)
{
    auto label = MakeGridLabel(1, 1);
    label->m_nPrintCount = 3;
    label->m_bPageNumber = true;
    CPrintHandler job;
    job.SetLabelData(label.get());
    job.Prepare();

    struct Recorder : IJobFeedback
    {
        void Progress(qint64 printed, qint64 total) override { seen.push_back({printed, total}); }
        bool IsCancelled() override { return cancelAfter > 0 && int(seen.size()) >= cancelAfter; }
        std::vector<std::pair<qint64, qint64>> seen;
        int cancelAfter = 0;
    };
    ImagePages collated(20);
    Recorder all;
    ASSERT_EQ(RunPrintJob(job, collated.target, {2, 2, 2, true}, &all), PrintResult::Success);
    EXPECT_EQ(collated.pages.size(), 4u);
    EXPECT_EQ(all.seen.back(), (std::pair<qint64, qint64>(4, 4)));
    EXPECT_EQ(job.m_nFirstPrintedPage, 2);

    ImagePages stopped(20);
    Recorder cancel;
    cancel.cancelAfter = 1;
    EXPECT_EQ(RunPrintJob(job, stopped.target, {1, 3, 1, false}, &cancel), PrintResult::Cancelled);
    EXPECT_EQ(stopped.pages.size(), 1u);

    // A page the sink cannot keep fails the job.
    CImageTarget refusing(20, [](const QImage&) { return false; });
    EXPECT_EQ(RunPrintJob(job, refusing, {1, 1, 1, true}), PrintResult::Failed);

    // Page numbers and pages times copies beyond 32 bits: only pages that can exist
    // are printed, each under its own number.
    struct PageNumbers : IJobFeedback
    {
        explicit PageNumbers(const CPrintHandler& j) : job(j) {}
        void Progress(qint64, qint64 all) override
        {
            total = all;
            for (const CBaseGraph* item : job.GetPageItems())
                numbers << item->m_strText;
        }
        bool IsCancelled() override { return numbers.size() >= cancelAt; }
        const CPrintHandler& job;
        QStringList numbers;
        qint64 total = 0;
        qsizetype cancelAt = INT_MAX;
    };
    PageNumbers last(job);
    ImagePages end(5);
    EXPECT_EQ(RunPrintJob(job, end.target, {INT_MAX - 1, 5, 3, false}, &last), PrintResult::Success);
    EXPECT_EQ(last.total, 6);
    EXPECT_EQ(last.numbers, QStringList({"2147483646", "2147483647", "2147483646", "2147483647", "2147483646",
                                         "2147483647"}));
    PageNumbers many(job);
    many.cancelAt = 6;
    ImagePages manyPages(5);
    EXPECT_EQ(RunPrintJob(job, manyPages.target, {1, INT_MAX, 1000, true}, &many), PrintResult::Cancelled);
    EXPECT_EQ(many.total, qint64(INT_MAX) * 1000);
    EXPECT_EQ(many.numbers, QStringList({"1", "1", "1", "1", "1", "1"}));
    ImagePages none(5);
    EXPECT_EQ(RunPrintJob(job, none.target, {0, 1, 1, true}), PrintResult::Failed);
    EXPECT_TRUE(none.pages.empty());

    QString error;
    auto printer = CPrinterTarget::ForPrinter("No Such Printer 7");
    EXPECT_EQ(RunPrintJob(job, *printer, {1, 1, 1, true}, nullptr, &error), PrintResult::Failed);
    EXPECT_EQ(error, "无法打开打印机。No Such Printer 7");
}

TEST(PrintOutput, PdfOfSerialBarcodesDecodesInEveryCell)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto label = MakeBarcodeSheet(2, 3, 12, 5000);
    label->m_nStartCorner = CornerBottomRight;
    label->m_bSameDirection = false;
    label->m_strTitle = "serials";
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(ConstantBand("No. "));
    bands.push_back(SerialBand(1));
    AddText(*label, "T", std::move(bands));

    CPrintHandler job;
    constexpr int dpi = 200;
    QString error;
    const std::vector<QImage> images = PrintPdfPages(job, *label, dpi, dir.path(), error);
    ASSERT_EQ(images.size(), 2u) << error.toStdString();
    for (int page = 1; page <= 2; ++page) {
        const QImage& image = images[page - 1];
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
    barcode.GetImpl()->GetSettings()->m_fModuleWidth = 11.0f; // 2.2 dots at 203 dpi: two dots a module

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

// The digits under a barcode are one text item per font (not one per digit) and the
// bars plain rectangles of the page (no saved state or matrix per bar), and both
// symbols still read from the printed page.
TEST(PrintOutput, PdfHoldsABarcodesDigitsAsOneTextAndItsBarsPlainly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto label = MakeGridLabel(1, 1);
    label->m_fLabelWidth = 60;
    label->m_fLabelHeight = 50;
    label->m_nPrintCount = 1;
    AddSerialBarcode(*label, "B", 5000123, 5, 5);
    auto ean = std::make_unique<CBarcodeGraph>();
    ean->m_strName = "E";
    ean->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyEAN13);
    ean->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(ConstantBand("590123412345"));
    ean->m_fX = 5;
    ean->m_fY = 25;
    label->m_objects.push_back(std::move(ean));

    CPrintHandler job;
    const QString pdf = dir.filePath("digits.pdf");
    QString error;
    ASSERT_EQ(PrintAllToPdf(job, *label, pdf, &error), PrintResult::Success) << error.toStdString();

    QByteArray content;
    for (const QByteArray& stream : InflatedPdfStreams(pdf))
        if (stream.contains(" re\n"))
            content += stream;
    ASSERT_FALSE(content.isEmpty());
    // Code 128's line in one item; EAN-13's digits, the one left of the bars included, in one.
    EXPECT_EQ(content.count("BT\n"), 2) << content.toStdString();
    EXPECT_GT(content.count(" re\n"), 40);
    EXPECT_LT(content.count(" cm\n"), 10) << content.toStdString();

    const auto pages = RasterisePdf(pdf, 300);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(ReadCode128(pages[0]).value_or("(not read)"), "5000123");
    EXPECT_EQ(ReadSymbol(pages[0], ZXing::BarcodeFormat::EAN13).value_or("(not read)"), "5901234123457");
}

TEST(PrintOutput, AScriptSetsEachLabelsBarcodeAndTextInThePdf)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto label = MakeBarcodeSheet(2, 2, 6, 1);
    AddText(*label, "Text1", {}).m_strText = "plain";
    label->m_strScripts[ScriptShared] = "Dim n";
    label->m_strScripts[ScriptOnLabelStart] = "n = n + 1\n"
                                              "Objects.Item(\"B\").Value = \"SCRIPT-\" & (n * 7)\n"
                                              "Item(\"Text1\").Value = \"Label \" & n";
    CPrintHandler job;
    job.SetScriptEngine(CreateLabelScriptEngine(nullptr, nullptr));
    QString error;
    const std::vector<QImage> images = PrintPdfPages(job, *label, kPdfDpi, dir.path(), error);
    ASSERT_EQ(images.size(), 2u) << error.toStdString();
    QStringList read;
    for (const QImage& image : images) {
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 2; ++c) {
                if (const auto text = ReadCode128(image.copy(CellPixels(*label, r, c, kPdfDpi))))
                    read << *text;
            }
        }
    }
    EXPECT_EQ(read, (QStringList{"SCRIPT-7", "SCRIPT-14", "SCRIPT-21", "SCRIPT-28", "SCRIPT-35", "SCRIPT-42"}));

    QProcess text;
    text.start("pdftotext", {"-layout", dir.filePath("job.pdf"), "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (int n = 1; n <= 6; ++n)
        EXPECT_TRUE(printed.contains(QStringLiteral("Label %1").arg(n))) << n << printed.toStdString();
    EXPECT_FALSE(printed.contains("plain"));
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

// A workbook source whose own statement is "select top n": counted and printed with
// its n rows, one label to a page.
TEST(PrintOutput, AWorkbookStatementWithTopCountsAndPrints)
{
    QTemporaryDir dir;
    const QString book = dir.filePath("book.xlsx");
    ASSERT_TRUE(WriteTestXlsx(book));
    auto label = MakeGridLabel(1, 1);
    auto sheet = std::make_unique<CExcelDS>();
    sheet->m_strName = "People";
    sheet->m_strPath = book;
    sheet->m_bHeaderRow = true;
    sheet->m_nRangeMode = RangeSQL;
    sheet->m_strSQL = "select top 3 Name from [People$] order by Id desc";
    sheet->m_selectedFields = {"Name"};
    label->m_dataSources.push_back(std::move(sheet));
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(FieldBand("People", "Name"));
    AddText(*label, "T", std::move(bands));

    CPrintHandler job;
    QString error;
    const std::vector<QImage> images = PrintPdfPages(job, *label, 72, dir.path(), error);
    EXPECT_EQ(images.size(), 3u) << error.toStdString();
    EXPECT_EQ(job.GetLabelCount(), 3);
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

// A run's sources are closed once its last page has its rows, before that page is drawn: what
// ends their server sessions goes at once. Every earlier page, another copy's too, reads with its
// sources open, and the next run reads again.
TEST(PrintOutput, SourcesCloseWhenTheRunsLastPageHasItsRows)
{
    auto label = MakeGridLabel(1, 1);
    AddSource(*label, "S", {"Name"});
    std::vector<std::unique_ptr<CDataBand>> field;
    field.push_back(FieldBand("S", "Name"));
    AddText(*label, "T", std::move(field));
    struct Closing : FakeLoader
    {
        Closing(std::vector<QStringList> rows, std::vector<int>* closedAtLoad, int* closes)
            : FakeLoader(std::move(rows))
            , closedAtLoad(closedAtLoad)
            , closes(closes)
        {
        }
        bool LoadRows(int first, int last, LoaderRow& rows) override
        {
            closedAtLoad->push_back(*closes);
            return FakeLoader::LoadRows(first, last, rows);
        }
        bool Close() override
        {
            ++*closes;
            return FakeLoader::Close();
        }
        std::vector<int>* closedAtLoad;
        int* closes;
    };
    std::vector<int> closedAtLoad;
    int closes = 0;
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePrint);
    job.SetLabelData(label.get());
    job.SetLoaderFactory([&](const CDSBase&) {
        return std::make_unique<Closing>(std::vector<QStringList> {{"a"}, {"b"}}, &closedAtLoad, &closes);
    });
    job.Prepare();
    ASSERT_EQ(job.GetPageCount(), 2);
    std::vector<int> closedAtPage;
    CImageTarget target(20, [&](const QImage&) {
        closedAtPage.push_back(closes);
        return true;
    });
    for (const bool collate : {false, true}) {
        SCOPED_TRACE(collate);
        closes = 0;
        closedAtLoad.clear();
        closedAtPage.clear();
        ASSERT_EQ(RunPrintJob(job, target, {1, 2, 2, collate}), PrintResult::Success);
        EXPECT_EQ(closedAtLoad, (std::vector<int> {0, 0, 0, 0}));
        EXPECT_EQ(closedAtPage, (std::vector<int> {0, 0, 0, 1}));
        EXPECT_EQ(closes, 1);
    }
    EXPECT_FALSE(job.m_bLastPageOfRun);
}

TEST(PrintOutput, EmptyQRCodeValuesPrintNothingOnAnyLabel)
{
    // Empty values before and after real ones; a NUL inside a value is content.
    const QStringList values{"", "LOT-7", "", QString::fromLatin1("LOT-7\0EXP-2025", 14)};
    auto label = MakeGridLabel(1, 4);
    label->m_fPaperWidth = 140;
    label->m_fPaperHeight = 40;
    AddSource(*label, "Lots", {"Lot"});
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_strName = "Q";
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyQRCode);
    // An opaque light background shows a symbol's box even where it has no modules.
    barcode->m_pBarcodeImpl->GetSettings()->m_crBackground = 0xFFD0D0D0u;
    barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(FieldBand("Lots", "Lot"));
    barcode->m_fX = barcode->m_fY = 2;
    label->m_objects.push_back(std::move(barcode));

    CPrintHandler job;
    job.SetLabelData(label.get());
    job.SetLoaderFactory([&values](const CDSBase&) {
        std::vector<QStringList> rows;
        for (const QString& v : values)
            rows.push_back({v});
        return std::make_unique<FakeLoader>(rows);
    });
    job.Prepare();
    ASSERT_EQ(job.GetLabelCount(), 4);
    constexpr double dpi = 300;
    ImagePages out(dpi);
    QString error;
    ASSERT_EQ(RunPrintJob(job, out.target, {1, 1, 1, true}, nullptr, &error), PrintResult::Success)
        << error.toStdString();
    ASSERT_EQ(out.pages.size(), 1u);
    for (int c = 0; c < 4; ++c) {
        const QImage cell = out.pages[0].copy(CellPixels(*label, 0, c, dpi));
        if (values[c].isEmpty())
            EXPECT_TRUE(IsBlank(cell)) << "cell " << c;
        else
            EXPECT_EQ(ReadSymbol(cell, ZXing::BarcodeFormat::QRCode).value_or("(nothing)"), values[c].toLatin1())
                << "cell " << c;
    }
}

TEST(PrintOutput, APdfThatWasNotWrittenWholeIsAFailure)
{
    auto label = MakeGridLabel(1, 1);
    label->m_nPrintCount = 2;
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(SerialBand(1));
    AddText(*label, "T", std::move(bands));
    CPrintHandler job;
    job.SetLabelData(label.get());
    job.Prepare();
    const auto print = [&](const QString& path, IJobFeedback* feedback = nullptr) {
        auto target = CPrinterTarget::ForPdf(path);
        QString error;
        const PrintResult result = RunPrintJob(job, *target, {1, 2, 1, true}, feedback, &error);
        if (result == PrintResult::Failed) {
            EXPECT_FALSE(error.isEmpty()) << path.toStdString();
        }
        return result;
    };

    // Every write to /dev/full fails with "no space left on the device".
    EXPECT_EQ(print("/dev/full"), PrintResult::Failed);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(print(dir.filePath("missing/job.pdf")), PrintResult::Failed);

    // The folder disappears while the pages are drawn.
    struct RemoveFolder : IJobFeedback
    {
        QString folder;
        void Progress(qint64, qint64) override { QDir(folder).removeRecursively(); }
        bool IsCancelled() override { return false; }
    } vanish;
    vanish.folder = dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(vanish.folder));
    EXPECT_EQ(print(vanish.folder + "/job.pdf", &vanish), PrintResult::Failed);

    // And the ordinary case still succeeds.
    EXPECT_EQ(print(dir.filePath("job.pdf")), PrintResult::Success);
}
