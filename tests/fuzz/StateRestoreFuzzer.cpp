// Feeds arbitrary bytes to the processor's state restore. Beyond the sanitizers' checks it stops
// on a broken promise of the restore:
//  - a block that the state reader refuses changes nothing (the saved state stays the same);
//  - no parameter ever holds a value outside 0..1, NaN included;
//  - what is saved after a restore restores to the same bytes.
#include "PluginProcessor.h"
#include "StateBlock.h"

#include <cstdint>
#include <memory>

namespace
{
juce::ScopedJuceInitialiser_GUI* framework = nullptr;
BrondavellJuceAudioProcessor* processor = nullptr;
juce::MemoryBlock* current = nullptr;  // the processor's saved state before the next input

juce::MemoryBlock saved(BrondavellJuceAudioProcessor& p)
{
    juce::MemoryBlock blob;
    p.getStateInformation(blob);
    return blob;
}

void check(bool promise)
{
    if (!promise)
        __builtin_trap();
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    framework = new juce::ScopedJuceInitialiser_GUI();  // this thread becomes the message thread
    processor = new BrondavellJuceAudioProcessor();
    processor->setPlayConfigDetails(1, 2, 48000.0, 512);
    processor->prepareToPlay(48000.0, 512);
    current = new juce::MemoryBlock(saved(*processor));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(INT32_MAX))
        return 0;
    const auto& before = *current;
    processor->setStateInformation(size == 0 ? nullptr : data, static_cast<int>(size));
    const auto after = saved(*processor);

    // A refused block leaves the state as it was, which the previous input's check has already
    // seen round-trip.
    if (!brondavell::readStateBlock(size == 0 ? nullptr : data, static_cast<int>(size)))
    {
        check(after == before);
        return 0;
    }

    for (auto* parameter : processor->getParameters())
    {
        const float value = parameter->getValue();
        check(value >= 0.0f && value <= 1.0f);
    }

    processor->setStateInformation(after.getData(), static_cast<int>(after.getSize()));
    check(saved(*processor) == after);
    *current = after;
    return 0;
}
