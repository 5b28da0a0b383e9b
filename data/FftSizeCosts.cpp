// FFT sizes of the reverb's partitioning and their cost weights. The last weight is 0 on
// purpose: that size never qualifies with the built-in impulse responses.
#include "AudioTables.h"

const FftSizeCosts kFftSizeCosts = {
    {2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 65536, 131072},
    {1, 1, 2, 3, 8, 15, 35, 69, 181, 330, 743, 1519, 3509, 7121, 15000, 40000, 0},
};
