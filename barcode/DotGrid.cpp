#include "barcode/DotGrid.h"

#include "barcode/BarcodeData.h"

#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool IsZero(double v, double scale)
{
    return std::abs(v) <= scale * 1e-9;
}

// Single-precision millimetres of a length that is meant to be whole dots land a
// hair below it; they still count as those dots.
constexpr double kDotNoise = 1e-3;

int WholeDots(double mm, double dotsPerMm)
{
    return std::max(1, int(std::lround(mm * dotsPerMm)));
}

} // namespace

DotGrid::DotGrid(const QPainter& painter, float outputDpi)
{
    if (outputDpi < 0.0f || !painter.isActive())
        return;
    const QTransform toDevice = painter.combinedTransform();
    QTransform deviceToDots;
    if (outputDpi > 0.0f) {
        // Dots of a resolution of our own, from the page's corner: the device's
        // units scaled.
        const QPaintDevice* device = painter.device();
        if (!device || device->logicalDpiX() <= 0 || device->logicalDpiY() <= 0)
            return;
        deviceToDots = QTransform::fromScale(outputDpi / device->logicalDpiX(), outputDpi / device->logicalDpiY());
    }
    bool invertible = false;
    // combined = world x view, so the view (logical to device) is world^-1 x combined.
    const QTransform view = painter.worldTransform().inverted(&invertible) * toDevice;
    if (!invertible)
        return;
    const QTransform t = toDevice * deviceToDots;
    m_dotsToLogical = (view * deviceToDots).inverted(&invertible);
    if (!invertible || t.type() == QTransform::TxProject)
        return;
    m_toDots = t;
    const double scale = std::abs(t.m11()) + std::abs(t.m12()) + std::abs(t.m21()) + std::abs(t.m22());
    if (scale <= 0.0)
        return;
    // World x runs along device x (unturned, 180 degrees) or along device y (90, 270).
    if (IsZero(t.m12(), scale) && IsZero(t.m21(), scale)) {
        m_ax = t.m11(), m_bx = t.dx();
        m_ay = t.m22(), m_by = t.dy();
    } else if (IsZero(t.m11(), scale) && IsZero(t.m22(), scale)) {
        m_ax = t.m12(), m_bx = t.dy();
        m_ay = t.m21(), m_by = t.dx();
    } else {
        return;
    }
    m_signX = m_ax < 0 ? -1.0 : 1.0;
    m_signY = m_ay < 0 ? -1.0 : 1.0;
    m_ax = std::abs(m_ax);
    m_ay = std::abs(m_ay);
    m_active = true;
}

double DotGrid::SnapX(double x) const
{
    if (!m_active)
        return x;
    return (std::round(m_signX * m_ax * x + m_bx) - m_bx) * m_signX / m_ax;
}

double DotGrid::SnapY(double y) const
{
    if (!m_active)
        return y;
    return (std::round(m_signY * m_ay * y + m_by) - m_by) * m_signY / m_ay;
}

int DotGrid::DotsX(double mm) const
{
    return WholeDots(mm, m_ax);
}

int DotGrid::DotsY(double mm) const
{
    return WholeDots(mm, m_ay);
}

int DotGrid::ModuleDotsX(double mm) const
{
    return std::max(1, int(std::floor(mm * m_ax + kDotNoise)));
}

QRectF DotGrid::ToLogical(const QRectF& world) const
{
    const QRectF dots = m_toDots.mapRect(world);
    const QRectF snapped(QPointF(std::round(dots.left()), std::round(dots.top())),
                         QPointF(std::round(dots.right()), std::round(dots.bottom())));
    return m_dotsToLogical.mapRect(snapped);
}

QRect DotGrid::CellPixels(QPointF topLeft, double cellWidth, double cellHeight, int columns, int rows) const
{
    if (!m_active || columns <= 0 || rows <= 0 || m_signX < 0 || m_signY < 0 || m_toDots.type() > QTransform::TxScale
        || m_dotsToLogical.type() != QTransform::TxNone)
        return {};
    // Edge k of an axis lies at start + k * step dots; rounded one by one (ToLogical)
    // they are the whole dots round(start) + k * round(step) as long as the drift
    // stays well inside half a dot.
    struct Axis
    {
        int start = 0, step = 0;
        bool Set(double at, double size, int count)
        {
            start = int(std::lround(at));
            step = int(std::lround(size));
            return step > 0 && std::abs(at - start) + std::abs(size - step) * count < 0.25;
        }
    } x, y;
    if (!x.Set(m_ax * topLeft.x() + m_bx, m_ax * cellWidth, columns)
        || !y.Set(m_ay * topLeft.y() + m_by, m_ay * cellHeight, rows))
        return {};
    return QRect(x.start, y.start, x.step * columns, y.step * rows);
}

bool FillCellsAsPicture(QPainter& painter, const DotGrid& grid, const std::vector<uint8_t>& cells, int columns,
                        int rows, QPointF topLeft, double cellWidth, double cellHeight, const QColor& colour)
{
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || colour.alpha() != 255
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver || painter.opacity() != 1.0
        || cells.size() < size_t(columns) * size_t(std::max(rows, 0)))
        return false;
    const QRect target = grid.CellPixels(topLeft, cellWidth, cellHeight, columns, rows);
    if (target.isEmpty())
        return false;
    // The picture at the device's pixels, light cells transparent so that what lies
    // beneath shows as between rectangles: drawn unscaled, it is blended a row of
    // pixels at a time. Kept for the next symbol of the size (a picture this large is
    // mapped and unmapped afresh by the allocator each time).
    const int cellX = target.width() / columns, cellY = target.height() / rows;
    thread_local QImage picture;
    if (picture.size() != target.size())
        picture = QImage(target.size(), QImage::Format_ARGB32_Premultiplied);
    const QRgb dark = colour.rgba();
    const size_t lineBytes = size_t(target.width()) * sizeof(QRgb);
    for (int r = 0; r < rows; ++r) {
        QRgb* first = reinterpret_cast<QRgb*>(picture.scanLine(r * cellY));
        const uint8_t* row = &cells[size_t(r) * size_t(columns)];
        for (int c = 0; c < columns; ++c)
            std::fill_n(first + size_t(c) * size_t(cellX), cellX, row[c] ? dark : QRgb(0));
        for (int k = 1; k < cellY; ++k)
            std::memcpy(picture.scanLine(r * cellY + k), first, lineBytes);
    }
    const bool world = painter.worldMatrixEnabled();
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setWorldMatrixEnabled(false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target.topLeft(), picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.setWorldMatrixEnabled(world);
    return true;
}

DotFiller::DotFiller(QPainter& painter, const DotGrid& grid) : m_painter(painter), m_grid(grid)
{
    // In a PDF each rectangle filled through a world matrix costs a saved state and a
    // matrix of its own; in the page's coordinates it is one line. A world that turns
    // keeps its matrix, as a turned rectangle is no rectangle of the page.
    const bool pdf = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Pdf;
    if (!m_grid.IsActive() && pdf && painter.worldMatrixEnabled()
        && painter.worldTransform().type() <= QTransform::TxScale) {
        m_toLogical = painter.worldTransform();
        m_logical = true;
    }
    if (m_grid.IsActive() || m_logical)
        painter.setWorldMatrixEnabled(false);
}

DotFiller::~DotFiller()
{
    Flush();
    if (m_grid.IsActive() || m_logical)
        m_painter.setWorldMatrixEnabled(true);
}

void DotFiller::Fill(const QRectF& world, const QColor& colour)
{
    const QRectF rect = m_grid.IsActive() ? m_grid.ToLogical(world) : m_logical ? m_toLogical.mapRect(world) : world;
    if (m_grid.IsActive() && rect.isEmpty())
        return;
    if (colour != m_colour)
        Flush();
    m_colour = colour;
    m_pending.push_back(rect);
}

void DotFiller::Flush()
{
    if (m_pending.empty())
        return;
    const QPen pen = m_painter.pen();
    const QBrush brush = m_painter.brush();
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(m_colour);
    // A PDF keeps one filled rectangle per bar: a reader fits a lone rectangle to its
    // dots, while a path of many is filled by pixel centres and may move an edge.
    if (m_painter.paintEngine() && m_painter.paintEngine()->type() == QPaintEngine::Pdf) {
        for (const QRectF& rect : m_pending)
            m_painter.drawRects(&rect, 1);
    } else {
        m_painter.drawRects(m_pending.data(), int(m_pending.size()));
    }
    m_painter.setPen(pen);
    m_painter.setBrush(brush);
    m_pending.clear();
}

float AlignBarsToDots(const CBarcodeData& exact, float left, float boxWidth, const DotGrid& grid,
                      CBarcodeData& aligned)
{
    aligned.m_arrX = exact.m_arrX;
    aligned.m_arrWidth = exact.m_arrWidth;
    const size_t count = std::min(exact.m_arrX.size(), exact.m_arrWidth.size());
    aligned.m_arrX.resize(count);
    aligned.m_arrWidth.resize(count);
    if (!grid.IsActive() || count == 0)
        return boxWidth;
    const float* xs = exact.m_arrX.data();
    const float* ws = exact.m_arrWidth.data();
    auto gapAfter = [&](size_t i) { return double(xs[i + 1]) - (double(xs[i]) + double(ws[i])); };

    // The narrow element, and each element's width in narrow elements to 1/1000, so
    // that single-precision noise never splits one kind into two.
    double narrow = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double gap = i + 1 < count ? gapAfter(i) : 0.0;
        for (double w : {double(ws[i]), gap})
            if (w > 1e-6 && (narrow == 0.0 || w < narrow))
                narrow = w;
    }
    if (narrow <= 0.0)
        return boxWidth;
    const int narrowDots = grid.ModuleDotsX(narrow);
    const double dot = grid.DotX();
    auto dotsOf = [&](double w) -> long {
        const double k = std::round(w / narrow * 1000.0) / 1000.0;
        if (k <= 0.0)
            return 0;
        if (k <= 1.0)
            return narrowDots;
        const long own = long(std::floor(k * narrow / dot + kDotNoise));
        return std::max(std::min(std::lround(k * narrowDots), own), long(narrowDots) + 1);
    };
    auto scaled = [&](double w) { return w > 0.0 ? std::floor(w / narrow * narrowDots + kDotNoise) * dot : w; };
    const double start = grid.SnapX(left) - double(left) + scaled(xs[0]);
    long at = 0; // dots from the first bar's start
    for (size_t i = 0; i < count; ++i) {
        const long width = dotsOf(ws[i]);
        aligned.m_arrX[i] = float(start + double(at) * dot);
        aligned.m_arrWidth[i] = float(double(width) * dot);
        at += width;
        if (i + 1 < count)
            at += dotsOf(gapAfter(i));
    }
    const double exactEnd = double(xs[count - 1]) + double(ws[count - 1]);
    return float(start + double(at) * dot + scaled(double(boxWidth) - exactEnd));
}
