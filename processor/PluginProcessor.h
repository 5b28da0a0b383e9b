#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// The amplifier's audio processor: owner of the 19 parameters and of all DSP state, held by value.
class BrondavellJuceAudioProcessor : public juce::AudioProcessor, public juce::AudioProcessorListener
{
public:
    BrondavellJuceAudioProcessor();
    ~BrondavellJuceAudioProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index) override;
    const juce::String getProgramName(int index) override;
    void changeProgramName(int index, const juce::String& newName) override;
    void getStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;
    void audioProcessorChanged(juce::AudioProcessor* processor, const juce::AudioProcessorListener::ChangeDetails& details) override;
    void audioProcessorParameterChanged(juce::AudioProcessor* processor, int parameterIndex,
                                        float newValue) override;

    // Typed, non-owning views of the parameters (the base owns them), in declaration order.
    juce::AudioParameterFloat* preGainClean = nullptr;
    juce::AudioParameterFloat* preGainDrive = nullptr;
    juce::AudioParameterFloat* flavorDrive = nullptr;
    juce::AudioParameterFloat* bassClean = nullptr;
    juce::AudioParameterFloat* mediumClean = nullptr;
    juce::AudioParameterFloat* highClean = nullptr;
    juce::AudioParameterFloat* bassDrive = nullptr;
    juce::AudioParameterFloat* mediumDrive = nullptr;
    juce::AudioParameterFloat* highDrive = nullptr;
    juce::AudioParameterFloat* volumeClean = nullptr;
    juce::AudioParameterBool* chanelDrive = nullptr;
    juce::AudioParameterBool* bright = nullptr;
    juce::AudioParameterFloat* volumeDrive = nullptr;
    juce::AudioParameterBool* reverbType2 = nullptr;
    juce::AudioParameterFloat* reverb = nullptr;
    juce::AudioParameterBool* hqReverb = nullptr;
    juce::AudioParameterFloat* presence = nullptr;
    juce::AudioParameterBool* boost = nullptr;
    juce::AudioParameterInt* cab = nullptr;

private:
    static BusesProperties busDeclaration();

    int32_t lastBlockSize = 0;
    int32_t prevBlockSize = 0;
    bool reverbInitialised = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(BrondavellJuceAudioProcessor)
};
