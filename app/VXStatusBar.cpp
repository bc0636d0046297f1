#include "app/VXStatusBar.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QResizeEvent>

namespace {

constexpr int kTextRightMargin = 20;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;

void DrawSeparator(QPainter& painter, int x)
{
    painter.setPen(QPen(QColor::fromRgba(0xFF6A8CCB), 1.0));
    painter.drawLine(QPointF(x, 4), QPointF(x, 16));
    painter.setPen(QPen(QColor::fromRgba(0xFFFAFAFA), 1.0));
    painter.drawLine(QPointF(x + 1, 5), QPointF(x + 1, 17));
}

void DrawGripDot(QPainter& painter, int x, int y)
{
    const QRgb colours[2][2] = {{0xFFFFFFFF, 0xFFCFCFCF}, {0xFFE7E7E7, 0xFFAFAFAF}};
    for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx)
            painter.fillRect(QRect(x + dx, y + dy, 1, 1), QColor::fromRgba(colours[dy][dx]));
}

// Walks the non-empty pane texts as they are laid out: each starts 5 pixels after
// the previous one's separator; the layout never gets a negative width.
template <class Visit>
void LayOutPanes(const std::array<QString, 4>& texts, const QFont& font, int width, int height, Visit&& visit)
{
    const QFontMetricsF metrics(font);
    const int textRight = width - kTextRightMargin;
    int x = 0;
    for (const QString& text : texts) {
        if (text.isEmpty())
            continue;
        const QRectF layout(x, 0, std::max(0, textRight - x), height);
        const QRectF box = metrics.boundingRect(layout, kTextFlags, text);
        const int end = static_cast<int>(box.left() + std::min(box.width(), layout.width()) + 5);
        visit(text, layout, end < textRight ? end : -1);
        x = end + 5;
    }
}

} // namespace

CVXStatusBar::CVXStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    m_font = QFont(QStringLiteral("Arial"));
    m_font.setStyleHint(QFont::SansSerif);
    m_font.setPointSize(8);
    setMinimumHeight(22);
}

void CVXStatusBar::SetShowPanes(bool show)
{
    m_bShowPanes = show;
    update();
}

void CVXStatusBar::SetMessageText(const QString& text)
{
    m_strMessage = text;
    update();
}

void CVXStatusBar::SetPaneText(int index, const QString& text)
{
    m_paneTexts.at(index) = text;
    update();
}

std::vector<int> CVXStatusBar::SeparatorPositions(const std::array<QString, 4>& texts, const QFont& font, int width,
                                                  int height)
{
    std::vector<int> positions;
    LayOutPanes(texts, font, width, height, [&](const QString&, const QRectF&, int separator) {
        if (separator >= 0)
            positions.push_back(separator);
    });
    return positions;
}

void CVXStatusBar::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    m_backImage = QImage(event->size(), QImage::Format_ARGB32_Premultiplied);
    m_nGripX = event->size().width() - 5;
    update();
}

void CVXStatusBar::PaintBar(QPainter& painter, bool showGrip)
{
    const int w = width();
    const int h = height();
    QLinearGradient gradient(0, 0, 0, h);
    gradient.setColorAt(0, QColor::fromRgba(0xFFDDECFE));
    gradient.setColorAt(1, QColor::fromRgba(0xFF87AEE4));
    painter.fillRect(rect(), gradient);
    if (showGrip) {
        const int gx = m_nGripX;
        const int gy = m_nGripY;
        const QPoint dots[] = {{gx, gy},         {gx - 3, gy + 3}, {gx, gy + 3},
                               {gx - 6, gy + 6}, {gx - 3, gy + 6}, {gx, gy + 6}};
        for (const QPoint& p : dots)
            DrawGripDot(painter, p.x(), p.y());
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(0, 0, std::max(0, w - kTextRightMargin), h);
    painter.setFont(m_font);
    if (!m_bShowPanes) {
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, 0, std::max(0, w - kTextRightMargin), h), kTextFlags, m_strMessage);
    } else {
        LayOutPanes(m_paneTexts, m_font, w, h, [&](const QString& text, const QRectF& layout, int separator) {
            painter.setPen(Qt::black);
            painter.drawText(layout, kTextFlags, text);
            if (separator >= 0)
                DrawSeparator(painter, separator);
        });
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void CVXStatusBar::paintEvent(QPaintEvent*)
{
    if (m_backImage.size() != size())
        m_backImage = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    if (m_backImage.isNull())
        return;
    {
        QPainter back(&m_backImage);
        const QWidget* frame = window();
        PaintBar(back, !(frame && frame->isMaximized()));
    }
    QPainter(this).drawImage(0, 0, m_backImage);
}
