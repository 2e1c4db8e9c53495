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

namespace {

void WritePlane(std::ostream& out, const uint8_t* plane, size_t stride, int width, int height) {
  if (stride == static_cast<size_t>(width)) {
    // Rows packed already: one write, which a large buffer passes straight on.
    out.write(reinterpret_cast<const char*>(plane), static_cast<std::streamsize>(stride) * height);
    return;
  }
  for (int y = 0; y < height; ++y) {
    out.write(reinterpret_cast<const char*>(plane + y * stride), width);
  }
}

}  // namespace

void WritePackedYvu9(std::ostream& out, const Yvu9Picture& picture) {
  WritePlane(out, picture.luma, picture.lumaStride, picture.width, picture.height);
  if (picture.HasChroma()) {
    WritePlane(out, picture.v, picture.chromaStride, picture.ChromaWidth(), picture.ChromaHeight());
    WritePlane(out, picture.u, picture.chromaStride, picture.ChromaWidth(), picture.ChromaHeight());
  }
}

size_t PackedYvu9Bytes(int width, int height, bool withChroma) {
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t chroma = static_cast<size_t>(width / 4) * static_cast<size_t>(height / 4);
  return withChroma ? luma + 2 * chroma : luma;
}

}  // namespace zdc
