#pragma once

#include "output/Exporter.h"
#include "output/PrintTarget.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;

// The progress window of a job started from a window: printing, export and batch
// export. From the moment it is made until it is destroyed every other window of the
// program is blocked, so nothing the job reads can be closed or changed under it by a
// click or a key; between steps the waiting events are let through, which is how its
// Cancel button (or Escape, or closing it) reaches the job. Cancel may ask first.
class CJobProgress : public QDialog, public IJobFeedback
{
    Q_OBJECT
public:
    // stepText holds %1 (done) and %2 (total); parent is the window the job runs for.
    CJobProgress(const QString& title, const QString& stepText, QWidget* parent);
    ~CJobProgress() override;

    // Asked with Yes and No before a cancel counts; empty (the default) cancels at once.
    void SetCancelQuestion(const QString& question) { m_strQuestion = question; }
    // Called after each step, before the waiting events are let through.
    void SetStepObserver(std::function<void(qint64, qint64)> observer) { m_observer = std::move(observer); }
    // Called once when a cancel counts, so a step under way can stop early.
    void SetCancelObserver(std::function<void()> observer) { m_cancelObserver = std::move(observer); }

    // One more step done of total, shown; then the waiting events are handled.
    void Step(qint64 done, qint64 total);
    // The user's cancel: asks the question when one is set.
    void AskCancel();
    bool Cancelled() const { return m_bCancelled; }

    // The feedback interface of the headless jobs.
    void Progress(qint64 done, qint64 total) override { Step(done, total); }
    bool IsCancelled() override { return m_bCancelled; }

    // Escape and the window's close button cancel the job instead of hiding its
    // progress.
    void reject() override { AskCancel(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString m_strStepText;
    QString m_strQuestion;
    std::function<void(qint64, qint64)> m_observer;
    std::function<void()> m_cancelObserver;
    QLabel* m_pText;
    QProgressBar* m_pBar;
    bool m_bCancelled = false;
    bool m_bAsking = false;
};
