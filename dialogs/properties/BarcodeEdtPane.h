#pragma once

#include "dialogs/properties/ObjectPanes.h"

#include <memory>
#include <vector>

class CBarcodeEdtPane_Base;
class CBarcodeGraph;
class CBarcodeSettings;
class CColourPicker;
class CVXUnitEdit;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

// The display name of a symbology code; throws CBarcodeException "not support barcode
// type" for a code without one.
QString GetBarcodeTypeName(int code);

// "条形码": the symbology, the human-readable characters and their grouping, the bar
// colour, and the chosen symbology's own options in a pane per code. Apply writes
// into the barcode and says, through the two flags, whether it must be re-encoded.
class CBarcodeEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    explicit CBarcodeEdtPane(QWidget* parent = nullptr);
    ~CBarcodeEdtPane() override;

    void Load() override;
    // A module width of 0 or less (or not a number) would leave no symbol to see.
    bool Validate() override;
    void Apply() override;

    void OnSymbologyChanged();
    void OnGroupingSettings();
    // The option pane of a code, made on its first use and kept while the pane lives.
    CBarcodeEdtPane_Base* GetOptionPane(int code);
    void FillSymbologyCombo();
    void SelectSymbology(int code);
    int SelectedSymbology() const;
    CBarcodeEdtPane_Base* CurrentOptionPane() const { return m_pCurrentOptions; }

    bool m_bSymbologyChanged = false;
    bool m_bOptionsChanged = false;

    QComboBox* m_symbology;
    QCheckBox* m_showText;
    QCheckBox* m_textAbove;
    CVXUnitEdit* m_charSpacing;
    CVXUnitEdit* m_textGap;
    CVXUnitEdit* m_leftBlank;
    QGroupBox* m_options;
    CColourPicker* m_barColour;
    QPushButton* m_grouping;

    // Edited only through the grouping dialog.
    bool m_bGrouping = false;
    int m_nSeparator = 0;
    QString m_strSeparator;
    float m_fGroupGap = 0.0f;
    QString m_strGroupRule;
    QString m_strGroupText;

private:
    CBarcodeGraph& Barcode() const;

    struct Start
    {
        int symbology = 0;
        bool showText = false;
        bool textAbove = false;
        float charSpacing = 0.0f;
        float textGap = 0.0f;
        float leftBlank = 0.0f;
    } m_start;

    struct CachedPane
    {
        int code;
        std::unique_ptr<CBarcodeEdtPane_Base> pane;
    };
    std::vector<CachedPane> m_optionPanes;
    CBarcodeEdtPane_Base* m_pCurrentOptions = nullptr;
};
