#include "model/DocWriter.h"

#include "barcode/BarcodeImpl.h"
#include "model/BarcodeGraph.h"
#include "model/DataSourceSection.h"
#include "model/DocFormat.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/Utils.h"
#include "platform/Archive.h"
#include "platform/ImageHolder.h"
#include "platform/VXException.h"

#include <QDir>
#include <QSaveFile>
#include <utility>

namespace {

const CLabelData& Label(const CDocWriter& writer)
{
    Q_ASSERT(writer.m_pLabelData);
    return *writer.m_pLabelData;
}

// An embedded picture is stored only when it is one the user gave: the placeholder
// shown in place of a missing picture never enters the file, so opening and saving
// an untouched label leaves it unchanged.
bool HasPictureBytes(const ImageHolder* image)
{
    return image && !image->IsPlaceholder() && !image->Bytes().isEmpty();
}

// The program's sentence names the file; the system's reason follows as the detail.
[[noreturn]] void ThrowFileFailure(const QString& sentence, const QString& path, const QString& reason)
{
    throw CFileException(sentence.arg(QDir::toNativeSeparators(path)) + QStringLiteral("\n详细信息：") + reason);
}

template <typename Fill> void SaveFile(const QString& path, Fill fill)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        ThrowFileFailure(QStringLiteral("无法创建文件“%1”。"), path, file.errorString());
    try {
        CArchiveWriter ar(&file);
        fill(ar);
        ar.Flush();
    } catch (const CFileException&) {
        ThrowFileFailure(QStringLiteral("无法写入文件“%1”。"), path, file.errorString());
    }
    if (!file.commit())
        ThrowFileFailure(QStringLiteral("无法写入文件“%1”。"), path, file.errorString());
}

} // namespace

void CDocWriter::WriteHeader(CArchiveWriter& ar)
{
    for (uint32_t word : {1u, 3u, 7u, 10u})
        ar.WriteU32(word);
}

void CDocWriter::WriteImage(CArchiveWriter& ar, const ImageHolder& image, const QString&)
{
    const QByteArray& bytes = image.Bytes();
    ar.WriteU32(static_cast<uint32_t>(bytes.size()));
    ar.WriteBytes(bytes);
}

int CDocWriter::GetEncoderClsid(const QString& mimeType) const { return ::GetEncoderClsid(mimeType); }

void CDocWriterV1_0::WriteDocument()
{
    SaveFile(m_strPath, [this](CArchiveWriter& ar) { WriteDocumentTo(ar); });
}

void CDocWriterV1_0::WriteObjects()
{
    SaveFile(m_strPath, [this](CArchiveWriter& ar) { WriteObjectsTo(ar); });
}

QByteArray CDocWriterV1_0::DocumentBytes()
{
    CArchiveWriter ar;
    WriteDocumentTo(ar);
    return ar.Data();
}

QByteArray CDocWriterV1_0::ObjectsBytes()
{
    CArchiveWriter ar;
    WriteObjectsTo(ar);
    return ar.Data();
}

void CDocWriterV1_0::WriteDocumentTo(CArchiveWriter& ar)
{
    m_pCurObjects = &Label(*this).m_objects;
    WriteHeader(ar);
    ar.WriteString(QStringLiteral("FV1.0"));
    WriteLabelSettings(ar, *this);
    WriteScreenDataForm(ar, *this);
    WriteExternalVariables(ar, *this);
    WriteDocumentBands(ar, *this);
    WriteScriptTexts(ar, *this);
    WriteDataSources(ar, Label(*this));
    WriteObjectList(ar, *this);
}

void CDocWriterV1_0::WriteObjectsTo(CArchiveWriter& ar)
{
    Q_ASSERT(m_pObjects);
    m_pCurObjects = m_pObjects;
    WriteHeader(ar);
    ar.WriteString(QStringLiteral("FV1.0"));
    WriteObjectList(ar, *this);
}

void WriteLabelSettings(CArchiveWriter& ar, CDocWriter& writer)
{
    const CLabelData& label = Label(writer);
    FieldOut out(ar);
    TransferLabelSettingsHead(out, label);
    const bool embedded = label.m_nBackgroundSource == 1 && HasPictureBytes(label.m_pImage.get());
    ar.WriteBool(embedded);
    if (embedded)
        writer.WriteImage(ar, *label.m_pImage, label.m_strImageMimeType);
    TransferLabelSettingsTail(out, label);
}

void WriteScreenDataForm(CArchiveWriter& ar, CDocWriter& writer)
{
    const CLabelData& label = Label(writer);
    FieldOut out(ar);
    out(label.m_strFormCaption);
    out(label.m_nFormWidth);
    out(label.m_nFormHeight);
    ar.WriteU32(static_cast<uint32_t>(label.m_formItems.size()));
    for (const auto& item : label.m_formItems) {
        out(item->m_nKind);
        TransferSDItemFields(out, *item);
        if (const auto* edit = dynamic_cast<const CEditSDGraph*>(item.get())) {
            out(edit->m_bMultiLine);
        } else if (const auto* combo = dynamic_cast<const CComboSDGraph*>(item.get())) {
            out(combo->m_nListValue1);
            out(combo->m_nListValue2);
            ar.WriteU32(static_cast<uint32_t>(combo->m_entries.size()));
            for (const QString& entry : combo->m_entries)
                ar.WriteString(entry);
        } else if (const auto* date = dynamic_cast<const CDateSDGraph*>(item.get())) {
            out(date->m_strExtra);
        }
    }
}

void WriteExternalVariables(CArchiveWriter& ar, CDocWriter& writer)
{
    const CLabelData& label = Label(writer);
    FieldOut out(ar);
    ar.WriteU32(static_cast<uint32_t>(label.m_externalVariables.size()));
    for (const auto& variable : label.m_externalVariables)
        TransferExternalVariable(out, *variable);
}

void WriteDocumentBands(CArchiveWriter& ar, CDocWriter& writer)
{
    WriteDataBandList(ar, Label(writer).m_namedSubstrings);
}

void WriteScriptTexts(CArchiveWriter& ar, CDocWriter& writer)
{
    for (const QString& text : Label(writer).m_strScripts)
        ar.WriteString(text);
}

void WriteDataBandList(CArchiveWriter& ar, const DataBandList& bands)
{
    FieldOut out(ar);
    ar.WriteU32(static_cast<uint32_t>(bands.size()));
    for (const auto& band : bands)
        TransferDataBand(out, std::as_const(*band));
}

void WriteBarcodeSettings(CArchiveWriter& ar, const CBarcodeSettings& settings)
{
    FieldOut out(ar);
    out(settings.m_nSymbology);
    TransferBarcodeSettings(out, settings);
    WriteDataBandList(ar, settings.m_bandList);
    TransferBarcodeBlockExtension(out, settings);
}

namespace {

void WriteObject(CArchiveWriter& ar, CDocWriter& writer, const CBaseGraph& object)
{
    FieldOut out(ar);
    out(object.m_nKind);
    TransferCommonObjectFields(out, object);
    if (const auto* barcode = dynamic_cast<const CBarcodeGraph*>(&object)) {
        // A barcode that never got its implementation is stored as a new barcode of
        // the default symbology: a record cut short would lose every object after it.
        const CBarcodeImpl* impl = barcode->GetImpl();
        barcode->SyncSettingsPlacement();
        if (impl && impl->GetSettings())
            WriteBarcodeSettings(ar, *impl->GetSettings());
        else
            WriteBarcodeSettings(ar, CBarcodeSettings());
    } else if (const auto* text = dynamic_cast<const CTextGraph*>(&object)) {
        text->UpdateAngleStep();
        TransferTextFields(out, *text);
        WriteDataBandList(ar, text->m_bands);
    } else if (const auto* line = dynamic_cast<const CLineGraph*>(&object)) {
        TransferLineFields(out, *line);
    } else if (const auto* rectangle = dynamic_cast<const CRectangleGraph*>(&object)) {
        out(rectangle->m_fCornerRadius);
        TransferFillBlock(out, *rectangle);
    } else if (const auto* polygon = dynamic_cast<const CPolygonGraph*>(&object)) {
        ar.WriteU32(static_cast<uint32_t>(polygon->m_points.size()));
        for (const QPointF& point : polygon->m_points) {
            ar.WriteF32(static_cast<float>(point.x()));
            ar.WriteF32(static_cast<float>(point.y()));
        }
        TransferFillBlock(out, *polygon);
    } else if (const auto* ellipse = dynamic_cast<const CEllipseGraph*>(&object)) {
        TransferFillBlock(out, *ellipse);
    } else if (const auto* image = dynamic_cast<const CImageGraph*>(&object)) {
        TransferImageFields(out, *image);
        const bool embedded = image->m_nSourceKind == ImageEmbedded && HasPictureBytes(image->m_pImage.get());
        ar.WriteBool(embedded);
        if (embedded)
            writer.WriteImage(ar, *image->m_pImage, image->m_strMimeType);
    }
}

} // namespace

void WriteObjectList(CArchiveWriter& ar, CDocWriter& writer)
{
    const ObjectList& objects = *writer.m_pCurObjects;
    ar.WriteU32(static_cast<uint32_t>(objects.size()));
    for (const auto& object : objects)
        WriteObject(ar, writer, *object);
}
