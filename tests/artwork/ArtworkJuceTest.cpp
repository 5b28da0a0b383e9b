// The built-in pictures and outlines as the editor loads them: JUCE's PNG decoder and image
// cache, and juce::Path::loadPathFromData.
#include "ArtworkPictures.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <string>

namespace
{
class JucePictureTest : public ::testing::TestWithParam<PictureCase>
{
protected:
    static void SetUpTestSuite() { gui = new juce::ScopedJuceInitialiser_GUI(); }
    static void TearDownTestSuite()
    {
        delete gui;
        gui = nullptr;
    }
    static juce::ScopedJuceInitialiser_GUI* gui;
};

juce::ScopedJuceInitialiser_GUI* JucePictureTest::gui = nullptr;

TEST_P(JucePictureTest, DecodesToAnArgbImageOfItsSize)
{
    const PictureCase& c = GetParam();
    const juce::Image image = juce::ImageFileFormat::loadFrom(c.data, static_cast<size_t>(c.size));
    ASSERT_TRUE(image.isValid());
    EXPECT_EQ(c.width, image.getWidth());
    EXPECT_EQ(c.height, image.getHeight());
    EXPECT_EQ(juce::Image::ARGB, image.getFormat());

    const juce::Image cached = juce::ImageCache::getFromMemory(c.data, c.size);
    ASSERT_TRUE(cached.isValid());
    EXPECT_EQ(c.width, cached.getWidth());
    EXPECT_EQ(c.height, cached.getHeight());
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, JucePictureTest, ::testing::ValuesIn(kPictureCases), pictureCaseName);

struct PathShape
{
    int subPaths = 0;
    int lines = 0;
    int curves = 0;
    int closes = 0;
};

PathShape shapeOf(const juce::Path& path)
{
    PathShape shape;
    for (juce::Path::Iterator it(path); it.next();)
    {
        switch (it.elementType)
        {
        case juce::Path::Iterator::startNewSubPath:
            ++shape.subPaths;
            break;
        case juce::Path::Iterator::lineTo:
            ++shape.lines;
            break;
        case juce::Path::Iterator::quadraticTo:
        case juce::Path::Iterator::cubicTo:
            ++shape.curves;
            break;
        case juce::Path::Iterator::closePath:
            ++shape.closes;
            break;
        default:
            break;
        }
    }
    return shape;
}

TEST(JuceKnobBodyPath, LoadsAsTheOpenCircleAboutItsCentre)
{
    juce::Path body;
    body.loadPathFromData(kKnobBodyPath, kKnobBodyPathSize);
    EXPECT_TRUE(body.isUsingNonZeroWinding());

    const PathShape shape = shapeOf(body);
    EXPECT_EQ(1, shape.subPaths);
    EXPECT_EQ(128, shape.lines);
    EXPECT_EQ(0, shape.closes);

    // The editor fits this outline to each radius by its bounds: the polygon's vertices miss
    // the circle's extremes by at most 50 * (1 - cos 0.025).
    const juce::Rectangle<float> bounds = body.getBounds();
    EXPECT_NEAR(50.0f, bounds.getX(), 0.02f);
    EXPECT_EQ(100.0f, bounds.getY());
    EXPECT_NEAR(100.0f, bounds.getWidth(), 0.02f);
    EXPECT_NEAR(100.0f, bounds.getHeight(), 0.02f);
    EXPECT_NEAR(2.0 * juce::MathConstants<double>::pi * 50.0, body.getLength(), 0.05);
    EXPECT_TRUE(body.contains(100.0f, 150.0f));
    EXPECT_FALSE(body.contains(100.0f, 99.0f));
}

TEST(JuceKnobDigitPaths, EachNumeralLoadsWithItsSubPathsAndAnUprightBox)
{
    for (int n = 0; n < 11; ++n)
    {
        SCOPED_TRACE("numeral " + std::to_string(n));
        juce::Path numeral;
        numeral.loadPathFromData(kKnobDigitPaths[n].data, static_cast<size_t>(kKnobDigitPaths[n].size));
        const PathShape shape = shapeOf(numeral);
        EXPECT_EQ(kNumeralSubPaths[n], shape.subPaths);
        EXPECT_EQ(shape.subPaths, shape.closes);
        EXPECT_GT(shape.curves + shape.lines, 0);

        // The editor stretches numerals 0 to 9 into boxes 0.7 as wide as high and "10" into a
        // square: outlines far from those shapes would come out distorted.
        const juce::Rectangle<float> bounds = numeral.getBounds();
        ASSERT_FALSE(bounds.isEmpty());
        const float aspect = bounds.getWidth() / bounds.getHeight();
        EXPECT_GT(aspect, n < 10 ? 0.6f : 1.2f);
        EXPECT_LT(aspect, n < 10 ? 0.9f : 1.8f);
    }
}
}  // namespace
