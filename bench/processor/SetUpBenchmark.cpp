// What a set-up costs the thread that waits for it.
//
//   bench_setup sweep    the reverb set-up for every host block length from 1 to 8192 at the six
//                        rates, with hqReverb off and on and both impulse responses; prints the
//                        median and the worst cases (each worst case timed again, its median of
//                        several runs reported).
//   bench_setup restore  state restores landing while a paced audio thread plays 64-sample blocks
//                        at 48 kHz; prints the median and the worst block, the wait for the
//                        callback lock included.
//   bench_setup case 48000 11 1 2
//                        one case (rate, host block, hqReverb 0/1, type 1/2), timed 25 times.
// With no argument the sweep and the restores run.
#include "PluginProcessor.h"
#include "RestoreWhilePlaying.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{
using brondavell::bench::Clock;
using brondavell::bench::median;
using brondavell::bench::millisecondsSince;

constexpr double kRates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
constexpr int kMaxBlock = 8192;

template <typename Parameter, typename Value>
void setPlain(Parameter* parameter, Value plain)
{
    parameter->setValueNotifyingHost(parameter->convertTo0to1(static_cast<float>(plain)));
}

// One processor per rate and reverb setting; a block of the wanted length sets its block length,
// then the hqReverb reaction (value unchanged) runs the set-up alone and is timed.
class SetUpProbe
{
public:
    SetUpProbe(double rate, bool hq, bool type2) : processor(std::make_unique<BrondavellJuceAudioProcessor>())
    {
        setPlain(processor->hqReverb, hq ? 1 : 0);
        setPlain(processor->reverbType2, type2 ? 1 : 0);
        processor->setPlayConfigDetails(1, 2, rate, kMaxBlock);
        processor->prepareToPlay(rate, kMaxBlock);
        hqValue = static_cast<juce::AudioProcessorParameter*>(processor->hqReverb)->getValue();
    }

    double time(int block)
    {
        if (block != currentBlock)
        {
            juce::AudioBuffer<float> buffer(2, block);
            buffer.clear();
            juce::MidiBuffer midi;
            const juce::ScopedLock lock(processor->getCallbackLock());
            processor->processBlock(buffer, midi);
            currentBlock = block;
        }
        const auto start = Clock::now();
        processor->hqReverb->setValueNotifyingHost(hqValue);
        return millisecondsSince(start);
    }

private:
    std::unique_ptr<BrondavellJuceAudioProcessor> processor;
    float hqValue = 0.0f;
    int currentBlock = -1;
};

struct Case
{
    double ms;
    int rate, block;
    bool hq, type2;
};

std::string describe(const Case& c)
{
    char text[96];
    std::snprintf(text, sizeof(text), "%6.1f kHz, block %4d, %s, type %d", c.rate / 1000.0, c.block,
                  c.hq ? "hq on " : "hq off", c.type2 ? 2 : 1);
    return text;
}

void sweep()
{
    std::vector<Case> cases;
    cases.reserve(6 * 4 * kMaxBlock);
    for (const double rate : kRates)
        for (const bool hq : { false, true })
            for (const bool type2 : { false, true })
            {
                SetUpProbe probe(rate, hq, type2);
                for (int block = 1; block <= kMaxBlock; ++block)
                {
                    // The fastest of three runs: a single run is easily stretched by other work.
                    double fastest = probe.time(block);
                    for (int run = 1; run < 3; ++run)
                        fastest = std::min(fastest, probe.time(block));
                    cases.push_back({ fastest, static_cast<int>(rate), block, hq, type2 });
                }
            }

    std::vector<double> all;
    all.reserve(cases.size());
    for (const auto& c : cases)
        all.push_back(c.ms);
    std::printf("reverb set-up over %zu cases (fastest of 3 runs each): median %.3f ms, maximum %.3f ms\n",
                cases.size(), median(all), *std::max_element(all.begin(), all.end()));

    // The slowest cases are timed again and ranked by their median.
    std::sort(cases.begin(), cases.end(), [](const Case& x, const Case& y) { return x.ms > y.ms; });
    cases.resize(std::min<size_t>(cases.size(), 40));
    for (auto& c : cases)
    {
        SetUpProbe probe(c.rate, c.hq, c.type2);
        std::vector<double> runs;
        for (int i = 0; i < 9; ++i)
            runs.push_back(probe.time(c.block));
        c.ms = median(runs);
    }
    std::sort(cases.begin(), cases.end(), [](const Case& x, const Case& y) { return x.ms > y.ms; });
    std::printf("worst cases (median of 9 runs):\n");
    for (size_t i = 0; i < 10 && i < cases.size(); ++i)
        std::printf("  %.3f ms  %s\n", cases[i].ms, describe(cases[i]).c_str());
}

// Random settings with the reverb on; the reverb switches alternate so that every restore changes
// the reverb's configuration.
std::vector<juce::MemoryBlock> restoreStates(int count)
{
    std::vector<juce::MemoryBlock> states;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const auto source = std::make_unique<BrondavellJuceAudioProcessor>();
    for (int i = 0; i < count; ++i)
    {
        for (auto* parameter : source->getParameters())
            parameter->setValueNotifyingHost(unit(random));
        setPlain(source->reverb, 0.5f);
        setPlain(source->hqReverb, (i / 2) % 2);
        setPlain(source->reverbType2, i % 2);
        juce::MemoryBlock blob;
        source->getStateInformation(blob);
        states.push_back(blob);
    }
    return states;
}

void restoreWhilePlaying()
{
    constexpr double rate = 48000.0;
    constexpr int block = 64;
    constexpr int restores = 300;
    auto processor = std::make_unique<BrondavellJuceAudioProcessor>();
    setPlain(processor->reverb, 0.5f);
    setPlain(processor->chanelDrive, 1);
    processor->setPlayConfigDetails(1, 2, rate, block);
    processor->prepareToPlay(rate, block);
    const auto states = restoreStates(8);
    juce::AudioBuffer<float> buffer(2, block);
    juce::MidiBuffer midi;
    brondavell::bench::reportRestoresWhilePlaying(
        "restore while playing", rate, block, restores, buffer.getWritePointer(0), processor->getCallbackLock(),
        [&] { processor->processBlock(buffer, midi); }, states,
        [&](const juce::MemoryBlock& blob) {
            processor->setStateInformation(blob.getData(), static_cast<int>(blob.getSize()));
        },
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(3)); });
}
}

// One case, timed repeatedly: rate, host block length, hq (0/1), type (1/2).
void single(double rate, int block, bool hq, bool type2)
{
    SetUpProbe probe(rate, hq, type2);
    std::vector<double> runs;
    for (int i = 0; i < 25; ++i)
        runs.push_back(probe.time(block));
    const Case c{ median(runs), static_cast<int>(rate), block, hq, type2 };
    std::printf("%s: median %.3f ms, fastest %.3f ms over 25 runs\n", describe(c).c_str(), c.ms,
                *std::min_element(runs.begin(), runs.end()));
}

int main(int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "case" && argc == 6)
    {
        single(std::atof(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]) != 0, std::atoi(argv[5]) == 2);
        return 0;
    }
    if (what.empty() || what == "sweep")
        sweep();
    if (what.empty() || what == "restore")
        restoreWhilePlaying();
    if (!what.empty() && what != "sweep" && what != "restore")
    {
        std::fprintf(stderr, "usage: bench_setup [sweep|restore|case RATE BLOCK HQ TYPE]\n");
        return 2;
    }
    return 0;
}
