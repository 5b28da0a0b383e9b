#pragma once
// Loading the built binaries under test and setting their parameters, for the hosting tests.
#include "PluginHost.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <utility>

// The built VST3 or LV2 plug-in, prepared for the rate and block length; null (a failure already
// reported) when it does not load.
inline std::unique_ptr<juce::AudioPluginInstance> loadPrepared(brondavell::host::Format format, double rate,
                                                               int blockSize)
{
    juce::String error;
    const juce::File bundle(format == brondavell::host::Format::vst3 ? BRONDAVELL_VST3_BUNDLE : BRONDAVELL_LV2_BUNDLE);
    auto plugin = brondavell::host::loadPlugin(format, bundle, rate, blockSize, error);
    EXPECT_NE(plugin, nullptr) << error;
    if (plugin != nullptr)
        plugin->prepareToPlay(rate, blockSize);
    return plugin;
}

// Sets parameters by plug-in ID (normalised values), then runs one silent block: the LV2 host
// delivers queued changes with the next block.
inline void setParameters(juce::AudioPluginInstance& plugin,
                          std::initializer_list<std::pair<const char*, float>> values, int blockSize)
{
    for (const auto& [id, value] : values)
    {
        auto* parameter = brondavell::host::findParameter(plugin, id);
        ASSERT_NE(parameter, nullptr) << id;
        parameter->setValueNotifyingHost(value);
    }
    juce::AudioBuffer<float> block(juce::jmax(1, plugin.getTotalNumOutputChannels()), blockSize);
    block.clear();
    juce::MidiBuffer midi;
    plugin.processBlock(block, midi);
}
