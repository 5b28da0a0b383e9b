#pragma once
// Which form of the DSP routines a call runs. Every form gives the same bits; they differ only in
// speed. The choice is plain data that its owner passes to each routine that has forms (the
// processor holds one per instance; a benchmark or a test sets its own): nothing in dsp/ keeps
// a choice of its own. A value other than plain and baseline may be passed only where
// dspRoutinesRun(value) is true, since its code uses instructions the processor may lack.
// Changing the value between two calls on the same records is allowed: the forms hand their
// state on to one another.

enum class DspRoutines
{
    plain,     // the plain scalar forms, the oracle of all the others
    baseline,  // four vector lanes of the baseline instruction set (SSE2 on x86-64), interleaved
               // recursions and merged per-sample passes
    avx,       // as baseline, with eight lanes for the FFT and the reverb (AVX)
    avx2,      // eight lanes everywhere (AVX2)
    avx512     // as avx2, with sixteen lanes for the cascade (AVX-512F)
};

// Whether this build has the form and this processor runs it; always true for plain and baseline.
// Asks the processor each time: call it at set-up, not per block.
bool dspRoutinesRun(DspRoutines routines);

// The fastest form that runs here (the widest lanes). Asks the processor each time: an owner
// calls it once, when it is constructed.
DspRoutines dspFastestRoutines();
