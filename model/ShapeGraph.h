#pragma once

#include "model/BaseGraph.h"

#include <QPainterPath>
#include <QPointF>
#include <array>
#include <vector>

// A straight line between two end points. Its box is derived from the end points;
// the angle and the anchor of the base are ignored.
class CLineGraph : public CBaseGraph
{
public:
    CLineGraph();

    // "Left" and "top" are the smaller coordinates.
    float GetX() const override;
    void SetX(float x) override;
    float GetY() const override;
    void SetY(float y) override;
    float GetWidth() const override;
    // Moves the right-hand end.
    void SetWidth(float width) override;
    float GetHeight() const override;
    // Moves the lower end.
    void SetHeight(float height) override;

    void Draw(QPainter& graphics) const override;
    std::unique_ptr<CBaseGraph> Clone() const override;
    void CopyFrom(const CBaseGraph& source) override;

    float m_fX1 = 0.0f;
    float m_fY1 = 0.0f;
    float m_fX2 = 0.0f;
    float m_fY2 = 0.0f;
    int32_t m_nDashStyle = 0;
    int32_t m_nLineEnd = 0; // 0 square, 1 round; both draw plain pen ends
    std::array<int32_t, 4> m_nReserved{}; // stored and copied, read by nothing
    bool m_bHorzVertOnly = false;
};

// Outline and fill shared by rectangle, ellipse and polygon: solid, hatched or a
// linear gradient.
class CFilledShapeGraph : public CBaseGraph
{
public:
    void CopyFrom(const CBaseGraph& source) override;

    int32_t m_nDashStyle = 0;
    bool m_bHatch = false;
    int32_t m_nHatchStyle = 4; // cross hatch
    uint32_t m_crHatch = 0xFF000000u; // fore colour; the back colour is the fill colour
    int32_t m_nGradient = 0; // 0 none, 1 to 8 linear gradient, anything above: invisible
    uint32_t m_crGradient1 = 0xFF000000u;
    uint32_t m_crGradient2 = 0xFF000000u;

protected:
    CFilledShapeGraph(int32_t kind, const QString& name);

    // The outline of one shape in the drawing frame's coordinates.
    struct Outline;
    // Fills and outlines a shape by the fill scheme; gradientBox is the box the
    // gradient spans.
    void DrawOutline(QPainter& graphics, const Outline& outline, const QRectF& gradientBox) const;
};

class CRectangleGraph : public CFilledShapeGraph
{
public:
    CRectangleGraph();

    void Draw(QPainter& graphics) const override;
    std::unique_ptr<CBaseGraph> Clone() const override;
    void CopyFrom(const CBaseGraph& source) override;

    float m_fCornerRadius = 0.0f; // exactly 0: square corners
};

// The ellipse inscribed in the box.
class CEllipseGraph : public CFilledShapeGraph
{
public:
    CEllipseGraph();

    void Draw(QPainter& graphics) const override;
    std::unique_ptr<CBaseGraph> Clone() const override;
};

// A closed polygon through its points in order, filled by the alternate rule. The
// base box holds the points' bounding box (RecalcBounds).
class CPolygonGraph : public CFilledShapeGraph
{
public:
    CPolygonGraph();

    void Draw(QPainter& graphics) const override;
    std::unique_ptr<CBaseGraph> Clone() const override;
    void CopyFrom(const CBaseGraph& source) override;

    // Box from the points. With one point: at that point, size 0. Without points the
    // box keeps its position and gets size 0.
    void RecalcBounds();
    int32_t GetPointCount() const { return static_cast<int32_t>(m_points.size()); }

    std::vector<QPointF> m_points; // page millimetres
};

// The rounded rectangle outline: straight edges joined by quarter arcs of radius r,
// one closed figure.
QPainterPath RoundedRectPath(const QRectF& box, float radius);
