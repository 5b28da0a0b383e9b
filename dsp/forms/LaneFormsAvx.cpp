// The lane forms for processors with AVX: eight lanes for the FFT and the reverb; the cascade
// stays at four (its lane shift needs AVX2's permutes). Built with -mavx (dsp/CMakeLists.txt).
#if defined(__AVX__)
#include "LaneFormsOf.h"

extern const DspLaneForms kLaneFormsAvx = laneFormsOf<FloatLanes4, FloatLanes8, FloatLanes8>();
#else
#include "LaneForms.h"

extern const DspLaneForms kLaneFormsAvx = {};
#endif
