// Pictures and a decoder for the encoder's round-trip tests.
#pragma once

#include <cstdint>
#include <vector>

#include "frame_decoder.h"
#include "picture.h"

namespace zdc::test {

// Frame `frame` of a deterministic test sequence: smooth gradients with a
// textured square that moves a few pixels per frame, some fine detail and a
// little noise, in every plane.
Picture MakeTestPicture(int32_t width, int32_t height, bool withChroma, int frame);

// A FrameDecoder set up the way the filter sets it up at the start of
// streaming (SetSize, then SetQuality(0.5)), decoding into an output picture
// of pitch = width that it keeps from frame to frame.
class EncoderTestDecoder {
 public:
  EncoderTestDecoder(int32_t width, int32_t height, bool withChroma);

  // Decodes one frame; returns Decode's result.
  int32_t Decode(const std::vector<uint8_t>& frame);
  // The output picture as it stands.
  Picture Output() const;

 private:
  int32_t width_;
  int32_t height_;
  bool withChroma_;
  FrameDecoder decoder_;
  std::vector<uint8_t> output_;
};

}  // namespace zdc::test
