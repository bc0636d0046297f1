#include "dialogs/datasource/DataSourceDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/datasource/DataSourceDBDlg.h"
#include "dialogs/datasource/DataSourceTXTDlg.h"
#include "model/DSBase.h"

#include <QShowEvent>

CDataSourceDlg::CDataSourceDlg(int resourceId, std::unique_ptr<CDSBase> fields, QWidget* parent)
    : CVXBaseDialog(parent), m_pFields(std::move(fields)), m_nResourceId(resourceId)
{
    // Both record numbers start at 1 in the dialogs.
    m_pFields->m_nFrom = 1;
    m_pFields->m_nTo = 1;
}

CDataSourceDlg::~CDataSourceDlg() = default;

void CDataSourceDlg::LoadDataSource(const CDSBase& source)
{
    m_pFields->CopyFrom(source);
    m_pFields->m_strName.clear();
    m_pFields->m_sampleValues.clear();
}

std::unique_ptr<CDSBase> CDataSourceDlg::CreateDataSource() const
{
    return m_pFields->Clone();
}

void CDataSourceDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    CVXBaseDialog::showEvent(event);
}

QWidget* CDataSourceDlg::MakeRowEdit(int editId, int spinId, CVXUnitEdit*& edit)
{
    QWidget* row = nullptr;
    edit = MakeCountEdit(editId, spinId, 1, 100000000, &row);
    return row;
}

std::unique_ptr<CDataSourceDlg> CreateDataSourceDlg(int32_t type, QWidget* parent)
{
    switch (type) {
    case DSText:
        return std::make_unique<CDataSourceTXTDlg>(parent);
    case DSSQLite:
        return std::make_unique<CDataSourceSQLiteDlg>(parent);
    case DSPostgreSQL:
        return std::make_unique<CDataSourcePostgreSQLDlg>(parent);
    case DSMySQL:
        return std::make_unique<CDataSourceMySQLDlg>(parent);
    case DSExcel:
        return std::make_unique<CDataSourceExcelDlg>(parent);
    case DSAccess:
        return std::make_unique<CDataSourceAccessDlg>(parent);
    case DSSQLServer:
        return std::make_unique<CDataSourceSQLServerDlg>(parent);
    case DSSybase:
        return std::make_unique<CDataSourceSybaseDlg>(parent);
    case DSDB2:
        return std::make_unique<CDataSourceDB2Dlg>(parent);
    case DSOracle:
        return std::make_unique<CDataSourceOracleDlg>(parent);
    case DSCustom:
        return std::make_unique<CDataSourceCustomDlg>(parent);
    default:
        return nullptr;
    }
}

std::unique_ptr<CDSBase> RunNewDataSourceDlg(int32_t type, QWidget* parent)
{
    std::unique_ptr<CDataSourceDlg> dialog = CreateDataSourceDlg(type, parent);
    if (!dialog)
        return nullptr;
    // The text-file dialog reads its flags differently: it starts neither new nor
    // editing and reads the file at once only when editing.
    dialog->m_bNew = type != DSText;
    dialog->m_bEditing = false;
    if (Services().RunModal(*dialog) != QDialog::Accepted)
        return nullptr;
    return dialog->CreateDataSource();
}

std::unique_ptr<CDSBase> RunEditDataSourceDlg(const CDSBase& source, QWidget* parent)
{
    std::unique_ptr<CDataSourceDlg> dialog = CreateDataSourceDlg(source.GetType(), parent);
    if (!dialog)
        return nullptr;
    dialog->LoadDataSource(source);
    dialog->m_bEditing = true;
    dialog->m_bNew = false;
    if (Services().RunModal(*dialog) != QDialog::Accepted)
        return nullptr;
    return dialog->CreateDataSource();
}
