// One million serial numbers through the whole value pipeline: the serial text in
// its base with padding, then the band's formatting with prefix and suffix.
#include "model/DataBand.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kLabels = 1000000;

void RunSerials(benchmark::State& state, int base)
{
    CDataBand band;
    band.m_nKind = BandSerial;
    band.m_nSerialBase = base;
    band.m_strStartValue = QStringLiteral("1000");
    band.m_nSerialStep = 3;
    band.m_bSerialPad = true;
    band.m_nSerialPadWidth = 10;
    band.m_bPadToLength = true;
    band.m_nMinLength = 12;
    band.m_chPad = ' ';
    band.m_strPrefix = QStringLiteral("SN-");
    band.m_strSuffix = QStringLiteral("/A");
    for (auto _ : state) {
        qsizetype total = 0;
        for (int n = 1; n <= kLabels; ++n)
            total += band.FormatValue(band.FormatSerial(band.GetSerialValue(n))).size();
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kLabels);
}

void BM_DataBandMillionSerialsDecimal(benchmark::State& state)
{
    RunSerials(state, SerialDecimal);
}

void BM_DataBandMillionSerialsLetters(benchmark::State& state)
{
    RunSerials(state, SerialLetters);
}

} // namespace

BENCHMARK(BM_DataBandMillionSerialsDecimal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataBandMillionSerialsLetters)->Unit(benchmark::kMillisecond);
