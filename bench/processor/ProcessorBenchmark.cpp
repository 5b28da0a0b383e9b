// The reverb set-up's duration for the worked examples. (processBlock's cost per host sample is
// measured by bench_processor_blocks.)
#include "PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{

template <typename Parameter, typename Value>
void setPlain(Parameter* parameter, Value plain)
{
    parameter->setValueNotifyingHost(parameter->convertTo0to1(static_cast<float>(plain)));
}

struct Example
{
    double rate;
    int block;
    bool hq, type2;
};
const Example kExamples[] = {
    { 44100, 512, false, false }, { 44100, 512, true, false }, { 44100, 512, false, true },
    { 44100, 64, false, false },  { 48000, 256, false, true }, { 96000, 1024, true, true },
    { 48000, 1024, false, true }, { 44100, 2048, true, true },
};

// The reverb set-up for one worked example, run through the hqReverb reaction with its value
// unchanged (the reaction is the set-up plus a few string comparisons).
void prepareReverbDuration(benchmark::State& state)
{
    const auto& e = kExamples[state.range(0)];
    auto p = std::make_unique<BrondavellJuceAudioProcessor>();
    setPlain(p->hqReverb, e.hq ? 1 : 0);
    setPlain(p->reverbType2, e.type2 ? 1 : 0);
    p->setPlayConfigDetails(1, 2, e.rate, e.block);
    p->prepareToPlay(e.rate, e.block);
    juce::AudioBuffer<float> buffer(2, e.block);
    buffer.clear();
    juce::MidiBuffer midi;
    p->processBlock(buffer, midi);
    const float hq = static_cast<juce::AudioProcessorParameter*>(p->hqReverb)->getValue();
    for (auto _ : state)
        p->hqReverb->setValueNotifyingHost(hq);
    state.SetLabel(juce::String(e.rate / 1000.0, 1).toStdString() + " kHz, block " + std::to_string(e.block)
                   + (e.hq ? ", hq" : "") + (e.type2 ? ", type 2" : ", type 1"));
}
BENCHMARK(prepareReverbDuration)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);
}

int main(int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
