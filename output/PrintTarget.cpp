#include "output/PrintTarget.h"

#include "model/LabelData.h"
#include "output/PrintHandler.h"
#include "platform/Drawing.h"
#include "platform/VXException.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <algorithm>
#include <climits>

namespace {

// Whether a regular file holds a whole PDF as the writer ends one: the trailer's
// offset of the cross-reference table, that table at that offset, the end marker
// last. Bytes lost anywhere before the table (a full disk) move it away from where
// the trailer says it is; bytes lost after it take the trailer or the marker.
bool IsCompletePdf(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    constexpr qint64 kTail = 64;
    if (!file.seek(std::max<qint64>(0, size - kTail)))
        return false;
    const QByteArray tail = file.read(kTail);
    const qsizetype at = tail.lastIndexOf("startxref");
    if (at < 0 || !tail.trimmed().endsWith("%%EOF"))
        return false;
    bool ok = false;
    const qint64 xref = tail.mid(at + 9).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    return ok && xref >= 0 && xref < size && file.seek(xref) && file.read(4) == "xref";
}

} // namespace

float LabelPrinterDpi(const CLabelData& label)
{
    if (label.m_strPrinterName.isEmpty())
        return -1.0f;
    if (label.m_nResolution > 0)
        return float(label.m_nResolution);
    const QPrinterInfo info = QPrinterInfo::printerInfo(label.m_strPrinterName);
    if (info.isNull())
        return -1.0f;
    const int dpi = QPrinter(info, QPrinter::HighResolution).resolution();
    return dpi > 0 ? float(dpi) : -1.0f;
}

bool BeginMillimetrePainter(QPainter& painter, QPaintDevice& device, double dpi)
{
    if (!painter.begin(&device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    SetMillimetreWorld(painter, dpi, dpi);
    return true;
}

CPrinterTarget::CPrinterTarget() : m_pPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

CPrinterTarget::~CPrinterTarget()
{
    if (m_painter.isActive())
        m_painter.end();
}

std::unique_ptr<CPrinterTarget> CPrinterTarget::ForPrinter(const QString& printerName)
{
    std::unique_ptr<CPrinterTarget> target(new CPrinterTarget);
    target->m_strPrinterName = printerName;
    return target;
}

std::unique_ptr<CPrinterTarget> CPrinterTarget::ForPdf(const QString& path)
{
    std::unique_ptr<CPrinterTarget> target(new CPrinterTarget);
    target->m_pPrinter->setOutputFormat(QPrinter::PdfFormat);
    target->m_pPrinter->setOutputFileName(path);
    target->m_strPdfPath = path;
    return target;
}

bool CPrinterTarget::BeginDocument(const CLabelData& label, const QString& title)
{
    QPrinter& printer = *m_pPrinter;
    if (!m_strPrinterName.isEmpty()) {
        if (QPrinterInfo::printerInfo(m_strPrinterName).isNull()) {
            m_strError = QString::asprintf("无法打开打印机。%s", m_strPrinterName.toUtf8().constData());
            return false;
        }
        printer.setPrinterName(m_strPrinterName);
        m_fOutputDpi = 0.0f;
    } else {
        m_fOutputDpi = LabelPrinterDpi(label);
    }
    // The paper the label names, drawn from its corner: full page, no margins.
    printer.setFullPage(true);
    if (label.m_nPrinterType != 0) {
        // One row of labels: the page the preview and the page decorations reckon with.
        printer.setPageSize(QPageSize(GetPageSizeMm(label), QPageSize::Millimeter));
        printer.setPageOrientation(QPageLayout::Portrait);
    } else {
        printer.setPageSize(QPageSize(QSizeF(label.m_fPaperWidth, label.m_fPaperHeight), QPageSize::Millimeter));
        printer.setPageOrientation(label.m_bLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    }
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer.setDocName(title);
    m_bFirstPage = true;
    if (!m_painter.begin(&printer)) {
        m_strError = QStringLiteral("无法启动打印任务。");
        return false;
    }
    return true;
}

QPainter* CPrinterTarget::BeginPage()
{
    if (!m_bFirstPage && !m_pPrinter->newPage())
        return nullptr;
    m_bFirstPage = false;
    m_painter.resetTransform();
    m_painter.setRenderHint(QPainter::Antialiasing);
    SetMillimetreWorld(m_painter);
    return &m_painter;
}

bool CPrinterTarget::EndPage()
{
    return m_pPrinter->printerState() != QPrinter::Error && m_pPrinter->printerState() != QPrinter::Aborted;
}

bool CPrinterTarget::EndDocument()
{
    if (!m_painter.end() || m_pPrinter->printerState() == QPrinter::Error)
        return false;
    // The PDF writer does not report failed writes: judge by what reached the file.
    if (!m_strPdfPath.isEmpty() && !IsCompletePdf(m_strPdfPath)) {
        m_strError = QStringLiteral("无法写入文件“%1”。").arg(m_strPdfPath);
        return false;
    }
    return true;
}

void CPrinterTarget::Abort()
{
    m_pPrinter->abort();
    if (m_painter.isActive())
        m_painter.end();
}

CImageTarget::~CImageTarget()
{
    if (m_painter.isActive())
        m_painter.end();
}

bool CImageTarget::BeginDocument(const CLabelData& label, const QString&)
{
    const QSizeF page = GetPageSizeMm(label);
    m_dWidthMm = page.width();
    m_dHeightMm = page.height();
    return true;
}

QPainter* CImageTarget::BeginPage()
{
    m_page = MakeImageAtDpi(m_dWidthMm, m_dHeightMm, m_dDpi, QImage::Format_RGB32);
    m_page.fill(Qt::white);
    return BeginMillimetrePainter(m_painter, m_page, m_dDpi) ? &m_painter : nullptr;
}

bool CImageTarget::EndPage()
{
    const bool drawn = m_painter.end();
    const bool kept = drawn && (!m_sink || m_sink(m_page));
    m_page = QImage();
    return kept;
}

void CImageTarget::Abort()
{
    if (m_painter.isActive())
        m_painter.end();
    m_page = QImage();
}

namespace {

// One page, start to end; a failure of the device aborts the document.
void PrintOnePage(CPrintHandler& job, CPrintTarget& target, int page)
{
    QPainter* painter = target.BeginPage();
    if (!painter)
        throw VXException(QStringLiteral("打印过程中发生错误或打印任务被取消。"));
    job.DrawPage(*painter, page);
    if (!target.EndPage())
        throw VXException(QStringLiteral("打印过程中发生错误或打印任务被取消。"));
}

} // namespace

PrintResult RunPrintJob(CPrintHandler& job, CPrintTarget& target, const PrintRange& range,
                        IJobFeedback* feedback, QString* error)
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return PrintResult::Failed;
    };
    const CLabelData* label = job.GetLabelData();
    if (!label)
        return fail(QStringLiteral("打印过程中发生错误，无法完成。"));
    if (range.startPage < 1)
        return fail(QStringLiteral("起始页不能小于等于0!"));
    // A stop chosen while the job was prepared (in OnPrintStart) still stops this run.
    const auto endRun = qScopeGuard([&job] {
        job.EndScriptRun();
        job.m_bLastPageOfRun = false;
    });
    if (!target.BeginDocument(*label, label->m_strTitle))
        return fail(target.GetError());

    const QPointF physical = target.PhysicalOffsetMm();
    job.m_fPrinterOffsetX = static_cast<float>(-physical.x()) - label->m_fHorzOffset;
    job.m_fPrinterOffsetY = static_cast<float>(-physical.y()) - label->m_fVertOffset;
    job.m_nFirstPrintedPage = range.startPage;
    job.m_fOutputDpi = target.OutputDpi();

    // Page numbers stop at the highest an int holds: the pages beyond it cannot exist.
    const qint64 copies = std::max(1, range.copies);
    const qint64 pageCount = std::clamp<qint64>(range.pageCount, 0, qint64(INT_MAX) - range.startPage + 1);
    const qint64 total = copies * pageCount;
    qint64 printed = 0;
    if (job.ScriptsStoppedJob()) {
        target.Abort();
        return PrintResult::Cancelled;
    }
    try {
        const qint64 outer = range.collate ? pageCount : copies;
        const qint64 inner = range.collate ? copies : pageCount;
        for (qint64 i = 0; i < outer; ++i) {
            for (qint64 j = 0; j < inner; ++j) {
                job.m_bLastPageOfRun = printed + 1 == total;
                PrintOnePage(job, target, static_cast<int>(range.startPage + (range.collate ? i : j)));
                ++printed;
                if (job.ScriptsStoppedJob()) {
                    target.Abort();
                    return PrintResult::Cancelled;
                }
                if (feedback) {
                    feedback->Progress(printed, total);
                    if (feedback->IsCancelled()) {
                        target.Abort();
                        return PrintResult::Cancelled;
                    }
                }
            }
        }
    } catch (const VXException& e) {
        target.Abort();
        return fail(e.GetMessage());
    } catch (const std::exception&) {
        target.Abort();
        return fail(QStringLiteral("打印过程中发生错误，无法完成。"));
    }
    if (!target.EndDocument())
        return fail(target.GetError().isEmpty() ? QStringLiteral("打印过程中发生错误或打印任务被取消。")
                                                : target.GetError());
    return PrintResult::Success;
}
