#include "editor/Ruler.h"

#include "editor/ChildView.h"
#include "platform/ScreenDpi.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace {

constexpr int kStripWidth = 80;
const QColor kRulerTop = QColor::fromRgba(0xFFDDECFEu);
const QColor kRulerBottom = QColor::fromRgba(0xFF90B4E6u);

QFont RulerFont(bool bold)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.0);
    font.setBold(bold);
    return font;
}

void FillGradient(QPainter& painter, const QRect& r, QColor from, QColor to, bool downwards)
{
    QLinearGradient gradient(r.topLeft(), downwards ? r.bottomLeft() : r.topRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(r, gradient);
}

} // namespace

std::vector<RulerTick> RulerTicks(float zoom, int scroll, int length, int dpi)
{
    std::vector<RulerTick> ticks;
    if (!(zoom > 0.0f) || dpi <= 0)
        return ticks;
    const double mmPerPixel = 25.4 / dpi / zoom;
    const double start = scroll * mmPerPixel;
    const double end = start + length * mmPerPixel;
    const int step = zoom >= 1.0f ? 1 : zoom > 0.7f ? 2 : 10;
    const int numberEvery = step == 10 ? 50 : 10;
    // Numbers count from the label's corner, which lies a margin into the canvas; the
    // canvas reaches as far as its objects, either way.
    const int margin = static_cast<int>(kCanvasMarginMm);
    const int first = static_cast<int>(std::ceil((start - margin) / step)) * step;
    const int last = static_cast<int>(std::floor(end - margin));
    for (int i = first; i <= last; i += step) {
        const int m = i + margin;
        RulerTick tick;
        tick.position = static_cast<int>(std::floor(m * zoom * dpi / 25.4)) - scroll;
        tick.millimetres = i;
        tick.numbered = i % numberEvery == 0;
        tick.depth = tick.numbered ? 10 : (step == 1 && i % 5 == 0) ? 14 : 18;
        ticks.push_back(tick);
    }
    return ticks;
}

CRuler::CRuler(bool horizontal, QWidget* parent) : QWidget(parent), m_bHorizontal(horizontal)
{
    setObjectName(horizontal ? QStringLiteral("horzRuler") : QStringLiteral("vertRuler"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CRuler::SetZoom(float zoom)
{
    m_fZoom = zoom;
    Repaint();
}

void CRuler::SetScrollPos(int position)
{
    m_nScrollPos = position;
    Repaint();
}

void CRuler::SetFindLabel(bool shown)
{
    if (!m_bHorizontal || shown == m_bFindLabel)
        return;
    m_bFindLabel = shown;
    Repaint();
}

void CRuler::SetMarker(int position)
{
    m_nMarker = position;
    update(); // the buffer stays; only the marker moves
}

void CRuler::Repaint()
{
    m_bBufferValid = false;
    update();
}

QRect CRuler::StripRect() const
{
    return QRect(width() - kStripWidth, 0, kStripWidth, height());
}

const QImage& CRuler::BackBuffer()
{
    if (!m_bBufferValid)
        DrawBuffer();
    return m_backBuffer;
}

void CRuler::DrawBuffer()
{
    m_backBuffer = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_bBufferValid = true;
    QPainter painter(&m_backBuffer);
    FillGradient(painter, rect(), kRulerTop, kRulerBottom, m_bHorizontal);

    const int length = m_bHorizontal ? width() : height();
    const int dpi = m_bHorizontal ? g_nScreenDpiX : g_nScreenDpiY;
    painter.setPen(Qt::black);
    painter.setFont(RulerFont(false));
    for (const RulerTick& tick : RulerTicks(m_fZoom, m_nScrollPos, length, dpi)) {
        const QString number = QString::asprintf("%d", tick.millimetres);
        if (m_bHorizontal) {
            painter.drawLine(tick.position, tick.depth, tick.position, kRulerSize);
            if (tick.numbered)
                painter.drawText(QPoint(tick.position, 2 + painter.fontMetrics().ascent()), number);
        } else {
            painter.drawLine(tick.depth, tick.position, kRulerSize, tick.position);
            if (tick.numbered) {
                painter.save();
                painter.translate(2 + painter.fontMetrics().descent(), tick.position);
                painter.rotate(90);
                painter.drawText(QPoint(0, 0), number);
                painter.restore();
            }
        }
    }
    if (m_bHorizontal)
        painter.drawLine(0, kRulerSize - 1, width(), kRulerSize - 1);
    else
        painter.drawLine(kRulerSize - 1, 0, kRulerSize - 1, height());

    if (!m_bHorizontal)
        return;
    const QRect unit(width() - (m_bFindLabel ? 120 : 40), 0, 40, 20);
    FillGradient(painter, unit, kRulerTop, QColor::fromRgba(0xFFA0C0EBu), true);
    painter.drawText(unit.topLeft() + QPoint(8, 4 + painter.fontMetrics().ascent()), QStringLiteral("毫米"));
    if (!m_bFindLabel)
        return;
    const QRect strip = StripRect();
    FillGradient(painter, strip, kRulerTop, kRulerBottom, true);
    painter.setFont(RulerFont(true));
    painter.drawText(strip, Qt::AlignCenter, QStringLiteral("查找标签"));
    // Two-pixel bevel: raised, or sunken while pressed.
    const QColor light[2] = {Qt::white, QColor::fromRgba(0xFFE3E3E3u)};
    const QColor dark[2] = {QColor::fromRgba(0xFF696969u), QColor::fromRgba(0xFFA0A0A0u)};
    for (int i = 0; i < 2; ++i) {
        const QRect r = strip.adjusted(i, i, -1 - i, -1 - i);
        painter.setPen(m_bStripPressed ? dark[i] : light[i]);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(m_bStripPressed ? light[i] : dark[i]);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
}

void CRuler::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, BackBuffer());
    if (m_bHorizontal && m_bFindLabel && m_nMarker >= width() - kStripWidth)
        return;
    // The marker inverts what is under it.
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    if (m_bHorizontal)
        painter.drawLine(m_nMarker, 1, m_nMarker, kRulerSize - 2);
    else
        painter.drawLine(1, m_nMarker, kRulerSize - 2, m_nMarker);
}

void CRuler::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Repaint();
}

void CRuler::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_bHorizontal && m_bFindLabel && event->position().x() > width() - kStripWidth) {
        m_bStripPressed = true;
        Repaint();
    } else {
        m_bArmed = true;
    }
}

void CRuler::mouseMoveEvent(QMouseEvent* event)
{
    // Qt keeps sending this ruler the mouse while the button is down, so a guide
    // dragged out of it follows these moves until the button is released.
    const QPoint p = event->position().toPoint();
    const int across = (m_bHorizontal ? p.y() : p.x()) - kRulerSize;
    if (m_bDragging) {
        Q_EMIT guideDragMove(across);
        return;
    }
    if (m_bArmed && across > 0) {
        m_bArmed = false;
        m_bDragging = true;
        Q_EMIT beginGuideDrag(m_bHorizontal, across);
    }
}

void CRuler::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_bArmed = false;
    if (m_bDragging) {
        m_bDragging = false;
        const QPoint p = event->position().toPoint();
        Q_EMIT guideDragEnd((m_bHorizontal ? p.y() : p.x()) - kRulerSize);
    }
    if (m_bHorizontal && m_bFindLabel) {
        m_bStripPressed = false;
        Repaint();
        if (StripRect().contains(event->position().toPoint()))
            Q_EMIT recenterLabel();
    }
}

void CUnitButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    FillGradient(painter, rect(), kRulerTop, kRulerBottom, true);
    painter.setPen(QPen(Qt::black, 1, Qt::DashDotLine));
    painter.drawLine(1, 12, 22, 12);
    painter.drawLine(12, 1, 12, 22);
}

void CCornerButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
}
