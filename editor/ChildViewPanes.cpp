// What the docking panes ask of the canvas: choosing objects by what their bands are
// bound to, texts and barcodes made from an item dropped from the object pane, a
// component brought in from the resource library, and the selection handed to the
// library as a new component.
#include "editor/ChildView.h"

#include "app/UiServices.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/TextProxy.h"
#include "model/BarcodeGraph.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/GlobalSettings.h"
#include "model/LabelData.h"
#include "model/SDGraph.h"
#include "model/TextGraph.h"
#include "model/Utils.h"
#include "platform/ScreenDpi.h"
#include "platform/VXException.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kEmptySample = QStringLiteral("<空>");
const QString kBarcodeSample = QStringLiteral("12345678");

float CutToHundredths(double value)
{
    return static_cast<float>(std::trunc(value * 100.0) / 100.0);
}

} // namespace

void CChildView::RegisterPaneCommands()
{
    OnCommand(CmdCreateTextFromDrop, [this] { CreateTextFromDrop(); });
    OnCommand(CmdCreateBarcodeFromDrop, [this] { CreateBarcodeFromDrop(); });
    // The drop menu's cancel: nothing was made.
    OnCommand(CmdDropCancel, [] {});
    OnCommand(CmdCreateResource, [this] {
        std::vector<const CBaseGraph*> objects;
        for (const CBaseProxy* proxy : m_selection)
            if (proxy->GetObject())
                objects.push_back(proxy->GetObject());
        if (!objects.empty())
            Q_EMIT saveAsComponent(objects);
    });
    OnUpdate(CmdCreateResource, [this](CommandUpdate& u) { u.Enable(m_pCurrent != nullptr); });
}

// ----- Selection from the object pane -----

void CChildView::SelectObject(CBaseProxy* proxy)
{
    SelectWhere([proxy](const CBaseProxy& each) { return &each == proxy; });
}

void CChildView::SelectByBand(const std::function<bool(const CDataBand&)>& matches)
{
    SelectWhere([&](const CBaseProxy& proxy) {
        const DataBandList* bands = ObjectBands(proxy.GetObject());
        return bands && std::any_of(bands->begin(), bands->end(), [&](const auto& band) { return matches(*band); });
    });
}

void CChildView::SelectByDatabaseField(const QString& source, const QString& field)
{
    SelectByBand([&](const CDataBand& band) {
        return band.m_nKind == BandDatabase && band.m_strDataSource == source && band.m_strFieldName == field;
    });
}

void CChildView::SelectByBand30Name(const QString& name)
{
    SelectByBand([&](const CDataBand& band) { return band.m_nKind == BandItemValue && band.m_strItemName == name; });
}

void CChildView::SelectByNamedSubstring(const QString& name)
{
    SelectByBand(
        [&](const CDataBand& band) { return band.m_nKind == BandNamedSubstring && band.m_strRefBandName == name; });
}

void CChildView::SelectByWindowDataField(const QString& field)
{
    SelectByBand(
        [&](const CDataBand& band) { return band.m_nKind == BandWindowData && band.m_strWindowItem == field; });
}

void CChildView::SelectByTimeBand()
{
    SelectByBand([](const CDataBand& band) { return band.m_nKind == BandTime; });
}

void CChildView::SelectByDateBand()
{
    SelectByBand([](const CDataBand& band) { return band.m_nKind == BandDate; });
}

void CChildView::EditObjectProperties(CBaseProxy* proxy, CDataBand* band)
{
    if (!proxy || !HoldsObject(proxy))
        return;
    CommitPendingEdits();
    const int kind = proxy->GetObject() ? proxy->GetObject()->GetKind() : -1;
    OpenPropertyDialog(proxy, band);
    // A rename or new bands show in the object pane at once.
    if (HoldsObject(proxy) && (kind == KindText || kind == KindBarcode))
        NotifyObjectsChanged();
}

// ----- Drops from the object pane -----

void CChildView::DropDatabaseField(const QString& source, const QString& field, QPoint globalPos)
{
    m_pendingDrop.kind = DropDatabaseFieldKind;
    m_pendingDrop.source = source;
    m_pendingDrop.field = field;
    ShowDropMenu(globalPos);
}

void CChildView::DropBand30Item(const QString& name, QPoint globalPos)
{
    m_pendingDrop.kind = DropBand30Kind;
    m_pendingDrop.item = name;
    ShowDropMenu(globalPos);
}

void CChildView::DropWindowDataField(const QString& field, QPoint globalPos)
{
    m_pendingDrop.kind = DropWindowDataKind;
    m_pendingDrop.windowField = field;
    ShowDropMenu(globalPos);
}

void CChildView::DropTimeOrDate(bool date, QPoint globalPos)
{
    m_pendingDrop.kind = date ? DropDateKind : DropTimeKind;
    ShowDropMenu(globalPos);
}

void CChildView::ShowDropMenu(QPoint globalPos)
{
    m_pendingDrop.globalPos = globalPos;
    Q_EMIT contextMenuRequested({CmdCreateTextFromDrop, CmdCreateBarcodeFromDrop, 0, CmdDropCancel}, globalPos);
}

CBaseProxy* CChildView::CreateTextFromDrop()
{
    return CreateFromDrop(false);
}

CBaseProxy* CChildView::CreateBarcodeFromDrop()
{
    return CreateFromDrop(true);
}

CBaseProxy* CChildView::CreateFromDrop(bool barcode)
{
    if (!m_pLabelData)
        return nullptr;
    CommitPendingEdits();
    const QPoint at = Mapping().ToClick(mapFromGlobal(m_pendingDrop.globalPos));
    const float x = CutToHundredths(at.x() * kMmPerInchF / g_nScreenDpiX);
    const float y = CutToHundredths(at.y() * kMmPerInchF / g_nScreenDpiY);

    auto band = std::make_unique<CDataBand>();
    QString sample;
    const PendingDrop& drop = m_pendingDrop;
    switch (drop.kind) {
    case DropDatabaseFieldKind: {
        band->m_nKind = BandDatabase;
        band->m_strDataSource = drop.source;
        band->m_strFieldName = drop.field;
        for (const auto& source : m_pLabelData->m_dataSources)
            if (source->m_strName == drop.source) {
                sample = source->m_sampleValues.value(source->m_selectedFields.indexOf(drop.field));
                break;
            }
        break;
    }
    case DropBand30Kind:
        band->m_nKind = BandItemValue;
        band->m_strItemName = drop.item;
        band->m_strFieldName = drop.field;
        for (const auto& variable : m_pLabelData->m_externalVariables)
            if (variable->m_strName == drop.item) {
                sample = variable->m_strText3;
                break;
            }
        break;
    case DropWindowDataKind:
        band->m_nKind = BandWindowData;
        band->m_strWindowItem = drop.windowField;
        for (const auto& item : m_pLabelData->m_formItems)
            if (item->m_strName == drop.windowField) {
                sample = item->m_strText;
                break;
            }
        break;
    case DropTimeKind:
    case DropDateKind: {
        const CGlobalSettings& settings = *CGlobalSettings::GetInstance();
        const bool date = drop.kind == DropDateKind;
        band->m_nKind = date ? BandDate : BandTime;
        band->m_strDateTimeFormat = (date ? settings.m_dateTemplates : settings.m_timeTemplates).value(0);
        sample = FormatDateTime(band->m_strDateTimeFormat, Services().CurrentDateTime());
        break;
    }
    default: return nullptr;
    }
    if (sample.isEmpty() && drop.kind <= DropWindowDataKind)
        sample = barcode ? kBarcodeSample : kEmptySample;
    band->m_strValue = sample;

    std::unique_ptr<CBaseGraph> object;
    if (barcode) {
        std::unique_ptr<CBarcodeGraph> graph = NewBarcode(sample, std::move(band));
        try {
            EncodeToSymbolBox(*graph);
        } catch (const VXException& e) {
            // A sample the symbology cannot encode: the barcode is still made, bound
            // as asked, and the reason shown; its bars follow once the value fits.
            TakeSymbolBox(*graph);
            Services().ReportException(this, e);
        }
        object = std::move(graph);
    } else {
        auto text = std::make_unique<CTextGraph>();
        text->m_strFontName = QStringLiteral("Arial");
        text->m_strText = sample;
        text->m_bands.push_back(std::move(band));
        object = std::move(text);
    }
    object->SetX(x);
    object->SetY(y);
    m_selection.clear();
    m_pCurrent = nullptr;
    CBaseProxy* proxy = AddCreatedObject(std::move(object), true);
    if (!barcode)
        static_cast<CTextProxy*>(proxy)->FitTextBoxToText();
    Redraw();
    AnnounceState();
    return proxy;
}

// ----- Components from the resource library -----

std::vector<std::unique_ptr<CBaseProxy>> CChildView::ProxiesFromComponent(const ::ObjectList& objects)
{
    std::vector<std::unique_ptr<CBaseProxy>> proxies;
    for (const auto& object : objects) {
        std::unique_ptr<CBaseGraph> copy = object ? object->Clone() : nullptr;
        if (!copy)
            continue;
        copy->m_pLabelData = m_pLabelData;
        std::unique_ptr<CBaseProxy> proxy = CreateProxy(std::move(copy));
        if (!proxy)
            continue;
        proxy->m_pCanvas = this;
        proxy->m_pLabel = m_pLabelData;
        proxies.push_back(std::move(proxy));
    }
    return proxies;
}

void CChildView::AddProxies(std::vector<std::unique_ptr<CBaseProxy>> proxies)
{
    m_selection.clear();
    m_pCurrent = nullptr;
    auto record = std::make_unique<CAddBatchURC>();
    for (auto& proxy : proxies) {
        AdoptProxy(*proxy);
        record->m_proxies.push_back(proxy.get());
        m_selection.push_back(proxy.get());
        m_pCurrent = proxy.get();
        m_objects.push_back(std::move(proxy));
    }
    if (GroupRotation())
        UpdateRotationCentre();
    Redraw();
    NotifyObjectsChanged();
    if (!record->m_proxies.empty())
        m_undo.AddCommand(std::move(record));
    AnnounceState();
}

void CChildView::BeginResourceDrag(const ::ObjectList& objects)
{
    CommitPendingEdits();
    m_resourceDrag = ProxiesFromComponent(objects);
    m_bResourceOverCanvas = false;
    float left = 9999.0f, top = 9999.0f, right = -9999.0f, bottom = -9999.0f;
    for (const auto& proxy : m_resourceDrag) {
        const CBaseGraph& object = *proxy->GetObject();
        left = std::min(left, proxy->GetLeft());
        top = std::min(top, proxy->GetTop());
        right = std::max(right, proxy->GetLeft() + object.GetWidth());
        bottom = std::max(bottom, proxy->GetTop() + object.GetHeight());
    }
    if (!m_resourceDrag.empty())
        m_resourceDragCentre = QPointF(left + (right - left) * 0.5f, top + (bottom - top) * 0.5f);
}

void CChildView::TrackResourceDrag(QPoint globalPos, bool overCanvas)
{
    if (m_resourceDrag.empty())
        return;
    if (!overCanvas) {
        if (m_bResourceOverCanvas) {
            m_bResourceOverCanvas = false;
            Redraw();
        }
        return;
    }
    const QPointF cursor = Mapping().ToMillimetres(mapFromGlobal(globalPos));
    const QPointF step = cursor - m_resourceDragCentre;
    for (const auto& proxy : m_resourceDrag)
        proxy->SetPosition(static_cast<float>(proxy->GetLeft() + step.x()),
                           static_cast<float>(proxy->GetTop() + step.y()));
    m_resourceDragCentre = cursor;
    m_bResourceOverCanvas = true;
    Redraw();
}

void CChildView::EndResourceDrag()
{
    if (m_resourceDrag.empty())
        return;
    std::vector<std::unique_ptr<CBaseProxy>> proxies = std::move(m_resourceDrag);
    m_resourceDrag.clear();
    m_bResourceOverCanvas = false;
    AddProxies(std::move(proxies));
}

void CChildView::CancelResourceDrag()
{
    m_resourceDrag.clear();
    if (m_bResourceOverCanvas) {
        m_bResourceOverCanvas = false;
        Redraw();
    }
}

void CChildView::AddResourceObjects(const ::ObjectList& objects)
{
    CommitPendingEdits();
    std::vector<std::unique_ptr<CBaseProxy>> proxies = ProxiesFromComponent(objects);
    if (proxies.empty())
        return;
    float mx = 9999.0f, my = 9999.0f;
    for (const auto& proxy : proxies) {
        mx = std::min(mx, proxy->GetLeft());
        my = std::min(my, proxy->GetTop());
    }
    // Just inside the visible area's top-left corner.
    const float tx = static_cast<float>((m_fScrollX / m_fZoom) * kMmPerInchF / g_nScreenDpiX - kCanvasMarginMm + 1);
    const float ty = static_cast<float>((m_fScrollY / m_fZoom) * kMmPerInchF / g_nScreenDpiY - kCanvasMarginMm + 1);
    for (const auto& proxy : proxies)
        proxy->SetPosition(proxy->GetLeft() - mx + tx, proxy->GetTop() - my + ty);
    AddProxies(std::move(proxies));
}

void CChildView::DrawResourceDrag(QPainter& painter)
{
    if (!m_bResourceOverCanvas)
        return;
    const QPoint origin = Mapping().ZoomedMargin();
    const QPoint scroll = ScrollPixels();
    const float dots = PrinterDots();
    for (const auto& proxy : m_resourceDrag) {
        CBaseGraph* object = proxy->GetObject();
        object->m_fDrawScale = m_fZoom;
        object->m_fOutputDpi = dots;
        object->m_fOriginX = 0.0f;
        object->m_fOriginY = 0.0f;
        proxy->SetViewState(m_fZoom, origin, scroll);
        proxy->DrawObject(painter);
    }
}
