#pragma once
// Shared pieces of the editor tests: an open editor on a fresh processor, access to the
// editor's internals, and a recorder of everything the host would hear.

#include "MessagePump.h"
#include "PluginEditor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using Editor = BrondavellJuceAudioProcessorEditor;

// Closes an editor as the framework's wrappers do: the processor forgets it, then it is deleted.
inline void closeEditor(juce::AudioProcessor& processor, std::unique_ptr<juce::AudioProcessorEditor>& editor)
{
    if (editor == nullptr)
        return;
    processor.editorBeingDeleted(editor.get());
    editor.reset();
}

struct BrondavellEditorTestAccess
{
    static void tick(Editor& editor) { editor.timerCallback(); }
    static bool timerRunning(Editor& editor) { return editor.isTimerRunning(); }
    static int timerInterval(Editor& editor) { return editor.getTimerInterval(); }
    static juce::Array<juce::Component*>& controls(Editor& editor) { return editor.controls; }
    static juce::Component& canvas(Editor& editor) { return editor.mainComponent; }
    static juce::HyperlinkButton& siteLink(Editor& editor) { return editor.siteLinkButton; }
    static juce::HyperlinkButton& donateLink(Editor& editor) { return editor.donateLinkButton; }
    static int lastCabId(Editor& editor) { return editor.lastCabId; }
    static int cabChanged(Editor& editor) { return editor.cabChanged; }
    static void sliderMoved(Editor& editor, juce::Slider& slider) { editor.sliderValueChanged(&slider); }
};
using Access = BrondavellEditorTestAccess;

// A parameter's value in its own range, as its typed accessor gives it (on/off: 0 to 1 stored).
inline float plainOf(juce::AudioProcessorParameter& parameter)
{
    if (auto* continuous = dynamic_cast<juce::AudioParameterFloat*>(&parameter))
        return continuous->get();
    if (auto* integer = dynamic_cast<juce::AudioParameterInt*>(&parameter))
        return static_cast<float>(integer->get());
    return parameter.getValue();
}

// Every control shows its parameter's current value.
inline void expectControlsShowParameters(const juce::Array<juce::Component*>& controls,
                                         const juce::Array<juce::AudioProcessorParameter*>& parameters)
{
    ASSERT_EQ(controls.size(), parameters.size());
    for (int index = 0; index < parameters.size(); ++index)
    {
        SCOPED_TRACE(index);
        const float plain = plainOf(*parameters[index]);
        if (auto* slider = dynamic_cast<juce::Slider*>(controls[index]))
            EXPECT_EQ(slider->getValue(), static_cast<double>(plain));
        else if (auto* toggle = dynamic_cast<juce::ToggleButton*>(controls[index]))
            EXPECT_EQ(toggle->getToggleState(), plain >= 0.5f);
        else if (auto* cabinet = dynamic_cast<juce::ComboBox*>(controls[index]))
            EXPECT_EQ(cabinet->getSelectedId(), juce::roundToInt(plain));
        else
            ADD_FAILURE() << "unexpected control";
    }
}

// What the host hears: every notified parameter change and every change gesture.
struct HostRecorder : juce::AudioProcessorListener
{
    struct Change
    {
        int index;
        float value;
    };
    std::vector<Change> changes;
    int gestures = 0;

    void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float value) override
    {
        changes.push_back({ index, value });
    }
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int) override { ++gestures; }
    void audioProcessorParameterChangeGestureEnd(juce::AudioProcessor*, int) override { ++gestures; }
};

// A processor with its editor open, created the way a host creates it (registered as the
// processor's active editor).
class EditorTest : public ::testing::Test
{
protected:
    std::unique_ptr<BrondavellJuceAudioProcessor> processor = std::make_unique<BrondavellJuceAudioProcessor>();
    HostRecorder host;
    std::unique_ptr<juce::AudioProcessorEditor> ownedEditor;

    void SetUp() override { processor->addListener(&host); }

    void TearDown() override
    {
        closeEditor(*processor, ownedEditor);
        processor->removeListener(&host);
    }

    Editor& open()
    {
        closeEditor(*processor, ownedEditor);
        ownedEditor.reset(processor->createEditorIfNeeded());
        return editor();
    }

    Editor& editor() { return *dynamic_cast<Editor*>(ownedEditor.get()); }

    // Lets pending messages run, then the first timer tick settles the cabinet selector.
    Editor& openAndSettle()
    {
        open();
        pumpMessages(20);
        Access::tick(editor());
        host.changes.clear();
        return editor();
    }

    juce::AudioProcessorParameter& parameter(int index) { return *processor->getParameters()[index]; }
    juce::Component& control(int index) { return *Access::controls(editor())[index]; }

    template <typename Control>
    Control& controlNamed(const juce::String& id)
    {
        for (auto* candidate : Access::controls(editor()))
            if (candidate != nullptr && candidate->getName() == id)
                return *dynamic_cast<Control*>(candidate);
        ADD_FAILURE() << "no control named " << id;
        throw std::runtime_error("missing control");
    }

    // A change from the host, as a host's automation makes it.
    void hostSets(juce::AudioProcessorParameter& target, float normalised) { target.setValueNotifyingHost(normalised); }
};
