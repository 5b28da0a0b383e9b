#pragma once
// Integer-factor (2 or 4) down- or up-sampler with its own output storage and a 10-section
// anti-aliasing cascade.

#include <cstdint>

#include "BiquadCascade.h"
#include "SignalBlock.h"

constexpr int kResamplerCapacity = 8192;
constexpr int kResamplerSections = 10;

struct BlockResampler
{
    int32_t factor;                 // 2 or 4
    int32_t isDown;                 // non-zero: downsampler; zero: upsampler
    float* out;                     // data of the last block produced (buf once a block was produced)
    int32_t outCount;               // sample count of the last block produced
    int32_t outRate;                // rate of the last block produced, Hz
    float buf[kResamplerCapacity];  // storage of the produced block
    BiquadCascade cascade;          // anti-aliasing low-pass bound to the factor's table
};

// Sets factor (2 or 4) and direction, binds the cascade to the factor's 10-section table and
// clears its state. Leaves out, outCount, outRate and buf as they are. Real-time safe.
void blockResamplerInit(BlockResampler& resampler, int32_t factor, int32_t isDown);

// Resamples `block` and rewrites it to describe the output {buf, outCount, outRate}.
// Down: filters the caller's samples in place, then keeps samples 0, factor, 2 x factor, ...
// (n / factor of them, truncated; the phase restarts with every block); the rate is divided.
// Up: repeats each sample factor times into buf and filters buf; the caller's samples are not
// modified; the rate is multiplied. The caller keeps n x factor <= 8192 when upsampling.
// The produced block is valid until the next call on this resampler. `routines` is the cascade's
// form (RoutineChoice.h). Real-time safe.
void blockResamplerProcess(BlockResampler& resampler, SignalBlock& block, DspRoutines routines);
