// Shared main of every test executable: a headless Qt, the C numeric locale and the
// screen resolution fixed at 96 dpi, so results never depend on the machine.
#include "platform/ScreenDpi.h"

#include <QGuiApplication>
#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    g_nScreenDpiX = 96;
    g_nScreenDpiY = 96;
    return RUN_ALL_TESTS();
}
