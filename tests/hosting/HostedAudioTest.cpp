// The amplifier's sound through the built VST3 and LV2 binaries: every supported rate and several
// block lengths, the refused rates, what the main switches do, and the state round trip.
#include "HostedPlugins.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <stdlib.h>

// Leak-checking builds: the LV2 host's bundled lilv keeps what it allocates while loading its
// world (plug-in classes, option strings) past the world's end. Those reports are the framework's,
// not ours, and are suppressed; every other leak is still reported.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:lilv_world_load_all\n"
           "leak:lilv_world_set_option\n";
}

namespace
{
using brondavell::host::Format;

// JUCE's LV2 host loads ~/.lv2 before the bundle under test, and lilv keeps the first plug-in it
// finds under a URI, so a copy installed there would be tested instead of the build. For the whole
// run HOME points at an empty folder of its own.
class IsolatedHome : public ::testing::Environment
{
public:
    void SetUp() override
    {
        home = juce::File::createTempFile("brondavell-hosting-home");
        ASSERT_TRUE(home.createDirectory());
        previous = juce::SystemStats::getEnvironmentVariable("HOME", {});
        setenv("HOME", home.getFullPathName().toRawUTF8(), 1);
    }
    void TearDown() override
    {
        setenv("HOME", previous.toRawUTF8(), 1);
        home.deleteRecursively();
    }

private:
    juce::File home;
    juce::String previous;
};
[[maybe_unused]] auto* const isolatedHome = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

constexpr double kSupportedRates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };

juce::AudioBuffer<float> noise(double rate, double seconds, float level)
{
    juce::AudioBuffer<float> clip(1, static_cast<int>(rate * seconds));
    juce::Random random(99);
    for (int i = 0; i < clip.getNumSamples(); ++i)
        clip.setSample(0, i, level * (random.nextFloat() * 2.0f - 1.0f));
    return clip;
}

juce::AudioBuffer<float> sine(double rate, double seconds, double frequency, float level)
{
    juce::AudioBuffer<float> clip(1, static_cast<int>(rate * seconds));
    for (int i = 0; i < clip.getNumSamples(); ++i)
        clip.setSample(
            0, i, level * static_cast<float>(std::sin(2.0 * juce::MathConstants<double>::pi * frequency * i / rate)));
    return clip;
}

// Power of one frequency over samples [start, end) of channel 0 (Goertzel).
double powerAt(const juce::AudioBuffer<float>& signal, double rate, double frequency, int start, int end)
{
    const double coefficient = 2.0 * std::cos(2.0 * juce::MathConstants<double>::pi * frequency / rate);
    double s1 = 0.0, s2 = 0.0;
    for (int i = start; i < end; ++i)
    {
        const double s0 = signal.getSample(0, i) + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - coefficient * s1 * s2) / static_cast<double>(end - start);
}

double energy(const juce::AudioBuffer<float>& signal, int start, int end)
{
    double sum = 0.0;
    for (int i = start; i < end; ++i)
        sum += static_cast<double>(signal.getSample(0, i)) * signal.getSample(0, i);
    return sum;
}

// Band powers of a noise response, averaged over a few frequencies per octave band, in dB.
std::vector<double> octaveBandsDb(const juce::AudioBuffer<float>& signal, double rate)
{
    std::vector<double> bands;
    const int start = signal.getNumSamples() / 4, end = signal.getNumSamples();
    for (double low = 125.0; low < 12000.0; low *= 2.0)
    {
        double sum = 0.0;
        for (int k = 0; k < 8; ++k)
            sum += powerAt(signal, rate, low * std::pow(2.0, k / 8.0), start, end);
        bands.push_back(10.0 * std::log10(sum / 8.0 + 1e-30));
    }
    return bands;
}

// Centre of gravity of the band powers, in octaves above 125 Hz.
double spectralCentre(const std::vector<double>& bandsDb)
{
    double weighted = 0.0, total = 0.0;
    for (size_t i = 0; i < bandsDb.size(); ++i)
    {
        const double power = std::pow(10.0, bandsDb[i] / 10.0);
        weighted += power * static_cast<double>(i);
        total += power;
    }
    return weighted / total;
}

class HostedAudioTest : public ::testing::TestWithParam<Format>
{};

TEST_P(HostedAudioTest, EveryRateAndBlockLengthGivesSoundWithinRange)
{
    for (const double rate : kSupportedRates)
        for (const int blockSize : { 64, 512, 441 })
        {
            SCOPED_TRACE(std::to_string(rate) + " Hz, blocks of " + std::to_string(blockSize));
            auto plugin = loadPrepared(GetParam(), rate, blockSize);
            ASSERT_NE(plugin, nullptr);
            const auto riff = brondavell::host::makePluckedRiff(rate, 1.0);
            const auto output = brondavell::host::renderThrough(*plugin, riff, blockSize);
            plugin->releaseResources();

            float peak = 0.0f;
            for (int i = 0; i < output.getNumSamples(); ++i)
            {
                const float v = output.getSample(0, i);
                ASSERT_TRUE(std::isfinite(v)) << "sample " << i;
                peak = std::max(peak, std::abs(v));
            }
            EXPECT_GT(peak, 0.01f);
            EXPECT_LE(peak, 1.0f);
        }
}

TEST_P(HostedAudioTest, UnsupportedRatePassesTheInputThrough)
{
    for (const double rate : { 32000.0, 64000.0, 22050.0 })
    {
        SCOPED_TRACE(rate);
        auto plugin = loadPrepared(GetParam(), rate, 256);
        ASSERT_NE(plugin, nullptr);
        const auto riff = brondavell::host::makePluckedRiff(rate, 0.5);
        const auto output = brondavell::host::renderThrough(*plugin, riff, 256);
        for (int i = 0; i < riff.getNumSamples(); ++i)
            ASSERT_EQ(output.getSample(0, i), riff.getSample(0, i)) << "sample " << i;
    }
}

TEST_P(HostedAudioTest, ReverbAddsADelayedTail)
{
    const double rate = 48000.0;
    const int blockSize = 512;
    // A short burst, then silence: past 0.3 s after it only a reverb is still sounding.
    auto input = brondavell::host::makePluckedRiff(rate, 1.5);
    for (int i = static_cast<int>(0.1 * rate); i < input.getNumSamples(); ++i)
        input.setSample(0, i, 0.0f);
    const int tailStart = static_cast<int>(0.4 * rate), tailEnd = static_cast<int>(1.2 * rate);

    double tail[2] = {};
    for (const int withReverb : { 0, 1 })
    {
        auto plugin = loadPrepared(GetParam(), rate, blockSize);
        ASSERT_NE(plugin, nullptr);
        setParameters(*plugin, { { "reverb", withReverb ? 0.8f : 0.0f } }, blockSize);
        const auto output = brondavell::host::renderThrough(*plugin, input, blockSize);
        tail[withReverb] = energy(output, tailStart, tailEnd);
    }
    EXPECT_GT(tail[1], 1e-6);
    EXPECT_GT(tail[1], 100.0 * tail[0]);
}

TEST_P(HostedAudioTest, CabinetShapesTheSpectrum)
{
    const double rate = 44100.0;
    const auto input = noise(rate, 1.0, 0.05f);
    std::vector<double> bands[2];
    for (const int withCabinet : { 0, 1 })
    {
        auto plugin = loadPrepared(GetParam(), rate, 512);
        ASSERT_NE(plugin, nullptr);
        setParameters(*plugin, { { "cab", withCabinet ? 7.0f / 12.0f : 0.0f } }, 512);
        bands[withCabinet] = octaveBandsDb(brondavell::host::renderThrough(*plugin, input, 512), rate);
    }
    // Compare the shapes, not the levels: subtract the mean difference first.
    double mean = 0.0;
    for (size_t i = 0; i < bands[0].size(); ++i)
        mean += (bands[1][i] - bands[0][i]) / static_cast<double>(bands[0].size());
    double largest = 0.0;
    for (size_t i = 0; i < bands[0].size(); ++i)
        largest = std::max(largest, std::abs(bands[1][i] - bands[0][i] - mean));
    EXPECT_GT(largest, 3.0) << "the cabinet changes the band balance by at most " << largest << " dB";
}

// With bright off the chain runs the voicing cascade and a gain of 7. That cascade's built-in
// response rises with frequency (about -24 dB at 0 Hz to -0.6 dB at 20 kHz), so with the gain the
// lows drop about 7 dB and the highs rise up to 16 dB: bright off tilts the sound towards the
// highs, whatever the cascade's name suggests.
TEST_P(HostedAudioTest, BrightOffTiltsTheSpectrumAsTheVoicingCascadeDoes)
{
    const double rate = 48000.0;
    const auto input = noise(rate, 1.0, 0.05f);
    double centre[2] = {};
    for (const int brightOn : { 0, 1 })
    {
        auto plugin = loadPrepared(GetParam(), rate, 512);
        ASSERT_NE(plugin, nullptr);
        setParameters(*plugin, { { "bright", brightOn ? 1.0f : 0.0f } }, 512);
        centre[brightOn] = spectralCentre(octaveBandsDb(brondavell::host::renderThrough(*plugin, input, 512), rate));
    }
    EXPECT_GT(centre[0], centre[1] + 0.5)
        << "spectral centre in octaves above 125 Hz, bright off " << centre[0] << ", on " << centre[1];
}

TEST_P(HostedAudioTest, DriveChannelDistortsMoreThanClean)
{
    const double rate = 44100.0, frequency = 220.0;
    const auto input = sine(rate, 1.0, frequency, 0.2f);
    double distortion[2] = {};
    for (const int drive : { 0, 1 })
    {
        auto plugin = loadPrepared(GetParam(), rate, 512);
        ASSERT_NE(plugin, nullptr);
        setParameters(*plugin, { { "chanelDrive", drive ? 1.0f : 0.0f }, { "cab", 0.0f } }, 512);
        const auto output = brondavell::host::renderThrough(*plugin, input, 512);
        const int start = output.getNumSamples() / 2, end = output.getNumSamples();
        double harmonics = 0.0;
        for (int h = 2; h <= 12; ++h)
            harmonics += powerAt(output, rate, frequency * h, start, end);
        distortion[drive] = harmonics / powerAt(output, rate, frequency, start, end);
    }
    EXPECT_GT(distortion[1], 4.0 * distortion[0])
        << "harmonic to fundamental power, clean " << distortion[0] << ", drive " << distortion[1];
}

TEST_P(HostedAudioTest, SaveAndRestoreBringEveryParameterBack)
{
    const char* const ids[] = { "preGainClean", "preGainDrive", "flavorDrive", "bassClean",   "mediumClean",
                                "highClean",    "bassDrive",    "mediumDrive", "highDrive",   "volumeClean",
                                "volumeDrive",  "presence",     "reverb",      "reverbType2", "chanelDrive",
                                "bright",       "hqReverb",     "boost",       "cab" };
    auto plugin = loadPrepared(GetParam(), 96000.0, 256);
    ASSERT_NE(plugin, nullptr);
    const auto valuesNow = [&] {
        std::vector<float> values;
        for (const auto* id : ids)
            values.push_back(brondavell::host::findParameter(*plugin, id)->getValue());
        return values;
    };
    const auto setAll = [&](auto valueFor) {
        for (size_t i = 0; i < std::size(ids); ++i)
            brondavell::host::findParameter(*plugin, ids[i])->setValueNotifyingHost(valueFor(i));
        setParameters(*plugin, {}, 256);
    };

    // Distinct values (on/off parameters flipped from their defaults, cab on its grid).
    std::vector<float> chosen;
    for (size_t i = 0; i < std::size(ids); ++i)
    {
        auto* parameter = brondavell::host::findParameter(*plugin, ids[i]);
        ASSERT_NE(parameter, nullptr) << ids[i];
        const bool onOff = juce::String(ids[i]) == "reverbType2" || juce::String(ids[i]) == "chanelDrive"
            || juce::String(ids[i]) == "bright" || juce::String(ids[i]) == "hqReverb"
            || juce::String(ids[i]) == "boost";
        chosen.push_back(onOff                               ? 1.0f - parameter->getDefaultValue()
                             : juce::String(ids[i]) == "cab" ? 5.0f / 12.0f
                                                             : static_cast<float>(i + 1) / 21.0f);
    }
    setAll([&](size_t i) { return chosen[i]; });
    juce::MemoryBlock saved;
    plugin->getStateInformation(saved);

    // The host may show a value before the plug-in put it on its 0.01 grid; the first restore
    // shows the plug-in's own, and every later restore must give exactly that again.
    setAll([](size_t) { return 0.0f; });
    plugin->setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    setParameters(*plugin, {}, 256);
    const auto restored = valuesNow();
    for (size_t i = 0; i < std::size(ids); ++i)
        EXPECT_NEAR(restored[i], chosen[i], 0.006f) << ids[i];

    setAll([](size_t) { return 1.0f; });
    plugin->setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    setParameters(*plugin, {}, 256);
    const auto again = valuesNow();
    for (size_t i = 0; i < std::size(ids); ++i)
        EXPECT_NEAR(again[i], restored[i], 1e-6f) << ids[i];
}

INSTANTIATE_TEST_SUITE_P(Formats, HostedAudioTest, ::testing::Values(Format::vst3, Format::lv2),
                         [](const auto& testInfo) { return testInfo.param == Format::vst3 ? "VST3" : "LV2"; });
}
