#include "TestSupport.h"

#include <QColor>
#include <cmath>

QImage MakeCanvas(double widthMm, double heightMm, double dpi)
{
    QImage image(static_cast<int>(std::lround(widthMm * dpi / 25.4)),
                 static_cast<int>(std::lround(heightMm * dpi / 25.4)), QImage::Format_ARGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    return image;
}

bool IsDarkAt(const QImage& image, double xMm, double yMm, double dpi)
{
    const int x = static_cast<int>(std::floor(xMm * dpi / 25.4));
    const int y = static_cast<int>(std::floor(yMm * dpi / 25.4));
    if (!image.valid(x, y))
        return false;
    return qGray(image.pixel(x, y)) < 128;
}
