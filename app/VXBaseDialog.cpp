#include "app/VXBaseDialog.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "platform/VXException.h"

#include <QKeyEvent>
#include <QPushButton>

namespace {

struct ButtonRole
{
    QDialogButtonBox::StandardButton button;
    int id;
    const char16_t* text;
};

constexpr ButtonRole kButtons[] = {
    {QDialogButtonBox::Ok, 1, u"确定"},
    {QDialogButtonBox::Cancel, 2, u"取消"},
    {QDialogButtonBox::Help, 9, u"帮助"},
};

} // namespace

QDialogButtonBox* MakeDialogButtons(QDialog* dialog, QDialogButtonBox::StandardButtons buttons)
{
    auto* box = new QDialogButtonBox(buttons, dialog);
    for (const ButtonRole& role : kButtons) {
        if (QPushButton* button = box->button(role.button)) {
            button->setText(QString::fromUtf16(role.text));
            SetCtlId(button, role.id);
        }
    }
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(box, &QDialogButtonBox::helpRequested, dialog, [dialog] { Services().ShowHelp(dialog); });
    return box;
}

CVXBaseDialog::CVXBaseDialog(QWidget* parent) : QDialog(parent) {}

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
