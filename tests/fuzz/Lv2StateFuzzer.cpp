// Hands arbitrary bytes to the built LV2's state restore, through its retrieve callback. The
// first byte chooses the properties, the rest are their values:
//   bit 0  a program number comes first: 4 bytes (3 with bit 2) taken from the rest, typed
//          atom:Int (atom:String with bit 1);
//   bit 3  no state string;
//   bit 4  the state string typed atom:Int;
//   bit 5  the state string handed out without a terminating zero byte;
// and the state string is the remaining bytes. Beyond the sanitizers' checks it stops when:
//  - an exception comes out of the plug-in, or restore's status is not the client's;
//  - the parameter values the plug-in reports in the next block (patch:Set) differ from an
//    expectation computed here without the client: a 32-bit program number, a missing or
//    mistyped state and any text that is not of the stored form (ASCII, the byte count in decimal
//    digits, a '.', enough base-64 characters for that count) change nothing and report nothing;
//    a text of the stored form gives what a processor of this program's own takes from its
//    decoding, with a report of every parameter when that processor sets them;
//  - after such a restore, the stored state does not decode to that processor's saved state.
#include "Lv2ModuleHost.h"
#include "PluginProcessor.h"
#include "StateBlock.h"

#include <lv2/atom/atom.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
using brondavell::test::Lv2ModuleHost;

// The client's base-64 form: the byte count in decimal, a '.', then 6 bits per character, least
// significant bit first, from this alphabet; characters from '+' to 'z' outside it count as 0
// and all others are skipped.
constexpr std::string_view kAlphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";

bool isStoredForm(std::string_view text)
{
    const auto dot = text.find('.');
    if (dot == 0 || dot == std::string_view::npos)
        return false;
    const uint64_t characters = text.size() - dot - 1;
    if (characters > static_cast<uint64_t>(std::numeric_limits<int>::max()) / 6)
        return false;
    uint64_t count = 0;
    for (size_t i = 0; i < dot; ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        count = count * 10 + static_cast<uint64_t>(text[i] - '0');
        if (count * 8 > characters * 6)
            return false;
    }
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

Bytes decode(std::string_view text)
{
    const auto dot = text.find('.');
    Bytes bytes(std::stoul(std::string(text.substr(0, dot))), 0);
    const uint64_t bits = bytes.size() * 8;
    uint64_t position = 0;
    for (const char c : text.substr(dot + 1))
    {
        if (c < '+' || c > 'z')
            continue;
        const auto found = kAlphabet.find(c);
        const auto value = found == std::string_view::npos ? 0u : static_cast<unsigned>(found);
        for (unsigned bit = 0; bit < 6 && position + bit < bits; ++bit)
            if ((value >> bit) & 1u)
                bytes[(position + bit) / 8] |= static_cast<uint8_t>(1u << ((position + bit) % 8));
        position += 6;
    }
    return bytes;
}

void check(bool promise)
{
    if (!promise)
        __builtin_trap();
}

juce::ScopedJuceInitialiser_GUI* framework = nullptr;
Lv2ModuleHost* host = nullptr;
BrondavellJuceAudioProcessor* reference = nullptr;
std::vector<LV2_URID> parameterUrids;  // in the reference's parameter order
LV2_URID atomString = 0, atomInt = 0;

// Every parameter's last report equals the reference's plain value.
void checkReports()
{
    const auto& reported = host->reported();
    const auto& parameters = reference->getParameters();
    for (size_t i = 0; i < parameterUrids.size(); ++i)
    {
        const auto* ranged = dynamic_cast<juce::RangedAudioParameter*>(parameters[static_cast<int>(i)]);
        const auto it = reported.find(parameterUrids[i]);
        check(ranged != nullptr && it != reported.end());
        check(it->second == ranged->convertFrom0to1(ranged->getValue()));
    }
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    framework = new juce::ScopedJuceInitialiser_GUI();
    reference = new BrondavellJuceAudioProcessor();
    host = new Lv2ModuleHost(BRONDAVELL_LV2_BUNDLE, 48000.0, 512);
    atomString = host->map(LV2_ATOM__String);
    atomInt = host->map(LV2_ATOM__Int);
    for (auto* parameter : reference->getParameters())
        parameterUrids.push_back(host->parameter(
            dynamic_cast<juce::AudioProcessorParameterWithID*>(parameter)->getParameterID().toStdString()));
    // Restoring the stored defaults makes the plug-in report every parameter once.
    check(host->restore(host->store()) == LV2_STATE_SUCCESS);
    host->run(0);
    check(host->reportsInLastRun() == parameterUrids.size());
    checkReports();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t choice = size > 0 ? data[0] : 0;
    const uint8_t* rest = size > 0 ? data + 1 : data;
    size_t left = size > 0 ? size - 1 : 0;

    std::vector<Lv2ModuleHost::Property> properties;
    bool programTaken = false;
    if (choice & 0x01)
    {
        const size_t length = std::min<size_t>(left, (choice & 0x04) ? 3 : 4);
        const auto type = (choice & 0x02) ? atomString : atomInt;
        properties.push_back({ host->programKey(), type, Bytes(rest, rest + length) });
        programTaken = type == atomInt && length == 4;
        rest += length;
        left -= length;
    }
    const bool hasState = !(choice & 0x08);
    const bool stateIsString = !(choice & 0x10);
    if (hasState)
    {
        Bytes value(rest, rest + left);
        if (!(choice & 0x20))
            value.push_back(0);
        properties.push_back({ host->stateKey(), stateIsString ? atomString : atomInt, value });
    }

    LV2_State_Status expectedStatus = LV2_STATE_SUCCESS;
    const uint8_t* textEnd = std::find(rest, rest + left, 0);
    const std::string_view text(reinterpret_cast<const char*>(rest), static_cast<size_t>(textEnd - rest));
    bool decoded = false;
    if (!programTaken)
    {
        if (!hasState)
            expectedStatus = LV2_STATE_ERR_NO_PROPERTY;
        else if (!stateIsString)
            expectedStatus = LV2_STATE_ERR_BAD_TYPE;
        else
            decoded = isStoredForm(text);
    }

    LV2_State_Status status = LV2_STATE_ERR_UNKNOWN;
    try
    {
        status = host->restore(properties);
        host->run(0);
    }
    catch (...)
    {
        __builtin_trap();
    }
    check(status == expectedStatus);

    bool reportsAll = false;
    Bytes block;
    if (decoded)
    {
        block = decode(text);
        const int blockSize = static_cast<int>(block.size());
        reference->setStateInformation(block.empty() ? nullptr : block.data(), blockSize);
        // The processor notifies every parameter when its reader takes the block and the root
        // element is its own.
        const auto settings = brondavell::readStateBlock(block.empty() ? nullptr : block.data(), blockSize);
        reportsAll = settings && settings->hasTag("BRONDAVELLSETTINGS");
    }
    check(host->reportsInLastRun() == (reportsAll ? parameterUrids.size() : 0));
    checkReports();

    if (reportsAll)
    {
        const auto stored = host->store();
        check(stored.size() == 1 && stored[0].key == host->stateKey() && stored[0].type == atomString);
        const auto& value = stored[0].value;
        check(!value.empty() && value.back() == 0);
        const std::string_view storedText(reinterpret_cast<const char*>(value.data()), value.size() - 1);
        check(isStoredForm(storedText));
        juce::MemoryBlock saved;
        reference->getStateInformation(saved);
        const auto* bytes = static_cast<const uint8_t*>(saved.getData());
        check(decode(storedText) == Bytes(bytes, bytes + saved.getSize()));
    }
    return 0;
}
