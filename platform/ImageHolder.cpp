#include "platform/ImageHolder.h"

#include "platform/InputLimits.h"

#include <QBuffer>
#include <QDebug>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <atomic>
#include <list>
#include <mutex>
#include <new>
#include <utility>

struct ImageHolder::Decoded
{
    Decoded() = default;
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
    ~Decoded();

    QImage image;       // at the largest size asked for so far; emptied to make room
    QSize source;       // the picture's own size, from its header
    bool headerRead = false;
    bool failed = false; // the pixels did not decode
    bool kept = false;   // counted among the kept pictures (decoded from the bytes)
    std::list<Decoded*>::iterator place;
};

namespace {

// The decoded pictures of every holder, the one drawn last first. One lock serves
// them all: decoding is rare, drawing a kept picture only moves it to the front.
struct KeptPictures
{
    std::mutex lock;
    std::list<ImageHolder::Decoded*> order;
    qint64 bytes = 0;
    qint64 peak = 0; // the most `bytes` has been since TakePeakKeptBytes
};

std::atomic<CPictureNotifier*> g_pPictureNotifier{nullptr};

KeptPictures& Kept()
{
    // Never destroyed: a holder that outlives the other statics still leaves the list.
    static KeptPictures* const kept = new KeptPictures;
    return *kept;
}

constexpr qint64 kMaxKeptBytes = qint64(kMaxPicturesKeptMiB) << 20;

void ReleaseKept(KeptPictures& kept, ImageHolder::Decoded& decoded)
{
    if (!decoded.kept)
        return;
    kept.bytes -= decoded.image.sizeInBytes();
    kept.order.erase(decoded.place);
    decoded.kept = false;
    decoded.image = QImage();
}

// A holder's bytes read in place, as stored (no turn from the picture's own tags) and
// within the decoding budget.
class PictureReader
{
public:
    explicit PictureReader(const QByteArray& data) : m_bytes(data)
    {
        m_buffer.setBuffer(&m_bytes);
        m_buffer.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_buffer);
        m_reader.setAutoTransform(false);
        m_reader.setAllocationLimit(kMaxPictureDecodedMiB);
    }

    QImageReader& Reader() { return m_reader; }

private:
    QByteArray m_bytes; // shared, not copied: the buffer only reads
    QBuffer m_buffer;
    QImageReader m_reader;
};

} // namespace

ImageHolder::Decoded::~Decoded()
{
    KeptPictures& kept = Kept();
    const std::lock_guard guard(kept.lock);
    ReleaseKept(kept, *this);
}

ImageHolder::ImageHolder() : m_decoded(std::make_shared<Decoded>()) {}

ImageHolder ImageHolder::FromBytes(const QByteArray& bytes, const QString& mimeType)
{
    ImageHolder holder;
    holder.m_bytes = bytes;
    holder.m_mimeType = mimeType.isEmpty() ? QMimeDatabase().mimeTypeForData(bytes).name() : mimeType;
    return holder;
}

bool ImageHolder::IsEmpty() const
{
    return m_bytes.isEmpty() && m_decoded->image.isNull();
}

QSize ImageHolder::SourceSize() const
{
    const std::lock_guard guard(Kept().lock);
    Decoded& decoded = *m_decoded;
    if (!decoded.headerRead) {
        decoded.headerRead = true;
        if (!decoded.image.isNull() && !decoded.kept) {
            decoded.source = decoded.image.size(); // made from an image
        } else if (!m_bytes.isEmpty()) {
            const QSize size = PictureReader(m_bytes).Reader().size();
            // Four bytes a pixel, as the reader's own allocation limit counts.
            if (size.isValid() && !size.isEmpty()
                && qint64(size.width()) * size.height() * 4 <= (qint64(kMaxPictureDecodedMiB) << 20))
                decoded.source = size;
        }
    }
    return decoded.source;
}

namespace {

// Decodes into `decoded` at `target` (at most the picture's own size), making room
// among the kept pictures first. False when the pixels do not decode, which marks the
// picture as failed for good: it is not tried, nor told, again. The lock is held.
bool DecodeAt(KeptPictures& kept, ImageHolder::Decoded& decoded, const QByteArray& data, QSize target)
{
    ReleaseKept(kept, decoded);
    const qint64 needed = qint64(target.width()) * target.height() * 4;
    while (!kept.order.empty() && kept.bytes + needed > kMaxKeptBytes)
        ReleaseKept(kept, *kept.order.back());
    PictureReader picture(data);
    QImageReader& reader = picture.Reader();
    if (target != decoded.source)
        reader.setScaledSize(target);
    QImage image;
    try {
        image = reader.read();
    } catch (const std::bad_alloc&) {
        image = QImage();
    }
    if (image.isNull()) {
        decoded.failed = true;
        return false;
    }
    decoded.image = std::move(image);
    decoded.kept = true;
    kept.bytes += decoded.image.sizeInBytes();
    kept.peak = std::max(kept.peak, kept.bytes);
    kept.order.push_front(&decoded);
    decoded.place = kept.order.begin();
    return true;
}

void TellPictureFailed(QSize source)
{
    const QString text = ImageHolder::FailureText(source);
    if (CPictureNotifier* notifier = g_pPictureNotifier.load())
        notifier->PictureFailed(text);
    else
        qWarning().noquote() << text;
}

} // namespace

QImage ImageHolder::DrawnImage(QSize pixels) const
{
    const QSize source = SourceSize();
    KeptPictures& kept = Kept();
    std::unique_lock guard(kept.lock);
    Decoded& decoded = *m_decoded;
    if (!decoded.image.isNull() && !decoded.kept)
        return decoded.image; // made from an image: all there is
    if (!source.isValid() || decoded.failed)
        return PlaceholderImage();
    const QSize wanted = pixels.expandedTo(QSize(1, 1)).boundedTo(source);
    if (decoded.image.width() >= wanted.width() && decoded.image.height() >= wanted.height()) {
        kept.order.splice(kept.order.begin(), kept.order, decoded.place);
        return decoded.image;
    }
    const QSize target = wanted.expandedTo(decoded.image.size());
    if (DecodeAt(kept, decoded, m_bytes, target))
        return decoded.image;
    // The notifier may take locks of its own, or draw.
    guard.unlock();
    TellPictureFailed(source);
    return PlaceholderImage();
}

const QImage& ImageHolder::Image() const
{
    static const QImage none;
    const QSize source = SourceSize();
    if (!source.isValid())
        return m_decoded->image.isNull() ? none : m_decoded->image;
    if (DrawnImage(source).size() != source)
        return none;
    return m_decoded->image;
}

const QImage& ImageHolder::DisplayImage() const
{
    const QImage& image = Image();
    return image.isNull() ? PlaceholderImage() : image;
}

void ImageHolder::ShareDecoded(const ImageHolder& same)
{
    if (&same != this && m_bPlaceholder == same.m_bPlaceholder && m_mimeType == same.m_mimeType
        && m_bytes == same.m_bytes && !m_bytes.isEmpty())
        m_decoded = same.m_decoded;
}

qint64 ImageHolder::KeptBytes()
{
    KeptPictures& kept = Kept();
    const std::lock_guard guard(kept.lock);
    return kept.bytes;
}

qint64 ImageHolder::TakePeakKeptBytes()
{
    KeptPictures& kept = Kept();
    const std::lock_guard guard(kept.lock);
    return std::exchange(kept.peak, kept.bytes);
}

void ImageHolder::SetNotifier(CPictureNotifier* notifier)
{
    g_pPictureNotifier = notifier;
}

QString ImageHolder::FailureText(QSize source)
{
    return QStringLiteral("一张 %1 × %2 像素的图片无法解码，显示为占位图。").arg(source.width()).arg(source.height());
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
