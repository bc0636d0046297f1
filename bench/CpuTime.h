#pragma once

#include <ctime>

// CPU seconds of the calling thread: what a side of a ratio costs on a machine whose
// other cores are busy with other work.
inline double ThreadCpuSeconds()
{
    timespec t = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The same for the whole process, every thread's.
inline double ProcessCpuSeconds()
{
    timespec t = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
