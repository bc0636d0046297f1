#pragma once

#include "app/VXBaseDialog.h"

#include <QKeySequence>
#include <QString>
#include <map>
#include <set>

class CMainFrame;
class QKeySequenceEdit;
class QMainWindow;
class QSettings;
class QTreeWidget;
class QTreeWidgetItem;

// What the user changed in the main window's command bars: tool-bar buttons taken off
// their bars and keyboard shortcuts that differ from the program's own. Kept with the
// window layout.
struct CommandBarCustomisation
{
    std::map<QString, std::set<int>> hiddenButtons; // tool bar objectName -> command ids
    std::map<int, QKeySequence> shortcuts;          // command id -> shortcut (empty: none)

    // The window's state now.
    static CommandBarCustomisation Read(const QMainWindow& frame);
    // Shows and hides the buttons and sets every menu command's shortcut.
    void Apply(QMainWindow& frame) const;
    void Save(QSettings& settings) const;
    static CommandBarCustomisation Load(QSettings& settings);

    bool operator==(const CommandBarCustomisation&) const = default;
};

// The shortcut the program gives a command, empty for none.
QKeySequence DefaultShortcut(int commandId);

// The customise dialog (command 35001): the commands of the main menu by menu, each
// with its shortcut and, for a command on a tool bar, whether its button shows. It
// edits a copy; OK applies it to the window and stores it with the layout.
class CCustomizeDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    explicit CCustomizeDlg(CMainFrame& frame);

    const CommandBarCustomisation& Result() const { return m_edited; }

protected:
    bool OnOK() override;

private:
    void Fill();
    void OnSelectionChanged();
    void OnAssign();
    void OnClearShortcut();
    void OnReset();
    void OnItemChanged(QTreeWidgetItem* item, int column);
    int SelectedCommand() const;
    QString CommandText(int id) const;

    CMainFrame& m_frame;
    CommandBarCustomisation m_edited;
    QTreeWidget* m_tree;
    QKeySequenceEdit* m_keyEdit;
    bool m_bFilling = false;
};

// Runs the customise dialog on the frame; true after OK.
bool RunCustomizeDlg(CMainFrame& frame);
// The frame's customisation, stored with and restored from its layout.
void SaveCommandBarCustomisation(const QMainWindow& frame);
void RestoreCommandBarCustomisation(QMainWindow& frame);
