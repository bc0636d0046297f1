#include "dialogs/properties/SettingsControls.h"

#include "app/Ctl.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"
#include "model/Utils.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

namespace {

CVXUnitEdit* MakeSpinEdit(int id, int spinId, float minimum, float maximum, QWidget** row)
{
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* edit = SetCtlId(new CVXUnitEdit, id);
    edit->m_nValueType = CVXUnitEdit::ValueReal;
    edit->m_nDecimals = 2;
    edit->UpdateFrame();
    auto* spin = SetCtlId(new CNumSpinCtrl, spinId);
    spin->m_fMin = minimum;
    spin->m_fMax = maximum;
    spin->m_fStep = 1;
    spin->SetBuddy(edit);
    spin->ApplyRange();
    layout->addWidget(edit, 1);
    layout->addWidget(spin);
    *row = holder;
    return edit;
}

} // namespace

CVXUnitEdit* MakeLengthEdit(int id, int spinId, QWidget** row)
{
    return MakeSpinEdit(id, spinId, 0, 10000, row);
}


void SetLengthText(QLineEdit* edit, float value)
{
    edit->setText(FormatFloatShort2(value));
}

float LengthOf(const QLineEdit* edit)
{
    return TextToFloat(edit->text());
}

int CountOf(const QLineEdit* edit)
{
    return static_cast<int>(TextToFloat(edit->text()));
}

QFormLayout* AddGroup(QBoxLayout* layout, const QString& title, int id)
{
    auto* group = new QGroupBox(title);
    if (id)
        SetCtlId(group, id);
    auto* form = new QFormLayout(group);
    layout->addWidget(group);
    return form;
}

QCheckBox* MakeCheck(const QString& text, int id)
{
    return SetCtlId(new QCheckBox(text), id);
}

QLabel* MakeBuddyLabel(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QRadioButton* MakeRadio(const QString& text, int id)
{
    return SetCtlId(new QRadioButton(text), id);
}

QComboBox* MakeCombo(int id, const QStringList& items)
{
    auto* combo = SetCtlId(new QComboBox, id);
    combo->addItems(items);
    return combo;
}

void GroupRadios(QWidget* owner, std::initializer_list<QRadioButton*> radios)
{
    auto* group = new QButtonGroup(owner);
    for (QRadioButton* radio : radios)
        group->addButton(radio);
}

CVXUnitEdit* AddLengthRow(QFormLayout* form, const QString& label, int id)
{
    auto* edit = SetCtlId(new CVXUnitEdit, id);
    edit->UpdateFrame();
    form->addRow(label, edit);
    return edit;
}
