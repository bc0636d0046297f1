#include "app/controls/GroupCheck.h"

#include <QEvent>
#include <QGroupBox>

CGroupCheck::CGroupCheck(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    connect(this, &QCheckBox::clicked, this, &CGroupCheck::UpdateGroupControls);
}

void CGroupCheck::SetGroupbox(QGroupBox* box)
{
    m_bHide = false;
    if (m_box)
        m_box->removeEventFilter(this);
    m_box = box;
    box->setTitle(QString());
    // The box keeps its place in a layout; the check box follows it there.
    box->installEventFilter(this);
    PlaceOverCaption();
    UpdateGroupControls();
}

void CGroupCheck::PlaceOverCaption()
{
    if (!m_box || !parentWidget())
        return;
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.horizontalAdvance(text()) + 25, std::max(metrics.height(), sizeHint().height()));
    move(m_box->mapTo(parentWidget(), QPoint(10, 0)));
    raise();
}

bool CGroupCheck::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && watched == m_box)
        PlaceOverCaption();
    return QCheckBox::eventFilter(watched, event);
}

void CGroupCheck::UpdateGroupControls()
{
    QWidget* parent = parentWidget();
    if (!m_box || !parent)
        return;
    const Qt::CheckState state = checkState();
    const bool enable = state == Qt::Checked;
    const bool show = state != Qt::Unchecked;
    const QRect boxRect(m_box->mapTo(parent, QPoint(0, 0)), m_box->size());
    auto apply = [&](QWidget* control) {
        control->setEnabled(enable);
        if (m_bHide)
            control->setVisible(show);
    };
    // The controls over the box among its siblings, and those the box holds itself.
    for (QWidget* sibling : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (sibling != this && sibling != m_box && !sibling->isWindow() && sibling->geometry().intersects(boxRect))
            apply(sibling);
    for (QWidget* inside : m_box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (inside != this && !inside->isWindow())
            apply(inside);
    if (m_bHide)
        m_box->setVisible(show);
}
