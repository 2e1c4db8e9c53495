// Plays a ZdcStream through a FrameDecoder: decodes the key frame or a delta
// frame after it into one output picture, and checks that picture against
// what the encoder says the decoder must produce.
#pragma once

#include <cstdint>
#include <vector>

#include "frame_decoder.h"
#include "zdc_streams.h"

namespace zdc {
namespace bench {

class ZdcPlayer {
 public:
  explicit ZdcPlayer(const ZdcStream& stream);

  // Decodes the key frame.
  void DecodeKey();
  // Decodes the key frame, then delta `index`; returns the seconds the delta
  // frame alone took.
  double DecodeDelta(size_t index);

  // Decodes the key frame (delta < 0) or key + delta and compares the output
  // with the encoder's picture. True when every byte matches and the decoder
  // returned the frame's length.
  bool Verify(int delta);

 private:
  const ZdcStream& stream_;
  FrameDecoder decoder_;
  std::vector<uint8_t> output_;
  int32_t lastResult_ = 0;
};

}  // namespace bench
}  // namespace zdc
