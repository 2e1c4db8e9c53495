// Coefficient decoder for arithmetic-coded planes and sections: the QM decoder
// of ITU-T T.81 Annex D with the sequential-mode DC and AC models of Annex F.
#pragma once

#include <cstdint>

#include "sample_view.h"

namespace zdc {

struct QmBinTransition;

// Where the adaptive bins of the coefficient models live; the encoder uses
// the same layout. A bin is one byte: the MPS in bit 7, the probability state
// index in bits 0..6.
struct ArithmeticBins {
  static constexpr int kDcCount = 64;
  static constexpr int kAcCount = 272;
  static constexpr int kDcLadder = 20;          // DC magnitude category ladder
  static constexpr int kAcLowLadder = 189;      // AC ladder, positions 1..5
  static constexpr int kAcHighLadder = 217;     // AC ladder, positions 6..63
  static constexpr int kAcLowLastPosition = 5;  // last position on the low ladder
  static constexpr int kMagnitudeBits = 14;     // from a ladder bin to its bits
  static constexpr int kSign = 245;             // AC sign, fixed estimate
  // A magnitude category reaching this value is corrupt; the largest codable
  // |value| is therefore 0x8000.
  static constexpr int32_t kMagnitudeLimit = 0x8000;
};

class ArithmeticDecoder {
 public:
  ArithmeticDecoder();

  // Prepares one plane (delta false) or section (delta true) whose stream
  // starts at *readOffset. Reads no bytes. The decoder keeps `readOffset` and
  // updates it after every successful block to the byte after the last one
  // consumed.
  void BeginSection(const SampleView& sample, uint32_t* readOffset, bool delta);

  // Decodes the next block into `block` (64 coefficients, all written).
  // False on a corrupt block; the loop over the section then stops, and any
  // further call for the section fails too. Reading past the sample throws
  // SampleOverrun.
  bool DecodeBlock(int16_t* block);

 private:
  // The code register, the interval register and the bit counter, copied into
  // locals for the length of one block and stored back after a good block;
  // with them the state table, whose address a store to a bin could
  // otherwise force the compiler to reload after every decision.
  struct Registers {
    int32_t code;
    uint32_t interval;
    int32_t ct;
    const QmBinTransition* transitions;
  };

  template <bool kDelta>
  bool DecodeBlockImpl(int16_t* block);
  int Decide(Registers& r, uint8_t* bin);
  int Decide(Registers& r, uint8_t* bin, uint32_t value);
  void Refill(Registers& r);
  uint32_t InputByte();
  uint32_t NextByte();
  bool Fail();

  // See arithmetic_decoder.cpp for the meaning of each register.
  SampleView sample_{nullptr, 0};
  uint32_t* readOffset_ = nullptr;
  uint32_t position_ = 0;
  int32_t code_ = 0;
  uint32_t interval_ = 0;
  int32_t ct_ = 0;
  bool failed_ = false;
  uint32_t unreadMarker_ = 0;
  int16_t dcPredictor_ = 0;
  uint32_t dcContext_ = 0;
  bool delta_ = false;
  const QmBinTransition* transitions_ = nullptr;  // see arithmetic_decoder.cpp
  // The statistics live inside the object (336 bytes), so nothing is
  // allocated when the first section begins.
  uint8_t dcStats_[ArithmeticBins::kDcCount];
  uint8_t acStats_[ArithmeticBins::kAcCount];
};

}  // namespace zdc
