// What a label cell draws around its objects: its shape, background, outline and
// cut marks. Shared by the printed page and the preview.

#include "output/PrintHandler.h"

#include "model/BaseGraph.h"
#include "model/LabelData.h"
#include "platform/Drawing.h"
#include "platform/ImageHolder.h"
#include "platform/ScreenDpi.h"

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
