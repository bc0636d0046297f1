#include "dialogs/properties/SettingsControls.h"

#include "app/Ctl.h"
#include "app/controls/NumSpinCtrl.h"
#include "app/controls/VXUnitEdit.h"
#include "app/UiServices.h"
#include "model/Utils.h"
#include "platform/Numbers.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <algorithm>
#include <climits>
#include <cmath>

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


// Brings every tab and stacked page that holds the box to the front.
void ShowNumberBox(QWidget* box)
{
    for (QWidget* w = box; w; w = w->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        if (!stack)
            continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
            tabs->setCurrentWidget(w);
        else
            stack->setCurrentWidget(w);
    }
}

// Whether the box shows once the tabs above it are in front: a box hidden with its
// sub-pane (another kind's options) is not the user's to fill.
bool ShowsWithItsTabs(const QWidget* box, const QWidget* page)
{
    for (const QWidget* w = box; w && w != page; w = w->parentWidget())
        if (w->isHidden() && !qobject_cast<QStackedWidget*>(w->parentWidget()))
            return false;
    return true;
}

constexpr char kBelowArrows[] = "acceptsBelowArrows";
constexpr char kAboveZero[] = "refusesZero";
constexpr char kLoadedText[] = "loadedText";
constexpr char kTakenLength[] = "takenLength";

QString BoxText(const QWidget* box)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(box))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(box))
        return combo->currentText();
    return {};
}

QString RangeEndText(double value)
{
    return QString::asprintf("%.10g", value);
}

enum class NumberRangeWording
{
    Both,      // from the smallest to the largest number
    UpperOnly, // a box that takes numbers below its arrows does not need to be told them
    AboveZero, // 0 is refused, here or by the check that follows
};

// Tells the user which numbers the box takes: its tab comes to the front and the focus
// goes to the box with its text selected.
bool RefuseBoxNumber(QWidget* box, double minimum, double maximum, NumberRangeWording wording)
{
    const QString caption = NumberBoxCaption(box);
    const QString low = RangeEndText(minimum), high = RangeEndText(maximum);
    QString message;
    switch (wording) {
    case NumberRangeWording::Both:
        message = caption.isEmpty() ? QStringLiteral("请输入 %1 到 %2 之间的数。").arg(low, high)
                                    : QStringLiteral("%1必须是 %2 到 %3 之间的数，请重新输入。").arg(caption, low, high);
        break;
    case NumberRangeWording::UpperOnly:
        message = caption.isEmpty() ? QStringLiteral("请输入不大于 %1 的数。").arg(high)
                                    : QStringLiteral("%1不能大于 %2，请重新输入。").arg(caption, high);
        break;
    case NumberRangeWording::AboveZero:
        message = caption.isEmpty() ? QStringLiteral("请输入大于 0 且不超过 %1 的数。").arg(high)
                                    : QStringLiteral("%1必须大于 0 且不超过 %2，请重新输入。").arg(caption, high);
        break;
    }
    return RefuseNumberBox(box, message);
}

bool CheckNumberIn(QWidget* box, double minimum, double maximum, NumberRangeWording wording)
{
    const double value = LeadingDouble(BoxText(box));
    if (std::isfinite(value) && value >= minimum && value <= maximum)
        return true;
    return RefuseBoxNumber(box, minimum, maximum, wording);
}

} // namespace

QString NumberBoxCaption(QWidget* box)
{
    QWidget* window = box->window();
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() != box && label->buddy() != box->parentWidget())
            continue;
        QString text = label->text();
        text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
        text.remove(u'&');
        while (text.endsWith(u':') || text.endsWith(u'：') || text.endsWith(u' '))
            text.chop(1);
        return text;
    }
    return {};
}

bool RefuseNumberBox(QWidget* box, const QString& message)
{
    ShowNumberBox(box);
    Services().ShowMessage(box, message, MessageIcon::Warning);
    box->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(box))
        edit->selectAll();
    else if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
    return false;
}

QString HundredthsText(double value)
{
    return RangeEndText(std::round(value * 100) / 100);
}

bool RefuseOutsideRange(QWidget* box, double low, double high, const QString& why)
{
    return RefuseNumberBox(box, QStringLiteral("%1必须是 %2 到 %3 之间的数：%4，请重新输入。")
                                    .arg(NumberBoxCaption(box), HundredthsText(low), HundredthsText(high), why));
}

bool CheckNumberBox(QWidget* box, double minimum, double maximum)
{
    return CheckNumberIn(box, minimum, maximum, NumberRangeWording::Both);
}

bool CheckPositiveNumberBox(QWidget* box, double maximum)
{
    const double value = LeadingDouble(BoxText(box));
    if (std::isfinite(value) && value > 0 && value <= maximum)
        return true;
    return RefuseBoxNumber(box, 0, maximum, NumberRangeWording::AboveZero);
}

namespace {

struct BoxRange
{
    double minimum = 0;
    double maximum = 0;
    NumberRangeWording wording = NumberRangeWording::Both;
};

// The numbers an edit takes: the range of its arrows when it has them, else its own
// bounds, else the default ones.
BoxRange RangeOf(const CVXUnitEdit* edit, const QList<CNumSpinCtrl*>& spins)
{
    const bool integer = edit->m_nValueType == CVXUnitEdit::ValueInteger;
    const double limit = integer ? 1e9 : kMaxTypedNumber;
    BoxRange range{edit->m_bCheckMin ? edit->m_fMin : -limit, edit->m_bCheckMax ? edit->m_fMax : limit};
    for (const CNumSpinCtrl* spin : spins) {
        if (spin->GetBuddy() == edit) {
            range.minimum = spin->m_fMin;
            range.maximum = spin->m_fMax;
        }
    }
    const bool below = edit->property(kBelowArrows).toBool();
    const bool aboveZero = edit->property(kAboveZero).toBool();
    range.wording =
        below ? NumberRangeWording::UpperOnly : aboveZero ? NumberRangeWording::AboveZero : NumberRangeWording::Both;
    if (aboveZero)
        range.minimum = std::max(range.minimum, 0.0);
    if (below)
        range.minimum = -limit;
    return range;
}

bool IsNumberEdit(const CVXUnitEdit* edit)
{
    return edit->m_nValueType == CVXUnitEdit::ValueInteger || edit->m_nValueType == CVXUnitEdit::ValueReal;
}

} // namespace

bool CheckNumberBoxes(QWidget* page)
{
    const QList<CNumSpinCtrl*> spins = page->findChildren<CNumSpinCtrl*>();
    for (CVXUnitEdit* edit : page->findChildren<CVXUnitEdit*>()) {
        if (!IsNumberEdit(edit) || !edit->isEnabled() || !ShowsWithItsTabs(edit, page))
            continue;
        const BoxRange range = RangeOf(edit, spins);
        if (!CheckNumberIn(edit, range.minimum, range.maximum, range.wording))
            return false;
    }
    return true;
}

void StoreTakenLength(const CVXUnitEdit* edit, float& field)
{
    const double value = LeadingDouble(edit->text());
    const BoxRange range = RangeOf(edit, edit->window()->findChildren<CNumSpinCtrl*>());
    if (std::isfinite(value) && value >= range.minimum && value <= range.maximum)
        field = LengthOf(edit);
}

void AcceptBelowArrows(QWidget* box)
{
    box->setProperty(kBelowArrows, true);
}

void RefuseZeroIn(QWidget* box)
{
    box->setProperty(kAboveZero, true);
}

CVXUnitEdit* MakeLengthEdit(int id, int spinId, QWidget** row)
{
    return MakeSpinEdit(id, spinId, 0, kMaxLabelLengthMm, row);
}


void SetLengthText(QLineEdit* edit, float value)
{
    edit->setText(FormatFloatShort2(value));
    MarkLoadedText(edit);
}

void MarkLoadedText(QWidget* box)
{
    box->setProperty(kLoadedText, BoxText(box));
}

void StoreNumber(const QWidget* box, float& field)
{
    const QString text = BoxText(box);
    const QVariant loaded = box->property(kLoadedText);
    if (!loaded.isValid() || loaded.toString() != text)
        field = TextToFloat(text);
}

float LengthOf(const QLineEdit* edit)
{
    return TextToFloat(edit->text());
}

int CountOf(const QLineEdit* edit)
{
    const double value = LeadingDouble(edit->text());
    if (!std::isfinite(value))
        return 0;
    return static_cast<int>(std::clamp(value, double(INT_MIN), double(INT_MAX)));
}

float TakenLength(QLineEdit* edit)
{
    if (!edit)
        return 0.0f;
    const double value = LeadingDouble(edit->text());
    if (std::isfinite(value) && std::fabs(value) <= kMaxLabelLengthMm)
        edit->setProperty(kTakenLength, static_cast<float>(value));
    return std::max(edit->property(kTakenLength).toFloat(), 0.0f);
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
