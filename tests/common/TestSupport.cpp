#include "TestSupport.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

QImage MakeCanvas(double widthMm, double heightMm, double dpi)
{
    QImage image(static_cast<int>(std::lround(widthMm * dpi / 25.4)),
                 static_cast<int>(std::lround(heightMm * dpi / 25.4)), QImage::Format_ARGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    return image;
}

QByteArray PngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

namespace {

QPoint PixelOf(double xMm, double yMm, double dpi)
{
    return {static_cast<int>(std::floor(xMm * dpi / 25.4)), static_cast<int>(std::floor(yMm * dpi / 25.4))};
}

} // namespace

QRgb PixelAtMm(const QImage& image, double xMm, double yMm, double dpi)
{
    return image.pixel(PixelOf(xMm, yMm, dpi));
}

bool IsDarkAt(const QImage& image, double xMm, double yMm, double dpi)
{
    const QPoint p = PixelOf(xMm, yMm, dpi);
    return image.valid(p) && qGray(image.pixel(p)) < 128;
}

QRectF InkBox(const QImage& image, double dpi)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0)
        return {};
    const double mm = 25.4 / dpi;
    return {left * mm, top * mm, (right - left + 1) * mm, (bottom - top + 1) * mm};
}

QStringList HostilePaths(const QString& dir)
{
    const QString fifo = dir + QStringLiteral("/pipe");
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    return {fifo, QStringLiteral("/dev/zero"), QStringLiteral("/proc/self/pagemap")};
}

qint64 ResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

void RunWithLittleMemory(qint64 headroom, const std::function<bool()>& body)
{
    QFile status(QStringLiteral("/proc/self/status"));
    qint64 size = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmSize:"))
                size = line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    const rlimit limit{static_cast<rlim_t>(size + headroom), static_cast<rlim_t>(size + headroom)};
    setrlimit(RLIMIT_AS, &limit);
    std::_Exit(body() ? 0 : 1);
}
