#include "PluginEditor.h"

#include "EditorArtwork.h"

namespace
{
constexpr int kCanvasWidth = 950;
constexpr int kCanvasHeight = 400;

struct Placement
{
    const char* name;
    int x, y, width, height;
};

// Canvas bounds of each control, by component name (the parameter ID).
const Placement kSliderPlacements[] = {
    { "preGainClean", 115, 53, 80, 80 }, { "preGainDrive", 115, 143, 80, 80 }, { "flavorDrive", 194, 143, 80, 80 },
    { "bassClean", 305, 53, 80, 80 },    { "mediumClean", 384, 53, 80, 80 },   { "highClean", 464, 53, 80, 80 },
    { "bassDrive", 305, 143, 80, 80 },   { "mediumDrive", 384, 143, 80, 80 },  { "highDrive", 464, 143, 80, 80 },
    { "volumeClean", 574, 53, 80, 80 },  { "volumeDrive", 574, 143, 80, 80 },  { "presence", 676, 102, 80, 80 },
    { "reverb", 764, 102, 80, 80 },
};
const Placement kCabinetPlacement = { "cab", 634, 290, 250, 40 };
const Placement kTogglePlacements[] = {
    { "boost", 220, 70, 25, 32 },   { "chanelDrive", 65, 120, 52, 52 }, { "bright", 65, 285, 52, 52 },
    { "hqReverb", 855, 155, 25, 32 }, { "reverbType2", 845, 102, 42, 42 },
};

template <size_t n>
void placeByName(juce::Component& control, const Placement (&placements)[n])
{
    for (const auto& placement : placements)
        if (control.getName() == placement.name)
            control.setBounds(placement.x, placement.y, placement.width, placement.height);
}

struct Caption
{
    const char* text;
    juce::uint32 colour;
    const char* typeface;  // null: the framework's default sans-serif typeface
    float fontHeight;
    int x, y, width, height;
};

const Caption kCaptions[] = {
    { "Bright", 0xff979797, "arial", 16.0f, 65, 273, 50, 20 },
    { "Dark", 0xff8d8d8d, "arial", 16.0f, 65, 325, 50, 20 },
    { "Dirty", 0xffa1a1a1, nullptr, 16.0f, 210, 102, 45, 20 },
    { "2.2.0", 0xff646464, nullptr, 12.0f, 560, 323, 45, 20 },
};

struct CabinetEntry
{
    const char* text;
    int id;  // 0: a section heading
};

// Item ids are the values of the cab parameter: 1 is no cabinet, 2 to 13 the models.
const CabinetEntry kCabinetEntries[] = {
    { "none", 1 },     { "1x12", 0 },     { "US C12", 2 },  { "US EMI", 3 },  { "US C90", 4 },  { "2x15", 0 },
    { "US JBL", 5 },   { "2x12", 0 },     { "UK BLUE", 6 }, { "US MATCH", 7 }, { "US C12", 8 }, { "4x10", 0 },
    { "US BASS", 9 },  { "4x12", 0 },     { "UK 75W", 10 }, { "UK 25W", 11 }, { "UK 1960", 12 }, { "UK FANE", 13 },
};

const juce::Colour kCabinetBackground(0xff1b1b1e);
const juce::Colour kCabinetForeground(0xff9e9e9e);
const juce::Colour kLinkColour(0xffb4b4b4);

// The parameter's current value in its own range; an on/off parameter's stored value as it is.
float plainValue(juce::AudioProcessorParameter& parameter)
{
    if (auto* continuous = dynamic_cast<juce::AudioParameterFloat*>(&parameter))
        return continuous->get();
    if (auto* integer = dynamic_cast<juce::AudioParameterInt*>(&parameter))
        return static_cast<float>(integer->get());
    // On/off: the stored value, 0 to 1, is both the plain and the normalised value.
    return parameter.getValue();
}

// Writes a normalised value the way setValueNotifyingHost does (the host hears of it, the
// processor reacts), without change gestures.
void writeNotifying(juce::AudioProcessorParameter& parameter, float normalised)
{
    parameter.setValue(normalised);
    parameter.sendValueChangedMessageToListeners(normalised);
}
}

BrondavellJuceAudioProcessorEditor::BrondavellJuceAudioProcessorEditor(BrondavellJuceAudioProcessor& owner)
    : juce::AudioProcessorEditor(owner),
      backgroundPngData(kBackgroundPng),
      backgroundPngSize(kBackgroundPngSize),
      jackPngData(kJackPng),
      jackPngSize(kJackPngSize),
      audioProcessor(owner)
{
    backgroundImage = juce::ImageCache::getFromMemory(backgroundPngData, backgroundPngSize);
    jackImage = juce::ImageCache::getFromMemory(jackPngData, jackPngSize);
    jackImage = jackImage.rescaled(46, 48);

    for (auto* parameter : audioProcessor.getParameters())
    {
        if (auto* continuous = dynamic_cast<juce::AudioParameterFloat*>(parameter))
        {
            auto* slider = sliders.add(new juce::Slider(continuous->getParameterID()));
            // Continuous: the knob does not take the parameter's 0.01 step.
            slider->setRange(continuous->range.start, continuous->range.end, 0.0);
            slider->setSliderStyle(juce::Slider::RotaryHorizontalVerticalDrag);
            slider->setTextBoxStyle(juce::Slider::NoTextBox, true, 80, 20);
            slider->setLookAndFeel(&knobAndToggleLookAndFeel);
            slider->setComponentID(continuous->name);
            // Set silently: a notification queued here would arrive after the constructor and
            // write this value back over any change made meanwhile (a restore, automation).
            slider->setValue(continuous->get(), juce::dontSendNotification);
            slider->addListener(this);
            mainComponent.addAndMakeVisible(slider);
            controls.add(slider);
        }
        else if (auto* onOff = dynamic_cast<juce::AudioParameterBool*>(parameter))
        {
            const juce::String id = onOff->getParameterID();
            auto* toggle = toggleButtons.add(new juce::ToggleButton());
            toggle->setName(id);
            toggle->setToggleState(plainValue(*onOff) >= 0.5f, juce::dontSendNotification);
            toggle->addListener(this);
            toggle->setButtonText(onOff->name);
            if (id == "hqReverb" || id == "boost")
                toggle->setLookAndFeel(&selectAndPushToggleLookAndFeel);
            else if (id == "chanelDrive" || id == "reverbType2" || id == "bright")
                toggle->setLookAndFeel(&knobAndToggleLookAndFeel);
            mainComponent.addAndMakeVisible(toggle);
            controls.add(toggle);
        }
        else if (auto* integer = dynamic_cast<juce::AudioParameterInt*>(parameter))
        {
            auto* cabinet = comboBoxes.add(new juce::ComboBox(integer->getParameterID()));
            cabinet->setEditableText(false);
            cabinet->setJustificationType(juce::Justification::centredLeft);
            cabinet->setTextWhenNothingSelected("None");
            cabinet->setTextWhenNoChoicesAvailable("(no choices)");
            cabinet->setColour(juce::ComboBox::backgroundColourId, kCabinetBackground);
            for (auto colourId : { juce::ComboBox::textColourId, juce::ComboBox::outlineColourId,
                                   juce::ComboBox::focusedOutlineColourId, juce::ComboBox::buttonColourId,
                                   juce::ComboBox::arrowColourId })
                cabinet->setColour(colourId, kCabinetForeground);
            cabinet->setLookAndFeel(&forcePopupsLookAndFeel);
            for (const auto& entry : kCabinetEntries)
            {
                if (entry.id == 0)
                    cabinet->addSectionHeading(entry.text);
                else
                    cabinet->addItem(entry.text, entry.id);
            }
            // Silently, as for the knobs; the first tick's poll settles lastCabId.
            cabinet->setSelectedId(integer->get(), juce::dontSendNotification);
            cabinet->addListener(this);
            controls.add(cabinet);
            mainComponent.addAndMakeVisible(cabinet);
        }
        else
        {
            // Keeps entry i on parameter i; the callbacks skip empty entries.
            controls.add(nullptr);
        }
    }

    mainComponent.addAndMakeVisible(siteLinkButton);
    mainComponent.addAndMakeVisible(donateLinkButton);

    setResizable(true, true);
    setSize(kCanvasWidth, kCanvasHeight);
    mainComponent.setBounds(0, 0, kCanvasWidth, kCanvasHeight);
    addAndMakeVisible(mainComponent);
    startTimer(33);
}

BrondavellJuceAudioProcessorEditor::~BrondavellJuceAudioProcessorEditor()
{
    // The shared look-and-feels are members destroyed before the controls: detach them first.
    for (auto* slider : sliders)
        slider->setLookAndFeel(nullptr);
    for (auto* toggle : toggleButtons)
        toggle->setLookAndFeel(nullptr);
    for (auto* cabinet : comboBoxes)
        cabinet->setLookAndFeel(nullptr);
}

// Canvas to editor: scale with the width, centre what the truncated size leaves over.
juce::AffineTransform BrondavellJuceAudioProcessorEditor::canvasTransform() const
{
    const float scale = static_cast<float>(getWidth()) / static_cast<float>(kCanvasWidth);
    const int scaledWidth = static_cast<int>(static_cast<float>(kCanvasWidth) * scale);
    const int scaledHeight = static_cast<int>(static_cast<float>(kCanvasHeight) * scale);
    const float tx = (static_cast<float>(getWidth()) - static_cast<float>(scaledWidth)) * 0.5f;
    const float ty = (static_cast<float>(getHeight()) - static_cast<float>(scaledHeight)) * 0.5f;
    return juce::AffineTransform::scale(scale).translated(tx, ty);
}

void BrondavellJuceAudioProcessorEditor::paint(juce::Graphics& g)
{
    g.addTransform(canvasTransform());
    g.fillAll(juce::Colour(0xff323232));

    if (backgroundImage.isValid())
        g.drawImageAt(backgroundImage, 0, 0);
    if (jackImage.isValid())
        g.drawImageAt(jackImage, 120, 285);

    for (const auto& caption : kCaptions)
    {
        g.setColour(juce::Colour(caption.colour));
        g.setFont(caption.typeface != nullptr ? juce::Font(caption.typeface, caption.fontHeight, juce::Font::bold)
                                              : juce::Font(caption.fontHeight, juce::Font::bold));
        g.drawFittedText(caption.text, caption.x, caption.y, caption.width, caption.height,
                         juce::Justification::centredBottom, 1);
    }

    // The framework's setters change nothing when handed what is already set, so only the
    // first paint configures the links.
    struct Link
    {
        juce::HyperlinkButton& button;
        int y;
        const char* target;
        const char* label;
    };
    for (const Link& link : { Link { siteLinkButton, 46, BRONDAVELL_SITE_URL, BRONDAVELL_SITE_LABEL },
                              Link { donateLinkButton, 64, BRONDAVELL_DONATE_URL, "Pay me a beer" } })
    {
        link.button.setBounds(670, link.y, 130, 18);
        link.button.setURL(juce::URL(link.target));
        link.button.setButtonText(link.label);
        link.button.setJustificationType(juce::Justification::centredRight);
        link.button.setColour(juce::HyperlinkButton::textColourId, kLinkColour);
    }
}

void BrondavellJuceAudioProcessorEditor::resized()
{
    for (auto* slider : sliders)
        placeByName(*slider, kSliderPlacements);
    for (auto* cabinet : comboBoxes)
        if (cabinet->getName() == kCabinetPlacement.name)
            cabinet->setBounds(kCabinetPlacement.x, kCabinetPlacement.y, kCabinetPlacement.width,
                               kCabinetPlacement.height);
    for (auto* toggle : toggleButtons)
        placeByName(*toggle, kTogglePlacements);

    mainComponent.setTransform(canvasTransform());

    // Hold the 950:400 aspect, the width deciding; a change of size runs this again at once.
    const float scale = static_cast<float>(getWidth()) / static_cast<float>(kCanvasWidth);
    setBounds(getX(), getY(), static_cast<int>(static_cast<float>(kCanvasWidth) * scale),
              static_cast<int>(static_cast<float>(kCanvasHeight) * scale));
}

void BrondavellJuceAudioProcessorEditor::timerCallback()
{
    if (needsRelayout)
    {
        resized();
        needsRelayout = false;
    }
    if (cabChanged == 1)
        writeCabinetChoice();
    pollParameters();
}

// A choice in the cabinet selector is written here, before the poll could replace it with the
// parameter's value.
void BrondavellJuceAudioProcessorEditor::writeCabinetChoice()
{
    for (int index = 0; index < controls.size(); ++index)
    {
        auto* cabinet = dynamic_cast<juce::ComboBox*>(controls[index]);
        if (cabinet == nullptr || cabinet->getName() != "cab")
            continue;
        const int id = cabinet->getSelectedId();
        if (id == lastCabId)
            continue;
        auto& cab = *audioProcessor.cab;
        if (id != cab.get())
            writeNotifying(cab, cab.convertTo0to1(static_cast<float>(id)));
        lastCabId = cab.get();
    }
    cabChanged = 0;
}

// Every control shows its parameter's value; nothing is notified and nothing written.
void BrondavellJuceAudioProcessorEditor::pollParameters()
{
    const auto& parameters = audioProcessor.getParameters();
    for (int index = 0; index < controls.size(); ++index)
    {
        auto* control = controls[index];
        auto* parameter = parameters[index];
        if (control == nullptr || parameter == nullptr)
            continue;
        const float value = plainValue(*parameter);
        if (auto* slider = dynamic_cast<juce::Slider*>(control))
        {
            slider->setValue(static_cast<double>(value), juce::dontSendNotification);
        }
        else if (auto* toggle = dynamic_cast<juce::Button*>(control))
        {
            toggle->setToggleState(value >= 0.5f, juce::dontSendNotification);
        }
        else if (auto* cabinet = dynamic_cast<juce::ComboBox*>(control); cabinet != nullptr && cabinet->getName() == "cab")
        {
            const int id = audioProcessor.cab->get();
            if (lastCabId != id)
            {
                cabinet->setSelectedId(id, juce::dontSendNotification);
                lastCabId = id;
            }
        }
    }
}

void BrondavellJuceAudioProcessorEditor::sliderValueChanged(juce::Slider* slider)
{
    if (controls.isEmpty())
        return;
    const int index = controls.indexOf(slider);
    const auto& parameters = audioProcessor.getParameters();
    if (index < 0 || index >= parameters.size())
        return;
    auto* parameter = dynamic_cast<juce::AudioParameterFloat*>(parameters[index]);
    if (parameter == nullptr)
        return;
    const auto value = static_cast<float>(slider->getValue());
    if (parameter->get() == value)
        return;
    // The conversion snaps to the parameter's 0.01 grid and clamps to its range.
    writeNotifying(*parameter, parameter->convertTo0to1(value));
}

void BrondavellJuceAudioProcessorEditor::buttonClicked(juce::Button* button)
{
    if (controls.isEmpty())
        return;
    const int index = controls.indexOf(button);
    const auto& parameters = audioProcessor.getParameters();
    if (index < 0 || index >= parameters.size())
        return;
    auto* parameter = dynamic_cast<juce::AudioParameterBool*>(parameters[index]);
    if (parameter == nullptr)
        return;
    const bool on = button->getToggleState();
    if (on == parameter->get())
        return;
    writeNotifying(*parameter, on ? 1.0f : 0.0f);
}

void BrondavellJuceAudioProcessorEditor::comboBoxChanged(juce::ComboBox*)
{
    cabChanged = 1;
}
