// Writing and reading a label of 10,000 objects of every kind but pictures.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

constexpr int kObjects = 10000;

void FillLabel(CLabelData& label)
{
    for (int i = 0; i < kObjects; ++i) {
        std::unique_ptr<CBaseGraph> object;
        switch (i % 5) {
        case 0: {
            auto barcode = std::make_unique<CBarcodeGraph>();
            barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
            CBarcodeSettings& s = *barcode->m_pBarcodeImpl->GetSettings();
            s.m_strContent = QStringLiteral("LBL%1").arg(i, 8, 10, QChar(u'0'));
            s.m_bandList.push_back(std::make_unique<CDataBand>());
            object = std::move(barcode);
            break;
        }
        case 1:
            object = std::make_unique<CLineGraph>();
            break;
        case 2:
            object = std::make_unique<CRectangleGraph>();
            break;
        case 3:
            object = std::make_unique<CEllipseGraph>();
            break;
        default: {
            auto polygon = std::make_unique<CPolygonGraph>();
            polygon->m_points = {{0, 0}, {10, 0}, {5, 8}};
            object = std::move(polygon);
            break;
        }
        }
        object->m_strName = QStringLiteral("Object%1").arg(i);
        object->m_strDescription = QStringLiteral("a description of object %1").arg(i);
        object->m_fX = static_cast<float>(i % 90);
        label.m_objects.push_back(std::move(object));
    }
}

QByteArray Write(const CLabelData& label)
{
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    return writer.DocumentBytes();
}

void BM_WriteLabel10k(benchmark::State& state)
{
    CLabelData label;
    FillLabel(label);
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = Write(label);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.counters["file_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_WriteLabel10k)->Unit(benchmark::kMillisecond);

void BM_ReadLabel10k(benchmark::State& state)
{
    CLabelData source;
    FillLabel(source);
    const QByteArray bytes = Write(source);
    double held = 0;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        CLabelData label;
        CDocReaderV1_0 reader;
        reader.m_pLabelData = &label;
        reader.ReadDocumentData(bytes);
        benchmark::DoNotOptimize(label.m_objects.data());
        held = static_cast<double>(mallinfo2().uordblks - before);
    }
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    // Heap the read label holds, as a multiple of the file size.
    state.counters["heap_per_file_byte"] = held / static_cast<double>(bytes.size());
}
BENCHMARK(BM_ReadLabel10k)->Unit(benchmark::kMillisecond);

} // namespace
