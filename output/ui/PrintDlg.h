#pragma once

#include "app/VXBaseDialog.h"
#include "output/PrintTarget.h"

#include <functional>
#include <memory>

class CFontStatic;
class CJobProgress;
class CLabelData;
class CNumSpinCtrl;
class CPrintHandler;
class CVXUnitEdit;
class IWindowDataPrompt;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The Print command's dialog (203): printer, pages and copies; its Print button runs
// the whole job on the printer (or into a PDF file, which needs no printer) under the
// job progress, with the pages done shown and Cancel asking to stop. The job is made
// once per dialog and reused by every run.
class CPrintDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    // Makes where the pages go: the printer of that name, or the PDF file at pdfPath
    // when it is not empty.
    using TargetFactory = std::function<std::unique_ptr<CPrintTarget>(const QString& printer, const QString& pdfPath)>;

    explicit CPrintDlg(QWidget* parent = nullptr);
    ~CPrintDlg() override;

    // Not owned; must outlive the dialog.
    void SetLabelData(CLabelData* label) { m_pLabelData = label; }
    // Not owned; asks for window data before each label.
    void SetWindowDataPrompt(IWindowDataPrompt* prompt) { m_pPrompt = prompt; }
    void SetTargetFactory(TargetFactory factory) { m_targetFactory = std::move(factory); }
    // A new print-mode job over the label record, prepared; its failure (a data
    // source that cannot be read) leaves as the job's exception.
    void CreatePrintHandler();
    CPrintHandler* PrintHandler() const { return m_pPrintHandler.get(); }

    void reject() override;

    // The entry that stands for printing into a PDF file in the printer list.
    static QString PdfEntryText();

    QString m_strPrinterName;
    QString m_strPdfPath;
    int m_nRangeMode = 0; // 0 all pages, 1 start and count, 2 first to last
    int m_nStartPage = 1;
    int m_nPageCount = 0;
    int m_nCopies = 1;
    bool m_bCollate = false;
    qint64 m_nPagesToPrint = 0;
    qint64 m_nPrintedPages = 0;
    int m_nTotalPages = 0;
    bool m_bPrinting = false;
    bool m_bCancel = false;

protected:
    bool OnOK() override;

private:
    void BuildControls();
    void InitControls();
    void UpdateControls();
    bool ValidateAndRead();
    bool Refuse(const QString& text, QWidget* focus);
    void PrintLoop();
    void ResetAfterRun();
    void ShowTotalPages();
    QString AskPdfPath();
    void ReportPdfWritten();

    CLabelData* m_pLabelData = nullptr;
    IWindowDataPrompt* m_pPrompt = nullptr;
    std::unique_ptr<CPrintHandler> m_pPrintHandler;
    TargetFactory m_targetFactory;
    CJobProgress* m_pProgress = nullptr; // while printing

    QComboBox* m_pPrinters;
    QRadioButton* m_pAll;
    QRadioButton* m_pStartCount;
    QRadioButton* m_pRange;
    CVXUnitEdit* m_pStart;
    CVXUnitEdit* m_pCount;
    CVXUnitEdit* m_pFirst;
    CVXUnitEdit* m_pLast;
    CVXUnitEdit* m_pCopies;
    CNumSpinCtrl* m_pStartSpin;
    CNumSpinCtrl* m_pCountSpin;
    CNumSpinCtrl* m_pFirstSpin;
    CNumSpinCtrl* m_pLastSpin;
    CNumSpinCtrl* m_pCopiesSpin;
    QLabel* m_pStartLabel;
    QLabel* m_pCountLabel;
    QLabel* m_pFirstLabel;
    QLabel* m_pLastLabel;
    QCheckBox* m_pMoveOn;
    QCheckBox* m_pCollate;
    CFontStatic* m_pTotal;
    QPushButton* m_pPrint;
};
