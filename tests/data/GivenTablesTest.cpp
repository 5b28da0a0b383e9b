// Checks the transcribed filter tables against the responses they are known to have.

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "AudioTables.h"
#include "CascadeResponse.h"

using namespace testdata;

namespace
{
struct GainPoint
{
    double hz;
    double lowDb;
    double highDb;
};

struct CascadeCase
{
    const char* name;
    const BiquadTable* table;  // indexed by base rate
    int sections;
    std::vector<GainPoint> points;
};

std::vector<CascadeCase> cascadeCases()
{
    return {
        { "Darkening",
          kDarkeningFilter,
          25,
          { { 0.0, -25.0, -23.0 },
            { 1000.0, -13.9, -12.9 },
            { 5000.0, -7.1, -6.1 },
            { 10000.0, -4.1, -3.1 },
            { 20000.0, -0.85, -0.45 } } },
        { "CabinetLowPass",
          kCabinetLowPass,
          2,
          { { 8000.0, -0.6, -0.2 }, { 10000.0, -3.3, -2.7 }, { 15000.0, -26.0, -23.0 } } },
        { "CabinetHighPass",
          kCabinetHighPass,
          2,
          { { 20.0, -32.5, -31.5 }, { 40.0, -8.8, -8.2 }, { 50.0, -3.3, -2.7 }, { 80.0, -0.2, 0.0 } } },
    };
}

void PrintTo(const CascadeCase& c, std::ostream* os) { *os << c.name; }

class GivenCascade : public ::testing::TestWithParam<CascadeCase>
{};

TEST_P(GivenCascade, GainAtKnownFrequenciesAtBothRates)
{
    const CascadeCase& c = GetParam();
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const BiquadTable& t = c.table[rate];
        for (const GainPoint& p : c.points)
        {
            const double db =
                toDb(std::abs(cascadeResponse(t.sos, 0, c.sections, t.scale, c.sections, p.hz, rateOf(rate))));
            EXPECT_GE(db, p.lowDb) << c.name << " at " << rateOf(rate) << " Hz, " << p.hz << " Hz";
            EXPECT_LE(db, p.highDb) << c.name << " at " << rateOf(rate) << " Hz, " << p.hz << " Hz";
        }
    }
}

TEST_P(GivenCascade, NormalisedRowsUnitScalesAndStablePoles)
{
    const CascadeCase& c = GetParam();
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const BiquadTable& t = c.table[rate];
        for (int s = 0; s < c.sections; ++s)
        {
            EXPECT_EQ(t.sos[6 * s], 1.0f) << c.name << " row " << s;
            EXPECT_EQ(t.sos[6 * s + 3], 1.0f) << c.name << " row " << s;
            EXPECT_EQ(t.scale[s], 1.0f) << c.name << " scale " << s;
            EXPECT_LT(poleRadius(t.sos + 6 * s), 1.0) << c.name << " row " << s;
        }
    }
}

TEST_P(GivenCascade, ResponseRisesOrFallsSmoothly)
{
    // A mistyped coefficient shows as a bump or notch; the darkening filter must rise with
    // frequency, the low-pass fall, the high-pass rise, each within a small ripple.
    const CascadeCase& c = GetParam();
    const double direction = std::string(c.name) == "CabinetLowPass" ? -1.0 : 1.0;
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const BiquadTable& t = c.table[rate];
        double previous = -1e9 * direction;
        for (double hz : logSpaced(20.0, 20000.0, 400))
        {
            const double db =
                toDb(std::abs(cascadeResponse(t.sos, 0, c.sections, t.scale, c.sections, hz, rateOf(rate))));
            EXPECT_GE(direction * (db - previous), -0.3) << c.name << " at " << hz << " Hz";
            previous = db;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, GivenCascade, ::testing::ValuesIn(cascadeCases()),
                         [](const auto& p) { return std::string(p.param.name); });

struct DecimationCase
{
    const char* name;
    const float* taps;
    int order;
    int factor;
    double sum;
};

void PrintTo(const DecimationCase& c, std::ostream* os) { *os << c.name; }

class DecimationFilter : public ::testing::TestWithParam<DecimationCase>
{};

TEST_P(DecimationFilter, SymmetricWithZeroPatternAndKnownSum)
{
    const DecimationCase& c = GetParam();
    const int centre = c.order / 2;
    EXPECT_EQ(c.taps[centre], 1.0f);
    double sum = 0.0;
    for (int i = 0; i <= c.order; ++i)
    {
        EXPECT_EQ(c.taps[i], c.taps[c.order - i]) << "tap " << i;
        if (i % c.factor == 0 && i != centre)
            EXPECT_EQ(c.taps[i], 0.0f) << "tap " << i;
        else
            EXPECT_NE(c.taps[i], 0.0f) << "tap " << i;
        sum += double(c.taps[i]);
    }
    EXPECT_NEAR(sum, c.sum, 5e-7);
}

TEST_P(DecimationFilter, PassesLowsAndStopsAboveTheNewNyquist)
{
    const DecimationCase& c = GetParam();
    auto gain = [&](double cyclesPerSample) {
        std::complex<double> h = 0.0;
        for (int i = 0; i <= c.order; ++i)
            h += double(c.taps[i]) * std::polar(1.0, -2.0 * kPi * cyclesPerSample * i);
        return std::abs(h) / c.factor;
    };
    EXPECT_NEAR(gain(0.0), 1.0, 1e-3);
    EXPECT_NEAR(gain(0.2 / c.factor), 1.0, 0.01);
    EXPECT_LT(gain(0.75 / c.factor), 0.01);
}

INSTANTIATE_TEST_SUITE_P(Tables, DecimationFilter,
                         ::testing::Values(DecimationCase{ "ByTwo", kDecimation2Filter, 40, 2, 1.9989656 },
                                           DecimationCase{ "ByFour", kDecimation4Filter, 80, 4, 3.99745529 }),
                         [](const auto& p) { return std::string(p.param.name); });
}  // namespace
