#pragma once
// The linear-phase low-pass that brings a reverb impulse response down to the reverb rate.
// Framework-free.

#include <cstdint>

constexpr int kDecimationMaxOrder = 80;

struct DecimationFilter
{
    int32_t order;                        // n: 40 (factor 2) or 80 (factor 4)
    int32_t factor;                       // c: 2 or 4
    float history[kDecimationMaxOrder];   // last n inputs of the streaming filter
    const float* coefficients;            // n + 1 taps
};

// Sets the filter for a factor (2 or 4) and clears its history.
void decimationFilterSetUp(DecimationFilter& filter, int32_t factor);

// Decimates `input` (inputLength samples, zero before sample 0) by the filter's factor:
// output k = sum over u = 0..n of K[u] x input[k x c - u], single precision, ascending u, for
// every k with k x c < inputLength. Writes ceil(inputLength / c) samples, which the caller
// keeps within its buffer, and returns that count. Reads the input directly, which is the
// streaming filter started from its cleared history.
int32_t decimationFilterRun(DecimationFilter& filter, const float* input, int32_t inputLength, float* output);
