// States handed to the format wrappers compiled into the built binaries, on the formats' own
// interfaces with no framework host in between, so that any bytes arrive as they are: a state
// the wrapper cannot take changes nothing, a sound one restores, and no restore crashes or lets
// an exception out (either would end this test).
#include "Lv2ModuleHost.h"
#include "Vst3ModuleHost.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <lv2/atom/atom.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
using brondavell::test::Lv2ModuleHost;
using brondavell::test::Vst3ModuleHost;
using Bytes = std::vector<uint8_t>;

// A saved state of the plug-in that differs from the defaults in two parameters.
const std::string kSoundText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <BRONDAVELLSETTINGS bassClean=\"0.75\" cab=\"0.25\"/>";

Bytes littleEndian(uint64_t value, int bytes)
{
    Bytes result;
    for (int i = 0; i < bytes; ++i)
        result.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return result;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The plug-in's state block: magic, the text's length, the text and a zero byte.
Bytes stateBlock(const std::string& text)
{
    return bytesOf("VC2!") + littleEndian(text.size(), 4) + bytesOf(text) + Bytes{ 0 };
}

const Bytes kMarker = bytesOf("JUCEPrivateData");

// The VST3 component state: the plug-in's block, 8 zero bytes, the wrapper's private data, a
// size field (the private data's size when sound) and the marker.
Bytes componentState(const Bytes& block, const Bytes& privateData, uint64_t sizeField)
{
    return block + littleEndian(0, 8) + privateData + littleEndian(sizeField, 8) + kMarker;
}

std::vector<double> vst3Values(const Vst3ModuleHost& host)
{
    std::vector<double> values;
    for (int i = 0; i < host.parameterCount(); ++i)
        values.push_back(host.parameterValue(i));
    return values;
}

int vst3Index(const Vst3ModuleHost& host, const std::string& title)
{
    for (int i = 0; i < host.parameterCount(); ++i)
        if (host.parameterTitle(i) == title)
            return i;
    return -1;
}

TEST(WrapperStateTest, Vst3ComponentStatesTheWrapperCannotTakeChangeNothing)
{
    Vst3ModuleHost host(BRONDAVELL_VST3_BUNDLE);
    const int bassClean = vst3Index(host, "Bass Clean");
    int bypass = -1;
    for (int i = 0; i < host.parameterCount(); ++i)
        if (host.isBypass(i))
            bypass = i;
    ASSERT_GE(bassClean, 0);
    ASSERT_GE(bypass, 0);

    // The defaults as the wrapper writes them; their private data is the bypass flag, off.
    const auto defaults = host.componentState();
    ASSERT_GT(defaults.size(), kMarker.size() + 16);
    const auto sizeAt = defaults.end() - static_cast<long>(kMarker.size()) - 8;
    uint64_t privateSize = 0;
    for (int i = 7; i >= 0; --i)
        privateSize = (privateSize << 8) | sizeAt[i];
    ASSERT_LT(privateSize, defaults.size());
    const Bytes privateData(sizeAt - static_cast<long>(privateSize), sizeAt);
    Bytes bypassOn = privateData;
    ASSERT_EQ(bypassOn[bypassOn.size() - 2], 3);  // the flag's value: 3 is false, 2 is true
    bypassOn[bypassOn.size() - 2] = 2;

    const auto sound = stateBlock(kSoundText);
    const auto fits = sound.size() + privateData.size();
    // Private data that claims a child count of 2^31 - 1, which the value tree reader reserves.
    const Bytes manyChildren = bytesOf("JUCEPrivateData") + Bytes{ 0, 0, 4, 0xff, 0xff, 0xff, 0x7f };
    // The bypass flag as the integer 1: a value tree, but not one the wrapper writes.
    Bytes bypassAsInteger(privateData.begin(), privateData.end() - 3);
    bypassAsInteger = bypassAsInteger + Bytes{ 5, 1, 1, 0, 0, 0, 0 };

    struct Case
    {
        const char* what;
        Bytes state;
        bool restores, bypassed;
    };
    const Case cases[] = {
        { "the size field at 2^31", componentState(sound, privateData, 1ull << 31), false, false },
        { "the size field at 2^31 + 100", componentState(sound, privateData, (1ull << 31) + 100), false, false },
        { "the size field at 2^32 - 1", componentState(sound, privateData, (1ull << 32) - 1), false, false },
        { "the size field at 2^32 + 1000", componentState(sound, privateData, (1ull << 32) + 1000), false, false },
        { "the size field at 2^32 + 2^20", componentState(sound, privateData, (1ull << 32) + (1ull << 20)), false,
          false },
        { "the size field at 2^33 + 5", componentState(sound, privateData, (1ull << 33) + 5), false, false },
        { "the size field at 2^64 - 2^20", componentState(sound, privateData, 0ull - (1ull << 20)), false, false },
        { "the size field at 2^64 - 2^31", componentState(sound, privateData, 0ull - (1ull << 31)), false, false },
        { "the size field at 2^20", componentState(sound, privateData, 1ull << 20), false, false },
        { "the size field one byte beyond the block", componentState(sound, privateData, fits + 1), false, false },
        { "the size field one byte short", componentState(sound, privateData, privateData.size() - 1), false, false },
        { "only the size field and the marker", littleEndian(0, 8) + kMarker, false, false },
        { "a size field beyond a block shorter than a trailer", Bytes{ 'x' } + littleEndian(5, 8) + kMarker, false,
          false },
        { "a child count of 2^31 - 1", componentState(sound, manyChildren, manyChildren.size()), false, false },
        { "the bypass flag as an integer", componentState(sound, bypassAsInteger, bypassAsInteger.size()), false,
          false },
        { "private data of another kind", componentState(sound, bytesOf("xyz"), 3), false, false },
        // Sound states restore: the size field may be as large as the data in front of it.
        { "the plug-in's block alone", sound, true, false },
        { "the wrapper's form, bypass off", componentState(sound, privateData, privateData.size()), true, false },
        { "the wrapper's form, bypass on", componentState(sound, bypassOn, bypassOn.size()), true, true },
        { "no private data", componentState(sound, {}, 0), true, false },
        { "the size field covering the whole block", componentState({}, Bytes(fits, 'x'), fits), false, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        host.setState(defaults.data(), defaults.size());
        const auto before = vst3Values(host);
        host.setState(c.state.data(), c.state.size());
        const auto after = vst3Values(host);
        if (!c.restores)
        {
            EXPECT_EQ(after, before);
            EXPECT_EQ(host.componentState(), defaults);
            continue;
        }
        EXPECT_EQ(after[static_cast<size_t>(bassClean)], 0.75);
        EXPECT_EQ(after[static_cast<size_t>(bypass)], c.bypassed ? 1.0 : 0.0);
    }
}

std::string base64(const Bytes& bytes)
{
    return juce::MemoryBlock(bytes.data(), bytes.size()).toBase64Encoding().toStdString();
}

TEST(WrapperStateTest, Lv2StateTextsOtherThanStoredOnesChangeNothing)
{
    Lv2ModuleHost host(BRONDAVELL_LV2_BUNDLE, 48000.0, 512);
    const auto defaults = host.store();
    ASSERT_EQ(defaults.size(), 1u);
    const auto stateKey = host.stateKey();
    const auto programKey = host.programKey();
    const auto string = host.map(LV2_ATOM__String);
    const auto integer = host.map(LV2_ATOM__Int);
    const auto bassClean = host.parameter("bassClean");

    // A state text as the client stores it (with its zero byte) or given as bytes alone.
    const auto text = [&](const std::string& t) {
        return Lv2ModuleHost::Property{ stateKey, string, bytesOf(t) + Bytes{ 0 } };
    };
    const auto program = [&](Bytes value, uint32_t type) { return Lv2ModuleHost::Property{ programKey, type, value }; };
    const auto sound = base64(stateBlock(kSoundText));
    const auto dot = sound.find('.');
    const auto payload = sound.substr(dot);
    const auto count = std::stoul(sound.substr(0, dot));

    struct Case
    {
        const char* what;
        std::vector<Lv2ModuleHost::Property> properties;
        LV2_State_Status status;
        bool restores;
    };
    const Case cases[] = {
        { "a count of -1", { text("-1.") }, LV2_STATE_SUCCESS, false },
        { "a count of -1 with characters", { text("-1" + payload) }, LV2_STATE_SUCCESS, false },
        { "a count of 2^32 - 1", { text("4294967295" + payload) }, LV2_STATE_SUCCESS, false },
        { "a count of 2^31 - 1", { text("2147483647" + payload) }, LV2_STATE_SUCCESS, false },
        { "a count beyond 64 bits", { text("99999999999999999999999" + payload) }, LV2_STATE_SUCCESS, false },
        { "a count one beyond the characters",
          { text(std::to_string(count + 1) + payload) },
          LV2_STATE_SUCCESS,
          false },
        { "white space before the count", { text(" " + sound) }, LV2_STATE_SUCCESS, false },
        { "a sign before the count", { text("+" + sound) }, LV2_STATE_SUCCESS, false },
        { "a letter in the count", { text(std::to_string(count) + "a" + payload) }, LV2_STATE_SUCCESS, false },
        { "no count", { text(payload) }, LV2_STATE_SUCCESS, false },
        { "no dot", { text("12") }, LV2_STATE_SUCCESS, false },
        { "an empty text", { text("") }, LV2_STATE_SUCCESS, false },
        { "no bytes at all", { { stateKey, string, {} } }, LV2_STATE_SUCCESS, false },
        { "a byte above 127", { text(sound + "\xc3\xa9") }, LV2_STATE_SUCCESS, false },
        { "a zero byte inside the characters",
          { text(sound.substr(0, sound.size() / 2) + '\0' + sound.substr(sound.size() / 2)) },
          LV2_STATE_SUCCESS,
          false },
        { "the state as an integer", { { stateKey, integer, bytesOf(sound) } }, LV2_STATE_ERR_BAD_TYPE, false },
        { "no state", {}, LV2_STATE_ERR_NO_PROPERTY, false },
        { "program -1", { program(littleEndian(0xffffffff, 4), integer), text(sound) }, LV2_STATE_SUCCESS, false },
        { "program 2^31 - 1",
          { program(littleEndian(0x7fffffff, 4), integer), text(sound) },
          LV2_STATE_SUCCESS,
          false },
        // Sound texts restore; a program that is not a 32-bit integer is passed over.
        { "the stored form", { text(sound) }, LV2_STATE_SUCCESS, true },
        { "without its zero byte", { { stateKey, string, bytesOf(sound) } }, LV2_STATE_SUCCESS, true },
        { "text after a zero byte", { text(sound + '\0' + "-1.") }, LV2_STATE_SUCCESS, true },
        { "a program of 3 bytes", { program(littleEndian(0, 3), integer), text(sound) }, LV2_STATE_SUCCESS, true },
        { "a program as a string", { program(bytesOf("0"), string), text(sound) }, LV2_STATE_SUCCESS, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(host.restore(defaults), LV2_STATE_SUCCESS);
        host.run(0);
        EXPECT_EQ(host.restore(c.properties), c.status);
        host.run(0);
        if (!c.restores)
        {
            EXPECT_EQ(host.reportsInLastRun(), 0u);
            const auto stored = host.store();
            ASSERT_EQ(stored.size(), 1u);
            EXPECT_EQ(stored[0].value, defaults[0].value);
            continue;
        }
        EXPECT_EQ(host.reportsInLastRun(), 19u);
        EXPECT_EQ(host.reported().at(bassClean), 0.75f);
    }
}
}
