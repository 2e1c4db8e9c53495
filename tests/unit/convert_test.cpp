// The conversions of one 9x5 picture (two chroma samples across, one down,
// so the last luma column and row repeat the last chroma ones) pinned to
// hand-checked bytes: plane order and layout per format, replication at the
// edges, bottom-up RGB, and grey for a picture without chroma. The RGB values
// are BT.601 computed in floating point and rounded. Vector variants are
// checked against the portable kernels by checkasm, not here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture_convert.h"
#include "pixel_format_names.h"

namespace zdc {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kWidth = 9, kHeight = 5;

// Luma 60 + 20 y + 10 x; V 170, 100 and U 90, 150 (the decoder's plane order).
Bytes Picture() {
  Bytes buffer(DecoderOutputBytes(kWidth, kHeight, true));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) buffer[y * kWidth + x] = static_cast<uint8_t>(60 + 20 * y + 10 * x);
  }
  const Bytes chroma = {170, 100, 90, 150};
  std::copy(chroma.begin(), chroma.end(), buffer.begin() + kWidth * kHeight);
  return buffer;
}

Bytes Convert(PixelFormat format, bool withChroma, bool bottomUp = false) {
  const Bytes source = Picture();
  const ptrdiff_t pitch = PackedPitch(format, kWidth);
  Bytes out(SurfaceBytes(format, kHeight, pitch, withChroma), 0xEE);
  ConvertPicture(DecoderOutputPicture(source.data(), kWidth, kHeight, withChroma), format,
                 SurfaceInBuffer(format, out.data(), kHeight, pitch, withChroma, bottomUp));
  return out;
}

Bytes Repeat(const Bytes& row, int times) {
  Bytes bytes;
  for (int i = 0; i < times; ++i) bytes.insert(bytes.end(), row.begin(), row.end());
  return bytes;
}

struct PlanarCase {
  const char* name;
  bool withChroma;
  Bytes chroma;  // every byte after the luma plane
};

TEST(ConvertTest, PlanarFormatsCopyLumaAndReplicateChroma) {
  const Bytes u420 = Repeat({90, 90, 150, 150, 150}, 3), v420 = Repeat({170, 170, 100, 100, 100}, 3);
  auto join = [](Bytes a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); return a; };
  const PlanarCase cases[] = {
      {"yvu9", true, {170, 100, 90, 150}},
      {"yvu9", false, {}},
      {"yuv410p", true, join(Repeat({90, 150, 150}, 2), Repeat({170, 100, 100}, 2))},
      {"yuv410p", false, Bytes(12, 128)},
      {"i420", true, join(u420, v420)},
      {"yv12", true, join(v420, u420)},
      {"yv12", false, Bytes(30, 128)},
      {"nv12", true, Repeat({90, 170, 90, 170, 150, 100, 150, 100, 150, 100}, 3)},
  };
  Bytes luma = Picture();
  luma.resize(kWidth * kHeight);
  for (const PlanarCase& c : cases) {
    PixelFormat format;
    ASSERT_TRUE(ParsePixelFormat(c.name, &format));
    EXPECT_STREQ(PixelFormatName(format), c.name);
    EXPECT_EQ(Convert(format, c.withChroma), join(luma, c.chroma)) << c.name << " chroma " << c.withChroma;
  }
  PixelFormat unused;
  EXPECT_FALSE(ParsePixelFormat("rgb", &unused));
}

TEST(ConvertTest, Yuy2PairsLumaWithChromaAndRepeatsTheLastColumn) {
  const Bytes out = Convert(PixelFormat::kYuy2, true);
  ASSERT_EQ(out.size(), 5u * 20);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 20),
            Bytes({60, 90, 70, 170, 80, 90, 90, 170, 100, 150, 110, 100, 120, 150, 130, 100, 140, 150, 140, 100}));
  EXPECT_EQ(Bytes(out.begin() + 80, out.end()),
            Bytes({140, 90, 150, 170, 160, 90, 170, 170, 180, 150, 190, 100, 200, 150, 210, 100, 220, 150, 220, 100}));
}

TEST(ConvertTest, RgbIsBt601InBgrOrderTopDownOrBottomUp) {
  struct Probe {
    int x, y;
    uint8_t b, g, r;
  };
  // (8, 4) lies past the last whole chroma block in both directions.
  const std::vector<Probe> colour = {{0, 0, 0, 32, 118}, {3, 1, 33, 90, 176}, {4, 2, 189, 159, 100},
                                     {5, 0, 154, 124, 65}, {8, 4, 255, 252, 193}};
  const std::vector<Probe> grey = {{0, 0, 51, 51, 51}, {4, 2, 144, 144, 144}, {8, 4, 238, 238, 238}};
  for (const PixelFormat format : {PixelFormat::kRgb24, PixelFormat::kRgb32}) {
    const int bytesPerPixel = format == PixelFormat::kRgb32 ? 4 : 3;
    for (const bool bottomUp : {false, true}) {
      for (const bool withChroma : {true, false}) {
        const Bytes out = Convert(format, withChroma, bottomUp);
        ASSERT_EQ(out.size(), static_cast<size_t>(bytesPerPixel * kWidth * kHeight));
        for (const Probe& p : withChroma ? colour : grey) {
          const int row = bottomUp ? kHeight - 1 - p.y : p.y;
          const uint8_t* pixel = &out[(row * kWidth + p.x) * bytesPerPixel];
          const Bytes want = bytesPerPixel == 4 ? Bytes{p.b, p.g, p.r, 255} : Bytes{p.b, p.g, p.r};
          EXPECT_EQ(Bytes(pixel, pixel + bytesPerPixel), want)
              << PixelFormatName(format) << " pixel " << p.x << "," << p.y << (bottomUp ? " bottom-up" : "")
              << (withChroma ? "" : " luma only");
        }
      }
    }
  }
}

}  // namespace
}  // namespace zdc
