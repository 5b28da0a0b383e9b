// The amplifier chain's stages, gains and order: the processor's output against the same stages
// assembled here from the building blocks, bit for bit (reverb off, base rate, so nothing else
// takes part).
#include <gtest/gtest.h>

#include <vector>

#include "ProcessorTestAccess.h"

namespace
{
using namespace brondavell::test;

struct Settings
{
    const char* name;
    bool drive, bright, boost;
    float preGainClean, preGainDrive, presence, volumeClean, volumeDrive;
    int cab;
};

// The stages in order, from the building blocks, prepared as a preparation at 44.1 kHz does.
class ReferenceChain
{
public:
    explicit ReferenceChain(const Settings& s, BrondavellJuceAudioProcessor& p) : settings(s)
    {
        const float rate = 44100.0f;
        biquadCascadeBind(darkening, kDarkeningFilter[kBaseRate44100].sos, kDarkeningFilter[kBaseRate44100].scale, 25);
        if (s.cab >= 2)
        {
            const auto& sections = kCabinetSections[kBaseRate44100];
            biquadCascadeBind(cabinet, sections.sos + 150 * (s.cab - 2), sections.scale + 26 * (s.cab - 2), 25);
            biquadCascadeBind(cabinetLow, kCabinetLowPass[kBaseRate44100].sos, kCabinetLowPass[kBaseRate44100].scale, 2);
            biquadCascadeBind(cabinetHigh, kCabinetHighPass[kBaseRate44100].sos, kCabinetHighPass[kBaseRate44100].scale, 2);
        }
        for (auto* f : { &input1, &input2 })
            onePoleFilterSetUp(*f, false, 80.0f, rate);
        for (auto* f : { &driveLow1, &driveLow2 })
            onePoleFilterSetUp(*f, true, 10000.0f, rate);
        for (auto* f : { &driveHigh1, &driveHigh2 })
            onePoleFilterSetUp(*f, false, 50.0f, rate);
        for (auto* f : { &presenceLow1, &presenceLow2 })
            onePoleFilterSetUp(*f, true, 5000.0f, rate);
        for (auto* f : { &presenceHigh1, &presenceHigh2 })
            onePoleFilterSetUp(*f, false, 3500.0f, rate);
        for (auto* f : { &output1, &output2 })
            onePoleFilterSetUp(*f, false, 40.0f, rate);
        toneStackConstruct(*stack);
        toneStackPrepare(*stack, rate);
        if (s.drive)
            toneStackSetControls(*stack, p.bassDrive->get(), p.mediumDrive->get(), p.highDrive->get());
        else
            toneStackSetControls(*stack, p.bassClean->get(), p.mediumClean->get(), p.highClean->get());
    }

    void process(float* x, int n)
    {
        const ShaperTable preamp{ kPreampCurve, 4.0f, kPreampCurveSize };
        const ShaperTable powerAmp{ kPowerAmpCurve, 39.0f, kPowerAmpCurveSize };
        const auto gain = [&](float g) {
            for (int i = 0; i < n; ++i)
                x[i] = x[i] * g;
        };
        gain(2.0f);
        if (!settings.bright)
        {
            biquadCascadeProcess(darkening, x, n);
            gain(7.0f);
        }
        onePoleFilterProcess(input1, x, n);
        onePoleFilterProcess(input2, x, n);
        if (settings.drive)
        {
            gain(settings.preGainDrive * 30.0f);
            for (int i = 0; i < n; ++i)
                x[i] = shaperTableLookup(preamp, x[i]);
            for (auto* f : { &driveLow1, &driveLow2, &driveHigh1, &driveHigh2 })
                onePoleFilterProcess(*f, x, n);
        }
        else
        {
            if (settings.boost)
                gain(3.0f);
            gain(settings.preGainClean);
            for (int i = 0; i < n; ++i)
                x[i] = shaperTableLookup(preamp, x[i]);
            if (settings.boost)
                gain(0.3f);
        }
        toneStackProcess(*stack, x, n);
        toneStackProcess(*stack, x, n);
        for (int i = 0; i < n; ++i)
            x[i] = shaperTableLookup(powerAmp, x[i]);
        band.assign(x, x + n);
        for (auto* f : { &presenceLow1, &presenceHigh1, &presenceLow2, &presenceHigh2 })
            onePoleFilterProcess(*f, band.data(), n);
        for (int i = 0; i < n; ++i)
            x[i] = (settings.presence * band[static_cast<size_t>(i)]) * 5.0f + x[i];
        gain(settings.drive ? settings.volumeDrive : settings.volumeClean * 4.0f);
        if (settings.cab < 2)
        {
            gain(0.3f);
        }
        else
        {
            biquadCascadeProcess(cabinet, x, n);
            biquadCascadeProcess(cabinetLow, x, n);
            biquadCascadeProcess(cabinetHigh, x, n);
        }
        onePoleFilterProcess(output1, x, n);
        onePoleFilterProcess(output2, x, n);
        for (int i = 0; i < n; ++i)
            x[i] = x[i] > 1.0f ? 1.0f : (x[i] < -1.0f ? -1.0f : x[i]);
    }

private:
    Settings settings;
    BiquadCascade darkening{}, cabinet{}, cabinetLow{}, cabinetHigh{};
    OnePoleFilter input1{}, input2{}, driveLow1{}, driveLow2{}, driveHigh1{}, driveHigh2{};
    OnePoleFilter presenceLow1{}, presenceHigh1{}, presenceLow2{}, presenceHigh2{}, output1{}, output2{};
    std::unique_ptr<ToneStack> stack = std::make_unique<ToneStack>();
    std::vector<float> band;
};

TEST(ChainTest, StagesGainsAndOrder)
{
    const Settings cases[] = {
        { "defaults", false, true, false, 1.0f, 5.0f, 0.5f, 0.8f, 1.0f, 8 },
        { "clean, boost, bright off, no cabinet", false, false, true, 2.5f, 5.0f, 0.0f, 0.6f, 1.0f, 1 },
        { "drive, bright off, presence 1, cabinet 13", true, false, false, 1.0f, 7.5f, 1.0f, 0.8f, 1.5f, 13 },
        { "drive, low gain, cabinet 2", true, true, false, 1.0f, 0.33f, 0.3f, 0.8f, 0.7f, 2 },
    };
    for (const auto& s : cases)
    {
        SCOPED_TRACE(s.name);
        auto p = makeProcessor();
        setPlain(p->chanelDrive, s.drive ? 1 : 0);
        setPlain(p->bright, s.bright ? 1 : 0);
        setPlain(p->boost, s.boost ? 1 : 0);
        setPlain(p->preGainClean, s.preGainClean);
        setPlain(p->preGainDrive, s.preGainDrive);
        setPlain(p->presence, s.presence);
        setPlain(p->volumeClean, s.volumeClean);
        setPlain(p->volumeDrive, s.volumeDrive);
        setPlain(p->cab, s.cab);
        setPlain(p->bassClean, 0.3f);
        setPlain(p->highDrive, 0.8f);
        prepare(*p, 44100.0, 1, 1);

        // The parameters hold their values on the 0.01 grid: the reference takes them from there.
        Settings stored = s;
        stored.preGainClean = p->preGainClean->get();
        stored.preGainDrive = p->preGainDrive->get();
        stored.presence = p->presence->get();
        stored.volumeClean = p->volumeClean->get();
        stored.volumeDrive = p->volumeDrive->get();
        ReferenceChain reference(stored, *p);

        for (int block = 0; block < 6; ++block)
        {
            const int n = block == 3 ? 300 : 512;
            juce::AudioBuffer<float> buffer(1, n);
            for (int i = 0; i < n; ++i)
                buffer.setSample(0, i, 0.4f * std::sin(0.021f * static_cast<float>(block * 512 + i))
                                           + 0.1f * std::sin(0.37f * static_cast<float>(i)));
            std::vector<float> expected(buffer.getReadPointer(0), buffer.getReadPointer(0) + n);
            processLocked(*p, buffer);
            reference.process(expected.data(), n);
            ASSERT_EQ(std::memcmp(buffer.getReadPointer(0), expected.data(), sizeof(float) * expected.size()), 0)
                << "block " << block;
        }
    }
}
}
