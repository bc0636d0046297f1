// A data row may name any path as its picture: a pipe, a device or an endless /proc
// file is a missing picture, found at once. Large pictures cost what they are drawn
// at, not what they hold.
#include "OutputSupport.h"
#include "TestSupport.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "output/PrintTarget.h"
#include "platform/Drawing.h"
#include "platform/ImageHolder.h"
#include "platform/InputLimits.h"
#include "platform/VXException.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <png.h>
#include <vector>

namespace {

// The most memory this process has held since the last reset, in bytes.
qint64 PeakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

void ResetPeakResidentBytes()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The label's first preview page as a 96 dpi screen shows it; items are the labels drawn.
QImage PreviewOnScreen(CLabelData& label, QSize screenPixels, GeneratedLabels& items)
{
    CPrintHandler preview;
    preview.SetMode(CPrintHandler::ModePreview);
    preview.SetLabelData(&label);
    preview.Prepare();
    preview.DrawPreviewPage(items, 1);
    QImage screen(screenPixels, QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::white);
    QPainter painter(&screen);
    SetScreenMillimetreWorld(painter, 1.0);
    for (const auto& item : items)
        PaintGeneratedLabel(painter, label, *item, item->m_fX, item->m_fY);
    return screen;
}

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

// A colour photograph's size in a few hundred kilobytes: rows of one colour, written
// one at a time so that the whole picture is never held.
QByteArray FlatColourPng(int width, int height, QRgb colour)
{
    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &bytes, AppendPngBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(width) * 3);
    for (int x = 0; x < width; ++x) {
        row[size_t(x) * 3] = png_byte(qRed(colour));
        row[size_t(x) * 3 + 1] = png_byte(qGreen(colour));
        row[size_t(x) * 3 + 2] = png_byte(qBlue(colour));
    }
    for (int y = 0; y < height; ++y)
        png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// A label of `count` pictures of 8000 x 8000 pixels, 24 x 16 mm each, stored as a
// label file stores it and opened again from those bytes.
std::unique_ptr<CLabelData> OpenedLabelOfLargePictures(int count, qint64* fileBytes)
{
    const QByteArray png = FlatColourPng(8000, 8000, qRgb(0, 0, 255));
    auto label = MakeGridLabel(1, 1);
    label->m_fLabelWidth = 195;
    label->m_fLabelHeight = 90;
    for (int i = 0; i < count; ++i) {
        auto image = std::make_unique<CImageGraph>();
        image->m_strName = QStringLiteral("Photo%1").arg(i);
        image->m_fX = 2.0f + 24.0f * float(i % 8);
        image->m_fY = 2.0f + 17.0f * float(i / 8);
        image->m_fWidth = 22;
        image->m_fHeight = 15;
        image->m_strMimeType = QStringLiteral("image/png");
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(png, image->m_strMimeType));
        label->m_objects.push_back(std::move(image));
    }
    CDocWriterV1_0 writer;
    writer.m_pLabelData = label.get();
    const QByteArray file = writer.DocumentBytes();
    *fileBytes = file.size();
    auto opened = std::make_unique<CLabelData>();
    CDocReaderV1_0 reader;
    reader.m_pLabelData = opened.get();
    reader.ReadDocumentData(file);
    return opened;
}

// OpenedLabelOfLargePictures measured from before the opening: the peaks of memory and
// of the pictures kept reset, the resident memory in *before, *timer started.
std::unique_ptr<CLabelData> OpenLargePicturesMeasured(int count, qint64* before, QElapsedTimer* timer,
                                                      qint64* fileBytes)
{
    ResetPeakResidentBytes();
    *before = ResidentBytes();
    ImageHolder::TakePeakKeptBytes();
    timer->start();
    return OpenedLabelOfLargePictures(count, fileBytes);
}

// The middle of picture i of OpenedLabelOfLargePictures, in millimetres on the page
// whose label lies at `label`.
QPointF MiddleOfPicture(int i, QPointF label)
{
    return label + QPointF(2.0 + 24.0 * (i % 8) + 11, 2.0 + 17.0 * (i / 8) + 7.5);
}

} // namespace

TEST(PictureLimits, LargePicturesAreDecodedAtTheSizeTheyAreDrawnOnceForPreviewAndPrint)
{
    // Ten pictures of 4000 x 4000 pixels that compress to a few hundred kilobytes
    // each: decoded at their own size they would hold 640 MB.
    QByteArray png;
    {
        QImage red(4000, 4000, QImage::Format_RGB32);
        red.fill(Qt::red);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(red.save(&buffer, "PNG", 1));
    }
    auto label = MakeGridLabel(1, 2);
    label->m_fLabelWidth = 60;
    label->m_fLabelHeight = 60;
    label->m_nPrintCount = 2;
    for (int i = 0; i < 10; ++i) {
        auto image = std::make_unique<CImageGraph>();
        image->m_strName = QStringLiteral("Photo%1").arg(i);
        image->m_fX = image->m_fY = 2.0f + 2.0f * i;
        image->m_fWidth = image->m_fHeight = 30.0f;
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(png));
        label->m_objects.push_back(std::move(image));
    }
    QTemporaryDir dir;
    ResetPeakResidentBytes();
    const qint64 before = ResidentBytes();

    // The preview draws each label at the screen's size.
    GeneratedLabels items;
    const QImage screen = PreviewOnScreen(*label, QSize(800, 400), items);
    ASSERT_EQ(items.size(), 2u);
    const QPoint inside = QTransform::fromScale(96 / 25.4, 96 / 25.4).map(QPoint(items[1]->m_fX + 20, items[1]->m_fY + 20));
    EXPECT_EQ(screen.pixelColor(inside), QColor(Qt::red));

    // Printing draws them at the printer's resolution.
    CPrintHandler print;
    const QString pdf = dir.filePath("pictures.pdf");
    QString error;
    ASSERT_EQ(PrintAllToPdf(print, *label, pdf, &error), PrintResult::Success) << error.toStdString();
    EXPECT_LE(ImageHolder::KeptBytes(), qint64(kMaxPicturesKeptMiB) << 20);
    // The pictures kept, and one on its way through its own size.
    const qint64 peak = PeakResidentBytes();
    if (peak > 0) {
        EXPECT_LT(peak - before, qint64(kMaxPicturesKeptMiB + 100) << 20);
    }
    EXPECT_LT(ResidentBytes() - before, qint64(kMaxPicturesKeptMiB + 64) << 20);
    const std::vector<QImage> pages = RasterisePdf(pdf, 50);
    ASSERT_EQ(pages.size(), 1u);
    const QPoint printed = QTransform::fromScale(50 / 25.4, 50 / 25.4).map(QPoint(items[1]->m_fX + 20, items[1]->m_fY + 20));
    EXPECT_GT(pages[0].pixelColor(printed).red(), 240);
    EXPECT_LT(pages[0].pixelColor(printed).green(), 30);
}

TEST(PictureLimits, DataRowPicturesAtPipesDevicesAndProcFilesAreMissing)
{
    QTemporaryDir dir;
    const QStringList paths = HostilePaths(dir.path());
    for (int abort : {ImageErrorIgnore, ImageErrorAbort}) {
        auto label = MakeGridLabel(1, 3);
        AddSource(*label, "S", {"Picture"});
        auto image = std::make_unique<CImageGraph>();
        image->m_strName = "Photo";
        image->m_nSourceKind = ImageDataSource;
        image->m_strDataSource = "S";
        image->m_strFieldName = "Picture";
        image->m_nErrorHandling = abort;
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::Placeholder());
        label->m_objects.push_back(std::move(image));
        CPrintHandler job;
        job.SetMode(CPrintHandler::ModePreview);
        job.SetLabelData(label.get());
        std::vector<QStringList> rows;
        for (const QString& path : paths)
            rows.push_back({path});
        job.SetLoaderFactory([rows](const CDSBase&) { return std::make_unique<FakeLoader>(rows); });
        job.Prepare();
        GeneratedLabels items;
        if (abort == ImageErrorAbort) {
            EXPECT_THROW(job.DrawPreviewPage(items, 1), VXException);
            continue;
        }
        job.DrawPreviewPage(items, 1);
        ASSERT_EQ(items.size(), 3u);
        for (const auto& item : items)
            EXPECT_FALSE(static_cast<const CImageGraph&>(*item->m_objects[0]).m_pImage);
    }
}

TEST(PictureLimits, TwentyPicturesOf8000PixelsOpenAndPreviewWithinTheBudget)
{
    // 20 x 256 MB at their own size: 5 GB, were they decoded as large as they are.
    qint64 before = 0;
    QElapsedTimer timer;
    qint64 fileBytes = 0;
    const auto label = OpenLargePicturesMeasured(20, &before, &timer, &fileBytes);
    EXPECT_LT(fileBytes, 5 << 20);
    const qint64 opened = timer.restart();

    GeneratedLabels items;
    const QImage screen = PreviewOnScreen(*label, QSize(800, 400), items);
    ASSERT_EQ(items.size(), 1u);
    const qint64 previewed = timer.elapsed();
    const QTransform toScreen = QTransform::fromScale(96 / 25.4, 96 / 25.4);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(screen.pixelColor(toScreen.map(MiddleOfPicture(i, {items[0]->m_fX, items[0]->m_fY})).toPoint()),
                  QColor(Qt::blue))
            << i;
    // Each is kept at the size the screen shows, some 83 x 57 pixels.
    EXPECT_LT(ImageHolder::TakePeakKeptBytes(), qint64(2) << 20);
    const qint64 peak = PeakResidentBytes();
    if (peak > 0) {
        EXPECT_LT(peak - before, qint64(300) << 20);
    }
    std::printf("[ measured ] 20 pictures of 8000 x 8000: opened in %lld ms, previewed in %lld ms, "
                "peak memory %lld MB above the start\n",
                static_cast<long long>(opened), static_cast<long long>(previewed),
                static_cast<long long>((peak - before) >> 20));
}

TEST(PictureLimits, FortyPicturesOf8000PixelsPrintACompletePdf)
{
    qint64 before = 0;
    QElapsedTimer timer;
    qint64 fileBytes = 0;
    const auto label = OpenLargePicturesMeasured(40, &before, &timer, &fileBytes);
    CPrintHandler print;
    QTemporaryDir dir;
    const QString pdf = dir.filePath("pictures.pdf");
    QString error;
    ASSERT_EQ(PrintAllToPdf(print, *label, pdf, &error), PrintResult::Success) << error.toStdString();
    const qint64 printed = timer.elapsed();
    EXPECT_LE(ImageHolder::TakePeakKeptBytes(), qint64(kMaxPicturesKeptMiB) << 20);
    const qint64 peak = PeakResidentBytes();
    std::printf("[ measured ] 40 pictures of 8000 x 8000: printed to PDF in %lld ms, peak memory %lld MB above "
                "the start\n",
                static_cast<long long>(printed), static_cast<long long>((peak - before) >> 20));
    const std::vector<QImage> pages = RasterisePdf(pdf, 50);
    ASSERT_EQ(pages.size(), 1u);
    const QTransform toPage = QTransform::fromScale(50 / 25.4, 50 / 25.4);
    for (int i = 0; i < 40; ++i) {
        const QColor shown = pages[0].pixelColor(toPage.map(MiddleOfPicture(i, {label->m_fLeftMargin, label->m_fTopMargin})).toPoint());
        EXPECT_LT(shown.red(), 30) << i;
        EXPECT_GT(shown.blue(), 220) << i;
    }
}

TEST(PictureLimits, APictureThatDoesNotDecodeIsToldOnceForAWholePrintJob)
{
    struct Recorder : CPictureNotifier
    {
        Recorder() { ImageHolder::SetNotifier(this); }
        ~Recorder() override { ImageHolder::SetNotifier(nullptr); }
        void PictureFailed(const QString& text) override { told.append(text); }
        QStringList told;
    } recorder;
    QImage noisy(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb(x * 3 % 256, y * 17 % 256, (x ^ y) % 256));
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(noisy.save(&buffer, "PNG"));
    }
    auto label = MakeGridLabel(3, 4);
    label->m_nPrintCount = 24; // two pages
    auto image = std::make_unique<CImageGraph>();
    image->m_fWidth = 20;
    image->m_fHeight = 10;
    image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(png.left(png.size() / 3)));
    label->m_objects.push_back(std::move(image));
    CPrintHandler print;
    QTemporaryDir dir;
    QString error;
    ASSERT_EQ(PrintAllToPdf(print, *label, dir.filePath("cut.pdf"), &error), PrintResult::Success)
        << error.toStdString();
    EXPECT_EQ(recorder.told, QStringList{ImageHolder::FailureText(QSize(120, 80))});
}
