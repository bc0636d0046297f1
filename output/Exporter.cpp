#include "output/Exporter.h"

#include "barcode/BarcodeImpl.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/TextGraph.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"
#include "platform/Drawing.h"
#include "platform/EmfDevice.h"
#include "platform/ImageFile.h"
#include "platform/VXException.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace {

struct ExportBox
{
    QRectF box;     // of the printed objects, margins included
    QPointF origin; // drawing origin that puts the objects inside the margins
};

bool GetExportBox(const std::vector<CBaseGraph*>& selection, ExportBox* out)
{
    float x = 0, y = 0, w = 0, h = 0;
    if (!CExporter::GetBounds(selection, &x, &y, &w, &h))
        return false;
    out->box = QRectF(0, 0, w + 2 * kExportMarginMm, h + 2 * kExportMarginMm);
    out->origin = QPointF(kExportMarginMm - x, kExportMarginMm - y);
    return true;
}

// The picture's pixel size: the box at dpi, truncated, at least one pixel.
QSize PixelSize(const QRectF& box, int dpi)
{
    return QSize(std::max(1, static_cast<int>(dpi * box.width() / kMmPerInch)),
                 std::max(1, static_cast<int>(dpi * box.height() / kMmPerInch)));
}

void DrawSelection(QPainter& painter, const std::vector<CBaseGraph*>& selection, const QPointF& origin)
{
    for (CBaseGraph* object : selection) {
        if (!object->m_bNotPrinted)
            DrawObjectAt(*object, painter, static_cast<float>(origin.x()), static_cast<float>(origin.y()));
    }
}

// Draws the selection on a white raster picture of box at dpi, 32 bits.
void PaintRaster(QImage& canvas, const std::vector<CBaseGraph*>& selection, const ExportBox& box, int dpi)
{
    canvas.fill(Qt::white);
    QPainter painter;
    BeginMillimetrePainter(painter, canvas, dpi);
    DrawSelection(painter, selection, box.origin);
    painter.end();
}

QImage MakeCanvas(const ExportBox& box, int dpi)
{
    QImage canvas(PixelSize(box.box, dpi), QImage::Format_RGB32);
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
    canvas.setDotsPerMeterX(dotsPerMetre);
    canvas.setDotsPerMeterY(dotsPerMetre);
    return canvas;
}

bool WriteMetafile(const std::vector<CBaseGraph*>& selection, const ExportBox& box, const QString& path,
                   QString* error)
{
    CEmfDevice device(box.box.size());
    QPainter painter;
    BeginMillimetrePainter(painter, device, device.logicalDpiX());
    painter.fillRect(box.box, Qt::white);
    DrawSelection(painter, selection, box.origin);
    painter.end();
    return device.Save(path, error);
}

// The program's sentence names the file; the reason, which may be the system's, follows as the detail.
QString NotWritten(const QString& path, const QString& reason)
{
    const QString sentence = QStringLiteral("无法写入文件“%1”。").arg(path);
    return reason.isEmpty() ? sentence : sentence + QStringLiteral("\n详细信息：") + reason;
}

QString UnsupportedType(const QString& path)
{
    return QStringLiteral("不支持文件“%1”的图像类型。").arg(path);
}

bool UsesDatabaseField(const CBaseGraph& object)
{
    const DataBandList* bands = ObjectBands(&object);
    return bands && std::any_of(bands->begin(), bands->end(), [](const auto& band) { return band->m_nKind == BandDatabase; });
}

// The value an output file is named after: a text's text, a barcode's content.
QString ObjectValue(const CBaseGraph* object)
{
    if (!object)
        return {};
    if (object->GetKind() == KindText)
        return object->m_strText;
    if (object->GetKind() == KindBarcode) {
        const CBarcodeImpl* impl = static_cast<const CBarcodeGraph*>(object)->GetImpl();
        return impl && impl->GetSettings() ? impl->GetSettings()->m_strContent : QString();
    }
    return {};
}

// The name itself the first time, then name_2, name_3 ...: rows of equal values each
// keep a file of their own instead of overwriting the one before.
QString DistinctName(const QString& name, std::unordered_set<QString>& used)
{
    if (name.isEmpty())
        return name;
    QString candidate = name;
    for (qint64 k = 2; used.count(candidate); ++k)
        candidate = name + QStringLiteral("_%1").arg(k);
    used.insert(candidate);
    return candidate;
}

// Copies of objects that take a row's values while the originals keep theirs, each on
// its original's label; an object that cannot be copied is left out.
struct ObjectCopies
{
    explicit ObjectCopies(const std::vector<CBaseGraph*>& originals, const CBaseGraph* current = nullptr)
    {
        for (const CBaseGraph* object : originals) {
            std::unique_ptr<CBaseGraph> copy = object->Clone();
            if (!copy)
                continue;
            copy->m_pLabelData = object->m_pLabelData;
            if (object == current)
                currentCopy = copy.get();
            objects.push_back(copy.get());
            owned.push_back(std::move(copy));
        }
    }

    std::vector<std::unique_ptr<CBaseGraph>> owned;
    std::vector<CBaseGraph*> objects;
    const CBaseGraph* currentCopy = nullptr;
};

// What became of a row's file.
struct RowOutcome
{
    QString path;
    QString reason;
    bool written = false;
};

// Threads drawing and writing rows' pictures, each row handed in with its own copy of
// the objects; outcomes are taken back in the order the rows were handed in. Each
// thread keeps its fonts and laid-out texts from row to row.
class PictureWriters
{
public:
    explicit PictureWriters(int threads)
    {
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { Work(); });
    }
    ~PictureWriters()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
    }
    PictureWriters(const PictureWriters&) = delete;
    PictureWriters& operator=(const PictureWriters&) = delete;

    void Add(std::function<RowOutcome()> work)
    {
        std::packaged_task<RowOutcome()> task(std::move(work));
        m_outcomes.push_back(task.get_future());
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(task));
        }
        m_wake.notify_one();
    }
    // A row whose outcome is already known, kept in its place in the order.
    void AddDone(RowOutcome outcome)
    {
        std::promise<RowOutcome> done;
        done.set_value(std::move(outcome));
        m_outcomes.push_back(done.get_future());
    }
    size_t Pending() const { return m_outcomes.size(); }
    RowOutcome TakeOldest()
    {
        RowOutcome outcome = m_outcomes.front().get();
        m_outcomes.pop_front();
        return outcome;
    }

private:
    void Work()
    {
        for (;;) {
            std::packaged_task<RowOutcome()> task;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                task = std::move(m_queue.front());
                m_queue.pop_front();
            }
            task();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<RowOutcome()>> m_queue;
    bool m_stop = false;
    std::deque<std::future<RowOutcome>> m_outcomes; // the caller's thread only
    std::vector<std::thread> m_threads;
};

} // namespace

bool CExporter::GetBounds(const std::vector<CBaseGraph*>& selection, float* x, float* y, float* width,
                          float* height)
{
    QRectF box;
    bool any = false;
    for (const CBaseGraph* object : selection) {
        if (object->m_bNotPrinted)
            continue;
        // A box stored with a negative width or height spans from its corner back.
        QRectF rect = QRectF(object->m_fX, object->m_fY, object->m_fWidth, object->m_fHeight).normalized();
        if (object->m_fAngle != 0.0f) {
            // The corners as the drawing frame turns them about the anchor.
            const QPointF anchor = object->GetAnchorPoint();
            QTransform turn;
            turn.translate(anchor.x(), anchor.y());
            turn.rotate(object->m_fAngle);
            turn.translate(-anchor.x(), -anchor.y());
            rect = turn.map(QPolygonF(rect)).boundingRect();
        }
        box = any ? box.united(rect) : rect;
        any = true;
    }
    *x = static_cast<float>(box.x());
    *y = static_cast<float>(box.y());
    *width = static_cast<float>(box.width());
    *height = static_cast<float>(box.height());
    return any;
}

QImage CExporter::RenderImage(const std::vector<CBaseGraph*>& selection, int dpi, int colourDepth)
{
    ExportBox box;
    if (!GetExportBox(selection, &box))
        return {};
    QImage canvas = MakeCanvas(box, dpi);
    PaintRaster(canvas, selection, box, dpi);
    return ConvertToDepth(canvas, colourDepth);
}

ExportResult CExporter::Export(const std::vector<CBaseGraph*>& selection, QString* error) const
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return ExportResult::FileError;
    };
    if (m_nDestination != DestinationFile)
        return fail(QStringLiteral("没有指定输出文件"));
    const auto format = ImageFormatForPath(m_strFilePath);
    if (!format)
        return fail(UnsupportedType(m_strFilePath));
    ExportBox box;
    if (!GetExportBox(selection, &box))
        return fail(QStringLiteral("请选定要导出的图形对象"));
    QString reason;
    bool written = false;
    if (*format == ImageFileFormat::Emf)
        written = WriteMetafile(selection, box, m_strFilePath, &reason);
    else
        written = SaveRasterImage(RenderImage(selection, m_nDpi, m_nColourDepth), m_strFilePath, *format, &reason);
    return written ? ExportResult::Success : fail(NotWritten(m_strFilePath, reason));
}

QString MakeSafeFileName(const QString& name)
{
    static const QString kReserved = QStringLiteral("/\\<>:\"|?*");
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name)
        safe += c.unicode() < 0x20 || c.unicode() == 0x7F || kReserved.contains(c) ? QChar(u'_') : c;
    safe.replace(QStringLiteral(".."), QStringLiteral("__"));
    if (safe.isEmpty() || safe == u".")
        return {};
    return safe;
}

CBatchExporter::CBatchExporter() = default;
CBatchExporter::~CBatchExporter() = default;

ExportResult CBatchExporter::Run(const std::vector<CBaseGraph*>& selection, const CBaseGraph* current,
                                 IJobFeedback* feedback, QString* error)
{
    m_nWritten = 0;
    m_nFailed = 0;
    QString firstFailure;
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return ExportResult::FileError;
    };
    const auto format = ImageFormatForSuffix(m_strExtension.startsWith(u'.') ? m_strExtension.mid(1) : QString());
    if (!format)
        return fail(UnsupportedType(m_strExtension));
    const int fromRow = std::max(1, m_nFromRow);
    const int lastRow = m_nToRow;
    if (lastRow < fromRow)
        return fail(QStringLiteral("没有要导出的数据行"));

    const ObjectCopies copies(selection, current);
    const std::vector<CBaseGraph*>& clones = copies.objects;
    const CBaseGraph* currentClone = copies.currentCopy;
    ExportBox box;
    if (!GetExportBox(clones, &box))
        return fail(QStringLiteral("请选定要导出的图形对象"));

    CPrintHandler job;
    job.SetMode(CPrintHandler::ModePrint);
    job.SetLabelData(m_pLabelData);
    if (m_clock)
        job.SetClock(m_clock);
    if (m_loaderFactory)
        job.SetLoaderFactory(m_loaderFactory);
    const bool loadRows = m_pLabelData && !m_pLabelData->m_dataSources.empty()
                          && std::any_of(clones.begin(), clones.end(), [](auto* o) { return UsesDatabaseField(*o); });
    try {
        job.PrepareRows(fromRow, lastRow, loadRows);
    } catch (const VXException& e) {
        return fail(e.GetMessage());
    }
    int toRow = lastRow;
    if (loadRows) {
        // Rows the sources do not have would come out as pictures of empty values.
        int rowsThere = 0;
        for (const auto& load : job.GetDataLoads())
            rowsThere = std::max(rowsThere, load->RowCount());
        if (rowsThere == 0)
            return fail(QStringLiteral("没有要导出的数据行"));
        toRow = static_cast<int>(std::min<qint64>(toRow, qint64(fromRow) + rowsThere - 1));
    }

    QDir folder(m_strFolder);
    const QString folderPath = QFileInfo(folder.absolutePath()).absoluteFilePath();
    // Metafiles are written here; raster pictures by threads of their own, at most a
    // few rows ahead of the outcomes counted and reported here in row order.
    const int threads = *format == ImageFileFormat::Emf ? 0
                        : m_nThreads > 0                 ? m_nThreads
                                                         : std::max(1, QThread::idealThreadCount());
    PictureWriters writers(threads);
    const size_t ahead = size_t(2 * threads);
    const ImageFileFormat fileFormat = *format;
    const int dpi = m_nDpi, depth = m_nColourDepth;
    std::unordered_set<QString> usedNames;
    const qint64 total = static_cast<qint64>(toRow) - fromRow + 1;
    qint64 reported = 0;
    // Counts the oldest row's outcome and reports it; false when the user cancelled.
    auto settle = [&] {
        const RowOutcome outcome = writers.TakeOldest();
        if (outcome.written) {
            ++m_nWritten;
        } else if (m_nFailed++ == 0) {
            firstFailure = NotWritten(outcome.path, outcome.reason);
        }
        if (!feedback)
            return true;
        feedback->Progress(++reported, total);
        return !feedback->IsCancelled();
    };
    auto cancel = [&] {
        // Rows past the one cancelled at were already on their way: their files go,
        // so the folder holds what a run row by row would have left.
        while (writers.Pending() > 0) {
            const RowOutcome outcome = writers.TakeOldest();
            if (outcome.written)
                QFile::remove(outcome.path);
        }
        return ExportResult::Cancelled;
    };
    for (qint64 r = fromRow; r <= toRow; ++r) {
        const int row = static_cast<int>(r);
        RowOutcome outcome;
        bool drawing = false; // handed to the writers
        try {
            job.GenerateRowValues(clones, row);
            // A row's barcode may be longer than the one on the canvas: each picture
            // is as large as its own objects.
            GetExportBox(clones, &box);
            QString name = QString::asprintf("%d", row);
            if (m_bNameAfterObject && !ObjectValue(currentClone).isEmpty())
                name = ObjectValue(currentClone);
            const QString fileName = DistinctName(MakeSafeFileName(m_strStartName + name), usedNames);
            if (fileName.isEmpty()) {
                outcome.path = m_strStartName + name;
                outcome.reason = QStringLiteral("文件名无效");
            } else {
                outcome.path = folder.filePath(fileName + m_strExtension);
                // A made-safe name stays in the folder; checked all the same.
                if (QFileInfo(outcome.path).absolutePath() != folderPath)
                    outcome.reason = QStringLiteral("文件名无效");
                else if (fileFormat == ImageFileFormat::Emf)
                    outcome.written = WriteMetafile(clones, box, outcome.path, &outcome.reason);
                else {
                    auto rowCopies = std::make_shared<const ObjectCopies>(clones);
                    writers.Add([rowCopies, box, dpi, depth, fileFormat, path = outcome.path] {
                        RowOutcome drawn{path, {}, false};
                        try {
                            QImage canvas = MakeCanvas(box, dpi);
                            PaintRaster(canvas, rowCopies->objects, box, dpi);
                            drawn.written = SaveRasterImage(ConvertToDepth(canvas, depth), path, fileFormat, &drawn.reason);
                        } catch (const VXException& e) {
                            drawn.reason = e.GetMessage();
                        }
                        return drawn;
                    });
                    drawing = true;
                }
            }
        } catch (const VXException& e) {
            outcome.reason = e.GetMessage();
        }
        if (!drawing)
            writers.AddDone(std::move(outcome));
        while (writers.Pending() > ahead || (writers.Pending() > 0 && threads == 0))
            if (!settle())
                return cancel();
    }
    while (writers.Pending() > 0)
        if (!settle())
            return cancel();
    if (m_nFailed > 0)
        return fail(QStringLiteral("%1 个文件未能导出，第一个：%2").arg(m_nFailed).arg(firstFailure));
    return ExportResult::Success;
}
