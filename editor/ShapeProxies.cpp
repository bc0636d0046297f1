#include "editor/ShapeProxies.h"

#include "model/GlobalSettings.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/Utils.h"
#include "platform/ScreenDpi.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace {

QPoint ToLabelPixels(QPointF mm)
{
    return {TruncToInt(mm.x() * g_nScreenDpiX / 25.4), TruncToInt(mm.y() * g_nScreenDpiY / 25.4)};
}

QPointF ToZoomedPixels(QPointF mm, float zoom)
{
    return {mm.x() * zoom * g_nScreenDpiX / 25.4, mm.y() * zoom * g_nScreenDpiY / 25.4};
}

float Cut(float value)
{
    return static_cast<float>(std::trunc(value * 100.0f) / 100.0);
}

bool CtrlKeyDown()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
        && (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier);
}

const QPen& Pen(SettingsDrawItem which)
{
    return CGlobalSettings::GetInstance()->GetPen(which);
}

// The ring (or disc, when filled) of a box shape enlarged and shrunk by 5 pixels,
// turned about the proxy's anchor.
bool HitRing(const CBaseProxy& proxy, QPoint point, bool filled, bool ellipse)
{
    const QRectF box(proxy.GetLeftPixels(), proxy.GetTopPixels(), proxy.GetWidthPixels(), proxy.GetHeightPixels());
    const QRectF outer = box.adjusted(-5, -5, 5, 5);
    const QRectF inner = box.adjusted(5, 5, -5, -5);
    QTransform turn;
    if (proxy.GetAngle() != 0.0f) {
        const QPointF a = proxy.GetAnchorPointPixels();
        turn.translate(a.x(), a.y());
        turn.rotate(proxy.GetAngle());
        turn.translate(-a.x(), -a.y());
    }
    auto inside = [&](const QRectF& r) {
        QPainterPath path;
        if (ellipse)
            path.addEllipse(r);
        else
            path.addRect(r);
        return turn.map(path).contains(QPointF(point));
    };
    if (!inside(outer))
        return false;
    if (filled)
        return true;
    return inner.width() <= 0 || inner.height() <= 0 || !inside(inner);
}

bool IsFilled(const CBaseGraph& object)
{
    const auto& shape = static_cast<const CFilledShapeGraph&>(object);
    return (shape.m_crFill >> 24) > 0 || shape.m_bHatch || shape.m_nGradient > 0;
}

} // namespace

// ----- Line -----

CLineGraph& CLineProxy::Line() const
{
    return static_cast<CLineGraph&>(*m_pObject);
}

float CLineProxy::GetLeft() const
{
    const CLineGraph& l = Line();
    return l.m_fX1 < l.m_fX2 ? l.m_fX1 : l.m_fX2;
}

float CLineProxy::GetTop() const
{
    const CLineGraph& l = Line();
    return l.m_fY1 < l.m_fY2 ? l.m_fY1 : l.m_fY2;
}

float CLineProxy::GetWidth() const
{
    return std::fabs(Line().m_fX2 - Line().m_fX1);
}

float CLineProxy::GetHeight() const
{
    return std::fabs(Line().m_fY2 - Line().m_fY1);
}

namespace {

// A line's extent on one axis: a and b are its ends' coordinates.
// Stretch keeps the lower end, Place puts the lower end at start; both keep which
// end is which.
void StretchSpan(float& a, float& b, float length)
{
    if (a < b)
        b = a + length;
    else
        a = b + length;
}

void PlaceSpan(float& a, float& b, float start)
{
    const float length = std::fabs(b - a);
    if (a < b) {
        a = start;
        b = start + length;
    } else {
        b = start;
        a = start + length;
    }
}

} // namespace

void CLineProxy::SetWidth(float width)
{
    StretchSpan(Line().m_fX1, Line().m_fX2, width);
}

void CLineProxy::SetHeight(float height)
{
    StretchSpan(Line().m_fY1, Line().m_fY2, height);
}

void CLineProxy::SetPosition(float x, float y)
{
    SetLineLeft(x);
    SetLineTop(y);
}

void CLineProxy::SetLineLeft(float x)
{
    PlaceSpan(Line().m_fX1, Line().m_fX2, x);
}

void CLineProxy::SetLineTop(float y)
{
    PlaceSpan(Line().m_fY1, Line().m_fY2, y);
}

void CLineProxy::GetOutlinePoints(std::vector<QPointF>& points) const
{
    points.emplace_back(Line().m_fX1, Line().m_fY1);
    points.emplace_back(Line().m_fX2, Line().m_fY2);
}

void CLineProxy::DrawSelectionOutline(QPainter& graphics, bool current) const
{
    const CLineGraph& l = Line();
    const QPointF p1 = ToZoomedPixels({l.m_fX1, l.m_fY1}, m_fZoom);
    const QPointF p2 = ToZoomedPixels({l.m_fX2, l.m_fY2}, m_fZoom);
    graphics.save();
    graphics.translate(ClientOrigin());
    graphics.setPen(Pen(current ? PenDashGreen : PenDashBlack));
    graphics.drawLine(TruncToInt(p1.x()), TruncToInt(p1.y()), TruncToInt(p2.x()), TruncToInt(p2.y()));
    graphics.restore();
}

void CLineProxy::DrawHandles(QPainter& graphics, bool current, bool)
{
    const CLineGraph& l = Line();
    const QPointF ends[] = {ToZoomedPixels({l.m_fX1, l.m_fY1}, m_fZoom), ToZoomedPixels({l.m_fX2, l.m_fY2}, m_fZoom)};
    for (int i = 0; i < 2; ++i)
        m_handles[i].moveTo(TruncToInt(ends[i].x() - 3.0), TruncToInt(ends[i].y() - 3.0));
    const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    graphics.save();
    graphics.translate(ClientOrigin());
    graphics.setPen(settings.GetPen(PenBlack));
    graphics.setBrush(settings.GetBrush(current && !l.m_bLocked ? BrushGreen : BrushWhite));
    for (int i = 0; i < 2; ++i)
        graphics.drawRect(m_handles[i].adjusted(0, 0, -1, -1));
    graphics.restore();
}

void CLineProxy::HitTestHandle(QPoint point, bool, int& handle, bool& rotating) const
{
    handle = -1;
    rotating = false;
    if (m_pObject->m_bLocked)
        return;
    for (int i = 0; i < 2; ++i) {
        if (m_handles[i].contains(point)) {
            handle = i;
            return;
        }
    }
}

int CLineProxy::HitTest(QPoint point, bool)
{
    if (m_pObject->m_bLocked || (!m_handles[0].contains(point) && !m_handles[1].contains(point)))
        return ProxyCursorNone;
    const CLineGraph& l = Line();
    if (l.m_fY1 == l.m_fY2)
        return ProxyCursorSizeWE;
    if (l.m_fX1 == l.m_fX2)
        return ProxyCursorSizeNS;
    if (l.m_fX1 < l.m_fX2)
        return l.m_fY1 < l.m_fY2 ? ProxyCursorSizeNWSE : ProxyCursorSizeNESW;
    return l.m_fY1 < l.m_fY2 ? ProxyCursorSizeNESW : ProxyCursorSizeNWSE;
}

void CLineProxy::DrawMoveTracker(QPainter& graphics, QPoint from, QPoint to) const
{
    DrawSizeTracker(graphics, -1, from, to);
}

void CLineProxy::DrawSizeTracker(QPainter& graphics, int handle, QPoint from, QPoint to) const
{
    // handle -1 moves both ends (the move tracker).
    const CLineGraph& l = Line();
    const QPointF d = to - from;
    QPointF p1 = ToZoomedPixels({l.m_fX1, l.m_fY1}, m_fZoom);
    QPointF p2 = ToZoomedPixels({l.m_fX2, l.m_fY2}, m_fZoom);
    if (handle <= 0)
        p1 += d;
    if (handle != 0)
        p2 += d;
    graphics.save();
    graphics.translate(ClientOrigin());
    graphics.setPen(Pen(PenDashBlack2));
    graphics.drawLine(p1, p2);
    graphics.restore();
}

void CLineProxy::MoveBy(QPoint from, QPoint to, bool fromSaved)
{
    CLineGraph& l = Line();
    const QPointF d = DisplacementMm(from, to);
    QPointF e1(Cut((fromSaved ? m_fSavedX1 : l.m_fX1) + static_cast<float>(d.x())),
               Cut((fromSaved ? m_fSavedY1 : l.m_fY1) + static_cast<float>(d.y())));
    QPointF e2(Cut((fromSaved ? m_fSavedX2 : l.m_fX2) + static_cast<float>(d.x())),
               Cut((fromSaved ? m_fSavedY2 : l.m_fY2) + static_cast<float>(d.y())));
    if (SnapOn()) {
        const auto [x1, y1] = m_pLabel->SnapPointToGrid(e1.x(), e1.y());
        const auto [x2, y2] = m_pLabel->SnapPointToGrid(e2.x(), e2.y());
        e1 = QPointF(x1, y1);
        e2 = QPointF(x2, y2);
    }
    l.m_fX1 = static_cast<float>(e1.x());
    l.m_fY1 = static_cast<float>(e1.y());
    l.m_fX2 = static_cast<float>(e2.x());
    l.m_fY2 = static_cast<float>(e2.y());
}

void CLineProxy::SizeBy(QPoint from, QPoint to, bool fromSaved, int handle)
{
    CLineGraph& l = Line();
    const QPointF d = DisplacementMm(from, to);
    const float dx = std::trunc(static_cast<float>(d.x())), dy = std::trunc(static_cast<float>(d.y()));
    float* mx = handle == 0 ? &l.m_fX1 : &l.m_fX2;
    float* my = handle == 0 ? &l.m_fY1 : &l.m_fY2;
    const float baseX = fromSaved ? (handle == 0 ? m_fSavedX1 : m_fSavedX2) : *mx;
    const float baseY = fromSaved ? (handle == 0 ? m_fSavedY1 : m_fSavedY2) : *my;
    // Reset both ends first so that a gesture from the saved state starts over.
    if (fromSaved) {
        l.m_fX1 = m_fSavedX1;
        l.m_fY1 = m_fSavedY1;
        l.m_fX2 = m_fSavedX2;
        l.m_fY2 = m_fSavedY2;
    }
    *mx = baseX + dx;
    *my = baseY + dy;
    if (SnapOn())
        std::tie(*mx, *my) = m_pLabel->SnapPointToGrid(*mx, *my);
    if (l.m_bHorzVertOnly || CtrlKeyDown()) {
        const float ox = handle == 0 ? l.m_fX2 : l.m_fX1;
        const float oy = handle == 0 ? l.m_fY2 : l.m_fY1;
        const float ddx = l.m_fX2 - l.m_fX1;
        if (ddx != 0.0f && std::fabs((l.m_fY2 - l.m_fY1) / ddx) <= 1.0f)
            *my = oy;
        else
            *mx = ox;
    }
}

bool CLineProxy::HitTestBody(QPoint point) const
{
    const CLineGraph& l = Line();
    QPainterPath path(ToLabelPixels({l.m_fX1, l.m_fY1}));
    path.lineTo(ToLabelPixels({l.m_fX2, l.m_fY2}));
    QPainterPathStroker stroker;
    stroker.setWidth((m_fZoom * l.m_fLineWidth) * g_nScreenDpiX / 25.4);
    stroker.setCurveThreshold(0.25);
    return stroker.createStroke(path).contains(QPointF(point));
}

bool CLineProxy::IntersectsRect(const QRect& rect) const
{
    const CLineGraph& l = Line();
    for (const QPoint p : {ToLabelPixels({l.m_fX1, l.m_fY1}), ToLabelPixels({l.m_fX2, l.m_fY2})}) {
        if (p.x() < rect.left() || p.x() >= rect.left() + rect.width() || p.y() < rect.top()
            || p.y() >= rect.top() + rect.height())
            return false;
    }
    return true;
}

bool CLineProxy::WithinBounds() const
{
    const CLineGraph& l = Line();
    return CBaseProxy::WithinBounds() && IsWithinLengthBound(l.m_fX1) && IsWithinLengthBound(l.m_fY1)
           && IsWithinLengthBound(l.m_fX2) && IsWithinLengthBound(l.m_fY2);
}

void CLineProxy::SaveGeometry()
{
    const CLineGraph& l = Line();
    m_fSavedX1 = l.m_fX1;
    m_fSavedY1 = l.m_fY1;
    m_fSavedX2 = l.m_fX2;
    m_fSavedY2 = l.m_fY2;
}

QString CLineProxy::GetStatusText() const
{
    const CLineGraph& l = Line();
    return QStringLiteral("X1：%1 毫米  Y1：%2 毫米  X2：%3 毫米  Y2：%4 毫米")
        .arg(FormatFloatShort2(l.m_fX1), FormatFloatShort2(l.m_fY1), FormatFloatShort2(l.m_fX2),
             FormatFloatShort2(l.m_fY2));
}

void CLineProxy::GetStatusPanes(QString& name, QString& position, QString& size) const
{
    GetNameAndStatus(name, position);
    size = GetSizeText();
}

// ----- Polygon -----

CPolygonGraph& CPolygonProxy::Polygon() const
{
    return static_cast<CPolygonGraph&>(*m_pObject);
}

float CPolygonProxy::GetLeft() const { return m_pObject->GetX(); }
float CPolygonProxy::GetTop() const { return m_pObject->GetY(); }
float CPolygonProxy::GetWidth() const { return m_pObject->GetWidth(); }
float CPolygonProxy::GetHeight() const { return m_pObject->GetHeight(); }

namespace {

struct PointBounds
{
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
};

PointBounds BoundsOf(const std::vector<QPointF>& points)
{
    PointBounds b;
    if (points.empty())
        return b;
    b.minX = b.maxX = points[0].x();
    b.minY = b.maxY = points[0].y();
    for (const QPointF& p : points) {
        b.minX = std::min(b.minX, p.x());
        b.maxX = std::max(b.maxX, p.x());
        b.minY = std::min(b.minY, p.y());
        b.maxY = std::max(b.maxY, p.y());
    }
    return b;
}

// Scales the points by dragging a handle by (dx, dy); every vertex keeps its
// relative place in the bounding box. An axis without extent is left alone.
void ScalePoints(std::vector<QPointF>& points, int handle, double dx, double dy)
{
    const PointBounds b = BoundsOf(points);
    const double w = b.maxX - b.minX, h = b.maxY - b.minY;
    for (QPointF& p : points) {
        if (w != 0.0) {
            if (handle == 0 || handle == 6 || handle == 7)
                p.rx() += static_cast<float>((b.maxX - p.x()) / w * dx);
            else if (handle == 2 || handle == 3 || handle == 4)
                p.rx() += static_cast<float>((p.x() - b.minX) / w * dx);
        }
        if (h != 0.0) {
            if (handle == 0 || handle == 1 || handle == 2)
                p.ry() += static_cast<float>((b.maxY - p.y()) / h * dy);
            else if (handle == 4 || handle == 5 || handle == 6)
                p.ry() += static_cast<float>((p.y() - b.minY) / h * dy);
        }
    }
}

} // namespace

// As dragging the right (bottom) edge by the change of size.
void CPolygonProxy::SetWidth(float width)
{
    ScalePoints(Polygon().m_points, 3, width - m_pObject->GetWidth(), 0.0);
    m_pObject->SetWidth(width);
}

void CPolygonProxy::SetHeight(float height)
{
    ScalePoints(Polygon().m_points, 5, 0.0, height - m_pObject->GetHeight());
    m_pObject->SetHeight(height);
}

void CPolygonProxy::SetPosition(float x, float y)
{
    const QPointF d(x - m_pObject->GetX(), y - m_pObject->GetY());
    for (QPointF& p : Polygon().m_points)
        p += d;
    Polygon().RecalcBounds();
}

void CPolygonProxy::DrawMoveTracker(QPainter& graphics, QPoint from, QPoint to) const
{
    QPolygonF shape;
    for (const QPointF& p : Polygon().m_points)
        shape << ToZoomedPixels(p, m_fZoom) + QPointF(to - from);
    graphics.save();
    graphics.translate(ClientOrigin());
    const float angle = GetAngle();
    if (angle != 0.0f) {
        const QPointF a = GetAnchorPointPixels() * m_fZoom + QPointF(to - from);
        graphics.translate(a);
        graphics.rotate(angle);
        graphics.translate(-a);
    }
    graphics.setPen(Pen(PenDashBlack2));
    graphics.setBrush(Qt::NoBrush);
    graphics.drawPolygon(shape);
    graphics.restore();
}

void CPolygonProxy::DrawSizeTracker(QPainter& graphics, int handle, QPoint from, QPoint to) const
{
    std::vector<QPointF> points;
    for (const QPointF& p : Polygon().m_points)
        points.push_back(ToZoomedPixels(p, m_fZoom));
    const float angle = GetAngle();
    const QPointF a = GetAnchorPointPixels() * m_fZoom;
    const QPoint d = angle == 0.0f ? to - from : TurnedDisplacement(from, to, a);
    ScalePoints(points, handle, d.x(), d.y());
    graphics.save();
    graphics.translate(ClientOrigin());
    if (angle != 0.0f) {
        graphics.translate(a);
        graphics.rotate(angle);
        graphics.translate(-a);
    }
    graphics.setPen(Pen(PenDashBlack2));
    graphics.setBrush(Qt::NoBrush);
    graphics.drawPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
    graphics.restore();
}

void CPolygonProxy::MoveBy(QPoint from, QPoint to, bool fromSaved)
{
    const QPointF d = DisplacementMm(from, to);
    std::vector<QPointF>& points = Polygon().m_points;
    if (fromSaved && m_savedPoints.size() == points.size())
        points = m_savedPoints;
    for (QPointF& p : points)
        p = QPointF(static_cast<float>(p.x() + d.x()), static_cast<float>(p.y() + d.y()));
    Polygon().RecalcBounds();
}

void CPolygonProxy::SizeBy(QPoint from, QPoint to, bool fromSaved, int handle)
{
    QPointF d = DisplacementMm(from, to);
    const float angle = GetAngle();
    if (angle != 0.0f)
        d = RotatePoint(-angle, d, QPointF(0, 0));
    std::vector<QPointF>& points = Polygon().m_points;
    if (fromSaved && m_savedPoints.size() == points.size())
        points = m_savedPoints;
    ScalePoints(points, handle, d.x(), d.y());
    Polygon().RecalcBounds();
}

bool CPolygonProxy::HitTestBody(QPoint point) const
{
    QPolygonF shape;
    for (const QPointF& p : Polygon().m_points)
        shape << QPointF(ToLabelPixels(p));
    const float angle = GetAngle();
    if (angle != 0.0f) {
        const QPointF a = GetAnchorPointPixels();
        QTransform turn;
        turn.translate(a.x(), a.y());
        turn.rotate(angle);
        turn.translate(-a.x(), -a.y());
        shape = turn.map(shape);
    }
    return shape.containsPoint(QPointF(point), Qt::WindingFill);
}

// The vertices each, and their span as the box (a polygon dialog refuses a wider one).
bool CPolygonProxy::WithinBounds() const
{
    const auto& points = Polygon().m_points;
    return CBaseProxy::WithinBounds() && std::all_of(points.begin(), points.end(), [](const QPointF& p) {
               return IsWithinLengthBound(p.x()) && IsWithinLengthBound(p.y());
           });
}

void CPolygonProxy::SaveGeometry()
{
    m_savedPoints = Polygon().m_points;
}

void CPolygonProxy::GetStatusPanes(QString& name, QString& position, QString& size) const
{
    GetNameAndStatus(name, position);
    size = QString::asprintf("尺寸：%.1f 毫米", static_cast<double>(m_pObject->m_fLineWidth));
}

// ----- Rectangle and ellipse -----

bool CRectangleProxy::HitTestBody(QPoint point) const
{
    if (IsFilled(*m_pObject))
        return CBaseProxy::HitTestBody(point);
    return HitRing(*this, point, false, false);
}

void CRectangleProxy::GetStatusPanes(QString& name, QString& position, QString& size) const
{
    GetNameAndStatus(name, position);
    size = QString::asprintf("尺寸：%.1f 毫米", static_cast<double>(m_pObject->m_fLineWidth));
}

bool CEllipseProxy::HitTestBody(QPoint point) const
{
    return HitRing(*this, point, IsFilled(*m_pObject), true);
}

void CEllipseProxy::GetStatusPanes(QString& name, QString& position, QString& size) const
{
    GetNameAndStatus(name, position);
    size = QString::asprintf("尺寸：%.1f 毫米", static_cast<double>(m_pObject->m_fLineWidth));
}

void CEllipseProxy::DrawTrackerBox(QPainter& graphics, const QRect& box) const
{
    graphics.drawEllipse(box);
}

// ----- Image -----

CImageGraph& CImageProxy::Image() const
{
    return static_cast<CImageGraph&>(*m_pObject);
}

int CImageProxy::HitTest(QPoint point, bool rotate)
{
    EnableHandles(Image().m_nSizeMode != ImageSizeOriginal);
    return CBaseProxy::HitTest(point, rotate);
}

void CImageProxy::SizeBy(QPoint from, QPoint to, bool fromSaved, int handle)
{
    CBaseProxy::SizeBy(from, to, fromSaved, handle);
    if (Image().m_nSizeMode != ImageSizeProportional)
        return;
    const int dx = std::abs(to.x() - from.x()), dy = std::abs(to.y() - from.y());
    switch (handle) {
    case 0:
    case 2:
    case 4:
    case 6: KeepImageAspect(dx > dy); break;
    case 1:
    case 5: KeepImageAspect(false); break;
    case 3:
    case 7: KeepImageAspect(true); break;
    default: break;
    }
}

void CImageProxy::KeepImageAspect(bool heightFromWidth)
{
    const CImageGraph& image = Image();
    if (!image.m_pImage)
        return;
    const QSize size = image.m_pImage->SourceSize();
    if (size.width() <= 0 || size.height() <= 0)
        return;
    const float ratio = static_cast<float>(static_cast<unsigned>(size.height()))
                      / static_cast<float>(static_cast<unsigned>(size.width()));
    if (heightFromWidth)
        m_pObject->SetHeight(m_pObject->GetWidth() * ratio);
    else
        m_pObject->SetWidth(m_pObject->GetHeight() / ratio);
}

void CImageProxy::SetImageNaturalSize()
{
    const CImageGraph& image = Image();
    if (!image.m_pImage)
        return;
    const QSize size = image.m_pImage->SourceSize();
    if (size.width() <= 0 || size.height() <= 0)
        return;
    m_pObject->SetWidth(static_cast<float>(size.width() * kMmPerInchF / g_nScreenDpiX));
    m_pObject->SetHeight(static_cast<float>(size.height() * kMmPerInchF / g_nScreenDpiY));
}
