#include "reference_frames.h"

#include <map>
#include <tuple>

#include "encoder_options.h"
#include "frame_encoder.h"
#include "test_pattern.h"

namespace zdc::fuzz {

const ReferenceFrames& ReferenceFramesFor(int32_t width, int32_t height, bool withChroma) {
  // A fuzz run meets many sizes; a small cache, emptied when full, keeps the
  // memory bounded while a run that settles on a few sizes stays fast.
  static std::map<std::tuple<int32_t, int32_t, bool>, ReferenceFrames> cache;
  const auto key = std::make_tuple(width, height, withChroma);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  if (cache.size() >= 64) cache.clear();

  EncoderOptions options;
  options.fourcc = withChroma ? kFourccQzv2 : kFourccQzv3;
  options.quality = 50;
  options.keyInterval = 0;
  options.coder = CoefficientCoding::kHuffman;
  FrameEncoder encoder(width, height, options);
  ReferenceFrames frames;
  frames.key = encoder.EncodeFrame(MakeTestPattern(width, height, withChroma, 0));
  encoder.SetCoder(CoefficientCoding::kArithmetic);
  frames.delta = encoder.EncodeFrame(MakeTestPattern(width, height, withChroma, 3));
  return cache.emplace(key, std::move(frames)).first->second;
}

}  // namespace zdc::fuzz
