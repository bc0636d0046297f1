// Batch export of 1,000 labels (a serial text, a serial Code 128, a rectangle) to
// 300-dpi PNG files, one thread.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "output/Exporter.h"
#include "platform/ImageFile.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 1000;

std::unique_ptr<CDataBand> SerialBand(const QString& start)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandSerial;
    band->m_strStartValue = start;
    return band;
}

std::unique_ptr<CLabelData> MakeLabel()
{
    auto label = std::make_unique<CLabelData>();
    auto frame = std::make_unique<CRectangleGraph>();
    frame->m_fX = 1;
    frame->m_fY = 1;
    frame->m_fWidth = 58;
    frame->m_fHeight = 38;
    label->m_objects.push_back(std::move(frame));

    auto text = std::make_unique<CTextGraph>();
    text->m_fX = 3;
    text->m_fY = 3;
    text->m_fWidth = 50;
    text->m_fHeight = 6;
    text->m_fFontSize = 10;
    auto prefix = std::make_unique<CDataBand>();
    prefix->m_strValue = QStringLiteral("Lot ");
    text->m_bands.push_back(std::move(prefix));
    text->m_bands.push_back(SerialBand(QStringLiteral("5000")));
    label->m_objects.push_back(std::move(text));

    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_fX = 3;
    barcode->m_fY = 12;
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(SerialBand(QStringLiteral("100000")));
    label->m_objects.push_back(std::move(barcode));
    return label;
}

void BM_BatchExportThousandLabelsToPng(benchmark::State& state)
{
    QTemporaryDir dir;
    auto label = MakeLabel();
    std::vector<CBaseGraph*> selection;
    for (const auto& object : label->m_objects)
        selection.push_back(object.get());
    for (auto _ : state) {
        CBatchExporter exporter;
        exporter.m_pLabelData = label.get();
        exporter.m_strFolder = dir.path();
        exporter.m_strExtension = QStringLiteral(".png");
        exporter.m_strStartName = QStringLiteral("L");
        exporter.m_nFromRow = 1;
        exporter.m_nToRow = kRows;
        exporter.m_nDpi = 300;
        exporter.m_nColourDepth = static_cast<int>(state.range(0));
        if (exporter.Run(selection, nullptr) != ExportResult::Success)
            state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["labels/s"] = benchmark::Counter(double(state.iterations()) * kRows, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BatchExportThousandLabelsToPng)
    ->Arg(DepthMonochrome)
    ->Arg(DepthTrueColour)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
