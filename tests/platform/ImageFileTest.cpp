#include "EmfRecords.h"
#include "TestSupport.h"
#include "platform/Drawing.h"
#include "platform/EmfDevice.h"
#include "platform/ImageFile.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

// Black bars on white with a red square: sharp edges and a colour.
QImage SamplePicture(double dpi)
{
    QImage image = MakeImageAtDpi(20, 10, dpi, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    SetMillimetreWorld(painter);
    for (int i = 0; i < 8; ++i)
        painter.fillRect(QRectF(1 + i * 1.5, 1, 0.75, 8), Qt::black);
    painter.fillRect(QRectF(14, 2, 4, 4), Qt::red);
    return image;
}

size_t DistinctColours(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

} // namespace

TEST(ImageFormats, SuffixOfTheFileNameDecides)
{
    const struct {
        const char* path;
        std::optional<ImageFileFormat> format;
    } cases[] = {
        {"a.BMP", ImageFileFormat::Bmp},   {"a.jpg", ImageFileFormat::Jpeg}, {"a.JPEG", ImageFileFormat::Jpeg},
        {"a.gif", ImageFileFormat::Gif},   {"a.TIF", ImageFileFormat::Tiff}, {"a.tiff", ImageFileFormat::Tiff},
        {"a.png", ImageFileFormat::Png},   {"a.Emf", ImageFileFormat::Emf},  {"/x.y/label", std::nullopt},
        {"/x.png/label", std::nullopt},    {"label.", std::nullopt},         {"a.webp", std::nullopt},
        {"/x.y/label.png", ImageFileFormat::Png},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ImageFormatForPath(QString::fromUtf8(c.path)), c.format) << c.path;
}

TEST(ImageFormats, EveryFormatAndDepthReadsBackWithItsResolution)
{
    QTemporaryDir dir;
    const QImage picture = SamplePicture(300);
    const struct {
        const char* suffix;
        bool keepsDepth; // JPEG has no indexed colour
        bool keepsDpi;   // GIF has no resolution field
    } formats[] = {{"bmp", true, true},  {"jpg", false, true}, {"gif", true, false},
                   {"tif", true, true},  {"png", true, true}};
    for (const auto& f : formats) {
        for (int depth = DepthMonochrome; depth <= DepthTrueColour; ++depth) {
            const QString path = dir.filePath(QStringLiteral("d%1.%2").arg(depth).arg(QLatin1String(f.suffix)));
            const QImage converted = ConvertToDepth(picture, depth);
            QString error;
            ASSERT_TRUE(SaveRasterImage(converted, path, *ImageFormatForPath(path), &error)) << path.toStdString()
                                                                                             << error.toStdString();
            const QImage back(path);
            ASSERT_FALSE(back.isNull()) << path.toStdString();
            EXPECT_EQ(back.size(), picture.size()) << path.toStdString();
            if (f.keepsDpi) {
                EXPECT_NEAR(back.dotsPerMeterX() * 0.0254, 300.0, 1.0) << path.toStdString();
            }
            // The bars keep their edges: a bar pixel is black, the gap beside it white.
            const int bar = int(1.3 * 300 / 25.4);
            const int gap = int(2.1 * 300 / 25.4);
            const int row = back.height() / 2;
            EXPECT_LT(qGray(back.pixel(bar, row)), 40) << path.toStdString();
            EXPECT_GT(qGray(back.pixel(gap, row)), 215) << path.toStdString();
            if (!f.keepsDepth)
                continue;
            // GIF reads back as 32 bits: count the colours instead of the table.
            const size_t limit = depth == DepthMonochrome ? 2 : depth == Depth16Colours ? 16 : 256;
            if (depth != DepthTrueColour) {
                EXPECT_LE(DistinctColours(back), limit) << path.toStdString();
            }
            if (depth == DepthMonochrome && QByteArray(f.suffix) != "gif") {
                EXPECT_EQ(back.depth(), 1) << path.toStdString();
            }
            // The red square stays red wherever there is colour to keep it.
            const QColor red = back.pixelColor(int(16 * 300 / 25.4), int(4 * 300 / 25.4));
            if (depth != DepthMonochrome) {
                EXPECT_TRUE(red.red() > 200 && red.green() < 60) << path.toStdString();
            }
        }
    }
}

TEST(ImageFormats, AFailedWriteIsReportedAndLeavesNoFile)
{
    QTemporaryDir dir;
    const QImage picture = ConvertToDepth(SamplePicture(96), DepthTrueColour);
    for (const char* suffix : {"png", "gif", "bmp"}) {
        const QString path = dir.filePath(QStringLiteral("missing/x.") + QLatin1String(suffix));
        QString error;
        EXPECT_FALSE(SaveRasterImage(picture, path, *ImageFormatForPath(path), &error)) << suffix;
        EXPECT_FALSE(error.isEmpty()) << suffix;
        EXPECT_FALSE(QFile::exists(path)) << suffix;
    }
    EXPECT_FALSE(SaveRasterImage(picture, dir.filePath("x.emf"), ImageFileFormat::Emf));

    // A file written again is replaced, and nothing else is left beside it.
    for (const char* suffix : {"png", "gif", "tif"}) {
        const QString path = dir.filePath(QStringLiteral("again.") + QLatin1String(suffix));
        ASSERT_TRUE(SaveRasterImage(picture, path, *ImageFormatForPath(path))) << suffix;
        ASSERT_TRUE(SaveRasterImage(ConvertToDepth(picture, DepthMonochrome), path, *ImageFormatForPath(path)))
            << suffix;
        EXPECT_EQ(QImage(path).size(), picture.size()) << suffix;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST(EmfDevice, RecordsFillsStrokesTextAndImagesInAWellFormedFile)
{
    CEmfDevice device(QSizeF(40, 20));
    {
        QPainter painter(&device);
        SetMillimetreWorld(painter);
        painter.fillRect(QRectF(0, 0, 40, 20), Qt::white);
        painter.fillRect(QRectF(2, 3, 10, 5), QColor(0x12, 0x34, 0x56));
        painter.setPen(MakePen(0xFF000000u, 0.5f));
        painter.drawLine(QPointF(1, 15), QPointF(30, 15));
        DrawText(painter, QStringLiteral("AB"), MakeFont(QStringLiteral("Arial"), 12), QRectF(15, 2, 20, 8),
                 0xFF000000u);
        QImage image(4, 2, QImage::Format_RGB32);
        image.fill(Qt::green);
        painter.rotate(30);
        painter.drawImage(QRectF(20, 0, 8, 4), image);
    }
    const EmfFile emf = ParseEmf(device.ToBytes());
    ASSERT_TRUE(emf.valid);
    // The frame is the device's size in hundredths of a millimetre, inclusive.
    EXPECT_EQ(emf.IField(0, 24), 0);
    EXPECT_EQ(emf.IField(0, 32), 3999);
    EXPECT_EQ(emf.IField(0, 36), 1999);
    // White background, the coloured box, the stroke outline and the glyphs.
    EXPECT_GE(emf.Count(8), 4u);
    EXPECT_EQ(emf.Count(81), 1u);  // the image, as a DIB
    EXPECT_EQ(emf.Count(35), 1u);  // placed by a world transform
    bool coloured = false;
    for (size_t i = 0; i < emf.records.size(); ++i) {
        if (emf.records[i].type == 39)
            coloured |= emf.Field(i, 16) == 0x563412u;
    }
    EXPECT_TRUE(coloured);
    // The coloured box lands at 2..12 mm by 3..8 mm in 0.01 mm units.
    for (size_t i = 0; i < emf.records.size(); ++i) {
        if (emf.records[i].type == 8 && emf.IField(i, 8) == 200) {
            EXPECT_EQ(emf.IField(i, 12), 300);
            EXPECT_NEAR(emf.IField(i, 16), 1200, 1);
            EXPECT_NEAR(emf.IField(i, 20), 800, 1);
        }
    }
}

TEST(EmfDevice, BrushesARecordCannotHoldArriveAsImages)
{
    CEmfDevice device(QSizeF(30, 10));
    {
        QPainter painter(&device);
        SetMillimetreWorld(painter);
        const QRectF box(1, 1, 10, 8);
        painter.fillRect(box, MakeHatchBrush(painter, HatchStyleCross, 0xFF000000u, 0xFFFFFFFFu));
        painter.fillRect(box.translated(12, 0), MakeGradientBrush(1, 0xFFFF0000u, 0xFF0000FFu, box));
        painter.fillRect(QRectF(25, 1, 4, 4), QColor(0, 0, 0, 128));
    }
    const EmfFile emf = ParseEmf(device.ToBytes());
    ASSERT_TRUE(emf.valid);
    // Each a bitmap; shapes other than a tiled box inside a clip path traced from them.
    EXPECT_EQ(emf.Count(81), 3u);
    EXPECT_GE(emf.Count(67), 2u);
    EXPECT_EQ(emf.Count(59), emf.Count(67));
    EXPECT_EQ(emf.Count(8), emf.Count(67));
    EXPECT_EQ(emf.Count(33), emf.Count(34));
}

TEST(EmfDevice, ADebianDumperReadsTheFile)
{
    const QString dumper = QStandardPaths::findExecutable(QStringLiteral("printemf"));
    if (dumper.isEmpty())
        GTEST_SKIP() << "printemf is not installed";
    QTemporaryDir dir;
    CEmfDevice device(QSizeF(30, 10));
    {
        QPainter painter(&device);
        SetMillimetreWorld(painter);
        painter.fillRect(QRectF(1, 1, 5, 5), Qt::black);
        QImage image(3, 3, QImage::Format_RGB32);
        image.fill(Qt::blue);
        painter.drawImage(QRectF(10, 1, 3, 3), image);
    }
    const QString path = dir.filePath("x.emf");
    ASSERT_TRUE(device.Save(path));
    QProcess process;
    process.start(dumper, {path});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("POLYPOLYGON"), Qt::CaseInsensitive)) << out.toStdString();
    // The dumper walks past the bitmap record (which it does not print) to the end.
    EXPECT_TRUE(out.contains(QStringLiteral("SETWORLDTRANSFORM"), Qt::CaseInsensitive)) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("RESTOREDC"), Qt::CaseInsensitive)) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("EOF"), Qt::CaseInsensitive)) << out.toStdString();
}
