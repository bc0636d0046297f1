#pragma once

#include "platform/db/DbWait.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The window of a database step that lasts: what is waited for, how long, and 取消
// (the button, Escape or closing the window), which interrupts the step.
class CDbWaitWindow : public QDialog
{
    Q_OBJECT
public:
    CDbWaitWindow(DbPendingStep& step, QWidget* parent);

    // Shows the time waited so far.
    void Tick();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    DbPendingStep& m_step;
    QLabel* m_pElapsed;
    QPushButton* m_pCancel;
    bool m_bCancelled = false;
};

// The application's waiter: the windows keep painting while a step runs, and after a second
// the wait window shows; from then on it is the one window that takes input. Before it shows,
// Escape cancels the step and other clicks and keys are not taken.
class CDbWaitUi : public DbWaiter
{
public:
    void Wait(DbPendingStep& step) override;

    // When the window shows.
    static constexpr std::chrono::milliseconds ShowAfter {1000};
};
