#include "platform/Drawing.h"

#include "platform/ScreenDpi.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QRawFont>
#include <QTextLayout>
#include <QThread>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>

// ---- Millimetre world -------------------------------------------------------

void SetMillimetreWorld(QPainter& painter, double dpiX, double dpiY)
{
    painter.setWorldTransform(QTransform::fromScale(dpiX / kMmPerInch, dpiY / kMmPerInch));
}

void SetMillimetreWorld(QPainter& painter)
{
    const QPaintDevice* device = painter.device();
    if (!device)
        return;
    SetMillimetreWorld(painter, device->logicalDpiX(), device->logicalDpiY());
}

void SetScreenMillimetreWorld(QPainter& painter, double zoom)
{
    SetMillimetreWorld(painter, g_nScreenDpiX * zoom, g_nScreenDpiY * zoom);
}

QImage MakeImageAtDpi(double widthMm, double heightMm, double dpi, QImage::Format format)
{
    const int width = std::max(1, static_cast<int>(std::lround(widthMm * dpi / kMmPerInch)));
    const int height = std::max(1, static_cast<int>(std::lround(heightMm * dpi / kMmPerInch)));
    QImage image(width, height, format);
    image.fill(Qt::transparent);
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

// ---- Pens -------------------------------------------------------------------

QPen MakePen(uint32_t argb, float widthMm, int32_t dashStyle)
{
    QPen pen(ArgbToColor(argb), widthMm, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    switch (dashStyle) {
    case DashStyleDash: pen.setDashPattern({3, 1}); break;
    case DashStyleDot: pen.setDashPattern({1, 1}); break;
    case DashStyleDashDot: pen.setDashPattern({3, 1, 1, 1}); break;
    case DashStyleDashDotDot: pen.setDashPattern({3, 1, 1, 1, 1, 1}); break;
    default: break;
    }
    return pen;
}

void StrokePath(QPainter& painter, const QPainterPath& path, const QPen& pen)
{
    const QPen savedPen = painter.pen();
    const QBrush savedBrush = painter.brush();
    painter.setBrush(Qt::NoBrush);
    const QPaintEngine* engine = painter.paintEngine();
    const QTransform world = painter.worldTransform();
    if (!engine || engine->type() != QPaintEngine::Raster || !world.isAffine()) {
        painter.setPen(pen);
        painter.drawPath(path);
    } else {
        // Pen widths and dashes scale with the world; a shear has no single factor,
        // but label drawing only scales, turns and moves.
        QPen devicePen = pen;
        devicePen.setWidthF(pen.widthF() * std::sqrt(std::abs(world.determinant())));
        painter.setPen(devicePen);
        painter.setWorldTransform(QTransform());
        for (const QPolygonF& polygon : world.map(path).toSubpathPolygons()) {
            if (polygon.size() > 2 && polygon.isClosed())
                painter.drawPolygon(polygon.constData(), static_cast<int>(polygon.size() - 1));
            else
                painter.drawPolyline(polygon);
        }
        painter.setWorldTransform(world);
    }
    painter.setPen(savedPen);
    painter.setBrush(savedBrush);
}

// ---- Hatches ----------------------------------------------------------------

namespace {

using PatternCell = std::array<uint8_t, 8>;

constexpr uint8_t RotateRight(uint8_t bits, int n)
{
    n &= 7;
    return static_cast<uint8_t>((bits >> n) | (bits << ((8 - n) & 7)));
}

constexpr uint8_t RotateLeft(uint8_t bits, int n)
{
    return RotateRight(bits, 8 - (n & 7));
}

// A line pattern that moves one pixel right (down-right slant) or left (up-right
// slant) per row.
constexpr PatternCell Slanted(uint8_t first, bool downward)
{
    PatternCell cell{};
    for (int r = 0; r < 8; ++r)
        cell[r] = downward ? RotateRight(first, r) : RotateLeft(first, r);
    return cell;
}

constexpr PatternCell Repeat(uint8_t bits)
{
    return {bits, bits, bits, bits, bits, bits, bits, bits};
}

// Ordered-dither thresholds: a percent style sets the pixels whose threshold lies
// below its share of the 64 pixels, so each density contains the lighter ones.
constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

constexpr PatternCell Percent(int percent)
{
    const int count = (percent * 64 + 50) / 100;
    PatternCell cell{};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            if (kBayer[r][c] < count)
                cell[r] = static_cast<uint8_t>(cell[r] | (0x80 >> c));
    return cell;
}

constexpr std::array<PatternCell, HatchStyleCount> kHatches = {{
    {0xFF, 0, 0, 0, 0, 0, 0, 0},                           // Horizontal
    Repeat(0x80),                                          // Vertical
    Slanted(0x80, true),                                   // ForwardDiagonal
    Slanted(0x01, false),                                  // BackwardDiagonal
    {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},      // Cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},      // DiagonalCross
    Percent(5), Percent(10), Percent(20), Percent(25), Percent(30), Percent(40),
    Percent(50), Percent(60), Percent(70), Percent(75), Percent(80), Percent(90),
    Slanted(0x88, true),                                   // LightDownwardDiagonal
    Slanted(0x88, false),                                  // LightUpwardDiagonal
    Slanted(0xCC, true),                                   // DarkDownwardDiagonal
    Slanted(0xCC, false),                                  // DarkUpwardDiagonal
    Slanted(0xE0, true),                                   // WideDownwardDiagonal
    Slanted(0xE0, false),                                  // WideUpwardDiagonal
    Repeat(0x88),                                          // LightVertical
    {0xFF, 0, 0, 0, 0xFF, 0, 0, 0},                        // LightHorizontal
    Repeat(0xAA),                                          // NarrowVertical
    {0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0},                  // NarrowHorizontal
    Repeat(0xCC),                                          // DarkVertical
    {0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0},                  // DarkHorizontal
    {0x88, 0x44, 0x22, 0x11, 0, 0, 0, 0},                  // DashedDownwardDiagonal
    {0x11, 0x22, 0x44, 0x88, 0, 0, 0, 0},                  // DashedUpwardDiagonal
    {0xF0, 0, 0, 0, 0x0F, 0, 0, 0},                        // DashedHorizontal
    {0x80, 0x80, 0x80, 0x80, 0x08, 0x08, 0x08, 0x08},      // DashedVertical
    {0x80, 0x08, 0x40, 0x02, 0x10, 0x01, 0x20, 0x04},      // SmallConfetti
    {0xC0, 0xC0, 0x0C, 0x0C, 0x30, 0x30, 0x03, 0x03},      // LargeConfetti
    {0x81, 0x42, 0x24, 0x18, 0, 0, 0, 0},                  // ZigZag
    {0, 0, 0x70, 0x88, 0x07, 0, 0, 0},                     // Wave
    {0x01, 0x02, 0x04, 0x08, 0x18, 0x24, 0x42, 0x81},      // DiagonalBrick
    {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08},      // HorizontalBrick
    {0x88, 0x54, 0x22, 0x45, 0x88, 0x14, 0x22, 0x51},      // Weave
    {0xAA, 0x55, 0xAA, 0x55, 0xF0, 0xF0, 0xF0, 0xF0},      // Plaid
    {0, 0x20, 0x10, 0x20, 0, 0x04, 0x08, 0x04},            // Divot
    {0xAA, 0, 0x80, 0, 0x80, 0, 0x80, 0},                  // DottedGrid
    {0x80, 0, 0x22, 0, 0x08, 0, 0x22, 0},                  // DottedDiamond
    {0x03, 0x04, 0x08, 0x08, 0x0C, 0x12, 0x21, 0xC0},      // Shingle
    {0xFF, 0x66, 0xFF, 0x99, 0xFF, 0x66, 0xFF, 0x99},      // Trellis
    {0x77, 0x89, 0x8F, 0x8F, 0x77, 0x98, 0xF8, 0xF8},      // Sphere
    {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88},      // SmallGrid
    {0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33},      // SmallCheckerBoard
    {0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F},      // LargeCheckerBoard
    {0x41, 0x22, 0x14, 0x08, 0x14, 0x22, 0x41, 0x80},      // OutlinedDiamond
    {0x10, 0x38, 0x7C, 0xFE, 0x7C, 0x38, 0x10, 0},         // SolidDiamond
}};

} // namespace

std::array<uint8_t, 8> HatchPattern(int32_t hatchStyle)
{
    if (hatchStyle < 0 || hatchStyle >= HatchStyleCount)
        return {};
    return kHatches[static_cast<size_t>(hatchStyle)];
}

QBrush MakeHatchBrush(const QPainter& painter, int32_t hatchStyle, uint32_t foreArgb, uint32_t backArgb)
{
    if (hatchStyle < 0 || hatchStyle >= HatchStyleCount)
        return Qt::NoBrush;
    // The cell is drawn in whole device pixels and the brush undoes the world's
    // scale, so the pattern stays crisp and an unturned fill needs no resampling.
    const double devicePerMm = std::sqrt(std::abs(painter.worldTransform().determinant()));
    const int scale = std::clamp(static_cast<int>(std::lround(devicePerMm * kHatchPixelMm)), 1, 64);
    const PatternCell& cell = kHatches[static_cast<size_t>(hatchStyle)];
    QImage texture(8 * scale, 8 * scale, QImage::Format_ARGB32_Premultiplied);
    const QRgb fore = qPremultiply(foreArgb);
    const QRgb back = qPremultiply(backArgb);
    for (int y = 0; y < texture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(texture.scanLine(y));
        const uint8_t bits = cell[static_cast<size_t>(y / scale)];
        for (int x = 0; x < texture.width(); ++x)
            line[x] = (bits & (0x80 >> (x / scale))) ? fore : back;
    }
    QBrush brush(texture);
    const double unit = devicePerMm > 0 ? 1.0 / devicePerMm : kHatchPixelMm / scale;
    brush.setTransform(QTransform::fromScale(unit, unit));
    return brush;
}

// ---- Gradients --------------------------------------------------------------

QBrush MakeGradientBrush(int32_t gradient, uint32_t color1, uint32_t color2, const QRectF& box)
{
    if (gradient < 1 || gradient > 8)
        return Qt::NoBrush;
    // Laid out in the unit square and stretched onto the box.
    static constexpr QPointF kEnds[4][2] = {
        {{0, 0}, {0, 1}}, // vertical
        {{0, 0}, {1, 0}}, // horizontal
        {{0, 0}, {1, 1}}, // forward diagonal
        {{1, 0}, {0, 1}}, // backward diagonal
    };
    const int mode = (gradient - 1) % 4;
    const bool exchanged = gradient > 4;
    QLinearGradient linear(kEnds[mode][0], kEnds[mode][1]);
    linear.setColorAt(0, ArgbToColor(exchanged ? color2 : color1));
    linear.setColorAt(1, ArgbToColor(exchanged ? color1 : color2));
    linear.setSpread(QGradient::PadSpread);
    QBrush brush(linear);
    brush.setTransform(QTransform(box.width(), 0, 0, box.height(), box.x(), box.y()));
    return brush;
}

// ---- Text -------------------------------------------------------------------

namespace {

// Text is laid out as if on a device of this resolution, whatever the real one, so
// measurements and line breaks are the same everywhere; the painter's world then
// scales the result to the device.
constexpr double kLayoutDpi = 1200.0;
constexpr double kLayoutUnitMm = kMmPerInch / kLayoutDpi;

const QPaintDevice* LayoutDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMetre = static_cast<int>(std::lround(kLayoutDpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return &device;
}

// A text shaped and broken into lines, in layout units.
struct LaidOutLine
{
    double width = 0; // advance of the line, trailing spaces included
    QList<QGlyphRun> runs;
};

struct LaidOutText
{
    std::vector<LaidOutLine> lines;
    double width = 0;
    double height = 0;
    double lineHeight = 0;
    size_t bytes = 0; // about what it holds in memory, its key's text included
};

// A text's key, hashed once: a lookup goes through up to three tables, and hashing a
// font is not cheap.
struct LayoutKey
{
    LayoutKey(const QFont& f, const QString& t, double w)
        : font(f), text(t), wrapWidth(w), hash(qHashMulti(0, f, t, w))
    {
    }
    QFont font;
    QString text;
    double wrapWidth; // below 0: lines end only at line breaks
    size_t hash;
    bool operator==(const LayoutKey& other) const
    {
        return hash == other.hash && wrapWidth == other.wrapWidth && text == other.text && font == other.font;
    }
};

size_t qHash(const LayoutKey& key, size_t seed = 0)
{
    return key.hash ^ seed;
}

// The text as a layout takes it: line breaks as line separators.
QString LineSeparated(const QString& text)
{
    QString prepared = text;
    prepared.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    prepared.replace(u'\n', QChar::LineSeparator);
    return prepared;
}

// Lays a layout of LineSeparated text out in lines as every text is laid out here;
// returns the height of its lines.
double LayOutLines(QTextLayout& layout, double wrapWidth, double lineHeight)
{
    QTextOption option;
    option.setWrapMode(wrapWidth >= 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(wrapWidth >= 0 ? wrapWidth : 1e7);
        line.setPosition(QPointF(0, y));
        y += lineHeight; // QTextLine rounds its height up to whole units
    }
    layout.endLayout();
    return y;
}

LaidOutText Shape(const QFont& font, const QString& text, double wrapWidth)
{
    QTextLayout layout(LineSeparated(text), font, LayoutDevice());
    LaidOutText result;
    result.lineHeight = QFontMetricsF(font, LayoutDevice()).lineSpacing();
    result.height = LayOutLines(layout, wrapWidth, result.lineHeight);
    result.bytes = sizeof(LayoutKey) + sizeof(LaidOutText) + 2 * size_t(text.size()) + 64;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        LaidOutLine out;
        out.width = line.naturalTextWidth();
        out.runs = line.glyphRuns();
        result.width = std::max(result.width, out.width);
        result.bytes += sizeof(LaidOutLine);
        for (const QGlyphRun& run : out.runs)
            result.bytes += 128 + size_t(run.glyphIndexes().size()) * (sizeof(quint32) + sizeof(QPointF));
        result.lines.push_back(std::move(out));
    }
    return result;
}

// Shape's width alone: the same lines, without their glyph runs.
double ShapeWidth(const QFont& font, const QString& text)
{
    QTextLayout layout(LineSeparated(text), font, LayoutDevice());
    LayOutLines(layout, -1, QFontMetricsF(font, LayoutDevice()).lineSpacing());
    double width = 0;
    for (int i = 0; i < layout.lineCount(); ++i)
        width = std::max(width, layout.lineAt(i).naturalTextWidth());
    return width;
}

// Shaped texts in two generations: lookups look in both and bring what they find
// into the recent one; when the recent one holds its share of memory, it becomes the
// older and the older is dropped. Texts drawn on every label (captions, names that
// repeat) stay while a stream of texts seen once (serial numbers) passes through.
struct LayoutCache
{
    QHash<LayoutKey, LaidOutText> recent;
    QHash<LayoutKey, LaidOutText> older;
    size_t recentBytes = 0;
    // Widths of texts measured but not drawn whole (a barcode's digits are drawn one
    // by one), emptied when full.
    QHash<LayoutKey, double> widths;

    void clear()
    {
        recent.clear();
        older.clear();
        recentBytes = 0;
        widths.clear();
    }
};
constexpr qsizetype kMeasuredWidths = 4096;
constexpr size_t kLayoutGenerationBytes = size_t(2) << 20;

struct FontSpec
{
    QString family;
    float pointSize;
    int32_t styleBits;
    bool operator==(const FontSpec&) const = default;
};

size_t qHash(const FontSpec& spec, size_t seed = 0)
{
    return qHashMulti(seed, spec.family, spec.pointSize, spec.styleBits);
}

void ClearMainThreadLayoutCache();

// Shaping is the dear part of drawing text and labels draw the same texts again
// and again, so shaped texts are kept, per thread, for print, preview, export and
// the screen alike, in bounded memory. The glyph runs hold font engines, so the main thread's cache is emptied while
// the application still stands.
LayoutCache& Cache()
{
    thread_local LayoutCache cache;
    thread_local bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        const QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() == app->thread()) {
            qAddPostRoutine(ClearMainThreadLayoutCache);
            cleanupRegistered = true;
        }
    }
    return cache;
}

// Fonts by the settings they were made from (MakeFont), per thread like the
// shaped texts, and emptied with them.
QHash<FontSpec, QFont>& Fonts()
{
    thread_local QHash<FontSpec, QFont> fonts;
    Cache(); // registers the main thread's clean-up
    return fonts;
}

void ClearMainThreadLayoutCache()
{
    Cache().clear();
    Fonts().clear();
}

// The reference stays valid only until the next call.
const LaidOutText& LayOut(const QFont& font, const QString& text, double wrapWidth)
{
    LayoutCache& cache = Cache();
    LayoutKey key {font, text, wrapWidth};
    if (const auto found = cache.recent.constFind(key); found != cache.recent.cend())
        return *found;
    LaidOutText laid;
    if (const auto old = cache.older.find(key); old != cache.older.end()) {
        laid = std::move(*old);
        cache.older.erase(old);
    } else {
        laid = Shape(font, text, wrapWidth);
    }
    if (cache.recentBytes + laid.bytes > kLayoutGenerationBytes && !cache.recent.isEmpty()) {
        cache.older = std::move(cache.recent);
        cache.recent = {};
        cache.recentBytes = 0;
    }
    cache.recentBytes += laid.bytes;
    return *cache.recent.insert(std::move(key), std::move(laid));
}

// LayOut(font, text, -1).width, shaping a text not yet laid out only for its width.
double LaidOutWidth(const QFont& font, const QString& text)
{
    LayoutCache& cache = Cache();
    LayoutKey key {font, text, -1};
    if (const auto found = cache.recent.constFind(key); found != cache.recent.cend())
        return found->width;
    if (const auto old = cache.older.constFind(key); old != cache.older.cend())
        return old->width;
    if (const auto known = cache.widths.constFind(key); known != cache.widths.cend())
        return *known;
    const double width = ShapeWidth(font, text);
    if (cache.widths.size() >= kMeasuredWidths)
        cache.widths.clear();
    cache.widths.insert(std::move(key), width);
    return width;
}

double LineLeft(const LaidOutLine& line, double left, double boxWidth, Qt::Alignment alignment)
{
    if (alignment & Qt::AlignHCenter)
        return left + (boxWidth - line.width) / 2;
    if (alignment & Qt::AlignRight)
        return left + boxWidth - line.width;
    return left;
}

double TextTop(const LaidOutText& laid, const QRectF& box, Qt::Alignment alignment)
{
    if (alignment & Qt::AlignVCenter)
        return box.top() + (box.height() - laid.height) / 2;
    if (alignment & Qt::AlignBottom)
        return box.top() + box.height() - laid.height;
    return box.top();
}

void DrawLines(QPainter& painter, const LaidOutText& laid, double left, double top, double boxWidth,
               Qt::Alignment alignment)
{
    for (const LaidOutLine& line : laid.lines) {
        const double x = LineLeft(line, left, boxWidth, alignment);
        for (const QGlyphRun& run : line.runs)
            painter.drawGlyphRun(QPointF(x, top), run); // runs carry their line's position
    }
}

QRectF ToLayoutUnits(const QRectF& box)
{
    return {
        box.x() / kLayoutUnitMm, box.y() / kLayoutUnitMm, box.width() / kLayoutUnitMm, box.height() / kLayoutUnitMm};
}

// Upright characters stacked top to bottom; a column ends at a line break or, when
// wrapping, where the next character would leave the box.
void DrawVertical(
    QPainter& painter, const QFont& font, const QString& text, const QRectF& box, const TextFormat& format)
{
    const double step = LayOut(font, QStringLiteral(" "), -1).lineHeight;
    const double columnWidth = step;
    double columnLeft = format.rightToLeft ? box.right() - columnWidth : box.left();
    double y = box.top();
    const auto nextColumn = [&] {
        columnLeft += format.rightToLeft ? -columnWidth : columnWidth;
        y = box.top();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            nextColumn();
            continue;
        }
        if (text[i] == u'\r')
            continue;
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            length = 2;
        if (format.wrap && y > box.top() && y + step > box.bottom() + 1e-6)
            nextColumn();
        const LaidOutText& laid = LayOut(font, text.mid(i, length), -1);
        DrawLines(painter, laid, columnLeft + (columnWidth - laid.width) / 2, y, 0, Qt::AlignLeft);
        y += step;
        i += length - 1;
    }
}

} // namespace

namespace {

QFont BuildFont(const QString& family, float pointSize, int32_t styleBits)
{
    QFont font(family);
    font.setPointSizeF(pointSize > 0 ? pointSize : 1.0f);
    font.setBold((styleBits & FontStyleBold) != 0);
    font.setItalic((styleBits & FontStyleItalic) != 0);
    font.setUnderline((styleBits & FontStyleUnderline) != 0);
    font.setStrikeOut((styleBits & FontStyleStrikeout) != 0);
    // Outlines as designed: advances then scale linearly with the size, so a text
    // measures the same at every resolution.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

QFont MakeFont(const QString& family, float pointSize, int32_t styleBits)
{
    // Objects build their font on every draw, from a handful of settings a label uses
    // again and again: built once per thread, the few kept.
    QHash<FontSpec, QFont>& fonts = Fonts();
    FontSpec spec {family, pointSize, styleBits};
    if (const auto found = fonts.constFind(spec); found != fonts.cend())
        return *found;
    if (fonts.size() >= 256)
        fonts.clear();
    return *fonts.insert(std::move(spec), BuildFont(family, pointSize, styleBits));
}

QFont MakeFont(const QString& family, float pointSize, bool bold, bool italic, bool underline, bool strikeout)
{
    return MakeFont(family, pointSize, FontStyle(bold, italic, underline, strikeout));
}

FontMetricsMm MeasureFont(const QFont& font)
{
    const QFontMetricsF metrics(font, LayoutDevice());
    return {metrics.ascent() * kLayoutUnitMm, metrics.descent() * kLayoutUnitMm,
            metrics.height() * kLayoutUnitMm, metrics.lineSpacing() * kLayoutUnitMm};
}

double MeasureTextWidth(const QFont& font, const QString& text)
{
    if (text.isEmpty())
        return 0;
    return LaidOutWidth(font, text) * kLayoutUnitMm;
}

QSizeF MeasureText(const QFont& font, const QString& text)
{
    if (text.isEmpty())
        return {};
    const LaidOutText& laid = LayOut(font, text, -1);
    return {laid.width * kLayoutUnitMm, laid.height * kLayoutUnitMm};
}

QSizeF KeptTextMeasure::Measure(const QString& family, float pointSize, int32_t styleBits, const QString& text,
                                bool widthOnly)
{
    if (pointSize == m_pointSize && styleBits == m_styleBits && widthOnly == m_widthOnly && text == m_text
        && family == m_family)
        return m_size;
    const QFont font = MakeFont(family, pointSize, styleBits);
    m_size = widthOnly ? QSizeF(MeasureTextWidth(font, text), 0.0) : MeasureText(font, text);
    m_family = family;
    m_pointSize = pointSize;
    m_styleBits = styleBits;
    m_widthOnly = widthOnly;
    m_text = text;
    return m_size;
}

TextPainter::TextPainter(QPainter& painter, const QFont& font, const QBrush& brush)
    : m_painter(painter)
    , m_font(font)
    , m_active(painter.isActive())
{
    if (!m_active)
        return;
    m_saved = painter.worldTransform();
    m_savedPen = painter.pen();
    painter.scale(kLayoutUnitMm, kLayoutUnitMm);
    painter.setPen(QPen(brush, 0));
}

TextPainter::~TextPainter()
{
    if (!m_active)
        return;
    m_painter.setPen(m_savedPen);
    m_painter.setWorldTransform(m_saved);
}

double TextPainter::Width(const QString& text) const
{
    return text.isEmpty() ? 0.0 : LaidOutWidth(m_font, text) * kLayoutUnitMm;
}

void TextPainter::Draw(const QString& text, const QRectF& box, const TextFormat& format)
{
    if (text.isEmpty() || !m_active)
        return;
    const QRectF layoutBox = ToLayoutUnits(box);
    if (format.vertical) {
        if (format.clip) {
            m_painter.save();
            m_painter.setClipRect(layoutBox, Qt::IntersectClip);
        }
        DrawVertical(m_painter, m_font, text, layoutBox, format);
        if (format.clip)
            m_painter.restore();
        return;
    }
    const LaidOutText& laid = LayOut(m_font, text, format.wrap ? std::max(0.0, layoutBox.width()) : -1);
    const double top = TextTop(laid, layoutBox, format.alignment);
    // Clipping costs; only a text that leaves its box needs it.
    const bool clip = format.clip && (laid.width > layoutBox.width() || laid.height > layoutBox.height());
    if (clip) {
        m_painter.save();
        m_painter.setClipRect(layoutBox, Qt::IntersectClip);
    }
    DrawLines(m_painter, laid, layoutBox.left(), top, layoutBox.width(), format.alignment);
    if (clip)
        m_painter.restore();
}

void TextPainter::DrawEach(std::span<const QString> texts, std::span<const QRectF> boxes, Qt::Alignment alignment)
{
    if (!m_active)
        return;
    // The glyphs of every text, gathered by the font that holds them (a character
    // the font lacks comes from a fallback font). A decorated run is drawn as it
    // stands, so that an underline keeps to its own text.
    struct Item
    {
        QRawFont font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    QVarLengthArray<Item, 2> items;
    const size_t count = std::min(texts.size(), boxes.size());
    for (size_t i = 0; i < count; ++i) {
        if (texts[i].isEmpty())
            continue;
        const QRectF box = ToLayoutUnits(boxes[i]);
        const LaidOutText& laid = LayOut(m_font, texts[i], -1);
        const double top = TextTop(laid, box, alignment);
        for (const LaidOutLine& line : laid.lines) {
            const QPointF origin(LineLeft(line, box.left(), box.width(), alignment), top);
            for (const QGlyphRun& run : line.runs) {
                if (run.flags() & (QGlyphRun::Overline | QGlyphRun::Underline | QGlyphRun::StrikeOut)) {
                    m_painter.drawGlyphRun(origin, run); // runs carry their line's position
                    continue;
                }
                const QRawFont font = run.rawFont();
                auto item = std::find_if(items.begin(), items.end(), [&](const Item& it) { return it.font == font; });
                if (item == items.end()) {
                    items.append(Item {font, {}, {}});
                    item = items.end() - 1;
                }
                item->glyphs.append(run.glyphIndexes());
                for (const QPointF& position : run.positions())
                    item->positions.append(position + origin);
            }
        }
    }
    for (const Item& item : items) {
        QGlyphRun run;
        run.setRawFont(item.font);
        run.setGlyphIndexes(item.glyphs);
        run.setPositions(item.positions);
        m_painter.drawGlyphRun(QPointF(0, 0), run);
    }
}

void DrawText(QPainter& painter, const QString& text, const QFont& font, const QRectF& box,
              const QBrush& brush, const TextFormat& format)
{
    if (text.isEmpty())
        return;
    TextPainter(painter, font, brush).Draw(text, box, format);
}

QSize DevicePixels(const QPainter& painter, QSizeF size)
{
    const QTransform t = painter.combinedTransform();
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const auto pixels = [ratio](double length, double dx, double dy) {
        const double n = std::ceil(std::abs(length) * std::hypot(dx, dy) * ratio);
        return std::isfinite(n) ? static_cast<int>(std::clamp(n, 1.0, 65536.0)) : 1;
    };
    return QSize(pixels(size.width(), t.m11(), t.m12()), pixels(size.height(), t.m21(), t.m22()));
}
