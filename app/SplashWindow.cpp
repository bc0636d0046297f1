#include "app/SplashWindow.h"

#include "app/UiServices.h"
#include "app/VXBaseDialog.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>

namespace {

// The splash picture, drawn here as the program has no bitmap of its own.
QPixmap SplashPicture(int width)
{
    QPixmap pixmap(width, 260);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, 0, pixmap.height());
    gradient.setColorAt(0, QColor::fromRgb(0xDD, 0xEC, 0xFE));
    gradient.setColorAt(1, QColor::fromRgb(0x87, 0xAE, 0xE4));
    painter.fillRect(pixmap.rect(), gradient);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor::fromRgb(25, 86, 141));
    QFont title(QStringLiteral("Arial"), 26, QFont::Bold);
    painter.setFont(title);
    painter.drawText(QRect(0, 70, pixmap.width(), 60), Qt::AlignCenter, QString::fromUtf16(kAppTitle));
    painter.setFont(QFont(QStringLiteral("Arial"), 11));
    painter.drawText(QRect(0, 130, pixmap.width(), 30), Qt::AlignCenter, QStringLiteral("条码标签设计与打印"));
    painter.drawText(QRect(0, 210, pixmap.width() - 16, 30), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("V2.1.0"));
    return pixmap;
}

} // namespace

CSplashWindow::CSplashWindow()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_bitmap(SplashPicture(420))
{
    setObjectName(QStringLiteral("splash"));
    // Where a window manager gives it a title bar, the name is there in full.
    setWindowTitle(QString::fromUtf16(kAppTitle));
    if (const int title = TitleBarWidth(*this); title > m_bitmap.width())
        m_bitmap = SplashPicture(title);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(m_bitmap.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->geometry();
        move(desktop.left() + desktop.width() / 2 - width() / 2, desktop.top() + desktop.height() / 2 - height() / 2);
    }
}

int CSplashWindow::RandomHoldMs()
{
    return int(QRandomGenerator::global()->bounded(2000)) + 2000;
}

void CSplashWindow::ShowSplashScreen(int holdMs)
{
    CSplashWindow splash;
    splash.show();
    splash.repaint();
    QEventLoop loop;
    QTimer::singleShot(holdMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void CSplashWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_bitmap);
    painter.setPen(QColor::fromRgb(25, 86, 141));
    const int w = width() - 1;
    const int h = height() - 1;
    painter.drawLine(0, 0, w, 0);
    painter.drawLine(w, 0, w, h);
    painter.drawLine(w, h, 0, h);
    painter.drawLine(0, h, 0, 0);
}
