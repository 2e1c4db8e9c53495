// The Huffman coefficient decoder: escape forms the encoder never writes,
// failures and the end-of-section byte; values the encoder refuses; the code
// table against the shared reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <stdexcept>

#include "coefficient_block.h"
#include "huffman_decoder.h"
#include "huffman_encoder.h"
#include "huffman_tables.h"

namespace zdc {
namespace {

// A stream written code by code, most significant bit first, with zero
// bytes to spare after it.
struct Bits {
  Bits& Put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) text += (value >> i & 1) ? '1' : '0';
    return *this;
  }
  Bits& Dc(int size, uint32_t value) {  // a luminance DC difference
    return Put(kDcSizeLuminance[size].code, kDcSizeLuminance[size].length).Put(value, size);
  }
  Bits& EndOfBlock() { return Put(kEndOfBlockCode, kEndOfBlockLength); }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out(text.size() / 8 + 32, 0);
    for (size_t i = 0; i < text.size(); ++i) out[i / 8] |= static_cast<uint8_t>((text[i] == '1') << (7 - i % 8));
    return out;
  }
  std::string text;
};

struct alignas(16) Block {
  int16_t v[64];
};

class HuffmanDecoding : public ::testing::Test {
 protected:
  void Begin(const std::vector<uint8_t>& stream, bool luminance, bool delta) {
    data_ = stream;
    offset_ = 0;
    decoder_.BeginSection(SampleView(data_.data(), static_cast<uint32_t>(data_.size())), &offset_,
                          luminance, delta);
  }
  Block Next() {
    Block b;
    EXPECT_TRUE(decoder_.DecodeBlock(b.v));
    return b;
  }

  std::vector<uint8_t> data_;
  uint32_t offset_ = 0;
  HuffmanDecoder decoder_;
};

TEST_F(HuffmanDecoding, EscapeForms) {
  struct Case {
    uint32_t bits;  // the 8 or 16 bits after the run
    int width;
    int16_t level;
  };
  const Case cases[] = {{0x7F, 8, 127},     {0x81, 8, -127},    {0x01, 8, 1},
                        {0xFF, 8, -1},      {0x00C8, 16, 200},  {0x0005, 16, 5},
                        {0x8038, 16, -200}, {0x8001, 16, -255}, {0x8080, 16, -128},
                        {0x8000, 16, 128},  {0x8081, 16, 129},  {0x80FF, 16, 255}};
  for (const Case& c : cases) {
    Bits bits;
    bits.Dc(0, 0).Put(0x6, 3);  // run 0 level 1
    bits.Put((kEscapeCode << 6 | 3) << c.width | c.bits, 12 + c.width).EndOfBlock();  // run 3
    bits.Dc(0, 0).Put(0x7, 3).EndOfBlock();  // run 0 level -1
    Begin(bits.Bytes(), true, true);
    const Block b = Next();
    EXPECT_EQ(b.v[kZigzag[5]], c.level) << std::hex << c.bits;
    EXPECT_EQ(Next().v[kZigzag[1]], -1) << "the next block starts right after the escape";
  }
}

TEST_F(HuffmanDecoding, FailuresKeepTheStateOfTheLastGoodBlock) {
  struct Case {
    const char* name;
    uint32_t bits;
    int count;
  };
  const Case cases[] = {
      {"escape run 62 at position 2", (kEscapeCode << 6 | 62) << 8 | 0x05, 20},
      {"twelve leading zeros", 0x0008, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bits bits;
    bits.Dc(4, 10).EndOfBlock();
    bits.Dc(0, 0).Put(0x6, 3).Put(c.bits, c.count).EndOfBlock();  // run 0 level 1, then the fault
    Begin(bits.Bytes(), true, false);
    EXPECT_EQ(Next().v[0], 118);
    const uint32_t offsetBefore = offset_;
    Block b;
    EXPECT_FALSE(decoder_.DecodeBlock(b.v));
    EXPECT_EQ(offset_, offsetBefore);
  }
}

TEST_F(HuffmanDecoding, EndSectionFindsTheEndByte) {
  struct Case {
    int endAt;  // bytes after the read offset; -1 for none
    uint32_t expected;
  };
  const Case cases[] = {{0, 9}, {3, 12}, {8, 17}, {-1, 17}};
  for (const Case& c : cases) {
    std::vector<uint8_t> stream(8 + 12, 0x00);
    if (c.endAt >= 0) stream[8 + c.endAt] = 0xED;
    Begin(stream, true, true);
    decoder_.EndSection();
    EXPECT_EQ(offset_, c.expected) << c.endAt;
  }
}

// Values the code cannot carry are refused by the encoder (its streams read
// back in the encoder round trips and the coefficient fuzzer's replay).
TEST(HuffmanEncoding, RefusesValuesTheCodeCannotCarry) {
  struct Refused {
    bool delta;
    int index;
    int16_t value;
  } const refused[] = {{true, 5, 256}, {false, 5, -256}, {false, 0, 384}, {false, 0, -128}, {true, 0, 256}};
  for (const Refused& r : refused) {
    Block b;
    std::fill(std::begin(b.v), std::end(b.v), int16_t{0});
    b.v[0] = r.delta ? 0 : 128;
    b.v[r.index] = r.value;
    HuffmanEncoder encoder;
    encoder.BeginSection(true, r.delta);
    EXPECT_THROW(encoder.EncodeBlock(b.v), std::out_of_range) << r.index << " " << r.value;
  }
}

TEST(HuffmanTables, MatchTheSharedReferenceTable) {
  std::ifstream file(std::string(ZDC_SHARED_TABLES_DIR) + "/dct_coeff_next.tsv");
  if (!file) GTEST_SKIP() << "no shared tables beside the project";
  std::string line;
  std::getline(file, line);  // column names
  int row = 0;
  while (std::getline(file, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string code;
    int run, level;
    fields >> code >> run >> level;
    ASSERT_LT(row, kDctCoeffNextCount);
    const DctCoeffCode& ours = kDctCoeffNext[row++];
    EXPECT_EQ(ours.length, code.size()) << line;
    EXPECT_EQ(ours.code, std::stoul(code, nullptr, 2)) << line;
    EXPECT_EQ(ours.run, run) << line;
    EXPECT_EQ(ours.level, level) << line;
  }
  EXPECT_EQ(row, kDctCoeffNextCount);
}

}  // namespace
}  // namespace zdc
