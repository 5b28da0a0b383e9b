#include "SelectAndPushToggle.h"

#include "EditorArtwork.h"
#include "KnobAndToggle.h"

SelectAndPushToggle::SelectAndPushToggle()
    : offImageData(kLedButtonDarkPng), offImageSize(kLedButtonDarkPngSize), onImageData(kLedButtonLitPng),
      onImageSize(kLedButtonLitPngSize), onImage(juce::ImageCache::getFromMemory(onImageData, onImageSize)),
      offImage(juce::ImageCache::getFromMemory(offImageData, offImageSize))
{}

SelectAndPushToggle::~SelectAndPushToggle() = default;

void SelectAndPushToggle::drawToggleButton(juce::Graphics& g, juce::ToggleButton& button, bool, bool)
{
    drawToggleAsPicture(g, button, onImage, offImage);
}
