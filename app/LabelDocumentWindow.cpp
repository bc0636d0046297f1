#include "app/LabelDocumentWindow.h"

#include "model/LabelData.h"

LabelDocumentWindow::LabelDocumentWindow(std::unique_ptr<CLabelData> label, QWidget* parent)
    : QWidget(parent), m_pLabelData(std::move(label))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The frame disables the commands that concern all label windows; any label
    // window enables them, so they are on exactly while one is active.
    for (int id : {CmdFileCloseAll, CmdFileSaveAll, CmdWindowCloseAll, CmdWindowMinimizeAll})
        OnUpdate(id, [](CommandUpdate& u) { u.Enable(); });
}

LabelDocumentWindow::~LabelDocumentWindow() = default;
