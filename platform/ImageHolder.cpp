#include "platform/ImageHolder.h"

#include "platform/InputLimits.h"

#include <QBuffer>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <new>

ImageHolder ImageHolder::FromBytes(const QByteArray& bytes, const QString& mimeType)
{
    ImageHolder holder;
    holder.m_bytes = bytes;
    holder.m_mimeType = mimeType.isEmpty() ? QMimeDatabase().mimeTypeForData(bytes).name() : mimeType;
    return holder;
}

const QImage& ImageHolder::Image() const
{
    Decoded& decoded = *m_decoded;
    if (decoded.tried || m_bytes.isEmpty())
        return decoded.image;
    decoded.tried = true;
    QByteArray bytes = m_bytes; // shared, not copied: the buffer only reads
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    reader.setAllocationLimit(kMaxPictureDecodedMiB);
    try {
        decoded.image = reader.read();
    } catch (const std::bad_alloc&) {
        decoded.image = QImage();
    }
    return decoded.image;
}

ImageHolder ImageHolder::FromFile(const QString& path)
{
    QString reason;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, kMaxPictureFileBytes, reason);
    return bytes ? FromBytes(*bytes) : ImageHolder();
}

ImageHolder ImageHolder::FromImage(const QImage& image)
{
    ImageHolder holder;
    holder.m_decoded->image = image;
    holder.m_decoded->tried = true;
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
