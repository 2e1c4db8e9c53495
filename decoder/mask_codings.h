// The three coded forms of a delta section's change mask: LZW, run-length and
// the FD coding (a fixed Huffman code over the mask bytes, then a horizontal
// and a vertical running XOR). Each decoder reads the mask data out of the
// sample and writes a BlockMask into the decoder's mask buffer, never past
// `maskCapacity` bytes.
#pragma once

#include <cstdint>

#include "sample_view.h"

namespace zdc {

// Decoding tables of the FD mask code, built once per codec context.
struct FdCodeTables {
  uint8_t length[256];     // code length (1..16) of each byte value
  uint8_t code[256];       // low 8 bits of each byte value's code
  uint8_t symbols[256];    // byte values by length, longest first, then ascending
  uint8_t firstcode[256];  // [L], L = 1..16: numerically first code of length L
  uint8_t start[256];      // [L]: index in `symbols` of the first symbol of length L
  uint8_t shortLength[256];  // [next 8 bits]: the code length when it is 8 or less, else 9
};

void BuildFdCode(FdCodeTables* tables);

// Writes blockRows * wordsPerRow * 4 bytes, first into maskWork (same size at
// least) and then, after the two XOR passes, into blockMask. The data's 32-bit
// words are loaded when a bit of theirs is consumed; a consumed bit outside the
// sample throws SampleOverrun.
void DecodeFdMask(const SampleView& sample, uint32_t maskOffset, uint32_t wordsPerRow,
                  uint32_t blockRows, const FdCodeTables& tables, uint8_t* maskWork,
                  uint8_t* blockMask);

// Writes at most maskCapacity bytes; returns how many it wrote.
uint32_t DecodeRunLengthMask(const SampleView& sample, uint32_t maskOffset, uint32_t maskSize,
                             uint8_t* blockMask, uint32_t maskCapacity);

// The LZW mask coding's control codes and limits, shared by the decoder and
// the encoder.
struct LzwCodes {
  static constexpr uint32_t kClear = 256;
  static constexpr uint32_t kEnd = 257;
  static constexpr uint32_t kWiden = 258;  // codes from here on are one bit wider
  static constexpr uint32_t kFirstFree = 259;
  static constexpr uint32_t kInitialWidth = 9;
  static constexpr uint32_t kMaxWidth = 12;
  static constexpr uint32_t kDictionarySize = 4096;
};

class LzwMaskDecoder {
 public:
  LzwMaskDecoder();
  // Returns the number of bytes written (at most maskCapacity).
  uint32_t Decode(const SampleView& sample, uint32_t maskOffset, uint32_t maskSize,
                  uint8_t* blockMask, uint32_t maskCapacity);

 private:
  // Collects the string of `code` in reverse into string_; returns its length,
  // or 0 when the prefix chain does not end within the dictionary's size.
  uint32_t CollectString(uint32_t code);

  static constexpr uint32_t kDictionarySize = 4096;
  // Entries as (prefix code, appended byte) pairs; 0xFFFF = no prefix. An
  // entry is a string only through its prefix chain, which is followed anew
  // each time the entry is written out.
  uint16_t prefix_[kDictionarySize];
  uint8_t suffix_[kDictionarySize];
  uint8_t string_[kDictionarySize];  // one string, last byte first
};

}  // namespace zdc
