#pragma once

#include "editor/BaseProxy.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <memory>
#include <vector>

class CBaseGraph;
class CEditStatus;
class CLabelData;

// The canvas is 1500 mm square; the label's top-left corner lies this far from its
// top-left corner, leaving a margin objects may be moved into.
constexpr float kCanvasMarginMm = 250.0f;
constexpr float kCanvasSizeMm = 1500.0f;

// Canvas geometry in screen pixels. Single-precision steps and truncations are kept
// as the editor has always computed them, so marks land on the same pixels.
float CanvasMarginPixels(int dpi);                         // (f)(250 x dpi / 25.4)
int CanvasLabelOrigin(int dpi, float zoom, float scroll);  // client pixels
QSize CanvasLabelBox(const CLabelData& label, float zoom); // 0 x 0 unless the size mode is 0
int CanvasGuidePixels(float mm, int dpi, float zoom, float scroll);
// The label's size in pixels at zoom 1, 0 x 0 unless the size mode is 0.
QSizeF LabelPixelSize(const CLabelData& label);

// A guide line dragged out of a ruler: vertical (at a horizontal position) when the
// orientation is 0, else horizontal; the position in mm from the label's corner.
class CAlignLine
{
public:
    int m_nOrientation = 0;
    float m_fPosition = 0.0f;
};

// The label's objects as the canvas holds them, each in its proxy, in stacking order
// (first drawn first).
using CanvasObjectList = std::vector<std::unique_ptr<CBaseProxy>>;

// The drawing surface of one label document. Every frame is painted into a back
// buffer that reaches the screen in one copy; scrolling moves the buffer and paints
// only the strip that came into view.
class CChildView : public QWidget, public CProxyCanvas
{
    Q_OBJECT
public:
    explicit CChildView(QWidget* parent = nullptr);
    ~CChildView() override;

    void SetLabelData(CLabelData* label) { m_pLabelData = label; }
    void SetEditStatus(CEditStatus* status) { m_pEditStatus = status; }
    CanvasObjectList& ObjectList() { return m_objects; }
    // Wraps the object in its proxy and puts it on top.
    void AddObject(std::unique_ptr<CBaseGraph> object);
    void OnFontSizeChanged() override {}

    float Zoom() const { return m_fZoom; }
    float ScrollX() const { return m_fScrollX; }
    float ScrollY() const { return m_fScrollY; }
    void SetZoom(float zoom);
    void SetScroll(float x, float y);
    // Zoom and scroll position at once, with one full repaint.
    void SetView(float zoom, float x, float y);

    std::vector<std::unique_ptr<CAlignLine>>& Guides() { return m_guides; }
    CAlignLine* ActiveGuide() const { return m_pActiveGuide; }
    // A new guide line at a client position across its axis, made the active one.
    void BeginGuideDrag(bool horizontal, int position);
    void MoveGuideDrag(int position);
    void EndGuideDrag();

    bool IsModified() const { return m_bModified; }
    void SetModified(bool modified);
    // The parent's caption: the label's name, with " *" while modified.
    void UpdateTitle();

    // Marks the whole frame for repainting.
    void Redraw();
    // Paints the frame of the given client area into the painter (also the back
    // buffer's painter): the whole picture, clipped to the area.
    void RenderFrame(QPainter& painter, const QRect& area);
    const QImage& BackBuffer() const { return m_backBuffer; }
    // Brings the back buffer up to date without waiting for a paint event.
    void Render();

Q_SIGNALS:
    // The cursor's position in client pixels, for the rulers' markers.
    void rulerMarks(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    float GuidePositionMm(bool horizontal, int position) const;
    void DrawLabelShape(QPainter& painter, const QRect& area);
    void DrawGrid(QPainter& painter, const QRect& area, QPoint origin);
    void DrawObjects(QPainter& painter);
    void DrawGuides(QPainter& painter);

    CLabelData* m_pLabelData = nullptr;
    CEditStatus* m_pEditStatus = nullptr;
    CanvasObjectList m_objects;
    std::vector<std::unique_ptr<CAlignLine>> m_guides;
    CAlignLine* m_pActiveGuide = nullptr;
    float m_fZoom = 1.0f;
    float m_fScrollX = 0.0f;
    float m_fScrollY = 0.0f;
    bool m_bModified = false;

    QImage m_backBuffer;
    QRegion m_dirty; // client area the back buffer does not show yet
};
