#pragma once
// Which form of the hot DSP routines runs. All give the same bits; `fast` is the default. The
// other forms stay selectable so that a benchmark can measure them in one process and the tests
// can compare them with one another. Process-wide; reading it is lock-free and real-time safe.

enum class DspRoutines
{
    plain,     // the plain scalar forms
    baseline,  // vector lanes of the baseline instruction set (SSE2), interleaved recursions
    fast       // as baseline, plus eight-lane forms where the processor has AVX / AVX2 and the
               // sixteen-lane cascade where it has AVX-512
};

void dspSelectRoutines(DspRoutines routines);
DspRoutines dspSelectedRoutines();
