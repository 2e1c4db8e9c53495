#include "reference_frames.h"

#include <tuple>
#include <utility>
#include <vector>

#include "encoder_options.h"
#include "frame_encoder.h"
#include "test_pattern.h"

namespace zdc::fuzz {

const ReferenceFrames& ReferenceFramesFor(int32_t width, int32_t height, bool withChroma) {
  // A fuzz run meets many sizes; a small cache, emptied when full, keeps the
  // memory bounded while a run that settles on a few sizes stays fast. (A
  // plain list: the tree of std::map rebalances in uninstrumented library
  // code, which MemorySanitizer builds cannot follow.)
  using Key = std::tuple<int32_t, int32_t, bool>;
  static std::vector<std::pair<Key, ReferenceFrames>> cache;
  const Key key(width, height, withChroma);
  for (const auto& entry : cache) {
    if (entry.first == key) return entry.second;
  }
  if (cache.size() >= 64) cache.clear();
  cache.reserve(64);

  EncoderOptions options;
  options.fourcc = withChroma ? kFourccQzv2 : kFourccQzv3;
  options.quality = 50;
  options.keyInterval = 0;
  options.coder = CoefficientCoding::kHuffman;
  FrameEncoder encoder(width, height, options);
  ReferenceFrames frames;
  for (int i = 0; i < ReferenceFrames::kCount; ++i) {
    encoder.SetCoder(i == 1 || i == 2 ? CoefficientCoding::kArithmetic
                                      : CoefficientCoding::kHuffman);
    if (i == 2) encoder.RequestKeyFrame();
    frames.frames[i] = encoder.EncodeFrame(MakeTestPattern(width, height, withChroma, 3 * i));
  }
  cache.emplace_back(key, std::move(frames));
  return cache.back().second;
}

}  // namespace zdc::fuzz
