#include "editor/UndoRedo.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/ObjectKinds.h"
#include "model/BarcodeGraph.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/ShapeGraph.h"
#include "model/TextGraph.h"

#include <algorithm>

// ----- Moving proxies between the canvas and the records -----

std::unique_ptr<CBaseProxy> TakeFromCanvas(CChildViewUndoRedoProxy& view, CBaseProxy* proxy)
{
    ProxyList& list = view.GetObjectList();
    const auto it = std::find_if(list.begin(), list.end(), [proxy](const auto& p) { return p.get() == proxy; });
    if (it == list.end())
        return nullptr;
    std::unique_ptr<CBaseProxy> owned(it->release());
    list.erase(it);
    ProxySelection& selection = view.GetSelection();
    selection.erase(std::remove(selection.begin(), selection.end(), proxy), selection.end());
    CBaseProxy*& current = view.GetCurrentObjectRef();
    if (current == proxy)
        current = nullptr;
    return owned;
}

void PutIntoCanvas(CChildViewUndoRedoProxy& view, std::unique_ptr<CBaseProxy> proxy, size_t index)
{
    if (!proxy)
        return;
    ProxyList& list = view.GetObjectList();
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(index, list.size())), std::move(proxy));
}

size_t IndexInCanvas(CChildViewUndoRedoProxy& view, const CBaseProxy* proxy)
{
    const ProxyList& list = view.GetObjectList();
    const auto it = std::find_if(list.begin(), list.end(), [proxy](const auto& p) { return p.get() == proxy; });
    return static_cast<size_t>(it - list.begin());
}

// ----- Memos -----

namespace {

template <class T>
T& ObjectAs(const CBaseProxy& proxy)
{
    return static_cast<T&>(*proxy.GetObject());
}

CBarcodeSettings* BarcodeSettingsOf(const CBaseProxy& proxy)
{
    const CBarcodeImpl* impl = ObjectAs<CBarcodeGraph>(proxy).GetImpl();
    return impl ? impl->GetSettings() : nullptr;
}

// The module size of a 2-D symbol; null for linear symbologies.
float* ModuleWidthX(CBarcodeSettings& settings)
{
    if (auto* pdf = dynamic_cast<CBarcodeSettings_PDF417*>(&settings))
        return &pdf->m_fModuleWidthX;
    if (auto* qr = dynamic_cast<CBarcodeSettings_QRCode*>(&settings))
        return &qr->m_fModuleWidthX;
    if (auto* dm = dynamic_cast<CBarcodeSettings_DataMatrix*>(&settings))
        return &dm->m_fModuleWidthX;
    return nullptr;
}

std::array<float, 4> LineEnds(const CLineGraph& line)
{
    return {line.m_fX1, line.m_fY1, line.m_fX2, line.m_fY2};
}

void SetLineEnds(CLineGraph& line, const std::array<float, 4>& ends)
{
    line.m_fX1 = ends[0];
    line.m_fY1 = ends[1];
    line.m_fX2 = ends[2];
    line.m_fY2 = ends[3];
}

// As many points as the polygon now has, from the memo's copy.
void SetPolygonPoints(CPolygonGraph& polygon, const std::vector<QPointF>& points)
{
    const size_t n = std::min(points.size(), polygon.m_points.size());
    std::copy_n(points.begin(), n, polygon.m_points.begin());
}

void NotifyFontSize(const CBaseProxy& proxy)
{
    if (proxy.m_pCanvas)
        proxy.m_pCanvas->OnFontSizeChanged();
}

uint8_t StyleByte(bool bold, bool italic, bool underline, bool strikeout)
{
    return static_cast<uint8_t>((bold ? 1 : 0) | (italic ? 2 : 0) | (underline ? 4 : 0) | (strikeout ? 8 : 0));
}

void ApplyStyleByte(uint8_t style, bool& bold, bool& italic, bool& underline, bool& strikeout)
{
    bold = style & 1;
    italic = style & 2;
    underline = style & 4;
    strikeout = style & 8;
}

} // namespace

void CPosMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    m_fX[side] = proxy.GetObject()->GetX();
    m_fY[side] = proxy.GetObject()->GetY();
}

void CPosMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    proxy.GetObject()->SetX(m_fX[side]);
    proxy.GetObject()->SetY(m_fY[side]);
}

void CLinePosMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    CPosMemo::Capture(proxy, side);
    m_ends[side] = LineEnds(ObjectAs<CLineGraph>(proxy));
}

void CLinePosMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CPosMemo::Apply(proxy, side);
    SetLineEnds(ObjectAs<CLineGraph>(proxy), m_ends[side]);
}

void CPolygonPosMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    CPosMemo::Capture(proxy, side);
    m_points[side] = ObjectAs<CPolygonGraph>(proxy).m_points;
    m_fWidth[side] = proxy.GetObject()->GetWidth();
    m_fHeight[side] = proxy.GetObject()->GetHeight();
}

void CPolygonPosMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CPosMemo::Apply(proxy, side);
    proxy.GetObject()->SetWidth(m_fWidth[side]);
    proxy.GetObject()->SetHeight(m_fHeight[side]);
    SetPolygonPoints(ObjectAs<CPolygonGraph>(proxy), m_points[side]);
}

void CSizeMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    const CBaseGraph& object = *proxy.GetObject();
    m_fX[side] = object.GetX();
    m_fY[side] = object.GetY();
    m_fWidth[side] = object.GetWidth();
    m_fHeight[side] = object.GetHeight();
}

void CSizeMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CBaseGraph& object = *proxy.GetObject();
    object.SetX(m_fX[side]);
    object.SetY(m_fY[side]);
    object.SetWidth(m_fWidth[side]);
    object.SetHeight(m_fHeight[side]);
}

void CLineSizeMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    CSizeMemo::Capture(proxy, side);
    m_ends[side] = LineEnds(ObjectAs<CLineGraph>(proxy));
    m_bHorzVertOnly[side] = ObjectAs<CLineGraph>(proxy).m_bHorzVertOnly;
}

void CLineSizeMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CSizeMemo::Apply(proxy, side);
    SetLineEnds(ObjectAs<CLineGraph>(proxy), m_ends[side]);
    ObjectAs<CLineGraph>(proxy).m_bHorzVertOnly = m_bHorzVertOnly[side];
}

void CPolygonSizeMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    CSizeMemo::Capture(proxy, side);
    m_points[side] = ObjectAs<CPolygonGraph>(proxy).m_points;
}

void CPolygonSizeMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CSizeMemo::Apply(proxy, side);
    SetPolygonPoints(ObjectAs<CPolygonGraph>(proxy), m_points[side]);
}

void CTextSizeMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    CSizeMemo::Capture(proxy, side);
    m_fHorzScale[side] = ObjectAs<CTextGraph>(proxy).m_fHorzScale;
    m_fFontSize[side] = ObjectAs<CTextGraph>(proxy).m_fFontSize;
}

void CTextSizeMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CSizeMemo::Apply(proxy, side);
    ObjectAs<CTextGraph>(proxy).m_fHorzScale = m_fHorzScale[side];
    ObjectAs<CTextGraph>(proxy).m_fFontSize = m_fFontSize[side];
    NotifyFontSize(proxy);
}

void CBarcodeSizeMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    CSizeMemo::Capture(proxy, side);
    CBarcodeSettings* settings = BarcodeSettingsOf(proxy);
    if (!settings)
        return;
    m_fBarHeight[side] = settings->m_fBarHeight;
    m_fModuleWidth[side] = settings->m_fModuleWidth;
    if (const float* x = ModuleWidthX(*settings))
        m_fModuleWidthX[side] = *x;
    m_fSymbolWidth[side] = settings->m_fWidth;
    m_fSymbolHeight[side] = settings->m_fHeight;
}

void CBarcodeSizeMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CSizeMemo::Apply(proxy, side);
    CBarcodeSettings* settings = BarcodeSettingsOf(proxy);
    if (!settings)
        return;
    settings->m_fBarHeight = m_fBarHeight[side];
    settings->m_fModuleWidth = m_fModuleWidth[side];
    // Data Matrix keeps its module size here too, so that its undo restores it.
    if (float* x = ModuleWidthX(*settings))
        *x = m_fModuleWidthX[side];
    if (m_bRebuild) {
        CBarcodeImpl& impl = *ObjectAs<CBarcodeGraph>(proxy).GetImpl();
        impl.BuildBars();
        impl.BuildBarsFromText();
    }
    settings->m_fWidth = m_fSymbolWidth[side];
    settings->m_fHeight = m_fSymbolHeight[side];
}

void CRotateMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    m_fAngle[side] = proxy.GetObject()->m_fAngle;
    if (m_pPosition)
        m_pPosition->Capture(proxy, side);
}

void CRotateMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    if (m_pPosition)
        m_pPosition->Apply(proxy, side);
    proxy.GetObject()->m_fAngle = m_fAngle[side];
}

void CFormatMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    const CBaseGraph& object = *proxy.GetObject();
    m_state[side].colours = {object.m_crText, object.m_crFill, object.m_crSpare, object.m_crLine};
}

void CFormatMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CBaseGraph& object = *proxy.GetObject();
    const auto& c = m_state[side].colours;
    object.m_crText = c[0];
    object.m_crFill = c[1];
    object.m_crSpare = c[2];
    object.m_crLine = c[3];
}

void CBarcodeFormatMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    CFormatMemo::Capture(proxy, side);
    const CBarcodeSettings* settings = BarcodeSettingsOf(proxy);
    if (!settings)
        return;
    FormatState& s = m_state[side];
    s.fontName = settings->m_strFontName;
    s.fontSize = settings->m_fFontSize;
    s.style = StyleByte(settings->m_bBold, settings->m_bItalic, settings->m_bUnderline, settings->m_bStrikeout);
    s.flag = settings->m_nFontSpare;
    s.alignment = settings->m_nTextAlign;
    s.barcodeColours = {settings->m_crText, settings->m_crBackground, settings->m_crBar};
    // A font change refits the box: the text line is part of the symbol's height.
    s.width = proxy.GetObject()->GetWidth();
    s.height = proxy.GetObject()->GetHeight();
}

void CBarcodeFormatMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CFormatMemo::Apply(proxy, side);
    CBarcodeSettings* settings = BarcodeSettingsOf(proxy);
    if (!settings)
        return;
    const FormatState& s = m_state[side];
    settings->m_crText = s.barcodeColours[0];
    settings->m_crBackground = s.barcodeColours[1];
    settings->m_crBar = s.barcodeColours[2];
    settings->m_strFontName = s.fontName;
    settings->m_fFontSize = s.fontSize;
    ApplyStyleByte(s.style, settings->m_bBold, settings->m_bItalic, settings->m_bUnderline, settings->m_bStrikeout);
    settings->m_nFontSpare = s.flag;
    settings->m_nTextAlign = s.alignment;
    CBaseGraph& barcode = *proxy.GetObject();
    barcode.SetWidth(s.width);
    barcode.SetHeight(s.height);
    settings->m_fWidth = s.width;
    settings->m_fHeight = s.height;
    NotifyFontSize(proxy);
}

void CTextFormatMemo::Capture(const CBaseProxy& proxy, MemoSide side)
{
    CFormatMemo::Capture(proxy, side);
    const CTextGraph& text = ObjectAs<CTextGraph>(proxy);
    FormatState& s = m_state[side];
    s.fontName = text.m_strFontName;
    s.fontSize = text.m_fFontSize;
    s.style = StyleByte(text.m_bBold, text.m_bItalic, text.m_bUnderline, text.m_bStrikeout);
    s.flag = text.m_byStyle5;
    s.alignment = text.m_nAlignment;
    s.width = text.GetWidth();
    s.height = text.GetHeight();
    s.horzScale = text.m_fHorzScale;
    s.layoutMode = text.m_nLayoutMode;
    s.circularVariant = text.m_nWrapDirection;
    s.angleStep = text.m_fAngleStep;
}

void CTextFormatMemo::Apply(CBaseProxy& proxy, MemoSide side) const
{
    CFormatMemo::Apply(proxy, side);
    CTextGraph& text = ObjectAs<CTextGraph>(proxy);
    const FormatState& s = m_state[side];
    text.m_strFontName = s.fontName;
    text.m_fFontSize = s.fontSize;
    ApplyStyleByte(s.style, text.m_bBold, text.m_bItalic, text.m_bUnderline, text.m_bStrikeout);
    text.m_byStyle5 = s.flag;
    text.m_nAlignment = s.alignment;
    text.SetWidth(s.width);
    text.SetHeight(s.height);
    text.m_fHorzScale = s.horzScale;
    text.m_nLayoutMode = s.layoutMode;
    text.m_nWrapDirection = s.circularVariant;
    text.m_fAngleStep = s.angleStep;
    NotifyFontSize(proxy);
}

std::unique_ptr<CPosMemo> CreatePosMemo(const CBaseProxy& proxy)
{
    const ObjectKindInfo* info = FindObjectKind(proxy.GetObject()->GetKind());
    return info ? info->makePosMemo(proxy) : std::make_unique<CPosMemo>();
}

std::unique_ptr<CSizeMemo> CreateBarcodeSizeMemo(const CBaseProxy& proxy)
{
    const CBarcodeSettings* settings = BarcodeSettingsOf(proxy);
    const int code = settings ? settings->m_nSymbology : 0;
    return std::make_unique<CBarcodeSizeMemo>(code != SymbologyPDF417 && code != SymbologyQRCode);
}

std::unique_ptr<CSizeMemo> CreateSizeMemo(const CBaseProxy& proxy)
{
    const ObjectKindInfo* info = FindObjectKind(proxy.GetObject()->GetKind());
    return info ? info->makeSizeMemo(proxy) : std::make_unique<CSizeMemo>();
}

std::unique_ptr<CFormatMemo> CreateFormatMemo(const CBaseProxy& proxy)
{
    const ObjectKindInfo* info = FindObjectKind(proxy.GetObject()->GetKind());
    return info ? info->makeFormatMemo(proxy) : std::make_unique<CFormatMemo>();
}

// ----- Records -----

void CUndoRedoCommand::Repaint() const
{
    if (m_pView)
        m_pView->RepaintView();
}

void CUndoRedoCommand::NotifyAndRepaint() const
{
    if (m_pView)
        m_pView->NotifyObjectsChanged();
    Repaint();
}

void CAddBatchURC::Undo()
{
    m_held.resize(m_proxies.size());
    for (size_t i = 0; i < m_proxies.size(); ++i)
        m_held[i] = TakeFromCanvas(*m_pView, m_proxies[i]);
    NotifyAndRepaint();
}

void CAddBatchURC::Redo()
{
    for (auto& held : m_held)
        PutIntoCanvas(*m_pView, std::move(held), m_pView->GetObjectList().size());
    m_held.clear();
    NotifyAndRepaint();
}

CDeleteBatchURC::CDeleteBatchURC(CChildViewUndoRedoProxy& view, const ProxySelection& proxies)
    : m_proxies(proxies)
{
    // Taking a proxy out also drops it from the canvas's selection, which may be the
    // very list passed in: walk the record's own copy.
    for (CBaseProxy* proxy : m_proxies)
        m_indexes.push_back(IndexInCanvas(view, proxy));
    for (CBaseProxy* proxy : m_proxies)
        m_held.push_back(TakeFromCanvas(view, proxy));
}

void CDeleteBatchURC::Undo()
{
    // The places were read in the full list: filled lowest first, each lands where it
    // was whatever order the selection named the objects in.
    std::vector<size_t> order(m_held.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) { return m_indexes[a] < m_indexes[b]; });
    for (const size_t i : order)
        PutIntoCanvas(*m_pView, std::move(m_held[i]), m_indexes[i]);
    m_held.clear();
    NotifyAndRepaint();
}

void CDeleteBatchURC::Redo()
{
    for (CBaseProxy* proxy : m_proxies)
        m_held.push_back(TakeFromCanvas(*m_pView, proxy));
    NotifyAndRepaint();
}

void CMemoBatchURC::Append(CBaseProxy* proxy, std::unique_ptr<CMemo> memo)
{
    m_proxies.push_back(proxy);
    m_memos.push_back(std::move(memo));
}

void CMemoBatchURC::CaptureNewState()
{
    for (size_t i = 0; i < m_proxies.size(); ++i)
        m_memos[i]->Capture(*m_proxies[i], MemoNew);
}

void CMemoBatchURC::Undo()
{
    for (size_t i = 0; i < m_proxies.size(); ++i)
        m_memos[i]->ApplyOld(*m_proxies[i]);
    Repaint();
}

void CMemoBatchURC::Redo()
{
    for (size_t i = 0; i < m_proxies.size(); ++i)
        m_memos[i]->ApplyNew(*m_proxies[i]);
    Repaint();
}

void CZOrderURC::MoveTo(size_t index)
{
    // Only the drawing order changes: the object stays selected and current.
    ProxyList& list = m_pView->GetObjectList();
    const size_t at = IndexInCanvas(*m_pView, m_pProxy);
    if (at < list.size()) {
        std::unique_ptr<CBaseProxy> owned = std::move(list[at]);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
        PutIntoCanvas(*m_pView, std::move(owned), index);
    }
    Repaint();
}

void CZOrderURC::Undo()
{
    MoveTo(m_nOldIndex);
}

void CZOrderURC::Redo()
{
    MoveTo(m_nNewIndex);
}

void CBkgndURC::Undo()
{
    m_pLabel->m_bDesignBackground = m_bOld;
    Repaint();
}

void CBkgndURC::Redo()
{
    m_pLabel->m_bDesignBackground = m_bNew;
    Repaint();
}

CLockPrintPreviewURC::CLockPrintPreviewURC(CBaseProxy* proxy)
    : m_pProxy(proxy)
{
    const CBaseGraph& o = *proxy->GetObject();
    m_flags[MemoOld] = {o.m_bLocked, o.m_bNotPrinted, o.m_bHiddenInPreview};
}

void CLockPrintPreviewURC::RecordNewStates()
{
    const CBaseGraph& o = *m_pProxy->GetObject();
    m_flags[MemoNew] = {o.m_bLocked, o.m_bNotPrinted, o.m_bHiddenInPreview};
}

void CLockPrintPreviewURC::Undo()
{
    CBaseGraph& o = *m_pProxy->GetObject();
    std::tie(o.m_bLocked, o.m_bNotPrinted, o.m_bHiddenInPreview) =
        std::tuple(m_flags[MemoOld][0], m_flags[MemoOld][1], m_flags[MemoOld][2]);
    Repaint();
}

void CLockPrintPreviewURC::Redo()
{
    CBaseGraph& o = *m_pProxy->GetObject();
    std::tie(o.m_bLocked, o.m_bNotPrinted, o.m_bHiddenInPreview) =
        std::tuple(m_flags[MemoNew][0], m_flags[MemoNew][1], m_flags[MemoNew][2]);
    Repaint();
}

void CLockAllURC::RecordOldStates(const ProxySelection& proxies)
{
    for (CBaseProxy* proxy : proxies) {
        m_proxies.push_back(proxy);
        m_oldStates.push_back(proxy->GetObject()->m_bLocked);
    }
}

void CLockAllURC::RecordNewStates()
{
    for (CBaseProxy* proxy : m_proxies)
        m_newStates.push_back(proxy->GetObject()->m_bLocked);
}

void CLockAllURC::Undo()
{
    for (size_t i = 0; i < m_proxies.size() && i < m_oldStates.size(); ++i)
        m_proxies[i]->GetObject()->m_bLocked = m_oldStates[i];
    Repaint();
}

void CLockAllURC::Redo()
{
    for (size_t i = 0; i < m_proxies.size() && i < m_newStates.size(); ++i)
        m_proxies[i]->GetObject()->m_bLocked = m_newStates[i];
    Repaint();
}

void CEditorURC::CaptureNewState()
{
    m_pAfter = m_pTarget->Clone();
}

void CEditorURC::Undo()
{
    if (m_pBefore)
        m_pBefore->CopyFrom(*m_pTarget);
    NotifyAndRepaint();
}

void CEditorURC::Redo()
{
    if (m_pAfter)
        m_pAfter->CopyFrom(*m_pTarget);
    NotifyAndRepaint();
}

// ----- The history -----

CUndoRedoManager::~CUndoRedoManager() = default;

void CUndoRedoManager::UpdateTitle() const
{
    if (!m_pView)
        return;
    m_pView->UpdateTitle();
    m_pView->HistoryChanged();
}

void CUndoRedoManager::BeforeChange() const
{
    if (m_pView)
        m_pView->BeforeHistoryChange();
}

void CUndoRedoManager::AddCommand(std::unique_ptr<CUndoRedoCommand> command)
{
    BeforeChange();
    // Records free only what they hold themselves, so the order of freeing is free.
    m_redo.clear();
    if (!m_bModified) {
        auto marker = std::make_unique<CFileChangedURC>();
        marker->m_pView = m_pView;
        m_undo.push_back(std::move(marker));
        m_bModified = true;
    }
    command->m_pView = m_pView;
    command->m_bUndone = false;
    m_undo.push_back(std::move(command));
    // The user's 撤销操作最大次数, read at each record so that a change in the options
    // applies to the labels already open.
    const size_t limit = static_cast<size_t>(std::clamp(CGlobalSettings::GetInstance()->m_nUndoMax, 1, 10000));
    while (m_undo.size() > limit) {
        const bool marker = m_undo.front()->m_bFileChanged;
        m_undo.pop_front();
        if (marker && !m_undo.empty())
            m_undo.pop_front();
    }
    UpdateTitle();
}

void CUndoRedoManager::Undo()
{
    BeforeChange();
    if (m_undo.empty())
        return;
    std::unique_ptr<CUndoRedoCommand> command = std::move(m_undo.back());
    m_undo.pop_back();
    command->Undo();
    command->m_bUndone = true;
    m_redo.push_back(std::move(command));
    if (!m_undo.empty() && m_undo.back()->m_bFileChanged) {
        m_undo.back()->m_bUndone = true;
        m_redo.push_back(std::move(m_undo.back()));
        m_undo.pop_back();
        m_bModified = false;
    }
    UpdateTitle();
}

void CUndoRedoManager::Redo()
{
    BeforeChange();
    if (m_redo.empty())
        return;
    auto redoOne = [this] {
        std::unique_ptr<CUndoRedoCommand> command = std::move(m_redo.back());
        m_redo.pop_back();
        command->Redo();
        command->m_bUndone = false;
        const bool marker = command->m_bFileChanged;
        m_undo.push_back(std::move(command));
        return marker;
    };
    if (redoOne() && !m_redo.empty()) {
        redoOne();
        m_bModified = true;
    }
    UpdateTitle();
}

void CUndoRedoManager::Clear()
{
    BeforeChange();
    m_redo.clear();
    m_undo.clear();
    UpdateTitle();
}
