#pragma once

#include "app/VXBaseDialog.h"
#include "dialogs/properties/BandListController.h"
#include "dialogs/properties/ObjectPanes.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class CComboBoxBold;
class CDataBand;
class CLabelData;
class QAction;
class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QToolBar;

// The kinds a band list offers, in the kind list's order.
struct BandKindInfo
{
    int kind;
    const char16_t* text;
    int icon;
};
const std::vector<BandKindInfo>& OfferedBandKinds();
// The icon of a band kind as the lists show it (the constant's for an unknown kind).
int BandKindIcon(int kind);

// A value text as an edit shows it ("\n" line breaks) and as a band keeps it ("\r\n").
QString BandTextForEdit(const QString& value);
QString BandTextFromEdit(const QString& shown);

// The settings of one band kind, embedded in the band list's "子串设置" group. Every
// sub-pane shows the band's value text in edit 1204; a user's edit goes at once into
// the band and is announced by valueEdited. Load fills the controls from the band;
// Store writes the kind's other fields (a list without a selection writes nothing).
class CDataSourceEdtPane_Base : public CVXPage
{
    Q_OBJECT
public:
    explicit CDataSourceEdtPane_Base(int pageId, QWidget* parent = nullptr);

    virtual void LoadBand();
    virtual void StoreBand() {}
    // Shows the text and, with announce, stores it and tells the owner.
    void SetValueText(const QString& value, bool announce);

    CDataBand* m_pBand = nullptr;
    CLabelData* m_pLabelData = nullptr;
    bool m_bInitialised = false;
    QPlainTextEdit* m_value;

Q_SIGNALS:
    // The band's value text changed.
    void valueEdited();

protected:
    // Adds a labelled control above the value edit.
    void AddRow(const QString& caption, QWidget* control);
};

class CDataSourceEdtPane_Fixed : public CDataSourceEdtPane_Base
{
    Q_OBJECT
public:
    explicit CDataSourceEdtPane_Fixed(QWidget* parent = nullptr) : CDataSourceEdtPane_Base(258, parent) {}
};

class CDataSourceEdtPane_Serial : public CDataSourceEdtPane_Base
{
    Q_OBJECT
public:
    explicit CDataSourceEdtPane_Serial(QWidget* parent = nullptr) : CDataSourceEdtPane_Base(261, parent) {}
};

// Date (template 259) and time (260): a sample of today per template and an offset.
class CDataSourceEdtPane_DateTime : public CDataSourceEdtPane_Base
{
    Q_OBJECT
public:
    CDataSourceEdtPane_DateTime(bool time, QWidget* parent = nullptr);
    void LoadBand() override;
    void StoreBand() override;
    // The chosen template's sample becomes the value text (once initialised).
    void OnTemplateChange();

    QComboBox* m_format;
    QSpinBox* m_offset;

private:
    const QStringList& Templates() const;
    bool m_bTime;
};

class CDataSourceEdtPane_Database : public CDataSourceEdtPane_Base
{
    Q_OBJECT
public:
    explicit CDataSourceEdtPane_Database(QWidget* parent = nullptr);
    void Fill();
    void LoadBand() override;
    void StoreBand() override;
    void OnSourceChange();
    void OnFieldChange();

    QComboBox* m_source;
    QComboBox* m_field;
};

class CDataSourceEdtPane_WindowData : public CDataSourceEdtPane_Base
{
    Q_OBJECT
public:
    explicit CDataSourceEdtPane_WindowData(QWidget* parent = nullptr);
    void Fill();
    void LoadBand() override;
    void StoreBand() override;

    QComboBox* m_item;
};

class CDataSourceEdtPane_NamedSubstring : public CDataSourceEdtPane_Base
{
    Q_OBJECT
public:
    explicit CDataSourceEdtPane_NamedSubstring(QWidget* parent = nullptr);
    void Fill();
    void LoadBand() override;
    void StoreBand() override;

    QComboBox* m_name;
};

// The band list with its toolbar, kind list, sub-panes and "更多选项(&O)...", shared by
// the data-source pane (an object's content) and the named-substring dialog (the
// label's substrings). It edits the working copies of its controller.
class CBandListPanel : public QWidget
{
    Q_OBJECT
public:
    struct Options
    {
        // Named substrings: rows show names, no kind 45, the last one may go.
        bool namedSubstrings = false;
        // Makes the band of the "新建" button; null refuses (the user cancelled).
        std::function<std::unique_ptr<CDataBand>()> newBand;
    };

    CBandListPanel(const Options& options, QWidget* parent = nullptr);

    // Working copies of the bands, the copy of select (or the first) current.
    void Load(CLabelData* label, const BandVector& bands, const CDataBand* select);
    // Writes the sub-pane's fields into the current band.
    void StoreCurrent();
    CBandListController& Controller() { return m_controller; }

    // Toolbar commands 40567-40572, and "更多选项(&O)...".
    void OnNew();
    void OnCopy();
    void OnPaste();
    void OnDelete();
    void OnMoveUp();
    void OnMoveDown();
    void OnMoreOptions();
    void OnKindChange();

    QToolBar* m_toolBar;
    QListWidget* m_list;
    CComboBoxBold* m_kind;
    QPushButton* m_more;
    CDataSourceEdtPane_Fixed* m_fixed;
    CDataSourceEdtPane_DateTime* m_date;
    CDataSourceEdtPane_DateTime* m_time;
    CDataSourceEdtPane_Serial* m_serial;
    CDataSourceEdtPane_Database* m_database;
    CDataSourceEdtPane_WindowData* m_windowData;
    CDataSourceEdtPane_NamedSubstring* m_namedSubstring = nullptr;

Q_SIGNALS:
    // The bands or the current band changed: the owner's sample is out of date.
    void contentChanged();

private:
    CDataSourceEdtPane_Base* SubPaneOf(int kind) const;
    std::vector<CDataSourceEdtPane_Base*> SubPanes() const;
    QString RowText(const CDataBand& band) const;
    void FillRows();
    void OnRowChange(int row);
    // The current band into its sub-pane; without one the settings are disabled.
    void LoadCurrent();
    void ShowSubPane(int kind);
    void OnValueEdited();

    Options m_options;
    CBandListController m_controller;
    bool m_bUpdating = false;
};

// "数据源" of the text and barcode property dialogs: the object's bands and the
// sample of the content they make. The object receives the bands only in Apply.
class CDataSourceEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    // barcode: the bands of the barcode's settings, new bands "12345678".
    explicit CDataSourceEdtPane(bool barcode, QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;
    void UpdateSample();

    CLabelData* m_pLabelData = nullptr;
    // One of the object's bands to open on, or null.
    CDataBand* m_pBandToSelect = nullptr;
    bool m_bBarcode;
    CBandListPanel* m_panel;
    QPlainTextEdit* m_sample;

private:
    BandVector* TargetBands() const;
};
