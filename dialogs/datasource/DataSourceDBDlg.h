#pragma once

#include "dialogs/datasource/DataSourceDlg.h"

#include <QGroupBox>
#include <memory>

class CNumSpinCtrl;
class CRadioListBox;
class CReportList;
class CVXUnitEdit;
class DbConnection;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// The inputs that reach one kind of database: a file, or a server with its login.
// Each database dialog holds one, under its title.
class CConnectionPanel : public QGroupBox
{
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

    // Fills the inputs from the fields (enciphered ones deciphered).
    virtual void Show(const CDSBase& fields) = 0;
    // Stores the inputs into the fields (enciphered ones enciphered).
    virtual void Save(CDSBase& fields) const = 0;
    // Whether every input "连接" needs is filled.
    virtual bool HasRequiredInputs() const = 0;
    // A connection to what the inputs name; null when they name nothing to reach.
    virtual std::unique_ptr<DbConnection> Open() const = 0;

Q_SIGNALS:
    void ConnectClicked();
};

// What sets one database dialog apart from the others: its texts and how strict it
// is. Queries are not here: the dialogs list through the data-access layer and
// preview through the type's loader, so a preview shows what printing reads.
struct DbDialogProfile
{
    int32_t type;
    int resourceId;
    const char16_t* caption;
    const char16_t* sortGroup;
    const char16_t* missingInputs; // "连接" with a required input empty
    bool reportsRefusal;           // "无法连接数据库" when the database refuses
    bool okNeedsPreview;           // OK refused until a preview gave sample values
};

// The dialog of a database table: connect, list the tables, list a table's fields,
// restore the stored choice, preview the first rows and keep what the last
// "读入数据" captured. The connection is the dialog's own, closed before a new one
// is opened and when the dialog goes.
class CDataSourceDBDlg : public CDataSourceDlg
{
    Q_OBJECT
public:
    bool IsConnected() const override;

    void ShowDataSource();
    void OnConnect();
    void Connect();
    void LoadTables();
    void SelectTable();
    void OnTableSelChange();
    void LoadFields();
    void ApplyFieldSelection();
    void UpdateRangeControls();
    void SaveControls();
    void OnReadData();
    void PreviewRows();

    // Rows a preview shows before its "..." row.
    static constexpr int kPreviewRows = 9;

protected:
    CDataSourceDBDlg(const DbDialogProfile& profile, std::unique_ptr<CDSBase> fields, CConnectionPanel* panel,
                     QWidget* parent);
    ~CDataSourceDBDlg() override;

    void OnInitDialog() override;
    bool OnOK() override;
    void reject() override;

private:
    void SelectTableRow(int row);
    void CloseConnection();

    const DbDialogProfile& m_profile;
    CConnectionPanel* m_pPanel;
    CRadioListBox* m_listTables;
    QListWidget* m_listFields;
    QComboBox* m_comboSort;
    QRadioButton* m_radioAscending;
    QRadioButton* m_radioDescending;
    QRadioButton* m_radioAll;
    QRadioButton* m_radioFromTo;
    QRadioButton* m_radioSQL;
    CVXUnitEdit* m_editFrom;
    CVXUnitEdit* m_editTo;
    CNumSpinCtrl* m_spinFrom;
    CNumSpinCtrl* m_spinTo;
    QLineEdit* m_editSQL;
    CReportList* m_listPreview;

    std::unique_ptr<DbConnection> m_connection;
    int m_nLastTable = -1; // the table whose fields were listed last
};

class CDataSourceSQLiteDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceSQLiteDlg(QWidget* parent = nullptr);
};

class CDataSourcePostgreSQLDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourcePostgreSQLDlg(QWidget* parent = nullptr);
};

class CDataSourceMySQLDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceMySQLDlg(QWidget* parent = nullptr);
};
