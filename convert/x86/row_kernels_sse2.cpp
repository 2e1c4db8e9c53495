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

// Two chroma terms, each repeated over its 4 pixels.
ZDC_SSE2_INLINE __m128i Terms8(const int16_t* terms) {
  const __m128i pairs = Load32(terms);
  const __m128i doubled = _mm_unpacklo_epi16(pairs, pairs);
  return _mm_unpacklo_epi32(doubled, doubled);
}

// Eight pixels as B, G, R, X = 255: pixels 0..3 in `low`, 4..7 in `high`.
ZDC_SSE2_INLINE void Bgrx8(const uint8_t* y, const ChromaTermRow& terms, int x, __m128i* low,
                           __m128i* high) {
  const __m128i luma = _mm_mulhi_epu16(_mm_unpacklo_epi8(_mm_setzero_si128(), Load64(y + x)),
                                       _mm_set1_epi16(bt601::kLumaFactor));
  const int sample = x / 4;
  const __m128i b = _mm_srai_epi16(_mm_adds_epi16(luma, Terms8(terms.b + sample)), bt601::kFractionBits);
  const __m128i g = _mm_srai_epi16(_mm_adds_epi16(luma, Terms8(terms.g + sample)), bt601::kFractionBits);
  const __m128i r = _mm_srai_epi16(_mm_adds_epi16(luma, Terms8(terms.r + sample)), bt601::kFractionBits);
  const __m128i bg = _mm_unpacklo_epi8(_mm_packus_epi16(b, b), _mm_packus_epi16(g, g));
  const __m128i rx = _mm_unpacklo_epi8(_mm_packus_epi16(r, r), _mm_set1_epi8(-1));
  *low = _mm_unpacklo_epi16(bg, rx);
  *high = _mm_unpackhi_epi16(bg, rx);
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

ZDC_SSE2_ENTRY void Rgb32Row_sse2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    __m128i low, high;
    Bgrx8(y, terms, x, &low, &high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x + 16), high);
  }
  const ChromaTermRow rest{terms.r + x / 4, terms.g + x / 4, terms.b + x / 4};
  Rgb32Row_c(y + x, rest, out + 4 * x, width - x);
}

ZDC_SSE2_ENTRY void Rgb24Row_sse2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    __m128i p0, p1, p2, p3;
    Bgrx8(y, terms, x, &p0, &p1);
    Bgrx8(y, terms, x + 8, &p2, &p3);
    const __m128i q0 = Bgr4(p0), q1 = Bgr4(p1), q2 = Bgr4(p2), q3 = Bgr4(p3);
    __m128i* row = reinterpret_cast<__m128i*>(out + 3 * x);
    _mm_storeu_si128(row, _mm_or_si128(q0, _mm_slli_si128(q1, 12)));
    _mm_storeu_si128(row + 1, _mm_or_si128(_mm_srli_si128(q1, 4), _mm_slli_si128(q2, 8)));
    _mm_storeu_si128(row + 2, _mm_or_si128(_mm_srli_si128(q2, 8), _mm_slli_si128(q3, 4)));
  }
  const ChromaTermRow rest{terms.r + x / 4, terms.g + x / 4, terms.b + x / 4};
  Rgb24Row_c(y + x, rest, out + 3 * x, width - x);
}

}  // namespace zdc
