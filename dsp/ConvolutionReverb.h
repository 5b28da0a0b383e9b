#pragma once
// Uniformly partitioned overlap-add FFT convolution of a mono signal with an impulse response.
// Real signals are held as interleaved complex values with zero imaginary parts.
//
// Two modes, chosen by the number of calls per step h:
//   direct (h < 2): every call transforms its own block and multiplies it with every
//     partition; no delay.
//   accumulate (h >= 2): h calls gather one step of L = h x b samples, the step is transformed
//     once and the partition products are spread over the h calls; the wet signal comes out
//     2L - b samples late.
// The record is about 22 MB: hold it by value in a long-lived owner (or on the heap), never on
// a stack.

#include <cstdint>

#include "AudioTables.h"
#include "RoutineChoice.h"

constexpr int32_t kConvPartitionWorkCapacity = 262144;
constexpr int32_t kConvStepCapacity = 1048576;
constexpr int32_t kConvSpectraCapacity = 800000;
constexpr int32_t kConvAccumulatorCapacity = 454144;
constexpr int32_t kConvSpectrumCapacity = 262144;
constexpr int32_t kConvTableCapacity = 262144;

struct ConvolutionReverb
{
    int32_t ready;            // 1 when configured and usable; the caller runs the engine only then
    DspRoutines routines;     // the form of the call under way: set from the argument of each call
    int32_t impulseLength;    // f: impulse-response samples covered by the partitions
    int32_t blockLength;      // b: samples per call
    int32_t fftSize;          // E: transform length in complex points
    int32_t partitionLength;  // F = E + 1 - L
    float partitionWork[kConvPartitionWorkCapacity];  // set-up's scratch: the bit reversal's moves (2E used)
    int64_t blocksPerStep;                            // h: calls per step; h < 2 selects direct mode
    int64_t stepLength;                               // L = h x b
    int32_t partitionsPerCall;                        // G = nParts / h
    float gatherBuffer[kConvStepCapacity];            // accumulate mode: the step being gathered
    float handoverBuffer[kConvStepCapacity];          // scratch for the step's input and hand-over
    float outputBuffer[kConvStepCapacity];            // accumulate mode: the L wet samples played out
    float partitionSpectra[kConvSpectraCapacity];     // partition j at [j x 2E, j x 2E + 2E)
    float accumulator[kConvAccumulatorCapacity];      // overlap-add of wet samples; [0] is next out
    float productBuffer[kConvSpectrumCapacity];       // one partition product and its inverse, or lanes of
                                                      // them (below); the set-up's lanes of partitions
    float inputSpectrum[kConvSpectrumCapacity];       // spectrum of the current block or last step, split:
                                                      // E real parts, then E imaginary parts
    int32_t bitReversalTable[kConvTableCapacity];     // FFT ip table
    float twiddleTable[kConvTableCapacity];           // FFT w table for N = E
    int32_t outputBlockIndex;                         // accumulate mode: next b-sample slice of outputBuffer to output
    float inverseScale;                               // 1 / E
    int32_t blocksGathered;  // accumulate mode: blocks of the current step gathered (0 to h - 1)
    // The lane forms' batch of partition products in productBuffer:
    int32_t lanesFirst;   // position, in the order the calls add them, of the first one
    int32_t lanesCount;   // how many (0: none); only for the current inputSpectrum
    int32_t lanesWidth;   // lanes side by side in productBuffer (1, 4 or the form's widest)
    int32_t lanesPieces;  // pieces of the batch done: the products, the transform's stages, the real parts
    // Accumulate mode: the step's work on the current input spectrum, which the lane forms spread
    // evenly over the step's calls.
    int32_t forwardPieces;  // pieces of inputSpectrum's forward transform done
    int32_t nextAdd;        // position of the next partition product to add (all added: nParts)
    int32_t stepWorkDone;   // work done in this step, in the units of the step's work estimate
};

// Sets the engine up for an impulse response of impulseLength (f >= 0) samples, blocks of
// blockLength (b >= 0) samples per call and blocksPerStep (h >= 1) calls per step:
// clears the whole accumulator and lowers `ready`, sets the sizes and counters, clears the
// staging buffers, chooses the FFT size from `table` by its cost weights (the cheapest
// qualifying size wins, the smaller one on a tie), transforms the partitions and builds the FFT
// tables, then raises `ready`. Returns whether the engine is ready. Returns false (ready 0,
// the reverb stays silent) when no size gives a partition longer than one sample, or when the
// partitioning would exceed one of the record's capacities (spectra, accumulator, staging
// buffers, transform size). `impulse` is read for f samples. `routines` is the form to run
// (RoutineChoice.h); every form gives the same record. Work proportional to the impulse length;
// no heap, no system calls, so it may run on the audio thread between blocks.
bool convolutionReverbConfigure(ConvolutionReverb& state, const float* impulse, int32_t impulseLength,
                                int32_t blockLength, int32_t blocksPerStep, const FftSizeCosts& table,
                                DspRoutines routines);

// Reads blockLength dry samples from `samples` and writes as many wet samples back in place.
// Precondition: ready == 1. b = 0 reads and writes nothing. `routines` is the form to run; it may
// change from call to call. Real-time safe: no heap, no locks, no system calls.
void convolutionReverbProcess(ConvolutionReverb& state, float* samples, DspRoutines routines);
