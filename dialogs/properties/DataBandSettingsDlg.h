#pragma once

#include "app/VXBaseDialog.h"

#include <QString>
#include <memory>
#include <vector>

class CDataBand;
class CVXUnitEdit;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QTabWidget;

// A pad or fill character as a band keeps it: one ASCII character. An empty text
// gives '0' (a NUL would print); a character outside ASCII keeps previous.
char BandCharFromText(const QString& text, char previous);

// One page of the data-band settings. It edits the dialog's working copy of the band:
// LoadFromBand fills the controls, StoreToBand writes them back. A check box that
// switches a setting off keeps the setting's values in the working copy and the
// disabled controls store nothing, so switching it on again shows them.
class CDataBandSettings_Base : public CVXPage
{
    Q_OBJECT
public:
    using CVXPage::CVXPage;

    virtual void LoadFromBand() = 0;
    virtual void StoreToBand() = 0;
    // Runs the check-box handlers once, for the enabled states after loading.
    virtual void UpdateChecks() {}

    CDataBand* m_pBand = nullptr;

protected:
    // The pages stand in a dialog of their own: Return reaches it and presses 确定.
    void keyPressEvent(QKeyEvent* event) override;
};

class CDataBandSettings_Serial : public CDataBandSettings_Base
{
    Q_OBJECT
public:
    explicit CDataBandSettings_Serial(QWidget* parent = nullptr);
    void LoadFromBand() override;
    void StoreToBand() override;
    void UpdateChecks() override;
    void OnBaseChange();
    void OnPadCheck();
    void OnThresholdCheck();

    QComboBox* m_base;
    QLineEdit* m_alphabet;
    QRadioButton* m_up;
    QRadioButton* m_down;
    CVXUnitEdit* m_step;
    CVXUnitEdit* m_length;
    QCheckBox* m_pad;
    QLineEdit* m_padChar;
    QLineEdit* m_start;
    QCheckBox* m_threshold;
    QLineEdit* m_thresholdValue;
    QCheckBox* m_cyclic;
};

class CDataBandSettings_Comm : public CDataBandSettings_Base
{
    Q_OBJECT
public:
    explicit CDataBandSettings_Comm(QWidget* parent = nullptr);
    void LoadFromBand() override;
    void StoreToBand() override;

    QLineEdit* m_prefix;
    QLineEdit* m_suffix;
};

class CDataBandSettings_Char : public CDataBandSettings_Base
{
    Q_OBJECT
public:
    explicit CDataBandSettings_Char(QWidget* parent = nullptr);
    void LoadFromBand() override;
    void StoreToBand() override;
    void UpdateChecks() override;
    void OnMinimumCheck();
    void OnMaximumCheck();

    QCheckBox* m_minimum;
    CVXUnitEdit* m_minLength;
    QComboBox* m_fillSide;
    QLineEdit* m_fillChar;
    QCheckBox* m_maximum;
    CVXUnitEdit* m_maxLength;
    QComboBox* m_cutSide;
    std::vector<QWidget*> m_minControls;
    std::vector<QWidget*> m_maxControls;
};

class CDataBandSettings_Truc : public CDataBandSettings_Base
{
    Q_OBJECT
public:
    explicit CDataBandSettings_Truc(QWidget* parent = nullptr);
    void LoadFromBand() override;
    void StoreToBand() override;
    void UpdateChecks() override;

    struct Count
    {
        QCheckBox* check;
        CVXUnitEdit* edit;
        QWidget* row;
        bool CDataBand::*flag;
        int32_t CDataBand::*count;
    };
    QCheckBox* m_trimLeft;
    QCheckBox* m_trimRight;
    std::vector<Count> m_counts;

private:
    void OnCountCheck(const Count& count);
};

class CDataBandSettings_Num : public CDataBandSettings_Base
{
    Q_OBJECT
public:
    explicit CDataBandSettings_Num(QWidget* parent = nullptr);
    void LoadFromBand() override;
    void StoreToBand() override;
    void UpdateChecks() override;
    void OnDecimalsCheck();

    QCheckBox* m_upper;
    QCheckBox* m_lower;
    QCheckBox* m_decimalsOn;
    CVXUnitEdit* m_decimals;
    QCheckBox* m_round;
    QCheckBox* m_thousands;
    QComboBox* m_conversion;
};

// "更多数据源选项": the formatting options of one band (and its serial settings for a
// serial band). The pages work on a copy; OK writes every page into the band, Cancel
// leaves it as it was.
class CDataBandSettingsDlg : public QDialog
{
    Q_OBJECT
public:
    CDataBandSettingsDlg(CDataBand* band, QWidget* parent = nullptr);
    ~CDataBandSettingsDlg() override;

    void accept() override;

    QTabWidget* m_tabs;
    std::vector<CDataBandSettings_Base*> m_pages;

private:
    CDataBand* m_pBand;
    std::unique_ptr<CDataBand> m_work;
};
