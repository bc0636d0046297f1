#pragma once

#include <QPoint>

class CMainFrame;
class QIcon;
class QTreeWidget;
class QWidget;

// The contents of a docking pane of the main frame (DockingPaneId).
QWidget* CreatePaneWidget(int paneId, CMainFrame& frame, QWidget* parent);

// A press in a pane's tree becomes a drag once the cursor is 3 pixels away.
bool PaneDragStarted(QPoint press, QPoint point);
// Where a drag out of a pane's tree is (0 over the tree, 1 over the canvas, which may
// be null, 2 elsewhere); the tree's cursor says so.
int TrackPaneDrag(QTreeWidget& tree, const QWidget* canvas, QPoint globalPos);
// Folders below the root show an open folder while expanded.
void FollowFolderIcons(QTreeWidget& tree, const QIcon& closed, const QIcon& open);
