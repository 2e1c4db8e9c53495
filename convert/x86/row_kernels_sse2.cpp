// SSE2 row kernels: 16 output bytes or 8 RGB pixels at a time, the rest of a
// row by the portable kernel. Loads and stores never pass the row's end.
#include <emmintrin.h>

#include <cstring>

#include "bt601_fixed_point.h"
#include "convert_kernels.h"
#include "x86/sse2_target.h"

namespace zdc {
namespace {

ZDC_SSE2_INLINE __m128i Load32(const void* p) {
  int32_t value;
  std::memcpy(&value, p, 4);
  return _mm_cvtsi32_si128(value);
}

ZDC_SSE2_INLINE __m128i Load64(const void* p) {
  return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}

// The colour values of a luma term and a chroma term, lane by lane.
ZDC_SSE2_INLINE __m128i ColourValues(__m128i lumaTerm, __m128i chromaTerm) {
  return _mm_srai_epi16(_mm_adds_epi16(lumaTerm, chromaTerm), bt601::kFractionBits);
}

// Eight pixels as B, G, R, X: pixels 0..3 in `low`, 4..7 in `high`. Each
// 16-bit lane holds one colour value of one pixel: the luma term twice per
// pixel plus the (blue, green) or (red, opaque) pair of its chroma sample.
ZDC_SSE2_INLINE void Bgrx8(const uint8_t* y, const ChromaTermRow& terms, int x, __m128i* low,
                           __m128i* high) {
  const __m128i factor = _mm_set1_epi16(bt601::kLumaFactor), zero = _mm_setzero_si128();
  const __m128i luma = Load64(y + x);
  const __m128i twice = _mm_unpacklo_epi8(luma, luma);
  const __m128i lumaLow = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, twice), factor);
  const __m128i lumaHigh = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, twice), factor);
  const __m128i* bg = reinterpret_cast<const __m128i*>(terms.bg + 2 * x);
  const __m128i* rx = reinterpret_cast<const __m128i*>(terms.rx + 2 * x);
  const __m128i bgBytes = _mm_packus_epi16(ColourValues(lumaLow, _mm_loadu_si128(bg)),
                                           ColourValues(lumaHigh, _mm_loadu_si128(bg + 1)));
  const __m128i rxBytes = _mm_packus_epi16(ColourValues(lumaLow, _mm_loadu_si128(rx)),
                                           ColourValues(lumaHigh, _mm_loadu_si128(rx + 1)));
  *low = _mm_unpacklo_epi16(bgBytes, rxBytes);
  *high = _mm_unpackhi_epi16(bgBytes, rxBytes);
}

// The eight 32-bit words of `low` and `high`, each written four times.
ZDC_SSE2_INLINE void StoreEachFourTimes(__m128i low, __m128i high, int16_t* out) {
  __m128i* words = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(words, _mm_shuffle_epi32(low, 0x00));
  _mm_storeu_si128(words + 1, _mm_shuffle_epi32(low, 0x55));
  _mm_storeu_si128(words + 2, _mm_shuffle_epi32(low, 0xAA));
  _mm_storeu_si128(words + 3, _mm_shuffle_epi32(low, 0xFF));
  _mm_storeu_si128(words + 4, _mm_shuffle_epi32(high, 0x00));
  _mm_storeu_si128(words + 5, _mm_shuffle_epi32(high, 0x55));
  _mm_storeu_si128(words + 6, _mm_shuffle_epi32(high, 0xAA));
  _mm_storeu_si128(words + 7, _mm_shuffle_epi32(high, 0xFF));
}

// Four B, G, R, X pixels to their 12 B, G, R bytes, then four zero bytes.
ZDC_SSE2_INLINE __m128i Bgr4(__m128i bgrx) {
  const __m128i bgr = _mm_and_si128(bgrx, _mm_set1_epi32(0x00FFFFFF));
  // In each 64-bit half, the second pixel moves down next to the first.
  const __m128i packed =
      _mm_or_si128(_mm_and_si128(bgr, _mm_set1_epi64x(0x0000000000FFFFFF)),
                   _mm_and_si128(_mm_srli_epi64(bgr, 8), _mm_set1_epi64x(0x0000FFFFFF000000)));
  return _mm_or_si128(_mm_move_epi64(packed), _mm_slli_si128(_mm_srli_si128(packed, 8), 6));
}

}  // namespace

ZDC_SSE2_ENTRY void ExpandChroma_sse2(const uint8_t* in, uint8_t* out, int count) {
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i samples = Load64(in + i / 2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(samples, samples));
  }
  ExpandChroma_c(in + i / 2, out + i, count - i);
}

ZDC_SSE2_ENTRY void InterleaveChroma_sse2(const uint8_t* u, const uint8_t* v, uint8_t* out, int pairs) {
  int i = 0;
  for (; i + 16 <= pairs; i += 16) {
    const __m128i uv = _mm_unpacklo_epi8(Load64(u + i / 2), Load64(v + i / 2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi16(uv, uv));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi16(uv, uv));
  }
  InterleaveChroma_c(u + i / 2, v + i / 2, out + 2 * i, pairs - i);
}

ZDC_SSE2_ENTRY void PackYuy2_sse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out,
                                  int width) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
    const __m128i uv = _mm_unpacklo_epi8(Load32(u + x / 4), Load32(v + x / 4));
    const __m128i chroma = _mm_unpacklo_epi16(uv, uv);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * x), _mm_unpacklo_epi8(luma, chroma));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * x + 16), _mm_unpackhi_epi8(luma, chroma));
  }
  PackYuy2_c(y + x, u + x / 4, v + x / 4, out + 2 * x, width - x);
}

ZDC_SSE2_ENTRY void ChromaTerms_sse2(const uint8_t* u, const uint8_t* v, int16_t* bg, int16_t* rx, int count) {
  const __m128i zero = _mm_setzero_si128(), sign = _mm_set1_epi16(-0x8000);
  const __m128i offset = _mm_set1_epi16(bt601::kOffset), opaque = _mm_set1_epi16(bt601::kOpaque);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    // (c - 128) << 8: the sample in the high byte, its top bit flipped.
    const __m128i b = _mm_xor_si128(_mm_unpacklo_epi8(zero, Load64(u + i)), sign);
    const __m128i r = _mm_xor_si128(_mm_unpacklo_epi8(zero, Load64(v + i)), sign);
    const __m128i red = _mm_add_epi16(offset, _mm_mulhi_epi16(r, _mm_set1_epi16(bt601::kCrToR)));
    const __m128i green = _mm_add_epi16(_mm_add_epi16(offset, _mm_mulhi_epi16(b, _mm_set1_epi16(bt601::kCbToG))),
                                        _mm_mulhi_epi16(r, _mm_set1_epi16(bt601::kCrToG)));
    const __m128i blue = _mm_add_epi16(_mm_add_epi16(offset, _mm_mulhi_epi16(b, _mm_set1_epi16(bt601::kCbToB))), b);
    StoreEachFourTimes(_mm_unpacklo_epi16(blue, green), _mm_unpackhi_epi16(blue, green), bg + 8 * i);
    StoreEachFourTimes(_mm_unpacklo_epi16(red, opaque), _mm_unpackhi_epi16(red, opaque), rx + 8 * i);
  }
  ChromaTerms_c(u + i, v + i, bg + 8 * i, rx + 8 * i, count - i);
}

ZDC_SSE2_ENTRY void Rgb32Row_sse2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    __m128i low, high;
    Bgrx8(y, terms, x, &low, &high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x + 16), high);
  }
  const ChromaTermRow rest{terms.bg + 2 * x, terms.rx + 2 * x};
  Rgb32Row_c(y + x, rest, out + 4 * x, width - x);
}

// Each 16-byte store carries 12 bytes of pixels and 4 that the next store
// overwrites, so the loop stops while the last store still fits in the row.
ZDC_SSE2_ENTRY void Rgb24Row_sse2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  int x = 0;
  for (; x + 10 <= width; x += 8) {
    __m128i low, high;
    Bgrx8(y, terms, x, &low, &high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), Bgr4(low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x + 12), Bgr4(high));
  }
  const ChromaTermRow rest{terms.bg + 2 * x, terms.rx + 2 * x};
  Rgb24Row_c(y + x, rest, out + 3 * x, width - x);
}

}  // namespace zdc
