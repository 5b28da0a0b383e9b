#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>

// Look of the editor's knobs (drawn from vector outlines, with the numbered skirt turning under
// a fixed index mark) and of its bat-handle switches (one picture per state).
class KnobAndToggle final : public juce::LookAndFeel_V4
{
public:
    KnobAndToggle();
    ~KnobAndToggle() override;

    // Lever down when on, lever up when off, stretched to the button; no hover or pressed look.
    void drawToggleButton(juce::Graphics& g, juce::ToggleButton& button, bool shouldDrawButtonAsHighlighted,
                          bool shouldDrawButtonAsDown) override;

    // Depends on its arguments alone: the slider is not read.
    void drawRotarySlider(juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                          float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider) override;

private:
    const unsigned char* onImageData;
    int32_t onImageSize;
    const unsigned char* offImageData;
    int32_t offImageSize;
    juce::Image offImage;
    juce::Image onImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(KnobAndToggle)
};

// Draws the picture for the button's state, rescaled to the button's size, at its origin.
void drawToggleAsPicture(juce::Graphics& g, const juce::ToggleButton& button, const juce::Image& onImage,
                         const juce::Image& offImage);
