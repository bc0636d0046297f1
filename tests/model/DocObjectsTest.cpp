#include "DocTestBytes.h"
#include "TestSupport.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/DocLoader.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "platform/Archive.h"
#include "platform/ImageHolder.h"
#include "platform/VXException.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::string Hex(const QByteArray& bytes) { return bytes.toHex().toStdString(); }

QByteArray ObjectListBytes(const ObjectList& objects)
{
    CDocWriterV1_0 writer;
    writer.m_pCurObjects = &objects;
    CArchiveWriter ar;
    WriteObjectList(ar, writer);
    return ar.Data();
}

ObjectList ReadObjectListBytes(const QByteArray& bytes, QStringList* warnings = nullptr)
{
    ObjectList objects;
    CDocReaderV1_0 reader;
    reader.m_pCurObjects = &objects;
    CArchiveReader ar(bytes);
    ReadObjectList(ar, reader);
    EXPECT_TRUE(ar.AtEnd());
    if (warnings)
        *warnings = reader.GetWarnings();
    return objects;
}

QByteArray BandListBytes(const DataBandList& bands)
{
    CArchiveWriter ar;
    WriteDataBandList(ar, bands);
    return ar.Data();
}

// The common fields of a new object with the given name.
Golden CommonDefaults(int32_t kind, const QString& name, const QString& text = QString())
{
    Golden g;
    g.u32(kind).str(name).str(text).f32(0).f32(0).f32(20).f32(5).f32(0).f32(0.3f).u32(0);
    g.rgba(0, 0, 0, 0xFF).rgba(0xFF, 0xFF, 0xFF, 0).rgba(0, 0, 0, 0xFF).rgba(0, 0, 0, 0xFF);
    return g.flag(false).flag(false).flag(false).str("");
}

// A default band, from the band table.
Golden DefaultBand(int32_t step = 1)
{
    Golden g;
    g.u32(0).strs(3).u32(0).strs(7).u32(step).str("").u32(0).str("0123456789").flag(true).u32(5).flag(false).u8('0');
    g.str("1").flag(false).str("1000").flag(false).str("").str("").flag(false).u32(1).flag(true).u8('0');
    g.flag(false).u32(10).flag(false).flag(false).flag(false).flag(false).u32(0).flag(false).u32(0);
    g.flag(false).u32(1).flag(false).u32(1).flag(false).flag(false).flag(false).u32(2).flag(false);
    return g.flag(false).flag(false).flag(false).u32(0).flag(false).str("").flag(true);
}

// The generic settings block of new settings with the given code, without bands.
Golden GenericDefaults(int32_t code)
{
    Golden g;
    g.u32(code).str(QString::fromUtf8("条码1")).str("12345678").f32(0).f32(0).f32(60).f32(20).f32(0).u32(0);
    g.str("Arial").f32(10);
    g.flag(false).flag(false).flag(false).flag(false).u8(0).u32(1).flag(true).flag(false);
    g.f32(0).f32(0).f32(0).f32(0).f32(10).f32(10).f32(2).u32(0).u32(0).flag(false).u32(0);
    g.flag(false).u32(0).str(" ").f32(0).str("").str("");
    return g.rgba(0, 0, 0, 0xFF).rgba(0xFF, 0xFF, 0xFF, 0).rgba(0, 0, 0, 0xFF);
}

std::unique_ptr<CBarcodeSettings> MakeSettings(int32_t code)
{
    auto settings = FindSymbology(code)->makeSettings();
    settings->m_nSymbology = code;
    return settings;
}

QByteArray SettingsBytes(const CBarcodeSettings& settings)
{
    CArchiveWriter ar;
    WriteBarcodeSettings(ar, settings);
    return ar.Data();
}

QByteArray Gif()
{
    return QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c000000000100010000020244"
                               "01003b");
}

} // namespace

TEST(DocBands, DefaultBandHasTheGoldenRecordAndReadsBackEqual)
{
    DataBandList bands;
    bands.push_back(std::make_unique<CDataBand>());
    EXPECT_EQ(Hex(BandListBytes(bands)), Hex(Golden().u32(1).raw(DefaultBand())));
    EXPECT_EQ(Hex(BandListBytes({})), "00000000");

    DataBandList read;
    CArchiveReader ar(BandListBytes(bands));
    ReadDataBandList(ar, read);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_TRUE(read[0]->IsEqual(*bands[0]));
}

TEST(DocBands, SerialStepTravelsInIntegerThirteen)
{
    DataBandList bands;
    for (int32_t step : {3, -2}) {
        auto band = std::make_unique<CDataBand>();
        band->m_nKind = BandSerial;
        band->m_nSerialStep = step;
        bands.push_back(std::move(band));
    }
    const QByteArray bytes = BandListBytes(bands);
    EXPECT_EQ(Hex(bytes.mid(4, DefaultBand().bytes().size()).mid(4)), Hex(DefaultBand(3).bytes().mid(4)));
    DataBandList read;
    CArchiveReader ar(bytes);
    ReadDataBandList(ar, read);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0]->m_nSerialStep, 3);
    EXPECT_EQ(read[1]->m_nSerialStep, -2);

    // Files that never stored a step hold 0 there.
    DataBandList old;
    CArchiveReader zero(Golden().u32(1).raw(DefaultBand(0)));
    ReadDataBandList(zero, old);
    EXPECT_EQ(old[0]->m_nSerialStep, 1);
}

TEST(DocBands, PadCharactersKeepAnyByteAndFlagsNormalise)
{
    auto band = std::make_unique<CDataBand>();
    band->m_chPad = static_cast<char>(0xFF);
    band->m_chSerialPad = '\0';
    DataBandList bands;
    bands.push_back(std::move(band));
    QByteArray bytes = BandListBytes(bands);
    // "Counting up" is the first flag after the custom alphabet; store a 2 there.
    const qsizetype countUp = bytes.indexOf(Golden().str("0123456789").bytes()) + 4 + 20;
    ASSERT_EQ(bytes[countUp], 1);
    bytes[countUp] = 2;
    DataBandList read;
    CArchiveReader ar(bytes);
    ReadDataBandList(ar, read);
    EXPECT_EQ(read[0]->m_chPad, static_cast<char>(0xFF));
    EXPECT_EQ(read[0]->m_chSerialPad, '\0');
    EXPECT_TRUE(read[0]->m_bCountUp);
    bytes[countUp] = 1;
    EXPECT_EQ(BandListBytes(read), bytes);
}

TEST(DocObjects, ShapesHaveTheGoldenRecords)
{
    ObjectList objects;
    objects.push_back(std::make_unique<CRectangleGraph>());
    objects.push_back(std::make_unique<CPolygonGraph>());
    const Golden fill = Golden().u32(0).flag(false).u32(4).rgba(0, 0, 0, 0xFF).u32(0).rgba(0, 0, 0, 0xFF).rgba(0, 0, 0, 0xFF);
    Golden expected;
    expected.u32(2);
    expected.raw(CommonDefaults(KindRectangle, "Recatangle1")).f32(0).raw(fill);
    expected.raw(CommonDefaults(KindPolygon, "Polygon1")).u32(0).raw(fill);
    EXPECT_EQ(Hex(ObjectListBytes(objects)), Hex(expected));
    EXPECT_EQ(Hex(ObjectListBytes({})), "00000000");
}

TEST(DocObjects, TextHasTheGoldenRecordAndKeepsItsBandsInOrder)
{
    ObjectList objects;
    objects.push_back(std::make_unique<CTextGraph>());
    Golden expected;
    expected.u32(1).raw(CommonDefaults(KindText, "Text1", QString::fromUtf8("样例文字")));
    expected.u32(0).str("Arial").f32(12).flag(false).flag(false).flag(false).flag(false).u8(0).u32(0).u32(0);
    expected.f32(0).u32(0).f32(0).flag(false).f32(1).flag(false).u32(0).str(" ").f32(0).str("").str("");
    expected.u32(0).u32(0).flag(true).flag(true).f32(15).u32(0);
    EXPECT_EQ(Hex(ObjectListBytes(objects)), Hex(expected));

    auto text = std::make_unique<CTextGraph>();
    text->m_nLayoutMode = CurvedText;
    text->m_byStyle5 = 0xAB;
    text->m_nLineSpacingChoice = 2;
    text->m_fLineSpacing = 1.5f;
    text->m_strSpareText = "spare";
    text->m_nTextDirection = 1;
    text->m_fAngleStep = 7.5f;
    text->m_bSquareBox = false;
    for (const char* value : {"A", "B", "C"}) {
        auto band = std::make_unique<CDataBand>();
        band->m_strValue = value;
        text->m_bands.push_back(std::move(band));
    }
    objects.push_back(std::move(text));
    const QByteArray bytes = ObjectListBytes(objects);
    const ObjectList read = ReadObjectListBytes(bytes);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(ObjectListBytes(read), bytes);
    const auto& t = dynamic_cast<const CTextGraph&>(*read[1]);
    EXPECT_EQ(t.m_nLayoutMode, CurvedText);
    EXPECT_EQ(t.m_byStyle5, 0xAB);
    EXPECT_EQ(t.m_nLineSpacingChoice, 2);
    EXPECT_EQ(t.m_fLineSpacing, 1.5f);
    EXPECT_EQ(t.m_strSpareText, "spare");
    EXPECT_EQ(t.m_nTextDirection, 1);
    EXPECT_EQ(t.m_fAngleStep, 7.5f);
    EXPECT_FALSE(t.m_bSquareBox);
    ASSERT_EQ(t.m_bands.size(), 3u);
    EXPECT_EQ(t.m_bands[0]->m_strValue, "A");
    EXPECT_EQ(t.m_bands[2]->m_strValue, "C");
}

TEST(DocObjects, EveryKindKeepsItsFieldsAndDropsScaleAndOrigin)
{
    ObjectList objects;
    auto line = std::make_unique<CLineGraph>();
    line->m_fX1 = 1.5f;
    line->m_fY2 = -2.0f;
    line->m_nDashStyle = 3;
    line->m_nLineEnd = 1;
    line->m_nReserved = {1, 2, 3, 4};
    line->m_bHorzVertOnly = true;
    line->m_fDrawScale = 2.0f;
    line->m_fOriginX = 9.0f;
    line->m_bLocked = true;
    line->m_strDescription = QString::fromUtf8("说明");
    auto rectangle = std::make_unique<CRectangleGraph>();
    rectangle->m_fCornerRadius = 1.25f;
    rectangle->m_bHatch = true;
    rectangle->m_nHatchStyle = 7;
    rectangle->m_crGradient2 = 0x12345678u;
    rectangle->m_crFill = 0x00FFFFFFu;
    auto ellipse = std::make_unique<CEllipseGraph>();
    ellipse->m_nGradient = 5;
    ellipse->m_fAngle = 45.0f;
    ellipse->m_nAnchor = AnchorBottomLeft;
    auto polygon = std::make_unique<CPolygonGraph>();
    polygon->m_points = {{1, 2}, {3.5, 4}, {-5, 6}};
    polygon->RecalcBounds();
    auto image = std::make_unique<CImageGraph>();
    image->m_nSourceKind = ImageEmbedded;
    image->m_strMimeType = "image/gif";
    image->m_strPrefix = "p";
    image->m_nSizeMode = ImageSizeFitBox;
    image->m_nErrorHandling = ImageErrorAbort;
    image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(Gif()));
    objects.push_back(std::move(line));
    objects.push_back(std::move(rectangle));
    objects.push_back(std::move(ellipse));
    objects.push_back(std::move(polygon));
    objects.push_back(std::move(image));

    const QByteArray bytes = ObjectListBytes(objects);
    const ObjectList read = ReadObjectListBytes(bytes);
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(ObjectListBytes(read), bytes);

    const auto& l = dynamic_cast<const CLineGraph&>(*read[0]);
    EXPECT_EQ(l.m_fX1, 1.5f);
    EXPECT_EQ(l.m_fY2, -2.0f);
    EXPECT_EQ(l.m_nDashStyle, 3);
    EXPECT_EQ(l.m_nLineEnd, 1);
    EXPECT_EQ(l.m_nReserved, (std::array<int32_t, 4>{1, 2, 3, 4}));
    EXPECT_TRUE(l.m_bHorzVertOnly);
    EXPECT_TRUE(l.m_bLocked);
    EXPECT_EQ(l.m_strDescription, QString::fromUtf8("说明"));
    EXPECT_EQ(l.m_fDrawScale, 1.0f);
    EXPECT_EQ(l.m_fOriginX, 0.0f);
    const auto& r = dynamic_cast<const CRectangleGraph&>(*read[1]);
    EXPECT_EQ(r.m_fCornerRadius, 1.25f);
    EXPECT_TRUE(r.m_bHatch);
    EXPECT_EQ(r.m_nHatchStyle, 7);
    EXPECT_EQ(r.m_crGradient2, 0x12345678u);
    const auto& e = dynamic_cast<const CEllipseGraph&>(*read[2]);
    EXPECT_EQ(e.m_nGradient, 5);
    EXPECT_EQ(e.m_fAngle, 45.0f);
    EXPECT_EQ(e.m_nAnchor, AnchorBottomLeft);
    const auto& p = dynamic_cast<const CPolygonGraph&>(*read[3]);
    EXPECT_EQ(p.m_points, (std::vector<QPointF>{{1, 2}, {3.5, 4}, {-5, 6}}));
    EXPECT_EQ(p.m_fX, -5.0f);
    const auto& i = dynamic_cast<const CImageGraph&>(*read[4]);
    ASSERT_NE(i.m_pImage, nullptr);
    EXPECT_EQ(i.m_pImage->Bytes(), Gif()); // a format that cannot be encoded here survives
    EXPECT_EQ(i.m_strPrefix, "p");
    EXPECT_EQ(i.m_nSizeMode, ImageSizeFitBox);
    EXPECT_EQ(i.m_nErrorHandling, ImageErrorAbort);
}

TEST(DocObjects, ImagesWithoutEmbeddedBytesOpenWithThePlaceholderOrTheirFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("pic.gif");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Gif());
    }
    ObjectList objects;
    for (int source : {ImageEmbedded, ImageLinked, ImageDataSource}) {
        auto image = std::make_unique<CImageGraph>();
        image->m_nSourceKind = source;
        image->m_strFileName = path;
        if (source != ImageEmbedded)
            image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(Gif()));
        objects.push_back(std::move(image));
    }
    objects.push_back(std::make_unique<CEllipseGraph>());
    const QByteArray bytes = ObjectListBytes(objects);
    EXPECT_EQ(bytes.indexOf(Gif()), -1); // none embedded: no picture, or not the embedded kind

    const auto picture = [](const ObjectList& list, size_t i) {
        return dynamic_cast<const CImageGraph&>(*list[i]).m_pImage->Bytes();
    };
    const QByteArray placeholder = ImageHolder::Placeholder().Bytes();
    ObjectList read = ReadObjectListBytes(bytes);
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(picture(read, 0), placeholder);
    EXPECT_EQ(picture(read, 1), Gif());
    EXPECT_EQ(picture(read, 2), placeholder);
    EXPECT_EQ(read[3]->GetKind(), KindEllipse);

    QFile::remove(path);
    read = ReadObjectListBytes(bytes);
    EXPECT_EQ(picture(read, 1), placeholder);
    EXPECT_EQ(dynamic_cast<const CImageGraph&>(*read[1]).m_strFileName, path);
}

TEST(DocObjects, AnUntouchedFileWithImagesWithoutPicturesSavesUnchanged)
{
    QTemporaryDir dir;
    CLabelData label;
    for (int source : {ImageEmbedded, ImageLinked, ImageDataSource}) {
        auto image = std::make_unique<CImageGraph>();
        image->m_nSourceKind = source;
        image->m_strFileName = dir.filePath("missing.png");
        image->m_strMimeType = "image/png";
        label.m_objects.push_back(std::move(image));
    }
    label.m_objects.push_back(std::make_unique<CLineGraph>());
    CDocWriterV1_0 writer;
    writer.m_strPath = dir.filePath("first.vmk");
    writer.m_pLabelData = &label;
    writer.WriteDocument();

    CLabelData opened;
    CDocLoader loader;
    loader.m_strPath = writer.m_strPath;
    loader.m_pLabelData = &opened;
    loader.LoadDocument();
    ASSERT_EQ(opened.m_objects.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        const auto& image = dynamic_cast<const CImageGraph&>(*opened.m_objects[i]);
        ASSERT_NE(image.m_pImage, nullptr) << i;
        EXPECT_TRUE(image.m_pImage->IsPlaceholder()) << i;
    }
    CDocWriterV1_0 again;
    again.m_strPath = dir.filePath("second.vmk");
    again.m_pLabelData = &opened;
    again.WriteDocument();
    EXPECT_EQ(ReadFileBytes(again.m_strPath), ReadFileBytes(writer.m_strPath));
    EXPECT_EQ(ReadFileBytes(again.m_strPath).indexOf(ImageHolder::Placeholder().Bytes()), -1);

    // A copy of such an object still holds no picture of the user's.
    ObjectList copies;
    copies.push_back(opened.m_objects[0]->Clone());
    EXPECT_TRUE(ObjectListBytes(copies).endsWith(Golden().flag(false).bytes()));
}

TEST(DocBarcodes, GenericBlockHasTheGoldenBytes)
{
    auto settings = MakeSettings(SymbologyCode39);
    EXPECT_EQ(Hex(SettingsBytes(*settings)), Hex(GenericDefaults(SymbologyCode39).u32(0)));

    settings->m_bandList.push_back(std::make_unique<CDataBand>());
    settings->m_fBarHeight = 7.0f;
    settings->m_fModuleWidth = 13.0f;
    settings->m_crBackground = 0x00FFFFFFu;
    Golden expected = GenericDefaults(SymbologyCode39);
    QByteArray golden = expected.bytes();
    // The bar height comes before the module width.
    const QByteArray tens = Golden().f32(10).f32(10).f32(2).bytes();
    golden.replace(golden.indexOf(tens), tens.size(), Golden().f32(7).f32(13).f32(2).bytes());
    EXPECT_EQ(Hex(SettingsBytes(*settings)), Hex(Golden().raw(golden).u32(1).raw(DefaultBand())));
}

TEST(DocBarcodes, EachExtendedBlockFollowsTheWholeGenericBlock)
{
    struct Case
    {
        int32_t code;
        Golden extension;
    };
    const Case cases[] = {
        {SymbologyCode128, Golden().u32(Code128SetA).u8(0)},
        {SymbologyEAN128, Golden().u32(Code128SetA).u8(0).flag(false)},
        {SymbologyEAN13, Golden().f32(1.0f).f32(1.6f).f32(0.6f).u32(0).u32(0).u32(0).u8(0).u8(0).u8(0)},
        {SymbologySCC14ITF, Golden().u8(1).u8(0)},
        {SymbologyPDF417, Golden().u32(3).u32(65001).u32(9).f32(14).u32(3).u32(0).u32(0).u32(3).f32(0).flag(false).u8(0)},
        {SymbologyQRCode, Golden().u32(2).u32(65001).u32(1).u32(0xFFFFFFFFu).u32(0).flag(true).f32(15)},
        {SymbologyDataMatrix, Golden().u32(0).u32(1).f32(15)},
    };
    for (const Case& c : cases) {
        auto settings = MakeSettings(c.code);
        // The generic fields some symbologies start with otherwise, back to the plain
        // defaults, so one golden generic part serves every code.
        settings->m_bAddCheckDigit = false;
        settings->m_fModuleWidth = 10.0f;
        settings->m_bandList.push_back(std::make_unique<CDataBand>());
        const QByteArray bytes = SettingsBytes(*settings);
        // Generic fields, the band list, and only then the symbology's own fields.
        const Golden expected = Golden().raw(GenericDefaults(c.code)).u32(1).raw(DefaultBand()).raw(c.extension);
        EXPECT_EQ(Hex(bytes), Hex(expected)) << c.code;
        // Reading it back into new settings of the same code gives the same bytes.
        auto read = MakeSettings(c.code);
        CArchiveReader ar(bytes);
        EXPECT_EQ(ar.ReadI32(), c.code);
        ReadBarcodeSettings(ar, *read);
        EXPECT_TRUE(ar.AtEnd());
        EXPECT_EQ(read->m_bandList.size(), 1u) << c.code;
        EXPECT_EQ(SettingsBytes(*read), bytes) << c.code;
    }

    // A Code 128 in set C with one band, written from the table: the set is read from
    // after the band list, not from the band count.
    Golden file;
    file.raw(GenericDefaults(SymbologyCode128)).u32(1).raw(DefaultBand()).u32(Code128SetC).u8(1);
    auto code128 = MakeSettings(SymbologyCode128);
    CArchiveReader ar(file);
    ar.ReadI32();
    ReadBarcodeSettings(ar, *code128);
    EXPECT_TRUE(ar.AtEnd());
    const auto& typed = dynamic_cast<const CBarcodeSettings_Code128&>(*code128);
    EXPECT_EQ(typed.m_nCodeSet, Code128SetC);
    EXPECT_EQ(typed.m_nCode128Option, 1);
    ASSERT_EQ(code128->m_bandList.size(), 1u);
}

TEST(DocBarcodes, AFreshBarcodeObjectIsSavedWholeAndReadsBack)
{
    // The state the constructor leaves: no implementation yet.
    CLabelData label;
    auto fresh = std::make_unique<CBarcodeGraph>();
    fresh->m_strName = "fresh";
    label.m_objects.push_back(std::move(fresh));
    label.m_objects.push_back(std::make_unique<CEllipseGraph>());
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    const QByteArray bytes = writer.DocumentBytes();
    // A complete record of the default symbology, then the next object.
    const QByteArray record = Golden().raw(GenericDefaults(SymbologyCode39)).u32(0).u32(KindEllipse);
    EXPECT_GT(bytes.indexOf(record), 0);

    CLabelData read;
    CDocReaderV1_0 reader;
    reader.m_pLabelData = &read;
    reader.ReadDocumentData(bytes);
    ASSERT_EQ(read.m_objects.size(), 2u);
    const auto& barcode = dynamic_cast<const CBarcodeGraph&>(*read.m_objects[0]);
    EXPECT_EQ(barcode.m_strName, "fresh");
    ASSERT_NE(barcode.GetImpl(), nullptr);
    EXPECT_EQ(barcode.GetImpl()->GetSettings()->m_nSymbology, SymbologyCode39);
    EXPECT_EQ(read.m_objects[1]->GetKind(), KindEllipse);
    EXPECT_TRUE(reader.GetWarnings().isEmpty());
}

TEST(DocBarcodes, EveryBuiltSymbologyRoundTripsAsAnObject)
{
    ObjectList objects;
    std::vector<int32_t> codes;
    for (const SymbologyInfo& row : GetSymbologyTable()) {
        if (!row.IsBuilt())
            continue;
        auto object = std::make_unique<CBarcodeGraph>();
        object->m_pBarcodeImpl = CreateBarcodeImpl(row.code);
        object->m_strName = QStringLiteral("bc%1").arg(row.code);
        object->m_fDrawScale = 3.0f;
        CBarcodeSettings& s = *object->m_pBarcodeImpl->GetSettings();
        s.m_strContent = "12345678901234567890";
        s.m_strFontName = "Arial";
        s.m_fModuleWidth = 12.5f;
        s.m_crBackground = 0x00FFFFFFu;
        s.m_bGrouping = true;
        s.m_strGroupRule = "3,4";
        s.m_nFontSpare = 0x7F;
        auto band = std::make_unique<CDataBand>();
        band->m_strValue = "123";
        s.m_bandList.push_back(std::move(band));
        codes.push_back(row.code);
        objects.push_back(std::move(object));
    }
    ASSERT_FALSE(objects.empty());
    const QByteArray bytes = ObjectListBytes(objects);
    QStringList warnings;
    const ObjectList read = ReadObjectListBytes(bytes, &warnings);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
    ASSERT_EQ(read.size(), objects.size());
    EXPECT_EQ(ObjectListBytes(read), bytes);
    for (size_t i = 0; i < read.size(); ++i) {
        const auto& barcode = dynamic_cast<const CBarcodeGraph&>(*read[i]);
        ASSERT_NE(barcode.GetImpl(), nullptr);
        const CBarcodeSettings& s = *barcode.GetImpl()->GetSettings();
        EXPECT_EQ(s.m_nSymbology, codes[i]);
        EXPECT_EQ(s.m_fModuleWidth, 12.5f);
        EXPECT_EQ(s.m_nFontSpare, 0x7F);
        ASSERT_EQ(s.m_bandList.size(), 1u);
        EXPECT_EQ(s.m_bandList[0]->m_strValue, "123");
        EXPECT_EQ(barcode.m_fDrawScale, 1.0f);
        // Bars were rebuilt from the stored content, not from the bands (the 2-D
        // symbologies keep modules of their own instead of bars).
        const bool twoD = codes[i] == SymbologyPDF417 || codes[i] == SymbologyQRCode || codes[i] == SymbologyDataMatrix;
        if (!twoD) {
            EXPECT_GT(barcode.GetImpl()->GetData()->GetBarCount(), 0) << codes[i];
        }
    }
}

TEST(DocBarcodes, ContentThatNoLongerEncodesKeepsTheObjectWithoutBars)
{
    ObjectList objects;
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_strName = "too long";
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyPDF417);
    barcode->m_pBarcodeImpl->GetSettings()->m_strContent = QString(5000, QChar(u'\x7F'));
    objects.push_back(std::move(barcode));
    objects.push_back(std::make_unique<CLineGraph>());
    QStringList warnings;
    const ObjectList read = ReadObjectListBytes(ObjectListBytes(objects), &warnings);
    ASSERT_EQ(read.size(), 2u);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith("too long: "));
    const auto& kept = dynamic_cast<const CBarcodeGraph&>(*read[0]);
    EXPECT_EQ(kept.GetImpl()->GetSettings()->m_strContent.size(), 5000);
    EXPECT_EQ(kept.GetImpl()->GetData()->GetBarCount(), 0);
}

TEST(DocBarcodes, UnknownSymbologyIsAnArchiveErrorAndNothingIsAppended)
{
    auto object = std::make_unique<CBarcodeGraph>();
    object->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    ObjectList objects;
    objects.push_back(std::make_unique<CEllipseGraph>());
    objects.push_back(std::move(object));
    QByteArray bytes = ObjectListBytes(objects);
    const QByteArray code = Golden().str("").u32(SymbologyCode128).bytes();
    const qsizetype at = bytes.lastIndexOf(code) + code.size() - 4;
    for (int32_t unknown : {int32_t(SymbologyLOGMARS), 999, -1}) {
        bytes.replace(at, 4, Golden().i32(unknown).bytes());
        ObjectList read;
        CDocReaderV1_0 reader;
        reader.m_pCurObjects = &read;
        CArchiveReader ar(bytes);
        EXPECT_THROW(ReadObjectList(ar, reader), CArchiveException) << unknown;
        EXPECT_EQ(read.size(), 1u); // the ellipse before it, not the barcode
    }
}

TEST(DocObjects, UnknownKindAndEveryTruncationThrowTheArchiveError)
{
    ObjectList objects;
    objects.push_back(std::make_unique<CLineGraph>());
    auto polygon = std::make_unique<CPolygonGraph>();
    polygon->m_points = {{1, 1}, {2, 2}};
    objects.push_back(std::move(polygon));
    auto image = std::make_unique<CImageGraph>();
    image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromBytes(Gif()));
    objects.push_back(std::move(image));
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(std::make_unique<CDataBand>());
    objects.push_back(std::move(barcode));
    const QByteArray bytes = ObjectListBytes(objects);
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        ObjectList read;
        CDocReaderV1_0 reader;
        reader.m_pCurObjects = &read;
        CArchiveReader ar(bytes.left(n));
        EXPECT_THROW(ReadObjectList(ar, reader), CArchiveException) << n;
    }
    for (uint32_t kind : {7u, 0xFFFFFFFFu}) {
        ObjectList read;
        CDocReaderV1_0 reader;
        reader.m_pCurObjects = &read;
        CArchiveReader ar(Golden().u32(1).u32(kind).raw(bytes.mid(8)));
        EXPECT_THROW(ReadObjectList(ar, reader), CArchiveException);
        EXPECT_TRUE(read.empty());
    }
}

TEST(DocLoader, ComponentReadAppendsToTheCallersListOnly)
{
    QTemporaryDir dir;
    ObjectList component;
    component.push_back(std::make_unique<CEllipseGraph>());
    component.push_back(std::make_unique<CLineGraph>());
    CDocWriterV1_0 writer;
    writer.m_strPath = dir.filePath("part.vmc");
    writer.m_pObjects = &component;
    writer.WriteObjects();
    QFile file(writer.m_strPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(Hex(bytes.left(Golden().header().bytes().size())), Hex(Golden().header()));
    EXPECT_EQ(Hex(bytes.mid(Golden().header().bytes().size())), Hex(ObjectListBytes(component)));

    CLabelData label;
    label.m_objects.push_back(std::make_unique<CRectangleGraph>());
    ObjectList target;
    target.push_back(std::make_unique<CPolygonGraph>());
    CDocLoader loader;
    loader.m_strPath = writer.m_strPath;
    loader.m_pLabelData = &label;
    loader.m_pObjects = &target;
    loader.LoadObjects();
    ASSERT_EQ(target.size(), 3u);
    EXPECT_EQ(target[0]->GetKind(), KindPolygon);
    EXPECT_EQ(target[1]->GetKind(), KindEllipse);
    EXPECT_EQ(target[2]->GetKind(), KindLine);
    EXPECT_EQ(label.m_objects.size(), 1u);
    EXPECT_TRUE(label.m_strFilePath.isEmpty());

    // A damaged component adds nothing.
    QFile damaged(dir.filePath("bad.vmc"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(bytes.left(bytes.size() - 3));
    damaged.close();
    loader.m_strPath = damaged.fileName();
    EXPECT_THROW(loader.LoadObjects(), CArchiveException);
    EXPECT_EQ(target.size(), 3u);
    // So does one with bytes after its last object.
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write(QByteArray(bytes + QByteArray(5, '\0')));
    damaged.close();
    EXPECT_THROW(loader.LoadObjects(), CArchiveException);
    EXPECT_EQ(target.size(), 3u);
}

// What is written comes from the object, never from its last drawing: a barcode not
// drawn yet is stored at its own place, evenly spread ring text at the step of its own
// characters; drawn first, each is written byte for byte the same.
TEST(DocObjects, WhatIsWrittenNeverDependsOnTheLastDrawing)
{
    ObjectList objects;
    auto barcode = std::make_unique<CBarcodeGraph>();
    barcode->m_pBarcodeImpl = CreateBarcodeImpl(SymbologyCode128);
    barcode->m_pBarcodeImpl->GetSettings()->m_strContent = "12345";
    EncodeToSymbolBox(*barcode);
    barcode->m_fX = 12.5f;
    barcode->m_fY = 7.25f;
    barcode->m_fAngle = 90.0f;
    barcode->m_nAnchor = 8;
    auto text = std::make_unique<CTextGraph>();
    text->m_nLayoutMode = CurvedText;
    text->m_strText = "ABCD";
    text->m_fX = 10;
    text->m_fY = 10;
    text->m_fWidth = text->m_fHeight = 40;
    text->m_fAngleStep = 15.0f; // what an earlier drawing of other words left
    objects.push_back(std::move(barcode));
    objects.push_back(std::move(text));

    const QByteArray bytes = ObjectListBytes(objects);
    const ObjectList read = ReadObjectListBytes(bytes);
    ASSERT_EQ(read.size(), 2u);
    const CBarcodeSettings& s = *dynamic_cast<const CBarcodeGraph&>(*read[0]).GetImpl()->GetSettings();
    EXPECT_EQ(s.m_fX, 12.5f);
    EXPECT_EQ(s.m_fY, 7.25f);
    EXPECT_EQ(s.m_fAngle, 90.0f);
    EXPECT_EQ(s.m_nAnchor, 8);
    EXPECT_EQ(dynamic_cast<const CTextGraph&>(*read[1]).m_fAngleStep, 90.0f);

    PaintCanvas(80, 60, 96, [&](QPainter& p) {
        for (const auto& object : objects)
            object->Draw(p);
    });
    EXPECT_EQ(ObjectListBytes(objects), bytes);
    // A text without characters keeps the step it has rather than dividing by none.
    auto& ring = static_cast<CTextGraph&>(*objects[1]);
    ring.m_strText.clear();
    ring.m_fAngleStep = 20.0f;
    PaintCanvas(80, 60, 96, [&](QPainter& p) { ring.Draw(p); });
    const ObjectList empty = ReadObjectListBytes(ObjectListBytes(objects));
    EXPECT_EQ(dynamic_cast<const CTextGraph&>(*empty[1]).m_fAngleStep, 20.0f);
}
