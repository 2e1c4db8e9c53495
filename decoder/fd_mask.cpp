// The FD mask coding: a fixed, complete Huffman code over the mask bytes,
// followed by a horizontal and a vertical running XOR that turn the decoded
// bytes into the BlockMask.
#include <cstddef>
#include <cstring>

#include "mask_codings.h"

namespace zdc {

namespace {

constexpr int kMaxCodeLength = 16;

int ZeroBits(int symbol) {
  int zeros = 0;
  for (int bit = 0; bit < 8; ++bit) zeros += ((symbol >> bit) & 1) == 0;
  return zeros;
}

bool IsOneOf(int symbol, const uint8_t* list, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (list[i] == symbol) return true;
  }
  return false;
}

// Code length of each byte value. The lengths come from a length-limited
// Huffman code for weights 7^(zero bits), with the all-zero byte weighted far
// above everything else; equal weights are split between two lengths by the
// fixed exception lists below, which are part of the format.
int FdCodeLength(int symbol) {
  static const uint8_t kLonger6[] = {3, 12, 17, 24, 40, 48, 68, 129};
  static const uint8_t kLonger5[] = {11, 69, 81, 164, 194};
  static const uint8_t kLonger4[] = {156, 177, 184};
  static const uint8_t kLonger3[] = {31,  47,  93,  94,  107, 110, 117, 124, 151,
                                     155, 157, 158, 171, 173, 205, 206, 211, 213,
                                     217, 220, 234, 236, 241, 242, 244};
  switch (ZeroBits(symbol)) {
    case 8: return 1;
    case 7: return 5;
    case 6: return IsOneOf(symbol, kLonger6, sizeof kLonger6) ? 8 : 7;
    case 5: return IsOneOf(symbol, kLonger5, sizeof kLonger5) ? 11 : 10;
    case 4: return IsOneOf(symbol, kLonger4, sizeof kLonger4) ? 14 : 13;
    case 3: return IsOneOf(symbol, kLonger3, sizeof kLonger3) ? 16 : 15;
    default: return 16;
  }
}

// MSB-first reader over the mask data's little-endian 32-bit words. Only whole
// words that lie inside the sample are ever loaded; words past its end read as
// zero so that looking ahead (the 8-bit table lookup, the long-code walk) never
// faults, and consuming any bit of such a word throws SampleOverrun. Looking
// ahead cannot change a result: the length found depends only on the bits of
// the code itself.
class FdBitReader {
 public:
  FdBitReader(const SampleView& sample, uint32_t maskOffset)
      : sample_(sample),
        maskOffset_(maskOffset),
        wordsInSample_(sample.Contains(maskOffset, 0) ? (sample.size() - maskOffset) / 4 : 0),
        position_(33),
        nextWord_(1) {
    Refill();  // w1, whose top bit is skipped
    buffer_ <<= 1;
    available_ = 31;
    Refill();
  }

  // The next `count` (1..16) bits as a number, first bit highest.
  uint32_t Peek(int count) const { return static_cast<uint32_t>(buffer_ >> (64 - count)); }

  void Consume(int count) {
    position_ += static_cast<uint64_t>(count);
    if (position_ > static_cast<uint64_t>(wordsInSample_) * 32) throw SampleOverrun{};
    buffer_ <<= count;
    available_ -= count;
    if (available_ < 32) Refill();
  }

 private:
  // Appends the next word below the buffered bits; keeps at least 32 bits.
  void Refill() {
    uint32_t word = 0;
    if (nextWord_ < wordsInSample_) word = sample_.Le32(maskOffset_ + nextWord_ * 4);
    ++nextWord_;
    buffer_ |= static_cast<uint64_t>(word) << (32 - available_);
    available_ += 32;
  }

  const SampleView& sample_;
  uint32_t maskOffset_;
  uint32_t wordsInSample_;  // whole words from maskOffset to the end of the sample
  // Bits passed so far, counted from bit 31 of w0; w0 and the top bit of w1
  // carry no code bits, so decoding starts at 33.
  uint64_t position_;
  uint32_t nextWord_;       // index of the next word to append to the buffer
  uint64_t buffer_ = 0;     // upcoming bits, first bit at bit 63
  int available_ = 0;       // valid bits in buffer_
};

uint8_t DecodeFdSymbol(FdBitReader& reader, const FdCodeTables& tables) {
  int length = tables.shortLength[reader.Peek(8)];
  uint32_t bits;
  if (length <= 8) {
    bits = reader.Peek(length);
  } else {
    // The code is complete, so firstcode[16] = 0 always stops this walk.
    length = 9;
    while ((bits = reader.Peek(length)) < tables.firstcode[length] && length < kMaxCodeLength) {
      ++length;
    }
  }
  reader.Consume(length);
  return tables.symbols[(tables.start[length] + bits - tables.firstcode[length]) & 0xFF];
}

void StoreLe32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// Replaces every bit by the XOR of itself and all bits before it in the row,
// bits taken from bit 31 down to bit 0, words in order.
void HorizontalXorPass(uint8_t* work, uint32_t wordsPerRow, uint32_t blockRows) {
  for (uint32_t r = 0; r < blockRows; ++r) {
    uint32_t running = 0;
    for (uint32_t j = 0; j < wordsPerRow; ++j) {
      uint8_t* p = work + (static_cast<size_t>(r) * wordsPerRow + j) * 4;
      uint32_t word = SampleView::LoadLe32(p);
      word ^= word >> 1;
      word ^= word >> 2;
      word ^= word >> 4;
      word ^= word >> 8;
      word ^= word >> 16;
      if (running) word = ~word;
      running = word & 1;
      StoreLe32(p, word);
    }
  }
}

// Mask row r = work row r XOR mask row r + 1, from the bottom row up.
void VerticalXorPass(const uint8_t* work, uint32_t wordsPerRow, uint32_t blockRows,
                     uint8_t* blockMask) {
  const size_t rowBytes = static_cast<size_t>(wordsPerRow) * 4;
  size_t row = blockRows - 1;
  std::memcpy(blockMask + row * rowBytes, work + row * rowBytes, rowBytes);
  while (row-- > 0) {
    const uint8_t* src = work + row * rowBytes;
    const uint8_t* below = blockMask + (row + 1) * rowBytes;
    uint8_t* dst = blockMask + row * rowBytes;
    for (size_t i = 0; i < rowBytes; ++i) dst[i] = src[i] ^ below[i];
  }
}

}  // namespace

void BuildFdCode(FdCodeTables* tables) {
  std::memset(tables, 0, sizeof *tables);
  int count[kMaxCodeLength + 2] = {};
  for (int s = 0; s < 256; ++s) {
    tables->length[s] = static_cast<uint8_t>(FdCodeLength(s));
    ++count[tables->length[s]];
  }

  // Longest codes first; each length's codes are consecutive numbers starting
  // at firstcode, given to its symbols in ascending byte order.
  int index = 0;
  int firstcode = 0;
  for (int length = kMaxCodeLength; length >= 1; --length) {
    if (length < kMaxCodeLength) firstcode = (firstcode + count[length + 1]) / 2;
    tables->firstcode[length] = static_cast<uint8_t>(firstcode);
    tables->start[length] = static_cast<uint8_t>(index);
    int code = firstcode;
    for (int s = 0; s < 256; ++s) {
      if (tables->length[s] != length) continue;
      tables->symbols[index++] = static_cast<uint8_t>(s);
      tables->code[s] = static_cast<uint8_t>(code++);
    }
  }

  for (int t = 0; t < 256; ++t) {
    int length = 1;
    while (length <= 8 && (t >> (8 - length)) < tables->firstcode[length]) ++length;
    tables->shortLength[t] = static_cast<uint8_t>(length);
  }
}

void DecodeFdMask(const SampleView& sample, uint32_t maskOffset, uint32_t wordsPerRow,
                  uint32_t blockRows, const FdCodeTables& tables, uint8_t* maskWork,
                  uint8_t* blockMask) {
  const size_t total = static_cast<size_t>(wordsPerRow) * blockRows * 4;
  if (total == 0) return;
  FdBitReader reader(sample, maskOffset);
  for (size_t i = 0; i < total; ++i) maskWork[i] = DecodeFdSymbol(reader, tables);
  HorizontalXorPass(maskWork, wordsPerRow, blockRows);
  VerticalXorPass(maskWork, wordsPerRow, blockRows, blockMask);
}

}  // namespace zdc
