#pragma once

#include <juce_graphics/juce_graphics.h>

// The face of every caption on the panel, printed or painted: DejaVu Sans Bold, built into the
// program so that each system draws the same face and weight rather than a fallback.
juce::Font captionFont(float height);
