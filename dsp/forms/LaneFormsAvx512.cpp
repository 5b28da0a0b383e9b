// The lane forms for processors with AVX-512F: sixteen lanes for the cascade, eight for the FFT
// and the reverb. Built with -mavx512f (dsp/CMakeLists.txt).
#if defined(__AVX512F__)
#include "LaneFormsOf.h"

extern const DspLaneForms kLaneFormsAvx512 = laneFormsOf<FloatLanes16, FloatLanes8, FloatLanes8>();
#else
#include "LaneForms.h"

extern const DspLaneForms kLaneFormsAvx512 = {};
#endif
