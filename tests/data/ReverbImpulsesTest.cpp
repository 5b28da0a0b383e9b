// Acceptance criteria for the four built-in reverb impulse responses.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "AudioTables.h"
#include "CascadeResponse.h"

namespace
{
struct ImpulseCase
{
    const char* name;
    const ImpulseResponse* response;  // indexed by base rate
    int lengths[2];
    int peakIndex[2];
    float peak;
    float first[2][2];
};

void PrintTo(const ImpulseCase& c, std::ostream* os) { *os << c.name; }

const ImpulseCase kCases[] = {
    { "Type1",
      kReverbImpulseType1,
      { 63932, 69584 },
      { 592, 645 },
      -1.0f,
      { { -0.00289679994f, -0.00547710015f }, { -0.00299601001f, -0.00528072985f } } },
    { "Type2",
      kReverbImpulseType2,
      { 82778, 90596 },
      { 92, 97 },
      1.0f,
      { { 0.0164799392f, 0.0147649897f }, { 0.0179509409f, 0.0182866398f } } },
};

std::vector<double> samples(const ImpulseResponse& r) { return { r.samples, r.samples + r.length }; }

// RMS level in dB of consecutive windows of the given length in seconds.
std::vector<double> windowRmsDb(const std::vector<double>& x, double rate, double seconds)
{
    const size_t w = size_t(seconds * rate);
    std::vector<double> out;
    for (size_t start = 0; start + w <= x.size(); start += w)
    {
        double e = 0.0;
        for (size_t i = start; i < start + w; ++i)
            e += x[i] * x[i];
        out.push_back(10.0 * std::log10(e / double(w) + 1e-30));
    }
    return out;
}

// Energy of the whole response in a third-octave band around hz, by a direct DFT sum.
double bandEnergyDb(const std::vector<double>& x, double rate, double hz)
{
    double e = 0.0;
    for (double f : testdata::logSpaced(hz / 1.12, hz * 1.12, 9))
    {
        std::complex<double> s = 0.0;
        const std::complex<double> step = std::polar(1.0, -2.0 * testdata::kPi * f / rate);
        std::complex<double> rot = 1.0;
        for (double v : x)
        {
            s += v * rot;
            rot *= step;
        }
        e += std::norm(s);
    }
    return 10.0 * std::log10(e / 9.0);
}

class ReverbImpulse : public ::testing::TestWithParam<ImpulseCase>
{};

TEST_P(ReverbImpulse, LengthPeakAndFirstSamples)
{
    const ImpulseCase& c = GetParam();
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const ImpulseResponse& r = c.response[rate];
        ASSERT_EQ(r.length, c.lengths[rate]);
        EXPECT_EQ(r.samples[c.peakIndex[rate]], c.peak);
        EXPECT_EQ(r.samples[0], c.first[rate][0]);
        EXPECT_EQ(r.samples[1], c.first[rate][1]);
        for (int i = 0; i < r.length; ++i)
        {
            if (i != c.peakIndex[rate])
            {
                ASSERT_LT(std::fabs(r.samples[i]), 1.0f) << "sample " << i << " at " << testdata::rateOf(rate);
            }
        }
    }
}

TEST_P(ReverbImpulse, TailDecaysSmoothlyBelowMinus60Db)
{
    const ImpulseCase& c = GetParam();
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const double fs = testdata::rateOf(rate);
        const std::vector<double> x = samples(c.response[rate]);
        double lastMax = 0.0;
        for (size_t i = x.size() - size_t(0.05 * fs); i < x.size(); ++i)
            lastMax = std::max(lastMax, std::fabs(x[i]));
        EXPECT_LT(lastMax, 1e-3) << "last 50 ms at " << fs;
        // From 150 ms on, no 50 ms window is louder than the one before it by more than 2 dB,
        // and every second the level falls by at least 25 dB.
        const std::vector<double> db = windowRmsDb(x, fs, 0.05);
        for (size_t k = 4; k < db.size(); ++k)
            EXPECT_LT(db[k], db[k - 1] + 2.0) << "window " << k << " at " << fs;
        EXPECT_LT(db[23], db[3] - 25.0) << fs;
    }
}

TEST_P(ReverbImpulse, NoDc)
{
    const ImpulseCase& c = GetParam();
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        double sum = 0.0;
        for (double v : samples(c.response[rate]))
            sum += v;
        EXPECT_LT(std::fabs(sum), 0.01) << testdata::rateOf(rate);
    }
}

TEST_P(ReverbImpulse, BothRatesRenderTheSameReverb)
{
    const ImpulseCase& c = GetParam();
    const std::vector<double> a = samples(c.response[kBaseRate44100]);
    const std::vector<double> b = samples(c.response[kBaseRate48000]);
    // Same decay: 50 ms windows agree within 1.5 dB while above -70 dB.
    const std::vector<double> da = windowRmsDb(a, 44100.0, 0.05), db = windowRmsDb(b, 48000.0, 0.05);
    for (size_t k = 0; k < std::min(da.size(), db.size()); ++k)
    {
        if (da[k] > -70.0)
        {
            EXPECT_NEAR(da[k], db[k], 1.5) << "window " << k;
        }
    }
    // Same colour: third-octave energies (per second of sound, so per sample rate) within 1.5 dB.
    for (double hz : { 125.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0 })
        EXPECT_NEAR(bandEnergyDb(a, 44100.0, hz) - 10.0 * std::log10(44100.0),
                    bandEnergyDb(b, 48000.0, hz) - 10.0 * std::log10(48000.0), 1.5)
            << hz << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Impulses, ReverbImpulse, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(RoomImpulse, TailIsDense)
{
    // Normalised echo density: the share of samples beyond one standard deviation, relative to
    // that of Gaussian noise (0.3173). A dense tail is close to 1; sparse echoes give far less.
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const ImpulseResponse& r = kReverbImpulseType1[rate];
        const double fs = testdata::rateOf(rate);
        for (double start : { 0.1, 0.4, 0.8 })
        {
            const int lo = int(start * fs), hi = int((start + 0.02) * fs);
            double e = 0.0;
            for (int i = lo; i < hi; ++i)
                e += double(r.samples[i]) * r.samples[i];
            const double sigma = std::sqrt(e / (hi - lo));
            int beyond = 0;
            for (int i = lo; i < hi; ++i)
                beyond += std::fabs(r.samples[i]) > sigma;
            EXPECT_GT(double(beyond) / (hi - lo) / 0.3173, 0.8) << start << " s at " << fs;
        }
    }
}

TEST(SpringImpulse, EchoesAreDispersiveChirps)
{
    // In a spring higher frequencies travel more slowly: the first echo (after 20 ms) peaks
    // later at 3 kHz than at 500 Hz. Each band is taken with a Gaussian window in frequency.
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const ImpulseResponse& r = kReverbImpulseType2[rate];
        const double fs = testdata::rateOf(rate);
        const int lo = int(0.02 * fs), hi = int(0.12 * fs);
        auto arrival = [&](double hz) {
            // Complex demodulation and a 1 ms Gaussian smoothing give the band's envelope.
            const int half = int(0.003 * fs);
            double bestTime = 0.0, best = 0.0;
            for (int n = lo; n < hi; n += 4)
            {
                std::complex<double> s = 0.0;
                for (int k = -half; k <= half; ++k)
                {
                    const double t = k / fs;
                    s += double(r.samples[n + k]) * std::exp(-0.5 * (t / 0.001) * (t / 0.001))
                        * std::polar(1.0, -2.0 * testdata::kPi * hz * t);
                }
                if (std::abs(s) > best)
                {
                    best = std::abs(s);
                    bestTime = n / fs;
                }
            }
            return bestTime;
        };
        EXPECT_GT(arrival(3000.0) - arrival(500.0), 0.002) << fs;
    }
}

// Reverberation time (s) of one octave band around hz: two band-pass biquads, then the
// backward-integrated energy (Schroeder) fitted from -5 to -25 dB.
double octaveT60(const std::vector<double>& x, double rate, double hz)
{
    const double w = 2.0 * testdata::kPi * hz / rate;
    const double alpha = std::sin(w) * std::sinh(0.5 * std::log(2.0) * w / std::sin(w));
    const double a0 = 1.0 + alpha, b0 = alpha / a0, a1 = -2.0 * std::cos(w) / a0, a2 = (1.0 - alpha) / a0;
    std::vector<double> y = x;
    for (int pass = 0; pass < 2; ++pass)
    {
        double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
        for (double& v : y)
        {
            const double out = b0 * v - b0 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = out;
            v = out;
        }
    }
    std::vector<double> edc(y.size());
    double sum = 0.0;
    for (size_t i = y.size(); i-- > 0;)
        edc[i] = (sum += y[i] * y[i]);
    double st = 0.0, sd = 0.0, stt = 0.0, std_ = 0.0, n = 0.0;
    for (size_t i = 0; i < edc.size(); ++i)
    {
        const double db = 10.0 * std::log10(edc[i] / edc[0]);
        if (db > -5.0 || db < -25.0)
            continue;
        const double t = double(i) / rate;
        st += t;
        sd += db;
        stt += t * t;
        std_ += t * db;
        n += 1.0;
    }
    const double slope = (n * std_ - st * sd) / (n * stt - st * st);
    return -60.0 / slope;
}

// Largest modulation of the response's envelope at 3 to 40 Hz, relative to the envelope's mean,
// in dB: the envelope is the RMS of 2 ms frames from 40 ms to 1 s with its exponential decay
// divided out. Echoes that repeat at one spacing show as a peak at their repetition rate.
double flutterDb(const std::vector<double>& x, double rate)
{
    const int hop = int(0.002 * rate), first = int(0.04 * rate), frames = int((1.0 - 0.04) * rate) / hop;
    std::vector<double> t(static_cast<size_t>(frames)), logEnv(static_cast<size_t>(frames));
    for (int k = 0; k < frames; ++k)
    {
        double e = 0.0;
        for (int i = first + k * hop; i < first + (k + 1) * hop; ++i)
            e += x[size_t(i)] * x[size_t(i)];
        t[size_t(k)] = (k + 0.5) * hop / rate;
        logEnv[size_t(k)] = 0.5 * std::log(e / hop);
    }
    double st = 0.0, sl = 0.0, stt = 0.0, stl = 0.0;
    for (int k = 0; k < frames; ++k)
    {
        st += t[size_t(k)];
        sl += logEnv[size_t(k)];
        stt += t[size_t(k)] * t[size_t(k)];
        stl += t[size_t(k)] * logEnv[size_t(k)];
    }
    const double slope = (frames * stl - st * sl) / (frames * stt - st * st), offset = (sl - slope * st) / frames;
    std::vector<double> flat(static_cast<size_t>(frames));
    double mean = 0.0;
    for (int k = 0; k < frames; ++k)
        mean += flat[size_t(k)] = std::exp(logEnv[size_t(k)] - offset - slope * t[size_t(k)]);
    mean /= frames;
    double worst = 0.0;
    for (double hz = 3.0; hz <= 40.0; hz += 0.25)
    {
        std::complex<double> s = 0.0;
        for (int k = 0; k < frames; ++k)
            s += (flat[size_t(k)] / mean - 1.0) * std::polar(1.0, -2.0 * testdata::kPi * hz * t[size_t(k)]);
        worst = std::max(worst, 2.0 * std::abs(s) / frames);
    }
    return 20.0 * std::log10(worst);
}

// A spring tank: the transducer's first pulse is a small part of the sound, the tank darkens as
// it decays (the time at 4 kHz about 0.6 of that at 500 Hz), and though the springs' echo
// spacing shows, no single rate dominates the envelope as a flutter.
TEST(SpringImpulse, DiffuseDarkeningTailWithoutFlutter)
{
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const ImpulseResponse& r = kReverbImpulseType2[rate];
        const double fs = testdata::rateOf(rate);
        const std::vector<double> x = samples(r);
        const size_t pulseEnd = size_t(kCases[1].peakIndex[rate] + int(0.0015 * fs));
        double pulse = 0.0, total = 0.0;
        for (size_t i = 0; i < x.size(); ++i)
        {
            total += x[i] * x[i];
            if (i < pulseEnd)
                pulse += x[i] * x[i];
        }
        EXPECT_LE(pulse / total, 0.10) << fs;
        const double at500 = octaveT60(x, fs, 500.0), at4k = octaveT60(x, fs, 4000.0);
        EXPECT_GE(at4k / at500, 0.55) << fs;
        EXPECT_LE(at4k / at500, 0.65) << fs;
        const double flutter = flutterDb(x, fs);
        EXPECT_LE(flutter, -12.0) << fs;
        std::printf("%.0f Hz: pulse %.1f %% of the energy, T60 %.2f s at 500 Hz and %.2f s at 4 kHz (ratio %.2f), "
                    "strongest envelope modulation %.1f dB\n",
                    fs, 100.0 * pulse / total, at500, at4k, at4k / at500, flutter);
    }
}
}  // namespace
