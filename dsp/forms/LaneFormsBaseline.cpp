// The lane forms of the baseline instruction set (SSE2 on x86-64): four lanes everywhere.
#include "LaneFormsOf.h"

extern const DspLaneForms kLaneFormsBaseline = laneFormsOf<FloatLanes4, FloatLanes4, FloatLanes4>();
