#pragma once

#include "app/VXBaseDialog.h"

class QComboBox;
class QRadioButton;

// "附加码设置": the add-on of an EAN/UPC symbol. The caller sets the three values,
// runs the dialog and takes them back after OK only.
class CSupplementalDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    explicit CSupplementalDlg(QWidget* parent = nullptr);

    int m_nAddonKind = 0;  // 0 none, 1 two digits, 2 five digits
    int m_nQuietZone = 0;  // modules left of the add-on, 0-20
    int m_nStyle = 0;      // 0-4

    // save: controls to values; else values to controls.
    virtual void Exchange(bool save);
    void OnLengthChanged();

protected:
    void showEvent(QShowEvent* event) override;
    bool OnOK() override;

private:
    bool m_bInitialised = false;
    QComboBox* m_length;
    QComboBox* m_quietZone;
    QRadioButton* m_styles[5];
};
