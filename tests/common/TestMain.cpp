// Shared main of every test executable: a headless Qt, the C numeric locale and the
// screen resolution fixed at 96 dpi, so results never depend on the machine.
#include "TestSupport.h"
#include "platform/ScreenDpi.h"

#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>

// Executables that test widgets define their own, making a QApplication.
__attribute__((weak)) std::unique_ptr<QCoreApplication> MakeTestApplication(int& argc, char** argv)
{
    return std::make_unique<QGuiApplication>(argc, argv);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("VC_TEST_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else
        qputenv("QT_QPA_PLATFORM", qgetenv("VC_TEST_PLATFORM"));
    testing::InitGoogleTest(&argc, argv);
    const std::unique_ptr<QCoreApplication> app = MakeTestApplication(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    g_nScreenDpiX = 96;
    g_nScreenDpiY = 96;
    // The program's settings of a test run never reach the user's own.
    QTemporaryDir settingsDir;
    QCoreApplication::setOrganizationName(QStringLiteral("Vellumcraft"));
    QCoreApplication::setApplicationName(QStringLiteral("Vellumcraft"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    return RUN_ALL_TESTS();
}
