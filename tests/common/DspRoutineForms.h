#pragma once
// The forms of the DSP routines (RoutineChoice.h) that the tests compare: every one this build
// and processor run, the plain oracle first. A form that cannot run here is named on stdout once
// per call, so that a log shows what was left unchecked.
#include <cstdio>
#include <vector>

#include "RoutineChoice.h"

namespace brondavell::test
{
inline const char* routinesName(DspRoutines routines)
{
    const char* const names[] = { "plain", "baseline", "avx", "avx2", "avx512" };
    return names[static_cast<int>(routines)];
}

inline std::vector<DspRoutines> runnableRoutines()
{
    std::vector<DspRoutines> forms;
    for (const DspRoutines r :
         { DspRoutines::plain, DspRoutines::baseline, DspRoutines::avx, DspRoutines::avx2, DspRoutines::avx512 })
    {
        if (dspRoutinesRun(r))
            forms.push_back(r);
        else
            std::printf("form %s: not run by this processor or build, not checked\n", routinesName(r));
    }
    return forms;
}
}  // namespace brondavell::test
