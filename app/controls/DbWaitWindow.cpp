#include "app/controls/DbWaitWindow.h"

#include "app/VXBaseDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CDbWaitWindow::CDbWaitWindow(DbPendingStep& step, QWidget* parent) : QDialog(parent), m_step(step)
{
    setObjectName(QStringLiteral("dbWait"));
    setWindowTitle(QStringLiteral("请稍候"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(step.Text());
    text->setObjectName(QStringLiteral("dbWaitText"));
    text->setMinimumWidth(320);
    text->setWordWrap(true);
    m_pElapsed = new QLabel;
    auto* bar = new QProgressBar;
    bar->setRange(0, 0); // no end known: the bar only shows that the program lives
    bar->setTextVisible(false);
    layout->addWidget(text);
    layout->addWidget(bar);
    layout->addWidget(m_pElapsed);
    QDialogButtonBox* buttons = MakeDialogButtons(this, QDialogButtonBox::Cancel);
    m_pCancel = buttons->button(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    Tick();
    FitWindowTitle(*this);
    setWindowModality(Qt::ApplicationModal);
    show();
}

void CDbWaitWindow::Tick()
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_step.Elapsed()).count();
    m_pElapsed->setText(m_bCancelled ? QStringLiteral("正在取消…")
                                     : QStringLiteral("已等待 %1 秒。").arg(static_cast<qlonglong>(seconds)));
}

void CDbWaitWindow::reject()
{
    if (m_bCancelled)
        return;
    m_bCancelled = true;
    m_pCancel->setEnabled(false);
    m_step.Cancel();
    Tick();
}

void CDbWaitWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    reject();
}

void CDbWaitUi::Wait(DbPendingStep& step)
{
    // A timer wakes the loop, so the limit is checked while nothing else happens.
    QTimer tick;
    tick.start(DbPendingStep::CheckInterval);
    QEventLoop loop;
    QPointer<CDbWaitWindow> window; // its parent may go first
    bool shown = false;
    while (!step.Check()) {
        if (!shown && step.Elapsed() >= ShowAfter) {
            QWidget* parent = QApplication::activeModalWidget();
            window = new CDbWaitWindow(step, parent ? parent : QApplication::activeWindow());
            shown = true;
        }
        if (window)
            window->Tick();
        // Before the window shows, clicks and keys wait: nothing the step reads may change
        // under it, and no second step may start.
        loop.processEvents(QEventLoop::WaitForMoreEvents
            | (shown ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents));
    }
    delete window.data();
}
