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
    int32_t k = 0;
    for (; static_cast<int64_t>(k) * c < inputLength; ++k)
    {
        const int32_t centre = k * c;
        // Taps that reach before sample 0 meet silence; the last tap used is u = min(n, centre).
        const int32_t lastTap = centre < n ? centre : n;
        float sum = 0.0f;
        for (int32_t u = 0; u <= lastTap; ++u)
        {
            const float product = taps[u] * input[centre - u];
            sum = sum + product;
        }
        output[k] = sum;
    }
    return k;
}
