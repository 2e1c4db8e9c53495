// Deterministic pictures for the seed streams and the reference frames:
// gradients, a textured square that moves with the frame number, and a little
// pseudo-random noise, so that delta frames change some blocks and not others.
#pragma once

#include <cstdint>

#include "picture.h"

namespace zdc::fuzz {

Picture MakeTestPattern(int32_t width, int32_t height, bool withChroma, int frame);

}  // namespace zdc::fuzz
