// Coefficient encoder for Huffman-coded planes and sections: the intra-block
// code of ISO/IEC 11172-2 (DC size codes, dct_coeff_next, escapes) in
// big-endian 32-bit words, laid out so that the decoder's 64-bit buffer with
// its word-at-a-time refills finds the section's end byte right where its
// read offset stands after the last block.
#pragma once

#include <cstdint>
#include <vector>

#include "coefficient_encoder.h"
#include "huffman_tables.h"
#include "word_bit_writer.h"

namespace zdc {

class HuffmanEncoder : public CoefficientEncoder {
 public:
  // AC levels reach 255 through the escape's 16-bit forms; DC differences
  // reach 255 with DC size 8. The key DC predictor starts at 128.
  static constexpr CoefficientLimits kLimits{255, 255, 128};

  CoefficientLimits Limits() const override { return kLimits; }
  void BeginSection(bool luminance, bool delta) override;
  void EncodeBlock(const int16_t block[64]) override;
  // The stream padded to every byte the decoder loads, then the end byte 0xED.
  std::vector<uint8_t> Finish() override;

  // Bytes the decoder has loaded after the blocks so far: 8 at the start of
  // the section and 4 per refill. The end byte goes right after them.
  uint32_t LoadedBytes() const { return 8 + 4 * refills_; }

 private:
  // The decoder's refill check, made at the start of each block and before
  // each AC or end-of-block code: one word is loaded once 32 bits are used.
  void CheckPoint();
  void Put(uint32_t bits, int count);
  void PutDcDifference(int32_t difference);
  void PutAcCoefficient(int run, int32_t level);

  WordBitWriter writer_;
  const DcSizeCode* dcSizes_ = nullptr;
  bool delta_ = false;
  int32_t dcPredictor_ = 128;
  uint32_t consumed_ = 0;  // bits of the decoder's 64-bit buffer already used
  uint32_t refills_ = 0;
};

}  // namespace zdc
