// The canvas's mouse and keyboard gestures: selecting, moving, sizing, rotating,
// dragging guide lines, nudging and deleting.
#include "editor/ChildView.h"

#include "app/ResourceIcons.h"
#include "editor/ObjectKinds.h"
#include "model/BaseGraph.h"
#include "model/GlobalSettings.h"
#include "model/TextGraph.h"
#include "platform/ScreenDpi.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int kDeadZone = 3;
constexpr int kGuideHitPixels = 4;

bool IsSelectionTool(int tool)
{
    return !IsCreationTool(tool);
}

bool IsLocked(const CBaseProxy& proxy)
{
    return proxy.GetObject() && proxy.GetObject()->m_bLocked;
}

Qt::CursorShape HoverCursor(int code)
{
    switch (code) {
    case ProxyCursorSizeNS: return Qt::SizeVerCursor;
    case ProxyCursorSizeWE: return Qt::SizeHorCursor;
    case ProxyCursorSizeNESW: return Qt::SizeBDiagCursor;
    case ProxyCursorSizeNWSE: return Qt::SizeFDiagCursor;
    default: return Qt::ArrowCursor;
    }
}

} // namespace

CBaseProxy* CChildView::ObjectAt(QPoint client) const
{
    const QPoint p = Mapping().ToLabel(client);
    for (auto it = m_objects.rbegin(); it != m_objects.rend(); ++it)
        if ((*it)->GetObject() && (*it)->HitTestBody(p))
            return it->get();
    return nullptr;
}

CBaseProxy* CChildView::HandleAt(QPoint client, int& handle, bool& rotating)
{
    // The handles' places are measured while they are drawn.
    Render();
    const QPoint p = Mapping().ToZoomedLabel(client);
    const bool rotate = EditStatus().m_nTool == ToolRotate;
    for (CBaseProxy* proxy : m_selection) {
        if (IsInPlaceEdited(proxy))
            continue;
        proxy->HitTestHandle(p, rotate, handle, rotating);
        if (handle >= 0)
            return proxy;
    }
    handle = -1;
    rotating = false;
    return nullptr;
}

CAlignLine* CChildView::GuideAt(QPoint client) const
{
    for (const auto& guide : m_guides) {
        if (guide->m_nOrientation == 0) {
            const int x = CanvasGuidePixels(guide->m_fPosition, g_nScreenDpiX, m_fZoom, m_fScrollX);
            if (std::abs(client.x() - x) < kGuideHitPixels)
                return guide.get();
        } else {
            const int y = CanvasGuidePixels(guide->m_fPosition, g_nScreenDpiY, m_fZoom, m_fScrollY);
            if (std::abs(client.y() - y) < kGuideHitPixels)
                return guide.get();
        }
    }
    return nullptr;
}

bool CChildView::HoldsObject(const CBaseProxy* proxy) const
{
    return std::any_of(m_objects.begin(), m_objects.end(), [proxy](const auto& each) { return each.get() == proxy; });
}

void CChildView::NotifyObjectsChanged()
{
    // Objects taken out (deleted, creation undone) must not be pointed at any longer.
    if (!HoldsObject(m_pContextObject))
        m_pContextObject = nullptr;
    CEditStatus& status = EditStatus();
    if (status.m_pEditedObject && !HoldsObject(status.m_pEditedObject)) {
        if (status.m_bInPlaceEditing && m_pActiveEdit)
            m_pActiveEdit->hide();
        status.m_bInPlaceEditing = false;
        status.m_bDelayedClickArmed = false;
        status.m_pEditedObject = nullptr;
    }
    if (!HoldsObject(status.m_pClickedObject))
        status.m_pClickedObject = nullptr;
    Q_EMIT objectsChanged();
}

bool CChildView::IsSelected(const CBaseProxy* proxy) const
{
    return std::find(m_selection.begin(), m_selection.end(), proxy) != m_selection.end();
}

void CChildView::Select(CBaseProxy* proxy)
{
    if (!IsSelected(proxy))
        m_selection.push_back(proxy);
    m_pCurrent = proxy;
    if (GroupRotation())
        UpdateRotationCentre();
    Redraw();
}

void CChildView::ClearSelection()
{
    m_selection.clear();
    m_pCurrent = nullptr;
    Redraw();
    AnnounceState();
}

void CChildView::SelectByKind(int kind)
{
    SelectWhere([kind](const CBaseProxy& proxy) { return proxy.GetObject() && proxy.GetObject()->GetKind() == kind; });
}

void CChildView::DeleteSelection()
{
    if (!m_pCurrent || m_selection.empty())
        return;
    // The record takes the proxies out of the canvas and keeps them.
    std::unique_ptr<CUndoRedoCommand> record;
    if (m_selection.size() == 1)
        record = std::make_unique<CDeleteURC>(*this, m_selection.front());
    else
        record = std::make_unique<CDeleteBatchURC>(*this, m_selection);
    m_undo.AddCommand(std::move(record));
    m_selection.clear();
    m_pCurrent = nullptr;
    NotifyObjectsChanged();
    Redraw();
}

void CChildView::NudgeSelection(float dx, float dy)
{
    if (m_selection.empty())
        return;
    FinishGesture();
    CPendingRecord record = m_builder.BeginMove(m_selection);
    for (CBaseProxy* proxy : m_selection)
        proxy->SetPosition(proxy->GetLeft() + dx, proxy->GetTop() + dy);
    Redraw();
    m_builder.End(std::move(record));
}

void CChildView::OpenPropertyDialog(CBaseProxy* proxy, CDataBand* band)
{
    if (!proxy || !m_propertyDialogs || m_bObjectDialogOpen)
        return;
    m_bObjectDialogOpen = true;
    const auto closed = qScopeGuard([this] { m_bObjectDialogOpen = false; });
    // The record keeps the object the dialog was opened on, whatever is current when
    // it applies.
    if (m_propertyDialogs(this, *proxy, m_builder, band)) {
        Redraw();
        AnnounceState(); // the name, position and size in the status bar may have changed
    }
}

void CChildView::OpenBandEditor(CBaseProxy* proxy)
{
    if (!proxy || !m_bandEditor || m_bObjectDialogOpen)
        return;
    m_bObjectDialogOpen = true;
    const auto closed = qScopeGuard([this] { m_bObjectDialogOpen = false; });
    if (m_bandEditor(this, *proxy, m_builder)) {
        Redraw();
        NotifyObjectsChanged();
    }
}

// ----- Gestures -----

QPoint CChildView::GestureStart() const
{
    const CEditStatus& status = m_pEditStatus ? *m_pEditStatus : m_ownStatus;
    return status.m_startPoint + (status.m_scrollAtStart - status.m_scrollNow);
}

bool CChildView::InDeadZone() const
{
    const CEditStatus& status = m_pEditStatus ? *m_pEditStatus : m_ownStatus;
    const QPoint d = status.m_currentPoint - GestureStart();
    return std::abs(d.x()) <= kDeadZone && std::abs(d.y()) <= kDeadZone;
}

void CChildView::StartGesture(bool CEditStatus::*flag, QPoint point)
{
    CEditStatus& status = EditStatus();
    status.*flag = true;
    status.m_startPoint = point;
    status.m_currentPoint = point;
    status.m_scrollAtStart = ScrollPixels();
    status.m_scrollNow = status.m_scrollAtStart;
}

ProxySelection CChildView::UnlockedSelection() const
{
    ProxySelection unlocked;
    std::copy_if(m_selection.begin(), m_selection.end(), std::back_inserter(unlocked),
                 [](const CBaseProxy* proxy) { return !IsLocked(*proxy); });
    return unlocked;
}

void CChildView::SaveSelectedGeometry()
{
    for (CBaseProxy* proxy : m_selection)
        proxy->SaveGeometry();
}

void CChildView::OpenGestureRecord(CPendingRecord (CUndoRecordBuilder::*begin)(const ProxySelection&))
{
    if (!m_gestureRecord)
        m_gestureRecord = (m_builder.*begin)(m_selection);
}

void CChildView::CloseGestureRecord()
{
    // Moved out first: ending it changes the history, which ends open gestures.
    CPendingRecord record = std::move(m_gestureRecord);
    m_builder.End(std::move(record));
}

void CChildView::ApplyMove(bool instant)
{
    if (InDeadZone())
        return;
    OpenGestureRecord(&CUndoRecordBuilder::BeginMove);
    const QPoint s = GestureStart();
    const ProxySelection moved = UnlockedSelection();
    DragWithinBounds(moved, s, EditStatus().m_currentPoint, instant, [&](QPoint to, bool fromSaved) {
        for (CBaseProxy* proxy : moved)
            proxy->MoveBy(s, to, fromSaved);
    });
    if (GroupRotation())
        UpdateRotationCentre();
}

void CChildView::ApplySize(bool instant)
{
    if (InDeadZone())
        return;
    OpenGestureRecord(&CUndoRecordBuilder::BeginSize);
    const QPoint s = GestureStart();
    const CEditStatus& status = EditStatus();
    const ProxySelection sized = UnlockedSelection();
    DragWithinBounds(sized, s, status.m_currentPoint, instant, [&](QPoint to, bool fromSaved) {
        for (CBaseProxy* proxy : sized)
            proxy->SizeBy(s, to, fromSaved, status.m_nHandle);
    });
    if (GroupRotation())
        UpdateRotationCentre();
}

void CChildView::ApplyRotation(bool instant)
{
    if (InDeadZone())
        return;
    OpenGestureRecord(&CUndoRecordBuilder::BeginRotate);
    const QPoint s = GestureStart();
    const CEditStatus& status = EditStatus();
    if (m_selection.size() == 1) {
        if (!IsLocked(*m_selection.front()))
            m_selection.front()->RotateBy(s, status.m_currentPoint, instant);
        return;
    }
    for (CBaseProxy* proxy : m_selection)
        if (!IsLocked(*proxy))
            proxy->RotateAbout(status.m_rotationCentre, s, status.m_currentPoint, instant);
}

void CChildView::EndMove()
{
    ApplyMove(CGlobalSettings::GetInstance()->m_bInstantMoving);
    EditStatus().m_bMoving = false;
    setCursor(Qt::ArrowCursor);
    Redraw();
    CloseGestureRecord();
}

void CChildView::EndSize()
{
    ApplySize(CGlobalSettings::GetInstance()->m_bInstantSizing);
    EditStatus().m_bSizing = false;
    Redraw();
    CloseGestureRecord();
}

void CChildView::EndRotation()
{
    ApplyRotation(CGlobalSettings::GetInstance()->m_bInstantRotating);
    EditStatus().m_bRotating = false;
    Redraw();
    CloseGestureRecord();
}

void CChildView::FinishRubberBand()
{
    CEditStatus& status = EditStatus();
    const QPoint s = GestureStart();
    const QPoint p = status.m_currentPoint;
    const QPoint corner = Mapping().ToLabel(QPoint(std::min(s.x(), p.x()), std::min(s.y(), p.y())));
    const QRect band(corner.x(), corner.y(), static_cast<int>(std::abs(p.x() - s.x()) / m_fZoom),
                     static_cast<int>(std::abs(p.y() - s.y()) / m_fZoom));
    for (const auto& proxy : m_objects)
        if (proxy->GetObject() && proxy->IntersectsRect(band)) {
            if (!IsSelected(proxy.get()))
                m_selection.push_back(proxy.get());
            m_pCurrent = proxy.get();
        }
    if (GroupRotation())
        UpdateRotationCentre();
    status.m_bRubberBand = false;
    Redraw();
}

void CChildView::EndGuideDragAt(QPoint point)
{
    const CAlignLine* guide = EditStatus().m_pDraggedGuide;
    ReleaseGuide(guide && guide->m_nOrientation != 0 ? point.y() : point.x());
}

void CChildView::ReleaseGuide(int position)
{
    CEditStatus& status = EditStatus();
    CAlignLine* guide = status.m_pDraggedGuide;
    // A guide line dropped back onto its ruler goes away.
    if (guide && position < 1) {
        std::erase_if(m_guides, [guide](const auto& g) { return g.get() == guide; });
        m_pActiveGuide = nullptr;
    }
    EndGuideDrag();
    Redraw();
}

bool CChildView::GroupRotation() const
{
    const CEditStatus& status = m_pEditStatus ? *m_pEditStatus : m_ownStatus;
    if (status.m_nTool != ToolRotate || m_selection.size() < 2)
        return false;
    return std::count_if(m_selection.begin(), m_selection.end(), [](CBaseProxy* p) { return p->CanRotate(); }) >= 2;
}

void CChildView::UpdateRotationCentre()
{
    int left = 9999, top = 9999, right = -9999, bottom = -9999;
    std::vector<QPointF> points;
    for (CBaseProxy* proxy : m_selection)
        proxy->GetOutlinePoints(points);
    for (const QPointF& mm : points) {
        const int x = static_cast<int>(mm.x() * g_nScreenDpiX / 25.4);
        const int y = static_cast<int>(mm.y() * g_nScreenDpiY / 25.4);
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
    const QPoint topLeft = Mapping().FromLabel(QPointF(left, top));
    const QPoint bottomRight = Mapping().FromLabel(QPointF(right, bottom));
    left = topLeft.x();
    top = topLeft.y();
    right = bottomRight.x();
    bottom = bottomRight.y();
    EditStatus().m_rotationCentre = QPoint((right - left) / 2 + left, (bottom - top) / 2 + top);
}

// ----- Mouse and keyboard -----

void CChildView::mousePressEvent(QMouseEvent* event)
{
    // Whatever the event changed, the commands and the status bar follow.
    const auto announce = qScopeGuard([this] { AnnounceState(); });
    const QPoint point = event->position().toPoint();
    m_lastClick = Mapping().ToClick(point);
    // Proxies measure with the view state of the last frame.
    Render();
    if (event->button() == Qt::LeftButton)
        PressLeft(event, point);
    else if (event->button() == Qt::RightButton)
        PressRight(event, point);
}

bool CChildView::StartHandleGesture(QPoint point)
{
    int handle = -1;
    bool rotating = false;
    if (!HandleAt(point, handle, rotating))
        return false;
    const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    EditStatus().m_nHandle = handle;
    StartGesture(rotating ? &CEditStatus::m_bRotating : &CEditStatus::m_bSizing, point);
    if (rotating ? settings.m_bInstantRotating : settings.m_bInstantSizing)
        SaveSelectedGeometry();
    return true;
}

void CChildView::PressLeft(QMouseEvent* event, QPoint point)
{
    CEditStatus& status = EditStatus();
    const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    if (status.m_bInPlaceEditing) {
        CBaseProxy* edited = status.m_pEditedObject;
        CommitInPlaceEditor();
        if (ObjectAt(point) == edited)
            return;
    }
    if (!IsSelectionTool(status.m_nTool)) {
        if (!m_selection.empty())
            ClearSelection();
        PressCreationTool(event, point);
        return;
    }
    if (StartHandleGesture(point))
        return;
    if (CAlignLine* guide = GuideAt(point)) {
        status.m_bGuideDrag = true;
        status.m_pDraggedGuide = guide;
        m_pActiveGuide = guide;
        Redraw();
        return;
    }
    m_pActiveGuide = nullptr;
    Redraw();
    CBaseProxy* hit = ObjectAt(point);
    if (!hit) {
        ClearSelection();
        StartGesture(&CEditStatus::m_bRubberBand, point);
        return;
    }
    status.m_pClickedObject = hit;
    const int kind = hit->GetObject()->GetKind();
    if (status.m_nTool == ToolEditData && (kind == KindText || kind == KindBarcode)) {
        m_selection.clear();
        Select(hit);
        if (kind == KindText && static_cast<CTextGraph*>(hit->GetObject())->m_bands.size() == 1) {
            OpenInPlaceEditor(hit);
        } else if (!m_bBandEditorQueued) {
            // Modal after the press has been handled, so the release does not go astray.
            // The second press of a double click finds it queued and adds none.
            m_bBandEditorQueued = true;
            QTimer::singleShot(0, this, [this, hit] {
                m_bBandEditorQueued = false;
                if (HoldsObject(hit))
                    OpenBandEditor(hit);
            });
        }
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    if (IsSelected(hit))
        status.m_bTextClickPending = kind == KindText;
    else {
        if (!(mods & (Qt::ShiftModifier | Qt::ControlModifier)))
            m_selection.clear();
        Select(hit);
    }
    if (ctrl) {
        StartGesture(&CEditStatus::m_bCopyDrag, point);
        setCursor(Qt::SizeAllCursor);
        return;
    }
    StartGesture(&CEditStatus::m_bMoving, point);
    if (settings.m_bInstantMoving)
        SaveSelectedGeometry();
    setCursor(Qt::SizeAllCursor);
}

void CChildView::PressRight(QMouseEvent* event, QPoint point)
{
    CEditStatus& status = EditStatus();
    if (!IsSelectionTool(status.m_nTool)) {
        // A right press abandons a creation tool.
        status.m_bCreating = false;
        status.m_bPolygon = false;
        status.m_polygonPoints.clear();
        status.m_nTool = ToolSelect;
        setCursor(Qt::ArrowCursor);
        return;
    }
    CommitInPlaceEditor();
    if (StartHandleGesture(point))
        return;
    CBaseProxy* hit = ObjectAt(point);
    if (!hit) {
        ClearSelection();
        StartGesture(&CEditStatus::m_bRubberBand, point);
        return;
    }
    status.m_pClickedObject = hit;
    if (!IsSelected(hit)) {
        if (!(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
            m_selection.clear();
        Select(hit);
    }
    StartGesture(&CEditStatus::m_bCopyDrag, point);
    setCursor(Qt::SizeAllCursor);
}

void CChildView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    Q_EMIT rulerMarks(point.x(), point.y());
    CEditStatus& status = EditStatus();
    const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    const bool idle = !status.m_bCreating && !status.m_bRubberBand && !status.m_bMoving && !status.m_bSizing &&
                      !status.m_bRotating && !status.m_bCopyDrag && !status.m_bGuideDrag;
    if (idle) {
        if (event->buttons() == Qt::NoButton && IsSelectionTool(status.m_nTool))
            UpdateHoverCursor(point);
        return;
    }
    if (status.m_bPolygon) {
        status.m_lastMouse = point;
        Redraw();
        return;
    }
    if (status.m_bGuideDrag) {
        MoveGuideDrag(status.m_pDraggedGuide && status.m_pDraggedGuide->m_nOrientation != 0 ? point.y() : point.x());
        return;
    }
    status.m_currentPoint = point;
    m_bCtrlDrag = event->modifiers() & Qt::ControlModifier;
    AutoScroll(point);
    status.m_scrollNow = ScrollPixels();
    if (status.m_bMoving && settings.m_bInstantMoving)
        ApplyMove(true);
    else if (status.m_bSizing && settings.m_bInstantSizing)
        ApplySize(true);
    else if (status.m_bRotating && settings.m_bInstantRotating)
        ApplyRotation(true);
    Redraw();
}

void CChildView::mouseReleaseEvent(QMouseEvent* event)
{
    // Whatever the event changed, the commands and the status bar follow.
    const auto announce = qScopeGuard([this] { AnnounceState(); });
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
        return;
    const QPoint point = event->position().toPoint();
    CEditStatus& status = EditStatus();
    if (status.m_bGuideDrag) {
        if (event->button() == Qt::LeftButton)
            EndGuideDragAt(point);
        return;
    }
    status.m_currentPoint = point;
    AutoScroll(point);
    status.m_scrollNow = ScrollPixels();
    if (status.m_bPolygon)
        return;
    if (status.m_bCreating) {
        if (event->button() == Qt::LeftButton)
            ReleaseCreationDrag(event, point);
        return;
    }
    const bool menuGesture = status.m_bRubberBand || status.m_bCopyDrag;
    if (status.m_bRubberBand)
        FinishRubberBand();
    else if (status.m_bMoving) {
        EndMove();
        if (status.m_bTextClickPending) {
            status.m_bTextClickPending = false;
            CBaseProxy* under = ObjectAt(point);
            if (point == status.m_startPoint && under && under->GetObject()->GetKind() == KindText) {
                if (event->button() == Qt::LeftButton)
                    ArmDelayedClick(under);
                else
                    OpenInPlaceEditor(under);
            }
        }
    }
    else if (status.m_bSizing)
        EndSize();
    else if (status.m_bRotating)
        EndRotation();
    else if (status.m_bCopyDrag) {
        setCursor(Qt::ArrowCursor);
        Redraw();
        // Outside the dead zone the drop asks: move here, copy here or cancel. The
        // commands read the start and current points of the edit status.
        if (!InDeadZone()) {
            if (event->modifiers() & Qt::ControlModifier)
                DragCopySelection();
            else
                Q_EMIT contextMenuRequested({CmdDragMove, CmdDragCopy, 0, CmdDragCancel}, mapToGlobal(point));
        }
        status.m_bCopyDrag = false;
    }
    // A right click without movement always ends in a context menu.
    if (menuGesture && event->button() == Qt::RightButton && point == status.m_startPoint)
        ShowContextMenu(point);
}

void CChildView::AutoScroll(QPoint point)
{
    // A point beyond an edge scrolls that way by up to 20 pixels per mouse message.
    const auto step = [](int p, int size) { return p > size ? std::min(p - size, 20) : p < 0 ? std::max(p,
    -20) : 0; };
    if (const int dx = step(point.x(), width()))
        Q_EMIT autoScrollRequested(false, dx);
    if (const int dy = step(point.y(), height()))
        Q_EMIT autoScrollRequested(true, dy);
}

void CChildView::ShowContextMenu(QPoint point)
{
    m_pContextObject = ObjectAt(point);
    const std::vector<int> items = CanvasContextMenu(m_pContextObject ? m_pContextObject->GetObject()->GetKind() : -1);
    if (!items.empty())
        Q_EMIT contextMenuRequested(items, mapToGlobal(point));
}

std::vector<int> CanvasContextMenu(int kind)
{
    if (kind == -1)
        return {CmdEditPaste, CmdEditSelectAll, 0, CmdZoomIn, CmdZoomOut, CmdZoomActual, CmdZoomFit, CmdCentreLabel,
                0, CmdLabelSettings};
    const ObjectKindInfo* info = FindObjectKind(kind);
    if (!info)
        return {};
    std::vector<int> items = {CmdEditCut, CmdEditCopy, CmdEditPaste, CmdEditDelete, 0};
    if (info->contextCommand)
        items.insert(items.end(), {info->contextCommand, 0});
    items.insert(items.end(), {CmdProperties, 0, CmdExportImage, CmdCreateResource});
    return items;
}

void CChildView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Whatever the event changed, the commands and the status bar follow.
    const auto announce = qScopeGuard([this] { AnnounceState(); });
    if (event->button() != Qt::LeftButton)
        return;
    CEditStatus& status = EditStatus();
    if (status.m_bPolygon) {
        // The second press of the double click already added its point once more.
        QList<QPoint>& points = status.m_polygonPoints;
        if (points.size() >= 2 && points.back() == points[points.size() - 2])
            points.removeLast();
        FinishPolygon();
        return;
    }
    // The second press of a double click arrives as a press too: it must not arm the
    // delayed click again at its release.
    status.m_bDelayedClickArmed = false;
    status.m_bTextClickPending = false;
    CBaseProxy* hit = ObjectAt(event->position().toPoint());
    if (!hit)
        return;
    // With the edit-data tool the first press already opened the object's editor: the
    // double click is that one gesture, not a way into the property dialog as well. The
    // second press closed a text's in-place editor, as a click on the text does; the
    // gesture leaves it open.
    if (const int kind = hit->GetObject()->GetKind();
        status.m_nTool == ToolEditData && (kind == KindText || kind == KindBarcode)) {
        if (kind == KindText && static_cast<CTextGraph*>(hit->GetObject())->m_bands.size() == 1
            && !status.m_bInPlaceEditing)
            OpenInPlaceEditor(hit);
        return;
    }
    if (hit != m_pCurrent) {
        m_pCurrent = hit;
        Redraw();
    }
    OpenPropertyDialog(hit);
}

void CChildView::keyPressEvent(QKeyEvent* event)
{
    // Whatever the event changed, the commands and the status bar follow.
    const auto announce = qScopeGuard([this] { AnnounceState(); });
    switch (event->key()) {
    case Qt::Key_Control: FollowCtrl(true); break;
    case Qt::Key_Left: NudgeSelection(-1.0f, 0.0f); break;
    case Qt::Key_Right: NudgeSelection(1.0f, 0.0f); break;
    case Qt::Key_Up: NudgeSelection(0.0f, -1.0f); break;
    case Qt::Key_Down: NudgeSelection(0.0f, 1.0f); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void CChildView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control)
        FollowCtrl(false);
    QWidget::keyReleaseEvent(event);
}

// Ctrl pressed or let go while a line is being drawn straightens it or frees it at once.
void CChildView::FollowCtrl(bool down)
{
    m_bCtrlDrag = down;
    if (EditStatus().m_bCreating)
        Redraw();
}

void CChildView::UpdateHoverCursor(QPoint point)
{
    const CEditStatus& status = EditStatus();
    int code = ProxyCursorNone;
    if (m_pCurrent) {
        const QPoint p = Mapping().ToZoomedLabel(point);
        const bool rotate = status.m_nTool == ToolRotate;
        for (CBaseProxy* proxy : m_selection) {
            if (IsInPlaceEdited(proxy))
                continue;
            if (const int c = proxy->HitTest(p, rotate); c != ProxyCursorNone)
                code = c;
        }
    }
    QCursor cursor = code == ProxyCursorRotate ? ResourceCursor(187) : QCursor(HoverCursor(code));
    if (const CAlignLine* guide = GuideAt(point))
        cursor = ResourceCursor(guide->m_nOrientation == 0 ? 293 : 296);
    else if (status.m_nTool == ToolEditData && code == ProxyCursorNone)
        cursor = ResourceCursor(202);
    setCursor(cursor);
}

bool CChildView::IsInPlaceEdited(const CBaseProxy* proxy) const
{
    const CEditStatus& status = m_pEditStatus ? *m_pEditStatus : m_ownStatus;
    return status.m_bInPlaceEditing && proxy == status.m_pEditedObject;
}

void CChildView::DrawSelection(QPainter& painter)
{
    CEditStatus& status = EditStatus();
    const bool rotate = status.m_nTool == ToolRotate;
    // The object under the in-place editor is neither drawn nor marked: the editor
    // shows its text.
    for (CBaseProxy* proxy : m_selection) {
        if (!proxy->GetObject() || IsInPlaceEdited(proxy))
            continue;
        proxy->DrawSelectionOutline(painter, proxy == m_pCurrent);
        proxy->DrawHandles(painter, proxy == m_pCurrent, rotate);
    }
    const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    if (m_pCurrent && GroupRotation())
        DrawRotationCentre(painter, status.m_rotationCentre);
    const QPoint s = GestureStart();
    const QPoint p = status.m_currentPoint;
    const bool moveTracker = status.m_bMoving && !settings.m_bInstantMoving;
    const bool sizeTracker = status.m_bSizing && !settings.m_bInstantSizing;
    if ((moveTracker || sizeTracker) && !InDeadZone())
        for (CBaseProxy* proxy : m_selection) {
            if (IsLocked(*proxy))
                continue;
            if (moveTracker)
                proxy->DrawMoveTracker(painter, s, p);
            else
                proxy->DrawSizeTracker(painter, status.m_nHandle, s, p);
        }
    if (status.m_bCreating)
        DrawCreation(painter);
    if (status.m_bRubberBand) {
        painter.save();
        painter.setPen(QPen(Qt::black, 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(s, p).normalized());
        painter.restore();
    }
    if (status.m_bInPlaceEditing) {
        const int* r = status.m_editorRect;
        const QRect frame(r[0] - 1, r[1] - 1, r[2] - r[0] + 1, r[3] - r[1] + 1);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 0));
        painter.drawRect(frame);
        painter.setPen(CanvasPen(PenDashGreen));
        painter.drawRect(frame);
        painter.restore();
    }
    if (status.m_bCopyDrag && !InDeadZone())
        DrawCopyGhost(painter, p - s);
}

void CChildView::DrawRotationCentre(QPainter& painter, QPoint centre)
{
    const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(CanvasPen(PenBlack));
    painter.setBrush(settings.GetBrush(BrushGreen));
    painter.drawEllipse(QRect(centre.x() - 4, centre.y() - 4, 8, 8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRect(centre.x() - 2, centre.y() - 2, 4, 4));
    painter.restore();
}

// The objects themselves where the drop would put the copies.
void CChildView::DrawCopyGhost(QPainter& painter, QPoint travel)
{
    const QPoint origin = Mapping().ZoomedMargin();
    const QPoint scroll = ScrollPixels();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (CBaseProxy* proxy : m_selection) {
        if (!proxy->GetObject() || IsInPlaceEdited(proxy))
            continue;
        proxy->SetViewState(m_fZoom, origin + travel, scroll);
        proxy->DrawObject(painter);
        // Hit tests read the view state: it stays that of the label.
        proxy->SetViewState(m_fZoom, origin, scroll);
    }
    painter.restore();
}
