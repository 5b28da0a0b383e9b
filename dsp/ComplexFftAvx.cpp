// Eight inverse transforms side by side in AVX lanes. This file alone is built with AVX enabled
// (dsp/CMakeLists.txt); its routine runs only on processors that have AVX. It shares no inline
// function or template with the files built for the baseline: its lane type and its copy of the
// stages (ComplexFftStages.h) have internal linkage.
#include "ComplexFft.h"

#if defined(__AVX__)
#include <immintrin.h>

namespace
{
// Eight single-precision lanes; each operation is one correctly rounded IEEE operation per lane
// (AVX, never fused multiply-add), unary minus flips the sign bit.
struct WideLanes
{
    static constexpr int width = 8;
    __m256 v;

    static WideLanes load(const float* p) { return { _mm256_loadu_ps(p) }; }
    void store(float* p) const { _mm256_storeu_ps(p, v); }
};

WideLanes operator+(WideLanes a, WideLanes b) { return { _mm256_add_ps(a.v, b.v) }; }
WideLanes operator-(WideLanes a, WideLanes b) { return { _mm256_sub_ps(a.v, b.v) }; }
WideLanes operator-(WideLanes a) { return { _mm256_xor_ps(a.v, _mm256_set1_ps(-0.0f)) }; }
WideLanes operator*(float a, WideLanes b) { return { _mm256_mul_ps(_mm256_set1_ps(a), b.v) }; }
WideLanes& operator-=(WideLanes& a, WideLanes b) { return a = a - b; }

// Four lanes, for the stages of a split-layout transform whose groups hold four points.
struct NarrowLanes
{
    static constexpr int width = 4;
    __m128 v;

    static NarrowLanes load(const float* p) { return { _mm_loadu_ps(p) }; }
    void store(float* p) const { _mm_storeu_ps(p, v); }
};

NarrowLanes operator+(NarrowLanes a, NarrowLanes b) { return { _mm_add_ps(a.v, b.v) }; }
NarrowLanes operator-(NarrowLanes a, NarrowLanes b) { return { _mm_sub_ps(a.v, b.v) }; }
NarrowLanes operator-(NarrowLanes a) { return { _mm_xor_ps(a.v, _mm_set1_ps(-0.0f)) }; }
NarrowLanes operator*(float a, NarrowLanes b) { return { _mm_mul_ps(_mm_set1_ps(a), b.v) }; }
NarrowLanes operator*(NarrowLanes a, NarrowLanes b) { return { _mm_mul_ps(a.v, b.v) }; }
NarrowLanes& operator-=(NarrowLanes& a, NarrowLanes b) { return a = a - b; }
void transpose(NarrowLanes& r0, NarrowLanes& r1, NarrowLanes& r2, NarrowLanes& r3)
{
    _MM_TRANSPOSE4_PS(r0.v, r1.v, r2.v, r3.v);
}
}  // namespace

#include "ComplexFftStages.h"

bool complexFftEightLanesBuilt() { return true; }

void complexFftInverseEight(int n, float* lanes, int32_t* ip, const float* w)
{
    bitReverse<true>(n, ip + 2, Points<WideLanes>{ lanes });
    stages<true>(n, Points<WideLanes>{ lanes }, w);
}

void complexFftInversePiecesEight(int n, float* lanes, int32_t* ip, const float* w, int first, int end)
{
    transformPieces<true>(n, first, end, Points<WideLanes>{ lanes }, ip, w);
}

void complexFftSplitPiecesEight(int n, float* a, int32_t* ip, const float* w, int first, int end, bool inverse)
{
    if (inverse)
        splitTransformPieces<true, WideLanes, NarrowLanes>(n, first, end, a, ip, w);
    else
        splitTransformPieces<false, WideLanes, NarrowLanes>(n, first, end, a, ip, w);
}
#else
bool complexFftEightLanesBuilt() { return false; }

void complexFftSplitPiecesEight(int, float*, int32_t*, const float*, int, int, bool) {}

void complexFftInversePiecesEight(int, float*, int32_t*, const float*, int, int) {}

void complexFftInverseEight(int, float*, int32_t*, const float*) {}
#endif
