#include "app/ResourceWnd.h"

#include "app/CommandIds.h"
#include "app/Ctl.h"
#include "app/MainFrame.h"
#include "app/Panes.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "model/BaseGraph.h"
#include "model/DocLoader.h"
#include "model/DocWriter.h"
#include "model/Utils.h"
#include "platform/VXException.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QStandardPaths>
#include <algorithm>

namespace {

constexpr int kImageRoot = 0;
constexpr int kImageFolder = 1;
constexpr int kImageOpenFolder = 2;
constexpr int kImageComponent = 3;
constexpr int kResourceIcons[] = {343, 339, 340, 342};
const QString kExtension = QStringLiteral(".vmc");

QIcon ResourceImage(int image)
{
    return ResourceIcon(kResourceIcons[image]);
}

void AddResourceNodes(CResourceWnd::CNodeData& node, std::vector<LibraryEntry>& entries)
{
    node.children.reserve(entries.size());
    for (LibraryEntry& entry : entries) {
        auto child = std::make_unique<CResourceWnd::CNodeData>();
        child->kind = entry.folder ? 0 : 1;
        child->displayName = entry.folder ? entry.name : entry.name.chopped(4);
        child->fileName = std::move(entry.name);
        child->parent = &node;
        AddResourceNodes(*child, entry.entries);
        node.children.push_back(std::move(child));
    }
}

// The first "<stem>n" that no entry of the folder (of the kinds counted) nor any file
// on disk has yet.
QString FreeName(const CResourceWnd::CNodeData& folder, const QString& folderPath, const QString& stem,
                 bool foldersOnly, const QString& extension)
{
    for (int n = 1;; ++n) {
        const QString name = (stem + QString::number(n)).toUpper();
        const bool taken = std::any_of(folder.children.begin(), folder.children.end(), [&](const auto& child) {
            return (!foldersOnly || child->kind == 0) && child->displayName == name;
        });
        if (!taken && !QFileInfo::exists(folderPath + name + extension))
            return name;
    }
}

} // namespace

QString LibraryFolder(const QString& name)
{
    const QString beside = GetAppDirectory() + QLatin1Char('/') + name;
    const QFileInfo folder(beside);
    if (folder.exists() ? folder.isWritable() : QFileInfo(GetAppDirectory()).isWritable())
        return beside;
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/Vellumcraft/") + name;
    // A folder beside the program that cannot be written is still read when the user
    // has none of their own.
    return folder.isDir() && !QFileInfo::exists(user) ? beside : user;
}

bool IsValidEntryName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

CResourceWnd::CResourceWnd(CMainFrame& mainFrame, const QString& folder, QWidget* parent)
    : QTreeWidget(parent), m_mainFrame(mainFrame), m_strFolder(folder)
{
    setObjectName(CtlName(1197));
    setHeaderHidden(true);
    setColumnCount(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setStyleSheet(QStringLiteral("QTreeView::item { height: 18px; }"));
    for (const auto& [id, text] : {std::pair{CmdResourceNewFolder, u"新建文件夹"},
                                   {CmdResourceAddToLabel, u"添加到标签"},
                                   {CmdResourceRename, u"重命名"},
                                   {CmdResourceDelete, u"删除"}}) {
        auto* action = new QAction(QString::fromUtf16(text), this);
        action->setProperty("commandId", int(id));
        m_actions.push_back(action);
    }
    connect(Action(CmdResourceNewFolder), &QAction::triggered, this, &CResourceWnd::NewFolder);
    connect(Action(CmdResourceAddToLabel), &QAction::triggered, this, &CResourceWnd::AddSelectedToLabel);
    connect(Action(CmdResourceRename), &QAction::triggered, this, &CResourceWnd::RenameSelected);
    connect(Action(CmdResourceDelete), &QAction::triggered, this, &CResourceWnd::DeleteSelected);
    connect(this, &QTreeWidget::itemChanged, this, &CResourceWnd::OnItemChanged);
    connect(this, &QTreeWidget::currentItemChanged, &m_mainFrame.Commands(), &CommandManager::ScheduleUpdate);
    OnCommand(CmdEditDelete, [this] { DeleteSelected(); });
    OnUpdate(CmdEditDelete, [this](CommandUpdate& u) {
        UpdateActions();
        u.Enable(Action(CmdResourceDelete)->isEnabled());
    });
    FollowFolderIcons(*this, ResourceImage(kImageFolder), ResourceImage(kImageOpenFolder));

    Scan();
    m_bUpdating = true;
    auto* root = new QTreeWidgetItem(QStringList{QStringLiteral("资源库")});
    root->setIcon(0, ResourceImage(kImageRoot));
    addTopLevelItem(root);
    if (m_pRoot)
        Fill(root, *m_pRoot);
    root->setExpanded(true);
    m_bUpdating = false;
}

CResourceWnd::~CResourceWnd() = default;

QAction* CResourceWnd::Action(int commandId) const
{
    for (QAction* action : m_actions)
        if (action->property("commandId").toInt() == commandId)
            return action;
    return nullptr;
}

CResourceWnd::CNodeData* CResourceWnd::NodeOf(const QTreeWidgetItem* item) const
{
    return item ? reinterpret_cast<CNodeData*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

QString CResourceWnd::PathOf(const CNodeData& node) const
{
    QString path;
    for (const CNodeData* n = node.kind == 1 ? node.parent : &node; n && n->kind != -1; n = n->parent)
        path.prepend(n->displayName + QLatin1Char('/'));
    path.prepend(m_strFolder + QLatin1Char('/'));
    // A component's file keeps the extension it was found with: "a.VMC" is not "a.vmc".
    return node.kind == 1 ? path + node.fileName : path;
}

void CResourceWnd::Scan()
{
    if (!QFileInfo(m_strFolder).isDir())
        return;
    m_pRoot = std::make_unique<CNodeData>();
    m_pRoot->kind = -1;
    std::vector<LibraryEntry> entries = ReadLibraryFolder(m_strFolder, QLatin1String(".VMC"));
    AddResourceNodes(*m_pRoot, entries);
}

QTreeWidgetItem* CResourceWnd::AddItem(QTreeWidgetItem* parent, CNodeData& node)
{
    auto* item = new QTreeWidgetItem(QStringList{node.displayName});
    item->setIcon(0, ResourceImage(node.kind == 0 ? kImageFolder : kImageComponent));
    item->setData(0, Qt::UserRole, quintptr(&node));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    parent->addChild(item);
    return item;
}

void CResourceWnd::Fill(QTreeWidgetItem* item, CNodeData& node)
{
    item->setData(0, Qt::UserRole, quintptr(&node));
    for (const auto& child : node.children)
        Fill(AddItem(item, *child), *child);
}

bool CResourceWnd::EnsureRoot()
{
    if (m_pRoot)
        return true;
    if (!QDir().mkpath(m_strFolder)) {
        Services().ShowMessage(this, QStringLiteral("无法创建资源文件夹“%1”。").arg(m_strFolder), MessageIcon::Warning);
        return false;
    }
    m_pRoot = std::make_unique<CNodeData>();
    m_pRoot->kind = -1;
    RootItem()->setData(0, Qt::UserRole, quintptr(m_pRoot.get()));
    return true;
}

QTreeWidgetItem* CResourceWnd::TargetFolder(bool rootWhenNone) const
{
    QTreeWidgetItem* item = currentItem();
    if (!item)
        return rootWhenNone ? RootItem() : nullptr;
    const CNodeData* node = NodeOf(item);
    if (node && node->kind == 1)
        item = item->parent();
    return item;
}

void CResourceWnd::UpdateActions()
{
    QTreeWidgetItem* item = currentItem();
    const CNodeData* node = NodeOf(item);
    Action(CmdResourceNewFolder)->setEnabled(item != nullptr);
    Action(CmdResourceRename)->setEnabled(item && item != RootItem());
    Action(CmdResourceDelete)->setEnabled(item && item != RootItem());
    Action(CmdResourceAddToLabel)->setEnabled(node && node->kind == 1 && ActiveCanvas());
}

void CResourceWnd::contextMenuEvent(QContextMenuEvent* event)
{
    if (!currentItem())
        return;
    UpdateActions();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions({Action(CmdResourceNewFolder), Action(CmdResourceAddToLabel), Action(CmdResourceRename),
                      Action(CmdResourceDelete)});
    menu->popup(event->globalPos());
}

void CResourceWnd::NewFolder()
{
    QTreeWidgetItem* parentItem = TargetFolder(false);
    if (!parentItem || !EnsureRoot())
        return;
    CNodeData& parent = *NodeOf(parentItem);
    const QString folderPath = PathOf(parent);
    const QString name = FreeName(parent, folderPath, QStringLiteral("文件夹"), true, QString());
    if (!QDir().mkdir(folderPath + name)) {
        Services().ShowMessage(this, QStringLiteral("无法创建文件夹“%1”。").arg(folderPath + name),
                               MessageIcon::Warning);
        return;
    }
    auto node = std::make_unique<CNodeData>();
    node->kind = 0;
    node->displayName = node->fileName = name;
    node->parent = &parent;
    CNodeData& added = *node;
    parent.children.push_back(std::move(node));
    m_bUpdating = true;
    QTreeWidgetItem* item = AddItem(parentItem, added);
    parentItem->setExpanded(true);
    m_bUpdating = false;
    setCurrentItem(item);
    StartRename(item);
}

void CResourceWnd::SaveAsComponent(const std::vector<const CBaseGraph*>& objects)
{
    if (objects.empty() || !EnsureRoot())
        return;
    QTreeWidgetItem* targetItem = TargetFolder(true);
    CNodeData& target = *NodeOf(targetItem);
    const QString folderPath = PathOf(target);
    const QString name = FreeName(target, folderPath, QStringLiteral("组件"), false, kExtension);

    auto node = std::make_unique<CNodeData>();
    node->kind = 1;
    node->displayName = name;
    node->fileName = name + kExtension;
    for (const CBaseGraph* object : objects)
        if (std::unique_ptr<CBaseGraph> copy = object->Clone())
            node->objects.push_back(std::move(copy));
    node->loaded = true;
    try {
        CDocWriterV1_0 writer;
        writer.m_strPath = folderPath + node->fileName;
        writer.m_pObjects = &node->objects;
        writer.WriteObjects();
    } catch (const VXException& e) {
        Services().ReportException(this, e);
        return;
    }
    node->parent = &target;
    CNodeData& added = *node;
    target.children.push_back(std::move(node));
    m_bUpdating = true;
    QTreeWidgetItem* item = AddItem(targetItem, added);
    targetItem->setExpanded(true);
    m_bUpdating = false;
    setCurrentItem(item);
    StartRename(item);
}

void CResourceWnd::RenameSelected()
{
    if (currentItem() && currentItem() != RootItem())
        StartRename(currentItem());
}

void CResourceWnd::StartRename(QTreeWidgetItem* item)
{
    scrollToItem(item);
    editItem(item, 0);
}

void CResourceWnd::OnItemChanged(QTreeWidgetItem* item)
{
    CNodeData* node = NodeOf(item);
    if (m_bUpdating || !node || node->kind == -1)
        return;
    const QString name = item->text(0);
    if (name == node->displayName)
        return;
    const auto restore = [&] {
        m_bUpdating = true;
        item->setText(0, node->displayName);
        m_bUpdating = false;
    };
    if (!IsValidEntryName(name)) {
        restore();
        return;
    }
    const QString from = PathOf(*node);
    const QString folder = PathOf(*node->parent);
    const QString to = folder + name + (node->kind == 1 ? kExtension : QString());
    const QString oldPath = node->kind == 1 ? from : from.chopped(1);
    // Renaming onto an existing entry would replace it without a word.
    if (QFileInfo::exists(to) && QFileInfo(to).canonicalFilePath() != QFileInfo(oldPath).canonicalFilePath()) {
        Services().ShowMessage(this, QStringLiteral("已有同名的资源“%1”。").arg(to), MessageIcon::Warning);
        restore();
        return;
    }
    if (!QDir().rename(oldPath, to)) {
        Services().ShowMessage(this, QStringLiteral("无法重命名资源“%1”。").arg(oldPath), MessageIcon::Warning);
        restore();
        return;
    }
    node->displayName = name;
    node->fileName = name + (node->kind == 1 ? kExtension : QString());
}

void CResourceWnd::DeleteSelected()
{
    QTreeWidgetItem* item = currentItem();
    CNodeData* node = NodeOf(item);
    if (!item || item == RootItem() || !node)
        return;
    if (Services().ShowMessage(this, QStringLiteral("您确定删除这项资源吗？"), MessageIcon::Question,
                               MessageButtons::YesNo) != IDYES)
        return;
    const QString path = PathOf(*node);
    const QString entry = node->kind == 1 ? path : path.chopped(1);
    // A folder that is a link goes as a link: what it leads to is not the library's.
    const bool removed = node->kind == 1 || QFileInfo(entry).isSymLink() ? QFile::remove(entry)
                                                                         : QDir(path).removeRecursively();
    if (!removed && QFileInfo::exists(entry)) {
        Services().ShowMessage(this, QStringLiteral("无法删除资源“%1”。").arg(path), MessageIcon::Warning);
        return;
    }
    CNodeData* parent = node->parent;
    delete item;
    auto& siblings = parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](const auto& c) { return c.get() == node; }));
}

bool CResourceWnd::Load(CNodeData& node)
{
    if (node.loaded)
        return true;
    try {
        ObjectList objects;
        CDocLoader loader;
        loader.m_strPath = PathOf(node);
        loader.m_pObjects = &objects;
        loader.LoadObjects();
        node.objects = std::move(objects);
        if (const QStringList& warnings = loader.m_pReader->GetWarnings(); !warnings.isEmpty())
            Services().ShowMessage(this, warnings.join(QLatin1Char('\n')), MessageIcon::Warning);
    } catch (const VXException& e) {
        Services().ReportException(this, e);
        return false;
    }
    node.loaded = true;
    return true;
}

CChildView* CResourceWnd::ActiveCanvas() const
{
    auto* window = qobject_cast<CChildFrame*>(m_mainFrame.ActiveLabelWindow());
    return window ? &window->View() : nullptr;
}

void CResourceWnd::AddSelectedToLabel()
{
    CNodeData* node = NodeOf(currentItem());
    CChildView* canvas = ActiveCanvas();
    if (!node || node->kind != 1 || !canvas || !Load(*node))
        return;
    canvas->AddResourceObjects(node->objects);
}

// ---- The drag of a component onto the canvas ----------------------------------------

void CResourceWnd::mousePressEvent(QMouseEvent* event)
{
    m_pSelectedAtPress = currentItem();
    QTreeWidget::mousePressEvent(event);
    m_downPoint = event->position().toPoint();
    m_pDragItem = nullptr;
    m_bDragging = false;
    QTreeWidgetItem* item = itemAt(m_downPoint);
    const CNodeData* node = NodeOf(item);
    if (event->button() == Qt::LeftButton && node && node->kind == 1)
        m_pDragItem = item;
}

void CResourceWnd::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pDragItem) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!m_bDragging) {
        if (!PaneDragStarted(m_downPoint, point))
            return;
        m_bDragging = true;
        m_pCanvas = ActiveCanvas();
        if (m_pCanvas) {
            CNodeData* node = NodeOf(m_pDragItem);
            if (Load(*node))
                m_pCanvas->BeginResourceDrag(node->objects);
            else
                m_pCanvas = nullptr;
        }
    }
    const QPoint global = viewport()->mapToGlobal(point);
    const int hover = TrackPaneDrag(*this, m_pCanvas, global);
    if (m_pCanvas)
        m_pCanvas->TrackResourceDrag(global, hover == 1);
}

void CResourceWnd::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (m_bDragging) {
        EndDrag(viewport()->mapToGlobal(point));
    } else {
        QTreeWidget::mouseReleaseEvent(event);
        // A second click on the selected entry names it anew.
        QTreeWidgetItem* item = itemAt(point);
        if (event->button() == Qt::LeftButton && item && item == m_pSelectedAtPress && item != RootItem())
            StartRename(item);
    }
    m_pDragItem = nullptr;
    m_bDragging = false;
    viewport()->unsetCursor();
}

void CResourceWnd::EndDrag(QPoint globalPos)
{
    if (!m_pCanvas)
        return;
    if (TrackPaneDrag(*this, m_pCanvas, globalPos) == 1) {
        m_pCanvas->TrackResourceDrag(globalPos, true);
        m_pCanvas->EndResourceDrag();
    } else {
        m_pCanvas->CancelResourceDrag();
    }
    m_pCanvas = nullptr;
}
