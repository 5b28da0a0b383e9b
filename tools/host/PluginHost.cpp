#include "PluginHost.h"

#include "TestSignals.h"

namespace brondavell::host
{
namespace
{
// JUCE's VST3 client turns a parameter ID into a VST3 parameter number by hashing it and, for
// compatibility with some hosts, clearing the top bit.
juce::String vst3ParameterNumber(const juce::String& parameterId)
{
    auto hash = static_cast<juce::uint32>(parameterId.hashCode());
    hash &= ~(1u << 31);
    return juce::String(hash);
}
}

std::unique_ptr<juce::AudioPluginInstance> loadPlugin(Format format, const juce::File& bundle, double sampleRate,
                                                      int blockSize, juce::String& error)
{
    juce::OwnedArray<juce::PluginDescription> found;
    std::unique_ptr<juce::AudioPluginFormat> pluginFormat;

    if (format == Format::vst3)
    {
        pluginFormat = std::make_unique<juce::VST3PluginFormat>();
        pluginFormat->findAllTypesForFile(found, bundle.getFullPathName());
    }
    else
    {
        pluginFormat = std::make_unique<juce::LV2PluginFormat>();
        const juce::FileSearchPath searchPath(bundle.getParentDirectory().getFullPathName());
        for (const auto& identifier : pluginFormat->searchPathsForPlugins(searchPath, true, false))
        {
            juce::OwnedArray<juce::PluginDescription> candidates;
            pluginFormat->findAllTypesForFile(candidates, identifier);
            for (auto* candidate : candidates)
                if (candidate->name == "BrondavellV2")
                    found.add(new juce::PluginDescription(*candidate));
        }
    }

    if (found.isEmpty())
    {
        error = "no plug-in found in " + bundle.getFullPathName();
        return nullptr;
    }
    return pluginFormat->createInstanceFromDescription(*found[0], sampleRate, blockSize, error);
}

juce::AudioProcessorParameter* findParameter(juce::AudioProcessor& plugin, const juce::String& parameterId)
{
    const auto vst3Number = vst3ParameterNumber(parameterId);
    for (auto* parameter : plugin.getParameters())
    {
        const auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*>(parameter);
        if (hosted == nullptr)
            continue;
        const auto id = hosted->getParameterID();
        if (id == parameterId || id == vst3Number || id.endsWith(":" + parameterId))
            return parameter;
    }
    return nullptr;
}

juce::AudioBuffer<float> makePluckedRiff(double sampleRate, double seconds)
{
    const auto riff = pluckedRiff(sampleRate, seconds);
    juce::AudioBuffer<float> clip(1, static_cast<int>(riff.size()));
    clip.copyFrom(0, 0, riff.data(), clip.getNumSamples());
    return clip;
}

juce::AudioBuffer<float> renderThrough(juce::AudioPluginInstance& plugin, const juce::AudioBuffer<float>& input,
                                       int blockSize)
{
    const int channels = juce::jmax(1, plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels());
    const int length = input.getNumSamples();
    juce::AudioBuffer<float> output(plugin.getTotalNumOutputChannels(), length);
    juce::AudioBuffer<float> block(channels, blockSize);
    juce::MidiBuffer midi;

    for (int start = 0; start < length; start += blockSize)
    {
        const int count = juce::jmin(blockSize, length - start);
        block.setSize(channels, count, false, false, true);
        block.clear();
        if (plugin.getTotalNumInputChannels() > 0)
            block.copyFrom(0, 0, input, 0, start, count);
        plugin.processBlock(block, midi);
        for (int channel = 0; channel < output.getNumChannels(); ++channel)
            output.copyFrom(channel, start, block, channel, 0, count);
    }
    return output;
}
}
