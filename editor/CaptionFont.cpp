#include "CaptionFont.h"

#include "EditorArtwork.h"

#include <juce_events/juce_events.h>

namespace
{
// Made once and shared: the face is constant data. Released when the framework shuts down,
// before its leak check, along with the glyphs it has cached.
class CaptionFace final : public juce::DeletedAtShutdown
{
public:
    ~CaptionFace() override { clearSingletonInstance(); }

    const juce::Typeface::Ptr face =
        juce::Typeface::createSystemTypefaceFor(kCaptionFontTtf, static_cast<size_t>(kCaptionFontTtfSize));

    JUCE_DECLARE_SINGLETON_SINGLETHREADED_MINIMAL(CaptionFace)
};

JUCE_IMPLEMENT_SINGLETON(CaptionFace)
}

juce::Font captionFont(float height) { return juce::Font(CaptionFace::getInstance()->face).withHeight(height); }
