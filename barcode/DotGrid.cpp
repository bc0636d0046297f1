#include "barcode/DotGrid.h"

#include "barcode/BarcodeData.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

bool IsZero(double v, double scale)
{
    return std::abs(v) <= scale * 1e-9;
}

int WholeDots(double mm, double dotsPerMm)
{
    return std::max(1, int(std::lround(mm * dotsPerMm)));
}

} // namespace

DotGrid::DotGrid(const QPainter& painter, float outputDpi)
{
    if (outputDpi < 0.0f || !painter.isActive())
        return;
    QTransform t = painter.combinedTransform();
    if (outputDpi > 0.0f) {
        // Dots of a resolution of our own, from the page's corner: the device's
        // units scaled.
        const QPaintDevice* device = painter.device();
        if (!device || device->logicalDpiX() <= 0 || device->logicalDpiY() <= 0)
            return;
        t *= QTransform::fromScale(outputDpi / device->logicalDpiX(), outputDpi / device->logicalDpiY());
    }
    if (t.type() == QTransform::TxProject)
        return;
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

float AlignBarsToDots(const CBarcodeData& exact, float left, const DotGrid& grid, CBarcodeData& aligned)
{
    aligned.m_arrX = exact.m_arrX;
    aligned.m_arrWidth = exact.m_arrWidth;
    const size_t count = std::min(exact.m_arrX.size(), exact.m_arrWidth.size());
    aligned.m_arrX.resize(count);
    aligned.m_arrWidth.resize(count);
    if (!grid.IsActive() || count == 0)
        return 0.0f;
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
        return 0.0f;
    const int narrowDots = grid.DotsX(narrow);
    auto dotsOf = [&](double w) -> long {
        const double k = std::round(w / narrow * 1000.0) / 1000.0;
        if (k <= 0.0)
            return 0;
        const long dots = std::lround(k * narrowDots);
        return k > 1.0 ? std::max(dots, long(narrowDots) + 1) : std::max(dots, 1L);
    };

    const double dot = grid.DotX();
    const double start = grid.SnapX(double(left) + xs[0]) - double(left);
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
    return float(start + double(at) * dot - exactEnd);
}
