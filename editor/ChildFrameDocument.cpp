// The document window's commands that hand the whole label to another window or
// dialog: printing, the preview, data sources, label settings, the screen-data form
// and the scripts.
#include "editor/ChildFrame.h"

#include "dialogs/datasource/DatabaseDlg.h"
#include "dialogs/properties/LabelSettingsDlg.h"
#include "dialogs/properties/NamedSubstringDlg.h"
#include "editor/BaseProxy.h"
#include "editor/ChildView.h"
#include "editor/Ruler.h"
#include "model/BaseGraph.h"
#include "model/LabelData.h"
#include "output/ui/PreviewFrame.h"
#include "output/ui/PrintCommands.h"
#include "output/ui/ScreenDataDlg.h"
#include "output/ui/ScriptEditorDlg.h"

namespace {

// Object-pane update codes of the document window.
constexpr int kPaneScreenDataChanged = 3;
constexpr int kPaneNamedSubstringsChanged = 5;
constexpr int kPaneDataSourcesChanged = 6;

} // namespace

CChildFrame::ObjectListScope::ObjectListScope(CChildFrame& frame)
    : m_label(*frame.m_pLabelData)
{
    m_label.DeleteObjects();
    for (const auto& proxy : frame.m_pView->ObjectList()) {
        const CBaseGraph* object = proxy->GetObject();
        std::unique_ptr<CBaseGraph> copy = object ? object->Clone() : nullptr;
        if (!copy)
            continue;
        copy->m_pLabelData = &m_label;
        m_label.m_objects.push_back(std::move(copy));
    }
}

CChildFrame::ObjectListScope CChildFrame::WholeLabel()
{
    m_pView->CommitPendingEdits();
    return ObjectListScope(*this);
}

CChildFrame::ObjectListScope::~ObjectListScope()
{
    m_label.DeleteObjects();
}

std::function<bool(CLabelData&)> CChildFrame::NewLabelPrompt(QWidget* parent)
{
    return [parent](CLabelData& label) { return RunLabelSettingsDlg(label, nullptr, true, parent); };
}

void CChildFrame::NotifyObjectPane(int code)
{
    if (m_pMainFrame)
        m_pMainFrame->ObjectPaneUpdate(this, code);
}

void CChildFrame::EditNamedSubstrings(CDataBand* select)
{
    if (!::EditNamedSubstrings(*m_pLabelData, select, this))
        return;
    NotifyObjectPane(kPaneNamedSubstringsChanged);
    DocumentChanged();
}

void CChildFrame::DocumentChanged()
{
    // Clearing the history says it changed, which fits the bars to what may be a new size.
    m_pView->UndoManager().Clear();
    m_pView->SetModified(true);
}

void CChildFrame::RegisterDocumentCommands()
{
    OnCommand(CmdFilePrint, [this] {
        const ObjectListScope objects = WholeLabel();
        RunPrintDialog(objects.Label(), this);
    });
    OnCommand(CmdFilePrintPreview, [this] {
        const ObjectListScope objects = WholeLabel();
        OpenPrintPreview(objects.Label(), this);
    });
    OnCommand(CmdLabelDataSources, [this] {
        // With the canvas objects, so that the manager can tell which ones read a source.
        if (!RunDataSourceManager(WholeLabel().Label(), this))
            return;
        NotifyObjectPane(kPaneDataSourcesChanged);
        DocumentChanged();
    });
    OnCommand(CmdLabelSettings, [this] {
        QStringList names;
        for (const auto& proxy : m_pView->ObjectList())
            names.append(proxy->GetObject() ? proxy->GetObject()->m_strName : QString());
        if (RunLabelSettingsDlg(*m_pLabelData, &names, false, this)) {
            DocumentChanged();
            // The label may have a new size: a window in fit mode fits it again.
            if (m_bFitToWindow)
                Fit();
            m_pHorzRuler->SetFindLabel(!IsLabelVisible());
        }
        m_pView->Redraw();
    });
    OnCommand(CmdLabelScreenData, [this] {
        if (!EditScreenDataForm(*m_pLabelData, this))
            return;
        NotifyObjectPane(kPaneScreenDataChanged);
        DocumentChanged();
    });
    OnCommand(CmdLabelScriptEditor, [this] { EditLabelScripts(this, *m_pLabelData, [this] { DocumentChanged(); }); });
    OnCommand(CmdLabelScriptText, [this] { EditScriptText(this, *m_pLabelData, [this] { DocumentChanged(); }); });
    OnCommand(CmdLabelExternalVariables, [] {}); // the external-variable window is not part of this program
}
