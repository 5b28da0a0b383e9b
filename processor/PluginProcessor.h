#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>
#include <mutex>

#include "BiquadCascade.h"
#include "BlockResampler.h"
#include "ConvolutionReverb.h"
#include "DecimationFilter.h"
#include "OnePoleFilter.h"
#include "RoutineChoice.h"
#include "ShaperTable.h"
#include "SignalBlock.h"
#include "ToneStack.h"

// The amplifier's audio processor: owner of the 19 parameters and of all DSP state, held by value.
// The object is tens of megabytes (mostly the reverb engine): always create it on the heap.
//
// Hand-over between threads: processBlock runs inside the wrapper's callback lock. Every other
// rewrite of DSP state (the parameter reactions and the preparation, also when a state restore
// runs it) takes the same lock, which is recursive, around the rewrite and the parameter reads
// that feed it, and nothing else. So no rewrite overlaps a block, no block starts during one, a
// reaction arriving on the audio thread between two render calls takes the free lock at once, and
// reactions racing on two threads cannot leave stale values behind.
class BrondavellJuceAudioProcessor final : public juce::AudioProcessor, public juce::AudioProcessorListener
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
    void audioProcessorChanged(juce::AudioProcessor* processor,
                               const juce::AudioProcessorListener::ChangeDetails& details) override;
    void audioProcessorParameterChanged(juce::AudioProcessor* processor, int parameterIndex, float newValue) override;

private:
    static BusesProperties busDeclaration();

    void processAmpChain(SignalBlock& block);
    // The steps of processAmpChain, in their order.
    void inputStage(float* x, int n);
    void channelStage(float* x, int n);
    void powerAmpStage(float* x, int n);
    void presenceStage(float* x, int n);
    void reverbStage(float* x, int n, int32_t sampleRate);
    void channelVolume(float* x, int n);
    void cabinetStage(float* x, int n);
    void outputStage(float* x, int n);
    // processAmpChain with any form of the routines but plain: the same steps, with the per-sample
    // work from the input high-pass to the presence merged into two passes over the block.
    void processAmpChainMerged(SignalBlock& block);
    bool mergedPassesFit();
    void mergedChannelPass(float* x, int n, float inputGain);
    void mergedPowerAmpPass(float* x, int n);
    void selectCabinet(int model, int baseRate);
    void followCabinet(int cabValue, int baseRate);
    void initialiseResamplers();
    void tuneFirstOrderFilters(float baseRate);
    void prepareReverb();
    void retuneDriveFilters(float flavor, int baseRate);
    void raiseEditorRelayout();
    void tellHostLater(int parameterIndex);
    void beginRestore();
    void finishRestore();

    // Working copies of the block for the presence band and the reverb path.
    float presenceScratch[16384];
    float reverbScratch[8192];
    // The selected impulse response at the reverb rate: one of the shared decimated responses.
    const float* decimatedIr = nullptr;

    int32_t lastBlockSize = 0;  // length of the last block that passed the size check
    int32_t prevBlockSize = 0;  // lastBlockSize as the previous block's bookkeeping left it
    bool reverbInitialised = false;
    // State restores between their first parameter change and their closing preparation; while
    // one runs, the reverb switches' reactions leave the set-up to it. Guarded by the callback lock.
    int restoresInProgress = 0;

    BiquadCascade cabinetFilter;
    BiquadCascade cabinetLowPass;
    BiquadCascade cabinetHighPass;
    ToneStack cleanToneStack;
    ToneStack driveToneStack;
    ShaperTable preampShaper;
    ShaperTable powerAmpShaper;
    OnePoleFilter driveLowPass1, driveLowPass2, driveHighPass1, driveHighPass2;
    BiquadCascade darkeningFilter;
    DecimationFilter decimationFilter;
    OnePoleFilter inputHighPass1, inputHighPass2;
    OnePoleFilter outputHighPass1, outputHighPass2;
    OnePoleFilter presenceLowPass1, presenceHighPass1, presenceLowPass2, presenceHighPass2;
    BlockResampler reverbDownsampler2, reverbUpsampler2, reverbDownsampler4, reverbUpsampler4;
    ConvolutionReverb reverbConvolution;
    BlockResampler mainDownsampler2, mainUpsampler2, mainDownsampler4, mainUpsampler4;

public:
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

    // The form of the DSP routines processBlock runs: the fastest this processor has, asked once
    // at construction. Every form gives the same output; a benchmark or a test may set another
    // one that dspRoutinesRun, between blocks, on the thread that runs them.
    DspRoutines dspRoutines = dspFastestRoutines();

private:
    // Tests read the prepared DSP state through this; nothing else uses it.
    friend struct ProcessorTestAccess;

    // Calls handed to the message thread (a restore's relayout flag from another thread, a host's
    // corrected value) reach the processor only through this, under its lock; the destructor
    // clears it under the same lock first. So such a call never meets a processor that another
    // thread is destroying (the host's restoring thread may also be the one that deletes it).
    struct MessageThreadHandle
    {
        explicit MessageThreadHandle(BrondavellJuceAudioProcessor* owner) : processor(owner) {}
        std::mutex lock;
        BrondavellJuceAudioProcessor* processor;
    };
    const std::shared_ptr<MessageThreadHandle> messageThreadHandle = std::make_shared<MessageThreadHandle>(this);
    // Runs `call` on the message thread later, if this processor still exists then.
    void callLaterOnMessageThread(std::function<void(BrondavellJuceAudioProcessor&)> call);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(BrondavellJuceAudioProcessor)
};
