#include "BlockResampler.h"

#include "AudioTables.h"

void blockResamplerInit(BlockResampler& resampler, int32_t factor, int32_t isDown)
{
    resampler.factor = factor;
    resampler.isDown = isDown;
    const BiquadTable& table = factor == 4 ? kResampler4Filter : kResampler2Filter;
    biquadCascadeBind(resampler.cascade, table.sos, table.scale, kResamplerSections);
}

void blockResamplerProcess(BlockResampler& resampler, SignalBlock& block, DspRoutines routines)
{
    const int32_t factor = resampler.factor;
    const int32_t n = block.numSamples;
    float* const buf = resampler.buf;
    if (resampler.isDown != 0)
    {
        resampler.outCount = n / factor;
        resampler.outRate = block.sampleRate / factor;
        resampler.out = buf;
        // Every input sample is filtered (and advances the state), even the ones not taken.
        biquadCascadeProcess(resampler.cascade, block.data, n, routines);
        const float* filtered = block.data;
        for (int32_t k = 0; k < resampler.outCount; ++k)
            buf[k] = filtered[k * factor];
    }
    else
    {
        resampler.outCount = n * factor;
        resampler.outRate = block.sampleRate * factor;
        resampler.out = buf;
        const float* in = block.data;
        for (int32_t i = 0; i < n; ++i)
            for (int32_t j = 0; j < factor; ++j)
                buf[i * factor + j] = in[i];
        biquadCascadeProcess(resampler.cascade, buf, resampler.outCount, routines);
    }
    block.data = resampler.out;
    block.numSamples = resampler.outCount;
    block.sampleRate = resampler.outRate;
}
