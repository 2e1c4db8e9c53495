// Good frames for any picture size, made by the encoder: a Huffman-coded key
// frame and an arithmetic-coded delta frame after it, then an
// arithmetic-coded key frame and a Huffman-coded delta frame, all at quality
// 50. The whole-frame target decodes them after a hostile stream to show that
// the decoder's state was not spoiled. Kept per size, since encoding costs
// far more than decoding.
#pragma once

#include <cstdint>
#include <vector>

namespace zdc::fuzz {

struct ReferenceFrames {
  static constexpr int kCount = 4;
  std::vector<uint8_t> frames[kCount];  // key, delta, key, delta
};

const ReferenceFrames& ReferenceFramesFor(int32_t width, int32_t height, bool withChroma);

}  // namespace zdc::fuzz
