// AVX2 row kernels: twice the SSE2 kernels' width per step, the rest of a row
// by the portable kernel. Loads and stores never pass the row's end.
#include <immintrin.h>

#include <cstring>

#include "bt601_fixed_point.h"
#include "convert_kernels.h"
#include "x86/avx2_target.h"

namespace zdc {
namespace {

ZDC_AVX2_INLINE __m128i Load64(const void* p) {
  return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}

ZDC_AVX2_INLINE __m128i Load128(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// Each 16-bit pair of `pairs` repeated once: the pairs of a 128-bit register
// spread over 256 bits.
ZDC_AVX2_INLINE __m256i RepeatPairs(__m128i pairs) {
  const __m256i spread = _mm256_cvtepu16_epi32(pairs);
  return _mm256_or_si256(spread, _mm256_slli_epi32(spread, 16));
}

// Four chroma terms, each repeated over its 4 pixels.
ZDC_AVX2_INLINE __m256i Terms16(const int16_t* terms) {
  const __m128i four = Load64(terms);
  const __m256i spread = _mm256_cvtepu32_epi64(_mm_unpacklo_epi16(four, four));
  return _mm256_or_si256(spread, _mm256_slli_epi64(spread, 32));
}

// Sixteen pixels as B, G, R, X = 255: pixels 0..3 and 8..11 in the lanes of
// `low`, 4..7 and 12..15 in those of `high`.
ZDC_AVX2_INLINE void Bgrx16(const uint8_t* y, const ChromaTermRow& terms, int x, __m256i* low,
                            __m256i* high) {
  const __m256i luma = _mm256_mulhi_epu16(_mm256_slli_epi16(_mm256_cvtepu8_epi16(Load128(y + x)), 8),
                                          _mm256_set1_epi16(bt601::kLumaFactor));
  const int sample = x / 4;
  const __m256i b = _mm256_srai_epi16(_mm256_adds_epi16(luma, Terms16(terms.b + sample)), bt601::kFractionBits);
  const __m256i g = _mm256_srai_epi16(_mm256_adds_epi16(luma, Terms16(terms.g + sample)), bt601::kFractionBits);
  const __m256i r = _mm256_srai_epi16(_mm256_adds_epi16(luma, Terms16(terms.r + sample)), bt601::kFractionBits);
  const __m256i bg = _mm256_unpacklo_epi8(_mm256_packus_epi16(b, b), _mm256_packus_epi16(g, g));
  const __m256i rx = _mm256_unpacklo_epi8(_mm256_packus_epi16(r, r), _mm256_set1_epi8(-1));
  *low = _mm256_unpacklo_epi16(bg, rx);
  *high = _mm256_unpackhi_epi16(bg, rx);
}

// Four B, G, R, X pixels to their 12 B, G, R bytes, then four zero bytes.
ZDC_AVX2_INLINE __m128i Bgr4(__m128i bgrx) {
  return _mm_shuffle_epi8(bgrx, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
}

}  // namespace

ZDC_AVX2_ENTRY void ExpandChroma_avx2(const uint8_t* in, uint8_t* out, int count) {
  int i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i samples = _mm256_cvtepu8_epi16(Load128(in + i / 2));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_or_si256(samples, _mm256_slli_epi16(samples, 8)));
  }
  ExpandChroma_c(in + i / 2, out + i, count - i);
}

ZDC_AVX2_ENTRY void InterleaveChroma_avx2(const uint8_t* u, const uint8_t* v, uint8_t* out, int pairs) {
  int i = 0;
  for (; i + 32 <= pairs; i += 32) {
    const __m128i us = Load128(u + i / 2), vs = Load128(v + i / 2);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), RepeatPairs(_mm_unpacklo_epi8(us, vs)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 32),
                        RepeatPairs(_mm_unpackhi_epi8(us, vs)));
  }
  InterleaveChroma_c(u + i / 2, v + i / 2, out + 2 * i, pairs - i);
}

ZDC_AVX2_ENTRY void PackYuy2_avx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                                  int width) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + x));
    const __m256i chroma = RepeatPairs(_mm_unpacklo_epi8(Load64(u + x / 4), Load64(v + x / 4)));
    const __m256i low = _mm256_unpacklo_epi8(luma, chroma), high = _mm256_unpackhi_epi8(luma, chroma);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * x), _mm256_permute2x128_si256(low, high, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * x + 32),
                        _mm256_permute2x128_si256(low, high, 0x31));
  }
  PackYuy2_c(y + x, u + x / 4, v + x / 4, out + 2 * x, width - x);
}

ZDC_AVX2_ENTRY void Rgb32Row_avx2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    __m256i low, high;
    Bgrx16(y, terms, x, &low, &high);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), _mm256_permute2x128_si256(low, high, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x + 32),
                        _mm256_permute2x128_si256(low, high, 0x31));
  }
  const ChromaTermRow rest{terms.r + x / 4, terms.g + x / 4, terms.b + x / 4};
  Rgb32Row_c(y + x, rest, out + 4 * x, width - x);
}

ZDC_AVX2_ENTRY void Rgb24Row_avx2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    __m256i low, high;
    Bgrx16(y, terms, x, &low, &high);
    const __m128i q0 = Bgr4(_mm256_castsi256_si128(low)), q1 = Bgr4(_mm256_castsi256_si128(high));
    const __m128i q2 = Bgr4(_mm256_extracti128_si256(low, 1)), q3 = Bgr4(_mm256_extracti128_si256(high, 1));
    __m128i* row = reinterpret_cast<__m128i*>(out + 3 * x);
    _mm_storeu_si128(row, _mm_or_si128(q0, _mm_slli_si128(q1, 12)));
    _mm_storeu_si128(row + 1, _mm_or_si128(_mm_srli_si128(q1, 4), _mm_slli_si128(q2, 8)));
    _mm_storeu_si128(row + 2, _mm_or_si128(_mm_srli_si128(q2, 8), _mm_slli_si128(q3, 4)));
  }
  const ChromaTermRow rest{terms.r + x / 4, terms.g + x / 4, terms.b + x / 4};
  Rgb24Row_c(y + x, rest, out + 3 * x, width - x);
}

}  // namespace zdc
