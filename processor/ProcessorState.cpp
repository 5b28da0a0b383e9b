// Saved state: the nineteen normalised parameter values as attributes of one XML element,
// wrapped in the framework's binary XML block.
#include "PluginProcessor.h"

#include <cmath>

#include "PluginEditor.h"

namespace
{
const char* const kStateTag = "BRONDAVELLSETTINGS";

// Bytes of zero after a copy of the host's block. The framework reads the text as UTF-8, and a
// multi-byte sequence cut off by the end of the block makes it read up to three bytes further.
constexpr size_t kReadPadding = 4;

void raiseRelayoutFlag(juce::AudioProcessor& processor)
{
    if (auto* editor = dynamic_cast<BrondavellJuceAudioProcessorEditor*>(processor.getActiveEditor()))
        editor->needsRelayout = true;
}
}

void BrondavellJuceAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    juce::XmlElement settings(kStateTag);
    for (auto* parameter : getParameters())
        if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(parameter))
            settings.setAttribute(withId->getParameterID(), static_cast<double>(withId->getValue()));
    copyXmlToBinary(settings, destData);
}

void BrondavellJuceAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8)
        return;

    juce::MemoryBlock padded(data, static_cast<size_t>(sizeInBytes));
    padded.ensureSize(static_cast<size_t>(sizeInBytes) + kReadPadding, true);
    const auto settings = getXmlFromBinary(padded.getData(), sizeInBytes);
    if (settings == nullptr)
        return;

    if (settings->getTagName().equalsIgnoreCase(kStateTag))
    {
        for (auto* parameter : getParameters())
        {
            auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(parameter);
            if (withId == nullptr)
                continue;
            const double current = withId->getValue();
            double value = settings->getDoubleAttribute(withId->getParameterID(), current);
            // The framework reads "nan" as a number; like any other text that is not a number it
            // reads as 0 here, so no parameter ever holds NaN. Values outside 0..1 are brought
            // into it before the conversion to float (the parameter would clamp them anyway), so
            // the host is never notified of an infinite or out-of-range value.
            if (std::isnan(value))
                value = 0.0;
            value = juce::jlimit(0.0, 1.0, value);
            const auto normalised = static_cast<float>(value);
            withId->setValue(normalised);
            withId->sendValueChangedMessageToListeners(normalised);
        }
    }

    raiseEditorRelayout();

    {
        // lastBlockSize is the audio thread's: read it where no block runs.
        const juce::ScopedLock lock(getCallbackLock());
        prepareToPlay(getSampleRate(), lastBlockSize);
    }
    reset();
}

// On the message thread the editor is looked up and flagged at once. A restore on another thread
// hands the flag to the message thread, where editors are created and deleted, so an editor being
// closed meanwhile is never touched: by the time the call runs it is either still registered as
// the active editor or gone (and a deleted processor is caught by the weak reference).
void BrondavellJuceAudioProcessor::raiseEditorRelayout()
{
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        raiseRelayoutFlag(*this);
        return;
    }
    juce::MessageManager::callAsync([processor = juce::WeakReference<BrondavellJuceAudioProcessor>(this)] {
        if (auto* alive = processor.get())
            raiseRelayoutFlag(*alive);
    });
}
