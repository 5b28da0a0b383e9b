#pragma once
// The FFT's stages, written once as templates over the element type: `float` for one transform,
// or a lane type (static load, store and width; +, -, x and unary minus per lane, and float x
// lanes) for several transforms side by side. Each lane performs exactly the scalar operation
// sequence, so every instance gives the same bits per transform.
//
// Included by the plain FFT (ComplexFft.cpp) and the lane-form sources (dsp/forms/), each built
// for its own instruction set. Everything here is in an unnamed namespace: each of those files
// gets its own copy, and no function is shared between code built for different instruction sets
// (nor is any of the standard library's inline code used here).

#include <cstdint>
#include <type_traits>

// The butterflies are forced inline: a call per butterfly would pass the lanes through memory.
namespace
{
// Access to the point whose real part is float index i (even) of the interleaved data, its
// imaginary part at i + 1: one transform (T = float), or T::width transforms side by side in
// lanes (float i of transform q at [width x i + q]).
template <typename T>
struct Points
{
    using Value = T;
    static constexpr int step = 2;  // float index step from one butterfly to the next
    float* a;
    T re(int i) const { return T::load(a + T::width * i); }
    T im(int i) const { return T::load(a + T::width * (i + 1)); }
    void setRe(int i, T x) const { x.store(a + T::width * i); }
    void setIm(int i, T x) const { x.store(a + T::width * (i + 1)); }
};

// One transform in split layout, the real parts of its N points in a[0, N) and the imaginary
// parts in a[N, 2N); point i / 2 for the interleaved float index i. With a lane type T, each
// access covers T::width neighbouring points, so that neighbouring butterflies (which a stage's
// group runs with the same twiddle factors) run side by side in the lanes.
template <typename T>
struct SplitPoints
{
    using Value = T;
    static constexpr int step = 2 * T::width;
    float* a;
    int N;
    T re(int i) const { return T::load(a + (i >> 1)); }
    T im(int i) const { return T::load(a + N + (i >> 1)); }
    void setRe(int i, T x) const { x.store(a + (i >> 1)); }
    void setIm(int i, T x) const { x.store(a + N + (i >> 1)); }
};

template <>
struct SplitPoints<float>
{
    using Value = float;
    static constexpr int step = 2;
    float* a;
    int N;
    float re(int i) const { return a[i >> 1]; }
    float im(int i) const { return a[N + (i >> 1)]; }
    void setRe(int i, float x) const { a[i >> 1] = x; }
    void setIm(int i, float x) const { a[N + (i >> 1)] = x; }
};

template <>
struct Points<float>
{
    using Value = float;
    static constexpr int step = 2;
    float* a;
    float re(int i) const { return a[i]; }
    float im(int i) const { return a[i + 1]; }
    void setRe(int i, float x) const { a[i] = x; }
    void setIm(int i, float x) const { a[i + 1] = x; }
};

// Swaps two points; with Conjugate, negates both imaginary parts as well.
template <bool Conjugate, typename P>
inline void swapPoints(P d, int j1, int k1)
{
    using T = typename P::Value;
    const T xr = d.re(j1), yr = d.re(k1);
    T xi = d.im(j1), yi = d.im(k1);
    if constexpr (Conjugate)
    {
        xi = -xi;
        yi = -yi;
    }
    d.setRe(j1, yr);
    d.setIm(j1, yi);
    d.setRe(k1, xr);
    d.setIm(k1, xi);
}

// Negates the imaginary part of a point that the permutation leaves in place (Conjugate only).
template <bool Conjugate, typename P>
inline void conjugateFixed([[maybe_unused]] P d, [[maybe_unused]] int k1)
{
    if constexpr (Conjugate)
        d.setIm(k1, -d.im(k1));
}

// Builds the bit-reversal index table in ip; returns m and sets l.
inline int buildBitReversalTable(int n, int32_t* ip, int& l)
{
    ip[0] = 0;
    l = n;
    int m = 1;
    while ((m << 3) < l)
    {
        l >>= 1;
        for (int j = 0; j < m; ++j)
            ip[m + j] = ip[j] + l;
        m <<= 1;
    }
    return m;
}

// Bit reversal of the n / 2 points; with Conjugate, every imaginary part is negated as well
// (swapped points and fixed points alike).
template <bool Conjugate, typename P>
void bitReverse(int n, int32_t* ip, P d)
{
    int l = 0;
    const int m = buildBitReversalTable(n, ip, l);
    const int m2 = 2 * m;
    if ((m << 3) == l)
    {
        for (int k = 0; k < m; ++k)
        {
            for (int j = 0; j < k; ++j)
            {
                int j1 = 2 * j + ip[k];
                int k1 = 2 * k + ip[j];
                swapPoints<Conjugate>(d, j1, k1);
                j1 += m2;
                k1 += 2 * m2;
                swapPoints<Conjugate>(d, j1, k1);
                j1 += m2;
                k1 -= m2;
                swapPoints<Conjugate>(d, j1, k1);
                j1 += m2;
                k1 += 2 * m2;
                swapPoints<Conjugate>(d, j1, k1);
            }
            const int fixed = 2 * k + ip[k];
            conjugateFixed<Conjugate>(d, fixed);
            const int j1 = fixed + m2;
            const int k1 = j1 + m2;
            swapPoints<Conjugate>(d, j1, k1);
            conjugateFixed<Conjugate>(d, k1 + m2);
        }
    }
    else
    {
        conjugateFixed<Conjugate>(d, 0);
        conjugateFixed<Conjugate>(d, m2);
        for (int k = 1; k < m; ++k)
        {
            for (int j = 0; j < k; ++j)
            {
                int j1 = 2 * j + ip[k];
                int k1 = 2 * k + ip[j];
                swapPoints<Conjugate>(d, j1, k1);
                j1 += m2;
                k1 += m2;
                swapPoints<Conjugate>(d, j1, k1);
            }
            const int fixed = 2 * k + ip[k];
            conjugateFixed<Conjugate>(d, fixed);
            conjugateFixed<Conjugate>(d, fixed + m2);
        }
    }
}

// The sums and differences a radix-4 butterfly at start j, span l begins with: points j and
// j + l (x0 = sum, x1 = difference), points j + 2l and j + 3l (x2, x3).
template <typename T>
struct ButterflyInputs
{
    T x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i;
};

template <typename P>
[[gnu::always_inline]] inline ButterflyInputs<typename P::Value> butterflyInputs(P d, int j, int l)
{
    const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
    return { d.re(j) + d.re(j1),  d.im(j) + d.im(j1),  d.re(j) - d.re(j1),  d.im(j) - d.im(j1),
             d.re(j2) + d.re(j3), d.im(j2) + d.im(j3), d.re(j2) - d.re(j3), d.im(j2) - d.im(j3) };
}

// Radix-4 butterfly without twiddle factors at start j, span l; with Conjugate (the inverse's
// last stage) every output is conjugated.
template <bool Conjugate, typename P>
[[gnu::always_inline]] inline void butterflyPlain(P d, int j, int l)
{
    using T = typename P::Value;
    const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
    const auto [x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i] = butterflyInputs(d, j, l);
    const auto im = [](T v) {
        if constexpr (Conjugate)
            return -v;
        else
            return v;
    };
    d.setRe(j, x0r + x2r);
    d.setIm(j, im(x0i + x2i));
    d.setRe(j2, x0r - x2r);
    d.setIm(j2, im(x0i - x2i));
    d.setRe(j1, x1r - x3i);
    d.setIm(j1, im(x1i + x3r));
    d.setRe(j3, x1r + x3i);
    d.setIm(j3, im(x1i - x3r));
}

// Radix-2 butterflies of the last stage for odd powers of two; with Conjugate every output is
// conjugated.
template <bool Conjugate, typename P>
inline void lastStageRadix2(P d, int l)
{
    using T = typename P::Value;
    for (int j = 0; j < l; j += P::step)
    {
        const int j1 = j + l;
        const T x0r = d.re(j) - d.re(j1);
        const T x0i = d.im(j) - d.im(j1);
        const T sumR = d.re(j) + d.re(j1);
        const T sumI = d.im(j) + d.im(j1);
        d.setRe(j, sumR);
        if constexpr (Conjugate)
        {
            d.setIm(j, -sumI);
            d.setRe(j1, x0r);
            d.setIm(j1, -x0i);
        }
        else
        {
            d.setIm(j, sumI);
            d.setRe(j1, x0r);
            d.setIm(j1, x0i);
        }
    }
}

// The twiddle factors of one group of a stage's pair loop: the k-th step's pair 0 or 1, where
// k1 = 2k; the second of each pair multiplies its middle output by i x wk2 = (-wk2i, wk2r).
struct GroupTwiddles
{
    float wk1r, wk1i, wk2r, wk2i, wk3r, wk3i;
};

[[gnu::always_inline]] inline GroupTwiddles groupTwiddles(const float* w, int k1, int pair)
{
    const int k2 = 2 * k1;
    const float wk2r = w[k1];
    const float wk2i = w[k1 + 1];
    const float wk1r = w[k2 + 2 * pair];
    const float wk1i = w[k2 + 2 * pair + 1];
    const float wk2rEff = pair == 0 ? wk2r : -wk2i;
    const float wk2iEff = pair == 0 ? wk2i : wk2r;
    // wk3 from wk1 and wk2's imaginary part in the first group, its real part in the second:
    // 2 x wk2iEff.
    const float wk3r = wk1r - 2.0f * wk2iEff * wk1i;
    const float wk3i = 2.0f * wk2iEff * wk1r - wk1i;
    return { wk1r, wk1i, wk2rEff, wk2iEff, wk3r, wk3i };
}

// The radix-4 butterfly of a group with twiddle factors, at start j, span l. The factors are
// floats (one group) or lanes of floats (one group per lane).
template <typename P, typename Tw>
[[gnu::always_inline]] inline void twiddledButterfly(P d, int j, int l, Tw wk1r, Tw wk1i, Tw wk2r, Tw wk2i, Tw wk3r,
                                                     Tw wk3i)
{
    using T = typename P::Value;
    const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
    const auto [sum0r, sum0i, x1r, x1i, x2r, x2i, x3r, x3i] = butterflyInputs(d, j, l);
    T x0r = sum0r, x0i = sum0i;
    d.setRe(j, x0r + x2r);
    d.setIm(j, x0i + x2i);
    x0r -= x2r;
    x0i -= x2i;
    d.setRe(j2, wk2r * x0r - wk2i * x0i);
    d.setIm(j2, wk2r * x0i + wk2i * x0r);
    x0r = x1r - x3i;
    x0i = x1i + x3r;
    d.setRe(j1, wk1r * x0r - wk1i * x0i);
    d.setIm(j1, wk1r * x0i + wk1i * x0r);
    x0r = x1r + x3i;
    x0i = x1i - x3r;
    d.setRe(j3, wk3r * x0r - wk3i * x0i);
    d.setIm(j3, wk3r * x0i + wk3i * x0r);
}

// A radix-4 stage with span l: group 0 without twiddle factors, group m = 4l with (r + ir), i
// and (-r + ir), then the groups with general twiddle factors in pairs, steps k of 2m floats.
template <typename P>
void middleStageFirstGroups(int l, P d, const float* w)
{
    using T = typename P::Value;
    const int m = l << 2;

    // Group 0: no twiddle factors.
    for (int j = 0; j < l; j += P::step)
        butterflyPlain<false>(d, j, l);

    // Group m: twiddles (r + ir), i and (-r + ir) with r = cos(pi/4).
    const float r = w[2];
    for (int j = m; j < l + m; j += P::step)
    {
        const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
        const auto [x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i] = butterflyInputs(d, j, l);
        d.setRe(j, x0r + x2r);
        d.setIm(j, x0i + x2i);
        d.setRe(j2, x2i - x0i);
        d.setIm(j2, x0r - x2r);
        const T u1r = x1r - x3i;
        const T u1i = x1i + x3r;
        d.setRe(j1, r * (u1r - u1i));
        d.setIm(j1, r * (u1r + u1i));
        const T u3r = x3i + x1r;
        const T nu3i = x3r - x1i;
        d.setRe(j3, r * (nu3i - u3r));
        d.setIm(j3, r * (nu3i + u3r));
    }
}

// The pair loop's steps k in [kFrom, kTo) (multiples of 2m, from 2m on).
template <typename P>
void middleStagePairs(int l, int kFrom, int kTo, P d, const float* w)
{
    const int m2 = 8 * l;
    for (int k = kFrom; k < kTo; k += m2)
        for (int pair = 0; pair < 2; ++pair)
        {
            const GroupTwiddles t = groupTwiddles(w, 2 * (k / m2), pair);
            const int start = k + pair * 4 * l;
            for (int j = start; j < l + start; j += P::step)
                twiddledButterfly(d, j, l, t.wk1r, t.wk1i, t.wk2r, t.wk2i, t.wk3r, t.wk3i);
        }
}

template <typename P>
void middleStage(int n, int l, P d, const float* w)
{
    middleStageFirstGroups(l, d, w);
    middleStagePairs(l, 8 * l, n, d, w);
}

// The first stage (span 2) of a split-layout transform of n / 2 >= 16 points, with four groups
// side by side from group 4 on: each group's four points are neighbours, so four groups' points,
// transposed, give each point of the four groups across the lanes (T: four lanes, with
// transpose and lane-by-lane multiplication). Groups 0 to 3 run one at a time.
template <typename T>
void firstStageSplit(int n, float* a, const float* w)
{
    const int N = n / 2;
    const SplitPoints<float> one{ a, N };
    middleStageFirstGroups(2, one, w);
    middleStagePairs(2, 16, 32, one, w);
    for (int k = 32; k < n; k += 32)
    {
        // Lane q: step k + 16 (q / 2), pair q % 2, points k / 2 + 4q to k / 2 + 4q + 3.
        alignas(16) float twiddles[6][4];
        for (int q = 0; q < 4; ++q)
        {
            const GroupTwiddles t = groupTwiddles(w, 2 * ((k + 16 * (q / 2)) / 16), q % 2);
            const float values[6] = { t.wk1r, t.wk1i, t.wk2r, t.wk2i, t.wk3r, t.wk3i };
            for (int f = 0; f < 6; ++f)
                twiddles[f][q] = values[f];
        }
        T re[4], im[4];
        for (int q = 0; q < 4; ++q)
        {
            re[q] = T::load(a + k / 2 + 4 * q);
            im[q] = T::load(a + N + k / 2 + 4 * q);
        }
        transpose(re[0], re[1], re[2], re[3]);
        transpose(im[0], im[1], im[2], im[3]);
        alignas(16) float group[32];
        const Points<T> d{ group };
        for (int p = 0; p < 4; ++p)
        {
            d.setRe(2 * p, re[p]);
            d.setIm(2 * p, im[p]);
        }
        twiddledButterfly(d, 0, 2, T::load(twiddles[0]), T::load(twiddles[1]), T::load(twiddles[2]),
                          T::load(twiddles[3]), T::load(twiddles[4]), T::load(twiddles[5]));
        for (int p = 0; p < 4; ++p)
        {
            re[p] = d.re(2 * p);
            im[p] = d.im(2 * p);
        }
        transpose(re[0], re[1], re[2], re[3]);
        transpose(im[0], im[1], im[2], im[3]);
        for (int q = 0; q < 4; ++q)
        {
            re[q].store(a + k / 2 + 4 * q);
            im[q].store(a + N + k / 2 + 4 * q);
        }
    }
}

// The stages of a transform after the bit reversal, numbered from 0: for n > 8, stage 0 is the
// first radix-4 stage (span 2) and the stages after it the middle ones (spans 8, 32, ...); the
// last stage has no twiddle factors (radix-4, or radix-2 for odd powers of two) and, with
// Conjugate (the inverse), conjugates its outputs.
inline int stageCount(int n)
{
    if (n <= 8)
        return 1;
    int count = 2;
    for (int l = 8; (l << 2) < n; l <<= 2)
        ++count;
    return count;
}

// The span l (in floats) of a stage: 2 for the first, then four times the one before.
inline int stageSpan(int stage) { return stage == 0 ? 2 : 8 << (2 * (stage - 1)); }

template <bool Conjugate, typename P>
void runStage(int n, int stage, P d, const float* w)
{
    const int count = stageCount(n);
    if (stage == 0 && count > 1)
    {
        middleStage(n, 2, d, w);  // the span as a constant: the compiler specialises this stage
        return;
    }
    if (stage < count - 1)
    {
        middleStage(n, stageSpan(stage), d, w);
        return;
    }
    const int l = n > 8 ? stageSpan(count - 1) : 2;
    if ((l << 2) == n)
    {
        for (int j = 0; j < l; j += P::step)
            butterflyPlain<Conjugate>(d, j, l);
    }
    else
    {
        lastStageRadix2<Conjugate>(d, l);
    }
}

template <bool Conjugate, typename P>
void runStages(int n, int first, int end, P d, const float* w)
{
    for (int stage = first; stage < end; ++stage)
        runStage<Conjugate>(n, stage, d, w);
}

template <bool Conjugate, typename P>
void stages(int n, P d, const float* w)
{
    runStages<Conjugate>(n, 0, stageCount(n), d, w);
}

// A transform as pieces [first, end): piece 0 the bit reversal (scratch from ip + 2), piece
// 1 + s stage s; with Conjugate the inverse.
template <bool Conjugate, typename P>
void transformPieces(int n, int first, int end, P d, int32_t* ip, const float* w)
{
    if (first == 0 && end > 0)
        bitReverse<Conjugate>(n, ip + 2, d);
    runStages<Conjugate>(n, first > 0 ? first - 1 : 0, end - 1, d, w);
}

// A transform of one sequence in split layout as pieces [first, end), numbered as above; each
// stage whose groups hold at least Wide::width points runs that many butterflies side by side,
// one whose groups hold at least Narrow::width points that many (float: one at a time). The
// values are those of the interleaved transform, bit for bit.
template <bool Conjugate, typename Wide, typename Narrow>
void splitTransformPieces(int n, int first, int end, float* a, int32_t* ip, const float* w)
{
    const SplitPoints<float> one{ a, n / 2 };
    if (first == 0 && end > 0)
        bitReverse<Conjugate>(n, ip + 2, one);
    const int count = stageCount(n);
    for (int stage = first > 0 ? first - 1 : 0; stage < end - 1; ++stage)
    {
        const int points = (stage < count - 1 ? stageSpan(stage) : n > 8 ? stageSpan(count - 1) : 2) / 2;
        if constexpr (!std::is_same_v<Narrow, float>)
            if (stage == 0 && count > 1 && n >= 32)
            {
                firstStageSplit<Narrow>(n, a, w);
                continue;
            }
        if constexpr (!std::is_same_v<Wide, float>)
            if (points >= Wide::width)
            {
                runStage<Conjugate>(n, stage, SplitPoints<Wide>{ a, n / 2 }, w);
                continue;
            }
        if constexpr (!std::is_same_v<Narrow, float>)
            if (points >= Narrow::width)
            {
                runStage<Conjugate>(n, stage, SplitPoints<Narrow>{ a, n / 2 }, w);
                continue;
            }
        runStage<Conjugate>(n, stage, one, w);
    }
}
}  // namespace
