#pragma once

#include <QDialog>

class CDSBase;

// The question asked before a label's database source first connects with the user's
// logins: which label, which source, where it connects, as whom and what it runs, with
// 允许 (accept) and 不允许 (reject; also Esc and closing the window). 不允许 is the default
// button, so a hurried Return allows nothing.
class CSourceApprovalDlg : public QDialog
{
    Q_OBJECT
public:
    CSourceApprovalDlg(const QString& label, const CDSBase& ds, QWidget* parent = nullptr);
};
