#include "KnobAndToggle.h"

#include "EditorArtwork.h"

namespace
{
// Loads an outline into a fresh path and stretches it (proportions not kept) over the square
// of radius r about (cx, cy).
juce::Path fitOutline(const unsigned char* data, int size, double cx, double cy, double r)
{
    juce::Path path;
    path.loadPathFromData(data, static_cast<size_t>(size));
    path.scaleToFit(static_cast<float>(cx - r), static_cast<float>(cy - r), static_cast<float>(2.0 * r),
                    static_cast<float>(2.0 * r), false);
    return path;
}

juce::Path fitBody(double cx, double cy, double r) { return fitOutline(kKnobBodyPath, kKnobBodyPathSize, cx, cy, r); }

void fillRadial(juce::Graphics& g, const juce::Path& path, juce::Colour from, double fromX, double fromY,
                juce::Colour to, double toX, double toY)
{
    g.setGradientFill(juce::ColourGradient(from, static_cast<float>(fromX), static_cast<float>(fromY), to,
                                           static_cast<float>(toX), static_cast<float>(toY), true));
    g.fillPath(path);
}
}

KnobAndToggle::KnobAndToggle()
    : onImageData(kBatSwitchDownPng), onImageSize(kBatSwitchDownPngSize), offImageData(kBatSwitchUpPng),
      offImageSize(kBatSwitchUpPngSize), offImage(juce::ImageCache::getFromMemory(offImageData, offImageSize)),
      onImage(juce::ImageCache::getFromMemory(onImageData, onImageSize))
{}

KnobAndToggle::~KnobAndToggle() = default;

void drawToggleAsPicture(juce::Graphics& g, const juce::ToggleButton& button, const juce::Image& onImage,
                         const juce::Image& offImage)
{
    const juce::Image& picture = button.getToggleState() ? onImage : offImage;
    // A picture that did not decode, or a button without area, draws nothing.
    if (!picture.isValid() || button.getWidth() <= 0 || button.getHeight() <= 0)
        return;
    g.drawImageAt(picture.rescaled(button.getWidth(), button.getHeight()), 0, 0);
}

void KnobAndToggle::drawToggleButton(juce::Graphics& g, juce::ToggleButton& button, bool, bool)
{
    drawToggleAsPicture(g, button, onImage, offImage);
}

void KnobAndToggle::drawRotarySlider(juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                                     float rotaryStartAngle, float rotaryEndAngle, juce::Slider&)
{
    // Lengths in double precision, rounded to float where they reach a path or the context;
    // angles in single precision.
    const double w = width;
    const double h = height;
    const double m = 0.1 * h;         // index mark height and the band above the knob
    const double R = 0.47 * (h - m);  // reference radius, set by the height alone
    const double cx = x + 0.5 * w;
    const double cy = y + m + R;
    const auto fcx = static_cast<float>(cx);
    const auto fcy = static_cast<float>(cy);

    juce::Path mark;
    mark.addRectangle(static_cast<float>(x + 0.5 * (w - 0.02 * w)), static_cast<float>(y), static_cast<float>(0.02 * w),
                      static_cast<float>(m));
    g.setColour(juce::Colours::antiquewhite);
    g.fillPath(mark);

    const double bodyRadius = 0.95 * R;
    const double secondRadius = 0.9 * R;
    const juce::Path body = fitBody(cx, cy, bodyRadius);
    const juce::Path secondBody = fitBody(cx, cy, secondRadius);
    const int bodyShadowOffset = static_cast<int>(0.12 * bodyRadius);
    juce::DropShadow(juce::Colours::black, 4, { bodyShadowOffset, bodyShadowOffset }).drawForPath(g, body);
    fillRadial(g, body, juce::Colour(0xff8c8c8c), cx - 0.7 * bodyRadius, cy - 0.7 * bodyRadius,
               juce::Colour(0xff0f0f0f), cx, cy);
    fillRadial(g, secondBody, juce::Colour(0xffc8c8c8), cx - 0.7 * secondRadius, cy - 0.7 * secondRadius,
               juce::Colour(0xff0f0f0f), cx, cy);

    // Numeral j is drawn upright at 12 o'clock, then turned so that it stands under the mark
    // exactly when sliderPos is j / 10; the ring turns clockwise as the value rises.
    const float sliderAngle = rotaryStartAngle + sliderPos * (rotaryEndAngle - rotaryStartAngle);
    const float step = (rotaryEndAngle - rotaryStartAngle) / -10.0f;
    const double numeralHeight = 0.2 * R;
    const double numeralTop = cy - 0.9 * R + 2.0;
    for (int j = 0; j <= 10; ++j)
    {
        juce::Path numeral;
        numeral.loadPathFromData(kKnobDigitPaths[j].data, static_cast<size_t>(kKnobDigitPaths[j].size));
        g.setColour(j == 5 ? juce::Colours::red : juce::Colours::whitesmoke);
        const double numeralWidth = j < 10 ? 0.7 * numeralHeight : numeralHeight;
        numeral.scaleToFit(static_cast<float>(cx - 0.5 * numeralWidth), static_cast<float>(numeralTop),
                           static_cast<float>(numeralWidth), static_cast<float>(numeralHeight), false);
        const float angle = static_cast<float>(j) * step - rotaryStartAngle + sliderAngle;
        numeral.applyTransform(juce::AffineTransform::rotation(angle, fcx, fcy));
        g.fillPath(numeral);
    }

    const double capRadius = 0.6 * secondRadius;
    const juce::Path cap = fitBody(cx, cy, capRadius);
    const int capShadowOffset = static_cast<int>(0.27 * capRadius);
    juce::DropShadow(juce::Colours::black, 4, { capShadowOffset, capShadowOffset }).drawForPath(g, cap);
    fillRadial(g, cap, juce::Colour(0xffc8c8c8), cx - 0.7 * capRadius, cy - 0.7 * capRadius, juce::Colour(0xff1e1e1e),
               cx, cy);

    const double innerRadius = 0.8 * capRadius;
    const juce::Path innerCap = fitBody(cx, cy, innerRadius);
    fillRadial(g, innerCap, juce::Colours::white, cx - 0.5 * innerRadius, cy - 0.5 * innerRadius,
               juce::Colour(0xff969696), cx + 10.0, cy + 10.0);

    // Knurl: eleven bars through the centre, the path turned by 18 degrees after each one, which
    // leaves a star of ten lines; then turned with the value.
    juce::Path knurl;
    for (int bar = 0; bar < 11; ++bar)
    {
        knurl.addRectangle(static_cast<float>(cx - 1.0), static_cast<float>(cy - innerRadius), 2.0f,
                           static_cast<float>(2.0 * innerRadius));
        knurl.applyTransform(juce::AffineTransform::rotation(juce::MathConstants<float>::pi / 10.0f, fcx, fcy));
    }
    knurl.applyTransform(juce::AffineTransform::rotation(sliderAngle - rotaryStartAngle, fcx, fcy));
    fillRadial(g, knurl, juce::Colour(0xff969696), cx, cy, juce::Colours::white, cx, cy + innerRadius);
}
