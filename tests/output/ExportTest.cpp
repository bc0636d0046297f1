#include "EmfRecords.h"
#include "OutputSupport.h"
#include "TestSupport.h"

#include "barcode/BarcodeImpl.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/ImageGraph.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "output/Exporter.h"
#include "platform/ImageFile.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::vector<CBaseGraph*> Objects(const CLabelData& label)
{
    std::vector<CBaseGraph*> objects;
    for (const auto& object : label.m_objects)
        objects.push_back(object.get());
    return objects;
}

CRectangleGraph& AddBox(CLabelData& label, float x, float y, float w, float h)
{
    auto box = std::make_unique<CRectangleGraph>();
    box->m_fX = x;
    box->m_fY = y;
    box->m_fWidth = w;
    box->m_fHeight = h;
    CRectangleGraph& ref = *box;
    label.m_objects.push_back(std::move(box));
    return ref;
}

class CountingFeedback : public IJobFeedback
{
public:
    void Progress(qint64 done, qint64 total) override
    {
        last = done;
        this->total = total;
    }
    bool IsCancelled() override { return cancelAt > 0 && last >= cancelAt; }
    qint64 last = 0;
    qint64 total = 0;
    qint64 cancelAt = 0;
};

// A label whose text and barcode take a data source's field, rows "R1".."Rn".
struct RowsLabel
{
    std::unique_ptr<CLabelData> label = MakeGridLabel(1, 1);
    int loads = 0;
    int firstAsked = 0;

    explicit RowsLabel(int rows)
    {
        AddSource(*label, QStringLiteral("S"), {QStringLiteral("code")});
        CBarcodeGraph& barcode = AddSerialBarcode(*label, QStringLiteral("B"), 1, 2.0f, 8.0f);
        barcode.GetImpl()->GetSettings()->m_bandList.clear();
        barcode.GetImpl()->GetSettings()->m_bandList.push_back(FieldBand(QStringLiteral("S"), QStringLiteral("code")));
        std::vector<std::unique_ptr<CDataBand>> bands;
        bands.push_back(FieldBand(QStringLiteral("S"), QStringLiteral("code")));
        AddText(*label, QStringLiteral("T"), std::move(bands));
        for (int i = 1; i <= rows; ++i)
            data.push_back({QStringLiteral("R%1").arg(i)});
    }
    void Wire(CBatchExporter& exporter)
    {
        exporter.m_pLabelData = label.get();
        exporter.SetLoaderFactory([this](const CDSBase&) { return std::make_unique<FakeLoader>(data, &loads); });
    }
    std::vector<QStringList> data;
};

} // namespace

TEST(Export, PictureCoversTheBoxPlusAMillimetreAtTheDpi)
{
    auto label = MakeGridLabel(1, 1);
    AddBox(*label, 3.0f, 4.0f, 20.0f, 5.0f);
    // An object left out of print neither widens the box nor shows.
    AddBox(*label, 50.0f, 50.0f, 5.0f, 5.0f).m_bNotPrinted = true;
    const QImage image = CExporter::RenderImage(Objects(*label), 300, DepthTrueColour);
    EXPECT_EQ(image.size(), QSize(259, 82));
    EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 300.0, 0.5);
    // The box's outline sits one millimetre in from the picture's corner.
    EXPECT_LT(qGray(image.pixel(13, 30)), 128);
    EXPECT_EQ(qGray(image.pixel(5, 30)), 255);
}

// A picture whose box a file stores with a negative width and height is exported whole:
// the picture file covers the box its corners span.
TEST(Export, APictureStoredWithANegativeBoxIsExportedWhole)
{
    auto label = MakeGridLabel(1, 1);
    auto image = std::make_unique<CImageGraph>();
    QImage black(8, 4, QImage::Format_RGB32);
    black.fill(Qt::black);
    image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(black));
    image->m_fX = 30;
    image->m_fY = 14;
    image->m_fWidth = -20;
    image->m_fHeight = -10;
    label->m_objects.push_back(std::move(image));
    float x, y, w, h;
    ASSERT_TRUE(CExporter::GetBounds(Objects(*label), &x, &y, &w, &h));
    EXPECT_EQ(QRectF(x, y, w, h), QRectF(10, 4, 20, 10));
    const QImage exported = CExporter::RenderImage(Objects(*label), 254, DepthTrueColour);
    ASSERT_EQ(exported.size(), QSize(220, 120));
    // Black from corner to corner inside the one-millimetre margin, white in the margin.
    for (const QPoint p : {QPoint(12, 12), QPoint(207, 107), QPoint(110, 60)})
        EXPECT_LT(qGray(exported.pixel(p)), 128) << p.x() << "," << p.y();
    for (const QPoint p : {QPoint(5, 60), QPoint(214, 60), QPoint(110, 5), QPoint(110, 114)})
        EXPECT_EQ(qGray(exported.pixel(p)), 255) << p.x() << "," << p.y();
}

TEST(Export, TurnedObjectsAreExportedWhole)
{
    auto label = MakeGridLabel(1, 1);
    CRectangleGraph& box = AddBox(*label, 10.0f, 10.0f, 20.0f, 4.0f);
    box.m_fAngle = 90.0f; // about its top-left corner: it now runs down, left of x = 10
    box.m_crFill = 0xFF000000u;
    float x, y, w, h;
    ASSERT_TRUE(CExporter::GetBounds(Objects(*label), &x, &y, &w, &h));
    EXPECT_NEAR(x, 6.0f, 1e-4);
    EXPECT_NEAR(y, 10.0f, 1e-4);
    EXPECT_NEAR(w, 4.0f, 1e-4);
    EXPECT_NEAR(h, 20.0f, 1e-4);
    const QImage image = CExporter::RenderImage(Objects(*label), 254, DepthMonochrome);
    ASSERT_EQ(image.size(), QSize(60, 220));
    // Filled from one end to the other, inside the margins.
    for (const int row : {12, 110, 207})
        EXPECT_LT(qGray(image.pixel(30, row)), 128) << row;
}

TEST(Export, A300DpiBarcodeFileDecodes)
{
    QTemporaryDir dir;
    auto label = MakeGridLabel(1, 1);
    AddEncodedBarcode(*label, QStringLiteral("VC-2026-0042"));
    for (const int depth : {DepthMonochrome, Depth16Colours, Depth256Colours, DepthTrueColour}) {
        CExporter exporter;
        exporter.m_strFilePath = dir.filePath(QStringLiteral("code%1.png").arg(depth));
        exporter.m_nDpi = 300;
        exporter.m_nColourDepth = depth;
        QString error;
        ASSERT_EQ(exporter.Export(Objects(*label), &error), ExportResult::Success) << error.toStdString();
        EXPECT_EQ(ReadCode128(QImage(exporter.m_strFilePath)).value_or(QStringLiteral("(nothing)")),
                  QStringLiteral("VC-2026-0042"))
            << depth;
    }
}

TEST(Export, EveryFormatIsWrittenAndAFileThatIsNotIsAFailure)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("a.b")));
    auto label = MakeGridLabel(1, 1);
    AddBox(*label, 0.0f, 0.0f, 10.0f, 10.0f);
    const struct {
        QString name;
        ExportResult result;
    } cases[] = {
        {QStringLiteral("x.bmp"), ExportResult::Success},  {QStringLiteral("x.JPG"), ExportResult::Success},
        {QStringLiteral("x.jpeg"), ExportResult::Success}, {QStringLiteral("x.gif"), ExportResult::Success},
        {QStringLiteral("x.TIF"), ExportResult::Success},  {QStringLiteral("x.tiff"), ExportResult::Success},
        {QStringLiteral("x.png"), ExportResult::Success},  {QStringLiteral("x.Emf"), ExportResult::Success},
        // No writer for the suffix, a '.' only in the folder's name, a missing folder.
        {QStringLiteral("x.webp"), ExportResult::FileError}, {QStringLiteral("a.b/x"), ExportResult::FileError},
        {QStringLiteral("none/x.png"), ExportResult::FileError},
    };
    for (const auto& c : cases) {
        CExporter exporter;
        exporter.m_strFilePath = dir.filePath(c.name);
        exporter.m_nDpi = 150;
        QString error;
        EXPECT_EQ(exporter.Export(Objects(*label), &error), c.result) << c.name.toStdString();
        EXPECT_EQ(QFile::exists(exporter.m_strFilePath), c.result == ExportResult::Success) << c.name.toStdString();
        if (c.result != ExportResult::Success) {
            EXPECT_FALSE(error.isEmpty()) << c.name.toStdString();
        } else if (c.name.endsWith(QStringLiteral(".Emf"))) {
            QFile file(exporter.m_strFilePath);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const EmfFile emf = ParseEmf(file.readAll());
            ASSERT_TRUE(emf.valid);
            EXPECT_EQ(emf.IField(0, 32), 1199); // 10 mm plus the margins, in 0.01 mm
        } else {
            EXPECT_EQ(QImage(exporter.m_strFilePath).size(), QSize(70, 70)) << c.name.toStdString();
        }
    }
}

// Pictures are written beside their name and renamed over it; the file still gets the
// permissions the umask gives a new file, and an overwritten file keeps its own.
TEST(Export, WrittenPicturesFollowTheUmaskOrKeepTheReplacedFilesPermissions)
{
    QTemporaryDir dir;
    auto label = MakeGridLabel(1, 1);
    AddBox(*label, 0.0f, 0.0f, 10.0f, 10.0f);
    const auto exported = [&](const QString& name) {
        CExporter exporter;
        exporter.m_strFilePath = dir.filePath(name);
        exporter.m_nDpi = 100;
        EXPECT_EQ(exporter.Export(Objects(*label)), ExportResult::Success) << name.toStdString();
        struct stat info
        {
        };
        EXPECT_EQ(::stat(QFile::encodeName(exporter.m_strFilePath).constData(), &info), 0);
        return info.st_mode & 0777;
    };
    {
        const ScopedUmask mask(077);
        EXPECT_EQ(exported("private.png"), 0600u);
        EXPECT_EQ(exported("private.emf"), 0600u);
    }
    {
        const ScopedUmask mask(027);
        EXPECT_EQ(exported("group.gif"), 0640u);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("private.png")).constData(), 0604), 0);
        EXPECT_EQ(exported("private.png"), 0604u);
    }
}

TEST(Export, TheClipboardHoldsTheRenderedPicture)
{
    auto label = MakeGridLabel(1, 1);
    AddEncodedBarcode(*label, QStringLiteral("CLIP"));
    const QImage image = CExporter::RenderImage(Objects(*label), 300, DepthTrueColour);
    QGuiApplication::clipboard()->setImage(image);
    const QImage held = QGuiApplication::clipboard()->image();
    EXPECT_EQ(held.size(), image.size());
    EXPECT_EQ(ReadCode128(held).value_or(QStringLiteral("(nothing)")), QStringLiteral("CLIP"));
}

TEST(BatchExport, OneFilePerRowWhoseBarcodeReadsTheRow)
{
    QTemporaryDir dir;
    RowsLabel rows(5);
    // Values far longer than the barcode on the canvas: every picture holds it whole.
    for (int r = 1; r <= 5; ++r)
        rows.data[r - 1] = QStringList{QStringLiteral("ROW-%1-ABCDEFGHIJKLMNOPQRSTUVWXYZ").arg(r)};
    CBatchExporter exporter;
    rows.Wire(exporter);
    exporter.m_strFolder = dir.path();
    exporter.m_strExtension = QStringLiteral(".png");
    exporter.m_strStartName = QStringLiteral("L");
    exporter.m_nFromRow = 1;
    exporter.m_nToRow = 5;
    exporter.m_nDpi = 300;
    CountingFeedback feedback;
    QString error;
    const std::vector<CBaseGraph*> selection = Objects(*rows.label);
    const QString content = static_cast<CBarcodeGraph*>(selection[0])->GetImpl()->GetSettings()->m_strContent;
    ASSERT_EQ(exporter.Run(selection, selection[0], &feedback, &error), ExportResult::Success) << error.toStdString();
    EXPECT_EQ(exporter.GetWrittenCount(), 5);
    EXPECT_EQ(feedback.last, 5);
    EXPECT_EQ(feedback.total, 5);
    EXPECT_EQ(rows.loads, 1);
    for (int r = 1; r <= 5; ++r) {
        const QImage image(dir.filePath(QStringLiteral("L%1.png").arg(r)));
        ASSERT_FALSE(image.isNull()) << r;
        EXPECT_EQ(ReadCode128(image).value_or(QStringLiteral("(nothing)")), rows.data[r - 1].front());
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 5);
    // The document's objects keep their own values.
    EXPECT_TRUE(selection[0]->m_strText.isEmpty());
    EXPECT_EQ(static_cast<CBarcodeGraph*>(selection[0])->GetImpl()->GetSettings()->m_strContent, content);
}

TEST(BatchExport, NamesFromTheCurrentObjectAndRowsFromTheFirstRow)
{
    QTemporaryDir dir;
    auto label = MakeGridLabel(1, 1);
    std::vector<std::unique_ptr<CDataBand>> bands;
    bands.push_back(ConstantBand(QStringLiteral("A")));
    bands.push_back(SerialBand(1));
    CTextGraph& text = AddText(*label, QStringLiteral("T"), std::move(bands));
    for (const QString& extension : {QStringLiteral(".jpg"), QStringLiteral(".emf")}) {
        CBatchExporter exporter;
        exporter.m_pLabelData = label.get();
        exporter.m_strFolder = dir.path() + u'/';
        exporter.m_strExtension = extension;
        exporter.m_strStartName = QStringLiteral("N");
        exporter.m_bNameAfterObject = true;
        exporter.m_nFromRow = -4; // counts as 1
        exporter.m_nToRow = 3;
        ASSERT_EQ(exporter.Run(Objects(*label), &text), ExportResult::Success);
        for (const char* name : {"NA1", "NA2", "NA3"})
            EXPECT_TRUE(QFile::exists(dir.filePath(QLatin1String(name) + extension))) << name;
    }
    QFile emf(dir.filePath(QStringLiteral("NA2.emf")));
    ASSERT_TRUE(emf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ParseEmf(emf.readAll()).valid);
    EXPECT_EQ(ImageFormatForSuffix(QStringLiteral("jpg")), ImageFileFormat::Jpeg);
    EXPECT_EQ(QImageReader(dir.filePath(QStringLiteral("NA1.jpg"))).format(), "jpeg");

    // Rows 3..4 of a data source are its third and fourth rows.
    RowsLabel rows(6);
    CBatchExporter fromThree;
    rows.Wire(fromThree);
    fromThree.m_strFolder = dir.path();
    fromThree.m_strExtension = QStringLiteral(".png");
    fromThree.m_bNameAfterObject = true;
    fromThree.m_nFromRow = 3;
    fromThree.m_nToRow = 4;
    fromThree.m_nDpi = 300;
    const std::vector<CBaseGraph*> selection = Objects(*rows.label);
    ASSERT_EQ(fromThree.Run(selection, selection[1]), ExportResult::Success);
    EXPECT_EQ(ReadCode128(QImage(dir.filePath(QStringLiteral("R3.png")))).value_or(QString()), QStringLiteral("R3"));
    EXPECT_EQ(ReadCode128(QImage(dir.filePath(QStringLiteral("R4.png")))).value_or(QString()), QStringLiteral("R4"));
}

TEST(BatchExport, EqualValuesEachKeepAFileOfTheirOwn)
{
    QTemporaryDir dir;
    RowsLabel rows(6);
    // Three rows "A", a row whose value is the second A's name, and a row whose empty
    // value falls back to its number, which an earlier value already took.
    rows.data = {{"A"}, {"A"}, {"A_2"}, {"A"}, {"6"}, {""}};
    CBatchExporter exporter;
    rows.Wire(exporter);
    exporter.m_strFolder = dir.path();
    exporter.m_strExtension = QStringLiteral(".png");
    exporter.m_bNameAfterObject = true;
    exporter.m_nToRow = 6;
    exporter.m_nDpi = 300;
    const std::vector<CBaseGraph*> selection = Objects(*rows.label);
    ASSERT_EQ(exporter.Run(selection, selection[1]), ExportResult::Success);
    EXPECT_EQ(exporter.GetWrittenCount(), 6);
    QStringList written = QDir(dir.path()).entryList(QDir::Files);
    written.sort();
    EXPECT_EQ(written, (QStringList{"6.png", "6_2.png", "A.png", "A_2.png", "A_2_2.png", "A_3.png"}));
    // Each file holds its own row.
    EXPECT_EQ(ReadCode128(QImage(dir.filePath("A.png"))).value_or(QString()), "A");
    EXPECT_EQ(ReadCode128(QImage(dir.filePath("A_2_2.png"))).value_or(QString()), "A_2");
    EXPECT_EQ(ReadCode128(QImage(dir.filePath("6.png"))).value_or(QString()), "6");
}

TEST(BatchExport, UnsafeNamesStayInTheFolder)
{
    const struct {
        const char* in;
        const char* out;
    } names[] = {
        {"plain", "plain"},   {"a/b", "a_b"},       {"a\\b", "a_b"},   {"../up", "___up"}, {"..", "__"},
        {".", ""},            {"", ""},             {"x\ny", "x_y"},   {"a:b*c?", "a_b_c_"}, {"<|\">", "____"},
        {"v1.2", "v1.2"},     {"...", "__."},
    };
    for (const auto& n : names)
        EXPECT_EQ(MakeSafeFileName(QString::fromUtf8(n.in)), QString::fromUtf8(n.out)) << n.in;

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out")));
    RowsLabel rows(3);
    rows.data = {{QStringLiteral("../../escape")}, {QStringLiteral("a/b")}, {QString()}};
    CBatchExporter exporter;
    rows.Wire(exporter);
    exporter.m_strFolder = dir.filePath(QStringLiteral("out"));
    exporter.m_strExtension = QStringLiteral(".bmp");
    exporter.m_bNameAfterObject = true;
    exporter.m_nToRow = 3;
    exporter.m_nDpi = 72;
    const std::vector<CBaseGraph*> selection = Objects(*rows.label);
    ASSERT_EQ(exporter.Run(selection, selection[1]), ExportResult::Success);
    QStringList written = QDir(exporter.m_strFolder).entryList(QDir::Files);
    written.sort();
    EXPECT_EQ(written, (QStringList{QStringLiteral("3.bmp"), QStringLiteral("______escape.bmp"), QStringLiteral("a_b.bmp")}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

TEST(BatchExport, FailuresAreCountedAndTheFirstNamedCancelStops)
{
    QTemporaryDir dir;
    RowsLabel rows(4);
    CBatchExporter exporter;
    rows.Wire(exporter);
    exporter.m_strFolder = dir.filePath(QStringLiteral("missing"));
    exporter.m_strExtension = QStringLiteral(".gif");
    exporter.m_nToRow = 4;
    exporter.m_nDpi = 72;
    QString error;
    const std::vector<CBaseGraph*> selection = Objects(*rows.label);
    EXPECT_EQ(exporter.Run(selection, nullptr, nullptr, &error), ExportResult::FileError);
    EXPECT_EQ(exporter.GetFailedCount(), 4);
    EXPECT_EQ(exporter.GetWrittenCount(), 0);
    EXPECT_TRUE(error.startsWith(QStringLiteral("4 "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("1.gif"))) << error.toStdString();

    exporter.m_strExtension = QStringLiteral(".webp");
    EXPECT_EQ(exporter.Run(selection, nullptr, nullptr, &error), ExportResult::FileError);
    exporter.m_strExtension = QStringLiteral(".png");
    exporter.m_nFromRow = 5; // past the last row: nothing written is no success
    EXPECT_EQ(exporter.Run(selection, nullptr, nullptr, &error), ExportResult::FileError);

    exporter.m_strFolder = dir.path();
    exporter.m_nFromRow = 1;
    CountingFeedback feedback;
    feedback.cancelAt = 2;
    EXPECT_EQ(exporter.Run(selection, nullptr, &feedback), ExportResult::Cancelled);
    EXPECT_EQ(exporter.GetWrittenCount(), 2);
}

// Rows drawn on several threads give the files, names and bytes of a run on one; a
// cancel leaves the files up to the row it came at, as a run row by row would.
TEST(BatchExport, ManyThreadsWriteWhatOneWritesAndACancelKeepsItsRows)
{
    RowsLabel rows(24);
    for (int r = 1; r <= 24; ++r)
        rows.data[r - 1] = QStringList{QStringLiteral("V%1").arg(r % 7)}; // names taken again: _2, _3
    const std::vector<CBaseGraph*> selection = Objects(*rows.label);
    auto run = [&](const QString& folder, int threads, CountingFeedback* feedback) {
        CBatchExporter exporter;
        rows.Wire(exporter);
        exporter.m_strFolder = folder;
        exporter.m_strExtension = QStringLiteral(".png");
        exporter.m_bNameAfterObject = true;
        exporter.m_nToRow = 24;
        exporter.m_nDpi = 150;
        exporter.m_nThreads = threads;
        const ExportResult result = exporter.Run(selection, selection[1], feedback);
        return std::make_pair(result, exporter.GetWrittenCount());
    };
    QTemporaryDir one, four;
    EXPECT_EQ(run(one.path(), 1, nullptr), std::make_pair(ExportResult::Success, 24));
    CountingFeedback feedback;
    EXPECT_EQ(run(four.path(), 4, &feedback), std::make_pair(ExportResult::Success, 24));
    EXPECT_EQ(feedback.last, 24);
    const QStringList names = QDir(one.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(names.size(), 24);
    EXPECT_TRUE(names.contains(QStringLiteral("V3_4.png")));
    ASSERT_EQ(QDir(four.path()).entryList(QDir::Files, QDir::Name), names);
    for (const QString& name : names) {
        QFile a(QDir(one.path()).filePath(name)), b(QDir(four.path()).filePath(name));
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_EQ(a.readAll(), b.readAll()) << name.toStdString();
    }

    QTemporaryDir cancelled;
    CountingFeedback stop;
    stop.cancelAt = 5;
    EXPECT_EQ(run(cancelled.path(), 4, &stop).first, ExportResult::Cancelled);
    QStringList kept = QDir(cancelled.path()).entryList(QDir::Files);
    kept.sort();
    EXPECT_EQ(kept, (QStringList{"V1.png", "V2.png", "V3.png", "V4.png", "V5.png"}));
}

TEST(BatchExport, ASourceThatCannotBeReadFailsBeforeAnyFile)
{
    QTemporaryDir dir;
    RowsLabel rows(2);
    CBatchExporter exporter;
    exporter.m_pLabelData = rows.label.get();
    exporter.SetLoaderFactory([](const CDSBase&) {
        auto loader = std::make_unique<FakeLoader>(std::vector<QStringList>{});
        loader->m_fail = true;
        return loader;
    });
    exporter.m_strFolder = dir.path();
    exporter.m_strExtension = QStringLiteral(".png");
    exporter.m_nToRow = 2;
    QString error;
    EXPECT_EQ(exporter.Run(Objects(*rows.label), nullptr, nullptr, &error), ExportResult::FileError);
    EXPECT_TRUE(error.contains(QStringLiteral("no such table"))) << error.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(Export, AMetafileDrawnByAnIndependentReaderShowsTheBarcode)
{
    const QString converter = QStandardPaths::findExecutable(QStringLiteral("emf2svg-conv"));
    if (converter.isEmpty())
        GTEST_SKIP() << "emf2svg-conv is not installed";
    QTemporaryDir dir;
    auto label = MakeGridLabel(1, 1);
    AddEncodedBarcode(*label, QStringLiteral("EMF-77"));
    CTextGraph& text = AddText(*label, QStringLiteral("T"), {});
    text.m_strText = QStringLiteral("Hello 标签");
    text.m_fY = 20;
    text.m_fWidth = 40;
    text.m_fHeight = 6;
    CExporter exporter;
    exporter.m_strFilePath = dir.filePath(QStringLiteral("x.emf"));
    ASSERT_EQ(exporter.Export(Objects(*label)), ExportResult::Success);

    QProcess process;
    process.start(converter, {QStringLiteral("-i"), exporter.m_strFilePath, QStringLiteral("-o"), dir.filePath("x.svg")});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QSvgRenderer svg(dir.filePath("x.svg"));
    ASSERT_TRUE(svg.isValid());
    // Drawn at about 300 dpi: the converter keeps the 0.01 mm units.
    const QSizeF size = svg.defaultSize();
    QImage image(QSize(int(size.width() * 0.12), int(size.height() * 0.12)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    EXPECT_EQ(ReadCode128(image).value_or(QStringLiteral("(nothing)")), QStringLiteral("EMF-77"));
}
