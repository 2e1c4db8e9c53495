// The 8x8 block copy of the change-mask display: the destination pixels must
// equal the portable copy's, nothing else in the destination may change, and
// the source is read only inside its eight rows of eight bytes.
#include <vector>

#include "checkasm.h"

namespace zdc::checkasm {
namespace {

struct Inputs {
  int32_t sourcePitch, destinationPitch;
  std::vector<uint8_t> source;  // 7 |sourcePitch| + 8 bytes
};

Inputs MakeInputs(Random& random) {
  auto pitch = [&random] {
    const int32_t p = random.Chance(20) ? 8 : random.Range(8, 64);
    return random.Chance(15) ? -p : p;
  };
  Inputs in{pitch(), pitch(), {}};
  in.source.resize(static_cast<size_t>(7 * std::abs(in.sourcePitch) + 8));
  random.Fill(in.source.data(), in.source.size());
  return in;
}

Outcome Run(const Kernels& kernels, uint64_t seed, int) {
  Random random(seed);
  Inputs in = MakeInputs(random);
  ReadOnly<uint8_t> source(in.source.data(), in.source.size(), random);
  uint8_t* destination;
  guarded::Area plane = OutputPlane(8, 8, in.destinationPitch, random, &destination);
  kernels.block.copyBlock(destination, source.data() + (in.sourcePitch < 0 ? 7 * -in.sourcePitch : 0),
                    in.sourcePitch, in.destinationPitch);
  if (!source.Unchanged()) return {{}, "changed its source"};
  if (!plane.Intact()) return {{}, "wrote outside the 8x8 block"};
  return {plane.Allowed(), ""};
}

}  // namespace

const KernelCheck kCopyBlockCheck = {
    "copy_block_8x8",
    [](const Kernels& k) { return reinterpret_cast<const void*>(k.block.copyBlock); }, 4, Run};

}  // namespace zdc::checkasm
