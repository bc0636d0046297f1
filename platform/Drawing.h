#pragma once

#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <array>
#include <cstdint>
#include <span>

// The drawing layer every label object, barcode text line, page header and canvas
// draws through. Its world unit is the millimetre; font sizes are points, the same
// physical size on screen, in a PDF and on paper whatever the device resolution.

// ---- Millimetre world -------------------------------------------------------

// Replaces the painter's world transform by one that maps millimetres to device
// pixels at dpiX by dpiY dots per inch. Nothing else of the painter changes.
void SetMillimetreWorld(QPainter& painter, double dpiX, double dpiY);
// The same at the device's own resolution: an image at its dots per metre, a printer
// or PDF writer at its resolution.
void SetMillimetreWorld(QPainter& painter);
// The screen at a zoom (1.0 is actual size), from the screen resolution read at
// start-up.
void SetScreenMillimetreWorld(QPainter& painter, double zoom);

// The device pixels a box of `size`, in the painter's current coordinates, covers
// across and down (turned or not), each rounded up: the size a picture drawn into
// the box needs. At least 1 x 1, at most 65,536 each way.
QSize DevicePixels(const QPainter& painter, QSizeF size);

// A transparent image of the given size in millimetres at dpi, with its resolution
// recorded so that SetMillimetreWorld(painter) finds it.
QImage MakeImageAtDpi(double widthMm, double heightMm, double dpi,
                      QImage::Format format = QImage::Format_ARGB32_Premultiplied);

constexpr double kMmPerInch = 25.4;

// ---- Colours, pens, brushes -------------------------------------------------

// Model colours are 32-bit ARGB, the layout of QRgb.
inline QColor ArgbToColor(uint32_t argb) { return QColor::fromRgba(argb); }
inline bool IsVisibleArgb(uint32_t argb) { return (argb >> 24) != 0; }

// Dash style codes stored in label files.
enum DashStyle : int32_t {
    DashStyleSolid = 0,
    DashStyleDash = 1,
    DashStyleDot = 2,
    DashStyleDashDot = 3,
    DashStyleDashDotDot = 4,
};

// A pen of widthMm world units: dashes measured in pen widths (3-1, 1-1, 3-1-1-1,
// 3-1-1-1-1-1), flat caps and mitred joins; an unknown style is solid.
QPen MakePen(uint32_t argb, float widthMm, int32_t dashStyle = DashStyleSolid);

// Outlines a path with the pen. On raster devices curves are first flattened at the
// device's resolution, which strokes many times faster than stroking the curves
// themselves and looks the same; vector devices (PDF, printers) keep the curves.
void StrokePath(QPainter& painter, const QPainterPath& path, const QPen& pen);

// Hatch style codes stored in label files, 0 to 52.
enum HatchStyle : int32_t {
    HatchStyleHorizontal = 0,
    HatchStyleVertical,
    HatchStyleForwardDiagonal,
    HatchStyleBackwardDiagonal,
    HatchStyleCross,
    HatchStyleDiagonalCross,
    HatchStyle05Percent,
    HatchStyle10Percent,
    HatchStyle20Percent,
    HatchStyle25Percent,
    HatchStyle30Percent,
    HatchStyle40Percent,
    HatchStyle50Percent,
    HatchStyle60Percent,
    HatchStyle70Percent,
    HatchStyle75Percent,
    HatchStyle80Percent,
    HatchStyle90Percent,
    HatchStyleLightDownwardDiagonal,
    HatchStyleLightUpwardDiagonal,
    HatchStyleDarkDownwardDiagonal,
    HatchStyleDarkUpwardDiagonal,
    HatchStyleWideDownwardDiagonal,
    HatchStyleWideUpwardDiagonal,
    HatchStyleLightVertical,
    HatchStyleLightHorizontal,
    HatchStyleNarrowVertical,
    HatchStyleNarrowHorizontal,
    HatchStyleDarkVertical,
    HatchStyleDarkHorizontal,
    HatchStyleDashedDownwardDiagonal,
    HatchStyleDashedUpwardDiagonal,
    HatchStyleDashedHorizontal,
    HatchStyleDashedVertical,
    HatchStyleSmallConfetti,
    HatchStyleLargeConfetti,
    HatchStyleZigZag,
    HatchStyleWave,
    HatchStyleDiagonalBrick,
    HatchStyleHorizontalBrick,
    HatchStyleWeave,
    HatchStylePlaid,
    HatchStyleDivot,
    HatchStyleDottedGrid,
    HatchStyleDottedDiamond,
    HatchStyleShingle,
    HatchStyleTrellis,
    HatchStyleSphere,
    HatchStyleSmallGrid,
    HatchStyleSmallCheckerBoard,
    HatchStyleLargeCheckerBoard,
    HatchStyleOutlinedDiamond,
    HatchStyleSolidDiamond,
    HatchStyleCount,
    HatchStyleLargeGrid = HatchStyleCross,
    HatchStyleMin = HatchStyleHorizontal,
    HatchStyleMax = HatchStyleSolidDiamond,
};

// The 8x8 cell of a hatch style: row r, bit 7 - c set means the pixel (c, r) takes
// the fore colour. All zero for an unknown style.
std::array<uint8_t, 8> HatchPattern(int32_t hatchStyle);

// One hatch pixel is about a pixel of a 96-dpi screen at actual size (rounded to
// whole device pixels), so a hatch looks the same on screen, in a PDF and on paper.
constexpr double kHatchPixelMm = 25.4 / 96.0;

// A brush that repeats the style's 8x8 cell in fore and back colours, sized for the
// painter's current world (millimetres). Qt::NoBrush for an unknown style.
QBrush MakeHatchBrush(const QPainter& painter, int32_t hatchStyle, uint32_t foreArgb, uint32_t backArgb);

// Linear gradient fill of a box, by the stored gradient code: 1 to 4 run from
// colour 1 to colour 2 top to bottom, left to right, top-left to bottom-right and
// top-right to bottom-left; 5 to 8 the same with the colours exchanged. The
// diagonals keep their isolines through the other two corners, whatever the box's
// proportions. Qt::NoBrush for any other code.
QBrush MakeGradientBrush(int32_t gradient, uint32_t color1, uint32_t color2, const QRectF& box);

// ---- Text -------------------------------------------------------------------

// Font style bits as stored with text objects and barcode settings.
enum FontStyleBits : int32_t {
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

// A font of pointSize points. A family that is not installed is replaced by the
// fontconfig best match (Arial by Liberation Sans); text is never drawn as nothing.
QFont MakeFont(const QString& family, float pointSize, int32_t styleBits = 0);
QFont MakeFont(const QString& family, float pointSize, bool bold, bool italic, bool underline, bool strikeout);
inline int32_t FontStyle(bool bold, bool italic, bool underline, bool strikeout)
{
    return (bold ? FontStyleBold : 0) | (italic ? FontStyleItalic : 0) | (underline ? FontStyleUnderline : 0)
         | (strikeout ? FontStyleStrikeout : 0);
}

// How a text is laid out in its box.
struct TextFormat
{
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool wrap = false;       // break lines at the box width (column height when vertical)
    bool clip = false;       // cut what leaves the box
    bool vertical = false;   // characters upright, stacked in columns
    bool rightToLeft = false; // vertical only: columns run from right to left
};

// Font measures in millimetres: ascent, descent, their sum (the height of a line)
// and the distance between baselines.
struct FontMetricsMm
{
    double ascent = 0;
    double descent = 0;
    double height = 0;
    double lineSpacing = 0;
};
FontMetricsMm MeasureFont(const QFont& font);

// Width and height in millimetres of the text laid out without a box: lines end only
// at line breaks; the width is the widest line's advance, the height one line spacing
// per line. The same on every device.
QSizeF MeasureText(const QFont& font, const QString& text);
// Advance width in millimetres of a single line.
double MeasureTextWidth(const QFont& font, const QString& text);

// A text's measure kept by one who asks for the same text again and again (the canvas
// bounding every object on each repaint): measured again only when the font's
// settings or the text changed. widthOnly: MeasureTextWidth, the height 0.
class KeptTextMeasure
{
public:
    QSizeF Measure(const QString& family, float pointSize, int32_t styleBits, const QString& text, bool widthOnly);

private:
    QString m_family;
    float m_pointSize = -1.0f;
    int32_t m_styleBits = 0;
    bool m_widthOnly = false;
    QString m_text;
    QSizeF m_size;
};

// Draws text in a box given in the painter's millimetre world, with the painter's
// current transform (rotation, scaling) applied on top.
void DrawText(QPainter& painter, const QString& text, const QFont& font, const QRectF& box,
              const QBrush& brush, const TextFormat& format = {});
inline void DrawText(QPainter& painter, const QString& text, const QFont& font, const QRectF& box,
                     uint32_t argb, const TextFormat& format = {})
{
    DrawText(painter, text, font, box, QBrush(ArgbToColor(argb)), format);
}

// Many texts in one font and brush, the painter's set-up paid once: for text drawn
// piece by piece. Boxes are in the millimetre world the painter had when this was
// made; the painter's transform must not change while it lives.
class TextPainter
{
public:
    TextPainter(QPainter& painter, const QFont& font, const QBrush& brush);
    ~TextPainter();
    TextPainter(const TextPainter&) = delete;
    TextPainter& operator=(const TextPainter&) = delete;

    void Draw(const QString& text, const QRectF& box, const TextFormat& format = {});
    // Texts of one line each, each laid out alone and placed in its own box as Draw
    // places it with the alignment (no wrapping, no clipping), drawn as one text item
    // per font the glyphs need: a line placed character by character (a barcode's
    // digits, spaced text) is one item in a PDF, not one per character.
    void DrawEach(std::span<const QString> texts, std::span<const QRectF> boxes,
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop);
    // MeasureTextWidth in this painter's font.
    double Width(const QString& text) const;

private:
    QPainter& m_painter;
    QFont m_font;
    bool m_active;
    QTransform m_saved;
    QPen m_savedPen;
};
