// A print job of 10,000 labels (two texts, a date, a serial Code 128, a rectangle)
// written to one PDF, and the cost of drawing one page early or late in the job.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"
#include "platform/Drawing.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kLabels = 10000;

std::unique_ptr<CDataBand> Band(int kind, const QString& value)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = kind;
    band->m_strValue = value;
    if (kind == BandDate)
        band->m_strDateTimeFormat = value;
    if (kind == BandSerial)
        band->m_strStartValue = value;
    return band;
}

CTextGraph& AddText(CLabelData& label, float y, std::unique_ptr<CDataBand> band)
{
    auto text = std::make_unique<CTextGraph>();
    text->m_fX = 3;
    text->m_fY = y;
    text->m_fWidth = 40;
    text->m_fHeight = 5;
    text->m_fFontSize = 9;
    text->m_bands.push_back(std::move(band));
    CTextGraph& ref = *text;
    label.m_objects.push_back(std::move(text));
    return ref;
}

// 4 x 5 labels of 45 x 50 mm on A4: 20 a page, 500 pages.
std::unique_ptr<CLabelData> MakeLabel()
{
    auto label = std::make_unique<CLabelData>();
    label->m_nRows = 5;
    label->m_nColumns = 4;
    label->m_fLabelWidth = 45;
    label->m_fLabelHeight = 50;
    label->m_fLeftMargin = 8;
    label->m_fTopMargin = 10;
    label->m_fHorzGap = 4;
    label->m_fVertGap = 5;
    label->m_nPrintCount = kLabels;
    label->m_strTitle = QStringLiteral("bench");

    auto frame = std::make_unique<CRectangleGraph>();
    frame->m_fX = 1;
    frame->m_fY = 1;
    frame->m_fWidth = 43;
    frame->m_fHeight = 48;
    label->m_objects.push_back(std::move(frame));
    AddText(*label, 3, Band(BandConstant, QStringLiteral("Vellumcraft Ltd.")));
    AddText(*label, 9, Band(BandConstant, QString::fromUtf8("产品 Widget 42")));
    AddText(*label, 15, Band(BandDate, QStringLiteral("yyyy-MM-dd")));

    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_fX = 3;
    barcode->m_fY = 24;
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(Band(BandSerial, QStringLiteral("100000")));
    label->m_objects.push_back(std::move(barcode));
    return label;
}

void BM_PrintTenThousandLabelsToPdf(benchmark::State& state)
{
    QTemporaryDir dir;
    auto label = MakeLabel();
    for (auto _ : state) {
        CPrintHandler job;
        job.SetLabelData(label.get());
        job.Prepare();
        auto target = CPrinterTarget::ForPdf(dir.filePath(QStringLiteral("bench.pdf")));
        const PrintResult result = RunPrintJob(job, *target, {1, job.GetPageCount(), 1, true});
        if (result != PrintResult::Success)
            state.SkipWithError("print failed");
    }
    state.SetItemsProcessed(state.iterations() * kLabels);
    state.counters["labels/s"] = benchmark::Counter(double(state.iterations()) * kLabels, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrintTenThousandLabelsToPdf)->Unit(benchmark::kMillisecond)->Iterations(2);

// One page of the same job drawn into an image, alone: page 500 must cost what page 1 does.
void BM_DrawPageOfTenThousand(benchmark::State& state)
{
    auto label = MakeLabel();
    CPrintHandler job;
    job.SetLabelData(label.get());
    job.Prepare();
    QImage image = MakeImageAtDpi(210, 297, 150, QImage::Format_RGB32);
    const int page = static_cast<int>(state.range(0));
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        SetMillimetreWorld(painter);
        job.DrawPage(painter, page);
    }
    state.SetItemsProcessed(state.iterations() * job.GetLabelsPerPage());
}
BENCHMARK(BM_DrawPageOfTenThousand)->Arg(1)->Arg(500)->Unit(benchmark::kMillisecond);

// Generating a page for the preview, without drawing.
void BM_PreviewPageOfTenThousand(benchmark::State& state)
{
    auto label = MakeLabel();
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.Prepare();
    const int page = static_cast<int>(state.range(0));
    for (auto _ : state) {
        GeneratedLabels items;
        job.DrawPreviewPage(items, page);
        benchmark::DoNotOptimize(items.data());
    }
}
BENCHMARK(BM_PreviewPageOfTenThousand)->Arg(1)->Arg(500)->Unit(benchmark::kMicrosecond);

// One label on a grid of n x n cells: a page costs its labels, not its cells.
void BM_PreviewOneLabelOnAHugeGrid(benchmark::State& state)
{
    auto label = MakeLabel();
    label->m_nRows = label->m_nColumns = static_cast<int>(state.range(0));
    label->m_nPrintCount = 1;
    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePreview);
    job.SetLabelData(label.get());
    job.Prepare();
    for (auto _ : state) {
        GeneratedLabels items;
        job.DrawPreviewPage(items, 1);
        benchmark::DoNotOptimize(items.data());
    }
}
BENCHMARK(BM_PreviewOneLabelOnAHugeGrid)->Arg(5)->Arg(20000)->Unit(benchmark::kMicrosecond);

} // namespace
