#include "RoutineChoice.h"

#include "LaneForms.h"

namespace
{
// The tables in the order of DspRoutines; plain has none of its own.
const DspLaneForms* const kTables[] = { &kLaneFormsBaseline, &kLaneFormsBaseline, &kLaneFormsAvx, &kLaneFormsAvx2,
                                        &kLaneFormsAvx512 };

bool processorHas(DspRoutines routines)
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    switch (routines)
    {
    case DspRoutines::avx:
        return __builtin_cpu_supports("avx") != 0;
    case DspRoutines::avx2:
        return __builtin_cpu_supports("avx2") != 0;
    case DspRoutines::avx512:
        return __builtin_cpu_supports("avx512f") != 0;
    default:
        return true;
    }
#else
    return routines == DspRoutines::plain || routines == DspRoutines::baseline;
#endif
}
}  // namespace

const DspLaneForms& dspLaneForms(DspRoutines routines) { return *kTables[static_cast<int>(routines)]; }

bool dspRoutinesRun(DspRoutines routines) { return dspLaneForms(routines).built && processorHas(routines); }

DspRoutines dspFastestRoutines()
{
    const DspRoutines widestFirst[] = { DspRoutines::avx512, DspRoutines::avx2, DspRoutines::avx };
    for (const DspRoutines r : widestFirst)
        if (dspRoutinesRun(r))
            return r;
    return DspRoutines::baseline;
}
