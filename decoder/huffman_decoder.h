// Coefficient decoder for Huffman-coded planes and sections: the intra-block
// code of ISO/IEC 11172-2 (DC size tables, dct_coeff_next, escape forms),
// read from big-endian 32-bit words with a 64-bit bit buffer.
#pragma once

#include <cstdint>

#include "sample_view.h"

namespace zdc {

struct HuffmanAcTables;

class HuffmanDecoder {
 public:
  // Prepares one plane (delta false) or section (delta true) whose stream
  // starts at *readOffset: loads its first 8 bytes and advances the offset by 8.
  void BeginSection(const SampleView& sample, uint32_t* readOffset, bool luminance, bool delta);

  // Decodes the next block into `block` (64 coefficients, all written). False
  // on an invalid code or a run past position 63; the bit state and the read
  // offset then stay where the last good block left them.
  bool DecodeBlock(int16_t* block);

  // Moves the read offset past the section's end byte (0xED), looking at most
  // nine bytes ahead.
  void EndSection();

 private:
  template <bool kDelta>
  bool DecodeBlockImpl(int16_t* block);

  SampleView sample_{nullptr, 0};
  uint32_t* readOffset_ = nullptr;
  const uint16_t* dcSizeTable_ = nullptr;
  const HuffmanAcTables* acTables_ = nullptr;
  uint64_t bits_ = 0;       // unread bits, first bit at the top
  uint32_t consumed_ = 0;   // bits of bits_ already used (low bits are zero)
  int16_t dcPredictor_ = 0;
  bool delta_ = false;
};

}  // namespace zdc
