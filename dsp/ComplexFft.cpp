// The structure of this FFT follows the complex DFT of the General Purpose FFT Package by Takuya
// Ooura (fft4g.c, http://www.kurims.kyoto-u.ac.jp/~ooura/fft.html): the bit reversal with its
// index table and its conjugating form (bitrv2, bitrv2conj), the first, middle and last radix-4
// stages (cft1st, cftmdl, cftfsub, cftbsub) and the twiddle table stored in bit-reversed order
// (makewt). Its notice: "Copyright Takuya OOURA, 1996-2001. You may use, copy, modify and
// distribute this code for any purpose (include commercial use) and without fee. Please refer to
// this package when you modify this code." This is a modified form of it.
//
// The stages are templates (ComplexFftStages.h) over one transform or several in vector lanes;
// this file holds the plain and the four-lane (SSE2, the x86-64 baseline) instances.
#include "ComplexFft.h"

#include <cmath>

#include "ComplexFftStages.h"
#include "FloatLanes.h"

void complexFftMakeTwiddles(int nw, int32_t* ip, float* w)
{
    ip[0] = nw;
    ip[1] = 1;
    if (nw > 2)
    {
        const int nwh = nw >> 1;
        const float delta = 0.785398185f / static_cast<float>(nwh);
        w[0] = 1.0f;
        w[1] = 0.0f;
        w[nwh] = std::cos(static_cast<float>(nwh) * delta);
        w[nwh + 1] = w[nwh];
        if (nwh > 2)
        {
            for (int j = 2; j < nwh; j += 2)
            {
                const float angle = static_cast<float>(j) * delta;
                const float x = std::cos(angle);
                const float y = std::sin(angle);
                w[j] = x;
                w[j + 1] = y;
                w[nw - j] = y;
                w[nw - j + 1] = x;
            }
            complexFftBitReverse(nw, ip + 2, w);
        }
    }
}

void complexFftBitReverse(int n, int32_t* ipScratch, float* a) { bitReverse<false>(n, ipScratch, Points<float>{ a }); }

void complexFftFirstStage(int n, float* a, const float* w) { middleStage(n, 2, Points<float>{ a }, w); }

void complexFftMiddleStage(int n, int l, float* a, const float* w) { middleStage(n, l, Points<float>{ a }, w); }

void complexFftForward(int n, float* a, const float* w) { stages<false>(n, Points<float>{ a }, w); }

void complexFftInverse(int n, float* a, int32_t* ip, const float* w)
{
    bitReverse<true>(n, ip + 2, Points<float>{ a });
    stages<true>(n, Points<float>{ a }, w);
}

void complexFftInverseFour(int n, float* lanes, int32_t* ip, const float* w)
{
    bitReverse<true>(n, ip + 2, Points<FloatLanes>{ lanes });
    stages<true>(n, Points<FloatLanes>{ lanes }, w);
}

void complexFftSplitPieces(int n, float* a, int32_t* ip, const float* w, int first, int end, bool inverse, int width)
{
    if (width == 8)
        complexFftSplitPiecesEight(n, a, ip, w, first, end, inverse);
    else if (width == 4 && inverse)
        splitTransformPieces<true, FloatLanes, FloatLanes>(n, first, end, a, ip, w);
    else if (width == 4)
        splitTransformPieces<false, FloatLanes, FloatLanes>(n, first, end, a, ip, w);
    else if (inverse)
        splitTransformPieces<true, float, float>(n, first, end, a, ip, w);
    else
        splitTransformPieces<false, float, float>(n, first, end, a, ip, w);
}

int complexFftInversePieceCount(int n) { return stageCount(n) + 1; }

void complexFftInversePiecesFour(int n, float* lanes, int32_t* ip, const float* w, int first, int end)
{
    transformPieces<true>(n, first, end, Points<FloatLanes>{ lanes }, ip, w);
}

namespace
{
#if defined(__x86_64__) || defined(__i386__)
bool processorHasAvx()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}
#else
bool processorHasAvx() { return false; }
#endif

// Decided once at load time, so the audio thread only reads it.
const bool eightLanesAvailable = complexFftEightLanesBuilt() && processorHasAvx();
}  // namespace

bool complexFftEightLanesAvailable() { return eightLanesAvailable; }
