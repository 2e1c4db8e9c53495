// The QM state table, the arithmetic coefficient decoder and the encoder that
// writes its streams.
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
#include "coefficient_block.h"
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

// Decodes `count` blocks of the section starting at `start` in `data`, seen
// as a sample of `size` bytes (all of it by default).
Decoded DecodeSection(const Bytes& data, uint32_t start, int count, bool delta,
                      uint32_t size = UINT32_MAX) {
  if (size == UINT32_MAX) size = static_cast<uint32_t>(data.size());
  SampleView sample(data.data(), size);
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

Bytes Encode(const std::vector<Block>& blocks, bool delta) {
  ArithmeticEncoder encoder;
  encoder.BeginSection(delta);
  for (const Block& b : blocks) EXPECT_TRUE(encoder.EncodeBlock(b.data()));
  return encoder.Finish();
}

Block BlockWith(std::initializer_list<std::pair<int, int>> scanLevels) {
  Block b{};
  for (auto [k, level] : scanLevels) b[kZigzag[k]] = static_cast<int16_t>(level);
  return b;
}

// A stream written decision by decision, in the decoder's bin layout, for
// blocks that the block encoder cannot or should not produce.
class Script {
 public:
  Script() {
    std::fill(std::begin(dc_), std::end(dc_), 0);
    std::fill(std::begin(ac_), std::end(ac_), 0);
  }
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
  // From AC position `from`, zeros up to position k, then the level there
  // (positive, magnitude - 1 = v >= 2) with its ladder at `ladder`.
  Script& AcLevel(int from, int k, uint32_t v, int ladder) {
    Ac(3 * (from - 1), 0);
    for (int j = from; j < k; ++j) Ac(3 * (j - 1) + 1, 0);
    Ac(3 * (k - 1) + 1, 1);
    ac_[ArithmeticBins::kSign] = 0;
    Ac(ArithmeticBins::kSign, 0);
    Ac(3 * (k - 1) + 2, 1).Ac(3 * (k - 1) + 2, 1);
    int s = ladder;
    uint32_t m = 2;
    for (; m * 2 <= v; m *= 2) Ac(s++, 1);
    Ac(s, 0);
    for (uint32_t bit = m >> 1; bit != 0; bit >>= 1) Ac(s + 14, (v & bit) != 0);
    return *this;
  }
  Bytes Finish() { return coder_.Finish(); }

 private:
  QmEncoder coder_;
  uint8_t dc_[ArithmeticBins::kDcCount];
  uint8_t ac_[ArithmeticBins::kAcCount];
};

// ---------------------------------------------------------------------------
// Byte input

TEST(ArithmeticDecoder, FirstDecisionReadsTwoBytes) {
  // Zero bytes decode to zero blocks: the DC decision falls in the MPS part,
  // the end-of-block decision in the exchanged LPS part. The first block needs
  // only the two bytes that the first decision loads.
  const Bytes data = {0xAA, 0xAA, 0xAA, 0x00, 0x00};
  const Decoded d = DecodeSection(data, 3, 1, false);
  ASSERT_TRUE(d.ok[0]);
  EXPECT_EQ(d.blocks[0], Block{});
  EXPECT_EQ(d.offset, 5u);
  EXPECT_THROW(DecodeSection(data, 3, 1, false, 4), SampleOverrun);
  // BeginSection itself reads nothing.
  EXPECT_NO_THROW(DecodeSection(data, 5, 0, false));
}

TEST(ArithmeticDecoder, StuffedZeroAfterAnyRunOfFF) {
  // The data byte 0xFF arrives as FF 00, however many further FF bytes come
  // before the 00: the blocks are the same, only the position moves.
  std::mt19937 rng(7);
  Bytes tail(200);
  for (auto& b : tail) b = static_cast<uint8_t>(rng() % 0xFF);  // no FF
  const std::vector<Bytes> prefixes = {
      {0xFF, 0x00}, {0xFF, 0xFF, 0x00}, {0xFF, 0xFF, 0xFF, 0x00}, {0x37, 0xFF, 0xFF, 0x00}};
  for (const Bytes& prefix : prefixes) {
    const bool leadingFf = prefix[0] == 0xFF;
    Bytes a = leadingFf ? Bytes{0xFF, 0x00} : Bytes{0x37, 0xFF, 0x00};
    Bytes b = prefix;
    a.insert(a.end(), tail.begin(), tail.end());
    b.insert(b.end(), tail.begin(), tail.end());
    const uint32_t extra = static_cast<uint32_t>(b.size() - a.size());
    for (bool delta : {false, true}) {
      const Decoded da = DecodeSection(a, 0, 6, delta);
      const Decoded db = DecodeSection(b, 0, 6, delta);
      EXPECT_EQ(da.blocks, db.blocks);
      EXPECT_EQ(da.ok, db.ok);
      EXPECT_EQ(da.offset + extra, db.offset);
    }
  }
}

TEST(ArithmeticDecoder, MarkerEndsTheDataWithZeros) {
  struct Case {
    Bytes head;        // ends with the marker
    uint32_t zeroFrom;  // the same data as zeros from here on
  };
  const std::vector<Case> cases = {
      {{0xFF, 0xD9}, 0},
      {{0xFF, 0xFF, 0xD9}, 0},
      {{0x12, 0xFF, 0xD9}, 1},
      {{0x80, 0x00, 0x41, 0xFF, 0x01}, 3},
  };
  for (const Case& c : cases) {
    Bytes zeros(c.head.begin(), c.head.begin() + c.zeroFrom);
    zeros.resize(zeros.size() + 4096, 0);
    for (bool delta : {false, true}) {
      // The sample ends with the marker: nothing after it may be read.
      const Decoded marked = DecodeSection(c.head, 0, 40, delta);
      const Decoded plain = DecodeSection(zeros, 0, 40, delta);
      EXPECT_EQ(marked.blocks, plain.blocks);
      EXPECT_EQ(marked.ok, plain.ok);
      EXPECT_EQ(marked.offset, c.head.size()) << "offset stops after the marker";
      EXPECT_GT(plain.offset, c.head.size());
    }
  }
}

TEST(ArithmeticDecoder, ReadsPastTheSampleThrow) {
  const std::vector<Bytes> cases = {
      {}, {0x00}, {0xFF}, {0xFF, 0xFF, 0xFF}, {0x00, 0xFF}, {0x00, 0xFF, 0xFF}};
  for (const Bytes& data : cases) {
    EXPECT_THROW(DecodeSection(data, 0, 1, false), SampleOverrun) << data.size();
  }
  // A start offset beyond the sample.
  EXPECT_THROW(DecodeSection(Bytes{0, 0}, 3, 1, true), SampleOverrun);
}

// ---------------------------------------------------------------------------
// Models, with streams written decision by decision

TEST(ArithmeticDecoder, CraftedBlocks) {
  struct Case {
    const char* name;
    std::function<void(Script&)> write;
    std::vector<Block> delta;  // as a delta section
    std::vector<Block> key;    // as a key section
  };
  const std::vector<Case> cases = {
      {"largest DC difference wraps to -32768",
       [](Script& s) {
         s.Dc(0, 1).Dc(1, 0).Dc(2, 1);
         for (int b = 20; b <= 33; ++b) s.Dc(b, 1);
         s.Dc(34, 0);
         for (int i = 0; i < 14; ++i) s.Dc(48, 1);  // v = 0x7FFF
         s.Ac(0, 1);
         s.Dc(12, 0).Ac(0, 1);  // next block from the large positive context
       },
       {BlockWith({{0, -32768}}), Block{}},
       {BlockWith({{0, -32768}}), BlockWith({{0, -32768}})}},
      {"position 63 takes no end-of-block decision",
       [](Script& s) {
         s.Dc(0, 0).Ac(0, 0);
         for (int k = 1; k < 63; ++k) s.Ac(3 * (k - 1) + 1, 0);
         s.Ac(187, 1);
         s.Ac(ArithmeticBins::kSign, 1).Ac(188, 0);  // -1
         s.Dc(0, 1).Dc(1, 0).Dc(2, 0).Ac(0, 1);      // DC +1, end of block
       },
       {BlockWith({{63, -1}}), BlockWith({{0, 1}})},
       {BlockWith({{63, -1}}), BlockWith({{0, 1}})}},
      {"zero DC difference keeps the predictor",
       [](Script& s) {
         s.Dc(0, 1).Dc(1, 1).Dc(3, 0).Ac(0, 1);  // -1, small negative context 8
         s.Dc(8, 0).Ac(0, 1);                    // 0
         s.Dc(0, 1).Dc(1, 0).Dc(2, 1).Dc(20, 0).Ac(0, 1);  // +2
       },
       {BlockWith({{0, -1}}), Block{}, BlockWith({{0, 2}})},
       {BlockWith({{0, -1}}), BlockWith({{0, -1}}), BlockWith({{0, 1}})}},
  };
  for (const Case& c : cases) {
    Script script;
    c.write(script);
    const Bytes stream = script.Finish();
    for (bool delta : {true, false}) {
      const auto& expected = delta ? c.delta : c.key;
      const Decoded d = DecodeSection(stream, 0, static_cast<int>(expected.size()), delta);
      EXPECT_EQ(d.blocks, expected) << c.name << (delta ? " (delta)" : " (key)");
      EXPECT_EQ(d.ok, std::vector<bool>(expected.size(), true)) << c.name;
      EXPECT_EQ(d.offset, stream.size()) << c.name;
    }
  }
}

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

// The AC magnitude ladder changes between positions 5 and 6. Streams written
// with the change anywhere else must not decode to the same blocks; the one
// with the change in the right place must.
TEST(ArithmeticDecoder, MagnitudeModelSwitchesAfterPosition5) {
  auto write = [](int lastLowPosition) {
    auto ladder = [&](int k) {
      return k <= lastLowPosition ? ArithmeticBins::kAcLowLadder : ArithmeticBins::kAcHighLadder;
    };
    Script s;
    // Train one ladder on large levels at position 5, then code small levels
    // at position 6 and 5, whose ladders then hold very different estimates.
    for (int i = 0; i < 12; ++i) s.Dc(0, 0).AcLevel(1, 5, 0x1234, ladder(5)).Ac(15, 1);
    for (int i = 0; i < 4; ++i) s.Dc(0, 0).AcLevel(1, 6, 2, ladder(6)).Ac(18, 1);
    s.Dc(0, 0).AcLevel(1, 5, 3, ladder(5)).AcLevel(6, 6, 5, ladder(6)).Ac(18, 1);
    return s.Finish();
  };
  std::vector<Block> expected(12, BlockWith({{5, 0x1235}}));
  expected.insert(expected.end(), 4, BlockWith({{6, 3}}));
  expected.push_back(BlockWith({{5, 4}, {6, 6}}));
  const int n = static_cast<int>(expected.size());

  const Bytes right = write(5);
  const Decoded d = DecodeSection(right, 0, n, true);
  EXPECT_EQ(d.blocks, expected);
  EXPECT_EQ(d.offset, right.size());
  EXPECT_EQ(right, Encode(expected, true)) << "the block encoder writes the same stream";

  for (int wrong : {4, 6}) {
    Bytes stream = write(wrong);
    stream.resize(stream.size() + 64, 0);
    EXPECT_NE(DecodeSection(stream, 0, n, true).blocks, expected) << "switch after " << wrong;
  }
}

// ---------------------------------------------------------------------------
// Round trips through the encoder

using Generator = std::function<Block(std::mt19937&, int index)>;

int16_t Uniform(std::mt19937& rng, int lo, int hi) {
  return static_cast<int16_t>(std::uniform_int_distribution<int>(lo, hi)(rng));
}

Block Sparse(std::mt19937& rng, int maxLevel, int count) {
  Block b{};
  b[0] = Uniform(rng, -maxLevel, maxLevel);
  for (int i = 0; i < count; ++i) b[Uniform(rng, 1, 63)] = Uniform(rng, -maxLevel, maxLevel);
  return b;
}

Block Dense(std::mt19937& rng, int lo, int hi) {
  Block b{};
  for (auto& c : b) c = Uniform(rng, lo, hi);
  return b;
}

struct RoundTrip {
  const char* name;
  int blocks;
  Generator make;
};

const std::vector<RoundTrip>& RoundTrips() {
  static const std::vector<RoundTrip> cases = {
      {"zero", 50, [](std::mt19937&, int) { return Block{}; }},
      {"sparse small", 400, [](std::mt19937& r, int) { return Sparse(r, 3, 3); }},
      {"sparse large", 400, [](std::mt19937& r, int) { return Sparse(r, 32767, 2); }},
      {"dense small", 200, [](std::mt19937& r, int) { return Dense(r, -2, 2); }},
      {"dense full range", 200, [](std::mt19937& r, int) { return Dense(r, -32768, 32767); }},
      {"extremes",
       64,
       [](std::mt19937& r, int i) {
         static const int16_t values[] = {-32768, 32767, -32767, 1, -1, 2, -2, 0};
         Block b{};
         for (auto& c : b) c = values[(r() + i) % 8];
         return b;
       }},
      {"DC swings wrap the predictor",
       100,
       [](std::mt19937& r, int i) {
         Block b{};
         b[0] = (i % 2) ? int16_t{-32768} : int16_t{32767};
         if (i % 3 == 0) b[0] = Uniform(r, -32768, 32767);
         return b;
       }},
      {"last position only", 60,
       [](std::mt19937& r, int) { return BlockWith({{63, Uniform(r, -300, 300) | 1}}); }},
      {"low frequencies, adapting over a long run",
       3000,
       [](std::mt19937& r, int i) {
         Block b{};
         b[0] = static_cast<int16_t>(100 + (i % 50));
         std::geometric_distribution<int> len(0.3);
         for (int k = 1, n = len(r); k <= n && k < 64; ++k) {
           b[kZigzag[k]] = static_cast<int16_t>(std::normal_distribution<>(0.0, 40.0 / k)(r));
         }
         return b;
       }},
  };
  return cases;
}

TEST(ArithmeticCoder, RoundTrips) {
  for (const RoundTrip& c : RoundTrips()) {
    for (bool delta : {false, true}) {
      std::mt19937 rng(1234);
      std::vector<Block> blocks;
      for (int i = 0; i < c.blocks; ++i) blocks.push_back(c.make(rng, i));
      const Bytes stream = Encode(blocks, delta);
      for (size_t i = 0; i + 1 < stream.size(); ++i) {
        ASSERT_FALSE(stream[i] == 0xFF && stream[i + 1] != 0) << c.name << ": marker at " << i;
      }
      // Between other data, as the planes of a frame lie.
      Bytes data = {0x01, 0x00, 0x00, 0x00};
      data.insert(data.end(), stream.begin(), stream.end());
      data.insert(data.end(), {0xFF, 0xD9, 0x77});
      const Decoded d = DecodeSection(data, 4, c.blocks, delta, static_cast<uint32_t>(data.size()));
      EXPECT_EQ(d.ok, std::vector<bool>(blocks.size(), true)) << c.name;
      EXPECT_EQ(d.blocks, blocks) << c.name << (delta ? " (delta)" : " (key)");
      EXPECT_EQ(d.offset, 4 + stream.size()) << c.name << ": the stream is exactly what is read";
    }
  }
}

TEST(ArithmeticCoder, KeySectionAddsTheDifferencesOfADeltaReading) {
  // The DC differences of a key section are what the same bytes give when
  // read as a delta section.
  std::mt19937 rng(99);
  std::vector<Block> key;
  for (int i = 0; i < 300; ++i) key.push_back(Sparse(rng, i < 150 ? 20 : 32767, 2));
  const Bytes stream = Encode(key, false);
  const Decoded asDelta = DecodeSection(stream, 0, 300, true);
  int16_t predictor = 0;
  for (size_t i = 0; i < key.size(); ++i) {
    predictor = static_cast<int16_t>(predictor + asDelta.blocks[i][0]);
    ASSERT_EQ(predictor, key[i][0]) << "block " << i;
    Block ac = key[i];
    ac[0] = asDelta.blocks[i][0];
    ASSERT_EQ(asDelta.blocks[i], ac) << "block " << i;
  }
}

TEST(ArithmeticCoder, EveryTruncationIsCaught) {
  std::mt19937 rng(5);
  std::vector<Block> blocks;
  for (int i = 0; i < 40; ++i) blocks.push_back(Sparse(rng, 1000, 6));
  const Bytes stream = Encode(blocks, true);
  ASSERT_GT(stream.size(), 100u);
  for (uint32_t size = 0; size < stream.size(); ++size) {
    EXPECT_THROW(DecodeSection(stream, 0, 40, true, size), SampleOverrun) << size;
  }
}

TEST(ArithmeticEncoder, NeedsAnOpenSection) {
  ArithmeticEncoder encoder;
  const Block zero{};
  EXPECT_FALSE(encoder.EncodeBlock(zero.data()));
  encoder.BeginSection(true);
  EXPECT_TRUE(encoder.Finish().empty()) << "no blocks, no bytes";
  EXPECT_FALSE(encoder.EncodeBlock(zero.data()));
  encoder.BeginSection(false);
  EXPECT_TRUE(encoder.EncodeBlock(zero.data()));
  EXPECT_EQ(encoder.Finish().size(), 2u) << "one zero block: the first two bytes";
}

}  // namespace
}  // namespace zdc
