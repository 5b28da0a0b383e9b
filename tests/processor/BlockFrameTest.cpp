// processBlock around the chain: layouts, refused blocks and rates, the write-out and its clip,
// the samples the resampling leaves without a value, and the floating-point mode.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define BRONDAVELL_HAVE_MXCSR 1
#endif

#include "ProcessorTestAccess.h"

namespace
{
using namespace brondavell::test;

constexpr double kSupportedRates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };

juce::AudioBuffer<float> testSignal(int channels, int length, float level = 0.3f)
{
    juce::AudioBuffer<float> buffer(channels, length);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < length; ++i)
            buffer.setSample(c, i, level * static_cast<float>(std::sin(0.05 * i + c)));
    return buffer;
}

bool sameChannel(const juce::AudioBuffer<float>& a, int channelA, const juce::AudioBuffer<float>& b, int channelB)
{
    return std::memcmp(a.getReadPointer(channelA), b.getReadPointer(channelB),
                       sizeof(float) * static_cast<size_t>(a.getNumSamples()))
        == 0;
}

bool silent(const juce::AudioBuffer<float>& buffer, int channel)
{
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        if (buffer.getSample(channel, i) != 0.0f)
            return false;
    return true;
}

TEST(BlockFrameTest, ChannelLayouts)
{
    struct Case
    {
        int inputs, outputs;
    };
    for (const auto& c : { Case{ 1, 1 }, Case{ 1, 2 }, Case{ 2, 2 } })
    {
        SCOPED_TRACE(std::to_string(c.inputs) + " in " + std::to_string(c.outputs) + " out");
        auto p = makeProcessor();
        prepare(*p, 48000.0, c.inputs, c.outputs);
        const int channels = std::max(c.inputs, c.outputs);
        auto buffer = testSignal(channels, 512);
        const auto input = buffer;
        processLocked(*p, buffer);
        EXPECT_FALSE(sameChannel(buffer, 0, input, 0));
        if (c.outputs == 2)
        {
            EXPECT_TRUE(sameChannel(buffer, 1, buffer, 0));  // input channel 1 is ignored and overwritten
        }
    }
}

TEST(BlockFrameTest, NoInputChannelRunsTheChainOnSilence)
{
    auto p = makeProcessor();
    prepare(*p, 44100.0, 0, 2);
    auto buffer = testSignal(2, 512);
    processLocked(*p, buffer);
    EXPECT_TRUE(silent(buffer, 0));
    EXPECT_TRUE(silent(buffer, 1));
}

TEST(BlockFrameTest, RefusedBlocksPassThrough)
{
    struct Case
    {
        double rate;
        int length;
        bool bookkeeping;  // lastBlockSize takes the block's length
    };
    const Case cases[] = {
        { 48000.0, 8193, false },
        { 96000.0, 16384, false },
        { 96000.5, 512, true },
        { 22050.0, 512, true },
        { 64000.0, 512, true },
        { 0.0, 256, true },
        { std::numeric_limits<double>::quiet_NaN(), 128, true },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.length));
        auto p = makeProcessor();
        prepare(*p, c.rate, 1, 2);
        processSignal(*p, 100);  // lastBlockSize 100 (at the refused rates too)
        auto buffer = testSignal(2, c.length);
        const auto input = buffer;
        processLocked(*p, buffer);
        EXPECT_TRUE(sameChannel(buffer, 0, input, 0));  // dry and unclipped
        EXPECT_TRUE(silent(buffer, 1));                 // no input for channel 1
        EXPECT_EQ(Access::lastBlockSize(*p), c.bookkeeping ? c.length : 100);
    }
}

TEST(BlockFrameTest, LargestBlockIsProcessed)
{
    for (const double rate : kSupportedRates)
    {
        SCOPED_TRACE(rate);
        auto p = makeProcessor();
        prepare(*p, rate);
        auto buffer = testSignal(2, 8192);
        const auto input = buffer;
        processLocked(*p, buffer);
        EXPECT_FALSE(sameChannel(buffer, 0, input, 0));
        EXPECT_EQ(Access::lastBlockSize(*p), 8192);
    }
}

TEST(BlockFrameTest, BufferWithoutChannelsDoesNothing)
{
    auto p = makeProcessor();
    prepare(*p, 44100.0);
    processSignal(*p, 64);
    juce::AudioBuffer<float> empty(0, 512);
    processLocked(*p, empty);
    EXPECT_EQ(Access::lastBlockSize(*p), 64);
}

// Zeros in give exact zeros out: every state starts from zero and both curves map 0 to 0.
TEST(BlockFrameTest, SilenceStaysSilentWhateverTheSettings)
{
    struct Setting
    {
        const char* name;
        void (*apply)(BrondavellJuceAudioProcessor&);
    };
    const Setting settings[] = {
        { "defaults", [](BrondavellJuceAudioProcessor&) {} },
        { "everything on",
          [](BrondavellJuceAudioProcessor& p) {
              setPlain(p.chanelDrive, 1);
              setPlain(p.bright, 0);
              setPlain(p.presence, 1.0f);
              setPlain(p.reverb, 0.5f);
              setPlain(p.hqReverb, 1);
              setPlain(p.preGainDrive, 10.0f);
          } },
        { "clean boost, no cabinet",
          [](BrondavellJuceAudioProcessor& p) {
              setPlain(p.boost, 1);
              setPlain(p.cab, 1);
              setPlain(p.reverb, 1.0f);
          } },
    };
    for (const auto& setting : settings)
        for (const double rate : kSupportedRates)
        {
            SCOPED_TRACE(std::string(setting.name) + " at " + std::to_string(rate));
            auto p = makeProcessor();
            setting.apply(*p);
            prepare(*p, rate);
            for (int i = 0; i < 4; ++i)
            {
                juce::AudioBuffer<float> buffer(2, 512);
                buffer.clear();
                processLocked(*p, buffer);
                ASSERT_TRUE(silent(buffer, 0));
            }
        }
}

// The clip sees what the chain gives. With silence in and zero state everywhere, the chain's first
// output sample is exactly the last output high-pass's stored output times its coefficient, so
// that state sets the value the clip gets.
TEST(BlockFrameTest, WriteOutClipsAndPassesNaN)
{
    constexpr float kInf = std::numeric_limits<float>::infinity();
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        float storedOutput;
        bool passesUnchanged;
        float clipped;
    };
    const Case cases[] = {
        { 100.0f, false, 1.0f }, { -100.0f, false, -1.0f }, { kInf, false, 1.0f }, { -kInf, false, -1.0f },
        { 0.5f, true, 0.0f },    { -0.99f, true, 0.0f },    { kNaN, true, 0.0f },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.storedOutput);
        auto p = makeProcessor();
        prepare(*p, 44100.0);
        auto* last = Access::filter(*p, "outputHighPass2");
        last->y1 = c.storedOutput;
        const float chainOutput = c.storedOutput * last->coef;
        juce::AudioBuffer<float> buffer(2, 64);
        buffer.clear();
        processLocked(*p, buffer);
        for (const int channel : { 0, 1 })
        {
            const float got = buffer.getSample(channel, 0);
            if (std::isnan(chainOutput))
                EXPECT_TRUE(std::isnan(got));
            else
                EXPECT_EQ(got, c.passesUnchanged ? chainOutput : c.clipped);
        }
    }
}

// At 2x and 4x a block length that is not a multiple of the factor leaves the last n mod factor
// host samples without a value from the resampling: they hold the last sample produced (silence
// when there is none) and never what an earlier block left in the up-resampler's buffer.
TEST(BlockFrameTest, SamplesBeyondTheResampledCountHoldTheLastSample)
{
    struct Case
    {
        double rate;
        const char* upsampler;
        int length;
    };
    const Case cases[] = { { 96000.0, "mainUpsampler2", 511 },
                           { 88200.0, "mainUpsampler2", 1 },
                           { 192000.0, "mainUpsampler4", 510 },
                           { 176400.0, "mainUpsampler4", 3 },
                           { 192000.0, "mainUpsampler4", 7 } };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.length));
        auto p = makeProcessor();
        prepare(*p, c.rate);
        for (int i = 0; i < 3; ++i)
            processSignal(*p, 1024, 2, i * 1024);
        auto* up = Access::resampler(*p, c.upsampler);
        std::fill(std::begin(up->buf), std::end(up->buf), std::numeric_limits<float>::quiet_NaN());

        const auto out = processSignal(*p, c.length, 2, 3072);
        const int factor = up->factor;
        const int produced = c.length / factor * factor;
        const float expectedHold = produced > 0 ? out.getSample(0, produced - 1) : 0.0f;
        for (int i = produced; i < c.length; ++i)
            EXPECT_EQ(out.getSample(0, i), expectedHold) << i;
        for (int i = 0; i < c.length; ++i)
            ASSERT_TRUE(std::isfinite(out.getSample(0, i))) << i;
    }
}

// Likewise for the reverb mix when the base-rate block is not a multiple of the reverb factor.
TEST(BlockFrameTest, ReverbMixNeverReadsStaleWetSamples)
{
    for (const bool hq : { false, true })
    {
        SCOPED_TRACE(hq);
        auto p = makeProcessor();
        setPlain(p->reverb, 1.0f);
        setPlain(p->hqReverb, hq ? 1 : 0);
        setPlain(p->cab, 1);
        prepare(*p, 44100.0);
        for (int i = 0; i < 8; ++i)
            processSignal(*p, 511, 2, i * 511);
        ASSERT_EQ(Access::reverb(*p).ready, 1);
        auto* up = Access::resampler(*p, hq ? "reverbUpsampler2" : "reverbUpsampler4");
        std::fill(std::begin(up->buf), std::end(up->buf), std::numeric_limits<float>::quiet_NaN());
        const auto out = processSignal(*p, 511, 2, 8 * 511);
        for (int i = 0; i < 511; ++i)
            ASSERT_TRUE(std::isfinite(out.getSample(0, i))) << i;
    }
}

#if BRONDAVELL_HAVE_MXCSR
TEST(BlockFrameTest, CallersFloatingPointModeIsRestoredOnEveryPath)
{
    struct Case
    {
        const char* path;
        double rate;
        int channels, length;
    };
    const Case cases[] = { { "processed", 48000.0, 2, 512 },
                           { "oversized", 48000.0, 2, 9000 },
                           { "unsupported rate", 32000.0, 2, 512 },
                           { "no channels", 48000.0, 0, 512 },
                           { "resampled", 192000.0, 2, 513 } };
    const unsigned int callerModes[] = { _mm_getcsr() & ~0x8040u, _mm_getcsr() | 0x8040u };
    for (const auto& c : cases)
        for (const unsigned int mode : callerModes)
        {
            SCOPED_TRACE(std::string(c.path) + " mode " + std::to_string(mode));
            auto p = makeProcessor();
            prepare(*p, c.rate);
            juce::AudioBuffer<float> buffer(c.channels, c.length);
            buffer.clear();
            const unsigned int saved = _mm_getcsr();
            _mm_setcsr(mode);
            processLocked(*p, buffer);
            const unsigned int after = _mm_getcsr();
            _mm_setcsr(saved);
            EXPECT_EQ(after & 0xffc0u, mode & 0xffc0u);  // control bits (the status flags may change)
        }
}

// Denormals are flushed while the block runs, whatever the caller's mode: a denormal left in the
// last filter's input history reads as zero, so the block of silence comes out exactly silent.
TEST(BlockFrameTest, DenormalsAreFlushedDuringTheBlock)
{
    for (const double rate : kSupportedRates)
    {
        SCOPED_TRACE(rate);
        auto p = makeProcessor();
        prepare(*p, rate);
        juce::AudioBuffer<float> buffer(2, 512);
        buffer.clear();
        processLocked(*p, buffer);
        ASSERT_TRUE(silent(buffer, 0));

        Access::filter(*p, "outputHighPass2")->x1 = -1.0e-39f;  // a denormal
        const unsigned int saved = _mm_getcsr();
        _mm_setcsr(saved & ~0x8040u);  // the caller runs without flushing
        buffer.clear();
        processLocked(*p, buffer);
        _mm_setcsr(saved);
        EXPECT_TRUE(silent(buffer, 0));
    }
}
#endif
}
