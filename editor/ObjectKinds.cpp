#include "editor/ObjectKinds.h"

#include "app/CommandIds.h"
#include "app/UiServices.h"
#include "dialogs/properties/BarcodeEdtDlg.h"
#include "dialogs/properties/ObjectPanes.h"
#include "editor/BarcodeProxy.h"
#include "editor/EditStatus.h"
#include "editor/ShapeProxies.h"
#include "editor/TextProxy.h"
#include "editor/UndoRedo.h"
#include "model/BaseGraph.h"

namespace {

template <class P>
std::unique_ptr<CBaseProxy> Proxy(std::unique_ptr<CBaseGraph> object)
{
    return std::make_unique<P>(std::move(object));
}

std::unique_ptr<CBaseProxy> BarcodeProxy(std::unique_ptr<CBaseGraph> object)
{
    auto proxy = std::make_unique<CBarcodeProxy>(std::move(object));
    proxy->SetSymbology(proxy->GetSymbologyOfObject());
    return proxy;
}

template <class Base, class Memo>
std::unique_ptr<Base> KindMemo(const CBaseProxy&)
{
    return std::make_unique<Memo>();
}

} // namespace

const std::vector<ObjectKindInfo>& ObjectKinds()
{
    static const std::vector<ObjectKindInfo> kinds = {
        {KindBarcode, ToolBarcode, 180, u"条形码", CmdSelectBarcodes, 0, BarcodeProxy, CreateBarcodeEdtDlg,
         KindMemo<CPosMemo, CPosMemo>, CreateBarcodeSizeMemo, KindMemo<CFormatMemo, CBarcodeFormatMemo>},
        {KindText, ToolText, 181, u"文字", CmdSelectTexts, CmdResetScale, Proxy<CTextProxy>, CreateTextEdtDlg,
         KindMemo<CPosMemo, CPosMemo>, KindMemo<CSizeMemo, CTextSizeMemo>, KindMemo<CFormatMemo, CTextFormatMemo>},
        {KindLine, ToolLine, 182, u"线条", CmdSelectLines, CmdRestrictLine, Proxy<CLineProxy>, CreateLineEdtDlg,
         KindMemo<CPosMemo, CLinePosMemo>, KindMemo<CSizeMemo, CLineSizeMemo>, KindMemo<CFormatMemo, CFormatMemo>},
        {KindRectangle, ToolRectangle, 183, u"矩形", CmdSelectRectangles, 0, Proxy<CRectangleProxy>,
         CreateRectangleEdtDlg, KindMemo<CPosMemo, CPosMemo>, KindMemo<CSizeMemo, CSizeMemo>,
         KindMemo<CFormatMemo, CFormatMemo>},
        {KindEllipse, ToolEllipse, 184, u"椭圆", CmdSelectEllipses, 0, Proxy<CEllipseProxy>, CreateEllipseEdtDlg,
         KindMemo<CPosMemo, CPosMemo>, KindMemo<CSizeMemo, CSizeMemo>, KindMemo<CFormatMemo, CFormatMemo>},
        {KindPolygon, ToolPolygon, 185, u"多边形", CmdSelectPolygons, 0, Proxy<CPolygonProxy>, CreatePolygonEdtDlg,
         KindMemo<CPosMemo, CPolygonPosMemo>, KindMemo<CSizeMemo, CPolygonSizeMemo>,
         KindMemo<CFormatMemo, CFormatMemo>},
        {KindImage, ToolImage, 186, u"图片", CmdSelectImages, 0, Proxy<CImageProxy>, CreateImageEdtDlg,
         KindMemo<CPosMemo, CPosMemo>, KindMemo<CSizeMemo, CSizeMemo>, KindMemo<CFormatMemo, CFormatMemo>},
    };
    return kinds;
}

const ObjectKindInfo* FindObjectKind(int kind)
{
    const std::vector<ObjectKindInfo>& kinds = ObjectKinds();
    return kind >= 0 && kind < static_cast<int>(kinds.size()) ? &kinds[static_cast<size_t>(kind)] : nullptr;
}

const ObjectKindInfo* FindCreationTool(int tool)
{
    for (const ObjectKindInfo& info : ObjectKinds())
        if (info.tool == tool)
            return &info;
    return nullptr;
}

std::unique_ptr<CObjectEdtDlg> CreateObjectEdtDlg(const ObjectEditRequest& request)
{
    const ObjectKindInfo* info = request.object ? FindObjectKind(request.object->GetKind()) : nullptr;
    std::unique_ptr<CObjectEdtDlg> dialog = info ? info->makeDialog(request) : nullptr;
    if (dialog)
        dialog->m_pGeneral->m_objects = request.objects;
    return dialog;
}

bool EditObjectProperties(const ObjectEditRequest& request)
{
    std::unique_ptr<CObjectEdtDlg> dialog = CreateObjectEdtDlg(request);
    return dialog && Services().RunModal(*dialog) == QDialog::Accepted;
}
