// The waveshaper lookup's edges and interpolation on both built-in curves.
#include "ShaperTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "AudioTables.h"

namespace
{
const ShaperTable& kPreamp = kPreampShaper;
const ShaperTable& kPowerAmp = kPowerAmpShaper;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct ExactCase
{
    const char* curve;
    float x;
    int entry;  // the table entry the lookup must return as it is
};

TEST(ShaperLookupTest, EdgesReturnTableEntriesExactly)
{
    const ExactCase cases[] = {
        { "preamp", 0.0f, 4000 },      { "preamp", -4.0f, 0 },          { "preamp", -3.9995f, 0 },
        { "preamp", -100.0f, 0 },      { "preamp", -kInf, 0 },          { "preamp", kNaN, 0 },
        { "preamp", 50.0f, 54000 },    { "preamp", 50.5f, 54000 },      { "preamp", 1e30f, 54000 },
        { "preamp", kInf, 54000 },     { "preamp", 1.0f, 5000 },        { "preamp", -1.0f, 3000 },
        { "powerAmp", 0.0f, 39000 },   { "powerAmp", -38.9995f, 0 },    { "powerAmp", -39.0f, 0 },
        { "powerAmp", -38.99901f, 0 }, { "powerAmp", kNaN, 0 },         { "powerAmp", -kInf, 0 },
        { "powerAmp", 62.0f, 101000 }, { "powerAmp", 1000.0f, 101000 }, { "powerAmp", kInf, 101000 },
        { "powerAmp", 1.0f, 40000 },   { "powerAmp", -20.0f, 19000 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.curve) + " x=" + std::to_string(c.x));
        const auto& shaper = std::string(c.curve) == "preamp" ? kPreamp : kPowerAmp;
        const float got = shaperTableLookup(shaper, c.x);
        EXPECT_EQ(got, shaper.table[c.entry]);
    }
}

TEST(ShaperLookupTest, InterpolatesBetweenNeighbours)
{
    struct Case
    {
        const char* curve;
        float x;
        int lower;     // the neighbouring entries
        float weight;  // expected share of the upper entry
    };
    const Case cases[] = {
        { "preamp", 49.9995f, 53999, 0.5f }, { "powerAmp", 61.9995f, 100999, 0.5f },
        { "preamp", 0.0005f, 4000, 0.5f },   { "powerAmp", -0.00025f, 38999, 0.75f },
        { "preamp", -3.9985f, 1, 0.5f },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.curve) + " x=" + std::to_string(c.x));
        const auto& shaper = std::string(c.curve) == "preamp" ? kPreamp : kPowerAmp;
        const float y0 = shaper.table[c.lower];
        const float y1 = shaper.table[c.lower + 1];
        const float got = shaperTableLookup(shaper, c.x);
        // The input grid in float is not exact: allow a few percent of the step.
        EXPECT_NEAR(got, y0 + (y1 - y0) * c.weight, std::abs(y1 - y0) * 0.05f + 1e-9f);
        EXPECT_GE(got, std::min(y0, y1));
        EXPECT_LE(got, std::max(y0, y1));
    }
}

// The lookup written with floor, as the curve's definition reads: the same bits for inputs spread
// over every sign, exponent and mantissa (every 1021st bit pattern, NaNs and infinities included).
float lookupWithFloor(const ShaperTable& shaper, float x)
{
    const float idx = (x + shaper.offset) * 1000.0f;
    if (!(idx >= 1.0f))
        return shaper.table[0];
    const float floored = std::floor(idx);
    if (floored >= static_cast<float>(shaper.size - 1))
        return shaper.table[shaper.size - 1];
    const int t = static_cast<int>(floored);
    return (shaper.table[t + 1] - shaper.table[t]) * (idx - floored) + shaper.table[t];
}

TEST(ShaperLookupTest, SameBitsAsTheFloorForm)
{
    for (const auto* shaper : { &kPreamp, &kPowerAmp })
        for (uint64_t pattern = 0; pattern < (uint64_t{ 1 } << 32); pattern += 1021)
        {
            const auto bits = static_cast<uint32_t>(pattern);
            float x;
            std::memcpy(&x, &bits, sizeof x);
            const float got = shaperTableLookup(*shaper, x), expected = lookupWithFloor(*shaper, x);
            ASSERT_EQ(0, std::memcmp(&got, &expected, sizeof got)) << "bit pattern " << bits;
        }
}

TEST(ShaperLookupTest, OutputNeverRisesWithTheInput)
{
    for (const auto* shaper : { &kPreamp, &kPowerAmp })
    {
        float previous = shaperTableLookup(*shaper, -shaper->offset - 1.0f);
        for (float x = -shaper->offset - 1.0f; x < static_cast<float>(shaper->size) / 1000.0f; x += 0.0123f)
        {
            const float y = shaperTableLookup(*shaper, x);
            ASSERT_LE(y, previous) << "x=" << x;
            previous = y;
        }
    }
}
}
