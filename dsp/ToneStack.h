#pragma once
// Passive three-knob tone network (bass, middle, treble) as a third-order digital filter:
// analog coefficients from the control positions and component products, then the bilinear
// transform. Direct form I over the block, history kept in the record.

#include <cstdint>

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
