#pragma once
// Which form of the hot DSP routines runs: the plain scalar forms, or the fast forms (four values
// at once in vector lanes, independent recursions interleaved). Both give the same bits; the fast
// forms are the default. The plain forms stay selectable so that a benchmark can measure both in
// one process and a test can compare them end to end. Process-wide; reading it is lock-free and
// real-time safe.

enum class DspRoutines
{
    plain,
    fast
};

void dspSelectRoutines(DspRoutines routines);
DspRoutines dspSelectedRoutines();
