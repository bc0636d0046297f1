#include "output/PrintTarget.h"

#include "model/LabelData.h"
#include "output/PrintHandler.h"
#include "platform/Drawing.h"
#include "platform/VXException.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

// The resolution the label's printer prints at, or exact millimetres when the label
// names no printer or its resolution cannot be known here.
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

} // namespace

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
    printer.setPageSize(QPageSize(QSizeF(label.m_fPaperWidth, label.m_fPaperHeight), QPageSize::Millimeter));
    printer.setPageOrientation(label.m_bLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
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
    return m_painter.end() && m_pPrinter->printerState() != QPrinter::Error;
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
    m_pages.clear();
    return true;
}

QPainter* CImageTarget::BeginPage()
{
    QImage image = MakeImageAtDpi(m_dWidthMm, m_dHeightMm, m_dDpi, QImage::Format_RGB32);
    image.fill(Qt::white);
    m_pages.push_back(std::move(image));
    if (!m_painter.begin(&m_pages.back()))
        return nullptr;
    m_painter.setRenderHint(QPainter::Antialiasing);
    SetMillimetreWorld(m_painter, m_dDpi, m_dDpi);
    return &m_painter;
}

bool CImageTarget::EndPage()
{
    return m_painter.end();
}

void CImageTarget::Abort()
{
    if (m_painter.isActive())
        m_painter.end();
    m_pages.clear();
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
                        IPrintFeedback* feedback, QString* error)
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return PrintResult::Failed;
    };
    const CLabelData* label = job.GetLabelData();
    if (!label)
        return fail(QStringLiteral("打印过程中发生错误，无法完成。"));
    if (!target.BeginDocument(*label, label->m_strTitle))
        return fail(target.GetError());

    const QPointF physical = target.PhysicalOffsetMm();
    job.m_fPrinterOffsetX = static_cast<float>(-physical.x()) - label->m_fHorzOffset;
    job.m_fPrinterOffsetY = static_cast<float>(-physical.y()) - label->m_fVertOffset;
    job.m_nFirstPrintedPage = range.startPage;
    job.m_fOutputDpi = target.OutputDpi();

    const int copies = std::max(1, range.copies);
    const int total = copies * std::max(0, range.pageCount);
    int printed = 0;
    try {
        const int outer = range.collate ? range.pageCount : copies;
        const int inner = range.collate ? copies : range.pageCount;
        for (int i = 0; i < outer; ++i) {
            for (int j = 0; j < inner; ++j) {
                PrintOnePage(job, target, range.startPage + (range.collate ? i : j));
                ++printed;
                if (feedback) {
                    feedback->PagePrinted(printed, total);
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
        return fail(QStringLiteral("打印过程中发生错误或打印任务被取消。"));
    return PrintResult::Success;
}
