#pragma once
// Single-precision lanes: FloatLanes4 (SSE2, the x86-64 baseline; a plain four-element form on
// other targets), FloatLanes8 (AVX) and FloatLanes16 (AVX-512F), each defined only where the
// file including this header is built for its instruction set. Every lane performs exactly the
// operation sequence of scalar code: each +, -, x is one correctly rounded IEEE operation per
// lane (never a fused multiply-add) and unary minus flips the sign bit. Templates written over
// `float` and a lane type therefore give the same bits in every lane as the scalar instance
// gives for that lane's data.
//
// Every lane type has: width; load, store (unaligned), splat; +, -, x, unary minus, float x
// lanes, -=; a Mask with &, from the comparisons lessEqual and greater (false where a NaN takes
// part); select(mask, a, b) (a where the mask is set, else b); shiftIn(v, before) (lane j takes
// v's lane j - 1, lane 0 takes before's last lane); laneNumbers() (0, 1, 2, ... as floats);
// lane(v, i); and hasMaskRegisters. The types without mask registers also have magnitudeBelow
// (false for NaN) and zeroWhere(mask, a) (+0 where it is set); the one with them (AVX-512) has
// magnitudeNotBelow (true for NaN), zeroUnless(mask, a) and subtractWhere(mask, a, b), masked
// operations that cost no extra instruction. The four- and eight-lane
// types also have rowsTransposed(rows, out) (four floats from each of width rows, as four lanes:
// lane q of out[r] holds rows[q][r]) and transposeSquare (a width x width square of floats).
//
// Everything here is in an unnamed namespace: each file that includes it gets its own copy, so
// no code built for one instruction set is ever shared with a file built for another.

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
#if defined(__AVX__)
#include <immintrin.h>
#endif

namespace
{
#if defined(__SSE2__)
struct FloatLanes4
{
    static constexpr int width = 4;
    static constexpr bool hasMaskRegisters = false;
    __m128 v;

    struct Mask
    {
        __m128 m;
        Mask operator&(Mask o) const { return { _mm_and_ps(m, o.m) }; }
    };

    static FloatLanes4 load(const float* p) { return { _mm_loadu_ps(p) }; }
    static FloatLanes4 splat(float x) { return { _mm_set1_ps(x) }; }
    void store(float* p) const { _mm_storeu_ps(p, v); }

    static Mask magnitudeBelow(FloatLanes4 a, FloatLanes4 limit)
    {
        return { _mm_cmplt_ps(_mm_and_ps(a.v, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff))), limit.v) };
    }
    static Mask lessEqual(FloatLanes4 a, FloatLanes4 b) { return { _mm_cmple_ps(a.v, b.v) }; }
    static Mask greater(FloatLanes4 a, FloatLanes4 b) { return { _mm_cmpgt_ps(a.v, b.v) }; }
    static FloatLanes4 select(Mask m, FloatLanes4 a, FloatLanes4 b)
    {
        return { _mm_or_ps(_mm_and_ps(m.m, a.v), _mm_andnot_ps(m.m, b.v)) };
    }
    static FloatLanes4 zeroWhere(Mask m, FloatLanes4 a) { return { _mm_andnot_ps(m.m, a.v) }; }
    static FloatLanes4 shiftIn(FloatLanes4 a, FloatLanes4 before)
    {
        return { _mm_castsi128_ps(
            _mm_or_si128(_mm_slli_si128(_mm_castps_si128(a.v), 4), _mm_srli_si128(_mm_castps_si128(before.v), 12))) };
    }
    static FloatLanes4 laneNumbers() { return { _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f) }; }
    static float lane(FloatLanes4 a, int i)
    {
        alignas(16) float out[4];
        _mm_store_ps(out, a.v);
        return out[i];
    }
};

inline FloatLanes4 operator+(FloatLanes4 a, FloatLanes4 b) { return { _mm_add_ps(a.v, b.v) }; }
inline FloatLanes4 operator-(FloatLanes4 a, FloatLanes4 b) { return { _mm_sub_ps(a.v, b.v) }; }
inline FloatLanes4 operator*(FloatLanes4 a, FloatLanes4 b) { return { _mm_mul_ps(a.v, b.v) }; }
inline FloatLanes4 operator-(FloatLanes4 a) { return { _mm_xor_ps(a.v, _mm_set1_ps(-0.0f)) }; }

// Transposes four rows of four lanes: afterwards lane j of row i holds what lane i of row j held.
inline void transpose(FloatLanes4& r0, FloatLanes4& r1, FloatLanes4& r2, FloatLanes4& r3)
{
    _MM_TRANSPOSE4_PS(r0.v, r1.v, r2.v, r3.v);
}
#else
struct FloatLanes4
{
    static constexpr int width = 4;
    static constexpr bool hasMaskRegisters = false;
    float v[4];

    struct Mask
    {
        bool m[4];
        Mask operator&(Mask o) const { return { { m[0] && o.m[0], m[1] && o.m[1], m[2] && o.m[2], m[3] && o.m[3] } }; }
    };

    static FloatLanes4 load(const float* p) { return { { p[0], p[1], p[2], p[3] } }; }
    static FloatLanes4 splat(float x) { return { { x, x, x, x } }; }
    void store(float* p) const
    {
        for (int i = 0; i < 4; ++i)
            p[i] = v[i];
    }

    template <typename Compare>
    static Mask compare(FloatLanes4 a, FloatLanes4 b, Compare c)
    {
        return { { c(a.v[0], b.v[0]), c(a.v[1], b.v[1]), c(a.v[2], b.v[2]), c(a.v[3], b.v[3]) } };
    }
    static Mask magnitudeBelow(FloatLanes4 a, FloatLanes4 limit)
    {
        return compare(a, limit, [](float x, float l) { return (x < 0.0f ? -x : x) < l; });
    }
    static Mask lessEqual(FloatLanes4 a, FloatLanes4 b)
    {
        return compare(a, b, [](float x, float y) { return x <= y; });
    }
    static Mask greater(FloatLanes4 a, FloatLanes4 b)
    {
        return compare(a, b, [](float x, float y) { return x > y; });
    }
    static FloatLanes4 select(Mask m, FloatLanes4 a, FloatLanes4 b)
    {
        FloatLanes4 r{};
        for (int i = 0; i < 4; ++i)
            r.v[i] = m.m[i] ? a.v[i] : b.v[i];
        return r;
    }
    static FloatLanes4 zeroWhere(Mask m, FloatLanes4 a) { return select(m, splat(0.0f), a); }
    static FloatLanes4 shiftIn(FloatLanes4 a, FloatLanes4 before) { return { { before.v[3], a.v[0], a.v[1], a.v[2] } }; }
    static FloatLanes4 laneNumbers() { return { { 0.0f, 1.0f, 2.0f, 3.0f } }; }
    static float lane(FloatLanes4 a, int i) { return a.v[i]; }
};

inline FloatLanes4 operator+(FloatLanes4 a, FloatLanes4 b)
{
    return { { a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3] } };
}
inline FloatLanes4 operator-(FloatLanes4 a, FloatLanes4 b)
{
    return { { a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2], a.v[3] - b.v[3] } };
}
inline FloatLanes4 operator*(FloatLanes4 a, FloatLanes4 b)
{
    return { { a.v[0] * b.v[0], a.v[1] * b.v[1], a.v[2] * b.v[2], a.v[3] * b.v[3] } };
}
inline FloatLanes4 operator-(FloatLanes4 a) { return { { -a.v[0], -a.v[1], -a.v[2], -a.v[3] } }; }

// Transposes four rows of four lanes: afterwards lane j of row i holds what lane i of row j held.
inline void transpose(FloatLanes4& r0, FloatLanes4& r1, FloatLanes4& r2, FloatLanes4& r3)
{
    FloatLanes4* rows[4] = { &r0, &r1, &r2, &r3 };
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
        {
            const float t = rows[i]->v[j];
            rows[i]->v[j] = rows[j]->v[i];
            rows[j]->v[i] = t;
        }
}
#endif

inline void rowsTransposed(const float* const* rows, FloatLanes4 (&out)[4])
{
    for (int q = 0; q < 4; ++q)
        out[q] = FloatLanes4::load(rows[q]);
    transpose(out[0], out[1], out[2], out[3]);
}

// Transposes a square of width x width floats (rows at `from`, `fromStride` floats apart) into
// `to` (`toStride` apart): to[j][i] = from[i][j].
inline void transposeSquare(const float* from, long fromStride, float* to, long toStride, FloatLanes4)
{
    FloatLanes4 r[4];
    for (int i = 0; i < 4; ++i)
        r[i] = FloatLanes4::load(from + i * fromStride);
    transpose(r[0], r[1], r[2], r[3]);
    for (int i = 0; i < 4; ++i)
        r[i].store(to + i * toStride);
}

#if defined(__AVX__)
struct FloatLanes8
{
    static constexpr int width = 8;
    static constexpr bool hasMaskRegisters = false;
    __m256 v;

    struct Mask
    {
        __m256 m;
        Mask operator&(Mask o) const { return { _mm256_and_ps(m, o.m) }; }
    };

    static FloatLanes8 load(const float* p) { return { _mm256_loadu_ps(p) }; }
    static FloatLanes8 splat(float x) { return { _mm256_set1_ps(x) }; }
    void store(float* p) const { _mm256_storeu_ps(p, v); }

    static Mask magnitudeBelow(FloatLanes8 a, FloatLanes8 limit)
    {
        const __m256 magnitude = _mm256_and_ps(a.v, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
        return { _mm256_cmp_ps(magnitude, limit.v, _CMP_LT_OQ) };
    }
    static Mask lessEqual(FloatLanes8 a, FloatLanes8 b) { return { _mm256_cmp_ps(a.v, b.v, _CMP_LE_OQ) }; }
    static Mask greater(FloatLanes8 a, FloatLanes8 b) { return { _mm256_cmp_ps(a.v, b.v, _CMP_GT_OQ) }; }
    static FloatLanes8 select(Mask m, FloatLanes8 a, FloatLanes8 b) { return { _mm256_blendv_ps(b.v, a.v, m.m) }; }
    static FloatLanes8 zeroWhere(Mask m, FloatLanes8 a) { return { _mm256_andnot_ps(m.m, a.v) }; }
#if defined(__AVX2__)
    static FloatLanes8 shiftIn(FloatLanes8 a, FloatLanes8 before)
    {
        const __m256i rotateUp = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);  // lane j takes lane j - 1
        return { _mm256_blend_ps(_mm256_permutevar8x32_ps(a.v, rotateUp), _mm256_permutevar8x32_ps(before.v, rotateUp),
                                 0x01) };
    }
    static float lane(FloatLanes8 a, int i)
    {
        return _mm256_cvtss_f32(_mm256_permutevar8x32_ps(a.v, _mm256_set1_epi32(i)));
    }
#endif
    static FloatLanes8 laneNumbers() { return { _mm256_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f) }; }
};

inline FloatLanes8 operator+(FloatLanes8 a, FloatLanes8 b) { return { _mm256_add_ps(a.v, b.v) }; }
inline FloatLanes8 operator-(FloatLanes8 a, FloatLanes8 b) { return { _mm256_sub_ps(a.v, b.v) }; }
inline FloatLanes8 operator*(FloatLanes8 a, FloatLanes8 b) { return { _mm256_mul_ps(a.v, b.v) }; }
inline FloatLanes8 operator-(FloatLanes8 a) { return { _mm256_xor_ps(a.v, _mm256_set1_ps(-0.0f)) }; }

// Four floats of each of eight rows, as four lanes: rows q and q + 4 share a register, then each
// 128-bit half is transposed.
inline void rowsTransposed(const float* const* rows, FloatLanes8 (&out)[4])
{
    __m256 m[4];
    for (int q = 0; q < 4; ++q)
        m[q] = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(rows[q])), _mm_loadu_ps(rows[q + 4]), 1);
    const __m256 t0 = _mm256_unpacklo_ps(m[0], m[1]), t1 = _mm256_unpackhi_ps(m[0], m[1]);
    const __m256 t2 = _mm256_unpacklo_ps(m[2], m[3]), t3 = _mm256_unpackhi_ps(m[2], m[3]);
    out[0] = { _mm256_shuffle_ps(t0, t2, 0x44) };
    out[1] = { _mm256_shuffle_ps(t0, t2, 0xEE) };
    out[2] = { _mm256_shuffle_ps(t1, t3, 0x44) };
    out[3] = { _mm256_shuffle_ps(t1, t3, 0xEE) };
}

inline void transposeSquare(const float* from, long fromStride, float* to, long toStride, FloatLanes8)
{
    __m256 r[8];
    for (int i = 0; i < 8; ++i)
        r[i] = _mm256_loadu_ps(from + i * fromStride);
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    const __m256 out[8] = { _mm256_permute2f128_ps(u0, u4, 0x20), _mm256_permute2f128_ps(u1, u5, 0x20),
                            _mm256_permute2f128_ps(u2, u6, 0x20), _mm256_permute2f128_ps(u3, u7, 0x20),
                            _mm256_permute2f128_ps(u0, u4, 0x31), _mm256_permute2f128_ps(u1, u5, 0x31),
                            _mm256_permute2f128_ps(u2, u6, 0x31), _mm256_permute2f128_ps(u3, u7, 0x31) };
    for (int i = 0; i < 8; ++i)
        _mm256_storeu_ps(to + i * toStride, out[i]);
}
#endif

#if defined(__AVX512F__)
struct FloatLanes16
{
    static constexpr int width = 16;
    static constexpr bool hasMaskRegisters = true;
    __m512 v;

    struct Mask
    {
        __mmask16 m;
        Mask operator&(Mask o) const { return { static_cast<__mmask16>(m & o.m) }; }
    };

    static FloatLanes16 load(const float* p) { return { _mm512_loadu_ps(p) }; }
    static FloatLanes16 splat(float x) { return { _mm512_set1_ps(x) }; }
    void store(float* p) const { _mm512_storeu_ps(p, v); }

    // The lanes whose magnitude is not below the limit, NaN included.
    static Mask magnitudeNotBelow(FloatLanes16 a, FloatLanes16 limit)
    {
        const __m512 magnitude =
            _mm512_castsi512_ps(_mm512_and_epi32(_mm512_castps_si512(a.v), _mm512_set1_epi32(0x7fffffff)));
        return { _mm512_cmp_ps_mask(magnitude, limit.v, _CMP_NLT_UQ) };
    }
    static Mask lessEqual(FloatLanes16 a, FloatLanes16 b) { return { _mm512_cmp_ps_mask(a.v, b.v, _CMP_LE_OQ) }; }
    static Mask greater(FloatLanes16 a, FloatLanes16 b) { return { _mm512_cmp_ps_mask(a.v, b.v, _CMP_GT_OQ) }; }
    static FloatLanes16 select(Mask m, FloatLanes16 a, FloatLanes16 b) { return { _mm512_mask_mov_ps(b.v, m.m, a.v) }; }
    static FloatLanes16 zeroUnless(Mask m, FloatLanes16 a) { return { _mm512_maskz_mov_ps(m.m, a.v) }; }
    // a - b where the mask is set, a elsewhere, in one instruction.
    static FloatLanes16 subtractWhere(Mask m, FloatLanes16 a, FloatLanes16 b)
    {
        return { _mm512_mask_sub_ps(a.v, m.m, a.v, b.v) };
    }
    // The zero-masking forms with every lane kept: GCC 12's unmasked ones pass an uninitialised
    // vector to the builtin, which -Wmaybe-uninitialized reports.
    static FloatLanes16 shiftIn(FloatLanes16 a, FloatLanes16 before)
    {
        return { _mm512_castsi512_ps(
            _mm512_maskz_alignr_epi32(0xffff, _mm512_castps_si512(a.v), _mm512_castps_si512(before.v), 15)) };
    }
    static FloatLanes16 laneNumbers()
    {
        return { _mm512_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f, 11.0f, 12.0f, 13.0f,
                                14.0f, 15.0f) };
    }
    static float lane(FloatLanes16 a, int i)
    {
        return _mm512_cvtss_f32(_mm512_maskz_permutexvar_ps(0xffff, _mm512_set1_epi32(i), a.v));
    }
};

inline FloatLanes16 operator+(FloatLanes16 a, FloatLanes16 b) { return { _mm512_add_ps(a.v, b.v) }; }
inline FloatLanes16 operator-(FloatLanes16 a, FloatLanes16 b) { return { _mm512_sub_ps(a.v, b.v) }; }
inline FloatLanes16 operator*(FloatLanes16 a, FloatLanes16 b) { return { _mm512_mul_ps(a.v, b.v) }; }
inline FloatLanes16 operator-(FloatLanes16 a)
{
    return { _mm512_castsi512_ps(
        _mm512_xor_epi32(_mm512_castps_si512(a.v), _mm512_castps_si512(_mm512_set1_ps(-0.0f)))) };
}
#endif

template <typename L>
inline L operator*(float a, L b)
{
    return L::splat(a) * b;
}
template <typename L>
inline L& operator-=(L& a, L b)
{
    return a = a - b;
}
}  // namespace
