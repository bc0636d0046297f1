#include "dialogs/properties/LSPreviewStatic.h"

#include "app/controls/ColourPicker.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/Utils.h"
#include "output/PrintHandler.h"
#include "platform/Drawing.h"
#include "platform/ImageHolder.h"
#include "platform/ScreenDpi.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

bool IsChecked(const QAbstractButton* button)
{
    return button && button->isChecked();
}

// A count of 0 or less counts as 0, which Validate names, as a length does
// (TakenLength); a count beyond its arrows leaves the one shown so far (kept), so
// that no number outlines millions of cells.
int ReadCount(const QLineEdit* edit, int kept)
{
    if (!edit)
        return 0;
    const int value = CountOf(edit);
    return value > kMaxLabelsAcross ? kept : std::max(value, 0);
}

int ReadIndex(const QComboBox* combo)
{
    return combo ? combo->currentIndex() : -1;
}

int PixelsX(float mm)
{
    return static_cast<int>(mm * g_nScreenDpiX / 25.4f);
}

int PixelsY(float mm)
{
    return static_cast<int>(mm * g_nScreenDpiY / 25.4f);
}

QFont NumberFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8);
    return font;
}

} // namespace

CLSPreviewStatic::CLSPreviewStatic(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(220, 260);
}

void CLSPreviewStatic::ReadControls()
{
    const Controls& c = m_controls;
    m_bLabelPrinter = !IsChecked(c.ordinaryPrinter);
    m_fPageWidth = TakenLength(c.pageWidth);
    m_fPageHeight = TakenLength(c.pageHeight);
    m_bLandscapeRead = !IsChecked(c.portrait);
    m_nShape = IsChecked(c.rectangle) ? ShapeRectangle : IsChecked(c.roundRect) ? ShapeRoundRect : ShapeEllipse;
    m_fCornerRadius = TakenLength(c.cornerRadius);
    m_bCenterHole = IsChecked(c.centerHole);
    m_fHoleDiameter = TakenLength(c.holeDiameter);
    m_fLabelWidth = TakenLength(c.labelWidth);
    m_fLabelHeight = TakenLength(c.labelHeight);
    m_fLeftMargin = TakenLength(c.leftMargin);
    m_fTopMargin = TakenLength(c.topMargin);
    m_fHorzGap = TakenLength(c.horzGap);
    m_fVertGap = TakenLength(c.vertGap);
    m_nRows = ReadCount(c.rows, m_nRows);
    m_nColumns = ReadCount(c.columns, m_nColumns);
    m_nStartCorner = ReadIndex(c.startCorner);
    m_nDirection = ReadIndex(c.direction);
    m_bSameDirection = IsChecked(c.sameDirection);
}

void CLSPreviewStatic::Validate()
{
    m_bValid = false;
    m_strError = QStringLiteral("\n\n");
    if (!m_bLabelPrinter && m_fPageWidth <= 0)
        m_strError += QStringLiteral("页面宽度不能小于等于0");
    else if (!m_bLabelPrinter && m_fPageHeight <= 0)
        m_strError += QStringLiteral("页面高度不能小于等于0");
    else if (m_fLabelWidth <= 0)
        m_strError += QStringLiteral("标签宽度不能小于等于0");
    else if (m_fLabelHeight <= 0)
        m_strError += QStringLiteral("标签高度不能小于等于0");
    else if (m_nRows <= 0 || m_nColumns <= 0)
        m_strError += QStringLiteral("请调整标签设置以确保至少有1行1列");
    else
        m_bValid = true;
}

void CLSPreviewStatic::FitToClient()
{
    int extentW = 0;
    int extentH = 0;
    if (m_bBackgroundPage) {
        extentW = PixelsX(m_fLabelWidth);
        extentH = PixelsY(m_fLabelHeight);
    } else if (!m_bLabelPrinter) {
        extentW = PixelsX(m_bLandscapeRead ? m_fPageHeight : m_fPageWidth);
        extentH = PixelsY(m_bLandscapeRead ? m_fPageWidth : m_fPageHeight);
    } else {
        const float w = m_nColumns > 0 ? m_nColumns * m_fLabelWidth + (m_nColumns - 1) * m_fHorzGap : 0.0f;
        extentW = PixelsX(2 * m_fLeftMargin + w);
        extentH = PixelsY(2 * m_fTopMargin + m_fLabelHeight);
    }
    // A size below one pixel still draws, as a dot.
    extentW = std::max(extentW, 1);
    extentH = std::max(extentH, 1);
    const float availW = static_cast<float>(std::max(width() - 14, 1));
    const float availH = static_cast<float>(std::max(height() - 14, 1));
    if (availH / availW <= static_cast<float>(extentH) / extentW) {
        m_fScale = availH / extentH;
        m_nDrawnWidth = static_cast<int>(extentW * m_fScale);
        m_nDrawnHeight = static_cast<int>(extentH * m_fScale);
        m_nOffsetX = static_cast<int>((availW - m_nDrawnWidth) / 2) + 5;
        m_nOffsetY = 5;
    } else {
        m_fScale = availW / extentW;
        m_nDrawnWidth = static_cast<int>(extentW * m_fScale);
        m_nDrawnHeight = static_cast<int>(extentH * m_fScale);
        m_nOffsetX = 5;
        m_nOffsetY = static_cast<int>((availH - m_nDrawnHeight) / 2) + 5;
    }
}

void CLSPreviewStatic::Refresh()
{
    ReadControls();
    Validate();
    if (m_bValid)
        FitToClient();
    update();
}

int CLSPreviewStatic::GetLabelSequence(int row, int column) const
{
    return static_cast<int>(
        LabelSequence({m_nRows, m_nColumns, m_nStartCorner, m_nDirection, m_bSameDirection}, row, column));
}

QRectF CLSPreviewStatic::CellRect(int row, int column) const
{
    const double w = PixelsX(m_fLabelWidth);
    const double h = PixelsY(m_fLabelHeight);
    const double left = PixelsX(m_fLeftMargin) + column * (w + PixelsX(m_fHorzGap));
    const double top = PixelsY(m_fTopMargin) + row * (h + PixelsY(m_fVertGap));
    return QRectF(left * m_fScale + m_nOffsetX, top * m_fScale + m_nOffsetY, w * m_fScale, h * m_fScale);
}

QPainterPath CLSPreviewStatic::ShapePath(const QRectF& box, float radius) const
{
    QPainterPath path;
    if (m_nShape == ShapeRectangle)
        path.addRect(box);
    else if (m_nShape == ShapeRoundRect)
        path.addRoundedRect(box, radius, radius);
    else if (m_nShape == ShapeEllipse)
        path.addEllipse(box);
    return path;
}

QRectF CLSPreviewStatic::HoleRect(const QRectF& cell) const
{
    const double d = PixelsX(m_fHoleDiameter) * m_fScale;
    return QRectF(cell.center().x() - d / 2, cell.center().y() - d / 2, d, d);
}

void CLSPreviewStatic::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The fit depends on the client size, which the layout gives only once shown.
    if (m_bValid)
        FitToClient();
}

void CLSPreviewStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(200, 200, 200));
    if (!m_bValid) {
        QFont font(QStringLiteral("Tahoma"));
        font.setPointSizeF(8);
        painter.setFont(font);
        painter.setPen(QColor(0xFF, 0, 0));
        painter.drawText(QRect(5, 5, width() - 10, height() - 10), Qt::TextWordWrap, m_strError);
        return;
    }
    if (m_bBackgroundPage)
        DrawLabel(painter);
    else
        DrawPage(painter);
}

void CLSPreviewStatic::DrawPage(QPainter& painter)
{
    const QRect page(m_nOffsetX, m_nOffsetY, m_nDrawnWidth, m_nDrawnHeight);
    painter.fillRect(page, Qt::white);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(page);
    painter.fillRect(QRect(page.left() + 4, page.top() + page.height(), page.width(), 4), Qt::black);
    painter.fillRect(QRect(page.left() + page.width(), page.top() + 4, 4, page.height()), Qt::black);

    const float radius = PixelsX(m_fCornerRadius) * m_fScale;
    painter.setFont(NumberFont());
    painter.setBrush(Qt::NoBrush);
    for (int r = 0; r < m_nRows; ++r) {
        for (int c = 0; c < m_nColumns; ++c) {
            const QRectF cell = CellRect(r, c);
            painter.drawPath(ShapePath(cell, radius));
            if (m_nShape == ShapeEllipse && m_bCenterHole)
                painter.drawEllipse(HoleRect(cell));
            if (m_bShowNumbers)
                painter.drawText(cell, Qt::AlignCenter, QString::asprintf("%d", GetLabelSequence(r, c)));
        }
    }
}

void CLSPreviewStatic::DrawLabel(QPainter& painter)
{
    const QRectF box(m_nOffsetX, m_nOffsetY, PixelsX(m_fLabelWidth) * m_fScale, PixelsY(m_fLabelHeight) * m_fScale);
    const QPainterPath shape = ShapePath(box, PixelsX(m_fCornerRadius) * m_fScale);
    const QColor picked = m_controls.background ? m_controls.background->GetColour() : QColor();
    const QColor fill = picked.isValid() ? QColor(picked.red(), picked.green(), picked.blue()) : QColor(Qt::white);
    painter.fillPath(shape, fill);

    const ImageHolder* image = m_controls.image ? m_controls.image() : nullptr;
    if (!IsChecked(m_controls.noImage) && image) {
        // Proportions and natural size are the picture's own; it is decoded only as
        // large as it is drawn, sharing the one copy the label keeps.
        QSize own = image->SourceSize();
        if (!own.isValid())
            own = ImageHolder::PlaceholderImage().size();
        const double iw = own.width();
        const double ih = own.height();
        QSizeF size = box.size();
        switch (ReadIndex(m_controls.imageFit)) {
        case 0: size = QSizeF(iw * m_fScale, ih * m_fScale); break;
        case 1: size = QSizeF(box.width(), ih / iw * box.width()); break;
        case 2: size = QSizeF(iw / ih * box.height(), box.height()); break;
        default: break;
        }
        painter.save();
        painter.setClipPath(shape);
        painter.drawImage(QRectF(box.topLeft(), size), image->DrawnImage(DevicePixels(painter, size)));
        painter.restore();
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    if (m_nShape == ShapeEllipse && m_bCenterHole) {
        painter.setBrush(fill);
        painter.drawEllipse(HoleRect(box));
    }
}

CLabelShapeStatic::CLabelShapeStatic(int shape, QWidget* parent) : QWidget(parent), m_nShape(shape) {}

void CLabelShapeStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    const QRectF box(1, 1, width() - 2, height() - 2);
    if (m_nShape == ShapeRectangle)
        painter.drawRect(box);
    else if (m_nShape == ShapeRoundRect)
        painter.drawRoundedRect(box, 5, 5);
    else if (m_nShape == ShapeEllipse)
        painter.drawEllipse(box);
}
