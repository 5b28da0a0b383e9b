#include "OnePoleFilter.h"

#include "StageWavefront.h"

#include <utility>

namespace
{
// The chain as a wavefront with one filter a stage (see StageWavefront.h).
template <int N, unsigned LowpassMask>
void runChain(OnePoleFilter* const* filters, float* samples, int count)
{
    OnePoleChainRun<N, LowpassMask> chain(filters);
    float v[N] = {};  // v[f]: filter f's last output
    runStagesAsWavefront<N>(count, [&](int t, auto guarded) {
        if (stageRuns(t, N - 1, count, guarded))
            samples[t - (N - 1)] = chain.step(N - 1, N == 1 ? samples[t] : v[N - 2]);
        for (int f = N - 2; f >= 0; --f)
            if (stageRuns(t, f, count, guarded))
                v[f] = chain.step(f, f == 0 ? samples[t] : v[f - 1]);
    });
    chain.store();
}

// The chain with the filters' types fixed at compile time: one instance per pattern of types.
template <int N, unsigned... Masks>
void runChainOfTypes(unsigned mask, OnePoleFilter* const* filters, float* samples, int count,
                     std::integer_sequence<unsigned, Masks...>)
{
    ((mask == Masks ? runChain<N, Masks>(filters, samples, count) : void()), ...);
}

template <int N>
void runChainInterleaved(OnePoleFilter* const* filters, float* samples, int count)
{
    runChainOfTypes<N>(onePoleLowpassMask(filters, N), filters, samples, count,
                       std::make_integer_sequence<unsigned, 1u << N>{});
}
}  // namespace

void onePoleFilterProcess(OnePoleFilter& filter, float* samples, int count)
{
    OnePoleFilter* const one = &filter;
    runChainInterleaved<1>(&one, samples, count);
}

void onePoleFilterChainProcess(OnePoleFilter* const* filters, int nFilters, float* samples, int count,
                               DspRoutines routines)
{
    if (routines == DspRoutines::plain || nFilters < 2 || nFilters > 4)
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
