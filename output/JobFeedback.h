#pragma once

#include <QtGlobal>

// Progress and cancel of a print or export run; the progress window shows one, tests
// count with one.
class IJobFeedback
{
public:
    virtual ~IJobFeedback() = default;
    // After each step (a printed page, a written file), before the cancel check: done
    // of total.
    virtual void Progress(qint64 done, qint64 total) = 0;
    virtual bool IsCancelled() = 0;
};
