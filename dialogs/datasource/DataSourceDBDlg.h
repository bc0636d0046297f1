#pragma once

#include "dialogs/datasource/DataSourceDlg.h"
#include "platform/db/DbConnection.h"

#include <QGroupBox>
#include <functional>
#include <memory>

class CNumSpinCtrl;
class CRadioListBox;
class CReportList;
class CVXUnitEdit;


class QComboBox;
class QListWidget;
class QPlainTextEdit;
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
    // Panels of provider-string sources leave this to the dialog, which connects
    // with the string their type's loader makes.
    virtual std::unique_ptr<DbConnection> Open() const { return nullptr; }
    // The file the inputs name, told with a refused connection; empty for a server.
    virtual QString FileName() const { return {}; }

Q_SIGNALS:
    void ConnectClicked();
};

// How a dialog whose source is named by a provider connection string lists its
// tables. Fields and rows are read with the statements the type's loader prints
// with (CSqlStatements).
struct ProviderQueries
{
    const char16_t* tableQuery; // every column of a row, trimmed and joined by "."; null: the source's own list
    bool sheetsOnly;            // listed names ending in "$", shown without it (workbook sheets)
    int shownRows;              // rows shown before "..."
    const char16_t* connectMissing; // Connect with a required input empty; null: silent
};

// What sets one database dialog apart from the others: its texts and how strict it
// is. Without provider queries the dialogs list through the data-access layer and
// preview through the type's loader, so a preview shows what printing reads; with
// them they run the loader's statements on the connection the loader would open.
struct DbDialogProfile
{
    int32_t type;
    int resourceId;
    const char16_t* caption;
    const char16_t* sortGroup;
    const char16_t* missingInputs; // "连接" with a required input empty
    bool reportsRefusal;           // "无法连接数据库" when the database refuses
    bool okNeedsPreview;           // OK refused until a preview gave sample values
    const ProviderQueries* provider = nullptr;
};

// The dialog of a database table: connect, list the tables, list a table's fields,
// restore the stored choice, preview the first rows and keep what the last
// "读入数据" captured; OK refuses settings changed since that read. The connection
// is the dialog's own, closed before a new one is opened and when the dialog goes.
class CDataSourceDBDlg : public CDataSourceDlg
{
    Q_OBJECT
public:
    bool IsConnected() const override;

    void ShowDataSource();
    void OnConnect();
    // False when no connection is open afterwards.
    bool Connect();
    // False when the source refused the listing (already reported).
    bool LoadTables();
    void SelectTable();
    void OnTableSelChange();
    void LoadFields();
    void ApplyFieldSelection();
    void UpdateRangeControls();
    void SaveControls();
    void OnReadData();
    // False when the source could not be read (already reported).
    bool PreviewRows();

    // Rows a preview shows before its "..." row.
    static constexpr int kPreviewRows = 9;

    // Where provider-string connections come from; tests put a scripted one here.
    using ProviderOpener = std::function<std::unique_ptr<DbConnection>(const QString& connectionString,
                                                                       const QString& user, const QString& password)>;
    void SetProviderOpener(ProviderOpener opener) { m_openProvider = std::move(opener); }

protected:
    CDataSourceDBDlg(const DbDialogProfile& profile, std::unique_ptr<CDSBase> fields, CConnectionPanel* panel,
                     QWidget* parent);
    ~CDataSourceDBDlg() override;

    void OnInitDialog() override;
    bool OnOK() override;
    void reject() override;

private:
    void SelectTableRow(int row);
    void SaveControlsTo(CDSBase& ds) const;
    void CloseConnection();
    void ConnectAndList();
    // The description with the connection fields as the panel shows them.
    std::unique_ptr<CDSBase> PanelSource() const;
    std::unique_ptr<DbConnection> OpenProvider() const;
    // Reports a failure of the source: what failed and what to check, then the
    // database's own text as the detail; false.
    bool ReportFailure(const QString& sentence, const QString& detail);
    // A failed call of the connection: as ReportFailure, or the connection's message alone
    // when the call was cancelled or stopped at its limit.
    bool ReportCallFailure(const QString& sentence, const DbConnection& connection);
    bool ProviderPreview(DbRows& rows);
    // Whether the source may connect from this dialog: one the user typed or changed here
    // is allowed by that act; one as the label brought it is asked about. Reports a refusal.
    bool AllowConnection(const CDSBase& source);

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
    QPlainTextEdit* m_editSQL;
    CReportList* m_listPreview;

    std::unique_ptr<DbConnection> m_connection;
    ProviderOpener m_openProvider;
    int m_nLastTable = -1; // the table whose fields were listed last
    QByteArray m_readSettings; // what the last read (or the edited description) was read with
    bool m_bRead = false;      // "读入数据" succeeded in this dialog
    QString m_strArrivedKey;   // the approval key of the description as it came, for an edited one
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

class CDataSourceExcelDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceExcelDlg(QWidget* parent = nullptr);
};

class CDataSourceAccessDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceAccessDlg(QWidget* parent = nullptr);
};

class CDataSourceSQLServerDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceSQLServerDlg(QWidget* parent = nullptr);
};

class CDataSourceSybaseDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceSybaseDlg(QWidget* parent = nullptr);
};

class CDataSourceDB2Dlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceDB2Dlg(QWidget* parent = nullptr);
};

class CDataSourceOracleDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceOracleDlg(QWidget* parent = nullptr);
};

class CDataSourceCustomDlg : public CDataSourceDBDlg
{
    Q_OBJECT
public:
    explicit CDataSourceCustomDlg(QWidget* parent = nullptr);
};
