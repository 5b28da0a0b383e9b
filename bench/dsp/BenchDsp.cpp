// Timing of the DSP building blocks. The counter "per_sample" (or "per_call", "per_fft") is
// the time per processed sample (call, transform); "n" in its unit means nanoseconds.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "AudioTables.h"
#include "BiquadCascade.h"
#include "BlockResampler.h"
#include "ComplexFft.h"
#include "ConvolutionReverb.h"
#include "OnePoleFilter.h"
#include "TestSignals.h"
#include "ToneStack.h"

namespace
{
benchmark::Counter perItem(double items)
{
    return benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Feeds fresh noise each iteration from a long buffer so the filters see a real signal.
struct Feed
{
    std::vector<float> source = noise(1 << 16, 1);
    std::vector<float> block;
    size_t at = 0;
    explicit Feed(int n) : block(static_cast<size_t>(n)) {}
    float* next()
    {
        if (at + block.size() > source.size())
            at = 0;
        std::memcpy(block.data(), source.data() + at, block.size() * sizeof(float));
        at += block.size();
        return block.data();
    }
};

void BM_OnePole(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    OnePoleFilter f{};
    onePoleFilterSetUp(f, state.range(1) != 0, 1000.0f, 48000.0f);
    Feed feed(n);
    for (auto _ : state)
    {
        float* x = feed.next();
        onePoleFilterProcess(f, x, n);
        benchmark::DoNotOptimize(x);
    }
    state.counters["per_sample"] = perItem(n);
}
BENCHMARK(BM_OnePole)->ArgNames({ "block", "lowpass" })->ArgsProduct({ { 64, 512 }, { 1, 0 } });

// The form of a case's "form" argument (the index in DspRoutines: 0 plain, 1 baseline, 2 avx,
// 3 avx2, 4 avx512); a form that cannot run here is marked skipped.
bool skipUnlessRuns(benchmark::State& state, DspRoutines routines)
{
    if (dspRoutinesRun(routines))
        return false;
    state.SkipWithError("the processor lacks its instruction set");
    return true;
}

void BM_Cascade25(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto routines = static_cast<DspRoutines>(state.range(1));
    if (skipUnlessRuns(state, routines))
        return;
    static float sos[25 * 6];
    static float scale[26];
    for (int s = 0; s < 25; ++s)
    {
        const BiquadTable& t = (s / 10) % 2 == 0 ? kResampler2Filter : kResampler4Filter;
        std::memcpy(sos + 6 * s, t.sos + 6 * (s % 10), 6 * sizeof(float));
        scale[s] = 1.0f;
    }
    scale[25] = 0.6f;
    BiquadCascade c{};
    biquadCascadeBind(c, sos, scale, 25);
    Feed feed(n);
    for (auto _ : state)
    {
        float* x = feed.next();
        biquadCascadeProcess(c, x, n, routines);
        benchmark::DoNotOptimize(x);
    }
    state.counters["per_sample"] = perItem(n);
}
BENCHMARK(BM_Cascade25)->ArgNames({ "block", "form" })->ArgsProduct({ { 64, 512 }, { 0, 1, 2, 3, 4 } });

// Block length is the input length; per_sample counts the samples at the higher rate.
void BM_Resampler(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int factor = static_cast<int>(state.range(1));
    const bool down = state.range(2) != 0;
    auto r = std::make_unique<BlockResampler>();
    blockResamplerInit(*r, factor, down ? 1 : 0);
    Feed feed(n);
    for (auto _ : state)
    {
        SignalBlock block{ feed.next(), n, 48000 };
        blockResamplerProcess(*r, block, dspFastestRoutines());
        benchmark::DoNotOptimize(block.data);
    }
    state.counters["per_sample"] = perItem(down ? n : n * factor);
}
BENCHMARK(BM_Resampler)->ArgNames({ "block", "factor", "down" })->ArgsProduct({ { 64, 512 }, { 2, 4 }, { 1, 0 } });

void BM_ToneStack(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    auto s = std::make_unique<ToneStack>();
    toneStackConstruct(*s);
    toneStackPrepare(*s, 48000.0f);
    toneStackSetControls(*s, 0.5f, 0.5f, 0.5f);
    Feed feed(n);
    for (auto _ : state)
    {
        float* x = feed.next();
        toneStackProcess(*s, x, n);
        benchmark::DoNotOptimize(x);
    }
    state.counters["per_sample"] = perItem(n);
}
BENCHMARK(BM_ToneStack)->ArgName("block")->Arg(64)->Arg(512);

// The FFT's work tables for N points.
struct FftTables
{
    std::vector<int32_t> ip;
    std::vector<float> w;
    explicit FftTables(int N) : ip(static_cast<size_t>(N), 0), w(static_cast<size_t>(N), 0.0f)
    {
        complexFftMakeTwiddles(N / 2, ip.data(), w.data());
    }
};

void BM_FftForward(benchmark::State& state)
{
    const int N = static_cast<int>(state.range(0));
    FftTables t(N);
    const auto x = noise(static_cast<size_t>(2 * N), 2);
    auto a = x;
    for (auto _ : state)
    {
        complexFftBitReverse(2 * N, t.ip.data() + 2, a.data());
        complexFftForward(2 * N, a.data(), t.w.data());
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.counters["per_fft"] = perItem(1);
}
BENCHMARK(BM_FftForward)->ArgName("N")->RangeMultiplier(2)->Range(256, 16384);

void BM_FftInverse(benchmark::State& state)
{
    const int N = static_cast<int>(state.range(0));
    FftTables t(N);
    auto a = noise(static_cast<size_t>(2 * N), 3);
    for (auto _ : state)
    {
        complexFftInverse(2 * N, a.data(), t.ip.data(), t.w.data());
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.counters["per_fft"] = perItem(1);
}
BENCHMARK(BM_FftInverse)->ArgName("N")->RangeMultiplier(2)->Range(256, 16384);

// Inverse transforms side by side in the lanes of a form (4, 8 or 16); per_fft is per lane.
void BM_FftInverseLanes(benchmark::State& state)
{
    const int N = static_cast<int>(state.range(0));
    const auto routines = static_cast<DspRoutines>(state.range(1));
    if (skipUnlessRuns(state, routines))
        return;
    const int width = complexFftLanes(routines);
    FftTables t(N);
    auto a = noise(static_cast<size_t>(2 * N * width), 3);
    for (auto _ : state)
    {
        complexFftInverseInLanes(routines, 2 * N, a.data(), t.ip.data(), t.w.data());
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(width) + " lanes");
    state.counters["per_fft"] = perItem(width);
}

BENCHMARK(BM_FftInverseLanes)->ArgNames({ "N", "form" })->ArgsProduct({ { 1024, 2048, 4096 }, { 1, 2, 3, 4 } });

// One transform in split layout, neighbouring butterflies side by side in a form's lanes.
void BM_FftSplit(benchmark::State& state)
{
    const int N = static_cast<int>(state.range(0));
    const auto routines = static_cast<DspRoutines>(state.range(1));
    if (skipUnlessRuns(state, routines))
        return;
    FftTables t(N);
    auto a = noise(static_cast<size_t>(2 * N), 3);
    const int pieces = complexFftInversePieceCount(2 * N);
    for (auto _ : state)
    {
        complexFftSplitPieces(routines, 2 * N, a.data(), t.ip.data(), t.w.data(), 0, pieces, true);
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.counters["per_fft"] = perItem(1);
}
BENCHMARK(BM_FftSplit)->ArgNames({ "N", "form" })->ArgsProduct({ { 1024, 2048, 4096 }, { 0, 1, 2, 3, 4 } });

void BM_FftwfForward(benchmark::State& state)
{
    const int N = static_cast<int>(state.range(0));
    fftwf_complex* a = fftwf_alloc_complex(static_cast<size_t>(N));
    fftwf_plan plan = fftwf_plan_dft_1d(N, a, a, FFTW_BACKWARD, FFTW_MEASURE);
    const auto x = noise(static_cast<size_t>(2 * N), 2);
    for (int i = 0; i < N; ++i)
    {
        a[i][0] = x[2 * i];
        a[i][1] = x[2 * i + 1];
    }
    for (auto _ : state)
    {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(a);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(a);
    state.counters["per_fft"] = perItem(1);
}
BENCHMARK(BM_FftwfForward)->ArgName("N")->RangeMultiplier(2)->Range(256, 16384);

struct ReverbCase
{
    int f, h, b;
};
const ReverbCase kReverbCases[] = {
    { 15983, 2, 128 }, { 31966, 2, 256 }, { 20694, 2, 128 }, { 15983, 16, 16 },
    { 22649, 4, 64 },  { 45298, 2, 256 }, { 22649, 1, 256 }, { 41389, 1, 1024 },
};

// One call per iteration; over h iterations the cost of a whole step is averaged.
void BM_ConvolutionReverb(benchmark::State& state)
{
    const ReverbCase& c = kReverbCases[state.range(0)];
    const auto routines = static_cast<DspRoutines>(state.range(1));
    if (skipUnlessRuns(state, routines))
        return;
    auto ir = noise(static_cast<size_t>(c.f), 4);
    for (int i = 0; i < c.f; ++i)
        ir[i] *= std::exp(-3.0f * float(i) / float(c.f));
    auto e = std::make_unique<ConvolutionReverb>();
    if (!convolutionReverbConfigure(*e, ir.data(), c.f, c.b, c.h, kFftSizeCosts, routines))
    {
        state.SkipWithError("configuration failed");
        return;
    }
    Feed feed(c.b);
    for (auto _ : state)
    {
        float* x = feed.next();
        convolutionReverbProcess(*e, x, routines);
        benchmark::DoNotOptimize(x);
    }
    state.SetLabel("f=" + std::to_string(c.f) + " h=" + std::to_string(c.h) + " b=" + std::to_string(c.b)
                   + " E=" + std::to_string(e->fftSize));
    state.counters["per_call"] = perItem(1);
    state.counters["per_sample"] = perItem(c.b);
}
BENCHMARK(BM_ConvolutionReverb)->ArgNames({ "example", "form" })->ArgsProduct({ { 0, 1, 2, 3, 4, 5, 6, 7 }, { 0, 1, 2, 3, 4 } });

void BM_ConvolutionConfigure(benchmark::State& state)
{
    const ReverbCase& c = kReverbCases[state.range(0)];
    const auto ir = noise(static_cast<size_t>(c.f), 5);
    auto e = std::make_unique<ConvolutionReverb>();
    for (auto _ : state)
        benchmark::DoNotOptimize(convolutionReverbConfigure(*e, ir.data(), c.f, c.b, c.h, kFftSizeCosts, dspFastestRoutines()));
}
BENCHMARK(BM_ConvolutionConfigure)->ArgName("example")->DenseRange(0, 7)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
