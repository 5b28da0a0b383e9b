// Placement of the controls on the canvas, scaling with the window, and painting.
#include "EditorTestSupport.h"

#include "EditorArtwork.h"

namespace
{
struct Placement
{
    const char* id;
    juce::Rectangle<int> bounds;
};

const Placement kPlacements[] = {
    { "preGainClean", { 115, 53, 80, 80 } }, { "preGainDrive", { 115, 143, 80, 80 } },
    { "flavorDrive", { 194, 143, 80, 80 } }, { "bassClean", { 305, 53, 80, 80 } },
    { "mediumClean", { 384, 53, 80, 80 } },  { "highClean", { 464, 53, 80, 80 } },
    { "bassDrive", { 305, 143, 80, 80 } },   { "mediumDrive", { 384, 143, 80, 80 } },
    { "highDrive", { 464, 143, 80, 80 } },   { "volumeClean", { 574, 53, 80, 80 } },
    { "volumeDrive", { 574, 143, 80, 80 } }, { "presence", { 676, 102, 80, 80 } },
    { "reverb", { 764, 102, 80, 80 } },      { "reverbType2", { 845, 102, 42, 42 } },
    { "chanelDrive", { 65, 120, 52, 52 } },  { "bright", { 65, 285, 52, 52 } },
    { "hqReverb", { 855, 155, 25, 32 } },    { "boost", { 220, 70, 25, 32 } },
    { "cab", { 634, 290, 250, 40 } },
};

using EditorLayoutTest = EditorTest;

// Where a control ends up in the editor's own pixels, through the canvas's transform.
juce::Rectangle<int> inEditor(Editor& editor, juce::Component& control)
{
    return editor.getLocalArea(&control, control.getLocalBounds());
}

TEST_F(EditorLayoutTest, CanvasIsDrawnOneToOneAt950By400)
{
    auto& opened = open();
    for (int index = 0; index < static_cast<int>(std::size(kPlacements)); ++index)
    {
        SCOPED_TRACE(kPlacements[index].id);
        EXPECT_EQ(control(index).getName(), kPlacements[index].id);
        EXPECT_EQ(control(index).getBounds(), kPlacements[index].bounds);
        EXPECT_EQ(inEditor(opened, control(index)), kPlacements[index].bounds);
    }
}

struct SizeCase
{
    int requestedWidth, requestedHeight, width, height;
};

void PrintTo(const SizeCase& size, std::ostream* out)
{
    *out << size.requestedWidth << " x " << size.requestedHeight;
}

class EditorSizeTest : public EditorTest, public ::testing::WithParamInterface<SizeCase>
{
};

// The width decides: the editor holds 950:400, the canvas scaled by width / 950.
TEST_P(EditorSizeTest, HoldsTheAspectWithTheWidthDeciding)
{
    const auto& size = GetParam();
    auto& opened = open();
    opened.setSize(size.requestedWidth, size.requestedHeight);
    EXPECT_EQ(opened.getWidth(), size.width);
    EXPECT_EQ(opened.getHeight(), size.height);

    const float scale = static_cast<float>(size.width) / 950.0f;
    EXPECT_EQ(Access::canvas(opened).getTransform(), juce::AffineTransform::scale(scale));
    EXPECT_EQ(Access::canvas(opened).getBounds(), juce::Rectangle<int>(0, 0, 950, 400));
    for (int index = 0; index < static_cast<int>(std::size(kPlacements)); ++index)
        EXPECT_EQ(control(index).getBounds(), kPlacements[index].bounds) << kPlacements[index].id;
}

INSTANTIATE_TEST_SUITE_P(Requests, EditorSizeTest,
                         ::testing::Values(SizeCase { 950, 400, 950, 400 }, SizeCase { 1900, 800, 1900, 800 },
                                           SizeCase { 1900, 400, 1900, 800 }, SizeCase { 475, 300, 475, 200 },
                                           SizeCase { 1000, 400, 1000, 421 }, SizeCase { 953, 400, 952, 400 }),
                         [](const auto& testCase) {
                             const auto& size = testCase.param;
                             return std::to_string(size.requestedWidth) + "x" + std::to_string(size.requestedHeight)
                                    + "_gives_" + std::to_string(size.width) + "x" + std::to_string(size.height);
                         });

TEST_F(EditorLayoutTest, ReverbKnobCoversItsScaledPlaceAt1900)
{
    auto& opened = open();
    opened.setSize(1900, 800);
    EXPECT_EQ(inEditor(opened, controlNamed<juce::Slider>("reverb")), juce::Rectangle<int>(1528, 204, 160, 160));
}

// The editor's own painting: background at the canvas origin, the jack, the captions.
TEST_F(EditorLayoutTest, PaintsBackgroundJackAndCaptions)
{
    auto& opened = open();
    juce::Image painted(juce::Image::ARGB, 950, 400, true);
    {
        juce::Graphics g(painted);
        opened.paint(g);
    }
    const auto background = juce::ImageCache::getFromMemory(kBackgroundPng, kBackgroundPngSize);
    ASSERT_TRUE(background.isValid());
    // Away from the jack and the captions the painting is the background picture itself.
    for (const auto point : { juce::Point<int>(3, 3), juce::Point<int>(475, 250), juce::Point<int>(940, 390) })
        EXPECT_EQ(painted.getPixelAt(point.x, point.y), background.getPixelAt(point.x, point.y)) << point.toString();

    // The jack, 46 x 48 at (120, 285): its centre is not the background's.
    EXPECT_NE(painted.getPixelAt(143, 309), background.getPixelAt(143, 309));

    // Each caption leaves pixels of exactly its colour inside its rectangle.
    struct CaptionCase
    {
        juce::uint32 colour;
        juce::Rectangle<int> area;
    };
    for (const auto& caption : { CaptionCase { 0xff979797, { 65, 273, 50, 20 } },
                                 CaptionCase { 0xff8d8d8d, { 65, 325, 50, 20 } },
                                 CaptionCase { 0xffa1a1a1, { 210, 102, 45, 20 } },
                                 CaptionCase { 0xff646464, { 560, 323, 45, 20 } } })
    {
        int exact = 0;
        for (int y = caption.area.getY(); y < caption.area.getBottom(); ++y)
            for (int x = caption.area.getX(); x < caption.area.getRight(); ++x)
                exact += painted.getPixelAt(x, y) == juce::Colour(caption.colour) ? 1 : 0;
        EXPECT_GT(exact, 8) << caption.area.toString();
    }
}

TEST_F(EditorLayoutTest, FirstPaintConfiguresTheLinksAndRepaintingChangesNothing)
{
    auto& opened = open();
    auto& site = Access::siteLink(opened);
    auto& donate = Access::donateLink(opened);

    for (int paint = 0; paint < 4; ++paint)
    {
        SCOPED_TRACE(paint);
        opened.createComponentSnapshot(opened.getLocalBounds());
        EXPECT_EQ(site.getBounds(), juce::Rectangle<int>(670, 46, 130, 18));
        EXPECT_EQ(donate.getBounds(), juce::Rectangle<int>(670, 64, 130, 18));
        EXPECT_EQ(site.getButtonText(), BRONDAVELL_SITE_LABEL);
        EXPECT_EQ(donate.getButtonText(), "Pay me a beer");
        EXPECT_EQ(site.getURL().toString(false), BRONDAVELL_SITE_URL);
        EXPECT_EQ(donate.getURL().toString(false), BRONDAVELL_DONATE_URL);
        for (auto* link : { &site, &donate })
        {
            EXPECT_EQ(link->getJustificationType().getFlags(), juce::Justification::centredRight);
            EXPECT_EQ(link->findColour(juce::HyperlinkButton::textColourId), juce::Colour(0xffb4b4b4));
        }
    }
}
}
