#include "model/BarcodeGraph.h"

#include "barcode/BarcodeImpl.h"

CBarcodeGraph::CBarcodeGraph()
{
    m_nKind = KindBarcode;
}

CBarcodeGraph::~CBarcodeGraph() = default;

void CBarcodeGraph::Draw(QPainter& graphics) const
{
    if (!m_pBarcodeImpl || !m_pBarcodeImpl->m_pSettings)
        return;
    SyncSettingsPlacement();
    CBarcodeSettings& s = *m_pBarcodeImpl->m_pSettings;
    s.m_fWidth = m_fWidth;
    s.m_fHeight = m_fHeight;
    s.m_fDrawScale = m_fDrawScale;
    s.m_fOriginX = m_fOriginX;
    s.m_fOriginY = m_fOriginY;
    s.m_fOutputDpi = m_fOutputDpi;
    m_pBarcodeImpl->Draw(graphics);
}

void CBarcodeGraph::SyncSettingsPlacement() const
{
    if (!m_pBarcodeImpl || !m_pBarcodeImpl->m_pSettings)
        return;
    CBarcodeSettings& s = *m_pBarcodeImpl->m_pSettings;
    s.m_fX = m_fX;
    s.m_fY = m_fY;
    s.m_fAngle = m_fAngle;
    s.m_nAnchor = m_nAnchor;
}

std::unique_ptr<CBaseGraph> CBarcodeGraph::Clone() const
{
    auto copy = std::make_unique<CBarcodeGraph>();
    copy->CopyFrom(*this);
    return copy;
}

void CBarcodeGraph::CopyFrom(const CBaseGraph& source)
{
    if (&source == this)
        return;
    CBaseGraph::CopyFrom(source);
    const auto* other = dynamic_cast<const CBarcodeGraph*>(&source);
    m_pBarcodeImpl = other && other->m_pBarcodeImpl ? other->m_pBarcodeImpl->Clone() : nullptr;
}

void EncodeToSymbolBox(CBarcodeGraph& barcode)
{
    CBarcodeImpl& impl = *barcode.GetImpl();
    impl.Encode();
    impl.BuildBars();
    impl.BuildBarsFromText();
    impl.CalcSize();
    TakeSymbolBox(barcode);
}

void TakeSymbolBox(CBarcodeGraph& barcode)
{
    CBarcodeSettings& settings = *barcode.GetImpl()->GetSettings();
    if (settings.m_fWidth > 0.0f && settings.m_fHeight > 0.0f) {
        barcode.SetWidth(settings.m_fWidth);
        barcode.SetHeight(settings.m_fHeight);
        return;
    }
    settings.m_fWidth = barcode.GetWidth();
    settings.m_fHeight = barcode.GetHeight();
}
