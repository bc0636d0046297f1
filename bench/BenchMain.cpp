// Benchmarks run with a headless Qt and the C numeric locale, like the tests.
#include "platform/ScreenDpi.h"

#ifdef VC_BENCH_WIDGETS
#include <QApplication>
using BenchApplication = QApplication; // the canvas benchmarks paint widgets
#else
#include <QGuiApplication>
using BenchApplication = QGuiApplication;
#endif
#include <benchmark/benchmark.h>
#include <clocale>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    g_nScreenDpiX = 96;
    g_nScreenDpiY = 96;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
