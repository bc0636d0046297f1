#include "app/Panes.h"

#include "app/MainFrame.h"
#include "app/ObjectWnd.h"
#include "app/ResourceIcons.h"
#include "app/ResourceWnd.h"
#include "app/TemplateWnd.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"

#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

namespace {

// "创建为资源" of every label window hands its selection to the library, shown.
void ConnectResourcePane(CMainFrame& frame, CResourceWnd* pane)
{
    QObject::connect(&frame, &CMainFrame::objectPaneUpdate, pane, [&frame, pane](LabelDocumentWindow* window, int code) {
        auto* child = qobject_cast<CChildFrame*>(window);
        if (code != PaneWindowCreated || !child)
            return;
        QObject::connect(&child->View(), &CChildView::saveAsComponent, pane,
                         [&frame, pane](const std::vector<const CBaseGraph*>& objects) {
                             frame.ShowPane(PaneResources);
                             pane->SaveAsComponent(objects);
                         });
    });
}

} // namespace

QWidget* CreatePaneWidget(int paneId, CMainFrame& frame, QWidget* parent)
{
    QWidget* pane = nullptr;
    switch (paneId) {
    case PaneObjects: pane = new CObjectWnd(frame, parent); break;
    case PaneResources: {
        auto* resources = new CResourceWnd(frame, LibraryFolder(QStringLiteral("Resources")), parent);
        ConnectResourcePane(frame, resources);
        pane = resources;
        break;
    }
    case PaneTemplates: {
        // The first start finds the label sheets the program comes with.
        const QString folder = LibraryFolder(QStringLiteral("Templates"));
        if (!QFileInfo::exists(folder))
            CTemplateWnd::WriteShippedTemplates(folder);
        pane = new CTemplateWnd(frame, folder, parent);
        break;
    }
    default: pane = new QWidget(parent); break;
    }
    pane->setMinimumSize(250, 120);
    return pane;
}

bool PaneDragStarted(QPoint press, QPoint point)
{
    return std::abs(point.x() - press.x()) >= 3 || std::abs(point.y() - press.y()) >= 3;
}

int TrackPaneDrag(QTreeWidget& tree, const QWidget* canvas, QPoint globalPos)
{
    int region = 2;
    if (QRect(tree.mapToGlobal(QPoint(0, 0)), tree.size()).contains(globalPos))
        region = 0;
    else if (canvas && canvas->isVisible() && QRect(canvas->mapToGlobal(QPoint(0, 0)), canvas->size()).contains(globalPos))
        region = 1;
    static constexpr int kCursors[] = {296, 297, 298};
    tree.viewport()->setCursor(ResourceCursor(kCursors[region]));
    return region;
}

QFileInfoList LibraryEntries(const QString& folder, QSet<QString>& listed)
{
    listed.insert(QFileInfo(folder).canonicalFilePath());
    return QDir(folder).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Unsorted);
}

bool ListSubFolder(const QFileInfo& folder, QSet<QString>& listed)
{
    const QString real = folder.canonicalFilePath();
    if (real.isEmpty())
        return false;
    const bool seen = listed.contains(real);
    listed.insert(real);
    return !folder.isSymLink() || !seen;
}

void FollowFolderIcons(QTreeWidget& tree, const QIcon& closed, const QIcon& open)
{
    QObject::connect(&tree, &QTreeWidget::itemExpanded, &tree, [open](QTreeWidgetItem* item) {
        if (item->parent())
            item->setIcon(0, open);
    });
    QObject::connect(&tree, &QTreeWidget::itemCollapsed, &tree, [closed](QTreeWidgetItem* item) {
        if (item->parent())
            item->setIcon(0, closed);
    });
}
