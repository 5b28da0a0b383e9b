// Renders a plucked-string riff through the installed plug-in and writes the result as a WAV file.
//
//   brondavell_render [--format vst3|lv2] [--plugin BUNDLE] [--out FILE.wav] [--rate HZ]
//                     [--block N] [--set ID=NORMALISED ...]

#include "PluginHost.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <iostream>

namespace
{
juce::String argumentAfter(const juce::StringArray& args, const juce::String& flag, const juce::String& fallback)
{
    const int index = args.indexOf(flag);
    return index >= 0 && index + 1 < args.size() ? args[index + 1] : fallback;
}

double decibels(float gain) { return gain > 0.0f ? 20.0 * std::log10(gain) : -200.0; }

void printLevels(const char* what, const juce::AudioBuffer<float>& buffer)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
    {
        const auto peak = buffer.getMagnitude(channel, 0, buffer.getNumSamples());
        const auto rms = buffer.getRMSLevel(channel, 0, buffer.getNumSamples());
        std::cout << what << " channel " << channel << ": peak " << juce::String(decibels(peak), 1)
                  << " dBFS, RMS " << juce::String(decibels(rms), 1) << " dBFS\n";
    }
}
}

int main(int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add(argv[i]);

    const auto home = juce::File::getSpecialLocation(juce::File::userHomeDirectory);
    const bool lv2 = argumentAfter(args, "--format", "vst3") == "lv2";
    const auto defaultBundle = lv2 ? home.getChildFile(".lv2/BrondavellV2.lv2") : home.getChildFile(".vst3/BrondavellV2.vst3");
    const juce::File bundle(argumentAfter(args, "--plugin", defaultBundle.getFullPathName()));
    const juce::File outFile(juce::File::getCurrentWorkingDirectory().getChildFile(
        argumentAfter(args, "--out", "out/brondavell-riff.wav")));
    const double rate = argumentAfter(args, "--rate", "48000").getDoubleValue();
    const int blockSize = argumentAfter(args, "--block", "512").getIntValue();

    juce::String error;
    auto plugin = brondavell::host::loadPlugin(lv2 ? brondavell::host::Format::lv2 : brondavell::host::Format::vst3,
                                               bundle, rate, blockSize, error);
    if (plugin == nullptr)
    {
        std::cerr << "cannot load " << bundle.getFullPathName() << ": " << error << "\n";
        return 1;
    }

    for (int i = 0; i < args.size(); ++i)
    {
        if (args[i] != "--set" || i + 1 >= args.size())
            continue;
        const auto id = args[i + 1].upToFirstOccurrenceOf("=", false, false);
        auto* parameter = brondavell::host::findParameter(*plugin, id);
        if (parameter == nullptr)
        {
            std::cerr << "unknown parameter " << id << "\n";
            return 1;
        }
        parameter->setValueNotifyingHost(args[i + 1].fromFirstOccurrenceOf("=", false, false).getFloatValue());
    }

    // One input, two outputs where the format lets the host choose (VST3); LV2 keeps its fixed ports.
    juce::AudioProcessor::BusesLayout monoToStereo;
    monoToStereo.inputBuses.add(juce::AudioChannelSet::mono());
    monoToStereo.outputBuses.add(juce::AudioChannelSet::stereo());
    plugin->setBusesLayout(monoToStereo);
    plugin->prepareToPlay(rate, blockSize);
    const auto clip = brondavell::host::makePluckedRiff(rate, 8.0);
    const auto result = brondavell::host::renderThrough(*plugin, clip, blockSize);
    plugin->releaseResources();

    outFile.getParentDirectory().createDirectory();
    outFile.deleteFile();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(wav.createWriterFor(
        new juce::FileOutputStream(outFile), rate, static_cast<unsigned int>(result.getNumChannels()), 24, {}, 0));
    if (writer == nullptr || !writer->writeFromAudioSampleBuffer(result, 0, result.getNumSamples()))
    {
        std::cerr << "cannot write " << outFile.getFullPathName() << "\n";
        return 1;
    }
    writer.reset();

    std::cout << "plug-in: " << plugin->getName() << " (" << bundle.getFullPathName() << ")\n";
    std::cout << "wrote " << outFile.getFullPathName() << " (" << result.getNumSamples() << " samples at " << rate
              << " Hz, " << result.getNumChannels() << " channels)\n";
    printLevels("input ", clip);
    printLevels("output", result);
    return 0;
}
