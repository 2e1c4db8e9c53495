#include "yvu9_picture.h"

#include <cstring>

namespace zdc {

namespace {

uint8_t* PackPlane(uint8_t* out, const uint8_t* plane, size_t stride, int width, int height) {
  for (int y = 0; y < height; ++y, out += width) std::memcpy(out, plane + y * stride, static_cast<size_t>(width));
  return out;
}

}  // namespace

void PackYvu9(const Yvu9Picture& picture, std::vector<uint8_t>* bytes) {
  bytes->resize(PackedYvu9Bytes(picture.width, picture.height, picture.HasChroma()));
  uint8_t* out = PackPlane(bytes->data(), picture.luma, picture.lumaStride, picture.width, picture.height);
  if (picture.HasChroma()) {
    out = PackPlane(out, picture.v, picture.chromaStride, picture.ChromaWidth(), picture.ChromaHeight());
    PackPlane(out, picture.u, picture.chromaStride, picture.ChromaWidth(), picture.ChromaHeight());
  }
}
size_t PackedYvu9Bytes(int width, int height, bool withChroma) {
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t chroma = static_cast<size_t>(width / 4) * static_cast<size_t>(height / 4);
  return withChroma ? luma + 2 * chroma : luma;
}

}  // namespace zdc
