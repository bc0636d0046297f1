#include "model/DocReader.h"

#include "model/BaseGraph.h"
#include "model/DataSourceSection.h"
#include "model/DocFormat.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/Utils.h"
#include "platform/Archive.h"
#include "platform/ImageHolder.h"
#include "platform/VXException.h"

#include <QFile>

namespace {

[[noreturn]] void ThrowUnknown(const char* what, int64_t code)
{
    throw CArchiveException(QStringLiteral("The file holds an unknown %1 (%2).").arg(QLatin1String(what)).arg(code));
}

CLabelData& Label(CDocReader& reader)
{
    Q_ASSERT(reader.m_pLabelData);
    return *reader.m_pLabelData;
}

} // namespace

QByteArray ReadFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CFileException(QStringLiteral("The file \"%1\" cannot be opened: %2").arg(path, file.errorString()));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw CFileException(QStringLiteral("The file \"%1\" cannot be read: %2").arg(path, file.errorString()));
    return data;
}

void CDocReader::ReadHeader(CArchiveReader& ar)
{
    for (int i = 0; i < 4; ++i)
        ar.ReadU32();
}

std::unique_ptr<ImageHolder> CDocReader::ReadImage(CArchiveReader& ar, const QString&)
{
    const uint32_t size = ar.ReadU32();
    if (size > static_cast<uint64_t>(ar.BytesLeft()))
        throw CArchiveException(QStringLiteral("The file ends early or is damaged."));
    return std::make_unique<ImageHolder>(ImageHolder::FromBytes(ar.ReadBytes(size)));
}

void CDocReaderV1_0::ReadDocument()
{
    ReadDocumentData(ReadFileBytes(m_strPath));
    Label(*this).m_strFilePath = m_strPath;
}

void CDocReaderV1_0::ReadObjects()
{
    ReadObjectsData(ReadFileBytes(m_strPath));
}

void CDocReaderV1_0::ReadDocumentData(const QByteArray& data)
{
    CLabelData& label = Label(*this);
    m_pCurObjects = &label.m_objects;
    CArchiveReader ar(data);
    ReadHeader(ar);
    ar.ReadString(); // the version, checked by the loader
    ReadLabelSettings(ar, *this);
    ReadScreenDataForm(ar, *this);
    ReadExternalVariables(ar, *this);
    ReadDocumentBands(ar, *this);
    ReadScriptTexts(ar, *this);
    ReadDataSources(ar, label);
    ReadObjectList(ar, *this);
}

void CDocReaderV1_0::ReadObjectsData(const QByteArray& data)
{
    Q_ASSERT(m_pObjects);
    // The caller's list gets the objects only when the whole file has been read.
    ObjectList read;
    m_pCurObjects = &read;
    CArchiveReader ar(data);
    ReadHeader(ar);
    ar.ReadString();
    ReadObjectList(ar, *this);
    m_pCurObjects = m_pObjects;
    for (auto& object : read)
        m_pObjects->push_back(std::move(object));
}

void ReadLabelSettings(CArchiveReader& ar, CDocReader& reader)
{
    CLabelData& label = Label(reader);
    FieldIn in(ar);
    TransferLabelSettingsHead(in, label);
    label.m_pImage.reset();
    if (ar.ReadBool()) {
        label.m_pImage = reader.ReadImage(ar, label.m_strImageMimeType);
    } else if (label.m_nBackgroundSource == 2 && FileExists(label.m_strImagePath)) {
        auto image = std::make_unique<ImageHolder>(ImageHolder::FromFile(label.m_strImagePath));
        if (!image->IsEmpty())
            label.m_pImage = std::move(image);
    }
    TransferLabelSettingsTail(in, label);
}

void ReadScreenDataForm(CArchiveReader& ar, CDocReader& reader)
{
    CLabelData& label = Label(reader);
    FieldIn in(ar);
    in(label.m_strFormCaption);
    in(label.m_nFormWidth);
    in(label.m_nFormHeight);
    // The kind and the common part take at least 45 bytes.
    const uint32_t count = ar.ReadCount(45);
    label.m_formItems.reserve(label.m_formItems.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t kind = ar.ReadI32();
        std::unique_ptr<CSDGraph> item = CreateSDGraph(kind);
        if (!item)
            ThrowUnknown("form item kind", kind);
        TransferSDItemFields(in, *item);
        if (auto* edit = dynamic_cast<CEditSDGraph*>(item.get())) {
            in(edit->m_bMultiLine);
        } else if (auto* combo = dynamic_cast<CComboSDGraph*>(item.get())) {
            in(combo->m_nListValue1);
            in(combo->m_nListValue2);
            const uint32_t entries = ar.ReadCount(kMinStringBytes);
            combo->m_entries.reserve(combo->m_entries.size() + entries);
            for (uint32_t e = 0; e < entries; ++e)
                combo->m_entries.append(ar.ReadString());
        } else if (auto* date = dynamic_cast<CDateSDGraph*>(item.get())) {
            in(date->m_strExtra);
        }
        label.m_formItems.push_back(std::move(item));
    }
}

void ReadExternalVariables(CArchiveReader& ar, CDocReader& reader)
{
    CLabelData& label = Label(reader);
    FieldIn in(ar);
    const uint32_t count = ar.ReadCount(3 * kMinStringBytes);
    label.m_externalVariables.reserve(label.m_externalVariables.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        auto variable = std::make_unique<CExternalVariable>();
        TransferExternalVariable(in, *variable);
        label.m_externalVariables.push_back(std::move(variable));
    }
}

void ReadDocumentBands(CArchiveReader& ar, CDocReader& reader)
{
    ReadDataBandList(ar, Label(reader).m_namedSubstrings);
}

void ReadScriptTexts(CArchiveReader& ar, CDocReader& reader)
{
    for (QString& text : Label(reader).m_strScripts)
        text = ar.ReadString();
}

// Until the object and band classes exist, only empty lists can be read.
void ReadObjectList(CArchiveReader& ar, CDocReader&)
{
    if (ar.ReadCount(4) != 0)
        throw CArchiveException(QStringLiteral("Objects cannot be read yet."));
}

void ReadDataBandList(CArchiveReader& ar, DataBandList&)
{
    if (ar.ReadCount(4) != 0)
        throw CArchiveException(QStringLiteral("Data bands cannot be read yet."));
}
