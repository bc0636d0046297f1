#include "TestSupport.h"

#include <QApplication>

// Widgets need a QApplication rather than the shared main's QGuiApplication.
std::unique_ptr<QCoreApplication> MakeTestApplication(int& argc, char** argv)
{
    return std::make_unique<QApplication>(argc, argv);
}
