// processBlock allocates nothing: across rates, block lengths (the changes that rerun the reverb
// set-up on the audio thread included) and parameter changes between blocks.
#include <gtest/gtest.h>

#include "CountingAllocator.h"
#include "ProcessorTestAccess.h"

namespace
{
using namespace brondavell::test;
using brondavell::test::CountingScope;

TEST(AllocationTest, TheCounterSeesAllocations)
{
    CountingScope scope;
    int* volatile probe = new int(3);  // volatile: the compiler may not drop the pair
    delete probe;
    EXPECT_EQ(scope.count(), 1);
}

TEST(AllocationTest, ProcessBlockAllocatesNothing)
{
    const double rates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0, 32000.0 };
    // Every change of length reruns the reverb set-up inside the block; 8 and 14 take its off
    // paths, 1 and 3 give an empty base-rate block at the higher rates, 9000 is refused.
    const int lengths[] = { 512, 512, 64, 1, 3, 8, 14, 1023, 2048, 8192, 9000, 0, 256, 777 };

    for (const double rate : rates)
    {
        SCOPED_TRACE(rate);
        auto p = makeProcessor();
        prepare(*p, rate, 1, 2, 512);
        juce::AudioBuffer<float> buffer(2, 9000);
        juce::MidiBuffer midi;
        int round = 0;
        for (const int length : lengths)
        {
            SCOPED_TRACE(length);
            // Parameter changes between blocks, as host automation makes them: every reaction,
            // the reverb rebuilds included, and the chain's branches.
            setPlain(p->reverb, round % 2 == 0 ? 0.6f : 0.0f);
            setPlain(p->hqReverb, round % 3 == 0 ? 1 : 0);
            setPlain(p->reverbType2, round % 4 < 2 ? 1 : 0);
            setPlain(p->chanelDrive, round % 2);
            setPlain(p->bright, (round / 2) % 2);
            setPlain(p->boost, (round / 3) % 2);
            setPlain(p->cab, 1 + round % 13);
            setPlain(p->flavorDrive, 0.15f * static_cast<float>(round % 14));
            setPlain(p->bassDrive, 0.07f * static_cast<float>(round % 15));
            setPlain(p->highClean, 0.05f * static_cast<float>(round % 20));
            ++round;

            buffer.setSize(2, length, false, false, true);
            for (int i = 0; i < length; ++i)
                buffer.setSample(0, i, 0.3f * std::sin(0.03f * static_cast<float>(i)));

            long allocations = 0;
            {
                const juce::ScopedLock lock(p->getCallbackLock());
                CountingScope scope;
                p->processBlock(buffer, midi);
                allocations = scope.count();
            }
            EXPECT_EQ(allocations, 0);
        }
    }
}
}
