#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "AudioTables.h"
#include "ComplexFft.h"
#include "ConvolutionReverb.h"
#include "FloatingPointModes.h"
#include "Quantise.h"
#include "DspRoutineForms.h"
#include "TestSignals.h"

namespace
{
using Engine = std::unique_ptr<ConvolutionReverb>;

Engine makeEngine()
{
    return std::make_unique<ConvolutionReverb>();  // value-initialised: all zero
}

// A synthetic impulse response: 1 at sample 0, then decaying noise well below it.
std::vector<float> syntheticIr(int f, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-0.3f, 0.3f);
    std::vector<float> ir(std::max(f, 1));
    for (int i = 0; i < f; ++i)
        ir[i] = d(rng) * std::exp(-3.0f * float(i) / float(f));
    ir[0] = 1.0f;
    return ir;
}

// Runs `input` through the engine, b samples per call, for `calls` calls (zeros past the input).
std::vector<float> run(ConvolutionReverb& e, const std::vector<float>& input, int calls)
{
    const int b = e.blockLength;
    std::vector<float> out(static_cast<size_t>(calls) * b);
    std::vector<float> block(b);
    for (int c = 0; c < calls; ++c)
    {
        for (int i = 0; i < b; ++i)
        {
            const size_t at = static_cast<size_t>(c) * b + i;
            block[i] = at < input.size() ? input[at] : 0.0f;
        }
        convolutionReverbProcess(e, block.data(), dspFastestRoutines());
        std::copy(block.begin(), block.end(), out.begin() + static_cast<long>(c) * b);
    }
    return out;
}

int partitions(const ConvolutionReverb& e) { return e.impulseLength / e.partitionLength + 1; }

struct WorkedExample
{
    int f, h, b;
    int E, F, nParts, G;
    bool direct;
    int delay;
};

// Sizes of the reverb set-up for typical host blocks (impulse lengths of the built-in
// responses at the reverb rate).
const WorkedExample kWorkedExamples[] = {
    { 15983, 2, 128, 2048, 1793, 9, 4, false, 384 },  { 31966, 2, 256, 4096, 3585, 9, 4, false, 768 },
    { 20694, 2, 128, 1024, 769, 27, 13, false, 384 }, { 15983, 16, 16, 1024, 769, 21, 1, false, 496 },
    { 22649, 4, 64, 4096, 3841, 6, 1, false, 448 },   { 45298, 2, 256, 4096, 3585, 13, 6, false, 768 },
    { 22649, 1, 256, 4096, 3841, 6, 6, true, 0 },     { 41389, 1, 1024, 8192, 7169, 6, 6, true, 0 },
};

class WorkedExamples : public ::testing::TestWithParam<WorkedExample>
{};

TEST_P(WorkedExamples, SizesAndImpulseResponse)
{
    const auto& x = GetParam();
    const auto ir = syntheticIr(x.f, static_cast<unsigned>(x.f));
    auto e = makeEngine();
    ASSERT_TRUE(convolutionReverbConfigure(*e, ir.data(), x.f, x.b, x.h, kFftSizeCosts, dspFastestRoutines()));
    EXPECT_EQ(e->ready, 1);
    EXPECT_EQ(e->fftSize, x.E);
    EXPECT_EQ(e->partitionLength, x.F);
    EXPECT_EQ(partitions(*e), x.nParts);
    EXPECT_EQ(e->partitionsPerCall, x.G);
    EXPECT_EQ(e->blocksPerStep < 2, x.direct);
    EXPECT_EQ(e->stepLength, int64_t(x.h) * x.b);
    EXPECT_EQ(e->inverseScale, 1.0f / float(x.E));

    // A unit impulse comes out as the impulse response, 2L - b samples late.
    const int calls = (x.delay + x.f) / x.b + 4;
    const auto out = run(*e, { 1.0f }, calls);
    int peak = 0;
    for (int i = 1; i < static_cast<int>(out.size()); ++i)
        if (std::fabs(out[i]) > std::fabs(out[peak]))
            peak = i;
    EXPECT_EQ(peak, x.delay);
    double maxErr = 0.0;
    for (int i = 0; i < static_cast<int>(out.size()); ++i)
    {
        const int k = i - x.delay;
        const double want = k >= 0 && k < x.f ? ir[k] : 0.0;
        maxErr = std::max(maxErr, std::fabs(out[i] - want));
    }
    EXPECT_LT(maxErr, 2e-6);
}

std::string workedExampleName(const ::testing::TestParamInfo<WorkedExample>& param)
{
    const auto& x = param.param;
    return "f" + std::to_string(x.f) + "_h" + std::to_string(x.h) + "_b" + std::to_string(x.b);
}

INSTANTIATE_TEST_SUITE_P(Table, WorkedExamples, ::testing::ValuesIn(kWorkedExamples), workedExampleName);

// Direct-mode output against a double-precision convolution, and accumulate mode against
// direct mode delayed by 2L - b.
TEST(ConvolutionReverb, AccumulateModeIsDirectModeDelayed)
{
    const int f = 12000, b = 16;
    const auto ir = syntheticIr(f, 5);
    const auto input = noise(6000, 6);

    auto direct = makeEngine();
    ASSERT_TRUE(convolutionReverbConfigure(*direct, ir.data(), f, b, 1, kFftSizeCosts, dspFastestRoutines()));
    const int calls = 1000;
    const auto dry = run(*direct, input, calls);
    double maxErr = 0.0;
    for (int n = 0; n < calls * b; ++n)
    {
        double s = 0.0;
        for (int k = 0; k < f && k <= n; ++k)
            if (n - k < static_cast<int>(input.size()))
                s += double(ir[k]) * input[n - k];
        maxErr = std::max(maxErr, std::fabs(dry[n] - s));
    }
    EXPECT_LT(maxErr, 2e-5);

    for (int h : { 2, 3, 4, 16 })
    {
        auto acc = makeEngine();
        ASSERT_TRUE(convolutionReverbConfigure(*acc, ir.data(), f, b, h, kFftSizeCosts, dspFastestRoutines())) << h;
        const int delay = 2 * h * b - b;
        const auto wet = run(*acc, input, calls + delay / b);
        for (int i = 0; i < delay; ++i)
            ASSERT_EQ(wet[i], 0.0f) << "h " << h << " sample " << i;
        double err = 0.0;
        for (int n = 0; n < calls * b; ++n)
            err = std::max(err, std::fabs(double(wet[n + delay]) - dry[n]));
        EXPECT_LT(err, 2e-5) << "h " << h << ", E " << acc->fftSize;
    }
}

TEST(ConvolutionReverb, ImpulseLengthMultipleOfPartitionLength)
{
    // 9 x 1793: the size choice still picks E = 2048, so the tenth partition is empty.
    const int f = 9 * 1793;
    const auto ir = syntheticIr(f, 8);
    for (int h : { 1, 2 })
    {
        auto e = makeEngine();
        ASSERT_TRUE(convolutionReverbConfigure(*e, ir.data(), f, 128, h, kFftSizeCosts, dspFastestRoutines()));
        if (h == 2)
        {
            ASSERT_EQ(e->partitionLength, 1793);
            ASSERT_EQ(partitions(*e), 10);
        }
        if (f % e->partitionLength == 0)
        {
            const float* last = e->partitionSpectra + int64_t(partitions(*e) - 1) * 2 * e->fftSize;
            for (int i = 0; i < 2 * e->fftSize; ++i)
                ASSERT_EQ(last[i], 0.0f);
        }
        const int delay = h == 1 ? 0 : 2 * 256 - 128;
        const auto out = run(*e, { 1.0f }, (f + delay) / 128 + 3);
        double maxErr = 0.0;
        for (int i = 0; i < static_cast<int>(out.size()); ++i)
        {
            const int k = i - delay;
            maxErr = std::max(maxErr, std::fabs(out[i] - (k >= 0 && k < f ? ir[k] : 0.0)));
        }
        EXPECT_LT(maxErr, 2e-6) << "h " << h;
    }
}

TEST(ConvolutionReverb, PauseResumesTheStepAndTheTail)
{
    const int f = 5000, b = 64, h = 4;
    const auto ir = syntheticIr(f, 9);
    const auto input = noise(64 * 7, 10);
    auto steady = makeEngine();
    auto paused = makeEngine();
    ASSERT_TRUE(convolutionReverbConfigure(*steady, ir.data(), f, b, h, kFftSizeCosts, dspFastestRoutines()));
    ASSERT_TRUE(convolutionReverbConfigure(*paused, ir.data(), f, b, h, kFftSizeCosts, dspFastestRoutines()));
    const auto all = run(*steady, input, 60);

    // Seven calls (mid-step), a pause in which other engines run, then the rest.
    auto first = run(*paused, input, 7);
    auto other = makeEngine();
    ASSERT_TRUE(convolutionReverbConfigure(*other, ir.data(), f, b, 1, kFftSizeCosts, dspFastestRoutines()));
    run(*other, noise(640, 11), 10);
    const auto rest = run(*paused, {}, 53);
    first.insert(first.end(), rest.begin(), rest.end());
    ASSERT_EQ(first.size(), all.size());
    EXPECT_EQ(0, std::memcmp(first.data(), all.data(), all.size() * sizeof(float)));
    double tail = 0.0;
    for (float v : rest)
        tail = std::max(tail, double(std::fabs(v)));
    EXPECT_GT(tail, 0.01);  // the tail of the input before the pause plays on
}

TEST(ConvolutionReverb, NewSetUpStartsFromSilence)
{
    const int f = 4000;
    const auto ir = syntheticIr(f, 12);
    for (int h : { 1, 4 })
    {
        auto e = makeEngine();
        ASSERT_TRUE(convolutionReverbConfigure(*e, ir.data(), f, 64, h, kFftSizeCosts, dspFastestRoutines()));
        run(*e, noise(64 * 13, 13), 13);
        ASSERT_TRUE(convolutionReverbConfigure(*e, ir.data(), f, 64, h, kFftSizeCosts, dspFastestRoutines()));
        const auto out = run(*e, {}, 200);
        for (float v : out)
            ASSERT_EQ(v, 0.0f);
    }
}

TEST(ConvolutionReverb, TinyAccumulatorValuesBecomeZero)
{
    // The first block is taken before the first quantisation; from then on 1e-8 is gone.
    const int f = 1000, b = 64;
    std::vector<float> ir(f, 1e-8f);
    auto e = makeEngine();
    ASSERT_TRUE(convolutionReverbConfigure(*e, ir.data(), f, b, 1, kFftSizeCosts, dspFastestRoutines()));
    const auto out = run(*e, { 1.0f }, 20);
    EXPECT_NEAR(out[10], 1e-8, 1e-9);
    for (int i = b; i < static_cast<int>(out.size()); ++i)
        ASSERT_EQ(out[i], 0.0f) << i;
}

TEST(ConvolutionReverb, ZeroLengthBlocksReadAndWriteNothing)
{
    // Base-rate blocks shorter than the decimation factor give b = 0 (and h = 128).
    const int f = 15983;
    const auto ir = syntheticIr(f, 14);
    auto e = makeEngine();
    ASSERT_TRUE(convolutionReverbConfigure(*e, ir.data(), f, 0, 128, kFftSizeCosts, dspFastestRoutines()));
    EXPECT_GT(e->partitionLength, e->fftSize);  // only the first E samples enter each spectrum
    float sentinel[4] = { 7.0f, 7.0f, 7.0f, 7.0f };
    for (int c = 0; c < 300; ++c)
        convolutionReverbProcess(*e, sentinel + 1, dspFastestRoutines());
    for (float v : sentinel)
        EXPECT_EQ(v, 7.0f);
}

struct OffCase
{
    const char* what;
    int f, b, h;
};

// Block lengths the engine cannot serve leave it off: either no FFT size gives a partition of
// more than one sample, or the partitioning would not fit the record.
const OffCase kOffCases[] = {
    // 8-sample base-rate blocks, every built-in response at both reverb rates.
    { "8 samples, type 1 44.1k c4", 15983, 2, 128 },
    { "8 samples, type 1 44.1k c2", 31966, 4, 128 },
    { "8 samples, type 2 44.1k c4", 20694, 2, 128 },
    { "8 samples, type 2 44.1k c2", 41389, 4, 128 },
    { "8 samples, type 1 48k c4", 17396, 2, 128 },
    { "8 samples, type 1 48k c2", 34792, 4, 128 },
    { "8 samples, type 2 48k c4", 22649, 2, 128 },
    { "8 samples, type 2 48k c2", 45298, 4, 128 },
    // Type 1 at 44.1 kHz, further short blocks.
    { "4 samples c2", 31966, 2, 128 },
    { "5 samples c2", 31966, 2, 128 },
    { "16 samples c2", 31966, 8, 64 },
    { "4 samples c4", 15983, 1, 128 },
    { "5 samples c4", 15983, 1, 128 },
    { "6 samples c4", 15983, 1, 128 },
    { "7 samples c4", 15983, 1, 128 },
    { "16 samples c4", 15983, 4, 64 },
    // Would need 15984 partitions of 1024 floats: more spectra than the record holds.
    { "14 samples c2", 31966, 7, 73 },
    // Beyond the accumulator and the staging buffers.
    { "accumulator", 450000, 1024, 1 },
    { "step length", 20000, 8200, 128 },
};

TEST(ConvolutionReverb, UnservableBlockLengthsLeaveTheEngineOff)
{
    const auto ir = syntheticIr(450000, 15);
    auto e = makeEngine();
    for (const auto& c : kOffCases)
    {
        // A working configuration first, so that the off path has to lower `ready`.
        ASSERT_TRUE(convolutionReverbConfigure(*e, ir.data(), 15983, 128, 2, kFftSizeCosts, dspFastestRoutines()));
        run(*e, { 1.0f }, 3);
        EXPECT_FALSE(convolutionReverbConfigure(*e, ir.data(), c.f, c.b, c.h, kFftSizeCosts, dspFastestRoutines())) << c.what;
        EXPECT_EQ(e->ready, 0) << c.what;
        for (int i = 0; i < kConvAccumulatorCapacity; i += 997)
            ASSERT_EQ(e->accumulator[i], 0.0f) << c.what;
    }
    // The 14-sample case chose E = 512 with 2-sample partitions before the capacity check.
    ASSERT_FALSE(convolutionReverbConfigure(*e, ir.data(), 31966, 7, 73, kFftSizeCosts, dspFastestRoutines()));
    EXPECT_EQ(e->fftSize, 512);
    EXPECT_EQ(e->partitionLength, 2);
    EXPECT_EQ(e->stepLength, 511);
}

// The engine's algorithm in its plainest form: one partition at a time, the scalar transforms,
// and the quantisation pass over every accumulator entry. The oracle for the engine's own forms.
void plainProcess(ConvolutionReverb& s, float* samples)
{
    const int32_t b = s.blockLength, E = s.fftSize, F = s.partitionLength, f = s.impulseLength;
    const int32_t nParts = partitions(s);
    const auto transform = [&](const float* x, int32_t n) {
        for (int32_t i = 0; i < E; ++i)
        {
            s.inputSpectrum[2 * i] = i < n ? x[i] : 0.0f;
            s.inputSpectrum[2 * i + 1] = 0.0f;
        }
        complexFftBitReverse(2 * E, s.bitReversalTable + 2, s.inputSpectrum);
        complexFftForward(2 * E, s.inputSpectrum, s.twiddleTable);
    };
    const auto product = [&](int32_t p) {
        const float* S = s.partitionSpectra + static_cast<int64_t>(p) * 2 * E;
        const float* X = s.inputSpectrum;
        for (int32_t k = 0; k < E; ++k)
        {
            s.productBuffer[2 * k] = S[2 * k] * X[2 * k] - S[2 * k + 1] * X[2 * k + 1];
            s.productBuffer[2 * k + 1] = X[2 * k + 1] * S[2 * k] + X[2 * k] * S[2 * k + 1];
        }
        complexFftInverse(2 * E, s.productBuffer, s.bitReversalTable, s.twiddleTable);
        for (int32_t k = 0; k < E; ++k)
            s.accumulator[p * F + k] += s.productBuffer[2 * k] * s.inverseScale;
    };
    const auto handOver = [&](int32_t n) {
        for (int32_t i = 0; i < f; ++i)
            s.accumulator[i] = s.accumulator[i + n];
        std::fill(s.accumulator + f, s.accumulator + f + 2 * E, 0.0f);
    };
    const auto quantiseAll = [&] {
        for (float& v : s.accumulator)
            v = quantiseState(v);
    };
    if (s.blocksPerStep < 2)
    {
        transform(samples, b);
        for (int32_t p = 0; p < nParts; ++p)
            product(p);
        std::copy(s.accumulator, s.accumulator + b, samples);
        handOver(b);
        quantiseAll();
        return;
    }
    const auto h = static_cast<int32_t>(s.blocksPerStep);
    std::copy(samples, samples + b, s.gatherBuffer + s.blocksGathered * b);
    if (++s.blocksGathered == h)
    {
        s.blocksGathered = 0;
        transform(s.gatherBuffer, h * b);
        std::copy(s.accumulator, s.accumulator + h * b, s.outputBuffer);
        handOver(h * b);
        s.outputBlockIndex = 0;
    }
    const int32_t i = (s.blocksGathered > 0 ? s.blocksGathered : h) - 1;
    const int32_t G = s.partitionsPerCall;
    for (int32_t p = i * G; p < (i < h - 1 ? (i + 1) * G : nParts); ++p)
        product(p);
    quantiseAll();
    std::copy(s.outputBuffer + s.outputBlockIndex * b, s.outputBuffer + s.outputBlockIndex * b + b, samples);
    s.outputBlockIndex += 1;
}

// The engine, in every form, gives the plain algorithm's bits: outputs after every call, and the
// accumulator after every call of the plain form and at the end of every step (the lane forms
// spread a step's work over its calls, so in between theirs holds part of it); for direct and
// accumulate mode, one to many partitions per call, transform sizes
// that fit the lanes in the product buffer and ones that do not, under both floating-point
// modes. One schedule changes the form from call to call, so lanes computed ahead meet calls of
// other forms. The input has stretches of silence and of tiny values, so that quantisation and
// denormals matter.
TEST(ConvolutionReverb, EveryFormMatchesThePlainAlgorithm)
{
    struct Config
    {
        int f, b, h;
    } configs[] = { { 15983, 128, 2 }, { 3000, 32, 1 },   { 20694, 16, 16 },   { 2000, 0, 128 },
                    { 22649, 64, 4 },  { 15983, 16, 16 }, { 41389, 1024, 1 },  { 45298, 7, 73 },
                    { 5000, 3, 5 },    { 41389, 64, 8 },  { 160000, 2048, 1 }, { 100000, 8192, 1 },
                    { 16, 2, 1 },      { 16, 1, 2 } };  // the last two: four-point transforms in batches of eight
    struct Schedule
    {
        std::string name;
        std::vector<DspRoutines> perCall;  // cycled through call by call
    };
    // Each form alone, and all of them in turn with the widest between the others.
    const std::vector<DspRoutines> forms = brondavell::test::runnableRoutines();
    std::vector<Schedule> schedules;
    Schedule mixed{ "mixed", {} };
    for (auto r = forms.rbegin(); r != forms.rend(); ++r)
    {
        schedules.push_back({ brondavell::test::routinesName(*r), { *r } });
        mixed.perCall.push_back(*r);
        mixed.perCall.push_back(forms.back());
    }
    schedules.push_back(mixed);
    int largeTransforms = 0;
    for (const auto& schedule : schedules)
        for (const auto& mode : kFloatingPointModes)
            for (const auto& c : configs)
            {
                const ScopedFloatingPointMode fpMode(mode);
                const auto ir = syntheticIr(c.f, static_cast<unsigned>(c.f));
                auto engine = makeEngine();
                auto plain = makeEngine();
                if (!convolutionReverbConfigure(*engine, ir.data(), c.f, c.b, c.h, kFftSizeCosts, schedule.perCall[0]))
                    continue;
                ASSERT_TRUE(
                    convolutionReverbConfigure(*plain, ir.data(), c.f, c.b, c.h, kFftSizeCosts, DspRoutines::plain));
                largeTransforms += engine->fftSize > 32768 ? 1 : 0;
                const int b = std::max(c.b, 1);
                const int calls = std::max(3 * c.h + 5, 40);
                auto input = noise(static_cast<size_t>(b) * calls, 16);
                for (size_t i = input.size() / 3; i < input.size() / 2; ++i)
                    input[i] *= 1e-36f;
                std::vector<float> x(b), y(b);
                for (int call = 0; call < calls; ++call)
                {
                    const bool silent = call > 2 * calls / 3;
                    for (int i = 0; i < c.b; ++i)
                        x[i] = y[i] = silent ? 0.0f : input[static_cast<size_t>(call) * b + i];
                    convolutionReverbProcess(*engine, x.data(),
                                             schedule.perCall[static_cast<size_t>(call) % schedule.perCall.size()]);
                    plainProcess(*plain, y.data());
                    ASSERT_EQ(0, std::memcmp(x.data(), y.data(), c.b * sizeof(float)))
                        << schedule.name << ", " << mode.name << " f " << c.f << " call " << call;
                    const bool stepDone = engine->blocksGathered == std::max(c.h - 1, 0);
                    if (stepDone || schedule.name == "plain")
                    {
                        ASSERT_EQ(0, std::memcmp(engine->accumulator, plain->accumulator, sizeof engine->accumulator))
                            << schedule.name << ", " << mode.name << " f " << c.f << " h " << c.h << " call " << call;
                    }
                }
            }
    // The table holds configurations whose transforms are too large for lanes.
    EXPECT_GT(largeTransforms, 0);
}
}  // namespace
