#include "StateBlock.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace brondavell
{
namespace
{
constexpr uint32_t kBlockMagic = 0x21324356;  // "VC2!"
constexpr int kHeaderSize = 8;

uint32_t readLittleEndian32(const uint8_t* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

bool isXmlChar(uint32_t c)
{
    return c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) || (c >= 0xe000 && c <= 0xfffd)
        || (c >= 0x10000 && c <= 0x10ffff);
}

// Whether the text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF) made of characters that XML allows.
bool isXmlUtf8(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const size_t size = text.size();
    for (size_t i = 0; i < size;)
    {
        const uint8_t lead = bytes[i];
        int extra = 0;
        uint32_t c = 0;
        uint32_t lowest = 0;
        if (lead < 0x80)
        {
            c = lead;
        }
        else if (lead >= 0xc2 && lead <= 0xdf)
        {
            extra = 1, c = lead & 0x1fu, lowest = 0x80;
        }
        else if (lead >= 0xe0 && lead <= 0xef)
        {
            extra = 2, c = lead & 0x0fu, lowest = 0x800;
        }
        else if (lead >= 0xf0 && lead <= 0xf4)
        {
            extra = 3, c = lead & 0x07u, lowest = 0x10000;
        }
        else
        {
            return false;
        }
        if (size - i <= static_cast<size_t>(extra))
            return false;
        for (int k = 1; k <= extra; ++k)
        {
            const uint8_t next = bytes[i + static_cast<size_t>(k)];
            if ((next & 0xc0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3fu);
        }
        if (c < lowest || !isXmlChar(c))
            return false;
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80)
    {
        out += static_cast<char>(c);
    }
    else if (c < 0x800)
    {
        out += static_cast<char>(0xc0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xe0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
    else
    {
        out += static_cast<char>(0xf0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Name characters: ASCII letters, '_', ':' and every non-ASCII character may start a name;
// digits, '-' and '.' may follow. The text is valid UTF-8, so a name never ends inside a
// multi-byte character.
bool isNameStart(char c) { return isAsciiLetter(c) || c == '_' || c == ':' || static_cast<uint8_t>(c) >= 0x80; }

bool isNameChar(char c) { return isNameStart(c) || isDigit(c) || c == '-' || c == '.'; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// One pass over the document; every step moves forward, and every search for a terminator starts
// where the reading stands, so the work is linear in the text's length.
class DocumentReader
{
public:
    explicit DocumentReader(std::string_view document) : text(document) {}

    bool read(StateSettings& settings)
    {
        if (!skipMisc() || !startsWith("<") || !readElement(&settings))
            return false;
        return skipMisc() && at == text.size();
    }

private:
    bool startsWith(std::string_view prefix) const { return text.compare(at, prefix.size(), prefix) == 0; }

    bool skipPast(std::string_view terminator)
    {
        const auto found = text.find(terminator, at);
        if (found == std::string_view::npos)
            return false;
        at = found + terminator.size();
        return true;
    }

    void skipSpace()
    {
        while (at < text.size() && isSpace(text[at]))
            ++at;
    }

    bool readName(std::string_view& name)
    {
        const size_t start = at;
        if (at == text.size() || !isNameStart(text[at]))
            return false;
        while (at < text.size() && isNameChar(text[at]))
            ++at;
        name = text.substr(start, at - start);
        return true;
    }

    // A comment ("<!--" ... "-->") or a processing instruction ("<?" name ... "?>"), the
    // declaration included.
    bool skipCommentOrInstruction()
    {
        if (startsWith("<!--"))
        {
            at += 4;
            return skipPast("-->");
        }
        at += 2;  // "<?"
        std::string_view target;
        return readName(target) && skipPast("?>");
    }

    // White space, comments and processing instructions around the root element.
    bool skipMisc()
    {
        for (;;)
        {
            skipSpace();
            if (startsWith("<!--") || startsWith("<?"))
            {
                if (!skipCommentOrInstruction())
                    return false;
                continue;
            }
            return true;
        }
    }

    // A character reference or one of the five predefined entities, after the '&'.
    bool readReference(std::string& out)
    {
        ++at;  // '&'
        static const std::pair<std::string_view, char> predefined[] = {
            { "amp;", '&' }, { "lt;", '<' }, { "gt;", '>' }, { "quot;", '"' }, { "apos;", '\'' }
        };
        for (const auto& [name, character] : predefined)
            if (startsWith(name))
            {
                at += name.size();
                out += character;
                return true;
            }
        if (!startsWith("#"))
            return false;
        ++at;
        const bool hex = startsWith("x");
        if (hex)
            ++at;
        uint32_t code = 0;
        size_t digits = 0;
        for (; at < text.size() && text[at] != ';'; ++at, ++digits)
        {
            const char c = text[at];
            uint32_t digit = 0;
            if (isDigit(c))
                digit = static_cast<uint32_t>(c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                digit = static_cast<uint32_t>(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                digit = static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
            code = code * (hex ? 16u : 10u) + digit;
            if (code > 0x10ffff)
                return false;
        }
        if (at == text.size() || digits == 0 || !isXmlChar(code))
            return false;
        ++at;  // ';'
        appendUtf8(out, code);
        return true;
    }

    bool readAttributeValue(std::string& value)
    {
        if (at == text.size() || (text[at] != '"' && text[at] != '\''))
            return false;
        const char quote = text[at++];
        while (at < text.size() && text[at] != quote)
        {
            if (text[at] == '<')
                return false;
            if (text[at] == '&')
            {
                if (!readReference(value))
                    return false;
                continue;
            }
            value += text[at++];
        }
        if (at == text.size())
            return false;
        ++at;  // closing quote
        return true;
    }

    // A start tag from its '<' on. Attributes are kept only when `settings` is given (the root).
    bool readStartTag(StateSettings* settings, std::string_view& name, bool& empty)
    {
        ++at;  // '<'
        if (!readName(name))
            return false;
        if (settings != nullptr)
            settings->tag = std::string(name);
        for (;;)
        {
            const size_t beforeSpace = at;
            skipSpace();
            if (startsWith("/>"))
            {
                at += 2;
                empty = true;
                return true;
            }
            if (startsWith(">"))
            {
                ++at;
                empty = false;
                return true;
            }
            std::string_view attributeName;
            if (at == beforeSpace || !readName(attributeName))
                return false;
            skipSpace();
            if (!startsWith("="))
                return false;
            ++at;
            skipSpace();
            std::string value;
            if (!readAttributeValue(value))
                return false;
            if (settings != nullptr)
                settings->attributes.emplace_back(std::string(attributeName), std::move(value));
        }
    }

    bool readEndTag(std::string_view expected)
    {
        at += 2;  // "</"
        std::string_view name;
        if (!readName(name) || name != expected)
            return false;
        skipSpace();
        if (!startsWith(">"))
            return false;
        ++at;
        return true;
    }

    // The root element with everything inside it. Open elements are kept on a list rather than
    // the call stack, so deep nesting cannot exhaust the stack.
    bool readElement(StateSettings* settings)
    {
        std::vector<std::string_view> open;
        std::string_view name;
        bool empty = false;
        if (!readStartTag(settings, name, empty))
            return false;
        if (empty)
            return true;
        open.push_back(name);
        std::string discarded;
        while (!open.empty())
        {
            if (at == text.size())
                return false;
            if (startsWith("</"))
            {
                if (!readEndTag(open.back()))
                    return false;
                open.pop_back();
            }
            else if (startsWith("<!--") || startsWith("<?"))
            {
                if (!skipCommentOrInstruction())
                    return false;
            }
            else if (startsWith("<![CDATA["))
            {
                at += 9;
                if (!skipPast("]]>"))
                    return false;
            }
            else if (startsWith("<"))
            {
                if (!readStartTag(nullptr, name, empty))
                    return false;
                if (!empty)
                    open.push_back(name);
            }
            else if (startsWith("&"))
            {
                discarded.clear();
                if (!readReference(discarded))
                    return false;
            }
            else
            {
                ++at;  // character data
            }
        }
        return true;
    }

    std::string_view text;
    size_t at = 0;
};

// Whether a decimal number that std::from_chars found out of range lies beyond the largest double
// rather than below the smallest: whether the decimal exponent of its first significant digit is
// positive. Out of range means above about 1e308 or below about 1e-324, so that sign alone
// decides, whatever the number of digits or zeros. The text is the number's whole pattern.
bool isBeyondLargestDouble(const char* first, const char* end)
{
    if (*first == '-')
        ++first;
    // The number is 0.d1d2... x 10^(order + exponent), d1 its first significant digit.
    int64_t order = 0;
    bool significant = false;
    bool fraction = false;
    const char* at = first;
    for (; at != end && *at != 'e' && *at != 'E'; ++at)
    {
        if (*at == '.')
        {
            fraction = true;
            continue;
        }
        significant = significant || *at != '0';
        if (significant && !fraction)
            ++order;  // a digit before the point, from the first significant one on
        else if (!significant && fraction)
            --order;  // a zero between the point and the first significant digit
    }
    int64_t exponent = 0;
    bool negativeExponent = false;
    if (at != end)
    {
        ++at;  // 'e'
        if (*at == '-' || *at == '+')
            negativeExponent = *at++ == '-';
        constexpr int64_t kFarBeyondAnyOrder = int64_t{ 1 } << 40;  // digit counts stay below 2^31
        for (; at != end; ++at)
            exponent = std::min(exponent * 10 + (*at - '0'), kFarBeyondAnyOrder);
    }
    return order + (negativeExponent ? -exponent : exponent) > 0;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}
}

bool StateSettings::hasTag(std::string_view name) const { return equalsIgnoringAsciiCase(tag, name); }

const std::string* StateSettings::attribute(std::string_view name) const
{
    for (const auto& [attributeName, value] : attributes)
        if (attributeName == name)
            return &value;
    return nullptr;
}

std::optional<StateSettings> readStateBlock(const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= kHeaderSize)
        return std::nullopt;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const auto length = static_cast<int32_t>(readLittleEndian32(bytes + 4));
    // A block shorter than its own length field has lost part of its text: refused whole, so
    // that a cut-off state never applies in part.
    if (readLittleEndian32(bytes) != kBlockMagic || length <= 0 || length > sizeInBytes - kHeaderSize)
        return std::nullopt;

    const auto* start = reinterpret_cast<const char*>(bytes + kHeaderSize);
    const auto* zero = static_cast<const char*>(std::memchr(start, 0, static_cast<size_t>(length)));
    const std::string_view text(start,
                                zero != nullptr ? static_cast<size_t>(zero - start) : static_cast<size_t>(length));
    if (!isXmlUtf8(text))
        return std::nullopt;

    StateSettings settings;
    if (!DocumentReader(text).read(settings))
        return std::nullopt;
    return settings;
}

double readStateNumber(std::string_view text)
{
    const char* first = text.data();
    const char* const last = first + text.size();
    while (first != last && isSpace(*first))
        ++first;
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-')
        ++first;

    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range)
    {
        const double magnitude = isBeyondLargestDouble(first, end) ? std::numeric_limits<double>::infinity() : 0.0;
        return *first == '-' ? -magnitude : magnitude;
    }
    return error == std::errc() ? value : 0.0;
}
}
