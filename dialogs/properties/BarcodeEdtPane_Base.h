#pragma once

#include "app/VXBaseDialog.h"

#include <QStringList>
#include <cstdint>
#include <memory>

class CBarcodeSettings;
class CVXUnitEdit;
class QCheckBox;
class QComboBox;
class QPushButton;

// The options only one symbology has, shown in the barcode pane's option frame. A
// pane keeps what is typed in its controls while other symbologies are shown;
// LoadOptions takes the settings' values, StoreOptions writes them back and notes
// whether anything changed since the load.
class CBarcodeEdtPane_Base : public CVXPage
{
    Q_OBJECT
public:
    using CVXPage::CVXPage;

    // save: controls to the pane's values; else values to controls.
    virtual void ExchangeOptions(bool save) = 0;
    virtual void LoadOptions(const CBarcodeSettings& settings) = 0;
    virtual void StoreOptions(CBarcodeSettings& settings) = 0;
    // True until the pane was loaded from settings, so a pane made by a change of
    // symbology always counts as changed.
    bool IsChanged() const { return m_bLoaded ? m_bChanged : true; }

    // Every symbology has a module width, in mils.
    CVXUnitEdit* m_moduleWidth = nullptr;

protected:
    bool m_bLoaded = false;
    bool m_bChanged = true;
};

// The option values of the linear symbologies; each pane edits a subset of them.
struct LinearOptions
{
    float moduleWidth = 10.0f; // mils
    float ratio = 2.0f;
    int32_t startChar = 0;
    int32_t stopChar = 0;
    bool checkDigit = false;
    int32_t codeSet = 0;
    bool hideParentheses = false;
    int32_t addonKind = 0;
    int32_t addonGap = 0;
    int32_t addonStyle = 0;
};

// What one linear pane shows and therefore edits.
struct LinearPaneLayout
{
    enum Check { CheckHidden, CheckDisabled, CheckEnabled };

    int dialogId = 0;
    QString widthCaption = QStringLiteral("窄单元:");
    bool ratio = false;
    QStringList startStop; // the items of both lists; empty: no lists
    Check check = CheckHidden;
    bool codeSet = false;
    bool codeSetEnabled = true;
    bool hideParentheses = false;
    bool scale = false; // the "缩放系数:" list, shown only
    bool addon = false;
};

// The linear panes: one implementation driven by the layout of each class.
class CLinearOptionPane : public CBarcodeEdtPane_Base
{
    Q_OBJECT
public:
    CLinearOptionPane(const LinearPaneLayout& layout, const LinearOptions& start, QWidget* parent = nullptr);

    void ExchangeOptions(bool save) override;
    void LoadOptions(const CBarcodeSettings& settings) override;
    void StoreOptions(CBarcodeSettings& settings) override;
    void OnAddon();

    LinearOptions m_options;

    QComboBox* m_ratio = nullptr;
    QComboBox* m_start = nullptr;
    QComboBox* m_stop = nullptr;
    QCheckBox* m_checkDigit = nullptr;
    QComboBox* m_codeSet = nullptr;
    QCheckBox* m_hideParentheses = nullptr;
    QComboBox* m_scale = nullptr;
    QPushButton* m_addon = nullptr;

private:
    bool SameAs(const LinearOptions& other) const;

    LinearPaneLayout m_layout;
    LinearOptions m_snapshot;
};

#define VC_LINEAR_OPTION_PANE(NAME)                                                                                    \
    class CBarcodeEdtPane_##NAME : public CLinearOptionPane                                                            \
    {                                                                                                                  \
    public:                                                                                                            \
        explicit CBarcodeEdtPane_##NAME(QWidget* parent = nullptr);                                                    \
    };

VC_LINEAR_OPTION_PANE(Code39)
VC_LINEAR_OPTION_PANE(Codabar)
VC_LINEAR_OPTION_PANE(Code93)
VC_LINEAR_OPTION_PANE(Code11)
VC_LINEAR_OPTION_PANE(Interleaved25)
VC_LINEAR_OPTION_PANE(Industrial25)
VC_LINEAR_OPTION_PANE(Matrix25)
VC_LINEAR_OPTION_PANE(Code128)
VC_LINEAR_OPTION_PANE(EAN128)
VC_LINEAR_OPTION_PANE(EAN14)
VC_LINEAR_OPTION_PANE(EAN13)
VC_LINEAR_OPTION_PANE(EJUSupp2)
VC_LINEAR_OPTION_PANE(MedicalCode)
VC_LINEAR_OPTION_PANE(MonitorCode)
VC_LINEAR_OPTION_PANE(PostalCode)

#undef VC_LINEAR_OPTION_PANE

class CBarcodeEdtPane_PDF417 : public CBarcodeEdtPane_Base
{
    Q_OBJECT
public:
    explicit CBarcodeEdtPane_PDF417(QWidget* parent = nullptr);
    void ExchangeOptions(bool save) override;
    void LoadOptions(const CBarcodeSettings& settings) override;
    void StoreOptions(CBarcodeSettings& settings) override;
    void UpdateCodePage();

    struct Options
    {
        int32_t mode = 3;
        int32_t codePage = 65001;
        int32_t level = 9;
        float moduleWidth = 14.0f;
        int32_t rowHeightRatio = 3;
        int32_t rows = 0;
        int32_t columns = 0;
        int32_t rowColumnRatio = 3;
        bool truncated = false;
        uint8_t spare = 0;
    } m_options;

    QComboBox* m_mode;
    QComboBox* m_codePage;
    QComboBox* m_level;
    QComboBox* m_rowHeight;
    QComboBox* m_rows;
    QComboBox* m_columns;
    CVXUnitEdit* m_rowColumnRatio;
    QCheckBox* m_truncated;

private:
    Options m_snapshot;
};

class CBarcodeEdtPane_QRCode : public CBarcodeEdtPane_Base
{
    Q_OBJECT
public:
    explicit CBarcodeEdtPane_QRCode(QWidget* parent = nullptr);
    void ExchangeOptions(bool save) override;
    void LoadOptions(const CBarcodeSettings& settings) override;
    void StoreOptions(CBarcodeSettings& settings) override;
    void UpdateCodePage();

    struct Options
    {
        int32_t mode = 2;
        int32_t codePage = 65001;
        int32_t level = 1;
        int32_t mask = -1;
        int32_t version = 0;
        bool autoExtend = true;
        float moduleWidth = 15.0f;
    } m_options;

    QComboBox* m_mode;
    QComboBox* m_codePage;
    QComboBox* m_level;
    QComboBox* m_mask;
    QComboBox* m_version;
    QCheckBox* m_autoExtend;

private:
    Options m_snapshot;
};

class CBarcodeEdtPane_DataMatrix : public CBarcodeEdtPane_Base
{
    Q_OBJECT
public:
    explicit CBarcodeEdtPane_DataMatrix(QWidget* parent = nullptr);
    void ExchangeOptions(bool save) override;
    void LoadOptions(const CBarcodeSettings& settings) override;
    void StoreOptions(CBarcodeSettings& settings) override;

    struct Options
    {
        int32_t encodation = 0;
        int32_t size = 1;
        float moduleWidth = 15.0f;
    } m_options;

    QComboBox* m_encodation;
    QComboBox* m_size;

private:
    Options m_snapshot;
};

// The option pane of a symbology code, as a child of parent; throws CBarcodeException
// "not supported barcode type" for a code without one.
std::unique_ptr<CBarcodeEdtPane_Base> CreateBarcodeOptionPane(int code, QWidget* parent);

// The text-encoding list of the 2-D panes: four encodings, each item's data its code page.
void FillTextEncodingCombo(QComboBox* combo);
// Selects the first item of that code page, else the first item ("ANSI").
void SelectTextEncoding(QComboBox* combo, int codePage);
