// Whole frames through FrameDecoder::Decode: a picture size and output layout
// from the input's first bytes, then a stream of frames (so that delta chains,
// coefficient stores, the reference picture and the luma plane carry hostile
// state from frame to frame) with the user's settings, and even the picture
// size, changed between them.
//
// After every frame: no byte outside the picture's pixels was written, a frame
// that the delta chain skips (or an output pitch narrower than the picture)
// leaves the output untouched, and the quality follows the rules for header
// and setter. Optionally, after the stream, good key and delta frames of both
// codings decode exactly as on a fresh decoder with the same settings.
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cpu_features.h"
#include "exact_buffer.h"
#include "frame_decoder.h"
#include "frame_stream_input.h"
#include "fuzz_check.h"
#include "guarded_output.h"
#include "reference_frames.h"

namespace zdc::fuzz {
namespace {

constexpr int32_t kSkippedFrame = 20;

// The delta chain as the frame driver keeps it: a key frame restarts it, a
// delta frame must carry the next index, and once broken only a key frame
// (or SetSize) repairs it.
class DeltaChainModel {
 public:
  void Restart() {
    counter_ = 0;
    broken_ = false;
  }
  // Returns whether the frame with this index is skipped.
  bool Next(uint16_t frameIndex) {
    if (frameIndex == 0) {
      Restart();
      return false;
    }
    ++counter_;
    if (counter_ != frameIndex) broken_ = true;
    return broken_;
  }

 private:
  uint16_t counter_ = 0;
  bool broken_ = false;
};

// The hundredths that SetQuality stores for an accepted quality.
uint16_t StoredHundredths(double quality) {
  return static_cast<uint16_t>(static_cast<int32_t>(quality * 100.0));
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void CheckUntouched(GuardedOutput& output, const char* when) {
  std::string where;
  if (!output.Untouched(&where)) {
    std::fprintf(stderr, "\n*** %s: byte %s outside the picture was written\n", when,
                 where.c_str());
    std::abort();
  }
}

int32_t DecodeCopy(FrameDecoder& decoder, const std::vector<uint8_t>& frame,
                   GuardedOutput& output) {
  ExactBuffer exact(frame.data(), frame.size());
  return decoder.Decode(exact.data(), exact.size32(), output.Picture(), output.Stride());
}

void PrepareDecoder(FrameDecoder& decoder, const StreamSetup& setup) {
  ZDC_FUZZ_CHECK(decoder.SetSize(setup.width, setup.height, setup.withChroma) == 0,
                 "SetSize accepts every size the target makes");
  ZDC_FUZZ_CHECK(decoder.SetQuality(0.5) == 0, "quality 0.5 is accepted");
}

// What a fresh decoder makes of the good frames for one setup and pair of
// switches: their results and pictures. Kept per setup, so that the check
// after each stream costs one decoder's work.
struct FreshPictures {
  int32_t results[ReferenceFrames::kCount];
  std::vector<uint8_t> pixels[ReferenceFrames::kCount];
};

const FreshPictures& FreshPicturesFor(const StreamSetup& setup, bool denoise, bool displayMask) {
  using Key = std::tuple<int32_t, int32_t, bool, bool, int32_t, bool, bool>;
  static std::vector<std::pair<Key, FreshPictures>> cache;  // see ReferenceFramesFor
  const Key key(setup.width, setup.height, setup.withChroma, setup.portableKernels,
                setup.strideExtra, denoise, displayMask);
  for (const auto& entry : cache) {
    if (entry.first == key) return entry.second;
  }
  if (cache.size() >= 64) cache.clear();
  cache.reserve(64);

  const ReferenceFrames& good = ReferenceFramesFor(setup.width, setup.height, setup.withChroma);
  FrameDecoder fresh;
  PrepareDecoder(fresh, setup);
  fresh.SetDenoise(denoise);
  fresh.SetDisplayMask(displayMask);
  GuardedOutput output(setup.width, setup.height, setup.withChroma, setup.Stride());
  FreshPictures pictures;
  for (int i = 0; i < ReferenceFrames::kCount; ++i) {
    pictures.results[i] = DecodeCopy(fresh, good.frames[i], output);
    CheckUntouched(output, "good frame on a fresh decoder");
    pictures.pixels[i] = output.Pixels();
  }
  ZDC_FUZZ_CHECK(static_cast<size_t>(pictures.results[0]) == good.frames[0].size() &&
                     static_cast<size_t>(pictures.results[2]) == good.frames[2].size(),
                 "the good key frames are read to their ends");
  cache.emplace_back(key, std::move(pictures));
  return cache.back().second;
}

// The good frames must give the same pictures on the decoder that went
// through the stream as on a fresh one with the same settings.
void CheckRecovery(FrameDecoder& decoder, GuardedOutput& output, const StreamSetup& setup,
                   bool denoise, bool displayMask) {
  const FreshPictures& fresh = FreshPicturesFor(setup, denoise, displayMask);
  const ReferenceFrames& good = ReferenceFramesFor(setup.width, setup.height, setup.withChroma);
  // A quality set through the settings may have left a table that the key
  // frame's header does not replace (same hundredths, other value); that is
  // the rule, not damage, so both start from the same table.
  decoder.SetQuality(0.5);
  for (int i = 0; i < ReferenceFrames::kCount; ++i) {
    const int32_t result = DecodeCopy(decoder, good.frames[i], output);
    CheckUntouched(output, "good frame after the stream");
    ZDC_FUZZ_CHECK(result == fresh.results[i],
                   "a good frame decodes to the same length as on a fresh decoder");
    ZDC_FUZZ_CHECK(output.Pixels() == fresh.pixels[i],
                   "a good frame decodes to the same picture as on a fresh decoder");
  }
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc;
  using namespace zdc::fuzz;
  const FrameStreamInput input = ParseFrameStream(data, size);
  StreamSetup setup = input.setup;
  SetCpuFeatureMask(setup.portableKernels ? 0 : 0xFF);

  FrameDecoder decoder;
  PrepareDecoder(decoder, setup);
  auto output =
      std::make_unique<GuardedOutput>(setup.width, setup.height, setup.withChroma, setup.Stride());
  DeltaChainModel chain;
  bool denoise = false, displayMask = false;
  bool sized = true;  // the last SetSize succeeded

  for (const FrameRecord& record : input.frames) {
    denoise = (record.control & kDenoise) != 0;
    displayMask = (record.control & kDisplayMask) != 0;
    decoder.SetDenoise(denoise);
    decoder.SetDisplayMask(displayMask);
    ZDC_FUZZ_CHECK(decoder.GetDenoise() == denoise && decoder.GetDisplayMask() == displayMask,
                   "the switches read back as set");
    if ((record.control & kSetQuality) && !(record.control & (kResize | kFailedSize))) {
      const double quality = RecordQuality(record.quality);
      const uint16_t before = decoder.QualityHundredths();
      const bool accepted = quality >= 0.0 && quality <= 1.0;
      ZDC_FUZZ_CHECK(decoder.SetQuality(quality) == (accepted ? 0u : 87u),
                     "SetQuality accepts exactly [0, 1]");
      ZDC_FUZZ_CHECK(decoder.QualityHundredths() == (accepted ? StoredHundredths(quality) : before),
                     "a refused quality changes nothing");
    }
    if (record.control & kFailedSize) {
      int32_t width, height;
      UnusableSize(record.quality, &width, &height);
      ZDC_FUZZ_CHECK(decoder.SetSize(width, height, setup.withChroma) != 0,
                     "SetSize refuses an unusable size");
      sized = false;
      chain.Restart();
    }
    if (record.control & kResize) {
      // A new media type: new buffers in the decoder and a new output sample.
      setup = ResizedSetup(setup, record.quality);
      output = std::make_unique<GuardedOutput>(setup.width, setup.height, setup.withChroma,
                                               setup.Stride());
    }
    if (record.control & (kSetSizeAgain | kResize)) {
      PrepareDecoder(decoder, setup);
      ZDC_FUZZ_CHECK(decoder.HasChroma() == setup.withChroma && decoder.Width() == setup.width &&
                         decoder.Height() == setup.height,
                     "SetSize takes the size asked for");
      sized = true;
      chain.Restart();
    }

    const bool narrow = (record.control & kNarrowStride) != 0;
    const std::vector<uint8_t> before = output->Snapshot();
    const uint16_t qualityBefore = decoder.QualityHundredths();
    ExactBuffer frame(record.data, record.size);
    const int32_t result = decoder.Decode(frame.data(), frame.size32(), output->Picture(),
                                          narrow ? setup.width - 1 : setup.Stride());
    CheckUntouched(*output, "after a frame");

    if (narrow || !sized) {
      ZDC_FUZZ_CHECK(result == 0,
                     "without a size, or with an output pitch narrower than the "
                     "picture, a frame is refused");
      ZDC_FUZZ_CHECK(output->Snapshot() == before, "a refused frame writes nothing");
      ZDC_FUZZ_CHECK(decoder.QualityHundredths() == qualityBefore,
                     "a refused frame changes nothing");
      continue;
    }
    // The header's quality applies before anything else; a frame too short
    // to hold it is abandoned at once.
    if (frame.size() >= 6) {
      const uint16_t quality = Le16(frame.data() + 4);
      uint16_t expected = qualityBefore;
      if (quality != qualityBefore && quality <= 100) expected = StoredHundredths(quality * 0.01);
      ZDC_FUZZ_CHECK(decoder.QualityHundredths() == expected, "the header's quality applies");
    } else {
      ZDC_FUZZ_CHECK(result == 0, "a frame without a quality is abandoned");
    }
    if (frame.size() < 8) {
      ZDC_FUZZ_CHECK(result == 0, "a frame without an index is abandoned");
      ZDC_FUZZ_CHECK(output->Snapshot() == before, "an abandoned header writes nothing");
      continue;
    }
    if (chain.Next(Le16(frame.data() + 6))) {
      ZDC_FUZZ_CHECK(result == kSkippedFrame, "a frame off the delta chain is skipped");
      ZDC_FUZZ_CHECK(output->Snapshot() == before, "a skipped frame writes nothing");
    }
  }

  if (setup.checkRecovery) {
    if (!sized) PrepareDecoder(decoder, setup);
    CheckRecovery(decoder, *output, setup, denoise, displayMask);
  }
  return 0;
}
