#include "output/ui/PrintDlg.h"

#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "app/controls/FontStatic.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/PngControls.h"
#include "app/controls/VXUnitEdit.h"
#include "model/LabelData.h"
#include "output/PrintHandler.h"
#include "output/ui/JobProgress.h"
#include "output/ui/ScriptServices.h"
#include "platform/ImageFile.h"
#include "platform/VXException.h"
#include "platform/VisibleText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStatusTipEvent>
#include <QTemporaryFile>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPdfRole = Qt::UserRole + 1;

// A PDF written beside its name and renamed over it only once complete: a cancelled
// or failed run leaves no part of a file, and an older file of that name stays.
class CPdfFileTarget : public CPrintTarget
{
public:
    explicit CPdfFileTarget(const QString& path) : m_strPath(path)
    {
        const QFileInfo info(path);
        m_part.setFileTemplate(info.absolutePath() + QStringLiteral("/.") + info.fileName()
                               + QStringLiteral(".XXXXXX"));
    }

    bool BeginDocument(const CLabelData& label, const QString& title) override
    {
        if (!m_part.open()) {
            m_strError = QStringLiteral("无法写入文件“%1”。").arg(m_strPath);
            return false;
        }
        m_part.close();
        m_pTarget = CPrinterTarget::ForPdf(m_part.fileName());
        return Forward(m_pTarget->BeginDocument(label, title));
    }
    QPainter* BeginPage() override { return m_pTarget->BeginPage(); }
    bool EndPage() override { return m_pTarget->EndPage(); }
    bool EndDocument() override
    {
        if (!m_pTarget->EndDocument())
            return Forward(false);
        TakeTargetPermissions(m_part.fileName(), m_strPath);
        if (std::rename(QFile::encodeName(m_part.fileName()).constData(), QFile::encodeName(m_strPath).constData())
            != 0) {
            m_strError = QStringLiteral("无法写入文件“%1”。").arg(m_strPath);
            return false;
        }
        m_part.setAutoRemove(false);
        return true;
    }
    void Abort() override
    {
        if (m_pTarget)
            m_pTarget->Abort();
    }

private:
    bool Forward(bool ok)
    {
        if (!ok)
            m_strError = m_pTarget->GetError().replace(m_part.fileName(), m_strPath);
        return ok;
    }

    QString m_strPath;
    QTemporaryFile m_part; // removed with the target unless renamed
    std::unique_ptr<CPrinterTarget> m_pTarget;
};

std::unique_ptr<CPrintTarget> MakeTarget(const QString& printer, const QString& pdfPath)
{
    if (!pdfPath.isEmpty())
        return std::make_unique<CPdfFileTarget>(pdfPath);
    return CPrinterTarget::ForPrinter(printer);
}

} // namespace

CPrintDlg::CPrintDlg(QWidget* parent) : CVXBaseDialog(parent), m_targetFactory(MakeTarget)
{
    BuildControls();
}

CPrintDlg::~CPrintDlg() = default;

QString CPrintDlg::PdfEntryText()
{
    return QStringLiteral("PDF 文件");
}

void CPrintDlg::BuildControls()
{
    setWindowIcon(ResourceIcon(328));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    auto* picture = SetCtlId(new CPngStatic, 1273);
    picture->m_nResourceId = 363;
    picture->LoadPng();
    picture->setFixedSize(48, 48);
    top->addWidget(picture);
    auto* printerBox = new QGroupBox(QStringLiteral("打印机"));
    auto* printerLayout = new QHBoxLayout(printerBox);
    m_pPrinters = SetCtlId(new QComboBox, 1001);
    m_pPrinters->setMinimumWidth(260);
    printerLayout->addWidget(m_pPrinters);
    top->addWidget(printerBox, 1);
    layout->addLayout(top);

    auto* pagesBox = new QGroupBox(QStringLiteral("打印范围"));
    auto* grid = new QGridLayout(pagesBox);
    m_pAll = SetCtlId(new QRadioButton(QStringLiteral("打印全部")), 1003);
    m_pStartCount = SetCtlId(new QRadioButton(QStringLiteral("指定打印页数")), 11);
    m_pRange = SetCtlId(new QRadioButton(QStringLiteral("指定页码范围")), 12);
    // One row of a page mode: caption, edit and spin, twice.
    const auto addRow = [grid](int row, QLabel*& label, CVXUnitEdit*& edit, CNumSpinCtrl*& spin, int labelId,
                               int editId, int column, const QString& caption) {
        label = SetCtlId(new QLabel(caption), labelId);
        edit = MakeIntegerEdit(editId);
        spin = MakeSpin(editId + 1, edit);
        grid->addWidget(label, row, column);
        grid->addWidget(EditWithSpin(edit, spin), row, column + 1);
    };
    addRow(1, m_pStartLabel, m_pStart, m_pStartSpin, 1005, 14, 1, QStringLiteral("起始页:"));
    addRow(1, m_pCountLabel, m_pCount, m_pCountSpin, 16, 17, 3, QStringLiteral("页数:"));
    addRow(3, m_pFirstLabel, m_pFirst, m_pFirstSpin, 1006, 21, 1, QStringLiteral("起始页:"));
    addRow(3, m_pLastLabel, m_pLast, m_pLastSpin, 23, 24, 3, QStringLiteral("终止页:"));
    m_pMoveOn = SetCtlId(new QCheckBox(QStringLiteral("打印完成后自动跳转到下一起始页")), 19);
    m_pTotal = SetCtlId(new CFontStatic(QStringLiteral("1/100")), 1002);
    grid->addWidget(m_pAll, 0, 0);
    grid->addWidget(m_pTotal, 0, 1, 1, 4);
    grid->addWidget(m_pStartCount, 1, 0);
    grid->addWidget(m_pMoveOn, 2, 1, 1, 4);
    grid->addWidget(m_pRange, 3, 0);
    layout->addWidget(pagesBox);

    auto* copiesBox = new QGroupBox(QStringLiteral("份数"));
    auto* copiesLayout = new QHBoxLayout(copiesBox);
    m_pCopies = MakeIntegerEdit(26);
    m_pCopiesSpin = MakeSpin(27, m_pCopies);
    m_pCollate = SetCtlId(new QCheckBox(QStringLiteral("自动分页")), 1004);
    copiesLayout->addWidget(new QLabel(QStringLiteral("份数:")));
    copiesLayout->addWidget(EditWithSpin(m_pCopies, m_pCopiesSpin));
    copiesLayout->addWidget(m_pCollate);
    copiesLayout->addStretch(1);
    layout->addWidget(copiesBox);

    auto* buttons = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    m_pPrint = buttons->button(QDialogButtonBox::Ok);
    m_pPrint->setText(QStringLiteral("打印(&P)"));
    layout->addWidget(buttons);

    m_pTotal->m_strFaceName = QStringLiteral("Arial");
    m_pTotal->m_nHeight = 16;
    m_pTotal->m_crText = QColor(0x00, 0x64, 0x00);
    m_pTotal->RecreateFont();

    for (QRadioButton* radio : {m_pAll, m_pStartCount, m_pRange})
        connect(radio, &QRadioButton::clicked, this, [this] { UpdateControls(); });
}

void CPrintDlg::CreatePrintHandler()
{
    auto job = std::make_unique<CPrintHandler>();
    job->SetMode(CPrintHandler::ModePrint);
    job->SetLabelData(m_pLabelData);
    job->SetWindowDataPrompt(m_pPrompt);
    job->SetScriptEngine(CreateProgramScriptEngine(this, parentWidget() ? parentWidget()->window() : nullptr));
    job->Prepare();
    m_nTotalPages = job->GetPageCount();
    m_pPrintHandler = std::move(job);
    InitControls();
}

void CPrintDlg::InitControls()
{
    setWindowTitle(QStringLiteral("打印 - %1").arg(m_pLabelData ? VisibleText(m_pLabelData->m_strTitle) : QString()));

    m_pPrinters->clear();
    const QStringList printers = Services().PrinterNames();
    m_pPrinters->addItems(printers);
    m_pPrinters->addItem(PdfEntryText(), true);
    m_pPrinters->setItemData(m_pPrinters->count() - 1, true, kPdfRole);
    // The label's own printer when it is installed, else where the last print of this
    // session went (the PDF file included), else the first printer; with no printer
    // at all the PDF file, so that 打印 always has somewhere to go.
    int chosen = m_pLabelData ? printers.indexOf(m_pLabelData->m_strPrinterName) : -1;
    const QString& last = Services().m_strLastPrintDestination;
    if (chosen < 0 && !last.isEmpty())
        chosen = m_pPrinters->findText(last, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_pPrinters->setCurrentIndex(chosen >= 0 ? chosen : 0);

    m_pAll->setChecked(true);
    for (CNumSpinCtrl* spin : {m_pStartSpin, m_pCountSpin, m_pFirstSpin, m_pLastSpin})
        SetSpinRange(spin, 1, float(std::max(1, m_nTotalPages)));
    SetSpinRange(m_pCopiesSpin, 1, 1000);
    m_pStart->setText(QStringLiteral("1"));
    m_pFirst->setText(QStringLiteral("1"));
    m_pCount->clear();
    m_pLast->clear();
    m_pCopies->setText(QStringLiteral("1"));
    ShowTotalPages();
    UpdateControls();
}

void CPrintDlg::ShowTotalPages()
{
    m_pTotal->setText(QString::asprintf("总共%d页", m_nTotalPages));
}

void CPrintDlg::UpdateControls()
{
    m_nRangeMode = m_pStartCount->isChecked() ? 1 : m_pRange->isChecked() ? 2 : 0;
    const bool startCount = m_nRangeMode == 1;
    const bool range = m_nRangeMode == 2;
    for (QWidget* w : {static_cast<QWidget*>(m_pStartLabel), static_cast<QWidget*>(m_pStart),
                       static_cast<QWidget*>(m_pStartSpin), static_cast<QWidget*>(m_pCountLabel),
                       static_cast<QWidget*>(m_pCount), static_cast<QWidget*>(m_pCountSpin)})
        w->setEnabled(startCount);
    for (QWidget* w : {static_cast<QWidget*>(m_pFirstLabel), static_cast<QWidget*>(m_pFirst),
                       static_cast<QWidget*>(m_pFirstSpin), static_cast<QWidget*>(m_pLastLabel),
                       static_cast<QWidget*>(m_pLast), static_cast<QWidget*>(m_pLastSpin)})
        w->setEnabled(range);
    m_pMoveOn->setEnabled(startCount || range);
}

bool CPrintDlg::Refuse(const QString& text, QWidget* focus)
{
    Services().ShowMessage(this, text, MessageIcon::Stop);
    if (focus)
        focus->setFocus();
    return false;
}

bool CPrintDlg::ValidateAndRead()
{
    UpdateControls();
    // Without a page the printer would be started for nothing, and a PDF come out blank.
    if (m_nTotalPages <= 0)
        return Refuse(QStringLiteral("没有可打印的页！"), nullptr);
    if (m_pPrinters->currentIndex() < 0)
        return Refuse(QStringLiteral("请选择打印机!"), m_pPrinters);
    // Every box in use holds a whole number: "70.0013.5" is no page 70 nor 700135. An
    // empty box counts as 0, which the checks below refuse with their own message.
    std::vector<CNumSpinCtrl*> inUse{m_pCopiesSpin};
    if (m_nRangeMode == 1)
        inUse = {m_pStartSpin, m_pCountSpin, m_pCopiesSpin};
    else if (m_nRangeMode == 2)
        inUse = {m_pFirstSpin, m_pLastSpin, m_pCopiesSpin};
    for (CNumSpinCtrl* spin : inUse)
        if (!spin->GetBuddy()->text().trimmed().isEmpty() && !ReadWholeNumber(spin->GetBuddy()))
            return Refuse(SpinRangeMessage(spin), spin->GetBuddy());
    const auto value = [](const CNumSpinCtrl* spin) { return ReadWholeNumber(spin->GetBuddy()).value_or(0); };
    int start = 1;
    int count = m_nTotalPages;
    if (m_nRangeMode == 1) {
        start = value(m_pStartSpin);
        count = value(m_pCountSpin);
        if (start <= 0)
            return Refuse(QStringLiteral("起始页不能小于等于0!"), m_pStart);
        if (count < 1 || count > m_nTotalPages)
            return Refuse(QStringLiteral("打印页数不能小于等于0,或大于总页数!"), m_pCount);
        // Pages past the last would come out blank.
        if (qint64(start) + count - 1 > m_nTotalPages)
            return Refuse(QString::asprintf("起始页加页数超出了最后一页(总共%d页)！", m_nTotalPages), m_pStart);
    } else if (m_nRangeMode == 2) {
        start = value(m_pFirstSpin);
        const int last = value(m_pLastSpin);
        if (start <= 0)
            return Refuse(QStringLiteral("起始页不能小于等于0!"), m_pFirst);
        if (last < start || last > m_nTotalPages)
            return Refuse(QStringLiteral("终止页不能小于起始页,或大于总页数!"), m_pLast);
        count = last - start + 1;
    }
    const int copies = value(m_pCopiesSpin);
    if (copies <= 0)
        return Refuse(QStringLiteral("打印份数必须大于等于1!"), m_pCopies);
    // As many copies as the arrows go to, typed or not.
    if (!SpinWholeValue(m_pCopiesSpin))
        return Refuse(SpinRangeMessage(m_pCopiesSpin), m_pCopies);

    const bool pdf = m_pPrinters->currentData(kPdfRole).toBool();
    m_strPrinterName = pdf ? QString() : m_pPrinters->currentText();
    m_nStartPage = start;
    m_nPageCount = count;
    m_nCopies = copies;
    m_bCollate = m_pCollate->isChecked();
    m_nPagesToPrint = qint64(copies) * count;
    if (pdf) {
        m_strPdfPath = AskPdfPath();
        if (m_strPdfPath.isEmpty())
            return false;
    } else {
        m_strPdfPath.clear();
    }
    return true;
}

QString CPrintDlg::AskPdfPath()
{
    QString dir;
    if (m_pLabelData && !m_pLabelData->m_strFilePath.isEmpty())
        dir = QFileInfo(m_pLabelData->m_strFilePath).absolutePath() + u'/';
    const QString name = m_pLabelData ? m_pLabelData->m_strTitle : QString();
    QString path = Services().GetSaveFileName(this, PdfEntryText(), dir + QFileInfo(name).completeBaseName() + ".pdf",
                                              QStringLiteral("PDF 文件 (*.pdf)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    return path;
}

bool CPrintDlg::OnOK()
{
    if (m_bPrinting || !m_pPrintHandler || !ValidateAndRead())
        return false;
    m_pPrint->setEnabled(false);
    m_bPrinting = true;
    m_bCancel = false;
    m_nPrintedPages = 0;
    Services().m_strLastPrintDestination = m_pPrinters->currentText();

    QString error;
    PrintResult result = PrintResult::Failed;
    try {
        CJobProgress progress(QStringLiteral("打印"), QStringLiteral("正在打印 %1/%2"), this);
        progress.SetCancelQuestion(QStringLiteral("您确定取消打印任务吗？"));
        progress.SetStepObserver([this](qint64 printed, qint64 total) {
            m_nPrintedPages = printed;
            m_pTotal->setText(
                QString::asprintf("%lld/%lld", static_cast<long long>(printed), static_cast<long long>(total)));
        });
        progress.SetCancelObserver([this] {
            m_bCancel = true;
            m_pPrintHandler->CancelScripts();
        });
        m_pProgress = &progress;
        const auto endRun = qScopeGuard([this] { m_pProgress = nullptr; });
        std::unique_ptr<CPrintTarget> target = m_targetFactory(m_strPrinterName, m_strPdfPath);
        result = RunPrintJob(*m_pPrintHandler, *target,
                             PrintRange{m_nStartPage, m_nPageCount, m_nCopies, m_bCollate}, &progress, &error);
    } catch (const VXException& e) {
        error = e.GetMessage();
    } catch (const std::exception&) {
        error = QStringLiteral("打印出现未知错误，请寻求技术人员支持。");
    }
    if (result == PrintResult::Failed) {
        Services().ShowMessage(this, error.isEmpty() ? QStringLiteral("打印出现未知错误，请寻求技术人员支持。") : error,
                               MessageIcon::Stop);
        ResetAfterRun();
        return false;
    }
    if (result == PrintResult::Cancelled) {
        ResetAfterRun();
        m_pPrint->setFocus();
        return false;
    }
    if (!m_strPdfPath.isEmpty())
        ReportPdfWritten();
    if (m_nRangeMode != 0 && m_pMoveOn->isChecked()) {
        Services().ShowMessage(this, QStringLiteral("打印完成!"), MessageIcon::Information);
        // The next range follows the one printed and ends at the last page at the
        // latest. Once the last page is printed it starts past it, where printing is
        // refused: the same labels (serial numbers) never come out twice by accident.
        const qint64 next = qint64(m_nStartPage) + m_nPageCount;
        const int first = static_cast<int>(std::min<qint64>(next, INT_MAX));
        const int last = static_cast<int>(std::min<qint64>(next <= m_nTotalPages ? m_nTotalPages : INT_MAX,
                                                           next + m_nPageCount - 1));
        if (m_nRangeMode == 1) {
            m_pStart->setText(QString::number(first));
            m_pCount->setText(QString::number(last - first + 1));
        } else {
            m_pFirst->setText(QString::number(first));
            m_pLast->setText(QString::number(last));
        }
        ResetAfterRun();
        return false;
    }
    m_bPrinting = false;
    return true;
}

void CPrintDlg::ReportPdfWritten()
{
    // The status bar of the window the dialog belongs to says where the file went.
    QWidget* window = parentWidget() ? parentWidget()->window() : nullptr;
    if (!window)
        return;
    QStatusTipEvent tip(QStringLiteral("已打印到 %1").arg(QDir::toNativeSeparators(m_strPdfPath)));
    QCoreApplication::sendEvent(window, &tip);
}

void CPrintDlg::ResetAfterRun()
{
    m_pPrint->setEnabled(true);
    m_bPrinting = false;
    ShowTotalPages();
}

void CPrintDlg::reject()
{
    if (!m_bPrinting) {
        CVXBaseDialog::reject();
        return;
    }
    // The progress asks whether to stop.
    if (m_pProgress)
        m_pProgress->AskCancel();
}
