#include "app/controls/DbWaitWindow.h"

#include "app/HelpWindow.h"
#include "app/VXBaseDialog.h"
#include "platform/VisibleText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

CDbWaitWindow::CDbWaitWindow(DbPendingStep& step, QWidget* parent) : QDialog(parent), m_step(step)
{
    setObjectName(QStringLiteral("dbWait"));
    setWindowTitle(QStringLiteral("请稍候"));
    auto* layout = new QVBoxLayout(this);
    // It names a label's source.
    auto* text = new QLabel(VisibleText(step.Text(), true));
    text->setObjectName(QStringLiteral("dbWaitText"));
    text->setTextFormat(Qt::PlainText);
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

namespace {

// Before the wait window shows, clicks and keys go nowhere: nothing the step reads may
// change under it, and no second step may start. Escape alone counts, as the 取消 of the
// window not yet shown, so that a user who presses it at once need not wait for the window.
class EarlyInputGuard : public QObject
{
public:
    explicit EarlyInputGuard(DbPendingStep& step) : m_step(step) { qApp->installEventFilter(this); }
    ~EarlyInputGuard() override { qApp->removeEventFilter(this); }
    EarlyInputGuard(const EarlyInputGuard&) = delete;
    EarlyInputGuard& operator=(const EarlyInputGuard&) = delete;

    bool Cancelled() const { return m_bCancelled; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // A key's shortcut is looked up before the window gets the key itself: taken as the
        // focus widget's own key, the key goes on to the window and ends below.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::Shortcut)
            return true;
        // What the user does arrives from the window system; the program's own events pass.
        if (!event->spontaneous())
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_bCancelled) {
                m_bCancelled = true;
                m_step.Cancel();
            }
            return true;
        case QEvent::Close:
            // A window's close button: the window stays, as for any other click now.
            event->ignore();
            return true;
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
        }
    }

private:
    DbPendingStep& m_step;
    bool m_bCancelled = false;
};

} // namespace

void CDbWaitUi::Wait(DbPendingStep& step)
{
    // A timer wakes the loop, so the limit is checked while nothing else happens.
    QTimer tick;
    tick.start(DbPendingStep::CheckInterval);
    QEventLoop loop;
    QPointer<CDbWaitWindow> window; // its parent may go first
    auto guard = std::make_unique<EarlyInputGuard>(step);
    while (!step.Check()) {
        if (guard && step.Elapsed() >= ShowAfter) {
            // Never over the help window, which F1 in this window would move under it.
            window = new CDbWaitWindow(step, CHelpWindow::FrontWindow());
            if (guard->Cancelled())
                window->reject();
            guard.reset();
        }
        if (window)
            window->Tick();
        loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    }
    // Help asked for in the wait window stays open, with the window beneath it.
    delete window.data();
}
