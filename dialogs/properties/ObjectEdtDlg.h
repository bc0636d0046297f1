#pragma once

#include "app/VXBaseDialog.h"

#include <functional>
#include <memory>
#include <vector>

class CBaseGraph;
class CDataBand;
class CDataSourceEdtPane;
class CGeneralEdtPane;
class CLabelData;
class CObjectPane;
class QTabWidget;

// What the canvas hands the property dialog of one object. The dialog writes into
// the object only on OK, between the two undo callbacks.
struct ObjectEditRequest
{
    CBaseGraph* object = nullptr;
    // Every object of the label (the edited one included), for the duplicate-name check.
    std::vector<const CBaseGraph*> objects;
    CLabelData* label = nullptr;
    // Text and barcode: one of the object's bands; the dialog then opens on its
    // "数据源" tab with that band current.
    CDataBand* bandToSelect = nullptr;
    // beforeApply opens one undo record holding the object as it is; afterApply closes
    // it with the changed object as one step; applyFailed closes it without a step
    // (the object is then as it was). Any of them may be empty.
    std::function<void()> beforeApply;
    std::function<void()> afterApply;
    std::function<void()> applyFailed;
    QWidget* parent = nullptr;
};

// The tabbed property dialog of one object: the frame owns the panes, switches tabs,
// and on OK validates, then applies every pane in its order to a working copy of the
// object, which replaces the object's content only when all panes applied.
class CObjectEdtDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    CObjectEdtDlg(const QString& caption, const ObjectEditRequest& request);

    // Appends a tab; the pane loads from the object now.
    void AddTab(CObjectPane* pane, const QString& caption);
    // The panes in the order OK applies them.
    void SetApplyOrder(std::vector<CObjectPane*> order) { m_applyOrder = std::move(order); }
    // Shows the tab of that pane.
    void ShowPane(CObjectPane* pane);
    int CurrentTab() const;

    CGeneralEdtPane* m_pGeneral = nullptr;
    CObjectPane* m_pFirstPane = nullptr; // the kind's own pane, tab 0
    CDataSourceEdtPane* m_pDataSource = nullptr; // text and barcode

protected:
    bool OnOK() override;
    // Runs on the working copy after every pane applied, before it replaces the
    // object; false (after telling the user why) or a throw keeps the dialog open with
    // the object unchanged.
    virtual bool AfterPanesApplied(CBaseGraph& /*copy*/) { return true; }

    ObjectEditRequest m_request;

private:
    QTabWidget* m_tabs;
    std::vector<CObjectPane*> m_applyOrder;
};

// The "数据源" pane of a text (barcode false) or barcode dialog, opening on the
// request's band; the dialog takes it as its data-source pane.
CDataSourceEdtPane* MakeDataSourcePane(CObjectEdtDlg& dialog, bool barcode, const ObjectEditRequest& request);

// The property dialogs of the kinds with no dialog class of their own (the barcode's
// is CreateBarcodeEdtDlg); the object kind table picks one (CreateObjectEdtDlg).
std::unique_ptr<CObjectEdtDlg> CreateTextEdtDlg(const ObjectEditRequest& request);
std::unique_ptr<CObjectEdtDlg> CreateLineEdtDlg(const ObjectEditRequest& request);
std::unique_ptr<CObjectEdtDlg> CreateRectangleEdtDlg(const ObjectEditRequest& request);
std::unique_ptr<CObjectEdtDlg> CreateEllipseEdtDlg(const ObjectEditRequest& request);
std::unique_ptr<CObjectEdtDlg> CreatePolygonEdtDlg(const ObjectEditRequest& request);
std::unique_ptr<CObjectEdtDlg> CreateImageEdtDlg(const ObjectEditRequest& request);
