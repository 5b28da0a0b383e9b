#pragma once

// Reading of the saved-state block: the 8-byte header ("VC2!" and the text length, little-endian)
// followed by UTF-8 XML text with one element whose attributes hold the parameter values.
// Plain C++ with no framework dependency: the bytes come from outside, so they are read here in
// one bounded pass, and nothing else ever sees them.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brondavell
{
struct StateSettings
{
    std::string tag;  // the root element's name
    // The root element's attributes in text order, names as written and values with their
    // character references replaced.
    std::vector<std::pair<std::string, std::string>> attributes;

    // Whether the root element is the one the plug-in writes (the name compared without regard
    // to ASCII case).
    bool hasTag(std::string_view name) const;
    // The value of the first attribute with exactly this name, or nothing.
    const std::string* attribute(std::string_view name) const;
};

// The settings a block holds, or nothing when the restore must refuse it. A block is taken when
// its header is sound (more than 8 bytes, the magic, a length field above 0 that the block holds
// in full) and its text (the length field's bytes, ending early at a zero byte) is valid UTF-8 and
// a well-formed XML document: an optional declaration, then white space, comments and processing
// instructions around one root element, which may contain text, CDATA, comments and further
// elements. A document type declaration is refused. The pass is linear in the block's size.
std::optional<StateSettings> readStateBlock(const void* data, int sizeInBytes);

// An attribute's text as a number: leading white space and a '+' are skipped, and the longest
// decimal number at the start ("inf", "infinity" and "nan" too, in any case) reads as the nearest
// double, however many digits or zeros it has. Text that starts with no number reads as 0 (there
// is no hexadecimal: "0x10" reads as 0); a magnitude beyond the largest double reads as infinity
// and one that rounds below the smallest as 0, both with the number's sign.
double readStateNumber(std::string_view text);
}
