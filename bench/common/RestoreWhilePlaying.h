#pragma once
// The audio thread's blocks timed while state restores land. One thread plays blocks at their
// real pace: it writes a test tone into the block's input, untimed, then takes the lock the host
// holds around a block (anything with enter() and exit()) and process()es the block; the block's
// time counts from before the lock, and the wait for the lock is kept too. The calling thread
// meanwhile restores the states in turn with restore(state), timed, with pause() after each.
// Neither the first 100 blocks nor a first restore of each state (the first touch of the engine's
// memory for each configuration) are timed.

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
    std::vector<double> blocks, lockWaits, restores;  // milliseconds
};

template <typename Lock, typename Process, typename State, typename Restore, typename Pause>
RestoreTimings timeBlocksWhileRestoring(double rate, int block, int restores, float* input, Lock& lock, Process process,
                                        const std::vector<State>& states, Restore restore, Pause pause)
{
    std::atomic<bool> stop{ false }, measuring{ false };
    std::atomic<long> blocksPlayed{ 0 };
    RestoreTimings timings;
    timings.blocks.reserve(1 << 20);
    timings.lockWaits.reserve(1 << 20);
    std::thread audio([&] {
        const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(block / rate));
        auto deadline = Clock::now();
        for (long sample = 0; !stop.load(); sample += block)
        {
            for (int i = 0; i < block; ++i)
                input[i] = 0.2f * std::sin(static_cast<float>((sample + i) % 48000) * 0.0144f);
            const auto start = Clock::now();
            lock.enter();
            const double wait = millisecondsSince(start);
            process();
            lock.exit();
            const double ms = millisecondsSince(start);
            if (measuring.load())
            {
                timings.blocks.push_back(ms);
                timings.lockWaits.push_back(wait);
            }
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

inline double worst(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

inline long countOver(const std::vector<double>& values, double limit)
{
    return static_cast<long>(std::count_if(values.begin(), values.end(), [&](double ms) { return ms > limit; }));
}

// Times the blocks while the restores land, then the same blocks again with no restores, and
// prints both; returns the worst block while restoring. The run without restores shows how much
// of a slow block is the machine's own (another process taking the core, say) rather than a
// restore's.
template <typename Lock, typename Process, typename State, typename Restore, typename Pause>
double reportRestoresWhilePlaying(const char* what, double rate, int block, int restores, float* input, Lock& lock,
                                  Process process, const std::vector<State>& states, Restore restore, Pause pause)
{
    const auto t = timeBlocksWhileRestoring(rate, block, restores, input, lock, process, states, restore, pause);
    const auto quiet = timeBlocksWhileRestoring(
        rate, block, restores, input, lock, process, states, [](const State&) {}, pause);
    std::printf("%s (%.0f kHz, %d-sample blocks, %zu restores, %zu blocks):\n", what, rate / 1000.0, block,
                t.restores.size(), t.blocks.size());
    std::printf("  audio block median %.3f ms, worst %.3f ms (budget %.3f ms), %ld blocks over 1 ms\n",
                median(t.blocks), worst(t.blocks), 1000.0 * block / rate, countOver(t.blocks, 1.0));
    std::printf("  waits for the host's lock: worst %.3f ms, %ld blocks waited over 0.05 ms\n", worst(t.lockWaits),
                countOver(t.lockWaits, 0.05));
    std::printf("  restore median %.3f ms, worst %.3f ms\n", median(t.restores), worst(t.restores));
    auto slowest = t.blocks;
    std::sort(slowest.begin(), slowest.end(), std::greater<>());
    std::printf("  slowest blocks:");
    for (size_t i = 0; i < 8 && i < slowest.size(); ++i)
        std::printf(" %.3f", slowest[i]);
    std::printf(" ms\n");
    std::printf("  the same blocks with no restores: median %.3f ms, worst %.3f ms, %ld blocks over 1 ms\n",
                median(quiet.blocks), worst(quiet.blocks), countOver(quiet.blocks, 1.0));
    return worst(t.blocks);
}
}
