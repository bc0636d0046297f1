#include "app/SysOptionsDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/ColourPicker.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"
#include "model/GlobalSettings.h"
#include "model/Utils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The check boxes of the general page, in the order of their options.
const struct {
    int id;
    const char16_t* text;
    bool CGlobalSettings::*option;
} kChecks[] = {
    {1004, u"保存为旧格式时警告", &CGlobalSettings::m_bAlertSaveFormat},
    {1061, u"创建图形后继续保持建图形状态", &CGlobalSettings::m_bContinueCreating},
    {1057, u"鼠标操作时立即移动图形对象", &CGlobalSettings::m_bInstantMoving},
    {1058, u"鼠标操作时立即改变图形大小", &CGlobalSettings::m_bInstantSizing},
    {1059, u"鼠标操作时立即旋转图形对象", &CGlobalSettings::m_bInstantRotating},
    {1060, u"以横线或竖线创建直线对象", &CGlobalSettings::m_bCreateAsHVLine},
    {1063, u"显示欢迎界面", &CGlobalSettings::m_bShowAppWelcome},
};

constexpr float kMinScale = 0.2f;
constexpr float kMaxScale = 5.0f;

// The option's red, green and blue; the pickers offer no "no colour".
QColor OptionColour(uint32_t argb)
{
    return QColor::fromRgb(argb | 0xFF000000u);
}

CColourPicker* MakeColourPicker(int id)
{
    auto* picker = SetCtlId(new CColourPicker, id);
    picker->m_strDefaultText.clear();
    return picker;
}

} // namespace

// ---- 常规设置 -------------------------------------------------------------------------

CSysOptionsDlg_Common::CSysOptionsDlg_Common(CGlobalSettings& settings, QWidget* parent)
    : CSysOptionsDlg_Base(settings, parent)
{
    SetPageId(this, 226);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_pFormat = SetCtlId(new QComboBox, 1098);
    m_pFormat->addItems(m_settings.m_formatVersions);
    form->addRow(QStringLiteral("保存为格式:"), m_pFormat);
    layout->addLayout(form);
    for (size_t i = 0; i < m_checks.size(); ++i) {
        m_checks[i] = SetCtlId(new QCheckBox(QString::fromUtf16(kChecks[i].text)), kChecks[i].id);
        layout->addWidget(m_checks[i]);
    }
    auto* start = new QGroupBox(QStringLiteral("程序启动时"));
    auto* startLayout = new QFormLayout(start);
    m_pStartAction = SetCtlId(new QComboBox, 1100);
    m_pStartAction->addItems({QStringLiteral("不偿试新建标签"), QStringLiteral("打开新建标签对话框"),
                              QStringLiteral("打开浏览现有标签对话框"), QStringLiteral("以设定所基于的格式创建新标签")});
    startLayout->addRow(QStringLiteral("动作:"), m_pStartAction);
    layout->addWidget(start);
    layout->addStretch();
    UpdateControls();
}

void CSysOptionsDlg_Common::UpdateControls()
{
    m_pFormat->setCurrentIndex(m_settings.m_nSaveFileAsFormat);
    m_pStartAction->setCurrentIndex(m_settings.m_nAppStartBehavior);
    for (size_t i = 0; i < m_checks.size(); ++i)
        m_checks[i]->setChecked(m_settings.*kChecks[i].option);
}

void CSysOptionsDlg_Common::UpdateSettings()
{
    m_settings.m_nSaveFileAsFormat = std::max(0, m_pFormat->currentIndex());
    m_settings.m_nAppStartBehavior = std::max(0, m_pStartAction->currentIndex());
    for (size_t i = 0; i < m_checks.size(); ++i)
        m_settings.*kChecks[i].option = m_checks[i]->isChecked();
}

// ---- 新建标签 -------------------------------------------------------------------------

CSysOptionsDlg_NewLabel::CSysOptionsDlg_NewLabel(CGlobalSettings& settings, QWidget* parent)
    : CSysOptionsDlg_Base(settings, parent)
{
    SetPageId(this, 227);
    auto* layout = new QVBoxLayout(this);
    const struct {
        int id;
        const char16_t* text;
    } radios[] = {{1093, u"新建默认标签格式"}, {1094, u"打开现有标签格式"}, {1096, u"基于现有标签格式创建"}};
    for (size_t i = 0; i < m_radios.size(); ++i) {
        m_radios[i] = SetCtlId(new QRadioButton(QString::fromUtf16(radios[i].text)), radios[i].id);
        layout->addWidget(m_radios[i]);
        connect(m_radios[i], &QRadioButton::clicked, this, &CSysOptionsDlg_NewLabel::EnableFile);
    }
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("格式:")));
    m_pFile = SetCtlId(new QLineEdit, 1079);
    row->addWidget(m_pFile, 1);
    m_pBrowse = SetCtlId(new QPushButton(QStringLiteral("浏览(&B)...")), 1078);
    row->addWidget(m_pBrowse);
    layout->addLayout(row);
    layout->addStretch();
    connect(m_pBrowse, &QPushButton::clicked, this, &CSysOptionsDlg_NewLabel::OnBrowse);
    UpdateControls();
}

void CSysOptionsDlg_NewLabel::UpdateControls()
{
    const int behavior = m_settings.m_nNewLabelBehavior;
    m_radios[behavior == 0 ? 0 : behavior == 1 ? 1 : 2]->setChecked(true);
    m_pFile->setText(m_settings.m_strNewLabelBasedFile);
    EnableFile();
}

void CSysOptionsDlg_NewLabel::UpdateSettings()
{
    m_settings.m_nNewLabelBehavior = m_radios[0]->isChecked() ? 0 : m_radios[1]->isChecked() ? 1 : 2;
    m_settings.m_strNewLabelBasedFile = m_pFile->text();
}

void CSysOptionsDlg_NewLabel::EnableFile()
{
    const bool based = m_radios[2]->isChecked();
    m_pFile->setEnabled(based);
    m_pBrowse->setEnabled(based);
}

void CSysOptionsDlg_NewLabel::OnBrowse()
{
    const QString path = Services().GetOpenFileName(this, {}, {},
                                                    QStringLiteral("Vellumcraft Files (*.vmk);;All Files (*.*)"));
    if (path.right(4).toUpper() == QLatin1String(".VMK"))
        m_pFile->setText(path);
}

// ---- 其它设置 -------------------------------------------------------------------------

CSysOptionsDlg_Others::CSysOptionsDlg_Others(CGlobalSettings& settings, QWidget* parent)
    : CSysOptionsDlg_Base(settings, parent)
{
    SetPageId(this, 228);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_pMainColour = MakeColourPicker(1264);
    m_pLabelColour = MakeColourPicker(1202);
    form->addRow(QStringLiteral("主窗口背景颜色:"), m_pMainColour);
    form->addRow(QStringLiteral("标签窗口背景颜色:"), m_pLabelColour);
    m_pUndoMax = MakeIntegerEdit(1262);
    form->addRow(QStringLiteral("撤销操作最大次数:"), EditWithSpin(m_pUndoMax, MakeSpin(1263, m_pUndoMax, 1, 10000)));
    m_pScale = SetCtlId(new CVXUnitEdit, 1265);
    m_pScale->m_bShowUnit = false;
    m_pScale->m_nValueType = CVXUnitEdit::ValueReal;
    m_pScale->UpdateFrame();
    m_pScaleSpin = SetCtlId(new CNumSpinCtrl, 1266);
    m_pScaleSpin->SetBuddy(m_pScale);
    form->addRow(QStringLiteral("视图缺省缩放系数:"), EditWithSpin(m_pScale, m_pScaleSpin));
    layout->addLayout(form);
    layout->addStretch();
    UpdateControls();
}

void CSysOptionsDlg_Others::UpdateControls()
{
    m_pMainColour->SetColour(OptionColour(m_settings.m_crMbkgnd));
    m_pLabelColour->SetColour(OptionColour(m_settings.m_crLbkgnd));
    m_pUndoMax->setText(QString::asprintf("%d", m_settings.m_nUndoMax));
    m_pScale->setText(FormatFloatShort2(m_settings.m_fDefScale));
}

void CSysOptionsDlg_Others::UpdateSettings()
{
    m_settings.m_crMbkgnd = PickerColourToArgb(m_pMainColour->GetColour());
    m_settings.m_crLbkgnd = PickerColourToArgb(m_pLabelColour->GetColour());
    m_settings.m_nUndoMax = static_cast<int32_t>(TextToFloat(m_pUndoMax->text()));
    m_settings.m_fDefScale = std::clamp(TextToFloat(m_pScale->text()), kMinScale, kMaxScale);
}

// ---- CSysOptionsDlg -------------------------------------------------------------------

CSysOptionsDlg::CSysOptionsDlg(CGlobalSettings& settings, QWidget* parent)
    : CVXBaseDialog(parent), m_settings(settings), m_pTabs(SetCtlId(new QTabWidget, 1058))
{
    setWindowTitle(QStringLiteral("系统选项"));
    m_pages = {new CSysOptionsDlg_Common(settings), new CSysOptionsDlg_NewLabel(settings),
               new CSysOptionsDlg_Others(settings)};
    const char16_t* titles[] = {u"常规设置", u"新建标签", u"其它设置"};
    for (size_t i = 0; i < m_pages.size(); ++i)
        m_pTabs->addTab(m_pages[i], QString::fromUtf16(titles[i]));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTabs);
    QDialogButtonBox* buttons =
        MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    QPushButton* restore = SetCtlId(buttons->addButton(QStringLiteral("恢复默认值"), QDialogButtonBox::ResetRole), 3);
    connect(restore, &QPushButton::clicked, this, &CSysOptionsDlg::RestoreDefaults);
    layout->addWidget(buttons);
}

bool CSysOptionsDlg::OnOK()
{
    for (CSysOptionsDlg_Base* page : m_pages)
        page->UpdateSettings();
    return true;
}

void CSysOptionsDlg::RestoreDefaults()
{
    m_settings.ResetOptions();
    for (CSysOptionsDlg_Base* page : m_pages)
        page->UpdateControls();
}
