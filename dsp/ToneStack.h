#pragma once
// Passive three-knob tone network (bass, middle, treble) as a third-order digital filter:
// analog coefficients from the control positions and component products, then the bilinear
// transform. Direct form I over the block, history kept in the record.

#include <cstdint>

#include "Quantise.h"

constexpr int kToneStackHistory = 80;
constexpr int kToneStackMaxBlock = 8192;

// A copy is a working filter of its own: copying re-points bPtr and aPtr at the copy's own
// coefficient arrays (a plain member-wise copy would leave them in the original).
struct ToneStack
{
    ToneStack() = default;
    ToneStack(const ToneStack& other) { *this = other; }
    ToneStack& operator=(const ToneStack& other);

    float b[4];                      // digital numerator b0..b3, normalised
    float a[4];                      // digital denominator a0..a3, normalised; a0 = 1, not read
    float* bPtr;                     // always b of this record
    float* aPtr;                     // always a of this record
    int32_t n;                       // number of coefficients, 4; also the history length
    float xHist[kToneStackHistory];  // last n inputs, oldest first, stored quantised
    float yHist[kToneStackHistory];  // last n outputs, oldest first, stored quantised
    float comp[7];                   // C1, C2, C3 (F), R1, R2, R3, R4 (ohm)
    float terms[23];                 // component products K0..K22
    float T;                         // sample period, 1 / base rate
    float c;                         // bilinear constant 2 / T
    float c2;                        // c x c
    float c3;                        // c x c2

    // Working sequences of toneStackProcess: history followed by the block. Kept in the record
    // rather than on the stack, since audio threads may run with small stacks.
    float workX[kToneStackHistory + kToneStackMaxBlock];
    float workY[kToneStackHistory + kToneStackMaxBlock];
};

// Construction state: b and a zero, bPtr/aPtr at the record's own arrays, n = 4, the history
// 0. Everything else (comp, terms, T, c, c2, c3, working storage) is set to 0 as well, so a
// control change before the first preparation computes finite (zero) coefficients.
// Real-time safe.
void toneStackConstruct(ToneStack& stack);

// Owner's preparation for a base rate in Hz (44100 or 48000): sets comp and terms from the
// built-in tables, zeroes b and a, sets T = 1 / baseRate, c = 2 / T, c2, c3. Does not touch the
// history and does not compute coefficients (call toneStackSetControls next). Real-time safe.
void toneStackPrepare(ToneStack& stack, float baseRate);

// Computes b and a from the control positions (0 to 1, linear) and terms, c, c2, c3, which
// must be set. Changes nothing else, the history included. Real-time safe.
void toneStackSetControls(ToneStack& stack, float bass, float middle, float treble);

// Filters `count` samples in place, 0 to 8192. The outputs are written after the whole block
// is computed. The history moves on by every block, short ones included: blocks of 4 samples
// or fewer are shifted into the history, so the filter stays continuous through them.
// count <= 0 changes nothing. Real-time safe (no heap, working storage in the record).
void toneStackProcess(ToneStack& stack, float* samples, int count);

// The recursion of toneStackProcess (n = 4) with its coefficients and last values held in
// locals, for loops that take each sample through several stages before the next sample: the
// same sums in the same order, so the same bits as toneStackProcess over the same samples.
// store() moves the history on by the samples run; the entries it quantises that were already
// history are quantised values, which quantising returns unchanged. Real-time safe.
struct ToneStackRun
{
    explicit ToneStackRun(ToneStack& toneStack)
        : stack(toneStack), b0(toneStack.bPtr[0]), b1(toneStack.bPtr[1]), b2(toneStack.bPtr[2]), b3(toneStack.bPtr[3]),
          a1(toneStack.aPtr[1]), a2(toneStack.aPtr[2]), a3(toneStack.aPtr[3]), x1(toneStack.xHist[3]),
          x2(toneStack.xHist[2]), x3(toneStack.xHist[1]), x4(toneStack.xHist[0]), y1(toneStack.yHist[3]),
          y2(toneStack.yHist[2]), y3(toneStack.yHist[1]), y4(toneStack.yHist[0])
    {}

    float operator()(float x0)
    {
        float acc = b0 * x0;
        acc = acc + ((b1 * x1) - (a1 * y1));
        acc = acc + ((b2 * x2) - (a2 * y2));
        acc = acc + ((b3 * x3) - (a3 * y3));
        x4 = x3;
        x3 = x2;
        x2 = x1;
        x1 = x0;
        y4 = y3;
        y3 = y2;
        y2 = y1;
        y1 = acc;
        return acc;
    }

    void store() const
    {
        const float xs[4] = { x4, x3, x2, x1 }, ys[4] = { y4, y3, y2, y1 };
        for (int k = 0; k < 4; ++k)
        {
            stack.xHist[k] = quantiseState(xs[k]);
            stack.yHist[k] = quantiseState(ys[k]);
        }
    }

    ToneStack& stack;
    float b0, b1, b2, b3, a1, a2, a3;
    float x1, x2, x3, x4, y1, y2, y3, y4;  // the last four inputs and outputs, newest first
};
