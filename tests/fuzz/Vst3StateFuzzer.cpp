// Feeds arbitrary bytes, in a memory stream, to the built VST3's component setState, then, as
// hosts do, the same stream to the controller's setComponentState and setState. Beyond the
// sanitizers' checks it stops when:
//  - an exception comes out of the plug-in, or setState's result is not what the wrapper returns
//    (kResultOk for any bytes, kResultFalse for none);
//  - a value read back through the controller differs from an expectation computed here without
//    the wrapper: bytes whose private-data section does not fit in the block, or holds another
//    form than the wrapper writes, change nothing; otherwise the bypass follows the private data
//    and the plug-in's parameters take what a processor of this program's own takes from the
//    bytes in front of that section (all of them when there is none);
//  - after such a restore, the component state saved is not the wrapper's form of those values.
#include "PluginProcessor.h"
#include "Vst3ModuleHost.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

constexpr int32_t kResultOk = 0;
constexpr int32_t kResultFalse = 1;

// The wrapper's trailer: the private data, its size in 8 bytes (little-endian) and this marker.
// The private data it writes is a value tree holding the bypass flag.
const std::string kMarker = "JUCEPrivateData";
Bytes privateData(bool bypassed)
{
    Bytes tree;
    for (const char* text : { "JUCEPrivateData",
                              "\x01\x01"
                              "Bypass" })
        tree.insert(tree.end(), text, text + std::strlen(text) + 1);
    // One property of one byte, the flag (2 is true, 3 false), and no children.
    for (const int byte : { 1, 1, bypassed ? 2 : 3, 0 })
        tree.push_back(static_cast<uint8_t>(byte));
    return tree;
}

struct Expectation
{
    bool takes = false;  // whether the wrapper takes the bytes at all
    Bytes pluginPart;    // what the plug-in's own restore gets (nothing when empty)
    int bypass = -1;     // the bypass the private data sets: -1 none, 0 off, 1 on
};

Expectation expectationFor(const uint8_t* data, size_t size)
{
    Expectation e;
    if (size == 0)
        return e;
    e.takes = true;
    const size_t trailer = kMarker.size() + 8;
    if (size < trailer || std::memcmp(data + size - kMarker.size(), kMarker.data(), kMarker.size()) != 0)
    {
        e.pluginPart.assign(data, data + size);
        return e;
    }
    uint64_t privateSize = 0;
    for (int i = 7; i >= 0; --i)
        privateSize = (privateSize << 8) | data[size - trailer + static_cast<size_t>(i)];
    // The section and the 8 bytes in front of it must fit in the block.
    if (size < trailer + 8 || privateSize > size - trailer - 8)
    {
        e.takes = false;
        return e;
    }
    const Bytes section(data + size - trailer - privateSize, data + size - trailer);
    if (!section.empty())
    {
        if (section == privateData(false))
            e.bypass = 0;
        else if (section == privateData(true))
            e.bypass = 1;
        else
        {
            e.takes = false;
            return e;
        }
    }
    e.pluginPart.assign(data, data + (size - trailer - privateSize - 8));
    return e;
}

void check(bool promise)
{
    if (!promise)
        __builtin_trap();
}

juce::ScopedJuceInitialiser_GUI* framework = nullptr;
brondavell::test::Vst3ModuleHost* host = nullptr;
BrondavellJuceAudioProcessor* reference = nullptr;
std::vector<int> referenceIndex;  // for each controller parameter, the reference's, or -1 for the bypass
int expectedBypass = 0;

void checkValues()
{
    const auto& parameters = reference->getParameters();
    for (int i = 0; i < host->parameterCount(); ++i)
    {
        const int r = referenceIndex[static_cast<size_t>(i)];
        const double expected = r < 0 ? expectedBypass : static_cast<double>(parameters[r]->getValue());
        check(host->parameterValue(i) == expected);
    }
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    framework = new juce::ScopedJuceInitialiser_GUI();
    reference = new BrondavellJuceAudioProcessor();
    host = new brondavell::test::Vst3ModuleHost(BRONDAVELL_VST3_BUNDLE);
    // The controller's parameters are the plug-in's, by name, and the wrapper's bypass.
    for (int i = 0; i < host->parameterCount(); ++i)
    {
        int match = -1;
        for (int r = 0; r < reference->getParameters().size(); ++r)
            if (reference->getParameters()[r]->getName(128).toStdString() == host->parameterTitle(i))
                match = r;
        check(match >= 0 || host->isBypass(i));
        referenceIndex.push_back(match);
    }
    check(host->parameterCount() == reference->getParameters().size() + 1);
    checkValues();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto expected = expectationFor(data, size);
    brondavell::test::Vst3ModuleHost::StateResults results{};
    try
    {
        results = host->setState(data, size);
    }
    catch (...)
    {
        __builtin_trap();
    }
    check(results.component == (size > 0 ? kResultOk : kResultFalse));

    if (expected.takes)
    {
        if (!expected.pluginPart.empty())
            reference->setStateInformation(expected.pluginPart.data(), static_cast<int>(expected.pluginPart.size()));
        if (expected.bypass >= 0)
            expectedBypass = expected.bypass;
    }
    checkValues();

    if (expected.takes)
    {
        juce::MemoryBlock block;
        reference->getStateInformation(block);
        const auto* bytes = static_cast<const uint8_t*>(block.getData());
        Bytes form(bytes, bytes + block.getSize());
        const auto section = privateData(expectedBypass != 0);
        form.insert(form.end(), 8, 0);
        form.insert(form.end(), section.begin(), section.end());
        for (int i = 0; i < 8; ++i)
            form.push_back(static_cast<uint8_t>(section.size() >> (8 * i)));
        form.insert(form.end(), kMarker.begin(), kMarker.end());
        check(host->componentState() == form);
    }
    return 0;
}
