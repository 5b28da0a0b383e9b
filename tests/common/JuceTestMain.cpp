// GoogleTest entry point for tests that use JUCE: the framework's message manager and GUI
// singletons exist for the whole run, on the main thread, as in a host.
#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
