#pragma once

#include "PluginProcessor.h"

// The plug-in's window.
class BrondavellJuceAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit BrondavellJuceAudioProcessorEditor(BrondavellJuceAudioProcessor& owner);
    ~BrondavellJuceAudioProcessorEditor() override;

    void paint(juce::Graphics& g) override;

    // Raised by the processor after a state restore (on the message thread); the editor lays
    // itself out again and clears it.
    bool needsRelayout = false;

private:
    BrondavellJuceAudioProcessor& audioProcessor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(BrondavellJuceAudioProcessorEditor)
};
