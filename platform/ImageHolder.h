#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <memory>

// Where a picture whose header reads but whose pixels do not decode (a file cut short,
// corrupt data, too large to decode at the size drawn) is told. The application
// installs one that shows it once drawing is over; without one it is logged. It is
// called once a picture, by whatever thread drew it, never under the holders' lock.
class CPictureNotifier
{
public:
    virtual ~CPictureNotifier() = default;
    virtual void PictureFailed(const QString& text) = 0;
};

// An embedded picture: the encoded bytes exactly as they came (from a file or a label
// file) and their MIME type, beside the decoded image. Writing it back uses the
// original bytes, so a format this platform can read but not write (GIF) or cannot
// read at all survives a save unchanged. The bytes are decoded when the image is
// first asked for (drawing), so opening a label costs only its file's bytes.
class ImageHolder
{
public:
    ImageHolder();

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

    bool IsEmpty() const;
    bool IsPlaceholder() const { return m_bPlaceholder; }
    // Whether the bytes are a picture this platform reads within kMaxPictureDecodedMiB;
    // only the picture's header is read.
    bool IsDecoded() const { return SourceSize().isValid(); }
    // The picture's own size in pixels, from its header; invalid for bytes that are
    // no picture or exceed the decoding budget.
    QSize SourceSize() const;
    // The picture at its own size; null for bytes that cannot be decoded or exceed
    // the decoding budget. The reference stays valid while the holder lives, but
    // decoding other pictures may empty it: drawing uses DrawnImage.
    const QImage& Image() const;
    // The picture at its own size, or the placeholder for bytes that cannot be decoded.
    const QImage& DisplayImage() const;
    // What drawing a box of `pixels` device pixels shows: the picture decoded at
    // least that large in each direction (never above its own size), or the
    // placeholder. Every copy of the holder shares the one decoded image, kept at
    // the largest size asked for so far.
    QImage DrawnImage(QSize pixels) const;
    const QByteArray& Bytes() const { return m_bytes; }
    // A holder read again from the same bytes (a copy of a label made through its
    // file format) takes `same`'s decoded picture instead of decoding its own.
    void ShareDecoded(const ImageHolder& same);
    const QString& MimeType() const { return m_mimeType; }

    // Bytes of decoded pictures kept at the moment, by all holders together.
    static qint64 KeptBytes();
    // The most KeptBytes has been since the last call, which starts a new count at
    // what is kept then.
    static qint64 TakePeakKeptBytes();

    // Null: failures are logged.
    static void SetNotifier(CPictureNotifier* notifier);
    // What the notifier is told for a picture of this size.
    static QString FailureText(QSize source);

    // Decoded from m_bytes on first use, once for the holder and all its copies
    // (a print job copies a label's pictures for every label it draws).
    struct Decoded;

private:
    QByteArray m_bytes;
    QString m_mimeType;
    std::shared_ptr<Decoded> m_decoded;
    bool m_bPlaceholder = false;
};
