#include "platform/ImageHolder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>

ImageHolder ImageHolder::FromBytes(const QByteArray& bytes, const QString& mimeType)
{
    ImageHolder holder;
    holder.m_bytes = bytes;
    holder.m_mimeType = mimeType.isEmpty() ? QMimeDatabase().mimeTypeForData(bytes).name() : mimeType;
    QBuffer buffer(&holder.m_bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    holder.m_image = reader.read();
    return holder;
}

ImageHolder ImageHolder::FromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return FromBytes(file.readAll());
}

ImageHolder ImageHolder::FromImage(const QImage& image)
{
    ImageHolder holder;
    holder.m_image = image;
    holder.m_mimeType = QStringLiteral("image/png");
    QBuffer buffer(&holder.m_bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return holder;
}

const QImage& ImageHolder::PlaceholderImage()
{
    static const QImage placeholder = [] {
        QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(0xF0, 0xF0, 0xF0));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor grey(0x90, 0x90, 0x90);
        painter.setPen(QPen(grey, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(1, 1, 46, 46));
        painter.setPen(Qt::NoPen);
        painter.setBrush(grey);
        painter.drawEllipse(QPointF(33, 15), 5, 5);
        QPainterPath hills;
        hills.moveTo(6, 40);
        hills.lineTo(18, 20);
        hills.lineTo(27, 33);
        hills.lineTo(32, 27);
        hills.lineTo(42, 40);
        hills.closeSubpath();
        painter.drawPath(hills);
        return image;
    }();
    return placeholder;
}

ImageHolder ImageHolder::Placeholder()
{
    ImageHolder holder = FromImage(PlaceholderImage());
    holder.m_bPlaceholder = true;
    return holder;
}
