// Peak signal-to-noise ratios between pictures, for 8-bit samples.
#pragma once

#include <cstddef>
#include <cstdint>

#include "picture.h"

namespace zdc {

// 10 log10(255^2 / mean squared error) over `count` samples; +infinity when
// they are identical (or count is 0).
double Psnr(const uint8_t* a, const uint8_t* b, size_t count);

struct PicturePsnr {
  double luma = 0;
  double chroma[2] = {0, 0};  // +infinity for pictures without chroma
  double overall = 0;         // over every sample of every plane together
};

// Both pictures must have the same size and planes (std::invalid_argument).
PicturePsnr ComparePictures(const Picture& reference, const Picture& picture);

}  // namespace zdc
