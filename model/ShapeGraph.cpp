#include "model/ShapeGraph.h"

#include "platform/Drawing.h"

#include <QPainterPath>
#include <QVarLengthArray>
#include <algorithm>

// ---- Line -------------------------------------------------------------------

CLineGraph::CLineGraph()
{
    m_nKind = KindLine;
    m_strName = QStringLiteral("Line1");
}

float CLineGraph::GetX() const
{
    return std::min(m_fX1, m_fX2);
}

float CLineGraph::GetY() const
{
    return std::min(m_fY1, m_fY2);
}

float CLineGraph::GetWidth() const
{
    return std::abs(m_fX2 - m_fX1);
}

float CLineGraph::GetHeight() const
{
    return std::abs(m_fY2 - m_fY1);
}

void CLineGraph::SetX(float x)
{
    const float width = GetWidth();
    if (m_fX2 > m_fX1) {
        m_fX1 = x;
        m_fX2 = x + width;
    } else {
        m_fX2 = x;
        m_fX1 = x + width;
    }
}

void CLineGraph::SetY(float y)
{
    const float height = GetHeight();
    if (m_fY2 > m_fY1) {
        m_fY1 = y;
        m_fY2 = y + height;
    } else {
        m_fY2 = y;
        m_fY1 = y + height;
    }
}

void CLineGraph::SetWidth(float width)
{
    if (m_fX2 > m_fX1)
        m_fX2 = m_fX1 + width;
    else
        m_fX1 = m_fX2 + width;
}

void CLineGraph::SetHeight(float height)
{
    if (m_fY2 > m_fY1)
        m_fY2 = m_fY1 + height;
    else
        m_fY1 = m_fY2 + height;
}

void CLineGraph::Draw(QPainter& graphics) const
{
    const QTransform saved = graphics.worldTransform();
    const QPen savedPen = graphics.pen();
    graphics.translate(m_fOriginX, m_fOriginY);
    graphics.setPen(MakePen(m_crLine, m_fLineWidth, m_nDashStyle));
    graphics.drawLine(QPointF(m_fX1, m_fY1), QPointF(m_fX2, m_fY2));
    graphics.setPen(savedPen);
    graphics.setWorldTransform(saved);
}

std::unique_ptr<CBaseGraph> CLineGraph::Clone() const
{
    auto copy = std::make_unique<CLineGraph>();
    copy->CopyFrom(*this);
    return copy;
}

void CLineGraph::CopyFrom(const CBaseGraph& source)
{
    CBaseGraph::CopyFrom(source);
    const auto* line = dynamic_cast<const CLineGraph*>(&source);
    if (!line || line == this)
        return;
    m_fX1 = line->m_fX1;
    m_fY1 = line->m_fY1;
    m_fX2 = line->m_fX2;
    m_fY2 = line->m_fY2;
    m_nDashStyle = line->m_nDashStyle;
    m_nLineEnd = line->m_nLineEnd;
    m_nReserved = line->m_nReserved;
    m_bHorzVertOnly = line->m_bHorzVertOnly;
}

// ---- Fill scheme ------------------------------------------------------------

struct CFilledShapeGraph::Outline
{
    enum Kind { Rectangle, Ellipse, Path, Polygon };
    Kind kind = Rectangle;
    QRectF box;
    QPainterPath path;
    const QPointF* points = nullptr;
    int count = 0;

    void Paint(QPainter& graphics) const
    {
        switch (kind) {
        case Rectangle: graphics.drawRect(box); break;
        case Ellipse: graphics.drawEllipse(box); break;
        case Path: graphics.drawPath(path); break;
        case Polygon: graphics.drawPolygon(points, count, Qt::OddEvenFill); break;
        }
    }
};

CFilledShapeGraph::CFilledShapeGraph(int32_t kind, const QString& name)
{
    m_nKind = kind;
    m_strName = name;
    m_crFill = 0x00FFFFFFu;
    m_crSpare = 0xFF000000u;
    m_crLine = 0xFF000000u;
}

void CFilledShapeGraph::CopyFrom(const CBaseGraph& source)
{
    CBaseGraph::CopyFrom(source);
    const auto* shape = dynamic_cast<const CFilledShapeGraph*>(&source);
    if (!shape || shape == this)
        return;
    m_nDashStyle = shape->m_nDashStyle;
    m_bHatch = shape->m_bHatch;
    m_nHatchStyle = shape->m_nHatchStyle;
    m_crHatch = shape->m_crHatch;
    m_nGradient = shape->m_nGradient;
    m_crGradient1 = shape->m_crGradient1;
    m_crGradient2 = shape->m_crGradient2;
}

void CFilledShapeGraph::DrawOutline(QPainter& graphics, const Outline& outline, const QRectF& gradientBox) const
{
    const QPen savedPen = graphics.pen();
    const QBrush savedBrush = graphics.brush();
    const auto fill = [&](const QBrush& brush) {
        graphics.setPen(Qt::NoPen);
        graphics.setBrush(brush);
        outline.Paint(graphics);
    };
    const auto stroke = [&] {
        const QPen pen = MakePen(m_crLine, m_fLineWidth, m_nDashStyle);
        if (outline.kind == Outline::Ellipse || outline.kind == Outline::Path) {
            // Curves stroke faster through the flattening helper.
            if (outline.kind == Outline::Ellipse) {
                QPainterPath path;
                path.addEllipse(outline.box);
                StrokePath(graphics, path, pen);
            } else {
                StrokePath(graphics, outline.path, pen);
            }
            return;
        }
        graphics.setPen(pen);
        graphics.setBrush(Qt::NoBrush);
        outline.Paint(graphics);
    };
    if (m_bHatch) {
        // A hatch wins over a gradient.
        fill(MakeHatchBrush(graphics, m_nHatchStyle, m_crHatch, m_crFill));
        stroke();
    } else if (m_nGradient <= 0) {
        if (IsVisibleArgb(m_crFill))
            fill(QBrush(ArgbToColor(m_crFill)));
        stroke();
    } else if (m_nGradient <= 8) {
        // Gradients are filled without smoothing and have no outline.
        const bool smooth = graphics.testRenderHint(QPainter::Antialiasing);
        graphics.setRenderHint(QPainter::Antialiasing, false);
        fill(MakeGradientBrush(m_nGradient, m_crGradient1, m_crGradient2, gradientBox));
        graphics.setRenderHint(QPainter::Antialiasing, smooth);
    }
    // Any larger gradient code leaves the shape invisible.
    graphics.setPen(savedPen);
    graphics.setBrush(savedBrush);
}

// ---- Rectangle --------------------------------------------------------------

QPainterPath RoundedRectPath(const QRectF& box, float radius)
{
    // Arc angles run counter-clockwise here, clockwise on the page: the negated
    // page angles.
    const double x = box.x(), y = box.y(), w = box.width(), h = box.height();
    const double r = radius, d = 2.0 * radius;
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.moveTo(x + r, y);
    path.lineTo(x + w - r, y);
    path.arcTo(QRectF(x + w - d, y, d, d), 90, -90);
    path.lineTo(x + w, y + h - r);
    path.arcTo(QRectF(x + w - d, y + h - d, d, d), 0, -90);
    path.lineTo(x + r, y + h);
    path.arcTo(QRectF(x, y + h - d, d, d), -90, -90);
    path.lineTo(x, y + r);
    path.arcTo(QRectF(x, y, d, d), -180, -90);
    path.closeSubpath();
    return path;
}

CRectangleGraph::CRectangleGraph() : CFilledShapeGraph(KindRectangle, QStringLiteral("Recatangle1"))
{
}

void CRectangleGraph::Draw(QPainter& graphics) const
{
    const CDrawFrame frame(*this, graphics);
    Outline outline;
    outline.box = frame.Box();
    if (m_fCornerRadius != 0.0f) {
        outline.kind = Outline::Path;
        outline.path = RoundedRectPath(frame.Box(), m_fCornerRadius);
    }
    DrawOutline(graphics, outline, frame.Box());
}

std::unique_ptr<CBaseGraph> CRectangleGraph::Clone() const
{
    auto copy = std::make_unique<CRectangleGraph>();
    copy->CopyFrom(*this);
    return copy;
}

void CRectangleGraph::CopyFrom(const CBaseGraph& source)
{
    CFilledShapeGraph::CopyFrom(source);
    if (const auto* rectangle = dynamic_cast<const CRectangleGraph*>(&source))
        m_fCornerRadius = rectangle->m_fCornerRadius;
}

// ---- Ellipse ----------------------------------------------------------------

CEllipseGraph::CEllipseGraph() : CFilledShapeGraph(KindEllipse, QStringLiteral("Ellipse1"))
{
}

void CEllipseGraph::Draw(QPainter& graphics) const
{
    const CDrawFrame frame(*this, graphics);
    Outline outline;
    outline.kind = Outline::Ellipse;
    outline.box = frame.Box();
    DrawOutline(graphics, outline, frame.Box());
}

std::unique_ptr<CBaseGraph> CEllipseGraph::Clone() const
{
    auto copy = std::make_unique<CEllipseGraph>();
    copy->CopyFrom(*this);
    return copy;
}

// ---- Polygon ----------------------------------------------------------------

CPolygonGraph::CPolygonGraph() : CFilledShapeGraph(KindPolygon, QStringLiteral("Polygon1"))
{
}

void CPolygonGraph::RecalcBounds()
{
    if (m_points.empty()) {
        m_fWidth = 0.0f;
        m_fHeight = 0.0f;
        return;
    }
    float minX = static_cast<float>(m_points.front().x()), maxX = minX;
    float minY = static_cast<float>(m_points.front().y()), maxY = minY;
    for (const QPointF& p : m_points) {
        minX = std::min(minX, static_cast<float>(p.x()));
        maxX = std::max(maxX, static_cast<float>(p.x()));
        minY = std::min(minY, static_cast<float>(p.y()));
        maxY = std::max(maxY, static_cast<float>(p.y()));
    }
    m_fX = minX;
    m_fY = minY;
    m_fWidth = maxX - minX;
    m_fHeight = maxY - minY;
}

void CPolygonGraph::Draw(QPainter& graphics) const
{
    if (m_points.empty())
        return;
    const CDrawFrame frame(*this, graphics);
    // The points move with the box when the frame turns about the anchor; the stored
    // points never change.
    const QPointF shift = frame.Box().topLeft() - QPointF(m_fX, m_fY);
    QVarLengthArray<QPointF, 10> points;
    points.reserve(static_cast<qsizetype>(m_points.size()));
    double left = 0, top = 0, right = 0, bottom = 0;
    for (const QPointF& p : m_points) {
        const QPointF q = p + shift;
        if (points.isEmpty()) {
            left = right = q.x();
            top = bottom = q.y();
        }
        left = std::min(left, q.x());
        right = std::max(right, q.x());
        top = std::min(top, q.y());
        bottom = std::max(bottom, q.y());
        points.append(q);
    }
    Outline outline;
    outline.kind = Outline::Polygon;
    outline.points = points.constData();
    outline.count = static_cast<int>(points.size());
    // The gradient spans the polygon where it is drawn.
    DrawOutline(graphics, outline, QRectF(QPointF(left, top), QPointF(right, bottom)));
}

std::unique_ptr<CBaseGraph> CPolygonGraph::Clone() const
{
    auto copy = std::make_unique<CPolygonGraph>();
    copy->CopyFrom(*this);
    return copy;
}

void CPolygonGraph::CopyFrom(const CBaseGraph& source)
{
    CFilledShapeGraph::CopyFrom(source);
    if (const auto* polygon = dynamic_cast<const CPolygonGraph*>(&source); polygon && polygon != this)
        m_points = polygon->m_points;
}
