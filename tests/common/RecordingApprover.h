#pragma once

// The question's answerer a test installs for as long as it lives.
#include "model/SourceApproval.h"

// Answers every question as told, keeping what was asked.
class RecordingApprover : public CSourceApprover
{
public:
    explicit RecordingApprover(bool allow)
        : m_allow(allow)
        , m_outer(InstallSourceApprover(this))
    {
    }
    ~RecordingApprover() override { InstallSourceApprover(m_outer); }
    bool Ask(const SourceQuestion& question) override
    {
        asked.append(question);
        if (m_allow)
            ApproveQuestion(question);
        return m_allow;
    }
    QList<SourceQuestion> asked;

private:
    bool m_allow;
    CSourceApprover* m_outer;
};
