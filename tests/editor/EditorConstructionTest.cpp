// The editor's control set as it stands right after opening.
#include "EditorTestSupport.h"

#include <typeinfo>

namespace
{
enum class Look
{
    knob,
    batSwitch,
    pushButton,
    cabinet
};

struct ControlRow
{
    const char* id;
    const char* displayName;  // a slider's component ID, a toggle's button text
    Look look;
    double minimum, maximum;  // slider range
};

const ControlRow kControlRows[] = {
    { "preGainClean", "Pre Gain Clean", Look::knob, 0.0, 10.0 },
    { "preGainDrive", "Pre Gain Drive", Look::knob, 0.33f, 10.0 },
    { "flavorDrive", "Flavor Drive", Look::knob, 0.0, 2.0 },
    { "bassClean", "Bass Clean", Look::knob, 0.0, 1.0 },
    { "mediumClean", "Medium Clean", Look::knob, 0.0, 1.0 },
    { "highClean", "High Clean", Look::knob, 0.0, 1.0 },
    { "bassDrive", "Bass Drive", Look::knob, 0.0, 1.0 },
    { "mediumDrive", "Medium Drive", Look::knob, 0.0, 1.0 },
    { "highDrive", "High Drive", Look::knob, 0.0, 1.0 },
    { "volumeClean", "Volume Clean", Look::knob, 0.0, 1.0 },
    { "volumeDrive", "Volume DRive", Look::knob, 0.0, 2.0 },
    { "presence", "Presence", Look::knob, 0.0, 1.0 },
    { "reverb", "Reverb", Look::knob, 0.0, 1.0 },
    { "reverbType2", "Reverb Type", Look::batSwitch, 0, 0 },
    { "chanelDrive", "Chanel", Look::batSwitch, 0, 0 },
    { "bright", "Bright", Look::batSwitch, 0, 0 },
    { "hqReverb", "HQ reverb", Look::pushButton, 0, 0 },
    { "boost", "boost", Look::pushButton, 0, 0 },
    { "cab", "", Look::cabinet, 0, 0 },
};

bool hasLook(juce::Component& component, Look look)
{
    auto& lookAndFeel = component.getLookAndFeel();
    switch (look)
    {
    case Look::knob:
    case Look::batSwitch:
        return typeid(lookAndFeel) == typeid(KnobAndToggle);
    case Look::pushButton:
        return typeid(lookAndFeel) == typeid(SelectAndPushToggle);
    case Look::cabinet:
        return typeid(lookAndFeel) == typeid(ForcePopupsInParentWindow);
    }
    return false;
}

struct CabinetEntry
{
    const char* text;
    int id;  // 0: a section heading
};

const CabinetEntry kCabinetEntries[] = {
    { "none", 1 },    { "1x12", 0 }, { "US C12", 2 },  { "US EMI", 3 },   { "US C90", 4 },   { "2x15", 0 },
    { "US JBL", 5 },  { "2x12", 0 }, { "UK BLUE", 6 }, { "US MATCH", 7 }, { "US C12", 8 },   { "4x10", 0 },
    { "US BASS", 9 }, { "4x12", 0 }, { "UK 75W", 10 }, { "UK 25W", 11 },  { "UK 1960", 12 }, { "UK FANE", 13 },
};

using EditorConstructionTest = EditorTest;

TEST_F(EditorConstructionTest, OneControlPerParameterInParameterOrder)
{
    auto& opened = open();
    auto& controls = Access::controls(opened);
    ASSERT_EQ(controls.size(), static_cast<int>(std::size(kControlRows)));

    for (int index = 0; index < controls.size(); ++index)
    {
        const auto& row = kControlRows[index];
        SCOPED_TRACE(row.id);
        auto* component = controls[index];
        ASSERT_NE(component, nullptr);
        EXPECT_EQ(component->getName(), row.id);
        EXPECT_EQ(component->getParentComponent(), &Access::canvas(opened));
        EXPECT_TRUE(component->isVisible());
        EXPECT_TRUE(hasLook(*component, row.look));

        if (row.look == Look::knob)
        {
            auto* slider = dynamic_cast<juce::Slider*>(component);
            ASSERT_NE(slider, nullptr);
            EXPECT_EQ(slider->getComponentID(), row.displayName);
            EXPECT_EQ(slider->getMinimum(), row.minimum);
            EXPECT_EQ(slider->getMaximum(), row.maximum);
            EXPECT_EQ(slider->getInterval(), 0.0);  // continuous, not the parameter's 0.01 step
            EXPECT_EQ(slider->getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
            EXPECT_EQ(slider->getTextBoxPosition(), juce::Slider::NoTextBox);
            const auto rotary = slider->getRotaryParameters();
            EXPECT_FLOAT_EQ(rotary.startAngleRadians, 1.2f * juce::MathConstants<float>::pi);
            EXPECT_FLOAT_EQ(rotary.endAngleRadians, 2.8f * juce::MathConstants<float>::pi);
        }
        else if (row.look == Look::cabinet)
        {
            EXPECT_NE(dynamic_cast<juce::ComboBox*>(component), nullptr);
        }
        else
        {
            auto* toggle = dynamic_cast<juce::ToggleButton*>(component);
            ASSERT_NE(toggle, nullptr);
            EXPECT_EQ(toggle->getButtonText(), row.displayName);
        }
    }
}

TEST_F(EditorConstructionTest, CabinetSelectorListsItemsAndHeadings)
{
    auto& cabinet = dynamic_cast<juce::ComboBox&>(*Access::controls(open())[18]);
    EXPECT_FALSE(cabinet.isTextEditable());
    EXPECT_EQ(cabinet.getJustificationType().getFlags(), juce::Justification::centredLeft);
    EXPECT_EQ(cabinet.getTextWhenNothingSelected(), "None");
    EXPECT_EQ(cabinet.getTextWhenNoChoicesAvailable(), "(no choices)");
    EXPECT_EQ(cabinet.findColour(juce::ComboBox::backgroundColourId), juce::Colour(0xff1b1b1e));
    for (auto colourId :
         { juce::ComboBox::textColourId, juce::ComboBox::outlineColourId, juce::ComboBox::focusedOutlineColourId,
           juce::ComboBox::buttonColourId, juce::ComboBox::arrowColourId })
        EXPECT_EQ(cabinet.findColour(colourId), juce::Colour(0xff9e9e9e)) << colourId;

    std::vector<CabinetEntry> listed;
    std::vector<juce::String> texts;
    for (juce::PopupMenu::MenuItemIterator it(*cabinet.getRootMenu()); it.next();)
    {
        const auto& item = it.getItem();
        texts.push_back(item.text);
        listed.push_back({ nullptr, item.isSectionHeader ? 0 : item.itemID });
        if (item.isSectionHeader)
        {
            EXPECT_EQ(item.itemID, 0) << item.text;
        }
    }
    ASSERT_EQ(listed.size(), std::size(kCabinetEntries));
    for (size_t i = 0; i < listed.size(); ++i)
    {
        EXPECT_EQ(texts[i], kCabinetEntries[i].text) << i;
        EXPECT_EQ(listed[i].id, kCabinetEntries[i].id) << i;
    }
    EXPECT_EQ(cabinet.getNumItems(), 13);
    EXPECT_EQ(cabinet.getSelectedId(), 8);
    EXPECT_EQ(cabinet.getText(), "US C12");
}

TEST_F(EditorConstructionTest, StartsAtCanvasSizeWithUnconfiguredLinks)
{
    auto& opened = open();
    EXPECT_EQ(opened.getWidth(), 950);
    EXPECT_EQ(opened.getHeight(), 400);
    EXPECT_TRUE(opened.isResizable());
    EXPECT_EQ(Access::canvas(opened).getBounds(), juce::Rectangle<int>(0, 0, 950, 400));
    EXPECT_EQ(Access::canvas(opened).getParentComponent(), &opened);
    EXPECT_TRUE(Access::canvas(opened).getTransform().isIdentity());
    for (auto* link : { &Access::siteLink(opened), &Access::donateLink(opened) })
    {
        EXPECT_EQ(link->getParentComponent(), &Access::canvas(opened));
        EXPECT_TRUE(link->getButtonText().isEmpty());
        EXPECT_TRUE(link->getURL().isEmpty());
        EXPECT_TRUE(link->getBounds().isEmpty());
    }
    // The links lie above every control.
    auto& canvas = Access::canvas(opened);
    EXPECT_EQ(canvas.getIndexOfChildComponent(&Access::donateLink(opened)), canvas.getNumChildComponents() - 1);
    EXPECT_EQ(canvas.getIndexOfChildComponent(&Access::siteLink(opened)), canvas.getNumChildComponents() - 2);

    EXPECT_FALSE(opened.needsRelayout);
    EXPECT_EQ(Access::lastCabId(opened), -1);
    EXPECT_EQ(Access::cabChanged(opened), 0);
    EXPECT_TRUE(Access::timerRunning(opened));
    EXPECT_EQ(Access::timerInterval(opened), 33);
}

// Opening writes nothing and every control starts from its parameter's value; values at range
// ends and an on/off value of exactly 0.5 included.
TEST_F(EditorConstructionTest, OpeningWritesNoParameterAndTellsTheHostNothing)
{
    const std::pair<const char*, float> preset[] = {
        { "preGainDrive", 0.0f }, { "reverb", 1.0f }, { "hqReverb", 0.5f }, { "bright", 0.0f }, { "cab", 0.0f },
    };
    for (const auto& [id, value] : preset)
        for (auto* candidate : processor->getParameters())
            if (dynamic_cast<juce::AudioProcessorParameterWithID*>(candidate)->getParameterID() == id)
                candidate->setValueNotifyingHost(value);

    std::vector<float> before;
    for (auto* candidate : processor->getParameters())
        before.push_back(candidate->getValue());
    host.changes.clear();

    auto& opened = open();
    pumpMessages(150);  // async notifications and a few timer ticks

    EXPECT_TRUE(host.changes.empty()) << host.changes.size() << " changes, first index " << host.changes[0].index;
    EXPECT_EQ(host.gestures, 0);
    for (int index = 0; index < processor->getParameters().size(); ++index)
        EXPECT_EQ(parameter(index).getValue(), before[static_cast<size_t>(index)]) << index;

    EXPECT_EQ(controlNamed<juce::Slider>("preGainDrive").getValue(), static_cast<double>(0.33f));
    EXPECT_EQ(controlNamed<juce::Slider>("reverb").getValue(), 1.0);
    EXPECT_TRUE(controlNamed<juce::ToggleButton>("hqReverb").getToggleState());
    EXPECT_FALSE(controlNamed<juce::ToggleButton>("bright").getToggleState());
    EXPECT_EQ(controlNamed<juce::ComboBox>("cab").getSelectedId(), 1);
    EXPECT_EQ(controlNamed<juce::ComboBox>("cab").getText(), "none");
    EXPECT_EQ(Access::lastCabId(opened), 1);
}
}
