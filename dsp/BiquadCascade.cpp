#include "BiquadCascade.h"

#include <cmath>

#include "BiquadSectionPlan.h"
#include "LaneForms.h"
#include "Quantise.h"
#include "StageWavefront.h"

namespace
{
struct Section
{
    float b0, b1, b2, a1, a2;
    float z1, z2;

    // One sample through the section: output flushed below 1e-10 (compared in double; NaN
    // passes), delays stored quantised.
    inline float run(float x)
    {
        float y = (b0 * x) + z1;
        if (std::fabs(static_cast<double>(y)) < 1e-10)
            y = 0.0f;
        const float s1 = ((b1 * x) + z2) - (a1 * y);
        const float s2 = (b2 * x) - (a2 * y);
        z1 = quantiseState(s1);
        z2 = quantiseState(s2);
        return y;
    }
};

// Runs K consecutive sections over the block as a wavefront (StageWavefront.h): at step t section
// k takes sample t - k, which section k - 1 finished at step t - 1. Every sample still passes the
// sections in order and every section sees its samples in order, so each value is computed
// exactly as in a section-by-section pass; the K independent recursions just overlap in time.
template <int K>
void runSections(BiquadCascade& cascade, int first, float* x, int count)
{
    Section sec[K];
    for (int k = 0; k < K; ++k)
    {
        const float* row = cascade.sos + 6 * (first + k);
        sec[k] = { row[0], row[1], row[2], row[4], row[5], cascade.state[first + k].z1, cascade.state[first + k].z2 };
    }
    runStagesAsWavefront<K>(count, [&](int t, auto guarded) {
        for (int k = 0; k < K; ++k)
            if (stageRuns(t, k, count, guarded))
                x[t - k] = sec[k].run(x[t - k]);
    });
    for (int k = 0; k < K; ++k)
    {
        cascade.state[first + k].z1 = sec[k].z1;
        cascade.state[first + k].z2 = sec[k].z2;
    }
}

// The scalar form: five, two or one sections at a time as a wavefront, then the overall gain.
void runScalar(BiquadCascade& cascade, float* samples, int count)
{
    const int nSections = cascade.nSections;
    int s = 0;
    for (; s + 5 <= nSections; s += 5)
        runSections<5>(cascade, s, samples, count);
    for (; s + 2 <= nSections; s += 2)
        runSections<2>(cascade, s, samples, count);
    for (; s < nSections; ++s)
        runSections<1>(cascade, s, samples, count);
    const float gain = cascade.scale[nSections];
    if (!(gain == 1.0f))
    {
        for (int i = 0; i < count; ++i)
            samples[i] = samples[i] * gain;
    }
}
}  // namespace

bool biquadPlanSections(BiquadCascade* const* cascades, int nCascades, BiquadSectionPlan& plan)
{
    for (int c = 0; c < nCascades; ++c)
    {
        BiquadCascade& cascade = *cascades[c];
        if (plan.count + cascade.nSections > kMaxChainedSections)
            return false;
        const float overall = cascade.scale[cascade.nSections];
        for (int s = 0; s < cascade.nSections; ++s)
        {
            plan.row[plan.count] = cascade.sos + 6 * s;
            plan.state[plan.count] = &cascade.state[s];
            plan.gain[plan.count] = s == cascade.nSections - 1 && !(overall == 1.0f) ? overall : 1.0f;
            ++plan.count;
        }
    }
    return true;
}

void biquadCascadeProcess(BiquadCascade& cascade, float* samples, int count, DspRoutines routines)
{
    BiquadCascade* const one = &cascade;
    biquadCascadeChainProcess(&one, 1, samples, count, routines);
}

void biquadCascadeChainProcess(BiquadCascade* const* cascades, int nCascades, float* samples, int count,
                               DspRoutines routines)
{
    if (count <= 0)
        return;
    BiquadSectionPlan plan;
    if (routines != DspRoutines::plain && biquadPlanSections(cascades, nCascades, plan))
    {
        dspLaneForms(routines).cascade(plan, samples, count);
        return;
    }
    for (int c = 0; c < nCascades; ++c)
        runScalar(*cascades[c], samples, count);
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
