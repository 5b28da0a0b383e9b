// Controls and parameters kept in step: the control callbacks write, the timer tick reads.
#include "EditorTestSupport.h"

namespace
{
using EditorSyncTest = EditorTest;

constexpr int kPreGainClean = 0;
constexpr int kBassDrive = 6;
constexpr int kBoost = 17;
constexpr int kCab = 18;

TEST_F(EditorSyncTest, TurningAKnobStoresTheNearestStep)
{
    auto& opened = openAndSettle();
    auto& knob = controlNamed<juce::Slider>("preGainClean");
    knob.setValue(3.14159, juce::sendNotificationSync);

    EXPECT_FLOAT_EQ(processor->preGainClean->get(), 3.14f);
    ASSERT_EQ(host.changes.size(), 1u);
    EXPECT_EQ(host.changes[0].index, kPreGainClean);
    EXPECT_EQ(host.changes[0].value, parameter(kPreGainClean).getValue());
    EXPECT_EQ(host.gestures, 0);

    // The next tick shows the stored step on the knob, silently.
    Access::tick(opened);
    EXPECT_EQ(knob.getValue(), static_cast<double>(processor->preGainClean->get()));
    EXPECT_EQ(host.changes.size(), 1u);

    // A knob value equal to the stored one writes nothing.
    Access::sliderMoved(opened, knob);
    EXPECT_EQ(host.changes.size(), 1u);
}

TEST_F(EditorSyncTest, ClickingASwitchWritesExactlyOneOrZero)
{
    openAndSettle();
    auto& boost = controlNamed<juce::ToggleButton>("boost");
    for (const float expected : { 1.0f, 0.0f })
    {
        host.changes.clear();
        boost.triggerClick();
        pumpMessages(10);
        EXPECT_EQ(boost.getToggleState(), expected == 1.0f);
        EXPECT_EQ(parameter(kBoost).getValue(), expected);
        ASSERT_EQ(host.changes.size(), 1u);
        EXPECT_EQ(host.changes[0].index, kBoost);
        EXPECT_EQ(host.changes[0].value, expected);
    }
    EXPECT_EQ(host.gestures, 0);
}

TEST_F(EditorSyncTest, EverySwitchWritesItsOwnParameter)
{
    openAndSettle();
    for (int index = 13; index <= 17; ++index)
    {
        auto& toggle = dynamic_cast<juce::ToggleButton&>(control(index));
        SCOPED_TRACE(toggle.getName());
        const float before = parameter(index).getValue();
        host.changes.clear();
        toggle.triggerClick();
        pumpMessages(10);
        ASSERT_EQ(host.changes.size(), 1u);
        EXPECT_EQ(host.changes[0].index, index);
        EXPECT_EQ(parameter(index).getValue(), 1.0f - before);
    }
}

TEST_F(EditorSyncTest, ASwitchAlreadyMatchingItsParameterWritesNothing)
{
    auto& opened = openAndSettle();
    opened.buttonClicked(&controlNamed<juce::ToggleButton>("bright"));
    EXPECT_TRUE(host.changes.empty());
}

TEST_F(EditorSyncTest, ACabinetChoiceIsWrittenAtTheNextTick)
{
    auto& opened = openAndSettle();
    auto& cabinet = controlNamed<juce::ComboBox>("cab");

    for (const int id : { 5, 1, 13 })
    {
        SCOPED_TRACE(id);
        host.changes.clear();
        cabinet.setSelectedId(id, juce::sendNotificationSync);  // as a choice in the menu notifies
        EXPECT_TRUE(host.changes.empty());
        EXPECT_EQ(Access::cabChanged(opened), 1);

        Access::tick(opened);
        EXPECT_EQ(processor->cab->get(), id);
        ASSERT_EQ(host.changes.size(), 1u);
        EXPECT_EQ(host.changes[0].index, kCab);
        EXPECT_EQ(host.changes[0].value, static_cast<float>(id - 1) / 12.0f);
        EXPECT_EQ(Access::lastCabId(opened), id);
        EXPECT_EQ(Access::cabChanged(opened), 0);
    }

    // Served once: the following tick writes nothing more.
    host.changes.clear();
    Access::tick(opened);
    EXPECT_TRUE(host.changes.empty());
}

TEST_F(EditorSyncTest, ACabinetChoiceWinsOverAHostChangeInTheSameTick)
{
    auto& opened = openAndSettle();
    auto& cabinet = controlNamed<juce::ComboBox>("cab");
    cabinet.setSelectedId(5, juce::sendNotificationSync);
    hostSets(parameter(kCab), processor->cab->convertTo0to1(10.0f));

    Access::tick(opened);
    EXPECT_EQ(processor->cab->get(), 5);
    EXPECT_EQ(cabinet.getSelectedId(), 5);
    EXPECT_EQ(Access::lastCabId(opened), 5);
}

TEST_F(EditorSyncTest, AHostChangeOfTheCabinetShowsSilently)
{
    auto& opened = openAndSettle();
    hostSets(parameter(kCab), processor->cab->convertTo0to1(3.0f));
    host.changes.clear();

    Access::tick(opened);
    EXPECT_EQ(controlNamed<juce::ComboBox>("cab").getSelectedId(), 3);
    EXPECT_EQ(Access::lastCabId(opened), 3);
    EXPECT_EQ(Access::cabChanged(opened), 0);
    pumpMessages(10);
    EXPECT_TRUE(host.changes.empty());
}

// Host automation of every parameter shows at the next tick, and nothing is written back.
TEST_F(EditorSyncTest, HostAutomationShowsAtTheNextTickAndWritesNothing)
{
    auto& opened = openAndSettle();
    const auto& parameters = processor->getParameters();
    for (auto* automated : parameters)
        hostSets(*automated, automated->getValue() < 0.5f ? 0.75f : 0.25f);
    host.changes.clear();

    EXPECT_NE(controlNamed<juce::Slider>("bassDrive").getValue(), 0.75);
    Access::tick(opened);
    pumpMessages(10);

    expectControlsShowParameters(Access::controls(opened), parameters);
    EXPECT_TRUE(host.changes.empty());
}

// The same through the editor's own 33 ms timer.
TEST_F(EditorSyncTest, HostAutomationShowsThroughTheRunningTimer)
{
    openAndSettle();
    hostSets(parameter(kBassDrive), 0.25f);
    host.changes.clear();
    auto& knob = controlNamed<juce::Slider>("bassDrive");
    for (int waited = 0; waited < 500 && knob.getValue() != 0.25; waited += 5)
        pumpMessages(5);
    EXPECT_EQ(knob.getValue(), 0.25);
    EXPECT_TRUE(host.changes.empty());
}

// The stored value of an on/off parameter is compared as it is: 0.5 counts as on.
TEST_F(EditorSyncTest, AnOnOffValueOfOneHalfShowsOn)
{
    auto& opened = openAndSettle();
    hostSets(parameter(kBoost), 0.5f);
    Access::tick(opened);
    EXPECT_TRUE(controlNamed<juce::ToggleButton>("boost").getToggleState());
    hostSets(parameter(kBoost), 0.49f);
    Access::tick(opened);
    EXPECT_FALSE(controlNamed<juce::ToggleButton>("boost").getToggleState());
}

// A restore with the editor open: the next tick shows every restored value and writes nothing.
TEST_F(EditorSyncTest, ARestoreShowsEveryValueAtTheNextTickWithoutWriting)
{
    // The processor holds all its DSP state by value: far too large for the stack.
    const auto source = std::make_unique<BrondavellJuceAudioProcessor>();
    for (auto* changed : source->getParameters())
        changed->setValueNotifyingHost(changed->getValue() < 0.5f ? 0.9f : 0.1f);
    juce::MemoryBlock state;
    source->getStateInformation(state);

    auto& opened = openAndSettle();
    processor->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
    host.changes.clear();

    Access::tick(opened);
    pumpMessages(10);
    for (int index = 0; index < processor->getParameters().size(); ++index)
        ASSERT_EQ(parameter(index).getValue(), source->getParameters()[index]->getValue()) << index;
    expectControlsShowParameters(Access::controls(opened), processor->getParameters());
    EXPECT_TRUE(host.changes.empty());
}

// The flag the restore raises lays the editor out again at the next tick and is cleared.
TEST_F(EditorSyncTest, ARaisedRelayoutFlagLaysTheEditorOutAgain)
{
    auto& opened = openAndSettle();
    opened.setSize(1900, 800);
    auto& reverb = controlNamed<juce::Slider>("reverb");
    reverb.setBounds(0, 0, 10, 10);
    Access::canvas(opened).setTransform({});

    opened.needsRelayout = true;
    Access::tick(opened);
    EXPECT_FALSE(opened.needsRelayout);
    EXPECT_EQ(reverb.getBounds(), juce::Rectangle<int>(764, 102, 80, 80));
    EXPECT_EQ(Access::canvas(opened).getTransform(), juce::AffineTransform::scale(2.0f));
    EXPECT_TRUE(host.changes.empty());
}
}

// A restore (or automation) that lands right after the editor opened, before the message loop
// has run, is kept: nothing queued by the editor's construction writes the older values back.
TEST_F(EditorSyncTest, ARestoreRightAfterOpeningIsNotUndoneByTheEditor)
{
    // The processor holds all its DSP state by value: far too large for the stack.
    const auto source = std::make_unique<BrondavellJuceAudioProcessor>();
    for (auto* changed : source->getParameters())
        changed->setValueNotifyingHost(changed->getValue() < 0.5f ? 0.9f : 0.1f);
    juce::MemoryBlock state;
    source->getStateInformation(state);

    auto& opened = open();
    processor->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
    host.changes.clear();
    pumpMessages(100);

    EXPECT_TRUE(host.changes.empty());
    for (int index = 0; index < processor->getParameters().size(); ++index)
        EXPECT_EQ(parameter(index).getValue(), source->getParameters()[index]->getValue()) << index;
    expectControlsShowParameters(Access::controls(opened), processor->getParameters());
}
