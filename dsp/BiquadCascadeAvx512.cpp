// The cascade wavefront with one section per lane in sixteen AVX-512 lanes. This file alone is
// built with AVX-512 enabled (dsp/CMakeLists.txt); it runs only on processors that have it, and
// shares no inline function or template with the files built for other instruction sets.
#include "BiquadSectionPlan.h"

#if defined(__AVX512F__)
#include <immintrin.h>

#include <type_traits>

namespace
{
// Lane j of vector v runs section 16v + j and at step t takes sample t - (16v + j) from the lane
// before it; each lane performs the scalar section's operations in the scalar order, then its
// gain where the vector has one other than 1 (see BiquadCascade.cpp's four-lane form for the
// flush threshold). The flushed lanes are set to +0, as the other forms do. V vectors hold up to
// 16V sections.
template <int V>
void runWavefront(const BiquadSectionPlan& plan, float* x, int count)
{
    const int S = plan.count;
    alignas(64) float coef[6][16 * V] = {};
    alignas(64) float z[2][16 * V] = {};
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
    __m512 b0[V], b1[V], b2[V], a1[V], a2[V], gain[V], zeroTimesGain[V], z1[V], z2[V], out[V];
    __m512i section[V];
    bool scaled[V];  // whether any lane of the vector has a gain other than 1
    for (int v = 0; v < V; ++v)
    {
        scaled[v] = false;
        for (int j = 0; j < 16; ++j)
            scaled[v] = scaled[v] || !(coef[5][16 * v + j] == 1.0f);
        b0[v] = _mm512_load_ps(coef[0] + 16 * v);
        b1[v] = _mm512_load_ps(coef[1] + 16 * v);
        b2[v] = _mm512_load_ps(coef[2] + 16 * v);
        a1[v] = _mm512_load_ps(coef[3] + 16 * v);
        a2[v] = _mm512_load_ps(coef[4] + 16 * v);
        gain[v] = _mm512_load_ps(coef[5] + 16 * v);
        zeroTimesGain[v] = _mm512_mul_ps(_mm512_setzero_ps(), gain[v]);
        z1[v] = _mm512_load_ps(z[0] + 16 * v);
        z2[v] = _mm512_load_ps(z[1] + 16 * v);
        out[v] = _mm512_setzero_ps();
        section[v] = _mm512_add_epi32(_mm512_set1_epi32(16 * v),
                                      _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    }
    const __m512 one = _mm512_set1_ps(1.0f);
    const __m512 threshold = _mm512_set1_ps(1.00000001e-10f);
    const __m512i magnitude = _mm512_set1_epi32(0x7fffffff);
    const int lastLane = (S - 1) & 15;
    const int lastVector = (S - 1) >> 4;
    const __m512i lastLaneIndex = _mm512_set1_epi32(lastLane);

    const auto step = [&](int t, auto masked) {
        const __m512 sample = _mm512_set1_ps(x[t < count ? t : 0]);
        for (int v = V - 1; v >= 0; --v)
        {
            // Lane j takes lane j - 1; lane 0 takes the new sample, or the previous vector's last lane.
            const __m512 carried = v == 0 ? sample : out[v - 1];
            const __m512 in = _mm512_castsi512_ps(
                _mm512_maskz_alignr_epi32(0xffff, _mm512_castps_si512(out[v]), _mm512_castps_si512(carried), 15));
            const __m512 y = _mm512_add_ps(_mm512_mul_ps(b0[v], in), z1[v]);
            const __m512 size = _mm512_castsi512_ps(_mm512_and_epi32(_mm512_castps_si512(y), magnitude));
            const __mmask16 kept = _mm512_cmp_ps_mask(size, threshold, _CMP_NLT_UQ);
            // A flushed lane subtracts nothing rather than its coefficient times +0: that differs
            // at most in the sign of a zero, which the quantisation below turns into +0 anyway.
            const __m512 u1 = _mm512_add_ps(_mm512_mul_ps(b1[v], in), z2[v]);
            const __m512 u2 = _mm512_mul_ps(b2[v], in);
            const __m512 s1 = _mm512_mask_sub_ps(u1, kept, u1, _mm512_mul_ps(a1[v], y));
            const __m512 s2 = _mm512_mask_sub_ps(u2, kept, u2, _mm512_mul_ps(a2[v], y));
            const __m512 q1 = _mm512_sub_ps(_mm512_add_ps(s1, one), one);
            const __m512 q2 = _mm512_sub_ps(_mm512_add_ps(s2, one), one);
            if constexpr (decltype(masked)::value)
            {
                // Sections with a sample at this step: section <= t and section > t - count.
                const __mmask16 active = _mm512_cmp_epi32_mask(section[v], _mm512_set1_epi32(t), _MM_CMPINT_LE)
                    & _mm512_cmp_epi32_mask(section[v], _mm512_set1_epi32(t - count), _MM_CMPINT_NLE);
                z1[v] = _mm512_mask_mov_ps(z1[v], active, q1);
                z2[v] = _mm512_mask_mov_ps(z2[v], active, q2);
            }
            else
            {
                z1[v] = q1;
                z2[v] = q2;
            }
            // A flushed lane's output is +0 times its gain (-0 where the gain is negative).
            out[v] = scaled[v] ? _mm512_mask_mul_ps(zeroTimesGain[v], kept, y, gain[v]) : _mm512_maskz_mov_ps(kept, y);
        }
        const int done = t - (S - 1);
        if (done >= 0)  // the last section's lane, moved to lane 0 in a register
            x[done] = _mm512_cvtss_f32(_mm512_maskz_permutexvar_ps(0xffff, lastLaneIndex, out[lastVector]));
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
        _mm512_store_ps(z[0] + 16 * v, z1[v]);
        _mm512_store_ps(z[1] + 16 * v, z2[v]);
    }
    for (int q = 0; q < S; ++q)
    {
        plan.state[q]->z1 = z[0][q];
        plan.state[q]->z2 = z[1][q];
    }
}
}  // namespace

bool biquadSixteenLanesBuilt() { return true; }

void biquadRunSixteenLanes(const BiquadSectionPlan& plan, float* x, int count)
{
    if (plan.count <= 16)
        runWavefront<1>(plan, x, count);
    else
        runWavefront<2>(plan, x, count);
}
#else
bool biquadSixteenLanesBuilt() { return false; }

void biquadRunSixteenLanes(const BiquadSectionPlan&, float*, int) {}
#endif
