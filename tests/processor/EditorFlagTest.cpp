// A restore raises the open editor's relayout flag: at once on the message thread, through the
// message thread from any other, and never on an editor that is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "PluginEditor.h"
#include "ProcessorTestAccess.h"

namespace juce
{
// The framework's own step of its message loop (Linux), run here to deliver posted calls.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}

namespace
{
using namespace brondavell::test;

void deliverPendingMessages()
{
    while (juce::dispatchNextMessageOnSystemQueue(true))
    {
    }
}

juce::MemoryBlock savedState(BrondavellJuceAudioProcessor& p)
{
    juce::MemoryBlock blob;
    p.getStateInformation(blob);
    return blob;
}

void restoreOnAnotherThread(BrondavellJuceAudioProcessor& p, const juce::MemoryBlock& blob)
{
    std::thread([&] { p.setStateInformation(blob.getData(), static_cast<int>(blob.getSize())); }).join();
}

TEST(EditorFlagTest, RestoreOnTheMessageThreadRaisesTheFlagAtOnce)
{
    auto p = makeProcessor();
    OpenEditor editor(*p);
    ASSERT_NE(editor.get(), nullptr);
    const auto blob = savedState(*p);
    p->setStateInformation(blob.getData(), static_cast<int>(blob.getSize()));
    EXPECT_TRUE(editor->needsRelayout);
}

TEST(EditorFlagTest, RestoreWithNoEditorOpenSetsNothing)
{
    auto p = makeProcessor();
    const auto blob = savedState(*p);
    p->setStateInformation(blob.getData(), static_cast<int>(blob.getSize()));
    restoreOnAnotherThread(*p, blob);
    deliverPendingMessages();
    EXPECT_EQ(p->getActiveEditor(), nullptr);
}

TEST(EditorFlagTest, RestoreOnAnotherThreadHandsTheFlagToTheMessageThread)
{
    auto p = makeProcessor();
    OpenEditor editor(*p);
    restoreOnAnotherThread(*p, savedState(*p));
    EXPECT_FALSE(editor->needsRelayout);  // not touched from the restoring thread
    deliverPendingMessages();
    EXPECT_TRUE(editor->needsRelayout);
}

TEST(EditorFlagTest, EditorClosedBeforeTheFlagArrivesIsNeverTouched)
{
    auto p = makeProcessor();
    auto editor = std::make_unique<OpenEditor>(*p);
    restoreOnAnotherThread(*p, savedState(*p));
    editor.reset();  // the host closes the window meanwhile
    deliverPendingMessages();
    EXPECT_EQ(p->getActiveEditor(), nullptr);

    // A new editor opened before delivery gets the flag: it is the one now open.
    restoreOnAnotherThread(*p, savedState(*p));
    editor = std::make_unique<OpenEditor>(*p);
    deliverPendingMessages();
    EXPECT_TRUE((*editor)->needsRelayout);
}

TEST(EditorFlagTest, ProcessorDeletedBeforeTheFlagArrives)
{
    auto p = makeProcessor();
    const auto blob = savedState(*p);
    {
        OpenEditor editor(*p);
        restoreOnAnotherThread(*p, blob);
    }
    p.reset();
    deliverPendingMessages();  // the posted call finds no processor and does nothing
    SUCCEED();
}

// Restores keep arriving on another thread while the message thread opens and closes the editor.
TEST(EditorFlagTest, RestoresDuringEditorOpeningAndClosing)
{
    auto p = makeProcessor();
    const auto blob = savedState(*p);
    std::atomic<bool> stop{ false };
    std::thread restorer([&] {
        while (!stop.load())
            p->setStateInformation(blob.getData(), static_cast<int>(blob.getSize()));
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    int rounds = 0;
    while (std::chrono::steady_clock::now() < end)
    {
        {
            OpenEditor editor(*p);
            deliverPendingMessages();
        }
        deliverPendingMessages();
        ++rounds;
    }
    stop = true;
    restorer.join();
    deliverPendingMessages();
    EXPECT_GT(rounds, 0);
}
}
