// The lane forms for processors with AVX2: eight lanes everywhere. Built with -mavx2
// (dsp/CMakeLists.txt).
#if defined(__AVX2__)
#include "LaneFormsOf.h"

extern const DspLaneForms kLaneFormsAvx2 = laneFormsOf<FloatLanes8, FloatLanes8, FloatLanes8>();
#else
#include "LaneForms.h"

extern const DspLaneForms kLaneFormsAvx2 = {};
#endif
