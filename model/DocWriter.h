#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

#include "model/LabelData.h"

class CArchiveWriter;
class CBarcodeSettings;


// Base of the label and component file writers.
class CDocWriter
{
public:
    virtual ~CDocWriter() = default;

    virtual void WriteDocument() {}
    virtual void WriteObjects() {}
    virtual void WriteHeader(CArchiveWriter& ar);
    // One embedded picture record: its original bytes, so a picture keeps its format
    // even where this platform cannot encode that format.
    virtual void WriteImage(CArchiveWriter& ar, const ImageHolder& image, const QString& mimeType);
    // Index of the image writer for mimeType, -1 when there is none.
    virtual int GetEncoderClsid(const QString& mimeType) const;

    QString m_strPath;
    const CLabelData* m_pLabelData = nullptr;  // not owned
    const ObjectList* m_pObjects = nullptr;    // the objects of a component; not owned
    const ObjectList* m_pCurObjects = nullptr; // what the object section writes
};

// The writer of version "FV1.0". Saving goes through a temporary file that replaces
// the target only once it is complete, so a failed save leaves the old file intact;
// a file that cannot be created, written or replaced throws CFileException.
class CDocWriterV1_0 : public CDocWriter
{
public:
    void WriteDocument() override;
    void WriteObjects() override;

    // The bytes that WriteDocument and WriteObjects store.
    QByteArray DocumentBytes();
    QByteArray ObjectsBytes();

private:
    void WriteDocumentTo(CArchiveWriter& ar);
    void WriteObjectsTo(CArchiveWriter& ar);
};

// Sections, in file order. Each writes from the writer's label record.
void WriteLabelSettings(CArchiveWriter& ar, CDocWriter& writer);
void WriteScreenDataForm(CArchiveWriter& ar, CDocWriter& writer);
void WriteExternalVariables(CArchiveWriter& ar, CDocWriter& writer);
void WriteDocumentBands(CArchiveWriter& ar, CDocWriter& writer);
void WriteScriptTexts(CArchiveWriter& ar, CDocWriter& writer);
// Writes the writer's current object list.
void WriteObjectList(CArchiveWriter& ar, CDocWriter& writer);

void WriteDataBandList(CArchiveWriter& ar, const DataBandList& bands);
// A whole barcode settings block: symbology code, generic fields, band list, then
// the symbology's own fields.
void WriteBarcodeSettings(CArchiveWriter& ar, const CBarcodeSettings& settings);
