#include "app/Panes.h"

#include "app/MainFrame.h"
#include "app/ObjectWnd.h"
#include "app/ResourceIcons.h"
#include "app/ResourceWnd.h"
#include "app/TemplateWnd.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"

#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>
#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

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

// A folder as the file system knows it, whatever path led to it.
using LibraryFolderId = std::pair<dev_t, ino_t>;

// One entry of a folder as read from disk, links followed.
struct LibraryDiskEntry
{
    QByteArray name;
    bool folder = false; // else a regular file
    bool link = false;
    LibraryFolderId id{};
};

// `name` inside `folder`, one separator between them (a QString or a native path).
template <class Path>
Path LibraryPath(const Path& folder, const Path& name)
{
    Path path = folder;
    if (!path.endsWith('/'))
        path += '/';
    return path + name;
}

// The folders and regular files of one folder in the order the file system gives them
// (what QDir lists as Dirs | Files | Hidden). Each is looked up beside the open folder,
// not by its whole path; the folder is closed before any below it is opened, so a walk
// a thousand deep holds one descriptor at a time.
std::vector<LibraryDiskEntry> ReadLibraryDiskFolder(const QByteArray& path)
{
    std::vector<LibraryDiskEntry> found;
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return found;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        // Opened later by its whole path, which the system refuses from PATH_MAX on;
        // this also bounds how deep the walk goes.
        if (path.size() + 1 + qsizetype(std::strlen(name)) >= PATH_MAX)
            continue;
        // The type the folder gives spares a look-up for each plain file. Broken links,
        // devices, pipes and sockets are not listed.
        struct stat info {};
        if (entry->d_type != DT_REG &&
            (::fstatat(fd, name, &info, 0) != 0 || !(S_ISDIR(info.st_mode) || S_ISREG(info.st_mode))))
            continue;
        LibraryDiskEntry& added = found.emplace_back();
        added.name = name;
        added.folder = entry->d_type != DT_REG && S_ISDIR(info.st_mode);
        added.id = {info.st_dev, info.st_ino};
        struct stat own {};
        added.link = entry->d_type == DT_LNK ||
                     (entry->d_type == DT_UNKNOWN && ::fstatat(fd, name, &own, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(own.st_mode));
    }
    ::closedir(dir);
    return found;
}

struct LibraryWalk
{
    QLatin1String extension;
    std::set<LibraryFolderId> listed;

    void Read(const QString& path, const QByteArray& native, std::vector<LibraryEntry>& entries)
    {
        for (const LibraryDiskEntry& found : ReadLibraryDiskFolder(native)) {
            LibraryEntry entry;
            entry.name = QFile::decodeName(found.name);
            if (found.folder) {
                // A link is followed only to a folder not listed yet; a real folder is
                // always listed.
                if (!listed.insert(found.id).second && found.link)
                    continue;
                entry.folder = true;
                entry.path = LibraryPath(path, entry.name);
                Read(entry.path, LibraryPath(native, found.name), entry.entries);
            } else if (entry.name.right(4).toUpper() == extension) {
                entry.path = LibraryPath(path, entry.name);
            } else {
                continue;
            }
            entries.push_back(std::move(entry));
        }
        // Sorted once: a folder of many thousand files would take minutes placed one by one.
        std::sort(entries.begin(), entries.end(), [](const LibraryEntry& a, const LibraryEntry& b) {
            return a.folder != b.folder ? a.folder : a.name < b.name;
        });
    }
};

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

std::vector<LibraryEntry> ReadLibraryFolder(const QString& folder, QLatin1String extension)
{
    LibraryWalk walk{extension, {}};
    const QByteArray native = QFile::encodeName(folder);
    struct stat info {};
    if (::stat(native.constData(), &info) == 0)
        walk.listed.insert({info.st_dev, info.st_ino});
    std::vector<LibraryEntry> entries;
    walk.Read(folder, native, entries);
    return entries;
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
