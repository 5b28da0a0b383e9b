// Acceptance criteria for the twelve designed cabinet models at both base rates.

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "AudioTables.h"
#include "CascadeResponse.h"

using namespace testdata;

namespace
{
const char* const kModelNames[kCabinetModelCount] = {
    "US_C12_1x12", "US_EMI_1x12", "US_C90_1x12", "US_JBL_2x15", "UK_BLUE_2x12", "US_MATCH_2x12",
    "US_C12_2x12", "US_BASS_4x10", "UK_75W_4x12", "UK_25W_4x12", "UK_1960_4x12", "UK_FANE_4x12"};

// The fixed overall gain of every model, per base rate {44.1 kHz, 48 kHz}.
const float kModelGains[kCabinetModelCount][2] = {
    {0.0243655294f, 0.0230880007f}, {0.0227127392f, 0.0301224794f}, {0.0438096784f, 0.0251534991f},
    {0.0472844988f, 0.0484693907f}, {0.0366625302f, 0.0345224217f}, {0.04008241f, 0.0180617701f},
    {0.0193313807f, 0.0189859197f}, {0.0262733791f, 0.00792692043f}, {0.0509454682f, 0.0579363294f},
    {0.0323635787f, 0.0276924893f}, {0.0191739704f, 0.0245165899f}, {0.0456384793f, 0.0322888605f}};

// Gain in dB of the whole cabinet stage: the model, then the cabinet low-pass and high-pass.
double stageDb(int model, int rate, double hz)
{
    const BiquadTable& cab = kCabinetSections[rate];
    const BiquadTable& lp = kCabinetLowPass[rate];
    const BiquadTable& hp = kCabinetHighPass[rate];
    const double r = rateOf(rate);
    const std::complex<double> h =
        cascadeResponse(cab.sos, kCabinetSectionsPerModel * model, kCabinetSectionsPerModel,
                        cab.scale, 26 * model + 25, hz, r) *
        cascadeResponse(lp.sos, 0, 2, lp.scale, 2, hz, r) * cascadeResponse(hp.sos, 0, 2, hp.scale, 2, hz, r);
    return toDb(std::abs(h));
}

double passbandMean(int model, int rate)
{
    double sum = 0.0;
    const std::vector<double> f = logSpaced(200.0, 4000.0, 200);
    for (double hz : f)
        sum += std::pow(10.0, stageDb(model, rate, hz) / 20.0);
    return sum / double(f.size());
}

struct ModelCase
{
    int model;
    int rate;
};

void PrintTo(const ModelCase& c, std::ostream* os) { *os << kModelNames[c.model] << " at " << rateOf(c.rate); }

std::vector<ModelCase> allModels()
{
    std::vector<ModelCase> cases;
    for (int rate : {kBaseRate44100, kBaseRate48000})
        for (int m = 0; m < kCabinetModelCount; ++m)
            cases.push_back({m, rate});
    return cases;
}

class CabinetModel : public ::testing::TestWithParam<ModelCase>
{
};

TEST_P(CabinetModel, NormalisedStableRowsAndFixedGain)
{
    const auto [model, rate] = GetParam();
    const BiquadTable& t = kCabinetSections[rate];
    for (int s = 0; s < kCabinetSectionsPerModel; ++s)
    {
        const float* row = t.sos + 6 * (kCabinetSectionsPerModel * model + s);
        EXPECT_EQ(row[0], 1.0f) << "row " << s;
        EXPECT_EQ(row[3], 1.0f) << "row " << s;
        EXPECT_LE(poleRadius(row), 0.9995) << "row " << s;
        EXPECT_EQ(t.scale[26 * model + s], 1.0f) << "scale " << s;
    }
    EXPECT_EQ(t.scale[26 * model + 25], kModelGains[model][rate]);
}

TEST_P(CabinetModel, LevelMatchesTheUncabinetedPath)
{
    const auto [model, rate] = GetParam();
    const double meanDb = toDb(passbandMean(model, rate));
    EXPECT_NEAR(meanDb, toDb(0.3), 3.0);
    EXPECT_LE(stageDb(model, rate, 10000.0), meanDb - 15.0);
    EXPECT_LE(stageDb(model, rate, 40.0), meanDb - 10.0);
}

TEST_P(CabinetModel, LowResonanceAndTopRollOff)
{
    const auto [model, rate] = GetParam();
    // The bass peak of a guitar speaker in its box lies between about 65 and 135 Hz.
    double bestHz = 0.0, bestDb = -1e9;
    for (double hz : logSpaced(40.0, 400.0, 200))
        if (const double db = stageDb(model, rate, hz); db > bestDb)
        {
            bestDb = db;
            bestHz = hz;
        }
    EXPECT_GE(bestHz, 65.0);
    EXPECT_LE(bestHz, 135.0);
    // Steep fall above the presence region: at least 12 dB from 5 to 10 kHz.
    EXPECT_GE(stageDb(model, rate, 5000.0) - stageDb(model, rate, 10000.0), 12.0);
}

INSTANTIATE_TEST_SUITE_P(Models, CabinetModel, ::testing::ValuesIn(allModels()),
                         [](const auto& p) {
                             return std::string(kModelNames[p.param.model]) +
                                    (p.param.rate == kBaseRate48000 ? "_48k" : "_44k");
                         });

class CabinetRates : public ::testing::TestWithParam<int>
{
};

TEST_P(CabinetRates, BothBaseRatesRenderTheSameCabinet)
{
    const int model = GetParam();
    for (double hz : logSpaced(40.0, 10000.0, 300))
        EXPECT_NEAR(stageDb(model, kBaseRate44100, hz), stageDb(model, kBaseRate48000, hz), 1.0)
            << hz << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Models, CabinetRates, ::testing::Range(0, kCabinetModelCount),
                         [](const auto& p) { return std::string(kModelNames[p.param]); });

TEST(CabinetSet, TellingRowsInPlace)
{
    struct Row
    {
        int rate, model, row;
        float values[6];
    };
    const Row rows[] = {
        {kBaseRate48000, 0, 0, {1, -1.54280686f, 0.561448932f, 1, -0.10862866f, -0.835822046f}},
        {kBaseRate48000, 0, 24, {1, -1.63031805f, 0.975774407f, 1, -1.62712681f, 0.968984485f}},
        {kBaseRate44100, 0, 0, {1, 1.00159454f, 0.99837178f, 1, -1.39693904f, 0.421581984f}},
        {kBaseRate48000, 11, 24, {1, -1.98341358f, 0.986732841f, 1, -1.97700417f, 0.980307817f}},
    };
    for (const Row& r : rows)
    {
        const float* got = kCabinetSections[r.rate].sos + 6 * (kCabinetSectionsPerModel * r.model + r.row);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(got[k], r.values[k]) << "model " << r.model << " row " << r.row << " at "
                                           << rateOf(r.rate) << ", value " << k;
    }
}

TEST(CabinetSet, EveryPairOfModelsSoundsDifferent)
{
    const std::vector<double> f = logSpaced(80.0, 8000.0, 200);
    for (int rate : {kBaseRate44100, kBaseRate48000})
    {
        std::vector<std::vector<double>> db(kCabinetModelCount);
        for (int m = 0; m < kCabinetModelCount; ++m)
            for (double hz : f)
                db[m].push_back(stageDb(m, rate, hz));
        for (int a = 0; a < kCabinetModelCount; ++a)
            for (int b = a + 1; b < kCabinetModelCount; ++b)
            {
                double sum = 0.0;
                for (size_t i = 0; i < f.size(); ++i)
                    sum += (db[a][i] - db[b][i]) * (db[a][i] - db[b][i]);
                EXPECT_GE(std::sqrt(sum / double(f.size())), 1.5)
                    << kModelNames[a] << " vs " << kModelNames[b] << " at " << rateOf(rate);
            }
    }
}
}  // namespace
