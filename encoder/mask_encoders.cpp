// Writers of the LZW, run-length and FD mask storages.
#include "mask_encoders.h"

#include <array>
#include <unordered_map>
#include <utility>

#include "mask_codings.h"

namespace zdc {

namespace {

// ---- LZW -------------------------------------------------------------------


// Packs codes least significant bit first.
class LsbBitWriter {
 public:
  void Put(uint32_t code, uint32_t width) {
    buffer_ |= static_cast<uint64_t>(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      bytes_.push_back(static_cast<uint8_t>(buffer_));
      buffer_ >>= 8;
      count_ -= 8;
    }
  }
  std::vector<uint8_t> Finish() {
    if (count_ > 0) bytes_.push_back(static_cast<uint8_t>(buffer_));
    buffer_ = 0;
    count_ = 0;
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t buffer_ = 0;
  uint32_t count_ = 0;
};

class LzwWriter {
 public:
  // The decoder never widens by itself: announce each extra bit first.
  void Emit(uint32_t code) {
    while (code >> width_ != 0) {
      bits_.Put(LzwCodes::kWiden, width_);
      ++width_;
    }
    bits_.Put(code, width_);
  }
  void Clear() {
    bits_.Put(LzwCodes::kClear, width_);
    width_ = LzwCodes::kInitialWidth;
  }
  std::vector<uint8_t> Finish() {
    bits_.Put(LzwCodes::kEnd, width_);
    return bits_.Finish();
  }

 private:
  LsbBitWriter bits_;
  uint32_t width_ = LzwCodes::kInitialWidth;
};

// ---- FD --------------------------------------------------------------------

// Full codes of every byte value: a length's codes are consecutive numbers
// from its firstcode, in the order the symbols are listed.
struct FdCodebook {
  uint16_t code[256];
  uint8_t length[256];
};

const FdCodebook& FdCodes() {
  static const FdCodebook book = [] {
    FdCodeTables t;
    BuildFdCode(&t);
    FdCodebook b{};
    for (int i = 0; i < 256; ++i) {
      const uint8_t symbol = t.symbols[i];
      const int length = t.length[symbol];
      b.length[symbol] = static_cast<uint8_t>(length);
      b.code[symbol] = static_cast<uint16_t>(t.firstcode[length] + (i - t.start[length]));
    }
    return b;
  }();
  return book;
}

// Writes bits first bit highest into little-endian 32-bit words, after a
// zero first word and the unused top bit of the second.
class FdBitWriter {
 public:
  FdBitWriter() : bytes_(4, 0) {}

  void Put(uint32_t code, uint32_t length) {
    for (uint32_t i = length; i-- > 0;) {
      word_ = word_ << 1 | ((code >> i) & 1);
      if (++used_ == 32) Flush();
    }
  }
  std::vector<uint8_t> Finish() {
    if (used_ > 0) {
      word_ <<= 32 - used_;
      Flush();
    }
    return std::move(bytes_);
  }

 private:
  void Flush() {
    for (int b = 0; b < 4; ++b) bytes_.push_back(static_cast<uint8_t>(word_ >> (8 * b)));
    word_ = 0;
    used_ = 0;
  }

  std::vector<uint8_t> bytes_;
  uint32_t word_ = 0;
  uint32_t used_ = 1;  // bits placed in word_
};

}  // namespace

std::vector<uint8_t> EncodeLzwMask(const uint8_t* mask, size_t size) {
  LzwWriter writer;
  writer.Clear();
  if (size == 0) return writer.Finish();

  // (prefix code << 8 | byte) -> code of that string.
  std::unordered_map<uint32_t, uint16_t> dictionary;
  dictionary.reserve(LzwCodes::kDictionarySize);
  uint32_t nextFree = LzwCodes::kFirstFree;
  uint32_t current = mask[0];
  for (size_t i = 1; i < size; ++i) {
    const uint8_t byte = mask[i];
    const auto found = dictionary.find(current << 8 | byte);
    if (found != dictionary.end()) {
      current = found->second;
      continue;
    }
    writer.Emit(current);
    // The decoder defines this entry when it reads the next code.
    dictionary.emplace(current << 8 | byte, static_cast<uint16_t>(nextFree++));
    if (nextFree == LzwCodes::kDictionarySize) {
      // Entry 4095 was the last: the decoder never needs it, since the
      // dictionary starts over before the next code.
      writer.Clear();
      dictionary.clear();
      nextFree = LzwCodes::kFirstFree;
    }
    current = byte;
  }
  writer.Emit(current);
  return writer.Finish();
}

std::vector<uint8_t> EncodeRunLengthMask(const uint8_t* mask, size_t size) {
  std::vector<uint8_t> out;
  if (size == 0) return out;

  // The least frequent byte value as escape keeps literal escapes rare.
  std::array<size_t, 256> frequency{};
  for (size_t i = 0; i < size; ++i) ++frequency[mask[i]];
  uint8_t escape = 0;
  for (int v = 1; v < 256; ++v) {
    if (frequency[v] < frequency[escape]) escape = static_cast<uint8_t>(v);
  }
  out.push_back(escape);

  constexpr size_t kLongestRun = 32768;
  size_t i = 0;
  while (i < size) {
    const uint8_t value = mask[i];
    size_t run = 1;
    while (i + run < size && mask[i + run] == value && run < kLongestRun) ++run;
    i += run;
    if (run <= 3) {
      if (value == escape) {
        out.insert(out.end(), {escape, static_cast<uint8_t>(run - 1)});
      } else {
        out.insert(out.end(), run, value);
      }
    } else if (run <= 128) {
      out.insert(out.end(), {escape, static_cast<uint8_t>(run - 1), value});
    } else {
      const size_t count = run - 1;
      out.insert(out.end(), {escape, static_cast<uint8_t>(128 + (count >> 8)),
                             static_cast<uint8_t>(count & 0xFF), value});
    }
  }
  return out;
}

std::vector<uint8_t> EncodeFdMask(const uint8_t* mask, uint32_t wordsPerRow, uint32_t blockRows) {
  const FdCodebook& book = FdCodes();
  FdBitWriter writer;
  const size_t rowBytes = static_cast<size_t>(wordsPerRow) * 4;
  for (uint32_t r = 0; r < blockRows; ++r) {
    const uint8_t* row = mask + r * rowBytes;
    const uint8_t* below = r + 1 < blockRows ? row + rowBytes : nullptr;
    uint32_t carry = 0;  // last bit of the previous word of the row, after the running XOR
    for (uint32_t j = 0; j < wordsPerRow; ++j) {
      // Undo the vertical pass (each row was XORed with the row below), then
      // the horizontal one (each bit was XORed with the bit before it).
      uint32_t word = SampleView::LoadLe32(row + 4 * j);
      if (below) word ^= SampleView::LoadLe32(below + 4 * j);
      const uint32_t raw = word ^ (word >> 1) ^ (carry << 31);
      carry = word & 1;
      for (int b = 0; b < 4; ++b) {
        const uint8_t symbol = static_cast<uint8_t>(raw >> (8 * b));
        writer.Put(book.code[symbol], book.length[symbol]);
      }
    }
  }
  return writer.Finish();
}

}  // namespace zdc
