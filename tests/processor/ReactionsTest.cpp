// Parameter-change reactions: drive band limits, tone stacks, cabinet, reverb, and the callback
// lock they take.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "ProcessorTestAccess.h"

namespace
{
using namespace brondavell::test;

TEST(ReactionsTest, FlavorDriveSetsTheDriveBandLimits)
{
    struct Row
    {
        float flavor;
        float lowPass44100, lowPass48000, highPass44100, highPass48000;
    };
    const Row rows[] = {
        { 0.00f, 0.299439073f, 0.281969786f, 0.997158647f, 0.997388899f },
        { 0.50f, 0.480814308f, 0.459707141f, 0.997158647f, 0.997388899f },
        { 0.99f, 0.585884452f, 0.565186024f, 0.997158647f, 0.997388899f },
        { 1.00f, 0.587587833f, 0.566911519f, 0.997158647f, 0.997388899f },  // 20 Hz, not 50
        { 1.01f, 0.587587833f, 0.566911519f, 0.997016907f, 0.997258663f },  // 21 Hz, not 22
        { 1.15f, 0.587587833f, 0.566911519f, 0.993067026f, 0.993626833f },  // 49 Hz, not 50
        { 1.50f, 0.587587833f, 0.566911519f, 0.983190298f, 0.984534979f },
        { 2.00f, 0.587587833f, 0.566911519f, 0.969607949f, 0.972008109f },
    };
    for (const double rate : { 44100.0, 48000.0, 96000.0 })
    {
        auto p = makeProcessor();
        prepare(*p, rate);
        setPlain(p->chanelDrive, 1);
        processSignal(*p, 256);
        for (const auto& row : rows)
        {
            SCOPED_TRACE(std::to_string(rate) + " flavor " + std::to_string(row.flavor));
            const OnePoleFilter before = *Access::filter(*p, "driveLowPass1");
            setPlain(p->flavorDrive, row.flavor);
            const bool at44100 = rate == 44100.0;
            for (const auto* name : { "driveLowPass1", "driveLowPass2" })
                EXPECT_EQ(Access::filter(*p, name)->coef, at44100 ? row.lowPass44100 : row.lowPass48000);
            for (const auto* name : { "driveHighPass1", "driveHighPass2" })
                EXPECT_EQ(Access::filter(*p, name)->coef, at44100 ? row.highPass44100 : row.highPass48000);
            // No reset: the signal runs on.
            EXPECT_EQ(Access::filter(*p, "driveLowPass1")->y1, before.y1);
            EXPECT_EQ(Access::filter(*p, "driveLowPass1")->x1, before.x1);
        }
    }
}

TEST(ReactionsTest, ToneControlRecomputesOnlyItsChannel)
{
    struct Row
    {
        const char* id;
        bool drive;
    };
    const Row rows[] = { { "bassClean", false }, { "mediumClean", false }, { "highClean", false },
                         { "bassDrive", true },  { "mediumDrive", true },  { "highDrive", true } };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.id);
        auto p = makeProcessor();
        prepare(*p, 44100.0);
        processSignal(*p, 256);
        const ToneStack cleanBefore = Access::cleanStack(*p);
        const ToneStack driveBefore = Access::driveStack(*p);

        auto* parameter = dynamic_cast<juce::AudioParameterFloat*>(parameterById(*p, row.id));
        setPlain(parameter, 0.9f);

        const auto& changed = row.drive ? Access::driveStack(*p) : Access::cleanStack(*p);
        const auto& changedBefore = row.drive ? driveBefore : cleanBefore;
        const auto& same = row.drive ? Access::cleanStack(*p) : Access::driveStack(*p);
        const auto& sameBefore = row.drive ? cleanBefore : driveBefore;
        EXPECT_NE(std::memcmp(changed.b, changedBefore.b, sizeof(changed.b)), 0);
        EXPECT_EQ(std::memcmp(same.b, sameBefore.b, sizeof(same.b)), 0);
        EXPECT_EQ(std::memcmp(same.a, sameBefore.a, sizeof(same.a)), 0);
        // The history is kept.
        EXPECT_EQ(std::memcmp(changed.yHist, changedBefore.yHist, sizeof(changed.yHist)), 0);

        ToneStack expected;
        toneStackConstruct(expected);
        toneStackPrepare(expected, 44100.0f);
        const float bass = row.drive ? p->bassDrive->get() : p->bassClean->get();
        const float medium = row.drive ? p->mediumDrive->get() : p->mediumClean->get();
        const float high = row.drive ? p->highDrive->get() : p->highClean->get();
        toneStackSetControls(expected, bass, medium, high);
        EXPECT_EQ(std::memcmp(changed.b, expected.b, sizeof(expected.b)), 0);
        EXPECT_EQ(std::memcmp(changed.a, expected.a, sizeof(expected.a)), 0);
    }
}

TEST(ReactionsTest, CabinetChanges)
{
    auto p = makeProcessor();
    prepare(*p, 48000.0);
    processSignal(*p, 512);
    ASSERT_NE(Access::cabinetFilter(*p).state[0].z1, 0.0f);

    setPlain(p->cab, 3);  // model 1
    EXPECT_EQ(Access::cabinetFilter(*p).sos, kCabinetSections[kBaseRate48000].sos + 150);
    EXPECT_EQ(Access::cabinetFilter(*p).scale, kCabinetSections[kBaseRate48000].scale + 26);
    for (const auto* cascade :
         { &Access::cabinetFilter(*p), &Access::cabinetLowPass(*p), &Access::cabinetHighPass(*p) })
        for (int s = 0; s < cascade->nSections; ++s)
            EXPECT_EQ(cascade->state[s].z1, 0.0f);

    processSignal(*p, 512);
    const BiquadCascade running = Access::cabinetFilter(*p);
    setPlain(p->cab, 1);
    EXPECT_EQ(std::memcmp(&Access::cabinetFilter(*p), &running, sizeof(running)), 0);

    setPlain(p->cab, 3);
    EXPECT_EQ(Access::cabinetFilter(*p).sos, kCabinetSections[kBaseRate48000].sos + 150);
    EXPECT_EQ(Access::cabinetFilter(*p).state[0].z1, 0.0f);
}

TEST(ReactionsTest, BlockTimeParametersTriggerNothing)
{
    const char* const ids[] = { "preGainClean", "preGainDrive", "volumeClean", "volumeDrive", "presence",
                                "reverb",       "chanelDrive",  "bright",      "boost" };
    for (const auto* id : ids)
    {
        SCOPED_TRACE(id);
        auto p = makeProcessor();
        setPlain(p->reverb, 0.3f);
        prepare(*p, 44100.0);
        processSignal(*p, 512);
        setPlain(p->flavorDrive, 0.5f);
        const auto before = preparedState(*p);
        const auto historyBefore = Access::cabinetFilter(*p);
        auto* parameter = parameterById(*p, id);
        parameter->setValueNotifyingHost(parameter->getValue() > 0.5f ? 0.1f : 0.9f);
        EXPECT_EQ(preparedState(*p), before);
        EXPECT_EQ(std::memcmp(&Access::cabinetFilter(*p), &historyBefore, sizeof(historyBefore)), 0);
    }
}

TEST(ReactionsTest, ReverbSwitchesRebuildTheReverbOnceABlockWasSeen)
{
    auto p = makeProcessor();
    prepare(*p, 44100.0);
    setPlain(p->hqReverb, 1);
    setPlain(p->reverbType2, 1);
    EXPECT_FALSE(Access::reverbInitialised(*p));
    EXPECT_EQ(Access::reverb(*p).ready, 0);

    processSignal(*p, 512);
    EXPECT_EQ(Access::reverb(*p).impulseLength, 82778 / 2);  // type 2 at half the base rate

    setPlain(p->hqReverb, 0);
    EXPECT_EQ(Access::reverb(*p).impulseLength, 82778 / 4);
    setPlain(p->reverbType2, 0);
    EXPECT_EQ(Access::reverb(*p).impulseLength, 63932 / 4);
    EXPECT_EQ(Access::reverb(*p).ready, 1);
}

TEST(ReactionsTest, RestoreOfUnchangedStateStillRunsEveryReactionAndThePreparation)
{
    auto p = makeProcessor();
    prepare(*p, 44100.0);
    setPlain(p->flavorDrive, 1.5f);  // 10 kHz and 120 Hz
    processSignal(*p, 512);
    const auto saved = save(*p);
    // The restore sets flavorDrive to its own value, and its reaction gives 120 Hz again; the
    // preparation that follows puts the drive filters back at 10 kHz and 50 Hz.
    restore(*p, saved);
    EXPECT_EQ(Access::filter(*p, "driveHighPass1")->coef, 0.992926538f);
    EXPECT_EQ(Access::cabinetFilter(*p).state[0].z1, 0.0f);
    EXPECT_TRUE(Access::reverbInitialised(*p));
    EXPECT_EQ(Access::reverb(*p).ready, 1);
}

// A restore rebuilds the reverb once, at its end, instead of at each reverb switch. A switch that
// changes while the restore runs (here from a listener of the last parameter it sets, as host
// automation on another thread might) is still applied, and after the restore the switches'
// reactions rebuild the reverb again.
TEST(ReactionsTest, ReverbSwitchChangedDuringARestoreIsApplied)
{
    struct FlipsHqReverb : juce::AudioProcessorParameter::Listener
    {
        BrondavellJuceAudioProcessor& processor;
        explicit FlipsHqReverb(BrondavellJuceAudioProcessor& p) : processor(p) {}
        void parameterValueChanged(int, float) override { setPlain(processor.hqReverb, 1); }
        void parameterGestureChanged(int, bool) override {}
    };

    auto p = makeProcessor();
    prepare(*p, 44100.0);
    processSignal(*p, 512);
    juce::MemoryBlock saved;  // hqReverb off, type 1
    p->getStateInformation(saved);
    setPlain(p->reverbType2, 1);

    FlipsHqReverb flipper(*p);
    p->cab->addListener(&flipper);
    p->setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    p->cab->removeListener(&flipper);
    EXPECT_TRUE(p->hqReverb->get());
    EXPECT_EQ(Access::reverb(*p).impulseLength, 63932 / 2);  // type 1 at half the base rate
    EXPECT_EQ(Access::decimation(*p).factor, 2);

    setPlain(p->hqReverb, 0);
    EXPECT_EQ(Access::reverb(*p).impulseLength, 63932 / 4);
    EXPECT_EQ(Access::reverb(*p).ready, 1);
}

// A reaction on the audio thread between two render calls, and one inside a render call (some
// wrappers deliver automation while they hold the lock), neither deadlocks nor is dropped.
TEST(ReactionsTest, ReactionsOnTheAudioThreadNeitherDeadlockNorGetLost)
{
    auto p = makeProcessor();
    prepare(*p, 48000.0);
    auto done = std::async(std::launch::async, [&] {
        for (int i = 0; i < 200; ++i)
        {
            processSignal(*p, 64);
            setPlain(p->cab, 2 + i % 12);
            const juce::ScopedLock lock(p->getCallbackLock());
            setPlain(p->flavorDrive, static_cast<float>(i % 3) * 0.5f);
        }
    });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    done.get();
    EXPECT_EQ(Access::cabinetFilter(*p).sos, kCabinetSections[kBaseRate48000].sos + 150 * (199 % 12));
    EXPECT_EQ(Access::filter(*p, "driveLowPass1")->coef, 0.459707141f);  // flavor (199 % 3) x 0.5
}
}
