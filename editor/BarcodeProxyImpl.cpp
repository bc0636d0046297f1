#include "editor/BarcodeProxyImpl.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "model/BarcodeGraph.h"
#include "model/LabelLimits.h"
#include "platform/VXException.h"

#include <cmath>

namespace {

float CutDecimals(float value, float scale)
{
    return static_cast<float>(std::trunc(value * scale) / scale);
}

CBarcodeSettings& SettingsOf(const CBarcodeGraph& object)
{
    return *object.GetImpl()->GetSettings();
}

} // namespace

float CBarcodeProxyImpl::TextHeight() const
{
    const CBarcodeSettings& settings = SettingsOf(*m_pObject);
    if (!settings.m_bShowText)
        return 0.0f;
    return static_cast<float>(settings.m_fFontSize * 25.4 / 72.0) + settings.m_fTextGap;
}

void CBarcodeProxyImpl::Rebuild(bool width, bool height)
{
    CBarcodeImpl& impl = *m_pObject->GetImpl();
    const auto build = [&] {
        impl.BuildBars();
        impl.BuildBarsFromText();
        if (width && height)
            impl.CalcSize();
        else if (width)
            impl.CalcWidth();
        else
            impl.CalcHeight();
    };
    build();
    CBarcodeSettings& settings = *impl.GetSettings();
    // A module scaled with a dragged box stops where the symbol would be larger than a
    // label can be, as the box itself does: a label file keeps no larger one.
    if (width && (settings.m_fWidth > kMaxLabelLengthMm
                  || (height && HeightFollowsModule(settings) && settings.m_fHeight > kMaxLabelLengthMm))) {
        ModuleWidthOf(settings) = LargestModuleWidth(impl, kMaxLabelLengthMm);
        build();
    }
    if (width)
        m_pObject->SetWidth(settings.m_fWidth);
    if (height)
        m_pObject->SetHeight(settings.m_fHeight);
}

void CBarcodeProxyImpl::BeginResize()
{
    m_fStartModuleWidth = SettingsOf(*m_pObject).m_fModuleWidth;
}

void CBarcodeProxyImpl::ResizeBox()
{
    CBarcodeSettings& settings = SettingsOf(*m_pObject);
    settings.m_fModuleWidth = CutDecimals(m_fStartModuleWidth * (m_pObject->GetWidth() / m_fSavedWidth), 1000.0f);
    settings.m_fBarHeight = CutDecimals(m_pObject->GetHeight() - TextHeight(), 100.0f);
    Rebuild(true, true);
}

void CBarcodeProxyImpl::ResizeWidth()
{
    CBarcodeSettings& settings = SettingsOf(*m_pObject);
    settings.m_fModuleWidth = CutDecimals(m_fStartModuleWidth * (m_pObject->GetWidth() / m_fSavedWidth), 1000.0f);
    Rebuild(true, false);
}

void CBarcodeProxyImpl::ResizeHeight()
{
    CBarcodeSettings& settings = SettingsOf(*m_pObject);
    settings.m_fBarHeight = CutDecimals(m_pObject->GetHeight() - TextHeight(), 100.0f);
    Rebuild(false, true);
}

void CBarcodeProxyImpl::CopyFrom(CBarcodeProxyImpl& target) const
{
    target.m_fSavedX = m_fSavedX;
    target.m_fSavedY = m_fSavedY;
    target.m_fSavedWidth = m_fSavedWidth;
    target.m_fSavedHeight = m_fSavedHeight;
    target.m_fStartModuleWidth = m_fStartModuleWidth;
}

float& CBarcodeProxyImpl2D::ModuleSize() const
{
    return ModuleWidthOf(SettingsOf(*m_pObject));
}

void CBarcodeProxyImpl2D::BeginResize()
{
    CBarcodeProxyImpl::BeginResize();
    m_fStartModuleSize = ModuleSize();
}

void CBarcodeProxyImpl2D::ScaleModule(float factor)
{
    ModuleSize() = CutDecimals(m_fStartModuleSize * factor, 1000.0f);
    Rebuild(true, true);
}

void CBarcodeProxyImpl2D::ResizeBox()
{
    const float rx = m_pObject->GetWidth() / m_fSavedWidth;
    const float ry = m_pObject->GetHeight() / m_fSavedHeight;
    const bool opposite = (rx > 1.0f && ry < 1.0f) || (rx < 1.0f && ry > 1.0f);
    ScaleModule(opposite ? ry : rx);
}

void CBarcodeProxyImpl2D::ResizeWidth()
{
    ScaleModule(m_pObject->GetWidth() / m_fSavedWidth);
}

void CBarcodeProxyImpl2D::ResizeHeight()
{
    ScaleModule(m_pObject->GetHeight() / m_fSavedHeight);
}

std::unique_ptr<CBarcodeProxyImpl> CreateBarcodeProxyImpl(int code)
{
    switch (code) {
    case 0: return std::make_unique<CBarcodeProxyImpl_Code39>();
    case 1: return std::make_unique<CBarcodeProxyImpl_Code39Full>();
    case 2: return std::make_unique<CBarcodeProxyImpl_Code93>();
    case 3: return std::make_unique<CBarcodeProxyImpl_Code93Full>();
    case 4: return std::make_unique<CBarcodeProxyImpl_Code11>();
    case 5: return std::make_unique<CBarcodeProxyImpl_Codabar>();
    case 20: return std::make_unique<CBarcodeProxyImpl_Interleaved25>();
    case 21: return std::make_unique<CBarcodeProxyImpl_Industrial25>();
    case 22: return std::make_unique<CBarcodeProxyImpl_Matrix25>();
    case 30: return std::make_unique<CBarcodeProxyImpl_Code128>();
    case 31: return std::make_unique<CBarcodeProxyImpl_EAN128>();
    case 40: return std::make_unique<CBarcodeProxyImpl_EAN13>();
    case 41: return std::make_unique<CBarcodeProxyImpl_EAN8>();
    case 42: return std::make_unique<CBarcodeProxyImpl_UPCA>();
    case 43: return std::make_unique<CBarcodeProxyImpl_UPCE>();
    case 44: return std::make_unique<CBarcodeProxyImpl_EJU_Supp2>();
    case 45: return std::make_unique<CBarcodeProxyImpl_EJU_Supp5>();
    case 50:
    case 53: return std::make_unique<CBarcodeProxyImpl_EAN14>();
    case 51:
    case 52: return std::make_unique<CBarcodeProxyImpl_ITF14>();
    case 54: return std::make_unique<CBarcodeProxyImpl_SSCC18>();
    case 62: return std::make_unique<CBarcodeProxyImpl_MSI>();
    case 63: return std::make_unique<CBarcodeProxyImpl_PostNet>();
    case 70: return std::make_unique<CBarcodeProxyImpl_MedicalCode>();
    case 71: return std::make_unique<CBarcodeProxyImpl_MonitorCode>();
    case 72: return std::make_unique<CBarcodeProxyImpl_PostalCode>();
    case 80: return std::make_unique<CBarcodeProxyImpl_PDF417>();
    case 82: return std::make_unique<CBarcodeProxyImpl_QRCode>();
    case 84: return std::make_unique<CBarcodeProxyImpl_DataMatrix>();
    default: throw CBarcodeException(QStringLiteral("Not implemented barcode type"));
    }
}
