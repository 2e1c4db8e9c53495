#include "block_quantizer.h"

#include <algorithm>
#include <cmath>

namespace zdc {

int32_t WrapSafeLimit(uint16_t step) { return step == 0 ? 0 : 32767 / step; }

void QuantizeBlock(const double coefficients[64], const uint16_t dequant[64],
                   int16_t quantized[64]) {
  for (int i = 0; i < 64; ++i) {
    const int32_t limit = WrapSafeLimit(dequant[i]);
    if (limit == 0) {
      quantized[i] = 0;
      continue;
    }
    const double level = std::round(coefficients[i] / dequant[i]);
    quantized[i] = static_cast<int16_t>(std::clamp(level, -double(limit), double(limit)));
  }
}

}  // namespace zdc
