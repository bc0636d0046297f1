// Encode + module grid (or pattern matrix) per second: a QR Code of 50 characters
// and a PDF417 of 100 characters, as a label job recomputes them row by row.
// A Data Matrix of 50 characters is measured alongside for comparison.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"

#include <benchmark/benchmark.h>

namespace {

QString Content(int length, int seed)
{
    QString text;
    for (int i = 0; i < length; ++i)
        text.append(QChar(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-./: "[(i * 7 + seed) % 67]));
    return text;
}

void RunEncode(benchmark::State& state, int32_t symbology, int length)
{
    const auto impl = CreateBarcodeImpl(symbology);
    // A few contents in turn, so no two neighbouring encodes see the same text.
    const QString contents[] = {Content(length, 0), Content(length, 1), Content(length, 2), Content(length, 3)};
    size_t n = 0;
    for (auto _ : state) {
        impl->GetSettings()->m_strContent = contents[n++ % 4];
        impl->Encode();
        impl->CalcSize();
        benchmark::DoNotOptimize(impl->GetSettings()->m_fWidth);
    }
    state.SetItemsProcessed(state.iterations());
}

void QRCode50(benchmark::State& state)
{
    RunEncode(state, SymbologyQRCode, 50);
}

void Pdf417_100(benchmark::State& state)
{
    RunEncode(state, SymbologyPDF417, 100);
}

void DataMatrix50(benchmark::State& state)
{
    RunEncode(state, SymbologyDataMatrix, 50);
}

} // namespace

BENCHMARK(QRCode50);
BENCHMARK(Pdf417_100);
BENCHMARK(DataMatrix50);
