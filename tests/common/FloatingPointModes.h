#pragma once
// Runs a check under both floating-point modes that the code meets: the default one and the
// flush-to-zero mode (denormal results and inputs taken as 0) that the processor sets for
// every block.

#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

struct FloatingPointMode
{
    bool flushToZero;
    const char* name;
};

constexpr FloatingPointMode kFloatingPointModes[] = { { false, "denormals kept" }, { true, "flush to zero" } };

// Sets the mode for its lifetime and restores the caller's on the way out.
class ScopedFloatingPointMode
{
public:
    explicit ScopedFloatingPointMode(const FloatingPointMode& mode) : saved(_mm_getcsr())
    {
        const unsigned ftzDaz = 0x8040u;
        _mm_setcsr(mode.flushToZero ? (saved | ftzDaz) : (saved & ~ftzDaz));
    }
    ~ScopedFloatingPointMode() { _mm_setcsr(saved); }
    ScopedFloatingPointMode(const ScopedFloatingPointMode&) = delete;
    ScopedFloatingPointMode& operator=(const ScopedFloatingPointMode&) = delete;

private:
    unsigned saved;
};

// The bit pattern of a float, for comparisons that must tell -0 from 0 and one NaN from another.
inline uint32_t bitsOf(float v)
{
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}
