// Bat switches and LED push buttons: the picture follows the state alone.
#include "EditorTestSupport.h"

#include "EditorArtwork.h"

namespace
{
struct ToggleCase
{
    const char* id;
    int width, height;
    const unsigned char* onPicture;
    int onSize;
    const unsigned char* offPicture;
    int offSize;
};

void PrintTo(const ToggleCase& toggle, std::ostream* out) { *out << toggle.id; }

// The picture stretched to the button's exact size, drawn at its origin.
juce::Image expectedFace(const unsigned char* png, int size, int width, int height)
{
    juce::Image face(juce::Image::ARGB, width, height, true);
    juce::Graphics g(face);
    g.drawImageAt(juce::ImageCache::getFromMemory(png, size).rescaled(width, height), 0, 0);
    return face;
}

bool samePixels(const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return false;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt(x, y) != b.getPixelAt(x, y))
                return false;
    return true;
}

class EditorToggleLookTest : public EditorTest, public ::testing::WithParamInterface<ToggleCase>
{};

TEST_P(EditorToggleLookTest, PictureFollowsTheStateNotHoverOrPress)
{
    const auto& row = GetParam();
    auto& opened = openAndSettle();
    auto& toggle = controlNamed<juce::ToggleButton>(row.id);
    ASSERT_EQ(toggle.getWidth(), row.width);
    ASSERT_EQ(toggle.getHeight(), row.height);

    const auto onFace = expectedFace(row.onPicture, row.onSize, row.width, row.height);
    const auto offFace = expectedFace(row.offPicture, row.offSize, row.width, row.height);
    ASSERT_FALSE(samePixels(onFace, offFace));

    auto& ranged = dynamic_cast<juce::RangedAudioParameter&>(
        *processor->getParameters()[Access::controls(opened).indexOf(&toggle)]);
    for (const bool on : { false, true, false })
    {
        ranged.setValueNotifyingHost(on ? 1.0f : 0.0f);
        Access::tick(opened);
        ASSERT_EQ(toggle.getToggleState(), on);
        for (const auto state : { juce::Button::buttonNormal, juce::Button::buttonOver, juce::Button::buttonDown })
        {
            toggle.setState(state);
            const auto snapshot = toggle.createComponentSnapshot(toggle.getLocalBounds());
            EXPECT_TRUE(samePixels(snapshot, on ? onFace : offFace)) << (on ? "on" : "off") << ", state " << state;
        }
        toggle.setState(juce::Button::buttonNormal);
    }
}

INSTANTIATE_TEST_SUITE_P(Toggles, EditorToggleLookTest,
                         ::testing::Values(ToggleCase{ "chanelDrive", 52, 52, kBatSwitchDownPng, kBatSwitchDownPngSize,
                                                       kBatSwitchUpPng, kBatSwitchUpPngSize },
                                           ToggleCase{ "bright", 52, 52, kBatSwitchDownPng, kBatSwitchDownPngSize,
                                                       kBatSwitchUpPng, kBatSwitchUpPngSize },
                                           ToggleCase{ "reverbType2", 42, 42, kBatSwitchDownPng, kBatSwitchDownPngSize,
                                                       kBatSwitchUpPng, kBatSwitchUpPngSize },
                                           ToggleCase{ "boost", 25, 32, kLedButtonLitPng, kLedButtonLitPngSize,
                                                       kLedButtonDarkPng, kLedButtonDarkPngSize },
                                           ToggleCase{ "hqReverb", 25, 32, kLedButtonLitPng, kLedButtonLitPngSize,
                                                       kLedButtonDarkPng, kLedButtonDarkPngSize }),
                         [](const auto& testCase) { return std::string(testCase.param.id); });
}
