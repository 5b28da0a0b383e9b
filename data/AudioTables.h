#pragma once
// Built-in audio data: constant single-precision tables shared by every instance.
// Rate-dependent tables exist once per base rate, indexed by BaseRateIndex.

#include <cstdint>

enum BaseRateIndex : int { kBaseRate44100 = 0, kBaseRate48000 = 1 };

// A biquad-cascade table: rows of six floats {b0, b1, b2, a0, a1, a2} and one scale value per
// section followed by the cascade's overall gain.
struct BiquadTable
{
    const float* sos;
    const float* scale;
};

// Resampler anti-aliasing low-passes, 10 sections each (they run at the higher of the two rates).
extern const BiquadTable kResampler2Filter;
extern const BiquadTable kResampler4Filter;

// Darkening filter of the input stage, 25 sections, per base rate.
constexpr int kDarkeningSections = 25;
extern const BiquadTable kDarkeningFilter[2];

// Twelve cabinet models per base rate: model m uses rows 25m..25m+24 (sos + 150m) and
// scale values 26m..26m+25 (scale + 26m).
constexpr int kCabinetModelCount = 12;
constexpr int kCabinetSectionsPerModel = 25;
extern const BiquadTable kCabinetSections[2];

// Cabinet stage's fourth-order low-pass (10 kHz) and high-pass (50 Hz), 2 sections each.
constexpr int kCabinetBandSections = 2;
extern const BiquadTable kCabinetLowPass[2];
extern const BiquadTable kCabinetHighPass[2];

// Waveshaper transfer curves, sampled every 0.001 on the input axis: entry i is the output for
// the input i / 1000 - offset.
constexpr int kPreampCurveSize = 54001;  // inputs -4 to 50
constexpr float kPreampCurveOffset = 4.0f;
constexpr int kPowerAmpCurveSize = 101001;  // inputs -39 to 62
constexpr float kPowerAmpCurveOffset = 39.0f;
extern const float kPreampCurve[kPreampCurveSize];
extern const float kPowerAmpCurve[kPowerAmpCurveSize];

// Reverb impulse responses at the base rate, peak magnitude exactly 1.
struct ImpulseResponse
{
    const float* samples;
    int32_t length;
};
extern const ImpulseResponse kReverbImpulseType1[2];
extern const ImpulseResponse kReverbImpulseType2[2];

// Linear-phase decimation low-passes for the impulse responses (orders 40 and 80).
extern const float kDecimation2Filter[41];
extern const float kDecimation4Filter[81];

// FFT sizes and their cost weights for the reverb's partitioning.
constexpr int kFftSizeCount = 17;
struct FftSizeCosts
{
    int32_t sizes[kFftSizeCount];
    int32_t costs[kFftSizeCount];
};
extern const FftSizeCosts kFftSizeCosts;

// Tone-stack component values {C1, C2, C3 (F), R1, R2, R3, R4 (ohm)} and their 23 products K0..K22.
extern const float kToneStackComponents[7];
extern const float kToneStackTerms[23];
