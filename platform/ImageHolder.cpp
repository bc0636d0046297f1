#include "platform/ImageHolder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>

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
