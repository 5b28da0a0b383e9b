// Blocks, automation and state restores on three threads at once. Built with ThreadSanitizer
// (-DBRONDAVELL_SANITIZE=thread) it runs for 15 s and checks for races; in other builds it runs
// for 1 s. BRONDAVELL_STRESS_SECONDS overrides either.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <iostream>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "ProcessorTestAccess.h"

#if defined(__SANITIZE_THREAD__)
#define BRONDAVELL_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define BRONDAVELL_UNDER_TSAN 1
#endif
#endif

namespace
{
using namespace brondavell::test;

double stressSeconds()
{
    if (const char* text = std::getenv("BRONDAVELL_STRESS_SECONDS"))
        return std::atof(text);
#ifdef BRONDAVELL_UNDER_TSAN
    return 15.0;
#else
    return 1.0;
#endif
}

// Blobs of random settings; the last one has a cabinet, so that its restore selects one.
std::vector<juce::MemoryBlock> makeStates(int count)
{
    std::vector<juce::MemoryBlock> states;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    auto source = makeProcessor();
    for (int i = 0; i < count; ++i)
    {
        for (auto* parameter : source->getParameters())
            parameter->setValueNotifyingHost(unit(random));
        if (i == count - 1)
            setPlain(source->cab, 9);
        states.push_back(save(*source));
    }
    return states;
}

constexpr double kRate = 48000.0;
constexpr int kLastLength = 333;

// A processor prepared, run for one block of kLastLength and then restored from `blob`: the
// state the stressed processor must end in after the same restore.
std::unique_ptr<BrondavellJuceAudioProcessor> freshRestored(const juce::MemoryBlock& blob)
{
    auto p = makeProcessor();
    prepare(*p, kRate, 1, 2, 8192);
    processSignal(*p, kLastLength);
    restore(*p, blob);
    return p;
}

// The prepared state that follows from the parameter values alone (without the drive filters,
// which depend on whether a preparation or a flavorDrive change came last, and without the
// cabinet while `cab` is 1).
void expectStateFollowsTheParameters(BrondavellJuceAudioProcessor& stressed)
{
    auto reference = makeProcessor();
    prepare(*reference, kRate, 1, 2, 8192);
    restore(*reference, save(stressed));
    processSignal(*reference, Access::lastBlockSize(stressed));

    for (const auto& [name, ours, theirs] :
         { std::tuple{ "clean", &Access::cleanStack(stressed), &Access::cleanStack(*reference) },
           std::tuple{ "drive", &Access::driveStack(stressed), &Access::driveStack(*reference) } })
    {
        SCOPED_TRACE(name);
        EXPECT_EQ(std::memcmp(ours->b, theirs->b, sizeof(ours->b)), 0);
        EXPECT_EQ(std::memcmp(ours->a, theirs->a, sizeof(ours->a)), 0);
    }
    if (stressed.cab->get() >= 2)
    {
        EXPECT_EQ(Access::cabinetFilter(stressed).sos, Access::cabinetFilter(*reference).sos);
        EXPECT_EQ(Access::cabinetFilter(stressed).scale, Access::cabinetFilter(*reference).scale);
    }
    const auto& r = Access::reverb(stressed);
    const auto& f = Access::reverb(*reference);
    EXPECT_EQ(r.ready, f.ready);
    EXPECT_EQ(r.impulseLength, f.impulseLength);
    EXPECT_EQ(r.blockLength, f.blockLength);
    EXPECT_EQ(r.fftSize, f.fftSize);
    EXPECT_EQ(r.partitionLength, f.partitionLength);
    EXPECT_EQ(Access::decimation(stressed).factor, Access::decimation(*reference).factor);
}

TEST(StressTest, BlocksAutomationAndRestoresOnThreeThreads)
{
    const auto seconds = stressSeconds();
    if (seconds <= 0.0)
        GTEST_SKIP() << "BRONDAVELL_STRESS_SECONDS is 0";

    const auto states = makeStates(12);
    auto p = makeProcessor();
    prepare(*p, kRate, 1, 2, 8192);

    std::atomic<bool> stop{ false };
    std::atomic<long> blocks{ 0 }, changes{ 0 }, restores{ 0 };

    // The host's audio thread: blocks of 0 to 8192 samples, inside the callback lock.
    auto audio = std::async(std::launch::async, [&] {
        std::mt19937 random(1);
        std::uniform_int_distribution<int> length(0, 8192);
        juce::AudioBuffer<float> buffer(2, 8192);
        juce::MidiBuffer midi;
        int start = 0;
        while (!stop.load())
        {
            const int n = random() % 4 == 0 ? length(random) % 64 : length(random);
            buffer.setSize(2, n, false, false, true);
            for (int i = 0; i < n; ++i)
                buffer.setSample(0, i, 0.25f * std::sin(0.01f * static_cast<float>(start + i)));
            start += n;
            const juce::ScopedLock lock(p->getCallbackLock());
            p->processBlock(buffer, midi);
            ++blocks;
        }
    });

    // Host automation of all 19 parameters, outside the callback lock.
    auto automation = std::async(std::launch::async, [&] {
        std::mt19937 random(2);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        const auto& parameters = p->getParameters();
        while (!stop.load())
        {
            parameters[static_cast<int>(random() % 19)]->setValueNotifyingHost(unit(random));
            ++changes;
        }
    });

    // State restores, on a thread that is not the message thread.
    auto restorer = std::async(std::launch::async, [&] {
        std::mt19937 random(3);
        while (!stop.load())
        {
            restore(*p, states[random() % states.size()]);
            ++restores;
        }
    });

    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    // A deadlock shows as a thread that does not finish.
    const auto bound = std::chrono::seconds(60);
    ASSERT_EQ(audio.wait_for(bound), std::future_status::ready) << "audio thread stuck";
    ASSERT_EQ(automation.wait_for(bound), std::future_status::ready) << "automation thread stuck";
    ASSERT_EQ(restorer.wait_for(bound), std::future_status::ready) << "restoring thread stuck";
    std::cout << "blocks " << blocks.load() << ", parameter changes " << changes.load() << ", restores "
              << restores.load() << " in " << seconds << " s\n";
    EXPECT_GT(blocks.load(), 0);
    EXPECT_GT(changes.load(), 0);
    EXPECT_GT(restores.load(), 0);

    // Nothing was lost on the way: the prepared state follows the values the parameters hold.
    if (Access::lastBlockSize(*p) == 0)
        processSignal(*p, kLastLength);
    expectStateFollowsTheParameters(*p);

    // After a last block and a last restore, the state equals a fresh processor's restored from
    // the same blob.
    processSignal(*p, kLastLength);
    restore(*p, states.back());
    const auto fresh = freshRestored(states.back());
    EXPECT_EQ(preparedState(*p), preparedState(*fresh));
    EXPECT_EQ(save(*p), save(*fresh));
}
}
