#include "app/MainFrame.h"
#include "app/VellumcraftApp.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const CVellumcraftApp::Options options = CVellumcraftApp::ParseCommandLine(QApplication::arguments());
    CVellumcraftApp theApp;
    if (!theApp.InitInstance(options)) {
        theApp.ExitInstance();
        if (!options.screenshot.isEmpty()) {
            std::fprintf(stderr, "The program ended before its window showed: no screenshot in %s\n",
                         qPrintable(options.screenshot));
            return 1;
        }
        return 0;
    }
    int result = 0;
    if (!options.screenshot.isEmpty()) {
        // Once the window has laid itself out and painted: save it, then leave.
        QTimer::singleShot(1500, &app, [&] {
            if (!theApp.MainFrame()->grab().save(options.screenshot)) {
                std::fprintf(stderr, "Cannot save the screenshot to %s\n", qPrintable(options.screenshot));
                result = 1;
            }
            // The picture is still written, so the reason can be seen with it.
            if (!theApp.CommandLineFileOpened())
                result = 2;
            theApp.MainFrame()->close();
            QApplication::quit();
        });
    }
    const int loop = app.exec();
    theApp.ExitInstance();
    return result ? result : loop;
}
