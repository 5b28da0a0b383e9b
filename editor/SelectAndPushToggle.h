#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>

// Look of the editor's LED push buttons: the lit picture when on, the dark one when off.
class SelectAndPushToggle final : public juce::LookAndFeel_V4
{
public:
    SelectAndPushToggle();
    ~SelectAndPushToggle() override;

    // The picture for the state, stretched to the button; no hover or pressed look.
    void drawToggleButton(juce::Graphics& g, juce::ToggleButton& button, bool shouldDrawButtonAsHighlighted,
                          bool shouldDrawButtonAsDown) override;

private:
    const unsigned char* offImageData;
    int32_t offImageSize;
    const unsigned char* onImageData;
    int32_t onImageSize;
    juce::Image onImage;
    juce::Image offImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(SelectAndPushToggle)
};
