#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

// Thickness of the rulers in pixels.
constexpr int kRulerSize = 24;

// One graduation mark: its position in ruler pixels, the depth across the ruler
// where it starts (it runs to the edge at 24), and the millimetre number drawn with
// long marks.
struct RulerTick
{
    int position = 0;
    int depth = 0;
    bool numbered = false;
    int millimetres = 0;
};

// The marks a ruler of the given length shows at a zoom and scroll position along an
// axis of dpi dots per inch; numbers count millimetres from the label's edge.
std::vector<RulerTick> RulerTicks(float zoom, int scroll, int length, int dpi);

// A millimetre ruler along one edge of the canvas. It follows the document window's
// zoom and scroll position, shows a marker at the mouse position on the canvas and
// starts the drag of a new guide line when the mouse is pulled out of it onto the
// canvas. The horizontal one offers a strip that brings a lost label back into view.
class CRuler : public QWidget
{
    Q_OBJECT
public:
    CRuler(bool horizontal, QWidget* parent);

    void SetZoom(float zoom);
    void SetScrollPos(int position);
    int ScrollPos() const { return m_nScrollPos; }
    float Zoom() const { return m_fZoom; }
    // Cursor position along the ruler in canvas client pixels; redraws only the marker.
    void SetMarker(int position);
    int Marker() const { return m_nMarker; }
    void SetFindLabel(bool shown);
    bool FindLabelShown() const { return m_bFindLabel; }
    const QImage& BackBuffer();

Q_SIGNALS:
    void recenterLabel();
    // Position across the line in canvas client pixels.
    void beginGuideDrag(bool horizontal, int position);
    void guideDragMove(int position);
    void guideDragEnd(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Repaint();
    void DrawBuffer();
    QRect StripRect() const;

    const bool m_bHorizontal;
    float m_fZoom = 1.0f;
    int m_nScrollPos = 0;
    int m_nMarker = 0;
    bool m_bFindLabel = false;
    bool m_bStripPressed = false;
    bool m_bArmed = false;
    bool m_bDragging = false; // a guide drag started here and follows this ruler's mouse
    bool m_bBufferValid = false;
    QImage m_backBuffer;
};

class CHorzRuler : public CRuler
{
    Q_OBJECT
public:
    explicit CHorzRuler(QWidget* parent = nullptr) : CRuler(true, parent) {}
};

class CVertRuler : public CRuler
{
    Q_OBJECT
public:
    explicit CVertRuler(QWidget* parent = nullptr) : CRuler(false, parent) {}
};

// The square between the two rulers.
class CUnitButton : public QWidget
{
    Q_OBJECT
public:
    explicit CUnitButton(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The square between the two scroll bars.
class CCornerButton : public QWidget
{
    Q_OBJECT
public:
    explicit CCornerButton(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};
