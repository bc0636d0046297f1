#include "editor/BarcodeProxy.h"

#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "barcode/BarcodeSymbology.h"
#include "editor/BarcodeProxyImpl.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "platform/VXException.h"

#include <algorithm>

CBarcodeProxy::CBarcodeProxy(std::unique_ptr<CBaseGraph> object)
    : CBaseProxy(std::move(object))
{
}

CBarcodeProxy::~CBarcodeProxy() = default;

CBarcodeGraph& CBarcodeProxy::Barcode() const
{
    return static_cast<CBarcodeGraph&>(*m_pObject);
}

void CBarcodeProxy::SetSymbology(int code)
{
    // The old rules stay until the new ones exist, so a throw leaves the proxy usable.
    m_pImpl = CreateBarcodeProxyImpl(code);
    m_nRulesCode = code;
}

CBarcodeProxyImpl* CBarcodeProxy::FollowSymbology()
{
    const int code = GetSymbologyOfObject();
    if (code != m_nRulesCode && Barcode().GetImpl()) {
        try {
            SetSymbology(code);
        } catch (const CBarcodeException&) {
            // A code without rules keeps the old ones, as a failed SetSymbology does.
        }
    }
    return m_pImpl.get();
}

int CBarcodeProxy::GetSymbologyOfObject() const
{
    const CBarcodeImpl* impl = Barcode().GetImpl();
    return impl && impl->GetSettings() ? impl->GetSettings()->m_nSymbology : 0;
}

bool CBarcodeProxy::IsDataBound() const
{
    const CBarcodeImpl* impl = Barcode().GetImpl();
    if (!impl || !impl->GetSettings())
        return false;
    const auto& bands = impl->GetSettings()->m_bandList;
    return std::any_of(bands.begin(), bands.end(), [](const auto& band) { return band->m_nKind != BandConstant; });
}

namespace {

// The barcode can be resized only with rules and an engine behind it.
bool CanResize(const CBarcodeProxyImpl* rules, const CBarcodeGraph& barcode)
{
    return rules && barcode.GetImpl() && barcode.GetImpl()->GetSettings();
}

} // namespace

void CBarcodeProxy::SaveGeometry()
{
    CBaseProxy::SaveGeometry();
    FollowSymbology();
    if (!CanResize(m_pImpl.get(), Barcode()))
        return;
    m_pImpl->m_pObject = &Barcode();
    m_pImpl->m_fSavedX = m_fSavedX;
    m_pImpl->m_fSavedY = m_fSavedY;
    m_pImpl->m_fSavedWidth = m_fSavedWidth;
    m_pImpl->m_fSavedHeight = m_fSavedHeight;
    m_pImpl->BeginResize();
}

void CBarcodeProxy::SetWidth(float width)
{
    SaveGeometry();
    m_pObject->SetWidth(width);
    if (CanResize(m_pImpl.get(), Barcode()))
        m_pImpl->ResizeWidth();
}

void CBarcodeProxy::SetHeight(float height)
{
    SaveGeometry();
    m_pObject->SetHeight(height);
    if (CanResize(m_pImpl.get(), Barcode()))
        m_pImpl->ResizeHeight();
}

void CBarcodeProxy::SetSize(float width, float height)
{
    SaveGeometry();
    m_pObject->SetWidth(width);
    m_pObject->SetHeight(height);
    if (CanResize(m_pImpl.get(), Barcode()))
        m_pImpl->ResizeBox();
}

void CBarcodeProxy::SizeBy(QPoint from, QPoint to, bool fromSaved, int handle)
{
    // The module is scaled by the new box over the box the resize started from. A
    // resize applied once at the release starts from the box as it is now; nothing
    // saved it at the press, and a stale or empty saved box gave a width that was
    // not a number.
    if (!fromSaved)
        SaveGeometry();
    CBaseProxy::SizeBy(from, to, fromSaved, handle);
    if ((!m_bWidthChanged && !m_bHeightChanged) || !CanResize(m_pImpl.get(), Barcode()))
        return;
    m_pImpl->m_pObject = &Barcode();
    if (m_bWidthChanged && m_bHeightChanged)
        m_pImpl->ResizeBox();
    else if (m_bWidthChanged)
        m_pImpl->ResizeWidth();
    else
        m_pImpl->ResizeHeight();
}

std::unique_ptr<CBaseProxy> CBarcodeProxy::Clone() const
{
    auto copy = std::make_unique<CBarcodeProxy>(std::make_unique<CBarcodeGraph>());
    CopyFrom(*copy);
    return copy;
}

void CBarcodeProxy::CopyFrom(CBarcodeProxy& target) const
{
    CBaseProxy::CopyFrom(target);
    target.m_pImpl = m_pImpl ? m_pImpl->Clone() : nullptr;
    target.m_nRulesCode = m_nRulesCode;
    if (target.m_pImpl)
        target.m_pImpl->m_pObject = &target.Barcode();
}

QString CBarcodeProxy::GetName() const
{
    const CBarcodeImpl* impl = Barcode().GetImpl();
    return impl && impl->GetSettings() ? impl->GetSettings()->m_strName : QString();
}

void CBarcodeProxy::GetStatusPanes(QString& name, QString& position, QString& size) const
{
    GetNameAndStatus(name, position);
    size = GetSizeText();
}

QString CBarcodeProxy::GetSizeText() const
{
    return QStringLiteral("符号类型：") + GetSymbologyDisplayName(GetSymbologyOfObject());
}
