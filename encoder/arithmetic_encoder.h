// Arithmetic coding of coefficient blocks: the QM coder of ITU-T T.81 Annex D
// (encoder side) and, on top of it, the sequential DC and AC models that the
// ArithmeticDecoder reads.
#pragma once

#include <cstdint>
#include <vector>

#include "arithmetic_decoder.h"

namespace zdc {

// The binary QM coder. Bins belong to the caller and follow the decoder's
// layout (MPS in bit 7, state index in bits 0..6; 0 is the initial state).
class QmEncoder {
 public:
  QmEncoder() { Reset(); }

  // Starts a new code: empty output, the full interval.
  void Reset();

  // Codes one decision (0 or 1) with the adaptive `bin`, updating the bin.
  void Encode(uint8_t* bin, int bit);

  // Terminates the code and returns its bytes, 0xFF bytes followed by a
  // stuffed 0x00. The result is exactly the bytes that the decoder consumes
  // when it makes the same decisions: no more (whatever follows may be other
  // data, such as the next plane) and no fewer (it never reads past them).
  // Empty when no decision was coded. Resets the coder.
  std::vector<uint8_t> Finish();

 private:
  void Renormalise();
  void ShipByte();

  // The low end of the interval: 16 fraction bits that line up with
  // interval_, three spacer bits, the byte being formed (bits 19..26) and a
  // carry into the bytes already shipped (bit 27).
  uint32_t low_ = 0;
  uint32_t interval_ = 0;   // A, 0x10000 = the full interval
  int ct_ = 0;              // doublings left before the next byte is formed
  uint64_t doublings_ = 0;  // renormalisation doublings since Reset
  uint64_t doublingsBeforeLast_ = 0;  // ... when the latest decision started
  bool anyDecision_ = false;
  std::vector<uint8_t> bytes_;  // shipped bytes, not yet stuffed
};

// Codes the coefficient blocks of one plane or section. Usage: BeginSection,
// EncodeBlock for each coded block in block order, Finish.
//
// Every 16-bit block is representable: a coded magnitude |value| runs up to
// 0x8000 (its category ladder stops below the decoder's 0x8000 limit), so each
// level from -32768 to 32767 is coded as it is; a key section's DC difference
// is taken modulo 2^16, as the decoder adds it to its predictor.
class ArithmeticEncoder {
 public:
  ArithmeticEncoder();

  // Starts a plane (delta false: DC coded as the difference from the previous
  // block's DC, the first predicted from 0) or a section (delta true: DC coded
  // as it is). Clears the statistics and any unfinished output.
  void BeginSection(bool delta);

  // Codes one block given in natural (row-major) order. False only when no
  // section is open (before BeginSection or after Finish); nothing is coded.
  bool EncodeBlock(const int16_t coefficients[64]);

  // Ends the section and returns its stream (see QmEncoder::Finish): the
  // decoder, after the same number of blocks, stands exactly at its end.
  std::vector<uint8_t> Finish();

 private:
  // Codes |value| - 1 (below 0x8000) as a magnitude: the first decision on
  // `first` (taken twice for AC), the category on the ladder, the bits below.
  void EncodeDcMagnitude(uint8_t* first, uint32_t v);
  void EncodeAcMagnitude(uint8_t* first, uint8_t* ladder, uint32_t v);
  void EncodeCategoryAndBits(uint8_t* ladder, uint32_t m, uint32_t v);

  QmEncoder coder_;
  bool open_ = false;
  bool delta_ = false;
  int16_t dcPredictor_ = 0;
  uint32_t dcContext_ = 0;
  uint8_t dcStats_[ArithmeticBins::kDcCount];
  uint8_t acStats_[ArithmeticBins::kAcCount];
};

}  // namespace zdc
