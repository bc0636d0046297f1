#pragma once

#include <QPoint>
#include <QString>
#include <vector>

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
// One entry of a library pane's folder: a folder, with its own entries, or a file.
struct LibraryEntry
{
    QString name;
    QString path;
    bool folder = false;
    std::vector<LibraryEntry> entries; // folders first, then files, each by name code unit by code unit
};
// The folders under a library pane's folder and the files whose names end in
// `extension` (compared in upper case). A link to a folder is followed only when that
// folder is not listed yet in this walk: a link back to a folder above would otherwise
// be followed forever. Real folders are always listed. Folders are known by device and
// inode, so no path is resolved again on the way down; an entry whose path is too long
// to be opened is left out.
std::vector<LibraryEntry> ReadLibraryFolder(const QString& folder, QLatin1String extension);
// Folders below the root show an open folder while expanded.
void FollowFolderIcons(QTreeWidget& tree, const QIcon& closed, const QIcon& open);
