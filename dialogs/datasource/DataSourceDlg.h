#pragma once

#include "app/VXBaseDialog.h"

#include <cstdint>
#include <memory>

class CDSBase;
class CVXUnitEdit;
class QShowEvent;

// Base of the per-type data-source dialogs. The dialog's fields are a description
// of its own type: the table, sort, record range, SQL statement, used fields and the
// sample values of the first previewed row, plus the type's connection fields
// (enciphered where the description holds them enciphered). The caller copies a
// description in with LoadDataSource before the run and takes the result out with
// CreateDataSource after OK; the name and type code are not the dialog's business.
class CDataSourceDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    CDataSourceDlg(int resourceId, std::unique_ptr<CDSBase> fields, QWidget* parent = nullptr);
    ~CDataSourceDlg() override;

    // Everything but the name and the sample values: an edited description gets new
    // samples only from a new preview.
    virtual void LoadDataSource(const CDSBase& source);
    // A new description of the dialog's type holding the fields; the caller owns it.
    std::unique_ptr<CDSBase> CreateDataSource() const;
    virtual bool IsConnected() const { return false; }

    const CDSBase& Fields() const { return *m_pFields; }
    int ResourceId() const { return m_nResourceId; }

    bool m_bEditing = false; // set by the caller for an existing description
    bool m_bNew = true;      // set by the caller for a new one

protected:
    // Fills the controls from the fields, once, when the dialog is first shown
    // (after the caller loaded a description).
    virtual void OnInitDialog() {}
    void showEvent(QShowEvent* event) override;

    // A row number edit (integer, no unit) with its spin arrows, 1 to 100,000,000.
    static QWidget* MakeRowEdit(int editId, int spinId, CVXUnitEdit*& edit);

    std::unique_ptr<CDSBase> m_pFields;

private:
    int m_nResourceId;
    bool m_bInitialised = false;
};

// The dialog of a data-source type; null for a type without one (OLE DB and ODBC
// descriptions only come from label files).
std::unique_ptr<CDataSourceDlg> CreateDataSourceDlg(int32_t type, QWidget* parent = nullptr);

// The caller's side of the dialogs. A new description: the dialog of the type is run
// and its description returned after OK, null after Cancel or for a type without a
// dialog. An existing one: the dialog is run on a copy and the edited description
// returned after OK; the source is never touched.
std::unique_ptr<CDSBase> RunNewDataSourceDlg(int32_t type, QWidget* parent);
std::unique_ptr<CDSBase> RunEditDataSourceDlg(const CDSBase& source, QWidget* parent);
