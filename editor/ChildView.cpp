#include "editor/ChildView.h"

#include "barcode/BarcodeImpl.h"
#include "editor/EditStatus.h"
#include "editor/ObjectClipboard.h"
#include "model/BarcodeGraph.h"
#include "model/BaseGraph.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/TextGraph.h"
#include "output/PrintHandler.h"
#include "output/PrintTarget.h"
#include "platform/Drawing.h"
#include "platform/ScreenDpi.h"
#include "platform/VisibleText.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstring>

namespace {

// Moves the image's pixels by (dx, dy) in place; what is uncovered keeps stale pixels
// for the caller to repaint.
void ShiftImage(QImage& image, int dx, int dy)
{
    const int w = image.width();
    const int h = image.height();
    const int bytes = image.depth() / 8;
    const size_t rowBytes = static_cast<size_t>(w - std::abs(dx)) * bytes;
    auto moveRow = [&](int to, int from) {
        uchar* dst = image.scanLine(to) + std::max(dx, 0) * bytes;
        const uchar* src = image.scanLine(from) + std::max(-dx, 0) * bytes;
        std::memmove(dst, src, rowBytes);
    };
    if (dy > 0)
        for (int y = h - 1; y >= dy; --y)
            moveRow(y, y - dy);
    else
        for (int y = 0; y < h + dy; ++y)
            moveRow(y, y - dy);
}

} // namespace

float CanvasMarginPixels(int dpi)
{
    return static_cast<float>(kCanvasMarginMm * dpi / 25.4);
}

int CanvasLabelOrigin(int dpi, float zoom, float scroll)
{
    // Rounded down like the objects' own origin (zoomed margin less the scroll), so
    // that the label and its objects keep together when the label's corner is
    // scrolled past the window's edge, and a scroll step moves both by the step.
    return static_cast<int>(std::floor(static_cast<double>(CanvasMarginPixels(dpi)) * zoom - scroll));
}

QSizeF LabelPixelSize(const CLabelData& label)
{
    if (label.m_nPageWidthFlag != 0)
        return {0, 0};
    return {label.m_fLabelWidth * g_nScreenDpiX / 25.4, label.m_fLabelHeight * g_nScreenDpiY / 25.4};
}

QSize CanvasLabelBox(const CLabelData& label, float zoom)
{
    if (label.m_nPageWidthFlag != 0)
        return {0, 0};
    const float w = static_cast<float>(label.m_fLabelWidth * g_nScreenDpiX / 25.4);
    const float h = static_cast<float>(label.m_fLabelHeight * g_nScreenDpiY / 25.4);
    return {static_cast<int>(zoom * w), static_cast<int>(zoom * h)};
}

namespace {

int Floor(double value)
{
    return static_cast<int>(std::floor(value));
}

} // namespace

QPoint CanvasMapping::Origin() const
{
    return {CanvasLabelOrigin(dpiX, zoom, scrollX), CanvasLabelOrigin(dpiY, zoom, scrollY)};
}

QPoint CanvasMapping::ZoomedMargin() const
{
    return {static_cast<int>(CanvasMarginPixels(dpiX) * zoom), static_cast<int>(CanvasMarginPixels(dpiY) * zoom)};
}

QPoint CanvasMapping::ToZoomedLabel(QPoint client) const
{
    const QPoint margin = ZoomedMargin();
    return {Floor(scrollX + client.x() - margin.x()), Floor(scrollY + client.y() - margin.y())};
}

QPoint CanvasMapping::ToLabel(QPoint client) const
{
    const QPoint z = ToZoomedLabel(client);
    return {Floor(z.x() / zoom), Floor(z.y() / zoom)};
}

QPoint CanvasMapping::ToClick(QPoint client) const
{
    return {Floor((scrollX + client.x()) / zoom - CanvasMarginPixels(dpiX)),
            Floor((scrollY + client.y()) / zoom - CanvasMarginPixels(dpiY))};
}

QPointF CanvasMapping::ToMillimetres(QPoint client) const
{
    const auto axis = [this](float scroll, int c, int dpi) {
        return static_cast<float>(static_cast<float>((scroll + c) / zoom - CanvasMarginPixels(dpi)) * kMmPerInchF /
                                  dpi);
    };
    return {axis(scrollX, client.x(), dpiX), axis(scrollY, client.y(), dpiY)};
}

QPointF CanvasMapping::OriginToMillimetres(QPoint client) const
{
    const QPoint o = Origin();
    const auto axis = [this](int c, int origin, int dpi) {
        return static_cast<float>(static_cast<float>((c - origin) / zoom) * kMmPerInchF / dpi);
    };
    return {axis(client.x(), o.x(), dpiX), axis(client.y(), o.y(), dpiY)};
}

QPoint CanvasMapping::FromLabel(QPointF labelPixels) const
{
    const QPoint o = Origin();
    return {Floor(labelPixels.x() * zoom + o.x()), Floor(labelPixels.y() * zoom + o.y())};
}

CanvasMapping CChildView::Mapping() const
{
    return {g_nScreenDpiX, g_nScreenDpiY, m_fZoom, m_fScrollX, m_fScrollY};
}

int CanvasGuidePixels(float mm, int dpi, float zoom, float scroll)
{
    const float zoomed = (kCanvasMarginMm + mm) * zoom;
    return static_cast<int>(static_cast<double>(static_cast<float>(zoomed * dpi / 25.4)) - scroll);
}

CChildView::CChildView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("canvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    GetObjectClipboard();
    m_ownStatus.m_nDelayedClickMs = QApplication::doubleClickInterval();
    RegisterCommands();
}

CChildView::~CChildView() = default;

void CChildView::SetEditStatus(CEditStatus* status)
{
    m_pEditStatus = status;
    EditStatus().m_nDelayedClickMs = QApplication::doubleClickInterval();
}

void CChildView::SetZoom(float zoom)
{
    if (zoom == m_fZoom)
        return;
    m_fZoom = zoom;
    PositionInPlaceEditor();
    Redraw();
}

void CChildView::SetView(float zoom, float x, float y)
{
    m_fZoom = zoom;
    m_fScrollX = x;
    m_fScrollY = y;
    PositionInPlaceEditor();
    Redraw();
}

void CChildView::SetScroll(float x, float y)
{
    if (x == m_fScrollX && y == m_fScrollY)
        return;
    const int dpiX = g_nScreenDpiX;
    const int dpiY = g_nScreenDpiY;
    const int dx = CanvasLabelOrigin(dpiX, m_fZoom, x) - CanvasLabelOrigin(dpiX, m_fZoom, m_fScrollX);
    const int dy = CanvasLabelOrigin(dpiY, m_fZoom, y) - CanvasLabelOrigin(dpiY, m_fZoom, m_fScrollY);
    // The buffer can only be moved when everything in it moves by the same whole
    // number of pixels: whole-pixel scroll steps, and origins truncated alike.
    const bool whole = x == std::trunc(x) && y == std::trunc(y) && m_fScrollX == std::trunc(m_fScrollX) &&
                       m_fScrollY == std::trunc(m_fScrollY);
    const bool shiftable = whole && dx == static_cast<int>(m_fScrollX - x) &&
                           dy == static_cast<int>(m_fScrollY - y) && !m_backBuffer.isNull() &&
                           std::abs(dx) < m_backBuffer.width() && std::abs(dy) < m_backBuffer.height();
    QRegion oldGuides;
    for (const auto& guide : m_guides) {
        const bool vertical = guide->m_nOrientation == 0;
        const int p = vertical ? CanvasGuidePixels(guide->m_fPosition, dpiX, m_fZoom, m_fScrollX)
                               : CanvasGuidePixels(guide->m_fPosition, dpiY, m_fZoom, m_fScrollY);
        oldGuides += vertical ? QRect(p + dx, 0, 1, height()) : QRect(0, p + dy, width(), 1);
    }
    m_fScrollX = x;
    m_fScrollY = y;
    PositionInPlaceEditor();
    if (!shiftable) {
        Redraw();
        return;
    }
    ShiftImage(m_backBuffer, dx, dy);
    m_dirty.translate(dx, dy);
    const QRect all = rect();
    QRegion exposed(all);
    exposed -= all.translated(dx, dy);
    // Guide lines cross the whole area: where they were and where they are now.
    m_dirty += exposed + oldGuides;
    for (const auto& guide : m_guides) {
        if (guide->m_nOrientation == 0)
            m_dirty += QRect(CanvasGuidePixels(guide->m_fPosition, dpiX, m_fZoom, x), 0, 1, height());
        else
            m_dirty += QRect(0, CanvasGuidePixels(guide->m_fPosition, dpiY, m_fZoom, y), width(), 1);
    }
    m_dirty &= all;
    update();
}

void CChildView::BeginGuideDrag(bool horizontal, int position)
{
    auto guide = std::make_unique<CAlignLine>();
    guide->m_nOrientation = horizontal ? 1 : 0;
    guide->m_fPosition = GuidePositionMm(horizontal, position);
    m_pActiveGuide = guide.get();
    EditStatus().m_bGuideDrag = true;
    EditStatus().m_pDraggedGuide = guide.get();
    m_guides.push_back(std::move(guide));
    Redraw();
}

void CChildView::AddObject(std::unique_ptr<CBaseGraph> object)
{
    object->m_pLabelData = m_pLabelData;
    std::unique_ptr<CBaseProxy> proxy = CreateProxy(std::move(object));
    if (!proxy)
        return;
    proxy->m_pCanvas = this;
    proxy->m_pLabel = m_pLabelData;
    m_objects.push_back(std::move(proxy));
}

void CChildView::MoveGuideDrag(int position)
{
    CEditStatus& status = EditStatus();
    if (!status.m_bGuideDrag || !status.m_pDraggedGuide)
        return;
    CAlignLine& guide = *status.m_pDraggedGuide;
    const bool horizontal = guide.m_nOrientation != 0;
    guide.m_fPosition = GuidePositionMm(horizontal, position);
    Redraw();
}

void CChildView::EndGuideDrag()
{
    EditStatus().m_bGuideDrag = false;
    EditStatus().m_pDraggedGuide = nullptr;
}

float CChildView::GuidePositionMm(bool horizontal, int position) const
{
    const int dpi = horizontal ? g_nScreenDpiY : g_nScreenDpiX;
    const float scroll = horizontal ? m_fScrollY : m_fScrollX;
    return static_cast<float>((position + scroll) * 25.4 / dpi / m_fZoom - kCanvasMarginMm);
}

void CChildView::SetModified(bool modified)
{
    // Saving starts a new stretch of history: the next change marks the document again.
    m_undo.m_bModified = modified;
    UpdateTitle();
}

void CChildView::UpdateTitle()
{
    if (!m_pLabelData || !parentWidget())
        return;
    // The file's name as every message quotes it: a control character of it never turns
    // the title, the tab or the main window's title around.
    QString title = VisibleText(m_pLabelData->m_strTitle);
    if (IsModified())
        title += QStringLiteral(" *");
    parentWidget()->setWindowTitle(title);
}

void CChildView::Redraw()
{
    m_dirty = rect();
    update();
}

void CChildView::Render()
{
    if (m_backBuffer.size() != size()) {
        m_backBuffer = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        m_dirty = rect();
    }
    if (m_dirty.isEmpty())
        return;
    QPainter painter(&m_backBuffer);
    painter.setClipRegion(m_dirty);
    RenderFrame(painter, m_dirty.boundingRect());
    m_dirty = QRegion();
}

void CChildView::paintEvent(QPaintEvent* event)
{
    Render();
    QPainter painter(this);
    for (const QRect& r : event->region())
        painter.drawImage(r, m_backBuffer, r);
}

void CChildView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Redraw();
}

void CChildView::RenderFrame(QPainter& painter, const QRect& area)
{
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, true);
    DrawLabelShape(painter, area);
    DrawObjects(painter);
    DrawResourceDrag(painter);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawGuides(painter);
    painter.restore();
}

void CChildView::DrawLabelShape(QPainter& painter, const QRect& area)
{
    const QColor outside = ArgbToColor(CGlobalSettings::GetInstance()->m_crLbkgnd);
    if (!m_pLabelData) {
        painter.fillRect(area, outside);
        return;
    }
    const CLabelData& label = *m_pLabelData;
    const QPoint origin = Mapping().Origin();
    const QSize box = CanvasLabelBox(label, m_fZoom);
    const QRectF boxRect(0, 0, box.width(), box.height());
    QPainterPath path;
    switch (label.m_nShape) {
    case ShapeRectangle: path.addRect(boxRect); break;
    case ShapeRoundRect: {
        const float r = static_cast<float>(label.m_fCornerRadius * g_nScreenDpiX / 25.4);
        const int radius = static_cast<int>(m_fZoom * r);
        path.addRoundedRect(boxRect, radius, radius);
        break;
    }
    case ShapeEllipse: path.addEllipse(boxRect); break;
    default:
        // No shape: only the surround.
        painter.fillRect(area, outside);
        return;
    }

    painter.save();
    painter.translate(origin);
    painter.fillPath(path, Qt::white);
    if (label.m_bDesignBackground) {
        painter.save();
        painter.setClipRect(QRect(QPoint(0, 0), box), Qt::IntersectClip);
        SetScreenMillimetreWorld(painter, m_fZoom);
        painter.setWorldTransform(painter.worldTransform() * QTransform::fromTranslate(origin.x(), origin.y()));
        DrawLabelBackground(painter, label, 0, 0);
        painter.restore();
    }
    if (label.m_bShowGrid)
        DrawGrid(painter, area.translated(-origin), origin);

    QPainterPath surround;
    surround.setFillRule(Qt::OddEvenFill);
    surround.addRect(QRectF(area.translated(-origin)).adjusted(-1, -1, 1, 1));
    surround.addPath(path);
    painter.fillPath(surround, outside);
    const QPen black(Qt::black, 1.0);
    painter.strokePath(path, black);

    if (label.m_nShape == ShapeEllipse && label.m_bCenterHole) {
        int d = 0;
        if (label.m_nPageWidthFlag == 0)
            d = static_cast<int>(m_fZoom * static_cast<float>(label.m_fHoleDiameter * g_nScreenDpiX / 25.4));
        const QRectF hole((box.width() - d) / 2, (box.height() - d) / 2, d, d);
        QPainterPath holePath;
        holePath.addEllipse(hole);
        painter.fillPath(holePath, outside);
        painter.strokePath(holePath, black);
    }
    painter.restore();
}

void CChildView::DrawGrid(QPainter& painter, const QRect& area, QPoint)
{
    const CLabelData& label = *m_pLabelData;
    const float step = label.m_fGridSize * m_fZoom;
    if (!(step > 0.0f))
        return;
    const float W = label.m_fLabelWidth * m_fZoom;
    const float H = label.m_fLabelHeight * m_fZoom;
    const double dpiX = g_nScreenDpiX;
    const double dpiY = g_nScreenDpiY;
    // Dots closer than two pixels would merge into a grey area: draw every n-th
    // grid point so they stay apart (snapping still uses every point).
    const double spacing = std::min(step * dpiX, step * dpiY) / 25.4;
    const double every = spacing >= 2.0 ? 1.0 : std::ceil(2.0 / spacing);
    const float s = static_cast<float>(step * every);
    if (!(s > 0.0f) || !std::isfinite(s))
        return;
    QList<QPoint> dots;
    for (float x = s; x < W; x += s) {
        const int px = static_cast<int>(x * dpiX / 25.4);
        if (px < area.left() || px > area.right())
            continue;
        for (float y = s; y < H; y += s) {
            const int py = static_cast<int>(y * dpiY / 25.4);
            if (py > area.bottom())
                break;
            if (py >= area.top())
                dots.append(QPoint(px, py));
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawPoints(dots.constData(), static_cast<int>(dots.size()));
    painter.restore();
}

// Symbols are laid on the dots of the printer the label is for and drawn to the zoom,
// so the canvas shows them as wide as they print: the screen's pixels are far coarser
// than a printer's dots, and modules of whole pixels would come out a half or a third
// of the box they were sized for.
float CChildView::PrinterDots()
{
    if (!m_pLabelData)
        return -1.0f;
    const CLabelData& label = *m_pLabelData;
    PrinterDotsCache& cache = m_printerDots;
    if (!cache.known || cache.printer != label.m_strPrinterName || cache.resolution != label.m_nResolution) {
        cache.printer = label.m_strPrinterName;
        cache.resolution = label.m_nResolution;
        cache.dpi = LabelPrinterDpi(label);
        cache.known = true;
    }
    return cache.dpi;
}

QRectF CChildView::ObjectsExtentMm() const
{
    QRectF extent;
    for (const auto& proxy : m_objects)
        if (const CBaseGraph* object = proxy->GetObject())
            extent |= DrawnExtentMm(*object, &proxy->m_keptText);
    return extent;
}

void CChildView::DrawObjects(QPainter& painter)
{
    if (m_objects.empty()) {
        DrawSelection(painter); // what a gesture shows over an empty label
        return;
    }
    const QPoint origin = Mapping().ZoomedMargin();
    const QPoint scroll = ScrollPixels();
    // Only objects whose drawing reaches the area being painted are drawn: a scroll
    // step paints a strip, and most of a large label lies outside it.
    const QRegion exposed = painter.hasClipping() ? painter.clipRegion() : QRegion(rect());
    const QPointF client = origin - scroll;
    const double pixelsPerMmX = g_nScreenDpiX * m_fZoom / kMmPerInch;
    const double pixelsPerMmY = g_nScreenDpiY * m_fZoom / kMmPerInch;
    const auto reaches = [&](const CBaseProxy& proxy) {
        const QRectF mm = DrawnExtentMm(*proxy.GetObject(), &proxy.m_keptText);
        const QRectF pixels(client.x() + mm.left() * pixelsPerMmX, client.y() + mm.top() * pixelsPerMmY,
            mm.width() * pixelsPerMmX, mm.height() * pixelsPerMmY);
        // A few pixels for pens of one pixel and antialiased edges at any zoom.
        return exposed.intersects(pixels.toAlignedRect().adjusted(-4, -4, 4, 4));
    };
    std::vector<const CBaseProxy*> drawn;
    drawn.reserve(m_objects.size());
    const float dots = PrinterDots();
    for (const auto& proxy : m_objects) {
        CBaseGraph* object = proxy->GetObject();
        if (!object)
            continue;
        // Every proxy follows the view, drawn or not: hit tests read it.
        object->m_fDrawScale = m_fZoom;
        object->m_fOutputDpi = dots;
        object->m_fOriginX = 0.0f;
        object->m_fOriginY = 0.0f;
        proxy->SetViewState(m_fZoom, origin, scroll);
        if (!reaches(*proxy) || IsInPlaceEdited(proxy.get()))
            continue;
        proxy->DrawObject(painter);
        drawn.push_back(proxy.get());
    }
    for (const CBaseProxy* proxy : drawn)
        proxy->DrawOverlay(painter);
    DrawSelection(painter);
}

QPen CChildView::CanvasPen(SettingsDrawItem which)
{
    QPen pen = CGlobalSettings::GetInstance()->GetPen(which);
    pen.setCosmetic(true);
    return pen;
}

void CChildView::DrawGuides(QPainter& painter)
{
    if (m_guides.empty())
        return;
    for (const auto& guide : m_guides) {
        painter.setPen(CanvasPen(guide.get() == m_pActiveGuide ? PenDashCyan : PenDashPurple));
        if (guide->m_nOrientation == 0) {
            const int x = CanvasGuidePixels(guide->m_fPosition, g_nScreenDpiX, m_fZoom, m_fScrollX);
            painter.drawLine(x, 0, x, height());
        } else {
            const int y = CanvasGuidePixels(guide->m_fPosition, g_nScreenDpiY, m_fZoom, m_fScrollY);
            painter.drawLine(0, y, width(), y);
        }
    }
}
