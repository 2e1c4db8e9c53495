// The picture a benchmark case starts from: full-resolution Y, Cb and Cr
// planes (JFIF full range), from which both codecs' inputs are reduced, so
// that ours (4:1:0) and the JPEG peer (4:2:0) code the same picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture.h"

namespace zdc {
namespace bench {

struct SourceImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> y, cb, cr;  // width x height each, pitch width
  std::string description;

  static SourceImage Create(int32_t width, int32_t height);
  // Converts one interleaved RGB pixel at (x, y).
  void SetRgb(int32_t x, int32_t y, int r, int g, int b);
};

// Planar 4:2:0 as the JPEG peer takes it: Y, then Cb and Cr at half the width
// and half the height (rounded up).
struct Planes420 {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> planes[3];
  int32_t ChromaWidth() const { return (width + 1) / 2; }
  int32_t ChromaHeight() const { return (height + 1) / 2; }
};

// Our encoder's input: luma as it is, chroma averaged over 4x4 pixels.
Picture ToPicture410(const SourceImage& image);

// The JPEG peer's input: luma as it is, chroma averaged over 2x2 pixels.
Planes420 ToPlanes420(const SourceImage& image);

}  // namespace bench
}  // namespace zdc
