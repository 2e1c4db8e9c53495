// SSE2 luma denoise: sixteen centre pixels per step. For each step the four
// window columns (c-1, c, c+1, c+2) of the row above and of the pixel's own
// row are loaded as four overlapping 16-byte vectors per row, so lane i of
// every vector holds one sample of pixel c+i's window. Samples further than
// the threshold from the centre are replaced by the centre with byte
// operations; the eight samples are then summed in 16-bit lanes.
//
// The same results as DenoisePlane_c for every width and height: the left
// and right plane edges, where the window reaches outside the row, are
// handled by building the window columns in a small zero-filled buffer (or,
// at the left edge of rows of at least 18 pixels, by shifting column 0 in),
// so nothing outside the source rows is ever read and nothing outside the
// destination rows is written. Results go out with ordinary unaligned stores:
// the destination has any pitch and alignment, and its rows are read again
// soon by the copy to the caller, so non-temporal stores would not pay.
#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "block_kernels.h"
#include "sse2_target.h"

namespace zdc {
namespace {

// Window columns c-1, c, c+1 and c+2 of sixteen consecutive centres c.
struct WindowColumns {
  __m128i left, centre, right1, right2;
};

ZDC_SSE2_INLINE __m128i LoadU(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// `p` points at column c-1; reads p[0] .. p[18].
ZDC_SSE2_INLINE WindowColumns LoadColumns(const uint8_t* p) {
  return {LoadU(p), LoadU(p + 1), LoadU(p + 2), LoadU(p + 3)};
}

// Columns -1 .. 17 of a row of at least 18 pixels; column -1 repeats column 0.
ZDC_SSE2_INLINE WindowColumns LoadLeftEdgeColumns(const uint8_t* row) {
  const __m128i centre = LoadU(row);
  const __m128i left = _mm_or_si128(_mm_slli_si128(centre, 1),
                                    _mm_and_si128(centre, _mm_cvtsi32_si128(0xFF)));
  return {left, centre, LoadU(row + 1), LoadU(row + 2)};
}

// Columns c0-1 .. c0+17 of a row of `width` pixels, copied into `buffer` with
// the edge rules: column -1 repeats column 0, columns from `width` on are 0.
void FillEdgeColumns(const uint8_t* row, int32_t width, int32_t c0, uint8_t buffer[32]) {
  std::memset(buffer, 0, 32);
  if (c0 == 0) {
    buffer[0] = row[0];
    std::memcpy(buffer + 1, row, static_cast<size_t>(std::min(width, int32_t{18})));
  } else {
    std::memcpy(buffer, row + c0 - 1, static_cast<size_t>(std::min(width - c0 + 1, int32_t{19})));
  }
}

// The sample if it lies within the threshold of the centre, else the centre.
ZDC_SSE2_INLINE __m128i Chosen(__m128i sample, __m128i centre, __m128i threshold) {
  const __m128i distance =
      _mm_or_si128(_mm_subs_epu8(sample, centre), _mm_subs_epu8(centre, sample));
  const __m128i near = _mm_cmpeq_epi8(_mm_subs_epu8(distance, threshold), _mm_setzero_si128());
  return _mm_xor_si128(centre, _mm_and_si128(_mm_xor_si128(sample, centre), near));
}

ZDC_SSE2_INLINE void Accumulate(__m128i bytes, __m128i& low, __m128i& high) {
  const __m128i zero = _mm_setzero_si128();
  low = _mm_add_epi16(low, _mm_unpacklo_epi8(bytes, zero));
  high = _mm_add_epi16(high, _mm_unpackhi_epi8(bytes, zero));
}

// The sixteen filtered pixels of one step.
ZDC_SSE2_INLINE __m128i Filter(const WindowColumns& above, const WindowColumns& here,
                               __m128i threshold) {
  const __m128i centre = here.centre;
  const __m128i zero = _mm_setzero_si128();
  // The centre is a sample of its own window and always within the threshold;
  // the +3 rounds the mean with exact halves going down.
  const __m128i three = _mm_set1_epi16(3);
  __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(centre, zero), three);
  __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(centre, zero), three);
  Accumulate(Chosen(here.left, centre, threshold), low, high);
  Accumulate(Chosen(here.right1, centre, threshold), low, high);
  Accumulate(Chosen(here.right2, centre, threshold), low, high);
  Accumulate(Chosen(above.left, centre, threshold), low, high);
  Accumulate(Chosen(above.centre, centre, threshold), low, high);
  Accumulate(Chosen(above.right1, centre, threshold), low, high);
  Accumulate(Chosen(above.right2, centre, threshold), low, high);
  return _mm_packus_epi16(_mm_srli_epi16(low, 3), _mm_srli_epi16(high, 3));
}

ZDC_SSE2_INLINE void StoreU(uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Filters centres c0 .. c0+count-1 (count <= 16) through edge buffers.
ZDC_SSE2_INLINE void FilterEdgeStep(const uint8_t* above, const uint8_t* here, int32_t width,
                                    int32_t c0, int32_t count, uint8_t* out, __m128i threshold) {
  alignas(16) uint8_t aboveColumns[32];
  alignas(16) uint8_t hereColumns[32];
  alignas(16) uint8_t result[16];
  FillEdgeColumns(above, width, c0, aboveColumns);
  FillEdgeColumns(here, width, c0, hereColumns);
  _mm_store_si128(reinterpret_cast<__m128i*>(result),
                  Filter(LoadColumns(aboveColumns), LoadColumns(hereColumns), threshold));
  std::memcpy(out + c0, result, static_cast<size_t>(count));
}

}  // namespace

ZDC_SSE2_ENTRY void DenoisePlane_sse2(const uint8_t* source, int32_t sourcePitch,
                                      uint8_t* destination, int32_t width, int32_t height,
                                      int32_t destinationPitch, const uint16_t* thresholds) {
  if (width <= 0 || height <= 0) return;
  // All eight thresholds are equal; like the portable filter we use the first.
  // Distances are at most 255, so a larger threshold keeps every sample, as
  // 255 does; the byte compare needs it in 0..255.
  const __m128i threshold =
      _mm_set1_epi8(static_cast<char>(std::min<uint16_t>(thresholds[0], 255)));
  std::memcpy(destination, source, static_cast<size_t>(width));
  for (int32_t r = 1; r < height; ++r) {
    const uint8_t* above = source + static_cast<ptrdiff_t>(r - 1) * sourcePitch;
    const uint8_t* here = source + static_cast<ptrdiff_t>(r) * sourcePitch;
    uint8_t* out = destination + static_cast<ptrdiff_t>(r) * destinationPitch;
    int32_t c = 0;
    if (width >= 18) {
      StoreU(out, Filter(LoadLeftEdgeColumns(above), LoadLeftEdgeColumns(here), threshold));
      // A step at c reads columns c-1 .. c+17, all inside the row while c + 18 <= width.
      for (c = 16; c + 18 <= width; c += 16) {
        StoreU(out + c, Filter(LoadColumns(above + c - 1), LoadColumns(here + c - 1), threshold));
      }
    }
    for (; c < width; c += 16) {
      FilterEdgeStep(above, here, width, c, std::min(width - c, int32_t{16}), out, threshold);
    }
  }
}

}  // namespace zdc
