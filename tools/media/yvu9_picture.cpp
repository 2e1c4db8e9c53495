#include "yvu9_picture.h"

namespace zdc {

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
