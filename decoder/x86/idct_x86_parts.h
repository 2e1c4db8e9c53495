// The parts of the fixed-point 8x8 inverse DCT that every x86 variant shares:
// the row multipliers laid out for pmaddwd, and the column pass, which works
// on all eight columns at once (one block row per 128-bit register) with the
// saturating 16-bit steps of the portable definition, in the same order.
// Included by the SSE2 kernels and by the wider ones, which inline the
// column pass as it is.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "sse2_target.h"

namespace zdc {
namespace idct_x86 {

ZDC_SSE2_INLINE __m128i Load(const void* p) {
  return _mm_load_si128(static_cast<const __m128i*>(p));
}

// The multipliers of one row, laid out for pmaddwd. The row is first spread
// into the pairs (x0,x4), (x2,x6), (x1,x5), (x3,x7), each broadcast to all
// four 32-bit lanes; lane i of the products then collects e_i (from k04 and
// k26) and o_i (from k15 and k37):
//   e0 = W1 x0 + W1 x4 + W2 x2 + W3 x6    o0 = W4 x1 + W6 x5 + W5 x3 + W7 x7
//   e1 = W1 x0 - W1 x4 + W3 x2 - W2 x6    o1 = W5 x1 - W4 x5 - W7 x3 - W6 x7
//   e2 = W1 x0 - W1 x4 - W3 x2 + W2 x6    o2 = W6 x1 + W7 x5 - W4 x3 + W5 x7
//   e3 = W1 x0 + W1 x4 - W2 x2 - W3 x6    o3 = W7 x1 + W5 x5 - W6 x3 - W4 x7
// Every multiplier is below 32768 in magnitude, so each pmaddwd pair sum is
// exact (|sum| < 2^31) and only the following 32-bit additions can wrap, as in
// the portable code.
struct alignas(16) RowConstants {
  int16_t k04[8];
  int16_t k26[8];
  int16_t k15[8];
  int16_t k37[8];
  int32_t rounding[4];
};

struct RowSet {
  int16_t w1, w2, w3, w4, w5, w6, w7;
};

// The coefficient sets of the fast 8x8 IDCT's row tables.
constexpr RowSet kT04 = {16384, 21407, 8867, 22725, 19266, 12873, 4520};
constexpr RowSet kT17 = {22725, 29692, 12299, 31521, 26722, 17855, 6270};
constexpr RowSet kT26 = {21407, 27969, 11585, 29692, 25172, 16819, 5906};
constexpr RowSet kT35 = {19266, 25172, 10426, 26722, 22654, 15137, 5315};

constexpr int16_t Neg(int16_t w) { return static_cast<int16_t>(-w); }

constexpr RowConstants MakeRow(const RowSet& w, int32_t rounding) {
  RowConstants c{};
  const int16_t k04[8] = {w.w1, w.w1, w.w1, Neg(w.w1), w.w1, Neg(w.w1), w.w1, w.w1};
  const int16_t k26[8] = {w.w2, w.w3, w.w3, Neg(w.w2), Neg(w.w3), w.w2, Neg(w.w2), Neg(w.w3)};
  const int16_t k15[8] = {w.w4, w.w6, w.w5, Neg(w.w4), w.w6, w.w7, w.w7, w.w5};
  const int16_t k37[8] = {w.w5, w.w7, Neg(w.w7), Neg(w.w6), Neg(w.w4), w.w5, Neg(w.w6), Neg(w.w4)};
  for (int i = 0; i < 8; ++i) {
    c.k04[i] = k04[i];
    c.k26[i] = k26[i];
    c.k15[i] = k15[i];
    c.k37[i] = k37[i];
  }
  for (int i = 0; i < 4; ++i) c.rounding[i] = rounding;
  return c;
}

// Rows 0..7 use the sets T04 T17 T26 T35 T04 T35 T26 T17; row 0's rounding
// (65535) also carries the rounding of the final shift by 6.
alignas(16) constexpr RowConstants kRows[8] = {
    MakeRow(kT04, 65535), MakeRow(kT17, 3612), MakeRow(kT26, 2271), MakeRow(kT35, 1203),
    MakeRow(kT04, 1023),  MakeRow(kT35, 102),  MakeRow(kT26, 398),  MakeRow(kT17, 469),
};

constexpr int16_t kT1 = 13036, kT2 = 27146, kT3 = -21746, kC4 = 23170;

ZDC_SSE2_INLINE __m128i MulHi(__m128i a, int16_t k) { return _mm_mulhi_epi16(a, _mm_set1_epi16(k)); }
ZDC_SSE2_INLINE __m128i Add(__m128i a, __m128i b) { return _mm_adds_epi16(a, b); }
ZDC_SSE2_INLINE __m128i Sub(__m128i a, __m128i b) { return _mm_subs_epi16(a, b); }

ZDC_SSE2_INLINE void StoreRows(uint8_t* destination, ptrdiff_t pitch, int r, __m128i outA,
                               __m128i outB) {
  const __m128i pixels = _mm_packus_epi16(_mm_srai_epi16(outA, 6), _mm_srai_epi16(outB, 6));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + r * pitch), pixels);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + (r + 1) * pitch),
                   _mm_unpackhi_epi64(pixels, pixels));
}

// The column pass of the rows X[0..7] (after the row pass) and the output
// shift, clamp and store of the 8x8 pixels.
ZDC_SSE2_INLINE void ColumnPassAndStore(const __m128i X[8], uint8_t* destination,
                                        ptrdiff_t pitch) {
  // Every step saturates.
  const __m128i tm35 = Sub(Add(MulHi(X[3], kT3), X[3]), X[5]);
  const __m128i tp35 = Add(Add(MulHi(X[5], kT3), X[5]), X[3]);
  const __m128i tp17 = Add(MulHi(X[7], kT1), X[1]);
  const __m128i tm17 = Sub(MulHi(X[1], kT1), X[7]);
  const __m128i t1 = Sub(tp17, tp35);
  const __m128i b3 = Sub(tm17, tm35);
  const __m128i b0 = Add(tp35, tp17);
  const __m128i t2 = Add(tm35, tm17);
  const __m128i h2 = MulHi(Sub(t1, t2), kC4);
  const __m128i h1 = MulHi(Add(t1, t2), kC4);
  const __m128i b2 = Add(h2, h2);
  const __m128i b1 = Add(h1, h1);
  const __m128i tp26 = Add(MulHi(X[6], kT2), X[2]);
  const __m128i tm26 = Sub(MulHi(X[2], kT2), X[6]);
  const __m128i tm04 = Sub(X[0], X[4]);
  const __m128i tp04 = Add(X[4], X[0]);
  const __m128i a3 = Sub(tp04, tp26);
  const __m128i a0 = Add(tp26, tp04);
  const __m128i a2 = Sub(tm04, tm26);
  const __m128i a1 = Add(tm26, tm04);

  StoreRows(destination, pitch, 0, Add(b0, a0), Add(b1, a1));
  StoreRows(destination, pitch, 2, Add(b2, a2), Add(b3, a3));
  StoreRows(destination, pitch, 4, Sub(a3, b3), Sub(a2, b2));
  StoreRows(destination, pitch, 6, Sub(a1, b1), Sub(a0, b0));
}

}  // namespace idct_x86
}  // namespace zdc
