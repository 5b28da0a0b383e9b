// processBlock allocates nothing: across rates, block lengths (the changes that rerun the reverb
// set-up on the audio thread included) and parameter changes between blocks.
//
// This file replaces the global allocation functions of the test binary. They count, on the
// thread that asked for it, only while a counting scope is open; otherwise they just allocate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "ProcessorTestAccess.h"

namespace
{
thread_local bool countingHere = false;
thread_local long allocationsHere = 0;

void* allocate(std::size_t size)
{
    if (countingHere)
        ++allocationsHere;
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment)
{
    if (countingHere)
        ++allocationsHere;
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* memory = std::aligned_alloc(align, rounded == 0 ? align : rounded))
        return memory;
    throw std::bad_alloc();
}

// Counts the allocations made on this thread while it lives.
class CountingScope
{
public:
    CountingScope()
    {
        allocationsHere = 0;
        countingHere = true;
    }
    ~CountingScope() { countingHere = false; }
    long count() const { return allocationsHere; }
};
}

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate(size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }

namespace
{
using namespace brondavell::test;

TEST(AllocationTest, TheCounterSeesAllocations)
{
    CountingScope scope;
    auto* probe = new int(3);
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
