#pragma once

#include "app/VXBaseDialog.h"

#include <QStringList>
#include <array>

class CLabelData;
class CScreenDataView;
class CSDGraph;
class CVXUnitEdit;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QListWidget;
class QToolBar;

// A property page of the form designer. Each page keeps its own copy of the values;
// the dialog copies them between the current item and the page. A store reads the
// controls and tells the dialog through Stored(), which applies the page at once.
class CScreenDataPropertyDlg_Base : public CVXPage
{
    Q_OBJECT
public:
    explicit CScreenDataPropertyDlg_Base(QWidget* parent = nullptr);

    // Values -> controls.
    virtual void LoadControls();
    // Controls -> values.
    virtual void StoreControls();

    QString m_strName;
    int m_nX = 0;
    int m_nY = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    QString m_strText;

Q_SIGNALS:
    void Stored();

protected:
    // The name, position, size and (when textId is not 0) text rows.
    void AddItemRows(int textId);
    CVXUnitEdit* AddNumberRow(int id, const QString& label);
    QLineEdit* AddTextRow(int id, const QString& label);
    void StoreOnEdit(QLineEdit* edit);
    void StoreAndNotify();

    class QFormLayout* m_pForm = nullptr;
    QLineEdit* m_pNameEdit = nullptr;
    std::array<CVXUnitEdit*, 4> m_boxEdits{};
    QLineEdit* m_pTextEdit = nullptr;
};

class CScreenDataPropertyDlg_Form : public CScreenDataPropertyDlg_Base
{
    Q_OBJECT
public:
    explicit CScreenDataPropertyDlg_Form(QWidget* parent = nullptr);
    void LoadControls() override;
    void StoreControls() override;

    QString m_strCaption;
    int m_nFormWidth = 0;
    int m_nFormHeight = 0;

private:
    QLineEdit* m_pCaption;
    CVXUnitEdit* m_pFormWidth;
    CVXUnitEdit* m_pFormHeight;
};

class CScreenDataPropertyDlg_Static : public CScreenDataPropertyDlg_Base
{
    Q_OBJECT
public:
    explicit CScreenDataPropertyDlg_Static(QWidget* parent = nullptr);
};

class CScreenDataPropertyDlg_Edit : public CScreenDataPropertyDlg_Base
{
    Q_OBJECT
public:
    explicit CScreenDataPropertyDlg_Edit(QWidget* parent = nullptr);
    void LoadControls() override;
    void StoreControls() override;

    bool m_bMultiLine = false;

private:
    QCheckBox* m_pMultiLine;
};

class CScreenDataPropertyDlg_Combo : public CScreenDataPropertyDlg_Base
{
    Q_OBJECT
public:
    explicit CScreenDataPropertyDlg_Combo(QWidget* parent = nullptr);
    void LoadControls() override;
    void StoreControls() override;

    QStringList m_entries;

private:
    void OnAdd();
    void OnRemove();

    QListWidget* m_pList;
};

class CScreenDataPropertyDlg_Date : public CScreenDataPropertyDlg_Base
{
    Q_OBJECT
public:
    explicit CScreenDataPropertyDlg_Date(QWidget* parent = nullptr);
    void LoadControls() override;
    void StoreControls() override;

private:
    QDateEdit* m_pDate;
};

// Asks for one drop-down entry.
class CScreenDataPropertyDlg_ComboItem : public CVXBaseDialog
{
    Q_OBJECT
public:
    explicit CScreenDataPropertyDlg_ComboItem(QWidget* parent = nullptr);

    QString m_strText;

protected:
    bool OnOK() override;

private:
    QLineEdit* m_pEdit;
};

// The screen-data form designer: a tool bar, the canvas on the left, the item
// selector and the current item's (or the form's) property page on the right. It
// works on clones of the label's items; only OK writes them back.
class CScreenDataDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    explicit CScreenDataDlg(QWidget* parent = nullptr);
    ~CScreenDataDlg() override;

    // Sets the label record of the dialog and its canvas and loads the form.
    void SetLabelData(CLabelData* label);

    CScreenDataView* View() const { return m_pView; }
    CScreenDataPropertyDlg_Base* CurrentPage() const;

protected:
    bool OnOK() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnViewChanged();
    void OnSelectorActivated(int index);
    // Checks the tool bar button of the canvas's tool.
    void CheckTool(int tool);
    void LoadCurrentPage();
    void ApplyPage();
    void RefreshSelector();
    void Layout();

    CScreenDataView* m_pView;
    CScreenDataPropertyDlg_Form* m_pFormPage;
    std::array<CScreenDataPropertyDlg_Base*, 4> m_itemPages{};
    CLabelData* m_pLabelData = nullptr;
    bool m_bPagesReady = false;
    QComboBox* m_pSelector;
    QToolBar* m_pToolBar;
    std::array<QAction*, 5> m_tools{};
    class QDialogButtonBox* m_pButtons;
};

// The document window's "窗口数据设置..." command: designs the label's screen-data
// form. True when the user confirmed; the caller then clears the undo history, marks
// the document modified and refreshes the object pane.
bool EditScreenDataForm(CLabelData& label, QWidget* parent);
