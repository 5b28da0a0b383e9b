#include "ComplexFft.h"

#include <cmath>

namespace
{
inline void swapPoints(float* a, int j1, int k1)
{
    const float xr = a[j1], xi = a[j1 + 1];
    const float yr = a[k1], yi = a[k1 + 1];
    a[j1] = yr;
    a[j1 + 1] = yi;
    a[k1] = xr;
    a[k1 + 1] = xi;
}

// Swaps two points and conjugates both.
inline void swapPointsConj(float* a, int j1, int k1)
{
    const float xr = a[j1], xi = -a[j1 + 1];
    const float yr = a[k1], yi = -a[k1 + 1];
    a[j1] = yr;
    a[j1 + 1] = yi;
    a[k1] = xr;
    a[k1 + 1] = xi;
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

// Bit reversal of the n / 2 points of a; with Conjugate, every imaginary part is negated as well
// (swapped points and fixed points alike).
template <bool Conjugate>
inline void swapFor(float* a, int j1, int k1)
{
    if constexpr (Conjugate)
        swapPointsConj(a, j1, k1);
    else
        swapPoints(a, j1, k1);
}

// Negates the imaginary part of a point that the permutation leaves in place (Conjugate only).
template <bool Conjugate>
inline void conjugateFixed([[maybe_unused]] float* a, [[maybe_unused]] int k1)
{
    if constexpr (Conjugate)
        a[k1 + 1] = -a[k1 + 1];
}

template <bool Conjugate>
void bitReverse(int n, int32_t* ip, float* a)
{
    const auto swap = [a](int j1, int k1) { swapFor<Conjugate>(a, j1, k1); };
    const auto conjugate = [a](int k1) { conjugateFixed<Conjugate>(a, k1); };

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
                swap(j1, k1);
                j1 += m2;
                k1 += 2 * m2;
                swap(j1, k1);
                j1 += m2;
                k1 -= m2;
                swap(j1, k1);
                j1 += m2;
                k1 += 2 * m2;
                swap(j1, k1);
            }
            const int fixed = 2 * k + ip[k];
            conjugate(fixed);
            const int j1 = fixed + m2;
            const int k1 = j1 + m2;
            swap(j1, k1);
            conjugate(k1 + m2);
        }
    }
    else
    {
        conjugate(0);
        conjugate(m2);
        for (int k = 1; k < m; ++k)
        {
            for (int j = 0; j < k; ++j)
            {
                int j1 = 2 * j + ip[k];
                int k1 = 2 * k + ip[j];
                swap(j1, k1);
                j1 += m2;
                k1 += m2;
                swap(j1, k1);
            }
            const int fixed = 2 * k + ip[k];
            conjugate(fixed);
            conjugate(fixed + m2);
        }
    }
}

// Radix-4 butterfly without twiddle factors at start j, span l.
inline void butterflyPlain(float* a, int j, int l)
{
    const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
    const float x0r = a[j] + a[j1];
    const float x0i = a[j + 1] + a[j1 + 1];
    const float x1r = a[j] - a[j1];
    const float x1i = a[j + 1] - a[j1 + 1];
    const float x2r = a[j2] + a[j3];
    const float x2i = a[j2 + 1] + a[j3 + 1];
    const float x3r = a[j2] - a[j3];
    const float x3i = a[j2 + 1] - a[j3 + 1];
    a[j] = x0r + x2r;
    a[j + 1] = x0i + x2i;
    a[j2] = x0r - x2r;
    a[j2 + 1] = x0i - x2i;
    a[j1] = x1r - x3i;
    a[j1 + 1] = x1i + x3r;
    a[j3] = x1r + x3i;
    a[j3 + 1] = x1i - x3r;
}

// Last stage of the inverse: the plain butterfly with every output conjugated.
inline void butterflyPlainConj(float* a, int j, int l)
{
    const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
    const float x0r = a[j] + a[j1];
    const float x0i = a[j + 1] + a[j1 + 1];
    const float x1r = a[j] - a[j1];
    const float x1i = a[j + 1] - a[j1 + 1];
    const float x2r = a[j2] + a[j3];
    const float x2i = a[j2 + 1] + a[j3 + 1];
    const float x3r = a[j2] - a[j3];
    const float x3i = a[j2 + 1] - a[j3 + 1];
    a[j] = x0r + x2r;
    a[j + 1] = -(x0i + x2i);
    a[j2] = x0r - x2r;
    a[j2 + 1] = -(x0i - x2i);
    a[j1] = x1r - x3i;
    a[j1 + 1] = -(x1i + x3r);
    a[j3] = x1r + x3i;
    a[j3 + 1] = -(x1i - x3r);
}

// The butterflies of every stage before the last, on bit-reversed data.
void stagesBeforeLast(int n, float* a, const float* w, int& l)
{
    l = 2;
    if (n > 8)
    {
        complexFftFirstStage(n, a, w);
        l = 8;
        while ((l << 2) < n)
        {
            complexFftMiddleStage(n, l, a, w);
            l <<= 2;
        }
    }
}
}  // namespace

void complexFftMakeTwiddles(int nw, int32_t* ip, float* w)
{
    ip[0] = nw;
    ip[1] = 1;
    if (nw > 2)
    {
        const int nwh = nw >> 1;
        const float delta = 0.785398185f / static_cast<float>(nwh);
        w[0] = 1.0f;
        w[1] = 0.0f;
        w[nwh] = std::cos(static_cast<float>(nwh) * delta);
        w[nwh + 1] = w[nwh];
        if (nwh > 2)
        {
            for (int j = 2; j < nwh; j += 2)
            {
                const float angle = static_cast<float>(j) * delta;
                const float x = std::cos(angle);
                const float y = std::sin(angle);
                w[j] = x;
                w[j + 1] = y;
                w[nw - j] = y;
                w[nw - j + 1] = x;
            }
            complexFftBitReverse(nw, ip + 2, w);
        }
    }
}

void complexFftBitReverse(int n, int32_t* ipScratch, float* a)
{
    bitReverse<false>(n, ipScratch, a);
}

void complexFftFirstStage(int n, float* a, const float* w)
{
    complexFftMiddleStage(n, 2, a, w);
}

void complexFftMiddleStage(int n, int l, float* a, const float* w)
{
    const int m = l << 2;

    // Group 0: no twiddle factors.
    for (int j = 0; j < l; j += 2)
        butterflyPlain(a, j, l);

    // Group m: twiddles (r + ir), i and (-r + ir) with r = cos(pi/4).
    const float r = w[2];
    for (int j = m; j < l + m; j += 2)
    {
        const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
        const float x0r = a[j] + a[j1];
        const float x0i = a[j + 1] + a[j1 + 1];
        const float x1r = a[j] - a[j1];
        const float x1i = a[j + 1] - a[j1 + 1];
        const float x2r = a[j2] + a[j3];
        const float x2i = a[j2 + 1] + a[j3 + 1];
        const float x3r = a[j2] - a[j3];
        const float x3i = a[j2 + 1] - a[j3 + 1];
        a[j] = x0r + x2r;
        a[j + 1] = x0i + x2i;
        a[j2] = x2i - x0i;
        a[j2 + 1] = x0r - x2r;
        const float u1r = x1r - x3i;
        const float u1i = x1i + x3r;
        a[j1] = r * (u1r - u1i);
        a[j1 + 1] = r * (u1r + u1i);
        const float u3r = x3i + x1r;
        const float nu3i = x3r - x1i;
        a[j3] = r * (nu3i - u3r);
        a[j3 + 1] = r * (nu3i + u3r);
    }

    // Remaining groups in pairs.
    int k1 = 0;
    const int m2 = 2 * m;
    for (int k = m2; k < n; k += m2)
    {
        k1 += 2;
        const int k2 = 2 * k1;
        const float wk2r = w[k1];
        const float wk2i = w[k1 + 1];
        float wk1r = w[k2];
        float wk1i = w[k2 + 1];
        float wk3r = wk1r - 2.0f * wk2i * wk1i;
        float wk3i = 2.0f * wk2i * wk1r - wk1i;
        for (int j = k; j < l + k; j += 2)
        {
            const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
            float x0r = a[j] + a[j1];
            float x0i = a[j + 1] + a[j1 + 1];
            const float x1r = a[j] - a[j1];
            const float x1i = a[j + 1] - a[j1 + 1];
            const float x2r = a[j2] + a[j3];
            const float x2i = a[j2 + 1] + a[j3 + 1];
            const float x3r = a[j2] - a[j3];
            const float x3i = a[j2 + 1] - a[j3 + 1];
            a[j] = x0r + x2r;
            a[j + 1] = x0i + x2i;
            x0r -= x2r;
            x0i -= x2i;
            a[j2] = wk2r * x0r - wk2i * x0i;
            a[j2 + 1] = wk2r * x0i + wk2i * x0r;
            x0r = x1r - x3i;
            x0i = x1i + x3r;
            a[j1] = wk1r * x0r - wk1i * x0i;
            a[j1 + 1] = wk1r * x0i + wk1i * x0r;
            x0r = x1r + x3i;
            x0i = x1i - x3r;
            a[j3] = wk3r * x0r - wk3i * x0i;
            a[j3 + 1] = wk3r * x0i + wk3i * x0r;
        }
        wk1r = w[k2 + 2];
        wk1i = w[k2 + 3];
        wk3r = wk1r - 2.0f * wk2r * wk1i;
        wk3i = 2.0f * wk2r * wk1r - wk1i;
        for (int j = k + m; j < l + (k + m); j += 2)
        {
            const int j1 = j + l, j2 = j1 + l, j3 = j2 + l;
            float x0r = a[j] + a[j1];
            float x0i = a[j + 1] + a[j1 + 1];
            const float x1r = a[j] - a[j1];
            const float x1i = a[j + 1] - a[j1 + 1];
            const float x2r = a[j2] + a[j3];
            const float x2i = a[j2 + 1] + a[j3 + 1];
            const float x3r = a[j2] - a[j3];
            const float x3i = a[j2 + 1] - a[j3 + 1];
            a[j] = x0r + x2r;
            a[j + 1] = x0i + x2i;
            x0r -= x2r;
            x0i -= x2i;
            a[j2] = -wk2i * x0r - wk2r * x0i;
            a[j2 + 1] = -wk2i * x0i + wk2r * x0r;
            x0r = x1r - x3i;
            x0i = x1i + x3r;
            a[j1] = wk1r * x0r - wk1i * x0i;
            a[j1 + 1] = wk1r * x0i + wk1i * x0r;
            x0r = x1r + x3i;
            x0i = x1i - x3r;
            a[j3] = wk3r * x0r - wk3i * x0i;
            a[j3 + 1] = wk3r * x0i + wk3i * x0r;
        }
    }
}

void complexFftForward(int n, float* a, const float* w)
{
    int l = 2;
    stagesBeforeLast(n, a, w, l);
    if ((l << 2) == n)
    {
        for (int j = 0; j < l; j += 2)
            butterflyPlain(a, j, l);
    }
    else
    {
        for (int j = 0; j < l; j += 2)
        {
            const int j1 = j + l;
            const float x0r = a[j] - a[j1];
            const float x0i = a[j + 1] - a[j1 + 1];
            a[j] = a[j] + a[j1];
            a[j + 1] = a[j + 1] + a[j1 + 1];
            a[j1] = x0r;
            a[j1 + 1] = x0i;
        }
    }
}

void complexFftInverse(int n, float* a, int32_t* ip, const float* w)
{
    bitReverse<true>(n, ip + 2, a);
    int l = 2;
    stagesBeforeLast(n, a, w, l);
    if ((l << 2) == n)
    {
        for (int j = 0; j < l; j += 2)
            butterflyPlainConj(a, j, l);
    }
    else
    {
        for (int j = 0; j < l; j += 2)
        {
            const int j1 = j + l;
            const float x0r = a[j] - a[j1];
            const float x0i = a[j + 1] - a[j1 + 1];
            a[j] = a[j] + a[j1];
            a[j + 1] = -(a[j + 1] + a[j1 + 1]);
            a[j1] = x0r;
            a[j1 + 1] = -x0i;
        }
    }
}
