// The portable block kernels at the edges that pictures seldom reach (the
// golden decodes pin their ordinary output, checkasm the variants).
#include <gtest/gtest.h>

#include <algorithm>

#include "block_kernels.h"

namespace zdc {
namespace {

// Pixels saturate, dequantized values wrap at 16 bits while the store keeps
// the quantized ones, and a delta block's sum with the store saturates.
TEST(BlockReconstruction, SaturationAndWrapping) {
  alignas(16) uint16_t table[64];
  std::fill(table, table + 64, uint16_t{32});
  table[0] = 8;
  struct Key {
    int16_t dc, ac1;
    uint8_t pixel;
  } const keys[] = {{4095, 0, 255}, {-500, 0, 0}, {128, 2048, 128}};  // 2048 x 32 wraps to 0
  for (const Key& k : keys) {
    alignas(16) int16_t block[64] = {k.dc, k.ac1}, slot[64];
    uint8_t pixels[64];
    ReconstructKeyBlock_c(block, pixels, 8, slot, table);
    EXPECT_EQ(std::count(pixels, pixels + 64, k.pixel), 64) << k.dc << ", " << k.ac1;
    EXPECT_EQ(slot[1], k.ac1) << "the store keeps the quantized value";
  }
  struct Delta {
    int16_t stored, change, sum;
  } const deltas[] = {{100, 5, 105}, {32767, 1, 32767}, {-32768, -1, -32768}, {-5, 5, 0}, {30000, 30000, 32767}};
  for (const Delta& d : deltas) {
    alignas(16) int16_t block[64], slot[64];
    std::fill(block, block + 64, d.change);
    std::fill(slot, slot + 64, d.stored);
    uint8_t pixels[64];
    ReconstructDeltaBlock_c(block, pixels, 8, slot, table);
    EXPECT_EQ(std::count(slot, slot + 64, d.sum), 64) << d.stored << " + " << d.change;
  }
}

}  // namespace
}  // namespace zdc
