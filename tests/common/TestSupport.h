#pragma once

#include "platform/Drawing.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <memory>
#include <ostream>

// Lets gtest print Qt strings in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

// The application object of the shared test main: a QGuiApplication unless the
// executable defines this to make another kind.
std::unique_ptr<QCoreApplication> MakeTestApplication(int& argc, char** argv);

// A white ARGB image of the given size in millimetres at dpi, for drawing tests.
QImage MakeCanvas(double widthMm, double heightMm, double dpi);
// A canvas from MakeCanvas that paint(QPainter&) draws on in its millimetre world,
// antialiased when asked. A template so that only tests that draw need the platform
// library.
template <class Paint>
QImage PaintCanvas(double widthMm, double heightMm, double dpi, Paint&& paint, bool antialias = false)
{
    QImage image = MakeCanvas(widthMm, heightMm, dpi);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, antialias);
    SetMillimetreWorld(painter);
    paint(painter);
    painter.end();
    return image;
}

// The pixel at (xMm, yMm).
QRgb PixelAtMm(const QImage& image, double xMm, double yMm, double dpi);

// Whether the pixel at (xMm, yMm) is darker than mid-grey.
bool IsDarkAt(const QImage& image, double xMm, double yMm, double dpi);
// Box in millimetres around every pixel darker than mid-grey; empty when there is none.
QRectF InkBox(const QImage& image, double dpi);
