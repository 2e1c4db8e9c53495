#include "encoder_test_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace zdc::test {
namespace {

uint8_t Clip(double value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

// A small deterministic hash for noise that does not depend on the order of
// generation.
uint32_t Hash(uint32_t x, uint32_t y, uint32_t z) {
  uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ z * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

void FillPlane(std::vector<uint8_t>& plane, int32_t width, int32_t height, int frame, int scale,
               int seed) {
  // The square moves by 3 luma pixels right and 2 down per frame.
  const int32_t size = std::max(4, std::min(width, height) / 3);
  const int32_t left = (3 * frame / scale + width / 5) % std::max(1, width);
  const int32_t top = (2 * frame / scale + height / 4) % std::max(1, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      double value = 40 + 150.0 * x / std::max(1, width - 1) + 40.0 * y / std::max(1, height - 1) +
                     12 * std::sin((x + 2 * y + seed) * 0.7);
      if (x >= left && x < left + size && y >= top && y < top + size) {
        value = ((x - left) / 2 + (y - top) / 2) % 2 ? 220 : 30;
      }
      value += static_cast<int>(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                                     static_cast<uint32_t>(frame * 7 + seed)) % 5) - 2;
      plane[static_cast<size_t>(y) * width + x] = Clip(value);
    }
  }
}

}  // namespace

Picture MakeTestPicture(int32_t width, int32_t height, bool withChroma, int frame) {
  Picture picture = Picture::Create(width, height, withChroma);
  FillPlane(picture.luma, width, height, frame, 1, 0);
  if (withChroma) {
    FillPlane(picture.chroma[0], picture.ChromaWidth(), picture.ChromaHeight(), frame, 4, 11);
    FillPlane(picture.chroma[1], picture.ChromaWidth(), picture.ChromaHeight(), frame, 4, 23);
  }
  return picture;
}

EncoderTestDecoder::EncoderTestDecoder(int32_t width, int32_t height, bool withChroma)
    : width_(width), height_(height), withChroma_(withChroma), stride_((width + 11) / 4 * 4),
      output_(OutputPictureSize(stride_, height, withChroma), 0) {
  if (decoder_.SetSize(width, height, withChroma) != 0 || decoder_.SetQuality(0.5) != 0) {
    throw std::runtime_error("decoder setup failed");
  }
}

int32_t EncoderTestDecoder::Decode(const std::vector<uint8_t>& frame) {
  return decoder_.Decode(frame.data(), static_cast<uint32_t>(frame.size()), output_.data(), stride_);
}

Picture EncoderTestDecoder::Output() const {
  return PictureFromOutput(output_.data(), width_, height_, withChroma_, stride_);
}

}  // namespace zdc::test
