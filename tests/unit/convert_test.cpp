// What the golden decodes (every format, odd sizes) and checkasm (vector
// variants against the portable kernels) leave open: bottom-up RGB is the
// top-down picture with its rows reversed, and a picture without chroma gets
// neutral chroma planes.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "picture_convert.h"
#include "pixel_format_names.h"

namespace zdc {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kWidth = 9, kHeight = 5;

// Luma 60 + 20 y + 10 x; V 170, 100 and U 90, 150 (the decoder's plane order).
Bytes Picture() {
  Bytes buffer(DecoderOutputBytes(kWidth, kHeight, true));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) buffer[y * kWidth + x] = static_cast<uint8_t>(60 + 20 * y + 10 * x);
  }
  const Bytes chroma = {170, 100, 90, 150};
  std::copy(chroma.begin(), chroma.end(), buffer.begin() + kWidth * kHeight);
  return buffer;
}

Bytes Convert(PixelFormat format, bool withChroma, bool bottomUp = false) {
  const Bytes source = Picture();
  const ptrdiff_t pitch = PackedPitch(format, kWidth);
  Bytes out(SurfaceBytes(format, kHeight, pitch, withChroma), 0xEE);
  ConvertPicture(DecoderOutputPicture(source.data(), kWidth, kHeight, withChroma), format,
                 SurfaceInBuffer(format, out.data(), kHeight, pitch, withChroma, bottomUp));
  return out;
}

TEST(ConvertTest, BottomUpRgbReversesTheRowsAndLumaOnlyChromaIsNeutral) {
  for (const PixelFormat format : {PixelFormat::kRgb24, PixelFormat::kRgb32}) {
    for (const bool withChroma : {true, false}) {
      const Bytes topDown = Convert(format, withChroma), bottomUp = Convert(format, withChroma, true);
      const size_t row = topDown.size() / kHeight;
      for (int y = 0; y < kHeight; ++y) {
        EXPECT_TRUE(std::equal(topDown.begin() + y * row, topDown.begin() + (y + 1) * row, bottomUp.end() - (y + 1) * row))
            << PixelFormatName(format) << (withChroma ? "" : " luma only") << " row " << y;
      }
    }
  }
  for (const PixelFormat format : {PixelFormat::kYuv410p, PixelFormat::kYv12}) {
    const Bytes out = Convert(format, false);
    EXPECT_TRUE(std::all_of(out.begin() + kWidth * kHeight, out.end(), [](uint8_t v) { return v == 128; }))
        << PixelFormatName(format);
  }
}

}  // namespace
}  // namespace zdc
