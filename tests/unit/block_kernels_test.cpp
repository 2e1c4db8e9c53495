// Block reconstruction: dequantization, the fixed-point inverse DCT with its
// wrap-around and saturation, and coefficient store accumulation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "block_kernels.h"
#include "forward_dct.h"

namespace zdc {
namespace {

using Pixels = std::array<uint8_t, 64>;

struct alignas(16) Block {
  int16_t v[64] = {};
};

// Reconstructs a key block whose dequantized values are `d` (with a unit
// dequantization table, so coefficients equal dequantized values).
Pixels KeyBlockFromDequantized(const Block& d) {
  Block block = d, slot;
  alignas(16) uint16_t ones[64];
  for (auto& q : ones) q = 1;
  Pixels out{};
  ReconstructKeyBlock_c(block.v, out.data(), 8, slot.v, ones);
  return out;
}

TEST(BlockReconstruction, KnownBlocks) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int16_t>> values;  // (index, dequantized value)
    std::array<uint8_t, 8> firstRow;
    bool flat;  // all eight rows equal the first
  };
  const Case cases[] = {
      {"all zero", {}, {0, 0, 0, 0, 0, 0, 0, 0}, true},
      {"dc 1024 is mid grey", {{0, 1024}}, {128, 128, 128, 128, 128, 128, 128, 128}, true},
      {"dc 1023 rounds up", {{0, 1023}}, {128, 128, 128, 128, 128, 128, 128, 128}, true},
      {"first horizontal frequency", {{0, 1024}, {1, 100}},
       {145, 143, 138, 131, 125, 118, 113, 111}, true},
      {"first vertical frequency", {{0, 1024}, {8, 100}}, {145, 145, 145, 145, 145, 145, 145, 145}, false},
      {"large dc saturates white", {{0, 32767}}, {255, 255, 255, 255, 255, 255, 255, 255}, true},
      {"negative dc clamps black", {{0, -4000}}, {0, 0, 0, 0, 0, 0, 0, 0}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Block d;
    for (auto [index, value] : c.values) d.v[index] = value;
    const Pixels pixels = KeyBlockFromDequantized(d);
    for (int r = 0; r < (c.flat ? 8 : 1); ++r) {
      for (int u = 0; u < 8; ++u) EXPECT_EQ(pixels[8 * r + u], c.firstRow[u]) << "row " << r << " col " << u;
    }
  }
}

// Every basis picture, at both signs, as the kernel draws it over mid-grey,
// is the double-precision inverse transform's within one level.
TEST(BlockReconstruction, EveryBasisPictureMatchesTheReferenceInverse) {
  for (int index = 0; index < 64; ++index) {
    for (int amplitude : {-300, -37, 37, 300}) {
      Block d;
      d.v[0] = 1024;
      d.v[index] = static_cast<int16_t>(index == 0 ? 1024 + amplitude : amplitude);
      const Pixels pixels = KeyBlockFromDequantized(d);
      double coefficients[64], expected[64];
      std::copy(d.v, d.v + 64, coefficients);
      InverseDctReference(coefficients, expected);
      for (int i = 0; i < 64; ++i) {
        ASSERT_NEAR(pixels[i], std::clamp(expected[i], 0.0, 255.0), 1.0) << "basis " << index << " x " << amplitude;
      }
    }
  }
}

TEST(BlockReconstruction, DequantizationWrapsAtSixteenBits) {
  // 2048 x 32 = 65536 wraps to 0; the block is then all zero (pixels 0).
  Block block, slot;
  block.v[0] = 1024 / 8;
  block.v[1] = 2048;
  alignas(16) uint16_t table[64];
  for (auto& q : table) q = 32;
  table[0] = 8;
  Pixels wrapped{}, plain{};
  ReconstructKeyBlock_c(block.v, wrapped.data(), 8, slot.v, table);
  Block flat;
  flat.v[0] = 1024;
  plain = KeyBlockFromDequantized(flat);
  EXPECT_EQ(wrapped, plain);
  EXPECT_EQ(slot.v[1], 2048) << "the store keeps the quantized value";
}

TEST(BlockReconstruction, DeltaBlocksAccumulateAndSaturateInTheStore) {
  alignas(16) uint16_t table[64];
  for (auto& q : table) q = 1;
  struct Case {
    int16_t stored, delta, expected;
  };
  const Case cases[] = {{100, 5, 105}, {32767, 1, 32767}, {-32768, -1, -32768},
                        {-5, 5, 0}, {30000, 30000, 32767}};
  for (const Case& c : cases) {
    Block slot, block;
    for (int i = 0; i < 64; ++i) {
      slot.v[i] = c.stored;
      block.v[i] = c.delta;
    }
    Pixels out{};
    ReconstructDeltaBlock_c(block.v, out.data(), 8, slot.v, table);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(slot.v[i], c.expected) << c.stored << "+" << c.delta;
  }
}

}  // namespace
}  // namespace zdc
