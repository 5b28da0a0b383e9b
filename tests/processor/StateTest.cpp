// The saved state: its bytes, what a restore accepts, and what a refused block leaves alone.
#include <gtest/gtest.h>

#include <random>

#include "PluginEditor.h"
#include "ProcessorTestAccess.h"

namespace
{
using namespace brondavell::test;

// volumeClean's 0.8 lies on the 0.01 grid as 80 x 0.01f, hence its value.
const char* const kDefaultText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <BRONDAVELLSETTINGS preGainClean=\"0.1000000014901161\" "
    "preGainDrive=\"0.4829369187355042\" flavorDrive=\"0.5\" bassClean=\"0.5\" mediumClean=\"0.5\" "
    "highClean=\"0.5\" bassDrive=\"0.5\" mediumDrive=\"0.5\" highDrive=\"0.5\" volumeClean=\"0.7999999523162842\" "
    "volumeDrive=\"0.5\" presence=\"0.5\" reverb=\"0.0\" reverbType2=\"0.0\" chanelDrive=\"0.0\" bright=\"1.0\" "
    "hqReverb=\"0.0\" boost=\"0.0\" cab=\"0.5833333134651184\"/>";

juce::MemoryBlock blobWithText(const std::string& text, int lengthField)
{
    juce::MemoryBlock blob;
    const uint8_t magic[] = { 0x56, 0x43, 0x32, 0x21 };
    blob.append(magic, 4);
    const auto length = static_cast<uint32_t>(lengthField);
    const uint8_t lengthBytes[] = { static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                                    static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24) };
    blob.append(lengthBytes, 4);
    blob.append(text.data(), text.size());
    const char zero = 0;
    blob.append(&zero, 1);
    return blob;
}

juce::MemoryBlock blobWithText(const std::string& text) { return blobWithText(text, static_cast<int>(text.size())); }

std::string defaultTextWith(const std::string& from, const std::string& to)
{
    std::string text = kDefaultText;
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(StateTest, DefaultStateByteForByte)
{
    auto p = makeProcessor();
    const auto blob = save(*p);
    const std::string text = kDefaultText;
    ASSERT_EQ(blob.getSize(), text.size() + 9);
    const auto* bytes = static_cast<const uint8_t*>(blob.getData());
    EXPECT_EQ(bytes[0], 0x56);
    EXPECT_EQ(bytes[1], 0x43);
    EXPECT_EQ(bytes[2], 0x32);
    EXPECT_EQ(bytes[3], 0x21);
    const uint32_t length = bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | (static_cast<uint32_t>(bytes[7]) << 24);
    EXPECT_EQ(length, blob.getSize() - 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 8), length), text);
    EXPECT_EQ(bytes[blob.getSize() - 1], 0);
    EXPECT_EQ(save(*p), blob);  // saving changes nothing
}

TEST(StateTest, RoundTripGivesBackEveryNormalisedFloat)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round)
    {
        auto source = makeProcessor();
        for (auto* parameter : source->getParameters())
            parameter->setValueNotifyingHost(std::uniform_real_distribution<float>(0.0f, 1.0f)(random));
        const auto blob = save(*source);
        EXPECT_EQ(save(*source), blob);

        auto target = makeProcessor();
        restore(*target, blob);
        for (int i = 0; i < 19; ++i)
            ASSERT_EQ(target->getParameters()[i]->getValue(), source->getParameters()[i]->getValue()) << i;
        EXPECT_EQ(save(*target), blob);
    }
}

TEST(StateTest, AcceptedBlocks)
{
    struct Case
    {
        const char* what;
        juce::MemoryBlock blob;
        const char* id;
        float expectedNormalised;
    };
    const std::string withBassClean = defaultTextWith("bassClean=\"0.5\"", "bassClean=\"0.25\"");
    const Case cases[] = {
        { "plain", blobWithText(withBassClean), "bassClean", 0.25f },
        { "length counts the terminating zero", blobWithText(withBassClean, static_cast<int>(withBassClean.size()) + 1),
          "bassClean", 0.25f },
        { "tag in lower case",
          blobWithText(
              std::string(withBassClean).replace(withBassClean.find("BRONDAVELLSETTINGS"), 18, "brondavellsettings")),
          "bassClean", 0.25f },
        { "text that is not a number reads as 0", blobWithText(defaultTextWith("bright=\"1.0\"", "bright=\"x\"")),
          "bright", 0.0f },
        { "nan reads as 0", blobWithText(defaultTextWith("presence=\"0.5\"", "presence=\"nan\"")), "presence", 0.0f },
        { "infinity is brought into range", blobWithText(defaultTextWith("reverb=\"0.0\"", "reverb=\"inf\"")), "reverb",
          1.0f },
        { "an exponent too large for any number reads as infinity",
          blobWithText(defaultTextWith("bassClean=\"0.5\"", "bassClean=\"0.10000e6001490011161\"")), "bassClean",
          1.0f },
        { "an exponent too small reads as 0",
          blobWithText(defaultTextWith("bassClean=\"0.5\"", "bassClean=\"5e-6001490011161\"")), "bassClean", 0.0f },
        { "a number below the smallest double reads as 0",
          blobWithText(defaultTextWith("reverb=\"0.0\"", "reverb=\"0." + std::string(330, '0') + "1\"")), "reverb",
          0.0f },
        { "a number beyond the largest double reads as infinity",
          blobWithText(defaultTextWith("reverb=\"0.0\"", "reverb=\"1" + std::string(310, '0') + "e-1\"")), "reverb",
          1.0f },
        { "white space and a plus sign before the number",
          blobWithText(defaultTextWith("bassClean=\"0.5\"", "bassClean=\" +0.25\"")), "bassClean", 0.25f },
        { "the number at the start of the text",
          blobWithText(defaultTextWith("bassClean=\"0.5\"", "bassClean=\"0.25x\"")), "bassClean", 0.25f },
        { "attribute names are case-sensitive", blobWithText(defaultTextWith("cab=", "CAB=")), "cab", 1.0f },
        { "unknown attributes are ignored",
          blobWithText(defaultTextWith("boost=\"0.0\"", "boost=\"1.0\" volume=\"0.1\"")), "boost", 1.0f },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        auto p = makeProcessor();
        p->cab->setValueNotifyingHost(1.0f);  // distinguishes "kept" from the default
        restore(*p, c.blob);
        const auto* parameter = parameterById(*p, c.id);
        EXPECT_EQ(parameter->getValue(), c.expectedNormalised);
        for (auto* other : p->getParameters())
            EXPECT_FALSE(std::isnan(other->getValue()));
    }
}

// A restore sets and notifies every parameter once, in index order, with the value it now holds;
// a missing attribute is notified with the value kept. A refused block notifies nothing.
TEST(StateTest, RestoreNotifiesEveryParameterOnceInOrder)
{
    auto source = makeProcessor();
    setPlain(source->bassClean, 0.2f);
    setPlain(source->boost, 1);
    const auto blob = save(*source);
    std::string text(static_cast<const char*>(blob.getData()) + 8, blob.getSize() - 9);
    text.replace(text.find(" cab=\""), text.find("\"/>") + 1 - text.find(" cab=\""), "");

    auto p = makeProcessor();
    setPlain(p->cab, 3);
    NotificationRecorder recorder;
    p->addListener(&recorder);
    restore(*p, blobWithText(text));
    restore(*p, blobWithText("not a state"));
    p->removeListener(&recorder);

    ASSERT_EQ(recorder.notified.size(), 19u);
    for (int i = 0; i < 19; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(recorder.notified[static_cast<size_t>(i)].first, i);
        EXPECT_EQ(recorder.notified[static_cast<size_t>(i)].second, p->getParameters()[i]->getValue());
    }
    EXPECT_EQ(p->bassClean->get(), source->bassClean->get());
    EXPECT_TRUE(p->boost->get());
    EXPECT_EQ(p->cab->get(), 3);
}

TEST(StateTest, MissingAttributeKeepsTheCurrentValue)
{
    auto p = makeProcessor();
    setPlain(p->cab, 3);
    restore(*p, blobWithText(defaultTextWith(" cab=\"0.5833333134651184\"", "")));
    EXPECT_EQ(p->cab->get(), 3);
}

// Refused blocks change nothing at all: no parameter, no prepared state, no editor flag.
TEST(StateTest, RefusedBlocksChangeNothing)
{
    const auto good = blobWithText(defaultTextWith("bassClean=\"0.5\"", "bassClean=\"0.25\""));
    const auto withByte = [&good](size_t index, uint8_t value) {
        juce::MemoryBlock copy = good;
        static_cast<uint8_t*>(copy.getData())[index] = value;
        return copy;
    };
    const auto truncated = [&good](size_t size) { return juce::MemoryBlock(good.getData(), size); };
    struct Case
    {
        const char* what;
        juce::MemoryBlock blob;
    };
    const Case cases[] = {
        { "empty", juce::MemoryBlock() },
        { "8 bytes", truncated(8) },
        { "fourth byte not 0x21", withByte(3, 0x22) },
        { "first byte wrong", withByte(0, 0x57) },
        { "length 0", blobWithText(kDefaultText, 0) },
        { "negative length", blobWithText(kDefaultText, -5) },
        { "text cut short", truncated(40) },
        { "length far beyond the data", blobWithText(kDefaultText, 1 << 30) },
        // Ends right after an attribute: the framework's reader used to apply the first part.
        { "state shorter than its length field", truncated(92) },
        { "not XML", blobWithText("hello, amplifier") },
        { "starts with a zero byte", withByte(8, 0) },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        auto p = makeProcessor();
        prepare(*p, 44100.0);
        setPlain(p->flavorDrive, 1.5f);  // a preparation would put the drive high-pass at 50 Hz
        processSignal(*p, 512);
        OpenEditor editor(*p);
        auto* ours = editor.get();
        ASSERT_NE(ours, nullptr);

        const auto savedBefore = save(*p);
        const auto preparedBefore = preparedState(*p);
        const auto cabinetBefore = Access::cabinetFilter(*p);
        // An exact-size heap copy, so that reading past the block is caught by the sanitizers.
        std::vector<uint8_t> exact(static_cast<const uint8_t*>(c.blob.getData()),
                                   static_cast<const uint8_t*>(c.blob.getData()) + c.blob.getSize());
        p->setStateInformation(exact.empty() ? nullptr : exact.data(), static_cast<int>(exact.size()));

        EXPECT_EQ(save(*p), savedBefore);
        EXPECT_EQ(preparedState(*p), preparedBefore);
        EXPECT_EQ(std::memcmp(&Access::cabinetFilter(*p), &cabinetBefore, sizeof(cabinetBefore)), 0);
        EXPECT_FALSE(ours->needsRelayout);
    }
}

// Hostile and broken text is refused whole. Each block is an exact-size heap copy, so that any
// read past its end is caught by the address sanitizer.
TEST(StateTest, HostileOrBrokenTextIsRefused)
{
    // A block with the text's own length; the terminating zero only where asked for.
    const auto rawBlock = [](const std::string& text, bool withZero) {
        const auto length = static_cast<uint32_t>(text.size());
        std::string bytes = "VC2!";
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((length >> shift) & 0xff);
        return bytes + text + (withZero ? std::string(1, '\0') : std::string());
    };
    // The default text with one more attribute whose value holds the given bytes.
    const auto withNote = [&rawBlock](const std::string& value) {
        return rawBlock(defaultTextWith("/>", " note=\"" + value + "\"/>"), true);
    };
    const std::string start = std::string(kDefaultText).substr(0, 60);
    struct Case
    {
        const char* what;
        std::string bytes;  // the whole block, header included
    };
    const Case cases[] = {
        { "open hexadecimal reference before the zero", rawBlock("<a>&#x", true) },
        { "open hexadecimal reference at the end of the block", rawBlock("<a>&#x", false) },
        { "open decimal reference", rawBlock("<a b='&#12", false) },
        { "cut-off sequence at the end of the block", rawBlock(start + "\xf0", false) },
        { "cut-off sequence in a value", withNote("\xe2\x82") },
        { "invalid lead byte", withNote("\xff") },
        { "stray continuation byte", withNote("\x80") },
        { "overlong form", withNote("\xc0\xaf") },
        { "surrogate", withNote("\xed\xa0\x80") },
        { "control character", withNote("\x01") },
        { "reference to character 0", withNote("&#0;") },
        { "reference beyond Unicode", withNote("&#x110000;") },
        { "unknown entity", withNote("&one;") },
        { "'<' in a value", withNote("<") },
        { "value never closed", rawBlock("<BRONDAVELLSETTINGS cab=\"1.0", false) },
        { "processing instruction loop", rawBlock("<?x-9\"?> <b> <bron$ave<?>rondave<?>xml ", true) },
        { "element never closed", rawBlock("<BRONDAVELLSETTINGS cab=\"1.0\">", true) },
        { "end tag of another element", rawBlock("<BRONDAVELLSETTINGS><a></b></BRONDAVELLSETTINGS>", true) },
        { "attributes without space between", rawBlock("<BRONDAVELLSETTINGS cab=\"1.0\"boost=\"1.0\"/>", true) },
        { "text after the element", rawBlock("<BRONDAVELLSETTINGS cab=\"1.0\"/>x", true) },
        { "two root elements", rawBlock("<BRONDAVELLSETTINGS/><BRONDAVELLSETTINGS/>", true) },
        { "document type", rawBlock("<!DOCTYPE a [<!ENTITY e 'x'>]><BRONDAVELLSETTINGS/>", true) },
        { "comment never closed", rawBlock("<!-- <BRONDAVELLSETTINGS cab=\"1.0\"/>", true) },
        { "empty text", rawBlock(std::string(1, '\0'), false) },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> exact(c.bytes.begin(), c.bytes.end());
        auto p = makeProcessor();
        p->cab->setValueNotifyingHost(0.0f);
        p->boost->setValueNotifyingHost(0.0f);
        const auto before = save(*p);
        p->setStateInformation(exact.data(), static_cast<int>(exact.size()));
        EXPECT_EQ(save(*p), before);
    }
}

// What a person or another tool may do to a saved text (white space, comments, line breaks, other
// quotes, character references, extra content) restores the same values as the text itself.
TEST(StateTest, EditedTextRestoresAsWritten)
{
    const std::string withBassClean = defaultTextWith("bassClean=\"0.5\"", "bassClean=\"0.25\"");
    const auto edited = [&withBassClean](const std::string& from, const std::string& to) {
        std::string text = withBassClean;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    const std::string root = "<BRONDAVELLSETTINGS ";
    const std::string end = "/>";
    const std::string body = withBassClean.substr(withBassClean.find(root));
    const std::string texts[] = {
        withBassClean,
        "\n  \t" + withBassClean,
        withBassClean + "\r\n",
        body,
        "<!-- saved <?by?> hand -->" + withBassClean,
        edited("?> ", "?>\n<!-- a note -- with dashes -->\n"),
        edited("?> ", "?><?editor keep?>"),
        edited(" preGainDrive=", "\n\t preGainDrive ="),
        edited(" presence=\"0.5\"", " presence='0.5'"),
        edited("bassClean=\"0.25\"", "bassClean=\"0&#46;2&#x35;\""),
        edited(end, "></BRONDAVELLSETTINGS >"),
        edited(end, "> text &amp; <!-- c --><![CDATA[<raw>]]><child a='1'><x/></child>\n</BRONDAVELLSETTINGS>"),
        edited(end, " note=\"caf\xc3\xa9 &lt;&gt;&quot;&apos;\"/>"),
        edited("UTF-8", "utf-8"),
        withBassClean + std::string(1, '\0') + "<?x trailing bytes after the zero are not text",
    };
    auto reference = makeProcessor();
    restore(*reference, blobWithText(withBassClean));
    const auto expected = save(*reference);
    ASSERT_EQ(reference->bassClean->get(), 0.25f);
    for (const auto& text : texts)
    {
        SCOPED_TRACE(text);
        auto p = makeProcessor();
        setPlain(p->cab, 2);
        setPlain(p->bassClean, 0.9f);
        restore(*p, blobWithText(text));
        EXPECT_EQ(save(*p), expected);
    }
}

// Deep nesting and long runs of markup cost linear time and no stack.
TEST(StateTest, LargeDocumentsAreReadInOnePass)
{
    std::string nested = "<BRONDAVELLSETTINGS cab=\"0.0\">";
    for (int i = 0; i < 200000; ++i)
        nested += "<a>";
    std::string opened = nested;
    for (int i = 0; i < 200000; ++i)
        nested += "</a>";
    nested += "</BRONDAVELLSETTINGS>";
    std::string comments = "<BRONDAVELLSETTINGS cab=\"0.0\"/>";
    for (int i = 0; i < 200000; ++i)
        comments += "<!--<?-->";

    auto p = makeProcessor();
    restore(*p, blobWithText(opened));
    EXPECT_EQ(p->cab->get(), 8);
    restore(*p, blobWithText(nested));
    EXPECT_EQ(p->cab->get(), 1);
    setPlain(p->cab, 8);
    restore(*p, blobWithText(comments));
    EXPECT_EQ(p->cab->get(), 1);
}

TEST(StateTest, OtherRootTagChangesNoParameterButStillPrepares)
{
    auto p = makeProcessor();
    prepare(*p, 44100.0);
    setPlain(p->flavorDrive, 1.5f);
    processSignal(*p, 512);
    OpenEditor editor(*p);
    const auto savedBefore = save(*p);

    std::string text = defaultTextWith("<BRONDAVELLSETTINGS ", "<OTHERSETTINGS ");
    text.replace(text.find("bassClean=\"0.5\""), 15, "bassClean=\"0.25\"");
    restore(*p, blobWithText(text));
    EXPECT_EQ(save(*p), savedBefore);
    EXPECT_TRUE(editor->needsRelayout);
    EXPECT_EQ(Access::filter(*p, "driveHighPass1")->coef, 0.992926538f);  // prepared again: 50 Hz
    EXPECT_EQ(Access::cabinetFilter(*p).state[0].z1, 0.0f);
}

TEST(StateTest, RestoreBeforeAnyBlock)
{
    auto p = makeProcessor();
    auto source = makeProcessor();
    setPlain(source->hqReverb, 1);
    setPlain(source->reverb, 0.4f);
    restore(*p, save(*source));
    EXPECT_FALSE(Access::reverbInitialised(*p));
    EXPECT_TRUE(p->hqReverb->get());
    prepare(*p, 48000.0);
    processSignal(*p, 256);
    EXPECT_EQ(Access::reverb(*p).ready, 1);
    EXPECT_EQ(Access::decimation(*p).factor, 2);
}
}
