// The reverb engine's accumulator loops in eight AVX lanes. This file alone is built with AVX
// enabled (dsp/CMakeLists.txt); its routines run only where the processor has AVX
// (complexFftEightLanesAvailable). It shares no inline function or template with the files built
// for the baseline.
#include "ConvolutionReverbAvx.h"

#if defined(__AVX__)
#include <immintrin.h>

bool convolutionAvxBuilt() { return true; }

void convolutionAddScaledAvx(float* acc, const float* run, float scale, int32_t count)
{
    const __m256 g = _mm256_set1_ps(scale);
    int32_t k = 0;
    for (; k + 8 <= count; k += 8)
        _mm256_storeu_ps(acc + k, _mm256_add_ps(_mm256_loadu_ps(acc + k), _mm256_mul_ps(_mm256_loadu_ps(run + k), g)));
    for (; k < count; ++k)
        acc[k] = acc[k] + run[k] * scale;
}

void convolutionQuantiseAvx(float* acc, int32_t from, int32_t to)
{
    const __m256 one = _mm256_set1_ps(1.0f);
    int32_t i = from;
    for (; i + 8 <= to; i += 8)
        _mm256_storeu_ps(acc + i, _mm256_sub_ps(_mm256_add_ps(_mm256_loadu_ps(acc + i), one), one));
    for (; i < to; ++i)
    {
        const float shifted = acc[i] + 1.0f;
        acc[i] = shifted - 1.0f;
    }
}

void convolutionFormProductsAvx(float* lanes, const float* const* spectra, const float* xRe, const float* xIm,
                                int32_t E)
{
    const auto pair = [](const float* low, const float* high) {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(low)), _mm_loadu_ps(high), 1);
    };
    for (int32_t k = 0; k < E; k += 2)
    {
        // Two points of each spectrum, (re, im, re, im), transposed across the eight lanes.
        const int32_t at = 2 * k;
        const __m256 m0 = pair(spectra[0] + at, spectra[4] + at), m1 = pair(spectra[1] + at, spectra[5] + at);
        const __m256 m2 = pair(spectra[2] + at, spectra[6] + at), m3 = pair(spectra[3] + at, spectra[7] + at);
        const __m256 t0 = _mm256_unpacklo_ps(m0, m1), t1 = _mm256_unpackhi_ps(m0, m1);
        const __m256 t2 = _mm256_unpacklo_ps(m2, m3), t3 = _mm256_unpackhi_ps(m2, m3);
        const __m256 parts[2][2] = { { _mm256_shuffle_ps(t0, t2, 0x44), _mm256_shuffle_ps(t0, t2, 0xEE) },
                                     { _mm256_shuffle_ps(t1, t3, 0x44), _mm256_shuffle_ps(t1, t3, 0xEE) } };
        for (int32_t bin = 0; bin < 2; ++bin)
        {
            const int32_t re = at + 2 * bin;
            const __m256 xr = _mm256_set1_ps(xRe[k + bin]), xi = _mm256_set1_ps(xIm[k + bin]);
            const __m256 sr = parts[bin][0], si = parts[bin][1];
            _mm256_storeu_ps(lanes + 8 * re, _mm256_sub_ps(_mm256_mul_ps(sr, xr), _mm256_mul_ps(si, xi)));
            _mm256_storeu_ps(lanes + 8 * (re + 1), _mm256_add_ps(_mm256_mul_ps(xi, sr), _mm256_mul_ps(xr, si)));
        }
    }
}

void convolutionExtractRunsAvx(float* lanes, int32_t E)
{
    // Point k's eight real parts down from [16 k] to [8 k], in place (k ascending never
    // overwrites a point still to be moved); then eight points at a time, transposed into the
    // upper half, which the first pass has left free.
    for (int32_t k = 1; k < E; ++k)
        _mm256_storeu_ps(lanes + 8 * k, _mm256_loadu_ps(lanes + 16 * k));
    float* const runs = lanes + 8 * static_cast<int64_t>(E);
    for (int32_t k = 0; k < E; k += 8)
    {
        __m256 r[8];
        for (int32_t i = 0; i < 8; ++i)
            r[i] = _mm256_loadu_ps(lanes + 8 * (k + i));
        const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
        const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
        const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
        const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
        const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
        const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
        const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
        const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
        const __m256 lane[8] = { _mm256_permute2f128_ps(u0, u4, 0x20), _mm256_permute2f128_ps(u1, u5, 0x20),
                                 _mm256_permute2f128_ps(u2, u6, 0x20), _mm256_permute2f128_ps(u3, u7, 0x20),
                                 _mm256_permute2f128_ps(u0, u4, 0x31), _mm256_permute2f128_ps(u1, u5, 0x31),
                                 _mm256_permute2f128_ps(u2, u6, 0x31), _mm256_permute2f128_ps(u3, u7, 0x31) };
        for (int32_t q = 0; q < 8; ++q)
            _mm256_storeu_ps(runs + static_cast<int64_t>(q) * E + k, lane[q]);
    }
}
#else
bool convolutionAvxBuilt() { return false; }

void convolutionExtractRunsAvx(float*, int32_t) {}

void convolutionFormProductsAvx(float*, const float* const*, const float*, const float*, int32_t) {}

void convolutionAddScaledAvx(float*, const float*, float, int32_t) {}
void convolutionQuantiseAvx(float*, int32_t, int32_t) {}
#endif
