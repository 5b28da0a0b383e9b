#include "DecimationFilter.h"

#include <cstring>
#include <vector>

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

namespace
{
struct DecimatedResponses
{
    std::vector<float> samples[2][2][2];  // [type2][rate index][factor 4]
    DecimatedResponse views[2][2][2];

    DecimatedResponses()
    {
        for (const bool type2 : { false, true })
            for (const int rate : { kBaseRate44100, kBaseRate48000 })
                for (const bool byFour : { false, true })
                {
                    const auto& source = (type2 ? kReverbImpulseType2 : kReverbImpulseType1)[rate];
                    const int32_t factor = byFour ? 4 : 2;
                    auto& out = samples[type2][rate][byFour];
                    out.resize(static_cast<size_t>((source.length + factor - 1) / factor));
                    DecimationFilter filter;
                    decimationFilterSetUp(filter, factor);
                    const int32_t length = decimationFilterRun(filter, source.samples, source.length, out.data());
                    views[type2][rate][byFour] = { out.data(), length };
                }
    }
};
}

const DecimatedResponse& decimatedReverbResponse(bool type2, int rateIndex, int32_t factor)
{
    static const DecimatedResponses responses;
    return responses.views[type2 ? 1 : 0][rateIndex == kBaseRate48000 ? 1 : 0][factor == 4 ? 1 : 0];
}
