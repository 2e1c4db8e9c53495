// Change-mask codings: worked examples of what the LZW and run-length decoders
// accept beyond what the encoders write, and long LZW round trips that fill
// and clear the dictionary.
#include "mask_codings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "frame_layout.h"
#include "mask_encoders.h"
#include "mask_storage_choice.h"

namespace zdc {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kStale = 0xCD;  // earlier content of the mask buffer

// A mask buffer of `capacity` bytes plus a guard, all holding earlier content.
struct MaskBuffer {
  explicit MaskBuffer(size_t capacity) : bytes(capacity + 16, kStale), capacity(capacity) {}
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

SampleView View(const Bytes& b) { return SampleView(b.data(), static_cast<uint32_t>(b.size())); }

uint32_t DecodeLzw(const Bytes& sample, uint32_t offset, uint32_t size, MaskBuffer& mask) {
  LzwMaskDecoder decoder;
  return decoder.Decode(View(sample), offset, size, mask.bytes.data(),
                        static_cast<uint32_t>(mask.capacity));
}

// LZW codes packed least significant bit first at the width the decoder
// reads them: 9 bits, one more after each 258, back to 9 after each 256.
Bytes PackLzw(const std::vector<uint32_t>& codes) {
  Bytes out;
  uint64_t buffer = 0;
  uint32_t count = 0, width = 9;
  for (uint32_t code : codes) {
    buffer |= static_cast<uint64_t>(code) << count;
    for (count += width; count >= 8; count -= 8, buffer >>= 8) out.push_back(static_cast<uint8_t>(buffer));
    if (code == 258) ++width;
    if (code == 256) width = 9;
  }
  if (count > 0) out.push_back(static_cast<uint8_t>(buffer));
  return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(LzwMask, Examples) {
  // The reader loads a whole word when its buffer is empty and four bytes of
  // the mask remain, else two bytes, else one (also past the mask's size).
  const Bytes ab = PackLzw({256, 65, 66, 257});  // 36 bits: 5 bytes
  constexpr uint32_t kAll = UINT32_MAX;         // the mask size is the sample's
  struct Case {
    const char* name;
    Bytes sample;
    uint32_t offset, size;
    bool overrun;
    Bytes expected;
  } const cases[] = {
      {"new entries 259 and 260", PackLzw({256, 65, 66, 259, 257}), 0, kAll, false, {65, 66, 65, 66}},
      {"entry 260 is (66, 65)", PackLzw({256, 65, 66, 259, 260, 257}), 0, kAll, false, {65, 66, 65, 66, 66, 65}},
      {"code equal to next free", PackLzw({256, 65, 259, 257}), 0, kAll, false, {65, 65, 65}},
      {"repeated next free", PackLzw({256, 65, 259, 260, 257}), 0, kAll, false, Bytes(6, 65)},
      {"code above next free", PackLzw({256, 65, 300, 257}), 0, kAll, false, Bytes(3, 65)},
      {"no leading clear", PackLzw({65, 66, 257}), 0, kAll, false, {65, 66}},
      {"widen to 10 bits", PackLzw({256, 65, 66, 258, 259, 257}), 0, kAll, false, {65, 66, 65, 66}},
      {"clear goes back to 9 bits", PackLzw({256, 65, 258, 66, 256, 67, 68, 259, 257}), 0, kAll, false,
       {65, 66, 67, 68, 67, 68}},
      {"clear forgets entries", PackLzw({65, 66, 256, 259, 65, 257}), 0, kAll, false, {65, 66}},
      {"undefined first code", PackLzw({256, 300, 65, 257}), 0, kAll, false, {}},
      {"width above 12 ends", PackLzw({65, 258, 258, 258, 258, 66, 257}), 0, kAll, false, {65}},
      {"end at once", PackLzw({257, 65}), 0, kAll, false, {}},
      {"word load needs four bytes", PackLzw({256, 257}), 0, 8, true, {}},
      {"word load at exactly four bytes", Concat(PackLzw({257}), {0}), 0, 4, true, {}},
      {"two bytes into a part-filled buffer", Concat(ab, {0}), 0, 9, false, {65, 66}},
      {"single bytes past the mask size", ab, 0, 3, false, {65, 66}},
      {"single byte past the sample", Bytes(ab.begin(), ab.end() - 1), 0, 3, true, {}},
      {"size zero reads single bytes", PackLzw({65, 257}), 0, 0, false, {65}},
      {"offset inside a larger sample", Concat({1, 2, 3}, ab), 3, 5, false, {65, 66}},
      {"offset near 2^32", ab, 0xFFFFFFFE, 5, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaskBuffer mask(64);
    const uint32_t size = c.size == kAll ? static_cast<uint32_t>(c.sample.size()) : c.size;
    if (c.overrun) {
      EXPECT_THROW(DecodeLzw(c.sample, c.offset, size, mask), SampleOverrun);
      continue;
    }
    EXPECT_EQ(DecodeLzw(c.sample, c.offset, size, mask), c.expected.size());
    EXPECT_EQ(mask.Written(c.expected.size()), c.expected);
    EXPECT_TRUE(mask.RestUntouched(c.expected.size()));
  }
}

TEST(LzwMask, FullDictionaryTakesNoEntries) {
  // 3838 single-byte codes define entries 259..4095; later codes add nothing,
  // so entry 4095 keeps its string: the last two bytes before it.
  std::vector<uint32_t> codes{256};
  Bytes expected;
  for (uint32_t i = 0; i < 3838; ++i) {
    codes.push_back((i * 7) & 0xFF);
    expected.push_back(static_cast<uint8_t>(i * 7));
  }
  codes.insert(codes.end(), {258, 258, 258, 4095, 4095, 65, 4095, 257});
  const Bytes entry{expected[3836], expected[3837]};
  expected = Concat(Concat(Concat(Concat(expected, entry), entry), {65}), entry);
  const Bytes data = PackLzw(codes);
  MaskBuffer mask(8192);
  EXPECT_EQ(DecodeLzw(data, 0, static_cast<uint32_t>(data.size()), mask), expected.size());
  EXPECT_EQ(mask.Written(expected.size()), expected);
  // A buffer too small for the mask takes what fits and not a byte more.
  MaskBuffer small(expected.size() - 1);  // ends inside the last string
  EXPECT_EQ(DecodeLzw(data, 0, static_cast<uint32_t>(data.size()), small), small.capacity);
  EXPECT_TRUE(small.RestUntouched(small.capacity));
}

TEST(RunLengthMask, Examples) {
  struct Case {
    const char* name;
    Bytes sample;
    uint32_t size;
    Bytes expected;
  } const cases[] = {
      {"one escape", {0xAA, 0xAA, 0x00}, 3, {0xAA}},
      {"three escapes", {0xAA, 0xAA, 0x02}, 3, {0xAA, 0xAA, 0xAA}},
      {"short run", {0xAA, 0xAA, 0x05, 0x00}, 4, Bytes(6, 0)},
      {"run of the escape", {0xAA, 0xAA, 0x03, 0xAA}, 4, Bytes(4, 0xAA)},
      {"longest short run", {0xAA, 0xAA, 0x7F, 0x11}, 4, Bytes(128, 0x11)},
      {"long run", {0xAA, 0xAA, 0x81, 0x00, 0xFF}, 5, Bytes(257, 0xFF)},
      {"longest run", {0xAA, 0xAA, 0xFF, 0xFF, 0x07}, 5, Bytes(32768, 0x07)},
      {"literals and a run", {0xAA, 0x11, 0x22, 0xAA, 0x03, 0x33, 0x44}, 7, {0x11, 0x22, 0x33, 0x33, 0x33, 0x33, 0x44}},
      {"escape alone", {0xAA}, 1, {}},
      {"items start below the size", {0xAA, 0x01, 0x02}, 2, {0x01}},
      {"an item's tail reads past the size", {0xAA, 0x01, 0xAA, 0x02}, 3, {0x01, 0xAA, 0xAA, 0xAA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaskBuffer mask(40000);
    DecodeRunLengthMask(View(c.sample), 0, c.size, mask.bytes.data(), 40000);
    EXPECT_EQ(mask.Written(c.expected.size()), c.expected);
    EXPECT_TRUE(mask.RestUntouched(c.expected.size()));
  }
}

TEST(MaskRoundTrip, LzwDictionaryFillsAndClears) {
  // Random bytes fill the dictionary about ten times over; two byte values
  // use entries right after they are made; long runs give long strings.
  std::mt19937 rng(7);
  Bytes random(40000), twoValues(200000), runs;
  for (uint8_t& b : random) b = static_cast<uint8_t>(rng());
  for (uint8_t& b : twoValues) b = static_cast<uint8_t>(rng() & 1);
  while (runs.size() < 300000) runs.insert(runs.end(), rng() % 3000, static_cast<uint8_t>(rng() % 4));
  for (const Bytes* mask : {&random, &twoValues, &runs}) {
    const Bytes data = EncodeLzwMask(mask->data(), mask->size());
    MaskBuffer out(mask->size());
    EXPECT_EQ(DecodeLzw(data, 0, static_cast<uint32_t>(data.size()), out), mask->size());
    EXPECT_EQ(out.Written(mask->size()), *mask);
  }
}

TEST(MaskRoundTrip, RawMasksTooLargeForTheHeaderGiveWay) {
  // 64 words per row, 256 rows: 65536 bytes, one more than maskSize holds.
  std::vector<uint8_t> mask(4 * 64 * 256, 0);
  mask[1000] = 0x01;
  const StoredMask stored = StoreMask(mask, 64, 256, MaskStorage::kRaw);
  EXPECT_FALSE(stored.storage == kMaskStorageRaw && stored.tag != kFdMaskTag) << "still raw";
  EXPECT_LE(stored.data.size(), 0xFFFFu);
}

}  // namespace
}  // namespace zdc
