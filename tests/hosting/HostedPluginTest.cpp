// The built VST3 and LV2 binaries, loaded the way a host loads them.
#include "PluginHost.h"

#include <gtest/gtest.h>

namespace
{
using brondavell::host::Format;

struct HostedParameterRow
{
    const char* id;
    const char* name;
    float minimum, maximum, defaultNormalised;
};

const HostedParameterRow kPublishedParameters[] = {
    { "preGainClean", "Pre Gain Clean", 0.0f, 10.0f, 0.1f },
    { "preGainDrive", "Pre Gain Drive", 0.33f, 10.0f, 0.482937f },
    { "flavorDrive", "Flavor Drive", 0.0f, 2.0f, 0.5f },
    { "bassClean", "Bass Clean", 0.0f, 1.0f, 0.5f },
    { "mediumClean", "Medium Clean", 0.0f, 1.0f, 0.5f },
    { "highClean", "High Clean", 0.0f, 1.0f, 0.5f },
    { "bassDrive", "Bass Drive", 0.0f, 1.0f, 0.5f },
    { "mediumDrive", "Medium Drive", 0.0f, 1.0f, 0.5f },
    { "highDrive", "High Drive", 0.0f, 1.0f, 0.5f },
    { "volumeClean", "Volume Clean", 0.0f, 1.0f, 0.8f },
    { "volumeDrive", "Volume DRive", 0.0f, 2.0f, 0.5f },
    { "presence", "Presence", 0.0f, 1.0f, 0.5f },
    { "reverb", "Reverb", 0.0f, 1.0f, 0.0f },
    { "reverbType2", "Reverb Type", 0.0f, 1.0f, 0.0f },
    { "chanelDrive", "Chanel", 0.0f, 1.0f, 0.0f },
    { "bright", "Bright", 0.0f, 1.0f, 1.0f },
    { "hqReverb", "HQ reverb", 0.0f, 1.0f, 0.0f },
    { "boost", "boost", 0.0f, 1.0f, 0.0f },
    { "cab", "Cabinet", 1.0f, 13.0f, 7.0f / 12.0f },
};

juce::File bundleFor(Format format)
{
    return juce::File(format == Format::vst3 ? BRONDAVELL_VST3_BUNDLE : BRONDAVELL_LV2_BUNDLE);
}

std::unique_ptr<juce::AudioPluginInstance> load(Format format, double rate, int blockSize)
{
    juce::String error;
    auto plugin = brondavell::host::loadPlugin(format, bundleFor(format), rate, blockSize, error);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

// An on/off parameter's text is "Off"/"On"; a numeric one's is its plain value.
float plainFromText(const juce::String& text)
{
    if (text == "Off")
        return 0.0f;
    if (text == "On")
        return 1.0f;
    return text.getFloatValue();
}

class HostedPluginTest : public ::testing::TestWithParam<Format>
{};

TEST_P(HostedPluginTest, PublishesItsNameAndParameters)
{
    auto plugin = load(GetParam(), 44100.0, 512);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->getName(), "BrondavellV2");
    EXPECT_EQ(plugin->getLatencySamples(), 0);

    for (const auto& row : kPublishedParameters)
    {
        SCOPED_TRACE(row.id);
        auto* parameter = brondavell::host::findParameter(*plugin, row.id);
        ASSERT_NE(parameter, nullptr);
        EXPECT_EQ(parameter->getName(64), row.name);
        EXPECT_NEAR(parameter->getDefaultValue(), row.defaultNormalised, 1e-5);
        EXPECT_NEAR(parameter->getValue(), row.defaultNormalised, 1e-5);
        EXPECT_FLOAT_EQ(plainFromText(parameter->getText(0.0f, 32)), row.minimum);
        EXPECT_FLOAT_EQ(plainFromText(parameter->getText(1.0f, 32)), row.maximum);
    }
    // The wrappers add a bypass parameter of their own; nothing else.
    EXPECT_EQ(plugin->getParameters().size(), static_cast<int>(std::size(kPublishedParameters)) + 1);
}

// Hosts show the five on/off parameters as switches: boolean, two steps, "Off" and "On", and a
// value between the two named as the plug-in takes it.
TEST_P(HostedPluginTest, OnOffParametersAreSwitches)
{
    auto plugin = load(GetParam(), 44100.0, 512);
    ASSERT_NE(plugin, nullptr);
    for (const auto* id : { "reverbType2", "chanelDrive", "bright", "hqReverb", "boost" })
    {
        SCOPED_TRACE(id);
        auto* parameter = brondavell::host::findParameter(*plugin, id);
        ASSERT_NE(parameter, nullptr);
        // VST3 has no boolean flag: its hosts know a switch by its two steps.
        if (GetParam() == Format::lv2)
        {
            EXPECT_TRUE(parameter->isBoolean());
        }
        EXPECT_TRUE(parameter->isDiscrete());
        EXPECT_EQ(parameter->getNumSteps(), 2);
        EXPECT_EQ(parameter->getText(0.0f, 32), "Off");
        EXPECT_EQ(parameter->getText(0.4f, 32), "Off");
        EXPECT_EQ(parameter->getText(0.6f, 32), "On");
        EXPECT_EQ(parameter->getText(1.0f, 32), "On");
    }
}

TEST_P(HostedPluginTest, StartsInTheFirstChannelConfiguration)
{
    auto plugin = load(GetParam(), 48000.0, 512);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->getTotalNumInputChannels(), 1);
    EXPECT_EQ(plugin->getTotalNumOutputChannels(), 1);
}

TEST_P(HostedPluginTest, PassesAudioAtBaseAndDoubleRates)
{
    for (const double rate : { 44100.0, 96000.0 })
    {
        SCOPED_TRACE(rate);
        auto plugin = load(GetParam(), rate, 512);
        ASSERT_NE(plugin, nullptr);
        // No bus set-up by the host: the plug-in must still have a channel to process.
        plugin->prepareToPlay(rate, 512);
        const auto clip = brondavell::host::makePluckedRiff(rate, 1.0);
        const auto output = brondavell::host::renderThrough(*plugin, clip, 512);
        plugin->releaseResources();

        ASSERT_GE(output.getNumChannels(), 1);
        const auto* samples = output.getReadPointer(0);
        float peak = 0.0f;
        for (int i = 0; i < output.getNumSamples(); ++i)
        {
            ASSERT_TRUE(std::isfinite(samples[i])) << "sample " << i;
            peak = std::max(peak, std::abs(samples[i]));
        }
        EXPECT_GT(peak, 0.01f);
        EXPECT_LE(peak, 1.0f);
    }
}

TEST_P(HostedPluginTest, StateRoundTripRestoresEveryParameter)
{
    auto plugin = load(GetParam(), 48000.0, 256);
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(48000.0, 256);
    juce::AudioBuffer<float> block(2, 256);
    juce::MidiBuffer midi;
    const auto processOneBlock = [&] {
        block.clear();
        plugin->processBlock(block, midi);
    };

    const std::pair<const char*, float> changes[] = { { "preGainDrive", 0.75f }, { "bassClean", 0.2f },
                                                      { "chanelDrive", 1.0f },   { "bright", 0.0f },
                                                      { "cab", 2.0f / 12.0f },   { "reverb", 0.33f } };
    for (const auto& [id, value] : changes)
        brondavell::host::findParameter(*plugin, id)->setValueNotifyingHost(value);
    // The LV2 host delivers queued parameter changes with the next block.
    processOneBlock();

    juce::MemoryBlock saved;
    plugin->getStateInformation(saved);
    EXPECT_GT(saved.getSize(), 9u);

    for (const auto& [id, value] : changes)
        brondavell::host::findParameter(*plugin, id)->setValueNotifyingHost(value > 0.5f ? 0.0f : 1.0f);
    processOneBlock();

    plugin->setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    processOneBlock();

    for (const auto& [id, value] : changes)
    {
        SCOPED_TRACE(id);
        EXPECT_NEAR(brondavell::host::findParameter(*plugin, id)->getValue(), value, 0.006f);
    }
    EXPECT_NEAR(brondavell::host::findParameter(*plugin, "volumeClean")->getValue(), 0.8f, 1e-5);
    plugin->releaseResources();
}

INSTANTIATE_TEST_SUITE_P(Formats, HostedPluginTest, ::testing::Values(Format::vst3, Format::lv2),
                         [](const auto& testInfo) { return testInfo.param == Format::vst3 ? "VST3" : "LV2"; });
}
