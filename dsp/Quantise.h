#pragma once
// Quantisation of recursive filter states: (v + 1) - 1 in single precision rounds v to the
// spacing of floats near 1, so that tiny states become exactly 0 instead of lingering as
// denormals. Needs -ffp-contract=off and no fast-math (the build's numerics flags), under
// which the compiler may not fold it away.

inline float quantiseState(float v)
{
    const float shifted = v + 1.0f;
    return shifted - 1.0f;
}
