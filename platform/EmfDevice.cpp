// EMF records as the public format description lays them out: little-endian, every
// record a type and a size in bytes followed by its fields, sizes multiples of four.

#include "platform/EmfDevice.h"
#include "platform/ImageFile.h"

#include <QIODevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace {

enum EmfRecord : uint32_t {
    EMR_HEADER = 1,
    EMR_POLYPOLYGON = 8,
    EMR_EOF = 14,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_SELECTCLIPPATH = 67,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_STRETCHDIBITS = 81,
};

constexpr uint32_t kStockNullPen = 0x80000008;
constexpr uint32_t kStockWhiteBrush = 0x80000000;
constexpr uint32_t kBrushHandle = 1;
constexpr uint32_t kSignature = 0x464D4520; // " EMF"
constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr uint32_t kRgnAnd = 1;
// Brushes no record holds (patterns, gradients, translucency) are painted into a
// bitmap at this resolution, clipped to the shape.
constexpr double kBrushImageDpi = 300.0;
constexpr int kHeaderSize = 108;
constexpr int kReferenceMm = 1000; // reference device: 1 m square at kUnitsPerMm

// A record under construction.
class RecordWriter
{
public:
    explicit RecordWriter(uint32_t type)
    {
        U32(type);
        U32(0);
    }
    RecordWriter& U32(uint32_t v)
    {
        char b[4];
        qToLittleEndian(v, b);
        m_bytes.append(b, 4);
        return *this;
    }
    RecordWriter& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    RecordWriter& F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    RecordWriter& Rect(const QRect& r) { return I32(r.left()).I32(r.top()).I32(r.right()).I32(r.bottom()); }
    RecordWriter& Bytes(const QByteArray& bytes)
    {
        m_bytes.append(bytes);
        return *this;
    }
    qsizetype Size() const { return m_bytes.size(); }
    QByteArray Finish()
    {
        while (m_bytes.size() % 4)
            m_bytes.append('\0');
        qToLittleEndian(static_cast<uint32_t>(m_bytes.size()), m_bytes.data() + 4);
        return m_bytes;
    }

private:
    QByteArray m_bytes;
};

uint32_t ColorRef(const QColor& color)
{
    const QRgb c = color.rgb();
    return static_cast<uint32_t>(qRed(c)) | (static_cast<uint32_t>(qGreen(c)) << 8)
           | (static_cast<uint32_t>(qBlue(c)) << 16);
}

int32_t ToUnit(double v)
{
    constexpr double kLimit = std::numeric_limits<int32_t>::max() / 2.0;
    return static_cast<int32_t>(std::lround(std::clamp(v, -kLimit, kLimit)));
}

} // namespace

class CEmfPaintEngine : public QPaintEngine
{
public:
    explicit CEmfPaintEngine(const QSize& sizeUnits)
        : QPaintEngine(PrimitiveTransform | PatternTransform | PixmapTransform | PatternBrush | LinearGradientFill
                       | RadialGradientFill | ConicalGradientFill | AlphaBlend | PainterPaths | Antialiasing
                       | BrushStroke | ConstantOpacity | ObjectBoundingModeGradients | PaintOutsidePaintEvent),
          m_size(sizeUnits)
    {
    }

    bool begin(QPaintDevice*) override
    {
        m_records.clear();
        m_nRecords = 0;
        m_nBrushColor = -1;
        Append(RecordWriter(EMR_SELECTOBJECT).U32(kStockNullPen).Finish());
        return true;
    }
    bool end() override
    {
        SelectStockBrush();
        return true;
    }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState& state) override
    {
        const DirtyFlags flags = state.state();
        if (flags & DirtyTransform)
            m_transform = state.transform();
        if (flags & DirtyPen)
            m_pen = state.pen();
        if (flags & DirtyBrush)
            m_brush = state.brush();
        if (flags & DirtyBrushOrigin)
            m_brushOrigin = state.brushOrigin();
        if (flags & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled)) {
            // The painter's clip, in device units.
            m_bClip = painter() && painter()->hasClipping();
            m_clip = m_bClip ? painter()->clipPath() * painter()->deviceTransform() : QPainterPath();
        }
    }

    void drawPath(const QPainterPath& path) override
    {
        if (m_brush.style() != Qt::NoBrush)
            FillWithBrush(path * m_transform, m_brush);
        if (m_pen.style() != Qt::NoPen && m_pen.brush().style() != Qt::NoBrush) {
            QPainterPathStroker stroker(m_pen);
            // A cosmetic pen is a pixel wide on any device: a hundredth of a millimetre.
            const bool cosmetic = m_pen.isCosmetic();
            if (cosmetic)
                stroker.setWidth(std::max(1.0, m_pen.widthF()));
            const QPainterPath outline =
                cosmetic ? stroker.createStroke(path * m_transform) : stroker.createStroke(path) * m_transform;
            FillWithBrush(outline, m_pen.brush());
        }
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        QPainterPath path;
        QPolygonF polygon;
        polygon.reserve(count);
        for (int i = 0; i < count; ++i)
            polygon.append(points[i]);
        path.addPolygon(polygon);
        if (mode == PolylineMode) {
            const QBrush saved = m_brush;
            m_brush = Qt::NoBrush;
            drawPath(path);
            m_brush = saved;
            return;
        }
        if (mode != OddEvenMode)
            path.setFillRule(Qt::WindingFill);
        else
            path.closeSubpath();
        drawPath(path);
    }

    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override
    {
        drawImage(r, pm.toImage(), sr, Qt::AutoColor);
    }

    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr, Qt::ImageConversionFlags) override
    {
        const QImage source = image.copy(sr.toAlignedRect());
        if (source.isNull() || r.isEmpty())
            return;
        // The image's pixel grid mapped onto the target box, then through the painter.
        const QTransform toBox = QTransform::fromScale(r.width() / source.width(), r.height() / source.height())
                                 * QTransform::fromTranslate(r.x(), r.y());
        Append(RecordWriter(EMR_SAVEDC).Finish());
        if (m_bClip)
            SelectClip(m_clip);
        EmitImage(source, toBox * m_transform);
        Append(RecordWriter(EMR_RESTOREDC).I32(-1).Finish());
    }

    QByteArray File(const QSizeF& sizeMm) const
    {
        RecordWriter eof(EMR_EOF);
        eof.U32(0).U32(16).U32(20);
        const QByteArray eofBytes = eof.Finish();
        const uint32_t total = kHeaderSize + static_cast<uint32_t>(m_records.size() + eofBytes.size());

        const QRect frame(0, 0, std::max(1, ToUnit(sizeMm.width() * 100)), std::max(1, ToUnit(sizeMm.height() * 100)));
        RecordWriter header(EMR_HEADER);
        header.Rect(QRect(0, 0, m_size.width(), m_size.height())); // bounds, device units
        header.Rect(frame);                                        // frame, 0.01 mm, inclusive
        header.U32(kSignature).U32(0x10000).U32(total).U32(m_nRecords + 2);
        header.U32(2); // 16-bit handle count (entry 0 is reserved) and 16 reserved bits
        header.U32(0).U32(0).U32(0); // description, palette
        header.I32(kReferenceMm * CEmfDevice::kUnitsPerMm).I32(kReferenceMm * CEmfDevice::kUnitsPerMm);
        header.I32(kReferenceMm).I32(kReferenceMm);
        header.U32(0).U32(0).U32(0); // pixel format, OpenGL
        header.I32(kReferenceMm * 1000).I32(kReferenceMm * 1000);
        return header.Finish() + m_records + eofBytes;
    }

private:
    void Append(const QByteArray& record)
    {
        m_records += record;
        ++m_nRecords;
    }

    void SelectStockBrush()
    {
        if (m_nBrushColor < 0)
            return;
        Append(RecordWriter(EMR_SELECTOBJECT).U32(kStockWhiteBrush).Finish());
        Append(RecordWriter(EMR_DELETEOBJECT).U32(kBrushHandle).Finish());
        m_nBrushColor = -1;
    }

    void SelectBrush(const QColor& color)
    {
        const qint64 ref = ColorRef(color);
        if (ref == m_nBrushColor)
            return;
        SelectStockBrush();
        Append(RecordWriter(EMR_CREATEBRUSHINDIRECT).U32(kBrushHandle).U32(0).U32(static_cast<uint32_t>(ref)).U32(0).Finish());
        Append(RecordWriter(EMR_SELECTOBJECT).U32(kBrushHandle).Finish());
        m_nBrushColor = ref;
    }

    // A path in device units filled with a brush whose coordinates are the painter's:
    // one colour as a poly-polygon, anything else as a bitmap clipped to the path.
    void FillWithBrush(const QPainterPath& devicePath, const QBrush& brush)
    {
        const QPainterPath path = m_bClip ? devicePath.intersected(m_clip) : devicePath;
        if (path.isEmpty())
            return;
        const qreal opacity = painter() ? painter()->opacity() : 1.0;
        if (brush.style() == Qt::SolidPattern && brush.color().alpha() == 255 && opacity >= 1.0) {
            PolyPolygon(path, brush.color());
            return;
        }
        if (brush.style() == Qt::SolidPattern && brush.color().alpha() == 0)
            return;
        const QRectF bounds = path.boundingRect();
        const double scale = kBrushImageDpi / (CEmfDevice::kUnitsPerMm * 25.4);
        const QSize size(std::clamp(static_cast<int>(std::ceil(bounds.width() * scale)), 1, 8000),
                         std::clamp(static_cast<int>(std::ceil(bounds.height() * scale)), 1, 8000));
        // Device units to bitmap pixels.
        const QTransform toImage =
            QTransform::fromTranslate(-bounds.x(), -bounds.y())
            * QTransform::fromScale(size.width() / bounds.width(), size.height() / bounds.height());
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setOpacity(opacity);
            p.setTransform(toImage);
            QBrush placed = brush;
            placed.setTransform(brush.transform() * QTransform::fromTranslate(m_brushOrigin.x(), m_brushOrigin.y())
                                * m_transform);
            p.fillPath(path, placed);
        }
        Append(RecordWriter(EMR_SAVEDC).Finish());
        SelectClip(path);
        EmitImage(image, toImage.inverted());
        Append(RecordWriter(EMR_RESTOREDC).I32(-1).Finish());
    }

    // Narrows the clip to a path in device units (undone by the caller's RESTOREDC).
    void SelectClip(const QPainterPath& path)
    {
        Append(RecordWriter(EMR_BEGINPATH).Finish());
        PolyPolygon(path, std::nullopt);
        Append(RecordWriter(EMR_ENDPATH).Finish());
        Append(RecordWriter(EMR_SELECTCLIPPATH).U32(kRgnAnd).Finish());
    }

    // A bitmap whose pixel grid xf maps to device units, over white where translucent.
    void EmitImage(const QImage& source, const QTransform& xf)
    {
        const int w = source.width();
        const int h = source.height();
        QImage opaque(source.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        {
            QPainter p(&opaque);
            p.drawImage(0, 0, source);
        }
        QByteArray info;
        {
            RecordWriter bmi(0);
            bmi.U32(40).I32(w).I32(-h); // a top-down bitmap
            bmi.U32(1 | (32u << 16)).U32(0).U32(static_cast<uint32_t>(w * h * 4)).I32(0).I32(0).U32(0).U32(0);
            info = bmi.Finish().mid(8);
        }
        QByteArray bits;
        bits.reserve(static_cast<qsizetype>(w) * h * 4);
        for (int y = 0; y < h; ++y)
            bits.append(reinterpret_cast<const char*>(opaque.constScanLine(y)), w * 4);

        Append(RecordWriter(EMR_SETWORLDTRANSFORM)
                   .F32(float(xf.m11())).F32(float(xf.m12())).F32(float(xf.m21())).F32(float(xf.m22()))
                   .F32(float(xf.dx())).F32(float(xf.dy())).Finish());
        constexpr uint32_t kFixed = 80; // fields up to the bitmap header
        RecordWriter rec(EMR_STRETCHDIBITS);
        rec.Rect(xf.mapRect(QRectF(0, 0, w, h)).toAlignedRect());
        rec.I32(0).I32(0).I32(0).I32(0).I32(w).I32(h);
        rec.U32(kFixed).U32(static_cast<uint32_t>(info.size()));
        rec.U32(kFixed + static_cast<uint32_t>(info.size())).U32(static_cast<uint32_t>(bits.size()));
        rec.U32(0).U32(kSrcCopy).I32(w).I32(h);
        rec.Bytes(info).Bytes(bits);
        Append(rec.Finish());
    }

    // A path in device units as one poly-polygon under its fill rule, every outline its
    // own polygon so the fill rule makes the holes: filled with a colour, or only traced
    // (inside a path bracket) without one.
    void PolyPolygon(const QPainterPath& path, std::optional<QColor> color)
    {
        const QList<QPolygonF> polygons = path.toSubpathPolygons();
        if (polygons.isEmpty())
            return;
        if (color)
            SelectBrush(*color);
        const uint32_t mode = path.fillRule() == Qt::WindingFill ? 2 : 1;
        if (mode != m_nFillMode) {
            Append(RecordWriter(EMR_SETPOLYFILLMODE).U32(mode).Finish());
            m_nFillMode = mode;
        }
        RecordWriter rec(EMR_POLYPOLYGON);
        const QRect bounds = path.boundingRect().toAlignedRect();
        rec.Rect(bounds);
        uint32_t points = 0;
        for (const QPolygonF& polygon : polygons)
            points += static_cast<uint32_t>(polygon.size());
        rec.U32(static_cast<uint32_t>(polygons.size())).U32(points);
        for (const QPolygonF& polygon : polygons)
            rec.U32(static_cast<uint32_t>(polygon.size()));
        for (const QPolygonF& polygon : polygons) {
            for (const QPointF& p : polygon)
                rec.I32(ToUnit(p.x())).I32(ToUnit(p.y()));
        }
        Append(rec.Finish());
    }

    QSize m_size;
    QByteArray m_records;
    uint32_t m_nRecords = 0;
    qint64 m_nBrushColor = -1;
    uint32_t m_nFillMode = 1; // alternate, the device context's default
    QTransform m_transform;
    QPen m_pen;
    QBrush m_brush;
    QPointF m_brushOrigin;
    bool m_bClip = false;
    QPainterPath m_clip;
};

CEmfDevice::CEmfDevice(const QSizeF& sizeMm)
    : m_sizeMm(sizeMm),
      m_pEngine(std::make_unique<CEmfPaintEngine>(QSize(std::max(1, ToUnit(sizeMm.width() * kUnitsPerMm)),
                                                        std::max(1, ToUnit(sizeMm.height() * kUnitsPerMm)))))
{
}

CEmfDevice::~CEmfDevice() = default;

QPaintEngine* CEmfDevice::paintEngine() const
{
    return m_pEngine.get();
}

int CEmfDevice::metric(PaintDeviceMetric metric) const
{
    constexpr int kDpi = static_cast<int>(kUnitsPerMm * 25.4);
    switch (metric) {
    case PdmWidth: return std::max(1, ToUnit(m_sizeMm.width() * kUnitsPerMm));
    case PdmHeight: return std::max(1, ToUnit(m_sizeMm.height() * kUnitsPerMm));
    case PdmWidthMM: return std::max(1, ToUnit(m_sizeMm.width()));
    case PdmHeightMM: return std::max(1, ToUnit(m_sizeMm.height()));
    case PdmNumColors: return INT_MAX;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return kDpi;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
    default: return 0;
    }
}

QByteArray CEmfDevice::ToBytes() const
{
    return m_pEngine->File(m_sizeMm);
}

bool CEmfDevice::Save(const QString& path, QString* error) const
{
    const QByteArray bytes = ToBytes();
    return WriteWholeFile(
        path,
        [&](QIODevice& file, QString* why) {
            if (file.write(bytes) == bytes.size())
                return true;
            if (why)
                *why = file.errorString();
            return false;
        },
        error);
}
