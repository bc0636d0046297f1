#pragma once

#include "app/Commands.h"
#include "app/LabelDocumentWindow.h"

#include <QColor>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>

class CGlobalSettings;
class CLabelData;
class CVXStatusBar;
class QComboBox;
class QDialog;
class QDockWidget;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;

// Ids of the docking panes.
enum DockingPaneId : int { PaneObjects = 29111, PaneResources = 29113, PaneTemplates = 29114 };

// The program's main window: menu bar and toolbars from the command table, the
// tabbed label documents, the docking panes and the status bar; the commands that
// concern all documents (new, open, drop, save all, close all, the panes and bars,
// options, calculator, help) and the saved layout of bars and panes.
class CMainFrame : public QMainWindow, public CommandTarget, public IDocumentHost
{
    Q_OBJECT
public:
    // The application, when given, is the last target of the command route.
    explicit CMainFrame(CommandTarget* application = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CommandManager& Commands() override { return *m_pCommands; }
    CVXStatusBar* StatusBar() const { return m_pStatusBar; }
    QMdiArea* MdiArea() const { return m_pMdiArea; }
    LabelDocumentWindow* ActiveLabelWindow() const;
    // In creation order.
    QList<LabelDocumentWindow*> LabelWindows() const;
    QToolBar* ToolBar(int resourceId) const;
    QDockWidget* Pane(int paneId) const;
    QComboBox* FontNameCombo() const override { return m_pFontNameCombo; }
    QComboBox* FontSizeCombo() const override { return m_pFontSizeCombo; }
    // The colour last picked in a colour pop-up's selector (30813, 30817, 30821, 30825).
    QColor SelectorColour(int selectorId) const override;

    // Seams for the windows and dialogs this frame opens.
    void SetLabelWindowFactory(LabelWindowFactory factory) { m_windowFactory = std::move(factory); }
    // Asks the settings of a new label; false cancels New. Without one a new label
    // takes the record's defaults.
    void SetNewLabelPrompt(std::function<bool(CLabelData&)> prompt) { m_newLabelPrompt = std::move(prompt); }
    using SettingsDialogFactory = std::function<std::unique_ptr<QDialog>(CGlobalSettings&, QWidget* parent)>;
    // The options dialog (its OK saves the settings); its command is disabled until
    // it is given.
    void SetSysOptionsDialog(SettingsDialogFactory factory) { m_sysOptionsDialog = std::move(factory); }

    void OnFileNew();
    void OnFileOpen();
    // Reads the file (any extension) into a new label window. A file that cannot be
    // read is reported with the reader's message and opens nothing (null).
    LabelDocumentWindow* OpenLabelFile(const QString& path);
    // The label window that has the file open, or null.
    LabelDocumentWindow* LabelWindowOf(const QString& path) const override;
    void LabelFileOpened(const QString& path) override { Q_EMIT labelFileOpened(path); }
    void ObjectPaneUpdate(LabelDocumentWindow* window, int code) override { Q_EMIT objectPaneUpdate(window, code); }
    // Brings the window that has the file open to the front; false when none has.
    bool ActivateLabelWindow(const QString& path);
    // Shows the file's window when it is open, else opens it: two windows of one file
    // would each save over the other's edits. False when it could not be opened.
    bool ShowLabelFile(const QString& path);
    // Opens an existing file as an untitled label: saving asks for a path.
    LabelDocumentWindow* OpenAsNewLabel(const QString& path);
    // Opens the dropped local files whose names end in ".vmk", in order.
    void OpenDroppedFiles(const QList<QUrl>& urls);
    // Saves every label window once, a failed one reported, and ends with the window
    // active that was active before.
    void OnFileSaveAll();
    // Closes the label windows one by one; false when one refused (its save prompt
    // was cancelled).
    bool CloseAllLabels();
    void OnSysOptions();
    void UpdatePrinterPane();
    // Shows the pane in front of its tab group (the resource library when a label
    // hands it objects).
    void ShowPane(int paneId);
    // Brings the window to the front for a later start, restoring it when minimised.
    void BringToFront();

    // Puts the bars and panes where the saved layout has them; a missing or damaged
    // layout gives the default one. Saving happens when the window closes.
    void RestoreLayout();
    void SaveLayout();
    void ApplyDefaultLayout();

    static bool IsLabelFileName(const QString& path);

Q_SIGNALS:
    // A file was read into a window; asNew: it became a new untitled label (a template
    // used), which is how the recent-file list opens it again.
    void labelFileOpened(const QString& path, bool asNew = false);
    // The frame closed with every label: the program is ending.
    void closed();
    // Tells the object pane about a label window: 0 created, 3 to 7 after a file was
    // read (form, nothing, substrings, data sources, objects).
    void objectPaneUpdate(LabelDocumentWindow* window, int code);

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBars();
    void CreateFormatControls(QToolBar* bar);
    void CreateColourButton(QToolBar* bar, int buttonId);
    void CreatePanes();
    void RegisterCommands();
    LabelDocumentWindow* AddLabelWindow(std::unique_ptr<CLabelData> label);
    // A window with the file read into it, titled and named by the file, or as a new
    // untitled label (newLabel).
    LabelDocumentWindow* ReadLabelWindow(const QString& path, bool newLabel = false);
    // The file read into a new record; null after reporting why it could not be.
    // What the reader brought into range is left in warnings, to be told once the label shows.
    std::unique_ptr<CLabelData> ReadLabel(const QString& path, QStringList* warnings = nullptr);
    // A window of a new untitled label ("新建标签N.vmk").
    LabelDocumentWindow* AddNewLabelWindow(std::unique_ptr<CLabelData> label);
    std::vector<CommandTarget*> Route() const;
    // The label window current last, while it is still in the area; else null.
    QMdiSubWindow* LastCurrentSubWindow() const;
    // The docking pane that holds the keyboard focus, or null.
    QDockWidget* FocusedPane() const;
    // The program's name, followed by the active label's title when there is one.
    void UpdateFrameTitle();

    CommandTarget* m_pApplication;
    // Takes the editing commands while a pane has the focus and the pane itself does
    // not: a key pressed there never reaches the objects of the label behind it.
    CommandTarget m_paneFocus;
    CommandManager* m_pCommands;
    CVXStatusBar* m_pStatusBar;
    QMdiArea* m_pMdiArea;
    // The label window current last: minimising the frame leaves the area with none.
    QPointer<QMdiSubWindow> m_pLastCurrent;
    QComboBox* m_pFontNameCombo = nullptr;
    QComboBox* m_pFontSizeCombo = nullptr;
    std::map<int, QToolBar*> m_toolBars;
    std::map<int, QDockWidget*> m_panes;
    std::map<int, QColor> m_selectorColours;
    QByteArray m_defaultLayout;
    int m_nNewLabelCount = 0;
    bool m_bFontSizePending = false;
    LabelWindowFactory m_windowFactory;
    std::function<bool(CLabelData&)> m_newLabelPrompt;
    SettingsDialogFactory m_sysOptionsDialog;
};
