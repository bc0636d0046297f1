#include "DocRoundTrip.h"
#include "TestSupport.h"
#include "model/ImageGraph.h"
#include "model/Utils.h"
#include "platform/Drawing.h"

#include <gtest/gtest.h>

namespace {

constexpr double kDpi = 200.0;

QImage Draw(const CBaseGraph& object)
{
    return PaintCanvas(60, 60, kDpi, [&](QPainter& p) { object.Draw(p); });
}

QRgb PixelAt(const QImage& image, double xMm, double yMm)
{
    return PixelAtMm(image, xMm, yMm, kDpi);
}

// Red, green, blue and black quarters, so that turns and flips show.
std::unique_ptr<ImageHolder> Quarters()
{
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            image.setPixel(x, y, y < 5 ? (x < 10 ? 0xFFFF0000u : 0xFF00FF00u) : (x < 10 ? 0xFF0000FFu : 0xFF000000u));
    return std::make_unique<ImageHolder>(ImageHolder::FromImage(image));
}

// The smallest GIF: one transparent pixel. Readable here, but not writable.
const QByteArray kGif = QByteArray::fromHex("47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b");

} // namespace

TEST(ImageGraph, WithoutAPictureDrawsNothing)
{
    CImageGraph image;
    EXPECT_EQ(image.GetKind(), KindImage);
    EXPECT_EQ(image.m_strName, "Image1");
    image.m_fX = 10;
    image.m_fY = 10;
    const QImage drawn = Draw(image);
    EXPECT_EQ(drawn, MakeCanvas(60, 60, kDpi));
}

TEST(ImageGraph, FillsTheBoxAndTurnsAboutTheAnchor)
{
    CImageGraph image;
    image.m_pImage = Quarters();
    image.m_fX = 20;
    image.m_fY = 20;
    image.m_fWidth = 30;
    image.m_fHeight = 20;
    const QImage straight = Draw(image);
    EXPECT_EQ(PixelAt(straight, 21, 21), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(straight, 49, 21), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(straight, 21, 39), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(straight, 19.5, 21), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(straight, 50.5, 39), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(straight, 21, 40.5), 0xFFFFFFFFu);

    // Turned clockwise about the top-left corner: the box now spans x 0..20, y 20..50.
    image.m_fAngle = 90;
    image.m_nAnchor = AnchorTopLeft;
    const QImage turned = Draw(image);
    EXPECT_EQ(PixelAt(turned, 19, 21), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(turned, 19, 49), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(turned, 1, 21), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(turned, 30, 30), 0xFFFFFFFFu);
}

// A box stored with a negative width and height (a label file may hold one) is the
// box its corners span: the picture fills it upright, at its size, and nothing is drawn
// beyond it. The stored numbers stay as they were and go back to the file unchanged.
TEST(ImageGraph, ANegativeBoxIsDrawnInsideTheBoxItsCornersSpan)
{
    CLabelData label;
    auto stored = std::make_unique<CImageGraph>();
    stored->m_pImage = Quarters();
    stored->m_fX = 50;
    stored->m_fY = 40;
    stored->m_fWidth = -30;
    stored->m_fHeight = -20;
    label.m_objects.push_back(std::move(stored));
    const QByteArray bytes = DocumentBytes(label);
    CLabelData read;
    ReadInto(read, bytes);
    ASSERT_EQ(read.m_objects.size(), 1u);
    const auto& image = dynamic_cast<const CImageGraph&>(*read.m_objects[0]);
    EXPECT_EQ(image.m_fWidth, -30.0f);
    EXPECT_EQ(image.m_fHeight, -20.0f);
    EXPECT_EQ(DocumentBytes(read), bytes);

    CImageGraph positive;
    positive.CopyFrom(image);
    positive.m_fX = 20;
    positive.m_fY = 20;
    positive.m_fWidth = 30;
    positive.m_fHeight = 20;
    EXPECT_EQ(Draw(image), Draw(positive));
    const QImage drawn = Draw(image);
    EXPECT_EQ(PixelAt(drawn, 21, 21), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(drawn, 49, 39), 0xFF000000u);
    for (const QPointF outside : {QPointF(19.5, 30), QPointF(50.5, 30), QPointF(30, 19.5), QPointF(30, 40.5),
                                  QPointF(55, 45), QPointF(10, 10)})
        EXPECT_EQ(PixelAt(drawn, outside.x(), outside.y()), 0xFFFFFFFFu) << outside.x() << "," << outside.y();

    // Turned, it turns the same box about the same anchor.
    for (CImageGraph* each : {const_cast<CImageGraph*>(&image), &positive}) {
        each->m_fAngle = 90;
        each->m_nAnchor = 9;
    }
    EXPECT_EQ(Draw(image), Draw(positive));
}

TEST(ImageGraph, UndecodableBytesKeepTheirBytesAndShowThePlaceholder)
{
    CImageGraph image;
    image.m_fWidth = 40;
    image.m_fHeight = 40;
    image.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes("broken", "image/png"));
    const QImage drawn = Draw(image);
    EXPECT_NE(drawn, MakeCanvas(60, 60, kDpi));
    EXPECT_EQ(PixelAt(drawn, 45, 45), 0xFFFFFFFFu);
    EXPECT_EQ(image.m_pImage->Bytes(), QByteArray("broken"));

    const ImageHolder placeholder = ImageHolder::Placeholder();
    EXPECT_TRUE(placeholder.IsDecoded());
    EXPECT_EQ(placeholder.MimeType(), "image/png");
    EXPECT_EQ(placeholder.Image().size(), ImageHolder::PlaceholderImage().size());
}

TEST(ImageGraph, GifIsKeptAsReadBecauseItCannotBeWritten)
{
    const ImageHolder gif = ImageHolder::FromBytes(kGif);
    EXPECT_EQ(gif.MimeType(), "image/gif");
    EXPECT_TRUE(gif.IsDecoded());
    EXPECT_EQ(gif.Bytes(), kGif);
    EXPECT_EQ(GetEncoderClsid("image/gif"), -1);
    EXPECT_GE(GetEncoderClsid("image/png"), 0);
}

TEST(ImageGraph, CopiesOwnTheirPicture)
{
    auto source = std::make_unique<CImageGraph>();
    source->m_pImage = Quarters();
    source->m_nSourceKind = ImageLinked;
    source->m_strFileName = "a.png";
    source->m_strMimeType = "image/png";
    source->m_strDataSource = "ds";
    source->m_strFieldName = "f";
    source->m_strSuffix = ".png";
    source->m_strPrefix = "/img/";
    source->m_nSizeMode = ImageSizeFitBox;
    source->m_nErrorHandling = ImageErrorAbort;
    source->m_fWidth = 30;
    source->m_fHeight = 20;
    auto copy = source->Clone();
    auto& target = dynamic_cast<CImageGraph&>(*copy);
    ASSERT_TRUE(target.m_pImage);
    EXPECT_NE(target.m_pImage.get(), source->m_pImage.get());
    EXPECT_EQ(target.m_strPrefix, "/img/");
    EXPECT_EQ(target.m_nSizeMode, ImageSizeFitBox);
    EXPECT_EQ(target.m_nErrorHandling, ImageErrorAbort);
    EXPECT_EQ(target.m_nSourceKind, ImageLinked);
    source.reset();
    EXPECT_EQ(target.m_pImage->Image().pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(Draw(target), 1, 1), 0xFFFF0000u);

    // Copying from an object without a picture drops the target's.
    CImageGraph empty;
    target.CopyFrom(empty);
    EXPECT_FALSE(target.m_pImage);
}
