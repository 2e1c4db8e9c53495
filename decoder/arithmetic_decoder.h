// Coefficient decoder for arithmetic-coded planes and sections: the QM decoder
// of ITU-T T.81 Annex D with the sequential-mode DC and AC models of Annex F.
#pragma once

#include <cstdint>

#include "sample_view.h"

namespace zdc {

class ArithmeticDecoder {
 public:
  ArithmeticDecoder();

  // Prepares one plane (delta false) or section (delta true) whose stream
  // starts at *readOffset. Reads no bytes. The decoder keeps `readOffset` and
  // updates it after every successful block to the byte after the last one
  // consumed.
  void BeginSection(const SampleView& sample, uint32_t* readOffset, bool delta);

  // Decodes the next block into `block` (64 coefficients, all written).
  // False on a corrupt block; the loop over the section then stops. Reading
  // past the sample throws SampleOverrun.
  bool DecodeBlock(int16_t* block);

 private:
  // See arithmetic_decoder.cpp for the meaning of each register.
  SampleView sample_{nullptr, 0};
  uint32_t* readOffset_ = nullptr;
  uint32_t position_ = 0;
  int32_t code_ = 0;
  uint32_t interval_ = 0;
  int32_t ct_ = 0;
  uint32_t unreadMarker_ = 0;
  int16_t dcPredictor_ = 0;
  uint32_t dcContext_ = 0;
  bool delta_ = false;
  uint8_t dcStats_[64];
  uint8_t acStats_[272];
};

}  // namespace zdc
