#include "dialogs/properties/ObjectEdtDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/properties/DataSourcePane.h"
#include "dialogs/properties/ObjectPanes.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/BaseGraph.h"
#include "model/ImageGraph.h"
#include "model/Utils.h"
#include "platform/VXException.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace {

void Notify(const std::function<void()>& callback)
{
    if (callback)
        callback();
}

// Points every pane at the working copy for the apply and back at the object after,
// however the apply ends.
class PaneTarget
{
public:
    PaneTarget(const std::vector<CObjectPane*>& panes, CBaseGraph* target) : m_panes(panes)
    {
        for (CObjectPane* pane : m_panes) {
            m_saved.push_back(pane->m_pObject);
            pane->m_pObject = target;
        }
    }
    ~PaneTarget()
    {
        for (size_t i = 0; i < m_panes.size(); ++i)
            m_panes[i]->m_pObject = m_saved[i];
    }
    PaneTarget(const PaneTarget&) = delete;
    PaneTarget& operator=(const PaneTarget&) = delete;

private:
    const std::vector<CObjectPane*>& m_panes;
    std::vector<CBaseGraph*> m_saved;
};

} // namespace

CObjectEdtDlg::CObjectEdtDlg(const QString& caption, const ObjectEditRequest& request)
    : CVXBaseDialog(request.parent), m_request(request)
{
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    m_tabs = SetCtlId(new QTabWidget, 1117);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                                  | QDialogButtonBox::Help));
}

void CObjectEdtDlg::AddTab(CObjectPane* pane, const QString& caption)
{
    pane->m_pObject = m_request.object;
    m_tabs->addTab(pane, caption);
    pane->Load();
}

void CObjectEdtDlg::ShowPane(CObjectPane* pane)
{
    m_tabs->setCurrentWidget(pane);
}

int CObjectEdtDlg::CurrentTab() const
{
    return m_tabs->currentIndex();
}

bool CObjectEdtDlg::OnOK()
{
    // Typed numbers first: a page's own checks read them.
    const auto refuses = [this](CObjectPane* pane) {
        if (CheckNumberBoxes(pane) && pane->Validate())
            return false;
        ShowPane(pane);
        return true;
    };
    if (refuses(m_pGeneral) || refuses(m_pFirstPane))
        return false;
    for (CObjectPane* pane : m_applyOrder)
        if (pane != m_pGeneral && pane != m_pFirstPane && refuses(pane))
            return false;
    CBaseGraph* object = m_request.object;
    std::unique_ptr<CBaseGraph> copy = object->Clone();
    copy->m_pLabelData = object->m_pLabelData;
    Notify(m_request.beforeApply);
    // The panes write into the copy; a pane that throws leaves the object as it was
    // and the undo record without a step.
    try {
        PaneTarget target(m_applyOrder, copy.get());
        for (CObjectPane* pane : m_applyOrder)
            pane->Apply();
        if (!AfterPanesApplied(*copy)) {
            Notify(m_request.applyFailed);
            return false;
        }
    } catch (const VXException&) {
        Notify(m_request.applyFailed);
        throw; // reported by the base, which keeps the dialog open
    } catch (const std::exception& e) {
        Notify(m_request.applyFailed);
        Services().ShowMessage(this, UnexpectedFailureText(e), MessageIcon::Stop);
        return false;
    }
    object->CopyFrom(*copy);
    Notify(m_request.afterApply);
    return true;
}

namespace {

// The kind's own pane first, then the position and the general pane; OK applies
// general, position, then the kind's pane.
std::unique_ptr<CObjectEdtDlg> BoxEdtDlg(std::unique_ptr<CObjectEdtDlg> dialog, CObjectPane* kindPane,
                                         const QString& kindCaption, CObjectPane* position)
{
    auto* general = new CGeneralEdtPane;
    dialog->m_pGeneral = general;
    dialog->m_pFirstPane = kindPane;
    dialog->AddTab(kindPane, kindCaption);
    dialog->AddTab(position, QStringLiteral("位置"));
    dialog->AddTab(general, QStringLiteral("常规"));
    dialog->SetApplyOrder({general, position, kindPane});
    return dialog;
}

std::unique_ptr<CObjectEdtDlg> BoxEdtDlg(const ObjectEditRequest& request, const QString& title, CObjectPane* kindPane,
                                         const QString& kindCaption, CObjectPane* position)
{
    return BoxEdtDlg(std::make_unique<CObjectEdtDlg>(title, request), kindPane, kindCaption, position);
}

// A picture's box follows the picture only as its pane applies: the box it then has
// is checked against a label's bounds there.
class CImageEdtDlg final : public CObjectEdtDlg
{
public:
    explicit CImageEdtDlg(const ObjectEditRequest& request) : CObjectEdtDlg(QStringLiteral("图片编辑框"), request) {}

    CImageEdtPane* m_pImage = nullptr;
    CPositionEdtPane* m_pPosition = nullptr;

protected:
    bool AfterPanesApplied(CBaseGraph& copy) override
    {
        return m_pImage->FittedBoxFits(static_cast<const CImageGraph&>(copy), m_pPosition->m_width);
    }
};

} // namespace

CDataSourceEdtPane* MakeDataSourcePane(CObjectEdtDlg& dialog, bool barcode, const ObjectEditRequest& request)
{
    auto* pane = new CDataSourceEdtPane(barcode);
    pane->m_pLabelData = request.label;
    pane->m_pBandToSelect = request.bandToSelect;
    dialog.m_pDataSource = pane;
    return pane;
}

std::unique_ptr<CObjectEdtDlg> CreateTextEdtDlg(const ObjectEditRequest& request)
{
    auto dialog = std::make_unique<CObjectEdtDlg>(QStringLiteral("文字编辑框"), request);
    auto* text = new CTextEdtPane;
    auto* font = new CFontEdtPane;
    auto* dataSource = MakeDataSourcePane(*dialog, false, request);
    auto* position = new CPositionEdtPane;
    auto* general = new CGeneralEdtPane;
    dialog->m_pGeneral = general;
    dialog->m_pFirstPane = text;
    dialog->AddTab(text, QStringLiteral("文字"));
    dialog->AddTab(font, QStringLiteral("字体"));
    dialog->AddTab(dataSource, QStringLiteral("数据源"));
    dialog->AddTab(position, QStringLiteral("位置"));
    dialog->AddTab(general, QStringLiteral("常规"));
    dialog->SetApplyOrder({general, position, dataSource, font, text});
    if (request.bandToSelect)
        dialog->ShowPane(dataSource);
    return dialog;
}

std::unique_ptr<CObjectEdtDlg> CreateLineEdtDlg(const ObjectEditRequest& request)
{
    return BoxEdtDlg(request, QStringLiteral("直线编辑框"),
                     new CLineEdtPane, QStringLiteral("直线"), new CLinePositionEdtPane);
}

std::unique_ptr<CObjectEdtDlg> CreateRectangleEdtDlg(const ObjectEditRequest& request)
{
    return BoxEdtDlg(request, QStringLiteral("矩形编辑框"),
                     new CRectangleEdtPane, QStringLiteral("矩形"), new CPositionEdtPane);
}

std::unique_ptr<CObjectEdtDlg> CreateEllipseEdtDlg(const ObjectEditRequest& request)
{
    return BoxEdtDlg(request, QStringLiteral("椭圆编辑框"),
                     new CEllipseEdtPane, QStringLiteral("椭圆"), new CPositionEdtPane);
}

std::unique_ptr<CObjectEdtDlg> CreatePolygonEdtDlg(const ObjectEditRequest& request)
{
    return BoxEdtDlg(request, QStringLiteral("多边形编辑框"),
                     new CPolygonEdtPane, QStringLiteral("多边形"), new CPolygonPositionEdtPane);
}

std::unique_ptr<CObjectEdtDlg> CreateImageEdtDlg(const ObjectEditRequest& request)
{
    auto dialog = std::make_unique<CImageEdtDlg>(request);
    auto* image = new CImageEdtPane;
    image->m_pLabelData = request.label;
    auto* position = new CPositionEdtPane;
    position->RequirePositiveSize();
    dialog->m_pImage = image;
    dialog->m_pPosition = position;
    return BoxEdtDlg(std::move(dialog), image, QStringLiteral("图片"), position);
}

