// Change-mask codings: the FD code tables, the three decoders on hand-made
// data (examples, buffer limits, data cut short by the end of the sample) and
// encoder -> decoder round trips.
#include "mask_codings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "mask_encoders.h"

namespace zdc {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kStale = 0xCD;  // earlier content of the mask buffer
constexpr uint32_t kGuard = 16;   // bytes past the capacity that must stay untouched

const FdCodeTables& Tables() {
  static const FdCodeTables tables = [] {
    FdCodeTables t;
    BuildFdCode(&t);
    return t;
  }();
  return tables;
}

// LZW codes packed least significant bit first at the width the decoder
// reads them: 9 bits, one more after each 258, back to 9 after each 256.
Bytes PackLzw(const std::vector<uint32_t>& codes) {
  Bytes out;
  uint64_t buffer = 0;
  uint32_t count = 0, width = 9;
  for (uint32_t code : codes) {
    buffer |= static_cast<uint64_t>(code) << count;
    count += width;
    for (; count >= 8; count -= 8, buffer >>= 8) out.push_back(static_cast<uint8_t>(buffer));
    if (code == 258) ++width;
    if (code == 256) width = 9;
  }
  if (count > 0) out.push_back(static_cast<uint8_t>(buffer));
  return out;
}

// FD data from a string of '0'/'1' (other characters ignored): w0 and the top
// bit of w1 are filled from `w0` and `topBit`, the code bits follow from bit
// 30 of w1, and the last word is padded with `pad` bits.
Bytes FdData(const std::string& bits, uint32_t w0 = 0, int topBit = 0, int pad = 0) {
  std::vector<int> stream{topBit};
  for (char c : bits) {
    if (c == '0' || c == '1') stream.push_back(c - '0');
  }
  while (stream.size() % 32 != 0) stream.push_back(pad);
  Bytes out{static_cast<uint8_t>(w0), static_cast<uint8_t>(w0 >> 8), static_cast<uint8_t>(w0 >> 16),
            static_cast<uint8_t>(w0 >> 24)};
  for (size_t i = 0; i < stream.size(); i += 32) {
    uint32_t word = 0;
    for (size_t b = 0; b < 32; ++b) word = word << 1 | static_cast<uint32_t>(stream[i + b]);
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(word >> (8 * k)));
  }
  return out;
}

Bytes Repeat(uint8_t value, size_t count) { return Bytes(count, value); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A mask buffer of `capacity` bytes plus a guard, all holding earlier content.
struct MaskBuffer {
  explicit MaskBuffer(size_t capacity) : bytes(capacity + kGuard, kStale), capacity(capacity) {}
  Bytes Written(size_t count) const { return Bytes(bytes.begin(), bytes.begin() + count); }
  bool RestUntouched(size_t from) const {
    for (size_t i = from; i < bytes.size(); ++i) {
      if (bytes[i] != kStale) return false;
    }
    return true;
  }
  Bytes bytes;
  size_t capacity;
};

uint32_t DecodeLzw(const Bytes& sample, uint32_t maskOffset, uint32_t maskSize, MaskBuffer& mask) {
  LzwMaskDecoder decoder;
  return decoder.Decode(SampleView(sample.data(), static_cast<uint32_t>(sample.size())), maskOffset,
                        maskSize, mask.bytes.data(), static_cast<uint32_t>(mask.capacity));
}

void DecodeRunLength(const Bytes& sample, uint32_t maskOffset, uint32_t maskSize,
                     MaskBuffer& mask) {
  DecodeRunLengthMask(SampleView(sample.data(), static_cast<uint32_t>(sample.size())), maskOffset,
                      maskSize, mask.bytes.data(), static_cast<uint32_t>(mask.capacity));
}

void DecodeFd(const Bytes& sample, uint32_t maskOffset, uint32_t wordsPerRow, uint32_t blockRows,
              MaskBuffer& mask) {
  Bytes work(2 * mask.capacity + 4);
  DecodeFdMask(SampleView(sample.data(), static_cast<uint32_t>(sample.size())), maskOffset,
               wordsPerRow, blockRows, Tables(), work.data(), mask.bytes.data());
}

// ---- FD code tables ---------------------------------------------------------

TEST(FdCodeTest, ExampleCodes) {
  // Codes written first bit left; 7 and 55 are the first symbols of lengths
  // 10 and 15, so their codes are firstcode[10] and firstcode[15].
  struct Case {
    int symbol;
    const char* code;
  } cases[] = {{0, "1"},          {1, "01000"},      {128, "01111"},
               {3, "00010000"},   {6, "0001101"},    {7, "0000001101"},
               {55, "000000000011111"}, {255, "0000000000111101"}};
  for (const Case& c : cases) {
    const std::string code = c.code;
    const uint32_t value = static_cast<uint32_t>(std::stoul(code, nullptr, 2));
    EXPECT_EQ(Tables().length[c.symbol], code.size()) << "symbol " << c.symbol;
    EXPECT_EQ(Tables().code[c.symbol], value & 0xFF) << "symbol " << c.symbol;
  }
}

TEST(FdCodeTest, CanonicalLayoutPerLength) {
  // Number of symbols of each length (1 of length 1, 8 of 5, 20 + 8 from the
  // six-zero class, 51 + 5, 67 + 3, 31 + 25 + the 37 with two or fewer zeros;
  // these make the code complete), the first code of each length and where
  // its symbols start in the list, which runs longest first, then by value.
  struct Row {
    int count;
    uint8_t firstcode, start;
  } const rows[17] = {{0, 0, 0},    {1, 1, 255},   {0, 2, 255},   {0, 4, 255},  {0, 8, 255},
                      {8, 8, 247},  {0, 16, 247},  {20, 12, 227}, {8, 16, 219}, {0, 32, 219},
                      {51, 13, 168}, {5, 21, 163}, {0, 42, 163},  {67, 17, 96}, {3, 31, 93},
                      {31, 31, 62}, {62, 0, 0}};
  const FdCodeTables& t = Tables();
  int count[17] = {};
  for (int s = 0; s < 256; ++s) ++count[t.length[s]];
  for (int length = 0; length <= 16; ++length) {
    SCOPED_TRACE(length);
    EXPECT_EQ(count[length], rows[length].count);
    if (length == 0) continue;
    EXPECT_EQ(t.firstcode[length], rows[length].firstcode);
    EXPECT_EQ(t.start[length], rows[length].start);
  }
  bool seen[256] = {};
  for (int i = 0; i < 256; ++i) {
    const uint8_t s = t.symbols[i];
    EXPECT_FALSE(seen[s]) << "symbol " << int(s) << " listed twice";
    seen[s] = true;
    if (i > 0) {
      const uint8_t p = t.symbols[i - 1];
      EXPECT_TRUE(t.length[p] > t.length[s] || (t.length[p] == t.length[s] && p < s))
          << "position " << i;
    }
  }
}

TEST(FdCodeTest, ShortLengthTable) {
  struct Case {
    uint8_t next8;
    uint8_t length;
  } cases[] = {{0x80, 1}, {0xFF, 1}, {0x40, 5}, {0x7F, 5}, {0x3F, 7}, {0x38, 7},
               {0x10, 8}, {0x0F, 9}, {0x00, 9}, {0x1F, 7}, {0x17, 8}, {0x20, 7}};
  for (const Case& c : cases) {
    EXPECT_EQ(Tables().shortLength[c.next8], c.length) << "next bits " << int(c.next8);
  }
}

// ---- LZW ----------------------------------------------------------------------

struct LzwCase {
  const char* name;
  std::vector<uint32_t> codes;
  Bytes expected;
};

TEST(LzwMaskTest, Examples) {
  const LzwCase cases[] = {
      {"new entries 259 and 260", {256, 65, 66, 259, 257}, {0x41, 0x42, 0x41, 0x42}},
      {"entry 260 is (66, 0x41)", {256, 65, 66, 259, 260, 257}, {0x41, 0x42, 0x41, 0x42, 0x42, 0x41}},
      {"code equal to next free", {256, 65, 259, 257}, {0x41, 0x41, 0x41}},
      {"repeated next free", {256, 65, 259, 260, 257}, Repeat(0x41, 6)},
      {"code above next free", {256, 65, 300, 257}, Repeat(0x41, 3)},
      {"no leading clear", {65, 66, 257}, {0x41, 0x42}},
      {"widen to 10 bits", {256, 65, 66, 258, 259, 257}, {0x41, 0x42, 0x41, 0x42}},
      {"clear goes back to 9 bits", {256, 65, 258, 66, 256, 67, 68, 259, 257},
       {0x41, 0x42, 0x43, 0x44, 0x43, 0x44}},
      {"clear forgets entries", {65, 66, 256, 259, 65, 257}, {0x41, 0x42}},
      {"undefined first code", {256, 300, 65, 257}, {}},
      {"width above 12 ends", {65, 258, 258, 258, 258, 66, 257}, {0x41}},
      {"end at once", {257, 65}, {}},
  };
  for (const LzwCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes data = PackLzw(c.codes);
    MaskBuffer mask(64);
    EXPECT_EQ(DecodeLzw(data, 0, static_cast<uint32_t>(data.size()), mask), c.expected.size());
    EXPECT_EQ(mask.Written(c.expected.size()), c.expected);
    EXPECT_TRUE(mask.RestUntouched(c.expected.size()));
  }
}

TEST(LzwMaskTest, FullDictionaryTakesNoEntries) {
  // 3838 single-byte codes define entries 259..4095; later codes add nothing,
  // so entry 4095 keeps its string: the last two bytes before it.
  std::vector<uint32_t> codes{256};
  Bytes expected;
  for (uint32_t i = 0; i < 3838; ++i) {
    codes.push_back((i * 7) & 0xFF);
    expected.push_back(static_cast<uint8_t>(i * 7));
  }
  codes.insert(codes.end(), {258, 258, 258, 4095, 4095, 65, 4095, 257});
  const Bytes entry4095{expected[3836], expected[3837]};
  expected = Concat(Concat(Concat(Concat(expected, entry4095), entry4095), {0x41}), entry4095);

  const Bytes data = PackLzw(codes);
  MaskBuffer mask(8192);
  EXPECT_EQ(DecodeLzw(data, 0, static_cast<uint32_t>(data.size()), mask), expected.size());
  EXPECT_EQ(mask.Written(expected.size()), expected);
}

TEST(LzwMaskTest, LoadsStayInsideTheSample) {
  // The reader loads a whole word when its buffer is empty and four bytes of
  // the mask remain, else two bytes, else one (also past the mask's size).
  const Bytes clearEnd = PackLzw({256, 257});         // 18 bits: 3 bytes
  const Bytes twoBytes = PackLzw({256, 65, 66, 257});  // 36 bits: 5 bytes
  struct Case {
    const char* name;
    Bytes sample;
    uint32_t maskOffset, maskSize;
    bool overrun;
    Bytes expected;
  } cases[] = {
      {"two then one byte", clearEnd, 0, 3, false, {}},
      {"word load needs four bytes", clearEnd, 0, 8, true, {}},
      {"word load inside", Concat(clearEnd, {0}), 0, 4, false, {}},
      {"two bytes into a part-filled buffer", Concat(twoBytes, {0}), 0, 9, false, {0x41, 0x42}},
      {"single bytes past the mask size", twoBytes, 0, 3, false, {0x41, 0x42}},
      {"single byte past the sample", Bytes(twoBytes.begin(), twoBytes.end() - 1), 0, 3, true, {}},
      {"size zero reads single bytes", PackLzw({65, 257}), 0, 0, false, {0x41}},
      {"size zero, empty sample", {}, 0, 0, true, {}},
      {"offset inside a larger sample", Concat({1, 2, 3}, twoBytes), 3, 5, false, {0x41, 0x42}},
      {"offset at the end", twoBytes, 5, 5, true, {}},
      {"offset near 2^32", twoBytes, 0xFFFFFFFE, 5, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaskBuffer mask(64);
    if (c.overrun) {
      EXPECT_THROW(DecodeLzw(c.sample, c.maskOffset, c.maskSize, mask), SampleOverrun);
    } else {
      EXPECT_EQ(DecodeLzw(c.sample, c.maskOffset, c.maskSize, mask), c.expected.size());
      EXPECT_EQ(mask.Written(c.expected.size()), c.expected);
    }
  }
}

TEST(LzwMaskTest, OutputStopsAtCapacity) {
  const Bytes data = EncodeLzwMask(Repeat(0x5A, 300).data(), 300);
  for (uint32_t capacity : {0u, 1u, 10u, 299u}) {
    SCOPED_TRACE(capacity);
    MaskBuffer mask(capacity);
    EXPECT_EQ(DecodeLzw(data, 0, static_cast<uint32_t>(data.size()), mask), capacity);
    EXPECT_EQ(mask.Written(capacity), Repeat(0x5A, capacity));
    EXPECT_TRUE(mask.RestUntouched(capacity));
  }
  // A full buffer ends decoding: data without an end code, cut off by the
  // sample, decodes when the buffer fills before the cut.
  const Bytes open = PackLzw({256, 65, 66, 259});
  MaskBuffer exact(4);
  EXPECT_EQ(DecodeLzw(open, 0, static_cast<uint32_t>(open.size()), exact), 4u);
  MaskBuffer larger(5);
  EXPECT_THROW(DecodeLzw(open, 0, static_cast<uint32_t>(open.size()), larger), SampleOverrun);
}

// ---- Run-length -----------------------------------------------------------------

TEST(RunLengthMaskTest, Examples) {
  struct Case {
    const char* name;
    Bytes sample;
    uint32_t maskSize;
    Bytes expected;
  } cases[] = {
      {"one escape", {0xAA, 0xAA, 0x00}, 3, {0xAA}},
      {"two escapes", {0xAA, 0xAA, 0x01}, 3, {0xAA, 0xAA}},
      {"three escapes", {0xAA, 0xAA, 0x02}, 3, {0xAA, 0xAA, 0xAA}},
      {"short run", {0xAA, 0xAA, 0x05, 0x00}, 4, Repeat(0x00, 6)},
      {"run of the escape", {0xAA, 0xAA, 0x03, 0xAA}, 4, Repeat(0xAA, 4)},
      {"longest short run", {0xAA, 0xAA, 0x7F, 0x11}, 4, Repeat(0x11, 128)},
      {"long run", {0xAA, 0xAA, 0x81, 0x00, 0xFF}, 5, Repeat(0xFF, 257)},
      {"longest run", {0xAA, 0xAA, 0xFF, 0xFF, 0x07}, 5, Repeat(0x07, 32768)},
      {"literals and a run", {0xAA, 0x11, 0x22, 0xAA, 0x03, 0x33, 0x44}, 7,
       {0x11, 0x22, 0x33, 0x33, 0x33, 0x33, 0x44}},
      {"escape alone", {0xAA}, 1, {}},
      {"size zero", {}, 0, {}},
      {"items start below the size", {0xAA, 0x01, 0x02}, 2, {0x01}},
      {"an item's tail reads past the size", {0xAA, 0x01, 0xAA, 0x02}, 3,
       {0x01, 0xAA, 0xAA, 0xAA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaskBuffer mask(40000);
    DecodeRunLength(c.sample, 0, c.maskSize, mask);
    EXPECT_EQ(mask.Written(c.expected.size()), c.expected);
    EXPECT_TRUE(mask.RestUntouched(c.expected.size()));
  }
}

TEST(RunLengthMaskTest, ReadsPastTheSampleFault) {
  struct Case {
    const char* name;
    Bytes sample;
    uint32_t maskOffset, maskSize;
  } cases[] = {
      {"count byte missing", {0xAA, 0xAA}, 0, 2},
      {"value byte missing", {0xAA, 0xAA, 0x05}, 0, 3},
      {"long count missing", {0xAA, 0xAA, 0x81}, 0, 3},
      {"size beyond the sample", {0xAA, 0x11}, 0, 5},
      {"offset at the end", {0xAA, 0x11}, 2, 2},
      {"offset near 2^32", {0xAA, 0x11}, 0xFFFFFFFF, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaskBuffer mask(64);
    EXPECT_THROW(DecodeRunLength(c.sample, c.maskOffset, c.maskSize, mask), SampleOverrun);
  }
}

TEST(RunLengthMaskTest, OutputStopsAtCapacity) {
  MaskBuffer mask(100);
  DecodeRunLength({0xAA, 0xAA, 0x81, 0x00, 0xFF}, 0, 5, mask);
  EXPECT_EQ(mask.Written(100), Repeat(0xFF, 100));
  EXPECT_TRUE(mask.RestUntouched(100));

  // Once full, no further item is read: the size here runs past the sample.
  MaskBuffer two(2);
  DecodeRunLength({0xAA, 0x01, 0x02}, 0, 10, two);
  EXPECT_EQ(two.Written(2), (Bytes{0x01, 0x02}));
  EXPECT_TRUE(two.RestUntouched(2));
}

// ---- FD -------------------------------------------------------------------------

// Codes of the symbols used below, first bit left.
const char* const k00 = "1";
const char* const k01 = "01000";
const char* const k80 = "01111";
const char* const k07 = "0000001101";
const char* const k37 = "000000000011111";

std::string Codes(std::initializer_list<const char*> codes) {
  std::string s;
  for (const char* c : codes) s += c;
  return s;
}

TEST(FdMaskTest, Passes) {
  struct Case {
    const char* name;
    std::string bits;
    uint32_t wordsPerRow, blockRows;
    Bytes expected;
  } cases[] = {
      {"all-ones data is an empty mask", std::string(200, '1'), 3, 2, Repeat(0, 24)},
      {"top bit runs through the word", Codes({k00, k00, k00, k80}), 1, 1, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"bottom bit stays", Codes({k01, k00, k00, k00}), 1, 1, {0x01, 0x00, 0x00, 0x00}},
      {"middle bit fills below it", Codes({k00, k00, k01, k00}), 1, 1, {0xFF, 0xFF, 0x01, 0x00}},
      {"running bit carries to the next word",
       Codes({k01, k00, k00, k00, k00, k00, k00, k00}), 2, 1,
       {0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"running bit restarts each row", Codes({k01, k00, k00, k00, k00, k00, k00, k00}), 1, 2,
       {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {"rows are XORed from the bottom up",
       Codes({k00, k00, k00, k80, k01, k00, k00, k00, k00, k00, k00, k00}), 1, 3,
       {0xFE, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {"long codes", Codes({k07, k37, k00, k00}), 1, 1, {0xFA, 0x25, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t size = size_t{c.wordsPerRow} * c.blockRows * 4;
    for (int variant = 0; variant < 2; ++variant) {
      // The first word and the top bit of the second are never read.
      const Bytes data = variant == 0 ? FdData(c.bits) : FdData(c.bits, 0xFFFFFFFF, 1, 1);
      MaskBuffer mask(size);
      DecodeFd(data, 0, c.wordsPerRow, c.blockRows, mask);
      EXPECT_EQ(mask.Written(size), c.expected);
      EXPECT_TRUE(mask.RestUntouched(size));
    }
  }
}

TEST(FdMaskTest, OnlyConsumedBitsMustBeInTheSample) {
  // 31 code bits fill w1 exactly; the last symbol's 8-bit lookup looks into
  // the word after it.
  const Bytes data = FdData(Codes({k07, k37, k00, k00, k00, k00, k00, k00}));
  ASSERT_EQ(data.size(), 8u);
  const Bytes expected{0xFA, 0x25, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  struct Case {
    const char* name;
    Bytes sample;
    uint32_t maskOffset, wordsPerRow, blockRows;
    bool overrun;
  } cases[] = {
      {"data ends the sample", data, 0, 2, 1, false},
      {"after an offset", Concat({9, 9, 9}, data), 3, 2, 1, false},
      {"part of a following word", Concat(data, {0xFF, 0xFF}), 0, 2, 1, false},
      {"bits needed past the end", data, 0, 3, 1, true},
      {"bits needed from a partial word", Concat(data, {0xFF, 0xFF, 0xFF}), 0, 3, 1, true},
      {"second word partly outside", Bytes(data.begin(), data.end() - 1), 0, 2, 1, true},
      {"offset past the sample", data, 9, 1, 1, true},
      {"offset near 2^32", data, 0xFFFFFFFC, 1, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaskBuffer mask(12);
    if (c.overrun) {
      EXPECT_THROW(DecodeFd(c.sample, c.maskOffset, c.wordsPerRow, c.blockRows, mask),
                   SampleOverrun);
    } else {
      DecodeFd(c.sample, c.maskOffset, c.wordsPerRow, c.blockRows, mask);
      EXPECT_EQ(mask.Written(8), expected);
    }
  }
}

TEST(FdMaskTest, EmptyShapeReadsNothing) {
  for (auto shape : {std::pair<uint32_t, uint32_t>{0, 5}, {3, 0}}) {
    MaskBuffer mask(8);
    DecodeFd({}, 0, shape.first, shape.second, mask);
    EXPECT_TRUE(mask.RestUntouched(0));
  }
}

// ---- Round trips ------------------------------------------------------------------

struct Shape {
  uint32_t wordsPerRow, blockRows;
  size_t Bytes() const { return size_t{wordsPerRow} * blockRows * 4; }
};

enum class Fill { kZero, kOnes, kFirstBit, kLastBit, kScattered, kSparse, kHalf, kRect, kStripes };

const char* FillName(Fill f) {
  switch (f) {
    case Fill::kZero: return "zero";
    case Fill::kOnes: return "ones";
    case Fill::kFirstBit: return "first bit";
    case Fill::kLastBit: return "last bit";
    case Fill::kScattered: return "single bits";
    case Fill::kSparse: return "sparse";
    case Fill::kHalf: return "random";
    case Fill::kRect: return "rectangle";
    case Fill::kStripes: return "stripes";
  }
  return "";
}

Bytes MakeMask(Shape shape, Fill fill, std::mt19937& rng) {
  Bytes m(shape.Bytes(), 0);
  const size_t bits = m.size() * 8;
  auto set = [&](size_t bit) { m[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8)); };
  switch (fill) {
    case Fill::kZero: break;
    case Fill::kOnes: m.assign(m.size(), 0xFF); break;
    case Fill::kFirstBit: set(0); break;
    case Fill::kLastBit: set(bits - 1); break;
    case Fill::kScattered:
      for (size_t b = 31; b < bits; b += 97) set(b);
      break;
    case Fill::kSparse:
      for (size_t b = 0; b < bits; ++b) {
        if (rng() % 50 == 0) set(b);
      }
      break;
    case Fill::kHalf:
      for (uint8_t& byte : m) byte = static_cast<uint8_t>(rng());
      break;
    case Fill::kRect: {
      // Columns 5..40 of the middle rows, as a moving object would mark them.
      const uint32_t columns = shape.wordsPerRow * 32;
      for (uint32_t r = shape.blockRows / 4; r <= shape.blockRows / 2; ++r) {
        for (uint32_t c = 5; c < 41 && c < columns; ++c) set(size_t{r} * columns + c);
      }
      break;
    }
    case Fill::kStripes:
      for (size_t i = 0; i < m.size(); ++i) m[i] = (i / 37) % 2 ? 0xFF : 0x00;
      break;
  }
  return m;
}

TEST(MaskRoundTripTest, EveryCodingRestoresTheMask) {
  const Shape shapes[] = {{1, 1}, {1, 60}, {2, 45}, {3, 1}, {3, 60}, {40, 50}};
  const Fill fills[] = {Fill::kZero, Fill::kOnes,  Fill::kFirstBit, Fill::kLastBit, Fill::kScattered,
                        Fill::kSparse, Fill::kHalf, Fill::kRect,     Fill::kStripes};
  std::mt19937 rng(20240611);
  for (const Shape& shape : shapes) {
    for (Fill fill : fills) {
      SCOPED_TRACE(std::to_string(shape.wordsPerRow) + " words x " +
                   std::to_string(shape.blockRows) + " rows, " + FillName(fill));
      const Bytes mask = MakeMask(shape, fill, rng);
      const uint32_t size = static_cast<uint32_t>(mask.size());

      // Each sample is exactly the encoded data, so the decoders must not
      // need a byte beyond it.
      const Bytes lzw = EncodeLzwMask(mask.data(), mask.size());
      MaskBuffer fromLzw(size + 16);
      EXPECT_EQ(DecodeLzw(lzw, 0, static_cast<uint32_t>(lzw.size()), fromLzw), size);
      EXPECT_EQ(fromLzw.Written(size), mask) << "LZW";

      const Bytes rle = EncodeRunLengthMask(mask.data(), mask.size());
      MaskBuffer fromRle(size + 16);
      DecodeRunLength(rle, 0, static_cast<uint32_t>(rle.size()), fromRle);
      EXPECT_EQ(fromRle.Written(size), mask) << "run-length";
      EXPECT_TRUE(fromRle.RestUntouched(size)) << "run-length";

      const Bytes fd = EncodeFdMask(mask.data(), shape.wordsPerRow, shape.blockRows);
      EXPECT_EQ(fd.size() % 4, 0u);
      MaskBuffer fromFd(size);
      DecodeFd(fd, 0, shape.wordsPerRow, shape.blockRows, fromFd);
      EXPECT_EQ(fromFd.Written(size), mask) << "FD";
    }
  }
}

TEST(MaskRoundTripTest, LzwDictionaryFillsAndClears) {
  // Random bytes add an entry for almost every code, so 40000 of them fill
  // the dictionary about ten times; with only two byte values, entries are
  // used right after they are made, also just before the dictionary is full;
  // long runs give long strings.
  std::mt19937 rng(7);
  Bytes random(40000), twoValues(200000);
  for (uint8_t& b : random) b = static_cast<uint8_t>(rng());
  for (uint8_t& b : twoValues) b = static_cast<uint8_t>(rng() & 1);
  Bytes runs;
  while (runs.size() < 300000) runs.insert(runs.end(), rng() % 3000, static_cast<uint8_t>(rng() % 4));
  for (const Bytes* mask : {&random, &twoValues, &runs}) {
    const Bytes data = EncodeLzwMask(mask->data(), mask->size());
    MaskBuffer out(mask->size());
    EXPECT_EQ(DecodeLzw(data, 0, static_cast<uint32_t>(data.size()), out), mask->size());
    EXPECT_EQ(out.Written(mask->size()), *mask);
  }
}

TEST(MaskRoundTripTest, SparseMasksCodeSmall) {
  // A 640x480 luma plane: 3 words per row, 60 rows, 720 bytes.
  const Shape shape{3, 60};
  std::mt19937 rng(3);
  for (Fill fill : {Fill::kZero, Fill::kFirstBit, Fill::kRect}) {
    SCOPED_TRACE(FillName(fill));
    const Bytes mask = MakeMask(shape, fill, rng);
    EXPECT_LE(EncodeRunLengthMask(mask.data(), mask.size()).size(), 180u);
    EXPECT_LE(EncodeFdMask(mask.data(), shape.wordsPerRow, shape.blockRows).size(), 120u);
    EXPECT_LE(EncodeLzwMask(mask.data(), mask.size()).size(), 240u);
  }
}

}  // namespace
}  // namespace zdc
