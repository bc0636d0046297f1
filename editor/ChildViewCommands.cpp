// The canvas's own commands: the tools, undo and redo, deleting, choosing objects
// and their properties; and the step that ends whatever is pending before a command
// or a reader of the whole label runs.
#include "editor/ChildView.h"

#include "app/ResourceIcons.h"
#include "editor/ObjectKinds.h"
#include "model/BaseGraph.h"

#include <QLineEdit>
#include <QTimer>
#include <algorithm>

namespace {

// The cursor a tool shows over the canvas.
QCursor ToolCursor(int tool)
{
    switch (tool) {
    case ToolSelect:
    case ToolRotate: return QCursor(Qt::ArrowCursor);
    case ToolEditData: return ResourceCursor(202);
    default: {
        const ObjectKindInfo* info = FindCreationTool(tool);
        return info ? ResourceCursor(info->cursor) : QCursor(Qt::CrossCursor);
    }
    }
}

} // namespace

void CChildView::RegisterCommands()
{
    OnCommandRange(CmdToolSelect, CmdToolLast, [this](int id) { SelectTool(id); });
    OnUpdateRange(CmdToolSelect, CmdToolLast, [this](CommandUpdate& u) { u.SetCheck(EditStatus().m_nTool == u.id); });

    OnCommand(CmdEditUndo, [this] { m_undo.Undo(); });
    OnUpdate(CmdEditUndo, [this](CommandUpdate& u) { u.Enable(m_undo.CanUndo()); });
    OnCommand(CmdEditRedo, [this] { m_undo.Redo(); });
    OnUpdate(CmdEditRedo, [this](CommandUpdate& u) { u.Enable(m_undo.CanRedo()); });
    OnCommand(CmdEditDelete, [this] { DeleteSelection(); });
    OnUpdate(CmdEditDelete, [this](CommandUpdate& u) { u.Enable(m_pCurrent != nullptr); });

    OnCommand(CmdEditSelectAll, [this] { SelectAll(); });
    OnCommand(CmdEditInvertSelection, [this] { InvertSelection(); });
    for (const ObjectKindInfo& info : ObjectKinds())
        OnCommand(info.selectCommand, [this, kind = info.kind] { SelectByKind(kind); });

    // The drop menu's cancel: the drag already ended, nothing moved.
    OnCommand(CmdDragCancel, [] {});

    // The object the context menu opened on, else the current one.
    OnCommand(CmdProperties, [this] { OpenPropertyDialog(m_pContextObject ? m_pContextObject : m_pCurrent); });
    OnUpdate(CmdProperties, [this](CommandUpdate& u) { u.Enable(m_pContextObject || m_pCurrent); });

    RegisterArrangeCommands();
    RegisterPaneCommands();
    RegisterClipboardCommands();
}

bool CChildView::HandleCommand(int id)
{
    if (!HasHandler(id))
        return false;
    CommitPendingEdits();
    const bool handled = CommandTarget::HandleCommand(id);
    AnnounceState();
    return handled;
}

void CChildView::SelectTool(int tool)
{
    CEditStatus& status = EditStatus();
    status.m_nTool = tool;
    QCursor cursor = ToolCursor(tool);
    if ((tool == ToolSelect || tool == ToolRotate) && GroupRotation())
        UpdateRotationCentre();
    // Choosing any tool while a polygon is being drawn abandons the polygon.
    if (status.m_bPolygon) {
        status.m_bCreating = false;
        status.m_bPolygon = false;
        status.m_polygonPoints.clear();
        status.m_nTool = ToolSelect;
        cursor = QCursor(Qt::ArrowCursor);
    }
    setCursor(cursor);
    Redraw();
    AnnounceState();
}

void CChildView::SetCurrentObject(CBaseProxy* proxy)
{
    m_pCurrent = proxy;
    AnnounceState();
}

void CChildView::SelectWhere(const std::function<bool(const CBaseProxy&)>& pick)
{
    ProxySelection picked;
    for (const auto& proxy : m_objects)
        if (pick(*proxy))
            picked.push_back(proxy.get());
    m_selection = std::move(picked);
    m_pCurrent = m_selection.empty() ? nullptr : m_selection.back();
    if (GroupRotation())
        UpdateRotationCentre();
    Redraw();
    AnnounceState();
}

void CChildView::SelectAll()
{
    SelectWhere([](const CBaseProxy&) { return true; });
}

void CChildView::InvertSelection()
{
    const ProxySelection before = m_selection;
    SelectWhere([&](const CBaseProxy& proxy) {
        return std::find(before.begin(), before.end(), &proxy) == before.end();
    });
}

void CChildView::FinishGesture()
{
    CEditStatus& status = EditStatus();
    const bool open = status.m_bMoving || status.m_bSizing || status.m_bRotating || status.m_bRubberBand ||
                      status.m_bGuideDrag || status.m_bCopyDrag || (status.m_bCreating && !status.m_bPolygon) ||
                      m_gestureRecord;
    if (!open) {
        status.m_bTextClickPending = false;
        return;
    }
    if (status.m_bMoving)
        EndMove();
    else if (status.m_bSizing)
        EndSize();
    else if (status.m_bRotating)
        EndRotation();
    else if (status.m_bRubberBand)
        FinishRubberBand();
    else if (status.m_bGuideDrag)
        EndGuideDrag();
    // A copy drag ends in a menu and a creation drag in a new object: neither means
    // anything without its release, so both are abandoned.
    if (status.m_bCopyDrag) {
        status.m_bCopyDrag = false;
        setCursor(Qt::ArrowCursor);
    }
    if (status.m_bCreating && !status.m_bPolygon)
        status.m_bCreating = false;
    status.m_bTextClickPending = false;
    if (m_gestureRecord)
        CloseGestureRecord();
    Redraw();
}

void CChildView::CommitPendingEdits()
{
    CommitInPlaceEditor();
    FinishGesture();
}
