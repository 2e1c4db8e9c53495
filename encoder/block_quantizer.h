// Quantization of transform coefficients against the decoder's DequantTable.
#pragma once

#include <cstdint>

namespace zdc {

// Largest magnitude whose product with `step` stays within signed 16 bits.
// The decoder keeps only the low 16 bits of coefficient x step, so a larger
// coefficient would come back wrapped around.
int32_t WrapSafeLimit(uint16_t step);

// Each coefficient divided by its step and rounded to the nearest integer
// (halves away from zero), limited to the wrap-safe range of its step.
// A step of 0 (never built by the quality tables) gives 0.
void QuantizeBlock(const double coefficients[64], const uint16_t dequant[64],
                   int16_t quantized[64]);

}  // namespace zdc
