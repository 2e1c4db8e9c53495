// Good frames for any picture size, made by the encoder: a key frame
// (Huffman-coded) and the delta frame after it (arithmetic-coded), both at
// quality 50. The whole-frame target decodes them after a hostile stream to
// show that the decoder's state was not spoiled. Kept per size, since
// encoding costs far more than decoding.
#pragma once

#include <cstdint>
#include <vector>

namespace zdc::fuzz {

struct ReferenceFrames {
  std::vector<uint8_t> key;
  std::vector<uint8_t> delta;
};

const ReferenceFrames& ReferenceFramesFor(int32_t width, int32_t height, bool withChroma);

}  // namespace zdc::fuzz
