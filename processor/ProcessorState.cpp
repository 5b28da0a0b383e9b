// Saved state: the nineteen normalised parameter values as attributes of one XML element,
// wrapped in the framework's binary XML block.
#include "PluginProcessor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "PluginEditor.h"

namespace
{
const char* const kStateTag = "BRONDAVELLSETTINGS";

constexpr uint32_t kBlockMagic = 0x21324356;  // "VC2!"

// Whether the block's text, as the framework will take it (the bytes after the 8-byte header, up
// to the length field or the end of the block), is valid UTF-8 up to its first zero byte. The
// framework's XML reading steps over multi-byte sequences without checking them: an invalid or
// cut-off sequence makes it read past the end of the text (and of the host's block). Blocks with
// a sound header whose text is not UTF-8 are therefore refused like text that does not parse.
bool textIsValidUtf8(const void* data, int sizeInBytes)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    const uint32_t magic = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    const auto length = static_cast<int32_t>(bytes[4] | (bytes[5] << 8) | (bytes[6] << 16)
                                             | (static_cast<uint32_t>(bytes[7]) << 24));
    if (magic != kBlockMagic || length <= 0)
        return true;  // the framework refuses it anyway
    const int count = std::min(sizeInBytes - 8, static_cast<int>(length));
    const auto* text = reinterpret_cast<const char*>(bytes + 8);
    if (!juce::CharPointer_UTF8::isValidString(text, count))
        return false;
    // The framework's XML reading can loop forever on a processing instruction inside the
    // element; saved states have none beyond the declaration at the very start.
    const std::string_view view(text, static_cast<size_t>(std::max(0, count)));
    const auto end = view.find('\0');
    return view.substr(0, end).find("<?", 1) == std::string_view::npos;
}

// The attribute's text as a number, as the framework's reading gives it for well-formed numbers:
// leading white space and a '+' are skipped, the longest number at the start is read, and text
// that starts with no number reads as 0. Too large a magnitude reads as infinity, too small as 0.
// The framework's own reader overflows a signed integer on long exponents ("1e6001490"), so
// state text, which comes from outside, is read here instead.
double readAttributeNumber(const juce::String& text)
{
    const std::string utf8 = text.toStdString();
    const char* first = utf8.data();
    const char* const last = first + utf8.size();
    while (first != last && (*first == ' ' || *first == '\t' || *first == '\n' || *first == '\r'))
        ++first;
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-')
        ++first;

    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range)
    {
        const bool negative = *first == '-';
        const char* exponent = std::find_if(first, end, [](char c) { return c == 'e' || c == 'E'; });
        const bool tiny = exponent != end && exponent + 1 != end && exponent[1] == '-';
        if (tiny)
            return 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return error == std::errc() ? value : 0.0;
}

void raiseRelayoutFlag(juce::AudioProcessor& processor)
{
    if (auto* editor = dynamic_cast<BrondavellJuceAudioProcessorEditor*>(processor.getActiveEditor()))
        editor->needsRelayout = true;
}
}

void BrondavellJuceAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    juce::XmlElement settings(kStateTag);
    for (auto* parameter : getParameters())
        if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(parameter))
            settings.setAttribute(withId->getParameterID(), static_cast<double>(withId->getValue()));
    copyXmlToBinary(settings, destData);
}

void BrondavellJuceAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8 || !textIsValidUtf8(data, sizeInBytes))
        return;

    const auto settings = getXmlFromBinary(data, sizeInBytes);
    if (settings == nullptr)
        return;

    beginRestore();
    if (settings->getTagName().equalsIgnoreCase(kStateTag))
    {
        for (auto* parameter : getParameters())
        {
            auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(parameter);
            if (withId == nullptr)
                continue;
            const auto& id = withId->getParameterID();
            const double current = withId->getValue();
            double value = settings->hasAttribute(id) ? readAttributeNumber(settings->getStringAttribute(id)) : current;
            // "nan" reads as a number; like any other text that is not a number it reads as 0
            // here, so no parameter ever holds NaN. Values outside 0..1 are brought
            // into it before the conversion to float (the parameter would clamp them anyway), so
            // the host is never notified of an infinite or out-of-range value.
            if (std::isnan(value))
                value = 0.0;
            value = juce::jlimit(0.0, 1.0, value);
            const auto normalised = static_cast<float>(value);
            withId->setValue(normalised);
            withId->sendValueChangedMessageToListeners(normalised);
        }
    }

    raiseEditorRelayout();

    finishRestore();
    reset();
}

// On the message thread the editor is looked up and flagged at once. A restore on another thread
// hands the flag to the message thread, where editors are created and deleted, so an editor being
// closed meanwhile is never touched: by the time the call runs it is either still registered as
// the active editor or gone (and a deleted processor is caught by the weak reference).
void BrondavellJuceAudioProcessor::raiseEditorRelayout()
{
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        raiseRelayoutFlag(*this);
        return;
    }
    juce::MessageManager::callAsync([processor = juce::WeakReference<BrondavellJuceAudioProcessor>(this)] {
        if (auto* alive = processor.get())
            raiseRelayoutFlag(*alive);
    });
}
