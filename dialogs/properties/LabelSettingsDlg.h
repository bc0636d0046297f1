#pragma once

#include "app/UiServices.h"
#include "app/VXBaseDialog.h"
#include "dialogs/properties/PageHeaderDlg.h"
#include "platform/ImageHolder.h"

#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class CColourPicker;
class CLabelData;
class CLSPreviewStatic;
class CVXUnitEdit;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;

// Runs the label settings sheet on a record through the services. objectNames are the
// names of the document's objects in list order (offered as a graphic page header),
// null for a new label. True when OK stored every page into the record; after Cancel
// the record is as it was, except for the sheet's remembered tab.
bool RunLabelSettingsDlg(CLabelData& label, const QStringList* objectNames, bool newLabel, QWidget* parent = nullptr);

// Base of the sheet's seven pages. A page fills its controls from the record in Load
// and writes them back only in Apply; its change handlers do nothing until the sheet
// has loaded every page.
class CLabelSettingsDlg_Base : public CVXPage
{
    Q_OBJECT
public:
    using CVXPage::CVXPage;

    virtual void SetLabelSettings(CLabelData* label) { m_pLabelData = label; }
    void RefreshPreview();

    bool m_bNewLabel = false;
    bool m_bInitialised = false;
    CLSPreviewStatic* m_pPreview = nullptr;
    CLabelData* m_pLabelData = nullptr;
};

class CLabelSettingsDlg_Layout;

class CLabelSettingsDlg_Page : public CLabelSettingsDlg_Base
{
    Q_OBJECT
public:
    explicit CLabelSettingsDlg_Page(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    void LoadPaperList(const QString& printerName);
    void FillPaperCombo();
    void EnableForPrinterType(bool labelPrinter);
    void UpdatePaperSizeText();
    void OnPaperChanged();
    // Selects the paper of that name, none when the list has no such paper.
    void SelectPaper(const QString& name);

    const std::vector<PaperInfo>& Papers() const { return m_papers; }

    QComboBox* m_paper;
    CVXUnitEdit* m_width;
    CVXUnitEdit* m_height;
    QRadioButton* m_portrait;
    QRadioButton* m_landscape;
    CVXUnitEdit* m_marginLeft;
    CVXUnitEdit* m_marginTop;
    QLabel* m_pPaperSizeText = nullptr;
    CLabelSettingsDlg_Layout* m_pLayoutPage = nullptr;

private:
    void OnSizeChanged();
    std::vector<PaperInfo> m_papers;
};

class CLabelSettingsDlg_Printer : public CLabelSettingsDlg_Base
{
    Q_OBJECT
public:
    explicit CLabelSettingsDlg_Printer(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    QRadioButton* m_ordinary;
    QRadioButton* m_labelPrinter;
    QComboBox* m_printer;
    QComboBox* m_resolution;
    CLabelSettingsDlg_Page* m_pPagePage = nullptr;
    CLabelSettingsDlg_Layout* m_pLayoutPage = nullptr;

private:
    void OnPrinterTypeClicked();
    void OnPrinterChanged();
};

class CLabelSettingsDlg_Shape : public CLabelSettingsDlg_Base
{
    Q_OBJECT
public:
    explicit CLabelSettingsDlg_Shape(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    QRadioButton* m_rectangle;
    QRadioButton* m_roundRect;
    QRadioButton* m_ellipse;
    CVXUnitEdit* m_radius;
    QCheckBox* m_hole;
    CVXUnitEdit* m_diameter;
    QCheckBox* m_border;
    CVXUnitEdit* m_borderWidth;
    CColourPicker* m_borderColour;

private:
    void EnableByShape();
};

class CLabelSettingsDlg_Layout : public CLabelSettingsDlg_Base
{
    Q_OBJECT
public:
    explicit CLabelSettingsDlg_Layout(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    void EnableForPrinterType(bool labelPrinter);
    void OnPageSizeChanged();
    void AutoComputeRowsColumns();
    void UpdateLabelSizeText();
    void UpdateLabelsPerPageText();

    CVXUnitEdit* m_labelWidth;
    CVXUnitEdit* m_labelHeight;
    CVXUnitEdit* m_leftMargin;
    CVXUnitEdit* m_topMargin;
    CVXUnitEdit* m_horzGap;
    CVXUnitEdit* m_vertGap;
    CVXUnitEdit* m_rows;
    CVXUnitEdit* m_columns;
    QCheckBox* m_auto;
    QComboBox* m_startCorner;
    QComboBox* m_direction;
    QCheckBox* m_sameDirection;

    QLabel* m_pLabelSizeText = nullptr;
    QLabel* m_pLabelsPerPageText = nullptr;
    QLineEdit* m_pPageWidth = nullptr;
    QLineEdit* m_pPageHeight = nullptr;
    QRadioButton* m_pLandscape = nullptr;

private:
    void OnSizeChanged();
    void OnCountChanged();
    void OnAutoClicked();
    bool AutoApplies() const;

    bool m_bLabelPrinter = false;
};

class CLabelSettingsDlg_Advanced : public CLabelSettingsDlg_Base
{
    Q_OBJECT
public:
    explicit CLabelSettingsDlg_Advanced(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    std::array<QCheckBox*, 3> m_cutMarks; // crop points, inner lines, outer lines: modes 1 to 3
    CVXUnitEdit* m_cutWidth;
    CVXUnitEdit* m_cutOffset;
    QCheckBox* m_header;
    QWidget* m_headerSettings;
    QCheckBox* m_number;
    QWidget* m_numberSettings;
    CVXUnitEdit* m_offsetX;
    CVXUnitEdit* m_offsetY;

    const QStringList* m_pObjectNames = nullptr;
    PageHeaderSettings m_headerCopy;
    PageNumberSettings m_numberCopy;

private:
    void OnCutMarkClicked(int index);
    void EnableCutEdits();
    void OnHeaderSettings();
    void OnNumberSettings();
};

class CLabelSettingsDlg_Background : public CLabelSettingsDlg_Base
{
    Q_OBJECT
public:
    explicit CLabelSettingsDlg_Background(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    // The picture the preview draws; null when the page holds none.
    const ImageHolder* Image() const;

    CColourPicker* m_colour;
    QRadioButton* m_noImage;
    QRadioButton* m_embedded;
    QRadioButton* m_linked;
    QWidget* m_choose;
    QComboBox* m_fit;
    QCheckBox* m_onPrint;
    QCheckBox* m_onPreview;
    QCheckBox* m_onDesign;

    QString m_strImageType;
    QString m_strImagePath;
    std::unique_ptr<ImageHolder> m_pImage;

private:
    void OnImageModeClicked();
    void OnChoosePicture();
};

class CLabelSettingsDlg_PrintCount : public CLabelSettingsDlg_Base
{
    Q_OBJECT
public:
    explicit CLabelSettingsDlg_PrintCount(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    QTabWidget* m_tabs;
    // "常规"
    CVXUnitEdit* m_quantity;
    CVXUnitEdit* m_preload;
    // "多份打印"
    QRadioButton* m_fixedCopies;
    QRadioButton* m_fieldCopies;
    CVXUnitEdit* m_copies;
    QComboBox* m_dataSource;
    QComboBox* m_field;
    QCheckBox* m_forceBreak;

private:
    void OnCopyModeClicked();
    void FillFields();

    QString m_strCopiesDataSource;
    QString m_strCopiesField;
};

// The label settings sheet: printer, page, shape, layout, advanced, background and
// print-count pages beside a live layout preview. The pages load from and apply to a
// working copy of the caller's settings, which replaces them only when every page
// validated and applied on OK; the current tab is remembered in the caller's record
// at every change.
class CLabelSettingsDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    enum Tab { TabPrinter, TabPage, TabShape, TabLayout, TabAdvanced, TabBackground, TabPrintCount, TabCount };

    explicit CLabelSettingsDlg(QWidget* parent = nullptr);
    ~CLabelSettingsDlg() override;

    // Copies the record's settings into the working copy and hands that (and the
    // object names) to the pages, which load from it.
    void BindPages();

    CLabelSettingsDlg_Base* Page(int tab) const { return m_pages[static_cast<size_t>(tab)]; }
    CLSPreviewStatic* Preview() const { return m_preview; }
    QTabWidget* Tabs() const { return m_tabs; }

    bool m_bNewLabel = false;
    CLabelData* m_pLabelData = nullptr;
    const QStringList* m_pObjectNames = nullptr;

    CLabelSettingsDlg_Printer* m_printerPage;
    CLabelSettingsDlg_Page* m_pagePage;
    CLabelSettingsDlg_Shape* m_shapePage;
    CLabelSettingsDlg_Layout* m_layoutPage;
    CLabelSettingsDlg_Advanced* m_advancedPage;
    CLabelSettingsDlg_Background* m_backgroundPage;
    CLabelSettingsDlg_PrintCount* m_printCountPage;

protected:
    bool OnOK() override;

private:
    void OnTabChanged(int index);

    // The settings the pages edit, and the data sources the print-count page lists.
    std::unique_ptr<CLabelData> m_work;

    QTabWidget* m_tabs;
    CLSPreviewStatic* m_preview;
    QLabel* m_paperSize;
    QLabel* m_labelSize;
    QLabel* m_labelsPerPage;
    std::array<CLabelSettingsDlg_Base*, TabCount> m_pages{};
};
