// Acceptance criteria for the preamp and power-amp transfer curves.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <ostream>
#include <string>
#include <vector>

#include "AudioTables.h"
#include "CascadeResponse.h"

namespace
{
struct CurveCase
{
    const char* name;
    const float* table;
    int size;
    float offset;
    int zeroEntry;
    std::vector<std::pair<int, float>> telling;  // entry, exact value
    std::vector<float> amplitudes;               // sine amplitudes for the harmonic check
};

void PrintTo(const CurveCase& c, std::ostream* os) { *os << c.name; }

std::vector<CurveCase> curveCases()
{
    return {
        { "Preamp",
          kPreampCurve,
          kPreampCurveSize,
          4.0f,
          4000,
          { { 0, 1.08767128f },
            { 2000, 1.08598948f },
            { 3000, 0.877333283f },
            { 3500, 0.497175574f },
            { 3900, 0.102279641f },
            { 3999, 0.00100733002f },
            { 4000, 0.0f },
            { 4001, -0.00100687996f },
            { 4100, -0.0977203622f },
            { 4500, -0.385379523f },
            { 5000, -0.561237633f },
            { 6000, -0.710011244f },
            { 9000, -0.822293699f },
            { 14000, -0.861892521f },
            { 24000, -0.884853899f },
            { 54000, -0.903499961f } },
          { 0.3f, 1.0f, 3.0f } },
        { "PowerAmp",
          kPowerAmpCurve,
          kPowerAmpCurveSize,
          39.0f,
          39000,
          { { 0, 5.26429892f },
            { 19000, 5.19055748f },
            { 29000, 4.61856318f },
            { 34000, 3.38181543f },
            { 37000, 1.73447371f },
            { 38000, 0.938676f },
            { 38500, 0.486951172f },
            { 38999, 0.00100728997f },
            { 39000, 0.0f },
            { 39001, -0.00100742001f },
            { 39500, -0.518649876f },
            { 40000, -1.061324f },
            { 41000, -2.15745068f },
            { 44000, -4.22166491f },
            { 49000, -5.00527287f },
            { 59000, -5.28022814f },
            { 101000, -5.32171917f } },
          { 1.0f, 4.0f, 12.0f } },
    };
}

// The chain's lookup: linear interpolation between entries, clamped to the ends.
float lookup(const CurveCase& c, float x)
{
    const float idx = (x + c.offset) * 1000.0f;
    const float t = std::floor(idx);
    if (!(t > 0.0f))
        return c.table[0];
    if (t >= float(c.size - 1))
        return c.table[c.size - 1];
    const int i = int(t);
    return (c.table[i + 1] - c.table[i]) * (idx - t) + c.table[i];
}

class ShaperCurve : public ::testing::TestWithParam<CurveCase>
{};

TEST_P(ShaperCurve, TellingValuesExact)
{
    const CurveCase& c = GetParam();
    for (const auto& [entry, value] : c.telling)
        EXPECT_EQ(c.table[entry], value) << "entry " << entry;
    EXPECT_EQ(c.table[c.zeroEntry], 0.0f);
}

TEST_P(ShaperCurve, NonIncreasing)
{
    const CurveCase& c = GetParam();
    for (int i = 1; i < c.size; ++i)
        ASSERT_LE(c.table[i], c.table[i - 1]) << "entry " << i;
}

TEST_P(ShaperCurve, SlopeChangesSmoothlyFromEntryToEntry)
{
    // A kink (a jump in slope) shows as a large second difference between neighbouring entries;
    // the steepest bend of these curves changes the slope by well under 0.003 per entry.
    const CurveCase& c = GetParam();
    for (int i = 1; i + 1 < c.size; ++i)
    {
        const double d2 = (double(c.table[i + 1]) - double(c.table[i])) - (double(c.table[i]) - double(c.table[i - 1]));
        ASSERT_LT(std::fabs(d2), 3e-6) << "entry " << i;
    }
}

TEST_P(ShaperCurve, SineHarmonicsFallOffWithOrder)
{
    const CurveCase& c = GetParam();
    constexpr int kLength = 8192, kCycles = 16;
    for (float amplitude : c.amplitudes)
    {
        std::vector<double> y(kLength);
        for (int n = 0; n < kLength; ++n)
            y[n] = lookup(c, amplitude * float(std::sin(2.0 * testdata::kPi * kCycles * n / kLength)));
        auto harmonic = [&](int k) {
            std::complex<double> s = 0.0;
            for (int n = 0; n < kLength; ++n)
                s += y[n] * std::polar(1.0, -2.0 * testdata::kPi * double(k * kCycles) * n / kLength);
            return std::abs(s);
        };
        const double fundamental = harmonic(1);
        // Strongest harmonic in each octave band of orders: 2-3, 4-7, 8-15, 16-31.
        std::vector<double> bandDb;
        for (int lo = 2; lo <= 16; lo *= 2)
        {
            double best = 0.0;
            for (int k = lo; k < 2 * lo; ++k)
                best = std::max(best, harmonic(k));
            bandDb.push_back(testdata::toDb(best / fundamental));
        }
        for (size_t b = 1; b < bandDb.size(); ++b)
            EXPECT_LT(bandDb[b], bandDb[b - 1] - 3.0) << "amplitude " << amplitude << ", band " << b;
        EXPECT_LT(bandDb.back(), -45.0) << "amplitude " << amplitude;
    }
}

INSTANTIATE_TEST_SUITE_P(Curves, ShaperCurve, ::testing::ValuesIn(curveCases()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(PowerAmpCurve, FlatOnlyOverItsLast38Entries)
{
    const float minimum = -5.32171917f;
    for (int i = kPowerAmpCurveSize - 38; i < kPowerAmpCurveSize; ++i)
        EXPECT_EQ(kPowerAmpCurve[i], minimum) << "entry " << i;
    EXPECT_GT(kPowerAmpCurve[kPowerAmpCurveSize - 39], minimum);
}

}  // namespace
