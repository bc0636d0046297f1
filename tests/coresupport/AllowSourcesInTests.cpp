// Linked into the test executables that read data sources: the user of a test run allows
// every database source it opens, through the store the question writes. Tests of the
// question itself install an approver of their own for their duration.
#include "model/SourceApproval.h"

namespace {

class AllowingSourceApprover : public CSourceApprover
{
public:
    bool Ask(const SourceQuestion& question) override
    {
        ApproveQuestion(question);
        return true;
    }
};

AllowingSourceApprover g_allowingApprover;
const bool g_allowingInstalled = (InstallSourceApprover(&g_allowingApprover), true);

} // namespace
