// What a label cell draws around its objects: its shape, background, outline and
// cut marks. Shared by the printed page and the preview.

#include "output/PrintHandler.h"

#include "barcode/BarcodeImpl.h"
#include "model/BarcodeGraph.h"
#include "model/BaseGraph.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "platform/Drawing.h"
#include "platform/ImageHolder.h"
#include "platform/ScreenDpi.h"

#include <typeinfo>

namespace {

constexpr double kCutLineLength = 4.0;

QRectF LabelBox(const CLabelData& label, float x, float y)
{
    return QRectF(x, y, label.m_fLabelWidth, label.m_fLabelHeight);
}

QRectF HoleBox(const CLabelData& label, float x, float y)
{
    const QPointF centre = LabelBox(label, x, y).center();
    const double d = label.m_fHoleDiameter;
    return QRectF(centre.x() - d / 2, centre.y() - d / 2, d, d);
}

bool HasHole(const CLabelData& label)
{
    return label.m_nShape == ShapeEllipse && label.m_bCenterHole;
}

} // namespace

void DrawObjectAt(CBaseGraph& object, QPainter& graphics, float x, float y, float outputDpi)
{
    object.m_fDrawScale = 1.0f;
    object.m_fOutputDpi = outputDpi;
    object.m_fOriginX = x;
    object.m_fOriginY = y;
    object.Draw(graphics);
}

QRectF DrawnExtentMm(const CBaseGraph& object, KeptTextMeasure* kept)
{
    KeptTextMeasure once;
    KeptTextMeasure& measure = kept ? *kept : once;
    QRectF box = QRectF(object.GetX(), object.GetY(), object.GetWidth(), object.GetHeight()).normalized();
    QSizeF natural;
    // An allowance beyond the measured size and the pen for what may stand out of the
    // box: glyphs past their advances and the like.
    double spare = 1.0;
    const std::type_info& type = typeid(object);
    if (type == typeid(CRectangleGraph) || type == typeid(CEllipseGraph)) {
        // Stroked on the box with mitred corners: half the pen stands out.
        spare = 0.0;
    } else if (type == typeid(CLineGraph)) {
        // Its box holds both ends.
    } else if (const auto* text = dynamic_cast<const CTextGraph*>(&object)) {
        const QSizeF measured = measure.Measure(text->m_strFontName, text->m_fFontSize,
            FontStyle(text->m_bBold, text->m_bItalic, text->m_bUnderline, text->m_bStrikeout), text->m_strText, false);
        natural = QSizeF(measured.width() * std::max(1.0f, std::abs(text->m_fHorzScale)), measured.height());
        if (text->m_nLayoutMode != SingleLine && text->m_nLayoutMode != MultiLine) {
            // Columns and curves may run either way.
            const double longest = std::max(natural.width(), natural.height());
            natural = QSizeF(longest, longest) * 2;
        }
    } else if (const auto* barcode = dynamic_cast<const CBarcodeGraph*>(&object)) {
        if (CBarcodeImpl* impl = barcode->GetImpl(); impl && impl->GetSettings()) {
            // The symbol's own size, the box's restored: drawing hands it the box again.
            CBarcodeSettings& s = *impl->GetSettings();
            const float width = s.m_fWidth, height = s.m_fHeight;
            impl->CalcSize();
            natural = QSizeF(s.m_fWidth, s.m_fHeight);
            s.m_fWidth = width;
            s.m_fHeight = height;
            const double digits = measure.Measure(s.m_strFontName, s.m_fFontSize,
                FontStyle(s.m_bBold, s.m_bItalic, s.m_bUnderline, s.m_bStrikeout), s.m_strFullText, true).width();
            natural = QSizeF(std::max(natural.width(), 1.2 * digits + 2 * double(s.m_fLeftBlank)),
                natural.height() + double(s.m_fFontSize) * 25.4 / 72);
        }
    }
    // Grown on both sides: aligned or centred content stands out of either edge.
    const double dx = std::max(0.0, natural.width() - box.width());
    const double dy = std::max(0.0, natural.height() - box.height());
    const double pen = spare > 0.0 ? std::abs(object.m_fLineWidth) + spare : std::abs(object.m_fLineWidth) / 2;
    box.adjust(-dx - pen, -dy - pen, dx + pen, dy + pen);
    if (const float angle = object.GetAngle(); angle != 0.0f) {
        const QPointF anchor = object.GetAnchorPoint();
        QTransform turn;
        turn.translate(anchor.x(), anchor.y());
        turn.rotate(angle);
        turn.translate(-anchor.x(), -anchor.y());
        box = turn.mapRect(box);
    }
    return box;
}

bool LiesInsideLabelShape(const CLabelData& label, const QRectF& extent)
{
    if (label.m_nShape == ShapeEllipse)
        return false;
    const double w = label.m_fLabelWidth, h = label.m_fLabelHeight;
    if (!QRectF(0, 0, w, h).contains(extent))
        return false;
    if (label.m_nShape != ShapeRoundRect || !(label.m_fCornerRadius > 0))
        return true;
    // Corners as the shape's path rounds them: no wider than half the side. The shape
    // is convex, so the rectangle lies inside when its four corners do.
    const double rx = std::min<double>(label.m_fCornerRadius, w / 2);
    const double ry = std::min<double>(label.m_fCornerRadius, h / 2);
    for (const QPointF corner : {extent.topLeft(), extent.topRight(), extent.bottomLeft(), extent.bottomRight()}) {
        const double dx = std::max({0.0, rx - corner.x(), corner.x() - (w - rx)}) / rx;
        const double dy = std::max({0.0, ry - corner.y(), corner.y() - (h - ry)}) / ry;
        if (dx * dx + dy * dy > 1.0)
            return false;
    }
    return true;
}

QPainterPath MakeLabelShapePath(const CLabelData& label, float x, float y)
{
    QPainterPath path;
    const QRectF box = LabelBox(label, x, y);
    if (label.m_nShape == ShapeRoundRect)
        path.addRoundedRect(box, label.m_fCornerRadius, label.m_fCornerRadius);
    else if (label.m_nShape == ShapeEllipse)
        path.addEllipse(box);
    else
        path.addRect(box);
    return path;
}

void DrawLabelBackground(QPainter& graphics, const CLabelData& label, float x, float y)
{
    // The label's own box: whole millimetres would leave a strip of a label such as
    // 20.8 x 10.8 unfilled, and shift its picture off the label's corner.
    const QRectF box = LabelBox(label, x, y);
    if (IsVisibleArgb(label.m_crBackground))
        graphics.fillRect(box, ArgbToColor(label.m_crBackground));
    if (!label.m_pImage || label.m_pImage->IsEmpty())
        return;
    // The natural size and proportions are the picture's own, whatever size it is
    // decoded at to be drawn.
    QSize own = label.m_pImage->SourceSize();
    if (!own.isValid())
        own = ImageHolder::PlaceholderImage().size();
    const double iw = own.width();
    const double ih = own.height();
    QSizeF size = box.size();
    switch (label.m_nImagePlacement) {
    case 0: {
        // Natural size is what the screen shows at actual size, in print as in preview.
        const double dpi = g_nScreenDpiX > 0 ? g_nScreenDpiX : 96;
        size = QSizeF(iw * kMmPerInch / dpi, ih * kMmPerInch / dpi);
        break;
    }
    case 1: size = QSizeF(box.width(), box.width() * ih / iw); break;
    case 2: size = QSizeF(box.height() * iw / ih, box.height()); break;
    default: break;
    }
    graphics.drawImage(QRectF(box.topLeft(), size), label.m_pImage->DrawnImage(DevicePixels(graphics, size)));
}

void DrawLabelOutline(QPainter& graphics, const CLabelData& label, float x, float y)
{
    graphics.save();
    graphics.setBrush(Qt::NoBrush);
    graphics.setPen(MakePen(label.m_crBorder, label.m_fBorderWidth));
    graphics.drawPath(MakeLabelShapePath(label, x, y));
    if (HasHole(label))
        graphics.drawEllipse(HoleBox(label, x, y));
    graphics.restore();
}

void DrawCutMarks(QPainter& graphics, const CLabelData& label, float x, float y)
{
    const int style = label.m_nCutMarks;
    if (style < 1 || style > 3)
        return;
    const double W = label.m_fLabelWidth;
    const double H = label.m_fLabelHeight;
    const double s = label.m_fCutMarkWidth;
    const double d = label.m_fCutMarkOffset;
    graphics.save();
    if (style == 1) {
        graphics.setPen(Qt::NoPen);
        graphics.setBrush(Qt::black);
        for (const QPointF corner : {QPointF(x, y), QPointF(x + W, y), QPointF(x + W, y + H), QPointF(x, y + H)})
            graphics.drawEllipse(QRectF(corner, QSizeF(s, s)));
    } else {
        graphics.setPen(MakePen(0xFF000000u, label.m_fCutMarkWidth));
        // Each corner point d outside the label, and the directions towards the label.
        const struct {
            QPointF point;
            double dx, dy;
        } corners[] = {
            {{x - d, y - d}, 1, 1},
            {{x + W + d, y - d}, -1, 1},
            {{x + W + d, y + H + d}, -1, -1},
            {{x - d, y + H + d}, 1, -1},
        };
        // Style 2 runs towards the label (brackets), style 3 away from it (crop marks).
        const double sign = style == 2 ? kCutLineLength : -kCutLineLength;
        for (const auto& c : corners) {
            graphics.drawLine(c.point, c.point + QPointF(c.dx * sign, 0));
            graphics.drawLine(c.point, c.point + QPointF(0, c.dy * sign));
        }
    }
    graphics.restore();
}

void PaintGeneratedLabel(QPainter& graphics, const CLabelData& label, CGeneratedLabel& generated, float x,
                         float y)
{
    graphics.save();
    QPainterPath clip = MakeLabelShapePath(label, x, y);
    if (HasHole(label)) {
        QPainterPath hole;
        hole.addEllipse(HoleBox(label, x, y));
        clip = clip.subtracted(hole);
    }
    graphics.setClipPath(clip, Qt::IntersectClip);
    if (label.m_bPreviewBackground)
        DrawLabelBackground(graphics, label, x, y);
    for (const auto& object : generated.m_objects)
        DrawObjectAt(*object, graphics, x, y);
    graphics.restore();
    if (label.m_bPrintBorder)
        DrawLabelOutline(graphics, label, x, y);
    DrawCutMarks(graphics, label, x, y);
}
