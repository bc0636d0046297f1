#pragma once

#include <QDialog>

class QLineEdit;

// Sets the start-up password (dialog 414): the password twice; an empty first field
// clears it.
class CSetPasswordDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CSetPasswordDlg(QWidget* parent = nullptr);

    void accept() override;

private:
    static void StorePassword(const QString& password);

    QLineEdit* m_editPassword;
    QLineEdit* m_editRepeat;
};

// Asks for the start-up password (dialog 415). After the dialog closes m_bAccept
// says whether OK was pressed with the password that is set.
class CInputPasswordDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CInputPasswordDlg(QWidget* parent = nullptr);

    void accept() override;

    QString m_strPassword;
    bool m_bAccept = false;

private:
    QLineEdit* m_editPassword;
};
