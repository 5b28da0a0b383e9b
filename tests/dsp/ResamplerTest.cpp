#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "AudioTables.h"
#include "BlockResampler.h"
#include "TestSignals.h"

namespace
{
std::unique_ptr<BlockResampler> makeResampler(int factor, bool down)
{
    auto r = std::make_unique<BlockResampler>();
    r->out = nullptr;
    r->outCount = 0;
    r->outRate = 0;
    blockResamplerInit(*r, factor, down ? 1 : 0);
    return r;
}

// Runs `input` through a resampler in blocks of `blockLen` and concatenates the outputs.
std::vector<float> runInBlocks(BlockResampler& r, std::vector<float> input, int blockLen, int rate)
{
    std::vector<float> out;
    for (size_t at = 0; at < input.size(); at += blockLen)
    {
        const int len = static_cast<int>(std::min<size_t>(blockLen, input.size() - at));
        SignalBlock block{ input.data() + at, len, rate };
        blockResamplerProcess(r, block, dspFastestRoutines());
        out.insert(out.end(), block.data, block.data + block.numSamples);
    }
    return out;
}

struct RateCase
{
    int factor;
    bool down;
    int inRate;
    int inCount;
    int outRate;
    int outCount;
};

const RateCase kRateCases[] = {
    { 2, true, 88200, 512, 44100, 256 },    { 4, true, 176400, 512, 44100, 128 },  { 2, true, 96000, 512, 48000, 256 },
    { 4, true, 192000, 512, 48000, 128 },   { 2, true, 44100, 512, 22050, 256 },   { 4, true, 44100, 512, 11025, 128 },
    { 2, true, 48000, 512, 24000, 256 },    { 4, true, 48000, 512, 12000, 128 },   { 2, true, 96000, 5, 48000, 2 },
    { 4, true, 44100, 3, 11025, 0 },        { 2, true, 44100, 0, 22050, 0 },       { 4, false, 12000, 0, 48000, 0 },
    { 2, false, 44100, 256, 88200, 512 },   { 4, false, 44100, 128, 176400, 512 }, { 2, false, 48000, 256, 96000, 512 },
    { 4, false, 48000, 128, 192000, 512 },  { 2, false, 22050, 256, 44100, 512 },  { 4, false, 11025, 3, 44100, 12 },
    { 4, false, 12000, 2048, 48000, 8192 },
};

TEST(BlockResampler, RatesAndCountsDivideAndMultiplyExactly)
{
    for (const auto& c : kRateCases)
    {
        auto r = makeResampler(c.factor, c.down);
        std::vector<float> x(std::max(c.inCount, 1), 0.25f);
        SignalBlock block{ x.data(), c.inCount, c.inRate };
        blockResamplerProcess(*r, block, dspFastestRoutines());
        EXPECT_EQ(block.sampleRate, c.outRate) << c.factor << (c.down ? " down " : " up ") << c.inRate;
        EXPECT_EQ(block.numSamples, c.outCount) << c.factor << " " << c.inCount;
        EXPECT_EQ(block.data, r->buf);
        EXPECT_EQ(r->out, r->buf);
        EXPECT_EQ(r->outCount, c.outCount);
        EXPECT_EQ(r->outRate, c.outRate);
    }
}

TEST(BlockResampler, InitBindsTheFactorsTable)
{
    auto r2 = makeResampler(2, true);
    auto r4 = makeResampler(4, false);
    EXPECT_EQ(r2->cascade.sos, kResampler2Filter.sos);
    EXPECT_EQ(r2->cascade.scale, kResampler2Filter.scale);
    EXPECT_EQ(r4->cascade.sos, kResampler4Filter.sos);
    EXPECT_EQ(r4->cascade.nSections, 10);
    EXPECT_EQ(r4->isDown, 0);
    // A second init restarts the filter from silence.
    auto x = noise(64, 2);
    SignalBlock block{ x.data(), 64, 44100 };
    blockResamplerProcess(*r4, block, dspFastestRoutines());
    blockResamplerInit(*r4, 4, 0);
    for (int s = 0; s < 10; ++s)
    {
        EXPECT_EQ(r4->cascade.state[s].z1, 0.0f);
        EXPECT_EQ(r4->cascade.state[s].z2, 0.0f);
    }
}

TEST(BlockResampler, DownsamplingFiltersEverySampleAndKeepsPhaseZero)
{
    auto r = makeResampler(2, true);
    auto reference = makeResampler(2, true);
    const auto in = noise(5, 4);
    auto x = in;
    SignalBlock block{ x.data(), 5, 96000 };
    blockResamplerProcess(*r, block, dspFastestRoutines());

    auto filtered = in;
    biquadCascadeProcess(reference->cascade, filtered.data(), 5, dspFastestRoutines());
    EXPECT_EQ(0, std::memcmp(x.data(), filtered.data(), 5 * sizeof(float)));  // all 5 replaced
    ASSERT_EQ(block.numSamples, 2);
    EXPECT_EQ(block.data[0], filtered[0]);
    EXPECT_EQ(block.data[1], filtered[2]);
    // Samples 3 and 4 advanced the state even though none of them was taken.
    EXPECT_EQ(0, std::memcmp(&r->cascade.state, &reference->cascade.state, sizeof r->cascade.state));
}

TEST(BlockResampler, UpsamplingHoldsEachSampleAndLeavesTheInput)
{
    auto r = makeResampler(4, false);
    auto reference = makeResampler(4, false);
    const float in[3] = { 0.5f, -0.25f, 1.0f };
    float x[3] = { 0.5f, -0.25f, 1.0f };
    SignalBlock block{ x, 3, 12000 };
    blockResamplerProcess(*r, block, dspFastestRoutines());
    EXPECT_EQ(0, std::memcmp(x, in, sizeof x));
    float held[12];
    for (int i = 0; i < 12; ++i)
        held[i] = in[i / 4];
    biquadCascadeProcess(reference->cascade, held, 12, dspFastestRoutines());
    ASSERT_EQ(block.numSamples, 12);
    EXPECT_EQ(0, std::memcmp(block.data, held, sizeof held));
}

TEST(BlockResampler, ConstantOneSettlesToOne)
{
    for (int factor : { 2, 4 })
    {
        for (bool down : { true, false })
        {
            auto r = makeResampler(factor, down);
            std::vector<float> x(down ? 8192 : 8192 / factor, 1.0f);
            SignalBlock block{ x.data(), static_cast<int>(x.size()), 48000 };
            blockResamplerProcess(*r, block, dspFastestRoutines());
            const int n = block.numSamples;
            for (int i = n - 256; i < n; ++i)
                ASSERT_NEAR(block.data[i], 1.0f, 3e-6f) << factor << (down ? " down" : " up");
        }
    }
}

TEST(BlockResampler, SplitsInMultiplesOfTheFactorChangeNothing)
{
    const auto input = noise(4096, 5);
    for (int factor : { 2, 4 })
    {
        for (bool down : { true, false })
        {
            auto r1 = makeResampler(factor, down);
            auto r2 = makeResampler(factor, down);
            auto r3 = makeResampler(factor, down);
            const auto a = runInBlocks(*r1, input, 64, 44100);
            const auto b = runInBlocks(*r2, input, 128, 44100);
            const auto c = runInBlocks(*r3, input, 2048, 44100);
            ASSERT_EQ(a.size(), c.size());
            EXPECT_EQ(0, std::memcmp(a.data(), c.data(), a.size() * sizeof(float)));
            EXPECT_EQ(0, std::memcmp(b.data(), c.data(), b.size() * sizeof(float)));
        }
    }
}

TEST(BlockResampler, OtherSplitsRestartTheDecimationPhase)
{
    const auto input = noise(63 * 20, 6);
    for (int factor : { 2, 4 })
    {
        auto r = makeResampler(factor, true);
        auto reference = makeResampler(factor, true);
        const auto out = runInBlocks(*r, input, 63, 96000);
        auto filtered = input;  // the cascade itself does not care about the split
        biquadCascadeProcess(reference->cascade, filtered.data(), static_cast<int>(filtered.size()), dspFastestRoutines());
        std::vector<float> expect;
        for (size_t start = 0; start < input.size(); start += 63)
            for (int k = 0; k < 63 / factor; ++k)
                expect.push_back(filtered[start + k * factor]);
        ASSERT_EQ(out.size(), expect.size());
        EXPECT_EQ(0, std::memcmp(out.data(), expect.data(), out.size() * sizeof(float)));
    }
}

TEST(BlockResampler, ZeroLengthBlockKeepsState)
{
    const auto input = noise(512, 8);
    for (bool down : { true, false })
    {
        auto r1 = makeResampler(2, down);
        auto r2 = makeResampler(2, down);
        auto a = input, b = input;
        SignalBlock b1{ a.data(), 256, 44100 };
        blockResamplerProcess(*r1, b1, dspFastestRoutines());
        SignalBlock b2{ b.data(), 256, 44100 };
        blockResamplerProcess(*r2, b2, dspFastestRoutines());
        SignalBlock empty{ b.data(), 0, 44100 };
        blockResamplerProcess(*r2, empty, dspFastestRoutines());
        EXPECT_EQ(empty.numSamples, 0);
        SignalBlock c1{ a.data() + 256, 256, 44100 };
        SignalBlock c2{ b.data() + 256, 256, 44100 };
        blockResamplerProcess(*r1, c1, dspFastestRoutines());
        blockResamplerProcess(*r2, c2, dspFastestRoutines());
        ASSERT_EQ(c1.numSamples, c2.numSamples);
        EXPECT_EQ(0, std::memcmp(c1.data, c2.data, c1.numSamples * sizeof(float)));
    }
}

// The transcribed tables: 20th-order low-passes, unity at 0 Hz, >= 80 dB in the stop band
// (whose edge lies just below the frequencies checked here).
TEST(ResamplerTables, PassAndStopBands)
{
    struct Case
    {
        const BiquadTable* table;
        double passEdge;
        double stopEdge;
    } cases[] = { { &kResampler2Filter, 0.233, 0.266 }, { &kResampler4Filter, 0.113, 0.136 } };
    for (const auto& c : cases)
    {
        auto gainAt = [&](double frac) {
            const std::complex<double> z = std::polar(1.0, 2.0 * M_PI * frac);
            std::complex<double> h = c.table->scale[10];
            for (int s = 0; s < 10; ++s)
            {
                const float* r = c.table->sos + 6 * s;
                EXPECT_EQ(r[0], 1.0f);
                EXPECT_EQ(r[2], 1.0f);
                EXPECT_EQ(r[3], 1.0f);
                EXPECT_EQ(c.table->scale[s], 1.0f);
                const std::complex<double> zi = 1.0 / z;
                h *= (double(r[0]) + double(r[1]) * zi + double(r[2]) * zi * zi)
                    / (1.0 + double(r[4]) * zi + double(r[5]) * zi * zi);
            }
            return std::abs(h);
        };
        EXPECT_NEAR(gainAt(0.0), 1.0, 3e-6);
        for (double f = 0.001; f <= c.passEdge; f += 0.001)
            EXPECT_NEAR(20.0 * std::log10(gainAt(f)), 0.0, 0.01) << f;
        for (double f = c.stopEdge; f <= 0.5; f += 0.0005)
            EXPECT_LT(20.0 * std::log10(gainAt(f)), -80.0) << f;
    }
}
}  // namespace
