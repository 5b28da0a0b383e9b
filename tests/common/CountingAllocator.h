#pragma once
// Counts heap allocations: a test binary that links CountingAllocator.cpp counts every allocation
// made on a thread while a CountingScope lives on it.

namespace brondavell::test
{
class CountingScope
{
public:
    CountingScope();
    ~CountingScope();
    CountingScope(const CountingScope&) = delete;
    CountingScope& operator=(const CountingScope&) = delete;

    // Allocations made on this thread since the scope opened.
    long count() const;
};
}
