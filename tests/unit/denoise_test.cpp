// The luma denoise filter on small pictures with known results.
#include <gtest/gtest.h>

#include <vector>

#include "block_kernels.h"

namespace zdc {
namespace {

const uint16_t kThresholds[8] = {10, 10, 10, 10, 10, 10, 10, 10};

std::vector<uint8_t> Denoise(const std::vector<uint8_t>& source, int width, int height) {
  std::vector<uint8_t> out(source.size(), 0xCD);
  DenoisePlane_c(source.data(), width, out.data(), width, height, width, kThresholds);
  return out;
}

TEST(Denoise, FlatPictures) {
  struct Case {
    uint8_t value;
    uint8_t secondLast, last;  // the two right-edge columns of rows 1..H-1
  };
  // At most 10 the zero samples beyond the right edge are close enough to count.
  const Case cases[] = {{0, 0, 0}, {8, (6 * 8 + 3) >> 3, (4 * 8 + 3) >> 3},
                        {10, (6 * 10 + 3) >> 3, (4 * 10 + 3) >> 3}, {11, 11, 11}, {200, 200, 200}};
  const int w = 16, h = 4;
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.value});
    const auto out = Denoise(std::vector<uint8_t>(w * h, c.value), w, h);
    for (int x = 0; x < w; ++x) EXPECT_EQ(out[x], c.value) << "row 0 is copied";
    for (int y = 1; y < h; ++y) {
      for (int x = 0; x < w - 2; ++x) EXPECT_EQ(out[y * w + x], c.value);
      EXPECT_EQ(out[y * w + w - 2], c.secondLast);
      EXPECT_EQ(out[y * w + w - 1], c.last);
    }
  }
}

TEST(Denoise, IsolatedOutliersSurvive) {
  const int w = 16, h = 5;
  std::vector<uint8_t> source(w * h, 100);
  source[2 * w + 7] = 200;
  const auto out = Denoise(source, w, h);
  for (int y = 1; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      EXPECT_EQ(out[y * w + x], (y == 2 && x == 7) ? 200 : 100) << x << "," << y;
    }
  }
}

TEST(Denoise, SmallDifferencesAreAveraged) {
  const int w = 16, h = 2;
  std::vector<uint8_t> source(w * h);
  const uint8_t row0[3] = {100, 103, 106}, row1[3] = {107, 101, 104};
  for (int x = 0; x < w; ++x) {
    source[x] = row0[x % 3];
    source[w + x] = row1[x % 3];
  }
  const auto out = Denoise(source, w, h);
  const uint8_t expected[16] = {103, 103, 103, 104, 103, 103, 104, 103,
                                103, 104, 103, 103, 104, 103, 104, 106};
  for (int x = 0; x < w; ++x) {
    EXPECT_EQ(out[x], source[x]);
    EXPECT_EQ(out[w + x], expected[x]) << "column " << x;
  }
}

TEST(Denoise, NarrowPicturesStayInsideTheirPlanes) {
  // Widths that are not multiples of 16 (or 8): the source has its real pitch
  // and the destination a wider one; nothing beyond a row's pixels changes.
  for (int w : {1, 3, 8, 13, 17}) {
    SCOPED_TRACE(w);
    const int sourcePitch = (w + 7) / 8 * 8, destinationPitch = w + 5, h = 3;
    std::vector<uint8_t> source(sourcePitch * h, 50), out(destinationPitch * h, 0xCD);
    DenoisePlane_c(source.data(), sourcePitch, out.data(), w, h, destinationPitch, kThresholds);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < destinationPitch; ++x) {
        if (x >= w) {
          EXPECT_EQ(out[y * destinationPitch + x], 0xCD);
        } else if (y == 0 || x < w - 2) {
          EXPECT_EQ(out[y * destinationPitch + x], 50);
        }
      }
    }
  }
}

}  // namespace
}  // namespace zdc
