#pragma once
// The cascade's lane form, written once over a lane type L (FloatLanes.h): all planned sections
// as one wavefront with one section per lane. Included only by the lane-form sources
// (dsp/forms/), each built for its own instruction set; everything here is in an unnamed
// namespace, so each of them gets its own copy.

#include <utility>

#include "BiquadSectionPlan.h"
#include "FloatLanes.h"
#include "StageWavefront.h"

namespace
{
// Lane j of vector v runs section W v + j (W = L::width), which at step t takes sample
// t - (W v + j) from the lane before it (finished at step t - 1). Each lane performs the scalar
// section's operations in the scalar order, then the gain multiplication; the flush |y| < 1e-10,
// compared in double, is the same as |y| < 1.00000001e-10f (the float nearest 1e-10 lies above
// it, so no float falls between), NaN included. Lanes past the last section have zero
// coefficients and are never read. A vector whose lanes all have the gain 1 skips the
// multiplication (it would return every value unchanged). V vectors hold up to W V sections.
template <typename L, int V>
void runCascadeLanes(const BiquadSectionPlan& plan, float* x, int count)
{
    constexpr int W = L::width;
    const int S = plan.count;
    alignas(64) float coef[6][W * V] = {};
    alignas(64) float z[2][W * V] = {};
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
    L b0[V], b1[V], b2[V], a1[V], a2[V], gain[V], z1[V], z2[V], out[V], section[V];
    bool scaled[V];  // whether any lane of the vector has a gain other than 1
    for (int v = 0; v < V; ++v)
    {
        scaled[v] = false;
        for (int j = 0; j < W; ++j)
            scaled[v] = scaled[v] || !(coef[5][W * v + j] == 1.0f);
        b0[v] = L::load(coef[0] + W * v);
        b1[v] = L::load(coef[1] + W * v);
        b2[v] = L::load(coef[2] + W * v);
        a1[v] = L::load(coef[3] + W * v);
        a2[v] = L::load(coef[4] + W * v);
        gain[v] = L::load(coef[5] + W * v);
        z1[v] = L::load(z[0] + W * v);
        z2[v] = L::load(z[1] + W * v);
        out[v] = L::splat(0.0f);
        section[v] = L::splat(static_cast<float>(W * v)) + L::laneNumbers();  // small integers: exact
    }
    const L one = L::splat(1.0f);
    const L threshold = L::splat(1.00000001e-10f);
    const int lastLane = (S - 1) % W;
    const int lastVector = (S - 1) / W;

    // One step; in guarded steps the lanes whose section has no sample keep their state.
    runStagesAsWavefront(S, count, [&](int t, auto guarded) {
        const L sample = L::splat(x[t < count ? t : 0]);
        const L now = L::splat(static_cast<float>(t)), firstGone = L::splat(static_cast<float>(t - count));
        for (int v = V - 1; v >= 0; --v)
        {
            const L in = L::shiftIn(out[v], v == 0 ? sample : out[v - 1]);
            const L y = b0[v] * in + z1[v];
            const L flushed = L::zeroWhere(L::magnitudeBelow(y, threshold), y);
            const L s1 = ((b1[v] * in) + z2[v]) - (a1[v] * flushed);
            const L s2 = (b2[v] * in) - (a2[v] * flushed);
            const L q1 = (s1 + one) - one;
            const L q2 = (s2 + one) - one;
            if constexpr (decltype(guarded)::value)
            {
                // Sections with a sample at this step: section <= t and section > t - count.
                const auto active = L::lessEqual(section[v], now) & L::greater(section[v], firstGone);
                z1[v] = L::select(active, q1, z1[v]);
                z2[v] = L::select(active, q2, z2[v]);
            }
            else
            {
                z1[v] = q1;
                z2[v] = q2;
            }
            out[v] = scaled[v] ? flushed * gain[v] : flushed;
        }
        const int done = t - (S - 1);
        if (done >= 0)
            x[done] = L::lane(out[lastVector], lastLane);
    });

    for (int v = 0; v < V; ++v)
    {
        z1[v].store(z[0] + W * v);
        z2[v].store(z[1] + W * v);
    }
    for (int q = 0; q < S; ++q)
    {
        plan.state[q]->z1 = z[0][q];
        plan.state[q]->z2 = z[1][q];
    }
}

// The plan's sections in as few vectors of L as hold them (up to kMaxChainedSections).
template <typename L, int... V>
void runCascadeInVectors(const BiquadSectionPlan& plan, float* x, int count, std::integer_sequence<int, V...>)
{
    const int vectors = (plan.count + L::width - 1) / L::width;
    ((vectors == V + 1 ? runCascadeLanes<L, V + 1>(plan, x, count) : void()), ...);
}

template <typename L>
void runCascadeInLanes(const BiquadSectionPlan& plan, float* x, int count)
{
    constexpr int kMaxVectors = (kMaxChainedSections + L::width - 1) / L::width;
    runCascadeInVectors<L>(plan, x, count, std::make_integer_sequence<int, kMaxVectors>{});
}
}  // namespace
