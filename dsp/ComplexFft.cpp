// The structure of this FFT follows the complex DFT of the General Purpose FFT Package by Takuya
// Ooura (fft4g.c, http://www.kurims.kyoto-u.ac.jp/~ooura/fft.html): the bit reversal with its
// index table and its conjugating form (bitrv2, bitrv2conj), the first, middle and last radix-4
// stages (cft1st, cftmdl, cftfsub, cftbsub) and the twiddle table stored in bit-reversed order
// (makewt). Its notice: "Copyright Takuya OOURA, 1996-2001. You may use, copy, modify and
// distribute this code for any purpose (include commercial use) and without fee. Please refer to
// this package when you modify this code." This is a modified form of it.
//
// The stages are templates (ComplexFftStages.h) over one transform or several in vector lanes;
// this file holds the plain instances, and reaches the lane instances through the tables of
// lane forms (dsp/forms/).
#include "ComplexFft.h"

#include <cmath>

#include "ComplexFftStages.h"
#include "LaneForms.h"

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

int complexFftLanes(DspRoutines routines) { return dspLaneForms(routines).wide.width; }

void complexFftInverseInLanes(DspRoutines routines, int n, float* lanes, int32_t* ip, const float* w)
{
    dspLaneForms(routines).wide.inverse(n, lanes, ip, w);
}

void complexFftInversePiecesInLanes(DspRoutines routines, int n, float* lanes, int32_t* ip, const float* w, int first,
                                    int end)
{
    dspLaneForms(routines).wide.inversePieces(n, lanes, ip, w, first, end);
}

void complexFftSplitPieces(DspRoutines routines, int n, float* a, int32_t* ip, const float* w, int first, int end,
                           bool inverse)
{
    if (routines != DspRoutines::plain)
        dspLaneForms(routines).splitPieces(n, a, ip, w, first, end, inverse);
    else if (inverse)
        splitTransformPieces<true, float, float>(n, first, end, a, ip, w);
    else
        splitTransformPieces<false, float, float>(n, first, end, a, ip, w);
}

int complexFftInversePieceCount(int n) { return stageCount(n) + 1; }
