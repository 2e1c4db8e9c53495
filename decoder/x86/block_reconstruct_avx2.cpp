// AVX2 block reconstruction: the row pass of the SSE2 kernels on two block
// rows per 256-bit register. Every AVX2 operation used here works within each
// 128-bit half, so each half computes exactly what the SSE2 row pass computes
// for its row; the column pass is then the shared one, on 128-bit registers.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "avx2_target.h"
#include "block_kernels.h"
#include "idct_x86_parts.h"

namespace zdc {
namespace {

using namespace idct_x86;

// The multipliers of rows 2p (low half) and 2p + 1 (high half).
struct alignas(32) RowPairConstants {
  int16_t k04[16];
  int16_t k26[16];
  int16_t k15[16];
  int16_t k37[16];
  int32_t rounding[8];
};

constexpr RowPairConstants MakeRowPair(const RowConstants& low, const RowConstants& high) {
  RowPairConstants c{};
  for (int i = 0; i < 8; ++i) {
    c.k04[i] = low.k04[i], c.k04[8 + i] = high.k04[i];
    c.k26[i] = low.k26[i], c.k26[8 + i] = high.k26[i];
    c.k15[i] = low.k15[i], c.k15[8 + i] = high.k15[i];
    c.k37[i] = low.k37[i], c.k37[8 + i] = high.k37[i];
  }
  for (int i = 0; i < 4; ++i) c.rounding[i] = low.rounding[i], c.rounding[4 + i] = high.rounding[i];
  return c;
}

alignas(32) constexpr RowPairConstants kRowPairs[4] = {
    MakeRowPair(kRows[0], kRows[1]), MakeRowPair(kRows[2], kRows[3]),
    MakeRowPair(kRows[4], kRows[5]), MakeRowPair(kRows[6], kRows[7]),
};

ZDC_AVX2_INLINE __m256i Load256(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// All-zero rows are not skipped: at two rows per register the pass costs
// less than the mispredicted branches of a test. An all-zero row comes out as
// rounding >> 11 all the same.
ZDC_AVX2_INLINE __m256i RowPairPass(__m256i x, const RowPairConstants& k) {
  const __m256i pairs = _mm256_unpacklo_epi16(x, _mm256_unpackhi_epi64(x, x));
  const __m256i x04 = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(0, 0, 0, 0));
  const __m256i x15 = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(1, 1, 1, 1));
  const __m256i x26 = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(2, 2, 2, 2));
  const __m256i x37 = _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(3, 3, 3, 3));
  const __m256i even = _mm256_add_epi32(_mm256_madd_epi16(x04, Load256(k.k04)),
                                        _mm256_madd_epi16(x26, Load256(k.k26)));
  const __m256i odd = _mm256_add_epi32(_mm256_madd_epi16(x15, Load256(k.k15)),
                                       _mm256_madd_epi16(x37, Load256(k.k37)));
  const __m256i base = _mm256_add_epi32(even, Load256(k.rounding));
  const __m256i low = _mm256_srai_epi32(_mm256_add_epi32(base, odd), 11);
  const __m256i high = _mm256_srai_epi32(_mm256_sub_epi32(base, odd), 11);
  return _mm256_packs_epi32(low, _mm256_shuffle_epi32(high, _MM_SHUFFLE(0, 1, 2, 3)));
}

// Dequantizes the new slot values `c` (two rows per register), transforms
// them and writes the 8x8 pixels.
ZDC_AVX2_INLINE void Transform(const __m256i c[4], const uint16_t* dequant, uint8_t* destination,
                               ptrdiff_t pitch) {
  __m128i X[8];
  for (int p = 0; p < 4; ++p) {
    const __m256i d = _mm256_mullo_epi16(c[p], Load256(dequant + 16 * p));
    const __m256i y = RowPairPass(d, kRowPairs[p]);
    X[2 * p] = _mm256_castsi256_si128(y);
    X[2 * p + 1] = _mm256_extracti128_si256(y, 1);
  }
  ColumnPassAndStore(X, destination, pitch);
}

}  // namespace

ZDC_AVX2_ENTRY void ReconstructKeyBlock_avx2(int16_t* block, uint8_t* destination, int32_t pitch,
                                             int16_t* slot, const uint16_t* dequant) {
  __m256i c[4];
  for (int p = 0; p < 4; ++p) {
    c[p] = Load256(block + 16 * p);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(slot + 16 * p), c[p]);
  }
  Transform(c, dequant, destination, pitch);
}

ZDC_AVX2_ENTRY void ReconstructDeltaBlock_avx2(int16_t* block, uint8_t* destination,
                                               int32_t pitch, int16_t* slot,
                                               const uint16_t* dequant) {
  __m256i c[4];
  for (int p = 0; p < 4; ++p) {
    c[p] = _mm256_adds_epi16(Load256(slot + 16 * p), Load256(block + 16 * p));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(slot + 16 * p), c[p]);
  }
  Transform(c, dequant, destination, pitch);
}

}  // namespace zdc
