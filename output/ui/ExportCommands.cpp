#include "output/ui/ExportCommands.h"

#include "app/UiServices.h"
#include "model/BaseGraph.h"
#include "model/LabelData.h"
#include "output/Exporter.h"
#include "output/ui/ExportDlg.h"
#include "output/ui/JobProgress.h"
#include "output/ui/PrintCommands.h"
#include "platform/VXException.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

QString NothingSelected()
{
    return QStringLiteral("请选定要导出的图形对象");
}

QString ExportStepText()
{
    return QStringLiteral("正在导出图片 %1/%2");
}

void ReportOutcome(QWidget* parent, ExportResult result, const QString& error)
{
    if (result == ExportResult::Success)
        Services().ShowMessage(parent, QStringLiteral("导出成功!"), MessageIcon::Information);
    else if (result == ExportResult::FileError)
        Services().ShowMessage(parent, error, MessageIcon::Stop);
}

// The job's own copy of the label, holding copies of the selected objects only: the
// document may change or close while the job runs, and never sees its values.
struct SelectionCopy
{
    std::unique_ptr<CLabelData> label;
    std::vector<CBaseGraph*> objects;
    const CBaseGraph* current = nullptr;
};

SelectionCopy CopySelection(const CLabelData& label, const std::vector<CBaseGraph*>& selection,
                            const CBaseGraph* current)
{
    SelectionCopy copy;
    copy.label = CopyLabelData(label);
    copy.label->DeleteObjects();
    for (const CBaseGraph* object : selection) {
        std::unique_ptr<CBaseGraph> clone = object->Clone();
        if (!clone)
            continue;
        clone->m_pLabelData = copy.label.get();
        if (object == current)
            copy.current = clone.get();
        copy.objects.push_back(clone.get());
        copy.label->m_objects.push_back(std::move(clone));
    }
    return copy;
}

// Runs the command's dialog over the selection: false when nothing is selected (the
// user is told) or the dialog was cancelled.
bool AskExportChoices(CExportDlgBase& dialog, const CLabelData& label, const CBaseGraph* current, QWidget* parent)
{
    if (!current) {
        Services().ShowMessage(parent, NothingSelected(), MessageIcon::Information);
        return false;
    }
    dialog.m_strPrinterName = label.m_strPrinterName;
    return Services().RunModal(dialog) == QDialog::Accepted;
}

} // namespace

void RunExportCommand(const CLabelData& label, const std::vector<CBaseGraph*>& selection, const CBaseGraph* current,
                      QWidget* parent)
{
    CExportDlg dialog(parent);
    if (!AskExportChoices(dialog, label, current, parent))
        return;

    CExporter exporter;
    exporter.m_nDestination = dialog.m_nDestination;
    exporter.m_strFilePath = dialog.m_strFilePath;
    exporter.m_nColourDepth = dialog.m_nColourDepth;
    exporter.m_nResolutionMode = dialog.m_nResolutionMode;
    exporter.m_nDpi = dialog.m_nDpi;
    QString error;
    ExportResult result = ExportResult::Success;
    try {
        const SelectionCopy copy = CopySelection(label, selection, current);
        CJobProgress progress(QStringLiteral("导出图片"), ExportStepText(), parent);
        if (exporter.m_nDestination == CExporter::DestinationClipboard) {
            const QImage image = CExporter::RenderImage(copy.objects, exporter.m_nDpi, exporter.m_nColourDepth);
            if (image.isNull()) {
                result = ExportResult::FileError;
                error = NothingSelected();
            } else {
                QGuiApplication::clipboard()->setImage(image);
            }
        } else {
            result = exporter.Export(copy.objects, &error);
        }
        progress.Step(1, 1);
    } catch (const std::exception& e) { // out of memory included
        Services().ReportException(parent, e);
        return;
    }
    ReportOutcome(parent, result, error);
}

void RunBatchExportCommand(const CLabelData& label, const std::vector<CBaseGraph*>& selection,
                           const CBaseGraph* current, QWidget* parent)
{
    CBatchExportDlg dialog(parent);
    if (!AskExportChoices(dialog, label, current, parent))
        return;

    CBatchExporter exporter;
    exporter.m_strFolder = dialog.m_strFolder;
    exporter.m_strExtension = dialog.m_strExtension;
    exporter.m_strStartName = dialog.m_strStartName;
    exporter.m_bNameAfterObject = dialog.m_bNameAfterObject;
    exporter.m_nFromRow = dialog.m_nFromRow;
    exporter.m_nToRow = dialog.m_nToRow;
    exporter.m_nColourDepth = dialog.m_nColourDepth;
    exporter.m_nDpi = dialog.m_nDpi;
    QString error;
    ExportResult result = ExportResult::FileError;
    try {
        const SelectionCopy copy = CopySelection(label, selection, current);
        exporter.m_pLabelData = copy.label.get();
        CJobProgress progress(QStringLiteral("批量导出图片"), ExportStepText(), parent);
        result = exporter.Run(copy.objects, copy.current, &progress, &error);
    } catch (const std::exception& e) { // out of memory in a loader included
        Services().ReportException(parent, e);
        return;
    }
    ReportOutcome(parent, result, error);
}
