#pragma once
// The lane forms of the DSP routines for one instruction set, as a table of functions. A plain
// record: the files built for different instruction sets share nothing but its layout. Each
// table is made by laneFormsOf (LaneFormsOf.h) in its own source under dsp/forms/; the routines
// reach one through dspLaneForms.

#include <cstdint>

#include "BiquadSectionPlan.h"
#include "RoutineChoice.h"

// The most lanes any form has.
constexpr int32_t kMaxLanes = 16;

// The reverb's batch routines of one lane width W: W transforms side by side in lanes (float i of
// transform q at [W i + q]).
struct DspBatchForms
{
    int32_t width;
    // The whole inverse transform of each lane (as complexFftInverse).
    void (*inverse)(int n, float* lanes, int32_t* ip, const float* w);
    // Its pieces [first, end) (see complexFftInversePieceCount).
    void (*inversePieces)(int n, float* lanes, int32_t* ip, const float* w, int first, int end);
    // The products of W spectra with one split-layout spectrum, in lanes (see formLaneProducts).
    void (*formProducts)(float* lanes, const float* const* spectra, const float* xRe, const float* xIm, int32_t E);
    // The lanes' real parts, moved into one run per lane (see extractLaneRuns).
    void (*extractRuns)(float* lanes, int32_t E);
};

struct DspLaneForms
{
    bool built;  // false where this build has no code for the instruction set
    // All planned sections as one wavefront, one section per lane.
    void (*cascade)(const BiquadSectionPlan& plan, float* x, int count);
    DspBatchForms wide;    // the widest batches
    DspBatchForms narrow;  // batches of four lanes
    // Pieces of a split-layout transform, neighbouring butterflies side by side in lanes.
    void (*splitPieces)(int n, float* a, int32_t* ip, const float* w, int first, int end, bool inverse);
    // acc[k] = acc[k] + run[k] x scale for k < count.
    void (*addScaled)(float* acc, const float* run, float scale, int32_t count);
    // acc[i] = (acc[i] + 1) - 1 for from <= i < to.
    void (*quantise)(float* acc, int32_t from, int32_t to);
};

// One table per instruction set (dsp/forms/LaneForms*.cpp).
extern const DspLaneForms kLaneFormsBaseline;
extern const DspLaneForms kLaneFormsAvx;
extern const DspLaneForms kLaneFormsAvx2;
extern const DspLaneForms kLaneFormsAvx512;

// The table of a form other than plain that dspRoutinesRun.
const DspLaneForms& dspLaneForms(DspRoutines routines);
