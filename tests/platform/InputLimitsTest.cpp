#include "TestSupport.h"
#include "platform/ImageHolder.h"
#include "platform/InputLimits.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

QString WriteBytes(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

} // namespace

TEST(ReadRegularFile, ReadsRegularFilesWithinTheBound)
{
    QTemporaryDir dir;
    const QByteArray content(10000, 'x');
    const QString path = WriteBytes(dir, "ok.bin", content);
    QString reason;
    EXPECT_EQ(ReadRegularFile(path, 10000, reason), content);
    EXPECT_EQ(ReadRegularFile(WriteBytes(dir, "empty.bin", {}), 10, reason), QByteArray());
    EXPECT_FALSE(ReadRegularFile(path, 9999, reason));
    EXPECT_EQ(reason, QStringLiteral("文件大于 9999 字节"));
    EXPECT_FALSE(ReadRegularFile(dir.filePath("missing"), 10, reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(ReadRegularFile(dir.path(), 10, reason));
    EXPECT_EQ(reason, QStringLiteral("不是普通文件"));
}

TEST(ReadRegularFile, RefusesPipesAndDevicesAndReadsNothingOfFilesReportingNoBytes)
{
    QTemporaryDir dir;
    const QStringList paths = HostilePaths(dir.path());
    for (int i = 0; i < paths.size(); ++i) {
        QString reason;
        const std::optional<QByteArray> bytes = ReadRegularFile(paths[i], 1 << 20, reason);
        // A /proc file reports 0 bytes and may never answer a read: none is made.
        if (paths[i].startsWith("/proc/"))
            EXPECT_EQ(bytes, QByteArray()) << paths[i].toStdString();
        else
            EXPECT_EQ(reason, QStringLiteral("不是普通文件")) << paths[i].toStdString();
        // A picture file at such a path is no picture.
        EXPECT_TRUE(ImageHolder::FromFile(paths[i]).IsEmpty()) << paths[i].toStdString();
    }
    // The picture bound holds for regular files too.
    const QString big = WriteBytes(dir, "big.png", QByteArray(kMaxPictureFileBytes + 1, '\0'));
    EXPECT_TRUE(ImageHolder::FromFile(big).IsEmpty());
}

TEST(ImageHolder, DecodesWhenFirstAskedAndKeepsItsBytes)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QByteArray png = PngOf(image);
    const ImageHolder holder = ImageHolder::FromBytes(png);
    const ImageHolder copy = holder; // copied before decoding
    EXPECT_EQ(holder.MimeType(), "image/png");
    EXPECT_TRUE(holder.IsDecoded());
    EXPECT_EQ(holder.Image().size(), QSize(3, 2));
    EXPECT_EQ(copy.DisplayImage().pixelColor(1, 1), QColor(Qt::red));
    // Copies share one decoded image, as a print job's copies of a label do.
    EXPECT_EQ(copy.Image().constBits(), holder.Image().constBits());
    EXPECT_EQ(holder.Bytes(), png);

    // A picture whose pixels exceed the decoding budget is drawn as the placeholder,
    // and its bytes still travel unchanged.
    const QByteArray huge = PngOf(QImage(20000, 20000, QImage::Format_Mono));
    const ImageHolder tooLarge = ImageHolder::FromBytes(huge);
    EXPECT_FALSE(tooLarge.IsDecoded());
    EXPECT_EQ(&tooLarge.DisplayImage(), &ImageHolder::PlaceholderImage());
    EXPECT_EQ(tooLarge.Bytes(), huge);
}

TEST(ImageHolder, DecodesAtTheSizeDrawnOnceForAllCopiesAndKeepsABoundedTotal)
{
    QImage image(400, 200, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const qint64 keptBefore = ImageHolder::KeptBytes();
    {
        const ImageHolder holder = ImageHolder::FromBytes(PngOf(image));
        const ImageHolder copy = holder;
        EXPECT_EQ(holder.SourceSize(), QSize(400, 200));
        const QImage small = holder.DrawnImage(QSize(40, 20));
        EXPECT_EQ(small.size(), QSize(40, 20));
        EXPECT_EQ(small.pixelColor(5, 5), QColor(Qt::blue));
        // A copy drawn smaller uses the same decoded picture; larger decodes once more,
        // never above the picture's own size.
        EXPECT_EQ(copy.DrawnImage(QSize(10, 15)).cacheKey(), small.cacheKey());
        EXPECT_EQ(copy.DrawnImage(QSize(1000, 100)).size(), QSize(400, 100));
        EXPECT_EQ(holder.DrawnImage(QSize(40, 20)).size(), QSize(400, 100));
        EXPECT_EQ(ImageHolder::KeptBytes() - keptBefore, 400 * 100 * 4);
    }
    EXPECT_EQ(ImageHolder::KeptBytes(), keptBefore);

    // Five pictures drawn at 4000 x 4000 pixels would keep 320 MB: the one drawn
    // longest ago gives way, and is decoded again when it is drawn again.
    QImage large(4000, 4000, QImage::Format_RGB32);
    large.fill(Qt::green);
    const QByteArray png = PngOf(large);
    large = QImage();
    std::vector<ImageHolder> pictures;
    for (int i = 0; i < 5; ++i) {
        const ImageHolder& picture = pictures.emplace_back(ImageHolder::FromBytes(png)); // each its own, no copy
        EXPECT_EQ(picture.DrawnImage(QSize(4000, 4000)).size(), QSize(4000, 4000));
        EXPECT_LE(ImageHolder::KeptBytes(), qint64(kMaxPicturesKeptMiB) << 20);
    }
    const QImage again = pictures[0].DrawnImage(QSize(4000, 4000));
    EXPECT_EQ(again.pixelColor(10, 10), QColor(Qt::green));
    EXPECT_LE(ImageHolder::KeptBytes(), qint64(kMaxPicturesKeptMiB) << 20);
}

namespace {

class RecordingPictureNotifier : public CPictureNotifier
{
public:
    RecordingPictureNotifier() { ImageHolder::SetNotifier(this); }
    ~RecordingPictureNotifier() override { ImageHolder::SetNotifier(nullptr); }
    void PictureFailed(const QString& text) override { told.append(text); }
    QStringList told;
};

// A picture whose header reads but whose pixels stop short.
QByteArray CutPixels(const QByteArray& encoded)
{
    return encoded.left(encoded.size() / 4);
}

} // namespace

TEST(ImageHolder, PixelsThatDoNotDecodeAreToldOnceForAllCopiesAndNotTriedAgain)
{
    QImage noisy(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x * y) % 256));
    const QByteArray png = CutPixels(PngOf(noisy));
    RecordingPictureNotifier notifier;
    const ImageHolder holder = ImageHolder::FromBytes(png);
    const ImageHolder copy = holder; // as a print job copies a label's pictures
    EXPECT_TRUE(holder.IsDecoded()) << "the header reads";
    EXPECT_EQ(holder.SourceSize(), QSize(300, 200));
    EXPECT_TRUE(notifier.told.isEmpty()) << "nothing is told before it is drawn";
    EXPECT_EQ(holder.DrawnImage(QSize(30, 20)), ImageHolder::PlaceholderImage());
    EXPECT_EQ(copy.DrawnImage(QSize(300, 200)), ImageHolder::PlaceholderImage());
    EXPECT_EQ(holder.DrawnImage(QSize(150, 100)), ImageHolder::PlaceholderImage());
    EXPECT_EQ(&copy.DisplayImage(), &ImageHolder::PlaceholderImage());
    EXPECT_EQ(notifier.told, QStringList{QStringLiteral("一张 300 × 200 像素的图片无法解码，显示为占位图。")});

    // Another picture of the same bytes is another picture: told again.
    EXPECT_EQ(ImageHolder::FromBytes(png).DrawnImage(QSize(30, 20)), ImageHolder::PlaceholderImage());
    EXPECT_EQ(notifier.told.size(), 2);
    // A sound picture is never told.
    EXPECT_EQ(ImageHolder::FromBytes(PngOf(noisy)).DrawnImage(QSize(30, 20)).size(), QSize(30, 20));
    EXPECT_EQ(notifier.told.size(), 2);
}
