// Names of PNG picture sequences: folders and checked printf-style patterns.
#include "png_name_pattern.h"

#include <gtest/gtest.h>

#include "media_error.h"

namespace {

TEST(PngNamePatternTest, ValidPatterns) {
  const struct Case {
    const char* pattern;
    uint64_t number;
    const char* name;
  } cases[] = {
      {"out_%04d.png", 7, "out_0007.png"},   {"out_%d.png", 12, "out_12.png"},
      {"%d", 1, "1"},                        {"f%3u.png", 5, "f  5.png"},
      {"100%%_%i.png", 3, "100%_3.png"},     {"a%02d", 12345, "a12345"},
      {"dir/%06d_%%.png", 1, "dir/000001_%.png"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(zdc::PngNamePattern::FromPattern(c.pattern).Name(c.number), c.name) << c.pattern;
  }
}

TEST(PngNamePatternTest, RejectedPatterns) {
  const struct Case {
    const char* pattern;
    const char* message;
  } cases[] = {
      {"out.png", "no conversion"},      {"100%%.png", "no conversion"},   {"%s.png", "unsupported"},
      {"%d_%d.png", "more than one"},    {"%n", "unsupported"},            {"%x.png", "unsupported"},
      {"%-4d.png", "unsupported"},       {"%123d.png", "unsupported"},     {"%ld.png", "unsupported"},
      {"out%", "unsupported"},           {"%.3d", "unsupported"},
  };
  for (const auto& c : cases) {
    try {
      zdc::PngNamePattern::FromPattern(c.pattern);
      ADD_FAILURE() << c.pattern << " accepted";
    } catch (const zdc::MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.pattern << ": " << e.what();
    }
  }
}

TEST(PngNamePatternTest, Folders) {
  EXPECT_EQ(zdc::PngNamePattern::InFolder("out").Name(1), "out/frame_000001.png");
  EXPECT_EQ(zdc::PngNamePattern::InFolder("out/").Name(1234567), "out/frame_1234567.png");
  EXPECT_TRUE(zdc::PngNamePattern::LooksLikePattern("a%d"));
  EXPECT_FALSE(zdc::PngNamePattern::LooksLikePattern("frames"));
}

}  // namespace
