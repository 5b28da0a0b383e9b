#pragma once
// A cascade of second-order sections (transposed direct form II) driven by a constant
// coefficient table, working in place.

#include <cstdint>

#include "RoutineChoice.h"

constexpr int kBiquadMaxSections = 25;

struct BiquadSectionState
{
    float z1;  // first delay value, stored quantised
    float z2;  // second delay value, stored quantised
};

struct BiquadCascade
{
    BiquadSectionState state[kBiquadMaxSections];  // the first nSections are in use
    const float* sos;    // nSections rows of {b0, b1, b2, a0, a1, a2}; a0 is taken as 1, not read
    const float* scale;  // nSections + 1 values; only the last one (overall gain) is applied
    int32_t nSections;   // 1 to 25
};

// Runs `count` samples in place through every section in turn, then multiplies by the overall
// gain scale[nSections] unless it is exactly 1. The values are those of the whole block going
// through one section before the next; the sections' recursions run overlapped as a wavefront
// (four, eight or sixteen sections in vector lanes with the lane forms). count <= 0 does
// nothing, the gain included. Section outputs below 1e-10 in magnitude (compared in double) are
// flushed to 0; NaN propagates. `routines` is the form to run (RoutineChoice.h). Real-time safe.
void biquadCascadeProcess(BiquadCascade& cascade, float* samples, int count, DspRoutines routines);

// Runs `count` samples in place through several cascades in turn, each with its overall gain:
// the result of one biquadCascadeProcess call per cascade, in order. The lane forms run the
// sections of all of them (up to 32 in all) as one wavefront. Real-time safe.
void biquadCascadeChainProcess(BiquadCascade* const* cascades, int nCascades, float* samples, int count,
                               DspRoutines routines);

// Owner's binding: points the cascade at a table (not copied; it must outlive the cascade's
// use), sets the section count (1 to 25) and clears the state of those sections. Real-time safe.
void biquadCascadeBind(BiquadCascade& cascade, const float* sos, const float* scale, int nSections);
