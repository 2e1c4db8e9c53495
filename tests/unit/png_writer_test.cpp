// PNG output: file structure checked by an independent parser (CRCs, zlib
// header, Adler-32, stored blocks), pixel values of the colour conversion,
// and the checksums against published values.
#include "png_writer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "checksums.h"
#include "media_png_parser.h"
#include "media_temp_dir.h"
#include "ycbcr_to_rgb.h"

namespace {

TEST(PngChecksumsTest, KnownValuesAndPieces) {
  const char* text = "123456789";
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  EXPECT_EQ(zdc::Crc32(bytes, 9), 0xCBF43926u);
  EXPECT_EQ(zdc::Crc32(bytes + 4, 5, zdc::Crc32(bytes, 4)), 0xCBF43926u);
  EXPECT_EQ(zdc::Crc32(bytes, 0), 0u);
  const char* wiki = "Wikipedia";
  EXPECT_EQ(zdc::Adler32(reinterpret_cast<const uint8_t*>(wiki), 9), 0x11E60398u);
  EXPECT_EQ(zdc::Adler32(bytes, 0), 1u);
  // Long runs of 0xFF exercise the deferred modulo (value from zlib).
  const std::vector<uint8_t> ones(100000, 0xFF);
  EXPECT_EQ(zdc::Adler32(ones.data(), ones.size()), 0x149A302Cu);
  EXPECT_EQ(zdc::Adler32(ones.data() + 7000, 93000, zdc::Adler32(ones.data(), 7000)), 0x149A302Cu);
}

TEST(PngWriterTest, StructureAndPixelsSurviveAnIndependentParser) {
  const struct Case {
    int width, height;
    zdc::PngColor color;
    size_t minBlocks;
  } cases[] = {
      {1, 1, zdc::PngColor::kGray, 1},
      {7, 3, zdc::PngColor::kRgb, 1},
      {300, 250, zdc::PngColor::kRgb, 4},  // more than one stored block
      {1000, 700, zdc::PngColor::kRgb, 32}, // more than one IDAT chunk
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const size_t channels = c.color == zdc::PngColor::kRgb ? 3 : 1;
    const size_t stride = c.width * channels + 5;  // padded rows must not leak in
    std::vector<uint8_t> pixels(stride * c.height, 0xEE);
    std::vector<uint8_t> packed;
    for (int y = 0; y < c.height; ++y) {
      for (size_t x = 0; x < c.width * channels; ++x) {
        pixels[y * stride + x] = static_cast<uint8_t>(x * 13 + y * 7);
        packed.push_back(pixels[y * stride + x]);
      }
    }
    const std::vector<uint8_t> file = zdc::EncodePng(c.width, c.height, c.color, pixels.data(), stride);
    zdc_test::PngImage image;
    ASSERT_EQ(zdc_test::InspectPng(file, &image), "");
    EXPECT_EQ(image.width, static_cast<uint32_t>(c.width));
    EXPECT_EQ(image.height, static_cast<uint32_t>(c.height));
    EXPECT_EQ(image.colorType, static_cast<uint8_t>(c.color));
    EXPECT_GE(image.storedBlocks, c.minBlocks);
    EXPECT_EQ(image.pixels, packed);
  }
}

TEST(PngWriterTest, InspectorCatchesDamage) {
  const uint8_t pixel[3] = {1, 2, 3};
  const std::vector<uint8_t> good = zdc::EncodePng(1, 1, zdc::PngColor::kRgb, pixel, 3);
  zdc_test::PngImage image;
  ASSERT_EQ(zdc_test::InspectPng(good, &image), "");
  // A flipped pixel byte breaks the IDAT CRC; with the CRC fixed it would
  // still break the Adler-32, which is what the checks are for.
  for (size_t at : {size_t{12}, good.size() - 20}) {
    std::vector<uint8_t> bad = good;
    bad[at] ^= 1;
    zdc_test::PngImage ignored;
    EXPECT_NE(zdc_test::InspectPng(bad, &ignored), "") << at;
  }
}

TEST(PngWriterTest, WritesFiles) {
  zdc_test::MediaTempDir dir;
  const uint8_t gray[4] = {0, 64, 128, 255};
  zdc::WritePng(dir.File("a.png"), 2, 2, zdc::PngColor::kGray, gray, 2);
  zdc_test::PngImage image;
  ASSERT_EQ(zdc_test::InspectPng(zdc_test::ReadMediaFile(dir.File("a.png")), &image), "");
  EXPECT_EQ(image.pixels, std::vector<uint8_t>(gray, gray + 4));
  EXPECT_ANY_THROW(zdc::WritePng(dir.File("missing/a.png"), 2, 2, zdc::PngColor::kGray, gray, 2));
}

TEST(PngColourTest, Bt601LimitedRange) {
  const struct Case {
    int y, cb, cr;
    uint8_t r, g, b;
  } cases[] = {
      {16, 128, 128, 0, 0, 0},       {235, 128, 128, 255, 255, 255}, {126, 128, 128, 128, 128, 128},
      {81, 90, 240, 255, 0, 0},      {145, 54, 34, 0, 255, 0},       {41, 240, 110, 0, 0, 255},
      {0, 128, 128, 0, 0, 0},        {255, 128, 128, 255, 255, 255}, {255, 255, 255, 255, 125, 255},
  };
  for (const Case& c : cases) {
    uint8_t rgb[3];
    zdc::YCbCrToRgb(c.y, c.cb, c.cr, rgb);
    EXPECT_NEAR(rgb[0], c.r, 1) << c.y << "," << c.cb << "," << c.cr;
    EXPECT_NEAR(rgb[1], c.g, 1) << c.y << "," << c.cb << "," << c.cr;
    EXPECT_NEAR(rgb[2], c.b, 1) << c.y << "," << c.cb << "," << c.cr;
  }
}

// The first chroma plane is V (Cr), the second U (Cb); each sample covers a
// 4x4 block; grey output matches the colour output with neutral chroma.
TEST(PngColourTest, PlaneOrderReplicationAndGrey) {
  const int width = 6, height = 5;  // one chroma sample; the edge reuses it
  std::vector<uint8_t> buffer(zdc::DecoderOutputBytes(width, height, true), 126);
  const zdc::Yvu9Picture picture = zdc::DecoderOutputPicture(buffer.data(), width, height, true);
  buffer[picture.v - buffer.data()] = 240;  // strong red
  buffer[picture.u - buffer.data()] = 128;
  std::vector<uint8_t> rgb(width * height * 3);
  zdc::Yvu9ToRgb(picture, rgb.data(), width * 3);
  for (int i = 0; i < width * height; ++i) {
    EXPECT_GT(rgb[i * 3], 200) << i;
    EXPECT_LT(rgb[i * 3 + 2], 140) << i;
  }
  std::vector<uint8_t> gray(width * height);
  zdc::LumaToGray(zdc::DecoderOutputPicture(buffer.data(), width, height, false), gray.data(), width);
  uint8_t neutral[3];
  zdc::YCbCrToRgb(126, 128, 128, neutral);
  for (uint8_t g : gray) EXPECT_EQ(g, neutral[0]);
}

}  // namespace
