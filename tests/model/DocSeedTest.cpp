// The golden files of the fuzz corpus double as stored-format fixtures: each must
// still read, and write back to exactly the same bytes.
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

QByteArray DocumentBytes(const CLabelData& label)
{
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    return writer.DocumentBytes();
}

QByteArray ComponentBytes(const ObjectList& objects)
{
    CDocWriterV1_0 writer;
    writer.m_pObjects = &objects;
    return writer.ObjectsBytes();
}

} // namespace

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
