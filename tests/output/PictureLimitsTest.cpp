// A data row may name any path as its picture: a pipe, a device or an endless /proc
// file is a missing picture, found at once. Large pictures cost what they are drawn
// at, not what they hold.
#include "OutputSupport.h"
#include "TestSupport.h"
#include "model/ImageGraph.h"
#include "output/PrintTarget.h"
#include "platform/Drawing.h"
#include "platform/ImageHolder.h"
#include "platform/InputLimits.h"
#include "platform/VXException.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    CPrintHandler preview;
    preview.SetMode(CPrintHandler::ModePreview);
    preview.SetLabelData(label.get());
    preview.Prepare();
    GeneratedLabels items;
    preview.DrawPreviewPage(items, 1);
    ASSERT_EQ(items.size(), 2u);
    QImage screen(800, 400, QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::white);
    {
        QPainter painter(&screen);
        SetScreenMillimetreWorld(painter, 1.0);
        for (const auto& item : items)
            PaintGeneratedLabel(painter, *label, *item, item->m_fX, item->m_fY);
    }
    const QPoint inside = QTransform::fromScale(96 / 25.4, 96 / 25.4).map(QPoint(items[1]->m_fX + 20, items[1]->m_fY + 20));
    EXPECT_EQ(screen.pixelColor(inside), QColor(Qt::red));

    // Printing draws them at the printer's resolution.
    CPrintHandler print;
    print.SetLabelData(label.get());
    print.Prepare();
    const QString pdf = dir.filePath("pictures.pdf");
    auto target = CPrinterTarget::ForPdf(pdf);
    QString error;
    ASSERT_EQ(RunPrintJob(print, *target, {1, print.GetPageCount(), 1, true}, nullptr, &error), PrintResult::Success)
        << error.toStdString();
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
