// Our side of a benchmark case: a key frame and delta frames made by the
// project's encoder, with the pictures the decoder must put out for them.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder_options.h"
#include "picture.h"

namespace zdc {
namespace bench {

struct ZdcDelta {
  std::vector<uint8_t> frame;  // the delta frame that follows the key frame
  Picture picture;             // the decoder's output after key + this frame
  uint64_t codedBlocks = 0;    // blocks coded in it, all planes
};

struct ZdcStream {
  std::vector<uint8_t> key;
  Picture keyPicture;
  uint64_t blocksPerFrame = 0;  // all blocks of all planes
  std::vector<ZdcDelta> deltas;
};

// Codes `key` as a key frame and each of `next` as the delta frame that
// follows it (every delta directly after the same key frame).
ZdcStream EncodeStream(const Picture& key, const std::vector<Picture>& next, int quality,
                       CoefficientCoding coder);

}  // namespace bench
}  // namespace zdc
