// The cabinet stage in the plug-in's own single-precision arithmetic must render the response
// its tables describe: every model at both base rates, run through biquadCascadeProcess as the
// chain runs it (model, then the cabinet low-pass and high-pass), is compared with the same
// coefficients run in double precision.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "AudioTables.h"
#include "BiquadCascade.h"
#include "CascadeResponse.h"

using namespace testdata;

namespace
{
// Deterministic uniform numbers in [-1, 1).
struct Lcg
{
    uint64_t state;
    double next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return double(state >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }
};

// A plucked-string riff (Karplus-Strong strings, low E to high E) scaled to peaks of +-4, the
// level at which the power stage hands the signal to the cabinet.
std::vector<float> pluckedRiff(double rate)
{
    const int length = int(rate * 3.0);
    std::vector<double> mix(size_t(length), 0.0);
    const int notes[] = { 40, 43, 45, 47, 52, 50, 47, 45, 40, 47, 52 };
    Lcg random{ 20261210 };
    for (int k = 0; k < 11; ++k)
    {
        const int period = int(rate / (440.0 * std::pow(2.0, (notes[k] - 69) / 12.0)));
        const int start = int(std::min(k, 8) * 0.15 * rate);
        std::vector<double> line(static_cast<size_t>(period));
        for (double& v : line)
            v = random.next();
        for (int i = 0; start + i < length; ++i)
        {
            const size_t at = size_t(i % period);
            const double out = line[at];
            line[at] = 0.4985 * (line[at] + line[(at + 1) % size_t(period)]);
            mix[size_t(start + i)] += out;
        }
    }
    double peak = 0.0;
    for (double v : mix)
        peak = std::max(peak, std::fabs(v));
    std::vector<float> out(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        out[size_t(i)] = float(4.0 * mix[size_t(i)] / peak);
    return out;
}

// White noise at -20 dBFS RMS.
std::vector<float> whiteNoise(double rate)
{
    std::vector<float> out(static_cast<size_t>(rate));
    Lcg random{ 77 };
    for (float& v : out)
        v = float(0.1 * std::sqrt(3.0) * random.next());
    return out;
}

// The same cascade in double precision: the reference.
void processDouble(const float* sos, const float* scale, int sections, std::vector<double>& x)
{
    for (int s = 0; s < sections; ++s)
    {
        const double b0 = sos[6 * s], b1 = sos[6 * s + 1], b2 = sos[6 * s + 2];
        const double a1 = sos[6 * s + 4], a2 = sos[6 * s + 5];
        double z1 = 0.0, z2 = 0.0;
        for (double& v : x)
        {
            const double y = b0 * v + z1;
            z1 = b1 * v + z2 - a1 * y;
            z2 = b2 * v - a2 * y;
            v = y;
        }
    }
    for (double& v : x)
        v *= double(scale[sections]);
}

struct Stage
{
    const float* sos[3];
    const float* scale[3];
    int sections[3];
};

Stage stageOf(int model, int rate)
{
    const BiquadTable& cab = kCabinetSections[rate];
    return { { cab.sos + 6 * kCabinetSectionsPerModel * model, kCabinetLowPass[rate].sos, kCabinetHighPass[rate].sos },
             { cab.scale + 26 * model, kCabinetLowPass[rate].scale, kCabinetHighPass[rate].scale },
             { kCabinetSectionsPerModel, 2, 2 } };
}

double snrDb(const std::vector<float>& y, const std::vector<double>& ref)
{
    double signal = 0.0, error = 0.0;
    for (size_t i = 0; i < y.size(); ++i)
    {
        signal += ref[i] * ref[i];
        error += (double(y[i]) - ref[i]) * (double(y[i]) - ref[i]);
    }
    return 10.0 * std::log10(signal / error);
}

// Runs cascades [first, last) of the stage on a signal in blocks of 512, as the chain does.
void processFloat(const Stage& stage, int first, int last, std::vector<float>& y)
{
    BiquadCascade cascades[3];
    for (int c = first; c < last; ++c)
        biquadCascadeBind(cascades[c], stage.sos[c], stage.scale[c], stage.sections[c]);
    for (size_t start = 0; start < y.size(); start += 512)
    {
        const int count = int(std::min<size_t>(512, y.size() - start));
        for (int c = first; c < last; ++c)
            biquadCascadeProcess(cascades[c], y.data() + start, count, dspFastestRoutines());
    }
}

struct Rendering
{
    double modelSnrDb;     // after the model and the low-pass
    double stageSnrDb;     // after the whole stage
    double highPassSnrDb;  // the high-pass alone, fed with the exact signal
    double outputPeak;
    double outputRms;
};

// The stage in float32 against the same coefficients in double precision. The high-pass's
// states, quantised to the spacing of floats near 1, add a noise of their own around its 47 Hz
// resonance whatever comes before it; it is measured alone, on the exact signal, for reference.
Rendering render(const Stage& stage, const std::vector<float>& input)
{
    std::vector<float> y = input;
    processFloat(stage, 0, 2, y);
    std::vector<double> ref(input.begin(), input.end());
    for (int c = 0; c < 2; ++c)
        processDouble(stage.sos[c], stage.scale[c], stage.sections[c], ref);
    Rendering r{};
    r.modelSnrDb = snrDb(y, ref);
    std::vector<float> exact(ref.begin(), ref.end());
    processFloat(stage, 2, 3, y);
    processFloat(stage, 2, 3, exact);
    processDouble(stage.sos[2], stage.scale[2], stage.sections[2], ref);
    r.stageSnrDb = snrDb(y, ref);
    r.highPassSnrDb = snrDb(exact, ref);
    double energy = 0.0;
    for (float v : y)
    {
        r.outputPeak = std::max(r.outputPeak, std::fabs(double(v)));
        energy += double(v) * double(v);
    }
    r.outputRms = std::sqrt(energy / double(y.size()));
    return r;
}

double rms(const std::vector<float>& x)
{
    double sum = 0.0;
    for (float v : x)
        sum += double(v) * double(v);
    return std::sqrt(sum / double(x.size()));
}

// Largest gain, over frequency and over the sections in turn, of the model's first k sections.
double peakRunningGainDb(int model, int rate)
{
    const BiquadTable& cab = kCabinetSections[rate];
    double worst = -1e9;
    for (double hz : logSpaced(20.0, 0.49 * rateOf(rate), 300))
        for (int k = 1; k <= kCabinetSectionsPerModel; ++k)
            worst = std::max(worst,
                             toDb(std::abs(cascadeResponse(cab.sos, kCabinetSectionsPerModel * model, k, cab.scale, -1,
                                                           hz, rateOf(rate)))));
    return worst;
}

struct TableCase
{
    int model;
    int rate;
};

class CabinetFloat32 : public ::testing::TestWithParam<TableCase>
{};

TEST_P(CabinetFloat32, RendersItsResponseWithoutRoundingNoise)
{
    const auto [model, rate] = GetParam();
    const Stage stage = stageOf(model, rate);
    const std::vector<float> riff = pluckedRiff(rateOf(rate));
    const Rendering onRiff = render(stage, riff);
    const Rendering onNoise = render(stage, whiteNoise(rateOf(rate)));
    std::printf("model %2d at %5.0f Hz: model and low-pass SNR %.1f dB (riff), %.1f dB (noise); whole stage "
                "%.1f dB (riff), %.1f dB (noise), high-pass alone %.1f / %.1f dB; peak running gain %.1f dB; "
                "riff level %+.1f dB re 0.3, peak %.2f\n",
                model, rateOf(rate), onRiff.modelSnrDb, onNoise.modelSnrDb, onRiff.stageSnrDb, onNoise.stageSnrDb,
                onRiff.highPassSnrDb, onNoise.highPassSnrDb, peakRunningGainDb(model, rate),
                toDb(onRiff.outputRms / (0.3 * rms(riff))), onRiff.outputPeak);
    EXPECT_GE(onRiff.modelSnrDb, 70.0);
    EXPECT_GE(onNoise.modelSnrDb, 70.0);
    // The whole stage down to the floor that the high-pass's own rounding sets (about 67 dB on
    // the riff, 47 dB on the noise, and so much for the high-pass alone as well).
    EXPECT_GE(onRiff.stageSnrDb, 60.0);
    EXPECT_GE(onNoise.stageSnrDb, 40.0);
    // The stage never raises the riff beyond its input peak, so nothing after it clips.
    EXPECT_LT(onRiff.outputPeak, 4.0);
    // The riff is about as loud with any cabinet as without one (where the chain scales by 0.3).
    EXPECT_NEAR(toDb(onRiff.outputRms / (0.3 * rms(riff))), 0.0, 3.0);
}

// An input one step of float apart (one sample of the riff) renders nearly the same output: a
// cascade that amplifies its own rounding turns such a step into an audible difference, and a
// project saved and reopened then no longer renders as it did.
TEST_P(CabinetFloat32, OneUlpOfInputMovesTheOutputLittle)
{
    const auto [model, rate] = GetParam();
    const Stage stage = stageOf(model, rate);
    std::vector<float> a = pluckedRiff(rateOf(rate));
    std::vector<float> b = a;
    const size_t at = a.size() / 3;
    b[at] = std::nextafter(b[at], 10.0f);
    processFloat(stage, 0, 3, a);
    processFloat(stage, 0, 3, b);
    double largest = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, std::fabs(double(a[i]) - double(b[i])));
    EXPECT_LT(largest, 0.002);
}

std::vector<TableCase> allTables()
{
    std::vector<TableCase> cases;
    for (int rate : { kBaseRate44100, kBaseRate48000 })
        for (int m = 0; m < kCabinetModelCount; ++m)
            cases.push_back({ m, rate });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Tables, CabinetFloat32, ::testing::ValuesIn(allTables()), [](const auto& p) {
    return "Model" + std::to_string(p.param.model) + (p.param.rate == kBaseRate48000 ? "_48k" : "_44k");
});
}  // namespace
