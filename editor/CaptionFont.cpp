#include "CaptionFont.h"

#include "EditorArtwork.h"

juce::Font captionFont(float height)
{
    // Made once and shared: the face is constant data.
    static const juce::Typeface::Ptr face =
        juce::Typeface::createSystemTypefaceFor(kCaptionFontTtf, static_cast<size_t>(kCaptionFontTtfSize));
    return juce::Font(face).withHeight(height);
}
