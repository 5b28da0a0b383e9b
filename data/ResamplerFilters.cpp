// Anti-aliasing low-passes of the block resamplers: 10 sections each, b0 = b2 = a0 = 1,
// per-section scale values 1, the overall gain last.
#include "AudioTables.h"

namespace
{
constexpr float kResampler2Sos[10 * 6] = {
    1.0f, 1.97971594f, 1.0f, 1.0f, 0.717088938f, 0.134081736f,
    1.0f, 1.82730508f, 1.0f, 1.0f, 0.674737394f, 0.161992237f,
    1.0f, 1.56743503f, 1.0f, 1.0f, 0.596432567f, 0.214824513f,
    1.0f, 1.2625351f, 1.0f, 1.0f, 0.493065417f, 0.287605256f,
    1.0f, 0.96466583f, 1.0f, 1.0f, 0.377238989f, 0.374861926f,
    1.0f, 0.704990983f, 1.0f, 1.0f, 0.260867834f, 0.471955985f,
    1.0f, 0.496984661f, 1.0f, 1.0f, 0.153869614f, 0.575918496f,
    1.0f, 0.343678415f, 1.0f, 1.0f, 0.0639711395f, 0.685808599f,
    1.0f, 0.243597746f, 1.0f, 1.0f, -0.0027117799f, 0.802823126f,
    1.0f, 0.194334999f, 1.0f, 1.0f, -0.0406656899f, 0.930429935f,
};
constexpr float kResampler2Scale[11] = {
    1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.00836936012f,
};

constexpr float kResampler4Sos[10 * 6] = {
    1.0f, 1.88275933f, 1.0f, 1.0f, -0.145068094f, 0.0124507202f,
    1.0f, 1.15628171f, 1.0f, 1.0f, -0.238539442f, 0.0731552094f,
    1.0f, 0.327827007f, 1.0f, 1.0f, -0.398465991f, 0.177753553f,
    1.0f, -0.28995946f, 1.0f, 1.0f, -0.587887228f, 0.303327978f,
    1.0f, -0.696602404f, 1.0f, 1.0f, -0.776818156f, 0.431475997f,
    1.0f, -0.957311034f, 1.0f, 1.0f, -0.948236167f, 0.552105129f,
    1.0f, -1.12396193f, 1.0f, 1.0f, -1.09582198f, 0.662092447f,
    1.0f, -1.22881114f, 1.0f, 1.0f, -1.21954656f, 0.762641668f,
    1.0f, -1.29050636f, 1.0f, 1.0f, -1.32224715f, 0.85733974f,
    1.0f, -1.31914222f, 1.0f, 1.0f, -1.40769887f, 0.951291382f,
};
constexpr float kResampler4Scale[11] = {
    1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.000659679994f,
};
}  // namespace

const BiquadTable kResampler2Filter = {kResampler2Sos, kResampler2Scale};
const BiquadTable kResampler4Filter = {kResampler4Sos, kResampler4Scale};
