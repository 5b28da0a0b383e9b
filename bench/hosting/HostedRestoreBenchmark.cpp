// The audio thread's worst block while state restores land, through the built VST3 and LV2 in
// JUCE's own hosts. A paced thread plays 64-sample blocks at 48 kHz inside the hosted instance's
// callback lock, as JUCE's audio player holds it around every block; the message thread restores
// 300 states (the reverb's settings change with each) and delivers messages for 3 ms after each.
// Both formats run one after the other in one run, so their figures compare side by side.
//   bench_hosted_restore             both formats
//   bench_hosted_restore vst3|lv2    one of them
#include "MessagePump.h"
#include "PluginHost.h"
#include "RestoreWhilePlaying.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace
{
using brondavell::host::Format;

constexpr double kRate = 48000.0;
constexpr int kBlock = 64;
constexpr int kRestores = 300;

void setPlain(juce::AudioPluginInstance& plugin, const char* id, float plain)
{
    auto* parameter = brondavell::host::findParameter(plugin, id);
    const auto* ranged = dynamic_cast<juce::RangedAudioParameter*>(parameter);
    parameter->setValueNotifyingHost(ranged != nullptr ? ranged->convertTo0to1(plain) : plain);
}

// Random settings with the reverb on, as the host saves them; the reverb switches alternate so
// that every restore changes the reverb's configuration. A block is played after the changes,
// since the hosts hand parameter changes to the plug-in with the next block.
std::vector<juce::MemoryBlock> savedStates(juce::AudioPluginInstance& plugin, juce::AudioBuffer<float>& buffer,
                                           int count)
{
    std::vector<juce::MemoryBlock> states;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    juce::MidiBuffer midi;
    for (int i = 0; i < count; ++i)
    {
        for (auto* parameter : plugin.getParameters())
            if (parameter != plugin.getBypassParameter())
                parameter->setValueNotifyingHost(unit(random));
        setPlain(plugin, "reverb", 0.5f);
        setPlain(plugin, "hqReverb", static_cast<float>((i / 2) % 2));
        setPlain(plugin, "reverbType2", static_cast<float>(i % 2));
        plugin.processBlock(buffer, midi);
        juce::MemoryBlock state;
        plugin.getStateInformation(state);
        states.push_back(state);
    }
    return states;
}

double restoreWhilePlaying(Format format)
{
    const char* name = format == Format::vst3 ? "VST3" : "LV2";
    juce::String error;
    auto plugin = brondavell::host::loadPlugin(
        format, juce::File(format == Format::vst3 ? BRONDAVELL_VST3_BUNDLE : BRONDAVELL_LV2_BUNDLE), kRate, kBlock,
        error);
    if (plugin == nullptr)
    {
        std::fprintf(stderr, "%s: %s\n", name, error.toRawUTF8());
        std::exit(1);
    }
    plugin->prepareToPlay(kRate, kBlock);
    const int channels = std::max(plugin->getTotalNumInputChannels(), plugin->getTotalNumOutputChannels());
    juce::AudioBuffer<float> buffer(std::max(channels, 1), kBlock);
    buffer.clear();
    const auto states = savedStates(*plugin, buffer, 8);
    juce::MidiBuffer midi;
    const double worstBlock = brondavell::bench::reportRestoresWhilePlaying(
        (std::string(name) + " restores while playing, in JUCE's host").c_str(), kRate, kBlock, kRestores,
        buffer.getWritePointer(0), plugin->getCallbackLock(), [&] { plugin->processBlock(buffer, midi); }, states,
        [&](const juce::MemoryBlock& state) {
            plugin->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
        },
        [] { pumpMessages(3); });
    plugin->releaseResources();
    return worstBlock;
}
}

int main(int argc, char** argv)
{
    // JUCE's LV2 host also scans ~/.lv2 and keeps the first bundle it finds for the URI: an empty
    // home of its own makes it load the built bundle.
    setenv("HOME", BRONDAVELL_BENCH_HOME, 1);
    const juce::ScopedJuceInitialiser_GUI framework;
    const std::string what = argc > 1 ? argv[1] : "";
    if (!what.empty() && what != "vst3" && what != "lv2")
    {
        std::fprintf(stderr, "usage: bench_hosted_restore [vst3|lv2]\n");
        return 2;
    }
    std::vector<std::pair<const char*, double>> worst;
    if (what != "lv2")
        worst.emplace_back("VST3", restoreWhilePlaying(Format::vst3));
    if (what != "vst3")
        worst.emplace_back("LV2", restoreWhilePlaying(Format::lv2));
    std::printf("worst block:");
    for (const auto& [name, ms] : worst)
        std::printf(" %s %.3f ms", name, ms);
    std::printf("\n");
    return 0;
}
