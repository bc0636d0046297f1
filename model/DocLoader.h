#pragma once

#include "model/DocReader.h"

#include <QString>
#include <memory>

class CLabelData;

// Opens a label or component file: checks the header and the version and hands the
// file to the reader of that version. Used on the stack. Its exceptions carry the
// text the user is shown (naming the file); the reader's own detail goes to the log.
class CDocLoader
{
public:
    // Reads the document at m_strPath into m_pLabelData. A version other than
    // "FV1.0" throws CArchiveException before anything is read into the record.
    void LoadDocument();
    // Reads the component at m_strPath and appends its objects to m_pObjects; the
    // label record is not touched.
    void LoadObjects();

    QString m_strPath;
    CLabelData* m_pLabelData = nullptr; // not owned
    ObjectList* m_pObjects = nullptr;   // not owned
    std::unique_ptr<CDocReader> m_pReader;

private:
    CDocReaderV1_0& OpenReader(QByteArray& data);
};

// Whether data starts with the header and a version string this program reads.
// CArchiveException when it does not.
void CheckDocumentVersion(const QByteArray& data);
