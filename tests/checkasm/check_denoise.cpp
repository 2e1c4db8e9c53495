// The luma denoise filter and the 8x8 block copy of the change-mask display,
// on the same sources: the denoise filter on planes of every width
// (multiples of 8 and 16 or not) and height, the copy on eight rows of eight.
// Every destination pixel must equal the portable kernel's, nothing outside
// the destination rows may change, and the source and thresholds are read
// only inside their bytes and never written.
//
// Sources, in turn: random; smooth with noise around the threshold;
// differences of exactly the threshold and one more; extreme values; flat
// fields (like the right edge's zero samples) with or without isolated
// outliers.
#include <algorithm>
#include <vector>

#include "checkasm.h"

namespace zdc::checkasm {
namespace {

enum Content { kRandom, kSmooth, kThresholdSteps, kExtreme, kFlat, kContents };

struct Inputs {
  int32_t width, height, sourcePitch, destinationPitch;
  uint16_t threshold;
  std::vector<uint8_t> source;  // (height - 1) |sourcePitch| + width bytes
};

uint8_t Clamp8(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

uint8_t Pixel(Random& random, Content content, const Inputs& in, int32_t row, int32_t column) {
  const int t = std::min<int>(in.threshold, 300);
  switch (content) {
    case kSmooth:
      return Clamp8(83 + (column * 3 + row * 5) % 90 + random.Range(-t - 2, t + 2));
    case kThresholdSteps:
      return Clamp8(100 + (column / 5 + row) % 3 * 20 +
                    random.Pick({0, t, -t, t + 1, -t - 1, t - 1}));
    case kExtreme:
      return random.Pick<uint8_t>({0, 255, 1, 254, 10, 11, 245, 244});
    case kFlat:  // 0..20, with outliers in every other plane
      return in.threshold % 2 && random.Chance(5) ? static_cast<uint8_t>(random.Next32())
                                                  : static_cast<uint8_t>(in.width * 7 % 21);
    default:
      return static_cast<uint8_t>(random.Next32());
  }
}

Inputs MakeInputs(Random& random, Content content, bool block) {
  Inputs in{8, 8, 0, 0, 0, {}};
  if (!block) {
    const int widthKind = random.Range(0, 9);  // around multiples of 16 a third of the time
    in.width = widthKind < 3   ? random.Range(1, 40)
               : widthKind < 6 ? std::max(1, 16 * random.Range(1, 8) + random.Range(-2, 2))
               : widthKind < 9 ? random.Range(41, 200)
                               : random.Range(200, 720);
    const int heightKind = random.Range(0, 9);
    in.height = heightKind < 6   ? random.Range(1, 4)
                : heightKind < 9 ? random.Range(5, 24)
                                 : random.Range(25, 64);
  }
  in.sourcePitch = Pitch(random, in.width, 40, 10);
  in.destinationPitch = Pitch(random, in.width, 40, 10);
  in.threshold = static_cast<uint16_t>(
      random.Chance(60)   ? 10
      : random.Chance(50) ? random.Pick({0, 1, 9, 11, 127, 128, 200, 254, 255, 256, 1000, 65535})
                          : random.Range(0, 300));
  in.source.resize(static_cast<size_t>(in.height - 1) * std::abs(in.sourcePitch) + in.width);
  random.Fill(in.source.data(), in.source.size());
  const size_t top = in.sourcePitch < 0 ? in.source.size() - in.width : 0;
  for (int32_t r = 0; r < in.height; ++r) {
    for (int32_t c = 0; c < in.width; ++c)
      in.source[top + r * in.sourcePitch + c] = Pixel(random, content, in, r, c);
  }
  return in;
}

Outcome Run(bool block, const Kernels& kernels, uint64_t seed, int trial) {
  Random random(seed);
  const Inputs in = MakeInputs(random, static_cast<Content>(trial % kContents), block);
  const guarded::Input source = ReadOnly(in.source, random);
  const guarded::Input thresholds = ReadOnly(std::vector<uint16_t>(8, in.threshold), random);
  const uint8_t* sourceRow0 =
      source.data() + (in.sourcePitch < 0 ? (in.height - 1) * -in.sourcePitch : 0);
  uint8_t* destination;
  guarded::Area plane = OutputPlane(in.width, in.height, in.destinationPitch, random, &destination);
  if (block) {
    kernels.block.copyBlock(destination, sourceRow0, in.sourcePitch, in.destinationPitch);
  } else {
    const uint16_t* steps = reinterpret_cast<const uint16_t*>(thresholds.data());
    kernels.block.denoisePlane(sourceRow0, in.sourcePitch, destination, in.width, in.height,
                               in.destinationPitch, steps);
  }
  if (!plane.Intact()) return {{}, "wrote outside the destination rows"};
  return {plane.Allowed(), ""};
}

}  // namespace

const KernelCheck kDenoisePlaneCheck = {
    "denoise_plane", CHECKASM_VARIANT(block.denoisePlane), 4,
    [](const Kernels& k, uint64_t seed, int trial) { return Run(false, k, seed, trial); }};

const KernelCheck kCopyBlockCheck = {
    "copy_block_8x8", CHECKASM_VARIANT(block.copyBlock), 4,
    [](const Kernels& k, uint64_t seed, int trial) { return Run(true, k, seed, trial); }};

}  // namespace zdc::checkasm
