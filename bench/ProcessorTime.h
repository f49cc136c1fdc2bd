#pragma once

#include <cstdio>
#include <ctime>

namespace corvane::bench {

// The processor time of this thread, to compare runs on a busy machine.
inline double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Tells the step's processor time on standard error and returns its seconds.
inline double tellProcessorTime(double seconds, double cpuAtStart) {
    std::fprintf(stderr, "corvane-bench: %.4f s of processor time in the step\n",
                 threadCpuSeconds() - cpuAtStart);
    return seconds;
}

}  // namespace corvane::bench
