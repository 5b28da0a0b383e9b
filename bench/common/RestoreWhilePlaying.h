#pragma once
// The audio thread's blocks timed while state restores land. One thread plays blocks at their
// real pace: it writes a test tone into the block's input, untimed, then play() processes the
// block under whatever lock the host holds around a block, timed with the wait for that lock.
// The calling thread meanwhile restores the states in turn with restore(state), timed, with
// pause() after each. Neither the first 100 blocks nor a first restore of each state (the first
// touch of the engine's memory for each configuration) are timed.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace brondavell::bench
{
using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

struct RestoreTimings
{
    std::vector<double> blocks, restores;  // milliseconds
};

template <typename State, typename Play, typename Restore, typename Pause>
RestoreTimings timeBlocksWhileRestoring(double rate, int block, int restores, float* input, Play play,
                                        const std::vector<State>& states, Restore restore, Pause pause)
{
    std::atomic<bool> stop{ false }, measuring{ false };
    std::atomic<long> blocksPlayed{ 0 };
    RestoreTimings timings;
    timings.blocks.reserve(1 << 20);
    std::thread audio([&] {
        const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(block / rate));
        auto deadline = Clock::now();
        for (long sample = 0; !stop.load(); sample += block)
        {
            for (int i = 0; i < block; ++i)
                input[i] = 0.2f * std::sin(static_cast<float>((sample + i) % 48000) * 0.0144f);
            const auto start = Clock::now();
            play();
            const double ms = millisecondsSince(start);
            if (measuring.load())
                timings.blocks.push_back(ms);
            ++blocksPlayed;
            deadline += period;
            std::this_thread::sleep_until(deadline);
        }
    });

    while (blocksPlayed.load() < 100)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (const auto& state : states)
        restore(state);
    measuring = true;
    for (int i = 0; i < restores; ++i)
    {
        const auto start = Clock::now();
        restore(states[static_cast<size_t>(i) % states.size()]);
        timings.restores.push_back(millisecondsSince(start));
        pause();
    }
    stop = true;
    audio.join();
    return timings;
}

inline void printRestoreTimings(const char* what, const RestoreTimings& t, double rate, int block)
{
    auto blocks = t.blocks;
    std::printf("%s (%.0f kHz, %d-sample blocks, %zu restores, %zu blocks):\n", what, rate / 1000.0, block,
                t.restores.size(), blocks.size());
    std::printf("  audio block median %.3f ms, worst %.3f ms (budget %.3f ms)\n", median(blocks),
                blocks.empty() ? 0.0 : *std::max_element(blocks.begin(), blocks.end()), 1000.0 * block / rate);
    std::printf("  restore median %.3f ms, worst %.3f ms\n", median(t.restores),
                t.restores.empty() ? 0.0 : *std::max_element(t.restores.begin(), t.restores.end()));
    const auto over = std::count_if(blocks.begin(), blocks.end(), [](double ms) { return ms > 1.0; });
    std::printf("  blocks over 1 ms: %ld (a restore thread that the system suspends while it holds the lock\n"
                "  stretches a block too: on a busy machine compare several runs)\n",
                static_cast<long>(over));
    std::sort(blocks.begin(), blocks.end(), std::greater<>());
    std::printf("  slowest blocks:");
    for (size_t i = 0; i < 8 && i < blocks.size(); ++i)
        std::printf(" %.3f", blocks[i]);
    std::printf(" ms\n");
}
}
