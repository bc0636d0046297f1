#include "output/ui/ScriptEditorDlg.h"

#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "app/VXBaseDialog.h"
#include "app/controls/LineNumberEdit.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <algorithm>

namespace {

// Texts are kept with "\r\n" line breaks and edited with "\n".
QString ForEditing(const QString& stored)
{
    return QString(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString ForStoring(const QString& edited)
{
    return QString(edited).replace(u'\n', QStringLiteral("\r\n"));
}

QLabel* MakeLabel(QWidget* parent, int id, const char16_t* text)
{
    return SetCtlId(new QLabel(QString::fromUtf16(text), parent), id);
}

QPushButton* MakeButton(QWidget* parent, int id, const char16_t* text)
{
    return SetCtlId(new QPushButton(QString::fromUtf16(text), parent), id);
}

// Runs a dialog that changes the label as a whole; after OK the document-changed steps.
bool RunDocumentDialog(QDialog& dialog, const std::function<void()>& documentChanged)
{
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return false;
    if (documentChanged)
        documentChanged();
    return true;
}

} // namespace

CScriptEditorDlg::CScriptEditorDlg(QWidget* parent)
    : CVXBaseDialog(parent),
      m_pEventLabel(MakeLabel(this, 1316, u"事件列表(&E):")),
      m_pEventList(SetCtlId(new QListWidget(this), 1089)),
      m_pScriptLabel(MakeLabel(this, 1315, u"事件脚本(&S):")),
      m_pScriptEdit(SetCtlId(new CLineNumberEdit(this), 1079)),
      m_pCategoryLabel(MakeLabel(this, 1314, u"类别(&C):")),
      m_pCategories(SetCtlId(new QTreeWidget(this), 1311)),
      m_pNameLabel(MakeLabel(this, 1313, u"名称(&N):")),
      m_pNames(SetCtlId(new QListWidget(this), 1090)),
      m_pDescription(SetCtlId(new QGroupBox(QStringLiteral("描述"), this), 1312)),
      m_pScriptHelp(MakeButton(this, 1078, u"Visual Basic 脚本帮助")),
      m_pOk(MakeDialogButton(QDialogButtonBox::Ok, this)),
      m_pCancel(MakeDialogButton(QDialogButtonBox::Cancel, this)),
      m_pHelp(MakeDialogButton(QDialogButtonBox::Help, this))
{
    setWindowTitle(QStringLiteral("脚本编辑器"));
    m_pEventLabel->setBuddy(m_pEventList);
    m_pScriptLabel->setBuddy(m_pScriptEdit);
    m_pCategoryLabel->setBuddy(m_pCategories);
    m_pNameLabel->setBuddy(m_pNames);
    m_pCategories->setHeaderHidden(true);
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pHelp, &QPushButton::clicked, this, &CVXBaseDialog::OnHelp);
    connect(m_pEventList, &QListWidget::currentRowChanged, this, [this] { OnEventSelChange(); });
    resize(640, 520);
}

void CScriptEditorDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialized)
        OnInitDialog();
    CVXBaseDialog::showEvent(event);
}

void CScriptEditorDlg::OnInitDialog()
{
    setWindowIcon(ResourceIcon(29101));
    // The gutter's colours are given as 0x00BBGGRR.
    m_pScriptEdit->m_crText = QColor(0x9C, 0xAA, 0xC1);
    m_pScriptEdit->m_crBackground = QColor(0xF0, 0xF0, 0xF0);
    m_pScriptEdit->m_nFirstLineNumber = 1;
    m_pScriptEdit->m_nMaxLineNumber = 10000;
    m_pScriptEdit->SetLineNumberFormat(QStringLiteral("%d"));
    m_pScriptEdit->UpdateLayout();

    if (m_pLabelData) {
        for (int i = 0; i < kScriptEventCount; ++i)
            m_texts[static_cast<size_t>(i)] = m_pLabelData->m_strScripts[static_cast<size_t>(i)];
    }
    {
        const QSignalBlocker block(m_pEventList);
        for (const ScriptEventInfo& event : g_scriptEvents)
            m_pEventList->addItem(QString::fromUtf16(event.listed));
    }
    const bool eventList = m_nMode == ModeEventList;
    m_pEventList->setVisible(eventList);
    m_pEventList->setEnabled(eventList);
    m_pEventLabel->setVisible(eventList);
    m_pEventLabel->setEnabled(eventList);
    ApplyLayout();
    if (eventList) {
        const QSignalBlocker block(m_pEventList);
        m_pEventList->setCurrentRow(ScriptShared);
        m_nCurrentEvent = ScriptShared;
        m_pScriptEdit->setPlainText(ForEditing(m_texts[ScriptShared]));
    } else {
        m_pScriptEdit->setPlainText(ForEditing(m_strPlainText));
    }
    m_bInitialized = true;
}

void CScriptEditorDlg::resizeEvent(QResizeEvent* event)
{
    CVXBaseDialog::resizeEvent(event);
    if (m_bInitialized)
        ApplyLayout();
}

void CScriptEditorDlg::ApplyLayout()
{
    const int w = width();
    const int h = height();
    m_pCategoryLabel->setGeometry(8, h - 205, 70, 21);
    m_pCategories->setGeometry(8, h - 185, 155, 136);
    m_pNameLabel->setGeometry(170, h - 205, 70, 21);
    m_pNames->setGeometry(170, h - 185, 155, 136);
    // The group's title lines up with the labels beside it; its frame ends with
    // the lists.
    m_pDescription->setGeometry(333, h - 205, w - 342, 156);
    // Buttons as wide as their text and icon need, at least the classic sizes.
    const int helpWidth = std::max(124, m_pScriptHelp->sizeHint().width());
    const int buttonHeight = std::max(23, m_pOk->sizeHint().height());
    m_pScriptHelp->setGeometry(w - 10 - helpWidth, h - 10 - buttonHeight, helpWidth, buttonHeight);
    const int buttonWidth = std::max({72, m_pOk->sizeHint().width(), m_pCancel->sizeHint().width(),
                                      m_pHelp->sizeHint().width()});
    const int x = (w - 3 * buttonWidth - 18) / 2;
    m_pOk->setGeometry(x, h - 10 - buttonHeight, buttonWidth, buttonHeight);
    m_pCancel->setGeometry(x + buttonWidth + 9, h - 10 - buttonHeight, buttonWidth, buttonHeight);
    m_pHelp->setGeometry(x + 2 * (buttonWidth + 9), h - 10 - buttonHeight, buttonWidth, buttonHeight);
    if (m_nMode == ModeEventList) {
        m_pEventLabel->setGeometry(8, 8, 70, 21);
        m_pEventList->setGeometry(8, 29, 155, h - 245);
        m_pScriptLabel->setGeometry(170, 8, 70, 21);
        m_pScriptEdit->setGeometry(170, 29, w - 177, h - 245);
    } else {
        m_pScriptLabel->setGeometry(8, 8, 70, 21);
        m_pScriptEdit->setGeometry(8, 29, w - 14, h - 245);
    }
}

void CScriptEditorDlg::OnEventSelChange()
{
    if (!m_bInitialized)
        return;
    if (m_nCurrentEvent >= 0)
        m_texts[static_cast<size_t>(m_nCurrentEvent)] = ForStoring(m_pScriptEdit->toPlainText());
    m_nCurrentEvent = m_pEventList->currentRow();
    if (m_nCurrentEvent >= 0)
        m_pScriptEdit->setPlainText(ForEditing(m_texts[static_cast<size_t>(m_nCurrentEvent)]));
}

bool CScriptEditorDlg::OnOK()
{
    if (m_nMode == ModePlainText) {
        m_strPlainText = ForStoring(m_pScriptEdit->toPlainText());
        return true;
    }
    if (m_nCurrentEvent >= 0)
        m_texts[static_cast<size_t>(m_nCurrentEvent)] = ForStoring(m_pScriptEdit->toPlainText());
    if (m_pLabelData && m_bInitialized) {
        for (int i = 0; i < kScriptEventCount; ++i)
            m_pLabelData->m_strScripts[static_cast<size_t>(i)] = m_texts[static_cast<size_t>(i)];
    }
    return true;
}

bool EditLabelScripts(QWidget* parent, CLabelData& label, const std::function<void()>& documentChanged)
{
    CScriptEditorDlg dialog(parent);
    dialog.SetLabelData(&label);
    dialog.m_nMode = CScriptEditorDlg::ModeEventList;
    return RunDocumentDialog(dialog, documentChanged);
}

CScriptingDlg::CScriptingDlg(QWidget* parent)
    : QDialog(parent),
      m_pEdit(SetCtlId(new QTextEdit(this), 1080)),
      m_pOk(MakeDialogButton(QDialogButtonBox::Ok, this)),
      m_pCancel(MakeDialogButton(QDialogButtonBox::Cancel, this)),
      m_pHelp(MakeDialogButton(QDialogButtonBox::Help, this)),
      m_pSyntaxCheck(MakeButton(this, 1083, u"语法检查"))
{
    setWindowTitle(QStringLiteral("编写脚本"));
    setWindowIcon(ResourceIcon(29101));
    setSizeGripEnabled(true);
    m_pEdit->setAcceptRichText(false);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.8);
    m_pEdit->setFont(font);
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pHelp, &QPushButton::clicked, this, [this] { Services().ShowHelp(this); });
    resize(560, 420);
}

void CScriptingDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialized && m_pLabelData) {
        m_strText = m_pLabelData->m_strScripts[kScriptPlainText];
        m_pEdit->setPlainText(ForEditing(m_strText));
    }
    m_bInitialized = true;
    ApplyLayout();
    QTextCursor start = m_pEdit->textCursor();
    start.movePosition(QTextCursor::Start);
    m_pEdit->setTextCursor(start);
    QDialog::showEvent(event);
}

void CScriptingDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_bInitialized)
        ApplyLayout();
}

void CScriptingDlg::ApplyLayout()
{
    const int w = width();
    const int h = height();
    // A margin round the edit as round every other dialog's content.
    constexpr int kMargin = 9;
    m_pEdit->setGeometry(kMargin, kMargin, w - 2 * kMargin, h - 45 - kMargin);
    int width = 75;
    for (QPushButton* button : {m_pOk, m_pCancel, m_pHelp, m_pSyntaxCheck})
        width = std::max(width, button->sizeHint().width());
    const int height = std::max(23, m_pOk->sizeHint().height());
    const int y = h - 12 - height;
    int x = w - kMargin - width;
    for (QPushButton* button : {m_pHelp, m_pCancel, m_pOk, m_pSyntaxCheck}) {
        button->setGeometry(x, y, width, height);
        x -= width + 10;
    }
}

void CScriptingDlg::accept()
{
    m_strText = ForStoring(m_pEdit->toPlainText());
    QDialog::accept();
}

bool EditScriptText(QWidget* parent, CLabelData& label, const std::function<void()>& documentChanged)
{
    CScriptingDlg dialog(parent);
    dialog.SetLabelData(&label);
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return false;
    QString& stored = label.m_strScripts[kScriptPlainText];
    if (dialog.m_strText != stored) {
        stored = dialog.m_strText;
        if (documentChanged)
            documentChanged();
    }
    return true;
}
