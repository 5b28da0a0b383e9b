#pragma once
// The reverb engine's lane loops, written once over a lane type L (FloatLanes.h) of W lanes: the
// partition products of a batch, the extraction of its real parts and the accumulator's
// additions and quantisation. Each lane does the scalar operations in the scalar order.
// Included only by the lane-form sources (dsp/forms/), each built for its own instruction set;
// everything here is in an unnamed namespace, so each of them gets its own copy.

#include <cstdint>

#include "FloatLanes.h"

namespace
{
// The products of W spectra (spectra[q], E interleaved complex points each) with the spectrum
// whose real parts are xRe[0, E) and imaginary parts xIm[0, E), side by side in W lanes: for each
// point k, lanes[2W k + q] = sr x xr - si x xi and lanes[2W k + W + q] = xi x sr + xr x si. Two
// points of each spectrum, (re, im, re, im), transposed across the lanes. E is even.
template <typename L>
void formLaneProducts(float* lanes, const float* const* spectra, const float* xRe, const float* xIm, int32_t E)
{
    constexpr int W = L::width;
    for (int32_t k = 0; k < E; k += 2)
    {
        const int32_t at = 2 * k;
        const float* rows[W];
        for (int q = 0; q < W; ++q)
            rows[q] = spectra[q] + at;
        L parts[4];  // re and im of point k, then of point k + 1
        rowsTransposed(rows, parts);
        for (int32_t bin = 0; bin < 2; ++bin)
        {
            const int32_t re = at + 2 * bin;
            const L xr = L::splat(xRe[k + bin]), xi = L::splat(xIm[k + bin]);
            const L sr = parts[2 * bin], si = parts[2 * bin + 1];
            (sr * xr - si * xi).store(lanes + W * re);
            (xi * sr + xr * si).store(lanes + W * (re + 1));
        }
    }
}

// The real parts of W transforms in lanes (float i of lane q at lanes[W i + q], E points each),
// moved into one run of E values per lane at lanes + W E + q E. First in place and downwards,
// point k's W real parts from [2W k] to [W k] (k ascending never overwrites a point still to be
// moved); then squares of points and lanes, transposed into the upper half, which the first pass
// has left free (four by four where E is shorter than W).
template <typename L>
void extractLaneRuns(float* lanes, int32_t E)
{
    constexpr int W = L::width;
    for (int32_t k = 1; k < E; ++k)
        L::load(lanes + 2 * W * k).store(lanes + W * k);
    float* const runs = lanes + static_cast<int64_t>(W) * E;
    if (E % W == 0)
    {
        for (int32_t k = 0; k < E; k += W)
            transposeSquare(lanes + W * k, W, runs + k, E, L{});
        return;
    }
    for (int32_t group = 0; group < W; group += 4)
        for (int32_t k = 0; k < E; k += 4)
            transposeSquare(lanes + W * k + group, W, runs + static_cast<int64_t>(group) * E + k, E, FloatLanes4{});
}

// acc[k] = acc[k] + run[k] x scale for k < count.
template <typename L>
void addScaledRun(float* acc, const float* run, float scale, int32_t count)
{
    const L g = L::splat(scale);
    int32_t k = 0;
    for (; k + L::width <= count; k += L::width)
        (L::load(acc + k) + L::load(run + k) * g).store(acc + k);
    for (; k < count; ++k)
        acc[k] = acc[k] + run[k] * scale;
}

// acc[i] = (acc[i] + 1) - 1 for from <= i < to: the quantisation of recursive states.
template <typename L>
void quantiseRun(float* acc, int32_t from, int32_t to)
{
    const L one = L::splat(1.0f);
    int32_t i = from;
    for (; i + L::width <= to; i += L::width)
        ((L::load(acc + i) + one) - one).store(acc + i);
    for (; i < to; ++i)
    {
        const float shifted = acc[i] + 1.0f;
        acc[i] = shifted - 1.0f;
    }
}
}  // namespace
