#include "output/ui/JobProgress.h"

#include "app/UiServices.h"
#include "app/VXBaseDialog.h"
#include "platform/db/DbWait.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The bar counts in thousandths: page totals of a print run do not fit its int range.
constexpr int kBarSteps = 1000;

} // namespace

CJobProgress::CJobProgress(const QString& title, const QString& stepText, QWidget* parent)
    : QDialog(parent), m_strStepText(stepText)
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("jobProgress"));
    auto* layout = new QVBoxLayout(this);
    m_pText = new QLabel(m_strStepText.arg(0).arg(QStringLiteral("…")));
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setMinimumWidth(300);
    m_pBar = new QProgressBar;
    m_pBar->setRange(0, kBarSteps);
    m_pBar->setValue(0);
    m_pBar->setTextVisible(false);
    layout->addWidget(m_pText);
    layout->addWidget(m_pBar);
    auto* buttons = MakeDialogButtons(this, QDialogButtonBox::Cancel);
    layout->addWidget(buttons);

    // Blocking starts with show(), before the job's first step: a click already
    // waiting for a document window is refused when it is handled.
    setWindowModality(Qt::ApplicationModal);
    show();
}

CJobProgress::~CJobProgress() = default;

void CJobProgress::Step(qint64 done, qint64 total)
{
    m_pText->setText(m_strStepText.arg(done).arg(total));
    m_pBar->setValue(total > 0 ? static_cast<int>(std::min(done, total) * kBarSteps / total) : kBarSteps);
    if (m_observer)
        m_observer(done, total);
    QCoreApplication::processEvents();
}

void CJobProgress::AskCancel()
{
    if (m_bCancelled || m_bAsking)
        return;
    if (!m_strQuestion.isEmpty()) {
        m_bAsking = true;
        const int answer = Services().ShowMessage(this, m_strQuestion, MessageIcon::Question, MessageButtons::YesNo);
        m_bAsking = false;
        if (answer != IDYES)
            return;
    }
    m_bCancelled = true;
    // A database step under way ends too, not only the job after it.
    InterruptDbWaits();
    if (m_cancelObserver)
        m_cancelObserver();
}

void CJobProgress::closeEvent(QCloseEvent* event)
{
    event->ignore();
    AskCancel();
}
