// The spring reverb (type 2) as a guitarist hears a spring tank: its first echoes stand apart as
// rising chirps, and the diffuse wash builds up behind them. Measured in a spectrogram with
// Hann windows of 256 samples at the base rate (5.3 to 5.8 ms), on the float32 tables and on
// the decimated responses that the reverb convolves (windows of the same duration there).

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
#include "DecimationFilter.h"
#include "SpringTank.h"

using namespace testdata;

namespace
{
struct Response
{
    const float* samples;
    int length;
    double rate;
    double pulseTime;  // where the transducer pulse sits, s
    int window;        // spectrogram window, samples
    std::string name;
};

void PrintTo(const Response& r, std::ostream* os) { *os << r.name; }

// Type 2 at both base rates, as stored and decimated by 2 and by 4. The decimation filter's
// centre tap delays the decimated response by n / 2 samples of the base rate.
std::vector<Response> springResponses()
{
    std::vector<Response> out;
    for (int rate : { kBaseRate44100, kBaseRate48000 })
    {
        const ImpulseResponse& r = kReverbImpulseType2[rate];
        const double fs = rateOf(rate);
        const int peak = int(std::max_element(r.samples, r.samples + r.length,
                                              [](float a, float b) { return std::fabs(a) < std::fabs(b); })
                             - r.samples);
        const std::string label = rate == kBaseRate48000 ? "48k" : "44k";
        out.push_back({ r.samples, r.length, fs, peak / fs, 256, label });
        for (int factor : { 2, 4 })
        {
            const DecimatedResponse& d = decimatedReverbResponse(true, rate, factor);
            DecimationFilter filter;
            decimationFilterSetUp(filter, factor);
            out.push_back({ d.samples, d.length, fs / factor, (peak + filter.order / 2) / fs, 256 / factor,
                            label + "_by" + std::to_string(factor) });
        }
    }
    return out;
}

// Spectrogram power at time t and frequency hz: a Hann window centred on t.
double power(const Response& r, double t, double hz)
{
    const int first = int(std::lround(t * r.rate)) - r.window / 2;
    const std::complex<double> step = std::polar(1.0, -2.0 * kPi * hz / r.rate);
    std::complex<double> rot = std::polar(1.0, -2.0 * kPi * hz * first / r.rate), sum = 0.0;
    for (int i = 0; i < r.window; ++i, rot *= step)
    {
        const int at = first + i;
        if (at < 0 || at >= r.length)
            continue;
        const double w = std::sin(kPi * (i + 0.5) / r.window);
        sum += double(r.samples[at]) * w * w * rot;
    }
    return std::norm(sum);
}

double toDbPower(double p) { return 10.0 * std::log10(p + 1e-30); }

// When the echo of a spring after `passes` one-way crossings arrives at frequency hz.
double arrival(const Response& r, int spring, int passes, double hz)
{
    return r.pulseTime + passes * kSpringOneWayDelays[spring] * (1.0 + kSpringDispersion * std::pow(hz / 1000.0, 1.5));
}

// The designed arrivals of every echo within the first second, and the pulse, in time order.
std::vector<double> arrivals(const Response& r, double hz)
{
    std::vector<double> out{ r.pulseTime };
    for (int s = 0; s < kSpringCount; ++s)
        for (int passes = 1; arrival(r, s, passes, hz) < 1.0; passes += 2)
            out.push_back(arrival(r, s, passes, hz));
    std::sort(out.begin(), out.end());
    return out;
}

const std::vector<double> kChirpBand = logSpaced(300.0, 3000.0, 16);

// How far an echo's ridge may lie from its designed arrival: the ridges of the later, more
// spread chirps are broad, and the wash moves their strongest point by a few percent of the
// chirp's rise.
double ridgeTolerance(const Response& r, int spring, int passes, double hz)
{
    return 0.001 + 0.06 * (arrival(r, spring, passes, hz) - arrival(r, spring, passes, 0.0));
}

// The strongest point of an echo's ridge near its designed arrival, searched a little beyond the
// tolerance: {time, power}.
std::pair<double, double> ridge(const Response& r, int spring, int passes, double hz)
{
    const double designed = arrival(r, spring, passes, hz);
    const double reach = ridgeTolerance(r, spring, passes, hz) + 0.001;
    std::pair<double, double> best{ designed, -1.0 };
    for (double dt = -reach; dt <= reach; dt += 0.00025)
        if (const double p = power(r, designed + dt, hz); p > best.second)
            best = { designed + dt, p };
    return best;
}

class SpringEchoes : public ::testing::TestWithParam<Response>
{};

// The first three echoes of every spring (after 1, 3 and 5 crossings, all within 300 ms) are
// chirps: at every frequency from 300 Hz to 3 kHz their ridge lies on the designed arrival,
// which rises with frequency (by 7 to 53 ms over that band), and stands at least 10 dB above
// the level midway to the neighbouring echoes (of any spring and crossing count, or the pulse).
TEST_P(SpringEchoes, FirstEchoesStandOutAsRisingChirps)
{
    const Response& r = GetParam();
    double weakest = 1e9;
    for (int s = 0; s < kSpringCount; ++s)
        for (int passes : { 1, 3, 5 })
        {
            double worst = 1e9, worstHz = 0.0;
            for (double hz : kChirpBand)
            {
                const auto [time, peak] = ridge(r, s, passes, hz);
                const double designed = arrival(r, s, passes, hz);
                EXPECT_NEAR(time, designed, ridgeTolerance(r, s, passes, hz))
                    << "spring " << s << ", " << passes << " passes, " << hz << " Hz";
                const std::vector<double> all = arrivals(r, hz);
                const long at = std::find(all.begin(), all.end(), designed) - all.begin();
                for (long neighbour : { at - 1, at + 1 })
                {
                    if (neighbour < 0 || neighbour >= long(all.size()))
                        continue;
                    const double midway = 0.5 * (designed + all[size_t(neighbour)]);
                    const double margin = toDbPower(peak) - toDbPower(power(r, midway, hz));
                    if (margin < worst)
                    {
                        worst = margin;
                        worstHz = hz;
                    }
                }
            }
            EXPECT_GE(worst, 10.0) << "spring " << s << ", " << passes << " passes, at " << worstHz << " Hz";
            weakest = std::min(weakest, worst);
        }
    std::printf("%s: the first three echoes of every spring stand at least %.1f dB above the level midway\n",
                r.name.c_str(), weakest);
}

// The diffuse part builds up behind the echoes. Around the first echoes (10 to 90 ms) its level,
// the spectrogram's median there, is at least 10 dB below the echoes on their arrivals. Its
// level over time is the spectrogram's floor, the 20th percentile of every 40 ms, which the
// echoes' ridges do not reach while they leave gaps: it reaches its full level (within 3 dB of
// the trend of the tail from 0.8 s on, where the tank is wash alone) only after 150 ms, and by
// 300 ms.
TEST_P(SpringEchoes, WashBuildsUpBehindTheEchoes)
{
    const Response& r = GetParam();
    const std::vector<double> band = logSpaced(300.0, 3000.0, 12);
    std::vector<double> centres;
    for (double c = 0.03; c < 1.5; c += 0.02)
        centres.push_back(c);
    std::vector<double> relative(centres.size(), 0.0);  // floor re the late trend, mean over band
    double earlyLevel = 0.0, firstEchoes = 0.0;
    for (double hz : band)
    {
        std::vector<double> db;
        for (double t = 0.006; t < 1.53; t += 0.001)
            db.push_back(toDbPower(power(r, t, hz)));
        // The value below which the given tenths of the 40 ms frame centred on c lie.
        auto percentile = [&](double c, size_t tenths) {
            std::vector<double> frame(db.begin() + std::lround((c - 0.026) / 0.001),
                                      db.begin() + std::lround((c + 0.014) / 0.001));
            std::nth_element(frame.begin(), frame.begin() + frame.size() * tenths / 10, frame.end());
            return frame[frame.size() * tenths / 10];
        };
        std::vector<double> floor;
        for (double c : centres)
            floor.push_back(percentile(c, 2));
        double st = 0.0, sd = 0.0, stt = 0.0, std_ = 0.0, n = 0.0;
        for (size_t k = 0; k < centres.size(); ++k)
            if (centres[k] >= 0.8)
            {
                st += centres[k];
                sd += floor[k];
                stt += centres[k] * centres[k];
                std_ += centres[k] * floor[k];
                n += 1.0;
            }
        const double slope = (n * std_ - st * sd) / (n * stt - st * st), offset = (sd - slope * st) / n;
        for (size_t k = 0; k < centres.size(); ++k)
            relative[k] += (floor[k] - offset - slope * centres[k]) / double(band.size());
        earlyLevel += (percentile(0.03, 5) + percentile(0.05, 5) + percentile(0.07, 5)) / 3.0 / double(band.size());
        for (int s = 0; s < kSpringCount; ++s)
            firstEchoes += toDbPower(power(r, arrival(r, s, 1, hz), hz)) / double(kSpringCount * band.size());
    }
    EXPECT_LE(earlyLevel, firstEchoes - 10.0);

    double fullAt = 0.0;
    for (size_t k = 0; k < centres.size() && fullAt == 0.0; ++k)
    {
        if (centres[k] < 0.15)
        {
            EXPECT_LT(relative[k], -3.0) << "at " << centres[k] << " s";
        }
        else if (relative[k] >= -3.0)
            fullAt = centres[k];
    }
    EXPECT_GE(fullAt, 0.15);
    EXPECT_LE(fullAt, 0.3);
    std::printf("%s: diffuse level %.1f dB below the first echoes around them, full from %.0f ms\n", r.name.c_str(),
                firstEchoes - earlyLevel, fullAt * 1000.0);
}

INSTANTIATE_TEST_SUITE_P(Type2, SpringEchoes, ::testing::ValuesIn(springResponses()),
                         [](const auto& p) { return p.param.name; });
}  // namespace
