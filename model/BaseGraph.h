#pragma once

#include <QPainter>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <memory>

class CLabelData;

enum ObjectKind : int32_t {
    KindNone = -1,
    KindBarcode = 0,
    KindText = 1,
    KindLine = 2,
    KindRectangle = 3,
    KindEllipse = 4,
    KindPolygon = 5,
    KindImage = 6,
};

// The point of the box an object turns about; any other value means the centre.
enum AnchorCode : int32_t {
    AnchorTopLeft = 0,
    AnchorTopCenter = 1,
    AnchorTopRight = 2,
    AnchorRightMiddle = 3,
    AnchorBottomRight = 4,
    AnchorBottomCenter = 5,
    AnchorBottomLeft = 6,
    AnchorLeftMiddle = 7,
};

// Base of every object placed on a label. Lengths in millimetres, the angle in
// degrees clockwise on the y-down page, colours 32-bit ARGB (alpha 0: invisible).
class CBaseGraph
{
public:
    CBaseGraph() = default;
    virtual ~CBaseGraph() = default;
    CBaseGraph(const CBaseGraph&) = delete;
    CBaseGraph& operator=(const CBaseGraph&) = delete;

    virtual float GetX() const { return m_fX; }
    virtual void SetX(float x) { m_fX = x; }
    virtual float GetY() const { return m_fY; }
    virtual void SetY(float y) { m_fY = y; }
    virtual float GetWidth() const { return m_fWidth; }
    virtual void SetWidth(float width) { m_fWidth = width; }
    virtual float GetHeight() const { return m_fHeight; }
    virtual void SetHeight(float height) { m_fHeight = height; }
    // Reads the fields, not the virtual getters.
    virtual QPointF GetAnchorPoint() const;
    virtual float GetAngle() const { return m_fAngle; }
    // No two objects are ever the same to the editor.
    virtual bool IsSameAs(const CBaseGraph& other) const;
    // Draws on a painter whose world unit is the millimetre.
    virtual void Draw(QPainter& graphics) const;
    virtual std::unique_ptr<CBaseGraph> Clone() const { return nullptr; }
    // Copies the shared fields; every kind calls this first, then copies its own parts.
    virtual void CopyFrom(const CBaseGraph& source);

    int32_t GetKind() const { return m_nKind; }

    int32_t m_nKind = KindNone;
    QString m_strName;
    QString m_strText;
    float m_fX = 0.0f;
    float m_fY = 0.0f;
    float m_fWidth = 20.0f;
    float m_fHeight = 5.0f;
    float m_fAngle = 0.0f;
    float m_fLineWidth = 0.3f;
    int32_t m_nAnchor = AnchorTopLeft;
    uint32_t m_crText = 0xFF000000u;
    uint32_t m_crFill = 0x00FFFFFFu;  // alpha 0: no fill
    uint32_t m_crSpare = 0xFF000000u; // stored and copied, never drawn
    uint32_t m_crLine = 0xFF000000u;
    bool m_bLocked = false;
    bool m_bNotPrinted = false;
    bool m_bHiddenInPreview = false;
    QString m_strDescription;
    // Not stored in the file:
    float m_fDrawScale = 1.0f;
    float m_fOriginX = 0.0f; // origin of the label cell being drawn
    float m_fOriginY = 0.0f;
    // Dots per inch of the output the object is drawn for: 0 the device's own
    // pixels, below 0 exact millimetres (barcodes lay their bars on these dots).
    float m_fOutputDpi = 0.0f;

    // The record that holds this object; neither stored nor copied.
    CLabelData* m_pLabelData = nullptr;
};

// The drawing frame every kind draws in: moves to the label cell's origin and, when
// the object is turned, rotates about its anchor. Restores the painter's world
// transform when it goes out of scope.
class CDrawFrame
{
public:
    CDrawFrame(const CBaseGraph& object, QPainter& graphics);
    ~CDrawFrame();
    CDrawFrame(const CDrawFrame&) = delete;
    CDrawFrame& operator=(const CDrawFrame&) = delete;

    // The object's box in the frame's coordinates.
    const QRectF& Box() const { return m_box; }

private:
    QPainter& m_graphics;
    QTransform m_saved;
    QRectF m_box;
};

// Single-precision pi, as the editor's rotation code has always used.
constexpr double kPiF = 3.1415927410125732;

QPointF RotatePoint(float angle, QPointF point, QPointF center);
QPoint RotatePointInt(float angle, QPoint point, QPoint center);
// Degrees in [0, 360), growing clockwise from the positive x axis (y down).
float GetLineAngle(int x1, int y1, int x2, int y2);
