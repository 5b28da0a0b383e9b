// The cascade wavefront with one section per lane in eight AVX2 lanes. This file alone is built
// with AVX2 enabled (dsp/CMakeLists.txt); it runs only on processors that have AVX2, and shares no
// inline function or template with the files built for the baseline.
#include "BiquadSectionPlan.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include <type_traits>

namespace
{
// Lane j of vector v runs section 8v + j and at step t takes sample t - (8v + j) from the lane
// before it; each lane performs the scalar section's operations in the scalar order, then its
// gain (see BiquadCascade.cpp's four-lane form for the flush threshold). V vectors hold up to
// 8V sections.
template <int V>
void runWavefront(const BiquadSectionPlan& plan, float* x, int count)
{
    const int S = plan.count;
    alignas(32) float coef[6][8 * V] = {};
    alignas(32) float z[2][8 * V] = {};
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
    __m256 b0[V], b1[V], b2[V], a1[V], a2[V], gain[V], z1[V], z2[V], out[V];
    __m256i section[V];
    bool scaled[V];  // whether any lane of the vector has a gain other than 1
    for (int v = 0; v < V; ++v)
    {
        scaled[v] = false;
        for (int j = 0; j < 8; ++j)
            scaled[v] = scaled[v] || !(coef[5][8 * v + j] == 1.0f);
        b0[v] = _mm256_load_ps(coef[0] + 8 * v);
        b1[v] = _mm256_load_ps(coef[1] + 8 * v);
        b2[v] = _mm256_load_ps(coef[2] + 8 * v);
        a1[v] = _mm256_load_ps(coef[3] + 8 * v);
        a2[v] = _mm256_load_ps(coef[4] + 8 * v);
        gain[v] = _mm256_load_ps(coef[5] + 8 * v);
        z1[v] = _mm256_load_ps(z[0] + 8 * v);
        z2[v] = _mm256_load_ps(z[1] + 8 * v);
        out[v] = _mm256_setzero_ps();
        section[v] =
            _mm256_setr_epi32(8 * v, 8 * v + 1, 8 * v + 2, 8 * v + 3, 8 * v + 4, 8 * v + 5, 8 * v + 6, 8 * v + 7);
    }
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 threshold = _mm256_set1_ps(1.00000001e-10f);
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    const __m256i rotateUp = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);  // lane j takes lane j - 1
    const int lastLane = (S - 1) & 7;
    const int lastVector = (S - 1) >> 3;
    const __m256i lastLaneIndex = _mm256_set1_epi32(lastLane);

    const auto step = [&](int t, auto masked) {
        __m256 rotated[V];
        for (int v = 0; v < V; ++v)
            rotated[v] = _mm256_permutevar8x32_ps(out[v], rotateUp);
        for (int v = V - 1; v >= 0; --v)
        {
            // Lane 0 takes the new sample, or the previous vector's last lane (its rotation's lane 0).
            const __m256 carried = v == 0 ? _mm256_set1_ps(x[t < count ? t : 0]) : rotated[v - 1];
            const __m256 in = _mm256_blend_ps(rotated[v], carried, 0x01);
            __m256 y = _mm256_add_ps(_mm256_mul_ps(b0[v], in), z1[v]);
            const __m256 tiny = _mm256_cmp_ps(_mm256_and_ps(y, magnitude), threshold, _CMP_LT_OQ);
            y = _mm256_andnot_ps(tiny, y);
            const __m256 s1 = _mm256_sub_ps(_mm256_add_ps(_mm256_mul_ps(b1[v], in), z2[v]), _mm256_mul_ps(a1[v], y));
            const __m256 s2 = _mm256_sub_ps(_mm256_mul_ps(b2[v], in), _mm256_mul_ps(a2[v], y));
            const __m256 q1 = _mm256_sub_ps(_mm256_add_ps(s1, one), one);
            const __m256 q2 = _mm256_sub_ps(_mm256_add_ps(s2, one), one);
            if constexpr (decltype(masked)::value)
            {
                const __m256i tv = _mm256_set1_epi32(t);
                const __m256i active =
                    _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_add_epi32(tv, _mm256_set1_epi32(1)), section[v]),
                                     _mm256_cmpgt_epi32(section[v], _mm256_sub_epi32(tv, _mm256_set1_epi32(count))));
                const __m256 m = _mm256_castsi256_ps(active);
                z1[v] = _mm256_blendv_ps(z1[v], q1, m);
                z2[v] = _mm256_blendv_ps(z2[v], q2, m);
            }
            else
            {
                z1[v] = q1;
                z2[v] = q2;
            }
            out[v] = scaled[v] ? _mm256_mul_ps(y, gain[v]) : y;
        }
        const int done = t - (S - 1);
        if (done >= 0)  // the last section's lane, moved to lane 0 in a register
            x[done] = _mm256_cvtss_f32(_mm256_permutevar8x32_ps(out[lastVector], lastLaneIndex));
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
        _mm256_store_ps(z[0] + 8 * v, z1[v]);
        _mm256_store_ps(z[1] + 8 * v, z2[v]);
    }
    for (int q = 0; q < S; ++q)
    {
        plan.state[q]->z1 = z[0][q];
        plan.state[q]->z2 = z[1][q];
    }
}
}  // namespace

bool biquadEightLanesBuilt() { return true; }

void biquadRunEightLanes(const BiquadSectionPlan& plan, float* x, int count)
{
    switch ((plan.count + 7) >> 3)
    {
    case 1:
        runWavefront<1>(plan, x, count);
        break;
    case 2:
        runWavefront<2>(plan, x, count);
        break;
    case 3:
        runWavefront<3>(plan, x, count);
        break;
    default:
        runWavefront<4>(plan, x, count);
        break;
    }
}
#else
bool biquadEightLanesBuilt() { return false; }

void biquadRunEightLanes(const BiquadSectionPlan&, float*, int) {}
#endif
