// ITU-R BT.601 from limited-range YCbCr (luma 16..235, chroma 16..240 around
// 128) to full-range 8-bit RGB, in integers that fit 16-bit vector lanes, so
// that the vector kernels and the portable ones compute the same bytes.
//
// A colour value is (luma term + chroma term) >> 6, clamped to 0..255: both
// terms carry 6 fraction bits. The luma term is the high half of
// (y << 8) x 19077, an unsigned 16-bit multiply; the chroma terms are computed
// once per chroma sample and already hold the luma offset (-16 x 1.164383)
// and the rounding half. Every sum but blue's fits a signed 16-bit lane; blue's
// can exceed it only where the result clamps to 255, so a saturating add
// gives the same bytes.
#pragma once

#include <cstdint>

namespace zdc {
namespace bt601 {

constexpr int kLumaFactor = 19077;  // 1.164383 x 64 x 256
constexpr int kFractionBits = 6;
// -16 x 1.164383 x 64, plus half of the last step.
constexpr int kOffset = -1192 + (1 << (kFractionBits - 1));
// The chroma weights scaled by 2^16: 1.596027, 0.391762, 0.812968, 2.017232.
constexpr int kCrToR = 104597;
constexpr int kCbToG = 25675;
constexpr int kCrToG = 53279;
constexpr int kCbToB = 132201;

inline int LumaTerm(int y) { return (y * kLumaFactor) >> 8; }

// The three chroma terms of one chroma sample; neutral chroma gives kOffset.
struct ChromaTerms {
  int16_t r, g, b;
};

inline ChromaTerms ChromaTermsOf(int cb, int cr) {
  cb -= 128;
  cr -= 128;
  // 2^16 scale down to 2^6, rounded.
  constexpr int kDown = 16 - kFractionBits, kHalf = 1 << (kDown - 1);
  return {static_cast<int16_t>(kOffset + ((kCrToR * cr + kHalf) >> kDown)),
          static_cast<int16_t>(kOffset + ((-kCbToG * cb - kCrToG * cr + kHalf) >> kDown)),
          static_cast<int16_t>(kOffset + ((kCbToB * cb + kHalf) >> kDown))};
}

inline uint8_t ColourValue(int lumaTerm, int chromaTerm) {
  const int value = (lumaTerm + chromaTerm) >> kFractionBits;
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

}  // namespace bt601
}  // namespace zdc
