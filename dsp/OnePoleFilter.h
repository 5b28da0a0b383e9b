#pragma once
// First-order low-pass or high-pass filter with one coefficient, working in place.

#include "Quantise.h"
#include "RoutineChoice.h"

struct OnePoleFilter
{
    bool isLowpass;  // true: low-pass; false: high-pass
    float x1;        // last input sample (read by the high-pass only)
    float y1;        // last output sample, stored quantised as (v + 1) - 1
    float coef;      // the one coefficient
};

// A chain of N one-pole filters (filters[0] first) with their coefficients and states held in
// locals, for loops that take each sample through the chain, and through other stages, before the
// next sample: the filters' recursions then overlap in time. Bit f of LowpassMask gives filter f's
// type, which must be the record's (see matches). Each sample gets exactly the steps of
// onePoleFilterProcess; store() writes the states back. Real-time safe.
template <int N, unsigned LowpassMask>
struct OnePoleChainRun
{
    static constexpr bool isLowpass(int f) { return ((LowpassMask >> f) & 1u) != 0; }

    static bool matches(OnePoleFilter* const* chain)
    {
        for (int f = 0; f < N; ++f)
            if (chain[f]->isLowpass != isLowpass(f))
                return false;
        return true;
    }

    explicit OnePoleChainRun(OnePoleFilter* const* chain) : filters(chain)
    {
        for (int f = 0; f < N; ++f)
        {
            coef[f] = filters[f]->coef;
            x1[f] = filters[f]->x1;
            y1[f] = filters[f]->y1;
        }
    }

    // One sample through filter f alone.
    float step(int f, float x)
    {
        const float y = isLowpass(f) ? ((x - y1[f]) * coef[f]) + y1[f] : ((y1[f] + x) - x1[f]) * coef[f];
        y1[f] = quantiseState(y);
        if (!isLowpass(f))
            x1[f] = x;
        return y;
    }

    // One sample through every filter of the chain in turn.
    float operator()(float x)
    {
        for (int f = 0; f < N; ++f)
            x = step(f, x);
        return x;
    }

    void store() const
    {
        for (int f = 0; f < N; ++f)
        {
            if (!isLowpass(f))
                filters[f]->x1 = x1[f];
            filters[f]->y1 = y1[f];
        }
    }

    OnePoleFilter* const* filters;
    float coef[N], x1[N], y1[N];
};

// The lowpass mask of a chain's records: bit f set when filters[f] is a low-pass.
inline unsigned onePoleLowpassMask(OnePoleFilter* const* filters, int nFilters)
{
    unsigned mask = 0;
    for (int f = 0; f < nFilters; ++f)
        if (filters[f]->isLowpass)
            mask |= 1u << f;
    return mask;
}

// Filters `count` samples in place; count <= 0 does nothing. The state carries over from call
// to call, so any split of a signal into blocks gives the same output. Real-time safe.
void onePoleFilterProcess(OnePoleFilter& filter, float* samples, int count);

// Runs `count` samples in place through a chain of 1 to 4 filters: filters[0] first, then
// filters[1], and so on. The result is that of one onePoleFilterProcess call per filter in
// turn; every form but plain takes each sample through the whole chain before the next one, so
// the filters' recursions overlap in time. Real-time safe.
void onePoleFilterChainProcess(OnePoleFilter* const* filters, int nFilters, float* samples, int count,
                               DspRoutines routines);

// Sets `coef` for the filter's type from a cut-off in Hz and the rate in Hz the filter runs at
// (44100 or 48000 in this system). Leaves x1 and y1 alone, so it may retune a running filter.
// Real-time safe.
void onePoleFilterSetCutoff(OnePoleFilter& filter, float cutoffHz, float rate);

// Owner's set-up: sets the type, clears x1 and y1 to 0, then sets the cut-off. Real-time safe.
void onePoleFilterSetUp(OnePoleFilter& filter, bool isLowpass, float cutoffHz, float rate);
