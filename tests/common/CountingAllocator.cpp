// Replaces the global allocation functions of a test binary: they count, on the thread that asked
// for it, only while a CountingScope is open; otherwise they just allocate.
#include "CountingAllocator.h"

#include <cstdlib>
#include <new>

// The replacements pair operator new with malloc and operator delete with free; GCC sees through
// the inlined pair and mistakes it for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace
{
thread_local bool countingHere = false;
thread_local long allocationsHere = 0;

void* allocate(std::size_t size)
{
    if (countingHere)
        ++allocationsHere;
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment)
{
    if (countingHere)
        ++allocationsHere;
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* memory = std::aligned_alloc(align, rounded == 0 ? align : rounded))
        return memory;
    throw std::bad_alloc();
}

}

namespace brondavell::test
{
CountingScope::CountingScope()
{
    allocationsHere = 0;
    countingHere = true;
}

CountingScope::~CountingScope() { countingHere = false; }

long CountingScope::count() const { return allocationsHere; }
}

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate(size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
