// processBlock's CPU cost per host sample, fast routines next to the plain ones in the same run.
//
// For each setting three processors get the same input; their blocks alternate, one with the
// plain routines selected, one with the fast ones (the widest lanes the processor has) and one
// with the baseline ones (SSE2 lanes only), so all see the same machine conditions.
// Each block's CPU time (this thread's) is taken; the run repeats the same input several times
// and every block position keeps its median over the repetitions. Printed per setting: the mean
// cost per host sample of each form (median over repetitions), the plain-to-fast ratio, and for
// the plain and the fast forms the heaviest block position against the median one (the reverb's
// completing calls are the heavy ones).
// All forms must give the same output; a difference is reported and fails the run.
//
// Usage: bench_processor_blocks [--all] [--repetitions N]
//   default: the settings of the performance targets; --all: six rates x four block lengths x
//   defaults and everything on with either reverb type.
#include "PluginProcessor.h"

#include "RoutineChoice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace
{
template <typename Parameter, typename Value>
void setPlain(Parameter* parameter, Value plain)
{
    parameter->setValueNotifyingHost(parameter->convertTo0to1(static_cast<float>(plain)));
}

enum class Settings
{
    defaults,
    everythingOnType1,
    everythingOnType2,
    driveCabinetNoReverb
};

const char* describe(Settings s)
{
    switch (s)
    {
    case Settings::defaults:
        return "defaults (clean, bright on, presence 0.5, reverb 0, cabinet 8)";
    case Settings::everythingOnType1:
        return "everything on (drive, bright off, presence 1, reverb 0.5 HQ, cabinet 5), reverb type 1";
    case Settings::everythingOnType2:
        return "everything on (drive, bright off, presence 1, reverb 0.5 HQ, cabinet 5), reverb type 2";
    case Settings::driveCabinetNoReverb:
        return "drive + cabinet 5, reverb off";
    }
    return "";
}

void apply(BrondavellJuceAudioProcessor& p, Settings s, bool reverbOn)
{
    if (s == Settings::defaults)
        return;
    setPlain(p.chanelDrive, 1);
    setPlain(p.cab, 5);
    if (s == Settings::driveCabinetNoReverb)
        return;
    setPlain(p.bright, 0);
    setPlain(p.presence, 1.0f);
    setPlain(p.reverb, reverbOn ? 0.5f : 0.0f);
    setPlain(p.hqReverb, 1);
    setPlain(p.reverbType2, s == Settings::everythingOnType2 ? 1 : 0);
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

double threadCpuNanoseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct Player
{
    std::unique_ptr<BrondavellJuceAudioProcessor> processor;
    juce::AudioBuffer<float> buffer;
    juce::MidiBuffer midi;
};

Player makePlayer(double rate, int block, Settings s, bool reverbOn)
{
    Player player{ std::make_unique<BrondavellJuceAudioProcessor>(), juce::AudioBuffer<float>(2, block), {} };
    apply(*player.processor, s, reverbOn);
    player.processor->setPlayConfigDetails(1, 2, rate, block);
    player.processor->prepareToPlay(rate, block);
    return player;
}

// Runs one block of `input` from `at`; returns the block's CPU time in ns.
double play(Player& player, const std::vector<float>& input, size_t at, int block, DspRoutines routines)
{
    std::memcpy(player.buffer.getWritePointer(0), input.data() + at, sizeof(float) * static_cast<size_t>(block));
    player.processor->dspRoutines = routines;
    const double start = threadCpuNanoseconds();
    player.processor->processBlock(player.buffer, player.midi);
    return threadCpuNanoseconds() - start;
}

// Whether the reverb changes the output at all: the same input with reverb 0.5 and with reverb
// 0. At some rates and block lengths the reverb has no partitioning and never runs.
bool reverbRuns(double rate, int block, Settings s)
{
    if (s != Settings::everythingOnType1 && s != Settings::everythingOnType2)
        return false;
    Player with = makePlayer(rate, block, s, true), without = makePlayer(rate, block, s, false);
    const int blocks = static_cast<int>(2.0 * rate / block) + 1;
    const auto input = guitarLikeInput(block * blocks, rate);
    for (int k = 0; k < blocks; ++k)
    {
        const size_t at = static_cast<size_t>(k) * static_cast<size_t>(block);
        play(with, input, at, block, dspFastestRoutines());
        play(without, input, at, block, dspFastestRoutines());
        if (std::memcmp(with.buffer.getReadPointer(0), without.buffer.getReadPointer(0),
                        sizeof(float) * static_cast<size_t>(block))
            != 0)
            return true;
    }
    return false;
}

struct Result
{
    double plainPerSample = 0.0, fastPerSample = 0.0, baselinePerSample = 0.0;
    double fastMedianBlock = 0.0, fastHeaviestBlock = 0.0;
    double plainMedianBlock = 0.0, plainHeaviestBlock = 0.0;
    bool identical = true;
};

Result measure(double rate, int block, Settings s, int repetitions)
{
    Player plain = makePlayer(rate, block, s, true), fast = makePlayer(rate, block, s, true);
    Player baseline = makePlayer(rate, block, s, true);
    // A multiple of every step length in calls (at most 128), and about a second of audio.
    const int blocksPerRun = std::max(128, static_cast<int>(rate / block) / 128 * 128);
    const auto input = guitarLikeInput(block * blocksPerRun, rate);
    Result r;
    for (int k = 0; k < 2 * 128; ++k)  // past the first block's reverb set-up and into steady state
    {
        const size_t at = static_cast<size_t>(k % blocksPerRun) * static_cast<size_t>(block);
        play(plain, input, at, block, DspRoutines::plain);
        play(fast, input, at, block, dspFastestRoutines());
        play(baseline, input, at, block, DspRoutines::baseline);
    }
    std::vector<std::vector<double>> plainTimes(static_cast<size_t>(blocksPerRun)), fastTimes(plainTimes);
    std::vector<double> plainRuns, fastRuns, baselineRuns;
    for (int rep = 0; rep < repetitions; ++rep)
    {
        double plainTotal = 0.0, fastTotal = 0.0, baselineTotal = 0.0;
        for (int k = 0; k < blocksPerRun; ++k)
        {
            const size_t at = static_cast<size_t>(k) * static_cast<size_t>(block);
            const double tp = play(plain, input, at, block, DspRoutines::plain);
            const double tf = play(fast, input, at, block, dspFastestRoutines());
            baselineTotal += play(baseline, input, at, block, DspRoutines::baseline);
            plainTimes[static_cast<size_t>(k)].push_back(tp);
            fastTimes[static_cast<size_t>(k)].push_back(tf);
            plainTotal += tp;
            fastTotal += tf;
            const size_t bytes = sizeof(float) * static_cast<size_t>(block);
            if (std::memcmp(plain.buffer.getReadPointer(0), fast.buffer.getReadPointer(0), bytes) != 0
                || std::memcmp(plain.buffer.getReadPointer(0), baseline.buffer.getReadPointer(0), bytes) != 0)
                r.identical = false;
        }
        const double samples = static_cast<double>(blocksPerRun) * block;
        plainRuns.push_back(plainTotal / samples);
        fastRuns.push_back(fastTotal / samples);
        baselineRuns.push_back(baselineTotal / samples);
    }
    std::vector<double> fastBlocks, plainBlocks;
    for (int k = 0; k < blocksPerRun; ++k)
    {
        fastBlocks.push_back(median(fastTimes[static_cast<size_t>(k)]));
        plainBlocks.push_back(median(plainTimes[static_cast<size_t>(k)]));
    }
    r.plainPerSample = median(plainRuns);
    r.fastPerSample = median(fastRuns);
    r.baselinePerSample = median(baselineRuns);
    r.fastMedianBlock = median(fastBlocks);
    r.fastHeaviestBlock = *std::max_element(fastBlocks.begin(), fastBlocks.end());
    r.plainMedianBlock = median(plainBlocks);
    r.plainHeaviestBlock = *std::max_element(plainBlocks.begin(), plainBlocks.end());
    return r;
}

struct Case
{
    double rate;
    int block;
    Settings settings;
};

const Case kTargetCases[] = {
    { 48000, 128, Settings::everythingOnType2 }, { 48000, 128, Settings::everythingOnType1 },
    { 48000, 128, Settings::defaults },          { 48000, 128, Settings::driveCabinetNoReverb },
    { 96000, 128, Settings::everythingOnType2 }, { 96000, 128, Settings::everythingOnType1 },
    { 48000, 512, Settings::everythingOnType2 }, { 176400, 64, Settings::everythingOnType1 },
};
}  // namespace

int main(int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    bool all = false;
    int repetitions = 15;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--all")
            all = true;
        else if (arg == "--repetitions" && i + 1 < argc)
            repetitions = std::max(1, std::atoi(argv[++i]));
        else
        {
            std::fprintf(stderr, "usage: %s [--all] [--repetitions N]\n", argv[0]);
            return 2;
        }
    }

    std::vector<Case> cases;
    if (all)
    {
        for (Settings s : { Settings::defaults, Settings::everythingOnType1, Settings::everythingOnType2 })
            for (double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 })
                for (int block : { 64, 128, 512, 2048 })
                    cases.push_back({ rate, block, s });
    }
    else
    {
        cases.assign(std::begin(kTargetCases), std::end(kTargetCases));
    }

    std::printf("ns of CPU per host sample (median of %d runs): plain routines, fast ones, their ratio, and the\n"
                "baseline (SSE2-only) ones; then the median and the heaviest block in us and their ratio, for the\n"
                "plain and the fast routines\n",
                repetitions);
    std::printf("%-9s %6s %8s %8s %6s %8s %9s %9s %6s %9s %9s %6s  %s\n", "rate", "block", "plain", "fast", "ratio",
                "baseline", "plain med", "heaviest", "x", "fast med", "heaviest", "x", "setting");
    bool allIdentical = true;
    for (const auto& c : cases)
    {
        const Result r = measure(c.rate, c.block, c.settings, repetitions);
        std::string label = describe(c.settings);
        const bool reverbSetting =
            c.settings == Settings::everythingOnType1 || c.settings == Settings::everythingOnType2;
        if (reverbSetting && !reverbRuns(c.rate, c.block, c.settings))
            label += "; the reverb cannot run at this rate and block length (no partitioning): measured without it";
        if (!r.identical)
            label += "; OUTPUTS DIFFER";
        allIdentical = allIdentical && r.identical;
        std::printf("%-9.1f %6d %8.1f %8.1f %6.2f %8.1f %9.1f %9.1f %6.2f %9.1f %9.1f %6.2f  %s\n", c.rate / 1000.0,
                    c.block, r.plainPerSample, r.fastPerSample, r.plainPerSample / r.fastPerSample, r.baselinePerSample,
                    r.plainMedianBlock / 1000.0, r.plainHeaviestBlock / 1000.0,
                    r.plainHeaviestBlock / r.plainMedianBlock, r.fastMedianBlock / 1000.0, r.fastHeaviestBlock / 1000.0,
                    r.fastHeaviestBlock / r.fastMedianBlock, label.c_str());
        std::fflush(stdout);
    }
    return allIdentical ? 0 : 1;
}
