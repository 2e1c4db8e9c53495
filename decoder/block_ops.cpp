// The block operations of the change-mask display.
#include <cstddef>
#include <cstring>

#include "block_kernels.h"

namespace zdc {

void CopyBlock8x8_c(uint8_t* destination, const uint8_t* source, int32_t sourcePitch,
                    int32_t destinationPitch) {
  for (int r = 0; r < 8; ++r) {
    std::memcpy(destination + static_cast<ptrdiff_t>(r) * destinationPitch,
                source + static_cast<ptrdiff_t>(r) * sourcePitch, 8);
  }
}

void MarkBlock(uint8_t* block, int32_t pitch) {
  for (int r = 0; r < 8; ++r) {
    uint8_t* row = block + static_cast<ptrdiff_t>(r) * pitch;
    row[r] = 0;
    row[7 - r] = 0;
  }
}

}  // namespace zdc
