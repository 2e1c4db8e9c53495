// The Huffman coefficient encoder: exact bits of the DC and AC forms, and
// streams of many blocks read back by the decoder's HuffmanDecoder, which
// must find every block and then the end byte right at its read offset.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "coefficient_block.h"
#include "huffman_decoder.h"
#include "huffman_encoder.h"
#include "sample_view.h"

namespace zdc {
namespace {

struct alignas(16) Block {
  int16_t v[64] = {};
};

std::string Bits(const std::vector<uint8_t>& bytes) {
  std::string bits;
  for (uint8_t byte : bytes) {
    for (int i = 7; i >= 0; --i) bits += (byte >> i & 1) ? '1' : '0';
  }
  return bits;
}

std::string WithoutSpaces(std::string pattern) {
  pattern.erase(std::remove(pattern.begin(), pattern.end(), ' '), pattern.end());
  return pattern;
}

// Values at scan positions, the rest 0.
Block AtScan(int16_t dc, std::initializer_list<std::pair<int, int16_t>> ac) {
  Block block;
  block.v[0] = dc;
  for (auto [position, level] : ac) block.v[kZigzag[position]] = level;
  return block;
}

TEST(HuffmanEncoding, SingleBlocksHaveTheExactBits) {
  struct Case {
    const char* name;
    bool luminance;
    bool delta;
    Block block;
    const char* bits;  // the whole block, end of block included
  };
  const Case cases[] = {
      {"key dc equal to the start predictor", true, false, AtScan(128, {}), "100 10"},
      {"key dc 123: difference 5", true, false, AtScan(123, {}), "101 101 10"},
      {"key dc 131: difference -3", true, false, AtScan(131, {}), "01 00 10"},
      {"key dc 0: difference 128, size 8", true, false, AtScan(0, {}), "1111110 10000000 10"},
      {"chroma dc size 0", false, false, AtScan(128, {}), "00 10"},
      {"chroma dc difference -255", false, false, AtScan(383, {}), "11111110 00000000 10"},
      {"delta dc change -5 is difference 5", true, true, AtScan(-5, {}), "101 101 10"},
      {"delta dc change 1", true, true, AtScan(1, {}), "00 0 10"},
      {"run 0 level 1", true, true, AtScan(0, {{1, 1}}), "100 110 10"},
      {"run 0 level -1", true, true, AtScan(0, {{1, -1}}), "100 111 10"},
      {"run 1 level 1", true, true, AtScan(0, {{2, 1}}), "100 0110 10"},
      {"run 0 level 40", true, true, AtScan(0, {{1, 40}}), "100 0000000000100000 10"},
      {"run 31 level 1", true, true, AtScan(0, {{32, 1}}), "100 00000000000110110 10"},
      {"escape 127", true, true, AtScan(0, {{1, 127}}), "100 000001 000000 01111111 10"},
      {"escape -127", true, true, AtScan(0, {{1, -127}}), "100 000001 000000 10000001 10"},
      {"escape 41", true, true, AtScan(0, {{1, 41}}), "100 000001 000000 00101001 10"},
      {"escape 128", true, true, AtScan(0, {{1, 128}}), "100 000001 000000 00000000 10000000 10"},
      {"escape 200", true, true, AtScan(0, {{1, 200}}), "100 000001 000000 00000000 11001000 10"},
      {"escape -128", true, true, AtScan(0, {{1, -128}}), "100 000001 000000 10000000 10000000 10"},
      {"escape -200", true, true, AtScan(0, {{1, -200}}), "100 000001 000000 10000000 00111000 10"},
      {"escape -255", true, true, AtScan(0, {{1, -255}}), "100 000001 000000 10000000 00000001 10"},
      {"escape run 32", true, true, AtScan(0, {{33, 1}}), "100 000001 100000 00000001 10"},
      {"position 63 alone", true, true, AtScan(0, {{63, 2}}), "100 000001 111110 00000010 10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HuffmanEncoder encoder;
    encoder.BeginSection(c.luminance, c.delta);
    encoder.EncodeBlock(c.block.v);
    const std::vector<uint8_t> stream = encoder.Finish();
    const std::string expected = WithoutSpaces(c.bits);
    // One short block: the eight loaded bytes, zero-padded, then the end byte.
    ASSERT_EQ(stream.size(), 9u);
    EXPECT_EQ(stream[8], 0xED);
    const std::string bits = Bits(std::vector<uint8_t>(stream.begin(), stream.begin() + 8));
    EXPECT_EQ(bits.substr(0, expected.size()), expected);
    EXPECT_EQ(bits.find('1', expected.size()), std::string::npos) << "padding is not zero";
  }
}

TEST(HuffmanEncoding, ValuesTheCodeCannotCarryAreRefused) {
  struct Case {
    const char* name;
    bool delta;
    Block block;
  };
  const Case cases[] = {
      {"AC 256", true, AtScan(0, {{5, 256}})},
      {"AC -256", false, AtScan(128, {{5, -256}})},
      {"key DC difference -256", false, AtScan(384, {})},
      {"key DC difference 256", false, AtScan(-128, {})},
      {"delta DC change 256", true, AtScan(256, {})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HuffmanEncoder encoder;
    encoder.BeginSection(true, c.delta);
    EXPECT_THROW(encoder.EncodeBlock(c.block.v), std::out_of_range);
  }
}

// A block of random content in one of several shapes; key DCs stay within
// the DC size code's reach of the previous block's.
Block RandomBlock(std::mt19937& random, int shape, bool delta, int16_t previousDc) {
  Block block;
  auto level = [&](int limit) {
    int value = 0;
    while (value == 0) value = static_cast<int>(random() % (2 * limit + 1)) - limit;
    return static_cast<int16_t>(value);
  };
  const int dcStep = static_cast<int>(random() % 511) - 255;
  block.v[0] = delta ? static_cast<int16_t>(dcStep)
                     : static_cast<int16_t>(std::clamp(previousDc + dcStep, -300, 600));
  switch (shape) {
    case 0:  // nothing but DC
      break;
    case 1:  // a few small levels early in the scan
      for (int i = 0; i < 5; ++i) block.v[kZigzag[1 + random() % 12]] = level(3);
      break;
    case 2:  // sparse, anywhere, any size: long runs and escapes
      for (int i = 0; i < 6; ++i) block.v[kZigzag[1 + random() % 63]] = level(255);
      break;
    case 3:  // every position, mostly escapes
      for (int p = 1; p < 64; ++p) block.v[kZigzag[p]] = level(255);
      break;
    default:  // ends exactly at position 63
      block.v[kZigzag[63]] = level(40);
      for (int i = 0; i < 3; ++i) block.v[kZigzag[1 + random() % 62]] = level(20);
      break;
  }
  return block;
}

TEST(HuffmanEncoding, TheDecoderReadsBackEveryBlockAndFindsTheEndByte) {
  std::mt19937 random(2024);
  for (int config = 0; config < 4; ++config) {
    const bool luminance = config & 1;
    const bool delta = config & 2;
    for (int length : {1, 2, 3, 7, 40, 300}) {
      SCOPED_TRACE(testing::Message() << "luminance " << luminance << " delta " << delta
                                      << " blocks " << length);
      std::vector<Block> blocks;
      int16_t previousDc = 128;
      for (int i = 0; i < length; ++i) {
        blocks.push_back(RandomBlock(random, static_cast<int>(random() % 5), delta, previousDc));
        if (!delta) previousDc = blocks.back().v[0];
      }
      HuffmanEncoder encoder;
      encoder.BeginSection(luminance, delta);
      for (const Block& b : blocks) encoder.EncodeBlock(b.v);
      const std::vector<uint8_t> stream = encoder.Finish();

      // The decoder sees exactly the stream: a read past it would throw.
      const SampleView sample(stream.data(), static_cast<uint32_t>(stream.size()));
      uint32_t readOffset = 0;
      HuffmanDecoder decoder;
      decoder.BeginSection(sample, &readOffset, luminance, delta);
      for (int i = 0; i < length; ++i) {
        Block decoded;
        ASSERT_TRUE(decoder.DecodeBlock(decoded.v)) << "block " << i;
        for (int k = 0; k < 64; ++k) ASSERT_EQ(decoded.v[k], blocks[i].v[k]) << "block " << i << " index " << k;
      }
      EXPECT_EQ(readOffset, stream.size() - 1) << "the end byte is not at the read offset";
      EXPECT_EQ(stream.back(), 0xED);
      decoder.EndSection();
      EXPECT_EQ(readOffset, stream.size());
    }
  }
}

TEST(HuffmanEncoding, SectionsStartAfresh) {
  // A second section starts from the start predictor again and carries
  // nothing over from an unfinished first one.
  HuffmanEncoder encoder;
  encoder.BeginSection(true, false);
  Block first = AtScan(10, {{1, 200}});
  encoder.EncodeBlock(first.v);
  encoder.BeginSection(true, false);
  Block second = AtScan(123, {});
  encoder.EncodeBlock(second.v);
  const std::vector<uint8_t> stream = encoder.Finish();
  ASSERT_EQ(stream.size(), 9u);
  EXPECT_EQ(Bits(stream).substr(0, 8), "10110110");
}

}  // namespace
}  // namespace zdc
