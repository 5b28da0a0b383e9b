// Every bat switch's lever points at the caption of its current state, as the player sees it:
// found on the rendered editor at 1x and 2x, from where the lever's chrome appears when the
// switch changes state.
#include "EditorLayout.h"
#include "EditorTestSupport.h"

namespace
{
struct SwitchCase
{
    const char* id;
    // The captions for off and for on: printed in the background at a canvas y (middle of the
    // text), or painted by the editor and found by their text in its caption table.
    float offCaptionY;
    float onCaptionY;
    const char* offCaption = nullptr;
    const char* onCaption = nullptr;
};

float paintedCaptionY(const char* text)
{
    for (const auto& caption : EditorLayout::kCaptions)
        if (juce::String(caption.text) == text)
            return static_cast<float>(caption.y) + 0.5f * static_cast<float>(caption.height);
    ADD_FAILURE() << "no caption " << text;
    return 0.0f;
}

void PrintTo(const SwitchCase& row, std::ostream* out) { *out << row.id; }

float luminance(juce::Colour colour)
{
    return 0.2126f * colour.getFloatRed() + 0.7152f * colour.getFloatGreen() + 0.0722f * colour.getFloatBlue();
}

// Canvas y of the centroid of the pixels inside area that are much brighter in shown than in
// other: where the lever is in shown's state and not in the other's.
float leverY(const juce::Image& shown, const juce::Image& other, juce::Rectangle<int> area, float scale)
{
    double sumY = 0.0;
    int count = 0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (luminance(shown.getPixelAt(x, y)) - luminance(other.getPixelAt(x, y)) > 0.25f)
            {
                sumY += y + 0.5;
                ++count;
            }
    EXPECT_GT(count, 10) << "no lever found";
    return count == 0 ? 0.0f : static_cast<float>(sumY / count) / scale;
}

class EditorSwitchReadingTest : public EditorTest, public ::testing::WithParamInterface<SwitchCase>
{};

TEST_P(EditorSwitchReadingTest, LeverPointsAtTheCaptionOfItsState)
{
    const auto& row = GetParam();
    auto& opened = openAndSettle();
    auto& toggle = controlNamed<juce::ToggleButton>(row.id);
    auto& ranged = dynamic_cast<juce::RangedAudioParameter&>(
        *processor->getParameters()[Access::controls(opened).indexOf(&toggle)]);

    for (const int width : { 950, 1900 })
    {
        SCOPED_TRACE(width);
        opened.setSize(width, width * 400 / 950);
        const float scale = static_cast<float>(width) / 950.0f;
        juce::Image shots[2];
        for (const bool on : { false, true })
        {
            ranged.setValueNotifyingHost(on ? 1.0f : 0.0f);
            Access::tick(opened);
            shots[on ? 1 : 0] = opened.createComponentSnapshot(opened.getLocalBounds());
        }
        const auto area = opened.getLocalArea(&toggle, toggle.getLocalBounds());
        for (const bool on : { false, true })
        {
            const float y = leverY(shots[on ? 1 : 0], shots[on ? 0 : 1], area, scale);
            const float offY = row.offCaption != nullptr ? paintedCaptionY(row.offCaption) : row.offCaptionY;
            const float onY = row.onCaption != nullptr ? paintedCaptionY(row.onCaption) : row.onCaptionY;
            const float own = on ? onY : offY;
            const float otherCaption = on ? offY : onY;
            EXPECT_LT(std::abs(y - own), std::abs(y - otherCaption))
                << (on ? "on" : "off") << ": lever at canvas y " << y;
        }
    }
}

// Captions: "CLEAN" and "DRIVE" printed left of the channel switch's rows, "I" and "II" beside
// the reverb type switch, "Dark" and "Bright" painted above and below the bright switch.
INSTANTIATE_TEST_SUITE_P(Switches, EditorSwitchReadingTest,
                         ::testing::Values(SwitchCase{ "chanelDrive", 95.0f, 185.0f },
                                           SwitchCase{ "reverbType2", 110.0f, 136.0f },
                                           SwitchCase{ "bright", 0.0f, 0.0f, "Dark", "Bright" }),
                         [](const auto& testCase) { return std::string(testCase.param.id); });
}
