#pragma once

#include "model/BaseGraph.h"
#include "platform/Drawing.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class CLabelData;

// What a proxy needs from the canvas that holds it. The canvas implements it; tests
// use a fake.
class CProxyCanvas
{
public:
    virtual ~CProxyCanvas() = default;
    // A text proxy changed its object's font size; the document window refreshes the
    // size shown in its format bar.
    virtual void OnFontSizeChanged() = 0;
};

// Cursor codes answered by HitTest.
enum ProxyCursor : int {
    ProxyCursorNone = 0,
    ProxyCursorSizeNS = 2,
    ProxyCursorSizeWE = 3,
    ProxyCursorSizeNESW = 4,
    ProxyCursorSizeNWSE = 5,
    ProxyCursorRotate = 7,
};

constexpr int kHandleCount = 8;
constexpr int kHandleSize = 7;
// Pixel-to-millimetre conversions of the editor divide by the single-precision 25.4.
constexpr double kMmPerInchF = 25.399999618530273;

// Geometry edits are cut to 0.01 mm toward zero.
float TruncateToHundredths(float value);
// A length or a coordinate within the bound of a label's lengths.
bool IsWithinLengthBound(double value);

// The editor's view of one label object on the canvas: measures it in pixels, draws
// its selection outline and handles, hit-tests, and moves, resizes and turns it
// from mouse points. One subclass per object kind. The proxy owns its object.
//
// Units: label pixels are mm x DPI / 25.4 from the label's top-left corner;
// zoomed label pixels are those times the zoom; client pixels are zoomed label
// pixels + label origin - scroll. Drawing calls take a painter in client pixels.
class CBaseProxy
{
public:
    explicit CBaseProxy(std::unique_ptr<CBaseGraph> object = nullptr);
    virtual ~CBaseProxy();
    CBaseProxy(const CBaseProxy&) = delete;
    CBaseProxy& operator=(const CBaseProxy&) = delete;

    CBaseGraph* GetObject() const { return m_pObject.get(); }
    // Hands the object over; the proxy is empty afterwards.
    std::unique_ptr<CBaseGraph> ReleaseObject() { return std::move(m_pObject); }
    void SetObject(std::unique_ptr<CBaseGraph> object) { m_pObject = std::move(object); }

    // Stored by the canvas before every drawing call.
    void SetViewState(float zoom, QPoint labelOrigin, QPoint scroll);

    virtual int GetLeftPixels() const;
    virtual int GetTopPixels() const;
    virtual int GetWidthPixels() const;
    virtual int GetHeightPixels() const;
    // Bounds in mm; for a turned object, those of its corners turned about the anchor.
    virtual float GetLeft() const;
    virtual float GetTop() const;
    virtual float GetWidth() const;
    virtual float GetHeight() const;
    virtual void SetWidth(float width);
    virtual void SetHeight(float height);
    virtual void SetPosition(float x, float y);
    virtual void SetSize(float width, float height);
    virtual void GetOutlinePoints(std::vector<QPointF>& points) const;
    virtual float GetAngle() const;
    virtual QPointF GetBoxAnchorPoint(int left, int top, int width, int height) const;
    virtual QPointF GetAnchorPoint() const;
    virtual QPointF GetAnchorPointPixels() const;

    // Draws the wrapped object at the stored zoom and scroll.
    void DrawObject(QPainter& graphics) const;
    virtual void DrawOutline(QPainter& graphics, bool current, const QPen* pen) const;
    // Both outlines: an object bound to data shows a red dashed outline at all times
    // in place of its selection outline.
    virtual void DrawSelectionOutline(QPainter& graphics, bool current) const;
    virtual void DrawOverlay(QPainter& graphics) const;
    virtual bool IsDataBound() const { return false; }
    virtual void DrawHandles(QPainter& graphics, bool current, bool rotate);
    // Handle under a point (zoomed label pixels): -1 when none.
    virtual void HitTestHandle(QPoint point, bool rotate, int& handle, bool& rotating) const;
    virtual void DrawMoveTracker(QPainter& graphics, QPoint from, QPoint to) const;
    virtual void DrawSizeTracker(QPainter& graphics, int handle, QPoint from, QPoint to) const;
    // Cursor code (ProxyCursor) for a point in zoomed label pixels.
    virtual int HitTest(QPoint point, bool rotate);
    virtual void MoveBy(QPoint from, QPoint to, bool fromSaved);
    virtual void SizeBy(QPoint from, QPoint to, bool fromSaved, int handle);
    virtual void RotateAbout(QPoint centre, QPoint from, QPoint to, bool fromSaved);
    virtual void RotateBy(QPoint from, QPoint to, bool fromSaved);
    // Point in label pixels.
    virtual bool HitTestBody(QPoint point) const;
    // Rectangle in label pixels; true when it holds the whole object.
    virtual bool IntersectsRect(const QRect& rect) const;
    virtual bool CanRotate() const { return false; }
    // Whether the numbers a drag changes lie within the bounds a label file holds
    // (model/LabelLimits.h), as the dialogs take them and the reader keeps them.
    virtual bool WithinBounds() const;
    virtual void SaveGeometry();
    virtual std::unique_ptr<CBaseProxy> Clone() const = 0;
    // Copies this proxy's object into the target's object.
    void CopyFrom(CBaseProxy& target) const;
    virtual QString GetName() const;
    virtual QString GetStatusText() const;
    virtual QString GetSizeText() const;
    virtual void GetStatusPanes(QString& name, QString& position, QString& size) const;
    void GetNameAndStatus(QString& name, QString& position) const;

    const QRect& GetHandleRect(int handle) const { return m_handles[handle]; }
    bool IsHandleEnabled(int handle) const { return m_handleEnabled[handle]; }
    void EnableHandles(bool enabled) { m_handleEnabled.fill(enabled); }

    // Set by SizeBy for the handle dragged.
    bool m_bWidthChanged = false;
    bool m_bHeightChanged = false;
    bool m_bXChanged = false;
    bool m_bYChanged = false;

    float m_fZoom = 1.0f;
    QPoint m_labelOrigin;
    QPoint m_scroll;
    CProxyCanvas* m_pCanvas = nullptr;
    CLabelData* m_pLabel = nullptr;
    // What the canvas measured of the object's text when it last bounded the object
    // for a repaint.
    mutable KeptTextMeasure m_keptText;

protected:
    // Subclasses' Clone: a proxy of the same class with a copy of the object.
    template <class P>
    std::unique_ptr<CBaseProxy> CloneAs() const
    {
        return std::make_unique<P>(m_pObject ? m_pObject->Clone() : nullptr);
    }
    // The shape the move and size trackers draw in their box.
    virtual void DrawTrackerBox(QPainter& graphics, const QRect& box) const;
    bool SnapOn() const;
    // Mouse displacement to millimetres at the stored zoom.
    QPointF DisplacementMm(QPoint from, QPoint to) const;
    // Client-pixel position of the label's top-left corner.
    QPoint ClientOrigin() const { return m_labelOrigin - m_scroll; }
    // The displacement of two client points measured along the object's own axes,
    // turned about A (zoomed label pixels).
    QPoint TurnedDisplacement(QPoint from, QPoint to, QPointF a) const;

    std::unique_ptr<CBaseGraph> m_pObject;
    float m_fSavedX = 0.0f;
    float m_fSavedY = 0.0f;
    float m_fSavedWidth = 0.0f;
    float m_fSavedHeight = 0.0f;
    float m_fSavedAngle = 0.0f;
    std::array<QRect, kHandleCount> m_handles;
    std::array<bool, kHandleCount> m_handleEnabled;
};

// The proxy for an object by its kind, owning it; null for an unknown kind.
std::unique_ptr<CBaseProxy> CreateProxy(std::unique_ptr<CBaseGraph> object);

// Drags objects with the mouse from `from` to `to`: apply(point, fromSaved) sets each as
// the drag to that point leaves it. Where that would carry a number of one of them past
// the bounds a label file holds, the drag stops short, from the geometry saved at its
// start: each axis of the mouse goes as far as it can, as a symbol's module stops at the
// largest symbol. Objects past the bounds before the drag do not hold it back.
void DragWithinBounds(const std::vector<CBaseProxy*>& proxies, QPoint from, QPoint to, bool fromSaved,
                      const std::function<void(QPoint, bool)>& apply);

// Shared geometry helpers.
int TruncToInt(double value);
// Handle centre i of a box, clockwise from the top-left corner; 8 and above: the centre.
QPointF BoxHandlePoint(int handle, float left, float top, float width, float height);
// The edges of the box a handle moves.
bool MovesLeft(int handle);
bool MovesTop(int handle);
bool MovesRight(int handle);
bool MovesBottom(int handle);
// Applies the handle rule to a box and flips a negative width or height.
void ApplyHandleRule(int handle, int dx, int dy, int& left, int& top, int& width, int& height);
// Cursor code of a handle of an object turned by angle; -1: no code.
int HandleCursor(int handle, float angle);
float NormaliseAngle(double angle);
