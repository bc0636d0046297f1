#include "output/ui/PrintCommands.h"

#include "app/UiServices.h"
#include "model/DocReader.h"
#include "model/DocWriter.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "output/ui/PrintDlg.h"
#include "output/ui/WindowDataInputDlg.h"
#include "platform/VXException.h"

std::unique_ptr<CLabelData> CopyLabelData(const CLabelData& label)
{
    CDocWriterV1_0 writer;
    writer.m_pLabelData = &label;
    const QByteArray bytes = writer.DocumentBytes();
    auto copy = std::make_unique<CLabelData>();
    CDocReaderV1_0 reader;
    reader.m_pLabelData = copy.get();
    reader.ReadDocumentData(bytes);
    // The job draws the pictures the document window decoded, and a picture that does
    // not decode is not tried, nor told, again.
    if (copy->m_pImage && label.m_pImage)
        copy->m_pImage->ShareDecoded(*label.m_pImage);
    for (size_t i = 0; i < copy->m_objects.size() && i < label.m_objects.size(); ++i) {
        auto* copied = dynamic_cast<CImageGraph*>(copy->m_objects[i].get());
        const auto* original = dynamic_cast<const CImageGraph*>(label.m_objects[i].get());
        if (copied && original && copied->m_pImage && original->m_pImage)
            copied->m_pImage->ShareDecoded(*original->m_pImage);
    }
    copy->m_strFilePath = label.m_strFilePath;
    copy->m_strTitle = label.m_strTitle;
    return copy;
}

void RunPrintDialog(const CLabelData& label, QWidget* parent)
{
    try {
        const std::unique_ptr<CLabelData> copy = CopyLabelData(label);
        CPrintDlg dialog(parent);
        CWindowDataPrompt prompt(&dialog);
        dialog.SetLabelData(copy.get());
        dialog.SetWindowDataPrompt(&prompt);
        dialog.CreatePrintHandler();
        Services().RunModal(dialog);
    } catch (const std::exception& e) { // out of memory in a script or a loader included
        Services().ReportException(parent, e);
    }
}
