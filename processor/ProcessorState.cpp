// Saved state: the nineteen normalised parameter values as attributes of one XML element,
// wrapped in the framework's binary XML block.
#include "PluginProcessor.h"

#include <cmath>

#include "PluginEditor.h"
#include "StateBlock.h"

namespace
{
const char* const kStateTag = "BRONDAVELLSETTINGS";

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
    // The block is read by the plug-in's own reader; the framework's XML reading never sees
    // bytes from outside.
    const auto settings = brondavell::readStateBlock(data, sizeInBytes);
    if (!settings)
        return;

    beginRestore();
    if (settings->hasTag(kStateTag))
    {
        for (auto* parameter : getParameters())
        {
            auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(parameter);
            if (withId == nullptr)
                continue;
            const auto* text = settings->attribute(withId->getParameterID().toStdString());
            double value = text != nullptr ? brondavell::readStateNumber(*text) : withId->getValue();
            // "nan" reads as a number; like any other text that is not a number it reads as 0
            // here, so no parameter ever holds NaN. Values outside 0..1 are brought
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

    finishRestore();
    reset();
}

// On the message thread the editor is looked up and flagged at once. A restore on another thread
// hands the flag to the message thread, where editors are created and deleted, so an editor being
// closed meanwhile is never touched: by the time the call runs it is either still registered as
// the active editor or gone. A processor deleted meanwhile, on any thread, is caught by the
// message-thread hand-over.
void BrondavellJuceAudioProcessor::raiseEditorRelayout()
{
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        raiseRelayoutFlag(*this);
        return;
    }
    callLaterOnMessageThread([](BrondavellJuceAudioProcessor& processor) { raiseRelayoutFlag(processor); });
}
