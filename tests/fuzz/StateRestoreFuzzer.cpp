// Feeds arbitrary bytes to the processor's state restore. Beyond the sanitizers' checks it stops
// on a broken promise of the restore:
//  - a block that is refused (text not valid UTF-8, or not read as XML by the framework) changes
//    nothing (the saved state stays the same);
//  - no parameter ever holds a value outside 0..1, NaN included;
//  - what is saved after a restore restores to the same bytes.
#include "PluginProcessor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <memory>

namespace
{
// Exposes the framework's reading of the binary XML block, to tell refused blocks apart.
struct BlockReader : juce::AudioProcessor
{
    using juce::AudioProcessor::getXmlFromBinary;
};

juce::ScopedJuceInitialiser_GUI* framework = nullptr;
BrondavellJuceAudioProcessor* processor = nullptr;

juce::MemoryBlock saved(BrondavellJuceAudioProcessor& p)
{
    juce::MemoryBlock blob;
    p.getStateInformation(blob);
    return blob;
}

// Whether the restore takes the block: its text is valid UTF-8 (the restore refuses other text,
// on which the framework's reading is unsafe) and the framework reads it as XML.
bool readsAsXml(const uint8_t* data, size_t size)
{
    if (size <= 8)
        return false;
    int32_t length = 0;
    std::memcpy(&length, data + 4, 4);
    if (length > 0)
    {
        const auto count = static_cast<int>(std::min(size - 8, static_cast<size_t>(length)));
        const auto* text = reinterpret_cast<const char*>(data + 8);
        if (!juce::CharPointer_UTF8::isValidString(text, count))
            return false;
        // A processing instruction after the declaration is refused too (the framework's reader
        // can loop forever on one).
        const std::string_view view(text, static_cast<size_t>(count));
        if (view.substr(0, view.find('\0')).find("<?", 1) != std::string_view::npos)
            return false;
    }
    return BlockReader::getXmlFromBinary(data, static_cast<int>(size)) != nullptr;
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
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(INT32_MAX))
        return 0;
    const auto before = saved(*processor);
    processor->setStateInformation(size == 0 ? nullptr : data, static_cast<int>(size));
    const auto after = saved(*processor);

    if (!readsAsXml(data, size))
        check(after == before);

    for (auto* parameter : processor->getParameters())
    {
        const float value = parameter->getValue();
        check(value >= 0.0f && value <= 1.0f);
    }

    processor->setStateInformation(after.getData(), static_cast<int>(after.getSize()));
    check(saved(*processor) == after);
    return 0;
}
