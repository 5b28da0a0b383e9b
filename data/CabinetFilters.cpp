// The cabinet stage's fixed band limits, shared by all twelve models: a fourth-order low-pass
// with its -3 dB point at 10 kHz and a fourth-order high-pass with its -3 dB point at 50 Hz.
// Row 1's b1 is deliberately +-1.99999988, not +-2.

#include "AudioTables.h"

namespace
{
const float kLowPass44100Sections[2 * 6] = {
    1.0f, 2.0f, 1.0f, 1.0f, -0.152054101f, 0.0449073911f,
    1.0f, 1.99999988f, 1.0f, 1.0f, -0.211110055f, 0.450736701f,
};
const float kLowPass44100Scale[3] = {1.0f, 1.0f, 0.0691752881f};

const float kLowPass48000Sections[2 * 6] = {
    1.0f, 2.0f, 1.0f, 1.0f, -0.273535371f, 0.0568595193f,
    1.0f, 1.99999988f, 1.0f, 1.0f, -0.377936274f, 0.460233659f,
};
const float kLowPass48000Scale[3] = {1.0f, 1.0f, 0.0529868491f};

const float kHighPass44100Sections[2 * 6] = {
    1.0f, -2.0f, 1.0f, 1.0f, -1.98687267f, 0.986923099f,
    1.0f, -1.99999988f, 1.0f, 1.0f, -1.99451196f, 0.994562566f,
};
const float kHighPass44100Scale[3] = {1.0f, 1.0f, 0.990735471f};

const float kHighPass48000Sections[2 * 6] = {
    1.0f, -2.0f, 1.0f, 1.0f, -1.98793662f, 0.987979233f,
    1.0f, -1.99999988f, 1.0f, 1.0f, -1.99496055f, 0.995003223f,
};
const float kHighPass48000Scale[3] = {1.0f, 1.0f, 0.991485f};
}  // namespace

const BiquadTable kCabinetLowPass[2] = {{kLowPass44100Sections, kLowPass44100Scale},
                                        {kLowPass48000Sections, kLowPass48000Scale}};
const BiquadTable kCabinetHighPass[2] = {{kHighPass44100Sections, kHighPass44100Scale},
                                         {kHighPass48000Sections, kHighPass48000Scale}};
