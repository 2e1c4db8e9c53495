// The dequantization table derived from the quality value.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "frame_decoder.h"

namespace zdc {
namespace {

TEST(Quality, TablesForKnownQualities) {
  struct Case {
    double quality;
    uint16_t hundredths;
    std::array<uint16_t, 8> firstRow;
  };
  const Case cases[] = {
      {0.5, 50, {8, 16, 19, 22, 26, 27, 29, 34}},
      {1.0, 100, {8, 8, 9, 11, 13, 13, 14, 17}},
      {0.0, 0, {13, 48, 56, 66, 78, 80, 86, 102}},
      {-0.0, 0, {13, 48, 56, 66, 78, 80, 86, 102}},
      {0.04, 4, {9, 46, 54, 64, 74, 78, 84, 98}},
      {0.05, 5, {8, 23, 27, 31, 37, 39, 42, 49}},
      {0.29, 28, {8, 19, 22, 26, 31, 32, 35, 41}},  // 0.29 * 100 is 28.999...
      {0.58, 57, {8, 14, 17, 20, 23, 24, 26, 31}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quality);
    FrameDecoder decoder;
    ASSERT_EQ(decoder.SetQuality(c.quality), 0u);
    EXPECT_EQ(decoder.QualityHundredths(), c.hundredths);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(decoder.DequantTable()[i], c.firstRow[i]) << i;
  }
}

TEST(Quality, HalfIsTheBaseMatrixAndZeroDoublesIt) {
  FrameDecoder decoder;
  ASSERT_EQ(decoder.SetQuality(0.5), 0u);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(decoder.DequantTable()[i], kBaseQuantMatrix[i]);
  ASSERT_EQ(decoder.SetQuality(0.0), 0u);
  const uint16_t lastRow[8] = {80, 86, 104, 114, 138, 168, 206, 248};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(decoder.DequantTable()[56 + i], lastRow[i]);
}

TEST(Quality, RefusedValuesChangeNothing) {
  FrameDecoder decoder;
  ASSERT_EQ(decoder.SetQuality(0.75), 0u);
  const std::vector<uint16_t> before(decoder.DequantTable(), decoder.DequantTable() + 64);
  for (double q : {1.0000001, -0.01, std::numeric_limits<double>::quiet_NaN(), 2.0,
                   -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(decoder.SetQuality(q), 87u) << q;
    EXPECT_EQ(decoder.QualityHundredths(), 75);
    EXPECT_EQ(std::vector<uint16_t>(decoder.DequantTable(), decoder.DequantTable() + 64), before);
  }
}

}  // namespace
}  // namespace zdc
