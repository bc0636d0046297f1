#pragma once

#include <QtGlobal>
#include <functional>

// Runs body in a child process, for use inside EXPECT_EXIT: its address space may grow
// by `headroom` at most (so a fault ends the child, not the machine), and it exits 0
// when body returns true and the process's resident memory at its peak (VmHWM) grew
// by less than maxGrowth while body ran. The growth is written to standard error.
// Address-space limits and the sanitizers exclude each other: callers skip under
// AddressSanitizer (VC_SKIP_UNDER_ASAN).
[[noreturn]] void RunWithinPeakMemory(qint64 maxGrowth, qint64 headroom, const std::function<bool()>& body);
