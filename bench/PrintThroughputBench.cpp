// The everyday merge job (A4, 3 x 7 labels of 70 x 42.4 mm: a bordered rectangle,
// "Item: <name>" bold 11 pt, "Date: <date>" 10 pt, a Code 128 of the serial with its
// text; rows from a CSV file with a header line; one copy) printed to one PDF
// through RunPrintJob, beside a bare QPdfWriter loop drawing the same page: the
// floor (same rectangles, texts in the same fonts and sizes, each row's real bars).
// The sheet fills the page, so every label is printed. Counters: labels/s, bytes read per file byte, peak
// memory; and both in one run with their wall and CPU times and ratios, on rows whose
// names and dates repeat (977 names, 9 dates) and on rows where none repeats, as in
// a real merge (then no text is drawn twice).
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
#include "platform/Drawing.h"
#include "bench/CpuTime.h"

#include <QDate>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <ZXing/ReadBarcode.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <sys/resource.h>
#include <zint.h>

namespace {

constexpr float kLabelWidth = 70.0f;
constexpr float kLabelHeight = 42.4f;

enum class RowData
{
    Repeating, // 977 names and 9 dates over and over
    Varied, // a name and a date of its own on each row (up to 109,572 rows)
};

QString WriteCsv(const QTemporaryDir& dir, int rows, RowData data = RowData::Repeating)
{
    const QString path = dir.filePath(QStringLiteral("rows-%1-%2.csv").arg(rows).arg(int(data)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    QByteArray text = "name,date,serial\n";
    const QDate first(1900, 1, 1);
    for (int i = 0; i < rows; ++i) {
        if (data == RowData::Repeating) {
            text += "Widget " + QByteArray::number(i % 977) + ",2026-12-0" + QByteArray::number(1 + i % 9);
        } else {
            // 7919 is prime to the 109,572 days of 1900-2199: the days come scattered, none twice.
            text += "Widget " + QByteArray::number(1000000 + qint64(i) * 7919, 36).toUpper() + ","
                  + first.addDays(qint64(i) * 7919 % 109572).toString(Qt::ISODate).toLatin1();
        }
        text += "," + QByteArray::number(1000000 + i) + "\n";
    }
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
    // The sheet's 21 labels fill the A4 page edge to edge: with the default margins
    // and gaps the seventh row would lie off the page.
    label->m_fLeftMargin = 0;
    label->m_fTopMargin = 0;
    label->m_fHorzGap = 0;
    label->m_fVertGap = 0;
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
    // Code sets chosen for the content, as libzint chooses them for the floor.
    static_cast<CBarcodeSettings_Code128&>(*barcode->m_pBarcodeImpl->GetSettings()).m_nCodeSet = Code128SetAuto;
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

// The floor: the same page drawn straight onto a QPdfWriter in its own units, rows
// parsed from the same file read once. Each label gets what the job draws: the
// frame, the two texts in the job's fonts at their point sizes, and the row's
// Code 128 (encoded by libzint) as one rectangle per bar, its serial centred below
// in the barcode's font.
struct FloorSymbol
{
    QString textFamily = QStringLiteral("Arial");
    float moduleMm = 0.254f;
    float barHeight = 10.0f;
    float humanSize = 10.0f;
    QString humanFamily;
};

FloorSymbol FloorSymbolOfJob()
{
    const auto impl = CreateBarcodeImpl(SymbologyCode128);
    const CBarcodeSettings& s = *impl->GetSettings();
    FloorSymbol symbol;
    symbol.textFamily = CTextGraph().m_strFontName;
    symbol.moduleMm = s.m_fModuleWidth * 0.0254f;
    symbol.barHeight = s.m_fBarHeight;
    symbol.humanSize = s.m_fFontSize;
    symbol.humanFamily = s.m_strFontName;
    return symbol;
}

bool FloorJob(const QString& csv, const QString& pdf, int rows)
{
    static const FloorSymbol symbol = FloorSymbolOfJob();
    QFile file(csv);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.readLine();
    QPdfWriter writer(pdf);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(1200);
    QPainter painter(&writer);
    // Device units, so that point sizes are points on the page.
    const double unit = 1200 / 25.4;
    const QFont bold = MakeFont(symbol.textFamily, 11, FontStyleBold);
    const QFont plain = MakeFont(symbol.textFamily, 10);
    const QFont human = MakeFont(symbol.humanFamily, symbol.humanSize);
    const double humanHeight = symbol.humanSize * 25.4 / 72;
    const QPen border(Qt::black, 0.3 * unit);
    zint_symbol* zint = ZBarcode_Create();
    std::vector<QRectF> bars;
    for (int i = 0; i < rows; ++i) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        const int cell = i % 21;
        if (cell == 0 && i > 0)
            writer.newPage();
        const double left = (cell % 3) * kLabelWidth, top = (cell / 3) * kLabelHeight;
        auto box = [&](double x, double y, double w, double h) {
            return QRectF((left + x) * unit, (top + y) * unit, w * unit, h * unit);
        };
        painter.setPen(border);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box(1, 1, kLabelWidth - 2, kLabelHeight - 2));
        painter.setPen(Qt::black);
        painter.setFont(bold);
        painter.drawText(box(4, 3, 62, 6), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Item: ") + QString::fromUtf8(fields.value(0)));
        painter.setFont(plain);
        painter.drawText(box(4, 10, 62, 6), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Date: ") + QString::fromUtf8(fields.value(1)));

        const QByteArray serial = fields.value(2);
        ZBarcode_Clear(zint);
        zint->symbology = BARCODE_CODE128;
        zint->input_mode = DATA_MODE;
        ZBarcode_Encode(zint, reinterpret_cast<const unsigned char*>(serial.constData()), int(serial.size()));
        const double module = symbol.moduleMm;
        bars.clear();
        for (int c = 0; c < zint->width;) {
            if (!((zint->encoded_data[0][c / 8] >> (c % 8)) & 1)) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < zint->width && ((zint->encoded_data[0][c / 8] >> (c % 8)) & 1))
                ++c;
            bars.push_back(box(4 + start * module, 18, (c - start) * module, symbol.barHeight));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        for (const QRectF& bar : bars)
            painter.drawRects(&bar, 1);
        painter.setPen(Qt::black);
        painter.setFont(human);
        const double symbolWidth = zint->width * module;
        painter.drawText(box(4, 18 + symbol.barHeight, symbolWidth, humanHeight), Qt::AlignHCenter | Qt::AlignTop,
                         QString::fromLatin1(serial));
    }
    ZBarcode_Delete(zint);
    return true;
}

// What a reader finds in a PDF of the job's rows: the page count, every "Item:" and
// "Date:" text (pdftotext), and the Code 128 of each label decoded from the pages
// drawn at 300 dpi (every page of a job of up to 100 pages, else 100 pages spread
// over the job, first and last included). Empty when all is there; else what is
// missing.
QString RunTool(const QString& program, const QStringList& arguments, QByteArray* output)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return program + QStringLiteral(" failed");
    if (output)
        *output = process.readAllStandardOutput();
    return {};
}

QStringList Sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList Matches(const QString& text, const QRegularExpression& pattern)
{
    QStringList found;
    for (const QRegularExpressionMatch& match : pattern.globalMatch(text))
        found.append(match.captured(1));
    return found;
}

QString CheckPdf(const QString& pdf, const QString& csv, int rows)
{
    QFile file(csv);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("no csv");
    file.readLine();
    QStringList names, dates, serials;
    for (int i = 0; i < rows; ++i) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        names.append(QString::fromUtf8(fields.value(0)));
        dates.append(QString::fromUtf8(fields.value(1)));
        serials.append(QString::fromUtf8(fields.value(2)));
    }
    const int pages = (rows + 20) / 21;
    QByteArray info;
    if (QString error = RunTool(QStringLiteral("pdfinfo"), {pdf}, &info); !error.isEmpty())
        return error;
    const QRegularExpressionMatch count = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(info));
    if (count.captured(1).toInt() != pages)
        return QStringLiteral("%1 pages, not %2").arg(count.captured(1)).arg(pages);
    QByteArray text;
    if (QString error = RunTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}, &text); !error.isEmpty())
        return error;
    const QString all = QString::fromUtf8(text);
    if (Sorted(Matches(all, QRegularExpression(QStringLiteral("Item: (Widget [0-9A-Z]+)")))) != Sorted(names))
        return QStringLiteral("names missing from the text");
    if (Sorted(Matches(all, QRegularExpression(QStringLiteral("Date: (\\d{4}-\\d\\d-\\d\\d)")))) != Sorted(dates))
        return QStringLiteral("dates missing from the text");

    QTemporaryDir pictures;
    const int sampled = std::min(pages, 100);
    constexpr double kDpi = 300;
    for (int k = 0; k < sampled; ++k) {
        const int page = sampled == pages ? k + 1 : 1 + int(qint64(k) * (pages - 1) / (sampled - 1));
        const QString prefix = pictures.filePath(QStringLiteral("p"));
        const QString number = QString::number(page);
        if (QString error = RunTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-gray"), QStringLiteral("-singlefile"),
                 QStringLiteral("-f"), number, QStringLiteral("-l"), number, pdf, prefix}, nullptr);
            !error.isEmpty())
            return error;
        const QImage image = QImage(prefix + QStringLiteral(".pgm")).convertToFormat(QImage::Format_Grayscale8);
        const double dots = kDpi / 25.4;
        for (int cell = 0; cell < 21; ++cell) {
            const int row = (page - 1) * 21 + cell;
            if (row >= rows)
                break;
            const QImage label = image.copy(QRect(int((cell % 3) * kLabelWidth * dots), int((cell / 3) * kLabelHeight * dots),
                                                  int(kLabelWidth * dots), int(kLabelHeight * dots)));
            const ZXing::ImageView view(label.constBits(), label.width(), label.height(), ZXing::ImageFormat::Lum,
                                        int(label.bytesPerLine()));
            ZXing::DecodeHints hints;
            hints.setFormats(ZXing::BarcodeFormat::Code128);
            const ZXing::Result result = ZXing::ReadBarcode(view, hints);
            if (!result.isValid() || QString::fromStdString(result.text()) != serials[row])
                return QStringLiteral("the symbol of row %1 (page %2) does not decode to %3").arg(row + 1).arg(page).arg(serials[row]);
        }
    }
    return {};
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
// Both PDFs are read back after the first round (outside the times): a floor that
// does not hold what the job holds measures nothing, so then no ratio is reported.
// The iteration time is our job's wall time.
void RunMergeJobBesideFloor(benchmark::State& state, RowData data)
{
    const int rows = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    WarmUp(dir);
    const QString csv = WriteCsv(dir, rows, data);
    auto label = MakeLabel(csv, rows);
    const QString jobPdf = dir.filePath(QStringLiteral("job.pdf"));
    const QString floorPdf = dir.filePath(QStringLiteral("floor.pdf"));
    Times job, floor;
    QString mismatch;
    bool checked = false;
    for (auto _ : state) {
        const Times ours = Measure([&] {
            if (!PrintJob(*label, jobPdf))
                state.SkipWithError("print failed");
        });
        const Times bare = Measure([&] {
            if (!FloorJob(csv, floorPdf, rows))
                state.SkipWithError("no csv");
        });
        state.SetIterationTime(ours.wall);
        job.wall += ours.wall, job.cpu += ours.cpu;
        floor.wall += bare.wall, floor.cpu += bare.cpu;
        if (!checked) {
            checked = true;
            state.PauseTiming();
            if (const QString error = CheckPdf(jobPdf, csv, rows); !error.isEmpty())
                mismatch = QStringLiteral("job: ") + error;
            else if (const QString error = CheckPdf(floorPdf, csv, rows); !error.isEmpty())
                mismatch = QStringLiteral("floor: ") + error;
            state.ResumeTiming();
        }
    }
    if (!mismatch.isEmpty()) {
        const std::string reason = "the outputs differ, no ratio: " + mismatch.toStdString();
        state.SkipWithError(reason.c_str());
        return;
    }
    const double n = double(state.iterations());
    state.counters["job wall s"] = job.wall / n;
    state.counters["job cpu s"] = job.cpu / n;
    state.counters["floor wall s"] = floor.wall / n;
    state.counters["floor cpu s"] = floor.cpu / n;
    state.counters["wall ratio"] = floor.wall > 0 ? job.wall / floor.wall : 0.0;
    state.counters["cpu ratio"] = floor.cpu > 0 ? job.cpu / floor.cpu : 0.0;
    state.counters["job labels/s"] = job.wall > 0 ? n * rows / job.wall : 0.0;
    state.counters["job KB"] = double(QFile(jobPdf).size()) / 1024;
    state.counters["floor KB"] = double(QFile(floorPdf).size()) / 1024;
}

void BM_MergeJobBesideFloor(benchmark::State& state)
{
    RunMergeJobBesideFloor(state, RowData::Repeating);
}

void BM_MergeJobBesideFloorVariedRows(benchmark::State& state)
{
    RunMergeJobBesideFloor(state, RowData::Varied);
}

// A few rounds where a round is short, so that a ratio is not one sample.
BENCHMARK(BM_MergeJobBesideFloor)
    ->Arg(2100)
    ->Arg(10500)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_MergeJobBesideFloor)->Arg(105000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_MergeJobBesideFloorVariedRows)
    ->Arg(2100)
    ->Arg(10500)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_MergeJobBesideFloorVariedRows)->Arg(105000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

} // namespace
