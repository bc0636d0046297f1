#include "app/Panes.h"

#include "app/MainFrame.h"
#include "app/ObjectWnd.h"

QWidget* CreatePaneWidget(int paneId, CMainFrame& frame, QWidget* parent)
{
    QWidget* pane = nullptr;
    switch (paneId) {
    case PaneObjects: pane = new CObjectWnd(frame, parent); break;
    default: pane = new QWidget(parent); break;
    }
    pane->setMinimumSize(250, 120);
    return pane;
}
