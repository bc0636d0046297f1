// Copy, cut and paste through the object clipboard every document shares, and the
// end of a copy drag: moved there, or copied there.
#include "editor/ChildView.h"

#include "editor/ObjectClipboard.h"
#include "model/BaseGraph.h"
#include "model/GlobalSettings.h"
#include "platform/ScreenDpi.h"

#include <algorithm>
#include <cmath>

namespace {

// The smallest left and top over the proxies, in mm; 9999 for none.
QPointF MinimumCorner(const ProxySelection& proxies)
{
    float left = 9999.0f;
    float top = 9999.0f;
    for (const CBaseProxy* proxy : proxies) {
        left = std::min(left, proxy->GetLeft());
        top = std::min(top, proxy->GetTop());
    }
    return {left, top};
}

} // namespace

void CChildView::RegisterClipboardCommands()
{
    const auto withCurrent = [this](CommandUpdate& u) { u.Enable(m_pCurrent != nullptr); };
    OnCommand(CmdEditCopy, [this] { CopySelection(); });
    OnUpdate(CmdEditCopy, withCurrent);
    OnCommand(CmdEditCut, [this] { CutSelection(); });
    OnUpdate(CmdEditCut, withCurrent);
    OnCommand(CmdEditPaste, [this] { PasteObjects(); });
    OnUpdate(CmdEditPaste, [](CommandUpdate& u) { u.Enable(!GetObjectClipboard().empty()); });
    OnCommand(CmdDragMove, [this] { DragMoveSelection(); });
    OnCommand(CmdDragCopy, [this] { DragCopySelection(); });
}

void CChildView::CopySelection()
{
    if (m_selection.empty())
        return;
    CopyToObjectClipboard(GetObjectClipboard(), m_selection);
    const QPointF corner = MinimumCorner(m_selection);
    m_pasteOffset = QPoint(10 + static_cast<int>(corner.x() * g_nScreenDpiX / 25.4),
                           10 + static_cast<int>(corner.y() * g_nScreenDpiY / 25.4));
}

void CChildView::CutSelection()
{
    CopySelection();
    DeleteSelection();
}

void CChildView::AdoptProxy(CBaseProxy& proxy)
{
    SetDefaultName(proxy);
    proxy.m_pCanvas = this;
    proxy.m_pLabel = m_pLabelData;
    if (CBaseGraph* object = proxy.GetObject())
        object->m_pLabelData = m_pLabelData;
}

void CChildView::PasteObjects()
{
    const ObjectClipboard& clipboard = GetObjectClipboard();
    if (clipboard.empty())
        return;
    m_selection.clear();
    auto record = std::make_unique<CAddBatchURC>();
    for (const auto& held : clipboard) {
        std::unique_ptr<CBaseProxy> copy = held->Clone();
        if (!copy)
            continue;
        AdoptProxy(*copy);
        m_selection.push_back(copy.get());
        record->m_proxies.push_back(copy.get());
        m_objects.push_back(std::move(copy));
    }
    m_pCurrent = m_selection.empty() ? nullptr : m_selection.back();
    // The group keeps its arrangement; its corner lands on the paste offset, which
    // steps on so that repeated pastes do not cover each other.
    const QPointF corner = MinimumCorner(m_selection);
    const float dx = static_cast<float>(m_pasteOffset.x() * 25.4 / g_nScreenDpiX);
    const float dy = static_cast<float>(m_pasteOffset.y() * 25.4 / g_nScreenDpiY);
    for (CBaseProxy* proxy : m_selection)
        proxy->SetPosition(static_cast<float>(proxy->GetLeft() - corner.x() + dx),
                           static_cast<float>(proxy->GetTop() - corner.y() + dy));
    m_pasteOffset += QPoint(10, 10);
    NotifyObjectsChanged();
    Redraw();
    m_undo.AddCommand(std::move(record));
}

bool CChildView::DragMoved() const
{
    const CEditStatus& status = m_pEditStatus ? *m_pEditStatus : m_ownStatus;
    const QPoint d = status.m_currentPoint - GestureStart();
    return std::abs(d.x()) >= 4 || std::abs(d.y()) >= 4;
}

void CChildView::DragMoveSelection()
{
    if (!DragMoved() || m_selection.empty())
        return;
    CPendingRecord record = m_builder.BeginMove(m_selection);
    const QPoint from = GestureStart();
    DragWithinBounds(m_selection, from, EditStatus().m_currentPoint, false, [&](QPoint to, bool fromSaved) {
        for (CBaseProxy* proxy : m_selection)
            proxy->MoveBy(from, to, fromSaved);
    });
    if (GroupRotation())
        UpdateRotationCentre();
    Redraw();
    m_builder.End(std::move(record));
}

void CChildView::DragCopySelection()
{
    if (!DragMoved() || m_selection.empty())
        return;
    const QPoint from = GestureStart();
    std::vector<std::unique_ptr<CBaseProxy>> copies;
    ProxySelection moved;
    for (const CBaseProxy* proxy : m_selection)
        if (std::unique_ptr<CBaseProxy> copy = proxy->Clone()) {
            AdoptProxy(*copy);
            copy->SetViewState(m_fZoom, Mapping().ZoomedMargin(), ScrollPixels());
            moved.push_back(copy.get());
            copies.push_back(std::move(copy));
        }
    DragWithinBounds(moved, from, EditStatus().m_currentPoint, false, [&](QPoint to, bool fromSaved) {
        for (CBaseProxy* copy : moved)
            copy->MoveBy(from, to, fromSaved);
    });
    m_selection.clear();
    auto record = std::make_unique<CAddBatchURC>();
    for (auto& copy : copies) {
        m_selection.push_back(copy.get());
        record->m_proxies.push_back(copy.get());
        m_objects.push_back(std::move(copy));
    }
    m_pCurrent = m_selection.empty() ? nullptr : m_selection.back();
    if (GroupRotation())
        UpdateRotationCentre();
    NotifyObjectsChanged();
    Redraw();
    m_undo.AddCommand(std::move(record));
}
