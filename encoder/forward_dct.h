// The forward transform that matches the decoder's fixed-point inverse DCT.
#pragma once

#include <cstdint>

namespace zdc {

// Transforms the 8x8 pixel block at `pixels` (row pitch `pitch`) into 64
// coefficients, row-major (index = 8 * vertical frequency + horizontal
// frequency), in double precision. The scale is that of the decoder's inverse:
// the orthonormal 2-D DCT-II with no level shift, so coefficient 0 is eight
// times the block's mean (a flat 128 block gives 1024) and every other
// coefficient is the weight of its basis picture as the inverse adds it.
void ForwardDct(const uint8_t* pixels, int32_t pitch, double coefficients[64]);

// The inverse of ForwardDct in double precision, for checks against the
// decoder's kernel: 64 sample values, row-major, neither rounded nor clamped.
void InverseDctReference(const double coefficients[64], double samples[64]);

}  // namespace zdc
