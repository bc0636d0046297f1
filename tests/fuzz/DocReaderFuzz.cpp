#include "model/BaseGraph.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "platform/ImageHolder.h"
#include "platform/VXException.h"

#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Any bytes either read or throw the archive error; nothing else may escape, and
// whatever was read writes back into a file that reads again.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

namespace {

// Pictures decode when first drawn: decode them as drawing would.
void DecodePictures(const CLabelData& label)
{
    if (label.m_pImage)
        (void)label.m_pImage->DisplayImage();
    for (const auto& object : label.m_objects)
        if (const auto* image = dynamic_cast<const CImageGraph*>(object.get()); image && image->m_pImage)
            (void)image->m_pImage->DisplayImage();
}

void CheckRewrite(const CLabelData& label)
{
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    CLabelData again;
    CDocReaderV1_0 reader;
    reader.m_pLabelData = &again;
    reader.ReadDocumentData(writer.DocumentBytes()); // must not throw
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        CLabelData label;
        CDocReaderV1_0 reader;
        reader.m_pLabelData = &label;
        reader.ReadDocumentData(bytes);
        DecodePictures(label);
        CheckRewrite(label);
    } catch (const CArchiveException&) {
    }
    try {
        ObjectList objects;
        CDocReaderV1_0 reader;
        reader.m_pObjects = &objects;
        reader.ReadObjectsData(bytes);
    } catch (const CArchiveException&) {
    }
    return 0;
}
