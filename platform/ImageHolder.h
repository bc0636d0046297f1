#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// An embedded picture: the encoded bytes exactly as they came (from a file or a label
// file) and their MIME type, beside the decoded image. Writing it back uses the
// original bytes, so a format this platform can read but not write (GIF) or cannot
// read at all survives a save unchanged.
class ImageHolder
{
public:
    ImageHolder() = default;

    // Takes encoded bytes; the MIME type is detected from them when not given.
    static ImageHolder FromBytes(const QByteArray& bytes, const QString& mimeType = {});
    // Reads a picture file; an unreadable file gives an empty holder.
    static ImageHolder FromFile(const QString& path);
    // A picture that exists only decoded (drawn, pasted): encoded as PNG.
    static ImageHolder FromImage(const QImage& image);

    // The picture shown where there is none to show (a data-source image before
    // printing, a linked file that is missing): a grey framed landscape, drawn here.
    // It is only shown, never stored as the user's picture.
    static ImageHolder Placeholder();
    static const QImage& PlaceholderImage();

    bool IsEmpty() const { return m_bytes.isEmpty() && m_image.isNull(); }
    bool IsPlaceholder() const { return m_bPlaceholder; }
    bool IsDecoded() const { return !m_image.isNull(); }
    const QImage& Image() const { return m_image; }
    // What drawing shows: the decoded image, or the placeholder for bytes that cannot
    // be decoded.
    const QImage& DisplayImage() const { return m_image.isNull() ? PlaceholderImage() : m_image; }
    const QByteArray& Bytes() const { return m_bytes; }
    const QString& MimeType() const { return m_mimeType; }

private:
    QByteArray m_bytes;
    QString m_mimeType;
    QImage m_image;
    bool m_bPlaceholder = false;
};
