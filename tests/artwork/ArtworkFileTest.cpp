// Byte-level checks of the built-in pictures and outlines, without any framework:
// the PNG container (signature, header, chunk lengths and CRCs) and the path streams.
#include "ArtworkPictures.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
std::uint32_t readBigEndian32(const unsigned char* p)
{
    return (std::uint32_t{ p[0] } << 24) | (std::uint32_t{ p[1] } << 16) | (std::uint32_t{ p[2] } << 8)
        | std::uint32_t{ p[3] };
}

std::uint32_t crc32(const unsigned char* p, std::size_t n)
{
    std::uint32_t crc = 0xffffffffu;
    for (std::size_t i = 0; i < n; ++i)
    {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

class PictureTest : public ::testing::TestWithParam<PictureCase>
{};

TEST_P(PictureTest, HeaderIsEightBitRgbaNotInterlacedAtItsSize)
{
    const PictureCase& c = GetParam();
    static const unsigned char signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    ASSERT_GE(c.size, 8 + 25);
    ASSERT_EQ(0, std::memcmp(c.data, signature, 8));

    const unsigned char* ihdr = c.data + 8;
    EXPECT_EQ(13u, readBigEndian32(ihdr));
    EXPECT_EQ(0, std::memcmp(ihdr + 4, "IHDR", 4));
    EXPECT_EQ(static_cast<std::uint32_t>(c.width), readBigEndian32(ihdr + 8));
    EXPECT_EQ(static_cast<std::uint32_t>(c.height), readBigEndian32(ihdr + 12));
    EXPECT_EQ(8, ihdr[16]) << "bit depth";
    EXPECT_EQ(6, ihdr[17]) << "colour type (RGBA)";
    EXPECT_EQ(0, ihdr[18]) << "compression";
    EXPECT_EQ(0, ihdr[19]) << "filter";
    EXPECT_EQ(0, ihdr[20]) << "interlace";
}

// Walks every chunk: a truncated or corrupted embedding shows as a bad length or CRC.
TEST_P(PictureTest, ChunksAreIntactAndEndExactlyAtIend)
{
    const PictureCase& c = GetParam();
    std::size_t pos = 8;
    std::string last;
    int dataChunks = 0;
    while (pos + 12 <= static_cast<std::size_t>(c.size))
    {
        const std::uint32_t length = readBigEndian32(c.data + pos);
        ASSERT_LE(pos + 12 + length, static_cast<std::size_t>(c.size)) << "chunk at " << pos;
        last.assign(reinterpret_cast<const char*>(c.data + pos + 4), 4);
        EXPECT_EQ(readBigEndian32(c.data + pos + 8 + length), crc32(c.data + pos + 4, length + 4))
            << last << " chunk at " << pos;
        dataChunks += last == "IDAT" ? 1 : 0;
        pos += 12 + length;
        if (last == "IEND")
            break;
    }
    EXPECT_EQ("IEND", last);
    EXPECT_EQ(static_cast<std::size_t>(c.size), pos);
    EXPECT_GT(dataChunks, 0);
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, PictureTest, ::testing::ValuesIn(kPictureCases), pictureCaseName);

// A parsed path stream: every command with its coordinates.
struct PathCommand
{
    char type;
    std::vector<float> values;
};

// Parses the stream strictly: 'n' then 'm' first, known commands only, each with all of its
// floats, and 'e' followed by exactly two zero bytes at the end. Returns false on any fault.
bool parsePathStream(const unsigned char* data, int size, std::vector<PathCommand>& out)
{
    out.clear();
    int pos = 0;
    if (size < 1 || data[pos++] != 'n')
        return false;
    while (pos < size)
    {
        const char type = static_cast<char>(data[pos++]);
        if (type == 'e')
            return pos + 2 == size && data[pos] == 0 && data[pos + 1] == 0 && !out.empty() && out.front().type == 'm';
        int floats = 0;
        switch (type)
        {
        case 'm':
        case 'l':
            floats = 2;
            break;
        case 'q':
            floats = 4;
            break;
        case 'b':
            floats = 6;
            break;
        case 'c':
            floats = 0;
            break;
        default:
            return false;
        }
        if (pos + 4 * floats > size)
            return false;
        PathCommand command{ type, {} };
        for (int i = 0; i < floats; ++i, pos += 4)
        {
            const std::uint32_t bits = std::uint32_t{ data[pos] } | (std::uint32_t{ data[pos + 1] } << 8)
                | (std::uint32_t{ data[pos + 2] } << 16) | (std::uint32_t{ data[pos + 3] } << 24);
            float v = 0.0f;
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v))
                return false;
            command.values.push_back(v);
        }
        out.push_back(command);
    }
    return false;
}

TEST(KnobBodyPath, IsOneOpenSubPathOfAMoveAnd128Lines)
{
    std::vector<PathCommand> commands;
    ASSERT_TRUE(parsePathStream(kKnobBodyPath, kKnobBodyPathSize, commands));
    ASSERT_EQ(129u, commands.size());
    EXPECT_EQ('m', commands[0].type);
    for (std::size_t i = 1; i < commands.size(); ++i)
        EXPECT_EQ('l', commands[i].type) << "command " << i;
}

// Circle of radius 50 about (100, 150), from the top point counter-clockwise on screen in
// 0.05 rad steps: 125 full steps and a shorter one back to the top, with a zero-length
// segment at each end.
TEST(KnobBodyPath, TracesTheCircleFromTheTopCounterClockwise)
{
    std::vector<PathCommand> commands;
    ASSERT_TRUE(parsePathStream(kKnobBodyPath, kKnobBodyPathSize, commands));
    ASSERT_EQ(129u, commands.size());

    const auto x = [&](std::size_t i) { return commands[i].values[0]; };
    const auto y = [&](std::size_t i) { return commands[i].values[1]; };
    EXPECT_EQ(100.0f, x(0));
    EXPECT_EQ(100.0f, y(0));
    EXPECT_EQ(x(0), x(1));  // first segment: zero length
    EXPECT_EQ(y(0), y(1));
    EXPECT_EQ(x(0), x(127));  // the shorter step ends on the top point
    EXPECT_EQ(y(0), y(127));
    EXPECT_EQ(x(0), x(128));  // last segment: zero length
    EXPECT_EQ(y(0), y(128));

    double previousAngle = 0.0;
    for (std::size_t i = 2; i <= 127; ++i)
    {
        const double dx = x(i) - 100.0, dy = y(i) - 150.0;
        EXPECT_NEAR(50.0, std::hypot(dx, dy), 1e-4) << "point " << i;
        // Angle from the top, growing counter-clockwise on screen (y down): leftwards first.
        double angle = std::atan2(-dx, -dy);
        if (angle < 0.0)
            angle += 2.0 * M_PI;
        if (i == 127)
            angle = 2.0 * M_PI;
        const double step = angle - previousAngle;
        if (i < 127)
            EXPECT_NEAR(0.05, step, 1e-5) << "step to point " << i;
        else
            EXPECT_NEAR(2.0 * M_PI - 6.25, step, 1e-5) << "last, shorter step";
        previousAngle = angle;
    }
}

TEST(KnobDigitPaths, EachNumeralIsAWellFormedStreamWithItsSubPaths)
{
    for (int n = 0; n < 11; ++n)
    {
        SCOPED_TRACE("numeral " + std::to_string(n));
        std::vector<PathCommand> commands;
        ASSERT_NE(nullptr, kKnobDigitPaths[n].data);
        ASSERT_TRUE(parsePathStream(kKnobDigitPaths[n].data, kKnobDigitPaths[n].size, commands));
        int moves = 0, closes = 0;
        for (const PathCommand& c : commands)
        {
            moves += c.type == 'm' ? 1 : 0;
            closes += c.type == 'c' ? 1 : 0;
        }
        EXPECT_EQ(kNumeralSubPaths[n], moves);
        EXPECT_EQ(moves, closes) << "every glyph contour is closed";
    }
}
}  // namespace
