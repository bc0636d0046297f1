#pragma once

#include "app/VXBaseDialog.h"
#include "model/LabelData.h"

#include <QString>
#include <array>
#include <functional>

class CLineNumberEdit;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTextEdit;
class QTreeWidget;
class QWidget;

// The script editor "脚本编辑器": the label's eleven event texts, one at a time,
// chosen in the event list (mode 1), or one plain text held by the dialog (mode 0).
// It edits a copy of the texts: OK stores them all into the label, Cancel drops every
// change, also those of events the user switched away from.
class CScriptEditorDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    enum Mode { ModePlainText = 0, ModeEventList = 1 };

    explicit CScriptEditorDlg(QWidget* parent = nullptr);

    // Set before the dialog is shown. Not owned.
    void SetLabelData(CLabelData* label) { m_pLabelData = label; }
    int m_nMode = ModeEventList;
    QString m_strPlainText;

protected:
    bool OnOK() override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnInitDialog();
    void ApplyLayout();
    void OnEventSelChange();

    CLabelData* m_pLabelData = nullptr;
    std::array<QString, kScriptEventCount> m_texts;
    bool m_bInitialized = false;
    int m_nCurrentEvent = -1;

    QLabel* m_pEventLabel;
    QListWidget* m_pEventList;
    QLabel* m_pScriptLabel;
    CLineNumberEdit* m_pScriptEdit;
    QLabel* m_pCategoryLabel;
    QTreeWidget* m_pCategories;
    QLabel* m_pNameLabel;
    QListWidget* m_pNames;
    QGroupBox* m_pDescription;
    QPushButton* m_pScriptHelp;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
    QPushButton* m_pHelp;
};

// The script editor for the document's menu or toolbar: runs the dialog modally over
// the label and, after OK, calls documentChanged, which clears the window's undo and
// redo history, marks the document modified and updates its title. True after OK.
bool EditLabelScripts(QWidget* parent, CLabelData& label, const std::function<void()>& documentChanged);

// Dialog "编写脚本": the label's free script text (kScriptPlainText, stored in the
// label file; no job runs it) in an edit filling the dialog.
class CScriptingDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CScriptingDlg(QWidget* parent = nullptr);

    void SetLabelData(CLabelData* label) { m_pLabelData = label; }
    // The label's text while shown; the text as the dialog closed with OK.
    QString m_strText;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyLayout();

    CLabelData* m_pLabelData = nullptr;
    bool m_bInitialized = false;
    QTextEdit* m_pEdit;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
    QPushButton* m_pHelp;
    QPushButton* m_pSyntaxCheck;
};

// Command 40542 of the document window: runs the dialog modally over the label; OK
// stores the text and, when it changed, calls documentChanged (as EditLabelScripts
// does); an unchanged text changes nothing. True after OK.
bool EditScriptText(QWidget* parent, CLabelData& label, const std::function<void()>& documentChanged);
