#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <memory>

// An embedded picture: the encoded bytes exactly as they came (from a file or a label
// file) and their MIME type, beside the decoded image. Writing it back uses the
// original bytes, so a format this platform can read but not write (GIF) or cannot
// read at all survives a save unchanged. The bytes are decoded when the image is
// first asked for (drawing), so opening a label costs only its file's bytes.
class ImageHolder
{
public:
    ImageHolder() = default;

    // Takes encoded bytes; the MIME type is detected from them when not given.
    static ImageHolder FromBytes(const QByteArray& bytes, const QString& mimeType = {});
    // Reads a picture file: a regular file of at most kMaxPictureFileBytes, else an
    // empty holder.
    static ImageHolder FromFile(const QString& path);
    // A picture that exists only decoded (drawn, pasted): encoded as PNG.
    static ImageHolder FromImage(const QImage& image);

    // The picture shown where there is none to show (a data-source image before
    // printing, a linked file that is missing): a grey framed landscape, drawn here.
    // It is only shown, never stored as the user's picture.
    static ImageHolder Placeholder();
    static const QImage& PlaceholderImage();

    bool IsEmpty() const { return m_bytes.isEmpty() && m_decoded->image.isNull(); }
    bool IsPlaceholder() const { return m_bPlaceholder; }
    // Whether the bytes decode (decoding them now if that was not done yet).
    bool IsDecoded() const { return !Image().isNull(); }
    // The decoded picture; null for bytes that cannot be decoded or exceed the
    // decoding budget.
    const QImage& Image() const;
    // What drawing shows: the decoded image, or the placeholder for bytes that cannot
    // be decoded.
    const QImage& DisplayImage() const { return IsDecoded() ? m_decoded->image : PlaceholderImage(); }
    const QByteArray& Bytes() const { return m_bytes; }
    const QString& MimeType() const { return m_mimeType; }

private:
    QByteArray m_bytes;
    QString m_mimeType;
    // Decoded from m_bytes on first use, once for the holder and all its copies
    // (a print job copies a label's pictures for every label it draws).
    struct Decoded
    {
        QImage image;
        bool tried = false;
    };
    std::shared_ptr<Decoded> m_decoded = std::make_shared<Decoded>();
    bool m_bPlaceholder = false;
};
