#include "app/PlaceholderLabelWindow.h"

#include "app/UiServices.h"
#include "model/DocWriter.h"
#include "model/LabelData.h"
#include "platform/VXException.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

PlaceholderLabelWindow::PlaceholderLabelWindow(std::unique_ptr<CLabelData> label, QWidget* parent)
    : LabelDocumentWindow(std::move(label), parent), m_pName(new QLabel(this))
{
    m_pName->setAlignment(Qt::AlignCenter);
    m_pName->setObjectName(QStringLiteral("labelName"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pName);
    OnCommand(57603, [this] { SaveLabel(); });
    OnCommand(57602, [this] { close(); });
    UpdateTitle();
}

void PlaceholderLabelWindow::SetModified(bool modified)
{
    m_bModified = modified;
    UpdateTitle();
}

void PlaceholderLabelWindow::UpdateTitle()
{
    const QString name = m_pLabelData->m_strTitle;
    setWindowTitle(m_bModified ? name + QStringLiteral(" *") : name);
    m_pName->setText(name);
}

bool PlaceholderLabelWindow::SaveLabel()
{
    CLabelData& label = *m_pLabelData;
    if (label.m_strFilePath.isEmpty()) {
        const QString path = Services().GetSaveFileName(this, {}, label.m_strTitle,
                                                        QStringLiteral("Vellumcraft Files (*.vmk);;All Files (*.*)"));
        if (path.isEmpty())
            return false;
        label.m_strFilePath = path;
        label.m_strTitle = QFileInfo(path).fileName();
    }
    try {
        CDocWriterV1_0 writer;
        writer.m_strPath = label.m_strFilePath;
        writer.m_pLabelData = &label;
        writer.WriteDocument();
    } catch (const VXException& e) {
        Services().ReportException(this, e);
        return false;
    }
    SetModified(false);
    return true;
}

void PlaceholderLabelWindow::closeEvent(QCloseEvent* event)
{
    if (m_bModified) {
        const int answer = Services().ShowMessage(
            this, QStringLiteral("是否保存对标签文件 %1 的修改？").arg(m_pLabelData->m_strTitle), MessageIcon::Question,
            MessageButtons::YesNoCancel);
        if (answer == IDCANCEL) {
            event->ignore();
            return;
        }
        // A cancelled path still closes; a failed write keeps the window open.
        if (answer == IDYES && !SaveLabel() && !m_pLabelData->m_strFilePath.isEmpty()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}
