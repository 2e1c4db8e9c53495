// The unit that the entropy decoders hand to the reconstruction kernels.
#pragma once

#include <cstdint>

namespace zdc {

// 64 signed 16-bit coefficients of one 8x8 block in row-major order
// (index = 8 * vertical frequency + horizontal frequency), 16-byte aligned.
constexpr int kBlockCoefficients = 64;

// Scan position -> natural (row-major) index: the zigzag order shared by
// ISO/IEC 11172-2 and ITU-T T.81.
extern const uint8_t kZigzag[64];

}  // namespace zdc
