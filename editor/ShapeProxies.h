#pragma once

#include "editor/BaseProxy.h"

#include <QPointF>
#include <vector>

class CLineGraph;
class CPolygonGraph;
class CFilledShapeGraph;
class CImageGraph;

// A line: two end points, handle 0 on end 1 and handle 1 on end 2.
class CLineProxy : public CBaseProxy
{
public:
    using CBaseProxy::CBaseProxy;

    float GetLeft() const override;
    float GetTop() const override;
    float GetWidth() const override;
    float GetHeight() const override;
    void SetWidth(float width) override;
    void SetHeight(float height) override;
    void SetPosition(float x, float y) override;
    void GetOutlinePoints(std::vector<QPointF>& points) const override;
    void DrawSelectionOutline(QPainter& graphics, bool current) const override;
    void DrawHandles(QPainter& graphics, bool current, bool rotate) override;
    void HitTestHandle(QPoint point, bool rotate, int& handle, bool& rotating) const override;
    void DrawMoveTracker(QPainter& graphics, QPoint from, QPoint to) const override;
    void DrawSizeTracker(QPainter& graphics, int handle, QPoint from, QPoint to) const override;
    int HitTest(QPoint point, bool rotate) override;
    void MoveBy(QPoint from, QPoint to, bool fromSaved) override;
    void SizeBy(QPoint from, QPoint to, bool fromSaved, int handle) override;
    bool HitTestBody(QPoint point) const override;
    bool IntersectsRect(const QRect& rect) const override;
    bool CanRotate() const override { return false; }
    bool WithinBounds() const override;
    void SaveGeometry() override;
    std::unique_ptr<CBaseProxy> Clone() const override { return CloneAs<CLineProxy>(); }
    QString GetStatusText() const override;
    void GetStatusPanes(QString& name, QString& position, QString& size) const override;

    float GetLineLeft() const { return GetLeft(); }
    void SetLineLeft(float x);
    float GetLineTop() const { return GetTop(); }
    void SetLineTop(float y);
    float GetLineWidth() const { return GetWidth(); }
    void SetLineWidth(float width) { SetWidth(width); }
    float GetLineHeight() const { return GetHeight(); }
    void SetLineHeight(float height) { SetHeight(height); }

    CLineGraph& Line() const;

private:
    // End points in client pixels-to-be: the end with the displacement of handle.
    void LineEndsMm(int handle, QPoint from, QPoint to, bool fromSaved, QPointF& end1, QPointF& end2) const;

    float m_fSavedX1 = 0.0f;
    float m_fSavedY1 = 0.0f;
    float m_fSavedX2 = 0.0f;
    float m_fSavedY2 = 0.0f;
};

// A polygon: its vertices scale inside their bounding box.
class CPolygonProxy : public CBaseProxy
{
public:
    using CBaseProxy::CBaseProxy;

    float GetLeft() const override;
    float GetTop() const override;
    float GetWidth() const override;
    float GetHeight() const override;
    void SetWidth(float width) override;
    void SetHeight(float height) override;
    void SetPosition(float x, float y) override;
    void DrawMoveTracker(QPainter& graphics, QPoint from, QPoint to) const override;
    void DrawSizeTracker(QPainter& graphics, int handle, QPoint from, QPoint to) const override;
    void MoveBy(QPoint from, QPoint to, bool fromSaved) override;
    void SizeBy(QPoint from, QPoint to, bool fromSaved, int handle) override;
    bool HitTestBody(QPoint point) const override;
    bool CanRotate() const override { return true; }
    bool WithinBounds() const override;
    void SaveGeometry() override;
    std::unique_ptr<CBaseProxy> Clone() const override { return CloneAs<CPolygonProxy>(); }
    void GetStatusPanes(QString& name, QString& position, QString& size) const override;

    CPolygonGraph& Polygon() const;

private:
    std::vector<QPointF> m_savedPoints;
};

class CRectangleProxy : public CBaseProxy
{
public:
    using CBaseProxy::CBaseProxy;

    bool HitTestBody(QPoint point) const override;
    bool CanRotate() const override { return true; }
    std::unique_ptr<CBaseProxy> Clone() const override { return CloneAs<CRectangleProxy>(); }
    void GetStatusPanes(QString& name, QString& position, QString& size) const override;
};

class CEllipseProxy : public CBaseProxy
{
public:
    using CBaseProxy::CBaseProxy;

    bool HitTestBody(QPoint point) const override;
    bool CanRotate() const override { return true; }
    std::unique_ptr<CBaseProxy> Clone() const override { return CloneAs<CEllipseProxy>(); }

protected:
    void DrawTrackerBox(QPainter& graphics, const QRect& box) const override;
    void GetStatusPanes(QString& name, QString& position, QString& size) const override;
};

class CImageProxy : public CBaseProxy
{
public:
    using CBaseProxy::CBaseProxy;

    int HitTest(QPoint point, bool rotate) override;
    void SizeBy(QPoint from, QPoint to, bool fromSaved, int handle) override;
    bool CanRotate() const override { return true; }
    std::unique_ptr<CBaseProxy> Clone() const override { return CloneAs<CImageProxy>(); }

    // true: height from width; false: width from height. A picture without pixels
    // leaves the box as it is.
    void KeepImageAspect(bool heightFromWidth);
    void SetImageNaturalSize();

    CImageGraph& Image() const;
};
