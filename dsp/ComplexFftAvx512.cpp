// Sixteen inverse transforms side by side in AVX-512 lanes. This file alone is built with AVX enabled
// (dsp/CMakeLists.txt); its routine runs only on processors that have AVX-512F. It shares no inline
// function or template with the files built for the baseline: its lane type and its copy of the
// stages (ComplexFftStages.h) have internal linkage.
#include "ComplexFft.h"

#if defined(__AVX512F__)
#include <immintrin.h>

namespace
{
// Sixteen single-precision lanes; each operation is one correctly rounded IEEE operation per lane
// (AVX-512F, never fused multiply-add), unary minus flips the sign bit.
struct WidestLanes
{
    static constexpr int width = 16;
    __m512 v;

    static WidestLanes load(const float* p) { return { _mm512_loadu_ps(p) }; }
    void store(float* p) const { _mm512_storeu_ps(p, v); }
};

WidestLanes operator+(WidestLanes a, WidestLanes b) { return { _mm512_add_ps(a.v, b.v) }; }
WidestLanes operator-(WidestLanes a, WidestLanes b) { return { _mm512_sub_ps(a.v, b.v) }; }
WidestLanes operator-(WidestLanes a)
{
    const __m512i sign = _mm512_set1_epi32(static_cast<int>(0x80000000u));
    return { _mm512_castsi512_ps(_mm512_xor_si512(_mm512_castps_si512(a.v), sign)) };
}
WidestLanes operator*(float a, WidestLanes b) { return { _mm512_mul_ps(_mm512_set1_ps(a), b.v) }; }
WidestLanes& operator-=(WidestLanes& a, WidestLanes b) { return a = a - b; }
}  // namespace

#include "ComplexFftStages.h"

bool complexFftSixteenLanesBuilt()
{
    return true;
}

void complexFftInverseSixteen(int n, float* lanes, int32_t* ip, const float* w)
{
    bitReverse<true>(n, ip + 2, Points<WidestLanes>{ lanes });
    stages<true>(n, Points<WidestLanes>{ lanes }, w);
}
#else
bool complexFftSixteenLanesBuilt()
{
    return false;
}

void complexFftInverseSixteen(int, float*, int32_t*, const float*) {}
#endif
