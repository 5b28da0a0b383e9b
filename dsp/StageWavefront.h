#pragma once
// Runs a chain of per-sample stages over a block as a wavefront: at step t stage k (0 to
// stages - 1) takes sample t - k, the result stage k - 1 gave at step t - 1. A step runs its
// stages from the last to the first, so that each still reads that result; each step then
// depends only on the step before it, and the stages' recursions overlap in time. Every sample
// still passes the stages in order and every stage sees its samples in order.
// Everything here is in an unnamed namespace: each file that includes it, whatever instruction
// set it is built for, gets its own copy.

#include <type_traits>

namespace
{
// Calls step(t, guarded) for t = 0 to n + stages - 2. guarded is std::true_type in the steps
// where some stage has no sample (the first and last stages - 1); stage k then runs only where
// stageRuns(t, k, n, guarded).
template <typename Step>
inline void runStagesAsWavefront(int stages, int n, Step&& step)
{
    int t = 0;
    for (; t < stages - 1 && t < n + stages - 1; ++t)
        step(t, std::true_type{});
    for (; t < n; ++t)
        step(t, std::false_type{});
    for (; t < n + stages - 1; ++t)
        step(t, std::true_type{});
}

template <int Stages, typename Step>
inline void runStagesAsWavefront(int n, Step&& step)
{
    runStagesAsWavefront(Stages, n, static_cast<Step&&>(step));
}

// Whether stage k has a sample at step t of a block of n samples.
template <typename Guarded>
inline bool stageRuns(int t, int k, int n, Guarded)
{
    return !Guarded::value || (t - k >= 0 && t - k < n);
}
}  // namespace
