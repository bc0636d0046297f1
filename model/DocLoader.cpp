#include "model/DocLoader.h"

#include "model/BaseGraph.h"
#include "model/LabelData.h"
#include "platform/Archive.h"
#include "platform/VXException.h"

void CheckDocumentVersion(const QByteArray& data)
{
    CArchiveReader ar(data);
    CDocReader().ReadHeader(ar);
    if (ar.ReadString() != QLatin1String("FV1.0"))
        throw CArchiveException(QStringLiteral("The file is not a label file of a version this program reads."));
}

// One read of the file serves both the version check and the reader.
CDocReaderV1_0& CDocLoader::OpenReader(QByteArray& data)
{
    data = ReadFileBytes(m_strPath);
    CheckDocumentVersion(data);
    auto reader = std::make_unique<CDocReaderV1_0>();
    CDocReaderV1_0& ref = *reader;
    reader->m_strPath = m_strPath;
    reader->m_pLabelData = m_pLabelData;
    reader->m_pObjects = m_pObjects;
    m_pReader = std::move(reader);
    return ref;
}

void CDocLoader::LoadDocument()
{
    QByteArray data;
    OpenReader(data).ReadDocumentData(data);
    m_pLabelData->m_strFilePath = m_strPath;
}

void CDocLoader::LoadObjects()
{
    QByteArray data;
    OpenReader(data).ReadObjectsData(data);
}
