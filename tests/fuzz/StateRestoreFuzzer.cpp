// Feeds arbitrary bytes to the processor's state restore. Beyond the sanitizers' checks it stops
// on a broken promise of the restore:
//  - a block that the state reader refuses changes nothing (every parameter keeps its value);
//  - no parameter ever holds a value outside 0..1, NaN included;
//  - numbers read as the C library reads them. An oracle independent of the plug-in's reader
//    reads the document with expat and each attribute of its root with strtod (the "C" locale):
//    the reader's number routine gives the same double for every such text, and every parameter
//    holds its attribute's value after the restore's conversion, or keeps its value when the
//    attribute is missing or the root is another element;
//  - what is saved after a restore restores to the same bytes.
// A document that the reader takes and expat refuses (duplicate attributes, for one) gets every
// check but the number oracle's; how many blocks got which is printed at exit.
#include "PluginProcessor.h"
#include "StateBlock.h"

#include <expat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace
{
juce::ScopedJuceInitialiser_GUI* framework = nullptr;
BrondavellJuceAudioProcessor* processor = nullptr;
// A second processor whose parameters only convert values: it shows what a parameter holds after
// being set to a given float.
BrondavellJuceAudioProcessor* converter = nullptr;
std::vector<float>* current = nullptr;  // the parameter values before the next input
locale_t cLocale = nullptr;

struct Counts
{
    long long accepted = 0;     // blocks the reader took
    long long readByExpat = 0;  // of those, documents expat read too
    long long numbers = 0;      // attribute texts whose reading was compared
};
Counts counts;

juce::MemoryBlock saved(BrondavellJuceAudioProcessor& p)
{
    juce::MemoryBlock blob;
    p.getStateInformation(blob);
    return blob;
}

// The parameters' normalised values: all that a saved state holds, far cheaper to compare.
std::vector<float> values(BrondavellJuceAudioProcessor& p)
{
    std::vector<float> result;
    for (auto* parameter : p.getParameters())
        result.push_back(parameter->getValue());
    return result;
}

void check(bool promise)
{
    if (!promise)
        __builtin_trap();
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The document of an accepted block: the length field's bytes after the header, ending early at a
// zero byte.
std::string_view documentOf(const uint8_t* data, size_t size)
{
    const uint32_t length = data[4] | (data[5] << 8) | (data[6] << 16) | (static_cast<uint32_t>(data[7]) << 24);
    const auto* text = reinterpret_cast<const char*>(data + 8);
    const size_t available = std::min<size_t>(length, size - 8);
    const auto* zero = static_cast<const char*>(std::memchr(text, 0, available));
    return std::string_view(text, zero != nullptr ? static_cast<size_t>(zero - text) : available);
}

struct RootElement
{
    bool seen = false;
    std::string tag;
    std::vector<std::pair<std::string, std::string>> attributes;
};

void XMLCALL onStartElement(void* user, const XML_Char* name, const XML_Char** attributes)
{
    auto& root = *static_cast<RootElement*>(user);
    if (root.seen)
        return;
    root.seen = true;
    root.tag = name;
    for (; *attributes != nullptr; attributes += 2)
        root.attributes.emplace_back(attributes[0], attributes[1]);
}

// The root element as expat reads the document, its encoding taken as UTF-8 whatever the
// declaration says; nothing when expat refuses the document. The reader takes whatever stands
// between "<?xml" and the first "?>" for the declaration, where expat checks its content: a
// document whose declaration expat refuses is read again from after it.
std::optional<RootElement> readWithExpat(std::string_view document)
{
    XML_Parser parser = XML_ParserCreate("UTF-8");
    RootElement root;
    XML_SetUserData(parser, &root);
    XML_SetStartElementHandler(parser, onStartElement);
    const bool parsed = XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
    const bool declarationRefused = !parsed && XML_GetErrorCode(parser) == XML_ERROR_XML_DECL;
    XML_ParserFree(parser);
    if (declarationRefused && document.substr(0, 5) == "<?xml")
        if (const auto end = document.find("?>"); end != std::string_view::npos)
            return readWithExpat(document.substr(end + 2));
    if (!parsed || !root.seen)
        return std::nullopt;
    return root;
}

bool equalsIgnoringAsciiCase(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// strtod's reading of an attribute's text under the restore's rules of what a number is: XML
// white space and then one '+' (not before a '-') are skipped; a number then starts, after an
// optional '-', with a digit, a point, "inf" or "nan"; hexadecimal is not read, only its "0".
double cLibraryReading(const std::string& text)
{
    size_t at = text.find_first_not_of(" \t\n\r");
    if (at == std::string::npos)
        return 0.0;
    if (text[at] == '+' && at + 1 < text.size() && text[at + 1] != '-')
        ++at;
    const bool negative = text[at] == '-';
    const size_t body = at + (negative ? 1 : 0);
    if (body == text.size())
        return 0.0;
    const char c = text[body];
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'i' || c == 'I' || c == 'n' || c == 'N'))
        return 0.0;
    if (c == '0' && body + 1 < text.size() && (text[body + 1] == 'x' || text[body + 1] == 'X'))
        return negative ? -0.0 : 0.0;
    return strtod_l(text.c_str() + at, nullptr, cLocale);
}

bool sameReading(double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0; }

// What a parameter holds after the restore's conversion of the number it read.
float convertedLikeTheRestore(int index, double number)
{
    if (std::isnan(number))
        number = 0.0;
    number = number < 0.0 ? 0.0 : number > 1.0 ? 1.0 : number;  // -0 stays as it is
    auto* parameter = converter->getParameters()[index];
    parameter->setValue(static_cast<float>(number));
    return parameter->getValue();
}

void checkNumbers(std::string_view document, const std::vector<float>& before, const std::vector<float>& after)
{
    const auto root = readWithExpat(document);
    if (!root)
        return;
    ++counts.readByExpat;
    for (const auto& attribute : root->attributes)
    {
        check(sameReading(brondavell::readStateNumber(attribute.second), cLibraryReading(attribute.second)));
        ++counts.numbers;
    }
    const bool ours = equalsIgnoringAsciiCase(root->tag, "BRONDAVELLSETTINGS");
    const auto& parameters = processor->getParameters();
    for (int index = 0; index < parameters.size(); ++index)
    {
        const auto id =
            dynamic_cast<juce::AudioProcessorParameterWithID*>(parameters[index])->getParameterID().toStdString();
        const auto attribute = std::find_if(root->attributes.begin(), root->attributes.end(),
                                            [&id](const auto& entry) { return entry.first == id; });
        const auto i = static_cast<size_t>(index);
        if (ours && attribute != root->attributes.end())
            check(sameBits(after[i], convertedLikeTheRestore(index, cLibraryReading(attribute->second))));
        else
            check(sameBits(after[i], before[i]));
    }
}

void printCounts()
{
    std::fprintf(stderr,
                 "stat::state_blocks_accepted: %lld\nstat::state_blocks_read_by_expat: %lld\n"
                 "stat::state_numbers_compared: %lld\n",
                 counts.accepted, counts.readByExpat, counts.numbers);
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    framework = new juce::ScopedJuceInitialiser_GUI();  // this thread becomes the message thread
    processor = new BrondavellJuceAudioProcessor();
    processor->setPlayConfigDetails(1, 2, 48000.0, 512);
    processor->prepareToPlay(48000.0, 512);
    converter = new BrondavellJuceAudioProcessor();
    current = new std::vector<float>(values(*processor));
    cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    std::atexit(printCounts);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(INT32_MAX))
        return 0;
    const auto& before = *current;
    processor->setStateInformation(size == 0 ? nullptr : data, static_cast<int>(size));
    const auto after = values(*processor);

    // A refused block leaves every value as it was.
    if (!brondavell::readStateBlock(size == 0 ? nullptr : data, static_cast<int>(size)))
    {
        check(after == before);
        return 0;
    }
    ++counts.accepted;

    for (const float value : after)
        check(value >= 0.0f && value <= 1.0f);

    checkNumbers(documentOf(data, size), before, after);

    const auto blob = saved(*processor);
    processor->setStateInformation(blob.getData(), static_cast<int>(blob.getSize()));
    check(saved(*processor) == blob);
    *current = after;
    return 0;
}
