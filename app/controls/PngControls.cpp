#include "app/controls/PngControls.h"

#include <QPainter>

CPngStatic::CPngStatic(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

bool CPngStatic::LoadPng()
{
    QImage image(QStringLiteral(":/png/%1.png").arg(m_nResourceId), "PNG");
    m_image = image;
    update();
    return !m_image.isNull();
}

QSize CPngStatic::sizeHint() const
{
    return m_image.isNull() ? QWidget::sizeHint() : m_image.size();
}

void CPngStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (!m_image.isNull()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QPoint(0, 0), m_image);
    }
}

void CPngRadioButton::paintEvent(QPaintEvent* event)
{
    QRadioButton::paintEvent(event);
    if (!isChecked())
        return;
    QPainter painter(this);
    painter.setPen(QPen(QColor(0xFF, 0, 0), 1.0, Qt::DotLine));
    painter.drawRect(QRectF(16, 0, width() - 16 - 1, height() - 1));
}
