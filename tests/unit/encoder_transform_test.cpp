// The forward transform and the quantizer against the decoder's inverse: the
// encoder's scale must be the one the decoder's fixed-point kernel undoes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "block_kernels.h"
#include "block_quantizer.h"
#include "codec_context.h"
#include "forward_dct.h"

namespace zdc {
namespace {

struct alignas(16) Coefficients {
  int16_t v[64] = {};
};

// The decoder's output for dequantized values `d` (a unit table makes the
// coefficients the dequantized values).
void DecoderInverse(const Coefficients& d, uint8_t pixels[64]) {
  Coefficients block = d, slot;
  alignas(16) uint16_t ones[64];
  for (auto& q : ones) q = 1;
  ReconstructKeyBlock_c(block.v, pixels, 8, slot.v, ones);
}

// Every basis picture, at both signs, as the kernel draws it over mid-grey,
// matches the double-precision inverse of the encoder's transform: the AC
// scale is the kernel's, not just the DC scale.
TEST(EncoderTransform, EveryBasisPictureMatchesTheDecoderKernel) {
  for (int index = 0; index < 64; ++index) {
    for (int amplitude : {-300, -37, 37, 300}) {
      SCOPED_TRACE(testing::Message() << "index " << index << " amplitude " << amplitude);
      Coefficients d;
      d.v[0] = 1024;
      d.v[index] = static_cast<int16_t>(index == 0 ? 1024 + amplitude : amplitude);
      uint8_t pixels[64];
      DecoderInverse(d, pixels);
      double coefficients[64] = {};
      for (int i = 0; i < 64; ++i) coefficients[i] = d.v[i];
      double expected[64];
      InverseDctReference(coefficients, expected);
      for (int i = 0; i < 64; ++i) {
        EXPECT_NEAR(pixels[i], std::clamp(expected[i], 0.0, 255.0), 1.0) << "pixel " << i;
      }
    }
  }
}

TEST(EncoderTransform, FlatBlocksCarryEightTimesTheirLevelInDc) {
  for (int level : {0, 1, 128, 200, 255}) {
    uint8_t pixels[64];
    std::fill(pixels, pixels + 64, static_cast<uint8_t>(level));
    double coefficients[64];
    ForwardDct(pixels, 8, coefficients);
    EXPECT_NEAR(coefficients[0], 8.0 * level, 1e-9);
    for (int i = 1; i < 64; ++i) EXPECT_NEAR(coefficients[i], 0.0, 1e-9) << i;
  }
}

// Unquantized (unit steps) forward transform, rounded, then the decoder's
// kernel: the source comes back within one level, whatever the content.
TEST(EncoderTransform, RoundTripThroughTheDecoderKernelIsWithinOneLevel) {
  std::mt19937 random(7);
  const int kinds = 4;
  for (int trial = 0; trial < 400; ++trial) {
    uint8_t source[16 * 8];  // a block inside a wider plane: pitch 16
    const int kind = trial % kinds;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 16; ++x) {
        int value = 0;
        switch (kind) {
          case 0: value = static_cast<int>(random() % 256); break;                 // noise
          case 1: value = (x + y) % 2 ? 255 : 0; break;                            // checkerboard
          case 2: value = 20 * x + 5 * y + static_cast<int>(random() % 3); break;  // ramp
          default: value = x < 4 ? 255 : 0; break;                                 // edge
        }
        source[16 * y + x] = static_cast<uint8_t>(std::clamp(value, 0, 255));
      }
    }
    double coefficients[64];
    ForwardDct(source, 16, coefficients);
    Coefficients rounded;
    for (int i = 0; i < 64; ++i) rounded.v[i] = static_cast<int16_t>(std::lround(coefficients[i]));
    uint8_t pixels[64];
    DecoderInverse(rounded, pixels);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        EXPECT_LE(std::abs(pixels[8 * y + x] - source[16 * y + x]), 1)
            << "trial " << trial << " pixel " << y << "," << x;
      }
    }
  }
}

TEST(EncoderQuantizer, RoundsToNearestAndStaysWrapSafe) {
  struct Case {
    double coefficient;
    uint16_t step;
    int16_t expected;
  };
  const Case cases[] = {
      {0.0, 16, 0},        {7.9, 16, 0},          {8.0, 16, 1},      {-8.0, 16, -1},
      {-7.9, 16, 0},       {1024.0, 8, 128},      {2040.0, 8, 255},  {100.4, 1, 100},
      {100.5, 1, 101},     {-100.5, 1, -101},     {40000.0, 1, 32767}, {-40000.0, 1, -32767},
      {1e6, 248, 132},     {-1e6, 248, -132},     {500.0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.coefficient << " / " << c.step);
    double coefficients[64] = {};
    uint16_t steps[64];
    std::fill(steps, steps + 64, uint16_t{1});
    coefficients[5] = c.coefficient;
    steps[5] = c.step;
    int16_t quantized[64];
    QuantizeBlock(coefficients, steps, quantized);
    EXPECT_EQ(quantized[5], c.expected);
    // Whatever is kept dequantizes without wrapping.
    EXPECT_LE(std::abs(int32_t{quantized[5]} * c.step), 32767);
  }
}

// At every quality, quantizing and rebuilding with the decoder's own table
// keeps a smooth block close to its source, closest at the top quality.
TEST(EncoderQuantizer, SmoothBlocksSurviveEveryQuality) {
  uint8_t source[64];
  for (int i = 0; i < 64; ++i) source[i] = static_cast<uint8_t>(60 + 2 * (i % 8) + 9 * (i / 8));
  double coefficients[64];
  ForwardDct(source, 8, coefficients);
  double worst = 0, best = 1e9;
  for (int hundredths : {0, 4, 5, 25, 50, 75, 100}) {
    alignas(16) uint16_t table[64];
    BuildDequantTable(hundredths * 0.01, table);
    Coefficients block, slot;
    QuantizeBlock(coefficients, table, block.v);
    uint8_t pixels[64];
    ReconstructKeyBlock_c(block.v, pixels, 8, slot.v, table);
    double error = 0;
    for (int i = 0; i < 64; ++i) error += (pixels[i] - source[i]) * (pixels[i] - source[i]);
    EXPECT_LT(error / 64, 40.0) << "quality " << hundredths;
    if (hundredths == 0) worst = error;
    if (hundredths == 100) best = error;
  }
  EXPECT_LT(best, worst);
}

}  // namespace
}  // namespace zdc
