#pragma once

#include <QPixmap>
#include <QWidget>

// The window shown while the program starts: the splash picture with a one-pixel
// blue border, centred on the screen, above other windows.
class CSplashWindow : public QWidget
{
    Q_OBJECT
public:
    CSplashWindow();

    // Shows the splash for holdMs milliseconds while events are processed, then
    // closes it.
    static void ShowSplashScreen(int holdMs);
    // A random hold of 2000 to 3999 ms.
    static int RandomHoldMs();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_bitmap;
};
