#pragma once
// First-order low-pass or high-pass filter with one coefficient, working in place.

struct OnePoleFilter
{
    bool isLowpass;  // true: low-pass; false: high-pass
    float x1;        // last input sample (read by the high-pass only)
    float y1;        // last output sample, stored quantised as (v + 1) - 1
    float coef;      // the one coefficient
};

// Filters `count` samples in place; count <= 0 does nothing. The state carries over from call
// to call, so any split of a signal into blocks gives the same output. Real-time safe.
void onePoleFilterProcess(OnePoleFilter& filter, float* samples, int count);

// Runs `count` samples in place through a chain of 1 to 4 filters: filters[0] first, then
// filters[1], and so on. The result is that of one onePoleFilterProcess call per filter in
// turn; the fast form takes each sample through the whole chain before the next one, so the
// filters' recursions overlap in time. Real-time safe.
void onePoleFilterChainProcess(OnePoleFilter* const* filters, int nFilters, float* samples, int count);

// Sets `coef` for the filter's type from a cut-off in Hz and the rate in Hz the filter runs at
// (44100 or 48000 in this system). Leaves x1 and y1 alone, so it may retune a running filter.
// Real-time safe.
void onePoleFilterSetCutoff(OnePoleFilter& filter, float cutoffHz, float rate);

// Owner's set-up: sets the type, clears x1 and y1 to 0, then sets the cut-off. Real-time safe.
void onePoleFilterSetUp(OnePoleFilter& filter, bool isLowpass, float cutoffHz, float rate);
