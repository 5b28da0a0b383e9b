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
    // Arrays of the bare vector type, wrapped where they are used: GCC keeps those in registers
    // from step to step, but not arrays of the lane type itself.
    using Raw = decltype(L::v);
    Raw b0[V], b1[V], b2[V], a1[V], a2[V], gain[V], zeroTimesGain[V], z1[V], z2[V], out[V], section[V];
    bool scaled[V];  // whether any lane of the vector has a gain other than 1
    for (int v = 0; v < V; ++v)
    {
        scaled[v] = false;
        for (int j = 0; j < W; ++j)
            scaled[v] = scaled[v] || !(coef[5][W * v + j] == 1.0f);
        b0[v] = L::load(coef[0] + W * v).v;
        b1[v] = L::load(coef[1] + W * v).v;
        b2[v] = L::load(coef[2] + W * v).v;
        a1[v] = L::load(coef[3] + W * v).v;
        a2[v] = L::load(coef[4] + W * v).v;
        gain[v] = L::load(coef[5] + W * v).v;
        zeroTimesGain[v] = (L::splat(0.0f) * L{ gain[v] }).v;  // a flushed output, scaled
        z1[v] = L::load(z[0] + W * v).v;
        z2[v] = L::load(z[1] + W * v).v;
        out[v] = L::splat(0.0f).v;
        section[v] = (L::splat(static_cast<float>(W * v)) + L::laneNumbers()).v;  // small integers: exact
    }
    const L one = L::splat(1.0f);
    const L threshold = L::splat(1.00000001e-10f);
    const int lastLane = (S - 1) % W;
    const int lastVector = (S - 1) / W;

    // One step; in guarded steps the lanes whose section has no sample keep their state.
    runStagesAsWavefront(S, count, [&](int t, auto guarded) {
        const L sample = L::splat(x[t < count ? t : 0]);
        const L now = L::splat(static_cast<float>(t)), gone = L::splat(static_cast<float>(t - count));
        for (int v = V - 1; v >= 0; --v)
        {
            const L in = L::shiftIn(L{ out[v] }, v == 0 ? sample : L{ out[v - 1] });
            const L y = L{ b0[v] } * in + L{ z1[v] };
            const L u1 = (L{ b1[v] } * in) + L{ z2[v] };
            const L u2 = L{ b2[v] } * in;
            L s1, s2, result;
            if constexpr (L::hasMaskRegisters)
            {
                // A flushed lane subtracts nothing rather than its coefficient times +0, and its
                // output is +0 times its gain, so that the products need not wait for the
                // comparison, and the comparison gives the mask of the lanes kept directly (with
                // mask registers neither costs an instruction). The subtraction differs from the
                // plain form's at most in the sign of a zero, which the quantisation below turns
                // into +0 anyway.
                const auto kept = L::magnitudeNotBelow(y, threshold);
                s1 = L::subtractWhere(kept, u1, L{ a1[v] } * y);
                s2 = L::subtractWhere(kept, u2, L{ a2[v] } * y);
                result = scaled[v] ? L::select(kept, y * L{ gain[v] }, L{ zeroTimesGain[v] }) : L::zeroUnless(kept, y);
            }
            else
            {
                const L flushed = L::zeroWhere(L::magnitudeBelow(y, threshold), y);
                s1 = u1 - (L{ a1[v] } * flushed);
                s2 = u2 - (L{ a2[v] } * flushed);
                result = scaled[v] ? flushed * L{ gain[v] } : flushed;
            }
            const L q1 = (s1 + one) - one;
            const L q2 = (s2 + one) - one;
            if constexpr (decltype(guarded)::value)
            {
                // Sections with a sample at this step: section <= t and section > t - count.
                const auto active = L::lessEqual(L{ section[v] }, now) & L::greater(L{ section[v] }, gone);
                z1[v] = L::select(active, q1, L{ z1[v] }).v;
                z2[v] = L::select(active, q2, L{ z2[v] }).v;
            }
            else
            {
                z1[v] = q1.v;
                z2[v] = q2.v;
            }
            out[v] = result.v;
        }
        const int done = t - (S - 1);
        if (done >= 0)
        {
            // The last section's vector picked with constant indices, which keeps the outputs in
            // registers.
            Raw last = out[0];
            for (int v = 1; v < V; ++v)
                if (v == lastVector)
                    last = out[v];
            x[done] = L::lane(L{ last }, lastLane);
        }
    });

    for (int v = 0; v < V; ++v)
    {
        L{ z1[v] }.store(z[0] + W * v);
        L{ z2[v] }.store(z[1] + W * v);
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
