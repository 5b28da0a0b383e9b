#include "OnePoleFilter.h"

#include "Quantise.h"

void onePoleFilterProcess(OnePoleFilter& filter, float* samples, int count)
{
    const float coef = filter.coef;
    float y1 = filter.y1;
    if (filter.isLowpass)
    {
        for (int i = 0; i < count; ++i)
        {
            const float x = samples[i];
            const float y = ((x - y1) * coef) + y1;
            samples[i] = y;
            y1 = quantiseState(y);
        }
    }
    else
    {
        float x1 = filter.x1;
        for (int i = 0; i < count; ++i)
        {
            const float x = samples[i];
            const float y = ((y1 + x) - x1) * coef;
            samples[i] = y;
            y1 = quantiseState(y);
            x1 = x;
        }
        filter.x1 = x1;
    }
    filter.y1 = y1;
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
