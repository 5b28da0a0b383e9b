#pragma once
// The sections of one or more chained biquad cascades, in the order a sample passes them, as the
// lane forms of the cascade take them. A plain record: no functions, so the files built for
// different instruction sets share nothing but its layout.

#include "BiquadCascade.h"

constexpr int kMaxChainedSections = 32;

// Each section with the gain its output gets before the next section: the owning cascade's
// overall gain after its last section, else 1. Multiplying by 1 returns every arithmetic result
// unchanged, so the gain of 1 stands for "not scaled".
struct BiquadSectionPlan
{
    const float* row[kMaxChainedSections];           // {b0, b1, b2, a0, a1, a2}
    BiquadSectionState* state[kMaxChainedSections];  // read before, written after the run
    float gain[kMaxChainedSections];
    int count = 0;
};

// Adds the cascades' sections, in order, to the plan; false when they do not fit.
bool biquadPlanSections(BiquadCascade* const* cascades, int nCascades, BiquadSectionPlan& plan);
