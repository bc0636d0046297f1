#include "app/controls/VXUnitEdit.h"

#include "platform/Numbers.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <climits>
#include <cmath>

CVXUnitEdit::CVXUnitEdit(QWidget* parent) : QLineEdit(parent)
{
    UpdateFrame();
}

QString CVXUnitEdit::UnitCaption() const
{
    return m_strUnit.trimmed() + u' ';
}

void CVXUnitEdit::UpdateFrame()
{
    m_nUnitWidth = fontMetrics().horizontalAdvance(UnitCaption());
    // An input method would commit characters past the filter; numbers need none.
    setAttribute(Qt::WA_InputMethodEnabled, m_nValueType != ValueInteger && m_nValueType != ValueReal);
    setTextMargins(0, 0, m_bShowUnit ? m_nUnitWidth : 0, 0);
    update();
}

bool CVXUnitEdit::AcceptsCharacter(QChar c) const
{
    if (m_nValueType != ValueInteger && m_nValueType != ValueReal)
        return true;
    if (c.isDigit() && c.unicode() < 0x80)
        return true;
    if (c == u'-')
        return true;
    return m_nValueType == ValueReal && c == u'.' && !text().contains(u'.');
}

void CVXUnitEdit::keyPressEvent(QKeyEvent* event)
{
    // Only typed characters are filtered; editing keys, shortcuts and pastes pass.
    const QString typed = event->text();
    if (typed.size() == 1 && typed[0].isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        && !AcceptsCharacter(typed[0])) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

QString CVXUnitEdit::TidyText(const QString& text) const
{
    if (m_nValueType != ValueInteger && !(m_nValueType == ValueReal && m_bFixedDecimals))
        return text;
    double value = LeadingDouble(text);
    if (m_bCheckMin && value < m_fMin)
        value = m_fMin;
    if (m_bCheckMax && value > m_fMax)
        value = m_fMax;
    if (m_nValueType == ValueInteger) {
        // A number beyond the int range shows as the nearest int, never as garbage.
        const int whole = value >= INT_MAX ? INT_MAX : value <= INT_MIN ? INT_MIN : static_cast<int>(std::trunc(value));
        return QString::asprintf("%d", whole);
    }
    QString out = QString::asprintf("%f", value);
    const qsizetype point = out.indexOf(u'.');
    if (point < 0)
        return out;
    const int decimals = std::max(m_nDecimals, 0);
    // With no decimals the point goes too: "12", not "12.".
    out.truncate(decimals == 0 ? point : point + 1 + decimals);
    if (!m_bTrimZeros || decimals == 0)
        return out;
    qsizetype end = out.size();
    while (end > point + 1 && out[end - 1] == u'0') {
        if (end - 2 == point) {
            if (!m_bKeepOneZero)
                end = point;
            break;
        }
        --end;
    }
    out.truncate(end);
    return out;
}

void CVXUnitEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    const QString tidy = TidyText(text());
    if (tidy != text())
        setText(tidy);
}

void CVXUnitEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (!m_bShowUnit)
        return;
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    const QRect area(width() - m_nUnitWidth - border, border, m_nUnitWidth, height() - 2 * border);
    QPainter painter(this);
    painter.fillRect(area, palette().brush(QPalette::Base));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(area.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, UnitCaption());
}
