// The LV2 bundle declares its state restore safe beside run() (state:threadSafeRestore), so hosts
// restore while the audio thread plays. Here restores reach the built LV2's state interface on
// one thread while another runs blocks that carry the host's parameter changes, which the client
// applies on that thread. Under ThreadSanitizer (label "threads") any data race between the two
// fails the test; in every build each restore's values are reported afterwards. A second test
// checks that JUCE's LV2 host reads the declaration and restores without its audio lock.
#include "Lv2ModuleHost.h"
#include "PluginHost.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <lv2/atom/atom.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace
{
using brondavell::test::Lv2ModuleHost;

// The state text the client stores for a state block with this text.
std::vector<uint8_t> storedText(const std::string& text)
{
    juce::MemoryOutputStream block;
    block.write("VC2!", 4);
    block.writeInt(static_cast<int>(text.size()));
    block.write(text.data(), text.size());
    block.writeByte(0);
    const auto encoded = block.getMemoryBlock().toBase64Encoding().toStdString();
    std::vector<uint8_t> result(encoded.begin(), encoded.end());
    result.push_back(0);
    return result;
}

TEST(Lv2ConcurrentRestoreTest, RestoresBesideRunningBlocks)
{
    Lv2ModuleHost host(BRONDAVELL_LV2_BUNDLE, 48000.0, 64);
    const auto stateKey = host.stateKey();
    const auto string = host.map(LV2_ATOM__String);
    const auto bassClean = host.parameter("bassClean");
    const auto presence = host.parameter("presence");
    const std::vector<Lv2ModuleHost::Property> states[] = {
        { { stateKey, string,
            storedText("<BRONDAVELLSETTINGS bassClean=\"0.25\" reverb=\"0.5\" hqReverb=\"1.0\"/>") } },
        { { stateKey, string,
            storedText("<BRONDAVELLSETTINGS bassClean=\"0.75\" reverb=\"0.5\" reverbType2=\"1.0\"/>") } },
    };

    std::atomic<bool> stop{ false };
    std::atomic<long> blocks{ 0 };
    std::thread audio([&] {
        for (long i = 0; !stop.load(); ++i)
        {
            host.run(64, { { presence, (i % 2) != 0 ? 0.2f : 0.8f } });
            ++blocks;
        }
    });
    while (blocks.load() < 10)
        std::this_thread::yield();
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(host.restore(states[i % 2]), LV2_STATE_SUCCESS);
    const long blocksDuringRestores = blocks.load();
    stop = true;
    audio.join();
    EXPECT_GT(blocksDuringRestores, 10);

    // The last restore (bassClean 0.75) is what the next block reports.
    host.run(64);
    EXPECT_EQ(host.reported().at(bassClean), 0.75f);
}

// JUCE's LV2 host leaves its audio lock alone around a restore only when the bundle declares the
// thread-safe restore: a restore made while another thread holds that lock returns meanwhile.
TEST(HostedLv2RestoreTest, JucesHostRestoresWithoutHoldingItsAudioLock)
{
    juce::String error;
    auto plugin = brondavell::host::loadPlugin(brondavell::host::Format::lv2, juce::File(BRONDAVELL_LV2_BUNDLE),
                                               48000.0, 64, error);
    ASSERT_NE(plugin, nullptr) << error;
    juce::MemoryBlock state;
    plugin->getStateInformation(state);

    std::atomic<bool> locked{ false }, restored{ false }, restoredWhileLocked{ false };
    std::thread holder([&] {
        const juce::ScopedLock lock(plugin->getCallbackLock());
        locked = true;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!restored.load() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        restoredWhileLocked = restored.load();
    });
    while (!locked.load())
        std::this_thread::yield();
    plugin->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
    restored = true;
    holder.join();
    EXPECT_TRUE(restoredWhileLocked);
}
}
