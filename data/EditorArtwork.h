#pragma once
// Built-in editor artwork: PNG pictures, the caption face (TrueType) and outlines in JUCE's
// path stream format.

struct BinaryBlob
{
    const unsigned char* data;
    int size;
};

extern const unsigned char kBackgroundPng[];     // 950 x 400
extern const int kBackgroundPngSize;
extern const unsigned char kJackPng[];           // 58 x 60
extern const int kJackPngSize;
extern const unsigned char kBatSwitchDownPng[];  // 52 x 52, lever down (switch on)
extern const int kBatSwitchDownPngSize;
extern const unsigned char kBatSwitchUpPng[];    // 52 x 52, lever up (switch off)
extern const int kBatSwitchUpPngSize;
extern const unsigned char kLedButtonLitPng[];   // 50 x 70, LED lit (button on)
extern const int kLedButtonLitPngSize;
extern const unsigned char kLedButtonDarkPng[];  // 50 x 70, LED dark (button off)
extern const int kLedButtonDarkPngSize;
extern const unsigned char kCaptionFontTtf[];    // DejaVu Sans Bold, the captions' face
extern const int kCaptionFontTtfSize;

// Knob body: a circle outline, 1165 bytes.
constexpr int kKnobBodyPathSize = 1165;
extern const unsigned char kKnobBodyPath[kKnobBodyPathSize];
// Scale numerals 0 to 10.
extern const BinaryBlob kKnobDigitPaths[11];
