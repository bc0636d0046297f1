// The everyday merge job (A4, 3 x 7 labels of 70 x 42.4 mm: a bordered rectangle,
// "Item: <name>" bold 11 pt, "Date: <date>" 10 pt, a Code 128 of the serial with its
// text; rows from a CSV file with a header line; one copy) printed to one PDF
// through RunPrintJob, beside a bare QPdfWriter loop drawing the same rectangles,
// texts and bars: the floor. Counters: labels/s, bytes read per file byte, peak
// memory; and both in one run with their wall and CPU times and ratios.
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"

#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <sys/resource.h>

namespace {

constexpr float kLabelWidth = 70.0f;
constexpr float kLabelHeight = 42.4f;

QString WriteCsv(const QTemporaryDir& dir, int rows)
{
    const QString path = dir.filePath(QStringLiteral("rows-%1.csv").arg(rows));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    QByteArray text = "name,date,serial\n";
    for (int i = 0; i < rows; ++i)
        text += "Widget " + QByteArray::number(i % 977) + ",2026-12-0" + QByteArray::number(1 + i % 9) + ","
              + QByteArray::number(1000000 + i) + "\n";
    file.write(text);
    file.close();
    QThread::msleep(60); // a file written before the job, not while it runs
    return path;
}

std::unique_ptr<CDataBand> Constant(const QString& value)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandConstant;
    band->m_strValue = value;
    return band;
}

std::unique_ptr<CDataBand> Field(const QString& field)
{
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = BandDatabase;
    band->m_strDataSource = QStringLiteral("rows");
    band->m_strFieldName = field;
    return band;
}

void AddText(CLabelData& label, float y, float size, bool bold, const QString& caption, const QString& field)
{
    auto text = std::make_unique<CTextGraph>();
    text->m_fX = 4;
    text->m_fY = y;
    text->m_fWidth = 62;
    text->m_fHeight = 6;
    text->m_fFontSize = size;
    text->m_bBold = bold;
    text->m_bands.push_back(Constant(caption));
    text->m_bands.push_back(Field(field));
    label.m_objects.push_back(std::move(text));
}

std::unique_ptr<CLabelData> MakeLabel(const QString& csv, int rows)
{
    auto label = std::make_unique<CLabelData>();
    label->m_nRows = 7;
    label->m_nColumns = 3;
    label->m_fLabelWidth = kLabelWidth;
    label->m_fLabelHeight = kLabelHeight;
    label->m_nPrintCount = rows;
    label->m_strTitle = QStringLiteral("bench");
    auto source = std::make_unique<CTextDS>();
    source->m_strName = QStringLiteral("rows");
    source->m_strPath = csv;
    source->m_bHeaderRow = true;
    source->m_selectedFields = QStringList{QStringLiteral("name"), QStringLiteral("date"), QStringLiteral("serial")};
    label->m_dataSources.push_back(std::move(source));

    auto frame = std::make_unique<CRectangleGraph>();
    frame->m_fX = 1;
    frame->m_fY = 1;
    frame->m_fWidth = kLabelWidth - 2;
    frame->m_fHeight = kLabelHeight - 2;
    label->m_objects.push_back(std::move(frame));
    AddText(*label, 3, 11, true, QStringLiteral("Item: "), QStringLiteral("name"));
    AddText(*label, 10, 10, false, QStringLiteral("Date: "), QStringLiteral("date"));
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_fX = 4;
    barcode->m_fY = 18;
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(Field(QStringLiteral("serial")));
    label->m_objects.push_back(std::move(barcode));
    return label;
}

qint64 BytesReadByProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return 0;
}

double PeakMegabytes()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void Report(benchmark::State& state, int rows, qint64 bytesRead, qint64 fileSize)
{
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["labels/s"] = benchmark::Counter(double(state.iterations()) * rows, benchmark::Counter::kIsRate);
    if (fileSize > 0)
        state.counters["read/size"] = double(bytesRead) / double(state.iterations()) / double(fileSize);
    state.counters["peak MB"] = PeakMegabytes();
}

bool PrintJob(const CLabelData& label, const QString& pdf)
{
    CPrintHandler job;
    job.SetLabelData(const_cast<CLabelData*>(&label));
    job.Prepare();
    auto target = CPrinterTarget::ForPdf(pdf);
    return RunPrintJob(job, *target, {1, job.GetPageCount(), 1, true}) == PrintResult::Success;
}

// Fonts and the PDF writer's first-use costs paid once, outside the measured jobs,
// so that the bytes read are the data file's.
void WarmUp(const QTemporaryDir& dir)
{
    static const bool done = [&] {
        const auto label = MakeLabel(WriteCsv(dir, 21), 21);
        return PrintJob(*label, dir.filePath(QStringLiteral("warm.pdf")));
    }();
    (void)done;
}

void BM_MergeJobToPdf(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    WarmUp(dir);
    const QString csv = WriteCsv(dir, rows);
    auto label = MakeLabel(csv, rows);
    const qint64 before = BytesReadByProcess();
    for (auto _ : state) {
        if (!PrintJob(*label, dir.filePath(QStringLiteral("job.pdf"))))
            state.SkipWithError("print failed");
    }
    Report(state, rows, BytesReadByProcess() - before, QFile(csv).size());
}
BENCHMARK(BM_MergeJobToPdf)->Arg(2100)->Arg(10500)->Arg(105000)->Unit(benchmark::kMillisecond)->Iterations(1);

// One page of the 105,000-row job drawn into an image, the pages in job order from
// the given one: the last pages must cost what the first do.
void BM_MergeJobPageCost(benchmark::State& state)
{
    const int rows = 105000;
    QTemporaryDir dir;
    const QString csv = WriteCsv(dir, rows);
    auto label = MakeLabel(csv, rows);
    CPrintHandler job;
    job.SetLabelData(label.get());
    job.Prepare();
    QImage image(420, 594, QImage::Format_RGB32);
    int page = static_cast<int>(state.range(0));
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(2.0, 2.0);
        job.DrawPage(painter, page);
        page = page < job.GetPageCount() ? page + 1 : static_cast<int>(state.range(0));
    }
    state.SetItemsProcessed(state.iterations() * 21);
}
BENCHMARK(BM_MergeJobPageCost)->Arg(1)->Arg(4900)->Unit(benchmark::kMicrosecond);

// The floor: the same page content drawn straight onto a QPdfWriter, rows parsed
// from the same file read once, bars from a fixed 7-digit Code 128 width pattern.
bool FloorJob(const QString& csv, const QString& pdf, int rows)
{
    // Start B, Code C x3, code B digit, check, stop: 2-1-1-2-1-4 ... as modules.
    static const int kModules[] = {2, 1, 1, 2, 1, 4, 1, 1, 3, 1, 2, 3, 2, 2, 1, 3, 1, 2, 1, 3, 2, 2, 2, 1,
                                   1, 1, 3, 2, 2, 2, 2, 3, 1, 1, 2, 1, 2, 1, 2, 2, 3, 1, 2, 3, 3, 1, 1, 1, 2};
    {
        QFile file(csv);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        file.readLine();
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(1200);
        QPainter painter(&writer);
        const double unit = 1200 / 25.4;
        painter.scale(unit, unit);
        QFont bold(QStringLiteral("Arial"));
        bold.setPointSizeF(11 * 25.4 / 72);
        bold.setBold(true);
        QFont plain(QStringLiteral("Arial"));
        plain.setPointSizeF(10 * 25.4 / 72);
        QFont human(QStringLiteral("Arial"));
        human.setPointSizeF(9 * 25.4 / 72);
        QPen border(Qt::black, 0.3);
        for (int i = 0; i < rows; ++i) {
            const QList<QByteArray> fields = file.readLine().trimmed().split(',');
            const int cell = i % 21;
            if (cell == 0 && i > 0)
                writer.newPage();
            const QPointF origin((cell % 3) * kLabelWidth, (cell / 3) * kLabelHeight);
            painter.setPen(border);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(origin + QPointF(1, 1), QSizeF(kLabelWidth - 2, kLabelHeight - 2)));
            painter.setFont(bold);
            painter.drawText(QRectF(origin + QPointF(4, 3), QSizeF(62, 6)), QStringLiteral("Item: ") + QString::fromUtf8(fields.value(0)));
            painter.setFont(plain);
            painter.drawText(QRectF(origin + QPointF(4, 10), QSizeF(62, 6)), QStringLiteral("Date: ") + QString::fromUtf8(fields.value(1)));
            QPainterPath bars;
            double x = origin.x() + 4;
            for (size_t m = 0; m < std::size(kModules); ++m) {
                const double w = kModules[m] * 0.33;
                if (m % 2 == 0)
                    bars.addRect(x, origin.y() + 18, w, 12);
                x += w;
            }
            painter.fillPath(bars, Qt::black);
            painter.setFont(human);
            painter.drawText(QRectF(origin + QPointF(4, 30.5), QSizeF(40, 4)), Qt::AlignHCenter, QString::fromUtf8(fields.value(2)));
        }
    }
    return true;
}

void BM_MergeJobFloor(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    WarmUp(dir);
    const QString csv = WriteCsv(dir, rows);
    const qint64 before = BytesReadByProcess();
    for (auto _ : state) {
        if (!FloorJob(csv, dir.filePath(QStringLiteral("floor.pdf")), rows))
            state.SkipWithError("no csv");
    }
    Report(state, rows, BytesReadByProcess() - before, QFile(csv).size());
}
BENCHMARK(BM_MergeJobFloor)->Arg(2100)->Arg(10500)->Arg(105000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Wall and CPU seconds of a run, the process's CPU time (every thread's).
struct Times
{
    double wall = 0;
    double cpu = 0;
};

double ProcessCpuSeconds()
{
    timespec t = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <typename Run> Times Measure(Run&& run)
{
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    run();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count(),
        ProcessCpuSeconds() - cpuStart};
}

// Our job and the floor in the same run, one after the other on the same file: wall
// and CPU seconds of each side by side and their ratios (ours over the floor's).
// The iteration time is our job's wall time.
void BM_MergeJobBesideFloor(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    WarmUp(dir);
    const QString csv = WriteCsv(dir, rows);
    auto label = MakeLabel(csv, rows);
    Times job, floor;
    for (auto _ : state) {
        const Times ours = Measure([&] {
            if (!PrintJob(*label, dir.filePath(QStringLiteral("job.pdf"))))
                state.SkipWithError("print failed");
        });
        const Times bare = Measure([&] {
            if (!FloorJob(csv, dir.filePath(QStringLiteral("floor.pdf")), rows))
                state.SkipWithError("no csv");
        });
        state.SetIterationTime(ours.wall);
        job.wall += ours.wall, job.cpu += ours.cpu;
        floor.wall += bare.wall, floor.cpu += bare.cpu;
    }
    const double n = double(state.iterations());
    state.counters["job wall s"] = job.wall / n;
    state.counters["job cpu s"] = job.cpu / n;
    state.counters["floor wall s"] = floor.wall / n;
    state.counters["floor cpu s"] = floor.cpu / n;
    state.counters["wall ratio"] = floor.wall > 0 ? job.wall / floor.wall : 0.0;
    state.counters["cpu ratio"] = floor.cpu > 0 ? job.cpu / floor.cpu : 0.0;
    state.counters["job labels/s"] = job.wall > 0 ? n * rows / job.wall : 0.0;
}
BENCHMARK(BM_MergeJobBesideFloor)
    ->Arg(2100)
    ->Arg(10500)
    ->Arg(105000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace
