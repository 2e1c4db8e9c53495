#include "picture.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace zdc {

Picture Picture::Create(int32_t width, int32_t height, bool withChroma, uint8_t fill) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.withChroma = withChroma;
  picture.luma.assign(static_cast<size_t>(width) * height, fill);
  if (withChroma) {
    const size_t chromaBytes = static_cast<size_t>(width / 4) * (height / 4);
    picture.chroma[0].assign(chromaBytes, fill);
    picture.chroma[1].assign(chromaBytes, fill);
  }
  return picture;
}

bool Picture::IsWellFormed() const {
  if (width <= 0 || height <= 0) return false;
  if (luma.size() != static_cast<size_t>(width) * height) return false;
  const size_t chromaBytes = withChroma ? static_cast<size_t>(ChromaWidth()) * ChromaHeight() : 0;
  return chroma[0].size() == chromaBytes && chroma[1].size() == chromaBytes;
}

size_t OutputPictureSize(int32_t width, int32_t height, bool withChroma) {
  const size_t lumaSize = static_cast<size_t>(width) * height;
  return withChroma ? lumaSize + 2 * (lumaSize / 16) : lumaSize;
}

Picture PictureFromOutput(const uint8_t* output, int32_t width, int32_t height, bool withChroma,
                          int32_t outputStride) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.withChroma = withChroma;
  picture.luma = CropPlane(output, outputStride, width, height);
  if (withChroma) {
    const size_t lumaSize = static_cast<size_t>(height) * outputStride;
    const size_t chromaSize = lumaSize / 16;
    for (int p = 0; p < 2; ++p) {
      picture.chroma[p] = CropPlane(output + lumaSize + p * chromaSize, outputStride / 4,
                                    width / 4, height / 4);
    }
  }
  return picture;
}

void PadPlane(const uint8_t* source, int32_t width, int32_t height, int32_t sourcePitch,
              uint8_t* padded, int32_t paddedWidth, int32_t paddedHeight) {
  if (width <= 0 || height <= 0) {
    std::memset(padded, 128, static_cast<size_t>(paddedWidth) * paddedHeight);
    return;
  }
  for (int32_t y = 0; y < paddedHeight; ++y) {
    const uint8_t* in = source + static_cast<ptrdiff_t>(std::min(y, height - 1)) * sourcePitch;
    uint8_t* out = padded + static_cast<ptrdiff_t>(y) * paddedWidth;
    std::memcpy(out, in, static_cast<size_t>(width));
    std::fill(out + width, out + paddedWidth, in[width - 1]);
  }
}

std::vector<uint8_t> CropPlane(const uint8_t* plane, int32_t pitch, int32_t width,
                               int32_t height) {
  if (width <= 0 || height <= 0) return {};
  std::vector<uint8_t> out(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(out.data() + static_cast<size_t>(y) * width,
                plane + static_cast<ptrdiff_t>(y) * pitch, static_cast<size_t>(width));
  }
  return out;
}

}  // namespace zdc
