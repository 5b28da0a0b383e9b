#pragma once
// Builds the table of lane forms (LaneForms.h) from the one text of each routine, instantiated
// for the lane types of the file that includes it: the cascade in CascadeLanes, the reverb's
// widest batches and accumulator loops in BatchLanes, split-layout transforms in SplitLanes (with
// FloatLanes4 for the stages whose groups are narrower). Included only by the sources under
// dsp/forms/, one per instruction set; everything it defines is in an unnamed namespace.

#include "BiquadCascadeLanes.h"
#include "ComplexFftStages.h"
#include "ConvolutionLanes.h"
#include "FloatLanes.h"
#include "LaneForms.h"

namespace
{
template <typename L>
void inverseInLanes(int n, float* lanes, int32_t* ip, const float* w)
{
    bitReverse<true>(n, ip + 2, Points<L>{ lanes });
    stages<true>(n, Points<L>{ lanes }, w);
}

template <typename L>
void inversePiecesInLanes(int n, float* lanes, int32_t* ip, const float* w, int first, int end)
{
    transformPieces<true>(n, first, end, Points<L>{ lanes }, ip, w);
}

template <typename Wide>
void splitPiecesInLanes(int n, float* a, int32_t* ip, const float* w, int first, int end, bool inverse)
{
    if (inverse)
        splitTransformPieces<true, Wide, FloatLanes4>(n, first, end, a, ip, w);
    else
        splitTransformPieces<false, Wide, FloatLanes4>(n, first, end, a, ip, w);
}

template <typename L>
constexpr DspBatchForms batchFormsOf()
{
    return { L::width, inverseInLanes<L>, inversePiecesInLanes<L>, formLaneProducts<L>, extractLaneRuns<L> };
}

template <typename CascadeLanes, typename BatchLanes, typename SplitLanes>
constexpr DspLaneForms laneFormsOf()
{
    return { true,
             runCascadeInLanes<CascadeLanes>,
             batchFormsOf<BatchLanes>(),
             batchFormsOf<FloatLanes4>(),
             splitPiecesInLanes<SplitLanes>,
             addScaledRun<BatchLanes>,
             quantiseRun<BatchLanes> };
}
}  // namespace
