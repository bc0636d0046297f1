#include "output/ui/ExportCommands.h"

#include "app/UiServices.h"
#include "model/LabelData.h"
#include "output/Exporter.h"
#include "output/ui/ExportDlg.h"
#include "platform/VXException.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QProgressDialog>

namespace {

QString NothingSelected()
{
    return QStringLiteral("请选定要导出的图形对象");
}

void ReportOutcome(QWidget* parent, ExportResult result, const QString& error)
{
    if (result == ExportResult::Success)
        Services().ShowMessage(parent, QStringLiteral("导出成功!"), MessageIcon::Information);
    else if (result == ExportResult::FileError)
        Services().ShowMessage(parent, error, MessageIcon::Stop);
}

// The files written so far of all, with a Cancel button that ends the run after the
// file under way.
class CBatchExportProgress : public IExportFeedback
{
public:
    explicit CBatchExportProgress(QWidget* parent)
        : m_dialog(QStringLiteral("正在导出图片..."), QStringLiteral("取消"), 0, 100, parent)
    {
        m_dialog.setWindowTitle(QStringLiteral("批量导出图片"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }

    void Progress(qint64 done, qint64 total) override
    {
        m_dialog.setMaximum(int(std::min<qint64>(total, CBatchExportDlg::kMaxRow)));
        m_dialog.setValue(int(std::min<qint64>(done, CBatchExportDlg::kMaxRow)));
        m_dialog.setLabelText(QStringLiteral("正在导出图片 %1/%2").arg(done).arg(total));
        // Lets a click on Cancel through between files.
        QCoreApplication::processEvents();
    }
    bool IsCancelled() override { return m_dialog.wasCanceled(); }

private:
    QProgressDialog m_dialog;
};

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
    if (exporter.m_nDestination == CExporter::DestinationClipboard) {
        const QImage image = CExporter::RenderImage(selection, exporter.m_nDpi, exporter.m_nColourDepth);
        if (image.isNull()) {
            result = ExportResult::FileError;
            error = NothingSelected();
        } else {
            QGuiApplication::clipboard()->setImage(image);
        }
    } else {
        try {
            result = exporter.Export(selection, &error);
        } catch (const std::exception& e) {
            Services().ReportException(parent, e);
            return;
        }
    }
    ReportOutcome(parent, result, error);
}

void RunBatchExportCommand(CLabelData& label, const std::vector<CBaseGraph*>& selection, const CBaseGraph* current,
                           QWidget* parent)
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
    exporter.m_pLabelData = &label;
    QString error;
    ExportResult result = ExportResult::FileError;
    try {
        CBatchExportProgress progress(parent);
        result = exporter.Run(selection, current, &progress, &error);
    } catch (const std::exception& e) { // out of memory in a loader included
        Services().ReportException(parent, e);
        return;
    }
    ReportOutcome(parent, result, error);
}
