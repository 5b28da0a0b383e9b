#pragma once
// The mono working block handed from stage to stage of the chain: a view of samples, with
// their count and rate. Built by the caller on its stack; it owns nothing.

#include <cstdint>

struct SignalBlock
{
    float* data;         // the samples (not owned)
    int32_t numSamples;  // number of samples
    int32_t sampleRate;  // rate of the samples in Hz
};
