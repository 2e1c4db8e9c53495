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

// The colour values of a luma term and a chroma term, lane by lane.
ZDC_AVX2_INLINE __m256i ColourValues(__m256i lumaTerm, __m256i chromaTerm) {
  return _mm256_srai_epi16(_mm256_adds_epi16(lumaTerm, chromaTerm), bt601::kFractionBits);
}

// Sixteen pixels, 0..7 in `first` and 8..15 in `second`. Each 16-bit lane
// holds one colour value of one pixel: the luma term twice per pixel plus the
// (blue, green) or (red, opaque) pair of its chroma sample. Packed to bytes,
// a lane holds the B, G bytes of four pixels, then their R, X bytes; `order`
// places them.
ZDC_AVX2_INLINE void Pixels16(const uint8_t* y, const ChromaTermRow& terms, int x, __m256i order,
                              __m256i* first, __m256i* second) {
  const __m256i factor = _mm256_set1_epi16(bt601::kLumaFactor);
  // Each pixel's luma in the high byte of two 16-bit lanes: pixels 0..7 in
  // `lumaFirst`, 8..15 in `lumaSecond`.
  const __m256i luma = _mm256_broadcastsi128_si256(Load128(y + x));
  const __m256i lumaFirst = _mm256_mulhi_epu16(
      _mm256_shuffle_epi8(luma, _mm256_setr_epi8(-1, 0, -1, 0, -1, 1, -1, 1, -1, 2, -1, 2, -1, 3, -1, 3,
                                                 -1, 4, -1, 4, -1, 5, -1, 5, -1, 6, -1, 6, -1, 7, -1, 7)),
      factor);
  const __m256i lumaSecond = _mm256_mulhi_epu16(
      _mm256_shuffle_epi8(luma, _mm256_setr_epi8(-1, 8, -1, 8, -1, 9, -1, 9, -1, 10, -1, 10, -1, 11, -1, 11,
                                                 -1, 12, -1, 12, -1, 13, -1, 13, -1, 14, -1, 14, -1, 15, -1, 15)),
      factor);
  const __m256i* bg = reinterpret_cast<const __m256i*>(terms.bg + 2 * x);
  const __m256i* rx = reinterpret_cast<const __m256i*>(terms.rx + 2 * x);
  *first = _mm256_shuffle_epi8(_mm256_packus_epi16(ColourValues(lumaFirst, _mm256_loadu_si256(bg)),
                                                   ColourValues(lumaFirst, _mm256_loadu_si256(rx))),
                               order);
  *second = _mm256_shuffle_epi8(_mm256_packus_epi16(ColourValues(lumaSecond, _mm256_loadu_si256(bg + 1)),
                                                    ColourValues(lumaSecond, _mm256_loadu_si256(rx + 1))),
                                order);
}

// Pixel orders for Pixels16: B, G, R, X per pixel; B, G, R per pixel in the
// first 12 bytes of a lane.
ZDC_AVX2_INLINE __m256i BgrxOrder() {
  return _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15,
                          0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15);
}
ZDC_AVX2_INLINE __m256i BgrOrder() {
  return _mm256_setr_epi8(0, 1, 8, 2, 3, 10, 4, 5, 12, 6, 7, 14, -1, -1, -1, -1,
                          0, 1, 8, 2, 3, 10, 4, 5, 12, 6, 7, 14, -1, -1, -1, -1);
}

// The eight 32-bit words of `words`, each written four times.
ZDC_AVX2_INLINE void StoreEachFourTimes(__m256i words, int16_t* out) {
  __m256i* rows = reinterpret_cast<__m256i*>(out);
  for (int i = 0; i < 4; ++i) {
    const __m256i pick = _mm256_setr_epi32(2 * i, 2 * i, 2 * i, 2 * i, 2 * i + 1, 2 * i + 1, 2 * i + 1, 2 * i + 1);
    _mm256_storeu_si256(rows + i, _mm256_permutevar8x32_epi32(words, pick));
  }
}

ZDC_AVX2_INLINE __m256i Words(__m256i bytes, __m256i order) {
  return _mm256_permutevar8x32_epi32(bytes, order);
}

// Sixteen chroma samples as (c - 128) << 8, samples 0..3 and 8..11 in the low
// lane, so that interleaving lane by lane keeps the samples in order.
ZDC_AVX2_INLINE __m256i Centred(const uint8_t* samples) {
  const __m256i wide = _mm256_slli_epi16(_mm256_cvtepu8_epi16(Load128(samples)), 8);
  return _mm256_permute4x64_epi64(_mm256_xor_si256(wide, _mm256_set1_epi16(-0x8000)), 0xD8);
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

ZDC_AVX2_ENTRY void ChromaTerms_avx2(const uint8_t* u, const uint8_t* v, int16_t* bg, int16_t* rx, int count) {
  const __m256i offset = _mm256_set1_epi16(bt601::kOffset), opaque = _mm256_set1_epi16(bt601::kOpaque);
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i b = Centred(u + i), r = Centred(v + i);
    const __m256i red = _mm256_add_epi16(offset, _mm256_mulhi_epi16(r, _mm256_set1_epi16(bt601::kCrToR)));
    const __m256i green =
        _mm256_add_epi16(_mm256_add_epi16(offset, _mm256_mulhi_epi16(b, _mm256_set1_epi16(bt601::kCbToG))),
                         _mm256_mulhi_epi16(r, _mm256_set1_epi16(bt601::kCrToG)));
    const __m256i blue =
        _mm256_add_epi16(_mm256_add_epi16(offset, _mm256_mulhi_epi16(b, _mm256_set1_epi16(bt601::kCbToB))), b);
    StoreEachFourTimes(_mm256_unpacklo_epi16(blue, green), bg + 8 * i);
    StoreEachFourTimes(_mm256_unpackhi_epi16(blue, green), bg + 8 * i + 64);
    StoreEachFourTimes(_mm256_unpacklo_epi16(red, opaque), rx + 8 * i);
    StoreEachFourTimes(_mm256_unpackhi_epi16(red, opaque), rx + 8 * i + 64);
  }
  ChromaTerms_c(u + i, v + i, bg + 8 * i, rx + 8 * i, count - i);
}

ZDC_AVX2_ENTRY void Rgb32Row_avx2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    __m256i first, second;
    Pixels16(y, terms, x, BgrxOrder(), &first, &second);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x + 32), second);
  }
  const ChromaTermRow rest{terms.bg + 2 * x, terms.rx + 2 * x};
  Rgb32Row_c(y + x, rest, out + 4 * x, width - x);
}

// Per 32 pixels, four registers of 12 pixel bytes per lane (three 32-bit
// words of four, then one unused word) become three whole 32-byte stores.
ZDC_AVX2_ENTRY void Rgb24Row_avx2(const uint8_t* y, const ChromaTermRow& terms, uint8_t* out, int width) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    __m256i a, b, c, d;
    Pixels16(y, terms, x, BgrOrder(), &a, &b);
    Pixels16(y, terms, x + 16, BgrOrder(), &c, &d);
    // The words of pixels 0..7 (a), 8..15 (b), 16..23 (c), 24..31 (d) in
    // order; 0 marks a word the blend does not take.
    const __m256i out0 = _mm256_blend_epi32(Words(a, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0)),
                                            Words(b, _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, 1)), 0xC0);
    const __m256i out1 = _mm256_blend_epi32(Words(b, _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 0)),
                                            Words(c, _mm256_setr_epi32(0, 0, 0, 0, 0, 1, 2, 4)), 0xF0);
    const __m256i out2 = _mm256_blend_epi32(Words(c, _mm256_setr_epi32(5, 6, 0, 0, 0, 0, 0, 0)),
                                            Words(d, _mm256_setr_epi32(0, 0, 0, 1, 2, 4, 5, 6)), 0xFC);
    __m256i* row = reinterpret_cast<__m256i*>(out + 3 * x);
    _mm256_storeu_si256(row, out0);
    _mm256_storeu_si256(row + 1, out1);
    _mm256_storeu_si256(row + 2, out2);
  }
  const ChromaTermRow rest{terms.bg + 2 * x, terms.rx + 2 * x};
  Rgb24Row_c(y + x, rest, out + 3 * x, width - x);
}

}  // namespace zdc
