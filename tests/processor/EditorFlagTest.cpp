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

// A restore with no editor open still applies, creates no editor, and leaves nothing behind for
// an editor opened later.
TEST(EditorFlagTest, RestoreWithNoEditorOpenSetsNothing)
{
    auto source = makeProcessor();
    setPlain(source->bassClean, 0.25f);
    const auto blob = save(*source);

    auto p = makeProcessor();
    restore(*p, blob);
    restoreOnAnotherThread(*p, blob);
    deliverPendingMessages();
    EXPECT_EQ(p->getActiveEditor(), nullptr);
    EXPECT_EQ(p->bassClean->get(), source->bassClean->get());

    OpenEditor editor(*p);
    deliverPendingMessages();
    EXPECT_FALSE(editor->needsRelayout);
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

// The flag posted for a processor deleted before delivery reaches nothing: not the freed object,
// and not the editor of a processor created since (which may live at the same address).
TEST(EditorFlagTest, ProcessorDeletedBeforeTheFlagArrives)
{
    auto p = makeProcessor();
    const auto blob = save(*p);
    {
        OpenEditor editor(*p);
        restoreOnAnotherThread(*p, blob);
    }
    p.reset();
    auto next = makeProcessor();
    OpenEditor nextEditor(*next);
    deliverPendingMessages();
    EXPECT_FALSE(nextEditor->needsRelayout);
}

// Hosts may restore and delete the plug-in on a thread of their own while the message thread
// delivers the flag: the delivery never meets a processor that is being destroyed.
TEST(EditorFlagTest, ProcessorDeletedOnAnotherThreadWhileTheFlagIsDelivered)
{
    const auto blob = save(*makeProcessor());
    std::atomic<bool> done{ false };
    std::thread host([&] {
        for (int i = 0; i < 20; ++i)
        {
            auto p = makeProcessor();
            restore(*p, blob);
        }
        done = true;
    });
    while (!done.load())
        deliverPendingMessages();
    host.join();
    deliverPendingMessages();
}

// Restores keep arriving on another thread while the message thread opens and closes the editor:
// both sides make progress, every restore applies, and afterwards the flag still reaches the open
// editor.
TEST(EditorFlagTest, RestoresDuringEditorOpeningAndClosing)
{
    auto p = makeProcessor();
    auto source = makeProcessor();
    setPlain(source->bassClean, 0.25f);
    const auto low = save(*source);
    const float lowValue = source->bassClean->get();
    setPlain(source->bassClean, 0.75f);
    const auto high = save(*source);
    const float highValue = source->bassClean->get();

    std::atomic<bool> stop{ false };
    std::atomic<int> restores{ 0 };
    std::thread restorer([&] {
        while (!stop.load())
        {
            const auto& blob = restores.load() % 2 == 0 ? low : high;
            restore(*p, blob);
            ++restores;
        }
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    int rounds = 0;
    while (std::chrono::steady_clock::now() < end || rounds < 2 || restores.load() < 2)
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
    EXPECT_EQ(p->bassClean->get(), restores.load() % 2 == 1 ? lowValue : highValue);

    OpenEditor editor(*p);
    deliverPendingMessages();
    EXPECT_FALSE(editor->needsRelayout);
    restoreOnAnotherThread(*p, low);
    deliverPendingMessages();
    EXPECT_TRUE(editor->needsRelayout);
}
}
