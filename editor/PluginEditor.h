#pragma once

#include "PluginProcessor.h"

// The plug-in's window.
class BrondavellJuceAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit BrondavellJuceAudioProcessorEditor(BrondavellJuceAudioProcessor& owner);
    ~BrondavellJuceAudioProcessorEditor() override;

    void paint(juce::Graphics& g) override;

private:
    BrondavellJuceAudioProcessor& audioProcessor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(BrondavellJuceAudioProcessorEditor)
};
