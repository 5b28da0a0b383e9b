// Hostile saved states handed to the built VST3 and LV2 binaries the way each host format hands
// them over: every restore returns within a time limit, without a crash, and the plug-in works on.
#include "PluginHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

namespace
{
using brondavell::host::Format;

// Ends the process when one step takes longer than its limit: a hang must fail, not stall.
class Watchdog
{
public:
    Watchdog() : thread([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void start(const juce::String& what, std::chrono::seconds limit)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        step = what;
        deadline = std::chrono::steady_clock::now() + limit;
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping)
        {
            if (std::chrono::steady_clock::now() > deadline)
            {
                std::fprintf(stderr, "time limit exceeded: %s\n", step.toRawUTF8());
                std::_Exit(1);
            }
            wake.wait_for(lock, std::chrono::milliseconds(100));
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    juce::String step = "start";
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    std::thread thread;
};

juce::MemoryBlock bytes(std::initializer_list<int> values)
{
    juce::MemoryBlock block;
    for (const int v : values)
    {
        const auto byte = static_cast<uint8_t>(v);
        block.append(&byte, 1);
    }
    return block;
}

juce::MemoryBlock block(const std::string& text, uint32_t lengthField)
{
    juce::MemoryBlock result("VC2!", 4);
    for (int shift = 0; shift < 32; shift += 8)
    {
        const auto byte = static_cast<uint8_t>(lengthField >> shift);
        result.append(&byte, 1);
    }
    result.append(text.data(), text.size());
    return result;
}

// States that hung the framework's XML reading or read past the block, a cut-off state, random
// text behind a sound header, and every seed of the state fuzzer.
std::vector<std::pair<juce::String, juce::MemoryBlock>> hostileStates()
{
    std::vector<std::pair<juce::String, juce::MemoryBlock>> states = {
        { "open reference", bytes({ 0x56, 0x43, 0x32, 0x21, 0x06, 0, 0, 0, 0x3c, 0x61, 0x3e, 0x26, 0x23, 0x78, 0 }) },
        { "open reference at the end", block("<a>&#x", 6) },
        { "instruction behind the zero", block(std::string("<a>\0<?x<?x <?", 13) + "\0", 14) },
        { "instruction loop", block("<?x-9\"?> <b> <bron$ave<?>rondave<?>xml ", 39) },
        { "cut-off state",
          block("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <BRONDAVELLSETTINGS preGainClean=\"0.7\" "
                "bassClean=\"0.9\"",
                426) },
        { "negative length", block("<BRONDAVELLSETTINGS/>", 0x80000000u) },
    };
    std::mt19937 random(5);
    for (int i = 0; i < 40; ++i)
    {
        std::string text(static_cast<size_t>(1 + i * 7), '\0');
        for (auto& c : text)
            c = "<>?&#x;!-\"'= /aB\x80\xff\0"[random() % 20];
        states.emplace_back("random " + juce::String(i), block(text, static_cast<uint32_t>(text.size())));
    }
    for (const auto& seed : juce::File(BRONDAVELL_STATE_SEEDS).findChildFiles(juce::File::findFiles, false))
    {
        juce::MemoryBlock data;
        seed.loadFileAsData(data);
        states.emplace_back("seed " + seed.getFileName(), data);
    }
    return states;
}

// The LV2 host's saved Turtle document with another text as the plug-in's state string.
juce::MemoryBlock withStateText(const juce::MemoryBlock& hostState, const juce::String& stateText)
{
    const auto turtle = hostState.toString();
    const auto key = turtle.indexOf(":StateString>");
    const auto open = turtle.indexOfChar(key, '"');
    const auto close = turtle.indexOfChar(open + 1, '"');
    EXPECT_TRUE(key >= 0 && open > key && close > open) << turtle;
    const auto text = turtle.replaceSection(open + 1, close - open - 1, stateText);
    return juce::MemoryBlock(text.toRawUTF8(), text.getNumBytesAsUTF8());
}

// The plug-in's state wrapped the way the host format stores it: the VST3 host keeps the component
// state in an XML block, the LV2 host a Turtle document with the state as a base64 string.
juce::MemoryBlock forHost(Format format, const juce::MemoryBlock& hostState, const juce::MemoryBlock& pluginState)
{
    if (format == Format::vst3)
    {
        juce::XmlElement state("VST3PluginState");
        state.createNewChildElement("IComponent")->addTextElement(pluginState.toBase64Encoding());
        juce::MemoryBlock result;
        juce::AudioProcessor::copyXmlToBinary(state, result);
        return result;
    }
    return withStateText(hostState, pluginState.toBase64Encoding());
}

class HostedHostileStateTest : public ::testing::TestWithParam<Format>
{};

TEST_P(HostedHostileStateTest, RestoresReturnInTimeAndThePluginWorksOn)
{
    Watchdog watchdog;
    watchdog.start("loading", std::chrono::seconds(60));
    juce::String error;
    const auto format = GetParam();
    auto plugin = brondavell::host::loadPlugin(
        format, juce::File(format == Format::vst3 ? BRONDAVELL_VST3_BUNDLE : BRONDAVELL_LV2_BUNDLE), 48000.0, 256,
        error);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->prepareToPlay(48000.0, 256);
    juce::AudioBuffer<float> buffer(2, 256);
    juce::MidiBuffer midi;
    const auto processOneBlock = [&] {
        buffer.clear();
        buffer.setSample(0, 0, 0.5f);
        plugin->processBlock(buffer, midi);
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            ASSERT_TRUE(std::isfinite(buffer.getSample(0, i)));
    };
    processOneBlock();
    juce::MemoryBlock saved;
    plugin->getStateInformation(saved);

    // The wrapping reaches the plug-in: a sound state in it is applied.
    auto* bassClean = brondavell::host::findParameter(*plugin, "bassClean");
    const std::string soundText = "<BRONDAVELLSETTINGS bassClean=\"0.25\"/>";
    const auto sound = block(soundText, static_cast<uint32_t>(soundText.size()));
    const auto wrappedSound = forHost(format, saved, sound);
    plugin->setStateInformation(wrappedSound.getData(), static_cast<int>(wrappedSound.getSize()));
    processOneBlock();
    ASSERT_EQ(bassClean->getValue(), 0.25f);

    for (const auto& [what, state] : hostileStates())
    {
        SCOPED_TRACE(what);
        watchdog.start(what, std::chrono::seconds(5));
        const auto wrapped = forHost(format, saved, state);
        plugin->setStateInformation(wrapped.getData(), static_cast<int>(wrapped.getSize()));
        processOneBlock();
    }

    // The wrappers' own forms with sizes from outside the range they can take: the VST3
    // component state with its private-data size field beyond the block, the LV2 state string
    // with a byte count of -1 or 2^32 - 1. Each changes nothing.
    // The component's block holds another value than the one restored before, which would show.
    plugin->setStateInformation(wrappedSound.getData(), static_cast<int>(wrappedSound.getSize()));
    processOneBlock();
    std::vector<std::pair<juce::String, juce::MemoryBlock>> wrapperStates;
    if (format == Format::vst3)
    {
        const std::string otherText = "<BRONDAVELLSETTINGS bassClean=\"0.75\"/>";
        for (const uint64_t sizeField : { uint64_t{ 1 } << 31, uint64_t{ 0 } - (uint64_t{ 1 } << 20) })
        {
            auto component = block(otherText, static_cast<uint32_t>(otherText.size()));
            component.append("\0\0\0\0\0\0\0\0", 8);
            for (int shift = 0; shift < 64; shift += 8)
            {
                const auto byte = static_cast<uint8_t>(sizeField >> shift);
                component.append(&byte, 1);
            }
            component.append("JUCEPrivateData", 15);
            wrapperStates.emplace_back("private-data size " + juce::String(static_cast<juce::int64>(sizeField)),
                                       forHost(format, saved, component));
        }
    }
    else
    {
        for (const char* text : { "-1.", "-1.ABCDEFGH", "4294967295.ABCDEFGH" })
            wrapperStates.emplace_back(text, withStateText(saved, text));
    }
    for (const auto& [what, state] : wrapperStates)
    {
        SCOPED_TRACE(what);
        watchdog.start(what, std::chrono::seconds(5));
        plugin->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
        processOneBlock();
        EXPECT_EQ(bassClean->getValue(), 0.25f);
    }

    // A sound state still restores.
    watchdog.start("final restore", std::chrono::seconds(5));
    plugin->setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    processOneBlock();
    EXPECT_NEAR(bassClean->getValue(), 0.5f, 1e-6);
    plugin->releaseResources();
}

INSTANTIATE_TEST_SUITE_P(Formats, HostedHostileStateTest, ::testing::Values(Format::vst3, Format::lv2),
                         [](const auto& testInfo) { return testInfo.param == Format::vst3 ? "VST3" : "LV2"; });
}
