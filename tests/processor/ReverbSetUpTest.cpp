// The reverb set-up: decimation of the impulse response, the engine's partitioning for the
// host's block length, the off paths, and when the block frame reruns it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ProcessorTestAccess.h"

namespace
{
using namespace brondavell::test;

struct Example
{
    double rate;
    int hostBlock;
    bool hq, type2;
    int a, c, f, h, b, L, E, F, nParts, G;
    bool direct;
    int wetDelay;
};

const Example kWorkedExamples[] = {
    { 44100, 512, false, false, 512, 4, 15983, 2, 128, 256, 2048, 1793, 9, 4, false, 384 },
    { 44100, 512, true, false, 512, 2, 31966, 2, 256, 512, 4096, 3585, 9, 4, false, 768 },
    { 44100, 512, false, true, 512, 4, 20694, 2, 128, 256, 1024, 769, 27, 13, false, 384 },
    { 44100, 64, false, false, 64, 4, 15983, 16, 16, 256, 1024, 769, 21, 1, false, 496 },
    { 48000, 256, false, true, 256, 4, 22649, 4, 64, 256, 4096, 3841, 6, 1, false, 448 },
    { 96000, 1024, true, true, 512, 2, 45298, 2, 256, 512, 4096, 3585, 13, 6, false, 768 },
    { 48000, 1024, false, true, 1024, 4, 22649, 1, 256, 256, 4096, 3841, 6, 6, true, 0 },
    { 44100, 2048, true, true, 2048, 2, 41389, 1, 1024, 1024, 8192, 7169, 6, 6, true, 0 },
};

std::unique_ptr<BrondavellJuceAudioProcessor> setUp(double rate, int hostBlock, bool hq, bool type2)
{
    auto p = makeProcessor();
    setPlain(p->hqReverb, hq ? 1 : 0);
    setPlain(p->reverbType2, type2 ? 1 : 0);
    prepare(*p, rate, 1, 2, hostBlock);
    juce::AudioBuffer<float> block(2, hostBlock);
    block.clear();
    processLocked(*p, block);  // the first block runs the set-up
    return p;
}

// The lag at which the engine's answer to a unit impulse lines up with the decimated response.
int measuredWetDelay(BrondavellJuceAudioProcessor& p)
{
    auto& engine = Access::reverb(p);
    const float* ir = Access::decimatedIr(p);
    const int b = engine.blockLength;
    std::vector<float> wet;
    std::vector<float> block(static_cast<size_t>(b));
    for (int produced = 0; produced < 4096; produced += b)
    {
        std::fill(block.begin(), block.end(), 0.0f);
        if (produced == 0)
            block[0] = 1.0f;
        convolutionReverbProcess(engine, block.data(), p.dspRoutines);
        wet.insert(wet.end(), block.begin(), block.end());
    }
    int bestLag = -1;
    double bestError = 1e30;
    for (int lag = 0; lag + 600 < static_cast<int>(wet.size()); ++lag)
    {
        double error = 0.0;
        for (int k = 0; k < 600; ++k)
            error += std::abs(static_cast<double>(wet[static_cast<size_t>(lag + k)]) - ir[k]);
        if (error < bestError)
        {
            bestError = error;
            bestLag = lag;
        }
    }
    EXPECT_LT(bestError, 1e-2);
    return bestLag;
}

TEST(ReverbSetUpTest, WorkedExamples)
{
    for (const auto& e : kWorkedExamples)
    {
        SCOPED_TRACE(std::to_string(e.rate) + " Hz, block " + std::to_string(e.hostBlock) + (e.hq ? ", hq" : "")
                     + (e.type2 ? ", type 2" : ", type 1"));
        auto p = setUp(e.rate, e.hostBlock, e.hq, e.type2);
        const auto& r = Access::reverb(*p);
        ASSERT_EQ(r.ready, 1);
        EXPECT_TRUE(Access::reverbInitialised(*p));
        EXPECT_EQ(Access::decimation(*p).factor, e.c);
        EXPECT_EQ(Access::decimation(*p).order, e.c == 2 ? 40 : 80);
        EXPECT_EQ(r.impulseLength, e.f);
        EXPECT_EQ(r.blocksPerStep, e.h);
        EXPECT_EQ(r.blockLength, e.b);
        EXPECT_EQ(r.stepLength, e.L);
        EXPECT_EQ(r.fftSize, e.E);
        EXPECT_EQ(r.partitionLength, e.F);
        EXPECT_EQ(r.impulseLength / r.partitionLength + 1, e.nParts);
        EXPECT_EQ(r.partitionsPerCall, e.G);
        EXPECT_EQ(r.blocksPerStep < 2, e.direct);
        EXPECT_EQ(measuredWetDelay(*p), e.wetDelay);
    }
}

// The decimated response that the set-up uses is the selected response run through the selected
// decimation filter, for every response, base rate and factor (the higher rates use their base
// rate's tables).
TEST(ReverbSetUpTest, DecimatesTheSelectedResponse)
{
    struct Case
    {
        double rate;
        bool hq, type2;
        const ImpulseResponse& source;
    };
    const Case cases[] = {
        { 44100.0, false, false, kReverbImpulseType1[kBaseRate44100] },
        { 176400.0, true, false, kReverbImpulseType1[kBaseRate44100] },
        { 44100.0, false, true, kReverbImpulseType2[kBaseRate44100] },
        { 88200.0, true, true, kReverbImpulseType2[kBaseRate44100] },
        { 48000.0, false, false, kReverbImpulseType1[kBaseRate48000] },
        { 192000.0, true, false, kReverbImpulseType1[kBaseRate48000] },
        { 96000.0, false, true, kReverbImpulseType2[kBaseRate48000] },
        { 48000.0, true, true, kReverbImpulseType2[kBaseRate48000] },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.rate) + (c.hq ? ", hq" : "") + (c.type2 ? ", type 2" : ", type 1"));
        auto p = setUp(c.rate, 1024, c.hq, c.type2);
        const int factor = c.hq ? 2 : 4;
        std::vector<float> expected(200000, 0.0f);
        DecimationFilter filter;
        decimationFilterSetUp(filter, factor);
        const int computed = decimationFilterRun(filter, c.source.samples, c.source.length, expected.data());
        EXPECT_EQ(computed, (c.source.length + factor - 1) / factor);
        EXPECT_EQ(std::memcmp(Access::decimatedIr(*p), expected.data(), sizeof(float) * static_cast<size_t>(computed)),
                  0);
        EXPECT_EQ(Access::reverb(*p).impulseLength, c.source.length / factor);
    }
}

TEST(ReverbSetUpTest, TypeTwoAt44100WithFactorFour)
{
    // 82778 samples: 20695 decimated outputs, of which f = 20694 are used.
    const auto& source = kReverbImpulseType2[kBaseRate44100];
    ASSERT_EQ(source.length, 82778);
    std::vector<float> out(200000, 0.0f);
    DecimationFilter filter;
    decimationFilterSetUp(filter, 4);
    EXPECT_EQ(decimationFilterRun(filter, source.samples, source.length, out.data()), 20695);
    auto p = setUp(44100.0, 512, false, true);
    EXPECT_EQ(Access::reverb(*p).impulseLength, 20694);
}

TEST(ReverbSetUpTest, DecimationFilterTapsAndGain)
{
    for (const int factor : { 2, 4 })
    {
        SCOPED_TRACE(factor);
        DecimationFilter filter;
        decimationFilterSetUp(filter, factor);
        const int order = factor == 2 ? 40 : 80;
        ASSERT_EQ(filter.order, order);
        ASSERT_EQ(filter.coefficients, factor == 2 ? kDecimation2Filter : kDecimation4Filter);

        // A unit impulse at input position p comes out as tap k x c - p of output k: the centre
        // tap, and with it the response's start, lies n / 2 / c = 10 outputs late.
        for (const int position : { 0, 1, 3, 17 })
        {
            std::vector<float> input(400, 0.0f), output(400, -1.0f);
            input[static_cast<size_t>(position)] = 1.0f;
            const int count = decimationFilterRun(filter, input.data(), 400, output.data());
            ASSERT_EQ(count, 400 / factor);
            for (int k = 0; k < count; ++k)
            {
                const int tap = k * factor - position;
                const float expected = (tap >= 0 && tap <= order) ? filter.coefficients[tap] : 0.0f;
                ASSERT_EQ(output[static_cast<size_t>(k)], expected) << "position " << position << ", k " << k;
            }
        }

        // Constant input: once the filter is full (20 outputs) the gain is the taps' sum, about c.
        std::vector<float> ones(1000, 1.0f), output(1000, 0.0f);
        decimationFilterRun(filter, ones.data(), 1000, output.data());
        const float sum = factor == 2 ? 1.9989656f : 3.99745529f;
        for (int k = 20; k < 1000 / factor; ++k)
            ASSERT_NEAR(output[static_cast<size_t>(k)], sum, 2e-6f) << k;
        EXPECT_GT(std::abs(output[19] - sum), 1e-4f);  // the last tap has not been reached yet
    }
}

TEST(ReverbSetUpTest, OffPathsNeverFailAndLeaveTheReverbSilent)
{
    struct Case
    {
        double rate;
        int hostBlock;
        bool hq, type2;
        const char* why;
    };
    const Case cases[] = {
        { 96000.0, 1, false, false, "a = 0" },
        { 192000.0, 1, true, true, "a = 0" },
        { 192000.0, 3, false, false, "a = 0" },
        { 44100.0, 8, false, false, "no partitioning" },
        { 44100.0, 8, true, true, "no partitioning" },
        { 48000.0, 8, true, false, "no partitioning" },
        { 44100.0, 14, true, false, "spectra would need 16367616 floats" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.rate) + " / " + std::to_string(c.hostBlock) + ": " + c.why);
        auto p = makeProcessor();
        setPlain(p->reverb, 1.0f);
        setPlain(p->hqReverb, c.hq ? 1 : 0);
        setPlain(p->reverbType2, c.type2 ? 1 : 0);
        prepare(*p, c.rate, 1, 2, c.hostBlock);
        for (int i = 0; i < 8; ++i)
        {
            const auto out = processSignal(*p, c.hostBlock, 2, i * c.hostBlock);
            for (int s = 0; s < c.hostBlock; ++s)
                ASSERT_TRUE(std::isfinite(out.getSample(0, s)));
        }
        EXPECT_TRUE(Access::reverbInitialised(*p));
        EXPECT_EQ(Access::reverb(*p).ready, 0);
    }
}

TEST(ReverbSetUpTest, BlocksShorterThanTheFactorLeaveAnEngineThatTouchesNoSamples)
{
    auto p = makeProcessor();
    setPlain(p->reverb, 1.0f);
    prepare(*p, 44100.0, 1, 2, 3);
    for (int i = 0; i < 16; ++i)
    {
        const auto out = processSignal(*p, 3, 2, 3 * i);
        for (int s = 0; s < 3; ++s)
            ASSERT_TRUE(std::isfinite(out.getSample(0, s)));
    }
    EXPECT_EQ(Access::reverb(*p).ready, 1);
    EXPECT_EQ(Access::reverb(*p).blockLength, 0);
    EXPECT_EQ(Access::reverb(*p).stepLength, 0);
}

TEST(ReverbSetUpTest, RepeatedRunGivesTheSameSpectraAndAFreshEngine)
{
    auto p = makeProcessor();
    setPlain(p->reverb, 1.0f);
    prepare(*p, 48000.0, 1, 2, 256);
    processSignal(*p, 256);
    const auto first = preparedState(*p);
    for (int i = 1; i < 8; ++i)
        processSignal(*p, 256, 2, 256 * i);
    ASSERT_NE(Access::reverb(*p).accumulator[10], 0.0f);

    Access::prepareReverb(*p);
    EXPECT_EQ(preparedState(*p), first);
    const auto& r = Access::reverb(*p);
    EXPECT_EQ(r.blocksGathered, 0);
    EXPECT_EQ(r.outputBlockIndex, 0);
    for (int i = 0; i < r.impulseLength + 2 * r.fftSize; ++i)
        ASSERT_EQ(r.accumulator[i], 0.0f) << i;
}

// The frame reruns the set-up before a block whose length differs from the previous one (and
// while it has not run). Seen through a mark at the far end of the accumulator, which only the
// set-up clears; the reverb amount is 0, so the engine itself never runs.
TEST(ReverbSetUpTest, BlockLengthBookkeeping)
{
    struct Case
    {
        std::vector<int> lengths;
        std::vector<bool> reruns;
    };
    const Case cases[] = {
        { { 512, 512 }, { true, false } },
        { { 512, 256, 256, 512 }, { true, true, false, true } },
        { { 0, 512, 0, 0, 512 }, { false, true, false, false, true } },  // length 0 changes nothing
        { { 256, 8193, 256 }, { true, false, false } },                  // oversized: no bookkeeping
        { { 8, 8, 16 }, { true, false, true } },                         // the off path counts as run
    };
    for (const auto& c : cases)
    {
        auto p = makeProcessor();
        prepare(*p, 44100.0);
        for (size_t i = 0; i < c.lengths.size(); ++i)
        {
            SCOPED_TRACE("block " + std::to_string(i) + " of " + std::to_string(c.lengths[i]));
            auto& mark = Access::reverb(*p).accumulator[kConvAccumulatorCapacity - 1];
            mark = 42.0f;
            const int previous = Access::lastBlockSize(*p);
            juce::AudioBuffer<float> block(2, c.lengths[i]);
            block.clear();
            processLocked(*p, block);
            EXPECT_EQ(mark == 0.0f, c.reruns[i]);
            EXPECT_EQ(Access::lastBlockSize(*p), c.lengths[i] > 8192 ? previous : c.lengths[i]);
        }
    }
}
}
