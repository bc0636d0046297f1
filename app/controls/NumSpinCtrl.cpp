#include "app/controls/NumSpinCtrl.h"

#include "app/Ctl.h"
#include "app/controls/VXUnitEdit.h"
#include "platform/Numbers.h"

#include <QHBoxLayout>

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <clocale>
#include <climits>
#include <cmath>

namespace {

QToolButton* MakeArrow(QWidget* parent, Qt::ArrowType arrow)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    button->setFixedWidth(16);
    return button;
}

// Trailing zeros of the decimal part, then a trailing point; only when the text
// has the point at all.
void TrimZeros(QString& part, QChar point)
{
    if (!part.contains(point))
        return;
    while (part.endsWith(u'0'))
        part.chop(1);
    if (part.endsWith(point))
        part.chop(1);
}

} // namespace

CNumSpinCtrl::CNumSpinCtrl(QWidget* parent)
    : QWidget(parent), m_cDecimalPoint(*std::localeconv()->decimal_point)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_up = MakeArrow(this, Qt::UpArrow);
    m_down = MakeArrow(this, Qt::DownArrow);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (m_fStep != 0)
        ApplyRange();
}

void CNumSpinCtrl::SetBuddy(QLineEdit* buddy)
{
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy)
        m_buddy->installEventFilter(this);
    updateGeometry();
    if (m_fStep != 0)
        ApplyRange();
}

void CNumSpinCtrl::ApplyRange()
{
    // A step of 0 gives no range rather than a division by zero.
    const double steps = m_fStep != 0 ? std::fabs((double(m_fMax) - m_fMin) / m_fStep) : 0.0;
    m_nIntRange = steps > 32767 ? 32767 : static_cast<int>(steps);
    SetPos(GetValue());
}

QSize CNumSpinCtrl::sizeHint() const
{
    // As tall as the edit box it steps, so the two sit side by side as one control.
    return QSize(16, m_buddy ? m_buddy->sizeHint().height() : QLineEdit().sizeHint().height());
}

float CNumSpinCtrl::GetValue() const
{
    return m_buddy ? static_cast<float>(LeadingDouble(m_buddy->text())) : 0.0f;
}

void CNumSpinCtrl::SetValue(float value)
{
    if (!m_buddy)
        return;
    m_buddy->setText(m_strFormat.isEmpty() ? FormatValue(value)
                                           : QString::asprintf(m_strFormat.toLatin1().constData(), double(value)));
}

void CNumSpinCtrl::SetPos(float value)
{
    if (m_fMin == m_fMax)
        return;
    if (value < m_fMin)
        m_nPos = 0;
    else if (value > m_fMax)
        m_nPos = m_nIntRange;
    else
        m_nPos = static_cast<int>((value - m_fMin) / (m_fMax - m_fMin) * m_nIntRange + 0.5);
}

QString CNumSpinCtrl::FormatValue(float value) const
{
    const QString general = QString::asprintf("%g", double(value));
    QString text = m_nDecimals == -1 ? general
                   : general.contains(u'e') ? QString::asprintf("%.*e", m_nDecimals, double(value))
                                            : QString::asprintf("%.*f", m_nDecimals, double(value));
    if (!m_bTrimZeros)
        return text;
    const QChar point = QLatin1Char(m_cDecimalPoint);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        QString mantissa = text.left(e);
        TrimZeros(mantissa, point);
        return mantissa + text.mid(e);
    }
    TrimZeros(text, point);
    return text;
}

void CNumSpinCtrl::Step(int delta)
{
    float value = GetValue() + m_fStep * static_cast<float>(delta);
    bool outside;
    if (delta < 0) {
        const double eps = std::max(std::fabs(double(std::max(m_fMin, value))) * 1e-9, 1e-9);
        outside = m_fMin - value > eps;
        if (outside)
            value = m_bWrap ? m_fMax : m_fMin;
    } else {
        const double eps = std::max(std::fabs(double(std::min(m_fMax, value))) * 1e-9, 1e-9);
        outside = value - m_fMax > eps;
        if (outside)
            value = m_bWrap ? m_fMin : m_fMax;
    }
    SetValue(value);
    // The arrows' own position moves too, wrapping or stopping at its ends.
    int pos = m_nPos + delta;
    if (pos < 0 || pos > m_nIntRange)
        pos = m_bWrap ? (pos < 0 ? m_nIntRange : 0) : std::clamp(pos, 0, m_nIntRange);
    m_nPos = pos;
}

bool CNumSpinCtrl::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow keys in the buddy step as the arrows do.
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

CVXUnitEdit* MakeIntegerEdit(int id)
{
    auto* edit = SetCtlId(new CVXUnitEdit, id);
    edit->m_bShowUnit = false;
    edit->m_nValueType = CVXUnitEdit::ValueInteger;
    edit->UpdateFrame();
    return edit;
}

CNumSpinCtrl* MakeSpin(int id, QLineEdit* buddy, float min, float max)
{
    auto* spin = SetCtlId(new CNumSpinCtrl, id);
    spin->SetBuddy(buddy);
    SetSpinRange(spin, min, max);
    return spin;
}

void SetSpinRange(CNumSpinCtrl* spin, float min, float max)
{
    spin->m_fMin = min;
    spin->m_fMax = max;
    spin->m_fStep = 1.0f;
    spin->m_nDecimals = 0;
    spin->ApplyRange();
}

QWidget* EditWithSpin(QLineEdit* edit, CNumSpinCtrl* spin)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit);
    layout->addWidget(spin);
    return row;
}

CVXUnitEdit* MakeCountEdit(int id, int spinId, float minimum, float maximum, QWidget** row)
{
    CVXUnitEdit* edit = MakeIntegerEdit(id);
    *row = EditWithSpin(edit, MakeSpin(spinId, edit, minimum, maximum));
    return edit;
}

std::optional<int> ReadWholeNumber(const QLineEdit* edit)
{
    const QString all = edit->text();
    QStringView text = QStringView(all).trimmed();
    if (text.startsWith(u'+'))
        text = text.mid(1);
    const QStringView digits = text.startsWith(u'-') ? text.mid(1) : text;
    if (digits.isEmpty() || digits.size() > 10
        || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const qint64 value = text.toLongLong();
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> SpinWholeValue(const CNumSpinCtrl* spin)
{
    const std::optional<int> value = spin->GetBuddy() ? ReadWholeNumber(spin->GetBuddy()) : std::nullopt;
    if (!value || *value < std::ceil(spin->m_fMin) || *value > std::floor(spin->m_fMax))
        return std::nullopt;
    return value;
}

QString SpinRangeMessage(const CNumSpinCtrl* spin)
{
    return QStringLiteral("请输入%1到%2之间的整数！")
        .arg(qint64(std::ceil(spin->m_fMin)))
        .arg(qint64(std::floor(spin->m_fMax)));
}
