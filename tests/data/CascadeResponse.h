#pragma once
// Double-precision analysis of biquad-cascade tables for the data tests.

#include <cmath>
#include <complex>
#include <vector>

#include "AudioTables.h"

namespace testdata
{
constexpr double kPi = 3.14159265358979323846;

inline double rateOf(int rateIndex) { return rateIndex == kBaseRate48000 ? 48000.0 : 44100.0; }

// Complex response of sections [first, first + count) of a table, times the overall gain
// stored at scale[scaleIndex] (pass a negative index to leave the gain out).
inline std::complex<double> cascadeResponse(const float* sos, int first, int count, const float* scale, int scaleIndex,
                                            double hz, double rate)
{
    const double w = 2.0 * kPi * hz / rate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    std::complex<double> h = 1.0;
    for (int s = first; s < first + count; ++s)
    {
        const float* r = sos + 6 * s;
        const std::complex<double> num = double(r[0]) + double(r[1]) * z1 + double(r[2]) * z2;
        const std::complex<double> den = double(r[3]) + double(r[4]) * z1 + double(r[5]) * z2;
        h *= num / den;
    }
    if (scaleIndex >= 0)
        h *= double(scale[scaleIndex]);
    return h;
}

inline double toDb(double magnitude) { return 20.0 * std::log10(magnitude); }

// Largest pole magnitude of one row {b0, b1, b2, 1, a1, a2}.
inline double poleRadius(const float* row)
{
    const double a1 = row[4], a2 = row[5];
    const double disc = a1 * a1 - 4.0 * a2;
    if (disc < 0.0)
        return std::sqrt(a2);
    const double s = std::sqrt(disc);
    return std::max(std::fabs((-a1 + s) / 2.0), std::fabs((-a1 - s) / 2.0));
}

inline std::vector<double> logSpaced(double lo, double hi, int n)
{
    std::vector<double> f(n);
    for (int i = 0; i < n; ++i)
        f[i] = lo * std::pow(hi / lo, double(i) / double(n - 1));
    return f;
}
}  // namespace testdata
