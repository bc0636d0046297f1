#pragma once

#include "app/VXBaseDialog.h"

class CBandListPanel;
class CDataBand;
class CLabelData;
class QLineEdit;

// "命名子串": asks the name of a new named substring.
class CNamedSubstringNameDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CNamedSubstringNameDlg(QWidget* parent = nullptr);
    // Refuses a name that is empty once trimmed.
    void accept() override;

    QString m_strName;
    QLineEdit* m_name;
};

// "命名子串": the label's named substrings, edited on copies that replace the label's
// list on OK.
class CNamedSubstringDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    // select: one of the label's substrings to open on, or null for the first.
    CNamedSubstringDlg(CLabelData* label, CDataBand* select, QWidget* parent = nullptr);

    CBandListPanel* m_panel;

protected:
    bool OnOK() override;

private:
    CLabelData* m_pLabelData;
};

// Runs the dialog through the services; true after OK (the label's substrings then
// changed).
bool EditNamedSubstrings(CLabelData& label, CDataBand* select, QWidget* parent = nullptr);
