// Input that is no signal (NaN, infinities, magnitudes far beyond full scale) counts as silence:
// it never reaches the output, and the blocks that follow sound as if it had been silence,
// without a new preparation. Input up to the limit goes through the chain untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ExpectedAssertions.h"
#include "MessagePump.h"
#include "ProcessorTestAccess.h"
#include "TestSignals.h"

namespace
{
using namespace brondavell::test;

constexpr int kBlock = 256;
constexpr int kBlocks = 6;
constexpr int kBadBlock = 1;

struct Setting
{
    const char* name;
    bool drive, bright;
    float reverb;
};
const Setting kSettings[] = {
    { "clean, bright", false, true, 0.0f },
    { "clean, dark, reverb", false, false, 0.6f },
    { "drive, bright, reverb", true, true, 0.4f },
    { "drive, dark", true, false, 0.0f },
};
constexpr double kRates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };

std::unique_ptr<BrondavellJuceAudioProcessor> preparedProcessor(double rate, const Setting& setting)
{
    auto p = makeProcessor();
    prepare(*p, rate, 1, 2, kBlock);
    setPlain(p->chanelDrive, setting.drive ? 1 : 0);
    setPlain(p->bright, setting.bright ? 1 : 0);
    setPlain(p->reverb, setting.reverb);
    return p;
}

// kBlocks blocks of noise at the given level, with `bad` written over a few samples of block
// kBadBlock; channel 0 of every output block, one after the other.
std::vector<float> render(BrondavellJuceAudioProcessor& p, float level, float bad, bool withBad)
{
    const auto signal = noise(kBlock * kBlocks, 11);
    std::vector<float> out;
    for (int b = 0; b < kBlocks; ++b)
    {
        juce::AudioBuffer<float> buffer(1, kBlock);
        for (int i = 0; i < kBlock; ++i)
            buffer.setSample(0, i, level * signal[static_cast<size_t>(b * kBlock + i)]);
        if (b == kBadBlock)
            for (const int i : { 0, 17, 100, kBlock - 1 })
                buffer.setSample(0, i, withBad ? bad : 0.0f);
        processLocked(p, buffer);
        out.insert(out.end(), buffer.getReadPointer(0), buffer.getReadPointer(0) + kBlock);
    }
    return out;
}

TEST(BadInputTest, BadSamplesCountAsSilenceAndLeaveNoTrace)
{
    const float bad[] = { std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          3.0e38f,
                          -1.7e38f,
                          1.0e6f * 1.0000001f };
    for (const double rate : kRates)
        for (const auto& setting : kSettings)
            for (const float value : bad)
            {
                SCOPED_TRACE(std::to_string(rate) + " Hz, " + setting.name + ", bad sample " + std::to_string(value));
                auto p = preparedProcessor(rate, setting);
                const auto withBad = render(*p, 0.3f, value, true);
                for (const float v : withBad)
                    ASSERT_TRUE(std::isfinite(v));

                // A twin that got silence in place of the bad samples gives the same output
                // bit for bit, in the bad block and in every block after it.
                auto twin = preparedProcessor(rate, setting);
                const auto withSilence = render(*twin, 0.3f, value, false);
                ASSERT_EQ(withBad, withSilence);
            }
}

// The largest plausible input is processed like any other sample (it is not taken for silence),
// and the chain stays finite on input at that level in every setting.
TEST(BadInputTest, InputUpToTheLimitReachesTheChain)
{
    for (const double rate : kRates)
        for (const auto& setting : kSettings)
        {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + setting.name);
            auto p = preparedProcessor(rate, setting);
            for (const float v : render(*p, 1.0e6f, -1.0e6f, true))
                ASSERT_TRUE(std::isfinite(v));

            auto withPeaks = preparedProcessor(rate, setting);
            auto twin = preparedProcessor(rate, setting);
            EXPECT_NE(render(*withPeaks, 0.3f, 1.0e6f, true), render(*twin, 0.3f, 1.0e6f, false));
        }
}

// A host can send NaN as a parameter's value, with any payload. Every parameter takes its default
// instead, the whole-number `cab` included (its rounding turns a NaN into 0 or some other number
// outside 1..13); the output sounds as with the default; and a listener standing where a host's
// wrapper stands (registered after the processor, so notified first) is told the default once
// the message loop has run. The framework's range conversion asserts on the NaN before the
// plug-in sees it: in a Debug build those reports are expected.
TEST(BadInputTest, ParameterSetToNanTakesItsDefaultAndTheHostIsTold)
{
    // quiet, negative, and two with payload bits that reach the rounding of a whole number (one
    // of them signalling)
    const uint32_t nanPatterns[] = { 0x7fc00000u, 0xffc00000u, 0x7fc00005u, 0x7fa00003u };
    const int count = makeProcessor()->getParameters().size();
    for (int index = 0; index < count; ++index)
        for (const uint32_t pattern : nanPatterns)
        {
            float nan = 0.0f;
            std::memcpy(&nan, &pattern, sizeof nan);
            auto p = preparedProcessor(48000.0, kSettings[2]);
            auto twin = preparedProcessor(48000.0, kSettings[2]);
            auto* parameter = p->getParameters()[index];
            char bits[16];
            std::snprintf(bits, sizeof bits, "0x%08x", pattern);
            SCOPED_TRACE(parameter->getName(100).toStdString() + ", NaN " + bits);
            NotificationRecorder host;
            p->addListener(&host);
            withFrameworkAssertionsFrom("juce_NormalisableRange.h", [&] { parameter->setValueNotifyingHost(nan); });
            EXPECT_EQ(parameter->getValue(), parameter->getDefaultValue());
            deliverPendingMessages();
            p->removeListener(&host);
            const std::pair<int, float> told(index, parameter->getDefaultValue());
            EXPECT_EQ(host.notified.size(), 2u);  // the NaN, then the default
            EXPECT_EQ(host.notified.back(), told);

            twin->getParameters()[index]->setValueNotifyingHost(parameter->getDefaultValue());
            const auto out = render(*p, 0.3f, 0.0f, false);
            for (const float v : out)
                ASSERT_TRUE(std::isfinite(v));
            EXPECT_EQ(out, render(*twin, 0.3f, 0.0f, false));
        }
}
}
