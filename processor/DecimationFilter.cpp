#include "DecimationFilter.h"

#include <cstring>

#include "AudioTables.h"

void decimationFilterSetUp(DecimationFilter& filter, int32_t factor)
{
    filter.factor = factor;
    filter.order = factor == 2 ? 40 : 80;
    filter.coefficients = factor == 2 ? kDecimation2Filter : kDecimation4Filter;
    std::memset(filter.history, 0, sizeof(filter.history));
}

int32_t decimationFilterRun(DecimationFilter& filter, const float* input, int32_t inputLength, float* output)
{
    const int32_t c = filter.factor;
    const int32_t n = filter.order;
    const float* taps = filter.coefficients;

    // Taps of exactly 0 (every c-th one but the centre) add +0 or -0 to a sum that is never -0,
    // which leaves it unchanged for the finite responses filtered here: skipping them gives the
    // same sums, summed in the same ascending order, with a half (c = 2) or a quarter fewer steps.
    int32_t used[kDecimationMaxOrder + 1];
    int32_t usedCount = 0;
    for (int32_t u = 0; u <= n; ++u)
        if (taps[u] != 0.0f)
            used[usedCount++] = u;

    int32_t k = 0;
    for (; static_cast<int64_t>(k) * c < inputLength; ++k)
    {
        const int32_t centre = k * c;
        // Taps that reach before sample 0 meet silence.
        float sum = 0.0f;
        for (int32_t j = 0; j < usedCount && used[j] <= centre; ++j)
        {
            const int32_t u = used[j];
            const float product = taps[u] * input[centre - u];
            sum = sum + product;
        }
        output[k] = sum;
    }
    return k;
}
