#include "app/VXBaseDialog.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "platform/VXException.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <algorithm>

namespace {

// The title bar's icon and its three buttons, with some margin.
constexpr int kTitleBarDecorations = 160;

struct ButtonRole
{
    QDialogButtonBox::StandardButton button;
    int id;
    const char16_t* text;
    QStyle::StandardPixmap icon;
};

constexpr ButtonRole kButtons[] = {
    {QDialogButtonBox::Ok, 1, u"确定", QStyle::SP_DialogOkButton},
    {QDialogButtonBox::Cancel, 2, u"取消", QStyle::SP_DialogCancelButton},
    {QDialogButtonBox::Help, 9, u"帮助", QStyle::SP_DialogHelpButton},
};

const ButtonRole* FindRole(QDialogButtonBox::StandardButton button)
{
    for (const ButtonRole& role : kButtons)
        if (role.button == button)
            return &role;
    return nullptr;
}

void ApplyRole(QPushButton* button, const ButtonRole& role)
{
    button->setText(QString::fromUtf16(role.text));
    SetCtlId(button, role.id);
    SetButtonIcon(button, role.icon);
}

} // namespace

void SetButtonIcon(QAbstractButton* button, QStyle::StandardPixmap pixmap)
{
    button->setIcon(button->style()->standardIcon(pixmap, nullptr, button));
}

QPushButton* MakeDialogButton(QDialogButtonBox::StandardButton role, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    if (const ButtonRole* found = FindRole(role))
        ApplyRole(button, *found);
    return button;
}

int TitleBarWidth(const QWidget& window)
{
    // Title bars use the application's title font, a little larger and bold on most
    // desktops: measured in a bold face of the window's font, one size up.
    QFont font = window.font();
    font.setBold(true);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() + 1);
    return QFontMetrics(font).horizontalAdvance(window.windowTitle()) + kTitleBarDecorations;
}

void FitWindowTitle(QWidget& window)
{
    window.setMinimumWidth(std::max(window.minimumWidth(), TitleBarWidth(window)));
}

QDialogButtonBox* MakeDialogButtons(QDialog* dialog, QDialogButtonBox::StandardButtons buttons)
{
    auto* box = new QDialogButtonBox(buttons, dialog);
    for (const ButtonRole& role : kButtons) {
        if (QPushButton* button = box->button(role.button))
            ApplyRole(button, role);
    }
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(box, &QDialogButtonBox::helpRequested, dialog, [dialog] { Services().ShowHelp(dialog); });
    return box;
}

QScrollArea* ScrollingBody(QWidget* content)
{
    auto* area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);
    return area;
}

void FitToScreen(QWidget* window)
{
    const QSize limit(kMaxWindowWidth, kMaxWindowHeight);
    const QSize fitted = window->size().boundedTo(limit).expandedTo(window->minimumSize());
    if (fitted != window->size())
        window->resize(fitted);
}

CVXBaseDialog::CVXBaseDialog(QWidget* parent) : QDialog(parent) {}

void CVXBaseDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FitToScreen(this);
    QDialog::showEvent(event);
}

void CVXBaseDialog::accept()
{
    try {
        if (!OnOK())
            return;
    } catch (const std::exception& e) {
        Services().ReportException(this, e);
        return;
    }
    QDialog::accept();
}

void CVXBaseDialog::OnHelp()
{
    Services().ShowHelp(this);
}

void CVXBaseDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        OnHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CVXPage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
