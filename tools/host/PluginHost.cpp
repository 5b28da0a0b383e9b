#include "PluginHost.h"

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
    const int length = static_cast<int>(sampleRate * seconds);
    juce::AudioBuffer<float> clip(1, length);
    clip.clear();
    auto* out = clip.getWritePointer(0);

    // (start in beats, MIDI note); a riff in E minor with a closing double stop.
    const std::pair<double, int> notes[] = { { 0.0, 40 }, { 0.5, 43 }, { 1.0, 45 }, { 1.5, 47 }, { 2.0, 50 },
                                             { 2.5, 47 }, { 3.0, 45 }, { 3.5, 43 }, { 4.0, 40 }, { 4.0, 47 },
                                             { 4.0, 52 }, { 6.0, 45 }, { 6.0, 52 }, { 6.0, 57 } };
    const double beatSeconds = 0.3;
    juce::Random random(20261210);
    std::vector<float> line;

    for (const auto& [beat, note] : notes)
    {
        const double frequency = 440.0 * std::pow(2.0, (note - 69) / 12.0);
        const int period = juce::jmax(2, static_cast<int>(sampleRate / frequency));
        line.assign(static_cast<size_t>(period), 0.0f);
        for (auto& value : line)
            value = random.nextFloat() * 2.0f - 1.0f;

        const int start = static_cast<int>(beat * beatSeconds * sampleRate);
        const int noteLength = juce::jmin(length - start, static_cast<int>(2.5 * sampleRate));
        float previous = 0.0f;
        for (int i = 0; i < noteLength; ++i)
        {
            auto& current = line[static_cast<size_t>(i % period)];
            const float next = line[static_cast<size_t>((i + 1) % period)];
            const float sample = current;
            current = 0.4985f * (current + next) + 0.0005f * previous;
            previous = sample;
            out[start + i] += 0.16f * sample;
        }
    }
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
