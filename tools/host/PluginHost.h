#pragma once
// Loads the built plug-in binaries through JUCE's own hosting classes, headless.

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace brondavell::host
{
enum class Format
{
    vst3,
    lv2
};

// Creates an instance of the plug-in found in a VST3 bundle (the .vst3 directory) or in an LV2
// bundle directory (the .lv2 directory). Returns null and sets error on failure. JUCE's LV2 host
// also scans the default LV2 folders (~/.lv2 among them) and keeps the first bundle it finds for
// a URI, so a process that must load one particular LV2 bundle runs with a HOME of its own.
std::unique_ptr<juce::AudioPluginInstance> loadPlugin(Format format, const juce::File& bundle, double sampleRate,
                                                      int blockSize, juce::String& error);

// The hosted parameter whose plug-in-side ID is parameterId. The formats publish IDs differently
// (LV2: a URI ending in ":<id>", VST3: a hash of the ID) and add a bypass parameter at different
// indices, so parameters are always looked up through this, never by index.
juce::AudioProcessorParameter* findParameter(juce::AudioProcessor& plugin, const juce::String& parameterId);

// The plucked-string riff of TestSignals.h as a one-channel buffer: the test clip of the render
// tool and the hosting tests.
juce::AudioBuffer<float> makePluckedRiff(double sampleRate, double seconds);

// Runs a mono signal through the plug-in in blocks of blockSize (the last one shorter), feeding
// it to input channel 0; returns every output channel.
juce::AudioBuffer<float> renderThrough(juce::AudioPluginInstance& plugin, const juce::AudioBuffer<float>& input,
                                       int blockSize);
}
