#include "arithmetic_coefficient_encoder.h"

#include <stdexcept>

namespace zdc {

constexpr CoefficientLimits ArithmeticCoefficientEncoder::kLimits;

void ArithmeticCoefficientEncoder::BeginSection(bool /*luminance*/, bool delta) {
  encoder_.BeginSection(delta);
}

void ArithmeticCoefficientEncoder::EncodeBlock(const int16_t block[64]) {
  if (!encoder_.EncodeBlock(block)) throw std::logic_error("no arithmetic section open");
}

std::vector<uint8_t> ArithmeticCoefficientEncoder::Finish() { return encoder_.Finish(); }

}  // namespace zdc
