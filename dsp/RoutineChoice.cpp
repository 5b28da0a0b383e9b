#include "RoutineChoice.h"

#include <atomic>

namespace
{
std::atomic<DspRoutines> selected{ DspRoutines::fast };
}

void dspSelectRoutines(DspRoutines routines) { selected.store(routines, std::memory_order_relaxed); }

DspRoutines dspSelectedRoutines() { return selected.load(std::memory_order_relaxed); }
