#include "test_pattern.h"

#include <vector>

namespace zdc::fuzz {
namespace {

void FillPlane(std::vector<uint8_t>& plane, int32_t width, int32_t height, int frame, int salt) {
  uint32_t noise = 0x9E3779B9u * static_cast<uint32_t>(frame * 7 + salt + 1);
  const int32_t side = width / 3 > 4 ? width / 3 : 4;
  const int32_t left = (frame * 5 + salt) % (width > side ? width - side + 1 : 1);
  const int32_t top = (frame * 3) % (height > side ? height - side + 1 : 1);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      noise = noise * 1664525u + 1013904223u;
      int value = 40 + (x * 150) / (width > 1 ? width : 1) + (y * 50) / (height > 1 ? height : 1);
      if (x >= left && x < left + side && y >= top && y < top + side) {
        value = ((x - left) / 2 + (y - top) / 2) % 2 ? 220 - salt * 20 : 30 + salt * 10;
      }
      value += static_cast<int>(noise >> 29) - 4;
      plane[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(value < 0     ? 0
                                                                       : value > 255 ? 255
                                                                                     : value);
    }
  }
}

}  // namespace

Picture MakeTestPattern(int32_t width, int32_t height, bool withChroma, int frame) {
  Picture picture = Picture::Create(width, height, withChroma);
  FillPlane(picture.luma, width, height, frame, 0);
  if (withChroma) {
    FillPlane(picture.chroma[0], picture.ChromaWidth(), picture.ChromaHeight(), frame, 1);
    FillPlane(picture.chroma[1], picture.ChromaWidth(), picture.ChromaHeight(), frame, 2);
  }
  return picture;
}

}  // namespace zdc::fuzz
