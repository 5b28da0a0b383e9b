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
#else
bool convolutionAvxBuilt() { return false; }

void convolutionAddScaledAvx(float*, const float*, float, int32_t) {}
void convolutionQuantiseAvx(float*, int32_t, int32_t) {}
#endif
