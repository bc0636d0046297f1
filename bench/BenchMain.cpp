// Benchmarks run with a headless Qt and the C numeric locale, like the tests.
#include "model/SourceApproval.h"
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

namespace {

// Whoever runs the benchmarks set up the database sources they open: each is allowed to
// connect for this run, and nothing is kept in the user's settings.
class BenchSourceApprover : public CSourceApprover
{
public:
    bool Ask(const SourceQuestion&) override { return true; }
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    g_nScreenDpiX = 96;
    g_nScreenDpiY = 96;
    BenchSourceApprover approver;
    InstallSourceApprover(&approver);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    InstallSourceApprover(nullptr);
    return 0;
}
