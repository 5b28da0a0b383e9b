#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "AudioTables.h"
#include "FloatingPointModes.h"
#include "TestSignals.h"
#include "ToneStack.h"

namespace
{
std::unique_ptr<ToneStack> makeStack(float baseRate, float bass, float middle, float treble)
{
    auto s = std::make_unique<ToneStack>();
    toneStackConstruct(*s);
    toneStackPrepare(*s, baseRate);
    toneStackSetControls(*s, bass, middle, treble);
    return s;
}

TEST(ToneStack, ConstructionState)
{
    auto s = std::make_unique<ToneStack>();
    std::memset(static_cast<void*>(s.get()), 0x7f, sizeof(ToneStack));
    toneStackConstruct(*s);
    EXPECT_EQ(s->bPtr, s->b);
    EXPECT_EQ(s->aPtr, s->a);
    EXPECT_EQ(s->n, 4);
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_EQ(s->b[k], 0.0f);
        EXPECT_EQ(s->a[k], 0.0f);
        EXPECT_EQ(s->xHist[k], 0.0f);
        EXPECT_EQ(s->yHist[k], 0.0f);
    }
    // A control change before any preparation gives finite coefficients.
    toneStackSetControls(*s, 0.5f, 0.5f, 0.5f);
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_TRUE(std::isfinite(s->b[k]));
        EXPECT_TRUE(std::isfinite(s->a[k]));
    }
}

TEST(ToneStack, PreparationConstants)
{
    struct Case
    {
        float rate, T, c, c2, c3;
    } cases[] = { { 44100.0f, 2.26757365e-05f, 88200.0f, 7.77923994e+09f, 6.86128944e+14f },
                  { 48000.0f, 2.08333331e-05f, 96000.0f, 9.216e+09f, 8.84736017e+14f } };
    for (const auto& c : cases)
    {
        auto s = std::make_unique<ToneStack>();
        toneStackConstruct(*s);
        s->b[1] = 3.0f;
        s->xHist[2] = 0.125f;
        toneStackPrepare(*s, c.rate);
        EXPECT_EQ(s->T, c.T);
        EXPECT_EQ(s->c, c.c);
        EXPECT_EQ(s->c2, c.c2);
        EXPECT_EQ(s->c3, c.c3);
        EXPECT_EQ(s->b[1], 0.0f);
        EXPECT_EQ(s->xHist[2], 0.125f);  // the history is not the preparation's
        EXPECT_EQ(0, std::memcmp(s->comp, kToneStackComponents, sizeof s->comp));
        EXPECT_EQ(0, std::memcmp(s->terms, kToneStackTerms, sizeof s->terms));
    }
    EXPECT_EQ(kToneStackComponents[0], 4.69999983e-10f);
    EXPECT_EQ(kToneStackComponents[1], 2.2e-08f);
}

struct CoefCase
{
    float rate;
    float control;
    float b[4];
    float a[4];
};

const CoefCase kCoefCases[] = {
    { 48000.0f,
      0.5f,
      { 0.623455584f, -1.792207f, 1.71793652f, -0.549185097f },
      { 1.0f, -2.79414177f, 2.59266567f, -0.798517048f } },
    { 44100.0f,
      0.5f,
      { 0.621258855f, -1.77910161f, 1.69899285f, -0.541150093f },
      { 1.0f, -2.77754164f, 2.56022859f, -0.782678485f } },
    { 48000.0f,
      0.0f,
      { 0.0173096359f, -0.0147705246f, -0.0173096359f, 0.0147705246f },
      { 1.0f, -2.71022797f, 2.43987727f, -0.729461014f } },
};

TEST(ToneStack, CoefficientsReproduceExactly)
{
    for (const auto& c : kCoefCases)
    {
        auto s = makeStack(c.rate, c.control, c.control, c.control);
        for (int k = 0; k < 4; ++k)
        {
            EXPECT_EQ(s->b[k], c.b[k]) << c.rate << " controls " << c.control << " b" << k;
            EXPECT_EQ(s->a[k], c.a[k]) << c.rate << " controls " << c.control << " a" << k;
        }
    }
}

TEST(ToneStack, ConstantInputDecaysToTheResidualDcGain)
{
    // The rounded coefficients leave a small 0 Hz gain (about 3e-4 at mid controls).
    auto s = makeStack(48000.0f, 0.5f, 0.5f, 0.5f);
    std::vector<float> x(8192 * 6, 1.0f);
    for (size_t at = 0; at < x.size(); at += 8192)
        toneStackProcess(*s, x.data() + at, 8192);
    EXPECT_GT(std::fabs(x[0]), 0.1f);
    EXPECT_LT(std::fabs(x.back()), 1e-3f);
}

TEST(ToneStack, ControlChangeKeepsTheHistory)
{
    auto s = makeStack(44100.0f, 0.2f, 0.7f, 0.4f);
    auto x = noise(256, 1);
    toneStackProcess(*s, x.data(), 256);
    float xh[4], yh[4];
    std::memcpy(xh, s->xHist, sizeof xh);
    std::memcpy(yh, s->yHist, sizeof yh);
    toneStackSetControls(*s, 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(0, std::memcmp(xh, s->xHist, sizeof xh));
    EXPECT_EQ(0, std::memcmp(yh, s->yHist, sizeof yh));
}

TEST(ToneStack, ZeroLengthBlockChangesNothing)
{
    auto s = makeStack(44100.0f, 0.5f, 0.5f, 0.5f);
    auto x = noise(100, 2);
    toneStackProcess(*s, x.data(), 100);
    std::vector<unsigned char> before(sizeof(ToneStack));
    std::memcpy(before.data(), static_cast<const void*>(s.get()), sizeof(ToneStack));
    toneStackProcess(*s, x.data(), 0);
    EXPECT_EQ(0, std::memcmp(before.data(), static_cast<const void*>(s.get()), sizeof(ToneStack)));
}

// A copy filters with its own coefficients: changing the original's controls afterwards does
// not change what the copy computes, and copy and original give the same output until then.
TEST(ToneStack, CopyUsesItsOwnCoefficients)
{
    auto original = makeStack(48000.0f, 0.2f, 0.7f, 0.9f);
    auto x = noise(64, 5);
    toneStackProcess(*original, x.data(), 64);
    auto copy = std::make_unique<ToneStack>(*original);
    auto assigned = makeStack(44100.0f, 1.0f, 1.0f, 1.0f);
    *assigned = *original;
    for (const ToneStack* c : { copy.get(), assigned.get() })
    {
        EXPECT_EQ(c->bPtr, c->b);
        EXPECT_EQ(c->aPtr, c->a);
    }
    auto expected = noise(64, 6);
    auto fromCopy = expected, fromAssigned = expected;
    toneStackProcess(*original, expected.data(), 64);
    toneStackSetControls(*original, 1.0f, 0.0f, 0.0f);
    toneStackProcess(*copy, fromCopy.data(), 64);
    toneStackProcess(*assigned, fromAssigned.data(), 64);
    EXPECT_EQ(0, std::memcmp(expected.data(), fromCopy.data(), 64 * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(expected.data(), fromAssigned.data(), 64 * sizeof(float)));
}

TEST(ToneStack, ReadsUnfilteredInputsAndQuantisesAtBlockEnds)
{
    // One block filtered against a direct form I written out here in the same rounding order.
    auto s = makeStack(48000.0f, 0.3f, 0.6f, 0.9f);
    const auto in = noise(40, 3);
    auto x = in;
    toneStackProcess(*s, x.data(), 40);
    std::vector<float> X(4, 0.0f), Y(4, 0.0f);
    X.insert(X.end(), in.begin(), in.end());
    for (int i = 0; i < 40; ++i)
    {
        float acc = s->b[0] * X[4 + i];
        for (int j = 1; j < 4; ++j)
            acc = acc + ((s->b[j] * X[4 + i - j]) - (s->a[j] * Y[4 + i - j]));
        Y.push_back(acc);
    }
    EXPECT_EQ(0, std::memcmp(x.data(), Y.data() + 4, 40 * sizeof(float)));
    for (int k = 0; k < 4; ++k)
    {
        volatile float one = 1.0f;
        EXPECT_EQ(s->xHist[k], (X[40 + k] + one) - one);
        EXPECT_EQ(s->yHist[k], (Y[40 + k] + one) - one);
    }
}

// The same against the direct form I written out, for a block of every length from 1 to 512
// that starts from a stored history, under both floating-point modes.
TEST(ToneStack, EveryBlockLengthMatchesTheWrittenOutRecursion)
{
    for (const auto& mode : kFloatingPointModes)
    {
        const ScopedFloatingPointMode fpMode(mode);
        for (int count = 1; count <= 512; ++count)
        {
            auto s = makeStack(44100.0f, 0.9f, 0.2f, 0.7f);
            auto warmUp = noise(37, static_cast<unsigned>(count));
            toneStackProcess(*s, warmUp.data(), 37);
            auto in = noise(count, static_cast<unsigned>(count) + 1000);
            for (int i = count / 2; i < count; ++i)
                in[i] *= 1e-38f;
            std::vector<float> X(s->xHist, s->xHist + 4), Y(s->yHist, s->yHist + 4);
            X.insert(X.end(), in.begin(), in.end());
            for (int i = 0; i < count; ++i)
            {
                float acc = s->b[0] * X[4 + i];
                for (int j = 1; j < 4; ++j)
                    acc = acc + ((s->b[j] * X[4 + i - j]) - (s->a[j] * Y[4 + i - j]));
                Y.push_back(acc);
            }
            toneStackProcess(*s, in.data(), count);
            ASSERT_EQ(0, std::memcmp(in.data(), Y.data() + 4, count * sizeof(float)))
                << count << " samples, " << mode.name;
        }
    }
}

// The step-by-step form that merged loops use gives the bits of toneStackProcess, outputs and
// stored history alike: every block length from 1 to 512, both floating-point modes, three
// blocks in a row (loud, tiny, denormal) so that short blocks keep older history entries.
TEST(ToneStack, StepByStepRunMatchesTheBlockForm)
{
    for (const auto& mode : kFloatingPointModes)
    {
        const ScopedFloatingPointMode fpMode(mode);
        for (int count = 1; count <= 512; ++count)
        {
            auto stepped = makeStack(48000.0f, 0.1f, 0.9f, 0.4f);
            auto whole = makeStack(48000.0f, 0.1f, 0.9f, 0.4f);
            for (int block = 0; block < 3; ++block)
            {
                auto a = noise(count, static_cast<unsigned>(count * 3 + block));
                for (auto& v : a)
                    v *= block == 0 ? 1.0f : block == 1 ? 1e-7f : 1e-39f;
                auto b = a;
                ToneStackRun run(*stepped);
                for (auto& v : a)
                    v = run(v);
                run.store();
                toneStackProcess(*whole, b.data(), count);
                ASSERT_EQ(0, std::memcmp(a.data(), b.data(), count * sizeof(float)))
                    << count << " samples, block " << block << ", " << mode.name;
                ASSERT_EQ(0, std::memcmp(stepped->xHist, whole->xHist, 4 * sizeof(float)));
                ASSERT_EQ(0, std::memcmp(stepped->yHist, whole->yHist, 4 * sizeof(float)));
            }
        }
    }
}

// Blocks of 4 samples or fewer are shifted into the history, so the filter runs on through
// them: a stream of short blocks tracks one long block, up to the quantisation at block ends
// (2^-24-sized steps, raised by the recursion's large low-frequency gain). Filtering each
// short block against a frozen history instead would be off by the signal's own size.
TEST(ToneStack, ShortBlocksAreShiftedIntoTheHistory)
{
    const auto in = noise(4000, 4);
    auto whole = in;
    auto ref = makeStack(44100.0f, 0.5f, 0.8f, 0.3f);
    toneStackProcess(*ref, whole.data(), 4000);

    for (int len : { 1, 2, 3, 4 })
    {
        auto s = makeStack(44100.0f, 0.5f, 0.8f, 0.3f);
        auto split = in;
        for (int at = 0; at < 4000; at += len)
            toneStackProcess(*s, split.data() + at, std::min(len, 4000 - at));
        double maxErr = 0.0;
        for (int i = 0; i < 4000; ++i)
            maxErr = std::max(maxErr, std::fabs(double(split[i]) - double(whole[i])));
        EXPECT_LT(maxErr, 3e-3) << "blocks of " << len;
    }

    // The input history after a short block is the stored history moved down plus the block's
    // quantised samples: the same as after one long block over the same inputs.
    auto a = makeStack(44100.0f, 0.5f, 0.5f, 0.5f);
    auto b = makeStack(44100.0f, 0.5f, 0.5f, 0.5f);
    auto xa = in, xb = in;
    toneStackProcess(*a, xa.data(), 6);
    toneStackProcess(*a, xa.data() + 6, 2);
    toneStackProcess(*b, xb.data(), 8);
    EXPECT_EQ(0, std::memcmp(a->xHist, b->xHist, 4 * sizeof(float)));
}
}  // namespace
