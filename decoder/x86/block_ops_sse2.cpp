// SSE2 block copy of the change-mask display: one 8-byte move per row.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "block_kernels.h"
#include "sse2_target.h"

namespace zdc {

ZDC_SSE2_ENTRY void CopyBlock8x8_sse2(uint8_t* destination, const uint8_t* source,
                                      int32_t sourcePitch, int32_t destinationPitch) {
  for (ptrdiff_t r = 0; r < 8; ++r) {
    const __m128i row = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + r * sourcePitch));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + r * destinationPitch), row);
  }
}

}  // namespace zdc
