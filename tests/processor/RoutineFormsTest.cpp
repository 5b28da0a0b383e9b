// The whole processor gives the same bits with every form of the DSP routines that runs here
// (plain, baseline lanes, each wider instruction set's lanes): every rate, short and long blocks, both channels,
// both reverb types with HQ on and off, and a cabinet change and a reverb switch mid-stream;
// and blocks of every length in turn.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "FloatingPointModes.h"
#include "ProcessorTestAccess.h"
#include "DspRoutineForms.h"

namespace
{
using namespace brondavell::test;

struct Setting
{
    const char* name;
    bool drive, bright, type2, hq;
    float reverb;
    int cab;
};

const Setting kSettings[] = {
    { "defaults", false, true, false, false, 0.0f, 8 },
    { "drive, type 1, HQ", true, false, false, true, 0.5f, 5 },
    { "clean, type 2", false, false, true, false, 0.7f, 12 },
    { "drive, type 2, HQ, no cabinet", true, true, true, true, 1.0f, 1 },
};

void apply(BrondavellJuceAudioProcessor& p, const Setting& s)
{
    setPlain(p.chanelDrive, s.drive ? 1 : 0);
    setPlain(p.bright, s.bright ? 1 : 0);
    setPlain(p.reverbType2, s.type2 ? 1 : 0);
    setPlain(p.hqReverb, s.hq ? 1 : 0);
    setPlain(p.reverb, s.reverb);
    setPlain(p.presence, 0.8f);
    setPlain(p.cab, s.cab);
}

// A new processor runs the widest form this processor runs (a narrower default costs speed and
// nothing shows it), and no wider one (it would stop on an instruction the processor lacks).
TEST(RoutineFormsTest, ANewProcessorRunsTheWidestFormThatRunsHere)
{
    const auto p = makeProcessor();
    EXPECT_TRUE(dspRoutinesRun(p->dspRoutines));
    EXPECT_NE(p->dspRoutines, DspRoutines::plain);
    for (auto wider = static_cast<int>(p->dspRoutines) + 1; wider <= static_cast<int>(DspRoutines::avx512); ++wider)
        EXPECT_FALSE(dspRoutinesRun(static_cast<DspRoutines>(wider))) << routinesName(static_cast<DspRoutines>(wider));
}

TEST(RoutineFormsTest, EveryFormGivesThePlainOutput)
{
    const std::vector<DspRoutines> forms = runnableRoutines();
    for (const double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 })
        for (const int block : { 1, 64, 128, 333, 512 })
            for (const auto& setting : kSettings)
            {
                SCOPED_TRACE(testing::Message() << rate << " Hz, block " << block << ", " << setting.name);
                std::vector<std::unique_ptr<BrondavellJuceAudioProcessor>> processors;
                for (size_t f = 0; f < std::size(forms); ++f)
                {
                    processors.push_back(makeProcessor());
                    processors.back()->dspRoutines = forms[f];
                    apply(*processors.back(), setting);
                    prepare(*processors.back(), rate, 1, 2, block);
                }
                std::mt19937 rng(static_cast<unsigned>(rate) + static_cast<unsigned>(block));
                std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
                const int blocks = static_cast<int>(0.25 * rate) / block + 1;
                std::vector<juce::AudioBuffer<float>> buffers(std::size(forms), juce::AudioBuffer<float>(2, block));
                for (int k = 0; k < blocks; ++k)
                {
                    for (int i = 0; i < block; ++i)
                    {
                        const float x = k < blocks / 2 ? noise(rng) : (i == 0 ? 1.0f : 0.0f);
                        for (auto& buffer : buffers)
                            buffer.setSample(0, i, x);
                    }
                    for (size_t f = 0; f < std::size(forms); ++f)
                    {
                        if (k == blocks / 3)
                            setPlain(processors[f]->cab, 1 + setting.cab % 13);
                        if (k == blocks / 2)
                            setPlain(processors[f]->hqReverb, setting.hq ? 0 : 1);
                        processLocked(*processors[f], buffers[f]);
                    }
                    for (size_t f = 1; f < std::size(forms); ++f)
                        for (int channel = 0; channel < 2; ++channel)
                            ASSERT_EQ(0,
                                      std::memcmp(buffers[0].getReadPointer(channel),
                                                  buffers[f].getReadPointer(channel),
                                                  sizeof(float) * static_cast<size_t>(block)))
                                << routinesName(forms[f]) << ", block " << k << ", channel " << channel;
                }
            }
}

// The merged per-sample passes of the lane forms against the plain stages: blocks of
// every length from 1 to 512 in turn through the same processors, under both floating-point
// modes, on each channel with bright on and off and boost on and off.
TEST(RoutineFormsTest, EveryBlockLengthGivesThePlainOutput)
{
    struct Case
    {
        const char* name;
        bool drive, bright, boost;
    };
    const Case cases[] = { { "drive, bright off", true, false, false },
                           { "clean, boost, bright on", false, true, true },
                           { "clean, bright off", false, false, false } };
    const std::vector<DspRoutines> forms = runnableRoutines();
    for (const auto& mode : kFloatingPointModes)
        for (const auto& c : cases)
        {
            SCOPED_TRACE(testing::Message() << c.name << ", " << mode.name);
            const ScopedFloatingPointMode fpMode(mode);
            std::vector<std::unique_ptr<BrondavellJuceAudioProcessor>> processors;
            for (size_t f = 0; f < std::size(forms); ++f)
            {
                processors.push_back(makeProcessor());
                auto& p = *processors.back();
                p.dspRoutines = forms[f];
                setPlain(p.chanelDrive, c.drive ? 1 : 0);
                setPlain(p.bright, c.bright ? 1 : 0);
                setPlain(p.boost, c.boost ? 1 : 0);
                setPlain(p.preGainClean, 3.7f);
                setPlain(p.preGainDrive, 2.3f);
                setPlain(p.presence, 0.8f);
                setPlain(p.reverb, 0.4f);
                prepare(p, 48000.0, 1, 2, 512);
            }
            std::mt19937 rng(7);
            std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
            for (int block = 1; block <= 512; ++block)
            {
                std::vector<juce::AudioBuffer<float>> buffers(std::size(forms), juce::AudioBuffer<float>(2, block));
                for (int i = 0; i < block; ++i)
                {
                    const float x = noise(rng);
                    for (auto& buffer : buffers)
                        buffer.setSample(0, i, x);
                }
                for (size_t f = 0; f < std::size(forms); ++f)
                {
                    processLocked(*processors[f], buffers[f]);
                }
                for (size_t f = 1; f < std::size(forms); ++f)
                    ASSERT_EQ(0,
                              std::memcmp(buffers[0].getReadPointer(0), buffers[f].getReadPointer(0),
                                          sizeof(float) * static_cast<size_t>(block)))
                        << routinesName(forms[f]) << ", block of " << block;
            }
        }
}
}  // namespace
