// The recursive states are stored through (v + 1) - 1. These checks go through the real filter
// code as the library is compiled, so an optimiser that folded the expression away fails them.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "BiquadCascade.h"
#include "OnePoleFilter.h"
#include "ToneStack.h"

namespace
{
struct QuantCase
{
    float in;
    float stored;
};

const QuantCase kQuantCases[] = {
    { 5.9e-8f, 0.0f },
    { 6e-8f, 1.1920929e-7f },  // 2^-23
    { -2.9e-8f, 0.0f },
    { -3e-8f, -5.9604645e-8f },  // -2^-24
};

class Quantise : public ::testing::TestWithParam<QuantCase>
{};

TEST_P(Quantise, OnePoleLowpassStoresQuantisedOutput)
{
    // With coef 1 and a cleared state the output equals the input.
    OnePoleFilter f{ true, 0.0f, 0.0f, 1.0f };
    float x = GetParam().in;
    onePoleFilterProcess(f, &x, 1);
    EXPECT_EQ(x, GetParam().in);  // the sample itself is not quantised
    EXPECT_EQ(f.y1, GetParam().stored);
}

TEST_P(Quantise, OnePoleHighpassStoresQuantisedOutput)
{
    OnePoleFilter f{ false, 0.0f, 0.0f, 1.0f };
    float x = GetParam().in;
    onePoleFilterProcess(f, &x, 1);
    EXPECT_EQ(f.y1, GetParam().stored);
    EXPECT_EQ(f.x1, GetParam().in);  // the last input is kept as it came
}

TEST_P(Quantise, BiquadStoresQuantisedDelays)
{
    // Row {b0 1, b1 1, b2 1, a0 1, a1 0, a2 0}: from a cleared state s1 = s2 = x.
    static const float sos[6] = { 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f };
    static const float scale[2] = { 1.0f, 1.0f };
    BiquadCascade c{};
    biquadCascadeBind(c, sos, scale, 1);
    float x = GetParam().in;
    biquadCascadeProcess(c, &x, 1, dspFastestRoutines());
    EXPECT_EQ(c.state[0].z1, GetParam().stored);
    EXPECT_EQ(c.state[0].z2, GetParam().stored);
}

TEST_P(Quantise, ToneStackStoresQuantisedHistory)
{
    auto stack = std::make_unique<ToneStack>();
    toneStackConstruct(*stack);
    stack->b[0] = 1.0f;  // y = x, so both histories see the input
    float x[6] = { 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, GetParam().in };
    toneStackProcess(*stack, x, 6);
    EXPECT_EQ(stack->xHist[3], GetParam().stored);
    EXPECT_EQ(stack->yHist[3], GetParam().stored);
    EXPECT_EQ(x[5], GetParam().in);
}

std::string quantCaseName(const ::testing::TestParamInfo<QuantCase>& param)
{
    static const char* const names[] = { "Plus5p9em8", "Plus6em8", "Minus2p9em8", "Minus3em8" };
    return names[param.index];
}

INSTANTIATE_TEST_SUITE_P(Values, Quantise, ::testing::ValuesIn(kQuantCases), quantCaseName);
}  // namespace
