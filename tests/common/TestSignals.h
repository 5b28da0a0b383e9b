#pragma once
// Signals shared by the tests, the benchmarks and the render tool. Framework-free and
// deterministic: the same arguments give the same samples, bit for bit.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
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

// A plucked-string riff (a guitar's direct signal, peaks near -6 dBFS), made with a
// Karplus-Strong string model: a riff in E minor with closing chords, a note every 0.15 s,
// each ringing for up to 2.5 s. The strings start from the noise of a 48-bit linear
// congruential generator, so every platform and library gives the same samples.
inline std::vector<float> pluckedRiff(double sampleRate, double seconds)
{
    const int length = static_cast<int>(sampleRate * seconds);
    std::vector<float> out(static_cast<std::size_t>(std::max(0, length)), 0.0f);

    // Uniform in [0, 1) from the generator's upper 32 bits.
    uint64_t seed = 20261210;
    const auto nextUnit = [&seed] {
        seed = (seed * 0x5deece66dULL + 11) & 0xffffffffffffULL;
        const float result = static_cast<float>(static_cast<uint32_t>(seed >> 16)) / 4294967296.0f;
        return result == 1.0f ? 1.0f - std::numeric_limits<float>::epsilon() : result;
    };

    // (start in beats, MIDI note)
    const std::pair<double, int> notes[] = { { 0.0, 40 }, { 0.5, 43 }, { 1.0, 45 }, { 1.5, 47 }, { 2.0, 50 },
                                             { 2.5, 47 }, { 3.0, 45 }, { 3.5, 43 }, { 4.0, 40 }, { 4.0, 47 },
                                             { 4.0, 52 }, { 6.0, 45 }, { 6.0, 52 }, { 6.0, 57 } };
    const double beatSeconds = 0.3;
    std::vector<float> line;

    for (const auto& [beat, note] : notes)
    {
        const double frequency = 440.0 * std::pow(2.0, (note - 69) / 12.0);
        const int period = std::max(2, static_cast<int>(sampleRate / frequency));
        line.assign(static_cast<std::size_t>(period), 0.0f);
        for (auto& value : line)
            value = nextUnit() * 2.0f - 1.0f;

        const int start = static_cast<int>(beat * beatSeconds * sampleRate);
        const int noteLength = std::min(length - start, static_cast<int>(2.5 * sampleRate));
        float previous = 0.0f;
        for (int i = 0; i < noteLength; ++i)
        {
            auto& current = line[static_cast<std::size_t>(i % period)];
            const float next = line[static_cast<std::size_t>((i + 1) % period)];
            const float sample = current;
            current = 0.4985f * (current + next) + 0.0005f * previous;
            previous = sample;
            out[static_cast<std::size_t>(start + i)] += 0.16f * sample;
        }
    }
    return out;
}
