// Numbers in a saved state's attributes read as written: the nearest double, whatever the number
// of digits or zeros, with the reader's own rules for what counts as a number.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "StateBlock.h"

namespace
{
std::string zeros(size_t count) { return std::string(count, '0'); }

TEST(StateNumberTest, ReadsTheNearestDouble)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    // 1 + 2^-53, exactly halfway between 1 and the next double.
    const std::string halfwayAboveOne = "1.00000000000000011102230246251565404236316680908203125";
    struct Case
    {
        std::string text;
        double expected;  // NaN: reads as NaN
    };
    const Case cases[] = {
        // long runs of zeros
        { "0." + zeros(330) + "1", 0.0 },  // 1e-331
        { "-0." + zeros(330) + "1", -0.0 },
        { "1" + zeros(310) + "e-1", inf },  // 1e309
        { "-1" + zeros(310), -inf },
        { "1" + zeros(310) + "e-2", 1e308 },
        { "0." + zeros(300) + "1", 1e-301 },
        { "0." + zeros(330) + "1e330", 0.1 },
        { "1" + zeros(400) + "e-400", 1.0 },
        { "1" + zeros(400) + "e-90", inf },   // 1e310
        { "0." + zeros(400) + "1e70", 0.0 },  // 1e-331
        { zeros(1000) + "0.25", 0.25 },
        { "0.25" + zeros(1000), 0.25 },
        { "1e" + zeros(1000) + "5", 1e5 },
        { "1e-" + zeros(1000) + "308", 1e-308 },
        { "0." + zeros(10) + "e99999999999999999999", 0.0 },
        // long mantissas, negative exponents
        { halfwayAboveOne, 1.0 },  // a tie goes to the even neighbour
        { halfwayAboveOne + zeros(500) + "1", 1.0 + DBL_EPSILON },
        { "1.00000000000000011102230246251565404236316680908203124" + std::string(500, '9'), 1.0 },
        { "123456789012345678901234567890e-330", 1.2345678901234567e-301 },
        { "0.1000000014901161", 0.1000000014901161 },  // as the plug-in writes 0.1f
        // the subnormal range
        { "2.2250738585072014e-308", DBL_MIN },
        { "2.2250738585072011e-308", 0x0.fffffffffffffp-1022 },
        { "1e-320", 0x0.00000000007e8p-1022 },
        { "4.9406564584124654e-324", 0x1p-1074 },
        { "-4.9e-324", -0x1p-1074 },
        { "2.4703282292062328e-324", 0x1p-1074 },  // just above half the smallest
        { "2.4703282292062327e-324", 0.0 },        // just below it
        { "1e-400", 0.0 },
        { "-1e-400", -0.0 },
        { "1e-99999999999999999999999", 0.0 },
        // around the largest double
        { "1e308", 1e308 },
        { "1e309", inf },
        { "-1e309", -inf },
        { "1.7976931348623158e308", DBL_MAX },
        { "1.7976931348623159e308", inf },
        { "1e99999999999999999999999", inf },
        // signs and a leading '+'
        { "+0.25", 0.25 },
        { "-0.25", -0.25 },
        { "-0", -0.0 },
        { "+.5", 0.5 },
        { "-.5", -0.5 },
        { "+-5", 0.0 },
        { "-+5", 0.0 },
        { "++5", 0.0 },
        { "+ 5", 0.0 },
        { "+", 0.0 },
        { "-", 0.0 },
        // the point without digits on one side
        { ".5", 0.5 },
        { "5.", 5.0 },
        { ".", 0.0 },
        { ".e5", 0.0 },
        // an exponent without digits ends the number before its 'e'
        { "1e", 1.0 },
        { "1e+", 1.0 },
        { "1e-", 1.0 },
        { "2.5E", 2.5 },
        { "1ex", 1.0 },
        { "1E+0005", 1e5 },
        // white space before, anything after
        { " \t\r\n0.5", 0.5 },
        { "0.5 ", 0.5 },
        { "0.25x", 0.25 },
        { "0.25.5", 0.25 },
        { "1e5e5", 1e5 },
        { "1,5", 1.0 },
        // text that is not a number
        { "", 0.0 },
        { "x", 0.0 },
        { "e5", 0.0 },
        { "in", 0.0 },
        { "0x10", 0.0 },
        { "-0x10", -0.0 },
        // infinity and NaN
        { "inf", inf },
        { "INFINITY", inf },
        { "-Inf", -inf },
        { "infx", inf },
        { "nan", nan },
        { "-nan", nan },
        { "nan(1)", nan },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text.size() > 80 ? c.text.substr(0, 40) + "..." + c.text.substr(c.text.size() - 40) : c.text);
        const double value = brondavell::readStateNumber(c.text);
        if (std::isnan(c.expected))
        {
            EXPECT_TRUE(std::isnan(value)) << value;
            continue;
        }
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(std::signbit(value), std::signbit(c.expected)) << value;
    }
}
}
