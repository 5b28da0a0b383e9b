// Feeds arbitrary bytes to the processor's state restore. Beyond the sanitizers' checks it stops
// on a broken promise of the restore:
//  - a block that the state reader refuses changes nothing (every parameter keeps its value);
//  - no parameter ever holds a value outside 0..1, NaN included;
//  - what is saved after a restore restores to the same bytes.
#include "PluginProcessor.h"
#include "StateBlock.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace
{
juce::ScopedJuceInitialiser_GUI* framework = nullptr;
BrondavellJuceAudioProcessor* processor = nullptr;
std::vector<float>* current = nullptr;  // the parameter values before the next input

juce::MemoryBlock saved(BrondavellJuceAudioProcessor& p)
{
    juce::MemoryBlock blob;
    p.getStateInformation(blob);
    return blob;
}

// The parameters' normalised values: all that a saved state holds, far cheaper to compare.
std::vector<float> values(BrondavellJuceAudioProcessor& p)
{
    std::vector<float> result;
    for (auto* parameter : p.getParameters())
        result.push_back(parameter->getValue());
    return result;
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
    current = new std::vector<float>(values(*processor));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(INT32_MAX))
        return 0;
    const auto& before = *current;
    processor->setStateInformation(size == 0 ? nullptr : data, static_cast<int>(size));
    const auto after = values(*processor);

    // A refused block leaves every value as it was.
    if (!brondavell::readStateBlock(size == 0 ? nullptr : data, static_cast<int>(size)))
    {
        check(after == before);
        return 0;
    }

    for (const float value : after)
        check(value >= 0.0f && value <= 1.0f);

    const auto blob = saved(*processor);
    processor->setStateInformation(blob.getData(), static_cast<int>(blob.getSize()));
    check(saved(*processor) == blob);
    *current = after;
    return 0;
}
