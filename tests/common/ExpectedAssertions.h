#pragma once
// For a test that hands the framework a value it asserts on by design (a host's NaN reaches the
// framework's range conversion before the plug-in sees it): the Debug build's reports of exactly
// those assertions are held back, everything else reaches the output as usual, where the test
// runner fails on any other assertion report.

#include <cstdio>
#include <iostream>
#include <string>

#include <unistd.h>

// Runs action with the process's standard error going to a temporary file, then writes back every
// line of it except the framework's assertion reports from the named source file (for instance
// "juce_NormalisableRange.h"), and returns how many it held back. Both the framework linked into
// the test and the one inside a hosted plug-in binary report on the same standard error.
template <typename Action>
int withFrameworkAssertionsFrom(const std::string& sourceFile, Action&& action)
{
    std::fflush(stderr);
    std::cerr.flush();
    FILE* capture = std::tmpfile();
    const int original = dup(2);
    if (capture == nullptr || original < 0)
    {
        action();  // nothing is held back
        return 0;
    }
    dup2(fileno(capture), 2);
    action();
    std::fflush(stderr);
    std::cerr.flush();
    dup2(original, 2);
    close(original);

    const std::string expected = "JUCE Assertion failure in " + sourceFile + ":";
    int held = 0;
    std::rewind(capture);
    std::string line;
    for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture))
    {
        line += static_cast<char>(c);
        if (c != '\n')
            continue;
        if (line.rfind(expected, 0) == 0)
            ++held;
        else
            std::fputs(line.c_str(), stderr);
        line.clear();
    }
    std::fputs(line.c_str(), stderr);
    std::fclose(capture);
    return held;
}
