#pragma once

class CMainFrame;
class QWidget;

// The contents of a docking pane of the main frame (DockingPaneId).
QWidget* CreatePaneWidget(int paneId, CMainFrame& frame, QWidget* parent);
