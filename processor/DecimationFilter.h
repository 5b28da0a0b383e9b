#pragma once
// The linear-phase low-pass that brings a reverb impulse response down to the reverb rate.
// Framework-free.

#include <cstdint>

constexpr int kDecimationMaxOrder = 80;

struct DecimationFilter
{
    int32_t order;                       // n: 40 (factor 2) or 80 (factor 4)
    int32_t factor;                      // c: 2 or 4
    float history[kDecimationMaxOrder];  // last n inputs of the streaming filter
    const float* coefficients;           // n + 1 taps
};

// Sets the filter for a factor (2 or 4) and clears its history.
void decimationFilterSetUp(DecimationFilter& filter, int32_t factor);

// Decimates `input` (inputLength samples, zero before sample 0) by the filter's factor:
// output k = sum over u = 0..n of K[u] x input[k x c - u], single precision, ascending u, for
// every k with k x c < inputLength. Writes ceil(inputLength / c) samples, which the caller
// keeps within its buffer, and returns that count. Reads the input directly, which is the
// streaming filter started from its cleared history.
int32_t decimationFilterRun(DecimationFilter& filter, const float* input, int32_t inputLength, float* output);

// A built-in reverb response at the reverb rate: ceil(f0 / c) decimated samples.
struct DecimatedResponse
{
    const float* samples;
    int32_t length;
};

// The built-in response of the given type (type 2 when `type2`) and base rate (BaseRateIndex),
// decimated by `factor` (2 or 4) with decimationFilterRun. The decimation depends on nothing else,
// so all eight responses are computed once, on the first call, and shared read-only by every
// processor (about 920 KB). The first call is thread-safe; it allocates and takes some
// milliseconds, so it belongs off the audio thread (the processor's constructor makes it).
// Later calls only read.
const DecimatedResponse& decimatedReverbResponse(bool type2, int rateIndex, int32_t factor);
