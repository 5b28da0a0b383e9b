#include "OnePoleFilter.h"

#include "Quantise.h"
#include "RoutineChoice.h"

namespace
{
// One sample through one filter: the steps of onePoleFilterProcess in their order.
inline float runOne(bool isLowpass, float coef, float& x1, float& y1, float x)
{
    const float y = isLowpass ? ((x - y1) * coef) + y1 : ((y1 + x) - x1) * coef;
    y1 = quantiseState(y);
    if (!isLowpass)
        x1 = x;
    return y;
}

template <int N>
void runChainInterleaved(OnePoleFilter* const* filters, float* samples, int count)
{
    bool lowpass[N];
    float coef[N], x1[N], y1[N];
    for (int f = 0; f < N; ++f)
    {
        lowpass[f] = filters[f]->isLowpass;
        coef[f] = filters[f]->coef;
        x1[f] = filters[f]->x1;
        y1[f] = filters[f]->y1;
    }
    for (int i = 0; i < count; ++i)
    {
        float x = samples[i];
        for (int f = 0; f < N; ++f)
            x = runOne(lowpass[f], coef[f], x1[f], y1[f], x);
        samples[i] = x;
    }
    for (int f = 0; f < N; ++f)
    {
        if (!lowpass[f])
            filters[f]->x1 = x1[f];
        filters[f]->y1 = y1[f];
    }
}
}  // namespace

void onePoleFilterProcess(OnePoleFilter& filter, float* samples, int count)
{
    OnePoleFilter* const one = &filter;
    runChainInterleaved<1>(&one, samples, count);
}

void onePoleFilterChainProcess(OnePoleFilter* const* filters, int nFilters, float* samples, int count)
{
    if (dspSelectedRoutines() == DspRoutines::plain || nFilters < 2 || nFilters > 4)
    {
        for (int f = 0; f < nFilters; ++f)
            onePoleFilterProcess(*filters[f], samples, count);
        return;
    }
    if (nFilters == 2)
        runChainInterleaved<2>(filters, samples, count);
    else if (nFilters == 3)
        runChainInterleaved<3>(filters, samples, count);
    else
        runChainInterleaved<4>(filters, samples, count);
}

void onePoleFilterSetCutoff(OnePoleFilter& filter, float cutoffHz, float rate)
{
    const float twoPi = 6.2831855f;
    const float w = (twoPi * cutoffHz) / rate;
    filter.coef = filter.isLowpass ? w / (w + 1.0f) : 1.0f / (w + 1.0f);
}

void onePoleFilterSetUp(OnePoleFilter& filter, bool isLowpass, float cutoffHz, float rate)
{
    filter.isLowpass = isLowpass;
    filter.x1 = 0.0f;
    filter.y1 = 0.0f;
    onePoleFilterSetCutoff(filter, cutoffHz, rate);
}
