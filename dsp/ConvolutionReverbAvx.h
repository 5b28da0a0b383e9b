#pragma once
// The reverb engine's accumulator loops in eight AVX lanes (ConvolutionReverbAvx.cpp). Each lane
// does the scalar operations in the scalar order. Call them only where the processor has AVX.

#include <cstdint>

// acc[k] = acc[k] + run[k] x scale for k < count.
void convolutionAddScaledAvx(float* acc, const float* run, float scale, int32_t count);

// acc[i] = (acc[i] + 1) - 1 for from <= i < to.
void convolutionQuantiseAvx(float* acc, int32_t from, int32_t to);

// The products of eight spectra (spectra[q], E interleaved complex points each) with the spectrum
// whose real parts are xRe[0, E) and imaginary parts xIm[0, E), side by side in eight lanes: for
// each point k, lanes[16 k + q] = sr x xr - si x xi and lanes[16 k + 8 + q] = xi x sr + xr x si.
// E is even.
void convolutionFormProductsAvx(float* lanes, const float* const* spectra, const float* xRe, const float* xIm,
                                int32_t E);

// The real parts of eight transforms in lanes (float i of lane q at lanes[8 i + q], E points
// each), moved into one run of E values per lane at lanes + 8 E + q E. E is a multiple of 8.
void convolutionExtractRunsAvx(float* lanes, int32_t E);

bool convolutionAvxBuilt();
