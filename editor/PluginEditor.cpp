#include "PluginEditor.h"

#include "CaptionFont.h"
#include "EditorArtwork.h"
#include "EditorLayout.h"

namespace
{
using EditorLayout::kCanvasHeight;
using EditorLayout::kCanvasWidth;
using EditorLayout::Placement;

void place(juce::Component& control, const Placement& placement)
{
    control.setBounds(placement.x, placement.y, placement.width, placement.height);
}

template <size_t n>
void placeByName(juce::Component& control, const Placement (&placements)[n])
{
    for (const auto& placement : placements)
        if (control.getName() == placement.name)
            place(control, placement);
}

struct CabinetEntry
{
    const char* text;
    int id;  // 0: a section heading
};

// Item ids are the values of the cab parameter: 1 is no cabinet, 2 to 13 the models.
const CabinetEntry kCabinetEntries[] = {
    { "none", 1 },    { "1x12", 0 }, { "US C12", 2 },  { "US EMI", 3 },   { "US C90", 4 },   { "2x15", 0 },
    { "US JBL", 5 },  { "2x12", 0 }, { "UK BLUE", 6 }, { "US MATCH", 7 }, { "US C12", 8 },   { "4x10", 0 },
    { "US BASS", 9 }, { "4x12", 0 }, { "UK 75W", 10 }, { "UK 25W", 11 },  { "UK 1960", 12 }, { "UK FANE", 13 },
};

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
    : juce::AudioProcessorEditor(owner), backgroundPngData(kBackgroundPng), backgroundPngSize(kBackgroundPngSize),
      jackPngData(kJackPng), jackPngSize(kJackPngSize), audioProcessor(owner)
{
    loadImages();
    addControls();
    mainComponent.addAndMakeVisible(siteLinkButton);
    mainComponent.addAndMakeVisible(donateLinkButton);
    showCanvas();
    startTimer(33);
}

BrondavellJuceAudioProcessorEditor::~BrondavellJuceAudioProcessorEditor()
{
    // An open cabinet menu uses the selector's look-and-feel: close it first. Closing takes the
    // look-and-feel off the menu's window at once; the window itself is deleted later.
    for (auto* cabinet : comboBoxes)
        cabinet->hidePopup();
    // The shared look-and-feels are members destroyed before the controls: detach them first.
    for (auto* slider : sliders)
        slider->setLookAndFeel(nullptr);
    for (auto* toggle : toggleButtons)
        toggle->setLookAndFeel(nullptr);
    for (auto* cabinet : comboBoxes)
        cabinet->setLookAndFeel(nullptr);
}

void BrondavellJuceAudioProcessorEditor::loadImages()
{
    backgroundImage = juce::ImageCache::getFromMemory(backgroundPngData, backgroundPngSize);
    jackImage = juce::ImageCache::getFromMemory(jackPngData, jackPngSize);
    jackImage = jackImage.rescaled(EditorLayout::kJack.width, EditorLayout::kJack.height);
}

// One control per parameter, in parameter order, so that entry i of controls is parameter i's.
void BrondavellJuceAudioProcessorEditor::addControls()
{
    for (auto* parameter : audioProcessor.getParameters())
    {
        if (auto* continuous = dynamic_cast<juce::AudioParameterFloat*>(parameter))
            addKnob(*continuous);
        else if (auto* onOff = dynamic_cast<juce::AudioParameterBool*>(parameter))
            addSwitch(*onOff);
        else if (auto* integer = dynamic_cast<juce::AudioParameterInt*>(parameter))
            addCabinetSelector(*integer);
        else
            controls.add(nullptr);  // keeps entry i on parameter i; the callbacks skip empty entries
    }
}

void BrondavellJuceAudioProcessorEditor::addKnob(juce::AudioParameterFloat& parameter)
{
    auto* slider = sliders.add(new juce::Slider(parameter.getParameterID()));
    // Continuous: the knob does not take the parameter's 0.01 step.
    slider->setRange(parameter.range.start, parameter.range.end, 0.0);
    slider->setSliderStyle(juce::Slider::RotaryHorizontalVerticalDrag);
    slider->setTextBoxStyle(juce::Slider::NoTextBox, true, 80, 20);
    slider->setLookAndFeel(&knobAndToggleLookAndFeel);
    slider->setComponentID(parameter.name);
    // Set silently: a notification queued here would arrive after the constructor and write this
    // value back over any change made meanwhile (a restore, automation).
    slider->setValue(parameter.get(), juce::dontSendNotification);
    slider->addListener(this);
    mainComponent.addAndMakeVisible(slider);
    controls.add(slider);
}

void BrondavellJuceAudioProcessorEditor::addSwitch(juce::AudioParameterBool& parameter)
{
    const juce::String id = parameter.getParameterID();
    auto* toggle = toggleButtons.add(new juce::ToggleButton());
    toggle->setName(id);
    toggle->setToggleState(plainValue(parameter) >= 0.5f, juce::dontSendNotification);
    toggle->addListener(this);
    toggle->setButtonText(parameter.name);
    if (id == "hqReverb" || id == "boost")
        toggle->setLookAndFeel(&selectAndPushToggleLookAndFeel);
    else if (id == "chanelDrive" || id == "reverbType2" || id == "bright")
        toggle->setLookAndFeel(&knobAndToggleLookAndFeel);
    mainComponent.addAndMakeVisible(toggle);
    controls.add(toggle);
}

void BrondavellJuceAudioProcessorEditor::addCabinetSelector(juce::AudioParameterInt& parameter)
{
    auto* cabinet = comboBoxes.add(new juce::ComboBox(parameter.getParameterID()));
    cabinet->setEditableText(false);
    cabinet->setJustificationType(juce::Justification::centredLeft);
    cabinet->setTextWhenNothingSelected("None");
    cabinet->setTextWhenNoChoicesAvailable("(no choices)");
    cabinet->setColour(juce::ComboBox::backgroundColourId, juce::Colour(EditorLayout::kInset));
    for (auto colourId :
         { juce::ComboBox::textColourId, juce::ComboBox::outlineColourId, juce::ComboBox::focusedOutlineColourId,
           juce::ComboBox::buttonColourId, juce::ComboBox::arrowColourId })
        cabinet->setColour(colourId, juce::Colour(EditorLayout::kInsetText));
    cabinet->setLookAndFeel(&forcePopupsLookAndFeel);
    for (const auto& entry : kCabinetEntries)
    {
        if (entry.id == 0)
            cabinet->addSectionHeading(entry.text);
        else
            cabinet->addItem(entry.text, entry.id);
    }
    // Silently, as for the knobs; the first tick's poll settles lastCabId.
    cabinet->setSelectedId(parameter.get(), juce::dontSendNotification);
    cabinet->addListener(this);
    controls.add(cabinet);
    mainComponent.addAndMakeVisible(cabinet);
}

// Resizable at the canvas size; the first layout runs from setSize.
void BrondavellJuceAudioProcessorEditor::showCanvas()
{
    setResizable(true, true);
    setSize(kCanvasWidth, kCanvasHeight);
    mainComponent.setBounds(0, 0, kCanvasWidth, kCanvasHeight);
    addAndMakeVisible(mainComponent);
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
        g.drawImageAt(jackImage, EditorLayout::kJack.x, EditorLayout::kJack.y);

    for (const auto& caption : EditorLayout::kCaptions)
    {
        g.setColour(juce::Colour(caption.colour));
        g.setFont(captionFont(caption.fontHeight));
        g.drawFittedText(caption.text, caption.x, caption.y, caption.width, caption.height,
                         juce::Justification::centredBottom, 1);
    }

    // The framework's setters change nothing when handed what is already set, so only the
    // first paint configures the links.
    struct Link
    {
        juce::HyperlinkButton& button;
        const Placement& bounds;
        const char* target;
        const char* label;
    };
    for (const Link& link :
         { Link{ siteLinkButton, EditorLayout::kSiteLink, BRONDAVELL_SITE_URL, BRONDAVELL_SITE_LABEL },
           Link{ donateLinkButton, EditorLayout::kDonateLink, BRONDAVELL_DONATE_URL, "Pay me a beer" } })
    {
        place(link.button, link.bounds);
        link.button.setURL(juce::URL(link.target));
        link.button.setButtonText(link.label);
        link.button.setJustificationType(juce::Justification::centredRight);
        link.button.setColour(juce::HyperlinkButton::textColourId, kLinkColour);
    }
}

void BrondavellJuceAudioProcessorEditor::resized()
{
    for (auto* slider : sliders)
        placeByName(*slider, EditorLayout::kSliders);
    for (auto* cabinet : comboBoxes)
        if (cabinet->getName() == EditorLayout::kCabinet.name)
            place(*cabinet, EditorLayout::kCabinet);
    for (auto* toggle : toggleButtons)
        placeByName(*toggle, EditorLayout::kToggles);

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
        else if (auto* cabinet = dynamic_cast<juce::ComboBox*>(control);
                 cabinet != nullptr && cabinet->getName() == "cab")
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

void BrondavellJuceAudioProcessorEditor::comboBoxChanged(juce::ComboBox*) { cabChanged = 1; }
