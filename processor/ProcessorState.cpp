// Saved state: the nineteen normalised parameter values as attributes of one XML element,
// wrapped in the framework's binary XML block.
#include "PluginProcessor.h"

namespace
{
const char* const kStateTag = "BRONDAVELLSETTINGS";
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
    const auto settings = getXmlFromBinary(data, sizeInBytes);
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
            const auto value = static_cast<float>(settings->getDoubleAttribute(withId->getParameterID(), current));
            withId->setValue(value);
            withId->sendValueChangedMessageToListeners(value);
        }
    }
}
