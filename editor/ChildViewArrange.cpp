// The canvas's arrange commands: aligning, centring, distributing, equal sizes,
// rotating, drawing order, locks, the not-printed flag, the background and the
// horizontal/vertical restriction of a line. Each is one undo record.
#include "editor/ChildView.h"

#include "model/BaseGraph.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsLine(const CBaseProxy* proxy)
{
    return proxy->GetObject() && proxy->GetObject()->GetKind() == KindLine;
}

// The angle turned by a step, in whole degrees with the sign of the turn kept:
// 0 turned left by 1 is -1, never 359.
float TurnedAngle(float angle, float step)
{
    return static_cast<float>(static_cast<int>(std::trunc(angle + step)) % 360);
}

} // namespace

void CChildView::RegisterArrangeCommands()
{
    const auto selected = [this](size_t least) {
        return [this, least](CommandUpdate& u) { u.Enable(m_selection.size() >= least); };
    };
    const auto withCurrent = [this](CommandUpdate& u) { u.Enable(m_pCurrent != nullptr); };

    using Corner = QPointF (*)(const CBaseProxy& reference, const CBaseProxy& other);
    const std::pair<int, Corner> aligns[] = {
        {CmdAlignLeft, [](const CBaseProxy& c, const CBaseProxy& p) { return QPointF(c.GetLeft(), p.GetTop()); }},
        {CmdAlignTop, [](const CBaseProxy& c, const CBaseProxy& p) { return QPointF(p.GetLeft(), c.GetTop()); }},
        {CmdAlignRight,
         [](const CBaseProxy& c, const CBaseProxy& p) {
             return QPointF(c.GetLeft() + c.GetWidth() - p.GetWidth(), p.GetTop());
         }},
        {CmdAlignBottom,
         [](const CBaseProxy& c, const CBaseProxy& p) {
             return QPointF(p.GetLeft(), c.GetTop() + c.GetHeight() - p.GetHeight());
         }},
        {CmdAlignCentresH,
         [](const CBaseProxy& c, const CBaseProxy& p) {
             return QPointF(c.GetLeft() + 0.5f * c.GetWidth() - 0.5f * p.GetWidth(), p.GetTop());
         }},
        {CmdAlignCentresV,
         [](const CBaseProxy& c, const CBaseProxy& p) {
             return QPointF(p.GetLeft(), c.GetTop() + 0.5f * c.GetHeight() - 0.5f * p.GetHeight());
         }},
    };
    for (const auto& [id, corner] : aligns) {
        OnCommand(id, [this, corner = corner] { AlignSelection(corner); });
        OnUpdate(id, selected(2));
    }
    OnCommand(CmdCentreOnPageH, [this] { CentreInLabel(true); });
    OnCommand(CmdCentreOnPageV, [this] { CentreInLabel(false); });
    OnUpdate(CmdCentreOnPageH, selected(1));
    OnUpdate(CmdCentreOnPageV, selected(1));
    OnCommand(CmdDistributeH, [this] { Distribute(true); });
    OnCommand(CmdDistributeV, [this] { Distribute(false); });
    OnUpdate(CmdDistributeH, selected(3));
    OnUpdate(CmdDistributeV, selected(3));
    OnCommand(CmdSameWidth, [this] { SameSize(true, false); });
    OnCommand(CmdSameHeight, [this] { SameSize(false, true); });
    OnCommand(CmdSameSize, [this] { SameSize(true, true); });
    for (const int id : {CmdSameWidth, CmdSameHeight, CmdSameSize})
        OnUpdate(id, selected(2));

    OnCommand(CmdRotateRight90, [this] { RotateSelection(90.0f); });
    OnCommand(CmdRotateRight1, [this] { RotateSelection(1.0f); });
    OnCommand(CmdRotateLeft90, [this] { RotateSelection(-90.0f); });
    OnCommand(CmdRotateLeft1, [this] { RotateSelection(-1.0f); });
    OnCommand(CmdRotateNone, [this] { RotateSelection(0.0f, true); });
    for (const int id : {CmdRotateRight90, CmdRotateLeft90, CmdRotateNone, CmdLock, CmdUnlock})
        OnUpdate(id, withCurrent);
    // A barcode turns only by right angles.
    for (const int id : {CmdRotateRight1, CmdRotateLeft1})
        OnUpdate(id, [this](CommandUpdate& u) {
            u.Enable(m_pCurrent && m_pCurrent->GetObject() && m_pCurrent->GetObject()->GetKind() != KindBarcode);
        });

    OnCommand(CmdBringToFront, [this] { Reorder(CmdBringToFront); });
    OnCommand(CmdSendToBack, [this] { Reorder(CmdSendToBack); });
    OnCommand(CmdBringForward, [this] { Reorder(CmdBringForward); });
    OnCommand(CmdSendBackward, [this] { Reorder(CmdSendBackward); });
    const auto notAt = [this](bool top) {
        return [this, top](CommandUpdate& u) {
            u.Enable(m_pCurrent && !m_objects.empty() &&
                     (top ? m_objects.back().get() : m_objects.front().get()) != m_pCurrent);
        };
    };
    OnUpdate(CmdBringToFront, notAt(true));
    OnUpdate(CmdBringForward, notAt(true));
    OnUpdate(CmdSendToBack, notAt(false));
    OnUpdate(CmdSendBackward, notAt(false));

    OnCommand(CmdLock, [this] { SetLocks(m_selection, true); });
    OnCommand(CmdUnlock, [this] { SetLocks(m_selection, false); });
    OnCommand(CmdLockAll, [this] { SetLocks(AllObjects(), true); });
    OnCommand(CmdUnlockAll, [this] { SetLocks(AllObjects(), false); });
    OnCommand(CmdExcludeFromPrint, [this] { SetNotPrinted(true); });
    OnCommand(CmdIncludeInPrint, [this] { SetNotPrinted(false); });
    OnCommand(CmdHideBackground, [this] { SetDesignBackground(false); });
    OnCommand(CmdShowBackground, [this] { SetDesignBackground(true); });

    OnCommand(CmdRestrictLine, [this] { ToggleLineRestriction(); });
    OnUpdate(CmdRestrictLine, [this](CommandUpdate& u) {
        const CBaseProxy* hit = EditStatus().m_pClickedObject;
        u.SetCheck(hit && IsLine(hit) && static_cast<const CLineGraph*>(hit->GetObject())->m_bHorzVertOnly);
    });
}

ProxySelection CChildView::AllObjects() const
{
    ProxySelection all;
    for (const auto& proxy : m_objects)
        all.push_back(proxy.get());
    return all;
}

void CChildView::AlignSelection(QPointF (*corner)(const CBaseProxy& reference, const CBaseProxy& other))
{
    if (!m_pCurrent)
        return;
    CPendingRecord record = m_builder.BeginMove(m_selection);
    for (CBaseProxy* proxy : m_selection)
        if (proxy != m_pCurrent) {
            const QPointF at = corner(*m_pCurrent, *proxy);
            proxy->SetPosition(static_cast<float>(at.x()), static_cast<float>(at.y()));
        }
    Redraw();
    m_builder.End(std::move(record));
}

void CChildView::CentreInLabel(bool horizontally)
{
    if (m_selection.empty() || !m_pLabelData)
        return;
    CPendingRecord record = m_builder.BeginMove(m_selection);
    for (CBaseProxy* proxy : m_selection) {
        if (horizontally)
            proxy->SetPosition(0.5f * m_pLabelData->m_fLabelWidth - 0.5f * proxy->GetWidth(), proxy->GetTop());
        else
            proxy->SetPosition(proxy->GetLeft(), 0.5f * m_pLabelData->m_fLabelHeight - 0.5f * proxy->GetHeight());
    }
    Redraw();
    m_builder.End(std::move(record));
}

void CChildView::Distribute(bool horizontally)
{
    // The label object's own position and length along the axis, not the proxy's
    // box: a turned object keeps its place in the row.
    const auto pos = [horizontally](const CBaseProxy* p) {
        return horizontally ? p->GetObject()->GetX() : p->GetObject()->GetY();
    };
    const auto len = [horizontally](const CBaseProxy* p) {
        return horizontally ? p->GetObject()->GetWidth() : p->GetObject()->GetHeight();
    };
    ProxySelection middle;
    for (CBaseProxy* proxy : m_selection)
        if (proxy->GetObject() && !IsLine(proxy))
            middle.push_back(proxy);
    if (middle.size() <= 2)
        return;
    CBaseProxy* first = middle.front();
    CBaseProxy* last = middle.front();
    for (CBaseProxy* proxy : middle) {
        if (pos(proxy) < pos(first))
            first = proxy;
        if (pos(proxy) + len(proxy) > pos(last) + len(last))
            last = proxy;
    }
    // One object can be both the leftmost and the one reaching furthest: it is taken
    // out once, and the others share the room between its two edges.
    std::erase(middle, first);
    std::erase(middle, last);
    std::stable_sort(middle.begin(), middle.end(), [&](CBaseProxy* a, CBaseProxy* b) { return pos(a) < pos(b); });
    const float begin = first == last ? pos(first) : pos(first) + len(first);
    const float end = first == last ? pos(first) + len(first) : pos(last);
    float lengths = 0.0f;
    for (CBaseProxy* proxy : middle)
        lengths += len(proxy);
    const float gap = (end - begin - lengths) / static_cast<float>(middle.size() + 1);
    CPendingRecord record = m_builder.BeginMove(middle);
    float position = begin;
    for (CBaseProxy* proxy : middle) {
        position += gap;
        if (horizontally)
            proxy->SetPosition(position, proxy->GetTop());
        else
            proxy->SetPosition(proxy->GetLeft(), position);
        position += len(proxy);
    }
    Redraw();
    m_builder.End(std::move(record));
}

void CChildView::SameSize(bool width, bool height)
{
    if (!m_pCurrent)
        return;
    ProxySelection others;
    for (CBaseProxy* proxy : m_selection)
        if (proxy != m_pCurrent)
            others.push_back(proxy);
    CPendingRecord record = m_builder.BeginSize(others);
    const float w = m_pCurrent->GetWidth();
    const float h = m_pCurrent->GetHeight();
    for (CBaseProxy* proxy : others) {
        if (width && height)
            proxy->SetSize(w, h);
        else if (width)
            proxy->SetWidth(w);
        else
            proxy->SetHeight(h);
    }
    Redraw();
    m_builder.End(std::move(record));
}

void CChildView::RotateSelection(float step, bool clear)
{
    CPendingRecord record = m_builder.BeginRotate(m_selection);
    for (CBaseProxy* proxy : m_selection)
        if (CBaseGraph* object = proxy->GetObject())
            object->m_fAngle = clear ? 0.0f : TurnedAngle(object->m_fAngle, step);
    Redraw();
    m_builder.End(std::move(record));
}

void CChildView::Reorder(int command)
{
    if (!m_pCurrent)
        return;
    const size_t old = IndexInCanvas(*this, m_pCurrent);
    if (old >= m_objects.size())
        return;
    std::unique_ptr<CBaseProxy> owned = std::move(m_objects[old]);
    m_objects.erase(m_objects.begin() + static_cast<std::ptrdiff_t>(old));
    size_t at = 0;
    switch (command) {
    case CmdBringToFront: at = m_objects.size(); break;
    case CmdSendToBack: at = 0; break;
    case CmdBringForward: at = std::min(old + 1, m_objects.size()); break;
    default: at = old == 0 ? 0 : old - 1; break;
    }
    m_objects.insert(m_objects.begin() + static_cast<std::ptrdiff_t>(at), std::move(owned));
    Redraw();
    m_undo.AddCommand(std::make_unique<CZOrderURC>(m_pCurrent, old, at));
}

void CChildView::SetLocks(const ProxySelection& proxies, bool lock)
{
    ProxySelection changing;
    for (CBaseProxy* proxy : proxies)
        if (proxy->GetObject() && proxy->GetObject()->m_bLocked != lock)
            changing.push_back(proxy);
    if (changing.empty())
        return;
    auto record = std::make_unique<CLockAllURC>();
    record->RecordOldStates(changing);
    for (CBaseProxy* proxy : changing)
        proxy->GetObject()->m_bLocked = lock;
    Redraw();
    record->RecordNewStates();
    m_undo.AddCommand(std::move(record));
}

void CChildView::SetNotPrinted(bool notPrinted)
{
    if (!m_pCurrent || !m_pCurrent->GetObject() || m_pCurrent->GetObject()->m_bNotPrinted == notPrinted)
        return;
    auto record = std::make_unique<CLockPrintPreviewURC>(m_pCurrent);
    m_pCurrent->GetObject()->m_bNotPrinted = notPrinted;
    Redraw();
    record->RecordNewStates();
    m_undo.AddCommand(std::move(record));
}

void CChildView::SetDesignBackground(bool show)
{
    if (!m_pLabelData || m_pLabelData->m_bDesignBackground == show)
        return;
    m_pLabelData->m_bDesignBackground = show;
    Redraw();
    m_undo.AddCommand(std::make_unique<CBkgndURC>(m_pLabelData, !show, show));
}

void CChildView::ToggleLineRestriction()
{
    CBaseProxy* proxy = m_pContextObject;
    if (!proxy || !IsLine(proxy))
        return;
    auto& line = static_cast<CLineGraph&>(*proxy->GetObject());
    CPendingRecord record = m_builder.BeginSize({proxy});
    if (line.m_bHorzVertOnly) {
        line.m_bHorzVertOnly = false;
    } else {
        line.m_bHorzVertOnly = true;
        const float dx = line.m_fX2 - line.m_fX1;
        // Steeper than 45 degrees becomes vertical; exactly 45 becomes horizontal.
        if (dx == 0.0f || std::abs((line.m_fY2 - line.m_fY1) / dx) > 1.0f)
            line.m_fX2 = line.m_fX1;
        else
            line.m_fY2 = line.m_fY1;
    }
    Redraw();
    m_builder.End(std::move(record));
}
