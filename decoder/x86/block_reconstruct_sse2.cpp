// SSE2 block reconstruction: one block row per 128-bit register. The row pass
// multiplies coefficient pairs with pmaddwd and sums in 32-bit lanes that wrap
// exactly like the portable row pass; the column pass then works on all eight
// columns at once with the same saturating 16-bit steps, in the same order, so
// no transpose is needed between the passes.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "block_kernels.h"
#include "sse2_target.h"

namespace zdc {
namespace {

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
  int16_t zeroRow[8];  // what an all-zero row becomes: rounding >> 11
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
    c.zeroRow[i] = static_cast<int16_t>(rounding >> 11);
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

ZDC_SSE2_INLINE __m128i Load(const void* p) {
  return _mm_load_si128(static_cast<const __m128i*>(p));
}

ZDC_SSE2_INLINE __m128i RowPass(__m128i x, const RowConstants& k) {
  const __m128i zero = _mm_setzero_si128();
  if (_mm_movemask_epi8(_mm_cmpeq_epi16(x, zero)) == 0xFFFF) return Load(k.zeroRow);
  // (x0,x4) (x1,x5) (x2,x6) (x3,x7) in the four 32-bit lanes.
  const __m128i pairs = _mm_unpacklo_epi16(x, _mm_unpackhi_epi64(x, x));
  const __m128i x04 = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(0, 0, 0, 0));
  const __m128i x15 = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(1, 1, 1, 1));
  const __m128i x26 = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(2, 2, 2, 2));
  const __m128i x37 = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(3, 3, 3, 3));
  const __m128i even = _mm_add_epi32(_mm_madd_epi16(x04, Load(k.k04)),
                                     _mm_madd_epi16(x26, Load(k.k26)));
  const __m128i odd = _mm_add_epi32(_mm_madd_epi16(x15, Load(k.k15)),
                                    _mm_madd_epi16(x37, Load(k.k37)));
  const __m128i base = _mm_add_epi32(even, Load(k.rounding));
  const __m128i low = _mm_srai_epi32(_mm_add_epi32(base, odd), 11);   // y0 y1 y2 y3
  const __m128i high = _mm_srai_epi32(_mm_sub_epi32(base, odd), 11);  // y7 y6 y5 y4
  return _mm_packs_epi32(low, _mm_shuffle_epi32(high, _MM_SHUFFLE(0, 1, 2, 3)));
}

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

// Dequantizes the new slot values `c` (row-major, one row per register),
// transforms them and writes the 8x8 pixels.
ZDC_SSE2_INLINE void Transform(const __m128i c[8], const uint16_t* dequant, uint8_t* destination,
                               ptrdiff_t pitch) {
  __m128i X[8];
  for (int r = 0; r < 8; ++r) {
    // pmullw keeps the low 16 bits of the product: dequantization wraps.
    const __m128i d = _mm_mullo_epi16(c[r], Load(dequant + 8 * r));
    X[r] = RowPass(d, kRows[r]);
  }

  // Column pass on all eight columns at once; every step saturates.
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

}  // namespace

ZDC_SSE2_ENTRY void ReconstructKeyBlock_sse2(int16_t* block, uint8_t* destination, int32_t pitch,
                                             int16_t* slot, const uint16_t* dequant) {
  __m128i c[8];
  for (int r = 0; r < 8; ++r) {
    c[r] = Load(block + 8 * r);
    _mm_store_si128(reinterpret_cast<__m128i*>(slot + 8 * r), c[r]);
  }
  Transform(c, dequant, destination, pitch);
}

ZDC_SSE2_ENTRY void ReconstructDeltaBlock_sse2(int16_t* block, uint8_t* destination,
                                               int32_t pitch, int16_t* slot,
                                               const uint16_t* dequant) {
  __m128i c[8];
  for (int r = 0; r < 8; ++r) {
    c[r] = _mm_adds_epi16(Load(slot + 8 * r), Load(block + 8 * r));
    _mm_store_si128(reinterpret_cast<__m128i*>(slot + 8 * r), c[r]);
  }
  Transform(c, dequant, destination, pitch);
}

}  // namespace zdc
