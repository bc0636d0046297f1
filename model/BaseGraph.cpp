#include "model/BaseGraph.h"

#include <cmath>

QPointF CBaseGraph::GetAnchorPoint() const
{
    const float x = m_fX, y = m_fY, w = m_fWidth, h = m_fHeight;
    switch (m_nAnchor) {
    case AnchorTopLeft: return {x, y};
    case AnchorTopCenter: return {x + w * 0.5f, y};
    case AnchorTopRight: return {x + w, y};
    case AnchorRightMiddle: return {x + w, y + h * 0.5f};
    case AnchorBottomRight: return {x + w, y + h};
    case AnchorBottomCenter: return {x + w * 0.5f, y + h};
    case AnchorBottomLeft: return {x, y + h};
    case AnchorLeftMiddle: return {x, y + h * 0.5f};
    default: return {x + w * 0.5f, y + h * 0.5f};
    }
}

bool CBaseGraph::IsSameAs(const CBaseGraph&) const
{
    return false;
}

void CBaseGraph::Draw(QPainter&) const
{
}

void CBaseGraph::CopyFrom(const CBaseGraph& source)
{
    if (&source == this)
        return;
    m_nKind = source.m_nKind;
    m_strName = source.m_strName;
    m_strText = source.m_strText;
    m_fX = source.m_fX;
    m_fY = source.m_fY;
    m_fWidth = source.m_fWidth;
    m_fHeight = source.m_fHeight;
    m_fAngle = source.m_fAngle;
    m_fLineWidth = source.m_fLineWidth;
    m_nAnchor = source.m_nAnchor;
    m_crText = source.m_crText;
    m_crFill = source.m_crFill;
    m_crSpare = source.m_crSpare;
    m_crLine = source.m_crLine;
    m_bLocked = source.m_bLocked;
    m_bNotPrinted = source.m_bNotPrinted;
    m_bHiddenInPreview = source.m_bHiddenInPreview;
    m_strDescription = source.m_strDescription;
    m_fDrawScale = source.m_fDrawScale;
    m_fOutputDpi = source.m_fOutputDpi;
    m_fOriginX = source.m_fOriginX;
    m_fOriginY = source.m_fOriginY;
}

CDrawFrame::CDrawFrame(const CBaseGraph& object, QPainter& graphics)
    : m_graphics(graphics), m_saved(graphics.worldTransform())
{
    if (object.m_fAngle == 0.0f) {
        graphics.translate(object.m_fOriginX, object.m_fOriginY);
        m_box = QRectF(object.m_fX, object.m_fY, object.m_fWidth, object.m_fHeight);
        return;
    }
    const QPointF anchor = object.GetAnchorPoint();
    graphics.translate(object.m_fOriginX + anchor.x(), object.m_fOriginY + anchor.y());
    m_box = QRectF(object.m_fX - anchor.x(), object.m_fY - anchor.y(), object.m_fWidth, object.m_fHeight);
    graphics.rotate(object.m_fAngle);
}

CDrawFrame::~CDrawFrame()
{
    m_graphics.setWorldTransform(m_saved);
}

namespace {

struct SinCos
{
    float s;
    float c;
};

SinCos AngleSinCos(float angle)
{
    const float theta = static_cast<float>(static_cast<double>(angle) * kPiF / 180.0);
    return {std::sin(theta), std::cos(theta)};
}

} // namespace

QPointF RotatePoint(float angle, QPointF point, QPointF center)
{
    const auto [s, c] = AngleSinCos(angle);
    const float cx = static_cast<float>(center.x()), cy = static_cast<float>(center.y());
    const float dx = static_cast<float>(point.x()) - cx;
    const float dy = static_cast<float>(point.y()) - cy;
    return {c * dx - s * dy + cx, dy * c + dx * s + cy};
}

QPoint RotatePointInt(float angle, QPoint point, QPoint center)
{
    const auto [s, c] = AngleSinCos(angle);
    const float dx = static_cast<float>(point.x() - center.x());
    const float dy = static_cast<float>(point.y() - center.y());
    const float x = c * dx - s * dy + static_cast<float>(center.x());
    const float y = dx * s + dy * c + static_cast<float>(center.y());
    return {static_cast<int>(x), static_cast<int>(y)};
}

float GetLineAngle(int x1, int y1, int x2, int y2)
{
    const int dx = x2 - x1;
    const int dy = y2 - y1;
    const double r = 180.0 / kPiF;
    double angle;
    if (dx == 0)
        angle = dy > 0 ? 90.0 : 270.0;
    else if (dy == 0)
        angle = dx > 0 ? 0.0 : 180.0;
    else if (dx > 0 && dy > 0)
        angle = std::atan(static_cast<double>(dy) / dx) * r;
    else if (dx < 0 && dy > 0)
        angle = std::atan(static_cast<double>(-dx) / dy) * r + 90.0;
    else if (dx < 0 && dy < 0)
        angle = 180.0 + std::atan(static_cast<double>(dy) / dx) * r;
    else
        angle = std::atan(static_cast<double>(dx) / -dy) * r + 270.0;
    return static_cast<float>(angle);
}
