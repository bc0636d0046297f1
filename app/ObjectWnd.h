#pragma once

#include <QPoint>
#include <QPointer>
#include <QTreeWidget>
#include <QWidget>
#include <map>

class CBaseProxy;
class CChildFrame;
class CDataBand;
class CMainFrame;
class LabelDocumentWindow;
class QStackedWidget;

// What a node of the object pane stands for; its image follows from it.
enum ObjectTreeNodeKind : int {
    NodeDateGroup = 0,
    NodeTimeGroup = 1,
    NodeNamedSubstringGroup = 3,
    NodeNamedSubstring = 4,
    NodeWindowDataGroup = 5,
    NodeWindowDataField = 6,
    NodeDatabaseGroup = 9,
    NodeDataSource = 10,
    NodeDataField = 11,
    NodeObjectGroup = 12,
    NodeObject = 13,
    NodeBand = 14,
    NodePlaceholder = 100,
};

// Codes of the object pane's updates (sent with the label window concerned).
enum ObjectPaneUpdate : int {
    PaneWindowCreated = 0,
    PaneWindowActivated = 1,
    PaneWindowClosed = 2,
    PaneScreenDataChanged = 3,
    PaneNothing = 4,
    PaneNamedSubstringsChanged = 5,
    PaneDataSourcesChanged = 6,
    PaneObjectsChanged = 7,
};

// The tree of one label window: what the label's content can be bound to, and its
// texts and barcodes with their bands. Items carry their kind; an object's item
// holds its proxy only as a key that is checked against the canvas before use, and
// a band's item the band's index under its object, so no item ever points at
// something a property dialog or an undo may have freed.
class CObjectTreeCtrl : public QTreeWidget
{
    Q_OBJECT
public:
    CObjectTreeCtrl(CChildFrame& frame, QWidget* parent = nullptr);

    CChildFrame& Frame() const { return m_frame; }
    QTreeWidgetItem* Group(ObjectTreeNodeKind kind) const;
    static int Kind(const QTreeWidgetItem* item);

    void RebuildWindowData();
    void RebuildNamedSubstrings();
    void RebuildDatabase();
    // Follows the canvas's object list: renamed items take the new name, new objects
    // come last, removed ones go.
    void SyncObjects();

    // The canvas object an object or band item stands for; null when it is gone.
    CBaseProxy* ProxyOf(const QTreeWidgetItem* item) const;
    // The band a band item stands for; null when it is gone.
    CDataBand* BandOf(const QTreeWidgetItem* item) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, ObjectTreeNodeKind kind, const QString& text, int image);
    void ClearChildren(QTreeWidgetItem* group);
    void AddPlaceholder(QTreeWidgetItem* group);
    void SyncBands(QTreeWidgetItem* item, CBaseProxy& proxy);

    CChildFrame& m_frame;
    std::map<int, QTreeWidgetItem*> m_groups;
    bool m_bSyncing = false;
    // The drag of a date, time, window-data or field item onto the canvas.
    QPoint m_pressPoint;
    QTreeWidgetItem* m_pPressed = nullptr;
    bool m_bDragging = false;
};

// The docking pane "数据源": one tree per open label window, the active one shown.
class CObjectWnd : public QWidget
{
    Q_OBJECT
public:
    explicit CObjectWnd(CMainFrame& mainFrame, QWidget* parent = nullptr);

    void Update(LabelDocumentWindow* window, int code);
    // The tree of that window; null when it has none.
    CObjectTreeCtrl* Tree(const LabelDocumentWindow* window) const;
    CObjectTreeCtrl* ShownTree() const;

private:
    void ShowTree(const LabelDocumentWindow* window);

    CMainFrame& m_mainFrame;
    QStackedWidget* m_pStack;
    std::map<const LabelDocumentWindow*, QPointer<CObjectTreeCtrl>> m_trees;
};
