#include "PluginEditor.h"

BrondavellJuceAudioProcessorEditor::BrondavellJuceAudioProcessorEditor(BrondavellJuceAudioProcessor& owner)
    : juce::AudioProcessorEditor(owner), audioProcessor(owner)
{
    setResizable(true, true);
    setSize(950, 400);
}

BrondavellJuceAudioProcessorEditor::~BrondavellJuceAudioProcessorEditor() = default;

void BrondavellJuceAudioProcessorEditor::paint(juce::Graphics& g) { g.fillAll(juce::Colour(0xff323232)); }
