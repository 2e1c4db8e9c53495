#include "yvu9_picture.h"

namespace zdc {

size_t DecoderOutputBytes(int width, int height, bool withChroma) {
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  return withChroma ? luma + 2 * (luma / 16) : luma;
}

Yvu9Picture DecoderOutputPicture(const uint8_t* buffer, int width, int height, bool withChroma) {
  Yvu9Picture picture;
  picture.width = width;
  picture.height = height;
  picture.luma = buffer;
  picture.lumaStride = static_cast<size_t>(width);
  if (withChroma) {
    const size_t lumaSize = static_cast<size_t>(width) * static_cast<size_t>(height);
    picture.v = buffer + lumaSize;
    picture.u = buffer + lumaSize + lumaSize / 16;
    picture.chromaStride = static_cast<size_t>(width / 4);
  }
  return picture;
}

}  // namespace zdc
