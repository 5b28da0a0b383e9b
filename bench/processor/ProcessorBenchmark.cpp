// processBlock's cost per host sample at the six rates and four block lengths, for the default
// settings and for everything on; and the reverb set-up's duration for the worked examples.
#include "PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr double kRates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };

template <typename Parameter, typename Value>
void setPlain(Parameter* parameter, Value plain)
{
    parameter->setValueNotifyingHost(parameter->convertTo0to1(static_cast<float>(plain)));
}

// Drive channel, bright off, presence 1, reverb 0.5 with hqReverb on, a cabinet.
void everythingOn(BrondavellJuceAudioProcessor& p)
{
    setPlain(p.chanelDrive, 1);
    setPlain(p.bright, 0);
    setPlain(p.presence, 1.0f);
    setPlain(p.reverb, 0.5f);
    setPlain(p.hqReverb, 1);
    setPlain(p.cab, 5);
}

std::vector<float> guitarLikeInput(int length, double rate)
{
    std::vector<float> samples(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
    {
        const double t = i / rate;
        samples[static_cast<size_t>(i)] = static_cast<float>(0.2 * std::sin(2.0 * 3.14159265 * 110.0 * t)
                                                             + 0.05 * std::sin(2.0 * 3.14159265 * 1234.0 * t));
    }
    return samples;
}

// Arguments: rate index, block length, settings (0 defaults, 1 everything on).
void processBlockPerSample(benchmark::State& state)
{
    const double rate = kRates[state.range(0)];
    const int block = static_cast<int>(state.range(1));
    auto p = std::make_unique<BrondavellJuceAudioProcessor>();
    if (state.range(2) == 1)
        everythingOn(*p);
    p->setPlayConfigDetails(1, 2, rate, block);
    p->prepareToPlay(rate, block);

    const auto input = guitarLikeInput(block * 64, rate);
    juce::AudioBuffer<float> buffer(2, block);
    juce::MidiBuffer midi;
    size_t position = 0;
    const auto next = [&] {
        std::memcpy(buffer.getWritePointer(0), input.data() + position, sizeof(float) * static_cast<size_t>(block));
        position = (position + static_cast<size_t>(block)) % input.size();
    };
    for (int i = 0; i < 16; ++i)  // past the first block's reverb set-up
    {
        next();
        p->processBlock(buffer, midi);
    }
    for (auto _ : state)
    {
        next();
        p->processBlock(buffer, midi);
        benchmark::ClobberMemory();
    }
    state.counters["per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * block,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(state.range(2) == 1 ? "everything on" : "defaults");
}

void processBlockArguments(benchmark::internal::Benchmark* b)
{
    for (int settings : { 0, 1 })
        for (int rate = 0; rate < 6; ++rate)
            for (int block : { 64, 128, 512, 2048 })
                b->Args({ rate, block, settings });
}
BENCHMARK(processBlockPerSample)->Apply(processBlockArguments)->Unit(benchmark::kMicrosecond);

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
