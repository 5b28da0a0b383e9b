#pragma once
// Four single-precision lanes that each perform exactly the operation sequence of scalar code:
// every +, -, x is one correctly rounded IEEE operation per lane and unary minus flips the sign
// bit, as the scalar forms do. Templates written over `float` and `FloatLanes` therefore give
// the same bits in every lane as the scalar instance gives for that lane's data. SSE2 is the
// x86-64 baseline; other targets get a plain four-element form with the same meaning.
// Compiled only for the baseline instruction set: no file built for another set includes it.

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#if defined(__SSE2__)
struct FloatLanes
{
    static constexpr int width = 4;
    __m128 v;

    static FloatLanes load(const float* p) { return { _mm_loadu_ps(p) }; }
    static FloatLanes splat(float x) { return { _mm_set1_ps(x) }; }
    void store(float* p) const { _mm_storeu_ps(p, v); }
    float lane(int i) const
    {
        alignas(16) float out[4];
        _mm_store_ps(out, v);
        return out[i];
    }
};

inline FloatLanes operator+(FloatLanes a, FloatLanes b) { return { _mm_add_ps(a.v, b.v) }; }
inline FloatLanes operator-(FloatLanes a, FloatLanes b) { return { _mm_sub_ps(a.v, b.v) }; }
inline FloatLanes operator*(FloatLanes a, FloatLanes b) { return { _mm_mul_ps(a.v, b.v) }; }
inline FloatLanes operator-(FloatLanes a) { return { _mm_xor_ps(a.v, _mm_set1_ps(-0.0f)) }; }

// Transposes four rows of four lanes: afterwards lane j of row i holds what lane i of row j held.
inline void transpose(FloatLanes& r0, FloatLanes& r1, FloatLanes& r2, FloatLanes& r3)
{
    _MM_TRANSPOSE4_PS(r0.v, r1.v, r2.v, r3.v);
}
#else
struct FloatLanes
{
    static constexpr int width = 4;
    float v[4];

    static FloatLanes load(const float* p) { return { { p[0], p[1], p[2], p[3] } }; }
    static FloatLanes splat(float x) { return { { x, x, x, x } }; }
    void store(float* p) const
    {
        for (int i = 0; i < 4; ++i)
            p[i] = v[i];
    }
    float lane(int i) const { return v[i]; }
};

inline FloatLanes operator+(FloatLanes a, FloatLanes b)
{
    return { { a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3] } };
}
inline FloatLanes operator-(FloatLanes a, FloatLanes b)
{
    return { { a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2], a.v[3] - b.v[3] } };
}
inline FloatLanes operator*(FloatLanes a, FloatLanes b)
{
    return { { a.v[0] * b.v[0], a.v[1] * b.v[1], a.v[2] * b.v[2], a.v[3] * b.v[3] } };
}
inline FloatLanes operator-(FloatLanes a) { return { { -a.v[0], -a.v[1], -a.v[2], -a.v[3] } }; }

// Transposes four rows of four lanes: afterwards lane j of row i holds what lane i of row j held.
inline void transpose(FloatLanes& r0, FloatLanes& r1, FloatLanes& r2, FloatLanes& r3)
{
    FloatLanes* rows[4] = { &r0, &r1, &r2, &r3 };
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
        {
            const float t = rows[i]->v[j];
            rows[i]->v[j] = rows[j]->v[i];
            rows[j]->v[i] = t;
        }
}
#endif

inline FloatLanes operator*(float a, FloatLanes b) { return FloatLanes::splat(a) * b; }
inline FloatLanes& operator-=(FloatLanes& a, FloatLanes b) { return a = a - b; }
