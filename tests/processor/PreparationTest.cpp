// prepareToPlay: base-rate choice, table bindings, coefficients and what it clears or keeps.
#include <gtest/gtest.h>

#include "ProcessorTestAccess.h"

namespace
{
using namespace brondavell::test;

struct RateCase
{
    double rate;
    int tableIndex;  // kBaseRate44100 or kBaseRate48000
};

const RateCase kRateCases[] = {
    { 44100.0, kBaseRate44100 },  { 88200.0, kBaseRate44100 },  { 176400.0, kBaseRate44100 },
    { 32000.0, kBaseRate44100 },  { 47999.99, kBaseRate44100 }, { 48000.5, kBaseRate44100 },
    { 0.0, kBaseRate44100 },      { 48000.0, kBaseRate48000 },  { 96000.0, kBaseRate48000 },
    { 192000.0, kBaseRate48000 },
};

TEST(PreparationTest, BindsTheTablesOfTheBaseRate)
{
    for (const auto& c : kRateCases)
    {
        SCOPED_TRACE(c.rate);
        auto p = makeProcessor();
        prepare(*p, c.rate);

        EXPECT_EQ(Access::darkening(*p).sos, kDarkeningFilter[c.tableIndex].sos);
        EXPECT_EQ(Access::darkening(*p).scale, kDarkeningFilter[c.tableIndex].scale);
        EXPECT_EQ(Access::darkening(*p).nSections, 25);
        // cab 8 is model 6.
        EXPECT_EQ(Access::cabinetFilter(*p).sos, kCabinetSections[c.tableIndex].sos + 6 * 150);
        EXPECT_EQ(Access::cabinetFilter(*p).scale, kCabinetSections[c.tableIndex].scale + 6 * 26);
        EXPECT_EQ(Access::cabinetFilter(*p).nSections, 25);
        EXPECT_EQ(Access::cabinetLowPass(*p).sos, kCabinetLowPass[c.tableIndex].sos);
        EXPECT_EQ(Access::cabinetHighPass(*p).scale, kCabinetHighPass[c.tableIndex].scale);
        EXPECT_EQ(Access::cabinetHighPass(*p).nSections, 2);

        const float expectedC = c.tableIndex == kBaseRate48000 ? 96000.0f : 88200.0f;
        EXPECT_EQ(Access::cleanStack(*p).c, expectedC);
        EXPECT_EQ(Access::driveStack(*p).c, expectedC);
    }
}

TEST(PreparationTest, ShapersAndResamplers)
{
    auto p = makeProcessor();
    // Before the first preparation both shapers hold the power-amp curve.
    EXPECT_EQ(Access::preamp(*p).table, kPowerAmpCurve);
    EXPECT_EQ(Access::preamp(*p).offset, 39.0f);
    prepare(*p, 44100.0);
    EXPECT_EQ(Access::preamp(*p).table, kPreampCurve);
    EXPECT_EQ(Access::preamp(*p).offset, 4.0f);
    EXPECT_EQ(Access::preamp(*p).size, 54001);
    EXPECT_EQ(Access::powerAmp(*p).table, kPowerAmpCurve);
    EXPECT_EQ(Access::powerAmp(*p).offset, 39.0f);
    EXPECT_EQ(Access::powerAmp(*p).size, 101001);

    struct ResamplerRow
    {
        const char* name;
        int factor, isDown;
    };
    const ResamplerRow rows[] = {
        { "reverbDownsampler2", 2, 1 }, { "reverbUpsampler2", 2, 0 }, { "reverbDownsampler4", 4, 1 },
        { "reverbUpsampler4", 4, 0 },   { "mainDownsampler2", 2, 1 }, { "mainUpsampler2", 2, 0 },
        { "mainDownsampler4", 4, 1 },   { "mainUpsampler4", 4, 0 },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        const auto* r = Access::resampler(*p, row.name);
        EXPECT_EQ(r->factor, row.factor);
        EXPECT_EQ(r->isDown != 0, row.isDown != 0);
        EXPECT_EQ(r->cascade.sos, (row.factor == 2 ? kResampler2Filter : kResampler4Filter).sos);
        EXPECT_EQ(r->cascade.nSections, 10);
    }
}

TEST(PreparationTest, FirstOrderCoefficientsAndToneStackConstants)
{
    struct FilterRow
    {
        const char* name;
        bool lowPass;
        float at44100, at48000;
    };
    const FilterRow rows[] = {
        { "driveLowPass1", true, 0.587587833f, 0.566911519f },
        { "driveLowPass2", true, 0.587587833f, 0.566911519f },
        { "driveHighPass1", false, 0.992926538f, 0.99349761f },
        { "driveHighPass2", false, 0.992926538f, 0.99349761f },
        { "presenceLowPass1", true, 0.416017234f, 0.395587236f },
        { "presenceLowPass2", true, 0.416017234f, 0.395587236f },
        { "presenceHighPass1", false, 0.667260289f, 0.68580097f },
        { "presenceHighPass2", false, 0.667260289f, 0.68580097f },
        { "inputHighPass1", false, 0.988730371f, 0.9896366f },
        { "inputHighPass2", false, 0.988730371f, 0.9896366f },
        { "outputHighPass1", false, 0.994333267f, 0.994791269f },
        { "outputHighPass2", false, 0.994333267f, 0.994791269f },
    };
    struct StackConstants
    {
        double rate;
        float T, c, c2, c3;
    };
    const StackConstants stacks[] = { { 44100.0, 2.26757365e-05f, 88200.0f, 7.77923994e+09f, 6.86128944e+14f },
                                      { 48000.0, 2.08333331e-05f, 96000.0f, 9.216e+09f, 8.84736017e+14f } };

    for (const auto& s : stacks)
    {
        SCOPED_TRACE(s.rate);
        auto p = makeProcessor();
        // A flavorDrive change before the preparation: the preparation still sets 10 kHz and 50 Hz.
        setPlain(p->flavorDrive, 0.0f);
        prepare(*p, s.rate);
        for (const auto& row : rows)
        {
            SCOPED_TRACE(row.name);
            const auto* f = Access::filter(*p, row.name);
            EXPECT_EQ(f->isLowpass, row.lowPass);
            EXPECT_EQ(f->coef, s.rate == 44100.0 ? row.at44100 : row.at48000);
        }
        for (auto* stack : { &Access::cleanStack(*p), &Access::driveStack(*p) })
        {
            EXPECT_EQ(stack->T, s.T);
            EXPECT_EQ(stack->c, s.c);
            EXPECT_EQ(stack->c2, s.c2);
            EXPECT_EQ(stack->c3, s.c3);
            EXPECT_EQ(stack->comp[0], 4.69999983e-10f);
            EXPECT_EQ(stack->comp[4], 1000000.0f);
            EXPECT_EQ(std::memcmp(stack->terms, kToneStackTerms, sizeof(stack->terms)), 0);
        }
    }
}

TEST(PreparationTest, ToneStacksFollowTheirControls)
{
    auto p = makeProcessor();
    setPlain(p->bassClean, 0.1f);
    setPlain(p->highDrive, 0.9f);
    prepare(*p, 48000.0);

    ToneStack expected;
    for (const auto& [stack, controls] :
         { std::pair{ &Access::cleanStack(*p),
                      std::array<float, 3>{ p->bassClean->get(), p->mediumClean->get(), p->highClean->get() } },
           std::pair{ &Access::driveStack(*p),
                      std::array<float, 3>{ p->bassDrive->get(), p->mediumDrive->get(), p->highDrive->get() } } })
    {
        toneStackConstruct(expected);
        toneStackPrepare(expected, 48000.0f);
        toneStackSetControls(expected, controls[0], controls[1], controls[2]);
        EXPECT_EQ(std::memcmp(stack->b, expected.b, sizeof(expected.b)), 0);
        EXPECT_EQ(std::memcmp(stack->a, expected.a, sizeof(expected.a)), 0);
    }
}

TEST(PreparationTest, MaximumBlockSizeIsIgnoredAndAPreparationRepeats)
{
    auto reference = makeProcessor();
    reference->setPlayConfigDetails(1, 2, 48000.0, 512);
    reference->prepareToPlay(48000.0, 512);
    const auto expected = preparedState(*reference);
    for (const int maximum : { 0, 512, 100000 })
    {
        SCOPED_TRACE(maximum);
        auto p = makeProcessor();
        p->setPlayConfigDetails(1, 2, 48000.0, 512);
        p->prepareToPlay(48000.0, maximum);
        EXPECT_EQ(preparedState(*p), expected);
        p->prepareToPlay(48000.0, maximum);
        EXPECT_EQ(preparedState(*p), expected);
    }
}

TEST(PreparationTest, ClearsFilterStatesButKeepsToneStackHistories)
{
    auto p = makeProcessor();
    setPlain(p->bright, 0.0f);
    prepare(*p, 96000.0);
    processSignal(*p, 512);

    const ToneStack cleanBefore = Access::cleanStack(*p);
    ASSERT_NE(Access::filter(*p, "inputHighPass1")->y1, 0.0f);
    p->prepareToPlay(96000.0, 512);

    for (const auto* name : { "inputHighPass1", "inputHighPass2", "outputHighPass1", "outputHighPass2",
                              "presenceLowPass1", "presenceHighPass2", "driveLowPass1", "driveHighPass2" })
    {
        SCOPED_TRACE(name);
        EXPECT_EQ(Access::filter(*p, name)->x1, 0.0f);
        EXPECT_EQ(Access::filter(*p, name)->y1, 0.0f);
    }
    for (const auto* cascade :
         { &Access::darkening(*p), &Access::cabinetFilter(*p), &Access::cabinetLowPass(*p),
           &Access::resampler(*p, "mainDownsampler2")->cascade, &Access::resampler(*p, "mainUpsampler2")->cascade })
        for (int s = 0; s < cascade->nSections; ++s)
        {
            EXPECT_EQ(cascade->state[s].z1, 0.0f);
            EXPECT_EQ(cascade->state[s].z2, 0.0f);
        }
    EXPECT_EQ(std::memcmp(Access::cleanStack(*p).xHist, cleanBefore.xHist, sizeof(cleanBefore.xHist)), 0);
    EXPECT_EQ(std::memcmp(Access::cleanStack(*p).yHist, cleanBefore.yHist, sizeof(cleanBefore.yHist)), 0);
}

TEST(PreparationTest, CabinetSelection)
{
    struct Case
    {
        int cab;
        int firstRow, firstScale;
    };
    const Case cases[] = { { 2, 0, 0 }, { 5, 75, 78 }, { 13, 275, 286 } };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cab);
        auto p = makeProcessor();
        setPlain(p->cab, c.cab);
        prepare(*p, 48000.0);
        EXPECT_EQ(Access::cabinetFilter(*p).sos, kCabinetSections[kBaseRate48000].sos + 6 * c.firstRow);
        EXPECT_EQ(Access::cabinetFilter(*p).scale, kCabinetSections[kBaseRate48000].scale + c.firstScale);
    }
}

TEST(PreparationTest, NoCabinetLeavesTheCabinetCascadesAlone)
{
    auto p = makeProcessor();
    setPlain(p->cab, 5);
    prepare(*p, 48000.0);
    processSignal(*p, 512);
    const BiquadCascade before = Access::cabinetFilter(*p);
    ASSERT_NE(before.state[0].z1, 0.0f);

    setPlain(p->cab, 1);
    prepare(*p, 44100.0);
    EXPECT_EQ(std::memcmp(&Access::cabinetFilter(*p), &before, sizeof(before)), 0);

    setPlain(p->cab, 5);
    EXPECT_EQ(Access::cabinetFilter(*p).sos, kCabinetSections[kBaseRate44100].sos + 3 * 150);
    EXPECT_EQ(Access::cabinetFilter(*p).state[0].z1, 0.0f);
    EXPECT_EQ(Access::cabinetLowPass(*p).sos, kCabinetLowPass[kBaseRate44100].sos);
}

TEST(PreparationTest, ReverbWaitsForTheFirstBlock)
{
    auto p = makeProcessor();
    setPlain(p->reverb, 0.5f);
    prepare(*p, 44100.0);
    EXPECT_FALSE(Access::reverbInitialised(*p));
    EXPECT_EQ(Access::reverb(*p).ready, 0);
    processSignal(*p, 512);
    EXPECT_TRUE(Access::reverbInitialised(*p));
    EXPECT_EQ(Access::reverb(*p).ready, 1);
}
}
