// The processing routines run on the audio thread: none of them may touch the heap.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "AudioTables.h"
#include "BiquadCascade.h"
#include "BlockResampler.h"
#include "ComplexFft.h"
#include "ConvolutionReverb.h"
#include "CountingAllocator.h"
#include "OnePoleFilter.h"
#include "ToneStack.h"

namespace
{
TEST(RealTime, ProcessingRoutinesDoNotAllocate)
{
    std::vector<float> signal(8192);
    for (size_t i = 0; i < signal.size(); ++i)
        signal[i] = static_cast<float>((i * 7919) % 200) / 100.0f - 1.0f;
    std::vector<float> ir(20694);
    for (size_t i = 0; i < ir.size(); ++i)
        ir[i] = signal[i % 8192] * 0.1f;
    auto down = std::make_unique<BlockResampler>();
    auto up = std::make_unique<BlockResampler>();
    auto stack = std::make_unique<ToneStack>();
    auto reverb = std::make_unique<ConvolutionReverb>();
    std::vector<int32_t> ip(1024, 0);
    std::vector<float> w(1024, 0.0f), fftData(2048, 0.0f);
    std::vector<float> work(signal);

    brondavell::test::CountingScope counting;

    OnePoleFilter lp{}, hp{};
    onePoleFilterSetUp(lp, true, 10000.0f, 44100.0f);
    onePoleFilterSetUp(hp, false, 80.0f, 44100.0f);
    onePoleFilterProcess(lp, work.data(), 512);
    onePoleFilterProcess(hp, work.data(), 512);

    blockResamplerInit(*down, 4, 1);
    blockResamplerInit(*up, 4, 0);
    SignalBlock block{ work.data(), 2048, 176400 };
    blockResamplerProcess(*down, block, dspFastestRoutines());
    blockResamplerProcess(*up, block, dspFastestRoutines());

    toneStackConstruct(*stack);
    toneStackPrepare(*stack, 48000.0f);
    toneStackSetControls(*stack, 0.5f, 0.5f, 0.5f);
    toneStackProcess(*stack, work.data(), 8192);

    complexFftMakeTwiddles(512, ip.data(), w.data());
    complexFftBitReverse(2048, ip.data() + 2, fftData.data());
    complexFftForward(2048, fftData.data(), w.data());
    complexFftInverse(2048, fftData.data(), ip.data(), w.data());

    for (int h : { 1, 2 })
    {
        convolutionReverbConfigure(*reverb, ir.data(), 20694, 128, h, kFftSizeCosts, dspFastestRoutines());
        for (int c = 0; c < 8; ++c)
            convolutionReverbProcess(*reverb, work.data() + 128 * c, dspFastestRoutines());
    }

    EXPECT_EQ(counting.count(), 0);
    EXPECT_EQ(reverb->ready, 1);
}
}  // namespace
