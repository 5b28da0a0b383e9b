#include <gtest/gtest.h>

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "ComplexFft.h"
#include "DspRoutineForms.h"
#include "FloatingPointModes.h"
#include "TestSignals.h"

namespace
{
constexpr int kMaxPoints = 131072;

struct Tables
{
    std::vector<int32_t> ip = std::vector<int32_t>(kMaxPoints * 2, 0);
    std::vector<float> w = std::vector<float>(kMaxPoints * 2, 0.0f);
    void build(int N)
    {
        std::fill(ip.begin(), ip.end(), 0);
        std::fill(w.begin(), w.end(), 0.0f);
        complexFftMakeTwiddles(N / 2, ip.data(), w.data());
    }
};

void forward(Tables& t, std::vector<float>& a, int N)
{
    complexFftBitReverse(2 * N, t.ip.data() + 2, a.data());
    complexFftForward(2 * N, a.data(), t.w.data());
}

void inverse(Tables& t, std::vector<float>& a, int N) { complexFftInverse(2 * N, a.data(), t.ip.data(), t.w.data()); }

// Relative RMS error of `got` against `ref`.
double relativeRms(const std::vector<float>& got, const std::vector<double>& ref)
{
    double e = 0.0, r = 0.0;
    for (size_t i = 0; i < ref.size(); ++i)
    {
        e += (double(got[i]) - ref[i]) * (double(got[i]) - ref[i]);
        r += ref[i] * ref[i];
    }
    return std::sqrt(e / r);
}

TEST(ComplexFft, TablesForEightPoints)
{
    Tables t;
    t.build(8);
    EXPECT_EQ(t.ip[0], 4);
    EXPECT_EQ(t.ip[1], 1);
    EXPECT_EQ(t.w[0], 1.0f);
    EXPECT_EQ(t.w[1], 0.0f);
    EXPECT_EQ(t.w[2], 0.707106769f);
    EXPECT_EQ(t.w[3], 0.707106769f);
}

TEST(ComplexFft, SmallSizesSetOnlyTheHeader)
{
    for (int N : { 2, 4 })
    {
        Tables t;
        t.w[0] = 42.0f;
        complexFftMakeTwiddles(N / 2, t.ip.data(), t.w.data());
        EXPECT_EQ(t.ip[0], N / 2);
        EXPECT_EQ(t.ip[1], 1);
        EXPECT_EQ(t.w[0], 42.0f);
    }
}

TEST(ComplexFft, FourPointClosedForm)
{
    Tables t;
    t.build(4);
    const float x[4] = { 3.0f, -1.0f, 0.5f, 2.0f };
    std::vector<float> a = { x[0], 0, x[1], 0, x[2], 0, x[3], 0 };
    forward(t, a, 4);
    EXPECT_EQ(a[0], x[0] + x[1] + x[2] + x[3]);
    EXPECT_EQ(a[2], x[0] - x[2]);
    EXPECT_EQ(a[3], x[1] - x[3]);
    EXPECT_EQ(a[4], (x[0] + x[2]) - (x[1] + x[3]));
    EXPECT_EQ(a[6], x[0] - x[2]);
    EXPECT_EQ(a[7], -(x[1] - x[3]));
    EXPECT_EQ(a[1], 0.0f);
    EXPECT_EQ(a[5], 0.0f);
}

TEST(ComplexFft, UnitImpulses)
{
    Tables t;
    std::vector<float> a(2 * 1024, 0.0f);
    for (int N : { 2, 8, 32, 1024 })
    {
        t.build(N);
        a.resize(2 * N);
        for (int dir = 0; dir < 2; ++dir)
        {
            std::fill(a.begin(), a.end(), 0.0f);
            a[0] = 1.0f;
            dir == 0 ? forward(t, a, N) : inverse(t, a, N);
            for (int k = 0; k < N; ++k)
            {
                ASSERT_EQ(a[2 * k], 1.0f) << N << " dir " << dir << " bin " << k;
                ASSERT_EQ(a[2 * k + 1], 0.0f) << N << " dir " << dir << " bin " << k;
            }
            std::fill(a.begin(), a.end(), 0.0f);
            a[2] = 1.0f;  // point 1
            dir == 0 ? forward(t, a, N) : inverse(t, a, N);
            const double sign = dir == 0 ? 1.0 : -1.0;
            for (int k = 0; k < N; ++k)
            {
                const double ang = sign * 2.0 * M_PI * k / N;
                ASSERT_NEAR(a[2 * k], std::cos(ang), 1e-6) << N << " bin " << k;
                ASSERT_NEAR(a[2 * k + 1], std::sin(ang), 1e-6) << N << " bin " << k;
            }
        }
    }
}

// Double-precision DFT with the sign convention of each direction.
TEST(ComplexFft, MatchesDoubleDftForSmallSizes)
{
    Tables t;
    for (int N = 2; N <= 2048; N *= 2)
    {
        t.build(N);
        const auto x = noise(2 * N, static_cast<unsigned>(N));
        for (int dir = 0; dir < 2; ++dir)
        {
            const double sign = dir == 0 ? 1.0 : -1.0;
            std::vector<double> ref(2 * N);
            for (int k = 0; k < N; ++k)
            {
                std::complex<double> s = 0.0;
                for (int j = 0; j < N; ++j)
                {
                    const double ang = sign * 2.0 * M_PI * double((int64_t(j) * k) % N) / N;
                    s += std::complex<double>(x[2 * j], x[2 * j + 1]) * std::polar(1.0, ang);
                }
                ref[2 * k] = s.real();
                ref[2 * k + 1] = s.imag();
            }
            auto a = x;
            dir == 0 ? forward(t, a, N) : inverse(t, a, N);
            EXPECT_LT(relativeRms(a, ref), 1e-6) << "N = " << N << " dir " << dir;
        }
    }
}

// FFTW's single-precision transform as the reference for every size the system uses.
// Its FFTW_BACKWARD has our forward sign (+), FFTW_FORWARD our inverse sign (-).
TEST(ComplexFft, MatchesFftwForEverySize)
{
    Tables t;
    fftwf_complex* buf = fftwf_alloc_complex(kMaxPoints);
    for (int N = 2; N <= kMaxPoints; N *= 2)
    {
        t.build(N);
        const auto x = noise(2 * N, static_cast<unsigned>(N) + 17);
        for (int dir = 0; dir < 2; ++dir)
        {
            fftwf_plan plan = fftwf_plan_dft_1d(N, buf, buf, dir == 0 ? FFTW_BACKWARD : FFTW_FORWARD, FFTW_ESTIMATE);
            for (int i = 0; i < N; ++i)
            {
                buf[i][0] = x[2 * i];
                buf[i][1] = x[2 * i + 1];
            }
            fftwf_execute(plan);
            std::vector<double> ref(2 * N);
            for (int i = 0; i < N; ++i)
            {
                ref[2 * i] = buf[i][0];
                ref[2 * i + 1] = buf[i][1];
            }
            fftwf_destroy_plan(plan);
            auto a = x;
            dir == 0 ? forward(t, a, N) : inverse(t, a, N);
            // Both are single precision: their difference stays at a few units of rounding.
            EXPECT_LT(relativeRms(a, ref), 1e-6) << "N = " << N << " dir " << dir;
        }
    }
    fftwf_free(buf);
}

TEST(ComplexFft, ForwardThenInverseGivesNTimesTheInput)
{
    Tables t;
    for (int N = 2; N <= kMaxPoints; N *= 2)
    {
        t.build(N);
        const auto x = noise(2 * N, static_cast<unsigned>(N) + 99);
        auto a = x;
        forward(t, a, N);
        inverse(t, a, N);
        std::vector<double> ref(2 * N);
        for (int i = 0; i < 2 * N; ++i)
            ref[i] = double(x[i]) * N;
        EXPECT_LT(relativeRms(a, ref), 1e-6) << "N = " << N;
    }
}
}  // namespace

// The inverse transforms in lanes of every lane form (four, eight or sixteen side by side), whole
// or one piece per call, give, lane by lane, the bits of the plain inverse transform, for every
// size and under both floating-point modes (the data includes denormals, -0 and zeros).
TEST(ComplexFft, InverseInLanesMatchesThePlainInverse)
{
    using brondavell::test::routinesName;
    for (const DspRoutines routines : brondavell::test::runnableRoutines())
        for (const bool inPieces : { false, true })
        {
            if (routines == DspRoutines::plain)
                continue;
            for (const auto& mode : kFloatingPointModes)
            {
                const ScopedFloatingPointMode fpMode(mode);
                for (int N = 2; N <= 32768; N *= 2)
                {
                const int n = 2 * N;
                const auto W = static_cast<size_t>(complexFftLanes(routines));
                std::vector<int32_t> ip(static_cast<size_t>(N) + 2, 0);
                std::vector<float> w(static_cast<size_t>(N), 0.0f);
                complexFftMakeTwiddles(N / 2, ip.data(), w.data());
                std::vector<std::vector<float>> plain(W);
                std::vector<float> lanes(W * static_cast<size_t>(n));
                for (size_t q = 0; q < W; ++q)
                {
                    plain[q] = noise(static_cast<size_t>(n), static_cast<unsigned>(N * 8 + q));
                    plain[q][q % static_cast<size_t>(n)] = 1e-39f;
                    plain[q][static_cast<size_t>(n - 1)] = q == 1 ? -0.0f : 3e-38f;
                    for (size_t i = 0; i < static_cast<size_t>(n); ++i)
                        lanes[W * i + q] = plain[q][i];
                }
                if (inPieces)
                    for (int piece = 0; piece < complexFftInversePieceCount(n); ++piece)
                        complexFftInversePiecesInLanes(routines, n, lanes.data(), ip.data(), w.data(), piece,
                                                       piece + 1);
                else
                    complexFftInverseInLanes(routines, n, lanes.data(), ip.data(), w.data());
                for (size_t q = 0; q < W; ++q)
                {
                    complexFftInverse(n, plain[q].data(), ip.data(), w.data());
                    for (size_t i = 0; i < static_cast<size_t>(n); ++i)
                        ASSERT_EQ(bitsOf(plain[q][i]), bitsOf(lanes[W * i + q]))
                            << routinesName(routines) << (inPieces ? " in pieces, " : ", ") << W << " lanes, "
                            << mode.name << ", N " << N << ", lane " << q << ", float " << i;
                }
            }
            }
        }
}

// One transform in split layout, forward and inverse, one butterfly at a time (plain) or
// neighbouring butterflies side by side in the lanes of every lane form, run piece by piece, gives
// the interleaved transform's bits, for every size and under both floating-point modes.
TEST(ComplexFft, SplitLayoutMatchesTheInterleavedTransform)
{
    for (const DspRoutines routines : brondavell::test::runnableRoutines())
        for (const bool inverse : { false, true })
            for (const auto& mode : kFloatingPointModes)
            {
                const ScopedFloatingPointMode fpMode(mode);
                for (int N = 2; N <= 32768; N *= 2)
                {
                    const int n = 2 * N;
                    std::vector<int32_t> ip(static_cast<size_t>(N) + 2, 0);
                    std::vector<float> w(static_cast<size_t>(N), 0.0f);
                    complexFftMakeTwiddles(N / 2, ip.data(), w.data());
                    auto interleaved = noise(static_cast<size_t>(n), static_cast<unsigned>(N * 3 + static_cast<int>(routines)));
                    interleaved[1] = 1e-39f;
                    interleaved[static_cast<size_t>(n - 2)] = -0.0f;
                    std::vector<float> split(static_cast<size_t>(n));
                    for (int k = 0; k < N; ++k)
                    {
                        split[static_cast<size_t>(k)] = interleaved[static_cast<size_t>(2 * k)];
                        split[static_cast<size_t>(N + k)] = interleaved[static_cast<size_t>(2 * k + 1)];
                    }
                    if (inverse)
                    {
                        complexFftInverse(n, interleaved.data(), ip.data(), w.data());
                    }
                    else
                    {
                        complexFftBitReverse(n, ip.data() + 2, interleaved.data());
                        complexFftForward(n, interleaved.data(), w.data());
                    }
                    for (int piece = 0; piece < complexFftInversePieceCount(n); ++piece)
                        complexFftSplitPieces(routines, n, split.data(), ip.data(), w.data(), piece, piece + 1, inverse);
                    for (int k = 0; k < N; ++k)
                        for (int part = 0; part < 2; ++part)
                            ASSERT_EQ(bitsOf(interleaved[static_cast<size_t>(2 * k + part)]),
                                      bitsOf(split[static_cast<size_t>(part * N + k)]))
                                << brondavell::test::routinesName(routines) << (inverse ? ", inverse, " : ", forward, ") << mode.name << ", N "
                                << N << ", point " << k << ", part " << part;
                }
            }
}
