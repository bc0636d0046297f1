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

// Where the box starts on one axis once the symbol took its own length there: the edge
// across from the dragged one stays where it was, so a symbol that could not grow or
// shrink stays where it is. base/baseLength: the box the drag started from; position/
// requested: the box the mouse asked for, flipped when dragged past the other edge.
float KeptEdgeStart(bool movesLow, bool movesHigh, float base, float baseLength, float position, float requested,
                    float length)
{
    if (!movesLow && !movesHigh)
        return position;
    const float fixed = movesLow ? base + baseLength : base;
    if (position + requested / 2 >= fixed)
        return fixed; // the box lies after the fixed edge
    if (movesLow && length == baseLength)
        return base; // exactly where it was
    return TruncateToHundredths(fixed - length);
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
    const QRectF requested(m_pObject->GetX(), m_pObject->GetY(), m_pObject->GetWidth(), m_pObject->GetHeight());
    m_pImpl->m_pObject = &Barcode();
    if (m_bWidthChanged && m_bHeightChanged)
        m_pImpl->ResizeBox();
    else if (m_bWidthChanged)
        m_pImpl->ResizeWidth();
    else
        m_pImpl->ResizeHeight();
    // The engine's size is rarely the mouse's (whole modules, the largest symbol a
    // label takes): the symbol keeps to the edges the drag did not move. A turned
    // symbol is placed about its anchor by the turned-box arithmetic, not here.
    if (GetAngle() != 0.0f)
        return;
    m_pObject->SetX(KeptEdgeStart(MovesLeft(handle), MovesRight(handle), m_fSavedX, m_fSavedWidth,
                                  static_cast<float>(requested.x()), static_cast<float>(requested.width()),
                                  m_pObject->GetWidth()));
    m_pObject->SetY(KeptEdgeStart(MovesTop(handle), MovesBottom(handle), m_fSavedY, m_fSavedHeight,
                                  static_cast<float>(requested.y()), static_cast<float>(requested.height()),
                                  m_pObject->GetHeight()));
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
