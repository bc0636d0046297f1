#include "editor/BaseProxy.h"

#include "editor/ObjectKinds.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/Utils.h"
#include "platform/Drawing.h"
#include "platform/ScreenDpi.h"

#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <algorithm>
#include <cmath>

int TruncToInt(double value)
{
    return static_cast<int>(value);
}

float NormaliseAngle(double angle)
{
    double a = std::fmod(angle, 360.0);
    if (a < 0.0)
        a += 360.0;
    return static_cast<float>(a);
}

QPointF BoxHandlePoint(int handle, float x, float y, float w, float h)
{
    switch (handle) {
    case 0: return {x, y};
    case 1: return {x + w * 0.5f, y};
    case 2: return {x + w, y};
    case 3: return {x + w, y + h * 0.5f};
    case 4: return {x + w, y + h};
    case 5: return {x + w * 0.5f, y + h};
    case 6: return {x, y + h};
    case 7: return {x, y + h * 0.5f};
    default: return {x + w * 0.5f, y + h * 0.5f};
    }
}

bool MovesLeft(int h) { return h == 0 || h == 6 || h == 7; }
bool MovesTop(int h) { return h == 0 || h == 1 || h == 2; }
bool MovesRight(int h) { return h == 2 || h == 3 || h == 4; }
bool MovesBottom(int h) { return h == 4 || h == 5 || h == 6; }

void ApplyHandleRule(int handle, int dx, int dy, int& left, int& top, int& width, int& height)
{
    if (MovesLeft(handle)) {
        left += dx;
        width -= dx;
    }
    if (MovesRight(handle))
        width += dx;
    if (MovesTop(handle)) {
        top += dy;
        height -= dy;
    }
    if (MovesBottom(handle))
        height += dy;
    if (width < 0) {
        left += width;
        width = -width;
    }
    if (height < 0) {
        top += height;
        height = -height;
    }
}

int HandleCursor(int handle, float angle)
{
    if (angle <= -360.0f || angle >= 360.0f)
        return -1;
    double m = std::fmod(static_cast<double>(angle), 180.0);
    if (m < 0.0)
        m += 180.0;
    const bool corner = handle % 2 == 0;
    if (corner) {
        const bool falling = handle == 0 || handle == 4; // 0 and 4 start on the NW-SE diagonal
        if (m == 45.0)
            return falling ? ProxyCursorSizeNS : ProxyCursorSizeWE;
        if (m == 135.0)
            return falling ? ProxyCursorSizeWE : ProxyCursorSizeNS;
        const bool turned = m > 45.0 && m < 135.0;
        return (falling != turned) ? ProxyCursorSizeNWSE : ProxyCursorSizeNESW;
    }
    const bool vertical = handle == 1 || handle == 5;
    if (m == 0.0)
        return vertical ? ProxyCursorSizeNS : ProxyCursorSizeWE;
    if (m == 90.0)
        return vertical ? ProxyCursorSizeWE : ProxyCursorSizeNS;
    const bool firstQuarter = m < 90.0;
    return (vertical == firstQuarter) ? ProxyCursorSizeNESW : ProxyCursorSizeNWSE;
}

CBaseProxy::CBaseProxy(std::unique_ptr<CBaseGraph> object)
    : m_pObject(std::move(object))
{
    m_handles.fill(QRect(0, 0, kHandleSize, kHandleSize));
    m_handleEnabled.fill(true);
}

CBaseProxy::~CBaseProxy() = default;

void CBaseProxy::SetViewState(float zoom, QPoint labelOrigin, QPoint scroll)
{
    m_fZoom = zoom;
    m_labelOrigin = labelOrigin;
    m_scroll = scroll;
}

int CBaseProxy::GetLeftPixels() const
{
    return TruncToInt(static_cast<float>(m_pObject->GetX() * g_nScreenDpiX / 25.4));
}

int CBaseProxy::GetTopPixels() const
{
    return TruncToInt(static_cast<float>(m_pObject->GetY() * g_nScreenDpiY / 25.4));
}

int CBaseProxy::GetWidthPixels() const
{
    return TruncToInt(static_cast<float>(m_pObject->GetWidth() * g_nScreenDpiX / 25.4));
}

int CBaseProxy::GetHeightPixels() const
{
    return TruncToInt(static_cast<float>(m_pObject->GetHeight() * g_nScreenDpiY / 25.4));
}

namespace {

// Bounds of the outline points, turned about the anchor when the object is turned.
QRectF TurnedBounds(const CBaseProxy& proxy)
{
    std::vector<QPointF> points;
    proxy.GetOutlinePoints(points);
    if (points.empty())
        return {};
    const float angle = proxy.GetAngle();
    if (angle != 0.0f) {
        const QPointF anchor = proxy.GetAnchorPoint();
        for (QPointF& p : points)
            p = RotatePoint(angle, p, anchor);
    }
    double l = points[0].x(), r = l, t = points[0].y(), b = t;
    for (const QPointF& p : points) {
        l = std::min(l, p.x());
        r = std::max(r, p.x());
        t = std::min(t, p.y());
        b = std::max(b, p.y());
    }
    return QRectF(QPointF(l, t), QPointF(r, b));
}

} // namespace

float CBaseProxy::GetLeft() const
{
    return GetAngle() == 0.0f ? m_pObject->GetX() : static_cast<float>(TurnedBounds(*this).left());
}

float CBaseProxy::GetTop() const
{
    return GetAngle() == 0.0f ? m_pObject->GetY() : static_cast<float>(TurnedBounds(*this).top());
}

float CBaseProxy::GetWidth() const
{
    return GetAngle() == 0.0f ? m_pObject->GetWidth() : static_cast<float>(TurnedBounds(*this).width());
}

float CBaseProxy::GetHeight() const
{
    return GetAngle() == 0.0f ? m_pObject->GetHeight() : static_cast<float>(TurnedBounds(*this).height());
}

void CBaseProxy::SetWidth(float width)
{
    m_pObject->SetWidth(width);
}

void CBaseProxy::SetHeight(float height)
{
    m_pObject->SetHeight(height);
}

void CBaseProxy::SetPosition(float x, float y)
{
    m_pObject->SetX(x);
    m_pObject->SetY(y);
}

void CBaseProxy::SetSize(float width, float height)
{
    SetWidth(width);
    SetHeight(height);
}

void CBaseProxy::GetOutlinePoints(std::vector<QPointF>& points) const
{
    const float x = m_pObject->GetX(), y = m_pObject->GetY();
    const float w = m_pObject->GetWidth(), h = m_pObject->GetHeight();
    points.emplace_back(x, y);
    points.emplace_back(x + w, y);
    points.emplace_back(x + w, y + h);
    points.emplace_back(x, y + h);
}

float CBaseProxy::GetAngle() const
{
    return m_pObject->GetAngle();
}

QPointF CBaseProxy::GetBoxAnchorPoint(int left, int top, int width, int height) const
{
    return BoxHandlePoint(m_pObject->m_nAnchor, static_cast<float>(left), static_cast<float>(top),
                          static_cast<float>(width), static_cast<float>(height));
}

QPointF CBaseProxy::GetAnchorPoint() const
{
    return m_pObject->GetAnchorPoint();
}

QPointF CBaseProxy::GetAnchorPointPixels() const
{
    const QPointF a = GetAnchorPoint();
    return {static_cast<float>(a.x() * g_nScreenDpiX / 25.4), static_cast<float>(a.y() * g_nScreenDpiY / 25.4)};
}

void CBaseProxy::DrawObject(QPainter& graphics) const
{
    if (!m_pObject)
        return;
    graphics.save();
    SetScreenMillimetreWorld(graphics, m_fZoom);
    const QPoint o = ClientOrigin();
    graphics.translate(o.x() * kMmPerInch / (g_nScreenDpiX * m_fZoom), o.y() * kMmPerInch / (g_nScreenDpiY * m_fZoom));
    m_pObject->Draw(graphics);
    graphics.restore();
}

namespace {

// Saves the painter's world transform and restores it when done.
class TransformScope
{
public:
    explicit TransformScope(QPainter& graphics)
        : m_graphics(graphics), m_saved(graphics.worldTransform())
    {
    }
    ~TransformScope() { m_graphics.setWorldTransform(m_saved); }
    TransformScope(const TransformScope&) = delete;
    TransformScope& operator=(const TransformScope&) = delete;

private:
    QPainter& m_graphics;
    QTransform m_saved;
};

const QPen& SettingsPen(SettingsDrawItem which)
{
    return CGlobalSettings::GetInstance()->GetPen(which);
}

} // namespace

void CBaseProxy::DrawOutline(QPainter& graphics, bool current, const QPen* pen) const
{
    const float zoom = m_fZoom;
    const int left = TruncToInt((m_pObject->GetX() * zoom) * g_nScreenDpiX / 25.4);
    const int top = TruncToInt((m_pObject->GetY() * zoom) * g_nScreenDpiY / 25.4);
    const int width = TruncToInt((m_pObject->GetWidth() * zoom) * g_nScreenDpiX / 25.4 + 2.0);
    const int height = TruncToInt((m_pObject->GetHeight() * zoom) * g_nScreenDpiY / 25.4 + 2.0);
    TransformScope scope(graphics);
    graphics.setPen(pen ? *pen : SettingsPen(current ? PenDashGreen : PenDashBlack));
    graphics.setBrush(Qt::NoBrush);
    const QPoint o = ClientOrigin();
    const float angle = GetAngle();
    if (angle == 0.0f) {
        graphics.translate(o);
        DrawTrackerBox(graphics, QRect(left, top, width, height));
        return;
    }
    const QPointF a = GetAnchorPointPixels() * zoom;
    graphics.translate(TruncToInt(o.x() + a.x()), TruncToInt(o.y() + a.y()));
    graphics.rotate(angle);
    graphics.drawRect(TruncToInt(left - a.x()), TruncToInt(top - a.y()), width, height);
}

void CBaseProxy::DrawSelectionOutline(QPainter& graphics, bool current) const
{
    if (!IsDataBound())
        DrawOutline(graphics, current, nullptr);
}

void CBaseProxy::DrawOverlay(QPainter& graphics) const
{
    if (IsDataBound())
        DrawOutline(graphics, false, &SettingsPen(PenDashRed));
}

void CBaseProxy::DrawHandles(QPainter& graphics, bool current, bool rotate)
{
    const float zoom = m_fZoom;
    const float x = m_pObject->GetX(), y = m_pObject->GetY();
    const float w = m_pObject->GetWidth(), h = m_pObject->GetHeight();
    const float angle = m_pObject->GetAngle();
    const QPointF anchor = m_pObject->GetAnchorPoint() * zoom;
    const double r = angle * 3.1415927 / 180.0;
    for (int i = 0; i < kHandleCount; ++i) {
        QPointF p = BoxHandlePoint(i, x, y, w, h) * zoom;
        if (angle != 0.0f) {
            const double px = p.x() - anchor.x(), py = p.y() - anchor.y();
            p = QPointF(anchor.x() + std::cos(r) * px - std::sin(r) * py,
                        anchor.y() + std::sin(r) * px + std::cos(r) * py);
        }
        m_handles[i].moveTo(TruncToInt(p.x() * g_nScreenDpiX / 25.4 - 3.0),
                            TruncToInt(p.y() * g_nScreenDpiY / 25.4 - 3.0));
    }

    TransformScope scope(graphics);
    graphics.translate(ClientOrigin());
    const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    const QPen& border = settings.GetPen(PenBlack);
    const bool locked = m_pObject->m_bLocked;
    auto drawHandle = [&](const QRect& rect, bool highlight, bool round) {
        graphics.setPen(border);
        graphics.setBrush(settings.GetBrush(highlight ? BrushGreen : BrushWhite));
        // Qt's outline covers one pixel more than the fill; the square is 7 x 7 in all.
        const QRect outline = rect.adjusted(0, 0, -1, -1);
        if (round)
            graphics.drawEllipse(outline);
        else
            graphics.drawRect(outline);
    };
    for (int i = 0; i < kHandleCount; ++i) {
        const QRect& rect = m_handles[i];
        if (locked) {
            drawHandle(rect, false, false);
            continue;
        }
        if (current && i == m_pObject->m_nAnchor) {
            graphics.setPen(border);
            const int hx = rect.x(), hy = rect.y();
            graphics.drawLine(hx - 3, hy + 3, hx + 10, hy + 3);
            graphics.drawLine(hx - 3, hy + 4, hx + 10, hy + 4);
            graphics.drawLine(hx + 3, hy - 3, hx + 3, hy + 10);
            graphics.drawLine(hx + 4, hy - 3, hx + 4, hy + 10);
        }
        drawHandle(rect, current && m_handleEnabled[i], rotate && i % 2 == 0);
    }
    if (current && (m_pObject->m_nAnchor >= kHandleCount || m_pObject->m_nAnchor < 0)) {
        const QRect centre(TruncToInt(anchor.x() * g_nScreenDpiX / 25.4 - 3.0),
                           TruncToInt(anchor.y() * g_nScreenDpiY / 25.4 - 3.0), kHandleSize, kHandleSize);
        if (locked)
            drawHandle(centre, false, false);
        else
            drawHandle(centre, true, rotate);
    }
}

void CBaseProxy::HitTestHandle(QPoint point, bool rotate, int& handle, bool& rotating) const
{
    handle = -1;
    rotating = false;
    if (m_pObject->m_bLocked)
        return;
    for (int i = 0; i < kHandleCount; ++i) {
        if (!m_handles[i].contains(point))
            continue;
        if (!m_handleEnabled[i])
            return;
        handle = i;
        rotating = rotate && i % 2 == 0;
        return;
    }
}

int CBaseProxy::HitTest(QPoint point, bool rotate)
{
    if (m_pObject->m_bLocked)
        return ProxyCursorNone;
    for (int i = 0; i < kHandleCount; ++i) {
        if (!m_handles[i].contains(point))
            continue;
        if (!m_handleEnabled[i])
            return ProxyCursorNone;
        if (rotate && i % 2 == 0)
            return ProxyCursorRotate;
        const int code = HandleCursor(i, GetAngle());
        if (code >= 0)
            return code;
    }
    return ProxyCursorNone;
}

void CBaseProxy::DrawMoveTracker(QPainter& graphics, QPoint from, QPoint to) const
{
    const QPoint d = to - from;
    const float zoom = m_fZoom;
    const QRect box(TruncToInt(GetLeftPixels() * zoom + d.x()), TruncToInt(GetTopPixels() * zoom + d.y()),
                    TruncToInt(GetWidthPixels() * zoom), TruncToInt(GetHeightPixels() * zoom));
    TransformScope scope(graphics);
    graphics.setPen(SettingsPen(PenDashBlack2));
    graphics.setBrush(Qt::NoBrush);
    const QPoint o = ClientOrigin();
    const float angle = GetAngle();
    if (angle == 0.0f) {
        graphics.translate(o);
        DrawTrackerBox(graphics, box);
        return;
    }
    const QPointF a = GetAnchorPointPixels() * zoom;
    graphics.translate(TruncToInt(o.x() + d.x() + a.x()), TruncToInt(o.y() + d.y() + a.y()));
    graphics.rotate(angle);
    DrawTrackerBox(graphics, QRect(TruncToInt(box.x() - (d.x() + a.x())), TruncToInt(box.y() - (d.y() + a.y())),
                                   box.width(), box.height()));
}

QPoint CBaseProxy::TurnedDisplacement(QPoint from, QPoint to, QPointF a) const
{
    const QPointF o = ClientOrigin();
    const float angle = GetAngle();
    const QPointF f = RotatePoint(-angle, QPointF(from) - o, a);
    const QPointF t = RotatePoint(-angle, QPointF(to) - o, a);
    return {TruncToInt(t.x() - f.x()), TruncToInt(t.y() - f.y())};
}

void CBaseProxy::DrawSizeTracker(QPainter& graphics, int handle, QPoint from, QPoint to) const
{
    const float zoom = m_fZoom;
    int left = TruncToInt(GetLeftPixels() * zoom), top = TruncToInt(GetTopPixels() * zoom);
    int width = TruncToInt(GetWidthPixels() * zoom), height = TruncToInt(GetHeightPixels() * zoom);
    TransformScope scope(graphics);
    graphics.setPen(SettingsPen(PenDashBlack2));
    graphics.setBrush(Qt::NoBrush);
    const QPoint o = ClientOrigin();
    const float angle = GetAngle();
    if (angle == 0.0f) {
        const QPoint d = to - from;
        ApplyHandleRule(handle, d.x(), d.y(), left, top, width, height);
        graphics.translate(o);
        DrawTrackerBox(graphics, QRect(left, top, width, height));
        return;
    }
    const QPointF a = GetAnchorPointPixels() * zoom;
    left = TruncToInt(left - a.x());
    top = TruncToInt(top - a.y());
    const QPoint d = TurnedDisplacement(from, to, a);
    ApplyHandleRule(handle, d.x(), d.y(), left, top, width, height);
    graphics.translate(TruncToInt(o.x() + a.x()), TruncToInt(o.y() + a.y()));
    graphics.rotate(angle);
    DrawTrackerBox(graphics, QRect(left, top, width, height));
}

void CBaseProxy::DrawTrackerBox(QPainter& graphics, const QRect& box) const
{
    graphics.drawRect(box);
}

bool CBaseProxy::SnapOn() const
{
    return m_pLabel && m_pLabel->m_bSnapToGrid;
}

QPointF CBaseProxy::DisplacementMm(QPoint from, QPoint to) const
{
    const float dx = static_cast<float>((to.x() - from.x()) / m_fZoom * kMmPerInchF / g_nScreenDpiX);
    const float dy = static_cast<float>((to.y() - from.y()) / m_fZoom * kMmPerInchF / g_nScreenDpiY);
    return {dx, dy};
}

float TruncateToHundredths(float value)
{
    return static_cast<float>(std::trunc(value * 100.0f) / 100.0);
}

void CBaseProxy::MoveBy(QPoint from, QPoint to, bool fromSaved)
{
    const QPointF d = DisplacementMm(from, to);
    float x = static_cast<float>((fromSaved ? m_fSavedX : m_pObject->GetX()) + d.x());
    float y = static_cast<float>((fromSaved ? m_fSavedY : m_pObject->GetY()) + d.y());
    x = TruncateToHundredths(x);
    y = TruncateToHundredths(y);
    if (SnapOn())
        std::tie(x, y) = m_pLabel->SnapPointToGrid(x, y);
    m_pObject->SetX(x);
    m_pObject->SetY(y);
}

void CBaseProxy::SizeBy(QPoint from, QPoint to, bool fromSaved, int handle)
{
    const float bx = fromSaved ? m_fSavedX : m_pObject->GetX();
    const float by = fromSaved ? m_fSavedY : m_pObject->GetY();
    const float bw = fromSaved ? m_fSavedWidth : m_pObject->GetWidth();
    const float bh = fromSaved ? m_fSavedHeight : m_pObject->GetHeight();
    m_bWidthChanged = m_bHeightChanged = m_bXChanged = m_bYChanged = false;
    const float angle = GetAngle();
    const bool snap = SnapOn();
    float x = bx, y = by, w = bw, h = bh;
    if (angle == 0.0f) {
        const QPointF d = DisplacementMm(from, to);
        // One axis: the low edge (left or top) or the high edge (right or bottom)
        // follows the mouse; an edge dragged past the other flips the box.
        const auto sizeAxis = [&](bool movesLow, bool movesHigh, float base, float baseLength, double delta,
                                  float& pos, float& length) {
            const auto snapped = [&](float v) { return snap ? m_pLabel->SnapToGrid(v) : v; };
            if (movesLow) {
                pos = snapped(static_cast<float>(base + delta));
                length = baseLength - (pos - base);
                if (length < 0.0f) {
                    length = -length;
                    pos -= length;
                }
            }
            if (movesHigh) {
                length = snapped(static_cast<float>(baseLength + delta));
                if (length < 0.0f) {
                    length = -length;
                    pos = base - length;
                }
            }
        };
        sizeAxis(MovesLeft(handle), MovesRight(handle), bx, bw, d.x(), x, w);
        sizeAxis(MovesTop(handle), MovesBottom(handle), by, bh, d.y(), y, h);
        m_pObject->SetX(x);
        m_pObject->SetY(y);
        m_pObject->SetWidth(w);
        m_pObject->SetHeight(h);
    } else {
        const float zoom = m_fZoom;
        const int lp = TruncToInt(static_cast<float>(bx * g_nScreenDpiX / 25.4));
        const int tp = TruncToInt(static_cast<float>(by * g_nScreenDpiY / 25.4));
        const int wp = TruncToInt(static_cast<float>(bw * g_nScreenDpiX / 25.4));
        const int hp = TruncToInt(static_cast<float>(bh * g_nScreenDpiY / 25.4));
        QPointF a = fromSaved ? GetBoxAnchorPoint(lp, tp, wp, hp) : GetAnchorPointPixels();
        if (fromSaved)
            a = QPointF(TruncToInt(a.x()), TruncToInt(a.y()));
        a *= zoom;
        const QPoint d = TurnedDisplacement(from, to, a);
        int left = TruncToInt(TruncToInt(lp * zoom) - a.x());
        int top = TruncToInt(TruncToInt(tp * zoom) - a.y());
        int width = TruncToInt(wp * zoom), height = TruncToInt(hp * zoom);
        ApplyHandleRule(handle, d.x(), d.y(), left, top, width, height);
        const int l = TruncToInt(a.x() + left), t = TruncToInt(a.y() + top);
        const QPointF n = GetBoxAnchorPoint(l, t, width, height);
        const QPointF moved = RotatePoint(angle, a, n);
        const QPointF shift = a - moved;
        const int newLeft = TruncToInt((l + shift.x()) / zoom);
        const int newTop = TruncToInt((t + shift.y()) / zoom);
        const int newWidth = TruncToInt(width / zoom);
        const int newHeight = TruncToInt(height / zoom);
        if (newLeft != GetLeftPixels())
            m_pObject->SetX(static_cast<float>(newLeft * 25.4 / g_nScreenDpiX));
        if (newTop != GetTopPixels())
            m_pObject->SetY(static_cast<float>(newTop * 25.4 / g_nScreenDpiY));
        if (newWidth != GetWidthPixels())
            m_pObject->SetWidth(static_cast<float>(newWidth * 25.4 / g_nScreenDpiX));
        if (newHeight != GetHeightPixels())
            m_pObject->SetHeight(static_cast<float>(newHeight * 25.4 / g_nScreenDpiY));
    }
    static constexpr bool kWidth[] = {true, false, true, true, true, false, true, true};
    static constexpr bool kHeight[] = {true, true, true, false, true, true, true, false};
    static constexpr bool kX[] = {true, false, false, false, false, false, true, true};
    static constexpr bool kY[] = {true, true, true, false, false, false, false, false};
    if (handle >= 0 && handle < kHandleCount) {
        m_bWidthChanged = kWidth[handle];
        m_bHeightChanged = kHeight[handle];
        m_bXChanged = kX[handle] || (handle == 3 && angle == 0.0f);
        m_bYChanged = kY[handle];
    }
    if (m_bXChanged || m_bYChanged) {
        m_pObject->SetX(TruncateToHundredths(m_pObject->GetX()));
        m_pObject->SetY(TruncateToHundredths(m_pObject->GetY()));
    }
    if (m_bWidthChanged || m_bHeightChanged) {
        m_pObject->SetWidth(TruncateToHundredths(m_pObject->GetWidth()));
        m_pObject->SetHeight(TruncateToHundredths(m_pObject->GetHeight()));
    }
    if (snap) {
        const auto [sx, sy] = m_pLabel->SnapPointToGrid(m_pObject->GetX(), m_pObject->GetY());
        m_pObject->SetX(sx);
        m_pObject->SetY(sy);
        const auto [sw, sh] = m_pLabel->SnapPointToGrid(m_pObject->GetWidth(), m_pObject->GetHeight());
        m_pObject->SetWidth(sw);
        m_pObject->SetHeight(sh);
    }
}

namespace {

// The anchor of an object in client pixels, as the rotation gestures measure it.
QPoint ClientAnchor(QPointF anchorPixels, float zoom, QPoint scroll)
{
    const int ox = TruncToInt(static_cast<float>(250 * g_nScreenDpiX / 25.4) * zoom - scroll.x());
    const int oy = TruncToInt(static_cast<float>(250 * g_nScreenDpiY / 25.4) * zoom - scroll.y());
    return {TruncToInt(anchorPixels.x() * zoom + ox), TruncToInt(anchorPixels.y() * zoom + oy)};
}

float LineAngle(QPoint a, QPoint b)
{
    return GetLineAngle(a.x(), a.y(), b.x(), b.y());
}

} // namespace

void CBaseProxy::RotateBy(QPoint from, QPoint to, bool fromSaved)
{
    const float base = fromSaved ? m_fSavedAngle : m_pObject->m_fAngle;
    const QPoint q = ClientAnchor(GetAnchorPointPixels(), m_fZoom, m_scroll);
    m_pObject->m_fAngle = NormaliseAngle(static_cast<double>(base) + LineAngle(q, to) - LineAngle(q, from));
}

void CBaseProxy::RotateAbout(QPoint centre, QPoint from, QPoint to, bool fromSaved)
{
    const float baseAngle = fromSaved ? m_fSavedAngle : m_pObject->m_fAngle;
    const float bx = fromSaved ? m_fSavedX : m_pObject->GetX();
    const float by = fromSaved ? m_fSavedY : m_pObject->GetY();
    const float bw = fromSaved ? m_fSavedWidth : m_pObject->GetWidth();
    const float bh = fromSaved ? m_fSavedHeight : m_pObject->GetHeight();
    const float d = LineAngle(centre, to) - LineAngle(centre, from);
    m_pObject->m_fAngle = NormaliseAngle(static_cast<double>(baseAngle) + d);
    const QPointF a = GetBoxAnchorPoint(TruncToInt(static_cast<float>(bx * g_nScreenDpiX / 25.4)),
                                        TruncToInt(static_cast<float>(by * g_nScreenDpiY / 25.4)),
                                        TruncToInt(static_cast<float>(bw * g_nScreenDpiX / 25.4)),
                                        TruncToInt(static_cast<float>(bh * g_nScreenDpiY / 25.4)));
    const QPoint p = ClientAnchor(QPointF(TruncToInt(a.x()), TruncToInt(a.y())), m_fZoom, m_scroll);
    const QPoint turned = RotatePointInt(d, p, centre);
    m_pObject->SetX(static_cast<float>(bx + (turned.x() - p.x()) / m_fZoom * kMmPerInchF / g_nScreenDpiX));
    m_pObject->SetY(static_cast<float>(by + (turned.y() - p.y()) / m_fZoom * kMmPerInchF / g_nScreenDpiY));
}

bool CBaseProxy::HitTestBody(QPoint point) const
{
    const int left = GetLeftPixels(), top = GetTopPixels();
    const int width = GetWidthPixels(), height = GetHeightPixels();
    const float angle = GetAngle();
    if (angle == 0.0f)
        return point.x() >= left && point.x() < left + width && point.y() >= top && point.y() < top + height;
    const QPointF a = GetAnchorPointPixels();
    QTransform turn;
    turn.translate(a.x(), a.y());
    turn.rotate(angle);
    turn.translate(-a.x(), -a.y());
    return turn.map(QPolygonF(QRectF(left, top, width, height))).containsPoint(point, Qt::WindingFill);
}

bool CBaseProxy::IntersectsRect(const QRect& rect) const
{
    const int left = GetLeftPixels(), top = GetTopPixels();
    const int width = GetWidthPixels(), height = GetHeightPixels();
    const float angle = GetAngle();
    const QPointF a = GetAnchorPointPixels();
    const QPointF corners[] = {QPointF(left, top), QPointF(left + width, top), QPointF(left + width, top + height),
                               QPointF(left, top + height)};
    for (QPointF c : corners) {
        if (angle != 0.0f)
            c = RotatePoint(angle, c, a);
        const int x = TruncToInt(c.x()), y = TruncToInt(c.y());
        if (x < rect.left() || x >= rect.left() + rect.width() || y < rect.top() || y >= rect.top() + rect.height())
            return false;
    }
    return true;
}

bool IsWithinLengthBound(double value)
{
    return std::fabs(value) <= double(kMaxLabelLengthMm);
}

bool CBaseProxy::WithinBounds() const
{
    const CBaseGraph& o = *m_pObject;
    return IsWithinLengthBound(o.GetX()) && IsWithinLengthBound(o.GetY()) && IsWithinLengthBound(o.GetWidth())
           && IsWithinLengthBound(o.GetHeight());
}

namespace {

bool AllWithinBounds(const std::vector<CBaseProxy*>& proxies)
{
    return std::all_of(proxies.begin(), proxies.end(), [](const CBaseProxy* p) { return p->WithinBounds(); });
}

} // namespace

void DragWithinBounds(const std::vector<CBaseProxy*>& proxies, QPoint from, QPoint to, bool fromSaved,
                      const std::function<void(QPoint, bool)>& apply)
{
    if (!fromSaved) {
        for (CBaseProxy* proxy : proxies)
            proxy->SaveGeometry();
    }
    apply(to, fromSaved);
    if (AllWithinBounds(proxies))
        return;
    apply(from, true);
    if (!AllWithinBounds(proxies)) {
        apply(to, true);
        return;
    }
    // Within the bounds at `reached`; each axis in turn goes as far toward `to` as it can.
    QPoint reached = from;
    for (const bool vertical : {false, true}) {
        const auto along = [&](int v) {
            QPoint p = reached;
            (vertical ? p.ry() : p.rx()) = v;
            return p;
        };
        int good = vertical ? reached.y() : reached.x();
        int bad = vertical ? to.y() : to.x();
        apply(along(bad), true);
        if (AllWithinBounds(proxies))
            good = bad;
        while (std::abs(bad - good) > 1) {
            const int middle = good + (bad - good) / 2;
            apply(along(middle), true);
            (AllWithinBounds(proxies) ? good : bad) = middle;
        }
        reached = along(good);
    }
    apply(reached, true);
}

void CBaseProxy::SaveGeometry()
{
    m_fSavedX = m_pObject->GetX();
    m_fSavedY = m_pObject->GetY();
    m_fSavedWidth = m_pObject->GetWidth();
    m_fSavedHeight = m_pObject->GetHeight();
    m_fSavedAngle = m_pObject->m_fAngle;
}

void CBaseProxy::CopyFrom(CBaseProxy& target) const
{
    target.m_pObject->CopyFrom(*m_pObject);
}

QString CBaseProxy::GetName() const
{
    return m_pObject->m_strName;
}

QString CBaseProxy::GetStatusText() const
{
    return QStringLiteral("X：%1 毫米  Y：%2 毫米  宽度：%3 毫米  高度：%4 毫米  角：%5°")
        .arg(FormatFloatShort2(m_pObject->GetX()), FormatFloatShort2(m_pObject->GetY()),
             FormatFloatShort2(m_pObject->GetWidth()), FormatFloatShort2(m_pObject->GetHeight()),
             FormatFloatShort2(GetAngle()));
}

QString CBaseProxy::GetSizeText() const
{
    return QStringLiteral("尺寸：%1 毫米").arg(FormatFloatShort2(m_pObject->m_fLineWidth));
}

void CBaseProxy::GetStatusPanes(QString& name, QString& position, QString&) const
{
    GetNameAndStatus(name, position);
}

void CBaseProxy::GetNameAndStatus(QString& name, QString& position) const
{
    name = GetName();
    position = GetStatusText();
}

std::unique_ptr<CBaseProxy> CreateProxy(std::unique_ptr<CBaseGraph> object)
{
    const ObjectKindInfo* info = object ? FindObjectKind(object->GetKind()) : nullptr;
    return info ? info->makeProxy(std::move(object)) : nullptr;
}
