#include "dialogs/properties/GroupingSettingsDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/GroupCheck.h"
#include "app/controls/VXUnitEdit.h"
#include "barcode/BarcodeSettings.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/Utils.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CGroupingSettingsDlg::CGroupingSettingsDlg(QWidget* parent) : CVXBaseDialog(parent)
{
    setWindowTitle(QStringLiteral("分组设置"));
    auto* layout = new QVBoxLayout(this);
    auto* box = SetCtlId(new QGroupBox(QStringLiteral("分组")), 1282);
    auto* grid = new QGridLayout(box);
    auto label = [](const QString& text, int id) { return SetCtlId(new QLabel(text), id); };
    m_separator = SetCtlId(new QComboBox, 1294);
    m_separator->addItems({QStringLiteral("半角空格"), QStringLiteral("全角空格"), QStringLiteral("自定义字符"),
                           QStringLiteral("自定义间距")});
    m_customLabel = label(QStringLiteral("自定义字符:"), 1269);
    m_custom = SetCtlId(new QLineEdit, 1079);
    m_gapLabel = label(QStringLiteral("自定义间距:"), 1270);
    m_gap = SetCtlId(new CVXUnitEdit, 1080);
    m_rule = SetCtlId(new QLineEdit, 1153);
    grid->addWidget(label(QStringLiteral("分组字符:"), 1266), 0, 0);
    grid->addWidget(m_separator, 0, 1);
    grid->addWidget(m_customLabel, 1, 0);
    grid->addWidget(m_custom, 1, 1);
    grid->addWidget(m_gapLabel, 2, 0);
    grid->addWidget(m_gap, 2, 1);
    grid->addWidget(label(QStringLiteral("分组规则:"), 1267), 3, 0);
    grid->addWidget(m_rule, 3, 1);
    grid->addWidget(label(QStringLiteral("(格式: 2,3,3,2...)"), 1268), 4, 1);
    layout->addWidget(box);
    layout->addWidget(MakeDialogButtons(this));
    m_box = box;
    m_grouping = SetCtlId(new CGroupCheck(QStringLiteral("分组"), this), 1151);
    connect(m_grouping, &QCheckBox::clicked, this, &CGroupingSettingsDlg::OnGroupingClicked);
    connect(m_separator, &QComboBox::activated, this, &CGroupingSettingsDlg::OnSeparatorChanged);
}

void CGroupingSettingsDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    CVXBaseDialog::showEvent(event);
}

void CGroupingSettingsDlg::OnInitDialog()
{
    // The check box works on the controls over its box: they must be in place first.
    layout()->activate();
    m_grouping->SetGroupbox(m_box);
    m_gap->UpdateFrame();
    m_grouping->setChecked(m_bGrouping);
    m_grouping->UpdateGroupControls();
    m_separator->setCurrentIndex(m_nSeparator >= 0 && m_nSeparator < m_separator->count() ? m_nSeparator : -1);
    m_custom->setText(m_strSeparator);
    m_gap->setText(FormatFloatShort2(m_fGroupGap));
    m_rule->setText(m_strGroupRule);
    UpdateSeparatorControls();
}

void CGroupingSettingsDlg::OnGroupingClicked()
{
    if (m_grouping->isChecked()) {
        m_separator->setCurrentIndex(m_nSeparator >= 0 && m_nSeparator < m_separator->count() ? m_nSeparator : 0);
        m_rule->setText(m_strGroupRule);
    } else {
        m_separator->setCurrentIndex(-1);
        m_rule->clear();
    }
    UpdateSeparatorControls();
}

void CGroupingSettingsDlg::OnSeparatorChanged()
{
    UpdateSeparatorControls();
}

void CGroupingSettingsDlg::UpdateSeparatorControls()
{
    const int choice = m_separator->currentIndex();
    if (choice < 0)
        return;
    const bool custom = choice == SeparatorCustomText;
    const bool gap = choice == SeparatorFixedGap;
    // The group check has already enabled or disabled the whole box; only narrow it.
    const bool on = m_grouping->isChecked();
    m_customLabel->setEnabled(on && custom);
    m_custom->setEnabled(on && custom);
    m_gapLabel->setEnabled(on && gap);
    m_gap->setEnabled(on && gap);
    m_custom->setText(custom ? m_strSeparator.trimmed() : QString());
    m_gap->setText(gap ? FormatFloatShort2(m_fGroupGap) : QString());
}

bool CGroupingSettingsDlg::OnOK()
{
    if (!CheckNumberBoxes(this))
        return false;
    m_bGrouping = m_grouping->isChecked();
    // Unticked, the list shows no choice: the separator kept is the one it had, so a
    // later tick offers it again and the label stores a separator it can read back.
    if (m_separator->currentIndex() >= 0)
        m_nSeparator = m_separator->currentIndex();
    else if (m_nSeparator < 0 || m_nSeparator >= m_separator->count())
        m_nSeparator = SeparatorSpace;
    switch (m_separator->currentIndex()) {
    case SeparatorSpace:
        m_strSeparator = QStringLiteral(" ");
        break;
    case SeparatorIdeographicSpace:
        m_strSeparator = QString(QChar(0x3000));
        break;
    case SeparatorCustomText:
        m_strSeparator = m_custom->text();
        break;
    case SeparatorFixedGap:
        m_fGroupGap = TextToFloat(m_gap->text());
        break;
    default:
        break;
    }
    m_strGroupRule = m_rule->text();
    return true;
}

bool RunGroupingSettings(QWidget* parent, bool& grouping, int& separator, QString& separatorText, float& groupGap,
                         QString& groupRule)
{
    CGroupingSettingsDlg dialog(parent);
    dialog.m_bGrouping = grouping;
    dialog.m_nSeparator = separator;
    dialog.m_strSeparator = separatorText;
    dialog.m_fGroupGap = groupGap;
    dialog.m_strGroupRule = groupRule;
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return false;
    grouping = dialog.m_bGrouping;
    separator = dialog.m_nSeparator;
    separatorText = dialog.m_strSeparator;
    groupGap = dialog.m_fGroupGap;
    groupRule = dialog.m_strGroupRule;
    return true;
}
