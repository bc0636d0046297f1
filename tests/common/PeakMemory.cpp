#include "PeakMemory.h"

#include "TestSupport.h"

#include <QFile>
#include <cstdio>

namespace {

qint64 PeakResidentOfThisProcess()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

// The peak becomes what is resident now (a forked child starts with its parent's).
bool ResetPeakResidentOfThisProcess()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace

void RunWithinPeakMemory(qint64 maxGrowth, qint64 headroom, const std::function<bool()>& body)
{
    RunWithLittleMemory(headroom, [&] {
        if (!ResetPeakResidentOfThisProcess()) {
            std::fprintf(stderr, "cannot reset the peak of resident memory\n");
            return false;
        }
        const qint64 before = PeakResidentOfThisProcess();
        const bool ok = body();
        const qint64 growth = PeakResidentOfThisProcess() - before;
        std::fprintf(stderr, "peak resident memory grew by %lld MB\n", static_cast<long long>(growth >> 20));
        return ok && before >= 0 && growth < maxGrowth;
    });
}
