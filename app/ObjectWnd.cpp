#include "app/ObjectWnd.h"

#include "app/Ctl.h"
#include "app/MainFrame.h"
#include "app/Panes.h"
#include "app/ResourceIcons.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "editor/ChildFrame.h"
#include "editor/ChildView.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "model/Utils.h"
#include "platform/VisibleText.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kNodeKindRole = Qt::UserRole;
constexpr int kProxyRole = Qt::UserRole + 1;
constexpr int kIndexRole = Qt::UserRole + 2;
constexpr int kNameRole = Qt::UserRole + 3;

// A node's name as the label holds it, which the canvas is asked about; its row shows
// the name with control and format characters by their code.
QString NameOf(const QTreeWidgetItem* item)
{
    return item->data(0, kNameRole).toString();
}

void SetName(QTreeWidgetItem* item, const QString& name, bool keepLines = false)
{
    item->setData(0, kNameRole, name);
    item->setText(0, VisibleText(name, keepLines));
}

// Icon resources of the pane's image list, by image number.
constexpr int kImages[] = {352, 354, 352, 437, 436, 357, 404, 356, 403, 351, 358,
                           402, 394, 395, 400, 397, 399, 396, 398, 335, 401, 401};
constexpr int kImageBarcode = 13;
constexpr int kImageText = 14;
constexpr int kImageBand = 21;

QIcon Image(int image)
{
    return image >= 0 && image < int(std::size(kImages)) ? ResourceIcon(kImages[image]) : QIcon();
}

bool IsDraggable(int kind)
{
    return kind == NodeDateGroup || kind == NodeTimeGroup || kind == NodeWindowDataField || kind == NodeDataField;
}

} // namespace

// ---- CObjectTreeCtrl ----------------------------------------------------------------

CObjectTreeCtrl::CObjectTreeCtrl(CChildFrame& frame, QWidget* parent) : QTreeWidget(parent), m_frame(frame)
{
    setObjectName(CtlName(1196));
    setHeaderHidden(true);
    setColumnCount(1);
    setDragEnabled(false);
    setRootIsDecorated(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setStyleSheet(QStringLiteral("QTreeView::item { height: 18px; }"));
    const struct {
        ObjectTreeNodeKind kind;
        const char16_t* text;
        bool placeholder;
    } groups[] = {{NodeDateGroup, u"日期", false},
                  {NodeTimeGroup, u"时间", false},
                  {NodeWindowDataGroup, u"窗口数据", true},
                  {NodeNamedSubstringGroup, u"命名子串", true},
                  {NodeDatabaseGroup, u"数据库", true},
                  {NodeObjectGroup, u"标签对象", true}};
    for (const auto& g : groups) {
        QTreeWidgetItem* item = AddNode(nullptr, g.kind, QString::fromUtf16(g.text), g.kind);
        m_groups[g.kind] = item;
        if (g.placeholder)
            AddPlaceholder(item);
    }
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
}

QTreeWidgetItem* CObjectTreeCtrl::Group(ObjectTreeNodeKind kind) const
{
    const auto it = m_groups.find(kind);
    return it == m_groups.end() ? nullptr : it->second;
}

int CObjectTreeCtrl::Kind(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kNodeKindRole).toInt() : -1;
}

QTreeWidgetItem* CObjectTreeCtrl::AddNode(QTreeWidgetItem* parent, ObjectTreeNodeKind kind, const QString& text,
                                          int image)
{
    auto* item = new QTreeWidgetItem;
    SetName(item, text);
    item->setData(0, kNodeKindRole, int(kind));
    item->setIcon(0, Image(image));
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

void CObjectTreeCtrl::ClearChildren(QTreeWidgetItem* group)
{
    m_bSyncing = true;
    if (m_pPressed && m_pPressed != group)
        m_pPressed = nullptr;
    qDeleteAll(group->takeChildren());
    m_bSyncing = false;
}

void CObjectTreeCtrl::AddPlaceholder(QTreeWidgetItem* group)
{
    AddNode(group, NodePlaceholder, QStringLiteral("<未创建>"), -1);
    group->setExpanded(true);
}

void CObjectTreeCtrl::RebuildWindowData()
{
    QTreeWidgetItem* group = Group(NodeWindowDataGroup);
    ClearChildren(group);
    for (const auto& item : m_frame.LabelData().m_formItems)
        if (item && item->GetKind() != SDStaticText)
            AddNode(group, NodeWindowDataField, item->m_strName, 6);
    if (!group->childCount())
        AddPlaceholder(group);
}

void CObjectTreeCtrl::RebuildNamedSubstrings()
{
    QTreeWidgetItem* group = Group(NodeNamedSubstringGroup);
    ClearChildren(group);
    int index = 0;
    for (const auto& band : m_frame.LabelData().m_namedSubstrings) {
        QTreeWidgetItem* item = AddNode(group, NodeNamedSubstring, band->m_strName, 4);
        item->setData(0, kIndexRole, index++);
    }
    if (!group->childCount())
        AddPlaceholder(group);
}

void CObjectTreeCtrl::RebuildDatabase()
{
    QTreeWidgetItem* group = Group(NodeDatabaseGroup);
    ClearChildren(group);
    for (const auto& source : m_frame.LabelData().m_dataSources) {
        QTreeWidgetItem* item = AddNode(group, NodeDataSource, source->m_strName, 10);
        for (const QString& field : source->m_selectedFields)
            AddNode(item, NodeDataField, field, 11);
        item->setExpanded(true);
    }
    if (!group->childCount())
        AddPlaceholder(group);
}

void CObjectTreeCtrl::SyncObjects()
{
    QTreeWidgetItem* group = Group(NodeObjectGroup);
    CChildView& view = m_frame.View();
    m_bSyncing = true;
    if (group->childCount() == 1 && Kind(group->child(0)) == NodePlaceholder && !view.ObjectList().empty())
        delete group->takeChild(0);
    std::map<quintptr, QTreeWidgetItem*> items;
    for (int i = 0; i < group->childCount(); ++i)
        if (Kind(group->child(i)) == NodeObject)
            items[group->child(i)->data(0, kProxyRole).value<quintptr>()] = group->child(i);
    for (const auto& owned : view.ObjectList()) {
        CBaseProxy* proxy = owned.get();
        const CBaseGraph* object = proxy->GetObject();
        if (!object || (object->GetKind() != KindBarcode && object->GetKind() != KindText))
            continue;
        QTreeWidgetItem*& item = items[quintptr(proxy)];
        // A row shows the start of a long name: laying out all of it would hold the window.
        const QString name = ShortenedText(object->m_strName, kShownTextLength);
        if (!item) {
            item = AddNode(group, NodeObject, name, 0);
            item->setData(0, kProxyRole, quintptr(proxy));
        }
        // A proxy at an address an earlier object had: its item takes it over whole.
        if (NameOf(item) != name)
            SetName(item, name);
        item->setIcon(0, Image(object->GetKind() == KindBarcode ? kImageBarcode : kImageText));
        item->setData(0, kIndexRole, 1); // still there
        SyncBands(item, *proxy);
    }
    for (int i = group->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* item = group->child(i);
        if (Kind(item) != NodeObject)
            continue;
        if (item->data(0, kIndexRole).toInt() == 1 && view.HoldsObject(ProxyOf(item))) {
            item->setData(0, kIndexRole, 0);
            continue;
        }
        if (m_pPressed && (m_pPressed == item || m_pPressed->parent() == item))
            m_pPressed = nullptr;
        delete group->takeChild(i);
    }
    if (!group->childCount())
        AddPlaceholder(group);
    m_bSyncing = false;
}

void CObjectTreeCtrl::SyncBands(QTreeWidgetItem* item, CBaseProxy& proxy)
{
    const DataBandList* bands = ObjectBands(proxy.GetObject());
    const int count = bands ? int(bands->size()) : 0;
    while (item->childCount() > count)
        delete item->takeChild(item->childCount() - 1);
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* band = i < item->childCount() ? item->child(i) : AddNode(item, NodeBand, QString(), kImageBand);
        band->setData(0, kIndexRole, i);
        const QString text = ShortenedText((*bands)[i]->m_strValue, kShownTextLength);
        if (NameOf(band) != text)
            SetName(band, text, true); // a band's text may run over lines, shown as before
    }
    item->setExpanded(true);
}

CBaseProxy* CObjectTreeCtrl::ProxyOf(const QTreeWidgetItem* item) const
{
    if (Kind(item) == NodeBand)
        item = item->parent();
    if (Kind(item) != NodeObject)
        return nullptr;
    auto* proxy = reinterpret_cast<CBaseProxy*>(item->data(0, kProxyRole).value<quintptr>());
    return m_frame.View().HoldsObject(proxy) ? proxy : nullptr;
}

CDataBand* CObjectTreeCtrl::BandOf(const QTreeWidgetItem* item) const
{
    if (Kind(item) != NodeBand)
        return nullptr;
    CBaseProxy* proxy = ProxyOf(item);
    DataBandList* bands = proxy ? ObjectBands(proxy->GetObject()) : nullptr;
    const int index = item->data(0, kIndexRole).toInt();
    return bands && index >= 0 && index < int(bands->size()) ? (*bands)[index].get() : nullptr;
}

void CObjectTreeCtrl::OnCurrentItemChanged(QTreeWidgetItem* current)
{
    if (m_bSyncing || !current)
        return;
    CChildView& view = m_frame.View();
    switch (Kind(current)) {
    case NodeObject:
    case NodeBand:
        if (CBaseProxy* proxy = ProxyOf(current))
            view.SelectObject(proxy);
        break;
    case NodeDataField: view.SelectByDatabaseField(NameOf(current->parent()), NameOf(current)); break;
    case NodeNamedSubstring: view.SelectByNamedSubstring(NameOf(current)); break;
    case NodeWindowDataField: view.SelectByWindowDataField(NameOf(current)); break;
    case NodeTimeGroup: view.SelectByTimeBand(); break;
    case NodeDateGroup: view.SelectByDateBand(); break;
    default: break;
    }
}

void CObjectTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Acts on the selected item; the tree's own expanding does not run.
    event->accept();
    QTreeWidgetItem* item = currentItem();
    switch (Kind(item)) {
    case NodeObject:
    case NodeBand:
        // A band's item opens its object's dialog with that band chosen.
        m_frame.View().EditObjectProperties(ProxyOf(item), BandOf(item));
        break;
    case NodeNamedSubstringGroup:
    case NodeNamedSubstring: {
        CDataBand* select = nullptr;
        const auto& substrings = m_frame.LabelData().m_namedSubstrings;
        const int index = item->data(0, kIndexRole).toInt();
        if (Kind(item) == NodeNamedSubstring && index >= 0 && index < int(substrings.size()))
            select = substrings[index].get();
        m_frame.EditNamedSubstrings(select);
        break;
    }
    default: break;
    }
}

void CObjectTreeCtrl::mousePressEvent(QMouseEvent* event)
{
    QTreeWidget::mousePressEvent(event);
    m_pressPoint = event->position().toPoint();
    m_pPressed = nullptr;
    m_bDragging = false;
    if (event->button() != Qt::LeftButton)
        return;
    QTreeWidgetItem* item = itemAt(m_pressPoint);
    if (item && IsDraggable(Kind(item)))
        m_pPressed = item;
}

void CObjectTreeCtrl::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pPressed) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!m_bDragging) {
        if (!PaneDragStarted(m_pressPoint, point))
            return;
        m_bDragging = true;
    }
    TrackPaneDrag(*this, &m_frame.View(), viewport()->mapToGlobal(point));
}

void CObjectTreeCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidgetItem* pressed = m_pPressed;
    const bool dropped = m_bDragging;
    m_pPressed = nullptr;
    m_bDragging = false;
    if (!dropped) {
        QTreeWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint global = viewport()->mapToGlobal(event->position().toPoint());
    const bool overCanvas = TrackPaneDrag(*this, &m_frame.View(), global) == 1;
    viewport()->unsetCursor();
    if (!pressed || !overCanvas)
        return;
    CChildView& view = m_frame.View();
    switch (Kind(pressed)) {
    case NodeDataField: view.DropDatabaseField(NameOf(pressed->parent()), NameOf(pressed), global); break;
    case NodeWindowDataField: view.DropWindowDataField(NameOf(pressed), global); break;
    case NodeTimeGroup: view.DropTimeOrDate(false, global); break;
    case NodeDateGroup: view.DropTimeOrDate(true, global); break;
    default: break;
    }
}

// ---- CObjectWnd ---------------------------------------------------------------------

CObjectWnd::CObjectWnd(CMainFrame& mainFrame, QWidget* parent)
    : QWidget(parent), m_mainFrame(mainFrame), m_pStack(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("objectPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pStack);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    connect(&mainFrame, &CMainFrame::objectPaneUpdate, this, &CObjectWnd::Update);
    connect(mainFrame.MdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        if (sub)
            Update(qobject_cast<LabelDocumentWindow*>(sub->widget()), PaneWindowActivated);
    });
}

CObjectTreeCtrl* CObjectWnd::Tree(const LabelDocumentWindow* window) const
{
    const auto it = m_trees.find(window);
    return it == m_trees.end() ? nullptr : it->second.data();
}

CObjectTreeCtrl* CObjectWnd::ShownTree() const
{
    return qobject_cast<CObjectTreeCtrl*>(m_pStack->currentWidget());
}

void CObjectWnd::ShowTree(const LabelDocumentWindow* window)
{
    if (CObjectTreeCtrl* tree = Tree(window))
        m_pStack->setCurrentWidget(tree);
}

void CObjectWnd::Update(LabelDocumentWindow* window, int code)
{
    if (!window)
        return;
    if (code == PaneWindowCreated) {
        auto* frame = qobject_cast<CChildFrame*>(window);
        if (!frame || Tree(window))
            return;
        auto* tree = new CObjectTreeCtrl(*frame, m_pStack);
        m_trees[window] = tree;
        m_pStack->addWidget(tree);
        m_pStack->setCurrentWidget(tree);
        // The canvas tells of every change of its objects and of each change of
        // state (a property dialog's OK renames without adding or removing).
        const auto sync = [tree] { tree->SyncObjects(); };
        connect(&frame->View(), &CChildView::objectsChanged, tree, sync);
        connect(&frame->View(), &CChildView::stateChanged, tree, sync);
        // A window that goes without saying so takes its tree with it: the tree must
        // never outlive the canvas it speaks to.
        connect(window, &QObject::destroyed, this, [this, window] {
            if (CObjectTreeCtrl* gone = Tree(window)) {
                gone->blockSignals(true);
                delete gone;
            }
            m_trees.erase(window);
        });
        return;
    }
    CObjectTreeCtrl* tree = Tree(window);
    if (!tree)
        return;
    switch (code) {
    case PaneWindowActivated: ShowTree(window); break;
    case PaneWindowClosed:
        m_trees.erase(window);
        tree->blockSignals(true);
        delete tree;
        break;
    case PaneScreenDataChanged: tree->RebuildWindowData(); break;
    case PaneNamedSubstringsChanged: tree->RebuildNamedSubstrings(); break;
    case PaneDataSourcesChanged: tree->RebuildDatabase(); break;
    case PaneObjectsChanged: tree->SyncObjects(); break;
    default: break;
    }
}
