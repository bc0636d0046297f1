#include "app/PasswordDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/VXBaseDialog.h"
#include "model/GlobalSettings.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QLineEdit* AddPasswordRow(QFormLayout* form, const QString& label, int id)
{
    auto* edit = SetCtlId(new QLineEdit, id);
    edit->setEchoMode(QLineEdit::Password);
    form->addRow(label, edit);
    return edit;
}

QFormLayout* MakeForm(QDialog* dialog, const QString& title)
{
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    return form;
}

void AddOkButton(QDialog* dialog)
{
    static_cast<QVBoxLayout*>(dialog->layout())->addWidget(MakeDialogButtons(dialog, QDialogButtonBox::Ok));
}

} // namespace

CSetPasswordDlg::CSetPasswordDlg(QWidget* parent) : QDialog(parent)
{
    QFormLayout* form = MakeForm(this, QStringLiteral("设置密码"));
    m_editPassword = AddPasswordRow(form, QStringLiteral("请输入登录密码"), 1183);
    m_editRepeat = AddPasswordRow(form, QStringLiteral("再次输入登录密码"), 1184);
    AddOkButton(this);
    CGlobalSettings::GetInstance();
}

void CSetPasswordDlg::accept()
{
    const QString password = m_editPassword->text();
    const QString repeat = m_editRepeat->text();
    if (password.isEmpty()) {
        StorePassword(QString());
        return;
    }
    if (repeat.isEmpty()) {
        Services().ShowMessage(this, QStringLiteral("请再次输入密码"), MessageIcon::Stop);
        return;
    }
    if (password != repeat) {
        Services().ShowMessage(this, QStringLiteral("密码输入不一致"), MessageIcon::Stop);
        return;
    }
    StorePassword(password);
    QDialog::accept();
}

void CSetPasswordDlg::StorePassword(const QString& password)
{
    CGlobalSettings* settings = CGlobalSettings::GetInstance();
    settings->m_strStartupPassword = password;
    settings->SaveOptions();
}

CInputPasswordDlg::CInputPasswordDlg(QWidget* parent) : QDialog(parent)
{
    QFormLayout* form = MakeForm(this, QStringLiteral("输入密码"));
    m_editPassword = AddPasswordRow(form, QStringLiteral("请输入登录密码："), 1183);
    AddOkButton(this);
}

void CInputPasswordDlg::accept()
{
    m_strPassword = m_editPassword->text();
    m_bAccept = m_strPassword == CGlobalSettings::GetInstance()->m_strStartupPassword;
    QDialog::accept();
}
