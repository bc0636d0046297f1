#include "editor/PropertyEditing.h"

#include "app/UiServices.h"
#include "barcode/BarcodeImpl.h"
#include "barcode/BarcodeSettings.h"
#include "dialogs/properties/BandTextEidtor.h"
#include "dialogs/properties/ObjectEdtDlg.h"
#include "editor/ObjectKinds.h"
#include "editor/TextProxy.h"
#include "editor/UndoRecordBuilder.h"
#include "model/BarcodeGraph.h"
#include "model/DataBand.h"
#include "model/LabelData.h"
#include "model/TextGraph.h"
#include "model/Utils.h"

#include <QSizeF>

bool EditProxyProperties(CBaseProxy& proxy, const std::vector<std::unique_ptr<CBaseProxy>>& proxies,
                         CLabelData* label, CUndoRecordBuilder& undo, QWidget* parent, CDataBand* bandToSelect)
{
    ObjectEditRequest request;
    request.object = proxy.GetObject();
    for (const auto& each : proxies) {
        if (each->GetObject())
            request.objects.push_back(each->GetObject());
    }
    request.label = label;
    request.bandToSelect = bandToSelect;
    request.parent = parent;
    request.beforeApply = [&] { undo.BeginEditRecord(&proxy); };
    const QSizeF box(proxy.GetObject()->GetWidth(), proxy.GetObject()->GetHeight());
    request.afterApply = [&] {
        // A single-line text's box follows its words and font, whatever tab changed
        // them, unless a size was typed on the position tab (which shows two
        // decimals); bands that leave it empty leave a visible placeholder.
        if (auto* text = dynamic_cast<CTextGraph*>(proxy.GetObject()); text && text->m_nLayoutMode == SingleLine) {
            const bool sizeTyped = !FloatEquals2(text->GetWidth(), float(box.width()))
                || !FloatEquals2(text->GetHeight(), float(box.height()));
            if (text->m_strText.isEmpty() || !sizeTyped)
                static_cast<CTextProxy&>(proxy).SetShownText(text->m_strText);
        }
        undo.EndEditRecord();
    };
    // A failed apply never reaches EndEditRecord: the pending record gives no step
    // and the next BeginEditRecord replaces it.
    return EditObjectProperties(request);
}

namespace {

// A barcode's content from its bands, encoded again and at its new size when it
// changed; throws when the symbol cannot hold it.
void EncodeBandsContent(CBarcodeGraph& barcode)
{
    CBarcodeSettings& settings = *barcode.GetImpl()->GetSettings();
    const QString content = settings.GetBandsText();
    if (content == settings.m_strContent)
        return;
    settings.m_strContent = content;
    EncodeToSymbolBox(barcode);
}

// The object's content from its bands.
void UpdateContent(CBaseProxy& proxy)
{
    CBaseGraph& object = *proxy.GetObject();
    if (auto* text = dynamic_cast<CTextGraph*>(&object)) {
        static_cast<CTextProxy&>(proxy).SetShownText(GetBandsText(*text));
        return;
    }
    EncodeBandsContent(static_cast<CBarcodeGraph&>(object));
}

// Encodes the new values on a copy of the barcode, so that a symbol that cannot hold
// them is refused before the object or the history change.
void TryBarcodeValues(const CBarcodeGraph& barcode, const QStringList& values)
{
    std::unique_ptr<CBaseGraph> clone = barcode.Clone();
    auto& copy = static_cast<CBarcodeGraph&>(*clone);
    copy.m_pLabelData = barcode.m_pLabelData;
    copy.GetImpl()->m_pLabelData = barcode.GetImpl()->m_pLabelData;
    BandVector& bands = copy.GetImpl()->GetSettings()->m_bandList;
    for (qsizetype i = 0; i < values.size() && i < static_cast<qsizetype>(bands.size()); ++i)
        bands[static_cast<size_t>(i)]->m_strValue = values[i];
    EncodeBandsContent(copy);
}

} // namespace

bool EditBandTexts(CBaseProxy& proxy, const std::vector<std::unique_ptr<CBaseProxy>>& proxies, CLabelData* label,
                   CUndoRecordBuilder& undo, QWidget* parent)
{
    if (!proxy.GetObject())
        return false;
    BandVector* bands = ObjectBands(proxy.GetObject());
    if (!bands)
        return false;
    CBandTextEidtor editor(bands, parent);
    bool recording = false;
    if (const auto* barcode = dynamic_cast<const CBarcodeGraph*>(proxy.GetObject()))
        editor.m_tryValues = [barcode](const QStringList& values) { TryBarcodeValues(*barcode, values); };
    editor.m_beforeCommit = [&] {
        undo.BeginEditRecord(&proxy);
        recording = true;
    };
    if (Services().RunModal(editor) != QDialog::Accepted)
        return false;
    if (recording) {
        UpdateContent(proxy);
        undo.EndEditRecord();
    }
    if (editor.m_bOpenProperties)
        EditProxyProperties(proxy, proxies, label, undo, parent, editor.m_pBandToFocus);
    return true;
}
