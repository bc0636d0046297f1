// Label files, pictures and text data files that would cost unbounded time or
// memory: each is refused, or read within a bound, and fails with its reader's
// own error.
#include "DocRoundTrip.h"
#include "TestSupport.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/DocLoader.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/SDGraph.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "model/TextLoader.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "platform/ImageHolder.h"
#include "platform/InputLimits.h"
#include "platform/VXException.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>

namespace {

QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

struct LoadedLabel
{
    std::unique_ptr<CLabelData> label = std::make_unique<CLabelData>();
    QStringList warnings;
};

// Opens the label as the program does, from a file.
LoadedLabel LoadLabel(const QString& path, const CLabelData& written)
{
    WriteFile(path, DocumentBytes(written));
    LoadedLabel loaded;
    CDocLoader loader;
    loader.m_strPath = path;
    loader.m_pLabelData = loaded.label.get();
    loader.LoadDocument();
    loaded.warnings = loader.m_pReader->GetWarnings();
    return loaded;
}

CTextGraph& AddTextObject(CLabelData& label)
{
    auto text = std::make_unique<CTextGraph>();
    CTextGraph& ref = *text;
    label.m_objects.push_back(std::move(text));
    return ref;
}

} // namespace

TEST(InputLimits, NumbersThatAreNotFiniteMakeALabelFileDamaged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("nan.vmk");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::function<void(CLabelData&)> spoil[] = {
        [&](CLabelData& l) { l.m_fPaperWidth = nan; },
        [&](CLabelData& l) { l.m_fLabelHeight = -inf; },
        [&](CLabelData& l) { l.m_fGridSize = inf; },
        [&](CLabelData& l) { AddTextObject(l).m_fWidth = nan; },
        [&](CLabelData& l) { AddTextObject(l).m_fFontSize = inf; },
        [&](CLabelData& l) {
            auto polygon = std::make_unique<CPolygonGraph>();
            polygon->m_points = {{0, 0}, {nan, 1}, {2, 2}};
            l.m_objects.push_back(std::move(polygon));
        },
        [&](CLabelData& l) {
            auto line = std::make_unique<CLineGraph>();
            line->m_fY2 = inf;
            l.m_objects.push_back(std::move(line));
        },
    };
    for (const auto& change : spoil) {
        CLabelData label;
        change(label);
        try {
            LoadLabel(path, label);
            ADD_FAILURE() << "a label holding a number that is not finite opened";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.GetMessage(),
                      QStringLiteral("文件“%1”已损坏或不完整，无法打开。").arg(QDir::toNativeSeparators(path)));
        }
    }
    // A component alike.
    auto text = std::make_unique<CTextGraph>();
    text->m_fX = nan;
    ObjectList objects;
    objects.push_back(std::move(text));
    CDocWriterV1_0 writer;
    writer.m_pObjects = &objects;
    WriteFile(dir.filePath("nan.vmc"), writer.ObjectsBytes());
    ObjectList read;
    CDocLoader loader;
    loader.m_strPath = dir.filePath("nan.vmc");
    loader.m_pObjects = &read;
    EXPECT_THROW(loader.LoadObjects(), CArchiveException);
    EXPECT_TRUE(read.empty());
}

TEST(InputLimits, SizesPositionsAndCountsOutOfRangeAreBroughtInWithOneMessage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("absurd.vmk");
    CLabelData label;
    label.m_fPaperWidth = 1e20f;
    label.m_fPaperHeight = -5.0f;
    label.m_fLabelWidth = 3e9f;
    label.m_fLeftMargin = -1e20f;
    label.m_nRows = INT_MAX;
    label.m_nColumns = -3;
    label.m_nCopies = INT_MAX;
    label.m_nPrintCount = 0;
    label.m_nResolution = INT_MAX;
    label.m_nFormWidth = INT_MAX;
    auto item = std::make_unique<CEditSDGraph>();
    item->m_nX = INT_MIN;
    label.m_formItems.push_back(std::move(item));
    CTextGraph& text = AddTextObject(label);
    text.m_fX = -1e20f;
    text.m_fWidth = 1e20f;
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_fModuleWidth = 1e30f;
    label.m_objects.push_back(std::move(barcode));

    const LoadedLabel loaded = LoadLabel(path, label);
    const CLabelData& read = *loaded.label;
    EXPECT_EQ(read.m_fPaperWidth, kMaxLabelLengthMm);
    EXPECT_EQ(read.m_fPaperHeight, 0.0f);
    EXPECT_EQ(read.m_fLabelWidth, kMaxLabelLengthMm);
    EXPECT_EQ(read.m_fLeftMargin, -kMaxLabelLengthMm);
    EXPECT_EQ(read.m_nRows, kMaxLabelsAcross);
    EXPECT_EQ(read.m_nColumns, 0);
    EXPECT_EQ(read.m_nCopies, kMaxLabelCopies);
    EXPECT_EQ(read.m_nPrintCount, 1);
    EXPECT_EQ(read.m_nResolution, kMaxPrinterDpi);
    EXPECT_EQ(read.m_nFormWidth, kMaxFormSize);
    EXPECT_EQ(read.m_formItems.at(0)->m_nX, -kMaxFormItemPixels);
    EXPECT_EQ(read.m_objects.at(0)->m_fX, -kMaxLabelLengthMm);
    EXPECT_EQ(read.m_objects.at(0)->m_fWidth, kMaxLabelLengthMm);
    const auto& readBarcode = dynamic_cast<const CBarcodeGraph&>(*read.m_objects.at(1));
    EXPECT_EQ(readBarcode.GetImpl()->GetSettings()->m_fModuleWidth, kMaxLabelLengthMm);
    EXPECT_EQ(loaded.warnings,
              QStringList{QStringLiteral("文件“%1”中有 14 个数值超出允许范围，已改为允许的值。")
                              .arg(QDir::toNativeSeparators(path))});

    // What is in range opens without a word.
    EXPECT_TRUE(LoadLabel(path, CLabelData()).warnings.isEmpty());
}

// The largest value each settings box takes is kept whole by a save and an open,
// without a word: one range serves the dialogs and the reader.
TEST(InputLimits, TheLargestValuesTheDialogsTakeReadBackUnchanged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("largest.vmk");
    CLabelData label;
    label.m_fPaperWidth = kMaxLabelLengthMm;
    label.m_fLabelHeight = kMaxLabelLengthMm;
    label.m_fHorzOffset = -kMaxLabelLengthMm;
    label.m_nRows = kMaxLabelsAcross;
    label.m_nColumns = kMaxLabelsAcross;
    label.m_nPrintCount = kMaxLabelCopies;
    label.m_nCopies = kMaxLabelCopies;
    label.m_nPreloadPages = kMaxPreloadPages;
    label.m_nResolution = kMaxPrinterDpi;
    label.m_nFormWidth = kMaxFormSize;
    label.m_nFormHeight = kMaxFormSize;
    auto item = std::make_unique<CEditSDGraph>();
    item->m_nX = -kMaxFormItemPixels;
    item->m_nWidth = kMaxFormItemPixels;
    label.m_formItems.push_back(std::move(item));

    const LoadedLabel loaded = LoadLabel(path, label);
    EXPECT_TRUE(loaded.warnings.isEmpty()) << loaded.warnings.join(u'\n').toStdString();
    EXPECT_EQ(DocumentBytes(*loaded.label), DocumentBytes(label));
    EXPECT_EQ(loaded.label->m_nPreloadPages, 1000000);
    EXPECT_EQ(loaded.label->m_nFormWidth, 4096);
}

// A code that names none of its field's choices becomes one the program knows: the
// one it already acts as where there is one, else the default; each counts in the
// file's one message, and what is then saved opens without a word.
TEST(InputLimits, UnknownCodesBecomeKnownOnesCountedInTheOneMessage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("codes.vmk");
    CLabelData label;
    label.m_nStartCorner = 262144;          // acts as the bottom right
    label.m_nCopyMode = -17000000;          // any but 0 counts copies from a field
    label.m_nImagePlacement = -2100000000;  // drawn as stretched
    label.m_nShape = 7;                     // drawn as a rectangle
    label.m_nCutMarks = -1;                 // none
    label.m_nNumberPosition = 9;            // the default
    CTextGraph& text = AddTextObject(label);
    text.m_nAnchor = -5; // turns about the centre
    text.m_nLayoutMode = VertText;
    text.m_nAlignment = 40; // right to left, as the vertical page stores it
    auto band = std::make_unique<CDataBand>();
    band->m_nKind = 7;
    band->m_nSerialBase = 50;
    text.m_bands.push_back(std::move(band));
    auto source = std::make_unique<CTextDS>();
    source->m_strName = QStringLiteral("行");
    source->m_nSortOrder = 9;  // descending
    source->m_nRangeMode = -3; // every record
    source->m_nSeparator = 42; // commas
    label.m_dataSources.push_back(std::move(source));
    auto line = std::make_unique<CLineGraph>();
    line->m_nDashStyle = 12;
    label.m_objects.push_back(std::move(line));
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_nStartChar = 77; // "D"
    label.m_objects.push_back(std::move(barcode));
    auto qr = std::make_unique<CBarcodeGraph>();
    qr->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyQRCode);
    auto& qrSettings = dynamic_cast<CBarcodeSettings_QRCode&>(*qr->m_pBarcodeImpl->GetSettings());
    qrSettings.m_strContent = QStringLiteral("12");
    qrSettings.m_nECLevel = 70000; // encoded as L
    qrSettings.m_nVersion = 41;    // chosen by the encoder, and so encodable: no message of its own
    label.m_objects.push_back(std::move(qr));

    const LoadedLabel loaded = LoadLabel(path, label);
    const CLabelData& read = *loaded.label;
    EXPECT_EQ(read.m_nStartCorner, CornerBottomRight);
    EXPECT_EQ(read.m_nCopyMode, 1);
    EXPECT_EQ(read.m_nImagePlacement, 3);
    EXPECT_EQ(read.m_nShape, ShapeRectangle);
    EXPECT_EQ(read.m_nCutMarks, 0);
    EXPECT_EQ(read.m_nNumberPosition, CLabelData().m_nNumberPosition);
    const auto& readText = dynamic_cast<const CTextGraph&>(*read.m_objects.at(0));
    EXPECT_EQ(readText.m_nAnchor, 8);
    EXPECT_EQ(readText.m_nAlignment, 2);
    EXPECT_EQ(readText.m_bands.at(0)->m_nKind, BandConstant);
    EXPECT_EQ(readText.m_bands.at(0)->m_nSerialBase, SerialDecimal);
    EXPECT_EQ(dynamic_cast<const CLineGraph&>(*read.m_objects.at(1)).m_nDashStyle, 0);
    const auto& readBarcode = dynamic_cast<const CBarcodeGraph&>(*read.m_objects.at(2));
    EXPECT_EQ(readBarcode.GetImpl()->GetSettings()->m_nStartChar, 3);
    const auto& readQr = dynamic_cast<const CBarcodeGraph&>(*read.m_objects.at(3));
    const auto& readQrSettings = dynamic_cast<const CBarcodeSettings_QRCode&>(*readQr.GetImpl()->GetSettings());
    EXPECT_EQ(readQrSettings.m_nECLevel, 0);
    EXPECT_EQ(readQrSettings.m_nVersion, 0);
    const auto& readSource = dynamic_cast<const CTextDS&>(*read.m_dataSources.at(0));
    EXPECT_EQ(readSource.m_nSortOrder, 1);
    EXPECT_EQ(readSource.m_nRangeMode, RangeAll);
    EXPECT_EQ(readSource.m_nSeparator, TextSeparatorComma);
    EXPECT_EQ(loaded.warnings,
              QStringList{QStringLiteral("文件“%1”中有 17 个数值超出允许范围，已改为允许的值。")
                              .arg(QDir::toNativeSeparators(path))});

    EXPECT_TRUE(LoadLabel(path, read).warnings.isEmpty());
}

TEST(InputLimits, TextsLongerThanATypedOneAreShortenedWithOneMessage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.vmk");
    const QString huge(10'000'000, u'W');
    CLabelData label;
    CTextGraph& text = AddTextObject(label);
    text.m_strName = huge;
    text.m_strText = huge;
    auto band = std::make_unique<CDataBand>();
    band->m_strValue = huge;
    text.m_bands.push_back(std::move(band));
    // A pair of surrogates across the limit is dropped whole.
    label.m_strHeaderText = QString(kMaxValueLength - 1, u'a') + QStringLiteral("😀");

    const LoadedLabel loaded = LoadLabel(path, label);
    const auto& read = dynamic_cast<const CTextGraph&>(*loaded.label->m_objects.at(0));
    EXPECT_EQ(read.m_strName, huge.left(kMaxValueLength));
    EXPECT_EQ(read.m_strText, huge.left(kMaxValueLength));
    EXPECT_EQ(read.m_bands.at(0)->m_strValue, huge.left(kMaxValueLength));
    EXPECT_EQ(loaded.label->m_strHeaderText, QString(kMaxValueLength - 1, u'a'));
    EXPECT_EQ(loaded.warnings,
              QStringList{QStringLiteral("文件“%1”中有 4 段文字长于 65536 个字符，只保留了前 65536 个字符。")
                              .arg(QDir::toNativeSeparators(path))});
}

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
    // A picture file beside them reads.
    QImage red(3, 2, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString picture = dir.filePath("red.png");
    ASSERT_TRUE(red.save(picture, "PNG"));
    CLabelData label;
    auto image = std::make_unique<CImageGraph>();
    image->m_nSourceKind = ImageLinked;
    image->m_strFileName = picture;
    label.m_objects.push_back(std::move(image));
    CLabelData read;
    ReadInto(read, DocumentBytes(label));
    ASSERT_EQ(read.m_objects.size(), 1u);
    const auto& object = dynamic_cast<const CImageGraph&>(*read.m_objects[0]);
    ASSERT_NE(object.m_pImage, nullptr);
    EXPECT_EQ(object.m_pImage->SourceSize(), QSize(3, 2));
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

TEST(InputLimits, PicturesThatCannotBeDecodedWithinTheBoundsAreToldOnceWhenTheLabelOpens)
{
    QByteArray huge;
    {
        // 20000 x 20000 pixels: 1.6 GB decoded, a few hundred kilobytes stored.
        QBuffer buffer(&huge);
        buffer.open(QIODevice::WriteOnly);
        QImage mono(20000, 20000, QImage::Format_Mono);
        mono.fill(0);
        ASSERT_TRUE(mono.save(&buffer, "PNG"));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("pictures.vmk");
    CLabelData label;
    label.m_nBackgroundSource = 1;
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(huge));
    for (const QByteArray& bytes : {QByteArray("no picture at all"), huge}) {
        auto image = std::make_unique<CImageGraph>();
        image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(bytes, "image/png"));
        label.m_objects.push_back(std::move(image));
    }
    const LoadedLabel loaded = LoadLabel(path, label);
    EXPECT_EQ(loaded.warnings,
              QStringList{QStringLiteral("文件“%1”中有 3 张图片无法读出或解码后大于 256 MB，显示为占位图。")
                              .arg(QDir::toNativeSeparators(path))});
    // Their bytes travel unchanged.
    EXPECT_EQ(loaded.label->m_pImage->Bytes(), huge);
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
