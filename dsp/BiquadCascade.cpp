#include "BiquadCascade.h"

#include <cmath>

#include "Quantise.h"

void biquadCascadeProcess(BiquadCascade& cascade, float* samples, int count)
{
    if (count <= 0)
        return;
    const int nSections = cascade.nSections;
    for (int s = 0; s < nSections; ++s)
    {
        const float* row = cascade.sos + 6 * s;
        const float b0 = row[0], b1 = row[1], b2 = row[2];
        const float a1 = row[4], a2 = row[5];
        float z1 = cascade.state[s].z1;
        float z2 = cascade.state[s].z2;
        for (int i = 0; i < count; ++i)
        {
            const float x = samples[i];
            float y = (b0 * x) + z1;
            // Strict comparison in double; NaN compares false and passes.
            if (std::fabs(static_cast<double>(y)) < 1e-10)
                y = 0.0f;
            const float s1 = ((b1 * x) + z2) - (a1 * y);
            const float s2 = (b2 * x) - (a2 * y);
            z1 = quantiseState(s1);
            z2 = quantiseState(s2);
            samples[i] = y;
        }
        cascade.state[s].z1 = z1;
        cascade.state[s].z2 = z2;
    }
    const float gain = cascade.scale[nSections];
    if (!(gain == 1.0f))
    {
        for (int i = 0; i < count; ++i)
            samples[i] = samples[i] * gain;
    }
}

void biquadCascadeBind(BiquadCascade& cascade, const float* sos, const float* scale, int nSections)
{
    cascade.sos = sos;
    cascade.scale = scale;
    cascade.nSections = nSections;
    for (int s = 0; s < nSections; ++s)
    {
        cascade.state[s].z1 = 0.0f;
        cascade.state[s].z2 = 0.0f;
    }
}
