// Renders a plucked-string riff, or the first channel of a WAV file, through the installed
// plug-in and writes the result as a WAV file.
//
//   brondavell_render [--format vst3|lv2] [--plugin BUNDLE] [--out FILE.wav] [--rate HZ]
//                     [--block N] [--seconds S] [--float] [--set ID=NORMALISED ...] [--input FILE.wav]
// --seconds: the riff's length (default 8); --float: 32-bit float samples, the plug-in's output
// bit for bit (default 24-bit integers); --input: a WAV file's first channel in place of the riff.

#include "PluginHost.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace
{
const char* const kUsage =
    "usage: brondavell_render [--format vst3|lv2] [--plugin BUNDLE] [--out FILE.wav] [--rate HZ]\n"
    "                         [--block N] [--seconds S] [--float] [--set ID=NORMALISED ...]\n"
    "                         [--input FILE.wav]\n";

struct Options
{
    bool lv2 = false;
    juce::String plugin;  // empty: the format's default install location
    juce::String out = "out/brondavell-riff.wav";
    double rate = 48000.0;
    int block = 512;
    double seconds = 8.0;
    bool floatSamples = false;
    std::vector<std::pair<juce::String, float>> settings;
    juce::String input;  // empty: the generated riff
};

// The whole text as a number, or nothing.
std::optional<double> number(const juce::String& text)
{
    const auto utf8 = text.toStdString();
    char* end = nullptr;
    const double value = std::strtod(utf8.c_str(), &end);
    if (utf8.empty() || end != utf8.c_str() + utf8.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Reads the arguments; on a bad one returns false with the reason in error.
bool parseArguments(const juce::StringArray& args, Options& options, juce::String& error)
{
    for (int i = 0; i < args.size(); i += 2)
    {
        const auto& flag = args[i];
        if (flag == "--float")
        {
            options.floatSamples = true;
            --i;  // takes no value
            continue;
        }
        if (i + 1 >= args.size())
        {
            error = flag + " needs a value";
            return false;
        }
        const auto& value = args[i + 1];
        if (flag == "--format")
        {
            if (value != "vst3" && value != "lv2")
            {
                error = "--format must be vst3 or lv2, not '" + value + "'";
                return false;
            }
            options.lv2 = value == "lv2";
        }
        else if (flag == "--plugin")
            options.plugin = value;
        else if (flag == "--out")
            options.out = value;
        else if (flag == "--rate")
        {
            // The plug-in processes these rates only; at any other it passes the input through.
            const auto rate = number(value);
            const double supported[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
            if (!rate || std::find(std::begin(supported), std::end(supported), *rate) == std::end(supported))
            {
                error = "--rate must be 44100, 48000, 88200, 96000, 176400 or 192000, not '" + value + "'";
                return false;
            }
            options.rate = *rate;
        }
        else if (flag == "--block")
        {
            // The plug-in passes longer blocks through unprocessed.
            const auto block = number(value);
            if (!block || *block < 1.0 || *block > 8192.0 || *block != std::floor(*block))
            {
                error = "--block must be a whole number from 1 to 8192, not '" + value + "'";
                return false;
            }
            options.block = static_cast<int>(*block);
        }
        else if (flag == "--input")
            options.input = value;
        else if (flag == "--seconds")
        {
            const auto seconds = number(value);
            if (!seconds || *seconds <= 0.0 || *seconds > 600.0)
            {
                error = "--seconds must be more than 0 and at most 600, not '" + value + "'";
                return false;
            }
            options.seconds = *seconds;
        }
        else if (flag == "--set")
        {
            const auto id = value.upToFirstOccurrenceOf("=", false, false);
            const auto normalised = number(value.fromFirstOccurrenceOf("=", false, false));
            if (!value.contains("=") || id.isEmpty() || !normalised || *normalised < 0.0 || *normalised > 1.0)
            {
                error = "--set needs ID=VALUE with a value from 0 to 1, not '" + value + "'";
                return false;
            }
            options.settings.emplace_back(id, static_cast<float>(*normalised));
        }
        else
        {
            error = "unknown option '" + flag + "'";
            return false;
        }
    }
    return true;
}

// The first channel of a WAV file recorded at the render rate; false with the reason otherwise.
bool readClip(const juce::File& file, double rate, juce::AudioBuffer<float>& clip, juce::String& error)
{
    auto stream = file.createInputStream();  // null for a missing file, which the reader must not get
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(stream == nullptr ? nullptr
                                                                      : wav.createReaderFor(stream.release(), true));
    if (reader == nullptr)
    {
        error = "cannot read " + file.getFullPathName() + " as a WAV file";
        return false;
    }
    if (reader->sampleRate != rate)
    {
        error = file.getFullPathName() + " is at " + juce::String(reader->sampleRate) + " Hz, not at the --rate "
            + juce::String(rate);
        return false;
    }
    clip.setSize(1, static_cast<int>(reader->lengthInSamples));
    reader->read(&clip, 0, clip.getNumSamples(), 0, true, false);
    return true;
}

double decibels(float gain) { return gain > 0.0f ? 20.0 * std::log10(gain) : -200.0; }

void printLevels(const char* what, const juce::AudioBuffer<float>& buffer)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
    {
        const auto peak = buffer.getMagnitude(channel, 0, buffer.getNumSamples());
        const auto rms = buffer.getRMSLevel(channel, 0, buffer.getNumSamples());
        std::cout << what << " channel " << channel << ": peak " << juce::String(decibels(peak), 1) << " dBFS, RMS "
                  << juce::String(decibels(rms), 1) << " dBFS\n";
    }
}
}

int main(int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add(argv[i]);

    Options options;
    juce::String error;
    if (!parseArguments(args, options, error))
    {
        std::cerr << "brondavell_render: " << error << "\n" << kUsage;
        return 2;
    }
    juce::AudioBuffer<float> clip;
    if (options.input.isEmpty())
        clip = brondavell::host::makePluckedRiff(options.rate, options.seconds);
    else if (!readClip(juce::File::getCurrentWorkingDirectory().getChildFile(options.input), options.rate, clip, error))
    {
        std::cerr << "brondavell_render: " << error << "\n";
        return 2;
    }

    const auto home = juce::File::getSpecialLocation(juce::File::userHomeDirectory);
    const auto defaultBundle =
        options.lv2 ? home.getChildFile(".lv2/BrondavellV2.lv2") : home.getChildFile(".vst3/BrondavellV2.vst3");
    const juce::File bundle(options.plugin.isEmpty() ? defaultBundle.getFullPathName() : options.plugin);
    const juce::File outFile(juce::File::getCurrentWorkingDirectory().getChildFile(options.out));
    const double rate = options.rate;
    const int blockSize = options.block;

    auto plugin = brondavell::host::loadPlugin(
        options.lv2 ? brondavell::host::Format::lv2 : brondavell::host::Format::vst3, bundle, rate, blockSize, error);
    if (plugin == nullptr)
    {
        std::cerr << "cannot load " << bundle.getFullPathName() << ": " << error << "\n";
        return 1;
    }

    for (const auto& [id, normalised] : options.settings)
    {
        auto* parameter = brondavell::host::findParameter(*plugin, id);
        if (parameter == nullptr)
        {
            std::cerr << "unknown parameter " << id << "\n";
            return 1;
        }
        parameter->setValueNotifyingHost(normalised);
    }

    // One input, two outputs where the format lets the host choose (VST3); LV2 keeps its fixed ports.
    juce::AudioProcessor::BusesLayout monoToStereo;
    monoToStereo.inputBuses.add(juce::AudioChannelSet::mono());
    monoToStereo.outputBuses.add(juce::AudioChannelSet::stereo());
    plugin->setBusesLayout(monoToStereo);
    plugin->prepareToPlay(rate, blockSize);
    const auto result = brondavell::host::renderThrough(*plugin, clip, blockSize);
    plugin->releaseResources();

    outFile.getParentDirectory().createDirectory();
    outFile.deleteFile();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(wav.createWriterFor(
        new juce::FileOutputStream(outFile), rate, static_cast<unsigned int>(result.getNumChannels()),
        options.floatSamples ? 32 : 24, {}, 0));
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
