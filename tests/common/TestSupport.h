#pragma once

#include "platform/Drawing.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <ostream>
#include <sys/stat.h>

// Lets gtest print Qt strings in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

// How long a test lets a step that must end by itself run before it calls it hung: far past
// what a loaded machine under the sanitizers needs, short of what a fault leaves (a reader
// asleep for 30 s, a limit of a minute, rows without end). How fast a step is belongs to the
// benchmarks, never to a test.
inline constexpr qint64 kHungAfterMs = 20000;

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

// image encoded as a PNG file's bytes.
QByteArray PngOf(const QImage& image);

// The pixel at (xMm, yMm).
QRgb PixelAtMm(const QImage& image, double xMm, double yMm, double dpi);

// Whether the pixel at (xMm, yMm) is darker than mid-grey.
bool IsDarkAt(const QImage& image, double xMm, double yMm, double dpi);
// Box in millimetres around every pixel darker than mid-grey; empty when there is none.
QRectF InkBox(const QImage& image, double dpi);

// Paths that name no regular file of sane size: a pipe without a writer (made in
// dir), an endless device, and a /proc file that reports size 0 yet reads for
// gigabytes.
QStringList HostilePaths(const QString& dir);

// The resident memory of this process, in bytes.
qint64 ResidentBytes();

// Runs body in a child process whose address space may grow by only `headroom`
// bytes more, so that the next large allocation fails; the child exits 0 when body
// returns true. For use inside EXPECT_EXIT. Address-space limits and the
// sanitizers' shadow memory exclude each other, so sanitized builds skip such tests.
#if defined(__SANITIZE_ADDRESS__)
#define VC_SKIP_UNDER_ASAN() GTEST_SKIP() << "address-space limits do not work under AddressSanitizer"
#else
#define VC_SKIP_UNDER_ASAN() (void)0
#endif
[[noreturn]] void RunWithLittleMemory(qint64 headroom, const std::function<bool()>& body);

// The process's umask set for one scope, and the one before it back after.
class ScopedUmask
{
public:
    explicit ScopedUmask(mode_t mask)
        : m_previous(::umask(mask))
    {
    }
    ~ScopedUmask() { ::umask(m_previous); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t m_previous;
};
