#include "PluginProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "AudioTables.h"
#include "PluginEditor.h"
#include "StageWavefront.h"

namespace
{
constexpr int kMaxBlock = 8192;

// How the processor runs at a host rate: the base rate of the tables and the chain, and the
// factor between the host rate and the base rate; factor 0 for a rate that is not processed.
struct HostRate
{
    int baseRate;
    int factor;
};

// Exact comparison: 48000 for the 48 kHz family, 44100 for every other rate, processed or not.
HostRate classifyHostRate(double sampleRate)
{
    if (sampleRate == 44100.0)
        return { 44100, 1 };
    if (sampleRate == 48000.0)
        return { 48000, 1 };
    if (sampleRate == 88200.0)
        return { 44100, 2 };
    if (sampleRate == 96000.0)
        return { 48000, 2 };
    if (sampleRate == 176400.0)
        return { 44100, 4 };
    if (sampleRate == 192000.0)
        return { 48000, 4 };
    return { 44100, 0 };
}

int tableIndexFor(int baseRate) { return baseRate == 48000 ? kBaseRate48000 : kBaseRate44100; }

// The host rate truncated toward zero; rates that an int cannot hold (NaN included) give 0.
int truncatedRate(double sampleRate)
{
    if (!(sampleRate > -2147483648.0 && sampleRate < 2147483648.0))
        return 0;
    return static_cast<int>(sampleRate);
}

// A cut-off in whole Hz from a computed value: truncation toward zero. A value that is not a
// number, or below the lowest cut-off of its range, gives that lowest cut-off, so a bad value
// never reaches the float-to-int conversion.
int truncatedCutoff(float value, int lowest)
{
    if (!(value >= static_cast<float>(lowest)))
        return lowest;
    if (value >= 100000.0f)
        return 100000;
    return static_cast<int>(value);
}

// The first-order filter chains as the merged passes run them (bit f set: filter f is a low-pass).
using InputHighPassRun = OnePoleChainRun<2, 0b00>;
using DriveFiltersRun = OnePoleChainRun<4, 0b0011>;
using PresenceBandRun = OnePoleChainRun<4, 0b0101>;

void clearChannels(juce::AudioBuffer<float>& buffer, int from, int to, int numSamples)
{
    const int last = std::min(to, buffer.getNumChannels());
    for (int channel = from; channel < last; ++channel)
        buffer.clear(channel, 0, numSamples);
}

void scale(float* samples, int count, float gain)
{
    for (int i = 0; i < count; ++i)
        samples[i] = samples[i] * gain;
}

// Samples beyond this magnitude (120 dB above full scale), infinities and NaN are no signal: the
// frame gives the chain silence in their place. Anything up to it passes untouched, and the chain
// cannot overflow on it; a non-finite value would otherwise stay in the recursive filter states
// ahead of the shapers for good.
constexpr float kLargestInput = 1.0e6f;

bool isPlausibleInput(float v)
{
    return std::fabs(v) <= kLargestInput;  // false for NaN
}

// Whether any sample needs replacing; a plain reduction the compiler vectorises.
bool hasImplausibleInput(const float* samples, int count)
{
    bool found = false;
    for (int i = 0; i < count; ++i)
        found |= !isPlausibleInput(samples[i]);
    return found;
}

void silenceImplausibleInput(float* samples, int count)
{
    for (int i = 0; i < count; ++i)
        if (!isPlausibleInput(samples[i]))
            samples[i] = 0.0f;
}

float clip(float v)
{
    if (v > 1.0f)
        return 1.0f;
    if (v < -1.0f)
        return -1.0f;
    return v;  // NaN fails both tests and passes unchanged
}
}

BrondavellJuceAudioProcessor::BrondavellJuceAudioProcessor() : juce::AudioProcessor(busDeclaration())
{
    // No block seen, reverb not set up (in-class initialisers of the bookkeeping members).
    toneStackConstruct(cleanToneStack);
    toneStackConstruct(driveToneStack);

    // Until the first preparation both shapers hold a valid curve: deliberately the power-amp
    // curve for both, which the first preparation replaces before any block runs.
    preampShaper = kPowerAmpShaper;
    powerAmpShaper = kPowerAmpShaper;

    for (auto* resampler : { &reverbDownsampler2, &reverbUpsampler2, &reverbDownsampler4, &reverbUpsampler4,
                             &mainDownsampler2, &mainUpsampler2, &mainDownsampler4, &mainUpsampler4 })
    {
        resampler->out = nullptr;
        resampler->outCount = 0;
        resampler->outRate = 0;
    }
    // The engine is off; its sizes and counters get defined values until the first set-up.
    reverbConvolution.ready = 0;
    reverbConvolution.impulseLength = 0;
    reverbConvolution.blockLength = 0;
    reverbConvolution.fftSize = 0;
    reverbConvolution.partitionLength = 0;
    reverbConvolution.blocksPerStep = 0;
    reverbConvolution.stepLength = 0;
    reverbConvolution.partitionsPerCall = 0;
    reverbConvolution.outputBlockIndex = 0;
    reverbConvolution.inverseScale = 0.0f;
    reverbConvolution.blocksGathered = 0;

    // Defined values for what the first preparation sets: the filters' types, cut-offs and
    // states as at 44100 Hz, and the cascades bound to real tables. The cabinet cascades in
    // particular must always be bound: a block that starts between the host's store of a new
    // `cab` and its reaction runs them with whatever they held before.
    const auto& darkening = kDarkeningFilter[kBaseRate44100];
    biquadCascadeBind(darkeningFilter, darkening.sos, darkening.scale, kDarkeningSections);
    initialiseResamplers();
    selectCabinet(8 - 2, 44100);
    tuneFirstOrderFilters(44100.0f);
    decimationFilterSetUp(decimationFilter, 4);
    // The first processor computes the shared decimated responses here, off the audio thread.
    decimatedIr = decimatedReverbResponse(false, kBaseRate44100, 4).samples;

    // Index order: the host's parameter order, the editor's control order and the state's order.
    // IDs and names are what hosts and saved projects know them by: "chanelDrive" and
    // "Volume DRive" are spelt so deliberately, and stay.
    addParameter(preGainClean = new juce::AudioParameterFloat("preGainClean", "Pre Gain Clean", 0.0f, 10.0f, 1.0f));
    addParameter(preGainDrive = new juce::AudioParameterFloat("preGainDrive", "Pre Gain Drive", 0.33f, 10.0f, 5.0f));
    addParameter(flavorDrive = new juce::AudioParameterFloat("flavorDrive", "Flavor Drive", 0.0f, 2.0f, 1.0f));
    addParameter(bassClean = new juce::AudioParameterFloat("bassClean", "Bass Clean", 0.0f, 1.0f, 0.5f));
    addParameter(mediumClean = new juce::AudioParameterFloat("mediumClean", "Medium Clean", 0.0f, 1.0f, 0.5f));
    addParameter(highClean = new juce::AudioParameterFloat("highClean", "High Clean", 0.0f, 1.0f, 0.5f));
    addParameter(bassDrive = new juce::AudioParameterFloat("bassDrive", "Bass Drive", 0.0f, 1.0f, 0.5f));
    addParameter(mediumDrive = new juce::AudioParameterFloat("mediumDrive", "Medium Drive", 0.0f, 1.0f, 0.5f));
    addParameter(highDrive = new juce::AudioParameterFloat("highDrive", "High Drive", 0.0f, 1.0f, 0.5f));
    addParameter(volumeClean = new juce::AudioParameterFloat("volumeClean", "Volume Clean", 0.0f, 1.0f, 0.8f));
    addParameter(volumeDrive = new juce::AudioParameterFloat("volumeDrive", "Volume DRive", 0.0f, 2.0f, 1.0f));
    addParameter(presence = new juce::AudioParameterFloat("presence", "Presence", 0.0f, 1.0f, 0.5f));
    addParameter(reverb = new juce::AudioParameterFloat("reverb", "Reverb", 0.0f, 1.0f, 0.0f));
    addParameter(reverbType2 = new juce::AudioParameterBool("reverbType2", "Reverb Type", false));
    addParameter(chanelDrive = new juce::AudioParameterBool("chanelDrive", "Chanel", false));
    addParameter(bright = new juce::AudioParameterBool("bright", "Bright", true));
    addParameter(hqReverb = new juce::AudioParameterBool("hqReverb", "HQ reverb", false));
    addParameter(boost = new juce::AudioParameterBool("boost", "boost", false));
    addParameter(cab = new juce::AudioParameterInt("cab", "Cabinet", 1, 13, 8));

    // Last: from now on every notified parameter change reaches audioProcessorParameterChanged.
    addListener(this);
}

BrondavellJuceAudioProcessor::~BrondavellJuceAudioProcessor()
{
    {
        const std::lock_guard<std::mutex> guard(messageThreadHandle->lock);
        messageThreadHandle->processor = nullptr;
    }
    // Deliberate, though nothing reads the engine again: it is left cleared and off.
    std::memset(reverbConvolution.accumulator, 0, sizeof(reverbConvolution.accumulator));
    reverbConvolution.ready = 0;
}

// Both buses are stereo. The Audio Unit client enables every bus itself right after creating the
// processor; the other clients apply their first channel configuration to whatever is enabled,
// so there the buses are declared active, or a host that never changes the layout gets no sound.
juce::AudioProcessor::BusesProperties BrondavellJuceAudioProcessor::busDeclaration()
{
    const bool activeByDefault =
        juce::PluginHostType::getPluginLoadedAs() != juce::AudioProcessor::wrapperType_AudioUnit;
    return BusesProperties()
        .withInput("Input", juce::AudioChannelSet::stereo(), activeByDefault)
        .withOutput("Output", juce::AudioChannelSet::stereo(), activeByDefault);
}

const juce::String BrondavellJuceAudioProcessor::getName() const { return "BrondavellV2"; }

void BrondavellJuceAudioProcessor::prepareToPlay(double sampleRate, int)
{
    const int baseRate = classifyHostRate(sampleRate).baseRate;
    const int rateIndex = tableIndexFor(baseRate);
    const auto rate = static_cast<float>(baseRate);

    // The whole preparation rewrites state that blocks use: no block may run meanwhile. The
    // parameter values are read inside the lock too, so a reaction that runs meanwhile on another
    // thread is not undone by values read before it.
    const juce::ScopedLock lock(getCallbackLock());
    const int cabinet = cab->get();

    const auto& darkening = kDarkeningFilter[rateIndex];
    biquadCascadeBind(darkeningFilter, darkening.sos, darkening.scale, kDarkeningSections);

    preampShaper = kPreampShaper;
    powerAmpShaper = kPowerAmpShaper;

    initialiseResamplers();

    followCabinet(cabinet, baseRate);

    toneStackPrepare(cleanToneStack, rate);
    toneStackSetControls(cleanToneStack, bassClean->get(), mediumClean->get(), highClean->get());
    toneStackPrepare(driveToneStack, rate);
    toneStackSetControls(driveToneStack, bassDrive->get(), mediumDrive->get(), highDrive->get());

    tuneFirstOrderFilters(rate);

    // Waits for the first block, which knows the block length.
    prepareReverb();
}

void BrondavellJuceAudioProcessor::initialiseResamplers()
{
    blockResamplerInit(reverbDownsampler2, 2, 1);
    blockResamplerInit(reverbUpsampler2, 2, 0);
    blockResamplerInit(reverbDownsampler4, 4, 1);
    blockResamplerInit(reverbUpsampler4, 4, 0);
    blockResamplerInit(mainDownsampler2, 2, 1);
    blockResamplerInit(mainUpsampler2, 2, 0);
    blockResamplerInit(mainDownsampler4, 4, 1);
    blockResamplerInit(mainUpsampler4, 4, 0);
}

// Types, cleared states and cut-offs of the twelve first-order filters. The drive filters start at
// 10 kHz and 50 Hz whatever flavorDrive holds; they follow it again from its next change.
void BrondavellJuceAudioProcessor::tuneFirstOrderFilters(float baseRate)
{
    onePoleFilterSetUp(driveLowPass1, true, 10000.0f, baseRate);
    onePoleFilterSetUp(driveLowPass2, true, 10000.0f, baseRate);
    onePoleFilterSetUp(driveHighPass1, false, 50.0f, baseRate);
    onePoleFilterSetUp(driveHighPass2, false, 50.0f, baseRate);
    onePoleFilterSetUp(presenceLowPass1, true, 5000.0f, baseRate);
    onePoleFilterSetUp(presenceLowPass2, true, 5000.0f, baseRate);
    onePoleFilterSetUp(presenceHighPass1, false, 3500.0f, baseRate);
    onePoleFilterSetUp(presenceHighPass2, false, 3500.0f, baseRate);
    onePoleFilterSetUp(inputHighPass1, false, 80.0f, baseRate);
    onePoleFilterSetUp(inputHighPass2, false, 80.0f, baseRate);
    onePoleFilterSetUp(outputHighPass1, false, 40.0f, baseRate);
    onePoleFilterSetUp(outputHighPass2, false, 40.0f, baseRate);
}

void BrondavellJuceAudioProcessor::followCabinet(int cabValue, int baseRate)
{
    // With no cabinet (1) the cabinet cascades keep their tables and state.
    if (cabValue >= 2 && cabValue <= 13)
        selectCabinet(cabValue - 2, baseRate);
}

void BrondavellJuceAudioProcessor::selectCabinet(int model, int baseRate)
{
    const int rateIndex = tableIndexFor(baseRate);
    const auto& sections = kCabinetSections[rateIndex];
    biquadCascadeBind(cabinetFilter, sections.sos + 6 * kCabinetSectionsPerModel * model,
                      sections.scale + (kCabinetSectionsPerModel + 1) * model, kCabinetSectionsPerModel);
    biquadCascadeBind(cabinetLowPass, kCabinetLowPass[rateIndex].sos, kCabinetLowPass[rateIndex].scale,
                      kCabinetBandSections);
    biquadCascadeBind(cabinetHighPass, kCabinetHighPass[rateIndex].sos, kCabinetHighPass[rateIndex].scale,
                      kCabinetBandSections);
}

void BrondavellJuceAudioProcessor::releaseResources() {}

void BrondavellJuceAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    // Flush-to-zero for the block; the caller's floating-point mode returns on every path.
    const juce::ScopedNoDenormals noDenormals;

    // There is no channel 0 to read or write.
    if (buffer.getNumChannels() == 0)
        return;

    const int numSamples = buffer.getNumSamples();
    const int inputs = getTotalNumInputChannels();
    const int outputs = getTotalNumOutputChannels();
    clearChannels(buffer, inputs, outputs, numSamples);

    // Oversized blocks pass through unprocessed, and leave the block-length state as it was.
    if (numSamples > kMaxBlock)
        return;

    lastBlockSize = numSamples;
    if (numSamples != prevBlockSize || !reverbInitialised)
        prepareReverb();
    prevBlockSize = lastBlockSize;

    const double hostRate = getSampleRate();
    // Other rates pass through unprocessed, like oversized blocks, but after the bookkeeping.
    const int factor = classifyHostRate(hostRate).factor;
    if (factor == 0)
        return;
    BlockResampler* const down = factor == 4 ? &mainDownsampler4 : factor == 2 ? &mainDownsampler2 : nullptr;
    BlockResampler* const up = factor == 4 ? &mainUpsampler4 : factor == 2 ? &mainUpsampler2 : nullptr;

    float* const channel0 = buffer.getWritePointer(0);
    if (hasImplausibleInput(channel0, numSamples))
        silenceImplausibleInput(channel0, numSamples);
    SignalBlock block{ channel0, numSamples, static_cast<int32_t>(hostRate) };
    if (down != nullptr)
        blockResamplerProcess(*down, block, dspRoutines);

    processAmpChain(block);

    if (up != nullptr)
        blockResamplerProcess(*up, block, dspRoutines);

    // The way down and up gives back n rounded down to a multiple of the factor. The host
    // samples beyond that hold the last sample produced (silence when none was), never what
    // an earlier block left in the resampler's buffer.
    const float* produced = block.data;
    const int producedCount = std::min(block.numSamples, numSamples);
    const float hold = producedCount > 0 ? produced[producedCount - 1] : 0.0f;
    float* const channel1 = (outputs == 2 && buffer.getNumChannels() >= 2) ? buffer.getWritePointer(1) : nullptr;
    for (int i = 0; i < numSamples; ++i)
    {
        const float v = clip(i < producedCount ? produced[i] : hold);
        channel0[i] = v;
        if (channel1 != nullptr)
            channel1[i] = v;
    }
}

// The amplifier at the base rate, in place: each step below in this order, every operation in
// the order the sound depends on.
void BrondavellJuceAudioProcessor::processAmpChain(SignalBlock& block)
{
    if (dspRoutines != DspRoutines::plain && mergedPassesFit())
    {
        processAmpChainMerged(block);
        return;
    }
    float* const x = block.data;
    const int n = block.numSamples;
    inputStage(x, n);
    channelStage(x, n);
    powerAmpStage(x, n);
    presenceStage(x, n);
    reverbStage(x, n, block.sampleRate);
    channelVolume(x, n);
    cabinetStage(x, n);
    outputStage(x, n);
}

// The stages of processAmpChain, each sample taken through the recursions from the input
// high-pass to the first tone-stack pass, then through the second pass, the power amp and the
// presence, before the next sample. Every sample gets the stages' operations in their order, and
// the parameters are read in the stages' order (the presence at every sample).
void BrondavellJuceAudioProcessor::processAmpChainMerged(SignalBlock& block)
{
    float* const x = block.data;
    const int n = block.numSamples;
    // The input gain and the darkening filter (a wavefront over the whole block) as in inputStage;
    // the gain after the filter, or the input gain itself with bright on, goes into the pass.
    float inputGain = 2.0f;
    if (!bright->get())
    {
        scale(x, n, 2.0f);
        biquadCascadeProcess(darkeningFilter, x, n, dspRoutines);
        inputGain = 7.0f;
    }
    mergedChannelPass(x, n, inputGain);
    mergedPowerAmpPass(x, n);
    reverbStage(x, n, block.sampleRate);
    channelVolume(x, n);
    cabinetStage(x, n);
    outputStage(x, n);
}

// The merged passes take the tone stacks' four-coefficient form and the first-order filters'
// types that the set-up gives them as fixed.
bool BrondavellJuceAudioProcessor::mergedPassesFit()
{
    OnePoleFilter* const highPassFilters[] = { &inputHighPass1, &inputHighPass2 };
    OnePoleFilter* const driveFilters[] = { &driveLowPass1, &driveLowPass2, &driveHighPass1, &driveHighPass2 };
    OnePoleFilter* const bandFilters[] = { &presenceLowPass1, &presenceHighPass1, &presenceLowPass2,
                                           &presenceHighPass2 };
    return cleanToneStack.n == 4 && driveToneStack.n == 4 && InputHighPassRun::matches(highPassFilters)
        && DriveFiltersRun::matches(driveFilters) && PresenceBandRun::matches(bandFilters);
}

// inputGain, the input high-pass and channelStage up to the first tone-stack pass, as a
// wavefront (see StageWavefront.h): each filter and the shaper are a stage.
void BrondavellJuceAudioProcessor::mergedChannelPass(float* x, int n, float inputGain)
{
    OnePoleFilter* const highPassFilters[] = { &inputHighPass1, &inputHighPass2 };
    InputHighPassRun highPass(highPassFilters);
    if (chanelDrive->get())
    {
        const float gain = preGainDrive->get() * 30.0f;
        OnePoleFilter* const driveFilters[] = { &driveLowPass1, &driveLowPass2, &driveHighPass1, &driveHighPass2 };
        DriveFiltersRun filters(driveFilters);
        ToneStackRun tone(driveToneStack);
        float v[7] = {};  // v[k]: stage k's last result
        runStagesAsWavefront<8>(n, [&](int t, auto guarded) {
            const auto runs = [&](int k) { return stageRuns(t, k, n, guarded); };
            if (runs(7))
                x[t - 7] = tone(v[6]);
            for (int f = 3; f >= 0; --f)
                if (runs(f + 3))
                    v[f + 3] = filters.step(f, v[f + 2]);
            if (runs(2))
                v[2] = shaperTableLookup(preampShaper, v[1] * gain);
            if (runs(1))
                v[1] = highPass.step(1, v[0]);
            if (runs(0))
                v[0] = highPass.step(0, x[t] * inputGain);
        });
        filters.store();
        tone.store();
    }
    else
    {
        const bool boostIn = boost->get();
        const float gain = preGainClean->get();
        const bool boostOut = boost->get();
        ToneStackRun tone(cleanToneStack);
        float v[3] = {};  // v[k]: stage k's last result
        runStagesAsWavefront<4>(n, [&](int t, auto guarded) {
            const auto runs = [&](int k) { return stageRuns(t, k, n, guarded); };
            if (runs(3))
                x[t - 3] = tone(v[2]);
            if (runs(2))
            {
                float u = v[1];
                if (boostIn)
                    u = u * 3.0f;
                u = shaperTableLookup(preampShaper, u * gain);
                if (boostOut)
                    u = u * 0.3f;
                v[2] = u;
            }
            if (runs(1))
                v[1] = highPass.step(1, v[0]);
            if (runs(0))
                v[0] = highPass.step(0, x[t] * inputGain);
        });
        tone.store();
    }
    highPass.store();
}

// The second tone-stack pass of channelStage, powerAmpStage and presenceStage, as a wavefront
// over six stages: at step t stage k takes sample t - k, which stage k - 1 finished at step
// t - 1, so each step's work depends only on the step before it. Stage 0 runs the tone stack
// and the power amp into the block, stages 1 to 4 run the presence filters over its results,
// stage 5 mixes them in.
void BrondavellJuceAudioProcessor::mergedPowerAmpPass(float* x, int n)
{
    ToneStackRun tone(chanelDrive->get() ? driveToneStack : cleanToneStack);
    OnePoleFilter* const bandFilters[] = { &presenceLowPass1, &presenceHighPass1, &presenceLowPass2,
                                           &presenceHighPass2 };
    PresenceBandRun band(bandFilters);
    float v[5] = {};  // v[k]: stage k's last result
    runStagesAsWavefront<6>(n, [&](int t, auto guarded) {
        const auto runs = [&](int k) { return stageRuns(t, k, n, guarded); };
        if (runs(5))
            x[t - 5] = (presence->get() * v[4]) * 5.0f + x[t - 5];
        for (int f = 3; f >= 0; --f)
            if (runs(f + 1))
                v[f + 1] = band.step(f, v[f]);
        if (runs(0))
        {
            v[0] = shaperTableLookup(powerAmpShaper, tone(x[t]));
            x[t] = v[0];
        }
    });
    tone.store();
    band.store();
}

// Input gain, the darkening filter unless bright is on, the input high-pass.
void BrondavellJuceAudioProcessor::inputStage(float* x, int n)
{
    scale(x, n, 2.0f);
    if (!bright->get())
    {
        biquadCascadeProcess(darkeningFilter, x, n, dspRoutines);
        scale(x, n, 7.0f);
    }
    OnePoleFilter* const highPass[] = { &inputHighPass1, &inputHighPass2 };
    onePoleFilterChainProcess(highPass, 2, x, n, dspRoutines);
}

// The selected channel's gain, preamp shaper and filters, then its tone stack a second time
// (the same record: its history runs on from the first pass).
void BrondavellJuceAudioProcessor::channelStage(float* x, int n)
{
    // Deliberately no per-block snapshot: each parameter is read when its stage runs
    // (chanelDrive here, at the second tone-stack pass and at the volume).
    if (chanelDrive->get())
    {
        const float gain = preGainDrive->get() * 30.0f;
        scale(x, n, gain);
        for (int i = 0; i < n; ++i)
            x[i] = shaperTableLookup(preampShaper, x[i]);
        OnePoleFilter* const driveFilters[] = { &driveLowPass1, &driveLowPass2, &driveHighPass1, &driveHighPass2 };
        onePoleFilterChainProcess(driveFilters, 4, x, n, dspRoutines);
        toneStackProcess(driveToneStack, x, n);
    }
    else
    {
        if (boost->get())
            scale(x, n, 3.0f);
        scale(x, n, preGainClean->get());
        for (int i = 0; i < n; ++i)
            x[i] = shaperTableLookup(preampShaper, x[i]);
        if (boost->get())
            scale(x, n, 0.3f);
        toneStackProcess(cleanToneStack, x, n);
    }

    toneStackProcess(chanelDrive->get() ? driveToneStack : cleanToneStack, x, n);
}

void BrondavellJuceAudioProcessor::powerAmpStage(float* x, int n)
{
    for (int i = 0; i < n; ++i)
        x[i] = shaperTableLookup(powerAmpShaper, x[i]);
}

// Presence: a 3.5 to 5 kHz band of the block, added back.
void BrondavellJuceAudioProcessor::presenceStage(float* x, int n)
{
    std::memcpy(presenceScratch, x, sizeof(float) * static_cast<size_t>(n));
    OnePoleFilter* const band[] = { &presenceLowPass1, &presenceHighPass1, &presenceLowPass2, &presenceHighPass2 };
    onePoleFilterChainProcess(band, 4, presenceScratch, n, dspRoutines);
    for (int i = 0; i < n; ++i)  // the amount is read at every sample, deliberately
        x[i] = (presence->get() * presenceScratch[i]) * 5.0f + x[i];
}

// Reverb, at a half or a quarter of the base rate, mixed into the block.
void BrondavellJuceAudioProcessor::reverbStage(float* x, int n, int32_t sampleRate)
{
    std::memcpy(reverbScratch, x, sizeof(float) * static_cast<size_t>(n));
    SignalBlock reverbBlock{ reverbScratch, n, sampleRate };
    if (reverbConvolution.ready == 1 && reverb->get() > 0.0f)
    {
        const bool halfRate = hqReverb->get();
        blockResamplerProcess(halfRate ? reverbDownsampler2 : reverbDownsampler4, reverbBlock, dspRoutines);
        convolutionReverbProcess(reverbConvolution, reverbBlock.data, dspRoutines);
        blockResamplerProcess(halfRate ? reverbUpsampler2 : reverbUpsampler4, reverbBlock, dspRoutines);

        // The samples beyond the up-resampler's count get its last wet sample (silence when it
        // produced none), never what an earlier block left in its buffer.
        const float* wet = reverbBlock.data;
        const int wetCount = std::min(reverbBlock.numSamples, n);
        const float hold = wetCount > 0 ? wet[wetCount - 1] : 0.0f;
        // The amount is read at every sample; the wet gain is 0.05, not 0.5: both deliberate.
        for (int i = 0; i < n; ++i)
            x[i] = (reverb->get() * (i < wetCount ? wet[i] : hold)) * 0.05f + x[i];
    }
}

void BrondavellJuceAudioProcessor::channelVolume(float* x, int n)
{
    if (chanelDrive->get())
    {
        scale(x, n, volumeDrive->get());
    }
    else
    {
        const float volume = volumeClean->get() * 4.0f;
        scale(x, n, volume);
    }
}

// The cabinet's cascades, or a fixed attenuation with no cabinet (1).
void BrondavellJuceAudioProcessor::cabinetStage(float* x, int n)
{
    if (cab->get() < 2)
    {
        scale(x, n, 0.3f);
    }
    else
    {
        BiquadCascade* const cabinet[] = { &cabinetFilter, &cabinetLowPass, &cabinetHighPass };
        biquadCascadeChainProcess(cabinet, 3, x, n, dspRoutines);
    }
}

void BrondavellJuceAudioProcessor::outputStage(float* x, int n)
{
    OnePoleFilter* const highPass[] = { &outputHighPass1, &outputHighPass2 };
    onePoleFilterChainProcess(highPass, 2, x, n, dspRoutines);
}

void BrondavellJuceAudioProcessor::prepareReverb()
{
    // The engine's sizes depend on the block length: nothing to do before the first block.
    if (lastBlockSize == 0)
        return;

    // Deliberately the host rate truncated to whole Hz, where the block frame compares exactly:
    // a rate such as 96000.5 gets the 96 kHz set-up here, though its blocks are not processed.
    const HostRate rate = classifyHostRate(truncatedRate(getSampleRate()));
    const int baseRate = rate.baseRate;
    const int a = rate.factor > 1 ? lastBlockSize / rate.factor : lastBlockSize;

    // The engine is off from here until it is configured again (the accumulator is cleared by the
    // configuration itself, or below on the path that skips it).
    reverbConvolution.ready = 0;

    const bool type2 = reverbType2->get();
    const auto& impulse = (type2 ? kReverbImpulseType2 : kReverbImpulseType1)[tableIndexFor(baseRate)];
    const int32_t c = hqReverb->get() ? 2 : 4;
    decimationFilterSetUp(decimationFilter, c);
    decimatedIr = decimatedReverbResponse(type2, tableIndexFor(baseRate), c).samples;

    if (a < 1)
    {
        // No block at the base rate to serve: the reverb stays off until the block length or a
        // reverb switch changes.
        std::memset(reverbConvolution.accumulator, 0, sizeof(reverbConvolution.accumulator));
        reverbInitialised = true;
        return;
    }

    const int32_t h = std::min(128, std::max(1, 1024 / a));

    // Sizes, FFT size choice and partition spectra; leaves the engine off when no partitioning
    // fits its capacities.
    convolutionReverbConfigure(reverbConvolution, decimatedIr, impulse.length / c, a / c, h, kFftSizeCosts,
                               dspRoutines);
    reverbInitialised = true;
}

double BrondavellJuceAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool BrondavellJuceAudioProcessor::acceptsMidi() const { return false; }
bool BrondavellJuceAudioProcessor::producesMidi() const { return false; }
bool BrondavellJuceAudioProcessor::isMidiEffect() const { return false; }

juce::AudioProcessorEditor* BrondavellJuceAudioProcessor::createEditor()
{
    return new BrondavellJuceAudioProcessorEditor(*this);
}

bool BrondavellJuceAudioProcessor::hasEditor() const { return true; }
int BrondavellJuceAudioProcessor::getNumPrograms() { return 1; }
int BrondavellJuceAudioProcessor::getCurrentProgram() { return 0; }
void BrondavellJuceAudioProcessor::setCurrentProgram(int) {}
const juce::String BrondavellJuceAudioProcessor::getProgramName(int) { return {}; }
void BrondavellJuceAudioProcessor::changeProgramName(int, const juce::String&) {}

void BrondavellJuceAudioProcessor::audioProcessorChanged(juce::AudioProcessor*,
                                                         const juce::AudioProcessorListener::ChangeDetails&)
{}

// The framework's juce::AudioProcessor-level ID query, without its deprecated per-index form.
static juce::String parameterIdAt(const juce::AudioProcessor& processor, int index)
{
    if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(processor.getParameters()[index]))
        return withId->getParameterID();
    return {};
}

void BrondavellJuceAudioProcessor::retuneDriveFilters(float flavor, int baseRate)
{
    int low = 10000;
    int high = 20;
    if (flavor < 1.0f)
    {
        const float product = flavor * 7000.0f;
        low = truncatedCutoff(product + 3000.0f, 3000);
    }
    else
    {
        const float difference = flavor - 1.0f;
        const float product = difference * 200.0f;
        high = truncatedCutoff(product + 20.0f, 20);
    }

    // Only the coefficients change: the signal runs on through the filters without a reset.
    const auto rate = static_cast<float>(baseRate);
    onePoleFilterSetCutoff(driveLowPass1, static_cast<float>(low), rate);
    onePoleFilterSetCutoff(driveLowPass2, static_cast<float>(low), rate);
    onePoleFilterSetCutoff(driveHighPass1, static_cast<float>(high), rate);
    onePoleFilterSetCutoff(driveHighPass2, static_cast<float>(high), rate);
}

// Whether a parameter holds what a host's NaN leaves in it: NaN itself in a continuous or on/off
// parameter; in a whole-number parameter a value outside its range, as the framework's rounding
// turns NaN into a number (0 for the usual NaN, other whole numbers for other NaNs). No other
// value leaves the range.
static bool holdsHostNaN(juce::AudioProcessorParameter& parameter)
{
    if (auto* whole = dynamic_cast<juce::AudioParameterInt*>(&parameter))
        return whole->get() < whole->getRange().getStart() || whole->get() > whole->getRange().getEnd();
    return std::isnan(parameter.getValue());
}

// Each reaction reads the parameter values it needs inside the callback lock, together with the
// rewrite they feed. Reactions to changes on different threads then apply in the order they get
// the lock, and the last one always sees the latest values: none is lost to a stale write.
void BrondavellJuceAudioProcessor::audioProcessorParameterChanged(juce::AudioProcessor*, int parameterIndex, float)
{
    // A host may send a value that is not a number. Kept, every stage reading it would turn the
    // signal and the filter states into NaN for good, and `cab` would hold a number outside 1..13
    // (0 for the usual NaN: no cabinet). The parameter takes its default instead, before anything
    // reads it, and the host is told where it can be.
    if (auto* parameter = getParameters()[parameterIndex]; parameter != nullptr && holdsHostNaN(*parameter))
    {
        parameter->setValue(parameter->getDefaultValue());
        tellHostLater(parameterIndex);
    }

    const int baseRate = classifyHostRate(getSampleRate()).baseRate;

    if (parameterIdAt(*this, parameterIndex) == "cab")
    {
        const juce::ScopedLock lock(getCallbackLock());
        followCabinet(cab->get(), baseRate);
    }

    {
        const auto id = parameterIdAt(*this, parameterIndex);
        if (id == "reverbType2" || id == "hqReverb")
        {
            const juce::ScopedLock lock(getCallbackLock());
            // A restore prepares the reverb once, at its end, from the values it leaves.
            if (restoresInProgress == 0)
                prepareReverb();
        }
    }

    if (parameterIdAt(*this, parameterIndex) == "flavorDrive")
    {
        const juce::ScopedLock lock(getCallbackLock());
        retuneDriveFilters(flavorDrive->get(), baseRate);
    }

    {
        const auto id = parameterIdAt(*this, parameterIndex);
        if (id.contains("bassClean") || id.contains("mediumClean") || id.contains("highClean"))
        {
            const juce::ScopedLock lock(getCallbackLock());
            toneStackSetControls(cleanToneStack, bassClean->get(), mediumClean->get(), highClean->get());
        }
    }

    {
        const auto id = parameterIdAt(*this, parameterIndex);
        if (id.contains("bassDrive") || id.contains("mediumDrive") || id.contains("highDrive"))
        {
            const juce::ScopedLock lock(getCallbackLock());
            toneStackSetControls(driveToneStack, bassDrive->get(), mediumDrive->get(), highDrive->get());
        }
    }
}

// Tells the host the value a parameter holds now, once the host's call that changed it has
// returned: the wrappers do not pass on a notification made while they deliver a host's change,
// and the host may not be called back from inside its own call. Only from the message thread,
// where posting may allocate; a change that arrives on another thread (a VST3 process call, an
// LV2 run, a VST3 controller call on a thread that is not the message thread) may be on the audio
// thread, and there the host keeps the value it sent.
void BrondavellJuceAudioProcessor::tellHostLater(int parameterIndex)
{
    if (!juce::MessageManager::existsAndIsCurrentThread())
        return;
    callLaterOnMessageThread([parameterIndex](BrondavellJuceAudioProcessor& processor) {
        if (auto* parameter = processor.getParameters()[parameterIndex])
            parameter->setValueNotifyingHost(parameter->getValue());
    });
}

void BrondavellJuceAudioProcessor::callLaterOnMessageThread(std::function<void(BrondavellJuceAudioProcessor&)> call)
{
    juce::MessageManager::callAsync([handle = messageThreadHandle, call = std::move(call)] {
        const std::lock_guard<std::mutex> guard(handle->lock);
        if (handle->processor != nullptr)
            call(*handle->processor);
    });
}

// A state restore calls beginRestore before its first parameter change and finishRestore as its
// closing preparation. In between, the reverb switches' reactions skip their set-ups: the closing
// preparation rebuilds the reverb from the values the restore leaves (and from any that other
// threads set meanwhile, since it reads them inside the lock after the count drops). So a restore
// rebuilds the reverb once, and holds the lock no longer than one preparation at a time.
void BrondavellJuceAudioProcessor::beginRestore()
{
    const juce::ScopedLock lock(getCallbackLock());
    ++restoresInProgress;
}

void BrondavellJuceAudioProcessor::finishRestore()
{
    // lastBlockSize is the audio thread's: read it where no block runs.
    const juce::ScopedLock lock(getCallbackLock());
    --restoresInProgress;
    prepareToPlay(getSampleRate(), lastBlockSize);
}

// The framework's plug-in clients create one processor per instance through this hook.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new BrondavellJuceAudioProcessor(); }
