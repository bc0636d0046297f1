#include "app/controls/FontStatic.h"

#include <QMouseEvent>
#include <QPainter>

CFontStatic::CFontStatic(QWidget* parent) : QWidget(parent)
{
    RecreateFont();
}

CFontStatic::CFontStatic(const QString& text, QWidget* parent) : CFontStatic(parent)
{
    m_strText = text;
}

void CFontStatic::setText(const QString& text)
{
    m_strText = text;
    updateGeometry();
    update();
}

void CFontStatic::SetFontStyle(uint8_t flags)
{
    m_bBold = flags & FontBold;
    m_bItalic = flags & FontItalic;
    m_bUnderline = flags & FontUnderline;
    m_bStrikeOut = flags & FontStrikeOut;
    m_bAntialiased = flags & FontAntialiased;
    m_bCentred = flags & FontCentred;
    m_bRight = !m_bCentred && (flags & FontRight);
    m_bLeft = !m_bCentred && !m_bRight;
    RecreateFont();
}

void CFontStatic::RecreateFont()
{
    m_font = QFont(m_strFaceName);
    m_font.setPixelSize(std::max(m_nHeight, 1));
    m_font.setWeight(m_bBold ? QFont::Black : QFont::Normal);
    m_font.setItalic(m_bItalic);
    m_font.setUnderline(m_bUnderline);
    m_font.setStrikeOut(m_bStrikeOut);
    m_font.setStyleStrategy(m_bAntialiased ? QFont::PreferAntialias : QFont::PreferDefault);
    updateGeometry();
    update();
}

Qt::Alignment CFontStatic::TextAlignment() const
{
    return m_bCentred ? Qt::AlignHCenter : m_bRight ? Qt::AlignRight : Qt::AlignLeft;
}

QSize CFontStatic::sizeHint() const
{
    const QFontMetrics metrics(m_font);
    return QSize(metrics.horizontalAdvance(m_strText) + 2, metrics.height() + 2);
}

void CFontStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_bCustomBackground ? m_crBackground : palette().color(QPalette::Button));
    painter.setFont(m_font);
    painter.setPen(m_crText);
    painter.drawText(rect(), TextAlignment() | Qt::AlignTop | Qt::TextWordWrap, m_strText);
}

void CFontStatic::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
