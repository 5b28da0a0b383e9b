#pragma once
// Waveshaper transfer curve sampled every 0.001 on the input axis, read with linear
// interpolation. Framework-free, so benchmarks and tests can call the lookup directly.

#include <cmath>

#include "AudioTables.h"

struct ShaperTable
{
    const float* table;  // point k is the output for the input k / 1000 - offset
    float offset;        // added to the input before scaling
    int size;            // number of points
};

// The curve's value for x. Below the first point (and for NaN) the first point's value, at or
// beyond the last point the last point's value, in between the straight line through the two
// neighbouring points. The index is compared as a float before it is converted, so huge inputs
// cannot overflow the conversion. Needs the build's numerics flags (no fused multiply-add).
inline float shaperTableLookup(const ShaperTable& shaper, float x)
{
    const float idx = (x + shaper.offset) * 1000.0f;
    // NaN, or floor(idx) <= 0: deliberately also below index 1, with no interpolation towards
    // the second point.
    if (!(idx >= 1.0f))
        return shaper.table[0];
    // From here idx >= 1, so its floor reaches the last point exactly when idx does, and below
    // that the floor is the truncation toward zero, which the conversions give exactly.
    if (idx >= static_cast<float>(shaper.size - 1))
        return shaper.table[shaper.size - 1];
    const int t = static_cast<int>(idx);
    const float floored = static_cast<float>(t);
    const float y0 = shaper.table[t];
    const float y1 = shaper.table[t + 1];
    const float f = idx - floored;
    const float difference = y1 - y0;
    const float product = difference * f;
    return product + y0;
}

// The two built-in curves as the processor binds them.
constexpr ShaperTable kPreampShaper{ kPreampCurve, kPreampCurveOffset, kPreampCurveSize };
constexpr ShaperTable kPowerAmpShaper{ kPowerAmpCurve, kPowerAmpCurveOffset, kPowerAmpCurveSize };
