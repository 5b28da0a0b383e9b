// The engine's configuration against its first, single-routine form, kept here as the reference:
// over the built-in responses' lengths and many block lengths, configured one after another on
// an engine that has been playing, both must leave every field the engine reads bit for bit the
// same, and the engine must then give the same output. The configurations take turns with the
// plain, four-lane and eight-lane routines, which transform the partitions in different ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "AudioTables.h"
#include "ComplexFft.h"
#include "ConvolutionReverb.h"
#include "DspRoutineForms.h"
#include "TestSignals.h"

namespace
{
// The configuration as it was first written, one routine from start to end.
bool referenceConfigure(ConvolutionReverb& state, const float* impulse, int32_t impulseLength, int32_t blockLength,
                        int32_t blocksPerStep, const FftSizeCosts& table)
{
    ConvolutionReverb& s = state;
    std::memset(s.accumulator, 0, sizeof(s.accumulator));
    s.ready = 0;

    // Sizes and counters.
    const int32_t f = impulseLength;
    const int64_t h = blocksPerStep;
    const int64_t b = blockLength;
    const int64_t L = h * b;
    s.impulseLength = f;
    s.blockLength = blockLength;
    s.stepLength = L;
    s.blocksPerStep = h;
    s.blocksGathered = 0;
    s.outputBlockIndex = 0;
    s.lanesCount = 0;
    if (L > kConvStepCapacity)
        return false;
    std::memset(s.gatherBuffer, 0, sizeof(float) * static_cast<size_t>(L));
    std::memset(s.outputBuffer, 0, sizeof(float) * static_cast<size_t>(L));
    std::memset(s.handoverBuffer, 0, sizeof(float) * static_cast<size_t>(L));

    // FFT size: the cheapest qualifying size by cost weight x partition count; on equal cost
    // the earlier (smaller) size stays.
    s.fftSize = static_cast<int32_t>(L);
    s.partitionLength = 1;
    float best = 7583333376.0f;
    for (int row = 0; row < kFftSizeCount; ++row)
    {
        const int64_t size = table.sizes[row];
        const int64_t P = size + 1 - L;
        if (!(P > 0 && P < f))
            continue;
        if ((f / P + 1) / h < 1)
            continue;
        const float cost =
            static_cast<float>(table.costs[row]) * std::ceil(static_cast<float>(f) / static_cast<float>(P));
        if (cost < best)
        {
            best = cost;
            s.fftSize = static_cast<int32_t>(size);
            s.partitionLength = static_cast<int32_t>(P);
        }
    }
    if (s.partitionLength == 1)
        return false;

    // Capacities of the record: a partitioning that does not fit leaves the engine off.
    const int32_t E = s.fftSize;
    const int32_t F = s.partitionLength;
    const int64_t nParts = f / F + 1;
    if (2 * static_cast<int64_t>(E) > kConvSpectrumCapacity
        || static_cast<int64_t>(f) + 2 * static_cast<int64_t>(E) > kConvAccumulatorCapacity
        || nParts * 2 * static_cast<int64_t>(E) > kConvSpectraCapacity)
        return false;

    // Partition spectra; the FFT tables are built before the first partition's transform.
    s.partitionsPerCall = static_cast<int32_t>(nParts / h);
    s.inverseScale = 1.0f / static_cast<float>(E);
    std::memset(s.partitionWork, 0, sizeof(float) * static_cast<size_t>(2 * E));
    for (int32_t j = 0; j < nParts; ++j)
    {
        const int32_t start = j * F;
        int32_t count = j < nParts - 1 ? F : f - start;
        // With b = 0 a partition is one sample longer than the transform: only its first E
        // samples enter the spectrum.
        if (count > E)
            count = E;
        float* work = s.partitionWork;
        for (int32_t i = 0; i < count; ++i)
        {
            work[2 * i] = impulse[start + i];
            work[2 * i + 1] = 0.0f;
        }
        for (int32_t i = count; i < E; ++i)
        {
            work[2 * i] = 0.0f;
            work[2 * i + 1] = 0.0f;
        }
        if (j == 0)
        {
            std::memset(s.bitReversalTable, 0, sizeof(int32_t) * static_cast<size_t>(2 * E));
            std::memset(s.twiddleTable, 0, sizeof(float) * static_cast<size_t>(2 * E));
            if (4 * s.bitReversalTable[0] < 2 * E)
                complexFftMakeTwiddles(E / 2, s.bitReversalTable, s.twiddleTable);
        }
        if (E > 2)
            complexFftBitReverse(2 * E, s.bitReversalTable + 2, work);
        complexFftForward(2 * E, work, s.twiddleTable);
        std::memcpy(s.partitionSpectra + static_cast<int64_t>(j) * 2 * E, work,
                    sizeof(float) * static_cast<size_t>(2 * E));
    }

    // Nothing to add for the silent starting spectrum, whose transform is done.
    s.nextAdd = static_cast<int32_t>(nParts);
    s.forwardPieces = complexFftInversePieceCount(2 * E);

    std::memset(s.inputSpectrum, 0, sizeof(float) * static_cast<size_t>(2 * E));
    std::memset(s.accumulator, 0, sizeof(float) * static_cast<size_t>(f + 2 * E));
    s.ready = 1;
    return true;
}

// Every field that convolutionReverbProcess reads, or that a later configuration starts from,
// compared bit for bit; names the first that differs.
std::string firstDifference(const ConvolutionReverb& x, const ConvolutionReverb& y)
{
    const auto same = [](const void* a, const void* b, size_t bytes) { return std::memcmp(a, b, bytes) == 0; };
#define BRONDAVELL_COMPARE_FIELD(field)                                                                                \
    if (!same(&x.field, &y.field, sizeof(x.field)))                                                                    \
        return #field;
    BRONDAVELL_COMPARE_FIELD(ready)
    BRONDAVELL_COMPARE_FIELD(impulseLength)
    BRONDAVELL_COMPARE_FIELD(blockLength)
    BRONDAVELL_COMPARE_FIELD(fftSize)
    BRONDAVELL_COMPARE_FIELD(partitionLength)
    BRONDAVELL_COMPARE_FIELD(blocksPerStep)
    BRONDAVELL_COMPARE_FIELD(stepLength)
    BRONDAVELL_COMPARE_FIELD(outputBlockIndex)
    BRONDAVELL_COMPARE_FIELD(blocksGathered)
    BRONDAVELL_COMPARE_FIELD(accumulator)
    BRONDAVELL_COMPARE_FIELD(gatherBuffer)
    BRONDAVELL_COMPARE_FIELD(outputBuffer)
    BRONDAVELL_COMPARE_FIELD(handoverBuffer)
    if (x.ready != 1)
        return {};
    BRONDAVELL_COMPARE_FIELD(partitionsPerCall)
    BRONDAVELL_COMPARE_FIELD(inverseScale)
    BRONDAVELL_COMPARE_FIELD(nextAdd)
    BRONDAVELL_COMPARE_FIELD(forwardPieces)
#undef BRONDAVELL_COMPARE_FIELD
    const auto floats = static_cast<size_t>(2 * x.fftSize);
    const auto spectra = static_cast<size_t>(x.impulseLength / x.partitionLength + 1) * floats;
    if (!same(x.partitionSpectra, y.partitionSpectra, sizeof(float) * spectra))
        return "partitionSpectra";
    if (!same(x.inputSpectrum, y.inputSpectrum, sizeof(float) * floats))
        return "inputSpectrum";
    if (!same(x.bitReversalTable, y.bitReversalTable, sizeof(int32_t) * floats))
        return "bitReversalTable";
    if (!same(x.twiddleTable, y.twiddleTable, sizeof(float) * floats))
        return "twiddleTable";
    return {};
}

struct Configuration
{
    const ImpulseResponse* source;
    int32_t factor;  // the reverb set-up's decimation factor: f = length / factor
    int32_t a;       // block length at the base rate
    const FftSizeCosts* table;
};

// The built-in sizes with costs that double from size to size, like the sizes: neighbouring sizes
// then often cost the same, which tests the rule for equal costs.
FftSizeCosts doublingCosts()
{
    FftSizeCosts doubling = kFftSizeCosts;
    for (int row = 0; row < kFftSizeCount; ++row)
        doubling.costs[row] = 1 << row;
    return doubling;
}

std::string describe(const Configuration& c)
{
    return "f " + std::to_string(c.source->length / c.factor) + ", a " + std::to_string(c.a) + ", factor "
        + std::to_string(c.factor) + (c.table == &kFftSizeCosts ? "" : ", doubling costs");
}

// Block lengths at the base rate: every one up to 64 (accumulate mode with many calls per step,
// the partitionings that nearly fill the spectra, the capacity refusals, b = 0), the edges of the
// modes, and a spread over the rest up to 8192.
std::vector<int32_t> blockLengths()
{
    std::vector<int32_t> lengths;
    for (int32_t a = 1; a <= 64; ++a)
        lengths.push_back(a);
    for (const int32_t a : { 511, 512, 513, 1023, 1024, 1025, 2048, 4096, 8191, 8192 })
        lengths.push_back(a);
    std::mt19937 random(5);
    std::uniform_int_distribution<int32_t> spread(65, 8192);
    for (int i = 0; i < 24; ++i)
        lengths.push_back(spread(random));
    return lengths;
}

TEST(ConvolutionConfigureTest, MatchesTheReferenceBitForBit)
{
    const FftSizeCosts doubling = doublingCosts();
    std::vector<Configuration> configurations;
    for (const auto* responses : { kReverbImpulseType1, kReverbImpulseType2 })
        for (const int rate : { kBaseRate44100, kBaseRate48000 })
            for (const int32_t factor : { 2, 4 })
                for (const int32_t a : blockLengths())
                    configurations.push_back({ &responses[rate], factor, a, a % 5 == 0 ? &doubling : &kFftSizeCosts });
    // One engine runs through them all in a shuffled order, so each configuration starts from
    // what another one left behind.
    std::shuffle(configurations.begin(), configurations.end(), std::mt19937(9));

    const auto engine = std::make_unique<ConvolutionReverb>();
    const auto reference = std::make_unique<ConvolutionReverb>();
    const auto input = noise(8 * 8192, 3);
    std::vector<float> block(8192), referenceBlock(8192);
    const std::vector<DspRoutines> routines = brondavell::test::runnableRoutines();
    int ready = 0;
    for (size_t index = 0; index < configurations.size(); ++index)
    {
        const Configuration& c = configurations[index];
        const DspRoutines form = routines[index % routines.size()];
        SCOPED_TRACE(describe(c) + ", routines " + brondavell::test::routinesName(form));
        const int32_t f = c.source->length / c.factor;
        const int32_t h = std::min(128, std::max(1, 1024 / c.a));
        const int32_t b = c.a / c.factor;
        const bool configured = convolutionReverbConfigure(*engine, c.source->samples, f, b, h, *c.table, form);
        ASSERT_EQ(configured, referenceConfigure(*reference, c.source->samples, f, b, h, *c.table));
        ASSERT_EQ(firstDifference(*engine, *reference), "");
        if (!configured)
            continue;
        ++ready;

        // A whole step and the calls after its completing call, which add the step's first
        // partitions (in direct mode, three calls).
        for (int call = 0; call < h + 2; ++call)
        {
            const size_t at = static_cast<size_t>(call * b) % (input.size() - 8192);
            std::copy_n(input.begin() + static_cast<long>(at), b, block.begin());
            std::copy_n(input.begin() + static_cast<long>(at), b, referenceBlock.begin());
            convolutionReverbProcess(*engine, block.data(), form);
            convolutionReverbProcess(*reference, referenceBlock.data(), form);
            ASSERT_EQ(std::memcmp(block.data(), referenceBlock.data(), sizeof(float) * static_cast<size_t>(b)), 0)
                << "call " << call;
        }
    }
    // The table above reaches the engine's off paths and a good share of usable partitionings.
    EXPECT_GT(ready, static_cast<int>(configurations.size()) / 2);
}
}
