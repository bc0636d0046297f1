#pragma once

#include "app/VXBaseDialog.h"

#include <QString>

class CGroupCheck;
class CVXUnitEdit;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

// "分组设置": whether the characters of a human-readable line (a barcode's or a
// single-line text's) are grouped, what separates the groups and the group rule.
// The caller sets the five values, runs the dialog and takes them back after OK only.
class CGroupingSettingsDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    explicit CGroupingSettingsDlg(QWidget* parent = nullptr);

    bool m_bGrouping = false;
    int m_nSeparator = 0; // GroupSeparator; kept as it was while grouping is off
    QString m_strSeparator;
    float m_fGroupGap = 0.0f;
    QString m_strGroupRule;

    void OnGroupingClicked();
    void OnSeparatorChanged();

protected:
    void showEvent(QShowEvent* event) override;
    bool OnOK() override;

private:
    void OnInitDialog();
    void UpdateSeparatorControls();

    bool m_bInitialised = false;
    QGroupBox* m_box;
    CGroupCheck* m_grouping;
    QComboBox* m_separator;
    QLabel* m_customLabel;
    QLineEdit* m_custom;
    QLabel* m_gapLabel;
    CVXUnitEdit* m_gap;
    QLineEdit* m_rule;
};

// Runs the dialog on the caller's five grouping values; they change only on OK.
// True after OK.
bool RunGroupingSettings(QWidget* parent, bool& grouping, int& separator, QString& separatorText, float& groupGap,
                         QString& groupRule);
