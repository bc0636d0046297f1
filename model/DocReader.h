#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "model/LabelData.h"
#include "platform/VXException.h"

class CArchiveReader;
class CBarcodeSettings;

// A file whose counts and sizes pass every check but that needs more memory than
// there is.
class CArchiveTooLargeException : public CArchiveException
{
public:
    using CArchiveException::CArchiveException;
};


// Base of the label and component file readers.
//
// A damaged file, a short one, one with bytes after its last record, or one holding
// a record kind this program does not know throws CArchiveException; a file that cannot be opened throws CFileException.
// No record is ever half-used: the object, band or item being read when the error
// comes is dropped. A document read that fails leaves the label record partly filled,
// and the caller discards it (every caller reads into a fresh record); a component
// read appends to the caller's list only when the whole file has been read.
class CDocReader
{
public:
    virtual ~CDocReader() = default;

    virtual void ReadDocument() {}
    virtual void ReadObjects() {}
    // The four header words, ignored.
    virtual void ReadHeader(CArchiveReader& ar);
    // One embedded picture record, kept as its original bytes; the MIME type of the
    // picture is found from the bytes, not from the stored type.
    virtual std::unique_ptr<ImageHolder> ReadImage(CArchiveReader& ar, const QString& mimeType);
    // Counts a picture read with the label that will be drawn as the placeholder.
    void CountUnreadPicture(const ImageHolder* image);

    // Problems that did not stop the read (a barcode whose content cannot be encoded
    // any more), one line each, for the caller to report once.
    const QStringList& GetWarnings() const { return m_warnings; }
    void AddWarning(const QString& text) { m_warnings.append(text); }

    // Numbers brought into range (model/LabelLimits.h), codes that name none of their
    // field's choices made one, and texts shortened (kMaxValueLength) while reading;
    // the end of a read adds one warning naming the file for each kind of change.
    int m_nNumbersBounded = 0;
    int m_nTextsShortened = 0;
    // Pictures that are no picture this program reads, or larger than it decodes.
    int m_nPicturesUnread = 0;

    QString m_strPath;
    CLabelData* m_pLabelData = nullptr; // not owned
    ObjectList* m_pObjects = nullptr;   // target of a component read; not owned
    ObjectList* m_pCurObjects = nullptr; // where the object section puts what it reads

protected:
    QStringList m_warnings;
};

// The reader of version "FV1.0".
class CDocReaderV1_0 : public CDocReader
{
public:
    // Reads the file at m_strPath into m_pLabelData and sets its file path.
    void ReadDocument() override;
    // Reads the component file at m_strPath and appends its objects to m_pObjects.
    void ReadObjects() override;

    // The same from bytes already in memory.
    void ReadDocumentData(const QByteArray& data);
    void ReadObjectsData(const QByteArray& data);
};

// Reads a whole file; CFileException when it cannot be opened or read.
QByteArray ReadFileBytes(const QString& path);

// Sections, in file order. Each reads into the reader's label record.
void ReadLabelSettings(CArchiveReader& ar, CDocReader& reader);
void ReadScreenDataForm(CArchiveReader& ar, CDocReader& reader);
void ReadExternalVariables(CArchiveReader& ar, CDocReader& reader);
void ReadDocumentBands(CArchiveReader& ar, CDocReader& reader);
void ReadScriptTexts(CArchiveReader& ar, CDocReader& reader);
// Appends to the reader's current object list.
void ReadObjectList(CArchiveReader& ar, CDocReader& reader);

// A band list (inside text and barcode records, and the named substrings); appends.
void ReadDataBandList(CArchiveReader& ar, DataBandList& bands);
// A barcode settings block after its symbology code, into settings made for that
// code: the generic fields and the band list, then the fields the symbology's
// table row adds.
void ReadBarcodeSettings(CArchiveReader& ar, CBarcodeSettings& settings);
