#include "ConvolutionReverb.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ComplexFft.h"
#include "FloatLanes.h"
#include "LaneForms.h"
#include "Quantise.h"

namespace
{
inline int32_t partitionCount(const ConvolutionReverb& s) { return s.impulseLength / s.partitionLength + 1; }

bool plainForm(const ConvolutionReverb& s) { return s.routines == DspRoutines::plain; }

// The batch routines of a lane width: the form's widest, or four lanes.
const DspBatchForms& batchForms(const ConvolutionReverb& s, int32_t width)
{
    const DspLaneForms& forms = dspLaneForms(s.routines);
    return width == forms.wide.width ? forms.wide : forms.narrow;
}

// Writes n real samples into inputSpectrum as complex values in split layout and zero-pads to
// E points, for the forward transform (none of its pieces done yet).
void loadInput(ConvolutionReverb& s, const float* x, int32_t n)
{
    const int32_t E = s.fftSize;
    float* spec = s.inputSpectrum;
    std::memcpy(spec, x, sizeof(float) * static_cast<size_t>(n));
    std::memset(spec + n, 0, sizeof(float) * static_cast<size_t>(2 * E - n));
    s.forwardPieces = 0;
    s.lanesCount = 0;  // products of the previous spectrum are of no further use
}

// Runs the forward transform's pieces [forwardPieces, end), neighbouring butterflies side by side
// in the lanes of the selected routines.
void runForwardPieces(ConvolutionReverb& s, int32_t end)
{
    complexFftSplitPieces(s.routines, 2 * s.fftSize, s.inputSpectrum, s.bitReversalTable, s.twiddleTable,
                          s.forwardPieces, end, false);
    s.forwardPieces = end;
}

// Runs the forward transform's pieces that are left. The plain form runs a whole transform as the
// interleaved one in productBuffer (no partition product is pending before the transform is
// done) and puts the result in split layout.
void finishForwardTransform(ConvolutionReverb& s)
{
    const int32_t E = s.fftSize;
    if (s.forwardPieces > 0 || !plainForm(s))
    {
        runForwardPieces(s, complexFftInversePieceCount(2 * E));
        return;
    }
    float* spec = s.inputSpectrum;
    float* work = s.productBuffer;
    for (int32_t k = 0; k < E; ++k)
    {
        work[2 * k] = spec[k];
        work[2 * k + 1] = spec[E + k];
    }
    complexFftBitReverse(2 * E, s.bitReversalTable + 2, work);
    complexFftForward(2 * E, work, s.twiddleTable);
    for (int32_t k = 0; k < E; ++k)
    {
        spec[k] = work[2 * k];
        spec[E + k] = work[2 * k + 1];
    }
    s.lanesCount = 0;
    s.forwardPieces = complexFftInversePieceCount(2 * E);
}

// loadInput, then the whole forward transform.
void transformInput(ConvolutionReverb& s, const float* x, int32_t n)
{
    loadInput(s, x, n);
    finishForwardTransform(s);
}

// Multiplies the input spectrum with partition p, transforms back and adds the real parts,
// scaled by 1 / E, to the accumulator from `offset` on.
void addPartitionProduct(ConvolutionReverb& s, int32_t p, int32_t offset)
{
    const int32_t E = s.fftSize;
    const float* X = s.inputSpectrum;
    const float* S = s.partitionSpectra + static_cast<int64_t>(p) * 2 * E;
    float* prod = s.productBuffer;
    for (int32_t k = 0; k < E; ++k)
    {
        const float xr = X[k], xi = X[E + k];
        const float sr = S[2 * k], si = S[2 * k + 1];
        prod[2 * k] = sr * xr - si * xi;
        prod[2 * k + 1] = xi * sr + xr * si;
    }
    complexFftInverse(2 * E, prod, s.bitReversalTable, s.twiddleTable);
    s.lanesCount = 0;  // productBuffer no longer holds lanes
    const float scale = s.inverseScale;
    float* acc = s.accumulator + offset;
    for (int32_t k = 0; k < E; ++k)
        acc[k] += prod[2 * k] * scale;
}

// The lane forms: productBuffer holds a batch of up to W partition products side by side (float
// i of lane q at [W i + q]; W is the form's widest, or 4), formed and transformed back together. Each
// lane does exactly what addPartitionProduct does for its partition, in pieces: the products;
// the inverse transform's bit reversal and stages, one piece each; and the real parts, moved into
// one run of E values per lane. Only the additions into the accumulator remain.
//
// Positions: the calls that use one input spectrum add its partitions in this order: in
// accumulate mode the completing call's [(h - 1) G, nParts), then [0, (h - 1) G) in the calls
// after it, G per call; in direct mode 0 to nParts - 1. The plain form adds one group of
// positions per call and then quantises, so every accumulator entry sees its additions in
// position order with a quantisation after the last one of each group. The lane forms keep
// exactly that, but spread a step's work (batches, their pieces and the additions) evenly over
// its h calls: a group's additions may span calls, and the group's entries are quantised after
// its last one. Nothing reads those entries in between, and each step's work is done by its last
// call, before the next completing call reads the first L entries.

// The lane width for this call: the form's widest or 4, or 0 when the plain form runs.
int32_t laneWidth(const ConvolutionReverb& s)
{
    if (plainForm(s) || s.fftSize < 4)
        return 0;
    // W lanes use W times the product buffer of the plain form; the W - 1 extra stay within
    // 768 KB, so that the lanes add little to an instance's resident memory.
    const int64_t spectrum = 2 * static_cast<int64_t>(s.fftSize);
    const int64_t extraBudget = 196608;  // floats
    const DspLaneForms& forms = dspLaneForms(s.routines);
    const int32_t widths[] = { forms.wide.width, forms.narrow.width };
    for (const int32_t w : widths)
        if (w * spectrum <= kConvSpectrumCapacity && (w - 1) * spectrum <= extraBudget)
            return w;
    return 0;
}

// Positions before lateCount hold the partitions the completing call adds (all of them in
// direct mode).
int32_t lateCount(const ConvolutionReverb& s)
{
    const int32_t late = s.blocksPerStep < 2 ? 0 : static_cast<int32_t>((s.blocksPerStep - 1) * s.partitionsPerCall);
    return partitionCount(s) - late;
}

// The partition at a position.
int32_t partitionAt(const ConvolutionReverb& s, int32_t position)
{
    const int32_t late = lateCount(s);
    return position < late ? partitionCount(s) - late + position : position - late;
}

// The group of positions that one call of the plain form adds: call 0 (the completing one) adds
// [0, lateCount), call k > 0 the G positions before lateCount + k G.
int32_t groupStart(const ConvolutionReverb& s, int32_t position)
{
    const int32_t late = lateCount(s);
    const int32_t G = s.partitionsPerCall;
    return position < late ? 0 : late + (position - late) / G * G;
}

int32_t groupEnd(const ConvolutionReverb& s, int32_t position)
{
    const int32_t late = lateCount(s);
    return position < late ? late : groupStart(s, position) + s.partitionsPerCall;
}

// The lanes a batch starting at `position` takes: W, four when at most four partitions are left,
// and one (a single transform in split layout, no lanes) when at most two are left, which costs
// less than four lanes with two in use.
int32_t batchWidthAt(const ConvolutionReverb& s, int32_t position, int32_t W)
{
    const int32_t remaining = partitionCount(s) - position;
    return remaining <= 2 ? 1 : remaining <= 4 ? 4 : W;
}

// The pieces of a batch: the products, the inverse transform's pieces and, with lanes, the
// extraction of the real parts.
int32_t batchPieceCount(const ConvolutionReverb& s, int32_t width)
{
    return 1 + complexFftInversePieceCount(2 * s.fftSize) + (width > 1 ? 1 : 0);
}

// The first piece of a single-transform batch: the product of the partition at `position` with the
// input spectrum, in split layout (real parts at productBuffer, imaginary parts E floats on).
void formSingleProduct(ConvolutionReverb& s, int32_t position)
{
    const int32_t E = s.fftSize;
    const float* S = s.partitionSpectra + static_cast<int64_t>(partitionAt(s, position)) * 2 * E;
    const float* X = s.inputSpectrum;
    float* re = s.productBuffer;
    float* im = s.productBuffer + E;
    for (int32_t k = 0; k < E; ++k)
    {
        const float xr = X[k], xi = X[E + k];
        const float sr = S[2 * k], si = S[2 * k + 1];
        re[k] = sr * xr - si * xi;
        im[k] = xi * sr + xr * si;
    }
    s.lanesFirst = position;
    s.lanesCount = 1;
    s.lanesWidth = 1;
    s.lanesPieces = 1;
}

// The batch's first piece: the products of the partitions at positions first .. first + count - 1
// (count 1 to W) with the input spectrum, in W lanes (unused lanes repeat the last partition).
void formLaneProducts(ConvolutionReverb& s, int32_t first, int32_t count, int32_t W)
{
    const int32_t E = s.fftSize;
    const float* X = s.inputSpectrum;
    float* lanes = s.productBuffer;
    s.lanesFirst = first;
    s.lanesCount = count;
    s.lanesWidth = W;
    s.lanesPieces = 1;
    const float* spectra[kMaxLanes];
    for (int32_t q = 0; q < W; ++q)
        spectra[q] = s.partitionSpectra + static_cast<int64_t>(partitionAt(s, first + std::min(q, count - 1))) * 2 * E;
    batchForms(s, W).formProducts(lanes, spectra, X, X + E, E);
}

// The batch's last piece: the real parts, moved lane by lane into contiguous runs of E values at
// lanes + W E + q E.
void extractLaneRuns(ConvolutionReverb& s) { batchForms(s, s.lanesWidth).extractRuns(s.productBuffer, s.fftSize); }

// Runs the next piece of the batch after its products: a piece of the inverse transform, or the
// extraction of the real parts.
void runBatchPiece(ConvolutionReverb& s)
{
    const int32_t n = 2 * s.fftSize;
    const int32_t piece = s.lanesPieces - 1;
    if (s.lanesWidth == 1)
    {
        complexFftSplitPieces(s.routines, n, s.productBuffer, s.bitReversalTable, s.twiddleTable, piece, piece + 1,
                              true);
    }
    else if (piece < complexFftInversePieceCount(n))
    {
        batchForms(s, s.lanesWidth)
            .inversePieces(n, s.productBuffer, s.bitReversalTable, s.twiddleTable, piece, piece + 1);
    }
    else
    {
        extractLaneRuns(s);
    }
    s.lanesPieces += 1;
}

// Starts a batch at `position` (see batchWidthAt).
void startBatch(ConvolutionReverb& s, int32_t position, int32_t W)
{
    const int32_t width = batchWidthAt(s, position, W);
    if (width == 1)
        formSingleProduct(s, position);
    else
        formLaneProducts(s, position, std::min(width, partitionCount(s) - position), width);
}

// Whether productBuffer holds a batch with `position` that a call of lane width W may go on with.
bool batchHolds(const ConvolutionReverb& s, int32_t position, int32_t W)
{
    return s.lanesCount > 0 && s.lanesWidth <= W && position >= s.lanesFirst && position < s.lanesFirst + s.lanesCount;
}

// Adds the product of the partition at `position` from the complete batch, scaled by 1 / E.
void addFromLaneRun(ConvolutionReverb& s, int32_t position)
{
    const int32_t E = s.fftSize;
    const float* re = s.lanesWidth == 1
        ? s.productBuffer
        : s.productBuffer + static_cast<int64_t>(s.lanesWidth) * E + static_cast<int64_t>(position - s.lanesFirst) * E;
    float* acc = s.accumulator + static_cast<int64_t>(partitionAt(s, position)) * s.partitionLength;
    dspLaneForms(s.routines).addScaled(acc, re, s.inverseScale, E);
}

// Direct mode: every partition's product, in batches formed and completed in this call.
void addAllFromLanes(ConvolutionReverb& s, int32_t W)
{
    const int32_t nParts = partitionCount(s);
    for (int32_t position = 0; position < nParts;)
    {
        startBatch(s, position, W);
        while (s.lanesPieces < batchPieceCount(s, s.lanesWidth))
            runBatchPiece(s);
        for (; position < s.lanesFirst + s.lanesCount; ++position)
            addFromLaneRun(s, position);
    }
}

// After n samples have been taken from the front: moves the f samples behind them to the front
// and clears the 2E entries after those.
void handOver(ConvolutionReverb& s, int32_t n)
{
    const int32_t f = s.impulseLength;
    float* acc = s.accumulator;
    for (int32_t i = 0; i < f; ++i)
        acc[i] = acc[i + n];
    std::memset(acc + f, 0, sizeof(float) * static_cast<size_t>(2 * s.fftSize));
}

// Quantises accumulator entries [from, to). Quantising is idempotent ((v + 1) - 1 of a value it
// produced gives that value back), the set-up leaves the accumulator all 0 and a hand-over only
// moves entries and writes zeros. So when every group's entries are quantised after its
// additions, every other entry already holds its quantised value, and the result equals a pass
// over all the accumulator.
void quantiseAccumulator(ConvolutionReverb& s, int32_t from, int32_t to)
{
    float* acc = s.accumulator;
    if (!plainForm(s))
    {
        dspLaneForms(s.routines).quantise(acc, from, to);
        return;
    }
    for (int32_t i = from; i < to; ++i)
        acc[i] = quantiseState(acc[i]);
}

// The step's work, in rough units of half a pass of one split-layout transform over E points:
// what the completing call does before the step's work (taking the step in, the hand-over of f
// entries), a piece of the forward transform, a piece of a batch and one addition.
int32_t completingCallWork(const ConvolutionReverb& s) { return 1 + s.impulseLength / (2 * s.fftSize); }
constexpr int32_t kScalarPassWork = 2;
int32_t lanePassWork(int32_t width) { return width == 1 ? 2 : 3 * width / 4; }
constexpr int32_t kAdditionWork = 1;

int32_t stepWork(const ConvolutionReverb& s, int32_t W)
{
    const int32_t nParts = partitionCount(s);
    int32_t work =
        completingCallWork(s) + complexFftInversePieceCount(2 * s.fftSize) * kScalarPassWork + nParts * kAdditionWork;
    for (int32_t position = 0; position < nParts;)
    {
        const int32_t width = batchWidthAt(s, position, W);
        work += batchPieceCount(s, width) * lanePassWork(width);
        position += width;
    }
    return work;
}

// Accumulate mode, lane forms: the next piece of the step's work.
void runNextPiece(ConvolutionReverb& s, int32_t W)
{
    if (s.forwardPieces < complexFftInversePieceCount(2 * s.fftSize))
    {
        runForwardPieces(s, s.forwardPieces + 1);
        s.stepWorkDone += kScalarPassWork;
        return;
    }
    const int32_t position = s.nextAdd;
    if (!batchHolds(s, position, W))
    {
        startBatch(s, position, W);
        s.stepWorkDone += lanePassWork(s.lanesWidth);
        return;
    }
    if (s.lanesPieces < batchPieceCount(s, s.lanesWidth))
    {
        runBatchPiece(s);
        s.stepWorkDone += lanePassWork(s.lanesWidth);
        return;
    }
    addFromLaneRun(s, position);
    if (position + 1 == groupEnd(s, position))
    {
        const int32_t F = s.partitionLength;
        quantiseAccumulator(s, partitionAt(s, groupStart(s, position)) * F, partitionAt(s, position) * F + s.fftSize);
    }
    s.nextAdd = position + 1;
    s.stepWorkDone += kAdditionWork;
}

// Accumulate mode: call `call` (0, the completing call, to h - 1) of the step does its share of
// the work on the current input spectrum. The plain form adds its own group (after completing a
// group that calls of a lane form left part-done), quantising the accumulator after each group; the lane forms
// go on until the step's work done reaches this call's share, the last call until all is done.
void advanceStep(ConvolutionReverb& s, int32_t call)
{
    const int32_t nParts = partitionCount(s);
    const int32_t W = laneWidth(s);
    if (W == 0)
    {
        int32_t end = call == 0 ? lateCount(s) : lateCount(s) + call * s.partitionsPerCall;
        if (s.nextAdd < nParts && s.nextAdd != groupStart(s, s.nextAdd))
            end = std::max(end, groupEnd(s, s.nextAdd));
        if (s.nextAdd < end)
            finishForwardTransform(s);
        for (; s.nextAdd < end; ++s.nextAdd)
        {
            const int32_t p = partitionAt(s, s.nextAdd);
            addPartitionProduct(s, p, p * s.partitionLength);
            if (s.nextAdd + 1 == groupEnd(s, s.nextAdd))
                quantiseAccumulator(s, 0, s.impulseLength + 2 * s.fftSize);
        }
        return;
    }
    const bool lastCall = call == s.blocksPerStep - 1;
    const int64_t target = static_cast<int64_t>(stepWork(s, W)) * (call + 1) / s.blocksPerStep;
    while (s.nextAdd < nParts && (lastCall || s.stepWorkDone < target))
        runNextPiece(s, W);
}

// End of the range to quantise: the entries a call changed end before `changedEnd`; the plain
// routines visit every entry that can be non-zero, [0, f + 2E).
int32_t quantisedEnd(const ConvolutionReverb& s, int32_t changedEnd)
{
    if (plainForm(s))
        return s.impulseLength + 2 * s.fftSize;
    return changedEnd;
}
}  // namespace

namespace
{
// The FFT size and partition length that the configuration chooses for f impulse samples and
// steps of L samples over h calls.
struct Partitioning
{
    int32_t fftSize;          // E
    int32_t partitionLength;  // F = E + 1 - L; 1 when no size qualifies (the reverb stays off)
};

// The cheapest qualifying size by cost weight x partition count; on equal cost the earlier
// (smaller) size stays. A size qualifies when its partition is longer than 0 and shorter than f
// and a step still has at least one partition per call.
Partitioning chooseFftSize(const FftSizeCosts& table, int32_t f, int64_t L, int64_t h)
{
    Partitioning chosen{ static_cast<int32_t>(L), 1 };
    float best = 7583333376.0f;  // deliberate: a size must cost less to be taken at all
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
            chosen = { static_cast<int32_t>(size), static_cast<int32_t>(P) };
        }
    }
    return chosen;
}

// Whether the record holds a partitioning: the transform, the accumulator's f + 2E entries and
// the nParts spectra of 2E floats each.
bool fitsCapacities(int32_t f, int32_t E, int32_t F)
{
    const int64_t nParts = f / F + 1;
    return 2 * static_cast<int64_t>(E) <= kConvSpectrumCapacity
        && static_cast<int64_t>(f) + 2 * static_cast<int64_t>(E) <= kConvAccumulatorCapacity
        && nParts * 2 * static_cast<int64_t>(E) <= kConvSpectraCapacity;
}

// Impulse samples of partition j that enter its spectrum, from sample j x F on.
int32_t partitionSampleCount(const ConvolutionReverb& s, int32_t j)
{
    const int32_t F = s.partitionLength;
    const int32_t count = j < partitionCount(s) - 1 ? F : s.impulseLength - j * F;
    // With b = 0 a partition is one sample longer than the transform: only its first E samples
    // enter the spectrum.
    return std::min(count, s.fftSize);
}

// Transforms partition j into its slot of partitionSpectra: the partition is written straight
// into the slot in bit-reversed order, where the bit reversal would have moved it (`destination`,
// see transformPartitions; the reversal only moves values, so the butterflies see the same
// input), and transformed there.
void transformImpulsePartition(ConvolutionReverb& s, const float* impulse, int32_t j, const float* destination)
{
    const int32_t E = s.fftSize;
    const float* x = impulse + static_cast<int64_t>(j) * s.partitionLength;
    const int32_t count = partitionSampleCount(s, j);
    float* spectrum = s.partitionSpectra + static_cast<int64_t>(j) * 2 * E;
    std::memset(spectrum, 0, sizeof(float) * static_cast<size_t>(2 * E));
    for (int32_t i = 0; i < count; ++i)
        spectrum[2 * static_cast<int32_t>(destination[2 * i + 1])] = x[i];
    complexFftForward(2 * E, spectrum, s.twiddleTable);
}

// Transforms partitions first .. first + count - 1 (count 1 to W) together, in W lanes of
// productBuffer (float i of lane q at [W i + q]; unused lanes repeat the last partition), into
// their slots of partitionSpectra. The forward transform of x is, bit for bit, the conjugate of
// the inverse transform of x's conjugate: the inverse differs from the forward only in negating
// every imaginary part as it bit-reverses and every output of its last stage, and negation is
// exact. So each partition goes in conjugated (imaginary parts -0) and comes out conjugated back.
void transformImpulsePartitionsInLanes(ConvolutionReverb& s, const float* impulse, int32_t first, int32_t count,
                                       int32_t W)
{
    const int32_t E = s.fftSize;
    float* lanes = s.productBuffer;
    const FloatLanes4 zero = FloatLanes4::splat(0.0f), negativeZero = FloatLanes4::splat(-0.0f);
    for (int32_t group = 0; group < W; group += 4)
    {
        const float* x[4];
        int32_t counts[4];
        for (int32_t q = 0; q < 4; ++q)
        {
            const int32_t j = first + std::min(group + q, count - 1);
            x[q] = impulse + static_cast<int64_t>(j) * s.partitionLength;
            counts[q] = partitionSampleCount(s, j);
        }
        const int32_t shortest = *std::min_element(counts, counts + 4);
        const int32_t longest = *std::max_element(counts, counts + 4);
        // Four samples of each lane at a time, transposed into four points across the lanes.
        int32_t i = 0;
        for (; i + 4 <= shortest; i += 4)
        {
            FloatLanes4 r0 = FloatLanes4::load(x[0] + i), r1 = FloatLanes4::load(x[1] + i);
            FloatLanes4 r2 = FloatLanes4::load(x[2] + i), r3 = FloatLanes4::load(x[3] + i);
            transpose(r0, r1, r2, r3);
            const FloatLanes4* rows[4] = { &r0, &r1, &r2, &r3 };
            for (int32_t t = 0; t < 4; ++t)
            {
                rows[t]->store(lanes + W * (2 * (i + t)) + group);
                negativeZero.store(lanes + W * (2 * (i + t) + 1) + group);
            }
        }
        for (; i < longest; ++i)
            for (int32_t q = 0; q < 4; ++q)
            {
                lanes[W * (2 * i) + group + q] = i < counts[q] ? x[q][i] : 0.0f;
                lanes[W * (2 * i + 1) + group + q] = -0.0f;
            }
        for (; i < E; ++i)
        {
            zero.store(lanes + W * (2 * i) + group);
            negativeZero.store(lanes + W * (2 * i + 1) + group);
        }
    }
    batchForms(s, W).inverse(2 * E, lanes, s.bitReversalTable, s.twiddleTable);

    // Back out of the lanes, four floats of four lanes at a time: the rows of the imaginary parts
    // negated, then transposed into four floats of each lane.
    for (int32_t group = 0; group < count; group += 4)
        for (int32_t i = 0; i < 2 * E; i += 4)
        {
            FloatLanes4 r0 = FloatLanes4::load(lanes + W * i + group);
            FloatLanes4 r1 = -FloatLanes4::load(lanes + W * (i + 1) + group);
            FloatLanes4 r2 = FloatLanes4::load(lanes + W * (i + 2) + group);
            FloatLanes4 r3 = -FloatLanes4::load(lanes + W * (i + 3) + group);
            transpose(r0, r1, r2, r3);
            const FloatLanes4* rows[4] = { &r0, &r1, &r2, &r3 };
            for (int32_t q = 0; q < 4 && group + q < count; ++q)
                rows[q]->store(s.partitionSpectra + static_cast<int64_t>(first + group + q) * 2 * E + i);
        }
}

// Builds the FFT tables for E points and transforms every partition of the impulse response into
// partitionSpectra (the sizes are already set): with the lane routines W at a time in lanes (the
// last four or fewer in a four-lane batch), otherwise, and for a single last one, one by one.
void transformPartitions(ConvolutionReverb& s, const float* impulse)
{
    const int32_t E = s.fftSize;
    const int32_t nParts = partitionCount(s);

    std::memset(s.bitReversalTable, 0, sizeof(int32_t) * static_cast<size_t>(2 * E));
    std::memset(s.twiddleTable, 0, sizeof(float) * static_cast<size_t>(2 * E));
    complexFftMakeTwiddles(E / 2, s.bitReversalTable, s.twiddleTable);

    // Where the bit reversal moves each point: point i's index runs through the reversal in the
    // real parts, and its destination is kept in the imaginary part of point i.
    float* destination = s.partitionWork;
    for (int32_t i = 0; i < E; ++i)
    {
        destination[2 * i] = static_cast<float>(i);
        destination[2 * i + 1] = 0.0f;
    }
    if (E > 2)
        complexFftBitReverse(2 * E, s.bitReversalTable + 2, destination);
    for (int32_t at = 0; at < E; ++at)
        destination[2 * static_cast<int32_t>(destination[2 * at]) + 1] = static_cast<float>(at);

    const int32_t W = laneWidth(s);
    for (int32_t j = 0; j < nParts;)
    {
        const int32_t remaining = nParts - j;
        if (W == 0 || remaining == 1)
        {
            transformImpulsePartition(s, impulse, j, destination);
            j += 1;
            continue;
        }
        const int32_t width = remaining <= 4 ? 4 : W;
        const int32_t count = std::min(width, remaining);
        transformImpulsePartitionsInLanes(s, impulse, j, count, width);
        j += count;
    }
}
}  // namespace

bool convolutionReverbConfigure(ConvolutionReverb& state, const float* impulse, int32_t impulseLength,
                                int32_t blockLength, int32_t blocksPerStep, const FftSizeCosts& table,
                                DspRoutines routines)
{
    ConvolutionReverb& s = state;
    s.routines = routines;
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
    s.stepWorkDone = 0;
    if (L > kConvStepCapacity)
        return false;
    std::memset(s.gatherBuffer, 0, sizeof(float) * static_cast<size_t>(L));
    std::memset(s.outputBuffer, 0, sizeof(float) * static_cast<size_t>(L));
    std::memset(s.handoverBuffer, 0, sizeof(float) * static_cast<size_t>(L));

    const Partitioning chosen = chooseFftSize(table, f, L, h);
    s.fftSize = chosen.fftSize;
    s.partitionLength = chosen.partitionLength;
    if (s.partitionLength == 1 || !fitsCapacities(f, s.fftSize, s.partitionLength))
        return false;

    s.partitionsPerCall = static_cast<int32_t>(partitionCount(s) / h);
    s.inverseScale = 1.0f / static_cast<float>(s.fftSize);
    transformPartitions(s, impulse);

    // The accumulator is still clear from the start; the input spectrum starts silent.
    std::memset(s.inputSpectrum, 0, sizeof(float) * static_cast<size_t>(2 * s.fftSize));
    // The silent starting spectrum's products are all zero: adding them would leave the cleared
    // accumulator as it is, so its step has nothing left to do.
    s.forwardPieces = complexFftInversePieceCount(2 * s.fftSize);
    s.nextAdd = partitionCount(s);
    s.ready = 1;
    return true;
}

void convolutionReverbProcess(ConvolutionReverb& state, float* samples, DspRoutines routines)
{
    ConvolutionReverb& s = state;
    s.routines = routines;
    const int32_t b = s.blockLength;

    if (s.blocksPerStep < 2)
    {
        s.blocksGathered = 0;
        transformInput(s, samples, b);
        const int32_t W = laneWidth(s);
        if (W > 0)
            addAllFromLanes(s, W);
        else
            for (int32_t p = 0; p < partitionCount(s); ++p)
                addPartitionProduct(s, p, p * s.partitionLength);
        std::memcpy(samples, s.accumulator, sizeof(float) * static_cast<size_t>(b));
        handOver(s, b);
        // The products changed entries that the hand-over moved into [0, f); [f, f + 2E) is 0.
        quantiseAccumulator(s, 0, quantisedEnd(s, s.impulseLength));
        return;
    }

    const int32_t L = static_cast<int32_t>(s.stepLength);
    std::memcpy(s.gatherBuffer + static_cast<int64_t>(s.blocksGathered) * b, samples,
                sizeof(float) * static_cast<size_t>(b));
    s.blocksGathered += 1;
    if (s.blocksGathered == s.blocksPerStep)
    {
        // Completing call: take the step in for its transform (the lane forms spread the
        // transform's pieces over the step's calls too) and hand its first L output samples
        // over. The previous step's work is all done (its last call finishes it).
        s.blocksGathered = 0;
        std::memcpy(s.handoverBuffer, s.gatherBuffer, sizeof(float) * static_cast<size_t>(L));
        if (laneWidth(s) > 0)
            loadInput(s, s.handoverBuffer, L);
        else
            transformInput(s, s.handoverBuffer, L);
        std::memcpy(s.handoverBuffer, s.accumulator, sizeof(float) * static_cast<size_t>(L));
        std::memcpy(s.outputBuffer, s.handoverBuffer, sizeof(float) * static_cast<size_t>(L));
        handOver(s, L);
        s.outputBlockIndex = 0;
        s.nextAdd = 0;
        s.stepWorkDone = completingCallWork(s);
    }
    advanceStep(s, s.blocksGathered);

    std::memcpy(samples, s.outputBuffer + static_cast<int64_t>(s.outputBlockIndex) * b,
                sizeof(float) * static_cast<size_t>(b));
    s.outputBlockIndex += 1;
}
