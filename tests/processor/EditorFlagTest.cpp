// A restore raises the open editor's relayout flag: at once on the message thread, through the
// message thread from any other, and never on an editor that is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "MessagePump.h"
#include "PluginEditor.h"
#include "ProcessorTestAccess.h"

namespace
{
using namespace brondavell::test;

void restoreOnAnotherThread(BrondavellJuceAudioProcessor& p, const juce::MemoryBlock& blob)
{
    std::thread([&] { restore(p, blob); }).join();
}

TEST(EditorFlagTest, RestoreOnTheMessageThreadRaisesTheFlagAtOnce)
{
    auto p = makeProcessor();
    OpenEditor editor(*p);
    ASSERT_NE(editor.get(), nullptr);
    const auto blob = save(*p);
    restore(*p, blob);
    EXPECT_TRUE(editor->needsRelayout);
}

TEST(EditorFlagTest, RestoreWithNoEditorOpenSetsNothing)
{
    auto p = makeProcessor();
    const auto blob = save(*p);
    restore(*p, blob);
    restoreOnAnotherThread(*p, blob);
    deliverPendingMessages();
    EXPECT_EQ(p->getActiveEditor(), nullptr);
}

TEST(EditorFlagTest, RestoreOnAnotherThreadHandsTheFlagToTheMessageThread)
{
    auto p = makeProcessor();
    OpenEditor editor(*p);
    restoreOnAnotherThread(*p, save(*p));
    EXPECT_FALSE(editor->needsRelayout);  // not touched from the restoring thread
    deliverPendingMessages();
    EXPECT_TRUE(editor->needsRelayout);
}

TEST(EditorFlagTest, EditorClosedBeforeTheFlagArrivesIsNeverTouched)
{
    auto p = makeProcessor();
    auto editor = std::make_unique<OpenEditor>(*p);
    restoreOnAnotherThread(*p, save(*p));
    editor.reset();  // the host closes the window meanwhile
    deliverPendingMessages();
    EXPECT_EQ(p->getActiveEditor(), nullptr);

    // A new editor opened before delivery gets the flag: it is the one now open.
    restoreOnAnotherThread(*p, save(*p));
    editor = std::make_unique<OpenEditor>(*p);
    deliverPendingMessages();
    EXPECT_TRUE((*editor)->needsRelayout);
}

TEST(EditorFlagTest, ProcessorDeletedBeforeTheFlagArrives)
{
    auto p = makeProcessor();
    const auto blob = save(*p);
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
    const auto blob = save(*p);
    std::atomic<bool> stop{ false };
    std::thread restorer([&] {
        while (!stop.load())
            restore(*p, blob);
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
