// Placement of the controls on the canvas, scaling with the window, and painting.
#include "EditorTestSupport.h"

#include "EditorArtwork.h"
#include "EditorLayout.h"

#include <cmath>
#include <vector>

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

void PrintTo(const SizeCase& size, std::ostream* out) { *out << size.requestedWidth << " x " << size.requestedHeight; }

class EditorSizeTest : public EditorTest, public ::testing::WithParamInterface<SizeCase>
{};

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
                         ::testing::Values(SizeCase{ 950, 400, 950, 400 }, SizeCase{ 1900, 800, 1900, 800 },
                                           SizeCase{ 1900, 400, 1900, 800 }, SizeCase{ 475, 300, 475, 200 },
                                           SizeCase{ 1000, 400, 1000, 421 }, SizeCase{ 953, 400, 952, 400 }),
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

// The face of every caption: DejaVu Sans Bold, as the background's printed captions.
juce::Font expectedCaptionFont(float height)
{
    return juce::Font(
               juce::Typeface::createSystemTypefaceFor(kCaptionFontTtf, static_cast<size_t>(kCaptionFontTtfSize)))
        .withHeight(height);
}

struct CaptionCase
{
    juce::String text;
    juce::uint32 colour;
    float height;
    juce::Rectangle<int> area;
};

const CaptionCase kExpectedCaptions[] = {
    { "Dark", 0xffebe5d6, 12.0f, { 65, 268, 52, 15 } },
    { "Bright", 0xffebe5d6, 12.0f, { 65, 336, 52, 15 } },
    { "Dirty", 0xffebe5d6, 12.0f, { 205, 105, 55, 15 } },
    { JucePlugin_VersionString, 0xffb9b3a6, 10.5f, { 555, 326, 55, 14 } },
};

// The editor's own painting, pixel for pixel: the background at the canvas origin, the jack at
// 46 x 48, and each caption in the caption face, weight, colour and place.
TEST_F(EditorLayoutTest, PaintsBackgroundJackAndCaptionsInTheCaptionFace)
{
    auto& opened = open();
    juce::Image painted(juce::Image::ARGB, 950, 400, true);
    {
        juce::Graphics g(painted);
        opened.paint(g);
    }
    ASSERT_EQ(expectedCaptionFont(12.0f).getTypefaceName(), "DejaVu Sans");
    ASSERT_EQ(expectedCaptionFont(12.0f).getTypefaceStyle(), "Bold");

    juce::Image expected(juce::Image::ARGB, 950, 400, true);
    {
        juce::Graphics g(expected);
        g.fillAll(juce::Colour(0xff323232));
        g.drawImageAt(juce::ImageCache::getFromMemory(kBackgroundPng, kBackgroundPngSize), 0, 0);
        g.drawImageAt(juce::ImageCache::getFromMemory(kJackPng, kJackPngSize).rescaled(46, 48), 120, 285);
        for (const auto& caption : kExpectedCaptions)
        {
            g.setColour(juce::Colour(caption.colour));
            g.setFont(expectedCaptionFont(caption.height));
            g.drawFittedText(caption.text, caption.area, juce::Justification::centredBottom, 1);
        }
    }
    int differing = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 950; ++x)
            differing += painted.getPixelAt(x, y) != expected.getPixelAt(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
}

double relativeLuminance(juce::Colour colour)
{
    const auto linear = [](float channel) {
        return channel <= 0.03928f ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.getFloatRed()) + 0.7152 * linear(colour.getFloatGreen())
        + 0.0722 * linear(colour.getFloatBlue());
}

double contrast(juce::Colour a, juce::Colour b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Text reads against what lies behind it: at least 4.5:1 against the lightest background pixel
// under each caption and link, and against the cabinet selector's own background.
TEST(EditorTextContrastTest, EveryTextStandsOutFromWhatLiesBehindIt)
{
    const auto background = juce::ImageCache::getFromMemory(kBackgroundPng, kBackgroundPngSize);
    struct TextCase
    {
        const char* what;
        juce::Colour colour;
        juce::Rectangle<int> area;
    };
    std::vector<TextCase> cases;
    for (const auto& caption : EditorLayout::kCaptions)
        cases.push_back(
            { caption.text, juce::Colour(caption.colour), { caption.x, caption.y, caption.width, caption.height } });
    for (const auto& link : { EditorLayout::kSiteLink, EditorLayout::kDonateLink })
        cases.push_back({ link.name, juce::Colour(0xffb4b4b4), { link.x, link.y, link.width, link.height } });
    for (const auto& text : cases)
    {
        juce::Colour lightest(0xff000000);
        for (int y = text.area.getY(); y < text.area.getBottom(); ++y)
            for (int x = text.area.getX(); x < text.area.getRight(); ++x)
                if (relativeLuminance(background.getPixelAt(x, y)) > relativeLuminance(lightest))
                    lightest = background.getPixelAt(x, y);
        EXPECT_GE(contrast(text.colour, lightest), 4.5) << text.what;
    }
    for (const auto& [what, ink] :
         { std::pair{ "cabinet text", EditorLayout::kInsetText }, std::pair{ "menu heading", EditorLayout::kDimInk } })
        EXPECT_GE(contrast(juce::Colour(ink), juce::Colour(EditorLayout::kInset)), 4.5) << what;
    EXPECT_GE(contrast(juce::Colour(EditorLayout::kInk), juce::Colour(EditorLayout::kHighlight)), 4.5);
}

// Where a caption's letters lie in canvas units, as drawFittedText places them.
juce::Rectangle<float> inkOf(const EditorLayout::Caption& caption)
{
    juce::GlyphArrangement glyphs;
    glyphs.addFittedText(expectedCaptionFont(caption.fontHeight), caption.text, static_cast<float>(caption.x),
                         static_cast<float>(caption.y), static_cast<float>(caption.width),
                         static_cast<float>(caption.height), juce::Justification::centredBottom, 1);
    return glyphs.getBoundingBox(0, -1, true);
}

juce::Rectangle<float> boundsOf(const EditorLayout::Placement& placement)
{
    return juce::Rectangle<int>(placement.x, placement.y, placement.width, placement.height).toFloat();
}

// Nothing touches: the captions keep clear of every control, the jack, the links and the corner
// caps, and the framework's resize grip (18 pixels in the bottom-right corner) keeps clear of the
// corner caps, at 1x and 2x.
TEST(EditorClearanceTest, CaptionsControlsCornerCapsAndResizeGripKeepApart)
{
    std::vector<std::pair<juce::String, juce::Rectangle<float>>> items;
    for (const auto& placement : EditorLayout::kSliders)
        items.push_back({ placement.name, boundsOf(placement) });
    for (const auto& placement : EditorLayout::kToggles)
        items.push_back({ placement.name, boundsOf(placement) });
    for (const auto& placement :
         { EditorLayout::kCabinet, EditorLayout::kJack, EditorLayout::kSiteLink, EditorLayout::kDonateLink })
        items.push_back({ placement.name, boundsOf(placement) });

    for (const auto& caption : EditorLayout::kCaptions)
    {
        const auto ink = inkOf(caption).expanded(1.0f);
        for (const auto& [name, bounds] : items)
            EXPECT_FALSE(ink.intersects(bounds)) << caption.text << " touches " << name;
        for (const auto& cap : EditorLayout::kCornerCaps)
            EXPECT_FALSE(ink.intersects(boundsOf(cap))) << caption.text << " touches " << cap.name;
    }
    for (const auto& cap : EditorLayout::kCornerCaps)
    {
        for (const auto& [name, bounds] : items)
            EXPECT_FALSE(boundsOf(cap).intersects(bounds)) << cap.name << " touches " << name;
        for (const float scale : { 1.0f, 2.0f })
        {
            const float grip = 18.0f / scale;
            const juce::Rectangle<float> gripArea(950.0f - grip, 400.0f - grip, grip, grip);
            EXPECT_FALSE(boundsOf(cap).intersects(gripArea)) << cap.name << " at " << scale << "x";
        }
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
