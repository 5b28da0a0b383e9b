#pragma once

#include "ForcePopupsInParentWindow.h"
#include "KnobAndToggle.h"
#include "PluginProcessor.h"
#include "SelectAndPushToggle.h"

#include <cstdint>

// The plug-in's window: one control per parameter on a 950 x 400 canvas over the background
// picture, scaled with the window's width. Controls write their parameters; a 33 ms timer reads
// every parameter back into its control.
class BrondavellJuceAudioProcessorEditor final : public juce::AudioProcessorEditor,
                                                 private juce::Timer,
                                                 public juce::ComboBox::Listener,
                                                 private juce::Slider::Listener,
                                                 public juce::Button::Listener
{
public:
    explicit BrondavellJuceAudioProcessorEditor(BrondavellJuceAudioProcessor& owner);
    ~BrondavellJuceAudioProcessorEditor() override;

    void paint(juce::Graphics& g) override;
    void resized() override;

private:
    void timerCallback() override;
    void sliderValueChanged(juce::Slider* slider) override;

public:
    void comboBoxChanged(juce::ComboBox* comboBox) override;
    void buttonClicked(juce::Button* button) override;

private:
    void loadImages();
    void addControls();
    void addKnob(juce::AudioParameterFloat& parameter);
    void addSwitch(juce::AudioParameterBool& parameter);
    void addCabinetSelector(juce::AudioParameterInt& parameter);
    void showCanvas();
    juce::AffineTransform canvasTransform() const;
    void writeCabinetChoice();
    void pollParameters();

    const unsigned char* backgroundPngData;
    int32_t backgroundPngSize;
    juce::Component mainComponent;  // the 950 x 400 canvas: parent of every control and link
    const unsigned char* jackPngData;
    int32_t jackPngSize;
    juce::Image backgroundImage;
    juce::Image jackImage;
    juce::OwnedArray<juce::Slider> sliders;
    juce::OwnedArray<juce::ComboBox> comboBoxes;
    juce::OwnedArray<juce::ToggleButton> toggleButtons;
    juce::Array<juce::Component*> controls;  // entry i is the control of parameter i

public:
    // Raised by the processor after a state restore (on the message thread); the next timer
    // tick lays the editor out again and clears it.
    bool needsRelayout = false;

private:
    // The look-and-feels come after the controls, so they are destroyed first: the destructor
    // detaches them from every control before that.
    KnobAndToggle knobAndToggleLookAndFeel;
    SelectAndPushToggle selectAndPushToggleLookAndFeel;
    juce::HyperlinkButton siteLinkButton;
    juce::HyperlinkButton donateLinkButton;
    int32_t lastCabId = -1;  // cabinet id last shown or written; -1: none yet
    int32_t cabChanged = 0;  // 1 from a choice in the cabinet selector until the next tick
    ForcePopupsInParentWindow forcePopupsLookAndFeel;
    BrondavellJuceAudioProcessor& audioProcessor;

    friend struct BrondavellEditorTestAccess;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(BrondavellJuceAudioProcessorEditor)
};
