// The QM state table and the arithmetic coefficient decoder on streams the
// block encoder does not write (its round trips run in the encoder round
// trips and the coefficient fuzzer's replay).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "arithmetic_decoder.h"
#include "arithmetic_encoder.h"
#include "qm_states.h"
#include "sample_view.h"

namespace zdc {
namespace {

using Block = std::array<int16_t, 64>;
using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------
// QM state table

TEST(QmStates, MatchesStandardTable) {
  const std::string path = std::string(ZDC_SHARED_TABLES_DIR) + "/qm_states.tsv";
  std::ifstream file(path);
  if (!file) GTEST_SKIP() << "no reference table at " << path;

  std::string line;
  std::getline(file, line);  // column names
  int rows = 0;
  while (std::getline(file, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    int index, nmps, nlps, switchMps;
    std::string qe;
    ASSERT_TRUE(fields >> index >> qe >> nmps >> nlps >> switchMps) << line;
    ASSERT_EQ(index, rows) << line;
    ASSERT_LT(index, kQmStateCount);
    const QmState& s = kQmStates[index];
    EXPECT_EQ(static_cast<unsigned long>(s.qe), std::stoul(qe, nullptr, 16)) << "state " << index;
    EXPECT_EQ(s.nextMps, nmps) << "state " << index;
    EXPECT_EQ(s.NextLps(), nlps) << "state " << index;
    EXPECT_EQ(s.SwitchesMps(), switchMps == 1) << "state " << index;
    ++rows;
  }
  EXPECT_EQ(rows, kQmStateCount);
}

// ---------------------------------------------------------------------------
// Helpers

struct Decoded {
  std::vector<Block> blocks;
  std::vector<bool> ok;
  uint32_t offset = 0;
};

// Decodes `count` blocks of the section starting at `start` in `data`.
Decoded DecodeSection(const Bytes& data, uint32_t start, int count, bool delta) {
  SampleView sample(data.data(), static_cast<uint32_t>(data.size()));
  ArithmeticDecoder decoder;
  Decoded result;
  result.offset = start;
  decoder.BeginSection(sample, &result.offset, delta);
  for (int i = 0; i < count; ++i) {
    alignas(16) Block block;
    block.fill(0x5555);
    result.ok.push_back(decoder.DecodeBlock(block.data()));
    result.blocks.push_back(block);
  }
  return result;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A stream written decision by decision, in the decoder's bin layout, for
// blocks that the block encoder cannot or should not produce.
class Script {
 public:
  Script& Dc(int bin, int bit) {
    coder_.Encode(&dc_[bin], bit);
    return *this;
  }
  Script& Ac(int bin, int bit) {
    coder_.Encode(&ac_[bin], bit);
    return *this;
  }
  // A zero DC difference from DC context 0, then end of block at position 1.
  Script& ZeroBlock() { return Dc(0, 0).Ac(0, 1); }
  Bytes Finish() { return coder_.Finish(); }

 private:
  QmEncoder coder_;
  uint8_t dc_[ArithmeticBins::kDcCount] = {};
  uint8_t ac_[ArithmeticBins::kAcCount] = {};
};

// ---------------------------------------------------------------------------
// Byte input

// The byte input: two bytes before the first decision, FF 00 is a data FF
// however many FF bytes come before the 00, a marker ends the data with zeros.
TEST(ArithmeticDecoder, ByteInput) {
  std::mt19937 rng(7);
  Bytes tail(200);
  for (auto& b : tail) b = static_cast<uint8_t>(rng() % 0xFF);  // no FF
  auto with = [&tail](Bytes head) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const Bytes zeros(4096, 0);
  struct Case {
    const char* name;
    Bytes data, same;  // `data` decodes as `same` does, `shift` bytes earlier
    uint32_t shift;
  } const cases[] = {
      {"stuffed zero after FF FF", with({0xFF, 0xFF, 0x00}), with({0xFF, 0x00}), 1},
      {"stuffed zero after FF FF FF", with({0xFF, 0xFF, 0xFF, 0x00}), with({0xFF, 0x00}), 2},
      {"stuffed zero after a byte and FF FF", with({0x37, 0xFF, 0xFF, 0x00}), with({0x37, 0xFF, 0x00}), 1},
      {"marker first", {0xFF, 0xD9}, zeros, 0},
      {"marker after FF", {0xFF, 0xFF, 0xD9}, zeros, 0},
      {"marker after a byte", {0x12, 0xFF, 0xD9}, Concat({0x12}, zeros), 0},
      {"any marker", {0x80, 0x00, 0x41, 0xFF, 0x01}, Concat({0x80, 0x00, 0x41}, zeros), 0},
  };
  for (const Case& c : cases) {
    for (bool delta : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (delta ? " (delta)" : " (key)"));
      const Decoded a = DecodeSection(c.data, 0, 40, delta), b = DecodeSection(c.same, 0, 40, delta);
      EXPECT_EQ(a.blocks, b.blocks);
      EXPECT_EQ(a.ok, b.ok);
      // After a marker the offset stops at the end of the data.
      EXPECT_EQ(a.offset, c.same.size() < 4096 ? b.offset + c.shift : c.data.size());
    }
  }
  // Zero bytes decode to zero blocks; the first needs just the two bytes
  // that the first decision loads, and BeginSection reads nothing.
  const Bytes two = {0xAA, 0xAA, 0xAA, 0x00, 0x00};
  const Decoded d = DecodeSection(two, 3, 1, false);
  EXPECT_EQ(d.blocks[0], Block{});
  EXPECT_EQ(d.offset, 5u);
  EXPECT_NO_THROW(DecodeSection(two, 5, 0, false));
}

// ---------------------------------------------------------------------------
// Models, with streams written decision by decision

TEST(ArithmeticDecoder, CorruptBlocksFailAndKeepTheOffset) {
  struct Case {
    const char* name;
    std::function<void(Script&)> write;  // after one good zero block
  };
  const std::vector<Case> cases = {
      {"DC magnitude reaches 0x8000",
       [](Script& s) {
         s.Dc(0, 1).Dc(1, 0).Dc(2, 1);
         for (int b = 20; b <= 34; ++b) s.Dc(b, 1);
       }},
      {"AC magnitude reaches 0x8000 on the low ladder",
       [](Script& s) {
         s.Dc(0, 0).Ac(0, 0).Ac(1, 1).Ac(ArithmeticBins::kSign, 0).Ac(2, 1).Ac(2, 1);
         for (int b = 189; b <= 202; ++b) s.Ac(b, 1);
       }},
      {"AC magnitude reaches 0x8000 on the high ladder",
       [](Script& s) {
         s.Dc(0, 0).Ac(0, 0);
         for (int k = 1; k < 6; ++k) s.Ac(3 * (k - 1) + 1, 0);
         s.Ac(16, 1).Ac(ArithmeticBins::kSign, 1).Ac(17, 1).Ac(17, 1);
         for (int b = 217; b <= 230; ++b) s.Ac(b, 1);
       }},
      {"zero run reaches position 64",
       [](Script& s) {
         s.Dc(0, 0).Ac(0, 0);
         for (int k = 1; k <= 63; ++k) s.Ac(3 * (k - 1) + 1, 0);
       }},
  };
  for (const Case& c : cases) {
    Script script;
    script.ZeroBlock();
    c.write(script);
    Bytes stream = script.Finish();
    stream.resize(stream.size() + 16, 0x00);  // room for a decoder that runs on
    const Decoded good = DecodeSection(stream, 0, 1, true);
    const Decoded d = DecodeSection(stream, 0, 3, true);
    EXPECT_EQ(d.ok, (std::vector<bool>{true, false, false})) << c.name;
    EXPECT_EQ(d.offset, good.offset) << c.name;
  }
}

}  // namespace
}  // namespace zdc
