#pragma once
// Runs a chain of per-sample stages over a block as a wavefront: at step t stage k (0 to
// Stages - 1) takes sample t - k, the result stage k - 1 gave at step t - 1. A step runs its
// stages from the last to the first, so that each still reads that result; each step then
// depends only on the step before it, and the stages' recursions overlap in time. Every sample
// still passes the stages in order and every stage sees its samples in order.
// Used by files built for the baseline instruction set only.

#include <type_traits>

// Calls step(t, guarded) for t = 0 to n + Stages - 2. guarded is std::true_type in the steps
// where some stage has no sample (the first and last Stages - 1); stage k then runs only where
// stageRuns(t, k, n, guarded).
template <int Stages, typename Step>
void runStagesAsWavefront(int n, Step&& step)
{
    int t = 0;
    for (; t < Stages - 1 && t < n + Stages - 1; ++t)
        step(t, std::true_type{});
    for (; t < n; ++t)
        step(t, std::false_type{});
    for (; t < n + Stages - 1; ++t)
        step(t, std::true_type{});
}

// Whether stage k has a sample at step t of a block of n samples.
template <typename Guarded>
bool stageRuns(int t, int k, int n, Guarded)
{
    return !Guarded::value || (t - k >= 0 && t - k < n);
}
