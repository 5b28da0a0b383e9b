#pragma once
// Runs the message loop on the calling (message) thread: async updates, posted messages and
// timer callbacks are delivered as in a host.

#include <juce_events/juce_events.h>

namespace juce
{
// JUCE's run-loop step on Linux. The public MessageManager::runDispatchLoopUntil exists only with
// modal loops enabled, which the plug-in keeps off.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}

// Delivers whatever is pending now, then returns.
inline void deliverPendingMessages()
{
    while (juce::dispatchNextMessageOnSystemQueue(true))
    {}
}

// Runs the loop for a bounded time, timer callbacks included.
inline void pumpMessages(int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + static_cast<juce::uint32>(milliseconds);
    while (juce::Time::getMillisecondCounter() < end)
        if (!juce::dispatchNextMessageOnSystemQueue(true))
            juce::Thread::sleep(1);
}
