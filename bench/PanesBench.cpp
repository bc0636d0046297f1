// Listing a library of 100,000 components (and as many templates) in the resource and
// template panes, which should take well under two seconds each. Counter: items, what
// the pane lists, checked against the files made.
#include "app/MainFrame.h"
#include "app/ResourceWnd.h"
#include "app/TemplateWnd.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

namespace {

constexpr int kLibraryFiles = 100000;

// A folder of that many empty files with the extension, made once per run.
QString LibraryFolder(const char* extension)
{
    static QTemporaryDir root;
    const QString folder = root.filePath(QString::fromLatin1(extension + 1));
    if (QDir(folder).exists())
        return folder;
    QDir().mkpath(folder);
    for (int i = 0; i < kLibraryFiles; ++i) {
        QFile file(QStringLiteral("%1/%2%3").arg(folder).arg(i, 6, 10, QLatin1Char('0')).arg(QLatin1String(extension)));
        file.open(QIODevice::WriteOnly);
    }
    return folder;
}

void BM_ResourcePaneListsALibrary(benchmark::State& state)
{
    const QString folder = LibraryFolder(".vmc");
    CMainFrame frame;
    int items = 0;
    for (auto _ : state) {
        CResourceWnd pane(frame, folder);
        items = pane.RootItem() ? pane.RootItem()->childCount() : 0;
    }
    if (items != kLibraryFiles)
        state.SkipWithError("the pane did not list every component");
    state.counters["items"] = items;
}
BENCHMARK(BM_ResourcePaneListsALibrary)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TemplatePaneListsALibrary(benchmark::State& state)
{
    const QString folder = LibraryFolder(".vmk");
    CMainFrame frame;
    int items = 0;
    for (auto _ : state) {
        CTemplateWnd pane(frame, folder);
        QTreeWidgetItem* root = pane.Tree()->topLevelItem(0);
        items = root ? root->childCount() : 0;
    }
    if (items != kLibraryFiles)
        state.SkipWithError("the pane did not list every template");
    state.counters["items"] = items;
}
BENCHMARK(BM_TemplatePaneListsALibrary)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
