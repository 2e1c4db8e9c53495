// ITU-R BT.601 from limited-range YCbCr (luma 16..235, chroma 16..240 around
// 128) to full-range 8-bit RGB, in 16-bit integer steps that vector lanes
// take as they are, so that the vector kernels and the portable ones compute
// the same bytes. The result is within one level of the exact mapping.
//
// A colour value is (luma term + chroma term) >> 6, clamped to 0..255: both
// terms carry 6 fraction bits. The luma term is the high half of
// (y << 8) x 19077, an unsigned 16-bit multiply. The chroma terms are high
// halves of signed 16-bit multiplies of (c - 128) << 8, computed once per
// chroma sample, and hold the luma offset (-16 x 1.164383) and the rounding
// half. Every sum but blue's fits a signed 16-bit lane; blue's can exceed it
// only where the result clamps to 255, so a saturating add gives the same
// bytes.
#pragma once

#include <cstdint>

namespace zdc {
namespace bt601 {

constexpr int kLumaFactor = 19077;  // 1.164383 x 64 x 256
constexpr int kFractionBits = 6;
// -16 x 1.164383 x 64, plus half of the last step.
constexpr int kOffset = -1192 + (1 << (kFractionBits - 1));
// The chroma weights x 64 x 256: 1.596027, -0.391762, -0.812968, 2.017232.
// Blue's exceeds 16 bits; it is multiplied as (weight - 65536), adding the
// multiplicand back, which gives the same high half.
constexpr int kCrToR = 26149;
constexpr int kCbToG = -6419;
constexpr int kCrToG = -13319;
constexpr int kCbToB = 33050 - 65536;
// A chroma term that gives 255 for every luma (the X byte of 32-bit RGB).
constexpr int16_t kOpaque = 0x7FFF;

inline int LumaTerm(int y) { return (y * kLumaFactor) >> 8; }

// The high half of a signed 16 x 16-bit product.
inline int MulHigh(int a, int b) { return (a * b) >> 16; }

// The three chroma terms of one chroma sample.
struct ChromaTerms {
  int16_t r, g, b;
};

inline ChromaTerms ChromaTermsOf(int cb, int cr) {
  const int b = (cb - 128) * 256, r = (cr - 128) * 256;
  return {static_cast<int16_t>(kOffset + MulHigh(r, kCrToR)),
          static_cast<int16_t>(kOffset + MulHigh(b, kCbToG) + MulHigh(r, kCrToG)),
          static_cast<int16_t>(kOffset + MulHigh(b, kCbToB) + b)};
}

inline uint8_t ColourValue(int lumaTerm, int chromaTerm) {
  const int value = (lumaTerm + chromaTerm) >> kFractionBits;
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

}  // namespace bt601
}  // namespace zdc
