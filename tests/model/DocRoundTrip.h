#pragma once

// Whole-document writing and reading through the current archive version, shared by
// the model and interface tests; kept out of the common test support, which links no
// model library.

#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"

#include <QByteArray>

inline QByteArray DocumentBytes(const CLabelData& label)
{
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    return writer.DocumentBytes();
}

inline void ReadInto(CLabelData& label, const QByteArray& bytes)
{
    CDocReaderV1_0 reader;
    reader.m_pLabelData = &label;
    reader.ReadDocumentData(bytes);
}
