#include "model/DocLoader.h"

#include "model/BaseGraph.h"
#include "model/LabelData.h"
#include "platform/Archive.h"
#include "platform/VXException.h"

#include <QDir>
#include <QtGlobal>

namespace {

QString Shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The readers' own texts name the fault for the log; the user is told in the
// program's language which file could not be opened and why.
template <class Step> void ReadReporting(const QString& path, Step step)
{
    try {
        step();
    } catch (const CFileException&) {
        throw; // already the user's message, with the reason
    } catch (const CArchiveTooLargeException& e) {
        qWarning("%s: %s", qUtf8Printable(path), qUtf8Printable(e.GetMessage()));
        throw CArchiveException(QStringLiteral("文件“%1”太大，无法读入内存。").arg(Shown(path)));
    } catch (const CArchiveException& e) {
        qWarning("%s: %s", qUtf8Printable(path), qUtf8Printable(e.GetMessage()));
        throw CArchiveException(QStringLiteral("文件“%1”已损坏或不完整，无法打开。").arg(Shown(path)));
    }
}

} // namespace

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
    ReadReporting(m_strPath, [&] { data = ReadFileBytes(m_strPath); });
    try {
        CheckDocumentVersion(data);
    } catch (const CArchiveException& e) {
        qWarning("%s: %s", qUtf8Printable(m_strPath), qUtf8Printable(e.GetMessage()));
        throw CArchiveException(QStringLiteral("文件“%1”不是本程序能读取的标签文件。").arg(Shown(m_strPath)));
    }
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
    CDocReaderV1_0& reader = OpenReader(data);
    ReadReporting(m_strPath, [&] { reader.ReadDocumentData(data); });
    m_pLabelData->m_strFilePath = m_strPath;
}

void CDocLoader::LoadObjects()
{
    QByteArray data;
    CDocReaderV1_0& reader = OpenReader(data);
    ReadReporting(m_strPath, [&] { reader.ReadObjectsData(data); });
}
