#include "ScreenDataDlg.h"

#include "ScreenDataView.h"
#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"
#include "model/LabelData.h"
#include "model/LabelLimits.h"
#include "model/SDGraph.h"
#include "output/ui/WindowDataInputDlg.h"
#include "platform/Numbers.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kPanelWidth = 200;
constexpr int kSelectorHeight = 23;

QString Number(int value) { return QString::asprintf("%d", value); }

int ReadNumber(const QLineEdit* edit) { return LeadingInt(edit->text()); }

// The picker's lowest date stands for "no date": text that is not a date shows blank.
const QDate kNoDate(1752, 9, 14);

} // namespace

// ---------------------------------------------------------------------------------
// Pages

CScreenDataPropertyDlg_Base::CScreenDataPropertyDlg_Base(QWidget* parent) : CVXPage(parent)
{
    m_pForm = new QFormLayout(this);
    m_pForm->setContentsMargins(6, 6, 6, 6);
}

CVXUnitEdit* CScreenDataPropertyDlg_Base::AddNumberRow(int id, const QString& label)
{
    auto* edit = SetCtlId(new CVXUnitEdit(this), id);
    edit->m_bShowUnit = false;
    edit->m_nValueType = CVXUnitEdit::ValueInteger;
    edit->UpdateFrame();
    m_pForm->addRow(label, edit);
    StoreOnEdit(edit);
    return edit;
}

QLineEdit* CScreenDataPropertyDlg_Base::AddTextRow(int id, const QString& label)
{
    auto* edit = SetCtlId(new QLineEdit(this), id);
    m_pForm->addRow(label, edit);
    StoreOnEdit(edit);
    return edit;
}

void CScreenDataPropertyDlg_Base::StoreOnEdit(QLineEdit* edit)
{
    connect(edit, &QLineEdit::editingFinished, this, &CScreenDataPropertyDlg_Base::StoreAndNotify);
}

void CScreenDataPropertyDlg_Base::StoreAndNotify()
{
    StoreControls();
    Q_EMIT Stored();
}

void CScreenDataPropertyDlg_Base::AddItemRows(int textId)
{
    m_pNameEdit = AddTextRow(1090, QStringLiteral("名称:"));
    m_boxEdits[0] = AddNumberRow(1079, QStringLiteral("左边距:"));
    m_boxEdits[1] = AddNumberRow(1080, QStringLiteral("上边距:"));
    m_boxEdits[2] = AddNumberRow(1081, QStringLiteral("宽度:"));
    m_boxEdits[3] = AddNumberRow(1082, QStringLiteral("高度:"));
    if (textId != 0)
        m_pTextEdit = AddTextRow(textId, QStringLiteral("文本:"));
}

void CScreenDataPropertyDlg_Base::LoadControls()
{
    if (m_pNameEdit)
        m_pNameEdit->setText(m_strName);
    const int values[] = {m_nX, m_nY, m_nWidth, m_nHeight};
    for (size_t i = 0; i < m_boxEdits.size(); ++i) {
        if (m_boxEdits[i])
            m_boxEdits[i]->setText(Number(values[i]));
    }
    if (m_pTextEdit)
        m_pTextEdit->setText(m_strText);
}

void CScreenDataPropertyDlg_Base::StoreControls()
{
    if (m_pNameEdit)
        m_strName = m_pNameEdit->text();
    // Places and sizes are held to the range a label file keeps: sizes not negative.
    int* values[] = {&m_nX, &m_nY, &m_nWidth, &m_nHeight};
    for (size_t i = 0; i < m_boxEdits.size(); ++i) {
        if (m_boxEdits[i])
            *values[i] = std::clamp(ReadNumber(m_boxEdits[i]), i < 2 ? -kMaxFormItemPixels : 0, kMaxFormItemPixels);
    }
    if (m_pTextEdit)
        m_strText = m_pTextEdit->text();
}

CScreenDataPropertyDlg_Form::CScreenDataPropertyDlg_Form(QWidget* parent) : CScreenDataPropertyDlg_Base(parent)
{
    SetPageId(this, 217);
    m_pCaption = AddTextRow(1085, QStringLiteral("标题:"));
    m_pFormWidth = AddNumberRow(1086, QStringLiteral("宽度:"));
    m_pFormHeight = AddNumberRow(1087, QStringLiteral("高度:"));
}

void CScreenDataPropertyDlg_Form::LoadControls()
{
    m_pCaption->setText(m_strCaption);
    m_pFormWidth->setText(Number(m_nFormWidth));
    m_pFormHeight->setText(Number(m_nFormHeight));
}

void CScreenDataPropertyDlg_Form::StoreControls()
{
    m_strCaption = m_pCaption->text();
    // A size beyond any screen would overflow the designer's drawing and the form's
    // placement: refused, the box showing the size kept.
    for (auto [edit, size] : {std::pair{m_pFormWidth, &m_nFormWidth}, std::pair{m_pFormHeight, &m_nFormHeight}}) {
        const std::optional<int> typed = ReadWholeNumber(edit);
        if (typed && *typed >= 1 && *typed <= kMaxFormSize) {
            *size = *typed;
            continue;
        }
        // The box is put back first: the message takes the focus, which ends the
        // editing a second time.
        edit->setText(Number(*size));
        Services().ShowMessage(this, QStringLiteral("窗口的宽度和高度必须在1到%1之间！").arg(kMaxFormSize),
                               MessageIcon::Stop);
    }
}

CScreenDataPropertyDlg_Static::CScreenDataPropertyDlg_Static(QWidget* parent) : CScreenDataPropertyDlg_Base(parent)
{
    SetPageId(this, 220);
    AddItemRows(1083);
}

CScreenDataPropertyDlg_Edit::CScreenDataPropertyDlg_Edit(QWidget* parent) : CScreenDataPropertyDlg_Base(parent)
{
    SetPageId(this, 218);
    AddItemRows(1083);
    m_pMultiLine = SetCtlId(new QCheckBox(QStringLiteral("多行文本"), this), 1004);
    m_pForm->addRow(m_pMultiLine);
    connect(m_pMultiLine, &QCheckBox::clicked, this, &CScreenDataPropertyDlg_Edit::StoreAndNotify);
}

void CScreenDataPropertyDlg_Edit::LoadControls()
{
    CScreenDataPropertyDlg_Base::LoadControls();
    m_pMultiLine->setChecked(m_bMultiLine);
}

void CScreenDataPropertyDlg_Edit::StoreControls()
{
    CScreenDataPropertyDlg_Base::StoreControls();
    m_bMultiLine = m_pMultiLine->isChecked();
}

CScreenDataPropertyDlg_Combo::CScreenDataPropertyDlg_Combo(QWidget* parent) : CScreenDataPropertyDlg_Base(parent)
{
    SetPageId(this, 221);
    AddItemRows(1083);
    m_pList = SetCtlId(new QListWidget(this), 1089);
    auto* add = SetCtlId(new QPushButton(QStringLiteral("+"), this), 1078);
    auto* remove = SetCtlId(new QPushButton(QStringLiteral("-"), this), 1091);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    m_pForm->addRow(new QLabel(QStringLiteral("项目:"), this));
    m_pForm->addRow(m_pList);
    m_pForm->addRow(buttons);
    connect(add, &QPushButton::clicked, this, &CScreenDataPropertyDlg_Combo::OnAdd);
    connect(remove, &QPushButton::clicked, this, &CScreenDataPropertyDlg_Combo::OnRemove);
}

void CScreenDataPropertyDlg_Combo::LoadControls()
{
    CScreenDataPropertyDlg_Base::LoadControls();
    m_pList->clear();
    m_pList->addItems(m_entries);
}

void CScreenDataPropertyDlg_Combo::StoreControls()
{
    CScreenDataPropertyDlg_Base::StoreControls();
    m_entries.clear();
    for (int i = 0; i < m_pList->count(); ++i)
        m_entries.append(m_pList->item(i)->text());
}

void CScreenDataPropertyDlg_Combo::OnAdd()
{
    CScreenDataPropertyDlg_ComboItem dialog(this);
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return;
    m_pList->addItem(dialog.m_strText);
    StoreAndNotify();
}

void CScreenDataPropertyDlg_Combo::OnRemove()
{
    const int row = m_pList->currentRow();
    if (row < 0 || !m_pList->currentItem() || !m_pList->currentItem()->isSelected())
        return;
    delete m_pList->takeItem(row);
    StoreAndNotify();
}

CScreenDataPropertyDlg_Date::CScreenDataPropertyDlg_Date(QWidget* parent) : CScreenDataPropertyDlg_Base(parent)
{
    SetPageId(this, 222);
    AddItemRows(0);
    m_pDate = SetCtlId(new QDateEdit(this), 1088);
    m_pDate->setCalendarPopup(true);
    m_pDate->setMinimumDate(kNoDate);
    m_pDate->setSpecialValueText(QStringLiteral(" "));
    m_pDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_pForm->addRow(QStringLiteral("文本:"), m_pDate);
    connect(m_pDate, &QDateEdit::dateChanged, this, &CScreenDataPropertyDlg_Date::StoreAndNotify);
}

void CScreenDataPropertyDlg_Date::LoadControls()
{
    CScreenDataPropertyDlg_Base::LoadControls();
    const QDate date = ReadFormDate(m_strText);
    const QSignalBlocker block(m_pDate);
    m_pDate->setDate(date.isValid() ? date : kNoDate);
}

void CScreenDataPropertyDlg_Date::StoreControls()
{
    CScreenDataPropertyDlg_Base::StoreControls();
    // A picker left without a date keeps the item's text as it was.
    if (m_pDate->date() != kNoDate)
        m_strText = m_pDate->date().toString(QStringLiteral("yyyy-MM-dd"));
}

CScreenDataPropertyDlg_ComboItem::CScreenDataPropertyDlg_ComboItem(QWidget* parent) : CVXBaseDialog(parent)
{
    setObjectName(QStringLiteral("dlg_223"));
    setWindowTitle(QStringLiteral("项目"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("项目:"), this));
    m_pEdit = SetCtlId(new QLineEdit(this), 1079);
    row->addWidget(m_pEdit);
    layout->addLayout(row);
    layout->addWidget(MakeDialogButtons(this));
}

bool CScreenDataPropertyDlg_ComboItem::OnOK()
{
    m_strText = m_pEdit->text();
    return true;
}

// ---------------------------------------------------------------------------------
// Dialog

CScreenDataDlg::CScreenDataDlg(QWidget* parent) : CVXBaseDialog(parent)
{
    setObjectName(QStringLiteral("dlg_204"));
    setWindowTitle(QStringLiteral("窗口数据"));
    setWindowIcon(ResourceIcon(334));
    setSizeGripEnabled(true);

    m_pToolBar = new QToolBar(QStringLiteral("Standard"), this);
    m_pToolBar->setObjectName(QStringLiteral("Standard"));
    auto* group = new QActionGroup(this);
    struct Tool
    {
        int id;
        const char16_t* prompt;
    };
    static constexpr Tool kTools[] = {
        {SDToolSelect, u"选择。\n选择"},       {SDToolStatic, u"静态文本。\n静态文本"}, {SDToolEdit, u"文本框。\n文本框"},
        {SDToolCombo, u"下拉框。\n下拉框"}, {SDToolDate, u"日期框。\n日期框"},
    };
    for (size_t i = 0; i < std::size(kTools); ++i) {
        const QStringList prompt = QString::fromUtf16(kTools[i].prompt).split(QLatin1Char('\n'));
        QAction* action = m_pToolBar->addAction(ToolbarButtonIcon(kTools[i].id), prompt.value(1));
        action->setObjectName(QStringLiteral("cmd_%1").arg(kTools[i].id));
        action->setStatusTip(prompt.value(0));
        action->setToolTip(prompt.value(1));
        action->setCheckable(true);
        group->addAction(action);
        const int id = kTools[i].id;
        connect(action, &QAction::triggered, this, [this, id] { m_pView->SetTool(id); });
        m_tools[i] = action;
        if (i == 0)
            m_pToolBar->addSeparator();
    }
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    m_pView = new CScreenDataView(this);
    m_pSelector = SetCtlId(new QComboBox(this), 1084);
    m_pFormPage = new CScreenDataPropertyDlg_Form(this);
    m_itemPages = {new CScreenDataPropertyDlg_Static(this), new CScreenDataPropertyDlg_Edit(this),
                   new CScreenDataPropertyDlg_Combo(this), new CScreenDataPropertyDlg_Date(this)};
    connect(m_pFormPage, &CScreenDataPropertyDlg_Base::Stored, this, &CScreenDataDlg::ApplyPage);
    for (CScreenDataPropertyDlg_Base* page : m_itemPages)
        connect(page, &CScreenDataPropertyDlg_Base::Stored, this, &CScreenDataDlg::ApplyPage);
    m_pButtons = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    m_bPagesReady = true;

    connect(m_pView, &CScreenDataView::Changed, this, &CScreenDataDlg::OnViewChanged);
    connect(m_pView, &CScreenDataView::ToolChanged, this, &CScreenDataDlg::CheckTool);
    connect(m_pSelector, &QComboBox::activated, this, &CScreenDataDlg::OnSelectorActivated);
    CheckTool(m_pView->GetTool());
    resize(780, 480);
    LoadCurrentPage();
    m_pView->setFocus();
}

// The pages store when their edits lose the focus, which also happens while the
// children are torn down; by then there is nothing left to apply to.
CScreenDataDlg::~CScreenDataDlg()
{
    m_bPagesReady = false;
    m_pFormPage->disconnect(this);
    for (CScreenDataPropertyDlg_Base* page : m_itemPages)
        page->disconnect(this);
    m_pView->disconnect(this);
}

void CScreenDataDlg::SetLabelData(CLabelData* label)
{
    m_pLabelData = label;
    m_pView->m_pLabelData = label;
    m_pView->LoadForm();
    RefreshSelector();
    LoadCurrentPage();
}

CScreenDataPropertyDlg_Base* CScreenDataDlg::CurrentPage() const
{
    const CSDGraph* current = m_pView->m_pCurrent;
    if (!current)
        return m_pFormPage;
    return m_itemPages[size_t(std::clamp(current->GetKind(), 0, 3))];
}

void CScreenDataDlg::CheckTool(int tool)
{
    for (QAction* action : m_tools)
        action->setChecked(action->objectName() == QStringLiteral("cmd_%1").arg(tool));
}

void CScreenDataDlg::OnViewChanged()
{
    RefreshSelector();
    LoadCurrentPage();
}

void CScreenDataDlg::RefreshSelector()
{
    const QSignalBlocker block(m_pSelector);
    m_pSelector->clear();
    for (const auto& item : m_pView->m_items)
        m_pSelector->addItem(item->m_strName);
    m_pSelector->setCurrentIndex(m_pView->m_pCurrent ? m_pSelector->findText(m_pView->m_pCurrent->m_strName) : -1);
}

void CScreenDataDlg::OnSelectorActivated(int index)
{
    m_pView->SelectByName(index < 0 ? QString() : m_pSelector->itemText(index));
    LoadCurrentPage();
}

void CScreenDataDlg::LoadCurrentPage()
{
    const CSDGraph* item = m_pView->m_pCurrent;
    CScreenDataPropertyDlg_Base* shown = CurrentPage();
    if (!item) {
        m_pFormPage->m_strCaption = m_pView->m_strCaption;
        m_pFormPage->m_nFormWidth = m_pView->m_nFormWidth;
        m_pFormPage->m_nFormHeight = m_pView->m_nFormHeight;
    } else {
        shown->m_strName = item->m_strName;
        shown->m_nX = item->m_nX;
        shown->m_nY = item->m_nY;
        shown->m_nWidth = item->m_nWidth;
        shown->m_nHeight = item->m_nHeight;
        shown->m_strText = item->m_strText;
        if (auto* edit = dynamic_cast<const CEditSDGraph*>(item))
            static_cast<CScreenDataPropertyDlg_Edit*>(shown)->m_bMultiLine = edit->m_bMultiLine;
        if (auto* combo = dynamic_cast<const CComboSDGraph*>(item))
            static_cast<CScreenDataPropertyDlg_Combo*>(shown)->m_entries = combo->m_entries;
    }
    shown->LoadControls();
    m_pFormPage->setVisible(shown == m_pFormPage);
    for (CScreenDataPropertyDlg_Base* page : m_itemPages)
        page->setVisible(page == shown);
}

void CScreenDataDlg::ApplyPage()
{
    if (!m_bPagesReady)
        return;
    CSDGraph* item = m_pView->m_pCurrent;
    CScreenDataPropertyDlg_Base* page = CurrentPage();
    if (!item) {
        m_pView->m_strCaption = m_pFormPage->m_strCaption;
        m_pView->m_nFormWidth = m_pFormPage->m_nFormWidth;
        m_pView->m_nFormHeight = m_pFormPage->m_nFormHeight;
        m_pView->update();
        return;
    }
    if (!page->m_strName.isEmpty() && !m_pView->IsNameUsed(page->m_strName, item)) {
        const int entry = m_pSelector->findText(item->m_strName);
        item->m_strName = page->m_strName;
        if (entry >= 0)
            m_pSelector->setItemText(entry, item->m_strName);
    } else {
        page->m_strName = item->m_strName;
        page->LoadControls();
    }
    item->m_nX = page->m_nX;
    item->m_nY = page->m_nY;
    item->m_nWidth = page->m_nWidth;
    item->m_nHeight = page->m_nHeight;
    item->m_strText = page->m_strText;
    if (auto* edit = dynamic_cast<CEditSDGraph*>(item))
        edit->m_bMultiLine = static_cast<CScreenDataPropertyDlg_Edit*>(page)->m_bMultiLine;
    if (auto* combo = dynamic_cast<CComboSDGraph*>(item))
        combo->m_entries = static_cast<CScreenDataPropertyDlg_Combo*>(page)->m_entries;
    m_pView->update();
}

bool CScreenDataDlg::OnOK()
{
    // What is typed in the shown page counts, also when its edit never lost focus.
    if (m_bPagesReady) {
        CurrentPage()->StoreControls();
        ApplyPage();
    }
    m_pView->StoreForm();
    return true;
}

void CScreenDataDlg::resizeEvent(QResizeEvent* event)
{
    CVXBaseDialog::resizeEvent(event);
    if (m_bPagesReady)
        Layout();
}

void CScreenDataDlg::Layout()
{
    const int cx = width();
    const int cy = height();
    const int t = m_pToolBar->sizeHint().height();
    m_pToolBar->setGeometry(0, 0, cx, t);
    m_pView->setGeometry(0, t, std::max(0, cx - kPanelWidth), std::max(0, cy - t - 45));
    m_pSelector->setGeometry(cx - kPanelWidth, t, kPanelWidth, kSelectorHeight);
    const QRect pageBox(cx - kPanelWidth, t + kSelectorHeight, kPanelWidth, std::max(0, cy - t - 68));
    m_pFormPage->setGeometry(pageBox);
    for (CScreenDataPropertyDlg_Base* page : m_itemPages)
        page->setGeometry(pageBox);
    m_pButtons->setGeometry(cx - 445, cy - 35, 245, 23);
}

bool EditScreenDataForm(CLabelData& label, QWidget* parent)
{
    CScreenDataDlg dialog(parent);
    dialog.SetLabelData(&label);
    return Services().RunModal(dialog) == QDialog::Accepted;
}
