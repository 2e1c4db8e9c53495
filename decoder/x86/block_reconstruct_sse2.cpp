// SSE2 block reconstruction: one block row per 128-bit register. The row pass
// multiplies coefficient pairs with pmaddwd and sums in 32-bit lanes that wrap
// exactly like the portable row pass; the column pass then works on all eight
// columns at once with the same saturating 16-bit steps, in the same order, so
// no transpose is needed between the passes.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "block_kernels.h"
#include "idct_x86_parts.h"
#include "sse2_target.h"

namespace zdc {
namespace {

using namespace idct_x86;

// All-zero rows go through the pass like any other (they come out as
// rounding >> 11): on picture data a test per row costs more in mispredicted
// branches than the few instructions it would save.
ZDC_SSE2_INLINE __m128i RowPass(__m128i x, const RowConstants& k) {
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

  ColumnPassAndStore(X, destination, pitch);
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
