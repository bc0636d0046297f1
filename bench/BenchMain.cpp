// Benchmarks run with a headless Qt and the C numeric locale, like the tests.
#include "platform/ScreenDpi.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <clocale>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    g_nScreenDpiX = 96;
    g_nScreenDpiY = 96;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
