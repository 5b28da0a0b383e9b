// The drawn knob: geometry of the 80 x 80 knob, and the numeral that stands under the mark.
#include "KnobAndToggle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
constexpr float kPi = juce::MathConstants<float>::pi;
constexpr float kStartAngle = 1.2f * kPi;  // the framework's default rotary angles
constexpr float kEndAngle = 2.8f * kPi;

// A software renderer that also records what is filled and with what, and where the drop
// shadows land (a shadow is drawn as a fill through an alpha mask).
class RecordingRenderer : public juce::LowLevelGraphicsSoftwareRenderer
{
public:
    struct Fill
    {
        juce::Rectangle<float> bounds;
        juce::FillType fill;
    };
    std::vector<Fill> fills;
    std::vector<juce::Rectangle<float>> shadowMasks;

    explicit RecordingRenderer(const juce::Image& target) : juce::LowLevelGraphicsSoftwareRenderer(target) {}

    void setFill(const juce::FillType& fillType) override
    {
        currentFill = fillType;
        juce::LowLevelGraphicsSoftwareRenderer::setFill(fillType);
    }
    void fillPath(const juce::Path& path, const juce::AffineTransform& transform) override
    {
        fills.push_back({ path.getBoundsTransformed(transform), currentFill });
        juce::LowLevelGraphicsSoftwareRenderer::fillPath(path, transform);
    }
    void clipToImageAlpha(const juce::Image& mask, const juce::AffineTransform& transform) override
    {
        shadowMasks.push_back(mask.getBounds().toFloat().transformedBy(transform));
        juce::LowLevelGraphicsSoftwareRenderer::clipToImageAlpha(mask, transform);
    }

private:
    juce::FillType currentFill;
};

struct RecordedKnob
{
    juce::Image image{ juce::Image::ARGB, 1, 1, true };
    std::vector<RecordingRenderer::Fill> fills;
    std::vector<juce::Rectangle<float>> shadowMasks;
};

RecordedKnob drawKnob(int size, float sliderPos)
{
    KnobAndToggle look;
    juce::Slider slider;
    RecordedKnob knob;
    knob.image = juce::Image(juce::Image::ARGB, size, size, true);
    RecordingRenderer renderer(knob.image);
    {
        juce::Graphics g(renderer);
        look.drawRotarySlider(g, 0, 0, size, size, sliderPos, kStartAngle, kEndAngle, slider);
    }
    knob.fills = renderer.fills;
    knob.shadowMasks = renderer.shadowMasks;
    return knob;
}

void expectRect(const juce::Rectangle<float>& actual, double x, double y, double w, double h, double tolerance = 2e-3)
{
    EXPECT_NEAR(actual.getX(), x, tolerance) << actual.toString();
    EXPECT_NEAR(actual.getY(), y, tolerance) << actual.toString();
    EXPECT_NEAR(actual.getWidth(), w, tolerance) << actual.toString();
    EXPECT_NEAR(actual.getHeight(), h, tolerance) << actual.toString();
}

void expectCircle(const juce::Rectangle<float>& actual, double cx, double cy, double r)
{
    expectRect(actual, cx - r, cy - r, 2 * r, 2 * r);
}

void expectRadial(const juce::FillType& fill, juce::uint32 from, float fromX, float fromY, juce::uint32 to, float toX,
                  float toY)
{
    ASSERT_TRUE(fill.isGradient());
    const auto& gradient = *fill.gradient;
    EXPECT_TRUE(gradient.isRadial);
    ASSERT_EQ(gradient.getNumColours(), 2);
    EXPECT_EQ(gradient.getColour(0), juce::Colour(from));
    EXPECT_EQ(gradient.getColour(1), juce::Colour(to));
    EXPECT_NEAR(gradient.point1.x, fromX, 2e-3);
    EXPECT_NEAR(gradient.point1.y, fromY, 2e-3);
    EXPECT_NEAR(gradient.point2.x, toX, 2e-3);
    EXPECT_NEAR(gradient.point2.y, toY, 2e-3);
}

// The editor's 80 x 80 knob: m 8, R 33.84, centre (40, 41.84).
TEST(EditorKnobDrawingTest, EightyPixelKnobHasTheWorkedExampleGeometry)
{
    const double cx = 40.0, cy = 41.84;
    const auto knob = drawKnob(80, 0.0f);
    // Index mark, body, second body, 11 numerals, cap, inner cap, knurl.
    ASSERT_EQ(knob.fills.size(), 17u);

    expectRect(knob.fills[0].bounds, 39.2, 0.0, 1.6, 8.0);
    EXPECT_EQ(knob.fills[0].fill.colour, juce::Colours::antiquewhite);

    expectCircle(knob.fills[1].bounds, cx, cy, 32.148);
    expectRadial(knob.fills[1].fill, 0xff8c8c8c, 40.0f - 0.7f * 32.148f, 41.84f - 0.7f * 32.148f, 0xff0f0f0f, 40.0f,
                 41.84f);
    expectCircle(knob.fills[2].bounds, cx, cy, 30.456);
    expectRadial(knob.fills[2].fill, 0xffc8c8c8, 40.0f - 0.7f * 30.456f, 41.84f - 0.7f * 30.456f, 0xff0f0f0f, 40.0f,
                 41.84f);

    // Numerals: 4.7376 x 6.768 with their top at 13.384; numeral 0 upright under the mark.
    expectRect(knob.fills[3].bounds, cx - 4.7376 / 2, 13.384, 4.7376, 6.768);
    for (int j = 0; j <= 10; ++j)
        EXPECT_EQ(knob.fills[static_cast<size_t>(3 + j)].fill.colour,
                  j == 5 ? juce::Colours::red : juce::Colours::whitesmoke)
            << j;
    // The scale rises counter-clockwise: at sliderPos 0 numerals 1 to 4 stand left of the mark.
    for (int j = 1; j <= 4; ++j)
        EXPECT_LT(knob.fills[static_cast<size_t>(3 + j)].bounds.getCentreX(), cx - 5.0) << j;

    expectCircle(knob.fills[14].bounds, cx, cy, 18.2736);
    expectRadial(knob.fills[14].fill, 0xffc8c8c8, 40.0f - 0.7f * 18.2736f, 41.84f - 0.7f * 18.2736f, 0xff1e1e1e, 40.0f,
                 41.84f);
    expectCircle(knob.fills[15].bounds, cx, cy, 14.61888);
    expectRadial(knob.fills[15].fill, 0xffffffff, 40.0f - 0.5f * 14.61888f, 41.84f - 0.5f * 14.61888f, 0xff969696,
                 50.0f, 51.84f);

    // Knurl: bars 2 wide and 29.238 long through the centre; at sliderPos 0 one of them is
    // vertical, so the star reaches exactly the inner cap's radius above and below the centre.
    EXPECT_NEAR(knob.fills[16].bounds.getY(), cy - 14.61888, 2e-3);
    EXPECT_NEAR(knob.fills[16].bounds.getBottom(), cy + 14.61888, 2e-3);
    EXPECT_NEAR(knob.fills[16].bounds.getCentreX(), cx, 2e-3);
    expectRadial(knob.fills[16].fill, 0xff969696, 40.0f, 41.84f, 0xffffffff, 40.0f, 41.84f + 14.61888f);

    // Shadows of the body and of the cap, offset by 3 and by 4 pixels: the mask covers the
    // path's integer bounds moved by the offset and grown by the blur radius plus one.
    ASSERT_EQ(knob.shadowMasks.size(), 2u);
    const auto bodyBox = knob.fills[1].bounds.getSmallestIntegerContainer();
    EXPECT_EQ(knob.shadowMasks[0], (bodyBox + juce::Point<int>(3, 3)).expanded(5).toFloat());
    const auto capBox = knob.fills[14].bounds.getSmallestIntegerContainer();
    EXPECT_EQ(knob.shadowMasks[1], (capBox + juce::Point<int>(4, 4)).expanded(5).toFloat());
}

// Numeral j stands upright under the mark, in its own box, exactly when sliderPos is j / 10.
TEST(EditorKnobDrawingTest, EachNumeralStandsUprightUnderTheMarkAtItsValue)
{
    for (int j = 0; j <= 10; ++j)
    {
        SCOPED_TRACE(j);
        const auto knob = drawKnob(80, static_cast<float>(j) / 10.0f);
        const double width = j < 10 ? 4.7376 : 6.768;
        expectRect(knob.fills[static_cast<size_t>(3 + j)].bounds, 40.0 - width / 2, 13.384, width, 6.768);
    }
}

struct MarkCase
{
    float sliderPos;
    bool red;
    double widthInR;  // the numeral box's width as a share of R
};

void PrintTo(const MarkCase& mark, std::ostream* out) { *out << "sliderPos " << mark.sliderPos; }

class EditorKnobNumeralTest : public ::testing::TestWithParam<MarkCase>
{};

// Reads the picture below the index mark: the numeral there is red only for 5, and its bright
// pixels span the width of its own box (numeral 10's box is wider than 0's).
TEST_P(EditorKnobNumeralTest, ShowsTheValueOnTheTenStepScale)
{
    const auto& expected = GetParam();
    const int size = 320;
    const double R = 0.47 * (size - 0.1 * size);
    const double cx = 0.5 * size, cy = 0.1 * size + R;
    const auto image = drawKnob(size, expected.sliderPos).image;

    const int top = static_cast<int>(cy - 0.9 * R + 2.0);
    const int bottom = static_cast<int>(cy - 0.7 * R + 2.0);
    int red = 0, light = 0, left = size, right = -1;
    for (int y = top; y <= bottom; ++y)
        for (int x = static_cast<int>(cx - 0.25 * R); x <= static_cast<int>(cx + 0.25 * R); ++x)
        {
            const auto pixel = image.getPixelAt(x, y);
            const bool isRed = pixel.getRed() > 200 && pixel.getGreen() < 60 && pixel.getBlue() < 60;
            const bool isLight = pixel.getRed() > 200 && pixel.getGreen() > 200 && pixel.getBlue() > 200;
            red += isRed ? 1 : 0;
            light += isLight ? 1 : 0;
            if (isRed || isLight)
            {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    if (expected.red)
    {
        EXPECT_GT(red, 100);
        EXPECT_EQ(light, 0);
    }
    else
    {
        EXPECT_EQ(red, 0);
        EXPECT_GT(light, 100);
    }
    EXPECT_NEAR(right - left + 1, expected.widthInR * R, 2.5);
    EXPECT_NEAR(0.5 * (left + right + 1), cx, 1.5);
}

INSTANTIATE_TEST_SUITE_P(SliderPositions, EditorKnobNumeralTest,
                         ::testing::Values(MarkCase{ 0.0f, false, 0.14 }, MarkCase{ 0.5f, true, 0.14 },
                                           MarkCase{ 1.0f, false, 0.2 }),
                         [](const auto& testCase) {
                             return "sliderPos_" + std::to_string(static_cast<int>(testCase.param.sliderPos * 10))
                                 + "_tenths";
                         });
}
