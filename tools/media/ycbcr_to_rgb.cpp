#include "ycbcr_to_rgb.h"

#include <algorithm>

namespace zdc {

namespace {

// BT.601 coefficients scaled by 2^16: 255/219 for luma, and the chroma
// weights 1.402, 0.344136, 0.714136 and 1.772 scaled by 255/224.
constexpr int kShift = 16;
constexpr int kLuma = 76309;       // 1.164383
constexpr int kCrToR = 104597;     // 1.596027
constexpr int kCbToG = 25675;      // 0.391762
constexpr int kCrToG = 53279;      // 0.812968
constexpr int kCbToB = 132201;     // 2.017232
constexpr int kRound = 1 << (kShift - 1);

uint8_t Clamp(int value) {
  return value < 0 ? 0 : static_cast<uint8_t>(std::min(255, value >> kShift));
}

}  // namespace

void YCbCrToRgb(int y, int cb, int cr, uint8_t rgb[3]) {
  const int luma = kLuma * (y - 16) + kRound;
  rgb[0] = Clamp(luma + kCrToR * (cr - 128));
  rgb[1] = Clamp(luma - kCbToG * (cb - 128) - kCrToG * (cr - 128));
  rgb[2] = Clamp(luma + kCbToB * (cb - 128));
}

void Yvu9ToRgb(const Yvu9Picture& picture, uint8_t* rgb, size_t stride) {
  const bool chroma = picture.HasChroma() && picture.ChromaWidth() > 0 && picture.ChromaHeight() > 0;
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* luma = picture.luma + y * picture.lumaStride;
    const uint8_t* vRow = nullptr;
    const uint8_t* uRow = nullptr;
    if (chroma) {
      const size_t row = static_cast<size_t>(std::min(y / 4, picture.ChromaHeight() - 1));
      vRow = picture.v + row * picture.chromaStride;
      uRow = picture.u + row * picture.chromaStride;
    }
    uint8_t* out = rgb + y * stride;
    for (int x = 0; x < picture.width; ++x, out += 3) {
      int cb = 128, cr = 128;
      if (chroma) {
        const int column = std::min(x / 4, picture.ChromaWidth() - 1);
        cb = uRow[column];
        cr = vRow[column];
      }
      YCbCrToRgb(luma[x], cb, cr, out);
    }
  }
}

void LumaToGray(const Yvu9Picture& picture, uint8_t* gray, size_t stride) {
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* luma = picture.luma + y * picture.lumaStride;
    uint8_t* out = gray + y * stride;
    for (int x = 0; x < picture.width; ++x) out[x] = Clamp(kLuma * (luma[x] - 16) + kRound);
  }
}

}  // namespace zdc
