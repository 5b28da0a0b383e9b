#include "BiquadCascade.h"

#include <cmath>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "BiquadSectionPlan.h"
#include "Quantise.h"
#include "RoutineChoice.h"

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

// Runs K consecutive sections over the block as a wavefront: at step t section k takes sample
// t - k, which section k - 1 finished at step t - 1. Every sample still passes the sections in
// order and every section sees its samples in order, so each value is computed exactly as in
// a section-by-section pass; the K independent recursions just overlap in time.
template <int K>
void runSections(BiquadCascade& cascade, int first, float* x, int count)
{
    Section sec[K];
    for (int k = 0; k < K; ++k)
    {
        const float* row = cascade.sos + 6 * (first + k);
        sec[k] = { row[0], row[1], row[2], row[4], row[5], cascade.state[first + k].z1, cascade.state[first + k].z2 };
    }
    const int steps = count + K - 1;
    const int steadyEnd = count;  // steps K - 1 .. count - 1 have every section busy
    int t = 0;
    for (; t < K - 1 && t < steps; ++t)
        for (int k = 0; k < K; ++k)
            if (t - k >= 0 && t - k < count)
                x[t - k] = sec[k].run(x[t - k]);
    for (; t < steadyEnd; ++t)
        for (int k = 0; k < K; ++k)
            x[t - k] = sec[k].run(x[t - k]);
    for (; t < steps; ++t)
        for (int k = 0; k < K; ++k)
            if (t - k >= 0 && t - k < count)
                x[t - k] = sec[k].run(x[t - k]);
    for (int k = 0; k < K; ++k)
    {
        cascade.state[first + k].z1 = sec[k].z1;
        cascade.state[first + k].z2 = sec[k].z2;
    }
}

#if defined(__SSE2__)
// All planned sections as one wavefront with one section per lane: lane j of vector v runs
// section 4v + j, which at step t takes sample t - (4v + j) from the lane before it (finished at
// step t - 1). Each lane performs the scalar section's operations in the scalar order, then the
// gain multiplication; the flush |y| < 1e-10, compared in double, is the same as
// |y| < 1.00000001e-10f (the float nearest 1e-10 lies above it, so no float falls between), NaN
// included. Lanes past the last section have zero coefficients and are never read. A vector
// whose lanes all have the gain 1 skips the multiplication (it would return every value
// unchanged). V vectors hold up to 4V sections.
template <int V>
void runLaneWavefront(const BiquadSectionPlan& plan, float* x, int count)
{
    const int S = plan.count;
    alignas(16) float coef[6][4 * V] = {};
    alignas(16) float z[2][4 * V] = {};
    for (int q = 0; q < S; ++q)
    {
        const float* row = plan.row[q];
        coef[0][q] = row[0];
        coef[1][q] = row[1];
        coef[2][q] = row[2];
        coef[3][q] = row[4];
        coef[4][q] = row[5];
        coef[5][q] = plan.gain[q];
        z[0][q] = plan.state[q]->z1;
        z[1][q] = plan.state[q]->z2;
    }
    __m128 b0[V], b1[V], b2[V], a1[V], a2[V], gain[V], z1[V], z2[V], out[V];
    __m128i section[V];
    bool scaled[V];  // whether any lane of the vector has a gain other than 1
    for (int v = 0; v < V; ++v)
    {
        scaled[v] = false;
        for (int j = 0; j < 4; ++j)
            scaled[v] = scaled[v] || !(coef[5][4 * v + j] == 1.0f);
        b0[v] = _mm_load_ps(coef[0] + 4 * v);
        b1[v] = _mm_load_ps(coef[1] + 4 * v);
        b2[v] = _mm_load_ps(coef[2] + 4 * v);
        a1[v] = _mm_load_ps(coef[3] + 4 * v);
        a2[v] = _mm_load_ps(coef[4] + 4 * v);
        gain[v] = _mm_load_ps(coef[5] + 4 * v);
        z1[v] = _mm_load_ps(z[0] + 4 * v);
        z2[v] = _mm_load_ps(z[1] + 4 * v);
        out[v] = _mm_setzero_ps();
        section[v] = _mm_setr_epi32(4 * v, 4 * v + 1, 4 * v + 2, 4 * v + 3);
    }
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 threshold = _mm_set1_ps(1.00000001e-10f);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const int lastLane = (S - 1) & 3;
    const int lastVector = (S - 1) >> 2;

    // One step; Masked keeps the state of lanes whose section has no sample at this step.
    const auto step = [&](int t, auto masked) {
        for (int v = V - 1; v >= 0; --v)
        {
            const __m128i shifted = _mm_slli_si128(_mm_castps_si128(out[v]), 4);
            const __m128i carried = v == 0 ? _mm_castps_si128(_mm_set_ss(x[t < count ? t : 0]))
                                           : _mm_srli_si128(_mm_castps_si128(out[v - 1]), 12);
            const __m128 in = _mm_castsi128_ps(_mm_or_si128(shifted, carried));
            __m128 y = _mm_add_ps(_mm_mul_ps(b0[v], in), z1[v]);
            const __m128 tiny = _mm_cmplt_ps(_mm_and_ps(y, magnitude), threshold);
            y = _mm_andnot_ps(tiny, y);
            const __m128 s1 = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(b1[v], in), z2[v]), _mm_mul_ps(a1[v], y));
            const __m128 s2 = _mm_sub_ps(_mm_mul_ps(b2[v], in), _mm_mul_ps(a2[v], y));
            const __m128 q1 = _mm_sub_ps(_mm_add_ps(s1, one), one);
            const __m128 q2 = _mm_sub_ps(_mm_add_ps(s2, one), one);
            if constexpr (decltype(masked)::value)
            {
                const __m128i tv = _mm_set1_epi32(t);
                const __m128i active =
                    _mm_and_si128(_mm_cmpgt_epi32(_mm_add_epi32(tv, _mm_set1_epi32(1)), section[v]),
                                  _mm_cmpgt_epi32(section[v], _mm_sub_epi32(tv, _mm_set1_epi32(count))));
                const __m128 m = _mm_castsi128_ps(active);
                z1[v] = _mm_or_ps(_mm_and_ps(m, q1), _mm_andnot_ps(m, z1[v]));
                z2[v] = _mm_or_ps(_mm_and_ps(m, q2), _mm_andnot_ps(m, z2[v]));
            }
            else
            {
                z1[v] = q1;
                z2[v] = q2;
            }
            out[v] = scaled[v] ? _mm_mul_ps(y, gain[v]) : y;
        }
        const int done = t - (S - 1);
        if (done >= 0)
        {
            alignas(16) float lanesOut[4];
            _mm_store_ps(lanesOut, out[lastVector]);
            x[done] = lanesOut[lastLane];
        }
    };
    const int steps = count + S - 1;
    int t = 0;
    for (; t < S - 1 && t < steps; ++t)
        step(t, std::true_type{});
    for (; t < count; ++t)
        step(t, std::false_type{});
    for (; t < steps; ++t)
        step(t, std::true_type{});

    for (int v = 0; v < V; ++v)
    {
        _mm_store_ps(z[0] + 4 * v, z1[v]);
        _mm_store_ps(z[1] + 4 * v, z2[v]);
    }
    for (int q = 0; q < S; ++q)
    {
        plan.state[q]->z1 = z[0][q];
        plan.state[q]->z2 = z[1][q];
    }
}

bool processorHasAvx2()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

bool processorHasAvx512()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
#else
    return false;
#endif
}

// Decided once at load time, so the audio thread only reads them.
const bool eightLanesAvailable = biquadEightLanesBuilt() && processorHasAvx2();
const bool sixteenLanesAvailable = biquadSixteenLanesBuilt() && processorHasAvx512();

// Runs the cascades in lanes (sixteen where the processor has AVX-512 and the choice allows,
// else eight where it has AVX2, else four); returns false when this build has no lane form or
// they do not fit.
bool runInLanes(BiquadCascade* const* cascades, int nCascades, float* x, int count)
{
    BiquadSectionPlan plan;
    if (!biquadPlanSections(cascades, nCascades, plan))
        return false;
    if (dspSelectedRoutines() == DspRoutines::fast)
    {
        if (sixteenLanesAvailable)
        {
            biquadRunSixteenLanes(plan, x, count);
            return true;
        }
        if (eightLanesAvailable)
        {
            biquadRunEightLanes(plan, x, count);
            return true;
        }
    }
    switch ((plan.count + 3) >> 2)
    {
    case 1:
        runLaneWavefront<1>(plan, x, count);
        return true;
    case 2:
        runLaneWavefront<2>(plan, x, count);
        return true;
    case 3:
        runLaneWavefront<3>(plan, x, count);
        return true;
    case 4:
        runLaneWavefront<4>(plan, x, count);
        return true;
    case 5:
        runLaneWavefront<5>(plan, x, count);
        return true;
    case 6:
        runLaneWavefront<6>(plan, x, count);
        return true;
    case 7:
        runLaneWavefront<7>(plan, x, count);
        return true;
    case 8:
        runLaneWavefront<8>(plan, x, count);
        return true;
    default:
        return false;
    }
}
#else
bool runInLanes(BiquadCascade* const*, int, float*, int) { return false; }
#endif

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

bool biquadEightLanesAvailable()
{
#if defined(__SSE2__)
    return eightLanesAvailable;
#else
    return false;
#endif
}

bool biquadSixteenLanesAvailable()
{
#if defined(__SSE2__)
    return sixteenLanesAvailable;
#else
    return false;
#endif
}

void biquadCascadeProcess(BiquadCascade& cascade, float* samples, int count)
{
    BiquadCascade* const one = &cascade;
    biquadCascadeChainProcess(&one, 1, samples, count);
}

void biquadCascadeChainProcess(BiquadCascade* const* cascades, int nCascades, float* samples, int count)
{
    if (count <= 0)
        return;
    if (dspSelectedRoutines() != DspRoutines::plain && runInLanes(cascades, nCascades, samples, count))
        return;
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
