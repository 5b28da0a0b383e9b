// A host's NaN for a parameter, through the built VST3 and LV2 binaries in JUCE's hosts: the
// VST3 host hands it to the controller and to the next process call's parameter changes, the LV2
// host sends it as the plain value of a patch:Set in the next run.
#include "ExpectedAssertions.h"
#include "HostedPlugins.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
using brondavell::host::Format;

const char* const kParameterIds[] = { "preGainClean", "preGainDrive", "flavorDrive", "bassClean",   "mediumClean",
                                      "highClean",    "bassDrive",    "mediumDrive", "highDrive",   "volumeClean",
                                      "volumeDrive",  "presence",     "reverb",      "reverbType2", "chanelDrive",
                                      "bright",       "hqReverb",     "boost",       "cab" };

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;

// Noise through the clean channel, then the same through the drive channel, with some reverb
// (unless the parameter under test is one of those two): channel 0 of the output.
std::vector<float> play(juce::AudioPluginInstance& plugin, const juce::String& idUnderTest)
{
    juce::AudioBuffer<float> noise(1, kBlock * 20);
    juce::Random random(5);
    for (int i = 0; i < noise.getNumSamples(); ++i)
        noise.setSample(0, i, 0.3f * (random.nextFloat() * 2.0f - 1.0f));
    std::vector<float> out;
    for (const float drive : { 0.0f, 1.0f })
    {
        if (idUnderTest != "chanelDrive")
            setParameters(plugin, { { "chanelDrive", drive } }, kBlock);
        const auto played = brondavell::host::renderThrough(plugin, noise, kBlock);
        out.insert(out.end(), played.getReadPointer(0), played.getReadPointer(0) + played.getNumSamples());
    }
    return out;
}

class HostedNanParameterTest : public ::testing::TestWithParam<Format>
{};

// Every parameter given NaN by the host sounds as with its default, `cab` included (the cabinet
// stays on): bit for bit what a twin plays that the host gave the default after the same history.
// In a Debug build the framework's range conversion reports the NaN, in the host and in the
// plug-in, before the plug-in sees it: those reports are expected.
TEST_P(HostedNanParameterTest, EveryParameterSoundsAsWithItsDefault)
{
    for (const char* id : kParameterIds)
    {
        SCOPED_TRACE(id);
        auto plugin = loadPrepared(GetParam(), kRate, kBlock);
        auto twin = loadPrepared(GetParam(), kRate, kBlock);
        ASSERT_NE(plugin, nullptr);
        ASSERT_NE(twin, nullptr);
        if (juce::String(id) != "reverb")
        {
            setParameters(*plugin, { { "reverb", 0.4f } }, kBlock);
            setParameters(*twin, { { "reverb", 0.4f } }, kBlock);
        }
        // Both leave the default first, so that both come back to it through a change.
        const float defaultValue = brondavell::host::findParameter(*twin, id)->getDefaultValue();
        const float away = defaultValue < 0.5f ? 1.0f : 0.0f;
        setParameters(*plugin, { { id, away } }, kBlock);
        setParameters(*twin, { { id, away } }, kBlock);

        withFrameworkAssertionsFrom("juce_NormalisableRange.h", [&] {
            setParameters(*plugin, { { id, std::numeric_limits<float>::quiet_NaN() } }, kBlock);
        });
        setParameters(*twin, { { id, defaultValue } }, kBlock);

        const auto out = play(*plugin, id);
        for (const float v : out)
            ASSERT_TRUE(std::isfinite(v));
        EXPECT_EQ(out, play(*twin, id));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, HostedNanParameterTest, ::testing::Values(Format::vst3, Format::lv2),
                         [](const auto& testInfo) { return testInfo.param == Format::vst3 ? "VST3" : "LV2"; });
}
