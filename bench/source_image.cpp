#include "source_image.h"

#include <algorithm>

namespace zdc {
namespace bench {
namespace {

uint8_t Clamp8(double value) {
  return static_cast<uint8_t>(std::min(255.0, std::max(0.0, value + 0.5)));
}

// Mean of the factor x factor pixels at (x, y), the window clipped to the plane.
uint8_t BoxMean(const std::vector<uint8_t>& plane, int32_t width, int32_t height, int32_t x,
                int32_t y, int32_t factor) {
  uint32_t sum = 0, count = 0;
  for (int32_t j = y; j < std::min(height, y + factor); ++j) {
    for (int32_t i = x; i < std::min(width, x + factor); ++i) {
      sum += plane[static_cast<size_t>(j) * width + i];
      ++count;
    }
  }
  return static_cast<uint8_t>((sum + count / 2) / count);
}

}  // namespace

SourceImage SourceImage::Create(int32_t width, int32_t height) {
  SourceImage image;
  image.width = width;
  image.height = height;
  const size_t size = static_cast<size_t>(width) * height;
  image.y.assign(size, 0);
  image.cb.assign(size, 128);
  image.cr.assign(size, 128);
  return image;
}

void SourceImage::SetRgb(int32_t x, int32_t yPos, int r, int g, int b) {
  const size_t at = static_cast<size_t>(yPos) * width + x;
  y[at] = Clamp8(0.299 * r + 0.587 * g + 0.114 * b);
  cb[at] = Clamp8(128.0 - 0.168736 * r - 0.331264 * g + 0.5 * b);
  cr[at] = Clamp8(128.0 + 0.5 * r - 0.418688 * g - 0.081312 * b);
}

Picture ToPicture410(const SourceImage& image) {
  Picture picture = Picture::Create(image.width, image.height, true);
  picture.luma = image.y;
  const int32_t cw = picture.ChromaWidth(), ch = picture.ChromaHeight();
  for (int32_t j = 0; j < ch; ++j) {
    for (int32_t i = 0; i < cw; ++i) {
      const size_t at = static_cast<size_t>(j) * cw + i;
      // The decoder's output order: the V (Cr) plane first, then U (Cb).
      picture.chroma[0][at] = BoxMean(image.cr, image.width, image.height, 4 * i, 4 * j, 4);
      picture.chroma[1][at] = BoxMean(image.cb, image.width, image.height, 4 * i, 4 * j, 4);
    }
  }
  return picture;
}

Planes420 ToPlanes420(const SourceImage& image) {
  Planes420 planes;
  planes.width = image.width;
  planes.height = image.height;
  planes.planes[0] = image.y;
  const int32_t cw = planes.ChromaWidth(), ch = planes.ChromaHeight();
  planes.planes[1].resize(static_cast<size_t>(cw) * ch);
  planes.planes[2].resize(static_cast<size_t>(cw) * ch);
  for (int32_t j = 0; j < ch; ++j) {
    for (int32_t i = 0; i < cw; ++i) {
      const size_t at = static_cast<size_t>(j) * cw + i;
      planes.planes[1][at] = BoxMean(image.cb, image.width, image.height, 2 * i, 2 * j, 2);
      planes.planes[2][at] = BoxMean(image.cr, image.width, image.height, 2 * i, 2 * j, 2);
    }
  }
  return planes;
}

}  // namespace bench
}  // namespace zdc
