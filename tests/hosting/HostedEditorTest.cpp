// The built VST3 plug-in's editor, created and deleted by JUCE's VST3 host, headless.
#include "MessagePump.h"
#include "PluginHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace
{
struct ChangeCounter : juce::AudioProcessorListener
{
    int changes = 0;
    void audioProcessorParameterChanged(juce::AudioProcessor*, int, float) override { ++changes; }
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int) override { ++changes; }
};

TEST(HostedEditorTest, Vst3HostCreatesAndDeletesTheEditor)
{
    juce::String error;
    auto plugin = brondavell::host::loadPlugin(brondavell::host::Format::vst3, juce::File(BRONDAVELL_VST3_BUNDLE),
                                               48000.0, 256, error);
    ASSERT_NE(plugin, nullptr) << error;
    ASSERT_TRUE(plugin->hasEditor());
    plugin->prepareToPlay(48000.0, 256);

    std::vector<float> before;
    for (auto* parameter : plugin->getParameters())
        before.push_back(parameter->getValue());
    ChangeCounter counter;
    plugin->addListener(&counter);

    juce::AudioBuffer<float> block(2, 256);
    juce::MidiBuffer midi;
    for (int round = 0; round < 3; ++round)
    {
        SCOPED_TRACE(round);
        std::unique_ptr<juce::AudioProcessorEditor> editor(plugin->createEditorIfNeeded());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->getWidth(), 950);
        EXPECT_EQ(editor->getHeight(), 400);
        for (int i = 0; i < 10; ++i)  // the editor's timer ticks and the host keeps processing
        {
            block.clear();
            plugin->processBlock(block, midi);
            pumpMessages(10);
        }
        editor.reset();
        EXPECT_EQ(plugin->getActiveEditor(), nullptr);
    }

    // Opening the editor told the host of no change.
    EXPECT_EQ(counter.changes, 0);
    for (int index = 0; index < plugin->getParameters().size(); ++index)
        EXPECT_EQ(plugin->getParameters()[index]->getValue(), before[static_cast<size_t>(index)]) << index;
    plugin->removeListener(&counter);
    plugin->releaseResources();

    // The plug-in's image cache keeps the editor's pictures for 5 s after their last use and
    // stops its timer once it is empty. Unloading the plug-in while that timer still runs makes
    // JUCE's shutdown destroy a running timer off the plug-in's message thread (a JUCE assertion),
    // so the test unloads it as a session would, after the cache has let go.
    std::this_thread::sleep_for(std::chrono::milliseconds(9000));
}
}
