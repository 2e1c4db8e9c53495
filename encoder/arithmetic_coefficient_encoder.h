// The arithmetic coefficient coding behind the encoder's common interface.
#pragma once

#include "arithmetic_encoder.h"
#include "coefficient_encoder.h"

namespace zdc {

class ArithmeticCoefficientEncoder : public CoefficientEncoder {
 public:
  // Every 16-bit value is codable: AC levels and DC changes as they are, key
  // DC differences modulo 2^16. The key DC predictor starts at 0.
  static constexpr CoefficientLimits kLimits{32767, 32767, 0};

  CoefficientLimits Limits() const override { return kLimits; }
  // The arithmetic code has one set of models for every plane.
  void BeginSection(bool luminance, bool delta) override;
  void EncodeBlock(const int16_t block[64]) override;
  // Exactly the bytes the decoder consumes; it has no end step.
  std::vector<uint8_t> Finish() override;

 private:
  ArithmeticEncoder encoder_;
};

}  // namespace zdc
