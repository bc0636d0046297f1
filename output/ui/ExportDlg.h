#pragma once

#include "app/VXBaseDialog.h"
#include "model/ExportSettings.h"

class CNumSpinCtrl;
class CVXUnitEdit;
class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

// The resolution of the named printer; the screen's when the name is empty or the
// printer cannot tell.
int PrinterDpi(const QString& printerName);

// The colour-depth and resolution choices both export dialogs share, with the
// warning about resizing exported barcodes.
class CExportPictureControls : public QObject
{
    Q_OBJECT
public:
    // Adds the three groups to the layout.
    CExportPictureControls(QWidget* dialog, QVBoxLayout* layout);

    void SetDepth(int depth);
    int Depth() const;
    // Checks the radio of the mode (any mode above 1 is custom) and shows its DPI.
    void SetResolutionMode(int mode);
    // The checked mode and its DPI; a typed DPI is kept to 20 .. 3000.
    void ReadResolution(int* mode, int* dpi) const;
    // The custom DPI shown while the custom radio is checked.
    void ShowCustomDpi(int dpi);

    int m_nPrinterDpi;
    int m_nScreenDpi;
    int m_nCustomDpi;

private:
    void OnResolutionRadio();

    QRadioButton* m_depth[4];
    QRadioButton* m_pPrinter;
    QRadioButton* m_pScreen;
    QRadioButton* m_pCustom;
    CVXUnitEdit* m_pDpi;
};

// What both export dialogs share: the printer they are opened for, the picture
// choices, and loading once they are shown (after the caller named the printer).
class CExportDlgBase : public CVXBaseDialog
{
    Q_OBJECT
public:
    explicit CExportDlgBase(QWidget* parent = nullptr);

    // Set before the dialog runs: its resolution is the printer choice.
    QString m_strPrinterName;
    int m_nColourDepth = 3;
    int m_nResolutionMode = 0;
    int m_nDpi;

protected:
    void showEvent(QShowEvent* event) override;
    virtual void Load() = 0;

    CExportPictureControls* m_pPicture = nullptr;

private:
    bool m_bLoaded = false;
};

// Export of the selected objects to one picture (364): the clipboard or a file,
// colour depth and resolution.
class CExportDlg : public CExportDlgBase
{
    Q_OBJECT
public:
    explicit CExportDlg(QWidget* parent = nullptr);

    int m_nDestination = 0;
    QString m_strFilePath;

protected:
    void Load() override;
    bool OnOK() override;

private:
    void UpdateDestination();
    void OnBrowse();

    QRadioButton* m_pClipboard;
    QRadioButton* m_pFile;
    QLineEdit* m_pPath;
    QPushButton* m_pBrowse;
};

// Batch export (365): one picture per data row into a folder, named from a start
// name and the row number or the current object's value. Remembers nothing.
class CBatchExportDlg : public CExportDlgBase
{
    Q_OBJECT
public:
    explicit CBatchExportDlg(QWidget* parent = nullptr);

    // The largest row number a run goes to: the arrows' limit, typed or not.
    static constexpr int kMaxRow = 100000;

    QString m_strFolder;
    int m_nImageType = 0;
    QString m_strExtension;
    QString m_strStartName;
    bool m_bNameAfterObject = false;
    int m_nFromRow = 1;
    int m_nToRow = 1;

protected:
    void Load() override;
    bool OnOK() override;

private:
    QLineEdit* m_pFolder;
    QComboBox* m_pType;
    QLineEdit* m_pStartName;
    QLabel* m_pExtension;
    QCheckBox* m_pNameAfterObject;
    CVXUnitEdit* m_pFrom;
    CVXUnitEdit* m_pTo;
    CNumSpinCtrl* m_pFromSpin;
    CNumSpinCtrl* m_pToSpin;
};
