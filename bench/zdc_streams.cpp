#include "zdc_streams.h"

#include "frame_encoder.h"

namespace zdc {
namespace bench {
namespace {

uint64_t CodedBlocks(const FrameInfo& info) {
  return uint64_t{info.codedBlocks[0]} + info.codedBlocks[1] + info.codedBlocks[2];
}

}  // namespace

ZdcStream EncodeStream(const Picture& key, const std::vector<Picture>& next, int quality,
                       CoefficientCoding coder) {
  EncoderOptions options;
  options.quality = quality;
  options.coder = coder;
  options.keyInterval = 0;  // one key frame, then deltas
  ZdcStream stream;
  for (size_t i = 0; i <= next.size(); ++i) {
    // A fresh encoder per delta, so that each one follows the key frame.
    FrameEncoder encoder(key.width, key.height, options);
    std::vector<uint8_t> keyFrame = encoder.EncodeFrame(key);
    if (i == 0) {
      stream.key = std::move(keyFrame);
      stream.keyPicture = encoder.Reconstruction();
      stream.blocksPerFrame = CodedBlocks(encoder.LastFrame());
      continue;
    }
    ZdcDelta delta;
    delta.frame = encoder.EncodeFrame(next[i - 1]);
    delta.picture = encoder.Reconstruction();
    delta.codedBlocks = CodedBlocks(encoder.LastFrame());
    stream.deltas.push_back(std::move(delta));
  }
  return stream;
}

}  // namespace bench
}  // namespace zdc
