#pragma once

#include "app/Commands.h"
#include "model/LabelData.h"

#include <QPointer>
#include <QTreeWidget>
#include <memory>
#include <vector>

class CBaseGraph;
class CChildView;
class CMainFrame;
class LabelDocumentWindow;
class QAction;

// The folder a library pane keeps its files in: beside the program, or in the user's
// data folder for Vellumcraft when the program's folder cannot be written.
QString LibraryFolder(const QString& name);

// Whether a name typed for a folder or a component can be one entry of a folder:
// not empty, no separators, not "." or "..".
bool IsValidEntryName(const QString& name);

// "资源库": the component files (.vmc) under the Resources folder, in sub-folders.
// Components are saved from the canvas's selection, brought into the active label by
// "添加到标签" or by a drag onto its canvas, renamed and deleted. The folder is read
// once, when the pane is made; nothing on disk is ever replaced silently. While it
// has the focus, the delete command (its key included) deletes the selected entry.
class CResourceWnd : public QTreeWidget, public CommandTarget
{
    Q_OBJECT
public:
    // One folder or component; a component's objects are read once, when first used.
    struct CNodeData
    {
        int kind = 0; // -1 the Resources folder, 0 a folder, 1 a component
        QString displayName;
        QString fileName;
        CNodeData* parent = nullptr;
        std::vector<std::unique_ptr<CNodeData>> children;
        ObjectList objects;
        bool loaded = false;
    };

    CResourceWnd(CMainFrame& mainFrame, const QString& folder, QWidget* parent = nullptr);
    ~CResourceWnd() override;

    QString Folder() const { return m_strFolder; }
    CNodeData* NodeOf(const QTreeWidgetItem* item) const;
    // The path of a folder's node, with a trailing "/", or of a component's file.
    QString PathOf(const CNodeData& node) const;
    QTreeWidgetItem* RootItem() const { return topLevelItem(0); }
    QAction* Action(int commandId) const;
    // The commands' states follow the selection and the active label window.
    void UpdateActions();

    void NewFolder();
    void RenameSelected();
    void DeleteSelected();
    void AddSelectedToLabel();
    // Saves the objects as a new component in the selected folder (or the folder of
    // the selected component), then lets the user name it.
    void SaveAsComponent(const std::vector<const CBaseGraph*>& objects);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Scan();
    void Fill(QTreeWidgetItem* item, CNodeData& node);
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, CNodeData& node);
    // Makes the Resources folder (and the root record) when it is missing.
    bool EnsureRoot();
    // The folder item new entries go to: the selection's folder, else the root.
    QTreeWidgetItem* TargetFolder(bool rootWhenNone) const;
    void StartRename(QTreeWidgetItem* item);
    void OnItemChanged(QTreeWidgetItem* item);
    bool Load(CNodeData& node);
    CChildView* ActiveCanvas() const;
    void EndDrag(QPoint globalPos);

    CMainFrame& m_mainFrame;
    QString m_strFolder;
    std::unique_ptr<CNodeData> m_pRoot;
    std::vector<QAction*> m_actions;
    bool m_bUpdating = false;
    // The gesture: a press on a component may become a drag onto the canvas.
    QPoint m_downPoint;
    QTreeWidgetItem* m_pDragItem = nullptr;
    QTreeWidgetItem* m_pSelectedAtPress = nullptr;
    bool m_bDragging = false;
    QPointer<CChildView> m_pCanvas;
};
