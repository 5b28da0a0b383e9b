#pragma once
// Single-precision in-place complex FFT over interleaved data (point k at [2k], [2k + 1]),
// radix-4 with a radix-2 last stage for odd powers of two. n is the number of floats,
// n = 2N, N a power of two from 2 to 131072. The caller owns the two work tables:
//   ip: ip[0] = nw (twiddles built), ip[1] = 1, from ip[2] on scratch for the bit reversal
//       (sqrt(N / 4) entries at most; 256 for N = 131072). Cleared to 0 means "not built".
//   w:  N / 2 twiddle values (cosines and sines), stored in bit-reversed pair order.
// Forward: X[k] = sum_j x[j] exp(+2 pi i jk / N); inverse uses exp(-2 pi i jk / N). Neither
// scales: forward then inverse gives N times the input. All routines are real-time safe.

#include <cstdint>

#include "RoutineChoice.h"

// Builds ip[0], ip[1] and the nw twiddle values of w for transforms of N = 2 x nw points.
// For nw <= 2 only ip[0] and ip[1] are set (those sizes read no twiddles).
void complexFftMakeTwiddles(int nw, int32_t* ip, float* w);

// Permutes the n / 2 complex points of a into bit-reversed index order, in place.
// ipScratch is ip + 2. For n = 4 the permutation is the identity.
void complexFftBitReverse(int n, int32_t* ipScratch, float* a);

// Butterfly stages of the forward transform: bit-reversed input in, spectrum in natural order
// out, in place. A forward transform is complexFftBitReverse then complexFftForward.
void complexFftForward(int n, float* a, const float* w);

// First radix-4 stage (span 2); used by the forward and inverse transforms.
void complexFftFirstStage(int n, float* a, const float* w);

// Radix-4 stage with span l (in floats); used by the forward and inverse transforms.
void complexFftMiddleStage(int n, int l, float* a, const float* w);

// The complete inverse transform in place: conjugating bit reversal (scratch from ip + 2)
// followed by the backward stages. Natural order in and out.
void complexFftInverse(int n, float* a, int32_t* ip, const float* w);

// The inverse transform of complexFftLanes(routines) sequences at once, side by side in lanes:
// float i of transform q at lanes[W i + q] (W n floats). Each transform's result is bit for bit
// that of complexFftInverse. `routines` is a lane form (not plain; see RoutineChoice.h).
int complexFftLanes(DspRoutines routines);
void complexFftInverseInLanes(DspRoutines routines, int n, float* lanes, int32_t* ip, const float* w);

// The inverse transform in pieces, so that its work can be spread over several calls: piece 0
// is the conjugating bit reversal, the pieces after it the stages, one each. Pieces [first, end)
// of complexFftInversePieceCount(n) run here, in lanes as above; all of them in order give
// complexFftInverseInLanes's results.
int complexFftInversePieceCount(int n);
void complexFftInversePiecesInLanes(DspRoutines routines, int n, float* lanes, int32_t* ip, const float* w, int first,
                                    int end);

// One transform in split layout: the real parts of the N points in a[0, N), the imaginary parts
// in a[N, 2N). The same pieces as above, forward or inverse (conjugating); with a lane form, each
// stage whose groups are wide enough runs neighbouring butterflies side by side in its lanes (the
// plain form one at a time). Every form gives the interleaved transform's values, bit for bit, in
// split layout.
void complexFftSplitPieces(DspRoutines routines, int n, float* a, int32_t* ip, const float* w, int first, int end,
                           bool inverse);
