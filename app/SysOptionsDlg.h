#pragma once

#include "app/VXBaseDialog.h"

#include <array>

class CColourPicker;
class CGlobalSettings;
class CNumSpinCtrl;
class CVXUnitEdit;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

// A page of the options dialog: it shows the settings object's options and stores
// them back, each on the dialog's call.
class CSysOptionsDlg_Base : public CVXPage
{
    Q_OBJECT
public:
    explicit CSysOptionsDlg_Base(CGlobalSettings& settings, QWidget* parent = nullptr)
        : CVXPage(parent), m_settings(settings)
    {
    }
    // Controls into the settings object.
    virtual void UpdateSettings() = 0;
    // Settings object into the controls.
    virtual void UpdateControls() = 0;

protected:
    CGlobalSettings& m_settings;
};

class CSysOptionsDlg_Common : public CSysOptionsDlg_Base
{
    Q_OBJECT
public:
    explicit CSysOptionsDlg_Common(CGlobalSettings& settings, QWidget* parent = nullptr);
    void UpdateSettings() override;
    void UpdateControls() override;

private:
    QComboBox* m_pFormat;
    QComboBox* m_pStartAction;
    std::array<QCheckBox*, 7> m_checks;
};

class CSysOptionsDlg_NewLabel : public CSysOptionsDlg_Base
{
    Q_OBJECT
public:
    explicit CSysOptionsDlg_NewLabel(CGlobalSettings& settings, QWidget* parent = nullptr);
    void UpdateSettings() override;
    void UpdateControls() override;

private:
    void EnableFile();
    void OnBrowse();

    std::array<QRadioButton*, 3> m_radios;
    QLineEdit* m_pFile;
    QPushButton* m_pBrowse;
};

class CSysOptionsDlg_Others : public CSysOptionsDlg_Base
{
    Q_OBJECT
public:
    explicit CSysOptionsDlg_Others(CGlobalSettings& settings, QWidget* parent = nullptr);
    void UpdateSettings() override;
    void UpdateControls() override;

private:
    CColourPicker* m_pMainColour;
    CColourPicker* m_pLabelColour;
    CVXUnitEdit* m_pUndoMax;
    CVXUnitEdit* m_pScale;
    CNumSpinCtrl* m_pScaleSpin;
};

// "系统选项": the program-wide options in three tabs. OK stores every page into the
// live settings object; "恢复默认值" resets it at once. Writing sysconf.ini is the
// caller's part.
class CSysOptionsDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    explicit CSysOptionsDlg(CGlobalSettings& settings, QWidget* parent = nullptr);

    QTabWidget* Tabs() const { return m_pTabs; }
    void RestoreDefaults();

protected:
    bool OnOK() override;

private:
    CGlobalSettings& m_settings;
    QTabWidget* m_pTabs;
    std::array<CSysOptionsDlg_Base*, 3> m_pages;
};
