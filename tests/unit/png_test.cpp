// PNG output: the file read back by an independent parser, the checksums
// against published values, and the names of picture sequences.
#include "png_name_pattern.h"
#include "png_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "checksums.h"
#include "media_error.h"
#include "media_png_parser.h"
#include "media_temp_dir.h"

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

// A picture large enough for many stored blocks and several IDAT chunks, in
// rows padded past its width (small grey and RGB pictures: the CLI tests).
TEST(PngWriterTest, StructureAndPixelsSurviveAnIndependentParser) {
  const int width = 1000, height = 700;
  const size_t stride = width * 3 + 5;  // padded rows must not leak in
  std::vector<uint8_t> pixels(stride * height, 0xEE);
  std::vector<uint8_t> packed;
  for (int y = 0; y < height; ++y) {
    for (size_t x = 0; x < width * 3; ++x) {
      pixels[y * stride + x] = static_cast<uint8_t>(x * 13 + y * 7);
      packed.push_back(pixels[y * stride + x]);
    }
  }
  zdc_test::PngImage image;
  ASSERT_EQ(zdc_test::InspectPng(zdc::EncodePng(width, height, zdc::PngColor::kRgb, pixels.data(), stride), &image), "");
  EXPECT_EQ(image.width, static_cast<uint32_t>(width));
  EXPECT_EQ(image.height, static_cast<uint32_t>(height));
  EXPECT_EQ(image.colorType, static_cast<uint8_t>(zdc::PngColor::kRgb));
  EXPECT_GE(image.storedBlocks, 32u);
  EXPECT_GE(std::count(image.chunkTypes.begin(), image.chunkTypes.end(), "IDAT"), 2);
  EXPECT_EQ(image.pixels, packed);
  zdc_test::MediaTempDir dir;
  const uint8_t grey = 7;
  EXPECT_ANY_THROW(zdc::WritePng(dir.File("missing/a.png"), 1, 1, zdc::PngColor::kGray, &grey, 1));
  EXPECT_THROW(zdc::EncodePng(1, 0, zdc::PngColor::kGray, &grey, 1), zdc::MediaError);
  EXPECT_THROW(zdc::EncodePng(0, 1, zdc::PngColor::kGray, &grey, 1), zdc::MediaError);
}

// Names of picture sequences: a pattern with one integer conversion, else a
// folder of frame_NNNNNN.png pictures.
TEST(PngNamePatternTest, Names) {
  const struct Case {
    const char* out;
    uint64_t number;
    const char* name;  // or the error's message
  } cases[] = {
      {"out_%04d.png", 7, "out_0007.png"},      {"f%3u.png", 5, "f  5.png"},
      {"100%%_%i.png", 3, "100%_3.png"},        {"a%02d", 12345, "a12345"},
      {"dir/%06d_%%.png", 1, "dir/000001_%.png"}, {"out", 1, "out/frame_000001.png"},
      {"out/", 1234567, "out/frame_1234567.png"}, {"100%%.png", 1, "no conversion"},
      {"%d_%d.png", 1, "more than one"},        {"%n", 1, "unsupported"},
      {"%-4d.png", 1, "unsupported"},           {"%123d.png", 1, "unsupported"},
      {"%ld.png", 1, "unsupported"},            {"out%", 1, "unsupported"},
  };
  for (const auto& c : cases) {
    try {
      const auto names = zdc::PngNamePattern::LooksLikePattern(c.out) ? zdc::PngNamePattern::FromPattern(c.out)
                                                                      : zdc::PngNamePattern::InFolder(c.out);
      EXPECT_EQ(names.Name(c.number), c.name) << c.out;
    } catch (const zdc::MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos) << c.out << ": " << e.what();
    }
  }
}

}  // namespace
