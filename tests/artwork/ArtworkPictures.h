#pragma once
// The built-in pictures with the pixel sizes the editor draws them at.
#include "EditorArtwork.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

struct PictureCase
{
    const char* name;
    const unsigned char* data;
    int size;
    int width;
    int height;
};

inline const PictureCase kPictureCases[] = {
    { "background", kBackgroundPng, kBackgroundPngSize, 950, 400 },
    { "jack", kJackPng, kJackPngSize, 58, 60 },
    { "batSwitchDown", kBatSwitchDownPng, kBatSwitchDownPngSize, 52, 52 },
    { "batSwitchUp", kBatSwitchUpPng, kBatSwitchUpPngSize, 52, 52 },
    { "ledButtonLit", kLedButtonLitPng, kLedButtonLitPngSize, 50, 70 },
    { "ledButtonDark", kLedButtonDarkPng, kLedButtonDarkPngSize, 50, 70 },
};

inline std::string pictureCaseName(const ::testing::TestParamInfo<PictureCase>& c) { return c.param.name; }

inline void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }

// Sub-paths of the numerals 0 to 10: counters of 0, 4, 6, 8 and 9; "10" is both glyphs.
inline const int kNumeralSubPaths[11] = { 2, 1, 1, 1, 2, 1, 2, 1, 3, 2, 3 };
