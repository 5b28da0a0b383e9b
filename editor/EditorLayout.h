#pragma once
// The editor's layout on its 950 x 400 canvas (units; x, y, width, height), in one place.
// tools/artwork/make_pictures.py reads this file to place the background's knob seats, printed
// captions and insets under the controls: keep each entry on one line in the form used here.

#include <cstdint>

namespace EditorLayout
{
constexpr int kCanvasWidth = 950;
constexpr int kCanvasHeight = 400;

struct Placement
{
    const char* name;
    int x, y, width, height;
};

// Controls, by component name (the parameter ID).
constexpr Placement kSliders[] = {
    { "preGainClean", 115, 53, 80, 80 }, { "preGainDrive", 115, 143, 80, 80 }, { "flavorDrive", 194, 143, 80, 80 },
    { "bassClean", 305, 53, 80, 80 },    { "mediumClean", 384, 53, 80, 80 },   { "highClean", 464, 53, 80, 80 },
    { "bassDrive", 305, 143, 80, 80 },   { "mediumDrive", 384, 143, 80, 80 },  { "highDrive", 464, 143, 80, 80 },
    { "volumeClean", 574, 53, 80, 80 },  { "volumeDrive", 574, 143, 80, 80 },  { "presence", 676, 102, 80, 80 },
    { "reverb", 764, 102, 80, 80 },
};
constexpr Placement kToggles[] = {
    { "boost", 220, 70, 25, 32 },     { "chanelDrive", 65, 120, 52, 52 },  { "bright", 65, 285, 52, 52 },
    { "hqReverb", 855, 155, 25, 32 }, { "reverbType2", 845, 102, 42, 42 },
};
constexpr Placement kCabinet = { "cab", 634, 290, 250, 40 };

// Pictures and links the editor draws or places itself.
constexpr Placement kJack = { "jack", 120, 285, 46, 48 };
constexpr Placement kSiteLink = { "siteLink", 670, 46, 130, 18 };
constexpr Placement kDonateLink = { "donateLink", 670, 64, 130, 18 };

// Chrome corner caps of the background picture. The bottom corners carry none: the framework's
// resize grip sits in the bottom-right corner.
constexpr Placement kCornerCaps[] = {
    { "topLeft", 0, 0, 52, 52 },
    { "topRight", 898, 0, 52, 52 },
};

// Colours (ARGB): the printed captions' ink, a dimmer ink, and the cabinet selector's dark inset
// with its text and the highlight of its menu.
constexpr uint32_t kInk = 0xffebe5d6;
constexpr uint32_t kDimInk = 0xffb9b3a6;
constexpr uint32_t kInset = 0xff1b1b1e;
constexpr uint32_t kInsetText = 0xff9e9e9e;
constexpr uint32_t kHighlight = 0xff44474c;

// Captions the editor paints over the background, in the background's caption ink and face.
// The bright switch is on with its lever down, as every switch is, so "Bright" is the lower one.
// JucePlugin_VersionString is the project's version (CMakeLists.txt).
struct Caption
{
    const char* text;
    uint32_t colour;  // ARGB
    float fontHeight;
    int x, y, width, height;
};
constexpr Caption kCaptions[] = {
    { "Dark", kInk, 12.0f, 65, 268, 52, 15 },
    { "Bright", kInk, 12.0f, 65, 336, 52, 15 },
    { "Dirty", kInk, 12.0f, 205, 105, 55, 15 },
    { JucePlugin_VersionString, kDimInk, 10.5f, 555, 326, 55, 14 },
};
}
