#include "ycbcr_to_rgb.h"

#include <utility>

#include "bt601_fixed_point.h"
#include "picture_convert.h"

namespace zdc {

void YCbCrToRgb(int y, int cb, int cr, uint8_t rgb[3]) {
  const int luma = bt601::LumaTerm(y);
  const bt601::ChromaTerms terms = bt601::ChromaTermsOf(cb, cr);
  rgb[0] = bt601::ColourValue(luma, terms.r);
  rgb[1] = bt601::ColourValue(luma, terms.g);
  rgb[2] = bt601::ColourValue(luma, terms.b);
}

void Yvu9ToRgb(const Yvu9Picture& picture, uint8_t* rgb, size_t stride) {
  Surface surface;
  surface.plane[0] = rgb;
  surface.pitch[0] = static_cast<ptrdiff_t>(stride);
  ConvertPicture(picture, PixelFormat::kRgb24, surface);
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* pixel = rgb + stride * static_cast<size_t>(y);
    for (int x = 0; x < picture.width; ++x, pixel += 3) std::swap(pixel[0], pixel[2]);
  }
}

void LumaToGray(const Yvu9Picture& picture, uint8_t* gray, size_t stride) {
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* luma = picture.luma + y * picture.lumaStride;
    uint8_t* out = gray + y * stride;
    for (int x = 0; x < picture.width; ++x) out[x] = bt601::ColourValue(bt601::LumaTerm(luma[x]), bt601::kOffset);
  }
}

}  // namespace zdc
