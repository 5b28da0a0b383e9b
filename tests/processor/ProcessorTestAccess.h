#pragma once
// Test-only view of the processor's prepared DSP state, plus small helpers shared by the
// processor tests. The processor names this struct as its only friend.
#include "PluginProcessor.h"

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "AudioTables.h"
#include "PluginEditor.h"

struct ProcessorTestAccess
{
    using Processor = BrondavellJuceAudioProcessor;

    static int32_t& lastBlockSize(Processor& p) { return p.lastBlockSize; }
    static int32_t& prevBlockSize(Processor& p) { return p.prevBlockSize; }
    static bool& reverbInitialised(Processor& p) { return p.reverbInitialised; }
    static ConvolutionReverb& reverb(Processor& p) { return p.reverbConvolution; }
    static const float* decimatedIr(Processor& p) { return p.decimatedIr; }
    static DecimationFilter& decimation(Processor& p) { return p.decimationFilter; }
    static BiquadCascade& cabinetFilter(Processor& p) { return p.cabinetFilter; }
    static BiquadCascade& cabinetLowPass(Processor& p) { return p.cabinetLowPass; }
    static BiquadCascade& cabinetHighPass(Processor& p) { return p.cabinetHighPass; }
    static BiquadCascade& darkening(Processor& p) { return p.darkeningFilter; }
    static ToneStack& cleanStack(Processor& p) { return p.cleanToneStack; }
    static ToneStack& driveStack(Processor& p) { return p.driveToneStack; }
    static ShaperTable& preamp(Processor& p) { return p.preampShaper; }
    static ShaperTable& powerAmp(Processor& p) { return p.powerAmpShaper; }
    static void prepareReverb(Processor& p) { p.prepareReverb(); }

    // The twelve first-order filters by member name; null for an unknown name.
    static OnePoleFilter* filter(Processor& p, const std::string& name)
    {
        const std::pair<const char*, OnePoleFilter*> filters[] = {
            { "driveLowPass1", &p.driveLowPass1 },       { "driveLowPass2", &p.driveLowPass2 },
            { "driveHighPass1", &p.driveHighPass1 },     { "driveHighPass2", &p.driveHighPass2 },
            { "inputHighPass1", &p.inputHighPass1 },     { "inputHighPass2", &p.inputHighPass2 },
            { "outputHighPass1", &p.outputHighPass1 },   { "outputHighPass2", &p.outputHighPass2 },
            { "presenceLowPass1", &p.presenceLowPass1 }, { "presenceHighPass1", &p.presenceHighPass1 },
            { "presenceLowPass2", &p.presenceLowPass2 }, { "presenceHighPass2", &p.presenceHighPass2 },
        };
        for (const auto& [filterName, pointer] : filters)
            if (name == filterName)
                return pointer;
        return nullptr;
    }

    // The eight resamplers by member name; null for an unknown name.
    static BlockResampler* resampler(Processor& p, const std::string& name)
    {
        const std::pair<const char*, BlockResampler*> resamplers[] = {
            { "reverbDownsampler2", &p.reverbDownsampler2 }, { "reverbUpsampler2", &p.reverbUpsampler2 },
            { "reverbDownsampler4", &p.reverbDownsampler4 }, { "reverbUpsampler4", &p.reverbUpsampler4 },
            { "mainDownsampler2", &p.mainDownsampler2 },     { "mainUpsampler2", &p.mainUpsampler2 },
            { "mainDownsampler4", &p.mainDownsampler4 },     { "mainUpsampler4", &p.mainUpsampler4 },
        };
        for (const auto& [resamplerName, pointer] : resamplers)
            if (name == resamplerName)
                return pointer;
        return nullptr;
    }
};

namespace brondavell::test
{
using Access = ProcessorTestAccess;

// Records every parameter change notified to the processor's listeners (hosts learn of changes
// this way), in order.
struct NotificationRecorder : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float value) override
    {
        notified.emplace_back(index, value);
    }
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override {}
    std::vector<std::pair<int, float>> notified;
};

inline std::unique_ptr<BrondavellJuceAudioProcessor> makeProcessor()
{
    return std::make_unique<BrondavellJuceAudioProcessor>();
}

// The parameter with this ID; null when there is none.
inline juce::AudioProcessorParameter* parameterById(BrondavellJuceAudioProcessor& p, const juce::String& id)
{
    for (auto* parameter : p.getParameters())
        if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(parameter))
            if (withId->getParameterID() == id)
                return parameter;
    return nullptr;
}

// An editor opened the way the framework opens one (registered as the processor's active editor)
// and closed the way it closes one (unregistered, then deleted).
class OpenEditor
{
public:
    explicit OpenEditor(BrondavellJuceAudioProcessor& p)
        : processor(p), editor(dynamic_cast<BrondavellJuceAudioProcessorEditor*>(p.createEditorIfNeeded()))
    {}
    ~OpenEditor() { close(); }
    OpenEditor(const OpenEditor&) = delete;
    OpenEditor& operator=(const OpenEditor&) = delete;

    void close()
    {
        if (editor == nullptr)
            return;
        processor.editorBeingDeleted(editor);
        delete editor;
        editor = nullptr;
    }
    BrondavellJuceAudioProcessorEditor* get() const { return editor; }
    BrondavellJuceAudioProcessorEditor* operator->() const { return editor; }

private:
    BrondavellJuceAudioProcessor& processor;
    BrondavellJuceAudioProcessorEditor* editor;
};

// Sets a parameter's plain value through the notifying path, as the host does.
template <typename Parameter, typename Value>
void setPlain(Parameter* parameter, Value plain)
{
    parameter->setValueNotifyingHost(parameter->convertTo0to1(static_cast<float>(plain)));
}

// The wrapper's part of a host preparation: channel layout and rate, then prepareToPlay.
inline void prepare(BrondavellJuceAudioProcessor& p, double rate, int inputs = 1, int outputs = 2, int block = 512)
{
    p.setPlayConfigDetails(inputs, outputs, rate, block);
    p.prepareToPlay(rate, block);
}

// The processor's saved state, as a host stores it.
inline juce::MemoryBlock save(BrondavellJuceAudioProcessor& p)
{
    juce::MemoryBlock blob;
    p.getStateInformation(blob);
    return blob;
}

// A saved state handed back, as a host restores it.
inline void restore(BrondavellJuceAudioProcessor& p, const juce::MemoryBlock& blob)
{
    p.setStateInformation(blob.getData(), static_cast<int>(blob.getSize()));
}

// One block through processBlock inside the callback lock, as the wrapper calls it.
inline void processLocked(BrondavellJuceAudioProcessor& p, juce::AudioBuffer<float>& buffer)
{
    juce::MidiBuffer midi;
    const juce::ScopedLock lock(p.getCallbackLock());
    p.processBlock(buffer, midi);
}

// A block of `length` samples of a quiet two-tone test signal on every channel, processed once.
inline juce::AudioBuffer<float> processSignal(BrondavellJuceAudioProcessor& p, int length, int channels = 2,
                                              int startSample = 0)
{
    juce::AudioBuffer<float> buffer(channels, length);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < length; ++i)
        {
            const double t = (startSample + i) / 44100.0;
            buffer.setSample(c, i,
                             static_cast<float>(0.2 * std::sin(2.0 * 3.14159265 * 220.0 * t)
                                                + 0.1 * std::sin(2.0 * 3.14159265 * 1870.0 * t)));
        }
    processLocked(p, buffer);
    return buffer;
}

// Everything that a preparation, a reaction or the reverb set-up computes, as comparable bytes.
// Filter and reverb histories are left out: they depend on the audio processed.
struct PreparedState
{
    std::string bytes;
    bool operator==(const PreparedState& other) const { return bytes == other.bytes; }
    bool operator!=(const PreparedState& other) const { return bytes != other.bytes; }
};

// Test output shows a digest, not the bytes.
inline void PrintTo(const PreparedState& state, std::ostream* os)
{
    *os << state.bytes.size() << " bytes, hash " << std::hash<std::string>{}(state.bytes);
}

inline PreparedState preparedState(BrondavellJuceAudioProcessor& p)
{
    std::string bytes;
    const auto add = [&bytes](const void* data, size_t size) { bytes.append(static_cast<const char*>(data), size); };
    const auto addCascade = [&add](const BiquadCascade& c) {
        add(&c.sos, sizeof(c.sos));
        add(&c.scale, sizeof(c.scale));
        add(&c.nSections, sizeof(c.nSections));
    };
    const auto addStack = [&add](const ToneStack& s) {
        add(s.b, sizeof(s.b));
        add(s.a, sizeof(s.a));
        add(s.comp, sizeof(s.comp));
        add(s.terms, sizeof(s.terms));
        add(&s.T, sizeof(float) * 4);  // T, c, c2, c3
    };
    addCascade(Access::cabinetFilter(p));
    addCascade(Access::cabinetLowPass(p));
    addCascade(Access::cabinetHighPass(p));
    addCascade(Access::darkening(p));
    addStack(Access::cleanStack(p));
    addStack(Access::driveStack(p));
    for (const auto* name : { "driveLowPass1", "driveLowPass2", "driveHighPass1", "driveHighPass2", "inputHighPass1",
                              "inputHighPass2", "outputHighPass1", "outputHighPass2", "presenceLowPass1",
                              "presenceHighPass1", "presenceLowPass2", "presenceHighPass2" })
    {
        const auto* f = Access::filter(p, name);
        add(&f->isLowpass, sizeof(f->isLowpass));
        add(&f->coef, sizeof(f->coef));
    }
    for (const auto* shaper : { &Access::preamp(p), &Access::powerAmp(p) })
    {
        add(&shaper->table, sizeof(shaper->table));
        add(&shaper->offset, sizeof(shaper->offset));
        add(&shaper->size, sizeof(shaper->size));
    }
    const auto& r = Access::reverb(p);
    add(&r.ready, sizeof(r.ready));
    add(&r.impulseLength, sizeof(r.impulseLength));
    add(&r.blockLength, sizeof(r.blockLength));
    add(&r.fftSize, sizeof(r.fftSize));
    add(&r.partitionLength, sizeof(r.partitionLength));
    add(&r.blocksPerStep, sizeof(r.blocksPerStep));
    add(&r.stepLength, sizeof(r.stepLength));
    add(&r.partitionsPerCall, sizeof(r.partitionsPerCall));
    if (r.ready == 1)
    {
        const int64_t spectra = (r.impulseLength / r.partitionLength + 1) * 2 * static_cast<int64_t>(r.fftSize);
        add(r.partitionSpectra, sizeof(float) * static_cast<size_t>(spectra));
    }
    const auto& d = Access::decimation(p);
    add(&d.order, sizeof(d.order));
    add(&d.factor, sizeof(d.factor));
    add(&d.coefficients, sizeof(d.coefficients));
    add(&Access::reverbInitialised(p), sizeof(bool));
    return { bytes };
}
}
