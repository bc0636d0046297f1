// The golden files of the fuzz corpus double as stored-format fixtures: each must
// still read, and write back to exactly the same bytes.
#include "DocRoundTrip.h"
#include "TestSupport.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSymbology.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"
#include "platform/ImageHolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString kSeedDir = QStringLiteral(VC_TEST_DATA_DIR "/../fuzz/corpus/DocReaderFuzz");

// A label with something in every section and an object of every kind on main.
void FillFullLabel(CLabelData& label)
{
    label.m_strPrinterName = "Printer";
    label.m_nBackgroundSource = 1;
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(Qt::green);
    label.m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(picture));
    label.m_strImageMimeType = "image/png";

    auto combo = std::make_unique<CComboSDGraph>();
    combo->m_strName = "size";
    combo->m_entries = QStringList{"S", "M"};
    label.m_formItems.push_back(std::make_unique<CStaticSDGraph>());
    label.m_formItems.push_back(std::make_unique<CEditSDGraph>());
    label.m_formItems.push_back(std::move(combo));
    label.m_formItems.push_back(std::make_unique<CDateSDGraph>());
    auto variable = std::make_unique<CExternalVariable>();
    variable->m_strName = "var";
    label.m_externalVariables.push_back(std::move(variable));
    auto substring = std::make_unique<CDataBand>();
    substring->m_strName = "sub";
    substring->m_nKind = BandSerial;
    substring->m_nSerialStep = 2;
    label.m_namedSubstrings.push_back(std::move(substring));
    label.m_strScripts[20] = "reserved";

    auto text = std::make_unique<CTextGraph>();
    text->m_bands.push_back(std::make_unique<CDataBand>());
    label.m_objects.push_back(std::move(text));
    auto line = std::make_unique<CLineGraph>();
    line->m_fX2 = 10;
    label.m_objects.push_back(std::move(line));
    label.m_objects.push_back(std::make_unique<CRectangleGraph>());
    label.m_objects.push_back(std::make_unique<CEllipseGraph>());
    auto polygon = std::make_unique<CPolygonGraph>();
    polygon->m_points = {{0, 0}, {4, 0}, {2, 3}};
    label.m_objects.push_back(std::move(polygon));
    auto image = std::make_unique<CImageGraph>();
    image->m_pImage = std::make_unique<ImageHolder>(ImageHolder::FromImage(picture));
    image->m_strMimeType = "image/png";
    label.m_objects.push_back(std::move(image));
    for (const SymbologyInfo& row : GetSymbologyTable()) {
        if (!row.IsBuilt())
            continue;
        auto barcode = std::make_unique<CBarcodeGraph>();
        barcode->m_pBarcodeImpl = CreateBarcodeImpl(row.code);
        barcode->m_pBarcodeImpl->GetSettings()->m_bandList.push_back(std::make_unique<CDataBand>());
        label.m_objects.push_back(std::move(barcode));
    }
}

QByteArray ComponentBytes(const ObjectList& objects)
{
    CDocWriterV1_0 writer;
    writer.m_pObjects = &objects;
    return writer.ObjectsBytes();
}

} // namespace

TEST(DocSeeds, FullLabelRoundTripsEverySection)
{
    CLabelData label;
    FillFullLabel(label);
    auto& bands = dynamic_cast<CTextGraph&>(*label.m_objects[0]).m_bands;
    for (int32_t kind : {BandConstant, BandDate, BandTime, BandSerial, BandDatabase, BandWindowData, BandItemValue,
                         BandNamedSubstring}) {
        auto band = std::make_unique<CDataBand>();
        band->m_nKind = kind;
        band->m_strName = QStringLiteral("band%1").arg(kind);
        band->m_nSerialStep = kind + 1;
        bands.push_back(std::move(band));
    }
    for (int i = 0; i < kScriptTextCount; ++i)
        label.m_strScripts[i] = QStringLiteral("' script %1").arg(i);
    const QByteArray bytes = DocumentBytes(label);

    CLabelData read;
    CDocReaderV1_0 reader;
    reader.m_pLabelData = &read;
    reader.ReadDocumentData(bytes);
    EXPECT_TRUE(reader.GetWarnings().isEmpty());
    ASSERT_EQ(read.m_formItems.size(), label.m_formItems.size());
    for (size_t i = 0; i < read.m_formItems.size(); ++i)
        EXPECT_EQ(read.m_formItems[i]->GetKind(), label.m_formItems[i]->GetKind());
    EXPECT_EQ(read.m_externalVariables.size(), 1u);
    ASSERT_EQ(read.m_namedSubstrings.size(), 1u);
    EXPECT_EQ(read.m_namedSubstrings[0]->m_nSerialStep, 2);
    EXPECT_EQ(read.m_strScripts, label.m_strScripts);
    ASSERT_EQ(read.m_objects.size(), label.m_objects.size());
    for (size_t i = 0; i < read.m_objects.size(); ++i)
        EXPECT_EQ(read.m_objects[i]->GetKind(), label.m_objects[i]->GetKind());
    const auto& readBands = dynamic_cast<const CTextGraph&>(*read.m_objects[0]).m_bands;
    ASSERT_EQ(readBands.size(), bands.size());
    for (size_t i = 0; i < bands.size(); ++i) {
        EXPECT_TRUE(readBands[i]->IsEqual(*bands[i]));
        EXPECT_EQ(readBands[i]->m_strName, bands[i]->m_strName);
        EXPECT_EQ(readBands[i]->m_nSerialStep, bands[i]->m_nSerialStep);
    }
    ASSERT_NE(read.m_pImage, nullptr);
    EXPECT_EQ(read.m_pImage->Bytes(), label.m_pImage->Bytes());
    // Every stored field of every record, compared through its bytes.
    EXPECT_TRUE(DocumentBytes(read) == bytes);
}

// VC_WRITE_SEEDS=1 rewrites the files from the current writer.
TEST(DocSeeds, GoldenFilesReadAndWriteBackUnchanged)
{
    if (qEnvironmentVariableIsSet("VC_WRITE_SEEDS")) {
        QDir().mkpath(kSeedDir);
        CLabelData empty;
        CLabelData full;
        FillFullLabel(full);
        const std::pair<const char*, QByteArray> seeds[] = {
            {"empty.vmk", DocumentBytes(empty)},
            {"full.vmk", DocumentBytes(full)},
            {"component.vmc", ComponentBytes(full.m_objects)},
        };
        for (const auto& [name, bytes] : seeds) {
            QFile file(kSeedDir + u'/' + QLatin1String(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
    }
    const QStringList names = QDir(kSeedDir).entryList({"*.vmk", "*.vmc"}, QDir::Files);
    ASSERT_GE(names.size(), 3);
    for (const QString& name : names) {
        QFile file(kSeedDir + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        CDocReaderV1_0 reader;
        if (name.endsWith(".vmk")) {
            CLabelData label;
            reader.m_pLabelData = &label;
            reader.ReadDocumentData(bytes);
            EXPECT_TRUE(DocumentBytes(label) == bytes) << name.toStdString();
        } else {
            ObjectList objects;
            reader.m_pObjects = &objects;
            reader.ReadObjectsData(bytes);
            EXPECT_FALSE(objects.empty());
            EXPECT_TRUE(ComponentBytes(objects) == bytes) << name.toStdString();
        }
        EXPECT_TRUE(reader.GetWarnings().isEmpty());
    }
}
