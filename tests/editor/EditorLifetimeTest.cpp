// Opening and closing the editor while a host's audio thread keeps processing and restoring.
// Meant for the AddressSanitizer and ThreadSanitizer builds as much as for the plain one.
#include "EditorTestSupport.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace
{
juce::MemoryBlock stateWith(float normalised)
{
    const auto source = std::make_unique<BrondavellJuceAudioProcessor>();
    for (auto* parameter : source->getParameters())
        parameter->setValueNotifyingHost(normalised);
    juce::MemoryBlock state;
    source->getStateInformation(state);
    return state;
}

TEST(EditorLifetimeTest, OpensAndClosesWhileAnotherThreadProcessesAndRestores)
{
    // On the heap: the processor holds all its DSP state by value.
    const auto owned = std::make_unique<BrondavellJuceAudioProcessor>();
    auto& processor = *owned;
    processor.setPlayConfigDetails(2, 2, 48000.0, 256);
    processor.prepareToPlay(48000.0, 256);
    const juce::MemoryBlock states[] = { stateWith(0.2f), stateWith(0.8f) };

    std::atomic<bool> running{ true };
    std::atomic<int> blocks{ 0 };
    std::thread audio([&] {
        juce::AudioBuffer<float> buffer(2, 256);
        juce::MidiBuffer midi;
        while (running.load())
        {
            for (int block = 0; block < 8; ++block)
            {
                buffer.clear();
                const juce::ScopedLock lock(processor.getCallbackLock());
                processor.processBlock(buffer, midi);
                blocks.fetch_add(1);
            }
            const auto& state = states[blocks.load() / 8 % 2];
            processor.setStateInformation(state.getData(), static_cast<int>(state.getSize()));
            processor.getParameters()[6]->setValueNotifyingHost(0.3f);  // automation
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    // Stops the audio thread however the test body is left.
    struct Join
    {
        std::atomic<bool>& flag;
        std::thread& thread;
        ~Join()
        {
            flag.store(false);
            thread.join();
        }
    } join{ running, audio };

    for (int round = 0; round < 12; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor(processor.createEditorIfNeeded());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(processor.getActiveEditor(), editor.get());
        auto& opened = dynamic_cast<Editor&>(*editor);

        auto& controls = Access::controls(opened);
        dynamic_cast<juce::Slider&>(*controls[3]).setValue(0.01 * round, juce::sendNotificationSync);
        dynamic_cast<juce::Button&>(*controls[17]).triggerClick();
        dynamic_cast<juce::ComboBox&>(*controls[18]).setSelectedId(2 + round % 12, juce::sendNotificationSync);
        if (round % 4 == 0)
            opened.setSize(1900, 800);
        pumpMessages(round % 2 == 0 ? 40 : 5);                    // sometimes closed before the first tick
        opened.createComponentSnapshot(opened.getLocalBounds());  // paints every control

        closeEditor(processor, editor);
        EXPECT_EQ(processor.getActiveEditor(), nullptr);
    }

    EXPECT_GT(blocks.load(), 0);
}
}
