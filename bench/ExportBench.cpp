// Batch export of 1,000 labels (a serial text, a serial Code 128, a rectangle) to
// 300-dpi PNG files, on one core and on four: the speed-up in one run, the files of
// both runs compared byte for byte first.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "output/Exporter.h"
#include "platform/ImageFile.h"
#include "bench/CpuTime.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>

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

bool ExportRows(CLabelData& label, const QString& folder, int depth, int threads)
{
    std::vector<CBaseGraph*> selection;
    for (const auto& object : label.m_objects)
        selection.push_back(object.get());
    CBatchExporter exporter;
    exporter.m_pLabelData = &label;
    exporter.m_strFolder = folder;
    exporter.m_strExtension = QStringLiteral(".png");
    exporter.m_strStartName = QStringLiteral("L");
    exporter.m_nFromRow = 1;
    exporter.m_nToRow = kRows;
    exporter.m_nDpi = 300;
    exporter.m_nColourDepth = depth;
    exporter.m_nThreads = threads;
    return exporter.Run(selection, nullptr) == ExportResult::Success;
}

void BM_BatchExportThousandLabelsToPng(benchmark::State& state)
{
    QTemporaryDir dir;
    auto label = MakeLabel();
    for (auto _ : state) {
        if (!ExportRows(*label, dir.path(), static_cast<int>(state.range(0)), static_cast<int>(state.range(1))))
            state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["labels/s"] = benchmark::Counter(double(state.iterations()) * kRows, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BatchExportThousandLabelsToPng)
    ->Args({DepthMonochrome, 1})
    ->Args({DepthTrueColour, 1})
    ->Args({DepthTrueColour, 4})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Whether two folders hold the same files, byte for byte.
bool SameFiles(const QString& a, const QString& b)
{
    const QStringList names = QDir(a).entryList(QDir::Files, QDir::Name);
    if (names.size() != kRows || names != QDir(b).entryList(QDir::Files, QDir::Name))
        return false;
    for (const QString& name : names) {
        QFile x(QDir(a).filePath(name)), y(QDir(b).filePath(name));
        if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly) || x.readAll() != y.readAll())
            return false;
    }
    return true;
}

// One core and four in the same run: wall seconds of each and the speed-up, and
// the CPU seconds the four spend over the one's. The wall times are only as good as
// the machine is idle.
void BM_BatchExportFourCoresBesideOne(benchmark::State& state)
{
    auto label = MakeLabel();
    double wallOne = 0, wallFour = 0, cpuOne = 0, cpuFour = 0;
    for (auto _ : state) {
        QTemporaryDir one, four;
        auto run = [&](const QString& folder, int threads, double& wall, double& cpu) {
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = ProcessCpuSeconds();
            if (!ExportRows(*label, folder, DepthTrueColour, threads))
                state.SkipWithError("export failed");
            cpu += ProcessCpuSeconds() - cpuStart;
            wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        run(one.path(), 1, wallOne, cpuOne);
        run(four.path(), 4, wallFour, cpuFour);
        if (!SameFiles(one.path(), four.path()))
            state.SkipWithError("the four cores wrote other files than the one");
    }
    state.counters["one wall s"] = wallOne / double(state.iterations());
    state.counters["four wall s"] = wallFour / double(state.iterations());
    state.counters["speed-up"] = wallFour > 0 ? wallOne / wallFour : 0.0;
    state.counters["cpu ratio"] = cpuOne > 0 ? cpuFour / cpuOne : 0.0;
    state.counters["one labels/s"] = wallOne > 0 ? double(state.iterations()) * kRows / wallOne : 0.0;
}
BENCHMARK(BM_BatchExportFourCoresBesideOne)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
