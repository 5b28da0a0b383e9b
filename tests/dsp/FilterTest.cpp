#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "AudioTables.h"
#include "BiquadCascade.h"
#include "FloatingPointModes.h"
#include "OnePoleFilter.h"
#include "DspRoutineForms.h"
#include "TestSignals.h"

namespace
{
using brondavell::test::routinesName;
using brondavell::test::runnableRoutines;

// Splits [0, n) into blocks of random lengths 0 to maxLen (zero-length blocks included).
std::vector<int> randomSplit(int n, int maxLen, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(0, maxLen);
    std::vector<int> lens;
    int done = 0;
    while (done < n)
    {
        const int len = std::min(d(rng), n - done);
        lens.push_back(len);
        done += len;
    }
    return lens;
}

struct CutoffCase
{
    bool lowpass;
    float fc;
    float rate;
    float coef;
};

const CutoffCase kCutoffCases[] = {
    { true, 10000.0f, 44100.0f, 0.587587833f }, { true, 10000.0f, 48000.0f, 0.566911519f },
    { false, 50.0f, 44100.0f, 0.992926538f },   { false, 50.0f, 48000.0f, 0.99349761f },
    { true, 5000.0f, 44100.0f, 0.416017234f },  { true, 5000.0f, 48000.0f, 0.395587236f },
    { false, 3500.0f, 44100.0f, 0.667260289f }, { false, 3500.0f, 48000.0f, 0.68580097f },
    { false, 80.0f, 44100.0f, 0.988730371f },   { false, 80.0f, 48000.0f, 0.9896366f },
    { false, 40.0f, 44100.0f, 0.994333267f },   { false, 40.0f, 48000.0f, 0.994791269f },
};

TEST(OnePoleFilter, CoefficientsMatchTheTunedValues)
{
    for (const auto& c : kCutoffCases)
    {
        OnePoleFilter f{};
        f.x1 = 0.5f;
        f.y1 = 0.25f;
        onePoleFilterSetUp(f, c.lowpass, c.fc, c.rate);
        EXPECT_EQ(f.coef, c.coef) << (c.lowpass ? "LP " : "HP ") << c.fc << " at " << c.rate;
        EXPECT_EQ(f.isLowpass, c.lowpass);
        EXPECT_EQ(f.x1, 0.0f);
        EXPECT_EQ(f.y1, 0.0f);
    }
}

TEST(OnePoleFilter, LowpassImpulseTailEndsAtZeroAboveHalfCoefficient)
{
    OnePoleFilter f{};
    onePoleFilterSetUp(f, true, 10000.0f, 44100.0f);
    std::vector<float> x(200, 0.0f);
    x[0] = 1.0f;
    onePoleFilterProcess(f, x.data(), static_cast<int>(x.size()));
    EXPECT_EQ(x[0], f.coef);
    EXPECT_NEAR(x[1] / x[0], 1.0f - f.coef, 1e-6f);
    EXPECT_EQ(x.back(), 0.0f);
    EXPECT_EQ(f.y1, 0.0f);

    // Below a coefficient of 0.5 the stored output settles on the grid step 2^-23 instead.
    onePoleFilterSetUp(f, true, 5000.0f, 44100.0f);
    std::fill(x.begin(), x.end(), 0.0f);
    x[0] = 1.0f;
    onePoleFilterProcess(f, x.data(), static_cast<int>(x.size()));
    EXPECT_EQ(f.y1, 1.1920929e-7f);
}

TEST(OnePoleFilter, HighpassConstantInputSettlesNearZero)
{
    OnePoleFilter f{};
    onePoleFilterSetUp(f, false, 80.0f, 48000.0f);
    std::vector<float> x(48000, 1.0f);
    onePoleFilterProcess(f, x.data(), static_cast<int>(x.size()));
    EXPECT_EQ(x[0], f.coef);
    EXPECT_LT(std::fabs(x.back()), 1e-5f);
    EXPECT_EQ(x[x.size() - 1], x[x.size() - 2]);  // settled: the quantised state stopped moving
}

TEST(OnePoleFilter, RetuningKeepsTheState)
{
    OnePoleFilter f{};
    onePoleFilterSetUp(f, true, 10000.0f, 48000.0f);
    auto x = noise(64, 1);
    onePoleFilterProcess(f, x.data(), 64);
    const float y1 = f.y1;
    onePoleFilterSetCutoff(f, 3000.0f, 48000.0f);
    EXPECT_EQ(f.y1, y1);
    float s = 0.5f;
    onePoleFilterProcess(f, &s, 1);
    EXPECT_EQ(s, ((0.5f - y1) * f.coef) + y1);
}

// A 25-section cascade from the two resampler tables (repeated), with an overall gain.
struct TestCascadeTable
{
    float sos[25 * 6];
    float scale[26];
    TestCascadeTable()
    {
        for (int s = 0; s < 25; ++s)
        {
            const BiquadTable& t = (s / 10) % 2 == 0 ? kResampler2Filter : kResampler4Filter;
            std::memcpy(sos + 6 * s, t.sos + 6 * (s % 10), 6 * sizeof(float));
            scale[s] = 1.0f;
        }
        scale[25] = 3.0f;
    }
};

// The one-pole recursions written out plainly, one filter over the whole block.
void plainOnePole(OnePoleFilter& f, float* x, int count)
{
    for (int i = 0; i < count; ++i)
    {
        const float in = x[i];
        const float y = f.isLowpass ? ((in - f.y1) * f.coef) + f.y1 : ((f.y1 + in) - f.x1) * f.coef;
        x[i] = y;
        f.y1 = (y + 1.0f) - 1.0f;
        if (!f.isLowpass)
            f.x1 = in;
    }
}

// A single filter and chains of two to four filters of mixed kinds, in both forms, give the
// bits of the plain recursions filter after filter: every block length from 1 to 512, both
// floating-point modes, three blocks in a row (loud, tiny, denormal) so the states carry over.
TEST(OnePoleFilter, SingleAndChainedMatchThePlainRecursion)
{
    struct Chain
    {
        int n;
        bool lowpass[4];
        float cutoff[4];
    } chains[] = { { 1, { true }, { 5000.0f } },
                   { 1, { false }, { 80.0f } },
                   { 2, { false, false }, { 80.0f, 80.0f } },
                   { 4, { true, true, false, false }, { 3000.0f, 3000.0f, 60.0f, 60.0f } },
                   { 4, { true, false, true, false }, { 5000.0f, 3500.0f, 5000.0f, 3500.0f } },
                   { 3, { false, true, false }, { 40.0f, 12000.0f, 40.0f } } };
    for (const DspRoutines routines : runnableRoutines())
    {
        for (const auto& mode : kFloatingPointModes)
        {
            const ScopedFloatingPointMode fpMode(mode);
            for (const auto& chain : chains)
                for (int count = 1; count <= 512; ++count)
                {
                    OnePoleFilter fast[4]{}, plain[4]{};
                    OnePoleFilter* fastChain[4];
                    for (int f = 0; f < chain.n; ++f)
                    {
                        onePoleFilterSetUp(fast[f], chain.lowpass[f], chain.cutoff[f], 48000.0f);
                        plain[f] = fast[f];
                        fastChain[f] = &fast[f];
                    }
                    for (int block = 0; block < 3; ++block)
                    {
                        auto a = noise(count, static_cast<unsigned>(count * 7 + block + chain.n));
                        for (auto& v : a)
                            v *= block == 0 ? 1.0f : block == 1 ? 1e-7f : 1e-39f;
                        auto b = a;
                        if (chain.n == 1)
                            onePoleFilterProcess(fast[0], a.data(), count);
                        else
                            onePoleFilterChainProcess(fastChain, chain.n, a.data(), count, routines);
                        for (int f = 0; f < chain.n; ++f)
                            plainOnePole(plain[f], b.data(), count);
                        ASSERT_EQ(0, std::memcmp(a.data(), b.data(), count * sizeof(float)))
                            << routinesName(routines) << ", " << chain.n << " filters, " << count << " samples, block "
                            << block << ", " << mode.name;
                        for (int f = 0; f < chain.n; ++f)
                        {
                            ASSERT_EQ(bitsOf(fast[f].y1), bitsOf(plain[f].y1));
                            ASSERT_EQ(bitsOf(fast[f].x1), bitsOf(plain[f].x1));
                        }
                    }
                }
        }
    }
}

TEST(FilterSplitting, AnySplitGivesTheSameOutput)
{
    static const TestCascadeTable table;
    const int n = 5000;
    const auto input = noise(n, 7);
    for (int kind = 0; kind < 3; ++kind)
    {
        for (unsigned seed = 1; seed <= 3; ++seed)
        {
            OnePoleFilter f1{}, f2{};
            BiquadCascade c1{}, c2{};
            onePoleFilterSetUp(f1, kind == 0, 2000.0f, 44100.0f);
            f2 = f1;
            biquadCascadeBind(c1, table.sos, table.scale, 25);
            biquadCascadeBind(c2, table.sos, table.scale, 25);

            auto whole = input;
            auto split = input;
            if (kind < 2)
                onePoleFilterProcess(f1, whole.data(), n);
            else
                biquadCascadeProcess(c1, whole.data(), n, dspFastestRoutines());
            int at = 0;
            for (int len : randomSplit(n, 300, seed))
            {
                if (kind < 2)
                    onePoleFilterProcess(f2, split.data() + at, len);
                else
                    biquadCascadeProcess(c2, split.data() + at, len, dspFastestRoutines());
                at += len;
            }
            ASSERT_EQ(0, std::memcmp(whole.data(), split.data(), n * sizeof(float)))
                << "filter kind " << kind << ", split seed " << seed;
        }
    }
}

TEST(FilterSplitting, ZeroLengthBlockKeepsState)
{
    static const TestCascadeTable table;
    auto x = noise(100, 3);
    OnePoleFilter f{};
    onePoleFilterSetUp(f, false, 100.0f, 44100.0f);
    onePoleFilterProcess(f, x.data(), 100);
    const OnePoleFilter before = f;
    onePoleFilterProcess(f, x.data(), 0);
    EXPECT_EQ(0, std::memcmp(&before, &f, sizeof f));

    BiquadCascade c{};
    biquadCascadeBind(c, table.sos, table.scale, 25);
    biquadCascadeProcess(c, x.data(), 100, dspFastestRoutines());
    const BiquadCascade cb = c;
    float probe = 1.0f;
    biquadCascadeProcess(c, &probe, 0, dspFastestRoutines());
    EXPECT_EQ(0, std::memcmp(&cb, &c, sizeof c));
    EXPECT_EQ(probe, 1.0f);  // no gain applied either
}

// The cascade overlaps the recursions of neighbouring sections; the values must be exactly
// those of the plain form: the whole block through section 0, then through section 1, ...
void plainCascade(BiquadCascade& c, float* x, int count)
{
    for (int s = 0; s < c.nSections; ++s)
    {
        const float* r = c.sos + 6 * s;
        for (int i = 0; i < count; ++i)
        {
            float y = (r[0] * x[i]) + c.state[s].z1;
            if (std::fabs(static_cast<double>(y)) < 1e-10)
                y = 0.0f;
            const float s1 = ((r[1] * x[i]) + c.state[s].z2) - (r[4] * y);
            const float s2 = (r[2] * x[i]) - (r[5] * y);
            c.state[s].z1 = (s1 + 1.0f) - 1.0f;
            c.state[s].z2 = (s2 + 1.0f) - 1.0f;
            x[i] = y;
        }
    }
    if (count > 0 && !(c.scale[c.nSections] == 1.0f))
        for (int i = 0; i < count; ++i)
            x[i] = x[i] * c.scale[c.nSections];
}

// Both forms of the cascade (scalar wavefront, one section per vector lane) against the plain
// form, bit for bit: every section count of the test table and the system's own tables, every
// block length from 1 to 512, under both floating-point modes; three blocks in a row (loud
// noise, then a signal near the flush threshold, then denormals) so the state carries over.
TEST(BiquadCascade, MatchesThePlainSectionBySectionForm)
{
    static const TestCascadeTable test;
    struct Table
    {
        const char* name;
        const float* sos;
        const float* scale;
        int nSections;
    };
    std::vector<Table> tables;
    for (int nSections = 1; nSections <= 25; ++nSections)
        tables.push_back({ "test table", test.sos, test.scale, nSections });
    for (int rate = 0; rate < 2; ++rate)
    {
        tables.push_back({ "darkening", kDarkeningFilter[rate].sos, kDarkeningFilter[rate].scale, 25 });
        tables.push_back(
            { "cabinet 7", kCabinetSections[rate].sos + 6 * 25 * 7, kCabinetSections[rate].scale + 26 * 7, 25 });
        tables.push_back({ "cabinet low-pass", kCabinetLowPass[rate].sos, kCabinetLowPass[rate].scale, 2 });
        tables.push_back({ "cabinet high-pass", kCabinetHighPass[rate].sos, kCabinetHighPass[rate].scale, 2 });
    }
    tables.push_back({ "resampler 4", kResampler4Filter.sos, kResampler4Filter.scale, 10 });
    for (const DspRoutines routines : runnableRoutines())
    {
        for (const auto& mode : kFloatingPointModes)
        {
            const ScopedFloatingPointMode fpMode(mode);
            for (const auto& table : tables)
            {
                for (int count = 1; count <= 512; ++count)
                {
                    BiquadCascade fast{}, plain{};
                    biquadCascadeBind(fast, table.sos, table.scale, table.nSections);
                    biquadCascadeBind(plain, table.sos, table.scale, table.nSections);
                    for (int block = 0; block < 3; ++block)
                    {
                        auto a = noise(count, static_cast<unsigned>(table.nSections * 1000 + count + block));
                        for (auto& v : a)
                            v *= block == 0 ? 1.0f : block == 1 ? 2e-10f : 1e-39f;
                        auto b = a;
                        biquadCascadeProcess(fast, a.data(), count, routines);
                        plainCascade(plain, b.data(), count);
                        ASSERT_EQ(0, std::memcmp(a.data(), b.data(), count * sizeof(float)))
                            << table.name << ", " << table.nSections << " sections, " << count << " samples, block "
                            << block << ", " << mode.name << ", " << routinesName(routines);
                        ASSERT_EQ(0, std::memcmp(fast.state, plain.state, sizeof fast.state));
                    }
                }
            }
        }
    }
}

// Chained cascades give the bits of one plain cascade after the other, overall gains included
// (gains of 1 and others, between cascades and at the end), in every form.
TEST(BiquadCascade, ChainMatchesThePlainCascadesInTurn)
{
    static const TestCascadeTable test;
    static const float unitGain[26] = { 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1 };
    static const float negativeGain[4] = { 1, 1, 1, -0.75f };
    struct Part
    {
        const float* sos;
        const float* scale;
        int nSections;
    };
    const std::vector<std::vector<Part>> chains = {
        { { kCabinetSections[1].sos + 6 * 25 * 3, kCabinetSections[1].scale + 26 * 3, 25 },
          { kCabinetLowPass[1].sos, kCabinetLowPass[1].scale, 2 },
          { kCabinetHighPass[1].sos, kCabinetHighPass[1].scale, 2 } },
        { { kResampler2Filter.sos, kResampler2Filter.scale, 10 }, { test.sos, test.scale, 7 } },
        { { test.sos, unitGain, 3 }, { kCabinetLowPass[0].sos, kCabinetLowPass[0].scale, 2 } },
        { { test.sos, negativeGain, 3 }, { test.sos, negativeGain, 3 } },  // a flushed output times it is -0
        { { test.sos, test.scale, 25 }, { test.sos, unitGain, 7 } },       // 32 sections
        { { test.sos, test.scale, 25 }, { test.sos, test.scale, 8 } },     // more than one wavefront holds
    };
    for (const DspRoutines routines : runnableRoutines())
    {
        for (const auto& mode : kFloatingPointModes)
        {
            const ScopedFloatingPointMode fpMode(mode);
            for (size_t which = 0; which < chains.size(); ++which)
            {
                const auto& chain = chains[which];
                for (int count = 1; count <= 512; ++count)
                {
                    std::vector<BiquadCascade> fast(chain.size()), plain(chain.size());
                    std::vector<BiquadCascade*> fastChain;
                    for (size_t c = 0; c < chain.size(); ++c)
                    {
                        biquadCascadeBind(fast[c], chain[c].sos, chain[c].scale, chain[c].nSections);
                        biquadCascadeBind(plain[c], chain[c].sos, chain[c].scale, chain[c].nSections);
                        fastChain.push_back(&fast[c]);
                    }
                    for (int block = 0; block < 3; ++block)
                    {
                        auto a = noise(count, static_cast<unsigned>(count * 3 + block));
                        for (auto& v : a)
                            v *= block == 0 ? 1.0f : block == 1 ? 2e-10f : 1e-39f;
                        auto b = a;
                        biquadCascadeChainProcess(fastChain.data(), static_cast<int>(chain.size()), a.data(), count,
                                                  routines);
                        for (auto& c : plain)
                            plainCascade(c, b.data(), count);
                        ASSERT_EQ(0, std::memcmp(a.data(), b.data(), count * sizeof(float)))
                            << routinesName(routines) << ", chain " << which << ", " << count << " samples, block " << block << ", "
                            << mode.name;
                        for (size_t c = 0; c < chain.size(); ++c)
                            ASSERT_EQ(0, std::memcmp(fast[c].state, plain[c].state, sizeof fast[c].state));
                    }
                }
            }
        }
    }
}

TEST(BiquadCascade, FlushComparesInDoubleAndKeepsNaN)
{
    // A pass-through section: y = x.
    static const float sos[6] = { 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f };
    static const float scale[2] = { 1.0f, 1.0f };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        float in;
        float out;
    } cases[] = {
        { 9.9e-11f, 0.0f },
        { -9.9e-11f, 0.0f },
        { 1.00000001e-10f, 1.00000001e-10f },  // nearest float to 1e-10 lies above the double 1e-10
        { -1.00000001e-10f, -1.00000001e-10f },
        { 0.5f, 0.5f },
    };
    for (const auto& c : cases)
    {
        BiquadCascade bq{};
        biquadCascadeBind(bq, sos, scale, 1);
        float x = c.in;
        biquadCascadeProcess(bq, &x, 1, dspFastestRoutines());
        EXPECT_EQ(x, c.out) << c.in;
    }
    BiquadCascade bq{};
    biquadCascadeBind(bq, sos, scale, 1);
    float x = nan;
    biquadCascadeProcess(bq, &x, 1, dspFastestRoutines());
    EXPECT_TRUE(std::isnan(x));
}

TEST(BiquadCascade, OverallGainAppliedUnlessExactlyOne)
{
    static const float sos[6] = { 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        float gain;
        float expect;
    } cases[] = { { 1.0f, 0.3f }, { 0.00836936012f, 0.3f * 0.00836936012f }, { 2.0f, 0.6f } };
    for (const auto& c : cases)
    {
        const float scale[2] = { 5.0f, c.gain };  // the per-section value is not applied
        BiquadCascade bq{};
        biquadCascadeBind(bq, sos, scale, 1);
        float x = 0.3f;
        biquadCascadeProcess(bq, &x, 1, dspFastestRoutines());
        EXPECT_EQ(x, c.expect) << c.gain;
    }
    const float scale[2] = { 1.0f, nan };
    BiquadCascade bq{};
    biquadCascadeBind(bq, sos, scale, 1);
    float x = 0.3f;
    biquadCascadeProcess(bq, &x, 1, dspFastestRoutines());
    EXPECT_TRUE(std::isnan(x));
}

TEST(BiquadCascade, BindingClearsOnlyTheSectionsInUse)
{
    static const TestCascadeTable table;
    BiquadCascade c{};
    for (auto& s : c.state)
        s = { 0.5f, -0.5f };
    biquadCascadeBind(c, table.sos, table.scale, 10);
    EXPECT_EQ(c.sos, table.sos);
    EXPECT_EQ(c.scale, table.scale);
    EXPECT_EQ(c.nSections, 10);
    for (int s = 0; s < 25; ++s)
    {
        EXPECT_EQ(c.state[s].z1, s < 10 ? 0.0f : 0.5f);
        EXPECT_EQ(c.state[s].z2, s < 10 ? 0.0f : -0.5f);
    }
}
}  // namespace
