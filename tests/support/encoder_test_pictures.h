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
// that it keeps from frame to frame, its rows padded to a stride wider than
// the picture (the golden decodes pin the packed layout).
class EncoderTestDecoder {
 public:
  EncoderTestDecoder(int32_t width, int32_t height, bool withChroma);

  // Decodes one frame; returns Decode's result.
  int32_t Decode(const std::vector<uint8_t>& frame);
  // The picture in the output as it stands.
  Picture Output() const;
  FrameDecoder& Decoder() { return decoder_; }
  // The whole output, padding included.
  const std::vector<uint8_t>& OutputBytes() const { return output_; }

 private:
  int32_t width_;
  int32_t height_;
  bool withChroma_;
  int32_t stride_;
  FrameDecoder decoder_;
  std::vector<uint8_t> output_;
};

}  // namespace zdc::test
