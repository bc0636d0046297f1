// Label files, pictures and text data files that would cost unbounded time or
// memory: each is refused, or read within a bound, and fails with its reader's
// own error.
#include "DocRoundTrip.h"
#include "TestSupport.h"
#include "model/DSBase.h"
#include "model/DocLoader.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/TextLoader.h"
#include "platform/ImageHolder.h"
#include "platform/VXException.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

} // namespace

TEST(InputLimits, LinkedPicturesAtPipesDevicesAndProcFilesAreMissingPictures)
{
    QTemporaryDir dir;
    for (const QString& path : HostilePaths(dir.path())) {
        CLabelData label;
        label.m_nBackgroundSource = 2;
        label.m_strImagePath = path;
        auto image = std::make_unique<CImageGraph>();
        image->m_nSourceKind = ImageLinked;
        image->m_strFileName = path;
        label.m_objects.push_back(std::move(image));

        CLabelData read;
        ReadInto(read, DocumentBytes(label));
        EXPECT_EQ(read.m_pImage, nullptr) << path.toStdString();
        ASSERT_EQ(read.m_objects.size(), 1u);
        const auto& object = dynamic_cast<const CImageGraph&>(*read.m_objects[0]);
        ASSERT_NE(object.m_pImage, nullptr);
        EXPECT_EQ(object.m_pImage->Bytes(), ImageHolder::Placeholder().Bytes()) << path.toStdString();
        EXPECT_EQ(object.m_strFileName, path);

        // Nor is such a path a label file.
        CDocLoader loader;
        loader.m_strPath = path;
        loader.m_pLabelData = &read;
        EXPECT_THROW(loader.LoadDocument(), CFileException) << path.toStdString();
    }
}

TEST(InputLimits, EmbeddedPicturesAreDecodedWhenDrawnNotWhenOpened)
{
    // Twenty pictures of 4000 x 4000 pixels that compress to a few kilobytes each:
    // decoded at once they would take 1.2 GB.
    QImage white(4000, 4000, QImage::Format_RGB32);
    white.fill(Qt::white);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(white.save(&buffer, "PNG", 9));
    white = QImage();
    CLabelData label;
    for (int i = 0; i < 20; ++i) {
        auto image = std::make_unique<CImageGraph>();
        image->m_strMimeType = "image/png";
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(png));
        label.m_objects.push_back(std::move(image));
    }
    const QByteArray bytes = DocumentBytes(label);
    ASSERT_LT(bytes.size(), 4 << 20);

    const qint64 before = ResidentBytes();
    CLabelData read;
    ReadInto(read, bytes);
    EXPECT_LT(ResidentBytes() - before, qint64(256) << 20);
    EXPECT_TRUE(DocumentBytes(read) == bytes); // the pictures' own bytes, unchanged
    const auto& first = dynamic_cast<const CImageGraph&>(*read.m_objects[0]);
    EXPECT_EQ(first.m_pImage->DisplayImage().size(), QSize(4000, 4000));
}

TEST(InputLimits, TextDataFilesAtPipesAndDevicesFailAndProcFilesAreEmpty)
{
    QTemporaryDir dir;
    for (const QString& path : HostilePaths(dir.path())) {
        CTextDS ds;
        ds.m_strPath = path;
        CTextDL loader;
        loader.SetDataSource(&ds);
        LoaderRow rows;
        if (path.startsWith("/proc/")) { // read up to the size it reports: none
            EXPECT_TRUE(loader.LoadRows(1, 10, rows));
            EXPECT_EQ(rows.RowCount(), 0);
            EXPECT_EQ(loader.GetRecordCount(), 0);
            continue;
        }
        EXPECT_FALSE(loader.LoadRows(1, 10, rows)) << path.toStdString();
        EXPECT_TRUE(loader.GetLastError().contains(path)) << loader.GetLastError().toStdString();
        EXPECT_THROW(loader.GetRecordCount(), CDataSourceException) << path.toStdString();
    }
}

TEST(InputLimits, ALineLongerThanManyReadsIsOneRecord)
{
    QTemporaryDir dir;
    CTextDS ds;
    ds.m_strPath = WriteFile(dir.filePath("long.txt"), "a," + QByteArray(5 << 20, 'x') + "\r\nb,y\nc");
    ds.m_selectedFields = QStringList{"k", "v"};
    CTextDL loader;
    loader.SetDataSource(&ds);
    EXPECT_EQ(loader.GetRecordCount(), 3);
    LoaderRow rows;
    ASSERT_TRUE(loader.LoadRows(1, 3, rows)) << loader.GetLastError().toStdString();
    ASSERT_EQ(rows.RowCount(), 3);
    EXPECT_EQ(rows.Value(0, 1).size(), 5 << 20);
    EXPECT_EQ(rows.Row(1), (QStringList{"b", "y"}));
    EXPECT_EQ(rows.Row(2), (QStringList{"c", ""}));
}

TEST(InputLimits, RunningOutOfMemoryIsTheReadersOwnError)
{
    VC_SKIP_UNDER_ASAN();
    QTemporaryDir dir;
    // A text data file whose one line needs more memory than is left.
    CTextDS ds;
    ds.m_strPath = WriteFile(dir.filePath("line.txt"), QByteArray(96 << 20, 'x'));
    EXPECT_EXIT(RunWithLittleMemory(32 << 20,
                    [&] {
                        CTextDL loader;
                        loader.SetDataSource(&ds);
                        LoaderRow rows;
                        return !loader.LoadRows(1, 1, rows)
                            && loader.GetLastError() == QStringLiteral("文本文件“%1”太大，无法读入内存。").arg(ds.m_strPath);
                    }),
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(RunWithLittleMemory(32 << 20,
                    [&] {
                        // Counting decodes each line as loading does, so it fails alike.
                        CTextDL loader;
                        loader.SetDataSource(&ds);
                        try {
                            loader.GetRecordCount();
                        } catch (const CDataSourceException& e) {
                            return e.GetMessage().contains(QStringLiteral("太大，无法读入内存"));
                        }
                        return false;
                    }),
        ::testing::ExitedWithCode(0), "");

    // A label whose embedded picture needs more memory than is left.
    CLabelData label;
    label.m_nBackgroundSource = 1;
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(QByteArray(96 << 20, 'p'), "image/png"));
    const QByteArray bytes = DocumentBytes(label);
    label.m_pImage.reset();
    EXPECT_EXIT(RunWithLittleMemory(32 << 20,
                    [&] {
                        try {
                            CLabelData read;
                            ReadInto(read, bytes);
                        } catch (const CArchiveException& e) {
                            return e.GetMessage().contains("too large to be read into memory");
                        }
                        return false;
                    }),
        ::testing::ExitedWithCode(0), "");
}
