// A planar 4:1:0 picture as the decoder writes it: the luma plane, then the
// first chroma plane (V, Cr) and the second (U, Cb), each chroma plane
// width / 4 by height / 4 (integer division). Luma-only pictures have no
// chroma planes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zdc {

struct Yvu9Picture {
  int width = 0;
  int height = 0;
  const uint8_t* luma = nullptr;
  const uint8_t* v = nullptr;  // first chroma plane; null without chroma
  const uint8_t* u = nullptr;  // second chroma plane; null without chroma
  size_t lumaStride = 0;
  size_t chromaStride = 0;

  bool HasChroma() const { return v != nullptr && u != nullptr; }
  int ChromaWidth() const { return width / 4; }
  int ChromaHeight() const { return height / 4; }
};

// Bytes of a decoder output buffer for a width x height picture with
// outputStride = width: the luma plane, and with chroma two chroma planes of
// (height x width) / 16 bytes each (the decoder places the second chroma plane
// that far behind the first, which can leave a gap after the first plane's
// rows when width or height is not a multiple of 4).
size_t DecoderOutputBytes(int width, int height, bool withChroma);

// The planes of such a buffer.
Yvu9Picture DecoderOutputPicture(const uint8_t* buffer, int width, int height, bool withChroma);

}  // namespace zdc
