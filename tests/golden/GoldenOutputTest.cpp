// Golden outputs: the whole plug-in's output pinned bit for bit. A plucked-string riff runs
// through the processor at each of the six supported rates, in blocks of each of eight lengths,
// with settings that take every stage of the chain (both channels, boost, bright off, presence,
// both reverbs at both qualities, several cabinets and none) and with mid-stream automation of the
// parameters whose change rebuilds state. Each run's two output channels are reduced to one
// 64-bit hash of their float bits and compared with the hash stored in GoldenOutputs.txt.
//
// A change that is meant to change the sound regenerates the stored hashes, and its commit says
// why the sound changed:
//
//     cmake --build build --target update_golden_outputs
//
// (runs this test with BRONDAVELL_UPDATE_GOLDEN=1, which rewrites GoldenOutputs.txt in the source
// tree from this build's outputs instead of comparing). Every other change keeps them green.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ProcessorTestAccess.h"
#include "TestSignals.h"

namespace
{
using namespace brondavell::test;

const double kRates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
const int kBlockLengths[] = { 1, 3, 64, 128, 333, 512, 4096, 8192 };

// The riff plays for kRiffSeconds, then silence lets the reverb tail and the filters ring out
// until kTotalSeconds (rounded up to whole blocks).
constexpr double kRiffSeconds = 0.9;
constexpr double kTotalSeconds = 1.2;

struct ParameterValue
{
    const char* id;
    float plain;
};

// A parameter change between two blocks: applied before the first block that starts at or
// after the given time, as host automation arrives between render calls.
struct Automation
{
    double seconds;
    ParameterValue change;
};

struct Case
{
    const char* name;
    std::vector<ParameterValue> settings;  // applied before the preparation, over the defaults
    std::vector<Automation> automation;
};

// Reverb types and qualities: type 1 at a quarter rate ("clean"), type 2 at half rate ("drive"),
// type 1 at half rate ("drive-dark-nocab"), type 2 at a quarter rate ("clean-type2-lofi").
const std::vector<Case>& cases()
{
    static const std::vector<Case> all = {
        { "clean", { { "reverb", 0.5f } }, {} },
        { "clean-boost-dark",
          { { "boost", 1 }, { "bright", 0 }, { "preGainClean", 4.0f }, { "presence", 0.0f }, { "cab", 2 } },
          {} },
        { "clean-type2-lofi",
          { { "reverb", 1.0f },
            { "reverbType2", 1 },
            { "cab", 5 },
            { "preGainClean", 2.5f },
            { "bassClean", 0.2f },
            { "highClean", 0.9f },
            { "volumeClean", 0.6f } },
          {} },
        { "drive",
          { { "chanelDrive", 1 },
            { "preGainDrive", 7.0f },
            { "presence", 1.0f },
            { "cab", 13 },
            { "reverb", 0.6f },
            { "reverbType2", 1 },
            { "hqReverb", 1 },
            { "flavorDrive", 0.3f } },
          {} },
        { "drive-dark-nocab",
          { { "chanelDrive", 1 },
            { "bright", 0 },
            { "cab", 1 },
            { "reverb", 0.8f },
            { "hqReverb", 1 },
            { "volumeDrive", 0.5f },
            { "mediumDrive", 0.1f } },
          {} },
        { "automation-clean",
          { { "reverb", 0.7f }, { "preGainClean", 3.0f } },
          { { 0.2, { "cab", 3 } },
            { 0.4, { "reverbType2", 1 } },
            { 0.6, { "hqReverb", 1 } },
            { 0.8, { "highClean", 0.1f } },
            { 1.0, { "cab", 1 } } } },
        { "automation-drive",
          { { "chanelDrive", 1 }, { "reverb", 0.4f }, { "hqReverb", 1 }, { "cab", 9 } },
          { { 0.2, { "flavorDrive", 0.4f } },
            { 0.4, { "cab", 11 } },
            { 0.6, { "hqReverb", 0 } },
            { 0.7, { "bassDrive", 0.9f } },
            { 0.8, { "flavorDrive", 1.8f } },
            { 1.0, { "reverbType2", 1 } } } },
    };
    return all;
}

// 64-bit FNV-1a over the bytes of the samples' float bits.
class Fnv1a
{
public:
    void add(const float* samples, int count)
    {
        for (int i = 0; i < count; ++i)
        {
            uint32_t bits;
            std::memcpy(&bits, samples + i, sizeof(bits));
            for (int byte = 0; byte < 4; ++byte)
            {
                value ^= (bits >> (8 * byte)) & 0xffu;
                value *= 0x100000001b3ULL;
            }
        }
    }
    uint64_t get() const { return value; }

private:
    uint64_t value = 0xcbf29ce484222325ULL;
};

void set(BrondavellJuceAudioProcessor& p, const ParameterValue& value)
{
    auto* parameter = dynamic_cast<juce::RangedAudioParameter*>(parameterById(p, value.id));
    ASSERT_NE(parameter, nullptr) << value.id;
    setPlain(parameter, value.plain);
}

struct Rendered
{
    uint64_t hash;
    float peak;
};

// The riff through a fresh processor (one input, two outputs, as a mono guitar track feeding a
// stereo bus), in blocks of blockLength.
Rendered render(double rate, int blockLength, const Case& c)
{
    auto p = makeProcessor();
    for (const auto& value : c.settings)
        set(*p, value);
    prepare(*p, rate, 1, 2, blockLength);

    const auto riff = pluckedRiff(rate, kRiffSeconds);
    const auto blocks = (static_cast<int>(rate * kTotalSeconds) + blockLength - 1) / blockLength;

    juce::AudioBuffer<float> buffer(2, blockLength);
    Fnv1a hash;
    float peak = 0.0f;
    size_t nextEvent = 0;
    for (int block = 0; block < blocks; ++block)
    {
        const int start = block * blockLength;
        while (nextEvent < c.automation.size() && static_cast<int>(c.automation[nextEvent].seconds * rate) <= start)
            set(*p, c.automation[nextEvent++].change);

        buffer.clear();
        const int available = std::clamp(static_cast<int>(riff.size()) - start, 0, blockLength);
        if (available > 0)
            buffer.copyFrom(0, 0, riff.data() + start, available);
        processLocked(*p, buffer);
        for (int channel = 0; channel < 2; ++channel)
        {
            hash.add(buffer.getReadPointer(channel), blockLength);
            peak = std::max(peak, buffer.getMagnitude(channel, 0, blockLength));
        }
    }
    return { hash.get(), peak };
}

std::string keyOf(double rate, int blockLength, const Case& c)
{
    std::ostringstream key;
    key << static_cast<int>(rate) << ' ' << blockLength << ' ' << c.name;
    return key.str();
}

std::string hex(uint64_t value)
{
    std::ostringstream text;
    text << std::hex << std::setw(16) << std::setfill('0') << value;
    return text.str();
}

// The stored hashes by key ("<rate> <block length> <case>"); comment lines start with '#'.
std::map<std::string, std::string> readStored()
{
    std::map<std::string, std::string> stored;
    std::ifstream in(BRONDAVELL_GOLDEN_FILE);
    std::string line;
    while (std::getline(in, line))
    {
        if (line.empty() || line[0] == '#')
            continue;
        const auto split = line.find_last_of(' ');
        if (split != std::string::npos)
            stored[line.substr(0, split)] = line.substr(split + 1);
    }
    return stored;
}

bool updating()
{
    const char* flag = std::getenv("BRONDAVELL_UPDATE_GOLDEN");
    return flag != nullptr && std::string(flag) == "1";
}

// Rewrites the file with every key of the case table, in table order: the hashes rendered by
// this run where it rendered them, the stored ones elsewhere (a filtered run updates only its
// own cases), so cases that no longer exist drop out.
void writeStored(const std::map<std::string, std::string>& rendered)
{
    const auto stored = readStored();
    std::ofstream out(BRONDAVELL_GOLDEN_FILE, std::ios::trunc);
    out << "# Golden output hashes: <rate> <block length> <case> <64-bit FNV-1a of both output channels>.\n"
           "# Written by `cmake --build build --target update_golden_outputs`; see GoldenOutputTest.cpp.\n";
    for (const double rate : kRates)
        for (const int blockLength : kBlockLengths)
            for (const auto& c : cases())
            {
                const auto key = keyOf(rate, blockLength, c);
                const auto found = rendered.find(key);
                const auto old = stored.find(key);
                if (found != rendered.end())
                    out << key << ' ' << found->second << '\n';
                else if (old != stored.end())
                    out << key << ' ' << old->second << '\n';
            }
}

class GoldenOutput : public ::testing::TestWithParam<std::tuple<double, int>>
{};

TEST_P(GoldenOutput, MatchesStoredHashes)
{
    const auto [rate, blockLength] = GetParam();
    std::map<std::string, std::string> rendered;
    const auto stored = readStored();
    for (const auto& c : cases())
    {
        SCOPED_TRACE(c.name);
        const auto result = render(rate, blockLength, c);
        const auto key = keyOf(rate, blockLength, c);
        rendered[key] = hex(result.hash);
        if (updating())
            continue;
        const auto expected = stored.find(key);
        ASSERT_NE(expected, stored.end()) << "no stored hash for \"" << key << "\" in " << BRONDAVELL_GOLDEN_FILE;
        EXPECT_EQ(rendered[key], expected->second)
            << "the output of \"" << key << "\" changed (peak now " << result.peak << ")";
    }
    if (updating())
        writeStored(rendered);
}

INSTANTIATE_TEST_SUITE_P(RatesAndBlocks, GoldenOutput,
                         ::testing::Combine(::testing::ValuesIn(kRates), ::testing::ValuesIn(kBlockLengths)),
                         [](const auto& test) {
                             return std::to_string(static_cast<int>(std::get<0>(test.param))) + "Hz_"
                                 + std::to_string(std::get<1>(test.param));
                         });
}
