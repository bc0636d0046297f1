#pragma once

#include <QFileInfoList>
#include <QPoint>
#include <QSet>
#include <QString>

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
// The entries of a folder a library pane lists, and of each sub-folder in turn. A link
// to a folder is followed only when that folder is not listed yet in this scan: a link
// back to its own parent would otherwise be followed forever. Real folders are always
// listed; `listed` collects the folders seen so far.
QFileInfoList LibraryEntries(const QString& folder, QSet<QString>& listed);
bool ListSubFolder(const QFileInfo& folder, QSet<QString>& listed);
// Folders below the root show an open folder while expanded.
void FollowFolderIcons(QTreeWidget& tree, const QIcon& closed, const QIcon& open);
