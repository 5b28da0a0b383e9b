// Build-time generator of the large built-in audio tables: the two waveshaper curves and the
// four reverb impulse responses. Everything is computed in double precision from the fixed
// points and model parameters below, with a seeded generator, so every run writes the same
// tables. Usage:
//   generate_audio_tables curves <out.cpp>
//   generate_audio_tables impulses <out.cpp>
//   generate_audio_tables raw <dir>     (little-endian float32 files, for the plotting script)

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AudioTables.h"
#include "SpringTank.h"

namespace
{
constexpr double kPi = 3.14159265358979323846;
using Table = std::vector<float>;

// ---------------------------------------------------------------------------------------------
// Waveshaper curves.
//
// Each curve is a piecewise cubic Hermite interpolant through its fixed points, built on the
// warped axis u = asinh(x), where the widely spaced points of the saturating tails are nearly
// evenly spaced. The knot slopes are those of the natural C2 cubic spline through the points,
// limited (Fritsch-Carlson) where the spline would overshoot, so the curve is monotone, has a
// continuous slope everywhere and a continuous second derivative wherever no limiting was needed.

struct Knot
{
    double x;
    float y;
};

struct CurveSpec
{
    const char* name;
    int size;
    double offset;  // entry i is the output for x = i / 1000 - offset
    std::vector<Knot> knots;
    bool hasEndSlope;  // use endSlope (dy/dx) at the last knot instead of the spline's
    double endSlope;
};

double warp(double x) { return std::asinh(x); }

std::vector<double> knotSlopes(const std::vector<double>& u, const std::vector<double>& y, const CurveSpec& spec)
{
    const size_t n = u.size();
    std::vector<double> h(n - 1), d(n - 1);
    for (size_t k = 0; k + 1 < n; ++k)
    {
        h[k] = u[k + 1] - u[k];
        d[k] = (y[k + 1] - y[k]) / h[k];
    }
    // Natural spline: tridiagonal system for the first derivatives, solved by elimination.
    std::vector<double> lower(n, 0.0), diag(n, 0.0), upper(n, 0.0), rhs(n, 0.0);
    diag[0] = 2.0;
    upper[0] = 1.0;
    rhs[0] = 3.0 * d[0];
    for (size_t k = 1; k + 1 < n; ++k)
    {
        lower[k] = h[k];
        diag[k] = 2.0 * (h[k - 1] + h[k]);
        upper[k] = h[k - 1];
        rhs[k] = 3.0 * (h[k] * d[k - 1] + h[k - 1] * d[k]);
    }
    lower[n - 1] = 1.0;
    diag[n - 1] = 2.0;
    rhs[n - 1] = 3.0 * d[n - 2];
    for (size_t k = 1; k < n; ++k)
    {
        const double f = lower[k] / diag[k - 1];
        diag[k] -= f * upper[k - 1];
        rhs[k] -= f * rhs[k - 1];
    }
    std::vector<double> m(n);
    m[n - 1] = rhs[n - 1] / diag[n - 1];
    for (size_t k = n - 1; k-- > 0;)
        m[k] = (rhs[k] - upper[k] * m[k + 1]) / diag[k];

    if (spec.hasEndSlope)
        m[n - 1] = spec.endSlope * std::cosh(u[n - 1]);  // dy/du = dy/dx * dx/du
    // Non-increasing curves: no positive slope, and no overshoot within an interval.
    for (double& v : m)
        v = std::min(v, 0.0);
    for (size_t k = 0; k + 1 < n; ++k)
    {
        const double a = m[k] / d[k], b = m[k + 1] / d[k];
        const double s = a * a + b * b;
        if (s > 9.0)
        {
            const double t = 3.0 / std::sqrt(s);
            m[k] = t * a * d[k];
            m[k + 1] = t * b * d[k];
        }
    }
    return m;
}

Table makeCurve(const CurveSpec& spec)
{
    const size_t n = spec.knots.size();
    std::vector<double> u(n), y(n);
    for (size_t k = 0; k < n; ++k)
    {
        u[k] = warp(spec.knots[k].x);
        y[k] = double(spec.knots[k].y);
    }
    const std::vector<double> m = knotSlopes(u, y, spec);

    Table out(spec.size);
    size_t k = 0;
    for (int i = 0; i < spec.size; ++i)
    {
        const double x = double(i) / 1000.0 - spec.offset;
        if (x >= spec.knots[n - 1].x)
        {
            out[i] = spec.knots[n - 1].y;
            continue;
        }
        while (k + 2 < n && x >= spec.knots[k + 1].x)
            ++k;
        const double hk = u[k + 1] - u[k];
        const double t = (warp(x) - u[k]) / hk;
        const double t2 = t * t, t3 = t2 * t;
        const double v = (2.0 * t3 - 3.0 * t2 + 1.0) * y[k] + (t3 - 2.0 * t2 + t) * hk * m[k]
            + (-2.0 * t3 + 3.0 * t2) * y[k + 1] + (t3 - t2) * hk * m[k + 1];
        out[i] = float(v);
    }
    // The fixed points land on table entries; store them exactly as given.
    for (const Knot& knot : spec.knots)
    {
        const long i = std::lround((knot.x + spec.offset) * 1000.0);
        if (i >= 0 && i < spec.size)
            out[size_t(i)] = knot.y;
    }
    return out;
}

CurveSpec preampSpec()
{
    return { "kPreampCurve",
             kPreampCurveSize,
             kPreampCurveOffset,
             { { -4.0, 1.08767128f },
               { -2.0, 1.08598948f },
               { -1.0, 0.877333283f },
               { -0.5, 0.497175574f },
               { -0.1, 0.102279641f },
               { -0.001, 0.00100733002f },
               { 0.0, 0.0f },
               { 0.001, -0.00100687996f },
               { 0.1, -0.0977203622f },
               { 0.5, -0.385379523f },
               { 1.0, -0.561237633f },
               { 2.0, -0.710011244f },
               { 5.0, -0.822293699f },
               { 10.0, -0.861892521f },
               { 20.0, -0.884853899f },
               { 50.0, -0.903499961f } },
             false,
             0.0 };
}

CurveSpec powerAmpSpec()
{
    // The curve reaches its minimum at x = 61.963 and stays there; it arrives with a slope of
    // -0.001 so that the entry before the flat run still lies a few steps above the minimum.
    return { "kPowerAmpCurve",
             kPowerAmpCurveSize,
             kPowerAmpCurveOffset,
             { { -39.0, 5.26429892f },
               { -20.0, 5.19055748f },
               { -10.0, 4.61856318f },
               { -5.0, 3.38181543f },
               { -2.0, 1.73447371f },
               { -1.0, 0.938676f },
               { -0.5, 0.486951172f },
               { -0.001, 0.00100728997f },
               { 0.0, 0.0f },
               { 0.001, -0.00100742001f },
               { 0.5, -0.518649876f },
               { 1.0, -1.061324f },
               { 2.0, -2.15745068f },
               { 5.0, -4.22166491f },
               { 10.0, -5.00527287f },
               { 20.0, -5.28022814f },
               { 61.963, -5.32171917f } },
             true,
             -0.001 };
}

// ---------------------------------------------------------------------------------------------
// Deterministic random numbers (splitmix64), independent of the standard library.

struct Random
{
    uint64_t state;
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
    double gaussian()
    {
        const double a = 1.0 - uniform();
        const double b = uniform();
        return std::sqrt(-2.0 * std::log(a)) * std::cos(2.0 * kPi * b);
    }
};

// ---------------------------------------------------------------------------------------------
// Impulse responses. Each reverb is one model in continuous time (seconds, hertz), sampled at
// 44100 and 48000 Hz. Only the time origin is adjusted per rate, by less than a sample, so that
// the main peak falls exactly on its sample.

struct ImpulseSpec
{
    const char* name;
    int rate;
    int length;
    int peakIndex;
    double peakSign;
    double first[2];
};

const ImpulseSpec kImpulseSpecs[4] = {
    { "Type1_44100", 44100, 63932, 592, -1.0, { -0.00289679994, -0.00547710015 } },
    { "Type1_48000", 48000, 69584, 645, -1.0, { -0.00299601001, -0.00528072985 } },
    { "Type2_44100", 44100, 82778, 92, 1.0, { 0.0164799392, 0.0147649897 } },
    { "Type2_48000", 48000, 90596, 97, 1.0, { 0.0179509409, 0.0182866398 } },
};

double smoothStep(double a, double b, double x)
{
    const double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Finishes a rendering: raised-cosine fade over the last fadeSeconds, scaled so that the peak
// sample is exactly +-1, the first two samples set, and the DC removed by subtracting a small
// multiple of the envelope (never touching the three fixed samples).
Table finishImpulse(std::vector<double> x, const std::vector<double>& envelope, const ImpulseSpec& spec,
                    double fadeSeconds)
{
    const int n = spec.length;
    const int fade = int(fadeSeconds * spec.rate);
    for (int i = n - fade; i < n; ++i)
        x[i] *= 0.5 + 0.5 * std::cos(kPi * double(i - (n - fade) + 1) / double(fade + 1));
    const double scale = spec.peakSign / x[spec.peakIndex];
    for (double& v : x)
        v *= scale;
    x[spec.peakIndex] = spec.peakSign;
    x[0] = spec.first[0];
    x[1] = spec.first[1];
    auto fixed = [&](int i) { return i == 0 || i == 1 || i == spec.peakIndex; };
    double sum = 0.0, envSum = 0.0;
    for (int i = 0; i < n; ++i)
    {
        sum += x[i];
        if (!fixed(i))
            envSum += envelope[i];
    }
    for (int i = 0; i < n; ++i)
        if (!fixed(i))
            x[i] -= sum * envelope[i] / envSum;
    Table out(n);
    for (int i = 0; i < n; ++i)
        out[i] = float(x[i]);
    return out;
}

// Type 1: a dense room of 1.45 s. A band-limited first reflection at 13.43 ms (the peak), a few
// discrete early reflections, then a diffuse tail of short windowed-sinc grains at Poisson
// times whose density grows to that of a dense plate within 80 ms. The tail decays with a
// reverberation time of 1.4 s and darkens as it decays (grain bandwidth falls from 11 kHz
// towards 2.2 kHz).
Table renderRoom(const ImpulseSpec& spec)
{
    const double rate = spec.rate;
    const int n = spec.length;
    const double directTime = 0.01343;
    const double shift = spec.peakIndex / rate - directTime;  // per-rate time origin, < 1 sample
    std::vector<double> x(n, 0.0), envelope(n, 0.0);

    auto addGrain = [&](double t, double amplitude, double cutoff) {
        const double halfWidth = 0.0012;
        const double centre = (t + shift) * rate;
        const int lo = std::max(0, int(std::ceil(centre - halfWidth * rate)));
        const int hi = std::min(n - 1, int(std::floor(centre + halfWidth * rate)));
        for (int i = lo; i <= hi; ++i)
        {
            const double tau = (i - centre) / rate;
            const double arg = 2.0 * cutoff * tau;
            const double sinc = std::fabs(arg) < 1e-12 ? 1.0 : std::sin(kPi * arg) / (kPi * arg);
            const double window = 0.5 + 0.5 * std::cos(kPi * tau / halfWidth);
            x[i] += amplitude * sinc * window;
        }
    };

    const double t60 = 1.4;
    const double tailLevel = 0.11;  // rms of the diffuse tail at its onset, relative to the peak
    auto tailRms = [&](double t) {
        const double onset = 0.03 + 0.97 * smoothStep(0.0, 0.035, t);
        return tailLevel * onset * std::pow(10.0, -3.0 * t / t60);
    };
    auto tailCutoff = [](double t) { return 2200.0 + 8800.0 * std::exp(-t / 0.35); };
    auto density = [](double t) { return 3000.0 + 57000.0 * std::min(1.0, (t / 0.08) * (t / 0.08)); };

    Random rng{ 0x5EED0001ull };
    addGrain(directTime, -1.0, 9000.0);
    for (int r = 0; r < 14; ++r)
    {
        const double t = directTime + 0.004 + 0.075 * rng.uniform();
        const double level = 0.42 * std::exp(-(t - directTime) / 0.045) * (0.5 + 0.5 * rng.uniform());
        addGrain(t, (rng.uniform() < 0.5 ? -1.0 : 1.0) * level, 7000.0);
    }
    const double end = double(n) / rate;
    for (double t = -0.0015; t < end;)
    {
        const double lambda = density(std::max(t, 0.0));
        t += -std::log(1.0 - rng.uniform()) / lambda;
        const double cutoff = tailCutoff(t);
        const double amplitude = tailRms(std::max(t, 0.0)) * std::sqrt(2.0 * cutoff / lambda);
        addGrain(t, amplitude * rng.gaussian(), cutoff);
    }
    for (int i = 0; i < n; ++i)
        envelope[i] = tailRms(std::max(0.0, i / rate - shift));
    return finishImpulse(x, envelope, spec, 0.08);
}

void fft(std::vector<std::complex<double>>& a, bool inverse)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i)
    {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1)
    {
        const double angle = (inverse ? 2.0 : -2.0) * kPi / double(len);
        for (size_t i = 0; i < n; i += len)
            for (size_t k = 0; k < len / 2; ++k)
            {
                const std::complex<double> w = std::polar(1.0, angle * double(k));
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
    }
}

// Reverberation time of the spring tank at frequency f (of its wash, and of its echoes before
// they lose their coherence): the coils' losses grow with frequency, so the tank darkens as it
// decays.
double springT60(double f) { return 1.7 / (1.0 + (f / 3500.0) * (f / 3500.0)); }

// The diffuse wash of the tank: the waves that the coils' small irregularities scatter out of
// the echoes, and the echoes of the springs' other wave types. It builds up behind the first
// echoes, from sparse grains 30 dB down at 20 ms to its full density and level at 250 ms, and is
// darker than the echoes that feed it. Gaussian grains at Poisson times with Gaussian
// amplitudes, in seconds and hertz so that both rates render the same signal. The level below
// 1 kHz decays with springT60; each grain's bandwidth narrows with time, so that every frequency
// decays exponentially, and faster the higher it is.
std::vector<double> renderSpringWash(const ImpulseSpec& spec, double timeShift)
{
    const double rate = spec.rate;
    const int n = spec.length;
    std::vector<double> x(size_t(n), 0.0);
    // Energy at f of a grain born at t falls as exp(-f^2 (a + b t)); with the level's own decay
    // this matches springT60 at 500 Hz and 4 kHz.
    const double t60Low = springT60(0.0);
    const double extraDbPerSecondAt4k = 60.0 / springT60(4000.0) - 60.0 / t60Low;
    const double b = extraDbPerSecondAt4k / (10.0 * std::log10(std::exp(1.0)) * 4000.0 * 4000.0);
    const double a = 1.0 / (3500.0 * 3500.0);
    const double level = 0.022;  // rms once built up (decay aside), relative to the pulse's peak
    auto built = [](double t) { return smoothStep(0.02, 0.25, t); };
    auto density = [&](double t) { return 12000.0 * (0.1 + 0.9 * built(t)); };
    Random rng{ 0x5EED0002ull };
    const double end = double(n) / rate;
    for (double t = 0.0;;)
    {
        t += -std::log(1.0 - rng.uniform()) / density(t);
        if (t >= end)
            break;
        const double sigmaF = 1.0 / std::sqrt(a + b * t);  // grain spectrum exp(-f^2 / (2 sigmaF^2))
        const double sigmaT = 1.0 / (2.0 * kPi * sigmaF);
        const double onset = smoothStep(0.01, 0.02, t) * (0.03 + 0.97 * built(t));
        // Grains' low-frequency spectral level stays constant as they narrow in time.
        const double amplitude = level * onset * std::pow(10.0, -3.0 * t / t60Low)
            / std::sqrt(density(t) * sigmaT * std::sqrt(kPi) * 2.0 * kPi * sigmaF * sigmaT) * rng.gaussian();
        const double centre = (t + timeShift) * rate;
        const int lo = std::max(0, int(std::ceil(centre - 5.0 * sigmaT * rate)));
        const int hi = std::min(n - 1, int(std::floor(centre + 5.0 * sigmaT * rate)));
        for (int i = lo; i <= hi; ++i)
        {
            const double tau = (i - centre) / rate;
            x[size_t(i)] += amplitude * std::exp(-0.5 * (tau / sigmaT) * (tau / sigmaT));
        }
    }
    return x;
}

// Type 2: a spring tank of about 1.9 s. Built as a spectrum and sampled by an inverse FFT, so
// both rates see the same band-limited signal. A short transducer pulse (the peak, 2 ms in) is
// followed by the echoes of the three springs of SpringTank.h travelling back and forth, and by
// the tank's diffuse wash. The springs are dispersive: the group delay of each pass grows with
// frequency, so every echo is a rising chirp that spreads further on each round trip - the
// "drip". The springs' lengths are far enough apart that their first three echoes stand apart
// at every frequency. The echoes lose their coherence into the wash the longer they travel,
// high frequencies first, so the early tank is echoes and the late tank wash. The tank passes
// about 90 Hz to 4.3 kHz.
Table renderSpring(const ImpulseSpec& spec)
{
    const double rate = spec.rate;
    const int n = spec.length;
    const size_t fftSize = size_t(1) << 18;
    const double pulseTime = double(spec.peakIndex) / rate;
    std::vector<std::complex<double>> spectrum(fftSize, 0.0);

    auto band = [](double f) {
        const double high = std::pow(f / 90.0, 2.0) / (1.0 + std::pow(f / 90.0, 2.0));
        const double low = std::exp(-std::pow(f / 4300.0, 6.0));
        return high * low;
    };
    // Each spring's echo level, relative to the transducer pulse.
    const double gains[kSpringCount] = { 1.8, 1.6, 1.35 };
    // After travelling for t seconds the echoes keep exp(-(t / coherence)^2) of their amplitude;
    // the coherence time is 0.7 s at low frequencies and shorter above 2 kHz.
    auto coherence = [](double f) { return 0.7 / std::sqrt(1.0 + (f / 2000.0) * (f / 2000.0)); };
    const double end = double(n) / rate;

    auto pulse = [&](double f) { return 0.9 * band(f) * std::exp(-std::pow(f / 4000.0, 2.0)); };
    // The wash joins in the spectrum so that it passes the tank's band like the echoes. Its level
    // is relative to the pulse's peak as the inverse transform makes it.
    std::vector<std::complex<double>> wash(fftSize, 0.0);
    {
        double pulsePeak = 0.0;
        for (size_t k = 1; k <= fftSize / 2; ++k)
            pulsePeak += 2.0 * pulse(double(k) * rate / double(fftSize));
        const std::vector<double> w = renderSpringWash(spec, 0.0);
        for (int i = 0; i < n; ++i)
            wash[size_t(i)] = w[size_t(i)] * pulsePeak / double(fftSize);
        fft(wash, false);
    }

    for (size_t k = 1; k <= fftSize / 2; ++k)
    {
        const double f = double(k) * rate / double(fftSize);
        const double b = band(f);
        if (b < 1e-12)
            continue;
        // Zero-phase transducer pulse, centred on the peak sample.
        std::complex<double> h =
            0.9 * std::exp(-std::pow(f / 4000.0, 2.0)) * std::polar(1.0, -2.0 * kPi * f * pulseTime);
        for (int s = 0; s < kSpringCount; ++s)
        {
            const double delay = kSpringOneWayDelays[s];
            // Group delay of one pass: delay * (1 + dispersion * (f / 1 kHz)^1.5); the losses per
            // pass make every frequency decay with springT60 along its own (slower) arrival times.
            const double groupDelay = delay * (1.0 + kSpringDispersion * std::pow(f / 1000.0, 1.5));
            const double phasePerPass =
                2.0 * kPi * delay * (f + kSpringDispersion * std::pow(f, 2.5) / (2.5 * std::pow(1000.0, 1.5)));
            const double lossPerPass = std::pow(10.0, -3.0 * groupDelay / springT60(f));
            for (int passes = 1; pulseTime + passes * delay < end; passes += 2)
            {
                const double coherenceLoss = passes * groupDelay / coherence(f);
                const double amplitude = gains[s] * std::pow(lossPerPass, passes)
                    * std::exp(-coherenceLoss * coherenceLoss) * ((passes / 2) % 2 ? -1.0 : 1.0);
                h += amplitude * std::polar(1.0, -2.0 * kPi * f * pulseTime - passes * phasePerPass);
            }
        }
        h += wash[k];
        spectrum[k] = b * h;
        if (k < fftSize / 2)
            spectrum[fftSize - k] = std::conj(spectrum[k]);
    }
    fft(spectrum, true);
    std::vector<double> x(n), envelope(n);
    for (int i = 0; i < n; ++i)
    {
        x[i] = spectrum[size_t(i)].real();
        envelope[i] = std::pow(10.0, -3.0 * (double(i) / rate) / springT60(0.0));
    }
    return finishImpulse(x, envelope, spec, 0.12);
}

// ---------------------------------------------------------------------------------------------
// Output.

void writeArray(FILE* out, const char* name, const Table& t)
{
    std::fprintf(out, "const float %s[%zu] = {\n", name, t.size());
    for (size_t i = 0; i < t.size(); ++i)
        std::fprintf(out, "%a,%s", double(t[i]), (i % 8 == 7) ? "\n" : "");
    std::fprintf(out, "\n};\n\n");
}

FILE* openOrDie(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        std::perror(path.c_str());
        std::exit(1);
    }
    return f;
}

void writeRaw(const std::string& path, const Table& t)
{
    FILE* f = openOrDie(path);
    std::fwrite(t.data(), sizeof(float), t.size(), f);
    std::fclose(f);
}

const char* kHeader = "// Generated by tools/data/generate_audio_tables.cpp at build time. Do not edit.\n\n"
                      "#include \"AudioTables.h\"\n\n";
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s curves|impulses|raw <output>\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1], target = argv[2];
    if (mode == "curves")
    {
        FILE* out = openOrDie(target);
        std::fputs(kHeader, out);
        writeArray(out, "kPreampCurve", makeCurve(preampSpec()));
        writeArray(out, "kPowerAmpCurve", makeCurve(powerAmpSpec()));
        std::fclose(out);
    }
    else if (mode == "impulses")
    {
        FILE* out = openOrDie(target);
        std::fputs(kHeader, out);
        std::fputs("namespace\n{\n", out);
        for (const ImpulseSpec& s : kImpulseSpecs)
        {
            const Table t = s.name[4] == '1' ? renderRoom(s) : renderSpring(s);
            writeArray(out, (std::string("k") + s.name).c_str(), t);
        }
        std::fputs("}  // namespace\n\n", out);
        std::fputs("const ImpulseResponse kReverbImpulseType1[2] = {{kType1_44100, 63932}, {kType1_48000, 69584}};\n"
                   "const ImpulseResponse kReverbImpulseType2[2] = {{kType2_44100, 82778}, {kType2_48000, 90596}};\n",
                   out);
        std::fclose(out);
    }
    else if (mode == "raw")
    {
        writeRaw(target + "/preamp.f32", makeCurve(preampSpec()));
        writeRaw(target + "/poweramp.f32", makeCurve(powerAmpSpec()));
        for (const ImpulseSpec& s : kImpulseSpecs)
            writeRaw(target + "/" + s.name + ".f32", s.name[4] == '1' ? renderRoom(s) : renderSpring(s));
    }
    else
    {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    }
    return 0;
}
