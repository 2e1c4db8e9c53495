// Whole frames through FrameDecoder::Decode: a picture size and output layout,
// then a stream of frames (so that delta chains, coefficient stores and the
// reference picture carry hostile state from frame to frame) with the
// settings, and even the picture size, changed between them (frame_stream.h).
//
// Each frame lies flush against an inaccessible page, the output inside guard
// bands. After every frame: nothing outside the picture's pixels was written;
// a refused frame (no size, an output pitch narrower than the picture, a
// header too short) or one that the delta chain skips writes nothing; the
// quality follows the rules for header and setter. (How good frames decode
// after damaged ones is in the golden hashes of damaged streams.)
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "cpu_features.h"
#include "frame_decoder.h"
#include "frame_stream.h"
#include "fuzz_support.h"

namespace zdc::fuzz {
namespace {

constexpr int32_t kSkippedFrame = 20;

struct StreamSetup {
  int32_t width, height;
  bool withChroma;
  int32_t strideExtra;
  int32_t Stride() const { return width + strideExtra; }
};

// The output picture as the decoder writes it: a luma plane of `height` rows
// at the stride, then with chroma two planes of height / 4 rows at stride / 4,
// each a sixteenth of the luma plane's bytes.
guarded::Area MakeOutput(const StreamSetup& s) {
  const size_t luma = static_cast<size_t>(s.height) * s.Stride(), chroma = luma / 16;
  guarded::Area area(luma + (s.withChroma ? 2 * chroma : 0), 0x5B);
  area.Allow(0, s.width, s.height, s.Stride());
  if (s.withChroma) {
    area.Allow(luma, s.width / 4, s.height / 4, s.Stride() / 4);
    area.Allow(luma + chroma, s.width / 4, s.height / 4, s.Stride() / 4);
  }
  return area;
}

void Prepare(FrameDecoder& decoder, const StreamSetup& s) {
  ZDC_FUZZ_CHECK(decoder.SetSize(s.width, s.height, s.withChroma) == 0, "SetSize accepts the size");
  ZDC_FUZZ_CHECK(decoder.SetQuality(0.5) == 0, "quality 0.5 is accepted");
}

uint16_t Hundredths(double quality) {
  return static_cast<uint16_t>(static_cast<int32_t>(quality * 100.0));
}

}  // namespace
}  // namespace zdc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zdc;
  using namespace zdc::fuzz;
  FuzzBytes bytes(data, size);
  StreamSetup setup{1 + static_cast<int32_t>(bytes.Le(2) % kMaxWidth),
                    1 + static_cast<int32_t>(bytes.Le(2) % kMaxHeight), false, 0};
  const uint8_t flags = bytes.Byte();
  setup.withChroma = flags & 1;
  setup.strideExtra = bytes.Byte() % 64;
  SetCpuFeatureMask(flags & 2 ? 0 : 0xFF);
  FrameDecoder decoder;
  Prepare(decoder, setup);
  guarded::Area output = MakeOutput(setup);
  bool sized = true;   // the last SetSize succeeded
  uint16_t chain = 0;  // the delta chain: the last index, and whether it broke
  bool broken = false;

  while (bytes.Remaining() > 0) {
    const uint8_t control = bytes.Byte(), setting = bytes.Byte();  // setting: a quality or a size
    const size_t declaredSize = bytes.Le(3);  // read before what remains is measured
    const size_t frameSize = std::min(declaredSize, bytes.Remaining());
    const uint8_t* frame = bytes.Here();
    bytes.Skip(frameSize);
    decoder.SetDenoise(control & kDenoise);
    decoder.SetDisplayMask(control & kDisplayMask);
    if ((control & kSetQuality) && !(control & (kResize | kFailedSize))) {
      const double quality = setting == 255   ? NAN
                             : setting == 254 ? -0.01
                                              : setting / 100.0;
      const uint16_t before = decoder.QualityHundredths();
      const bool accepted = quality >= 0.0 && quality <= 1.0;
      ZDC_FUZZ_CHECK(decoder.SetQuality(quality) == (accepted ? 0u : 87u),
                     "SetQuality accepts exactly [0, 1]");
      ZDC_FUZZ_CHECK(decoder.QualityHundredths() == (accepted ? Hundredths(quality) : before),
                     "a refused quality changes nothing");
    }
    if (control & kFailedSize) {
      // Sides each unusable, or each usable but together past 2^28 pixels.
      static const int32_t kSides[] = {0, -1, -64, INT32_MIN, INT32_MAX, (1 << 28) + 1, 1 << 15};
      int32_t width = kSides[setting % 7], height = kSides[setting / 7 % 7];
      if (width > 0 && width <= 1 << 15 && height > 0 && height <= 1 << 15)
        width = height = 1 << 15;
      ZDC_FUZZ_CHECK(decoder.SetSize(width, height, setup.withChroma) != 0,
                     "SetSize refuses an unusable size");
      sized = false;
      chain = 0, broken = false;
    }
    if (control & kResize) {
      setup.width = 1 + setting * 37 % kMaxWidth;
      setup.height = 1 + setting * 53 % kMaxHeight;
      setup.withChroma = setting & 1;
      output = MakeOutput(setup);
    }
    if (control & (kSetSizeAgain | kResize)) {
      Prepare(decoder, setup);
      sized = true;
      chain = 0, broken = false;
    }

    const bool narrow = control & kNarrowStride;
    const std::vector<uint8_t> before = output.Allowed();
    const uint16_t qualityBefore = decoder.QualityHundredths();
    guarded::Input sample(frame, frameSize);
    const int32_t result = decoder.Decode(sample.data(), sample.size32(), output.data(),
                                          narrow ? setup.width - 1 : setup.Stride());
    ZDC_FUZZ_CHECK(output.Intact(), "nothing outside the picture's pixels is written");
    bool writesNothing = narrow || !sized || frameSize < 8;
    if (narrow || !sized) {
      ZDC_FUZZ_CHECK(result == 0,
                     "without a size, or with a narrow output pitch, a frame is refused");
      ZDC_FUZZ_CHECK(decoder.QualityHundredths() == qualityBefore,
                     "a refused frame changes nothing");
    } else if (frameSize < 6) {
      ZDC_FUZZ_CHECK(result == 0, "a frame without a quality is abandoned");
    } else {
      // The header's quality applies before anything else.
      const uint16_t quality = static_cast<uint16_t>(frame[4] | frame[5] << 8);
      const uint16_t expected =
          quality != qualityBefore && quality <= 100 ? Hundredths(quality * 0.01) : qualityBefore;
      ZDC_FUZZ_CHECK(decoder.QualityHundredths() == expected, "the header's quality applies");
      ZDC_FUZZ_CHECK(frameSize >= 8 || result == 0, "a frame without an index is abandoned");
    }
    if (!writesNothing) {
      // A key frame restarts the chain; a delta frame must carry the next
      // index, and once the chain broke only a key frame mends it.
      const uint16_t index = static_cast<uint16_t>(frame[6] | frame[7] << 8);
      broken = index != 0 && (broken || index != ++chain);
      if (index == 0) chain = 0;
      if (broken) ZDC_FUZZ_CHECK(result == kSkippedFrame, "a frame off the delta chain is skipped");
      writesNothing = broken;
    }
    if (writesNothing)
      ZDC_FUZZ_CHECK(output.Allowed() == before, "a refused or skipped frame writes nothing");
  }

  return 0;
}
