#pragma once
// Signals shared by the DSP tests and benchmarks.

#include <cstddef>
#include <random>
#include <vector>

// n samples of white noise in [-1, 1), the same for the same seed.
inline std::vector<float> noise(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (auto& x : v)
        x = d(rng);
    return v;
}
