// The 8x8 block copy of the change-mask display: the destination pixels must
// equal the portable copy's, nothing else in the destination may change, and
// the source is read only inside its eight rows of eight bytes.
#include <vector>

#include "checkasm.h"

namespace zdc::checkasm {
namespace {

Outcome Run(const Kernels& kernels, uint64_t seed, int) {
  Random random(seed);
  const int32_t sourcePitch = Pitch(random, 8, 56, 15), destinationPitch = Pitch(random, 8, 56, 15);
  std::vector<uint8_t> bytes(static_cast<size_t>(7 * std::abs(sourcePitch) + 8));
  random.Fill(bytes.data(), bytes.size());
  ReadOnly<uint8_t> source(bytes.data(), bytes.size(), random);
  uint8_t* destination;
  guarded::Area plane = OutputPlane(8, 8, destinationPitch, random, &destination);
  kernels.block.copyBlock(destination, source.Row0(sourcePitch, 8), sourcePitch, destinationPitch);
  if (!source.Unchanged()) return {{}, "changed its source"};
  if (!plane.Intact()) return {{}, "wrote outside the 8x8 block"};
  return {plane.Allowed(), ""};
}

}  // namespace

const KernelCheck kCopyBlockCheck = {"copy_block_8x8", CHECKASM_VARIANT(block.copyBlock), 4, Run};

}  // namespace zdc::checkasm
