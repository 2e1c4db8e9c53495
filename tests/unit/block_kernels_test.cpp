// The portable inverse transform against the double-precision reference:
// with the portable kernels alone (ZDC_CPU_MASK=0) there is no processor
// variant for checkasm to compare it with.
#include <gtest/gtest.h>

#include <algorithm>

#include "block_kernels.h"
#include "forward_dct.h"

namespace zdc {
namespace {

// Every basis picture, at both signs, as the kernel draws it over mid-grey
// (a unit dequantization table), is the reference inverse's within one level.
TEST(BlockReconstruction, EveryBasisPictureMatchesTheReferenceInverse) {
  alignas(16) uint16_t ones[64];
  std::fill(ones, ones + 64, uint16_t{1});
  for (int index = 0; index < 64; ++index) {
    for (int amplitude : {-300, -37, 37, 300}) {
      alignas(16) int16_t block[64] = {}, slot[64];
      block[0] = 1024;
      block[index] = static_cast<int16_t>(index == 0 ? 1024 + amplitude : amplitude);
      double coefficients[64], expected[64];
      std::copy(block, block + 64, coefficients);
      InverseDctReference(coefficients, expected);
      uint8_t pixels[64];
      ReconstructKeyBlock_c(block, pixels, 8, slot, ones);
      for (int i = 0; i < 64; ++i) {
        ASSERT_NEAR(pixels[i], std::clamp(expected[i], 0.0, 255.0), 1.0) << "basis " << index << " x " << amplitude;
      }
    }
  }
}

}  // namespace
}  // namespace zdc
